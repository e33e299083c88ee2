#include "ShareMemUtils.h"

#include <cstdio>
#include <cstring>

namespace pur {

THandledObject::~THandledObject() {
  if (handle_) CloseHandle(handle_);
}

TMutex::TMutex(const char* name) {
  handle_ = CreateMutexA(nullptr, FALSE, name);
  if (!handle_) {
    char text[96];
    std::snprintf(text, sizeof text, "Error creating mutex %s (%d)", name, static_cast<int>(GetLastError()));
    throw EMutexCreate(text);
  }
}

bool TMutex::GetEvenAbandoned(DWORD timeoutMs) {
  DWORD r = WaitForSingleObject(handle_, timeoutMs);
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool TMutex::Release() { return ReleaseMutex(handle_) != FALSE; }

TWakeEvent::TWakeEvent(const char* name) { handle_ = CreateEventA(nullptr, TRUE, FALSE, name); }

void TWakeEvent::Pulse() const {
  if (handle_) PulseEvent(handle_);
}

std::string SharedMemErrorText(const std::string& name, DWORD code) {
  char text[128];
  std::snprintf(text, sizeof text, "Error creating shared memory %s (%d)", name.c_str(), static_cast<int>(code));
  return text;
}

TSharedMem::TSharedMem(const std::string& name, int32_t size) : name_(name), size_(size) {
  handle_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                               name.c_str());
  if (!handle_) throw ESharedMem(SharedMemErrorText(name, GetLastError()));
  created_ = GetLastError() != ERROR_ALREADY_EXISTS;
  memory_ = MapViewOfFile(handle_, FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(size));
  if (!memory_) {
    DWORD code = GetLastError();
    CloseHandle(handle_);
    handle_ = nullptr;
    throw ESharedMem(SharedMemErrorText(name, code));
  }
  if (created_) std::memset(memory_, 0, static_cast<size_t>(size));
}

TSharedMem::~TSharedMem() {
  if (memory_) UnmapViewOfFile(memory_);
}

}  // namespace pur
