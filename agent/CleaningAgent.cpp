#include "CleaningAgent.h"

#include <shellapi.h>

#include <algorithm>
#include <exception>

#include "AgentStartup.h"
#include "AgentTexts.h"
#include "Algo.h"
#include "SettingsValues.h"
#include "SafeDllLoad.h"
#include "WindowBinding.h"
#include "uUserMainPrgm_Format.h"

namespace pur::agent {

namespace {

constexpr UINT_PTR kTimerSchedule = 1;
// The schedule is looked at this often; the decision says when something is due.
constexpr UINT kSchedulePeriodMs = 15 * 1000;
// After logon the session settles before the first automatic cleaning.
constexpr int64_t kFirstCheckDelaySeconds = 60;
constexpr char kProgramFileName[] = "PURGOWIN.exe";

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Copies a text into a fixed field of the icon's data, cut to fit.
template <size_t N>
void CopyField(WCHAR (&field)[N], const std::string& text) {
  const std::wstring wide = Wide(text);
  const size_t count = std::min(wide.size(), N - 1);
  std::copy_n(wide.begin(), count, field);
  field[count] = L'\0';
}

std::string TempFolderDrive() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof path, path);
  if (length < 3 || length > MAX_PATH || path[1] != ':') return {};
  return std::string(path, 2) + "\\";
}

}  // namespace

std::vector<std::string> SearchDrives(const std::vector<uint8_t>& stored) {
  std::vector<std::string> drives;
  if (stored.empty()) return drives;
  try {
    TPosteDeTravail computer;
    TMemoryStream stream(stored);
    stream.SetTexts(ProcessStreamTexts());
    computer.LoadFromStream(stream);
    for (int i = 0; i < computer.Count(); ++i) drives.push_back(computer.ChildNode(i).GetPath());
  } catch (const std::exception&) {
    // A definition that cannot be read watches no drive of its own; the library will say why.
  }
  return drives;
}

TCleaningAgent::~TCleaningAgent() {
  RemoveIcon();
  if (Window_) DestroyWindow(Window_);
  if (Icon_) DestroyIcon(Icon_);
}

bool TCleaningAgent::Create(HINSTANCE instance) {
  Instance_ = instance;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &TCleaningAgent::WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kAgentWindowClass;
  RegisterClassExA(&windowClass);
  // A hidden top-level window: the icon's messages come to it, and a second start finds it.
  Window_ = CreateWindowExA(0, kAgentWindowClass, texts::kCaption, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                            instance, this);
  if (!Window_) return false;
  Icon_ = static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                        GetSystemMetrics(SM_CYSMICON), 0));
  TaskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  Cleaning_.OnStatus = [this](const char* text) { SetTip(std::string(texts::kCaption) + " : " + text); };
  SettingsChanged_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  ReadSettings();
  WatchSettings();
  NextCheck_ = NowSeconds() + kFirstCheckDelaySeconds;
  SetTimer(Window_, kTimerSchedule, kSchedulePeriodMs, nullptr);
  AddIcon();
  return true;
}

int TCleaningAgent::Run() {
  for (;;) {
    HANDLE changed = SettingsChanged_.Get();
    const DWORD woke = MsgWaitForMultipleObjects(changed ? 1 : 0, &changed, FALSE, INFINITE, QS_ALLINPUT);
    if (changed && woke == WAIT_OBJECT_0) {
      // Settings apply at once, and a change of type or interval is decided on now.
      ReadSettings();
      WatchSettings();
      NextCheck_ = NowSeconds();
      CheckSchedule();
      continue;
    }
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

LRESULT CALLBACK TCleaningAgent::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TCleaningAgent* agent = BoundObject<TCleaningAgent>(window, message, lParam);
  if (!agent) return DefWindowProcA(window, message, wParam, lParam);
  // Creation's own messages come before CreateWindowEx has answered the handle.
  if (message == WM_NCCREATE) agent->Window_ = window;
  try {
    return agent->OnMessage(message, wParam, lParam);
  } catch (const std::exception&) {
    return 0;  // nothing leaves the window procedure
  }
}

LRESULT TCleaningAgent::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMessageIcon: OnIcon(lParam); return 0;
    case kMessageAlreadyRunning: Notify(texts::kAlreadyRunning, false); return 0;
    case WM_TIMER:
      if (wParam == kTimerSchedule) CheckSchedule();
      return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam)); return 0;
    case WM_CLOSE:
      // The menu's own loop would swallow the end: close the menu, and end once it returned.
      if (InMenu_) {
        QuitAsked_ = true;
        EndMenu();
        return 0;
      }
      Quit();
      return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wParam) Quit();
      return 0;
    case WM_DESTROY: Window_ = nullptr; return 0;
    default:
      if (message == TaskbarCreated_ && TaskbarCreated_ != 0) {
        IconShown_ = false;  // a restarted shell forgot it
        AddIcon();
        return 0;
      }
      return DefWindowProcA(Window_, message, wParam, lParam);
  }
}

