#include "OptionsModel.h"

#include <algorithm>
#include <charconv>
#include <functional>

#include "OptionsIds.h"

namespace pur::options {

namespace {

constexpr char kBackslash = '\\';
constexpr std::string_view kForbiddenInMask = ":\"<>|";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool IsAsciiLetter(char c) {
  const char upper = FoldAscii(c);
  return upper >= 'A' && upper <= 'Z';
}

TDossier* AsPlace(TArborescense* node) { return dynamic_cast<TDossier*>(node); }

// Masks cannot be taken out of a list one by one: the list is rebuilt from its references.
void Rebuild(TMasqueList& list, std::vector<MaskRef> items) {
  list.Clear();
  for (MaskRef& item : items) list.Add(std::move(item));
}

std::vector<MaskRef> Items(const TMasqueList& list) {
  std::vector<MaskRef> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.GetItem(i));
  return items;
}

// Another mask of the list (not `except`) with the same text apart from ASCII case.
bool HasOther(const TMasqueList& list, const std::string& text, int except) {
  for (int i = 0; i < list.Count(); ++i)
    if (i != except && SameTextAscii(list.GetItem(i)->Text, text)) return true;
  return false;
}

void VisitPlaces(const TArborescense& node, const std::function<void(const TDossier&)>& visit) {
  if (const auto* place = dynamic_cast<const TDossier*>(&node)) visit(*place);
  for (int i = 0; i < node.Count(); ++i) VisitPlaces(node.ChildNode(i), visit);
}

template <auto Part, auto Member>
void Carry(const TOptionsValues& from, TOptionsValues& to) {
  to.*Part.*Member = from.*Part.*Member;
}

void CarrySearch(const TOptionsValues& from, TOptionsValues& to) { to.PersonalSearch = from.PersonalSearch; }

}  // namespace

bool TOptionsPolicies::Holds(std::string_view section, std::string_view name) const {
  const std::string key = std::string(section) + "\\" + std::string(name);
  return std::find(Enforced.begin(), Enforced.end(), key) != Enforced.end();
}

