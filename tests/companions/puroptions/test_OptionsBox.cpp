// The real options box, loaded by full path and driven by messages from a second thread,
// against the settings in the prefix's registry: what OK writes (names, types, defaults
// removed), what Cancel and refused input leave alone, modality and ownership.
#include <gtest/gtest.h>

#include "AgentStartup.h"
#include "OptionsBoxDriver.h"
#include "OptionsDialog.h"
#include "OptionsTexts.h"

namespace puropt_test {
namespace {

// Every setting of the box with a value other than its default, as it must be stored.
struct Setting {
  const char* section;
  const char* name;
  RegValue value;
};

const std::vector<uint8_t> kDriveCWithTmpMask = {1, 0, 0, 0, 1, 'C', 0, 0, 0, 0, 1, 0, 0, 0,
                                                 5, '*', '.', 't', 'm', 'p', 0};

std::vector<Setting> ChangedSettings() {
  return {
      {"Affichage", "Afficher le detail", Dword(1)},
      {"Affichage", "Mettre en icone", Dword(0)},
      {"Affichage", "Vitesse de rafraichissement", Dword(250)},
      {"Affichage", "Position en X", Dword(10)},
      {"Affichage", "Position en Y", Dword(static_cast<uint32_t>(-5))},
      {"Nettoyage", "Vider la corbeille", Dword(0)},
      {"Nettoyage", "Vider le dossier temporaire", Dword(0)},
      {"Nettoyage", "Recherche personnelle", Dword(0)},
      {"Nettoyage", "Envoyer les elements dans la corbeille", Dword(0)},
      {"Nettoyage", "Confirmer la suppression", Dword(0)},
      {"Nettoyage", "Tester", Dword(1)},
      {"Nettoyage", "Confirmer la suppression des fichiers RO et H", Dword(0)},
      {"Nettoyage", "Age minimum en jours", Dword(14)},
      {"Nettoyage", "Toujours garder", MultiSz({"C:\\Projets\\", "*.docx", "D:\\Données\\*.tmp"})},
      {"Journal", "Activer la journalisation", Dword(0)},
      {"Journal", "Nouveau journal à chaque recherche", Dword(0)},
      {"Journal", "Evenements", Dword(1 | 2 | 4 | 8)},
      {"Journal", "Emplacement du journal", Sz("D:\\Logs\\")},
      {"Service", "Demarrer le service automatiquement", Dword(0)},
      {"Service", "Type de nettoyage", Dword(2)},
      {"Service", "Tous les ", Dword(30)},
      {"Service", "Quand moins de ", Dword(100 * 1048576)},
      {"Personnel", "Recherche personnelle", Binary(kDriveCWithTmpMask)},
  };
}

// What a save of nothing but defaults leaves: the keys, the version and the first-start flag.
RegSnapshot SavedDefaults() {
  RegSnapshot expected;
  expected[std::string(kProductKey) + "|"] = {};
  expected[std::string(kProductKey) + "|Version"] = Sz("4.0.0.0");
  expected[std::string(kVersionKey) + "|"] = {};
  expected[std::string(kVersionKey) + "|Premier demarrage"] = Dword(0);
  for (const char* section : {"Affichage", "Nettoyage", "Journal", "Service", "Personnel"})
    expected[Key(section) + "|"] = {};
  return expected;
}

std::string Describe(const RegSnapshot& snapshot) {
  std::string text;
  for (const auto& [name, value] : snapshot) {
    text += "  " + name + " type " + std::to_string(value.type) + " [";
    for (uint8_t b : value.data) text += std::to_string(b) + " ";
    text += "]\n";
  }
  return text;
}

// Puts every control to the changed value of ChangedSettings().
void ChangeEverything(Box& box) {
  box.SetCheck(ids::kShowDetail, true);
  box.SetCheck(ids::kMinimizeToIcon, false);
  box.SetText(ids::kRefreshSpeed, "250");
  box.SetText(ids::kPosX, "10");
  box.SetText(ids::kPosY, "-5");
  for (int id : {ids::kEmptyRecycleBin, ids::kEmptyTempFolder, ids::kRunPersonalSearch, ids::kSendToRecycleBin,
                 ids::kConfirmDelete})
    box.SetCheck(id, false);
  box.SetCheck(ids::kTestMode, true);
  box.ShowPage(ids::kPageCleaning);
  box.ClickButton(ids::kReadOnlyHidden0);
  if (box.Checked(ids::kReadOnlyHidden0 + 2)) box.Problems.push_back("radio 2 still checked after clicking 0");
  box.SetText(ids::kMinimumAgeDays, "14");
  box.SetText(ids::kKeepList, "C:\\Projets\\\r\n*.docx\r\nD:\\Données\\*.tmp");
  box.SetCheck(ids::kJournalEnabled, false);
  box.SetCheck(ids::kNewEachSearch, false);
  box.SetCheck(ids::kEventFirst, true);       // 1
  box.SetCheck(ids::kEventFirst + 4, false);  // 16
  box.SetText(ids::kLocation, "D:\\Logs");   // the backslash is added
  box.SetCheck(ids::kAutoStart, false);
  SendMessageA(box.Item(ids::kCleaningType), CB_SETCURSEL, 2, 0);
  box.SetText(ids::kEveryInterval, "30");
  box.SetText(ids::kFreeSpaceThreshold, "100");
  SendMessageA(box.Item(ids::kDrives), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("C:\\"));
  box.Click(ids::kAddDrive);
  box.SelectPlace({"Poste de travail", "C:\\"});
  box.AddMask("*.tmp", false);
}

class OptionsBox : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveProductKeys();
    RemovePolicies();
    ASSERT_TRUE(library.OpenBox) << "OpenOptionsBox not found in puroptions.dll";
  }
  // OK with the automatic start ticked writes the agent's Run value: none stays in the prefix.
  void TearDown() override {
    RemoveProductKeys();
    RemovePolicies();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, pur::kRunKeyPath, pur::kAgentRunValue);
  }
  void ExpectClean(const BoxRun& run) {
    EXPECT_TRUE(run.Shown);
    EXPECT_FALSE(run.ClosedByWatchdog);
    for (const std::string& problem : run.Problems) ADD_FAILURE() << problem;
  }
  OptionsLibrary library;
};

