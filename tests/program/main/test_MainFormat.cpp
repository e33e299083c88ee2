// The main window's small formats: progress positions at their boundaries, one-argument
// formats with any byte in the argument, lines joined for the journal.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "uUserMainPrgm_Format.h"
#include "uUserMainPrgm_Texts.h"

namespace pur {
namespace {

TEST(MainFormat, ProgressPositionsStayInsideTheBar) {
  struct Case {
    double percent;
    int expected;
  } cases[] = {
      {0.0, 0},        {0.0004, 0},   {0.0005, 1},  {0.4994, 499}, {0.5, 500},
      {0.9995, 1000},  {1.0, 1000},   {100.0, 1000}, {-0.5, 0},     {1e300, 1000},
      {std::numeric_limits<double>::quiet_NaN(), 0}, {std::numeric_limits<double>::infinity(), 1000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressPosition(c.percent, 1000), c.expected) << "percent " << c.percent;
  }
}

TEST(MainFormat, TextFormatsTakeAnyArgument) {
  struct Case {
    const char* format;
    std::string argument;
    std::string expected;
  } cases[] = {
      {mainform::kFileDeleted, "C:\\a.tmp", " * C:\\a.tmp : OK"},
      {mainform::kFileNotDeleted, "C:\\100%s.tmp", " * C:\\100%s.tmp : FAILED"},
      {mainform::kLockedBy, "PUR400-  7", "Module verrouillé par PUR400-  7."},
      {mainform::kInitFailed, "Erreur 1002: Can't load purSearch.dll",
       "Initialisation échouée (Erreur 1002: Can't load purSearch.dll)."},
      {mainform::kPersoGainLine, "0.00 octet(s)", "Gain pour la recherche personnelle : 0.00 octet(s)"},
      {mainform::kFileDeleted, std::string(5000, 'x'), " * " + std::string(5000, 'x') + " : OK"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatText(c.format, c.argument), c.expected);
  EXPECT_EQ(FormatNumber(mainform::kInitDone, 1), "Initialisation réussie (Chargement n°1).");
  EXPECT_EQ(FormatNumber(mainform::kInitDone, -12), "Initialisation réussie (Chargement n°-12).");
}

TEST(MainFormat, SummaryLabelsEndInOneColumn) {
  const std::string labels[] = {mainform::kElapsedLine, mainform::kTempGainLine,
                                mainform::kPersoGainLine};
  for (const std::string& label : labels) EXPECT_EQ(label.find(':'), 35u) << label;
  const std::string total = mainform::kTotalLine;
  EXPECT_EQ(total.find('\n'), 50u);
  EXPECT_EQ(total.find(':') - total.find('\n') - 1, 35u);
}

TEST(MainFormat, JournalLinesEachEndInCrLf) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({""}), "\r\n");
  EXPECT_EQ(JoinLines({"a", "", "b\nc"}), "a\r\n\r\nb\nc\r\n");
}

}  // namespace
}  // namespace pur
