// The error list window: numbering, blanking of repeats, hints and the
// message for a clean check.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include <functional>

#include "check/data_check.h"
#include "check/viewer_model.h"
#include "components/ext_registry.h"
#include "panes/delivery_check.h"
#include "panes/xml_err.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"

namespace dlvr {
namespace {

using test::ScriptedPrompts;
using Rows = TfrmXMLErr::TErrorRows;

TEST(XmlErrTest, CleanCheckShowsTheMessageAndNoWindow) {
  ScriptedPrompts prompts;
  TViewerModel m;
  m.View.ErrorList.clear();
  EXPECT_EQ(TfrmXMLErr::ShowErrors(nullptr, m.View), nullptr);
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "データは正常です。");
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Information);
  EXPECT_EQ(prompts.Shown[0].Buttons, MsgButtons::Ok);
}

TEST(XmlErrTest, ErrorsShowInOneWindowPerOwnerThatBlocksNothing) {
  ScriptedPrompts prompts;
  TViewerModel m;
  QWidget owner;
  m.View.ErrorList = {{"A", "S", "F", "i", "x"}, {"A", "S", "F", "j", "y"}};
  TfrmXMLErr* w = TfrmXMLErr::ShowErrors(&owner, m.View);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(w->List->ShownRows(), 2);
  EXPECT_TRUE(prompts.Shown.empty());
  // The next check fills the same window.
  m.View.ErrorList.push_back({"B", "T", "G", "k", "z"});
  EXPECT_EQ(TfrmXMLErr::ShowErrors(&owner, m.View), w);
  EXPECT_EQ(w->List->ShownRows(), 3);
  EXPECT_EQ(owner.findChildren<TfrmXMLErr*>().size(), 1);
  // A clean check closes it.
  QPointer<TfrmXMLErr> gone(w);
  m.View.ErrorList.clear();
  EXPECT_EQ(TfrmXMLErr::ShowErrors(&owner, m.View), nullptr);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(gone.isNull());
}

TEST(XmlErrTest, WindowIsSizeable) {
  TfrmXMLErr w;
  EXPECT_EQ(w.minimumHeight(), 276);
  EXPECT_GT(w.maximumHeight(), 276);
  EXPECT_GT(w.maximumWidth(), w.minimumWidth());
}

// Both finding windows keep the size and place the user gave them for the
// next one; Escape closes them.
TEST(XmlErrTest, FindingWindowsKeepTheirPlacement) {
  struct Case {
    const char* Key;
    std::function<QWidget*(QWidget* owner)> Show;
  };
  ScriptedPrompts prompts;
  TViewerModel m;
  m.View.ErrorList = {{"A", "S", "F", "i", "x"}};
  const Case cases[] = {
      {"WinPos\\frmXMLErr", [&](QWidget* owner) -> QWidget* { return TfrmXMLErr::ShowErrors(owner, m.View); }},
      {"WinPos\\frmDeliveryCheck",
       [&](QWidget* owner) -> QWidget* {
         return TfrmDeliveryCheck::ShowFindings(owner, {{TSeverity::Error, "1", "A", "r", "x"}}, {});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Key);
    TExtRegistry placement;
    placement.SetSection(QString::fromLatin1(c.Key));
    placement.WriteInteger("Width", 0);  // nothing usable stored
    QWidget owner;
    QPointer<QWidget> w = c.Show(&owner);
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    w->resize(700, 333);
    QApplication::processEvents();
    QTest::keyClick(w, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull()) << "Escape closes the window";
    EXPECT_EQ(placement.ReadInteger("Width", 0), 700);
    EXPECT_EQ(placement.ReadInteger("Height", 0), 333);
    QPointer<QWidget> again = c.Show(&owner);
    ASSERT_TRUE(again);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again));
    EXPECT_EQ(again->size(), QSize(700, 333));
    again->close();
  }
}

TEST(XmlErrTest, RowsAreNumberedOnePerError) {
  TfrmXMLErr w;
  Rows rows;
  for (int i = 0; i < 12; ++i)
    rows.push_back({"F" + std::to_string(i), "S", "N", "項目" + std::to_string(i), "未入力"});
  w.Fill(rows);
  ASSERT_EQ(w.List->ShownRows(), 12);
  EXPECT_EQ(w.List->ShownText(0, 0), "1");
  EXPECT_EQ(w.List->ShownText(0, 11), "12");
  EXPECT_EQ(w.List->ShownText(1, 11), "F11");
  EXPECT_EQ(w.List->ShownText(4, 11), "項目11");
  EXPECT_EQ(w.List->ShownText(5, 11), "未入力");
  // Every row has its own 管理ファイル名, so nothing is blanked.
  EXPECT_EQ(w.List->ShownText(2, 11), "S");
  EXPECT_EQ(w.List->ShownText(3, 11), "N");
  // Sorted by NO. descending, the numbers count down.
  w.List->tvwFindings->sortByColumn(0, Qt::DescendingOrder);
  EXPECT_EQ(w.List->ShownText(0, 0), "12");
  EXPECT_EQ(w.List->ShownText(0, 2), "10");
}

