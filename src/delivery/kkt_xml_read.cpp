#include "delivery/kkt_xml_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <type_traits>

#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

const char* const kFileNames[] = {"INDEX_C.XML", "DRAWINGS.XML", "MEET.XML", "PLAN.XML", "DRAWINGF.XML", "OTHRS.XML"};
const int kFileKinds[] = {fkIndex, fkDrawings, fkMeet, fkPlan, fkDrawingF, fkOthrs};

bool StartsWithUpper(const std::string& tag, const char* prefix) {
  std::size_t n = std::strlen(prefix);
  return tag.size() >= n && AsciiUpper(std::string_view(tag).substr(0, n)) == prefix;
}

template <class R>
void StoreValue(R& rec, const TFieldDef<R>& f, std::string value) {
  if (f.Text)
    rec.*f.Text = std::move(value);
  else if (f.List)
    (rec.*f.List).push_back(std::move(value));
}

// A drawing keeps its 予備 values in one text, joined with "、".
void StoreValue(TMdlTreeNodeDraw& rec, const TFieldDef<TMdlTreeNodeDraw>& f, std::string value) {
  if (f.Text == &TMdlTreeNodeDraw::Reserve) {
    if (rec.Reserve.empty())
      rec.Reserve = std::move(value);
    else
      rec.Reserve += "、" + value;
    return;
  }
  rec.*f.Text = std::move(value);
}

// How often the opening tag of `element` ("<" element ">") stands in the
// file, in its CP932 or its UTF-8 spelling: at least the records a walk
// makes of the file. 0 when the file cannot be read.
std::size_t CountOpeningTags(const std::string& path, const char* element) {
  const std::string utf8 = std::string("<") + element + ">";
  const std::string needles[2] = {utf8, Utf8ToCp932(utf8)};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return 0;
  const std::size_t keep = std::max(needles[0].size(), needles[1].size()) - 1;
  std::string buf;
  std::size_t count = 0;
  off_t offset = 0;
  while (true) {
    // The end of the last piece stays in front: a tag may straddle two.
    const std::size_t old = buf.size();
    buf.resize(old + (1 << 20));
    const ssize_t n = ::pread(fd, buf.data() + old, 1 << 20, offset);
    if (n < 0 && errno == EINTR) {
      buf.resize(old);
      continue;
    }
    if (n <= 0) break;
    buf.resize(old + static_cast<std::size_t>(n));
    offset += n;
    for (const std::string& needle : needles)
      for (std::size_t at = buf.find(needle); at != std::string::npos; at = buf.find(needle, at + 1))
        if (at + needle.size() > old) ++count;  // not counted with the last piece
    if (buf.size() > keep) buf.erase(0, buf.size() - keep);
  }
  ::close(fd);
  return count;
}

// The element of each record of a sub-management file of `kind`, or null.
const char* ItemElementOf(int kind) {
  switch (kind) {
    case fkDrawings:
    case fkDrawingF: return "図面情報";
    case fkMeet: return "打合せ簿情報";
    case fkPlan: return "施工計画書情報";
    case fkOthrs: return "その他資料情報";
    default: return nullptr;
  }
}

// Where an element stands: the position just after its opening tag, the
// same in every walk of one text (never 0).
std::uint64_t PositionKey(const TTagReader& r) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.LineIndex())) << 32) |
         static_cast<std::uint32_t>(r.Column());
}

bool ClosesElement(const std::string& tag, std::string_view element) {
  return tag.size() == element.size() + 1 && tag[0] == '/' && std::string_view(tag).substr(1) == element;
}

// The name in an opening or empty tag: what comes before the first blank.
std::string_view ElementName(std::string_view tag) {
  if (!tag.empty() && tag.back() == '/') tag.remove_suffix(1);
  return tag.substr(0, tag.find_first_of(" \t\r\n"));
}

// True for text of blanks only (ASCII blanks and the full-width space).
bool IsBlank(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')
      ++i;
    else if (s.substr(i, 3) == "\xE3\x80\x80")
      i += 3;
    else
      return false;
  }
  return true;
}

// `text` cut at `maxBytes` CP932 bytes, ending in "…" when anything was cut
// here or before (`cut`).
std::string Bounded(std::string_view text, std::size_t maxBytes, bool cut = false) {
  std::string out = CutAtBytes(text, maxBytes);
  if (cut || out.size() < text.size()) out += "…";
  return out;
}

