#include "purSearch.h"

#include "CallerTexts.h"
#include "Cleanings.h"
#include "ExactNames.h"
#include "FileLog.h"
#include "FileLogFormat.h"
#include "Thread_Algo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <strings.h>

namespace pur {

namespace {

constexpr int32_t kListsHeader = 3 * sizeof(int32_t);
// The application names travel between processes as UTF-8, which has no lead bytes.
constexpr LeadBytePredicate kNoLeadBytes = nullptr;

// Polls `done` every `pollMs` for at most `limitMs`; answers whether it became true.
template <class Pred>
bool PollUntil(Pred done, DWORD pollMs, DWORD limitMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= limitMs) return false;
    Sleep(pollMs);
  }
  return true;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

int32_t ReadInt32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

TPURLib::TPURLib(const std::string& appName, const std::string& productName) {
  sharedView_ = std::make_unique<TSharedMem>(kSharedStateName, static_cast<int32_t>(sizeof(TSharedState)));
  state_ = static_cast<TSharedState*>(sharedView_->Memory());
  mutex_ = std::make_unique<TMutex>(kMutexName);
  publishMutex_ = std::make_unique<TMutex>(kPublishMutexName);
  sync_ = std::make_unique<TSyncWindow>();
  AddToCounter(&TSharedState::LoadCount, 1);
  counted_ = true;

  stopEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent_) {
    AddToCounter(&TSharedState::LoadCount, -1);
    throw std::runtime_error("Error creating the search library's monitor");
  }
  try {
    monitor_ = std::thread([this] { MonitorLoop(); });
  } catch (...) {
    // The destructor does not run for a half-built object: undo here.
    AddToCounter(&TSharedState::LoadCount, -1);
    throw;
  }
  // The library works without its name in the list (a report then says "Unknow
  // Application"); refusing to start over it would stop the whole program. The names'
  // section may also be impossible to make: its name taken by another kind of object, or a
  // stale section of another size still held.
  try {
    RegisterAppName(appName.substr(0, kAppNameMax), productName);
  } catch (const EPublish&) {
  } catch (const ESharedMem&) {
  } catch (...) {
    // Anything else refuses the library; the monitor must not outlive the half-built object.
    StopMonitor();
    AddToCounter(&TSharedState::LoadCount, -1);
    throw;
  }
}

void TPURLib::StopMonitor() {
  SetEvent(stopEvent_.Get());
  if (monitor_.joinable()) monitor_.join();
}

TPURLib::~TPURLib() {
  StopMonitor();
  persoTree_.reset();
  if (counted_) AddToCounter(&TSharedState::LoadCount, -1);
  // mutex_ and sharedView_ go in reverse order of declaration; the shared state disappears
  // from the system with its last view.
  publishMutex_.reset();
  mutex_.reset();
  sharedView_.reset();
}

template <class F>
void TPURLib::Write(F&& change) {
  // The store is done even when the mutex could not be had in time: a stuck peer must
  // not stop this process's bookkeeping. A mutex left by a dead process is ours to release.
  bool owned = mutex_->GetEvenAbandoned(kMutexTimeoutMs);
  change(*state_);
  if (owned) mutex_->Release();
}

void TPURLib::AddToCounter(int32_t TSharedState::*counter, int32_t delta) {
  // A counter never goes below 0, even after another process corrected a stale one.
  Write([&](TSharedState& s) { s.*counter = std::max<int32_t>(0, s.*counter + delta); });
}

