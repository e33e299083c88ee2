// Every text the options box shows, in UTF-8: the program's ANSI code page.
#pragma once

namespace pur::options::texts {

inline constexpr char kCaption[] = "Options";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "Annuler";
inline constexpr const char* kPages[] = {"Affichage", "Nettoyage", "Journal",
                                         "Recherche personnelle", "Service"};

// "Affichage"
inline constexpr char kShowDetail[] = "Afficher le détail des opérations";
inline constexpr char kMinimizeToIcon[] = "Réduire en icône pendant un nettoyage";
inline constexpr char kRefreshSpeed[] = "Vitesse de rafraîchissement (ms) :";
inline constexpr char kPositionGroup[] = "Position de la fenêtre principale";
inline constexpr char kPosX[] = "X :";
inline constexpr char kPosY[] = "Y :";
inline constexpr char kPositionNote[] = "-1 : fenêtre centrée à l'écran";

// "Nettoyage"
inline constexpr char kRunGroup[] = "Un nettoyage comprend";
inline constexpr char kEmptyRecycleBin[] = "Vider la corbeille";
inline constexpr char kEmptyTempFolder[] = "Vider le dossier temporaire";
inline constexpr char kRunPersonalSearch[] = "Lancer la recherche personnelle";
inline constexpr char kFoundGroup[] = "Fichiers trouvés";
inline constexpr char kSendToRecycleBin[] = "Envoyer les éléments dans la corbeille";
inline constexpr char kConfirmDelete[] = "Confirmer la suppression (liste des fichiers trouvés)";
inline constexpr char kTestMode[] = "Mode test : signaler les fichiers sans rien supprimer";
inline constexpr char kReadOnlyHiddenGroup[] = "Fichiers en lecture seule ou cachés";
inline constexpr const char* kReadOnlyHiddenChoices[] = {
    "0 - Les supprimer comme les autres fichiers",
    "1 - Les laisser en place",
    "2 - Les laisser en place (réglage d'origine)"};
inline constexpr char kReadOnlyHiddenNote[] =
    "Seul 0 permet de supprimer ces fichiers ; 1 et 2 ont le même effet.";
inline constexpr char kLimitsGroup[] = "Limites de suppression";
inline constexpr char kMinimumAge[] = "Seulement les fichiers de plus de";
inline constexpr char kDays[] = "jours";
inline constexpr char kMinimumAgeNote[] = "(0 : tous les âges)";
inline constexpr char kMinimumAgeName[] = "Âge minimum (jours)";  // names the field in a refusal
inline constexpr char kKeepList[] = "Toujours garder (un élément par ligne) :";
inline constexpr char kKeepListNote[] =
    "Un dossier (C:\\Projets\\), un masque (*.docx) ou les deux (C:\\Projets\\*.tmp).";

// "Journal"
inline constexpr char kJournalEnabled[] = "Activer la journalisation";
inline constexpr char kNewEachSearch[] = "Nouveau journal à chaque recherche";
inline constexpr char kEventsGroup[] = "Événements enregistrés";
inline constexpr const char* kEvents[] = {"Durée de la recherche",
                                          "Gains (dossier temporaire, recherche, total)",
                                          "Messages et réussites", "Avertissements", "Erreurs"};
inline constexpr char kLocation[] = "Emplacement du journal :";
inline constexpr char kBrowse[] = "Parcourir...";
inline constexpr char kLocationNote[] = "Le fichier PURGOWIN.LOG est écrit dans ce dossier.";
inline constexpr char kPickJournalFolder[] = "Choisissez le dossier du journal.";

// "Recherche personnelle"
inline constexpr char kPlaces[] = "Lieux de recherche :";
inline constexpr char kAddDrive[] = "Ajouter le lecteur";
inline constexpr char kAddFolder[] = "Ajouter un dossier...";
inline constexpr char kRemoveNode[] = "Supprimer le lieu";
inline constexpr char kMasks[] = "Masques du lieu sélectionné :";
inline constexpr char kMaskText[] = "Masque :";
inline constexpr char kRecursive[] = "Récursif";
inline constexpr char kAddMask[] = "Ajouter";
inline constexpr char kEditMask[] = "Modifier";
inline constexpr char kRemoveMask[] = "Supprimer";
inline constexpr char kDefinition[] = "Définition complète :";
inline constexpr char kPickSearchFolder[] = "Choisissez un dossier à ajouter à la recherche.";

// "Service"
inline constexpr char kAutoStart[] = "Démarrer le service automatiquement";
inline constexpr char kCleaningType[] = "Type de nettoyage :";
inline constexpr const char* kCleaningTypes[] = {"0 - Aucun nettoyage automatique",
                                                 "1 - Nettoyage périodique",
                                                 "2 - Nettoyage quand l'espace libre manque"};
inline constexpr char kOtherCleaningType[] = "%d - Valeur actuelle";
inline constexpr char kEvery[] = "Tous les";
inline constexpr char kMinutes[] = "minutes";
inline constexpr char kWhenLess[] = "Quand moins de";
inline constexpr char kMiB[] = "Mo d'espace libre";
inline constexpr char kServiceNote[] =
    "Le nettoyage automatique (icône près de l'horloge) vide la corbeille et le dossier temporaire "
    "et lance la recherche personnelle selon ces réglages ; les fichiers à confirmer ne sont "
    "jamais supprimés sans vous.";
// The state line under the note, kept up to date as the page is edited.
inline constexpr char kAutomaticOn[] = "Nettoyage automatique : activé (vous l'avez autorisé).";
inline constexpr char kAutomaticOff[] =
    "Nettoyage automatique : désactivé — rien n'est supprimé sans votre demande.";
inline constexpr char kAutomaticAsked[] =
    "Nettoyage automatique : désactivé — OK vous demandera votre accord pour l'activer.";
inline constexpr char kAutomaticForbidden[] = "Nettoyage automatique : interdit par votre administrateur.";

// Settings that administrators' policies fix: the tip of each greyed control, and the line
// beside the buttons.
inline constexpr char kEnforced[] = "Défini par votre administrateur";
inline constexpr char kEnforcedNote[] = "Les réglages grisés sont définis par votre administrateur.";

// The one question asked before automatic cleaning is turned on.
inline constexpr char kConsentCaption[] = "Nettoyage automatique";
inline constexpr char kConsentIntro[] =
    "Avec le nettoyage automatique, Purgo supprimera sans vous demander :\n";
inline constexpr char kConsentRecycleBin[] = "    - tout le contenu de la corbeille ;\n";
inline constexpr char kConsentTempFolder[] = "    - tout le contenu du dossier temporaire ;\n";
inline constexpr char kConsentPersonalSearch[] = "    - les fichiers trouvés par la recherche personnelle ;\n";
inline constexpr char kConsentNothingChosen[] =
    "    - rien pour l'instant : aucun élément n'est coché dans la page Nettoyage ;\n";
inline constexpr char kConsentSearchConfirmed[] =
    "\nLes fichiers trouvés par la recherche personnelle attendront votre confirmation.\n";
inline constexpr char kConsentEveryMinute[] = "\nCe nettoyage aura lieu chaque minute.\n";
inline constexpr char kConsentEvery[] = "\nCe nettoyage aura lieu toutes les %d minutes.\n";
inline constexpr char kConsentLowSpaceEveryMinute[] =
    "\nCe nettoyage aura lieu quand un lecteur aura moins de %d Mo d'espace libre, au plus une "
    "fois par minute.\n";
inline constexpr char kConsentLowSpace[] =
    "\nCe nettoyage aura lieu quand un lecteur aura moins de %d Mo d'espace libre, au plus une "
    "fois toutes les %d minutes.\n";
inline constexpr char kConsentAsk[] =
    "\nAutorisez-vous ce nettoyage automatique ?\n\n"
    "Non : les réglages sont enregistrés, mais rien n'est supprimé sans votre demande. Pour ne "
    "plus voir cette question, choisissez le type de nettoyage 0.";

// Messages
inline constexpr char kBadNumber[] = "La valeur « %s » doit être un nombre entier entre %d et %d.";
inline constexpr char kEmptyLocation[] = "Indiquez le dossier du journal.";
inline constexpr char kMaskEmpty[] = "Le masque est vide.";
inline constexpr char kMaskTooLong[] = "Le masque dépasse 255 caractères.";
inline constexpr char kMaskBadCharacter[] =
    "Le masque contient un caractère interdit (: \" < > |, ou un joker dans son chemin).";
inline constexpr char kMaskLeavesFolder[] =
    "Le masque ne peut pas sortir du lieu (\\ au début, « .. » ou « . »).";
inline constexpr char kMaskDuplicate[] = "Ce masque existe déjà pour ce lieu.";
inline constexpr char kChooseMask[] = "Choisissez d'abord un masque dans la liste.";
inline constexpr char kChoosePlace[] = "Choisissez d'abord un lecteur ou un dossier dans l'arborescence.";
inline constexpr char kBadFolder[] =
    "Seuls les dossiers d'un lecteur (par exemple C:\\Données) peuvent être ajoutés.";
inline constexpr char kDangerCaption[] = "Attention";
inline constexpr char kDangerFirst[] =
    "Ces masques récursifs désignent TOUS les fichiers du lieu et de tous ses "
    "sous-dossiers :\n\n%s\nCes lieux contiennent Windows, des programmes ou des profils "
    "d'utilisateurs.\n\nVoulez-vous vraiment enregistrer cette recherche ?";
inline constexpr char kDangerSecond[] =
    "Dernière confirmation : tous les fichiers de ces lieux seront proposés à la "
    "suppression à chaque nettoyage.\n\nEnregistrer quand même ?";
// No-break spaces inside the quotes: a line never ends on an opening one.
inline constexpr char kKeepEntryRefused[] =
    "L'élément «\u00a0%s\u00a0» de la liste «\u00a0Toujours garder\u00a0» est refusé.\n\n%s";
inline constexpr char kKeepEntryTooLong[] = "Il est trop long.";
inline constexpr char kKeepEntryBadCharacter[] =
    "Il contient un caractère interdit (\" < > | ou un caractère de contrôle), un « : » ailleurs "
    "qu'après la lettre du lecteur, ou un joker dans le nom du serveur.";
inline constexpr char kKeepEntryEmptyPart[] =
    "Un dossier de son chemin n'a pas de nom (deux \\ de suite, un lecteur seul comme « C: » ou un "
    "partage réseau incomplet).";
inline constexpr char kKeepEntryLeavesFolder[] = "Les dossiers « . » et « .. » n'y sont pas permis.";
inline constexpr char kKeepEntryTrimmedName[] =
    "Un nom de dossier ne peut pas finir par un point ou une espace : Windows le lirait autrement.";
inline constexpr char kLoadFailed[] = "Impossible de lire les options :\n%s";
inline constexpr char kSaveFailed[] = "Impossible d'enregistrer les options :\n%s";

}  // namespace pur::options::texts
