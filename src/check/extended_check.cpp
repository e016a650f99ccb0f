#include "check/extended_check.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <set>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include "check/data_check.h"
#include "delivery/xml_stream_check.h"
#include "model/cad_names.h"
#include "model/tree_view.h"
#include "photo/photo_check.h"
#include "photo/photo_records.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "platform/translate.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;

// The management files of a medium, relative to its folder.
constexpr const char* kManagementFiles[] = {"INDEX_C.XML",           "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML",
                                            "PLAN/PLAN.XML",         "DRAWINGF/DRAWINGF.XML", "PHOTO/PHOTO.XML",
                                            "OTHRS/OTHRS.XML"};

// Rules, by family (in the findings in the user's language).
constexpr const char* kListedMissing = DLVR_TR_NOOP("ExtendedCheck", "記載ファイルの存在");
constexpr const char* kEmptyFile = DLVR_TR_NOOP("ExtendedCheck", "空のファイル");
constexpr const char* kUnlisted = DLVR_TR_NOOP("ExtendedCheck", "記載のないファイル");
constexpr const char* kFileName = DLVR_TR_NOOP("ExtendedCheck", "ファイル名の規則");
constexpr const char* kFolderName = DLVR_TR_NOOP("ExtendedCheck", "フォルダ名の規則");
constexpr const char* kSameOnTwoMedia = DLVR_TR_NOOP("ExtendedCheck", "媒体間の重複");
constexpr const char* kUnexpectedFolder = DLVR_TR_NOOP("ExtendedCheck", "規定外のフォルダ");
constexpr const char* kDepth = DLVR_TR_NOOP("ExtendedCheck", "フォルダの深さ");
constexpr const char* kPathLength = DLVR_TR_NOOP("ExtendedCheck", "パスの長さ");
constexpr const char* kSystemFile = DLVR_TR_NOOP("ExtendedCheck", "不要なファイル");
constexpr const char* kLink = DLVR_TR_NOOP("ExtendedCheck", "リンク");
constexpr const char* kPeriod = DLVR_TR_NOOP("ExtendedCheck", "日付と工期");
constexpr const char* kDateOrder = DLVR_TR_NOOP("ExtendedCheck", "日付の順序");
constexpr const char* kMediaCount = DLVR_TR_NOOP("ExtendedCheck", "メディア総枚数");
constexpr const char* kMediaNo = DLVR_TR_NOOP("ExtendedCheck", "メディア番号");
constexpr const char* kCharacters = DLVR_TR_NOOP("ExtendedCheck", "使用文字");
constexpr const char* kGrammar = DLVR_TR_NOOP("ExtendedCheck", "XML の文法");
constexpr const char* kEdition = DLVR_TR_NOOP("ExtendedCheck", "要領の版");
constexpr const char* kDocument = DLVR_TR_NOOP("ExtendedCheck", "文書ファイル");
constexpr const char* kDrawingName = DLVR_TR_NOOP("ExtendedCheck", "図面ファイル名の規則");
constexpr const char* kDataCheck = DLVR_TR_NOOP("ExtendedCheck", "データチェック");
constexpr const char* kDrawingTwice = DLVR_TR_NOOP("ExtendedCheck", "図面ファイル名の重複");

// Folders of a medium written on a CD-R of the guideline's first edition:
// at most 8 levels, paths of at most 255 characters.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxPathLength = 255;
// A walk stops after this many entries on one medium.
constexpr std::size_t kMaxEntries = 2'000'000;

// The folders a medium may hold, and the management file of each.
struct TStandardFolder {
  const char* Path;
  const char* ManagementFile;  // "" for a sub-folder
};
constexpr TStandardFolder kStandardFolders[] = {
    {"DRAWINGS", "DRAWINGS.XML"}, {"DRAWINGS/SPEC", ""}, {"MEET", "MEET.XML"}, {"MEET/ORG", ""},
    {"PLAN", "PLAN.XML"},         {"PLAN/ORG", ""},      {"DRAWINGF", "DRAWINGF.XML"}, {"PHOTO", "PHOTO.XML"},
    {"PHOTO/PIC", ""},            {"PHOTO/DRA", ""},     {"OTHRS", "OTHRS.XML"},   {"OTHRS/ORG", ""},
};

bool IsStandardFolder(std::string_view path) {
  return std::any_of(std::begin(kStandardFolders), std::end(kStandardFolders),
                     [&](const TStandardFolder& f) { return path == f.Path; });
}

