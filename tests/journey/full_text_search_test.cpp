// Journeys through the full-text search: a word that stands only inside a
// PDF page found with the keyboard alone and shown on its page, marked; a
// text file's line shown marked; another delivery loaded while the first
// is indexed, whose hits then are the only ones; a search made while the
// index was incomplete made again when it is, the chosen hit kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPdfView>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/full_text_search.h"
#include "app/main_window.h"
#include "components/preview_view.h"
#include "model/doc_tree.h"
#include "support/journey.h"
#include "support/wait.h"

namespace dlvr {
namespace {

using test::JourneyLanguage;
using test::TJourney;

QString SampleFolder(const QString& name) { return QDir::cleanPath(test::QSample(name.toStdString())); }

// Until the status bar no longer says the index is being built.
bool WaitForIndex(TJourney& j) {
  return test::WaitUntil([&] { return !j.Window().FullTextIndex->Running(); }, 60000) &&
         test::WaitUntil([&] { return !j.Window().lblFullTextIndex->isVisible(); }, 5000);
}

// Types `text` as an input method delivers it to the widget with the focus.
void TypeText(const QString& text) {
  QInputMethodEvent typing;
  typing.setCommitString(text);
  QApplication::sendEvent(QApplication::focusWidget(), &typing);
}

// The window's search opened with its key, `word` typed and Enter pressed.
TfrmFullTextSearch* SearchFor(TJourney& j, const QString& word) {
  j.Key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  auto* window = j.Window().findChild<TfrmFullTextSearch*>("frmFullTextSearch");
  if (!window || !window->isVisible()) return nullptr;
  EXPECT_EQ(QApplication::focusWidget(), window->edtFullText);
  TypeText(word);
  j.Key(Qt::Key_Return);
  return window;
}

// The pixels of `image` of exactly `color`, and the rectangle around them.
struct Colored {
  int Count = 0;
  QRect Around;
};
Colored PixelsOf(const QImage& image, QRgb color) {
  Colored c;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xffffff) == (color & 0xffffff)) {
        ++c.Count;
        c.Around |= QRect(x, y, 1, 1);
      }
  return c;
}

// Dark pixels (the page's ink, also under the mark's light fill) inside
// `area` of `image`.
int InkIn(const QImage& image, const QRect& area) {
  int ink = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.rect().contains(x, y) && qGray(image.pixel(x, y)) < 160) ++ink;
  return ink;
}

QWidget* ShownPdfViewport(const TJourney& j) {
  TPreviewView* preview = j.VisiblePreview();
  if (!preview) return nullptr;
  for (QPdfView* view : preview->findChildren<QPdfView*>())
    if (view->isVisible()) return view->viewport();
  return nullptr;
}

class JourneyFullTextSearch : public ::testing::TestWithParam<JourneyLanguage> {};

TEST_P(JourneyFullTextSearch, AWordInsideAPdfPageIsFoundByKeyboardAndShownOnItsPageMarked) {
  TJourney j(GetParam().Lang);
  j.Open({SampleFolder("clean")});
  ASSERT_TRUE(WaitForIndex(j));
  TfrmFullTextSearch* window = SearchFor(j, QStringLiteral("有資格者"));
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->tvwFullTextHits->topLevelItemCount(), 1);
  EXPECT_TRUE(window->tvwFullTextHits->topLevelItem(0)->text(0).contains(QStringLiteral("TOKKI01.PDF")));
  j.Key(Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), window->tvwFullTextHits);
  j.Key(Qt::Key_Return);
  ASSERT_TRUE(j.Settle());
  j.Shot(QStringLiteral("full-text-pdf-") + QLatin1String(GetParam().Name));

  // The file's item is selected in the tree, its second page is shown.
  ASSERT_NE(j.Window().SelectedItem(), nullptr);
  EXPECT_EQ(j.Window().SelectedItem()->Caption(), "TOKKI01.PDF");
  TPreviewView* preview = j.VisiblePreview();
  ASSERT_NE(preview, nullptr);
  auto* page = preview->findChild<QSpinBox*>("spnPage");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->text(), QStringLiteral("2 / 2"));
  QWidget* viewport = ShownPdfViewport(j);
  ASSERT_NE(viewport, nullptr);
  // The page's image comes a moment after the page is set.
  const QString pdf = SampleFolder("clean") + "/DRAWINGS/SPEC/TOKKI01.PDF";
  QImage shown;
  test::WaitUntil(
      [&] {
        shown = TJourney::Grab(viewport);
        return test::PdfPageLikeness(shown, pdf, 1) > 0.8;
      },
      10000);
  EXPECT_GT(test::PdfPageLikeness(shown, pdf, 1), test::PdfPageLikeness(shown, pdf, 0));
  // The word is outlined in the mark's orange, and the outline holds the
  // word's ink.
  const QString shots = qEnvironmentVariable("DLVR_JOURNEY_SHOTS");
  if (!shots.isEmpty()) {
    shown.save(shots + QStringLiteral("/full-text-pdf-page-") + QLatin1String(GetParam().Name) + QStringLiteral(".png"));
    window->grab().save(shots + QStringLiteral("/full-text-window-") + QLatin1String(GetParam().Name) +
                        QStringLiteral(".png"));
  }
  const Colored mark = PixelsOf(shown, qRgb(0xff, 0x66, 0x00));
  ASSERT_GT(mark.Count, 20);
  EXPECT_LT(mark.Around.height(), shown.height() / 8);
  EXPECT_GT(InkIn(shown, mark.Around.adjusted(3, 3, -3, -3)), 20);
  // The keyboard stays with the hits; Esc closes the window.
  EXPECT_EQ(QApplication::focusWidget(), window->tvwFullTextHits);
  j.Key(Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
}

