// The exported interface of purSearch.dll. Every export catches everything: no exception
// crosses the boundary. A failure the caller must see is kept as the calling thread's last
// library error and handed over by GetLastLibError.
#include "purSearch.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

using pur::TPURLib;
using pur::kCleanPersoSearch;
using pur::kCleanRecycleBin;
using pur::kCleanStop;
using pur::kCleanTempFolder;
using pur::kListLengthFirst;
using pur::kListLengthLast;
using pur::kListTextFirst;
using pur::kListTextLast;

namespace {

// The module-level reference. Exports hold a counted reference for the time of a call, so
// that a finalisation from another thread never pulls the object from under a running call.
std::mutex g_libLock;
std::shared_ptr<TPURLib> g_lib;

thread_local std::string t_lastError;

std::shared_ptr<TPURLib> CurrentLib() {
  std::lock_guard<std::mutex> guard(g_libLock);
  return g_lib;
}

void CopyText(char* buffer, const std::string& text) {
  if (!buffer) return;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

// Runs one export body with the boundary rules: the thread's last error is cleared first,
// refused harmlessly when the library is not initialised, and every exception is kept.
template <class R, class F>
R Guarded(R refusal, F&& body) {
  t_lastError.clear();
  try {
    std::shared_ptr<TPURLib> lib = CurrentLib();
    if (!lib) return refusal;
    return body(*lib);
  } catch (const std::exception& e) {
    t_lastError = *e.what() ? e.what() : "Search library error";
  } catch (...) {
    t_lastError = "Search library error";
  }
  return refusal;
}

template <class F>
void GuardedVoid(F&& body) {
  Guarded(0, [&](TPURLib& lib) {
    body(lib);
    return 0;
  });
}

std::string SafeString(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

// Exported by name through purSearch.def (undecorated, DeleteFile mapped from PurDeleteFile).
extern "C" {

void __stdcall InitLibrarie(const char* appName, const char* productName,
                                                  const char* /*reserved*/) {
  t_lastError.clear();
  try {
    std::lock_guard<std::mutex> guard(g_libLock);
    if (g_lib) return;  // a second initialisation keeps the first
    g_lib = std::make_shared<TPURLib>(SafeString(appName), SafeString(productName));
  } catch (const std::exception& e) {
    t_lastError = e.what();
  } catch (...) {
    t_lastError = "Search library error";
  }
}

void __stdcall FreeLibrarie() {
  t_lastError.clear();
  std::shared_ptr<TPURLib> lib;
  {
    std::lock_guard<std::mutex> guard(g_libLock);
    lib.swap(g_lib);
  }
  if (!lib) return;
  // Finalise here, not in whichever thread lets go last: wait for calls still running on
  // other threads (the program's poller) to leave the object.
  // (A caller that breaks the calling order and keeps a call running longer than this
  // leaves the object to be destroyed by that call's thread.)
  for (int i = 0; i < 500 && lib.use_count() > 1; ++i) Sleep(10);
  try {
    lib.reset();
  } catch (...) {
    t_lastError = "Search library error";
  }
}

void __stdcall setEndProc(pur::TEndProc proc) {
  GuardedVoid([&](TPURLib& lib) { lib.SetEndProc(proc); });
}

int32_t __stdcall GetNbLibrairy() {
  return Guarded<int32_t>(0, [](TPURLib& lib) { return lib.LoadCount(); });
}

int32_t __stdcall LengthAppNames() {
  return Guarded<int32_t>(0, [](TPURLib& lib) { return lib.SnapshotAppNamesLength(); });
}

void __stdcall GetAppNames(char* buffer) {
  GuardedVoid([&](TPURLib& lib) { CopyText(buffer, lib.TakeAppNamesSnapshot()); });
}

uint8_t __stdcall InitPersoTree(const void* data, int32_t size) {
  return Guarded<uint8_t>(0, [&](TPURLib& lib) -> uint8_t { return lib.LoadPersoTree(data, size); });
}

int32_t __stdcall CleanWindows(int32_t code) {
  return Guarded<int32_t>(0, [&](TPURLib& lib) -> int32_t {
    switch (code) {
      case kCleanStop:
        lib.SetStopRequested(true);
        return 0;
      case kCleanRecycleBin:
        lib.EmptyRecycleBin();
        return 0;
      case kCleanTempFolder:
        return lib.EmptyTempFolder();
      case kCleanPersoSearch:
        lib.RunPersoSearch();
        return 0;
      default:
        return 0;
    }
  });
}

void __stdcall getSearchLists(int32_t code, char* buffer) {
  GuardedVoid([&](TPURLib& lib) {
    if (code >= kListTextFirst && code <= kListTextLast) {
      CopyText(buffer, lib.TakeListSnapshot(code - kListTextFirst));
    } else if (code >= kListLengthFirst && code <= kListLengthLast) {
      CopyText(buffer, std::to_string(lib.SnapshotListLength(code - kListLengthFirst)));
    }
  });
}

int32_t __stdcall PurDeleteFile(const char* path, uint8_t toRecycleBin, uint8_t allowReadOnlyHidden) {
  return Guarded<int32_t>(0, [&](TPURLib& lib) {
    return path ? lib.DeleteOneFile(path, toRecycleBin != 0, allowReadOnlyHidden != 0) : 0;
  });
}

int32_t __stdcall SetCleaningRules(int32_t minimumAgeDays, const char* keepLines) {
  return Guarded<int32_t>(0, [&](TPURLib& lib) -> int32_t {
    return lib.SetCleaningRules(minimumAgeDays, SafeString(keepLines)) ? 1 : 0;
  });
}

int32_t __stdcall GetLeftByRules(int32_t cleaning, int32_t* tooRecent, int32_t* kept) {
  return Guarded<int32_t>(0, [&](TPURLib& lib) -> int32_t {
    const std::optional<pur::TRuleCounts> left = lib.LeftByRules(cleaning);
    if (!left || !tooRecent || !kept) return 0;
    *tooRecent = left->TooRecent;
    *kept = left->Kept;
    return 1;
  });
}

double __stdcall GetCurrentPercent() {
  return Guarded<double>(0.0, [](TPURLib& lib) { return lib.Percent(); });
}

int32_t __stdcall GetCurrentStatus() {
  return Guarded<int32_t>(0, [](TPURLib& lib) -> int32_t { return lib.Status(); });
}

uint8_t __stdcall LockLib(const char* owner) {
  return Guarded<uint8_t>(0, [&](TPURLib& lib) -> uint8_t { return lib.LockLib(owner ? owner : ""); });
}

uint8_t __stdcall UnLockLib(const char* owner) {
  return Guarded<uint8_t>(0, [&](TPURLib& lib) -> uint8_t { return lib.UnLockLib(owner ? owner : ""); });
}

uint8_t __stdcall IsLocked() {
  return Guarded<uint8_t>(0, [](TPURLib& lib) -> uint8_t { return lib.IsLocked(); });
}

void __stdcall NameLocked(char* buffer) {
  GuardedVoid([&](TPURLib& lib) {
    std::string owner = lib.LockOwner();
    if (!owner.empty()) CopyText(buffer, owner);
  });
}

void __stdcall CreateFileLog(const char* path, const char* appName, const char* body, uint8_t newFile) {
  GuardedVoid([&](TPURLib& lib) {
    lib.CreateFileLog(SafeString(path), SafeString(appName), SafeString(body), newFile != 0);
  });
}

int32_t __stdcall GetLastLibError(char* buffer, int32_t size) {
  const std::string& text = t_lastError;
  if (buffer && size > 0) {
    size_t n = std::min<size_t>(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(text.size());
}

}  // extern "C"
