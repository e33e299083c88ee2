#include "AboutDlg.h"

#include "VersionInfo.h"
#include "about.h"

namespace pur {

namespace {

constexpr char kMainFormComments[] = "Programme de recherche de fichiers";
constexpr char kAuthorName[] = "Corvane";

}  // namespace

TAboutDlg::TAboutDlg() : TAboutDlg(&::OpenChildAbout) {}

TAboutDlg::TAboutDlg(OpenChildAboutFn entry) : Entry_(entry) {}

TAboutDlg::~TAboutDlg() { SetBitmap(nullptr); }

void TAboutDlg::SetBitmap(HBITMAP picture) {
  // Copy first: assigning the owned picture to itself must not free it.
  HBITMAP copy = picture ? static_cast<HBITMAP>(CopyImage(picture, IMAGE_BITMAP, 0, 0, 0)) : nullptr;
  if (Bitmap_) DeleteObject(Bitmap_);
  Bitmap_ = copy;
}

bool TAboutDlg::Execute() {
  int32_t picture = Bitmap_ ? static_cast<int32_t>(reinterpret_cast<intptr_t>(Bitmap_))
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
