#include "LibraryClass.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <random>

#include "VersionNumbers.h"

namespace pur {

LRESULT CALLBACK SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

constexpr UINT kUpdateProgressMessage = WM_APP + 1;
constexpr char kSyncWindowClass[] = "PurLibSyncWindow";
constexpr size_t kListLengthBuffer = 255;
constexpr size_t kLockOwnerBuffer = 12;
constexpr size_t kLibErrorBuffer = 256;
// A list published by another process between the two calls may have grown: room to spare,
// and the length is fetched again when the text did not match it.
constexpr size_t kListSlack = 64 * 1024;
constexpr int kListAttempts = 3;
// A pause of zero would poll without rest.
constexpr int32_t kMinimumRefreshInterval = 10;

// The program's end handler (module-level, as the library calls back a plain procedure), and
// an error it raised inside a cleaning call, re-raised once that call has returned.
TPURLib::TEndEvent g_endHandler;
std::exception_ptr g_endHandlerError;

void __stdcall ForwardEnd(uint8_t kind) {
  // Nothing may unwind into the library.
  try {
    if (g_endHandler) g_endHandler(kind);
  } catch (...) {
    g_endHandlerError = std::current_exception();
  }
}

void RethrowEndHandlerError() {
  if (!g_endHandlerError) return;
  std::exception_ptr error = g_endHandlerError;
  g_endHandlerError = nullptr;
  std::rethrow_exception(error);
}

template <class F>
bool Bind(HMODULE module, const char* name, F& slot) {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

int32_t RandomLibNumber() {
  // The clock seeds it; the process id keeps two programs started together apart.
  auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  std::mt19937 generator(static_cast<uint32_t>(ticks) ^ (GetCurrentProcessId() << 16));
  return std::uniform_int_distribution<int32_t>(0, kLibNameMaxNumber)(generator);
}

void RegisterSyncWindowClass() {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = SyncWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kSyncWindowClass;
  RegisterClassExA(&windowClass);  // already registered by an earlier binding: fine
}

}  // namespace

std::string FormatLibError(int32_t code, const std::string& text) {
  return "Erreur " + std::to_string(code) + ": " + text;
}

std::string MakeLibName(const std::string& format, int32_t number) {
  std::string result;
  bool filled = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      result += format[i];
      continue;
    }
    if (format[i + 1] == '%') {
      result += '%';
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < format.size() && format[end] >= '0' && format[end] <= '9') ++end;
    if (filled || end >= format.size() || format[end] != 'd' || end - i > 3) {
      result += format[i];
      continue;
    }
    size_t width = end > i + 1 ? std::stoul(format.substr(i + 1, end - i - 1)) : 0;
    std::string digits = std::to_string(number);
    if (digits.size() < width) result.append(width - digits.size(), ' ');
    result += digits;
    filled = true;
    i = end;
  }
  return result;
}

std::vector<std::string> BindEntryPoints(HMODULE module, TLibEntryPoints& e) {
  std::vector<std::string> missing;
  auto need = [&](const char* name, auto& slot) {
    if (!Bind(module, name, slot)) missing.emplace_back(name);
  };
  need("InitLibrarie", e.InitLibrarie);
  need("FreeLibrarie", e.FreeLibrarie);
  need("GetNbLibrairy", e.GetNbLibrairy);
  need("LengthAppNames", e.LengthAppNames);
  need("GetAppNames", e.GetAppNames);
  need("getSearchLists", e.getSearchLists);
  need("setEndProc", e.setEndProc);
  need("GetCurrentPercent", e.GetCurrentPercent);
  need("GetCurrentStatus", e.GetCurrentStatus);
  need("InitPersoTree", e.InitPersoTree);
  need("CleanWindows", e.CleanWindows);
  need("DeleteFile", e.DeleteFileEntry);
  need("LockLib", e.LockLib);
  need("UnLockLib", e.UnLockLib);
  need("IsLocked", e.IsLocked);
  need("NameLocked", e.NameLocked);
  need("CreateFileLog", e.CreateFileLog);
  Bind(module, "GetLastLibError", e.GetLastLibError);  // older libraries lack it
  Bind(module, "SetCleaningRules", e.SetCleaningRules);
  Bind(module, "GetLeftByRules", e.GetLeftByRules);
  return missing;
}

LRESULT CALLBACK SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kUpdateProgressMessage) return DefWindowProcA(window, message, wParam, lParam);
  // The monitor waits for this; whatever the handler raises stays on this side.
  try {
    reinterpret_cast<TPURLib*>(lParam)->UpdateProgress();
  } catch (...) {
  }
  return 0;
}

TPURLib::TPURLib(const std::string& nameFormat, const std::string& productName,
                 const std::string& reserved, const std::string& libraryPath) {
  LibName_ = MakeLibName(nameFormat, RandomLibNumber());
  Load(libraryPath.empty() ? ProgramFolder() + kSearchLibraryFile : libraryPath, productName,
       reserved);
  StartMonitor();
}

