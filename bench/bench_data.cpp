#include "bench_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/fileio.h"
#include "platform/text.h"

namespace dlvr::bench {
namespace {

const char* const kMeetKinds[] = {"指示", "承諾", "協議", "提出", "提示", "報告", "通知"};
const char* const kManageClasses[] = {"施工管理", "安全管理", "出来形管理", "品質管理", "工程管理", "写真管理"};
const char* const kSubjects[] = {
    "仮設計画の変更について", "土留め工の施工方法について", "コンクリート打設計画の提出",
    "材料確認願い（鉄筋）", "段階確認の実施について", "工程表の変更について",
    "舗装版撤去範囲の協議", "排水構造物の位置変更", "交通規制計画の承諾願い",
    "出来形管理基準の確認", "品質管理試験結果の報告", "安全訓練実施状況の報告",
    "掘削土の搬出先について", "既設埋設物の取扱いについて", "施工時間帯の変更願い"};
const char* const kPeople[] = {"現場代理人　山田太郎", "監理技術者　鈴木一郎", "主任技術者　佐藤花子",
                               "監督員　高橋健二", "総括監督員　田中誠", "主任監督員　渡辺修"};
const char* const kSoft[] = {"文書作成ソフト　Ver.12.0", "表計算ソフト　Ver.16.0", "図面作成ソフト　2023",
                             "電子印鑑システム　Ver.3.2", "PDF作成ツール　Ver.4.2"};
const char* const kOrgContents[] = {"材料試験成績書（写し）", "変更工程表", "施工計画図", "数量計算書",
                                    "現場写真", "協議資料", "位置図", "出来形測定結果", "品質試験結果一覧"};
const char* const kPhrases[] = {
    "本工事の施工にあたり、", "現地の状況を確認した結果、", "当初設計と相違があるため、",
    "別紙のとおり協議いたします。", "関係機関との調整を踏まえ、", "施工計画書の記載内容を変更し、",
    "安全対策を十分に講じたうえで", "近隣住民への周知を行い、", "試験施工の結果に基づき、",
    "品質及び出来形を確保するため、", "工程への影響はありません。", "ご確認をお願いいたします。",
    "数量の増減は別途精算とします。", "監督員の指示により実施した。", "写真及び測定結果を添付します。",
    "雨天により一部作業を延期した。", "重機の配置を見直し、", "騒音振動の低減に努める。"};
const char* const kReserveLeads[] = {"口頭指示", "再提出", "差替え", "確認済", "追記"};
const char* const kPlanTitles[] = {"総則", "工程計画", "現場組織表", "主要機械", "主要資材", "施工方法",
                                   "施工管理計画", "安全管理", "緊急時の体制及び対応", "交通管理",
                                   "環境対策", "再生資源の利用の促進と建設副産物の適正処理方法"};
const char* const kDocKinds[] = {"工事写真帳", "品質証明書", "出来形管理図表", "段階確認書", "材料検収簿",
                                 "工事日報", "安全教育記録", "建設副産物実績報告"};
const char* const kStorePlaces[] = {"中央土木事務所　工務課", "請負者事務所", "現場事務所", "本庁　技術管理課"};

struct DrawKind {
  const char* Code;
  const char* Name;
};
const DrawKind kDrawKinds[] = {{"LC", "位置図"},   {"PL", "平面図"},   {"PF", "縦断図"}, {"CS", "横断図"},
                               {"SS", "構造図"},   {"DT", "詳細図"},   {"ST", "標準図"}, {"QT", "数量表"},
                               {"RF", "配筋図"},   {"GN", "一般図"}};
const char* const kDrawAuthors[] = {"見本県中央土木事務所", "株式会社サンプル建設", "株式会社見本設計コンサルタント"};
const char* const kDrawSoft[] = {"CADエディタ Ver.5", "図面作成ソフト　2023", "SXF変換ツール Ver.3.1"};
const char* const kScales[] = {"1:100", "1:200", "1:250", "1:500", "1:1000", "1:25000", "1:50"};

std::string Escape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

void Element(std::string& out, int depth, std::string_view name, std::string_view value) {
  out.append(static_cast<std::size_t>(depth), '\t');
  out += '<';
  out += name;
  out += '>';
  out += Escape(value);
  out += "</";
  out += name;
  out += ">\n";
}

void Tag(std::string& out, int depth, std::string_view text) {
  out.append(static_cast<std::size_t>(depth), '\t');
  out += text;
  out += '\n';
}

// The elements of a record in field order. A group element is written only
// when something inside it has a value; empty fields are left out, as the
// optional elements of a real file are.
template <class R>
void RecordBody(std::string& out, const R& rec, int depth, const char* const* orgElements) {
  std::string group;
  std::string body;
  auto flush = [&] {
    if (!group.empty() && !body.empty()) {
      Tag(out, depth, "<" + group + ">");
      out += body;
      Tag(out, depth, "</" + group + ">");
    }
    body.clear();
  };
  for (const auto& f : R::Fields()) {
    if (group != f.Group) {
      flush();
      group = f.Group;
    }
    std::string& to = group.empty() ? out : body;
    const int d = group.empty() ? depth : depth + 1;
    if (f.Text) {
      if (!(rec.*f.Text).empty()) Element(to, d, f.Element, rec.*f.Text);
    } else if (f.List) {
      for (const std::string& v : rec.*f.List) Element(to, d, f.Element, v);
    } else if (f.Orgs && orgElements) {
      for (const TMdlTreeNodeOrg& org : rec.*f.Orgs) {
        Tag(to, d, "<オリジナルファイル情報>");
        Element(to, d + 1, orgElements[0], org.OrgFile);
        Element(to, d + 1, orgElements[1], org.OrgSoftVersion);
        Element(to, d + 1, orgElements[2], org.OrgContent);
        Tag(to, d, "</オリジナルファイル情報>");
      }
    }
  }
  flush();
}

void SoftwareInfo(std::string& out, int depth) {
  Tag(out, depth, "<ソフトウェア情報>");
  Element(out, depth + 1, "ソフトウェア名", "電子納品作成支援システム");
  Element(out, depth + 1, "バージョン情報", "Ver.5.2.1");
  Element(out, depth + 1, "メーカ名", "株式会社　東都情報システム");
  Element(out, depth + 1, "メーカ連絡先", "東京都千代田区霞が関一丁目１番１号　ＴＥＬ０３－１２３４－５６７８");
  Tag(out, depth, "</ソフトウェア情報>");
}

std::string Header(const char* root, const char* dtd) {
  std::string out = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";
  out += "<!DOCTYPE ";
  out += root;
  out += " SYSTEM \"";
  out += dtd;
  out += "\">\n<";
  out += root;
  out += " DTD_version=\"02\">\n";
  return out;
}

std::vector<TMdlTreeNodeOrg> MakeOrgs(Rng& rng, int count, const std::string& (*name)(int, int, std::string&),
                                      int serial) {
  std::vector<TMdlTreeNodeOrg> orgs;
  for (int k = 1; k <= count; ++k) {
    TMdlTreeNodeOrg org;
    std::string buf;
    org.OrgFile = name(serial, k, buf);
    org.OrgSoftVersion = rng.Pick(kSoft);
    org.OrgContent = k == 1 ? std::string("打合せ簿") : std::string(rng.Pick(kOrgContents));
    orgs.push_back(std::move(org));
  }
  return orgs;
}

const std::string& MeetOrgName(int serial, int k, std::string& buf) {
  buf = OrgFileName(serial, k);
  return buf;
}

const std::string& PlanOrgName(int serial, int k, std::string& buf) {
  char name[32];
  std::snprintf(name, sizeof name, "P%04d_%02d.PDF", serial % 10000, k);
  buf = name;
  return buf;
}

const std::string& OthrsOrgName(int serial, int k, std::string& buf) {
  char name[32];
  std::snprintf(name, sizeof name, "O%04d_%02d.PDF", serial % 10000, k);
  buf = name;
  return buf;
}

TStringList Reserves(Rng& rng, int count) {
  TStringList list;
  for (int j = 0; j < count; ++j)
    list.push_back(std::string(rng.Pick(kReserveLeads)) + "　" + Date(rng, 2023) + "　" + Prose(rng, 40));
  return list;
}

}  // namespace

Stats Summarise(std::vector<double> seconds) {
  Stats s;
  if (seconds.empty()) return s;
  std::sort(seconds.begin(), seconds.end());
  s.best = seconds.front();
  std::size_t n = seconds.size();
  s.median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
  return s;
}

std::string Prose(Rng& rng, std::size_t maxChars) {
  std::string out;
  while (true) {
    const char* phrase = rng.Pick(kPhrases);
    if ((out.size() + std::strlen(phrase)) / 3 > maxChars) break;
    out += phrase;
  }
  return out;
}

std::string Date(Rng& rng, int year) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, 1 + static_cast<int>(rng.Below(12)),
                1 + static_cast<int>(rng.Below(28)));
  return buf;
}

