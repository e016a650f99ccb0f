// Comparing a delivery with a corrected copy of it: each kind of change
// planted alone in a copy of the clean sample, and exactly that change found.
#include "compare/delivery_diff.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <regex>
#include <thread>

#include <unistd.h>

#include "check/viewer_model.h"
#include "delivery/prompts.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// A change as one line: change, what, where, old, new.
std::vector<std::string> ChangeRows(const std::vector<TChange>& changes) {
  std::vector<std::string> rows;
  for (const TChange& c : changes)
    rows.push_back(std::string(TChange::KindName(c.Kind)) + "\t" + TChange::WhatName(c.What) + "\t" + c.Where + "\t" +
                   c.Old + "\t" + c.New);
  return rows;
}

std::vector<std::string> Compared(const std::vector<std::string>& older, const std::vector<std::string>& newer) {
  test::FixedDrives fixed;
  return ChangeRows(CompareDeliveries(ReadComparedDelivery(older), ReadComparedDelivery(newer)));
}

// A management file of the copy edited as text: `edit` gets and returns
// the text as UTF-8; the file stays Shift-JIS.
void EditSjisFile(const std::string& path, const std::function<std::string(std::string)>& edit) {
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes)) << path;
  const std::string edited = Utf8ToCp932(edit(Cp932ToUtf8(bytes)));
  ASSERT_NE(edited, bytes) << "nothing planted in " << path;
  ASSERT_TRUE(ReplaceWholeFile(path, edited));
}

std::function<std::string(std::string)> Replacing(std::string from, std::string to) {
  return [from, to](std::string text) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
}

// The n-th (from 0) record element of a sub-management file.
std::size_t NthRecord(const std::string& text, const std::string& element, int n) {
  std::size_t at = text.find("<" + element + ">");
  for (; n > 0 && at != std::string::npos; --n) at = text.find("<" + element + ">", at + 1);
  return at;
}

struct DiffCase {
  const char* Name;
  std::function<void(const std::string& copy)> Plant;
  std::vector<std::string> Expected;
  // When given, OLD is a copy of the sample with this planted too.
  std::function<void(const std::string& copy)> PlantOld = nullptr;
};

void PlantWeather(const std::string& d, const std::string& weather) {
  EditSjisFile(d + "PHOTO/PHOTO.XML", Replacing("<撮影年月日>2023-04-10</撮影年月日>",
                                                "<撮影年月日>2023-04-10</撮影年月日><天候>" + weather + "</天候>"));
}

