// Control identifiers, layout, timers and line colours of the main window. Windows-free, so
// that the tests that drive the real program by messages can share the identifiers. Its
// texts are with the program's others in core/uUserMainPrgm_Texts.h.
#pragma once

#include <cstdint>

namespace pur::mainform {

// The window class, which other processes look the window up by.
inline constexpr char kClassName[] = "TUserMainForm";

// Control identifiers (GetDlgItem finds them from another process too).
inline constexpr int kIdButtonStartStop = 1001;
inline constexpr int kIdButtonOptions = 1002;
inline constexpr int kIdRestartButton = 1003;
inline constexpr int kIdButtonQuit = 1004;
inline constexpr int kIdButtonUpdate = 1005;
inline constexpr int kIdButtonAbout = 1006;
inline constexpr int kIdViewAnimate = 1007;
inline constexpr int kIdImageIcon = 1008;
inline constexpr int kIdLabelInfo = 1009;
inline constexpr int kIdLedReady = 1010;
inline constexpr int kIdLedOther = 1011;
inline constexpr int kIdLedWork = 1012;
inline constexpr int kIdProgressBar = 1013;
inline constexpr int kIdMemoInfo = 1014;
inline constexpr int kIdBevel = 1015;

// Layout: the top panel's height is the unit of the window's client height.
inline constexpr int kClientWidth = 567;
inline constexpr int kPanelHeight = 137;
inline constexpr int kButtonWidth = 97;
inline constexpr int kButtonHeight = 25;
inline constexpr int kLedWidth = 20;
inline constexpr int kLedHeight = 10;
inline constexpr int kHalfTurnAngle = 1800;
inline constexpr int kProgressSteps = 1000;
inline constexpr int kProgressInitialMax = 100;

inline constexpr unsigned kTimerLedYellow = 1;
inline constexpr unsigned kTimerStart = 2;
inline constexpr unsigned kLedYellowInterval = 500;
inline constexpr unsigned kStartInterval = 1000;

// Colours of the four line kinds, as COLORREF values (0x00BBGGRR).
inline constexpr uint32_t kLogSilver = 0x00C0C0C0;
inline constexpr uint32_t kLogLime = 0x0000FF00;
inline constexpr uint32_t kLogYellow = 0x0000FFFF;
inline constexpr uint32_t kLogRed = 0x000000FF;
inline constexpr uint32_t kLogBlack = 0x00000000;

}  // namespace pur::mainform
