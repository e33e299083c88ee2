// The personal search as the box defines it: places added with the real folder picker,
// masks added, edited and removed, the definition saved and then run by the real
// purSearch.dll over a sandbox; and the warning before a mask that would take everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "CommaText.h"
#include "OptionsBoxDriver.h"
#include "OptionsModel.h"
#include "PurApi.h"
#include "TreeStreamWriter.h"

namespace puropt_test {
namespace {


std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::vector<uint8_t> StoredDefinition() {
  const RegSnapshot stored = Snapshot();
  auto found = stored.find(Key("Personnel") + "|Recherche personnelle");
  if (found == stored.end() || found->second.type != REG_BINARY) return {};
  return found->second.data;
}

void SelectMask(const Box& box, int index) {
  HWND list = box.Item(ids::kMasks);
  SendMessageA(list, LB_SETCURSEL, index, 0);
  SendMessageA(box.Dialog, WM_COMMAND, MAKEWPARAM(ids::kMasks, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// Confirmed settings with cleaning type 0, so that OK asks nothing about automatic cleaning.
void StoreWithoutAutomaticCleaning() {
  Write("", "Premier demarrage", Dword(0));
  Write("Service", "Type de nettoyage", Dword(0));
}

class OptionsSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveProductKeys();
    StoreWithoutAutomaticCleaning();
    ASSERT_TRUE(library.OpenBox);
  }
  void TearDown() override { RemoveProductKeys(); }
  void ExpectClean(const BoxRun& run) {
    EXPECT_TRUE(run.Shown);
    EXPECT_FALSE(run.ClosedByWatchdog);
    for (const std::string& problem : run.Problems) ADD_FAILURE() << problem;
  }
  OptionsLibrary library;
};

TEST_F(OptionsSearch, TreeBuiltInTheBoxGivesTheIntendedSearch) {
  Sandbox sandbox;
  sandbox.Folder("sub");
  sandbox.Folder("sub\\deeper");
  sandbox.Folder("other");
  sandbox.Folder("other\\inner");
  for (const char* file : {"a.tmp", "b.bak", "keep.txt", "sub\\c.bak", "sub\\d.tmp", "sub\\deeper\\e.bak",
                           "other\\x1.dat", "other\\y.dat", "other\\inner\\x2.dat"})
    sandbox.File(file);

  std::string shownText;
  std::vector<std::string> sandboxMasks, afterEdit;
  bool deeperGone = false;
  BoxRun run = RunBox(library, [&](Box& box) {
    box.ShowPage(ids::kPageSearch);
    box.AddFolderWithPicker(sandbox.Path);  // the new folder is selected
    box.AddMask("*.tmp", false);
    box.AddMask("*.bak", true);
    box.AddMask("*.old", false);
    SelectMask(box, 2);
    box.SetText(ids::kMaskText, "*.log");
    box.Click(ids::kEditMask);
    afterEdit = box.MaskLines();
    SelectMask(box, 2);
    box.Click(ids::kRemoveMask);
    sandboxMasks = box.MaskLines();

    box.AddFolderWithPicker(sandbox.Path + "\\other");
    box.AddMask("x*.dat", false);
    box.AddFolderWithPicker(sandbox.Path + "\\sub\\deeper");
    box.Click(ids::kRemoveNode);  // the selected, just added folder
    deeperGone = box.Text(ids::kDefinitionText).find("deeper") == std::string::npos;
    shownText = box.Text(ids::kDefinitionText);
    box.Press(IDOK);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  EXPECT_EQ(afterEdit, (std::vector<std::string>{"*.tmp", "*.bak - [Recursif]", "*.log"}));
  EXPECT_EQ(sandboxMasks, (std::vector<std::string>{"*.tmp", "*.bak - [Recursif]"}));
  EXPECT_TRUE(deeperGone) << shownText;

  const std::vector<uint8_t> bytes = StoredDefinition();
  ASSERT_FALSE(bytes.empty());
  // What the box showed is the text form of what it saved.
  pur::options::TSearchDefinition saved(bytes);
  EXPECT_EQ(shownText, WithCrLf(saved.Text()));
  const std::string sandboxLine = "\t" + sandbox.Path + "\\\r\n";
  EXPECT_NE(Lower(shownText).find(Lower(sandbox.Path + "\\\r\n")), std::string::npos) << shownText;
  EXPECT_NE(shownText.find("*.tmp\r\n*.bak - [Recursif]\r\n"), std::string::npos) << shownText;

  purtest::PurApi api;
  ASSERT_EQ(api.Load(), "");
  api.InitLibrarie("PUR400-opt", "Purgo (options test)", "");
  ASSERT_EQ(api.InitPersoTree(bytes.data(), static_cast<int32_t>(bytes.size())), 1);
  api.CleanWindows(pur::kCleanPersoSearch);
  std::set<std::string> found;
  for (const std::string& file : pur::ReadCommaText(api.List(1))) found.insert(Lower(file));
  const std::string otherLists = api.List(2) + " | " + api.List(3);
  api.FreeLibrarie();
  std::set<std::string> expected;
  for (const char* file : {"a.tmp", "b.bak", "sub\\c.bak", "sub\\deeper\\e.bak", "other\\x1.dat"})
    expected.insert(Lower(sandbox.Path + "\\" + file));
  EXPECT_EQ(found, expected) << "definition:\n" << shownText << "\nlists 2 and 3: " << otherLists;
}

TEST_F(OptionsSearch, DefinitionStoredInCp1252IsShownAndSearchedAsMeant) {
  // Written by the 1252 program: folder "Données" and mask "é*.tmp" in 1252 bytes.
  Sandbox sandbox;
  sandbox.Folder("Données");
  for (const char* file : {"Données\\été.tmp", "Données\\ete.tmp", "Données\\Éclair.tmp", "Données\\x.txt"})
    sandbox.File(file);
  const std::string old = purtest::TreeStreamFor(sandbox.Path + "\\Donn\xE9" "es\\", {{"\xE9*.tmp", false}});
  const std::vector<uint8_t> oldBytes(old.begin(), old.end());
  Write("Personnel", "Recherche personnelle", Binary(oldBytes));

  std::string shownText;
  BoxRun run = RunBox(library, [&](Box& box) {
    box.ShowPage(ids::kPageSearch);
    shownText = box.Text(ids::kDefinitionText);
    box.Press(IDOK);
  });
  ExpectClean(run);
  EXPECT_NE(shownText.find(sandbox.Path + "\\Données\\\r\n"), std::string::npos) << shownText;
  EXPECT_NE(shownText.find("é*.tmp\r\n"), std::string::npos) << shownText;
  EXPECT_EQ(StoredDefinition(), oldBytes) << "an unedited definition is saved back as it came";

  purtest::PurApi api;
  ASSERT_EQ(api.Load(), "");
  api.InitLibrarie("PUR400-opt", "Purgo (options test)", "");
  ASSERT_EQ(api.InitPersoTree(oldBytes.data(), static_cast<int32_t>(oldBytes.size())), 1);
  api.CleanWindows(pur::kCleanPersoSearch);
  std::set<std::string> found;
  for (const std::string& file : pur::ReadCommaText(api.List(1))) found.insert(file);
  api.FreeLibrarie();
  // Found by character: "é*" takes "été" and, folded, "Éclair"; never "ete".
  EXPECT_EQ(found, (std::set<std::string>{sandbox.Path + "\\Données\\été.tmp",
                                          sandbox.Path + "\\Données\\Éclair.tmp"}));
}

TEST_F(OptionsSearch, RefusedMasksAreExplainedAndLeaveTheListAlone) {
  struct Case {
    std::string text;
    std::string said;
  } cases[] = {
      {"..\\*.*", "ne peut pas sortir du lieu"},
      {"\\*.tmp", "ne peut pas sortir du lieu"},
      {"C:\\x.tmp", "caractère interdit"},
      {"*.TMP", "existe déjà"},
      {"", "est vide"},
  };
  std::vector<std::string> said;
  std::vector<std::string> masks;
  BoxRun run = RunBox(library, [&](Box& box) {
    box.ShowPage(ids::kPageSearch);
    SendMessageA(box.Item(ids::kDrives), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("C:\\"));
    box.Click(ids::kAddDrive);
    box.AddMask("*.tmp", false);
    for (const Case& c : cases) {
      box.SetText(ids::kMaskText, c.text);
      box.Press(ids::kAddMask);
      HWND message = box.WaitOther(kBoxCaption);
      if (!message) return;
      said.push_back(Box::MessageOf(message));
      Box::Answer(message, IDOK);
      box.WaitGone(message);
    }
    masks = box.MaskLines();
    box.Press(IDCANCEL);
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 0);
  ASSERT_EQ(said.size(), std::size(cases));
  for (size_t i = 0; i < said.size(); ++i) EXPECT_NE(said[i].find(cases[i].said), std::string::npos) << said[i];
  EXPECT_EQ(masks, std::vector<std::string>{"*.tmp"});
  EXPECT_TRUE(StoredDefinition().empty());
}

// The places a recursive match-all mask must not take without two confirmations.
std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

TEST_F(OptionsSearch, MatchAllMaskOnADriveRootNeedsTwoConfirmations) {
  std::vector<std::string> warnings;
  bool openAfterFirstNo = false, openAfterSecondNo = false;
  std::vector<uint8_t> storedAfterNo = {1};
  BoxRun run = RunBox(library, [&](Box& box) {
    box.ShowPage(ids::kPageSearch);
    SendMessageA(box.Item(ids::kDrives), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("C:\\"));
    box.Click(ids::kAddDrive);
    box.AddMask("*.*", true);
    // No at the first question: nothing is saved and the box stays.
    box.Press(IDOK);
    HWND warning = box.WaitOther(kDangerCaption);
    if (!warning) return;
    warnings.push_back(Box::MessageOf(warning));
    Box::Answer(warning, IDNO);
    box.WaitGone(warning);
    openAfterFirstNo = IsWindow(box.Dialog) && !box.FindOther(kDangerCaption);
    storedAfterNo = StoredDefinition();
    // Yes, then no at the second question: still nothing.
    box.Press(IDOK);
    warning = box.WaitOther(kDangerCaption);
    if (!warning) return;
    Box::Answer(warning, IDYES);
    box.WaitGone(warning);
    warning = box.WaitOther(kDangerCaption);
    if (!warning) return;
    warnings.push_back(Box::MessageOf(warning));
    Box::Answer(warning, IDNO);
    box.WaitGone(warning);
    openAfterSecondNo = IsWindow(box.Dialog) != FALSE;
    // Yes twice: saved.
    box.Press(IDOK);
    for (int question = 0; question < 2; ++question) {
      warning = box.WaitOther(kDangerCaption);
      if (!warning) return;
      Box::Answer(warning, IDYES);
      box.WaitGone(warning);
    }
  });
  ExpectClean(run);
  EXPECT_EQ(run.Result, 1);
  EXPECT_TRUE(openAfterFirstNo);
  EXPECT_TRUE(openAfterSecondNo);
  EXPECT_TRUE(storedAfterNo.empty());
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("C:\\  *.*"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find("Dernière confirmation"), std::string::npos) << warnings[1];
  const std::vector<uint8_t> driveCAll = {1, 0, 0, 0, 1, 'C', 0, 0, 0, 0, 1, 0, 0, 0, 3, '*', '.', '*', 1};
  EXPECT_EQ(StoredDefinition(), driveCAll);
}

TEST_F(OptionsSearch, MatchAllMaskWarnedOnSystemFoldersOnly) {
  Sandbox sandbox;
  struct Case {
    std::string folder;
    std::string mask;
    bool recursive;
    bool warned;
  } cases[] = {
      {ShellFolder(CSIDL_WINDOWS), "*.*", true, true},
      {ShellFolder(CSIDL_PROFILE), "*", true, true},
      {ShellFolder(CSIDL_PROGRAM_FILES), "*.*", true, true},
      {sandbox.Path, "*.*", true, false},
      {ShellFolder(CSIDL_WINDOWS), "*.*", false, false},
      {ShellFolder(CSIDL_WINDOWS), "*.tmp", true, false},
  };
  for (const Case& c : cases) {
    RemoveProductKeys();
    StoreWithoutAutomaticCleaning();
    bool warned = false;
    BoxRun run = RunBox(library, [&](Box& box) {
      box.ShowPage(ids::kPageSearch);
      box.AddFolderWithPicker(c.folder);
      box.AddMask(c.mask, c.recursive);
      box.Press(IDOK);
      // Either the box closes, or the warning shows: then refuse and cancel.
      const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
      while (IsWindow(box.Dialog) && std::chrono::steady_clock::now() < deadline) {
        if (HWND warning = box.FindOther(kDangerCaption)) {
          warned = true;
          Box::Answer(warning, IDNO);
          box.WaitGone(warning);
          box.Press(IDCANCEL);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    ExpectClean(run);
    EXPECT_EQ(warned, c.warned) << c.folder << " " << c.mask;
    EXPECT_EQ(run.Result, c.warned ? 0 : 1) << c.folder;
    EXPECT_EQ(StoredDefinition().empty(), c.warned) << c.folder;
  }
}

}  // namespace
}  // namespace puropt_test
