// The about box of the product's programs, shown by about.dll.
#pragma once

#include <windows.h>

#include <cstdint>

#ifdef PUR_ABOUT_BUILDING
#define PUR_ABOUT_API __declspec(dllexport)
#else
#define PUR_ABOUT_API __declspec(dllimport)
#endif

// Picture argument meaning "no picture".
constexpr int32_t kAboutNoPicture = -1;

// Identifiers of the box's controls (consecutive), for the programs and tests that read it back.
enum TAboutControl : int {
  idAboutProduct = 100,
  idAboutVersion,
  idAboutCopyright,
  idAboutComments,
  idAboutPicture,
  idAboutIcon,
};

extern "C" {

// Shows the modal about box of the executable `exePath` (its version block gives the product
// name, version and copyright), with `comments` and the HBITMAP `bitmap` (or kAboutNoPicture).
// Owned by `parent`, which stays disabled while the box is shown. Answers 1 when the box was
// shown and closed, 0 when it could not be shown.
PUR_ABOUT_API int32_t __stdcall OpenChildAbout(HWND parent, const char* exePath,
                                               const char* comments, int32_t bitmap);
}
