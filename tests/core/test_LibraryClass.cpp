// The library binding: against a scripted stand-in (fake_search.dll, loaded by full path)
// for what the real library can't be steered into, and against the real purSearch.dll
// beside this program for loading, identities and the lock between two processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Algo.h"
#include "CommaText.h"
#include "LibraryClass.h"
#include "ProcessThreads.h"
#include "TestFiles.h"
#include "TreeRemoval.h"
#include "VersionInfo.h"

namespace pur {
namespace {

using purtest::ThreadsOfThisProcess;

// The fake, as the test sees it; the binding loads the same module by the same path.
class Fake {
 public:
  Fake() : Module_(LoadLibraryFromPath(Path())) {
    Calls_ = Entry<int32_t(__stdcall*)(const char*)>("FakeCalls");
    FailNext_ = Entry<void(__stdcall*)(const char*, const char*)>("FakeFailNext");
    SetText_ = Entry<void(__stdcall*)(const char*, const char*)>("FakeSetText");
    GetText_ = Entry<int32_t(__stdcall*)(const char*, char*, int32_t)>("FakeGetText");
    SetNumber_ = Entry<void(__stdcall*)(const char*, int32_t)>("FakeSetNumber");
  }
  static std::string Path() { return ProgramFolder() + "fake_search.dll"; }
  bool Ready() const { return Module_.Get() && Calls_ && FailNext_ && SetText_ && GetText_; }
  int Calls(const char* name) const { return Calls_(name); }
  void FailNext(const char* name, const std::string& text) { FailNext_(name, text.c_str()); }
  void Set(const char* key, const std::string& value) { SetText_(key, value.c_str()); }
  void SetNumber(const char* key, int32_t value) { SetNumber_(key, value); }
  std::string Get(const char* key) const {
    std::string text(GetText_(key, nullptr, 0) + 1, '\0');
    GetText_(key, text.data(), static_cast<int32_t>(text.size()));
    text.resize(text.size() - 1);
    return text;
  }

 private:
  template <class F>
  F Entry(const char* name) {
    return Module_.Get() ? reinterpret_cast<F>(reinterpret_cast<void*>(
                               GetProcAddress(Module_.Get(), name)))
                         : nullptr;
  }
  TModule Module_;
  int32_t(__stdcall* Calls_)(const char*) = nullptr;
  void(__stdcall* FailNext_)(const char*, const char*) = nullptr;
  void(__stdcall* SetText_)(const char*, const char*) = nullptr;
  int32_t(__stdcall* GetText_)(const char*, char*, int32_t) = nullptr;
  void(__stdcall* SetNumber_)(const char*, int32_t) = nullptr;
};

std::unique_ptr<TPURLib> BindFake() {
  return std::make_unique<TPURLib>(kLibNameFormat, "Purgo for Windows", kLibReserved, Fake::Path());
}

// Processes sent and posted messages for a while, as the main window's loop would.
template <class Pred>
bool PumpUntil(Pred done, DWORD milliseconds) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > milliseconds) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  return true;
}

// A fresh folder under the prefix's temporary folder, removed with its files afterwards.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    Path_ = std::string(base) + "purbind-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(++Counter_) + "\\";
    CreateDirectoryA(Path_.c_str(), nullptr);
  }
  ~TempFolder() { purtest::RemoveTree(Path_); }
  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
  static inline int Counter_ = 0;
};

// Runs a program with arguments in a given current folder; its exit code, or -1 on timeout.
int RunProcess(const std::string& exe, const std::string& args, const std::string& folder,
               DWORD milliseconds = 30000) {
  std::string command = "\"" + exe + "\" " + args;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return -2;
  CloseHandle(process.hThread);
  int code = -1;
  if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    code = static_cast<int>(exitCode);
  } else {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hProcess);
  return code;
}

TEST(LibName, AlwaysTenCharactersForTheProgramsFormat) {
  struct Case {
    const char* format;
    int32_t number;
    const char* expected;
  } cases[] = {
      {"PUR400-%3d", 0, "PUR400-  0"},
      {"PUR400-%3d", 7, "PUR400-  7"},
      {"PUR400-%3d", 98, "PUR400- 98"},
      {"PUR400-%3d", 123, "PUR400-123"},
      {"X%dY", 5, "X5Y"},
      {"%%%2d%%", 4, "% 4%"},
      {"%3d-%3d", 1, "  1-%3d"},  // one number only
      {"%s%x%", 1, "%s%x%"},      // nothing else is a conversion
      {"no number", 1, "no number"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeLibName(c.format, c.number), c.expected) << c.format << " " << c.number;
  }
  EXPECT_EQ(FormatLibError(1002, "Can't load purSearch.dll"), "Erreur 1002: Can't load purSearch.dll");
}

