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
#include <QTimer>

#include "check/data_check.h"
#include "check/viewer_model.h"
#include "panes/xml_err.h"
#include "support/fixtures.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace dlvr {
namespace {

using test::ScriptedPrompts;
using Rows = TfrmXMLErr::TErrorRows;

TEST(XmlErrTest, CleanCheckShowsTheMessageAndNoWindow) {
  ScriptedPrompts prompts;
  TViewerModel m;
  m.View.ErrorList.clear();
  EXPECT_EQ(TfrmXMLErr::ShowErrors(nullptr, m.View), 0);
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "データは正常です。");
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Information);
  EXPECT_EQ(prompts.Shown[0].Buttons, MsgButtons::Ok);
}

TEST(XmlErrTest, ErrorsAreShownInAModalWindow) {
  ScriptedPrompts prompts;
  TViewerModel m;
  m.View.ErrorList = {{"A", "S", "F", "i", "x"}, {"A", "S", "F", "j", "y"}};
  int rows = -1;
  bool modal = false;
  QTimer::singleShot(0, [&] {
    auto* w = qobject_cast<TfrmXMLErr*>(QApplication::activeModalWidget());
    if (!w) return;
    modal = w->isModal();
    rows = w->Grid->RowCount();
    w->tblClose->click();
  });
  EXPECT_EQ(TfrmXMLErr::ShowErrors(nullptr, m.View), QDialog::Rejected);
  EXPECT_TRUE(modal);
  EXPECT_EQ(rows, 3);
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST(XmlErrTest, WindowHasItsCaptionControlsAndColumns) {
  TfrmXMLErr w;
  EXPECT_EQ(w.windowTitle(), "データチェック");
  ASSERT_NE(w.findChild<QToolButton*>("tlbPrint"), nullptr);
  EXPECT_EQ(w.findChild<QToolButton*>("tlbPrint")->text(), "    印刷    ");
  EXPECT_EQ(w.findChild<QToolButton*>("tlbPrint")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
  ASSERT_NE(w.findChild<QToolButton*>("tblClose"), nullptr);
  EXPECT_EQ(w.findChild<QToolButton*>("tblClose")->text(), "閉じる");
  TExtGrid3* g = w.findChild<TExtGrid3*>("Grid");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->ColCount(), 6);
  EXPECT_EQ(g->FixedRows(), 1);
  EXPECT_TRUE(g->Options().testFlag(goRowSelect));
  const QStringList titles = {"NO.", "管理ファイル名", "分類名", "ファイル名", "項目名", "状態"};
  const int chars[] = {4, 14, 34, 12, 40, 16};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(g->Cell(c, 0), titles[c]);
    EXPECT_EQ(g->ColWidth(c), g->TextWidth0(chars[c]) + 4) << c;
  }
  EXPECT_EQ(g->CellAtr(2, 0).Line[0].Alignment, taCenter);
  EXPECT_EQ(g->CellAtr(0, 1).Line[0].Alignment, taRightJustify);
  EXPECT_EQ(g->CellAtr(2, 1).Line[0].Alignment, taLeftJustify);
  EXPECT_FALSE(w.pnlBottom->isVisibleTo(&w));
  // The width is fixed; the height may grow.
  const int width = 764 + QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  EXPECT_EQ(w.minimumWidth(), width);
  EXPECT_EQ(w.maximumWidth(), width);
  EXPECT_EQ(w.minimumHeight(), 276);
  EXPECT_GT(w.maximumHeight(), 276);
}

TEST(XmlErrTest, RowsAreNumberedOnePerError) {
  TfrmXMLErr w;
  Rows rows;
  for (int i = 0; i < 12; ++i)
    rows.push_back({"F" + std::to_string(i), "S", "N", "項目" + std::to_string(i), "未入力"});
  w.Fill(rows);
  ASSERT_EQ(w.Grid->RowCount(), 13);
  EXPECT_EQ(w.Grid->Cell(0, 1), "1");
  EXPECT_EQ(w.Grid->Cell(0, 12), "12");
  EXPECT_EQ(w.Grid->Cell(1, 12), "F11");
  EXPECT_EQ(w.Grid->Cell(4, 12), "項目11");
  EXPECT_EQ(w.Grid->Cell(5, 12), "未入力");
  // Every row has its own 管理ファイル名, so nothing is blanked.
  EXPECT_EQ(w.Grid->Cell(2, 12), "S");
  EXPECT_EQ(w.Grid->Cell(3, 12), "N");
  // The list is read, never edited: typing into a cell changes nothing.
  EXPECT_FALSE(w.Grid->Editing());
  w.show();
  w.Grid->setFocus();
  w.Grid->MoveTo(4, 3, false);
  QTest::keyClicks(w.Grid, "xyz");
  QTest::keyClick(w.Grid, Qt::Key_Return);
  EXPECT_EQ(w.Grid->Cell(4, 3), "項目2");
}

