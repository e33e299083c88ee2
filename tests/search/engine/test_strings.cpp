// The tree's texts come from the string table of the module that holds the engine.
#include <gtest/gtest.h>

#include "Algo_Rech.h"

namespace pur {
namespace {

TEST(Strings, ComeFromTheModulesStringTable) {
  TRAPosteDeTravail tree;
  EXPECT_EQ(tree.GetName(), "Poste de travail (table d'essai)");
  EXPECT_EQ(TMasque("*.x", true).ToText(), "*.x - [Recursif (table d'essai)]");
}

}  // namespace
}  // namespace pur
