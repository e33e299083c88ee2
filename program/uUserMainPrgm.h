// The main window: hosts the library binding, the settings and the journal list, shows the
// log pane, progress and lock state, and drives the cleaning runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "EventLog.h"
#include "GdiOwners.h"
#include "LibraryClass.h"
#include "PURGORegistry.h"
#include "uUserMainPrgm_Layout.h"
#include "uUserMainPrgm_Run.h"
#include "uUserMainPrgm_Texts.h"

namespace pur {

// The boxes the window opens; the program supplies them (tests may leave them empty).
struct TMainFormBoxes {
  bool (*OpenOptions)(HWND parent) = nullptr;  // true: the settings changed
  void (*OpenAbout)(HWND parent) = nullptr;
};

class TUserMainForm : private TRunHost {
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

  void AddInfoLine(const std::string& text, TInfoKind kind) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Window and components.
  void CreateComponents();
  HWND AddChild(const char* windowClass, const char* text, DWORD style, int id);
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
  // The automatic mode's answer to settings it could not read whole.
  void RefuseAutomaticRun();
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
  void SavePositionIfMoved();
  void SetLed(int id, bool on);

  // What the cleaning run asks of the window.
  TPURLib* Lib() override { return FLib.get(); }
  TPURGORegistry* Settings() override { return FRegistry.get(); }
  std::vector<std::string>& Journal() override { return *FJournal; }
  bool Running() const override { return !FIdle; }
  void SetStatus(const char* text) override { SetInfo(text); }
  void Animate(int resourceId) override { PlayAnimation(resourceId); }
  void StopAnimation() override;
  void ProcessMessages() override;
  void ReviewFoundFiles(std::vector<std::string>& names) override;
  void RunEnded() override;
  const char* Runner() const override { return AutoMode_ ? kRunnerAutoMode : kRunnerProgram; }

  HWND Window_ = nullptr;
  HWND Memo_ = nullptr;
  TFont Font_;  // freed after the window that uses it, as members go after the destructor
  HICON Icon_ = nullptr;
  TModule Shell32_;
  TMainFormBoxes Boxes_;
  bool AutoMode_ = false;

  std::unique_ptr<TPURLib> FLib;
  std::unique_ptr<TPURGORegistry> FRegistry;
  std::unique_ptr<std::vector<std::string>> FJournal;
  bool FIdle = true;
  bool FLockedShown = false;
  TCleaningRun Run_{*this};
  int TimerStartTag_ = 0;
  bool Closed_ = false;
  bool SettingsFailed_ = false;  // keeps the log pane shown so the error is seen
  // The last load left values unread: a save now would replace them by their defaults.
  bool SettingsIncomplete_ = false;
  int ExitCode_ = 0;

  int ProgressDepth_ = 0;
  std::set<int> Deferred_;
};

}  // namespace pur
