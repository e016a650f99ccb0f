// The photo window: groups and their counts, the filter, the grid's marks,
// thumbnails decoded near the screen only, the check list's jump, the full
// view's keys, a broken management file and a medium out of reach.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QFile>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QStyledItemDelegate>
#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTest>

#include <filesystem>
#include <functional>
#include <map>

#include "check/viewer_model.h"
#include "components/preview_view.h"
#include "panes/delivery_check.h"
#include "panes/photo_view.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "support/delivery_builder.h"
#include "support/fixtures.h"
#include "support/wait.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;

// A JPEG of w × h stored pixels, the left half red and the right half blue,
// with an EXIF orientation when one is given.
std::string Jpeg(int w, int h, int orientation = 0) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QPainter(&image).fillRect(0, 0, w / 2, h, Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 90);
  std::string s = bytes.toStdString();
  if (orientation) {
    // APP1: "Exif", a little-endian TIFF head, IFD0 with the orientation alone.
    std::string body("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
    body += {static_cast<char>(orientation), '\0', '\0', '\0', '\0', '\0', '\0', '\0'};
    const std::size_t length = body.size() + 2;
    s.insert(2, std::string{'\xFF', '\xE1', static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)} + body);
  }
  return s;
}

struct Photo {
  std::string Serial, File, MediaNo = "1";
  std::vector<std::string> Classes;  // 写真-大分類, 写真区分, 工種, 種別, 細別 ("" for none)
  std::string Title, Place, Date, Representative = "0", Frequency = "0";
  std::string Drawing;  // 参考図ファイル名
};

std::string RecordXml(const Photo& p) {
  static const char* const kLevels[] = {"写真-大分類", "写真区分", "工種", "種別", "細別"};
  std::string x = "<写真情報>\n<写真ファイル情報>\n<シリアル番号>" + p.Serial + "</シリアル番号>\n<写真ファイル名>" + p.File +
                  "</写真ファイル名>\n<メディア番号>" + p.MediaNo + "</メディア番号>\n</写真ファイル情報>\n<撮影工種区分>\n";
  for (std::size_t i = 0; i < p.Classes.size(); ++i)
    if (!p.Classes[i].empty()) x += std::string("<") + kLevels[i] + ">" + p.Classes[i] + "</" + kLevels[i] + ">\n";
  x += "<写真タイトル>" + p.Title + "</写真タイトル>\n</撮影工種区分>\n";
  if (!p.Drawing.empty())
    x += "<付加情報>\n<参考図ファイル名>" + p.Drawing + "</参考図ファイル名>\n<参考図タイトル>位置図</参考図タイトル>\n</付加情報>\n";
  x += "<撮影情報>\n<撮影箇所>" + p.Place + "</撮影箇所>\n<撮影年月日>" + p.Date + "</撮影年月日>\n</撮影情報>\n<代表写真>" +
       p.Representative + "</代表写真>\n<提出頻度写真>" + p.Frequency + "</提出頻度写真>\n<風向>北</風向>\n</写真情報>\n";
  return x;
}

std::string PhotoXml(const std::vector<Photo>& photos) {
  std::string x = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<photodata DTD_version=\"05\">\n<基礎情報>\n"
                  "<写真フォルダ名>PHOTO/PIC</写真フォルダ名>\n<参考図フォルダ名>PHOTO/DRA</参考図フォルダ名>\n</基礎情報>\n";
  for (const Photo& p : photos) x += RecordXml(p);
  return x + "</photodata>\n";
}

