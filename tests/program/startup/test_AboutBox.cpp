// about.dll driven by messages: its export table, the box it shows for an executable's
// version block (texts read back), its modality over the parent, the picture, and the OK button.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "StartupTestSupport.h"
#include "about.h"

namespace {

using pur::test::ClassOf;
using pur::test::DialogDriver;
using pur::test::OwnPath;
using purtest::TempDir;
using pur::test::WindowText;

constexpr char kProductTitle[] = "À propos de Purgo for Windows";

// What the driver thread saw of the box.
struct Seen {
  std::map<int, std::string> Texts;
  std::map<int, bool> Present;
  std::string OkText;
  HWND Owner = nullptr;
  bool ParentEnabled = true;
  HANDLE PictureImage = nullptr;
  DWORD PictureStyle = 0;
  RECT Client{};
  RECT Comments{};
  RECT Product{};
  RECT Picture{};
};

const int kTextIds[] = {idAboutProduct, idAboutVersion, idAboutCopyright, idAboutComments};

Seen ReadBox(HWND dialog, HWND parent) {
  Seen seen;
  for (int id : {idAboutProduct, idAboutVersion, idAboutCopyright, idAboutComments,
                 idAboutPicture, idAboutIcon}) {
    HWND control = GetDlgItem(dialog, id);
    seen.Present[id] = control != nullptr;
    if (control) seen.Texts[id] = WindowText(control);
  }
  if (HWND ok = GetDlgItem(dialog, IDOK)) seen.OkText = WindowText(ok);
  if (HWND picture = GetDlgItem(dialog, idAboutPicture)) {
    seen.PictureImage = reinterpret_cast<HANDLE>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    seen.PictureStyle = static_cast<DWORD>(GetWindowLongA(picture, GWL_STYLE));
    GetClientRect(picture, &seen.Picture);
  }
  seen.Owner = GetWindow(dialog, GW_OWNER);
  seen.ParentEnabled = parent ? IsWindowEnabled(parent) != FALSE : true;
  GetClientRect(dialog, &seen.Client);
  if (HWND comments = GetDlgItem(dialog, idAboutComments)) GetClientRect(comments, &seen.Comments);
  if (HWND product = GetDlgItem(dialog, idAboutProduct)) GetClientRect(product, &seen.Product);
  return seen;
}

void PressOk(HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }

// A plain visible top-level window to own the box.
class ParentWindow {
 public:
  ParentWindow()
      : Window_(CreateWindowExA(0, "STATIC", "Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                500, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {}
  ~ParentWindow() { DestroyWindow(Window_); }
  HWND Get() const { return Window_; }

 private:
  HWND Window_;
};

struct BoxRun {
  int32_t Result = -2;
  Seen Box;
  bool Found = false;
  bool Watchdog = false;
};

// Opens the box on this thread while a driver reads it and presses OK.
BoxRun RunBox(const std::string& caption, HWND parent, const char* exePath, const char* comments,
              int32_t bitmap, void (*close)(HWND) = &PressOk) {
  BoxRun run;
  DialogDriver driver(caption, [&](HWND dialog) {
    run.Box = ReadBox(dialog, parent);
    close(dialog);
  });
  run.Result = OpenChildAbout(parent, exePath, comments, bitmap);
  driver.Join();
  run.Found = driver.Found();
  run.Watchdog = driver.ClosedByWatchdog();
  return run;
}

TEST(AboutLibrary, ExportsTheEntryUndecorated) {
  HMODULE library = LoadLibraryA("about.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_NE(GetProcAddress(library, "OpenChildAbout"), nullptr);
  EXPECT_EQ(GetProcAddress(library, "OpenChildAbout@16"), nullptr);
  EXPECT_EQ(GetProcAddress(library, "_OpenChildAbout@16"), nullptr);
  // The import this program links against is that same entry.
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(library, "OpenChildAbout")),
            reinterpret_cast<void*>(&OpenChildAbout));
  FreeLibrary(library);
}

TEST(AboutLibrary, ShowsTheVersionBlockModallyOverTheParent) {
  ParentWindow parent;
  ASSERT_NE(parent.Get(), nullptr);
  const std::string self = OwnPath();
  BoxRun run = RunBox(kProductTitle, parent.Get(), self.c_str(),
                      "Programme de recherche de fichiers", kAboutNoPicture);
  ASSERT_TRUE(run.Found) << "no box titled " << kProductTitle;
  EXPECT_FALSE(run.Watchdog) << "OK did not close the box";
  EXPECT_EQ(run.Result, 1);
  EXPECT_EQ(run.Box.Texts[idAboutProduct], "Purgo for Windows");
  EXPECT_EQ(run.Box.Texts[idAboutVersion], "Version 4.0.1.20");
  EXPECT_EQ(run.Box.Texts[idAboutCopyright], "Copyright © Corvane 1999-2026");
  EXPECT_EQ(run.Box.Texts[idAboutComments], "Programme de recherche de fichiers");
  EXPECT_EQ(run.Box.OkText, "&Ok");
  EXPECT_FALSE(run.Box.Present[idAboutPicture]) << "-1 shows no picture";
  EXPECT_EQ(run.Box.Owner, parent.Get());
  EXPECT_FALSE(run.Box.ParentEnabled) << "the parent is disabled while the box is up";
  EXPECT_TRUE(IsWindowEnabled(parent.Get())) << "and enabled again afterwards";
  // Every text fits the box.
  EXPECT_GT(run.Box.Client.right, 300);
  EXPECT_GT(run.Box.Client.bottom, 100);
}

TEST(AboutLibrary, ShowsTheCallersPictureAndLeavesItToTheCaller) {
  ParentWindow parent;
  HBITMAP picture = CreateBitmap(64, 48, 1, 32, nullptr);
  ASSERT_NE(picture, nullptr);
  const std::string self = OwnPath();
  BoxRun run = RunBox(kProductTitle, parent.Get(), self.c_str(), "",
                      static_cast<int32_t>(reinterpret_cast<intptr_t>(picture)));
  ASSERT_TRUE(run.Found);
  EXPECT_EQ(run.Result, 1);
  EXPECT_TRUE(run.Box.Present[idAboutPicture]);
  EXPECT_EQ(run.Box.PictureImage, picture);
  EXPECT_EQ(run.Box.PictureStyle & SS_TYPEMASK, static_cast<DWORD>(SS_BITMAP));
  EXPECT_EQ(run.Box.Picture.right, 64);
  EXPECT_EQ(run.Box.Picture.bottom, 48);
  EXPECT_FALSE(run.Box.Present[idAboutComments]) << "an empty comment takes no line";
  EXPECT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP)) << "not freed by the box";
  DeleteObject(picture);
}

