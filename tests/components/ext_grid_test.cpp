// The extended grid, its cell sizing companion and the viewer-mode look:
// line rules, attributes on demand, cursor rules for keys and mouse, line
// entry and leaving reports, sizes and drawing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QVBoxLayout>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "components/grid_mode.h"

namespace dlvr {
namespace {

const QString CRLF = QStringLiteral("\r\n");

class ExtGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win_ = std::make_unique<QWidget>();
    win_->resize(480, 320);
    auto* layout = new QVBoxLayout(win_.get());
    grid_ = new TExtGrid3(win_.get());
    grid_->setObjectName(QStringLiteral("Grid"));
    other_ = new QLineEdit(win_.get());
    other_->setObjectName(QStringLiteral("edtOther"));
    layout->addWidget(grid_);
    layout->addWidget(other_);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(12);
    grid_->setFont(font);
    grid_->SetColCount(5);
    grid_->SetRowCount(6);
    grid_->SetDefaultRowHeight(grid_->CellHeight(1) + 2);
    ApplyGridMode(*grid_);
    win_->show();
    win_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win_.get()));
  }

  // Columns 2 and 3 take the cursor; cell (2, 2) holds three lines.
  void TwoSelectableColumns(int threeLineKind1 = ekInplace) {
    grid_->OnSetCellAtr = [this, threeLineKind1](int col, int row, TCellAtr& a) {
      if (a.Fixed) return;
      a.Selectable = col == 2 || col == 3;
      if (col == 2 && row == 2) {
        a.LineCount = 3;
        a.Line[1].EditKind = threeLineKind1;
      }
    };
    grid_->SetRowHeight(2, grid_->CellHeight(3));
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid_;
    QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
  }

  std::tuple<int, int, int> Cursor() const { return {grid_->Col(), grid_->Row(), grid_->CurLine()}; }

  std::unique_ptr<QWidget> win_;
  TExtGrid3* grid_ = nullptr;
  QLineEdit* other_ = nullptr;
};

using Pos = std::tuple<int, int, int>;

TEST(ExtGridLines, ReadAndWriteLinesOfACell) {
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("a\r\nb"), 0), QStringLiteral("a"));
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("a\r\nb"), 1), QStringLiteral("b"));
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("a\r\nb"), 2), QString());
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("\r\nx"), 0), QString());
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("\r\nx"), 1), QStringLiteral("x"));
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("one line"), 0), QStringLiteral("one line"));
  // A bare line feed is no separator.
  EXPECT_EQ(TExtGrid3::GetLine(QStringLiteral("a\nb"), 1), QString());

  // Writing a line always stores four lines.
  EXPECT_EQ(TExtGrid3::PutLine(QString(), 2, QStringLiteral("z")), QStringLiteral("\r\n\r\nz\r\n"));
  EXPECT_EQ(TExtGrid3::PutLine(QStringLiteral("a"), 0, QStringLiteral("b")), QStringLiteral("b\r\n\r\n\r\n"));
  EXPECT_EQ(TExtGrid3::PutLine(QStringLiteral("1\r\n2\r\n3\r\n4\r\n5"), 1, QStringLiteral("x")),
            QStringLiteral("1\r\nx\r\n3\r\n4"));
}

TEST_F(ExtGridTest, CellAndLineTextOnTheGrid) {
  grid_->SetLineText(2, 3, 2, QStringLiteral("third"));
  EXPECT_EQ(grid_->Cell(2, 3), CRLF + CRLF + QStringLiteral("third") + CRLF);
  EXPECT_EQ(grid_->LineText(2, 3, 2), QStringLiteral("third"));
  EXPECT_EQ(grid_->LineText(2, 3, 0), QString());
  // Outside the grid nothing is stored and nothing read.
  grid_->SetCell(9, 9, QStringLiteral("x"));
  EXPECT_EQ(grid_->Cell(9, 9), QString());
  // Cells survive a growing grid; shrinking drops them.
  grid_->SetCell(4, 5, QStringLiteral("corner"));
  grid_->SetRowCount(10);
  EXPECT_EQ(grid_->Cell(4, 5), QStringLiteral("corner"));
  grid_->SetColCount(4);
  grid_->SetColCount(5);
  EXPECT_EQ(grid_->Cell(4, 5), QString());
}

