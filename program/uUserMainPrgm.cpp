// The main window: components, log pane, binding start and end, progress, lock display,
// idle and running states, Start/Stop, the automatic mode, close. The cleaning run itself is
// TCleaningRun (core/uUserMainPrgm_Run.cpp).
#include "uUserMainPrgm.h"

#include <algorithm>

#include <commctrl.h>
#include <richedit.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

#include "LumexLED.h"
#include "SafeDllLoad.h"
#include "VersionInfo.h"
#include "uFileList.h"
#include "WindowBinding.h"
#include "uUserMainPrgm_Format.h"

namespace pur {

using namespace mainform;

namespace {

constexpr UINT kMsgDeferred = WM_APP + 20;
// A close request is deferred like the buttons; it is no control of its own.
constexpr int kCommandClose = 1;

constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kFontPoints = 8;
constexpr int kMemoFontTwips = 180;  // 9 pt
constexpr int kPointsPerInch = 72;
constexpr char kRichEditLibrary[] = "riched20.dll";
constexpr char kShellLibrary[] = "shell32.dll";
constexpr char kMainIconName[] = "MAINICON";

// Where every control of the window sits, in client coordinates.
struct TPlace {
  int id;
  int left;
  int top;
  int width;
  int height;
};

constexpr TPlace kLayout[] = {
    {kIdBevel, 0, 0, kClientWidth, 2},
    {kIdButtonStartStop, 8, 8, kButtonWidth, kButtonHeight},
    {kIdButtonOptions, 8, 32, kButtonWidth, kButtonHeight},
    {kIdRestartButton, 8, 56, kButtonWidth, kButtonHeight},
    {kIdButtonQuit, 8, 80, kButtonWidth, kButtonHeight},
    {kIdButtonUpdate, 104, 8, kButtonWidth, kButtonHeight},
    {kIdButtonAbout, 104, 32, kButtonWidth, kButtonHeight},
    {kIdViewAnimate, 208, 8, 305, 73},
    {kIdImageIcon, 520, 20, 41, 45},
    {kIdLabelInfo, 112, 88, 433, 13},
    {kIdLedReady, 119, 64, kLedWidth, kLedHeight},
    {kIdLedOther, 143, 64, kLedWidth, kLedHeight},
    {kIdLedWork, 165, 64, kLedWidth, kLedHeight},
    {kIdProgressBar, 8, 112, 553, 16},
    {kIdMemoInfo, 0, kPanelHeight, kClientWidth, kPanelHeight},
};

constexpr const TPlace& PlaceOf(int id) {
  for (const TPlace& place : kLayout) {
    if (place.id == id) return place;
  }
  throw std::logic_error("control without a place");
}

struct TButtonCaption {
  int id;
  const char* caption;
};

constexpr TButtonCaption kButtons[] = {
    {kIdButtonStartStop, kStartCaption}, {kIdButtonOptions, kOptionsCaption}, {kIdRestartButton, kRestartCaption},
    {kIdButtonQuit, kQuitCaption},       {kIdButtonUpdate, kUpdateCaption},   {kIdButtonAbout, kAboutCaption},
};

COLORREF ColorOf(TInfoKind kind) {
  switch (kind) {
    case ikSuccess: return kLogLime;
    case ikWarning: return kLogYellow;
    case ikError: return kLogRed;
    default: return kLogSilver;
  }
}

void SetSelectionColor(HWND memo, COLORREF color) {
  CHARFORMAT2A format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR;
  format.crTextColor = color;
  SendMessageA(memo, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

// Keeps a counter raised while a scope runs, also when it leaves by an exception.
class TDepthGuard {
 public:
  explicit TDepthGuard(int& depth) : Depth_(depth) { ++Depth_; }
  ~TDepthGuard() { --Depth_; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;

 private:
  int& Depth_;
};

}  // namespace

TUserMainForm::~TUserMainForm() {
  TPURLib::SetEndHandler(nullptr);
  FLib.reset();
  if (Window_) DestroyWindow(Window_);
}

bool TUserMainForm::Create(HINSTANCE instance, const TMainFormBoxes& boxes) {
  Boxes_ = boxes;
  LoadLibraryA(kRichEditLibrary);  // stays for the process's life, as the control class needs
  Shell32_.Reset(LoadLibraryA(kShellLibrary));
  Icon_ = LoadIconA(instance, kMainIconName);

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = Icon_ ? Icon_ : LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  RECT frame{0, 0, kClientWidth, kPanelHeight};
  AdjustWindowRect(&frame, kWindowStyle, FALSE);
  Window_ = CreateWindowExA(0, kClassName, kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance, this);
  if (!Window_) return false;
  CreateComponents();
  FormCreate();
  return true;
}

LRESULT CALLBACK TUserMainForm::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* self = BoundObject<TUserMainForm>(window, message, lParam);
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCCREATE) self->Window_ = window;
  // No exception may unwind through the system's window code.
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    self->AddInfoLine(error.what(), ikError);
  } catch (...) {
  }
  return 0;
}

LRESULT TUserMainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_DESTROY:
      KillTimer(Window_, kTimerStart);
      KillTimer(Window_, kTimerLedYellow);
      Window_ = nullptr;
      PostQuitMessage(ExitCode_);
      return 0;
    case WM_SETCURSOR:
      if (!FIdle) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC:
      // The label is drawn on the panel's colour, so a new text never overlaps the old one.
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case kMsgDeferred:
      RunDeferred(static_cast<int>(wParam));
      return 0;
  }
  return DefWindowProcA(Window_, message, wParam, lParam);
}

