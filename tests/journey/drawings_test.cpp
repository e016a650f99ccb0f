// Journeys with drawings and styled pages: a drawing looked at on black and
// exported to PDF comes out on white paper under its own name, measuring
// ends with the drawing it was begun on, and a management file's styled
// page reads under a dark desktop palette.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "components/drawing_view.h"
#include "components/preview_view.h"
#include "support/dark_palette.h"
#include "support/journey.h"

namespace dlvr {
namespace {

using test::JourneyLanguage;
using test::TJourney;

// Grey levels of an image, sorted, for shares and percentiles.
std::vector<int> Greys(const QImage& image) {
  std::vector<int> g;
  g.reserve(std::size_t(image.width()) * std::size_t(image.height()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) g.push_back(qGray(image.pixel(x, y)));
  std::sort(g.begin(), g.end());
  return g;
}

// The share of pixels at least (or below) a grey level.
double ShareAtLeast(const std::vector<int>& greys, int level) {
  if (greys.empty()) return 0;
  return double(greys.end() - std::lower_bound(greys.begin(), greys.end(), level)) / double(greys.size());
}

// The drawing view the drawing pane shows now (null when none is visible).
TDrawingView* ShownDrawing(const TJourney& j) {
  TPreviewView* preview = j.VisiblePreview();
  auto* view = preview ? preview->findChild<TDrawingView*>() : nullptr;
  return view && view->isVisible() ? view : nullptr;
}

void Press(TDrawingView* view, const char* button) {
  auto* b = view->findChild<QToolButton*>(QString::fromLatin1(button));
  ASSERT_TRUE(b && b->isVisible()) << button;
  QTest::mouseClick(b, Qt::LeftButton);
  QApplication::processEvents();
}

class JourneyDrawings : public ::testing::TestWithParam<JourneyLanguage> {
 protected:
  void TearDown() override { TDrawingView::AskSavePath = nullptr; }
};

// A drawing on the black background exported to PDF: the export offers the
// drawing's own name in the folder of the last export, and the sheet in the
// file is white with dark lines. Measuring, turned on, ends when another
// drawing is selected.
TEST_P(JourneyDrawings, ADrawingOnBlackExportsOnWhiteUnderItsOwnName) {
  TJourney j(GetParam().Lang);
  j.Open({test::QSample("clean")});
  j.Click({QStringLiteral("発注図面"), QStringLiteral("D0LC001Z")});
  TDrawingView* view = ShownDrawing(j);
  ASSERT_TRUE(view);
  Press(view, "btnDrawingBlack");
  QTest::qWait(200);
  // The sheet on the screen is black now.
  const std::vector<int> screen = Greys(TJourney::Grab(view->Canvas()));
  EXPECT_GT(1 - ShareAtLeast(screen, 60), 0.5);

  test::ScratchDir out;
  const QString folder = QDir::cleanPath(QString::fromStdString(out.Path()));
  QString suggested;
  QString answer = folder + QStringLiteral("/first.pdf");
  TDrawingView::AskSavePath = [&](QWidget*, const QString&, const QString& offered, const QString&) {
    suggested = offered;
    return answer;
  };
  // The first export offers the drawing's name, never the preview copy's.
  Press(view, "btnDrawingPdf");
  EXPECT_EQ(QFileInfo(suggested).fileName(), QStringLiteral("D0LC001Z.pdf"));
  ASSERT_TRUE(QFileInfo::exists(answer));
  // The next offers it in the folder exported to last.
  answer = folder + QStringLiteral("/D0LC001Z.pdf");
  Press(view, "btnDrawingPdf");
  EXPECT_EQ(suggested, answer);

  // The sheet in the file: white paper, dark lines.
  const QImage page = test::RenderPdfPage(answer, 0, 800);
  ASSERT_FALSE(page.isNull());
  const std::vector<int> paper = Greys(page);
  EXPECT_GT(ShareAtLeast(paper, 235), 0.8);
  EXPECT_GT(1 - ShareAtLeast(paper, 110), 0.002);
  j.Shot(QStringLiteral("drawing-on-black"));
  if (!qEnvironmentVariableIsEmpty("DLVR_JOURNEY_SHOTS"))
    page.save(qEnvironmentVariable("DLVR_JOURNEY_SHOTS") + "/drawing-pdf-" + GetParam().Name + ".png");

  // Measuring ends with the drawing it was begun on.
  Press(view, "btnDrawingMeasure");
  auto* measure = view->findChild<QToolButton*>(QStringLiteral("btnDrawingMeasure"));
  auto* status = view->findChild<QLabel*>(QStringLiteral("lblDrawingStatus"));
  ASSERT_TRUE(measure && status);
  EXPECT_TRUE(measure->isChecked());
  j.Click({QStringLiteral("発注図面"), QStringLiteral("D0PL001Z")});
  view = ShownDrawing(j);
  ASSERT_TRUE(view);
  EXPECT_FALSE(measure->isChecked());
  // Two clicks on the new drawing measure nothing.
  const QPoint centre = view->Canvas()->rect().center();
  QTest::mouseClick(view->Canvas(), Qt::LeftButton, Qt::NoModifier, centre);
  QTest::mouseClick(view->Canvas(), Qt::LeftButton, Qt::NoModifier, centre + QPoint(40, 20));
  const QString distance = QCoreApplication::translate("TDrawingView", "距離 %1").arg(QString());
  EXPECT_FALSE(status->text().startsWith(distance)) << status->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyDrawings, ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

class JourneyDarkPages : public ::testing::TestWithParam<JourneyLanguage> {
 protected:
  void SetUp() override {
    saved_ = QApplication::palette();
    QApplication::setPalette(test::DarkPalette());
  }
  void TearDown() override { QApplication::setPalette(saved_); }

 private:
  QPalette saved_;
};

// Under a dark desktop palette the meeting records' styled page is paper:
// mostly light, its text darker than its cells.
TEST_P(JourneyDarkPages, AStyledManagementFileReadsDarkOnLight) {
  TJourney j(GetParam().Lang);
  j.Open({test::QSample("clean")});
  j.Click({QStringLiteral("打合せ簿")});
  TPreviewView* preview = j.VisiblePreview();
  ASSERT_TRUE(preview);
  auto* page = preview->findChild<QWidget*>(QStringLiteral("HtmlView"));
  ASSERT_TRUE(page && page->isVisible());
  // The page itself, without its scroll bars.
  auto* area = qobject_cast<QAbstractScrollArea*>(page);
  ASSERT_TRUE(area);
  const std::vector<int> greys = Greys(TJourney::Grab(area->viewport()));
  ASSERT_FALSE(greys.empty());
  const int median = greys[greys.size() / 2];
  const int ink = greys[greys.size() / 100];  // the darkest hundredth
  EXPECT_GE(median, 190);
  EXPECT_LT(ink, median - 120) << "ink " << ink << " on " << median;
  EXPECT_GT(1 - ShareAtLeast(greys, 100), 0.005) << "dark text";
}

// The icon of a toolbar button as shown: the first band of rows from the
// top with pixels that stand out from the toolbar (the text is the next),
// the box of those pixels, and how many stand out clearly.
struct IconInk {
  QRect Box;
  int Clear = 0;
};
IconInk IconOf(QWidget* button) {
  const QImage shot = TJourney::Grab(button);
  const QRgb ground = shot.pixel(1, 1);
  auto differs = [&](int x, int y) {
    const QRgb c = shot.pixel(x, y);
    return std::abs(qGray(c) - qGray(ground)) +
           (std::abs(qRed(c) - qRed(ground)) + std::abs(qBlue(c) - qBlue(ground))) / 3;
  };
  IconInk ink;
  bool begun = false;
  for (int y = 0; y < shot.height(); ++y) {
    bool any = false;
    for (int x = 0; x < shot.width(); ++x) {
      const int d = differs(x, y);
      if (d <= 24) continue;
      any = true;
      ink.Box |= QRect(x, y, 1, 1);
      if (d > 90) ++ink.Clear;
    }
    if (begun && !any) break;  // the gap above the text
    begun |= any;
  }
  return ink;
}

// Under a dark palette every toolbar icon is as large as the others and
// stands out from the toolbar, the black exit cross included.
TEST_P(JourneyDarkPages, TheToolbarIconsMatchAndReadOnDark) {
  TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("clean")});
  const int size = w.ToolBar->iconSize().width();
  for (const char* name : {"tlbSelFld", "tlbBaseInfo", "tbtCheck", "tlbRefresh", "tbtExplorer", "tbtXMLViewer",
                           "tbtExit"}) {
    SCOPED_TRACE(name);
    auto* button = w.ToolBar->findChild<QToolButton*>(QString::fromLatin1(name));
    ASSERT_TRUE(button && button->isVisible());
    const IconInk ink = IconOf(button);
    const int reach = int(std::max(ink.Box.width(), ink.Box.height()) / button->devicePixelRatioF());
    EXPECT_GE(reach, size - 4) << ink.Box.width() << "x" << ink.Box.height();
    EXPECT_GT(ink.Clear, size * 2) << "pixels that stand out clearly";
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyDarkPages, ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
