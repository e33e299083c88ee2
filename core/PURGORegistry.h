// The settings store: where the program's settings live in the registry, and a typed
// in-memory copy of them. Values equal to their defaults are never stored.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RegistryKey.h"
#include "SettingsValues.h"

namespace pur {

class TBaseRegistry {
 public:
  TBaseRegistry();
  virtual ~TBaseRegistry() = default;
  TBaseRegistry(const TBaseRegistry&) = delete;
  TBaseRegistry& operator=(const TBaseRegistry&) = delete;

  virtual void SetDefaults() = 0;
  virtual void Save();
  // Reads every value, even past one that cannot be read; that one keeps its default, as do
  // all values of a key that exists but cannot be opened. Raises the first such error
  // afterwards; LoadErrors() names them all.
  virtual void Load();

  // Software\<CompanyName>\<ProductName>, and that with \<ProductVersion>.
  std::string GetProductKey() const;
  std::string GetVersionKey() const;
  // Software\Policies\<CompanyName>\<ProductName>: the administrators' policies, in both roots.
  std::string GetPolicyKey() const;

  // Both work on the key that is open.
  void WriteValue(const std::string& name, const TTaggedValue& value, const TTaggedValue& def);
  TTaggedValue ReadValue(const std::string& name, const TTaggedValue& def);

  HKEY RootKey = HKEY_CURRENT_USER;
  std::string StoredVersion;
  std::string CompanyName;
  std::string ProductName;
  std::string ProductVersion;
  bool DebugVersion = false;
  bool FirstStart = true;

  // The errors of the last Load, one per value or key that could not be read.
  const std::vector<std::string>& LoadErrors() const { return LoadErrors_; }

 protected:
  // Save's steps: the version values, then (after whatever a subclass stores) the first-start
  // flag, which readers take as "the settings are the user's".
  void SaveBase();
  void SaveFirstStart();
  // Load's steps: the base part, then the raising of the first error kept by the reads.
  void LoadBase();
  void RaiseLoadErrors() const;
  // ReadValue for Load: an unreadable value gives the default and its error is kept.
  TTaggedValue ReadOrDefault(const std::string& name, const TTaggedValue& def);
  void KeepLoadError(const ERegistryException& error);
  // Put before every load error while it is set (the policies' reading).
  std::string LoadErrorPrefix;

  // Opens (or creates) a section key below the version key, for writing.
  bool OpenSection(const std::string& section, bool canCreate);
  // Opens a key for Load, for reading only. A missing key reads as its defaults, like a
  // missing value; one that exists but cannot be opened is a load error of its own.
  bool OpenForLoad(const std::string& path);

  bool ReadBool(const std::string& name, bool def);
  int32_t ReadInt(const std::string& name, int32_t def);
  void WriteBool(const std::string& name, bool value, bool def);
  void WriteInt(const std::string& name, int32_t value, int32_t def);

  std::unique_ptr<TRegistry> Registry;

 private:
  std::vector<std::string> LoadErrors_;
};

// Administrators (and everyone outside the NT family) keep settings for the machine,
// other users for themselves.
bool CanUseLocalMachine();

// One stored value of a settings section (defined with the tables of the sections).
template <class Section>
struct TField;

class TPURGORegistry : public TBaseRegistry {
 public:
  TPURGORegistry();

  void SetDefaults() override;
  void Save() override;
  void Load() override;
  // Records the user's answer to the options box's question on automatic cleaning (given:
  // the value is written; withdrawn: removed). The box alone calls it; Save never writes it.
  void SaveAutomaticConsent(bool given);
  // Records the keep list alone (the review list adds to it while a run waits), leaving every
  // other stored value as it is.
  void SaveKeepList(const std::vector<std::string>& keepList);

  bool ApplicationFlag = false;  // read, never written
  bool ServiceFlag = false;      // read, never written
  std::unique_ptr<TDisplaySettings> Display;
  std::unique_ptr<TCleaningSettings> Cleaning;
  std::unique_ptr<TJournalSettings> Journal;
  // The personal search's definition, opaque bytes handed unchanged to the library.
  std::unique_ptr<std::vector<uint8_t>> PersonalSearchData;
  std::unique_ptr<TServiceSettings> Service;

  // False when the last Load could not open this section or read one of its values.
  bool SectionReadWhole(const std::string& section) const;

  // Whether the last Load took this value from an administrators' policy: the machine's
  // (HKEY_LOCAL_MACHINE) first, then the user's, under GetPolicyKey() with the store's own
  // section, name and type. Such a value is never saved over the user's own; the options box
  // shows it greyed. A policy that cannot be read is a load error like any other value.
  bool Enforced(const std::string& section, const std::string& name) const;
  // Policies of their own: no automatic cleaning by the agent; no options box.
  bool AutomaticCleaningForbidden = false;
  bool OptionsForbidden = false;

 private:
  template <class Section, size_t N>
  void LoadSection(const char* key, Section& values, const TField<Section> (&fields)[N]);
  template <class Section, size_t N>
  void SaveSection(const char* key, const Section& values, const TField<Section> (&fields)[N]);
  bool ReadField(const char* name, bool def);
  int32_t ReadField(const char* name, int32_t def);
  uint8_t ReadField(const char* name, uint8_t def);
  std::string ReadField(const char* name, const std::string& def);
  std::vector<std::string> ReadField(const char* name, const std::vector<std::string>& def);
  void WriteField(const char* name, bool value, bool def);
  void WriteField(const char* name, int32_t value, int32_t def);
  void WriteField(const char* name, uint8_t value, uint8_t def);
  void WriteField(const char* name, const std::string& value, const std::string& def);
  void WriteField(const char* name, const std::vector<std::string>& value, const std::vector<std::string>& def);
  void LoadPersonalSearch();
  void LoadAutomaticConsent();
  void CheckCleaningLimits();
  template <class Section, size_t N>
  void ApplySectionPolicies(const char* key, Section& values, const TField<Section> (&fields)[N]);
  void ApplyPersonalSearchPolicy();
  void LoadForbidPolicies();
  bool ReadForbidPolicy(const std::string& section, const char* name);
  void MarkUnread(const char* section, size_t errorsBefore);
  void SavePersonalSearch();

  std::vector<std::string> UnreadSections_;
  std::vector<std::string> Enforced_;  // "section\name"
};

}  // namespace pur