TEST_P(JourneyFullTextSearch, AWordOfATextFileShowsItsLineMarked) {
  TJourney j(GetParam().Lang);
  j.Open({SampleFolder("clean")});
  ASSERT_TRUE(WaitForIndex(j));
  TfrmFullTextSearch* window = SearchFor(j, QStringLiteral("気温"));
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->tvwFullTextHits->topLevelItemCount(), 1);
  QTreeWidgetItem* hit = window->tvwFullTextHits->topLevelItem(0)->child(0);
  ASSERT_NE(hit, nullptr);
  // A double click on the hit shows it.
  QTreeWidget* hits = window->tvwFullTextHits;
  const QRect row = hits->visualItemRect(hit);
  QTest::mousePress(hits->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  QTest::mouseDClick(hits->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  ASSERT_TRUE(j.Settle());
  ASSERT_NE(j.Window().SelectedItem(), nullptr);
  EXPECT_EQ(j.Window().SelectedItem()->Caption(), "TOKKI02.TXT");
  TPreviewView* preview = j.VisiblePreview();
  ASSERT_NE(preview, nullptr);
  auto* text = preview->findChild<QPlainTextEdit*>("TextView");
  ASSERT_NE(text, nullptr);
  // The marked band is the line that holds the word.
  const QImage shown = TJourney::Grab(text->viewport());
  const Colored band = PixelsOf(shown, qRgb(0xff, 0xe0, 0x40));
  ASSERT_GT(band.Count, 100);
  const qreal dpr = shown.devicePixelRatio();
  const QPoint middle(int(band.Around.center().x() / dpr), int(band.Around.center().y() / dpr));
  EXPECT_TRUE(text->cursorForPosition(middle).block().text().contains(QStringLiteral("気温")));
}

TEST_P(JourneyFullTextSearch, AnotherDeliveryLoadedWhileIndexingReplacesTheFirstsHits) {
  TJourney j(GetParam().Lang);
  j.Open({SampleFolder("clean")});
  // At once, while the first delivery is being indexed.
  ASSERT_TRUE(j.Window().FullTextIndex->Running());
  QElapsedTimer load;
  load.start();
  j.Window().LoadMedia(SampleFolder("multi/MEDIA1"));
  EXPECT_LT(load.elapsed(), 5000);
  ASSERT_TRUE(WaitForIndex(j));
  TfrmFullTextSearch* window = SearchFor(j, QStringLiteral("道路改良"));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->tvwFullTextHits->topLevelItemCount(), 0);
  window->edtFullText->selectAll();
  TypeText(QStringLiteral("護岸ブロック"));
  j.Key(Qt::Key_Return);
  EXPECT_GT(window->tvwFullTextHits->topLevelItemCount(), 0);
}

