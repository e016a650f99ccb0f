// The files pane: the two original-file fields and the preview from a
// temporary copy, on the sample deliveries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check/viewer_model.h"
#include "panes/files_pane.h"
#include "platform/drive.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::ScriptedPrompts;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Files directly in a folder.
// The preview copies in a folder (the work folder's owner lock aside).
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file() && e.path().filename() != "owner.lock") out.push_back(e.path().string());
  return out;
}

class FilesPaneTest : public ::testing::Test {
 protected:
  void Load(const std::string& folder) { m.View.Load(folder); }

  // The first file item of a class whose file name matches `name` (any when empty).
  TTreeItem* FileItem(int cls, const std::string& name = "") {
    for (TTreeItem* item : m.View.Tree().AllItems())
      if (m.View.NodeLevel(item) == nlFile && m.View.NodeClass(item) == cls &&
          (name.empty() || m.View.GetFileItem(item, 0) == name))
        return item;
    return nullptr;
  }

  test::FixedDrives drives;
  test::ScratchTmpdir temp;  // preview copies land here, so that they can be counted
  ScriptedPrompts prompts;
  TViewerModel m;
};

TEST_F(FilesPaneTest, FieldGridHasTheFixedRowsAndHidesColumnOne) {
  TfrmFiles pane(m);
  EXPECT_EQ(pane.objectName(), "frmFiles");
  EXPECT_EQ(pane.Grid->ColCount(), 6);
  EXPECT_EQ(pane.Grid->RowCount(), 3);
  EXPECT_EQ(pane.Grid->ColWidth(1), -1);
  EXPECT_EQ(pane.Grid->Cell(0, 1), "ｵﾘｼﾞﾅﾙﾌｧｲﾙ作成ｿﾌﾄﾊﾞｰｼﾞｮﾝ情報");
  EXPECT_EQ(pane.Grid->Cell(0, 2), "オリジナルファイル内容");
  EXPECT_EQ(pane.Grid->Cell(3, 0), "情       報");
  EXPECT_EQ(pane.Grid->Cell(5, 1), "64");
  EXPECT_TRUE(pane.cbxSoftware->isHidden());
  EXPECT_EQ(pane.findChild<TPreviewView*>("webBrowser"), pane.webBrowser);
}

TEST_F(FilesPaneTest, PlanOriginalAllowsLongerContentThanMeetingOriginal) {
  Load(test::SamplePath("clean"));
  TfrmFiles pane(m);
  pane.resize(700, 500);
  TTreeItem* plan = FileItem(3);
  TTreeItem* meet = FileItem(2);
  ASSERT_TRUE(plan && meet);

  pane.ShowNode(plan);
  EXPECT_EQ(pane.Grid->Cell(5, 2), "127");
  EXPECT_EQ(pane.Grid->Cell(3, 2).toStdString(), m.View.GetFileItem(plan, 4));
  EXPECT_EQ(pane.Grid->Cell(3, 1).toStdString(), m.View.GetFileItem(plan, 3));
  EXPECT_FALSE(pane.pnlT->isHidden());
  const int planLines = pane.RowLines[1];

  pane.ShowNode(meet);
  EXPECT_EQ(pane.Grid->Cell(5, 2), "64");
  EXPECT_EQ(pane.Grid->Cell(5, 1), "64");
  EXPECT_EQ(pane.Grid->Cell(3, 2).toStdString(), m.View.GetFileItem(meet, 4));
  // 254 bytes take more lines than 128 at the same width.
  EXPECT_GT(planLines, pane.RowLines[1]);
  EXPECT_GE(pane.Grid->RowHeight(2), pane.Grid->TextHeight0() + 2);
  EXPECT_TRUE(prompts.Shown.empty());
}

