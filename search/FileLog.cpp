#include "FileLog.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "FileLogFormat.h"
#include "SearchTexts.h"

namespace pur {
namespace {

using texts::kCannotCreate;

constexpr char kTempPrefix[] = "log";
constexpr int kFormatBufferSize = 256;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    if (!valid()) return true;
    const bool ok = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

// Removes the temporary file unless it has become the journal.
class TempFile {
 public:
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  ~TempFile() {
    if (!kept_) DeleteFileA(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

[[noreturn]] void FailFor(const std::string& path) {
  std::vector<char> text(sizeof(kCannotCreate) + path.size());
  snprintf(text.data(), text.size(), kCannotCreate, path.c_str());
  throw EFileLog(text.data());
}

bool IsMissing(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::optional<std::string> ReadWhole(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > MAXDWORD - 1) return std::nullopt;
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()),
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

std::optional<std::string> FullPath(const std::string& path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::string(buffer, length);
}

bool WriteAll(const std::string& path, const std::string& text) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  if (!text.empty() &&
      (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
       written != text.size())) {
    return false;
  }
  return FlushFileBuffers(file.get()) && file.Close();
}

// A crash while writing leaves the old journal whole: the text is written beside it first.
void ReplaceJournal(const std::string& path, const std::string& text) {
  const std::optional<std::string> full = FullPath(path);
  if (!full) FailFor(path);
  char tempName[MAX_PATH + 1] = {};
  if (!GetTempFileNameA(FolderOf(*full).c_str(), kTempPrefix, 0, tempName)) FailFor(path);
  TempFile temp(tempName);
  if (!WriteAll(temp.path(), text)) FailFor(path);
  if (!MoveFileExA(temp.path().c_str(), full->c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    FailFor(path);
  }
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

std::string FormatLogDate(const SYSTEMTIME& when) {
  return LogDateLine(FormatWith(GetDateFormatA, DATE_SHORTDATE, when),
                     FormatWith(GetTimeFormatA, 0, when), IsMidnight(when));
}

void WriteFileLog(const std::string& path, const std::string& title, const std::string& body,
                  bool newFile, const SYSTEMTIME& when) {
  const std::string entry = BuildLogEntry(title, FormatLogDate(when), body);
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
