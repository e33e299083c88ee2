// The names Windows would trim or read as a device, in one table.
#include <gtest/gtest.h>

#include "WindowsNames.h"

namespace pur {
namespace {

TEST(WindowsNames, TrimmedAndDeviceNamesAreTold) {
  const struct {
    const char* name;
    bool changed;
  } cases[] = {
      {"Docs", false},       {"Docs.", true},      {"Space ", true},     {"a. ", true},
      {".hidden", false},    {"a.b", false},       {"", false},          {"CON", true},
      {"con", true},         {"Nul.tmp", true},    {"AUX.tar.gz", true}, {"PRN ", true},
      {"NUL .txt", true},    {"COM1", true},       {"lpt9.log", true},   {"COM0", false},
      {"COM10", false},      {"LPT", false},       {"CONSOLE", false},   {"xNUL", false},
      {"nul_", false},       {"\xC3\xA9t\xC3\xA9.", true},  {"\xC3\xA9t\xC3\xA9", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNameWindowsWouldChange(c.name), c.changed) << "\"" << c.name << "\"";
  }
}

}  // namespace
}  // namespace pur
