// The library's French texts (errors handed to the caller, journal texts), in one place. UTF-8,
// the program's ANSI code page; CallerText turns each into the caller's code page before a
// name is put into it. The tree's own texts are in the string table SearchStrings.rc.
#pragma once

namespace pur::texts {

// Why the temporary folder was not emptied: the prefix, then the folder and one reason.
inline constexpr char kRefusedPrefix[] = "Nettoyage du dossier temporaire refusé : ";
inline constexpr char kNoTempFolder[] = "le système n'indique aucun dossier temporaire";
inline constexpr char kNotAbsolute[] = " n'est pas un chemin absolu";
inline constexpr char kNotADirectory[] = " n'existe pas ou n'est pas un dossier";
inline constexpr char kDriveRoot[] = " est la racine d'un lecteur";
inline constexpr char kNotExact[] = " n'est pas un chemin exact (point ou blanc final, nom de périphérique)";
inline constexpr char kHoldsLink[] =
    " contient un lien ou un nom que Windows modifierait (point ou blanc final, nom de périphérique)";
inline constexpr char kReparsePoint[] = " est un lien (point d'analyse)";
inline constexpr char kProtected[] = " est un dossier du système ou en contient un";
inline constexpr char kTooDeep[] =
    " contient des chemins trop longs pour le système, qui n'ont pas pu être supprimés";

// Folders the personal search left out, followed by their path (list 3). Plain ASCII: they
// reach a caller of any code page as they are.
inline constexpr char kFolderNotEntered[] = "Dossier non parcouru (lien, absent ou nom inexact) : ";
inline constexpr char kTooDeepToWalk[] = "Sous-dossiers trop profonds, non parcourus : ";

// The journal or another file could not be created (%s: its path).
inline constexpr char kCannotCreate[] = "Impossible de créer le fichier %s";

}  // namespace pur::texts
