// The version block and banner format of the real PURGOWIN.exe, built beside this test.
#include <gtest/gtest.h>
#include <windows.h>

#include "ProgramResources.h"
#include "SafeDllLoad.h"
#include "VersionInfo.h"

namespace pur {
namespace {

std::string ProgramExe() { return ProgramFolder() + "PURGOWIN.exe"; }

TEST(ProgramExe, VersionStringsOfEveryKind) {
  ASSERT_NE(GetFileAttributesA(ProgramExe().c_str()), INVALID_FILE_ATTRIBUTES) << ProgramExe();
  struct Case {
    int32_t kind;
    const char* name;
    const char* expected;
  } cases[] = {
      {0, "", "4.0.1.20"},
      {1, "", ""},
      {2, "", "Programme de recherche"},
      {3, "", "Copyright © Corvane 1999-2026"},
      {4, "", "Purgo for Windows"},
      {5, "", "4.0.0.0"},
      {6, "", "Corvane"},
      {7, "InternalName", "PURGOWIN.EXE"},
      {7, "OriginalFilename", "PURGOWIN.EXE"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetVersionString(ProgramExe(), c.kind, c.name), c.expected) << "kind " << c.kind;
  }
  TVersionInfo info(ProgramExe());
  EXPECT_EQ(info.GetTranslationText(), "040C04E4");
  TVersionHalves file = info.GetFileVersionNumbers();
  EXPECT_EQ(ParseVersion(FormatVersion(file.MostSignificant, file.LeastSignificant)),
            (TVersionNumbers{4, 0, 1, 20}));
}

TEST(ProgramExe, BannerOfTheProgram) {
  HMODULE exe = LoadLibraryExA(ProgramExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  char format[64] = {};
  int length = LoadStringA(exe, IDS_PROGRAM_BANNER, format, sizeof format);
  FreeLibrary(exe);
  ASSERT_GT(length, 0);
  EXPECT_STREQ(format, "%s v%d.%d %s");
  EXPECT_EQ(FormatBanner(format, GetVersionString(ProgramExe(), vkProductName), 4, 0,
                         GetVersionString(ProgramExe(), vkLegalCopyright)),
            "Purgo for Windows v4.0 Copyright © Corvane 1999-2026");
}

}  // namespace
}  // namespace pur
