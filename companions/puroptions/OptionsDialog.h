// The options box: a modal dialog of five pages built in code, editing a copy of the
// settings; the caller decides what to store.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

#include "GdiOwners.h"
#include "OptionsIds.h"
#include "OptionsModel.h"

namespace pur::options {

class TOptionsDialog {
 public:
  TOptionsDialog(HMODULE module, TOptionsValues values);
  ~TOptionsDialog();
  TOptionsDialog(const TOptionsDialog&) = delete;
  TOptionsDialog& operator=(const TOptionsDialog&) = delete;

  // Modal; true when the user confirmed with OK and every field was accepted.
  bool Run(HWND owner);
  // The edited values (meaningful after Run answered true). Service.AutomaticConsent holds
  // the user's consent as it now stands: kept, given on the question, or withdrawn.
  const TOptionsValues& Values() const { return values_; }

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  // Building.
  void Create();
  HWND Add(int page, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
           int id = 0, DWORD exStyle = 0);
  HWND AddCheck(int page, const char* text, int x, int y, int w, int id, bool checked);
  HWND AddEdit(int page, int x, int y, int w, int id, const std::string& text, DWORD style = 0);
  int AddLabel(int page, const char* text, int x, int y, int id = 0);
  void CreateDisplayPage();
  void CreateCleaningPage();
  void CreateLimitsGroup(int top);
  void AddMinimumAge(int x, int y, int32_t days);
  void CreateJournalPage();
  void CreateSearchPage();
  void CreateServicePage();
  void EnableUsedNumbers();
  int32_t SelectedCleaningType(int32_t whenNone) const;
  void ShowAutomaticState();
  void PlaceWindow(HWND owner);
  // Policies: the controls they grey, each with its tip, and the note beside the buttons.
  void ListLockedControls();
  void LockControls();
  void PlaceTips(int page);
  bool Locked(int id) const;
  void TakeBodyColour();
  INT_PTR PageBackground(HDC dc, HWND control);
  void ShowPage(int page);

  // Search page.
  void RefreshTree(const TArborescense* select);
  void InsertNode(TArborescense& node, HTREEITEM parent, const TArborescense* select, HTREEITEM& found);
  TArborescense* CurrentNode() const;
  TDossier* CurrentPlace() const;
  void OnPlaceSelected();
  void RefreshMasks(int select);
  void RefreshDefinitionText();
  void OnMaskSelected();
  void OnAddDrive();
  void OnAddFolder();
  void OnRemoveNode();
  void OnMaskCommand(int id);
  void ReportMaskEdit(TMaskEdit result, TMaskProblem why);

  // Closing.
  void OnBrowseLocation();
  bool Collect(TOptionsValues& out);
  bool Untouched(int id, const std::string& text) const;
  bool ReadNumber(int page, int id, const char* label, int32_t low, int32_t high, int32_t original,
                  int32_t& out);
  bool CollectKeepList(std::vector<std::string>& out);
  bool ConfirmDangerousMasks();
  void AskAutomaticConsent(TOptionsValues& edited);
  void OnOk();
  void Complain(const std::string& text, int page, int id);

  std::string Text(int id) const;
  bool Checked(int id) const;
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  HMODULE module_;
  TOptionsValues values_;
  TSearchDefinition search_;
  HWND hwnd_ = nullptr;
  HWND tabs_ = nullptr;
  TFont font_;
  TBrush bodyBrush_;
  COLORREF bodyColour_ = 0;
  RECT pageArea_{};
  std::array<std::vector<HWND>, ids::kPageCount> pages_;
  // Texts the number fields and the keep list showed at first: an untouched field keeps its
  // stored value.
  std::vector<std::pair<int, std::string>> shownTexts_;
  bool rebuilding_ = false;
  std::vector<int> locked_;  // greyed by a policy, whatever the page's own rules say
  HWND tips_ = nullptr;      // owned by the box, which destroys it
};

}  // namespace pur::options
