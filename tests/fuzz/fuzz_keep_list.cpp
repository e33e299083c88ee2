// The keep list comes from the registry and from what the user types. Reading it must never
// fail, and what it keeps must follow its own rules: an added entry never lets a file go, a
// folder entry keeps every file below it, a wholly kept folder keeps every file in it, and
// the quick comparison of plain parts agrees with the search's matcher.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Algo.h"
#include "KeepList.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// Input: entries, one per line; the last line is the path asked about.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2048) return 0;
  std::vector<std::string> entries = Lines(std::string(reinterpret_cast<const char*>(data), size));
  const std::string path = entries.back();
  entries.pop_back();
  if (entries.size() > 16) return 0;

  bool keptBefore = false;
  std::vector<std::string> growing;
  for (const std::string& entry : entries) {
    growing.push_back(entry);
    const pur::TKeepList list(growing);
    const bool kept = list.KeepsFile(path);
    Check(!keptBefore || kept);
    keptBefore = kept;
    list.KeepsWholeFolder(path);
    pur::CheckKeepEntry(entry);

    // A plain folder entry keeps what lies below it, in any ASCII case.
    const pur::TKeepList one({entry});
    if (pur::CheckKeepEntry(entry) == pur::TKeepEntryProblem::None && !entry.empty() && entry.back() == '\\' &&
        !HasWildcard(entry)) {
      Check(one.KeepsFile(entry + "x.tmp"));
      Check(one.KeepsWholeFolder(entry));
    }
    if (one.KeepsWholeFolder(path)) Check(one.KeepsFile(path + "\\n"));
  }
  // The plain-part shortcut must agree with the matcher on any two parts.
  const size_t cut = path.find('\\');
  if (cut != std::string::npos) {
    const std::string a = path.substr(0, cut);
    const std::string b = path.substr(cut + 1);
    if (!a.empty() && !b.empty() && b.find('\\') == std::string::npos && !HasWildcard(b)) {
      const pur::TKeepList byName({b});
      Check(byName.KeepsFile("C:\\d\\" + a) == pur::MatchesWildcard(a, b));
    }
  }
  return 0;
}
