// The setup program built from this tree, end to end in the test prefix: a silent install
// puts the binaries, the guide, the licence, the Start menu entries and the Add/Remove
// Programs entry in place; the installed PURGOWIN.exe /S cleans a sandbox folder; the silent
// uninstall (the command that Add/Remove Programs would run) takes back exactly what the
// installation made, the agent's Run value too, and leaves the user's settings and journal alone.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AgentStartup.h"
#include "ProgramDriver.h"

namespace maintest {
namespace {

constexpr char kProduct[] = "Purgo for Windows";
constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Purgo for Windows";
constexpr char kUninstaller[] = "desinstaller.exe";
constexpr char kGuide[] = "guide-utilisateur.txt";
constexpr char kLicence[] = "LICENCE.txt";
constexpr char kJournal[] = "PURGOWIN.LOG";
constexpr auto kSetupTimeout = 60s;
constexpr auto kUninstallTimeout = 30s;

// The shortcuts, one with an accent: the installer's French texts must reach the file system
// as the names that Windows programs see (UTF-8 in this test's process).
const std::vector<std::string> kShortcuts = {"Purgo for Windows.lnk", "Guide de l'utilisateur.lnk",
                                             "Désinstaller Purgo for Windows.lnk"};

std::vector<std::string> InstalledFiles() {
  return {"PURGOWIN.exe", "purSearch.dll", "PURGOSRV.exe", "about.dll", "puroptions.dll", kGuide, kLicence,
          kUninstaller};
}

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string KnownFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return std::string(path) + "\\";
}

// The native Program Files: the setup and its binaries are 64-bit.
std::string InstallFolder() { return KnownFolder(CSIDL_PROGRAM_FILES) + kProduct + "\\"; }
std::string StartMenuFolder() { return KnownFolder(CSIDL_COMMON_PROGRAMS) + kProduct + "\\"; }

std::optional<std::string> MachineString(const char* key, const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(value);
}

// `view`: 0 for the native view, KEY_WOW64_32KEY for the one 32-bit programs see.
bool KeyExists(HKEY root, const std::string& key, REGSAM view = 0) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

bool MachineKeyExists(const char* key, REGSAM view = 0) {
  return KeyExists(HKEY_LOCAL_MACHINE, key, view);
}

// The machine field of a PE file's header, 0 when it is none.
WORD PeMachine(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  IMAGE_DOS_HEADER dos{};
  if (bytes.size() < sizeof dos) return 0;
  std::memcpy(&dos, bytes.data(), sizeof dos);
  const size_t at = static_cast<size_t>(dos.e_lfanew) + sizeof(DWORD);
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
      at + sizeof(IMAGE_FILE_HEADER) > bytes.size()) {
    return 0;
  }
  IMAGE_FILE_HEADER file{};
  std::memcpy(&file, bytes.data() + at, sizeof file);
  return file.Machine;
}

// Runs a command line to its end; its exit code, or nothing when it did not start or end.
std::optional<DWORD> RunToEnd(std::string commandLine, std::chrono::milliseconds timeout) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return std::nullopt;
  }
  std::optional<DWORD> code;
  if (WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    code = exitCode;
  } else {
    TerminateProcess(info.hProcess, 99);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return code;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

// The uninstaller copies itself away and returns at once; its copy does the work.
bool UninstallDone(const std::string& installFolder) {
  return WaitFor(
      [&] {
        return !Exists(installFolder + kUninstaller) && !MachineKeyExists(kUninstallKey) &&
               !Exists(StartMenuFolder());
      },
      kUninstallTimeout);
}

// What an earlier, interrupted run of this test left: uninstalled, and the journal and the
// agent's Run value it kept.
void RemoveEarlierInstallation() {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, pur::kRunKeyPath, pur::kAgentRunValue);
  const std::string folder = InstallFolder();
  if (Exists(folder + kUninstaller)) {
    RunToEnd("\"" + folder + kUninstaller + "\" /S", kUninstallTimeout);
    UninstallDone(folder);
  }
  DeleteFileA((folder + kJournal).c_str());
  RemoveDirectoryA(folder.c_str());
}

class Release : public ::testing::Test {
 protected:
  void SetUp() override { RemoveEarlierInstallation(); }
  void TearDown() override { RemoveEarlierInstallation(); }
};

