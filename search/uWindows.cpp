#include "uWindows.h"

#include <windows.h>

namespace pur {
namespace {

constexpr DWORD kTempPathBufferSize = 1024;

}  // namespace

std::string GetTempFolder() {
  char buffer[kTempPathBufferSize] = {};
  const DWORD length = GetTempPathA(kTempPathBufferSize, buffer);
  if (length == 0 || length >= kTempPathBufferSize) return {};
  return std::string(buffer, length);
}

}  // namespace pur
