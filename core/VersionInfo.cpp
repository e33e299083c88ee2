#include "VersionInfo.h"

#include <cstdio>
#include <cstring>

#include "ProgramResources.h"

namespace pur {

namespace {

constexpr size_t kQueryPathCapacity = 256;  // the whole path holds at most 255 characters
constexpr int kBannerCapacity = 256;
constexpr char kDefaultBannerFormat[] = "%s v%d.%d %s";

}  // namespace

TVersionInfo::TVersionInfo(const std::string& fileName) : FileName_(fileName) {
  Size_ = GetFileVersionInfoSizeA(FileName_.c_str(), &Handle_);
  if (Size_ == 0) return;
  Buffer_ = std::make_unique<uint8_t[]>(Size_);
  Valid_ = GetFileVersionInfoA(FileName_.c_str(), Handle_, Size_, Buffer_.get()) != FALSE;
}

std::optional<uint32_t> TVersionInfo::GetTranslation() const {
  if (!Valid_) return std::nullopt;
  void* data = nullptr;
  UINT length = 0;
  char path[] = "\\VarFileInfo\\Translation";
  if (!VerQueryValueA(Buffer_.get(), path, &data, &length) || length < sizeof(uint32_t))
    return std::nullopt;
  uint32_t entry = 0;
  std::memcpy(&entry, data, sizeof entry);
  return entry;
}

std::string TVersionInfo::GetTranslationText() const {
  std::optional<uint32_t> entry = GetTranslation();
  if (!entry) return std::string();
  char text[16];
  std::snprintf(text, sizeof text, "%04X%04X", static_cast<unsigned>(*entry & 0xFFFF),
                static_cast<unsigned>(*entry >> 16));
  return text;
}

const VS_FIXEDFILEINFO* TVersionInfo::GetFixedInfo() const {
  if (!Valid_) return nullptr;
  void* data = nullptr;
  UINT length = 0;
  char root[] = "\\";
  if (!VerQueryValueA(Buffer_.get(), root, &data, &length) || length < sizeof(VS_FIXEDFILEINFO))
    return nullptr;
  return static_cast<const VS_FIXEDFILEINFO*>(data);
}

TVersionHalves TVersionInfo::GetFileVersionNumbers() const {
  const VS_FIXEDFILEINFO* fixed = GetFixedInfo();
  if (!fixed) return {};
  return {fixed->dwFileVersionMS, fixed->dwFileVersionLS};
}

TVersionHalves TVersionInfo::GetProductVersionNumbers() const {
  const VS_FIXEDFILEINFO* fixed = GetFixedInfo();
  if (!fixed) return {};
  return {fixed->dwProductVersionMS, fixed->dwProductVersionLS};
}

std::string TVersionInfo::GetStringValue(const std::string& name) const {
  if (!Valid_) return std::string();
  std::string path = "\\StringFileInfo\\" + GetTranslationText() + "\\" + name;
  if (path.size() >= kQueryPathCapacity) return std::string();
  void* data = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(Buffer_.get(), path.data(), &data, &length) || data == nullptr)
    return std::string();
  // The value's length counts its zero; stop at the first zero either way.
  const char* text = static_cast<const char*>(data);
  return std::string(text, strnlen(text, length));
}

std::string TVersionInfo::ProductVersion() const {
  std::string text = GetStringValue("ProductVersion");
  if (!text.empty() || !Valid_) return text;
  TVersionHalves halves = GetProductVersionNumbers();
  return FormatVersion(halves.MostSignificant, halves.LeastSignificant);
}

std::string OwnExecutableName() {
  std::string name(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return std::string();
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

std::string GetVersionString(const std::string& fileName, int32_t kind,
                             const std::string& valueName) {
  try {
    TVersionInfo info(fileName);
    switch (kind) {
      case vkFileVersion: {
        TVersionHalves halves = info.GetFileVersionNumbers();
        return FormatVersion(halves.MostSignificant, halves.LeastSignificant);
      }
      case vkComments: return info.Comments();
      case vkFileDescription: return info.FileDescription();
      case vkLegalCopyright: return info.LegalCopyright();
      case vkProductName: return info.ProductName();
      case vkProductVersion: return info.ProductVersion();
      case vkCompanyName: return info.CompanyName();
      default: return info.GetStringValue(valueName);
    }
  } catch (const std::exception&) {
    return std::string();  // a block that can't be read is an empty answer, never an error
  }
}

TVersionNumbers GetOwnFileVersion() {
  return ParseVersion(GetVersionString(OwnExecutableName(), vkFileVersion));
}

std::string GetProgramBanner() {
  TVersionNumbers numbers = GetOwnFileVersion();
  char format[kBannerCapacity] = {};
  if (LoadStringA(GetModuleHandleA(nullptr), IDS_PROGRAM_BANNER, format, kBannerCapacity) <= 0)
    std::snprintf(format, sizeof format, "%s", kDefaultBannerFormat);
  std::string self = OwnExecutableName();
  return FormatBanner(format, GetVersionString(self, vkProductName), numbers.Major, numbers.Minor,
                      GetVersionString(self, vkLegalCopyright));
}

}  // namespace pur
