// Reader of a file's version block, and the program's names and banner built on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "VersionNumbers.h"

namespace pur {

// Kinds of GetVersionString, numbered from 0 in this order; any other number looks up the name
// given as third argument.
enum TVersionKind : int32_t {
  vkFileVersion,
  vkComments,
  vkFileDescription,
  vkLegalCopyright,
  vkProductName,
  vkProductVersion,
  vkCompanyName,
};

// The fixed-information halves of a version, most significant first.
struct TVersionHalves {
  uint32_t MostSignificant = 0;
  uint32_t LeastSignificant = 0;
};

class TVersionInfo {
 public:
  explicit TVersionInfo(const std::string& fileName);
  TVersionInfo(const TVersionInfo&) = delete;
  TVersionInfo& operator=(const TVersionInfo&) = delete;

  bool Valid() const { return Valid_; }
  uint32_t Size() const { return Size_; }
  const std::string& FileName() const { return FileName_; }

  // Language in the low 16 bits, code page in the high 16 bits.
  std::optional<uint32_t> GetTranslation() const;
  std::string GetTranslationText() const;
  const VS_FIXEDFILEINFO* GetFixedInfo() const;
  // Zeroes for a file without a version block (the program only asks its own executable).
  TVersionHalves GetFileVersionNumbers() const;
  TVersionHalves GetProductVersionNumbers() const;
  std::string GetStringValue(const std::string& name) const;

  std::string Comments() const { return GetStringValue("Comments"); }
  std::string CompanyName() const { return GetStringValue("CompanyName"); }
  std::string FileDescription() const { return GetStringValue("FileDescription"); }
  std::string LegalCopyright() const { return GetStringValue("LegalCopyright"); }
  std::string ProductName() const { return GetStringValue("ProductName"); }
  // Falls back to the fixed product version when the string is empty.
  std::string ProductVersion() const;

 private:
  std::string FileName_;
  bool Valid_ = false;
  uint32_t Size_ = 0;
  std::unique_ptr<uint8_t[]> Buffer_;
  DWORD Handle_ = 0;
};

// Full name of the running executable.
std::string OwnExecutableName();

std::string GetVersionString(const std::string& fileName, int32_t kind,
                             const std::string& valueName = std::string());
TVersionNumbers GetOwnFileVersion();
// "%s v%d.%d %s" (a string resource of the executable) of product name, major, minor, copyright.
std::string GetProgramBanner();

}  // namespace pur
