// The journal on disk: header, append or new file, CR LF, failures that leave it untouched.
#include <gtest/gtest.h>

#include "FileLog.h"
#include "FileLogFormat.h"
#include "Sandbox.h"

namespace {

constexpr char kTop[] = "(**************************************************************)";
constexpr char kReport[] = "(*                    Rapport de recherche                    *)";

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME when{};
  when.wYear = year;
  when.wMonth = month;
  when.wDay = day;
  when.wHour = hour;
  when.wMinute = minute;
  when.wSecond = second;
  return when;
}

const SYSTEMTIME kAfternoon = At(2024, 2, 7, 14, 5, 9);
const SYSTEMTIME kMidnight = At(2024, 2, 7, 0, 0, 0);

std::string Entry(const std::string& title, const std::string& body, const SYSTEMTIME& when) {
  return pur::BuildLogEntry(title, pur::FormatLogDate(when), body, pur::ProcessLogEncoding());
}

bool EnglishUs() { return GetUserDefaultLCID() == 0x0409; }
bool FrenchExpected() { return GetEnvironmentVariableA("PUR_EXPECT_FRENCH", nullptr, 0) > 0; }

TEST(FormatLogDate, UsesTheUserFormatsAndDropsMidnight) {
  if (!EnglishUs()) GTEST_SKIP() << "user locale " << std::hex << GetUserDefaultLCID();
  EXPECT_EQ(pur::FormatLogDate(kAfternoon), "Le 2/7/2024 2:05:09 PM");
  EXPECT_EQ(pur::FormatLogDate(kMidnight), "Le 2/7/2024");
  SYSTEMTIME oneMillisecond = kMidnight;
  oneMillisecond.wMilliseconds = 1;
  EXPECT_EQ(pur::FormatLogDate(oneMillisecond), "Le 2/7/2024 12:00:00 AM");
}

TEST(FrenchLocale, DateLineInFrench) {
  if (!FrenchExpected()) GTEST_SKIP() << "run by the French ctest entry only";
  EXPECT_EQ(GetUserDefaultLCID(), 0x040Cu);
  EXPECT_EQ(pur::FormatLogDate(kAfternoon), "Le 07/02/2024 14:05:09");
  EXPECT_EQ(pur::FormatLogDate(kMidnight), "Le 07/02/2024");
  sandbox::Folder box;
  pur::WriteFileLog(box / "PURGOWIN.LOG", "Purgo", "corps\r\n", true, kAfternoon);
  const pur::StringList lines = pur::SplitLogLines(sandbox::ReadBytes(box / "PURGOWIN.LOG"));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[3], "(* " + pur::CentreText("Le 07/02/2024 14:05:09", pur::ProcessLogEncoding()) + " *)");
}

TEST(WriteFileLog, NewFileHoldsTheBoxedHeaderAndTheBody) {
  sandbox::Folder box;
  const std::string path = box / "PURGOWIN.LOG";
  const std::string title(40, 'T');
  pur::WriteFileLog(path, title, "line 1\r\nline 2\r\n", true, kMidnight);
  const std::string date = pur::FormatLogDate(kMidnight);
  const std::string expected = std::string(kTop) + "\n" +
                               "(* " + std::string(9, ' ') + title + std::string(9, ' ') + " *)\n" +
                               kReport + "\n" +
                               "(* " + pur::CentreText(date, pur::ProcessLogEncoding()) + " *)\n" +
                               kTop + "\n" +
                               "\n" +
                               "line 1\r\nline 2\r\n" + "\r\n";
  EXPECT_EQ(sandbox::ReadBytes(path), expected);
  EXPECT_EQ(sandbox::CountEntries(box.Path()), 1) << "no temporary file stays behind";
}

TEST(WriteFileLog, HeaderLinesAre64WideUpTo58Characters) {
  sandbox::Folder box;
  const struct { size_t titleLength; size_t lineWidth; } cases[] = {
      {0, 64}, {1, 64}, {40, 64}, {41, 64}, {57, 64}, {58, 64}, {59, 65}, {70, 76},
  };
  for (const auto& c : cases) {
    const std::string path = box / "widths.log";
    pur::WriteFileLog(path, std::string(c.titleLength, 'W'), "", true, kAfternoon);
    const pur::StringList lines = pur::SplitLogLines(sandbox::ReadBytes(path));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0].size(), 64u);
    EXPECT_EQ(lines[1].size(), c.lineWidth) << c.titleLength;
    EXPECT_EQ(lines[2], kReport);
    EXPECT_EQ(lines[3].size(), 64u) << lines[3];
    EXPECT_EQ(lines[4], kTop);
  }
}

