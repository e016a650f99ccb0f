#include <gtest/gtest.h>

#include "delivery/kkt_xml_read.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

const char* const kDecl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";

class ReaderTest : public ::testing::Test {
 protected:
  // Writes a Shift-JIS management file and reads it into the store.
  bool Read(const std::string& name, const std::string& body) {
    return reader.ReadFile(dir.WriteSjis(name, kDecl + body));
  }

  test::ScratchDir dir;
  DeliveryStore store;
  TKKTXMLRead reader{store};
};

const char* const kIndex = R"(<!DOCTYPE constdata SYSTEM "INDE_C03.DTD">
<constdata DTD_version="03">
	<基礎情報>
		<メディア番号>1</メディア番号>
		<メディア総枚数>2</メディア総枚数>
		<打合せ簿フォルダ名>MEET</打合せ簿フォルダ名>
	</基礎情報>
	<ソフトウェア情報>
		<ソフトウェア名>作成支援</ソフトウェア名>
		<ソフトメーカ用TAG>t</ソフトメーカ用TAG>
	</ソフトウェア情報>
	<工事件名等>
		<発注年度>2024</発注年度>
		<工事名称>一回目</工事名称>
		<工事名称>二回目</工事名称>
		<工種>舗装工</工種>
		<工種>排水構造物工</工種>
		<住所> 東京都 </住所>
		<工期開始日>2024-04-01</工期開始日>
	</工事件名等>
	<場所情報>
		<西側境界座標経度>1393000</西側境界座標経度>
	</場所情報>
	<施設情報>
		<施設名称>橋</施設名称>
	</施設情報>
	<発注者情報>
		<発注者-大分類>国土</発注者-大分類>
		<発注者コード>12345678</発注者コード>
	</発注者情報>
	<請負者情報>
		<請負者名>株式会社サンプル建設</請負者名>
	</請負者情報>
	<予備>r1</予備>
	<予備>r2</予備>
</constdata>
)";

TEST_F(ReaderTest, ManagementFileFillsEveryGroupInItsSlot) {
  EXPECT_FALSE(Read("INDEX_C.XML", kIndex));
  const TMdlTreeNodeIndex& r = store.IndexRecords[0];
  EXPECT_EQ(r.MediaNo, "1");
  EXPECT_EQ(r.MediaCount, "2");
  EXPECT_EQ(r.MeetFolder, "MEET");
  EXPECT_EQ(r.SoftName, "作成支援");
  EXPECT_EQ(r.MakerTag, "t");
  EXPECT_EQ(r.OrderYear, "2024");
  // Text fields: the last occurrence wins; lists keep every occurrence.
  EXPECT_EQ(r.KojiName, "二回目");
  EXPECT_EQ(r.KojiTypes, (TStringList{"舗装工", "排水構造物工"}));
  EXPECT_EQ(r.Addresses, TStringList{" 東京都 "});
  EXPECT_EQ(r.StartDate, "2024-04-01");
  EXPECT_EQ(r.WestLongitude, "1393000");
  EXPECT_EQ(r.FacilityName, "橋");
  EXPECT_EQ(r.OrdererClass1, "国土");
  EXPECT_EQ(r.OrdererCode, "12345678");
  EXPECT_EQ(r.ContractorName, "株式会社サンプル建設");
  EXPECT_EQ(r.Reserves, (TStringList{"r1", "r2"}));
  for (int k = 1; k < kIndexRecordCount; ++k) EXPECT_EQ(store.IndexRecords[k].SoftName, "") << k;
}

TEST_F(ReaderTest, FileKindComesFromTheNameWithoutRegardToCase) {
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("a/index_c.xml"), 0);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("X\\Drawings.Xml"), 1);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("meet.xml"), 2);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("PLAN.XML"), 3);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("DRAWINGF.XML"), 4);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("OTHRS.XML"), 6);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("PHOTO.XML"), -1);
  EXPECT_EQ(TKKTXMLRead::KindOfFileName("INDEX_C.XML.BAK"), -1);

  EXPECT_FALSE(Read("index_c.xml", kIndex));
  EXPECT_EQ(store.IndexRecords[0].MediaNo, "1");
  // PHOTO.XML is not read, whatever it holds.
  store.ClearRecords(-1);
  EXPECT_FALSE(Read("PHOTO.XML", kIndex));
  EXPECT_EQ(store.IndexRecords[0].MediaNo, "");
  EXPECT_EQ(store.IndexRecords[5].MediaNo, "");
}