constexpr char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Purgo for Windows";

// The event source naming the installed program as it stands (SYSTEM has one view only).
void ExpectEventSource(const std::string& folder) {
  char messageFile[MAX_PATH] = {};
  DWORD type = 0;
  DWORD size = sizeof messageFile;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kEventSourceKey, "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                         &type, messageFile, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(std::string(messageFile), folder + "PURGOWIN.exe");
  DWORD types = 0;
  size = sizeof types;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kEventSourceKey, "TypesSupported", RRF_RT_REG_DWORD, nullptr, &types, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(types, 7u);
}

void ExpectInstalled(const std::string& folder) {
  for (const std::string& name : InstalledFiles()) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExA((folder + name).c_str(), GetFileExInfoStandard, &data)) << name;
    EXPECT_GT(data.nFileSizeLow, 0u) << name;
  }
  // The texts are the staged Windows forms of the guide and the licence, byte for byte.
  const std::string stage = WindowsPath(PUR_SETUP_STAGE) + "\\docs\\";
  for (const char* name : {kGuide, kLicence}) {
    const std::string installed = ReadBytes(folder + name);
    EXPECT_EQ(installed, ReadBytes(stage + name)) << name;
  }
  const std::string guide = ReadBytes(folder + kGuide);
  EXPECT_NE(guide.find("GUIDE DE L'UTILISATEUR\r\n"), std::string::npos);
  EXPECT_NE(guide.find("Premier d\xE9marrage\r\n"), std::string::npos) << "not CP1252 with CR LF";

  for (const std::string& name : kShortcuts) EXPECT_TRUE(Exists(StartMenuFolder() + name)) << name;

  const std::string uninstaller = "\"" + folder + kUninstaller + "\"";
  const struct {
    const char* name;
    std::string value;
  } entries[] = {
      {"DisplayName", kProduct},
      {"Publisher", "Corvane"},
      {"InstallLocation", folder.substr(0, folder.size() - 1)},
      {"DisplayIcon", folder + "PURGOWIN.exe"},
      {"UninstallString", uninstaller},
      {"QuietUninstallString", uninstaller + " /S"},
  };
  for (const auto& e : entries) {
    EXPECT_EQ(MachineString(kUninstallKey, e.name).value_or("<none>"), e.value) << e.name;
  }
  EXPECT_TRUE(MachineString(kUninstallKey, "DisplayVersion").has_value());
  EXPECT_FALSE(MachineKeyExists(kUninstallKey, KEY_WOW64_32KEY))
      << "the uninstall entry went to the 32-bit view";
  for (const char* name : {"PURGOWIN.exe", "purSearch.dll", "PURGOSRV.exe", "puroptions.dll", "about.dll"}) {
    EXPECT_EQ(PeMachine(folder + name), IMAGE_FILE_MACHINE_AMD64) << name;
  }
  ExpectEventSource(folder);
}

// Every value under a key and its sub-keys, as "sub\\key|name" -> type and bytes.
using RegistryDump = std::map<std::string, std::pair<DWORD, std::string>>;

void DumpKey(HKEY root, const std::string& path, const std::string& relative, RegistryDump& dump) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  constexpr DWORD kNameSize = 256;
  constexpr DWORD kDataSize = 8192;
  for (DWORD i = 0;; ++i) {
    char name[kNameSize] = {};
    DWORD nameSize = kNameSize;
    std::string data(kDataSize, '\0');
    DWORD dataSize = kDataSize;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS) {
      break;
    }
    data.resize(dataSize);
    dump[relative + "|" + name] = {type, data};
  }
  for (DWORD i = 0;; ++i) {
    char name[kNameSize] = {};
    DWORD nameSize = kNameSize;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    DumpKey(root, path + "\\" + name, relative + "\\" + name, dump);
  }
  RegCloseKey(key);
}

std::optional<DWORD> RunSetup() {
  const std::string setup = WindowsPath(PUR_SETUP);
  if (!Exists(setup)) {
    ADD_FAILURE() << setup << " is missing";
    return std::nullopt;
  }
  return RunToEnd("\"" + setup + "\" /S", kSetupTimeout);
}