HWND TUserMainForm::AddChild(const char* windowClass, const char* text, DWORD style, int id) {
  const TPlace& place = PlaceOf(id);
  HWND window = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                                place.width, place.height, Window_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(Font_.Get()), FALSE);
  return window;
}

void TUserMainForm::CreateComponents() {
  const TWindowDC screen(nullptr);
  const int height = -MulDiv(kFontPoints, GetDeviceCaps(screen.Get(), LOGPIXELSY), kPointsPerInch);
  Font_.Reset(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, "MS Sans Serif"));
  SendMessageA(Window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font_.Get()), FALSE);

  // The bevel's top line separates the panel from the caption.
  AddChild(WC_STATICA, "", SS_ETCHEDHORZ, kIdBevel);
  for (const TButtonCaption& b : kButtons) AddChild(WC_BUTTONA, b.caption, WS_TABSTOP | BS_PUSHBUTTON, b.id);
  EnableWindow(Item(kIdButtonUpdate), FALSE);

  AddChild(ANIMATE_CLASSA, "", ACS_CENTER | ACS_TRANSPARENT, kIdViewAnimate);
  HWND image = AddChild(WC_STATICA, "", SS_ICON | SS_CENTERIMAGE, kIdImageIcon);
  if (Icon_) SendMessageA(image, STM_SETICON, reinterpret_cast<WPARAM>(Icon_), 0);
  // Setting the icon sized the control to the icon: back to its place.
  const TPlace& imagePlace = PlaceOf(kIdImageIcon);
  SetWindowPos(image, nullptr, imagePlace.left, imagePlace.top, imagePlace.width, imagePlace.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  AddChild(WC_STATICA, "", SS_LEFT | SS_NOPREFIX, kIdLabelInfo);

  HWND progress = AddChild(PROGRESS_CLASSA, "", 0, kIdProgressBar);
  SendMessageA(progress, PBM_SETRANGE32, 0, kProgressInitialMax);
  CreateLeds();
  CreateLogPane();
}

void TUserMainForm::CreateLeds() {
  struct LedLook {
    int id;
    TLXLedClass shape;
    int angle;
    TColor color;
  } leds[] = {
      {kIdLedReady, TLXLedClass::lxlcHalfCircle, kHalfTurnAngle, kColorLime},
      {kIdLedOther, TLXLedClass::lxlcRect, 0, kColorYellow},
      {kIdLedWork, TLXLedClass::lxlcHalfCircle, 0, kColorRed},
  };
  for (const LedLook& look : leds) {
    const TPlace& place = PlaceOf(look.id);
    TLumexLED* led = TLumexLED::FromHandle(TLumexLED::Create(Window_, place.left, place.top, look.id));
    if (!led) continue;
    LumexLEDModel& lamp = led->Lamp();
    lamp.SetLedClass(look.shape);
    if (look.angle != 0) lamp.SetAngle(look.angle);
    lamp.SetLedPlasticColor(look.color);
    lamp.SetLedWidth(place.width);
    lamp.SetLedHeight(place.height);
    lamp.SetLedOn(false);
  }
}

