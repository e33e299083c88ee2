// The cleaning agent's entry: one agent per session with its icon, or, with a switch, one
// cleaning now ("/once") or the end of the running agent ("/quit").
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CleaningAgent.h"
#include "CommandLine.h"
#include "SafeDllLoad.h"
#include "WinOwners.h"

namespace {

using namespace pur::agent;
namespace texts = pur::agent::texts;

constexpr char kOnceSwitch[] = "/ONCE";
constexpr char kQuitSwitch[] = "/QUIT";
// How long "/quit" waits for the agent to end: a running search stops within a moment.
constexpr DWORD kQuitWaitMs = 60 * 1000;
constexpr UINT kCloseSendMs = 5 * 1000;

// Exit codes; "/once" answers those of one cleaning (TCleaningOutcome::TKind).
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitAlreadyRunning = 2;
constexpr int kExitNoAgent = 5;
// Started with administrator rights the user's session does not have: nothing was cleaned.
constexpr int kExitElevated = 6;

std::vector<std::string> Parameters() {
  std::vector<std::string> parameters;
  for (int i = 1; i < __argc; ++i) parameters.emplace_back(__argv[i]);
  return parameters;
}

int RunOnce() {
  TAgentCleaning cleaning;
  return cleaning.Run(true).Kind;
}

int QuitRunningAgent() {
  HWND agent = FindWindowA(kAgentWindowClass, nullptr);
  if (!agent) return kExitNoAgent;
  DWORD processId = 0;
  GetWindowThreadProcessId(agent, &processId);
  const pur::THandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  // Sent, so that it reaches the agent inside its menu or a search too; posted when the agent
  // is busy in a step that does not take messages.
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(agent, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseSendMs, &answer)) {
    PostMessageA(agent, WM_CLOSE, 0, 0);
  }
  if (!process) return kExitDone;
  return WaitForSingleObject(process.Get(), kQuitWaitMs) == WAIT_OBJECT_0 ? kExitDone : kExitFailed;
}

int RunAgent(HINSTANCE instance) {
  // Elevated, it would read the machine's settings, delete with rights the user lacks and open
  // the program with them: it says why and ends, before it can stand in for the user's agent.
  if (RunsElevated()) {
    TAgentCleaning().NoteError(texts::kJournalElevated);
    TCleaningAgent refusing;
    if (refusing.CreateRefusing(instance, texts::kElevatedNotice)) refusing.Run();
    return kExitElevated;
  }
  const pur::THandle mutex(CreateMutexA(nullptr, FALSE, kAgentMutexName));
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    // The running agent says so on its icon; this one ends.
    if (HWND running = FindWindowA(kAgentWindowClass, nullptr)) PostMessageA(running, kMessageAlreadyRunning, 0, 0);
    return kExitAlreadyRunning;
  }
  TCleaningAgent agent;
  if (!agent.Create(instance)) return kExitFailed;
  return agent.Run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything loads a library: no DLL from the current folder or PATH.
  pur::RestrictDllSearch();
  const std::vector<std::string> parameters = Parameters();
  if (pur::HasSwitch(parameters, kQuitSwitch)) return QuitRunningAgent();
  if (pur::HasSwitch(parameters, kOnceSwitch)) return RunOnce();
  return RunAgent(instance);
}
