// The core's texts in one place: the cleaning run's log lines and journal, the settings
// store's errors, and what the program and the agent answer when settings are unreadable.
// Windows-free, so that host tests and the drivers of the real program share them. Texts are
// UTF-8, the ANSI code page of the processes that use them.
#pragma once

namespace pur::coretexts {

// The stock animations of shell32 for the three steps.
inline constexpr int kAviEmptyRecycleBin = 163;
inline constexpr int kAviDeleteFile = 164;
inline constexpr int kAviFindFile = 151;

// The exit code of "/S" when settings could not all be read and nothing was cleaned; the
// agent's "/once" answers the same then.
inline constexpr int kExitSettingsUnreadable = 1;

// Log lines of the run and of an unattended run.
inline constexpr char kSettingsFailed[] = "Lecture des options échouée (%s).";
// An unattended run (/S, the agent) cleans nothing on values it had to guess.
inline constexpr char kAutoRunRefused[] =
    "Nettoyage automatique refusé : des options n'ont pas pu être lues.";
// The search library's own line for a search that the user stopped.
inline constexpr char kSearchStopped[] = "Erreur 1001: User abort";

inline constexpr char kStepRecycleBin[] = "Nettoyage de la corbeille ...";
inline constexpr char kStepTempFolder[] = "Nettoyage du dossier temporaire ...";
inline constexpr char kStepPersoSearch[] = "Nettoyage du disque dur ...";
inline constexpr char kRecycleBinDone[] = "La corbeille a été néttoyé.";
inline constexpr char kTempFolderDone[] = "Le dossier temporaire a été vidé.";
inline constexpr char kFileDeleted[] = " * %s : OK";
inline constexpr char kFileNotDeleted[] = " * %s : FAILED";

inline constexpr char kElapsedLine[] = "Temps mis pour la recherche        : %s";
inline constexpr char kTempGainLine[] = "Gain pour le dossier temporaire    : %s";
inline constexpr char kPersoGainLine[] = "Gain pour la recherche personnelle : %s";
inline constexpr char kTotalLine[] =
    "--------------------------------------------------\n                        Total      : %s";
inline constexpr char kJournalFileName[] = "PURGOWIN.LOG";

// Settings errors, followed by the value's name in quotes.
inline constexpr char kInvalidType[] = "Type de données incorrect pour ";
inline constexpr char kGetDataFailed[] = "Erreur à l'obtention des données pour ";
inline constexpr char kSetDataFailed[] = "Erreur à définition des données pour ";
// Followed by the key's path in quotes and the system's error code in brackets.
inline constexpr char kOpenKeyFailed[] = "Erreur à l'ouverture de la clé ";

}  // namespace pur::coretexts
