// The preview view on the sample delivery's documents and on work copies
// made in scratch folders.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QApplication>
#include <QFontMetricsF>
#include <QFontInfo>
#include <QWheelEvent>
#include <QPdfView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QFileInfo>
#include <QLocale>
#include <QTest>
#include <QTimer>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTreeWidget>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "check/resources.h"
#include "components/pdf_facts.h"
#include "components/preview_view.h"
#include "delivery/helpers.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/hostile_pdf.h"
#include "support/qt_paths.h"

namespace dlvr {
namespace {

const std::string kSamples = std::string(DLVR_SOURCE_DIR) + "/samples/clean/";

QString Sample(const std::string& relative) { return QString::fromStdString(kSamples + relative); }
using test::Q;

// The sample file's text as CP932 decodes it, to check a phrase really is in it.
std::string SampleText(const std::string& relative) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(kSamples + relative, bytes)) << relative;
  return Cp932ToUtf8(bytes);
}

// Navigates and checks that the view reports completion the way callers
// wait for it: both signals once, carrying the path, with Busy() already
// false and the document already in place when they arrive.
class Shown {
 public:
  explicit Shown(TPreviewView& view) : view_(view) {}
  void Navigate(const QString& path) {
    int navigated = 0, completed = 0;
    bool busyAtSignal = true;
    QString kindAtSignal;
    auto c1 = QObject::connect(&view_, &TPreviewView::NavigateComplete, [&](const QString& p) {
      ++navigated;
      EXPECT_EQ(p, path);
      busyAtSignal = view_.Busy();
      kindAtSignal = view_.RendererKind();
    });
    auto c2 = QObject::connect(&view_, &TPreviewView::DocumentComplete, [&](const QString& p) {
      ++completed;
      EXPECT_EQ(p, path);
    });
    view_.Navigate(path);
    // A renderer that finishes later must be waited for as the panes do.
    for (int i = 0; i < 500 && view_.Busy(); ++i) QTest::qWait(10);
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    EXPECT_FALSE(view_.Busy());
    EXPECT_EQ(navigated, 1);
    EXPECT_EQ(completed, 1);
    EXPECT_FALSE(busyAtSignal) << "busy while reporting completion";
    EXPECT_EQ(kindAtSignal, view_.RendererKind()) << "completion reported before the document was set";
    EXPECT_EQ(view_.CurrentPath(), path);
  }

 private:
  TPreviewView& view_;
};

