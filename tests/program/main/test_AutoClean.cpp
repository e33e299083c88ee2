// The automatic mode end to end: PURGOWIN.exe /S, and the agent's PURGOSRV.exe /once, over a
// sandbox drive. Exactly the matching, deletable files are gone (into the Trash when the
// settings say so), every other file is byte for byte and attribute for attribute as it was,
// nothing new appeared, and the journal holds the boxed header and the lines its event mask
// lets through.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "ProgramDriver.h"
#include "RegistryLock.h"
#include "SampleFiles.h"
#include "SandboxDrive.h"
#include "uUserMainPrgm_Format.h"

namespace maintest {
namespace {

constexpr size_t kHeaderWidth = 64;
constexpr size_t kHeaderInner = 58;
constexpr char kBoxTop[] = "(**************************************************************)";
constexpr char kBoxReport[] = "(*                    Rapport de recherche                    *)";

using purtest::ContentFor;
using purtest::Kind;
using purtest::SampleFile;

const std::vector<SampleFile> kSamples = purtest::SamplesWith({
    // Names in other scripts, found and deleted exactly; "złoty" and "zloty" are two files.
    {"%złoty.tmp", Kind::Plain, 0},
    {"%zloty.tmp", Kind::Plain, 0},
    {"%Ελληνικά.tmp", Kind::Plain, 0},
    {"sub\\%日本語.tmp", Kind::Plain, 0},
    {"%😀.tmp", Kind::Plain, 0},
    // Fullwidth backslashes: best-fitted, the name would lead to "%keep.txt" beside it.
    {"~%＼..＼%keep.txt", Kind::Plain, 0},
    // Below a folder deeper than MAX_PATH.
    {"DEEP%deep.tmp", Kind::Plain, 0},
});

// The folder chain of the deep sample, longer than MAX_PATH with any sandbox.
const std::string kDeepFolder = "deep\\level0dddddddddddddddddddddddddddddddddddddddddddd\\level1dddddddddddddddddddddddddddddddddddddddddddd\\level2dddddddddddddddddddddddddddddddddddddddddddd\\level3dddddddddddddddddddddddddddddddddddddddddddd\\level4dddddddddddddddddddddddddddddddddddddddddddd\\level5dddddddddddddddddddddddddddddddddddddddddddd\\";

const std::vector<Mask>& kMasks = purtest::kSampleMasks;

// The sample's name with the case's tag, and the deep folder for "DEEP".
std::string Named(const char* pattern, const std::string& tag) {
  std::string name = purtest::SampleName(pattern, tag);
  if (name.rfind("DEEP", 0) == 0) name.replace(0, 4, kDeepFolder);
  return name;
}

struct FileState {
  std::string bytes;
  DWORD attributes;
  bool operator==(const FileState&) const = default;
};

void Snapshot(const std::string& folder, const std::string& relative,
              std::map<std::string, FileState>& files) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(folder + relative + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = Utf8(data.cFileName);
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Snapshot(folder, relative + name + "\\", files);
    } else {
      files[relative + name] = {ReadBytes(folder + relative + name), data.dwFileAttributes};
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

std::string Centred(const std::string& text) {
  const size_t spaces = text.size() < kHeaderInner ? kHeaderInner - text.size() : 0;
  return std::string(spaces / 2, ' ') + text + std::string(spaces - spaces / 2, ' ');
}

std::string Environment(const char* name) {
  char buffer[MAX_PATH * 2] = {};
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string TrashFiles() {
  std::string path = "Z:" + Environment("XDG_DATA_HOME") + "/Trash/files/";
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// The Trash must be inside the build tree, or the test would touch a real one.
bool TrashIsSandboxed() {
  const std::string data = Environment("XDG_DATA_HOME");
  return data.rfind(std::string(PUR_BUILD_DIR) + "/", 0) == 0 && data.find("/..") == std::string::npos;
}

// A setting the run cannot read. Whatever it is, the run deletes nothing, says why in the
// journal and ends with exit code 1; the journal's own settings stay readable.
enum class Unreadable {
  none,
  displayValue,  // a display value stored as text, read before the cleaning values
  testMode,      // "Tester" stored as text: its default (off) would really delete
  cleaningKey,   // the cleaning section may not be opened: all its values would be defaults
};

struct RunCase {
  const char* tag;
  bool toRecycleBin;
  DWORD readOnlyHiddenMode;
  DWORD events;
  bool testMode = false;
  Unreadable unreadable = Unreadable::none;
  // The cleaning agent's "PURGOSRV.exe /once" instead of "PURGOWIN.exe /S": the same outcome.
  bool agent = false;
};

void RunAutoClean(const RunCase& c) {
  SCOPED_TRACE(c.tag);
  Sandbox box;
  const std::string diskFolder = box.Folder("disk");
  const std::string journalFolder = box.Folder("journal");
  // A temporary folder of the run's own: a run that empties it by mistake touches nothing else.
  const std::string tempFolder = box.Folder("temp");
  box.Folder("disk\\sub");
  box.Folder("disk\\sub\\deeper");
  box.Folder("disk\\hidden dir");
  for (size_t end = kDeepFolder.find('\\'); end != std::string::npos;
       end = kDeepFolder.find('\\', end + 1)) {
    box.Folder("disk\\" + kDeepFolder.substr(0, end));
  }
  for (const SampleFile& s : kSamples) {
    const std::string name = Named(s.name, c.tag);
    WriteFileBytes(diskFolder + name, ContentFor(name, s.kind), s.attributes);
  }
  SetFileAttributesA((diskFolder + "hidden dir").c_str(), FILE_ATTRIBUTE_HIDDEN);
  std::map<std::string, FileState> before;
  Snapshot(diskFolder, "", before);

  SandboxDrive drive(diskFolder);
  ASSERT_TRUE(drive.Mapped()) << "no drive letter for the sandbox";
  const std::string root = SandboxDrive::Root();
  // The drive shows the sandbox's files.
  ASSERT_TRUE(Exists(root + Named(kSamples[0].name, c.tag)));

  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, c.toRecycleBin ? 1 : 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kReadOnlyHiddenMode, c.readOnlyHiddenMode);
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData,
                  TreeStreamFor(root, kMasks));
  settings.Dword(pur::names::kJournalKey, pur::names::kJournalEnabled, 1);
  settings.String(pur::names::kJournalKey, pur::names::kLocation, journalFolder);
  settings.Dword(pur::names::kJournalKey, pur::names::kEvents, c.events);
  if (c.testMode) settings.Dword(pur::names::kCleaningKey, pur::names::kTestMode, 1);
  const bool refused = c.unreadable != Unreadable::none;
  // A refused run must not empty the temporary folder either, though it is asked to.
  const std::string tempCanary = tempFolder + "canary.tmp";
  if (refused) {
    settings.Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, 1);
    WriteFileBytes(tempCanary, "canary");
  }
  if (c.unreadable == Unreadable::displayValue) {
    settings.String(pur::names::kDisplayKey, pur::names::kShowDetail, "1");
  }
  if (c.unreadable == Unreadable::testMode) {
    settings.String(pur::names::kCleaningKey, pur::names::kTestMode, "1");
  }
  std::optional<purtest::KeyAccessLock> closedKey;
  if (c.unreadable == Unreadable::cleaningKey) {
    const pur::TPURGORegistry store;
    closedKey.emplace(store.RootKey, store.GetVersionKey() + "\\" + pur::names::kCleaningKey,
                      purtest::kNoAccess);
    ASSERT_TRUE(closedKey->Locked());
  }
  const purtest::RegSnapshot settingsBefore = settings.Snapshot();

  Program program(c.agent ? "/once" : "/S", {{"TMP", tempFolder}, {"TEMP", tempFolder}},
                  c.agent ? pur::ProgramFolder() + "PURGOSRV.exe" : ProgramPath());
  ASSERT_TRUE(program.WaitExit(kRunTimeout));
  EXPECT_EQ(program.ExitCode(), refused ? 1u : 0u);
  // The window is centred and the close finds it moved; after an unreadable value it still
  // writes nothing back.
  if (refused) {
    EXPECT_TRUE(settings.Snapshot() == settingsBefore);
    EXPECT_EQ(ReadBytes(tempCanary), "canary");
  }

  // What must be gone, and the line each found file gets.
  const bool allowRoh = c.readOnlyHiddenMode == 0;
  std::set<std::string> gone;
  std::vector<std::string> okLines;
  std::vector<std::string> failedLines;
  int64_t gain = 0;
  for (const SampleFile& s : kSamples) {
    const std::string name = Named(s.name, c.tag);
    const std::string path = root + name;
    const int64_t size = static_cast<int64_t>(ContentFor(name, s.kind).size());
    const bool deleted = !c.testMode && !refused && (s.kind == Kind::Plain || s.kind == Kind::Empty ||
                                         ((s.kind == Kind::ReadOnly || s.kind == Kind::Hidden) &&
                                          allowRoh));
    if (s.kind == Kind::Keep) continue;
    if (deleted) gone.insert(name);
    if (deleted && size > 0) {
      okLines.push_back(" * " + path + " : OK");
      gain += size;
    } else {
      if (!refused) failedLines.push_back(" * " + path + " : FAILED");
    }
  }

  std::map<std::string, FileState> after;
  Snapshot(diskFolder, "", after);
  for (const auto& [name, state] : before) {
    if (gone.count(name)) {
      EXPECT_EQ(after.count(name), 0u) << name << " is still there";
    } else {
      ASSERT_EQ(after.count(name), 1u) << name << " is gone";
      EXPECT_TRUE(after.at(name) == state) << name << " changed";
    }
  }
  for (const auto& [name, state] : after) EXPECT_EQ(before.count(name), 1u) << name << " appeared";

  if (c.toRecycleBin && TrashIsSandboxed()) {
    for (const std::string& name : gone) {
      const std::string leaf = name.substr(name.find_last_of('\\') + 1);
      EXPECT_TRUE(Exists(TrashFiles() + leaf)) << leaf << " is not in the Trash";
    }
  }

  // The journal: the boxed header, then the lines the mask lets through.
  const std::vector<std::string> lines =
      SplitLines(ReadBytes(journalFolder + "PURGOWIN.LOG"));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], kBoxTop);
  EXPECT_EQ(lines[1], "(* " + Centred("Purgo for Windows") + " *)");
  EXPECT_EQ(lines[2], kBoxReport);
  EXPECT_EQ(lines[3].size(), kHeaderWidth) << lines[3];
  EXPECT_EQ(lines[3].rfind("(* ", 0), 0u);
  EXPECT_NE(lines[3].find("Le "), std::string::npos) << lines[3];
  EXPECT_EQ(lines[4], kBoxTop);
  EXPECT_EQ(lines[5], "");
  const std::set<std::string> body(lines.begin() + 6, lines.end());
  if (refused) {
    // The read error, then the refusal; no step ran.
    const std::string reading = c.unreadable == Unreadable::cleaningKey
                                    ? "Erreur à l'ouverture de la clé '"
                                    : "Type de données incorrect pour '";
    EXPECT_EQ(std::count_if(body.begin(), body.end(),
                            [&](const std::string& l) { return l.find(reading) != std::string::npos; }),
              1) << reading;
    EXPECT_EQ(body.count(pur::mainform::kAutoRunRefused), 1u);
    EXPECT_EQ(std::count_if(body.begin(), body.end(), [](const std::string& l) { return !l.empty(); }), 2);
    return;
  }
  const bool messages = (c.events & pur::jeMessages) != 0;
  const bool warnings = (c.events & pur::jeWarnings) != 0;
  for (const std::string& line : okLines) EXPECT_EQ(body.count(line), messages ? 1u : 0u) << line;
  for (const std::string& line : failedLines) EXPECT_EQ(body.count(line), warnings ? 1u : 0u) << line;
  const std::string gainLine = "Gain pour la recherche personnelle : " + pur::FormatSize(gain);
  EXPECT_EQ(body.count(gainLine), (c.events & pur::jeGains) && messages ? 1u : 0u) << gainLine;
  EXPECT_EQ(std::count_if(body.begin(), body.end(),
                          [](const std::string& l) { return l.rfind("Temps mis", 0) == 0; }),
            (c.events & pur::jeElapsedTime) && messages ? 1 : 0);
}

