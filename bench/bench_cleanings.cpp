// The cleanings as a client pays for them, measured in one run through the DLL's exports:
//  (a) permanent deletion of N files through DeleteFile next to a bare DeleteFileA loop,
//      with the deletion's steps timed one by one, done bare in two ways, to show where
//      the time of such a deletion goes;
//  (b) deletion into the Recycle Bin through DeleteFile next to a bare SHFileOperationA loop
//      with the same flags (only when the Trash lies inside the build tree);
//  (c) the publication of a search's lists: from the end of the walk to list 1 being
//      readable in another process, for 100 000 found paths. A reader child watches the
//      shared progress and the list length; both sides use the same performance counter.
// Prints figures and ratios; never passes or fails on times.
//
//   bench_cleanings [--files N] [--recycle-files N] [--found N] [--publish-runs N]
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BuildTreeTrash.h"
#include "CommaText.h"
#include "PurApi.h"
#include "TreeRemoval.h"
#include "TreeStreamWriter.h"

using purtest::Environment;
using purtest::PurApi;
using purtest::TrashIsSandboxed;
using purtest::UnixHome;

namespace {

using pur::kCleanPersoSearch;
using pur::kCleanRecycleBin;
constexpr int32_t kStatusSearch = 4;
constexpr FILEOP_FLAGS kRecycleFlags = FOF_ALLOWUNDO | FOF_FILESONLY | FOF_NOCONFIRMATION | FOF_SILENT;  // 0xD4
constexpr size_t kFileSize = 100;
constexpr int32_t kFileBytes = static_cast<int32_t>(kFileSize);
constexpr int kFilesPerFolder = 1000;
constexpr DWORD kReaderTimeoutMs = 600000;
constexpr char kReaderReady[] = "PURBENCH_CLEANINGS_READER_READY";
constexpr char kAppName[] = "PUR400-bch";
constexpr char kReaderName[] = "PUR400-rdr";

struct Options {
  int files = 10000;
  int recycleFiles = 10000;
  int found = 100000;
  int publishRuns = 5;
};

double Frequency() {
  static const double f = [] {
    LARGE_INTEGER q;
    QueryPerformanceFrequency(&q);
    return static_cast<double>(q.QuadPart);
  }();
  return f;
}

long long Ticks() {
  LARGE_INTEGER q;
  QueryPerformanceCounter(&q);
  return q.QuadPart;
}

double Seconds(long long from, long long to) { return static_cast<double>(to - from) / Frequency(); }

class Stopwatch {
 public:
  void Start() { start_ = Ticks(); }
  void Stop() { total_ += Ticks() - start_; }
  double Seconds() const { return static_cast<double>(total_) / Frequency(); }

 private:
  long long start_ = 0;
  long long total_ = 0;
};

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, buffer);
  return buffer;
}

// A folder of the bench's own in the temporary folder, removed with everything in it.
class Workspace {
 public:
  explicit Workspace(const char* stem)
      : path_(TempFolder() + stem + "-" + std::to_string(GetCurrentProcessId()) + "\\") {
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Workspace() { purtest::RemoveTree(path_); }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

bool WriteFileOf(const std::string& path, size_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::string bytes(size, 'x');
  DWORD written = 0;
  const bool ok = size == 0 || (::WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr) &&
                                written == size);
  CloseHandle(file);
  return ok;
}

// N files of kFileSize bytes in a new subfolder; answers their paths.
std::vector<std::string> MakeFiles(const std::string& folder, int count, size_t size = kFileSize) {
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<std::string> paths;
  paths.reserve(static_cast<size_t>(count));
  char name[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "f%06d.tmp", i);
    paths.push_back(folder + "\\" + name);
    if (!WriteFileOf(paths.back(), size)) std::printf("  could not create %s\n", paths.back().c_str());
  }
  return paths;
}

int Remaining(const std::vector<std::string>& paths) {
  return static_cast<int>(std::count_if(paths.begin(), paths.end(), [](const std::string& p) {
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
  }));
}

double PerFileMicro(double seconds, int files) { return files > 0 ? seconds * 1e6 / files : 0.0; }

constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
constexpr size_t kBlock = 100;

using Remover = bool (*)(const std::string& path);