TEST_P(JourneyFullTextSearch, ASearchBeforeTheIndexIsCompleteSaysSoAndFindsWhatIsIn) {
  // The index holds at the files' names until the test lets it go on; the
  // hold ends before the window goes (its index waits for its worker), the
  // hook after.
  static std::atomic<bool> holdFullTextIndex;
  holdFullTextIndex = true;
  struct TUnhook {
    ~TUnhook() { TFullTextIndex::BeforeContents = nullptr; }
  } unhook;
  TFullTextIndex::BeforeContents = [] {
    while (holdFullTextIndex) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  TJourney j(GetParam().Lang);
  struct TRelease {
    ~TRelease() { holdFullTextIndex = false; }
  } release;
  j.Open({SampleFolder("clean")});
  ASSERT_TRUE(test::WaitUntil([&] { return j.Window().lblFullTextIndex->isVisible(); }));
  EXPECT_TRUE(j.Window().lblFullTextIndex->text().contains(QStringLiteral(" / ")));
  // The PDF's text is not in yet; its name is, and the window says the
  // index is not complete.
  TfrmFullTextSearch* window = SearchFor(j, QStringLiteral("TOKKI01"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->lblFullTextState->isVisible());
  EXPECT_TRUE(window->lblFullTextState->text().contains(
      GetParam().Lang == UiLanguage::English ? QStringLiteral("Indexing") : QStringLiteral("索引作成中")))
      << window->lblFullTextState->text().toStdString();
  EXPECT_EQ(window->tvwFullTextHits->topLevelItemCount(), 1);
  window->edtFullText->selectAll();
  TypeText(QStringLiteral("有資格者"));
  j.Key(Qt::Key_Return);
  EXPECT_EQ(window->tvwFullTextHits->topLevelItemCount(), 0);
  // Once complete, the same question is asked again by itself and finds
  // the page; the box and the keyboard stay as they were, and the window
  // and the status bar no longer speak of indexing.
  holdFullTextIndex = false;
  ASSERT_TRUE(WaitForIndex(j));
  ASSERT_TRUE(test::WaitUntil([&] { return window->tvwFullTextHits->topLevelItemCount() == 1; }, 5000));
  EXPECT_EQ(window->edtFullText->text(), QStringLiteral("有資格者"));
  EXPECT_EQ(QApplication::focusWidget(), window->edtFullText);
  EXPECT_FALSE(window->lblFullTextState->text().contains(QStringLiteral("索引作成中")));
  EXPECT_FALSE(window->lblFullTextState->text().contains(QStringLiteral("Indexing")));
}

TEST_P(JourneyFullTextSearch, TheHitChosenWhileIndexingStaysChosenWhenTheSearchIsMadeAgain) {
  static std::atomic<bool> holdIndexForPlace;
  holdIndexForPlace = true;
  struct TUnhook {
    ~TUnhook() { TFullTextIndex::BeforeContents = nullptr; }
  } unhook;
  TFullTextIndex::BeforeContents = [] {
    while (holdIndexForPlace) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  TJourney j(GetParam().Lang);
  struct TRelease {
    ~TRelease() { holdIndexForPlace = false; }
  } release;
  j.Open({SampleFolder("clean")});
  ASSERT_TRUE(test::WaitUntil([&] { return j.Window().lblFullTextIndex->isVisible(); }));
  // The first meeting's records and files by their names; the last hit chosen.
  TfrmFullTextSearch* window = SearchFor(j, QStringLiteral("0001_0"));
  ASSERT_NE(window, nullptr);
  ASSERT_GE(window->tvwFullTextHits->topLevelItemCount(), 2);
  j.Key(Qt::Key_Down);
  j.Key(Qt::Key_End);
  QTreeWidgetItem* chosen = window->tvwFullTextHits->currentItem();
  ASSERT_NE(chosen, nullptr);
  ASSERT_NE(chosen->parent(), nullptr);
  const QString file = chosen->parent()->text(0), where = chosen->text(0);
  ASSERT_NE(file, window->tvwFullTextHits->topLevelItem(0)->text(0));
  const QString state = window->lblFullTextState->text();
  holdIndexForPlace = false;
  ASSERT_TRUE(WaitForIndex(j));
  // Asked again (the window no longer speaks of indexing), the same hit current, the keyboard on the hits.
  ASSERT_TRUE(test::WaitUntil([&] { return window->lblFullTextState->text() != state; }, 5000));
  QTreeWidgetItem* current = window->tvwFullTextHits->currentItem();
  ASSERT_NE(current, nullptr);
  ASSERT_NE(current->parent(), nullptr);
  EXPECT_EQ(current->parent()->text(0), file);
  EXPECT_EQ(current->text(0), where);
  EXPECT_EQ(QApplication::focusWidget(), window->tvwFullTextHits);
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyFullTextSearch,
                         ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
