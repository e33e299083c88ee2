// The sample files of the end-to-end cleanings: what a sandbox holds, how each file is
// matched by the masks, and its bytes. The library's client and the program's automatic mode
// start from the same samples and add their own.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "TreeStreamWriter.h"

namespace purtest {

// What should happen to a sample file.
enum class Kind {
  Keep,          // not matched: never listed, never touched
  Plain,         // matched, deletable, non-empty
  Empty,         // matched, deleted, but reported as 0 bytes
  ReadOnly,      // matched; deleted only when read-only and hidden files are allowed
  Hidden,        // likewise
  System,        // matched, never deleted
  Twice,         // matched by two masks: listed twice, the second deletion finds nothing
  ShortNameOnly  // matches "*.tmp" through its 8.3 name only: never listed
};

struct SampleFile {
  const char* name;  // relative to the sandbox; every "%" stands for the case's tag
  Kind kind;
  DWORD attributes;
};

// The layout needs the folders "sub", "sub\deeper" and "hidden dir" (made hidden last).
inline constexpr SampleFile kCommonSamples[] = {
    {"%a.tmp", Kind::Plain, 0},
    {"%B.TMP", Kind::Plain, 0},
    {"~%draft.doc", Kind::Plain, 0},
    {"%comma,name.tmp", Kind::Plain, 0},
    {"%top.bak", Kind::Plain, 0},
    {"%empty.tmp", Kind::Empty, 0},
    {"%readonly.tmp", Kind::ReadOnly, FILE_ATTRIBUTE_READONLY},
    {"%hidden.tmp", Kind::Hidden, FILE_ATTRIBUTE_HIDDEN},
    {"%system.tmp", Kind::System, FILE_ATTRIBUTE_SYSTEM},
    {"%keep.txt", Kind::Keep, 0},
    {"%tmp.txt", Kind::Keep, 0},
    {"%a.tmp.txt", Kind::Keep, 0},
    {"%draft~.doc", Kind::Keep, 0},
    {"sub\\%b file.tmp", Kind::Plain, 0},
    {"sub\\~%lock.txt", Kind::Plain, 0},
    {"sub\\%inner.bak", Kind::Keep, 0},  // "*.bak" is not recursive
    {"sub\\%keep.dat", Kind::Keep, 0},
    {"sub\\deeper\\%c.Tmp", Kind::Plain, 0},
    {"hidden dir\\%in-hidden.tmp", Kind::Keep, 0},  // hidden folders are never entered
};

inline const std::vector<Mask> kSampleMasks = {{"*.tmp", true}, {"~*.*", true}, {"*.bak", false}};

// The common samples followed by a test's own.
inline std::vector<SampleFile> SamplesWith(std::initializer_list<SampleFile> own) {
  std::vector<SampleFile> samples(std::begin(kCommonSamples), std::end(kCommonSamples));
  samples.insert(samples.end(), own.begin(), own.end());
  return samples;
}

// The sample's name with the case's tag for every "%".
inline std::string SampleName(const char* pattern, const std::string& tag) {
  std::string name = pattern;
  for (size_t at = name.find('%'); at != std::string::npos; at = name.find('%', at + tag.size())) {
    name.replace(at, 1, tag);
  }
  return name;
}

// Contents differ from file to file and hold every byte value.
inline std::string ContentFor(const std::string& name, Kind kind) {
  if (kind == Kind::Empty) return {};
  std::string bytes = name + "\r\n";
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes + name;
}

}  // namespace purtest