TEST_F(OptionsBox, ExportedUndecoratedOnly) {
  EXPECT_EQ(GetProcAddress(library.Module(), "_OpenOptionsBox@4"), nullptr);
  EXPECT_EQ(GetProcAddress(library.Module(), "OpenOptionsBox@4"), nullptr);
}

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST_F(OptionsBox, ModalFrenchOwnedAndDispatchingTheCallersMessages) {
  HWND owner = CreateWindowExA(0, "STATIC", "Propriétaire", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 700, 560,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  g_ticks = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CountTick);
  std::vector<std::string> tabs;
  HWND seenOwner = nullptr;
  bool ownerEnabled = true;
  int ticksWhileOpen = 0;
  BoxRun run = RunBox(
      library,
      [&](Box& box) {
        seenOwner = GetWindow(box.Dialog, GW_OWNER);
        ownerEnabled = IsWindowEnabled(owner) != FALSE;
        HWND tabControl = box.Item(ids::kTabs);
        for (int page = 0; page < ids::kPageCount; ++page) {
          char text[64] = {};
          TCITEMA item{};
          item.mask = TCIF_TEXT;
          item.pszText = text;
          item.cchTextMax = sizeof text;
          SendMessageA(tabControl, TCM_GETITEMA, page, reinterpret_cast<LPARAM>(&item));
          tabs.emplace_back(text);
        }
        const int before = g_ticks;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ticksWhileOpen = g_ticks - before;
        box.Press(IDCANCEL);
      },
      owner);
  KillTimer(nullptr, timer);
  ExpectClean(run);
  EXPECT_EQ(run.Result, 0);
  EXPECT_EQ(seenOwner, owner);
  EXPECT_FALSE(ownerEnabled) << "the owner stays usable while the box is open";
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_GT(ticksWhileOpen, 2) << "the caller's timer did not run while the box was open";
  EXPECT_EQ(tabs, (std::vector<std::string>{"Affichage", "Nettoyage", "Journal", "Recherche personnelle", "Service"}));
  DestroyWindow(owner);
}