double TPURLib::Percent() const {
  // One 8-byte read, so that a concurrent store is never seen half-done on a 32-bit CPU.
  auto* p = reinterpret_cast<volatile LONG64*>(&state_->Percent);
  LONG64 bits = InterlockedCompareExchange64(p, 0, 0);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void TPURLib::SetPercent(double value) {
  LONG64 bits;
  std::memcpy(&bits, &value, sizeof bits);
  Write([&](TSharedState& s) {
    InterlockedExchange64(reinterpret_cast<volatile LONG64*>(&s.Percent), bits);
  });
}

void TPURLib::SetStatusBit(uint8_t bit, bool on) {
  Write([&](TSharedState& s) { s.Status = on ? (s.Status | bit) : (s.Status & ~bit); });
}

void TPURLib::SetStopRequested(bool value) {
  Write([&](TSharedState& s) { s.StopRequested = value ? 1 : 0; });
}

bool TPURLib::LockLib(const char* owner) {
  bool taken = false;
  Write([&](TSharedState& s) {
    if (s.LockOwner[0] != 0) return;
    size_t len = std::min<size_t>(std::strlen(owner), kLockOwnerMax);
    s.LockOwner[0] = static_cast<uint8_t>(len);
    std::memcpy(&s.LockOwner[1], owner, len);
    taken = true;
  });
  return taken;
}

bool TPURLib::UnLockLib(const char* owner) {
  bool released = false;
  Write([&](TSharedState& s) {
    size_t len = std::min<size_t>(s.LockOwner[0], kLockOwnerMax);
    if (len == 0) return;
    // A name longer than 10 characters can never be the owner: LockLib kept only 10.
    if (std::strlen(owner) != len || std::memcmp(owner, &s.LockOwner[1], len) != 0) return;
    s.LockOwner[0] = 0;
    std::memset(&s.LockOwner[1], 0, kLockOwnerMax);
    released = true;
  });
  return released;
}

std::string TPURLib::LockOwner() const {
  size_t len = std::min<size_t>(state_->LockOwner[0], kLockOwnerMax);
  return std::string(reinterpret_cast<const char*>(&state_->LockOwner[1]), len);
}

void TPURLib::MonitorLoop() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
  TMonitorCall call = TMonitorCall::Period;
  do {
    try {
      MonitorPass();
    } catch (...) {
      // Out of memory or a failing lock: try again at the next pass, never end the program.
    }
    ready_.store(true);
    call = WaitStopOrWake(call);
  } while (call != TMonitorCall::Stop);
  ReleaseViews();
}

// A wake-up or the period's end calls for a pass. Right after a woken pass only a stop is
// heeded for kWakeGapMs: the wake event is manual-reset and anyone may leave it set.
TPURLib::TMonitorCall TPURLib::WaitStopOrWake(TMonitorCall last) const {
  if (last == TMonitorCall::Wake && WaitForSingleObject(stopEvent_.Get(), kWakeGapMs) != WAIT_TIMEOUT)
    return TMonitorCall::Stop;
  const HANDLE handles[] = {stopEvent_.Get(), wake_.Handle()};
  const DWORD count = wake_.Handle() ? 2 : 1;
  switch (WaitForMultipleObjects(count, handles, FALSE, kMonitorPeriodMs)) {
    case WAIT_TIMEOUT: return TMonitorCall::Period;
    case WAIT_OBJECT_0 + 1: return TMonitorCall::Wake;
    default: return TMonitorCall::Stop;
  }
}

void TPURLib::MonitorPass() {
  RefreshView(appNames_);
  RefreshView(lists_);
}

void TPURLib::RefreshView(Exchange& x) {
  std::lock_guard<std::mutex> guard(viewsLock_);
  int32_t size = state_->*x.size;
  // A view of another size is a section that was replaced behind our back (a publisher
  // gave up waiting for us): let it go and pick up the current one next time.
  if (x.view && (size < 1 || size != x.view->Size())) {
    x.view.reset();
    AddToCounter(x.views, -1);
    return;
  }
  if (x.view || size <= 0) return;
  // Size read again and counter raised in one guarded step: a publisher that withdrew the
  // section in between must not see 0 views while we are about to map the old one.
  bool counted = false;
  Write([&](TSharedState& s) {
    size = s.*x.size;
    if (size <= 0) return;
    s.*x.views += 1;
    counted = true;
  });
  if (!counted) return;
  try {
    x.view = std::make_unique<TSharedMem>(x.name, size);
  } catch (const ESharedMem&) {
    AddToCounter(x.views, -1);
    return;
  }
  // A section we had to create is not the published one (its last holder is gone): its
  // zeroes would read as empty lists, and holding it would keep a stale name alive.
  if (x.view->Created()) {
    x.view.reset();
    AddToCounter(x.views, -1);
  }
}

