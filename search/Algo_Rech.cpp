#include "Algo_Rech.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "ExactNames.h"
#include "FolderPrefetch.h"
#include "SearchTexts.h"

namespace pur {
namespace {

constexpr DWORD kAttributeVolumeLabel = 0x8;

// Files: anything but folders and volume labels. Folders: never hidden, system or reparse
// points (junctions and links may lead back up the tree or to places nobody chose).
bool PassesAttributes(DWORD attributes, bool foldersOnly) {
  if (!foldersOnly) return (attributes & (FILE_ATTRIBUTE_DIRECTORY | kAttributeVolumeLabel)) == 0;
  constexpr DWORD kRefused =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kAttributeVolumeLabel | FILE_ATTRIBUTE_REPARSE_POINT;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & kRefused) == 0;
}

// What a listing with `namePattern` reports of an entry.
bool Takes(const TListedEntry& entry, bool foldersOnly, std::string_view namePattern) {
  return PassesAttributes(entry.Attributes, foldersOnly) && MatchesWildcard(entry.Name, namePattern);
}

std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldAscii(c);
  return folded;
}

// A mask whose files can be taken from its folder's one listing: it has no folder part.
// Text without a wide form lists nothing.
bool NamesOwnFolderFiles(const std::string& maskText) {
  if (maskText.find_first_of("\\/") != std::string::npos) return false;
  return WideFromAnsi(maskText).has_value();
}

// The folder part of a mask ("Cache\\*.dat"), as exact parts; none when a part would name
// another place (a root, "..", a name Windows would change) or is not valid text.
std::optional<std::vector<std::pair<std::string, std::wstring>>> MaskFolderParts(std::string_view folderPart) {
  std::vector<std::pair<std::string, std::wstring>> parts;
  size_t start = 0;
  while (start < folderPart.size()) {
    size_t end = folderPart.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = folderPart.size();
    const std::string part(folderPart.substr(start, end - start));
    std::optional<std::wstring> wide = WideFromAnsi(part);
    if (!wide || !IsExactPart(*wide)) return std::nullopt;
    parts.emplace_back(part, std::move(*wide));
    start = end + 1;
  }
  return parts;
}

// The folder part of a listing pattern with '/' read as the separator it is for the system:
// the paths made from it are then exact paths.
std::string FolderOfPattern(std::string_view pattern) {
  std::string folder(PatternFolderPart(pattern));
  std::replace(folder.begin(), folder.end(), '/', '\\');
  return folder;
}

bool IsPlainAscii(char c) {
  return static_cast<unsigned char>(c) < 0x80 && c != '*' && c != '?' && c != '.';
}

// Whether the name's ends agree with the plain ASCII characters at the ends of a pattern.
// Only ASCII bytes of the name are compared (a letter of another script may fold to an ASCII
// one): any other byte in the way leaves the answer to the matcher.
bool MayStartWith(std::string_view name, std::string_view folded) {
  if (name.size() < folded.size()) return false;
  for (size_t i = 0; i < folded.size(); ++i) {
    if (static_cast<unsigned char>(name[i]) >= 0x80) return true;
    if (FoldAscii(name[i]) != folded[i]) return false;
  }
  return true;
}

bool MayEndWith(std::string_view name, std::string_view folded) {
  if (name.size() < folded.size()) return false;
  return MayStartWith(name.substr(name.size() - folded.size()), folded);
}

// A mask matched against many names: a name can only match when it starts with the mask's
// leading plain characters and ends with its trailing ones (each is a character item of the
// translated mask), which rules out most names before the matcher, the judge of every match,
// runs.
class TNameMatcher {
 public:
  explicit TNameMatcher(std::string_view text) : text_(text) {
    std::string_view trimmed = text;  // the matcher ignores trailing blanks
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
    size_t start = 0;
    while (start < trimmed.size() && IsPlainAscii(trimmed[start])) prefix_ += FoldAscii(trimmed[start++]);
    size_t end = trimmed.size();
    while (end > start && IsPlainAscii(trimmed[end - 1])) --end;
    for (size_t i = end; i < trimmed.size(); ++i) suffix_ += FoldAscii(trimmed[i]);
  }

  bool Matches(std::string_view name) const {
    return MayStartWith(name, prefix_) && MayEndWith(name, suffix_) && MatchesWildcard(name, text_);
  }

 private:
  std::string_view text_;
  std::string prefix_;
  std::string suffix_;
};

}  // namespace

// Events

TSearchProgressEvent TSearchProgressEvent::FromFunction(std::function<bool(double)> function) {
  if (!function) return {};
  auto holder = std::make_shared<std::function<bool(double)>>(std::move(function));
  TSearchProgressEvent event(holder.get(), [](void* o, double progress) -> bool {
    return (*static_cast<std::function<bool(double)>*>(o))(progress);
  });
  event.holder_ = std::move(holder);
  return event;
}