TEST(LibraryBinding, IdentitiesDrawnAtCreation) {
  Fake fake;
  ASSERT_TRUE(fake.Ready());
  for (int i = 0; i < 5; ++i) {
    auto lib = BindFake();
    const std::string& name = lib->LibName();
    ASSERT_EQ(name.size(), 10u) << "'" << name << "'";
    EXPECT_EQ(name.substr(0, 7), "PUR400-");
    int number = std::stoi(name.substr(7));
    EXPECT_GE(number, 0);
    EXPECT_LE(number, 98);
    EXPECT_EQ(fake.Get("app"), name);
    EXPECT_EQ(fake.Get("product"), "Purgo for Windows");
    EXPECT_EQ(fake.Get("reserved"), "--------");
  }
}

TEST(LibraryBinding, MissingLibraryFailsWith1002AndStartsNoThread) {
  TempFolder empty;
  const std::string paths[] = {empty.Path() + "purSearch.dll", "purSearch.dll",
                               ".\\purSearch.dll"};
  for (const std::string& path : paths) {
    int before = ThreadsOfThisProcess();
    try {
      TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved, path);
      ADD_FAILURE() << "bound " << path;
    } catch (const EPURLib& error) {
      EXPECT_EQ(error.Code(), 1002) << path;
      EXPECT_STREQ(error.what(), "Erreur 1002: Can't load purSearch.dll") << path;
    }
    EXPECT_EQ(ThreadsOfThisProcess(), before) << path;
  }
}

TEST(LibraryBinding, LibraryWithoutTheEntriesIsRefusedAndUnloaded) {
  const std::string probe = ProgramFolder() + "version_probe.dll";
  ASSERT_TRUE(purtest::Exists(probe));
  try {
    TPURLib lib(kLibNameFormat, "P", kLibReserved, probe);
    ADD_FAILURE() << "bound a library without entries";
  } catch (const EPURLib& error) {
    EXPECT_EQ(error.Code(), 1002);
  }
  EXPECT_EQ(GetModuleHandleA("version_probe.dll"), nullptr);
}

TEST(LibraryBinding, FailedInitialisationCarriesTheLibrarysText) {
  Fake fake;
  ASSERT_TRUE(fake.Ready());
  struct Case {
    const char* failing;
    int freeCalls;  // an initialised library is finalised before it is unloaded
  } cases[] = {{"InitLibrarie", 0}, {"setEndProc", 1}};
  for (const Case& c : cases) {
    int freeBefore = fake.Calls("FreeLibrarie");
    fake.FailNext(c.failing, "Error creating shared memory PURSHARE (5)");
    try {
      BindFake();
      ADD_FAILURE() << "bound although " << c.failing << " failed";
    } catch (const EPURLib& error) {
      EXPECT_EQ(error.Code(), 1002);
      EXPECT_STREQ(error.what(),
                   "Erreur 1002: Can't load purSearch.dll (Error creating shared memory PURSHARE (5))");
    }
    EXPECT_EQ(fake.Calls("FreeLibrarie") - freeBefore, c.freeCalls) << c.failing;
  }
}

TEST(LibraryBinding, FailuresReportedByTheLibraryBecomeErrors) {
  Fake fake;
  auto lib = BindFake();
  lib->SetRefreshInterval(10);
  ASSERT_TRUE(PumpUntil([&] { return !lib->LockedByOther(); }, 5000));
  const std::string longText(700, 'x');
  struct Case {
    const char* entry;
    std::string text;
    std::function<void()> call;
  } cases[] = {
      {"CleanWindows", "Disque en feu", [&] { lib->EmptyTempFolder(); }},
      {"CleanWindows", longText, [&] { lib->StopSearch(); }},
      {"getSearchLists", "Unknow list", [&] { lib->GetSearchList(1); }},
      {"DeleteFile", "Accès refusé", [&] { lib->DeleteFile("C:\\a.tmp", true, false); }},
      {"InitPersoTree", "bad tree", [&] { lib->SetPersoTree({1, 2}); }},
      {"GetNbLibrairy", "count", [&] { lib->LoadNumber(); }},
      {"LockLib", "lock", [&] { lib->TakeLock(); }},
  };
  for (const Case& c : cases) {
    fake.FailNext(c.entry, c.text);
    try {
      c.call();
      ADD_FAILURE() << "no error from " << c.entry;
    } catch (const EPURLib& error) {
      EXPECT_EQ(std::string(error.what()), c.text) << c.entry;
      EXPECT_EQ(error.Code(), 0) << c.entry;
    }
  }
  // The next call succeeds again.
  EXPECT_EQ(lib->LoadNumber(), 1);
}

