// The comma-text reader takes text from shared memory that any process may have written.
// It must never read out of bounds, and reading what the writer wrote gives the list back.
#include "CommaText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  pur::StringList items = pur::ReadCommaText(text, nullptr);

  // Items cannot hold a zero byte (the text ends there), so every list read is writable.
  std::string written = pur::WriteCommaText(items, nullptr);
  if (pur::ReadCommaText(written, nullptr) != items) std::abort();

  // The bytes split at each zero also form a list of items for the writer.
  pur::StringList raw;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      raw.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (raw.size() == 1 && raw[0].empty()) raw.clear();
  if (pur::ReadCommaText(pur::WriteCommaText(raw, nullptr), nullptr) != raw) std::abort();
  return 0;
}