TMdlTreeNodeIndex MakeIndexRecord() {
  TMdlTreeNodeIndex r;
  r.MediaNo = "1";
  r.MediaCount = "1";
  r.OrderDrawFolder = "DRAWINGS";
  r.SpecOrgFolder = "DRAWINGS/SPEC";
  r.MeetFolder = "MEET";
  r.MeetOrgFolder = "MEET/ORG";
  r.DrawFolder = "DRAWINGF";
  r.SoftName = "電子納品作成支援システム";
  r.SoftVersion = "Ver.5.2.1";
  r.MakerName = "株式会社　東都情報システム";
  r.MakerContact = "東京都千代田区霞が関一丁目１番１号　ＴＥＬ０３－１２３４－５６７８";
  r.OrderYear = "2023";
  r.KojiNo = "202300123";
  r.RouteName = "県道見本線";
  r.KojiName = "県道見本線道路改良工事（その２）";
  r.KojiField = "道路";
  r.KojiIndustry = "道路改良";
  r.KojiTypes = {"道路土工", "排水構造物工", "舗装工"};
  r.MethodTypes = {"盛土工", "側溝工", "アスファルト舗装工"};
  r.AddressCodes = {"99201", "99202"};
  r.Addresses = {"見本県見本市中町一丁目地内", "見本県見本市北町二丁目地内"};
  r.StartDate = "2023-04-10";
  r.EndDate = "2024-02-29";
  r.KojiContent = "道路改良 L=350m、側溝工 L=700m、舗装工 A=2,450m2";
  r.StartStationN = "0012";
  r.StartStationM = "000";
  r.EndStationN = "0030";
  r.EndStationM = "000";
  r.WestLongitude = "1394030";
  r.EastLongitude = "1394105";
  r.NorthLatitude = "0354120";
  r.SouthLatitude = "0354030";
  r.FacilityName = "県道見本線（中町工区）";
  r.OrdererClass1 = "見本県";
  r.OrdererClass2 = "県土整備部";
  r.OrdererClass3 = "中央土木事務所";
  r.OrdererCode = "12345678";
  r.ContractorName = "株式会社サンプル建設";
  r.ContractorCode = "5500123";
  r.Reserves = {"検査日 2024-03-08"};
  return r;
}