TEST(AboutLibrary, LargePictureIsShownReducedAndStaysTheCallers) {
  HBITMAP picture = CreateBitmap(1200, 600, 1, 32, nullptr);
  ASSERT_NE(picture, nullptr);
  const std::string self = OwnPath();
  BoxRun run = RunBox(kProductTitle, nullptr, self.c_str(), "",
                      static_cast<int32_t>(reinterpret_cast<intptr_t>(picture)));
  ASSERT_TRUE(run.Found);
  EXPECT_TRUE(run.Box.Present[idAboutPicture]);
  EXPECT_NE(run.Box.PictureImage, picture);
  EXPECT_EQ(run.Box.Picture.right, 200);
  EXPECT_EQ(run.Box.Picture.bottom, 100);
  EXPECT_LT(run.Box.Client.right, 700) << "the box stays small";
  EXPECT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP));
  DeleteObject(picture);
}

struct OtherFileCase {
  const char* Name;
  std::string Path;
  std::string Title;
  std::map<int, std::string> Texts;  // "" = no such line
};

TEST(AboutLibrary, OtherFilesAndOddArguments) {
  TempDir dir;
  const std::string plain = dir / "notes.txt";
  pur::test::WriteText(plain, "no version block here");
  const std::string probe = pur::test::FolderOf(OwnPath()) + "about_probe.dll";
  const OtherFileCase cases[] = {
      {"first translation", probe, "À propos de Probe & Co",
       {{idAboutProduct, "Probe & Co"}, {idAboutVersion, "Version 2.5 beta"},
        {idAboutCopyright, "(c) Probe"}}},
      {"no version block", plain, "À propos de notes.txt",
       {{idAboutProduct, "notes.txt"}, {idAboutVersion, ""}, {idAboutCopyright, ""}}},
      {"missing file", dir / "gone.exe", "À propos de gone.exe",
       {{idAboutProduct, "gone.exe"}, {idAboutVersion, ""}}},
  };
  for (const OtherFileCase& c : cases) {
    BoxRun run = RunBox(c.Title, nullptr, c.Path.c_str(), "x", kAboutNoPicture);
    ASSERT_TRUE(run.Found) << c.Name;
    EXPECT_EQ(run.Result, 1) << c.Name;
    for (const auto& [id, text] : c.Texts) {
      EXPECT_EQ(run.Box.Present[id], !text.empty()) << c.Name << " control " << id;
      EXPECT_EQ(run.Box.Texts[id], text) << c.Name << " control " << id;
    }
  }

  // Null texts, a handle that is no bitmap and a parent that is no window: shown all the same.
  BoxRun odd = RunBox("À propos de ", reinterpret_cast<HWND>(0x7777), nullptr, nullptr, 0x4321);
  ASSERT_TRUE(odd.Found);
  EXPECT_EQ(odd.Result, 1);
  EXPECT_FALSE(odd.Box.Present[idAboutPicture]);
  EXPECT_FALSE(odd.Box.Present[idAboutComments]);
}

