// Screenshots for a person to look at: written only when DLVR_SCREENSHOT_DIR
// names a folder. The drawing's screenshots also check what they show.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QMenu>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QTest>

#include <QImageReader>
#include <QListWidget>
#include <QWheelEvent>

#include <cmath>

#include "app/find_windows.h"
#include "app/main_window.h"
#include "components/drawing_render.h"
#include "components/drawing_view.h"
#include "components/preview_view.h"
#include "panes/cad_files_pane.h"
#include "panes/photo_view.h"
#include "panes/xml_pane.h"
#include "components/mov_controls.h"
#include "components/ext_registry.h"
#include "panes/seldir.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/main_window.h"
#include "support/wait.h"

namespace dlvr {
namespace {

// The screenshots go to the folder DLVR_SCREENSHOT_DIR names; the
// delivery's drive is a fixed one and every message is answered OK.
class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = qEnvironmentVariable("DLVR_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set DLVR_SCREENSHOT_DIR to write screenshots";
    QDir().mkpath(dir);
    SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
    prompts.Fallback = DialogAnswer::Ok;
  }
  void TearDown() override { SetDriveTypeOverride(nullptr); }

  QString dir;
  test::ScriptedPrompts prompts;
};

TEST_F(Screenshots, MainWindowPanesMenuAndFolderDialog) {
  {
    TExtRegistry("frmMain").WriteInteger("LeftWidth", 300);
  }
  for (const char* sample : {"clean", "errors"}) {
    TfrmMain w(test::QSample(sample));
    test::ShowLoaded(w, 1100, 720);
    QTest::qWait(50);
    EXPECT_TRUE(w.grab().save(dir + "/" + sample + "_construction.png"));
    TTreeItem* meet = w.Model().View.Tree().Root()->Item(1);
    w.Tree()->expandAll();
    w.SelectItem(meet->Item(3));
    QTest::qWait(50);
    EXPECT_TRUE(w.grab().save(dir + "/" + sample + "_meeting.png"));
    QMenu* menu = w.PrepareTreeMenu();
    menu->popup(w.mapToGlobal(QPoint(100, 200)));
    QTest::qWait(50);
    EXPECT_TRUE(menu->grab().save(dir + "/" + sample + "_context_menu.png"));
    menu->hide();
    if (sample == std::string("clean")) {
      // The tree after a change of its language: the items opened before
      // stay open and the selected meeting keeps its pane.
      w.Tree()->collapseAll();
      TTreeItem* root = w.Model().View.Tree().Root();
      for (TTreeItem* open : {root, meet, meet->Item(1), root->Item(2), root->Item(5)})
        w.Tree()->expand(w.TreeModel()->IndexOf(open));
      w.SelectItem(meet->Item(1));
      w.miViewLangEJ->trigger();
      QTest::qWait(50);
      EXPECT_TRUE(w.grab().save(dir + "/tree_after_lang.png"));
      w.miViewLangJ->trigger();
    }
  }
  {
    // No delivery where the viewer looks: the start page.
    test::ScratchDir empty;
    const std::string savedProgramDir = ProgramDir();
    SetProgramDir(empty.Path());
    TExtRegistry("frmMain").WriteString("MediaPath", QString::fromStdString(empty.Path()));
    {
      TfrmMain w{QString()};
      test::ShowLoaded(w, 1100, 720);
      QTest::qWait(50);
      EXPECT_TRUE(w.grab().save(dir + "/start_page.png"));
      w.resize(1280, 720);
      QTest::qWait(50);
      EXPECT_TRUE(w.ToolBar->grab().save(dir + "/toolbar_logo.png"));
    }
    SetProgramDir(savedProgramDir);
  }
  TfrmSelDir dialog(nullptr);
  dialog.SetInitialPath(test::QSample("clean"));
  dialog.show();
  QTest::qWait(50);
  EXPECT_TRUE(dialog.grab().save(dir + "/folder_dialog.png"));
}

TEST_F(Screenshots, TreeSearchWindows) {
  test::ScratchDir program;  // the search history goes beside the program
  const std::string savedProgramDir = ProgramDir();
  SetProgramDir(program.Path());
  TfrmMain w(test::QSample("clean"));
  test::ShowLoaded(w, 1100, 720);
  TTreeItem* meet = w.Model().View.Tree().Root()->Item(1);
  w.SelectItem(meet->Item(2));
  w.frmFindOrg->ShowFor(w.SelectedItem());
  w.frmFindOrg->cbxFindTxt->setEditText("打合せ簿");
  w.frmFindOrg->cbxFind2->setEditText("協議");
  QTest::qWait(50);
  EXPECT_TRUE(w.frmFindOrg->grab().save(dir + "/find_original_content.png"));
  w.frmFindOrg->Search(true);
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(dir + "/find_original_content_found.png"));
  w.frmFindOrg->close();
  w.frmSrcTree->show();
  w.frmSrcTree->edtSrc->setText("0003");
  QTest::qWait(50);
  EXPECT_TRUE(w.frmSrcTree->grab().save(dir + "/find_registered_file.png"));
  SetProgramDir(savedProgramDir);
}

