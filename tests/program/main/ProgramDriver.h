// Drives the real PURGOWIN.exe from a test process: its settings in the prefix's registry,
// the process itself, its main window found by class and process, controls read back by
// messages (memory of the program's process for the requests that carry a pointer), clicks
// posted, a sandbox folder inside the prefix's temporary folder.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TreeRemoval.h"
#include "TreeStreamWriter.h"
#include "PURGORegistry.h"
#include "PopupMenu.h"
#include "RegistrySnapshot.h"
#include "SafeDllLoad.h"
#include "TestFiles.h"
#include "uUserMainPrgm_Layout.h"
#include "uUserMainPrgm_Texts.h"

namespace maintest {

using namespace std::chrono_literals;
namespace ids = pur::mainform;

inline constexpr auto kStartTimeout = 30s;
inline constexpr auto kRunTimeout = 60s;
inline constexpr UINT kMessageTimeoutMs = 5000;

inline std::string ProgramPath() { return pur::ProgramFolder() + "PURGOWIN.exe"; }

// Waits until `done` answers true; false at the timeout.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds timeout = kRunTimeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return done();
}

// The program's settings keys, emptied when made and when gone. A section "" is the version
// key itself.
class Settings {
 public:
  Settings() {
    pur::TPURGORegistry registry;
    root_ = pur::CanUseLocalMachine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    productKey_ = registry.GetProductKey();
    versionKey_ = registry.GetVersionKey();
    Clear();
  }
  ~Settings() { Clear(); }
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  void Clear() { RegDeleteTreeA(root_, productKey_.c_str()); }
  // Every key and value of the program, byte for byte.
  purtest::RegSnapshot Snapshot() const {
    purtest::RegSnapshot snapshot;
    purtest::SnapshotKey(root_, productKey_, snapshot);
    return snapshot;
  }