TEST_F(ExtGridTest, AttributesAreAskedFreshForEveryPaintedCell) {
  std::vector<std::pair<int, int>> asked;
  int dirty = 0;
  grid_->OnSetCellAtr = [&](int col, int row, TCellAtr& a) {
    asked.emplace_back(col, row);
    const bool fixed = col < 1 || row < 1;
    if (a.Fixed != fixed || a.Selectable == fixed || a.LineCount != 1 || a.Line[3].Position != 3 ||
        a.Color != (fixed ? grid_->FixedColor() : grid_->DefaultCellColor()))
      ++dirty;
    // Changes that must not leak into the next request.
    a.LineCount = 4;
    a.Color = Qt::red;
    a.Line[3].Position = 0;
    a.Selectable = true;  // ignored for fixed cells
    a.RightLine = QPen(Qt::red);
  };
  for (int pass = 0; pass < 2; ++pass) {
    asked.clear();
    grid_->grab();
    std::set<std::pair<int, int>> cells(asked.begin(), asked.end());
    for (int r = 0; r < 6; ++r)
      for (int c = 0; c < 5; ++c) EXPECT_TRUE(cells.count({c, r})) << c << "," << r << " pass " << pass;
  }
  EXPECT_EQ(dirty, 0);

  const TCellAtr fixed = grid_->CellAtr(0, 2);
  EXPECT_TRUE(fixed.Fixed);
  EXPECT_FALSE(fixed.Selectable);
  EXPECT_EQ(fixed.RightLine.color(), QColor(Qt::black));
  EXPECT_EQ(fixed.LineCount, 4);  // other changes of the owner stay
  EXPECT_TRUE(grid_->CellAtr(2, 2).Selectable);
  EXPECT_EQ(grid_->CellAtr(2, 2).RightLine.color(), QColor(Qt::red));
}

TEST_F(ExtGridTest, DefaultGridLinesFollowTheGridColour) {
  EXPECT_EQ(grid_->CellAtr(2, 2).RightLine.color(), QColor(192, 192, 192));
  grid_->SetColor(QColor(192, 192, 192));
  EXPECT_EQ(grid_->CellAtr(2, 2).BottomLine.color(), QColor(128, 128, 128));
  EXPECT_EQ(grid_->CellAtr(2, 0).BottomLine.color(), QColor(Qt::black));
}

TEST_F(ExtGridTest, SelectionIsRefusedByLimitsFixedCellsAndAttributes) {
  TwoSelectableColumns();
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  EXPECT_FALSE(grid_->MoveTo(0, 2, false));  // fixed column
  EXPECT_FALSE(grid_->MoveTo(2, 0, false));  // fixed row
  EXPECT_FALSE(grid_->MoveTo(4, 2, false));  // not selectable
  EXPECT_EQ(Cursor(), Pos(2, 1, 0));

  grid_->SetColMax(2);
  grid_->SetRowMax(3);
  EXPECT_FALSE(grid_->MoveTo(3, 1, false));
  EXPECT_FALSE(grid_->MoveTo(2, 4, false));
  EXPECT_TRUE(grid_->MoveTo(2, 3, false));
  // Moves stop at the limits as well.
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 3, 0));
  Key(Qt::Key_Right);
  EXPECT_EQ(Cursor(), Pos(2, 3, 0));

  // Clicking a fixed or a non-selectable cell leaves the cursor.
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(1, 1).center());
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(0, 1).center());
  EXPECT_EQ(Cursor(), Pos(2, 3, 0));

  // A hidden column never takes the cursor.
  grid_->SetColMax(-1);
  grid_->SetColWidth(3, -1);
  EXPECT_FALSE(grid_->MoveTo(3, 1, false));
  EXPECT_TRUE(grid_->CellRect(3, 1).isEmpty());
}

TEST_F(ExtGridTest, ArrowsEnterAndHomeEndMoveBetweenSelectableCells) {
  TwoSelectableColumns();
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  Key(Qt::Key_Right);
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));
  Key(Qt::Key_Right);  // column 4 refuses, no search
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));
  Key(Qt::Key_Left);
  EXPECT_EQ(Cursor(), Pos(2, 1, 0));
  Key(Qt::Key_Left);  // column 1 refuses
  EXPECT_EQ(Cursor(), Pos(2, 1, 0));
  Key(Qt::Key_End);
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));
  Key(Qt::Key_Home);
  EXPECT_EQ(Cursor(), Pos(2, 1, 0));

  // Enter runs through the cells in reading order, wraps to the next row
  // (moLoopRtn) and stops after the last row.
  ASSERT_EQ(grid_->ReturnDir(), rdReturn);
  ASSERT_EQ(grid_->MoveOptions(), TMoveOptions(moLoopRtn));
  ASSERT_TRUE(grid_->MoveTo(3, 1, false));
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(2, 2, 0));
  Key(Qt::Key_Return);  // the next lines of the three-line cell
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(2, 2, 2));
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(3, 2, 0));
  ASSERT_TRUE(grid_->MoveTo(3, 5, false));
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(3, 5, 0));
  grid_->SetMoveOptions(moLoopRtnS);
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(2, 1, 0));
  grid_->SetMoveOptions({});
  Key(Qt::Key_Return);
  Key(Qt::Key_Return);  // end of the row without wrapping
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));

  // rdDown and rdRight.
  grid_->SetReturnDir(rdDown);
  Key(Qt::Key_Enter);
  EXPECT_EQ(Cursor(), Pos(3, 2, 0));
  grid_->SetReturnDir(rdRight);
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));

  // Loops: past the last column to the next row, past the last row to the
  // next column.
  grid_->SetMoveOptions(TMoveOptions(moLoopHorz) | moLoopVert);
  grid_->SetSrchMoveHrz(true);
  Key(Qt::Key_Right);  // (4, 1) refuses; its column holds nothing selectable
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));
  ASSERT_TRUE(grid_->MoveTo(2, 5, false));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));
  Key(Qt::Key_Up);
  EXPECT_EQ(Cursor(), Pos(2, 5, 0));
}