// The photo window on the clean sample: the XML pane's offer, the groups,
// the grid and the details of a photo with a reference drawing, the check
// list, and a photo stored on its side shown upright in the full view.
TEST_F(Screenshots, PhotoWindow) {
  TfrmMain w(test::QSample("clean"));
  test::ShowLoaded(w, 1100, 720);
  w.Tree()->expandAll();
  w.SelectItem(w.Model().View.FindClassNode(5));
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(dir + "/photo_pane_offer.png"));
  w.frmXML->btnPhotoView->click();
  ASSERT_TRUE(w.frmPhotoView);
  TfrmPhotoView& view = *w.frmPhotoView;
  view.resize(1280, 860);
  auto settle = [&] {
    test::WaitUntil([&] {
      TPhotoListModel* list = view.ListModel();
      if (view.Busy() || list->FirstVisible() < 0) return false;
      for (int row = list->FirstVisible(); row <= list->LastVisible(); ++row)
        if (list->State(list->RecordAt(row)) == TPhotoListModel::Loading) return false;
      return true;
    });
    QTest::qWait(50);
  };
  settle();
  // A photo with a reference drawing, and one stored on its side.
  const auto& records = view.Store()->Records();
  int withDrawing = -1, portrait = -1;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (withDrawing < 0 && !records[i].References.empty()) withDrawing = static_cast<int>(i);
    if (portrait < 0 && records[i].Exists &&
        (QImageReader(QString::fromStdString(records[i].Path)).transformation() & QImageIOHandler::TransformationRotate90))
      portrait = static_cast<int>(i);
  }
  if (withDrawing >= 0) view.ShowRecord(withDrawing);
  settle();
  EXPECT_TRUE(view.grab().save(dir + "/photo_window.png"));
  view.edtFilter->setText("側溝");
  settle();
  EXPECT_TRUE(view.grab().save(dir + "/photo_window_filtered.png"));
  view.edtFilter->clear();
  EXPECT_GE(portrait, 0) << "no photo of the sample is stored on its side";
  if (portrait >= 0) {
    view.ShowRecord(portrait);
    view.OpenFull();
    QTest::qWait(100);
    EXPECT_TRUE(view.grab().save(dir + "/photo_window_full_portrait.png"));
  }
  // The sample with the photo mistakes: the marks in the grid, the check list.
  w.LoadMedia(test::QSample("errors"));
  settle();
  EXPECT_TRUE(view.grab().save(dir + "/photo_window_errors.png"));
}

