// What the parts of the full delivery check share: its rules, the findings
// being made, the texts a walk keeps and the index of its paths, the
// entries of a medium and what a path is made of, and what each rule
// family's file gives the assembly (extended_check.cpp).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/data_check.h"
#include "check/extended_check.h"
#include "platform/translate.h"

namespace dlvr::extended_check_detail {

// Rules, by family (in the findings in the user's language).
inline constexpr const char* kListedMissing = DLVR_TR_NOOP("ExtendedCheck", "記載ファイルの存在");
inline constexpr const char* kEmptyFile = DLVR_TR_NOOP("ExtendedCheck", "空のファイル");
inline constexpr const char* kUnlisted = DLVR_TR_NOOP("ExtendedCheck", "記載のないファイル");
inline constexpr const char* kFileName = DLVR_TR_NOOP("ExtendedCheck", "ファイル名の規則");
inline constexpr const char* kFolderName = DLVR_TR_NOOP("ExtendedCheck", "フォルダ名の規則");
inline constexpr const char* kSameOnTwoMedia = DLVR_TR_NOOP("ExtendedCheck", "媒体間の重複");
inline constexpr const char* kUnexpectedFolder = DLVR_TR_NOOP("ExtendedCheck", "規定外のフォルダ");
inline constexpr const char* kDepth = DLVR_TR_NOOP("ExtendedCheck", "フォルダの深さ");
inline constexpr const char* kPathLength = DLVR_TR_NOOP("ExtendedCheck", "パスの長さ");
inline constexpr const char* kSystemFile = DLVR_TR_NOOP("ExtendedCheck", "不要なファイル");
inline constexpr const char* kLink = DLVR_TR_NOOP("ExtendedCheck", "リンク");
inline constexpr const char* kPeriod = DLVR_TR_NOOP("ExtendedCheck", "日付と工期");
inline constexpr const char* kDateOrder = DLVR_TR_NOOP("ExtendedCheck", "日付の順序");
inline constexpr const char* kMediaCount = DLVR_TR_NOOP("ExtendedCheck", "メディア総枚数");
inline constexpr const char* kMediaNo = DLVR_TR_NOOP("ExtendedCheck", "メディア番号");
inline constexpr const char* kCharacters = DLVR_TR_NOOP("ExtendedCheck", "使用文字");
inline constexpr const char* kGrammar = DLVR_TR_NOOP("ExtendedCheck", "XML の文法");
inline constexpr const char* kEdition = DLVR_TR_NOOP("ExtendedCheck", "要領の版");
inline constexpr const char* kDocument = DLVR_TR_NOOP("ExtendedCheck", "文書ファイル");
inline constexpr const char* kDrawingName = DLVR_TR_NOOP("ExtendedCheck", "図面ファイル名の規則");
inline constexpr const char* kDataCheck = DLVR_TR_NOOP("ExtendedCheck", "データチェック");
inline constexpr const char* kDrawingTwice = DLVR_TR_NOOP("ExtendedCheck", "図面ファイル名の重複");

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

// The findings being made, each rule (one of those above) put in the
// user's language once.
class TFindingSink {
 public:
  explicit TFindingSink(TCompactFindings& out) : out_(out) {}
  void Add(TSeverity s, std::string_view medium, std::string_view path, const char* rule, std::string_view found) {
    out_.Add(s, medium, path, RuleName(rule), found);
  }
  // The same with the text Arg(pattern, args): a finding of a kind that may
  // come a million times keeps only its values.
  void AddArgs(TSeverity s, std::string_view medium, std::string_view path, const char* rule,
               const std::string& pattern, std::initializer_list<std::string_view> args) {
    out_.Add(s, medium, path, RuleName(rule), pattern, args);
  }