// TARFileList

void TARFileList::ForEachName(const std::string& pattern, bool foldersOnly,
                              const std::function<void(const char* name)>& onName) {
  const std::string_view namePattern = PatternNamePart(pattern);
  const std::optional<TExactPath> folder = TExactPath::FromAnsi(FolderOfPattern(pattern));
  if (!folder) return;
  // Listed wide and converted exactly: a name is reported only when it names this entry. The
  // whole folder is listed and matched here: the system's pattern rules differ at the edges.
  ForEachListedEntry(*folder, [&](const TListedEntry& entry) {
    if (Takes(entry, foldersOnly, namePattern)) onName(entry.Name.c_str());
  });
}

std::string TARFileList::GetEntry(int index) const {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return Entries[static_cast<size_t>(index)];
}

StringList TARFileList::Scan() {
  Entries.clear();
  const std::string folder = FolderOfPattern(Pattern);
  ForEachName(Pattern, FoldersOnly, [&](const char* name) { Entries.push_back(folder + name); });
  return Entries;
}

std::string FolderNameOf(const std::string& path) {
  std::string_view view(path);
  if (!view.empty() && view.back() == '\\') view.remove_suffix(1);
  const size_t cut = view.find_last_of("\\:");
  return std::string(cut == std::string_view::npos ? view : view.substr(cut + 1));
}

// TRechercheAdapter

TRechercheAdapter* TRechercheAdapter::ParentAdapter() const {
  IArborescense* parent = node_.GetParent();
  if (parent != knownParent_) {
    auto* searchable = dynamic_cast<IRechArborescense*>(parent);
    knownParentAdapter_ = searchable != nullptr ? &searchable->GetAdapter() : nullptr;
    knownParent_ = parent;
  }
  return knownParentAdapter_;
}

TMasqueList& TRechercheAdapter::GetEffectiveMasks() {
  RefreshEffectiveMasks();
  return effectiveMasks_;
}

void TRechercheAdapter::RefreshEffectiveMasks() {
  // Each list builds on its parent's: refresh the chain from the top down, without recursion.
  std::vector<TRechercheAdapter*> chain{this};
  for (TRechercheAdapter* adapter = this; adapter->maskSource_ != nullptr;) {
    adapter = adapter->ParentAdapter();
    if (adapter == nullptr) break;
    chain.push_back(adapter);
  }
  for (size_t i = chain.size(); i > 0; --i) {
    chain[i - 1]->RefreshFromParent(i < chain.size() ? chain[i] : nullptr);
  }
}

void TRechercheAdapter::RefreshFromParent(TRechercheAdapter* parent) {
  if (parent == nullptr || maskSource_ == nullptr) return;
  const TMasqueList& inherited = parent->effectiveMasks_;
  TMasqueList& own = maskSource_->GetMasks();
  const int total = inherited.Count() + own.Count();
  if (total == cachedMaskCount_) return;
  effectiveMasks_.Clear();
  for (int i = 0; i < own.Count(); ++i) {
    const MaskRef& mask = own.GetItem(i);
    if (effectiveMasks_.IndexOf(*mask) < 0) effectiveMasks_.Add(mask);
  }
  for (int i = 0; i < inherited.Count(); ++i) {
    const MaskRef& mask = inherited.GetItem(i);
    if (!mask->Recursive) continue;
    const int found = effectiveMasks_.IndexOf(*mask);
    if (found < 0) {
      effectiveMasks_.Add(mask);
    } else {
      // The same mask owned here becomes recursive for good (masks are shared), so the
      // ancestor's mask keeps applying below this node.
      effectiveMasks_.GetItem(found)->Recursive = true;
    }
  }
  cachedMaskCount_ = total;
}

TSearchProgressEvent TRechercheAdapter::GetCallback() const {
  for (const TRechercheAdapter* adapter = this; adapter != nullptr; adapter = adapter->ParentAdapter()) {
    if (adapter->callback_) return adapter->callback_;
  }
  return {};
}

void TRechercheAdapter::SetCallback(const TSearchProgressEvent& callback) {
  if (!(callback == callback_)) callback_ = callback;
}

double TRechercheAdapter::GetProgress() const {
  for (const TRechercheAdapter* adapter = this; adapter != nullptr; adapter = adapter->ParentAdapter()) {
    if (adapter->progress_ != 0.0) return adapter->progress_;
  }
  return 0.0;
}

double TRechercheAdapter::Weight() const {
  // Every child is an equal part of its parent's share. Kept as a double: the product of
  // child counts along a deep path would overflow any integer.
  double weight = 1.0;
  for (const IArborescense* node = &node_; node != nullptr; node = node->GetParent()) {
    weight *= static_cast<double>(node->Count());
  }
  return weight > 0.0 ? weight : 1.0;
}

