// The program's texts in one place: the main window's, the cleaning run's and the settings
// store's; the agent writes the same journal lines. Windows-free, so that host tests and the
// drivers of the real program share them. Texts are UTF-8, the program's ANSI code page.
#pragma once

namespace pur::mainform {

// Captions.
inline constexpr char kCaption[] = "Purgo for Windows";
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
inline constexpr char kSettingsFailed[] = "Lecture des options échouée (%s).";
// An unattended run (/S, the agent) cleans nothing on values it had to guess.
inline constexpr char kAutoRunRefused[] =
    "Nettoyage automatique refusé : des options n'ont pas pu être lues.";
inline constexpr char kNotLoaded[] =
    "Démarrage impossible : le module de recherche n'est pas chargé.";

inline constexpr char kFirstStartTitle[] = "Avertissement";
inline constexpr char kFirstStartText[] =
    "Afin de pouvoir effectuer un premier démarrage, il vous faut vérifier les options.";
inline constexpr char kUserAbort[] = "Interruption utilisateur";
// The search library's own line for a search that the user stopped.
inline constexpr char kSearchStopped[] = "Erreur 1001: User abort";

inline constexpr char kStepRecycleBin[] = "Nettoyage de la corbeille ...";
inline constexpr char kStepTempFolder[] = "Nettoyage du dossier temporaire ...";
inline constexpr char kStepPersoSearch[] = "Nettoyage du disque dur ...";
inline constexpr char kRecycleBinDone[] = "La corbeille a été néttoyé.";
inline constexpr char kTempFolderDone[] = "Le dossier temporaire a été vidé.";
// The user's limits: their refusal, and what they left in each step.
inline constexpr char kRulesRefused[] =
    "Nettoyage refusé : l'âge minimum et la liste \"Toujours garder\" n'ont pas pu être appliqués.";
inline constexpr char kLeftInTempFolder[] = "Dossier temporaire";
inline constexpr char kLeftBySearch[] = "Recherche personnelle";
inline constexpr char kLeftTooRecent[] = " fichier(s) laissé(s) car trop récent(s), ";
inline constexpr char kLeftKept[] = " gardé(s) par la liste \"Toujours garder\".";
inline constexpr char kFileDeleted[] = " * %s : OK";
inline constexpr char kFileNotDeleted[] = " * %s : FAILED";

inline constexpr char kElapsedLine[] = "Temps mis pour la recherche        : %s";
inline constexpr char kTempGainLine[] = "Gain pour le dossier temporaire    : %s";
inline constexpr char kPersoGainLine[] = "Gain pour la recherche personnelle : %s";
inline constexpr char kTotalLine[] =
    "--------------------------------------------------\n                        Total      : %s";
inline constexpr char kJournalFileName[] = "PURGOWIN.LOG";

// Shown when the program cannot start at all.
inline constexpr char kNoMainWindow[] = "Impossible de créer la fenêtre principale.";

// Settings errors, followed by the value's name in quotes.
inline constexpr char kInvalidType[] = "Type de données incorrect pour ";
inline constexpr char kGetDataFailed[] = "Erreur à l'obtention des données pour ";
inline constexpr char kSetDataFailed[] = "Erreur à définition des données pour ";
inline constexpr char kValueOutOfRange[] = "Valeur incorrecte pour ";
inline constexpr char kKeepEntryRefused[] = "Entrée incorrecte dans 'Toujours garder' : ";
// Put before the error of a value read from the administrators' policies.
inline constexpr char kPolicyErrorPrefix[] = "Stratégie de l'administrateur : ";
inline constexpr char kOptionsForbidden[] = "Les options sont définies par votre administrateur.";
inline constexpr char kEnforcedByPolicy[] = "Défini par votre administrateur : ";
// Followed by the key's path in quotes and the system's error code in brackets.
inline constexpr char kOpenKeyFailed[] = "Erreur à l'ouverture de la clé ";

// The stock animations of shell32 for the three steps.
inline constexpr int kAviEmptyRecycleBin = 163;
inline constexpr int kAviDeleteFile = 164;
inline constexpr int kAviFindFile = 151;

// The exit code of "/S" when settings could not all be read and nothing was cleaned; the
// agent's "/once" answers the same then.
inline constexpr int kExitSettingsUnreadable = 1;

}  // namespace pur::mainform
