// The options box's model: tree edits, mask rules, the dangerous-mask check, the bytes it
// hands back, and the small parsers of its fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "OptionsModel.h"

namespace pur::options {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// Drive C, folder Temp with "*.tmp" and "*.bak" (recursive), built through the stream.
std::vector<uint8_t> SampleBytes() {
  TPosteDeTravail root;
  auto& drive = root.ChildNode(root.AddChildByName("C"));
  auto& temp = dynamic_cast<TDossier&>(drive.ChildNode(drive.AddChildByName("Temp")));
  temp.GetMasks().Add(std::make_shared<TMasque>("*.tmp", false));
  temp.GetMasks().Add(std::make_shared<TMasque>("*.bak", true));
  return SaveTreeBytes(root);
}

std::string Tabs(int n) { return std::string(static_cast<size_t>(n), '\t'); }

TEST(OptionsModel, TrailingBackslashAddedOnceAndEmptyKept) {
  struct Case {
    std::string in, out;
  } cases[] = {{"C:\\", "C:\\"}, {"D:\\Logs", "D:\\Logs\\"}, {"D:\\Logs\\", "D:\\Logs\\"}, {"", ""},
               {"\\\\srv\\share", "\\\\srv\\share\\"}};
  for (const Case& c : cases) EXPECT_EQ(WithTrailingBackslash(c.in), c.out) << c.in;
}

TEST(OptionsModel, NumbersParsedWithinTheirRange) {
  struct Case {
    const char* text;
    int32_t low, high;
    std::optional<int32_t> expected;
  } cases[] = {
      {"500", 10, 60000, 500},     {" 42 ", 10, 60000, 42},  {"+7", -1, 9, 7},
      {"-1", -32768, 32767, -1},  {"9", 10, 60000, {}},     {"60001", 10, 60000, {}},
      {"", 0, 10, {}},            {"1a", 0, 10, {}},        {"99999999999", 0, INT32_MAX, {}},
      {"2147483647", 0, INT32_MAX, INT32_MAX},              {"- 1", -5, 5, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseNumber(c.text, c.low, c.high), c.expected) << "'" << c.text << "'";
}

// The keep list's field: one entry per line, as the edit control gives it back.
TEST(OptionsModel, KeepListReadLineByLineTrimmedOnceEachAndCheckedInOrder) {
  using P = TKeepEntryProblem;
  const std::string tooLong = "C:\\" + std::string(32767, 'a');
  struct Case {
    std::string text;
    std::vector<std::string> entries;  // when accepted
    P problem;
    std::string refused;
    int line;
  } cases[] = {
      {"", {}, P::None, "", -1},
      {"C:\\Projets\\\r\n*.docx\r\nC:\\Projets\\*.tmp",
       {"C:\\Projets\\", "*.docx", "C:\\Projets\\*.tmp"}, P::None, "", -1},
      {"  *.docx \t\r\n\r\n   \r\n\tC:\\a\\ \r\n", {"*.docx", "C:\\a\\"}, P::None, "", -1},
      {"*.tmp\n\\\\srv\\share\\", {"*.tmp", "\\\\srv\\share\\"}, P::None, "", -1},
      {"c:\\a\\\r\n*.docx\r\nC:\\A\\\r\n*.DOCX\r\n*.docx", {"c:\\a\\", "*.docx"}, P::None, "", -1},
      {"C:\\\xc3\x89t\xc3\xa9\\\r\nC:\\\xc3\xa9t\xc3\xa9\\",  // only ASCII letters fold
       {"C:\\\xc3\x89t\xc3\xa9\\", "C:\\\xc3\xa9t\xc3\xa9\\"}, P::None, "", -1},
      {"*.tmp\r\n C:\\a\\\\b \r\nx|y", {}, P::EmptyPart, "C:\\a\\\\b", 1},
      {"\r\n\r\nC:\\a\\..\\b", {}, P::LeavesFolder, "C:\\a\\..\\b", 2},
      {"a|b", {}, P::BadCharacter, "a|b", 0},
      {"*.tmp\r\nC:\\a:b", {}, P::BadCharacter, "C:\\a:b", 1},
      {"C:", {}, P::EmptyPart, "C:", 0},
      {tooLong, {}, P::TooLong, tooLong, 0},
  };
  for (const Case& c : cases) {
    const TKeepListReading read = ReadKeepList(c.text);
    const std::string shown = "'" + c.text.substr(0, 40) + "'";
    EXPECT_EQ(read.Problem, c.problem) << shown;
    EXPECT_EQ(read.Refused, c.refused) << shown;
    EXPECT_EQ(read.RefusedLine, c.line) << shown;
    if (c.problem == P::None) {
      EXPECT_EQ(read.Entries, c.entries) << shown;
    }
  }
  const std::vector<std::string> stored = {"C:\\Projets\\", "*.docx"};
  EXPECT_EQ(KeepListText(stored), "C:\\Projets\\\r\n*.docx");
  EXPECT_EQ(ReadKeepList(KeepListText(stored)).Entries, stored);
}

TEST(OptionsModel, MaskTextsCheckedBeforeTheyEnterTheTree) {
  struct Case {
    std::string text;
    TMaskProblem problem;
  } cases[] = {
      {"*.tmp", TMaskProblem::None},           {"~*.*", TMaskProblem::None},
      {"Cache\\*.dat", TMaskProblem::None},     {"a b?.log", TMaskProblem::None},
      {"", TMaskProblem::Empty},               {std::string(256, 'a'), TMaskProblem::TooLong},
      {std::string(255, 'a'), TMaskProblem::None},
      {"C:\\*.*", TMaskProblem::BadCharacter}, {"a|b", TMaskProblem::BadCharacter},
      {"x\ty", TMaskProblem::BadCharacter},     {"*\\x.tmp", TMaskProblem::BadCharacter},
      {"\\*.*", TMaskProblem::LeavesFolder},    {"..\\*.*", TMaskProblem::LeavesFolder},
      {"a\\..\\..\\*.*", TMaskProblem::LeavesFolder}, {"a\\.\\b", TMaskProblem::LeavesFolder},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckMaskText(c.text), c.problem) << "'" << c.text.substr(0, 20) << "'";
}

TEST(OptionsModel, MatchAllMasksRecognised) {
  struct Case {
    const char* text;
    bool all;
  } cases[] = {{"*", true},         {"*.*", true},   {"**", true},       {"*.**", true},
               {"sub\\*.*", true},  {"*.", false},   {"*.tmp", false},   {"?*", false},
               {"*.*.bak", false},  {"a*", false},   {"", false},        {".*", false}};
  for (const Case& c : cases) EXPECT_EQ(IsMatchAllMask(c.text), c.all) << c.text;
}

TEST(OptionsModel, FolderPathsParsedIntoDriveAndComponents) {
  auto p = ParseFolderPath("c:\\Users\\Bob\\Temp\\");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Drive, 'C');
  EXPECT_EQ(p->Folders, (std::vector<std::string>{"Users", "Bob", "Temp"}));
  p = ParseFolderPath("D:");
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->Folders.empty());
  for (const char* bad : {"", "Temp", "\\\\srv\\share", "1:\\x", "C:x", "C:\\a\\..\\b", "\\\\?\\C:\\"})
    EXPECT_FALSE(ParseFolderPath(bad)) << bad;
}

