// Cleaning runs of the real program, driven by messages: the file list confirmed or
// cancelled, "Tester" mode, a Stop click during a search, the first-start warning, and the
// automatic mode closing one second after its personal search (or staying open without it).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ProgramDriver.h"
#include "uUserMainPrgm_Format.h"

namespace maintest {
namespace {

constexpr char kUserAbortError[] = "Erreur 1001: User abort";
constexpr char kPersoGainPrefix[] = "Gain pour la recherche personnelle : ";

std::string Line(const char* format, const std::string& argument) {
  std::string text = format;
  text.replace(text.find("%s"), 2, argument);
  return text;
}

// A sandbox with a disk folder to search, a journal folder and a temporary folder.
class RunSetUp {
 public:
  RunSetUp() {
    disk_ = box_.Folder("disk");
    journal_ = box_.Folder("journal");
    temp_ = box_.Folder("tmp");
    box_.Folder("disk\\sub");
    struct File {
      const char* name;
      size_t size;
      bool matched;
    } files[] = {
        {"a.tmp", 100, true},       {"~draft.doc", 250, true}, {"sub\\b.tmp", 1000, true},
        {"keep.txt", 50, false},    {"a.tmp.txt", 70, false},  {"sub\\keep.dat", 30, false},
    };
    for (const File& f : files) {
      const std::string path = disk_ + f.name;
      WriteFileBytes(path, std::string(f.size, 'x'));
      (f.matched ? matched_ : kept_).push_back(path);
      if (f.matched) matchedBytes_ += static_cast<int64_t>(f.size);
    }
    WriteFileBytes(temp_ + "old.tmp", std::string(2048, 't'));
  }

  // Settings of a run over the disk folder; the caller adds its own.
  void Write(Settings& settings) const {
    settings.Quiet();
    settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
    settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, 0);
    settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData,
                    TreeStreamFor(disk_, {{"*.tmp", true}, {"~*.*", true}}));
    settings.Dword(pur::names::kJournalKey, pur::names::kJournalEnabled, 1);
    settings.String(pur::names::kJournalKey, pur::names::kLocation, journal_);
    settings.Dword(pur::names::kJournalKey, pur::names::kEvents, 31);
  }
  // The program's temporary folder is the sandbox's.
  std::map<std::string, std::string> Environment() const {
    return {{"TMP", temp_}, {"TEMP", temp_}};
  }

  const std::vector<std::string>& Matched() const { return matched_; }
  const std::vector<std::string>& Kept() const { return kept_; }
  int64_t MatchedBytes() const { return matchedBytes_; }
  std::string JournalFile() const { return journal_ + "PURGOWIN.LOG"; }
  const std::string& Temp() const { return temp_; }

 private:
  Sandbox box_;
  std::string disk_;
  std::string journal_;
  std::string temp_;
  std::vector<std::string> matched_;
  std::vector<std::string> kept_;
  int64_t matchedBytes_ = 0;
};

bool AllExist(const std::vector<std::string>& paths) {
  return std::all_of(paths.begin(), paths.end(), [](const std::string& p) { return Exists(p); });
}
bool NoneExists(const std::vector<std::string>& paths) {
  return std::none_of(paths.begin(), paths.end(), [](const std::string& p) { return Exists(p); });
}

size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.rfind(prefix, 0) == 0;
  }));
}