// Lists, after a walk, the elements of a management file that no field
// took: a second walk of the same text, which meets every tag the first
// walk met, stopping where it stopped (the end or a structural error).
class TUnknownCollector {
 public:
  explicit TUnknownCollector(const std::unordered_set<std::uint64_t>& taken) : taken_(taken) {}

  TUnknownElements Collect(TTagReader& r) {
    r.Reset();
    r.ReadNextTag();
    while (!r.IsStopTag("")) {
      AddText(r);
      const std::string& tag = r.Tag();
      if (tag[0] == '?' || tag[0] == '!') {
        // A declaration, comment or document type: the text goes on.
      } else if (tag[0] == '/') {
        Close();
      } else if (tag.back() == '/') {
        Child();
        if (deep_ > 0)
          ++out_.Omitted;
        else
          Add(out_.Items.size(), Bounded(ElementName(tag), kMaxUnknownPathBytes), std::string_view(), false);
      } else {
        Open(ElementName(tag), PositionKey(r));
      }
      r.ReadNextTag();
    }
    return std::move(out_);
  }

 private:
  struct TOpen {
    std::string Name;
    std::uint64_t At = 0;
    bool Parent = false;  // an element opened inside it
    std::string Text;     // its own text, at most kRawText bytes
    bool Cut = false;     // more text than that
    std::size_t Slot = 0; // where it stands among the listed elements
  };
  // Raw text kept of one element: enough for kMaxUnknownValueBytes CP932
  // bytes of any text.
  static constexpr std::size_t kRawText = kMaxUnknownValueBytes * 4;

  // The text before the current tag belongs to the innermost open element.
  void AddText(const TTagReader& r) {
    if (open_.empty() || deep_ > 0) return;
    TOpen& o = open_.back();
    if (o.Cut) return;
    std::string text = r.GetText();
    if (o.Text.size() + text.size() > kRawText) {
      o.Text.append(text, 0, kRawText - o.Text.size());
      o.Cut = true;
    } else {
      o.Text += text;
    }
  }

  // An element starts inside the innermost open one.
  void Child() {
    if (deep_ > 0)
      deepLeaf_ = 0;
    else if (!open_.empty())
      open_.back().Parent = true;
  }

  void Open(std::string_view name, std::uint64_t at) {
    Child();
    if (deep_ > 0 || open_.size() >= kMaxUnknownDepth) {
      ++deep_;
      deepLeaf_ = at;
      return;
    }
    TOpen o;
    o.Name = Bounded(name, kMaxUnknownPathBytes);
    o.At = at;
    o.Slot = out_.Items.size();
    open_.push_back(std::move(o));
  }

  // A closing tag met in a walk always closes the innermost open element
  // (a mismatch stops the walk).
  void Close() {
    if (deep_ > 0) {
      if (deepLeaf_ != 0 && !taken_.count(deepLeaf_)) ++out_.Omitted;
      deepLeaf_ = 0;
      --deep_;
      return;
    }
    if (open_.empty()) return;
    TOpen o = std::move(open_.back());
    open_.pop_back();
    if (!o.Parent) {
      if (!taken_.count(o.At)) Add(out_.Items.size(), o.Name, o.Text, o.Cut);
    } else if (!IsBlank(o.Text)) {
      Add(o.Slot, o.Name, o.Text, o.Cut);
    }
  }

  // Lists an element named `name` inside the open ones at `slot`.
  void Add(std::size_t slot, const std::string& name, std::string_view text, bool cut) {
    if (out_.Items.size() >= kMaxUnknownElements) {
      ++out_.Omitted;
      return;
    }
    TUnknownElement e{PathOf(name), Bounded(text, kMaxUnknownValueBytes, cut)};
    out_.Items.insert(out_.Items.begin() + static_cast<std::ptrdiff_t>(std::min(slot, out_.Items.size())),
                      std::move(e));
  }

  // The names of the open elements and `name`, joined with "/"; the leading
  // names dropped (and "…/" first) beyond kMaxUnknownPathBytes.
  std::string PathOf(const std::string& name) const {
    std::size_t bytes = name.size(), first = open_.size();
    while (first > 0 && bytes + open_[first - 1].Name.size() + 1 <= kMaxUnknownPathBytes)
      bytes += open_[--first].Name.size() + 1;
    std::string path = first > 0 ? "…/" : "";
    for (std::size_t i = first; i < open_.size(); ++i) path += open_[i].Name + "/";
    return path + name;
  }

