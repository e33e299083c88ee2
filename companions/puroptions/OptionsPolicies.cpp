// Settings fixed by administrators' policies: their controls greyed, each with a tip that
// says why, whatever page is shown.
#include "OptionsDialog.h"

#include <algorithm>

#include "OptionsTexts.h"

namespace pur::options {

namespace {

// What the agent would do by itself; "start automatically" stays the user's.
constexpr int kAutomaticControls[] = {ids::kCleaningTypeLabel, ids::kCleaningType,   ids::kEveryLabel,
                                      ids::kEveryInterval,      ids::kMinutesLabel,   ids::kWhenLessLabel,
                                      ids::kFreeSpaceThreshold, ids::kMiBLabel};

}  // namespace

void TOptionsDialog::ListLockedControls() {
  const TOptionsPolicies& policies = values_.Policies;
  for (const TShownSetting& setting : ShownSettings())
    if (policies.Holds(setting.Section, setting.Name))
      locked_.insert(locked_.end(), setting.Controls.begin(), setting.Controls.end());
  if (policies.AutomaticCleaningForbidden)
    locked_.insert(locked_.end(), std::begin(kAutomaticControls), std::end(kAutomaticControls));
}

bool TOptionsDialog::Locked(int id) const { return std::find(locked_.begin(), locked_.end(), id) != locked_.end(); }

// A disabled control gets no mouse messages (they go to the box): the tips are areas of the
// box, one per control, placed on the shown page only.
void TOptionsDialog::LockControls() {
  if (locked_.empty()) return;
  tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0,
                          hwnd_, nullptr, module_, nullptr);
  for (int id : locked_) {
    EnableWindow(Item(id), FALSE);
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // understood by every version of the common controls
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = static_cast<UINT_PTR>(id);
    tool.lpszText = const_cast<char*>(texts::kEnforced);
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TOptionsDialog::PlaceTips(int page) {
  if (!tips_) return;
  const auto& shown = pages_[static_cast<size_t>(page)];
  for (int id : locked_) {
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = hwnd_;
    tool.uId = static_cast<UINT_PTR>(id);
    HWND control = Item(id);
    if (std::find(shown.begin(), shown.end(), control) != shown.end()) {
      GetWindowRect(control, &tool.rect);
      MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&tool.rect), 2);
    }
    SendMessageA(tips_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace pur::options
