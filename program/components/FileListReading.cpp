#include "FileListReading.h"

#include <stdexcept>
#include <system_error>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "ExactPath.h"
#include "FileListFormat.h"
#include "WinOwners.h"
#include "uFileList.h"

namespace pur {

namespace {

// A found path in its exact form: the attributes and size shown are those of the very file
// the library listed, never of a name Windows would trim or read as a device.
DWORD FileAttributesOf(const std::string& name) {
  const std::optional<TExactPath> exact = TExactPath::FromAnsi(name);
  return exact ? GetFileAttributesW(exact->Wide().c_str()) : INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int64_t GetFileSizeOf(const std::string& name) {
  const std::optional<TExactPath> exact = TExactPath::FromAnsi(name);
  if (!exact) return 0;
  const TFileHandle file(CreateFileW(exact->Wide().c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return 0;
  return size.QuadPart;
}

std::string FileAttrLetters(const std::string& name) {
  return AttrLettersOf(FileAttributesOf(name));
}

// ---- rows

RowTable::RowTable(StringList names, std::vector<uint32_t> order)
    : names_(std::move(names)),
      order_(std::move(order)),
      states_(new std::atomic<uint8_t>[order_.size()]()),
      sizes_(new std::atomic<int64_t>[order_.size()]) {
  for (size_t row = 0; row < order_.size(); ++row) sizes_[row].store(kSizeUnknown, std::memory_order_relaxed);
}

uint8_t RowTable::PackAttributes(DWORD attributes) {
  const uint32_t bits = (attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) |
                        ((attributes & kAttrArchive) ? 0x08u : 0u);
  return static_cast<uint8_t>(bits << kAttributeShift);
}

DWORD RowTable::UnpackAttributes(uint8_t state) {
  const uint32_t bits = state >> kAttributeShift;
  return (bits & (kAttrReadOnly | kAttrHidden | kAttrSystem)) | ((bits & 0x08u) ? kAttrArchive : 0u);
}

std::optional<std::string> RowTable::Letters(size_t row) const {
  const uint8_t state = Load(row);
  if (!(state & kKnown)) return std::nullopt;
  return AttrLettersOf(UnpackAttributes(state));
}

std::optional<int64_t> RowTable::Size(size_t row) const {
  const int64_t size = sizes_[row].load(std::memory_order_acquire);
  if (size == kSizeUnknown) return std::nullopt;
  return size;
}

void RowTable::SetAttributes(size_t row, DWORD attributes) {
  std::atomic<uint8_t>& state = states_[row];
  const bool startsTicked = StartsTicked(AttrLettersOf(attributes));
  uint8_t old = state.load(std::memory_order_acquire);
  uint8_t next = 0;
  do {
    if (old & kKnown) return;
    next = static_cast<uint8_t>(old | kKnown | PackAttributes(attributes));
    if (!(old & kTickSet)) next = static_cast<uint8_t>(startsTicked ? (next | kTicked) : (next & ~kTicked));
  } while (!state.compare_exchange_weak(old, next, std::memory_order_acq_rel, std::memory_order_acquire));
  if (!(old & kTickSet)) decided_.fetch_add(1, std::memory_order_acq_rel);
}

void RowTable::SetTicked(size_t row, bool on) {
  std::atomic<uint8_t>& state = states_[row];
  uint8_t old = state.load(std::memory_order_acquire);
  uint8_t next = 0;
  do {
    next = static_cast<uint8_t>((old & ~kTicked) | kTickSet | (on ? kTicked : 0));
  } while (!state.compare_exchange_weak(old, next, std::memory_order_acq_rel, std::memory_order_acquire));
  if (!(old & (kKnown | kTickSet))) decided_.fetch_add(1, std::memory_order_acq_rel);
}

bool RowTable::MarkRequested(size_t row) {
  return !(states_[row].fetch_or(kRequested, std::memory_order_acq_rel) & kRequested);
}

void RowTable::ClearRequested(size_t row) {
  states_[row].fetch_and(static_cast<uint8_t>(~kRequested), std::memory_order_acq_rel);
}

StringList RowTable::NamesOf(const std::vector<uint32_t>& rows) const {
  StringList names;
  names.reserve(rows.size());
  for (const uint32_t row : rows) names.push_back(Caption(row));
  return names;
}

// ---- listing

namespace {

std::mutex listerMutex;
TFolderLister listerForTests;

TFolderLister CurrentLister() {
  const std::lock_guard lock(listerMutex);
  return listerForTests ? listerForTests : TFolderLister(&ListFolder);
}

// A name as the file system compares it: letter case aside, one character at a time.
std::wstring Folded(std::wstring_view name) {
  std::wstring folded(name);
  if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

// Whether every folder of the path, below its root, is a real folder: a link is never
// followed, and one that cannot be read cannot be listed either.
bool FoldersAreReal(const TExactPath& path, std::unordered_map<std::wstring, bool>& known) {
  for (const std::wstring& folder : path.FoldersBelowRoot()) {
    auto found = known.find(folder);
    if (found == known.end()) {
      const DWORD attributes = GetFileAttributesW(folder.c_str());
      const bool real = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
      found = known.emplace(folder, real).first;
    }
    if (!found->second) return false;
  }
  return true;
}

}  // namespace

std::optional<std::vector<TListedEntry>> ListFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data{};
  const TFindHandle find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data,
                                          FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return std::nullopt;
  std::vector<TListedEntry> entries;
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") entries.push_back({std::wstring(name), data.dwFileAttributes});
  } while (FindNextFileW(find.Get(), &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
  return entries;
}

void SetFolderListerForTests(TFolderLister lister) {
  const std::lock_guard lock(listerMutex);
  listerForTests = std::move(lister);
}

void Notifier::Post(UINT message, std::atomic<bool>& pending) {
  if (pending.exchange(true)) return;
  const std::lock_guard lock(mutex_);
  if (window_ == nullptr || !PostMessageA(window_, message, 0, 0)) pending = false;
}

void Notifier::Close() {
  const std::lock_guard lock(mutex_);
  window_ = nullptr;
}

// ---- the rows shown

namespace {
constexpr size_t kMaxQueuedRows = 512;  // more than any screen shows: older asks are stale
}

TRowReader::TRowReader(std::shared_ptr<RowTable> rows, std::shared_ptr<Notifier> notifier)
    : shared_(std::make_shared<Shared>()) {
  shared_->rows = std::move(rows);
  shared_->notifier = std::move(notifier);
  std::thread(&TRowReader::Run, shared_).detach();
}

void TRowReader::Request(size_t row) {
  if (!shared_->rows->MarkRequested(row)) return;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->queue.push_back(static_cast<uint32_t>(row));
    if (shared_->queue.size() > kMaxQueuedRows) {
      shared_->rows->ClearRequested(shared_->queue.front());
      shared_->queue.pop_front();
    }
  }
  shared_->wake.notify_one();
}

void TRowReader::Stop() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->wake.notify_one();
}

void TRowReader::Run(std::shared_ptr<Shared> shared) noexcept {
  RowTable& rows = *shared->rows;
  for (;;) {
    uint32_t row = 0;
    {
      std::unique_lock lock(shared->mutex);
      shared->wake.wait(lock, [&] { return shared->stop || !shared->queue.empty(); });
      if (shared->stop) return;
      row = shared->queue.back();
      shared->queue.pop_back();
    }
    try {
      if (!rows.Known(row)) rows.SetAttributes(row, FileAttributesOf(rows.Caption(row)));
      if (!rows.Size(row)) rows.SetSize(row, GetFileSizeOf(rows.Caption(row)));
    } catch (...) {
      // Out of memory: the row stays unread and is asked for again when shown.
      rows.ClearRequested(row);
    }
    shared->notifier->Post(kRowsReadMessage, shared->posted);
  }
}

// ---- the folders

namespace {
constexpr size_t kNoFolder = SIZE_MAX;
constexpr size_t kStopCheck = 4096;  // rows between two looks at the stop flag
enum FolderPhase : uint8_t { kPending, kListing, kDone, kGivenUp };
using Readings = std::vector<std::pair<uint32_t, DWORD>>;
}  // namespace

// A listing thread's current folder, which the dialog's thread watches.
struct ListingWorker {
  std::mutex mutex;
  size_t folder = kNoFolder;
  ULONGLONG since = 0;
};

struct FolderWork {
  std::shared_ptr<RowTable> rows;
  std::shared_ptr<Notifier> notifier;
  TFolderLister lister;
  std::atomic<bool> stop{false};
  std::atomic<bool> groupedPosted{false};
  std::atomic<bool> readPosted{false};
  // Written by the grouping thread, then only read (once `grouped` is set).
  std::atomic<bool> grouped{false};
  bool groupingFailed = false;
  std::vector<uint32_t> rowsByFolder;  // folder f: [starts[f], starts[f + 1])
  std::vector<uint32_t> starts;
  std::unique_ptr<std::atomic<uint8_t>[]> phases;
  std::atomic<size_t> next{0};
  // The dialog's thread only.
  std::vector<std::shared_ptr<ListingWorker>> workers;

  size_t Folders() const { return starts.empty() ? 0 : starts.size() - 1; }

  void GiveUp(size_t folder) {
    for (uint32_t k = starts[folder]; k < starts[folder + 1]; ++k) {
      rows->SetAttributes(rowsByFolder[k], INVALID_FILE_ATTRIBUTES);
    }
  }
};

namespace {

// The rows of each folder, grouped by the folder's text; a name without a folder cannot be
// read at all.
void Group(FolderWork& shared);

}  // namespace

TFolderSettler::TFolderSettler(std::shared_ptr<RowTable> rows, std::shared_ptr<Notifier> notifier)
    : shared_(std::make_shared<FolderWork>()) {
  shared_->rows = std::move(rows);
  shared_->notifier = std::move(notifier);
  shared_->lister = CurrentLister();
}

void TFolderSettler::Start() {
  if (started_) return;
  started_ = true;
  std::thread([shared = shared_]() noexcept {
    try {
      Group(*shared);
    } catch (...) {
      shared->groupingFailed = true;
    }
    shared->grouped.store(true, std::memory_order_release);
    shared->notifier->Post(kGroupedMessage, shared->groupedPosted);
  }).detach();
}

namespace {

void Group(FolderWork& shared) {
  const RowTable& rows = *shared.rows;
  const size_t count = rows.Count();
  std::vector<uint32_t> folderOf(count, UINT32_MAX);
  std::vector<uint32_t> sizes;
  {
    std::unordered_map<std::string_view, uint32_t> folders;
    for (size_t row = 0; row < count; ++row) {
      if (row % kStopCheck == 0 && shared.stop) return;
      const std::string& caption = rows.Caption(row);
      const size_t slash = caption.rfind('\\');
      if (slash == std::string::npos) {
        shared.rows->SetAttributes(row, INVALID_FILE_ATTRIBUTES);
        continue;
      }
      const auto [at, added] =
          folders.try_emplace(std::string_view(caption).substr(0, slash + 1), static_cast<uint32_t>(sizes.size()));
      if (added) sizes.push_back(0);
      ++sizes[at->second];
      folderOf[row] = at->second;
    }
  }
  shared.starts.assign(sizes.size() + 1, 0);
  for (size_t f = 0; f < sizes.size(); ++f) shared.starts[f + 1] = shared.starts[f] + sizes[f];
  std::vector<uint32_t> fill(shared.starts.begin(), shared.starts.end() - 1);
  shared.rowsByFolder.assign(shared.starts.back(), 0);
  for (size_t row = 0; row < count; ++row) {
    if (folderOf[row] != UINT32_MAX) shared.rowsByFolder[fill[folderOf[row]]++] = static_cast<uint32_t>(row);
  }
  shared.phases.reset(new std::atomic<uint8_t>[sizes.size()]());
}

// The attributes of the unread rows of one folder, from one listing of it. A row whose name
// has no exact form, whose folder is or lies below a link, cannot be listed, or does not
// hold the name, is unreadable.
Readings ReadFolder(FolderWork& shared, size_t folder,
                    std::unordered_map<std::wstring, bool>& realFolders) {
  const RowTable& rows = *shared.rows;
  std::vector<uint32_t> unread;
  for (uint32_t k = shared.starts[folder]; k < shared.starts[folder + 1]; ++k) {
    if (!rows.Known(shared.rowsByFolder[k])) unread.push_back(shared.rowsByFolder[k]);
  }
  Readings readings;
  readings.reserve(unread.size());
  auto unreadable = [&](size_t from) {
    for (size_t i = from; i < unread.size(); ++i) readings.emplace_back(unread[i], INVALID_FILE_ATTRIBUTES);
  };
  // The folder's exact form, from the first name that has one.
  size_t at = 0;
  std::optional<TExactPath> first;
  for (; at < unread.size() && !first; ++at) {
    first = TExactPath::FromAnsi(rows.Caption(unread[at]));
    if (!first) readings.emplace_back(unread[at], INVALID_FILE_ATTRIBUTES);
  }
  if (!first) return readings;
  --at;
  const std::wstring& firstWide = first->Wide();
  const std::wstring folderWide = firstWide.substr(0, firstWide.rfind(L'\\') + 1);
  if (!FoldersAreReal(*first, realFolders)) {
    unreadable(at);
    return readings;
  }
  const std::optional<std::vector<TListedEntry>> listing = shared.lister(folderWide);
  if (!listing) {
    unreadable(at);
    return readings;
  }
  std::unordered_map<std::wstring, DWORD> listed;
  listed.reserve(listing->size());
  for (const TListedEntry& entry : *listing) listed.emplace(Folded(entry.name), entry.attributes);
  for (size_t i = at; i < unread.size(); ++i) {
    if (i % kStopCheck == 0 && shared.stop) return {};
    const std::optional<TExactPath> exact = i == at ? first : TExactPath::FromAnsi(rows.Caption(unread[i]));
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (exact) {
      const std::wstring_view wide = exact->Wide();
      const size_t slash = wide.rfind(L'\\');
      if (wide.substr(0, slash + 1) == folderWide) {
        const auto found = listed.find(Folded(wide.substr(slash + 1)));
        if (found != listed.end()) attributes = found->second;
      }
    }
    readings.emplace_back(unread[i], attributes);
  }
  return readings;
}

void ListFolders(std::shared_ptr<FolderWork> shared,
                 std::shared_ptr<ListingWorker> worker) noexcept {
  std::unordered_map<std::wstring, bool> realFolders;
  while (!shared->stop) {
    const size_t folder = shared->next.fetch_add(1, std::memory_order_acq_rel);
    if (folder >= shared->Folders()) break;
    uint8_t pending = kPending;
    if (!shared->phases[folder].compare_exchange_strong(pending, kListing)) continue;
    {
      const std::lock_guard lock(worker->mutex);
      worker->folder = folder;
      worker->since = GetTickCount64();
    }
    Readings readings;
    bool failed = false;
    try {
      readings = ReadFolder(*shared, folder, realFolders);
    } catch (...) {
      failed = true;  // out of memory: the folder's rows count as unreadable
    }
    uint8_t listing = kListing;
    // Given up while it was listed: the dialog has settled the rows and replaced this thread.
    if (!shared->phases[folder].compare_exchange_strong(listing, kDone)) return;
    if (failed) {
      shared->GiveUp(folder);
    } else {
      for (const auto& [row, attributes] : readings) shared->rows->SetAttributes(row, attributes);
    }
    {
      const std::lock_guard lock(worker->mutex);
      worker->folder = kNoFolder;
    }
    shared->notifier->Post(kFoldersReadMessage, shared->readPosted);
  }
}

}  // namespace

void TFolderSettler::OnGrouped() {
  if (!shared_->grouped.load(std::memory_order_acquire) || !shared_->workers.empty()) return;
  if (shared_->groupingFailed) {
    for (size_t row = 0; row < shared_->rows->Count(); ++row) {
      shared_->rows->SetAttributes(row, INVALID_FILE_ATTRIBUTES);
    }
    return;
  }
  for (int i = 0; i < kWorkers && static_cast<size_t>(i) < shared_->Folders(); ++i) StartWorker();
}

void TFolderSettler::StartWorker() {
  auto worker = std::make_shared<ListingWorker>();
  try {
    std::thread(&ListFolders, shared_, worker).detach();
  } catch (const std::system_error&) {
    if (!shared_->workers.empty()) return;
    // No thread at all: the rows not yet read stay unticked.
    for (size_t folder = shared_->next.exchange(shared_->Folders()); folder < shared_->Folders(); ++folder) {
      shared_->GiveUp(folder);
    }
    return;
  }
  shared_->workers.push_back(std::move(worker));
}

void TFolderSettler::Handled() { shared_->readPosted = false; }

void TFolderSettler::GiveUpStalled() {
  if (shared_->workers.empty()) return;
  const ULONGLONG now = GetTickCount64();
  int replaced = 0;
  for (auto worker = shared_->workers.begin(); worker != shared_->workers.end();) {
    size_t folder = kNoFolder;
    ULONGLONG since = 0;
    {
      const std::lock_guard lock((*worker)->mutex);
      folder = (*worker)->folder;
      since = (*worker)->since;
    }
    uint8_t listing = kListing;
    if (folder == kNoFolder || now - since < kListingBound ||
        !shared_->phases[folder].compare_exchange_strong(listing, kGivenUp)) {
      ++worker;
      continue;
    }
    shared_->GiveUp(folder);
    worker = shared_->workers.erase(worker);
    ++replaced;
  }
  for (; replaced > 0; --replaced) StartWorker();
}

bool TFolderSettler::Grouped() const {
  return shared_->grouped.load(std::memory_order_acquire) && !shared_->groupingFailed;
}

size_t TFolderSettler::Folders() const { return Grouped() ? shared_->Folders() : 0; }

std::span<const uint32_t> TFolderSettler::RowsOf(size_t folder) const {
  return std::span<const uint32_t>(shared_->rowsByFolder)
      .subspan(shared_->starts[folder], shared_->starts[folder + 1] - shared_->starts[folder]);
}

void TFolderSettler::Stop() { shared_->stop = true; }

}  // namespace pur