TEST(AboutLibrary, LongCommentsWrapWithinTheBox) {
  std::string comments;
  for (int i = 0; i < 30; ++i) comments += "mot" + std::to_string(i) + " ";
  const std::string self = OwnPath();
  BoxRun run = RunBox(kProductTitle, nullptr, self.c_str(), comments.c_str(), kAboutNoPicture);
  ASSERT_TRUE(run.Found);
  EXPECT_EQ(run.Box.Texts[idAboutComments], comments);
  const LONG line = run.Box.Product.bottom;  // the title line is taller than one text line
  EXPECT_GT(run.Box.Comments.bottom, line) << "wrapped onto several lines";
  EXPECT_LE(run.Box.Comments.right, 420);
  EXPECT_LT(run.Box.Comments.right, run.Box.Client.right);
}

TEST(AboutLibrary, EscapeAndCloseAlsoEndTheBox) {
  const std::string self = OwnPath();
  auto escape = [](HWND dialog) {
    PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
  };
  auto close = [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
  for (void (*way)(HWND) : {+escape, +close}) {
    BoxRun run = RunBox(kProductTitle, nullptr, self.c_str(), "", kAboutNoPicture, way);
    ASSERT_TRUE(run.Found);
    EXPECT_FALSE(run.Watchdog);
    EXPECT_EQ(run.Result, 1);
  }
}

}  // namespace

#include "AboutDlg.h"

namespace {

TEST(AboutComponentWithLibrary, ExecuteOpensTheBoxOfThisProgram) {
  ParentWindow parent;
  pur::TAboutDlg about;
  pur::SetMainFormAboutProperties(about);
  about.SetOwner(parent.Get());
  Seen seen;
  DialogDriver driver(kProductTitle, [&](HWND dialog) {
    seen = ReadBox(dialog, parent.Get());
    PressOk(dialog);
  });
  EXPECT_TRUE(about.Execute());
  driver.Join();
  ASSERT_TRUE(driver.Found());
  EXPECT_EQ(seen.Texts[idAboutComments], "Programme de recherche de fichiers");
  EXPECT_EQ(seen.Texts[idAboutProduct], "Purgo for Windows");
  EXPECT_EQ(seen.Owner, parent.Get());
  EXPECT_FALSE(seen.Present[idAboutPicture]);
}

}  // namespace
