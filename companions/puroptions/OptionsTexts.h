// Every text the options box shows (CP1252 at run time; accents written as escapes, split
// where the next letter would continue the escape).
#pragma once

namespace pur::options::texts {

inline constexpr char kCaption[] = "Options";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "Annuler";
inline constexpr const char* kPages[] = {"Affichage", "Nettoyage", "Journal",
                                         "Recherche personnelle", "Service"};

// "Affichage"
inline constexpr char kShowDetail[] = "Afficher le d\xE9tail des op\xE9rations";
inline constexpr char kMinimizeToIcon[] = "R\xE9" "duire en ic\xF4ne pendant un nettoyage";
inline constexpr char kRefreshSpeed[] = "Vitesse de rafra\xEE" "chissement (ms) :";
inline constexpr char kPositionGroup[] = "Position de la fen\xEAtre principale";
inline constexpr char kPosX[] = "X :";
inline constexpr char kPosY[] = "Y :";
inline constexpr char kPositionNote[] = "-1 : fen\xEAtre centr\xE9" "e \xE0 l'\xE9" "cran";

// "Nettoyage"
inline constexpr char kRunGroup[] = "Un nettoyage comprend";
inline constexpr char kEmptyRecycleBin[] = "Vider la corbeille";
inline constexpr char kEmptyTempFolder[] = "Vider le dossier temporaire";
inline constexpr char kRunPersonalSearch[] = "Lancer la recherche personnelle";
inline constexpr char kFoundGroup[] = "Fichiers trouv\xE9s";
inline constexpr char kSendToRecycleBin[] = "Envoyer les \xE9l\xE9ments dans la corbeille";
inline constexpr char kConfirmDelete[] = "Confirmer la suppression (liste des fichiers trouv\xE9s)";
inline constexpr char kTestMode[] = "Mode test : signaler les fichiers sans rien supprimer";
inline constexpr char kReadOnlyHiddenGroup[] = "Fichiers en lecture seule ou cach\xE9s";
inline constexpr const char* kReadOnlyHiddenChoices[] = {
    "0 - Les supprimer comme les autres fichiers",
    "1 - Les laisser en place",
    "2 - Les laisser en place (r\xE9glage d'origine)"};
inline constexpr char kReadOnlyHiddenNote[] =
    "Seul 0 permet de supprimer ces fichiers ; 1 et 2 ont le m\xEAme effet.";

// "Journal"
inline constexpr char kJournalEnabled[] = "Activer la journalisation";
inline constexpr char kNewEachSearch[] = "Nouveau journal \xE0 chaque recherche";
inline constexpr char kEventsGroup[] = "\xC9v\xE9nements enregistr\xE9s";
inline constexpr const char* kEvents[] = {"Dur\xE9" "e de la recherche",
                                          "Gains (dossier temporaire, recherche, total)",
                                          "Messages et r\xE9ussites", "Avertissements", "Erreurs"};
inline constexpr char kLocation[] = "Emplacement du journal :";
inline constexpr char kBrowse[] = "Parcourir...";
inline constexpr char kLocationNote[] = "Le fichier PURGOWIN.LOG est \xE9" "crit dans ce dossier.";
inline constexpr char kPickJournalFolder[] = "Choisissez le dossier du journal.";

// "Recherche personnelle"
inline constexpr char kPlaces[] = "Lieux de recherche :";
inline constexpr char kAddDrive[] = "Ajouter le lecteur";
inline constexpr char kAddFolder[] = "Ajouter un dossier...";
inline constexpr char kRemoveNode[] = "Supprimer le lieu";
inline constexpr char kMasks[] = "Masques du lieu s\xE9lectionn\xE9 :";
inline constexpr char kMaskText[] = "Masque :";
inline constexpr char kRecursive[] = "R\xE9" "cursif";
inline constexpr char kAddMask[] = "Ajouter";
inline constexpr char kEditMask[] = "Modifier";
inline constexpr char kRemoveMask[] = "Supprimer";
inline constexpr char kDefinition[] = "D\xE9" "finition compl\xE8te :";
inline constexpr char kPickSearchFolder[] = "Choisissez un dossier \xE0 ajouter \xE0 la recherche.";

// "Service"
inline constexpr char kAutoStart[] = "D\xE9marrer le service automatiquement";
inline constexpr char kCleaningType[] = "Type de nettoyage :";
inline constexpr const char* kCleaningTypes[] = {"0 - Aucun nettoyage automatique",
                                                 "1 - Nettoyage p\xE9riodique",
                                                 "2 - Nettoyage quand l'espace libre manque"};
inline constexpr char kOtherCleaningType[] = "%d - Valeur actuelle";
inline constexpr char kEvery[] = "Tous les";
inline constexpr char kMinutes[] = "minutes";
inline constexpr char kWhenLess[] = "Quand moins de";
inline constexpr char kMiB[] = "Mo d'espace libre";
inline constexpr char kServiceNote[] = "Ces r\xE9glages sont lus par le service de nettoyage automatique.";

// Messages
inline constexpr char kBadNumber[] = "La valeur \xAB %s \xBB doit \xEAtre un nombre entier entre %d et %d.";
inline constexpr char kEmptyLocation[] = "Indiquez le dossier du journal.";
inline constexpr char kMaskEmpty[] = "Le masque est vide.";
inline constexpr char kMaskTooLong[] = "Le masque d\xE9passe 255 caract\xE8res.";
inline constexpr char kMaskBadCharacter[] =
    "Le masque contient un caract\xE8re interdit (: \" < > |, ou un joker dans son chemin).";
inline constexpr char kMaskLeavesFolder[] =
    "Le masque ne peut pas sortir du lieu (\\ au d\xE9" "but, \xAB .. \xBB ou \xAB . \xBB).";
inline constexpr char kMaskDuplicate[] = "Ce masque existe d\xE9j\xE0 pour ce lieu.";
inline constexpr char kChooseMask[] = "Choisissez d'abord un masque dans la liste.";
inline constexpr char kChoosePlace[] = "Choisissez d'abord un lecteur ou un dossier dans l'arborescence.";
inline constexpr char kBadFolder[] =
    "Seuls les dossiers d'un lecteur (par exemple C:\\Donn\xE9" "es) peuvent \xEAtre ajout\xE9s.";
inline constexpr char kDangerCaption[] = "Attention";
inline constexpr char kDangerFirst[] =
    "Ces masques r\xE9" "cursifs d\xE9signent TOUS les fichiers du lieu et de tous ses "
    "sous-dossiers :\n\n%s\nCes lieux contiennent Windows, des programmes ou des profils "
    "d'utilisateurs.\n\nVoulez-vous vraiment enregistrer cette recherche ?";
inline constexpr char kDangerSecond[] =
    "Derni\xE8re confirmation : tous les fichiers de ces lieux seront propos\xE9s \xE0 la "
    "suppression \xE0 chaque nettoyage.\n\nEnregistrer quand m\xEAme ?";
inline constexpr char kLoadFailed[] = "Impossible de lire les options :\n%s";
inline constexpr char kSaveFailed[] = "Impossible d'enregistrer les options :\n%s";

}  // namespace pur::options::texts