// A road-plan drawing of the clean sample in the CAD drawing files pane:
// fitted to the canvas, zoomed in by the wheel, and with its busiest layer
// unchecked in the layer list.
TEST_F(Screenshots, CadPaneDrawing) {
  TfrmMain w(test::QSample("clean"));
  test::ShowLoaded(w, 1860, 1040);
  TViewerModel& m = w.Model();
  TTreeItem* plan = nullptr;
  for (TTreeItem* item : m.View.Tree().AllItems())
    if (m.View.NodeLevel(item) == nlFile && m.View.GetFileItem(item, 0) == "D0PL001Z.P21") plan = item;
  ASSERT_TRUE(plan);
  w.Tree()->expand(w.TreeModel()->IndexOf(plan->Parent()));
  w.SelectItem(plan);
  ASSERT_EQ(w.VisiblePane(), w.pnlCADFiles);
  TPreviewView* preview = w.frmCADFiles->webBrowser;
  auto* view = preview->findChild<TDrawingView*>();
  ASSERT_TRUE(view);
  ASSERT_TRUE(test::WaitUntil([&] { return !preview->Busy() && !view->Busy(); }));
  ASSERT_EQ(preview->RendererKind(), "drawing");
  ASSERT_TRUE(view->isVisible());
  ASSERT_TRUE(view->Scene());
  EXPECT_EQ(view->Problem(), "");
  const sxf::TDrawing& drawing = view->Scene()->Drawing();
  EXPECT_GT(drawing.Primitives.size(), 100u);
  EXPECT_FALSE(drawing.Attributes.empty()) << "the title block's values";
  QWidget* canvas = view->Canvas();
  // The canvas is drawn anew once a movement has rested.
  auto rested = [&] {
    QTest::qWait(300);
    return canvas->grab().toImage();
  };
  const QImage fitted = rested();
  EXPECT_TRUE(w.grab().save(dir + "/cad_drawing_fitted.png"));

  // Four wheel steps in at the middle of the road's longest centre line;
  // the sheet point under the mouse stays under it.
  QRectF road;
  for (const sxf::TPrimitive& p : drawing.Primitives)
    if (p.Layer >= 0 && drawing.Layers[static_cast<std::size_t>(p.Layer)].Name == "C-STR-CNTR" &&
        PrimitiveBounds(p).width() > road.width())
      road = PrimitiveBounds(p);
  ASSERT_FALSE(road.isEmpty()) << "no centre line in the plan";
  const QTransform before = view->SheetToCanvas();
  const QPointF at = before.map(road.center());
  for (int step = 0; step < 4; ++step) {
    QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(canvas, &wheel);
  }
  EXPECT_NEAR(view->SheetToCanvas().m11() / before.m11(), std::pow(1.25, 4), 1e-6);
  const QPointF still = view->SheetToCanvas().map(road.center());
  EXPECT_NEAR(still.x(), at.x(), 1e-6);
  EXPECT_NEAR(still.y(), at.y(), 1e-6);
  const QImage zoomed = rested();
  EXPECT_NE(zoomed, fitted);
  EXPECT_TRUE(w.grab().save(dir + "/cad_drawing_zoomed.png"));

  // Fitted again, the layer with the most features unchecked in the list.
  view->FitToSheet();
  EXPECT_EQ(rested(), fitted);
  auto* layers = view->findChild<QListWidget*>("lstLayers");
  ASSERT_TRUE(layers);
  ASSERT_EQ(layers->count(), static_cast<int>(drawing.Layers.size()));
  int busiest = -1;
  for (int i = 0; i < layers->count(); ++i)
    if (view->Scene()->LayerShown(i) &&
        (busiest < 0 || view->Scene()->LayerFeatures(i) > view->Scene()->LayerFeatures(busiest)))
      busiest = i;
  ASSERT_GE(busiest, 0);
  layers->item(busiest)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(view->Scene()->LayerShown(busiest));
  EXPECT_NE(rested(), fitted) << drawing.Layers[static_cast<std::size_t>(busiest)].Name;
  EXPECT_TRUE(w.grab().save(dir + "/cad_drawing_layer_hidden.png"));
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

// A large delivery (written by `tree_load_bench --write-only`): the load
// shows its progress in the status bar. Runs only when DLVR_BIG_DELIVERY
// names one; prints the load time.
TEST(LargeDelivery, LoadShowsProgress) {
  QString folder = qEnvironmentVariable("DLVR_BIG_DELIVERY");
  if (folder.isEmpty()) GTEST_SKIP() << "set DLVR_BIG_DELIVERY to a generated delivery";
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  test::ScriptedPrompts prompts;
  TfrmMain w(folder);
  w.resize(1100, 720);
  w.show();
  QStringList messages;
  auto previous = w.Model().View.OnProgress;
  w.Model().View.OnProgress = [&](const std::string& what, int media) {
    previous(what, media);
    messages << w.statusBar()->currentMessage();
  };
  QElapsedTimer t;
  t.start();
  w.FirstLoad();
  std::printf("viewer load of %s: %lld ms\n", qPrintable(folder), static_cast<long long>(t.elapsed()));
  EXPECT_GE(messages.size(), 5);
  EXPECT_TRUE(messages.front().startsWith("読み込み中"));
  EXPECT_GT(w.Model().View.Tree().AbsoluteCount(), 10000);

  // Searches that walk the whole tree without a match.
  prompts.Fallback = DialogAnswer::Ok;
  w.SelectItem(w.Model().View.Tree().Root());
  w.frmFindOrg->ShowFor(w.SelectedItem());
  w.frmFindOrg->cbxFind1->setCurrentIndex(2);
  w.frmFindOrg->cbxFind2->setEditText("協議");
  w.frmFindOrg->cbxFindTxt->setEditText("見つからない文字列");
  t.restart();
  EXPECT_FALSE(w.frmFindOrg->Search(true));
  std::printf("original-file search through %d items: %lld ms\n", w.Model().View.Tree().AbsoluteCount(),
              static_cast<long long>(t.elapsed()));
  w.frmSrcTree->edtSrc->setText("見つからない");
  t.restart();
  EXPECT_FALSE(w.frmSrcTree->btnSrcClick());
  std::printf("registered-file search: %lld ms\n", static_cast<long long>(t.elapsed()));

  // Re-captioning, sorting and refreshing keep the open items and the
  // selection, also with every item open.
  w.frmSrcTree->close();
  w.frmFindOrg->close();
  TTreeItem* meetings = w.Model().View.FindClassNode(2);
  TTreeItem* record = meetings->Item(meetings->Count() / 2);
  w.Tree()->expandAll();
  w.SelectItem(record);
  QCoreApplication::processEvents();
  int resets = 0;
  QObject::connect(w.TreeModel(), &QAbstractItemModel::modelAboutToBeReset, [&] { ++resets; });
  const std::pair<const char*, QAction*> commands[] = {
      {"tree language", w.miViewLangEJ},         {"file-name mode", w.miViewFileOrg},
      {"meetings by issue date", w.pmiSortIssueDown}, {"meetings in file order", w.pmiMeetDef},
      {"refresh (F5)", w.miViewRefresh},
  };
  for (auto [what, command] : commands) {
    t.restart();
    command->trigger();
    QCoreApplication::processEvents();  // the view lays itself out
    std::printf("%s with %d items open: %lld ms\n", what, w.Model().View.Tree().AbsoluteCount(),
                static_cast<long long>(t.elapsed()));
    EXPECT_TRUE(w.Tree()->isExpanded(w.TreeModel()->IndexOf(w.SelectedItem()))) << what;
    EXPECT_EQ(w.SelectedItem()->Caption(), record->Caption()) << what;
  }
  EXPECT_EQ(resets, 1);  // the refresh alone: the same delivery read again
  SetDriveTypeOverride(nullptr);
}

}  // namespace
}  // namespace dlvr