TEST_F(ReaderTest, AttributesOnRootsAreAcceptedButNotOnFields) {
  EXPECT_FALSE(Read("INDEX_C.XML", R"(<CONSTDATA DTD_version="03">
<工事件名等>
<発注年度>2024</発注年度>
<工事名称 lang="ja">名前</工事名称>
<工事番号>99</工事番号>
</工事件名等>
</CONSTDATA>
)"));
  const TMdlTreeNodeIndex& r = store.IndexRecords[0];
  EXPECT_EQ(r.OrderYear, "2024");
  // The attribute made the closing tag mismatch: reading stopped there.
  EXPECT_EQ(r.KojiName, "");
  EXPECT_EQ(r.KojiNo, "");
}

TEST_F(ReaderTest, ValuesAreReadAsTheyStand) {
  EXPECT_FALSE(Read("INDEX_C.XML", "<constdata>\n<工事件名等>\n<工事名称>  A&amp;B\n続き</工事名称>\n"
                                   "<工事内容><b>x</b></工事内容>\n<工事番号>１２</工事番号>\n</工事件名等>\n</constdata>\n"));
  const TMdlTreeNodeIndex& r = store.IndexRecords[0];
  EXPECT_EQ(r.KojiName, "  A&B続き");
  EXPECT_EQ(r.KojiContent, "");  // an element with children has no value
  EXPECT_EQ(r.KojiNo, "１２");
}

TEST_F(ReaderTest, ClosingTagWithNothingOpenIsReportedAsFailureKeepingEarlierRecords) {
  EXPECT_TRUE(Read("MEET.XML", "<meetdata>\n<打合せ簿情報>\n<シリアル番号>1</シリアル番号>\n</打合せ簿情報>\n</meetdata>\n"
                               "</meetdata>\n<meetdata>\n<打合せ簿情報>\n</打合せ簿情報>\n</meetdata>\n"));
  ASSERT_EQ(store.Meetings.size(), 1u);
  EXPECT_EQ(store.Meetings[0].SerialNo, "1");
  // An empty tag fails the same way.
  EXPECT_TRUE(Read("PLAN.XML", "<plandata>\n<施工計画書情報>\n<>\n</施工計画書情報>\n</plandata>\n"));
  EXPECT_EQ(store.Plans.size(), 1u);
}

TEST_F(ReaderTest, MissingFileIsNotAnErrorAndReadsNothing) {
  EXPECT_FALSE(reader.ReadFile(dir / "INDEX_C.XML"));
  EXPECT_FALSE(reader.ParseFile(dir / "INDEX_C.XML"));
  EXPECT_EQ(store.IndexRecords.size(), 9u);
  // A folder of that name is not a file either.
  dir.MakeDir("MEET.XML");
  EXPECT_FALSE(reader.ReadFile(dir / "MEET.XML"));
  EXPECT_TRUE(store.Meetings.empty());
}

TEST_F(ReaderTest, CaseOfTheFileNameOnDiskDoesNotMatter) {
  dir.WriteSjis("meet/meet.xml", std::string(kDecl) + "<meetdata>\n<打合せ簿情報>\n</打合せ簿情報>\n</meetdata>\n");
  EXPECT_FALSE(reader.ReadFile(dir / "MEET/MEET.XML"));
  EXPECT_EQ(store.Meetings.size(), 1u);
}

const char* const kDrawings = R"(<drawingdata DTD_version="03">
<ソフトウェア情報>
<ソフトウェア名>CADソフト</ソフトウェア名>
<バージョン情報>2.0</バージョン情報>
</ソフトウェア情報>
<図面情報>
<図面名>平面図</図面名>
<図面ファイル名>D0PL001Z.P21</図面ファイル名>
<図面番号>1</図面番号>
<場所情報>
<起点側測点-n>10</起点側測点-n>
<平面直角座標系>9</平面直角座標系>
<詳細住所>東京都千代田区</詳細住所>
<図面名>場所情報の中の図面名</図面名>
</場所情報>
<基準点情報>
<基準点情報平面直角座標X座標>-123.4</基準点情報平面直角座標X座標>
</基準点情報>
<その他>
<受注者説明文>説明</受注者説明文>
<予備>一</予備>
<予備>二</予備>
</その他>
</図面情報>
<図面情報>
<図面ファイル名>d0pl001z.p21</図面ファイル名>
</図面情報>
<図面情報>
</図面情報>
</drawingdata>
)";

