// The box as the real program opens it: PURGOWIN.exe loads puroptions.dll by name, the box
// is owned by its main window and modal to it, and what OK stores is what the program
// reloads (the detail pane opens).
#include <gtest/gtest.h>

#include "OptionsIds.h"
#include "ProgramDriver.h"

namespace {

using namespace std::chrono_literals;
namespace optids = pur::options::ids;

int ClientHeight(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return r.bottom - r.top;
}

TEST(OptionsFromProgram, OptionsButtonOpensTheBoxAndTheProgramReloadsWhatOkStored) {
  maintest::Settings settings;
  settings.Quiet();
  maintest::Program program;
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitReady());
  HWND main = program.Window();
  const int heightBefore = ClientHeight(main);

  maintest::Click(program.Item(maintest::ids::kIdButtonOptions));
  HWND box = nullptr;
  ASSERT_TRUE(maintest::WaitFor([&] {
    box = maintest::FindTopWindow(program.Id(), "#32770", "Options");
    return box && IsWindowVisible(box);
  }, maintest::kStartTimeout));
  EXPECT_EQ(GetWindow(box, GW_OWNER), main);
  EXPECT_FALSE(IsWindowEnabled(main));

  SendMessageA(GetDlgItem(box, optids::kShowDetail), BM_SETCHECK, BST_CHECKED, 0);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(maintest::WaitFor([&] { return !IsWindow(box); }, 20s));
  EXPECT_EQ(settings.ReadDword(pur::names::kDisplayKey, pur::names::kShowDetail), std::optional<DWORD>(1));
  // The program reloaded the settings: its detail pane doubles the window's height.
  EXPECT_TRUE(maintest::WaitFor([&] { return ClientHeight(main) > heightBefore; }, 10s))
      << heightBefore << " -> " << ClientHeight(main);
  EXPECT_TRUE(IsWindowEnabled(main));
}

}  // namespace