  void Dword(const std::string& section, const std::string& name, DWORD value) {
    Set(section, name, REG_DWORD, &value, sizeof value);
  }
  void String(const std::string& section, const std::string& name, const std::string& value) {
    Set(section, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
  }
  // Strings in UTF-8, stored through the wide call as REG_MULTI_SZ.
  void MultiString(const std::string& section, const std::string& name, const std::vector<std::string>& values) {
    std::wstring data;
    for (const std::string& value : values) data += purtest::Wide(value) + L'\0';
    data += L'\0';
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root_, purtest::Wide(Path(section)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, purtest::Wide(name).c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void Binary(const std::string& section, const std::string& name, const std::string& bytes) {
    Set(section, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  bool Has(const std::string& section, const std::string& name) const {
    return RegGetValueA(root_, Path(section).c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
  }
  std::optional<DWORD> ReadDword(const std::string& section, const std::string& name) const {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegGetValueA(root_, Path(section).c_str(), name.c_str(), RRF_RT_ANY, &type, &value,
                     &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
      return std::nullopt;
    }
    return value;
  }

  // A REG_MULTI_SZ value's strings in UTF-8, through the wide call; none when absent or of
  // another type.
  std::optional<std::vector<std::string>> ReadMultiString(const std::string& section, const std::string& name) const {
    DWORD type = 0;
    DWORD size = 0;
    const std::wstring path = purtest::Wide(Path(section));
    const std::wstring value = purtest::Wide(name);
    if (RegGetValueW(root_, path.c_str(), value.c_str(), RRF_RT_ANY, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
      return std::nullopt;
    }
    std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
    if (RegGetValueW(root_, path.c_str(), value.c_str(), RRF_RT_ANY, &type, data.data(), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<std::string> strings;
    for (size_t start = 0; start < data.size() && data[start] != L'\0';) {
      const std::wstring one(data.c_str() + start);
      std::string text(one.size() * 4, '\0');
      text.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, one.data(), static_cast<int>(one.size()),
                                                          text.data(), static_cast<int>(text.size()), nullptr, nullptr)));
      strings.push_back(text);
      start += one.size() + 1;
    }
    return strings;
  }

  // Quiet settings: no first-start box, no step but those a test turns on, no journal,
  // quick polls, the window never minimised.
  void Quiet() {
    Dword("", pur::names::kFirstStart, 0);
    Dword(pur::names::kCleaningKey, pur::names::kEmptyRecycleBin, 0);
    Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, 0);
    Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 0);
    Dword(pur::names::kDisplayKey, pur::names::kMinimizeToIcon, 0);
    Dword(pur::names::kDisplayKey, pur::names::kRefreshSpeed, 50);
    Dword(pur::names::kJournalKey, pur::names::kJournalEnabled, 0);
  }

 private:
  std::string Path(const std::string& section) const {
    return section.empty() ? versionKey_ : versionKey_ + "\\" + section;
  }
  void Set(const std::string& section, const std::string& name, DWORD type, const void* data,
           DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root_, Path(section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  HKEY root_ = HKEY_CURRENT_USER;
  std::string productKey_;
  std::string versionKey_;
};

// Administrators' policies for one test: both roots' policy keys start empty and are removed
// at the end, whatever the test wrote.
class Policies {
 public:
  Policies() {
    pur::TPURGORegistry registry;
    path_ = registry.GetPolicyKey();
    Clear();
  }
  ~Policies() { Clear(); }
  Policies(const Policies&) = delete;
  Policies& operator=(const Policies&) = delete;

  void Dword(HKEY root, const std::string& section, const std::string& name, DWORD value) {
    Set(root, section, name, REG_DWORD, &value, sizeof value);
  }
  // A policy stored as text: of the wrong type for every value the program reads.
  void Text(HKEY root, const std::string& section, const std::string& name, const std::string& text) {
    Set(root, section, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

 private:
  void Set(HKEY root, const std::string& section, const std::string& name, DWORD type, const void* data, DWORD size) {
    const std::string path = section.empty() ? path_ : path_ + "\\" + section;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void Clear() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path_.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  }
  std::string path_;
};

using purtest::Mask;
using purtest::TreeStreamFor;

// Files go through the wide calls, so that names in any script and folders deeper than
// MAX_PATH are reached as the program reaches them. Paths are UTF-8, the code page of the
// driver as of the program.
using purtest::Exists;
using purtest::ReadBytes;
using purtest::Wide;

inline std::string Utf8(const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes, DWORD attributes = 0) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (attributes) SetFileAttributesW(Wide(path).c_str(), attributes);
}

// A fresh folder (with its trailing backslash) in the prefix's temporary folder.
class Sandbox {
 public:
  Sandbox() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, base);
    for (unsigned attempt = 0;; ++attempt) {
      path_ = std::string(base) + "purmain-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount() + attempt) + "\\";
      if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
  }
  ~Sandbox() { purtest::RemoveTree(Wide(path_)); }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& Path() const { return path_; }
  std::string Folder(const std::string& relative) const {
    const std::string folder = path_ + relative + "\\";
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
    return folder;
  }

 private:
  std::string path_;
};

// A block in another process, for the requests whose argument is a pointer.
class RemoteBlock {
 public:
  RemoteBlock(DWORD processId, size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                           processId);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;

  bool Valid() const { return address_ != nullptr; }
  void* Address() const { return address_; }
  char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(const void* data, size_t size, size_t offset = 0) const {
    return WriteProcessMemory(process_, At(offset), data, size, nullptr) != 0;
  }
  bool Read(void* data, size_t size, size_t offset = 0) const {
    return ReadProcessMemory(process_, At(offset), data, size, nullptr) != 0;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

inline std::string TextOf(HWND window) {
  // Through the wide messages, converted to UTF-8, the driver's code page as the program's.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &length)) {
    return std::string();
  }
  // A rich edit of the A kind refuses a buffer that is only just long enough when the code
  // page is UTF-8 (its length is in characters, its copy in bytes): give it room.
  std::wstring wide(length * 4 + 16, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()),
                      SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
  wide.resize(std::wcslen(wide.c_str()));
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

// Lines of a text split at CR LF, CR or LF.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

struct WindowQuery {
  DWORD processId;
  const char* className;  // or null
  const char* caption;    // or null
  HWND found;
};

inline BOOL CALLBACK MatchTopWindow(HWND window, LPARAM param) {
  auto* q = reinterpret_cast<WindowQuery*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != q->processId) return TRUE;
  char name[256] = {};
  if (q->className) {
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != q->className) return TRUE;
  }
  if (q->caption) {
    GetWindowTextA(window, name, sizeof name);
    if (std::string(name) != q->caption || !IsWindowVisible(window)) return TRUE;
  }
  q->found = window;
  return FALSE;
}

inline HWND FindTopWindow(DWORD processId, const char* className, const char* caption) {
  WindowQuery q{processId, className, caption, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

inline void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

// This process's environment with `changes` applied, as CreateProcess takes it.
inline std::string EnvironmentBlock(const std::map<std::string, std::string>& changes) {
  std::map<std::string, std::string> variables;
  if (char* strings = GetEnvironmentStringsA()) {
    for (const char* p = strings; *p; p += std::strlen(p) + 1) {
      const std::string entry = p;
      const size_t equals = entry.find('=', 1);
      if (equals != std::string::npos) variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    FreeEnvironmentStringsA(strings);
  }
  for (const auto& [name, value] : changes) variables[name] = value;
  std::string block;
  for (const auto& [name, value] : variables) block += name + "=" + value + '\0';
  return block + '\0';
}

// One running PURGOWIN.exe; closed (or ended) when the object goes.
class Program {
 public:
  explicit Program(const std::string& arguments = std::string(),
                   const std::map<std::string, std::string>& environment = {},
                   const std::string& exe = ProgramPath()) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::string block = EnvironmentBlock(environment);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    started_ = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              environment.empty() ? nullptr : block.data(), folder.c_str(),
                              &startup, &info_) != 0;
  }
  ~Program() {
    if (!started_) return;
    if (Running()) {
      if (HWND window = Window(0ms)) PostMessageA(window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(info_.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
      }
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return started_; }
  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Process() const { return info_.hProcess; }
  bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  bool WaitExit(std::chrono::milliseconds timeout) const {
    return WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) ==
           WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

  // The visible main window, waited for.
  HWND Window(std::chrono::milliseconds timeout = kStartTimeout) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
          HWND w = FindTopWindow(Id(), ids::kClassName, nullptr);
          if (w && IsWindowVisible(w)) found = w;
          return found != nullptr || !Running();
        },
        timeout);
    return found;
  }
  HWND Item(int id) const { return GetDlgItem(Window(), id); }

  std::string Label() const { return TextOf(Item(ids::kIdLabelInfo)); }
  std::string Log() const { return TextOf(Item(ids::kIdMemoInfo)); }
  std::vector<std::string> LogLines() const { return SplitLines(Log()); }
  bool LogHas(const std::string& line) const {
    for (const std::string& l : LogLines()) {
      if (l == line) return true;
    }
    return false;
  }
  bool LogHasPrefix(const std::string& prefix) const {
    for (const std::string& l : LogLines()) {
      if (l.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  bool WaitLog(const std::string& line, std::chrono::milliseconds timeout = kRunTimeout) const {
    return WaitFor([&] { return LogHas(line); }, timeout);
  }
  bool WaitLogPrefix(const std::string& prefix,
                     std::chrono::milliseconds timeout = kRunTimeout) const {
    return WaitFor([&] { return LogHasPrefix(prefix); }, timeout);
  }
  // Started and its first poll seen.
  bool WaitReady() const {
    return Window() != nullptr && WaitFor([&] { return Label() == "En attente ..."; }, kStartTimeout);
  }
  // Idle again after a run: the button offers a start.
  bool WaitIdle() const {
    return WaitFor([&] { return TextOf(Item(ids::kIdButtonStartStop)) == ids::kStartCaption; });
  }

  // The colour of the first character of the log's line `line` (counted as SplitLines does).
  std::optional<COLORREF> LineColor(size_t line) const {
    HWND memo = Item(ids::kIdMemoInfo);
    DWORD_PTR start = 0;
    SendMessageTimeoutA(memo, EM_LINEINDEX, line, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &start);
    if (static_cast<LRESULT>(start) < 0) return std::nullopt;
    RemoteBlock block(Id(), sizeof(CHARFORMAT2A));
    if (!block.Valid()) return std::nullopt;
    CHARFORMAT2A format{};
    format.cbSize = sizeof format;
    block.Write(&format, sizeof format);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(memo, EM_SETSEL, start, start + 1, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &ignored);
    SendMessageTimeoutA(memo, EM_GETCHARFORMAT, SCF_SELECTION,
                        reinterpret_cast<LPARAM>(block.Address()), SMTO_ABORTIFHUNG,
                        kMessageTimeoutMs, &ignored);
    if (!block.Read(&format, sizeof format)) return std::nullopt;
    return format.crTextColor;
  }
  // The colour of the first log line equal to `text`.
  std::optional<COLORREF> ColorOfLine(const std::string& text) const {
    const std::vector<std::string> lines = LogLines();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == text) return LineColor(i);
    }
    return std::nullopt;
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

inline constexpr char kFileListCaption[] = "Liste de fichiers";
inline constexpr int kFileListViewId = 101;

inline HWND WaitFileList(const Program& program, std::chrono::milliseconds timeout = kRunTimeout) {
  HWND dialog = nullptr;
  WaitFor(
      [&] {
        dialog = FindTopWindow(program.Id(), nullptr, kFileListCaption);
        return dialog != nullptr;
      },
      timeout);
  return dialog;
}

// The first column of every row of the dialog's list.
inline std::vector<std::string> FileListRows(const Program& program, HWND dialog) {
  HWND list = GetDlgItem(dialog, kFileListViewId);
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  constexpr size_t kTextSize = 1024;
  RemoteBlock block(program.Id(), sizeof(LVITEMA) + kTextSize);
  std::vector<std::string> rows;
  for (int i = 0; i < count && block.Valid(); ++i) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = block.At(sizeof(LVITEMA));
    item.cchTextMax = kTextSize;
    block.Write(&item, sizeof item);
    SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(block.Address()));
    char text[kTextSize] = {};
    block.Read(text, kTextSize - 1, sizeof(LVITEMA));
    rows.push_back(text);
  }
  return rows;
}

// Where a row of the dialog's list shows its name, on the screen.
inline POINT FileListRowPoint(const Program& program, HWND dialog, int row) {
  HWND list = GetDlgItem(dialog, kFileListViewId);
  RemoteBlock block(program.Id(), sizeof(RECT));
  RECT rect{LVIR_LABEL, 0, 0, 0};
  block.Write(&rect, sizeof rect);
  SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(block.Address()));
  block.Read(&rect, sizeof rect);
  POINT point{rect.left + 4, (rect.top + rect.bottom) / 2};
  ClientToScreen(list, &point);
  return point;
}

inline bool FileListRowTicked(HWND dialog, int row) {
  const LRESULT state = SendMessageA(GetDlgItem(dialog, kFileListViewId), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

using purtest::WaitPopupMenu;

}  // namespace maintest