TEST_F(ReaderTest, DrawingsFillTheListTheFileNameSelects) {
  EXPECT_FALSE(Read("DRAWINGS.XML", kDrawings));
  ASSERT_EQ(store.OrderDrawings.size(), 3u);
  EXPECT_TRUE(store.FinalDrawings.empty());
  const TMdlTreeNodeDraw& d = store.OrderDrawings[0];
  EXPECT_EQ(d.DrawName, "平面図");  // a field of another group is not taken
  EXPECT_EQ(d.DrawFile, "D0PL001Z.P21");
  EXPECT_EQ(d.DrawNo, "1");
  EXPECT_EQ(d.StartStationN, "10");
  EXPECT_EQ(d.PlaneSystem, "9");
  EXPECT_EQ(d.DetailAddress, "東京都千代田区");
  EXPECT_EQ(d.RefPlaneX, "-123.4");
  EXPECT_EQ(d.ContractorNote, "説明");
  EXPECT_EQ(d.Reserve, "一、二");
  // An item without any known child still yields a record.
  EXPECT_EQ(store.OrderDrawings[2].DrawFile, "");
  // The software information goes to the slot of the file's kind.
  EXPECT_EQ(store.IndexRecords[1].SoftName, "CADソフト");
  EXPECT_EQ(store.IndexRecords[1].SoftVersion, "2.0");
  EXPECT_EQ(store.IndexRecords[0].SoftName, "");
  // The same name once in lower case counts as a duplicate.
  EXPECT_TRUE(store.DrawFileDuplicate);
  EXPECT_EQ(store.DrawFileNames, TStringList{"D0PL001Z.P21"});

  // The same root read from DRAWINGF.XML fills the completion drawings, and
  // the duplicate flag starts again with the new file.
  EXPECT_FALSE(Read("DRAWINGF.XML", "<drawingdata>\n<図面情報>\n<図面ファイル名>D0PL001Z.P21</図面ファイル名>\n"
                                    "</図面情報>\n</drawingdata>\n"));
  EXPECT_EQ(store.FinalDrawings.size(), 1u);
  EXPECT_EQ(store.OrderDrawings.size(), 3u);
  EXPECT_FALSE(store.DrawFileDuplicate);
}

const char* const kMeet = R"(<meetdata DTD_version="03">
<ソフトウェア情報>
<ソフトウェア名>打合せ簿ソフト</ソフトウェア名>
</ソフトウェア情報>
<打合せ簿情報>
<シリアル番号>1</シリアル番号>
<打合せ簿種類>協議</打合せ簿種類>
<打合せ簿名称>協議書</打合せ簿名称>
<管理区分>工程</管理区分>
<発行日付>2024-05-01</発行日付>
<オリジナルファイル情報>
<打合せ簿オリジナルファイル名>0001_01.PDF</打合せ簿オリジナルファイル名>
<打合せ簿オリジナルファイル作成ソフトバージョン情報>PDF 1.4</打合せ簿オリジナルファイル作成ソフトバージョン情報>
<オリジナルファイル内容>協議書本文</オリジナルファイル内容>
</オリジナルファイル情報>
<オリジナルファイル情報>
<打合せ簿オリジナルファイル名>0001_02.JPG</打合せ簿オリジナルファイル名>
<施工計画書オリジナルファイル名>別の種類の名前</施工計画書オリジナルファイル名>
</オリジナルファイル情報>
<その他>
<請負者説明文>請</請負者説明文>
<発注者説明文>発</発注者説明文>
<予備>a</予備>
<予備>b</予備>
<予備>c</予備>
</その他>
</打合せ簿情報>
</meetdata>
)";

