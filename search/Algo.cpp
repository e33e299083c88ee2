#include "Algo.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <typeinfo>
#include <vector>

#include "TextEncoding.h"

namespace pur {

// Stream

TMemoryStream::TMemoryStream(const void* data, size_t size) {
  if (data != nullptr && size > 0) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    bytes_.assign(bytes, bytes + size);
  }
}

bool TMemoryStream::Read(void* out, size_t count) {
  if (count > Remaining()) return false;
  if (count > 0) std::memcpy(out, bytes_.data() + position_, count);
  position_ += count;
  return true;
}

bool TMemoryStream::ReadByte(uint8_t& value) { return Read(&value, 1); }

bool TMemoryStream::ReadInt32(int32_t& value) {
  uint8_t raw[4];
  if (!Read(raw, sizeof raw)) return false;
  uint32_t v = uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 | uint32_t(raw[3]) << 24;
  value = static_cast<int32_t>(v);
  return true;
}

bool TMemoryStream::ReadShortString(std::string& value) {
  if (Remaining() < 1) return false;
  size_t length = bytes_[position_];
  if (Remaining() < 1 + length) return false;
  value.assign(reinterpret_cast<const char*>(bytes_.data() + position_ + 1), length);
  position_ += 1 + length;
  return true;
}

bool TMemoryStream::ReadShortText(std::string& value) {
  if (!ReadShortString(value)) return false;
  if (texts_ == TStreamTexts::Utf8) value = StoredTextToUtf8(value);
  return true;
}

void TMemoryStream::Write(const void* data, size_t count) {
  if (count == 0) return;
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  std::memcpy(bytes_.data() + position_, data, count);
  position_ += count;
}

void TMemoryStream::WriteByte(uint8_t value) { Write(&value, 1); }

