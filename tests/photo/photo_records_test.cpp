// The photo management file reader and the store over several media.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "photo/photo_fixtures.h"
#include "photo/photo_records.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

struct Parsed {
  TPhotoFile File;
  std::vector<TPhotoRecord> Records;
};

Parsed Parse(const std::string& bytes) {
  Parsed p;
  ParsePhotoXml(bytes, p.File, p.Records);
  return p;
}

std::string Extras(const std::vector<TPhotoExtra>& extras) {
  std::string s;
  for (const TPhotoExtra& e : extras) s += e.Element + "=" + e.Value + ";";
  return s;
}

const char* const kNewVersion =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
    "<!DOCTYPE photodata SYSTEM \"PHOTO05.DTD\">\n"
    "<photodata DTD_version=\"05\">\n"
    "<基礎情報>\n<写真フォルダ名>PHOTO/PIC</写真フォルダ名>\n<参考図フォルダ名>PHOTO/DRA</参考図フォルダ名>\n"
    "<適用要領基準>土木202303-01</適用要領基準>\n</基礎情報>\n"
    "<写真情報>\n"  // line 6
    "<写真ファイル情報><シリアル番号>1</シリアル番号><写真ファイル名>P0000001.JPG</写真ファイル名>"
    "<写真ファイル日本語名>掘削①</写真ファイル日本語名><メディア番号>1</メディア番号></写真ファイル情報>\n"
    "<撮影工種区分><写真-大分類>工事</写真-大分類><写真区分>施工状況写真</写真区分><工種>道路土工</工種>"
    "<種別>掘削工</種別><細別>土砂掘削</細別><写真タイトル> 掘削状況 </写真タイトル>"
    "<工種区分予備>予備1</工種区分予備><工種区分予備>予備2</工種区分予備></撮影工種区分>\n"
    "<付加情報><参考図ファイル名>D0000001.JPG</参考図ファイル名><参考図ファイル日本語名>位置図</参考図ファイル日本語名>"
    "<参考図タイトル>撮影位置図</参考図タイトル><付加情報予備>a</付加情報予備><付加情報予備>b</付加情報予備></付加情報>\n"
    "<付加情報><参考図ファイル名>D0000002.TIF</参考図ファイル名><参考図タイトル>平面図</参考図タイトル></付加情報>\n"
    "<撮影情報><撮影箇所>No.10+5.0</撮影箇所><撮影年月日>2024-05-10</撮影年月日><風向>北</風向></撮影情報>\n"
    "<代表写真>1</代表写真><提出頻度写真>0</提出頻度写真><施工管理値>設計 100 実測 102</施工管理値>"
    "<請負者説明文>説明&amp;補足</請負者説明文>\n"
    "<ソフトメーカ用TAG>X-1</ソフトメーカ用TAG><写真タイトル>二つ目</写真タイトル>\n"
    "</写真情報>\n"
    "<写真情報><写真ファイル情報><シリアル番号>2</シリアル番号><写真ファイル名>P0000002.JPG</写真ファイル名>"
    "<メディア番号>2</メディア番号></写真ファイル情報><撮影情報><撮影年月日/></撮影情報></写真情報>\n"
    "<ソフトメーカ用TAG>ROOT-TAG</ソフトメーカ用TAG>\n"
    "</photodata>\n";

// The first version: no 付加情報 group, a work group at the root, fields in
// other places, and elements the later versions dropped.
const char* const kOldVersion =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
    "<photodata DTD_version=\"1.00\">\r\n"
    "<基礎情報><メディア番号>1</メディア番号><ソフトウェア情報><ソフトウェア名>写真整理</ソフトウェア名></ソフトウェア情報>"
    "<写真フォルダ名>PIC</写真フォルダ名></基礎情報>\r\n"
    "<工事情報><工事番号>12345</工事番号></工事情報>\r\n"
    "<写真情報><シリアル番号>7</シリアル番号><写真ファイル名>KOUJI_0007.JPG</写真ファイル名><整理フラグ>1</整理フラグ>"
    "<写真タイトル>床掘</写真タイトル><参考図ファイル名>ZU1.JPG</参考図ファイル名><参考図タイトル>一</参考図タイトル>"
    "<参考図ファイル名>ZU2.JPG</参考図ファイル名><撮影年月日>1999-12-01</撮影年月日></写真情報>\r\n"
    "</photodata>\r\n";

