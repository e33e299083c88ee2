#include "FileLogFormat.h"

#include "TextEncoding.h"

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

// Width on screen: characters of a UTF-8 text (the program's), bytes of any other.
size_t TextWidth(std::string_view text) {
  if (!IsValidUtf8(text)) return text.size();
  size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string BoxLine(std::string_view text) {
  return kBoxLeft + CentreText(text) + kBoxRight;
}

}  // namespace

std::string CentreText(std::string_view text, size_t width) {
  const size_t length = TextWidth(text);
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

std::string BuildLogEntry(std::string_view title, std::string_view dateLine,
                          std::string_view body) {
  std::string entry;
  for (const std::string& line : {std::string(kBoxTop), BoxLine(title), std::string(kBoxReport),
                                  BoxLine(dateLine), std::string(kBoxTop), std::string()}) {
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
