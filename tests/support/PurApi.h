// The search library seen as the program sees it: loaded by name, every entry point looked
// up with GetProcAddress. Shared by the tests that exercise the real DLL.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "LibraryCodes.h"

namespace purtest {

struct PurApi {
  using EndProc = void(__stdcall*)(uint8_t);

  HMODULE module = nullptr;
  void(__stdcall* InitLibrarie)(const char*, const char*, const char*) = nullptr;
  void(__stdcall* FreeLibrarie)() = nullptr;
  void(__stdcall* setEndProc)(EndProc) = nullptr;
  int32_t(__stdcall* GetNbLibrairy)() = nullptr;
  int32_t(__stdcall* LengthAppNames)() = nullptr;
  void(__stdcall* GetAppNames)(char*) = nullptr;
  uint8_t(__stdcall* InitPersoTree)(const void*, int32_t) = nullptr;
  int32_t(__stdcall* CleanWindows)(int32_t) = nullptr;
  void(__stdcall* getSearchLists)(int32_t, char*) = nullptr;
  int32_t(__stdcall* DeleteFile)(const char*, uint8_t, uint8_t) = nullptr;
  double(__stdcall* GetCurrentPercent)() = nullptr;
  int32_t(__stdcall* GetCurrentStatus)() = nullptr;
  uint8_t(__stdcall* LockLib)(const char*) = nullptr;
  uint8_t(__stdcall* UnLockLib)(const char*) = nullptr;
  uint8_t(__stdcall* IsLocked)() = nullptr;
  void(__stdcall* NameLocked)(char*) = nullptr;
  void(__stdcall* CreateFileLog)(const char*, const char*, const char*, uint8_t) = nullptr;
  int32_t(__stdcall* GetLastLibError)(char*, int32_t) = nullptr;

  PurApi() = default;
  PurApi(const PurApi&) = delete;
  PurApi& operator=(const PurApi&) = delete;
  ~PurApi() {
    if (module) FreeLibrary(module);
  }

  // Loads "purSearch.dll" by name, as the program does; answers the first missing entry
  // point, or an empty text when all were found.
  std::string Load() {
    module = LoadLibraryA("purSearch.dll");
    if (!module) return "purSearch.dll";
    std::string missing;
    Bind(InitLibrarie, "InitLibrarie", missing);
    Bind(FreeLibrarie, "FreeLibrarie", missing);
    Bind(setEndProc, "setEndProc", missing);
    Bind(GetNbLibrairy, "GetNbLibrairy", missing);
    Bind(LengthAppNames, "LengthAppNames", missing);
    Bind(GetAppNames, "GetAppNames", missing);
    Bind(InitPersoTree, "InitPersoTree", missing);
    Bind(CleanWindows, "CleanWindows", missing);
    Bind(getSearchLists, "getSearchLists", missing);
    Bind(DeleteFile, "DeleteFile", missing);
    Bind(GetCurrentPercent, "GetCurrentPercent", missing);
    Bind(GetCurrentStatus, "GetCurrentStatus", missing);
    Bind(LockLib, "LockLib", missing);
    Bind(UnLockLib, "UnLockLib", missing);
    Bind(IsLocked, "IsLocked", missing);
    Bind(NameLocked, "NameLocked", missing);
    Bind(CreateFileLog, "CreateFileLog", missing);
    Bind(GetLastLibError, "GetLastLibError", missing);
    return missing;
  }

  std::string LastError() const {
    char buffer[512] = {};
    GetLastLibError(buffer, sizeof buffer);
    return buffer;
  }

  std::string AppNames() const {
    std::string text(static_cast<size_t>(LengthAppNames()) + 1, '\0');
    GetAppNames(text.data());
    text.resize(text.size() - 1);
    return text;
  }

  // The two-call fetch of the program: the length into 255 bytes, then the text.
  std::string List(int n) const {
    char length[255] = {};
    getSearchLists(pur::kListLengthFirst + n - 1, length);
    std::string text(static_cast<size_t>(std::stoi(length)) + 1, '\0');
    getSearchLists(pur::kListTextFirst + n - 1, text.data());
    text.resize(text.size() - 1);
    return text;
  }

 private:
  template <class F>
  void Bind(F& f, const char* name, std::string& missing) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!f && missing.empty()) missing = name;
  }
};

}  // namespace purtest
