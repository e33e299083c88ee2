// The main window of the real program, driven by messages: start-up lines, the lock shown by
// a second copy and taken over when the first quits, Restart's new identity, the window
// position saved only when it changed (and no logon entry made), a program without its library.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "AgentStartup.h"
#include "ProgramDriver.h"
#include "PurApi.h"

namespace maintest {
namespace {

constexpr char kInitDoneFirst[] = "Initialisation réussie (Chargement n°1).";
constexpr char kLockedPrefix[] = "Module verrouillé par PUR400-";

std::string Banner() {
  return "Purgo for Windows v4.0 Copyright © Corvane 1999-2026";
}

TEST(MainWindow, StartUpLinesAndIdleState) {
  Settings settings;
  settings.Quiet();
  Program program;
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitReady()) << program.Log();

  const std::vector<std::string> expected = {Banner(), "Initialisation du module de recherche ...", kInitDoneFirst, ""};
  std::vector<std::string> lines = program.LogLines();
  ASSERT_GE(lines.size(), expected.size()) << program.Log();
  lines.resize(expected.size());
  EXPECT_EQ(lines, expected);
  // Normal lines silver, the success line lime.
  const struct {
    size_t line;
    COLORREF color;
  } colours[] = {{0, ids::kLogSilver}, {1, ids::kLogSilver}, {2, ids::kLogLime}};
  for (const auto& c : colours) {
    EXPECT_EQ(program.LineColor(c.line).value_or(0xDEAD), c.color) << "line " << c.line;
  }

  // The first poll gave the bar its thousand steps (it is made with a hundred).
  EXPECT_EQ(SendMessageA(program.Item(ids::kIdProgressBar), PBM_GETRANGE, FALSE, 0),
            ids::kProgressSteps);
  HWND window = program.Window();
  EXPECT_EQ(TextOf(window), "Purgo for Windows");
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, ids::kClientWidth);
  EXPECT_EQ(client.bottom, ids::kPanelHeight) << "the log pane is hidden by default";
  const struct {
    int id;
    const char* caption;
    bool enabled;
  } buttons[] = {
      {ids::kIdButtonStartStop, ids::kStartCaption, true},
      {ids::kIdButtonOptions, ids::kOptionsCaption, true},
      {ids::kIdRestartButton, ids::kRestartCaption, true},
      {ids::kIdButtonQuit, ids::kQuitCaption, true},
      {ids::kIdButtonUpdate, ids::kUpdateCaption, false},
      {ids::kIdButtonAbout, ids::kAboutCaption, true},
  };
  for (const auto& b : buttons) {
    HWND button = program.Item(b.id);
    EXPECT_EQ(TextOf(button), b.caption);
    EXPECT_EQ(IsWindowEnabled(button) != 0, b.enabled) << b.caption;
  }

  Click(program.Item(ids::kIdButtonQuit));
  EXPECT_TRUE(program.WaitExit(10s));
  EXPECT_EQ(program.ExitCode(), 0u);
}

TEST(MainWindow, DetailSettingShowsTheLogPane) {
  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kDisplayKey, pur::names::kShowDetail, 1);
  Program program;
  ASSERT_TRUE(program.WaitReady());
  RECT client{};
  GetClientRect(program.Window(), &client);
  EXPECT_EQ(client.bottom, 2 * ids::kPanelHeight);
}

TEST(MainWindow, SettingsErrorIsShownAndTheProgramGoesOn) {
  Settings settings;
  settings.Quiet();
  // Numbers stored as text: each read fails with the value's name, and the others are read.
  settings.String(pur::names::kDisplayKey, pur::names::kShowDetail, "1");
  settings.String(pur::names::kDisplayKey, pur::names::kRefreshSpeed, "1");
  const purtest::RegSnapshot before = settings.Snapshot();
  Program program;
  ASSERT_TRUE(program.WaitReady()) << program.Log();
  for (const char* line : {
           "Lecture des options échouée (Type de données incorrect pour 'Afficher le detail').",
           "Lecture des options échouée (Type de données incorrect pour 'Vitesse de rafraichissement')."}) {
    EXPECT_TRUE(program.LogHas(line)) << line << "\n" << program.Log();
  }
  EXPECT_TRUE(program.LogHas(kInitDoneFirst)) << program.Log();
  RECT client{};
  GetClientRect(program.Window(), &client);
  EXPECT_EQ(client.bottom, 2 * ids::kPanelHeight) << "the pane shows the error";
  // The centred window differs from the stored place, yet the close writes nothing back.
  Click(program.Item(ids::kIdButtonQuit));
  ASSERT_TRUE(program.WaitExit(10s));
  EXPECT_TRUE(settings.Snapshot() == before);
}