void TMemoryStream::WriteInt32(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  uint8_t raw[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  Write(raw, sizeof raw);
}

void TMemoryStream::WriteShortString(std::string_view value) {
  if (value.size() > kMaxShortStringLength) {
    // A name converted from 1252 may have grown past the limit: cut before a whole character.
    size_t cut = kMaxShortStringLength;
    if (IsValidUtf8(value)) {
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    }
    value = value.substr(0, cut);
  }
  WriteByte(static_cast<uint8_t>(value.size()));
  Write(value.data(), value.size());
}

// Text helpers

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

namespace {

// Upper case of code page 1252, for names of a caller whose ANSI code page is 1252.
unsigned char Fold1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

// One character of a name or pattern: its length in bytes and its upper case. A text that is
// not UTF-8 is read a byte at a time in code page 1252.
TCodePoint FoldedCharAt(std::string_view text, size_t position, bool utf8) {
  if (!utf8) return {Fold1252(static_cast<unsigned char>(text[position])), 1};
  TCodePoint c = Utf8CodePointAt(text, position);
  c.Value = FoldCodePoint(c.Value);
  return c;
}

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// A pattern element after the system's translation of a long-name mask.
enum class TWild : uint8_t { Char, Star, DosStar, DosQm, DosDot };

struct TPatternItem {
  TWild Kind;
  char32_t Value;  // the folded character of a Char
};

std::vector<char32_t> FoldedChars(std::string_view text, bool utf8) {
  std::vector<char32_t> chars;
  for (size_t i = 0; i < text.size();) {
    const TCodePoint c = FoldedCharAt(text, i, utf8);
    chars.push_back(c.Value);
    i += c.Size;
  }
  return chars;
}

// The mask as the system reads it: trailing blanks are ignored and a run of final dots
// counts as one; then '?' matches one character or nothing before a dot or the end (DOS_QM),
// a '.' before a wildcard or at the end matches a dot or nothing at the end (DOS_DOT), and a
// '*' before a dot stops at the name's last dot (DOS_STAR). So "*." takes the names without
// a dot, "a?" takes "a" and "ab", and "name.*" takes "name".
std::vector<TPatternItem> TranslatePattern(std::string_view pattern, bool utf8) {
  while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
  while (pattern.size() >= 2 && pattern.back() == '.' && pattern[pattern.size() - 2] == '.') {
    pattern.remove_suffix(1);
  }
  const std::vector<char32_t> chars = FoldedChars(pattern, utf8);
  std::vector<TPatternItem> items;
  for (size_t i = 0; i < chars.size(); ++i) {
    const char32_t next = i + 1 < chars.size() ? chars[i + 1] : 0;
    TWild kind = TWild::Char;
    if (chars[i] == '?') {
      kind = TWild::DosQm;
    } else if (chars[i] == '*') {
      kind = next == '.' ? TWild::DosStar : TWild::Star;
    } else if (chars[i] == '.' && (next == '?' || next == '*' || next == 0)) {
      kind = TWild::DosDot;
    }
    items.push_back({kind, chars[i]});
  }
  return items;
}

}  // namespace

// Dynamic programming over (pattern position, name position): no backtracking blow-up on
// patterns with many stars.
bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  const bool utf8 = IsValidUtf8(name) && IsValidUtf8(pattern);
  const std::vector<char32_t> chars = FoldedChars(name, utf8);
  const std::vector<TPatternItem> items = TranslatePattern(pattern, utf8);
  if (items.empty()) return false;
  const size_t n = chars.size();
  size_t lastDot = n;  // no dot: a DOS_STAR may run to the end
  for (size_t i = n; i > 0; --i) {
    if (chars[i - 1] == '.') {
      lastDot = i - 1;
      break;
    }
  }
  // reach[j]: the name's first j characters are matched by the items so far.
  std::vector<uint8_t> reach(n + 1, 0), next(n + 1, 0);
  reach[0] = 1;
  for (const TPatternItem& item : items) {
    std::fill(next.begin(), next.end(), 0);
    for (size_t j = 0; j <= n; ++j) {
      if (!reach[j]) continue;
      switch (item.Kind) {
        case TWild::Char:
          if (j < n && chars[j] == item.Value) next[j + 1] = 1;
          break;
        case TWild::Star:
          for (size_t k = j; k <= n; ++k) next[k] = 1;
          break;
        case TWild::DosStar:
          for (size_t k = j; k <= std::max(j, lastDot); ++k) next[k] = 1;
          break;
        case TWild::DosQm:
          if (j < n && chars[j] != '.') next[j + 1] = 1;
          if (j == n || chars[j] == '.') next[j] = 1;
          break;
        case TWild::DosDot:
          if (j < n && chars[j] == '.') next[j + 1] = 1;
          if (j == n) next[j] = 1;
          break;
      }
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

std::string_view PatternNamePart(std::string_view pattern) {
  for (size_t i = pattern.size(); i > 0; --i) {
    if (IsSeparator(pattern[i - 1])) return pattern.substr(i);
  }
  return pattern;
}

std::string_view PatternFolderPart(std::string_view pattern) {
  return pattern.substr(0, pattern.size() - PatternNamePart(pattern).size());
}

// Masks

std::string TMasque::ToText() const {
  if (!Recursive) return Text;
  return Text + " - [" + RecursifText() + "]";
}

std::shared_ptr<TMasque> TMasque::Clone() const { return std::make_shared<TMasque>(Text, Recursive); }

bool TMasque::LoadFromStream(TMemoryStream& stream) {
  std::string text;
  uint8_t flag = 0;
  if (!stream.ReadShortText(text) || !stream.ReadByte(flag)) return false;
  Text = std::move(text);
  Recursive = flag != 0;
  return true;
}

void TMasque::SaveToStream(TMemoryStream& stream) const {
  stream.WriteShortString(Text);
  stream.WriteByte(Recursive ? 1 : 0);
}

void TMasqueList::AssignTo(TMasqueList& destination) const {
  // By index over the starting count: a list assigned to itself doubles once.
  const size_t count = items_.size();
  for (size_t i = 0; i < count; ++i) destination.Add(items_[i]);
}

const MaskRef& TMasqueList::GetItem(int index) const {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return items_[static_cast<size_t>(index)];
}

std::string TMasqueList::ToText() const {
  std::string text;
  for (const MaskRef& mask : items_) {
    text += mask->ToText();
    text += '\n';
  }
  return text;
}

int TMasqueList::Add(MaskRef mask) {
  items_.push_back(std::move(mask));
  return Count() - 1;
}

int TMasqueList::IndexOf(const TMasque& mask) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameTextAscii(items_[i]->Text, mask.Text)) return static_cast<int>(i);
  }
  return -1;
}