const std::vector<TShownSetting>& ShownSettings() {
  using V = TOptionsValues;
  using D = TDisplaySettings;
  using C = TCleaningSettings;
  using J = TJournalSettings;
  using S = TServiceSettings;
  namespace n = names;
  static const std::vector<TShownSetting> settings = {
      {n::kDisplayKey, n::kShowDetail, {ids::kShowDetail}, &Carry<&V::Display, &D::ShowDetail>},
      {n::kDisplayKey, n::kMinimizeToIcon, {ids::kMinimizeToIcon}, &Carry<&V::Display, &D::MinimizeToIcon>},
      {n::kDisplayKey, n::kRefreshSpeed, {ids::kRefreshSpeedLabel, ids::kRefreshSpeed}, &Carry<&V::Display, &D::RefreshSpeed>},
      {n::kDisplayKey, n::kPosX, {ids::kPosXLabel, ids::kPosX}, &Carry<&V::Display, &D::PosX>},
      {n::kDisplayKey, n::kPosY, {ids::kPosYLabel, ids::kPosY}, &Carry<&V::Display, &D::PosY>},
      {n::kCleaningKey, n::kEmptyRecycleBin, {ids::kEmptyRecycleBin}, &Carry<&V::Cleaning, &C::EmptyRecycleBin>},
      {n::kCleaningKey, n::kEmptyTempFolder, {ids::kEmptyTempFolder}, &Carry<&V::Cleaning, &C::EmptyTempFolder>},
      {n::kCleaningKey, n::kRunPersonalSearch, {ids::kRunPersonalSearch},
       &Carry<&V::Cleaning, &C::RunPersonalSearch>},
      {n::kCleaningKey, n::kSendToRecycleBin, {ids::kSendToRecycleBin}, &Carry<&V::Cleaning, &C::SendToRecycleBin>},
      {n::kCleaningKey, n::kConfirmDelete, {ids::kConfirmDelete}, &Carry<&V::Cleaning, &C::ConfirmDelete>},
      {n::kCleaningKey, n::kTestMode, {ids::kTestMode}, &Carry<&V::Cleaning, &C::TestMode>},
      {n::kCleaningKey, n::kReadOnlyHiddenMode, {ids::kReadOnlyHidden0, ids::kReadOnlyHidden0 + 1, ids::kReadOnlyHidden0 + 2},
       &Carry<&V::Cleaning, &C::ReadOnlyHiddenMode>},
      {n::kCleaningKey, n::kMinimumAgeDays, {ids::kMinimumAgeLabel, ids::kMinimumAgeDays, ids::kMinimumAgeArrows, ids::kDaysLabel},
       &Carry<&V::Cleaning, &C::MinimumAgeDays>},
      {n::kCleaningKey, n::kKeepList, {ids::kKeepListLabel, ids::kKeepList}, &Carry<&V::Cleaning, &C::KeepList>},
      {n::kJournalKey, n::kJournalEnabled, {ids::kJournalEnabled}, &Carry<&V::Journal, &J::Enabled>},
      {n::kJournalKey, n::kNewEachSearch, {ids::kNewEachSearch}, &Carry<&V::Journal, &J::NewEachSearch>},
      {n::kJournalKey, n::kEvents,
       {ids::kEventFirst, ids::kEventFirst + 1, ids::kEventFirst + 2, ids::kEventFirst + 3, ids::kEventFirst + 4},
       &Carry<&V::Journal, &J::Events>},
      {n::kJournalKey, n::kLocation, {ids::kLocationLabel, ids::kLocation, ids::kBrowseLocation}, &Carry<&V::Journal, &J::Location>},
      {n::kServiceKey, n::kAutoStart, {ids::kAutoStart}, &Carry<&V::Service, &S::AutoStart>},
      {n::kServiceKey, n::kCleaningType, {ids::kCleaningTypeLabel, ids::kCleaningType}, &Carry<&V::Service, &S::CleaningType>},
      {n::kServiceKey, n::kEveryInterval, {ids::kEveryLabel, ids::kEveryInterval, ids::kMinutesLabel},
       &Carry<&V::Service, &S::EveryInterval>},
      {n::kServiceKey, n::kFreeSpaceThreshold, {ids::kWhenLessLabel, ids::kFreeSpaceThreshold, ids::kMiBLabel},
       &Carry<&V::Service, &S::FreeSpaceThreshold>},
      // The whole page but the definition's text, which stays readable.
      {n::kPersonalKey, n::kPersonalSearchData,
       {ids::kTree, ids::kDrives, ids::kAddDrive, ids::kAddFolder, ids::kRemoveNode, ids::kMasks, ids::kMaskText,
        ids::kRecursive, ids::kAddMask, ids::kEditMask, ids::kRemoveMask},
       &CarrySearch},
  };
  return settings;
}

void KeepEnforced(const TOptionsValues& shown, TOptionsValues& edited) {
  for (const TShownSetting& setting : ShownSettings())
    if (shown.Policies.Holds(setting.Section, setting.Name)) setting.Carry(shown, edited);
}

std::string WithTrailingBackslash(std::string folder) {
  if (!folder.empty() && folder.back() != kBackslash) folder += kBackslash;
  return folder;
}

std::optional<int32_t> ParseNumber(std::string_view text, int32_t low, int32_t high) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [next, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || next != end) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::string KeepListText(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    if (!text.empty()) text += "\r\n";
    text += entry;
  }
  return text;
}

