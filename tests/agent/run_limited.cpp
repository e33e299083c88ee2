// run_limited PROGRAM [ARGUMENTS...]: starts the program as a logon would, with the session's
// limited token, waits for it and exits with its exit code. The screenshot of the agent starts
// it this way: started with Wine's full token, the agent refuses to run.
#include <windows.h>

#include <string>

#include "LimitedToken.h"

int main() {
  // The command line after this program's own name, quoted as it came.
  std::string line = GetCommandLineA();
  size_t skip = 0;
  if (!line.empty() && line[0] == '"') {
    skip = line.find('"', 1);
    skip = skip == std::string::npos ? line.size() : skip + 1;
  } else {
    skip = line.find(' ');
    if (skip == std::string::npos) skip = line.size();
  }
  std::string command = line.substr(skip);
  while (!command.empty() && command[0] == ' ') command.erase(0, 1);
  if (command.empty()) return 2;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  HANDLE token = purtest::LimitedToken();
  const BOOL started = token ? CreateProcessAsUserA(token, nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                                    nullptr, &startup, &info)
                             : CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                              &startup, &info);
  if (token) CloseHandle(token);
  if (!started) return 3;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}
