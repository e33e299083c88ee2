#include "PathList.h"

#include <cstring>
#include <stdexcept>

namespace pur {
namespace {

// Large enough that the blocks cost nothing per path, small enough for a search of one file.
constexpr size_t kBlockSize = 64 * 1024;

}  // namespace

char* TPathList::Reserve(size_t size) {
  if (size > UINT32_MAX) throw std::length_error("path too long");
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < size) {
    if (blocks_.size() >= UINT32_MAX) throw std::length_error("too many paths");
    // A path never spans two blocks: a longer one gets a block of its own size.
    const auto capacity = static_cast<uint32_t>(size > kBlockSize ? size : kBlockSize);
    blocks_.push_back(Block{std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
  }
  Block& block = blocks_.back();
  places_.push_back(Place{static_cast<uint32_t>(blocks_.size() - 1), block.used});
  char* out = block.data.get() + block.used;
  block.used += static_cast<uint32_t>(size);
  textBytes_ += size;
  return out;
}

void TPathList::Add(std::string_view folder, std::string_view name) {
  char* out = Reserve(folder.size() + name.size());
  if (!folder.empty()) std::memcpy(out, folder.data(), folder.size());
  if (!name.empty()) std::memcpy(out + folder.size(), name.data(), name.size());
}

void TPathList::Append(TPathList&& other) {
  if (Empty()) {
    *this = std::move(other);
  } else {
    for (size_t i = 0; i < other.Count(); ++i) Add(other[i]);
  }
  other.Clear();
}

void TPathList::Clear() {
  blocks_.clear();
  places_.clear();
  textBytes_ = 0;
}

std::string_view TPathList::operator[](size_t index) const {
  if (index >= places_.size()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  const Place& place = places_[index];
  const Block& block = blocks_[place.block];
  const bool nextInBlock = index + 1 < places_.size() && places_[index + 1].block == place.block;
  const uint32_t end = nextInBlock ? places_[index + 1].offset : block.used;
  return std::string_view(block.data.get() + place.offset, end - place.offset);
}

std::vector<std::string> TPathList::ToStrings() const {
  std::vector<std::string> strings;
  strings.reserve(Count());
  for (size_t i = 0; i < Count(); ++i) strings.emplace_back((*this)[i]);
  return strings;
}

}  // namespace pur
