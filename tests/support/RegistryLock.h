// A registry key whose access list is narrowed for a while, as an administrator may narrow
// it: for the reading of keys that exist but may not be opened as asked. The key's owner may
// always rewrite the list, so the old one comes back when the lock goes and the test's tree
// can be removed.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

namespace purtest {

// Everyone may read the key, nobody may change it.
inline constexpr char kReadOnlyAccess[] = "D:P(A;;KR;;;WD)";
// An empty list: nobody may open the key for anything.
inline constexpr char kNoAccess[] = "D:P";

class KeyAccessLock {
 public:
  KeyAccessLock(HKEY root, const std::string& path, const char* accessList) {
    if (RegOpenKeyExA(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (size == 0 ||
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) {
      saved_.clear();
      return;
    }
    PSECURITY_DESCRIPTOR narrowed = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(accessList, SDDL_REVISION_1, &narrowed,
                                                              nullptr)) {
      return;
    }
    locked_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                narrowed) == ERROR_SUCCESS;
    LocalFree(narrowed);
  }
  ~KeyAccessLock() {
    if (locked_) RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
    if (key_) RegCloseKey(key_);
  }
  KeyAccessLock(const KeyAccessLock&) = delete;
  KeyAccessLock& operator=(const KeyAccessLock&) = delete;

  bool Locked() const { return locked_; }

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> saved_;
  bool locked_ = false;
};

}  // namespace purtest