void TPURLib::Load(const std::string& path, const std::string& productName,
                   const std::string& reserved) {
  Module_.Reset(LoadLibraryFromPath(path));
  if (!Module_.Get()) throw EPURLib(kLibLoadErrorCode, kLibLoadErrorText);
  // A library without all its entries would fail later at a null call: refuse it now.
  if (!BindEntryPoints(Module_.Get(), Entries_).empty()) {
    Module_.Reset();
    throw EPURLib(kLibLoadErrorCode, kLibLoadErrorText);
  }
  Entries_.InitLibrarie(LibName_.c_str(), productName.c_str(), reserved.c_str());
  try {
    CheckLibError();
  } catch (const EPURLib& error) {
    Module_.Reset();
    throw EPURLib(kLibLoadErrorCode, std::string(kLibLoadErrorText) + " (" + error.what() + ")");
  }
  Entries_.setEndProc(ForwardEnd);
  try {
    CheckLibError();
  } catch (const EPURLib& error) {
    // Initialised: finalise before unloading, or the library's own thread outlives its code.
    Entries_.FreeLibrarie();
    Module_.Reset();
    throw EPURLib(kLibLoadErrorCode, std::string(kLibLoadErrorText) + " (" + error.what() + ")");
  }
  Loaded_ = true;
}

void TPURLib::StartMonitor() {
  try {
    RegisterSyncWindowClass();
    SyncWindow_.Reset(CreateWindowExA(0, kSyncWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, GetModuleHandleA(nullptr), nullptr));
    StopEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!SyncWindow_.Get() || !StopEvent_.Get()) throw EPURLib(kLibLoadErrorCode, kLibLoadErrorText);
    Thread_.Reset(CreateThread(nullptr, 0, MonitorEntry, this, CREATE_SUSPENDED, nullptr));
    if (!Thread_.Get()) throw EPURLib(kLibLoadErrorCode, kLibLoadErrorText);
  } catch (...) {
    Entries_.FreeLibrarie();
    Module_.Reset();
    Loaded_ = false;
    throw;
  }
  SetThreadPriority(Thread_.Get(), THREAD_PRIORITY_IDLE);
  ResumeThread(Thread_.Get());
}

TPURLib::~TPURLib() {
  StopMonitor();
  if (Loaded_) Entries_.FreeLibrarie();
  Module_.Reset();
}

void TPURLib::StopMonitor() {
  if (!Thread_.Get()) return;
  Stopping_ = true;
  SetEvent(StopEvent_.Get());
  // The monitor may be waiting for this thread inside a hand-over: keep taking sent messages.
  // MWMO_INPUTAVAILABLE: a message already pending when the wait starts (seen earlier by a
  // queue-status call) must wake it too, or both threads would wait for each other.
  HANDLE thread = Thread_.Get();
  while (MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  Thread_.Reset();
}

DWORD WINAPI TPURLib::MonitorEntry(void* self) {
  static_cast<TPURLib*>(self)->Execute();
  return 0;
}

void TPURLib::Execute() {
  while (!Stopping_) {
    LockedByOther_ = Entries_.IsLocked() != 0 && ReadLockOwner() != LibName_;
    if (HasProgressHandler_ && !Stopping_) {
      SendMessageA(SyncWindow_.Get(), kUpdateProgressMessage, 0, reinterpret_cast<LPARAM>(this));
    }
    WaitForSingleObject(StopEvent_.Get(), static_cast<DWORD>(RefreshInterval_.load()));
  }
}

void TPURLib::UpdateProgress() {
  if (Stopping_ || !OnProgress_) return;
  double percent = Entries_.GetCurrentPercent();
  CheckLibError();
  OnProgress_(percent);
}

void TPURLib::SetRefreshInterval(int32_t milliseconds) {
  RefreshInterval_ = milliseconds < kMinimumRefreshInterval ? kMinimumRefreshInterval : milliseconds;
}

void TPURLib::SetOnProgress(TProgressEvent handler) {
  OnProgress_ = std::move(handler);
  HasProgressHandler_ = static_cast<bool>(OnProgress_);
}

void TPURLib::SetEndHandler(TEndEvent handler) { g_endHandler = std::move(handler); }

void TPURLib::CheckLibError() {
  if (!Entries_.GetLastLibError) return;
  char text[kLibErrorBuffer] = {};
  int32_t length = Entries_.GetLastLibError(text, sizeof text);
  if (length <= 0) return;
  if (static_cast<size_t>(length) < sizeof text) throw EPURLib(std::string(text));
  std::vector<char> whole(static_cast<size_t>(length) + 1, '\0');
  Entries_.GetLastLibError(whole.data(), static_cast<int32_t>(whole.size()));
  throw EPURLib(std::string(whole.data()));
}

bool TPURLib::GuardAllows() {
  return !LockedByOther_ || LockOwnerName() == LibName_;
}

int32_t TPURLib::RunCleaning(int32_t code) {
  int32_t result = Entries_.CleanWindows(code);
  RethrowEndHandlerError();
  CheckLibError();
  return result;
}

int32_t TPURLib::LoadNumber() {
  if (!Loaded_) return 0;
  int32_t count = Entries_.GetNbLibrairy();
  CheckLibError();
  return count;
}

void TPURLib::EmptyRecycleBin() {
  if (!Loaded_ || !GuardAllows()) return;
  RunCleaning(kCleanRecycleBin);
}

int32_t TPURLib::EmptyTempFolder() {
  if (!Loaded_ || !GuardAllows()) return kSkippedByLock;
  return RunCleaning(kCleanTempFolder);
}

void TPURLib::RunPersoSearch() {
  if (!Loaded_ || !GuardAllows()) return;
  RunCleaning(kCleanPersoSearch);
}

void TPURLib::StopSearch() {
  if (!Loaded_) return;
  RunCleaning(kCleanStop);
}

std::string TPURLib::GetSearchList(int32_t list) {
  if (!Loaded_ || list < 1 || list > kListCount) return std::string();
  std::string text;
  for (int attempt = 0; attempt < kListAttempts; ++attempt) {
    char lengthText[kListLengthBuffer] = {};
    Entries_.getSearchLists(kListLengthFirst + list - 1, lengthText);
    CheckLibError();
    lengthText[kListLengthBuffer - 1] = '\0';
    int32_t length = 0;
    try {
      length = StrToInt(lengthText);
    } catch (const EConvertError&) {
      return std::string();
    }
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1 + kListSlack, '\0');
    Entries_.getSearchLists(kListTextFirst + list - 1, buffer.data());
    CheckLibError();
    text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    if (text.size() == static_cast<size_t>(length)) break;
  }
  return text;
}

