#include "PURGORegistry.h"

#include <cstring>

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

bool TBaseRegistry::OpenSection(const std::string& section, bool canCreate) {
  return Registry->OpenKey(GetVersionKey() + "\\" + section, canCreate);
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
  LoadErrors_.emplace_back(error.what());
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
  // A missing key reads as its defaults, like a missing value.
  StoredVersion.clear();
  if (Registry->OpenKey(GetProductKey(), false)) {
    StoredVersion = ReadOrDefault(names::kVersion, TTaggedValue::String("")).Text;
    Registry->CloseKey();
  }
  if (ProductVersion.empty()) ProductVersion = StoredVersion;
  FirstStart = true;
  DebugVersion = false;
  if (Registry->OpenKey(GetVersionKey(), false)) {
    FirstStart = ReadBool(names::kFirstStart, true);
    DebugVersion = ReadBool(names::kDebugVersion, false);
    Registry->CloseKey();
  }
}

void TBaseRegistry::RaiseLoadErrors() const {
  if (!LoadErrors_.empty()) throw ERegistryException(LoadErrors_.front());
}

void TBaseRegistry::Save() {
  TKeyCloser closer(*Registry);
  FirstStart = false;
  if (Registry->OpenKey(GetProductKey(), true)) {
    WriteValue(names::kVersion, TTaggedValue::String(ProductVersion), TTaggedValue::String(""));
    Registry->CloseKey();
  }
  if (Registry->OpenKey(GetVersionKey(), true)) {
    WriteBool(names::kFirstStart, FirstStart, true);
    WriteBool(names::kDebugVersion, DebugVersion, false);
    Registry->CloseKey();
  }
}

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
  TKeyCloser closer(*Registry);
  Registry->OpenKey(GetVersionKey(), false);  // when missing, every read yields its default
  ApplicationFlag = ReadBool(names::kApplication, false);
  ServiceFlag = ReadBool(names::kService, false);
  LoadDisplay();
  LoadCleaning();
  LoadJournal();
  LoadService();
  LoadPersonalSearch();
  RaiseLoadErrors();
}

void TPURGORegistry::LoadDisplay() {
  OpenSection(names::kDisplayKey, false);
  TDisplaySettings def;
  Display->ShowDetail = ReadBool(names::kShowDetail, def.ShowDetail);
  Display->MinimizeToIcon = ReadBool(names::kMinimizeToIcon, def.MinimizeToIcon);
  Display->RefreshSpeed = ReadInt(names::kRefreshSpeed, def.RefreshSpeed);
  Display->PosX = ReadInt(names::kPosX, def.PosX);
  Display->PosY = ReadInt(names::kPosY, def.PosY);
}

void TPURGORegistry::LoadCleaning() {
  OpenSection(names::kCleaningKey, false);
  TCleaningSettings def;
  Cleaning->EmptyRecycleBin = ReadBool(names::kEmptyRecycleBin, def.EmptyRecycleBin);
  Cleaning->EmptyTempFolder = ReadBool(names::kEmptyTempFolder, def.EmptyTempFolder);
  Cleaning->RunPersonalSearch = ReadBool(names::kRunPersonalSearch, def.RunPersonalSearch);
  Cleaning->SendToRecycleBin = ReadBool(names::kSendToRecycleBin, def.SendToRecycleBin);
  Cleaning->ConfirmDelete = ReadBool(names::kConfirmDelete, def.ConfirmDelete);
  Cleaning->TestMode = ReadBool(names::kTestMode, def.TestMode);
  Cleaning->ReadOnlyHiddenMode = ReadInt(names::kReadOnlyHiddenMode, def.ReadOnlyHiddenMode);
}

void TPURGORegistry::LoadJournal() {
  OpenSection(names::kJournalKey, false);
  TJournalSettings def;
  Journal->Enabled = ReadBool(names::kJournalEnabled, def.Enabled);
  Journal->NewEachSearch = ReadBool(names::kNewEachSearch, def.NewEachSearch);
  Journal->Events = static_cast<uint8_t>(
      ReadOrDefault(names::kEvents, TTaggedValue::Integer8(def.Events)).Integer);
  Journal->Location = ReadOrDefault(names::kLocation, TTaggedValue::String(def.Location)).Text;
}

