// The keep list's reading: what each kind of entry keeps, and what the options box refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CleaningRules.h"
#include "KeepList.h"

namespace pur {
namespace {

struct KeepCase {
  std::vector<std::string> entries;
  const char* path;
  bool kept;
};

TEST(KeepList, EachKindOfEntryKeepsWhatItNames) {
  const KeepCase cases[] = {
      // A folder keeps everything below it, at any depth, in any case, and nothing beside it.
      {{"C:\\Projets\\"}, "C:\\Projets\\a.tmp", true},
      {{"C:\\Projets\\"}, "c:\\projets\\Sous\\Plus\\b.tmp", true},
      {{"C:\\Projets\\"}, "C:\\Projets2\\a.tmp", false},
      {{"C:\\Projets\\"}, "C:\\Autre\\Projets\\a.tmp", false},
      {{"C:\\Projets"}, "C:\\Projets\\a.tmp", false},  // without '\' it is a file's name
      {{"C:\\Projets"}, "C:\\Projets", true},
      {{"C:/Projets/"}, "C:\\Projets\\a.tmp", true},
      {{"C:\\"}, "C:\\x.tmp", true},
      {{"C:\\"}, "D:\\x.tmp", false},
      // A mask alone holds everywhere, by the search's rules.
      {{"*.docx"}, "D:\\a\\b\\Rapport.DOCX", true},
      {{"*.docx"}, "D:\\a\\b\\Rapport.docx.tmp", false},
      {{"~*.*"}, "C:\\t\\~WRL0001", true},
      {{"*."}, "C:\\t\\sansext", true},
      {{"*."}, "C:\\t\\avec.ext", false},
      // A folder with a mask: matching files in that folder and below.
      {{"C:\\Projets\\*.tmp"}, "C:\\Projets\\a.tmp", true},
      {{"C:\\Projets\\*.tmp"}, "C:\\Projets\\sous\\a.tmp", true},
      {{"C:\\Projets\\*.tmp"}, "C:\\Projets\\a.bak", false},
      {{"C:\\Projets\\*.tmp"}, "C:\\Ailleurs\\a.tmp", false},
      {{"C:\\Projets\\garde.tmp"}, "C:\\Projets\\GARDE.TMP", true},
      {{"C:\\Projets\\garde.tmp"}, "C:\\Projets\\garde.tmp2", false},
      // A folder without a drive holds wherever it appears.
      {{"Cache\\*.dat"}, "C:\\Jeu\\Cache\\x.dat", true},
      {{"Cache\\*.dat"}, "C:\\Jeu\\Cache\\sous\\x.dat", true},
      {{"Cache\\*.dat"}, "C:\\Jeu\\MonCache\\x.dat", false},
      {{"Cache\\"}, "C:\\Cache\\x", true},
      // Wildcards in folder parts, accented letters without regard to case.
      {{"C:\\Users\\*\\AppData\\"}, "C:\\Users\\marie\\AppData\\x.tmp", true},
      {{"C:\\Users\\*\\AppData\\"}, "C:\\Users\\marie\\Docs\\x.tmp", false},
      {{"C:\\Données\\"}, "C:\\DONNÉES\\x.tmp", true},
      {{"C:\\Données\\"}, "C:\\Donnees\\x.tmp", false},
      // UNC paths, empty and several entries.
      {{"\\\\serveur\\partage\\"}, "\\\\SERVEUR\\partage\\x.tmp", true},
      {{"\\\\serveur\\partage\\"}, "\\\\serveur\\autre\\x.tmp", false},
      {{}, "C:\\a.tmp", false},
      {{""}, "C:\\a.tmp", false},
      {{"*.bak", "C:\\Projets\\"}, "C:\\Projets\\a.tmp", true},
      {{"*.bak", "C:\\Projets\\"}, "C:\\Autre\\a.bak", true},
      {{"*.bak", "C:\\Projets\\"}, "C:\\Autre\\a.tmp", false},
  };
  for (const KeepCase& c : cases) {
    const TKeepList list(c.entries);
    EXPECT_EQ(list.KeepsFile(c.path), c.kept) << (c.entries.empty() ? "" : c.entries[0]) << " / " << c.path;
  }
}

TEST(KeepList, WholeFoldersAreThoseBelowAFolderEntry) {
  const TKeepList list({"C:\\Temp\\Garder\\", "*.log", "Cache\\"});
  EXPECT_TRUE(list.KeepsWholeFolder("C:\\Temp\\Garder"));
  EXPECT_TRUE(list.KeepsWholeFolder("C:\\TEMP\\GARDER\\sous\\"));
  EXPECT_TRUE(list.KeepsWholeFolder("C:\\Temp\\x\\Cache\\"));
  EXPECT_FALSE(list.KeepsWholeFolder("C:\\Temp\\"));
  EXPECT_FALSE(list.KeepsWholeFolder("C:\\Temp\\Garder2\\"));
}

TEST(KeepList, EntriesTheUserCannotType) {
  const std::pair<const char*, TKeepEntryProblem> cases[] = {
      {"C:\\Projets\\", TKeepEntryProblem::None},
      {"*.docx", TKeepEntryProblem::None},
      {"C:\\Projets\\*.tmp", TKeepEntryProblem::None},
      {"Cache\\*.dat", TKeepEntryProblem::None},
      {"\\\\serveur\\partage\\", TKeepEntryProblem::None},
      {"C:\\", TKeepEntryProblem::None},
      {"", TKeepEntryProblem::Empty},
      {"C:", TKeepEntryProblem::EmptyPart},
      {"C:\\a\\\\b", TKeepEntryProblem::EmptyPart},
      {"\\racine", TKeepEntryProblem::EmptyPart},
      {"\\\\serveur", TKeepEntryProblem::EmptyPart},
      {"C:\\a\\..\\b\\", TKeepEntryProblem::LeavesFolder},
      {".\\b", TKeepEntryProblem::LeavesFolder},
      {"C:\\a.\\b\\", TKeepEntryProblem::TrimmedName},
      {"C:\\a \\*.tmp", TKeepEntryProblem::TrimmedName},
      {"C:\\a\\*.", TKeepEntryProblem::None},
      {"C:a.tmp", TKeepEntryProblem::BadCharacter},
      {"a:b", TKeepEntryProblem::BadCharacter},
      {"a|b", TKeepEntryProblem::BadCharacter},
      {"a\tb", TKeepEntryProblem::BadCharacter},
  };
  for (const auto& [entry, problem] : cases) EXPECT_EQ(CheckKeepEntry(entry), problem) << entry;
  EXPECT_EQ(CheckKeepEntry(std::string(40000, 'a')), TKeepEntryProblem::TooLong);
}

TEST(CleaningRules, AgeCountsWholeDaysOfLastWriteAndTheKeepListComesFirst) {
  const uint64_t now = 134000000000000000ULL;
  const uint64_t day = kFileTicksPerDay;
  const TCleaningRules sevenDays(7, TKeepList({"*.docx"}));
  const struct {
    const TCleaningRules& rules;
    const char* path;
    uint64_t lastWrite;
    TRuleVerdict verdict;
  } cases[] = {
      {sevenDays, "C:\\t\\a.tmp", now - 6 * day, TRuleVerdict::TooRecent},
      {sevenDays, "C:\\t\\a.tmp", now - 7 * day + 1, TRuleVerdict::TooRecent},
      {sevenDays, "C:\\t\\a.tmp", now - 7 * day, TRuleVerdict::Delete},
      {sevenDays, "C:\\t\\a.tmp", now - 8 * day, TRuleVerdict::Delete},
      {sevenDays, "C:\\t\\a.tmp", now + day, TRuleVerdict::TooRecent},
      {sevenDays, "C:\\t\\a.tmp", 0, TRuleVerdict::Delete},
      {sevenDays, "C:\\t\\a.docx", now - 100 * day, TRuleVerdict::Kept},
      {sevenDays, "C:\\t\\a.docx", now, TRuleVerdict::Kept},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rules.Judge(c.path, c.lastWrite, now), c.verdict) << c.path << " " << c.lastWrite;
  // No limits: a file written in the future goes as it always did.
  const TCleaningRules none;
  EXPECT_FALSE(none.Active());
  EXPECT_EQ(none.Judge("C:\\t\\a.tmp", now + day, now), TRuleVerdict::Delete);
  EXPECT_TRUE(TCleaningRules(0, TKeepList({"C:\\k\\"})).Active());
  // An absurd age is cut, never overflowed into "every file is old enough".
  EXPECT_EQ(TCleaningRules(INT32_MAX, TKeepList()).Judge("C:\\a", 0, now), TRuleVerdict::TooRecent);
}

}  // namespace
}  // namespace pur