TEST_F(ExtGridTest, SearchMovesFindTheNearestSelectableCell) {
  // A staircase: only the diagonal cells take the cursor.
  grid_->OnSetCellAtr = [](int col, int row, TCellAtr& a) { a.Selectable = a.Selectable && col == row; };
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 2, false));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 2, 0));
  grid_->SetSrchMoveVrt(true);
  Key(Qt::Key_Down);  // row 3: left of column 2 nothing, right of it (3, 3)
  EXPECT_EQ(Cursor(), Pos(3, 3, 0));
  grid_->SetSrchMoveHrz(true);
  Key(Qt::Key_Right);  // column 4: up from row 3 nothing, down (4, 4)
  EXPECT_EQ(Cursor(), Pos(4, 4, 0));
  Key(Qt::Key_Left);  // column 3: up first
  EXPECT_EQ(Cursor(), Pos(3, 3, 0));
}

TEST_F(ExtGridTest, UpDownWalkTheLinesOfAMultiLineCell) {
  TwoSelectableColumns();
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 2, 0));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 2, 1));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 2, 2));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 3, 0));
  Key(Qt::Key_Up);  // entering from below: the last line
  EXPECT_EQ(Cursor(), Pos(2, 2, 2));
  Key(Qt::Key_Up, Qt::ControlModifier);  // Ctrl leaves the cell at once
  EXPECT_EQ(Cursor(), Pos(2, 1, 0));
  // Moving sideways keeps a line index the target cell has.
  ASSERT_TRUE(grid_->MoveTo(2, 2, false));
  ASSERT_TRUE(grid_->SetCurLine(2));
  Key(Qt::Key_Right);
  EXPECT_EQ(Cursor(), Pos(3, 2, 0));
}

TEST_F(ExtGridTest, LinesThatNeverReportLeavingAreSkipped) {
  TwoSelectableColumns(ekNoCRLOut);
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 2, false));
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 2, 2));
  Key(Qt::Key_Up);
  EXPECT_EQ(Cursor(), Pos(2, 2, 0));
  Key(Qt::Key_Return);
  EXPECT_EQ(Cursor(), Pos(2, 2, 2));
}

TEST_F(ExtGridTest, PageKeysMoveByTheVisibleRows) {
  grid_->SetRowCount(60);
  TwoSelectableColumns();
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  const int page = grid_->VisibleRowCount();
  ASSERT_GT(page, 2);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(grid_->Row(), 1 + page);
  EXPECT_GE(grid_->Row(), grid_->TopRow());
  EXPECT_LT(grid_->Row(), grid_->TopRow() + grid_->VisibleRowCount());
  for (int i = 0; i < 20; ++i) Key(Qt::Key_PageDown);
  EXPECT_EQ(grid_->Row(), 59);
  const int bottomPage = grid_->VisibleRowCount();
  Key(Qt::Key_PageUp);
  EXPECT_EQ(grid_->Row(), 59 - bottomPage);
  // A page target that refuses: back towards the cursor.
  grid_->OnSetCellAtr = [](int col, int row, TCellAtr& a) { a.Selectable = a.Selectable && col == 2 && row % 5 == 0; };
  ASSERT_TRUE(grid_->MoveTo(2, 5, false));
  const int page5 = grid_->VisibleRowCount();
  ASSERT_GE(page5, 5);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(grid_->Row(), (5 + page5) / 5 * 5);
}

TEST_F(ExtGridTest, ClickChoosesTheLineUnderTheMouse) {
  TwoSelectableColumns();
  const QRect cell = grid_->CellRect(2, 2);
  const int step = grid_->TextHeight0() + 2;
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(cell.center().x(), cell.top() + step + step / 2));
  EXPECT_EQ(Cursor(), Pos(2, 2, 1));
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(cell.center().x(), cell.top() + 2));
  EXPECT_EQ(Cursor(), Pos(2, 2, 0));
  // The bottom of the cell: the band of the last line.
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(cell.center().x(), cell.bottom()));
  EXPECT_EQ(Cursor(), Pos(2, 2, 2));

  // A line of edit kind 2 is never chosen: the nearest usable line before it.
  grid_->OnSetCellAtr = [](int col, int row, TCellAtr& a) {
    if (a.Fixed) return;
    a.LineCount = 3;
    a.Line[1].EditKind = ekNoCRLOut;
    a.Line[2].EditKind = ekNoCRLOut;
  };
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(cell.center().x(), cell.top() + 2 * step + 2));
  EXPECT_EQ(Cursor(), Pos(2, 2, 0));
  // A line moved down by half a line is found at its own band.
  grid_->OnSetCellAtr = [](int, int, TCellAtr& a) {
    a.LineCount = 2;
    a.Line[1].Position = 1.5;
  };
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, QPoint(cell.center().x(), cell.top() + 2 * step + 2));
  EXPECT_EQ(Cursor(), Pos(2, 2, 1));
}

