// Helpers of the options box's window tests: the real puroptions.dll loaded by full path,
// its box opened on the test's thread and worked from a second thread by messages, the
// product's registry keys read back raw, and a sandbox folder under the prefix's Temp.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "OptionsIds.h"
#include "PURGORegistry.h"
#include "RegistrySnapshot.h"
#include "TreeRemoval.h"

namespace puropt_test {

namespace ids = pur::options::ids;

constexpr char kCompanyKey[] = "Software\\Corvane";
constexpr char kProductKey[] = "Software\\Corvane\\Purgo for Windows";
constexpr char kVersionKey[] = "Software\\Corvane\\Purgo for Windows\\4.0.0.0";
constexpr char kBoxCaption[] = "Options";
constexpr char kDangerCaption[] = "Attention";
constexpr char kConsentCaption[] = "Nettoyage automatique";
constexpr auto kWindowWait = std::chrono::seconds(15);

inline std::string OwnFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The library as the program holds it, but by full path from the test's own folder.
class OptionsLibrary {
 public:
  using Open = uint8_t(__stdcall*)(HWND);
  OptionsLibrary() : Module_(LoadLibraryA((OwnFolder() + "puroptions.dll").c_str())) {
    if (Module_) OpenBox = reinterpret_cast<Open>(reinterpret_cast<void*>(GetProcAddress(Module_, "OpenOptionsBox")));
  }
  ~OptionsLibrary() {
    if (Module_) FreeLibrary(Module_);
  }
  OptionsLibrary(const OptionsLibrary&) = delete;
  OptionsLibrary& operator=(const OptionsLibrary&) = delete;
  HMODULE Module() const { return Module_; }
  Open OpenBox = nullptr;

