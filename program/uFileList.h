// The file list dialog: the found files of a personal search with their sizes and attribute
// letters, each with a check box; the user unticks what must stay. Built in code, so the
// program needs no dialog resource for it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "FileListFormat.h"

namespace pur {

using StringList = std::vector<std::string>;

// Size of the named file in bytes, taken whole (also 2 GiB and more); 0 when it cannot be
// opened for reading.
int64_t GetFileSizeOf(const std::string& name);

// "A", "H", "R", "S" as set on the file; "AHRS" when its attributes cannot be read.
std::string FileAttrLetters(const std::string& name);

// Centres the form over the main window and keeps it on the screen; nothing without one.
void CenterOnMainForm(HWND form, HWND mainForm);

// One row of the dialog.
struct FileRow {
  std::string caption;     // the name as the caller passed it
  std::string size;        // FormatSize of its size
  std::string attributes;  // FileAttrLetters
  bool ticked = false;     // none of R, S, H
};

// The rows of the given names, ordered by caption with lstrcmpA (names that compare equal
// keep the caller's order).
std::vector<FileRow> MakeFileRows(const StringList& names);

// Orders rows by caption as lstrcmpA does, rows that compare equal in their present order.
void SortRowsByCaption(std::vector<FileRow>& rows);

// The quick way to that order, through the system's sort keys: indexes into `rows`.
// SortRowsByCaption checks it and falls back on lstrcmpA itself should they ever differ.
std::vector<size_t> SortKeyOrder(const std::vector<FileRow>& rows);

// Appends the rows to a report list view with check boxes, in the given order.
void FillFileListView(HWND listView, const std::vector<FileRow>& rows);

// Texts and layout of the dialog.
inline constexpr char kListFileCaption[] = "Liste de fichiers";
inline constexpr char kButtonOkCaption[] = "&Ok";
inline constexpr char kButtonCancelCaption[] = "&Annuler";
inline constexpr char kButtonHelpCaption[] = "&Aide";
inline constexpr char kColumnName[] = "Nom du fichier";
inline constexpr char kColumnSize[] = "Taille du fichier";
inline constexpr char kColumnAttributes[] = "Attribut du fichier";
inline constexpr int kListViewFileId = 101;
inline constexpr int kButtonOkId = IDOK;
inline constexpr int kButtonCancelId = IDCANCEL;
inline constexpr int kButtonHelpId = 102;
inline constexpr int kListFileClientWidth = 632;
inline constexpr int kListFileClientHeight = 286;

// The dialog of one ShowFileList call: created, filled, shown modally, read back, destroyed.
class TListFileForm {
 public:
  TListFileForm(std::vector<FileRow> rows, HWND mainForm);
  TListFileForm(const TListFileForm&) = delete;
  TListFileForm& operator=(const TListFileForm&) = delete;

  // Shows the dialog modally; true when it closed with OK. An error raised inside the
  // dialog is raised again here, after the dialog has been destroyed.
  bool ShowModal();
  // The captions of the rows ticked when OK closed the dialog, in the list view's order.
  const StringList& Accepted() const { return accepted_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void CreateControls();
  void ReadAccepted();

  std::vector<FileRow> rows_;
  HWND mainForm_;
  HWND dialog_ = nullptr;
  HWND listView_ = nullptr;
  HFONT font_ = nullptr;
  StringList accepted_;
  std::exception_ptr error_;
};

// Shows the names of `list` for review; on return `list` holds the ticked names in the
// dialog's order after OK, and nothing after Cancel, Escape or the close box.
void ShowFileList(StringList& list, HWND mainForm);

}  // namespace pur