void TPURLib::ReleaseViews() {
  for (Exchange* x : {&appNames_, &lists_}) {
    if (!Holds(*x)) continue;
    // When ours is the last view of a published section, it would vanish with it and take
    // every process's names or lists along: give the others' monitors time to take it.
    WaitWakingMonitors(
        [&] { return state_->*x->size <= 0 || state_->*x->views >= 2 || state_->LoadCount <= 1; },
        kHandOverViewMs);
    std::lock_guard<std::mutex> guard(viewsLock_);
    x->view.reset();
    AddToCounter(x->views, -1);
  }
}

bool TPURLib::Holds(const Exchange& x) const {
  std::lock_guard<std::mutex> guard(viewsLock_);
  return x.view != nullptr;
}

bool TPURLib::HoldsAppNamesView() const { return Holds(appNames_); }
bool TPURLib::HoldsListsView() const { return Holds(lists_); }

template <class Pred>
bool TPURLib::WaitWakingMonitors(Pred done, DWORD limitMs) {
  return PollUntil(
      [&] {
        if (done()) return true;
        wake_.Pulse();
        return false;
      },
      kReadyPollMs, limitMs);
}

void TPURLib::WaitReady() {
  if (!PollUntil([&] { return ready_.load(); }, kReadyPollMs, kOwnMonitorMs))
    throw EPublish("Search library monitor does not answer");
}

// Owns the publication queue for the time of one call.
class PublishTurn {
 public:
  explicit PublishTurn(TMutex& m) : m_(m) {
    if (!m_.GetEvenAbandoned(kPublishQueueMs)) throw EPublish("Search library publication timed out");
  }
  ~PublishTurn() { m_.Release(); }
  PublishTurn(const PublishTurn&) = delete;
  PublishTurn& operator=(const PublishTurn&) = delete;

 private:
  TMutex& m_;
};

// Our monitor holds a view of the section that is published now (or none when none is).
void TPURLib::WaitViewCurrent(const Exchange& x) {
  auto current = [&] {
    std::lock_guard<std::mutex> guard(viewsLock_);
    int32_t size = state_->*x.size;
    return size <= 0 ? x.view == nullptr : (x.view && x.view->Size() == size);
  };
  WaitWakingMonitors(current, kOwnMonitorMs);
}

void TPURLib::PublishUnderQueue(Exchange& x, size_t size, const SectionWriter& write) {
  PublishTurn turn(*publishMutex_);
  Publish(x, size, write);
}

void TPURLib::Publish(Exchange& x, const std::string& content) {
  Publish(x, content.size(), [&](char* out) { std::memcpy(out, content.data(), content.size()); });
}

void TPURLib::Publish(Exchange& x, size_t size, const SectionWriter& write) {
  // The size travels as a 32-bit number in the shared state.
  if (size > static_cast<size_t>(INT32_MAX)) throw EPublish(std::string("Too much to publish in ") + x.name);
  WaitReady();
  Write([&](TSharedState& s) { s.*x.size = 0; });
  // Our own view is let go here rather than by our monitor: one wait less.
  RefreshView(x);

  // Every monitor lets go of the old section within one pass. A count that stays above 0
  // belongs to a process that died holding a view: its handles are closed, so the count
  // is corrected and the publication goes on.
  bool released = WaitWakingMonitors([&] { return state_->*x.views <= 0; }, kStaleViewMs);
  if (!WaitWakingMonitors([&] { return !Holds(x); }, kOwnMonitorMs))
    throw EPublish(std::string("Search library monitor keeps ") + x.name);
  if (!released) Write([&](TSharedState& s) { s.*x.views = 0; });

  const int32_t newSize = static_cast<int32_t>(size);
  TSharedMem section(x.name, newSize);
  if (!section.Created())
    throw EPublish(std::string("Shared memory ") + x.name + " is still held by another process");
  write(static_cast<char*>(section.Memory()));
  Write([&](TSharedState& s) { s.*x.size = newSize; });
  wake_.Pulse();
  // Our view is taken here, as our monitor would take it, before the section goes with this
  // call; the monitor is only the fallback.
  RefreshView(x);

  // Wait for our own view, not just anyone's: the caller reads the lists right after.
  if (!WaitWakingMonitors([&] { return Holds(x); }, kOwnMonitorMs)) {
    // Our view goes with this call: withdraw the size rather than point at nothing.
    Write([&](TSharedState& s) { s.*x.size = 0; });
    throw EPublish(std::string("Search library monitor did not take ") + x.name);
  }
}