FILETIME LastWrite(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

TEST_F(Release, SilentInstallRunAndUninstallKeepTheUsersSettingsAndJournal) {
  const std::string folder = InstallFolder();
  ASSERT_FALSE(Exists(folder)) << folder << " is in the way";

  ASSERT_EQ(RunSetup(), std::optional<DWORD>(0u));
  ExpectInstalled(folder);
  ASSERT_TRUE(Exists(folder + "PURGOWIN.exe"));
  // A silent deployment runs as an administrator: the agent's logon start is not its to set.
  EXPECT_EQ(pur::AgentRunEntry(), "");

  // A run of the installed program on a sandbox; its journal goes into the program folder,
  // where the uninstaller must still leave it.
  Sandbox box;
  const std::string disk = box.Folder("disk");
  box.Folder("disk\\sub");
  const struct {
    const char* name;
    bool found;
  } files[] = {{"a.tmp", true}, {"sub\\b.tmp", true}, {"keep.txt", false}, {"sub\\keep.tmpl", false}};
  for (const auto& f : files) WriteFileBytes(disk + f.name, std::string("content of ") + f.name);

  Settings settings;
  settings.Quiet();
  settings.Dword(pur::names::kCleaningKey, pur::names::kRunPersonalSearch, 1);
  settings.Dword(pur::names::kCleaningKey, pur::names::kConfirmDelete, 0);
  settings.Dword(pur::names::kCleaningKey, pur::names::kSendToRecycleBin, 0);
  settings.Binary(pur::names::kPersonalKey, pur::names::kPersonalSearchData,
                  TreeStreamFor(disk, {{"*.tmp", true}}));
  settings.Dword(pur::names::kJournalKey, pur::names::kJournalEnabled, 1);
  settings.String(pur::names::kJournalKey, pur::names::kLocation, folder);

  {
    Program program("/S", {}, folder + "PURGOWIN.exe");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitExit(kRunTimeout)) << "the installed program did not end its run";
    EXPECT_EQ(program.ExitCode(), 0u);
  }
  for (const auto& f : files) EXPECT_EQ(Exists(disk + f.name), !f.found) << f.name;
  const std::string journal = ReadBytes(folder + kJournal);
  EXPECT_NE(journal.find(" * " + disk + "a.tmp : OK"), std::string::npos) << journal;

  // The settings as the run left them (it saves them when it closes), before the uninstaller.
  pur::TPURGORegistry registry;
  const HKEY root = pur::CanUseLocalMachine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  RegistryDump before;
  DumpKey(root, registry.GetProductKey(), "", before);
  const std::string location = "\\" + registry.ProductVersion + "\\" +
                               pur::names::kJournalKey + "|" + pur::names::kLocation;
  ASSERT_EQ(before.count(location), 1u) << "the settings are not where the test looks";
  EXPECT_EQ(before.at(location).second, folder + '\0');
  EXPECT_FALSE(KeyExists(root, registry.GetProductKey(), KEY_WOW64_32KEY))
      << "settings written to the 32-bit view";

  // As the program and the options box leave it for the installed agent.
  ASSERT_TRUE(pur::KeepAgentStartInStep(true, folder));
  ASSERT_EQ(pur::AgentRunEntry(), "\"" + folder + "PURGOSRV.exe\"");

  const auto quiet = MachineString(kUninstallKey, "QuietUninstallString");
  ASSERT_TRUE(quiet.has_value());
  const auto uninstallCode = RunToEnd(*quiet, kUninstallTimeout);
  ASSERT_TRUE(uninstallCode.has_value()) << "the uninstaller did not finish";
  EXPECT_EQ(*uninstallCode, 0u);
  ASSERT_TRUE(UninstallDone(folder)) << "the uninstallation left its entries";
  EXPECT_FALSE(MachineKeyExists(kEventSourceKey)) << "the event source is left";
  EXPECT_EQ(pur::AgentRunEntry(), "") << "the agent would still be started at logon";

  // Only the journal remains of the program folder, unchanged.
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{kJournal});
  EXPECT_EQ(ReadBytes(folder + kJournal), journal);
  for (const std::string& name : kShortcuts) EXPECT_FALSE(Exists(StartMenuFolder() + name)) << name;
  RegistryDump after;
  DumpKey(root, registry.GetProductKey(), "", after);
  EXPECT_EQ(after, before) << "the user's settings changed";
}