#include <QPdfDocument>
#include <QTimer>

#include "panes/delivery_check.h"

namespace dlvr {
namespace {

// The delivery check on the sample with mistakes: the toolbar with its
// button, the findings window and the first page of its PDF report.
TEST_F(Screenshots, DeliveryCheckFindings) {
  TfrmMain w(test::QSample("errors"));
  test::ShowLoaded(w, 1100, 720);
  QTest::qWait(50);
  EXPECT_TRUE(w.ToolBar->grab().save(dir + "/delivery_check_toolbar.png"));
  const QString pdf = dir + "/delivery_check_report.pdf";
  bool shot = false;
  w.miFileDeliveryCheck->trigger();
  // The findings window stays open beside the main window.
  if (auto* form = w.findChild<TfrmDeliveryCheck*>()) {
    form->resize(1200, 620);
    QTest::qWait(50);
    // An error row selected, others red in their first column.
    form->List->tvwFindings->setCurrentIndex(form->List->tvwFindings->model()->index(6, 0));
    QTest::qWait(50);
    shot = form->grab().save(dir + "/delivery_check.png");
    EXPECT_TRUE(form->ExportPdf(pdf));
    form->tblClose->click();
  }
  EXPECT_TRUE(shot);
  QPdfDocument doc;
  ASSERT_EQ(doc.load(pdf), QPdfDocument::Error::None);
  ASSERT_GE(doc.pageCount(), 1);
  const QSizeF points = doc.pagePointSize(0);
  EXPECT_TRUE(doc.render(0, (points * 1.5).toSize()).save(dir + "/delivery_check_report.png"));
}

// Multi-media deliveries and later editions: the folder dialog naming the
// other media beside the chosen one, and the construction pane of a delivery
// of the March 2016 edition with the elements no row shows, and its edition
// in the status bar.
TEST_F(Screenshots, OtherMediaAndLaterEdition) {
  TfrmSelDir dialog(nullptr);
  dialog.SetInitialPath(test::QSample("multi/MEDIA1"));
  dialog.show();
  QTest::qWait(50);
  EXPECT_FALSE(dialog.SiblingLabel()->isHidden());
  EXPECT_TRUE(dialog.grab().save(dir + "/folder_dialog_other_media.png"));

  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  std::string index;
  ASSERT_TRUE(ReadWholeFile(d / "kkt/INDEX_C.XML", index));
  std::string text = Cp932ToUtf8(index);
  auto insertAfter = [&](const std::string& tag, const std::string& what) {
    const std::size_t at = text.find(tag);
    ASSERT_NE(at, std::string::npos) << tag;
    text.insert(at + tag.size(), what);
  };
  insertAfter("<基礎情報>", "\r\n\t\t<適用要領基準>土木201603-01</適用要領基準>");
  insertAfter("</請負者情報>",
              "\r\n\t<受注者情報>\r\n\t\t<受注者名>見本建設株式会社</受注者名>\r\n\t\t<受注者コード>0012345678</受注者コード>"
              "\r\n\t</受注者情報>\r\n\t<工事実績システム登録番号>1234567890</工事実績システム登録番号>");
  d.WriteBytes("kkt/INDEX_C.XML", Utf8ToCp932(text));
  TfrmMain w(QString::fromStdString(d / "kkt"));
  test::ShowLoaded(w, 1100, 720);
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(dir + "/later_edition_construction.png"));
}

}  // namespace
}  // namespace dlvr
