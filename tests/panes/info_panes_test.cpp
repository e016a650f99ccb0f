// The construction and item information panes: the value column's width,
// characters per line, line counts and row heights as the pane is resized,
// the vertical scroll bar, the item pane's hints (a field's explanation
// over its label, with the whole label first when the label is cut; cut
// values show whole), and the construction pane's panel of the management
// file's unknown elements.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "check/viewer_model.h"
#include "panes/info_panes.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/text.h"
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
  test::FixedDrives drives;
  InfoPaneSizeTest() {
    m.View.Load(test::SamplePath("clean"));
    host.resize(1400, 1000);
    host.show();
  }

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

// The elements of INDEX_C.XML that no row shows appear in a panel below the
// rows, path and value, reached by keyboard and mouse, with a line telling
// how many more there are when the list is bounded; for a first-edition
// delivery the panel stays hidden and the rows keep the whole pane.
TEST_F(InfoPaneSizeTest, UnknownElementsShowBelowTheRowsOnlyWhenThereAreSome) {
  auto koj = KojInfo();
  koj->resize(700, 600);
  const int rows = koj->Grid->RowCount();
  EXPECT_FALSE(koj->grpUnknown->isVisibleTo(koj.get()));
  EXPECT_EQ(koj->Grid->geometry(), koj->rect());

  std::string many;
  for (std::size_t i = 0; i < kMaxUnknownElements + 5; ++i) {
    const std::string name = "項目" + std::to_string(i);
    many += "<" + name + ">値</" + name + ">\n";
  }
  struct Case {
    const char* Name;
    std::string Standard, Contractor;  // put after メディア総枚数 and 請負者情報
    std::vector<std::pair<QString, QString>> First;
    std::size_t Count, Omitted;
  };
  const Case cases[] = {
      {"later edition",
       "<適用要領基準>土木201603-01</適用要領基準>",
       "<受注者情報><受注者名>株式会社見本</受注者名></受注者情報>",
       {{QStringLiteral("constdata/基礎情報/適用要領基準"), QStringLiteral("土木201603-01")},
        {QStringLiteral("constdata/受注者情報/受注者名"), QStringLiteral("株式会社見本")}},
       2,
       0},
      {"bounded", "", many, {{QStringLiteral("constdata/項目0"), QStringLiteral("値")}}, kMaxUnknownElements, 5},
  };
  test::ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string folder = dir / c.Name;
    test::CopyTree(test::SamplePath("clean"), folder);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(folder + "/INDEX_C.XML", bytes));
    std::string xml = Cp932ToUtf8(bytes);
    for (const auto& [after, insert] : {std::pair{std::string("</メディア総枚数>"), c.Standard},
                                        std::pair{std::string("</請負者情報>"), c.Contractor}})
      xml.insert(xml.find(after) + after.size(), insert);
    dir.WriteSjis(std::string(c.Name) + "/INDEX_C.XML", xml, false);
    DeliveryStore store;
    TViewerModel model(store);
    model.View.Load(folder);
    TfrmKojInfo pane(model, &host);
    pane.show();
    pane.Fill();
    pane.resize(700, 600);
    QApplication::processEvents();

    ASSERT_TRUE(pane.grpUnknown->isVisible());
    EXPECT_EQ(pane.grpUnknown->title(), QStringLiteral("読み込み対象外の項目"));
    EXPECT_EQ(pane.Grid->RowCount(), rows);
    EXPECT_EQ(pane.Grid->geometry().top(), 0);
    EXPECT_GE(pane.grpUnknown->geometry().top(), pane.Grid->geometry().bottom());
    EXPECT_GE(pane.Grid->height(), pane.height() / 2);
    const TExtGrid3& g = *pane.grdUnknown;
    EXPECT_EQ(g.Cell(0, 0), QStringLiteral("項目"));
    EXPECT_EQ(g.Cell(1, 0), QStringLiteral("値"));
    ASSERT_EQ(g.RowCount(), static_cast<int>(c.Count) + 1);
    for (std::size_t i = 0; i < c.First.size(); ++i) {
      EXPECT_EQ(g.Cell(0, static_cast<int>(i) + 1), c.First[i].first);
      EXPECT_EQ(g.Cell(1, static_cast<int>(i) + 1), c.First[i].second);
    }
    EXPECT_EQ(g.CellRect(1, 1).right() + 1 + g.GridLineWidth(), g.ClientWidth());
    EXPECT_EQ(pane.lblUnknownOmitted->isVisible(), c.Omitted > 0);
    if (c.Omitted > 0) {
      EXPECT_NE(pane.lblUnknownOmitted->text().indexOf(QString::number(c.Omitted)), -1);
    }
    // Keyboard and mouse move the cursor over both columns.
    pane.grdUnknown->setFocus();
    QTest::keyClick(pane.grdUnknown, Qt::Key_Down);
    EXPECT_EQ(g.Row(), 2);
    QTest::keyClick(pane.grdUnknown, Qt::Key_Left);
    EXPECT_EQ(g.Col(), 0);
    QTest::mouseClick(pane.grdUnknown->viewport(), Qt::LeftButton, {}, g.CellRect(1, 1).center());
    EXPECT_EQ(g.Col(), 1);
    EXPECT_EQ(g.Row(), 1);

    // A first-edition delivery loaded in its place hides the panel again.
    model.View.Load(test::SamplePath("clean"));
    pane.Fill();
    QApplication::processEvents();
    EXPECT_FALSE(pane.grpUnknown->isVisible());
    EXPECT_EQ(pane.Grid->geometry(), pane.rect());
  }
}

}  // namespace
}  // namespace dlvr