TEST(OptionsModel, UnchangedDefinitionGivesBackItsBytes) {
  const std::vector<std::vector<uint8_t>> stored = {
      {}, Bytes({0, 0, 0, 0}), SampleBytes(),
      // a stream the tree would not write back the same way: counts -5 and a flag byte 2
      Bytes({1, 0, 0, 0, 1, 'c', 0xFB, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, '*', 2}),
      // bytes after the computer record
      Bytes({0, 0, 0, 0, 9, 9})};
  for (const auto& bytes : stored) {
    TSearchDefinition definition(bytes);
    EXPECT_FALSE(definition.Changed());
    EXPECT_EQ(definition.Bytes(), bytes);
  }
}

TEST(OptionsModel, FolderAddedAtItsPlaceWithIntermediateFolders) {
  TSearchDefinition definition(SampleBytes());
  TDossier* cache = definition.AddFolder("c:\\TEMP\\Cache\\Deep");
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->GetPath(), "C:\\Temp\\Cache\\Deep\\");
  TDossier* other = definition.AddFolder("D:\\Data");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(definition.AddFolder("d:\\data\\"), other);  // found again, not added twice
  EXPECT_EQ(definition.AddFolder("relative\\x"), nullptr);
  EXPECT_EQ(definition.AddDrive('7'), nullptr);
  EXPECT_EQ(definition.AddDrive('d'), definition.Find("D:\\"));

  const std::string expected = "<Poste de travail>\n" + Tabs(1) + "C:\\\n" + Tabs(2) +
                               "C:\\Temp\\\n" + Tabs(3) + "C:\\Temp\\Cache\\\n" + Tabs(4) +
                               "C:\\Temp\\Cache\\Deep\\\n" + Tabs(2) + "*.tmp\n*.bak - [Recursif]\n" +
                               // the mask lines end in a line feed, and the next node starts with one
                               "\n" + Tabs(1) + "D:\\\n" + Tabs(2) + "D:\\Data\\";
  EXPECT_EQ(definition.Text(), expected);
  EXPECT_TRUE(definition.Changed());

  // What is saved loads back as the same tree.
  TSearchDefinition reloaded(definition.Bytes());
  EXPECT_EQ(reloaded.Text(), expected);
  EXPECT_EQ(reloaded.Bytes(), definition.Bytes());
}

