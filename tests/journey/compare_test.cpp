// Journeys through the compare view: the inspector opens a corrected
// resubmission, compares it with the delivery it corrects, narrows the tree
// to what changed and reads the changed field as "old → new"; ending the
// compare (or loading anew) gives the plain tree back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QSemaphore>
#include <QThreadPool>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTreeView>

#include "app/compare_view.h"
#include "app/kkt_tree_model.h"
#include "app/main_window.h"
#include "components/ext_grid.h"
#include "components/legible_color.h"
#include "components/preview_view.h"
#include "model/doc_tree.h"
#include "panes/cad_files_pane.h"
#include "panes/files_pane.h"
#include "panes/info_panes.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/journey.h"
#include "support/qstring_print.h"
#include "support/wait.h"

namespace dlvr {
namespace {

// Replaces `from` by `to` in a Shift-JIS management file; false when
// `from` is not in it.
bool EditCompareSjis(const std::string& path, const std::string& from, const std::string& to) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  const std::string a = Utf8ToCp932(from), b = Utf8ToCp932(to);
  const std::size_t at = bytes.find(a);
  if (at == std::string::npos) return false;
  bytes.replace(at, a.size(), b);
  return WriteWholeFile(path, bytes);
}

// The captions of the rows the tree shows now, top to bottom, every item
// expanded.
QStringList ShownTreeRows(TfrmMain& w) {
  w.tvwKKT->expandAll();
  QStringList rows;
  for (QModelIndex i = w.TreeModel()->index(0, 0); i.isValid(); i = w.tvwKKT->indexBelow(i))
    rows << i.data(Qt::DisplayRole).toString();
  return rows;
}

// The value cells of a field grid that show a change.
QStringList ArrowValues(const TExtGrid3& grid) {
  QStringList out;
  for (int r = 1; r < grid.RowCount(); ++r)
    if (grid.Cell(3, r).contains(QStringLiteral(" → "))) out << grid.Cell(3, r);
  return out;
}
QStringList ArrowValues(TInfoPaneBase& pane) { return ArrowValues(*pane.Grid); }

class JourneyCompare : public ::testing::Test {
 protected:
  void SetUp() override {
    copy_ = scratch_ / "resubmitted";
    test::CopyTree(test::SamplePath("clean"), copy_);
    // The corrected copy: the construction's content corrected, a meeting renamed, a text changed, a file added to
    // a document, a document removed.
    ASSERT_TRUE(EditCompareSjis(copy_ + "/MEET/MEET.XML", "<打合せ簿名称>工程表の変更について<",
                                "<打合せ簿名称>工程表の変更について（再提出）<"));
    ASSERT_TRUE(EditCompareSjis(copy_ + "/INDEX_C.XML", "L=350m", "L=360m"));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(copy_ + "/MEET/ORG/0001_03.TXT", text));
    ASSERT_NE(text.find("No.14,300,298,-2"), std::string::npos);
    text.replace(text.find("No.14,300,298,-2"), 16, "No.14,300,299,-1");
    ASSERT_TRUE(WriteWholeFile(copy_ + "/MEET/ORG/0001_03.TXT", text + "corrected\r\n"));
    const std::string org =
        "<その他資料オリジナルファイル名>O001_01.PDF</その他資料オリジナルファイル名>";
    ASSERT_TRUE(EditCompareSjis(copy_ + "/OTHRS/OTHRS.XML", org,
                                org + "\r\n\t\t\t<その他資料オリジナルファイル作成ソフトバージョン情報>PDF作成ツール "
                                      "Ver.4.2</その他資料オリジナルファイル作成ソフトバージョン情報>\r\n\t\t\t<"
                                      "オリジナルファイル内容>工事履行報告書</オリジナルファイル内容>\r\n\t\t</"
                                      "オリジナルファイル情報>\r\n\t\t<オリジナルファイル情報>\r\n\t\t\t"
                                      "<その他資料オリジナルファイル名>O001_02.TXT</その他資料オリジナルファイル名>"));
    ASSERT_TRUE(WriteWholeFile(copy_ + "/OTHRS/ORG/O001_02.TXT", "added\r\n"));
    std::string othrs;
    ASSERT_TRUE(ReadWholeFile(copy_ + "/OTHRS/OTHRS.XML", othrs));
    const std::size_t from = othrs.find(Utf8ToCp932("\t<その他資料情報>\r\n\t\t<シリアル番号>2<"));
    const std::string end = Utf8ToCp932("</その他資料情報>\r\n");
    ASSERT_NE(from, std::string::npos);
    othrs.erase(from, othrs.find(end, from) + end.size() - from);
    ASSERT_TRUE(WriteWholeFile(copy_ + "/OTHRS/OTHRS.XML", othrs));
  }
  void TearDown() override {
    TfrmMainHooks::SelectFolder = nullptr;
    TCompareView::WorkerStarts = nullptr;
  }

