#include "FileLog.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "CallerTexts.h"
#include "CommaText.h"
#include "ExactNames.h"
#include "SearchTexts.h"
#include "WinOwners.h"

namespace pur {
namespace {

using texts::kCannotCreate;

constexpr char kTempPrefix[] = "log";
constexpr int kFormatBufferSize = 256;
constexpr int kTempNameAttempts = 0x10000;
constexpr size_t kTempNameSize = 16;

// Removes the temporary file unless it has become the journal.
class TempFile {
 public:
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  ~TempFile() {
    if (!kept_) DeleteFileExact(path_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

// The path is the caller's, already in its code page: only our own words are converted.
[[noreturn]] void FailFor(const std::string& path) {
  const std::string format = CallerText(kCannotCreate);
  std::vector<char> text(format.size() + path.size() + 1);
  snprintf(text.data(), text.size(), format.c_str(), path.c_str());
  throw EFileLog(text.data());
}

bool IsMissing(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetAttributesOf(path, data)) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::optional<std::string> ReadWhole(const std::string& path) {
  const TFileHandle file(
      CreateFileExact(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > MAXDWORD - 1) return std::nullopt;
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()),
                                  &read, nullptr) ||
                        read != text.size())) {
    return std::nullopt;
  }
  return text;
}

// The journal's current content: none when it does not exist yet; an error when it
// exists but can't be read, so that earlier entries are never overwritten.
std::string ExistingJournal(const std::string& path) {
  if (IsMissing(path)) return {};
  std::optional<std::string> text = ReadWhole(path);
  if (!text) FailFor(path);
  return *text;
}

std::string FolderOf(const std::string& fullPath) {
  const size_t slash = fullPath.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : fullPath.substr(0, slash + 1);
}

// Through the wide call: the journal may lie below a folder deeper than MAX_PATH.
std::optional<std::string> FullPath(const std::string& path) {
  const std::optional<std::wstring> wide = WideFromAnsi(path);
  if (!wide || wide->empty()) return std::nullopt;
  const DWORD needed = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide->c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  return AnsiFromWide(full);
}

bool WriteAll(const std::string& path, const std::string& text) {
  TFileHandle file(CreateFileExact(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
  if (!file) return false;
  DWORD written = 0;
  if (!text.empty() &&
      (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
       written != text.size())) {
    return false;
  }
  return FlushFileBuffers(file.Get()) && file.Close();
}

// A new, empty file beside the journal, named after the tick count until a free name is found.
std::optional<std::string> CreateTempBeside(const std::string& folder) {
  DWORD unique = GetTickCount() ^ GetCurrentProcessId();
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt, ++unique) {
    char name[kTempNameSize] = {};
    snprintf(name, sizeof name, "%s%04lX.tmp", kTempPrefix, static_cast<unsigned long>(unique & 0xFFFF));
    const std::string path = folder + name;
    const TFileHandle file(CreateFileExact(path, GENERIC_WRITE, 0, CREATE_NEW));
    if (file) return path;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return std::nullopt;
}

bool MoveOver(const std::string& from, const std::string& to) {
  const std::optional<std::wstring> wideFrom = WideFromAnsi(from);
  const std::optional<std::wstring> wideTo = WideFromAnsi(to);
  return wideFrom && wideTo &&
         MoveFileExW(wideFrom->c_str(), wideTo->c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// A crash while writing leaves the old journal whole: the text is written beside it first.
void ReplaceJournal(const std::string& path, const std::string& text) {
  const std::optional<std::string> full = FullPath(path);
  if (!full) FailFor(path);
  const std::optional<std::string> tempName = CreateTempBeside(FolderOf(*full));
  if (!tempName) FailFor(path);
  TempFile temp(*tempName);
  if (!WriteAll(temp.path(), text)) FailFor(path);
  if (!MoveOver(temp.path(), *full)) FailFor(path);
  temp.Keep();
}

std::string FormatWith(int (WINAPI* format)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int),
                       DWORD flags, const SYSTEMTIME& when) {
  char buffer[kFormatBufferSize] = {};
  const int length = format(LOCALE_USER_DEFAULT, flags, &when, nullptr, buffer, kFormatBufferSize);
  return length > 0 ? std::string(buffer) : std::string();
}

bool IsMidnight(const SYSTEMTIME& when) {
  return when.wHour == 0 && when.wMinute == 0 && when.wSecond == 0 && when.wMilliseconds == 0;
}

}  // namespace

TLogEncoding ProcessLogEncoding() {
  if (GetACP() == CP_UTF8) return kUtf8Entry;
  return {false, AnsiLeadBytes()};
}

std::string FormatLogDate(const SYSTEMTIME& when) {
  return LogDateLine(FormatWith(GetDateFormatA, DATE_SHORTDATE, when),
                     FormatWith(GetTimeFormatA, 0, when), IsMidnight(when));
}

void WriteFileLog(const std::string& path, const std::string& title, const std::string& body,
                  bool newFile, const SYSTEMTIME& when) {
  const std::string entry = BuildLogEntry(title, FormatLogDate(when), body, ProcessLogEncoding());
  const std::string existing = newFile ? std::string() : ExistingJournal(path);
  ReplaceJournal(path, AppendLogEntry(existing, entry));
}

void WriteFileLog(const std::string& path, const std::string& title, const std::string& body,
                  bool newFile) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  WriteFileLog(path, title, body, newFile, now);
}

}  // namespace pur
