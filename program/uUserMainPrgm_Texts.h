// Texts, control identifiers and layout of the main window, and the program's other texts, in
// one place; the run's lines, which the agent writes too, are the core's (CoreTexts.h).
// Windows-free, so that the tests that drive the real program by messages can share the
// identifiers. Texts are UTF-8, the program's ANSI code page.
#pragma once

#include <cstdint>

namespace pur::mainform {

inline constexpr char kClassName[] = "TUserMainForm";
inline constexpr char kCaption[] = "Purgo for Windows";

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

// Captions.
inline constexpr char kStartCaption[] = "&Démarrer";
inline constexpr char kStopCaption[] = "&Stop";
inline constexpr char kOptionsCaption[] = "&Options ...";
inline constexpr char kRestartCaption[] = "&Redémarrer";
inline constexpr char kQuitCaption[] = "&Quitter";
inline constexpr char kUpdateCaption[] = "Mise à jour";
inline constexpr char kAboutCaption[] = "&A propos de ...";

// Log lines and labels.
inline constexpr char kWaiting[] = "En attente ...";
inline constexpr char kInitStart[] = "Initialisation du module de recherche ...";
inline constexpr char kInitDone[] = "Initialisation réussie (Chargement n°%d).";
inline constexpr char kInitFailed[] = "Initialisation échouée (%s).";
inline constexpr char kFreeStart[] = "Finalisation du module de recherche ...";
inline constexpr char kFreeDone[] = "Finalisation réussie.";
inline constexpr char kFreeFailed[] = "Finalisation échouée (%s).";
inline constexpr char kUnlocked[] = "Module déverrouillé.";
inline constexpr char kLockedBy[] = "Module verrouillé par %s.";
inline constexpr char kNotLoaded[] =
    "Démarrage impossible : le module de recherche n'est pas chargé.";

inline constexpr char kFirstStartTitle[] = "Avertissement";
inline constexpr char kFirstStartText[] =
    "Afin de pouvoir effectuer un premier démarrage, il vous faut vérifier les options.";
inline constexpr char kUserAbort[] = "Interruption utilisateur";

// Shown when the program cannot start at all.
inline constexpr char kNoMainWindow[] = "Impossible de créer la fenêtre principale.";

// Colours of the four line kinds, as COLORREF values (0x00BBGGRR).
inline constexpr uint32_t kLogSilver = 0x00C0C0C0;
inline constexpr uint32_t kLogLime = 0x0000FF00;
inline constexpr uint32_t kLogYellow = 0x0000FFFF;
inline constexpr uint32_t kLogRed = 0x000000FF;
inline constexpr uint32_t kLogBlack = 0x00000000;

}  // namespace pur::mainform