// The photos of the fixture, by serial number:
//   1 着手前, 2-3 the drainage works, 4 a 種別 without its 工種, 5 a missing
//   file, 6 a file on medium 2 (not loaded), 7 no class at all, 8 a photo
//   stored on its side (EXIF orientation 6), 9 a file that is no image,
//   dated a day that is not in the calendar.
const std::vector<Photo>& Photos() {
  static const std::vector<Photo> photos = {
      {"1", "P0000001.JPG", "1", {"工事", "着手前", "道路土工"}, "着手前全景", "No.1 起点", "2024-04-10", "1", "1", "D0000001.JPG"},
      {"2", "P0000002.JPG", "1", {"工事", "施工状況写真", "排水構造物工", "側溝工", "U型側溝"}, "側溝据付状況", "No.18 付近", "2024-05-20", "0", "0", ""},
      {"3", "P0000003.JPG", "1", {"工事", "施工状況写真", "排水構造物工", "側溝工", "U型側溝"}, "側溝据付完了", "No.19", "2024-05-21", "0", "1", ""},
      {"4", "P0000004.JPG", "1", {"工事", "施工状況写真", "", "表層工"}, "表層敷均し", "No.25", "2024-06-02", "0", "0", ""},
      {"5", "P0000005.JPG", "1", {"工事", "完成"}, "完成全景", "No.30 終点", "2024-09-30", "1", "0", ""},
      {"6", "P0000006.JPG", "2", {"工事", "完成"}, "完成 近景", "No.30", "2024-10-01", "0", "0", ""},
      {"7", "P0000007.JPG", "1", {}, "その他", "", "2024-07-07", "0", "0", ""},
      {"8", "P0000008.JPG", "1", {"工事", "品質管理写真"}, "出来形確認", "No.22", "2024-08-08", "0", "0", ""},
      {"9", "P0000009.JPG", "1", {"工事", "品質管理写真"}, "壊れた写真", "No.23", "2024-02-30", "0", "0", ""},
  };
  return photos;
}

class PhotoViewTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  PhotoViewTest() {
    model.View.MakeWorkCopies = false;
    // Serial order, whatever an earlier window kept.
    TExtRegistry(QStringLiteral("frmPhotoView")).WriteInteger(QStringLiteral("Sort"), 0);
  }

  // Medium 1 of two: the photos of Photos() but 5 and 6 (6 is on medium 2),
  // a stray photo no record names, and the reference drawing.
  std::string WriteDelivery(const std::string& photoXml) {
    test::MediumSpec spec;
    spec.MediaCount = 2;
    spec.KojiName = "写真テスト工事";
    const std::string folder = test::WriteMedium(dir / "m1", spec);
    dir.WriteSjis("m1/PHOTO/PHOTO.XML", photoXml);
    for (const Photo& p : Photos()) {
      if (p.Serial == "5" || p.Serial == "6") continue;
      const std::string bytes = p.Serial == "8" ? Jpeg(480, 320, 6) : p.Serial == "9" ? "not an image" : Jpeg(64, 48);
      dir.WriteBytes("m1/PHOTO/PIC/" + p.File, bytes);
    }
    dir.WriteBytes("m1/PHOTO/PIC/P0000099.JPG", Jpeg(64, 48));
    dir.WriteBytes("m1/PHOTO/DRA/D0000001.JPG", Jpeg(80, 40));
    return folder;
  }
  void Open(const std::string& folder) {
    model.View.Load(folder);
    view = std::make_unique<TfrmPhotoView>(model);
    view->resize(1100, 760);
    view->show();
    view->Refresh();
    ASSERT_TRUE(test::WaitUntil([&] { return !view->Busy(); }));
  }
  int RecordOf(const std::string& serial) const {
    const auto& records = view->Store()->Records();
    for (std::size_t i = 0; i < records.size(); ++i)
      if (records[i].Serial == serial) return static_cast<int>(i);
    return -1;
  }
  std::vector<std::string> ShownSerials() const {
    std::vector<std::string> out;
    for (int r : view->ListModel()->Rows()) out.push_back(view->Store()->Records()[static_cast<std::size_t>(r)].Serial);
    return out;
  }
  // Group captions by path ("" for the root, "工事/完成" ...); "-" for a
  // group that is not there.
  std::map<std::string, std::string> Groups() const {
    std::map<std::string, std::string> out;
    for (QTreeWidgetItemIterator it(view->tvwGroups); *it; ++it)
      out[(*it)->data(0, Qt::UserRole).toStringList().join('/').toStdString()] = (*it)->text(0).toStdString();
    return out;
  }

  test::ScratchDir dir;
  test::ScriptedPrompts prompts;
  DeliveryStore store;
  TViewerModel model{store};
  std::unique_ptr<TfrmPhotoView> view;
};

