// Windowless start-up behaviour seen from whole processes: the options library binding (one
// load attempt, from the program's folder only, the entry's answer and owner), the command
// line, and the about component's call. A child run of this program does one scenario and
// writes what it saw into a result file; the tests arrange its folder and read that file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AboutDlg.h"
#include "OptionsDlg.h"
#include "Splash.h"
#include "StartupTestSupport.h"

namespace {

using purtest::Exists;
using pur::test::FolderOf;
using pur::test::OwnPath;
using purtest::ReadBytes;
using purtest::TempDir;

constexpr char kChildSwitch[] = "--startup-child";
constexpr char kOptionsLeaf[] = "puroptions.dll";

HWND FakeOwner(uintptr_t value) { return reinterpret_cast<HWND>(value); }

std::string Flag(bool value) { return value ? "1" : "0"; }

bool OptionsLoaded() { return GetModuleHandleA(kOptionsLeaf) != nullptr; }

std::string ChildOptionsAbsentTwice(const std::string& plantSource) {
  bool first = pur::OpenOptions(FakeOwner(0x1234));
  // The library appears only now: a second attempt would find it.
  CopyFileA(plantSource.c_str(), (FolderOf(OwnPath()) + kOptionsLeaf).c_str(), FALSE);
  bool second = pur::OpenOptions(FakeOwner(0x1234));
  return Flag(first) + " " + Flag(second) + " " + Flag(OptionsLoaded());
}

std::string ChildOptionsAnswers() {
  std::string result;
  for (uintptr_t owner : {0x1111u, 0x2222u, 0x3333u, 0x4444u})
    result += Flag(pur::OpenOptions(FakeOwner(owner))) + " ";
  result += Flag(OptionsLoaded()) + " ";
  pur::FreeOptionsLibrary();
  return result + Flag(OptionsLoaded());
}

std::string ChildOptionsTwice() {
  bool first = pur::OpenOptions(FakeOwner(0x1234));
  bool second = pur::OpenOptions(FakeOwner(0x1234));
  return Flag(first) + " " + Flag(second) + " " + Flag(OptionsLoaded());
}

// What a bare-name load would do from here: the control that proves the planted case can fail.
std::string ChildBareNameLoad() { return Flag(LoadLibraryA(kOptionsLeaf) != nullptr); }

std::string ChildCommandLine() {
  bool before = pur::AutoMode();
  pur::ReadCommandLine();
  return Flag(before) + " " + Flag(pur::AutoMode());
}

int RunChild(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string scenario = argv[2];
  const std::string resultPath = argv[3];
  std::string result;
  if (scenario == "options-absent-twice" && argc > 4) result = ChildOptionsAbsentTwice(argv[4]);
  else if (scenario == "options-answers") result = ChildOptionsAnswers();
  else if (scenario == "options-twice") result = ChildOptionsTwice();
  else if (scenario == "bare-name-load") result = ChildBareNameLoad();
  else if (scenario == "command-line") result = ChildCommandLine();
  else return 3;
  pur::test::WriteText(resultPath, result);
  return 0;
}

std::string TestBinary(const std::string& leaf) { return FolderOf(OwnPath()) + leaf; }

// A copy of this program in `folder`, so that "the program's folder" is one the test owns;
// about.dll goes with it, as the program imports it.
std::string CopyOfProgram(const std::string& folder) {
  std::string exe = folder + "\\startup_child.exe";
  EXPECT_TRUE(CopyFileA(OwnPath().c_str(), exe.c_str(), FALSE)) << exe;
  EXPECT_TRUE(CopyFileA(TestBinary("about.dll").c_str(), (folder + "\\about.dll").c_str(), FALSE));
  return exe;
}

std::string RunScenario(const std::string& exe, const std::string& scenario,
                        const std::string& resultPath, const std::string& extra = "",
                        const std::string& currentFolder = "") {
  std::string arguments =
      std::string(kChildSwitch) + " " + scenario + " \"" + resultPath + "\" " + extra;
  int code = pur::test::RunProcess(exe, arguments, currentFolder);
  EXPECT_EQ(code, 0) << scenario;
  return ReadBytes(resultPath);
}

int LineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

// An environment variable for the children of one test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : Name_(name) {
    SetEnvironmentVariableA(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableA(Name_, nullptr); }

 private:
  const char* Name_;
};

