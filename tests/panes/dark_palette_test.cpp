// The grids under a dark desktop palette: every cell's text reads against
// the cell's colour, the light colours the panes give label, format and empty
// required cells included (a dark palette's light text would vanish on them).
#include <gtest/gtest.h>

#include <QApplication>

#include <functional>
#include <vector>

#include "check/data_check.h"
#include "check/viewer_model.h"
#include "components/ext_grid.h"
#include "components/legible_color.h"
#include "model/tree_view.h"
#include "panes/base_info.h"
#include "panes/cad_files_pane.h"
#include "panes/delivery_check.h"
#include "panes/files_pane.h"
#include "panes/info_panes.h"
#include "panes/xml_err.h"
#include "platform/drive.h"
#include "support/dark_palette.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TTreeItem* FirstItem(TViewerModel& m, int level, int cls) {
  for (TTreeItem* item : m.View.Tree().AllItems())
    if (m.View.NodeLevel(item) == level && m.View.NodeClass(item) == cls) return item;
  return nullptr;
}

// Cells whose text is too faint on their colour, as "[col,row] text".
std::vector<std::string> FaintCells(const TExtGrid3& grid) {
  std::vector<std::string> faint;
  for (int r = 0; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) {
      if (grid.Cell(c, r).isEmpty()) continue;
      const TCellAtr a = grid.CellAtr(c, r);
      for (int i = 0; i < std::clamp(a.LineCount, 1, 4); ++i)
        if (ContrastRatio(a.Line[i].FontColor, a.Color) < 2.5)
          faint.push_back(QStringLiteral("[%1,%2] %3").arg(c).arg(r).arg(grid.Cell(c, r)).toStdString());
    }
  return faint;
}

TEST(DarkPalette, EveryGridCellReadsOnItsColour) {
  const QPalette saved = QApplication::palette();
  QApplication::setPalette(test::DarkPalette());
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  test::ScriptedPrompts prompts;
  TViewerModel errors;  // empty required fields: cells in red and blue
  errors.View.Load(test::SamplePath("errors"));
  RunDataCheck(errors.View);
  ASSERT_FALSE(errors.View.ErrorList.empty());

  struct Case {
    const char* Name;
    std::function<void(const std::function<void(const TExtGrid3&)>&)> Open;
  };
  const std::vector<Case> cases = {
      {"construction pane",
       [&](auto look) {
         QWidget host;
         auto* koj = new TfrmKojInfo(errors, &host);
         koj->Fill();
         look(*koj->Grid);
       }},
      {"record pane",
       [&](auto look) {
         QWidget host;
         auto* info = new TfrmInfo(errors, &host);
         info->Fill(FirstItem(errors, nlRecord, 2));
         look(*info->Grid);
       }},
      {"drawing pane", [&](auto look) { look(*TfrmCADFiles(errors).Grid); }},
      {"files pane",
       [&](auto look) {
         TfrmFiles pane(errors);
         pane.ShowNode(FirstItem(errors, nlFile, 2));
         look(*pane.Grid);
       }},
      {"base information", [&](auto look) { look(*TfrmBaseInfo(errors.View).grdBase); }},
      // The finding lists (data check, delivery check) are item views:
      // tests/components/finding_list_test.cpp looks at their colours.
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    int looked = 0;
    c.Open([&](const TExtGrid3& grid) {
      ++looked;
      EXPECT_GT(grid.RowCount(), 1);
      const std::vector<std::string> faint = FaintCells(grid);
      EXPECT_TRUE(faint.empty()) << faint.size() << " faint cells, first " << faint.front();
    });
    EXPECT_EQ(looked, 1);
  }
  SetDriveTypeOverride(nullptr);
  QApplication::setPalette(saved);
}

}  // namespace
}  // namespace dlvr