void TPURLib::RegisterAppName(const std::string& name, const std::string& product) {
  WaitReady();
  // Read the names inside our turn, from the section published last: two processes that
  // register at the same moment must not each publish a list without the other's name.
  PublishTurn turn(*publishMutex_);
  WaitViewCurrent(appNames_);
  StringList entries = ReadSharedAppNames();
  std::string entry = Utf8FromCallerText(name + "|" + product);
  bool present = std::any_of(entries.begin(), entries.end(),
                             [&](const std::string& e) { return SameIgnoringCase(e, entry); });
  if (!present) entries.push_back(entry);
  std::string text = WriteCommaText(entries, kNoLeadBytes);
  Publish(appNames_, text + '\0');
}

StringList TPURLib::ReadSharedAppNames() const { return ReadCommaText(ReadAppNames(), kNoLeadBytes); }

StringList TPURLib::CallerAppNames() const {
  StringList names = ReadSharedAppNames();
  for (std::string& name : names) name = CallerText(name);
  return names;
}

namespace {

// One list of the lists section, read item by item.
struct TListItems {
  size_t count;
  CommaTextItem item;
};

TListItems ItemsOf(const StringList& list) {
  return {list.size(), [&list](size_t i) { return std::string_view(list[i]); }};
}

// The section's bytes: the three lengths, then the three comma texts. Sized beforehand and
// written straight into the section: a million found paths are not copied on the way.
class TListsContent {
 public:
  explicit TListsContent(const std::array<TListItems, kListCount>& lists) : lists_(lists) {
    for (int i = 0; i < kListCount; ++i) {
      sizes_[i] = CommaTextSize(lists_[i].count, lists_[i].item);
      size_ += sizes_[i];
    }
  }
  size_t Size() const { return size_; }
  void WriteTo(char* section) const {
    char* out = section + kListsHeader;
    for (int i = 0; i < kListCount; ++i) {
      const int32_t len = static_cast<int32_t>(sizes_[i]);  // Publish refused any larger
      std::memcpy(section + i * sizeof(int32_t), &len, sizeof len);
      out = WriteCommaTextTo(out, lists_[i].count, lists_[i].item);
    }
  }

 private:
  const std::array<TListItems, kListCount>& lists_;
  std::array<size_t, kListCount> sizes_{};
  size_t size_ = kListsHeader;
};

}  // namespace

void TPURLib::PublishLists(const StringList& l1, const StringList& l2, const StringList& l3) {
  const std::array<TListItems, kListCount> lists{ItemsOf(l1), ItemsOf(l2), ItemsOf(l3)};
  const TListsContent content(lists);
  PublishUnderQueue(lists_, content.Size(), [&](char* out) { content.WriteTo(out); });
}

void TPURLib::PublishLists(const TPathList& l1, const StringList& l2, const StringList& l3) {
  const TListItems found{l1.Count(), [&l1](size_t i) { return l1[i]; }};
  const std::array<TListItems, kListCount> lists{found, ItemsOf(l2), ItemsOf(l3)};
  const TListsContent content(lists);
  PublishUnderQueue(lists_, content.Size(), [&](char* out) { content.WriteTo(out); });
}

std::string TPURLib::ReadAppNames() const {
  std::lock_guard<std::mutex> guard(viewsLock_);
  if (!appNames_.view) return {};
  const char* p = static_cast<const char*>(appNames_.view->Memory());
  size_t size = static_cast<size_t>(appNames_.view->Size());
  return std::string(p, strnlen(p, size));
}

