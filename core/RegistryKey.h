// The registry accessor: at most one open key at a time, typed reads and writes that
// raise ERegistryException with the value's name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "WinOwners.h"

namespace pur {

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The answers of an open that mean the key is not there (rather than refused).
bool IsMissingKey(LONG result);

class TRegistry {
 public:
  explicit TRegistry(HKEY rootKey = HKEY_CURRENT_USER) : RootKey_(rootKey) {}
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return RootKey_; }
  void SetRootKey(HKEY rootKey);
  HKEY CurrentKey() const { return CurrentKey_.Get(); }

  // Closes the open key first, so a path is always taken from the root. Full access, for
  // writing.
  bool OpenKey(const std::string& path, bool canCreate);
  // The same for reading only, so that a key others may only read is read all the same. The
  // system's answer: ERROR_SUCCESS, a "not found" code, or why the existing key was refused.
  LONG OpenKeyReadOnly(const std::string& path);
  void CloseKey();

  bool ValueExists(const std::string& name) const;
  // -1 when the value (or the open key) is missing.
  int32_t GetDataSize(const std::string& name) const;

  uint32_t ReadDword(const std::string& name) const;
  // REG_SZ or REG_EXPAND_SZ (unexpanded), up to its first zero.
  std::string ReadString(const std::string& name) const;
  std::vector<uint8_t> ReadBinary(const std::string& name) const;
  // Exactly size bytes of REG_BINARY.
  void ReadFixedBinary(const std::string& name, void* data, uint32_t size) const;
  // REG_MULTI_SZ, its strings in order, read through the wide calls so that no name is
  // approximated on the way.
  std::vector<std::string> ReadMultiString(const std::string& name) const;

  void WriteDword(const std::string& name, uint32_t value);
  void WriteString(const std::string& name, const std::string& value);
  void WriteBinary(const std::string& name, const void* data, uint32_t size);
  // Empty strings cannot be stored in REG_MULTI_SZ (they would end it) and are left out.
  void WriteMultiString(const std::string& name, const std::vector<std::string>& values);
  bool DeleteValue(const std::string& name);

 private:
  void Write(const std::string& name, DWORD type, const void* data, uint32_t size);

  HKEY RootKey_;
  TRegKey CurrentKey_;
};

}  // namespace pur