template <class W>
W* Child(TPreviewView& view, const char* name) {
  W* w = view.findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

QWidget* CurrentPage(TPreviewView& view) { return view.findChild<QStackedWidget*>()->currentWidget(); }

QStringList FolderEntries(const std::string& folder) {
  return QDir(Q(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

TEST(PreviewView, IsTheWebBrowserAndStartsBlank) {
  TPreviewView view;
  EXPECT_EQ(view.objectName(), QStringLiteral("WebBrowser"));
  EXPECT_FALSE(view.Busy());
  EXPECT_EQ(view.RendererKind(), QStringLiteral("blank"));
  EXPECT_EQ(view.CurrentPath(), QString());
}

TEST(PreviewView, PdfShowsEveryPageWithNavigation) {
  TPreviewView view;
  view.resize(600, 500);
  Shown(view).Navigate(Sample("MEET/ORG/0001_01.PDF"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("pdf"));
  int expected = 3;  // what pdfinfo reports for this file
  QProcess info;
  info.start(QStringLiteral("pdfinfo"), {Sample("MEET/ORG/0001_01.PDF")});
  if (info.waitForFinished(10000) && info.exitCode() == 0) {
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split(u'\n'))
      if (line.startsWith(QStringLiteral("Pages:"))) expected = line.mid(6).trimmed().toInt();
  }
  EXPECT_EQ(view.PageCount(), expected);
  EXPECT_EQ(CurrentPage(view), Child<QWidget>(view, "PdfView")->parentWidget());
  EXPECT_EQ(view.CurrentPage(), 0);

  auto* prev = Child<QPushButton>(view, "btnPrevPage");
  auto* next = Child<QPushButton>(view, "btnNextPage");
  auto* label = Child<QSpinBox>(view, "spnPage");
  EXPECT_FALSE(prev->isEnabled());
  EXPECT_EQ(label->text(), QStringLiteral("1 / %1").arg(expected));
  for (int i = 1; i < expected; ++i) next->click();
  EXPECT_EQ(view.CurrentPage(), expected - 1);
  EXPECT_FALSE(next->isEnabled());
  next->click();  // past the last page: stays
  EXPECT_EQ(view.CurrentPage(), expected - 1);
  EXPECT_EQ(label->text(), QStringLiteral("%1 / %1").arg(expected));
  prev->click();
  EXPECT_EQ(view.CurrentPage(), expected - 2);

  // The next PDF starts on its first page again.
  Shown(view).Navigate(Sample("MEET/ORG/0001_02.PDF"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("pdf"));
  EXPECT_EQ(view.CurrentPage(), 0);
}

// The page box, Ctrl+Home / Ctrl+End, the zoom box and the fit buttons each
// leave the view on the page they name (the zooms on the page shown), the
// box saying which.
TEST(PreviewView, PdfPageBoxKeysAndZoomsGoWhereTheyName) {
  TPreviewView view;
  view.resize(600, 500);
  view.show();
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  Shown(view).Navigate(Sample("MEET/ORG/0001_01.PDF"));  // 3 pages
  auto* box = Child<QSpinBox>(view, "spnPage");
  auto* zoom = Child<QComboBox>(view, "cbxPdfZoom");
  auto* pdf = Child<QPdfView>(view, "PdfView");
  ASSERT_TRUE(box && zoom && pdf);
  auto typeInto = [](QWidget* w, const QString& text) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, text);
    QTest::keyClick(w, Qt::Key_Return);
  };
  auto click = [&view](const char* name) { Child<QPushButton>(view, name)->click(); };
  // The pages' width on the screen, from the width the view scrolls over.
  auto shownWidth = [pdf] {
    const QMargins m = pdf->documentMargins();
    return pdf->horizontalScrollBar()->maximum() + pdf->viewport()->width() - m.left() - m.right();
  };
  const int fitted = pdf->viewport()->width() - pdf->documentMargins().left() - pdf->documentMargins().right();
  struct Step {
    const char* what;
    std::function<void()> act;
    int page;
    std::function<void()> check;  // what else the step shows
  };
  auto zoomShown = [zoom](const char* text) { return [zoom, text] { EXPECT_EQ(zoom->currentText(), text); }; };
  const std::vector<Step> steps = {
      {"page typed", [&] { typeInto(box, "3"); }, 2, {}},
      {"Ctrl+Home", [&] { pdf->setFocus(); QTest::keyClick(pdf, Qt::Key_Home, Qt::ControlModifier); }, 0, {}},
      {"Ctrl+End", [&] { QTest::keyClick(pdf, Qt::Key_End, Qt::ControlModifier); }, 2, {}},
      {"page 2 typed", [&] { typeInto(box, "2"); }, 1, {}},
      // From the width fitted, a quarter larger.
      {"zoom in", [&] { click("btnPdfZoomIn"); }, 1, [&] { EXPECT_NEAR(shownWidth(), fitted * 1.25, 2.0); }},
      {"zoom typed", [&] { typeInto(zoom, "50"); }, 1, zoomShown("50%")},
      {"zoom chosen", [&] { emit zoom->activated(zoom->findText("200%")); }, 1, zoomShown("200%")},
      {"fit width", [&] { click("btnPdfFitWidth"); }, 1, [&] { EXPECT_EQ(shownWidth(), fitted); }},
      {"whole page", [&] { click("btnPdfFitPage"); }, 1, {}},
      {"page 1 typed", [&] { typeInto(box, "1"); }, 0, {}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    EXPECT_EQ(view.CurrentPage(), step.page);
    EXPECT_EQ(box->text(), QStringLiteral("%1 / 3").arg(step.page + 1));
    if (step.check) step.check();
  }
  // Zooming keeps the part of the page in the middle of the view there;
  // the page's own number goes back to its top.
  QScrollBar* down = pdf->verticalScrollBar();
  typeInto(box, "2");
  const int top2 = down->value();
  down->setValue(top2 + pdf->viewport()->height() / 2);
  auto middle = [down, pdf] {
    const int h = pdf->viewport()->height();
    return (down->value() + h / 2.0) / (down->maximum() + h);
  };
  const double before = middle();
  click("btnPdfZoomIn");
  EXPECT_NEAR(middle(), before, 0.01);
  click("btnPdfZoomOut");
  EXPECT_NEAR(middle(), before, 0.01);
  typeInto(box, "2");
  EXPECT_EQ(down->value(), top2);
  EXPECT_EQ(box->text(), "2 / 3");

  // Fitted, the box tells the zoom the view chose.
  click("btnPdfFitWidth");
  const double screen = pdf->screen()->logicalDotsPerInch() / 72.0;
  EXPECT_EQ(zoom->currentText(), QStringLiteral("%1%").arg(qRound(100.0 * fitted / (595 * screen))));

  // A one-page file goes back to its top too.
  Shown(view).Navigate(Sample("PLAN/ORG/P001_01.PDF"));
  pdf = Child<QPdfView>(view, "PdfView");
  box = Child<QSpinBox>(view, "spnPage");
  pdf->verticalScrollBar()->setValue(pdf->verticalScrollBar()->maximum());
  ASSERT_GT(pdf->verticalScrollBar()->value(), 0);
  pdf->setFocus();
  QTest::keyClick(pdf, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(pdf->verticalScrollBar()->value(), 0);
  EXPECT_EQ(box->text(), "1 / 1");
}

TEST(PreviewView, JpegAndTiffShowTheirPixelSize) {
  TPreviewView view;
  view.resize(400, 300);
  view.show();
  Shown(view).Navigate(Sample("MEET/ORG/0004_02.JPG"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("image"));
  EXPECT_EQ(view.ImageSize(), QSize(160, 120));
  EXPECT_EQ(view.PageCount(), 0);

  Shown(view).Navigate(Sample("MEET/ORG/0007_02.TIF"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("image"));
  EXPECT_EQ(view.ImageSize(), QSize(248, 350));

  // Fitted to the view first; zooming in makes it larger, fitting brings it back.
  auto* shown = Child<QLabel>(view, "ImageView");
  auto logical = [shown] { return shown->pixmap().deviceIndependentSize().toSize(); };
  QSize fitted = logical();
  EXPECT_FALSE(fitted.isEmpty());
  QSize room = Child<QWidget>(view, "ImageScroll")->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"))->size();
  EXPECT_LE(fitted.height(), room.height());
  // Scaled for the screen's pixels (run at QT_SCALE_FACTOR 1.5 and 2 too):
  // as many pixels as the screen shows, not the layout's size blown up.
  const qreal dpr = shown->devicePixelRatioF();
  EXPECT_DOUBLE_EQ(shown->pixmap().devicePixelRatio(), dpr);
  EXPECT_NEAR(shown->pixmap().height(), fitted.height() * dpr, 1.0);
  Child<QPushButton>(view, "btnImageZoomIn")->click();
  EXPECT_GT(logical().width(), fitted.width());
  Child<QPushButton>(view, "btnImageFit")->click();
  EXPECT_EQ(logical(), fitted);
  Child<QPushButton>(view, "btnImageZoomOut")->click();
  EXPECT_LT(logical().width(), fitted.width());
}

TEST(PreviewView, ShiftJisTextShowsJapanese) {
  const std::string phrase = "現場代理人等通知書の提出について";
  ASSERT_NE(SampleText("MEET/ORG/0001_03.TXT").find(phrase), std::string::npos);
  TPreviewView view;
  Shown(view).Navigate(Sample("MEET/ORG/0001_03.TXT"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("text"));
  EXPECT_TRUE(view.RenderedText().contains(Q(phrase)));
  EXPECT_TRUE(Child<QPlainTextEdit>(view, "TextView")->toPlainText().contains(Q(phrase)));
  EXPECT_FALSE(view.RenderedText().contains(QChar(0xFFFD)));
}

TEST(PreviewView, ShiftJisHtmlShowsJapanese) {
  const std::string phrase = "設計変更（側溝延長の増）について";
  ASSERT_NE(SampleText("MEET/ORG/0008_03.HTM").find(phrase), std::string::npos);
  TPreviewView view;
  Shown(view).Navigate(Sample("MEET/ORG/0008_03.HTM"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("html"));
  auto* html = Child<QTextBrowser>(view, "HtmlView");
  EXPECT_EQ(CurrentPage(view), html);
  EXPECT_TRUE(html->toPlainText().contains(Q(phrase))) << html->toPlainText().toStdString();
  EXPECT_FALSE(html->toPlainText().contains(QChar(0xFFFD)));
}

TEST(PreviewView, HtmlFollowsItsCharsetAndDefaultsToCp932) {
  test::ScratchDir dir;
  const std::string phrase = "側溝工の集水ます";
  dir.WriteBytes("utf8.htm", "<html><head><meta charset=\"UTF-8\"></head><body><p>" + phrase + "</p></body></html>");
  dir.WriteSjis("plain.html", "<html><body><p>" + phrase + "</p></body></html>");
  TPreviewView view;
  for (const char* name : {"utf8.htm", "plain.html"}) {
    Shown(view).Navigate(Q(dir / name));
    auto* html = Child<QTextBrowser>(view, "HtmlView");
    ASSERT_TRUE(html);
    EXPECT_TRUE(html->toPlainText().contains(Q(phrase))) << html->toPlainText().toStdString();
  }
}

// A drawing of a format no renderer takes (SXF drawings have their own).
TEST(PreviewView, CadFileOfAnotherFormatIsOtherWithOpenButton) {
  TPreviewView view;
  QList<QUrl> opened;
  view.SetOpenHandler([&](const QUrl& url) {
    opened << url;
    return true;
  });
  test::ScratchDir delivery;
  QString drawing = Q(delivery.WriteBytes("DRAWINGF/C0PL001Z.JWW", std::string("JwwData.") + std::string(600, '\x01')));
  Shown(view).Navigate(drawing);
  ASSERT_EQ(view.RendererKind(), QStringLiteral("other"));
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("C0PL001Z.JWW")));
  QString size = QLocale(QLocale::Japanese).toString(QFileInfo(drawing).size());
  EXPECT_TRUE(view.RenderedText().contains(size)) << view.RenderedText().toStdString();
  auto* open = Child<QPushButton>(view, "btnOpenDefault");
  EXPECT_EQ(open->text(), QStringLiteral("既定のアプリケーションで開く"));
  ASSERT_TRUE(open->isEnabled());
  open->click();
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(drawing));

  // Shown from a private copy, the page names the delivery's own file and
  // opens that; a type no application takes is said so.
  test::ScratchDir work;
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(drawing.toStdString(), bytes));
  const QString copy = Q(work.WriteBytes("dlvrviewX1y2Z3.JWW", bytes));
  view.Navigate(copy, drawing);
  ASSERT_FALSE(view.Busy());
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("ファイル名: C0PL001Z.JWW")));
  EXPECT_FALSE(view.RenderedText().contains(QStringLiteral("dlvrviewX1y2Z3")));
  EXPECT_TRUE(view.RenderedText().contains(QDir::toNativeSeparators(QFileInfo(drawing).absolutePath())));
  view.SetOpenHandler([&](const QUrl& url) {
    opened << url;
    return false;
  });
  open->click();
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[1], QUrl::fromLocalFile(drawing));
  EXPECT_EQ(view.Note(), QStringLiteral("この種類のファイルを開くアプリケーションが登録されていません。"));
}

TEST(PreviewView, MissingFileSaysSoWithoutOpening) {
  TPreviewView view;
  int opened = 0;
  view.SetOpenHandler([&](const QUrl&) { return ++opened, true; });
  QString missing = Sample("MEET/ORG/NO_SUCH.PDF");
  Shown(view).Navigate(missing);
  EXPECT_EQ(view.RendererKind(), QStringLiteral("other"));
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("存在しません")));
  Child<QPushButton>(view, "btnOpenDefault")->click();
  EXPECT_EQ(opened, 0);
}