void TPURGORegistry::LoadService() {
  OpenSection(names::kServiceKey, false);
  TServiceSettings def;
  Service->AutoStart = ReadBool(names::kAutoStart, def.AutoStart);
  Service->CleaningType = ReadInt(names::kCleaningType, def.CleaningType);
  Service->EveryInterval = ReadInt(names::kEveryInterval, def.EveryInterval);
  Service->FreeSpaceThreshold = ReadInt(names::kFreeSpaceThreshold, def.FreeSpaceThreshold);
}

void TPURGORegistry::LoadPersonalSearch() {
  OpenSection(names::kPersonalKey, false);
  // Save removes the value for an empty definition: absent means nothing to search, never
  // the places held from an earlier load.
  PersonalSearchData->clear();
  if (Registry->GetDataSize(names::kPersonalSearchData) <= 0) return;
  try {
    *PersonalSearchData = Registry->ReadBinary(names::kPersonalSearchData);
  } catch (const ERegistryException& error) {
    KeepLoadError(error);
  }
}

void TPURGORegistry::Save() {
  TBaseRegistry::Save();
  TKeyCloser closer(*Registry);
  SaveDisplay();
  SaveCleaning();
  SaveJournal();
  SaveService();
  SavePersonalSearch();
}

void TPURGORegistry::SaveDisplay() {
  if (!OpenSection(names::kDisplayKey, true)) return;
  TDisplaySettings def;
  WriteBool(names::kShowDetail, Display->ShowDetail, def.ShowDetail);
  WriteBool(names::kMinimizeToIcon, Display->MinimizeToIcon, def.MinimizeToIcon);
  WriteInt(names::kRefreshSpeed, Display->RefreshSpeed, def.RefreshSpeed);
  WriteInt(names::kPosX, Display->PosX, def.PosX);
  WriteInt(names::kPosY, Display->PosY, def.PosY);
  Registry->CloseKey();
}

void TPURGORegistry::SaveCleaning() {
  if (!OpenSection(names::kCleaningKey, true)) return;
  TCleaningSettings def;
  WriteBool(names::kEmptyRecycleBin, Cleaning->EmptyRecycleBin, def.EmptyRecycleBin);
  WriteBool(names::kEmptyTempFolder, Cleaning->EmptyTempFolder, def.EmptyTempFolder);
  WriteBool(names::kRunPersonalSearch, Cleaning->RunPersonalSearch, def.RunPersonalSearch);
  WriteBool(names::kSendToRecycleBin, Cleaning->SendToRecycleBin, def.SendToRecycleBin);
  WriteBool(names::kConfirmDelete, Cleaning->ConfirmDelete, def.ConfirmDelete);
  WriteBool(names::kTestMode, Cleaning->TestMode, def.TestMode);
  WriteInt(names::kReadOnlyHiddenMode, Cleaning->ReadOnlyHiddenMode, def.ReadOnlyHiddenMode);
  Registry->CloseKey();
}

void TPURGORegistry::SaveJournal() {
  if (!OpenSection(names::kJournalKey, true)) return;
  TJournalSettings def;
  WriteBool(names::kJournalEnabled, Journal->Enabled, def.Enabled);
  WriteBool(names::kNewEachSearch, Journal->NewEachSearch, def.NewEachSearch);
  WriteValue(names::kEvents, TTaggedValue::Integer8(Journal->Events),
             TTaggedValue::Integer8(def.Events));
  WriteValue(names::kLocation, TTaggedValue::String(Journal->Location),
             TTaggedValue::String(def.Location));
  Registry->CloseKey();
}

void TPURGORegistry::SaveService() {
  if (!OpenSection(names::kServiceKey, true)) return;
  TServiceSettings def;
  WriteBool(names::kAutoStart, Service->AutoStart, def.AutoStart);
  WriteInt(names::kCleaningType, Service->CleaningType, def.CleaningType);
  WriteInt(names::kEveryInterval, Service->EveryInterval, def.EveryInterval);
  WriteInt(names::kFreeSpaceThreshold, Service->FreeSpaceThreshold, def.FreeSpaceThreshold);
  Registry->CloseKey();
}

void TPURGORegistry::SavePersonalSearch() {
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