// The application names the library keeps for every program that registered.
std::set<std::string> ProgramIdentities(const purtest::PurApi& api) {
  std::set<std::string> names;
  const std::string text = api.AppNames();
  size_t start = 0;
  while ((start = text.find("PUR400-", start)) != std::string::npos) {
    names.insert(text.substr(start, 10));
    start += 10;
  }
  return names;
}

size_t InitCount(const Program& program) {
  size_t count = 0;
  for (const std::string& line : program.LogLines()) {
    if (line.rfind("Initialisation réussie (Chargement n°", 0) == 0) ++count;
  }
  return count;
}

// A copy that draws a number already registered shares its namesake's identity, and with it
// the lock: each sees the other's lock as its own. That happens once in 99 draws, so the lock
// scenario is played again with fresh copies when a new copy adds no new name.
// Frees the observer's binding once the copies of the scenario are gone.
struct TFreeObserver {
  purtest::PurApi& api;
  ~TFreeObserver() { api.FreeLibrarie(); }
};

bool AddedAName(const purtest::PurApi& api, size_t namesBefore) {
  return WaitFor([&] { return ProgramIdentities(api).size() > namesBefore; }, 10s);
}

void PlayLockScenario(bool& sharedName) {
  sharedName = true;
  // An observer loaded before any copy starts a fresh list of names and keeps it while the
  // copies come and go: a copy's name is new when the list grows.
  purtest::PurApi api;
  ASSERT_EQ(api.Load(), "");
  api.InitLibrarie("OBSERVER", "test", "--------");
  TFreeObserver freeObserver{api};
  auto first = std::make_unique<Program>();
  ASSERT_TRUE(first->WaitReady());
  size_t names = ProgramIdentities(api).size();
  Program second;
  ASSERT_TRUE(second.Window() != nullptr);
  if (!AddedAName(api, names)) return;
  ASSERT_TRUE(second.WaitLogPrefix(kLockedPrefix, 20s)) << second.Log();
  std::string lockLine;
  for (const std::string& line : second.LogLines()) {
    if (line.rfind(kLockedPrefix, 0) == 0) lockLine = line;
  }
  // "PUR400-" and three characters, then the full stop.
  EXPECT_EQ(lockLine.size(), std::string(kLockedPrefix).size() + 3 + 1) << lockLine;
  EXPECT_EQ(second.ColorOfLine(lockLine).value_or(0xDEAD), ids::kLogYellow);
  EXPECT_FALSE(IsWindowEnabled(second.Item(ids::kIdButtonStartStop)));
  EXPECT_FALSE(IsWindowEnabled(second.Item(ids::kIdButtonOptions)));
  EXPECT_TRUE(IsWindowEnabled(second.Item(ids::kIdButtonQuit)));
  // The locked copy still shows the library as loaded: by the observer, the first copy and itself.
  EXPECT_TRUE(second.LogHas("Initialisation réussie (Chargement n°3).")) << second.Log();

  Click(first->Item(ids::kIdButtonQuit));
  ASSERT_TRUE(first->WaitExit(10s));
  first.reset();
  ASSERT_TRUE(second.WaitLog("Module déverrouillé.", 20s)) << second.Log();
  EXPECT_EQ(second.ColorOfLine("Module déverrouillé.").value_or(0xDEAD), ids::kLogLime);
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(second.Item(ids::kIdButtonStartStop)) != 0; }));
  EXPECT_TRUE(IsWindowEnabled(second.Item(ids::kIdButtonOptions)));

  // A third copy now finds the second one holding the lock.
  names = ProgramIdentities(api).size();
  Program third;
  ASSERT_TRUE(third.Window() != nullptr);
  if (!AddedAName(api, names)) return;
  sharedName = false;
  ASSERT_TRUE(third.WaitLogPrefix(kLockedPrefix, 20s)) << third.Log();
}