TEST(PreviewView, EmptyPathAndBlankPageShowNothing) {
  TPreviewView view;
  Shown(view).Navigate(Sample("MEET/ORG/0001_03.TXT"));
  Shown(view).Navigate(QString());
  EXPECT_EQ(view.RendererKind(), QStringLiteral("blank"));
  Shown(view).Navigate(Sample("MEET/ORG/0001_03.TXT"));
  Shown(view).Navigate(QStringLiteral("/nonexistent/folder/none.html"));
  EXPECT_EQ(view.RendererKind(), QStringLiteral("blank"));
  EXPECT_EQ(view.RenderedText(), QString());
}

QTreeWidgetItem* FindItem(QTreeWidgetItem* item, const QString& name) {
  if (item->text(0) == name) return item;
  for (int i = 0; i < item->childCount(); ++i)
    if (QTreeWidgetItem* f = FindItem(item->child(i), name)) return f;
  return nullptr;
}

TEST(PreviewView, XmlWithoutStylesheetIsAnElementTree) {
  TPreviewView view;
  Shown(view).Navigate(Sample("MEET/MEET.XML"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("xmltree"));
  auto* tree = Child<QTreeWidget>(view, "XmlTree");
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree->topLevelItem(0);
  EXPECT_TRUE(root->text(0).startsWith(QStringLiteral("meetdata")));
  EXPECT_TRUE(root->isExpanded());
  QTreeWidgetItem* meeting = FindItem(root, QStringLiteral("打合せ簿情報"));
  ASSERT_NE(meeting, nullptr);
  EXPECT_EQ(meeting->parent(), root);
  QTreeWidgetItem* title = FindItem(meeting, QStringLiteral("打合せ簿名称"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(1), QStringLiteral("現場代理人等通知書の提出について"));
}

// A work copy of MEET.XML naming a stylesheet, the stylesheet beside it
// written as the program writes its embedded ones.
struct StyledCopy {
  test::ScratchDir dir;
  std::string xml;
  StyledCopy(const std::string& href, const std::string& xslFileName) {
    std::string source;
    EXPECT_TRUE(ReadWholeFile(kSamples + "MEET/MEET.XML", source));
    xml = dir.WriteBytes("MEET.XML", InsertStylesheetText(source, href));
    if (!xslFileName.empty()) dir.WriteSjis(xslFileName, std::string(EmbeddedText("ctnMeet")));
  }
};

TEST(PreviewView, XmlWithStylesheetIsTransformedToHtml) {
  ASSERT_FALSE(EmbeddedText("ctnMeet").empty());
  // The instruction names the stylesheet in other case than the file has.
  StyledCopy copy("MEET04.XSL", "meet04.xsl");
  QStringList before = FolderEntries(copy.dir.Path());
  TPreviewView view;
  Shown(view).Navigate(Q(copy.xml));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("html")) << view.Note().toStdString();
  EXPECT_TRUE(view.Note().isEmpty()) << view.Note().toStdString();
  QString page = Child<QTextBrowser>(view, "HtmlView")->toPlainText();
  EXPECT_TRUE(page.contains(QStringLiteral("現場代理人等通知書の提出について"))) << page.toStdString();
  EXPECT_TRUE(page.contains(QStringLiteral("打合せ簿名称")));
  EXPECT_FALSE(page.contains(QChar(0xFFFD)));
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("<table"), Qt::CaseInsensitive));
  EXPECT_EQ(FolderEntries(copy.dir.Path()), before) << "the shown file's folder was written to";
}