TEST(WriteFileLog, AppendKeepsOldEntriesAndNewFileReplacesThem) {
  sandbox::Folder box;
  const std::string path = box / "journal.log";
  const std::string first = Entry("First", "one\r\n", kAfternoon);
  const std::string second = Entry("Second", "two\r\n", kAfternoon);

  pur::WriteFileLog(path, "First", "one\r\n", false, kAfternoon);  // missing: created
  EXPECT_EQ(sandbox::ReadBytes(path), first + "\r\n");

  pur::WriteFileLog(path, "Second", "two\r\n", false, kAfternoon);
  const std::string twice = sandbox::ReadBytes(path);
  EXPECT_EQ(twice, pur::JoinLogLines(pur::SplitLogLines(first + "\r\n")) + second + "\r\n");
  // Earlier entries now end every line with CR LF; the newest header still uses LF alone.
  const std::string older = twice.substr(0, twice.size() - second.size() - 2);
  for (size_t i = 0; i < older.size(); ++i) {
    if (older[i] == '\n') {
      EXPECT_EQ(older[i - 1], '\r') << "bare LF at " << i;
    }
  }
  EXPECT_NE(twice.find(std::string(kTop) + "\n(* "), std::string::npos);
  EXPECT_EQ(twice.substr(twice.size() - 2), "\r\n");

  pur::WriteFileLog(path, "Third", "three\r\n", true, kAfternoon);
  EXPECT_EQ(sandbox::ReadBytes(path), Entry("Third", "three\r\n", kAfternoon) + "\r\n");
  EXPECT_EQ(sandbox::CountEntries(box.Path()), 1);
}

TEST(WriteFileLog, AppendsBelowAFolderDeeperThanMaxPath) {
  sandbox::Folder box;
  const std::string path = sandbox::MakeDeepFolder(box.Path(), 400) + "PURGOWIN.LOG";
  pur::WriteFileLog(path, "First", "one\r\n", false, kAfternoon);
  pur::WriteFileLog(path, "Second", "two\r\n", false, kAfternoon);
  const std::string first = Entry("First", "one\r\n", kAfternoon);
  EXPECT_EQ(sandbox::ReadBytes(path), pur::JoinLogLines(pur::SplitLogLines(first + "\r\n")) +
                                          Entry("Second", "two\r\n", kAfternoon) + "\r\n");
  EXPECT_EQ(sandbox::CountEntries(path.substr(0, path.size() - 12)), 1) << "a temporary file was left";
}

TEST(WriteFileLog, AppendKeepsOldCp1252BytesAndWritesUtf8) {
  // A journal of the 1252 program: its bytes stay as they are, apart from its line ends.
  sandbox::Folder box;
  const std::string path = box / "journal.log";
  const std::string old = "Suppression r\xE9ussie : C:\\t\xE9mp\\\x80\x9F.tmp\nFin\r\n";
  sandbox::WriteBytes(path, old);
  pur::WriteFileLog(path, "Recherche terminée", "Supprimé : été.tmp\r\n", false, kAfternoon);
  EXPECT_EQ(sandbox::ReadBytes(path),
            "Suppression r\xE9ussie : C:\\t\xE9mp\\\x80\x9F.tmp\r\nFin\r\n" +
                Entry("Recherche terminée", "Supprimé : été.tmp\r\n", kAfternoon) + "\r\n");
}

TEST(WriteFileLog, AnExistingJournalThatCannotBeReadIsLeftUntouched) {
  // Held without shared reading: with shared deletion it could still be replaced.
  const DWORD holderSharing[] = {0, FILE_SHARE_WRITE | FILE_SHARE_DELETE};
  for (DWORD sharing : holderSharing) {
    sandbox::Folder box;
    const std::string path = box / "held.log";
    const std::string old = "old entry\r\nkeep\r\n";
    sandbox::WriteBytes(path, old);
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    try {
      pur::WriteFileLog(path, "App", "body\r\n", false, kAfternoon);
      ADD_FAILURE() << "no failure, sharing " << sharing;
    } catch (const pur::EFileLog& error) {
      EXPECT_EQ(std::string(error.what()), "Impossible de créer le fichier " + path);
    }
    CloseHandle(holder);
    EXPECT_EQ(sandbox::ReadBytes(path), old) << "sharing " << sharing;
    EXPECT_EQ(sandbox::CountEntries(box.Path()), 1) << "sharing " << sharing;
  }
}

TEST(WriteFileLog, FailsWithTheFileNameWhenItCannotBeWritten) {
  sandbox::Folder box;
  sandbox::MakeFolder(box / "adir");
  const std::string cases[] = {box / "missing\\journal.log", box / "adir", ""};
  for (const std::string& path : cases) {
    for (bool newFile : {false, true}) {
      try {
        pur::WriteFileLog(path, "App", "body\r\n", newFile, kAfternoon);
        ADD_FAILURE() << "no failure for '" << path << "'";
      } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Impossible de créer le fichier " + path);
      }
    }
  }
  EXPECT_EQ(sandbox::CountEntries(box.Path()), 1);
  EXPECT_EQ(sandbox::CountEntries(box / "adir\\"), 0);
}

}  // namespace
