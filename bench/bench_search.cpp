// The personal search on a synthetic tree of 200 000 files in 10 000 folders, timed in one run
// next to (a) the walk that the search once made, one listing per folder and per mask, and (b)
// a bare single-pass walk; prints the ratios, and the peak heap memory per found path on this
// tree and on a tree of a million found paths that is built once and kept in the build tree.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Algo_Rech.h"
#include "FolderPrefetch.h"
#include "HeapCount.h"
#include "Thread_Algo.h"
#include "TreeRemoval.h"

namespace {

using Clock = std::chrono::steady_clock;

int topFolders = 100;
int subFolders = 99;  // 100 + 100 * 99 = 10 000 folders
constexpr int kRounds = 5;
// Per folder: 20 files, of which 4 "*.tmp", 1 "~*.*" and a "notes.tmpl" that the platform
// matches with "*.tmp" through its short name only.
constexpr int kTmpFiles = 4;
constexpr int kPlainFiles = 13;

const char* const kMasks[] = {"*.tmp", "~*.*", "*.bak"};
const bool kRecursive[] = {true, true, false};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time of the calling thread (user and kernel), less sensitive than the wall clock to
// other work on the machine.
double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
  auto value = [](const FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
  return value(kernel) + value(user);
}

// Wall and CPU seconds of one call.
struct Timing {
  double wall;
  double cpu;
};
template <class F>
Timing Measure(F&& f) {
  const double cpu = ThreadCpuSeconds();
  const auto start = Clock::now();
  f();
  return {Seconds(Clock::now() - start), ThreadCpuSeconds() - cpu};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void CreateEmptyFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void FillFolder(const std::string& folder) {
  char name[32];
  for (int i = 0; i < kTmpFiles; ++i) {
    std::snprintf(name, sizeof name, "f%d.tmp", i);
    CreateEmptyFile(folder + name);
  }
  CreateEmptyFile(folder + "~lock.doc");
  CreateEmptyFile(folder + "keep.bak");
  CreateEmptyFile(folder + "notes.tmpl");
  for (int i = 0; i < kPlainFiles; ++i) {
    std::snprintf(name, sizeof name, "n%02d.txt", i);
    CreateEmptyFile(folder + name);
  }
}

int BuildTree(const std::string& root) {
  CreateDirectoryA(root.c_str(), nullptr);
  int folders = 0;
  char name[16];
  for (int t = 0; t < topFolders; ++t) {
    std::snprintf(name, sizeof name, "d%02d\\", t);
    const std::string top = root + name;
    CreateDirectoryA(top.c_str(), nullptr);
    FillFolder(top);
    ++folders;
    for (int s = 0; s < subFolders; ++s) {
      std::snprintf(name, sizeof name, "s%02d\\", s);
      const std::string sub = top + name;
      CreateDirectoryA(sub.c_str(), nullptr);
      FillFolder(sub);
      ++folders;
    }
  }
  return folders;
}

HANDLE FindFirst(const std::string& pattern, WIN32_FIND_DATAA& data) {
  return FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                          FIND_FIRST_EX_LARGE_FETCH);
}

bool IsDots(const char* name) { return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])); }

// (a) The reference: the listings of the per-mask walk, per folder one folder listing, then one
// listing per effective mask (all three at the root, the two recursive ones below).
long long SameListingsWalk(const std::string& root) {
  long long entries = 0;
  std::vector<std::pair<std::string, bool>> stack{{root, true}};
  WIN32_FIND_DATAA data;
  while (!stack.empty()) {
    auto [folder, isRoot] = stack.back();
    stack.pop_back();
    HANDLE find = FindFirst(folder + "*.*", data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const DWORD a = data.dwFileAttributes;
        if ((a & FILE_ATTRIBUTE_DIRECTORY) && !IsDots(data.cFileName) &&
            !(a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT))) {
          stack.push_back({folder + data.cFileName + "\\", false});
        }
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
    for (int m = 0; m < 3; ++m) {
      if (!isRoot && !kRecursive[m]) continue;
      HANDLE files = FindFirst(folder + kMasks[m], data);
      if (files == INVALID_HANDLE_VALUE) continue;
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++entries;
      } while (FindNextFileA(files, &data));
      FindClose(files);
    }
  }
  return entries;
}

