#include "PURGORegistry.h"

#include <algorithm>
#include <cstring>
#include <variant>

#include "KeepList.h"
#include "uUserMainPrgm_Texts.h"
#include "VersionInfo.h"

namespace pur {

namespace {

constexpr char kSoftware[] = "Software\\";
constexpr DWORD kServiceManagerFullAccess = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE;

// Closes the accessor's key however the scope is left, so an error never leaves a key open.
class TKeyCloser {
 public:
  explicit TKeyCloser(TRegistry& registry) : Registry_(registry) {}
  ~TKeyCloser() { Registry_.CloseKey(); }
  TKeyCloser(const TKeyCloser&) = delete;
  TKeyCloser& operator=(const TKeyCloser&) = delete;

 private:
  TRegistry& Registry_;
};

bool IsNtFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return true;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

bool CanUseLocalMachine() {
  if (!IsNtFamily()) return true;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, kServiceManagerFullAccess);
  if (manager == nullptr) return false;
  CloseServiceHandle(manager);
  return true;
}

TBaseRegistry::TBaseRegistry() : Registry(std::make_unique<TRegistry>()) {
  RootKey = CanUseLocalMachine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  Registry->SetRootKey(RootKey);
  const std::string self = OwnExecutableName();
  ProductName = GetVersionString(self, vkProductName);
  ProductVersion = GetVersionString(self, vkProductVersion);
  CompanyName = GetVersionString(self, vkCompanyName);
}

std::string TBaseRegistry::GetProductKey() const {
  return kSoftware + CompanyName + "\\" + ProductName;
}

std::string TBaseRegistry::GetVersionKey() const { return GetProductKey() + "\\" + ProductVersion; }

std::string TBaseRegistry::GetPolicyKey() const { return kSoftware + std::string("Policies\\") + CompanyName + "\\" + ProductName; }

bool TBaseRegistry::OpenSection(const std::string& section, bool canCreate) {
  return Registry->OpenKey(GetVersionKey() + "\\" + section, canCreate);
}

bool TBaseRegistry::OpenForLoad(const std::string& path) {
  const LONG result = Registry->OpenKeyReadOnly(path);
  if (result == ERROR_SUCCESS) return true;
  if (!IsMissingKey(result)) KeepLoadError(ERegistryException(OpenKeyFailedText(path, result)));
  return false;
}

void TBaseRegistry::WriteValue(const std::string& name, const TTaggedValue& value,
                               const TTaggedValue& def) {
  if (SameValue(value, def)) {
    if (Registry->ValueExists(name)) Registry->DeleteValue(name);
    return;
  }
  switch (value.Kind) {
    case TValueKind::Boolean:
      Registry->WriteDword(name, value.Integer != 0 ? 1 : 0);
      break;
    case TValueKind::Integer8:
    case TValueKind::Integer16:
    case TValueKind::Integer32:
      Registry->WriteDword(name, static_cast<uint32_t>(value.Integer));
      break;
    case TValueKind::Single:
    case TValueKind::Double:
    case TValueKind::DateTime: {
      double number = value.Float;
      Registry->WriteBinary(name, &number, sizeof number);
      break;
    }
    case TValueKind::Currency: {
      int64_t scaled = value.Integer;
      Registry->WriteBinary(name, &scaled, sizeof scaled);
      break;
    }
    case TValueKind::String:
      Registry->WriteString(name, value.Text);
      break;
  }
}

TTaggedValue TBaseRegistry::ReadValue(const std::string& name, const TTaggedValue& def) {
  if (!Registry->ValueExists(name)) return def;
  TTaggedValue result = def;
  switch (def.Kind) {
    case TValueKind::Boolean:
    case TValueKind::Integer8:
    case TValueKind::Integer16:
    case TValueKind::Integer32:
      result.Integer = FitInteger(def.Kind, static_cast<int32_t>(Registry->ReadDword(name)));
      break;
    case TValueKind::Single:
    case TValueKind::Double:
    case TValueKind::DateTime: {
      double number = 0;
      Registry->ReadFixedBinary(name, &number, sizeof number);
      result.Float = def.Kind == TValueKind::Single ? static_cast<float>(number) : number;
      break;
    }
    case TValueKind::Currency:
      Registry->ReadFixedBinary(name, &result.Integer, sizeof result.Integer);
      break;
    case TValueKind::String:
      result.Text = Registry->ReadString(name);
      break;
  }
  return result;
}

TTaggedValue TBaseRegistry::ReadOrDefault(const std::string& name, const TTaggedValue& def) {
  try {
    return ReadValue(name, def);
  } catch (const ERegistryException& error) {
    KeepLoadError(error);
    return def;
  }
}

void TBaseRegistry::KeepLoadError(const ERegistryException& error) {
  LoadErrors_.push_back(LoadErrorPrefix + error.what());
}

bool TBaseRegistry::ReadBool(const std::string& name, bool def) {
  return ReadOrDefault(name, TTaggedValue::Boolean(def)).Integer != 0;
}

int32_t TBaseRegistry::ReadInt(const std::string& name, int32_t def) {
  return static_cast<int32_t>(ReadOrDefault(name, TTaggedValue::Integer32(def)).Integer);
}

void TBaseRegistry::WriteBool(const std::string& name, bool value, bool def) {
  WriteValue(name, TTaggedValue::Boolean(value), TTaggedValue::Boolean(def));
}

void TBaseRegistry::WriteInt(const std::string& name, int32_t value, int32_t def) {
  WriteValue(name, TTaggedValue::Integer32(value), TTaggedValue::Integer32(def));
}

void TBaseRegistry::Load() {
  LoadBase();
  RaiseLoadErrors();
}

void TBaseRegistry::LoadBase() {
  LoadErrors_.clear();
  TKeyCloser closer(*Registry);
  StoredVersion.clear();
  if (OpenForLoad(GetProductKey())) {
    StoredVersion = ReadOrDefault(names::kVersion, TTaggedValue::String("")).Text;
    Registry->CloseKey();
  }
  if (ProductVersion.empty()) ProductVersion = StoredVersion;
  FirstStart = true;
  DebugVersion = false;
  if (OpenForLoad(GetVersionKey())) {
    FirstStart = ReadBool(names::kFirstStart, true);
    DebugVersion = ReadBool(names::kDebugVersion, false);
    Registry->CloseKey();
  }
}

void TBaseRegistry::RaiseLoadErrors() const {
  if (!LoadErrors_.empty()) throw ERegistryException(LoadErrors_.front());
}

void TBaseRegistry::Save() {
  SaveBase();
  SaveFirstStart();
}

void TBaseRegistry::SaveBase() {
  TKeyCloser closer(*Registry);
  if (Registry->OpenKey(GetProductKey(), true)) {
    WriteValue(names::kVersion, TTaggedValue::String(ProductVersion), TTaggedValue::String(""));
    Registry->CloseKey();
  }
  if (Registry->OpenKey(GetVersionKey(), true)) {
    WriteBool(names::kDebugVersion, DebugVersion, false);
    Registry->CloseKey();
  }
}

void TBaseRegistry::SaveFirstStart() {
  TKeyCloser closer(*Registry);
  FirstStart = false;
  if (Registry->OpenKey(GetVersionKey(), true)) WriteBool(names::kFirstStart, FirstStart, true);
}

// The values of each section, in their stored order: Load and Save both walk these tables.
template <class Section>
struct TField {
  const char* name;
  std::variant<bool Section::*, int32_t Section::*, uint8_t Section::*, std::string Section::*,
               std::vector<std::string> Section::*>
      member;
};

constexpr TField<TDisplaySettings> kDisplayFields[] = {
    {names::kShowDetail, &TDisplaySettings::ShowDetail},
    {names::kMinimizeToIcon, &TDisplaySettings::MinimizeToIcon},
    {names::kRefreshSpeed, &TDisplaySettings::RefreshSpeed},
    {names::kPosX, &TDisplaySettings::PosX},
    {names::kPosY, &TDisplaySettings::PosY},
};

constexpr TField<TCleaningSettings> kCleaningFields[] = {
    {names::kEmptyRecycleBin, &TCleaningSettings::EmptyRecycleBin},
    {names::kEmptyTempFolder, &TCleaningSettings::EmptyTempFolder},
    {names::kRunPersonalSearch, &TCleaningSettings::RunPersonalSearch},
    {names::kSendToRecycleBin, &TCleaningSettings::SendToRecycleBin},
    {names::kConfirmDelete, &TCleaningSettings::ConfirmDelete},
    {names::kTestMode, &TCleaningSettings::TestMode},
    {names::kReadOnlyHiddenMode, &TCleaningSettings::ReadOnlyHiddenMode},
    {names::kMinimumAgeDays, &TCleaningSettings::MinimumAgeDays},
    {names::kKeepList, &TCleaningSettings::KeepList},
};

constexpr TField<TJournalSettings> kJournalFields[] = {
    {names::kJournalEnabled, &TJournalSettings::Enabled},
    {names::kNewEachSearch, &TJournalSettings::NewEachSearch},
    {names::kEvents, &TJournalSettings::Events},
    {names::kLocation, &TJournalSettings::Location},
};

constexpr TField<TServiceSettings> kServiceFields[] = {
    {names::kAutoStart, &TServiceSettings::AutoStart},
    {names::kCleaningType, &TServiceSettings::CleaningType},
    {names::kEveryInterval, &TServiceSettings::EveryInterval},
    {names::kFreeSpaceThreshold, &TServiceSettings::FreeSpaceThreshold},
};

TPURGORegistry::TPURGORegistry()
    : Display(std::make_unique<TDisplaySettings>()),
      Cleaning(std::make_unique<TCleaningSettings>()),
      Journal(std::make_unique<TJournalSettings>()),
      PersonalSearchData(std::make_unique<std::vector<uint8_t>>()),
      Service(std::make_unique<TServiceSettings>()) {
  SetDefaults();
}

void TPURGORegistry::SetDefaults() {
  *Display = TDisplaySettings();
  *Cleaning = TCleaningSettings();
  *Journal = TJournalSettings();
  *Service = TServiceSettings();
  PersonalSearchData->clear();
}

void TPURGORegistry::Load() {
  LoadBase();
  UnreadSections_.clear();
  TKeyCloser closer(*Registry);
  ApplicationFlag = false;
  ServiceFlag = false;
  // LoadBase has already told of a version key that cannot be opened.
  if (Registry->OpenKeyReadOnly(GetVersionKey()) == ERROR_SUCCESS) {
    ApplicationFlag = ReadBool(names::kApplication, false);
    ServiceFlag = ReadBool(names::kService, false);
  }
  Enforced_.clear();
  LoadSection(names::kDisplayKey, *Display, kDisplayFields);
  LoadSection(names::kCleaningKey, *Cleaning, kCleaningFields);
  LoadSection(names::kJournalKey, *Journal, kJournalFields);
  LoadSection(names::kServiceKey, *Service, kServiceFields);
  LoadAutomaticConsent();
  LoadPersonalSearch();
  ApplySectionPolicies(names::kDisplayKey, *Display, kDisplayFields);
  ApplySectionPolicies(names::kCleaningKey, *Cleaning, kCleaningFields);
  ApplySectionPolicies(names::kJournalKey, *Journal, kJournalFields);
  ApplySectionPolicies(names::kServiceKey, *Service, kServiceFields);
  ApplyPersonalSearchPolicy();
  LoadForbidPolicies();
  CheckCleaningLimits();
  RaiseLoadErrors();
}

namespace {

// Reads from one root's policy key for the time of its life: the store's reading functions
// work on the open key of `Registry`, which this swaps and gives back.
class TPolicyReading {
 public:
  TPolicyReading(std::unique_ptr<TRegistry>& registry, std::string& errorPrefix, HKEY root)
      : Registry_(registry), Prefix_(errorPrefix), Saved_(std::move(registry)) {
    Registry_ = std::make_unique<TRegistry>(root);
    Prefix_ = mainform::kPolicyErrorPrefix;
  }
  ~TPolicyReading() {
    Registry_ = std::move(Saved_);
    Prefix_.clear();
  }
  TPolicyReading(const TPolicyReading&) = delete;
  TPolicyReading& operator=(const TPolicyReading&) = delete;

