// The search-capable tree: each node owns a search adapter that knows the masks applying at
// the node, discovers its subfolders on disk, lists its files and reports progress.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "Algo.h"
#include "ExactPath.h"
#include "PathList.h"

namespace pur {

constexpr char kIRechArborescenseGuid[] = "{1181CC76-BFC3-43A6-B74E-EA29BD0EF120}";
constexpr char kUserAbortMessage[] = "User abort";
constexpr char kAllFilesPattern[] = "*.*";

// Stops a search; raised when the progress callback answers false.
class ERAException : public std::runtime_error {
 public:
  ERAException() : std::runtime_error(kUserAbortMessage) {}
  explicit ERAException(const std::string& message) : std::runtime_error(message) {}
};

// A bound progress callback: takes the finished share of the search (0 to 1) and answers true
// to go on. Two events are the same when they call the same function on the same object.
class TSearchProgressEvent {
 public:
  using Function = bool (*)(void* object, double progress);

  TSearchProgressEvent() = default;
  TSearchProgressEvent(void* object, Function function) : object_(object), function_(function) {}

  // TSearchProgressEvent::Bind<&TPURLib::SearchProgress>(this)
  template <auto Method, class T>
  static TSearchProgressEvent Bind(T* object) {
    return TSearchProgressEvent(object, [](void* o, double progress) -> bool {
      return (static_cast<T*>(o)->*Method)(progress);
    });
  }
  // Wraps any callable; every wrapped callable is an event of its own.
  static TSearchProgressEvent FromFunction(std::function<bool(double)> function);

  explicit operator bool() const { return function_ != nullptr; }
  bool operator()(double progress) const { return function_(object_, progress); }
  friend bool operator==(const TSearchProgressEvent& a, const TSearchProgressEvent& b) {
    return a.object_ == b.object_ && a.function_ == b.function_;
  }

 private:
  void* object_ = nullptr;
  Function function_ = nullptr;
  std::shared_ptr<std::function<bool(double)>> holder_;  // keeps a wrapped callable alive
};

class TRechercheAdapter;
struct TListedEntry;
class TFolderPrefetch;

// Holds back found files that must stay (the user's limits); it counts what it holds back.
class TFoundFileFilter {
 public:
  virtual ~TFoundFileFilter() = default;
  // `folder` is the found file's folder, with its final delimiter.
  virtual bool Takes(const TExactPath& folder, const TListedEntry& entry) = 0;
};

// Search view of a search-capable node.
class IRechArborescense : public virtual IArborescense {
 public:
  virtual double GetProgress() const = 0;
  virtual TMasqueList& GetEffectiveMasks() = 0;
  virtual TSearchProgressEvent GetCallback() const = 0;
  virtual void SetCallback(const TSearchProgressEvent& callback) = 0;
  // The full paths of the files found at this node and below, in the fixed result order.
  // Folders left out (a link met when entering, a branch beyond the depth bound) are named
  // in `notes` when given.
  // Files the filter holds back are not reported.
  virtual TPathList Search(StringList* notes = nullptr, TFoundFileFilter* filter = nullptr) = 0;
  // The adapter behind the five operations above.
  virtual TRechercheAdapter& GetAdapter() = 0;

 protected:
  ~IRechArborescense() = default;
};

// A one-shot directory lister. Entries are reported only when their long name matches the
// pattern's last component: the platform also matches 8.3 short names ("*.tmp" would list
// "notes.tmpl"). Folder mode never lists hidden, system or reparse-point folders. Names are
// listed wide; a name that the ANSI code page cannot hold exactly, or that would not name
// this entry once joined to its folder, is skipped.
class TARFileList {
 public:
  TARFileList(std::string pattern, bool foldersOnly) : Pattern(std::move(pattern)), FoldersOnly(foldersOnly) {}
  virtual ~TARFileList() = default;

  // Throws std::out_of_range for an index outside 0..Count-1.
  virtual std::string GetEntry(int index) const;
  virtual int Count() const { return static_cast<int>(Entries.size()); }
  virtual StringList Scan();

  // Calls onName with the name of each entry that passes, in listing order.
  static void ForEachName(const std::string& pattern, bool foldersOnly,
                          const std::function<void(const char* name)>& onName);

  std::string Pattern;
  bool FoldersOnly;
  StringList Entries;
};

// The last component of a listed path (one trailing backslash ignored).
std::string FolderNameOf(const std::string& path);

class TRechercheAdapter {
 public:
  TRechercheAdapter(IArborescense& node, IMasque* maskSource) : node_(node), maskSource_(maskSource) {}
  virtual ~TRechercheAdapter() = default;
  TRechercheAdapter(const TRechercheAdapter&) = delete;
  TRechercheAdapter& operator=(const TRechercheAdapter&) = delete;

