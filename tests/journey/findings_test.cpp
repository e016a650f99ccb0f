// Journeys through the finding lists: the data check and the delivery check
// of the sample with mistakes open beside the main window, which stays
// usable; the inspector sorts a list, narrows it by a text and presses
// Enter on a finding, and the main window shows that finding's file (a
// photo's in the photo window).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>

#include "app/main_window.h"
#include "components/finding_list.h"
#include "model/doc_tree.h"
#include "panes/delivery_check.h"
#include "panes/photo_view.h"
#include "panes/xml_err.h"
#include "support/journey.h"
#include "support/wait.h"

namespace dlvr {
namespace {

using test::TJourney;

class JourneyFindings : public ::testing::TestWithParam<test::JourneyLanguage> {
 protected:
  void SetUp() override {
    // As the program's entry sets it.
    TfrmMainHooks::ShowErrors = [](QWidget* parent, TMdlTreeView& view) { TfrmXMLErr::ShowErrors(parent, view); };
  }
  void TearDown() override { TfrmMainHooks::ShowErrors = nullptr; }

  // Runs a command of the main window's menu. A window that comes up modal
  // is noted and closed, so that the journey goes on to fail rather than
  // wait for a person.
  bool RunCommand(QAction* action) {
    bool modal = false;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w || w->objectName() == "dlgDeliveryCheckProgress") return;
      modal = true;
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    });
    watch.start();
    action->trigger();
    watch.stop();
    QTest::qWait(50);
    return modal;
  }

  // The texts of a column in the rows the list shows now, top to bottom.
  static QStringList Column(const TFindingList* list, int col) {
    QStringList out;
    for (int r = 0; r < list->ShownRows(); ++r) out << list->ShownText(col, r);
    return out;
  }

  // What the main window shows of the item selected in its tree: the
  // tree's current row as drawn, and the pane on the right.
  static QString TreeRow(TfrmMain& w) { return w.tvwKKT->currentIndex().data(Qt::DisplayRole).toString(); }

  // The inspector's walk through one finding list: the main window takes a
  // click on its tree while the list is open, a header click sorts the list,
  // a text narrows it, and Enter on a finding shows its file.
  void WorkThrough(TJourney& j, QWidget* window, TFindingList* list, int sortColumn, const QString& text,
                   const QString& file) {
    TfrmMain& w = j.Window();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_GT(list->ShownRows(), 1);

    // The main window still answers: a click on the tree selects there.
    TTreeItem* cls = w.Model().View.FindClassNode(6);
    ASSERT_NE(cls, nullptr);
    j.Click(cls);
    EXPECT_EQ(TreeRow(w), QString::fromStdString(cls->Caption()));
    QWidget* paneBefore = w.VisiblePane();

    // A click on a column's header sorts the rows by it.
    QTreeView* view = list->tvwFindings;
    const QStringList before = Column(list, sortColumn);
    QHeaderView* header = view->header();
    const QPoint at(header->sectionViewportPosition(sortColumn) + header->sectionSize(sortColumn) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    const QStringList sorted = Column(list, sortColumn);
    QStringList expected = before;
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) { return a < b; });
    EXPECT_NE(sorted, before);
    EXPECT_EQ(sorted, expected);

    // A text narrows the list to the rows that hold it.
    QTest::keyClicks(list->edtFilter, text);
    QTest::keyClick(list->edtFilter, Qt::Key_Return);
    ASSERT_GE(list->ShownRows(), 1);
    EXPECT_LT(list->ShownRows(), before.size());
    for (int r = 0; r < list->ShownRows(); ++r) {
      bool holds = false;
      for (int c = 0; c < view->model()->columnCount(); ++c)
        holds = holds || view->model()->index(r, c).data(Qt::ToolTipRole).toString().contains(text);
      EXPECT_TRUE(holds) << "row " << r;
    }

    // Enter on the first finding: the main window's tree selects its file
    // and the pane on the right changes to it.
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Return);
    j.Settle();
    // (The tree names the file as it was found on the medium.)
    EXPECT_EQ(TreeRow(w).compare(file, Qt::CaseInsensitive), 0) << TreeRow(w).toStdString();
    EXPECT_NE(w.VisiblePane(), paneBefore);
    EXPECT_TRUE(w.VisiblePane() && w.VisiblePane()->isVisible());
    // The list keeps the keyboard for the next finding.
    EXPECT_TRUE(view->hasFocus() || QApplication::focusWidget() == nullptr);
  }
};