TEST_F(ExtGridTest, EntryAndLeavingReports) {
  TwoSelectableColumns();
  other_->setFocus(Qt::TabFocusReason);
  std::vector<std::string> log;
  auto note = [&log](const char* what) {
    return [&log, what](int c, int r, int l) {
      log.push_back(std::string(what) + std::to_string(c) + std::to_string(r) + std::to_string(l));
    };
  };
  grid_->OnCRLIn = note("in");
  grid_->OnCRLOut = note("out");
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  EXPECT_TRUE(log.empty());  // no report without the focus

  grid_->setFocus(Qt::TabFocusReason);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  other_->setFocus(Qt::TabFocusReason);
  grid_->setFocus(Qt::TabFocusReason);  // SameCRLInCtrl: entered again
  EXPECT_EQ(log, (std::vector<std::string>{"in210", "in220", "in221", "out221", "in221"}));

  log.clear();
  grid_->SetSameCRLInCtrl(false);
  other_->setFocus(Qt::TabFocusReason);
  grid_->setFocus(Qt::TabFocusReason);  // the same line again: no entry
  EXPECT_EQ(log, (std::vector<std::string>{"out221"}));

  // A click elsewhere is no leaving with SaveCRLOutAtClick.
  log.clear();
  grid_->SetSaveCRLOutAtClick(true);
  other_->setFocus(Qt::MouseFocusReason);
  EXPECT_TRUE(log.empty());
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(3, 3).center());
  EXPECT_EQ(log, (std::vector<std::string>{"in330"}));

  // Enter and Escape report leaving before their owner's handler.
  log.clear();
  grid_->SetSameCRLInCtrl(true);
  grid_->OnReturn = [&log] { log.push_back("return"); };
  grid_->OnEscape = [&log] { log.push_back("escape"); };
  Key(Qt::Key_Return);
  EXPECT_EQ(grid_->Row(), 3);  // the owner's handler replaces the move
  Key(Qt::Key_Escape);
  EXPECT_EQ(log, (std::vector<std::string>{"out330", "return", "escape"}));

  // A line of edit kind 2 never reports leaving.
  log.clear();
  grid_->OnSetCellAtr = [](int, int, TCellAtr& a) { a.Line[0].EditKind = ekNoCRLOut; };
  Key(Qt::Key_Down);
  other_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(log, (std::vector<std::string>{"in340"}));
}

TEST_F(ExtGridTest, OwnerSeesAndConsumesKeysFirst) {
  TwoSelectableColumns();
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 1, false));
  std::vector<int> keys;
  grid_->OnEditKeyDown = [&keys](int& key, Qt::KeyboardModifiers) {
    keys.push_back(key);
    if (key == Qt::Key_Down) key = 0;
  };
  Key(Qt::Key_Down);
  Key(Qt::Key_Right);
  EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Down, Qt::Key_Right}));
  EXPECT_EQ(Cursor(), Pos(3, 1, 0));
}