std::array<std::string, kListCount> TPURLib::ReadLists() const {
  std::array<std::string, kListCount> out;
  std::lock_guard<std::mutex> guard(viewsLock_);
  if (!lists_.view || lists_.view->Size() < kListsHeader) return out;
  const uint8_t* p = static_cast<const uint8_t*>(lists_.view->Memory());
  // Lengths come from another process: never read past the view.
  size_t pos = kListsHeader;
  size_t size = static_cast<size_t>(lists_.view->Size());
  for (int i = 0; i < kListCount; ++i) {
    int32_t len = ReadInt32(p + i * sizeof(int32_t));
    size_t take = len > 0 ? std::min<size_t>(static_cast<size_t>(len), size - pos) : 0;
    out[i].assign(reinterpret_cast<const char*>(p + pos), take);
    pos += take;
  }
  return out;
}

int32_t TPURLib::SnapshotAppNamesLength() {
  std::string text = WriteCommaText(CallerAppNames());
  std::lock_guard<std::mutex> guard(snapshotLock_);
  appNamesSnapshot_ = text;
  return static_cast<int32_t>(text.size());
}

std::string TPURLib::TakeAppNamesSnapshot() {
  std::lock_guard<std::mutex> guard(snapshotLock_);
  if (!appNamesSnapshot_) return WriteCommaText(CallerAppNames());
  std::string text = std::move(*appNamesSnapshot_);
  appNamesSnapshot_.reset();
  return text;
}

std::string TPURLib::ListText(int index) const { return ReadLists()[index]; }

int32_t TPURLib::SnapshotListLength(int index) {
  std::string text = ListText(index);
  std::lock_guard<std::mutex> guard(snapshotLock_);
  listSnapshots_[index] = text;
  return static_cast<int32_t>(text.size());
}

std::string TPURLib::TakeListSnapshot(int index) {
  std::lock_guard<std::mutex> guard(snapshotLock_);
  if (!listSnapshots_[index]) return ListText(index);
  std::string text = std::move(*listSnapshots_[index]);
  listSnapshots_[index].reset();
  return text;
}

namespace {

// Shows one cleaning in Status from 0 % to 100 %; the bit is cleared and the progress
// completed however the cleaning ends.
class CleaningScope {
 public:
  CleaningScope(TPURLib& lib, uint8_t bit) : lib_(lib), bit_(bit) {
    lib_.SetStatusBit(bit_, true);
    lib_.SetPercent(0.0);
  }
  ~CleaningScope() {
    try {
      lib_.SetStatusBit(bit_, false);
      lib_.SetPercent(100.0);
    } catch (...) {
    }
  }
  CleaningScope(const CleaningScope&) = delete;
  CleaningScope& operator=(const CleaningScope&) = delete;

 private:
  TPURLib& lib_;
  uint8_t bit_;
};

class ERefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace

void TPURLib::EmptyRecycleBin() {
  if (Status() & kStatusRecycleBin) return;
  {
    CleaningScope scope(*this, kStatusRecycleBin);
    EmptyAllRecycleBins();
  }
  NotifyEnd(kEndRecycleBin);
}

namespace {

// Counts a cleaning of this process while it runs: the limits are not changed under it.
class TRunningCleaning {
 public:
  explicit TRunningCleaning(std::atomic<int32_t>& running) : running_(running) { ++running_; }
  ~TRunningCleaning() { --running_; }
  TRunningCleaning(const TRunningCleaning&) = delete;
  TRunningCleaning& operator=(const TRunningCleaning&) = delete;

 private:
  std::atomic<int32_t>& running_;
};

// Holds back the found files that the limits keep, at the time the search lists them.
class TRulesFilter : public TFoundFileFilter {
 public:
  explicit TRulesFilter(const TCleaningRules& rules) : rules_(rules), now_(FileTimeNow()) {}
  bool Takes(const TExactPath& folder, const TListedEntry& entry) override {
    const TRuleVerdict verdict = rules_.Judge(folder.Ansi() + entry.Name, entry.LastWrite, now_);
    Left.Count(verdict);
    return verdict == TRuleVerdict::Delete;
  }
  TRuleCounts Left;