TEST(LibraryBinding, OperationsReachTheirEntries) {
  Fake fake;
  auto lib = BindFake();
  fake.Set("list1", "C:\\a.tmp,\"C:\\b c.tmp\"");
  fake.Set("list3", "\"Erreur 1001: User abort\"");
  EXPECT_EQ(lib->GetSearchList(1), "C:\\a.tmp,\"C:\\b c.tmp\"");
  EXPECT_EQ(lib->GetSearchList(2), "");
  EXPECT_EQ(lib->GetSearchList(3), "\"Erreur 1001: User abort\"");
  int listCalls = fake.Calls("getSearchLists");
  EXPECT_EQ(lib->GetSearchList(0), "");
  EXPECT_EQ(lib->GetSearchList(4), "");
  EXPECT_EQ(fake.Calls("getSearchLists"), listCalls) << "lists outside 1-3 reached the library";

  const std::vector<uint8_t> tree = {'T', 0, 'R', 0xFF};
  lib->SetPersoTree(tree);
  EXPECT_EQ(fake.Get("tree"), std::string("T\0R\xFF", 4));
  lib->SetPersoTree({});
  EXPECT_EQ(fake.Get("tree"), "<null>");

  EXPECT_EQ(lib->DeleteFile("C:\\x y.tmp", true, false), 1234);
  EXPECT_EQ(fake.Get("delete"), "C:\\x y.tmp|1|0");
  fake.SetNumber("status", 5);
  EXPECT_EQ(lib->CurrentStatus(), 5);
  fake.SetNumber("status", 0);
  EXPECT_TRUE(lib->TakeLock());
  EXPECT_EQ(lib->LockOwnerName(), lib->LibName());
  lib->WriteReport("C:\\LOGS\\", "corps", true);
  EXPECT_EQ(fake.Get("report"), "C:\\LOGS\\|" + lib->LibName() + "|corps|1");
  EXPECT_TRUE(lib->ReleaseLock());
  EXPECT_FALSE(lib->ReleaseLock());
  EXPECT_EQ(lib->LockOwnerName(), "");
}

TEST(LibraryBinding, ListsOfEverySize) {
  Fake fake;
  auto lib = BindFake();
  std::string large;
  for (int i = 0; large.size() < 300000; ++i) large += "C:\\dossier\\fichier" + std::to_string(i) + ".tmp,";
  large.pop_back();
  const std::string lists[] = {"", "\"\"", "a", large};
  for (const std::string& list : lists) {
    fake.Set("list1", list);
    EXPECT_EQ(lib->GetSearchList(1), list) << list.size() << " characters";
  }
  // A length that is no number, or one that no longer matches the text, does no harm.
  fake.Set("list1", "abc,def");
  const char* lengths[] = {"12x", "", "-5", "3"};
  for (const char* length : lengths) {
    fake.Set("length1", length);
    std::string got = lib->GetSearchList(1);
    EXPECT_TRUE(got.empty() || got == "abc,def") << "length '" << length << "' gave '" << got << "'";
  }
  fake.Set("length1", "3");
  EXPECT_EQ(lib->GetSearchList(1), "abc,def");
  fake.Set("length1", "");
}

TEST(LibraryBinding, LockHeldByAnotherSkipsOnlyTheGuardedOperations) {
  Fake fake;
  fake.Set("owner", "PUR400-OTH");
  auto lib = BindFake();
  lib->SetRefreshInterval(10);
  ASSERT_TRUE(PumpUntil([&] { return fake.Calls("IsLocked") > 0; }, 5000));
  EXPECT_TRUE(lib->LockedByOther());

  int cleanBefore = fake.Calls("CleanWindows");
  int reportBefore = fake.Calls("CreateFileLog");
  EXPECT_EQ(lib->EmptyTempFolder(), -1);
  lib->EmptyRecycleBin();
  lib->RunPersoSearch();
  lib->WriteReport("C:\\", "x", false);
  EXPECT_EQ(fake.Calls("CleanWindows"), cleanBefore);
  EXPECT_EQ(fake.Calls("CreateFileLog"), reportBefore);

  lib->StopSearch();
  EXPECT_EQ(fake.Calls("CleanWindows"), cleanBefore + 1);
  EXPECT_EQ(fake.Get("lastClean"), "1004");
  EXPECT_EQ(lib->DeleteFile("C:\\f", false, true), 1234);
  EXPECT_EQ(lib->LoadNumber(), 1);
  EXPECT_FALSE(lib->TakeLock());
  EXPECT_EQ(lib->LockOwnerName(), "PUR400-OTH");
  fake.SetNumber("stop", 0);

  // Released: the next poll clears the flag and the cleanings reach the library again.
  fake.Set("owner", "");
  ASSERT_TRUE(PumpUntil([&] { return !lib->LockedByOther(); }, 5000));
  EXPECT_EQ(lib->EmptyTempFolder(), 4096);
  EXPECT_TRUE(lib->TakeLock());
}

