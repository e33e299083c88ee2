// The main window: hosts the library binding, the settings and the journal list, shows the
// log pane, progress and lock state, and drives the cleaning runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "LibraryClass.h"
#include "PURGORegistry.h"
#include "uUserMainPrgm_Texts.h"

namespace pur {

enum TInfoKind : int { ikNormal = 0, ikSuccess = 1, ikWarning = 2, ikError = 3 };

// The boxes the window opens; the program supplies them (tests may leave them empty).
struct TMainFormBoxes {
  bool (*OpenOptions)(HWND parent) = nullptr;  // true: the settings changed
  void (*OpenAbout)(HWND parent) = nullptr;
};

class TUserMainForm {
 public:
  TUserMainForm() = default;
  ~TUserMainForm();
  TUserMainForm(const TUserMainForm&) = delete;
  TUserMainForm& operator=(const TUserMainForm&) = delete;

  // Creates the window and its components, then runs FormCreate. False when the window
  // itself could not be made.
  bool Create(HINSTANCE instance, const TMainFormBoxes& boxes);
  // FormShow: places the window and shows it.
  void Show(int showCommand);
  HWND Handle() const { return Window_; }
  void SetAutoMode(bool on) { AutoMode_ = on; }

  void AddInfoLine(const std::string& text, TInfoKind kind);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Window and components.
  void CreateComponents();
  HWND AddButton(int id, const char* caption, int left, int top);
  void CreateLeds();
  void CreateLogPane();
  HWND Item(int id) const { return GetDlgItem(Window_, id); }

  // Events.
  void FormCreate();
  bool FormClose();
  void OnCommand(int id);
  void OnTimer(UINT_PTR id);
  void ButtonStartStopClick();
  void ButtonOptionsClick();
  void OpenOptionsBox();
  void ButtonAboutClick();
  void RestartButtonClick();
  void TimerLedYellowTimer();
  void TimerStartTimer();

  // Commands that must not run inside a progress hand-over wait for it to return.
  bool DeferIfInsideProgress(int command);
  void RunDeferred(int command);
  void PostDeferred();

  // Operations.
  void LoadSettings();
  void InitSearchModule();
  void FreeSearchModule();
  bool LibProgress(double percent);
  void BlinkOther(bool on);
  void SetLockedState(bool locked);
  void SetIdle(bool idle);
  void SetDetail(bool shown);
  void ApplyDisplaySettings();
  void SetInfo(const char* text);
  void PlayAnimation(int resourceId);
  void StopAnimation();
  void ProcessMessages();
  void SavePositionIfMoved();
  void SetLed(int id, bool on);

  // The cleaning run.
  void RunCleaning();
  void StepFinished(uint8_t code);
  void PersoSearchFinished();
  void DeleteFoundFiles(const std::vector<std::string>& names);
  void LogListItems(int32_t list, TInfoKind kind);
  void WriteSummary();

  HWND Window_ = nullptr;
  HWND Memo_ = nullptr;
  HFONT Font_ = nullptr;
  HICON Icon_ = nullptr;
  HMODULE Shell32_ = nullptr;
  TMainFormBoxes Boxes_;
  bool AutoMode_ = false;

  std::unique_ptr<TPURLib> FLib;
  std::unique_ptr<TPURGORegistry> FRegistry;
  std::unique_ptr<std::vector<std::string>> FJournal;
  bool FIdle = true;
  bool FStarting = false;
  bool FLockedShown = false;
  uint32_t FStartTick = 0;
  int64_t FTempGain = 0;
  int64_t FPersoGain = 0;
  int TimerStartTag_ = 0;
  bool Closed_ = false;
  bool SettingsFailed_ = false;  // keeps the log pane shown so the error is seen
  // The last load left values unread: a save now would replace them by their defaults.
  bool SettingsIncomplete_ = false;

  int ProgressDepth_ = 0;
  std::set<int> Deferred_;
};

}  // namespace pur