TEST(MainWindow, SecondCopyShowsTheLockAndTakesItWhenTheFirstQuits) {
  Settings settings;
  settings.Quiet();
  bool sharedName = true;
  for (size_t attempt = 0; attempt < 4 && sharedName && !HasFatalFailure(); ++attempt) {
    PlayLockScenario(sharedName);
  }
  EXPECT_FALSE(sharedName) << "every attempt drew a name already taken";
}

TEST(MainWindow, RestartMakesANewIdentity) {
  Settings settings;
  settings.Quiet();
  // An observer keeps the shared state, and with it the list of names, alive.
  purtest::PurApi api;
  ASSERT_EQ(api.Load(), "");
  api.InitLibrarie("OBSERVER", "test", "--------");
  Program program;
  ASSERT_TRUE(program.WaitReady());
  ASSERT_TRUE(WaitFor([&] { return ProgramIdentities(api).size() == 1; }, 10s)) << api.AppNames();
  const std::set<std::string> before = ProgramIdentities(api);

  // Two draws give the same number once in 99: a few restarts must give a new one.
  bool renamed = false;
  for (size_t attempt = 0; attempt < 4 && !renamed; ++attempt) {
    Click(program.Item(ids::kIdRestartButton));
    ASSERT_TRUE(WaitFor([&] { return InitCount(program) == attempt + 2; })) << program.Log();
    renamed = WaitFor([&] { return ProgramIdentities(api).size() > before.size(); }, 3s);
  }
  EXPECT_TRUE(renamed) << api.AppNames();
  EXPECT_TRUE(program.LogHas("Finalisation du module de recherche ..."));
  EXPECT_TRUE(program.LogHas("Finalisation réussie."));
  api.FreeLibrarie();
}

struct AboutSearch {
  DWORD processId;
  HWND found;
};

// A visible window of the program whose product line (control 100 of the about box) names it.
BOOL CALLBACK MatchAboutBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<AboutSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  constexpr int kAboutProductId = 100;
  if (owner == search->processId && IsWindowVisible(window) &&
      TextOf(GetDlgItem(window, kAboutProductId)) == "Purgo for Windows") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

TEST(MainWindow, AboutBoxIsModalOverTheWindow) {
  if (!Exists(pur::ProgramFolder() + "about.dll")) GTEST_SKIP() << "built without the about library";
  Settings settings;
  settings.Quiet();
  Program program;
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonAbout));
  AboutSearch search{program.Id(), nullptr};
  ASSERT_TRUE(WaitFor([&] {
    EnumWindows(MatchAboutBox, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  }, 20s));
  // The box is seen as soon as it shows its texts, which may be just before the dialog manager
  // disables its owner: wait for that, within a bound.
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(program.Window()) == 0; }, 10s))
      << "the box is modal over the main window";
  PostMessageA(search.found, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(program.Window()) != 0; }, 20s));
  PostMessageA(program.Window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.WaitExit(10s));
}

struct PositionCase {
  const char* name;
  int storedX;  // -1: not stored (centred)
  int storedY;
  int moveToX;  // -1: not moved
  int moveToY;
  bool expectSaved;
};

// The agent's logon entry: none before a case, none left after it.
class NoRunEntry {
 public:
  NoRunEntry() { Remove(); }
  ~NoRunEntry() { Remove(); }
  NoRunEntry(const NoRunEntry&) = delete;
  NoRunEntry& operator=(const NoRunEntry&) = delete;

 private:
  static void Remove() { RegDeleteKeyValueA(HKEY_CURRENT_USER, pur::kRunKeyPath, pur::kAgentRunValue); }
};

