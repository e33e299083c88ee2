// Masks and the tree of places (computer, drives, folders) with its byte-stream form.
// Windows-free: the same code builds natively for the sanitizer and fuzz builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pur {

using StringList = std::vector<std::string>;

// Nesting limit of the tree: far deeper than any real path (a path of 260 characters holds
// at most about 130 levels), low enough that nothing can exhaust a thread's stack or memory.
constexpr int kMaxTreeDepth = 128;

constexpr size_t kMaxShortStringLength = 255;

// Capacity hints of the lists.
constexpr size_t kMaskListCapacity = 16;
constexpr size_t kSearchListCapacity = 32;
constexpr size_t kComputerCapacity = 26;

// Identity of the interfaces, kept for reference: views are plain C++ casts here.
constexpr char kIArborescenseGuid[] = "{1A60DABB-DCF2-4F2B-B781-9C995991819D}";
constexpr char kIMasqueGuid[] = "{6F9516E4-CF3C-475E-B2E9-F2949E281E8C}";

// Node kinds answered by GetKind.
constexpr int kKindComputer = 0;
constexpr int kKindDrive = 1;
constexpr int kKindFolder = 2;

// How the texts of a stream (folder names, mask texts) are read. Streams stored by earlier
// versions hold code page 1252; a UTF-8 process reads a text that is valid UTF-8 as it is and
// converts any other from 1252. A caller in another code page keeps the bytes as stored.
enum class TStreamTexts { AsStored, Utf8 };

// The way this process reads stored texts: Utf8 when its ANSI code page is UTF-8 (always on
// the host), AsStored otherwise.
TStreamTexts ProcessStreamTexts();

// A byte buffer with one position for reading and writing. Reads are all or nothing and never
// go past the end of the data: a read that does not fit answers false and changes nothing.
class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  TMemoryStream(const void* data, size_t size);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }
  size_t Position() const { return position_; }
  void SetPosition(size_t position) { position_ = position < bytes_.size() ? position : bytes_.size(); }
  size_t Remaining() const { return bytes_.size() - position_; }

  bool Read(void* out, size_t count);
  bool ReadByte(uint8_t& value);
  bool ReadInt32(int32_t& value);  // little-endian
  bool ReadShortString(std::string& value);
  // A short string that holds a text, read as SetTexts says (bytes as stored by default).
  bool ReadShortText(std::string& value);
  void SetTexts(TStreamTexts texts) { texts_ = texts; }

  void Write(const void* data, size_t count);
  void WriteByte(uint8_t value);
  void WriteInt32(int32_t value);  // little-endian
  // Cut to its first 255 bytes, and never inside a character of a UTF-8 text.
  void WriteShortString(std::string_view value);

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
  TStreamTexts texts_ = TStreamTexts::AsStored;
};

// Texts of the library's string table (the Windows build loads them from its resources).
const std::string& PosteDeTravailText();  // "Poste de travail"
const std::string& RecursifText();        // "Recursif"

// ASCII-only upper-case folding, as used to compare mask texts and node names.
char FoldAscii(char c);
bool SameTextAscii(std::string_view a, std::string_view b);

// Windows wildcard match of one long file name against the last component of a mask, by the
// system's rules for long names (not by what a listing under Wine returns): '*' any run, '?'
// one character or none before a dot or the end, a '.' before a wildcard or at the end also
// the end of a name without a dot ("*.*" every name, "*." the names without a dot), a '*'
// before a dot stops at the last dot, trailing blanks ignored; letters compared without
// regard to case. Characters are those
// of UTF-8 when both texts are valid UTF-8, otherwise single bytes of code page 1252 (a
// caller whose code page is still 1252).
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// The part of a listing pattern that names the files: after its last '\', '/' or ':'.
std::string_view PatternNamePart(std::string_view pattern);
// The folder part of a listing pattern, up to and including its last '\', '/' or ':'.
std::string_view PatternFolderPart(std::string_view pattern);

// Masks