TEST(PreviewView, MissingStylesheetFallsBackToTheTree) {
  StyledCopy copy("MEET04.XSL", "");
  TPreviewView view;
  Shown(view).Navigate(Q(copy.xml));
  EXPECT_EQ(view.RendererKind(), QStringLiteral("xmltree"));
  EXPECT_TRUE(view.Note().contains(QStringLiteral("MEET04.XSL")));
  // The note belongs to that file only.
  Shown(view).Navigate(Sample("MEET/MEET.XML"));
  EXPECT_TRUE(view.Note().isEmpty());
}

TEST(PreviewView, BrokenXmlShowsAsText) {
  test::ScratchDir dir;
  dir.WriteSjis("BAD.XML", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<a><b>工事名称</a>");
  TPreviewView view;
  Shown(view).Navigate(Q(dir / "BAD.XML"));
  EXPECT_EQ(view.RendererKind(), QStringLiteral("text"));
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("工事名称")));
}

TEST(PreviewView, LargeTextShowsOnlyItsBeginning) {
  test::ScratchDir dir;
  std::string line = Utf8ToCp932("測点 No.12 設計値 300 実測値 302\r\n");
  std::string big;
  while (big.size() < std::size_t(TPreviewView::kMaxTextBytes) + 1024 * 1024) big += line;
  dir.WriteBytes("BIG.TXT", big);
  TPreviewView view;
  Shown(view).Navigate(Q(dir / "BIG.TXT"));
  ASSERT_EQ(view.RendererKind(), QStringLiteral("text"));
  EXPECT_FALSE(view.Note().isEmpty());
  QString shown = view.RenderedText();
  EXPECT_LE(Utf8ToCp932(shown.toStdString()).size(), std::size_t(TPreviewView::kMaxTextBytes));
  EXPECT_GT(shown.size(), 1000000);
  EXPECT_FALSE(shown.contains(QChar(0xFFFD))) << "cut inside a character";
  EXPECT_TRUE(shown.endsWith(QStringLiteral("302\r\n")) || shown.endsWith(QStringLiteral("302\n")));
}

