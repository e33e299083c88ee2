// The main window's about component: hands the about box to about.dll with the program's path,
// a line of comments and an optional picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "GdiOwners.h"

namespace pur {

// The about library's entry, as the program imports it.
using OpenChildAboutFn = int32_t(__stdcall*)(HWND parent, const char* exePath,
                                             const char* comments, int32_t bitmap);

// The picture argument for "no picture".
constexpr int32_t kNoAboutPicture = -1;

class TAboutDlg {
 public:
  // `entry` is the about library's OpenChildAbout; tests hand in a recorder.
  TAboutDlg();
  explicit TAboutDlg(OpenChildAboutFn entry);
  ~TAboutDlg();
  TAboutDlg(const TAboutDlg&) = delete;
  TAboutDlg& operator=(const TAboutDlg&) = delete;

  // The main form whose window parents the box.
  void SetOwner(HWND owner) { Owner_ = owner; }
  HWND Owner() const { return Owner_; }

  const std::string& Comments() const { return Comments_; }
  void SetComments(const std::string& comments) { Comments_ = comments; }

  // Setting copies the picture into the owned one; a null handle empties it.
  HBITMAP Bitmap() const { return Bitmap_.Get(); }
  void SetBitmap(HBITMAP picture);

  // Credit lines; kept, not shown by the box.
  const std::vector<std::string>& Author() const { return Author_; }
  void SetAuthor(const std::vector<std::string>& lines) { Author_ = lines; }

  // Shows the box modally over the owner; returns when it closes. Always true.
  bool Execute();

 private:
  OpenChildAboutFn Entry_;
  HWND Owner_ = nullptr;
  std::string Comments_;
  TBitmap Bitmap_;
  std::vector<std::string> Author_;
};

// The properties the main window's instance carries.
void SetMainFormAboutProperties(TAboutDlg& about);

}  // namespace pur
