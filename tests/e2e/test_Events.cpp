// The runs' events, as an administrator collects them. The message table is in the built
// programs and formats each event's text; an unattended run (PURGOWIN /S, PURGOSRV /once)
// writes one information event at its end and an error event when it refuses to clean.
// Wine keeps no event log: ReportEventW prints its strings on the "eventlog" debug channel
// (WINEDEBUG=+eventlog) and the call on "fixme:advapi". This test's standard error goes to a
// file (see CMakeLists.txt), and the programs it starts write theirs there too.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "EventLog.h"
#include "ProgramDriver.h"
#include "PurgoEvents.h"
#include "uUserMainPrgm_Format.h"

namespace maintest {
namespace {

// One ReportEventW call as Wine printed it.
struct TPrintedEvent {
  WORD Type = 0;
  DWORD Id = 0;
  std::vector<std::string> Strings;
};

// Wine's debugstr_w form back to UTF-8: \" \\ \n \r \t and \XXXX (four hex digits).
std::string DecodeDebugString(const std::string& text) {
  std::wstring wide;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      wide += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
      continue;
    }
    const char next = text[++i];
    if (next == 'n') wide += L'\n';
    else if (next == 'r') wide += L'\r';
    else if (next == 't') wide += L'\t';
    else if (std::isxdigit(static_cast<unsigned char>(next)) && i + 3 < text.size()) {
      wide += static_cast<wchar_t>(std::stoul(text.substr(i, 4), nullptr, 16));
      i += 3;
    } else {
      wide += static_cast<wchar_t>(next);
    }
  }
  return Utf8(wide);
}

// The events that process `pid` reported, from the lines Wine printed with +pid:
//   0123:0124:fixme:advapi:ReportEventW (HANDLE,0x0004,0x0000,0x40000064,SID,0x0008,...): stub
//   0123:0124:trace:eventlog:ReportEventW L"programme"        (one line per string)
std::vector<TPrintedEvent> EventsOf(const std::string& printed, DWORD pid) {
  std::vector<TPrintedEvent> events;
  std::istringstream lines(printed);
  size_t stringsLeft = 0;
  for (std::string line; std::getline(lines, line);) {
    unsigned linePid = 0;
    int prefix = 0;
    if (std::sscanf(line.c_str(), "%x:%*x:%n", &linePid, &prefix) < 1 || prefix == 0 || linePid != pid) continue;
    const std::string rest = line.substr(static_cast<size_t>(prefix));
    unsigned type = 0, category = 0, id = 0, count = 0;
    if (std::sscanf(rest.c_str(), "fixme:advapi:ReportEventW (%*[^,],0x%x,0x%x,0x%x,%*[^,],0x%x,", &type, &category, &id,
                    &count) == 4) {
      events.push_back({static_cast<WORD>(type), id, {}});
      stringsLeft = count;
      continue;
    }
    const size_t quote = rest.find(":eventlog:ReportEventW L\"");
    if (quote == std::string::npos || events.empty() || stringsLeft == 0) continue;
    std::string text = rest.substr(quote + 25);
    if (!text.empty() && text.back() == '"') text.pop_back();
    events.back().Strings.push_back(DecodeDebugString(text));
    --stringsLeft;
  }
  return events;
}

std::string WindowsPath(std::string unixPath) {
  std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
  return "Z:" + unixPath;
}

// This process's standard error, which the programs it starts share.
std::string PrintedSoFar() { return ReadBytes(WindowsPath(PUR_STDERR_FILE)); }

// Starts the program with the eventlog channel on and returns the events it reported.
std::vector<TPrintedEvent> RunAndCollect(const std::string& exe, const std::string& arguments,
                                         std::map<std::string, std::string> environment, DWORD expectedExit) {
  environment["WINEDEBUG"] = "+pid,+eventlog";
  Program program(arguments, environment, exe);
  EXPECT_TRUE(program.Started()) << exe;
  if (!program.Started()) return {};
  EXPECT_TRUE(program.WaitExit(kRunTimeout)) << exe << " did not end";
  EXPECT_EQ(program.ExitCode(), expectedExit);
  return EventsOf(PrintedSoFar(), program.Id());
}

