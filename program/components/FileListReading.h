// What the file list dialog knows of its files, and the threads that read it. The window's
// thread never calls the file system: a row it shows is read by the row reader, one query per
// file; the attributes that decide the starting ticks of all the other rows are read by the
// folder settler, one listing per folder. A thread stuck in a call (a network folder that
// hangs) is left behind: everything it touches is shared with it, so it can outlive the dialog.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pur {

using StringList = std::vector<std::string>;

// The rows in view order: the names (which no one changes once the rows exist, so that any
// thread may read them) and what is known of each file. A row's attributes are set once, by
// whichever reading comes first; a tick set by the user's hand stays whatever is read later.
class RowTable {
 public:
  // `order`: the view's rows as indexes into `names`.
  RowTable(StringList names, std::vector<uint32_t> order);

  size_t Count() const { return order_.size(); }
  const std::string& Caption(size_t row) const { return names_[order_[row]]; }

  // Whether the attributes were read; a row not yet read shows unticked.
  bool Known(size_t row) const { return (Load(row) & kKnown) != 0; }
  bool Ticked(size_t row) const { return (Load(row) & kTicked) != 0; }
  // The attribute letters once read ("AHRS" for a file that could not be read), or none.
  std::optional<std::string> Letters(size_t row) const;
  std::optional<int64_t> Size(size_t row) const;

  // The first reading of a row decides its letters and, unless the user set it, its tick;
  // INVALID_FILE_ATTRIBUTES for a file that could not be read.
  void SetAttributes(size_t row, DWORD attributes);
  void SetSize(size_t row, int64_t size) { sizes_[row].store(size, std::memory_order_release); }
  void SetTicked(size_t row, bool on);
  // Marks the row as asked for; false when it already was.
  bool MarkRequested(size_t row);
  void ClearRequested(size_t row);

  // Rows whose tick is settled: read, or set by the user.
  size_t Decided() const { return decided_.load(std::memory_order_acquire); }

  // Calls each(row, name) for every row in the caller's order of the names, which lies in
  // memory in that order (the view's order jumps across it).
  template <class Each>
  void ForEachByName(Each each) const {
    std::vector<uint32_t> rowOf(order_.size());
    for (size_t row = 0; row < order_.size(); ++row) rowOf[order_[row]] = static_cast<uint32_t>(row);
    for (size_t index = 0; index < names_.size(); ++index) each(rowOf[index], names_[index]);
  }

  // The names of the given rows.
  StringList NamesOf(const std::vector<uint32_t>& rows) const;

 private:
  static constexpr uint8_t kKnown = 0x01;
  static constexpr uint8_t kTicked = 0x02;
  static constexpr uint8_t kTickSet = 0x04;   // ticked or unticked by the user
  static constexpr uint8_t kRequested = 0x08;
  static constexpr int kAttributeShift = 4;   // read-only, hidden, system, archive above
  static constexpr int64_t kSizeUnknown = -1;

  uint8_t Load(size_t row) const { return states_[row].load(std::memory_order_acquire); }
  static uint8_t PackAttributes(DWORD attributes);
  static DWORD UnpackAttributes(uint8_t state);

  const StringList names_;
  const std::vector<uint32_t> order_;  // row -> index into names_
  std::unique_ptr<std::atomic<uint8_t>[]> states_;
  std::unique_ptr<std::atomic<int64_t>[]> sizes_;
  std::atomic<size_t> decided_{0};
};

// One entry of a folder's listing.
struct TListedEntry {
  std::wstring name;
  DWORD attributes = 0;
};
// Lists a folder, given in its exact wide form with the final '\'; none when it cannot be.
using TFolderLister = std::function<std::optional<std::vector<TListedEntry>>(const std::wstring& folder)>;
// The file system's listing (FindFirstFileExW, basic information).
std::optional<std::vector<TListedEntry>> ListFolder(const std::wstring& folder);
// Replaces the listing for the dialogs shown from now on (tests stall or count with it); an
// empty function restores ListFolder.
void SetFolderListerForTests(TFolderLister lister);

// Messages the readers post to the dialog; each is posted again only once it was handled.
inline constexpr UINT kRowsReadMessage = WM_APP + 1;    // rows asked for were read
inline constexpr UINT kGroupedMessage = WM_APP + 2;     // the rows are grouped by folder
inline constexpr UINT kFoldersReadMessage = WM_APP + 3; // folders were listed

// Where the readers report; cleared when the dialog goes, so nothing posts to a stale handle.
class Notifier {
 public:
  explicit Notifier(HWND window) : window_(window) {}
  void Post(UINT message, std::atomic<bool>& pending);
  void Close();

 private:
  std::mutex mutex_;
  HWND window_;
};

// Reads the rows the dialog shows, one query per file, the last asked for first.
class TRowReader {
 public:
  TRowReader(std::shared_ptr<RowTable> rows, std::shared_ptr<Notifier> notifier);
  ~TRowReader() { Stop(); }
  TRowReader(const TRowReader&) = delete;
  TRowReader& operator=(const TRowReader&) = delete;

  void Request(size_t row);
  // The dialog handled kRowsReadMessage: the next read row posts it again.
  void Handled() { shared_->posted = false; }
  // Lets the thread go; it ends by itself, also after a query that hangs.
  void Stop();

 private:
  struct Shared {
    std::shared_ptr<RowTable> rows;
    std::shared_ptr<Notifier> notifier;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<uint32_t> queue;
    bool stop = false;
    std::atomic<bool> posted{false};
  };
  static void Run(std::shared_ptr<Shared> shared) noexcept;

  std::shared_ptr<Shared> shared_;
  bool started_ = false;
};

// What the folder settler shares with its threads.
struct FolderWork;

// Settles the starting tick of every row by listing each folder once, on worker threads.
// A listing that outlasts kListingBound once the dialog waits for it is given up: its rows
// count as unreadable (unticked), and a fresh worker goes on with the other folders.
class TFolderSettler {
 public:
  static constexpr ULONGLONG kListingBound = 3000;  // ms
  static constexpr int kWorkers = 2;

  TFolderSettler(std::shared_ptr<RowTable> rows, std::shared_ptr<Notifier> notifier);
  ~TFolderSettler() { Stop(); }
  TFolderSettler(const TFolderSettler&) = delete;
  TFolderSettler& operator=(const TFolderSettler&) = delete;

  // Groups the rows by folder on a thread; the dialog gets kGroupedMessage when done.
  void Start();
  // On kGroupedMessage: starts the listing workers.
  void OnGrouped();
  // On kFoldersReadMessage: the next folder read posts it again.
  void Handled();
  // Called while the dialog waits: gives up the listings that outlast the bound.
  void GiveUpStalled();
  // The rows grouped by the text of their folder, once grouped: folders 0 to Folders() - 1.
  bool Grouped() const;
  size_t Folders() const;
  std::span<const uint32_t> RowsOf(size_t folder) const;
  void Stop();

 private:
  void StartWorker();

  std::shared_ptr<FolderWork> shared_;
  bool started_ = false;
};

}  // namespace pur
