// The automatic-mode switch among the program's parameters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

struct SwitchCase {
  std::vector<std::string> Parameters;
  bool Expected;
};

TEST(CommandLine, AutoModeSwitchInEitherCaseOnly) {
  const SwitchCase cases[] = {
      {{"/S"}, true},
      {{"/s"}, true},
      {{"-S"}, false},
      {{"-s"}, false},
      {{"S"}, false},
      {{"/SX"}, false},
      {{"/S "}, false},
      {{" /S"}, false},
      {{"//S"}, false},
      {{"/"}, false},
      {{""}, false},
      {{}, false},
      {{"a", "b", "/s"}, true},
      {{"/S", "/X"}, true},
      {{"/x", "-s", "s", "/sx"}, false},
      {{"Été", "/s"}, true},
  };
  for (const SwitchCase& c : cases) {
    std::string shown;
    for (const std::string& p : c.Parameters) shown += "[" + p + "]";
    EXPECT_EQ(pur::HasAutoModeSwitch(c.Parameters), c.Expected) << "parameters " << shown;
  }
}

}  // namespace
