#include <gtest/gtest.h>

#include "SettingsValues.h"

namespace pur {
namespace {

using V = TTaggedValue;

TEST(SameValue, NumbersByValueStringsByText) {
  struct Case {
    TTaggedValue a, b;
    bool same;
    const char* what;
  } cases[] = {
      {V::Boolean(true), V::Boolean(true), true, "true/true"},
      {V::Boolean(false), V::Boolean(true), false, "false/true"},
      {V::Integer32(500), V::Integer32(500), true, "500/500"},
      {V::Integer32(-1), V::Integer32(-1), true, "-1/-1"},
      {V::Integer32(524288000), V::Integer32(524288001), false, "big/big+1"},
      {V::Integer8(30), V::Integer32(30), true, "8-bit/32-bit"},
      {V::Integer16(-2), V::Integer32(-2), true, "16-bit/32-bit"},
      {V::Double(1.5), V::Single(1.5f), true, "double/single"},
      {V::Double(0.1), V::Single(0.1f), false, "0.1 double/single"},
      {V::Currency(15000), V::Double(1.5), true, "currency/double"},
      {V::DateTime(45000.25), V::DateTime(45000.25), true, "date/date"},
      {V::String("C:\\"), V::String("C:\\"), true, "text/text"},
      {V::String("c:\\"), V::String("C:\\"), false, "case differs"},
      {V::String(""), V::String(""), true, "empty/empty"},
      {V::String("1"), V::Integer32(1), false, "text/number"},
      {V::String(""), V::Boolean(false), false, "empty text/false"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameValue(c.a, c.b), c.same) << c.what;
    EXPECT_EQ(SameValue(c.b, c.a), c.same) << c.what << " (swapped)";
  }
}

TEST(FitInteger, CutsToTheWidthOfTheDefault) {
  struct Case {
    TValueKind kind;
    int32_t stored;
    int64_t expected;
  } cases[] = {
      {TValueKind::Integer8, 511, 255},   {TValueKind::Integer8, 256, 0},
      {TValueKind::Integer8, 30, 30},     {TValueKind::Integer8, -1, 255},
      {TValueKind::Integer16, 65535, -1}, {TValueKind::Integer16, 70000, 4464},
      {TValueKind::Boolean, 7, 1},        {TValueKind::Boolean, -1, 1},
      {TValueKind::Boolean, 0, 0},        {TValueKind::Integer32, -5, -5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitInteger(c.kind, c.stored), c.expected)
        << "kind " << static_cast<int>(c.kind) << " stored " << c.stored;
  }
}

TEST(SettingsErrorTexts, NameTheValueInCp1252) {
  EXPECT_EQ(InvalidTypeText("Tous les "), "Type de données incorrect pour 'Tous les '");
  EXPECT_EQ(GetDataFailedText("X"), "Erreur à l'obtention des données pour 'X'");
  EXPECT_EQ(SetDataFailedText("X"), "Erreur à définition des données pour 'X'");
}

TEST(SettingsDefaults, AsTheOptionsDialogExpectsThem) {
  TJournalSettings journal;
  EXPECT_EQ(journal.Events, 30);
  EXPECT_EQ(journal.Events & jeElapsedTime, 0);
  EXPECT_EQ(journal.Location, "C:\\");
  EXPECT_EQ(TServiceSettings().FreeSpaceThreshold, 0x1F400000);
  EXPECT_EQ(std::string(names::kEveryInterval).back(), ' ');
  EXPECT_EQ(std::string(names::kFreeSpaceThreshold).back(), ' ');
  EXPECT_EQ(std::string(names::kNewEachSearch), "Nouveau journal à chaque recherche");
}

}  // namespace
}  // namespace pur