// After every resize, with the pane shown in a host window as the main
// window holds it: the value column W takes what the other columns leave, so
// that the last column ends exactly at the grid's right client edge beside
// the scroll bar (the hidden column takes no room); L is the most "0"s below
// W - 3, at least 15; each row's lines N = (B - 1) / L + 1 for its byte
// length B (doubled for full-width masks), its height that of N lines, and
// the field panel is as high as its rows.
TEST_F(FilesPaneTest, LineCountFollowsTheValueColumnWidth) {
  struct Width {
    int pane;
    int chars;      // L
    int planLines;  // row 2 of a plan's original: 127 full-width characters, 254 bytes
    int softLines;  // row 1: 64 full-width characters, 128 bytes
  };
  // 712 and 713 sit on both sides of 64 characters per line, 1090 and 1091
  // on both sides of 127; the narrowest holds fewer than 15 and still counts 15.
  const Width widths[] = {{1400, 178, 2, 1}, {713, 64, 4, 2}, {712, 63, 5, 3}, {1091, 127, 2, 2},
                          {1090, 126, 3, 2}, {400, 15, 17, 9}, {500, 28, 10, 5}};
  Load(test::SamplePath("clean"));
  QWidget host;
  host.resize(1600, 900);
  host.show();
  TfrmFiles pane(m, &host);
  pane.show();
  TTreeItem* plan = FileItem(3);
  ASSERT_TRUE(plan);
  pane.ShowNode(plan);
  const TExtGrid3& g = *pane.Grid;
  for (const Width& w : widths) {
    SCOPED_TRACE("width " + std::to_string(w.pane));
    pane.resize(w.pane, 500);
    const int width = g.ColWidth(3);
    EXPECT_EQ(g.ColWidth(1), -1);
    EXPECT_EQ(g.CellRect(3, 1).width(), width);
    EXPECT_EQ(g.CellRect(5, 1).right() + 1 + g.GridLineWidth(), g.ClientWidth());
    int chars = 15;
    while (chars < 255 && g.TextWidth0(chars + 1) < width - 3) ++chars;
    EXPECT_EQ(pane.LineChars(), chars);
    EXPECT_EQ(pane.LineChars(), w.chars);
    EXPECT_EQ(pane.RowLines[0], w.softLines);
    EXPECT_EQ(pane.RowLines[1], w.planLines);
    int rows = g.RowHeight(0);
    for (int r = 1; r <= 2; ++r) {
      SCOPED_TRACE("row " + std::to_string(r));
      const int bytes = g.Cell(5, r).toInt() * 2;  // both masks are full-width
      ASSERT_EQ(g.Cell(4, r), "全角文字");
      const int lines = (bytes - 1) / chars + 1;
      EXPECT_EQ(pane.RowLines[r - 1], lines);
      EXPECT_EQ(g.CellAtr(3, r).Line[0].TextLines, lines);
      const int h0 = g.TextHeight0();
      EXPECT_EQ(g.RowHeight(r), std::max(g.MinRowHeight(), lines <= 1 ? h0 + 2 : lines * h0 + 5));
      rows += g.RowHeight(r);
    }
    EXPECT_EQ(pane.pnlT->maximumHeight(), 3 + 3 + rows);
  }
}

TEST_F(FilesPaneTest, ValueCellsCarryTheirLengthAndOnlyRowTwoEditsInPlace) {
  Load(test::SamplePath("clean"));
  TfrmFiles pane(m);
  pane.resize(700, 500);
  pane.ShowNode(FileItem(3));
  TCellAtr r1 = pane.Grid->CellAtr(3, 1);
  TCellAtr r2 = pane.Grid->CellAtr(3, 2);
  EXPECT_EQ(r1.Line[0].MaxLength, 128);
  EXPECT_EQ(r2.Line[0].MaxLength, 254);
  EXPECT_EQ(r1.Line[0].EditKind, ekWinCtrl);
  EXPECT_EQ(r2.Line[0].EditKind, ekInplace);
  EXPECT_EQ(r2.Line[0].EditColor, QColor(192, 255, 255));
  EXPECT_FALSE(pane.Grid->CellAtr(0, 1).Selectable);
  EXPECT_EQ(pane.Grid->CellAtr(5, 1).Line[0].Alignment, taRightJustify);
}

TEST_F(FilesPaneTest, EmptyRequiredValueMarksItsCellRed) {
  Load(test::SamplePath("clean"));
  TfrmFiles pane(m);
  pane.ShowNode(m.View.Tree().Root());  // no file: both values empty
  EXPECT_EQ(pane.Grid->CellAtr(2, 1).Color, QColor(255, 85, 85));
  pane.ShowNode(FileItem(3));
  if (!pane.Grid->Cell(3, 1).isEmpty()) {
    EXPECT_EQ(pane.Grid->CellAtr(2, 1).Color, QColor(255, 255, 192));
  }
}

TEST_F(FilesPaneTest, PhotoClassFileHidesTheFieldGrid) {
  Load(test::SamplePath("clean"));
  TfrmFiles pane(m);
  TTreeItem* item = FileItem(5);
  if (!item) item = FileItem(13);
  ASSERT_TRUE(item);
  pane.ShowNode(item);
  EXPECT_TRUE(pane.pnlT->isHidden());
  pane.ShowNode(FileItem(2));
  EXPECT_FALSE(pane.pnlT->isHidden());
}