bool RemovePermanently(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool RemoveToRecycleBin(const std::string& path) {
  std::string names = path;
  names.push_back('\0');  // the list's second terminator; c_str() adds the first
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = names.c_str();
  op.fFlags = kRecycleFlags;
  return SHFileOperationA(&op) == 0;
}

struct StepTimes {
  Stopwatch attributes, size, clearAttributes, remove, stillThere;
};

// The deletion's rules step by step, each timed: attributes, size by opening the file,
// attributes written back, deletion, then a look whether the file is still there.
void DeleteInFiveSteps(const std::string& p, StepTimes& t, Remover remove) {
  t.attributes.Start();
  const DWORD attributes = GetFileAttributesA(p.c_str());
  t.attributes.Stop();
  t.size.Start();
  HANDLE file = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  LARGE_INTEGER size{};
  if (file != INVALID_HANDLE_VALUE) {
    GetFileSizeEx(file, &size);
    CloseHandle(file);
  }
  t.size.Stop();
  t.clearAttributes.Start();
  const DWORD kept = attributes & ~kReadOnlyHidden;
  SetFileAttributesA(p.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  t.clearAttributes.Stop();
  t.remove.Start();
  remove(p);
  t.remove.Stop();
  t.stillThere.Start();
  GetFileAttributesA(p.c_str());
  t.stillThere.Stop();
}

// The same rules with fewer calls: attributes and size from one query, attributes written
// only when there is something to clear, existence asked only after a reported failure.
void DeleteLean(const std::string& p, StepTimes& t, Remover remove) {
  t.attributes.Start();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool known = GetFileAttributesExA(p.c_str(), GetFileExInfoStandard, &data) != FALSE;
  t.attributes.Stop();
  if (!known) return;
  t.clearAttributes.Start();
  if (data.dwFileAttributes & kReadOnlyHidden) {
    const DWORD kept = data.dwFileAttributes & ~kReadOnlyHidden;
    SetFileAttributesA(p.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  t.clearAttributes.Stop();
  t.remove.Start();
  const bool removed = remove(p);
  t.remove.Stop();
  t.stillThere.Start();
  if (!removed) GetFileAttributesA(p.c_str());
  t.stillThere.Stop();
}

// One way of deleting a list of files, in a folder of its own.
struct Side {
  const char* name;
  std::function<bool(const std::string&)> deleteOne;  // false: not reported deleted
  std::vector<std::string> paths;
  Stopwatch time;
  int failures = 0;
};

// Every side deletes its files block by block, the sides taking turns in a rotating order,
// so that a busy moment of the machine weighs on all of them alike.
void RunInTurns(std::vector<Side>& sides) {
  const size_t count = sides.front().paths.size();
  for (size_t from = 0, block = 0; from < count; from += kBlock, ++block) {
    const size_t to = std::min(count, from + kBlock);
    for (size_t k = 0; k < sides.size(); ++k) {
      Side& side = sides[(k + block) % sides.size()];
      side.time.Start();
      for (size_t i = from; i < to; ++i) side.failures += side.deleteOne(side.paths[i]) ? 0 : 1;
      side.time.Stop();
    }
  }
}

void PrintSides(const std::vector<Side>& sides, int files) {
  for (const Side& side : sides) {
    std::printf("  %-44s %8.3f s  %7.1f us/file  ratio %5.2f  (%d not reported deleted, %d left)\n", side.name,
                side.time.Seconds(), PerFileMicro(side.time.Seconds(), files),
                side.time.Seconds() / sides[1].time.Seconds(), side.failures, Remaining(side.paths));
  }
}

void PrintSteps(const char* title, const StepTimes& t, int files, const char* removal) {
  std::printf("    %s, us/file: attributes %.1f, size (open, size, close) %.1f, clear attributes %.1f, %s %.1f, "
              "existence check %.1f\n",
              title, PerFileMicro(t.attributes.Seconds(), files), PerFileMicro(t.size.Seconds(), files),
              PerFileMicro(t.clearAttributes.Seconds(), files), removal, PerFileMicro(t.remove.Seconds(), files),
              PerFileMicro(t.stillThere.Seconds(), files));
}

// The export next to the bare call, and the two ways of following the rules done bare.
void CompareDeletion(const PurApi& api, const std::string& folder, int files, bool toRecycleBin) {
  const Remover remove = toRecycleBin ? RemoveToRecycleBin : RemovePermanently;
  const char* removal = toRecycleBin ? "SHFileOperationA" : "DeleteFileA";
  StepTimes steps, lean;
  std::vector<Side> sides(4);
  sides[0].name = "DeleteFile export";
  sides[0].deleteOne = [&](const std::string& p) { return api.DeleteFile(p.c_str(), toRecycleBin, 0) == kFileBytes; };
  sides[1].name = toRecycleBin ? "bare SHFileOperationA (0xD4)" : "bare DeleteFileA";
  sides[1].deleteOne = remove;
  sides[2].name = "five steps done bare";
  sides[2].deleteOne = [&](const std::string& p) {
    DeleteInFiveSteps(p, steps, remove);
    return true;
  };
  sides[3].name = "lean steps done bare";
  sides[3].deleteOne = [&](const std::string& p) {
    DeleteLean(p, lean, remove);
    return true;
  };
  const char* folders[] = {"export", "bare", "steps", "lean"};
  for (size_t k = 0; k < sides.size(); ++k) sides[k].paths = MakeFiles(folder + folders[k], files);
  RunInTurns(sides);
  PrintSides(sides, files);
  std::printf("  ratio export/bare: %.2f (target <= 1.2)\n", sides[0].time.Seconds() / sides[1].time.Seconds());
  std::printf("  where the time goes:\n");
  PrintSteps("five steps", steps, files, removal);
  PrintSteps("lean steps", lean, files, removal);
}

// Cost of asking for the attributes of a name that is not there, in a folder of `count`
// files: under Wine a miss is looked for again without regard to case, through the folder.
double MissingNameMicro(const std::string& folder, int count) {
  const std::vector<std::string> paths = MakeFiles(folder, count);
  constexpr int kProbes = 200;
  Stopwatch w;
  w.Start();
  for (int i = 0; i < kProbes; ++i) GetFileAttributesA((folder + "\\gone" + std::to_string(i) + ".tmp").c_str());
  w.Stop();
  for (const std::string& p : paths) DeleteFileA(p.c_str());
  RemoveDirectoryA(folder.c_str());
  return PerFileMicro(w.Seconds(), kProbes);
}

void PermanentDeletion(const PurApi& api, const Options& o) {
  std::printf("(a) permanent deletion, %d files of %zu bytes per side, one folder each\n", o.files, kFileSize);
  Workspace space("pur-bench-delete");
  CompareDeletion(api, space.Path(), o.files, false);
  const int probeFiles = std::min(o.files, 10000);
  std::printf("  attributes of a missing name: %.1f us in an empty folder, %.1f us in a folder of %d files\n",
              MissingNameMicro(space.Path() + "probe-empty", 0), MissingNameMicro(space.Path() + "probe-full", probeFiles),
              probeFiles);
}

void RecycleDeletion(const PurApi& api, const Options& o) {
  std::printf("(b) deletion into the Recycle Bin (flags 0x%X), %d files of %zu bytes per side\n",
              static_cast<unsigned>(kRecycleFlags), o.recycleFiles, kFileSize);
  if (!TrashIsSandboxed()) {
    std::printf("  skipped: HOME (%s) or XDG_DATA_HOME (%s) is outside %s\n", UnixHome().c_str(),
                Environment("XDG_DATA_HOME").c_str(), PUR_BUILD_DIR);
    return;
  }
  Workspace space("pur-bench-recycle");
  CompareDeletion(api, space.Path(), o.recycleFiles, true);
  const long long start = Ticks();
  api.CleanWindows(kCleanRecycleBin);
  std::printf("  emptying the Trash of %d files (CleanWindows 1001): %.3f s\n", 4 * o.recycleFiles,
              Seconds(start, Ticks()));
}

struct ReaderTimes {
  long long walkEnd = 0, zeroSeen = 0, lengthSeen = 0, textRead = 0;
  long long length = -1, textLength = -1;
  bool ok = false;
};

// The reader child: sees the search start, the walk end (progress 1.0 after a smaller value),
// list 1 emptied while the new lists are being published (the old ones withdrawn), then the
// first non-empty length of list 1, and fetches the text.
int RunReader(const std::string& resultFile) {
  PurApi api;
  if (!api.Load().empty()) return 2;
  api.InitLibrarie(kReaderName, "Bench reader", "--------");
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReaderReady);
  SetEvent(ready);
  ReaderTimes t;
  const DWORD start = GetTickCount();
  auto timedOut = [&] { return GetTickCount() - start > kReaderTimeoutMs; };
  while (!(api.GetCurrentStatus() & kStatusSearch) && !timedOut()) Sleep(1);
  while (api.GetCurrentPercent() >= 1.0 && !timedOut()) Sleep(1);
  while (api.GetCurrentPercent() < 1.0 && !timedOut()) Sleep(1);
  t.walkEnd = Ticks();
  char length[255] = {};
  for (;;) {
    api.getSearchLists(1004, length);
    if (std::atoll(length) == 0 || timedOut()) break;
    Sleep(1);
  }
  t.zeroSeen = Ticks();
  for (;;) {
    api.getSearchLists(1004, length);
    t.length = std::atoll(length);
    if (t.length > 0 || timedOut()) break;
    Sleep(1);
  }
  t.lengthSeen = Ticks();
  std::string text(static_cast<size_t>(std::max<long long>(t.length, 0)) + 1, '\0');
  api.getSearchLists(1001, text.data());
  t.textRead = Ticks();
  t.textLength = static_cast<long long>(std::strlen(text.c_str()));
  t.ok = !timedOut();
  api.FreeLibrarie();
  CloseHandle(ready);
  FILE* out = std::fopen(resultFile.c_str(), "w");
  if (!out) return 3;
  std::fprintf(out, "%lld %lld %lld %lld %lld %lld %d\n", t.walkEnd, t.zeroSeen, t.lengthSeen, t.textRead, t.length,
               t.textLength, t.ok ? 1 : 0);
  std::fclose(out);
  return t.ok ? 0 : 1;
}

HANDLE StartReader(const std::string& resultFile) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string cmd = "\"" + std::string(self) + "\" --reader \"" + resultFile + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

bool ReadReaderTimes(const std::string& file, ReaderTimes& t) {
  FILE* in = std::fopen(file.c_str(), "r");
  if (!in) return false;
  int ok = 0;
  const int fields = std::fscanf(in, "%lld %lld %lld %lld %lld %lld %d", &t.walkEnd, &t.zeroSeen, &t.lengthSeen,
                                 &t.textRead, &t.length, &t.textLength, &ok);
  std::fclose(in);
  t.ok = ok != 0;
  return fields == 7;
}

// The found files are many and slow to make under Wine: they are kept in the prefix's
// drive C between runs (C:\pur-bench\found-N\) and made again only when incomplete.
std::vector<std::string> FoundTree(const std::string& root, int found) {
  const std::string marker = root + "complete.txt";
  const bool complete = GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!complete) {
    purtest::RemoveTree(root);
    CreateDirectoryA(root.substr(0, root.rfind('\\', root.size() - 2)).c_str(), nullptr);
    CreateDirectoryA(root.c_str(), nullptr);
  }
  std::vector<std::string> paths;
  const int folders = (found + kFilesPerFolder - 1) / kFilesPerFolder;
  for (int f = 0; f < folders; ++f) {
    char name[16];
    std::snprintf(name, sizeof name, "d%03d", f);
    const int count = std::min(kFilesPerFolder, found - f * kFilesPerFolder);
    if (complete) {
      for (int i = 0; i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "\\f%06d.tmp", i);
        paths.push_back(root + name + file);
      }
    } else {
      for (std::string& p : MakeFiles(root + name, count, 0)) paths.push_back(std::move(p));
    }
  }
  if (!complete) WriteFileOf(marker, 0);
  return paths;
}

struct PublishTimes {
  double walk = 0, ownReturn = 0, withdrawn = 0, readable = 0, fetch = 0;
  long long length = 0;
};

// One search watched by a fresh reader process; times in ms from the walk's end.
bool TimeOnePublication(const PurApi& api, const std::string& tree, const std::string& resultFile, PublishTimes& p) {
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReaderReady);
  ResetEvent(ready);
  HANDLE reader = StartReader(resultFile);
  if (!reader || WaitForSingleObject(ready, 60000) != WAIT_OBJECT_0) {
    std::printf("  the reader did not start\n");
    if (reader) CloseHandle(reader);
    CloseHandle(ready);
    return false;
  }
  api.InitPersoTree(tree.data(), static_cast<int32_t>(tree.size()));
  const long long searchStart = Ticks();
  api.CleanWindows(kCleanPersoSearch);
  const long long searchReturned = Ticks();
  const DWORD waited = WaitForSingleObject(reader, kReaderTimeoutMs);
  CloseHandle(reader);
  CloseHandle(ready);
  ReaderTimes t;
  if (waited != WAIT_OBJECT_0 || !ReadReaderTimes(resultFile, t) || !t.ok) {
    std::printf("  the reader gave no figures\n");
    return false;
  }
  p.walk = Seconds(searchStart, t.walkEnd) * 1e3;
  p.ownReturn = Seconds(t.walkEnd, searchReturned) * 1e3;
  p.withdrawn = Seconds(t.walkEnd, t.zeroSeen) * 1e3;
  p.readable = Seconds(t.walkEnd, t.lengthSeen) * 1e3;
  p.fetch = Seconds(t.lengthSeen, t.textRead) * 1e3;
  p.length = t.textLength == t.length ? t.length : -1;
  return true;
}