bool EndsWithI(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && EqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

// A name of upper-case half-width letters, digits and '_': at most 8, a dot
// and at most 3 more for a file (a folder has no dot).
bool NameFollowsRule(std::string_view name, bool folder, std::size_t longestExtension = 3) {
  auto fine = [](std::string_view part, std::size_t most) {
    return !part.empty() && part.size() <= most && std::all_of(part.begin(), part.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
  };
  const std::size_t dot = name.find('.');
  if (folder) return dot == std::string::npos && fine(name, 8);
  if (dot == std::string::npos || name.find('.', dot + 1) != std::string::npos) return false;
  return fine(name.substr(0, dot), 8) && fine(name.substr(dot + 1), longestExtension);
}

// Files that operating systems and editors leave behind.
bool IsSystemFile(std::string_view name) {
  return EqualsNoCase(name, "THUMBS.DB") || EqualsNoCase(name, "DESKTOP.INI") || EqualsNoCase(name, ".DS_STORE") ||
         name.substr(0, 2) == "~$" || EndsWithI(name, ".TMP");
}

// A management file, its DTD or stylesheet in the medium's root or in a
// folder of a management file.
bool IsCompanion(std::string_view folder, std::string_view name) {
  const bool dtdOrXsl = EndsWithI(name, ".DTD") || EndsWithI(name, ".XSL");
  if (folder.empty()) return EqualsNoCase(name, "INDEX_C.XML") || dtdOrXsl;
  for (const TStandardFolder& f : kStandardFolders)
    if (folder == f.Path && *f.ManagementFile) return EqualsNoCase(name, f.ManagementFile) || dtdOrXsl;
  return false;
}

// Texts kept one after another in large blocks, never moved: the paths a
// check walks and looks up, let go all at once.
class TCheckTextArena {
 public:
  std::string_view Keep(std::string_view s) {
    char* at = Room(s.size());
    std::memcpy(at, s.data(), s.size());
    return std::string_view(at, s.size());
  }
  // Two texts one after the other, kept as one.
  std::string_view Keep(std::string_view a, std::string_view b) {
    char* at = Room(a.size() + b.size());
    std::memcpy(at, a.data(), a.size());
    std::memcpy(at + a.size(), b.data(), b.size());
    return std::string_view(at, a.size() + b.size());
  }
  // The text with its ASCII letters upper-cased.
  std::string_view KeepUpper(std::string_view s) {
    char* at = Room(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
      const char c = s[i];
      at[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return std::string_view(at, s.size());
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 18;
  char* Room(std::size_t size) {
    if (size == 0) return at_;
    if (room_ < size) {
      room_ = std::max(kBlock, size);
      blocks_.push_back(std::make_unique<char[]>(room_));
      at_ = blocks_.back().get();
    }
    char* at = at_;
    at_ += size;
    room_ -= size;
    return at;
  }
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* at_ = nullptr;
  std::size_t room_ = 0;
};

// Distinct paths, each known by its number (in the order first given), in
// an open-addressed table; the paths themselves are views the caller keeps.
class TCheckPathIndex {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  void Reserve(std::size_t n) {
    paths_.reserve(n);
    hashes_.reserve(n);
    if ((n + 1) * 4 > slots_.size() * 3) Rehash(n);
  }
  // The path's number, it added when new (`added` then true).
  std::uint32_t Insert(std::string_view path, bool* added = nullptr) {
    if ((paths_.size() + 1) * 4 > slots_.size() * 3) Rehash(paths_.size() + 1);
    const std::size_t hash = std::hash<std::string_view>()(path);
    std::size_t at = Slot(path, hash);
    if (slots_[at] != 0) {
      if (added) *added = false;
      return slots_[at] - 1;
    }
    const auto id = static_cast<std::uint32_t>(paths_.size());
    paths_.push_back(path);
    hashes_.push_back(hash);
    slots_[at] = id + 1;
    if (added) *added = true;
    return id;
  }
  std::uint32_t Find(std::string_view path) const {
    if (slots_.empty()) return kNone;
    const std::size_t at = Slot(path, std::hash<std::string_view>()(path));
    return slots_[at] == 0 ? kNone : slots_[at] - 1;
  }
  bool Has(std::string_view path) const { return Find(path) != kNone; }
  std::size_t Size() const { return paths_.size(); }
  std::string_view operator[](std::uint32_t id) const { return paths_[id]; }

 private:
  // The slot holding `path`, or the empty one where it would go.
  std::size_t Slot(std::string_view path, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at] != 0 && !(hashes_[slots_[at] - 1] == hash && paths_[slots_[at] - 1] == path))
      at = (at + 1) & mask;
    return at;
  }
  void Rehash(std::size_t n) {
    std::size_t size = 16;
    while (size * 3 < (n + 1) * 4) size *= 2;
    slots_.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::uint32_t id = 0; id < paths_.size(); ++id) {
      std::size_t at = hashes_[id] & mask;
      while (slots_[at] != 0) at = (at + 1) & mask;
      slots_[at] = id + 1;
    }
  }
  std::vector<std::string_view> paths_;
  std::vector<std::size_t> hashes_;
  std::vector<std::uint32_t> slots_;  // a path's number + 1, 0 for none
};

struct TEntry {
  std::string_view Path;  // relative, '/' between names (kept in the walk's arena)
  bool Folder = false;
  bool Link = false;
  std::uintmax_t Size = 0;
  int Depth = 0;  // folders above it in the medium
};

// The entries of the open folder `fd` and, depth first, of its folders: a
// folder before what it holds; links and other non-folders never entered.
// Takes `fd`.
void WalkFolder(int fd, const std::string& prefix, int depth, std::vector<TEntry>& out, TCheckTextArena& paths) {
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (out.size() < kMaxEntries) {
    const dirent* d = ::readdir(dir);
    if (!d) break;
    const std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    TEntry e;
    e.Path = paths.Keep(prefix, name);
    e.Depth = depth;
    e.Link = S_ISLNK(st.st_mode);
    e.Folder = S_ISDIR(st.st_mode);
    if (S_ISREG(st.st_mode)) e.Size = static_cast<std::uintmax_t>(st.st_size);
    out.push_back(e);
    if (e.Folder && depth < 32) {
      const int sub = ::openat(fd, d->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) WalkFolder(sub, std::string(e.Path) + "/", depth + 1, out, paths);
    }
  }
  ::closedir(dir);
}

// Every entry under the medium's folder, links not followed; a folder
// before what it holds.
std::vector<TEntry> Walk(const std::string& root, TCheckTextArena& paths) {
  std::vector<TEntry> out;
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) WalkFolder(fd, std::string(), 0, out, paths);
  return out;
}

// True when `path` lies inside the folder `folder` (both relative).
bool InFolder(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() && path[folder.size()] == '/' && path.substr(0, folder.size()) == folder;
}

// The media holding one path: the first, and any others in turn.
struct TMediaNos {
  bool Any = false;
  int First = 0;
  std::vector<int> Others;
  void Add(int no) {
    if (!Any)
      First = no, Any = true;
    else
      Others.push_back(no);
  }
  std::vector<int> All() const {
    std::vector<int> all{First};
    all.insert(all.end(), Others.begin(), Others.end());
    return all;
  }
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
// The same, read in place.
std::string_view EntryFolderView(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}
std::string_view EntryNameView(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A calendar date written CCYY-MM-DD.
bool IsDate(const std::string& s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
    if (s[i] < '0' || s[i] > '9') return false;
  const int y = std::stoi(s.substr(0, 4)), m = std::stoi(s.substr(5, 2)), d = std::stoi(s.substr(8, 2));
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m >= 1 && m <= 12 && d >= 1 && d <= (m == 2 && !leap ? 28 : days[m - 1]);
}

// The separator of the items of a list in a message, in the user's language.
std::string ListSeparator() {
  //: Between the items of a list in a message: media numbers, the faults of a name.
  return Tr("ExtendedCheck", "、");
}

// Media numbers as a list ("1、2").
std::string NumberList(const std::vector<int>& numbers) {
  const std::string separator = ListSeparator();
  std::string list;
  for (int no : numbers) list += (list.empty() ? "" : separator) + std::to_string(no);
  return list;
}

// What is wrong with a drawing file name by the CAD naming rule, "" when it
// keeps it. From the 2017 editions a name may carry a user part after the
// eight characters, led by '-'.
std::string DrawingNameFault(const std::string& file, const std::string& drawName, const TExtendedInput& input,
                             bool userPart) {
  std::string name = file;
  const std::size_t dot = name.rfind('.');
  if (userPart && dot != std::string::npos && dot > 8 && name[8] == '-') name = name.substr(0, 8) + name.substr(dot);
  const TCADFileNameParts p = ParseCADFileName(name, drawName, input.DrawKindLines, input.DrawNameLines);
  if (p.Valid) return std::string();
  if ((dot == std::string::npos ? name.size() : name.rfind('.')) != 8)
    return Tr("ExtendedCheck",
              "拡張子の前が 8 文字ではありません（ライフサイクル・整理番号・図面種類・図面番号・改訂履歴の 8 文字にします）");
  std::string faults;
  auto fault = [&](bool bad, const std::string& what) {
    if (bad) faults += (faults.empty() ? "" : ListSeparator()) + what;
  };
  fault(p.LifeCycle < 0, Tr("ExtendedCheck", "ライフサイクル（1 文字目）が S・D・C・M のどれでもありません"));
  fault(p.SerialDigit.empty(), Tr("ExtendedCheck", "整理番号（2 文字目）が数字ではありません"));
  fault(p.KindName.empty(),
        Arg(Tr("ExtendedCheck", "図面種類（3〜4 文字目）%1 が図面種類の表にありません"), {p.UpperName.substr(2, 2)}));
  fault(p.DrawingNumber.empty(), Tr("ExtendedCheck", "図面番号（5〜7 文字目）が 3 桁の数字ではありません"));
  fault(p.Revision.empty(), Tr("ExtendedCheck", "改訂履歴（8 文字目）が 0〜9・A〜Z ではありません"));
  return faults;
}

// The kind of a double-byte character of CP932 the guideline does not
// allow (as written here, an "ExtendedCheck" text), or nullptr. (Lead byte,
// trail byte.)
const char* ForbiddenDoubleByte(unsigned lead, unsigned trail, TSeverity& severity) {
  const unsigned code = lead << 8 | trail;
  severity = TSeverity::Error;
  if (lead == 0x87 && trail <= 0x9C) return DLVR_TR_NOOP("ExtendedCheck", "機種依存文字（NEC 特殊文字）");
  if (code >= 0xED40 && code <= 0xEEFC) return DLVR_TR_NOOP("ExtendedCheck", "機種依存文字（NEC 選定 IBM 拡張文字）");
  if (code >= 0xFA40 && code <= 0xFC4B) return DLVR_TR_NOOP("ExtendedCheck", "機種依存文字（IBM 拡張文字）");
  if (lead >= 0xF0 && lead <= 0xF9) return DLVR_TR_NOOP("ExtendedCheck", "外字（ユーザー定義領域）");
  if ((lead >= 0x85 && lead <= 0x88 && code < 0x889F) || (lead >= 0xEB && lead <= 0xEF))
    return DLVR_TR_NOOP("ExtendedCheck", "JIS X 0208 にない文字");
  severity = TSeverity::Warning;
  if (code >= 0x824F && code <= 0x8258) return DLVR_TR_NOOP("ExtendedCheck", "全角数字（半角で書きます）");
  if ((code >= 0x8260 && code <= 0x8279) || (code >= 0x8281 && code <= 0x829A)) return DLVR_TR_NOOP("ExtendedCheck", "全角英字（半角で書きます）");
  return nullptr;
}

}  // namespace

namespace {

// ScanCharacters of a text handed over in pieces, each ending after a line
// feed (the last one anywhere): no character and no start tag's name spans
// two pieces, as a line feed is never the trail byte of a character.
// Whether any of eight ASCII bytes `v` is `byte`.
constexpr bool HasByte(std::uint64_t v, unsigned char byte) {
  const std::uint64_t x = v ^ (0x0101010101010101ull * byte);
  return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// The lead bytes of every pair ForbiddenDoubleByte may name: row 0x82
// (full-width digits and letters), 0x85-0x88 and 0xEB on.
constexpr bool MayBeForbiddenLead(unsigned lead) { return lead == 0x82 || (lead >= 0x85 && lead <= 0x88) || lead >= 0xEB; }

// What the character scan does with a byte where a character starts: 0 a
// single byte passed by, 1 the lead byte of a pair none of which is named,
// 2 anything else (a line feed, '<', a lead byte of named pairs, half-width
// katakana), looked at closely.
struct TScanByteClasses {
  unsigned char Of[256] = {};
  constexpr TScanByteClasses() {
    for (unsigned c = 0; c < 256; ++c) {
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      Of[c] = c == '\n' || c == '<' || (c >= 0xA1 && c <= 0xDF) || (lead && MayBeForbiddenLead(c)) ? 2 : lead ? 1 : 0;
    }
  }
};
constexpr TScanByteClasses kScanByteClasses;

// Whether the pair of lead byte 0x82 and `trail` may be named (full-width
// digits and Latin letters); the rest of that row (hiragana, most of all)
// never is.
constexpr bool MayBeForbiddenIn82(unsigned trail) {
  return (trail >= 0x4F && trail <= 0x58) || (trail >= 0x60 && trail <= 0x79) || (trail >= 0x81 && trail <= 0x9A);
}

class TCharacterScan {
 public:
  explicit TCharacterScan(std::size_t most) : most_(most) {}

  void Add(std::string_view b) {
    for (std::size_t i = 0; i < b.size();) {
      // Characters no rule names go by without a closer look: pairs whose
      // lead byte names none (0x82 but for its full-width digits and
      // letters), single bytes but a line feed, '<' and half-width katakana.
      {
        const auto* p = reinterpret_cast<const unsigned char*>(b.data());
        const std::size_t n = b.size();
        std::size_t k = i;
        int passed = 0;
        for (;;) {
          if (k >= n) break;
          const unsigned c = p[k];
          const unsigned cls = kScanByteClasses.Of[c];
          if (cls == 0) {
            ++k;
          } else if (k + 1 < n && (cls == 1 || (c == 0x82 && !MayBeForbiddenIn82(p[k + 1])))) {
            k += 2;
          } else {
            break;
          }
          ++passed;
        }
        column_ += passed;
        i = k;
        if (i >= b.size()) break;
      }
      // Plain ASCII (no line feed, no '<') goes by eight bytes at a time.
      if (i + 8 <= b.size()) {
        std::uint64_t v;
        std::memcpy(&v, b.data() + i, 8);
        if ((v & 0x8080808080808080ull) == 0 && !HasByte(v, '\n') && !HasByte(v, '<')) {
          column_ += 8;
          i += 8;
          continue;
        }
      }
      const auto c = static_cast<unsigned char>(b[i]);
      ++column_;
      if (c == '\n') {
        ++line_;
        column_ = 0;
        ++i;
        continue;
      }
      if (c == '<') {
        // A start tag names the element whose text follows.
        std::size_t j = i + 1;
        if (j < b.size() && b[j] != '/' && b[j] != '?' && b[j] != '!') {
          std::size_t k = j;
          while (k < b.size() && b[k] != '>' && b[k] != ' ' && b[k] != '/' && b[k] != '\t' && b[k] != '\r' &&
                 b[k] != '\n')
            ++k;
          element_.assign(b.substr(j, k - j));
        }
        ++i;
        continue;
      }
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      if (lead && i + 1 < b.size()) {
        const auto t = static_cast<unsigned char>(b[i + 1]);
        TSeverity severity;
        if (MayBeForbiddenLead(c))
          if (const char* kind = ForbiddenDoubleByte(c, t, severity)) Found(severity, b.substr(i, 2), kind);
        i += 2;
        continue;
      }
      if (c >= 0xA1 && c <= 0xDF) Found(TSeverity::Error, b.substr(i, 1), DLVR_TR_NOOP("ExtendedCheck", "半角カナ"));
      ++i;
    }
  }

  std::vector<TCharacterFinding> Take(std::size_t* more) {
    if (more) *more = extra_;
    return std::move(out_);
  }

 private:
  void Found(TSeverity s, std::string_view bytes, const char* kind) {
    // A run of characters of one kind in one element is one finding.
    if (!out_.empty() && out_.back().Line == line_ && lastEnd_ == column_ && out_.back().Kind == kind &&
        out_.back().Element == Cp932ToUtf8(element_)) {
      out_.back().Character += Cp932ToUtf8(bytes);
      ++lastEnd_;
      return;
    }
    if (out_.size() >= most_) {
      ++extra_;
      return;
    }
    out_.push_back({s, line_, column_, Cp932ToUtf8(element_), Cp932ToUtf8(bytes), kind});
    lastEnd_ = column_ + 1;
  }

  const std::size_t most_;
  std::vector<TCharacterFinding> out_;
  std::size_t extra_ = 0;
  int line_ = 1, column_ = 0;
  std::string element_;  // raw bytes, converted when a finding names it
  int lastEnd_ = -1;     // the column after the last finding's characters
};

}  // namespace

std::vector<TCharacterFinding> ScanCharacters(std::string_view b, std::size_t most, std::size_t* more) {
  TCharacterScan scan(most);
  scan.Add(b);
  return scan.Take(more);
}

namespace {

// The value of a pseudo-attribute of the XML declaration ("" when absent).
std::string DeclarationValue(std::string_view head, std::string_view name) {
  if (head.substr(0, 5) != "<?xml") return std::string();
  const std::size_t end = head.find("?>");
  const std::string_view decl = head.substr(0, end == std::string_view::npos ? head.size() : end);
  const std::size_t at = decl.find(std::string(name) + "=");
  if (at == std::string_view::npos || at + name.size() + 2 > decl.size()) return std::string();
  const char quote = decl[at + name.size() + 1];
  const std::size_t from = at + name.size() + 2, to = decl.find(quote, from);
  return to == std::string_view::npos ? std::string() : std::string(decl.substr(from, to - from));
}

// The DTDs of the management files, for a delivery that lacks its own.
struct TStandardDtd {
  const char* Root;
  const char* Version;
  const char* FileName;
  const char* Text;
};
const TStandardDtd kStandardDtds[] = {
#include "check/standard_dtds.inc"
};

// The standard DTD of a root element and its DTD_version, nullptr when
// none is known.
const TStandardDtd* StandardDtdOf(std::string_view root, std::string_view version) {
  for (const TStandardDtd& d : kStandardDtds)
    if (root == d.Root && version == d.Version) return &d;
  return nullptr;
}

}  // namespace

namespace {

// Whether a text handed over in pieces cut anywhere holds characters
// beyond ASCII, all of them well-formed UTF-8 of two to four bytes:
// Japanese in Shift-JIS almost never reads so (a lead byte of 0x81-0x9F is
// never followed by what UTF-8 asks).
class TUtf8Scan {
 public:
  void Add(std::string_view b) {
    // A character the last piece cut is finished first, a byte at a time.
    while (!broken_ && !carry_.empty() && !b.empty()) {
      carry_ += b.front();
      b.remove_prefix(1);
      if (Whole(carry_) == carry_.size()) carry_.clear();
    }
    if (broken_ || b.empty()) return;
    carry_.assign(b.substr(Whole(b)));
  }
  bool Result() const { return wide_ && !broken_ && carry_.empty(); }

 private:
  // How many bytes of b are whole characters, the rest being the start of
  // one that b's end cuts; broken_ once a byte is not what UTF-8 has there.
  std::size_t Whole(std::string_view b) {
    for (std::size_t i = 0; i < b.size();) {
      const auto c = static_cast<unsigned char>(b[i]);
      if (c < 0x80) {
        ++i;
        continue;
      }
      const std::size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
      bool bad = n == 0 || c == 0xC0 || c == 0xC1;
      for (std::size_t k = 1; !bad && k < n && i + k < b.size(); ++k)
        bad = (static_cast<unsigned char>(b[i + k]) & 0xC0) != 0x80;
      if (bad) {
        broken_ = true;
        return i;
      }
      if (i + n > b.size()) return i;
      wide_ = true;
      i += n;
    }
    return b.size();
  }
  bool wide_ = false, broken_ = false;
  std::string carry_;
};

// Whether a management file reads as UTF-8 (as TUtf8Scan tells),
// read a piece at a time; false when it cannot be read, or when `head`
// says no of its first 512 bytes.
bool FileInUtf8(const std::string& path, const std::function<bool(std::string_view head)>& headSays) {
  TUtf8Scan utf8;
  std::string head;
  const bool read = ReadFileInLines(path, kMaxWholeFileBytes, [&](std::string_view piece) {
    if (head.size() < 512) head.append(piece.substr(0, 512 - head.size()));
    utf8.Add(piece);
  }, true) == TReadStatus::Ok;
  return read && (!headSays || headSays(head)) && utf8.Result();
}

// Up to `size` bytes of a management file from `offset` (fewer at its
// end) in place of `out`'s; false on a read error.
using TBytesAt = std::function<bool(std::uint64_t offset, std::size_t size, std::string& out)>;

// The place of the first `needle` (two bytes) in the file from `from`,
// npos when none.
std::uint64_t FindInFile(const TBytesAt& at, std::uint64_t total, std::uint64_t from, std::string_view needle) {
  std::string window;
  for (std::uint64_t offset = from; offset < total; offset += window.size() - (needle.size() - 1)) {
    if (!at(offset, static_cast<std::size_t>(std::min<std::uint64_t>(total - offset, 1u << 20)), window) ||
        window.size() < needle.size())
      return std::string::npos;
    if (const std::size_t hit = window.find(needle); hit != std::string::npos) return offset + hit;
    if (offset + window.size() >= total) break;
  }
  return std::string::npos;
}

// The grammar of a management file of `total` bytes read through `at`, a
// piece at a time; `failed` when a read failed on the way.
std::vector<TGrammarFinding> GrammarOf(const std::string& mediumFolder, const std::string& relativePath,
                                       const TBytesAt& at, std::uint64_t total, std::size_t most, bool& failed) {
  std::vector<TGrammarFinding> out;
  failed = false;
  std::string headBytes;
  if (!at(0, static_cast<std::size_t>(std::min<std::uint64_t>(total, 4096)), headBytes)) {
    failed = true;
    return out;
  }
  const std::string_view head = headBytes;
  const std::string encoding = DeclarationValue(head, "encoding");
  // Whether a file declared as Shift_JIS is written in UTF-8 is known once
  // all its bytes have gone by; the finding then comes first.
  bool scanUtf8 = false;
  if (encoding.empty())
    out.push_back({1, Tr("ExtendedCheck", "XML 宣言に文字符号化方式（Shift_JIS）がありません")});
  else if (AsciiUpper(encoding) != "SHIFT_JIS")
    out.push_back({1, Arg(Tr("ExtendedCheck", "文字符号化方式が %1 です（Shift_JIS にします）"), {encoding})});
  else
    scanUtf8 = true;
  // The DOCTYPE and the DTD it names, beside the file.
  const std::size_t doctype = head.find("<!DOCTYPE");
  std::string dtdPath;
  if (doctype == std::string_view::npos) {
    out.push_back({0, Tr("ExtendedCheck", "DOCTYPE 宣言がありません")});
  } else {
    const std::size_t system = head.find("SYSTEM", doctype);
    const std::size_t q = system == std::string_view::npos ? system : head.find_first_of("\"'", system);
    const std::size_t e = q == std::string_view::npos ? q : head.find(head[q], q + 1);
    const std::string name = e == std::string_view::npos ? std::string() : std::string(head.substr(q + 1, e - q - 1));
    const std::string folder = FolderOf(relativePath);
    std::error_code ec;
    if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
      out.push_back({0, Tr("ExtendedCheck", "DOCTYPE 宣言に DTD ファイル名がありません")});
    } else if (const std::string candidate = mediumFolder + (folder.empty() ? "" : folder + "/") + name;
               !fs::is_regular_file(fs::symlink_status(candidate, ec))) {
      out.push_back({0, Arg(Tr("ExtendedCheck", "DOCTYPE 宣言の DTD ファイル（%1）がありません"), {name})});
    } else {
      dtdPath = candidate;
    }
  }
  // Text of either file as UTF-8: a file declared (or, for a DTD, left
  // undeclared) as Shift_JIS is converted, its declaration then says UTF-8,
  // so that a DTD without a text declaration reads as the delivery meant it.
  auto asUtf8 = [](std::string text, bool dtd) {
    const std::string declared = AsciiUpper(DeclarationValue(text.substr(0, 512), "encoding"));
    const bool utf8 = declared == "UTF-8" || declared == "UTF8";
    if (!utf8 && (!declared.empty() || dtd)) text = Cp932ToUtf8(text);
    if (text.rfind("<?xml", 0) == 0) {
      const std::size_t end = text.find("?>");
      if (end != std::string::npos)
        text = dtd ? std::string(end + 2, ' ') + text.substr(end + 2)  // (kept on its line)
                   : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + text.substr(end + 2);
    }
    return text;
  };
  // The DTD to validate against: the one beside the file, read before the
  // document is parsed (a DTD that would fetch other files, by external
  // parameter entities, is not read); without one, the DTD of the root
  // element and its DTD_version, when that is known.
  std::optional<std::string> ownDtd;
  bool external = false;
  std::string dtdBytes;
  if (!dtdPath.empty() && ReadRegularFile(dtdPath, 16u << 20, dtdBytes, true) == TReadStatus::Ok) {
    ownDtd = asUtf8(dtdBytes, true);
    for (std::size_t at = ownDtd->find("<!ENTITY"); at != std::string::npos; at = ownDtd->find("<!ENTITY", at + 1)) {
      const std::string decl = ownDtd->substr(at, ownDtd->find('>', at) - at);
      if (decl.find('%') != std::string::npos &&
          (decl.find("SYSTEM") != std::string::npos || decl.find("PUBLIC") != std::string::npos))
        external = true;
    }
  }
  const TStandardDtd* standard = nullptr;
  auto dtdFor = [&](std::string_view root, std::string_view version) -> std::optional<std::string> {
    if (!dtdPath.empty()) return external ? std::nullopt : ownDtd;
    standard = StandardDtdOf(root, version);
    return standard ? std::optional<std::string>(standard->Text) : std::nullopt;
  };
  // Well-formed: parsed as UTF-8 a piece at a time, the declaration saying
  // so, nothing loaded from anywhere.
  const std::string declared = AsciiUpper(DeclarationValue(head.substr(0, 512), "encoding"));
  const bool convert = !declared.empty() && declared != "UTF-8" && declared != "UTF8";
  std::string piece;
  std::uint64_t raw = 0;
  std::size_t given = 0;
  if (head.substr(0, 5) == "<?xml") {
    std::uint64_t end = head.find("?>");
    if (end == std::string_view::npos) end = FindInFile(at, total, head.size() - 1, "?>");
    if (end != std::string::npos) {
      piece = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
      raw = end + 2;
    }
  }
  TUtf8Scan utf8;
  // The bytes from `from` to `to` go through the scan for UTF-8.
  auto scan = [&](std::uint64_t from, std::uint64_t to) {
    std::string bytes;
    while (from < to && !failed) {
      failed = !at(from, static_cast<std::size_t>(std::min<std::uint64_t>(to - from, 1u << 20)), bytes);
      if (bytes.empty()) break;
      utf8.Add(bytes);
      from += bytes.size();
    }
  };
  if (scanUtf8) scan(0, raw);
  std::string next;  // (the bytes read, the buffer kept from piece to piece)
  const TXmlTextSource text = [&](char* buffer, std::size_t size) -> std::size_t {
    if (given == piece.size()) {
      // The next piece ends after a line feed, never inside a character.
      if (raw >= total || failed) return 0;
      failed = !at(raw, static_cast<std::size_t>(std::min<std::uint64_t>(total - raw, 1u << 20)), next);
      if (failed || next.empty()) return 0;
      if (raw + next.size() < total)
        if (const std::size_t lf = next.rfind('\n'); lf != std::string::npos) next.resize(lf + 1);
      raw += next.size();
      if (scanUtf8) utf8.Add(next);
      if (convert) {
        piece.clear();
        AppendCp932AsUtf8(piece, next);
      } else {
        piece.swap(next);
      }
      given = 0;
    }
    const std::size_t n = std::min(size, piece.size() - given);
    std::copy_n(piece.data() + given, n, buffer);
    given += n;
    return n;
  };
  const TXmlStreamCheck checked = CheckXmlStream(text, dtdFor, most);
  // The rest of a file the parser gave up on goes through the scan too.
  if (scanUtf8) scan(raw, total);
  if (failed) return {};
  if (scanUtf8 && utf8.Result())
    out.insert(out.begin(), {1, Tr("ExtendedCheck", "宣言（Shift_JIS）と違う文字コードで書かれています")});
  if (!checked.WellFormed) {
    out.push_back({checked.Line, Arg(Tr("ExtendedCheck", "整形式の XML ではありません: %1"), {checked.Reason})});
    return out;
  }
  if (external) {
    out.push_back({0, Tr("ExtendedCheck", "DTD がほかのファイルを参照しているため検証していません")});
  } else if (checked.DtdUnreadable) {
    out.push_back({0, Tr("ExtendedCheck", "DTD を読めません（DTD の文法に誤りがあります）")});
  } else if (ownDtd || standard) {
    // (For the standard DTD, %2 stays %1, for the message.)
    const std::string pattern = ownDtd ? Tr("ExtendedCheck", "DTD に合いません: %1")
                                       : Arg(Tr("ExtendedCheck", "標準の DTD（%1）に合いません: %2"),
                                             {standard->FileName, "%1"});
    for (const TXmlStreamCheck::TMessage& m : checked.Messages) out.push_back({m.Line, Arg(pattern, {m.Text})});
    if (checked.More > 0)
      out.push_back({0, Arg(Tr("ExtendedCheck", "ほかに %1 件あります"), {std::to_string(checked.More)})});
  }
  return out;
}

// The grammar of a management file read from the medium a piece at a
// time; `failed` when it cannot be read (missing, not a regular file, a
// link, larger than any management file, a read error).
std::vector<TGrammarFinding> GrammarOfFile(const std::string& mediumFolder, const std::string& relativePath,
                                           std::size_t most, bool& failed) {
  failed = true;
  // Opened without blocking and judged on the opened file itself, so that a
  // FIFO or device put in place of a file is refused rather than waited on.
  struct TFile {
    ~TFile() {
      if (Fd >= 0) ::close(Fd);
    }
    const int Fd;
  } file{::open((mediumFolder + relativePath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW)};
  struct stat st {};
  if (file.Fd < 0 || ::fstat(file.Fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > kMaxWholeFileBytes)
    return {};
  const TBytesAt at = [fd = file.Fd](std::uint64_t offset, std::size_t size, std::string& bytes) {
    bytes.resize(size);
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
  };
  return GrammarOf(mediumFolder, relativePath, at, static_cast<std::uint64_t>(st.st_size), most, failed);
}

}  // namespace

std::vector<TGrammarFinding> CheckGrammar(const std::string& mediumFolder, const std::string& relativePath,
                                          std::size_t most) {
  bool failed = false;
  std::vector<TGrammarFinding> found = GrammarOfFile(mediumFolder, relativePath, most, failed);
  if (failed) return {{0, Tr("ExtendedCheck", "読み込めません")}};
  return found;
}

std::vector<TGrammarFinding> CheckGrammarOf(const std::string& mediumFolder, const std::string& relativePath,
                                            const std::string& bytes, std::size_t most) {
  const TBytesAt at = [&bytes](std::uint64_t offset, std::size_t size, std::string& out) {
    out.assign(std::string_view(bytes).substr(std::min<std::uint64_t>(offset, bytes.size()), size));
    return true;
  };
  bool failed = false;
  return GrammarOf(mediumFolder, relativePath, at, bytes.size(), most, failed);
}

TEdition DetectEdition(std::string_view b) {
  TEdition e;
  const std::string text = Cp932ToUtf8(b.substr(0, std::min<std::size_t>(b.size(), 64 * 1024)));
  auto between = [&](const std::string& open, const std::string& close) {
    const std::size_t from = text.find(open);
    if (from == std::string::npos) return std::string();
    const std::size_t to = text.find(close, from + open.size());
    return to == std::string::npos ? std::string() : text.substr(from + open.size(), to - from - open.size());
  };
  e.Standard = between("<適用要領基準>", "</適用要領基準>");
  e.Standard.erase(0, e.Standard.find_first_not_of(" \t\r\n"));
  e.Standard.erase(e.Standard.find_last_not_of(" \t\r\n") + 1);
  e.DtdVersion = between("DTD_version=\"", "\"");
  const std::string doctype = between("<!DOCTYPE", ">");
  if (const std::size_t q = doctype.find('"'); q != std::string::npos)
    e.Doctype = doctype.substr(q + 1, doctype.find('"', q + 1) - q - 1);
  // 適用要領基準 names the edition by its year and month ("土木201603-01").
  int ym = 0;
  for (std::size_t i = 0; i + 6 <= e.Standard.size() && !ym; ++i) {
    const std::string six = e.Standard.substr(i, 6);
    if (std::all_of(six.begin(), six.end(), [](char c) { return c >= '0' && c <= '9'; })) ym = std::stoi(six);
  }
  if (!ym) {
    // Without it: the root's DTD_version tells (01 or 02: the first
    // edition, whatever DTD the DOCTYPE names: a wrongly named DTD is a
    // mistake of grammar, not a later edition); without that, the DTD's
    // name; else a later one of unknown date.
    const std::string upper = AsciiUpper(e.Doctype);
    const bool first = e.DtdVersion.empty()
                           ? (upper.empty() || upper == "INDE_C01.DTD" || upper == "INDE_C02.DTD")
                           : (e.DtdVersion == "01" || e.DtdVersion == "02");
    ym = first ? 200108 : 200406;
    e.YearMonth = ym;
    e.Name = first ? Tr("ExtendedCheck", "平成13年8月版") : Tr("ExtendedCheck", "平成16年6月版以降の版");
    return e;
  }
  e.YearMonth = ym;
  const int year = ym / 100, month = ym % 100;
  // Heisei runs to April 2019, Reiwa from May 2019.
  if (ym < 201905)
    //: %1 the year of the Heisei era (2016 is 28), %2 the month.
    e.Name = Arg(Tr("ExtendedCheck", "平成%1年%2月版"), {std::to_string(year - 1988), std::to_string(month)});
  else if (year == 2019)
    // The era's first year is 元年, not 1年.
    //: %1 the month of 2019, the first year of the Reiwa era.
    e.Name = Arg(Tr("ExtendedCheck", "令和元年%1月版"), {std::to_string(month)});
  else
    //: %1 the year of the Reiwa era (2020 is 2), %2 the month.
    e.Name = Arg(Tr("ExtendedCheck", "令和%1年%2月版"), {std::to_string(year - 2018), std::to_string(month)});
  return e;
}

TEdition DeliveryEdition(const std::string& mediumFolder) {
  std::string bytes;
  if (mediumFolder.empty() ||
      ReadRegularFile(mediumFolder + (mediumFolder.back() == '/' ? "" : "/") + "INDEX_C.XML", 1u << 20, bytes, true) !=
          TReadStatus::Ok)
    bytes.clear();
  return DetectEdition(bytes);
}

std::string EditionText(const TEdition& e) {
  if (!e.Standard.empty()) return Arg(Tr("ExtendedCheck", "%1（適用要領基準 %2）"), {e.Name, e.Standard});
  if (!e.DtdVersion.empty()) return Arg(Tr("ExtendedCheck", "%1（DTD_version %2）"), {e.Name, e.DtdVersion});
  return e.Name;
}

std::string EditionNotice(const TEdition& e) {
  if (!e.Later()) return std::string();
  return Arg(Tr("ExtendedCheck",
                "この納品物は%1に従っています。データチェックは平成13年8月版の規則によるため、"
                "後の版で変わった項目の指摘は当てはまりません（電子納品チェックを参照してください）。"),
             {EditionText(e)});
}

TExtendedInput ExtendedInputFor(TMdlTreeView& view) {
  TExtendedInput input;
  input.Store = &view.Store();
  RunDataCheck(view, input.DataCheckRows);
  input.DrawKindLines = view.DrawKindLines;
  input.DrawNameLines = view.DrawNameLines;
  std::vector<TPhotoMedium> photoMedia;
  for (const auto& m : view.ReachableMedia()) {
    input.Media.push_back({m.MediaNo, m.Folder});
    photoMedia.push_back({m.MediaNo, m.Folder});
  }
  const auto photoStore = std::make_shared<TPhotoStore>();
  TPhotoStore& photos = *photoStore;
  photos.Load(photoMedia);
  for (const TPhotoMediumFolders& m : photos.Media()) {
    // Listed photos and reference drawings, relative to their medium.
    auto relative = [&](const std::string& folder, const std::string& name) {
      if (folder.empty() || name.empty() || folder.rfind(m.Folder, 0) != 0) return;
      input.PhotoFiles.push_back(folder.substr(m.Folder.size()) + name);
    };
    for (const TPhotoRecord& r : photos.Records()) {
      relative(m.PhotoFolder, r.FileName);
      for (const TPhotoReference& ref : r.References) relative(m.DrawingFolder, ref.FileName);
    }
  }
  // The photo rule set's findings, each on the medium holding its file. A
  // file not found is placed in the photo (or drawing) folder of its
  // record's medium.
  TPhotoCheckPeriod period;
  if (const auto& indexes = view.Store().IndexRecords; !indexes.empty())
    period = {indexes[0].StartDate, indexes[0].EndDate};
  if (!photos.Empty())
    input.PhotoFindings = [photoStore, period] {
      const TPhotoStore& photos = *photoStore;
      std::vector<TFinding> rows;
      for (const TPhotoFinding& f : CheckPhotos(photos, period)) {
        TFinding& row = rows.emplace_back();
        row.Severity = f.Warning ? TSeverity::Warning : TSeverity::Error;
        row.Rule = Arg(Tr("ExtendedCheck", "写真・%1"), {f.Field});
        row.Found = f.State;
        std::string path = f.Path;
        if (path.empty() && f.Record >= 0) {
          const TPhotoRecord& r = photos.Records()[static_cast<std::size_t>(f.Record)];
          const TPhotoFile& file = photos.Files()[static_cast<std::size_t>(r.FileIndex)];
          const bool drawing = f.FileName != r.FileName;
          const std::string& folder = drawing ? file.DrawingFolder : file.PhotoFolder;
          path = (folder.empty() ? file.MediumFolder + (drawing ? "PHOTO/DRA/" : "PHOTO/PIC/") : folder) + f.FileName;
          const long no = WholeNumber(r.MediaNo);
          row.Medium = std::to_string(no > 0 ? no : file.MediaNo);
        }
        const TPhotoMediumFolders* holder = nullptr;
        for (const TPhotoMediumFolders& m : photos.Media())
          if (path.rfind(m.Folder, 0) == 0 && (!holder || m.Folder.size() > holder->Folder.size())) holder = &m;
        if (holder && row.Medium.empty()) row.Medium = std::to_string(holder->MediaNo);
        row.Path = holder ? path.substr(holder->Folder.size()) : ExtractFileName(path);
      }
      return rows;
    };
  return input;
}

std::string SeverityName(TSeverity severity) {
  switch (severity) {
    case TSeverity::Error: return Tr("ExtendedCheck", "エラー");
    case TSeverity::Warning: return Tr("ExtendedCheck", "警告");
    case TSeverity::Info: break;
  }
  return Tr("ExtendedCheck", "情報");
}

bool HasProblem(const std::vector<TFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const TFinding& f) { return f.Severity != TSeverity::Info; });
}

bool HasError(const std::vector<TFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const TFinding& f) { return f.Severity == TSeverity::Error; });
}

