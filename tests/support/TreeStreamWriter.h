// The search definition's byte stream for one sandbox folder, as the options dialog stores
// it: one drive, the folder chain down to the folder, the masks on the last folder only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace purtest {

struct Mask {
  std::string text;
  bool recursive;
};

// `folder` is a full path with its final backslash, such as "C:\users\x\sandbox\".
inline std::string TreeStreamFor(const std::string& folder, const std::vector<Mask>& masks) {
  std::string bytes;
  auto integer = [&bytes](int32_t v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); };
  auto text = [&bytes](const std::string& t) {
    bytes += static_cast<char>(t.size());
    bytes += t;
  };
  std::vector<std::string> chain;
  for (size_t start = 3; start < folder.size();) {
    const size_t end = folder.find('\\', start);
    chain.push_back(folder.substr(start, end - start));
    start = end + 1;
  }
  integer(1);                   // one drive
  text(folder.substr(0, 1));    // its letter
  for (const std::string& name : chain) {
    integer(1);                 // one child: the next folder of the chain
    text(name);
  }
  integer(0);                   // the last folder has no children in the tree
  integer(static_cast<int32_t>(masks.size()));
  for (const Mask& m : masks) {
    text(m.text);
    bytes += static_cast<char>(m.recursive ? 1 : 0);
  }
  for (size_t i = 0; i < chain.size(); ++i) integer(0);  // no masks above it, nor on the drive
  return bytes;
}

}  // namespace purtest
