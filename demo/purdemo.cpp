// Loads the search library by name, initialises it under a program-like identity, shows
// what every process sharing it would see, and frees it.
#include "CommaText.h"
#include "PurApi.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main() {
  purtest::PurApi api;
  std::string missing = api.Load();
  if (!missing.empty()) {
    std::printf("Can't load purSearch.dll (%s)\n", missing.c_str());
    return 1;
  }
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  char identity[16];
  std::snprintf(identity, sizeof identity, "PUR400-%3d", std::rand() % 1000);

  api.InitLibrarie(identity, "Purgo for Windows", "--------");
  if (api.GetNbLibrairy() == 0) {
    std::printf("InitLibrarie failed: %s\n", api.LastError().c_str());
    return 1;
  }
  std::printf("Identity          : %s\n", identity);
  std::printf("Load count        : %d\n", api.GetNbLibrairy());
  bool locked = api.LockLib(identity);
  char owner[16] = "";
  api.NameLocked(owner);
  std::printf("Lock              : %s (owner \"%s\")\n", locked ? "taken" : "held by another copy", owner);
  std::printf("Applications      :\n");
  for (const std::string& entry : pur::ReadCommaText(api.AppNames())) std::printf("  %s\n", entry.c_str());
  std::printf("Status, progress  : %d, %.1f\n", api.GetCurrentStatus(), api.GetCurrentPercent());
  if (locked) api.UnLockLib(identity);
  api.FreeLibrarie();
  std::printf("Freed; load count seen now: %d\n", api.GetNbLibrairy());
  return 0;
}