// Also what a copy run once from anywhere leaves behind: its settings, but neither a logon
// entry for the agent beside it nor a consent to automatic cleaning.
TEST(MainWindow, PositionIsSavedOnlyWhenItChanged) {
  const std::string agent = pur::ProgramFolder() + pur::kAgentFileName;
  ASSERT_NE(GetFileAttributesA(agent.c_str()), INVALID_FILE_ATTRIBUTES) << agent << " is not built";
  const PositionCase cases[] = {
      {"fresh store, first close stores the centred place", -1, -1, -1, -1, true},
      {"stored and unchanged", 100, 120, -1, -1, false},
      {"stored and moved", 100, 120, 200, 210, true},
      {"only X stored: centred", 100, -1, -1, -1, true},
  };
  for (const PositionCase& c : cases) {
    SCOPED_TRACE(c.name);
    Settings settings;
    settings.Quiet();
    // Without the first-start flag stored, any save shows by writing it.
    settings.Clear();
    settings.Dword(pur::names::kDisplayKey, pur::names::kRefreshSpeed, 50);
    if (c.storedX != -1) settings.Dword(pur::names::kDisplayKey, pur::names::kPosX, c.storedX);
    if (c.storedY != -1) settings.Dword(pur::names::kDisplayKey, pur::names::kPosY, c.storedY);
    const NoRunEntry entry;
    Program program;
    ASSERT_TRUE(program.WaitReady());
    HWND window = program.Window();
    RECT rect{};
    GetWindowRect(window, &rect);
    if (c.storedX == -1 || c.storedY == -1) {
      EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2);
      EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2);
    } else {
      EXPECT_EQ(rect.left, c.storedX);
      EXPECT_EQ(rect.top, c.storedY);
    }
    if (c.moveToX != -1) {
      SetWindowPos(window, nullptr, c.moveToX, c.moveToY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      GetWindowRect(window, &rect);
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitExit(10s));
    const auto firstStart = settings.ReadDword("", pur::names::kFirstStart);
    if (c.expectSaved) {
      EXPECT_EQ(firstStart, std::optional<DWORD>(0));
      EXPECT_EQ(settings.ReadDword(pur::names::kDisplayKey, pur::names::kPosX),
                std::optional<DWORD>(static_cast<DWORD>(rect.left)));
      EXPECT_EQ(settings.ReadDword(pur::names::kDisplayKey, pur::names::kPosY),
                std::optional<DWORD>(static_cast<DWORD>(rect.top)));
    } else {
      EXPECT_FALSE(firstStart.has_value()) << "settings were saved";
    }
    EXPECT_EQ(pur::AgentRunEntry(), "");
    EXPECT_FALSE(settings.Has(pur::names::kServiceKey, pur::names::kAutomaticConsent));
  }
}

TEST(MainWindow, WithoutItsLibraryTheProgramRefusesToStart) {
  Settings settings;
  settings.Quiet();
  // A copy of the program in a folder without purSearch.dll (about.dll goes with it).
  Sandbox box;
  const std::string exe = box.Path() + "PURGOWIN.exe";
  ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), exe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((pur::ProgramFolder() + "about.dll").c_str(),
                        (box.Path() + "about.dll").c_str(), FALSE));
  {
    Program program("", {}, exe);
    const std::string failed =
        "Initialisation échouée (Erreur 1002: Can't load purSearch.dll).";
    ASSERT_TRUE(program.WaitLog(failed, 20s)) << program.Log();
    EXPECT_EQ(program.ColorOfLine(failed).value_or(0xDEAD), ids::kLogRed);
    Click(program.Item(ids::kIdButtonStartStop));
    ASSERT_TRUE(program.WaitLog("Démarrage impossible : le module de recherche n'est pas chargé.", 10s)) << program.Log();
    EXPECT_EQ(TextOf(program.Item(ids::kIdButtonStartStop)), ids::kStartCaption);
    EXPECT_TRUE(IsWindowEnabled(program.Item(ids::kIdRestartButton)));
    PostMessageA(program.Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitExit(10s)) << "an idle window without its library closes";
  }
}

}  // namespace
}  // namespace maintest