std::string OrgFileName(int serial, int k) {
  static const char* const kExt[] = {"PDF", "DOCX", "XLSX", "TIF"};
  char name[32];
  std::snprintf(name, sizeof name, "%05d_%02d.%s", serial % 100000, k, kExt[(k - 1) % 4]);
  return name;
}

TMdlTreeNodeMeet MakeMeeting(Rng& rng, int serial, int orgs, int reserves, std::size_t proseChars) {
  TMdlTreeNodeMeet m;
  const std::string s = std::to_string(serial);
  m.SerialNo = s;
  m.MeetKind = rng.Pick(kMeetKinds);
  m.MeetName = std::string(rng.Pick(kSubjects)) + "（第" + s + "号）";
  if (rng.Below(50) == 0) m.MeetName += "（A&B区間）";
  m.ManageClass = rng.Pick(kManageClasses);
  m.MeetNo = "K-" + s;
  m.MeetAuthor = rng.Pick(kPeople);
  m.SubmitTo = rng.Pick(kPeople);
  m.IssueDate = Date(rng, 2023);
  m.AcceptDate = Date(rng, 2023);
  m.FinishDate = Date(rng, 2024);
  m.Orgs = MakeOrgs(rng, orgs, MeetOrgName, serial);
  m.ContractorNote = Prose(rng, proseChars);
  if (rng.Below(3) != 0) m.OrdererNote = Prose(rng, proseChars);
  m.Reserves = Reserves(rng, reserves);
  return m;
}

