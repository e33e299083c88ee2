// The cleanings behind the exports, seen as a caller of the DLL sees them: status,
// progress, end callbacks on the calling thread, the failure channel.
#include "ChildProcess.h"
#include "PurApi.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

#include <vector>

using namespace purtest;

namespace {

constexpr DWORD kChildMs = 60000;

std::vector<int> g_calls;
DWORD g_callThread = 0;

void __stdcall RecordEnd(uint8_t kind) {
  g_calls.push_back(kind);
  g_callThread = GetCurrentThreadId();
}

class ExportCleanings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(api.Load(), "");
    api.InitLibrarie("PUR400-  1", "Purgo for Windows", "--------");
    ASSERT_EQ(api.GetNbLibrairy(), 1);
    api.setEndProc(RecordEnd);
    g_calls.clear();
    char tmp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    savedTmp_ = tmp;
  }
  void TearDown() override {
    SetEnvironmentVariableA("TMP", savedTmp_.c_str());
    api.FreeLibrarie();
  }

  PurApi api;
  std::string savedTmp_;
};

}  // namespace

TEST_F(ExportCleanings, TempFolderEmptiedWithGainAndCallbackOnTheCallingThread) {
  sandbox::Folder temp;
  CreateDirectoryA((temp / "nested").c_str(), nullptr);
  sandbox::WriteSized(temp / "a.tmp", 1000);
  sandbox::WriteSized(temp / "nested\\b.dat", 234, FILE_ATTRIBUTE_HIDDEN);
  SetEnvironmentVariableA("TMP", temp.Path().c_str());

  EXPECT_EQ(api.CleanWindows(1002), 1234);
  EXPECT_EQ(api.LastError(), "");
  EXPECT_EQ(g_calls, std::vector<int>{1});
  EXPECT_EQ(g_callThread, GetCurrentThreadId());
  EXPECT_EQ(api.GetCurrentStatus(), 0);
  EXPECT_EQ(api.GetCurrentPercent(), 100.0);
  EXPECT_EQ(GetFileAttributesA((temp / "a.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((temp / "nested").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(temp.Path().c_str()), INVALID_FILE_ATTRIBUTES) << "the folder itself stays";
}

TEST_F(ExportCleanings, UnsafeTempFolderIsRefusedThroughTheFailureChannel) {
  for (const char* tmp : {"C:\\", "C:\\windows"}) {
    SCOPED_TRACE(tmp);
    g_calls.clear();
    SetEnvironmentVariableA("TMP", tmp);
    EXPECT_EQ(api.CleanWindows(1002), 0);
    EXPECT_NE(api.LastError(), "");
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(api.GetCurrentStatus(), 0);
    EXPECT_EQ(api.GetCurrentPercent(), 100.0);
  }
  EXPECT_NE(GetFileAttributesA("C:\\windows\\system32\\kernel32.dll"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExportCleanings, RecycleBinBitHeldElsewhereRefusesTheOtherCleanings) {
  sandbox::Folder temp;
  sandbox::WriteSized(temp / "keep.tmp", 10);
  SetEnvironmentVariableA("TMP", temp.Path().c_str());
  Handle up = NamedEvent("PURTEST_BIT"), quit = NamedEvent("PURTEST_BITQUIT");
  Handle child = StartChild({"white-status", "1", "signal", "PURTEST_BIT", "wait", "PURTEST_BITQUIT", "white-free"});
  ASSERT_TRUE(WaitEvent("PURTEST_BIT", kChildMs));
  EXPECT_EQ(api.GetCurrentStatus(), 1);
  EXPECT_EQ(api.CleanWindows(1002), 0);
  EXPECT_EQ(api.CleanWindows(1001), 0);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_NE(GetFileAttributesA((temp / "keep.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  SetEvent(quit.get());
  EXPECT_EQ(WaitExit(child, kChildMs), 0);
}

TEST_F(ExportCleanings, RecycleBinEmptiedWithCallback) {
  EXPECT_EQ(api.CleanWindows(1001), 0);
  EXPECT_EQ(g_calls, std::vector<int>{0});
  EXPECT_EQ(api.GetCurrentPercent(), 100.0);
  EXPECT_EQ(api.GetCurrentStatus(), 0);
}

TEST_F(ExportCleanings, DeleteFileAnswersTheSizeOfWhatIsGone) {
  sandbox::Folder box;
  struct Case {
    const char* name;
    size_t size;
    DWORD attributes;
    bool allow;
    int32_t expected;
    bool gone;
  } cases[] = {
      {"plain.tmp", 321, 0, false, 321, true},
      {"empty.tmp", 0, 0, false, 0, true},
      {"ro.tmp", 5, FILE_ATTRIBUTE_READONLY, false, 0, false},
      {"ro2.tmp", 5, FILE_ATTRIBUTE_READONLY, true, 5, true},
      {"sys.tmp", 5, FILE_ATTRIBUTE_SYSTEM, true, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = sandbox::WriteSized(box / c.name, c.size, c.attributes);
    EXPECT_EQ(api.DeleteFile(path.c_str(), 0, c.allow), c.expected);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES, c.gone);
  }
  EXPECT_EQ(api.DeleteFile((box / "missing.tmp").c_str(), 0, 1), 0);
}

TEST_F(ExportCleanings, JournalTitleComesFromTheRegisteredNames) {
  sandbox::Folder box;
  std::string log = box / "PURGOWIN.LOG";
  api.CreateFileLog(log.c_str(), "PUR400-  1", "corps\r\n", 1);
  EXPECT_EQ(api.LastError(), "");
  std::string text = sandbox::ReadBytes(log);
  // 58 - 17 = 41 spaces: 20 in front, the odd one behind.
  std::string titleLine = "(* " + std::string(20, ' ') + "Purgo for Windows" + std::string(21, ' ') + " *)";
  EXPECT_NE(text.find(titleLine), std::string::npos) << text;

  api.CreateFileLog(log.c_str(), "PUR400-999", "autre\r\n", 0);
  text = sandbox::ReadBytes(log);
  EXPECT_NE(text.find("Unknow Application"), std::string::npos) << text;
  EXPECT_NE(text.find("corps"), std::string::npos) << "appended";

  std::string bad = box / "missing\\PURGOWIN.LOG";
  api.CreateFileLog(bad.c_str(), "PUR400-  1", "x", 1);
  EXPECT_EQ(api.LastError(), "Impossible de créer le fichier " + bad);
}
