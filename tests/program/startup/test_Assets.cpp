// The start-up resources as the program file carries them: the splash bitmap (400 x 200,
// 256 colours), the application icon in 16, 32 and 48 pixels, and the manifest asking for
// version 6 of the common controls. Checked in this test program (same resource script lines)
// and in the real PURGOWIN.exe when it is built.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "Splash.h"
#include "StartupTestSupport.h"

namespace {

#pragma pack(push, 2)
struct GroupIconHeader {
  WORD Reserved;
  WORD Type;
  WORD Count;
};
struct GroupIconEntry {
  BYTE Width;
  BYTE Height;
  BYTE Colours;
  BYTE Reserved;
  WORD Planes;
  WORD BitCount;
  DWORD Bytes;
  WORD Id;
};
#pragma pack(pop)

struct ResourceBytes {
  const uint8_t* Data = nullptr;
  DWORD Size = 0;
};

ResourceBytes FindBytes(HMODULE module, const char* name, const char* type) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return {};
  return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(module, found)};
}

void CheckStartupResources(HMODULE module, const std::string& who) {
  // The splash bitmap: a header of 400 x 200 at 8 bits per pixel, a palette of at most 256.
  ResourceBytes splash = FindBytes(module, pur::kSplashResourceName, MAKEINTRESOURCEA(2));
  ASSERT_NE(splash.Data, nullptr) << who;
  ASSERT_GE(splash.Size, sizeof(BITMAPINFOHEADER)) << who;
  BITMAPINFOHEADER header;
  std::memcpy(&header, splash.Data, sizeof header);
  EXPECT_EQ(header.biWidth, 400) << who;
  EXPECT_EQ(std::abs(header.biHeight), 200) << who;
  EXPECT_EQ(header.biBitCount, 8) << who;
  EXPECT_LE(header.biClrUsed, 256u) << who;

  // The icon group: 16, 32 and 48 pixels.
  ResourceBytes group = FindBytes(module, "MAINICON", MAKEINTRESOURCEA(14));
  ASSERT_NE(group.Data, nullptr) << who;
  GroupIconHeader iconHeader;
  std::memcpy(&iconHeader, group.Data, sizeof iconHeader);
  ASSERT_GE(group.Size, sizeof iconHeader + iconHeader.Count * sizeof(GroupIconEntry)) << who;
  std::set<int> sizes;
  for (WORD i = 0; i < iconHeader.Count; ++i) {
    GroupIconEntry entry;
    std::memcpy(&entry, group.Data + sizeof iconHeader + i * sizeof entry, sizeof entry);
    EXPECT_EQ(entry.Width, entry.Height) << who;
    sizes.insert(entry.Width);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48})) << who;

  // The manifest: common controls 6.0.0.0 for x86-64.
  ResourceBytes manifest = FindBytes(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifest.Data, nullptr) << who;
  const std::string text(reinterpret_cast<const char*>(manifest.Data), manifest.Size);
  for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                           "processorArchitecture=\"amd64\"",
                           "publicKeyToken=\"6595b64144ccf1df\"",
                           "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>",
                           "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>"})
    EXPECT_NE(text.find(part), std::string::npos) << who << " manifest lacks " << part;
}

TEST(StartupAssets, ThisProgramCarriesThemAndTheBitmapLoads) {
  CheckStartupResources(GetModuleHandleA(nullptr), "test program");
  HANDLE bitmap = LoadImageA(GetModuleHandleA(nullptr), pur::kSplashResourceName, IMAGE_BITMAP,
                             0, 0, 0);
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 400);
  EXPECT_EQ(info.bmHeight, 200);
  DeleteObject(bitmap);
}

TEST(StartupAssets, TheManifestMakesTheProcessUtf8) {
  // This program carries the program's manifest: its ANSI code page is the program's.
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
}

TEST(StartupAssets, TheProgramFileCarriesThem) {
  const std::string program = pur::test::FolderOf(pur::test::OwnPath()) + "PURGOWIN.exe";
  if (!purtest::Exists(program)) GTEST_SKIP() << "PURGOWIN.exe is not built";
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  CheckStartupResources(module, "PURGOWIN.exe");
  FreeLibrary(module);
}

}  // namespace
