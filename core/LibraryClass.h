// The program's binding of the search library purSearch.dll: loads it from the program's
// folder, reaches its exports only through this object, keeps cleanings away while another
// program holds the library's lock, and feeds progress to the main thread from a monitor thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "LibraryCodes.h"
#include "SafeDllLoad.h"
#include "WinOwners.h"

namespace pur {

inline constexpr char kSearchLibraryFile[] = "purSearch.dll";
inline constexpr char kLibNameFormat[] = "PUR400-%3d";
inline constexpr char kLibReserved[] = "--------";
inline constexpr int32_t kLibLoadErrorCode = 1002;
inline constexpr char kLibLoadErrorText[] = "Can't load purSearch.dll";
inline constexpr int32_t kLibNameMaxNumber = 98;
inline constexpr int32_t kDefaultRefreshInterval = 500;
inline constexpr int32_t kSkippedByLock = -1;

// "Erreur %d: %s"
std::string FormatLibError(int32_t code, const std::string& text);

// Errors of the binding. Numbered ones read "Erreur %d: %s"; a failure the library reports
// through its failure channel carries the library's own text and the code 0.
class EPURLib : public std::runtime_error {
 public:
  EPURLib(int32_t code, const std::string& text)
      : std::runtime_error(FormatLibError(code, text)), Code_(code) {}
  explicit EPURLib(const std::string& libraryText)
      : std::runtime_error(libraryText), Code_(0) {}
  int32_t Code() const { return Code_; }

 private:
  int32_t Code_;
};

// The name format filled with one number: "%Nd" (or "%d") takes it, "%%" is a percent sign,
// anything else is copied as it stands.
std::string MakeLibName(const std::string& format, int32_t number);

using TLibEndProc = void(__stdcall*)(uint8_t);

// The seventeen entry points in the library's order, and its failure channel.
struct TLibEntryPoints {
  void(__stdcall* InitLibrarie)(const char*, const char*, const char*) = nullptr;
  void(__stdcall* FreeLibrarie)() = nullptr;
  int32_t(__stdcall* GetNbLibrairy)() = nullptr;
  int32_t(__stdcall* LengthAppNames)() = nullptr;
  void(__stdcall* GetAppNames)(char*) = nullptr;
  void(__stdcall* getSearchLists)(int32_t, char*) = nullptr;
  void(__stdcall* setEndProc)(TLibEndProc) = nullptr;
  double(__stdcall* GetCurrentPercent)() = nullptr;
  int32_t(__stdcall* GetCurrentStatus)() = nullptr;
  uint8_t(__stdcall* InitPersoTree)(const void*, int32_t) = nullptr;
  int32_t(__stdcall* CleanWindows)(int32_t) = nullptr;
  int32_t(__stdcall* DeleteFileEntry)(const char*, uint8_t, uint8_t) = nullptr;
  uint8_t(__stdcall* LockLib)(const char*) = nullptr;
  uint8_t(__stdcall* UnLockLib)(const char*) = nullptr;
  uint8_t(__stdcall* IsLocked)() = nullptr;
  void(__stdcall* NameLocked)(char*) = nullptr;
  void(__stdcall* CreateFileLog)(const char*, const char*, const char*, uint8_t) = nullptr;
  int32_t(__stdcall* GetLastLibError)(char*, int32_t) = nullptr;  // optional
  // Optional: the user's limits on the cleanings, and what they left in place.
  int32_t(__stdcall* SetCleaningRules)(int32_t, const char*) = nullptr;
  int32_t(__stdcall* GetLeftByRules)(int32_t, int32_t*, int32_t*) = nullptr;
};

// What the user's limits left in place in one cleaning.
struct TLeftByRules {
  int32_t TooRecent = 0;
  int32_t Kept = 0;
};

// Looks every entry up; answers the names of the required ones that are missing.
std::vector<std::string> BindEntryPoints(HMODULE module, TLibEntryPoints& entries);

// Lives on the thread that creates it (the main thread), which must take sent messages for
// the progress hand-over. Never destroy it from inside its own progress or end handler.
class TPURLib {
 public:
  using TProgressEvent = std::function<bool(double)>;
  using TEndEvent = std::function<void(uint8_t)>;

  // Loads purSearch.dll from the program's folder; libraryPath names another full path
  // (tests). Raises EPURLib 1002 when the library can't be loaded or initialised.
  TPURLib(const std::string& nameFormat, const std::string& productName,
          const std::string& reserved, const std::string& libraryPath = std::string());
  ~TPURLib();
  TPURLib(const TPURLib&) = delete;
  TPURLib& operator=(const TPURLib&) = delete;

  const std::string& LibName() const { return LibName_; }
  bool Loaded() const { return Loaded_; }
  HMODULE Module() const { return Module_.Get(); }
  bool LockedByOther() const { return LockedByOther_; }
  int32_t RefreshInterval() const { return RefreshInterval_; }
  void SetRefreshInterval(int32_t milliseconds);
  // Runs on the main thread once per poll while set.
  void SetOnProgress(TProgressEvent handler);

  int32_t LoadNumber();
  void EmptyRecycleBin();
  int32_t EmptyTempFolder();  // kSkippedByLock when skipped
  void RunPersoSearch();
  void StopSearch();
  std::string GetSearchList(int32_t list);
  void SetPersoTree(const std::vector<uint8_t>& stream);
  int32_t DeleteFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden);
  // Hands the user's limits to the library for this process's cleanings. False when they
  // could not be set: then nothing may be deleted. A library without limits takes only none.
  bool SetCleaningRules(int32_t minimumAgeDays, const std::vector<std::string>& keepList);
  TLeftByRules LeftByRules(int32_t cleaning);
  void WriteReport(const std::string& path, const std::string& body, bool newFile);
  // A journal entry that a copy held back by the lock writes to say so. It is never guarded:
  // the lock keeps cleanings apart, and a note deletes nothing. Always appended.
  void AppendNote(const std::string& path, const std::string& body);
  int32_t CurrentStatus();
  std::string LockOwnerName();
  bool TakeLock();
  bool ReleaseLock();
  // The program's end handler, shared by every binding; empty stops the forwarding.
  static void SetEndHandler(TEndEvent handler);

 private:
  friend LRESULT CALLBACK SyncWindowProc(HWND, UINT, WPARAM, LPARAM);
  static DWORD WINAPI MonitorEntry(void* self);

  void Load(const std::string& path, const std::string& productName, const std::string& reserved);
  void StartMonitor();
  void StopMonitor();
  void Execute();
  void UpdateProgress();
  bool GuardAllows();
  std::string ReadLockOwner();  // no failure check: the monitor calls it too
  void CheckLibError();
  int32_t RunCleaning(int32_t code);

  std::string LibName_;
  bool Loaded_ = false;
  TModule Module_;
  std::atomic<int32_t> RefreshInterval_{kDefaultRefreshInterval};
  std::atomic<bool> LockedByOther_{true};
  TLibEntryPoints Entries_;
  TProgressEvent OnProgress_;
  std::atomic<bool> HasProgressHandler_{false};

  TWindowHandle SyncWindow_;  // created by the constructing (main) thread
  THandle StopEvent_;
  THandle Thread_;
  std::atomic<bool> Stopping_{false};
};

}  // namespace pur
