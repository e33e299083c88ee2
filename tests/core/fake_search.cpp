// A scripted stand-in for the search library: the binding's tests steer it through the
// Fake* exports (call counts, failures, list texts, the lock owner, a search that takes time
// and keeps taking cross-thread calls as the real one does) and read back what it was given.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

using EndProc = void(__stdcall*)(uint8_t);

std::mutex g_lock;
std::map<std::string, int> g_calls;
std::map<std::string, std::string> g_failures;  // export -> text of its next failure
std::map<std::string, std::string> g_texts;     // "list1".."list3", "owner", "lengthN", args
std::map<std::string, int> g_numbers;           // "searchMillis", "stop", "status"
thread_local std::string t_lastError;
EndProc g_endProc = nullptr;
double g_percent = 0.0;

// Counts the call and arms a scripted failure; answers whether the call may go on.
bool Enter(const char* name) {
  std::lock_guard<std::mutex> guard(g_lock);
  ++g_calls[name];
  t_lastError.clear();
  auto failure = g_failures.find(name);
  if (failure == g_failures.end()) return true;
  t_lastError = failure->second;
  g_failures.erase(failure);
  return false;
}

std::string Text(const std::string& key) {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_texts[key];
}

void SetText(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_texts[key] = value;
}

int Number(const std::string& key) {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_numbers[key];
}

void Copy(char* buffer, const std::string& text) { std::memcpy(buffer, text.c_str(), text.size() + 1); }

void Search() {
  int millis = Number("searchMillis");
  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= static_cast<DWORD>(millis) || Number("stop")) break;
    g_percent = 100.0 * elapsed / millis;
    // Cross-thread calls for this thread run while it waits, as in the real search.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  g_percent = 100.0;
}

}  // namespace

extern "C" {

void __stdcall InitLibrarie(const char* app, const char* product, const char* reserved) {
  if (!Enter("InitLibrarie")) return;
  SetText("app", app);
  SetText("product", product);
  SetText("reserved", reserved);
}
void __stdcall FreeLibrarie() { Enter("FreeLibrarie"); }
void __stdcall setEndProc(EndProc proc) {
  if (Enter("setEndProc")) g_endProc = proc;
}
int32_t __stdcall GetNbLibrairy() { return Enter("GetNbLibrairy") ? 1 : 0; }
int32_t __stdcall LengthAppNames() { return Enter("LengthAppNames") ? 0 : 0; }
void __stdcall GetAppNames(char* buffer) {
  if (Enter("GetAppNames")) Copy(buffer, "");
}
uint8_t __stdcall InitPersoTree(const void* data, int32_t size) {
  if (!Enter("InitPersoTree")) return 0;
  SetText("tree", data ? std::string(static_cast<const char*>(data), size) : std::string("<null>"));
  return 1;
}
int32_t __stdcall CleanWindows(int32_t code) {
  if (!Enter("CleanWindows")) return 0;
  SetText("lastClean", std::to_string(code));
  switch (code) {
    case 1001:
      if (g_endProc) g_endProc(0);
      SetText("returned", "1001");
      return 0;
    case 1002:
      if (g_endProc) g_endProc(1);
      SetText("returned", "1002");
      return 4096;
    case 1003:
      Search();
      if (g_endProc) g_endProc(2);
      SetText("returned", "1003");
      return 0;
    case 1004: {
      std::lock_guard<std::mutex> guard(g_lock);
      g_numbers["stop"] = 1;
      return 0;
    }
    default:
      return 0;
  }
}
void __stdcall getSearchLists(int32_t code, char* buffer) {
  if (!Enter("getSearchLists")) return;
  if (code >= 1001 && code <= 1003) Copy(buffer, Text("list" + std::to_string(code - 1000)));
  if (code >= 1004 && code <= 1006) {
    std::string key = "length" + std::to_string(code - 1003);
    std::string scripted = Text(key);
    Copy(buffer, scripted.empty() ? std::to_string(Text("list" + std::to_string(code - 1003)).size())
                                  : scripted);
  }
}
int32_t __stdcall FakeDeleteFile(const char* path, uint8_t toRecycleBin, uint8_t allowHidden) {
  if (!Enter("DeleteFile")) return 0;
  SetText("delete", std::string(path) + "|" + std::to_string(toRecycleBin) + "|" +
                        std::to_string(allowHidden));
  return 1234;
}
double __stdcall GetCurrentPercent() { return Enter("GetCurrentPercent") ? g_percent : 0.0; }
int32_t __stdcall GetCurrentStatus() { return Enter("GetCurrentStatus") ? Number("status") : 0; }
uint8_t __stdcall LockLib(const char* owner) {
  if (!Enter("LockLib") || !Text("owner").empty()) return 0;
  SetText("owner", std::string(owner).substr(0, 10));
  return 1;
}
uint8_t __stdcall UnLockLib(const char* owner) {
  if (!Enter("UnLockLib") || Text("owner").empty() || Text("owner") != owner) return 0;
  SetText("owner", "");
  return 1;
}
uint8_t __stdcall IsLocked() { return Enter("IsLocked") && !Text("owner").empty() ? 1 : 0; }
void __stdcall NameLocked(char* buffer) {
  if (!Enter("NameLocked")) return;
  std::string owner = Text("owner");
  if (!owner.empty()) Copy(buffer, owner);
}
void __stdcall CreateFileLog(const char* path, const char* app, const char* body, uint8_t newFile) {
  if (!Enter("CreateFileLog")) return;
  SetText("report", std::string(path) + "|" + app + "|" + body + "|" + std::to_string(newFile));
}
int32_t __stdcall GetLastLibError(char* buffer, int32_t size) {
  if (buffer && size > 0) {
    size_t n = std::min<size_t>(t_lastError.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, t_lastError.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(t_lastError.size());
}

// Steering.
int32_t __stdcall FakeCalls(const char* name) {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_calls[name];
}
void __stdcall FakeFailNext(const char* name, const char* text) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_failures[name] = text;
}
void __stdcall FakeSetText(const char* key, const char* value) { SetText(key, value); }
int32_t __stdcall FakeGetText(const char* key, char* buffer, int32_t size) {
  std::string text = Text(key);
  if (buffer && size > 0) {
    size_t n = std::min<size_t>(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(text.size());
}
void __stdcall FakeSetNumber(const char* key, int32_t value) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_numbers[key] = value;
}

}  // extern "C"
