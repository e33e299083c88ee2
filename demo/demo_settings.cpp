// Writes the settings of the `make run` demonstration into the registry of the prefix it runs
// in, through the program's own settings store (so the keys and the root are the program's):
// a personal search over the demo drive with the usual masks, the journal on that drive, the
// log pane shown, and no first-start warning.
//   demo_settings DRIVE_ROOT JOURNAL_FOLDER CONFIRM(0|1)
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "PURGORegistry.h"

namespace {

struct Mask {
  const char* text;
  bool recursive;
};

// The options dialog's byte form of one drive holding masks on its root.
std::vector<uint8_t> TreeOfDrive(char letter, const std::vector<Mask>& masks) {
  std::vector<uint8_t> bytes;
  auto integer = [&bytes](int32_t v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
  };
  auto text = [&bytes](const std::string& t) {
    bytes.push_back(static_cast<uint8_t>(t.size()));
    bytes.insert(bytes.end(), t.begin(), t.end());
  };
  integer(1);  // one drive
  text(std::string(1, letter));
  integer(0);  // no folders below it in the tree
  integer(static_cast<int32_t>(masks.size()));
  for (const Mask& m : masks) {
    text(m.text);
    bytes.push_back(m.recursive ? 1 : 0);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::string(argv[1]).size() < 3) {
    std::fprintf(stderr, "usage: demo_settings DRIVE_ROOT JOURNAL_FOLDER CONFIRM\n");
    return 2;
  }
  try {
    pur::TPURGORegistry settings;
    settings.Load();
    settings.Display->ShowDetail = true;
    settings.Display->MinimizeToIcon = false;
    settings.Display->PosX = pur::TDisplaySettings::kCentred;
    settings.Display->PosY = pur::TDisplaySettings::kCentred;
    settings.Cleaning->EmptyRecycleBin = false;   // the Trash may hold the tests' files
    settings.Cleaning->EmptyTempFolder = false;   // so may the prefix's temporary folder
    settings.Cleaning->RunPersonalSearch = true;
    settings.Cleaning->SendToRecycleBin = false;
    settings.Cleaning->ConfirmDelete = std::atoi(argv[3]) != 0;
    settings.Cleaning->TestMode = false;
    settings.Cleaning->ReadOnlyHiddenMode = 2;
    settings.Journal->Enabled = true;
    settings.Journal->NewEachSearch = true;
    settings.Journal->Events = pur::jeElapsedTime | pur::jeGains | pur::jeMessages |
                               pur::jeWarnings | pur::jeErrors;
    settings.Journal->Location = argv[2];
    *settings.PersonalSearchData =
        TreeOfDrive(argv[1][0], {{"*.tmp", true}, {"~*.*", true}, {"*.bak", true}});
    settings.Save();
    std::printf("demo settings written under %s\n", settings.GetVersionKey().c_str());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "demo settings: %s\n", error.what());
    return 1;
  }
}