TEST(PreviewView, PdfThatCannotBeReadIsOther) {
  test::ScratchDir dir;
  dir.WriteBytes("BROKEN.PDF", "%PDF-1.4\nnot really a pdf\n");
  TPreviewView view;
  Shown(view).Navigate(Q(dir / "BROKEN.PDF"));
  EXPECT_EQ(view.RendererKind(), QStringLiteral("other"));
  EXPECT_EQ(view.PageCount(), 0);
  EXPECT_FALSE(view.Note().isEmpty());
}

// A PDF that holds its reader up is read in a worker process: the view
// never waits on it (Navigate returns at once, the window goes on painting)
// and shows the file's facts with the reason once the limit has passed; a
// PDF navigated to meanwhile is shown, and stays, while the first is dropped.
TEST(PreviewView, APdfThatHoldsItsReaderUpShowsItsFactsAndNeverBlocks) {
  test::ScratchDir dir;
  const TPdfFactsLimits before = PdfFactsLimits();
  TPdfFactsLimits limits;
  limits.Time = std::chrono::seconds(2);
  SetPdfFactsLimits(limits);
  const QString deep = Q(test::WriteHostilePdf(dir, test::THostilePdf::DeepPageTree));
  TPreviewView view;
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
  tick.start(50);
  const auto start = std::chrono::steady_clock::now();
  view.Navigate(deep);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(view.Busy());
  for (int i = 0; i < 800 && view.Busy(); ++i) QTest::qWait(10);
  EXPECT_FALSE(view.Busy());
  EXPECT_GT(ticks, 20);  // two seconds and more of a live event loop
  EXPECT_EQ(view.RendererKind(), QStringLiteral("other"));
  EXPECT_TRUE(view.RenderedText().contains(QStringLiteral("PDF を読み取れませんでした（時間切れ）"))) << view.RenderedText().toStdString();

  view.Navigate(deep);
  Shown(view).Navigate(Sample("MEET/ORG/0001_01.PDF"));
  QTest::qWait(2500);
  EXPECT_EQ(view.RendererKind(), QStringLiteral("pdf"));
  EXPECT_EQ(view.PageCount(), 3);
  SetPdfFactsLimits(before);
}

// ---------------------------------------------------------------------------
// Hostile documents: everything here is written by the test. The view may
// show less, but never what lies outside the delivery, never blocks and
// never grows without bound.

namespace hostile {

const char* const kMarker = "OUTSIDE-MARKER-c41d";

std::string Xsl(const std::string& prolog, const std::string& body, const std::string& top = "") {
  return "<?xml version=\"1.0\"?>\n" + prolog +
         "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" + top +
         "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body><p>shown</p>" + body +
         "</body></html></xsl:template></xsl:stylesheet>\n";
}

}  // namespace hostile