TEST(MainRun, ConfirmedListIsDeletedAndSummarised) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  settings.Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, 1);
  Program program("", setUp.Environment());
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonStartStop));

  HWND dialog = WaitFileList(program);
  ASSERT_NE(dialog, nullptr) << program.Log();
  std::vector<std::string> rows = FileListRows(program, dialog);
  std::vector<std::string> expected = setUp.Matched();
  std::sort(rows.begin(), rows.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(TextOf(program.Item(ids::kIdButtonStartStop)), ids::kStopCaption);
  EXPECT_EQ(program.Label(), "Nettoyage du disque dur ...");
  // While the run is on the stack neither a close request nor a (disabled) Restart may
  // unbind the library under it.
  EXPECT_FALSE(IsWindowEnabled(program.Item(ids::kIdRestartButton)));
  SendMessageA(program.Item(ids::kIdRestartButton), BM_CLICK, 0, 0);
  PostMessageA(program.Window(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(program.WaitExit(1500ms)) << "closed during a run";
  EXPECT_FALSE(program.LogHas("Finalisation du module de recherche ...")) << program.Log();
  Click(GetDlgItem(dialog, IDOK));

  ASSERT_TRUE(program.WaitLogPrefix(kPersoGainPrefix)) << program.Log();
  ASSERT_TRUE(program.WaitIdle()) << program.Log();
  EXPECT_TRUE(NoneExists(setUp.Matched()));
  EXPECT_TRUE(AllExist(setUp.Kept()));
  EXPECT_FALSE(Exists(setUp.Temp() + "old.tmp"));
  for (const std::string& path : setUp.Matched()) {
    EXPECT_TRUE(program.LogHas(Line(" * %s : OK", path))) << path << "\n" << program.Log();
  }
  EXPECT_TRUE(program.LogHas("Le dossier temporaire a été vidé."));
  EXPECT_TRUE(program.LogHasPrefix("Temps mis pour la recherche        : 00:00:"));
  EXPECT_TRUE(program.LogHas(Line("Gain pour le dossier temporaire    : %s", pur::FormatSize(2048)))) << program.Log();
  EXPECT_TRUE(program.LogHas(Line("Gain pour la recherche personnelle : %s", pur::FormatSize(setUp.MatchedBytes()))));
  EXPECT_TRUE(program.LogHas("                        Total      : " +
                             pur::FormatSize(2048 + setUp.MatchedBytes())))
      << program.Log();

  // The journal holds the run's lines after its header.
  const std::string journal = ReadBytes(setUp.JournalFile());
  ASSERT_FALSE(journal.empty());
  for (const std::string& path : setUp.Matched()) {
    EXPECT_NE(journal.find(Line(" * %s : OK", path) + "\r\n"), std::string::npos) << journal;
  }
  EXPECT_NE(journal.find(Line("Gain pour la recherche personnelle : %s", pur::FormatSize(setUp.MatchedBytes()))),
            std::string::npos);
  EXPECT_NE(journal.find(std::string("Le dossier temporaire a été vidé.") + "\r\n"), std::string::npos);

  // Idle again, the window closes.
  PostMessageA(program.Window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.WaitExit(10s));
}

TEST(MainRun, CancelDeletesNothing) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  Program program;
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonStartStop));
  HWND dialog = WaitFileList(program);
  ASSERT_NE(dialog, nullptr) << program.Log();
  Click(GetDlgItem(dialog, IDCANCEL));
  ASSERT_TRUE(program.WaitLogPrefix(kPersoGainPrefix)) << program.Log();
  EXPECT_TRUE(AllExist(setUp.Matched()));
  EXPECT_TRUE(AllExist(setUp.Kept()));
  EXPECT_EQ(CountPrefix(program.LogLines(), " * "), 0u) << program.Log();
  EXPECT_TRUE(program.LogHas(Line("Gain pour la recherche personnelle : %s", pur::FormatSize(0))));
  // The temporary-folder step was off: neither its line nor the total.
  EXPECT_FALSE(program.LogHasPrefix("Gain pour le dossier temporaire"));
  EXPECT_FALSE(program.LogHasPrefix("                        Total"));
}

