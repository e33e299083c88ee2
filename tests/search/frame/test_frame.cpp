// The library frame at its real boundary: purSearch.dll loaded by name, several processes
// sharing one state through the prefix's named objects.
#include "ChildProcess.h"
#include "FileLogFormat.h"
#include "FrameChild.h"
#include "PurApi.h"
#include "ShareMemUtils.h"
#include "purSearch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace purtest;

namespace {

constexpr DWORD kChildMs = 60000;
constexpr char kProduct[] = "Purgo for Windows";

class Frame : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(api.Load(), ""); }
  void TearDown() override { api.FreeLibrarie(); }

  void Init(const char* name = "PUR400-  1", const char* product = kProduct) {
    api.InitLibrarie(name, product, "--------");
    ASSERT_EQ(api.GetNbLibrairy(), 1) << api.LastError();
  }

  PurApi api;
};

// The published lists' size and view count, read from the shared state itself.
std::pair<int32_t, int32_t> ListsSeen() {
  Handle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, "PURSHARE"));
  if (!mapping.get()) return {0, 0};
  const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(pur::TSharedState));
  if (!view) return {0, 0};
  pur::TSharedState state;
  std::memcpy(&state, view, sizeof state);
  UnmapViewOfFile(view);
  return {state.ListsSize, state.ListsViews};
}

std::set<std::string> ExportNames(HMODULE m) {
  auto base = reinterpret_cast<const BYTE*>(m);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  auto dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
  std::set<std::string> out;
  for (DWORD i = 0; i < exp->NumberOfNames; ++i) out.insert(reinterpret_cast<const char*>(base + names[i]));
  return out;
}

}  // namespace

TEST_F(Frame, ExportsExactlyTheInterfaceUndecorated) {
  std::set<std::string> expected = {
      "InitLibrarie", "FreeLibrarie", "setEndProc", "GetNbLibrairy", "LengthAppNames", "GetAppNames",
      "InitPersoTree", "CleanWindows", "getSearchLists", "DeleteFile", "GetCurrentPercent",
      "GetCurrentStatus", "LockLib", "UnLockLib", "IsLocked", "NameLocked", "CreateFileLog",
      "GetLastLibError", "SetCleaningRules", "GetLeftByRules"};
  EXPECT_EQ(ExportNames(api.module), expected);
}

// The user's limits at the boundary: refused before initialisation and for a negative age;
// the counts only for the two cleanings that have them, and never through a null pointer.
TEST_F(Frame, CleaningRulesAtTheBoundary) {
  using SetRules = int32_t(__stdcall*)(int32_t, const char*);
  using GetLeft = int32_t(__stdcall*)(int32_t, int32_t*, int32_t*);
  const auto setRules = reinterpret_cast<SetRules>(reinterpret_cast<void*>(GetProcAddress(api.module, "SetCleaningRules")));
  const auto getLeft = reinterpret_cast<GetLeft>(reinterpret_cast<void*>(GetProcAddress(api.module, "GetLeftByRules")));
  ASSERT_TRUE(setRules && getLeft);
  int32_t tooRecent = -1, kept = -1;
  EXPECT_EQ(setRules(7, "*.docx\n"), 0);
  EXPECT_EQ(getLeft(1002, &tooRecent, &kept), 0);
  Init();
  EXPECT_EQ(setRules(-1, ""), 0);
  EXPECT_EQ(setRules(7, nullptr), 1);
  EXPECT_EQ(setRules(7, "C:\\Garder\\\r\n*.docx\n\n"), 1);
  EXPECT_EQ(getLeft(1001, &tooRecent, &kept), 0);
  EXPECT_EQ(getLeft(1002, nullptr, &kept), 0);
  EXPECT_EQ(getLeft(1003, &tooRecent, nullptr), 0);
  EXPECT_EQ(getLeft(1002, &tooRecent, &kept), 1);
  EXPECT_EQ(tooRecent, 0);
  EXPECT_EQ(kept, 0);
}

