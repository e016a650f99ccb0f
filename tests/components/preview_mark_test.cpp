// Places shown and marked in the preview: a PDF page with the text found
// outlined, a text's line highlighted, asked for after the file is shown
// or while it is still being read.
#include <gtest/gtest.h>

#include <QImage>
#include <QPdfView>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTest>
#include <QTextBlock>

#include <ostream>

#include "components/preview_renderer.h"
#include "components/preview_view.h"
#include "support/wait.h"

namespace dlvr {
namespace {

QString SpecFile(const char* name) {
  return QString::fromStdString(std::string(DLVR_SOURCE_DIR) + "/samples/clean/DRAWINGS/SPEC/") +
         QString::fromLatin1(name);
}

struct TMarkCase {
  const char* Name;
  const char* File;
  int Page;  // 0-based, -1 none
  int Line;  // 1-based, 0 none
  const char* Text;
  bool MarkFirst;     // asked for right after Navigate, while the file is read
  int ShownPage;      // the PDF page shown after (-1: not a PDF)
  bool Marked;        // something is marked
};

const TMarkCase kMarkCases[] = {
    {"PdfWordOnItsPage", "TOKKI01.PDF", 1, 0, "有資格者", false, 1, true},
    {"PdfWordAskedForWhileRead", "TOKKI01.PDF", 1, 0, "有資格者", true, 1, true},
    {"PdfWordWithALineBreakAsBlank", "TOKKI01.PDF", 1, 0, "有資格 者", false, 1, true},
    {"PdfWordInOtherCase", "TOKKI01.PDF", 0, 0, "tokki-1", false, 0, true},
    {"PdfWordNotOnThePageShowsThePageUnmarked", "TOKKI01.PDF", 1, 0, "工期は契約書", false, 1, false},
    {"PdfPagePastTheEndChangesNothing", "TOKKI01.PDF", 7, 0, "有資格者", false, 0, false},
    {"TextLine", "TOKKI02.TXT", -1, 5, "気温", false, -1, true},
    {"TextLineAskedForWhileRead", "TOKKI02.TXT", -1, 5, "気温", true, -1, true},
    {"TextLinePastTheEnd", "TOKKI02.TXT", -1, 40, "気温", false, -1, false},
    {"HtmlPageText", "SURYO01.HTM", -1, 10, "数量", false, -1, true},
    {"HtmlPageTextMissing", "SURYO01.HTM", -1, 10, "有資格者", false, -1, false},
};

void PrintTo(const TMarkCase& c, std::ostream* os) { *os << c.Name; }

class PreviewMark : public ::testing::TestWithParam<TMarkCase> {};

TEST_P(PreviewMark, ShowsThePlaceAndMarksIt) {
  const TMarkCase& c = GetParam();
  TPreviewView view;
  view.resize(800, 600);
  view.show();
  const TPreviewMark mark{c.Page, c.Line, QString::fromUtf8(c.Text)};
  view.Navigate(SpecFile(c.File));
  if (c.MarkFirst) view.ShowMark(mark);
  ASSERT_TRUE(test::WaitUntil([&] { return !view.Busy(); }));
  if (!c.MarkFirst) view.ShowMark(mark);
  QTest::qWait(20);
  EXPECT_EQ(view.CurrentPage(), c.ShownPage);
  const QRect marked = view.MarkedArea();
  EXPECT_EQ(!marked.isEmpty(), c.Marked) << marked.x() << "," << marked.y();
  if (!c.Marked) return;
  EXPECT_TRUE(view.rect().contains(marked.center())) << "the mark is out of view";
  if (c.Line > 0) {
    // The marked band is the line that holds the word.
    QTextCursor at;
    if (auto* text = view.findChild<QPlainTextEdit*>("TextView"))
      at = text->cursorForPosition(text->viewport()->mapFrom(&view, marked.center()));
    else if (auto* page = view.findChild<QTextEdit*>())
      at = page->cursorForPosition(page->viewport()->mapFrom(&view, marked.center()));
    EXPECT_TRUE(at.block().text().contains(QString::fromUtf8(c.Text))) << at.block().text().toStdString();
  } else {
    // The outline is drawn where the mark is said to be, around the
    // word's ink (the page's image comes a moment after).
    QImage shown;
    const QRect inside = marked.adjusted(3, 3, -3, -3);
    auto ink = [&] {
      int dark = 0;
      for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
          if (shown.rect().contains(x, y) && qGray(shown.pixel(x, y)) < 160) ++dark;
      return dark;
    };
    test::WaitUntil([&] {
      shown = view.grab().toImage();
      return ink() > 20;
    });
    EXPECT_GT(ink(), 20) << "the mark is not on the word";
    const QRect edge = marked.adjusted(-2, -2, 2, 2);
    int orange = 0;
    for (int x = edge.left(); x <= edge.right(); ++x)
      for (int y : {edge.top(), edge.top() + 1, edge.bottom() - 1, edge.bottom()})
        if (shown.rect().contains(x, y) && (shown.pixel(x, y) & 0xffffff) == 0xff6600) ++orange;
    EXPECT_GT(orange, edge.width()) << "no outline at the mark";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PreviewMark, ::testing::ValuesIn(kMarkCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// A mark asked for one file is not put on the next one shown.
TEST(PreviewMarkDropped, ByTheNextNavigate) {
  TPreviewView view;
  view.resize(800, 600);
  view.show();
  view.Navigate(SpecFile("TOKKI01.PDF"));
  view.ShowMark(TPreviewMark{1, 0, QStringLiteral("有資格者")});
  // Another PDF of more pages, while the first is still being read.
  view.Navigate(QString::fromStdString(std::string(DLVR_SOURCE_DIR) + "/samples/clean/MEET/ORG/0001_01.PDF"));
  ASSERT_TRUE(test::WaitUntil([&] { return !view.Busy(); }));
  ASSERT_EQ(view.PageCount(), 3);
  QTest::qWait(20);
  EXPECT_EQ(view.CurrentPage(), 0);
  EXPECT_TRUE(view.MarkedArea().isEmpty());
}

}  // namespace
}  // namespace dlvr
