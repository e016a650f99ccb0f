#include "check/tree_ini.h"

#include <cstdint>
#include <filesystem>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trim(std::string_view s, std::size_t* leading = nullptr) {
  std::size_t b = 0;
  while (b < s.size() && IsBlankByte(s[b])) ++b;
  std::size_t e = s.size();
  while (e > b && IsBlankByte(s[e - 1])) --e;
  if (leading) *leading = b;
  return s.substr(b, e - b);
}

// A decimal integer with an optional sign, blanks allowed before it but not
// after it ("5 " is no integer); false on anything else or on overflow.
bool ParseInteger(std::string_view s, long& out) {
  while (!s.empty() && IsBlankByte(s.front())) s.remove_prefix(1);
  if (s.empty()) return false;
  bool neg = false;
  std::size_t i = 0;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    ++i;
  }
  if (i >= s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  out = static_cast<long>(v);
  return true;
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool GetU32(std::string_view in, std::size_t& pos, std::uint32_t& v) {
  if (pos + 4 > in.size()) return false;
  v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[pos + i])) << (8 * i);
  pos += 4;
  return true;
}

unsigned char RotateRight2(unsigned char b) { return static_cast<unsigned char>((b >> 2) | (b << 6)); }
unsigned char RotateLeft2(unsigned char b) { return static_cast<unsigned char>((b << 2) | (b >> 6)); }

bool IsIniName(const std::string& path) { return AsciiLower(ExtractFileExt(path)) == ".ini"; }

}  // namespace

std::vector<std::string> TextToLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::string_view l : SplitLines(text)) lines.emplace_back(l);
  return lines;
}

// ---------------------------------------------------------------------------
// TExtStringList

void TExtStringList::Notify() {
  if (updating_ == 0 && OnChange) OnChange();
}

void TExtStringList::Add(std::string line) {
  lines_.push_back(std::move(line));
  Notify();
}

void TExtStringList::Insert(int index, std::string line) {
  if (index < 0) index = 0;
  if (index > Count()) index = Count();
  lines_.insert(lines_.begin() + index, std::move(line));
  Notify();
}

void TExtStringList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  lines_.erase(lines_.begin() + index);
  Notify();
}

void TExtStringList::Put(int index, std::string line) {
  if (index < 0 || index >= Count()) return;
  lines_[static_cast<std::size_t>(index)] = std::move(line);
  Notify();
}

void TExtStringList::Clear() {
  // Clearing what is empty changes nothing, and says so.
  if (lines_.empty()) return;
  lines_.clear();
  Notify();
}

void TExtStringList::Assign(const std::vector<std::string>& lines) {
  lines_ = lines;
  Notify();
}

std::string TExtStringList::JoinedText(std::string_view eol) const {
  std::string out;
  for (const std::string& l : lines_) {
    out += l;
    out += eol;
  }
  return out;
}

bool TExtStringList::Same(std::string_view a, std::string_view b) const {
  return CaseSensitive ? a == b : EqualsNoCase(a, b);
}

int TExtStringList::IndexOf(std::string_view text) const {
  for (int i = 0; i < Count(); ++i)
    if (Same(lines_[static_cast<std::size_t>(i)], text)) return i;
  return -1;
}

int TExtStringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string_view line = lines_[static_cast<std::size_t>(i)];
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && Same(line.substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TExtStringList::ReadString(std::string_view name, std::string_view def) const {
  int i = IndexOfName(name);
  if (i < 0) return std::string(def);
  const std::string& line = lines_[static_cast<std::size_t>(i)];
  return line.substr(line.find('=') + 1);
}

long TExtStringList::ReadInteger(std::string_view name, long def) const {
  if (IndexOfName(name) < 0) return def;
  long v;
  return ParseInteger(ReadString(name), v) ? v : def;
}

void TExtStringList::WriteString(std::string_view name, std::string_view value) {
  int i = IndexOfName(name);
  if (KeepEmpty || !value.empty()) {
    std::string line = std::string(name) + "=" + std::string(value);
    if (i >= 0)
      Put(i, std::move(line));
    else
      Add(std::move(line));
  } else if (i >= 0) {
    Delete(i);
  }
}

void TExtStringList::WriteInteger(std::string_view name, long value) { WriteString(name, std::to_string(value)); }

bool TExtStringList::LoadFromFile(const std::string& path) {
  std::vector<std::string> lines;
  std::string bytes;
  bool ok = ReadWholeFile(path, bytes);
  if (ok && !bytes.empty()) {
    bool scrambled = bytes[0] == 1;
    std::size_t pos = 1;
    std::uint32_t count = 0;
    if (!GetU32(bytes, pos, count)) ok = false;
    for (std::uint32_t k = 0; ok && k < count; ++k) {
      std::uint32_t n = 0;
      if (!GetU32(bytes, pos, n) || n == 0 || n > bytes.size() - pos) {
        ok = false;
        break;
      }
      std::string line = bytes.substr(pos, n - 1);
      pos += n;
      if (scrambled)
        for (char& c : line) c = static_cast<char>(RotateLeft2(static_cast<unsigned char>(c)));
      lines.push_back(Cp932ToUtf8(line));
    }
  }
  Assign(lines);
  return ok;
}

bool TExtStringList::SaveToFile(const std::string& path, bool scrambled) const {
  std::string out;
  out.push_back(scrambled ? 1 : 0);
  PutU32(out, static_cast<std::uint32_t>(lines_.size()));
  for (const std::string& l : lines_) {
    std::string bytes = Utf8ToCp932(l);
    PutU32(out, static_cast<std::uint32_t>(bytes.size() + 1));
    if (scrambled)
      for (char& c : bytes) c = static_cast<char>(RotateRight2(static_cast<unsigned char>(c)));
    out += bytes;
    out.push_back('\0');
  }
  return WriteWholeFile(path, out);
}

// ---------------------------------------------------------------------------
// TTreeIniItem

TTreeIniItem::TTreeIniItem(TTreeIni* root, TTreeIniItem* parent)
    : level_(parent ? parent->level_ + 1 : 0), root_(root), parent_(parent) {
  if (parent_) {
    values_.OnChange = [this] { parent_->Change(); };
  }
}

void TTreeIniItem::Change() { Changed(); }

void TTreeIniItem::Changed() {
  modified_ = true;
  if (parent_) parent_->Changed();
}

TTreeIniItem* TTreeIniItem::AddChild(std::string name) {
  auto child = std::unique_ptr<TTreeIniItem>(new TTreeIniItem(root_, this));
  child->name_ = std::move(name);
  index_.emplace(AsciiUpper(child->name_), Count());
  children_.push_back(std::move(child));
  return children_.back().get();
}

void TTreeIniItem::ClearChildren() {
  children_.clear();
  index_.clear();
}

TTreeIniItem* TTreeIniItem::Child(int index) {
  if (index < 0) return nullptr;
  if (index >= Count()) return AddChild("");
  return children_[static_cast<std::size_t>(index)].get();
}

TTreeIniItem* TTreeIniItem::FindChild(std::string_view name) const {
  auto it = index_.find(AsciiUpper(name));
  return it == index_.end() ? nullptr : children_[static_cast<std::size_t>(it->second)].get();
}

void TTreeIniItem::SetName(std::string name) {
  if (parent_ && AsciiUpper(name) != AsciiUpper(name_)) {
    name_ = std::move(name);
    parent_->index_.clear();
    for (int i = 0; i < parent_->Count(); ++i)
      parent_->index_.emplace(AsciiUpper(parent_->children_[static_cast<std::size_t>(i)]->name_), i);
    return;
  }
  name_ = std::move(name);
}

std::string TTreeIniItem::Path() const {
  if (!parent_) return std::string();
  return parent_->Path() + "\\" + name_;
}

void TTreeIniItem::SetModifiedDown(bool value) {
  modified_ = value;
  for (auto& c : children_) c->SetModifiedDown(value);
}

bool TTreeIniItem::AnyModified() const {
  for (const auto& c : children_)
    if (c->modified_ || c->AnyModified()) return true;
  return false;
}

void TTreeIniItem::SetModified(bool value) {
  SetModifiedDown(value);
  TTreeIniItem* root = root_;
  if (value || root == this)
    root->modified_ = value;
  else
    root->modified_ = root->AnyModified();
}

// ---------------------------------------------------------------------------
// TTreeIni

TTreeIni::TTreeIni() : TTreeIniItem(this, nullptr) {}

TTreeIni::~TTreeIni() {
  if (!fileName_.empty() && Modified()) SaveToFile(fileName_);
}

void TTreeIni::Changed() { TTreeIniItem::modified_ = true; }

TTreeIniItem* TTreeIni::Resolve(TTreeIniItem* from, std::string_view rel) {
  TTreeIniItem* item = from;
  std::size_t pos = 0;
  while (pos <= rel.size()) {
    std::size_t next = rel.find('\\', pos);
    if (next == std::string_view::npos) next = rel.size();
    std::string_view seg = rel.substr(pos, next - pos);
    if (!seg.empty()) {
      TTreeIniItem* child = item->FindChild(seg);
      if (!child)
        child = item->AddChild(std::string(seg));
      else if (child->name_ != seg)
        child->name_ = std::string(seg);  // same name in other letter case: take this spelling
      item = child;
    }
    pos = next + 1;
  }
  return item;
}

TTreeIniItem* TTreeIni::ItemByPath(std::string_view path) { return Resolve(this, path); }

TExtStringList& TTreeIni::GetValues(std::string_view path) {
  TTreeIniItem* item = ItemByPath(path);
  return item == this ? Text() : item->Values();
}

std::string TTreeIni::ReadString(std::string_view path, std::string_view key, std::string_view def) {
  return GetValues(path).ReadString(key, def);
}

long TTreeIni::ReadInteger(std::string_view path, std::string_view key, long def) {
  return GetValues(path).ReadInteger(key, def);
}

void TTreeIni::WriteString(std::string_view path, std::string_view key, std::string_view value) {
  GetValues(path).WriteString(key, value);
}

void TTreeIni::WriteInteger(std::string_view path, std::string_view key, long value) {
  GetValues(path).WriteInteger(key, value);
}

namespace {

void Serialize(TTreeIniItem* item, std::vector<std::string>& out) {
  if (item->Level() > 0) {
    std::string_view name = Trim(item->Name());
    if (!name.empty() && (item->Count() > 0 || item->Values().Count() > 0)) {
      std::string indent(static_cast<std::size_t>(item->Level() - 1), ' ');
      out.push_back(indent + "[" + std::string(name) + "]");
      for (const std::string& line : item->Values().Lines()) {
        std::string_view t = Trim(line);
        if (!t.empty()) out.push_back(indent + std::string(t));
      }
      out.emplace_back();
    }
  }
  for (int i = 0; i < item->Count(); ++i) Serialize(item->Child(i), out);
}

}  // namespace

TExtStringList& TTreeIni::Text() {
  TExtStringList& text = Values();
  if (!Modified()) return text;
  std::vector<std::string> lines;
  if (Count() > 0) {
    int at = text.IndexOf("[" + Child(0)->Name() + "]");
    if (at >= 1) lines.assign(text.Lines().begin(), text.Lines().begin() + at);
  } else {
    lines = text.Lines();
  }
  Serialize(this, lines);
  text.Assign(lines);
  return text;
}

void TTreeIni::Parse(const std::vector<std::string>& lines, bool merge) {
  std::vector<TTreeIniItem*> open{this};
  for (const std::string& raw : lines) {
    std::size_t indent = 0;
    std::string_view t = Trim(raw, &indent);
    if (t.empty()) continue;
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      while (static_cast<std::size_t>(open.back()->Level()) > indent) open.pop_back();
      TTreeIniItem* item = Resolve(open.back(), t.substr(1, t.size() - 2));
      if (!merge && item != this) item->Values().Clear();
      open.push_back(item);
      continue;
    }
    TTreeIniItem* cur = open.back();
    TExtStringList& values = cur->Values();
    if (!merge) {
      if (cur != this) values.Add(std::string(t));
      continue;
    }
    std::size_t eq = t.find('=');
    if (eq != std::string_view::npos && eq >= 1) {
      values.WriteString(t.substr(0, eq), t.substr(eq + 1));
    } else if (values.IndexOf(t) < 0) {
      if (cur == this)
        values.Insert(0, std::string(t));
      else
        values.Add(std::string(t));
    }
  }
}