TEST(OptionsModel, TooDeepFolderRefused) {
  std::string path = "C:";
  for (int i = 0; i < kMaxTreeDepth; ++i) path += "\\f";
  TSearchDefinition definition({});
  EXPECT_EQ(definition.AddFolder(path), nullptr);
}

TEST(OptionsModel, RemovingNodesTakesTheirSubtreeAndKeepsTheComputer) {
  TSearchDefinition definition(SampleBytes());
  definition.AddFolder("C:\\Temp\\A\\B");
  definition.AddFolder("E:\\X");
  EXPECT_FALSE(definition.Remove(&definition.Root()));
  EXPECT_TRUE(definition.Remove(definition.Find("c:\\temp\\a\\")));
  EXPECT_EQ(definition.Find("C:\\Temp\\A\\B\\"), nullptr);
  EXPECT_NE(definition.Find("C:\\Temp\\"), nullptr);
  EXPECT_TRUE(definition.Remove(definition.Find("E:\\")));
  EXPECT_EQ(definition.Root().Count(), 1);
  EXPECT_FALSE(definition.Remove(nullptr));
  // Back to what was stored: the same bytes, so nothing to save.
  EXPECT_EQ(definition.Bytes(), SampleBytes());
  EXPECT_FALSE(definition.Changed());
}

TEST(OptionsModel, EmptiedNewDefinitionStaysEmpty) {
  TSearchDefinition definition({});
  definition.AddFolder("C:\\x");
  EXPECT_TRUE(definition.Changed());
  definition.Remove(definition.Find("C:\\"));
  EXPECT_TRUE(definition.Bytes().empty());
  EXPECT_FALSE(definition.Changed());
}

TEST(OptionsModel, DefinitionEmptiedByEditsSavesAsNone) {
  TSearchDefinition definition(SampleBytes());
  EXPECT_TRUE(definition.Remove(definition.Find("C:\\")));
  EXPECT_TRUE(definition.Bytes().empty());
  EXPECT_TRUE(definition.Changed());
}