// "Toujours garder ce fichier" on a row of the review list: the row is unticked at once, the
// entry is in the stored keep list before the run ends, and the file stays.
TEST(MainRun, KeepFromTheReviewListIsStoredAndItsFileStays) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  settings.MultiString(pur::names::kCleaningKey, pur::names::kKeepList, {"*.nothing"});
  Program program;
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonStartStop));
  HWND dialog = WaitFileList(program);
  ASSERT_NE(dialog, nullptr) << program.Log();
  const std::vector<std::string> rows = FileListRows(program, dialog);
  ASSERT_EQ(rows.size(), setUp.Matched().size());
  const int row = 1;
  ASSERT_TRUE(WaitFor([&] { return FileListRowTicked(dialog, row); }, 10s));
  const POINT at = FileListRowPoint(program, dialog, row);
  PostMessageA(GetDlgItem(dialog, kFileListViewId), WM_CONTEXTMENU,
               reinterpret_cast<WPARAM>(GetDlgItem(dialog, kFileListViewId)), MAKELPARAM(at.x, at.y));
  HWND menu = WaitPopupMenu(dialog);
  ASSERT_NE(menu, nullptr);
  PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); }, 5s));
  SendMessageA(dialog, WM_NULL, 0, 0);
  EXPECT_FALSE(FileListRowTicked(dialog, row));
  EXPECT_EQ(settings.ReadMultiString(pur::names::kCleaningKey, pur::names::kKeepList),
            (std::vector<std::string>{"*.nothing", rows[row]}));
  Click(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(program.WaitLogPrefix(kPersoGainPrefix)) << program.Log();
  for (const std::string& path : setUp.Matched()) EXPECT_EQ(Exists(path), path == rows[row]) << path;
  EXPECT_EQ(CountPrefix(program.LogLines(), " * "), setUp.Matched().size() - 1) << program.Log();
  // Closing the window saves the settings: the entry stays.
  ASSERT_TRUE(program.WaitIdle());
  PostMessageA(program.Window(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(program.WaitExit(10s));
  EXPECT_EQ(settings.ReadMultiString(pur::names::kCleaningKey, pur::names::kKeepList),
            (std::vector<std::string>{"*.nothing", rows[row]}));
}

TEST(MainRun, TesterModeListsEveryFileAsFailedAndDeletesNothing) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kTestMode, 1);
  Program program;
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonStartStop));
  ASSERT_TRUE(program.WaitLogPrefix(kPersoGainPrefix)) << program.Log();
  EXPECT_TRUE(AllExist(setUp.Matched()));
  for (const std::string& path : setUp.Matched()) {
    const std::string line = Line(" * %s : FAILED", path);
    ASSERT_TRUE(program.LogHas(line)) << program.Log();
    EXPECT_EQ(program.ColorOfLine(line).value_or(0xDEAD), ids::kLogYellow) << line;
  }
  EXPECT_EQ(CountPrefix(program.LogLines(), " * "), setUp.Matched().size());
  EXPECT_TRUE(program.LogHas(Line("Gain pour la recherche personnelle : %s", pur::FormatSize(0))));
}

TEST(MainRun, StopDuringASearchEndsItWithItsSummary) {
  Sandbox box;
  const std::string disk = box.Folder("disk");
  // Enough folders for the search to last while the click arrives.
  constexpr int kFolders = 400;
  for (int i = 0; i < kFolders; ++i) {
    const std::string folder = box.Folder("disk\\f" + std::to_string(i));
    WriteFileBytes(folder + "x" + std::to_string(i) + ".tmp", "1");
  }
  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kDisplayKey, pur::names::kRefreshSpeed, 10);
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kTestMode, 1);
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData,
                  TreeStreamFor(disk, {{"*.tmp", true}}));
  Program program;
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonStartStop));
  ASSERT_TRUE(WaitFor([&] { return program.Label() == "Nettoyage du disque dur ..."; }, 20s));
  Click(program.Item(ids::kIdButtonStartStop));
  // Quit during the run is refused then, not carried out once the run has ended.
  Click(program.Item(ids::kIdButtonQuit));

  ASSERT_TRUE(program.WaitLogPrefix(kPersoGainPrefix)) << program.Log();
  ASSERT_TRUE(program.WaitLog(kUserAbortError)) << program.Log();
  EXPECT_EQ(program.ColorOfLine(kUserAbortError).value_or(0xDEAD), ids::kLogRed);
  ASSERT_TRUE(program.LogHas("Interruption utilisateur"));
  EXPECT_EQ(program.ColorOfLine("Interruption utilisateur").value_or(0xDEAD), ids::kLogRed);
  EXPECT_LT(CountPrefix(program.LogLines(), " * "), static_cast<size_t>(kFolders))
      << "the search was not cut short";
  EXPECT_TRUE(program.WaitIdle());
  EXPECT_FALSE(program.WaitExit(2s)) << "a Quit refused during the run closed it afterwards";
}

