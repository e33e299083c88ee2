// The prefix's Recycle Bin, found from inside a Wine process, and the check that it lies in
// the build tree: tests and benchmarks touch a Trash only after that check.
// Needs PUR_BUILD_DIR (the Unix path of the build tree) defined by the target.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace purtest {

inline std::string Environment(const char* name) {
  char buffer[MAX_PATH * 2] = {};
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

inline bool InsideBuildTree(const std::string& unixPath) {
  const std::string root = std::string(PUR_BUILD_DIR) + "/";
  return unixPath.rfind(root, 0) == 0 && unixPath.find("/..") == std::string::npos;
}

// Wine keeps the Unix HOME out of the Windows environment and gives it as WINEHOMEDIR,
// in the form "\??\Z:\unix\path".
inline std::string UnixHome() {
  const std::string home = Environment("WINEHOMEDIR");
  const std::string prefix = "\\??\\Z:";
  if (home.rfind(prefix, 0) != 0) return {};
  std::string path = home.substr(prefix.size());
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// True when both the home and the Trash (XDG_DATA_HOME) are inside the build tree.
inline bool TrashIsSandboxed() {
  return InsideBuildTree(UnixHome()) && InsideBuildTree(Environment("XDG_DATA_HOME"));
}

// The Trash's "files" folder as a Windows path (Wine maps Z: to the Unix root).
inline std::string TrashFiles() {
  std::string path = "Z:" + Environment("XDG_DATA_HOME") + "/Trash/files/";
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace purtest