TEST(LibraryBinding, SameIdentityIsNotHeldBack) {
  Fake fake;
  auto lib = BindFake();
  fake.Set("owner", lib->LibName());  // another program that drew the same number
  lib->SetRefreshInterval(10);
  // Two more polls: the later one ran wholly after the owner was set.
  int polls = fake.Calls("IsLocked");
  ASSERT_TRUE(PumpUntil([&] { return fake.Calls("IsLocked") > polls + 1; }, 5000));
  EXPECT_FALSE(lib->LockedByOther());
  EXPECT_EQ(lib->EmptyTempFolder(), 4096);
  fake.Set("owner", "");
}

TEST(LibraryBinding, EndHandlerRunsOnTheMainThreadInsideTheCleaningCall) {
  Fake fake;
  auto lib = BindFake();
  lib->SetRefreshInterval(10);
  ASSERT_TRUE(PumpUntil([&] { return !lib->LockedByOther(); }, 5000));
  struct Seen {
    uint8_t kind;
    DWORD thread;
    std::string returnedBefore;  // what the fake had finished when the handler ran
  };
  std::vector<Seen> seen;
  TPURLib::SetEndHandler([&](uint8_t kind) {
    seen.push_back({kind, GetCurrentThreadId(), fake.Get("returned")});
  });
  fake.Set("returned", "");
  fake.SetNumber("searchMillis", 50);
  lib->EmptyRecycleBin();
  EXPECT_EQ(lib->EmptyTempFolder(), 4096);
  lib->RunPersoSearch();
  TPURLib::SetEndHandler(nullptr);
  lib->EmptyRecycleBin();  // no handler: nothing forwarded, nothing breaks
  ASSERT_EQ(seen.size(), 3u);
  const char* returnedBefore[] = {"", "1001", "1002"};
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].kind, i) << i;
    EXPECT_EQ(seen[i].thread, GetCurrentThreadId()) << i;
    EXPECT_EQ(seen[i].returnedBefore, returnedBefore[i]) << "handler " << i << " ran after its call";
  }
}

TEST(LibraryBinding, ErrorOfTheEndHandlerComesBackAfterTheCall) {
  Fake fake;
  auto lib = BindFake();
  lib->SetRefreshInterval(10);
  ASSERT_TRUE(PumpUntil([&] { return !lib->LockedByOther(); }, 5000));
  TPURLib::SetEndHandler([](uint8_t) { throw std::runtime_error("handler failed"); });
  fake.Set("returned", "");
  try {
    lib->EmptyRecycleBin();
    ADD_FAILURE() << "error lost";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "handler failed");
  }
  // The library finished its call normally; nothing unwound through it.
  EXPECT_EQ(fake.Get("returned"), "1001");
  TPURLib::SetEndHandler(nullptr);
  lib->EmptyRecycleBin();
}

TEST(LibraryBinding, ProgressReachesTheMainThreadDuringTheSearch) {
  Fake fake;
  auto lib = BindFake();
  lib->SetRefreshInterval(20);
  ASSERT_TRUE(PumpUntil([&] { return !lib->LockedByOther(); }, 5000));
  std::vector<std::pair<double, DWORD>> progress;
  bool inSearch = false;
  int duringSearch = 0;
  lib->SetOnProgress([&](double percent) {
    progress.emplace_back(percent, GetCurrentThreadId());
    if (inSearch) ++duringSearch;
    return true;
  });
  fake.SetNumber("searchMillis", 600);
  fake.SetNumber("stop", 0);
  inSearch = true;
  lib->RunPersoSearch();
  inSearch = false;
  EXPECT_GE(duringSearch, 5) << "progress calls during a 600 ms search at 20 ms polls";
  bool between = false;
  for (auto [percent, thread] : progress) {
    EXPECT_EQ(thread, GetCurrentThreadId());
    EXPECT_GE(percent, 0.0);
    EXPECT_LE(percent, 100.0);
    between = between || (percent > 0.0 && percent < 100.0);
  }
  EXPECT_TRUE(between);
  lib->SetOnProgress(nullptr);
}

TEST(LibraryBinding, StopFromTheProgressHandlerEndsTheSearch) {
  Fake fake;
  auto lib = BindFake();
  lib->SetRefreshInterval(20);
  ASSERT_TRUE(PumpUntil([&] { return !lib->LockedByOther(); }, 5000));
  lib->SetOnProgress([&](double) {
    lib->StopSearch();
    return true;
  });
  fake.SetNumber("searchMillis", 20000);
  fake.SetNumber("stop", 0);
  DWORD start = GetTickCount();
  lib->RunPersoSearch();
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_EQ(fake.Get("lastClean"), "1004");  // the stop came from inside the search
  EXPECT_EQ(fake.Get("returned"), "1003");
  lib->SetOnProgress(nullptr);
  fake.SetNumber("stop", 0);
}