TEST(XmlErrTest, ConsecutiveErrorsOfOneRecordShowItsNamesOnce) {
  TfrmXMLErr w;
  w.Fill({
      {"MEET.XML", "打合せ簿", "MEET0001.PDF", "打合せ簿名称", "未入力"},
      {"MEET.XML", "打合せ簿", "MEET0001.PDF", "発行日付", "形式不正"},
      {"MEET.XML", "打合せ簿", "MEET0001.PDF", "受理日付", "未入力"},
  });
  ASSERT_EQ(w.Grid->RowCount(), 4);
  EXPECT_EQ(w.Grid->Cell(1, 1), "MEET.XML");
  EXPECT_EQ(w.Grid->Cell(2, 1), "打合せ簿");
  EXPECT_EQ(w.Grid->Cell(3, 1), "MEET0001.PDF");
  for (int r = 2; r <= 3; ++r) {
    EXPECT_EQ(w.Grid->Cell(0, r), QString::number(r));
    EXPECT_EQ(w.Grid->Cell(1, r), "") << r;
    EXPECT_EQ(w.Grid->Cell(2, r), "") << r;
    EXPECT_EQ(w.Grid->Cell(3, r), "") << r;
  }
  EXPECT_EQ(w.Grid->Cell(4, 3), "受理日付");
  EXPECT_EQ(w.Grid->Cell(5, 2), "形式不正");
}

TEST(XmlErrTest, BlankingComparesTheLeadingColumnsOnly) {
  TfrmXMLErr w;
  w.Fill({
      {"A", "S1", "F1", "i", "x"},
      {"A", "S1", "F2", "i", "x"},  // same section and naming value, new file
      {"A", "S2", "F2", "i", "x"},  // same file name, other naming value
      {"B", "S2", "F2", "i", "x"},  // other section: everything shows
      {"B", "S2", "F2", "i", "x"},
  });
  EXPECT_EQ(w.Grid->Cell(1, 2), "");
  EXPECT_EQ(w.Grid->Cell(2, 2), "");
  EXPECT_EQ(w.Grid->Cell(3, 2), "F2");
  EXPECT_EQ(w.Grid->Cell(1, 3), "");
  EXPECT_EQ(w.Grid->Cell(2, 3), "S2");
  EXPECT_EQ(w.Grid->Cell(3, 3), "F2");
  EXPECT_EQ(w.Grid->Cell(1, 4), "B");
  EXPECT_EQ(w.Grid->Cell(2, 4), "S2");
  EXPECT_EQ(w.Grid->Cell(3, 4), "F2");
  // Row 5 is compared with row 4 as it was filled, not as blanked.
  EXPECT_EQ(w.Grid->Cell(1, 5), "");
  EXPECT_EQ(w.Grid->Cell(2, 5), "");
  EXPECT_EQ(w.Grid->Cell(3, 5), "");
}

TEST(XmlErrTest, LongTextsShowAsHints) {
  TfrmXMLErr w;
  const std::string s34(34, 'a');
  const std::string s35(35, 'a');
  // 18 double-byte characters are 36 bytes although only 18 characters.
  const std::string wide18 = [] {
    std::string s;
    for (int i = 0; i < 18; ++i) s += "あ";
    return s;
  }();
  const std::string i40(40, 'b'), i41(41, 'b');
  w.Fill({
      {"A", s34, "F", i40, "x"},
      {"B", s35, "F", i41, "x"},
      {"C", wide18, "F", "y", "x"},
  });
  EXPECT_EQ(w.CellHint(2, 1), "");
  EXPECT_EQ(w.CellHint(2, 2), QString::fromStdString(s35));
  EXPECT_EQ(w.CellHint(2, 3), QString::fromStdString(wide18));
  EXPECT_EQ(w.CellHint(4, 1), "");
  EXPECT_EQ(w.CellHint(4, 2), QString::fromStdString(i41));
  // Other columns never give hints, whatever their length.
  EXPECT_EQ(w.CellHint(5, 2), "");
  ASSERT_TRUE(w.Grid->OnCellHint);
  EXPECT_EQ(w.Grid->OnCellHint(2, 2), QString::fromStdString(s35));
  EXPECT_EQ(w.Grid->OnCellHint(2, 1), "");
}

