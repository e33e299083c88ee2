// Every text of the cleaning agent, in UTF-8 (the agent's ANSI code page).
#pragma once

namespace pur::agent::texts {

inline constexpr char kCaption[] = "Purgo for Windows";
inline constexpr char kTip[] = "Purgo for Windows : nettoyage automatique";
inline constexpr char kTipPaused[] = "Purgo for Windows : nettoyage automatique suspendu";
inline constexpr char kTipCleaning[] = "Purgo for Windows : nettoyage en cours ...";

// The icon's menu, top to bottom; an entry without text is a separator.
enum TMenuCommand : int { kSeparator = 0, kCmdCleanNow = 101, kCmdOpen, kCmdPause, kCmdQuit };
struct TMenuEntry {
  TMenuCommand Command;
  const char* Text;
};
inline constexpr TMenuEntry kMenu[] = {
    {kCmdCleanNow, "Nettoyer maintenant"},
    {kCmdOpen, "Ouvrir Purgo"},
    {kCmdPause, "Suspendre"},
    {kSeparator, nullptr},
    {kCmdQuit, "Quitter"},
};
// In place of "Suspendre" while the agent is paused.
inline constexpr char kMenuResume[] = "Reprendre";

// Notices.
inline constexpr char kCleaned[] = "Nettoyage automatique terminé : %s libérés.";
inline constexpr char kWaitingOne[] = "1 fichier attend votre confirmation";
inline constexpr char kWaitingMany[] = "%d fichiers attendent votre confirmation";
inline constexpr char kLockedNotice[] = "Nettoyage reporté : module verrouillé par %s.";
inline constexpr char kAlreadyRunning[] = "Le nettoyage automatique est déjà en marche.";
inline constexpr char kCannotClean[] = "Nettoyage automatique impossible (%s).";
inline constexpr char kFirstStart[] =
    "Nettoyage automatique impossible : vérifiez d'abord les options dans Purgo for Windows.";
inline constexpr char kAlreadyCleaning[] = "un nettoyage est déjà en cours";
inline constexpr char kOpenFailed[] = "Impossible de démarrer %s.";
// An agent started with administrator rights (by a setup, or "Exécuter en tant
// qu'administrateur") ends at once: it would clean with rights the user's session lacks.
inline constexpr char kElevatedNotice[] =
    "Nettoyage automatique arrêté : il a été démarré avec les droits d'administrateur. Il ne "
    "fonctionne qu'avec vos droits ordinaires et reprendra à l'ouverture de votre session.";

// Journal lines.
inline constexpr char kJournalStart[] = "Nettoyage automatique par %s.";
inline constexpr char kJournalLocked[] =
    "Nettoyage automatique reporté : module verrouillé par %s. Nouvel essai au prochain contrôle.";
inline constexpr char kJournalElevated[] =
    "Nettoyage automatique refusé : PURGOSRV.exe a été démarré avec les droits d'administrateur.";

}  // namespace pur::agent::texts