void TRechercheAdapter::ReportProgress(int k) {
  const TSearchProgressEvent callback = GetCallback();
  if (!callback) return;
  progress_ = static_cast<double>(k) / Weight();
  if (TRechercheAdapter* parent = ParentAdapter()) progress_ += parent->GetProgress();
  if (!callback(progress_)) throw ERAException();
}

bool TRechercheAdapter::ListFolder(const TExactPath& path, bool discover, std::vector<StringList>& namesByMask,
                                   TFoundFileFilter* filter, TFolderPrefetch* ahead) {
  TMasqueList& masks = GetEffectiveMasks();
  if (masks.Count() == 0) {
    if (ahead != nullptr) ahead->Forget(path);  // announced, but a folder without masks is not listed
    return false;
  }
  namesByMask.assign(static_cast<size_t>(masks.Count()), StringList());
  // The texts to match here, by mask index; none for the computer, which lists no files.
  std::vector<std::pair<size_t, TNameMatcher>> matched;
  for (int i = 0; maskSource_ != nullptr && i < masks.Count(); ++i) {
    const std::string& text = masks.GetItem(i)->Text;
    if (NamesOwnFolderFiles(text)) matched.emplace_back(static_cast<size_t>(i), TNameMatcher(text));
  }
  bool leftOut = false;
  // Names already in the tree, folded as IndexOfName folds them.
  std::unordered_set<std::string> known;
  for (int i = 0; discover && i < node_.Count(); ++i) known.insert(FoldedName(node_.GetChild(i)->GetName()));
  const auto onEntry = [&](const TListedEntry& entry) {
    if (Takes(entry, true, kAllFilesPattern)) {
      if (!discover) {
        leftOut = true;
      } else if (known.insert(FoldedName(entry.Name)).second) {
        node_.AddChildByName(entry.Name);
      }
      return;
    }
    if (!PassesAttributes(entry.Attributes, false)) return;
    bool judged = false;
    for (const auto& [index, matcher] : matched) {
      if (!matcher.Matches(entry.Name)) continue;
      // One verdict per file, however many masks take it.
      if (!judged && filter != nullptr && !filter->Takes(path, entry)) return;
      judged = true;
      namesByMask[index].push_back(entry.Name);
    }
  };
  if (ahead != nullptr) {
    ahead->ForEachEntry(path, onEntry);
  } else {
    ForEachListedEntry(path, onEntry);
  }
  return leftOut;
}

void TRechercheAdapter::AnnounceChildren(TFolderPrefetch& ahead) {
  std::vector<TExactPath> folders;
  for (int i = 0; i < node_.Count(); ++i) {
    auto* searchable = dynamic_cast<IRechArborescense*>(node_.GetChild(i));
    if (searchable == nullptr) continue;
    // The same path the child's walk will make when it enters.
    if (std::optional<TExactPath> path = TExactPath::FromAnsi(searchable->GetAdapter().node_.GetPath())) {
      folders.push_back(std::move(*path));
    }
  }
  ahead.Ahead(folders);
}

void TRechercheAdapter::AddOwnFiles(const TExactPath& path, const std::vector<StringList>& namesByMask,
                                    TPathList& result, TFoundFileFilter* filter) {
  if (maskSource_ == nullptr) return;
  TMasqueList& masks = GetEffectiveMasks();
  for (int i = 0; i < masks.Count(); ++i) {
    const std::string& text = masks.GetItem(i)->Text;
    if (NamesOwnFolderFiles(text)) {
      for (const std::string& name : namesByMask[static_cast<size_t>(i)]) result.Add(path.Ansi(), name);
      continue;
    }
    AddMaskFolderFiles(path, text, result, filter);
  }
}

void TRechercheAdapter::AddMaskFolderFiles(const TExactPath& path, const std::string& text, TPathList& result,
                                           TFoundFileFilter* filter) {
  const size_t cut = text.find_last_of("\\/");
  const std::string_view namePattern = std::string_view(text).substr(cut + 1);
  const auto parts = MaskFolderParts(std::string_view(text).substr(0, cut));
  if (!parts) return;
  // Each part is checked like any folder of the walk when it is entered: a link there is
  // never followed.
  TExactPath folder = path;
  for (const auto& [ansi, wide] : *parts) {
    folder = folder.Child(ansi, wide).AsFolder();
    if (!IsRealFolderNow(folder.Wide())) return;
  }
  ForEachListedEntry(folder, [&](const TListedEntry& entry) {
    if (!Takes(entry, false, namePattern)) return;
    if (filter == nullptr || filter->Takes(folder, entry)) result.Add(folder.Ansi(), entry.Name);
  });
}