BOOL CALLBACK CancelWindow(HWND window, LPARAM param) {
  const auto* program = reinterpret_cast<const Program*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (owner == program->Id() && IsWindowVisible(window) && std::string(name) != ids::kClassName) {
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  }
  return TRUE;
}

// Cancels every visible window of the program but its main window.
void CancelOtherWindows(const Program& program) {
  EnumWindows(CancelWindow, reinterpret_cast<LPARAM>(&program));
}

TEST(MainRun, FirstStartWarnsBeforeTheRun) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  settings.Dword("", pur::names::kFirstStart, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kTestMode, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  Program program;
  ASSERT_TRUE(program.WaitReady());
  Click(program.Item(ids::kIdButtonStartStop));
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    box = FindTopWindow(program.Id(), nullptr, "Avertissement");
    return box != nullptr;
  }, 20s));
  EXPECT_FALSE(program.LogHasPrefix(kPersoGainPrefix)) << "the run waits for the warning";
  // The box's text is one of its static controls.
  bool textSeen = false;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    textSeen = textSeen || TextOf(child) == "Afin de pouvoir effectuer un premier démarrage, il vous faut vérifier les options.";
  }
  EXPECT_TRUE(textSeen);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  // The options box follows when its library is there: cancelled, the run goes on.
  ASSERT_TRUE(WaitFor([&] {
    CancelOtherWindows(program);
    return program.LogHasPrefix(kPersoGainPrefix);
  })) << program.Log();
}

TEST(MainRun, AutoModeClosesOneSecondAfterThePersonalSearch) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  Program program("/S");
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitExit(kRunTimeout));
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_TRUE(NoneExists(setUp.Matched()));
  EXPECT_TRUE(AllExist(setUp.Kept()));

  // The journal was written at the end of the search; the program ended about a second later.
  WIN32_FILE_ATTRIBUTE_DATA journal{};
  ASSERT_TRUE(GetFileAttributesExA(setUp.JournalFile().c_str(), GetFileExInfoStandard, &journal));
  FILETIME created, exited, kernel, user;
  ASSERT_TRUE(GetProcessTimes(program.Process(), &created, &exited, &kernel, &user));
  auto ticks = [](const FILETIME& t) {
    return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const int64_t gapMs = (ticks(exited) - ticks(journal.ftLastWriteTime)) / 10000;
  EXPECT_GE(gapMs, 900) << "closed too early";
  EXPECT_LT(gapMs, 4000) << "closed too late";
}

TEST(MainRun, AutoModeWithoutThePersonalSearchStaysOpen) {
  RunSetUp setUp;
  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kCleaningKey, pur::names::kEmptyTempFolder, 1);
  Program program("/s", setUp.Environment());
  ASSERT_TRUE(program.WaitReady());
  ASSERT_TRUE(program.WaitLog("Le dossier temporaire a été vidé.", 20s)) << program.Log();
  EXPECT_FALSE(program.WaitExit(3s)) << "closed without a personal search";
  EXPECT_FALSE(program.LogHasPrefix("Gain pour")) << "no summary without the search";
  EXPECT_FALSE(Exists(setUp.Temp() + "old.tmp"));
}

TEST(MainRun, OtherSwitchesStartNothing) {
  RunSetUp setUp;
  Settings settings;
  setUp.Write(settings);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  for (const char* arguments : {"-S", "S", "/SX", "/ S"}) {
    SCOPED_TRACE(arguments);
    Program program(arguments);
    ASSERT_TRUE(program.WaitReady());
    EXPECT_FALSE(program.WaitExit(2500ms));
    EXPECT_EQ(TextOf(program.Item(ids::kIdButtonStartStop)), ids::kStartCaption);
  }
  EXPECT_TRUE(AllExist(setUp.Matched()));
}

}  // namespace
}  // namespace maintest
