// The texts come from the string table of the module that holds this code (the library, or
// a test program that links the units), so that they follow the resource language.
#include <windows.h>

#include "Algo.h"
#include "LibStrings.h"
#include "ThisModule.h"

namespace pur {
namespace {

std::string LoadText(unsigned id, const char* fallback) {
  char buffer[256];
  int length = LoadStringA(ThisModule(), id, buffer, sizeof buffer);
  if (length <= 0) return fallback;
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

const std::string& PosteDeTravailText() {
  static const std::string text = LoadText(kIdsPosteDeTravail, kDefaultPosteDeTravail);
  return text;
}

const std::string& RecursifText() {
  static const std::string text = LoadText(kIdsRecursif, kDefaultRecursif);
  return text;
}

TStreamTexts ProcessStreamTexts() {
  return GetACP() == CP_UTF8 ? TStreamTexts::Utf8 : TStreamTexts::AsStored;
}

}  // namespace pur
