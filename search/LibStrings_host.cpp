// Without resources the texts are the string table's own.
#include "Algo.h"
#include "LibStrings.h"

namespace pur {

const std::string& PosteDeTravailText() {
  static const std::string text = kDefaultPosteDeTravail;
  return text;
}

const std::string& RecursifText() {
  static const std::string text = kDefaultRecursif;
  return text;
}

// Host processes speak UTF-8.
TStreamTexts ProcessStreamTexts() { return TStreamTexts::Utf8; }

}  // namespace pur
