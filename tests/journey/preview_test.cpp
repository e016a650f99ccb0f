// Journeys through the preview: PDFs opened one after another from the
// tree, paging and zooming with the page box and the keys, a delivery
// opened by typing its path into the folder dialog, and the search for
// original files run with Enter beside the preview.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPdfView>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <functional>
#include <vector>

#include "app/find_windows.h"
#include "app/main_window.h"
#include "components/mov_controls.h"
#include "components/preview_view.h"
#include "model/doc_tree.h"
#include "panes/seldir.h"
#include "support/journey.h"
#include "support/wait.h"

namespace dlvr {
namespace {

using test::JourneyLanguage;
using test::TJourney;

QString Clean(const QString& relative = {}) {
  const QString root = QDir::cleanPath(test::QSample("clean"));
  return relative.isEmpty() ? root : root + u'/' + relative;
}

// The viewport of the PDF view the preview shows; null when none shows.
QWidget* ShownPdfPage(const TJourney& j) {
  TPreviewView* preview = j.VisiblePreview();
  if (!preview) return nullptr;
  for (QPdfView* view : preview->findChildren<QPdfView*>())
    if (view->isVisible()) return view->viewport();
  return nullptr;
}

// How alike what the PDF view shows is to `own` and, at most, to any of
// `others` (renders of other pages), once the view shows `own` more than
// any other or time is up.
struct Likeness {
  double Own = 0, Other = 0;
  QImage Shown;
};
Likeness WaitForPage(const TJourney& j, const QImage& own, const std::vector<QImage>& others) {
  Likeness l;
  test::WaitUntil(
      [&] {
        l.Shown = TJourney::Grab(ShownPdfPage(j));
        l.Own = test::ImageLikeness(l.Shown, own);
        l.Other = 0;
        for (const QImage& other : others) l.Other = std::max(l.Other, test::ImageLikeness(l.Shown, other));
        return l.Own > l.Other;
      },
      10000);
  return l;
}

// With DLVR_JOURNEY_SHOTS set to a folder, saves an image there as
// `name`.png for a person to look at.
void Keep(const QImage& image, const QString& name) {
  const QString folder = qEnvironmentVariable("DLVR_JOURNEY_SHOTS");
  if (!folder.isEmpty()) image.save(folder + u'/' + name + QStringLiteral(".png"));
}

class JourneyPreview : public ::testing::TestWithParam<JourneyLanguage> {};

TEST_P(JourneyPreview, OpeningPdfsInTurnShowsEachOnesOwnPage) {
  TJourney j(GetParam().Lang);
  j.Open({Clean()});
  struct Step {
    QStringList Captions;
    QString File;
    int Pages;
    // Clicked on from before it is shown (its page still being drawn).
    bool InPassing = false;
  };
  // Alike in page size, and each after one of its own page count.
  const std::vector<Step> walk = {
      {{"施工計画書", "施工計画書（当初）", "P001_01.PDF"}, "PLAN/ORG/P001_01.PDF", 1},
      {{"その他", "工事履行報告書（4月分）", "O001_01.PDF"}, "OTHRS/ORG/O001_01.PDF", 1},
      {{"施工計画書", "施工計画書（変更第1回）", "P002_01.PDF"}, "PLAN/ORG/P002_01.PDF", 1, true},
      {{"施工計画書", "交通誘導警備計画書", "P003_01.PDF"}, "PLAN/ORG/P003_01.PDF", 1},
      {{"打合せ簿", "提出(出来形管理)", "0006_01.PDF"}, "MEET/ORG/0006_01.PDF", 3},
      {{"打合せ簿", "提出(施工管理)", "0001_01.PDF"}, "MEET/ORG/0001_01.PDF", 3, true},
      {{"打合せ簿", "承諾(写真管理)", "0011_01.PDF"}, "MEET/ORG/0011_01.PDF", 3},
      {{"その他", "工事履行報告書（5月分）", "O002_01.PDF"}, "OTHRS/ORG/O002_01.PDF", 1},
  };
  std::vector<QImage> firstPages;
  for (const Step& step : walk) firstPages.push_back(test::RenderPdfPage(Clean(step.File), 0, 600));
  for (std::size_t i = 0; i < walk.size(); ++i) {
    const Step& step = walk[i];
    SCOPED_TRACE(step.File.toStdString());
    if (step.InPassing) {
      test::ClickInPassing(j, step.Captions);
      continue;
    }
    j.Click(step.Captions);
    TPreviewView* preview = j.VisiblePreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_EQ(preview->RendererKind(), "pdf");
    ASSERT_FALSE(firstPages[i].isNull());
    // More like its own first page than like any other file's, the one
    // shown before included.
    std::vector<QImage> others = firstPages;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
    const Likeness l = WaitForPage(j, firstPages[i], others);
    if (l.Own <= l.Other) Keep(l.Shown, QFileInfo(step.File).baseName());
    j.Shot(QStringLiteral("pdf-") + QFileInfo(step.File).baseName());
    EXPECT_GT(l.Own, l.Other) << "the page shown is another file's";
    auto* box = preview->findChild<QSpinBox*>("spnPage");
    if (!box) {
      ADD_FAILURE() << "no page box";
      continue;
    }
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), QStringLiteral("1 / %1").arg(step.Pages));
  }
  j.Shot(QStringLiteral("pdf-walk"));
}

