// Shows each page of the options box for scripts/screenshots.d/options (not a test).
//   shot_options.exe SYNC_FOLDER
// For each page, then for a refused keep-list entry, for the automatic-cleaning question and
// for two pages under administrators' policies: writes SYNC_FOLDER\<stage>.ready
// holding "x y w h" of what to take, then waits for SYNC_FOLDER\<stage>.done. The settings it
// shows are a sample; the registry and the agent's Run value are put back as they were, and
// the policies it wrote are removed.
#include <cstdio>
#include <fstream>

#include "AgentStartup.h"
#include "OptionsBoxDriver.h"
#include "OptionsModel.h"

using namespace puropt_test;

namespace {

constexpr const char* kStages[] = {"affichage", "nettoyage", "journal", "recherche", "service"};
constexpr char kRefusalStage[] = "refus";
constexpr char kQuestionStage[] = "question";
constexpr const char* kPolicyStages[] = {"nettoyage-admin", "service-admin"};
constexpr char kSampleKeepList[] = "C:\\Projets\\\r\n*.docx\r\nD:\\Photos\\*.tmp";
constexpr auto kStageWait = std::chrono::seconds(170);

std::vector<uint8_t> SampleSearch() {
  pur::options::TSearchDefinition sample({});
  auto* drive = sample.AddDrive('C');
  sample.AddMask(*drive, "~*.tmp", false);
  auto* temp = sample.AddFolder("C:\\Windows\\Temp");
  sample.AddMask(*temp, "*.tmp", true);
  sample.AddMask(*temp, "*.log", false);
  auto* cache = sample.AddFolder("C:\\users\\Public\\Documents\\Cache");
  sample.AddMask(*cache, "*.bak", true);
  sample.AddMask(*cache, "Vignettes\\*.db", false);
  sample.AddFolder("D:\\Projets\\Anciens ćwiczenia 写真");  // names in other scripts
  return sample.Bytes();
}

void Restore(const RegSnapshot& saved) {
  RemoveProductKeys();
  for (const auto& [entry, value] : saved) {
    const std::string path = entry.substr(0, entry.find('|'));
    const std::string name = entry.substr(entry.find('|') + 1);
    HKEY key = nullptr;
    if (RegCreateKeyExA(SettingsRoot(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      continue;
    if (!name.empty() || value.type != 0)
      RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
  }
}

// Machine and user policies over the sample: some settings of the Nettoyage and Journal
// pages, and no automatic cleaning.
void WriteSamplePolicies() {
  WritePolicy(HKEY_LOCAL_MACHINE, "Nettoyage", "Envoyer les elements dans la corbeille", Dword(1));
  WritePolicy(HKEY_CURRENT_USER, "Nettoyage", "Tester", Dword(1));
  WritePolicy(HKEY_LOCAL_MACHINE, "Nettoyage", "Age minimum en jours", Dword(30));
  WritePolicy(HKEY_LOCAL_MACHINE, "Nettoyage", "Toujours garder", MultiSz({"C:\\Comptabilite\\", "*.pst"}));
  WritePolicy(HKEY_LOCAL_MACHINE, "Journal", "Activer la journalisation", Dword(1));
  WritePolicy(HKEY_LOCAL_MACHINE, "Service", "Interdire le nettoyage automatique", Dword(1));
}

void PutBackRunEntry(const std::string& command) {
  if (command.empty()) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, pur::kRunKeyPath, pur::kAgentRunValue);
  } else {
    RegSetKeyValueA(HKEY_CURRENT_USER, pur::kRunKeyPath, pur::kAgentRunValue, REG_SZ, command.c_str(),
                    static_cast<DWORD>(command.size() + 1));
  }
}

// The box and the window in front of it, for the script to take.
void Announce(const std::string& stage, HWND box, HWND front) {
  RECT r{}, f{};
  GetWindowRect(box, &r);
  if (front && GetWindowRect(front, &f)) UnionRect(&r, &r, &f);
  std::ofstream(stage + ".ready") << r.left << " " << r.top << " " << (r.right - r.left) << " " << (r.bottom - r.top)
                                  << "\n";
}

bool WaitFile(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + kStageWait;
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// Each page of kPolicyStages as the box shows it under the sample policies, then Cancel.
bool ShowPolicyPages(const OptionsLibrary& library, const std::string& sync) {
  WriteSamplePolicies();
  BoxRun run = RunBox(library, [&](Box& box) {
    const int pages[] = {ids::kPageCleaning, ids::kPageService};
    for (size_t i = 0; i < std::size(pages); ++i) {
      box.ShowPage(pages[i]);
      RedrawWindow(box.Dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      const std::string stage = sync + "\\" + kPolicyStages[i];
      Announce(stage, box.Dialog, nullptr);
      if (!WaitFile(stage + ".done")) return;
    }
    box.Press(IDCANCEL);
  });
  RemovePolicies();
  for (const std::string& problem : run.Problems) std::fprintf(stderr, "%s\n", problem.c_str());
  return run.Shown && run.Problems.empty() && run.Result == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string sync = argv[1];
  const RegSnapshot saved = Snapshot();
  const std::string runEntry = pur::AgentRunEntry();  // OK keeps it in step: put back at the end
  RemoveProductKeys();
  Write("", "Premier demarrage", Dword(0));
  Write("Affichage", "Afficher le detail", Dword(1));
  Write("Journal", "Emplacement du journal", Sz("C:\\Journaux\\"));
  Write("Personnel", "Recherche personnelle", Binary(SampleSearch()));

  OptionsLibrary library;
  int status = 1;
  if (library.OpenBox) {
    BoxRun run = RunBox(library, [&](Box& box) {
      for (int page = 0; page < ids::kPageCount; ++page) {
        box.ShowPage(page);
        if (page == ids::kPageCleaning) {
          box.SetText(ids::kMinimumAgeDays, "7");
          box.SetText(ids::kKeepList, kSampleKeepList);
        }
        if (page == ids::kPageSearch) {
          box.SelectPlace({"Poste de travail", "C:\\", "Windows", "Temp"});
          SendMessageA(box.Item(ids::kMasks), LB_SETCURSEL, 0, 0);
          SendMessageA(box.Dialog, WM_COMMAND, MAKEWPARAM(ids::kMasks, LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(box.Item(ids::kMasks)));
        }
        RedrawWindow(box.Dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const std::string stage = sync + "\\" + kStages[page];
        Announce(stage, box.Dialog, nullptr);
        if (!WaitFile(stage + ".done")) return;
      }
      // A keep-list entry that OK refuses, with the message over the page.
      box.SetText(ids::kKeepList, std::string(kSampleKeepList) + "\r\nC:\\Projets\\..\\Photos\\");
      box.Press(IDOK);
      HWND refusal = box.WaitOther(kBoxCaption);
      if (!refusal) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      Announce(sync + "\\" + kRefusalStage, box.Dialog, refusal);
      if (!WaitFile(sync + "\\" + kRefusalStage + ".done")) return;
      Box::Answer(refusal, IDOK);
      box.WaitGone(refusal);
      box.SetText(ids::kKeepList, kSampleKeepList);
      // The question OK asks with the sample's automatic start, shown with the box behind it.
      box.Press(IDOK);
      HWND question = box.WaitOther(kConsentCaption);
      if (!question) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      Announce(sync + "\\" + kQuestionStage, box.Dialog, question);
      WaitFile(sync + "\\" + kQuestionStage + ".done");
      Box::Answer(question, IDNO);
    });
    status = run.Shown && run.Problems.empty() ? 0 : 1;
    for (const std::string& problem : run.Problems) std::fprintf(stderr, "%s\n", problem.c_str());
    if (status == 0 && !ShowPolicyPages(library, sync)) status = 1;
  }
  Restore(saved);
  PutBackRunEntry(runEntry);
  return status;
}