TEST(OptionsModel, MaskEditsKeepOrderRefuseDuplicatesAndBadTexts) {
  TSearchDefinition definition(SampleBytes());
  auto* temp = dynamic_cast<TDossier*>(definition.Find("C:\\Temp\\"));
  ASSERT_NE(temp, nullptr);
  TMaskProblem why = TMaskProblem::None;
  EXPECT_EQ(definition.AddMask(*temp, "~*.*", true), TMaskEdit::Done);
  EXPECT_EQ(definition.AddMask(*temp, "*.TMP", false), TMaskEdit::Duplicate);
  EXPECT_EQ(definition.AddMask(*temp, "..\\*.*", false, &why), TMaskEdit::Refused);
  EXPECT_EQ(why, TMaskProblem::LeavesFolder);
  EXPECT_EQ(definition.EditMask(*temp, 0, "*.old", true), TMaskEdit::Done);
  EXPECT_EQ(definition.EditMask(*temp, 0, "*.BAK", false), TMaskEdit::Duplicate);
  EXPECT_EQ(definition.EditMask(*temp, 1, "*.bak", false), TMaskEdit::Done);  // itself, other case of flag
  EXPECT_EQ(definition.EditMask(*temp, 3, "*.x", false), TMaskEdit::NoPlace);
  EXPECT_EQ(definition.EditMask(*temp, 0, "", false, &why), TMaskEdit::Refused);
  EXPECT_EQ(why, TMaskProblem::Empty);
  EXPECT_EQ(temp->GetMasks().ToText(), "*.old - [Recursif]\n*.bak\n~*.* - [Recursif]\n");
  EXPECT_EQ(definition.RemoveMask(*temp, 1), TMaskEdit::Done);
  EXPECT_EQ(definition.RemoveMask(*temp, 5), TMaskEdit::NoPlace);
  EXPECT_EQ(temp->GetMasks().ToText(), "*.old - [Recursif]\n~*.* - [Recursif]\n");
}

TEST(OptionsModel, EditingASharedMaskLeavesTheOtherListAlone) {
  TSearchDefinition definition(SampleBytes());
  auto* temp = dynamic_cast<TDossier*>(definition.Find("C:\\Temp\\"));
  TMasqueList other;
  other.Assign(temp->GetMasks());
  definition.EditMask(*temp, 0, "*.new", true);
  EXPECT_EQ(other.ToText(), "*.tmp\n*.bak - [Recursif]\n");
}

