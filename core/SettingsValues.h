// Typed values of the settings store and the records of its sections, with their
// registry names and defaults. Windows-free: the registry itself is in PURGORegistry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pur {

enum class TValueKind {
  Boolean,
  Integer8,
  Integer16,
  Integer32,
  Single,
  Double,
  Currency,
  DateTime,
  String,
};

// A value tagged with its kind, as WriteValue and ReadValue exchange them.
// Booleans and integers live in Integer, currency as its scaled integer (1/10000) in Integer,
// floats and date-times in Float, strings in Text.
struct TTaggedValue {
  TValueKind Kind = TValueKind::Integer32;
  int64_t Integer = 0;
  double Float = 0.0;
  std::string Text;

  static TTaggedValue Boolean(bool value);
  static TTaggedValue Integer8(uint8_t value);
  static TTaggedValue Integer16(int16_t value);
  static TTaggedValue Integer32(int32_t value);
  static TTaggedValue Single(float value);
  static TTaggedValue Double(double value);
  static TTaggedValue Currency(int64_t scaled);
  static TTaggedValue DateTime(double value);
  static TTaggedValue String(std::string_view value);

  bool IsNumber() const { return Kind != TValueKind::String; }
  bool IsFloat() const;
  // Numeric value of a number of any kind.
  double AsNumber() const;
};

// Numbers by value, strings by their text; a number never equals a string.
bool SameValue(const TTaggedValue& a, const TTaggedValue& b);

// Cuts an integer read from a 32-bit registry value to the width of the default's kind.
int64_t FitInteger(TValueKind kind, int32_t stored);

// Value names and key names, exact since the options dialog shares them. UTF-8: the registry
// holds names in UTF-16, so names written by the earlier 1252 program read back the same.
namespace names {
inline constexpr char kVersion[] = "Version";
inline constexpr char kFirstStart[] = "Premier demarrage";
inline constexpr char kDebugVersion[] = "Debug Version";
inline constexpr char kApplication[] = "Application";
inline constexpr char kService[] = "Service";

inline constexpr char kDisplayKey[] = "Affichage";
inline constexpr char kCleaningKey[] = "Nettoyage";
inline constexpr char kJournalKey[] = "Journal";
inline constexpr char kServiceKey[] = "Service";
inline constexpr char kPersonalKey[] = "Personnel";

inline constexpr char kShowDetail[] = "Afficher le detail";
inline constexpr char kMinimizeToIcon[] = "Mettre en icone";
inline constexpr char kRefreshSpeed[] = "Vitesse de rafraichissement";
inline constexpr char kPosX[] = "Position en X";
inline constexpr char kPosY[] = "Position en Y";

inline constexpr char kEmptyRecycleBin[] = "Vider la corbeille";
inline constexpr char kEmptyTempFolder[] = "Vider le dossier temporaire";
inline constexpr char kRunPersonalSearch[] = "Recherche personnelle";
inline constexpr char kSendToRecycleBin[] = "Envoyer les elements dans la corbeille";
inline constexpr char kConfirmDelete[] = "Confirmer la suppression";
inline constexpr char kTestMode[] = "Tester";
inline constexpr char kReadOnlyHiddenMode[] = "Confirmer la suppression des fichiers RO et H";
// The user's limits on every deleting step: files younger than this many days stay (0: no
// limit), and what the keep list names is never deleted.
inline constexpr char kMinimumAgeDays[] = "Age minimum en jours";
inline constexpr char kKeepList[] = "Toujours garder";

inline constexpr char kJournalEnabled[] = "Activer la journalisation";
inline constexpr char kNewEachSearch[] = "Nouveau journal à chaque recherche";
inline constexpr char kEvents[] = "Evenements";
inline constexpr char kLocation[] = "Emplacement du journal";

inline constexpr char kAutoStart[] = "Demarrer le service automatiquement";
inline constexpr char kCleaningType[] = "Type de nettoyage";
inline constexpr char kEveryInterval[] = "Tous les ";
inline constexpr char kFreeSpaceThreshold[] = "Quand moins de ";
// The user's own yes to automatic cleaning, written only by the options box when the user
// answers its question; no default, no earlier version and no other save gives it.
inline constexpr char kAutomaticConsent[] = "Nettoyage automatique consenti";

// Administrators' policies of their own, beside the settings they may enforce: one in the
// policy key itself, one in its "Service" key.
inline constexpr char kForbidOptions[] = "Interdire les options";
inline constexpr char kForbidAutomaticCleaning[] = "Interdire le nettoyage automatique";

// Same words as the cleaning section's Boolean, in the "Personnel" key.
inline constexpr char kPersonalSearchData[] = "Recherche personnelle";
}  // namespace names

// Bits of TJournalSettings::Events.
enum TJournalEvent : uint8_t {
  jeElapsedTime = 1,
  jeGains = 2,
  jeMessages = 4,
  jeWarnings = 8,
  jeErrors = 16,
};

struct TDisplaySettings {
  static constexpr int32_t kCentred = -1;
  bool ShowDetail = false;
  bool MinimizeToIcon = true;
  int32_t RefreshSpeed = 500;
  int32_t PosX = kCentred;
  int32_t PosY = kCentred;
  bool operator==(const TDisplaySettings&) const = default;
};

struct TCleaningSettings {
  bool EmptyRecycleBin = true;
  bool EmptyTempFolder = true;
  bool RunPersonalSearch = true;
  bool SendToRecycleBin = true;
  bool ConfirmDelete = true;
  bool TestMode = false;
  int32_t ReadOnlyHiddenMode = 2;  // only zero and non-zero differ
  int32_t MinimumAgeDays = 0;      // by last write time; 0 takes every age
  // Folders ("C:\\Projets\\"), masks ("*.docx") and folders with a mask ("C:\\Projets\\*.tmp").
  std::vector<std::string> KeepList;
  bool operator==(const TCleaningSettings&) const = default;
};

struct TJournalSettings {
  bool Enabled = true;
  bool NewEachSearch = true;
  uint8_t Events = jeGains | jeMessages | jeWarnings | jeErrors;
  std::string Location = "C:\\";  // carries its own trailing backslash
  bool operator==(const TJournalSettings&) const = default;
};

// Values of TServiceSettings::CleaningType: when the agent cleans by itself.
enum TCleaningType : int32_t {
  ctNone = 0,          // only on the user's demand
  ctPeriodic = 1,      // every EveryInterval minutes
  ctLowFreeSpace = 2,  // when a watched drive has less than the threshold, at most every interval
};

struct TServiceSettings {
  bool AutoStart = true;
  int32_t CleaningType = 1;
  int32_t EveryInterval = 600;
  int32_t FreeSpaceThreshold = 500 * 1048576;
  // Read with the others, never written by Save: see names::kAutomaticConsent.
  bool AutomaticConsent = false;
  bool operator==(const TServiceSettings&) const = default;
};

// The registry errors, filled with the value's name.
std::string InvalidTypeText(std::string_view valueName);
std::string GetDataFailedText(std::string_view valueName);
// A value read whole whose content cannot be what the user meant.
std::string ValueOutOfRangeText(std::string_view valueName);
std::string KeepEntryRefusedText(std::string_view entry);
std::string SetDataFailedText(std::string_view valueName);
// A key that exists but could not be opened, with the system's error code.
std::string OpenKeyFailedText(std::string_view keyPath, long errorCode);

}  // namespace pur
