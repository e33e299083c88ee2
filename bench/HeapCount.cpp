#include "HeapCount.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int64_t> gLiveBytes{0};
std::atomic<int64_t> gPeakBytes{0};

void* CountedAlloc(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  const int64_t live = gLiveBytes += static_cast<int64_t>(_msize(block));
  int64_t peak = gPeakBytes.load();
  while (live > peak && !gPeakBytes.compare_exchange_weak(peak, live)) {
  }
  return block;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  gLiveBytes -= static_cast<int64_t>(_msize(block));
  std::free(block);
}

}  // namespace

namespace bench {

int64_t LiveHeapBytes() { return gLiveBytes.load(); }

int64_t MarkHeapPeak() {
  const int64_t live = gLiveBytes.load();
  gPeakBytes = live;
  return live;
}

int64_t PeakHeapBytes() { return gPeakBytes.load(); }

}  // namespace bench

void* operator new(size_t size) {
  if (void* block = CountedAlloc(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, size_t) noexcept { CountedFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
