// A drive letter for a sandbox folder, and Unix symbolic links inside the sandbox that holds
// it. Wine finds drives as links in the prefix's "dosdevices" folder, and lists a Unix link to
// a folder as a reparse point: both are made by the Unix ln, which Wine starts like any
// program, and removed by the Unix rm (Wine's own delete calls on a link delete its target).
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ProgramDriver.h"
#include "UnixLinks.h"

namespace maintest {

inline constexpr char kDriveLink[] = "q:";  // Wine's name for drive Q
inline constexpr char kDriveRoot[] = "Q:\\";

class SandboxDrive {
 public:
  // `folder` (with its final backslash) becomes drive Q. Links may be made anywhere below the
  // folder that holds it (the test's sandbox), never elsewhere.
  explicit SandboxDrive(const std::string& folder) {
    const std::string prefix = Environment("WINEPREFIX");
    if (prefix.empty()) return;
    target_ = UnixName(folder);
    if (target_.empty()) return;
    while (!target_.empty() && target_.back() == '/') target_.pop_back();
    const size_t parent = target_.find_last_of('/');
    if (parent != std::string::npos && parent > 1) sandbox_ = target_.substr(0, parent);
    link_ = prefix + "/dosdevices/" + kDriveLink;
    if (GetFileAttributesA(Root().c_str()) != INVALID_FILE_ATTRIBUTES) {
      link_.clear();  // the letter is taken: never replace a drive of the prefix
      return;
    }
    mapped_ = RunUnix("/bin/ln", {"-sfn", target_, link_});
  }
  // The sandbox's links go first, with rm, so that nothing removing the tree afterwards can
  // reach what they point to.
  ~SandboxDrive() {
    RemoveLinks(std::vector<std::string>(links_.begin(), links_.end()));
    if (link_.empty()) return;
    RunUnix("/bin/rm", {"-f", link_});
    WaitFor([] { return GetFileAttributesA(Root().c_str()) == INVALID_FILE_ATTRIBUTES; }, 10s);
  }
  SandboxDrive(const SandboxDrive&) = delete;
  SandboxDrive& operator=(const SandboxDrive&) = delete;

  static std::string Root() { return kDriveRoot; }
  // The Unix program runs apart from Wine's process handle: wait until the letter works.
  bool Mapped() const {
    return mapped_ && WaitFor([] { return GetFileAttributesA(Root().c_str()) != INVALID_FILE_ATTRIBUTES; }, 10s);
  }

  // Makes each `link` (a Windows path, UTF-8, not yet there) a Unix link to the folder
  // `target` (ln -s target link), in one Unix process, and waits until Wine lists every link
  // as a reparse point. Refused (false, nothing made) unless every link and target lies in
  // the sandbox, below folders that are not links themselves.
  bool Link(const std::vector<std::pair<std::string, std::string>>& targetsAndLinks) {
    std::vector<std::string> scripts(1);
    std::vector<std::string> made;
    for (const auto& [target, link] : targetsAndLinks) {
      const std::string unixTarget = UnixName(target);
      const std::string unixLink = UnixNameOfNew(link);
      if (!Confined(unixTarget) || !Confined(unixLink) || !ReachedWithoutLinks(target) ||
          !ReachedWithoutLinks(Parent(link))) {
        return false;
      }
      // Well within the 32767 characters of a command line.
      if (scripts.back().size() > kScriptLength) scripts.emplace_back();
      scripts.back() += "ln -s -- " + Quoted(unixTarget) + " " + Quoted(unixLink) + "; ";
      made.push_back(link);
    }
    if (made.empty()) return true;
    links_.insert(links_.end(), made.begin(), made.end());
    for (const std::string& script : scripts) {
      if (!RunUnix("/bin/sh", {"-c", script})) return false;
    }
    return WaitFor(
        [&] {
          return std::all_of(made.begin(), made.end(), [](const std::string& link) {
            const DWORD a = GetFileAttributesW(ExactW(link).c_str());
            return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
          });
        },
        10s);
  }
  bool Link(const std::string& target, const std::string& link) { return Link({{target, link}}); }

  // Removes links this object made (rm, which never follows them) and waits until they are
  // gone. A path it did not make is left alone.
  bool Unlink(const std::string& link) { return RemoveLinks({link}); }