TEST(XmlErrTest, RepeatedNamesBlankAgainstTheRowShownAbove) {
  struct Case {
    const char* Name;
    Rows Errors;
    int SortColumn;  // -1: as the check gave them
    std::vector<std::array<const char*, 3>> Shown;  // columns 1-3 per row as shown
  };
  const Case cases[] = {
      {"a record's errors show its names once",
       {{"MEET.XML", "打合せ簿", "MEET0001.PDF", "打合せ簿名称", "未入力"},
        {"MEET.XML", "打合せ簿", "MEET0001.PDF", "発行日付", "形式不正"},
        {"MEET.XML", "打合せ簿", "MEET0001.PDF", "受理日付", "未入力"}},
       -1,
       {{"MEET.XML", "打合せ簿", "MEET0001.PDF"}, {"", "", ""}, {"", "", ""}}},
      {"only the leading columns count",
       {{"A", "S1", "F1", "i", "x"},
        {"A", "S1", "F2", "i", "x"},   // same section and naming value, new file
        {"A", "S2", "F2", "i", "x"},   // same file name, other naming value
        {"B", "S2", "F2", "i", "x"},   // other section: everything shows
        {"B", "S2", "F2", "i", "x"}},  // compared with the row above as given, not as blanked
       -1,
       {{"A", "S1", "F1"}, {"", "", "F2"}, {"", "S2", "F2"}, {"B", "S2", "F2"}, {"", "", ""}}},
      {"sorted, the rows above are the ones shown",
       {{"A", "S", "F", "b", "x"}, {"B", "S", "F", "a", "x"}, {"A", "S", "F", "c", "x"}},
       4,
       {{"B", "S", "F"}, {"A", "S", "F"}, {"", "", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TfrmXMLErr w;
    w.Fill(c.Errors);
    if (c.SortColumn >= 0) w.List->tvwFindings->sortByColumn(c.SortColumn, Qt::AscendingOrder);
    ASSERT_EQ(w.List->ShownRows(), static_cast<int>(c.Shown.size()));
    for (int r = 0; r < w.List->ShownRows(); ++r)
      for (int col = 1; col <= 3; ++col)
        EXPECT_EQ(w.List->ShownText(col, r), QString::fromUtf8(c.Shown[static_cast<std::size_t>(r)][col - 1]))
            << "row " << r << " column " << col;
  }
}

TEST(XmlErrTest, LongTextsShowWholeAsHints) {
  TfrmXMLErr w;
  const std::string long35(35, 'a');
  w.Fill({{"A", long35, "F", "i", "x"}, {"A", long35, "F", "j", "x"}});
  const QAbstractItemModel* shown = w.List->tvwFindings->model();
  EXPECT_EQ(shown->index(0, 2).data(Qt::ToolTipRole).toString(), QString::fromStdString(long35));
  // A blanked repeat still tells what it stands for.
  EXPECT_EQ(shown->index(1, 2).data(Qt::DisplayRole).toString(), "");
  EXPECT_EQ(shown->index(1, 2).data(Qt::ToolTipRole).toString(), QString::fromStdString(long35));
}

TEST(XmlErrTest, EnterAndDoubleClickReportTheErrorAsTheCheckGaveIt) {
  TfrmXMLErr w;
  const Rows errors = {{"A", "S", "F1", "i", "x"}, {"B", "T", "F2", "j", "y"}, {"C", "U", "F3", "k", "z"}};
  w.Fill(errors);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  std::vector<TFindingRef> reported;
  QObject::connect(&w, &TfrmXMLErr::FindingActivated, [&](const TFindingRef& f) { reported.push_back(f); });
  // Sorted by 項目名 descending: the first row shown is the last error.
  QTreeView* view = w.List->tvwFindings;
  view->sortByColumn(4, Qt::DescendingOrder);
  view->setFocus();
  view->setCurrentIndex(view->model()->index(0, 0));
  QTest::keyClick(view, Qt::Key_Return);
  const QRect second = view->visualRect(view->model()->index(1, 1));
  // A double-click is a press and a double-click event on the same row.
  QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  view->setCurrentIndex(view->model()->index(2, 0));
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_EQ(reported.size(), 3u);
  EXPECT_TRUE(reported[0].DataCheck);
  EXPECT_EQ(reported[0].Row, 2u);
  EXPECT_EQ(reported[0].Texts, errors[2]);
  EXPECT_EQ(reported[1].Row, 1u);
  EXPECT_EQ(reported[1].Texts, errors[1]);
  EXPECT_EQ(reported[2].Row, 0u);
  EXPECT_EQ(reported[2].Texts, errors[0]);
}

// A screenshot for a person to look at: the data check of the errors
// sample, written only when DLVR_SCREENSHOT_DIR names a folder.
TEST(XmlErrTest, Screenshot) {
  const QString folder = qEnvironmentVariable("DLVR_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "set DLVR_SCREENSHOT_DIR to write screenshots";
  QDir().mkpath(folder);
  ScriptedPrompts prompts;
  TViewerModel m;
  m.View.Load(test::SamplePath("errors"));
  RunDataCheck(m.View);
  ASSERT_FALSE(m.View.ErrorList.empty());
  QWidget owner;
  TfrmXMLErr* w = TfrmXMLErr::ShowErrors(&owner, m.View);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  QTest::qWait(50);
  EXPECT_TRUE(w->grab().save(folder + "/error_list.png"));
  w->resize(560, 400);
  QTest::qWait(50);
  EXPECT_TRUE(w->grab().save(folder + "/error_list_narrow.png"));
  w->resize(1500, 700);
  w->List->SetGrouped(true);
  w->List->tvwFindings->expandAll();
  QTest::qWait(50);
  EXPECT_TRUE(w->grab().save(folder + "/error_list_wide_grouped.png"));
  w->close();
}

}  // namespace
}  // namespace dlvr