 private:
  std::string_view RuleName(const char* rule) {
    for (const auto& [key, name] : ruleNames_)
      if (key == rule) return name;
    return ruleNames_.emplace_back(rule, Tr("ExtendedCheck", rule)).second;
  }
  TCompactFindings& out_;
  std::deque<std::pair<const char*, std::string>> ruleNames_;
};

// extended_walk.cpp

// Every entry under the medium's folder, links not followed; a folder
// before what it holds.
std::vector<TEntry> Walk(const std::string& root, TCheckTextArena& paths);

// True when `path` lies inside the folder `folder` (both relative).
bool InFolder(std::string_view path, std::string_view folder);
// The folder of a relative path ("" in the root) and its last name.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// The same, read in place.
std::string_view EntryFolderView(std::string_view path);
std::string_view EntryNameView(std::string_view path);

// extended_names.cpp

// Whether `path` is one of the folders a medium may hold.
bool IsStandardFolder(std::string_view path);
bool EndsWithI(std::string_view s, std::string_view tail);
// A name of upper-case half-width letters, digits and '_': at most 8, a dot
// and at most 3 more for a file (a folder has no dot).
bool NameFollowsRule(std::string_view name, bool folder, std::size_t longestExtension = 3);
// Files that operating systems and editors leave behind.
bool IsSystemFile(std::string_view name);
// A management file, its DTD or stylesheet in the medium's root or in a
// folder of a management file.
bool IsCompanion(std::string_view folder, std::string_view name);
// What is wrong with a drawing file name by the CAD naming rule, "" when it
// keeps it. From the 2017 editions a name may carry a user part after the
// eight characters, led by '-'.
std::string DrawingNameFault(const std::string& file, const std::string& drawName, const TExtendedInput& input,
                             bool userPart);
// The drawing file names of the records by the CAD naming rule, and a
// drawing file named by two records.
void JudgeDrawingNames(const TExtendedInput& input, const DeliveryStore& store, bool cadUserPart,
                       const std::string& firstMedium, TFindingSink& sink);

// extended_characters.cpp

// The characters of a management file, read a piece at a time: at most
// `most` findings, the rest counted in `more`; false when it cannot be read.
bool ScanFileCharacters(const std::string& path, std::size_t most, std::vector<TCharacterFinding>& found,
                        std::size_t& more);

// The character scan's findings of a management file of a medium, but for
// a full-width letter in a field the data check found at fault.
void JudgeCharacters(const std::string& medium, const char* file, const std::vector<TCharacterFinding>& found,
                     std::size_t more, const std::set<std::string>& judgedFields, TFindingSink& sink);

// extended_grammar.cpp

// The value of a pseudo-attribute of the XML declaration ("" when absent).
std::string DeclarationValue(std::string_view head, std::string_view name);
// Whether a management file reads as UTF-8 (characters beyond ASCII, all
// of them well-formed UTF-8), read a piece at a time; false when it cannot
// be read, or when `head` says no of its first 512 bytes.
bool FileInUtf8(const std::string& path, const std::function<bool(std::string_view head)>& headSays);
// The grammar of a management file read from the medium a piece at a
// time; `failed` when it cannot be read (missing, not a regular file, a
// link, larger than any management file, a read error).
std::vector<TGrammarFinding> GrammarOfFile(const std::string& mediumFolder, const std::string& relativePath,
                                           std::size_t most, bool& failed);

// extended_edition.cpp

// The edition the delivery follows, by its first medium's INDEX_C.XML; a
// later one than the data check's is a warning.
TEdition JudgeEdition(const TExtendedInput& input, TFindingSink& sink);

// extended_data_rows.cpp

// The data check's rows (the input's, or `takenRows`, each let go once it
// is a finding) as findings; the class folders whose management file the
// data check could not read go into `unreadFolders`, the fields it found at
// fault (file + '\n' + field name) into `judgedFields`.
void JudgeDataCheckRows(const TExtendedInput& input, TCheckErrorList* takenRows, const std::string& firstMedium,
                        TFindingSink& sink, std::set<std::string>& unreadFolders,
                        std::set<std::string>& judgedFields);

// extended_dates.cpp

// The records' dates against the construction period and each other.
void JudgeDates(const DeliveryStore& store, const TMdlTreeNodeIndex& index, const std::string& firstMedium,
                TFindingSink& sink);

// extended_check.cpp

// The separator of the items of a list in a message, in the user's language.
std::string ListSeparator();
// Media numbers as a list ("1、2").
std::string NumberList(const std::vector<int>& numbers);

}  // namespace dlvr::extended_check_detail