TEST_F(ExtGridTest, EditorCoversTheCurrentLineWhenEditing) {
  TwoSelectableColumns();
  ApplyGridMode(*grid_, false);
  ASSERT_TRUE(grid_->Editing());
  std::vector<QString> edits;
  grid_->OnSetEditText = [&edits](int, int, const QString& t) { edits.push_back(t); };
  grid_->OnSetCellAtr = [](int col, int row, TCellAtr& a) {
    if (a.Fixed) return;
    a.Selectable = col == 2 || col == 3;
    a.LineCount = 3;
    a.Line[2].InputKind = ikNumeric;
    a.Line[1].EditKind = ekWinCtrl;
  };
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(2, 2, true));
  TMLInplaceEdit* ed = grid_->findChild<TMLInplaceEdit*>(QStringLiteral("MLInplaceEdit"));
  ASSERT_NE(ed, nullptr);
  ASSERT_TRUE(grid_->EditorVisible());
  EXPECT_FALSE(ed->isReadOnly());
  const QRect cell = grid_->CellRect(2, 2);
  EXPECT_EQ(ed->geometry(), QRect(cell.left(), cell.top(), cell.width(), grid_->CellHeight(1)));
  QTest::keyClicks(ed, QStringLiteral("ab"));
  EXPECT_EQ(grid_->Cell(2, 2), QStringLiteral("ab") + CRLF + CRLF + CRLF);
  ASSERT_FALSE(edits.empty());
  EXPECT_EQ(edits.back(), grid_->Cell(2, 2));

  // Line 1 is edited by an owner's control; without one the editor stays,
  // read-only.
  int asked = 0;
  grid_->OnSetWinCtrl = [&asked](int, int, int line, QWidget*&, QRect&, bool&) { asked += line == 1; };
  Key(Qt::Key_Down);
  EXPECT_EQ(Cursor(), Pos(2, 2, 1));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(ed->isReadOnly());
  EXPECT_EQ(ed->y(), cell.top() + grid_->LineOffset(1));
  // Line 2 takes digits only.
  Key(Qt::Key_Down);
  QTest::keyClicks(ed, QStringLiteral("1x2"));
  EXPECT_EQ(grid_->LineText(2, 2, 2), QStringLiteral("12"));
  // The caret keeps Left inside the text; at its start Left leaves the cell.
  Key(Qt::Key_Left);
  EXPECT_EQ(grid_->Col(), 2);
  Key(Qt::Key_Home);
  Key(Qt::Key_Left);
  EXPECT_EQ(grid_->Col(), 2);  // column 1 refuses
  // A line lying below its row gets no editor.
  grid_->SetRowHeight(2, grid_->CellHeight(1));
  EXPECT_FALSE(grid_->EditorVisible());
  ApplyGridMode(*grid_);
  EXPECT_FALSE(grid_->EditorVisible());
  EXPECT_TRUE(grid_->hasFocus());
}

TEST_F(ExtGridTest, OwnerControlEditsItsLine) {
  ApplyGridMode(*grid_, false);
  auto* combo = new QLineEdit(win_.get());
  combo->setObjectName(QStringLiteral("cbxSoftware"));
  combo->hide();
  grid_->OnSetCellAtr = [](int col, int row, TCellAtr& a) {
    if (col == 3 && row == 1) a.Line[0].EditKind = ekWinCtrl;
  };
  int asked = 0;
  grid_->OnSetWinCtrl = [&](int, int, int, QWidget*& ctrl, QRect& rect, bool&) {
    ++asked;
    ctrl = combo;
    rect.setWidth(50);
  };
  grid_->SetCell(3, 1, QStringLiteral("v1.0"));
  grid_->setFocus();
  ASSERT_TRUE(grid_->MoveTo(3, 1, true));
  EXPECT_TRUE(combo->isVisible());
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_FALSE(grid_->EditorVisible());
  EXPECT_EQ(combo->text(), QStringLiteral("v1.0"));
  const QRect cell = grid_->CellRect(3, 1);
  EXPECT_EQ(combo->geometry(), QRect(grid_->viewport()->mapTo(win_.get(), cell.topLeft()), QSize(50, grid_->CellHeight(1))));
  grid_->Invalidate();  // placing again does not ask again
  EXPECT_EQ(asked, 1);
  Key(Qt::Key_Down);  // keys of the control are its own
  EXPECT_EQ(grid_->Row(), 1);
  grid_->MoveTo(3, 2, true);
  EXPECT_FALSE(combo->isVisible());
  EXPECT_TRUE(grid_->EditorVisible());
}

TEST_F(ExtGridTest, ScrollBarsAndScrolling) {
  grid_->SetScrollBars(ssVertical);
  grid_->KeepVertScrollBarVisible();
  grid_->RefreshVertScrollBar();
  QScrollBar* bar = grid_->verticalScrollBar();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_FALSE(bar->isEnabled());  // nothing to scroll
  grid_->SetRowCount(100);
  grid_->RefreshVertScrollBar();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_FALSE(grid_->horizontalScrollBar()->isVisible());

  int changes = 0;
  grid_->OnTopLeftChanged = [&changes] { ++changes; };
  ASSERT_TRUE(grid_->MoveTo(1, 80, false));
  EXPECT_GT(changes, 0);
  EXPECT_FALSE(grid_->CellRect(1, 80).isEmpty());
  EXPECT_TRUE(grid_->CellRect(1, 1).isEmpty());
  EXPECT_FALSE(grid_->CellRect(1, 0).isEmpty());  // the fixed row stays
  EXPECT_EQ(bar->value(), grid_->TopRow());
  bar->setValue(10);
  EXPECT_EQ(grid_->TopRow(), 10);
  grid_->SetTopRow(1000);  // never past the last page
  EXPECT_FALSE(grid_->CellRect(1, 99).isEmpty());
}

TEST_F(ExtGridTest, HintsComeFromTheOwnerForTheCellUnderTheMouse) {
  std::vector<std::pair<int, int>> asked;
  grid_->OnCellHint = [&asked](int c, int r) {
    asked.emplace_back(c, r);
    return QString();
  };
  const QPoint at = grid_->CellRect(3, 2).center();
  QHelpEvent help(QEvent::ToolTip, at, grid_->viewport()->mapToGlobal(at));
  QApplication::sendEvent(grid_->viewport(), &help);
  EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{3, 2}}));
}