TKeepListReading ReadKeepList(std::string_view text) {
  TKeepListReading reading;
  int line = 0;
  for (size_t start = 0; start <= text.size(); ++line) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view entry = text.substr(start, end - start);
    start = end + 1;
    if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
    entry = Trim(entry);
    if (entry.empty()) continue;
    const TKeepEntryProblem problem = CheckKeepEntry(entry);
    if (problem != TKeepEntryProblem::None) {
      reading.Problem = problem;
      reading.Refused = std::string(entry);
      reading.RefusedLine = line;
      return reading;
    }
    const bool repeated = std::any_of(reading.Entries.begin(), reading.Entries.end(),
                                      [&](const std::string& kept) { return SameTextAscii(kept, entry); });
    if (!repeated) reading.Entries.emplace_back(entry);
  }
  return reading;
}

TMaskProblem CheckMaskText(std::string_view text) {
  if (text.empty()) return TMaskProblem::Empty;
  if (text.size() > kMaxShortStringLength) return TMaskProblem::TooLong;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) return TMaskProblem::BadCharacter;
    if (kForbiddenInMask.find(c) != std::string_view::npos) return TMaskProblem::BadCharacter;
  }
  if (text.front() == kBackslash || text.front() == '/') return TMaskProblem::LeavesFolder;
  const std::string_view folderPart = PatternFolderPart(text);
  if (folderPart.find_first_of("*?") != std::string_view::npos) return TMaskProblem::BadCharacter;
  for (std::string_view part : SplitComponents(text))
    if (Trim(part) == ".." || Trim(part) == ".") return TMaskProblem::LeavesFolder;
  return TMaskProblem::None;
}

bool IsMatchAllMask(std::string_view text) {
  const std::string_view name = PatternNamePart(text);
  if (name.find('*') == std::string_view::npos) return false;
  std::string rest;
  for (char c : name)
    if (c != '*') rest += c;
  // "*.*" style: stars on both sides of the dot ("*." asks for names without extension,
  // ".*" for names that start with a dot).
  return rest.empty() || (rest == "." && name.front() == '*' && name.back() == '*');
}

std::optional<TFolderPath> ParseFolderPath(std::string_view path) {
  path = Trim(path);
  if (path.size() < 2 || !IsAsciiLetter(path[0]) || path[1] != ':') return std::nullopt;
  if (path.size() > 2 && path[2] != kBackslash && path[2] != '/') return std::nullopt;
  TFolderPath result;
  result.Drive = FoldAscii(path[0]);
  for (std::string_view part : SplitComponents(path.substr(2))) {
    if (part == "." || part == ".." || part.size() > kMaxShortStringLength) return std::nullopt;
    result.Folders.emplace_back(part);
  }
  return result;
}

TSearchDefinition::TSearchDefinition(std::vector<uint8_t> stored)
    : stored_(std::move(stored)), root_(std::make_unique<TPosteDeTravail>()) {
  TMemoryStream stream(stored_);
  // Names and masks stored in code page 1252 are shown and edited as UTF-8 in a UTF-8
  // process; the bytes stay as stored until the definition is edited.
  stream.SetTexts(ProcessStreamTexts());
  if (!stored_.empty()) root_->LoadFromStream(stream);
}

TDisque* TSearchDefinition::AddDrive(char letter) {
  if (!IsAsciiLetter(letter)) return nullptr;
  const std::string name(1, FoldAscii(letter));
  int index = root_->IndexOfName(name);
  if (index < 0) {
    index = root_->AddChildByName(name);
    edited_ = true;
  }
  return dynamic_cast<TDisque*>(&root_->ChildNode(index));
}

TDossier* TSearchDefinition::AddFolder(std::string_view path) {
  const std::optional<TFolderPath> parsed = ParseFolderPath(path);
  if (!parsed || static_cast<int>(parsed->Folders.size()) + 1 >= kMaxTreeDepth) return nullptr;
  TDossier* node = AddDrive(parsed->Drive);
  for (const std::string& name : parsed->Folders) {
    if (!node) return nullptr;
    int index = node->IndexOfName(name);
    if (index < 0) {
      index = node->AddChildByName(name);
      edited_ = true;
    }
    node = AsPlace(&node->ChildNode(index));
  }
  return node;
}