void TUserMainForm::CreateLogPane() {
  const TPlace& place = PlaceOf(kIdMemoInfo);
  Memo_ = CreateWindowExA(WS_EX_CLIENTEDGE, RICHEDIT_CLASSA, "",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                          place.left, place.top, place.width, place.height, Window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdMemoInfo)), nullptr,
                          nullptr);
  if (!Memo_) return;
  SendMessageA(Memo_, EM_SETBKGNDCOLOR, 0, kLogBlack);
  SendMessageA(Memo_, EM_SETTARGETDEVICE, 0, 1);  // no word wrap
  CHARFORMAT2A format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC;
  format.crTextColor = kLogSilver;
  format.yHeight = kMemoFontTwips;
  // Fixed pitch asked for too, so a system without that face still lines the columns up.
  format.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynA(format.szFaceName, "Courier New", LF_FACESIZE);
  SendMessageA(Memo_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  SendMessageA(Memo_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

void TUserMainForm::SetLed(int id, bool on) {
  if (TLumexLED* led = TLumexLED::FromHandle(Item(id))) led->Lamp().SetLedOn(on);
}

void TUserMainForm::AddInfoLine(const std::string& text, TInfoKind kind) {
  if (!Memo_) return;
  SetFocus(Memo_);  // keeps the newest line scrolled into view
  SendMessageA(Memo_, EM_SETSEL, -1, -1);
  SetSelectionColor(Memo_, ColorOf(kind));
  if (FJournal && FRegistry && (FRegistry->Journal->Events & JournalBitOf(kind)) != 0) {
    FJournal->push_back(text);
  }
  const std::string line = text + "\r\n";
  SendMessageA(Memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageA(Memo_, EM_SETSEL, -1, -1);
  SetSelectionColor(Memo_, kLogSilver);
  SendMessageA(Memo_, EM_SCROLLCARET, 0, 0);
}

void TUserMainForm::LoadSettings() {
  SettingsIncomplete_ = false;
  try {
    FRegistry->Load();
  } catch (const std::exception& error) {
    // Every readable value was read, the others keep their defaults; the user must see which.
    std::vector<std::string> reasons = FRegistry->LoadErrors();
    if (reasons.empty()) reasons.push_back(error.what());
    for (const std::string& reason : reasons) {
      AddInfoLine(FormatText(kSettingsFailed, reason.c_str()), ikError);
    }
    SetDetail(true);
    SettingsFailed_ = true;
    SettingsIncomplete_ = true;
  }
}

void TUserMainForm::FormCreate() {
  FRegistry = std::make_unique<TPURGORegistry>();
  LoadSettings();
  FJournal = std::make_unique<std::vector<std::string>>();
  FIdle = true;
  InitSearchModule();
  ApplyDisplaySettings();
  SetTimer(Window_, kTimerStart, kStartInterval, nullptr);
}

void TUserMainForm::Show(int showCommand) {
  if (!Window_) return;
  RECT rect{};
  GetWindowRect(Window_, &rect);
  const TDisplaySettings& display = *FRegistry->Display;
  int left = display.PosX;
  int top = display.PosY;
  if (display.PosX == TDisplaySettings::kCentred || display.PosY == TDisplaySettings::kCentred) {
    left = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
  }
  SetWindowPos(Window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(Window_, showCommand);
  UpdateWindow(Window_);
}

void TUserMainForm::SavePositionIfMoved() {
  if (!Window_ || !FRegistry) return;
  // Only the options box may write over values this run could not read.
  if (SettingsIncomplete_) return;
  // A minimised window reports a parking place far off screen: keep its normal place.
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  RECT rect{};
  if (IsIconic(Window_) && GetWindowPlacement(Window_, &placement)) {
    rect = placement.rcNormalPosition;
  } else {
    GetWindowRect(Window_, &rect);
  }
  TDisplaySettings& display = *FRegistry->Display;
  if (rect.left == display.PosX && rect.top == display.PosY) return;
  display.PosX = rect.left;
  display.PosY = rect.top;
  // The agent's logon entry is left alone: only the user's explicit choices (the options
  // box, the setup) make it, never a copy of the program that was merely run.
  FRegistry->Save();
}

bool TUserMainForm::FormClose() {
  // Between two steps the library is idle while the run is still on the stack.
  if (Run_.Starting()) return false;
  if (FLib && (FLib->CurrentStatus() & 0xFF) != 0 && !FLib->LockedByOther()) return false;
  // Accepted, but not from inside the progress hand-over whose binding it destroys.
  if (DeferIfInsideProgress(kCommandClose)) return false;
  FreeSearchModule();
  if (Memo_) RedrawWindow(Memo_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  try {
    SavePositionIfMoved();
  } catch (const std::exception& error) {
    AddInfoLine(error.what(), ikError);
  }
  FRegistry.reset();
  FJournal.reset();
  Closed_ = true;
  DestroyWindow(Window_);
  return true;
}

void TUserMainForm::OnCommand(int id) {
  switch (id) {
    case kIdButtonStartStop: ButtonStartStopClick(); break;
    case kIdButtonOptions: ButtonOptionsClick(); break;
    case kIdRestartButton: RestartButtonClick(); break;
    case kIdButtonQuit: FormClose(); break;
    case kIdButtonAbout: ButtonAboutClick(); break;
    default: break;
  }
}

void TUserMainForm::OnTimer(UINT_PTR id) {
  if (id == kTimerLedYellow) TimerLedYellowTimer();
  if (id == kTimerStart) TimerStartTimer();
}

void TUserMainForm::ButtonStartStopClick() {
  if (FIdle && DeferIfInsideProgress(kIdButtonStartStop)) return;
  if (!FRegistry) return;
  // Settings an administrator keeps out of the user's hands need no first look.
  if (FRegistry->FirstStart && !FRegistry->OptionsForbidden) {
    MessageBoxA(Window_, kFirstStartText, kFirstStartTitle, MB_OK | MB_ICONWARNING);
    OpenOptionsBox();  // at once, as the run (or the stop) goes on after it
    if (!FRegistry) return;
  }
  if (FIdle) {
    // Without the library nothing would ever bring the window back to idle.
    if (!FLib) {
      AddInfoLine(kNotLoaded, ikError);
      return;
    }
    SetIdle(false);
    try {
      Run_.Run();
    } catch (const std::exception& error) {
      AddInfoLine(error.what(), ikError);
    }
    return;
  }
  Run_.Stop();
  if (FLib) FLib->StopSearch();
  AddInfoLine(kUserAbort, ikError);
}

void TUserMainForm::TimerStartTimer() {
  KillTimer(Window_, kTimerStart);
  const int tag = TimerStartTag_++;
  if (!AutoMode_) return;
  if (tag == 0) {
    if (SettingsIncomplete_) {
      RefuseAutomaticRun();
    } else {
      ButtonStartStopClick();
    }
  }
  if (tag == 1) PostMessageA(Window_, WM_CLOSE, 0, 0);
}

// Nobody is there to see which values fell back to their defaults, and a default may delete
// what the user excluded ("Tester" off, a step turned on): no step runs. The journal tells
// why, but only where its own settings were read: a guessed place or a guessed "new journal
// each time" could overwrite a file the user never chose.
void TUserMainForm::RefuseAutomaticRun() {
  ExitCode_ = kExitSettingsUnreadable;
  AddInfoLine(kAutoRunRefused, ikError);
  std::vector<std::string> reasons;
  for (const std::string& reason : FRegistry->LoadErrors()) reasons.push_back(FormatText(kSettingsFailed, reason.c_str()));
  ReportRunRefused(Runner(), kAutoRunRefused, reasons);
  const TJournalSettings& journal = *FRegistry->Journal;
  if (FLib && FRegistry->SectionReadWhole(names::kJournalKey) && journal.Enabled) {
    std::vector<std::string>& lines = *FJournal;
    lines.clear();
    if ((journal.Events & JournalBitOf(ikError)) != 0) {
      for (const std::string& reason : FRegistry->LoadErrors()) {
        lines.push_back(FormatText(kSettingsFailed, reason.c_str()));
      }
      lines.push_back(kAutoRunRefused);
    }
    try {
      FLib->WriteReport(journal.Location + kJournalFileName, JoinLines(lines), journal.NewEachSearch);
    } catch (const std::exception& error) {
      AddInfoLine(error.what(), ikError);
    }
  }
  RunEnded();  // the next tick closes the window, as after a run
}

void TUserMainForm::ReviewFoundFiles(std::vector<std::string>& names) {
  if (!FRegistry || !FRegistry->Cleaning->ConfirmDelete) return;
  if (IsIconic(Window_)) ShowWindow(Window_, SW_RESTORE);
  // The list's "Toujours garder" is stored at once: the user's choice outlives this run.
  TReviewKeeping keeping;
  keeping.Record = [this](const std::string& entry, std::string& error) {
    if (!FRegistry) return false;
    std::vector<std::string> list = FRegistry->Cleaning->KeepList;
    if (std::find(list.begin(), list.end(), entry) != list.end()) return true;
    list.push_back(entry);
    try {
      FRegistry->SaveKeepList(list);
      return true;
    } catch (const std::exception& failure) {
      error = failure.what();
      return false;
    }
  };
  ShowFileList(names, Window_, &keeping);
}

void TUserMainForm::RunEnded() { SetTimer(Window_, kTimerStart, kStartInterval, nullptr); }

void TUserMainForm::ButtonOptionsClick() {
  if (DeferIfInsideProgress(kIdButtonOptions)) return;
  OpenOptionsBox();
}

void TUserMainForm::OpenOptionsBox() {
  if (!FRegistry) return;
  if (FRegistry->OptionsForbidden) {
    MessageBoxA(Window_, kOptionsForbidden, kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  BlinkOther(true);
  const bool changed = Boxes_.OpenOptions && Boxes_.OpenOptions(Window_);
  if (changed && FRegistry) {
    LoadSettings();
    ApplyDisplaySettings();
  }
  BlinkOther(false);
}

void TUserMainForm::ButtonAboutClick() {
  // While a run is on the stack a deferred box would only open after it: open it now.
  if (FIdle && !Run_.Starting() && DeferIfInsideProgress(kIdButtonAbout)) return;
  BlinkOther(true);
  if (Boxes_.OpenAbout) Boxes_.OpenAbout(Window_);
  BlinkOther(false);
}

void TUserMainForm::RestartButtonClick() {
  // The button is disabled while running; a click sent to it anyway must not unbind a run.
  if (!FIdle || Run_.Starting()) return;
  if (DeferIfInsideProgress(kIdRestartButton)) return;
  FreeSearchModule();
  ProcessMessages();
  if (!Closed_ && !FLib) InitSearchModule();
}

void TUserMainForm::TimerLedYellowTimer() {
  if (TLumexLED* led = TLumexLED::FromHandle(Item(kIdLedOther))) {
    led->Lamp().SetLedOn(!led->Lamp().LedOn());
  }
}

void TUserMainForm::BlinkOther(bool on) {
  if (!Window_) return;
  if (on) {
    SetTimer(Window_, kTimerLedYellow, kLedYellowInterval, nullptr);
    return;
  }
  KillTimer(Window_, kTimerLedYellow);
  SetLed(kIdLedOther, false);
}

// The progress hand-over holds the binding's monitor thread until it returns: unbinding the
// library, closing, opening a modal box or starting a whole run from inside it would stop
// the polls or destroy the binding under its own call. Such commands wait until it returned
// (a refused one is refused at once, so a late close never surprises the user).
bool TUserMainForm::DeferIfInsideProgress(int command) {
  if (ProgressDepth_ == 0) return false;
  Deferred_.insert(command);
  return true;
}

void TUserMainForm::PostDeferred() {
  if (!Window_) return;
  for (int command : Deferred_) PostMessageA(Window_, kMsgDeferred, command, 0);
  Deferred_.clear();
}

void TUserMainForm::RunDeferred(int command) {
  if (DeferIfInsideProgress(command)) return;
  switch (command) {
    case kIdButtonStartStop:
      // Started meanwhile: the deferred click was meant as a start, not as a stop.
      if (FIdle) ButtonStartStopClick();
      break;
    case kIdButtonQuit:
    case kCommandClose: FormClose(); break;
    default: OnCommand(command); break;
  }
}

void TUserMainForm::InitSearchModule() {
  AddInfoLine(GetProgramBanner(), ikNormal);
  try {
    AddInfoLine(kInitStart, ikNormal);
    const std::string product = TVersionInfo(OwnExecutableName()).ProductName();
    FLib = std::make_unique<TPURLib>(kLibNameFormat, product, kLibReserved);
    FLib->SetOnProgress([this](double percent) { return LibProgress(percent); });
    FLib->SetRefreshInterval(FRegistry->Display->RefreshSpeed);
    TPURLib::SetEndHandler([this](uint8_t kind) { Run_.StepFinished(kind); });
    AddInfoLine(FormatNumber(kInitDone, FLib->LoadNumber()), ikSuccess);
    AddInfoLine("", ikNormal);
    FLib->TakeLock();
    SetLed(kIdLedReady, true);
  } catch (const std::exception& error) {
    AddInfoLine(FormatText(kInitFailed, error.what()), ikError);
  }
}

void TUserMainForm::FreeSearchModule() {
  try {
    SetLed(kIdLedReady, false);
    SendMessageA(Item(kIdProgressBar), PBM_SETPOS, 0, 0);
    if (FLib) {
      FLib->ReleaseLock();
      AddInfoLine(kFreeStart, ikNormal);
      TPURLib::SetEndHandler(nullptr);
      FLib.reset();
      AddInfoLine(kFreeDone, ikSuccess);
      AddInfoLine("", ikNormal);
    }
  } catch (const std::exception& error) {
    AddInfoLine(FormatText(kFreeFailed, error.what()), ikError);
    // A binding that failed to give its lock back still goes, so a restart starts afresh.
    TPURLib::SetEndHandler(nullptr);
    FLib.reset();
  }
}

bool TUserMainForm::LibProgress(double percent) {
  if (!FLib || Closed_) return false;
  {
    TDepthGuard depth(ProgressDepth_);
    HWND bar = Item(kIdProgressBar);
    SendMessageA(bar, PBM_SETRANGE32, 0, kProgressSteps);
    SendMessageA(bar, PBM_SETPOS, ProgressPosition(percent, kProgressSteps), 0);
    SetLockedState(FLib->LockedByOther());
    if (!Run_.Starting() && !FLockedShown && (FLib->CurrentStatus() & 0xFF) == 0) {
      SetInfo(kWaiting);
      SetIdle(true);
    }
    ProcessMessages();
  }
  if (ProgressDepth_ == 0) PostDeferred();
  return true;
}

void TUserMainForm::SetLockedState(bool locked) {
  if (locked == FLockedShown || !FLib) return;
  if (!locked) {
    AddInfoLine(kUnlocked, ikSuccess);
    EnableWindow(Item(kIdButtonStartStop), TRUE);
    EnableWindow(Item(kIdButtonOptions), FIdle);
    FLib->TakeLock();
  } else {
    AddInfoLine(FormatText(kLockedBy, FLib->LockOwnerName()), ikWarning);
    EnableWindow(Item(kIdButtonStartStop), FALSE);
    EnableWindow(Item(kIdButtonOptions), FALSE);
  }
  FLockedShown = locked;
  AddInfoLine("", ikNormal);
}

void TUserMainForm::SetIdle(bool idle) {
  if (idle == FIdle) return;
  FIdle = idle;
  SetLed(kIdLedWork, !idle);
  SetWindowTextA(Item(kIdButtonStartStop), idle ? kStartCaption : kStopCaption);
  SetCursor(LoadCursorA(nullptr, idle ? IDC_ARROW : IDC_WAIT));
  EnableWindow(Item(kIdButtonOptions), idle && !FLockedShown);
  EnableWindow(Item(kIdRestartButton), idle);
  if (FRegistry && FRegistry->Display->MinimizeToIcon) {
    ShowWindow(Window_, idle ? SW_RESTORE : SW_MINIMIZE);
  }
}

void TUserMainForm::SetDetail(bool shown) {
  RECT frame{0, 0, kClientWidth, shown ? 2 * kPanelHeight : kPanelHeight};
  AdjustWindowRect(&frame, kWindowStyle, FALSE);
  SetWindowPos(Window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TUserMainForm::ApplyDisplaySettings() {
  if (!FRegistry) return;
  SetDetail(FRegistry->Display->ShowDetail || SettingsFailed_);
  if (FLib) FLib->SetRefreshInterval(FRegistry->Display->RefreshSpeed);
}

void TUserMainForm::SetInfo(const char* text) { SetWindowTextA(Item(kIdLabelInfo), text); }

void TUserMainForm::PlayAnimation(int resourceId) {
  HWND animate = Item(kIdViewAnimate);
  if (!Shell32_ || !animate) return;
  SendMessageA(animate, ACM_OPENA, reinterpret_cast<WPARAM>(Shell32_.Get()),
               reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(resourceId)));
  SendMessageA(animate, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
}

void TUserMainForm::StopAnimation() {
  HWND animate = Item(kIdViewAnimate);
  SendMessageA(animate, ACM_OPENA, 0, 0);
  // The control keeps its last frame on screen unless told to repaint.
  InvalidateRect(animate, nullptr, TRUE);
  InvalidateRect(Window_, nullptr, TRUE);
}

void TUserMainForm::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace pur
