// The session's own token. Wine gives every process the full half of a split administrator
// token (wine-notes.md); a logon starts the user's programs with the limited half linked to it.
#pragma once

#include <windows.h>

namespace purtest {

// A primary token of the limited half, for CreateProcessAsUser; null when this process does
// not run with a full split token (it then already has the user's own rights). The caller
// closes it.
inline HANDLE LimitedToken() {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  HANDLE primary = nullptr;
  if (GetTokenInformation(own, TokenElevationType, &type, sizeof type, &size) && type == TokenElevationTypeFull &&
      GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size)) {
    DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &primary);
    CloseHandle(linked.LinkedToken);
  }
  CloseHandle(own);
  return primary;
}

}  // namespace purtest