// The node's folder as the walk may use it: none for the computer, which has no folder of its
// own, and for a folder that cannot be entered now (a link, gone, or a name that is not one
// exact part); a drive's root is taken as it is. Its parent was checked the same way when the
// walk entered it. A folder listed ahead was checked by its thread before the listing, and is
// checked again here: what the walk takes is only ever a real folder's listing.
std::optional<TExactPath> TRechercheAdapter::EnterOwnFolder(StringList* notes) {
  if (node_.GetLevel() == 0) return std::nullopt;
  const std::string path = node_.GetPath();
  std::optional<TExactPath> exact = TExactPath::FromAnsi(path);
  if (exact && !exact->IsRoot()) {
    const std::optional<std::wstring> name = WideFromAnsi(node_.GetName());
    if (!name || !IsExactPart(*name) || !IsRealFolderNow(exact->Wide())) exact.reset();
  }
  if (!exact && notes != nullptr) notes->push_back(texts::kFolderNotEntered + path);
  return exact;
}

TPathList TRechercheAdapter::Search(StringList* notes, TFoundFileFilter* filter) {
  struct Frame {
    TRechercheAdapter* adapter;
    std::optional<TExactPath> path;   // none when the disk is not used below this node
    int level;
    int next;   // children entered so far
    int count;  // taken once, after discovery
    std::vector<StringList> namesByMask;  // from the folder's one listing, kept until its turn
  };
  // Below a folder that was not entered nothing touches the disk (the path would go through
  // whatever is there now), but its stored children still count for the progress.
  // Listings made ahead on other threads; the object's end stops and joins them, also when a
  // stop unwinds the walk.
  const unsigned threads =
      listingThreads_ >= 0 ? static_cast<unsigned>(listingThreads_) : ListingThreadsForThisMachine();
  std::unique_ptr<TFolderPrefetch> ahead;
  if (threads > 0) ahead = std::make_unique<TFolderPrefetch>(threads);
  auto enter = [notes, filter, &ahead](TRechercheAdapter& adapter, int level, bool onDisk) {
    adapter.progress_ = 0.0;  // a second search starts from fresh progress values
    Frame frame{&adapter, std::nullopt, level, 0, 0, {}};
    if (onDisk) frame.path = adapter.EnterOwnFolder(notes);
    if (onDisk && !frame.path && ahead) {
      if (std::optional<TExactPath> announced = TExactPath::FromAnsi(adapter.node_.GetPath())) ahead->Forget(*announced);
    }
    if (frame.path &&
        adapter.ListFolder(*frame.path, level < kMaxTreeDepth, frame.namesByMask, filter, ahead.get()) && notes) {
      notes->push_back(texts::kTooDeepToWalk + frame.path->Ansi());
    }
    frame.count = adapter.node_.Count();
    if (frame.path && ahead) adapter.AnnounceChildren(*ahead);
    return frame;
  };
  auto childrenOnDisk = [](const Frame& frame) {
    return frame.path.has_value() || frame.adapter->node_.GetLevel() == 0;
  };

  // One result list in post-order: each subtree's files, then the node's own, as the
  // recursive definition concatenates them.
  TPathList result;
  std::vector<Frame> stack;
  stack.push_back(enter(*this, node_.GetLevel(), true));
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.count) {
      IArborescense* child = frame.adapter->node_.GetChild(frame.next++);
      auto* searchable = dynamic_cast<IRechArborescense*>(child);
      if (searchable == nullptr) {
        frame.adapter->ReportProgress(frame.next);
        continue;
      }
      const int level = frame.level + 1;
      const bool onDisk = childrenOnDisk(frame);
      stack.push_back(enter(searchable->GetAdapter(), level, onDisk));
      continue;
    }
    if (frame.path) frame.adapter->AddOwnFiles(*frame.path, frame.namesByMask, result, filter);
    stack.pop_back();
    if (!stack.empty()) stack.back().adapter->ReportProgress(stack.back().next);
  }
  return result;
}

// Search-capable nodes

int TRAPosteDeTravail::AddChildByName(const std::string& name) {
  std::unique_ptr<TArborescense> drive = std::make_unique<TRADisque>(name, this);
  return AddChild(drive);
}

int TRADisque::AddChildByName(const std::string& name) {
  std::unique_ptr<TArborescense> folder = std::make_unique<TRADossier>(name, this);
  return AddChild(folder);
}

int TRADossier::AddChildByName(const std::string& name) {
  std::unique_ptr<TArborescense> folder = std::make_unique<TRADossier>(name, this);
  return AddChild(folder);
}

std::unique_ptr<TRAPosteDeTravail> LoadSearchTree(const void* data, size_t size) {
  auto tree = std::make_unique<TRAPosteDeTravail>(kComputerCapacity);
  TMemoryStream stream(data, size);
  tree->LoadFromStream(stream);
  return tree;
}

}  // namespace pur