std::string AgentPath() { return pur::ProgramFolder() + "PURGOSRV.exe"; }

// A run over a sandbox: a temporary folder of its own holding one file, and a folder where
// the personal search finds one deletable file and one read-only file that it may not delete.
struct RunCase {
  const char* name;
  bool agent;
  bool testMode;
  bool tempStep;
};

constexpr size_t kTempBytes = 3000;
constexpr size_t kFoundBytes = 1000;

void ExpectRunEndedEvent(const RunCase& c) {
  SCOPED_TRACE(c.name);
  Sandbox box;
  const std::string disk = box.Folder("disk");
  const std::string temp = box.Folder("temp");
  WriteFileBytes(temp + "old.tmp", std::string(kTempBytes, 't'));
  WriteFileBytes(disk + "a.tmp", std::string(kFoundBytes, 'a'));
  WriteFileBytes(disk + "b.tmp", std::string(500, 'b'), FILE_ATTRIBUTE_READONLY);
  WriteFileBytes(disk + "keep.txt", "kept");

  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, c.tempStep ? 1 : 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kReadOnlyHiddenMode, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kTestMode, c.testMode ? 1 : 0);
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData, TreeStreamFor(disk, {{"*.tmp", false}}));

  const auto events = RunAndCollect(c.agent ? AgentPath() : ProgramPath(), c.agent ? "/once" : "/S",
                                    {{"TMP", temp}, {"TEMP", temp}}, 0);
  ASSERT_EQ(events.size(), 1u) << "one event for the run";
  EXPECT_EQ(events[0].Type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(events[0].Id, static_cast<DWORD>(MSG_RUN_ENDED));

  const int64_t tempGain = c.tempStep ? static_cast<int64_t>(kTempBytes) : -1;
  const int64_t persoGain = c.testMode ? 0 : static_cast<int64_t>(kFoundBytes);
  const std::vector<std::string> expected = {
      c.agent ? pur::kRunnerAgent : pur::kRunnerAutoMode,
      c.tempStep ? pur::FormatSize(tempGain) : pur::kStepNotRun,
      std::to_string(c.tempStep ? tempGain : 0),
      pur::FormatSize(persoGain),
      std::to_string(persoGain),
      c.testMode ? "0" : "1",
      c.testMode ? "2" : "1",
      c.testMode ? pur::kYes : pur::kNo,
  };
  EXPECT_EQ(events[0].Strings, expected);
  // The run itself did what the event says.
  EXPECT_EQ(Exists(disk + "a.tmp"), c.testMode);
  EXPECT_TRUE(Exists(disk + "b.tmp"));
  EXPECT_EQ(Exists(temp + "old.tmp"), !c.tempStep);
  SetFileAttributesA((disk + "b.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Events, UnattendedRunEndsWithOneInformationEvent) {
  const RunCase cases[] = {
      {"PURGOWIN /S", false, false, true},
      {"PURGOWIN /S, Tester, no temporary folder", false, true, false},
      {"PURGOSRV /once", true, false, true},
  };
  for (const RunCase& c : cases) ExpectRunEndedEvent(c);
}

// A value stored with the wrong type: the run refuses, says why in an error event, and
// reports no end of run.
TEST(Events, RefusedRunReportsAnErrorWithItsReasons) {
  for (const bool agent : {false, true}) {
    SCOPED_TRACE(agent ? "PURGOSRV /once" : "PURGOWIN /S");
    Sandbox box;
    const std::string temp = box.Folder("temp");
    Settings settings;
    settings.Quiet();
    settings.Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, 1);
    settings.String(pur::names::kDisplayKey, pur::names::kShowDetail, "1");

    const auto events = RunAndCollect(agent ? AgentPath() : ProgramPath(), agent ? "/once" : "/S",
                                      {{"TMP", temp}, {"TEMP", temp}}, pur::mainform::kExitSettingsUnreadable);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events[0].Id, static_cast<DWORD>(MSG_RUN_REFUSED));
    ASSERT_EQ(events[0].Strings.size(), 3u);
    EXPECT_EQ(events[0].Strings[0], agent ? pur::kRunnerAgent : pur::kRunnerAutoMode);
    EXPECT_EQ(events[0].Strings[1], pur::mainform::kAutoRunRefused);
    const std::string reason = "Lecture des options échouée (Type de données incorrect pour '";
    EXPECT_EQ(events[0].Strings[2].rfind(reason, 0), 0u) << events[0].Strings[2];
    EXPECT_NE(events[0].Strings[2].find(pur::names::kShowDetail), std::string::npos) << events[0].Strings[2];
  }
}