TEST_F(FilesPaneTest, PreviewShowsACopyWithTheSameExtensionAndKeepsTheDeliveryUntouched) {
  ScratchDir media;
  test::CopyTree(test::SamplePath("clean"), media.Path());
  const auto before = test::TreeSnapshot(media.Path());
  Load(media.Path());
  TfrmFiles pane(m);
  TTreeItem* meet = FileItem(2);
  ASSERT_TRUE(meet);
  const std::string source = m.View.GetFileItem(meet, 1);
  ASSERT_TRUE(FileExists(source));

  QElapsedTimer t;
  t.start();
  pane.ShowNode(meet);
  EXPECT_LT(t.elapsed(), 8000);
  ASSERT_EQ(m.View.TempFiles.size(), 1u);
  const std::string copy = m.View.TempFiles[0];
  // In the process's private work folder, never loose in the shared one.
  EXPECT_EQ(ExtractFilePath(copy), PrivateWorkFolder());
  EXPECT_EQ(ExtractFileExt(copy), ExtractFileExt(source));
  EXPECT_EQ(FileBytes(copy), FileBytes(source));
  EXPECT_EQ(pane.webBrowser->CurrentPath().toStdString(), copy);
  EXPECT_FALSE(pane.Panel1->isHidden());
  EXPECT_TRUE(pane.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(test::TreeSnapshot(media.Path()), before);
}

TEST_F(FilesPaneTest, TwoPreviewsInARowLeaveOnlyTheNewestCopy) {
  Load(test::SamplePath("clean"));
  TfrmFiles pane(m);
  TTreeItem* first = FileItem(2);
  TTreeItem* second = FileItem(3);
  ASSERT_TRUE(first && second);
  pane.ShowNode(first);
  ASSERT_EQ(m.View.TempFiles.size(), 1u);
  const std::string old = m.View.TempFiles[0];
  // A read-only copy goes as well.
  fs::permissions(old, fs::perms::owner_write, fs::perm_options::remove);
  pane.ShowNode(second);
  ASSERT_EQ(m.View.TempFiles.size(), 1u);
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(FileExists(m.View.TempFiles[0]));
  EXPECT_EQ(FilesIn(PrivateWorkFolder()), std::vector<std::string>{m.View.TempFiles[0]});
}

TEST_F(FilesPaneTest, MissingFileHidesThePreviewWithoutWarning) {
  ScratchDir media;
  test::CopyTree(test::SamplePath("clean"), media.Path());
  Load(media.Path());
  TfrmFiles pane(m);
  TTreeItem* meet = FileItem(2);
  ASSERT_TRUE(meet);
  pane.ShowNode(meet);
  ASSERT_FALSE(pane.Panel1->isHidden());
  fs::remove(m.View.GetFileItem(meet, 1));
  pane.ShowNode(meet);
  EXPECT_TRUE(pane.Panel1->isHidden());
  EXPECT_TRUE(prompts.Shown.empty());
  // The fields still show, at the top of the pane.
  EXPECT_FALSE(pane.pnlT->isHidden());
  pane.resize(600, 700);
  pane.show();
  QApplication::processEvents();
  EXPECT_EQ(pane.pnlT->geometry().top(), 0);
  EXPECT_EQ(pane.Grid->Cell(3, 2).toStdString(), m.View.GetFileItem(meet, 4));
  EXPECT_EQ(m.View.TempFiles.size(), 1u);  // nothing new copied
}

TEST_F(FilesPaneTest, ItemWithoutAnyFileShowsTheRelinkWarning) {
  Load(test::SamplePath("clean"));
  TfrmFiles pane(m);
  TTreeItem* record = FileItem(2)->Parent();
  pane.ShowNode(record);
  EXPECT_TRUE(pane.Panel1->isHidden());
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "リンクされているファイルが見つかりません。\r再度ファイルの添付を行ってください。");
  EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Warning);
  EXPECT_EQ(prompts.Shown[0].Buttons, MsgButtons::Ok);
  EXPECT_TRUE(m.View.TempFiles.empty());
}

TEST_F(FilesPaneTest, TemporaryNamesTakeTheWantedExtension) {
  const std::string a = preview::TempFileName("pdf");
  const std::string b = preview::TempFileName("");
  EXPECT_EQ(ExtractFileExt(a), ".pdf");
  EXPECT_EQ(ExtractFileExt(b), ".tmp");
  EXPECT_TRUE(FileExists(a));
  EXPECT_NE(a, preview::TempFileName(".pdf"));
}

}  // namespace
}  // namespace dlvr