// TArborescense

TArborescense::TArborescense(size_t capacity, IArborescense* parent) : parent_(parent) {
  children_.reserve(capacity);
}

TArborescense::~TArborescense() {
  // Flatten the subtree: every node is destroyed once it holds no children any more.
  std::vector<std::unique_ptr<TArborescense>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<TArborescense> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

void TArborescense::SetParent(IArborescense* parent) {
  if (parent != parent_) parent_ = parent;
}

void TArborescense::SetName(const std::string& name) {
  if (name != name_) name_ = name;
}

int TArborescense::GetLevel() const {
  int level = 0;
  for (IArborescense* p = GetParent(); p != nullptr; p = p->GetParent()) ++level;
  return level;
}

std::string TArborescense::GetPath() const {
  // Folders build on their parent's path: gather them up to the first node that answers a
  // path of its own (a drive, the computer) or has no parent.
  std::vector<const TArborescense*> chain;
  std::string path;
  const TArborescense* node = this;
  while (true) {
    chain.push_back(node);
    IArborescense* parent = node->GetParent();
    if (parent == nullptr) break;
    const auto* treeParent = dynamic_cast<const TArborescense*>(parent);
    if (treeParent == nullptr || !treeParent->PathFollowsParent()) {
      path = parent->GetPath();
      break;
    }
    node = treeParent;
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += (*it)->name_;
    path += '\\';
  }
  return path;
}

TArborescense& TArborescense::ChildNode(int index) const {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *children_[static_cast<size_t>(index)];
}

namespace {

void AppendTabs(std::string& text, int count) { text.append(static_cast<size_t>(count), '\t'); }

}  // namespace

std::string TArborescense::ToText() const {
  // Depth first with an explicit stack; each frame's level and path are derived from its
  // parent's when the child links back to it, so no walk up the tree is repeated.
  struct Frame {
    const TArborescense* node;
    int level;
    std::string path;
    int next;
  };
  std::string text;
  std::vector<Frame> stack;
  stack.push_back({this, GetLevel(), GetPath(), 0});
  AppendTabs(text, stack.back().level);
  text += stack.back().path;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.node->Count()) {
      const TArborescense& child = frame.node->ChildNode(frame.next++);
      const bool linked = child.GetParent() == static_cast<const IArborescense*>(frame.node);
      int level = linked ? frame.level + 1 : child.GetLevel();
      std::string path = (linked && child.PathFollowsParent()) ? frame.path + child.name_ + '\\' : child.GetPath();
      text += '\n';
      AppendTabs(text, level);
      text += path;
      stack.push_back({&child, level, std::move(path), 0});
      continue;
    }
    frame.node->AppendOwnText(text, frame.level);
    stack.pop_back();
  }
  return text;
}

void TArborescense::AssignTo(TArborescense& destination) const {
  struct Frame {
    const TArborescense* source;
    TArborescense* destination;
    int next;
    int count;  // taken once, so that copying into one's own subtree ends
  };
  std::vector<Frame> stack;
  destination.SetName(name_);
  stack.push_back({this, &destination, 0, Count()});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.count) {
      const TArborescense& child = frame.source->ChildNode(frame.next++);
      TArborescense* target = frame.destination;
      TArborescense& copy = target->ChildNode(target->AddChildByName("A"));
      copy.SetName(child.name_);
      stack.push_back({&child, &copy, 0, child.Count()});
      continue;
    }
    frame.source->CopyOwnInto(*frame.destination);
    stack.pop_back();
  }
}

void TArborescense::AppendChild(std::unique_ptr<TArborescense> child) { children_.push_back(std::move(child)); }