TEST_F(ExtGridTest, HeightsAndOffsetsOfLines) {
  const int th = QFontMetrics(grid_->font()).height();
  EXPECT_EQ(grid_->TextHeight0(), th);
  EXPECT_EQ(grid_->CellHeight(0), th + 2);
  EXPECT_EQ(grid_->CellHeight(1), th + 2);
  EXPECT_EQ(grid_->CellHeight(7), 7 * th + 5);
  EXPECT_EQ(grid_->LineOffset(0.5), qRound((th + 2) * 0.5));
  EXPECT_EQ(grid_->LineOffset(2), 2 * (th + 2));
}

TEST_F(ExtGridTest, CellSizeControlSizesInCharactersAndLines) {
  TCellSizeControl csc;
  csc.setObjectName(QStringLiteral("cscInfo"));
  csc.SetEachColChars({29, -3, 0, 2});
  csc.SetEachRowLines({1, 2, -7, 0, -40});
  csc.SetFixedColStrings({QStringLiteral("項   目   名"), QString(), QString(), QStringLiteral("情       報")});
  csc.SetStringGrid(grid_);
  const QFontMetrics fm(grid_->font());
  const int zero = fm.horizontalAdvance(QStringLiteral("0"));
  const int th = fm.height();
  EXPECT_EQ(grid_->ColWidth(0), fm.horizontalAdvance(QString(29, QLatin1Char('0'))) + 4);
  EXPECT_NEAR(grid_->ColWidth(0) - 4, 29 * zero, 29);  // proportional to "0"
  EXPECT_EQ(grid_->ColWidth(1), 3);
  EXPECT_EQ(grid_->ColWidth(2), grid_->DefaultColWidth());
  EXPECT_EQ(grid_->DefaultColWidth(), fm.horizontalAdvance(QString(10, QLatin1Char('0'))) + 4);
  EXPECT_EQ(grid_->ColWidth(4), grid_->DefaultColWidth());  // no entry
  EXPECT_EQ(grid_->RowHeight(0), th + 4);
  EXPECT_EQ(grid_->RowHeight(1), 2 * (th + 2) + 2);
  EXPECT_EQ(grid_->RowHeight(2), th + 4);  // 7 pixels, raised to one text line
  EXPECT_EQ(grid_->RowHeight(3), th + 4);  // the default
  EXPECT_EQ(grid_->RowHeight(4), 40);
  EXPECT_EQ(grid_->RowHeight(5), th + 4);  // no entry
  EXPECT_EQ(grid_->Cell(0, 0), QStringLiteral("項   目   名"));
  EXPECT_EQ(grid_->Cell(3, 0), QStringLiteral("情       報"));

  csc.SetDefaultColChars(0);
  csc.SetDefaultRowLines(0);
  EXPECT_EQ(grid_->DefaultColWidth(), 64);
  EXPECT_EQ(grid_->DefaultRowHeight(), 24);
  EXPECT_EQ(grid_->ColWidth(2), 64);

  // The two header lists share their first entry.
  csc.SetFixedRowStrings({QStringLiteral("カテゴリ"), QStringLiteral("r1")});
  EXPECT_EQ(csc.FixedColStrings().first(), QStringLiteral("カテゴリ"));
  EXPECT_EQ(grid_->Cell(0, 0), QStringLiteral("カテゴリ"));
  EXPECT_EQ(grid_->Cell(0, 1), QStringLiteral("r1"));
  TCellSizeControl fresh;
  fresh.SetFixedColStrings({QStringLiteral("a")});
  EXPECT_EQ(fresh.FixedRowStrings(), QStringList{QStringLiteral("a")});
}

TEST_F(ExtGridTest, GridModeSetsEditingAndUnfocusedSelectionColours) {
  const QPalette pal = grid_->palette();
  ApplyGridMode(*grid_, false);
  EXPECT_TRUE(grid_->Options().testFlag(goEditing));
  EXPECT_TRUE(grid_->Options().testFlag(goAlwaysShowEditor));
  EXPECT_EQ(grid_->SelClrNFcsB(), pal.color(QPalette::Highlight));
  EXPECT_EQ(grid_->SelClrNFcsF(), pal.color(QPalette::HighlightedText));
  ApplyGridMode(*grid_);
  EXPECT_FALSE(grid_->Options().testFlag(goEditing));
  EXPECT_FALSE(grid_->Options().testFlag(goAlwaysShowEditor));
  EXPECT_TRUE(grid_->Options().testFlag(goVertLine));
  EXPECT_EQ(grid_->SelClrNFcsB(), pal.color(QPalette::Base));
  EXPECT_EQ(grid_->SelClrNFcsF(), pal.color(QPalette::Text));

  // The cursor's cell shows only while the grid has the focus.
  grid_->SetSelClrFcsB(QColor(0, 0, 200));
  ASSERT_TRUE(grid_->MoveTo(2, 2, false));
  const QPoint at = grid_->viewport()->mapTo(grid_, grid_->CellRect(2, 2).topLeft()) + QPoint(1, 1);
  other_->setFocus();
  EXPECT_EQ(grid_->grab().toImage().pixelColor(at), pal.color(QPalette::Base));
  grid_->setFocus();
  EXPECT_EQ(grid_->grab().toImage().pixelColor(at), QColor(0, 0, 200));
}

