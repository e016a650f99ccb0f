// dlvr photos --ledger: the photo ledger written by the tool on deliveries
// made in the test, read back page by page as text (pdftotext).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "components/photo_ledger.h"
#include "photo/photo_fixtures.h"
#include "support/fixtures.h"
#include "support/run_tool.h"

namespace dlvr {
namespace {

test::ToolRun LedgerRun(const std::string& args) { return test::RunCaptured(std::string(DLVR_CLI) + " photos " + args); }

// The text of one page of a PDF ("" when there is no such page).
std::string LedgerPageText(const std::string& pdf, int page) {
  const std::string n = std::to_string(page);
  return test::RunCaptured("pdftotext -q -f " + n + " -l " + n + " '" + pdf + "' -").out;
}

int LedgerPageCount(const std::string& pdf) {
  const std::string info = test::RunCaptured("pdfinfo '" + pdf + "'").out;
  const std::size_t at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// A photo record with every field the ledger prints; its serial names its
// title (題名S), place (箇所S) and reference drawing (D00000S.JPG).
std::string LedgerRecordXml(int serial, const std::string& division, const std::string& workType) {
  const std::string s = std::to_string(serial);
  test::PhotoSpec spec;
  spec.Serial = s;
  spec.FileName = "P000000" + s + ".JPG";
  spec.Division = division;
  spec.Title = "題名" + s;
  spec.Date = "2024-05-0" + s;
  spec.Representative = serial == 1 ? "1" : "0";
  spec.Drawings = {"D000000" + s + ".JPG"};
  std::string x = test::PhotoRecordXml(spec);
  const std::string groups = "</写真区分>\n<工種>" + workType + "</工種>\n<種別>種別" + workType + "</種別>\n<細別>細別" + workType + "</細別>";
  x.replace(x.find("</写真区分>"), std::string("</写真区分>").size(), groups);
  x.replace(x.find("<撮影情報>\n"), std::string("<撮影情報>\n").size(), "<撮影情報>\n<撮影箇所>箇所" + s + "</撮影箇所>\n");
  return x;
}

// Seven photos in two groups met in turn in the file, serials out of file
// order: printed as group 舗装工 (1 3 5 7) then group 土工 (2 4 6). Photo 4 has
// no file, photo 6 a file that is no image.
struct LedgerDelivery {
  test::ScratchDir Dir;
  std::string Folder = Dir / "d";
  LedgerDelivery() {
    const int fileOrder[] = {5, 2, 1, 4, 7, 6, 3};
    std::string records;
    for (int s : fileOrder)
      records += s % 2 ? LedgerRecordXml(s, "施工状況写真", "舗装工") : LedgerRecordXml(s, "品質管理写真", "土工");
    std::string xml = test::PhotoXml({});
    xml.insert(xml.find("</photodata>"), records);
    Dir.WriteSjis("d/INDEX_C.XML", test::IndexXml(1, 1, "2024-04-01", "2024-09-30"));
    Dir.WriteSjis("d/PHOTO/PHOTO.XML", xml);
    const std::string jpeg = test::MakeJpeg(640, 480, {"", "", 6});
    for (int s : {1, 2, 3, 5, 7}) Dir.WriteBytes("d/PHOTO/PIC/P000000" + std::to_string(s) + ".JPG", jpeg);
    Dir.WriteBytes("d/PHOTO/PIC/P0000006.JPG", "not an image at all");
  }
};

// Records with their group levels (写真-大分類, 写真区分, 工種), in file order.
std::vector<TPhotoRecord> LedgerRecords(const std::vector<std::vector<std::string>>& groups) {
  std::vector<TPhotoRecord> records;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    TPhotoRecord r;
    r.Serial = std::to_string(groups.size() - i);  // serials against file order
    const auto& g = groups[i];
    if (g.size() > 0) r.MajorClass = g[0];
    if (g.size() > 1) r.Division = g[1];
    if (g.size() > 2) r.WorkType = g[2];
    records.push_back(r);
  }
  return records;
}

TEST(PhotoLedgerOrder, GroupsStandAsTheTreeShowsThemEachInTheSortAsked) {
  // No group first; a group's own photos before its subgroups'; groups as
  // they first come in the file; within a group by serial.
  const auto records = LedgerRecords({{"工事", "X", "a"}, {"工事", "Y"}, {"工事", "X"}, {}, {"工事", "X", "a"}, {"工事", "Y"}});
  TPhotoIndex index;
  index.Build(records);
  std::vector<int> rows = {0, 1, 2, 3, 4, 5};
  index.SortGrouped(rows, TPhotoSort::Serial);
  EXPECT_EQ(rows, (std::vector<int>{3, 2, 4, 0, 5, 1}));
}

TEST(PhotoLedgerOrder, PagesHoldThePerPageCountAndAGroupBeginsOneWhenAsked) {
  const auto records = LedgerRecords({{"A"}, {"A"}, {"A"}, {"B"}, {"B"}});
  TPhotoIndex index;
  index.Build(records);
  const std::vector<int> rows = {0, 1, 2, 3, 4};
  struct Case {
    int perPage;
    bool groupPerPage;
    std::vector<std::size_t> sizes;
  };
  for (const Case& c : std::vector<Case>{{2, false, {2, 2, 1}}, {2, true, {2, 1, 2}}, {3, true, {3, 2}},
                                         {4, false, {4, 1}}, {4, true, {3, 2}}, {7, false, {3, 2}}}) {
    SCOPED_TRACE(std::to_string(c.perPage) + (c.groupPerPage ? " by group" : ""));
    TPhotoLedgerOptions options;
    options.PerPage = c.perPage;
    options.GroupPerPage = c.groupPerPage;
    std::vector<std::size_t> sizes;
    for (const auto& page : PhotoLedgerPages(index, rows, options)) sizes.push_back(page.size());
    EXPECT_EQ(sizes, c.sizes);
  }
  EXPECT_TRUE(PhotoLedgerPages(index, {}, TPhotoLedgerOptions()).empty());
}

TEST(CliPhotoLedger, PagesHoldThePhotosInGroupOrderEachWithItsFields) {
  LedgerDelivery d;
  const std::vector<int> printed = {1, 3, 5, 7, 2, 4, 6};
  for (int per : {2, 3, 4}) {
    SCOPED_TRACE(per);
    const std::string pdf = d.Dir / ("ledger" + std::to_string(per) + ".pdf");
    const auto run = LedgerRun(d.Folder + " --ledger " + pdf + " --per-page " + std::to_string(per));
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.err.find("P0000004.JPG: 写真ファイルがありません"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("P0000006.JPG: 写真ファイルを画像として読めません"), std::string::npos) << run.err;
    const int pages = (7 + per - 1) / per;
    ASSERT_EQ(LedgerPageCount(pdf), pages);
    for (std::size_t k = 0; k < printed.size(); ++k) {
      const int page = static_cast<int>(k) / per + 1;
      const std::string text = LedgerPageText(pdf, page);
      const std::string s = std::to_string(printed[k]);
      SCOPED_TRACE("photo " + s + " on page " + std::to_string(page));
      EXPECT_NE(text.find("写真テスト工事"), std::string::npos);
      EXPECT_NE(text.find(std::to_string(page) + " / " + std::to_string(pages)), std::string::npos);
      const bool paved = printed[k] % 2;
      for (const std::string& field : {"題名" + s, "箇所" + s, "2024-05-0" + s, "D000000" + s + ".JPG",
                                       std::string(paved ? "施工状況写真" : "品質管理写真"),
                                       std::string(paved ? "種別舗装工" : "種別土工"), std::string(paved ? "細別舗装工" : "細別土工")})
        EXPECT_NE(text.find(field), std::string::npos) << field;
      // After the photo printed before it on the same page.
      if (k % per != 0) {
        EXPECT_LT(text.find("題名" + std::to_string(printed[k - 1])), text.find("題名" + s));
      }
      if (printed[k] == 4) {
        EXPECT_NE(text.find("写真ファイルがありません"), std::string::npos);
      }
      if (printed[k] == 6) {
        EXPECT_NE(text.find("写真ファイルを画像として読めません"), std::string::npos);
      }
      if (printed[k] == 1) {
        EXPECT_NE(text.find("○"), std::string::npos);
      }
    }
    EXPECT_EQ(LedgerPageText(pdf, pages + 1), "");
  }
}

TEST(CliPhotoLedger, OneGroupAloneIsPrintedAndEveryPhotoPlacedExitsZero) {
  LedgerDelivery d;
  const std::string pdf = d.Dir / "paved.pdf";
  const auto run = LedgerRun(d.Folder + " --ledger " + pdf + " --per-page 2 --group 工事/施工状況写真/舗装工");
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(LedgerPageCount(pdf), 2);
  const std::string first = LedgerPageText(pdf, 1), second = LedgerPageText(pdf, 2);
  EXPECT_LT(first.find("題名1"), first.find("題名3"));
  EXPECT_NE(second.find("題名7"), std::string::npos);
  EXPECT_EQ((first + second).find("題名2"), std::string::npos);
}

TEST(CliPhotoLedger, WrongArgumentsAndALedgerInsideTheDeliveryWriteNothing) {
  LedgerDelivery d;
  const std::string out = d.Dir / "x.pdf";
  const std::string inside = d.Folder + "/PHOTO/x.pdf";
  for (const std::string& args : {d.Folder + " --ledger " + inside, d.Folder + " --ledger " + out + " --per-page 5",
                                  d.Folder + " --per-page 2", d.Folder + " --ledger " + out + " --check",
                                  d.Folder + " --ledger " + out + " --group 無い/グループ"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(LedgerRun(args).code, 2);
  }
  EXPECT_FALSE(std::filesystem::exists(inside));
  EXPECT_FALSE(std::filesystem::exists(out));
}

// A photo of four coloured quarters (red, green at the top, blue, white at
// the bottom; the white one striped with black lines 4 pixels wide every 10)
// stored as `format`, with the shared fixture's EXIF block of `orientation`
// when it is not 0.
std::string LedgerQuarterPhoto(int width, int height, int orientation, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  const QRgb quarters[] = {qRgb(220, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 220), qRgb(250, 250, 250)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int quarter = (y * 2 / height) * 2 + x * 2 / width;
      image.setPixel(x, y, quarter == 3 && x % 10 < 4 ? qRgb(0, 0, 0) : quarters[quarter]);
    }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(95);
  writer.write(image);
  std::string file = bytes.toStdString();
  if (orientation) {
    const std::string exif = test::MakeJpeg(8, 8, {"", "", orientation});
    const std::size_t length = static_cast<unsigned char>(exif[4]) * 256u + static_cast<unsigned char>(exif[5]);
    file.insert(2, exif.substr(2, 2 + length));  // the APP1 segment, right after the start marker
  }
  return file;
}

// The mean difference of two images of one size, over every channel.
double LedgerMeanDifference(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col) {
      const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * x.width() * x.height());
}

TEST(PhotoLedgerImage, PhotosFitTheirBoxTurnedAsTheirExifSaysAndLookAsTheWholePhotoScaled) {
  test::ScratchDir d;
  struct Case {
    const char* name;
    int width, height, orientation;
    const char* format;
    QSize box, expected;
  };
  const Case cases[] = {
      {"decoder's eighths then resampled", 1600, 1200, 0, "jpeg", {843, 633}, {843, 632}},
      {"exactly half", 1686, 1264, 0, "jpeg", {843, 632}, {843, 632}},
      {"just above the box", 880, 660, 1, "jpeg", {843, 633}, {843, 632}},
      {"no eighth a whole size", 1001, 751, 0, "jpeg", {843, 633}, {843, 633}},
      {"far above the box", 1600, 1200, 0, "jpeg", {100, 75}, {100, 75}},
      {"upside down", 1600, 1200, 3, "jpeg", {843, 633}, {843, 632}},
      {"turned right", 1600, 1200, 6, "jpeg", {843, 633}, {474, 633}},
      {"turned and mirrored", 1280, 960, 7, "jpeg", {843, 633}, {474, 633}},
      {"smaller than the box", 400, 300, 0, "jpeg", {843, 633}, {400, 300}},
      {"PNG", 1600, 1200, 0, "png", {843, 633}, {843, 632}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = QString::fromStdString(
        d.WriteBytes(std::string(c.name) + ".img", LedgerQuarterPhoto(c.width, c.height, c.orientation, c.format)));
    const QImage image = DecodeLedgerImage(path, c.box);
    ASSERT_EQ(image.size(), c.expected);
    // What Qt makes of the whole photo, turned and smoothed to the same size.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage whole = reader.read().scaled(c.expected, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(LedgerMeanDifference(image, whole), 4.5);
  }
  d.MakeDir("folder.jpg");
  EXPECT_TRUE(DecodeLedgerImage(QString::fromStdString(d / "folder.jpg"), QSize(843, 633)).isNull());
}

// The peak resident size of a command's processes, in kB. A process forked
// from this test program counts the pages it shares with it until it starts
// the command, and this program may have grown through earlier tests: the
// command is started from a small process of its own, which reports its
// children's peak.
long LedgerPeakKb(const std::string& command) {
  ::setenv("DLVR_LEDGER_PEAK_COMMAND", (command + " >/dev/null 2>&1").c_str(), 1);
  FILE* p = ::popen(
      "python3 -c 'import os, resource, subprocess; "
      "r = subprocess.run(os.environ[\"DLVR_LEDGER_PEAK_COMMAND\"], shell=True); "
      "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss if r.returncode == 0 else -1)'",
      "r");
  ::unsetenv("DLVR_LEDGER_PEAK_COMMAND");
  if (!p) return -1;
  long kb = -1;
  if (std::fscanf(p, "%ld", &kb) != 1) kb = -1;
  ::pclose(p);
  return kb;
}

TEST(CliPhotoLedger, ManyLargePhotosAreDecodedScaledAndNeverHeldAllAtOnce) {
  test::ScratchDir d;
  constexpr int kPhotos = 300;
  std::string records;
  for (int i = 1; i <= kPhotos; ++i) {
    test::PhotoSpec spec;
    spec.Serial = std::to_string(i);
    spec.FileName = "P" + std::to_string(1000000 + i) + ".JPG";
    records += test::PhotoRecordXml(spec);
  }
  std::string xml = test::PhotoXml({});
  xml.insert(xml.find("</photodata>"), records);
  d.WriteSjis("d/INDEX_C.XML", test::IndexXml(1, 1, "2024-04-01", "2024-09-30"));
  d.WriteSjis("d/PHOTO/PHOTO.XML", xml);
  // 12 million pixels each: 3.6 GB if they were all decoded whole, 600 MB
  // if all were kept even at their printed size.
  const std::string jpeg = test::MakeJpeg(4000, 3000);
  for (int i = 1; i <= kPhotos; ++i) d.WriteBytes("d/PHOTO/PIC/P" + std::to_string(1000000 + i) + ".JPG", jpeg);
  const std::string pdf = d / "many.pdf";
  // The bound is the program's own: under the address sanitizer freed blocks
  // wait in its quarantine (256 MB unless told), so that run keeps it small.
  const long kb = LedgerPeakKb("ASAN_OPTIONS=\"$ASAN_OPTIONS:quarantine_size_mb=8\" " + std::string(DLVR_CLI) + " photos " +
                               (d / "d") + " --ledger " + pdf);
  ASSERT_GT(kb, 0);
  EXPECT_LT(kb, 250 * 1024) << kb << " kB";
  EXPECT_EQ(LedgerPageCount(pdf), kPhotos / 3);
}

}  // namespace
}  // namespace dlvr
