// The photo checks and the image facts they rest on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "photo/photo_check.h"
#include "photo/photo_fixtures.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

using Row = std::tuple<std::string, std::string, std::string>;  // 写真ファイル名, 項目名, 状態

std::vector<Row> Rows(const std::vector<TPhotoFinding>& findings) {
  std::vector<Row> rows;
  for (const TPhotoFinding& f : findings) rows.emplace_back(f.FileName, f.Field, f.State);
  return rows;
}

TEST(ImageFacts, FormatByContentSizeAndExif) {
  test::ScratchDir d;
  test::ExifSpec exif{"2024:05:10 09:30:00", "Camera FW 1.02", 6};
  struct Case {
    const char* Name;
    std::string Bytes;
    TImageFacts Facts;
  };
  // Metadata larger than the first read: the frame header comes late.
  std::string bigHead = test::MakeJpeg(1600, 1200);
  for (int i = 0; i < 2; ++i) bigHead.insert(2, std::string("\xFF\xFE\xEA\x62", 4) + std::string(60000, 'c'));
  const Case cases[] = {
      {"jpeg with exif", test::MakeJpeg(1280, 960, exif), {"jpeg", 1280, 960, 6, "2024:05:10 09:30:00", "Camera FW 1.02"}},
      {"jpeg without exif", test::MakeJpeg(640, 480), {"jpeg", 640, 480, 0, "", ""}},
      {"late frame header", bigHead, {"jpeg", 1600, 1200, 0, "", ""}},
      {"png named jpg", test::MakePng(1280, 960), {"png", 1280, 960, 0, "", ""}},
      {"tiff", test::MakeTiff(300, 200), {"tiff", 300, 200, 0, "", ""}},
      {"text", "not an image at all", {"", 0, 0, 0, "", ""}},
      {"cut jpeg", test::MakeJpeg(1280, 960, exif).substr(0, 40), {"jpeg", 0, 0, 0, "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TImageFacts f = ReadImageFacts(d.WriteBytes("x.img", c.Bytes));
    EXPECT_EQ(f.Format, c.Facts.Format);
    EXPECT_EQ(f.Width, c.Facts.Width);
    EXPECT_EQ(f.Height, c.Facts.Height);
    EXPECT_EQ(f.Orientation, c.Facts.Orientation);
    EXPECT_EQ(f.DateTimeOriginal, c.Facts.DateTimeOriginal);
    EXPECT_EQ(f.Software, c.Facts.Software);
  }
  // Never a FIFO, a folder or a missing file.
  ASSERT_EQ(::mkfifo((d / "fifo.jpg").c_str(), 0600), 0);
  for (const std::string& path : {d / "fifo.jpg", d.Path(), d / "none.jpg"}) EXPECT_EQ(ReadImageFacts(path).Format, "");
}

TEST(PhotoCheck, EachRuleFoundInStoreOrderThenStrays) {
  test::ScratchDir d;
  auto jpeg = [](int w, int h, std::string date = "", std::string software = "") {
    return test::MakeJpeg(w, h, {std::move(date), std::move(software), 1});
  };
  std::vector<test::PhotoSpec> specs(13);
  for (std::size_t i = 0; i < specs.size(); ++i) {
    specs[i].Serial = std::to_string(i + 1);
    specs[i].FileName = "P00000" + std::string(i + 1 < 10 ? "0" : "") + std::to_string(i + 1) + ".JPG";
  }
  specs[0].Drawings = {"D0000001.JPG", "D0000003.TIF"};
  specs[1].Date = "2024-10-01";        // the day after the period
  specs[5].FileName = "p0000006.jpg";  // lower case
  specs[8].Title = "";
  specs[8].Representative = " ";
  specs[9].Date = "2024-02-30";
  specs[10].Drawings = {"D0000002.PNG"};
  specs[11].Date = "2024-04-01";       // the period's first day
  specs[12].MediaNo = "2";             // missing here, on a medium not loaded, with its drawing
  specs[12].Drawings = {"D0000013.JPG"};
  d.WriteSjis("m/INDEX_C.XML", test::IndexXml(1, 1, "2024-04-01", "2024-09-30"));
  d.WriteSjis("m/PHOTO/PHOTO.XML", test::PhotoXml(specs));
  d.WriteBytes("m/PHOTO/PHOTO05.DTD", "<!ELEMENT photodata ANY>");
  const std::vector<std::pair<std::string, std::string>> files = {
      {"P0000001.JPG", jpeg(2000, 1500, "2024:05:10 08:00:00")},  // at the largest size
      {"P0000002.JPG", jpeg(1280, 960)},
      {"P0000003.JPG", jpeg(1280, 960, "2024:05:09 23:59:59")},   // a day off
      {"P0000004.JPG", jpeg(1280, 960, "2024:05:10 10:00:00", "Adobe Photoshop CC 2019 (Windows)")},
      {"P0000005.JPG", test::MakePng(1280, 960)},
      {"p0000006.jpg", jpeg(1280, 960)},
      {"P0000008.JPG", jpeg(640, 480)},
      {"P0000009.JPG", jpeg(1280, 960)},
      {"P0000010.JPG", jpeg(1280, 960)},
      {"P0000011.JPG", jpeg(1280, 960)},
      {"P0000012.JPG", jpeg(1000, 1000, "2024:04:01 07:00:00", "Camera 1.0")},  // the smallest size
      {"P0000099.JPG", jpeg(1280, 960)},  // not listed
      {"PHOTO.XML", "<photodata/>"},      // a companion of PHOTO, not of PIC
  };
  for (const auto& [name, bytes] : files) d.WriteBytes("m/PHOTO/PIC/" + name, bytes);
  d.WriteBytes("m/PHOTO/DRA/D0000001.JPG", jpeg(800, 600));
  d.WriteBytes("m/PHOTO/DRA/D0000002.PNG", test::MakePng(800, 600));
  d.WriteBytes("m/PHOTO/DRA/D0000003.TIF", test::MakeTiff(800, 600));
  d.WriteBytes("m/PHOTO/DRA/D0000009.JPG", jpeg(800, 600));

  TPhotoStore store;
  store.Load({{1, d / "m"}});
  const std::vector<TPhotoFinding> findings = CheckPhotos(store, {"2024-04-01", "2024-09-30"});
  const std::vector<Row> expected = {
      {"P0000002.JPG", "撮影年月日", "工期外の日付（着手前の撮影もあるため警告）"},
      {"P0000003.JPG", "撮影年月日", "Exif撮影日（2024-05-09）と不一致"},
      {"P0000004.JPG", "写真ファイル名", "編集ソフトの記録あり（Adobe Photoshop CC 2019 (Windows)）"},
      {"P0000005.JPG", "写真ファイル名", "JPEG以外（PNG）"},
      {"p0000006.jpg", "写真ファイル名", "ファイル名が不正"},
      {"P0000007.JPG", "写真ファイル名", "ファイルなし"},
      {"P0000008.JPG", "写真ファイル名", "画素数が範囲外（640×480）"},
      {"P0000009.JPG", "写真タイトル", "情報未記入"},
      {"P0000009.JPG", "代表写真", "情報未記入"},
      {"P0000010.JPG", "撮影年月日", "日付が不正"},
      {"D0000002.PNG", "参考図ファイル名", "ファイル名が不正"},
      {"D0000002.PNG", "参考図ファイル名", "JPEG・TIFF以外（PNG）"},
      {"P0000013.JPG", "写真ファイル名", "2枚目のメディアが読み込まれていません"},
      {"D0000013.JPG", "参考図ファイル名", "2枚目のメディアが読み込まれていません"},
      {"P0000099.JPG", "写真ファイル名", "管理ファイルに記載なし"},
      {"PHOTO.XML", "写真ファイル名", "管理ファイルに記載なし"},
      {"PHOTO.XML", "写真ファイル名", "ファイル名が不正"},
      {"D0000009.JPG", "参考図ファイル名", "管理ファイルに記載なし"},
  };
  EXPECT_EQ(Rows(findings), expected);
  ASSERT_EQ(findings.size(), expected.size());
  EXPECT_EQ(findings[0].Record, 1);
  EXPECT_EQ(findings[10].Record, 10);
  EXPECT_EQ(findings[10].Path, d / "m/PHOTO/DRA/D0000002.PNG");
  // Warnings: a date outside the period, a pixel count outside the
  // recommended range, a photo and its drawing on a medium not loaded; the
  // rest are errors.
  std::vector<std::size_t> warnings;
  for (std::size_t i = 0; i < findings.size(); ++i)
    if (findings[i].Warning) warnings.push_back(i);
  EXPECT_EQ(warnings, (std::vector<std::size_t>{0, 6, 12, 13}));
  EXPECT_EQ(findings[14].Record, -1);
  EXPECT_EQ(findings[14].Path, d / "m/PHOTO/PIC/P0000099.JPG");
  // Without a period no date is outside it; its end written with slashes
  // is the date meant.
  EXPECT_EQ(CheckPhotos(store, {"", "不明"}).size(), expected.size() - 1);
  EXPECT_EQ(CheckPhotos(store, {"2024-02-30", "2024/09/30"}).size(), expected.size());
  EXPECT_EQ(CheckPhotos(store, {"2024-02-30", "2024/10/01"}).size(), expected.size() - 1);
}

TEST(PhotoCheck, RulesFollowTheFileVersionAndABreakIsFound) {
  test::ScratchDir d;
  // The first version: long names, no date required; a break after one record.
  d.WriteSjis("m/PHOTO/PHOTO.XML",
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<photodata DTD_version=\"1.00\">\n"
              "<写真情報><シリアル番号>1</シリアル番号><写真ファイル名>KOUJI_0007.JPG</写真ファイル名></写真情報>\n"
              "<写真情報><シリアル番号>2</シリアル番号><写真ファイル名>kouji.jpg</写真ファイル名></写真情報>\n"
              "<写真情報><シリアル番号>3</シリアル番号>\n");
  d.WriteBytes("m/PHOTO/PIC/KOUJI_0007.JPG", test::MakeJpeg(1280, 960));
  d.WriteBytes("m/PHOTO/PIC/kouji.jpg", test::MakeJpeg(1280, 960));
  TPhotoStore store;
  store.Load({{1, d / "m"}});
  const std::vector<TPhotoFinding> findings = CheckPhotos(store, {});
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(Rows({findings[0]}), (std::vector<Row>{{"kouji.jpg", "写真ファイル名", "ファイル名が不正"}}));
  EXPECT_EQ(findings[1].FileName, "PHOTO.XML");
  EXPECT_EQ(findings[1].Field, "管理ファイル");
  EXPECT_EQ(findings[1].State.rfind("6行目: ", 0), 0u) << findings[1].State;
}

// The rules at their edges: what a version requires from when on, the
// calendar's leap years, and the first version's longest file name.
TEST(PhotoCheck, RulesHoldFromTheirVersionAndUpToTheirBounds) {
  const std::string longest = std::string(76, 'A') + ".JPG";  // 80 characters
  struct Case {
    const char* what;
    const char* version;
    test::PhotoSpec photo;
    std::vector<Row> expected;
    bool written = true;  // the photo file is there
    std::string stray{};  // a file in the photo folder no record names
  };
  auto photo = [](std::string name, std::string date = "2024-05-10", std::string mark = "0") {
    test::PhotoSpec p;
    p.Serial = "1";
    p.FileName = std::move(name);
    p.Date = std::move(date);
    p.Representative = p.Frequency = std::move(mark);
    return p;
  };
  const Case cases[] = {
      {"04 requires no 代表写真 nor 提出頻度写真", "04", photo("P0000001.JPG", "2024-05-10", ""), {}},
      {"05 requires both", "05", photo("P0000001.JPG", "2024-05-10", ""),
       {{"P0000001.JPG", "代表写真", "情報未記入"}, {"P0000001.JPG", "提出頻度写真", "情報未記入"}}},
      {"2000 is a leap year (every 400th)", "05", photo("P0000001.JPG", "2000-02-29"), {}},
      {"1900 is none (every 100th)", "05", photo("P0000001.JPG", "1900-02-29"),
       {{"P0000001.JPG", "撮影年月日", "日付が不正"}}},
      {"2024 is one (every 4th)", "05", photo("P0000001.JPG", "2024-02-29"), {}},
      {"2023 is none", "05", photo("P0000001.JPG", "2023-02-29"), {{"P0000001.JPG", "撮影年月日", "日付が不正"}}},
      {"a first-version name of 80 characters", "1.00", photo(longest), {}},
      {"a first-version name of 81 characters", "1.00", photo("A" + longest),
       {{"A" + longest, "写真ファイル名", "ファイル名が不正"}}},
      {"a stray file is named by its file's version", "1.00", photo(longest),
       {{"KOUJI_0008.JPG", "写真ファイル名", "管理ファイルに記載なし"}}, true, "KOUJI_0008.JPG"},
      {"a photo of medium 0 is missing, not on a medium not loaded", "05",
       [&] {
         test::PhotoSpec p = photo("P0000001.JPG");
         p.MediaNo = "0";
         return p;
       }(),
       {{"P0000001.JPG", "写真ファイル名", "ファイルなし"}}, false},
      {"a photo of a medium not loaded, found on the one loaded, is no mistake", "05",
       [&] {
         test::PhotoSpec p = photo("P0000001.JPG");
         p.MediaNo = "2";
         return p;
       }(),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchDir d;
    std::string xml = test::PhotoXml({c.photo}, "PHOTO/PIC");
    xml.replace(xml.find("DTD_version=\"05\""), 16, std::string("DTD_version=\"") + c.version + "\"");
    d.WriteSjis("m/PHOTO/PHOTO.XML", xml);
    if (c.written) d.WriteBytes("m/PHOTO/PIC/" + c.photo.FileName, test::MakeJpeg(1280, 960));
    if (!c.stray.empty()) d.WriteBytes("m/PHOTO/PIC/" + c.stray, test::MakeJpeg(1280, 960));
    TPhotoStore store;
    store.Load({{1, d / "m"}});
    ASSERT_EQ(store.Files().size(), 1u);
    ASSERT_EQ(store.Files()[0].DtdVersion, c.version);
    EXPECT_EQ(Rows(CheckPhotos(store, {})), c.expected);
  }
}

}  // namespace
}  // namespace dlvr