// Count of dark pixels in a rectangle of an image.
int Ink(const QImage& img, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (qGray(img.pixel(x, y)) < 100) ++n;
  return n;
}

TEST_F(ExtGridTest, DrawsBackgroundsAlignmentAndWrappedLines) {
  grid_->SetColWidth(2, 120);
  grid_->SetColWidth(3, 120);
  grid_->SetRowHeight(2, grid_->CellHeight(3));
  const QString longText = QStringLiteral("0000 0000 0000 0000 0000 0000 0000 0000");
  grid_->SetCell(2, 2, longText);
  grid_->SetCell(3, 2, QStringLiteral("00"));
  grid_->SetCell(3, 3, QStringLiteral("00"));
  grid_->OnSetCellAtr = [](int col, int row, TCellAtr& a) {
    if (a.Fixed) return;
    a.Selectable = col != 4;
    if (col == 4) a.Color = QColor(255, 255, 192);
    a.Line[0].Alignment = taRightJustify;
    if (col == 2 && row == 2) a.Line[0].TextLines = 2;  // wraps, left-aligned
  };
  ASSERT_TRUE(grid_->MoveTo(1, 1, false));
  const QImage img = grid_->viewport()->grab().toImage();

  EXPECT_EQ(img.pixelColor(grid_->CellRect(4, 3).center()), QColor(255, 255, 192));
  // Fixed cells: the fixed colour with a raised edge.
  const QRect fixedCell = grid_->CellRect(0, 3);
  EXPECT_EQ(img.pixelColor(fixedCell.center()), grid_->FixedColor());
  EXPECT_EQ(img.pixel(fixedCell.topLeft() + QPoint(3, 0)), grid_->palette().color(QPalette::Light).rgb());
  EXPECT_EQ(img.pixel(fixedCell.bottomLeft() + QPoint(3, 0)), grid_->palette().color(QPalette::Dark).rgb());
  EXPECT_EQ(img.pixelColor(fixedCell.topRight() + QPoint(1, 3)), QColor(Qt::black));

  const int step = grid_->TextHeight0() + 2;
  const QRect wrapped = grid_->CellRect(2, 2);
  const QRect firstLine(wrapped.left() + 2, wrapped.top() + 2, 20, step - 2);
  const QRect secondLine(wrapped.left() + 2, wrapped.top() + 2 + step, 20, step - 2);
  EXPECT_GT(Ink(img, firstLine), 0);
  EXPECT_GT(Ink(img, secondLine), 0);

  const QRect single = grid_->CellRect(3, 2);
  EXPECT_EQ(Ink(img, QRect(single.left(), single.top(), 40, single.height())), 0);
  EXPECT_GT(Ink(img, QRect(single.right() - 30, single.top(), 30, step)), 0);
  // Nothing of a one-line text reaches its second line.
  EXPECT_EQ(Ink(img, QRect(single.left(), single.top() + step + 2, single.width(), step)), 0);
}

TEST_F(ExtGridTest, RowsAreNeverLowerThanOneTextLineOfTheirFont) {
  struct Case {
    const char* family;
    int pixels;
  };
  // A small font after a large one: the given heights come back.
  const Case fonts[] = {{"DejaVu Serif", 20}, {"ＭＳ ゴシック", 12}, {"IPAGothic", 10},
                        {"ＭＳ ゴシック", 16}, {"DejaVu Sans", 12}};
  grid_->SetColWidth(2, 150);
  grid_->SetColWidth(3, 150);
  grid_->SetDefaultRowHeight(16);
  grid_->SetRowHeight(3, 40);
  grid_->SetRowHeight(4, -1);
  grid_->SetCell(2, 1, QStringLiteral("0003_01.pdf"));
  grid_->SetCell(3, 1, QStringLiteral("0003 01.pdf"));
  int changes = 0;
  QObject::connect(grid_, &TExtGrid3::FontMetricsChanged, [&changes] { ++changes; });
  for (const Case& c : fonts) {
    SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.pixels));
    QFont font(QString::fromUtf8(c.family));
    font.setPixelSize(c.pixels);
    const int before = changes;
    grid_->setFont(font);
    EXPECT_EQ(changes, before + 1);
    const int line = QFontMetrics(font).height() + 4;
    EXPECT_EQ(grid_->MinRowHeight(), line);
    EXPECT_EQ(grid_->RowHeight(0), std::max(16, line));
    EXPECT_EQ(grid_->RowHeight(1), std::max(16, line));
    EXPECT_EQ(grid_->DefaultRowHeight(), std::max(16, line));
    EXPECT_EQ(grid_->RowHeight(3), std::max(40, line));
    EXPECT_EQ(grid_->RowHeight(4), -1);
    EXPECT_EQ(grid_->CellRect(2, 1).height(), grid_->RowHeight(1));
    EXPECT_EQ(grid_->CellRect(2, 2).top(), grid_->CellRect(2, 1).bottom() + 1 + grid_->GridLineWidth());
    // The underscore is drawn inside the row: "0003_01.pdf" never looks
    // like "0003 01.pdf".
    const QImage img = grid_->viewport()->grab().toImage();
    EXPECT_TRUE(img.copy(grid_->CellRect(2, 1)) != img.copy(grid_->CellRect(3, 1)));
  }
}

