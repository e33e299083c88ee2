// The real PURGOSRV.exe on a sandbox: one cleaning with "/once" as the settings say, what it
// leaves alone (files waiting for a confirmation, options never confirmed, another copy's
// lock), one agent per session, "/quit", automatic cleanings only with the user's consent,
// settings that apply (and stop it) while the agent runs, and no work with elevated rights.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include "AgentCleaning.h"
#include "AgentStartup.h"
#include "AgentTexts.h"
#include "CleaningAgent.h"
#include "LibraryClass.h"
#include "LimitedToken.h"
#include "ProgramDriver.h"
#include "uUserMainPrgm_Format.h"

namespace maintest {
namespace {

namespace names = pur::names;
namespace texts = pur::agent::texts;

inline std::string AgentPath() { return pur::ProgramFolder() + "PURGOSRV.exe"; }

enum OnceExit : DWORD { kDone = 0, kLocked = 3, kNotChecked = 4 };

// Two files the search finds and one it does not, a journal folder and a temporary folder of
// the test's own, and settings that run the personal search there only.
class AgentSandbox {
 public:
  explicit AgentSandbox(bool confirm) {
    disk_ = box_.Folder("disk");
    journal_ = box_.Folder("journal");
    temp_ = box_.Folder("temp");
    for (const char* name : {"a.tmp", "b.tmp", "keep.txt"}) WriteFileBytes(disk_ + name, std::string(100, 'x'));
    settings_.Quiet();
    settings_.Dword(names::kCleaningKey, names::kRunPersonalSearch, 1);
    settings_.Dword(names::kCleaningKey, names::kConfirmDelete, confirm ? 1 : 0);
    settings_.Dword(names::kCleaningKey, names::kSendToRecycleBin, 0);
    settings_.Binary(names::kPersonalKey, names::kPersonalSearchData, TreeStreamFor(disk_, {{"*.tmp", true}}));
    settings_.Dword(names::kJournalKey, names::kJournalEnabled, 1);
    settings_.String(names::kJournalKey, names::kLocation, journal_);
    settings_.Dword(names::kJournalKey, names::kEvents, 31);
  }

