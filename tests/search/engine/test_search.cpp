// The search adapters on real directory trees in fresh temporary folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "EngineTestSupport.h"

namespace pur {
namespace {

using test::AddMask;
using test::Joined;
using test::NodeAt;
using test::Relative;
using test::SearchAt;
using test::TempTree;

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kSystem = FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;

// Records every progress value; answers `answer` (or true when it is unset).
struct Recorder {
  std::vector<double> values;
  int stopAt = -1;  // index of the call that answers false
  bool Progress(double value) {
    values.push_back(value);
    return static_cast<int>(values.size()) - 1 != stopAt;
  }
  TSearchProgressEvent Event() { return TSearchProgressEvent::Bind<&Recorder::Progress>(this); }
};

void ExpectValues(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-12) << "report " << i;
}

TEST(Search, RecursiveAncestorMaskMakesOwnMaskRecursive) {
  TempTree tree("ancestor");
  tree.File("a.tmp");
  tree.Dir("Temp");
  tree.File("Temp\\b.tmp");
  tree.Dir("Temp\\deep");
  tree.File("Temp\\deep\\c.tmp");
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", true);
  TRADossier& temp = NodeAt(computer, tree.Path("Temp\\"));
  MaskRef own = AddMask(temp, "*.TMP", false);

  StringList found = SearchAt(computer, tree);
  EXPECT_EQ(found, (StringList{"Temp\\deep\\c.tmp", "Temp\\b.tmp", "a.tmp"})) << Joined(found);
  EXPECT_TRUE(own->Recursive);  // for good: the mask is shared
  ASSERT_EQ(temp.GetEffectiveMasks().Count(), 1);
  EXPECT_EQ(temp.GetEffectiveMasks().GetItem(0), own);
  EXPECT_EQ(temp.Masks().ToText(), "*.TMP - [Recursif]\n");
}

TEST(Search, MaskWithSubPath) {
  TempTree tree("subpath");
  tree.Dir("Cache");
  tree.File("Cache\\x.dat");
  tree.File("y.dat");
  struct Case {
    const char* mask;
    StringList expected;
  } cases[] = {
      {"Cache\\*.dat", {"Cache\\x.dat"}},
      // A forward slash separates too: the file is reported in its own folder, never in the
      // node's (where a file of that name may exist and would be deleted instead), and with
      // the separator of an exact path.
      {"Cache/*.dat", {"Cache\\x.dat"}},
  };
  tree.File("x.dat");
  for (const Case& c : cases) {
    TRAPosteDeTravail computer;
    AddMask(NodeAt(computer, tree.Root()), c.mask, false);
    StringList found = SearchAt(computer, tree);
    EXPECT_EQ(found, c.expected) << c.mask << ": " << Joined(found);
  }
}

TEST(Search, TwoMasksListOneFileTwiceGroupedByMask) {
  TempTree tree("twice");
  tree.File("abc.tmp");
  tree.File("zz.tmp");
  tree.File("a.log");
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "a*.tmp", false);
  AddMask(root, "*.log", false);
  AddMask(root, "*.tmp", false);
  StringList found = SearchAt(computer, tree);
  EXPECT_EQ(found, (StringList{"abc.tmp", "a.log", "abc.tmp", "zz.tmp"})) << Joined(found);
}

TEST(Search, HiddenAndSystemFoldersNotEnteredHiddenFilesFound) {
  TempTree tree("hidden");
  tree.Dir("hid", kHidden);
  tree.File("hid\\h.tmp");
  tree.Dir("sys", kSystem);
  tree.File("sys\\s.tmp");
  tree.Dir("vis");
  tree.Dir("vis\\inner");
  tree.File("vis\\inner\\v.tmp");
  tree.File("hiddenfile.tmp", kHidden);
  tree.File("systemfile.tmp", kSystem);
  tree.File("readonly.tmp", kReadOnly);
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", true);
  StringList found = SearchAt(computer, tree);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (StringList{"hiddenfile.tmp", "readonly.tmp", "systemfile.tmp", "vis\\inner\\v.tmp"}))
      << Joined(found);
  EXPECT_EQ(root.Count(), 1);  // only "vis" was added
}

