// The tree-INI text: an INI-like text in which the indentation of a section
// header gives its depth in a tree of sections.
//
//   [SETTING]
//   Ver=02
//
//    [ITEM 0]
//    Tag=シリアル番号
//
// Here SETTING is a child of the root and ITEM 0 a child of SETTING. A header
// becomes a child of the deepest open section whose level is at most the
// header's indentation.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dlvr {

// A string list with name=value access.
class TExtStringList {
 public:
  TExtStringList() = default;
  explicit TExtStringList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  // When false (the default) lookups by text and by name ignore ASCII case.
  bool CaseSensitive = false;
  // When false, writing an empty value removes the key's line.
  bool KeepEmpty = true;
  // Called after every change of the lines (unless updates are suspended).
  std::function<void()> OnChange;

  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int i) const { return lines_[static_cast<std::size_t>(i)]; }
  const std::vector<std::string>& Lines() const { return lines_; }

  void Add(std::string line);
  void Insert(int index, std::string line);
  void Delete(int index);
  void Put(int index, std::string line);
  void Clear();
  void Assign(const std::vector<std::string>& lines);
  // Lines joined with "\r\n" after each.
  std::string JoinedText(std::string_view eol = "\r\n") const;

  void BeginUpdate() { ++updating_; }
  void EndUpdate() {
    if (updating_ > 0) --updating_;
  }

  int IndexOf(std::string_view text) const;
  int IndexOfName(std::string_view name) const;
  std::string ReadString(std::string_view name, std::string_view def = "") const;
  long ReadInteger(std::string_view name, long def) const;
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, long value);

  // The binary form: one byte (1 = scrambled), a 32-bit little-endian line
  // count, then per line a 32-bit count n (length + 1) and the line's
  // Shift-JIS bytes with a terminating zero. Scrambled bytes are rotated
  // right by 2 bits. Reading a missing or malformed file leaves the list
  // empty (a truncated file keeps the lines read before the damage).
  bool LoadFromFile(const std::string& path);
  bool SaveToFile(const std::string& path, bool scrambled) const;

 private:
  bool Same(std::string_view a, std::string_view b) const;
  void Notify();

  std::vector<std::string> lines_;
  int updating_ = 0;
};

class TTreeIni;

// One section of the tree, with its own value lines and its children.
class TTreeIniItem {
 public:
  virtual ~TTreeIniItem() = default;
  TTreeIniItem(const TTreeIniItem&) = delete;
  TTreeIniItem& operator=(const TTreeIniItem&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name);
  int Level() const { return level_; }
  TTreeIni* Root() const { return root_; }
  TTreeIniItem* Parent() const { return parent_; }

  // The section's own value lines.
  TExtStringList& Values() { return values_; }
  const TExtStringList& Values() const { return values_; }
  // The value list this item answers with: its own lines; the whole text
  // for the root.
  virtual TExtStringList& GetValues() { return values_; }

  int Count() const { return static_cast<int>(children_.size()); }
  // The child at `index`; an index at or beyond the count creates a new
  // (unnamed) child there.
  TTreeIniItem* Child(int index);
  // The first child whose name equals `name` ignoring ASCII case, or null.
  TTreeIniItem* FindChild(std::string_view name) const;

  // "" for the root, otherwise the parent's path + "\" + Name.
  std::string Path() const;

  bool Modified() const { return modified_; }
  // Sets the flag on this item and every descendant; the root's flag then
  // becomes true, or for false the OR of every item's flag.
  void SetModified(bool value);

 protected:
  TTreeIniItem(TTreeIni* root, TTreeIniItem* parent);
  // Called when the value list of a child changed.
  void Change();
  virtual void Changed();

 private:
  friend class TTreeIni;
  TTreeIniItem* AddChild(std::string name);
  void ClearChildren();
  void SetModifiedDown(bool value);
  bool AnyModified() const;

  std::string name_;
  int level_ = 0;
  bool modified_ = false;
  TTreeIni* root_;
  TTreeIniItem* parent_;
  TExtStringList values_;
  std::vector<std::unique_ptr<TTreeIniItem>> children_;
  // Upper-cased child name -> index of the first child of that name.
  std::unordered_map<std::string, int> index_;
};

// The root of a tree-INI text. Its value list is the whole text.
class TTreeIni : public TTreeIniItem {
 public:
  TTreeIni();
  ~TTreeIni() override;

  // The item a path addresses, created on the way when missing. Trailing and
  // doubled separators collapse; each segment is matched ignoring ASCII case
  // and the item takes the segment's spelling.
  TTreeIniItem* ItemByPath(std::string_view path);

  // The value list of the item at `path`; for "" or "\" the whole text.
  TExtStringList& GetValues(std::string_view path);
  TExtStringList& GetValues() override { return Text(); }

  std::string ReadString(std::string_view path, std::string_view key, std::string_view def = "");
  long ReadInteger(std::string_view path, std::string_view key, long def);
  void WriteString(std::string_view path, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view path, std::string_view key, long value);

  // The text: as loaded while unmodified, regenerated from the tree (after
  // any preamble) while modified.
  TExtStringList& Text();

  // Load mode: the tree is rebuilt from the lines, which become the text.
  void LoadFromStrings(const std::vector<std::string>& lines);
  // Merge mode: name=value lines replace lines of the same name; other lines
  // are added when not present. Nothing is cleared.
  void MergeStrings(const std::vector<std::string>& lines);

  // Plain text lines (Shift-JIS), or the binary form for a ".ini" name.
  void LoadFromFile(const std::string& path);
  bool SaveToFile(const std::string& path);
  const std::string& FileName() const { return fileName_; }

 protected:
  void Changed() override;

 private:
  void Parse(const std::vector<std::string>& lines, bool merge);
  TTreeIniItem* Resolve(TTreeIniItem* from, std::string_view relativePath);

  std::string fileName_;
};

// Holds one embedded tree-INI text, parsed once.
class TComTin {
 public:
  TComTin() = default;
  explicit TComTin(std::string_view text) { SetSection(text); }

  // The text's lines (regenerated when the text has sections).
  std::vector<std::string> Section() { return Tree.Text().Lines(); }
  void SetSection(std::string_view text);

  TTreeIni Tree;
};

// Splits a text into lines (CR, LF or CR LF).
std::vector<std::string> TextToLines(std::string_view text);

}  // namespace dlvr
