// Unix symbolic links inside a test's own folder, for the link traps of the cleaning tests.
// Wine cannot make them itself: the Unix `ln` and `rm` are started like any program, and the
// effect is awaited (Wine's handle of a Unix process does not follow it). Under Wine, a
// delete call on a link reaches its target: every link a test makes points into the test's
// own folder, and is removed with `rm` before that folder goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace purtest {

// The Unix path of a Windows path; empty when not running under Wine.
inline std::string UnixPathOf(const std::wstring& windowsPath) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  auto toUnix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unixPath = toUnix(windowsPath.c_str());
  if (!unixPath) return {};
  std::string result = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

inline std::wstring WideOfAnsi(const std::string& text) {
  const int length = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

// Starts a Unix program with its arguments (ANSI, quoted); wide, so that names in any script
// reach it as UTF-8.
inline bool RunUnixProgram(const std::string& program, const std::vector<std::string>& arguments) {
  std::string commandLine = program;
  for (const std::string& a : arguments) commandLine += " \"" + a + "\"";
  std::string windowsProgram = "Z:" + program;
  for (char& c : windowsProgram) c = c == '/' ? '\\' : c;
  std::wstring wideLine = WideOfAnsi(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(WideOfAnsi(windowsProgram).c_str(), wideLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  // Its handle is never signalled: the callers wait for the effect instead.
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

template <class Done>
bool AwaitEffect(Done done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    Sleep(10);
  }
  return false;
}

// `link` (a wide path, "\\?\" form allowed) becomes a link to `target`; true once Wine shows it.
inline bool MakeUnixLink(const std::wstring& link, const std::wstring& target) {
  const std::string unixTarget = UnixPathOf(target);
  const std::string unixLink = UnixPathOf(link);
  if (unixTarget.empty() || unixLink.empty()) return false;
  if (!RunUnixProgram("/bin/ln", {"-s", unixTarget, unixLink})) return false;
  return AwaitEffect([&] {
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  });
}

// Removes the link itself (never its target); true once it is gone.
inline bool RemoveUnixLink(const std::wstring& link) {
  const std::string unixLink = UnixPathOf(link);
  if (unixLink.empty()) return false;
  RunUnixProgram("/bin/rm", {"-f", unixLink});
  return AwaitEffect([&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

}  // namespace purtest
