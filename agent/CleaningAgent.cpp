#include "CleaningAgent.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <memory>
#include <future>
#include <thread>

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
constexpr UINT_PTR kTimerSettingsQuiet = 2;
constexpr UINT_PTR kTimerRefusal = 3;
// The schedule is looked at this often at least; the decision says when something is due.
constexpr auto kSchedulePeriod = std::chrono::seconds(15);
constexpr auto kShortestTimer = std::chrono::milliseconds(50);
// A store is read once it has been quiet this long, so that a save in progress (many values,
// the first-start flag among them) is read whole; short enough for "stop" to act within a second.
constexpr UINT kSettingsQuietMs = 500;
// How long the refusal's notice stays up before an agent that may not work ends.
constexpr UINT kRefusalShownMs = 10 * 1000;
// A drive that does not tell its free space within this time (a network drive out of reach)
// is left out of that look.
constexpr auto kDriveAnswerBound = std::chrono::seconds(3);
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

std::chrono::seconds FirstLookDelay() {
  char text[16] = {};
  const DWORD length = GetEnvironmentVariableA(kFirstLookVariable, text, sizeof text);
  if (length == 0 || length >= sizeof text) return std::chrono::seconds(kFirstLookSeconds);
  char* end = nullptr;
  const long seconds = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || seconds < 0) return std::chrono::seconds(kFirstLookSeconds);
  return std::chrono::seconds(std::min<long>(seconds, kFirstLookSeconds));
}

std::vector<uint64_t> FreeSpaceOf(const std::vector<std::string>& drives, std::chrono::milliseconds bound) {
  std::vector<std::future<std::optional<uint64_t>>> answers;
  for (const std::string& drive : drives) {
    auto promise = std::make_shared<std::promise<std::optional<uint64_t>>>();
    answers.push_back(promise->get_future());
    // Detached: a drive that never answers keeps only this thread, until the agent ends.
    std::thread([promise, drive] {
      ULARGE_INTEGER available{};
      promise->set_value(GetDiskFreeSpaceExA(drive.c_str(), &available, nullptr, nullptr)
                             ? std::optional<uint64_t>(available.QuadPart)
                             : std::nullopt);
    }).detach();
  }
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::vector<uint64_t> spaces;
  for (auto& answer : answers) {
    if (answer.wait_until(deadline) != std::future_status::ready) continue;
    if (const std::optional<uint64_t> space = answer.get()) spaces.push_back(*space);
  }
  return spaces;
}

void TSettingsWatch::Arm(HKEY root, const std::string& path) {
  // Closing the key drops the notification armed on it before.
  Key_.Reset();
  if (!Event_) return;
  for (std::string parent = path; !parent.empty();) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, parent.c_str(), 0, KEY_NOTIFY, &opened) == ERROR_SUCCESS) {
      Key_.Reset(opened);
      break;
    }
    const size_t cut = parent.find_last_of('\\');
    parent.erase(cut == std::string::npos ? 0 : cut);
  }
  if (!Key_) return;
  RegNotifyChangeKeyValue(Key_.Get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, Event_.Get(),
                          TRUE);
}

TCleaningAgent::~TCleaningAgent() {
  RemoveIcon();
  if (Window_) DestroyWindow(Window_);
  if (Icon_) DestroyIcon(Icon_);
}

bool TCleaningAgent::CreateWindowAndIcon(HINSTANCE instance) {
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
  return true;
}

bool TCleaningAgent::Create(HINSTANCE instance) {
  Cleaning_.OnStatus = [this](const char* text) { SetTip(std::string(texts::kCaption) + " : " + text); };
  Cleaning_.OnMessages = [this] { PollSettings(); };
  try {
    const TPURGORegistry settings;
    Root_ = settings.RootKey;
    ProductKey_ = settings.GetProductKey();
    ServiceKey_ = settings.GetVersionKey() + "\\" + names::kServiceKey;
  } catch (const std::exception&) {
    return false;
  }
  Watch_.ArmThenRead(Root_, ProductKey_, [this] { ReadSettings(); });
  // The window comes after the first read: once it can be found, a change is a change.
  if (!CreateWindowAndIcon(instance)) return false;
  NextCheck_ = TClock::now() + FirstLookDelay();
  AddIcon();
  ArmScheduleTimer();
  return true;
}

bool TCleaningAgent::CreateRefusing(HINSTANCE instance, const std::string& notice) {
  if (!CreateWindowAndIcon(instance)) return false;
  AddIcon();
  if (!IconShown_) {
    PostQuitMessage(0);
    return true;
  }
  Notify(notice, false);
  SetTimer(Window_, kTimerRefusal, kRefusalShownMs, nullptr);
  return true;
}