int TArborescense::AddChild(std::unique_ptr<TArborescense>& child) {
  if (!child) return -1;
  TArborescense* node = child.get();
  AppendChild(std::move(child));
  node->SetParent(this);
  return Count() - 1;
}

int TArborescense::AddChildByName(const std::string& name) {
  std::unique_ptr<TArborescense> child = std::make_unique<TDossier>(name, ChildCapacity(), this);
  return AddChild(child);
}

std::unique_ptr<TArborescense> TArborescense::DeleteChild(int index) {
  ChildNode(index);  // range check
  auto it = children_.begin() + index;
  std::unique_ptr<TArborescense> child = std::move(*it);
  children_.erase(it);
  return child;
}

int TArborescense::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < children_.size(); ++i) {
    if (SameTextAscii(children_[i]->GetName(), name)) return static_cast<int>(i);
  }
  return -1;
}

// Loading and saving folder records

namespace {

enum class LoadEnd { Complete, Cut, NameMissing };

int32_t CountOrNone(int32_t count) { return count > 0 ? count : 0; }

// Reads past one folder record and everything below it, keeping nothing. A branch deeper
// than a tree may hold is left out this way, and the records after it (its ancestors' masks,
// the next drives) still load as they stand. One counter per level, so no recursion; each
// level takes at least five bytes, so the stack stays within the stream's size.
bool SkipFolderRecord(TMemoryStream& stream) {
  std::string name;
  int32_t count = 0;
  std::vector<int32_t> childrenLeft;
  if (!stream.ReadShortString(name) || !stream.ReadInt32(count)) return false;
  childrenLeft.push_back(CountOrNone(count));
  while (!childrenLeft.empty()) {
    if (childrenLeft.back() > 0) {
      --childrenLeft.back();
      if (!stream.ReadShortString(name) || !stream.ReadInt32(count)) return false;
      childrenLeft.push_back(CountOrNone(count));
      continue;
    }
    if (!stream.ReadInt32(count)) return false;
    for (int32_t i = 0; i < count; ++i) {
      TMasque mask;
      if (!mask.LoadFromStream(stream)) return false;
    }
    childrenLeft.pop_back();
  }
  return true;
}

LoadEnd LoadFolderRecords(TDossier& root, TMemoryStream& stream) {
  struct Frame {
    TDossier* node;
    int32_t childrenLeft;
    int level;
  };
  std::string name;
  int32_t count = 0;
  if (!stream.ReadShortText(name)) return LoadEnd::NameMissing;
  root.StoreName(std::move(name));
  if (!stream.ReadInt32(count)) return LoadEnd::Cut;

  std::vector<Frame> stack;
  stack.push_back({&root, CountOrNone(count), root.GetLevel()});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.childrenLeft > 0) {
      --frame.childrenLeft;
      if (frame.level >= kMaxTreeDepth) {
        if (!SkipFolderRecord(stream)) return LoadEnd::Cut;
        continue;
      }
      TDossier* parent = frame.node;
      const int level = frame.level + 1;
      const int index = parent->AddChildByName(std::string());
      auto* child = dynamic_cast<TDossier*>(&parent->ChildNode(index));
      if (child == nullptr) return LoadEnd::Cut;
      if (!stream.ReadShortText(name)) {
        parent->DeleteChild(index);
        return LoadEnd::Cut;
      }
      child->StoreName(std::move(name));
      if (!stream.ReadInt32(count)) return LoadEnd::Cut;
      stack.push_back({child, CountOrNone(count), level});
      continue;
    }
    if (!stream.ReadInt32(count)) return LoadEnd::Cut;
    for (int32_t i = 0; i < count; ++i) {
      auto mask = std::make_shared<TMasque>();
      if (!mask->LoadFromStream(stream)) return LoadEnd::Cut;
      frame.node->GetMasks().Add(std::move(mask));
    }
    stack.pop_back();
  }
  return LoadEnd::Complete;
}

const TMasqueList* MasksOf(const TArborescense& node) {
  const auto* folder = dynamic_cast<const TDossier*>(&node);
  return folder != nullptr ? &folder->Masks() : nullptr;
}