class TMasque {
 public:
  explicit TMasque(std::string text = {}, bool recursive = false)
      : Text(std::move(text)), Recursive(recursive) {}
  virtual ~TMasque() = default;

  virtual std::string ToText() const;
  virtual std::shared_ptr<TMasque> Clone() const;
  // Answers false when the record is cut short; the mask is then left unchanged.
  virtual bool LoadFromStream(TMemoryStream& stream);
  virtual void SaveToStream(TMemoryStream& stream) const;

  std::string Text;
  bool Recursive;
};

// Masks are shared between lists: a mask lives as long as any list holds it.
using MaskRef = std::shared_ptr<TMasque>;

class TMasqueList {
 public:
  explicit TMasqueList(size_t capacity = kMaskListCapacity) { items_.reserve(capacity); }
  virtual ~TMasqueList() = default;
  TMasqueList(const TMasqueList&) = delete;
  TMasqueList& operator=(const TMasqueList&) = delete;

  // Appends every mask of this list, by reference, to the destination.
  virtual void AssignTo(TMasqueList& destination) const;
  void Assign(const TMasqueList& source) { source.AssignTo(*this); }

  // Throws std::out_of_range for an index outside 0..Count-1.
  virtual const MaskRef& GetItem(int index) const;
  virtual std::string ToText() const;
  virtual int Count() const { return static_cast<int>(items_.size()); }

  void Clear() { items_.clear(); }
  int Add(MaskRef mask);
  // First mask whose text equals the given one's apart from ASCII case, or -1.
  int IndexOf(const TMasque& mask) const;

 private:
  std::vector<MaskRef> items_;
};

// Tree of places

class TArborescense;

// Non-owning view of a tree node.
class IArborescense {
 public:
  virtual IArborescense* GetParent() const = 0;
  virtual void SetParent(IArborescense* parent) = 0;
  virtual std::string GetName() const = 0;
  virtual void SetName(const std::string& name) = 0;
  virtual int GetLevel() const = 0;
  virtual std::string GetPath() const = 0;
  virtual int Count() const = 0;
  virtual IArborescense* GetChild(int index) const = 0;
  virtual std::string ToText() const = 0;
  virtual int GetKind() const = 0;
  virtual void AssignTo(TArborescense& destination) const = 0;
  virtual void Assign(const TArborescense& source) = 0;
  virtual void LoadFromStream(TMemoryStream& stream) = 0;
  virtual void SaveToStream(TMemoryStream& stream) const = 0;
  // Takes the child when accepted (answers its index); leaves it with the caller on -1.
  virtual int AddChild(std::unique_ptr<TArborescense>& child) = 0;
  virtual int AddChildByName(const std::string& name) = 0;
  virtual std::unique_ptr<TArborescense> DeleteChild(int index) = 0;
  virtual int IndexOfName(const std::string& name) const = 0;

 protected:
  ~IArborescense() = default;
};

// Non-owning view of a drive's or folder's own masks.
class IMasque {
 public:
  virtual std::string ToText() const = 0;
  virtual TMasqueList& GetMasks() = 0;

 protected:
  ~IMasque() = default;
};

class TArborescense : public virtual IArborescense {
 public:
  TArborescense(const TArborescense&) = delete;
  TArborescense& operator=(const TArborescense&) = delete;
  // Destroys the whole subtree without recursion, whatever its depth.
  virtual ~TArborescense();

  IArborescense* GetParent() const override { return parent_; }
  void SetParent(IArborescense* parent) override;
  std::string GetName() const override { return name_; }
  void SetName(const std::string& name) override;
  int GetLevel() const override;
  std::string GetPath() const override;
  int Count() const override { return static_cast<int>(children_.size()); }
  IArborescense* GetChild(int index) const override { return &ChildNode(index); }
  std::string ToText() const override;
  void AssignTo(TArborescense& destination) const override;
  void Assign(const TArborescense& source) override { source.AssignTo(*this); }
  int AddChild(std::unique_ptr<TArborescense>& child) override;
  int AddChildByName(const std::string& name) override;
  std::unique_ptr<TArborescense> DeleteChild(int index) override;
  int IndexOfName(const std::string& name) const override;

