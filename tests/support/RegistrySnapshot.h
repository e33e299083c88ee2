// Every key and value below one registry key, byte for byte, for comparing the registry
// before and after something ran.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace purtest {

struct RegValue {
  DWORD type = 0;
  std::vector<uint8_t> data;
  bool operator==(const RegValue&) const = default;
};
// "key path|value name" -> value; a key without values shows as "key path|" with type 0.
using RegSnapshot = std::map<std::string, RegValue>;

inline void SnapshotKey(HKEY root, const std::string& path, RegSnapshot& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out[path + "|"] = {};
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameLength = sizeof name;
    DWORD type = 0, size = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    RegValue value{type, std::vector<uint8_t>(size)};
    nameLength = sizeof name;
    RegEnumValueA(key, i, name, &nameLength, nullptr, &type, value.data.data(), &size);
    out[path + "|" + std::string(name, nameLength)] = value;
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const std::string& sub : subkeys) SnapshotKey(root, path + "\\" + sub, out);
}

}  // namespace purtest
