// The tree stream comes from the registry and may be damaged or hostile. Loading must never
// read out of bounds or exhaust the stack; what a load yields saves to bytes that load back to
// the same tree; and a well-formed stream saves back to exactly its own bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Algo.h"

namespace {

// An independent strict reader of the format: complete records, counts of 0 or more, flags 0
// or 1, nesting within the limit, nothing after the computer record.
class StrictReader {
 public:
  StrictReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool WellFormed() {
    int32_t drives = 0;
    if (!Int(drives) || drives < 0) return false;
    for (int32_t i = 0; i < drives; ++i) {
      if (!Folder(1)) return false;
    }
    return pos_ == size_;
  }

 private:
  bool Int(int32_t& v) {
    if (size_ - pos_ < 4) return false;
    v = int32_t(uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 | uint32_t(data_[pos_ + 2]) << 16 |
                uint32_t(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return true;
  }
  bool Text() {
    if (size_ - pos_ < 1 || size_ - pos_ - 1 < data_[pos_]) return false;
    pos_ += 1 + data_[pos_];
    return true;
  }
  bool Folder(int level) {
    struct Frame {
      int32_t left;
      int level;
    };
    std::vector<Frame> stack;
    int32_t count = 0;
    if (!Text() || !Int(count) || count < 0) return false;
    stack.push_back({count, level});
    while (!stack.empty()) {
      if (stack.back().left > 0) {
        if (stack.back().level >= pur::kMaxTreeDepth) return false;
        --stack.back().left;
        const int next = stack.back().level + 1;
        if (!Text() || !Int(count) || count < 0) return false;
        stack.push_back({count, next});
        continue;
      }
      if (!Int(count) || count < 0) return false;
      for (int32_t i = 0; i < count; ++i) {
        if (!Text() || size_ - pos_ < 1 || data_[pos_] > 1) return false;
        ++pos_;
      }
      stack.pop_back();
    }
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::vector<uint8_t> LoadAndSave(const std::vector<uint8_t>& bytes, std::string* text,
                                 pur::TStreamTexts texts = pur::TStreamTexts::AsStored) {
  pur::TPosteDeTravail tree;
  pur::TMemoryStream stream(bytes);
  stream.SetTexts(texts);
  tree.LoadFromStream(stream);
  if (text != nullptr) *text = tree.ToText();
  return pur::SaveTreeBytes(tree);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  std::string text;
  std::vector<uint8_t> saved = LoadAndSave(input, &text);
  if (LoadAndSave(saved, nullptr) != saved) std::abort();
  if (StrictReader(data, size).WellFormed() && saved != input) std::abort();
  // Texts read as UTF-8 (1252 ones converted, long ones cut) are saved valid: loading them
  // again changes nothing.
  std::vector<uint8_t> converted = LoadAndSave(input, nullptr, pur::TStreamTexts::Utf8);
  if (LoadAndSave(converted, nullptr, pur::TStreamTexts::Utf8) != converted) std::abort();
  return 0;
}
