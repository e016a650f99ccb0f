#include "check/data_check.h"

#include <sys/stat.h>

#include <cstdint>

#include "delivery/tag_reader.h"
#include "model/tree_view.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// What one pass over a value tells: its CP932 length and the classes all of
// its characters belong to.
struct TValueScan {
  std::size_t Bytes = 0;
  bool Text = true;
  bool Number = true;
  bool Digits = true;
  bool Upper = true;
  bool Ascii = true;
};

// ０-９, Ａ-Ｚ and ａ-ｚ: the double-byte characters the text class refuses.
bool IsFullWidthAlnum(int code) {
  if ((code >> 8) != 0x82) return false;
  int trail = code & 0xFF;
  return (trail >= 0x4F && trail <= 0x58) || (trail >= 0x60 && trail <= 0x79) || (trail >= 0x81 && trail <= 0x9A);
}

// What a BMP character is in CP932, by code point.
enum TCharKind : std::uint8_t {
  ckNone = 0,         // no CP932 code: written as '?', outside every class
  ckSingle = 1,       // a single byte above 0x7F (half-width katakana)
  ckDouble = 2,       // a double-byte character
  ckDoubleAlnum = 3,  // a full-width digit or Latin letter
};

// The kinds of all BMP characters, built once: the check looks up every
// character of every value, which must stay cheap for large deliveries.
const std::uint8_t* CharKinds() {
  static const std::vector<std::uint8_t> kinds = [] {
    std::vector<std::uint8_t> t(0x10000, ckNone);
    for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
      if (cp == kReplacementChar || (cp >= 0xD800 && cp <= 0xDFFF)) continue;
      const int code = Cp932Code(cp);
      if (code < 0) continue;
      t[cp] = code <= 0xFF ? ckSingle : IsFullWidthAlnum(code) ? ckDoubleAlnum : ckDouble;
    }
    return t;
  }();
  return kinds.data();
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

TValueScan ScanValue(std::string_view v) {
  const std::uint8_t* kinds = CharKinds();
  TValueScan s;
  const std::size_t n = v.size();
  std::size_t pos = 0;
  while (pos < n) {
    const auto b = static_cast<unsigned char>(v[pos]);
    if (b < 0x80) {
      ++pos;
      ++s.Bytes;
      if (b < 0x20 || b == 0x7F) {
        s.Text = s.Number = s.Digits = s.Upper = s.Ascii = false;
      } else if (b < '0' || b > '9') {
        s.Digits = false;
        if (b != '.') s.Number = false;
        if (b >= 'a' && b <= 'z') s.Upper = false;
      }
      continue;
    }
    // Anything beyond ASCII is outside the single-byte classes.
    s.Number = s.Digits = s.Upper = s.Ascii = false;
    char32_t cp;
    if (b >= 0xE1 && b <= 0xEF && b != 0xED && pos + 2 < n && IsContinuation(v[pos + 1]) &&
        IsContinuation(v[pos + 2])) {
      // The common case of Japanese text: a three-byte sequence whose lead
      // byte allows neither an overlong form nor a surrogate (E0 and ED do).
      cp = (char32_t(b & 0x0F) << 12) | (char32_t(v[pos + 1] & 0x3F) << 6) | char32_t(v[pos + 2] & 0x3F);
      pos += 3;
    } else {
      cp = NextCodePoint(v, pos);
    }
    const std::uint8_t kind = cp < 0x10000 ? kinds[cp] : std::uint8_t{ckNone};
    if (kind == ckDouble) {
      s.Bytes += 2;
    } else if (kind == ckDoubleAlnum) {
      s.Bytes += 2;
      s.Text = false;
    } else {
      ++s.Bytes;
      s.Text = false;
    }
  }
  return s;
}

bool LengthKept(std::size_t bytes, TLengthKind kind, int limit) {
  const auto l = static_cast<std::size_t>(limit < 0 ? 0 : limit);
  switch (kind) {
    case TLengthKind::Bytes: return bytes <= l;
    case TLengthKind::Wide: return bytes <= 2 * l;
    case TLengthKind::Exact: return bytes == l;
  }
  return false;
}

