#include "OptionsDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "OptionsPlatform.h"
#include "ProtectedFolders.h"
#include "OptionsTexts.h"

namespace pur::options {

namespace {

namespace t = texts;

constexpr int32_t kMinRefresh = 10;
constexpr int32_t kMaxRefresh = 60000;
constexpr int32_t kMinPosition = -32768;
constexpr int32_t kMaxPosition = 32767;
constexpr int32_t kMaxInterval = 1000000;
constexpr uint8_t kShownEventBits = 0x1F;

// Dialog template with no controls: everything is made in WM_INITDIALOG, in pixels.
struct TEmptyTemplate {
  DLGTEMPLATE Header;
  WORD Menu, Class, Title;
};

std::string Format(const char* format, const std::string& a) {
  std::vector<char> buffer(std::strlen(format) + a.size() + 64);
  std::snprintf(buffer.data(), buffer.size(), format, a.c_str());
  return buffer.data();
}

std::string FormatNumbers(const char* format, int32_t a, int32_t b = 0) {
  std::vector<char> buffer(std::strlen(format) + 64);
  std::snprintf(buffer.data(), buffer.size(), format, static_cast<int>(a), static_cast<int>(b));
  return buffer.data();
}

// The agent cleans by itself only for these types, and only with the user's consent.
bool WantsAutomaticCleaning(bool autoStart, int32_t type) {
  return autoStart && (type == ctPeriodic || type == ctLowFreeSpace);
}

// What the agent will delete without asking, and when, in the words of the settings edited.
std::string ConsentQuestion(const TOptionsValues& values) {
  const TCleaningSettings& c = values.Cleaning;
  const TServiceSettings& s = values.Service;
  // Found files that wait for confirmation are not deleted without the user.
  const bool searchDeletes = c.RunPersonalSearch && !c.ConfirmDelete;
  std::string text = t::kConsentIntro;
  if (c.EmptyRecycleBin) text += t::kConsentRecycleBin;
  if (c.EmptyTempFolder) text += t::kConsentTempFolder;
  if (searchDeletes) text += t::kConsentPersonalSearch;
  if (!c.EmptyRecycleBin && !c.EmptyTempFolder && !searchDeletes) text += t::kConsentNothingChosen;
  if (c.RunPersonalSearch && !searchDeletes) text += t::kConsentSearchConfirmed;
  const int32_t every = s.EveryInterval;
  if (s.CleaningType == ctPeriodic) {
    text += every <= 1 ? std::string(t::kConsentEveryMinute) : FormatNumbers(t::kConsentEvery, every);
  } else {
    const int32_t mib = s.FreeSpaceThreshold / kBytesPerMiB;
    text += every <= 1 ? FormatNumbers(t::kConsentLowSpaceEveryMinute, mib)
                       : FormatNumbers(t::kConsentLowSpace, mib, every);
  }
  return text + t::kConsentAsk;
}

const char* KeepEntryProblemText(TKeepEntryProblem problem) {
  switch (problem) {
    case TKeepEntryProblem::TooLong: return t::kKeepEntryTooLong;
    case TKeepEntryProblem::BadCharacter: return t::kKeepEntryBadCharacter;
    case TKeepEntryProblem::EmptyPart: return t::kKeepEntryEmptyPart;
    case TKeepEntryProblem::LeavesFolder: return t::kKeepEntryLeavesFolder;
    case TKeepEntryProblem::TrimmedName: return t::kKeepEntryTrimmedName;
    case TKeepEntryProblem::Empty:
    case TKeepEntryProblem::None: break;
  }
  return "";
}

// An entry short enough for a message box, cut between two UTF-8 characters.
std::string Shortened(std::string text) {
  constexpr size_t kShown = 120;
  if (text.size() <= kShown) return text;
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text + "…";
}

}  // namespace

TOptionsDialog::TOptionsDialog(HMODULE module, TOptionsValues values)
    : module_(module), values_(std::move(values)), search_(values_.PersonalSearch) {}

TOptionsDialog::~TOptionsDialog() = default;

bool TOptionsDialog::Run(HWND owner) {
  TEmptyTemplate box{};
  box.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
  box.Header.cx = 100;
  box.Header.cy = 100;
  if (owner && !IsWindow(owner)) owner = nullptr;
  const INT_PTR result = DialogBoxIndirectParamA(module_, &box.Header, owner, &Proc,
                                                 reinterpret_cast<LPARAM>(this));
  return result == IDOK;
}

INT_PTR CALLBACK TOptionsDialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    reinterpret_cast<TOptionsDialog*>(lParam)->hwnd_ = dialog;
  }
  auto* self = reinterpret_cast<TOptionsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!self) return FALSE;
  // Nothing may escape into the dialog manager: a failure closes the box as a cancel.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
}