void PrintSpread(const char* what, std::vector<double> values, const char* goal = "") {
  std::sort(values.begin(), values.end());
  std::printf("    %-70s %8.1f / %8.1f / %8.1f%s\n", what, values.front(), values[values.size() / 2], values.back(),
              goal);
}

void Publication(const PurApi& api, const Options& o) {
  std::printf("(c) publication of %d found paths\n", o.found);
  Workspace space("pur-bench-publish");
  const std::string root = "C:\\pur-bench\\found-" + std::to_string(o.found) + "\\";
  const long long made = Ticks();
  const std::vector<std::string> paths = FoundTree(root, o.found);
  std::printf("  tree %s ready in %.1f s (kept for the next run)\n", root.c_str(), Seconds(made, Ticks()));

  // The comma text that crosses between the processes, written and read in this process.
  long long t0 = Ticks();
  const std::string text = pur::WriteCommaText(paths);
  long long t1 = Ticks();
  const size_t items = pur::ReadCommaText(text).size();
  long long t2 = Ticks();
  std::printf("  comma text of the paths: %zu bytes, written in %.1f ms, read back (%zu items) in %.1f ms\n",
              text.size(), Seconds(t0, t1) * 1e3, items, Seconds(t1, t2) * 1e3);

  const std::string tree = purtest::TreeStreamFor(root, {{"*.tmp", true}});
  std::vector<double> walks, ownReturn, withdrawn, readable, fetch;
  for (int run = 0; run < o.publishRuns; ++run) {
    PublishTimes p;
    if (!TimeOnePublication(api, tree, space.Path() + "reader" + std::to_string(run) + ".txt", p)) return;
    if (p.length != static_cast<long long>(text.size())) {
      std::printf("  run %d: list 1 holds %lld characters in the reader, %zu expected\n", run, p.length, text.size());
    }
    walks.push_back(p.walk);
    ownReturn.push_back(p.ownReturn);
    withdrawn.push_back(p.withdrawn);
    readable.push_back(p.readable);
    fetch.push_back(p.fetch);
  }
  std::printf("  %d searches; figures in ms as min / median / max:\n", o.publishRuns);
  PrintSpread("walk (search start -> progress 1.0 seen by the reader)", walks);
  PrintSpread("walk end -> CleanWindows(1003) returns in the searching process", ownReturn,
              "  (goal: median <= 100)");
  PrintSpread("walk end -> the reader sees the old lists withdrawn", withdrawn);
  PrintSpread("walk end -> list 1 readable in the other process (the publication)", readable,
              "  (goal: median <= 100)");
  PrintSpread("two-call fetch of list 1 in the other process", fetch);
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const int value = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--files") o.files = value;
    if (name == "--recycle-files") o.recycleFiles = value;
    if (name == "--found") o.found = value;
    if (name == "--publish-runs") o.publishRuns = value;
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--reader") == 0) return RunReader(argv[2]);
  const Options o = Parse(argc, argv);
  PurApi api;
  const std::string missing = api.Load();
  if (!missing.empty()) {
    std::printf("cannot bind %s\n", missing.c_str());
    return 1;
  }
  api.InitLibrarie(kAppName, "Purgo bench", "--------");
  if (api.GetNbLibrairy() != 1) std::printf("note: %d library users in this prefix\n", api.GetNbLibrairy());
  PermanentDeletion(api, o);
  RecycleDeletion(api, o);
  Publication(api, o);
  api.FreeLibrarie();
  return 0;
}
