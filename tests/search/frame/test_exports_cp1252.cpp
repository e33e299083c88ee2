// The library at its boundary in a caller whose ANSI code page is 1252, as any other program
// that loads purSearch.dll may be: this program deliberately carries no UTF-8 manifest. It
// also runs the child commands of the frame tests in that code page.
#include "CallerTexts.h"
#include "ChildProcess.h"
#include "FrameChild.h"
#include "PurApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace purtest;

namespace {

constexpr int32_t kCleanTempFolder = 1002;

class Cp1252Boundary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 1252u) << "this program must run without the UTF-8 manifest";
    ASSERT_EQ(api.Load(), "");
    api.InitLibrarie("PUR400-1252", "Tests", "--------");
    ASSERT_GT(api.GetNbLibrairy(), 0) << api.LastError();
  }
  void TearDown() override { api.FreeLibrarie(); }

  PurApi api;
};

// Sets TMP for the time of one case, so that the temporary folder is one that is refused.
class TmpVariable {
 public:
  explicit TmpVariable(const std::string& value) {
    char old[MAX_PATH] = {};
    had_ = GetEnvironmentVariableA("TMP", old, MAX_PATH) > 0;
    old_ = old;
    SetEnvironmentVariableA("TMP", value.c_str());
  }
  ~TmpVariable() { SetEnvironmentVariableA("TMP", had_ ? old_.c_str() : nullptr); }

 private:
  bool had_ = false;
  std::string old_;
};

TEST_F(Cp1252Boundary, ErrorTextsComeInTheCallersCodePage) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string missingJournal = std::string(temp) + "pur-no-such-folder\\j.log";
  const std::string absentTemp = "C:\\PUR-ABSENT-TEMP-" + std::to_string(GetCurrentProcessId()) + "\\";
  const struct {
    const char* what;
    std::function<void()> call;
    std::string expected;
  } cases[] = {
      {"journal in a missing folder",
       [&] { api.CreateFileLog(missingJournal.c_str(), "PUR400-1252", "corps\r\n", 1); },
       "Impossible de cr\xE9" "er le fichier " + missingJournal},
      {"temporary folder that does not exist",
       [&] {
         TmpVariable tmp(absentTemp);
         api.CleanWindows(kCleanTempFolder);
       },
       "Nettoyage du dossier temporaire refus\xE9 : \"" + absentTemp + "\" n'existe pas ou n'est pas un dossier"},
  };
  for (const auto& c : cases) {
    c.call();
    char buffer[512];
    std::memset(buffer, '#', sizeof buffer);
    const int32_t length = api.GetLastLibError(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), c.expected) << c.what;
    EXPECT_EQ(length, static_cast<int32_t>(c.expected.size())) << c.what;
    std::printf("%s: %d bytes\n", c.what, static_cast<int>(length));
  }
}

TEST(Cp1252Texts, OwnTextsConvertWithoutBestFit) {
  ASSERT_EQ(GetACP(), 1252u);
  const struct {
    const char* utf8;
    const char* cp1252;
  } cases[] = {
      {"Impossible de créer", "Impossible de cr\xE9" "er"},
      {"€ œ Ÿ", "\x80 \x9C \x9F"},
      // "ł" would fit as "l", "Ω" has no form at all: both are marked, never approximated.
      {"złoty Ω", "z?oty ?"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pur::CallerText(c.utf8), c.cp1252) << c.utf8;
  }
  EXPECT_EQ(pur::Utf8FromCallerText("Soci\xE9t\xE9 \x80"), "Société €");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return RunFrameChild(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