void TPURLib::SetPersoTree(const std::vector<uint8_t>& stream) {
  if (!Loaded_) return;
  std::vector<uint8_t> buffer(stream);  // the library reads its own copy
  Entries_.InitPersoTree(buffer.empty() ? nullptr : buffer.data(),
                         static_cast<int32_t>(buffer.size()));
  CheckLibError();
}

int32_t TPURLib::DeleteFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden) {
  if (!Loaded_) return 0;
  int32_t result = Entries_.DeleteFileEntry(path.c_str(), toRecycleBin ? 1 : 0,
                                            allowReadOnlyHidden ? 1 : 0);
  CheckLibError();
  return result;
}

bool TPURLib::SetCleaningRules(int32_t minimumAgeDays, const std::vector<std::string>& keepList) {
  if (!Loaded_) return false;
  const bool none = minimumAgeDays == 0 && keepList.empty();
  if (!Entries_.SetCleaningRules) return none;
  std::string lines;
  for (const std::string& entry : keepList) lines += entry + "\n";
  const int32_t accepted = Entries_.SetCleaningRules(minimumAgeDays, lines.c_str());
  CheckLibError();
  return accepted != 0;
}

TLeftByRules TPURLib::LeftByRules(int32_t cleaning) {
  TLeftByRules left;
  if (!Loaded_ || !Entries_.GetLeftByRules) return left;
  Entries_.GetLeftByRules(cleaning, &left.TooRecent, &left.Kept);
  CheckLibError();
  return left;
}

void TPURLib::WriteReport(const std::string& path, const std::string& body, bool newFile) {
  if (!Loaded_ || !GuardAllows()) return;
  Entries_.CreateFileLog(path.c_str(), LibName_.c_str(), body.c_str(), newFile ? 1 : 0);
  CheckLibError();
}

void TPURLib::AppendNote(const std::string& path, const std::string& body) {
  if (!Loaded_) return;
  Entries_.CreateFileLog(path.c_str(), LibName_.c_str(), body.c_str(), 0);
  CheckLibError();
}

int32_t TPURLib::CurrentStatus() {
  if (!Loaded_) return 0;
  int32_t status = Entries_.GetCurrentStatus();
  CheckLibError();
  return status;
}

std::string TPURLib::ReadLockOwner() {
  char owner[kLockOwnerBuffer] = {};
  Entries_.NameLocked(owner);
  owner[kLockOwnerBuffer - 1] = '\0';
  return owner;
}

std::string TPURLib::LockOwnerName() {
  if (!Loaded_) return std::string();
  std::string owner = ReadLockOwner();
  CheckLibError();
  return owner;
}

bool TPURLib::TakeLock() {
  if (!Loaded_) return false;
  bool taken = Entries_.LockLib(LibName_.c_str()) != 0;
  CheckLibError();
  return taken;
}

bool TPURLib::ReleaseLock() {
  if (!Loaded_) return false;
  bool released = Entries_.UnLockLib(LibName_.c_str()) != 0;
  CheckLibError();
  return released;
}

}  // namespace pur