void WriteFolderHead(TMemoryStream& stream, const TArborescense& node) {
  stream.WriteShortString(node.StoredName());
  stream.WriteInt32(node.Count());
}

void WriteMasks(TMemoryStream& stream, const TArborescense& node) {
  const TMasqueList* masks = MasksOf(node);
  const int count = masks != nullptr ? masks->Count() : 0;
  stream.WriteInt32(count);
  for (int i = 0; i < count; ++i) masks->GetItem(i)->SaveToStream(stream);
}

// Writes the folder record of `root` and of everything below it, with an explicit stack.
void SaveFolderRecords(const TArborescense& root, TMemoryStream& stream) {
  struct Frame {
    const TArborescense* node;
    int next;
  };
  std::vector<Frame> stack;
  WriteFolderHead(stream, root);
  stack.push_back({&root, 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.node->Count()) {
      const TArborescense& child = frame.node->ChildNode(frame.next++);
      WriteFolderHead(stream, child);
      stack.push_back({&child, 0});
      continue;
    }
    WriteMasks(stream, *frame.node);
    stack.pop_back();
  }
}

}  // namespace

// TDossier, TDisque

TDossier::TDossier(const std::string& name, size_t capacity, IArborescense* parent, size_t maskCapacity)
    : TArborescense(capacity, parent), masks_(maskCapacity) {
  InitName(name);
}

void TDossier::LoadFromStream(TMemoryStream& stream) { LoadFolderRecords(*this, stream); }

void TDossier::SaveToStream(TMemoryStream& stream) const { SaveFolderRecords(*this, stream); }

void TDossier::AppendOwnText(std::string& text, int level) const {
  if (masks_.Count() == 0) return;
  text += '\n';
  AppendTabs(text, level);
  text += masks_.ToText();
}

void TDossier::CopyOwnInto(TArborescense& destination) const {
  // A destination without masks is the invalid cast (std::bad_cast).
  TMasqueList& target = dynamic_cast<IMasque&>(destination).GetMasks();
  masks_.AssignTo(target);
}

TDisque::TDisque(const std::string& name, size_t capacity, IArborescense* parent, size_t maskCapacity)
    : TDossier(std::string(), capacity, parent, maskCapacity) {
  InitName(name);
}

void TDisque::SetName(const std::string& name) {
  if (name.empty()) return;
  const char letter = FoldAscii(name[0]);
  if (letter < 'A' || letter > 'Z') return;
  TArborescense::SetName(std::string(1, letter));
}

std::string TDisque::GetPath() const { return StoredName() + ":\\"; }

// TPosteDeTravail

TPosteDeTravail::TPosteDeTravail(size_t capacity) : TArborescense(capacity, nullptr) {}

void TPosteDeTravail::LoadFromStream(TMemoryStream& stream) {
  int32_t count = 0;
  if (!stream.ReadInt32(count)) return;
  for (int32_t i = 0; i < count; ++i) {
    const int index = AddChildByName("A");
    if (index < 0) return;
    auto* drive = dynamic_cast<TDossier*>(&ChildNode(index));
    if (drive == nullptr) return;
    LoadEnd end = LoadFolderRecords(*drive, stream);
    if (end == LoadEnd::NameMissing) DeleteChild(index);
    if (end != LoadEnd::Complete) return;
  }
}

void TPosteDeTravail::SaveToStream(TMemoryStream& stream) const {
  stream.WriteInt32(Count());
  for (int i = 0; i < Count(); ++i) SaveFolderRecords(ChildNode(i), stream);
}

int TPosteDeTravail::AddChild(std::unique_ptr<TArborescense>& child) {
  if (dynamic_cast<TDisque*>(child.get()) == nullptr) return -1;
  AppendChild(std::move(child));
  return Count() - 1;
}

int TPosteDeTravail::AddChildByName(const std::string& name) {
  std::unique_ptr<TArborescense> drive = std::make_unique<TDisque>(name, ChildCapacity(), this);
  return AddChild(drive);
}

std::vector<uint8_t> SaveTreeBytes(const TArborescense& node) {
  TMemoryStream stream;
  node.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace pur
