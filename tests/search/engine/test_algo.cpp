// Masks, the tree of places, its stream and its text form. Built for the host (ASan/UBSan)
// and for Windows (texts then come from the string table).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <typeinfo>

#include "Algo.h"
#include "PathList.h"

namespace pur {
namespace {

// Builds tree-stream bytes.
struct Bytes {
  std::vector<uint8_t> data;
  Bytes& I32(int32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    return *this;
  }
  Bytes& Str(const std::string& s) {
    data.push_back(uint8_t(s.size()));
    data.insert(data.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& Byte(uint8_t b) {
    data.push_back(b);
    return *this;
  }
  Bytes& Mask(const std::string& text, uint8_t flag) { return Str(text).Byte(flag); }
};

std::unique_ptr<TPosteDeTravail> Load(const std::vector<uint8_t>& bytes) {
  auto tree = std::make_unique<TPosteDeTravail>(kComputerCapacity);
  TMemoryStream stream(bytes);
  tree->LoadFromStream(stream);
  return tree;
}

TDossier& Folder(IArborescense* node) { return dynamic_cast<TDossier&>(*node); }

// A computer with drive C, folder Temp (masks *.tmp, *.bak recursive) and drive D / Data.
std::vector<uint8_t> SampleStream() {
  Bytes b;
  b.I32(2);
  b.Str("C").I32(1);
  b.Str("Temp").I32(0).I32(2).Mask("*.tmp", 0).Mask("*.bak", 1);
  b.I32(1).Mask("~*.*", 1);
  b.Str("D").I32(1);
  b.Str("Data").I32(0).I32(0);
  b.I32(0);
  return b.data;
}

// Masks

TEST(Masque, TextForms) {
  struct Case {
    std::string text;
    bool recursive;
    std::string expected;
  } cases[] = {
      {"~*.*", false, "~*.*"},
      {"~*.*", true, "~*.* - [Recursif]"},
      {"*.bak", true, "*.bak - [Recursif]"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TMasque(c.text, c.recursive).ToText(), c.expected) << c.text;
  }
}

TEST(Masque, StreamRecords) {
  struct Case {
    std::string text;
    bool recursive;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"", false, {0, 0}},
      {"", true, {0, 1}},
      {"*.tmp", true, {5, '*', '.', 't', 'm', 'p', 1}},
  };
  for (const Case& c : cases) {
    TMemoryStream out;
    TMasque(c.text, c.recursive).SaveToStream(out);
    EXPECT_EQ(out.Bytes(), c.bytes) << c.text;
    TMemoryStream in(c.bytes);
    TMasque loaded;
    ASSERT_TRUE(loaded.LoadFromStream(in));
    EXPECT_EQ(loaded.Text, c.text);
    EXPECT_EQ(loaded.Recursive, c.recursive);
  }
}

TEST(Masque, LongTextIsCutAndFlagTwoIsTrue) {
  TMemoryStream out;
  TMasque(std::string(300, 'x'), false).SaveToStream(out);
  ASSERT_EQ(out.Size(), 257u);
  EXPECT_EQ(out.Bytes()[0], 255);
  TMemoryStream in(out.Bytes());
  TMasque loaded;
  ASSERT_TRUE(loaded.LoadFromStream(in));
  EXPECT_EQ(loaded.Text, std::string(255, 'x'));

  TMemoryStream two(std::vector<uint8_t>{1, 'a', 2});
  ASSERT_TRUE(loaded.LoadFromStream(two));
  EXPECT_TRUE(loaded.Recursive);
}

TEST(Masque, RecordCutShortLeavesMaskUnchanged) {
  for (std::vector<uint8_t> bytes : {std::vector<uint8_t>{}, {3, 'a', 'b'}, {2, 'a', 'b'}}) {
    TMemoryStream in(bytes);
    TMasque mask("keep", true);
    EXPECT_FALSE(mask.LoadFromStream(in)) << bytes.size();
    EXPECT_EQ(mask.Text, "keep");
    EXPECT_TRUE(mask.Recursive);
  }
}

TEST(Masque, CloneIsIndependent) {
  TMasque mask("*.tmp", true);
  MaskRef copy = mask.Clone();
  copy->Text = "*.bak";
  EXPECT_EQ(mask.Text, "*.tmp");
  EXPECT_TRUE(copy->Recursive);
}

TEST(MasqueList, IndexOfFoldsAsciiOnly) {
  TMasqueList list;
  list.Add(std::make_shared<TMasque>("*.tmp"));
  list.Add(std::make_shared<TMasque>("TËmp"));
  struct Case {
    std::string text;
    bool recursive;
    int expected;
  } cases[] = {
      {"*.TMP", false, 0}, {"*.tmp ", false, -1}, {"*.tmp", true, 0},
      {"TËMP", false, 1}, {"tëmp", false, -1}, {"", false, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list.IndexOf(TMasque(c.text, c.recursive)), c.expected) << c.text;
  }
}

TEST(MasqueList, DuplicatesKeptFirstFound) {
  TMasqueList list;
  EXPECT_EQ(list.Add(std::make_shared<TMasque>("*.tmp")), 0);
  EXPECT_EQ(list.Add(std::make_shared<TMasque>("*.TMP")), 1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(TMasque("*.TMP")), 0);
  EXPECT_THROW(list.GetItem(2), std::out_of_range);
  EXPECT_THROW(list.GetItem(-1), std::out_of_range);
}

TEST(MasqueList, TextForm) {
  TMasqueList list;
  EXPECT_EQ(list.ToText(), "");
  list.Add(std::make_shared<TMasque>("*.tmp", false));
  list.Add(std::make_shared<TMasque>("*.bak", true));
  EXPECT_EQ(list.ToText(), "*.tmp\n*.bak - [Recursif]\n");
}

TEST(MasqueList, AssignSharesMasks) {
  TMasqueList first, second;
  first.Add(std::make_shared<TMasque>("~*.*"));
  second.Add(std::make_shared<TMasque>("old"));
  second.Assign(first);  // appends
  ASSERT_EQ(second.Count(), 2);
  EXPECT_EQ(second.GetItem(1).get(), first.GetItem(0).get());
  second.GetItem(1)->Recursive = true;
  EXPECT_EQ(first.ToText(), "~*.* - [Recursif]\n");

  std::weak_ptr<TMasque> watch = first.GetItem(0);
  first.Clear();
  EXPECT_FALSE(watch.expired());  // still held by the second list
  second.Clear();
  EXPECT_TRUE(watch.expired());

  TMasqueList self;
  self.Add(std::make_shared<TMasque>("a"));
  self.Assign(self);  // doubles once, never loops
  EXPECT_EQ(self.Count(), 2);
}

// Wildcards

TEST(Wildcard, LongNameMatches) {
  struct Case {
    const char* name;
    const char* pattern;
    bool expected;
  } cases[] = {
      {"a.tmp", "*.tmp", true},       {"A.TMP", "*.tmp", true},       {"notes.tmpl", "*.tmp", false},
      {"page.html", "*.htm", false},  {"index.htm", "*.htm", true},   {"a.b.tmp", "*.tmp", true},
      {"x.tmp.bak", "*.tmp", false},  {"abc", "*.*", true},           {"a.b", "*.*", true},
      {"abc", "abc.*", true},         {"abc.d", "abc.*", true},       {"abcd", "abc.*", false},
      {"~x.doc", "~*.*", true},       {"x~1.tmp", "~*.*", false},     {"ab", "a?", true},
      {"a", "a?", true},              {"abcbc", "a*bc", true},        {"abcb", "a*bc", false},
      {"anything", "*", true},        {"abc", "", false},             {"DÉJÀ.TMP", "déjà.tmp", true},
      {"xtmp", "*.tmp", false},       {"a.tmp", "a.tmp", true},
      // UTF-8 names: '?' is one character, letters fold by character.
      {"é.tmp", "?.tmp", true},       {"日.tmp", "?.tmp", true},      {"日本.tmp", "?.tmp", false},
      {"été.txt", "*ÉTÉ*", true},     {"złoty.tmp", "z?oty.tmp", true}, {"ZŁOTY.TMP", "złoty.tmp", true},
      {"zloty.tmp", "złoty.tmp", false}, {"ΣΟΦΙΑ.tmp", "σοφια.*", true}, {"ПРИВЕТ.doc", "привет.doc", true},
      {"Ÿ.txt", "ÿ.txt", true},       {"😀.tmp", "?.tmp", true},      {"éé", "é*é", true},
      // Bytes that are not UTF-8 (a caller in code page 1252): one byte a character.
      {"D\xC9J\xC0.TMP", "d\xe9j\xe0.tmp", true}, {"\x8A", "\x9A", true}, {"\xE9.tmp", "?.tmp", true},
      {"\xE9t\xE9.txt", "*\xC9T\xC9*", true}, {"\xE9.tmp", "é.tmp", false},
      // The system's rules at the edges (Wine's listing differs: "*." lists every name, "a?"
      // leaves out "a").
      {"README", "*.", true},         {"a.txt", "*.", false},         {".profile", "*.", false},
      {"a", "a?", true},              {"ab", "a?", true},             {"abc", "a?", false},
      {"a.txt", "a?.txt", true},      {"ab.txt", "a?.txt", true},     {"abc.txt", "a??.txt", true},
      {"a.txt", "a??.txt", true},     {"a.t", "a.?", true},           {"a.", "a.?", true},
      {"a.tmp", "*.tmp ", true},      {"a.tmp", "*.tmp  ", true},     {"abc", "abc.", true},
      {"abc", "abc..", true},         {"abc.d", "abc.", false},       {"x.y.z", "*.z", true},
      {"x.y.z", "*.y", false},        {"abc", "", false},             {"abc", "   ", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.expected) << c.name << " / " << c.pattern;
  }
}

TEST(Wildcard, PatternParts) {
  struct Case {
    const char* pattern;
    const char* folder;
    const char* name;
  } cases[] = {
      {"C:\\Temp\\*.tmp", "C:\\Temp\\", "*.tmp"},
      {"C:\\Temp\\Cache\\*.dat", "C:\\Temp\\Cache\\", "*.dat"},
      {"C:\\Temp\\Cache/*.dat", "C:\\Temp\\Cache/", "*.dat"},
      {"C:*.tmp", "C:", "*.tmp"},
      {"*.tmp", "", "*.tmp"},
      {"C:\\Temp\\", "C:\\Temp\\", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PatternFolderPart(c.pattern), c.folder) << c.pattern;
    EXPECT_EQ(PatternNamePart(c.pattern), c.name) << c.pattern;
  }
}

// Tree

TEST(Tree, NamesPathsLevelsKinds) {
  TPosteDeTravail computer;
  IArborescense& drive = *computer.GetChild(computer.AddChildByName("c:\\data"));
  IArborescense& temp = *drive.GetChild(drive.AddChildByName("Temp"));
  IArborescense& sub = *temp.GetChild(temp.AddChildByName("Sub dir"));
  struct Case {
    IArborescense* node;
    std::string name, path;
    int level, kind;
  } cases[] = {
      {&computer, "Poste de travail", "<Poste de travail>", 0, kKindComputer},
      {&drive, "C", "C:\\", 1, kKindDrive},
      {&temp, "Temp", "C:\\Temp\\", 2, kKindFolder},
      {&sub, "Sub dir", "C:\\Temp\\Sub dir\\", 3, kKindFolder},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.node->GetName(), c.name);
    EXPECT_EQ(c.node->GetPath(), c.path);
    EXPECT_EQ(c.node->GetLevel(), c.level) << c.name;
    EXPECT_EQ(c.node->GetKind(), c.kind) << c.name;
  }
  EXPECT_EQ(temp.GetParent(), &drive);
  EXPECT_EQ(computer.GetParent(), nullptr);
}

TEST(Tree, DriveNamingRule) {
  struct Case {
    std::string given, expected;
  } cases[] = {{"c:\\data", "C"}, {"D", "D"}, {"z", "Z"}, {"1abc", ""}, {"", ""}, {"été", ""}};
  for (const Case& c : cases) {
    TPosteDeTravail computer;
    IArborescense* drive = computer.GetChild(computer.AddChildByName(c.given));
    EXPECT_EQ(drive->GetName(), c.expected) << c.given;
    EXPECT_EQ(drive->GetPath(), c.expected + ":\\");
  }
  TPosteDeTravail computer;
  IArborescense* drive = computer.GetChild(computer.AddChildByName("C"));
  drive->SetName("e");
  EXPECT_EQ(drive->GetName(), "E");
  drive->SetName("9");
  EXPECT_EQ(drive->GetName(), "E");
}

TEST(Tree, ComputerIgnoresNameAndParent) {
  TPosteDeTravail computer, other;
  computer.SetName("X");
  computer.SetParent(&other);
  EXPECT_EQ(computer.GetName(), "Poste de travail");
  EXPECT_EQ(computer.StoredName(), "");
  EXPECT_EQ(computer.GetParent(), nullptr);
  EXPECT_EQ(computer.GetLevel(), 0);
}

TEST(Tree, ComputerRefusesFolders) {
  TPosteDeTravail computer;
  std::unique_ptr<TArborescense> folder = std::make_unique<TDossier>("F", 4, nullptr);
  EXPECT_EQ(computer.AddChild(folder), -1);
  ASSERT_NE(folder, nullptr);  // still the caller's
  EXPECT_EQ(computer.Count(), 0);
  std::unique_ptr<TArborescense> drive = std::make_unique<TDisque>("q", 4, nullptr);
  EXPECT_EQ(computer.AddChild(drive), 0);
  EXPECT_EQ(drive, nullptr);
  EXPECT_EQ(computer.GetChild(0)->GetParent(), nullptr);  // the drive's parent is left alone
}

TEST(Tree, DeleteChildHandsItOver) {
  TPosteDeTravail computer;
  IArborescense& drive = *computer.GetChild(computer.AddChildByName("C"));
  drive.AddChildByName("A");
  drive.AddChildByName("B");
  std::unique_ptr<TArborescense> a = drive.DeleteChild(0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetName(), "A");
  ASSERT_EQ(drive.Count(), 1);
  EXPECT_EQ(drive.GetChild(0)->GetName(), "B");
  EXPECT_THROW(drive.GetChild(1), std::out_of_range);
  EXPECT_THROW(drive.DeleteChild(5), std::out_of_range);
}

TEST(Tree, IndexOfNameFoldsAsciiOnly) {
  TPosteDeTravail computer;
  IArborescense& drive = *computer.GetChild(computer.AddChildByName("C"));
  drive.AddChildByName("Temp");
  drive.AddChildByName("TËMP");
  struct Case {
    IArborescense* node;
    std::string name;
    int expected;
  } cases[] = {
      {&drive, "temp", 0}, {&drive, "TEMP", 0}, {&drive, "tëmp", -1}, {&drive, "TËmp", 1},
      {&drive, "Tem", -1}, {&computer, "C", 0}, {&computer, "c", 0}, {&computer, "C:", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.node->IndexOfName(c.name), c.expected) << c.name;
}

TEST(Tree, AssignCopiesDeepAndSharesMasks) {
  auto source = Load(SampleStream());
  TPosteDeTravail copy;
  copy.AddChildByName("Z");  // kept: copies are appended
  copy.Assign(*source);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.GetChild(0)->GetName(), "Z");
  EXPECT_EQ(copy.GetChild(1)->GetName(), "C");
  EXPECT_EQ(copy.GetChild(2)->GetChild(0)->GetPath(), "D:\\Data\\");
  TDossier& original = Folder(source->GetChild(0)->GetChild(0));
  TDossier& copied = Folder(copy.GetChild(1)->GetChild(0));
  ASSERT_EQ(copied.Masks().Count(), 2);
  EXPECT_EQ(copied.Masks().GetItem(1).get(), original.Masks().GetItem(1).get());
  EXPECT_EQ(SaveTreeBytes(*source), std::vector<uint8_t>(SampleStream()));

  // Masks can only go to a node that has them: the invalid cast.
  TDossier folder("F", 4, nullptr);
  folder.GetMasks().Add(std::make_shared<TMasque>("*.x"));
  TPosteDeTravail target;
  EXPECT_THROW(folder.AssignTo(target), std::bad_cast);
}

// Stream

TEST(TreeStream, EmptyComputer) {
  std::vector<uint8_t> bytes{0, 0, 0, 0};
  auto tree = Load(bytes);
  EXPECT_EQ(tree->Count(), 0);
  EXPECT_EQ(tree->ToText(), "<Poste de travail>");
  EXPECT_EQ(SaveTreeBytes(*tree), bytes);
}

TEST(TreeStream, RoundTripIsByteExact) {
  std::vector<uint8_t> bytes = SampleStream();
  auto tree = Load(bytes);
  ASSERT_EQ(tree->Count(), 2);
  EXPECT_EQ(SaveTreeBytes(*tree), bytes);
}

TEST(TreeStream, NamesLoadUnchanged) {
  auto lower = Load(Bytes().I32(1).Str("c").I32(0).I32(0).data);
  EXPECT_EQ(lower->GetChild(0)->GetName(), "c");
  EXPECT_EQ(lower->GetChild(0)->GetPath(), "c:\\");
  auto empty = Load(Bytes().I32(1).Str("").I32(0).I32(0).data);
  EXPECT_EQ(empty->GetChild(0)->GetPath(), ":\\");
}

// A stream written by the 1252 program: folder "Données" and masks "é*.tmp", "*€*" in code
// page 1252 bytes, beside a folder already stored in UTF-8.
std::vector<uint8_t> Cp1252Stream() {
  Bytes b;
  b.I32(1).Str("C").I32(2);
  b.Str("Donn\xE9" "es").I32(0).I32(2).Mask("\xE9*.tmp", 0).Mask("*\x80*", 1);
  b.Str("Été").I32(0).I32(1).Mask("złoty.*", 0);
  b.I32(0);
  return b.data;
}

TEST(TreeStream, OldCp1252TextsReadAsUtf8) {
  auto tree = std::make_unique<TPosteDeTravail>(kComputerCapacity);
  TMemoryStream stream(Cp1252Stream());
  stream.SetTexts(TStreamTexts::Utf8);
  tree->LoadFromStream(stream);
  ASSERT_EQ(tree->Count(), 1);
  ASSERT_EQ(tree->GetChild(0)->Count(), 2);
  TDossier& old = Folder(tree->GetChild(0)->GetChild(0));
  EXPECT_EQ(old.GetPath(), "C:\\Données\\");
  ASSERT_EQ(old.Masks().Count(), 2);
  EXPECT_EQ(old.Masks().GetItem(0)->Text, "é*.tmp");
  EXPECT_EQ(old.Masks().GetItem(1)->Text, "*€*");
  TDossier& utf8 = Folder(tree->GetChild(0)->GetChild(1));
  EXPECT_EQ(utf8.GetName(), "Été");
  EXPECT_EQ(utf8.Masks().GetItem(0)->Text, "złoty.*");
}

TEST(TreeStream, OldCp1252TextsKeptAsStoredByDefault) {
  // A caller in code page 1252 reads its own bytes: nothing is converted.
  std::vector<uint8_t> bytes = Cp1252Stream();
  auto tree = Load(bytes);
  EXPECT_EQ(tree->GetChild(0)->GetChild(0)->GetName(), "Donn\xE9" "es");
  EXPECT_EQ(SaveTreeBytes(*tree), bytes);
}

TEST(TreeStream, ThisProcessReadsTextsAsUtf8) {
  // The host, and every Windows test program but the 1252 caller's, run in UTF-8.
  EXPECT_EQ(ProcessStreamTexts(), TStreamTexts::Utf8);
}

TEST(TreeStream, ConvertedLongNameIsCutBeforeACharacter) {
  // 200 "é" in 1252 are 400 bytes of UTF-8: saved, the name is cut to 254 bytes, not 255.
  TMemoryStream in(Bytes().I32(1).Str("C").I32(1).Str(std::string(200, '\xE9')).I32(0).I32(0).I32(0).data);
  in.SetTexts(TStreamTexts::Utf8);
  TPosteDeTravail tree;
  tree.LoadFromStream(in);
  TMemoryStream again(SaveTreeBytes(tree));
  again.SetTexts(TStreamTexts::Utf8);
  TPosteDeTravail reloaded;
  reloaded.LoadFromStream(again);
  std::string expected;
  for (int i = 0; i < 127; ++i) expected += "é";
  EXPECT_EQ(reloaded.GetChild(0)->GetChild(0)->GetName(), expected);
}

TEST(TreeStream, NegativeCountsReadAsNone) {
  // Child count -5: the next four bytes are the mask count.
  auto tree = Load(Bytes().I32(1).Str("C").I32(-5).I32(1).Mask("*.tmp", 1).data);
  ASSERT_EQ(tree->Count(), 1);
  EXPECT_EQ(tree->GetChild(0)->Count(), 0);
  EXPECT_EQ(Folder(tree->GetChild(0)).Masks().Count(), 1);
  EXPECT_EQ(Load(Bytes().I32(-1).data)->Count(), 0);
  auto masks = Load(Bytes().I32(1).Str("C").I32(0).I32(-7).data);
  EXPECT_EQ(Folder(masks->GetChild(0)).Masks().Count(), 0);
}

TEST(TreeStream, CutShortKeepsWhatWasRead) {
  std::vector<uint8_t> full = SampleStream();
  struct Case {
    size_t keep;  // bytes of the sample kept
    int drives;
    std::string text;
  } cases[] = {
      {0, 0, "<Poste de travail>"},
      {3, 0, "<Poste de travail>"},
      {5, 0, "<Poste de travail>"},                                  // drive name cut: drive dropped
      {6, 1, "<Poste de travail>\n\tC:\\"},                          // name read, count cut
      {12, 1, "<Poste de travail>\n\tC:\\"},                         // folder name cut: folder dropped
      {31, 1, "<Poste de travail>\n\tC:\\\n\t\tC:\\Temp\\\n\t\t*.tmp\n"},  // second mask cut
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + c.keep);
    auto tree = Load(cut);
    EXPECT_EQ(tree->Count(), c.drives) << c.keep;
    EXPECT_EQ(tree->ToText(), c.text) << c.keep;
  }
  // Every prefix loads, and what it loads saves and reloads to the same bytes.
  for (size_t keep = 0; keep <= full.size(); ++keep) {
    auto tree = Load(std::vector<uint8_t>(full.begin(), full.begin() + keep));
    std::vector<uint8_t> saved = SaveTreeBytes(*tree);
    EXPECT_EQ(SaveTreeBytes(*Load(saved)), saved) << keep;
  }
}

TEST(TreeStream, HugeCountsStopAtTheEndOfData) {
  auto start = std::chrono::steady_clock::now();
  auto drives = Load(Bytes().I32(0x7FFFFFFF).data);
  auto children = Load(Bytes().I32(1).Str("C").I32(0x7FFFFFFF).data);
  auto masks = Load(Bytes().I32(1).Str("C").I32(0).I32(0x7FFFFFFF).Mask("a", 0).Mask("b", 1).data);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(drives->Count(), 0);
  ASSERT_EQ(children->Count(), 1);
  EXPECT_EQ(children->GetChild(0)->Count(), 0);
  EXPECT_EQ(Folder(masks->GetChild(0)).Masks().Count(), 2);
}

TEST(TreeStream, DeepNestingStopsAtTheLimit) {
  // 100 000 nested folders: the load stops at the limit instead of exhausting the stack.
  Bytes b;
  b.I32(1).Str("C").I32(1);
  const int depth = 100000;
  for (int i = 0; i < depth; ++i) b.Str("a").I32(1);
  auto tree = Load(b.data);
  IArborescense* node = tree->GetChild(0);
  int deepest = node->GetLevel();
  while (node->Count() > 0) {
    node = node->GetChild(0);
    deepest = node->GetLevel();
  }
  EXPECT_EQ(deepest, kMaxTreeDepth);
  std::vector<uint8_t> saved = SaveTreeBytes(*tree);
  EXPECT_EQ(SaveTreeBytes(*Load(saved)), saved);
}

TEST(TreeStream, ABranchTooDeepIsLeftOutAndTheRestLoads) {
  // Drive C: a chain 10 levels deeper than the limit with a mask at its bottom, then the
  // masks of C itself (written after its children), then drive D with its own mask.
  const int depth = kMaxTreeDepth + 10;
  Bytes b;
  b.I32(2).Str("C").I32(1);
  for (int i = 1; i < depth; ++i) b.Str("f").I32(1);
  b.Str("bottom").I32(0).I32(1).Mask("*.deep", 1);
  for (int i = 1; i < depth; ++i) b.I32(0);
  b.I32(1).Mask("~*.*", 1);
  b.Str("D").I32(0).I32(1).Mask("*.bak", 0);
  auto tree = Load(b.data);
  ASSERT_EQ(tree->Count(), 2) << "the drive after the deep branch";
  EXPECT_EQ(Folder(tree->GetChild(0)).Masks().ToText(), "~*.* - [Recursif]\n");
  EXPECT_EQ(Folder(tree->GetChild(1)).Masks().ToText(), "*.bak\n");
  IArborescense* node = tree->GetChild(0);
  while (node->Count() > 0) node = node->GetChild(0);
  EXPECT_EQ(node->GetLevel(), kMaxTreeDepth);
  EXPECT_EQ(Folder(node).Masks().Count(), 0) << "the masks of a left-out folder";
}

TEST(Tree, VeryDeepTreeIsWalkedWithoutRecursion) {
  // Built by hand far beyond the load limit: text form, saving and destruction still work.
  const int depth = 200000;
  auto tree = std::make_unique<TPosteDeTravail>();
  IArborescense* node = tree->GetChild(tree->AddChildByName("C"));
  for (int i = 1; i < depth; ++i) node = node->GetChild(node->AddChildByName("d"));
  EXPECT_EQ(node->GetLevel(), depth);
  EXPECT_EQ(node->GetPath().size(), 3 + 2 * size_t(depth - 1));
  std::vector<uint8_t> saved = SaveTreeBytes(*tree);
  EXPECT_EQ(saved.size(), 4 + size_t(depth) * 10);
  tree.reset();
}

TEST(TextForm, DeepTree) {
  // The text repeats every path, so it grows with the square of the depth: 5 000 levels.
  const int depth = 5000;
  TPosteDeTravail tree;
  IArborescense* node = tree.GetChild(tree.AddChildByName("C"));
  for (int i = 1; i < depth; ++i) node = node->GetChild(node->AddChildByName("d"));
  std::string text = tree.ToText();
  size_t expected = std::string("<Poste de travail>").size();
  for (int level = 1; level <= depth; ++level) expected += 1 + level + 3 + 2 * size_t(level - 1);
  EXPECT_EQ(text.size(), expected);
}

TEST(TextForm, Example) {
  auto tree = Load(Bytes().I32(1).Str("C").I32(1).Str("Temp").I32(0).I32(2).Mask("*.tmp", 0).Mask("*.bak", 1).I32(0).data);
  EXPECT_EQ(tree->ToText(), "<Poste de travail>\n\tC:\\\n\t\tC:\\Temp\\\n\t\t*.tmp\n*.bak - [Recursif]\n");
  EXPECT_EQ(Folder(tree->GetChild(0)->GetChild(0)).ToText(), "\t\tC:\\Temp\\\n\t\t*.tmp\n*.bak - [Recursif]\n");
  // Drive masks come after the drive's children.
  auto drive = Load(SampleStream());
  EXPECT_EQ(drive->ToText(),
            "<Poste de travail>\n\tC:\\\n\t\tC:\\Temp\\\n\t\t*.tmp\n*.bak - [Recursif]\n\n\t~*.* - [Recursif]\n"
            "\n\tD:\\\n\t\tD:\\Data\\");
}

TEST(MemoryStream, ReadsNeverPassTheEnd) {
  TMemoryStream stream(std::vector<uint8_t>{1, 2, 3});
  int32_t value = 7;
  EXPECT_FALSE(stream.ReadInt32(value));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(stream.Position(), 0u);
  uint8_t byte = 0;
  EXPECT_TRUE(stream.ReadByte(byte));
  EXPECT_EQ(byte, 1);
  std::string s;
  EXPECT_FALSE(stream.ReadShortString(s));  // length 2 needs 3 bytes
  TMemoryStream null(nullptr, 10);
  EXPECT_EQ(null.Size(), 0u);
}

// The found-path list gives back every path as it was added, across its blocks.
TEST(PathList, KeepsEveryPathInOrder) {
  const std::string longPath(100 * 1024, 'x');  // longer than one block
  struct Case {
    const char* name;
    StringList paths;
  } cases[] = {
      {"none", {}},
      {"one empty", {""}},
      {"empty between", {"C:\\a.tmp", "", "C:\\b.tmp", ""}},
      {"longer than a block", {"C:\\a", longPath, "C:\\b", longPath + "y"}},
  };
  for (const Case& c : cases) {
    TPathList list;
    for (const std::string& path : c.paths) list.Add(path);
    EXPECT_EQ(list.ToStrings(), c.paths) << c.name;
    size_t bytes = 0;
    for (const std::string& path : c.paths) bytes += path.size();
    EXPECT_EQ(list.TextBytes(), bytes) << c.name;
    EXPECT_THROW(list[c.paths.size()], std::out_of_range) << c.name;
  }

  // Many short paths fill several blocks; folder and name are joined.
  TPathList many;
  StringList expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string folder = "C:\\d" + std::to_string(i % 7) + "\\";
    const std::string name = "f" + std::to_string(i) + ".tmp";
    many.Add(folder, name);
    expected.push_back(folder + name);
  }
  EXPECT_EQ(many.ToStrings(), expected);

  // Appending moves the paths over, to an empty list or after those already there.
  TPathList into;
  into.Append(std::move(many));
  EXPECT_TRUE(many.Empty());
  TPathList more;
  more.Add("C:\\last");
  into.Append(std::move(more));
  expected.push_back("C:\\last");
  EXPECT_EQ(into.ToStrings(), expected);
  EXPECT_EQ(into.Count(), expected.size());
}

}  // namespace
}  // namespace pur
