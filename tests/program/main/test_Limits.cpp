// The user's limits in unattended runs, PURGOWIN.exe /S and the agent's PURGOSRV.exe /once:
// files aged one day less than the minimum age, exactly it and one day more, in a temporary
// folder of the run's own and in a sandbox folder searched for *.tmp; a kept folder and a kept
// mask. Only what the limits allow goes, the folders of the temporary folder go only when
// emptied and old enough, and the journal counts what stayed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ProgramDriver.h"
#include "uUserMainPrgm_Run.h"
#include "uUserMainPrgm_Texts.h"

namespace maintest {
namespace {

constexpr uint64_t kTicksPerDay = 24ULL * 3600 * 10000000;

struct AgedFile {
  const char* name;
  int days;
  bool keptByMask;  // "garde*.tmp"
};

// The same files in both places; "Garde\" is a kept folder in both.
const AgedFile kFiles[] = {
    {"young.tmp", 6, false},         {"exact.tmp", 7, false},        {"old.tmp", 8, false},
    {"garde-old.tmp", 8, true},      {"Garde\\old.tmp", 8, false},   {"vieux\\old.tmp", 8, false},
    {"recent\\old.tmp", 8, false},   {"mixte\\young.tmp", 6, false},
};
// Folders get their age after their files were written.
const std::pair<const char*, int> kFolders[] = {{"Garde", 8}, {"vieux", 8}, {"recent", 0}, {"mixte", 8}};

bool SetAge(const std::string& path, int days, bool folder) {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
                         static_cast<uint64_t>(days) * kTicksPerDay;
  const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool set = SetFileTime(handle, nullptr, nullptr, &time) != FALSE;
  CloseHandle(handle);
  return set;
}

void Populate(Sandbox& box, const std::string& place) {
  box.Folder(place);
  for (const auto& [folder, days] : kFolders) box.Folder(place + "\\" + folder);
  const std::string root = box.Path() + place + "\\";
  for (const AgedFile& f : kFiles) {
    WriteFileBytes(root + f.name, std::string("contenu de ") + f.name);
    ASSERT_TRUE(SetAge(root + f.name, f.days, false)) << f.name;
  }
  for (const auto& [folder, days] : kFolders) ASSERT_TRUE(SetAge(root + folder, days, true)) << folder;
}

struct LimitsCase {
  const char* tag;
  bool agent;
  int days;
  bool keep;
};

bool Kept(const LimitsCase& c, const AgedFile& f) {
  return c.keep && (f.keptByMask || std::string(f.name).rfind("Garde\\", 0) == 0);
}

bool Stays(const LimitsCase& c, const AgedFile& f) { return Kept(c, f) || f.days < c.days; }

void RunWithLimits(const LimitsCase& c) {
  SCOPED_TRACE(c.tag);
  Sandbox box;
  Populate(box, "disk");
  Populate(box, "temp");
  const std::string disk = box.Path() + "disk\\";
  const std::string temp = box.Path() + "temp\\";
  const std::string journal = box.Folder("journal");
  WriteFileBytes(disk + "note.txt", "pas un masque");

  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, 0);
  if (c.days != 0) settings.Dword(pur::names::kCleaningKey, pur::names::kMinimumAgeDays, static_cast<DWORD>(c.days));
  if (c.keep) {
    settings.MultiString(pur::names::kCleaningKey, pur::names::kKeepList,
                         {disk + "Garde\\", temp + "garde\\", "garde*.tmp"});
  }
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData, TreeStreamFor(disk, {{"*.tmp", true}}));
  settings.Dword(pur::names::kJournalKey, pur::names::kJournalEnabled, 1);
  settings.String(pur::names::kJournalKey, pur::names::kLocation, journal);

  Program program(c.agent ? "/once" : "/S", {{"TMP", temp}, {"TEMP", temp}},
                  c.agent ? pur::ProgramFolder() + "PURGOSRV.exe" : ProgramPath());
  ASSERT_TRUE(program.WaitExit(kRunTimeout));
  EXPECT_EQ(program.ExitCode(), 0u);

  int tooRecent = 0;
  int kept = 0;
  for (const AgedFile& f : kFiles) {
    EXPECT_EQ(Exists(disk + f.name), Stays(c, f)) << "disk\\" << f.name;
    EXPECT_EQ(Exists(temp + f.name), Stays(c, f)) << "temp\\" << f.name;
    if (Kept(c, f)) {
      ++kept;
    } else if (f.days < c.days) {
      ++tooRecent;
    }
  }
  EXPECT_TRUE(Exists(disk + "note.txt"));
  // A folder of the temporary folder goes when nothing in it stayed and it was old enough.
  for (const auto& [folder, days] : kFolders) {
    bool holds = false;
    for (const AgedFile& f : kFiles) {
      holds = holds || (std::string(f.name).rfind(std::string(folder) + "\\", 0) == 0 && Stays(c, f));
    }
    EXPECT_EQ(Exists(temp + folder), holds || days < c.days) << "temp\\" << folder;
    EXPECT_TRUE(Exists(disk + folder)) << "disk\\" << folder;  // the search never removes folders
  }

  const std::vector<std::string> lines = SplitLines(ReadBytes(journal + "PURGOWIN.LOG"));
  const auto count = [&](const std::string& line) { return std::count(lines.begin(), lines.end(), line); };
  using namespace pur::mainform;
  const bool limits = c.days != 0 || c.keep;
  EXPECT_EQ(count(pur::LeftByRulesLine(kLeftInTempFolder, tooRecent, kept)), limits ? 1 : 0);
  EXPECT_EQ(count(pur::LeftByRulesLine(kLeftBySearch, tooRecent, kept)), limits ? 1 : 0);
}

TEST(Limits, NoLimitsCleanAsAlways) { RunWithLimits({"none", false, 0, false}); }
TEST(Limits, MinimumAgeLeavesTheYoungerFiles) { RunWithLimits({"age", false, 7, false}); }
TEST(Limits, AgentOnceObeysTheMinimumAge) { RunWithLimits({"age-agent", true, 7, false}); }
TEST(Limits, KeepListAndAgeTogether) { RunWithLimits({"keep-age", false, 7, true}); }
TEST(Limits, AgentOnceObeysTheKeepList) { RunWithLimits({"keep-agent", true, 0, true}); }

}  // namespace
}  // namespace maintest
