// The real PURGOSRV.exe on a sandbox: one cleaning with "/once" as the settings say, what it
// leaves alone (files waiting for a confirmation, options never confirmed, another copy's
// lock), one agent per session, "/quit", and settings that apply while the agent runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "AgentCleaning.h"
#include "AgentTexts.h"
#include "CleaningAgent.h"
#include "LibraryClass.h"
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
  std::vector<std::string> Journal() const { return SplitLines(ReadFileBytes(journal_ + "PURGOWIN.LOG")); }
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

TEST(Agent, OneAgentPerSessionCleansOnDemandAndQuitEndsIt) {
  AgentSandbox box(false);
  box.Store().Dword(names::kServiceKey, names::kCleaningType, 0);
  ASSERT_EQ(RunningAgent(), nullptr) << "an agent from elsewhere runs in the prefix";
  Program first("", box.Environment(), AgentPath());
  ASSERT_TRUE(WaitFor([] { return RunningAgent() != nullptr; }, kStartTimeout));
  {
    Program second("", box.Environment(), AgentPath());
    ASSERT_TRUE(second.WaitExit(kStartTimeout));
    EXPECT_EQ(second.ExitCode(), 2u);
  }
  EXPECT_TRUE(first.Running());
  // Type 0 never cleans by itself, only when asked from the icon's menu.
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

TEST(Agent, SettingsChangedInTheRegistryApplyWithoutARestart) {
  AgentSandbox box(false);
  box.Store().Dword(names::kServiceKey, names::kCleaningType, 0);
  Program agent("", box.Environment(), AgentPath());
  ASSERT_TRUE(WaitFor([] { return RunningAgent() != nullptr; }, kStartTimeout));
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(box.Has("a.tmp")) << "type 0 cleaned by itself";
  // Periodic, never cleaned yet: due at once.
  box.Store().Dword(names::kServiceKey, names::kCleaningType, 1);
  EXPECT_TRUE(WaitFor([&] { return !box.Has("a.tmp") && !box.Has("b.tmp"); }, kRunTimeout));
  EXPECT_TRUE(box.Has("keep.txt"));
  EXPECT_TRUE(WaitFor([&] { return box.LastCleaningType().has_value(); }, 10s));
  Program quit("/quit", {}, AgentPath());
  ASSERT_TRUE(quit.WaitExit(kRunTimeout));
  EXPECT_TRUE(agent.WaitExit(10s));
}

}  // namespace
}  // namespace maintest