TEST(LibraryBinding, DestructionWhileTheMonitorWaitsForTheMainThread) {
  Fake fake;
  int freeBefore = fake.Calls("FreeLibrarie");
  for (int i = 0; i < 3; ++i) {
    int threads = ThreadsOfThisProcess();
    auto lib = BindFake();
    lib->SetRefreshInterval(10);
    int handled = 0;
    lib->SetOnProgress([&](double) { return ++handled > 0; });
    // No messages taken here: the monitor blocks in its hand-over until the destructor.
    const DWORD waitStart = GetTickCount();
    while ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0 &&
           GetTickCount() - waitStart < 10000) {
      Sleep(5);
    }
    ASSERT_NE(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE, 0)
        << "the monitor never handed anything over, round " << i;
    lib.reset();
    EXPECT_EQ(ThreadsOfThisProcess(), threads) << "monitor still alive, round " << i;
  }
  EXPECT_EQ(fake.Calls("FreeLibrarie") - freeBefore, 3);
}

TEST(LibraryBinding, RefreshIntervalHasAFloor) {
  Fake fake;
  auto lib = BindFake();
  EXPECT_EQ(lib->RefreshInterval(), 500);
  const std::pair<int32_t, int32_t> cases[] = {{250, 250}, {10, 10}, {0, 10}, {-1, 10}};
  for (auto [set, expected] : cases) {
    lib->SetRefreshInterval(set);
    EXPECT_EQ(lib->RefreshInterval(), expected) << set;
  }
}

std::string RealLibrary() { return ProgramFolder() + kSearchLibraryFile; }

TEST(RealLibrary, BoundFromTheProgramsFolder) {
  ASSERT_TRUE(purtest::Exists(RealLibrary()));
  TPURLib lib(kLibNameFormat, GetVersionString(OwnExecutableName(), vkProductName), kLibReserved);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(lib.Module(), path, MAX_PATH);
  EXPECT_STREQ(path, RealLibrary().c_str());
  EXPECT_EQ(lib.LoadNumber(), 1);
  EXPECT_EQ(lib.GetSearchList(1), "");
  EXPECT_EQ(lib.GetSearchList(3), "");
  EXPECT_EQ(lib.CurrentStatus(), 0);
  EXPECT_EQ(lib.LockOwnerName(), "");
  EXPECT_TRUE(lib.TakeLock());
  EXPECT_EQ(lib.LockOwnerName(), lib.LibName());
  EXPECT_FALSE(lib.TakeLock());
  EXPECT_TRUE(lib.ReleaseLock());
  // Idle progress arrives on this thread at every poll.
  lib.SetRefreshInterval(20);
  std::vector<std::pair<double, DWORD>> progress;
  lib.SetOnProgress([&](double percent) {
    progress.emplace_back(percent, GetCurrentThreadId());
    return true;
  });
  ASSERT_TRUE(PumpUntil([&] { return progress.size() >= 3; }, 5000));
  for (auto [percent, thread] : progress) {
    EXPECT_EQ(percent, 0.0);
    EXPECT_EQ(thread, GetCurrentThreadId());
  }
}

// Points TMP and TEMP of this process (and so the library's temporary folder) elsewhere.
class TempVariables {
 public:
  explicit TempVariables(const std::string& folder) : Tmp_(Get("TMP")), Temp_(Get("TEMP")) {
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
  }
  ~TempVariables() {
    SetEnvironmentVariableA("TMP", Tmp_.c_str());
    SetEnvironmentVariableA("TEMP", Temp_.c_str());
  }

 private:
  static std::string Get(const char* name) {
    char value[MAX_PATH] = {};
    GetEnvironmentVariableA(name, value, MAX_PATH);
    return value;
  }
  std::string Tmp_, Temp_;
};

void WriteFileOfSize(const std::string& path, size_t size) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

TEST(RealLibrary, CleaningsCallTheEndHandlerOnTheMainThreadInsideTheCall) {
  ASSERT_TRUE(purtest::Exists(RealLibrary()));
  TempFolder sandbox;
  WriteFileOfSize(sandbox.Path() + "a.tmp", 1000);
  WriteFileOfSize(sandbox.Path() + "b.tmp", 2345);
  TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved);
  lib.SetRefreshInterval(20);
  ASSERT_TRUE(PumpUntil([&] { return !lib.LockedByOther(); }, 5000));
  ASSERT_TRUE(lib.TakeLock());

  std::vector<std::pair<uint8_t, DWORD>> ends;
  bool inCall = false;
  int outsideCall = 0;
  TPURLib::SetEndHandler([&](uint8_t kind) {
    ends.emplace_back(kind, GetCurrentThreadId());
    if (!inCall) ++outsideCall;
  });
  int32_t gain = 0;
  {
    TempVariables temp(sandbox.Path());
    inCall = true;
    lib.EmptyRecycleBin();
    gain = lib.EmptyTempFolder();
    inCall = false;
  }
  TPURLib::SetEndHandler(nullptr);
  EXPECT_EQ(gain, 3345);
  EXPECT_FALSE(purtest::Exists(sandbox.Path() + "a.tmp"));
  EXPECT_FALSE(purtest::Exists(sandbox.Path() + "b.tmp"));
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_EQ(ends[0].first, kEndRecycleBin);
  EXPECT_EQ(ends[1].first, kEndTempFolder);
  for (auto [kind, thread] : ends) EXPECT_EQ(thread, GetCurrentThreadId()) << int(kind);
  EXPECT_EQ(outsideCall, 0);
  EXPECT_EQ(lib.CurrentStatus(), 0);

  // Unguarded single-file deletion and the guarded report, with this program holding the lock.
  const std::string file = sandbox.Path() + "c.tmp";
  WriteFileOfSize(file, 777);
  EXPECT_EQ(lib.DeleteFile(file, false, false), 777);
  EXPECT_FALSE(purtest::Exists(file));
  const std::string report = sandbox.Path() + "PURGOWIN.LOG";
  lib.WriteReport(report, "Ligne du journal\r\n", true);
  std::ifstream in(report, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  EXPECT_NE(text.find("Purgo for Windows"), std::string::npos) << text;
  EXPECT_NE(text.find("Ligne du journal"), std::string::npos) << text;
  DeleteFileA(report.c_str());
  EXPECT_TRUE(lib.ReleaseLock());
}

