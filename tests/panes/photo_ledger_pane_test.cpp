// The photo window's ledger bar on samples/errors: the PDF it writes holds
// the photos the scope names, in the tree's group order, and nothing is
// written into the delivery.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QPdfDocument>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "check/viewer_model.h"
#include "panes/delivery_check.h"
#include "panes/photo_view.h"
#include "support/fixtures.h"
#include "support/qt_paths.h"
#include "support/run_tool.h"
#include "support/wait.h"

namespace dlvr {
namespace {

class PhotoLedgerPaneTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  TViewerModel model;
  std::unique_ptr<TfrmPhotoView> view;
  test::ScratchDir dir;

  PhotoLedgerPaneTest() {
    model.View.MakeWorkCopies = false;
    TExtRegistry settings(QStringLiteral("frmPhotoView"));
    settings.WriteInteger(QStringLiteral("Sort"), 0);
    settings.WriteInteger(QStringLiteral("LedgerPerPage"), 3);
    settings.WriteInteger(QStringLiteral("LedgerDrawing"), 0);
  }
  ~PhotoLedgerPaneTest() override { TfrmDeliveryCheck::AskSavePath = nullptr; }

  void Open() {
    model.View.Load(test::SamplePath("errors"));
    view = std::make_unique<TfrmPhotoView>(model);
    view->resize(1100, 760);
    view->show();
    view->Refresh();
    ASSERT_TRUE(test::WaitUntil([&] { return !view->Busy(); }));
  }
  void Select(const std::vector<std::string>& serials) {
    auto* selection = view->lvwPhotos->selectionModel();
    selection->clearSelection();
    const auto& records = view->Store()->Records();
    for (int row = 0; row < view->ListModel()->rowCount(); ++row)
      for (const std::string& s : serials)
        if (records[static_cast<std::size_t>(view->ListModel()->RecordAt(row))].Serial == s)
          selection->select(view->ListModel()->index(row), QItemSelectionModel::Select);
  }
};

TEST_F(PhotoLedgerPaneTest, PdfOutputWritesThePhotosTheScopeNamesInGroupOrder) {
  ASSERT_NO_FATAL_FAILURE(Open());
  struct Case {
    const char* name;
    int scope;
    std::function<void()> setUp;
    std::vector<const char*> titles;  // printed, in order
    int pages;
  };
  const std::vector<Case> cases = {
      // 5 (出来形管理写真) was selected first, but 安全管理写真 comes first in the tree.
      {"selected", 2, [&] { Select({"5", "2"}); }, {"工事看板設置状況", "表層 厚さ測定"}, 1},
      {"the shown group", 1, [&] { ASSERT_TRUE(view->SelectGroup({"工事", "施工状況写真"})); },
       {"表層 舗設状況", "区画線 施工状況", "区画線 仕上がり状況"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.setUp();
    view->cbxLedgerScope->setCurrentIndex(c.scope);
    const std::string path = dir / (std::string(c.name) + ".pdf");
    TfrmDeliveryCheck::AskSavePath = [&](QWidget*, const QString&, const QString&, const QString&) {
      return QString::fromStdString(path);
    };
    QTest::mouseClick(view->tlbLedgerPdf, Qt::LeftButton);
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(QString::fromStdString(path)), QPdfDocument::Error::None);
    EXPECT_EQ(pdf.pageCount(), c.pages);
    QString text;
    for (int p = 0; p < pdf.pageCount(); ++p) text += pdf.getAllText(p).text();
    qsizetype last = -1;
    for (const char* title : c.titles) {
      const qsizetype at = text.indexOf(QString::fromUtf8(title));
      EXPECT_GT(at, last) << title;
      last = at;
    }
    EXPECT_FALSE(text.contains(QString::fromUtf8("着手前全景")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("ＪＲ見本駅前広場整備工事")));
  }
}

TEST_F(PhotoLedgerPaneTest, TheReferenceDrawingIsPrintedInItsBoxWhenAsked) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Select({"1"});  // its reference drawing D0000001.JPG is on the medium
  view->cbxLedgerScope->setCurrentIndex(2);
  // The images on the page, as the PDF holds them (pdfimages -list: two
  // lines of heading, then one an image).
  auto imagesOnPage = [&](bool drawing) {
    view->chkLedgerDrawing->setChecked(drawing);
    const std::string path = dir / (drawing ? "with.pdf" : "without.pdf");
    if (!view->WriteLedger(QString::fromStdString(path))) return -1;
    const std::string list = test::RunCaptured("pdfimages -list '" + path + "'").out;
    return static_cast<int>(std::count(list.begin(), list.end(), '\n')) - 2;
  };
  EXPECT_EQ(imagesOnPage(false), 1);
  EXPECT_EQ(imagesOnPage(true), 2);
}

TEST_F(PhotoLedgerPaneTest, ALedgerIsNeverWrittenIntoTheDelivery) {
  ASSERT_NO_FATAL_FAILURE(Open());
  const std::string inside = test::SamplePath("errors") + "/ledger.pdf";
  test::ScriptedPrompts prompts;
  EXPECT_FALSE(view->WriteLedger(QString::fromStdString(inside)));
  EXPECT_FALSE(std::filesystem::exists(inside));
  ASSERT_EQ(prompts.Shown.size(), 1u);
}

}  // namespace
}  // namespace dlvr