  // The child object itself; throws std::out_of_range for an index outside 0..Count-1.
  TArborescense& ChildNode(int index) const;
  // The stored name, as written to the stream (the computer answers another GetName).
  const std::string& StoredName() const { return name_; }
  // Stores a name read from a stream as it is, without the class's naming rule.
  void StoreName(std::string name) { name_ = std::move(name); }

 protected:
  TArborescense(size_t capacity, IArborescense* parent);
  // Completes construction: the name goes through the class's own SetName rule.
  void InitName(const std::string& name) { SetName(name); }
  void AppendChild(std::unique_ptr<TArborescense> child);
  size_t ChildCapacity() const { return children_.capacity(); }

  // False for nodes whose path does not build on the parent's (drives, the computer).
  virtual bool PathFollowsParent() const { return true; }
  // Text appended after the children in the text form (the mask lines of drives and folders).
  virtual void AppendOwnText(std::string& text, int level) const {}
  // Copies what a node holds besides its name and children (the masks of drives and folders).
  virtual void CopyOwnInto(TArborescense& destination) const {}

 private:
  IArborescense* parent_ = nullptr;
  std::string name_;
  std::vector<std::unique_ptr<TArborescense>> children_;
};

class TDossier : public TArborescense, public virtual IMasque {
 public:
  TDossier(const std::string& name, size_t capacity, IArborescense* parent,
           size_t maskCapacity = kMaskListCapacity);

  std::string ToText() const override { return TArborescense::ToText(); }
  int GetKind() const override { return kKindFolder; }
  // Loads this node's folder record and everything below it, without recursion. A record cut
  // short ends the load: what was read stays, and a node whose name was cut is removed.
  // Folders nested deeper than kMaxTreeDepth are read past and left out; everything after
  // them loads.
  void LoadFromStream(TMemoryStream& stream) override;
  void SaveToStream(TMemoryStream& stream) const override;
  virtual TMasqueList& GetMasks() override { return masks_; }
  const TMasqueList& Masks() const { return masks_; }

 protected:
  void AppendOwnText(std::string& text, int level) const override;
  void CopyOwnInto(TArborescense& destination) const override;

 private:
  TMasqueList masks_;
};

class TDisque : public TDossier {
 public:
  TDisque(const std::string& name, size_t capacity, IArborescense* parent,
          size_t maskCapacity = kMaskListCapacity);

  // Keeps only the first character, upper-cased, when it is a letter A..Z.
  void SetName(const std::string& name) override;
  std::string GetPath() const override;
  int GetKind() const override { return kKindDrive; }

 protected:
  bool PathFollowsParent() const override { return false; }
};

class TPosteDeTravail : public TArborescense {
 public:
  explicit TPosteDeTravail(size_t capacity = kComputerCapacity);

  IArborescense* GetParent() const override { return nullptr; }
  void SetParent(IArborescense*) override {}
  std::string GetName() const override { return PosteDeTravailText(); }
  void SetName(const std::string&) override {}
  int GetLevel() const override { return 0; }
  std::string GetPath() const override { return "<" + PosteDeTravailText() + ">"; }
  int GetKind() const override { return kKindComputer; }
  // Reads the computer record; the drives load as TDossier::LoadFromStream does.
  void LoadFromStream(TMemoryStream& stream) override;
  void SaveToStream(TMemoryStream& stream) const override;
  // Accepts drives only; their parent link is left as it is.
  int AddChild(std::unique_ptr<TArborescense>& child) override;
  int AddChildByName(const std::string& name) override;

 protected:
  bool PathFollowsParent() const override { return false; }
};

// Saves a whole tree (any node) into a new byte buffer.
std::vector<uint8_t> SaveTreeBytes(const TArborescense& node);

}  // namespace pur
