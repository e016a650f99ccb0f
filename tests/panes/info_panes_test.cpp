// The item pane's hints: a field's explanation over its label, with the
// whole label first when the label is cut; cut values show whole.
#include <gtest/gtest.h>

#include "check/viewer_model.h"
#include "panes/info_panes.h"

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

}  // namespace
}  // namespace dlvr