TEST_F(ReaderTest, MeetingsKeepEveryOriginalFileInOrder) {
  store.IndexRecords[0].SoftName = "管理ファイルのソフト";
  EXPECT_FALSE(Read("MEET.XML", kMeet));
  ASSERT_EQ(store.Meetings.size(), 1u);
  const TMdlTreeNodeMeet& m = store.Meetings[0];
  EXPECT_EQ(m.SerialNo, "1");
  EXPECT_EQ(m.MeetKind, "協議");
  EXPECT_EQ(m.ManageClass, "工程");
  EXPECT_EQ(m.IssueDate, "2024-05-01");
  ASSERT_EQ(m.Orgs.size(), 2u);
  EXPECT_EQ(m.Orgs[0].OrgFile, "0001_01.PDF");
  EXPECT_EQ(m.Orgs[0].OrgSoftVersion, "PDF 1.4");
  EXPECT_EQ(m.Orgs[0].OrgContent, "協議書本文");
  EXPECT_EQ(m.Orgs[1].OrgFile, "0001_02.JPG");  // a plan's element is not a meeting's
  EXPECT_EQ(m.ContractorNote, "請");
  EXPECT_EQ(m.OrdererNote, "発");
  EXPECT_EQ(m.Reserves, (TStringList{"a", "b", "c"}));
  EXPECT_EQ(store.IndexRecords[2].SoftName, "打合せ簿ソフト");
  EXPECT_EQ(store.IndexRecords[0].SoftName, "管理ファイルのソフト");
}