  // 比較 from the toolbar, the earlier delivery chosen in the folder dialog,
  // then the worker waited for.
  void Compare(test::TJourney& j, const QString& earlier) {
    TfrmMainHooks::SelectFolder = [earlier](QWidget*, const QString&, QString& chosen) {
      chosen = earlier;
      return true;
    };
    TCompareView& c = *j.Window().CompareView;
    c.miCompare->trigger();
    ASSERT_TRUE(test::WaitUntil([&] { return !c.Running(); }, 30000));
    ASSERT_TRUE(c.Comparing());
  }

  test::ScratchDir scratch_;
  std::string copy_;
};

TEST_F(JourneyCompare, ChangedOnlyLeavesTheChangedItemsAndTheInfoPaneShowsOldToNew) {
  test::TJourney j;
  TfrmMain& w = j.Open({test::Q(copy_)});
  const QStringList all = ShownTreeRows(w);
  Compare(j, test::QSample("clean"));
  TCompareView& c = *w.CompareView;
  // The legend counts the changes; every row is still there, and the
  // removed document where it stood.
  EXPECT_TRUE(c.lblCompareLegend->isVisible());
  EXPECT_TRUE(c.lblCompareLegend->text().contains(QStringLiteral("削除"))) << c.lblCompareLegend->text().toStdString();
  QStringList withRemoved = all;
  withRemoved.insert(all.indexOf(QStringLiteral("段階確認書（路床）")), QStringLiteral("工事履行報告書（5月分）"));
  EXPECT_EQ(ShownTreeRows(w), withRemoved);
  EXPECT_EQ(w.TreeModel()->CompareMark(j.Item({"打合せ簿", "提出(施工管理)", "0001_03.TXT"})), cmChanged);
  EXPECT_EQ(w.TreeModel()->CompareMark(j.Item({"その他", "工事履行報告書（4月分）", "O001_02.TXT"})), cmAdded);
  EXPECT_EQ(w.TreeModel()->CompareMark(j.Item({"打合せ簿", "承諾(品質管理)"})), cmNone);

  // The construction information shown at the root: the corrected content.
  const QStringList index = ArrowValues(*w.frmKojInfo);
  ASSERT_EQ(index.size(), 1) << index.join("\n").toStdString();
  EXPECT_TRUE(index[0].startsWith(QStringLiteral("道路改良 L=350m"))) << index[0].toStdString();
  EXPECT_TRUE(index[0].contains(QStringLiteral(" → 道路改良 L=360m"))) << index[0].toStdString();

  c.miCompareChangedOnly->trigger();
  j.Shot(QStringLiteral("compare_changed_only"));
  const QStringList expected{QStringLiteral("工事完成図書"),       QStringLiteral("打合せ簿"),
                             QStringLiteral("提出(施工管理)"),     QStringLiteral("0001_03.TXT"),
                             QStringLiteral("協議(工程管理)"),     QStringLiteral("その他"),
                             QStringLiteral("工事履行報告書（4月分）"), QStringLiteral("O001_02.TXT"),
                             QStringLiteral("工事履行報告書（5月分）")};
  EXPECT_EQ(ShownTreeRows(w), expected);

  j.Click({"打合せ簿", "提出(施工管理)"});  // a meeting whose fields stayed
  EXPECT_TRUE(ArrowValues(*w.frmInfo).isEmpty());
  j.Click({"打合せ簿", "協議(工程管理)"});
  j.Shot(QStringLiteral("compare_old_to_new"));
  EXPECT_EQ(ArrowValues(*w.frmInfo),
            QStringList{QStringLiteral("工程表の変更について → 工程表の変更について（再提出）")});

  // 比較終了: the whole tree and the plain value again.
  c.miCompareEnd->trigger();
  EXPECT_EQ(ShownTreeRows(w), all);
  EXPECT_TRUE(ArrowValues(*w.frmInfo).isEmpty());
  EXPECT_TRUE(ArrowValues(*w.frmKojInfo).isEmpty());
  EXPECT_FALSE(c.lblCompareLegend->isVisible());
}