TEST_F(Frame, CallsOutsideInitialisationAreHarmless) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "before InitLibrarie" : "after FreeLibrarie");
    char buffer[32] = "unchanged";
    EXPECT_EQ(api.GetNbLibrairy(), 0);
    EXPECT_EQ(api.LockLib("PUR400-  1"), 0);
    EXPECT_EQ(api.IsLocked(), 0);
    EXPECT_EQ(api.UnLockLib("PUR400-  1"), 0);
    api.NameLocked(buffer);
    api.getSearchLists(1004, buffer);
    api.GetAppNames(buffer);
    EXPECT_STREQ(buffer, "unchanged");
    EXPECT_EQ(api.LengthAppNames(), 0);
    EXPECT_EQ(api.CleanWindows(1004), 0);
    EXPECT_EQ(api.GetCurrentPercent(), 0.0);
    EXPECT_EQ(api.GetCurrentStatus(), 0);
    EXPECT_EQ(api.InitPersoTree(nullptr, 0), 0);
    EXPECT_EQ(api.DeleteFile("C:\\nothing.tmp", 0, 0), 0);
    api.FreeLibrarie();
    EXPECT_EQ(api.GetLastLibError(buffer, sizeof buffer), 0);
    if (round == 0) {
      Init();
      api.FreeLibrarie();
    }
  }
}

