// Thin owners of the named kernel objects that all processes using the library share:
// the mutexes, the sections PURSHARE, PURAPPMM and PURRETURN, and the wake event.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "WinOwners.h"

namespace pur {

constexpr char kSharedStateName[] = "PURSHARE";
constexpr char kMutexName[] = "PURMUTEX";
constexpr char kAppNamesName[] = "PURAPPMM";
constexpr char kListsName[] = "PURRETURN";
// Serialises publications between processes, so that two publishers never undo each other.
constexpr char kPublishMutexName[] = "PURPUBLISH";
// Pulsed when a section changes, so that every monitor looks at once instead of at its next pass.
constexpr char kWakeEventName[] = "PURWAKE";

constexpr DWORD kMutexTimeoutMs = 3000;
constexpr int kLockOwnerMax = 10;

// Status bits of the running cleanings.
constexpr uint8_t kStatusRecycleBin = 1;
constexpr uint8_t kStatusTempFolder = 2;
constexpr uint8_t kStatusSearch = 4;

#pragma pack(push, 1)
// The record inside PURSHARE; its layout is shared with every other process.
struct TSharedState {
  int32_t LoadCount;
  int32_t AppNamesSize;
  int32_t AppNamesViews;
  int32_t ListsSize;
  int32_t ListsViews;
  uint8_t Status;
  uint8_t Padding[3];
  double Percent;
  uint8_t StopRequested;
  uint8_t LockOwner[1 + kLockOwnerMax];  // short string: length byte, then the characters
};
#pragma pack(pop)

static_assert(sizeof(TSharedState) == 44);
static_assert(offsetof(TSharedState, LoadCount) == 0);
static_assert(offsetof(TSharedState, AppNamesSize) == 4);
static_assert(offsetof(TSharedState, AppNamesViews) == 8);
static_assert(offsetof(TSharedState, ListsSize) == 12);
static_assert(offsetof(TSharedState, ListsViews) == 16);
static_assert(offsetof(TSharedState, Status) == 20);
static_assert(offsetof(TSharedState, Percent) == 24);
static_assert(offsetof(TSharedState, StopRequested) == 32);
static_assert(offsetof(TSharedState, LockOwner) == 33);

// Raised when a section can't be created or mapped ("Error creating shared memory %s (%d)").
class ESharedMem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised when a mutex can't be created; the text names it and the system's error code.
class EMutexCreate : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class THandledObject {
 public:
  THandledObject() = default;
  THandledObject(const THandledObject&) = delete;
  THandledObject& operator=(const THandledObject&) = delete;
  virtual ~THandledObject() = default;

  HANDLE Handle() const { return handle_.Get(); }

 protected:
  THandle handle_;
};

class TMutex : public THandledObject {
 public:
  explicit TMutex(const char* name);  // throws EMutexCreate
  // True when ownership was granted, also when inherited from a process that died.
  bool GetEvenAbandoned(DWORD timeoutMs);
  bool Release();
};

// The named wake-up of the monitors. Without it (the name held by another kind of object)
// the monitors still see every change at their next timed pass.
class TWakeEvent : public THandledObject {
 public:
  explicit TWakeEvent(const char* name);
  // Wakes every monitor waiting now; one busy with a pass misses it and is woken by the
  // next pulse or by its timer.
  void Pulse() const;
};

class TSharedMem : public THandledObject {
 public:
  // Creates or opens the section and maps Size bytes; zero-fills a section that is new.
  TSharedMem(const std::string& name, int32_t size);  // throws ESharedMem

  const std::string& Name() const { return name_; }
  int32_t Size() const { return size_; }
  bool Created() const { return created_; }
  void* Memory() const { return memory_.Get(); }

 private:
  std::string name_;
  int32_t size_ = 0;
  bool created_ = false;
  TMappedView memory_;
};

std::string SharedMemErrorText(const std::string& name, DWORD code);

}  // namespace pur
