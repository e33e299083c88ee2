// The cleaning agent of one user session: a hidden window with a notification-area icon and
// its menu, the schedule of automatic cleanings, and the watch on the settings, which apply as
// soon as the options box stores them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AgentCleaning.h"
#include "AgentSchedule.h"
#include "AgentTexts.h"
#include "WinOwners.h"

namespace pur::agent {

inline constexpr char kAgentWindowClass[] = "TPurgoCleaningAgent";
// One agent per session: the mutex lives in the session's namespace.
inline constexpr char kAgentMutexName[] = "Local\\PURGOSRV";
// Sent by a second start to the running agent, which says it is already there.
inline constexpr UINT kMessageAlreadyRunning = WM_APP + 2;
// The icon's notifications; lParam is the mouse or balloon event.
inline constexpr UINT kMessageIcon = WM_APP + 1;

class TCleaningAgent {
 public:
  TCleaningAgent() = default;
  ~TCleaningAgent();
  TCleaningAgent(const TCleaningAgent&) = delete;
  TCleaningAgent& operator=(const TCleaningAgent&) = delete;

  bool Create(HINSTANCE instance);
  // The message loop, which also waits for changes of the settings; the exit code.
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // The icon.
  void AddIcon();
  void RemoveIcon();
  void SetTip(const std::string& text);
  void Notify(const std::string& text, bool opensProgram);
  void OnIcon(LPARAM event);
  void ShowMenu();
  void OnCommand(int id);

  // The schedule.
  void ReadSettings();
  void WatchSettings();
  void CheckSchedule();
  void Clean(bool automatic);
  std::vector<uint64_t> FreeSpaceOfWatchedDrives() const;
  void OpenProgram();
  void Quit();

  HINSTANCE Instance_ = nullptr;
  HWND Window_ = nullptr;
  HICON Icon_ = nullptr;
  bool IconShown_ = false;
  UINT TaskbarCreated_ = 0;
  bool NoticeOpensProgram_ = false;
  bool InMenu_ = false;

  TAgentCleaning Cleaning_;
  bool Paused_ = false;
  bool QuitAsked_ = false;
  bool LockNoted_ = false;     // the journal already says that the lock holds cleanings back
  bool FailureShown_ = false;  // an automatic cleaning's failure is told once, until one works
  int64_t NextCheck_ = 0;

  // What the schedule reads of the settings.
  TScheduleInput Schedule_;
  bool SettingsUsable_ = false;  // read whole, and confirmed once in the options box
  std::vector<std::string> WatchedDrives_;
  std::string ProductKey_;
  std::string ServiceKey_;
  HKEY Root_ = HKEY_CURRENT_USER;

  THandle SettingsChanged_;
  TRegKey WatchedKey_;
};

// The drives of the personal search ("C:\\"...): the computer's children in the stored tree;
// what a damaged definition holds before its damage.
std::vector<std::string> SearchDrives(const std::vector<uint8_t>& stored);

}  // namespace pur::agent
