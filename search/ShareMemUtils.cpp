#include "ShareMemUtils.h"

#include <cstdio>
#include <cstring>

namespace pur {

TMutex::TMutex(const char* name) {
  handle_.Reset(CreateMutexA(nullptr, FALSE, name));
  if (!handle_) {
    char text[96];
    std::snprintf(text, sizeof text, "Error creating mutex %s (%d)", name, static_cast<int>(GetLastError()));
    throw EMutexCreate(text);
  }
}

bool TMutex::GetEvenAbandoned(DWORD timeoutMs) {
  DWORD r = WaitForSingleObject(handle_.Get(), timeoutMs);
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool TMutex::Release() { return ReleaseMutex(handle_.Get()) != FALSE; }

TWakeEvent::TWakeEvent(const char* name) { handle_.Reset(CreateEventA(nullptr, TRUE, FALSE, name)); }

void TWakeEvent::Pulse() const {
  if (handle_) PulseEvent(handle_.Get());
}

std::string SharedMemErrorText(const std::string& name, DWORD code) {
  char text[128];
  std::snprintf(text, sizeof text, "Error creating shared memory %s (%d)", name.c_str(), static_cast<int>(code));
  return text;
}

TSharedMem::TSharedMem(const std::string& name, int32_t size) : name_(name), size_(size) {
  handle_.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                   static_cast<DWORD>(size), name.c_str()));
  if (!handle_) throw ESharedMem(SharedMemErrorText(name, GetLastError()));
  created_ = GetLastError() != ERROR_ALREADY_EXISTS;
  memory_.Reset(MapViewOfFile(handle_.Get(), FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(size)));
  // The base's owner closes the section when the constructor throws.
  if (!memory_) throw ESharedMem(SharedMemErrorText(name, GetLastError()));
  if (created_) std::memset(memory_.Get(), 0, static_cast<size_t>(size));
}

}  // namespace pur