TEST_F(Frame, FreshStateAndSingleProcessContract) {
  Init();
  EXPECT_EQ(api.GetCurrentPercent(), 0.0);
  EXPECT_EQ(api.GetCurrentStatus(), 0);
  EXPECT_EQ(api.IsLocked(), 0);
  EXPECT_EQ(api.AppNames(), "\"PUR400-  1|Purgo for Windows\"");

  char buffer[255] = "unchanged";
  api.getSearchLists(999, buffer);
  EXPECT_STREQ(buffer, "unchanged");
  for (int code : {1004, 1005, 1006}) {
    api.getSearchLists(code, buffer);
    EXPECT_STREQ(buffer, "0") << code;
  }
  std::memcpy(buffer, "unchanged", 10);
  api.getSearchLists(1001, buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(api.CleanWindows(12345), 0);
  EXPECT_EQ(api.GetLastLibError(buffer, sizeof buffer), 0);
}

TEST_F(Frame, LockRules) {
  Init();
  char buffer[32] = "unchanged";
  EXPECT_EQ(api.LockLib(""), 1) << "an empty name locks nothing";
  EXPECT_EQ(api.IsLocked(), 0);
  api.NameLocked(buffer);
  EXPECT_STREQ(buffer, "unchanged");
  EXPECT_EQ(api.UnLockLib("PUR400-  1"), 0) << "unlocking a free library";

  EXPECT_EQ(api.LockLib("PUR400-  1"), 1);
  EXPECT_EQ(api.IsLocked(), 1);
  EXPECT_EQ(api.LockLib("PUR400-  1"), 0) << "the holder itself";
  EXPECT_EQ(api.LockLib("PUR400-  2"), 0);
  EXPECT_EQ(api.UnLockLib("PUR400-  2"), 0);
  EXPECT_EQ(api.UnLockLib("pur400-  1"), 0) << "names compare with case";
  std::memset(buffer, 'z', sizeof buffer);
  api.NameLocked(buffer);
  EXPECT_EQ(std::string(buffer, 11), std::string("PUR400-  1\0", 11));
  EXPECT_EQ(api.UnLockLib("PUR400-  1"), 1);
  EXPECT_EQ(api.IsLocked(), 0);

  EXPECT_EQ(api.LockLib("ABCDEFGHIJKLMNOP"), 1);
  api.NameLocked(buffer);
  EXPECT_STREQ(buffer, "ABCDEFGHIJ");
  EXPECT_EQ(api.UnLockLib("ABCDEFGHIJKLMNOP"), 0) << "the long name is not the owner";
  EXPECT_EQ(api.UnLockLib("ABCDEFGHIJ"), 1);
}

TEST_F(Frame, SharedMemoryFailureLeavesTheLibraryUninitialised) {
  // A named object of another kind holds the section's name.
  Handle squatter(CreateEventA(nullptr, TRUE, FALSE, "PURSHARE"));
  ASSERT_NE(squatter.get(), nullptr);
  api.InitLibrarie("PUR400-  1", kProduct, "--------");
  // The failure is the thread's last error until its next library call.
  char buffer[8];
  EXPECT_EQ(api.GetLastLibError(buffer, sizeof buffer), 41);
  EXPECT_STREQ(buffer, "Error c") << "cut to the buffer";
  EXPECT_EQ(api.LastError(), "Error creating shared memory PURSHARE (6)");
  EXPECT_EQ(api.GetNbLibrairy(), 0);
  EXPECT_EQ(api.LastError(), "") << "a later call that worked clears it";
  squatter = Handle();
  Init();
  EXPECT_EQ(api.LastError(), "");
}

// The application names go into a section of their own. When it cannot be made (its name
// is taken by another kind of object, or a stale section of another size is still held),
// the library still works; its journal then names no application.
TEST_F(Frame, ApplicationNamesThatCannotBePublishedLeaveTheLibraryWorking) {
  const std::vector<std::vector<std::string>> squatters = {
      {"squat-mutex", "PURAPPMM"},
      {"squat-section", "PURAPPMM", "8"},
  };
  for (const auto& squat : squatters) {
    std::vector<std::string> steps = squat;
    for (const char* step : {"init", "PUR400-  5", "Squatted", "expect-count", "1", "expect-lock",
                             "PUR400-  5", "1", "expect-log-title", "PUR400-  5",
                             "Unknow Application", "free"}) {
      steps.push_back(step);
    }
    EXPECT_EQ(WaitExit(StartChild(steps), kChildMs), 0) << squat[0];
  }
}

TEST_F(Frame, LoadCountAcrossProcesses) {
  Handle up = NamedEvent("PURTEST_UP"), quit = NamedEvent("PURTEST_QUIT");
  Init();
  Handle child = StartChild({"init", "PUR400-  2", "Other", "expect-count", "2", "signal", "PURTEST_UP", "wait",
                             "PURTEST_QUIT", "free"});
  ASSERT_TRUE(WaitEvent("PURTEST_UP", kChildMs));
  EXPECT_EQ(api.GetNbLibrairy(), 2);
  SetEvent(quit.get());
  EXPECT_EQ(WaitExit(child, kChildMs), 0);
  EXPECT_EQ(api.GetNbLibrairy(), 1);
}

TEST_F(Frame, LockBetweenProcesses) {
  Handle locked = NamedEvent("PURTEST_LOCKED"), freed = NamedEvent("PURTEST_FREED");
  Init();
  ASSERT_EQ(api.LockLib("PUR400-  1"), 1);
  Handle child = StartChild({"init", "PUR400-  2", "Other", "expect-owner", "PUR400-  1", "expect-lock", "PUR400-  2",
                             "0", "expect-unlock", "PUR400-  2", "0", "signal", "PURTEST_LOCKED", "wait",
                             "PURTEST_FREED", "expect-lock", "PUR400-  2", "1", "expect-owner", "PUR400-  2", "free"});
  ASSERT_TRUE(WaitEvent("PURTEST_LOCKED", kChildMs));
  EXPECT_EQ(api.IsLocked(), 1);
  EXPECT_EQ(api.UnLockLib("PUR400-  1"), 1);
  SetEvent(freed.get());
  EXPECT_EQ(WaitExit(child, kChildMs), 0);
  // The child quit while holding the lock: the lock lives in the shared state, not in the process.
  char owner[32] = {};
  api.NameLocked(owner);
  EXPECT_STREQ(owner, "PUR400-  2");
}

TEST_F(Frame, ApplicationNamesOfSeveralProcessesWithoutCaseDuplicates) {
  Init("PUR400-  1", "Purgo for Windows");
  EXPECT_EQ(WaitExit(StartChild({"init", "PUR400-  2", "Autre produit", "free"}), kChildMs), 0);
  EXPECT_EQ(WaitExit(StartChild({"init", "pur400-  1", "PURGO FOR WINDOWS", "free"}), kChildMs), 0);
  ASSERT_TRUE(Eventually([&] { return api.AppNames().find("Autre") != std::string::npos; }, 10000));
  Sleep(2 * pur::kMonitorPeriodMs);
  EXPECT_EQ(api.AppNames(), "\"PUR400-  1|Purgo for Windows\",\"PUR400-  2|Autre produit\"");
}

TEST_F(Frame, ListsPublishedByAnotherProcess) {
  struct Case {
    pur::StringList l1, l2, l3;
    std::string t1, t3;
  } cases[] = {
      {{"C:\\My Files\\a.tmp", "C:\\b.tmp"}, {}, {}, "\"C:\\My Files\\a.tmp\",C:\\b.tmp", ""},
      {{}, {}, {"Erreur 1001: User abort"}, "", "\"Erreur 1001: User abort\""},
      {{""}, {}, {"x"}, "\"\"", "x"},
  };
  Init();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.t1);
    // The publisher stays until we have read: a section lives only while someone maps it.
    Handle read = NamedEvent("PURTEST_READ");
    ResetEvent(read.get());
    Handle child = StartChild({"white-publish-within", std::to_string(pur::kMonitorPeriodMs / 2),
                               ToHex(pur::WriteCommaText(c.l1)), ToHex(pur::WriteCommaText(c.l2)),
                               ToHex(pur::WriteCommaText(c.l3)), "wait", "PURTEST_READ", "white-free"});
    // Our monitor picks the new section up within one pass.
    ASSERT_TRUE(Eventually([&] { return api.List(1) == c.t1 && api.List(3) == c.t3; }, 10000))
        << api.List(1) << " / " << api.List(3);
    EXPECT_EQ(api.List(2), "");
    char length[255];
    api.getSearchLists(1004, length);
    EXPECT_EQ(std::string(length), std::to_string(c.t1.size()));
    SetEvent(read.get());
    ASSERT_EQ(WaitExit(child, kChildMs), 0);
  }
}

