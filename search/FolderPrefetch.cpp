#include "FolderPrefetch.h"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace pur {

unsigned ListingThreadsForThisMachine() {
  const DWORD cores = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  if (cores <= 1) return 0;
  return std::min<unsigned>(static_cast<unsigned>(cores), kMaxListingThreads);
}

TFolderPrefetch::TFolderPrefetch(unsigned threads, size_t window) : window_(std::max<size_t>(window, 1)) {
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

TFolderPrefetch::~TFolderPrefetch() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void TFolderPrefetch::Ahead(const std::vector<TExactPath>& folders) {
  if (threads_.empty() || folders.empty()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) pending_.push_back({*it, ++nextRank_});
    MakeRoomFor(folders.size());
    if (pending_.size() > kPrefetchPending) {
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pending_.size() - kPrefetchPending));
    }
  }
  changed_.notify_all();
}

// Siblings listed while the walk was still above them would hold the window while the walk
// goes down the first one's subtree, and that subtree would be listed by the walk alone: the
// listings entered last give their places back, and their folders wait at the bottom.
void TFolderPrefetch::MakeRoomFor(size_t announced) {
  const size_t wanted = std::min(announced, window_ / 2);
  while (listings_.size() + wanted > window_) {
    auto last = listings_.end();
    for (auto it = listings_.begin(); it != listings_.end(); ++it) {
      if (it->second->done && (last == listings_.end() || it->second->source.rank < last->second->source.rank)) last = it;
    }
    if (last == listings_.end()) return;
    pending_.insert(pending_.begin(), last->second->source);
    listings_.erase(last);
  }
}

void TFolderPrefetch::Forget(const TExactPath& folder) {
  if (threads_.empty()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const std::wstring& key = folder.Wide();
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.folder.Wide() == key; }),
                   pending_.end());
    listings_.erase(key);
  }
  changed_.notify_all();
}

bool TFolderPrefetch::ForEachEntry(const TExactPath& folder,
                                   const std::function<void(const TListedEntry& entry)>& onEntry) {
  std::shared_ptr<Listing> listing;
  if (!threads_.empty()) {
    std::unique_lock<std::mutex> guard(lock_);
    const auto found = listings_.find(folder.Wide());
    if (found != listings_.end()) {
      listing = found->second;
      changed_.wait(guard, [&] { return listing->done; });
      listings_.erase(folder.Wide());
    } else {
      // Not begun: the walk lists it itself rather than wait behind the window.
      for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
        if (it->folder.Wide() == folder.Wide()) {
          pending_.erase(std::next(it).base());
          break;
        }
      }
    }
  }
  changed_.notify_all();
  // A folder that was not a real one when its thread came to it was checked again by the
  // walk just now: it is listed as it is now.
  if (!listing || !listing->listed) return ForEachListedEntry(folder, onEntry);
  for (const TListedEntry& entry : listing->entries) onEntry(entry);
  return true;
}

void TFolderPrefetch::Work() {
  while (true) {
    std::shared_ptr<Listing> listing;
    {
      std::unique_lock<std::mutex> guard(lock_);
      changed_.wait(guard, [&] { return stopping_ || (!pending_.empty() && listings_.size() < window_); });
      if (stopping_) return;
      Pending top = std::move(pending_.back());
      pending_.pop_back();
      if (listings_.count(top.folder.Wide())) continue;  // announced twice: one listing serves
      listing = std::make_shared<Listing>(Listing{std::move(top)});
      listings_.emplace(listing->source.folder.Wide(), listing);
    }
    const TExactPath& folder = listing->source.folder;
    // Never listed through a link, even ahead: the walk checks again when it enters.
    std::vector<TListedEntry> entries;
    const bool listed = IsRealFolderNow(folder.Wide()) &&
                        ForEachListedEntry(folder, [&](const TListedEntry& entry) { entries.push_back(entry); },
                                           &stopping_);
    {
      std::lock_guard<std::mutex> guard(lock_);
      listing->entries = std::move(entries);
      listing->listed = listed && !stopping_;
      listing->done = true;
    }
    changed_.notify_all();
  }
}

}  // namespace pur