// While the program runs, its files are in use: a silent setup over it and a silent uninstall
// both refuse (exit code 2) and change nothing; once it is closed, the uninstall goes through.
TEST_F(Release, SetupAndUninstallRefuseWhileTheProgramRuns) {
  const std::string folder = InstallFolder();
  ASSERT_EQ(RunSetup(), std::optional<DWORD>(0u));
  const std::string exe = folder + "PURGOWIN.exe";
  const FILETIME installed = LastWrite(exe);

  Settings settings;
  settings.Quiet();
  {
    Program program("", {}, exe);
    ASSERT_TRUE(program.WaitReady()) << "the installed program did not come up";

    EXPECT_EQ(RunSetup(), std::optional<DWORD>(2u));
    const FILETIME afterSetup = LastWrite(exe);
    EXPECT_EQ(CompareFileTime(&installed, &afterSetup), 0) << "the running program was replaced";
    // "_?=" makes the uninstaller work in place and wait, so its exit code is seen.
    const std::string inPlace = "\"" + folder + kUninstaller + "\" /S _?=" +
                                folder.substr(0, folder.size() - 1);
    EXPECT_EQ(RunToEnd(inPlace, kUninstallTimeout), std::optional<DWORD>(2u));
    for (const std::string& name : InstalledFiles()) EXPECT_TRUE(Exists(folder + name)) << name;
    EXPECT_TRUE(MachineKeyExists(kUninstallKey));
    ASSERT_TRUE(program.Running());
  }

  const auto quiet = MachineString(kUninstallKey, "QuietUninstallString");
  ASSERT_TRUE(quiet.has_value());
  EXPECT_EQ(RunToEnd(*quiet, kUninstallTimeout), std::optional<DWORD>(0u));
  EXPECT_TRUE(UninstallDone(folder));
  EXPECT_FALSE(Exists(exe));
}

// The Windows Installer package: a silent install per machine into the 64-bit Program Files,
// a higher-versioned package that replaces it in place, and a silent uninstall that leaves
// nothing of either.
constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr auto kMsiTimeout = 60s;

// The uninstall entries of the product's MSI packages, by product code.
std::vector<std::string> MsiUninstallEntries() {
  std::vector<std::string> entries;
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, KEY_READ, &root) != ERROR_SUCCESS) return entries;
  for (DWORD i = 0;; ++i) {
    char name[256] = {};
    DWORD size = sizeof name;
    if (RegEnumKeyExA(root, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::string key = std::string(kUninstallRoot) + "\\" + name;
    DWORD windowsInstaller = 0;
    DWORD dataSize = sizeof windowsInstaller;
    if (MachineString(key.c_str(), "DisplayName") == std::optional<std::string>(kProduct) &&
        RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "WindowsInstaller", RRF_RT_REG_DWORD, nullptr, &windowsInstaller,
                     &dataSize) == ERROR_SUCCESS &&
        windowsInstaller == 1) {
      entries.push_back(key);
    }
  }
  RegCloseKey(root);
  return entries;
}

// msiexec's exit code, and how long it took (printed: Wine's msiexec speed is worth knowing).
std::optional<DWORD> Msiexec(const std::string& action, const std::string& unixPackage) {
  const auto start = std::chrono::steady_clock::now();
  const auto code = RunToEnd("msiexec " + action + " \"" + WindowsPath(unixPackage) + "\" /qn", kMsiTimeout);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::cout << "msiexec " << action << " " << unixPackage.substr(unixPackage.find_last_of('/') + 1) << ": "
            << ms.count() << " ms, exit code " << code.value_or(9999) << std::endl;
  return code;
}

// Under Wine the Start menu entries of a per-machine package go to the user's Programs
// folder; Windows puts them in the common one.
std::vector<std::string> MenuFolders() {
  return {KnownFolder(CSIDL_COMMON_PROGRAMS) + kProduct + "\\", KnownFolder(CSIDL_PROGRAMS) + kProduct + "\\"};
}

void RemoveEarlierMsiInstallation() {
  for (const std::string& key : MsiUninstallEntries()) {
    const std::string code = key.substr(key.find_last_of('\\') + 1);
    RunToEnd("msiexec /x " + code + " /qn", kMsiTimeout);
  }
}