TEST(PreviewViewHostile, NothingOutsideTheDeliveryIsShown) {
  using namespace hostile;
  test::ScratchDir d;
  const std::string out = d.MakeDir("outside") + "/";
  d.WriteBytes("outside/secret.xml", std::string("<s>") + kMarker + "</s>");
  d.WriteBytes("outside/secret.png", kMarker);
  d.WriteBytes("outside/evil.xsl", Xsl("", kMarker));
  const std::string del = d.MakeDir("delivery/MEET/ORG") + "/";
  symlink((out + "secret.xml").c_str(), (del + "LINK.XML").c_str());
  struct Case {
    const char* name;
    std::string xml;  // the document; VIEW.XSL below is its stylesheet
    std::string xsl;
  };
  auto doc = [](const std::string& href, const std::string& before = "") {
    return "<?xml version=\"1.0\"?>\n" + before + "<?xml-stylesheet type=\"text/xsl\" href=\"" + href +
           "\"?>\n<r>inside</r>\n";
  };
  const Case cases[] = {
      {"entity in the stylesheet", doc("VIEW.XSL"),
       Xsl("<!DOCTYPE xsl:stylesheet [<!ENTITY e SYSTEM \"" + out + "secret.xml\">]>\n", "&e;")},
      {"document() absolute", doc("VIEW.XSL"), Xsl("", "<xsl:value-of select=\"document('" + out + "secret.xml')\"/>")},
      {"document() up", doc("VIEW.XSL"),
       Xsl("", "<xsl:value-of select=\"document('../../../outside/secret.xml')\"/>")},
      {"include absolute", doc("VIEW.XSL"), Xsl("", "", "<xsl:include href=\"" + out + "evil.xsl\"/>")},
      {"indented instruction to an outside stylesheet", doc(out + "evil.xsl", "  "), ""},
      {"stylesheet up with backslashes", doc("..\\..\\..\\outside\\evil.xsl"), ""},
      {"image and style sheet outside",
       "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"VIEW.XSL\"?>\n<r/>\n",
       Xsl("", "<img src=\"" + out + "secret.png\"/><img src=\"../../../outside/secret.png\"/>")},
      {"link leading out", "", ""},
  };
  TPreviewView view;
  for (const Case& c : cases) {
    if (!c.xsl.empty()) d.WriteBytes("delivery/MEET/ORG/VIEW.XSL", c.xsl);
    const std::string file = c.xml.empty() ? del + "LINK.XML" : d.WriteBytes("delivery/MEET/ORG/DOC.XML", c.xml);
    // Shown from a private copy as the files pane does, standing at the
    // original (the model never copies a link leading out: it is missing).
    test::ScratchDir work;
    std::string bytes;
    ReadWholeFile(file, bytes);
    const QString copy = c.xml.empty() ? Q(file) : Q(work.WriteBytes("copy.xml", bytes));
    view.SetSandboxFolders({Q(d / "delivery")});
    for (const QString& path : {Q(file), copy}) {
      view.Navigate(path, Q(file));
      EXPECT_FALSE(view.RenderedText().contains(QString::fromLatin1(kMarker))) << c.name;
      if (auto* browser = view.findChild<QTextBrowser*>("HtmlView"); view.RendererKind() == u"html") {
        EXPECT_FALSE(browser->toPlainText().contains(QString::fromLatin1(kMarker))) << c.name;
      }
    }
  }
}

// The images of a page outside the delivery are never opened, however
// named: an inotify watch on the outside folder sees every open, and a
// refused image shows as a box, never as the outside picture.
TEST(PreviewViewHostile, ImagesOutsideTheDeliveryAreNeverOpened) {
  test::ScratchDir d;
  const std::string out = d.MakeDir("outside") + "/";
  QImage red(40, 40, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QString::fromStdString(out + "secret.png")));
  const std::string page = d.WriteBytes(
      "delivery/MEET/ORG/0003_02.HTM",
      "<html><body><p>page</p><img src=\"" + out + "secret.png\"><img src=\"../../../outside/secret.png\">"
      "<img src=\"../../../../outside/secret\"><img src=\"http://127.0.0.1:1/x.png\"></body></html>");
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, out.c_str(), IN_OPEN | IN_ACCESS), 0);
  // The process's folder is the page's own: a name the engine loaded
  // itself would reach outside from there.
  const QString before = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(d / "delivery/MEET/ORG"));
  {
    TPreviewView view;
    view.resize(400, 300);
    view.show();
    view.SetSandboxFolders({Q(d / "delivery")});
    Shown(view).Navigate(Q(page));
    ASSERT_EQ(view.RendererKind(), "html");
    auto* browser = view.findChild<QTextBrowser*>("HtmlView");
    ASSERT_NE(browser, nullptr);
    const QImage shown = browser->viewport()->grab().toImage();
    int redPixels = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) redPixels += shown.pixelColor(x, y) == QColor(Qt::red) ? 1 : 0;
    EXPECT_EQ(redPixels, 0);
  }
  QDir::setCurrent(before);
  char events[4096];
  EXPECT_LE(read(watch, events, sizeof events), 0) << "a file outside the delivery was opened";
  close(watch);
}

