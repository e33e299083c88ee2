#include "FileListFormat.h"

namespace pur {

std::string AttrLettersOf(uint32_t attributes) {
  std::string letters;
  if (attributes & kAttrArchive) letters += 'A';
  if (attributes & kAttrHidden) letters += 'H';
  if (attributes & kAttrReadOnly) letters += 'R';
  if (attributes & kAttrSystem) letters += 'S';
  return letters;
}

bool StartsTicked(const std::string& attrLetters) {
  return attrLetters.find_first_of("RSH") == std::string::npos;
}

WindowPlace CenterOver(int mainLeft, int mainTop, int mainWidth, int mainHeight, int formWidth,
                       int formHeight, int screenWidth, int screenHeight) {
  WindowPlace place;
  place.left = mainLeft + (mainWidth - formWidth) / 2;
  place.top = mainTop + (mainHeight - formHeight) / 2;
  if (place.left < 0) place.left = 0;
  if (place.left + formWidth > screenWidth) place.left = screenWidth - formWidth;
  if (place.top < 0) place.top = 0;
  if (place.top + formHeight > screenHeight) place.top = screenHeight - formHeight;
  return place;
}

}  // namespace pur