// The tree bytes of one computer whose folder chain leads to `folder` (C:\\a\\b\\), which
// holds one recursive mask; built with the library's own tree classes.
std::vector<uint8_t> TreeForFolder(const std::string& folder, const std::string& mask) {
  TPosteDeTravail computer;
  std::unique_ptr<TArborescense> drive = std::make_unique<TDisque>(folder.substr(0, 1), 4, nullptr);
  IArborescense* node = computer.GetChild(computer.AddChild(drive));
  for (size_t start = 3; start < folder.size();) {
    size_t end = folder.find('\\', start);
    node = node->GetChild(node->AddChildByName(folder.substr(start, end - start)));
    start = end + 1;
  }
  dynamic_cast<IMasque&>(*node).GetMasks().Add(std::make_shared<TMasque>(mask, true));
  return SaveTreeBytes(computer);
}

// Many small files in nested folders, so that a search lasts several polls.
size_t FillSearchTree(const std::string& root, int folders, int filesPerFolder) {
  size_t made = 0;
  for (int f = 0; f < folders; ++f) {
    std::string folder = root + "d" + std::to_string(f) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < filesPerFolder; ++i, ++made) WriteFileOfSize(folder + "f" + std::to_string(i) + ".tmp", 1);
  }
  return made;
}

TEST(RealLibrary, ProgressReachesTheMainThreadWhileItWaitsInsideTheSearch) {
  constexpr int kFolders = 60, kFiles = 20;
  TempFolder sandbox;
  size_t files = FillSearchTree(sandbox.Path(), kFolders, kFiles);
  WriteFileOfSize(sandbox.Path() + "other.txt", 1);
  TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved);
  lib.SetRefreshInterval(10);
  ASSERT_TRUE(PumpUntil([&] { return !lib.LockedByOther(); }, 5000));
  ASSERT_TRUE(lib.TakeLock());

  bool inSearch = false;
  int duringSearch = 0;
  bool otherThread = false;
  const DWORD mainThread = GetCurrentThreadId();
  lib.SetOnProgress([&](double) {
    otherThread = otherThread || GetCurrentThreadId() != mainThread;
    if (inSearch) ++duringSearch;
    return true;
  });
  std::vector<uint8_t> ends;
  std::string listAtEnd;
  TPURLib::SetEndHandler([&](uint8_t kind) {
    ends.push_back(kind);
    listAtEnd = lib.GetSearchList(1);  // the lists are published before the end call
  });
  // A loaded machine may starve the idle-priority monitor for one search; never for three.
  DWORD took = 0;
  for (int attempt = 0; attempt < 3 && duringSearch == 0; ++attempt) {
    ends.clear();
    lib.SetPersoTree(TreeForFolder(sandbox.Path(), "*.tmp"));
    DWORD start = GetTickCount();
    inSearch = true;
    lib.RunPersoSearch();
    inSearch = false;
    took = GetTickCount() - start;
  }
  TPURLib::SetEndHandler(nullptr);
  lib.SetOnProgress(nullptr);

  StringList found = ReadCommaText(lib.GetSearchList(1));
  EXPECT_EQ(found.size(), files);
  EXPECT_EQ(ReadCommaText(listAtEnd).size(), files);
  EXPECT_EQ(lib.GetSearchList(3), "");
  EXPECT_EQ(ends, std::vector<uint8_t>{kEndSearch});
  EXPECT_GE(duringSearch, 1) << "three searches, the last of " << took << " ms, saw no progress";
  EXPECT_FALSE(otherThread);
  EXPECT_TRUE(lib.ReleaseLock());
}

