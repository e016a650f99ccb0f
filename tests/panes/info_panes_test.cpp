// The construction and item information panes: the value column's width,
// characters per line, line counts and row heights as the pane is resized,
// the vertical scroll bar, and the item pane's hints (a field's explanation
// over its label, with the whole label first when the label is cut; cut
// values show whole).
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>

#include <memory>

#include "check/viewer_model.h"
#include "panes/info_panes.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(InfoPaneHints, LabelHintsHoldTheExplanationAndACutLabelWhole) {
  const QString shortLabel = QStringLiteral("打合せ簿名称");
  const QString longLabel = QStringLiteral("オリジナルファイル作成ソフトウェアバージョン情報");
  const QString note = QStringLiteral("打合せ簿の名称を記入する。");
  const QString longValue = QStringLiteral("0003_01_revised_final_version.pdf");
  struct Case {
    QString label, explanation;
    QString hint;
  };
  const Case cases[] = {
      {shortLabel, note, note},
      {shortLabel, QString(), QString()},
      {longLabel, note, longLabel + QStringLiteral("\n") + note},
      {longLabel, QString(), longLabel},
  };
  TViewerModel m;
  TfrmInfo pane(m);
  pane.resize(600, 400);
  TExtGrid3* g = pane.Grid;
  g->SetRowCount(static_cast<int>(std::size(cases)) + 1);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.label.toStdString() + " / " + c.explanation.toStdString());
    const int row = static_cast<int>(i) + 1;
    g->SetCell(0, row, c.label);
    g->SetCell(1, row, c.explanation);
    EXPECT_EQ(g->ShownLineText(0, row, 0).endsWith(QStringLiteral("…")), c.label == longLabel);
    EXPECT_EQ(g->CellHint(0, row), c.hint);
  }
  // A one-line value wider than its column shows whole as its hint.
  g->SetColWidth(3, g->TextWidth0(10) + 4);
  g->SetCell(3, 1, longValue);
  g->SetCell(3, 2, QStringLiteral("0003_01"));
  EXPECT_EQ(g->CellHint(3, 1), longValue);
  EXPECT_EQ(g->CellHint(3, 2), QString());
}

// Both panes on the clean sample, each shown as a child of a host window as
// the main window holds them, so that every resize reaches the pane at once.
class InfoPaneSizeTest : public ::testing::Test {
 protected:
  InfoPaneSizeTest() {
    SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
    m.View.Load(test::SamplePath("clean"));
    host.resize(1400, 1000);
    host.show();
  }
  ~InfoPaneSizeTest() override { SetDriveTypeOverride(nullptr); }

  // The construction pane filled, and the item pane showing the first
  // meeting record.
  std::unique_ptr<TfrmKojInfo> KojInfo() {
    auto pane = std::make_unique<TfrmKojInfo>(m, &host);
    pane->show();
    pane->Fill();
    return pane;
  }
  std::unique_ptr<TfrmInfo> Info() {
    TTreeItem* meeting = nullptr;
    for (TTreeItem* item : m.View.Tree().AllItems())
      if (!meeting && m.View.NodeLevel(item) == nlRecord && m.View.NodeClass(item) == 2) meeting = item;
    EXPECT_NE(meeting, nullptr);
    auto pane = std::make_unique<TfrmInfo>(m, &host);
    pane->show();
    pane->Fill(meeting);
    return pane;
  }
  static int RowOf(const TExtGrid3& g, const QString& label) {
    for (int r = 1; r < g.RowCount(); ++r)
      if (g.Cell(0, r) == label) return r;
    return -1;
  }

  test::ScriptedPrompts prompts;
  TViewerModel m;
  QWidget host;
};