TEST_F(ReaderTest, PlansAndOtherDocumentsUseTheirOwnOriginalFileElements) {
  EXPECT_FALSE(Read("PLAN.XML", R"(<plandata>
<施工計画書情報>
<シリアル番号>1</シリアル番号>
<施工計画書名称>施工計画書（第1回）</施工計画書名称>
<オリジナルファイル情報>
<施工計画書オリジナルファイル名>PLAN0001.PDF</施工計画書オリジナルファイル名>
<オリジナルファイル内容>本文</オリジナルファイル内容>
</オリジナルファイル情報>
<その他>
<予備>p</予備>
</その他>
</施工計画書情報>
</plandata>
)"));
  ASSERT_EQ(store.Plans.size(), 1u);
  EXPECT_EQ(store.Plans[0].PlanName, "施工計画書（第1回）");
  ASSERT_EQ(store.Plans[0].Orgs.size(), 1u);
  EXPECT_EQ(store.Plans[0].Orgs[0].OrgFile, "PLAN0001.PDF");
  EXPECT_EQ(store.Plans[0].Reserves, TStringList{"p"});

  EXPECT_FALSE(Read("OTHRS.XML", R"(<othrsdata>
<その他資料情報>
<資料名>品質記録</資料名>
<その他資料種類>記録</その他資料種類>
<保管場所>事務所</保管場所>
<オリジナルファイル情報>
<その他資料オリジナルファイル名>OTH0001.XLS</その他資料オリジナルファイル名>
<その他資料オリジナルファイル作成ソフトバージョン情報>表計算 2019</その他資料オリジナルファイル作成ソフトバージョン情報>
</オリジナルファイル情報>
</その他資料情報>
</othrsdata>
)"));
  ASSERT_EQ(store.Others.size(), 1u);
  const TMdlTreeNodeOthrs& o = store.Others[0];
  EXPECT_EQ(o.DocName, "品質記録");
  EXPECT_EQ(o.DocKind, "記録");
  EXPECT_EQ(o.StorePlace, "事務所");
  ASSERT_EQ(o.Orgs.size(), 1u);
  EXPECT_EQ(o.Orgs[0].OrgFile, "OTH0001.XLS");
  EXPECT_EQ(o.Orgs[0].OrgSoftVersion, "表計算 2019");
}

TEST_F(ReaderTest, ReadingAppendsAndClearingEmpties) {
  EXPECT_FALSE(Read("MEET.XML", kMeet));
  EXPECT_FALSE(Read("MEET.XML", kMeet));
  EXPECT_EQ(store.Meetings.size(), 2u);
  EXPECT_FALSE(Read("INDEX_C.XML", kIndex));
  EXPECT_FALSE(Read("INDEX_C.XML", kIndex));
  EXPECT_EQ(store.IndexRecords[0].KojiTypes.size(), 4u);

  reader.ClearRecords(2);
  EXPECT_TRUE(store.Meetings.empty());
  EXPECT_EQ(store.IndexRecords[0].MediaNo, "1");
  reader.ClearRecords(7);  // unassigned: nothing happens
  EXPECT_EQ(store.IndexRecords[0].MediaNo, "1");
  reader.ClearRecords(0);
  ASSERT_EQ(store.IndexRecords.size(), 9u);
  EXPECT_EQ(store.IndexRecords[0].MediaNo, "");
  EXPECT_TRUE(store.IndexRecords[0].KojiTypes.empty());
  EXPECT_TRUE(store.IndexRecords[2].SoftName.empty());

  EXPECT_FALSE(Read("MEET.XML", kMeet));
  reader.ClearRecords(-1);
  EXPECT_TRUE(store.Meetings.empty());
  EXPECT_TRUE(store.IndexRecords[2].SoftName.empty());
}

TEST_F(ReaderTest, AnotherMediumsIndexGoesToItsOwnSlot) {
  EXPECT_FALSE(Read("INDEX_C.XML", kIndex));
  std::string other = dir.WriteSjis("M2/INDEX_C.XML", std::string(kDecl) +
                                                          "<constdata>\n<基礎情報>\n<メディア番号>2</メディア番号>\n"
                                                          "</基礎情報>\n</constdata>\n");
  store.IndexRecords[8].KojiName = "前回の残り";
  EXPECT_FALSE(reader.ReadOtherIndex(other));
  EXPECT_EQ(store.IndexRecords[8].MediaNo, "2");
  EXPECT_EQ(store.IndexRecords[8].KojiName, "");
  EXPECT_EQ(store.IndexRecords[0].MediaNo, "1");
  EXPECT_EQ(reader.FileKind(), 8);
}

TEST_F(ReaderTest, AnyRootIsRecognisedInAnyFile) {
  // Meeting data inside INDEX_C.XML is still read into the meetings, and its
  // software information into slot 0.
  EXPECT_FALSE(Read("INDEX_C.XML", kMeet));
  EXPECT_EQ(store.Meetings.size(), 1u);
  EXPECT_EQ(store.IndexRecords[0].SoftName, "打合せ簿ソフト");
  // Drawing data in a file other than DRAWINGS.XML goes to the completion list.
  EXPECT_FALSE(Read("OTHRS.XML", kDrawings));
  EXPECT_EQ(store.FinalDrawings.size(), 3u);
}

TEST(Records, AssignCopiesListsAndClearEmptiesThem) {
  TMdlTreeNodeIndex a;
  a.KojiName = "x";
  a.KojiTypes = {"1", "2"};
  TMdlTreeNodeIndex b;
  b.Assign(a);
  a.KojiTypes.push_back("3");
  EXPECT_EQ(b.KojiTypes, (TStringList{"1", "2"}));
  b.Clear();
  EXPECT_EQ(b.KojiName, "");
  EXPECT_TRUE(b.KojiTypes.empty());
  TMdlTreeNodeMeet m;
  m.Orgs.emplace_back();
  m.Clear();
  EXPECT_TRUE(m.Orgs.empty());
  EXPECT_EQ(TMdlTreeNodeIndex::Fields().size(), 50u);
  EXPECT_EQ(TMdlTreeNodeDraw::Fields().size(), 33u);
  EXPECT_EQ(TMdlTreeNodeMeet::Fields().size(), 14u);
  EXPECT_EQ(TMdlTreeNodePlan::Fields().size(), 6u);
  EXPECT_EQ(TMdlTreeNodeOthrs::Fields().size(), 8u);
}


// The elements of INDEX_C.XML no field takes are listed with their paths and
// values, in document order: nothing for a first-edition file; for a later
// edition the new elements and the renamed groups, while fields regrouped
// under new parents are still read; the earlier of two values of a text
// field; a value lost to a comment; text beside child elements. Listing
// stops where reading stops, and a hostile file stays within the bounds.
TEST_F(ReaderTest, UnknownElementsOfTheManagementFileAreListed) {
  std::string firstEdition;
  ASSERT_TRUE(ReadWholeFile(test::SamplePath("clean") + "/INDEX_C.XML", firstEdition));
  const char* const laterEdition = R"(<!DOCTYPE constdata SYSTEM "INDEX_C08.DTD">
<constdata DTD_version="08">
	<基礎情報>
		<メディア番号>1</メディア番号>
		<メディア総枚数>1</メディア総枚数>
		<適用要領基準>土木201603-01</適用要領基準>
		<発注図フォルダ名>DRAWINGS</発注図フォルダ名>
		<打合せ簿フォルダ名>MEET</打合せ簿フォルダ名>
		<i-Constructionフォルダ名>ICON</i-Constructionフォルダ名>
	</基礎情報>
	<工事件名等>
		<発注年度>2016</発注年度>
		<工事名称>見本川護岸工事</工事名称>
		<工事実績システム登録番号>1234567890</工事実績システム登録番号>
		<工種-工法型式情報>
			<工種>護岸工</工種>
			<工法型式>ブロック積</工法型式>
		</工種-工法型式情報>
		<住所情報>
			<住所コード>99203</住所コード>
			<住所>見本市川端町地内</住所>
		</住所情報>
	</工事件名等>
	<場所情報>
		<境界座標情報>
			<西側境界座標経度>1394500</西側境界座標経度>
		</境界座標情報>
	</場所情報>
	<受注者情報>
		<受注者名>株式会社サンプル建設</受注者名>
		<受注者コード>5500123</受注者コード>
	</受注者情報>
	<予備>検査日 2017-03-20</予備>
	<ソフトメーカ用TAG>DNS</ソフトメーカ用TAG>
</constdata>
)";
  const char* const repeated = R"(<constdata>
<工事件名等>
<工事名称>一回目</工事名称>
<工種>舗装工</工種>
<工事名称>二回目</工事名称>
<工種>排水工</工種>
<予備>群の中</予備>
</工事件名等>
<発注者情報>
<発注者-大分類>見本県</発注者-大分類>
<発注者コード>1</発注者コード>
</発注者情報>
<発注者情報>
<発注者-大分類>見本市</発注者-大分類>
</発注者情報>
<予備>一</予備>
<予備/>
</constdata>
)";
  const char* const broken = R"(<constdata>
<基礎情報>
<メディア番号>1<!-- 一枚目 --></メディア番号>
<新項目>前<子>中</子>後</新項目>
</基礎情報>
<工事件名等>
<工事名称>名</工事名>
</工事件名等>
<後の項目>x</後の項目>
</constdata>
)";
  struct Case {
    const char* Name;
    std::string Text;  // UTF-8, read as INDEX_C.XML
    std::vector<std::pair<std::string, std::string>> Unknown;
  };
  const Case cases[] = {
      {"first edition", Cp932ToUtf8(firstEdition), {}},
      {"later edition",
       laterEdition,
       {{"constdata/基礎情報/適用要領基準", "土木201603-01"},
        {"constdata/基礎情報/発注図フォルダ名", "DRAWINGS"},
        {"constdata/基礎情報/i-Constructionフォルダ名", "ICON"},
        {"constdata/工事件名等/工事実績システム登録番号", "1234567890"},
        {"constdata/受注者情報/受注者名", "株式会社サンプル建設"},
        {"constdata/受注者情報/受注者コード", "5500123"},
        {"constdata/ソフトメーカ用TAG", "DNS"}}},
      {"repeated elements",
       repeated,
       {{"constdata/工事件名等/工事名称", "一回目"},
        {"constdata/工事件名等/予備", "群の中"},
        {"constdata/発注者情報/発注者-大分類", "見本県"},
        {"constdata/予備", ""}}},
      {"comment, mixed text, structural error",
       broken,
       {{"constdata/基礎情報/メディア番号", "1"},
        {"constdata/基礎情報/新項目", "前後"},
        {"constdata/基礎情報/新項目/子", "中"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    store.ClearRecords(-1);
    store.IndexUnknown.Items.push_back({"earlier", "read"});
    reader.ReadText(c.Text, fkIndex);
    std::vector<std::pair<std::string, std::string>> got;
    for (const TUnknownElement& e : store.IndexUnknown.Items) got.emplace_back(e.Path, e.Value);
    EXPECT_EQ(got, c.Unknown);
    EXPECT_EQ(store.IndexUnknown.Omitted, 0u);
  }
  // The regrouped fields of the later edition are read, not listed.
  reader.ReadText(laterEdition, fkIndex);
  const TMdlTreeNodeIndex& r = store.IndexRecords[0];
  EXPECT_EQ(r.KojiTypes, TStringList{"護岸工"});
  EXPECT_EQ(r.Addresses, TStringList{"見本市川端町地内"});
  EXPECT_EQ(r.WestLongitude, "1394500");
  // Other files leave the list alone; clearing the records empties it.
  const std::size_t listed = store.IndexUnknown.Items.size();
  EXPECT_FALSE(Read("MEET.XML", kMeet));
  EXPECT_FALSE(reader.ReadOtherIndex(dir.WriteSjis("M2/INDEX_C.XML", kDecl + std::string(repeated))));
  EXPECT_EQ(store.IndexUnknown.Items.size(), listed);
  store.ClearRecords(0);
  EXPECT_TRUE(store.IndexUnknown.Empty());

  // A hostile file: a leaf below 60 levels of long names, one below 200
  // levels, then more long values than are listed.
  std::string hostile = "<constdata>\n";
  const std::string longName = "とても長い名前の要素とても長い名前の要素";
  for (int i = 0; i < 60; ++i) hostile += "<" + longName + ">";
  hostile += "<葉>v</葉>";
  for (int i = 0; i < 60; ++i) hostile += "</" + longName + ">";
  hostile += "\n";
  for (int i = 0; i < 200; ++i) hostile += "<d>";
  hostile += "<葉>深い</葉>";
  for (int i = 0; i < 200; ++i) hostile += "</d>";
  std::string value;
  for (int i = 0; i < 1500; ++i) value += "あ";
  const std::size_t leaves = kMaxUnknownElements + 100;
  for (std::size_t i = 0; i < leaves; ++i) {
    const std::string name = "項目" + std::to_string(i);
    hostile += "\n<" + name + ">" + value + "</" + name + ">";
  }
  hostile += "\n</constdata>\n";
  reader.ReadText(hostile, fkIndex);
  const TUnknownElements& u = store.IndexUnknown;
  ASSERT_EQ(u.Items.size(), kMaxUnknownElements);
  EXPECT_EQ(u.Omitted, 2 + leaves - kMaxUnknownElements);
  EXPECT_EQ(u.Items[0].Path.rfind("…/", 0), 0u);
  EXPECT_LE(u.Items[0].Path.size(), kMaxUnknownPathBytes + std::string("…/").size());
  EXPECT_EQ(u.Items[0].Path.substr(u.Items[0].Path.size() - 4), "/葉");
  EXPECT_EQ(u.Items[0].Value, "v");
  EXPECT_EQ(u.Items[1].Path, "constdata/項目0");
  for (const TUnknownElement& e : u.Items) {
    if (&e == &u.Items[0]) continue;
    ASSERT_EQ(e.Value.substr(e.Value.size() - 3), "…");
    EXPECT_LE(Cp932Length(e.Value.substr(0, e.Value.size() - 3)), kMaxUnknownValueBytes);
    EXPECT_GT(Cp932Length(e.Value.substr(0, e.Value.size() - 3)), kMaxUnknownValueBytes - 2);
  }
}

}  // namespace
}  // namespace dlvr
