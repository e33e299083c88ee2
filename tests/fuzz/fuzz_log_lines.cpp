// The journal is read back before every append: any bytes may lie at its path. Splitting,
// joining and appending must never read out of bounds, and the line rules must hold:
// lines never hold CR or LF, they are the text without its line ends, joining gives every
// line CR LF, and splitting what was joined gives the lines back. A header line is centred by
// the characters of the entry's own encoding.
#include "FileLogFormat.h"
#include "TextEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool HoldsLineEnd(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string WithoutLineEnds(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

// A line ends at CR LF, a lone CR or a lone LF; the text's end ends a last, unfinished line.
size_t ExpectedLineCount(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n' || (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n'))) ++count;
  }
  if (!s.empty() && s.back() != '\r' && s.back() != '\n') ++count;
  return count;
}

void CheckSplit(std::string_view text) {
  const pur::StringList lines = pur::SplitLogLines(text);
  Check(lines.size() == ExpectedLineCount(text));
  std::string joinedBare;
  size_t total = 0;
  for (const std::string& line : lines) {
    Check(!HoldsLineEnd(line));
    joinedBare += line;
    total += line.size();
  }
  Check(joinedBare == WithoutLineEnds(text));

  const std::string joined = pur::JoinLogLines(lines);
  Check(joined.size() == total + 2 * lines.size());
  Check(lines.empty() || joined.compare(joined.size() - 2, 2, "\r\n") == 0);
  Check(pur::SplitLogLines(joined) == lines);
  Check(pur::JoinLogLines(pur::SplitLogLines(joined)) == joined);
}

// Lines made from the input cut at zero bytes, line ends taken out: joining then splitting
// gives them back.
void CheckJoin(std::string_view text) {
  pur::StringList lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\0') {
      lines.push_back(WithoutLineEnds(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  Check(pur::SplitLogLines(pur::JoinLogLines(lines)) == lines);
}

// The first byte cuts the rest into the existing journal and the new entry.
void CheckAppend(std::string_view data) {
  if (data.empty()) return;
  const std::string_view rest = data.substr(1);
  const size_t cut = rest.empty() ? 0 : static_cast<unsigned char>(data[0]) % (rest.size() + 1);
  const std::string_view existing = rest.substr(0, cut);
  const std::string_view entry = rest.substr(cut);
  const std::string journal = pur::AppendLogEntry(existing, entry);

  const std::string before = pur::JoinLogLines(pur::SplitLogLines(existing));
  Check(journal.compare(0, before.size(), before) == 0);
  Check(journal.size() == before.size() + entry.size() + 2);
  Check(journal.compare(before.size(), entry.size(), entry) == 0);
  Check(journal.compare(journal.size() - 2, 2, "\r\n") == 0);
  // Read back before the next append: the entry's own lines, and an empty one when the
  // entry is empty or already ended its last line.
  pur::StringList expected = pur::SplitLogLines(existing);
  for (std::string& line : pur::SplitLogLines(entry)) expected.push_back(line);
  if (entry.empty() || entry.back() == '\r' || entry.back() == '\n') expected.emplace_back();
  Check(pur::SplitLogLines(journal) == expected);
}

// Lead bytes of code page 932, for the double-byte case.
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Characters as the entry's encoding counts them, worked out apart from the library: code
// points of well-formed UTF-8, bytes of a single-byte code page, lead byte and its next byte
// as one in a double-byte one. Bytes that are not UTF-8 have no one answer: only bounds.
void CheckWidth(std::string_view text, const pur::TLogEncoding& encoding, size_t width) {
  if (!encoding.Utf8) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count)
      i += (encoding.IsLead && encoding.IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    Check(width == count);
  } else if (pur::IsValidUtf8(text)) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) i += pur::Utf8CodePointAt(text, i).Size;
    Check(width == count);
  } else {
    size_t leads = 0;
    for (char c : text) leads += !IsUtf8Continuation(static_cast<unsigned char>(c));
    Check(width >= leads && width <= text.size());
  }
}

void CheckCentre(std::string_view text, const pur::TLogEncoding& encoding) {
  const size_t length = pur::LogTextWidth(text, encoding);
  CheckWidth(text, encoding, length);
  const std::string centred = pur::CentreText(text, encoding);
  const size_t width = pur::kLogHeaderTextWidth;
  if (length >= width) {
    Check(centred == text);
    return;
  }
  const size_t spaces = width - length;
  Check(centred.size() == text.size() + spaces);
  // The odd space goes to the right.
  Check(centred.compare(0, spaces / 2, std::string(spaces / 2, ' ')) == 0);
  Check(centred.compare(spaces / 2, text.size(), text) == 0);
  Check(centred.compare(spaces / 2 + text.size(), std::string::npos, std::string(spaces - spaces / 2, ' ')) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckSplit(text);
  CheckJoin(text);
  CheckAppend(text);
  // A title is centred by characters in the encoding of the entry that holds it.
  const pur::TLogEncoding shiftJis{false, &ShiftJisLead};
  for (const pur::TLogEncoding& encoding : {pur::kUtf8Entry, pur::kSingleByteEntry, shiftJis})
    CheckCentre(text.substr(0, 80), encoding);
  // The title chooser reads the application-names text from shared memory.
  const size_t zero = text.find('\0');
  const std::string_view appName = zero == std::string_view::npos ? "" : text.substr(zero + 1);
  const std::string title = pur::LogTitleFromAppNames(text.substr(0, zero), appName);
  Check(!appName.empty() || title == pur::kUnknownApplication);
  Check(title == pur::kUnknownApplication || title.size() <= size);
  return 0;
}