void TCleaningAgent::AddIcon() {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = Window_;
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kMessageIcon;
  data.hIcon = Icon_;
  CopyField(data.szTip, Paused_ ? texts::kTipPaused : texts::kTip);
  // Without a notification area the agent works the same, only unseen.
  IconShown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TCleaningAgent::RemoveIcon() {
  if (!IconShown_ || !Window_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = Window_;
  data.uID = 1;
  Shell_NotifyIconW(NIM_DELETE, &data);
  IconShown_ = false;
}

void TCleaningAgent::SetTip(const std::string& text) {
  if (!IconShown_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = Window_;
  data.uID = 1;
  data.uFlags = NIF_TIP;
  CopyField(data.szTip, text);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TCleaningAgent::Notify(const std::string& text, bool opensProgram) {
  if (!IconShown_ || text.empty()) return;
  NoticeOpensProgram_ = opensProgram;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = Window_;
  data.uID = 1;
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = NIIF_INFO;
  CopyField(data.szInfoTitle, texts::kCaption);
  CopyField(data.szInfo, text);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TCleaningAgent::OnIcon(LPARAM event) {
  switch (static_cast<UINT>(event)) {
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: ShowMenu(); break;
    case WM_LBUTTONDBLCLK: OpenProgram(); break;
    case NIN_BALLOONUSERCLICK:
      if (NoticeOpensProgram_) OpenProgram();
      break;
    default: break;
  }
}

void TCleaningAgent::ShowMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (const texts::TMenuEntry& entry : texts::kMenu) {
    if (entry.Command == texts::kSeparator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const bool paused = entry.Command == texts::kCmdPause && Paused_;
    const UINT greyed = entry.Command == texts::kCmdCleanNow && Cleaning_.Busy() ? MF_GRAYED : 0;
    AppendMenuW(menu, MF_STRING | greyed, entry.Command, Wide(paused ? texts::kMenuResume : entry.Text).c_str());
  }
  SetMenuDefaultItem(menu, texts::kCmdOpen, FALSE);
  POINT at{};
  GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if the window is in front.
  SetForegroundWindow(Window_);
  InMenu_ = true;
  const int chosen = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, Window_, nullptr));
  InMenu_ = false;
  PostMessageA(Window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
  if (QuitAsked_) {
    Quit();
    return;
  }
  if (chosen != 0) OnCommand(chosen);
}

void TCleaningAgent::OnCommand(int id) {
  switch (id) {
    case texts::kCmdCleanNow: Clean(false); break;
    case texts::kCmdOpen: OpenProgram(); break;
    case texts::kCmdPause:
      Paused_ = !Paused_;
      SetTip(Paused_ ? texts::kTipPaused : texts::kTip);
      if (!Paused_) NextCheck_ = NowSeconds();
      break;
    case texts::kCmdQuit: Quit(); break;
    default: break;
  }
}

void TCleaningAgent::ReadSettings() {
  SettingsUsable_ = false;
  try {
    TPURGORegistry settings;
    Root_ = settings.RootKey;
    ProductKey_ = settings.GetProductKey();
    ServiceKey_ = settings.GetVersionKey() + "\\" + names::kServiceKey;
    settings.Load();
    Schedule_.CleaningType = settings.Service->CleaningType;
    Schedule_.EveryMinutes = settings.Service->EveryInterval;
    Schedule_.ThresholdBytes = settings.Service->FreeSpaceThreshold;
    WatchedDrives_ = SearchDrives(*settings.PersonalSearchData);
    // Options never confirmed clean nothing by themselves: the program asks for that first.
    SettingsUsable_ = !settings.FirstStart;
  } catch (const std::exception&) {
    // An unreadable store cleans nothing by itself; "Nettoyer maintenant" says why.
  }
  const std::string temp = TempFolderDrive();
  if (!temp.empty() && std::find(WatchedDrives_.begin(), WatchedDrives_.end(), temp) == WatchedDrives_.end()) {
    WatchedDrives_.push_back(temp);
  }
}

// Watches the product's keys (the options box writes every section), or the nearest of their
// parents that exists yet, for any change below them.
void TCleaningAgent::WatchSettings() {
  if (!SettingsChanged_) return;
  WatchedKey_.Reset();
  for (std::string path = ProductKey_; !path.empty();) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(Root_, path.c_str(), 0, KEY_NOTIFY, &opened) == ERROR_SUCCESS) {
      WatchedKey_.Reset(opened);
      break;
    }
    const size_t cut = path.find_last_of('\\');
    path.erase(cut == std::string::npos ? 0 : cut);
  }
  if (!WatchedKey_) return;
  RegNotifyChangeKeyValue(WatchedKey_.Get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                          SettingsChanged_.Get(), TRUE);
}

void TCleaningAgent::CheckSchedule() {
  if (Paused_ || Cleaning_.Busy() || QuitAsked_ || !SettingsUsable_) return;
  const int64_t now = NowSeconds();
  if (now < NextCheck_) return;
  Schedule_.Now = now;
  Schedule_.LastCleaning = ReadLastCleaning(Root_, ServiceKey_);
  Schedule_.FreeBytes =
      Schedule_.CleaningType == ctLowFreeSpace ? FreeSpaceOfWatchedDrives() : std::vector<uint64_t>{};
  const TScheduleDecision decision = DecideCleaning(Schedule_);
  NextCheck_ = decision.NextCheck;
  if (decision.Clean) Clean(true);
}

std::vector<uint64_t> TCleaningAgent::FreeSpaceOfWatchedDrives() const {
  std::vector<uint64_t> spaces;
  for (const std::string& drive : WatchedDrives_) {
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExA(drive.c_str(), &available, nullptr, nullptr)) spaces.push_back(available.QuadPart);
  }
  return spaces;
}

void TCleaningAgent::Clean(bool automatic) {
  if (Cleaning_.Busy()) return;
  SetTip(texts::kTipCleaning);
  const TCleaningOutcome outcome = Cleaning_.Run(!LockNoted_);
  SetTip(Paused_ ? texts::kTipPaused : texts::kTip);
  LockNoted_ = outcome.Kind == TCleaningOutcome::kLocked;
  const bool cleaned = outcome.Kind == TCleaningOutcome::kCleaned;
  if (!cleaned) {
    // Held back or failed: tried again at the next look, not a whole interval later.
    NextCheck_ = NowSeconds() + kCheckPeriodSeconds;
  }
  if (QuitAsked_) {
    RemoveIcon();
    PostQuitMessage(0);
    return;
  }
  if (!automatic) {
    Notify(NoticeOf(outcome), outcome.Waiting > 0);
    return;
  }
  // Each automatic cleaning tells its gain; a failure is told once, until one works again.
  bool tell = cleaned;
  if (cleaned) {
    FailureShown_ = false;
  } else if (outcome.Kind != TCleaningOutcome::kLocked) {
    tell = !FailureShown_;
    FailureShown_ = true;
  }
  if (tell) Notify(NoticeOf(outcome), outcome.Waiting > 0);
}

void TCleaningAgent::OpenProgram() {
  const std::string program = ProgramFolder() + kProgramFileName;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + Wide(program) + L"\"";
  if (!CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      Wide(ProgramFolder()).c_str(), &startup, &process)) {
    Notify(FormatText(texts::kOpenFailed, program), false);
    return;
  }
  const THandle thread(process.hThread);
  const THandle handle(process.hProcess);
}

void TCleaningAgent::Quit() {
  QuitAsked_ = true;
  if (Cleaning_.Busy()) {
    Cleaning_.Stop();  // the cleaning ends, then Clean posts the quit
    return;
  }
  RemoveIcon();
  PostQuitMessage(0);
}

}  // namespace pur::agent
