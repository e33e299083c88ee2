// The box as the real program opens it: PURGOWIN.exe loads puroptions.dll by name, the box
// is owned by its main window and modal to it, and what OK stores is what the program
// reloads (the detail pane opens; a definition emptied in the box searches nothing).
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

// Clicks the program's Options button; the box it shows, or none.
HWND OpenBox(const maintest::Program& program) {
  maintest::Click(program.Item(maintest::ids::kIdButtonOptions));
  HWND box = nullptr;
  maintest::WaitFor([&] {
    box = maintest::FindTopWindow(program.Id(), "#32770", "Options");
    return box && IsWindowVisible(box);
  }, maintest::kStartTimeout);
  return box && IsWindowVisible(box) ? box : nullptr;
}

TEST(OptionsFromProgram, OptionsButtonOpensTheBoxAndTheProgramReloadsWhatOkStored) {
  maintest::Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kServiceKey, pur::names::kCleaningType, 0);  // OK asks nothing
  maintest::Program program;
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitReady());
  HWND main = program.Window();
  const int heightBefore = ClientHeight(main);

  const HWND box = OpenBox(program);
  ASSERT_NE(box, nullptr) << "the Options button opened no box";
  EXPECT_EQ(GetWindow(box, GW_OWNER), main);
  EXPECT_FALSE(IsWindowEnabled(main));

  SendMessageA(GetDlgItem(box, optids::kShowDetail), BM_SETCHECK, BST_CHECKED, 0);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(maintest::WaitFor([&] { return !IsWindow(box); }, 20s));
  // The box stores its values once its window is gone: give the store its moment.
  maintest::WaitFor([&] { return settings.ReadDword(pur::names::kDisplayKey, pur::names::kShowDetail).has_value(); },
                    10s);
  EXPECT_EQ(settings.ReadDword(pur::names::kDisplayKey, pur::names::kShowDetail), std::optional<DWORD>(1));
  // The program reloaded the settings: its detail pane doubles the window's height.
  EXPECT_TRUE(maintest::WaitFor([&] { return ClientHeight(main) > heightBefore; }, 10s))
      << heightBefore << " -> " << ClientHeight(main);
  EXPECT_TRUE(IsWindowEnabled(main));
}

// The places of the box's tree below "Poste de travail", removed one by one as a user does.
void RemoveEveryPlace(HWND box) {
  HWND tree = GetDlgItem(box, optids::kTree);
  const auto root = reinterpret_cast<LPARAM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (int guard = 0; guard < 100; ++guard) {
    const auto place = reinterpret_cast<LPARAM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, root));
    if (place == 0) return;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, place);
    SendMessageA(box, WM_COMMAND, MAKEWPARAM(optids::kRemoveNode, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, optids::kRemoveNode)));
  }
  ADD_FAILURE() << "the places do not go";
}

TEST(OptionsFromProgram, AnEmptiedSearchDefinitionStaysEmpty) {
  maintest::Sandbox sandbox;
  const std::string found = sandbox.Path() + "old.tmp";
  maintest::WriteFileBytes(found, "old");
  maintest::Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kServiceKey, pur::names::kCleaningType, 0);  // OK asks nothing
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, 0);
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData,
                  maintest::TreeStreamFor(sandbox.Path(), {{"*.tmp", false}}));
  const auto definitionStored = [&] {
    return settings.Has(pur::names::kPersonalKey, pur::names::kPersonalSearchData);
  };
  ASSERT_TRUE(definitionStored());
  maintest::Program program;
  ASSERT_TRUE(program.WaitReady());

  const HWND box = OpenBox(program);
  ASSERT_NE(box, nullptr) << "the Options button opened no box";
  RemoveEveryPlace(box);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(maintest::WaitFor([&] { return !IsWindow(box); }, 20s));
  // The box saves once its window is gone.
  EXPECT_TRUE(maintest::WaitFor([&] { return !definitionStored(); }, 10s))
      << "the box removes an empty definition";

  // The reloaded program searches nothing: the file of the removed place stays.
  ASSERT_TRUE(maintest::WaitFor([&] { return IsWindowEnabled(program.Window()) != 0; }, 10s));
  maintest::Click(program.Item(maintest::ids::kIdButtonStartStop));
  ASSERT_TRUE(program.WaitLogPrefix("Gain pour la recherche personnelle : ")) << program.Log();
  ASSERT_TRUE(program.WaitIdle()) << program.Log();
  EXPECT_TRUE(maintest::Exists(found)) << program.Log();
  // The centred window is saved at the close, and the old definition does not come back.
  maintest::Click(program.Item(maintest::ids::kIdButtonQuit));
  ASSERT_TRUE(program.WaitExit(10s));
  EXPECT_TRUE(settings.ReadDword(pur::names::kDisplayKey, pur::names::kPosX).has_value())
      << "the close saved";
  EXPECT_FALSE(definitionStored()) << "the old definition came back";
}

}  // namespace