int TCleaningAgent::Run() {
  for (;;) {
    HANDLE changed = Watch_.Event();
    const DWORD woke = MsgWaitForMultipleObjects(changed ? 1 : 0, &changed, FALSE, INFINITE, QS_ALLINPUT);
    if (changed && woke == WAIT_OBJECT_0) {
      OnSettingsChanged();
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
    case kMessageFreeSpace: OnFreeSpace(reinterpret_cast<std::vector<uint64_t>*>(lParam)); return 0;
    case WM_TIMER:
      if (wParam == kTimerSchedule) CheckSchedule();
      if (wParam == kTimerSettingsQuiet) ApplySettings();
      if (wParam == kTimerRefusal) Quit();
      return 0;
    case WM_TIMECHANGE:
      // The monotonic clock did not move, but a wait measured from the stored time did.
      NextCheck_ = TClock::now();
      CheckSchedule();
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
    case texts::kCmdPause: SetPaused(!Paused_); break;
    case texts::kCmdQuit: Quit(); break;
    default: break;
  }
}

// Kept in the settings, so that a restart (a new session) stays paused until "Reprendre".
void TCleaningAgent::SetPaused(bool paused) {
  Paused_ = paused;
  SetTip(Paused_ ? texts::kTipPaused : texts::kTip);
  HKEY opened = nullptr;
  if (RegCreateKeyExA(Root_, ServiceKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) ==
      ERROR_SUCCESS) {
    const TRegKey key(opened);
    const DWORD one = 1;
    if (paused) {
      RegSetValueExA(key.Get(), kPausedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    } else {
      RegDeleteValueA(key.Get(), kPausedValue);
    }
  }
  if (!Paused_) NextCheck_ = TClock::now();
  CheckSchedule();
}

// A change below the watched key: watched again at once, read once the key is quiet.
void TCleaningAgent::OnSettingsChanged() {
  Watch_.Arm(Root_, ProductKey_);
  if (Window_) SetTimer(Window_, kTimerSettingsQuiet, kSettingsQuietMs, nullptr);
}

// From inside a cleaning, whose wait lets messages through but not the registry's event.
void TCleaningAgent::PollSettings() {
  if (Watch_.Event() && WaitForSingleObject(Watch_.Event(), 0) == WAIT_OBJECT_0) OnSettingsChanged();
}

void TCleaningAgent::ApplySettings() {
  if (Window_) KillTimer(Window_, kTimerSettingsQuiet);
  const bool hadAutoStart = AutoStart_;
  const bool hadConsent = Consent_;
  Watch_.ArmThenRead(Root_, ProductKey_, [this] { ReadSettings(); });
  if (Readable_ && ((hadAutoStart && !AutoStart_) || (hadConsent && !Consent_))) {
    // Told to stop: no start at the next logon either, and a cleaning under way ends.
    KeepAgentStartInStep(false, ProgramFolder());
    Quit();
    return;
  }
  SetTip(Paused_ ? texts::kTipPaused : texts::kTip);
  // A change of type or interval is decided on now.
  NextCheck_ = TClock::now();
  CheckSchedule();
}

void TCleaningAgent::ReadSettings() {
  Readable_ = false;
  AutomaticWanted_ = false;
  try {
    TPURGORegistry settings;
    settings.Load();
    Schedule_.CleaningType = settings.Service->CleaningType;
    Schedule_.EveryMinutes = settings.Service->EveryInterval;
    Schedule_.ThresholdBytes = settings.Service->FreeSpaceThreshold;
    WatchedDrives_ = SearchDrives(*settings.PersonalSearchData);
    AutoStart_ = settings.Service->AutoStart;
    Consent_ = settings.Service->AutomaticConsent;
    AutomaticWanted_ = AutomaticCleaningWanted(settings);
    Readable_ = true;
  } catch (const std::exception&) {
    // An unreadable store cleans nothing by itself; "Nettoyer maintenant" says why.
  }
  DWORD paused = 0;
  DWORD size = sizeof paused;
  Paused_ = RegGetValueA(Root_, ServiceKey_.c_str(), kPausedValue, RRF_RT_REG_DWORD, nullptr, &paused, &size) ==
                ERROR_SUCCESS &&
            paused != 0;
  const std::string temp = TempFolderDrive();
  if (!temp.empty() && std::find(WatchedDrives_.begin(), WatchedDrives_.end(), temp) == WatchedDrives_.end()) {
    WatchedDrives_.push_back(temp);
  }
}

bool TCleaningAgent::MayCleanByItself() const {
  return AutomaticWanted_ && !Paused_ && !Cleaning_.Busy() && !QuitAsked_;
}

void TCleaningAgent::ArmScheduleTimer() {
  if (!Window_) return;
  auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(NextCheck_ - TClock::now());
  if (!MayCleanByItself()) wait = kSchedulePeriod;
  wait = std::clamp<std::chrono::milliseconds>(wait, kShortestTimer, kSchedulePeriod);
  SetTimer(Window_, kTimerSchedule, static_cast<UINT>(wait.count()), nullptr);
}

void TCleaningAgent::CheckSchedule() {
  if (MayCleanByItself() && !SpaceQueryPending_ && TClock::now() >= NextCheck_) {
    if (Schedule_.CleaningType == ctLowFreeSpace) {
      StartFreeSpaceQuery();
    } else {
      Decide({});
    }
  }
  ArmScheduleTimer();
}

void TCleaningAgent::StartFreeSpaceQuery() {
  SpaceQueryPending_ = true;
  std::thread([drives = WatchedDrives_, window = Window_] {
    auto spaces = std::make_unique<std::vector<uint64_t>>(FreeSpaceOf(drives, kDriveAnswerBound));
    if (PostMessageA(window, kMessageFreeSpace, 0, reinterpret_cast<LPARAM>(spaces.get()))) spaces.release();
  }).detach();
}

void TCleaningAgent::OnFreeSpace(std::vector<uint64_t>* freeBytes) {
  const std::unique_ptr<std::vector<uint64_t>> owned(freeBytes);
  SpaceQueryPending_ = false;
  // Things may have changed while the drives answered.
  if (owned && MayCleanByItself() && Schedule_.CleaningType == ctLowFreeSpace) Decide(*owned);
  ArmScheduleTimer();
}

void TCleaningAgent::Decide(const std::vector<uint64_t>& freeBytes) {
  TScheduleInput input = Schedule_;
  input.FreeBytes = freeBytes;
  const TClock::time_point now = TClock::now();
  const std::optional<int64_t> stored = ReadLastCleaning(Root_, ServiceKey_);
  if (OwnCleaningAt_ && stored == OwnCleaningStored_) {
    // This agent's own cleaning is the last one: measured on the monotonic clock.
    input.Now = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    input.LastCleaning = std::chrono::duration_cast<std::chrono::seconds>(OwnCleaningAt_->time_since_epoch()).count();
  } else {
    input.Now = NowSeconds();
    input.LastCleaning = stored;
  }
  const TScheduleDecision decision = DecideCleaning(input);
  NextCheck_ = now + std::chrono::seconds(decision.NextCheck - input.Now);
  InLowSpell_ = input.CleaningType == ctLowFreeSpace && SpaceIsLow(input);
  if (!InLowSpell_) LowNoticeShown_ = false;
  if (decision.Clean) Clean(true);
}

void TCleaningAgent::Clean(bool automatic) {
  if (Cleaning_.Busy()) return;
  SetTip(texts::kTipCleaning);
  const TCleaningOutcome outcome = Cleaning_.Run(!LockNoted_, automatic);
  SetTip(Paused_ ? texts::kTipPaused : texts::kTip);
  LockNoted_ = outcome.Kind == TCleaningOutcome::kLocked;
  const bool cleaned = outcome.Kind == TCleaningOutcome::kCleaned;
  if (cleaned) {
    OwnCleaningAt_ = TClock::now();
    OwnCleaningStored_ = ReadLastCleaning(Root_, ServiceKey_).value_or(0);
  } else if (automatic) {
    // Held back or failed: tried again at the next look, not a whole interval later.
    NextCheck_ = TClock::now() + std::chrono::seconds(kCheckPeriodSeconds);
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
  if (outcome.Kind == TCleaningOutcome::kNotWanted) return;  // the settings changed meanwhile
  // Each automatic cleaning tells its gain, once per low spell for type 2; a failure is told
  // once, until one works again.
  bool tell = cleaned;
  if (cleaned) {
    FailureShown_ = false;
    if (InLowSpell_) {
      tell = !LowNoticeShown_;
      LowNoticeShown_ = true;
    }
  } else if (outcome.Kind != TCleaningOutcome::kLocked) {
    tell = !FailureShown_;
    FailureShown_ = true;
  }
  if (tell) Notify(NoticeOf(outcome), outcome.Waiting > 0);
}

// A plain CreateProcess, never "runas": the program gets the agent's own token, which is
// never elevated (an elevated agent ends before it has a menu).
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