TMdlTreeNodePlan MakePlan(Rng& rng, int serial, int orgs, int reserves) {
  TMdlTreeNodePlan p;
  p.SerialNo = std::to_string(serial);
  p.PlanName = "施工計画書（" + std::string(rng.Pick(kPlanTitles)) + "）第" + p.SerialNo + "版";
  p.Orgs = MakeOrgs(rng, orgs, PlanOrgName, serial);
  p.ContractorNote = Prose(rng, 100);
  if (rng.Below(2) == 0) p.OrdererNote = Prose(rng, 60);
  p.Reserves = Reserves(rng, reserves);
  return p;
}

TMdlTreeNodeOthrs MakeOther(Rng& rng, int serial, int orgs, int reserves) {
  TMdlTreeNodeOthrs o;
  o.SerialNo = std::to_string(serial);
  o.DocKind = rng.Pick(kDocKinds);
  o.DocName = o.DocKind + "（その" + o.SerialNo + "）";
  o.StorePlace = rng.Pick(kStorePlaces);
  o.Orgs = MakeOrgs(rng, orgs, OthrsOrgName, serial);
  o.ContractorNote = Prose(rng, 100);
  if (rng.Below(2) == 0) o.OrdererNote = Prose(rng, 60);
  o.Reserves = Reserves(rng, reserves);
  return o;
}

TMdlTreeNodeDraw MakeDrawing(Rng& rng, char lead, int n) {
  const int kinds = static_cast<int>(std::size(kDrawKinds));
  const DrawKind& kind = kDrawKinds[(n - 1) % kinds];
  const int number = (n - 1) / kinds + 1;
  char file[32];
  std::snprintf(file, sizeof file, "%c0%s%03dZ.P21", lead, kind.Code, number % 1000);
  TMdlTreeNodeDraw d;
  d.DrawName = std::string(kind.Name) + "（" + std::to_string(number) + "）";
  d.DrawFile = file;
  d.DrawAuthor = rng.Pick(kDrawAuthors);
  d.DrawSoft = rng.Pick(kDrawSoft);
  d.DrawScale = rng.Pick(kScales);
  d.DrawNo = std::to_string(n);
  if (rng.Below(2) == 0) {
    d.StartStationN = "0012";
    d.StartStationM = "000";
    d.EndStationN = "0030";
    d.EndStationM = "000";
    d.WestLongitude = "1394030";
    d.EastLongitude = "1394105";
    d.NorthLatitude = "0354120";
    d.SouthLatitude = "0354030";
    d.PlaneSystem = "9";
    d.WestPlane = "-12040.500";
    d.EastPlane = "-11210.750";
    d.NorthPlane = "-35120.250";
    d.SouthPlane = "-35980.000";
    d.DetailAddress = "見本県見本市中町一丁目地内";
    d.RefLatitude = "0354100";
    d.RefLongitude = "1394050";
    d.RefPlaneSystemNo = "09";
    d.RefPlaneX = "-35500.125";
    d.RefPlaneY = "-11600.875";
  }
  d.ContractorNote = lead == 'C' ? Prose(rng, 40) : std::string();
  d.OrdererNote = Prose(rng, 30);
  d.ResultPlace = kDrawAuthors[0];
  return d;
}