bool ClassKept(const TValueScan& s, TCharClass cls) {
  switch (cls) {
    case TCharClass::Text: return s.Text;
    case TCharClass::Number: return s.Number;
    case TCharClass::Digits: return s.Digits;
    case TCharClass::Upper: return s.Upper;
    case TCharClass::Ascii: return s.Ascii;
  }
  return false;
}

bool IsLeapYear(int y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// The decimal value of digits s[from, from + n).
int DigitsValue(std::string_view s, std::size_t from, std::size_t n) {
  int v = 0;
  for (std::size_t i = from; i < from + n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

// ---------------------------------------------------------------------------
// The walk

using C = TCharClass;
using K = TLengthKind;

// Fills the error list, keeping the context every row is reported in. The
// context views point into the records, which outlive the walk. A row's
// section, field name and state are put in the user's language as the row
// is made; the rules and the names they are matched by stay as written.
class TChecker {
 public:
  explicit TChecker(TCheckErrorList& errors) : errors_(errors) {}

  // Starts a section: its name (a "DataCheck" text) and management file; no
  // naming value.
  void Section(const char* section, std::string_view file) {
    section_ = Tr("DataCheck", section);
    file_ = file;
    className_ = std::string_view();
  }
  void SetClassName(std::string_view name) { className_ = name; }
  void SetFile(std::string_view file) { file_ = file; }

  void Field(const char* name, std::string_view value, C cls, K kind, int limit, bool needed) {
    Report(name, CheckField(value, cls, kind, limit, needed));
  }
  // A list field: each value under the same rule; no value counts as one
  // empty value.
  void List(const char* name, const TStringList& values, C cls, K kind, int limit, bool needed) {
    if (values.empty()) {
      Field(name, std::string_view(), cls, kind, limit, needed);
      return;
    }
    for (const std::string& v : values) Field(name, v, cls, kind, limit, needed);
  }
  void Date(const char* name, std::string_view value, bool needed) { Report(name, CheckDate(value, needed)); }
  void Words(const char* name, std::string_view value, const std::vector<std::string_view>& words, bool needed) {
    Report(name, CheckWords(value, words, needed));
  }
  void Folder(const char* name, std::string_view value, const char* expected) {
    Report(name, CheckFolder(value, expected));
  }
  // The section's management file, by the name found on disk, could not be read.
  void Unreadable(const std::string& foundName) {
    errors_.push_back({section_, std::string(), foundName, Tr("DataCheck", kManagementFileItem),
                       Tr("DataCheck", kUnreadableFileState)});
  }

 private:
  // `name` is the field's caption in the definition tables (see
  // field_captions.cpp).
  void Report(const char* name, TCheckError e) {
    if (e == TCheckError::None) return;
    errors_.push_back({section_, std::string(className_), std::string(file_), Tr("FieldNames", name),
                       Tr("DataCheck", CheckErrorWord(e))});
  }

  TCheckErrorList& errors_;
  std::string section_;
  std::string_view className_;
  std::string_view file_;
};

// Software information of INDEX_C.XML and of each sub-management file.
void CheckSoftware(TChecker& c, const TMdlTreeNodeIndex& r) {
  c.Field("ソフトウェア名", r.SoftName, C::Text, K::Wide, 64, false);
  c.Field("バージョン情報", r.SoftVersion, C::Ascii, K::Bytes, 127, false);
  c.Field("メーカ名", r.MakerName, C::Text, K::Wide, 64, false);
  c.Field("メーカ連絡先", r.MakerContact, C::Text, K::Wide, 127, false);
  c.Field("ソフトメーカ用TAG", r.MakerTag, C::Text, K::Wide, 64, false);
}

// Software information of a sub-management file, when the store has its slot.
void CheckHeader(TChecker& c, const DeliveryStore& store, FileKind kind) {
  if (static_cast<std::size_t>(kind) < store.IndexRecords.size()) CheckSoftware(c, store.IndexRecords[kind]);
}

void CheckConstruction(TChecker& c, const TMdlTreeNodeIndex& r) {
  c.Field("メディア番号", r.MediaNo, C::Digits, K::Bytes, 8, true);
  c.Field("メディア総枚数", r.MediaCount, C::Digits, K::Bytes, 8, true);

  c.Folder("発注図面フォルダ名", r.OrderDrawFolder, "DRAWINGS");
  c.Folder("特記仕様書オリジナルファイルフォルダ名", r.SpecOrgFolder, "DRAWINGS/SPEC");
  c.Folder("打合せ簿フォルダ名", r.MeetFolder, "MEET");
  c.Folder("打合せ簿オリジナルファイルフォルダ名", r.MeetOrgFolder, "MEET/ORG");
  c.Folder("施工計画書フォルダ名", r.PlanFolder, "PLAN");
  c.Folder("施工計画書オリジナルファイルフォルダ名", r.PlanOrgFolder, "PLAN/ORG");
  c.Folder("完成図面フォルダ名", r.DrawFolder, "DRAWINGF");
  c.Folder("写真フォルダ名", r.PhotoFolder, "PHOTO");
  c.Folder("その他フォルダ名", r.OthrsFolder, "OTHRS");
  c.Folder("その他オリジナルファイルフォルダ名", r.OthrsOrgFolder, "OTHRS/ORG");

  CheckSoftware(c, r);

  c.Field("発注年度", r.OrderYear, C::Number, K::Exact, 4, true);
  c.Field("工事番号", r.KojiNo, C::Number, K::Bytes, 127, true);
  c.Field("路線水系名等", r.RouteName, C::Text, K::Wide, 64, false);
  c.Field("工事名称", r.KojiName, C::Text, K::Wide, 127, true);
  c.Field("工事分野", r.KojiField, C::Text, K::Wide, 16, true);
  c.Field("工事業種", r.KojiIndustry, C::Text, K::Wide, 16, true);
  c.List("工種", r.KojiTypes, C::Text, K::Wide, 64, true);
  c.List("工法型式", r.MethodTypes, C::Text, K::Wide, 64, true);
  c.List("住所コード", r.AddressCodes, C::Digits, K::Exact, 5, true);
  c.List("住所", r.Addresses, C::Text, K::Wide, 64, true);
  c.Date("工期開始日", r.StartDate, true);
  c.Date("工期終了日", r.EndDate, true);
  c.Field("工事内容", r.KojiContent, C::Text, K::Wide, 127, true);
  c.Field("起点側測点-n", r.StartStationN, C::Ascii, K::Exact, 4, false);
  c.Field("起点側測点-m", r.StartStationM, C::Ascii, K::Exact, 3, false);
  c.Field("終点側測点-n", r.EndStationN, C::Ascii, K::Exact, 4, false);
  c.Field("終点側測点-m", r.EndStationM, C::Ascii, K::Exact, 3, false);
  c.Field("起点側距離標-n", r.StartDistN, C::Ascii, K::Exact, 3, false);
  c.Field("起点側距離標-m", r.StartDistM, C::Ascii, K::Exact, 3, false);
  c.Field("終点側距離標-n", r.EndDistN, C::Ascii, K::Exact, 3, false);
  c.Field("終点側距離標-m", r.EndDistM, C::Ascii, K::Exact, 3, false);
  c.Field("西側境界座標経度", r.WestLongitude, C::Ascii, K::Exact, 7, false);
  c.Field("東側境界座標経度", r.EastLongitude, C::Ascii, K::Exact, 7, false);
  c.Field("北側境界座標緯度", r.NorthLatitude, C::Ascii, K::Exact, 7, false);
  c.Field("南側境界座標緯度", r.SouthLatitude, C::Ascii, K::Exact, 7, false);
  c.Field("施設名称", r.FacilityName, C::Text, K::Wide, 64, false);
  c.Field("発注者-大分類", r.OrdererClass1, C::Text, K::Wide, 16, true);
  c.Field("発注者-中分類", r.OrdererClass2, C::Text, K::Wide, 32, true);
  c.Field("発注者-小分類", r.OrdererClass3, C::Text, K::Wide, 16, true);
  c.Field("発注者コード", r.OrdererCode, C::Number, K::Exact, 8, true);
  c.Field("請負者名", r.ContractorName, C::Text, K::Wide, 127, true);
  c.Field("請負者コード", r.ContractorCode, C::Number, K::Bytes, 127, false);
  c.List("予備", r.Reserves, C::Text, K::Wide, 127, false);
}

// Ordering and final drawings differ in the length kind of 図面ファイル名
// and 基準点情報平面直角座標系番号: exact for ordering drawings, at most for
// final drawings.
void CheckDrawing(TChecker& c, const TMdlTreeNodeDraw& r, bool final) {
  const K fixedOrAtMost = final ? K::Bytes : K::Exact;
  c.Field("図面名", r.DrawName, C::Text, K::Wide, 20, true);
  c.Field("図面ファイル名", r.DrawFile, C::Text, final ? K::Wide : K::Exact, 12, true);
  c.Field("作成者名", r.DrawAuthor, C::Text, K::Wide, 30, true);
  c.Field("図面ファイル作成ソフトウェア名", r.DrawSoft, C::Text, K::Wide, 64, true);
  c.Field("図面尺度", r.DrawScale, C::Ascii, K::Bytes, 10, true);
  c.Field("図面番号", r.DrawNo, C::Number, K::Bytes, 3, true);
  c.Field("起点側測点-n", r.StartStationN, C::Ascii, K::Exact, 4, false);
  c.Field("起点側測点-m", r.StartStationM, C::Ascii, K::Exact, 3, false);
  c.Field("終点側測点-n", r.EndStationN, C::Ascii, K::Exact, 4, false);
  c.Field("終点側測点-m", r.EndStationM, C::Ascii, K::Exact, 3, false);
  c.Field("起点側距離標-n", r.StartDistN, C::Ascii, K::Exact, 3, false);
  c.Field("起点側距離標-m", r.StartDistM, C::Ascii, K::Exact, 3, false);
  c.Field("終点側距離標-n", r.EndDistN, C::Ascii, K::Exact, 3, false);
  c.Field("終点側距離標-m", r.EndDistM, C::Ascii, K::Exact, 3, false);
  c.Field("西側境界座標経度", r.WestLongitude, C::Ascii, K::Exact, 7, false);
  c.Field("東側境界座標経度", r.EastLongitude, C::Ascii, K::Exact, 7, false);
  c.Field("北側境界座標緯度", r.NorthLatitude, C::Ascii, K::Exact, 7, false);
  c.Field("南側境界座標緯度", r.SouthLatitude, C::Ascii, K::Exact, 7, false);
  c.Field("平面直角座標系", r.PlaneSystem, C::Ascii, K::Bytes, 2, false);
  c.Field("西側境界平面直角座標", r.WestPlane, C::Ascii, K::Bytes, 11, false);
  c.Field("東側境界平面直角座標", r.EastPlane, C::Ascii, K::Bytes, 11, false);
  c.Field("北側境界平面直角座標", r.NorthPlane, C::Ascii, K::Bytes, 11, false);
  c.Field("南側境界平面直角座標", r.SouthPlane, C::Ascii, K::Bytes, 11, false);
  c.Field("詳細住所", r.DetailAddress, C::Text, K::Wide, 64, false);
  c.Field("基準点情報緯度", r.RefLatitude, C::Ascii, K::Exact, 7, false);
  c.Field("基準点情報経度", r.RefLongitude, C::Ascii, K::Exact, 7, false);
  c.Field("基準点情報平面直角座標系番号", r.RefPlaneSystemNo, C::Ascii, fixedOrAtMost, 2, false);
  c.Field("基準点情報平面直角座標X座標", r.RefPlaneX, C::Ascii, K::Bytes, 11, false);
  c.Field("基準点情報平面直角座標Y座標", r.RefPlaneY, C::Ascii, K::Bytes, 11, false);
  c.Field("受注者説明文", r.ContractorNote, C::Text, K::Wide, 128, false);
  c.Field("発注者説明文", r.OrdererNote, C::Text, K::Wide, 128, false);
  c.Field("成果品保存場所", r.ResultPlace, C::Text, K::Wide, 40, false);
  c.Field("予備", r.Reserve, C::Text, K::Wide, 128, false);
}

void CheckDrawings(TChecker& c, const std::vector<TMdlTreeNodeDraw>& drawings, bool final) {
  for (const TMdlTreeNodeDraw& r : drawings) {
    c.SetFile(r.DrawFile);
    CheckDrawing(c, r, final);
  }
}

// The three fields of each original file, reported under the original's own
// name; the management file's name comes back afterwards. `elements` are the
// field names of the record kind, `contentLimit` the full-width limit of
// オリジナルファイル内容.
void CheckOrgs(TChecker& c, const std::vector<TMdlTreeNodeOrg>& orgs, const char* const (&elements)[3],
               int contentLimit, std::string_view managementFile) {
  for (const TMdlTreeNodeOrg& o : orgs) {
    c.SetFile(o.OrgFile);
    c.Field(elements[0], o.OrgFile, C::Upper, K::Bytes, 12, true);
    c.Field(elements[1], o.OrgSoftVersion, C::Text, K::Wide, 64, true);
    c.Field(elements[2], o.OrgContent, C::Text, K::Wide, contentLimit, true);
  }
  c.SetFile(managementFile);
}

// 請負者説明文, 発注者説明文 and 予備 close every meeting, plan and other document.
template <class R>
void CheckNotes(TChecker& c, const R& r) {
  c.Field("請負者説明文", r.ContractorNote, C::Text, K::Wide, 127, false);
  c.Field("発注者説明文", r.OrdererNote, C::Text, K::Wide, 127, false);
  c.List("予備", r.Reserves, C::Text, K::Wide, 127, false);
}

void CheckMeetings(TChecker& c, const std::vector<TMdlTreeNodeMeet>& meetings) {
  static constexpr std::string_view kFile = "MEET.XML";
  for (const TMdlTreeNodeMeet& r : meetings) {
    c.SetFile(kFile);
    c.SetClassName(r.MeetKind);
    c.Field("シリアル番号", r.SerialNo, C::Number, K::Bytes, 15, true);
    c.Words("打合せ簿種類", r.MeetKind, MeetKindWords(), true);
    c.Field("打合せ簿名称", r.MeetName, C::Text, K::Wide, 40, true);
    c.Field("管理区分", r.ManageClass, C::Text, K::Wide, 16, false);
    c.Field("打合せ簿番号", r.MeetNo, C::Ascii, K::Bytes, 15, false);
    c.Field("作成者", r.MeetAuthor, C::Text, K::Wide, 40, true);
    c.Words("提出先", r.SubmitTo, SubmitToWords(), true);
    c.Date("発行日付", r.IssueDate, true);
    c.Date("受理日付", r.AcceptDate, true);
    c.Date("完了日付", r.FinishDate, false);
    CheckOrgs(c, r.Orgs, TMdlTreeNodeMeet::OrgElements, 64, kFile);
    CheckNotes(c, r);
  }
}

void CheckPlans(TChecker& c, const std::vector<TMdlTreeNodePlan>& plans) {
  static constexpr std::string_view kFile = "PLAN.XML";
  for (const TMdlTreeNodePlan& r : plans) {
    c.SetFile(kFile);
    c.SetClassName(r.PlanName);
    c.Field("シリアル番号", r.SerialNo, C::Number, K::Bytes, 15, true);
    c.Field("施工計画書名称", r.PlanName, C::Text, K::Wide, 40, true);
    CheckOrgs(c, r.Orgs, TMdlTreeNodePlan::OrgElements, 127, kFile);
    CheckNotes(c, r);
  }
}

void CheckOthers(TChecker& c, const std::vector<TMdlTreeNodeOthrs>& others) {
  static constexpr std::string_view kFile = "OTHRS.XML";
  for (const TMdlTreeNodeOthrs& r : others) {
    c.SetFile(kFile);
    c.SetClassName(r.DocName);
    c.Field("シリアル番号", r.SerialNo, C::Number, K::Bytes, 15, true);
    c.Field("資料名", r.DocName, C::Text, K::Wide, 40, true);
    c.Words("その他資料種類", r.DocKind, OthrsKindWords(), true);
    c.Field("保管場所", r.StorePlace, C::Text, K::Wide, 40, false);
    CheckOrgs(c, r.Orgs, TMdlTreeNodeOthrs::OrgElements, 64, kFile);
    CheckNotes(c, r);
  }
}

// ---------------------------------------------------------------------------
// Management files the store holds nothing of

// True when the store holds what the management file of `kind` gives: a
// field of the construction record, or a record.
bool HoldsRecordsOf(const DeliveryStore& s, FileKind kind) {
  switch (kind) {
    case fkIndex:
      if (s.IndexRecords.empty()) return false;
      for (const TFieldDef<TMdlTreeNodeIndex>& f : TMdlTreeNodeIndex::Fields())
        if ((f.Text && !(s.IndexRecords[fkIndex].*f.Text).empty()) || (f.List && !(s.IndexRecords[fkIndex].*f.List).empty()))
          return true;
      return false;
    case fkDrawings: return !s.OrderDrawings.empty();
    case fkMeet: return !s.Meetings.empty();
    case fkPlan: return !s.Plans.empty();
    case fkDrawingF: return !s.FinalDrawings.empty();
    case fkOthrs: return !s.Others.empty();
    default: return true;
  }
}

// The root elements the management file reader takes in any management file.
bool IsRootElement(const std::string& tag) {
  const std::string upper = AsciiUpper(tag);
  for (const char* root : {"CONSTDATA", "DRAWINGDATA", "MEETDATA", "PLANDATA", "OTHRSDATA"})
    if (upper.rfind(root, 0) == 0) return true;
  return false;
}

// The management file of `kind` of the medium in `mediaFolder` (the tree's
// class of the same number names its folder and file), found as the tree
// build finds it: its class folder and its
// name matched without regard to ASCII case, looked for only when the class
// folder exists. Returns its name on disk when it is there but could not
// have been read: not a regular file (a folder, FIFO, device, a link to one
// or a broken link), a link that leads out of the medium, unreadable, or
// with content in which reading meets a
// broken tag or no root element; an INDEX_C.XML with any content at all,
// since the caller asks only when no field of it was read. "" when the file
// is not there or was read. Nothing but a regular file is opened.
std::string UnreadableFileName(const std::string& mediaFolder, FileKind kind) {
  std::string folder = mediaFolder;
  const char* name = "INDEX_C.XML";
  if (kind != fkIndex) {
    folder = ResolveCase(JoinPath(mediaFolder, DocClassTable[kind].Folder));
    if (!DirExists(folder)) return std::string();
    name = DocClassTable[kind].Xml;
  }
  const std::string path = ResolveCase(JoinPath(folder, name));
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::string();
  const std::string found = ExtractFileName(path);
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return found;
  // A link that leads out of the medium is there, but never read.
  if (AbsolutePath(path).rfind(WithTrailingSlash(AbsolutePath(mediaFolder)), 0) != 0) return found;
  if (kind == fkIndex) return st.st_size > 0 ? found : std::string();
  TTagReader r;
  if (!r.LoadFromFile(path)) return found;
  std::string root;  // the name of the first root element met
  for (r.ReadNextTag(); !r.IsStopTag(""); r.ReadNextTag())
    if (root.empty() && IsRootElement(r.Tag())) root = r.Tag().substr(0, r.Tag().find_first_of(" \t"));
  // The reader keeps a root element's attributes with its name, so the
  // closing tag of a root written with attributes never matches: reading
  // ends there, as it should.
  const std::string& stop = r.Tag();
  const bool atRootEnd = !root.empty() && stop.size() > 1 && stop[0] == '/' &&
                         EqualsNoCase(std::string_view(stop).substr(1), root);
  const bool broken = r.Failed() || (r.ErrorFound() && !atRootEnd);
  return broken || (root.empty() && st.st_size > 0) ? found : std::string();
}

// A row for the management file of `kind` when the store holds nothing of it
// and the file could not be read. Without a media folder nothing is looked at.
void CheckManagementFile(TChecker& c, const DeliveryStore& store, const std::string& mediaFolder, FileKind kind) {
  if (mediaFolder.empty() || HoldsRecordsOf(store, kind)) return;
  const std::string found = UnreadableFileName(mediaFolder, kind);
  if (!found.empty()) c.Unreadable(found);
}

// The check over the store; with a media folder, each section starts with a
// row for its management file when that could not be read.
void CheckStore(const DeliveryStore& store, const std::string& mediaFolder, TCheckErrorList& errors) {
  errors.clear();
  TChecker c(errors);
  const auto& index = store.IndexRecords;

  // Each section starts with the row of its management file, if any, and
  // the software information of a sub-management file.
  auto section = [&](const char* name, const char* file, FileKind kind) {
    c.Section(name, file);
    CheckManagementFile(c, store, mediaFolder, kind);
    if (kind != fkIndex) CheckHeader(c, store, kind);
  };
  section(DLVR_TR_NOOP("DataCheck", "工事管理"), "INDEX_C.XML", fkIndex);
  if (!index.empty()) CheckConstruction(c, index[fkIndex]);
  section(DLVR_TR_NOOP("DataCheck", "発注図面管理"), "DRAWINGS.XML", fkDrawings);
  CheckDrawings(c, store.OrderDrawings, false);
  section(DLVR_TR_NOOP("DataCheck", "打合せ簿管理"), "MEET.XML", fkMeet);
  CheckMeetings(c, store.Meetings);
  section(DLVR_TR_NOOP("DataCheck", "施工計画書管理"), "PLAN.XML", fkPlan);
  CheckPlans(c, store.Plans);
  section(DLVR_TR_NOOP("DataCheck", "完成図面管理"), "DRAWINGF.XML", fkDrawingF);
  CheckDrawings(c, store.FinalDrawings, true);
  section(DLVR_TR_NOOP("DataCheck", "その他管理"), "OTHRS.XML", fkOthrs);
  CheckOthers(c, store.Others);
}

}  // namespace

const char* CheckErrorWord(TCheckError e) {
  auto i = static_cast<int>(e);
  return i >= 0 && i < static_cast<int>(kCheckErrorWords.size()) ? kCheckErrorWords[static_cast<std::size_t>(i)] : "";
}

TCheckError CheckField(std::string_view value, TCharClass cls, TLengthKind kind, int limit, bool needed) {
  if (value.empty()) return needed ? TCheckError::Missing : TCheckError::None;
  const TValueScan s = ScanValue(value);
  if (!LengthKept(s.Bytes, kind, limit)) return TCheckError::BadLength;
  if (!ClassKept(s, cls)) return TCheckError::BadChars;
  return TCheckError::None;
}

// A valid date is ten single-byte characters YYYY-MM-DD. Checking the UTF-8
// bytes is the same as checking the CP932 ones: every other character would
// make the value longer or leave fewer than eight digits.
bool IsValidDate(std::string_view v) {
  if (v.size() != 10 || v[4] != '-' || v[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (v[i] < '0' || v[i] > '9') return false;
  const int y = DigitsValue(v, 0, 4), m = DigitsValue(v, 5, 2), d = DigitsValue(v, 8, 2);
  return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

TCheckError CheckDate(std::string_view value, bool needed) {
  if (value.empty()) return needed ? TCheckError::Missing : TCheckError::None;
  return IsValidDate(value) ? TCheckError::None : TCheckError::BadDate;
}

TCheckError CheckWords(std::string_view value, const std::vector<std::string_view>& words, bool needed) {
  if (value.empty()) return needed ? TCheckError::Missing : TCheckError::None;
  for (std::string_view w : words)
    if (value == w) return TCheckError::None;
  return TCheckError::NotListed;
}

TCheckError CheckFolder(std::string_view value, std::string_view expected) {
  if (value.empty()) return TCheckError::Missing;
  return value == expected ? TCheckError::None : TCheckError::BadFolder;
}

const std::vector<std::string_view>& MeetKindWords() {
  static const std::vector<std::string_view> words = {"指示", "承諾", "協議", "提出", "提示", "報告", "通知"};
  return words;
}

const std::vector<std::string_view>& SubmitToWords() {
  static const std::vector<std::string_view> words = {"発注者", "請負者"};
  return words;
}

const std::vector<std::string_view>& OthrsKindWords() {
  static const std::vector<std::string_view> words = {"工事履行報告書", "段階確認書"};
  return words;
}

void RunDataCheck(const DeliveryStore& store, TCheckErrorList& errors) { CheckStore(store, std::string(), errors); }

void RunDataCheck(TMdlTreeView& view) { CheckStore(view.Store(), view.MediaFolder(), view.ErrorList); }

void RunDataCheck(TMdlTreeView& view, TCheckErrorList& errors) {
  CheckStore(view.Store(), view.MediaFolder(), errors);
}

bool HasIndexFile(const std::string& folder) {
  if (folder.empty()) return false;
  // A link that leads out of the folder counts as missing.
  return FileInFolder(folder, "INDEX_C.XML").has_value();
}

std::string NoIndexMessage(std::string_view mediaFolder) {
  return Arg(Tr("DataCheck",
                "選択されているフォルダ '%1' には、\r必要なファイルが見つかりません。\r\r"
                "フォルダ選択ボタンをクリックし正しいメディアを選択してください。"),
             {mediaFolder});
}

}  // namespace dlvr
