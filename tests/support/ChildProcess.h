// Multi-process tests: the test executable starts copies of itself with "--child ..." and
// talks to them through named events.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace purtest {

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(Handle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  Handle& operator=(Handle&& o) noexcept {
    std::swap(h_, o.h_);
    return *this;
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

inline std::string SelfPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// Another program of the tests' own folder.
inline std::string SiblingPath(const std::string& fileName) {
  const std::string self = SelfPath();
  return self.substr(0, self.find_last_of('\\') + 1) + fileName;
}

// Starts the program with "--child" followed by the arguments; answers the process.
inline Handle StartChildOf(const std::string& program, const std::vector<std::string>& args) {
  std::string cmd = "\"" + program + "\" --child";
  for (const auto& a : args) cmd += " \"" + a + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return Handle();
  CloseHandle(pi.hThread);
  return Handle(pi.hProcess);
}

// The same with this executable.
inline Handle StartChild(const std::vector<std::string>& args) { return StartChildOf(SelfPath(), args); }

// The exit code, or -1 when the process did not end in time (it is then killed).
inline int WaitExit(const Handle& process, DWORD ms) {
  if (WaitForSingleObject(process.get(), ms) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 99);
    WaitForSingleObject(process.get(), 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}

inline Handle NamedEvent(const std::string& name) {
  return Handle(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
}

inline bool WaitEvent(const std::string& name, DWORD ms) {
  Handle e = NamedEvent(name);
  return WaitForSingleObject(e.get(), ms) == WAIT_OBJECT_0;
}

// The parent creates every event before it starts a child and keeps it for the test, so
// that a named event never dies before its waiter has seen it.
inline void Signal(const std::string& name) {
  Handle e = NamedEvent(name);
  SetEvent(e.get());
}

// Polls until pred() holds; answers whether it did within ms.
template <class Pred>
bool Eventually(Pred pred, DWORD ms) {
  DWORD start = GetTickCount();
  while (!pred()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace purtest