TEST(RealLibrary, StopFromTheProgressHandlerAbortsTheSearch) {
  constexpr int kFolders = 60, kFiles = 20;
  TempFolder sandbox;
  FillSearchTree(sandbox.Path(), kFolders, kFiles);
  TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved);
  lib.SetRefreshInterval(10);
  ASSERT_TRUE(PumpUntil([&] { return !lib.LockedByOther(); }, 5000));
  bool inSearch = false, stopped = false;
  lib.SetOnProgress([&](double) {
    if (inSearch && !stopped) {
      lib.StopSearch();
      stopped = true;
    }
    return true;
  });
  for (int attempt = 0; attempt < 3 && !stopped; ++attempt) {
    lib.SetPersoTree(TreeForFolder(sandbox.Path(), "*.tmp"));
    inSearch = true;
    lib.RunPersoSearch();
    inSearch = false;
  }
  lib.SetOnProgress(nullptr);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(lib.GetSearchList(1), "");
  EXPECT_EQ(ReadCommaText(lib.GetSearchList(3)), StringList{"Erreur 1001: User abort"});
}

// Child: binds the real library, waits to see another identity's lock, checks what is
// skipped and what still reaches the library, then takes the lock once it is released.
int LockFollower(const std::string& sawLockEvent, const std::string& tookLockEvent,
                 const std::string& doneEvent, const std::string& sandbox) {
  TempVariables temp(sandbox + "\\");
  TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved);
  lib.SetRefreshInterval(20);
  bool tookLock = false;
  lib.SetOnProgress([&](double) {
    if (!lib.LockedByOther() && !tookLock) tookLock = lib.TakeLock();
    return true;
  });
  if (!PumpUntil([&] { return lib.LockedByOther(); }, 10000)) return 10;
  if (lib.EmptyTempFolder() != -1) return 11;
  lib.WriteReport(sandbox + "\\PURGOWIN.LOG", "skipped\r\n", true);
  if (purtest::Exists(sandbox + "\\PURGOWIN.LOG")) return 17;
  if (lib.LoadNumber() != 2) return 12;  // unguarded: reaches the library
  lib.StopSearch();
  if (lib.LockOwnerName().empty() || lib.LockOwnerName() == lib.LibName()) return 13;
  if (tookLock) return 14;
  HANDLE saw = OpenEventA(EVENT_MODIFY_STATE, FALSE, sawLockEvent.c_str());
  SetEvent(saw);
  CloseHandle(saw);
  if (!PumpUntil([&] { return tookLock; }, 10000)) return 15;
  if (lib.LockOwnerName() != lib.LibName()) return 16;
  HANDLE took = OpenEventA(EVENT_MODIFY_STATE, FALSE, tookLockEvent.c_str());
  SetEvent(took);
  CloseHandle(took);
  HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, doneEvent.c_str());
  WaitForSingleObject(done, 10000);
  CloseHandle(done);
  lib.ReleaseLock();
  return 0;
}

TEST(RealLibrary, SecondProgramWaitsForTheLockAndTakesItWhenFreed) {
  ASSERT_TRUE(purtest::Exists(RealLibrary()));
  TPURLib first(kLibNameFormat, "Purgo for Windows", kLibReserved);
  first.SetRefreshInterval(20);
  ASSERT_TRUE(first.TakeLock());
  std::string tag = std::to_string(GetCurrentProcessId());
  std::string sawName = "pur-test-saw-" + tag, tookName = "pur-test-took-" + tag,
              doneName = "pur-test-done-" + tag;
  THandle saw(CreateEventA(nullptr, TRUE, FALSE, sawName.c_str()));
  THandle took(CreateEventA(nullptr, TRUE, FALSE, tookName.c_str()));
  THandle done(CreateEventA(nullptr, TRUE, FALSE, doneName.c_str()));

  TempFolder sandbox;
  WriteFileOfSize(sandbox.Path() + "keep.tmp", 10);
  std::string sandboxArg = sandbox.Path().substr(0, sandbox.Path().size() - 1);
  std::string command = "\"" + OwnExecutableName() + "\" --child lock-follower " + sawName + " " +
                        tookName + " " + doneName + " \"" + sandboxArg + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  THandle child(info.hProcess);
  CloseHandle(info.hThread);

  auto childCode = [&] {
    DWORD code = 99;
    GetExitCodeProcess(child.Get(), &code);
    return code;
  };
  HANDLE waitSaw[] = {saw.Get(), child.Get()};
  ASSERT_EQ(WaitForMultipleObjects(2, waitSaw, FALSE, 20000), WAIT_OBJECT_0)
      << "the child ended first, at step " << childCode();
  EXPECT_TRUE(first.ReleaseLock());
  HANDLE waitTook[] = {took.Get(), child.Get()};
  ASSERT_EQ(WaitForMultipleObjects(2, waitTook, FALSE, 20000), WAIT_OBJECT_0)
      << "the child ended first, at step " << childCode();
  // Now this program is the one held back.
  EXPECT_TRUE(PumpUntil([&] { return first.LockedByOther(); }, 5000));
  EXPECT_EQ(first.EmptyTempFolder(), -1);
  EXPECT_FALSE(first.TakeLock());
  SetEvent(done.Get());
  ASSERT_EQ(WaitForSingleObject(child.Get(), 20000), WAIT_OBJECT_0);
  EXPECT_EQ(childCode(), 0u) << "child failed at step " << childCode();
  EXPECT_EQ(first.LockOwnerName(), "");
  EXPECT_TRUE(purtest::Exists(sandbox.Path() + "keep.tmp")) << "a skipped cleaning emptied the folder";
}

