// The data check: every field of every record of the loaded delivery is
// tested against its fixed rule (needed or not, length, character class,
// allowed words, date or folder format); every violation becomes one row of
// the error list.
//
// Values are UTF-8 in memory; lengths and character classes are judged on
// their CP932 encoding, byte for byte as a Shift-JIS program would. A
// character without a CP932 code (U+FFFD from an invalid byte sequence
// among them) lies outside every class and counts one byte.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/store.h"
#include "platform/translate.h"

namespace dlvr {

class TMdlTreeView;

// One row of the error list: 管理項目名, 分類名, ファイル名, 項目名, 状態.
using TCheckErrorRow = std::array<std::string, 5>;
using TCheckErrorList = std::vector<TCheckErrorRow>;

// Error kinds, indexes into kCheckErrorWords. None is "no error". The rows
// of the check carry the words in the user's language (context "DataCheck").
enum class TCheckError : int {
  None = -1,
  BadDate = 0,     // 日付が不正
  Missing = 1,     // 情報未記入
  SameFile = 2,    // 同名ファイルあり (no rule of the check produces it)
  BadLength = 3,   // 文字数が不正
  BadChars = 4,    // データ表現が不正
  NotParty = 5,    // 発注／請負者以外 (no rule of the check produces it)
  BadFolder = 6,   // フォルダ名が不正
  NotListed = 7,   // 規定文字以外
};

inline constexpr std::array<const char*, 8> kCheckErrorWords = {
    DLVR_TR_NOOP("DataCheck", "日付が不正"),       DLVR_TR_NOOP("DataCheck", "情報未記入"),
    DLVR_TR_NOOP("DataCheck", "同名ファイルあり"), DLVR_TR_NOOP("DataCheck", "文字数が不正"),
    DLVR_TR_NOOP("DataCheck", "データ表現が不正"), DLVR_TR_NOOP("DataCheck", "発注／請負者以外"),
    DLVR_TR_NOOP("DataCheck", "フォルダ名が不正"), DLVR_TR_NOOP("DataCheck", "規定文字以外"),
};

// The word of an error kind ("" for None), as written in the code (Japanese).
const char* CheckErrorWord(TCheckError e);

// Character classes of the field rules.
enum class TCharClass {
  Text,    // T: double-byte characters other than full-width digits and Latin letters, and 0x20-0x7E
  Number,  // N: 0-9 and "."
  Digits,  // D: 0-9
  Upper,   // U: 0x20-0x7E without a-z
  Ascii,   // A: 0x20-0x7E
};

// Length kinds of the field rules, with the field's limit L.
enum class TLengthKind {
  Bytes,  // B: at most L bytes
  Wide,   // W: at most 2 x L bytes (L full-width characters)
  Exact,  // E: exactly L bytes
};

// --- single rules: the error a value earns, or None ---

// Needed and empty: Missing; else (when not empty) the length, then the class.
TCheckError CheckField(std::string_view value, TCharClass cls, TLengthKind kind, int limit, bool needed);

// Empty: Missing when needed. Otherwise BadDate unless the value is a date
// written YYYY-MM-DD that exists in the Gregorian calendar (year 1-9999).
TCheckError CheckDate(std::string_view value, bool needed);
bool IsValidDate(std::string_view value);

// Needed and empty: Missing; an empty value that is not needed passes;
// anything but one of the words (compared exactly): NotListed.
TCheckError CheckWords(std::string_view value, const std::vector<std::string_view>& words, bool needed);

// Empty: Missing; anything but exactly `expected`: BadFolder.
TCheckError CheckFolder(std::string_view value, std::string_view expected);

// The allowed words of the word-list fields.
const std::vector<std::string_view>& MeetKindWords();   // 打合せ簿種類
const std::vector<std::string_view>& SubmitToWords();   // 提出先
const std::vector<std::string_view>& OthrsKindWords();  // その他資料種類

// --- the check ---

// Empties `errors` and fills it with the findings over the whole store, in
// the order of the walk: construction record, then the ordering drawings,
// meetings, plans, final drawings and other documents, each section starting
// with the software information of its management file. The section's name
// (context "DataCheck"), the field's name (context "FieldNames") and the
// state come in the user's language; the class name and the file name are
// the delivery's own.
void RunDataCheck(const DeliveryStore& store, TCheckErrorList& errors);

// The 項目名 and 状態 of the row for a management file that could not be read
// (translated in the row, context "DataCheck").
inline constexpr const char* kManagementFileItem = DLVR_TR_NOOP("DataCheck", "管理ファイル");
inline constexpr const char* kUnreadableFileState = DLVR_TR_NOOP("DataCheck", "ファイルを読み込めません。");

// The same over the model's store, into the model's error list. Besides, a
// section the store holds nothing of starts with the row {section, "", the
// file's name on disk, kManagementFileItem, kUnreadableFileState} when the
// media folder's management file of that section (INDEX_C.XML, or the
// sub-management file in its class folder, names matched without regard to
// ASCII case; the media folder is the one loaded last) is there but could
// not have been read: not a regular file, a link out of the medium,
// unreadable, or with content from which no record could be read. A missing
// file gives no such row.
void RunDataCheck(TMdlTreeView& view);
// The same into `errors`, the model's error list left as it is.
void RunDataCheck(TMdlTreeView& view, TCheckErrorList& errors);

// --- the check command's precondition ---

// True when `folder` holds INDEX_C.XML (its name matched without regard to
// ASCII case).
bool HasIndexFile(const std::string& folder);

// The message the viewer shows instead of checking a folder without
// INDEX_C.XML, in the user's language, for a media folder (given with its
// trailing separator, as the viewer keeps it); lines break at "\r".
std::string NoIndexMessage(std::string_view mediaFolder);

}  // namespace dlvr
