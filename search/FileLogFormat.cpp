#include "FileLogFormat.h"

#include "TextEncoding.h"

#include <algorithm>

namespace pur {
namespace {

constexpr char kBoxTop[] =
    "(**************************************************************)";
constexpr char kBoxReport[] =
    "(*                    Rapport de recherche                    *)";
constexpr char kBoxLeft[] = "(* ";
constexpr char kBoxRight[] = " *)";
constexpr char kDatePrefix[] = "Le ";
constexpr char kTitleSeparator = '|';
constexpr char kLf[] = "\n";
constexpr char kCrLf[] = "\r\n";

constexpr size_t kLongestUtf8Sequence = 4;

// Bytes of the well-formed UTF-8 sequence at `position`, 0 when none starts there.
size_t Utf8SequenceAt(std::string_view text, size_t position) {
  const size_t longest = std::min(kLongestUtf8Sequence, text.size() - position);
  for (size_t size = 1; size <= longest; ++size) {
    if (IsValidUtf8(text.substr(position, size))) return size;
  }
  return 0;
}

std::string BoxLine(std::string_view text, const TLogEncoding& encoding) {
  return kBoxLeft + CentreText(text, encoding) + kBoxRight;
}

}  // namespace

size_t LogTextWidth(std::string_view text, const TLogEncoding& encoding) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++count) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (encoding.Utf8) {
      i += std::max<size_t>(1, Utf8SequenceAt(text, i));
    } else {
      i += (encoding.IsLead && encoding.IsLead(byte) && i + 1 < text.size()) ? 2 : 1;
    }
  }
  return count;
}

std::string CentreText(std::string_view text, const TLogEncoding& encoding, size_t width) {
  const size_t length = LogTextWidth(text, encoding);
  if (length >= width) return std::string(text);
  const size_t spaces = width - length;
  const size_t front = spaces / 2;
  return std::string(front, ' ') + std::string(text) + std::string(spaces - front, ' ');
}

std::string ChooseLogTitle(const StringList& appNames, std::string_view appName) {
  if (appName.empty()) return kUnknownApplication;
  for (const std::string& entry : appNames) {
    if (entry.find(appName) == std::string::npos) continue;
    const size_t separator = entry.find(kTitleSeparator);
    return separator == std::string::npos ? entry : entry.substr(separator + 1);
  }
  return kUnknownApplication;
}

std::string LogTitleFromAppNames(std::string_view appNamesCommaText, std::string_view appName) {
  return ChooseLogTitle(ReadCommaText(appNamesCommaText), appName);
}

std::string LogDateLine(std::string_view shortDate, std::string_view longTime, bool midnight) {
  std::string line = kDatePrefix + std::string(shortDate);
  if (!midnight) line += " " + std::string(longTime);
  return line;
}

std::string BuildLogEntry(std::string_view title, std::string_view dateLine, std::string_view body,
                          const TLogEncoding& encoding) {
  std::string entry;
  for (const std::string& line : {std::string(kBoxTop), BoxLine(title, encoding), std::string(kBoxReport),
                                  BoxLine(dateLine, encoding), std::string(kBoxTop), std::string()}) {
    entry += line + kLf;
  }
  entry += body;
  return entry;
}

StringList SplitLogLines(std::string_view text) {
  StringList lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string JoinLogLines(const StringList& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kCrLf;
  return text;
}

std::string AppendLogEntry(std::string_view existing, std::string_view entry) {
  StringList lines = SplitLogLines(existing);
  lines.emplace_back(entry);
  return JoinLogLines(lines);
}

}  // namespace pur