TEST(Search, ResultOrderChildrenFirstInChildOrder) {
  TempTree tree("order");
  tree.File("a.tmp");
  tree.File("b.log");
  for (const char* sub : {"sub1", "sub2"}) tree.Dir(sub);
  tree.File("sub1\\x.tmp");
  tree.File("sub1\\y.log");
  tree.File("sub2\\z.tmp");
  tree.Dir("sub2\\deep");
  tree.File("sub2\\deep\\w.log");
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", true);
  AddMask(root, "*.log", true);
  root.AddChildByName("SUB2");  // already in the tree (other case): searched first, not added again
  StringList found = SearchAt(computer, tree);
  EXPECT_EQ(found, (StringList{"SUB2\\deep\\w.log", "SUB2\\z.tmp", "sub1\\x.tmp", "sub1\\y.log", "a.tmp", "b.log"}))
      << Joined(found);
  EXPECT_EQ(root.Count(), 2);
}

TEST(Search, ShortNameMatchesAreDropped) {
  TempTree tree("shortnames");
  for (const char* name : {"notes.tmpl", "a.tmp", "page.html", "index.htm", "LongerName.tmp1"}) tree.File(name);
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", false);
  AddMask(root, "*.htm", false);
  StringList found = SearchAt(computer, tree);
  EXPECT_EQ(found, (StringList{"a.tmp", "index.htm"})) << Joined(found);

  // The listing itself, in both modes.
  TARFileList files(tree.Path("*.tmp"), false);
  StringList scanned = files.Scan();
  EXPECT_EQ(scanned, (StringList{tree.Path("a.tmp")})) << Joined(scanned);
  EXPECT_EQ(files.Count(), 1);
  EXPECT_EQ(files.GetEntry(0), tree.Path("a.tmp"));
  EXPECT_THROW(files.GetEntry(1), std::out_of_range);
}

TEST(Search, NamesInEveryScriptAreFoundExactly) {
  // In the program's UTF-8 code page a name in any script is listed as it is; a 1252 caller
  // does not see them at all (test_cp1252_caller.cpp).
  TempTree tree("unicode");
  tree.File("plain.tmp");
  const std::wstring wideRoot(tree.Root().begin(), tree.Root().end());
  for (const wchar_t* name : {L"\u4E2D.tmp", L"a\u4E2Db.tmp", L"z\u0142oty.tmp"}) {
    HANDLE file = CreateFileW((wideRoot + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  ASSERT_TRUE(CreateDirectoryW((wideRoot + L"\u4E2D").c_str(), nullptr));
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "?.tmp", true);
  AddMask(root, "*oty.tmp", true);
  StringList found = SearchAt(computer, tree);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (StringList{"złoty.tmp", "中.tmp"})) << Joined(found);
  EXPECT_EQ(root.Count(), 1) << "the folder 中 is entered";
}

TEST(Search, FileListModes) {
  TempTree tree("filelist");
  tree.Dir("d1");
  tree.Dir("d2", kHidden);
  tree.Dir("d3", kSystem);
  tree.Dir("d4", kReadOnly);
  tree.File("f1");
  tree.File("f2", kHidden);
  struct Case {
    bool foldersOnly;
    StringList expected;
  } cases[] = {
      {true, {"d1", "d4"}},
      {false, {"f1", "f2"}},
  };
  for (const Case& c : cases) {
    TARFileList list(tree.Path("*.*"), c.foldersOnly);
    StringList entries = Relative(list.Scan(), tree.Root());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, c.expected) << c.foldersOnly << ": " << Joined(entries);
  }
  TARFileList missing(tree.Path("nowhere\\*.*"), false);
  EXPECT_TRUE(missing.Scan().empty());
  EXPECT_EQ(FolderNameOf("C:\\a\\b\\"), "b");
  EXPECT_EQ(FolderNameOf("C:\\a\\b"), "b");
  EXPECT_EQ(FolderNameOf("C:b"), "b");
}

TEST(Search, NonRecursiveDriveMaskStillAddsTopFolders) {
  TempTree tree("nonrec");
  tree.File("top.tmp");
  tree.Dir("s1");
  tree.Dir("s2");
  tree.File("s1\\below.tmp");
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", false);
  Recorder recorder;
  computer.SetCallback(recorder.Event());
  StringList found = SearchAt(computer, tree);
  EXPECT_EQ(found, (StringList{"top.tmp"})) << Joined(found);
  ASSERT_EQ(root.Count(), 2);
  EXPECT_EQ(dynamic_cast<IRechArborescense*>(root.GetChild(0))->GetEffectiveMasks().Count(), 0);
  ASSERT_GE(recorder.values.size(), 2u);
  EXPECT_DOUBLE_EQ(recorder.values[0], 0.5);
  EXPECT_DOUBLE_EQ(recorder.values[1], 1.0);
}

