#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "VersionInfo.h"

namespace pur {
namespace {

// Folder of the running test program (the probe library is built beside it).
std::string OwnFolder() {
  std::string self = OwnExecutableName();
  return self.substr(0, self.find_last_of('\\') + 1);
}

TEST(VersionInfo, OwnExecutableStringsByKind) {
  const std::string self = OwnExecutableName();
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
      {7, "FileVersion", "4.0.1.20"},
      {7, "LegalTrademarks", "Purgo est une marque de Corvane"},
      {99, "CompanyName", "Corvane"},
      {7, "NoSuchValue", ""},
      {7, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetVersionString(self, c.kind, c.name), c.expected)
        << "kind " << c.kind << " name '" << c.name << "'";
  }
}

TEST(VersionInfo, OwnBlockIsFrenchWithCodePage1252) {
  TVersionInfo info(OwnExecutableName());
  ASSERT_TRUE(info.Valid());
  EXPECT_GT(info.Size(), 0u);
  ASSERT_TRUE(info.GetTranslation().has_value());
  EXPECT_EQ(*info.GetTranslation(), 0x04E4040Cu);
  EXPECT_EQ(info.GetTranslationText(), "040C04E4");
  const VS_FIXEDFILEINFO* fixed = info.GetFixedInfo();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00040000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00010014u);
  TVersionHalves product = info.GetProductVersionNumbers();
  EXPECT_EQ(FormatVersion(product.MostSignificant, product.LeastSignificant), "4.0.1.20");
  // The string, not the fixed product version, names the settings key.
  EXPECT_EQ(info.ProductVersion(), "4.0.0.0");
}

TEST(VersionInfo, OwnFileVersionAndBanner) {
  EXPECT_EQ(GetOwnFileVersion(), (TVersionNumbers{4, 0, 1, 20}));
  EXPECT_EQ(GetProgramBanner(), "Purgo for Windows v4.0 Copyright © Corvane 1999-2026");
  char format[64] = {};
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 100, format, sizeof format), 0);
  EXPECT_STREQ(format, "%s v%d.%d %s");
}

TEST(VersionInfo, EmptyProductVersionFallsBackToTheFixedOne) {
  const std::string probe = OwnFolder() + "version_probe.dll";
  EXPECT_EQ(GetVersionString(probe, vkProductVersion), "1.2.65535.4");
  EXPECT_EQ(GetVersionString(probe, vkFileVersion), "9.8.7.6");
  EXPECT_EQ(GetVersionString(probe, vkProductName), "Probe");
  EXPECT_EQ(GetVersionString(probe, vkCompanyName), "");
  TVersionInfo info(probe);
  EXPECT_EQ(info.GetTranslationText(), "040904E4");
}

TEST(VersionInfo, FilesWithoutBlockGiveEmptyStrings) {
  char folder[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
  const std::string plain = std::string(folder) + "pur-no-version-block.txt";
  { std::ofstream(plain) << "no version block here"; }
  const std::string missing = std::string(folder) + "pur-no-such-file.exe";
  for (const std::string& file : {plain, missing}) {
    TVersionInfo info(file);
    EXPECT_FALSE(info.Valid()) << file;
    EXPECT_EQ(info.Size(), 0u) << file;
    EXPECT_FALSE(info.GetTranslation().has_value()) << file;
    EXPECT_EQ(info.GetTranslationText(), "") << file;
    EXPECT_EQ(info.GetFixedInfo(), nullptr) << file;
    EXPECT_EQ(info.ProductVersion(), "") << file;
    for (int32_t kind = 1; kind <= 7; ++kind) {
      EXPECT_EQ(GetVersionString(file, kind, "InternalName"), "") << file << " kind " << kind;
    }
  }
  DeleteFileA(plain.c_str());
}

TEST(VersionInfo, OverlongValueNameIsEmptyNotACrash) {
  EXPECT_EQ(GetVersionString(OwnExecutableName(), 7, std::string(300, 'A')), "");
  EXPECT_EQ(GetVersionString(OwnExecutableName(), 7, std::string(230, 'A')), "");
}

}  // namespace
}  // namespace pur