TEST(AutoClean, SandboxDriveIntoTheTrashKeepingReadOnlyAndHidden) {
  RunAutoClean({"t1-", true, 2, 30});
}

TEST(AutoClean, SandboxDrivePermanentlyWithReadOnlyAndHiddenAllowed) {
  RunAutoClean({"t2-", false, 0, 31});
}

TEST(AutoClean, JournalWithWarningsOnly) {
  RunAutoClean({"t3-", false, 1, pur::jeGains | pur::jeWarnings});
}

TEST(AutoClean, AfterAnUnreadableValueTheRunDeletesNothingAndWritesNothing) {
  RunAutoClean({"t4-", false, 0, 31, false, Unreadable::displayValue});
}

TEST(AutoClean, AgentOnceCleansWhatTheProgramWouldIntoTheTrash) {
  RunAutoClean({"t5-", true, 2, 30, false, Unreadable::none, true});
}

TEST(AutoClean, AgentOnceInTestModeDeletesNothing) {
  RunAutoClean({"t6-", false, 0, 31, true, Unreadable::none, true});
}

TEST(AutoClean, TesterStoredAsTextDeletesNothingAndExitsNonZero) {
  RunAutoClean({"t7-", false, 0, 31, false, Unreadable::testMode});
}

TEST(AutoClean, AgentOnceWithTesterStoredAsTextDeletesNothing) {
  RunAutoClean({"t8-", false, 0, 31, false, Unreadable::testMode, true});
}

TEST(AutoClean, CleaningKeyThatCannotBeOpenedDeletesNothing) {
  RunAutoClean({"t9-", false, 0, 31, false, Unreadable::cleaningKey});
}

TEST(AutoClean, AgentOnceWithACleaningKeyThatCannotBeOpenedDeletesNothing) {
  RunAutoClean({"t10-", false, 0, 31, false, Unreadable::cleaningKey, true});
}

}  // namespace
}  // namespace maintest