// What the event viewer shows: the table in both programs, each message with its severity in
// its identifier, its inserts in place and its lines ending in CR LF.
TEST(Events, MessageTableFormatsEveryEvent) {
  const std::vector<std::wstring> inserts = {L"/S", L"2,93 Ko", L"3000", L"0,98 Ko", L"1000", L"1", L"2", L"non"};
  const struct {
    DWORD id;
    WORD severityBits;
    const wchar_t* text;
  } messages[] = {
      {MSG_RUN_ENDED, 1,
       L"Nettoyage terminé (/S).\r\nDossier temporaire : 2,93 Ko (3000 octets)\r\n"
       L"Recherche personnelle : 0,98 Ko (1000 octets)\r\nFichiers supprimés : 1, non supprimés : 2\r\n"
       L"Tester : non\r\n"},
      {MSG_RUN_REFUSED, 3, L"2,93 Ko (/S)\r\n3000\r\n"},
      {MSG_RUN_HELD_BACK, 2, L"2,93 Ko (/S)\r\n"},
      {MSG_RUN_FAILED, 3, L"2,93 Ko (/S)\r\n"},
  };
  std::vector<DWORD_PTR> arguments;
  for (const std::wstring& insert : inserts) arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
  for (const std::string& exe : {ProgramPath(), AgentPath()}) {
    SCOPED_TRACE(exe);
    const HMODULE module = LoadLibraryExW(Wide(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(11) /* RT_MESSAGETABLE */), nullptr);
    for (const auto& m : messages) {
      EXPECT_EQ(m.id >> 30, m.severityBits) << std::hex << m.id;
      wchar_t text[1024] = {};
      const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, m.id, 0, text,
                                          1024, reinterpret_cast<va_list*>(arguments.data()));
      EXPECT_EQ(std::wstring(text, length), m.text) << std::hex << m.id;
    }
    FreeLibrary(module);
  }
}

// The end-of-run event's inserts, in the message's order, for the values a run can end with.
TEST(Events, RunEndedStringsGiveEachStepBothWays) {
  const struct {
    pur::TRunSummary run;
    std::vector<std::string> strings;
  } rows[] = {
      {{pur::kRunnerProgram, -1, -1, 0, 0, false}, {"programme", "non effectué", "0", "non effectué", "0", "0", "0", "non"}},
      {{pur::kRunnerAgent, 0, 5000000000, 3, 1, false},
       {"agent", pur::FormatSize(0), "0", pur::FormatSize(5000000000), "5000000000", "3", "1", "non"}},
      {{pur::kRunnerAutoMode, 1536, 0, 0, 4, true}, {"/S", pur::FormatSize(1536), "1536", pur::FormatSize(0), "0", "0", "4", "oui"}},
  };
  for (const auto& row : rows) EXPECT_EQ(pur::RunEndedStrings(row.run), row.strings) << row.run.Runner;
}

}  // namespace
}  // namespace maintest