TEST(Search, MissingFoldersAndEmptyMasksListNothing) {
  TempTree tree("missing");
  tree.File("x.tmp");
  TRAPosteDeTravail computer;
  AddMask(NodeAt(computer, tree.Path("gone\\")), "*.tmp", true);
  AddMask(NodeAt(computer, tree.Path("also gone\\")), "", false);
  AddMask(NodeAt(computer, tree.Path("also gone\\")), "bad|<name>", false);
  EXPECT_TRUE(computer.Search().Empty());
}

// The result of the walk that lists each folder once per mask, over the tree as the search
// left it (with the folders it discovered): each subtree's files, then the node's own files
// mask by mask, each mask listed on its own.
StringList PerMaskListing(IRechArborescense& node) {
  StringList result;
  for (int i = 0; i < node.Count(); ++i) {
    if (auto* child = dynamic_cast<IRechArborescense*>(node.GetChild(i))) {
      StringList below = PerMaskListing(*child);
      result.insert(result.end(), below.begin(), below.end());
    }
  }
  if (node.GetKind() == kKindComputer) return result;
  TMasqueList& masks = node.GetEffectiveMasks();
  for (int i = 0; i < masks.Count(); ++i) {
    TARFileList files(node.GetPath() + masks.GetItem(i)->Text, false);
    StringList listed = files.Scan();
    result.insert(result.end(), listed.begin(), listed.end());
  }
  return result;
}

