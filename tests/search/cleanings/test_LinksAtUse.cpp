// Links and names that Windows would change, met when listing, when entering a folder and
// when deleting: the search reports only what a listing showed exactly, never enters a link,
// and a deletion refuses a path that goes through one at that moment. Every link points into
// the test's own folder ("outside\" holds the canaries), and goes before that folder does.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "Cleanings.h"
#include "EngineTestSupport.h"
#include "SearchTexts.h"
#include "TreeRemoval.h"
#include "UnixLinks.h"
#include "uDiskUtils.h"

namespace pur {
namespace {

using test::AddMask;
using test::Joined;
using test::NodeAt;
using test::Relative;

// The test's own folder: "drive\" is what the search and the cleanings see, "outside\" is
// what must never change.
class Trap {
 public:
  Trap() {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "pur-links-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + "\\";
    Dir("");
    Dir("drive");
    Dir("outside");
  }
  ~Trap() {
    for (const std::wstring& link : links_) purtest::RemoveUnixLink(link);
    purtest::RemoveTree(root_);
  }
  Trap(const Trap&) = delete;
  Trap& operator=(const Trap&) = delete;

  std::string Path(const std::string& relative) const { return root_ + relative; }
  // The "\\?\" form, which reaches names with a final dot or blank.
  std::wstring Wide(const std::string& relative) const {
    const std::string path = Path(relative);
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
  }
  void Dir(const std::string& relative) const { ASSERT_TRUE(CreateDirectoryW(Wide(relative).c_str(), nullptr)) << relative; }
  void File(const std::string& relative) const {
    HANDLE file = CreateFileW(Wide(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
    DWORD written = 0;
    WriteFile(file, relative.data(), static_cast<DWORD>(relative.size()), &written, nullptr);
    CloseHandle(file);
  }
  bool Exists(const std::string& relative) const {
    return GetFileAttributesW(Wide(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  void Link(const std::string& relative, const std::string& target) {
    ASSERT_TRUE(purtest::MakeUnixLink(Wide(relative), Wide(target))) << relative;
    links_.push_back(Wide(relative));
  }
  // The folder is renamed away and a link to `target` takes its name. A folder that a listing
  // thread of the search holds open cannot be renamed until its listing ends: tried again.
  void Swap(const std::string& relative, const std::string& target) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool moved = false;
    DWORD error = 0;
    while (!(moved = MoveFileW(Wide(relative).c_str(), Wide(relative + "-real").c_str()))) {
      error = GetLastError();
      if (std::chrono::steady_clock::now() > until) break;
      Sleep(5);
    }
    ASSERT_TRUE(moved) << relative << " error " << error;
    Link(relative, target);
  }

 private:
  std::string root_;
  std::vector<std::wstring> links_;
};

StringList Sorted(StringList items) {
  std::sort(items.begin(), items.end());
  return items;
}

// Each trap with a canary behind it; the plain files beside them are found as usual.
TEST(LinksAtUse, TrimmedNamesDeviceNamesAndLinksAreNeverReportedEnteredOrDeleted) {
  Trap t;
  for (const char* canary : {"docs", "space", "deep", "cache"}) t.Dir(std::string("outside\\") + canary);
  const std::vector<std::string> canaries = {"outside\\docs\\victim.tmp", "outside\\space\\victim.tmp",
                                             "outside\\deep\\victim.tmp", "outside\\cache\\c.dat"};
  for (const std::string& canary : canaries) t.File(canary);
  t.Dir("drive\\Docs.");
  t.File("drive\\Docs.\\victim.tmp");
  t.Link("drive\\Docs", "outside\\docs");
  t.Dir("drive\\Space ");
  t.File("drive\\Space \\victim.tmp");
  t.Link("drive\\Space", "outside\\space");
  t.Dir("drive\\Inner");
  t.Dir("drive\\Inner\\Deep.");
  t.File("drive\\Inner\\Deep.\\victim.tmp");
  t.Link("drive\\Inner\\Deep", "outside\\deep");
  t.Link("drive\\Cache", "outside\\cache");
  t.Dir("drive\\CON");
  t.File("drive\\CON\\victim.tmp");
  t.File("drive\\nul.tmp");
  t.File("drive\\plain.tmp");
  t.File("drive\\Inner\\inner.tmp");

  TRAPosteDeTravail computer;
  TRADossier& drive = NodeAt(computer, t.Path("drive\\"));
  AddMask(drive, "*.tmp", true);
  AddMask(drive, "Cache\\*.dat", false);
  StringList notes;
  const StringList found = computer.Search(&notes).ToStrings();
  EXPECT_EQ(Sorted(Relative(found, t.Path("drive\\"))), (StringList{"Inner\\inner.tmp", "plain.tmp"}))
      << Joined(found);

  // What a caller might still hand over: the trimmed forms, and the paths through the links.
  for (const char* trap : {"drive\\Docs.\\victim.tmp", "drive\\Docs\\victim.tmp", "drive\\Space \\victim.tmp",
                           "drive\\Space\\victim.tmp", "drive\\Inner\\Deep\\victim.tmp", "drive\\Cache\\c.dat",
                           "drive\\CON\\victim.tmp", "drive\\nul.tmp"}) {
    for (const bool toRecycleBin : {false, true}) {
      EXPECT_EQ(DeleteFoundFile(t.Path(trap), toRecycleBin, true), 0) << trap;
    }
  }
  for (const std::string& path : found) EXPECT_GT(DeleteFoundFile(path, false, true), 0) << path;
  for (const std::string& canary : canaries) EXPECT_TRUE(t.Exists(canary)) << canary;
  for (const char* kept : {"drive\\Docs.\\victim.tmp", "drive\\Space \\victim.tmp", "drive\\Inner\\Deep.\\victim.tmp",
                           "drive\\CON\\victim.tmp", "drive\\nul.tmp"}) {
    EXPECT_TRUE(t.Exists(kept)) << kept;
  }
  EXPECT_FALSE(t.Exists("drive\\plain.tmp"));
}

// A place of the stored definition that is a link is skipped with everything stored below
// it, and named once in the notes.
TEST(LinksAtUse, StoredFolderThatIsALinkIsSkippedAndNamed) {
  Trap t;
  t.Dir("outside\\linked");
  t.Dir("outside\\linked\\below");
  t.File("outside\\linked\\x.tmp");
  t.File("outside\\linked\\below\\y.tmp");
  t.Link("drive\\Linked", "outside\\linked");
  TRAPosteDeTravail computer;
  AddMask(NodeAt(computer, t.Path("drive\\Linked\\")), "*.tmp", true);
  AddMask(NodeAt(computer, t.Path("drive\\Linked\\below\\")), "*.tmp", false);
  StringList notes;
  const TPathList found = computer.Search(&notes);
  EXPECT_TRUE(found.Empty()) << Joined(found);
  EXPECT_EQ(notes, (StringList{texts::kFolderNotEntered + t.Path("drive\\Linked\\")})) << Joined(notes);
}

// The swap is made from the search's own progress report, after the first folder was walked
// and before the second, listed as a real folder, is entered.
TEST(LinksAtUse, FolderSwappedForALinkDuringTheSearchIsNotEntered) {
  Trap t;
  t.Dir("outside\\swap");
  t.File("outside\\swap\\b.tmp");
  t.Dir("drive\\A1");
  t.Dir("drive\\A2");
  t.File("drive\\A1\\a.tmp");
  t.File("drive\\A2\\b.tmp");
  TRAPosteDeTravail computer;
  AddMask(NodeAt(computer, t.Path("drive\\")), "*.tmp", true);
  bool swapped = false;
  computer.SetCallback(TSearchProgressEvent::FromFunction([&](double) {
    if (!swapped) {
      swapped = true;
      t.Swap("drive\\A2", "outside\\swap");
    }
    return true;
  }));
  StringList notes;
  const StringList found = computer.Search(&notes).ToStrings();
  ASSERT_TRUE(swapped);
  EXPECT_EQ(Relative(found, t.Path("drive\\")), (StringList{"A1\\a.tmp"})) << Joined(found);
  EXPECT_EQ(notes, (StringList{texts::kFolderNotEntered + t.Path("drive\\A2\\")})) << Joined(notes);
}

// Found, then its folder is swapped for a link before the deletion: the deletion refuses,
// into the Recycle Bin or not; without the swap the same file goes.
TEST(LinksAtUse, FolderSwappedForALinkBeforeTheDeletionIsRefused) {
  for (const bool swap : {true, false}) {
    for (const bool toRecycleBin : {false, true}) {
      SCOPED_TRACE(std::string(swap ? "swapped" : "plain") + (toRecycleBin ? ", Recycle Bin" : ", for good"));
      Trap t;
      t.Dir("outside\\other");
      t.File("outside\\other\\x.tmp");
      t.Dir("drive\\sub");
      t.File("drive\\sub\\x.tmp");
      TRAPosteDeTravail computer;
      AddMask(NodeAt(computer, t.Path("drive\\")), "*.tmp", true);
      const StringList found = computer.Search().ToStrings();
      ASSERT_EQ(found, (StringList{t.Path("drive\\sub\\x.tmp")}));
      if (swap) t.Swap("drive\\sub", "outside\\other");
      EXPECT_EQ(DeleteFoundFile(found[0], toRecycleBin, true) > 0, !swap);
      EXPECT_TRUE(t.Exists("outside\\other\\x.tmp"));
      EXPECT_EQ(t.Exists(swap ? "drive\\sub-real\\x.tmp" : "drive\\sub\\x.tmp"), swap);
    }
  }
}

// A temporary folder with a link anywhere below is not handed to the shell, which would
// follow it under Wine; nothing in it is deleted.
TEST(LinksAtUse, TemporaryFolderHoldingALinkIsNotEmptied) {
  Trap t;
  t.Dir("outside\\kept");
  t.File("outside\\kept\\k.tmp");
  t.Dir("drive\\sub");
  t.File("drive\\a.tmp");
  t.File("drive\\sub\\b.tmp");
  t.Link("drive\\sub\\link", "outside\\kept");
  const TTempCleaning cleaning = CleanTempFolder(t.Path("drive\\"));
  EXPECT_TRUE(cleaning.Refused());
  EXPECT_NE(cleaning.Refusal.find(texts::kHoldsLink), std::string::npos) << cleaning.Refusal;
  for (const char* kept : {"outside\\kept\\k.tmp", "drive\\a.tmp", "drive\\sub\\b.tmp"}) {
    EXPECT_TRUE(t.Exists(kept)) << kept;
  }
}

// A chain of folders as long as Wine makes them (its Unix paths end at 4096 bytes), walked by
// a thread with a 64 KiB stack: every walk stops at its bound and says so, none overflows.
TEST(LinksAtUse, DeepWalksStopAtTheirBoundOnASmallStack) {
  Trap t;
  t.Dir("drive\\chain");
  std::vector<std::string> levels{"drive\\chain\\"};
  // Six-letter names reach Wine's limit in a few hundred levels; each level costs a walk of
  // the whole path, so one-letter names would take minutes.
  while (levels.size() < 3000 && CreateDirectoryW(t.Wide(levels.back() + "dddddd").c_str(), nullptr)) {
    levels.push_back(levels.back() + "dddddd\\");
  }
  ASSERT_GT(levels.size(), static_cast<size_t>(kMaxWalkDepth) + 100) << "too shallow to show the bound";
  // A little above the deepest folder, where a file name still fits.
  const std::string bottom = levels[levels.size() - 4];
  t.File(bottom + "x.tmp");

  struct Outcome {
    TFolderSize size;
    TTempCleaning cleaning;
    StringList notes;
    TPathList found;
    std::string folder;
  } outcome;
  outcome.folder = t.Path("drive\\chain\\");
  auto walks = [](void* data) -> DWORD {
    auto& o = *static_cast<Outcome*>(data);
    o.size = MeasureFolder(*TExactPath::FromAnsi(o.folder));
    o.cleaning = CleanTempFolder(o.folder);
    TRAPosteDeTravail computer;
    AddMask(NodeAt(computer, o.folder), "*.tmp", true);
    o.found = computer.Search(&o.notes);
    return 0;
  };
  HANDLE thread = CreateThread(nullptr, 64 * 1024, walks, &outcome, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 120000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(outcome.size.Complete);
  EXPECT_TRUE(outcome.cleaning.Refused());
  EXPECT_NE(outcome.cleaning.Refusal.find(texts::kTooDeep), std::string::npos) << outcome.cleaning.Refusal;
  EXPECT_TRUE(outcome.found.Empty());
  ASSERT_EQ(outcome.notes.size(), 1u) << Joined(outcome.notes);
  EXPECT_EQ(outcome.notes[0].rfind(texts::kTooDeepToWalk, 0), 0u) << outcome.notes[0];
  EXPECT_TRUE(t.Exists(bottom + "x.tmp"));
  // The chain is too deep for the recursive removal of the other tests: the Unix rm takes it.
  const std::string unixChain = purtest::UnixPathOf(t.Wide("drive\\chain"));
  ASSERT_NE(unixChain.find("/pur-links-"), std::string::npos) << unixChain;
  purtest::RunUnixProgram("/bin/rm", {"-rf", unixChain});
  EXPECT_TRUE(purtest::AwaitEffect([&] { return !t.Exists("drive\\chain"); }));
}

}  // namespace
}  // namespace pur