 private:
  std::unique_ptr<TRegistry>& Registry_;
  std::string& Prefix_;
  std::unique_ptr<TRegistry> Saved_;
};

// The machine's policies win over the user's.
const HKEY kPolicyRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

std::string EnforcedName(const std::string& section, const std::string& name) { return section + "\\" + name; }

}  // namespace

bool TPURGORegistry::Enforced(const std::string& section, const std::string& name) const {
  return std::find(Enforced_.begin(), Enforced_.end(), EnforcedName(section, name)) != Enforced_.end();
}

void TPURGORegistry::MarkUnread(const char* section, size_t errorsBefore) {
  if (LoadErrors().size() != errorsBefore && SectionReadWhole(section)) UnreadSections_.emplace_back(section);
}

template <class Section, size_t N>
void TPURGORegistry::ApplySectionPolicies(const char* key, Section& values, const TField<Section> (&fields)[N]) {
  const size_t errorsBefore = LoadErrors().size();
  for (const HKEY root : kPolicyRoots) {
    TPolicyReading reading(Registry, LoadErrorPrefix, root);
    if (!OpenForLoad(GetPolicyKey() + "\\" + key)) continue;
    for (const TField<Section>& field : fields) {
      if (Enforced(key, field.name) || !Registry->ValueExists(field.name)) continue;
      // Enforced even when it cannot be read: the user's value must not stand in for it.
      Enforced_.push_back(EnforcedName(key, field.name));
      std::visit([&](auto member) { values.*member = ReadField(field.name, values.*member); }, field.member);
    }
  }
  MarkUnread(key, errorsBefore);
}

void TPURGORegistry::ApplyPersonalSearchPolicy() {
  const size_t errorsBefore = LoadErrors().size();
  for (const HKEY root : kPolicyRoots) {
    TPolicyReading reading(Registry, LoadErrorPrefix, root);
    if (!OpenForLoad(GetPolicyKey() + "\\" + names::kPersonalKey) ||
        !Registry->ValueExists(names::kPersonalSearchData)) {
      continue;
    }
    Enforced_.push_back(EnforcedName(names::kPersonalKey, names::kPersonalSearchData));
    try {
      *PersonalSearchData = Registry->ReadBinary(names::kPersonalSearchData);
    } catch (const ERegistryException& error) {
      KeepLoadError(error);
    }
    break;  // the machine's wins
  }
  MarkUnread(names::kPersonalKey, errorsBefore);
}

bool TPURGORegistry::ReadForbidPolicy(const std::string& section, const char* name) {
  for (const HKEY root : kPolicyRoots) {
    TPolicyReading reading(Registry, LoadErrorPrefix, root);
    const std::string path = section.empty() ? GetPolicyKey() : GetPolicyKey() + "\\" + section;
    if (!OpenForLoad(path) || !Registry->ValueExists(name)) continue;
    // One that cannot be read forbids: the administrator meant something.
    const size_t errorsBefore = LoadErrors().size();
    const bool forbidden = ReadBool(name, true);
    return forbidden || LoadErrors().size() != errorsBefore;
  }
  return false;
}

void TPURGORegistry::LoadForbidPolicies() {
  const size_t errorsBefore = LoadErrors().size();
  OptionsForbidden = ReadForbidPolicy("", names::kForbidOptions);
  AutomaticCleaningForbidden = ReadForbidPolicy(names::kServiceKey, names::kForbidAutomaticCleaning);
  MarkUnread(names::kServiceKey, errorsBefore);
}

template <class Section, size_t N>
void TPURGORegistry::LoadSection(const char* key, Section& values, const TField<Section> (&fields)[N]) {
  const size_t errorsBefore = LoadErrors().size();
  const Section defaults;
  if (!OpenForLoad(GetVersionKey() + "\\" + key)) {
    values = defaults;
  } else {
    for (const TField<Section>& field : fields) {
      std::visit([&](auto member) { values.*member = ReadField(field.name, defaults.*member); }, field.member);
    }
  }
  if (LoadErrors().size() != errorsBefore) UnreadSections_.emplace_back(key);
}

// The limits protect files: a negative age or a keep entry that cannot be read as the user
// meant it is a value that could not be read, so nothing unattended deletes on it.
void TPURGORegistry::CheckCleaningLimits() {
  const size_t errorsBefore = LoadErrors().size();
  if (Cleaning->MinimumAgeDays < 0) {
    KeepLoadError(ERegistryException(ValueOutOfRangeText(names::kMinimumAgeDays)));
  }
  for (const std::string& entry : Cleaning->KeepList) {
    if (CheckKeepEntry(entry) != TKeepEntryProblem::None) KeepLoadError(ERegistryException(KeepEntryRefusedText(entry)));
  }
  MarkUnread(names::kCleaningKey, errorsBefore);
}

void TPURGORegistry::LoadAutomaticConsent() {
  Service->AutomaticConsent = false;
  // A section that could not be read whole already counts as an error: no consent then.
  if (!SectionReadWhole(names::kServiceKey)) return;
  if (OpenForLoad(GetVersionKey() + "\\" + names::kServiceKey)) {
    Service->AutomaticConsent = ReadBool(names::kAutomaticConsent, false);
  }
}

void TPURGORegistry::SaveAutomaticConsent(bool given) {
  TKeyCloser closer(*Registry);
  if (!OpenSection(names::kServiceKey, true)) {
    throw ERegistryException(SetDataFailedText(names::kAutomaticConsent));
  }
  WriteBool(names::kAutomaticConsent, given, false);
  Service->AutomaticConsent = given;
}

void TPURGORegistry::SaveKeepList(const std::vector<std::string>& keepList) {
  if (Enforced(names::kCleaningKey, names::kKeepList)) {
    throw ERegistryException(std::string(mainform::kEnforcedByPolicy) + "'" + names::kKeepList + "'");
  }
  TKeyCloser closer(*Registry);
  if (!OpenSection(names::kCleaningKey, true)) throw ERegistryException(SetDataFailedText(names::kKeepList));
  WriteField(names::kKeepList, keepList, {});
  Cleaning->KeepList = keepList;
}

bool TPURGORegistry::SectionReadWhole(const std::string& section) const {
  return std::find(UnreadSections_.begin(), UnreadSections_.end(), section) == UnreadSections_.end();
}

template <class Section, size_t N>
void TPURGORegistry::SaveSection(const char* key, const Section& values, const TField<Section> (&fields)[N]) {
  if (!OpenSection(key, true)) return;
  const Section defaults;
  for (const TField<Section>& field : fields) {
    // The user's own value stays as stored under a policy's.
    if (Enforced(key, field.name)) continue;
    std::visit([&](auto member) { WriteField(field.name, values.*member, defaults.*member); }, field.member);
  }
  Registry->CloseKey();
}

bool TPURGORegistry::ReadField(const char* name, bool def) { return ReadBool(name, def); }
int32_t TPURGORegistry::ReadField(const char* name, int32_t def) { return ReadInt(name, def); }
uint8_t TPURGORegistry::ReadField(const char* name, uint8_t def) {
  return static_cast<uint8_t>(ReadOrDefault(name, TTaggedValue::Integer8(def)).Integer);
}
std::string TPURGORegistry::ReadField(const char* name, const std::string& def) {
  return ReadOrDefault(name, TTaggedValue::String(def)).Text;
}

std::vector<std::string> TPURGORegistry::ReadField(const char* name, const std::vector<std::string>& def) {
  try {
    return Registry->ValueExists(name) ? Registry->ReadMultiString(name) : def;
  } catch (const ERegistryException& error) {
    KeepLoadError(error);
    return def;
  }
}

void TPURGORegistry::WriteField(const char* name, bool value, bool def) { WriteBool(name, value, def); }
void TPURGORegistry::WriteField(const char* name, int32_t value, int32_t def) { WriteInt(name, value, def); }
void TPURGORegistry::WriteField(const char* name, uint8_t value, uint8_t def) {
  WriteValue(name, TTaggedValue::Integer8(value), TTaggedValue::Integer8(def));
}
void TPURGORegistry::WriteField(const char* name, const std::string& value, const std::string& def) {
  WriteValue(name, TTaggedValue::String(value), TTaggedValue::String(def));
}

void TPURGORegistry::WriteField(const char* name, const std::vector<std::string>& value,
                                const std::vector<std::string>& def) {
  if (value == def) {
    if (Registry->ValueExists(name)) Registry->DeleteValue(name);
    return;
  }
  Registry->WriteMultiString(name, value);
}

void TPURGORegistry::LoadPersonalSearch() {
  // Save removes the value for an empty definition: absent means nothing to search, never
  // the places held from an earlier load.
  PersonalSearchData->clear();
  const size_t errorsBefore = LoadErrors().size();
  if (OpenForLoad(GetVersionKey() + "\\" + names::kPersonalKey) &&
      Registry->GetDataSize(names::kPersonalSearchData) > 0) {
    try {
      *PersonalSearchData = Registry->ReadBinary(names::kPersonalSearchData);
    } catch (const ERegistryException& error) {
      KeepLoadError(error);
    }
  }
  if (LoadErrors().size() != errorsBefore) UnreadSections_.emplace_back(names::kPersonalKey);
}

void TPURGORegistry::Save() {
  SaveBase();
  {
    TKeyCloser closer(*Registry);
    SaveSection(names::kDisplayKey, *Display, kDisplayFields);
    SaveSection(names::kCleaningKey, *Cleaning, kCleaningFields);
    SaveSection(names::kJournalKey, *Journal, kJournalFields);
    SaveSection(names::kServiceKey, *Service, kServiceFields);
    SavePersonalSearch();
  }
  // Last: a reader that sees the flag cleared must find the sections already written.
  SaveFirstStart();
}

void TPURGORegistry::SavePersonalSearch() {
  if (Enforced(names::kPersonalKey, names::kPersonalSearchData)) return;
  if (!OpenSection(names::kPersonalKey, true)) return;
  if (PersonalSearchData->empty()) {
    Registry->DeleteValue(names::kPersonalSearchData);
  } else {
    Registry->WriteBinary(names::kPersonalSearchData, PersonalSearchData->data(),
                          static_cast<uint32_t>(PersonalSearchData->size()));
  }
  Registry->CloseKey();
}

}  // namespace pur