  const std::unordered_set<std::uint64_t>& taken_;
  std::vector<TOpen> open_;
  // Open elements beyond kMaxUnknownDepth, and the innermost of them while
  // nothing has opened inside it (0 otherwise).
  std::size_t deep_ = 0;
  std::uint64_t deepLeaf_ = 0;
  TUnknownElements out_;
};
}  // namespace

int TKKTXMLRead::KindOfFileName(const std::string& path) {
  std::string name = AsciiUpper(ExtractFileName(path));
  for (std::size_t i = 0; i < std::size(kFileNames); ++i)
    if (name == kFileNames[i]) return kFileKinds[i];
  return -1;
}

bool TKKTXMLRead::ReadFile(const std::string& path) {
  int kind = KindOfFileName(path);
  if (kind < 0) return false;
  fileKind_ = kind;
  failed_ = false;
  ParseFile(path);
  return failed_;
}

bool TKKTXMLRead::ReadOtherIndex(const std::string& path) {
  fileKind_ = fkOtherIndex;
  store_.IndexRecords[fkOtherIndex].Clear();
  failed_ = false;
  ParseFile(path);
  return failed_;
}

bool TKKTXMLRead::ParseFile(const std::string& path) {
  failed_ = false;
  std::string resolved = ResolveCase(path);
  if (!FileExists(resolved)) return false;
  TTagReader reader;
  if (!reader.LoadFromFile(resolved)) {
    failed_ = true;
    return false;
  }
  // The record list takes its room at once: grown by doubling, a large
  // file's list would be held twice while it moves, in up to twice the room.
  const char* item = ItemElementOf(fileKind_);
  expectedRecords_ = item ? CountOpeningTags(resolved, item) : 0;
  Walk(reader);
  expectedRecords_ = 0;
  return !failed_;
}

bool TKKTXMLRead::ReadText(std::string text, int kind) {
  fileKind_ = kind;
  failed_ = false;
  TTagReader reader;
  reader.LoadFromText(std::move(text));
  Walk(reader);
  return failed_;
}

void TKKTXMLRead::Walk(TTagReader& r) {
  if (fileKind_ < 0 || fileKind_ >= kIndexRecordCount) fileKind_ = fkUnassigned;
  noteTaken_ = fileKind_ == fkIndex;
  taken_.clear();
  textHolder_.clear();
  lastTaken_ = 0;
  r.ReadNextTag();
  while (!r.IsStopTag("")) {
    const std::string& tag = r.Tag();
    if (StartsWithUpper(tag, "CONSTDATA")) {
      ReadConstData(r);
    } else if (StartsWithUpper(tag, "DRAWINGDATA")) {
      ReadRoot(r, "/DRAWINGDATA", "図面情報", fileKind_ == fkDrawings ? store_.OrderDrawings : store_.FinalDrawings);
    } else if (StartsWithUpper(tag, "MEETDATA")) {
      ReadRoot(r, "/MEETDATA", "打合せ簿情報", store_.Meetings);
    } else if (StartsWithUpper(tag, "PLANDATA")) {
      ReadRoot(r, "/PLANDATA", "施工計画書情報", store_.Plans);
    } else if (StartsWithUpper(tag, "OTHRSDATA")) {
      ReadRoot(r, "/OTHRSDATA", "その他資料情報", store_.Others);
    } else {
      r.ReadNextTag();
    }
  }
  if (r.Failed()) failed_ = true;
  if (noteTaken_) {
    store_.IndexUnknown = TUnknownCollector(taken_).Collect(r);
    noteTaken_ = false;
    taken_.clear();
  }
}

std::string TKKTXMLRead::Take(TTagReader& r, std::string_view element) {
  const std::uint64_t at = PositionKey(r);
  std::string value = r.ReadValue(element);
  lastTaken_ = 0;
  if (noteTaken_ && ClosesElement(r.Tag(), element)) {
    taken_.insert(at);
    lastTaken_ = at;
  }
  return value;
}

void TKKTXMLRead::NoteTextField(std::size_t field) {
  if (!noteTaken_) return;
  if (textHolder_.size() <= field) textHolder_.resize(field + 1, 0);
  if (textHolder_[field] != 0) taken_.erase(textHolder_[field]);
  textHolder_[field] = lastTaken_;
}

