// The other processes of the multi-process tests. Each command is one word followed by its
// arguments; the library is used through the DLL unless the command says "white".
#include "FrameChild.h"

#include "ChildProcess.h"
#include "PurApi.h"
#include "FileLogFormat.h"
#include "purSearch.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace purtest;

std::string ToHex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out = "x";  // never an empty argument
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 1; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

namespace {

// A named counter of lock holders, shared by the stress children.
class HolderCount {
 public:
  HolderCount() {
    map_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, "PURTEST_HOLDERS");
    value_ = static_cast<volatile LONG*>(MapViewOfFile(map_, FILE_MAP_WRITE, 0, 0, 8));
  }
  ~HolderCount() {
    UnmapViewOfFile(const_cast<LONG*>(value_));
    CloseHandle(map_);
  }
  LONG Enter() { return InterlockedIncrement(value_); }
  void Leave() { InterlockedDecrement(value_); }

 private:
  HANDLE map_;
  volatile LONG* value_;
};

// Init, lock attempt, publish, free; a lock holder checks that it is the only one.
bool StressCycles(PurApi& api, int cycles, const std::string& name) {
  HolderCount holders;
  for (int i = 0; i < cycles; ++i) {
    api.InitLibrarie(name.c_str(), "Stress", "--------");
    if (api.GetNbLibrairy() < 1) {
      std::fprintf(stderr, "%s: init failed: %s\n", name.c_str(), api.LastError().c_str());
      return false;
    }
    if (api.LockLib(name.c_str())) {
      LONG inside = holders.Enter();
      Sleep(5);
      holders.Leave();
      if (inside != 1 || !api.UnLockLib(name.c_str())) {
        std::fprintf(stderr, "%s: %ld lock holders at once\n", name.c_str(), inside);
        return false;
      }
    }
    try {
      pur::TPURLib white(name + "w", "Stress");
      white.PublishLists({name, std::to_string(i)}, {}, {""});
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: publish failed: %s\n", name.c_str(), e.what());
      return false;
    }
    api.FreeLibrarie();
  }
  return true;
}

// Kernel and user time of this process so far.
ULONGLONG OwnCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) / 10000;
}

// Writes a new journal for the application name through the library and reads it back.
std::string JournalOf(PurApi& api, const std::string& appName) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "pur-title-" + std::to_string(GetCurrentProcessId()) + ".log";
  api.CreateFileLog(path.c_str(), appName.c_str(), "body\r\n", 1);
  std::string text(512, '\0');
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD read = 0;
  if (file != INVALID_HANDLE_VALUE) {
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
  }
  DeleteFileA(path.c_str());
  text.resize(read);
  return text;
}

}  // namespace