TEST(PreviewViewHostile, LinksLeadOnlyToFilesThePageMayRead) {
  using namespace hostile;
  test::ScratchDir d;
  d.WriteBytes("outside/secret.txt", kMarker);
  d.WriteBytes("delivery/ORG/NEXT.TXT", "next page");
  const std::string page = d.WriteBytes("delivery/ORG/PAGE.HTM", "<html><body>page</body></html>");
  TPreviewView view;
  std::vector<QUrl> opened;
  view.SetOpenHandler([&](const QUrl& u) {
    opened.push_back(u);
    return true;
  });
  struct Case {
    QUrl link;
    QString shownAfter;  // the path shown after the click
  };
  const Case cases[] = {
      {QUrl::fromLocalFile(Q(d / "outside/secret.txt")), Q(page)},
      {QUrl(QStringLiteral("../../outside/secret.txt")), Q(page)},
      {QUrl(QStringLiteral("next.txt")), Q(d / "delivery/ORG/NEXT.TXT")},
  };
  for (const Case& c : cases) {
    Shown(view).Navigate(Q(page));
    emit Child<QTextBrowser>(view, "HtmlView")->anchorClicked(c.link);
    EXPECT_EQ(view.CurrentPath(), c.shownAfter) << c.link.toString().toStdString();
    EXPECT_FALSE(view.RenderedText().contains(QString::fromLatin1(kMarker)));
  }
  // Addresses on the network go to the desktop's browser, as the user asked.
  EXPECT_TRUE(opened.empty());
  Shown(view).Navigate(Q(page));
  emit Child<QTextBrowser>(view, "HtmlView")->anchorClicked(QUrl(QStringLiteral("https://example.org/")));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].host(), "example.org");
}

