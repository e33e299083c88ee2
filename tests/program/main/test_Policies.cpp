// Administrators' policies over the user's own settings, in unattended runs: PURGOWIN.exe /S
// and the agent's PURGOSRV.exe /once obey each policy where the user's setting says otherwise,
// the machine's policy wins over the user's, a policy that cannot be read refuses the run,
// and the user's own stored values come out of the run untouched.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BuildTreeTrash.h"
#include "ProgramDriver.h"

namespace maintest {
namespace {

using namespace pur::names;

enum class Outcome { Deleted, IntoTheTrash, Kept, Refused };

struct PolicyCase {
  const char* tag;
  bool agent;
  const char* name;  // of the "Nettoyage" or "Journal" value the user set against the policy
  const char* section;
  DWORD user;
  DWORD machinePolicy;  // kNone: no policy in that root
  DWORD userPolicy;
  bool policyAsText = false;  // the machine's policy stored with the wrong type
  Outcome outcome;
  bool journal;
};

constexpr DWORD kNone = 99;

const PolicyCase kCases[] = {
    {"corbeille", false, kSendToRecycleBin, kCleaningKey, 0, 1, kNone, false, Outcome::IntoTheTrash, false},
    {"corbeille-agent", true, kSendToRecycleBin, kCleaningKey, 0, kNone, 1, false, Outcome::IntoTheTrash, false},
    {"tester", false, kTestMode, kCleaningKey, 0, kNone, 1, false, Outcome::Kept, false},
    {"tester-agent", true, kTestMode, kCleaningKey, 0, 1, kNone, false, Outcome::Kept, false},
    {"journal", false, kJournalEnabled, kJournalKey, 0, 1, kNone, false, Outcome::Deleted, true},
    {"journal-agent", true, kJournalEnabled, kJournalKey, 0, kNone, 1, false, Outcome::Deleted, true},
    // The machine's policy wins over the user's policy.
    {"machine-wins", false, kTestMode, kCleaningKey, 1, 0, 1, false, Outcome::Deleted, false},
    {"unreadable", false, kTestMode, kCleaningKey, 0, 0, kNone, true, Outcome::Refused, false},
    {"unreadable-agent", true, kTestMode, kCleaningKey, 0, 0, kNone, true, Outcome::Refused, false},
};

void RunUnderPolicy(const PolicyCase& c) {
  SCOPED_TRACE(c.tag);
  Sandbox box;
  const std::string disk = box.Folder("disk");
  const std::string journal = box.Folder("journal");
  const std::string temp = box.Folder("temp");
  const std::string file = std::string("politique-") + c.tag + ".tmp";
  WriteFileBytes(disk + file, "contenu");

  Settings settings;
  settings.Quiet();
  settings.Dword(kCleaningKey, kRunPersonalSearch, 1);
  settings.Dword(kCleaningKey, kConfirmDelete, 0);
  settings.Dword(kCleaningKey, kSendToRecycleBin, 0);
  settings.Binary(kPersonalKey, kPersonalSearchData, TreeStreamFor(disk, {{"*.tmp", false}}));
  settings.String(kJournalKey, kLocation, journal);
  settings.Dword(c.section, c.name, c.user);

  Policies policies;
  if (c.policyAsText) {
    policies.Text(HKEY_LOCAL_MACHINE, c.section, c.name, "1");
  } else if (c.machinePolicy != kNone) {
    policies.Dword(HKEY_LOCAL_MACHINE, c.section, c.name, c.machinePolicy);
  }
  if (c.userPolicy != kNone) policies.Dword(HKEY_CURRENT_USER, c.section, c.name, c.userPolicy);

  Program program(c.agent ? "/once" : "/S", {{"TMP", temp}, {"TEMP", temp}},
                  c.agent ? pur::ProgramFolder() + "PURGOSRV.exe" : ProgramPath());
  ASSERT_TRUE(program.WaitExit(kRunTimeout));
  EXPECT_EQ(program.ExitCode(), c.outcome == Outcome::Refused ? 1u : 0u);
  const bool gone = c.outcome == Outcome::Deleted || c.outcome == Outcome::IntoTheTrash;
  EXPECT_EQ(Exists(disk + file), !gone);
  if (purtest::TrashIsSandboxed()) EXPECT_EQ(Exists(purtest::TrashFiles() + file), c.outcome == Outcome::IntoTheTrash);
  EXPECT_EQ(Exists(journal + "PURGOWIN.LOG"), c.journal);
  // The policy never reaches the user's own settings, not even through the close's save.
  EXPECT_EQ(settings.ReadDword(c.section, c.name), c.user);
}

TEST(Policies, UnattendedRunsObeyThemOverTheUsersSettings) {
  for (const PolicyCase& c : kCases) RunUnderPolicy(c);
}

}  // namespace
}  // namespace maintest