  Settings& Store() { return settings_; }
  bool Has(const char* name) const { return Exists(disk_ + name); }
  std::string File(const char* name) const { return disk_ + name; }
  std::vector<std::string> Journal() const { return SplitLines(ReadBytes(journal_ + "PURGOWIN.LOG")); }
  bool JournalHas(const std::string& line) const {
    const std::vector<std::string> lines = Journal();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  bool JournalHasPrefix(const std::string& prefix) const {
    for (const std::string& line : Journal())
      if (line.rfind(prefix, 0) == 0) return true;
    return false;
  }
  std::optional<DWORD> LastCleaningType() const {
    DWORD type = 0;
    const std::string key = pur::TPURGORegistry().GetVersionKey() + "\\" + names::kServiceKey;
    const HKEY root = pur::CanUseLocalMachine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (RegGetValueA(root, key.c_str(), pur::agent::kLastCleaningValue, RRF_RT_ANY, &type, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return type;
  }
  std::map<std::string, std::string> Environment() const { return {{"TMP", temp_}, {"TEMP", temp_}}; }

 private:
  Sandbox box_;
  Settings settings_;
  std::string disk_;
  std::string journal_;
  std::string temp_;
};

struct OnceCase {
  const char* what;
  bool confirm;
  bool firstStart;
  bool lockHeld;
  DWORD exitCode;
  bool deletes;
};

TEST(AgentOnce, CleansAsTheSettingsSayAndLeavesWhatItMayNotDelete) {
  const OnceCase cases[] = {
      {"no confirmation asked: the found files go", false, false, false, kDone, true},
      {"confirmation asked: nothing of the search goes", true, false, false, kDone, false},
      {"options never confirmed: nothing runs", false, true, false, kNotChecked, false},
      {"another copy holds the lock: nothing runs", false, false, true, kLocked, false},
  };
  for (const OnceCase& c : cases) {
    SCOPED_TRACE(c.what);
    AgentSandbox box(c.confirm);
    if (c.firstStart) box.Store().Dword("", names::kFirstStart, 1);
    std::optional<pur::TPURLib> holder;
    if (c.lockHeld) {
      holder.emplace(pur::kLibNameFormat, "Purgo for Windows", pur::kLibReserved);
      ASSERT_TRUE(holder->TakeLock());
    }
    Program agent("/once", box.Environment(), AgentPath());
    ASSERT_TRUE(agent.Started());
    ASSERT_TRUE(agent.WaitExit(kRunTimeout));
    EXPECT_EQ(agent.ExitCode(), c.exitCode);
    EXPECT_EQ(box.Has("a.tmp"), !c.deletes);
    EXPECT_EQ(box.Has("b.tmp"), !c.deletes);
    EXPECT_TRUE(box.Has("keep.txt"));
    EXPECT_EQ(box.LastCleaningType().has_value(), c.exitCode == kDone);
    if (c.exitCode == kDone) {
      EXPECT_EQ(box.LastCleaningType(), std::optional<DWORD>(REG_QWORD));
      EXPECT_TRUE(box.JournalHasPrefix("Nettoyage automatique par PURSRV-"));
      EXPECT_EQ(box.JournalHas(" * " + box.File("a.tmp") + " : OK"), c.deletes);
      EXPECT_EQ(box.JournalHas("2 fichiers attendent votre confirmation"), c.confirm);
    }
    if (c.lockHeld) {
      const std::string owner = holder->LockOwnerName();
      EXPECT_TRUE(box.JournalHas(pur::FormatText(texts::kJournalLocked, owner))) << owner;
      holder->ReleaseLock();
    }
    if (c.firstStart) {
      EXPECT_TRUE(box.Journal().empty());
    }
  }
}

// Free space is watched on the drives the stored definition names, whatever its bytes.
TEST(AgentDrives, TheDrivesOfTheStoredDefinition) {
  auto bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
  const std::string two = TreeStreamFor("C:\\users\\x\\", {{"*.tmp", true}});
  const struct {
    const char* what;
    std::vector<uint8_t> stored;
    std::vector<std::string> drives;
  } cases[] = {
      {"empty definition", {}, {}},
      {"one folder on C", bytes(two), {"C:\\"}},
      {"cut in the middle", bytes(two.substr(0, two.size() / 2)), {"C:\\"}},
      {"cut inside the drive letter", bytes(two.substr(0, 5)), {}},
      {"noise", std::vector<uint8_t>(64, 0xFF), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::agent::SearchDrives(c.stored), c.drives) << c.what;
}

HWND RunningAgent() { return FindWindowA(pur::agent::kAgentWindowClass, nullptr); }

// PURGOSRV.exe as the user's session starts it. Wine gives every process the full half of a
// split administrator token (wine-notes.md); the session's own is the limited one linked to it.
// firstLookNow: the first automatic look comes at once instead of a minute after start.
class UserAgent {
 public:
  explicit UserAgent(std::map<std::string, std::string> environment, bool firstLookNow = true) {
    if (firstLookNow) environment[pur::agent::kFirstLookVariable] = "0";
    std::string block = EnvironmentBlock(environment);
    std::string commandLine = "\"" + AgentPath() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const pur::THandle token(purtest::LimitedToken());
    started_ = (token ? CreateProcessAsUserA(token.Get(), AgentPath().c_str(), commandLine.data(), nullptr, nullptr,
                                             FALSE, 0, block.data(), pur::ProgramFolder().c_str(), &startup, &info_)
                      : CreateProcessA(AgentPath().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                       block.data(), pur::ProgramFolder().c_str(), &startup, &info_)) != 0;
  }
  ~UserAgent() {
    if (!started_) return;
    if (Running()) {
      if (HWND window = FindTopWindow(info_.dwProcessId, pur::agent::kAgentWindowClass, nullptr)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
      }
      if (!WaitExit(10s)) TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  UserAgent(const UserAgent&) = delete;
  UserAgent& operator=(const UserAgent&) = delete;

  bool Started() const { return started_; }
  bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  bool WaitExit(std::chrono::milliseconds timeout) const {
    return WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }
  bool WaitWindow() const {
    return WaitFor([&] { return FindTopWindow(info_.dwProcessId, pur::agent::kAgentWindowClass, nullptr); },
                   kStartTimeout);
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

// What an earlier version's save leaves: every Service value stored, "Démarrer le service
// automatiquement" ticked, type 1 every minute, the options confirmed; never a consent.
void EarlierVersionsSave(Settings& store) {
  store.Dword("", names::kFirstStart, 0);
  store.Dword(names::kServiceKey, names::kAutoStart, 1);
  store.Dword(names::kServiceKey, names::kCleaningType, 1);
  store.Dword(names::kServiceKey, names::kEveryInterval, 1);
  store.Dword(names::kServiceKey, names::kFreeSpaceThreshold, 500 * 1048576);
  store.Dword(names::kDisplayKey, names::kShowDetail, 0);
  store.Dword(names::kCleaningKey, names::kTestMode, 0);
}

// As the program's close-save does: a value written while the agent runs.
void TouchSettings(Settings& store) { store.Dword(names::kDisplayKey, names::kPosX, 100); }

// Long enough for a quiet store to be read and for a due look to have started its cleaning.
constexpr auto kNothingHappens = 3s;

TEST(Agent, OneAgentPerSessionCleansOnDemandAndQuitEndsIt) {
  AgentSandbox box(false);
  box.Store().Dword(names::kServiceKey, names::kCleaningType, 0);
  ASSERT_EQ(RunningAgent(), nullptr) << "an agent from elsewhere runs in the prefix";
  UserAgent first(box.Environment());
  ASSERT_TRUE(first.WaitWindow());
  {
    UserAgent second(box.Environment());
    ASSERT_TRUE(second.WaitExit(kStartTimeout));
    EXPECT_EQ(second.ExitCode(), 2u);
  }
  EXPECT_TRUE(first.Running());
  // No consent and type 0: nothing by itself, only what the user asks from the icon's menu.
  EXPECT_TRUE(box.Has("a.tmp"));
  PostMessageA(RunningAgent(), WM_COMMAND, texts::kCmdCleanNow, 0);
  EXPECT_TRUE(WaitFor([&] { return !box.Has("a.tmp") && !box.Has("b.tmp"); }, kRunTimeout));
  EXPECT_TRUE(box.Has("keep.txt"));
  Program quit("/quit", {}, AgentPath());
  ASSERT_TRUE(quit.WaitExit(kRunTimeout));
  EXPECT_EQ(quit.ExitCode(), 0u);
  EXPECT_TRUE(first.WaitExit(10s));
  EXPECT_EQ(first.ExitCode(), 0u);
  Program again("/quit", {}, AgentPath());
  ASSERT_TRUE(again.WaitExit(kRunTimeout));
  EXPECT_EQ(again.ExitCode(), 5u) << "no agent left to end";
}

TEST(Agent, CleansByItselfOnlyWithTheUsersConsent) {
  constexpr DWORD kNotStored = 99;
  const struct {
    const char* what;
    bool consent;
    DWORD autoStart;
    DWORD type;
    bool cleans;
    // The store as a new install leaves it (the defaults: ticked, type 1), then the real
    // program opened and closed once, its close-save included.
    bool freshThenProgram = false;
    bool forbiddenByPolicy = false;
  } cases[] = {
      {"a fresh store, the program opened and closed", false, kNotStored, kNotStored, false, true},
      {"an earlier version's save, no consent", false, 1, 1, false},
      {"consent given: the next due look cleans", true, 1, 1, true},
      {"consent, but not started with the session", true, 0, 1, false},
      {"consent, but type 0", true, 1, 0, false},
      {"consent, but the administrator forbids it", true, 1, 1, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AgentSandbox box(false);
    if (c.freshThenProgram) {
      Program program("", box.Environment());
      HWND window = program.Window();
      ASSERT_NE(window, nullptr);
      PostMessageA(window, WM_CLOSE, 0, 0);
      ASSERT_TRUE(program.WaitExit(kRunTimeout));
    } else {
      EarlierVersionsSave(box.Store());
    }
    if (c.autoStart != kNotStored) box.Store().Dword(names::kServiceKey, names::kAutoStart, c.autoStart);
    if (c.type != kNotStored) box.Store().Dword(names::kServiceKey, names::kCleaningType, c.type);
    if (c.consent) box.Store().Dword(names::kServiceKey, names::kAutomaticConsent, 1);
    Policies policies;
    if (c.forbiddenByPolicy) {
      policies.Dword(HKEY_CURRENT_USER, names::kServiceKey, names::kForbidAutomaticCleaning, 1);
    }
    UserAgent agent(box.Environment());
    ASSERT_TRUE(agent.WaitWindow());
    TouchSettings(box.Store());
    if (c.cleans) {
      EXPECT_TRUE(WaitFor([&] { return !box.Has("a.tmp") && !box.Has("b.tmp"); }, kRunTimeout));
    } else {
      std::this_thread::sleep_for(kNothingHappens);
      EXPECT_TRUE(box.Has("a.tmp") && box.Has("b.tmp")) << "cleaned by itself";
    }
    EXPECT_TRUE(box.Has("keep.txt"));
    EXPECT_TRUE(agent.Running());
  }
}

TEST(Agent, SettingsChangedInTheRegistryApplyWithoutARestart) {
  AgentSandbox box(false);
  box.Store().Dword(names::kServiceKey, names::kAutomaticConsent, 1);
  box.Store().Dword(names::kServiceKey, names::kCleaningType, 0);
  UserAgent agent(box.Environment());
  ASSERT_TRUE(agent.WaitWindow());
  // The first look comes at once: type 0 would have cleaned by now.
  std::this_thread::sleep_for(kNothingHappens);
  EXPECT_TRUE(box.Has("a.tmp")) << "type 0 cleaned by itself";
  // Periodic, never cleaned yet: due at once.
  box.Store().Dword(names::kServiceKey, names::kCleaningType, 1);
  EXPECT_TRUE(WaitFor([&] { return !box.Has("a.tmp") && !box.Has("b.tmp"); }, kRunTimeout));
  EXPECT_TRUE(box.Has("keep.txt"));
  EXPECT_TRUE(WaitFor([&] { return box.LastCleaningType().has_value(); }, 10s));
}

// Unticking "Démarrer le service automatiquement", or withdrawing the consent, ends the
// running agent at once, and no logon starts it again.
TEST(Agent, EndsWhenToldToStop) {
  const struct {
    const char* what;
    std::function<void(Settings&)> change;
  } cases[] = {
      {"unticked", [](Settings& s) { s.Dword(names::kServiceKey, names::kAutoStart, 0); }},
      {"consent withdrawn", [](Settings& s) { s.Dword(names::kServiceKey, names::kAutomaticConsent, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AgentSandbox box(false);
    EarlierVersionsSave(box.Store());
    box.Store().Dword(names::kServiceKey, names::kAutomaticConsent, 1);
    box.Store().Dword(names::kServiceKey, names::kCleaningType, 0);
    ASSERT_TRUE(pur::KeepAgentStartInStep(true, pur::ProgramFolder()));
    UserAgent agent(box.Environment());
    ASSERT_TRUE(agent.WaitWindow());
    const auto changed = std::chrono::steady_clock::now();
    c.change(box.Store());
    EXPECT_TRUE(agent.WaitExit(3s)) << "still running";
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - changed);
    EXPECT_LE(took.count(), 1500) << "ended " << took.count() << " ms after the change";
    EXPECT_EQ(agent.ExitCode(), 0u);
    EXPECT_EQ(pur::AgentRunEntry(), "");
    pur::KeepAgentStartInStep(false, pur::ProgramFolder());
  }
}

TEST(Agent, SuspendedStaysSuspendedAfterARestart) {
  AgentSandbox box(false);
  EarlierVersionsSave(box.Store());
  {
    UserAgent agent(box.Environment(), false);
    ASSERT_TRUE(agent.WaitWindow());
    PostMessageA(RunningAgent(), WM_COMMAND, texts::kCmdPause, 0);
    ASSERT_TRUE(WaitFor([&] { return box.Store().ReadDword(names::kServiceKey, pur::agent::kPausedValue) == 1u; }, 10s));
  }
  box.Store().Dword(names::kServiceKey, names::kAutomaticConsent, 1);
  UserAgent agent(box.Environment());
  ASSERT_TRUE(agent.WaitWindow());
  TouchSettings(box.Store());
  std::this_thread::sleep_for(kNothingHappens);
  EXPECT_TRUE(box.Has("a.tmp")) << "cleaned while suspended";
  // "Reprendre": due at once.
  PostMessageA(RunningAgent(), WM_COMMAND, texts::kCmdPause, 0);
  EXPECT_TRUE(WaitFor([&] { return !box.Has("a.tmp") && !box.Has("b.tmp"); }, kRunTimeout));
  EXPECT_FALSE(box.Store().Has(names::kServiceKey, pur::agent::kPausedValue));
}

// Started with the full token (a setup's Exec, "Exécuter en tant qu'administrateur"): it
// cleans nothing, notes why in the journal and ends with its own code.
TEST(Agent, StartedElevatedCleansNothingAndEnds) {
  if (!pur::agent::RunsElevated()) GTEST_SKIP() << "this test process is not elevated";
  AgentSandbox box(false);
  EarlierVersionsSave(box.Store());
  box.Store().Dword(names::kServiceKey, names::kAutomaticConsent, 1);
  auto environment = box.Environment();
  environment[pur::agent::kFirstLookVariable] = "0";
  Program agent("", environment, AgentPath());
  ASSERT_TRUE(agent.Started());
  ASSERT_TRUE(agent.WaitExit(kStartTimeout)) << "an elevated agent went on running";
  EXPECT_EQ(agent.ExitCode(), 6u);
  EXPECT_TRUE(box.Has("a.tmp") && box.Has("b.tmp"));
  EXPECT_TRUE(box.JournalHas(texts::kJournalElevated));
}

// The watch is armed before the settings are read: a change made during the read is not lost.
TEST(AgentWatch, AChangeMadeWhileReadingIsSeen) {
  const std::string parent = "Software\\PurgoAgentWatchTest";
  const std::string key = parent + "\\Produit";
  auto write = [&] {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    // A new value each time: Wine signals nothing when a value is written again unchanged.
    static DWORD count = 0;
    ++count;
    RegSetValueExA(opened, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegCloseKey(opened);
  };
  const struct {
    const char* what;
    bool keyExists;
    bool writeWhileReading;
  } cases[] = {
      {"a value written during the read", true, true},
      {"the key made during the read", false, true},
      {"nothing written", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteTreeA(HKEY_CURRENT_USER, parent.c_str());
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, parent.c_str(), &made), ERROR_SUCCESS);
    RegCloseKey(made);
    if (c.keyExists) write();
    pur::agent::TSettingsWatch watch;
    watch.ArmThenRead(HKEY_CURRENT_USER, key, [&] {
      if (c.writeWhileReading) write();
    });
    EXPECT_EQ(WaitForSingleObject(watch.Event(), 1000) == WAIT_OBJECT_0, c.writeWhileReading);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, parent.c_str());
}

}  // namespace
}  // namespace maintest