 private:
  HMODULE Module_;
};

inline HKEY SettingsRoot() { return pur::CanUseLocalMachine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

inline void RemoveProductKeys() {
  RegDeleteTreeA(SettingsRoot(), kProductKey);
  RegDeleteKeyA(SettingsRoot(), kProductKey);
  RegDeleteKeyA(SettingsRoot(), kCompanyKey);  // only when nothing else lives there
}

using purtest::RegSnapshot;
using purtest::RegValue;
using purtest::SnapshotKey;

inline RegSnapshot Snapshot() {
  RegSnapshot snapshot;
  SnapshotKey(SettingsRoot(), kProductKey, snapshot);
  return snapshot;
}

inline RegValue Dword(uint32_t value) {
  RegValue v{REG_DWORD, std::vector<uint8_t>(4)};
  memcpy(v.data.data(), &value, 4);
  return v;
}
inline RegValue Sz(const std::string& text) {
  RegValue v{REG_SZ, std::vector<uint8_t>(text.begin(), text.end())};
  v.data.push_back(0);
  return v;
}
// As the narrow calls of a UTF-8 process read REG_MULTI_SZ: each string and its zero, then one more.
inline RegValue MultiSz(const std::vector<std::string>& texts) {
  RegValue v{REG_MULTI_SZ, {}};
  for (const std::string& text : texts) {
    v.data.insert(v.data.end(), text.begin(), text.end());
    v.data.push_back(0);
  }
  v.data.push_back(0);
  return v;
}
inline RegValue Binary(std::vector<uint8_t> bytes) { return {REG_BINARY, std::move(bytes)}; }

inline void Write(const std::string& section, const std::string& name, const RegValue& value) {
  const std::string path = section.empty() ? kVersionKey : std::string(kVersionKey) + "\\" + section;
  HKEY key = nullptr;
  if (RegCreateKeyExA(SettingsRoot(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot create " + path);
  RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
  RegCloseKey(key);
}

// Administrators' policies, machine's and user's; tests remove them with everything below.
constexpr char kPolicyCompanyKey[] = "Software\\Policies\\Corvane";
constexpr char kPolicyKey[] = "Software\\Policies\\Corvane\\Purgo for Windows";

inline void WritePolicy(HKEY root, const std::string& section, const std::string& name, const RegValue& value) {
  const std::string path = section.empty() ? kPolicyKey : std::string(kPolicyKey) + "\\" + section;
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create policy " + path);
  RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
  RegCloseKey(key);
}

inline void RemovePolicies() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegDeleteTreeA(root, kPolicyKey);
    RegDeleteKeyA(root, kPolicyKey);
    RegDeleteKeyA(root, kPolicyCompanyKey);  // only when nothing else lives there
  }
}

inline RegSnapshot PolicySnapshot() {
  RegSnapshot snapshot;
  SnapshotKey(HKEY_LOCAL_MACHINE, kPolicyKey, snapshot);
  RegSnapshot user;
  SnapshotKey(HKEY_CURRENT_USER, kPolicyKey, user);
  for (auto& [name, value] : user) snapshot["HKCU\\" + name] = value;
  return snapshot;
}

inline std::string Key(const std::string& section) {
  return section.empty() ? std::string(kVersionKey) : std::string(kVersionKey) + "\\" + section;
}

inline std::string TextOf(HWND window) {
  char text[4096] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

inline std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The box of the test's thread, worked from the driver's thread. Problems are collected as
// texts and checked by the test's thread afterwards.
class Box {
 public:
  Box(HWND dialog, DWORD thread, std::vector<std::string>& problems)
      : Dialog(dialog), Thread(thread), Problems(problems) {}

  HWND Item(int id) const { return GetDlgItem(Dialog, id); }
  void SetCheck(int id, bool on) const {
    SendMessageA(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void SetText(int id, const std::string& text) const {
    SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::string Text(int id) const { return TextOf(Item(id)); }
  // A button press that cannot open another window.
  void Click(int id) const {
    SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  // A button press that may open a modal window: the driver must not wait for it.
  void Press(int id) const {
    PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  void ShowPage(int page) const {
    HWND tabs = Item(ids::kTabs);
    SendMessageA(tabs, TCM_SETCURSEL, page, 0);
    NMHDR header{tabs, static_cast<UINT_PTR>(ids::kTabs), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(Dialog, WM_NOTIFY, ids::kTabs, reinterpret_cast<LPARAM>(&header));
  }
  // A cleaning type picked in the list as the user does, which tells the box.
  void PickCleaningType(int type) const {
    HWND types = Item(ids::kCleaningType);
    const auto count = SendMessageA(types, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index)
      if (SendMessageA(types, CB_GETITEMDATA, index, 0) == type) SendMessageA(types, CB_SETCURSEL, index, 0);
    SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(ids::kCleaningType, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
  }
  // A radio button as the user clicks it (its page must be shown).
  void ClickButton(int id) const { SendMessageA(Item(id), BM_CLICK, 0, 0); }

  // Another visible top-level window of the box's thread (a message box, the folder picker),
  // with that caption when one is given.
  HWND WaitOther(const std::string& caption = {}) const {
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    while (std::chrono::steady_clock::now() < deadline) {
      if (HWND found = FindOther(caption)) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Problems.push_back("no window '" + caption + "' appeared");
    return nullptr;
  }
  struct OtherSearch {
    HWND dialog;
    const std::string* caption;
    HWND found;
  };
  static BOOL CALLBACK MatchOther(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<OtherSearch*>(param);
    // Dialog windows only: tool tips and drop-down lists are top-level windows too.
    if (window == s->dialog || !IsWindowVisible(window) || ClassOf(window) != "#32770") return TRUE;
    if (!s->caption->empty() && TextOf(window) != *s->caption) return TRUE;
    s->found = window;
    return FALSE;
  }
  HWND FindOther(const std::string& caption) const {
    OtherSearch search{Dialog, &caption, nullptr};
    EnumThreadWindows(Thread, &MatchOther, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  // The text of a message box (its static control).
  static BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
    const std::string cls = ClassOf(child);
    if (cls == "Static" || cls == "STATIC") *reinterpret_cast<std::string*>(param) += TextOf(child);
    return TRUE;
  }
  static std::string MessageOf(HWND box) {
    std::string text;
    EnumChildWindows(box, &CollectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
  }
  static void Answer(HWND box, int button) { PostMessageA(box, WM_COMMAND, button, 0); }
  // OK, then the automatic-cleaning question answered with a click on its button `answer`
  // (IDYES, IDNO) when one is expected, 0 when none may come. Gives the question's text.
  std::string Ok(int answer = 0) const {
    Press(IDOK);
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    while (IsWindow(Dialog) && std::chrono::steady_clock::now() < deadline) {
      HWND question = FindOther(kConsentCaption);
      if (!question) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      const std::string text = MessageOf(question);
      if (GetWindow(question, GW_OWNER) != Dialog) Problems.push_back("the question is not owned by the box");
      if (!answer) Problems.push_back("unexpected question: " + text);
      PostMessageA(GetDlgItem(question, answer ? answer : IDNO), BM_CLICK, 0, 0);
      WaitGone(question);
      return text;
    }
    if (answer) Problems.push_back("OK asked no question");
    return {};
  }
  bool WaitGone(HWND window) const {
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    while (IsWindow(window) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (IsWindow(window)) Problems.push_back("window did not close");
    return !IsWindow(window);
  }

  // Tree view items by their labels from the top ("Poste de travail", "C:\", "users", ...).
  HTREEITEM FindPlace(const std::vector<std::string>& labels) const {
    HWND tree = Item(ids::kTree);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (size_t depth = 0; item && depth < labels.size(); ++depth) {
      while (item && ItemText(item) != labels[depth])
        item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
      if (item && depth + 1 < labels.size())
        item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    }
    return item;
  }
  bool SelectPlace(const std::vector<std::string>& labels) const {
    HTREEITEM item = FindPlace(labels);
    if (!item) {
      HWND tree = Item(ids::kTree);
      auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
      Problems.push_back("no tree item for " + (labels.empty() ? std::string() : labels.back()) + "; root '" +
                         (root ? ItemText(root) : std::string("none")) + "'");
      return false;
    }
    SendMessageA(Item(ids::kTree), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return true;
  }
  std::string ItemText(HTREEITEM item) const {
    char text[MAX_PATH] = {};
    TVITEMA data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(Item(ids::kTree), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return text;
  }
  std::vector<std::string> MaskLines() const {
    std::vector<std::string> lines;
    HWND list = Item(ids::kMasks);
    const auto count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[512] = {};
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      lines.emplace_back(text);
    }
    return lines;
  }
  void AddMask(const std::string& text, bool recursive) const {
    SetText(ids::kMaskText, text);
    SetCheck(ids::kRecursive, recursive);
    Click(ids::kAddMask);
  }
  // Adds a folder through the real folder picker: the picker is told the folder, then OK.
  // The box adds the folder after the picker has gone: wait until it shows it selected, so
  // that the next message cannot overtake it.
  void AddFolderWithPicker(const std::string& folder) const {
    PickWith(ids::kAddFolder, folder);
    const std::string leaf = Lower(folder.substr(folder.find_last_of('\\') + 1));
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    while (Lower(SelectedPlace()) != leaf && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (Lower(SelectedPlace()) != leaf) Problems.push_back("the box did not select " + folder);
  }
  std::string SelectedPlace() const {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(Item(ids::kTree), TVM_GETNEXTITEM, TVGN_CARET, 0));
    return item ? ItemText(item) : std::string();
  }
  void PickWith(int button, const std::string& folder) const {
    Press(button);
    HWND picker = WaitOther();
    if (!picker) return;
    // The picker fills its tree as it starts: tell it the folder until its selection shows it.
    const std::string leaf = Lower(folder.substr(folder.find_last_of('\\') + 1));
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    bool selected = false;
    while (!selected && std::chrono::steady_clock::now() < deadline) {
      SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
      selected = Lower(PickerSelection(picker)) == leaf;
      if (!selected) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!selected) Problems.push_back("the picker did not select " + folder + " but " + PickerSelection(picker));
    Answer(picker, IDOK);
    WaitGone(picker);
  }
  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
  }
  // The label of the item selected in the picker's tree.
  static std::string PickerSelection(HWND picker) {
    HWND tree = FindWindowExA(picker, nullptr, WC_TREEVIEWA, nullptr);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!tree || !item) return {};
    char text[MAX_PATH] = {};
    TVITEMA data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return text;
  }

  // The box's tips: control id -> (text, area). An area is empty while its control's page
  // is not shown.
  struct Tip {
    std::string text;
    RECT area;
  };
  static BOOL CALLBACK MatchTips(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(param);
    if (ClassOf(window) != TOOLTIPS_CLASSA || GetWindow(window, GW_OWNER) != search->first) return TRUE;
    search->second = window;
    return FALSE;
  }
  std::map<int, Tip> Tips() const {
    std::pair<HWND, HWND> search{Dialog, nullptr};
    EnumThreadWindows(Thread, &MatchTips, reinterpret_cast<LPARAM>(&search));
    std::map<int, Tip> tips;
    if (!search.second) return tips;
    const auto count = SendMessageA(search.second, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      TTTOOLINFOA tool{};
      tool.cbSize = TTTOOLINFOA_V2_SIZE;
      if (!SendMessageA(search.second, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool))) continue;
      char text[256] = {};
      tool.lpszText = text;
      SendMessageA(search.second, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
      tips[static_cast<int>(tool.uId)] = {text, tool.rect};
    }
    return tips;
  }

  HWND Dialog;
  DWORD Thread;
  std::vector<std::string>& Problems;
};

// Opens the box on this thread while `drive` works it from another; the box is cancelled
// (and every window it opened answered) if the driver leaves it open.
struct BoxRun {
  uint8_t Result = 0;
  bool Shown = false;
  bool ClosedByWatchdog = false;
  std::vector<std::string> Problems;
};

// Opens a box for `owner` and answers when it is closed: the export, or the window class.
using BoxOpener = std::function<uint8_t(HWND owner)>;

inline BoxRun RunBox(const BoxOpener& open, const std::function<void(Box&)>& drive, HWND owner = nullptr) {
  BoxRun run;
  const DWORD thread = GetCurrentThreadId();
  std::atomic<bool> finished{false};
  std::thread driver([&] {
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    HWND dialog = nullptr;
    while (!dialog && !finished && std::chrono::steady_clock::now() < deadline) {
      Box probe(nullptr, thread, run.Problems);
      dialog = probe.FindOther(kBoxCaption);
      if (!dialog) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!dialog) return;
    run.Shown = true;
    Box box(dialog, thread, run.Problems);
    drive(box);
    const auto closeBy = std::chrono::steady_clock::now() + kWindowWait;
    while (!finished && std::chrono::steady_clock::now() < closeBy)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    while (!finished) {  // left open: answer whatever is shown, then cancel the box
      run.ClosedByWatchdog = true;
      if (HWND other = box.FindOther({})) Box::Answer(other, IDCANCEL);
      if (HWND other = box.FindOther({})) Box::Answer(other, IDNO);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  run.Result = open(owner);
  finished = true;
  driver.join();
  return run;
}

inline BoxRun RunBox(const OptionsLibrary& library, const std::function<void(Box&)>& drive,
                     HWND owner = nullptr) {
  return RunBox([&](HWND o) { return library.OpenBox(o); }, drive, owner);
}

// A fresh folder tree under the prefix's Temp folder, removed with everything in it.
class Sandbox {
 public:
  Sandbox() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    // The long, exact spelling: the tree stores what the folder picker reports.
    char longBase[MAX_PATH] = {};
    GetLongPathNameA(base, longBase, MAX_PATH);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      Path = std::string(longBase) + "puropt-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(attempt);
      if (CreateDirectoryA(Path.c_str(), nullptr)) return;
    }
    throw std::runtime_error("no sandbox folder");
  }
  ~Sandbox() { purtest::RemoveTree(Path); }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::string Folder(const std::string& relative) const {
    const std::string path = Path + "\\" + relative;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
  }
  std::string File(const std::string& relative) const {
    const std::string path = Path + "\\" + relative;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, nullptr);
    CloseHandle(h);
    return path;
  }

  std::string Path;

};

}  // namespace puropt_test
