// The CAD drawing files pane on the sample deliveries: the name box, the
// parsed parts of a drawing's name and the drawing fields.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include <cstdlib>

#include "check/viewer_model.h"
#include "panes/cad_files_pane.h"
#include "platform/drive.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"

namespace dlvr {
namespace {

using test::ScratchDir;
using test::ScriptedPrompts;

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class CadFilesTest : public ::testing::Test {
 protected:
  CadFilesTest() {
    m.View.Load(test::SamplePath("clean"));
  }

  TTreeItem* Drawing(int cls, const std::string& name) {
    for (TTreeItem* item : m.View.Tree().AllItems())
      if (m.View.NodeLevel(item) == nlFile && m.View.NodeClass(item) == cls && m.View.GetFileItem(item, 0) == name)
        return item;
    return nullptr;
  }
  // The store record behind an ordering drawing item.
  TMdlTreeNodeDraw& Record(TTreeItem* item) {
    return m.View.Store().OrderDrawings[static_cast<std::size_t>(m.View.NodeNumber(item))];
  }
  int BoxWidthFor(TfrmCADFiles& pane, const QString& text) {
    return QFontMetrics(pane.edtFileName->font()).horizontalAdvance(text) + 4;
  }

  test::FixedDrives drives;
  test::ScratchTmpdir temp;
  ScriptedPrompts prompts;
  TViewerModel m;
};

TEST_F(CadFilesTest, GridCarriesTheDrawingFieldTable) {
  TfrmCADFiles pane(m);
  EXPECT_EQ(pane.objectName(), "frmCADFiles");
  TExtGrid3* g = pane.findChild<TExtGrid3*>("Grid");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->RowCount(), 33);
  EXPECT_EQ(g->ColCount(), 6);
  EXPECT_EQ(g->FixedCols(), 0);
  EXPECT_EQ(g->ColWidth(1), -1);
  EXPECT_EQ(g->Cell(0, 0), "項   目   名");
  EXPECT_EQ(g->Cell(3, 0), "情       報");
  EXPECT_EQ(g->Cell(0, 3), "図面ファイル作成ソフトウェア名");
  EXPECT_EQ(g->Cell(4, 5), "半角数字");
  EXPECT_EQ(g->Cell(0, 29), "受注者説明文");
  EXPECT_EQ(g->Cell(2, 29), "△");
  EXPECT_EQ(g->Cell(5, 29), "128");
  EXPECT_EQ(g->Cell(0, 32), "予備");
  // Row 29 needs 256 bytes, row 5 three. The value column takes exactly
  // the room the other columns leave, the hidden column no grid line.
  QWidget host;
  host.resize(1600, 900);
  host.show();
  pane.setParent(&host);
  pane.show();
  for (int width : {800, 713, 712, 1091, 1090}) {
    SCOPED_TRACE("width " + std::to_string(width));
    pane.resize(width, 600);
    EXPECT_EQ(g->CellRect(5, 1).right() + 1 + g->GridLineWidth(), g->ClientWidth());
    int chars = 15;
    while (chars < 255 && g->TextWidth0(chars + 1) < g->ColWidth(3) - 3) ++chars;
    EXPECT_EQ(pane.LineChars(), chars);
    EXPECT_EQ(pane.RowLines[28], (256 - 1) / chars + 1);
    EXPECT_EQ(pane.RowLines[4], 1);
    EXPECT_EQ(g->CellAtr(3, 29).Line[0].TextLines, pane.RowLines[28]);
  }
  pane.setParent(nullptr);
  EXPECT_FALSE(g->CellAtr(0, 1).Selectable);
  EXPECT_TRUE(g->CellAtr(3, 1).Selectable);
  ASSERT_NE(pane.findChild<TPreviewView*>("webBrowser"), nullptr);
  ASSERT_NE(pane.findChild<QGroupBox*>("rgpKubun"), nullptr);
  EXPECT_EQ(pane.rgpKubun->title(), " 区分 ");
  EXPECT_EQ(pane.rbtKubun[3]->text(), "トンネル詳細設計");
  EXPECT_EQ(pane.zLabel03->text(), "図面種類");
}

TEST_F(CadFilesTest, CreationComposesTheNameFromTheFirstChoices) {
  TfrmCADFiles pane(m);
  EXPECT_EQ(pane.Kubun(), 0);
  ASSERT_GT(pane.cbxDrawKind->count(), 0);
  EXPECT_EQ(pane.cbxDrawKind->count(), 8);
  EXPECT_EQ(pane.edtFileName->text(), "S0" + pane.cbxDrawKind->itemText(0).left(2) + "0010");
}

TEST_F(CadFilesTest, NumberBoxesAreReadOnlyMovingEdits) {
  TfrmCADFiles pane(m);
  struct Box {
    const char* Name;
    int Max;
    TKeyMask Mask;
    Qt::Alignment Align;
  };
  const Box boxes[] = {{"edtSortNo", 1, TKeyMask::mkDefault, Qt::AlignHCenter},
                       {"edtDrawNo", 3, TKeyMask::mkNumeric, Qt::AlignRight},
                       {"edtRev", 1, TKeyMask::mkDefault, Qt::AlignHCenter}};
  for (const Box& b : boxes) {
    auto* e = pane.findChild<TMovEdit*>(b.Name);
    ASSERT_NE(e, nullptr) << b.Name;
    EXPECT_EQ(e->maxLength(), b.Max) << b.Name;
    EXPECT_EQ(e->KeyMask, b.Mask) << b.Name;
    EXPECT_EQ(e->alignment() & Qt::AlignHorizontal_Mask, b.Align) << b.Name;
    EXPECT_TRUE(e->isReadOnly()) << b.Name;
  }
}

TEST_F(CadFilesTest, EightCharacterNameShowsWithoutExtensionInABoxOfItsWidth) {
  TTreeItem* item = Drawing(1, "D0PL001Z.P21");
  ASSERT_NE(item, nullptr);
  TfrmCADFiles pane(m);
  pane.ShowNode(item);
  EXPECT_EQ(pane.edtFileName->text(), "D0PL001Z");
  EXPECT_EQ(pane.edtFileName->width(), BoxWidthFor(pane, "D0PL001Z"));
  EXPECT_EQ(pane.bvlFilename->width(), pane.edtFileName->width() + 77);
  EXPECT_EQ(pane.pnlTop->height(), 37);
  // The drawing's fields in the value column.
  EXPECT_EQ(pane.Grid->Cell(3, 1), "平面図");
  EXPECT_EQ(pane.Grid->Cell(3, 2), "見本県中央土木事務所");
  EXPECT_EQ(pane.Grid->Cell(3, 3), "CADエディタ Ver.5");
  EXPECT_EQ(pane.Grid->Cell(3, 4), "1:500");
  EXPECT_EQ(pane.Grid->Cell(3, 5), "2");
  EXPECT_EQ(pane.Grid->Cell(3, 6), "");
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST_F(CadFilesTest, ValidNamePartsGoIntoTheTopControls) {
  TTreeItem* item = Drawing(1, "D0PL001Z.P21");
  ASSERT_NE(item, nullptr);
  const TCADFileNameParts parts = m.View.ParseCADFileName(item);
  ASSERT_TRUE(parts.Valid);
  TfrmCADFiles pane(m);
  pane.ShowNode(item);
  EXPECT_EQ(pane.cbxLifeCycle->currentText(), "D-設計");
  EXPECT_EQ(pane.edtSortNo->text(), "0");
  EXPECT_TRUE(pane.cbxDrawKind->currentText().startsWith("PL-"));
  EXPECT_EQ(pane.edtDrawNo->text(), "001");
  EXPECT_EQ(pane.edtRev->text(), "Z");
  EXPECT_EQ(pane.Kubun(), parts.Group);
  // Showing the parts does not compose a name over the drawing's own.
  EXPECT_EQ(pane.edtFileName->text(), "D0PL001Z");
}

TEST_F(CadFilesTest, EmptyNameGivesABoxEightZerosWide) {
  TTreeItem* item = Drawing(1, "D0PL001Z.P21");
  ASSERT_NE(item, nullptr);
  Record(item).DrawFile.clear();
  TfrmCADFiles pane(m);
  pane.ShowNode(item);
  EXPECT_EQ(pane.edtFileName->text(), "");
  EXPECT_EQ(pane.edtFileName->width(), BoxWidthFor(pane, "00000000"));
  EXPECT_EQ(pane.bvlFilename->width(), pane.edtFileName->width() + 77);
  // The grid is still filled while the preview has nothing to show.
  EXPECT_EQ(pane.Grid->Cell(3, 1), "平面図");
  EXPECT_FALSE(pane.Panel1->isVisibleTo(&pane));
}

TEST_F(CadFilesTest, LongDoubleByteNamesAreCutAtACharacterBoundary) {
  TTreeItem* item = Drawing(1, "D0PL001Z.P21");
  ASSERT_NE(item, nullptr);
  TfrmCADFiles pane(m);

  Record(item).DrawFile = Repeat("図", 70) + ".P21";
  pane.ShowNode(item);
  EXPECT_EQ(pane.edtFileName->text().toStdString(), Repeat("図", 30));

  // One single-byte character in front: byte 60 would be a lead byte.
  Record(item).DrawFile = "A" + Repeat("図", 70) + ".P21";
  pane.ShowNode(item);
  const std::string shown = pane.edtFileName->text().toStdString();
  EXPECT_EQ(shown, "A" + Repeat("図", 29));
  EXPECT_EQ(Cp932Length(shown), 59u);
  EXPECT_EQ(pane.edtFileName->width(), BoxWidthFor(pane, QString::fromStdString(shown)));
}

TEST_F(CadFilesTest, BoxNameDropsOnlyTheLastExtension) {
  EXPECT_EQ(TfrmCADFiles::BoxName("D0PL001Z.P21"), "D0PL001Z");
  EXPECT_EQ(TfrmCADFiles::BoxName("A.B.SFC"), "A.B");
  EXPECT_EQ(TfrmCADFiles::BoxName("NOEXT"), "NOEXT");
  EXPECT_EQ(TfrmCADFiles::BoxName(std::string(60, 'x') + ".P21"), std::string(60, 'x'));
  EXPECT_EQ(TfrmCADFiles::BoxName(std::string(61, 'x')), std::string(60, 'x'));
  EXPECT_EQ(TfrmCADFiles::DigitChar(0), QChar('0'));
  EXPECT_EQ(TfrmCADFiles::DigitChar(10), QChar('A'));
  EXPECT_EQ(TfrmCADFiles::DigitChar(35), QChar('Z'));
}

TEST_F(CadFilesTest, ExistingDrawingIsPreviewed) {
  TTreeItem* item = Drawing(4, "C0PL001Z.P21");
  ASSERT_NE(item, nullptr);
  TfrmCADFiles pane(m);
  pane.ShowNode(item);
  EXPECT_TRUE(pane.Panel1->isVisibleTo(&pane));
  EXPECT_FALSE(pane.webBrowser->CurrentPath().isEmpty());
  EXPECT_EQ(pane.edtFileName->text(), "C0PL001Z");
}

}  // namespace
}  // namespace dlvr