// Reads the elements of one group (or of the fields directly in an item when
// `group` is "") into `rec` until the group's closing tag.
template <class R>
void TKKTXMLRead::ReadGroup(TTagReader& r, R& rec, const char* group) {
  const std::string close = std::string("/") + group;
  while (!r.IsStopTag(close)) {
    for (const TFieldDef<R>& f : R::Fields()) {
      if ((f.Text || f.List) && std::strcmp(f.Group, group) == 0 && r.Tag() == f.Element) {
        StoreValue(rec, f, Take(r, f.Element));
        // A text field keeps the last value: the element read before into
        // the management record is shown nowhere now.
        if constexpr (std::is_same_v<R, TMdlTreeNodeIndex>)
          if (f.Text) NoteTextField(static_cast<std::size_t>(&f - R::Fields().data()));
        break;
      }
    }
    r.ReadNextTag();
  }
}

void TKKTXMLRead::ReadConstData(TTagReader& r) {
  static const char* const kGroups[] = {"基礎情報", "ソフトウェア情報", "工事件名等", "場所情報", "施設情報", "発注者情報", "請負者情報"};
  TMdlTreeNodeIndex& rec = store_.IndexRecords[static_cast<std::size_t>(fileKind_)];
  while (!r.IsStopTag("/CONSTDATA")) {
    for (const char* group : kGroups)
      if (AsciiUpper(r.Tag()) == group) ReadGroup(r, rec, group);
    if (AsciiUpper(r.Tag()) == "予備") rec.Reserves.push_back(Take(r, "予備"));
    r.ReadNextTag();
  }
}

template <class R>
void TKKTXMLRead::ReadRoot(TTagReader& r, const char* closeTag, const char* itemElement, std::vector<R>& list) {
  store_.ResetDrawFileNames();
  if (expectedRecords_ > 0 && list.capacity() - list.size() < expectedRecords_) {
    try {
      list.reserve(list.size() + expectedRecords_);
    } catch (const std::exception&) {  // the list grows as it goes
    }
  }
  expectedRecords_ = 0;
  while (!r.IsStopTag(closeTag)) {
    std::string upper = AsciiUpper(r.Tag());
    if (upper == "ソフトウェア情報") {
      ReadGroup(r, store_.IndexRecords[static_cast<std::size_t>(fileKind_)], "ソフトウェア情報");
    } else if (upper == itemElement) {
      list.emplace_back();
      ReadItem(r, list.back(), itemElement);
    }
    r.ReadNextTag();
  }
}

void TKKTXMLRead::ReadOrg(TTagReader& r, TMdlTreeNodeOrg& org, const char* const elements[3]) {
  std::string* const fields[3] = {&org.OrgFile, &org.OrgSoftVersion, &org.OrgContent};
  while (!r.IsStopTag("/オリジナルファイル情報")) {
    for (int i = 0; i < 3; ++i) {
      if (r.Tag() == elements[i]) {
        *fields[i] = Take(r, elements[i]);
        break;
      }
    }
    r.ReadNextTag();
  }
}

template <class R>
void TKKTXMLRead::ReadItem(TTagReader& r, R& rec, const char* itemElement) {
  const std::string close = std::string("/") + itemElement;
  while (!r.IsStopTag(close)) {
    const std::string& tag = r.Tag();
    bool handled = false;
    for (const TFieldDef<R>& f : R::Fields()) {
      if (f.Group[0] == '\0' && f.Text && tag == f.Element) {
        std::string value = Take(r, f.Element);
        if constexpr (std::is_same_v<R, TMdlTreeNodeDraw>) {
          if (f.Text == &TMdlTreeNodeDraw::DrawFile) store_.NoteDrawFileName(AsciiUpper(value));
        }
        rec.*f.Text = std::move(value);
        handled = true;
        break;
      }
    }
    if (!handled) {
      if constexpr (std::is_same_v<R, TMdlTreeNodeDraw>) {
        for (const char* group : {"場所情報", "基準点情報", "その他"}) {
          if (r.Tag() == group) {
            ReadGroup(r, rec, group);
            break;
          }
        }
      } else {
        if (r.Tag() == "その他") {
          ReadGroup(r, rec, "その他");
        } else if (AsciiUpper(r.Tag()) == "オリジナルファイル情報") {
          rec.Orgs.emplace_back();
          ReadOrg(r, rec.Orgs.back(), R::OrgElements);
        }
      }
    }
    r.ReadNextTag();
  }
}

}  // namespace dlvr