std::string IndexXml(const TMdlTreeNodeIndex& rec) {
  std::string out = Header("constdata", "INDE_C02.DTD");
  RecordBody(out, rec, 1, nullptr);
  out += "</constdata>\n";
  return out;
}

std::string MeetXml(const std::vector<TMdlTreeNodeMeet>& records) {
  std::string out = Header("meetdata", "MEET02.DTD");
  out.reserve(records.size() * 3000 + 1024);
  for (const TMdlTreeNodeMeet& m : records) {
    Tag(out, 1, "<打合せ簿情報>");
    RecordBody(out, m, 2, TMdlTreeNodeMeet::OrgElements);
    Tag(out, 1, "</打合せ簿情報>");
  }
  SoftwareInfo(out, 1);
  out += "</meetdata>\n";
  return out;
}

std::string DrawXml(const std::vector<TMdlTreeNodeDraw>& records) {
  std::string out = Header("drawingdata", "DRAW02.DTD");
  out.reserve(records.size() * 2000 + 1024);
  for (const TMdlTreeNodeDraw& d : records) {
    Tag(out, 1, "<図面情報>");
    RecordBody(out, d, 2, nullptr);
    Tag(out, 1, "</図面情報>");
  }
  SoftwareInfo(out, 1);
  out += "</drawingdata>\n";
  return out;
}

std::string IndexDtd() {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
         "<!-- INDEX_C.XML DTD_version 02 -->\n"
         "<!ELEMENT constdata (基礎情報, ソフトウェア情報, 工事件名等, 場所情報, 施設情報, 発注者情報, 請負者情報, 予備*)>\n"
         "<!ATTLIST constdata DTD_version CDATA #FIXED \"02\">\n"
         "<!ELEMENT 基礎情報 (メディア番号, メディア総枚数, 発注図面フォルダ名?, 特記仕様書オリジナルファイルフォルダ名?, "
         "打合せ簿フォルダ名?, 打合せ簿オリジナルファイルフォルダ名?, 施工計画書フォルダ名?, "
         "施工計画書オリジナルファイルフォルダ名?, 完成図面フォルダ名?, 写真フォルダ名?, その他フォルダ名?, "
         "その他オリジナルファイルフォルダ名?)>\n"
         "<!ELEMENT 工事件名等 (発注年度, 工事番号, 路線水系名等, 工事名称, 工事分野, 工事業種, 工種+, 工法型式+, "
         "住所コード+, 住所+, 工期開始日, 工期終了日, 工事内容)>\n"
         "<!ELEMENT 予備 (#PCDATA)>\n";
}

std::string MeetDtd() {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
         "<!-- MEET.XML DTD_version 02 -->\n"
         "<!ELEMENT meetdata (打合せ簿情報*, ソフトウェア情報?)>\n"
         "<!ATTLIST meetdata DTD_version CDATA #FIXED \"02\">\n"
         "<!ELEMENT 打合せ簿情報 (シリアル番号, 打合せ簿種類, 打合せ簿名称, 管理区分?, 打合せ簿番号?, 作成者, 提出先, "
         "発行日付, 受理日付?, 完了日付?, オリジナルファイル情報+, その他?)>\n"
         "<!ELEMENT オリジナルファイル情報 (打合せ簿オリジナルファイル名, "
         "打合せ簿オリジナルファイル作成ソフトバージョン情報, オリジナルファイル内容?)>\n"
         "<!ELEMENT その他 (請負者説明文?, 発注者説明文?, 予備*)>\n"
         "<!ELEMENT ソフトウェア情報 (ソフトウェア名, バージョン情報, メーカ名, メーカ連絡先, ソフトメーカ用TAG?)>\n";
}

