// PURGOWIN.exe /S over a sandbox drive full of traps: links out of the drive and back into it,
// real folders whose names Windows trims to a link's name ("Docs." beside a link "Docs"),
// device names, fullwidth separators, names in other scripts, hidden folders. Whatever the
// traps, nothing outside the drive changes, only real matching files of the drive go, every
// plain matching file goes, and the journal names no other path.
//
// Fixed rows show each trap alone; seeded drives mix them. A seed can be rerun alone with
// PUR_TRAP_SEED=<n> (the ForcedSeed test). The canaries the traps point to live in the same
// sandbox, outside the drive: a product that follows a trap damages only the sandbox.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ProgramDriver.h"
#include "SampleFiles.h"
#include "SandboxDrive.h"

namespace maintest {
namespace {

using Clock = std::chrono::steady_clock;

// Read-only, hidden and system files stay (any non-zero mode), so a plain matching file is
// exactly one that may go.
constexpr DWORD kKeepReadOnlyHidden = 2;
constexpr DWORD kAllJournalEvents = 31;
constexpr size_t kWalkDepthLimit = 64;
constexpr size_t kMostLinesShown = 40;

// Names: what Windows would trim or take for a device, and the masks' wildcard rules.

bool Trimmed(const std::string& name) {
  return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension, blanks before it ignored.
bool DeviceName(const std::string& name) {
  std::string base = UpperAscii(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// '*' any run, '?' one byte of the name; ASCII letters without regard to case, every other
// byte exact. Names here hold no '?' in masks, so bytes stand for characters well enough.
bool Glob(const std::string& pattern, const std::string& name) {
  size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || UpperAscii(std::string(1, pattern[p])) ==
                                         UpperAscii(std::string(1, name[n])))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Windows' rule for the masks used here: as Glob, and a final ".*" also takes a name without
// any dot ("~*.*" matches "~lock").
bool MaskMatches(const std::string& pattern, const std::string& name) {
  if (Glob(pattern, name)) return true;
  const bool dotStar = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0;
  return dotStar && name.find('.') == std::string::npos &&
         Glob(pattern.substr(0, pattern.size() - 2), name);
}

std::vector<std::string> Parts(const std::string& relative) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= relative.size()) {
    const size_t end = relative.find('\\', start);
    const std::string part = relative.substr(start, end == std::string::npos ? end : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

std::string Joined(const std::vector<std::string>& parts, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && i < parts.size(); ++i) text += (i ? "\\" : "") + parts[i];
  return text;
}

// Snapshots: every entry below a folder, reached with "\\?\" wide paths, links recorded but
// never entered, so the traps cannot fool the snapshot itself.

struct Entry {
  bool folder = false;
  bool link = false;
  DWORD attributes = 0;
  std::string bytes;
  bool operator==(const Entry&) const = default;
};
using Tree = std::map<std::string, Entry>;  // relative path, exact names -> state

// The "\\?\" form: the very file, whatever its name.
std::string ReadExact(const std::string& path) {
  return ReadBytes(path.rfind("\\\\?\\", 0) == 0 ? path : "\\\\?\\" + path);
}

// `folder` ends in a backslash. A walk that meets the depth bound records it as an entry, so
// the comparison fails instead of the snapshot going on.
Tree Snapshot(const std::string& folder) {
  Tree tree;
  std::vector<std::pair<std::string, size_t>> stack = {{"", 0}};
  while (!stack.empty()) {
    const auto [relative, depth] = stack.back();
    stack.pop_back();
    if (depth >= kWalkDepthLimit) {
      tree[relative + "<too deep>"] = Entry{};
      continue;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(SandboxDrive::ExactW(folder + relative + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      const std::string name = Utf8(data.cFileName);
      if (name == "." || name == "..") continue;
      const std::string path = relative + name;
      Entry entry;
      entry.attributes = data.dwFileAttributes;
      entry.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (!entry.folder && !entry.link) entry.bytes = ReadExact(folder + path);
      tree[path] = entry;
      if (entry.folder && !entry.link) stack.push_back({path + "\\", depth + 1});
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return tree;
}

// The search definition: the drive's masks and stored folders below it, each with masks.

struct Place {
  std::string relative;  // below the drive's root, no final backslash; "" is the root
  Mask mask;
};

struct PlaceNode {
  std::string name;
  std::vector<Mask> masks;
  std::vector<PlaceNode> children;
};

void WriteNode(std::string& bytes, const PlaceNode& node) {
  auto integer = [&bytes](int32_t v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); };
  auto text = [&bytes](const std::string& t) {
    bytes += static_cast<char>(t.size());
    bytes += t;
  };
  text(node.name);
  integer(static_cast<int32_t>(node.children.size()));
  for (const PlaceNode& child : node.children) WriteNode(bytes, child);
  integer(static_cast<int32_t>(node.masks.size()));
  for (const Mask& m : node.masks) {
    text(m.text);
    bytes += static_cast<char>(m.recursive ? 1 : 0);
  }
}

// The stream of one drive holding the places (the root's and those of stored folders one
// level below it).
std::string TreeStreamOf(const std::string& letter, const std::vector<Place>& places) {
  PlaceNode drive{letter, {}, {}};
  for (const Place& p : places) {
    if (p.relative.empty()) {
      drive.masks.push_back(p.mask);
      continue;
    }
    auto child = std::find_if(drive.children.begin(), drive.children.end(),
                              [&](const PlaceNode& n) { return n.name == p.relative; });
    if (child == drive.children.end()) {
      drive.children.push_back({p.relative, {}, {}});
      child = drive.children.end() - 1;
    }
    child->masks.push_back(p.mask);
  }
  std::string bytes;
  const int32_t drives = 1;
  bytes.append(reinterpret_cast<const char*>(&drives), sizeof drives);
  WriteNode(bytes, drive);
  return bytes;
}

const std::vector<Place> kDriveMasks = {
    {"", {"*.tmp", true}}, {"", {"~*.*", true}}, {"", {"*.bak", false}}, {"", {"Cache\\*.dat", false}}};

// The oracle, from the snapshot taken before the run and the places alone.

struct Verdict {
  bool matched = false;  // a real file of the drive, reached exactly, that a mask takes
  std::string why;       // when not: the reason, for the failure message
};

// Why the search may not use the folder `parts[index]` (empty when it may). Every folder on the
// way must be real and keep its name; those the search finds by itself (`discovered`) must
// also be neither hidden nor system.
std::string RefusedFolder(const Tree& tree, const std::vector<std::string>& parts, size_t index,
                          bool discovered) {
  const std::string path = Joined(parts, index + 1);
  auto found = tree.find(path);
  if (found == tree.end() || !found->second.folder) return "not a folder: " + path;
  if (found->second.link) return "below the link " + path;
  if (Trimmed(parts[index])) return "in a folder whose name Windows trims: " + path;
  if (DeviceName(parts[index])) return "in a folder with a device name: " + path;
  if (discovered && (found->second.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
    return "in a hidden or system folder: " + path;
  }
  return std::string();
}

Verdict Judge(const Tree& tree, const std::vector<Place>& places, const std::string& relative) {
  const std::vector<std::string> parts = Parts(relative);
  auto entry = tree.find(relative);
  if (parts.empty() || entry == tree.end()) return {false, "not a file of the drive"};
  if (entry->second.folder || entry->second.link) return {false, "not a file"};
  const std::string& name = parts.back();
  if (Trimmed(name)) return {false, "a name Windows trims"};
  if (DeviceName(name)) return {false, "a device name"};
  std::string why = "no mask takes it";
  for (const Place& place : places) {
    const std::vector<std::string> placeParts = Parts(place.relative);
    const std::vector<std::string> maskParts = Parts(place.mask.text);
    if (maskParts.empty()) continue;
    const std::vector<std::string> sub(maskParts.begin(), maskParts.end() - 1);
    // The file's folder is X\sub, X the place or (recursive masks) a folder below it.
    const size_t folderDepth = parts.size() - 1;
    if (folderDepth < placeParts.size() + sub.size()) continue;
    const size_t xDepth = folderDepth - sub.size();
    if (xDepth != placeParts.size() && !place.mask.recursive) continue;
    bool same = true;
    for (size_t i = 0; i < placeParts.size() && same; ++i) same = UpperAscii(parts[i]) == UpperAscii(placeParts[i]);
    for (size_t i = 0; i < sub.size() && same; ++i) same = UpperAscii(parts[xDepth + i]) == UpperAscii(sub[i]);
    if (!same || !MaskMatches(maskParts.back(), name)) continue;
    // The place and the mask's folders are entered by path; the folders between are found.
    std::string refused;
    for (size_t i = 0; i < folderDepth && refused.empty(); ++i) {
      refused = RefusedFolder(tree, parts, i, i >= placeParts.size() && i < xDepth);
    }
    if (refused.empty()) return {true, std::string()};
    why = refused;
  }
  return {false, why};
}

bool Protected(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

// A sandbox with a drive folder, canary folders outside it, and links between them.

class TrapDisk {
 public:
  TrapDisk()
      : disk_(box_.Folder("disk")),
        outside_(box_.Folder("outside")),
        journal_(box_.Folder("journal")),
        temp_(box_.Folder("temp")) {}

  const std::string& Disk() const { return disk_; }
  const std::string& Outside() const { return outside_; }
  const std::string& Journal() const { return journal_; }
  const std::string& Temp() const { return temp_; }
  const std::vector<std::string>& Layout() const { return layout_; }

  // Exact names, so that "Docs." and "Space " are made as given.
  bool Folder(const std::string& relative, DWORD attributes = 0, const std::string& note = "") {
    const std::string path = disk_ + relative;
    if (!MakeFolder(path, attributes)) return false;
    layout_.push_back("folder " + relative + Attributes(attributes) + note);
    return true;
  }
  bool File(const std::string& relative, DWORD attributes = 0, const std::string& note = "") {
    if (!MakeFile(disk_ + relative, attributes)) return false;
    layout_.push_back("file   " + relative + Attributes(attributes) + note);
    return true;
  }
  // A canary folder outside the drive with files the masks would take were they inside.
  std::string Canary(const std::string& name, const std::vector<std::string>& files) {
    const std::string folder = outside_ + name + "\\";
    MakeFolder(folder, 0);
    for (const std::string& f : files) {
      if (f.back() == '\\') {
        MakeFolder(folder + f, 0);
      } else {
        MakeFile(folder + f, 0);
      }
    }
    return folder;
  }
  // `relative` on the drive becomes a link to `target` (a folder of the sandbox); made by
  // MakeLinks, after every real entry.
  void Link(const std::string& relative, const std::string& target, const std::string& note = "") {
    links_.push_back({target, disk_ + relative});
    std::string shown = target;
    if (shown.rfind(disk_, 0) == 0) shown = "Q:\\" + shown.substr(disk_.size());
    if (shown.rfind(outside_, 0) == 0) shown = "outside\\" + shown.substr(outside_.size());
    layout_.push_back("link   " + relative + " -> " + shown + note);
  }
  bool MakeLinks(SandboxDrive& drive) { return drive.Link(links_); }

  std::string LayoutText() const {
    std::string text;
    for (const std::string& line : layout_) text += "  " + line + "\n";
    return text;
  }

 private:
  static std::string Attributes(DWORD a) {
    std::string text;
    if (a & FILE_ATTRIBUTE_READONLY) text += " [read-only]";
    if (a & FILE_ATTRIBUTE_HIDDEN) text += " [hidden]";
    if (a & FILE_ATTRIBUTE_SYSTEM) text += " [system]";
    return text;
  }
  static bool MakeFolder(const std::string& path, DWORD attributes) {
    if (!CreateDirectoryW(SandboxDrive::ExactW(path).c_str(), nullptr)) return false;
    return !attributes || SetFileAttributesW(SandboxDrive::ExactW(path).c_str(), attributes);
  }
  static bool MakeFile(const std::string& path, DWORD attributes) {
    HANDLE file = CreateFileW(SandboxDrive::ExactW(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::string bytes = purtest::ContentFor(path, purtest::Kind::Plain);
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size();
    CloseHandle(file);
    return whole && (!attributes || SetFileAttributesW(SandboxDrive::ExactW(path).c_str(), attributes));
  }

  Sandbox box_;  // removed after the drive below has removed its links
  std::string disk_;
  std::string outside_;
  std::string journal_;
  std::string temp_;
  std::vector<std::pair<std::string, std::string>> links_;
  std::vector<std::string> layout_;
};

// One run of PURGOWIN.exe /S over a prepared drive, and the four checks.

std::string Listed(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size() && i < kMostLinesShown; ++i) text += "  " + lines[i] + "\n";
  if (lines.size() > kMostLinesShown) text += "  ... " + std::to_string(lines.size() - kMostLinesShown) + " more\n";
  return text;
}

// The paths the journal reports, one per " * path : OK" or " * path : FAILED" line.
std::vector<std::string> ReportedPaths(const std::string& journal) {
  std::vector<std::string> paths;
  for (const std::string& line : SplitLines(journal)) {
    if (line.rfind(" * ", 0) != 0) continue;
    for (const char* end : {" : OK", " : FAILED"}) {
      const std::string tail = end;
      if (line.size() > 3 + tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
        paths.push_back(line.substr(3, line.size() - 3 - tail.size()));
        break;
      }
    }
  }
  return paths;
}

struct RunTimes {
  double runSeconds = 0;
  size_t files = 0;
  size_t plain = 0;
};

// Runs /S over `disk` (its links made already) and checks the outcome. `context` names the
// row or seed in every failure; the drive's layout is printed once when any check failed.
RunTimes RunAndCheck(TrapDisk& disk, const std::vector<Place>& places, const std::string& context) {
  RunTimes times;
  const Tree outsideBefore = Snapshot(disk.Outside());
  const Tree diskBefore = Snapshot(disk.Disk());

  std::set<std::string> matched;
  std::set<std::string> plain;
  std::map<std::string, std::string> why;
  for (const auto& [relative, entry] : diskBefore) {
    if (entry.folder || entry.link) continue;
    ++times.files;
    const Verdict v = Judge(diskBefore, places, relative);
    if (!v.matched) {
      why[relative] = v.why;
      continue;
    }
    matched.insert(relative);
    if (Protected(entry.attributes)) {
      why[relative] = "read-only, hidden or system";
    } else {
      plain.insert(relative);
    }
  }
  times.plain = plain.size();

  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kReadOnlyHiddenMode, kKeepReadOnlyHidden);
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData, TreeStreamOf("Q", places));
  settings.Dword(pur::names::kJournalKey, pur::names::kJournalEnabled, 1);
  settings.String(pur::names::kJournalKey, pur::names::kLocation, disk.Journal());
  settings.Dword(pur::names::kJournalKey, pur::names::kEvents, kAllJournalEvents);

  const auto start = Clock::now();
  {
    Program program("/S", {{"TMP", disk.Temp()}, {"TEMP", disk.Temp()}});
    EXPECT_TRUE(program.Started()) << context;
    EXPECT_TRUE(program.WaitExit(kRunTimeout)) << "PURGOWIN /S did not end\n" << context;
  }
  times.runSeconds = std::chrono::duration<double>(Clock::now() - start).count();

  const Tree outsideAfter = Snapshot(disk.Outside());
  const Tree diskAfter = Snapshot(disk.Disk());

  // (1) Nothing outside the drive changes: every canary byte and attribute, nothing new.
  std::vector<std::string> outsideChanges;
  for (const auto& [relative, entry] : outsideBefore) {
    auto after = outsideAfter.find(relative);
    if (after == outsideAfter.end()) {
      outsideChanges.push_back("gone: outside\\" + relative);
    } else if (!(after->second == entry)) {
      outsideChanges.push_back("changed: outside\\" + relative);
    }
  }
  for (const auto& [relative, entry] : outsideAfter) {
    if (!outsideBefore.count(relative)) outsideChanges.push_back("appeared: outside\\" + relative);
  }
  EXPECT_TRUE(outsideChanges.empty()) << "(1) outside the drive:\n" << Listed(outsideChanges) << context;

  // (2) Every deleted file was a real, plain file of the drive that a mask takes; nothing
  // else on the drive changed.
  std::vector<std::string> wrongDeletions;
  std::vector<std::string> diskChanges;
  for (const auto& [relative, entry] : diskBefore) {
    auto after = diskAfter.find(relative);
    if (after == diskAfter.end()) {
      if (!plain.count(relative)) {
        wrongDeletions.push_back("Q:\\" + relative + "  (" +
                                 (why.count(relative) ? why.at(relative) : std::string("a folder or link")) + ")");
      }
    } else if (!(after->second == entry)) {
      diskChanges.push_back("changed: Q:\\" + relative);
    }
  }
  for (const auto& [relative, entry] : diskAfter) {
    if (!diskBefore.count(relative)) diskChanges.push_back("appeared: Q:\\" + relative);
  }
  EXPECT_TRUE(wrongDeletions.empty()) << "(2) deleted though not a plain matching file of the drive:\n"
                                      << Listed(wrongDeletions) << context;
  EXPECT_TRUE(diskChanges.empty()) << "(2) changed on the drive:\n" << Listed(diskChanges) << context;

  // (3) Every plain matching file goes.
  std::vector<std::string> stayed;
  for (const std::string& relative : plain) {
    if (diskAfter.count(relative)) stayed.push_back("Q:\\" + relative);
  }
  EXPECT_TRUE(stayed.empty()) << "(3) plain matching files still there:\n" << Listed(stayed) << context;

  // (4) The journal names only real matching files of the drive, each by its exact name.
  std::vector<std::string> wrongReports;
  for (const std::string& path : ReportedPaths(ReadBytes(disk.Journal() + "PURGOWIN.LOG"))) {
    const std::string root = SandboxDrive::Root();
    const std::string relative = path.rfind(root, 0) == 0 ? path.substr(root.size()) : std::string();
    if (relative.empty() || !matched.count(relative)) {
      const std::string reason = why.count(relative) ? why.at(relative) : std::string("no such file on the drive");
      wrongReports.push_back(path + "  (" + reason + ")");
    }
  }
  EXPECT_TRUE(wrongReports.empty()) << "(4) reported in the journal though not a real matching file:\n"
                                    << Listed(wrongReports) << context;
  if (::testing::Test::HasFailure()) std::printf("%s, drive:\n%s", context.c_str(), disk.LayoutText().c_str());
  return times;
}

// Fixed rows: each trap alone beside the same plain files, then all of them together.

enum Trap : unsigned {
  kDocsDot = 1,       // a real folder "Docs." beside a link "Docs" out of the drive
  kInnerDeepDot = 2,  // "Inner\Deep." beside a link "Inner\Deep"
  kSpaceBlank = 4,    // "Space " beside a link "Space"
  kCacheLink = 8,     // a link "Cache" where the mask "Cache\*.dat" looks
  kStoredLink = 16,   // the definition names Q:\Linked\, a link
};

struct Row {
  const char* name;
  unsigned traps;
};

const Row kRows[] = {
    {"NoTrapsOnlyPlainFiles", 0},  // the checks themselves pass on a drive without traps
    {"DocsDotBesideALinkDocs", kDocsDot},
    {"InnerDeepDotBesideALinkInnerDeep", kInnerDeepDot},
    {"SpaceBlankBesideALinkSpace", kSpaceBlank},
    {"CacheIsALinkForTheMaskCacheDat", kCacheLink},
    {"StoredFolderIsALink", kStoredLink},
    {"AllTrapsTogether", kDocsDot | kInnerDeepDot | kSpaceBlank | kCacheLink | kStoredLink},
};

// What the canaries behind the links hold: files every mask would take.
const std::vector<std::string> kCanaryFiles = {"victim.tmp", "~victim.doc", "victim.bak", "c.dat",
                                               "below\\", "below\\victim.tmp", "keep.txt"};

// The trap is real: as the last part of a plain path, the trimmed name reaches the link; a
// final dot is trimmed inside a path too, so a file below it is the canary's. (Wine keeps a
// final blank inside a path, as Windows does: "Space \x" is the real folder's file.)
void ExpectTrimmedNameReachesTheLink(const std::string& trimmedFolder, const std::string& canary) {
  const DWORD attributes = GetFileAttributesW(Wide(SandboxDrive::Root() + trimmedFolder).c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      << "Wine no longer trims the last part \"" << trimmedFolder << "\" to the link's name";
  if (trimmedFolder.back() != '.') return;
  const std::string throughTrim = ReadBytes(SandboxDrive::Root() + trimmedFolder + "\\victim.tmp");
  EXPECT_TRUE(throughTrim == ReadExact(canary + "victim.tmp"))
      << "Wine no longer trims \"" << trimmedFolder << "\" inside a path to the link's name";
}

// The row's name, not its bytes, in the test's listing.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class TrapRow : public ::testing::TestWithParam<Row> {};

TEST_P(TrapRow, OnlyPlainMatchingFilesOfTheDriveGo) {
  const Row row = GetParam();
  TrapDisk disk;
  SandboxDrive drive(disk.Disk());
  ASSERT_TRUE(drive.Mapped()) << "no drive letter for the sandbox";

  for (const char* f : {"plain.tmp", "B.TMP", "~lock.txt", "old.bak", "keep.txt"}) ASSERT_TRUE(disk.File(f));
  ASSERT_TRUE(disk.Folder("sub"));
  ASSERT_TRUE(disk.File("sub\\inner.tmp"));
  ASSERT_TRUE(disk.File("sub\\inner.bak"));  // "*.bak" is not recursive
  ASSERT_TRUE(disk.Folder("Inner"));
  ASSERT_TRUE(disk.File("Inner\\plain.tmp"));
  std::vector<Place> places = kDriveMasks;
  std::vector<std::pair<std::string, std::string>> trimmedPairs;  // trimmed folder, canary

  // Each trimmed folder holds files of the canary's names: listed through the trimmed path,
  // either the canary's file or its own would go.
  auto trimmedPair = [&](const std::string& real, const std::string& link, const std::string& canaryName) {
    if (!disk.Folder(real) || !disk.File(real + "\\victim.tmp") || !disk.File(real + "\\own.tmp")) {
      return false;
    }
    const std::string canary = disk.Canary(canaryName, kCanaryFiles);
    disk.Link(link, canary);
    trimmedPairs.push_back({real, canary});
    return true;
  };
  const char* cannot = "Wine cannot make a folder whose name Windows trims";
  if (row.traps & kDocsDot) {
    ASSERT_TRUE(trimmedPair("Docs.", "Docs", "docs")) << cannot;
  }
  if (row.traps & kInnerDeepDot) {
    ASSERT_TRUE(trimmedPair("Inner\\Deep.", "Inner\\Deep", "deep")) << cannot;
  }
  if (row.traps & kSpaceBlank) {
    ASSERT_TRUE(trimmedPair("Space ", "Space", "space")) << cannot;
  }
  if (row.traps & kCacheLink) disk.Link("Cache", disk.Canary("cache", kCanaryFiles));
  if (row.traps & kStoredLink) {
    disk.Link("Linked", disk.Canary("linked", kCanaryFiles));
    places.push_back({"Linked", {"*.tmp", true}});
    places.push_back({"Linked", {"*.dat", false}});
  }
  ASSERT_TRUE(disk.MakeLinks(drive)) << "the links could not be made";
  for (const auto& [real, canary] : trimmedPairs) ExpectTrimmedNameReachesTheLink(real, canary);

  RunAndCheck(disk, places, std::string("row ") + row.name);
  // The named expectations, beside the general checks.
  EXPECT_FALSE(Exists(disk.Disk() + "plain.tmp"));
  EXPECT_FALSE(Exists(disk.Disk() + "Inner\\plain.tmp"));
  for (const auto& [real, canary] : trimmedPairs) {
    EXPECT_NE(GetFileAttributesW(SandboxDrive::ExactW(disk.Disk() + real + "\\own.tmp").c_str()), INVALID_FILE_ATTRIBUTES)
        << real << "\\own.tmp went: a name Windows trims was entered";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, TrapRow, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// Seeded drives of traps.

// A small generator of its own, so that a seed builds the same drive with any library.
class Dice {
 public:
  explicit Dice(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& from) { return from[Below(from.size())]; }

 private:
  uint64_t state_;
};

const std::vector<std::string> kFolderNames = {
    "alpha", "Beta", "gamma dir", "Data 2", "caf\xC3\xA9", "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1",  // Ωμέγα
    "\xD0\x9A\xD0\xB8\xD1\x80", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",                              // Кир, 日本語
    "\xF0\x9F\x98\x80 box", "a\xEF\xBC\xBC..\xEF\xBC\xBC" "b", "x\xEF\xBC\x8Fy"};                    // 😀, ＼, ／
const std::vector<std::string> kStems = {
    "a", "Report", "with space", "dots.in.name", "z\xC5\x82oty", "zloty",  // złoty
    "\xCE\x91\xCE\x92\xCE\x93", "\xE6\x96\x87\xE4\xBB\xB6", "\xF0\x9F\x98\x80",  // ΑΒΓ, 文件, 😀
    "a\xEF\xBC\xBC..\xEF\xBC\xBCkeep", "p\xEF\xBC\x8Fq"};                          // ＼, ／
const std::vector<std::string> kTrimBases = {"Docs", "Media", "Work", "\xCE\x95\xCE\xBB", "\xE6\x95\xB0"};
const std::vector<std::string> kDeviceFolders = {"CON", "NUL", "COM1", "LPT1", "aux", "prn", "Com9", "lpt3"};
const std::vector<std::string> kDeviceFiles = {"AUX.tmp", "nul.tmp", "CON", "NUL", "COM1.tmp", "lpt1.tmp",
                                               "PRN.bak", "con.dat", "Aux.TMP", "com2.txt"};
const std::vector<std::string> kOddFiles = {"x.tmp.", "x.tmp ", "y.bak.", "keep.txt", "a.tmp.txt",
                                            "tmp", "x.\xEF\xBD\x94\xEF\xBD\x8D\xEF\xBD\x90",  // x.ｔｍｐ
                                            "x.tm\xD1\x80", "draft~.doc"};              // Cyrillic р

class DriveBuilder {
 public:
  DriveBuilder(TrapDisk& disk, Dice& dice) : disk_(disk), dice_(dice) {}

  void Build() {
    Fill("", 0);
    CacheAtRoot();
    // Half the drives store a folder that is a link, out of the drive or back into it.
    if (dice_.Chance(50) && Take("", "Stored")) {
      pending_.push_back({"Stored", dice_.Chance(50) ? Canary() : std::string(), " (stored in the definition)"});
      stored_ = true;
    }
    for (const PendingLink& l : pending_) {
      const std::vector<std::string> parts = Parts(l.relative);
      for (size_t n = 0; n < parts.size(); ++n) holders_.insert(Joined(parts, n));
    }
    for (const PendingLink& l : pending_) {
      disk_.Link(l.relative, l.target.empty() ? BackTarget() : l.target, l.note);
    }
  }
  std::vector<Place> Places() const {
    std::vector<Place> places = kDriveMasks;
    if (stored_) places.push_back({"Stored", {"*.tmp", true}});
    return places;
  }

 private:
  struct PendingLink {
    std::string relative;
    std::string target;  // empty: a folder of the drive chosen at the end
    std::string note;
  };

  std::string In(const std::string& folder, const std::string& name) const {
    return folder.empty() ? name : folder + "\\" + name;
  }
  // Names are unique within a folder as Windows compares them.
  bool Take(const std::string& folder, const std::string& name) {
    std::wstring folded = Wide(name);
    CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return used_[folder].insert(folded).second;
  }
  std::string Canary() {
    const std::string name = "canary" + std::to_string(canaries_++);
    return disk_.Canary(name, kCanaryFiles);
  }

  void Files(const std::string& folder) {
    const size_t count = 2 + dice_.Below(5);
    for (size_t i = 0; i < count; ++i) {
      std::string name;
      DWORD attributes = 0;
      const std::string stem = dice_.Pick(kStems);
      switch (dice_.Below(10)) {
        case 0: case 1: case 2:
          name = stem + dice_.Pick(std::vector<std::string>{".tmp", ".TMP", ".Tmp"});
          break;
        case 3: case 4:
          name = "~" + stem + dice_.Pick(std::vector<std::string>{".txt", ".doc", "", ".tmp"});
          break;
        case 5:
          name = stem + ".bak";  // goes at the root only
          break;
        case 6:
          name = dice_.Pick(kOddFiles);
          break;
        case 7:
          name = dice_.Pick(kDeviceFiles);
          break;
        case 8:
          name = stem + ".tmp";
          attributes = dice_.Pick(std::vector<DWORD>{FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                                                     FILE_ATTRIBUTE_SYSTEM});
          break;
        default:
          name = "." + stem + ".tmp";  // a Unix dot name: listed hidden
          break;
      }
      if (!Take(folder, name)) continue;
      EXPECT_TRUE(disk_.File(In(folder, name), attributes)) << "cannot make " << In(folder, name);
    }
  }

  void Fill(const std::string& folder, size_t depth) {
    Files(folder);
    if (depth >= 3) return;
    const size_t plainFolders = depth == 0 ? 3 : dice_.Below(3);
    for (size_t i = 0; i < plainFolders; ++i) {
      const std::string name = dice_.Pick(kFolderNames);
      if (!Take(folder, name)) continue;
      if (!disk_.Folder(In(folder, name))) continue;
      real_.push_back(In(folder, name));
      Fill(In(folder, name), depth + 1);
    }
    // Traps, each at this level with some chance.
    if (dice_.Chance(25)) Protected(folder, "." + dice_.Pick(kFolderNames), 0, " (a dot name)");
    if (dice_.Chance(25)) Protected(folder, dice_.Pick(kFolderNames) + " h", FILE_ATTRIBUTE_HIDDEN, "");
    if (dice_.Chance(30)) Protected(folder, dice_.Pick(kDeviceFolders), 0, " (a device name)");
    if (dice_.Chance(55)) TrimmedPair(folder);
    if (dice_.Chance(20)) Protected(folder, dice_.Pick(kTrimBases) + ".", 0, " (trimmed, no twin)");
    if (dice_.Chance(35)) LinkOut(folder, dice_.Pick(kFolderNames) + "-out");
    if (dice_.Chance(35)) LinkBack(folder, dice_.Pick(kFolderNames) + "-back");
    if (depth > 0 && dice_.Chance(25)) LoopLink(folder);
  }

  // A folder whose files must all stay: hidden, a device name, or a trimmed name.
  void Protected(const std::string& folder, const std::string& name, DWORD attributes, const std::string& note) {
    if (!Take(folder, name)) return;
    if (!disk_.Folder(In(folder, name), attributes, note)) {
      ADD_FAILURE() << "Wine cannot make the folder " << In(folder, name);
      return;
    }
    protected_.push_back(In(folder, name));
    real_.push_back(In(folder, name));
    Files(In(folder, name));
  }

  void TrimmedPair(const std::string& folder) {
    const std::string base = dice_.Pick(kTrimBases);
    const std::string real = base + (dice_.Chance(50) ? "." : " ");
    if (!Take(folder, base) || !Take(folder, real)) return;
    if (!disk_.Folder(In(folder, real), 0, " (trimmed to the link beside it)")) return;
    protected_.push_back(In(folder, real));
    real_.push_back(In(folder, real));
    Files(In(folder, real));
    disk_.File(In(In(folder, real), "victim.tmp"));
    // Out of the drive, or back into one of its protected folders.
    if (dice_.Chance(60)) {
      pending_.push_back({In(folder, base), Canary(), " (twin of \"" + real + "\")"});
    } else {
      pending_.push_back({In(folder, base), std::string(), " (twin of \"" + real + "\")"});
    }
  }

  void LinkOut(const std::string& folder, const std::string& name) {
    if (!Take(folder, name)) return;
    pending_.push_back({In(folder, name), Canary(), ""});
  }
  void LinkBack(const std::string& folder, const std::string& name) {
    if (!Take(folder, name)) return;
    pending_.push_back({In(folder, name), std::string(), ""});
  }
  // A link up to an ancestor: a walker that follows it never ends.
  void LoopLink(const std::string& folder) {
    const std::string name = "up";
    if (!Take(folder, name)) return;
    const std::vector<std::string> parts = Parts(folder);
    const std::string ancestor = Joined(parts, dice_.Below(parts.size()));
    pending_.push_back({In(folder, name), disk_.Disk() + ancestor, " (loop)"});
  }

  // A folder of the drive with no link anywhere below it, protected ones first: a link that
  // is followed there reaches no further link, so a walk through it always ends.
  std::string BackTarget() {
    std::vector<std::string> candidates;
    for (const std::string& p : protected_) {
      if (!holders_.count(p)) candidates.push_back(p);
    }
    if (candidates.empty() || dice_.Chance(25)) {
      for (const std::string& r : real_) {
        if (!holders_.count(r)) candidates.push_back(r);
      }
    }
    if (candidates.empty()) return Canary();
    return disk_.Disk() + dice_.Pick(candidates);
  }

  // "Cache": a real folder, a link out, or a trimmed "Cache." beside a link.
  void CacheAtRoot() {
    const size_t kind = dice_.Below(3);
    if (!Take("", "Cache")) return;
    if (kind == 0) {
      if (!disk_.Folder("Cache")) return;
      real_.push_back("Cache");
      for (const char* f : {"c.dat", "C2.DAT", "keep.txt", "nul.dat", "c.dat."}) disk_.File(std::string("Cache\\") + f);
      return;
    }
    if (kind == 2 && Take("", "Cache.") && disk_.Folder("Cache.", 0, " (trimmed to the link beside it)")) {
      protected_.push_back("Cache.");
      disk_.File("Cache.\\c.dat");
    }
    pending_.push_back({"Cache", Canary(), ""});
  }

  TrapDisk& disk_;
  Dice& dice_;
  std::map<std::string, std::set<std::wstring>> used_;
  std::vector<std::string> real_;
  std::vector<std::string> protected_;
  std::vector<PendingLink> pending_;
  std::set<std::string> holders_;  // folders with a link somewhere below them
  size_t canaries_ = 0;
  bool stored_ = false;
};

void RunSeed(uint64_t seed) {
  const std::string rerun = "seed " + std::to_string(seed) + " (rerun alone: PUR_TRAP_SEED=" +
                            std::to_string(seed) + ", test TrapDrive.ForcedSeed)";
  SCOPED_TRACE(rerun);
  const auto start = Clock::now();
  TrapDisk disk;
  SandboxDrive drive(disk.Disk());
  ASSERT_TRUE(drive.Mapped()) << "no drive letter for the sandbox";
  Dice dice(seed);
  DriveBuilder builder(disk, dice);
  builder.Build();
  const std::vector<Place> places = builder.Places();
  ASSERT_FALSE(::testing::Test::HasFailure()) << "the drive could not be built\n" << disk.LayoutText();
  ASSERT_TRUE(disk.MakeLinks(drive)) << "the links could not be made\n" << disk.LayoutText();
  const double built = std::chrono::duration<double>(Clock::now() - start).count();

  const RunTimes times = RunAndCheck(disk, places, rerun);
  std::printf("[ trap    ] seed %llu: %zu files (%zu plain matching), built in %.2f s, /S ran %.2f s\n",
              static_cast<unsigned long long>(seed), times.files, times.plain, built, times.runSeconds);
}

class TrapSeed : public ::testing::TestWithParam<uint64_t> {};

TEST_P(TrapSeed, OnlyPlainMatchingFilesOfTheDriveGo) { RunSeed(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Seeds, TrapSeed, ::testing::Values(11u, 23u, 37u, 41u, 59u),
                         [](const ::testing::TestParamInfo<uint64_t>& info) {
                           return "seed" + std::to_string(info.param);
                         });

TEST(TrapDrive, ForcedSeed) {
  char value[32] = {};
  const DWORD length = GetEnvironmentVariableA("PUR_TRAP_SEED", value, sizeof value);
  if (length == 0 || length >= sizeof value) GTEST_SKIP() << "PUR_TRAP_SEED is not set";
  RunSeed(std::strtoull(value, nullptr, 10));
}

// The link helper itself: links only inside the sandbox, never below another link, and
// removing one leaves what it points to.
TEST(TrapSandbox, LinksStayInsideTheSandbox) {
  TrapDisk disk;
  SandboxDrive drive(disk.Disk());
  ASSERT_TRUE(drive.Mapped());
  const std::string canary = disk.Canary("kept", {"victim.tmp"});
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_FALSE(drive.Link(std::string(windows) + "\\", disk.Disk() + "out")) << "a target outside the sandbox";
  EXPECT_FALSE(drive.Link(canary, disk.Temp() + "..\\..\\escaped")) << "a link outside the sandbox";
  EXPECT_FALSE(Exists(disk.Disk() + "out"));
  ASSERT_TRUE(drive.Link(canary, disk.Disk() + "in"));
  EXPECT_FALSE(drive.Link(canary, disk.Disk() + "in\\below")) << "a link made behind another link";
  EXPECT_TRUE(Exists(SandboxDrive::Root() + "in\\victim.tmp"));
  EXPECT_TRUE(drive.Unlink(disk.Disk() + "in"));
  EXPECT_FALSE(Exists(disk.Disk() + "in"));
  EXPECT_TRUE(Exists(canary + "victim.tmp"));
}

// The oracle's own rules, which every check above stands on.
TEST(TrapOracle, NamesAndMasksFollowWindowsRules) {
  EXPECT_TRUE(Trimmed("Docs."));
  EXPECT_TRUE(Trimmed("Space "));
  EXPECT_FALSE(Trimmed("a.tmp"));
  for (const char* device : {"CON", "nul", "AUX.tmp", "nul.tmp", "COM1", "lpt9.txt", "PRN.bak", "CON .x"}) {
    EXPECT_TRUE(DeviceName(device)) << device;
  }
  for (const char* plain : {"CONX", "COM0", "COM10", "~con.txt", "LPT", "console.tmp"}) {
    EXPECT_FALSE(DeviceName(plain)) << plain;
  }
  EXPECT_TRUE(MaskMatches("*.tmp", "A.TMP"));
  EXPECT_TRUE(MaskMatches("*.tmp", "a.b.tmp"));
  EXPECT_FALSE(MaskMatches("*.tmp", "a.tmp.txt"));
  EXPECT_FALSE(MaskMatches("*.tmp", "a.tmp."));
  EXPECT_FALSE(MaskMatches("*.tmp", "x.\xEF\xBD\x94\xEF\xBD\x8D\xEF\xBD\x90"));  // fullwidth
  EXPECT_TRUE(MaskMatches("~*.*", "~lock"));
  EXPECT_TRUE(MaskMatches("~*.*", "~a.b"));
  EXPECT_FALSE(MaskMatches("~*.*", "draft~.doc"));
  EXPECT_TRUE(MaskMatches("*.bak", "\xCE\x91.BAK"));

  Tree tree;
  tree["Docs."] = {true, false, FILE_ATTRIBUTE_DIRECTORY, ""};
  tree["Docs.\\a.tmp"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  tree["h"] = {true, false, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, ""};
  tree["h\\a.tmp"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  tree["s"] = {true, false, FILE_ATTRIBUTE_DIRECTORY, ""};
  tree["s\\a.tmp"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  tree["s\\b.bak"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  tree["s\\AUX.tmp"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  tree["Cache"] = {true, false, FILE_ATTRIBUTE_DIRECTORY, ""};
  tree["Cache\\c.dat"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  tree["b.bak"] = {false, false, FILE_ATTRIBUTE_ARCHIVE, "x"};
  EXPECT_FALSE(Judge(tree, kDriveMasks, "Docs.\\a.tmp").matched);
  EXPECT_FALSE(Judge(tree, kDriveMasks, "h\\a.tmp").matched);
  EXPECT_TRUE(Judge(tree, kDriveMasks, "s\\a.tmp").matched);
  EXPECT_FALSE(Judge(tree, kDriveMasks, "s\\b.bak").matched);
  EXPECT_FALSE(Judge(tree, kDriveMasks, "s\\AUX.tmp").matched);
  EXPECT_TRUE(Judge(tree, kDriveMasks, "Cache\\c.dat").matched);
  EXPECT_TRUE(Judge(tree, kDriveMasks, "b.bak").matched);
}

}  // namespace
}  // namespace maintest