TEST(OptionsBinding, AbsentLibraryIsLookedForOnceOnly) {
  TempDir dir;
  std::string exe = CopyOfProgram(dir.Path());
  std::string result = RunScenario(exe, "options-absent-twice", dir / "result.txt",
                                   "\"" + TestBinary("fake_options.dll") + "\"");
  // Both calls false, and the library planted after the first failure was never loaded.
  EXPECT_EQ(result, "0 0 0");
  EXPECT_TRUE(Exists(dir / kOptionsLeaf));
  EXPECT_FALSE(Exists(dir / "attach.log")) << ReadBytes(dir / "attach.log");
}

TEST(OptionsBinding, EntryAnswerIsItsLowByteAndGetsTheOwner) {
  TempDir dir;
  std::string exe = CopyOfProgram(dir.Path());
  ASSERT_TRUE(CopyFileA(TestBinary("fake_options.dll").c_str(), (dir / kOptionsLeaf).c_str(), FALSE));
  ScopedVariable answers("PUR_FAKE_OPTIONS_ANSWERS", "1,0,256,257");
  std::string result = RunScenario(exe, "options-answers", dir / "result.txt");
  // Calls answer 1, 0, 0x100 (low byte 0), 0x101; loaded until FreeOptionsLibrary.
  EXPECT_EQ(result, "1 0 0 1 1 0");
  EXPECT_EQ(ReadBytes(dir / "calls.log"), "4369 1\n8738 0\n13107 256\n17476 257\n");
  EXPECT_EQ(LineCount(ReadBytes(dir / "attach.log")), 1);
}

TEST(OptionsBinding, LibraryWithoutTheEntryIsUnloadedAndNotTriedAgain) {
  TempDir dir;
  std::string exe = CopyOfProgram(dir.Path());
  ASSERT_TRUE(CopyFileA(TestBinary("fake_options_noentry.dll").c_str(),
                        (dir / kOptionsLeaf).c_str(), FALSE));
  std::string result = RunScenario(exe, "options-twice", dir / "result.txt");
  EXPECT_EQ(result, "0 0 0");
  EXPECT_EQ(LineCount(ReadBytes(dir / "attach.log")), 1);
}

TEST(OptionsBinding, LibraryInTheCurrentFolderIsNotLoaded) {
  TempDir dir;
  std::string exe = CopyOfProgram(dir.SubFolder("program"));
  std::string current = dir.SubFolder("current");
  ASSERT_TRUE(CopyFileA(TestBinary("fake_options.dll").c_str(),
                        (current + "\\" + kOptionsLeaf).c_str(), FALSE));

  EXPECT_EQ(RunScenario(exe, "options-twice", dir / "result.txt", "", current), "0 0 0");
  EXPECT_FALSE(Exists(current + "\\attach.log"));

  // Control: a bare-name load from the same place does pick the planted copy up.
  EXPECT_EQ(RunScenario(exe, "bare-name-load", dir / "control.txt", "", current), "1");
  EXPECT_TRUE(Exists(current + "\\attach.log"));
}

struct CommandLineCase {
  const char* Parameters;
  const char* Expected;  // AutoMode before and after ReadCommandLine
};

TEST(StartupCommandLine, ReadCommandLineSetsAutoModeOnTheSwitchOnly) {
  TempDir dir;
  const CommandLineCase cases[] = {
      {"/S", "0 1"},   {"/s", "0 1"},        {"-S", "0 0"},          {"S", "0 0"},
      {"/SX", "0 0"},  {"", "0 0"},          {"one /s two", "0 1"}, {"\"/S\"", "0 1"},
      {"\"/S x\"", "0 0"}, {"/x -s /sx", "0 0"},
  };
  int index = 0;
  for (const CommandLineCase& c : cases) {
    std::string resultPath = dir / ("cmd" + std::to_string(index++) + ".txt");
    EXPECT_EQ(RunScenario(OwnPath(), "command-line", resultPath, c.Parameters), c.Expected)
        << "parameters: " << c.Parameters;
  }
}

struct AboutCall {
  int Count = 0;
  HWND Parent = nullptr;
  bool PathIsNull = false;
  bool CommentsIsNull = false;
  std::string Path;
  std::string Comments;
  int32_t Bitmap = 0;
};

AboutCall g_aboutCall;

int32_t __stdcall RecordAbout(HWND parent, const char* exePath, const char* comments,
                              int32_t bitmap) {
  g_aboutCall.Count++;
  g_aboutCall.Parent = parent;
  g_aboutCall.PathIsNull = exePath == nullptr;
  g_aboutCall.CommentsIsNull = comments == nullptr;
  g_aboutCall.Path = exePath ? exePath : "";
  g_aboutCall.Comments = comments ? comments : "";
  g_aboutCall.Bitmap = bitmap;
  return 1;
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  return {info.bmWidth, info.bmHeight};
}

