#include "RegistryKey.h"

#include <cstring>

#include "ExactPath.h"
#include "SettingsValues.h"

namespace pur {

void TRegistry::SetRootKey(HKEY rootKey) {
  CloseKey();
  RootKey_ = rootKey;
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
  CloseKey();
  HKEY key = nullptr;
  LONG result;
  if (canCreate) {
    result = RegCreateKeyExA(RootKey_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
  } else {
    result = RegOpenKeyExA(RootKey_, path.c_str(), 0, KEY_ALL_ACCESS, &key);
  }
  if (result != ERROR_SUCCESS) return false;
  CurrentKey_.Reset(key);
  return true;
}

LONG TRegistry::OpenKeyReadOnly(const std::string& path) {
  CloseKey();
  HKEY key = nullptr;
  const LONG result = RegOpenKeyExA(RootKey_, path.c_str(), 0, KEY_READ, &key);
  if (result == ERROR_SUCCESS) CurrentKey_.Reset(key);
  return result;
}

bool IsMissingKey(LONG result) {
  return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
}

void TRegistry::CloseKey() { CurrentKey_.Reset(); }

bool TRegistry::ValueExists(const std::string& name) const { return GetDataSize(name) >= 0; }

int32_t TRegistry::GetDataSize(const std::string& name) const {
  if (!CurrentKey_) return -1;
  DWORD size = 0;
  LONG result = RegQueryValueExA(CurrentKey_.Get(), name.c_str(), nullptr, nullptr, nullptr, &size);
  return result == ERROR_SUCCESS ? static_cast<int32_t>(size) : -1;
}

uint32_t TRegistry::ReadDword(const std::string& name) const {
  if (!CurrentKey_) throw ERegistryException(GetDataFailedText(name));
  DWORD type = REG_NONE;
  DWORD value = 0;
  DWORD size = sizeof value;
  // Longer data than the 4 bytes asked for fails here, before its type is looked at.
  LONG result = RegQueryValueExA(CurrentKey_.Get(), name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size);
  if (result != ERROR_SUCCESS) throw ERegistryException(GetDataFailedText(name));
  if (type != REG_DWORD) throw ERegistryException(InvalidTypeText(name));
  return value;
}

std::string TRegistry::ReadString(const std::string& name) const {
  int32_t size = GetDataSize(name);
  if (size <= 0) return std::string();
  // One more zero than asked for: stored text need not be terminated.
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  DWORD type = REG_NONE;
  DWORD length = static_cast<DWORD>(size);
  LONG result = RegQueryValueExA(CurrentKey_.Get(), name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &length);
  if (result != ERROR_SUCCESS) throw ERegistryException(GetDataFailedText(name));
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(InvalidTypeText(name));
  return std::string(buffer.data());
}

std::vector<uint8_t> TRegistry::ReadBinary(const std::string& name) const {
  int32_t size = GetDataSize(name);
  if (size <= 0) return {};
  std::vector<uint8_t> data(static_cast<size_t>(size));
  DWORD type = REG_NONE;
  DWORD length = static_cast<DWORD>(size);
  LONG result = RegQueryValueExA(CurrentKey_.Get(), name.c_str(), nullptr, &type, data.data(), &length);
  if (result != ERROR_SUCCESS) throw ERegistryException(GetDataFailedText(name));
  if (type != REG_BINARY) throw ERegistryException(InvalidTypeText(name));
  data.resize(length);
  return data;
}

void TRegistry::ReadFixedBinary(const std::string& name, void* data, uint32_t size) const {
  if (!CurrentKey_) throw ERegistryException(GetDataFailedText(name));
  std::vector<uint8_t> buffer(size);
  DWORD type = REG_NONE;
  DWORD length = size;
  LONG result =
      RegQueryValueExA(CurrentKey_.Get(), name.c_str(), nullptr, &type, buffer.data(), &length);
  if (result != ERROR_SUCCESS) throw ERegistryException(GetDataFailedText(name));
  if (type != REG_BINARY || length != size) throw ERegistryException(InvalidTypeText(name));
  std::memcpy(data, buffer.data(), size);
}

std::vector<std::string> TRegistry::ReadMultiString(const std::string& name) const {
  const std::optional<std::wstring> wideName = WideFromAnsi(name);
  if (!CurrentKey_ || !wideName) throw ERegistryException(GetDataFailedText(name));
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG result = RegQueryValueExW(CurrentKey_.Get(), wideName->c_str(), nullptr, &type, nullptr, &size);
  if (result != ERROR_SUCCESS) throw ERegistryException(GetDataFailedText(name));
  if (type != REG_MULTI_SZ) throw ERegistryException(InvalidTypeText(name));
  // Two more zeros than asked for: stored data need not be terminated.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  result = RegQueryValueExW(CurrentKey_.Get(), wideName->c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (result != ERROR_SUCCESS) throw ERegistryException(GetDataFailedText(name));
  if (type != REG_MULTI_SZ) throw ERegistryException(InvalidTypeText(name));
  std::vector<std::string> values;
  const size_t count = size / sizeof(wchar_t);
  for (size_t start = 0; start < count && buffer[start] != L'\0';) {
    const std::wstring_view value(buffer.data() + start);
    const std::optional<std::string> text = AnsiFromWide(value);
    if (!text) throw ERegistryException(GetDataFailedText(name));
    values.push_back(*text);
    start += value.size() + 1;
  }
  return values;
}

void TRegistry::WriteMultiString(const std::string& name, const std::vector<std::string>& values) {
  const std::optional<std::wstring> wideName = WideFromAnsi(name);
  std::wstring data;
  bool convertible = wideName.has_value();
  for (const std::string& value : values) {
    if (value.empty()) continue;
    const std::optional<std::wstring> wide = WideFromAnsi(value);
    if (!wide) convertible = false;
    if (wide) data += *wide + L'\0';
  }
  data += L'\0';
  const LONG result = !CurrentKey_ || !convertible
                          ? ERROR_INVALID_DATA
                          : RegSetValueExW(CurrentKey_.Get(), wideName->c_str(), 0, REG_MULTI_SZ,
                                           reinterpret_cast<const BYTE*>(data.data()),
                                           static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  if (result != ERROR_SUCCESS) throw ERegistryException(SetDataFailedText(name));
}

void TRegistry::Write(const std::string& name, DWORD type, const void* data, uint32_t size) {
  LONG result = !CurrentKey_
                    ? ERROR_INVALID_HANDLE
                    : RegSetValueExA(CurrentKey_.Get(), name.c_str(), 0, type,
                                     static_cast<const BYTE*>(data), size);
  if (result != ERROR_SUCCESS) throw ERegistryException(SetDataFailedText(name));
}

void TRegistry::WriteDword(const std::string& name, uint32_t value) {
  Write(name, REG_DWORD, &value, sizeof value);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  Write(name, REG_SZ, value.c_str(), static_cast<uint32_t>(value.size() + 1));
}

void TRegistry::WriteBinary(const std::string& name, const void* data, uint32_t size) {
  Write(name, REG_BINARY, data, size);
}

bool TRegistry::DeleteValue(const std::string& name) {
  return CurrentKey_ && RegDeleteValueA(CurrentKey_.Get(), name.c_str()) == ERROR_SUCCESS;
}

}  // namespace pur