INT_PTR TOptionsDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Create();
      PlaceWindow(GetWindow(hwnd_, GW_OWNER));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return PageBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == static_cast<UINT_PTR>(ids::kTabs) && header->code == TCN_SELCHANGE)
        ShowPage(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
      if (header->idFrom == static_cast<UINT_PTR>(ids::kTree) &&
          (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) && !rebuilding_)
        OnPlaceSelected();
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      switch (id) {
        case IDOK: OnOk(); break;
        case IDCANCEL: EndDialog(hwnd_, IDCANCEL); break;
        case ids::kBrowseLocation: OnBrowseLocation(); break;
        case ids::kAddDrive: OnAddDrive(); break;
        case ids::kAddFolder: OnAddFolder(); break;
        case ids::kRemoveNode: OnRemoveNode(); break;
        case ids::kAddMask:
        case ids::kEditMask:
        case ids::kRemoveMask: OnMaskCommand(id); break;
        case ids::kMasks:
          if (code == LBN_SELCHANGE) OnMaskSelected();
          break;
        case ids::kCleaningType:
          if (code == CBN_SELCHANGE) {
            EnableUsedNumbers();
            ShowAutomaticState();
          }
          break;
        case ids::kAutoStart:
          if (code == BN_CLICKED) ShowAutomaticState();
          break;
        default: break;
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}


void TOptionsDialog::PlaceWindow(HWND owner) {
  RECT box{};
  GetWindowRect(hwnd_, &box);
  RECT around{};
  if (!owner || !GetWindowRect(owner, &around) || IsIconic(owner))
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &around, 0);
  const int w = box.right - box.left;
  const int h = box.bottom - box.top;
  RECT screen{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
  int x = around.left + ((around.right - around.left) - w) / 2;
  int y = around.top + ((around.bottom - around.top) - h) / 2;
  x = std::max<int>(screen.left, std::min<int>(x, screen.right - w));
  y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - h));
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void TOptionsDialog::ShowPage(int page) {
  if (page < 0 || page >= ids::kPageCount) return;
  SendMessageA(tabs_, TCM_SETCURSEL, page, 0);
  for (int other = 0; other < ids::kPageCount; ++other)
    for (HWND control : pages_[static_cast<size_t>(other)])
      ShowWindow(control, other == page ? SW_SHOW : SW_HIDE);
  PlaceTips(page);
  // Wine leaves the tab's body unpainted where hidden controls were: paint the page anew.
  RedrawWindow(hwnd_, &pageArea_, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Only the numbers the chosen type uses can be typed in; a greyed one keeps its value and
// is saved as it stands. Type 2 also uses the interval, as the least time between cleanings.
void TOptionsDialog::EnableUsedNumbers() {
  const int32_t type = SelectedCleaningType(ctNone);
  const bool interval = type == ctPeriodic || type == ctLowFreeSpace;
  const bool threshold = type == ctLowFreeSpace;
  for (int id : {ids::kEveryLabel, ids::kEveryInterval, ids::kMinutesLabel})
    EnableWindow(Item(id), interval && !Locked(id));
  for (int id : {ids::kWhenLessLabel, ids::kFreeSpaceThreshold, ids::kMiBLabel})
    EnableWindow(Item(id), threshold && !Locked(id));
}

int32_t TOptionsDialog::SelectedCleaningType(int32_t whenNone) const {
  HWND types = Item(ids::kCleaningType);
  const auto selected = SendMessageA(types, CB_GETCURSEL, 0, 0);
  return selected < 0 ? whenNone : static_cast<int32_t>(SendMessageA(types, CB_GETITEMDATA, selected, 0));
}

// As the page stands: ticking and picking show at once what OK would lead to.
void TOptionsDialog::ShowAutomaticState() {
  const char* state = t::kAutomaticOff;
  if (values_.Policies.AutomaticCleaningForbidden)
    state = t::kAutomaticForbidden;
  else if (WantsAutomaticCleaning(Checked(ids::kAutoStart), SelectedCleaningType(values_.Service.CleaningType)))
    state = values_.Service.AutomaticConsent ? t::kAutomaticOn : t::kAutomaticAsked;
  SetWindowTextA(Item(ids::kAutomaticState), state);
}

void TOptionsDialog::OnBrowseLocation() {
  if (std::optional<std::string> folder = PickFolder(hwnd_, t::kPickJournalFolder, Text(ids::kLocation)))
    SetWindowTextA(Item(ids::kLocation), WithTrailingBackslash(*folder).c_str());
}

void TOptionsDialog::Complain(const std::string& text, int page, int id) {
  ShowPage(page);
  MessageBoxA(hwnd_, text.c_str(), t::kCaption, MB_OK | MB_ICONWARNING);
  if (HWND control = Item(id)) SetFocus(control);
}

bool TOptionsDialog::Untouched(int id, const std::string& text) const {
  return std::any_of(shownTexts_.begin(), shownTexts_.end(),
                     [&](const auto& shown) { return shown.first == id && shown.second == text; });
}

bool TOptionsDialog::ReadNumber(int page, int id, const char* label, int32_t low, int32_t high,
                                int32_t original, int32_t& out) {
  const std::string text = Text(id);
  if (Untouched(id, text)) {
    out = original;  // the stored value stays, whatever its range
    return true;
  }
  if (std::optional<int32_t> value = ParseNumber(text, low, high)) {
    out = *value;
    return true;
  }
  std::string shownName = label;
  while (!shownName.empty() && (shownName.back() == ':' || shownName.back() == ' ')) shownName.pop_back();
  char message[512];
  std::snprintf(message, sizeof message, t::kBadNumber, shownName.c_str(), static_cast<int>(low),
                static_cast<int>(high));
  Complain(message, page, id);
  return false;
}

bool TOptionsDialog::Collect(TOptionsValues& out) {
  const TOptionsValues& in = values_;
  out = in;
  out.Display.ShowDetail = Checked(ids::kShowDetail);
  out.Display.MinimizeToIcon = Checked(ids::kMinimizeToIcon);
  if (!ReadNumber(ids::kPageDisplay, ids::kRefreshSpeed, t::kRefreshSpeed, kMinRefresh, kMaxRefresh,
                  in.Display.RefreshSpeed, out.Display.RefreshSpeed) ||
      !ReadNumber(ids::kPageDisplay, ids::kPosX, t::kPosX, kMinPosition, kMaxPosition, in.Display.PosX,
                  out.Display.PosX) ||
      !ReadNumber(ids::kPageDisplay, ids::kPosY, t::kPosY, kMinPosition, kMaxPosition, in.Display.PosY,
                  out.Display.PosY))
    return false;

  out.Cleaning.EmptyRecycleBin = Checked(ids::kEmptyRecycleBin);
  out.Cleaning.EmptyTempFolder = Checked(ids::kEmptyTempFolder);
  out.Cleaning.RunPersonalSearch = Checked(ids::kRunPersonalSearch);
  out.Cleaning.SendToRecycleBin = Checked(ids::kSendToRecycleBin);
  out.Cleaning.ConfirmDelete = Checked(ids::kConfirmDelete);
  out.Cleaning.TestMode = Checked(ids::kTestMode);
  for (int value = 0; value < ids::kReadOnlyHiddenChoices; ++value)
    if (Checked(ids::kReadOnlyHidden0 + value)) out.Cleaning.ReadOnlyHiddenMode = value;
  if (!ReadNumber(ids::kPageCleaning, ids::kMinimumAgeDays, t::kMinimumAgeName, 0, kMaxMinimumAgeDays,
                  in.Cleaning.MinimumAgeDays, out.Cleaning.MinimumAgeDays) ||
      !CollectKeepList(out.Cleaning.KeepList))
    return false;

  out.Journal.Enabled = Checked(ids::kJournalEnabled);
  out.Journal.NewEachSearch = Checked(ids::kNewEachSearch);
  uint8_t events = static_cast<uint8_t>(in.Journal.Events & ~kShownEventBits);  // bits we do not show stay
  for (int bit = 0; bit < ids::kEventCount; ++bit)
    if (Checked(ids::kEventFirst + bit)) events = static_cast<uint8_t>(events | (1u << bit));
  out.Journal.Events = events;
  std::string location = Text(ids::kLocation);
  while (!location.empty() && location.back() == ' ') location.pop_back();
  if (location.empty()) {
    Complain(t::kEmptyLocation, ids::kPageJournal, ids::kLocation);
    return false;
  }
  out.Journal.Location = WithTrailingBackslash(location);

  out.Service.AutoStart = Checked(ids::kAutoStart);
  out.Service.CleaningType = SelectedCleaningType(in.Service.CleaningType);
  int32_t thresholdMiB = 0;
  if (!ReadNumber(ids::kPageService, ids::kEveryInterval, t::kEvery, 1, kMaxInterval, in.Service.EveryInterval,
                  out.Service.EveryInterval) ||
      !ReadNumber(ids::kPageService, ids::kFreeSpaceThreshold, t::kWhenLess, 0, kMaxThresholdMiB, -1,
                  thresholdMiB))
    return false;
  out.Service.FreeSpaceThreshold = thresholdMiB < 0 ? in.Service.FreeSpaceThreshold : thresholdMiB * kBytesPerMiB;

  out.PersonalSearch = search_.Bytes();
  return true;
}

bool TOptionsDialog::CollectKeepList(std::vector<std::string>& out) {
  const std::string text = Text(ids::kKeepList);
  if (Untouched(ids::kKeepList, text)) return true;  // the stored list stays as it came
  TKeepListReading read = ReadKeepList(text);
  if (read.Problem == TKeepEntryProblem::None) {
    out = std::move(read.Entries);
    return true;
  }
  char message[1024];
  std::snprintf(message, sizeof message, t::kKeepEntryRefused, Shortened(read.Refused).c_str(),
                KeepEntryProblemText(read.Problem));
  Complain(message, ids::kPageCleaning, ids::kKeepList);
  // The refused line selected, so that it can be corrected at once.
  HWND field = Item(ids::kKeepList);
  const auto start = SendMessageA(field, EM_LINEINDEX, static_cast<WPARAM>(read.RefusedLine), 0);
  const auto length = SendMessageA(field, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
  SendMessageA(field, EM_SETSEL, static_cast<WPARAM>(start), start + length);
  SendMessageA(field, EM_SCROLLCARET, 0, 0);
  return false;
}

bool TOptionsDialog::ConfirmDangerousMasks() {
  if (!search_.Changed()) return true;
  const std::vector<TDangerousMask> found = search_.FindDangerous(HoldsProtectedFolder);
  if (found.empty()) return true;
  std::string list;
  for (const TDangerousMask& danger : found) list += "    " + danger.Path + "  " + danger.Mask + "\n";
  ShowPage(ids::kPageSearch);
  const UINT style = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
  if (MessageBoxA(hwnd_, Format(t::kDangerFirst, list).c_str(), t::kDangerCaption, style) != IDYES) return false;
  return MessageBoxA(hwnd_, t::kDangerSecond, t::kDangerCaption, style) == IDYES;
}

// Asked on an OK that wants automatic cleaning while it is not allowed: a "no" keeps the
// settings as shown, with automatic cleaning off. Not wanting it any more withdraws consent.
// Nothing is asked for what an administrator forbids: the user's answer would change nothing.
void TOptionsDialog::AskAutomaticConsent(TOptionsValues& edited) {
  TServiceSettings& service = edited.Service;
  if (!WantsAutomaticCleaning(service.AutoStart, service.CleaningType)) {
    service.AutomaticConsent = false;
    return;
  }
  if (service.AutomaticConsent || edited.Policies.AutomaticCleaningForbidden) return;
  ShowPage(ids::kPageService);
  const UINT style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
  service.AutomaticConsent = MessageBoxA(hwnd_, ConsentQuestion(edited).c_str(), t::kConsentCaption, style) == IDYES;
}

void TOptionsDialog::OnOk() {
  TOptionsValues edited;
  if (!Collect(edited) || !ConfirmDangerousMasks()) return;
  KeepEnforced(values_, edited);
  AskAutomaticConsent(edited);
  values_ = std::move(edited);
  EndDialog(hwnd_, IDOK);
}

std::string TOptionsDialog::Text(int id) const {
  HWND control = Item(id);
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

bool TOptionsDialog::Checked(int id) const {
  return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}


}  // namespace pur::options