TEST_F(Frame, LengthCallKeepsTheTextItMeasured) {
  Init();
  // Both publishers stay until the end: a section lives only while someone maps it.
  Handle done = NamedEvent("PURTEST_DONE"), published = NamedEvent("PURTEST_PUBLISHED");
  Handle first = StartChild({"white-publish", ToHex("short"), ToHex(""), ToHex(""), "wait", "PURTEST_DONE"});
  ASSERT_TRUE(Eventually([&] { return api.List(1) == "short"; }, 10000));

  char length[255];
  api.getSearchLists(1004, length);
  ASSERT_STREQ(length, "5");
  const int32_t shortSize = ListsSeen().first;
  // Another process publishes a longer list between the two calls.
  Handle second = StartChild({"white-publish", ToHex("\"a much longer list\",of,two"), ToHex(""), ToHex(""), "signal",
                              "PURTEST_PUBLISHED", "wait", "PURTEST_DONE"});
  ASSERT_TRUE(WaitEvent("PURTEST_PUBLISHED", kChildMs));
  // Until this process's monitor holds the new section too (one view in each of the three
  // processes): only then could a copy go wrong.
  ASSERT_TRUE(Eventually([&] {
    const auto [size, views] = ListsSeen();
    return size > 0 && size != shortSize && views >= 3;
  }, 10000))
      << "lists size " << ListsSeen().first << ", views " << ListsSeen().second;
  std::string buffer(6 + 16, '#');
  api.getSearchLists(1001, buffer.data());
  EXPECT_EQ(buffer.substr(0, 6), std::string("short\0", 6));
  EXPECT_EQ(buffer.substr(6), std::string(16, '#')) << "nothing written past the measured length";
  EXPECT_TRUE(Eventually([&] { return api.List(1) == "\"a much longer list\",of,two"; }, 10000)) << api.List(1);
  SetEvent(done.get());
  EXPECT_EQ(WaitExit(first, kChildMs), 0);
  EXPECT_EQ(WaitExit(second, kChildMs), 0);
}

