// The text of a journal entry and of the journal around it. Windows-free.
#pragma once

#include <string>
#include <string_view>

#include "CommaText.h"

namespace pur {

constexpr size_t kLogHeaderTextWidth = 58;
constexpr char kUnknownApplication[] = "Unknow Application";

// d = Width - length spaces around Text: d/2 in front, the rest (the odd one) behind.
// A longer text is left as it is.
std::string CentreText(std::string_view text, size_t width = kLogHeaderTextWidth);

// The first entry that contains AppName gives the title: the text after its first '|',
// or the whole entry without one. No match, or no AppName, gives "Unknow Application".
std::string ChooseLogTitle(const StringList& appNames, std::string_view appName);

// The same from the application-names text as the shared memory holds it (comma text).
std::string LogTitleFromAppNames(std::string_view appNamesCommaText, std::string_view appName);

// "Le " + date [+ " " + time]: the time is left out at exactly midnight.
std::string LogDateLine(std::string_view shortDate, std::string_view longTime, bool midnight);

// The boxed header (lines joined by LF), an empty line, then the body unchanged.
std::string BuildLogEntry(std::string_view title, std::string_view dateLine, std::string_view body);

// A text as lines: a line ends at CR, LF or CR LF; the end of the text ends the last one.
StringList SplitLogLines(std::string_view text);

// Every line followed by CR LF.
std::string JoinLogLines(const StringList& lines);

// The journal after adding Entry to the Existing text (none for a new journal).
std::string AppendLogEntry(std::string_view existing, std::string_view entry);

}  // namespace pur
