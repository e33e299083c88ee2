// The found paths of a search, in few allocations: their text sits in large blocks that never
// move, and each path costs a small place record besides its bytes. A million paths would
// otherwise cost a string object and a heap block each, several times the bytes themselves.
// Windows-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pur {

class TPathList {
 public:
  TPathList() = default;
  TPathList(TPathList&&) noexcept = default;
  TPathList& operator=(TPathList&&) noexcept = default;
  TPathList(const TPathList&) = delete;
  TPathList& operator=(const TPathList&) = delete;

  // Appends folder + name as one path.
  void Add(std::string_view folder, std::string_view name = {});
  // Appends every path of `other`, which is left empty.
  void Append(TPathList&& other);
  void Clear();

  size_t Count() const { return places_.size(); }
  bool Empty() const { return places_.empty(); }
  // Valid as long as the list is neither cleared nor destroyed (adding never moves a path).
  std::string_view operator[](size_t index) const;
  // The bytes of all paths together.
  size_t TextBytes() const { return textBytes_; }
  std::vector<std::string> ToStrings() const;

 private:
  struct Block {
    std::unique_ptr<char[]> data;
    uint32_t capacity;
    uint32_t used;
  };
  // Where a path starts; it ends where the next one of its block starts, or at the block's end.
  struct Place {
    uint32_t block;
    uint32_t offset;
  };

  char* Reserve(size_t size);

  std::vector<Block> blocks_;
  std::deque<Place> places_;  // grows without copying what it holds
  size_t textBytes_ = 0;
};

}  // namespace pur
