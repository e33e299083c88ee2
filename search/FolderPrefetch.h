// Folder listings made ahead of the search's walk, on threads of their own. The walk itself
// stays on its thread and in its order: it takes each folder's listing from here (waiting for
// it when it is under way, or listing the folder itself when no thread has taken it yet), so
// its lists, progress and end are the same as without threads, only sooner.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ExactNames.h"

namespace pur {

// Folders listed ahead and not yet taken by the walk, at most: bounds the memory.
inline constexpr size_t kPrefetchWindow = 128;
// Folders waiting to be listed ahead, at most; beyond, the ones the walk needs last are
// dropped and listed by the walk itself.
inline constexpr size_t kPrefetchPending = 65536;
inline constexpr unsigned kMaxListingThreads = 4;

// One per core up to kMaxListingThreads; none on a single core, where threads would only
// take turns with the walk.
unsigned ListingThreadsForThisMachine();

class TFolderPrefetch {
 public:
  explicit TFolderPrefetch(unsigned threads, size_t window = kPrefetchWindow);
  // Stops and joins every thread: nothing of the search runs once this returns.
  ~TFolderPrefetch();
  TFolderPrefetch(const TFolderPrefetch&) = delete;
  TFolderPrefetch& operator=(const TFolderPrefetch&) = delete;

  // The folders the walk will enter next, in the order it enters them; they come before every
  // folder announced earlier, as the walk goes depth first. Listings made for folders announced
  // earlier give way to them when the window is full (they are made again later).
  void Ahead(const std::vector<TExactPath>& folders);
  // A folder announced but not to be entered after all (a link by now, gone): its listing,
  // made or not, is dropped.
  void Forget(const TExactPath& folder);
  // As ForEachListedEntry, for a folder the walk has just checked and entered.
  bool ForEachEntry(const TExactPath& folder, const std::function<void(const TListedEntry& entry)>& onEntry);

 private:
  // A folder to list, with its place in the walk: a larger rank is entered sooner.
  struct Pending {
    TExactPath folder;
    uint64_t rank;
  };
  struct Listing {
    Pending source;
    bool done = false;
    bool listed = false;  // false: not a real folder when its thread came to it, or not listable
    std::vector<TListedEntry> entries;
  };

  void Work();
  void MakeRoomFor(size_t announced);

  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Pending> pending_;  // a stack: the top is the next folder the walk enters
  uint64_t nextRank_ = 0;
  std::unordered_map<std::wstring, std::shared_ptr<Listing>> listings_;  // under way or done, not taken
  size_t window_;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> threads_;
};

}  // namespace pur
