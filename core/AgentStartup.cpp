#include "AgentStartup.h"

#include <windows.h>

#include <optional>

#include "ExactPath.h"
#include "WinOwners.h"

namespace pur {

std::string AgentRunCommand(const std::string& folder) {
  return "\"" + folder + kAgentFileName + "\"";
}

bool KeepAgentStartInStep(bool autoStart, const std::string& folder) {
  // Wide and exact: the folder may hold names the code page has no form for.
  const std::optional<std::wstring> agent = WideFromAnsi(folder + kAgentFileName);
  const DWORD attributes = agent ? GetFileAttributesW(agent->c_str()) : INVALID_FILE_ATTRIBUTES;
  const bool present = !folder.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  HKEY opened = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                      nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const TRegKey key(opened);
  if (!autoStart || !present) {
    const LONG result = RegDeleteValueA(key.Get(), kAgentRunValue);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }
  const std::string command = AgentRunCommand(folder);
  return RegSetValueExA(key.Get(), kAgentRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                        static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS;
}

std::string AgentRunEntry() {
  char buffer[2 * MAX_PATH] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  if (RegGetValueA(HKEY_CURRENT_USER, kRunKeyPath, kAgentRunValue, RRF_RT_REG_SZ, &type, buffer, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return buffer;
}

}  // namespace pur
