// Scoped owners of Win32 objects: each frees its object with the one call the system pairs
// with the call that made it. Move-only, so that exactly one owner ever frees an object.
#pragma once

#include <windows.h>

namespace pur {

template <class Traits>
class TOwner {
 public:
  using Type = typename Traits::Type;

  TOwner() = default;
  explicit TOwner(Type value) : Value_(value) {}
  ~TOwner() { Reset(); }
  TOwner(TOwner&& other) noexcept : Value_(other.Release()) {}
  TOwner& operator=(TOwner&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  TOwner(const TOwner&) = delete;
  TOwner& operator=(const TOwner&) = delete;

  Type Get() const { return Value_; }
  explicit operator bool() const { return Value_ != Traits::None(); }
  // Gives the object up without freeing it.
  Type Release() {
    const Type value = Value_;
    Value_ = Traits::None();
    return value;
  }
  void Reset(Type value = Traits::None()) {
    const Type old = Value_;
    Value_ = value;
    if (old != Traits::None()) Traits::Free(old);
  }
  // Frees now and answers whether the system did: a file's last write can fail at its close.
  bool Close() {
    const Type old = Release();
    return old == Traits::None() || Traits::Free(old);
  }

 private:
  Type Value_ = Traits::None();
};

// An object that `FreeCall` frees, answering a BOOL. Most making calls fail with nullptr;
// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE.
template <class T, auto FreeCall, bool FailsWithInvalidHandle = false>
struct TFreedBy {
  using Type = T;
  static Type None() {
    if constexpr (FailsWithInvalidHandle) {
      return INVALID_HANDLE_VALUE;
    } else {
      return nullptr;
    }
  }
  static bool Free(Type value) { return FreeCall(value) != FALSE; }
};

// Events, threads, processes, mutexes, mappings.
using THandle = TOwner<TFreedBy<HANDLE, CloseHandle>>;
using TFileHandle = TOwner<TFreedBy<HANDLE, CloseHandle, true>>;
using TFindHandle = TOwner<TFreedBy<HANDLE, FindClose, true>>;
using TModule = TOwner<TFreedBy<HMODULE, FreeLibrary>>;
using TMappedView = TOwner<TFreedBy<void*, UnmapViewOfFile>>;
using TWindowHandle = TOwner<TFreedBy<HWND, DestroyWindow>>;

// The registry answers an error code, not a BOOL.
struct TRegKeyTraits {
  using Type = HKEY;
  static Type None() { return nullptr; }
  static bool Free(Type key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using TRegKey = TOwner<TRegKeyTraits>;

}  // namespace pur