  virtual TMasqueList& GetEffectiveMasks();
  virtual void RefreshEffectiveMasks();
  // The own callback, else the nearest ancestor's (looked up at each call, so a callback that
  // was replaced above is never called again from below).
  virtual TSearchProgressEvent GetCallback() const;
  virtual void SetCallback(const TSearchProgressEvent& callback);

  double GetProgress() const;
  // Called after the k-th child of the node has been searched; raises ERAException when
  // the callback answers false.
  void ReportProgress(int k);
  // Walks the node's subtree depth first with an explicit stack, listing each folder once.
  // Every folder is checked not to be a link at the moment it is entered.
  TPathList Search(StringList* notes = nullptr, TFoundFileFilter* filter = nullptr);
  // Threads that list folders ahead of this node's walk: -1 (the default) one per core up to a
  // small bound, 0 none. The walk's results, order and progress are the same either way.
  void SetListingThreads(int threads) { listingThreads_ = threads; }

 private:
  TRechercheAdapter* ParentAdapter() const;
  void RefreshFromParent(TRechercheAdapter* parent);
  // Lists the folder once: adds the subfolders not yet in the tree (when `discover`) and keeps,
  // for each effective mask that names files of this folder, the matching names in listing
  // order.
  // Answers whether subfolders were left out because discovery was not allowed.
  bool ListFolder(const TExactPath& path, bool discover, std::vector<StringList>& namesByMask,
                  TFoundFileFilter* filter, TFolderPrefetch* ahead);
  // Announces the node's child folders to `ahead`, in the order the walk enters them.
  void AnnounceChildren(TFolderPrefetch& ahead);
  // Adds the node's own files mask by mask: from the folder's listing, or listed on their own
  // for a mask that names another folder (entered part by part, never through a link).
  void AddOwnFiles(const TExactPath& path, const std::vector<StringList>& namesByMask, TPathList& result,
                   TFoundFileFilter* filter);
  void AddMaskFolderFiles(const TExactPath& path, const std::string& maskText, TPathList& result,
                          TFoundFileFilter* filter);
  std::optional<TExactPath> EnterOwnFolder(StringList* notes);
  double Weight() const;

  IArborescense& node_;
  IMasque* maskSource_;
  TMasqueList effectiveMasks_{kMaskListCapacity};
  int cachedMaskCount_ = 0;
  TSearchProgressEvent callback_;
  double progress_ = 0.0;
  int listingThreads_ = -1;
  // The parent's adapter, looked up again whenever the node's parent changes.
  mutable IArborescense* knownParent_ = nullptr;
  mutable TRechercheAdapter* knownParentAdapter_ = nullptr;
};

// A node of the tree made search-capable: its search operations are its adapter's. Drives
// and folders take their masks from themselves; the computer has none and lists no files.
template <class Node>
class TSearchable : public Node, public virtual IRechArborescense {
 public:
  using Node::Node;

  double GetProgress() const override { return adapter_.GetProgress(); }
  TMasqueList& GetEffectiveMasks() override { return adapter_.GetEffectiveMasks(); }
  TSearchProgressEvent GetCallback() const override { return adapter_.GetCallback(); }
  void SetCallback(const TSearchProgressEvent& callback) override { adapter_.SetCallback(callback); }
  TPathList Search(StringList* notes = nullptr, TFoundFileFilter* filter = nullptr) override {
    return adapter_.Search(notes, filter);
  }
  TRechercheAdapter& GetAdapter() override { return adapter_; }

 private:
  static IMasque* MaskSourceOf(TSearchable* self) {
    if constexpr (std::is_base_of_v<IMasque, Node>) {
      return self;
    } else {
      return nullptr;
    }
  }

  TRechercheAdapter adapter_{*this, MaskSourceOf(this)};
};

class TRAPosteDeTravail : public TSearchable<TPosteDeTravail> {
 public:
  explicit TRAPosteDeTravail(size_t capacity = kComputerCapacity) : TSearchable(capacity) {}
  // Creates a search-capable drive from the name's first character.
  int AddChildByName(const std::string& name) override;
};

class TRADisque : public TSearchable<TDisque> {
 public:
  TRADisque(const std::string& name, IArborescense* parent)
      : TSearchable(name, kSearchListCapacity, parent, kSearchListCapacity) {}
  // Creates a search-capable folder.
  int AddChildByName(const std::string& name) override;
};

class TRADossier : public TSearchable<TDossier> {
 public:
  TRADossier(const std::string& name, IArborescense* parent)
      : TSearchable(name, kSearchListCapacity, parent, kSearchListCapacity) {}
  // Creates a search-capable folder.
  int AddChildByName(const std::string& name) override;
};

// Builds a search-capable tree from the stream bytes (a damaged stream loads what it can).
std::unique_ptr<TRAPosteDeTravail> LoadSearchTree(const void* data, size_t size);

}  // namespace pur
