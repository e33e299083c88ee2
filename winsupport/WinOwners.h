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

// Events, threads, processes, mutexes, mappings: their failure value is nullptr.
struct TKernelHandleTraits {
  using Type = HANDLE;
  static Type None() { return nullptr; }
  static bool Free(Type handle) { return CloseHandle(handle) != FALSE; }
};
using THandle = TOwner<TKernelHandleTraits>;

// CreateFile answers INVALID_HANDLE_VALUE on failure, not nullptr.
struct TFileHandleTraits {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static bool Free(Type handle) { return CloseHandle(handle) != FALSE; }
};
using TFileHandle = TOwner<TFileHandleTraits>;

struct TFindHandleTraits {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static bool Free(Type handle) { return FindClose(handle) != FALSE; }
};
using TFindHandle = TOwner<TFindHandleTraits>;

struct TModuleTraits {
  using Type = HMODULE;
  static Type None() { return nullptr; }
  static bool Free(Type module) { return FreeLibrary(module) != FALSE; }
};
using TModule = TOwner<TModuleTraits>;

struct TRegKeyTraits {
  using Type = HKEY;
  static Type None() { return nullptr; }
  static bool Free(Type key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using TRegKey = TOwner<TRegKeyTraits>;

struct TMappedViewTraits {
  using Type = void*;
  static Type None() { return nullptr; }
  static bool Free(Type view) { return UnmapViewOfFile(view) != FALSE; }
};
using TMappedView = TOwner<TMappedViewTraits>;

struct TWindowTraits {
  using Type = HWND;
  static Type None() { return nullptr; }
  static bool Free(Type window) { return DestroyWindow(window) != FALSE; }
};
using TWindowHandle = TOwner<TWindowTraits>;

}  // namespace pur