TEST(PhotoReader, NewAndOldVersionsReadByElementName) {
  Parsed n = Parse(Utf8ToCp932(kNewVersion));
  EXPECT_FALSE(n.File.Broken) << n.File.BrokenReason;
  EXPECT_EQ(n.File.DtdVersion, "05");
  EXPECT_EQ(n.File.Standard, "土木202303-01");
  EXPECT_EQ(Extras(n.File.BaseInfo),
            "写真フォルダ名=PHOTO/PIC;参考図フォルダ名=PHOTO/DRA;適用要領基準=土木202303-01;ソフトメーカ用TAG=ROOT-TAG;");
  ASSERT_EQ(n.Records.size(), 2u);
  const TPhotoRecord& a = n.Records[0];
  EXPECT_EQ(a.Line, 9);
  EXPECT_EQ(n.Records[1].Line, 18);
  // Every field as read, blanks kept; a character outside Shift-JIS
  // proper (the circled digit of CP932) decoded.
  const std::vector<std::string> fields = {a.Serial, a.FileName, a.JapaneseName, a.MediaNo, a.MajorClass, a.Division,
                                           a.WorkType, a.Kind, a.Detail, a.Title, a.Place, a.Date, a.Representative,
                                           a.Frequency, a.ControlValue, a.Explanation};
  const std::vector<std::string> expected = {"1", "P0000001.JPG", "掘削①", "1", "工事", "施工状況写真", "道路土工",
                                             "掘削工", "土砂掘削", " 掘削状況 ", "No.10+5.0", "2024-05-10", "1", "0",
                                             "設計 100 実測 102", "説明&補足"};
  EXPECT_EQ(fields, expected);
  EXPECT_EQ(a.ClassSpares, (std::vector<std::string>{"予備1", "予備2"}));
  ASSERT_EQ(a.References.size(), 2u);
  EXPECT_EQ(a.References[0].FileName, "D0000001.JPG");
  EXPECT_EQ(a.References[0].JapaneseName, "位置図");
  EXPECT_EQ(a.References[0].Title, "撮影位置図");
  EXPECT_EQ(a.References[0].Spares, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(a.References[1].FileName, "D0000002.TIF");
  EXPECT_EQ(a.References[1].Title, "平面図");
  // Unknown elements and a known one met again, with their paths.
  EXPECT_EQ(Extras(a.Extra), "撮影情報/風向=北;ソフトメーカ用TAG=X-1;写真タイトル=二つ目;");
  EXPECT_EQ(n.Records[1].MediaNo, "2");
  EXPECT_EQ(n.Records[1].Date, "");

  Parsed o = Parse(Utf8ToCp932(kOldVersion));
  EXPECT_FALSE(o.File.Broken) << o.File.BrokenReason;
  EXPECT_EQ(o.File.DtdVersion, "1.00");
  EXPECT_EQ(Extras(o.File.BaseInfo),
            "メディア番号=1;ソフトウェア情報/ソフトウェア名=写真整理;写真フォルダ名=PIC;工事情報/工事番号=12345;");
  ASSERT_EQ(o.Records.size(), 1u);
  const TPhotoRecord& r = o.Records[0];
  EXPECT_EQ(r.Serial, "7");
  EXPECT_EQ(r.FileName, "KOUJI_0007.JPG");
  EXPECT_EQ(r.Title, "床掘");
  EXPECT_EQ(r.Date, "1999-12-01");
  EXPECT_EQ(Extras(r.Extra), "整理フラグ=1;");
  // Drawing fields without a group: a name met again starts the next one.
  ASSERT_EQ(r.References.size(), 2u);
  EXPECT_EQ(r.References[0].FileName, "ZU1.JPG");
  EXPECT_EQ(r.References[0].Title, "一");
  EXPECT_EQ(r.References[1].FileName, "ZU2.JPG");
}

TEST(PhotoReader, Utf8ByTheDeclaration) {
  // Declared UTF-8, with a byte order mark and a character Shift-JIS lacks.
  std::string text = std::string("\xEF\xBB\xBF") +
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><photodata><写真情報><写真タイトル>𠮷野家前</写真タイトル>"
                     "</写真情報></photodata>";
  Parsed p = Parse(text);
  EXPECT_FALSE(p.File.Broken) << p.File.BrokenReason;
  ASSERT_EQ(p.Records.size(), 1u);
  EXPECT_EQ(p.Records[0].Title, "𠮷野家前");
  // The same declaration in Shift-JIS text is read as Shift-JIS.
  Parsed s = Parse(Utf8ToCp932("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><photodata><写真情報><写真タイトル>表示"
                               "</写真タイトル></写真情報></photodata>"));
  ASSERT_EQ(s.Records.size(), 1u);
  EXPECT_EQ(s.Records[0].Title, "表示");
}

TEST(PhotoReader, BrokenFileKeepsWhatCameBeforeAndSaysWhere) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<photodata DTD_version=\"05\">\n";
  const std::string two = "<写真情報><写真ファイル名>P0000001.JPG</写真ファイル名></写真情報>\n"
                          "<写真情報><写真ファイル名>P0000002.JPG</写真ファイル名></写真情報>\n";
  struct Case {
    const char* Name;
    std::string Text;
    std::size_t Records;
    int Line;
  };
  const Case cases[] = {
      {"tag mismatch", head + two + "<写真情報><写真ファイル名>P3</写真タイトル></写真情報>\n</photodata>\n", 2, 5},
      {"cut in a record", head + two + "<写真情報><写真ファイル名>P00", 2, 5},
      {"cut after a record", head + two, 2, 5},
      {"stray ampersand", head + two + "\n<写真情報><写真タイトル>A & B</写真タイトル></写真情報></photodata>", 2, 6},
      {"undefined entity", head + two + "<写真情報><写真タイトル>&nope;</写真タイトル></写真情報></photodata>", 2, 5},
      // The parser's message quotes the text, cut inside a character.
      {"cut in a character section", head + two + "<写真情報><写真タイトル><![CDATA[\n写真" + std::string(20, 'x') + "写真写真写真写真写真写真", 2, 0},
      {"nothing but a declaration", "<?xml version=\"1.0\"?>\n", 0, 0},
      {"empty", "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Parsed p = Parse(Utf8ToCp932(c.Text));
    EXPECT_TRUE(p.File.Broken);
    // The reason is one line of valid UTF-8.
    EXPECT_FALSE(p.File.BrokenReason.empty());
    EXPECT_EQ(p.File.BrokenReason.find_first_of("\r\n"), std::string::npos);
    for (std::size_t pos = 0; pos < p.File.BrokenReason.size();) {
      const std::size_t from = pos;
      EXPECT_FALSE(NextCodePoint(p.File.BrokenReason, pos) == kReplacementChar && pos - from == 1) << from;
    }
    EXPECT_EQ(p.Records.size(), c.Records);
    if (c.Line) {
      EXPECT_EQ(p.File.BrokenLine, c.Line) << p.File.BrokenReason;
    }
    if (c.Records) {
      EXPECT_EQ(p.Records[1].FileName, "P0000002.JPG");
    }
  }
}

TEST(PhotoReader, HostileFilesLoadNothingAndStayBounded) {
  test::ScratchDir d;
  d.WriteBytes("secret.txt", "SECRET-TEXT");
  const std::string secret = d / "secret.txt";
  // Ten entities, each ten references to the one before: 10^10 letters.
  std::string laughs = "<!DOCTYPE photodata [<!ENTITY a \"aaaaaaaaaa\">";
  for (char c = 'b'; c <= 'k'; ++c) {
    laughs += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(c - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><photodata><写真情報><写真タイトル>&k;</写真タイトル></写真情報></photodata>";
  std::string deep = "<photodata><写真情報>";
  for (int i = 0; i < 5000; ++i) deep += "<x>";
  std::string many = "<photodata>";
  for (int i = 0; i < 200005; ++i) many += "<写真情報/>";
  many += "</photodata>";

  struct Case {
    const char* Name;
    std::string Text;
    bool Broken;
  };
  const Case cases[] = {
      {"external entity", "<!DOCTYPE photodata [<!ENTITY s SYSTEM \"file://" + secret +
                              "\">]><photodata><写真情報><写真タイトル>&s;</写真タイトル></写真情報></photodata>",
       false},
      {"external DTD", "<!DOCTYPE photodata SYSTEM \"" + secret + "\"><photodata><写真情報/></photodata>", false},
      {"parameter entity", "<!DOCTYPE photodata [<!ENTITY % p SYSTEM \"" + secret +
                               "\"> %p;]><photodata><写真情報/></photodata>",
       false},
      {"entity expansion", laughs, true},
      {"deep nesting", deep, true},
      {"too many records", many, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Parsed p = Parse(Utf8ToCp932(c.Text));
    EXPECT_EQ(p.File.Broken, c.Broken) << p.File.BrokenReason;
    EXPECT_LE(p.Records.size(), 200000u);
    for (const TPhotoRecord& r : p.Records) {
      EXPECT_EQ(r.Title.find("SECRET"), std::string::npos);
      EXPECT_LE(r.Title.size(), 4096u);
    }
  }
}

test::PhotoSpec Photo(const std::string& serial, const std::string& name, const std::string& media = "1") {
  test::PhotoSpec p;
  p.Serial = serial;
  p.FileName = name;
  p.MediaNo = media;
  return p;
}

// Writes a medium: INDEX_C.XML, PHOTO.XML when given, and files.
std::string Medium(const test::ScratchDir& d, const std::string& name, int no, const std::string* photoXml,
                   const std::vector<std::pair<std::string, std::string>>& files) {
  d.WriteSjis(name + "/INDEX_C.XML", test::IndexXml(no, 2, "2024-04-01", "2024-09-30"));
  if (photoXml) d.WriteSjis(name + "/PHOTO/PHOTO.XML", *photoXml);
  for (const auto& [path, bytes] : files) d.WriteBytes(name + "/" + path, bytes);
  return d / (name + "/");
}

TEST(PhotoStore, PhotosFoundAcrossMediaInsideTheDelivery) {
  test::ScratchDir d;
  const std::string jpeg = test::MakeJpeg(16, 16);
  std::vector<test::PhotoSpec> specs(7);
  specs[0] = Photo("1", "P0000001.JPG");
  specs[0].Drawings = {"D0000001.JPG"};
  specs[1] = Photo("2", "P0000002.JPG", "2");      // on the second medium
  specs[2] = Photo("3", "P0000003.JPG", "2");      // numbered 2 but only on the first
  specs[3] = Photo("4", "../INDEX_C.XML");         // leaves the folder
  specs[4] = Photo("5", "P0000005.JPG");           // a link leading out of the medium
  specs[5] = Photo("6", "P0000006.JPG");           // nowhere
  specs[6] = Photo("7", "P0000007.JPG", "2");      // on both: its own medium first
  const std::string xml = test::PhotoXml(specs, "PHOTO\\PIC");
  const std::string m1 = Medium(d, "m1", 1, &xml,
                                {{"PHOTO/pic/p0000001.jpg", jpeg}, {"PHOTO/pic/P0000003.JPG", jpeg},
                                 {"PHOTO/pic/P0000007.JPG", jpeg}, {"PHOTO/dra/D0000001.JPG", jpeg}});
  const std::string m2 = Medium(d, "m2", 2, nullptr, {{"PHOTO/PIC/P0000002.JPG", jpeg}, {"PHOTO/PIC/P0000007.JPG", jpeg}});
  d.WriteBytes("outside.jpg", jpeg);
  ASSERT_EQ(::symlink((d / "outside.jpg").c_str(), (m1 + "PHOTO/pic/P0000005.JPG").c_str()), 0);

  TPhotoStore store;
  store.Load({{1, m1}, {2, m2}, {1, m1 + "."}});
  ASSERT_EQ(store.Files().size(), 1u);
  ASSERT_EQ(store.Media().size(), 2u);  // the same folder twice counts once
  EXPECT_EQ(store.Media()[0].PhotoFolder, m1 + "PHOTO/pic/");
  EXPECT_EQ(store.Media()[0].DrawingFolder, m1 + "PHOTO/dra/");
  // The second medium has no PHOTO.XML: the first one's folder names hold.
  EXPECT_EQ(store.Media()[1].PhotoFolder, m2 + "PHOTO/PIC/");
  EXPECT_EQ(store.Media()[1].DrawingFolder, "");
  EXPECT_EQ(store.Media()[1].FileIndex, -1);
  const TPhotoFile& file = store.Files()[0];
  EXPECT_EQ(file.XmlPath, m1 + "PHOTO/PHOTO.XML");
  EXPECT_EQ(file.PhotoFolder, m1 + "PHOTO/pic/");
  EXPECT_EQ(file.RecordCount, 7u);
  const std::vector<std::string> paths = {m1 + "PHOTO/pic/p0000001.jpg", m2 + "PHOTO/PIC/P0000002.JPG",
                                          m1 + "PHOTO/pic/P0000003.JPG", "", "", "", m2 + "PHOTO/PIC/P0000007.JPG"};
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(store.Records()[i].Path, paths[i]);
    EXPECT_EQ(store.Records()[i].Exists, !paths[i].empty());
  }
  EXPECT_EQ(store.Records()[0].References[0].Path, m1 + "PHOTO/dra/D0000001.JPG");

  // A photo folder named relative to the PHOTO folder; none at all.
  d.WriteSjis("m3/PHOTO/PHOTO.XML", test::PhotoXml({Photo("1", "P0000001.JPG")}, "PIC"));
  d.WriteBytes("m3/PHOTO/PIC/P0000001.JPG", jpeg);
  d.WriteSjis("m4/PHOTO/PHOTO.XML", test::PhotoXml({Photo("2", "P0000001.JPG")}, "NOWHERE"));
  store.Load({{1, d / "m3"}, {0, d / "m4"}});
  ASSERT_EQ(store.Files().size(), 2u);
  EXPECT_EQ(store.Files()[0].PhotoFolder, d / "m3/PHOTO/PIC/");
  EXPECT_EQ(store.Files()[1].PhotoFolder, "");
  EXPECT_TRUE(store.Records()[0].Exists);
  // m4 has no photo folder of its own: the photo is found on m3.
  EXPECT_EQ(store.Records()[1].Path, d / "m3/PHOTO/PIC/P0000001.JPG");
  EXPECT_EQ(store.Records()[1].FileIndex, 1);
  // Every medium may carry the whole list: a record an earlier medium's file
  // listed (same serial and name) is that photo again, kept once.
  d.WriteSjis("m5/PHOTO/PHOTO.XML",
              test::PhotoXml({Photo("1", "P0000001.JPG"), Photo("3", "P0000003.JPG"), Photo("3", "P0000003.JPG")}, "PIC"));
  store.Load({{1, d / "m3"}, {2, d / "m5"}});
  ASSERT_EQ(store.Files().size(), 2u);
  EXPECT_EQ(store.Files()[1].Repeated, 1u);
  EXPECT_EQ(store.Files()[1].RecordCount, 2u);  // a repeat inside one file stays: the check sees it
  ASSERT_EQ(store.Records().size(), 3u);
  EXPECT_EQ(store.Records()[0].FileIndex, 0);
  EXPECT_EQ(store.Records()[1].Serial, "3");
  EXPECT_EQ(store.Records()[1].FileIndex, 1);

  // A PHOTO.XML that is a link out of the medium is no photo file.
  d.WriteSjis("outside.xml", xml);
  std::filesystem::remove(m1 + "PHOTO/PHOTO.XML");
  ASSERT_EQ(::symlink((d / "outside.xml").c_str(), (m1 + "PHOTO/PHOTO.XML").c_str()), 0);
  store.Load({{1, m1}});
  EXPECT_TRUE(store.Empty());
}

// Each medium's PHOTO.XML may list the whole delivery or only its own
// photos: a record is that photo again only when an earlier medium's file
// listed the same serial number, file name and medium; both media's photo
// files are kept otherwise, each found on its own medium.
TEST(PhotoStore, ARecordRepeatsAnEarlierOneOnlyWithItsSerialNameAndMedium) {
  struct Case {
    const char* what;
    test::PhotoSpec second;  // the record of the second medium's file
    std::size_t repeated;
    std::string path;  // where the second medium's record finds its photo ("" when it was dropped)
  };
  const Case cases[] = {
      {"the whole list again", Photo("1", "P0000001.JPG", "1"), 1, ""},
      {"the same serial, another file", Photo("1", "P0000002.JPG", "2"), 0, "m2/PHOTO/PIC/P0000002.JPG"},
      {"the same serial and name on another medium", Photo("1", "P0000001.JPG", "2"), 0, "m2/PHOTO/PIC/P0000001.JPG"},
      {"another serial, the same file", Photo("2", "P0000001.JPG", "1"), 0, "m1/PHOTO/PIC/P0000001.JPG"},
  };
  const std::string jpeg = test::MakeJpeg(16, 16);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchDir d;
    const std::string first = test::PhotoXml({Photo("1", "P0000001.JPG", "1")});
    const std::string second = test::PhotoXml({c.second});
    const std::string m1 = Medium(d, "m1", 1, &first, {{"PHOTO/PIC/P0000001.JPG", jpeg}});
    const std::string m2 = Medium(d, "m2", 2, &second, {{"PHOTO/PIC/P0000001.JPG", jpeg}, {"PHOTO/PIC/P0000002.JPG", jpeg}});
    TPhotoStore store;
    store.Load({{1, m1}, {2, m2}});
    ASSERT_EQ(store.Files().size(), 2u);
    EXPECT_EQ(store.Files()[1].Repeated, c.repeated);
    ASSERT_EQ(store.Records().size(), c.path.empty() ? 1u : 2u);
    EXPECT_EQ(store.Records()[0].Path, m1 + "PHOTO/PIC/P0000001.JPG");
    if (!c.path.empty()) {
      EXPECT_EQ(store.Records()[1].Path, d / c.path);
      EXPECT_EQ(store.Records()[1].FileIndex, 1);
    }
  }
}

}  // namespace
}  // namespace dlvr