const std::vector<DiffCase>& DiffCases() {
  static const std::vector<DiffCase> cases = {
      {"NothingPlanted", [](const std::string&) {}, {}},
      {"ConstructionField",
       [](const std::string& d) { EditSjisFile(d + "INDEX_C.XML", Replacing("（その2）</工事名称>", "（その3）</工事名称>")); },
       {"changed\tfield\tINDEX_C.XML / 工事名称\t県道見本線道路改良工事（その2）\t県道見本線道路改良工事（その3）"}},
      {"ListItemInsertedFirst",
       [](const std::string& d) {
         EditSjisFile(d + "INDEX_C.XML", Replacing("<工種>道路土工</工種>", "<工種>区画線工</工種><工種>道路土工</工種>"));
       },
       {"added\tfield\tINDEX_C.XML / 工種[1]\t\t区画線工"}},
      {"DrawingField",
       [](const std::string& d) {
         EditSjisFile(d + "DRAWINGS/DRAWINGS.XML", Replacing("<図面名>位置図</図面名>", "<図面名>案内図</図面名>"));
       },
       {"changed\tfield\t発注図面 / D0LC001Z.P21 / 図面名\t位置図\t案内図"}},
      {"MeetingInsertedAndLaterOnesRenumbered",
       [](const std::string& d) {
         EditSjisFile(d + "MEET/MEET.XML", [](std::string t) {
           t.insert(NthRecord(t, "打合せ簿情報", 1),
                    "<打合せ簿情報><シリアル番号>0</シリアル番号><打合せ簿種類>協議</打合せ簿種類>"
                    "<打合せ簿名称>追加の協議について</打合せ簿名称></打合せ簿情報>\r\n\t");
           // Every record numbered again from 1.
           std::string out;
           int n = 0;
           std::regex serial("<シリアル番号>[0-9]+</シリアル番号>");
           auto it = std::sregex_iterator(t.begin(), t.end(), serial);
           std::size_t last = 0;
           for (; it != std::sregex_iterator(); ++it) {
             out += t.substr(last, static_cast<std::size_t>(it->position()) - last) + "<シリアル番号>" +
                    std::to_string(++n) + "</シリアル番号>";
             last = static_cast<std::size_t>(it->position() + it->length());
           }
           return out + t.substr(last);
         });
       },
       {"added\trecord\t打合せ簿 / 追加の協議について\t\t"}},
      {"MeetingRemovedStandsWhereItWas",
       [](const std::string& d) {
         EditSjisFile(d + "MEET/MEET.XML", [](std::string t) {
           const std::size_t from = NthRecord(t, "打合せ簿情報", 1), to = NthRecord(t, "打合せ簿情報", 2);
           t.erase(from, to - from);
           return Replacing("<打合せ簿番号>K-003</打合せ簿番号>", "<打合せ簿番号>K-003a</打合せ簿番号>")(t);
         });
       },
       {"removed\trecord\t打合せ簿 / 使用材料の承諾について（再生砕石）\t\t",
        "changed\tfield\t打合せ簿 / 工程表の変更について / 打合せ簿番号\tK-003\tK-003a"}},
      {"OriginalFileRenamedMatchesByNameAndDate",
       [](const std::string& d) {
         ASSERT_EQ(std::rename((d + "MEET/ORG/0002_03.PDF").c_str(), (d + "MEET/ORG/0002_09.PDF").c_str()), 0);
         EditSjisFile(d + "MEET/MEET.XML", Replacing(">0002_03.PDF<", ">0002_09.PDF<"));
       },
       {"changed\tfield\t打合せ簿 / 使用材料の承諾について（再生砕石） / オリジナルファイル情報[3] / "
        "打合せ簿オリジナルファイル名\t0002_03.PDF\t0002_09.PDF",
        "moved\tfile\tMEET/ORG/0002_09.PDF\tMEET/ORG/0002_03.PDF\tMEET/ORG/0002_09.PDF"}},
      {"PhotoField",
       [](const std::string& d) {
         EditSjisFile(d + "PHOTO/PHOTO.XML", Replacing("<写真タイトル>着手前全景<", "<写真タイトル>着手前の全景<"));
       },
       {"changed\tfield\t写真 / P0000001.JPG / 写真タイトル\t着手前全景\t着手前の全景"}},
      {"PhotoElementTheReaderDoesNotKnowAdded", [](const std::string& d) { PlantWeather(d, "晴れ"); },
       {"added\tfield\t写真 / P0000001.JPG / 撮影情報/天候\t\t晴れ"}},
      {"PhotoElementTheReaderDoesNotKnowChanged", [](const std::string& d) { PlantWeather(d, "曇り"); },
       {"changed\tfield\t写真 / P0000001.JPG / 撮影情報/天候\t晴れ\t曇り"},
       [](const std::string& d) { PlantWeather(d, "晴れ"); }},
      {"ContentChangedAtTheSameSize",
       [](const std::string& d) {
         std::string bytes;
         ASSERT_TRUE(ReadWholeFile(d + "DRAWINGS/SPEC/TOKKI02.TXT", bytes));
         bytes[bytes.size() / 2] ^= 1;
         ASSERT_TRUE(ReplaceWholeFile(d + "DRAWINGS/SPEC/TOKKI02.TXT", bytes));
       },
       {"changed\tfile\tDRAWINGS/SPEC/TOKKI02.TXT\t\t"}},
      {"FileGrownAndFileAdded",
       [](const std::string& d) {
         std::string bytes;
         ASSERT_TRUE(ReadWholeFile(d + "MEET/ORG/0001_03.TXT", bytes));
         ASSERT_TRUE(ReplaceWholeFile(d + "MEET/ORG/0001_03.TXT", bytes + "\r\n"));
         ASSERT_TRUE(WriteWholeFile(d + "MEET/ORG/0001_04.TXT", "new"));
       },
       {"changed\tfile\tMEET/ORG/0001_03.TXT\t\t", "added\tfile\tMEET/ORG/0001_04.TXT\t\t"}},
      {"NameInOtherCaseIsTheSameFile",
       [](const std::string& d) {
         ASSERT_EQ(std::rename((d + "DRAWINGS/SPEC/TOKKI02.TXT").c_str(), (d + "DRAWINGS/SPEC/tokki02.txt").c_str()), 0);
       },
       {}},
      {"NamesDifferingInCaseAloneAreFilesOfTheirOwn",
       [](const std::string& d) {
         ASSERT_TRUE(WriteWholeFile(d + "DRAWINGS/SPEC/Tokki02.txt", "x"));
         ASSERT_TRUE(WriteWholeFile(d + "DRAWINGS/SPEC/tokki02.txt", "y"));
       },
       {"added\tfile\t1:DRAWINGS/SPEC/Tokki02.txt\t\t", "added\tfile\t1:DRAWINGS/SPEC/tokki02.txt\t\t"}},
      {"ManagementFileComparedAsRecordsOnlyItsDtdAsAFile",
       [](const std::string& d) {
         EditSjisFile(d + "MEET/MEET.XML", [](std::string t) { return t + "\r\n"; });
         EditSjisFile(d + "MEET/MEET02.DTD", [](std::string t) { return t + "<!-- corrected -->\r\n"; });
       },
       {"changed\tfile\tMEET/MEET02.DTD\t\t"}},
      {"FileRemoved",
       [](const std::string& d) { ASSERT_EQ(std::remove((d + "PLAN/PLAN02.DTD").c_str()), 0); },
       {"removed\tfile\tPLAN/PLAN02.DTD\t\t"}},
  };
  return cases;
}