TEST_F(JourneyCompare, TheChangeListIsSavedAsCsvAndPdfButNeverIntoADelivery) {
  test::TJourney j;
  j.Open({test::Q(copy_)});
  Compare(j, test::QSample("clean"));
  TCompareView& c = *j.Window().CompareView;
  QString target;
  TCompareView::AskSavePath = [&](QWidget*, const QString&, const QString&, const QString&, QString& chosen) {
    chosen = target;
    return true;
  };
  target = test::Q(scratch_ / "changes.csv");
  c.miCompareCsv->trigger();
  std::string csv;
  ASSERT_TRUE(ReadWholeFile(scratch_ / "changes.csv", csv));
  EXPECT_NE(csv.find("工程表の変更について（再提出）"), std::string::npos) << csv;
  EXPECT_NE(csv.find("工事履行報告書（5月分）"), std::string::npos) << csv;
  target = test::Q(scratch_ / "changes.pdf");
  c.miComparePdf->trigger();
  std::string pdf;
  ASSERT_TRUE(ReadWholeFile(scratch_ / "changes.pdf", pdf));
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  // Inside either delivery: refused, and said so.
  for (const std::string& inside : {copy_ + "/changes.csv", test::SamplePath("clean") + "/MEET/changes.csv"}) {
    j.Prompts.Shown.clear();
    target = test::Q(inside);
    c.miCompareCsv->trigger();
    EXPECT_FALSE(FileExists(inside)) << inside;
    EXPECT_EQ(j.Prompts.Shown.size(), 1u) << inside;
  }
  TCompareView::AskSavePath = nullptr;
}

