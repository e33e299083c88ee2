// The file list dialog: the found files of a personal search with their sizes and attribute
// letters, each with a check box; the user unticks what must stay. Built in code, so the
// program needs no dialog resource for it.
//
// The list view is virtual (owner data): it asks for the rows it shows, so a million names
// come up as fast as a hundred. The window's thread never waits on the file system: the rows
// shown are read on a thread of their own, and the attributes of all the others, which decide
// the starting ticks that OK answers with, by listing each folder once on worker threads.
// OK waits for those with the window answering and its progress shown; a folder whose listing
// hangs is given up after a bound, its rows unticked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
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

// The order of the dialog's rows, as indexes into `names`: by the system's sort keys of the
// names, which order them as lstrcmpA does; equal names keep the caller's order.
std::vector<uint32_t> SortKeyOrder(const StringList& names);

// Texts and layout of the dialog.
inline constexpr char kListFileCaption[] = "Liste de fichiers";
inline constexpr char kButtonOkCaption[] = "&Ok";
inline constexpr char kButtonCancelCaption[] = "&Annuler";
inline constexpr char kButtonHelpCaption[] = "&Aide";
inline constexpr int kListViewFileId = 101;
inline constexpr int kButtonOkId = IDOK;
inline constexpr int kButtonCancelId = IDCANCEL;
inline constexpr int kButtonHelpId = 102;
inline constexpr int kProgressLabelId = 103;
inline constexpr char kProgressFormat[] = "Lecture des attributs : %s / %s";
inline constexpr char kKeepFolderItem[] = "Toujours garder ce dossier";
inline constexpr char kKeepFileItem[] = "Toujours garder ce fichier";
inline constexpr int kKeepFolderCommand = 201;
inline constexpr int kKeepFileCommand = 202;
inline constexpr int kListFileClientWidth = 632;
inline constexpr int kListFileClientHeight = 286;

// The list's columns, left to right: title and width in pixels.
struct TFileListColumn {
  const char* title;
  int width;
};
inline constexpr TFileListColumn kFileListColumns[] = {
    {"Nom du fichier", 425}, {"Taille du fichier", 100}, {"Attribut du fichier", 88}};

class RowTable;
class Notifier;
class TRowReader;
class TFolderSettler;
class TKeepList;

// What the review list's "Toujours garder" menu does with the user's choice.
struct TReviewKeeping {
  // Records the entry (a folder with its final '\', or a file's full path) in the user's
  // keep list; false, with the reason (French) in `error`, when it could not be stored.
  std::function<bool(const std::string& entry, std::string& error)> Record;
};

// The dialog of one ShowFileList call: created, filled, shown modally, read back, destroyed.
class TListFileForm {
 public:
  // With `keeping`, a right-click on a row offers to keep its folder or the file for good.
  TListFileForm(StringList names, HWND mainForm, const TReviewKeeping* keeping = nullptr);
  ~TListFileForm();
  TListFileForm(const TListFileForm&) = delete;
  TListFileForm& operator=(const TListFileForm&) = delete;

  // Shows the dialog modally; true when it closed with OK. An error raised inside the
  // dialog is raised again here, after the dialog has been destroyed.
  bool ShowModal();
  // The names of the rows ticked when OK closed the dialog, in the list view's order.
  // Hands the names over: call it once, after ShowModal.
  StringList TakeAccepted();

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ListViewProc(HWND listView, UINT message, WPARAM wParam,
                                       LPARAM lParam, UINT_PTR id, DWORD_PTR form);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnNotify(const NMHDR& header, LRESULT& result);
  void OnInit();
  void CreateControls();
  void OnOk();
  void OnSettleStep();
  void ShowProgress();
  void StopReaders();
  void ToggleTick(int row);
  bool SetTicksFromState(int row, UINT state);
  void OnContextMenu(LPARAM at);
  void ShowKeepMenu(int row, POINT screen);
  void Keep(const std::string& entry);
  void UntickKept(const TKeepList& keep, const std::string& entry);

  std::shared_ptr<RowTable> rows_;
  std::shared_ptr<Notifier> notifier_;
  std::unique_ptr<TRowReader> rowReader_;
  std::unique_ptr<TFolderSettler> settler_;
  HWND mainForm_;
  const TReviewKeeping* keeping_;
  HWND dialog_ = nullptr;
  HWND listView_ = nullptr;
  HWND progress_ = nullptr;
  HFONT font_ = nullptr;
  bool settling_ = false;  // OK was pressed; the starting ticks are being settled
  std::string progressText_;
  std::vector<uint32_t> accepted_;  // rows ticked at OK, in view order
  std::exception_ptr error_;
};

// Shows the names of `list` for review; on return `list` holds the ticked names in the
// dialog's order after OK, and nothing after Cancel, Escape or the close box. With `keeping`,
// the rows offer the "Toujours garder" menu.
void ShowFileList(StringList& list, HWND mainForm, const TReviewKeeping* keeping = nullptr);

}  // namespace pur