TEST_F(Frame, PeerKilledWhileHoldingViewsDoesNotBlockOthers) {
  Handle up = NamedEvent("PURTEST_UP");
  Init();
  ASSERT_EQ(WaitExit(StartChild({"white-publish", ToHex("before"), ToHex(""), ToHex(""), "sleep", "1200"}), kChildMs), 0);
  Handle victim = StartChild({"init", "PUR400- 66", "Victim", "sleep", "1200", "signal", "PURTEST_UP", "hang"});
  ASSERT_TRUE(WaitEvent("PURTEST_UP", kChildMs));
  TerminateProcess(victim.get(), 9);
  WaitForSingleObject(victim.get(), 5000);

  DWORD start = GetTickCount();
  Handle next = StartChild({"init", "PUR400- 77", "Next", "white-publish", ToHex("after,kill"), ToHex(""), ToHex(""), "sleep", "1200",
                            "white-free", "free"});
  EXPECT_EQ(WaitExit(next, kChildMs), 0);
  DWORD took = GetTickCount() - start;
  EXPECT_LT(took, 15000u);
  std::printf("init and publication after a killed peer: %lu ms\n", static_cast<unsigned long>(took));
  EXPECT_TRUE(Eventually([&] { return api.List(1) == "after,kill"; }, 3000)) << api.List(1);
  EXPECT_NE(api.AppNames().find("PUR400- 77|Next"), std::string::npos) << api.AppNames();
}

TEST_F(Frame, MutexLeftByADeadProcessDoesNotSlowTheOthers) {
  Init();
  ASSERT_EQ(WaitExit(StartChild({"grab-mutex"}), kChildMs), 0);
  // Our next write inherits the abandoned mutex; it must give it back, or every other
  // process waits the full time-out on each of its writes.
  EXPECT_EQ(api.LockLib("PUR400-  1"), 1);
  EXPECT_EQ(api.UnLockLib("PUR400-  1"), 1);
  EXPECT_EQ(WaitExit(StartChild({"init", "PUR400-  2", "Other", "timed-writes", "5", "2500", "free"}), kChildMs), 0);
}

namespace {

// A runner of child commands whose ANSI code page is 1252, as a foreign caller's may be.
const char kCp1252Runner[] = "test_frame_cp1252.exe";

// The journal's title line with the title centred by its characters, counted here by hand.
std::string TitleLine(const std::string& title, size_t characters) {
  const size_t spaces = pur::kLogHeaderTextWidth - characters;
  return "(* " + std::string(spaces / 2, ' ') + title + std::string(spaces - spaces / 2, ' ') + " *)";
}

std::string OwnJournalTitleLine(PurApi& api, const std::string& appName) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "pur-own-title.log";
  api.CreateFileLog(path.c_str(), appName.c_str(), "corps\r\n", 1);
  std::string text(512, '\0');
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  DWORD read = 0;
  if (file.get() != INVALID_HANDLE_VALUE) ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  DeleteFileA(path.c_str());
  text.resize(read);
  const pur::StringList lines = pur::SplitLogLines(text);
  return lines.size() > 1 ? lines[1] : std::string();
}

}  // namespace