TEST_F(OptionsBox, EverySettingSavedWithItsNameAndType) {
  BoxRun run = RunBox(library, [](Box& box) {
    ChangeEverything(box);
    box.Press(IDOK);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  RegSnapshot expected = SavedDefaults();
  for (const Setting& s : ChangedSettings()) expected[Key(s.section) + "|" + s.name] = s.value;
  const RegSnapshot stored = Snapshot();
  EXPECT_EQ(stored, expected) << "stored:\n" << Describe(stored) << "expected:\n" << Describe(expected);
}

TEST_F(OptionsBox, StoredValuesShownAndDefaultsPutBackRemoveThem) {
  Write("", "Premier demarrage", Dword(0));
  for (const Setting& s : ChangedSettings()) Write(s.section, s.name, s.value);
  struct Shown {
    int id;
    std::string text;
  };
  std::vector<Shown> shown;
  std::vector<std::pair<int, bool>> checks;
  std::string definition;
  BoxRun run = RunBox(library, [&](Box& box) {
    for (int id : {ids::kRefreshSpeed, ids::kPosX, ids::kPosY, ids::kLocation, ids::kEveryInterval,
                   ids::kFreeSpaceThreshold, ids::kCleaningType})
      shown.push_back({id, box.Text(id)});
    for (int id : {ids::kShowDetail, ids::kMinimizeToIcon, ids::kTestMode, ids::kEmptyRecycleBin, ids::kReadOnlyHidden0,
                   ids::kReadOnlyHidden0 + 2, ids::kEventFirst, ids::kEventFirst + 4, ids::kAutoStart})
      checks.emplace_back(id, box.Checked(id));
    definition = box.Text(ids::kDefinitionText);

    box.SetCheck(ids::kShowDetail, false);
    box.SetCheck(ids::kMinimizeToIcon, true);
    box.SetText(ids::kRefreshSpeed, "500");
    box.SetText(ids::kPosX, "-1");
    box.SetText(ids::kPosY, " -1 ");
    for (int id : {ids::kEmptyRecycleBin, ids::kEmptyTempFolder, ids::kRunPersonalSearch, ids::kSendToRecycleBin,
                   ids::kConfirmDelete, ids::kJournalEnabled, ids::kNewEachSearch, ids::kAutoStart})
      box.SetCheck(id, true);
    box.SetCheck(ids::kTestMode, false);
    box.ShowPage(ids::kPageCleaning);
    box.ClickButton(ids::kReadOnlyHidden0 + 2);
    box.SetCheck(ids::kEventFirst, false);
    box.SetCheck(ids::kEventFirst + 4, true);
    box.SetText(ids::kLocation, "C:\\");
    SendMessageA(box.Item(ids::kCleaningType), CB_SETCURSEL, 1, 0);
    box.SetText(ids::kEveryInterval, "600");
    box.SetText(ids::kFreeSpaceThreshold, "500");
    box.SetText(ids::kMinimumAgeDays, "0");
    box.SetText(ids::kKeepList, "");
    box.SelectPlace({"Poste de travail", "C:\\"});
    box.Click(ids::kRemoveNode);
    box.Ok(IDNO);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  const std::vector<Shown> expectedShown = {{ids::kRefreshSpeed, "250"}, {ids::kPosX, "10"}, {ids::kPosY, "-5"},
                                            {ids::kLocation, "D:\\Logs\\"}, {ids::kEveryInterval, "30"},
                                            {ids::kFreeSpaceThreshold, "100"},
                                            {ids::kCleaningType, "2 - Nettoyage quand l'espace libre manque"}};
  ASSERT_EQ(shown.size(), expectedShown.size());
  for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i].text, expectedShown[i].text) << "control " << shown[i].id;
  const std::vector<std::pair<int, bool>> expectedChecks = {
      {ids::kShowDetail, true},       {ids::kMinimizeToIcon, false},      {ids::kTestMode, true},
      {ids::kEmptyRecycleBin, false}, {ids::kReadOnlyHidden0, true},      {ids::kReadOnlyHidden0 + 2, false},
      {ids::kEventFirst, true},       {ids::kEventFirst + 4, false},      {ids::kAutoStart, false}};
  EXPECT_EQ(checks, expectedChecks);
  EXPECT_EQ(definition, "<Poste de travail>\r\n\tC:\\\r\n\t*.tmp\r\n");
  RegSnapshot expected = SavedDefaults();
  const RegSnapshot stored = Snapshot();
  EXPECT_EQ(stored, expected) << "stored:\n" << Describe(stored);
}

// Which numbers of the Service page can be typed in for a cleaning type, as stored or as
// picked in the list afterwards (-1: none picked).
struct NumbersInUse {
  int32_t storedType;
  int pickedType;
  bool every;
  bool whenLess;
};

TEST_F(OptionsBox, ServiceNumbersGreyedWhenTheirTypeDoesNotUseThem) {
  const NumbersInUse cases[] = {
      {0, -1, false, false}, {1, -1, true, false}, {2, -1, true, true}, {7, -1, false, false},
      {0, 2, true, true},    {2, 0, false, false}, {2, 1, true, false}, {1, 0, false, false},
  };
  for (const NumbersInUse& c : cases) {
    Write("", "Premier demarrage", Dword(0));
    Write("Service", "Type de nettoyage", Dword(static_cast<uint32_t>(c.storedType)));
    std::map<int, bool> enabled;
    BoxRun run = RunBox(library, [&](Box& box) {
      box.ShowPage(ids::kPageService);
      if (c.pickedType >= 0) box.PickCleaningType(c.pickedType);
      for (int id : {ids::kEveryLabel, ids::kEveryInterval, ids::kMinutesLabel, ids::kWhenLessLabel,
                     ids::kFreeSpaceThreshold, ids::kMiBLabel})
        enabled[id] = IsWindowEnabled(box.Item(id)) != FALSE;
      box.Press(IDCANCEL);
    });
    ExpectClean(run);
    const std::map<int, bool> expected = {
        {ids::kEveryLabel, c.every},       {ids::kEveryInterval, c.every},       {ids::kMinutesLabel, c.every},
        {ids::kWhenLessLabel, c.whenLess}, {ids::kFreeSpaceThreshold, c.whenLess}, {ids::kMiBLabel, c.whenLess}};
    EXPECT_EQ(enabled, expected) << "stored type " << c.storedType << ", picked " << c.pickedType;
    RemoveProductKeys();
  }
}

TEST_F(OptionsBox, GreyedNumbersAreSavedAsTheyStand) {
  Write("", "Premier demarrage", Dword(0));
  Write("Service", "Type de nettoyage", Dword(2));
  Write("Service", "Tous les ", Dword(30));
  Write("Service", "Quand moins de ", Dword(100 * 1048576));
  bool greyed = false;
  BoxRun run = RunBox(library, [&](Box& box) {
    box.ShowPage(ids::kPageService);
    box.SetText(ids::kEveryInterval, "45");  // typed, then greyed by the type
    box.PickCleaningType(0);
    greyed = !IsWindowEnabled(box.Item(ids::kEveryInterval)) && !IsWindowEnabled(box.Item(ids::kFreeSpaceThreshold));
    box.Press(IDOK);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  EXPECT_TRUE(greyed);
  const RegSnapshot stored = Snapshot();
  EXPECT_EQ(stored.at(Key("Service") + "|Type de nettoyage"), Dword(0));
  EXPECT_EQ(stored.at(Key("Service") + "|Tous les "), Dword(45));
  EXPECT_EQ(stored.at(Key("Service") + "|Quand moins de "), Dword(100 * 1048576));
}

// One store through successive boxes: the Run value follows the tick, consent is asked once
// when automatic cleaning is wanted, kept while it is, withdrawn as soon as it is not.
TEST_F(OptionsBox, RunEntryAndConsentFollowTheUsersChoices) {
  namespace t = pur::options::texts;
  const std::string agent = OwnFolder() + pur::kAgentFileName;
  ASSERT_NE(GetFileAttributesA(agent.c_str()), INVALID_FILE_ATTRIBUTES) << agent << " is not built";
  // A value left by a copy elsewhere: ticking points it at the agent beside the box.
  const std::string stale = "\"C:\\Ancien\\PURGOSRV.exe\"";
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, pur::kRunKeyPath, pur::kAgentRunValue, REG_SZ, stale.c_str(),
                            static_cast<DWORD>(stale.size() + 1)),
            ERROR_SUCCESS);
  const struct Step {
    const char* name;
    bool tick;
    int type;                      // picked in the list
    std::function<void(Box&)> more;
    int answer;                    // to the question; 0: none may come
    const char* stateShown;        // on opening
    bool consent;                  // stored afterwards
    std::vector<std::string> asked;  // parts of the question
    const char* notAsked;
  } steps[] = {
      {"defaults, no", true, 2,
       [](Box& box) {
         box.SetCheck(ids::kEmptyRecycleBin, false);
         box.SetCheck(ids::kConfirmDelete, false);
         box.SetText(ids::kEveryInterval, "45");
         box.SetText(ids::kFreeSpaceThreshold, "100");
       },
       IDNO, t::kAutomaticAsked, false,
       {"dossier temporaire", "fichiers trouvés par la recherche personnelle", "moins de 100 Mo",
        "toutes les 45 minutes"},
       "corbeille"},
      {"asked again, yes", true, 1,
       [](Box& box) {
         box.SetCheck(ids::kEmptyRecycleBin, true);
         box.SetCheck(ids::kConfirmDelete, true);
         box.SetText(ids::kEveryInterval, "30");
       },
       IDYES, t::kAutomaticAsked, true,
       {"contenu de la corbeille", "attendront votre confirmation", "toutes les 30 minutes"}, "moins de"},
      {"given, not asked again", true, 1, nullptr, 0, t::kAutomaticOn, true, {}, nullptr},
      {"type 0 withdraws", true, 0, nullptr, 0, t::kAutomaticOn, false, {}, nullptr},
      {"type 1, yes", true, 1, nullptr, IDYES, t::kAutomaticOff, true, {"toutes les 30 minutes"}, nullptr},
      {"unticked withdraws", false, 1, nullptr, 0, t::kAutomaticOn, false, {}, nullptr},
      {"unticked, not asked", false, 1, nullptr, 0, t::kAutomaticOff, false, {}, nullptr},
  };
  const std::string consentValue = Key("Service") + "|" + pur::names::kAutomaticConsent;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    std::string stateShown, question;
    BoxRun run = RunBox(library, [&](Box& box) {
      stateShown = box.Text(ids::kAutomaticState);
      box.SetCheck(ids::kAutoStart, step.tick);
      box.PickCleaningType(step.type);
      if (step.more) step.more(box);
      question = box.Ok(step.answer);
    });
    ExpectClean(run);
    EXPECT_EQ(pur::AgentRunEntry(), step.tick ? "\"" + agent + "\"" : "");
    EXPECT_EQ(stateShown, step.stateShown);
    const RegSnapshot stored = Snapshot();
    const auto consent = stored.find(consentValue);
    if (step.consent) {
      EXPECT_TRUE(consent != stored.end() && consent->second == Dword(1)) << Describe(stored);
    } else {
      EXPECT_TRUE(consent == stored.end()) << Describe(stored);
    }
    for (const std::string& part : step.asked) {
      EXPECT_NE(question.find(part), std::string::npos) << part << " in\n" << question;
    }
    if (step.notAsked) {
      EXPECT_EQ(question.find(step.notAsked), std::string::npos) << question;
    }
  }
}

// Settings an administrator's policy fixes: the box shows the policy's value greyed, with a
// tip and a note that say why; OK stores the rest and leaves the user's own value as it was,
// even when the control was set otherwise behind the user's back. The machine's policy wins
// over the user's.
TEST_F(OptionsBox, EnforcedSettingsShownGreyedAndTheUsersOwnKept) {
  namespace t = pur::options::texts;
  struct Policy {
    HKEY root;
    const char* section;
    const char* name;
    uint32_t value;
  };
  const int automatic[] = {ids::kCleaningTypeLabel, ids::kCleaningType, ids::kEveryLabel, ids::kEveryInterval, ids::kMinutesLabel,
                           ids::kWhenLessLabel, ids::kFreeSpaceThreshold, ids::kMiBLabel};
  const struct Row {
    const char* name;
    std::vector<Policy> policies;
    Setting user;  // the user's own value, which no OK may change
    int page;
    int shownCheck;  // 0: none; then whether it shows ticked
    bool ticked;
    std::vector<int> greyed;
    std::vector<int> stillEnabled;
    const char* state;  // the Service page's state line, when checked
    int answer;         // to the automatic-cleaning question; 0: none may come
  } rows[] = {
      {"recycle bin, machine",
       {{HKEY_LOCAL_MACHINE, "Nettoyage", "Envoyer les elements dans la corbeille", 1}},
       {"Nettoyage", "Envoyer les elements dans la corbeille", Dword(0)},
       ids::kPageCleaning, ids::kSendToRecycleBin, true, {ids::kSendToRecycleBin},
       {ids::kConfirmDelete, ids::kTestMode, ids::kEmptyRecycleBin}, nullptr, IDNO},
      {"test mode, user",
       {{HKEY_CURRENT_USER, "Nettoyage", "Tester", 1}},
       {"Nettoyage", "Tester", Dword(0)},
       ids::kPageCleaning, ids::kTestMode, true, {ids::kTestMode},
       {ids::kSendToRecycleBin, ids::kConfirmDelete}, nullptr, IDNO},
      {"test mode, the machine's wins",
       {{HKEY_CURRENT_USER, "Nettoyage", "Tester", 1}, {HKEY_LOCAL_MACHINE, "Nettoyage", "Tester", 0}},
       {"Nettoyage", "Tester", Dword(1)},
       ids::kPageCleaning, ids::kTestMode, false, {ids::kTestMode}, {ids::kSendToRecycleBin}, nullptr, IDNO},
      {"journal, machine",
       {{HKEY_LOCAL_MACHINE, "Journal", "Activer la journalisation", 1}},
       {"Journal", "Activer la journalisation", Dword(0)},
       ids::kPageJournal, ids::kJournalEnabled, true, {ids::kJournalEnabled},
       {ids::kNewEachSearch, ids::kLocation, ids::kEventFirst}, nullptr, IDNO},
      {"minimum age, machine: the labels grey with the field",
       {{HKEY_LOCAL_MACHINE, "Nettoyage", "Age minimum en jours", 7}},
       {"Nettoyage", "Age minimum en jours", Dword(3)},
       ids::kPageCleaning, 0, false,
       {ids::kMinimumAgeLabel, ids::kMinimumAgeDays, ids::kMinimumAgeArrows, ids::kDaysLabel},
       {ids::kKeepListLabel, ids::kKeepList}, nullptr, IDNO},
      {"automatic cleaning forbidden",
       {{HKEY_LOCAL_MACHINE, "Service", "Interdire le nettoyage automatique", 1}},
       {"Service", "Type de nettoyage", Dword(2)},
       ids::kPageService, 0, false, {std::begin(automatic), std::end(automatic)}, {ids::kAutoStart},
       t::kAutomaticForbidden, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Write("", "Premier demarrage", Dword(0));
    Write(row.user.section, row.user.name, row.user.value);
    for (const Policy& p : row.policies) WritePolicy(p.root, p.section, p.name, Dword(p.value));
    const RegSnapshot policies = PolicySnapshot();
    bool ticked = false;
    std::string note, state;
    std::map<int, bool> enabled;
    std::map<int, Box::Tip> tips;
    BoxRun run = RunBox(library, [&](Box& box) {
      box.ShowPage(row.page);
      if (row.shownCheck) ticked = box.Checked(row.shownCheck);
      for (const std::vector<int>* ids : {&row.greyed, &row.stillEnabled})
        for (int id : *ids) enabled[id] = IsWindowEnabled(box.Item(id)) != FALSE;
      note = box.Text(ids::kPolicyNote);
      state = box.Text(ids::kAutomaticState);
      tips = box.Tips();
      // What no user can do on a greyed control must not reach the store either.
      if (row.shownCheck) box.SetCheck(row.shownCheck, !ticked);
      box.SetCheck(ids::kShowDetail, true);
      box.Ok(row.answer);
    });
    ExpectClean(run);
    EXPECT_EQ(run.Result, 1);
    if (row.shownCheck) {
      EXPECT_EQ(ticked, row.ticked);
    }
    for (int id : row.greyed) EXPECT_FALSE(enabled[id]) << "control " << id << " not greyed";
    for (int id : row.stillEnabled) EXPECT_TRUE(enabled[id]) << "control " << id << " greyed";
    EXPECT_EQ(note, t::kEnforcedNote);
    if (row.state) {
      EXPECT_EQ(state, row.state);
    }
    for (int id : row.greyed) {
      const auto tip = tips.find(id);
      ASSERT_TRUE(tip != tips.end()) << "no tip for control " << id;
      EXPECT_EQ(tip->second.text, t::kEnforced) << "control " << id;
      EXPECT_FALSE(IsRectEmpty(&tip->second.area)) << "control " << id << " shown without its tip";
    }
    EXPECT_EQ(tips.size(), row.greyed.size());
    const RegSnapshot stored = Snapshot();
    EXPECT_EQ(stored.at(Key(row.user.section) + "|" + row.user.name), row.user.value) << Describe(stored);
    EXPECT_EQ(stored.at(Key("Affichage") + "|Afficher le detail"), Dword(1)) << "OK saved nothing";
    EXPECT_EQ(stored.count(Key("Service") + "|" + pur::names::kAutomaticConsent), 0u) << Describe(stored);
    EXPECT_EQ(PolicySnapshot(), policies);
    RemovePolicies();
    RemoveProductKeys();
  }
}

// Without any policy nothing is greyed by one: no note, no tips.
TEST_F(OptionsBox, NoPolicyNoNoteAndNoTips) {
  bool noted = true;
  size_t tips = 1;
  BoxRun run = RunBox(library, [&](Box& box) {
    noted = box.Item(ids::kPolicyNote) != nullptr;
    tips = box.Tips().size();
    box.Press(IDCANCEL);
  });
  ExpectClean(run);
  EXPECT_FALSE(noted);
  EXPECT_EQ(tips, 0u);
}

TEST_F(OptionsBox, CancelWritesNothing) {
  Write("", "Premier demarrage", Dword(0));
  Write("Affichage", "Afficher le detail", Dword(1));
  const RegSnapshot before = Snapshot();
  BoxRun run = RunBox(library, [](Box& box) {
    ChangeEverything(box);
    box.Press(IDCANCEL);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 0);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(OptionsBox, OkWithoutChangeWritesOnlyToEndTheFirstStart) {
  // First start: OK confirms the options once, which the program must learn.
  BoxRun first = RunBox(library, [](Box& box) { box.Ok(IDNO); });
  ExpectClean(first);
  EXPECT_EQ(first.Result, 1);
  EXPECT_EQ(Snapshot(), SavedDefaults()) << Describe(Snapshot());
  // Afterwards an unchanged box writes nothing and reports no change.
  Write("Journal", "Evenements", Dword(511));  // only the low 8 bits are held
  const RegSnapshot before = Snapshot();
  BoxRun second = RunBox(library, [](Box& box) { box.Ok(IDNO); });
  ExpectClean(second);
  EXPECT_EQ(second.Result, 0);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(OptionsBox, StoredDefinitionSavedBackByteForByte) {
  // Counts of -5 and a flag byte 2: the tree would write these differently.
  const std::vector<uint8_t> odd = {1, 0, 0, 0, 1, 'c', 0xFB, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, '*', 2};
  Write("", "Premier demarrage", Dword(0));
  Write("Personnel", "Recherche personnelle", Binary(odd));
  std::string definition;
  BoxRun run = RunBox(library, [&](Box& box) {
    definition = box.Text(ids::kDefinitionText);
    box.SetCheck(ids::kShowDetail, true);
    box.Ok(IDNO);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  EXPECT_EQ(definition, "<Poste de travail>\r\n\tc:\\\r\n\t* - [Recursif]\r\n");
  const RegSnapshot stored = Snapshot();
  EXPECT_EQ(stored.at(Key("Personnel") + "|Recherche personnelle"), Binary(odd));
  EXPECT_EQ(stored.at(Key("Affichage") + "|Afficher le detail"), Dword(1));
}

TEST_F(OptionsBox, RefusedNumberKeepsTheBoxOpenUntilCorrected) {
  std::string complaint;
  bool openAfterComplaint = false;
  BoxRun run = RunBox(library, [&](Box& box) {
    box.SetText(ids::kRefreshSpeed, "5");  // below the smallest pause
    box.Press(IDOK);
    HWND message = box.WaitOther(kBoxCaption);
    if (!message) return;
    complaint = Box::MessageOf(message);
    Box::Answer(message, IDOK);
    box.WaitGone(message);
    openAfterComplaint = IsWindow(box.Dialog) != FALSE;
    box.SetText(ids::kRefreshSpeed, "300");
    box.Ok(IDNO);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  EXPECT_TRUE(openAfterComplaint);
  EXPECT_NE(complaint.find("Vitesse de rafraîchissement (ms)"), std::string::npos) << complaint;
  EXPECT_NE(complaint.find("entre 10 et 60000"), std::string::npos) << complaint;
  EXPECT_EQ(Snapshot().at(Key("Affichage") + "|Vitesse de rafraichissement"), Dword(300));
}

// The window class with the values the export copies from the settings object, and the
// values it hands back.
struct DialogRun {
  BoxRun Run;
  pur::options::TOptionsValues Values;
};

DialogRun RunDialog(pur::options::TOptionsValues values, const std::function<void(Box&)>& drive) {
  pur::options::TOptionsDialog dialog(GetModuleHandleA(nullptr), std::move(values));
  DialogRun result;
  result.Run = RunBox([&](HWND owner) -> uint8_t { return dialog.Run(owner) ? 1 : 0; }, drive);
  result.Values = dialog.Values();
  return result;
}

HWND FocusOf(const Box& box) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(box.Thread, &info) ? info.hwndFocus : nullptr;
}

// The selected part of an edit control's text, however long.
std::string Selection(HWND edit) {
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
  return end > start && end <= text.size() ? text.substr(start, end - start) : std::string();
}

// The limits of the Nettoyage page: shown as given, read back on OK (a field left as shown
// keeps its stored value), left alone by Cancel, and refused on OK with the field named,
// its page shown and the focus on it.
TEST_F(OptionsBox, MinimumAgeAndKeepListShownReadBackAndRefused) {
  const std::string tooLong = "C:\\" + std::string(40000, 'a');
  const struct Case {
    const char* name;
    int32_t storedAge;
    std::vector<std::string> storedKeep;
    std::string shownKeep;
    std::function<void(Box&)> edit;
    int close;
    std::vector<std::string> complaint;  // parts of the refusal, none when OK is accepted
    int refusedField;
    std::string refusedLine;  // selected in the keep list
    int32_t age;
    std::vector<std::string> keep;
  } cases[] = {
      {"edited", 7, {"C:\\Projets\\", "*.docx"}, "C:\\Projets\\\r\n*.docx",
       [](Box& box) {
         box.SetText(ids::kMinimumAgeDays, "30");
         box.SetText(ids::kKeepList, " D:\\Anciens\\*.tmp \r\n\r\n*.DOCX\r\nd:\\anciens\\*.TMP\r\n\tCache\\*.dat");
       },
       IDOK, {}, 0, "", 30, {"D:\\Anciens\\*.tmp", "*.DOCX", "Cache\\*.dat"}},
      {"emptied", 7, {"*.docx"}, "*.docx",
       [](Box& box) {
         box.SetText(ids::kMinimumAgeDays, "0");
         box.SetText(ids::kKeepList, "\r\n  \r\n");
       },
       IDOK, {}, 0, "", 0, {}},
      {"untouched, kept as stored", 5000, {"a\\\\b", "*.docx", "*.DOCX"}, "a\\\\b\r\n*.docx\r\n*.DOCX", nullptr, IDOK,
       {}, 0, "", 5000, {"a\\\\b", "*.docx", "*.DOCX"}},
      {"arrow key", 1999, {}, "", [](Box& box) { SendMessageA(box.Item(ids::kMinimumAgeDays), WM_KEYDOWN, VK_UP, 0); },
       IDOK, {}, 0, "", 2000, {}},
      {"cancelled", 7, {"*.docx"}, "*.docx",
       [](Box& box) {
         box.SetText(ids::kMinimumAgeDays, "30");
         box.SetText(ids::kKeepList, "*.tmp");
       },
       IDCANCEL, {}, 0, "", 7, {"*.docx"}},
      {"age too high", 7, {}, "", [](Box& box) { box.SetText(ids::kMinimumAgeDays, "3651"); }, IDOK,
       {"Âge minimum (jours)", "entre 0 et 3650"}, ids::kMinimumAgeDays, "", 7, {}},
      {"age not a number", 7, {}, "", [](Box& box) { box.SetText(ids::kMinimumAgeDays, "sept"); }, IDOK,
       {"Âge minimum (jours)", "entre 0 et 3650"}, ids::kMinimumAgeDays, "", 7, {}},
      {"entry leaving its folder", 0, {}, "",
       [](Box& box) { box.SetText(ids::kKeepList, "*.docx\r\n  C:\\Projets\\..\\Photos\\ \r\n*.tmp"); }, IDOK,
       {"C:\\Projets\\..\\Photos\\\u00a0»", "« . » et « .. »"}, ids::kKeepList, "  C:\\Projets\\..\\Photos\\ ", 0, {}},
      {"entry with a forbidden character", 0, {}, "", [](Box& box) { box.SetText(ids::kKeepList, "C:\\a|b"); }, IDOK,
       {"«\u00a0C:\\a|b\u00a0»", "caractère interdit"}, ids::kKeepList, "C:\\a|b", 0, {}},
      {"entry with a nameless folder", 0, {}, "", [](Box& box) { box.SetText(ids::kKeepList, "*.tmp\r\nC:\\a\\\\b"); },
       IDOK, {"«\u00a0C:\\a\\\\b\u00a0»", "n'a pas de nom"}, ids::kKeepList, "C:\\a\\\\b", 0, {}},
      {"entry too long, shortened", 0, {}, "", [&](Box& box) { box.SetText(ids::kKeepList, tooLong); }, IDOK,
       {"«\u00a0C:\\" + std::string(117, 'a') + "…\u00a0»", "trop long"}, ids::kKeepList, tooLong, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pur::options::TOptionsValues given;
    given.Cleaning.MinimumAgeDays = c.storedAge;
    given.Cleaning.KeepList = c.storedKeep;
    given.Service.CleaningType = pur::ctNone;  // no question on OK
    std::string shownAge, shownKeep, complaint, selected;
    bool openAfterComplaint = false, focused = false;
    LRESULT pageAfterComplaint = -1;
    const DialogRun result = RunDialog(given, [&](Box& box) {
      shownAge = box.Text(ids::kMinimumAgeDays);
      shownKeep = box.Text(ids::kKeepList);
      if (c.edit) c.edit(box);
      if (c.complaint.empty()) {
        box.Press(c.close);
        return;
      }
      box.Press(IDOK);
      HWND message = box.WaitOther(kBoxCaption);
      if (!message) return;
      complaint = Box::MessageOf(message);
      Box::Answer(message, IDOK);
      box.WaitGone(message);
      const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
      while (FocusOf(box) != box.Item(c.refusedField) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      focused = FocusOf(box) == box.Item(c.refusedField);
      openAfterComplaint = IsWindow(box.Dialog) != FALSE;
      pageAfterComplaint = SendMessageA(box.Item(ids::kTabs), TCM_GETCURSEL, 0, 0);
      selected = Selection(box.Item(ids::kKeepList));
      box.Press(IDCANCEL);
    });
    ExpectClean(result.Run);
    EXPECT_EQ(shownAge, std::to_string(c.storedAge));
    EXPECT_EQ(shownKeep, c.shownKeep);
    EXPECT_EQ(result.Run.Result, c.close == IDOK && c.complaint.empty() ? 1 : 0);
    EXPECT_EQ(result.Values.Cleaning.MinimumAgeDays, c.age);
    EXPECT_EQ(result.Values.Cleaning.KeepList, c.keep);
    for (const std::string& part : c.complaint) {
      EXPECT_NE(complaint.find(part), std::string::npos) << part << " in\n" << complaint.substr(0, 300);
    }
    if (c.complaint.empty()) continue;
    EXPECT_TRUE(openAfterComplaint);
    EXPECT_TRUE(focused);
    EXPECT_EQ(pageAfterComplaint, ids::kPageCleaning);
    if (c.refusedField == ids::kKeepList) {
      EXPECT_TRUE(selected == c.refusedLine) << "selected: " << selected.substr(0, 80);
    }
  }
}

TEST_F(OptionsBox, UnreadableSettingsAreReportedAndNotOverwritten) {
  Write("Affichage", "Vitesse de rafraichissement", Sz("1"));
  const RegSnapshot before = Snapshot();
  std::string message;
  BoxRun run = RunBox(library, [&](Box& box) {
    // What shows is the error box, not the options.
    message = Box::MessageOf(box.Dialog);
    Box::Answer(box.Dialog, IDOK);
  });
  EXPECT_TRUE(run.Shown);
  EXPECT_FALSE(run.ClosedByWatchdog);
  EXPECT_EQ(run.Result, 0);
  EXPECT_NE(message.find("Type de données incorrect pour 'Vitesse de rafraichissement'"), std::string::npos)
      << message;
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(OptionsBox, JournalFolderGetsItsBackslashTypedOrPicked) {
  Sandbox sandbox;
  const std::string picked = sandbox.Folder("Journaux");
  std::string shownAfterPick;
  BoxRun run = RunBox(library, [&](Box& box) {
    box.ShowPage(ids::kPageJournal);
    box.PickWith(ids::kBrowseLocation, picked);
    // The box fills the field after the picker has gone.
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    while (box.Text(ids::kLocation) == "C:\\" && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    shownAfterPick = box.Text(ids::kLocation);
    box.Ok(IDNO);
  });
  ExpectClean(run);
  EXPECT_EQ(shownAfterPick, picked + "\\");
  EXPECT_EQ(Snapshot().at(Key("Journal") + "|Emplacement du journal"), Sz(picked + "\\"));

  for (const std::string typed : {"E:\\Traces", "E:\\Traces\\"}) {
    BoxRun again = RunBox(library, [&](Box& box) {
      box.SetText(ids::kLocation, typed);
      box.Ok(IDNO);
    });
    ExpectClean(again);
    EXPECT_EQ(Snapshot().at(Key("Journal") + "|Emplacement du journal"), Sz("E:\\Traces\\")) << typed;
  }
}

TEST_F(OptionsBox, ClosingTheWindowIsACancel) {
  Write("", "Premier demarrage", Dword(0));
  const RegSnapshot before = Snapshot();
  BoxRun run = RunBox(library, [](Box& box) {
    ChangeEverything(box);
    PostMessageA(box.Dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 0);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(OptionsBox, OwnerThatIsNoWindowLeavesTheBoxUnowned) {
  HWND owner = nullptr;
  BoxRun run = RunBox(
      library,
      [&](Box& box) {
        owner = GetWindow(box.Dialog, GW_OWNER);
        box.Press(IDCANCEL);
      },
      reinterpret_cast<HWND>(static_cast<INT_PTR>(0x0BADF00D)));
  ExpectClean(run);
  EXPECT_EQ(run.Result, 0);
  EXPECT_EQ(owner, nullptr);
}

OptionsLibrary::Open g_nestedOpen = nullptr;
std::atomic<int> g_nestedResult{-1};
void CALLBACK OpenNested(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  g_nestedResult = g_nestedOpen(nullptr);
}

TEST_F(OptionsBox, SecondBoxWhileOneIsOpenIsRefused) {
  // The second call arrives through the open box's message loop, as a program timer would.
  g_nestedOpen = library.OpenBox;
  g_nestedResult = -1;
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, &OpenNested);
  BoxRun run = RunBox(library, [&](Box& box) {
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    while (g_nestedResult < 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (box.FindOther(kBoxCaption)) box.Problems.push_back("a second box opened");
    box.Press(IDCANCEL);
  });
  KillTimer(nullptr, timer);
  ExpectClean(run);
  EXPECT_EQ(run.Result, 0);
  EXPECT_EQ(g_nestedResult, 0);
}

}  // namespace
}  // namespace puropt_test