TEST_P(JourneyPreview, ThePageBoxAndTheKeysShowThePageAsked) {
  TJourney j(GetParam().Lang);
  j.Open({Clean()});
  j.Click({"打合せ簿", "提出(施工管理)", "0001_01.PDF"});
  TPreviewView* preview = j.VisiblePreview();
  ASSERT_NE(preview, nullptr);
  auto* box = preview->findChild<QSpinBox*>("spnPage");
  ASSERT_NE(box, nullptr);
  const QString file = Clean("MEET/ORG/0001_01.PDF");
  std::vector<QImage> pages;
  for (int i = 0; i < 3; ++i) pages.push_back(test::RenderPdfPage(file, i, 600));

  // The page number typed over the box, then Enter.
  QTest::mouseClick(box, Qt::LeftButton);
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(box, "2");
  j.Key(Qt::Key_Return);
  Likeness l = WaitForPage(j, pages[1], {pages[0], pages[2]});
  EXPECT_GT(l.Own, l.Other) << "page 2 asked for";
  EXPECT_EQ(box->text(), "2 / 3");

  // Ctrl+End from the page itself: the last page; Ctrl+Home the first.
  QTest::mouseClick(ShownPdfPage(j), Qt::LeftButton);
  j.Key(Qt::Key_End, Qt::ControlModifier);
  l = WaitForPage(j, pages[2], {pages[0], pages[1]});
  EXPECT_GT(l.Own, l.Other) << "the last page asked for";
  EXPECT_EQ(box->text(), "3 / 3");
  j.Key(Qt::Key_Home, Qt::ControlModifier);
  l = WaitForPage(j, pages[0], {pages[1], pages[2]});
  EXPECT_GT(l.Own, l.Other) << "the first page asked for";
  EXPECT_EQ(box->text(), "1 / 3");
  Keep(l.Shown, "first-page-" + QString::fromLatin1(GetParam().Name));
}

TEST_P(JourneyPreview, APathTypedIntoTheFolderDialogOpensThatDelivery) {
  TJourney j(GetParam().Lang);
  j.Open({QDir::cleanPath(test::QSample("errors"))});
  ASSERT_EQ(j.Item({"施工計画書", "施工計画書（当初）"}), nullptr) << "the other delivery is shown already";
  TfrmMainHooks::SelectFolder = [](QWidget* parent, const QString& initial, QString& chosen) {
    return TfrmSelDir::Execute(parent, initial, chosen);
  };
  bool typed = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<TfrmSelDir*>(QApplication::activeModalWidget());
    if (!dialog) return;
    auto* edit = dialog->findChild<QLineEdit*>("EdtDir");
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, Clean());
    Keep(TJourney::Grab(dialog), QStringLiteral("folder-typed-") + GetParam().Name);
    QTest::keyClick(edit, Qt::Key_Return);
    typed = true;
    // A dialog still up is closed, so that the journey goes on.
    if (dialog->isVisible()) dialog->reject();
  });
  j.Window().miFileSelFld->trigger();
  TfrmMainHooks::SelectFolder = nullptr;
  j.Settle();
  ASSERT_TRUE(typed) << "no folder dialog came up";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // The tree shows the delivery typed.
  TTreeItem* plan = j.Item({"施工計画書", "施工計画書（当初）"});
  ASSERT_NE(plan, nullptr);
  QTreeView* tree = j.Window().tvwKKT;
  const QModelIndex index = j.Window().TreeModel()->IndexOf(plan);
  EXPECT_TRUE(index.isValid());
  EXPECT_TRUE(tree->isVisible());
}

TEST_P(JourneyPreview, TheOriginalFileSearchRunsOnEnterBesideThePreview) {
  TJourney j(GetParam().Lang);
  j.Open({Clean()});
  j.Click({"その他", "工事履行報告書（4月分）", "O001_01.PDF"});
  TPreviewView* preview = j.VisiblePreview();
  ASSERT_NE(preview, nullptr);
  j.Window().miEditFindOrg->trigger();
  TfrmFindOrg* find = j.Window().frmFindOrg;
  ASSERT_TRUE(find->isVisible());
  const QRect shown(preview->mapToGlobal(QPoint(0, 0)), preview->size());
  EXPECT_FALSE(find->frameGeometry().intersects(shown))
      << "the search window covers the preview";
  // Back to the start, then the text and Enter.
  j.Window().SelectItem(j.Item({}));
  j.Settle();
  find->cbxFind1->setCurrentIndex(0);
  find->cbxFindTxt->setFocus();
  // Japanese text arrives from the input method.
  QInputMethodEvent typing;
  typing.setCommitString(QStringLiteral("履行報告"));
  QApplication::sendEvent(find->cbxFindTxt->lineEdit(), &typing);
  QTest::keyClick(find->cbxFindTxt, Qt::Key_Return);
  j.Settle();
  ASSERT_NE(j.Window().SelectedItem(), nullptr);
  EXPECT_EQ(j.Window().SelectedItem()->Caption(), "O001_01.PDF");
  EXPECT_TRUE(find->lblFound->isVisible());
  EXPECT_TRUE(find->lblFound->text().contains(QStringLiteral(">履行報告</span>")))
      << find->lblFound->text().toStdString();
  // Both windows where they stand on the screen.
  const QRect both = j.Window().frameGeometry().united(find->frameGeometry());
  QImage screen(both.size(), QImage::Format_RGB32);
  screen.fill(Qt::darkGray);
  {
    QPainter paint(&screen);
    paint.drawImage(j.Window().geometry().topLeft() - both.topLeft(), TJourney::Grab(&j.Window()));
    paint.drawImage(find->geometry().topLeft() - both.topLeft(), TJourney::Grab(find));
  }
  Keep(screen, QStringLiteral("find-") + GetParam().Name);
  // Enter again: the next one.
  QTest::keyClick(find->cbxFindTxt, Qt::Key_Return);
  j.Settle();
  EXPECT_EQ(j.Window().SelectedItem()->Caption(), "O002_01.PDF");
  EXPECT_FALSE(find->frameGeometry().intersects(QRect(preview->mapToGlobal(QPoint(0, 0)), preview->size())));
  find->close();
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyPreview,
                         ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