namespace {

// The check. `takenRows`, when given, are the data check's rows in place
// of the input's, each let go once it has become a finding.
TCompactFindings CheckDelivery(const TExtendedInput& input, TCheckErrorList* takenRows) {
  TCompactFindings out;
  const std::size_t steps = input.Media.size() * 2 + 1;
  std::size_t done = 0;
  // False once the caller has asked the check to stop.
  auto goOn = [&]() { return !input.Progress || input.Progress(done, steps); };
  // Parsing and validating the management files takes about as long as the
  // walk of every file: a worker does it meanwhile, its findings joined
  // when the management files' step comes. The characters of each file are
  // scanned by whichever thread comes to it first: the worker once it has
  // judged the grammar of all, the check once it has walked every medium.
  // A check stopped before that step reports none of them, whatever the
  // worker had found by then.
  std::atomic<bool> stop{false};
  struct TCharactersOfFile {
    bool Read = false;
    std::vector<TCharacterFinding> Found;
    std::size_t More = 0;
  };
  const std::size_t managementFiles = input.Media.size() * std::size(kManagementFiles);
  const std::unique_ptr<std::atomic<bool>[]> scanTaken(new std::atomic<bool>[managementFiles]);
  for (std::size_t i = 0; i < managementFiles; ++i) scanTaken[i] = false;
  auto scanCharacters = [&input](std::size_t i, TCharactersOfFile& c) {
    const TCheckedMedium& m = input.Media[i / std::size(kManagementFiles)];
    TCharacterScan scan(200);
    c.Read = ReadFileInLines(m.Folder + kManagementFiles[i % std::size(kManagementFiles)], kMaxWholeFileBytes,
                             [&scan](std::string_view piece) { scan.Add(piece); }, true) == TReadStatus::Ok;
    if (c.Read) c.Found = scan.Take(&c.More);
  };
  struct TManagementFilesJudged {
    std::vector<TFinding> Grammar;
    std::vector<TCharactersOfFile> Characters;  // each medium's management files in turn
  };
  auto managementFilesOfAll = [&input, &stop, &scanTaken, &scanCharacters, managementFiles] {
    TManagementFilesJudged judged;
    judged.Characters.resize(managementFiles);
    for (const TCheckedMedium& m : input.Media)
      for (const char* file : kManagementFiles) {
        if (stop) return judged;
        bool failed = false;
        const std::vector<TGrammarFinding> grammar = GrammarOfFile(m.Folder, file, 100, failed);
        if (failed) continue;
        for (const TGrammarFinding& g : grammar)
          judged.Grammar.push_back({TSeverity::Error, std::to_string(m.MediaNo), file, Tr("ExtendedCheck", kGrammar),
                                    g.Line > 0 ? Arg(Tr("ExtendedCheck", "%1 行: %2"), {std::to_string(g.Line), g.Found})
                                               : g.Found});
      }
    for (std::size_t i = 0; i < managementFiles && !stop; ++i)
      if (!scanTaken[i].exchange(true)) scanCharacters(i, judged.Characters[i]);
    return judged;
  };
  std::future<TManagementFilesJudged> worker;
  try {
    worker = std::async(std::launch::async, managementFilesOfAll);
  } catch (...) {  // no thread to be had: done when joined
    worker = std::async(std::launch::deferred, managementFilesOfAll);
  }
  std::optional<TManagementFilesJudged> judged;
  bool managementStep = false, grammarJoined = false;
  // The worker's findings, once it has ended; its grammar findings added
  // in the management files' step (once).
  auto joinWorker = [&]() {
    if (worker.valid()) judged = worker.get();
  };
  auto joinGrammar = [&]() {
    joinWorker();
    if (!managementStep || grammarJoined || !judged) return;
    grammarJoined = true;
    for (const TFinding& f : judged->Grammar) out.Add(f);
  };
  auto finish = [&]() {
    stop = true;
    joinGrammar();
    out.Sort();
    return std::move(out);
  };
  // `rule` is one of the rules above, put in the user's language here
  // (once for each rule).
  std::deque<std::pair<const char*, std::string>> ruleNames;
  auto ruleName = [&ruleNames](const char* rule) -> std::string_view {
    for (const auto& [key, name] : ruleNames)
      if (key == rule) return name;
    return ruleNames.emplace_back(rule, Tr("ExtendedCheck", rule)).second;
  };
  auto add = [&](TSeverity s, std::string_view medium, std::string_view path, const char* rule,
                 std::string_view found) { out.Add(s, medium, path, ruleName(rule), found); };
  // The same with the text Arg(pattern, args): a finding of a kind that may
  // come a million times keeps only its values.
  auto addArgs = [&](TSeverity s, std::string_view medium, std::string_view path, const char* rule,
                     const std::string& pattern, std::initializer_list<std::string_view> args) {
    out.Add(s, medium, path, ruleName(rule), pattern, args);
  };
  const DeliveryStore* store = input.Store;
  const TMdlTreeNodeIndex* index = store && !store->IndexRecords.empty() ? &store->IndexRecords[0] : nullptr;

  // The medium the management files were read from: what they say
  // concerns it.
  const std::string firstMedium = input.Media.empty() ? std::string() : std::to_string(input.Media.front().MediaNo);

  // The data check's findings, in its own words, on the management file of
  // their section.
  // Each section's management file, and the folder of the documents its
  // records name: a row about a document stands at the document.
  static const std::tuple<const char*, const char*, const char*> kSections[] = {
      {"工事管理", "INDEX_C.XML", ""},
      {"発注図面管理", "DRAWINGS/DRAWINGS.XML", "DRAWINGS/"},
      {"打合せ簿管理", "MEET/MEET.XML", "MEET/ORG/"},
      {"施工計画書管理", "PLAN/PLAN.XML", "PLAN/ORG/"},
      {"完成図面管理", "DRAWINGF/DRAWINGF.XML", "DRAWINGF/"},
      {"その他管理", "OTHRS/OTHRS.XML", "OTHRS/ORG/"}};
  // Class folders whose management file could not be read (or was written
  // in another code than it declares): that is said once, and the files of
  // the folder are not each reported as named nowhere.
  std::set<std::string> unreadFolders;
  std::set<std::string> judgedFields;  // file + '\n' + field name: the data check found fault with it
  const TCheckErrorList& dataRows = takenRows ? *takenRows : input.DataCheckRows;
  const std::string dataPattern = Tr("ExtendedCheck", "%1: %2");
  for (std::size_t r = 0; r < dataRows.size(); ++r) {
    const TCheckErrorRow& row = dataRows[r];
    std::string path, documents;
    for (const auto& [section, file, folder] : kSections)
      if (row[0] == Tr("DataCheck", section)) path = file, documents = folder;
    if (row[3] == Tr("DataCheck", kManagementFileItem) && row[4] == Tr("DataCheck", kUnreadableFileState) &&
        path.find('/') != std::string::npos)
      unreadFolders.insert(FolderOf(path));
    judgedFields.insert((path.empty() ? row[2] : path) + '\n' + row[3]);
    const bool document = !documents.empty() && !row[2].empty() && row[2] != NameOf(path) &&
                          row[2].find('/') == std::string::npos;
    std::string what;
    for (const std::string* part : {&row[1], &row[3]})
      if (!part->empty()) what += (what.empty() ? "" : " ") + *part;
    addArgs(TSeverity::Error, firstMedium, document ? documents + row[2] : path.empty() ? row[2] : path, kDataCheck,
            dataPattern, {what, row[4]});
    if (takenRows) (*takenRows)[r] = {};
  }
  if (takenRows) TCheckErrorList().swap(*takenRows);

  for (const TCheckedMedium& m : input.Media)
    for (const char* file : kManagementFiles)
      if (std::string_view(file).find('/') != std::string_view::npos &&
          FileInUtf8(m.Folder + file, [](std::string_view head) {
            return AsciiUpper(DeclarationValue(head, "encoding")) == "SHIFT_JIS";
          }))
        unreadFolders.insert(FolderOf(file));

  // The files the management files name, relative to a medium (as named
  // and upper-cased), and the paths walked: kept in `paths`.
  TCheckTextArena paths;
  TCheckPathIndex listed, listedUpper;
  if (store) {
    std::size_t names = store->OrderDrawings.size() + store->FinalDrawings.size() + input.PhotoFiles.size();
    auto count = [&names](const auto& records) {
      for (const auto& r : records) names += r.Orgs.size();
    };
    count(store->Meetings);
    count(store->Plans);
    count(store->Others);
    listed.Reserve(names);
  }
  std::string named;  // (a name being made)
  auto list = [&](std::string_view folder, std::string_view file) {
    named.assign(folder).append(file);
    if (listed.Has(named)) return;
    listed.Insert(paths.Keep(named));
  };
  if (store) {
    for (const auto& d : store->OrderDrawings)
      if (!d.DrawFile.empty()) list("DRAWINGS/", d.DrawFile);
    for (const auto& d : store->FinalDrawings)
      if (!d.DrawFile.empty()) list("DRAWINGF/", d.DrawFile);
    auto originals = [&](const auto& records, std::string_view folder) {
      for (const auto& r : records)
        for (const TMdlTreeNodeOrg& o : r.Orgs)
          if (!o.OrgFile.empty()) list(folder, o.OrgFile);
    };
    originals(store->Meetings, "MEET/ORG/");
    originals(store->Plans, "PLAN/ORG/");
    originals(store->Others, "OTHRS/ORG/");
  }
  for (const std::string& p : input.PhotoFiles) list(std::string_view(), p);
  // A name that differs only in case is found on a CD (its names have no
  // case), but it is a mistake of its own.
  std::vector<std::string_view> listedAsUpper;  // of each named path
  listedUpper.Reserve(listed.Size());
  listedAsUpper.reserve(listed.Size());
  for (std::uint32_t i = 0; i < listed.Size(); ++i) {
    listedAsUpper.push_back(paths.KeepUpper(listed[i]));
    listedUpper.Insert(listedAsUpper.back());
  }

  // The media: numbers given twice, and the count the delivery declares.
  std::map<int, int> seen;
  for (const TCheckedMedium& m : input.Media) ++seen[m.MediaNo];
  for (const auto& [no, times] : seen)
    if (times > 1)
      add(TSeverity::Error, std::to_string(no), "INDEX_C.XML", kMediaNo,
          Arg(Tr("ExtendedCheck", "メディア番号 %1 の媒体が %2 枚あります"), {std::to_string(no), std::to_string(times)}));
  const long declared = index ? WholeNumber(index->MediaCount) : 0;
  const bool allLoaded = declared <= 0 || static_cast<long>(seen.size()) >= declared;
  // As many media given as declared, one of them twice: that one error,
  // not also a medium short.
  const bool twice = std::any_of(seen.begin(), seen.end(), [](const auto& s) { return s.second > 1; });
  if (declared > 0 && static_cast<long>(seen.size()) != declared &&
      !(twice && static_cast<long>(input.Media.size()) == declared))
    add(static_cast<long>(seen.size()) > declared ? TSeverity::Error : TSeverity::Warning, firstMedium, "INDEX_C.XML",
        kMediaCount,
        Arg(Tr("ExtendedCheck", "メディア総枚数は %1 ですが、読み込んだ媒体は %2 枚です"),
            {std::to_string(declared), std::to_string(seen.size())}));

  // The edition the delivery follows, by its first medium's INDEX_C.XML.
  TEdition edition;
  if (!input.Media.empty()) {
    std::string bytes;
    if (ReadRegularFile(input.Media.front().Folder + "INDEX_C.XML", 1u << 20, bytes, true) == TReadStatus::Ok)
      edition = DetectEdition(bytes);
  }
  if (edition.Later())
    add(TSeverity::Warning, "", "INDEX_C.XML", kEdition,
        edition.Standard.empty()
            ? Arg(Tr("ExtendedCheck",
                     "%1の納品物です。データチェックは平成13年8月版の規則によるため、"
                     "後の版で変わった項目の指摘は当てはまりません"),
                  {edition.Name})
            : Arg(Tr("ExtendedCheck",
                     "適用要領基準 %1、%2の納品物です。データチェックは平成13年8月版の規則によるため、"
                     "後の版で変わった項目の指摘は当てはまりません"),
                  {edition.Standard, edition.Name}));
  // From the March 2016 edition original files may have 4-character extensions.
  const std::size_t longestExtension = edition.YearMonth >= 201603 ? 4 : 3;
  // From 2017 a drawing's name may carry a user part after its eight characters.
  const bool cadUserPart = edition.YearMonth >= 201703;

  // Each medium's files and folders. The walks are kept, and the paths
  // upper-cased: the sets below hold views of them.
  TCheckPathIndex present;       // relative paths on any medium
  TCheckPathIndex presentUpper;  // upper-cased
  std::vector<std::pair<std::string_view, int>> foundAs;  // of each upper-cased path: as found first, its medium
  TCheckPathIndex wherePath;     // upper-cased paths (not all of them) ...
  std::vector<TMediaNos> whereMedia;  // ... and the media holding each
  std::set<std::string> caseFolders;  // standard folders named in the wrong case (as found)
  // The texts of the findings a walk may make for every file.
  const std::string linkText = Tr("ExtendedCheck", "リンクは納品できません（たどりません）");
  const std::string systemText = Tr("ExtendedCheck", "納品に不要なファイルです");
  const std::string emptyText = Tr("ExtendedCheck", "0 バイトのファイルです");
  const std::string unlistedText = Tr("ExtendedCheck", "管理ファイルに記載のないファイルです");
  const std::string namePattern = Tr("ExtendedCheck", "半角英大文字・数字・_ で 8 文字以内、拡張子 %1 文字以内にします");
  const std::string nameTexts[2] = {Arg(namePattern, {std::to_string(3)}),
                                    Arg(namePattern, {std::to_string(longestExtension)})};
  for (const TCheckedMedium& m : input.Media) {
    const std::string medium = std::to_string(m.MediaNo);
    std::set<std::string> unexpected;  // folders whose contents are not judged again
    std::size_t walked = 0;
    const std::vector<TEntry> walk = Walk(m.Folder, paths);
    present.Reserve(present.Size() + walk.size());
    presentUpper.Reserve(presentUpper.Size() + walk.size());
    foundAs.reserve(presentUpper.Size() + walk.size());
    wherePath.Reserve(wherePath.Size() + walk.size());
    whereMedia.reserve(wherePath.Size() + walk.size());
    for (const TEntry& e : walk) {
      if (++walked % 512 == 0 && !goOn()) return finish();
      const std::string_view folder = EntryFolderView(e.Path), name = EntryNameView(e.Path);
      // What a medium can hold at all is judged everywhere; the rest not
      // again inside a folder the guideline does not know.
      if (e.Link) {
        add(TSeverity::Error, medium, e.Path, kLink, linkText);
        continue;
      }
      if (e.Path.size() > kMaxPathLength)
        add(TSeverity::Error, medium, e.Path, kPathLength,
            Arg(Tr("ExtendedCheck", "%1 文字（%2 文字まで）"),
                {std::to_string(e.Path.size()), std::to_string(kMaxPathLength)}));
      if (e.Folder && e.Depth + 1 > kMaxDepth)
        add(TSeverity::Error, medium, e.Path, kDepth,
            Arg(Tr("ExtendedCheck", "%1 階層目のフォルダ（%2 階層まで）"),
                {std::to_string(e.Depth + 1), std::to_string(kMaxDepth)}));
      if (std::any_of(unexpected.begin(), unexpected.end(), [&](const std::string& u) { return InFolder(e.Path, u); }))
        continue;
      if (e.Folder) {
        if (!IsStandardFolder(e.Path)) {
          if (IsStandardFolder(AsciiUpper(e.Path))) {
            // Its files are still the standard folder's (a CD has no case).
            add(TSeverity::Error, medium, e.Path, kFolderName, Tr("ExtendedCheck", "フォルダ名は半角英大文字で付けます"));
            caseFolders.insert(std::string(e.Path));
          } else {
            // Folders of later editions (台帳, 地質, i-Construction, BIM/CIM)
            // are expected there; their contents are not judged here.
            const std::string top = AsciiUpper(e.Path.substr(0, e.Path.find('/')));
            const bool laterFolder = edition.Later() && (top == "REGISTER" || top == "BORING" || top == "ICON" ||
                                                          top == "BIMCIM" || top == "DRAWINGS" || top == "OTHRS");
            if (!laterFolder)
              add(TSeverity::Warning, medium, e.Path, kUnexpectedFolder, Tr("ExtendedCheck", "要領に定めのないフォルダです"));
            unexpected.insert(std::string(e.Path));
          }
        }
        continue;
      }
      const std::string_view upperPath = paths.KeepUpper(e.Path);
      const std::string_view upperFolder = EntryFolderView(upperPath);
      present.Insert(e.Path);
      bool firstFound = false;
      presentUpper.Insert(upperPath, &firstFound);
      if (firstFound) foundAs.emplace_back(e.Path, m.MediaNo);
      if (IsSystemFile(name)) {
        add(TSeverity::Warning, medium, e.Path, kSystemFile, systemText);
        continue;
      }
      if (e.Size == 0) add(TSeverity::Error, medium, e.Path, kEmptyFile, emptyText);
      // (A path named as found is named upper-cased too.)
      const bool named = listedUpper.Has(upperPath);
      // Photos and their reference drawings are the photo rules' (their
      // names, their listing, their case, their images): one finding each,
      // there.
      const bool photoFolder = upperFolder == "PHOTO/PIC" || upperFolder == "PHOTO/DRA";
      if (named && e.Size > 0 && input.CheckDocument && !photoFolder)
        for (auto& [severity, found] : input.CheckDocument(std::string(m.Folder).append(e.Path)))
          add(severity, medium, e.Path, kDocument, std::move(found));
      const bool original = EndsWithI(folder, "/ORG") || upperFolder == "DRAWINGS/SPEC";
      // A drawing with a user part after its eight characters (2017 on) is
      // judged by the CAD naming rule below.
      const bool drawingUserPart = cadUserPart && (upperFolder == "DRAWINGS" || upperFolder == "DRAWINGF") &&
                                   name.size() > 9 && name[8] == '-';
      const bool nameKept = drawingUserPart || NameFollowsRule(name, false, original ? longestExtension : 3);
      if (!nameKept && !photoFolder)
        add(TSeverity::Error, medium, e.Path, kFileName, nameTexts[original ? 1 : 0]);
      const bool companion = IsCompanion(upperFolder, name);
      // Each medium carries the reference drawings its photos refer to.
      if (!companion && upperFolder != "PHOTO/DRA") {
        bool added = false;
        const std::uint32_t id = wherePath.Insert(upperPath, &added);
        if (added) whereMedia.emplace_back();
        whereMedia[id].Add(m.MediaNo);
      }
      const bool unread = std::any_of(unreadFolders.begin(), unreadFolders.end(),
                                      [&](const std::string& f) { return InFolder(upperPath, f); });
      if (!companion && !named && !unread && !photoFolder && upperFolder != "DRAWINGS/SPEC")
        add(TSeverity::Warning, medium, e.Path, kUnlisted, unlistedText);
    }
    ++done;
    if (!goOn()) return finish();
  }
  // The characters of each medium's management files, and then the grammar
  // the worker has judged meanwhile.
  managementStep = true;
  std::vector<TCharactersOfFile> ownScans(managementFiles);
  std::vector<bool> scannedHere(managementFiles, false);
  for (std::size_t i = 0; i < managementFiles; ++i)
    if (!scanTaken[i].exchange(true)) {
      scanCharacters(i, ownScans[i]);
      scannedHere[i] = true;
    }
  joinWorker();
  std::size_t fileNo = 0;
  for (const TCheckedMedium& m : input.Media) {
    for (const char* file : kManagementFiles) {
      const std::size_t i = fileNo++;
      const TCharactersOfFile* scanned =
          scannedHere[i] ? &ownScans[i] : judged && i < judged->Characters.size() ? &judged->Characters[i] : nullptr;
      // Written in UTF-8 under a Shift_JIS declaration: the grammar says so
      // once; its characters read as Shift-JIS would be noise.
      if (unreadFolders.count(FolderOf(file)) && FileInUtf8(m.Folder + file, nullptr)) continue;
      if (!scanned || !scanned->Read) continue;
      const std::size_t more = scanned->More;
      for (const TCharacterFinding& c : scanned->Found) {
        // A full-width letter in a field the data check finds at fault is
        // its error already, not also a warning here.
        if (c.Severity == TSeverity::Warning && !c.Element.empty() &&
            judgedFields.count(std::string(file) + '\n' + Tr("FieldNames", c.Element)))
          continue;
        const std::string line = std::to_string(c.Line), column = std::to_string(c.Column);
        const std::string kind = Tr("ExtendedCheck", c.Kind);
        add(c.Severity, std::to_string(m.MediaNo), file, kCharacters,
            c.Element.empty()
                ? Arg(Tr("ExtendedCheck", "%1 行 %2 文字目: 「%3」は%4"), {line, column, c.Character, kind})
                : Arg(Tr("ExtendedCheck", "%1 行 %2 文字目（%3）: 「%4」は%5"),
                      {line, column, c.Element, c.Character, kind}));
      }
      if (more > 0)
        add(TSeverity::Error, std::to_string(m.MediaNo), file, kCharacters,
            Arg(Tr("ExtendedCheck", "ほかに %1 文字あります"), {std::to_string(more)}));
    }
    if (&m == &input.Media.back()) joinGrammar();
    ++done;
    if (!goOn()) return finish();
  }

  // A management file that is no well-formed XML names only what comes
  // before its break: its folder's later files are not each reported as
  // named nowhere (the grammar says why, once).
  {
    const std::string broken = Tr("ExtendedCheck", "整形式の XML ではありません: %1");
    const std::string head = broken.substr(0, broken.find("%1"));
    std::set<std::pair<std::string, std::string>> brokenFolders;  // medium, folder
    // (The grammar's findings are the worker's, joined by now.)
    if (grammarJoined)
      for (const TFinding& f : judged->Grammar)
        if (f.Found.find(head) != std::string::npos && f.Path.find('/') != std::string::npos)
          brokenFolders.insert({f.Medium, AsciiUpper(FolderOf(f.Path))});
    const std::string unlistedRule = Tr("ExtendedCheck", kUnlisted);
    if (!brokenFolders.empty())
      out.EraseIf([&](const TFindingView& f) {
        if (f.Rule != unlistedRule) return false;
        const std::string upper = AsciiUpper(std::string(f.Path));
        return std::any_of(brokenFolders.begin(), brokenFolders.end(), [&](const auto& b) {
          return b.first == f.Medium && upper.rfind(b.second + "/", 0) == 0;
        });
      });
  }

  for (std::uint32_t id = 0; id < wherePath.Size(); ++id)
    if (const TMediaNos& media = whereMedia[id]; !media.Others.empty())
      add(TSeverity::Warning, "", wherePath[id], kSameOnTwoMedia,
          Arg(Tr("ExtendedCheck", "媒体 %1 に同じ名前のファイルがあります"), {NumberList(media.All())}));

  // Files named but found on no medium.
  for (std::uint32_t i = 0; i < listed.Size(); ++i) {
    const std::string path(listed[i]);
    if (present.Has(path)) continue;
    if (const std::string_view upper = listedAsUpper[i];
        upper.substr(0, 10) == "PHOTO/PIC/" || upper.substr(0, 10) == "PHOTO/DRA/")
      continue;  // the photo rules say it
    if (const std::uint32_t at = presentUpper.Find(listedAsUpper[i]); at != TCheckPathIndex::kNone) {
      // Named as listed in a folder named in the wrong case: the folder's
      // finding says it, once for all its files.
      const std::string found(foundAs[at].first);
      if (NameOf(found) == NameOf(path) &&
          std::any_of(caseFolders.begin(), caseFolders.end(),
                      [&](const std::string& f) { return found.rfind(f + "/", 0) == 0 && FolderOf(found) == f; }))
        continue;
      add(TSeverity::Error, std::to_string(foundAs[at].second), path, kListedMissing,
          Arg(Tr("ExtendedCheck", "大文字・小文字の違う %1 があります（名前は記載のとおりに付けます）"), {found}));
      continue;
    }
    if (allLoaded)
      add(TSeverity::Error, firstMedium, path, kListedMissing,
          Tr("ExtendedCheck", "管理ファイルに記載されたファイルが納品物にありません"));
    else
      add(TSeverity::Warning, firstMedium, path, kListedMissing,
          Tr("ExtendedCheck", "読み込んだ媒体にはありません（読み込んでいない媒体にある可能性があります）"));
  }

  // The photos, by the photo rule set.
  if (input.PhotoFindings)
    for (const TFinding& f : input.PhotoFindings()) out.Add(f);

  // Drawing file names by the CAD naming rule.
  if (store && !input.DrawKindLines.empty()) {
    auto drawings = [&](const auto& records, const std::string& folder) {
      std::set<std::string> judged;
      for (const TMdlTreeNodeDraw& d : records)
        if (!d.DrawFile.empty() && judged.insert(d.DrawFile).second)
          if (std::string fault = DrawingNameFault(d.DrawFile, d.DrawName, input, cadUserPart); !fault.empty())
            add(TSeverity::Error, firstMedium, folder + d.DrawFile, kDrawingName, std::move(fault));
    };
    drawings(store->OrderDrawings, "DRAWINGS/");
    drawings(store->FinalDrawings, "DRAWINGF/");
  }
  // A drawing file named by two records: one of them shows another drawing.
  if (store) {
    auto twiceNamed = [&](const std::vector<TMdlTreeNodeDraw>& records, const std::string& folder) {
      std::map<std::string, std::vector<int>> byName;  // upper-cased name -> record numbers (1-based)
      for (std::size_t i = 0; i < records.size(); ++i)
        if (!records[i].DrawFile.empty()) byName[AsciiUpper(records[i].DrawFile)].push_back(static_cast<int>(i) + 1);
      for (const auto& [name, numbers] : byName)
        if (numbers.size() > 1)
          add(TSeverity::Error, firstMedium, folder + records[static_cast<std::size_t>(numbers.front() - 1)].DrawFile,
              kDrawingTwice,
              Arg(Tr("ExtendedCheck", "図面情報 %1 件目が同じ図面ファイル名を記載しています"), {NumberList(numbers)}));
    };
    twiceNamed(store->OrderDrawings, "DRAWINGS/");
    twiceNamed(store->FinalDrawings, "DRAWINGF/");
  }

  // The records' dates against the construction period and each other.
  if (store && index) {
    const std::string from = index->StartDate, to = index->EndDate;
    bool period = IsDate(from) && IsDate(to);
    // A period that ends before it starts: said once, and no date is
    // judged against it.
    if (period && to < from) {
      add(TSeverity::Error, firstMedium, "INDEX_C.XML", kDateOrder,
          Arg(Tr("ExtendedCheck", "工期終了日 %1 が工期開始日 %2 より前です（日付と工期の照合は行いません）"), {to, from}));
      period = false;
    }
    const std::string outside = Tr("ExtendedCheck", "打合せ簿 %1 の%2 %3 が工期 %4 〜 %5 の外です");
    const std::string before = Tr("ExtendedCheck", "打合せ簿 %1 の%2 %3 が%4 %5 より前です");
    int n = 0;
    for (const TMdlTreeNodeMeet& r : store->Meetings) {
      ++n;
      const std::string where = "MEET/MEET.XML";
      const std::string who = r.SerialNo.empty() ? std::to_string(n) : r.SerialNo;
      // The dates by their field names (captions of the definition tables).
      const std::pair<std::string, const std::string*> dates[] = {{Tr("FieldNames", "発行日付"), &r.IssueDate},
                                                                  {Tr("FieldNames", "受理日付"), &r.AcceptDate},
                                                                  {Tr("FieldNames", "完了日付"), &r.FinishDate}};
      for (const auto& [label, value] : dates)
        if (period && IsDate(*value) && (*value < from || *value > to))
          addArgs(TSeverity::Error, firstMedium, where, kPeriod, outside, {who, label, *value, from, to});
      for (std::size_t i = 0; i + 1 < std::size(dates); ++i)
        for (std::size_t j = i + 1; j < std::size(dates); ++j)
          if (IsDate(*dates[i].second) && IsDate(*dates[j].second) && *dates[j].second < *dates[i].second)
            addArgs(TSeverity::Error, firstMedium, where, kDateOrder, before,
                    {who, dates[j].first, *dates[j].second, dates[i].first, *dates[i].second});
    }
  }

  done = steps;
  goOn();
  return finish();
}

}  // namespace

std::vector<TFinding> RunExtendedCheck(const TExtendedInput& input) { return CheckDelivery(input, nullptr).TakeAll(); }

std::vector<TFinding> RunExtendedCheck(TExtendedInput&& input) { return RunExtendedCheckCompact(std::move(input)).TakeAll(); }

TCompactFindings RunExtendedCheckCompact(TExtendedInput&& input) {
  TCheckErrorList rows = std::move(input.DataCheckRows);
  input.DataCheckRows = {};
  return CheckDelivery(input, &rows);
}

}  // namespace dlvr
