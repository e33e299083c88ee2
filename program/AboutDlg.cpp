#include "AboutDlg.h"

#include "VersionInfo.h"

// about.dll's entry, declared here so that the program needs none of the library's headers.
extern "C" __declspec(dllimport) int32_t __stdcall OpenChildAbout(HWND parent, const char* exePath,
                                                                 const char* comments, int32_t bitmap);

namespace pur {

namespace {

constexpr char kMainFormComments[] = "Programme de recherche de fichiers";
constexpr char kAuthorName[] = "Corvane";

}  // namespace

TAboutDlg::TAboutDlg() : TAboutDlg(&::OpenChildAbout) {}

TAboutDlg::TAboutDlg(OpenChildAboutFn entry) : Entry_(entry) {}

TAboutDlg::~TAboutDlg() = default;

void TAboutDlg::SetBitmap(HBITMAP picture) {
  // Copy first: assigning the owned picture to itself must not free it.
  HBITMAP copy = picture ? static_cast<HBITMAP>(CopyImage(picture, IMAGE_BITMAP, 0, 0, 0)) : nullptr;
  Bitmap_.Reset(copy);
}

bool TAboutDlg::Execute() {
  int32_t picture = Bitmap_ ? static_cast<int32_t>(reinterpret_cast<intptr_t>(Bitmap_.Get()))
                            : kNoAboutPicture;
  std::string path = OwnExecutableName();
  if (Entry_) Entry_(Owner_, path.c_str(), Comments_.c_str(), picture);
  return true;
}

void SetMainFormAboutProperties(TAboutDlg& about) {
  about.SetComments(kMainFormComments);
  about.SetAuthor({
      "------------ Programmeur --------------",
      kAuthorName,
      "",
      "-------- Interface graphique ----------",
      kAuthorName,
      "",
      "------------- Algorithme --------------",
      kAuthorName,
  });
}

}  // namespace pur