std::string DrawDtd() {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
         "<!-- DRAWINGS.XML / DRAWINGF.XML DTD_version 02 -->\n"
         "<!ELEMENT drawingdata (図面情報*, ソフトウェア情報?)>\n"
         "<!ATTLIST drawingdata DTD_version CDATA #FIXED \"02\">\n"
         "<!ELEMENT 図面情報 (図面名, 図面ファイル名, 作成者名, 図面ファイル作成ソフトウェア名, 図面尺度, 図面番号, "
         "場所情報?, 基準点情報?, その他?)>\n"
         "<!ELEMENT その他 (受注者説明文?, 発注者説明文?, 成果品保存場所?, 予備*)>\n";
}

bool WriteDeliveryFile(const std::string& path, std::string_view utf8) {
  std::string crlf;
  crlf.reserve(utf8.size() + utf8.size() / 16);
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return WriteWholeFile(path, Utf8ToCp932(crlf));
}

bool TouchFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

namespace {

// The UTF-16 code units of a UTF-8 text as hexadecimal (BMP only; others
// as U+FFFD).
std::string Utf16Hex(std::string_view utf8) {
  std::string hex;
  char buf[8];
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextCodePoint(utf8, pos);
    if (c > 0xFFFF) c = 0xFFFD;
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
    hex += buf;
  }
  return hex;
}

}  // namespace

std::string JapanesePdf(Rng& rng, int pages, std::size_t charsPerPage, const std::string& marker) {
  std::vector<std::string> objects;  // objects 1...N, in order
  // 1 catalog, 2 page tree, 3 font, 4 CID font, 5 descriptor, 6 ToUnicode,
  // then a page and its contents for each page.
  std::string kids;
  for (int p = 0; p < pages; ++p) kids += std::to_string(7 + 2 * p) + " 0 R ";
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  objects.push_back("<< /Type /Font /Subtype /Type0 /BaseFont /IPAGothic /Encoding /Identity-H"
                    " /DescendantFonts [4 0 R] /ToUnicode 6 0 R >>");
  objects.push_back("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /IPAGothic /CIDToGIDMap /Identity"
                    " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                    " /FontDescriptor 5 0 R /DW 1000 >>");
  objects.push_back("<< /Type /FontDescriptor /FontName /IPAGothic /Flags 4 /FontBBox [0 -140 1000 880]"
                    " /ItalicAngle 0 /Ascent 880 /Descent -120 /CapHeight 700 /StemV 80 >>");
  std::string cmap =
      "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /Identity-UTF16 def /CMapType 2 def\n"
      "1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
  for (int block = 0; block < 256; block += 100) {
    const int end = std::min(256, block + 100);
    cmap += std::to_string(end - block) + " beginbfrange\n";
    char line[40];
    for (int h = block; h < end; ++h) {
      std::snprintf(line, sizeof line, "<%02X00> <%02XFF> <%02X00>\n", h, h, h);
      cmap += line;
    }
    cmap += "endbfrange\n";
  }
  cmap += "endcmap CMapName currentdict /CMap defineresource pop end end\n";
  objects.push_back("<< /Length " + std::to_string(cmap.size()) + " >>\nstream\n" + cmap + "endstream");
  for (int p = 0; p < pages; ++p) {
    std::string text = Prose(rng, charsPerPage);
    if (p + 1 == pages && !marker.empty()) text += marker;
    std::string content = "BT /F1 10 Tf 40 800 Td 12 TL\n";
    // Lines of 50 characters.
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = pos, chars = 0;
      while (end < text.size() && chars < 50) {
        NextCodePoint(text, end);
        ++chars;
      }
      content += "<" + Utf16Hex(std::string_view(text).substr(pos, end - pos)) + "> Tj T*\n";
      pos = end;
    }
    content += "ET\n";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >>"
                      " /Contents " + std::to_string(8 + 2 * p) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
  }
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char entry[24];
  for (std::size_t off : offsets) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", off);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace dlvr::bench