  // The "\\?\" wide form of a Windows path: every name exactly as given, none trimmed.
  static std::wstring ExactW(const std::string& path) {
    return path.rfind("\\\\?\\", 0) == 0 ? Wide(path) : L"\\\\?\\" + Wide(path);
  }

 private:
  static constexpr size_t kScriptLength = 8000;
  static constexpr size_t kLinksPerCall = 40;

  static std::string Environment(const char* name) {
    char buffer[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
  }
  // Wine's Unix name of an existing Windows path (UTF-8 in, UTF-8 out); empty when unknown.
  static std::string UnixName(const std::string& path) { return purtest::UnixPathOf(ExactW(path)); }
  static std::string Parent(const std::string& path) {
    std::string p = path;
    while (!p.empty() && p.back() == '\\') p.pop_back();
    const size_t slash = p.find_last_of('\\');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
  }
  // A path not there yet: its existing folder's Unix name, then its own name unchanged.
  static std::string UnixNameOfNew(const std::string& path) {
    std::string p = path;
    while (!p.empty() && p.back() == '\\') p.pop_back();
    const std::string folder = UnixName(Parent(p));
    const std::string leaf = p.substr(p.find_last_of('\\') + 1);
    if (folder.empty() || leaf.empty() || leaf == "." || leaf == ".." ||
        leaf.find('/') != std::string::npos) {
      return std::string();
    }
    return folder + "/" + leaf;
  }
  bool Confined(const std::string& unix) const {
    if (sandbox_.empty() || unix.rfind(sandbox_ + "/", 0) != 0) return false;
    return unix.find("/../") == std::string::npos && unix.find("/./") == std::string::npos &&
           unix.find("//") == std::string::npos;
  }
  // No folder on the way from the sandbox down to `path` is a reparse point, so the Unix
  // name is where the link lands, not a place behind another link.
  bool ReachedWithoutLinks(const std::string& path) const {
    const std::string unix = UnixName(path);
    if (!Confined(unix)) return false;
    std::string windows = path;
    while (!windows.empty() && windows.back() == '\\') windows.pop_back();
    const size_t below = std::count(unix.begin() + static_cast<std::ptrdiff_t>(sandbox_.size()), unix.end(), '/');
    for (size_t level = 0; level < below; ++level) {
      const DWORD a = GetFileAttributesW(ExactW(windows).c_str());
      if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
      windows = Parent(windows);
      while (!windows.empty() && windows.back() == '\\') windows.pop_back();
    }
    return true;
  }
  static std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  bool RemoveLinks(const std::vector<std::string>& links) {
    std::vector<std::string> arguments = {"-f", "--"};
    std::vector<std::string> removing;
    for (const std::string& link : links) {
      auto mine = std::find(links_.begin(), links_.end(), link);
      if (mine == links_.end()) continue;
      const std::string unix = UnixNameOfNew(link);
      const DWORD a = GetFileAttributesW(ExactW(link).c_str());
      // Only a link itself: a real folder or file under that name is not ours to remove.
      if (Confined(unix) && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        arguments.push_back(unix);
        removing.push_back(link);
      }
      links_.erase(mine);
    }
    if (removing.empty()) return true;
    // Within a command line's length, a few dozen links at a time.
    for (size_t first = 2; first < arguments.size(); first += kLinksPerCall) {
      std::vector<std::string> some = {"-f", "--"};
      const size_t last = std::min(arguments.size(), first + kLinksPerCall);
      some.insert(some.end(), arguments.begin() + static_cast<std::ptrdiff_t>(first),
                  arguments.begin() + static_cast<std::ptrdiff_t>(last));
      if (!RunUnix("/bin/rm", some)) return false;
    }
    return WaitFor(
        [&] {
          return std::all_of(removing.begin(), removing.end(), [](const std::string& link) {
            return GetFileAttributesW(ExactW(link).c_str()) == INVALID_FILE_ATTRIBUTES;
          });
        },
        10s);
  }
  static bool RunUnix(const std::string& program, const std::vector<std::string>& arguments) {
    return purtest::RunUnixProgram(program, arguments);
  }

  std::string target_;
  std::string sandbox_;
  std::string link_;
  std::vector<std::string> links_;
  bool mapped_ = false;
};

}  // namespace maintest
