// dlvr photos, run as a program on deliveries made in the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "check/extended_check.h"
#include "check/viewer_model.h"
#include "cli/check_command.h"
#include "photo/photo_check.h"
#include "photo/photo_fixtures.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/run_tool.h"

namespace dlvr {
namespace {

test::ToolRun Photos(const std::string& args) { return test::RunCaptured(std::string(DLVR_CLI) + " photos " + args); }

TEST(CliPhotos, ListingAndChecksOverTheMediaLoaded) {
  test::ScratchDir d;
  const std::string good = test::MakeJpeg(1280, 960, {"2024:05:10 09:30:00", "", 1});
  std::vector<test::PhotoSpec> specs(3);
  specs[0].Serial = "1";
  specs[0].FileName = "P0000001.JPG";
  specs[0].Title = "掘削&#9;状況\\A";  // a TAB and a backslash in a value
  specs[0].Drawings = {"D0000001.JPG", "D0000002.JPG"};
  specs[1].Serial = "2";
  specs[1].FileName = "P0000002.JPG";
  specs[1].MediaNo = "2";
  specs[2].Serial = "3";
  specs[2].FileName = "P0000003.JPG";
  specs[2].Date = "2024-10-01";  // after the period of INDEX_C.XML
  std::string xml = test::PhotoXml(specs);
  xml.insert(xml.find("</写真情報>"), "<撮影者>山田</撮影者>");
  for (int m : {1, 2}) d.WriteSjis("m" + std::to_string(m) + "/INDEX_C.XML", test::IndexXml(m, 2, "2024-04-01", "2024-09-30"));
  d.WriteSjis("m1/PHOTO/PHOTO.XML", xml);
  d.WriteBytes("m1/PHOTO/PIC/P0000003.JPG", test::MakeJpeg(1280, 960));  // no EXIF date to compare
  for (const char* f : {"m1/PHOTO/PIC/P0000001.JPG", "m1/PHOTO/DRA/D0000001.JPG",
                        "m1/PHOTO/DRA/D0000002.JPG", "m2/PHOTO/PIC/P0000002.JPG"})
    d.WriteBytes(f, good);
  // Another delivery, clean.
  d.WriteSjis("c/INDEX_C.XML", test::IndexXml(1, 1, "2024-04-01", "2024-09-30"));
  test::PhotoSpec one;
  one.Serial = "1";
  one.FileName = "P0000001.JPG";
  d.WriteSjis("c/PHOTO/PHOTO.XML", test::PhotoXml({one}));
  d.WriteBytes("c/PHOTO/PIC/P0000001.JPG", good);
  test::SetTreeReadOnly(d.Path(), true);
  const auto before = test::TreeSnapshot(d.Path());

  const std::string m1 = d / "m1", m2 = d / "m2", c = d / "c";
  const std::string row1 = "1\tP0000001.JPG\t1\t1\t工事\t施工状況写真\t\t\t\t掘削\\t状況\\\\A\t\t2024-05-10\t0\t1\tD0000001.JPG|D0000002.JPG\n";
  const std::string row3 = "3\tP0000003.JPG\t1\t1\t工事\t施工状況写真\t\t\t\t掘削状況\t\t2024-10-01\t0\t1\t\n";
  const std::string json2 =
      "[\n {\n  \"シリアル番号\": \"1\",\n  \"写真ファイル名\": \"P0000001.JPG\",\n  \"exists\": true,\n"
      "  \"メディア番号\": \"1\",\n  \"写真-大分類\": \"工事\",\n  \"写真区分\": \"施工状況写真\",\n  \"工種\": \"\",\n"
      "  \"種別\": \"\",\n  \"細別\": \"\",\n  \"写真タイトル\": \"掘削\\t状況\\\\A\",\n  \"撮影箇所\": \"\",\n"
      "  \"撮影年月日\": \"2024-05-10\",\n  \"代表写真\": \"0\",\n  \"提出頻度写真\": \"1\",\n"
      "  \"参考図ファイル名\": [\n   \"D0000001.JPG\",\n   \"D0000002.JPG\"\n  ],\n"
      "  \"extra\": [\n   {\n    \"element\": \"撮影者\",\n    \"value\": \"山田\"\n   }\n  ]\n }\n]\n";
  struct Case {
    std::string Args;
    int Code;
    std::string Out;  // the whole output, or its first line when it ends in "..."
    std::string Err;  // a part of the message
  };
  const Case cases[] = {
      // The second folder is the delivery's second medium: its photo is found.
      {m1 + " " + m2, 0, row1 + "2\tP0000002.JPG\t1\t2\t工事\t施工状況写真\t\t\t\t掘削状況\t\t2024-05-10\t0\t1\t\n" + row3, ""},
      {m1, 0, row1 + "2\tP0000002.JPG\t0\t2\t工事\t施工状況写真\t\t\t\t掘削状況\t\t2024-05-10\t0\t1\t\n" + row3, ""},
      // Another delivery replaces the one loaded.
      {m1 + " " + c, 0, "1\tP0000001.JPG\t1\t1\t工事\t施工状況写真\t\t\t\t掘削状況\t\t2024-05-10\t0\t1\t\n", ""},
      {m2 + " " + m1 + " --format json", 0, json2.substr(0, json2.rfind("\n]")) + ",...", ""},
      {m1 + " " + m2 + " --check", 1, "P0000003.JPG\t撮影年月日\t工期外の日付（着手前の撮影もあるため警告）\n", ""},
      {"--check " + m1, 1,
       "P0000002.JPG\t写真ファイル名\t2枚目のメディアが読み込まれていません\nP0000003.JPG\t撮影年月日\t工期外の日付（着手前の撮影もあるため警告）\n", ""},
      {m1 + " --check --format=json", 1,
       "[\n {\n  \"写真ファイル名\": \"P0000002.JPG\",\n  \"項目名\": \"写真ファイル名\",\n  \"状態\": \"2枚目のメディアが読み込まれていません\"\n },\n"
       " {\n  \"写真ファイル名\": \"P0000003.JPG\",\n  \"項目名\": \"撮影年月日\",\n  \"状態\": \"工期外の日付（着手前の撮影もあるため警告）\"\n }\n]\n",
       ""},
      {c + " --check", 0, "", ""},
      {c + " --check --format json", 0, "[]\n", ""},
      {m2, 2, "", "PHOTO.XML"},
      {d / "none", 2, "", "not a folder"},
      {m1 + " --format csv", 2, "", "--format"},
      {m1 + " --format", 2, "", "--format"},
      {"", 2, "", "missing FOLDER"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.Args);
    const test::ToolRun r = Photos(k.Args);
    EXPECT_EQ(r.code, k.Code) << r.err;
    if (k.Out.size() > 3 && k.Out.compare(k.Out.size() - 3, 3, "...") == 0) {
      EXPECT_EQ(r.out.substr(0, k.Out.size() - 3), k.Out.substr(0, k.Out.size() - 3));
    } else {
      EXPECT_EQ(r.out, k.Out);
    }
    if (k.Err.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(k.Err), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(test::TreeSnapshot(d.Path()), before);
  test::SetTreeReadOnly(d.Path(), false);
}

// The photo findings of a delivery loaded from `folders`, by the photo
// check ("項目名|状態|severity") and by the full check (each row whole).
struct TBothChecks {
  std::multiset<std::string> Photo;
  std::multiset<std::string> Full;
};
TBothChecks BothChecks(const std::vector<std::string>& folders) {
  TFixedDriveScope fixed;
  DeliveryStore store;
  TViewerModel model(store);
  for (const std::string& f : folders) model.View.Load(f);
  TBothChecks both;
  for (const TFinding& f : RunExtendedCheck(ExtendedInputFor(model.View)))
    both.Full.insert(SeverityName(f.Severity) + "|" + f.Medium + "|" + f.Path + "|" + f.Rule + "|" + f.Found);
  std::vector<TPhotoMedium> media;
  for (const auto& m : model.View.ReachableMedia()) media.push_back({m.MediaNo, m.Folder});
  TPhotoStore photos;
  photos.Load(media);
  const TMdlTreeNodeIndex& index = store.IndexRecords[fkIndex];
  for (const TPhotoFinding& f : CheckPhotos(photos, {index.StartDate, index.EndDate}))
    both.Photo.insert(f.Field + "|" + f.State + "|" + (f.Warning ? "警告" : "エラー"));
  return both;
}

// A photo management file that cannot be read whole is no success: the
// records before its break are listed, the reason goes to stderr, exit 1.
TEST(CliPhotos, APhotoFileReadOnlyInPartIsAFailureNotASuccess) {
  test::ScratchDir d;
  d.WriteSjis("c/INDEX_C.XML", test::IndexXml(1, 1, "2024-04-01", "2024-09-30"));
  std::vector<test::PhotoSpec> specs(2);
  specs[0].Serial = "1", specs[0].FileName = "P0000001.JPG";
  specs[1].Serial = "2", specs[1].FileName = "P0000002.JPG";
  const std::string whole = test::PhotoXml(specs);
  std::string noise(100 * 1024, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919u + 13u) % 251u);
  const struct {
    const char* What;
    std::string Bytes;
    bool Sjis;
    int Listed;  // records listed before the break
  } cases[] = {
      {"random bytes", noise, false, 0},
      {"cut after the first record", whole.substr(0, whole.find("</写真情報>") + std::string("</写真情報>").size() + 5),
       true, 1},
      {"an entity loop",
       "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!DOCTYPE photodata [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]>\n"
       "<photodata>&a;</photodata>\n",
       true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    if (c.Sjis)
      d.WriteSjis("c/PHOTO/PHOTO.XML", c.Bytes, false);
    else
      d.WriteBytes("c/PHOTO/PHOTO.XML", c.Bytes);
    for (const char* mode : {"", " --check"}) {
      const test::ToolRun r = Photos(d / "c" + mode);
      EXPECT_EQ(r.code, 1) << mode;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_NE(r.err.find("PHOTO.XML"), std::string::npos) << r.err;
      if (*mode == '\0') {
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), c.Listed) << r.out;
      }
    }
  }
}

TEST(PhotoRules, TheFullCheckAndThePhotoCheckFindEachPlantedMistakeAlike) {
  // Each plant changes a copy of the clean sample; the photo check then
  // finds exactly the one finding given, and the full check the same as
  // its row (rule 写真・項目名, the same severity) beside what it found on
  // the clean copy, and beside general rows of its own when given.
  struct TPlant {
    const char* What;
    std::function<void(test::ScratchDir&, std::string& xml)> Plant;
    std::string Field, State, Severity, Path;
    std::set<std::string> General{};  // the full check's own rows on the same mistake ("severity|path|rule")
  };
  // Replaces `from` by `to` in the record of `photo` (the first after its name).
  auto inRecord = [](std::string& xml, const std::string& photo, const std::string& from, const std::string& to) {
    const std::size_t at = xml.find(from, xml.find("<写真ファイル名>" + photo));
    ASSERT_NE(at, std::string::npos) << photo << " " << from;
    xml.replace(at, from.size(), to);
  };
  const std::vector<TPlant> plants = {
      {"one photo file listed by two records",
       [&](test::ScratchDir& d, std::string& xml) {
         inRecord(xml, "P0000002.JPG", "P0000002.JPG", "P0000001.JPG");
         std::filesystem::remove(d / "c/PHOTO/PIC/P0000002.JPG");
       },
       "写真ファイル名", "2件の記録（シリアル番号 1、2）が同じファイルを指しています", "エラー", "PHOTO/PIC/P0000001.JPG"},
      {"代表写真 neither 0 nor 1",
       [&](test::ScratchDir&, std::string& xml) { inRecord(xml, "P0000003.JPG", "<代表写真>0<", "<代表写真>2<"); },
       "代表写真", "0 か 1 ではない値", "エラー", "PHOTO/PIC/P0000003.JPG"},
      {"提出頻度写真 neither 0 nor 1",
       [&](test::ScratchDir&, std::string& xml) { inRecord(xml, "P0000003.JPG", "<提出頻度写真>1<", "<提出頻度写真>あ<"); },
       "提出頻度写真", "0 か 1 ではない値", "エラー", "PHOTO/PIC/P0000003.JPG"},
      {"撮影年月日 written with slashes",
       [&](test::ScratchDir&, std::string& xml) {
         inRecord(xml, "P0000004.JPG", "<撮影年月日>2023-04-12<", "<撮影年月日>2023/04/20<");
       },
       "撮影年月日", "日付が不正", "エラー", "PHOTO/PIC/P0000004.JPG"},
      {"撮影年月日 before the construction period: a warning",
       [&](test::ScratchDir& d, std::string& xml) {
         inRecord(xml, "P0000004.JPG", "<撮影年月日>2023-04-12<", "<撮影年月日>2023-04-09<");
         d.WriteBytes("c/PHOTO/PIC/P0000004.JPG", test::MakeJpeg(1280, 960, {"2023:04:09 08:00:00", "", 1}));
       },
       "撮影年月日", "工期外の日付（着手前の撮影もあるため警告）", "警告", "PHOTO/PIC/P0000004.JPG"},
      {"an empty 写真タイトル",
       [&](test::ScratchDir&, std::string& xml) {
         inRecord(xml, "P0000004.JPG", "<写真タイトル>工事看板設置状況<", "<写真タイトル><");
       },
       "写真タイトル", "情報未記入", "エラー", "PHOTO/PIC/P0000004.JPG"},
      {"a photo stored in lower case",
       [&](test::ScratchDir& d, std::string&) {
         std::filesystem::rename(d / "c/PHOTO/PIC/P0000020.JPG", d / "c/PHOTO/PIC/p0000020.jpg");
       },
       "写真ファイル名", "大文字・小文字の違う名前（p0000020.jpg）で保存", "エラー", "PHOTO/PIC/p0000020.jpg"},
      {"a listed photo missing",
       [&](test::ScratchDir& d, std::string&) { std::filesystem::remove(d / "c/PHOTO/PIC/P0000022.JPG"); },
       "写真ファイル名", "ファイルなし", "エラー", "PHOTO/PIC/P0000022.JPG"},
      {"a photo named against the photo naming rule",
       [&](test::ScratchDir& d, std::string& xml) {
         inRecord(xml, "P0000021.JPG", "P0000021.JPG", "PIC00021.JPG");
         std::filesystem::rename(d / "c/PHOTO/PIC/P0000021.JPG", d / "c/PHOTO/PIC/PIC00021.JPG");
       },
       "写真ファイル名", "ファイル名が不正", "エラー", "PHOTO/PIC/PIC00021.JPG"},
      {"an Exif date other than 撮影年月日",
       [&](test::ScratchDir& d, std::string&) {
         d.WriteBytes("c/PHOTO/PIC/P0000004.JPG", test::MakeJpeg(1280, 960, {"2023:04:13 09:00:00", "", 1}));
       },
       "撮影年月日", "Exif撮影日（2023-04-13）と不一致", "エラー", "PHOTO/PIC/P0000004.JPG"},
  };
  const TBothChecks clean = BothChecks({test::SamplePath("clean")});
  for (const TPlant& p : plants) {
    SCOPED_TRACE(p.What);
    test::ScratchDir d;
    test::CopyTree(test::SamplePath("clean"), d / "c");
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(d / "c/PHOTO/PHOTO.XML", bytes));
    std::string xml = Cp932ToUtf8(bytes);
    p.Plant(d, xml);
    d.WriteSjis("c/PHOTO/PHOTO.XML", xml, false);

    const TBothChecks both = BothChecks({d / "c"});
    EXPECT_EQ(both.Photo, std::multiset<std::string>{p.Field + "|" + p.State + "|" + p.Severity});
    // The rows added, without what they found (and the general rows
    // without their medium column).
    std::set<std::string> added;
    for (const std::string& row : both.Full) {
      if (clean.Full.count(row)) continue;
      std::string key = row.substr(0, row.rfind('|'));
      if (key.find("|写真・") == std::string::npos) key.erase(key.find('|') + 1, key.find('|', key.find('|') + 1) - key.find('|'));
      added.insert(key);
    }
    std::set<std::string> expected = p.General;
    expected.insert(p.Severity + "|1|" + p.Path + "|写真・" + p.Field);
    EXPECT_EQ(added, expected);
    const std::string photoRow = p.Severity + "|1|" + p.Path + "|写真・" + p.Field + "|" + p.State;
    EXPECT_EQ(both.Full.count(photoRow), 1u) << photoRow;
  }
  // A photo of each medium moved to the other: one row each, on the medium
  // that holds it.
  {
    SCOPED_TRACE("a photo on another medium than its record names");
    test::ScratchDir d;
    test::CopyTree(test::SamplePath("multi/MEDIA1"), d / "MEDIA1");
    test::CopyTree(test::SamplePath("multi/MEDIA2"), d / "MEDIA2");
    std::filesystem::rename(d / "MEDIA2/PHOTO/PIC/P0000015.JPG", d / "MEDIA1/PHOTO/PIC/P0000015.JPG");
    std::filesystem::rename(d / "MEDIA1/PHOTO/PIC/P0000003.JPG", d / "MEDIA2/PHOTO/PIC/P0000003.JPG");
    const TBothChecks both = BothChecks({d / "MEDIA1", d / "MEDIA2"});
    const std::string onFirst = "2枚目のメディアになく、1枚目にあります", onSecond = "1枚目のメディアになく、2枚目にあります";
    EXPECT_EQ(both.Photo, (std::multiset<std::string>{"写真ファイル名|" + onFirst + "|エラー",
                                                      "写真ファイル名|" + onSecond + "|エラー"}));
    std::vector<std::string> problems;
    for (const std::string& row : both.Full)
      if (row.rfind("情報|", 0) != 0) problems.push_back(row);
    EXPECT_EQ(problems, (std::vector<std::string>{"エラー|1|PHOTO/PIC/P0000015.JPG|写真・写真ファイル名|" + onFirst,
                                                  "エラー|2|PHOTO/PIC/P0000003.JPG|写真・写真ファイル名|" + onSecond}));
  }
  // The clean sample and the two media of another give no photo finding.
  for (const std::vector<std::string>& folders :
       {std::vector<std::string>{test::SamplePath("clean")},
        std::vector<std::string>{test::SamplePath("multi/MEDIA1"), test::SamplePath("multi/MEDIA2")}}) {
    const TBothChecks both = folders.size() == 1 ? clean : BothChecks(folders);
    EXPECT_EQ(both.Photo, std::multiset<std::string>{});
    for (const std::string& row : both.Full) EXPECT_EQ(row.find("|写真・"), std::string::npos) << row;
  }
}

}  // namespace
}  // namespace dlvr