void TTreeIni::LoadFromStrings(const std::vector<std::string>& lines) {
  ClearChildren();
  if (&lines != &Values().Lines()) Values().Assign(lines);
  Parse(Values().Lines(), false);
}

void TTreeIni::MergeStrings(const std::vector<std::string>& lines) {
  if (&lines == &Values().Lines()) {
    std::vector<std::string> copy = lines;  // the root's own text changes while merging
    Parse(copy, true);
    return;
  }
  Parse(lines, true);
}

void TTreeIni::LoadFromFile(const std::string& path) {
  if (!FileExists(path)) return;
  if (IsIniName(path)) {
    Values().LoadFromFile(path);
  } else {
    std::string bytes;
    ReadWholeFile(path, bytes);
    Values().Assign(TextToLines(DecodeDeliveryText(bytes)));
  }
  ClearChildren();
  Parse(Values().Lines(), false);
  fileName_ = path;
  SetModified(false);
}

bool TTreeIni::SaveToFile(const std::string& path) {
  TExtStringList& text = Text();
  bool exists = FileExists(path);
  if (!(text.Count() > 0 || exists)) return false;
  if (!(Modified() || path != fileName_)) return false;
  std::error_code ec;
  std::string folder = ExtractFilePath(path);
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  bool ok = IsIniName(path) ? text.SaveToFile(path, true) : WriteWholeFile(path, Utf8ToCp932(text.JoinedText()));
  if (!ok) return false;
  fileName_ = path;
  SetModified(false);
  return true;
}

// ---------------------------------------------------------------------------

void TComTin::SetSection(std::string_view text) { Tree.LoadFromStrings(TextToLines(text)); }

}  // namespace dlvr