TEST(XmlErrTest, RowsHoldTheirFontSoThatUnderscoresShow) {
  struct Case {
    const char* family;
    int pixels;
  };
  const Case fonts[] = {{"ＭＳ ゴシック", 12}, {"DejaVu Serif", 20}, {"IPAGothic", 10}, {"ＭＳ ゴシック", 16},
                        {"DejaVu Sans", 12}};
  TfrmXMLErr w;
  w.Fill({{"A", "S", "x", "i", "x"}, {"B", "S", "0003_01.pdf", "i", "x"}, {"C", "S", "0003 01.pdf", "i", "x"}});
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  for (const Case& c : fonts) {
    SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.pixels));
    QFont font(QString::fromUtf8(c.family));
    font.setPixelSize(c.pixels);
    w.Grid->setFont(font);
    // 16 pixels, or one text line with its padding when that is more.
    const int row = std::max(16, QFontMetrics(font).height() + 4);
    for (int r = 0; r < w.Grid->RowCount(); ++r) EXPECT_EQ(w.Grid->RowHeight(r), row) << r;
    // The window grows by whole rows; columns stay sized in characters.
    EXPECT_EQ(w.FMC->StepV, row + w.Grid->GridLineWidth());
    EXPECT_EQ(w.Grid->ColWidth(3), w.Grid->TextWidth0(12) + 4);
    const QImage img = w.Grid->viewport()->grab().toImage();
    EXPECT_TRUE(img.copy(w.Grid->CellRect(3, 2)) != img.copy(w.Grid->CellRect(3, 3)));
  }
}

TEST(XmlErrTest, CutTextsEndInAnEllipsisAndShowWholeAsHints) {
  struct Case {
    int col;
    std::string text;
    bool cut;
  };
  const Case cases[] = {
      {3, "0003_01.pdf", false},
      {3, "0003_01_revised.pdf", true},  // wider than 12 characters
      {1, "INDEX_C.XML", false},
      {1, "MEET_SECTION_0001.XML", true},
      {2, std::string(34, 'a'), false},  // the 分類名 hint starts at 35 bytes
      {2, std::string(35, 'a'), true},
      {5, "ファイルを読み込めません。", true},
  };
  TfrmXMLErr w;
  Rows rows;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string n = std::to_string(i);
    std::array<std::string, 5> e = {"M" + n, "S" + n, "F" + n, "I", "x"};
    e[static_cast<std::size_t>(cases[i].col - 1)] = cases[i].text;
    rows.push_back(e);
  }
  w.Fill(rows);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.text);
    const int row = static_cast<int>(i) + 1;
    const QString text = QString::fromStdString(c.text);
    ASSERT_EQ(w.Grid->Cell(c.col, row), text);
    EXPECT_EQ(w.Grid->ShownLineText(c.col, row, 0).endsWith(QStringLiteral("…")), c.cut);
    EXPECT_EQ(w.Grid->CellHint(c.col, row), c.cut ? text : QString());
  }
}

// A screenshot for a person to look at: the data check of the errors
// sample, written only when DLVR_SCREENSHOT_DIR names a folder.
TEST(XmlErrTest, Screenshot) {
  const QString folder = qEnvironmentVariable("DLVR_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "set DLVR_SCREENSHOT_DIR to write screenshots";
  QDir().mkpath(folder);
  TViewerModel m;
  m.View.Load(test::SamplePath("errors"));
  RunDataCheck(m.View);
  ASSERT_FALSE(m.View.ErrorList.empty());
  TfrmXMLErr w;
  w.Fill(m.View.ErrorList);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  // Every row in view, as far as the screen allows.
  const int rows = w.Grid->RowCount() * (w.Grid->DefaultRowHeight() + w.Grid->GridLineWidth());
  w.resize(w.width(), w.height() - w.Grid->ClientHeight() + rows + 4);
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(folder + "/error_list.png"));
  // The hint over the first cut file name, taken from the screen (hints
  // are windows of their own; the offscreen platform has no screen to take).
  for (int row = 1; row < w.Grid->RowCount(); ++row) {
    if (w.Grid->CellHint(3, row).isEmpty()) continue;
    const QRect cell = w.Grid->CellRect(3, row);
    const QPoint global = w.Grid->viewport()->mapToGlobal(cell.center());
    QHelpEvent help(QEvent::ToolTip, cell.center(), global);
    QApplication::sendEvent(w.Grid->viewport(), &help);
    QTest::qWait(300);
    const QRect area(global - QPoint(120, 60), QSize(360, 120));
    const QPixmap shot = w.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.isNull()) EXPECT_TRUE(shot.save(folder + "/error_list_hint.png"));
    break;
  }
}

}  // namespace
}  // namespace dlvr