// (b) One listing per folder.
long long BareWalk(const std::string& root) {
  long long files = 0;
  std::vector<std::string> stack{root};
  WIN32_FIND_DATAA data;
  while (!stack.empty()) {
    std::string folder = std::move(stack.back());
    stack.pop_back();
    HANDLE find = FindFirst(folder + "*", data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ++files;
      } else if (!IsDots(data.cFileName)) {
        stack.push_back(folder + data.cFileName + "\\");
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  return files;
}

// The tree of places for the synthetic folder, as stream bytes: the drive, the folders down to
// the root of the synthetic tree, and the masks there.
std::vector<uint8_t> DefinitionBytes(const std::string& root, const std::vector<pur::TMasque>& masks) {
  pur::TPosteDeTravail computer;
  pur::IArborescense* node = computer.GetChild(computer.AddChildByName(root.substr(0, 1)));
  size_t start = 3;
  while (start < root.size()) {
    size_t end = root.find('\\', start);
    node = node->GetChild(node->AddChildByName(root.substr(start, end - start)));
    start = end + 1;
  }
  for (const pur::TMasque& mask : masks) {
    dynamic_cast<pur::IMasque&>(*node).GetMasks().Add(std::make_shared<pur::TMasque>(mask.Text, mask.Recursive));
  }
  return pur::SaveTreeBytes(computer);
}

std::vector<uint8_t> DefinitionBytes(const std::string& root) {
  std::vector<pur::TMasque> masks;
  for (int m = 0; m < 3; ++m) masks.emplace_back(kMasks[m], kRecursive[m]);
  return DefinitionBytes(root, masks);
}

struct SearchOutcome {
  Timing time;
  size_t found;
  size_t pathBytes;
  long long peakBytes;
  int reports;
};

// The engine in-process: load the definition, search with a progress callback on this thread.
SearchOutcome TimeSearch(const std::vector<uint8_t>& definition) {
  const long long before = bench::MarkHeapPeak();
  SearchOutcome outcome{};
  pur::TPathList paths;
  outcome.time = Measure([&] {
    auto tree = pur::LoadSearchTree(definition.data(), definition.size());
    tree->SetCallback(pur::TSearchProgressEvent::FromFunction([&](double) { return ++outcome.reports, true; }));
    paths = tree->Search();
  });
  outcome.found = paths.Count();
  outcome.pathBytes = paths.TextBytes();
  outcome.peakBytes = bench::PeakHeapBytes() - before;
  return outcome;
}

// The search as the library runs it: its own thread, reports handed to this thread.
SearchOutcome TimeThreadSearch(const std::vector<uint8_t>& definition, pur::TSyncWindow& sync) {
  int reports = 0;
  const double cpu = ThreadCpuSeconds();
  auto start = Clock::now();
  pur::TPathList found;
  pur::StringList errors;
  auto tree = pur::LoadSearchTree(definition.data(), definition.size());
  {
    pur::TSearchThread thread(*tree, found, pur::kPriorityNormal, sync);
    thread.Errors = &errors;
    thread.SetProgressHandler([&](double) { return ++reports, true; });
    thread.Start();
    thread.WaitFor();
  }
  return {{Seconds(Clock::now() - start), ThreadCpuSeconds() - cpu}, found.Count(), found.TextBytes(), 0, reports};
}

// The tree of a million found paths: 500 folders of 1 000 files, each file matched by both of
// two overlapping recursive masks. Built once under the build tree and kept; a marker file,
// written last, says that it is complete (an interrupted build is completed on the next run).
constexpr int kLargeFolders = 500;
constexpr int kLargeFilesPerFolder = 1000;

std::string LargeTreeRoot() {
  char exe[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder(exe, length);
  folder.resize(folder.find_last_of('\\'));  // the bin folder of the build tree
  folder.resize(folder.find_last_of('\\') + 1);
  CreateDirectoryA((folder + "bench-data").c_str(), nullptr);
  return folder + "bench-data\\search-1m\\";
}

bool EnsureLargeTree(const std::string& root) {
  const std::string marker = root + "complete.marker";
  if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const auto start = Clock::now();
  std::printf("building the tree of a million found paths once, under %s ...\n", root.c_str());
  std::fflush(stdout);
  CreateDirectoryA(root.c_str(), nullptr);
  char name[32];
  for (int d = 0; d < kLargeFolders; ++d) {
    std::snprintf(name, sizeof name, "d%03d\\", d);
    const std::string folder = root + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int f = 0; f < kLargeFilesPerFolder; ++f) {
      std::snprintf(name, sizeof name, "f%04d.tmp", f);
      CreateEmptyFile(folder + name);
    }
  }
  std::printf("  built in %.1f s\n", Seconds(Clock::now() - start));
  HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void ReportLargeSearch() {
  const std::string root = LargeTreeRoot();
  if (root.empty() || !EnsureLargeTree(root)) {
    std::printf("large tree: could not be built\n");
    return;
  }
  const std::vector<uint8_t> definition = DefinitionBytes(root, {pur::TMasque("*.tmp", true), pur::TMasque("f*", true)});
  const SearchOutcome large = TimeSearch(definition);
  const double paths = large.found ? double(large.found) : 1.0;
  const double bytes = large.pathBytes ? double(large.pathBytes) : 1.0;
  std::printf("large search: %zu paths found (%zu files, two masks each) in %.1f s, %.1f MiB of path text\n",
              large.found, large.found / 2, large.time.wall, large.pathBytes / 1048576.0);
  std::printf("peak heap per found path:  %.0f bytes  (paths average %.1f bytes)\n", large.peakBytes / paths,
              large.pathBytes / paths);
  std::printf("peak heap per path byte:   %.2f  (goal <= 2)\n", large.peakBytes / bytes);
}

}  // namespace

// Arguments (optional, for quick trials): top-level folder count, subfolders in each.
int main(int argc, char** argv) {
  if (argc == 3) {
    topFolders = std::max(1, std::atoi(argv[1]));
    subFolders = std::max(0, std::atoi(argv[2]));
  }
  char temp[MAX_PATH];
  if (GetTempPathA(MAX_PATH, temp) == 0) return 1;
  const std::string root = std::string(temp) + "pur-bench-search-" + std::to_string(GetCurrentProcessId()) + "\\";

  auto t0 = Clock::now();
  const int folders = BuildTree(root);
  std::printf("tree: %d folders, %d files under %s (built in %.1f s)\n", folders, folders * 20, root.c_str(),
              Seconds(Clock::now() - t0));
  std::fflush(stdout);

  const std::vector<uint8_t> definition = DefinitionBytes(root);
  // Rounds interleave the three kinds, so that a change of load on the machine hits all of
  // them; each ratio is taken within a round, and the median of the rounds is printed.
  std::vector<double> bare, same, search, searchPerSame, searchPerBare, samePerBare, cpuSearchPerSame;
  std::vector<double> threadedTimes, threadedPerSearch;
  pur::TSyncWindow sync;
  SearchOutcome threaded{};
  long long bareFiles = 0, sameEntries = 0;
  SearchOutcome last{};
  long long peak = 0;
  BareWalk(root);  // warm the caches once
  for (int round = 0; round < kRounds; ++round) {
    Timing b = Measure([&] { bareFiles = BareWalk(root); });
    Timing w = Measure([&] { sameEntries = SameListingsWalk(root); });
    last = TimeSearch(definition);
    peak = std::max(peak, last.peakBytes);
    bare.push_back(b.wall);
    same.push_back(w.wall);
    search.push_back(last.time.wall);
    searchPerSame.push_back(last.time.wall / w.wall);
    searchPerBare.push_back(last.time.wall / b.wall);
    samePerBare.push_back(w.wall / b.wall);
    if (w.cpu > 0) cpuSearchPerSame.push_back(last.time.cpu / w.cpu);
    threaded = TimeThreadSearch(definition, sync);
    threadedTimes.push_back(threaded.time.wall);
    threadedPerSearch.push_back(threaded.time.wall / last.time.wall);
  }

  std::printf("bare walk:           %.3f s  (median of %d; %lld files)\n", Median(bare), kRounds, bareFiles);
  std::printf("per-mask walk:       %.3f s  (the reference: %lld entries listed)\n", Median(same), sameEntries);
  std::printf("CPU time of the walk's own thread in the last search: %.3f s\n", last.time.cpu);
  std::printf("search in-process:   %.3f s  (%zu paths found, %d progress reports)\n", Median(search), last.found,
              last.reports);
  std::printf("search on its thread, reports handed to the main thread: %.3f s  (%zu paths, %d hand-overs)\n",
              Median(threadedTimes), threaded.found, threaded.reports);
  std::printf("  CPU time of the waiting main thread in the last run: %.3f s\n", threaded.time.cpu);
  std::printf("ratio search / bare walk:               %.2f  (goal <= 0.6; listing threads: %u, the walk's own besides)\n",
              Median(searchPerBare), pur::ListingThreadsForThisMachine());
  std::printf("ratio threaded search / search:         %.2f  (goal <= 1.05)\n", Median(threadedPerSearch));
  std::printf("ratio search / per-mask walk:           %.2f\n", Median(searchPerSame));
  if (!cpuSearchPerSame.empty()) {
    std::printf("  the same ratio in CPU time of the calling thread: %.2f\n", Median(cpuSearchPerSame));
  }
  std::printf("ratio per-mask walk / bare walk:        %.2f\n", Median(samePerBare));
  std::printf("peak heap during the search: %.1f MiB, %.0f bytes per found path\n", peak / 1048576.0,
              last.found ? double(peak) / double(last.found) : 0.0);
  std::fflush(stdout);

  t0 = Clock::now();
  purtest::RemoveTree(root);
  std::printf("tree deleted in %.1f s\n", Seconds(Clock::now() - t0));
  std::fflush(stdout);

  ReportLargeSearch();
  return 0;
}
