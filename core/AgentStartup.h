// The cleaning agent's start at logon: one value in the user's Run key, kept in step with
// "Démarrer le service automatiquement" by the options box's OK and the setup's page only.
#pragma once

#include <string>

namespace pur {

inline constexpr char kAgentFileName[] = "PURGOSRV.exe";
inline constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kAgentRunValue[] = "Purgo for Windows - nettoyage automatique";

// The command the Run value holds for the agent in this folder (with its trailing backslash).
std::string AgentRunCommand(const std::string& folder);

// Writes the Run value when autoStart is set and the agent is in the folder, and removes it
// otherwise, so that no logon starts a file that is not there. False when the registry refused.
bool KeepAgentStartInStep(bool autoStart, const std::string& folder);

// The Run value as it stands; empty when there is none.
std::string AgentRunEntry();

}  // namespace pur