 private:
  const TCleaningRules& rules_;
  uint64_t now_;
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::shared_ptr<const TCleaningRules> TPURLib::Rules() const {
  std::lock_guard<std::mutex> guard(rulesLock_);
  return rules_;
}

bool TPURLib::SetCleaningRules(int32_t minimumAgeDays, const std::string& keepLines) {
  if (minimumAgeDays < 0 || cleaningsRunning_ > 0) return false;
  auto rules = std::make_shared<const TCleaningRules>(minimumAgeDays, TKeepList(SplitLines(keepLines)));
  std::lock_guard<std::mutex> guard(rulesLock_);
  rules_ = std::move(rules);
  return true;
}

std::optional<TRuleCounts> TPURLib::LeftByRules(int32_t cleaning) const {
  std::lock_guard<std::mutex> guard(rulesLock_);
  if (cleaning == kCleanTempFolder) return leftInTemp_;
  if (cleaning == kCleanPersoSearch) return leftBySearch_;
  return std::nullopt;
}

int32_t TPURLib::EmptyTempFolder() {
  if (Status() & kStatusRecycleBin) return 0;
  TRunningCleaning running(cleaningsRunning_);
  const std::shared_ptr<const TCleaningRules> rules = Rules();
  TTempCleaning cleaning;
  {
    CleaningScope scope(*this, kStatusTempFolder);
    cleaning = CleanUserTempFolder(*rules);
  }
  {
    std::lock_guard<std::mutex> guard(rulesLock_);
    leftInTemp_ = cleaning.Left;
  }
  // A folder that is not safe to empty is an error of this cleaning: nothing was deleted.
  if (cleaning.Refused()) throw ERefused(cleaning.Refusal);
  NotifyEnd(kEndTempFolder);
  return cleaning.ExportedGain();
}

bool TPURLib::LoadPersoTree(const void* data, int32_t size) {
  if (Status() & kStatusSearch) return false;
  // A size without bytes behind it is refused rather than read from nowhere.
  if (!data && size > 0) return false;
  TMemoryStream stream(data, size > 0 ? static_cast<size_t>(size) : 0);
  // Names stored in code page 1252 by earlier versions become UTF-8 in a UTF-8 process; a
  // caller in another code page gets them as stored.
  stream.SetTexts(ProcessStreamTexts());
  auto tree = std::make_unique<TRAPosteDeTravail>(kDriveCapacity);
  tree->LoadFromStream(stream);
  persoTree_ = std::move(tree);
  return true;
}

bool TPURLib::SearchProgress(double value) {
  bool stop = StopRequested();
  SetPercent(value);
  return !stop;
}

void TPURLib::RunPersoSearch() {
  if ((Status() & kStatusRecycleBin) || !persoTree_) return;
  SetStatusBit(kStatusSearch, true);
  SetStopRequested(false);
  TRunningCleaning running(cleaningsRunning_);
  const std::shared_ptr<const TCleaningRules> rules = Rules();
  TRulesFilter filter(*rules);
  std::exception_ptr failure;
  try {
    TPathList found;
    StringList second, errors;
    {
      TSearchThread thread(*persoTree_, found, kPriorityNormal, *sync_);
      thread.Errors = &errors;
      // Without limits nothing is asked of each file: the search stays as fast as ever.
      if (rules->Active()) thread.Filter = &filter;
      thread.SetProgressHandler([this](double value) { return SearchProgress(value); });
      if (!StopRequested()) {
        thread.Start();
        thread.WaitFor();
      }
    }
    PublishLists(found, second, errors);
  } catch (...) {
    failure = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> guard(rulesLock_);
    leftBySearch_ = filter.Left;
  }
  SetStatusBit(kStatusSearch, false);
  NotifyEnd(kEndSearch);
  if (failure) std::rethrow_exception(failure);
}

int32_t TPURLib::DeleteOneFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden) {
  return DeleteFoundFile(path, toRecycleBin, allowReadOnlyHidden, *Rules());
}

void TPURLib::CreateFileLog(const std::string& path, const std::string& appName, const std::string& body,
                            bool newFile) {
  WriteFileLog(path, ChooseLogTitle(CallerAppNames(), appName), body, newFile);
}

void TPURLib::NotifyEnd(uint8_t kind) {
  TEndProc proc = endProc_.load();
  if (proc) proc(kind);
}

}  // namespace pur
