// Real directory trees in fresh temporary folders, and trees of places that reach them.
#pragma once

#include <windows.h>

#include <string>

#include "Algo_Rech.h"

namespace pur::test {

// A fresh folder under the temporary folder, deleted with everything in it at the end
// (TreeRemoval.h says what it does with links).
class TempTree {
 public:
  explicit TempTree(const std::string& tag);
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& Root() const { return root_; }  // ends with a backslash
  std::string Path(const std::string& relative) const { return root_ + relative; }
  void Dir(const std::string& relative, DWORD attributes = 0) const;
  void File(const std::string& relative, DWORD attributes = 0) const;
  // Keeps the folder (a test that hands it to another process).
  void Keep() { keep_ = true; }

 private:
  std::string root_;
  bool keep_ = false;
};

// The node for `path` (ending with a backslash), adding the drive and folders on the way.
TRADossier& NodeAt(TRAPosteDeTravail& computer, const std::string& path);
MaskRef AddMask(IArborescense& node, const std::string& text, bool recursive);

// Paths made relative to `root` (those outside it are kept whole).
StringList Relative(const StringList& paths, const std::string& root);
inline StringList Relative(const TPathList& paths, const std::string& root) {
  return Relative(paths.ToStrings(), root);
}
std::string Joined(const StringList& items);  // for failure messages
inline std::string Joined(const TPathList& items) { return Joined(items.ToStrings()); }

// What a search of the computer finds, relative to the tree's root.
inline StringList SearchAt(TRAPosteDeTravail& computer, const TempTree& tree) {
  return Relative(computer.Search(), tree.Root());
}

}  // namespace pur::test