// After every resize: the value column W takes what the other columns leave,
// so that the last column ends exactly at the grid's right client edge,
// beside the scroll bar (the hidden column takes no room); L is the
// most "0"s below W - 3, at least 15; each row's lines N = (B - 1) / L + 1
// for its byte length B (doubled for full-width masks), and its height is
// the cell height of N lines + 2N.
TEST_F(InfoPaneSizeTest, ValueColumnLinesAndRowHeightsFollowThePaneWidth) {
  struct Width {
    int pane;
    int meetNameLines;  // 打合せ簿名称: 40 full-width characters, 80 bytes
  };
  // 580 and 581 sit on both sides of 40 characters per line; the narrowest
  // holds fewer than 15 and still counts 15.
  const Width widths[] = {{583, 2}, {580, 3}, {1200, 1}, {581, 2}, {420, 6}, {700, 2}};
  auto koj = KojInfo();
  auto info = Info();
  ASSERT_GT(info->Grid->RowCount(), 2);
  ASSERT_GT(koj->Grid->RowCount(), 2);
  for (TInfoPaneBase* pane : {static_cast<TInfoPaneBase*>(koj.get()), static_cast<TInfoPaneBase*>(info.get())}) {
    const TExtGrid3& g = *pane->Grid;
    for (const Width& w : widths) {
      SCOPED_TRACE(pane->objectName().toStdString() + " width " + std::to_string(w.pane));
      pane->resize(w.pane, 900);
      const int width = g.ColWidth(3);
      EXPECT_EQ(g.ColWidth(1), -1);
      EXPECT_EQ(g.CellRect(3, 1).width(), width);
      EXPECT_EQ(g.CellRect(5, 1).right() + 1 + g.GridLineWidth(), g.ClientWidth());
      int chars = 15;
      while (chars < 255 && g.TextWidth0(chars + 1) < width - 3) ++chars;
      EXPECT_EQ(pane->LineChars(), chars);
      for (int r = 1; r < g.RowCount(); ++r) {
        SCOPED_TRACE(g.Cell(0, r).toStdString());
        int bytes = g.Cell(5, r).toInt();
        if (g.Cell(4, r).contains(QStringLiteral("全角"))) bytes *= 2;
        const int lines = bytes < 1 ? 1 : (bytes - 1) / chars + 1;
        EXPECT_EQ(pane->RowLists[1][static_cast<std::size_t>(r - 1)], lines);
        EXPECT_EQ(g.CellAtr(3, r).Line[0].TextLines, lines);
        EXPECT_EQ(g.RowHeight(r), std::max(g.MinRowHeight(), g.CellHeight(lines) + 2 * lines));
      }
      if (pane == info.get()) {
        const int row = RowOf(g, QStringLiteral("打合せ簿名称"));
        ASSERT_GT(row, 0);
        EXPECT_EQ(info->RowLists[1][static_cast<std::size_t>(row - 1)], w.meetNameLines);
      }
    }
  }
}

// The vertical scroll bar stays shown whether or not the rows fit, enabled
// only while there is something to scroll, after resizes and fills alike.
TEST_F(InfoPaneSizeTest, VerticalScrollBarStaysShownAndEnabledOnlyWhenRowsOverflow) {
  auto koj = KojInfo();
  auto info = Info();
  for (TInfoPaneBase* pane : {static_cast<TInfoPaneBase*>(koj.get()), static_cast<TInfoPaneBase*>(info.get())}) {
    const TExtGrid3& g = *pane->Grid;
    const QScrollBar* bar = g.verticalScrollBar();
    pane->resize(600, 300);  // the row heights follow the width only
    int rowsHeight = 0;
    for (int r = 0; r < g.RowCount(); ++r) rowsHeight += g.RowHeight(r) + g.GridLineWidth();
    const std::pair<int, bool> heights[] = {{rowsHeight + 40, false}, {rowsHeight / 2, true}, {rowsHeight + 40, false}};
    for (const auto& [height, overflow] : heights) {
      SCOPED_TRACE(pane->objectName().toStdString() + " height " + std::to_string(height));
      pane->resize(600, height);
      EXPECT_TRUE(bar->isVisible());
      EXPECT_EQ(bar->isEnabled(), overflow);
      EXPECT_EQ(g.CellRect(5, 1).right() + 1 + g.GridLineWidth(), g.ClientWidth());
    }
  }
  // A fill into a pane that is not resized keeps the bar as well.
  info->Fill(nullptr);
  koj->Fill();
  EXPECT_TRUE(info->Grid->verticalScrollBar()->isVisible());
  EXPECT_TRUE(koj->Grid->verticalScrollBar()->isVisible());
}

}  // namespace
}  // namespace dlvr