bool TSearchDefinition::Remove(const TArborescense* node) {
  if (!node || node == root_.get()) return false;
  // The computer does not name itself as its drives' parent: find the holder by walking.
  std::function<bool(TArborescense&)> removeBelow = [&](TArborescense& holder) {
    for (int i = 0; i < holder.Count(); ++i) {
      if (&holder.ChildNode(i) == node) {
        holder.DeleteChild(i);  // the returned owner destroys the subtree
        return true;
      }
      if (removeBelow(holder.ChildNode(i))) return true;
    }
    return false;
  };
  if (!removeBelow(*root_)) return false;
  edited_ = true;
  return true;
}

TArborescense* TSearchDefinition::Find(std::string_view path) {
  std::function<TArborescense*(TArborescense&)> search = [&](TArborescense& node) -> TArborescense* {
    if (SameTextAscii(node.GetPath(), path)) return &node;
    for (int i = 0; i < node.Count(); ++i)
      if (TArborescense* found = search(node.ChildNode(i))) return found;
    return nullptr;
  };
  return search(*root_);
}

TMaskEdit TSearchDefinition::AddMask(TDossier& place, const std::string& text, bool recursive,
                                     TMaskProblem* why) {
  const TMaskProblem problem = CheckMaskText(text);
  if (why) *why = problem;
  if (problem != TMaskProblem::None) return TMaskEdit::Refused;
  if (HasOther(place.GetMasks(), text, -1)) return TMaskEdit::Duplicate;
  place.GetMasks().Add(std::make_shared<TMasque>(text, recursive));
  edited_ = true;
  return TMaskEdit::Done;
}

TMaskEdit TSearchDefinition::EditMask(TDossier& place, int index, const std::string& text,
                                      bool recursive, TMaskProblem* why) {
  TMasqueList& list = place.GetMasks();
  if (index < 0 || index >= list.Count()) return TMaskEdit::NoPlace;
  const TMaskProblem problem = CheckMaskText(text);
  if (why) *why = problem;
  if (problem != TMaskProblem::None) return TMaskEdit::Refused;
  if (HasOther(list, text, index)) return TMaskEdit::Duplicate;
  // A new mask object: the old one may be shared with another list.
  std::vector<MaskRef> items = Items(list);
  items[static_cast<size_t>(index)] = std::make_shared<TMasque>(text, recursive);
  Rebuild(list, std::move(items));
  edited_ = true;
  return TMaskEdit::Done;
}

TMaskEdit TSearchDefinition::RemoveMask(TDossier& place, int index) {
  TMasqueList& list = place.GetMasks();
  if (index < 0 || index >= list.Count()) return TMaskEdit::NoPlace;
  std::vector<MaskRef> items = Items(list);
  items.erase(items.begin() + index);
  Rebuild(list, std::move(items));
  edited_ = true;
  return TMaskEdit::Done;
}

std::vector<uint8_t> TSearchDefinition::Bytes() const {
  if (!edited_) return stored_;
  if (root_->Count() == 0) return {};  // nothing to search: the same as no definition
  return SaveTreeBytes(*root_);
}

std::vector<TDangerousMask> TSearchDefinition::FindDangerous(
    const std::function<bool(const std::string& place)>& holdsProtectedFolder) const {
  std::vector<TDangerousMask> found;
  VisitPlaces(*root_, [&](const TDossier& place) {
    const std::string path = place.GetPath();
    if (place.GetKind() != kKindDrive && !holdsProtectedFolder(path)) return;
    const TMasqueList& masks = place.Masks();
    for (int i = 0; i < masks.Count(); ++i) {
      const TMasque& mask = *masks.GetItem(i);
      if (mask.Recursive && IsMatchAllMask(mask.Text)) found.push_back({path, mask.Text});
    }
  });
  return found;
}

}  // namespace pur::options
