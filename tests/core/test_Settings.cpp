// The settings store against the registry of the build tree's Wine prefix. Every test
// starts and ends without the product's keys; they are the only keys these tests make.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "PURGORegistry.h"
#include "RegistryLock.h"

namespace pur {
namespace {

constexpr char kCompanyKey[] = "Software\\Corvane";
constexpr char kProductKey[] = "Software\\Corvane\\Purgo for Windows";
constexpr char kVersionKey[] = "Software\\Corvane\\Purgo for Windows\\4.0.0.0";

std::string Section(const char* name) { return std::string(kVersionKey) + "\\" + name; }

// One raw key, for looking behind the store's back.
class RawKey {
 public:
  RawKey(HKEY root, const std::string& path, bool create = false) {
    LONG result = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &Key_, nullptr)
                         : RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &Key_);
    if (result != ERROR_SUCCESS) Key_ = nullptr;
  }
  ~RawKey() {
    if (Key_) RegCloseKey(Key_);
  }
  RawKey(const RawKey&) = delete;
  RawKey& operator=(const RawKey&) = delete;
  bool Exists() const { return Key_ != nullptr; }

  std::vector<std::string> ValueNames() const {
    std::vector<std::string> names;
    for (DWORD i = 0; Key_; ++i) {
      char name[256];
      DWORD length = sizeof name;
      if (RegEnumValueA(Key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::optional<DWORD> Type(const std::string& name) const {
    DWORD type = 0;
    if (!Key_ || RegQueryValueExA(Key_, name.c_str(), nullptr, &type, nullptr, nullptr) !=
                     ERROR_SUCCESS)
      return std::nullopt;
    return type;
  }
  std::vector<uint8_t> Data(const std::string& name) const {
    DWORD size = 0;
    if (!Key_ || RegQueryValueExA(Key_, name.c_str(), nullptr, nullptr, nullptr, &size) !=
                     ERROR_SUCCESS)
      return {};
    std::vector<uint8_t> data(size);
    RegQueryValueExA(Key_, name.c_str(), nullptr, nullptr, data.data(), &size);
    return data;
  }
  std::optional<DWORD> Dword(const std::string& name) const {
    if (Type(name) != REG_DWORD) return std::nullopt;
    std::vector<uint8_t> data = Data(name);
    if (data.size() != sizeof(DWORD)) return std::nullopt;
    DWORD value;
    memcpy(&value, data.data(), sizeof value);
    return value;
  }
  void Set(const std::string& name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(Key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  void SetDword(const std::string& name, DWORD value) { Set(name, REG_DWORD, &value, 4); }
  // When the key's own values were last written, in the registry's own record.
  uint64_t LastWrite() const {
    FILETIME time{};
    if (!Key_ || RegQueryInfoKeyA(Key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, &time) != ERROR_SUCCESS)
      return 0;
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  }
  void SetText(const std::string& name, const std::string& text, DWORD type = REG_SZ) {
    Set(name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

 private:
  HKEY Key_ = nullptr;
};

// Opens keys through the store's own accessor, for WriteValue and ReadValue.
class ProbeRegistry : public TPURGORegistry {
 public:
  TRegistry& Accessor() { return *Registry; }
};

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = TPURGORegistry().RootKey;
    RemoveProductKeys();
    ASSERT_FALSE(RawKey(Root, kProductKey).Exists());
  }
  void TearDown() override { RemoveProductKeys(); }
  void RemoveProductKeys() {
    RegDeleteTreeA(Root, kProductKey);
    RegDeleteKeyA(Root, kProductKey);
    RegDeleteKeyA(Root, kCompanyKey);  // only when nothing else lives there
  }
  HKEY Root = nullptr;
};

const char* const kSections[] = {"Affichage", "Nettoyage", "Journal", "Service", "Personnel"};

TEST_F(Settings, RootAndKeyPathsFollowRightsAndVersionBlock) {
  TPURGORegistry settings;
  // Wine runs everything as an elevated administrator, so the machine's settings are used.
  EXPECT_TRUE(CanUseLocalMachine());
  EXPECT_EQ(settings.RootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(settings.CompanyName, "Corvane");
  EXPECT_EQ(settings.ProductName, "Purgo for Windows");
  EXPECT_EQ(settings.ProductVersion, "4.0.0.0");
  EXPECT_EQ(settings.GetProductKey(), kProductKey);
  EXPECT_EQ(settings.GetVersionKey(), kVersionKey);
}

TEST_F(Settings, EmptyRegistryGivesDefaultsAndCreatesNothing) {
  TPURGORegistry settings;
  // Spoil the in-memory copy first, so that the load visibly puts the defaults back.
  settings.FirstStart = false;
  settings.DebugVersion = true;
  settings.StoredVersion = "stale";
  settings.ApplicationFlag = settings.ServiceFlag = true;
  settings.Load();
  EXPECT_TRUE(settings.FirstStart);
  EXPECT_FALSE(settings.DebugVersion);
  EXPECT_EQ(settings.StoredVersion, "");
  EXPECT_FALSE(settings.ApplicationFlag);
  EXPECT_FALSE(settings.ServiceFlag);
  EXPECT_EQ(*settings.Display, TDisplaySettings());
  EXPECT_EQ(*settings.Cleaning, TCleaningSettings());
  EXPECT_EQ(*settings.Journal, TJournalSettings());
  EXPECT_EQ(*settings.Service, TServiceSettings());
  EXPECT_TRUE(settings.PersonalSearchData->empty());
  EXPECT_EQ(settings.Display->RefreshSpeed, 500);
  EXPECT_EQ(settings.Display->PosX, -1);
  EXPECT_EQ(settings.Journal->Events, 30);
  EXPECT_EQ(settings.Service->FreeSpaceThreshold, 524288000);
  EXPECT_FALSE(RawKey(Root, kCompanyKey).Exists());
}

TEST_F(Settings, FirstSaveWritesOnlyVersionAndFirstStart) {
  TPURGORegistry settings;
  settings.Load();
  settings.Save();
  EXPECT_FALSE(settings.FirstStart);

  RawKey product(Root, kProductKey);
  ASSERT_TRUE(product.Exists());
  EXPECT_EQ(product.ValueNames(), std::vector<std::string>{"Version"});
  EXPECT_EQ(product.Type("Version"), REG_SZ);
  std::vector<uint8_t> version = product.Data("Version");
  EXPECT_EQ(std::string(version.begin(), version.end()), std::string("4.0.0.0", 8));

  RawKey versionKey(Root, kVersionKey);
  ASSERT_TRUE(versionKey.Exists());
  EXPECT_EQ(versionKey.ValueNames(), std::vector<std::string>{"Premier demarrage"});
  EXPECT_EQ(versionKey.Dword("Premier demarrage"), 0u);

  for (const char* section : kSections) {
    RawKey key(Root, Section(section));
    EXPECT_TRUE(key.Exists()) << section;
    EXPECT_TRUE(key.ValueNames().empty()) << section;
  }

  TPURGORegistry again;
  again.Load();
  EXPECT_FALSE(again.FirstStart);
  EXPECT_EQ(again.StoredVersion, "4.0.0.0");
}

// Readers take a cleared first-start flag for "these settings are the user's": a save writes
// it after the sections, as the registry's record of each key's last write shows.
TEST_F(Settings, FirstStartFlagIsWrittenAfterTheSections) {
  for (const char* section : kSections) RawKey(Root, Section(section), true);  // an earlier store, no flag
  TPURGORegistry settings;
  settings.Load();
  ASSERT_TRUE(settings.FirstStart);
  settings.Service->EveryInterval = 30;
  settings.Save();
  const uint64_t flagWritten = RawKey(Root, kVersionKey).LastWrite();
  const uint64_t serviceWritten = RawKey(Root, Section("Service")).LastWrite();
  EXPECT_EQ(RawKey(Root, kVersionKey).Dword("Premier demarrage"), 0u);
  EXPECT_GT(flagWritten, serviceWritten) << "flag " << flagWritten << ", section " << serviceWritten;
}

struct StoredValue {
  const char* section;
  const char* name;
  DWORD type;
  DWORD dword;  // for REG_DWORD
};

// Every field away from its default, and what that must put into the registry.
void SetAllAwayFromDefaults(TPURGORegistry& s) {
  s.Display->ShowDetail = true;
  s.Display->MinimizeToIcon = false;
  s.Display->RefreshSpeed = 250;
  s.Display->PosX = -20;
  s.Display->PosY = 300;
  s.Cleaning->EmptyRecycleBin = false;
  s.Cleaning->EmptyTempFolder = false;
  s.Cleaning->RunPersonalSearch = false;
  s.Cleaning->SendToRecycleBin = false;
  s.Cleaning->ConfirmDelete = false;
  s.Cleaning->TestMode = true;
  s.Cleaning->ReadOnlyHiddenMode = 0;
  s.Cleaning->MinimumAgeDays = 30;
  s.Cleaning->KeepList = {"C:\\Projets\\", "*.docx", "D:\\Données\\*.tmp"};
  s.Journal->Enabled = false;
  s.Journal->NewEachSearch = false;
  s.Journal->Events = 255;
  s.Journal->Location = "D:\\Journaux\\été\\";
  s.Service->AutoStart = false;
  s.Service->CleaningType = 3;
  s.Service->EveryInterval = 0;
  s.Service->FreeSpaceThreshold = -7;
  *s.PersonalSearchData = {0, 1, 2, 0, 255, 0};
}

const StoredValue kAwayFromDefaults[] = {
    {"Affichage", "Afficher le detail", REG_DWORD, 1},
    {"Affichage", "Mettre en icone", REG_DWORD, 0},
    {"Affichage", "Vitesse de rafraichissement", REG_DWORD, 250},
    {"Affichage", "Position en X", REG_DWORD, static_cast<DWORD>(-20)},
    {"Affichage", "Position en Y", REG_DWORD, 300},
    {"Nettoyage", "Vider la corbeille", REG_DWORD, 0},
    {"Nettoyage", "Vider le dossier temporaire", REG_DWORD, 0},
    {"Nettoyage", "Recherche personnelle", REG_DWORD, 0},
    {"Nettoyage", "Envoyer les elements dans la corbeille", REG_DWORD, 0},
    {"Nettoyage", "Confirmer la suppression", REG_DWORD, 0},
    {"Nettoyage", "Tester", REG_DWORD, 1},
    {"Nettoyage", "Confirmer la suppression des fichiers RO et H", REG_DWORD, 0},
    {"Nettoyage", "Age minimum en jours", REG_DWORD, 30},
    {"Nettoyage", "Toujours garder", REG_MULTI_SZ, 0},
    {"Journal", "Activer la journalisation", REG_DWORD, 0},
    {"Journal", "Nouveau journal à chaque recherche", REG_DWORD, 0},
    {"Journal", "Evenements", REG_DWORD, 255},
    {"Journal", "Emplacement du journal", REG_SZ, 0},
    {"Service", "Demarrer le service automatiquement", REG_DWORD, 0},
    {"Service", "Type de nettoyage", REG_DWORD, 3},
    {"Service", "Tous les ", REG_DWORD, 0},
    {"Service", "Quand moins de ", REG_DWORD, static_cast<DWORD>(-7)},
    {"Personnel", "Recherche personnelle", REG_BINARY, 0},
};

TEST_F(Settings, EveryValueUnderItsExactNameAndType) {
  TPURGORegistry settings;
  settings.Load();
  SetAllAwayFromDefaults(settings);
  settings.Save();
  size_t expectedCount[std::size(kSections)] = {};
  for (const StoredValue& v : kAwayFromDefaults) {
    RawKey key(Root, Section(v.section));
    EXPECT_EQ(key.Type(v.name), v.type) << v.section << " / '" << v.name << "'";
    if (v.type == REG_DWORD) {
      EXPECT_EQ(key.Dword(v.name), v.dword) << "'" << v.name << "'";
    }
    for (size_t i = 0; i < std::size(kSections); ++i)
      if (std::string(kSections[i]) == v.section) ++expectedCount[i];
  }
  for (size_t i = 0; i < std::size(kSections); ++i) {
    EXPECT_EQ(RawKey(Root, Section(kSections[i])).ValueNames().size(), expectedCount[i])
        << kSections[i];
  }
  std::vector<uint8_t> location = RawKey(Root, Section("Journal")).Data("Emplacement du journal");
  EXPECT_EQ(std::string(location.begin(), location.end()),
            std::string("D:\\Journaux\\été\\") + '\0');  // with its terminating zero

  TPURGORegistry loaded;
  loaded.Load();
  EXPECT_EQ(*loaded.Display, *settings.Display);
  EXPECT_EQ(*loaded.Cleaning, *settings.Cleaning);
  EXPECT_EQ(*loaded.Journal, *settings.Journal);
  EXPECT_EQ(*loaded.Service, *settings.Service);
  EXPECT_EQ(*loaded.PersonalSearchData, *settings.PersonalSearchData);
}

TEST_F(Settings, ValueBackAtItsDefaultDisappears) {
  TPURGORegistry settings;
  settings.Load();
  SetAllAwayFromDefaults(settings);
  settings.Save();
  ASSERT_EQ(RawKey(Root, Section("Affichage")).Dword("Afficher le detail"), 1u);
  settings.SetDefaults();
  settings.Save();
  for (const char* section : kSections) {
    EXPECT_TRUE(RawKey(Root, Section(section)).ValueNames().empty()) << section;
  }
  TPURGORegistry loaded;
  loaded.Load();
  EXPECT_FALSE(loaded.Display->ShowDetail);
  EXPECT_TRUE(loaded.PersonalSearchData->empty());
}

TEST_F(Settings, StoredNumbersAreReadByTheFieldsWidth) {
  {
    RawKey journal(Root, Section("Journal"), true);
    journal.SetDword("Evenements", 511);
    RawKey display(Root, Section("Affichage"), true);
    display.SetDword("Afficher le detail", 7);  // any non-zero number is true
    display.SetDword("Position en X", 0xFFFFFFFE);
    RawKey versionKey(Root, kVersionKey);
    versionKey.SetDword("Application", 1);
    versionKey.SetDword("Service", 2);
    versionKey.SetDword("Debug Version", 1);
  }
  TPURGORegistry settings;
  settings.Load();
  EXPECT_EQ(settings.Journal->Events, 255);
  EXPECT_TRUE(settings.Display->ShowDetail);
  EXPECT_EQ(settings.Display->PosX, -2);
  EXPECT_TRUE(settings.ApplicationFlag);
  EXPECT_TRUE(settings.ServiceFlag);
  EXPECT_TRUE(settings.DebugVersion);
  EXPECT_TRUE(settings.FirstStart);

  // Save keeps the other programs' flags and rewrites only what it owns.
  settings.Save();
  RawKey versionKey(Root, kVersionKey);
  EXPECT_EQ(versionKey.Dword("Application"), 1u);
  EXPECT_EQ(versionKey.Dword("Service"), 2u);
  EXPECT_EQ(versionKey.Dword("Debug Version"), 1u);
  EXPECT_EQ(RawKey(Root, Section("Journal")).Dword("Evenements"), 255u);
  EXPECT_EQ(RawKey(Root, Section("Affichage")).Dword("Afficher le detail"), 1u);
}

TEST_F(Settings, WrongTypesFailWithTheValuesName) {
  struct Case {
    const char* section;
    const char* name;
    DWORD type;
    std::string data;
    std::string error;
  } cases[] = {
      {"Affichage", "Vitesse de rafraichissement", REG_SZ, std::string("1", 2),
       "Type de données incorrect pour 'Vitesse de rafraichissement'"},
      {"Affichage", "Vitesse de rafraichissement", REG_SZ, std::string("1000", 5),
       "Erreur à l'obtention des données pour 'Vitesse de rafraichissement'"},
      {"Affichage", "Vitesse de rafraichissement", REG_BINARY, std::string("\1\0\0\0", 4),
       "Type de données incorrect pour 'Vitesse de rafraichissement'"},
      {"Service", "Tous les ", REG_QWORD, std::string(8, '\1'),
       "Erreur à l'obtention des données pour 'Tous les '"},
      {"Journal", "Emplacement du journal", REG_DWORD, std::string("\1\0\0\0", 4),
       "Type de données incorrect pour 'Emplacement du journal'"},
      {"Personnel", "Recherche personnelle", REG_SZ, std::string("abc", 4),
       "Type de données incorrect pour 'Recherche personnelle'"},
      // The limits protect files: what cannot be what the user meant is unreadable too.
      {"Nettoyage", "Toujours garder", REG_SZ, std::string("C:\\a\\", 6),
       "Type de données incorrect pour 'Toujours garder'"},
      {"Nettoyage", "Age minimum en jours", REG_DWORD, std::string("\xff\xff\xff\xff", 4),
       "Valeur incorrecte pour 'Age minimum en jours'"},
      {"Nettoyage", "Toujours garder", REG_MULTI_SZ, std::string("C:\\a\\..\\b\\\0\0", 12),
       "Entrée incorrecte dans 'Toujours garder' : 'C:\\a\\..\\b\\'"},
  };
  for (const Case& c : cases) {
    RemoveProductKeys();
    {
      RawKey key(Root, Section(c.section), true);
      key.Set(c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    }
    TPURGORegistry settings;
    try {
      settings.Load();
      ADD_FAILURE() << "no error for '" << c.name << "' of type " << c.type;
    } catch (const ERegistryException& error) {
      EXPECT_EQ(std::string(error.what()), c.error) << "'" << c.name << "' of type " << c.type;
    }
    EXPECT_EQ(settings.LoadErrors(), std::vector<std::string>{c.error});
  }
}

// Administrators' policies over the user's values: the machine's first, then the user's; what
// each Load takes from them is enforced and never saved over the user's own value; a policy
// that cannot be read is a load error that names it as a policy.
TEST_F(Settings, PoliciesOverrideTheUsersValuesAndAreNeverSaved) {
  const std::string policyKey = TPURGORegistry().GetPolicyKey();
  auto clearPolicies = [&] {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, policyKey.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, policyKey.c_str());
  };
  struct Case {
    const char* what;
    DWORD machine;  // kNone: no value
    DWORD user;
    bool machineAsText;
    bool tester;  // the value Load gives
    bool enforced;
    std::string error;
  };
  constexpr DWORD kNone = 99;
  const Case cases[] = {
      {"no policy: the user's own", kNone, kNone, false, true, false, ""},
      {"the machine's", 0, kNone, false, false, true, ""},
      {"the user's policy", kNone, 0, false, false, true, ""},
      {"the machine's wins", 1, 0, false, true, true, ""},
      {"unreadable", 0, kNone, true, true, true, "Stratégie de l'administrateur : Type de données incorrect pour 'Tester'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveProductKeys();
    clearPolicies();
    RawKey(Root, Section("Nettoyage"), true).SetDword("Tester", 1);
    if (c.machineAsText) {
      RawKey(HKEY_LOCAL_MACHINE, policyKey + "\\Nettoyage", true).SetText("Tester", "1");
    } else if (c.machine != kNone) {
      RawKey(HKEY_LOCAL_MACHINE, policyKey + "\\Nettoyage", true).SetDword("Tester", c.machine);
    }
    if (c.user != kNone) RawKey(HKEY_CURRENT_USER, policyKey + "\\Nettoyage", true).SetDword("Tester", c.user);
    TPURGORegistry settings;
    try {
      settings.Load();
    } catch (const ERegistryException&) {
    }
    EXPECT_EQ(settings.LoadErrors(), c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error});
    EXPECT_EQ(settings.SectionReadWhole("Nettoyage"), c.error.empty());
    EXPECT_EQ(settings.Cleaning->TestMode, c.tester);
    EXPECT_EQ(settings.Enforced("Nettoyage", "Tester"), c.enforced);
    EXPECT_FALSE(settings.Enforced("Nettoyage", "Vider la corbeille"));
    settings.Cleaning->EmptyRecycleBin = false;
    settings.Save();
    EXPECT_EQ(RawKey(Root, Section("Nettoyage")).Dword("Tester"), 1u);  // the user's own, as stored
    EXPECT_EQ(RawKey(Root, Section("Nettoyage")).Dword("Vider la corbeille"), 0u);
  }
  // An enforced keep list: the review list cannot add to it.
  clearPolicies();
  RawKey(HKEY_CURRENT_USER, policyKey + "\\Nettoyage", true).Set("Toujours garder", REG_MULTI_SZ, "C:\\Pol\\\0", 9);
  TPURGORegistry kept;
  kept.Load();
  EXPECT_EQ(kept.Cleaning->KeepList, std::vector<std::string>{"C:\\Pol\\"});
  EXPECT_THROW(kept.SaveKeepList({"C:\\Pol\\", "C:\\x\\"}), ERegistryException);
  // The policies of their own: none, then both forbidding.
  clearPolicies();
  TPURGORegistry open;
  open.Load();
  EXPECT_FALSE(open.OptionsForbidden);
  EXPECT_FALSE(open.AutomaticCleaningForbidden);
  RawKey(HKEY_LOCAL_MACHINE, policyKey, true).SetDword("Interdire les options", 1);
  RawKey(HKEY_CURRENT_USER, policyKey + "\\Service", true).SetDword("Interdire le nettoyage automatique", 1);
  TPURGORegistry closed;
  closed.Load();
  EXPECT_TRUE(closed.OptionsForbidden);
  EXPECT_TRUE(closed.AutomaticCleaningForbidden);
  clearPolicies();
}

TEST_F(Settings, AnUnreadableValueKeepsItsDefaultAndTheOthersAreRead) {
  {
    RawKey display(Root, Section("Affichage"), true);
    display.SetDword("Afficher le detail", 1);
    display.SetText("Vitesse de rafraichissement", "1");
    display.SetDword("Position en X", 10);
    RawKey cleaning(Root, Section("Nettoyage"), true);
    cleaning.SetText("Vider la corbeille", "non");
    cleaning.SetDword("Tester", 1);
    const uint8_t bytes[] = {1, 2, 3};
    RawKey(Root, Section("Personnel"), true).Set("Recherche personnelle", REG_BINARY, bytes, 3);
  }
  TPURGORegistry settings;
  settings.Display->RefreshSpeed = 77;
  settings.Cleaning->EmptyRecycleBin = false;
  // The first error is raised once everything has been read.
  try {
    settings.Load();
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(std::string(error.what()),
              "Type de données incorrect pour 'Vitesse de rafraichissement'");
  }
  const std::vector<std::string> errors = {
      "Type de données incorrect pour 'Vitesse de rafraichissement'",
      "Type de données incorrect pour 'Vider la corbeille'"};
  EXPECT_EQ(settings.LoadErrors(), errors);
  // Unreadable values hold their defaults, not what the object held before.
  EXPECT_EQ(settings.Display->RefreshSpeed, 500);
  EXPECT_TRUE(settings.Cleaning->EmptyRecycleBin);
  EXPECT_TRUE(settings.Display->ShowDetail);
  EXPECT_EQ(settings.Display->PosX, 10);
  EXPECT_TRUE(settings.Cleaning->TestMode);
  EXPECT_EQ(*settings.PersonalSearchData, (std::vector<uint8_t>{1, 2, 3}));
  // A clean load forgets the errors of the last one.
  RemoveProductKeys();
  settings.Load();
  EXPECT_TRUE(settings.LoadErrors().empty());
  // The key was closed on the way out: deleting the tree works and a new load sees nothing.
  EXPECT_FALSE(RawKey(Root, kProductKey).Exists());
}

// A key an administrator narrowed: read-only is read as usual; one that may not be opened at
// all is a load error of its own, and its values keep their defaults.
TEST_F(Settings, KeysThatCannotBeOpenedForAllAccess) {
  const std::string denied = " (5)";  // ERROR_ACCESS_DENIED
  struct Case {
    std::string key;
    const char* access;
    std::vector<std::string> errors;
  } cases[] = {
      {Section("Nettoyage"), purtest::kReadOnlyAccess, {}},
      {Section("Nettoyage"), purtest::kNoAccess,
       {"Erreur à l'ouverture de la clé '" + Section("Nettoyage") + "'" + denied}},
      {Section("Personnel"), purtest::kNoAccess,
       {"Erreur à l'ouverture de la clé '" + Section("Personnel") + "'" + denied}},
      {kVersionKey, purtest::kReadOnlyAccess, {}},
      {kVersionKey, purtest::kNoAccess,
       {"Erreur à l'ouverture de la clé '" + std::string(kVersionKey) + "'" + denied}},
      {kProductKey, purtest::kNoAccess,
       {"Erreur à l'ouverture de la clé '" + std::string(kProductKey) + "'" + denied}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + " " + c.access);
    RemoveProductKeys();
    {
      RawKey(Root, kProductKey, true).SetText("Version", "3.5.0.0");
      RawKey(Root, kVersionKey, true).SetDword("Premier demarrage", 0);
      RawKey(Root, Section("Nettoyage"), true).SetDword("Tester", 1);
      RawKey(Root, Section("Affichage"), true).SetDword("Vitesse de rafraichissement", 250);
      const uint8_t bytes[] = {1, 2, 3};
      RawKey(Root, Section("Personnel"), true).Set("Recherche personnelle", REG_BINARY, bytes, 3);
    }
    TPURGORegistry settings;
    {
      purtest::KeyAccessLock lock(Root, c.key, c.access);
      ASSERT_TRUE(lock.Locked());
      try {
        settings.Load();
        EXPECT_TRUE(c.errors.empty()) << "no error";
      } catch (const ERegistryException& error) {
        EXPECT_FALSE(c.errors.empty()) << error.what();
        if (!c.errors.empty()) {
          EXPECT_EQ(std::string(error.what()), c.errors.front());
        }
      }
    }
    EXPECT_EQ(settings.LoadErrors(), c.errors);
    // What lies in the refused key keeps its default; everything else is read.
    const bool refused = !c.errors.empty();
    EXPECT_EQ(settings.StoredVersion, refused && c.key == kProductKey ? "" : "3.5.0.0");
    EXPECT_EQ(settings.FirstStart, refused && c.key == kVersionKey);
    EXPECT_EQ(settings.Cleaning->TestMode, !(refused && c.key == Section("Nettoyage")));
    EXPECT_EQ(settings.Display->RefreshSpeed, 250);
    EXPECT_EQ(settings.PersonalSearchData->size(), refused && c.key == Section("Personnel") ? 0u : 3u);
  }
}

TEST_F(Settings, JournalFolderTexts) {
  struct Case {
    DWORD type;
    std::string stored;
    std::string loaded;
  } cases[] = {
      {REG_SZ, std::string("E:\\Logs\\", 9), "E:\\Logs\\"},
      {REG_EXPAND_SZ, std::string("%TEMP%\\", 8), "%TEMP%\\"},  // not expanded
      {REG_SZ, std::string("A:\\\0B:\\", 7), "A:\\"},           // up to the first zero
      {REG_SZ, std::string("X:", 2), "X:"},                      // no terminating zero stored
      {REG_SZ, std::string(), ""},
  };
  for (const Case& c : cases) {
    {
      RawKey journal(Root, Section("Journal"), true);
      journal.Set("Emplacement du journal", c.type, c.stored.data(),
                  static_cast<DWORD>(c.stored.size()));
    }
    TPURGORegistry settings;
    settings.Load();
    EXPECT_EQ(settings.Journal->Location, c.loaded) << "type " << c.type;
  }
}

TEST_F(Settings, PersonalSearchBytesRoundTrip) {
  std::vector<uint8_t> large(200000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7 + i / 256);
  const std::vector<uint8_t> blocks[] = {{0}, {1, 0, 0, 0, 2}, large};
  for (const std::vector<uint8_t>& bytes : blocks) {
    TPURGORegistry settings;
    settings.Load();
    *settings.PersonalSearchData = bytes;
    settings.Save();
    RawKey personal(Root, Section("Personnel"));
    EXPECT_EQ(personal.Type("Recherche personnelle"), REG_BINARY);
    EXPECT_EQ(personal.Data("Recherche personnelle"), bytes);
    TPURGORegistry loaded;
    loaded.Load();
    EXPECT_EQ(*loaded.PersonalSearchData, bytes) << bytes.size() << " bytes";
  }
  // A save of an empty block removes the value, and a load that finds none (or an empty one)
  // empties the held bytes: an emptied definition stays empty.
  TPURGORegistry settings;
  *settings.PersonalSearchData = {9, 9};
  settings.Save();
  settings.PersonalSearchData->clear();
  settings.Save();
  EXPECT_FALSE(RawKey(Root, Section("Personnel")).Type("Recherche personnelle").has_value());
  for (const bool emptyValue : {false, true}) {
    if (emptyValue) RawKey(Root, Section("Personnel")).Set("Recherche personnelle", REG_BINARY, "", 0);
    *settings.PersonalSearchData = {9, 9};
    settings.Load();
    EXPECT_TRUE(settings.PersonalSearchData->empty()) << "empty value: " << emptyValue;
  }
}

TEST_F(Settings, StoredProductVersionIsReadButTheKeyFollowsTheExecutable) {
  RawKey(Root, kProductKey, true).SetText("Version", "3.5.0.0");
  TPURGORegistry settings;
  settings.Load();
  EXPECT_EQ(settings.StoredVersion, "3.5.0.0");
  EXPECT_EQ(settings.ProductVersion, "4.0.0.0");
  settings.Save();
  std::vector<uint8_t> version = RawKey(Root, kProductKey).Data("Version");
  EXPECT_EQ(std::string(version.begin(), version.end()), std::string("4.0.0.0", 8));
}

TEST_F(Settings, TaggedValuesOfEveryKind) {
  ProbeRegistry settings;
  ASSERT_TRUE(settings.Accessor().OpenKey(Section("Essai"), true));
  struct Case {
    const char* name;
    TTaggedValue value, def;
    DWORD type;
    size_t size;
  } cases[] = {
      {"bool", TTaggedValue::Boolean(true), TTaggedValue::Boolean(false), REG_DWORD, 4},
      {"int8", TTaggedValue::Integer8(200), TTaggedValue::Integer8(30), REG_DWORD, 4},
      {"int16", TTaggedValue::Integer16(-300), TTaggedValue::Integer16(0), REG_DWORD, 4},
      {"int32", TTaggedValue::Integer32(-5), TTaggedValue::Integer32(0), REG_DWORD, 4},
      {"single", TTaggedValue::Single(0.5f), TTaggedValue::Single(0), REG_BINARY, 8},
      {"double", TTaggedValue::Double(3.25), TTaggedValue::Double(0), REG_BINARY, 8},
      {"currency", TTaggedValue::Currency(123456), TTaggedValue::Currency(0), REG_BINARY, 8},
      {"date", TTaggedValue::DateTime(45000.5), TTaggedValue::DateTime(0), REG_BINARY, 8},
      {"text", TTaggedValue::String("abc"), TTaggedValue::String(""), REG_SZ, 4},
  };
  RawKey raw(Root, Section("Essai"));
  for (const Case& c : cases) {
    settings.WriteValue(c.name, c.value, c.def);
    EXPECT_EQ(raw.Type(c.name), c.type) << c.name;
    EXPECT_EQ(raw.Data(c.name).size(), c.size) << c.name;
    TTaggedValue read = settings.ReadValue(c.name, c.def);
    EXPECT_EQ(read.Kind, c.def.Kind) << c.name;
    EXPECT_TRUE(SameValue(read, c.value)) << c.name;
    settings.WriteValue(c.name, c.def, c.def);
    EXPECT_FALSE(raw.Type(c.name).has_value()) << c.name << " still stored at its default";
    EXPECT_TRUE(SameValue(settings.ReadValue(c.name, c.def), c.def)) << c.name;
  }
  // A float of the wrong size is a type error, like any other wrong type.
  raw.SetDword("double", 1);
  EXPECT_THROW(settings.ReadValue("double", TTaggedValue::Double(0)), ERegistryException);
  settings.Accessor().CloseKey();
  // With no key open, reads give the default and writes are refused with the value's name.
  EXPECT_EQ(settings.ReadValue("int32", TTaggedValue::Integer32(42)).Integer, 42);
  try {
    settings.WriteValue("int32", TTaggedValue::Integer32(1), TTaggedValue::Integer32(0));
    ADD_FAILURE() << "write without a key succeeded";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(std::string(error.what()),
              "Erreur à définition des données pour 'int32'");
  }
}

}  // namespace
}  // namespace pur