class ReleaseMsi : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEarlierInstallation();
    RemoveEarlierMsiInstallation();
  }
  void TearDown() override { RemoveEarlierMsiInstallation(); }
};

// What the package made, for the version `version` whose texts are staged in `stage`.
void ExpectMsiInstalled(const std::string& folder, const std::string& stage, const std::string& version) {
  SCOPED_TRACE(version);
  std::vector<std::string> expected = {"LICENCE.txt", "PURGOSRV.exe", "PURGOWIN.exe", "about.dll",
                                       "guide-utilisateur.txt", "purSearch.dll", "puroptions.dll"};
  const bool templates = Exists(WindowsPath(stage) + "\\policies\\");
  if (templates) expected.push_back("policies");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderEntries(folder), expected);
  const std::string docs = WindowsPath(stage) + "\\docs\\";
  EXPECT_EQ(ReadBytes(folder + kGuide), ReadBytes(docs + kGuide)) << "not this version's guide";
  EXPECT_EQ(ReadBytes(folder + kLicence), ReadBytes(docs + kLicence));
  if (templates) {
    for (const std::string& name : FolderEntries(WindowsPath(stage) + "\\policies\\")) {
      EXPECT_TRUE(Exists(folder + "policies\\" + name)) << name;
    }
  }
  for (const char* name : {"PURGOWIN.exe", "purSearch.dll", "PURGOSRV.exe", "puroptions.dll", "about.dll"}) {
    EXPECT_EQ(PeMachine(folder + name), IMAGE_FILE_MACHINE_AMD64) << name;
  }

  const std::vector<std::string> entries = MsiUninstallEntries();
  ASSERT_EQ(entries.size(), 1u) << "one uninstall entry";
  const struct {
    const char* name;
    std::string value;
  } values[] = {
      {"DisplayVersion", version},
      {"Publisher", "Corvane"},
  };
  for (const auto& v : values) {
    EXPECT_EQ(MachineString(entries[0].c_str(), v.name).value_or("<none>"), v.value) << v.name;
  }
  DWORD noModify = 0;
  DWORD size = sizeof noModify;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, entries[0].c_str(), "NoModify", RRF_RT_REG_DWORD, nullptr, &noModify, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(noModify, 1u);

  // InstallLocation is not checked: Wine's msiexec leaves it empty (see wine-notes).
  ExpectEventSource(folder);

  int shortcuts = 0;
  for (const std::string& menu : MenuFolders()) shortcuts += Exists(menu + "Purgo for Windows.lnk") ? 1 : 0;
  EXPECT_EQ(shortcuts, 1) << "one Start menu entry";
}

TEST_F(ReleaseMsi, SilentInstallUpgradeInPlaceAndUninstallLeaveNothing) {
  const std::string folder = InstallFolder();
  ASSERT_FALSE(Exists(folder)) << folder << " is in the way";

  ASSERT_EQ(Msiexec("/i", PUR_MSI), std::optional<DWORD>(0u));
  ExpectMsiInstalled(folder, PUR_SETUP_STAGE, PUR_MSI_VERSION);

  ASSERT_EQ(Msiexec("/i", PUR_MSI_UPGRADE), std::optional<DWORD>(0u));
  ExpectMsiInstalled(folder, PUR_MSI_UPGRADE_STAGE, PUR_MSI_UPGRADE_VERSION);

  // The older package over the newer one is refused and changes nothing.
  EXPECT_NE(Msiexec("/i", PUR_MSI), std::optional<DWORD>(0u));
  ExpectMsiInstalled(folder, PUR_MSI_UPGRADE_STAGE, PUR_MSI_UPGRADE_VERSION);

  ASSERT_EQ(Msiexec("/x", PUR_MSI_UPGRADE), std::optional<DWORD>(0u));
  EXPECT_FALSE(Exists(folder)) << "the program folder is left";
  for (const std::string& menu : MenuFolders()) EXPECT_FALSE(Exists(menu)) << menu;
  EXPECT_TRUE(MsiUninstallEntries().empty());
  EXPECT_FALSE(MachineKeyExists(kEventSourceKey));
}

}  // namespace
}  // namespace maintest