// Child, run from a copy of this program in a folder without the library, in a current
// folder that holds a planted purSearch.dll.
int PlantedChild() {
  RestrictDllSearch();
  int threads = ThreadsOfThisProcess();
  try {
    TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved);
    return 20;
  } catch (const EPURLib& error) {
    if (error.Code() != 1002) return 21;
    if (std::string(error.what()) != "Erreur 1002: Can't load purSearch.dll") return 22;
  }
  if (ThreadsOfThisProcess() != threads) return 23;
  if (GetModuleHandleA("purSearch.dll") != nullptr) return 24;
  if (purtest::Exists("planted-was-loaded.txt")) return 25;
  return 0;
}

// Child, run from a copy of this program beside a copy of the real library, in a current
// folder with a planted one: the restricted process binds the real one and cleans as usual.
int InstalledChild() {
  RestrictDllSearch();
  try {
    TPURLib lib(kLibNameFormat, "Purgo for Windows", kLibReserved);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(lib.Module(), path, MAX_PATH);
    if (std::string(path) != ProgramFolder() + kSearchLibraryFile) return 60;
    if (!PumpUntil([&] { return !lib.LockedByOther(); }, 5000)) return 61;
    int ends = 0;
    TPURLib::SetEndHandler([&](uint8_t) { ++ends; });
    lib.EmptyRecycleBin();  // the library looks Shell32 up by name
    TPURLib::SetEndHandler(nullptr);
    if (ends != 1) return 62;
  } catch (const std::exception&) {
    return 63;
  }
  if (purtest::Exists("planted-was-loaded.txt")) return 64;
  return 0;
}

// Child: does a bare-name load find the planted library, with or without the restriction?
int BareLoadChild(bool restrict) {
  if (restrict) RestrictDllSearch();
  HMODULE module = LoadLibraryA("purSearch.dll");
  return module ? 30 : 31;
}

class PlantedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    Exe = ProgramDir.Path() + "PURGOWIN-copy.exe";
    ASSERT_TRUE(CopyFileA(OwnExecutableName().c_str(), Exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "planted_search.dll").c_str(),
                          (CurrentDir.Path() + "purSearch.dll").c_str(), FALSE));
  }
  TempFolder ProgramDir, CurrentDir;
  std::string Exe;
};

TEST_F(PlantedLibrary, NothingIsLoadedFromTheCurrentFolder) {
  EXPECT_EQ(RunProcess(Exe, "--child planted", CurrentDir.Path()), 0);
  EXPECT_FALSE(purtest::Exists(CurrentDir.Path() + "planted-was-loaded.txt"));
}

TEST_F(PlantedLibrary, AnInstallationBindsItsOwnLibraryAndCleans) {
  ASSERT_TRUE(CopyFileA(RealLibrary().c_str(), (ProgramDir.Path() + "purSearch.dll").c_str(), FALSE));
  EXPECT_EQ(RunProcess(Exe, "--child installed", CurrentDir.Path()), 0);
  EXPECT_FALSE(purtest::Exists(CurrentDir.Path() + "planted-was-loaded.txt"));
}

TEST_F(PlantedLibrary, RestrictedSearchKeepsBareNamesOutOfTheCurrentFolder) {
  // Without the restriction a bare name does find the planted library: the danger is real here.
  EXPECT_EQ(RunProcess(Exe, "--child bare-load", CurrentDir.Path()), 30);
  DeleteFileA((CurrentDir.Path() + "planted-was-loaded.txt").c_str());
  EXPECT_EQ(RunProcess(Exe, "--child bare-load-restricted", CurrentDir.Path()), 31);
  EXPECT_FALSE(purtest::Exists(CurrentDir.Path() + "planted-was-loaded.txt"));
}

}  // namespace
}  // namespace pur

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--child") {
    std::string mode = argv[2];
    if (mode == "planted") return pur::PlantedChild();
    if (mode == "installed") return pur::InstalledChild();
    if (mode == "bare-load") return pur::BareLoadChild(false);
    if (mode == "bare-load-restricted") return pur::BareLoadChild(true);
    if (mode == "lock-follower" && argc >= 7) {
      try {
        return pur::LockFollower(argv[3], argv[4], argv[5], argv[6]);
      } catch (const std::exception&) {
        return 40;
      }
    }
    return 50;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
