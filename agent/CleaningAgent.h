// The cleaning agent of one user session: a hidden window with a notification-area icon and
// its menu, the schedule of automatic cleanings, and the watch on the settings, which apply as
// soon as the options box stores them.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
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
// From the free-space thread; lParam owns a std::vector<uint64_t>.
inline constexpr UINT kMessageFreeSpace = WM_APP + 3;

// The watch on the settings keys. It is armed again just before each read, so that a change
// made while the settings are read signals once more and is read in turn.
class TSettingsWatch {
 public:
  TSettingsWatch() : Event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  // Watches the key, or the nearest of its parents that exists yet, for any change below it.
  void Arm(HKEY root, const std::string& path);
  void ArmThenRead(HKEY root, const std::string& path, const std::function<void()>& read) {
    Arm(root, path);
    read();
  }
  // Set once for the changes since the last arm (auto-reset).
  HANDLE Event() const { return Event_.Get(); }

 private:
  THandle Event_;
  TRegKey Key_;
};

class TCleaningAgent {
 public:
  TCleaningAgent() = default;
  ~TCleaningAgent();
  TCleaningAgent(const TCleaningAgent&) = delete;
  TCleaningAgent& operator=(const TCleaningAgent&) = delete;

  bool Create(HINSTANCE instance);
  // An agent that may not work: its icon tells why for a moment (at once gone when there is no
  // notification area), then Run ends.
  bool CreateRefusing(HINSTANCE instance, const std::string& notice);
  // The message loop, which also waits for changes of the settings; the exit code.
  int Run();

 private:
  using TClock = std::chrono::steady_clock;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateWindowAndIcon(HINSTANCE instance);

  // The icon.
  void AddIcon();
  void RemoveIcon();
  void SetTip(const std::string& text);
  void Notify(const std::string& text, bool opensProgram);
  void OnIcon(LPARAM event);
  void ShowMenu();
  void OnCommand(int id);

  // The settings.
  void OnSettingsChanged();
  void PollSettings();
  void ApplySettings();
  void ReadSettings();
  void SetPaused(bool paused);

  // The schedule.
  void CheckSchedule();
  void Decide(const std::vector<uint64_t>& freeBytes);
  void StartFreeSpaceQuery();
  void OnFreeSpace(std::vector<uint64_t>* freeBytes);
  void ArmScheduleTimer();
  bool MayCleanByItself() const;
  void Clean(bool automatic);
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
  bool InLowSpell_ = false;    // type 2: a watched drive is low now
  bool LowNoticeShown_ = false;  // one notice per low spell
  bool SpaceQueryPending_ = false;
  // Due times follow the monotonic clock; the stored time of the last cleaning bridges restarts.
  TClock::time_point NextCheck_;
  std::optional<TClock::time_point> OwnCleaningAt_;
  int64_t OwnCleaningStored_ = 0;  // the stored time that cleaning wrote

  // What the agent reads of the settings.
  TScheduleInput Schedule_;
  bool Readable_ = false;
  bool AutoStart_ = false;
  bool Consent_ = false;
  bool AutomaticWanted_ = false;  // read whole and AutomaticCleaningWanted
  std::vector<std::string> WatchedDrives_;
  std::string ProductKey_;
  std::string ServiceKey_;
  HKEY Root_ = HKEY_CURRENT_USER;

  TSettingsWatch Watch_;
};

// The first automatic look comes this long after start. Tests shorten it (never lengthen it)
// with the environment variable PURGOSRV_FIRST_LOOK (seconds).
inline constexpr int64_t kFirstLookSeconds = 60;
inline constexpr char kFirstLookVariable[] = "PURGOSRV_FIRST_LOOK";
std::chrono::seconds FirstLookDelay();

// Free space of each drive that answers within the bound (others are left out), asked on
// threads of their own, so that an unreachable drive holds up nothing but its own thread.
std::vector<uint64_t> FreeSpaceOf(const std::vector<std::string>& drives, std::chrono::milliseconds bound);

// The drives of the personal search ("C:\\"...): the computer's children in the stored tree;
// what a damaged definition holds before its damage.
std::vector<std::string> SearchDrives(const std::vector<uint8_t>& stored);

}  // namespace pur::agent