TEST(PreviewViewHostile, DevicesFifosDepthAndExpansionStayBounded) {
  using namespace hostile;
  test::ScratchDir d;
  const std::string del = d.MakeDir("delivery") + "/";
  ASSERT_EQ(mkfifo((del + "FIFO.PNG").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((del + "FIFO.DTD").c_str(), 0600), 0);
  std::string deep = "<?xml version=\"1.0\"?>\n";
  for (int i = 0; i < 50000; ++i) deep += "<a>";
  for (int i = 0; i < 50000; ++i) deep += "</a>";
  std::string nested = "<?xml version=\"1.0\"?>\n";
  for (int i = 0; i < 200; ++i) nested += "<a>";
  for (int i = 0; i < 200; ++i) nested += "</a>";
  std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY l0 \"lollollollollollollollollollol\">\n";
  for (int i = 1; i <= 12; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<r a=\"&l12;\">&l12;</r>\n";
  struct Case {
    const char* name;
    const char* file;
    std::string text;
    const char* kind;
  };
  const Case cases[] = {
      {"images of devices and FIFOs", "PAGE.HTM",
       "<html><body><p>page</p><img src=\"/dev/zero\"><img src=\"FIFO.PNG\"><img src=\"/dev/urandom\">"
       "<link rel=\"stylesheet\" href=\"/dev/zero\"></body></html>",
       "html"},
      {"a FIFO as the DTD", "FIFO.XML", "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"FIFO.DTD\">\n<r>x</r>\n",
       "xmltree"},
      {"50,000 levels", "DEEP.XML", deep, "text"},
      {"200 levels", "NESTED.XML", nested, "xmltree"},
      {"billion laughs", "LAUGHS.XML", laughs, "text"},
  };
  TPreviewView view;
  const long rssBefore = test::MaxRssKb();
  for (const Case& c : cases) {
    const auto started = std::chrono::steady_clock::now();
    Shown(view).Navigate(Q(d.WriteBytes(std::string("delivery/") + c.file, c.text)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << c.name;
    EXPECT_EQ(view.RendererKind(), c.kind) << c.name;
  }
  EXPECT_LT(test::MaxRssKb() - rssBefore, 400 * 1024);
  // The nested document's tree stops at a depth and says so.
  Shown(view).Navigate(Q(d / "delivery/NESTED.XML"));
  EXPECT_NE(view.Note(), "");
  EXPECT_LE(view.RenderedText().count(u'\n'), 64);
  // A link to a device and a FIFO are no files to show.
  symlink("/dev/zero", (del + "ZERO.XML").c_str());
  for (const char* name : {"ZERO.XML", "FIFO.PNG"}) {
    Shown(view).Navigate(Q(del + name));
    EXPECT_EQ(view.RendererKind(), "other") << name;
  }
}

// A meeting file of `count` meetings naming the built-in meeting stylesheet
// beside it: large enough to be prepared in the background.
std::string LargeMeetings(const test::ScratchDir& d, int count) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>\n<meetdata DTD_version=\"04\">\n";
  for (int i = 1; i <= count; ++i)
    xml += "<打合せ簿情報><シリアル番号>" + std::to_string(i) + "</シリアル番号><打合せ簿名称>会議-" +
           std::to_string(i) + "-の記録</打合せ簿名称><作成者>" + std::string(200, 'x') + "</作成者></打合せ簿情報>\n";
  xml += "</meetdata>\n";
  d.WriteSjis("MEET.XSL", std::string(EmbeddedText("ctnMeet")));
  return d.WriteBytes("MEET.XML", xml);
}

TEST(PreviewViewLarge, PreparedInTheBackgroundAPageOfRecordsAtATime) {
  test::ScratchDir d;
  const QString big = Q(LargeMeetings(d, 1200));
  ASSERT_GT(QFileInfo(big).size(), 256 * 1024);
  TPreviewView view;
  view.Navigate(big);
  // The call returns at once; the view says it is busy and shows a note.
  EXPECT_TRUE(view.Busy());
  EXPECT_FALSE(view.Note().isEmpty());
  for (int i = 0; i < 1000 && view.Busy(); ++i) QTest::qWait(10);
  ASSERT_FALSE(view.Busy());
  ASSERT_EQ(view.RendererKind(), "html") << view.Note().toStdString();
  auto* label = Child<QLabel>(view, "lblRecords");
  auto* next = Child<QPushButton>(view, "btnNextRecords");
  // The first page may show while the file is still being read; paging
  // comes once it is read to the end.
  for (int i = 0; i < 1000 && label->text().contains("読み込み中"); ++i) QTest::qWait(10);
  EXPECT_TRUE(label->isVisibleTo(&view));
  EXPECT_EQ(label->text(), "1 – 50 件目 / 1,200 件");
  EXPECT_TRUE(view.RenderedText().contains("会議-1-の記録"));
  EXPECT_TRUE(view.RenderedText().contains("会議-50-の記録"));
  EXPECT_FALSE(view.RenderedText().contains("会議-51-の記録"));
  next->click();
  for (int i = 0; i < 1000 && view.Busy(); ++i) QTest::qWait(10);
  EXPECT_EQ(label->text(), "51 – 100 件目 / 1,200 件");
  EXPECT_TRUE(view.RenderedText().contains("会議-51-の記録"));
  EXPECT_FALSE(view.RenderedText().contains("会議-1-の記録"));
  EXPECT_TRUE(Child<QPushButton>(view, "btnPrevRecords")->isEnabled());
}

TEST(PreviewViewLarge, AnotherChoiceCancelsTheWorkAndAClosedViewDropsIt) {
  test::ScratchDir d;
  const QString big = Q(LargeMeetings(d, 3000));
  TPreviewView view;
  QStringList completed;
  QObject::connect(&view, &TPreviewView::DocumentComplete, [&](const QString& p) { completed << p; });
  view.Navigate(big);
  ASSERT_TRUE(view.Busy());
  // The second choice wins: the first one's result never lands.
  Shown(view).Navigate(Sample("MEET/MEET.XML"));
  QTest::qWait(1500);
  EXPECT_EQ(view.CurrentPath(), Sample("MEET/MEET.XML"));
  EXPECT_EQ(view.RendererKind(), "xmltree");
  EXPECT_EQ(completed, QStringList{Sample("MEET/MEET.XML")});
  // A view closed while its file is prepared leaves nothing behind.
  for (int i = 0; i < 3; ++i) {
    auto* closing = new TPreviewView;
    closing->Navigate(big);
    delete closing;
  }
  QTest::qWait(1500);
}

TEST(PreviewView, TextInPiecesInAFixedPitchFontAndPdfPagesScrollAndZoom) {
  test::ScratchDir d;
  std::string big;
  for (int i = 0; i < 40000; ++i) big += "line\t" + std::to_string(i) + " <a>\n";
  TPreviewView view;
  view.resize(600, 500);
  Shown(view).Navigate(Q(d.WriteBytes("BIG.TXT", big)));
  auto* text = Child<QPlainTextEdit>(view, "TextView");
  // The first piece is in at once, the rest comes from the event loop.
  EXPECT_LT(text->document()->blockCount(), 40000);
  for (int i = 0; i < 500 && text->document()->blockCount() < 40000; ++i) QTest::qWait(5);
  EXPECT_EQ(text->document()->blockCount(), 40001);  // the last line break opens an empty line
  EXPECT_EQ(text->textCursor().position(), 0);
  EXPECT_EQ(text->toPlainText().size(), QString::fromStdString(big).size());
  // One width for every half-width character: columns line up, "<" has one shape.
  const QFontMetricsF fm(text->font());
  EXPECT_EQ(QFontInfo(text->font()).family(), "IPAGothic");
  for (QChar c : {u'i', u'W', u'<', u'_'}) EXPECT_DOUBLE_EQ(fm.horizontalAdvance(c), fm.horizontalAdvance(u' ')) << int(c.unicode());
  EXPECT_DOUBLE_EQ(text->tabStopDistance(), 4 * QFontMetricsF(text->font()).horizontalAdvance(u' '));

  Shown(view).Navigate(Sample("MEET/ORG/0001_01.PDF"));
  auto* pdf = Child<QPdfView>(view, "PdfView");
  EXPECT_EQ(pdf->pageMode(), QPdfView::PageMode::MultiPage);
  const double before = pdf->zoomFactor();
  QWheelEvent wheel(QPointF(10, 10), pdf->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(pdf->viewport(), &wheel);
  EXPECT_EQ(pdf->zoomMode(), QPdfView::ZoomMode::Custom);
  EXPECT_NE(pdf->zoomFactor(), before);
}

}  // namespace
}  // namespace dlvr