int RunFrameChild(int argc, char** argv) {
  PurApi api;
  if (!api.Load().empty()) return 100;
  std::unique_ptr<pur::TPURLib> white;
  std::vector<HANDLE> squatters;  // held until the child ends
  int step = 0;
  for (int i = 2; i < argc; ++step) {
    std::string cmd = argv[i++];
    auto arg = [&]() -> std::string { return i < argc ? argv[i++] : std::string(); };
    bool ok = true;
    if (cmd == "init" || cmd == "init-hex") {
      // init-hex: the product in hex, so that its bytes reach the child whatever its code page.
      std::string name = arg(), product = arg();
      if (cmd == "init-hex") product = FromHex(product);
      api.InitLibrarie(name.c_str(), product.c_str(), "--------");
      ok = api.GetNbLibrairy() > 0;
    } else if (cmd == "free") {
      api.FreeLibrarie();
    } else if (cmd == "signal") {
      Signal(arg());
    } else if (cmd == "wait") {
      ok = WaitEvent(arg(), 60000);
    } else if (cmd == "expect-count") {
      ok = api.GetNbLibrairy() == std::atoi(arg().c_str());
    } else if (cmd == "expect-lock") {
      std::string owner = arg();
      ok = api.LockLib(owner.c_str()) == std::atoi(arg().c_str());
    } else if (cmd == "expect-unlock") {
      std::string owner = arg();
      ok = api.UnLockLib(owner.c_str()) == std::atoi(arg().c_str());
    } else if (cmd == "expect-owner") {
      char buffer[32] = "unchanged";
      api.NameLocked(buffer);
      ok = arg() == buffer;
    } else if (cmd == "white-publish") {
      std::string l1 = FromHex(arg()), l2 = FromHex(arg()), l3 = FromHex(arg());
      if (!white) white = std::make_unique<pur::TPURLib>("white", "Tests");
      white->PublishLists(pur::ReadCommaText(l1), pur::ReadCommaText(l2), pur::ReadCommaText(l3));
    } else if (cmd == "white-publish-within") {
      // A publication waits for every monitor to let go of the old lists and for its own to
      // take the new ones: woken monitors do that well within one timed pass.
      const DWORD limit = static_cast<DWORD>(std::atoi(arg().c_str()));
      std::string l1 = FromHex(arg()), l2 = FromHex(arg()), l3 = FromHex(arg());
      if (!white) white = std::make_unique<pur::TPURLib>("white", "Tests");
      const DWORD start = GetTickCount();
      white->PublishLists(pur::ReadCommaText(l1), pur::ReadCommaText(l2), pur::ReadCommaText(l3));
      const DWORD took = GetTickCount() - start;
      if (took > limit) std::fprintf(stderr, "the publication took %lu ms\n", static_cast<unsigned long>(took));
      ok = took <= limit;
    } else if (cmd == "white-status") {
      if (!white) white = std::make_unique<pur::TPURLib>("white", "Tests");
      white->SetStatusBit(static_cast<uint8_t>(std::atoi(arg().c_str())), true);
    } else if (cmd == "expect-list") {
      int n = std::atoi(arg().c_str());
      std::string expected = FromHex(arg());
      if (api.GetNbLibrairy() == 0) api.InitLibrarie("PUR400-  9", "Reader", "--------");
      ok = Eventually([&] { return api.List(n) == expected; }, 5000);
      if (!ok) std::fprintf(stderr, "list %d: %s\n", n, api.List(n).c_str());
    } else if (cmd == "stop-when-searching" || cmd == "refuse-tree-when-searching") {
      if (api.GetNbLibrairy() == 0) api.InitLibrarie("PUR400-  8", "Stopper", "--------");
      ok = Eventually([&] { return (api.GetCurrentStatus() & 4) != 0; }, 30000);
      if (ok && cmd == "stop-when-searching") api.CleanWindows(1004);
      if (ok && cmd == "refuse-tree-when-searching") {
        const char empty[4] = {};
        ok = api.InitPersoTree(empty, 4) == 0;
      }
    } else if (cmd == "grab-mutex") {
      // Owns the shared mutex and ends without releasing it: the mutex is left abandoned.
      HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, "PURMUTEX");
      ok = m && WaitForSingleObject(m, 5000) == WAIT_OBJECT_0;
      if (ok) ExitProcess(0);
    } else if (cmd == "timed-writes") {
      int count = std::atoi(arg().c_str());
      DWORD limit = static_cast<DWORD>(std::atoi(arg().c_str()));
      DWORD start = GetTickCount();
      for (int n = 0; n < count && ok; ++n) ok = api.LockLib("TIMED") && api.UnLockLib("TIMED");
      DWORD took = GetTickCount() - start;
      if (took > limit) std::fprintf(stderr, "%d lock/unlock pairs took %lu ms\n", count, static_cast<unsigned long>(took));
      ok = ok && took <= limit;
    } else if (cmd == "squat-mutex") {
      HANDLE m = CreateMutexA(nullptr, FALSE, arg().c_str());
      ok = m != nullptr;
      squatters.push_back(m);
    } else if (cmd == "squat-section") {
      const std::string name = arg();
      HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         static_cast<DWORD>(std::atoi(arg().c_str())), name.c_str());
      ok = section != nullptr;
      squatters.push_back(section);
    } else if (cmd == "expect-log-title") {
      // The journal's title line names the caller's product, or no one.
      const std::string appName = arg(), title = arg();
      const std::string text = JournalOf(api, appName);
      ok = text.find("(* ") != std::string::npos && text.find(title) != std::string::npos;
      if (!ok) std::fprintf(stderr, "journal: %s\n", text.c_str());
    } else if (cmd == "expect-log-header") {
      // The journal's title line, byte for byte.
      const std::string appName = arg(), line = FromHex(arg());
      const pur::StringList lines = pur::SplitLogLines(JournalOf(api, appName));
      ok = lines.size() > 1 && lines[1] == line;
      if (!ok) std::fprintf(stderr, "title line: %s\n", lines.size() > 1 ? ToHex(lines[1]).c_str() : "none");
    } else if (cmd == "expect-cpu-share") {
      // This process's CPU time between two events, as a share of the time between them, at
      // most the limit in per mille. (Wine gives no CPU times of another process.)
      const std::string from = arg(), to = arg();
      const int limitPerMille = std::atoi(arg().c_str());
      ok = WaitEvent(from, 60000);
      const ULONGLONG cpuBefore = OwnCpuMs();
      const ULONGLONG wallBefore = GetTickCount64();
      ok = ok && WaitEvent(to, 60000);
      const ULONGLONG cpu = OwnCpuMs() - cpuBefore, wall = GetTickCount64() - wallBefore;
      const ULONGLONG perMille = wall ? cpu * 1000 / wall : 1000;
      std::printf("a process holding the library spent %llu ms of CPU in %llu ms (%.1f %%)\n", cpu, wall,
                  perMille / 10.0);
      ok = ok && perMille <= static_cast<ULONGLONG>(limitPerMille);
    } else if (cmd == "white-free") {
      white.reset();
    } else if (cmd == "sleep") {
      Sleep(static_cast<DWORD>(std::atoi(arg().c_str())));
    } else if (cmd == "hang") {
      Sleep(INFINITE);
    } else if (cmd == "stress") {
      int cycles = std::atoi(arg().c_str());
      ok = StressCycles(api, cycles, arg());
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "child step %d (%s) failed\n", step + 1, cmd.c_str());
      for (HANDLE h : squatters) CloseHandle(h);
      return step + 1;
    }
  }
  for (HANDLE h : squatters) CloseHandle(h);
  return 0;
}