TEST_F(Frame, JournalEntriesAreWhollyInTheWritersCodePage) {
  // "Purgo été" registered by this UTF-8 caller; "Ã©tÃ©" by a code page 1252 caller, whose
  // bytes happen to be valid UTF-8 as well ("été").
  Init("PUR400-UTF8", "Purgo été");
  const std::string cp1252Name = "\xC3\xA9t\xC3\xA9";
  Handle ready = NamedEvent("PURTEST_READY"), done = NamedEvent("PURTEST_DONE");
  Handle child = StartChildOf(SiblingPath(kCp1252Runner),
                              {"init-hex", "PUR400-1252", ToHex(cp1252Name),
                               "expect-log-header", "PUR400-UTF8", ToHex(TitleLine("Purgo \xE9t\xE9", 9)),
                               "expect-log-header", "PUR400-1252", ToHex(TitleLine(cp1252Name, 5)),
                               "signal", "PURTEST_READY", "wait", "PURTEST_DONE", "free"});
  ASSERT_NE(child.get(), nullptr) << kCp1252Runner;
  const HANDLE either[] = {ready.get(), child.get()};
  ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, kChildMs), WAIT_OBJECT_0)
      << "the 1252 caller failed at step " << WaitExit(child, 0);
  // Our monitor takes the names the child published at its next pass.
  ASSERT_TRUE(Eventually([&] { return api.AppNames().find("PUR400-1252") != std::string::npos; }, 10000))
      << api.AppNames();
  EXPECT_EQ(OwnJournalTitleLine(api, "PUR400-UTF8"), TitleLine("Purgo été", 9));
  EXPECT_EQ(OwnJournalTitleLine(api, "PUR400-1252"), TitleLine("Ã©tÃ©", 5));
  SetEvent(done.get());
  EXPECT_EQ(WaitExit(child, kChildMs), 0);
}

TEST_F(Frame, WakeEventLeftSetCostsMonitorsLittleAndEveryCopyWorks) {
  constexpr DWORD kIntervalMs = 3000;
  constexpr int kMostPerMille = 50;  // the goal is 2 % of a core; the rest is margin
  Handle ready = NamedEvent("PURTEST_READY"), from = NamedEvent("PURTEST_FROM"), to = NamedEvent("PURTEST_TO");
  // The child only holds the library and measures itself; then it publishes while the event
  // is still set.
  Handle child = StartChild({"init", "PUR400- 31", "Idle", "signal", "PURTEST_READY", "expect-cpu-share",
                             "PURTEST_FROM", "PURTEST_TO", std::to_string(kMostPerMille), "white-publish-within",
                             std::to_string(pur::kMonitorPeriodMs / 2), ToHex("still,works"), ToHex(""), ToHex(""),
                             "white-free", "free"});
  ASSERT_TRUE(WaitEvent("PURTEST_READY", kChildMs));
  Handle wake(CreateEventA(nullptr, TRUE, FALSE, pur::kWakeEventName));
  ASSERT_NE(wake.get(), nullptr);
  SetEvent(wake.get());
  SetEvent(from.get());
  Sleep(kIntervalMs);
  SetEvent(to.get());
  const int exitCode = WaitExit(child, kChildMs);
  ResetEvent(wake.get());
  EXPECT_EQ(exitCode, 0) << "3: too much CPU with the wake event left set; 4: a publication failed then";
}

TEST_F(Frame, StressManyProcessesNoHangOneLockHolder) {
  const int processes = 8;
  const char* env = std::getenv("PUR_STRESS_CYCLES");
  const int cycles = env ? std::atoi(env) : 3;
  // This process keeps the shared state alive, so the counters can be checked afterwards.
  pur::TPURLib observer("observer", "Tests");
  std::vector<Handle> children;
  for (int i = 0; i < processes; ++i)
    children.push_back(StartChild({"stress", std::to_string(cycles), "S" + std::to_string(i)}));
  for (auto& c : children) EXPECT_EQ(WaitExit(c, 600000), 0);

  const pur::TSharedState& s = observer.State();
  EXPECT_EQ(s.LoadCount, 1);
  EXPECT_EQ(s.LockOwner[0], 0);
  // Only the observer's own monitor may still hold views.
  EXPECT_TRUE(Eventually(
      [&] {
        return s.AppNamesViews == int(observer.HoldsAppNamesView()) && s.ListsViews == int(observer.HoldsListsView());
      },
      3000))
      << s.AppNamesViews << " " << s.ListsViews;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return RunFrameChild(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