class DeliveryDiffCase : public ::testing::TestWithParam<DiffCase> {};

TEST_P(DeliveryDiffCase, FindsExactlyThePlantedChange) {
  test::ScratchDir scratch;
  const std::string copy = scratch / "new/";
  test::CopyTree(test::SamplePath("clean"), copy);
  GetParam().Plant(copy);
  std::string older = test::SamplePath("clean");
  if (GetParam().PlantOld) {
    older = scratch / "old/";
    test::CopyTree(test::SamplePath("clean"), older);
    GetParam().PlantOld(older);
  }
  if (HasFatalFailure()) return;
  const std::vector<std::string> before = test::TreeSnapshot(copy);
  EXPECT_EQ(Compared({older}, {copy}), GetParam().Expected);
  EXPECT_EQ(test::TreeSnapshot(copy), before) << "the compare wrote into a delivery";
}

INSTANTIATE_TEST_SUITE_P(Planted, DeliveryDiffCase, ::testing::ValuesIn(DiffCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(DeliveryDiff, ASecondMediumAddsItsFilesTheFirstMediumsPathsMarkedByNumber) {
  const std::string media1 = test::SamplePath("multi/MEDIA1"), media2 = test::SamplePath("multi/MEDIA2");
  const std::vector<std::string> rows = Compared({media1}, {media1, media2});
  std::vector<std::string> expected;
  for (const char* path :
       {"2:DRAWINGF/DRAW02.DTD", "2:DRAWINGS/DRAW02.DTD", "2:INDE_C02.DTD", "2:MEET/MEET02.DTD", "2:OTHRS/OTHRS02.DTD",
        "2:PHOTO/DRA/D0000001.JPG", "2:PHOTO/PHOTO.DTD", "2:PLAN/PLAN02.DTD", "DRAWINGF/C0AS001Z.P21",
        "DRAWINGF/C0GS001Z.P21", "DRAWINGS/D0GS001Z.P21", "MEET/ORG/0005_02.JPG", "MEET/ORG/0006_01.PDF",
        "MEET/ORG/0006_02.TXT", "MEET/ORG/0007_01.PDF", "MEET/ORG/0007_02.PDF", "MEET/ORG/0008_01.PDF",
        "MEET/ORG/0008_02.JPG", "OTHRS/ORG/O001_01.PDF", "OTHRS/ORG/O002_01.PDF", "OTHRS/ORG/O002_02.JPG",
        "PHOTO/DRA/D0000002.JPG", "PHOTO/PIC/P0000012.JPG", "PHOTO/PIC/P0000013.JPG", "PHOTO/PIC/P0000014.JPG",
        "PHOTO/PIC/P0000015.JPG", "PHOTO/PIC/P0000016.JPG", "PHOTO/PIC/P0000017.JPG", "PHOTO/PIC/P0000018.JPG",
        "PHOTO/PIC/P0000019.JPG"})
    expected.push_back(std::string("added\tfile\t") + path + "\t\t");
  EXPECT_EQ(rows, expected);
}

TEST(DeliveryDiff, TheViewersLoadedDeliveryIsTheDeliveryReadFromItsFolders) {
  test::FixedDrives fixed;
  DeliveryStore store;
  TViewerModel model(store);
  model.View.MakeWorkCopies = false;
  model.View.Load(test::SamplePath("multi/MEDIA1"));
  model.View.Load(test::SamplePath("multi/MEDIA2"));
  const TComparedDelivery read =
      ReadComparedDelivery({test::SamplePath("multi/MEDIA1"), test::SamplePath("multi/MEDIA2")});
  EXPECT_EQ(ChangeRows(CompareDeliveries(ComparedDeliveryOf(model.View), read)), std::vector<std::string>{});
  EXPECT_FALSE(read.Photos.empty());
}

TEST(DeliveryDiff, AWorkerReadsTheEarlierDeliveryAsFixedDisksAsksNobodyAndStopsWhenTold) {
  // The process takes every drive for a CD-ROM (each medium would be asked
  // for) and shows its messages; a worker's read keeps to its own rules.
  SetDriveTypeOverride([](const std::string&) { return DriveType::CdRom; });
  test::ScriptedPrompts prompts;
  prompts.Fallback = DialogAnswer::Cancel;
  const std::vector<std::string> folders{test::SamplePath("multi/MEDIA1"), test::SamplePath("multi/MEDIA2")};
  struct Row {
    bool cancel;
    std::size_t media;  // media read
    bool changes;       // changes found against the first medium alone
  } const rows[] = {{false, 2, true}, {true, 0, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cancel ? "cancelled" : "running");
    std::atomic<bool> cancel{row.cancel};
    TReadComparedOptions options;
    options.Cancel = &cancel;
    TComparedDelivery read, first;
    std::vector<TChange> changes;
    DriveType after = DriveType::Unknown;
    std::thread worker([&] {
      read = ReadComparedDelivery(folders, nullptr, options);
      first = ReadComparedDelivery({folders[0]});
      TCompareOptions compare;
      compare.Cancel = &cancel;
      changes = CompareDeliveries(first, read, compare);
      after = GetDriveType(folders[0]);
    });
    worker.join();
    EXPECT_EQ(read.Media.size(), row.media);
    EXPECT_EQ(read.Photos.empty(), row.media == 0);
    EXPECT_EQ(!changes.empty(), row.changes);
    EXPECT_TRUE(prompts.Shown.empty());
    // Neither the worker after its reads nor this thread lost the process's rules.
    EXPECT_EQ(after, DriveType::CdRom);
    EXPECT_EQ(GetDriveType(folders[0]), DriveType::CdRom);
  }
  SetDriveTypeOverride(nullptr);
}

TEST(DeliveryDiff, ALinkLeadingOutOfTheMediumIsNoFileOfIt) {
  test::ScratchDir scratch;
  const std::string copy = scratch / "new/";
  test::CopyTree(test::SamplePath("clean"), copy);
  scratch.WriteBytes("outside/secret.txt", "secret");
  ASSERT_EQ(::symlink((scratch / "outside/secret.txt").c_str(), (copy + "MEET/ORG/LINK.TXT").c_str()), 0);
  ASSERT_EQ(::symlink((copy + "MEET/ORG/0001_03.TXT").c_str(), (copy + "MEET/ORG/INSIDE.TXT").c_str()), 0);
  ASSERT_EQ(::symlink(scratch.Path().c_str(), (copy + "MEET/LOOP").c_str()), 0);
  EXPECT_EQ(Compared({test::SamplePath("clean")}, {copy}),
            std::vector<std::string>{"added\tfile\tMEET/ORG/INSIDE.TXT\t\t"});
}

}  // namespace
}  // namespace dlvr
