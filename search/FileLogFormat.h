// The text of a journal entry and of the journal around it. Windows-free.
#pragma once

#include <string>
#include <string_view>

#include "CommaText.h"

namespace pur {

constexpr size_t kLogHeaderTextWidth = 58;
constexpr char kUnknownApplication[] = "Unknow Application";

// The encoding of one journal entry: the ANSI code page of the process that writes it, the
// whole entry in it. Characters are counted in that encoding, never guessed from the bytes
// (a code page 1252 text can be valid UTF-8 as well).
struct TLogEncoding {
  bool Utf8 = true;
  // Starts a double-byte character of the code page; none in single-byte code pages.
  LeadBytePredicate IsLead = nullptr;
};
inline constexpr TLogEncoding kUtf8Entry{true, nullptr};
inline constexpr TLogEncoding kSingleByteEntry{false, nullptr};

// Characters of the text in the entry's encoding. In UTF-8 a byte that starts no well-formed
// sequence counts as one character; in a double-byte code page a lead byte with its next byte.
size_t LogTextWidth(std::string_view text, const TLogEncoding& encoding);

// d = Width - length spaces around Text: d/2 in front, the rest (the odd one) behind.
// A longer text is left as it is. Length is LogTextWidth's.
std::string CentreText(std::string_view text, const TLogEncoding& encoding,
                       size_t width = kLogHeaderTextWidth);

// The first entry that contains AppName gives the title: the text after its first '|',
// or the whole entry without one. No match, or no AppName, gives "Unknow Application".
std::string ChooseLogTitle(const StringList& appNames, std::string_view appName);

// The same from the application-names text as the shared memory holds it (comma text).
std::string LogTitleFromAppNames(std::string_view appNamesCommaText, std::string_view appName);

// "Le " + date [+ " " + time]: the time is left out at exactly midnight.
std::string LogDateLine(std::string_view shortDate, std::string_view longTime, bool midnight);

// The boxed header (lines joined by LF), an empty line, then the body unchanged. Title and
// date line are centred in the entry's encoding.
std::string BuildLogEntry(std::string_view title, std::string_view dateLine, std::string_view body,
                          const TLogEncoding& encoding);

// A text as lines: a line ends at CR, LF or CR LF; the end of the text ends the last one.
StringList SplitLogLines(std::string_view text);

// Every line followed by CR LF.
std::string JoinLogLines(const StringList& lines);

// The journal after adding Entry to the Existing text (none for a new journal).
std::string AppendLogEntry(std::string_view existing, std::string_view entry);

}  // namespace pur
