// The personal search through the exports: tree bytes in, lists out, across processes.
#include "ChildProcess.h"
#include "CommaText.h"
#include "FrameChild.h"
#include "PurApi.h"
#include "Sandbox.h"
#include "TreeStreamWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace purtest;

namespace {

constexpr DWORD kChildMs = 60000;

std::vector<int> g_ends;
void __stdcall RecordEnd(uint8_t kind) { g_ends.push_back(kind); }


class ExportSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(api.Load(), "");
    api.InitLibrarie("PUR400-  1", "Purgo for Windows", "--------");
    ASSERT_EQ(api.GetNbLibrairy(), 1);
    api.setEndProc(RecordEnd);
    g_ends.clear();
  }
  void TearDown() override { api.FreeLibrarie(); }

  bool Load(const std::string& bytes) { return api.InitPersoTree(bytes.data(), static_cast<int32_t>(bytes.size())); }

  PurApi api;
};

}  // namespace

TEST_F(ExportSearch, SearchWithoutTreeIsRefused) {
  EXPECT_EQ(api.CleanWindows(1003), 0);
  EXPECT_TRUE(g_ends.empty());
  EXPECT_EQ(api.GetCurrentStatus(), 0);
  EXPECT_EQ(api.InitPersoTree(nullptr, 10), 0) << "a size without bytes";
  EXPECT_EQ(api.InitPersoTree(nullptr, 0), 1) << "no bytes: a computer without drives";
}

TEST_F(ExportSearch, FoundFilesArePublishedForOtherProcesses) {
  sandbox::Folder box;
  CreateDirectoryA((box / "sub").c_str(), nullptr);
  CreateDirectoryA((box / "hidden").c_str(), nullptr);
  SetFileAttributesA((box / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  sandbox::WriteSized(box / "a.tmp", 1);
  sandbox::WriteSized(box / "keep.txt", 1);
  sandbox::WriteSized(box / "notes.tmpl", 1);
  sandbox::WriteSized(box / "sub\\b file.tmp", 1);
  sandbox::WriteSized(box / "hidden\\c.tmp", 1);

  ASSERT_TRUE(Load(TreeStreamFor(box.Path(), {{"*.tmp", true}})));
  EXPECT_EQ(api.CleanWindows(1003), 0);
  EXPECT_EQ(api.LastError(), "");
  EXPECT_EQ(g_ends, std::vector<int>{2});
  EXPECT_EQ(api.GetCurrentStatus(), 0);
  EXPECT_DOUBLE_EQ(api.GetCurrentPercent(), 1.0) << "the last fraction reported";

  // The subfolder's results come first, then the folder's own files.
  std::string expected = pur::WriteCommaText({box / "sub\\b file.tmp", box / "a.tmp"});
  EXPECT_EQ(api.List(1), expected) << "readable in this process right after the search";
  EXPECT_EQ(api.List(2), "");
  EXPECT_EQ(api.List(3), "");
  Handle child = StartChild({"expect-list", "1", ToHex(expected), "expect-list", "3", ToHex("")});
  EXPECT_EQ(WaitExit(child, kChildMs), 0);
}

TEST_F(ExportSearch, StopFromAnotherProcessEndsTheSearchWithUserAbort) {
  sandbox::Folder box;
  // Enough folders that the search is still walking when the stop arrives.
  for (int i = 0; i < 1500; ++i) {
    std::string sub = box / ("d" + std::to_string(i));
    CreateDirectoryA(sub.c_str(), nullptr);
    sandbox::WriteSized(sub + "\\x.tmp", 1);
  }
  Handle ready1 = NamedEvent("PURTEST_READY1"), ready2 = NamedEvent("PURTEST_READY2");
  Handle child = StartChild({"init", "PUR400-  8", "Stopper", "signal", "PURTEST_READY1", "stop-when-searching"});
  Handle loader = StartChild({"init", "PUR400-  7", "Loader", "signal", "PURTEST_READY2", "refuse-tree-when-searching"});
  ASSERT_TRUE(WaitEvent("PURTEST_READY1", kChildMs));
  ASSERT_TRUE(WaitEvent("PURTEST_READY2", kChildMs));
  ASSERT_TRUE(Load(TreeStreamFor(box.Path(), {{"*.tmp", true}})));
  DWORD start = GetTickCount();
  EXPECT_EQ(api.CleanWindows(1003), 0);
  std::printf("stopped search returned after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
  EXPECT_EQ(WaitExit(child, kChildMs), 0);
  EXPECT_EQ(WaitExit(loader, kChildMs), 0) << "InitPersoTree elsewhere is refused while the search runs";
  EXPECT_EQ(g_ends, std::vector<int>{2});
  EXPECT_EQ(api.List(1).size(), 0u) << "nothing is delivered from a stopped search";
  EXPECT_EQ(api.List(3), "\"Erreur 1001: User abort\"");
  EXPECT_EQ(api.GetCurrentStatus(), 0);
}