TEST_F(PhotoViewTest, GroupsCountWhatTheFilterLetsThroughAndTheGridShowsTheChosenGroup) {
  Open(WriteDelivery(PhotoXml(Photos())));
  ASSERT_EQ(view->Store()->Records().size(), 9u);
  EXPECT_EQ(view->windowTitle().toStdString(), "写真閲覧 - 写真テスト工事");
  struct Case {
    const char* Name;
    std::function<void(TfrmPhotoView&)> Set;
    std::map<std::string, std::string> Groups;  // some groups and their captions; "-": no such group
    std::vector<std::string> Rows;
  };
  const Case cases[] = {
      {"everything", [](TfrmPhotoView&) {},
       {{"", "すべての写真 (9)"},
        {"工事", "工事 (8)"},
        {"工事/着手前/道路土工", "道路土工 (1)"},
        {"工事/施工状況写真", "施工状況写真 (3)"},
        {"工事/施工状況写真/排水構造物工/側溝工/U型側溝", "U型側溝 (2)"},
        {"工事/施工状況写真/（なし）/表層工", "表層工 (1)"},
        {"工事/完成", "完成 (2)"},
        {"工事/完成/（なし）", "-"}},
       {"1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {"text in the title", [](TfrmPhotoView& v) { v.edtFilter->setText("側溝"); },
       {{"", "すべての写真 (2)"}, {"工事/施工状況写真", "施工状況写真 (2)"}, {"工事/完成", "-"}}, {"2", "3"}},
      {"full-width text matches the place", [](TfrmPhotoView& v) { v.edtFilter->setText("ｎｏ．１８"); },
       {{"", "すべての写真 (1)"}}, {"2"}},
      {"nothing matches", [](TfrmPhotoView& v) { v.edtFilter->setText("該当なしの語"); },
       {{"", "すべての写真 (0)"}, {"工事", "-"}}, {}},
      {"two words, both needed", [](TfrmPhotoView& v) { v.edtFilter->setText("完成 近景"); }, {}, {"6"}},
      {"the file name", [](TfrmPhotoView& v) { v.edtFilter->setText("p0000004"); }, {}, {"4"}},
      {"date range", [](TfrmPhotoView& v) {
         v.dtpFrom->setDate(QDate(2024, 5, 21));
         v.dtpTo->setDate(QDate(2024, 8, 8));
         v.chkDateFrom->setChecked(true);
         v.chkDateTo->setChecked(true);
       },
       {{"", "すべての写真 (4)"}, {"工事/完成", "-"}}, {"3", "4", "7", "8"}},
      {"representative only", [](TfrmPhotoView& v) { v.chkRepresentative->setChecked(true); },
       {{"", "すべての写真 (2)"}, {"工事/着手前", "着手前 (1)"}}, {"1", "5"}},
      {"submitted only", [](TfrmPhotoView& v) { v.chkFrequency->setChecked(true); }, {}, {"1", "3"}},
      {"a group", [](TfrmPhotoView& v) { ASSERT_TRUE(v.SelectGroup({"工事", "施工状況写真"})); },
       {{"", "すべての写真 (9)"}}, {"2", "3", "4"}},
      {"a group and a text", [](TfrmPhotoView& v) {
         ASSERT_TRUE(v.SelectGroup({"工事", "施工状況写真"}));
         v.edtFilter->setText("完了");
       },
       {{"", "すべての写真 (1)"}}, {"3"}},
      {"a group the text empties falls back to every photo", [](TfrmPhotoView& v) {
         ASSERT_TRUE(v.SelectGroup({"工事", "完成"}));
         v.edtFilter->setText("側溝");
       },
       {}, {"2", "3"}},
      {"by date, the invalid date last", [](TfrmPhotoView& v) { v.cbxSort->setCurrentIndex(1); }, {},
       {"1", "2", "3", "4", "7", "8", "5", "6", "9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    // Every photo, in serial order, before each case.
    view->edtFilter->clear();
    for (QCheckBox* b : {view->chkDateFrom, view->chkDateTo, view->chkRepresentative, view->chkFrequency}) b->setChecked(false);
    view->cbxSort->setCurrentIndex(0);
    ASSERT_TRUE(view->SelectGroup({}));
    c.Set(*view);
    const auto groups = Groups();
    for (const auto& [path, caption] : c.Groups) {
      auto it = groups.find(path);
      EXPECT_EQ(it == groups.end() ? std::string("-") : it->second, caption) << path;
    }
    EXPECT_EQ(ShownSerials(), c.Rows);
    EXPECT_EQ(view->lblCount->text().toStdString(), "表示 " + std::to_string(c.Rows.size()) + " / 全 9 枚");
  }
}

// What each cell shows: the thumbnail upright and within its box, or the
// mark of a missing file, of a file on a medium not loaded, of a file that is
// no image; the details name the same. The model stays consistent while
// thumbnails arrive.
TEST_F(PhotoViewTest, GridMarksEachPhotosStateAndDetailsSayTheSame) {
  Open(WriteDelivery(PhotoXml(Photos())));
  QAbstractItemModelTester tester(view->ListModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
  TPhotoListModel* list = view->ListModel();
  ASSERT_TRUE(test::WaitUntil([&] { return view->Loader()->Pending() == 0 && list->State(RecordOf("1")) == TPhotoListModel::Ready; }));
  struct Case {
    const char* Serial;
    TPhotoListModel::TState State;
    bool Representative;
    QSize Thumbnail;  // for a ready one
    const char* FileDetail;
  };
  const Case cases[] = {
      {"1", TPhotoListModel::Ready, true, QSize(64, 48), ""},
      {"5", TPhotoListModel::Missing, true, QSize(), "ファイルがありません。"},
      {"6", TPhotoListModel::Elsewhere, false, QSize(), "2枚目のメディアにあります（読み込まれていません）。"},
      {"8", TPhotoListModel::Ready, false, QSize(80, 120), ""},  // 480 × 320 stored on its side
      {"9", TPhotoListModel::Unreadable, false, QSize(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Serial);
    const int record = RecordOf(c.Serial);
    const QModelIndex index = list->index(list->RowOf(record));
    EXPECT_EQ(index.data(TPhotoListModel::StateRole).toInt(), c.State);
    EXPECT_EQ(index.data(TPhotoListModel::RepresentativeRole).toBool(), c.Representative);
    const QPixmap thumb = index.data(TPhotoListModel::ThumbnailRole).value<QPixmap>();
    EXPECT_EQ(thumb.isNull() ? QSize() : thumb.deviceIndependentSize().toSize(), c.Thumbnail);
    if (c.Serial == std::string("8")) {
      // Turned upright: the red half of the stored picture is now on top.
      const QImage img = thumb.toImage();
      EXPECT_GT(qRed(img.pixel(img.width() / 2, img.height() / 4)), 180);
      EXPECT_GT(qBlue(img.pixel(img.width() / 2, img.height() * 3 / 4)), 180);
    }
    ASSERT_TRUE(view->ShowRecord(record));
    QString file;
    for (int row = 0; row < view->tblDetails->rowCount(); ++row)
      if (view->tblDetails->item(row, 0)->text() == "ファイル") file = view->tblDetails->item(row, 1)->text();
    if (*c.FileDetail)
      EXPECT_EQ(file.toStdString(), c.FileDetail);
    else
      EXPECT_TRUE(file.endsWith(QString::fromStdString(Photos()[std::stoul(c.Serial) - 1].File)));
  }
  // Every field of a record, the unknown element as it stands, the drawing.
  ASSERT_TRUE(view->ShowRecord(RecordOf("1")));
  std::map<std::string, std::string> fields;
  for (int row = 0; row < view->tblDetails->rowCount(); ++row)
    fields[view->tblDetails->item(row, 0)->text().toStdString()] = view->tblDetails->item(row, 1)->text().toStdString();
  EXPECT_EQ(fields["撮影箇所"], "No.1 起点");
  EXPECT_EQ(fields["工種"], "道路土工");
  EXPECT_EQ(fields["種別"], "");
  EXPECT_EQ(fields["風向"], "北");
  ASSERT_EQ(view->lstReferences->count(), 1);
  EXPECT_EQ(view->lstReferences->item(0)->text().toStdString(), "位置図（D0000001.JPG）");
  // The medium not loaded is named above the grid.
  EXPECT_TRUE(view->lblNotice->isVisible());
  EXPECT_TRUE(view->lblNotice->text().contains("1件の写真のファイルは2枚目のメディアにあります（読み込まれていません）"))
      << view->lblNotice->text().toStdString();
}

// A finding double-clicked or chosen with Enter selects its photo, showing
// every photo again when the filter hid it; a file no record names is shown
// as it is.
TEST_F(PhotoViewTest, TheCheckListJumpsToItsPhoto) {
  Open(WriteDelivery(PhotoXml(Photos())));
  ASSERT_FALSE(view->Findings().empty());
  int missingRow = -1, strayRow = -1;
  for (int row = 0; row < view->tblChecks->rowCount(); ++row) {
    const int record = view->tblChecks->item(row, 0)->data(Qt::UserRole).toInt();
    if (record == RecordOf("5") && missingRow < 0) missingRow = row;
    if (view->tblChecks->item(row, 0)->text() == "P0000099.JPG") strayRow = row;
  }
  ASSERT_GE(missingRow, 0);
  ASSERT_GE(strayRow, 0);
  EXPECT_EQ(view->tblChecks->item(strayRow, 0)->data(Qt::UserRole).toInt(), -1);

  view->edtFilter->setText("側溝");
  ASSERT_EQ(view->ListModel()->RowOf(RecordOf("5")), -1);
  view->tblChecks->setFocus();
  view->tblChecks->setCurrentCell(missingRow, 0);
  QTest::keyClick(view->tblChecks, Qt::Key_Return);
  EXPECT_EQ(view->CurrentRecord(), RecordOf("5"));
  EXPECT_TRUE(view->edtFilter->text().isEmpty());
  EXPECT_FALSE(view->FullShown());

  view->tblChecks->scrollTo(view->tblChecks->model()->index(strayRow, 1));
  const QRect cell = view->tblChecks->visualRect(view->tblChecks->model()->index(strayRow, 1));
  QTest::mouseClick(view->tblChecks->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_FALSE(view->FullShown()) << "a single click only selects";
  QTest::mouseDClick(view->tblChecks->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_TRUE(view->FullShown());
  EXPECT_TRUE(view->pvwPhoto->CurrentPath().endsWith("P0000099.JPG"));
  EXPECT_EQ(view->pvwPhoto->RendererKind(), "image");
}

// Photos with findings carry a red mark on their thumbnail (photo 2 is a
// sound JPEG, red on its left and blue on its right); the findings
// are written as CSV and PDF as the delivery check writes its own (never
// into the delivery); a path in the details is shortened in its middle.
TEST_F(PhotoViewTest, FindingsMarkThumbnailsAndAreWrittenAsTheDeliveryChecksAre) {
  const std::string folder = WriteDelivery(PhotoXml(Photos()));
  Open(folder);
  ASSERT_FALSE(view->Findings().empty());
  ASSERT_TRUE(test::WaitUntil([&] { return view->Loader()->Pending() == 0; }));
  // The top right corner of a thumbnail's box: red for a photo with
  // findings (5, a missing file; 9, no image), not for a sound one (2).
  auto corner = [&](const std::string& serial) {
    const QModelIndex index = view->ListModel()->index(view->ListModel()->RowOf(RecordOf(serial)));
    view->lvwPhotos->scrollTo(index);
    QApplication::processEvents();
    const QRect cell = view->lvwPhotos->visualRect(index);
    const QImage shot = view->lvwPhotos->viewport()->grab(cell).toImage();
    // The box (160 x 120) is centred in the cell, 6 pixels below its top;
    // the mark sits in its top right corner. Strong red pixels there.
    const int right = (shot.width() - 160) / 2 + 159;
    int red = 0;
    // (Inside the border a missing file's card draws in red.)
    for (int y = 6 + 4; y < 30; ++y)
      for (int x = right - 40; x <= right - 4; ++x) {
        const QColor c = shot.pixelColor(x, y);
        red += c.red() > 150 && c.green() < 90 && c.blue() < 90;
      }
    return red > 20;
  };
  // Every photo of the fixture has findings (64 x 48 is below the pixels
  // asked for); without them, no mark.
  EXPECT_TRUE(corner("5"));
  EXPECT_TRUE(corner("9"));
  EXPECT_TRUE(corner("2"));
  view->ListModel()->SetFindingCounts({});
  EXPECT_FALSE(corner("2"));
  EXPECT_FALSE(corner("5"));

  // CSV and PDF beside the delivery, never in it.
  QString asked;
  TfrmDeliveryCheck::AskSavePath = [&](QWidget*, const QString&, const QString&, const QString&) { return asked; };
  asked = QString::fromStdString(folder + "PHOTO/checks.csv");
  ASSERT_TRUE(view->tlbChecksCsv->isEnabled());
  view->tlbChecksCsv->click();
  EXPECT_FALSE(QFile::exists(asked));
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Warning);
  asked = QString::fromStdString(dir / "checks.csv");
  view->tlbChecksCsv->click();
  QFile csv(asked);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), static_cast<int>(view->Findings().size()) + 1);
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("重要度,メディア,ファイル・フォルダ,規則,内容")));
  // A stray photo by its path in its medium, as the delivery check names files.
  EXPECT_TRUE(lines.filter(QStringLiteral(",PHOTO/PIC/P0000099.JPG,")).size() == 1) << lines.join('\n').toStdString();
  asked = QString::fromStdString(dir / "checks.pdf");
  view->tlbChecksPdf->click();
  QPdfDocument pdf;
  ASSERT_EQ(pdf.load(asked), QPdfDocument::Error::None);
  const QString page = pdf.getAllText(0).text();
  EXPECT_TRUE(page.contains(QStringLiteral("写真チェック結果"))) << page.left(200).toStdString();
  EXPECT_FALSE(page.contains(QStringLiteral("電子納品チェック結果")));
  TfrmDeliveryCheck::AskSavePath = nullptr;

  // The photo's file in the details: shortened in the middle, so that its
  // name stays in sight, where the other values end in "…".
  ASSERT_TRUE(view->ShowRecord(RecordOf("1")));
  int fileRow = -1;
  for (int r = 0; r < view->tblDetails->rowCount(); ++r)
    if (view->tblDetails->item(r, 1)->text().endsWith(QStringLiteral("P0000001.JPG"))) fileRow = r;
  ASSERT_GE(fileRow, 0);
  const QModelIndex path = view->tblDetails->model()->index(fileRow, 1);
  auto paint = [&](QAbstractItemDelegate* delegate, Qt::TextElideMode mode) {
    QStyleOptionViewItem option;
    option.initFrom(view->tblDetails->viewport());
    option.rect = QRect(0, 0, 140, 20);
    option.textElideMode = mode;
    option.features = QStyleOptionViewItem::WrapText;
    QImage image(140, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    delegate->paint(&painter, option, path);
    return image;
  };
  QStyledItemDelegate plain;
  const QImage shown = paint(view->tblDetails->itemDelegate(), Qt::ElideRight);
  EXPECT_NE(shown, paint(&plain, Qt::ElideRight));
  // As the plain delegate draws it on one line, shortened in the middle.
  {
    QStyleOptionViewItem option;
    option.initFrom(view->tblDetails->viewport());
    option.rect = QRect(0, 0, 140, 20);
    option.textElideMode = Qt::ElideMiddle;
    QImage image(140, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    plain.paint(&painter, option, path);
    painter.end();
    EXPECT_EQ(shown, image);
  }
}

// The full view: Enter on the grid opens it, the arrow keys (and Home, End)
// step through the photos shown, Esc goes back to the grid with the photo
// last shown selected; a photo stored on its side is shown upright.
TEST_F(PhotoViewTest, TheFullViewStepsByArrowKeysAndShowsPhotosUpright) {
  Open(WriteDelivery(PhotoXml(Photos())));
  view->lvwPhotos->setFocus();
  view->lvwPhotos->setCurrentIndex(view->ListModel()->index(0));
  QTest::keyClick(view->lvwPhotos, Qt::Key_Return);
  ASSERT_TRUE(view->FullShown());
  EXPECT_EQ(view->lblPosition->text(), "1 / 9");
  EXPECT_FALSE(view->btnPrev->isEnabled());
  struct Step {
    Qt::Key Key;
    const char* Serial;
  };
  const Step steps[] = {{Qt::Key_Right, "2"}, {Qt::Key_Right, "3"}, {Qt::Key_Left, "2"},  {Qt::Key_End, "9"},
                        {Qt::Key_Right, "9"}, {Qt::Key_Left, "8"},  {Qt::Key_Home, "1"}, {Qt::Key_Left, "1"},
                        {Qt::Key_PageDown, "2"}};
  for (const Step& s : steps) {
    // Wherever the focus is in the full view.
    QWidget* target = s.Key == Qt::Key_End ? static_cast<QWidget*>(view->pvwPhoto) : view->pgFull;
    QTest::keyClick(target, s.Key);
    SCOPED_TRACE(s.Serial);
    EXPECT_EQ(view->CurrentRecord(), RecordOf(s.Serial));
    EXPECT_TRUE(view->lblFullTitle->text().contains(QString::fromStdString(Photos()[std::stoul(s.Serial) - 1].File)));
  }
  view->Step(6);  // to photo 8, stored on its side
  EXPECT_EQ(view->CurrentRecord(), RecordOf("8"));
  EXPECT_EQ(view->pvwPhoto->RendererKind(), "image");
  EXPECT_EQ(view->pvwPhoto->ImageSize(), QSize(320, 480));
  // Zoom by the keys and by Ctrl with the wheel; 0 fits it again.
  auto* shown = view->pvwPhoto->findChild<QLabel*>("ImageView");
  auto* scroll = view->pvwPhoto->findChild<QScrollArea*>("ImageScroll");
  ASSERT_TRUE(shown && scroll);
  const int fitted = shown->height();
  auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent e(QPointF(10, 10), scroll->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(scroll->viewport(), &e);
  };
  const std::pair<const char*, std::function<void()>> zooms[] = {
      {"+", [&] { QTest::keyClick(view->pgFull, Qt::Key_Plus); }},
      {"0", [&] { QTest::keyClick(view->pgFull, Qt::Key_0); }},
      {"-", [&] { QTest::keyClick(view->pgFull, Qt::Key_Minus); }},
      {"Ctrl+wheel up", [&] { QTest::keyClick(view->pgFull, Qt::Key_0); wheel(120, Qt::ControlModifier); }},
      {"Ctrl+wheel down", [&] { QTest::keyClick(view->pgFull, Qt::Key_0); wheel(-120, Qt::ControlModifier); }},
      {"wheel alone", [&] { QTest::keyClick(view->pgFull, Qt::Key_0); wheel(-120, Qt::NoModifier); }},
  };
  const int expected[] = {fitted * 5 / 4, fitted, fitted * 4 / 5, fitted * 5 / 4, fitted * 4 / 5, fitted};
  for (std::size_t i = 0; i < std::size(zooms); ++i) {
    zooms[i].second();
    EXPECT_NEAR(shown->height(), expected[i], 2) << zooms[i].first;
  }
  QTest::keyClick(view->pgFull, Qt::Key_0);
  view->Step(-3);  // photo 5: its file is missing
  EXPECT_TRUE(view->lblFullNote->isVisible());
  EXPECT_EQ(view->lblFullNote->text().toStdString(), "写真ファイル P0000005.JPG がありません。");
  QTest::keyClick(view->pgFull, Qt::Key_Escape);
  EXPECT_FALSE(view->FullShown());
  EXPECT_EQ(view->CurrentRecord(), RecordOf("5"));
  // The reference drawing opens in the full view with a click.
  ASSERT_TRUE(view->ShowRecord(RecordOf("1")));
  const QRect ref = view->lstReferences->visualItemRect(view->lstReferences->item(0));
  QTest::mouseClick(view->lstReferences->viewport(), Qt::LeftButton, {}, ref.center());
  EXPECT_TRUE(view->FullShown());
  EXPECT_TRUE(view->pvwPhoto->CurrentPath().endsWith("D0000001.JPG"));
  EXPECT_EQ(view->pvwPhoto->ImageSize(), QSize(80, 40));
}

// A file broken after its third record shows the three and says where it broke.
TEST_F(PhotoViewTest, ABrokenFileShowsWhatWasReadAndWhereItBroke) {
  std::string xml = PhotoXml({Photos()[0], Photos()[1], Photos()[2]});
  xml = xml.substr(0, xml.find("</photodata>")) + "<写真情報 <壊れた>\n";
  Open(WriteDelivery(xml));
  EXPECT_EQ(ShownSerials(), (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_EQ(view->Store()->Files().size(), 1u);
  const TPhotoFile& file = view->Store()->Files()[0];
  ASSERT_TRUE(file.Broken);
  const QString notice = view->lblNotice->text();
  EXPECT_TRUE(notice.contains(QString("%1行目で読めなくなりました").arg(file.BrokenLine))) << notice.toStdString();
  EXPECT_TRUE(notice.contains("それまでに読めた3件を表示しています")) << notice.toStdString();
}

// A file or group name holding "%1" or "%2" is put into the full view's
// note and the group tree as it stands, beside the numbers.
TEST_F(PhotoViewTest, NamesWithPercentSignsShowAsTheyStand) {
  Photo elsewhere = Photos()[5];  // on medium 2, which is not loaded
  elsewhere.File = "P%1%2.JPG";
  elsewhere.Classes = {"工事", "完成%2"};
  Open(WriteDelivery(PhotoXml({Photos()[0], elsewhere})));
  EXPECT_EQ(Groups()["工事/完成%2"], "完成%2 (1)");
  ASSERT_TRUE(view->ShowRecord(RecordOf("6")));
  view->OpenFull();
  EXPECT_EQ(view->lblFullNote->text().toStdString(),
            "写真ファイル P%1%2.JPG は2枚目のメディアにあります（読み込まれていません）。");
}

// Only the rows on the screen and a screen beyond are decoded, in a cache
// that keeps within its bound; scrolled to the end, the last rows come.
TEST_F(PhotoViewTest, ThumbnailsAreDecodedNearTheScreenOnlyAndTheCacheKeepsItsBound) {
  std::vector<Photo> many;
  test::MediumSpec spec;
  const std::string folder = test::WriteMedium(dir / "big", spec);
  const std::string jpeg = Jpeg(200, 150);
  for (int i = 1; i <= 400; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "P%07d.JPG", i);
    many.push_back({std::to_string(i), name, "1", {"工事", "施工状況写真"}, "写真" + std::to_string(i), "", "2024-05-01", "0", "0", ""});
    dir.WriteBytes("big/PHOTO/PIC/" + std::string(name), jpeg);
  }
  dir.WriteSjis("big/PHOTO/PHOTO.XML", PhotoXml(many));
  Open(folder);
  TPhotoListModel* list = view->ListModel();
  TThumbnailLoader* loader = view->Loader();
  ASSERT_TRUE(test::WaitUntil([&] { return list->State(list->RecordAt(0)) == TPhotoListModel::Ready && loader->Pending() == 0; }));
  const int columns = view->lvwPhotos->viewport()->width() / view->lvwPhotos->gridSize().width();
  const int lines = view->lvwPhotos->viewport()->height() / view->lvwPhotos->gridSize().height() + 1;
  const int screen = columns * (lines + 1);
  EXPECT_GT(loader->CacheCount(), 0);
  EXPECT_LE(loader->CacheCount(), 3 * screen);  // the screen, the next and the one before (none yet)
  EXPECT_EQ(list->State(list->RecordAt(399)), TPhotoListModel::Loading);

  const qint64 thumbBytes = loader->CacheBytes() / loader->CacheCount();
  loader->CacheLimit = thumbBytes * screen * 2;
  QScrollBar* bar = view->lvwPhotos->verticalScrollBar();
  for (int value = 0; value < bar->maximum(); value += bar->pageStep()) {
    bar->setValue(value);
    QTest::qWait(5);
  }
  bar->setValue(bar->maximum());
  ASSERT_TRUE(test::WaitUntil([&] { return list->State(list->RecordAt(399)) == TPhotoListModel::Ready && loader->Pending() == 0; }));
  EXPECT_LE(loader->CacheBytes(), loader->CacheLimit);
  EXPECT_LT(loader->CacheCount(), 400);
  // The first rows went from the cache; they come back when scrolled to.
  EXPECT_EQ(list->State(list->RecordAt(0)), TPhotoListModel::Loading);
  bar->setValue(0);
  EXPECT_TRUE(test::WaitUntil([&] { return list->State(list->RecordAt(0)) == TPhotoListModel::Ready; }));
}

// A medium taken out of the drive for another of the delivery: its photos
// are out of reach and the window says so; the medium now in the drive is read.
TEST_F(PhotoViewTest, AMediumSwappedOutOfItsDriveIsSaidToBeOutOfReach) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Removable; });
  const std::string drive = dir.MakeDir("drive") + "/";
  test::MediumSpec m1, m2;
  m1.MediaCount = m2.MediaCount = 2;
  m2.MediaNo = 2;
  const std::string f1 = test::WriteMedium(dir / "m1", m1), f2 = test::WriteMedium(dir / "m2", m2);
  Photo one = Photos()[0], two = Photos()[1];
  two.MediaNo = "2";
  dir.WriteSjis("m1/PHOTO/PHOTO.XML", PhotoXml({one}));
  dir.WriteBytes("m1/PHOTO/PIC/P0000001.JPG", Jpeg(64, 48));
  dir.WriteSjis("m2/PHOTO/PHOTO.XML", PhotoXml({two}));
  dir.WriteBytes("m2/PHOTO/PIC/P0000002.JPG", Jpeg(64, 48));
  auto insert = [&](const std::string& medium) {
    fs::remove_all(drive);
    test::CopyTree(medium, drive);
  };
  insert(f1);
  prompts.Fallback = DialogAnswer::Ok;
  prompts.OnShow = [&](const MessageRequest&) { insert(f2); };
  Open(drive);
  ASSERT_EQ(model.View.LoadedMedia(), (std::vector<int>{1, 2}));
  ASSERT_EQ(model.View.ReachableMedia().size(), 1u);
  EXPECT_EQ(model.View.ReachableMedia()[0].MediaNo, 2);
  EXPECT_EQ(model.View.ReachableMedia()[0].Folder, drive);
  EXPECT_EQ(ShownSerials(), std::vector<std::string>{"2"});
  EXPECT_TRUE(view->lblNotice->text().contains("1枚目のメディアは、読み込んだ後にドライブで別のメディアと入れ替えられたため"))
      << view->lblNotice->text().toStdString();
}

}  // namespace
}  // namespace dlvr