TEST_F(ExtGridTest, CutTextsEndInAnEllipsisAndShowWholeAsHint) {
  const QString name = QStringLiteral("0003_01_revised_final_version.pdf");
  const QString markup = QStringLiteral("<b>A&amp;B</b> <img src='x.png'> 0003_01.pdf");
  struct Case {
    QString text;
    int width;
    int alignment;
    int textLines;
    int lineCount;
    QString hint;  // empty: not cut
  };
  const Case cases[] = {
      {QStringLiteral("0003_01.pdf"), 150, taLeftJustify, 1, 1, QString()},
      {name, 80, taLeftJustify, 1, 1, name},
      {name, 80, taRightJustify, 1, 1, name},
      {markup, 80, taCenter, 1, 1, markup},
      // Word-wrapped lines keep wrapping and are not cut.
      {QStringLiteral("0000 0000 0000 0000 0000 0000"), 80, taLeftJustify, 2, 1, QString()},
      // A cut second line: the hint holds every line of the cell.
      {QStringLiteral("ab") + CRLF + name, 80, taLeftJustify, 1, 2, QStringLiteral("ab\n") + name},
  };
  grid_->SetRowHeight(2, grid_->CellHeight(3));
  const Case* now = nullptr;
  grid_->OnSetCellAtr = [&now](int col, int row, TCellAtr& a) {
    if (a.Fixed || row != 2 || (col != 2 && col != 3) || !now) return;
    a.LineCount = now->lineCount;
    for (auto& l : a.Line) {
      l.Alignment = now->alignment;
      l.TextLines = now->textLines;
    }
  };
  const QFontMetrics fm(grid_->font());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    now = &c;
    grid_->SetColWidth(2, c.width);
    grid_->SetColWidth(3, c.width);
    grid_->SetCell(2, 2, c.text);
    const int last = c.lineCount - 1;
    const QString shown = grid_->ShownLineText(2, 2, last);
    const QString whole = TExtGrid3::GetLine(c.text, last);
    if (c.hint.isEmpty()) {
      EXPECT_EQ(shown, whole);
    } else {
      ASSERT_TRUE(shown.endsWith(QStringLiteral("…")));
      EXPECT_TRUE(whole.startsWith(shown.chopped(1)));
      EXPECT_LE(fm.horizontalAdvance(shown), c.width - 4);
    }
    EXPECT_EQ(grid_->CellHint(2, 2), c.hint);

    // The hint is shown over the cell, as plain text.
    const QPoint at = grid_->CellRect(2, 2).center();
    QHelpEvent help(QEvent::ToolTip, at, grid_->viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid_->viewport(), &help);
    EXPECT_EQ(help.isAccepted(), !c.hint.isEmpty());
    if (!c.hint.isEmpty()) {
      QTextDocument tip;
      tip.setHtml(QToolTip::text());
      EXPECT_EQ(tip.toPlainText(), c.hint);
    }

    // The cell is drawn with the shown text: it looks like a cell holding
    // just that text.
    QStringList lines;
    for (int i = 0; i < c.lineCount; ++i) lines << grid_->ShownLineText(2, 2, i);
    grid_->SetCell(3, 2, lines.join(CRLF));
    EXPECT_EQ(grid_->CellHint(3, 2), QString());
    const QImage img = grid_->viewport()->grab().toImage();
    EXPECT_TRUE(img.copy(grid_->CellRect(2, 2)) == img.copy(grid_->CellRect(3, 2)));
  }
  QToolTip::hideText();

  // The owner's hint comes first; without one the cut text is the hint.
  now = &cases[std::size(cases) - 1];
  grid_->OnCellHint = [](int col, int) { return col == 3 ? QStringLiteral("owner") : QString(); };
  EXPECT_EQ(grid_->CellHint(3, 2), QStringLiteral("owner"));
  EXPECT_EQ(grid_->CellHint(2, 2), QStringLiteral("ab\n") + name);
}

}  // namespace
}  // namespace dlvr