// One listing per folder gives what one listing per mask gave, in content and order. No '?'
// here may match nothing ("??.tmp" takes "a.tmp" by the system's rules): Wine's own listing
// would not report such a name, so the two walks differ there under Wine only.
TEST(Search, OneListingPerFolderGivesWhatEachMasksListingGave) {
  TempTree tree("onelisting");
  for (const char* dir : {"sub", "sub\\deep", "Zeta", "hid", "sys", "Cache", "tmp.d"}) tree.Dir(dir);
  SetFileAttributesA(tree.Path("hid").c_str(), kHidden);
  SetFileAttributesA(tree.Path("sys").c_str(), kSystem);
  for (const char* file : {"a.tmp", "ab.tmp", "B.TMP", "noext", "NOEXT2", "x.tmp.bak", "~lock.doc", "~$x.tmp",
                           "notes.tmpl", "sub\\c.tmp", "sub\\d.log", "sub\\deep\\e.tmp", "sub\\deep\\plain",
                           "Zeta\\z1.log", "hid\\h.tmp", "sys\\s.tmp", "Cache\\k.dat", "k.dat", "tmp.d\\t.tmp",
                           "space name.tmp", "a.b.c"}) {
    tree.File(file);
  }
  tree.File("hidden.tmp", kHidden);
  tree.File("system.log", kSystem);
  tree.File("sub\\readonly.tmp", kReadOnly);
  const std::wstring wideRoot(tree.Root().begin(), tree.Root().end());
  for (const wchar_t* name : {L"\u4E2D.tmp", L"\u0436\u0443\u043A.log", L"z\u0142oty.tmp", L"\u00C9t\u00E9.TMP"}) {
    HANDLE file = CreateFileW((wideRoot + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  ASSERT_TRUE(CreateDirectoryW((wideRoot + L"\u4E2D").c_str(), nullptr));
  ASSERT_TRUE(CloseHandle(CreateFileW((wideRoot + L"\u4E2D\\\u4E2D.tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, 0, nullptr)));

  struct Mask {
    const char* text;
    bool recursive;
  };
  struct Case {
    const char* name;
    std::vector<Mask> masks;
  } cases[] = {
      {"overlapping", {{"*.tmp", true}, {"a*", true}, {"*.*", false}, {"*", true}}},
      {"no extension and dots", {{"*.", true}, {"*.tmp.*", true}, {"a.b.*", false}}},
      {"question marks", {{"?b.tmp", true}, {"?.tmp", true}, {"~$?.tmp", false}, {"?.*", true}, {"sp?ce*", false},
                          {"a?b?c", false}}},
      {"other scripts and case", {{"*.TMP", true}, {"\u0436*", true}, {"z\u0142*", false}, {"\u00E9*", true},
                                  {"*OTY.tmp", true}, {"*\u00C9.tmp", true}, {"B*.tmp  ", true}, {"*Z*", false}}},
      {"folder parts and odd texts", {{"Cache\\*.dat", false}, {"*.dat", true}, {"Cache/*.dat", false}, {".", false},
                                      {"..", true}, {"", true}, {"*.log ", true}, {"*.tmp.", false}}},
      {"hidden and system", {{"h*", true}, {"s*", true}}},
  };
  for (const Case& c : cases) {
    TRAPosteDeTravail computer;
    TRADossier& root = NodeAt(computer, tree.Root());
    for (const Mask& mask : c.masks) AddMask(root, mask.text, mask.recursive);
    const StringList found = computer.Search().ToStrings();
    const StringList reference = PerMaskListing(computer);
    EXPECT_FALSE(found.empty()) << c.name;
    EXPECT_EQ(Relative(found, tree.Root()), Relative(reference, tree.Root()))
        << c.name << "\n  one listing: " << Joined(Relative(found, tree.Root()))
        << "\n  per mask:    " << Joined(Relative(reference, tree.Root()));
  }
}

// Progress without touching the disk: trees without masks list nothing.
TEST(Progress, Shapes) {
  {  // n drives: 1/n, 2/n, ... 1
    TRAPosteDeTravail computer;
    for (const char* letter : {"A", "B", "C", "D"}) computer.AddChildByName(letter);
    Recorder recorder;
    computer.SetCallback(recorder.Event());
    EXPECT_TRUE(computer.Search().Empty());
    ExpectValues(recorder.values, {0.25, 0.5, 0.75, 1.0});
  }
  {  // one drive, three folders, two subfolders each
    TRAPosteDeTravail computer;
    IArborescense* drive = computer.GetChild(computer.AddChildByName("Q"));
    for (int f = 0; f < 3; ++f) {
      IArborescense* folder = drive->GetChild(drive->AddChildByName("f" + std::to_string(f)));
      folder->AddChildByName("a");
      folder->AddChildByName("b");
    }
    Recorder recorder;
    computer.SetCallback(recorder.Event());
    computer.Search();
    ExpectValues(recorder.values, {1.0 / 6, 2.0 / 6, 1.0 / 3, 1.0 / 3 + 1.0 / 6, 1.0 / 3 + 2.0 / 6, 2.0 / 3,
                                   2.0 / 3 + 1.0 / 6, 2.0 / 3 + 2.0 / 6, 1.0, 1.0});
    // A second search starts from fresh values.
    recorder.values.clear();
    computer.Search();
    EXPECT_EQ(recorder.values.size(), 10u);
    EXPECT_NEAR(recorder.values.front(), 1.0 / 6, 1e-12);
  }
}

TEST(Progress, NoCallbackNoProgress) {
  TRAPosteDeTravail computer;
  computer.AddChildByName("A");
  computer.AddChildByName("B");
  EXPECT_TRUE(computer.Search().Empty());
  EXPECT_EQ(computer.GetProgress(), 0.0);
  EXPECT_FALSE(computer.GetCallback());
}

TEST(Progress, StopAtFirstReportDeliversNothing) {
  TempTree tree("stop");
  tree.Dir("one");
  tree.Dir("two");
  tree.File("one\\a.tmp");
  tree.File("b.tmp");
  TRAPosteDeTravail computer;
  AddMask(NodeAt(computer, tree.Root()), "*.tmp", true);
  Recorder recorder;
  recorder.stopAt = 0;
  computer.SetCallback(recorder.Event());
  try {
    computer.Search();
    FAIL() << "no stop";
  } catch (const ERAException& e) {
    EXPECT_STREQ(e.what(), "User abort");
  }
  ASSERT_EQ(recorder.values.size(), 1u);  // right after the first child search that finished
  EXPECT_DOUBLE_EQ(recorder.values[0], 0.5);
}

TEST(Progress, CallbackComesFromTheNearestAncestor) {
  TRAPosteDeTravail computer;
  IArborescense* drive = computer.GetChild(computer.AddChildByName("A"));
  auto* node = dynamic_cast<IRechArborescense*>(drive->GetChild(drive->AddChildByName("x")));
  Recorder first, second;
  computer.SetCallback(first.Event());
  EXPECT_TRUE(node->GetCallback() == first.Event());
  computer.SetCallback(second.Event());  // replaced above: never the old one from below
  EXPECT_TRUE(node->GetCallback() == second.Event());
  computer.SetCallback(TSearchProgressEvent());
  EXPECT_FALSE(node->GetCallback());
}

}  // namespace
}  // namespace pur