TEST_P(JourneyFindings, TheDataCheckListSortsFiltersAndShowsAFindingsFile) {
  TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("errors")});
  EXPECT_FALSE(RunCommand(w.miFileCheck)) << "the error list came up modal";
  auto* window = w.findChild<TfrmXMLErr*>();
  ASSERT_NE(window, nullptr);
  if (!qEnvironmentVariableIsEmpty("DLVR_JOURNEY_SHOTS"))
    TJourney::Grab(window).save(qEnvironmentVariable("DLVR_JOURNEY_SHOTS") + "/data-check-" + GetParam().Name + ".png");
  WorkThrough(j, window, window->List, 4, QStringLiteral("MEETING_04"), QStringLiteral("MEETING_04.PDF"));
  if (!qEnvironmentVariableIsEmpty("DLVR_JOURNEY_SHOTS")) {
    QTest::qWait(1500);  // the page drawn
    j.Shot(QStringLiteral("data-check-finding-shown"));
  }
  // The check run again fills the same window.
  EXPECT_FALSE(RunCommand(w.miFileCheck));
  EXPECT_EQ(w.findChildren<TfrmXMLErr*>().size(), 1);
}

TEST_P(JourneyFindings, TheDeliveryCheckListSortsFiltersAndShowsAFindingsFile) {
  TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("errors")});
  EXPECT_FALSE(RunCommand(w.miFileDeliveryCheck)) << "the findings came up modal";
  auto* window = w.findChild<TfrmDeliveryCheck*>();
  ASSERT_NE(window, nullptr);
  WorkThrough(j, window, window->List, 3, QStringLiteral("0003_01"), QStringLiteral("0003_01.pdf"));
  // A finding without an item of its own (a stray file) selects its class
  // and says so in the status bar.
  QLineEdit* filter = window->List->edtFilter;
  filter->clear();
  QTest::keyClicks(filter, QStringLiteral("Thumbs.db"));
  QTest::keyClick(filter, Qt::Key_Return);
  ASSERT_EQ(window->List->ShownRows(), 1);
  QTreeView* view = window->List->tvwFindings;
  view->setCurrentIndex(view->model()->index(0, 0));
  QTest::keyClick(view, Qt::Key_Return);
  j.Settle();
  EXPECT_EQ(TreeRow(w), QString::fromStdString(w.Model().View.FindClassNode(2)->Caption()));
  EXPECT_TRUE(w.statusBar()->currentMessage().contains(QStringLiteral("MEET/ORG/Thumbs.db")))
      << w.statusBar()->currentMessage().toStdString();

  // A photo's finding opens the photo window on that photo.
  filter->clear();
  QTest::keyClicks(filter, QStringLiteral("P0000006"));
  QTest::keyClick(filter, Qt::Key_Return);
  ASSERT_GE(window->List->ShownRows(), 1);
  view->setCurrentIndex(view->model()->index(0, 0));
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(w.frmPhotoView);
  ASSERT_TRUE(test::WaitUntil([&] { return !w.frmPhotoView->Busy(); }));
  EXPECT_TRUE(w.frmPhotoView->isVisible());
  const QModelIndex photo = w.frmPhotoView->lvwPhotos->currentIndex();
  ASSERT_TRUE(photo.isValid());
  EXPECT_TRUE(photo.data(Qt::ToolTipRole).toString().contains(QStringLiteral("P0000006.JPG")))
      << photo.data(Qt::ToolTipRole).toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyFindings, ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