TEST_F(JourneyCompare, AChangedFileShowsOldAndNewSideBySide) {
  test::TJourney j;
  TfrmMain& w = j.Open({test::Q(copy_)});
  Compare(j, test::QSample("clean"));
  TCompareView& c = *w.CompareView;
  j.Click({"打合せ簿", "提出(施工管理)", "0001_02.PDF"});  // the same on both sides
  EXPECT_FALSE(c.miCompareFiles->isEnabled());
  j.Click({"打合せ簿", "提出(施工管理)", "0001_03.TXT"});
  ASSERT_TRUE(c.miCompareFiles->isEnabled());
  c.miCompareFiles->trigger();
  ASSERT_TRUE(c.dlgCompareFiles && c.dlgCompareFiles->isVisible());
  // A text: both sides' lines.
  auto* before = c.dlgCompareFiles->findChild<QPlainTextEdit*>("txtOld");
  auto* after = c.dlgCompareFiles->findChild<QPlainTextEdit*>("txtNew");
  ASSERT_TRUE(before && after);
  EXPECT_TRUE(before->isVisible() && after->isVisible());
  EXPECT_FALSE(before->toPlainText().contains(QStringLiteral("corrected")));
  EXPECT_TRUE(before->toPlainText().contains(QStringLiteral("主任技術者の資格一覧")));
  EXPECT_TRUE(after->toPlainText().contains(QStringLiteral("corrected")));
  // The lines each side lacks in the other, marked.
  ASSERT_EQ(before->extraSelections().size(), 1);
  EXPECT_EQ(before->extraSelections()[0].cursor.block().text(), QStringLiteral("No.14,300,298,-2"));
  ASSERT_EQ(after->extraSelections().size(), 2);
  EXPECT_EQ(after->extraSelections()[0].cursor.block().text(), QStringLiteral("No.14,300,299,-1"));
  EXPECT_EQ(after->extraSelections()[1].cursor.block().text(), QStringLiteral("corrected"));
  EXPECT_TRUE(c.dlgCompareFiles->findChild<QLabel*>("lblOld")->text().contains(test::QSample("clean")));
  if (qEnvironmentVariableIsSet("DLVR_JOURNEY_SHOTS"))
    c.dlgCompareFiles->grab().save(qEnvironmentVariable("DLVR_JOURNEY_SHOTS") + "/compare_files_window.png");
  c.miCompareEnd->trigger();
  EXPECT_TRUE(test::WaitUntil([&] { return !c.dlgCompareFiles; }));
}

