// The one form in which a path goes to the file system: "\\?\" before it and the wide calls,
// so that Windows neither trims a final dot or blank nor reads a device name, and long paths
// work. A path is checked once, where it is made (a caller's text, or a listed name joined
// to its folder), and then carried with its ANSI text, which is what the user reviewed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pur {

// The ANSI text as UTF-16; none when it is not valid in the process's ANSI code page.
std::optional<std::wstring> WideFromAnsi(std::string_view text);

// The UTF-16 text in the process's ANSI code page, exactly: none when a character has no
// exact form there (never a best-fit or default character) or the text does not convert
// back to the same UTF-16.
std::optional<std::string> AnsiFromWide(std::wstring_view text);

// One part of a path that names exactly one entry of its folder: not empty, ".", "..", not
// holding a separator, ':' or a wildcard, and not a name Windows would change.
bool IsExactPart(std::wstring_view part);

class TExactPath {
 public:
  // "X:\..." or "\\server\share\..."; a final backslash marks a folder. None when the text
  // is not valid in the code page or any part is not exact (see IsExactPart).
  static std::optional<TExactPath> FromAnsi(std::string_view path);

  // A listed entry of this folder (the path ends with a backslash); `ansiName` is the exact
  // ANSI form of `wideName`, which the listing has already checked.
  TExactPath Child(std::string_view ansiName, std::wstring_view wideName) const;
  // This path with its final backslash: the form of a folder.
  TExactPath AsFolder() const;

  // The text the caller knows and the user reviewed.
  const std::string& Ansi() const { return ansi_; }
  // "\\?\X:\..." or "\\?\UNC\server\share\...": the form for every wide file call.
  const std::wstring& Wide() const { return wide_; }
  // The form without "\\?\", for the shell, which does not take the long form. Only safe
  // because every part was checked exact.
  std::wstring PlainWide() const;
  // The wide form of every folder between the root and the last part, shallowest first,
  // without final backslashes.
  std::vector<std::wstring> FoldersBelowRoot() const;
  bool IsFolder() const { return !ansi_.empty() && ansi_.back() == '\\'; }
  bool IsRoot() const { return wide_.size() == rootWide_; }

 private:
  TExactPath(std::string ansi, std::wstring wide, size_t rootWide)
      : ansi_(std::move(ansi)), wide_(std::move(wide)), rootWide_(rootWide) {}

  std::string ansi_;
  std::wstring wide_;
  size_t rootWide_ = 0;  // length of "\\?\X:\" or "\\?\UNC\server\share\" in wide_
};

}  // namespace pur