TEST(OptionsModel, DangerousMasksFoundOnRootsAndProtectedFolders) {
  // The system's rule compares folders on disk; this one stands in for it with names only.
  const std::vector<std::string> protectedFolders = {"C:\\WINDOWS\\", "C:\\USERS\\BOB\\",
                                                     "C:\\PROGRAM FILES\\"};
  auto holdsProtected = [&](const std::string& place) {
    std::string folder = place;
    for (char& c : folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (folder.back() != '\\') folder += '\\';
    return std::any_of(protectedFolders.begin(), protectedFolders.end(),
                       [&](const std::string& p) { return p.rfind(folder, 0) == 0; });
  };
  struct Case {
    const char* folder;
    const char* mask;
    bool recursive;
    bool dangerous;
  } cases[] = {
      {"C:\\", "*.*", true, true},
      {"C:\\", "*.*", false, false},
      {"D:\\", "*", true, true},
      {"C:\\", "*.tmp", true, false},
      {"C:\\Windows", "*.*", true, true},
      {"C:\\WINDOWS\\", "**", true, true},
      {"C:\\Users", "*.*", true, true},          // holds a profile
      {"C:\\Users\\Bob", "*", true, true},
      {"C:\\Users\\Bob\\AppData\\Local\\Temp", "*.*", true, false},
      {"C:\\Program Files", "*.*", true, true},
      {"C:\\Program Files (x86)", "*.*", true, false},
      {"C:\\Windows\\Temp", "*.*", true, false},
      {"C:\\Windows", "*.log", true, false},
      {"C:\\Win", "*.*", true, false},            // a prefix of a name is not an ancestor
  };
  for (const Case& c : cases) {
    TSearchDefinition definition({});
    TDossier* place = definition.AddFolder(c.folder);
    ASSERT_NE(place, nullptr) << c.folder;
    definition.AddMask(*place, c.mask, c.recursive);
    const auto found = definition.FindDangerous(holdsProtected);
    EXPECT_EQ(!found.empty(), c.dangerous) << c.folder << " " << c.mask;
    if (!found.empty()) {
      EXPECT_EQ(found[0].Path, place->GetPath());
      EXPECT_EQ(found[0].Mask, c.mask);
    }
  }
}

// Every value of the box other than its default (the policies aside).
TOptionsValues AllChanged() {
  TOptionsValues v;
  v.Display = {true, false, 250, 10, -5};
  v.Cleaning = {false, false, false, false, false, true, 0, 14, {"*.docx"}};
  v.Journal = {false, false, 1, "D:\\Logs\\"};
  v.Service = {false, 2, 30, 100 * kBytesPerMiB, true};
  v.PersonalSearch = SampleBytes();
  return v;
}

// An enforced setting goes back to what the box showed, every other one stays as edited;
// the Boolean "Recherche personnelle" of Nettoyage is not the search of Personnel.
TEST(OptionsModel, EnforcedSettingsCarriedBackOthersKeptAsEdited) {
  const struct Case {
    std::vector<std::string> enforced;
    std::function<void(TOptionsValues&)> expect;  // applied to the edited values
  } cases[] = {
      {{}, [](TOptionsValues&) {}},
      {{"Nettoyage\\Tester"}, [](TOptionsValues& v) { v.Cleaning.TestMode = false; }},
      {{"Nettoyage\\Recherche personnelle"}, [](TOptionsValues& v) { v.Cleaning.RunPersonalSearch = true; }},
      {{"Personnel\\Recherche personnelle"}, [](TOptionsValues& v) { v.PersonalSearch.clear(); }},
      {{"Journal\\Evenements", "Service\\Quand moins de "},
       [](TOptionsValues& v) {
         v.Journal.Events = TJournalSettings().Events;
         v.Service.FreeSpaceThreshold = TServiceSettings().FreeSpaceThreshold;
       }},
      {{"Nettoyage\\Toujours garder", "Affichage\\Position en Y"},
       [](TOptionsValues& v) {
         v.Cleaning.KeepList.clear();
         v.Display.PosY = TDisplaySettings::kCentred;
       }},
      {{"Service\\Tester", "Nettoyage\\tester"}, [](TOptionsValues&) {}},  // names are exact
  };
  for (const Case& c : cases) {
    TOptionsValues shown;
    shown.Policies.Enforced = c.enforced;
    TOptionsValues edited = AllChanged();
    TOptionsValues expected = edited;
    c.expect(expected);
    KeepEnforced(shown, edited);
    EXPECT_TRUE(edited == expected) << testing::PrintToString(c.enforced);
  }
}

// Each setting of the table carries its own value: all of them enforced give back the
// values shown, whole; each one alone changes something; none is listed twice.
TEST(OptionsModel, ShownSettingsCoverEveryValueOnce) {
  TOptionsValues shown;
  std::vector<std::string> all;
  for (const TShownSetting& setting : ShownSettings()) {
    const std::string key = std::string(setting.Section) + "\\" + setting.Name;
    EXPECT_EQ(std::count(all.begin(), all.end(), key), 0) << key;
    all.push_back(key);
    EXPECT_FALSE(setting.Controls.empty()) << key;
    TOptionsValues one;
    one.Policies.Enforced = {key};
    TOptionsValues edited = AllChanged();
    KeepEnforced(one, edited);
    EXPECT_FALSE(edited == AllChanged()) << key << " carries nothing";
  }
  shown.Policies.Enforced = all;
  TOptionsValues edited = AllChanged();
  edited.Policies = shown.Policies;
  KeepEnforced(shown, edited);
  EXPECT_TRUE(edited.Service.AutomaticConsent) << "the user's consent is never a policy";
  edited.Service.AutomaticConsent = shown.Service.AutomaticConsent;
  EXPECT_TRUE(edited == shown);
}

}  // namespace
}  // namespace pur::options