TEST_F(JourneyCompare, TheDrawingAndFilePanesShowOldToNewAndHowAChangedFileDiffers) {
  // Further corrections: a drawing's scale, and the content field of the
  // meeting's text file whose content changed too.
  ASSERT_TRUE(EditCompareSjis(copy_ + "/DRAWINGF/DRAWINGF.XML", "<図面尺度>1:500<", "<図面尺度>1:250<"));
  ASSERT_TRUE(EditCompareSjis(copy_ + "/MEET/MEET.XML", "<オリジナルファイル内容>主任技術者の資格一覧<",
                              "<オリジナルファイル内容>主任技術者の資格一覧（改訂）<"));
  test::TJourney j;
  TfrmMain& w = j.Open({test::Q(copy_)});
  Compare(j, test::QSample("clean"));
  struct Row {
    QStringList item;
    bool drawing;            // the drawing pane, else the file pane
    QStringList arrows;      // the value cells showing a change
    bool fileNote;           // the changed file's size and time told
  } const rows[] = {
      {{"完成図面", "C0PL001Z"}, true, {QStringLiteral("1:500 → 1:250")}, false},
      {{"完成図面", "C0LC001Z"}, true, {}, false},
      {{"打合せ簿", "提出(施工管理)", "0001_03.TXT"}, false,
       {QStringLiteral("主任技術者の資格一覧 → 主任技術者の資格一覧（改訂）")}, true},
      {{"打合せ簿", "提出(施工管理)", "0001_02.PDF"}, false, {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item.join(" / ").toStdString());
    j.Click(row.item);
    TExtGrid3& grid = row.drawing ? *w.frmCADFiles->Grid : *w.frmFiles->Grid;
    QLabel* note = row.drawing ? w.frmCADFiles->lblCompareFile : w.frmFiles->lblCompareFile;
    EXPECT_TRUE(grid.isVisible());
    EXPECT_EQ(ArrowValues(grid), row.arrows);
    EXPECT_EQ(note->isVisible(), row.fileNote);
    if (row.fileNote) {
      // The old and the new size in bytes.
      const QString size = QStringLiteral("%1 → %2").arg(QFileInfo(test::QSample("clean") + "/MEET/ORG/0001_03.TXT").size())
                               .arg(QFileInfo(test::Q(copy_ + "/MEET/ORG/0001_03.TXT")).size());
      EXPECT_TRUE(note->text().contains(size)) << note->text().toStdString();
    }
    if (!row.arrows.isEmpty()) j.Shot(QStringLiteral("compare_") + (row.drawing ? "drawing" : "file") + "_old_to_new");
  }
  // 比較終了: the plain values again.
  w.CompareView->miCompareEnd->trigger();
  j.Click({"完成図面", "C0PL001Z"});
  EXPECT_TRUE(ArrowValues(*w.frmCADFiles->Grid).isEmpty());
  j.Click({"打合せ簿", "提出(施工管理)", "0001_03.TXT"});
  EXPECT_TRUE(ArrowValues(*w.frmFiles->Grid).isEmpty());
  EXPECT_FALSE(w.frmFiles->lblCompareFile->isVisible());
}

TEST_F(JourneyCompare, ARemovedRecordStandsWhereItWasAndShowsItsEarlierValues) {
  // Further: the first drawing removed.
  std::string drawings;
  ASSERT_TRUE(ReadWholeFile(copy_ + "/DRAWINGF/DRAWINGF.XML", drawings));
  const std::string first = Utf8ToCp932("\t<図面情報>"), end = Utf8ToCp932("</図面情報>\r\n");
  const std::size_t from = drawings.find(first);
  ASSERT_NE(from, std::string::npos);
  drawings.erase(from, drawings.find(end, from) + end.size() - from);
  ASSERT_TRUE(WriteWholeFile(copy_ + "/DRAWINGF/DRAWINGF.XML", drawings));
  test::TJourney j;
  TfrmMain& w = j.Open({test::Q(copy_)});
  Compare(j, test::QSample("clean"));
  struct Row {
    QStringList item;
    QString before;        // the row above it in its class ("" for the first)
    bool drawing;          // shown in the drawing pane, else the item pane
    QString earlierValue;  // a value of the earlier record shown
  } const rows[] = {
      {{"その他", "工事履行報告書（5月分）"}, QStringLiteral("工事履行報告書（4月分）"), false,
       QStringLiteral("工事履行報告書（5月分）")},
      {{"完成図面", "C0LC001Z"}, QString(), true, QStringLiteral("見本県見本市中町一丁目地内")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item.join(" / ").toStdString());
    TTreeItem* item = j.Item(row.item);
    ASSERT_TRUE(item);
    const QModelIndex index = w.TreeModel()->IndexOf(item);
    const QModelIndex above = index.sibling(index.row() - 1, 0);
    EXPECT_EQ(above.isValid() ? above.data().toString() : QString(), row.before);
    // Greyed, yet selectable.
    EXPECT_EQ(index.data(Qt::ForegroundRole).value<QColor>(),
              TKKTTreeModel::CompareColor(cmRemoved, IsDark(QApplication::palette().color(QPalette::Base))));
    j.Click(item);
    QWidget* pane = row.drawing ? static_cast<QWidget*>(w.frmCADFiles) : static_cast<QWidget*>(w.frmInfo);
    TExtGrid3& grid = row.drawing ? *w.frmCADFiles->Grid : *w.frmInfo->Grid;
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(pane->findChild<QLabel*>("lblCompareRemoved")->isVisible());
    QStringList values;
    for (int r = 1; r < grid.RowCount(); ++r) values << grid.Cell(3, r);
    const int at = static_cast<int>(values.indexOf(row.earlierValue)) + 1;
    ASSERT_GT(at, 0) << values.join("|").toStdString();
    // Greyed as its tree item.
    EXPECT_EQ(grid.CellAtr(3, at).Line[0].FontColor, RemovedValueColor(&grid));
    j.Shot(QStringLiteral("compare_removed_") + (row.drawing ? "drawing" : "record"));
  }
  // A record still there: its own values, no removal told.
  j.Click({"その他", "工事履行報告書（4月分）"});
  EXPECT_FALSE(w.frmInfo->lblCompareRemoved->isVisible());
  EXPECT_EQ(w.frmInfo->Grid->Cell(3, 2), QStringLiteral("工事履行報告書（4月分）"));
  j.Click({"完成図面", "C0PL001Z"});
  EXPECT_FALSE(w.frmCADFiles->lblCompareRemoved->isVisible());
}

TEST_F(JourneyCompare, WhileTheEarlierDeliveryIsReadTheWindowGoesOnAndALoadOrEndStopsTheCompareCleanly) {
  test::TJourney j;
  TfrmMain& w = j.Open({test::Q(copy_)});
  TCompareView& c = *w.CompareView;
  const QStringList all = ShownTreeRows(w);
  struct Row {
    const char* name;
    std::function<void()> stop;
  } const rows[] = {
      {"a load", [&] { j.Key(Qt::Key_F5); }},
      {"比較終了", [&] { c.miCompareEnd->trigger(); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // The worker held before it reads anything.
    QSemaphore started, hold;
    // Let go whatever happens below, so that no worker waits forever.
    const std::unique_ptr<QSemaphore, void (*)(QSemaphore*)> letGo(&hold, [](QSemaphore* h) { h->release(); });
    TCompareView::WorkerStarts = [&] {
      started.release();
      hold.acquire();
    };
    TfrmMainHooks::SelectFolder = [](QWidget*, const QString&, QString& chosen) {
      chosen = test::QSample("clean");
      return true;
    };
    c.miCompare->trigger();
    ASSERT_TRUE(started.tryAcquire(1, 10000));
    EXPECT_TRUE(c.Running());
    EXPECT_TRUE(c.lblCompareLegend->isVisible());
    EXPECT_TRUE(c.lblCompareLegend->text().startsWith(QStringLiteral("比較中"))) << c.lblCompareLegend->text().toStdString();
    // The window answers meanwhile: a record clicked shows its values.
    j.Click({"打合せ簿", "協議(工程管理)"});
    EXPECT_TRUE(w.frmInfo->isVisible());
    EXPECT_TRUE(w.frmInfo->Grid->Cell(3, 3).contains(QStringLiteral("工程表の変更について"))) << w.frmInfo->Grid->Cell(3, 3).toStdString();
    row.stop();
    EXPECT_FALSE(c.Running());
    EXPECT_FALSE(c.lblCompareLegend->isVisible());
    // The worker let go finishes on its own; nothing of it lands.
    hold.release();
    TCompareView::WorkerStarts = nullptr;
    EXPECT_TRUE(test::WaitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 30000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(c.Comparing());
    EXPECT_FALSE(c.lblCompareLegend->isVisible());
    EXPECT_TRUE(c.miCompare->isEnabled());
    EXPECT_EQ(ShownTreeRows(w), all);
    EXPECT_EQ(w.TreeModel()->CompareMark(j.Item({"打合せ簿", "提出(施工管理)", "0001_03.TXT"})), cmNone);
  }
  // A compare after them runs to its end.
  Compare(j, test::QSample("clean"));
  EXPECT_EQ(w.TreeModel()->CompareMark(j.Item({"打合せ簿", "提出(施工管理)", "0001_03.TXT"})), cmChanged);
}

TEST_F(JourneyCompare, ANewLoadEndsTheCompare) {
  test::TJourney j;
  TfrmMain& w = j.Open({test::Q(copy_)});
  const QStringList all = ShownTreeRows(w);
  Compare(j, test::QSample("clean"));
  w.CompareView->miCompareChangedOnly->trigger();
  ASSERT_NE(ShownTreeRows(w), all);
  j.Key(Qt::Key_F5);
  EXPECT_FALSE(w.CompareView->Comparing());
  EXPECT_EQ(ShownTreeRows(w), all);
  EXPECT_EQ(w.TreeModel()->CompareMark(j.Item({"打合せ簿", "提出(施工管理)", "0001_03.TXT"})), cmNone);
}

}  // namespace
}  // namespace dlvr