TEST(AboutComponent, ExecuteHandsPathCommentsAndPicture) {
  g_aboutCall = {};
  pur::TAboutDlg about(&RecordAbout);
  about.SetOwner(FakeOwner(0x5150));

  // Empty component: empty comments as "", no picture as -1.
  EXPECT_TRUE(about.Execute());
  EXPECT_EQ(g_aboutCall.Count, 1);
  EXPECT_EQ(g_aboutCall.Parent, FakeOwner(0x5150));
  EXPECT_FALSE(g_aboutCall.PathIsNull);
  EXPECT_EQ(g_aboutCall.Path, OwnPath());
  EXPECT_FALSE(g_aboutCall.CommentsIsNull);
  EXPECT_EQ(g_aboutCall.Comments, "");
  EXPECT_EQ(g_aboutCall.Bitmap, pur::kNoAboutPicture);

  // With a picture: a copy of it, owned by the component.
  HBITMAP source = CreateBitmap(24, 16, 1, 32, nullptr);
  ASSERT_NE(source, nullptr);
  about.SetBitmap(source);
  about.SetComments("Programme de test é");
  EXPECT_TRUE(about.Execute());
  auto handed = reinterpret_cast<HBITMAP>(static_cast<intptr_t>(g_aboutCall.Bitmap));
  EXPECT_NE(g_aboutCall.Bitmap, pur::kNoAboutPicture);
  EXPECT_EQ(handed, about.Bitmap());
  EXPECT_NE(handed, source);
  EXPECT_EQ(BitmapSize(handed).cx, 24);
  EXPECT_EQ(BitmapSize(handed).cy, 16);
  EXPECT_EQ(g_aboutCall.Comments, "Programme de test é");
  DeleteObject(source);
  EXPECT_EQ(GetObjectType(about.Bitmap()), static_cast<DWORD>(OBJ_BITMAP))
      << "the owned copy outlives the source";

  // Emptying the picture brings the -1 back.
  about.SetBitmap(nullptr);
  EXPECT_TRUE(about.Execute());
  EXPECT_EQ(g_aboutCall.Bitmap, pur::kNoAboutPicture);
  EXPECT_EQ(g_aboutCall.Count, 3);
}

TEST(AboutComponent, OwnedPictureIsFreedWithTheComponentAndOnReplacement) {
  HBITMAP source = CreateBitmap(8, 8, 1, 32, nullptr);
  HBITMAP first = nullptr;
  HBITMAP second = nullptr;
  {
    pur::TAboutDlg about(&RecordAbout);
    about.SetBitmap(source);
    first = about.Bitmap();
    about.SetBitmap(source);
    second = about.Bitmap();
    EXPECT_EQ(GetObjectType(first), 0u) << "replaced picture freed";
    about.SetBitmap(about.Bitmap());  // its own picture: kept usable
    EXPECT_EQ(GetObjectType(about.Bitmap()), static_cast<DWORD>(OBJ_BITMAP));
    second = about.Bitmap();
  }
  EXPECT_EQ(GetObjectType(second), 0u) << "freed with the component";
  EXPECT_EQ(GetObjectType(source), static_cast<DWORD>(OBJ_BITMAP)) << "the source is the caller's";
  DeleteObject(source);
}

TEST(AboutComponent, MainFormPropertiesAsStreamed) {
  pur::TAboutDlg about(&RecordAbout);
  pur::SetMainFormAboutProperties(about);
  EXPECT_EQ(about.Comments(), "Programme de recherche de fichiers");
  const std::vector<std::string>& lines = about.Author();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "------------ Programmeur --------------");
  EXPECT_EQ(lines[3], "-------- Interface graphique ----------");
  EXPECT_EQ(lines[6], "------------- Algorithme --------------");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[5], "");
  EXPECT_FALSE(lines[1].empty());
  EXPECT_EQ(about.Bitmap(), nullptr);
  g_aboutCall = {};
  about.Execute();
  EXPECT_EQ(g_aboutCall.Comments, "Programme de recherche de fichiers");
  EXPECT_EQ(g_aboutCall.Bitmap, pur::kNoAboutPicture);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], kChildSwitch) == 0) return RunChild(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
