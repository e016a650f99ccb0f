#include "components/preview_view.h"

#include <libxml/tree.h>

#include <QComboBox>
#include <QTextDocument>
#include <QPainter>
#include <QImage>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFutureWatcher>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QTimer>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "components/desktop_open.h"
#include "components/document_check.h"
#include "components/pdf_facts.h"
#include "components/drawing_view.h"
#include "components/text_fill.h"
#include "delivery/xml_sandbox.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// Element items past this many are left out of the XML tree.
constexpr int kMaxTreeItems = 200000;

// Element levels past this depth are left out of the XML tree.
constexpr int kMaxTreeDepth = 64;

// An element's text, and its name with its attributes, are shown up to
// this many characters.
constexpr qsizetype kMaxValueChars = 4096;

// The element tree's text for tests and finding stops growing here.
constexpr qsizetype kMaxDumpChars = 1024 * 1024;

// XML files up to this size are prepared at once; larger ones off the GUI
// thread while the window goes on answering.
constexpr qint64 kSyncXmlBytes = 256 * 1024;

// Records shown on one page of a styled view.
constexpr std::size_t kPageRecords = 50;

// Tree items made at once when a tree is shown; deeper levels are made when
// their parent is first expanded.
constexpr int kEagerTreeItems = 5000;

// An image or style sheet a page refers to is read up to this size.
constexpr std::uint64_t kMaxResourceBytes = 32ull * 1024 * 1024;

QString FromXml(const xmlChar* s) { return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString(); }

// The encoding a document names for itself: an HTML meta charset or the
// XML declaration's encoding, lower-cased ("" when none).
QString DeclaredCharset(const QByteArray& bytes) {
  QByteArray head = bytes.left(4096);
  static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression xmlDecl(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9_.:-]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  QString latin = QString::fromLatin1(head);
  if (auto m = charset.match(latin); m.hasMatch()) return m.captured(1).toLower();
  if (auto m = xmlDecl.match(latin); m.hasMatch()) return m.captured(1).toLower();
  return {};
}

bool IsValidUtf8(const QByteArray& bytes) {
  QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString ignored = dec(bytes);
  return !dec.hasError();
}

bool IsCp932Name(const QString& name) {
  return name == u"shift_jis" || name == u"shift-jis" || name == u"sjis" || name == u"x-sjis" ||
         name == u"cp932" || name == u"windows-31j" || name == u"ms932" || name == u"ms_kanji";
}

// Decodes a document's bytes by the encoding it names; without one, UTF-8
// when the bytes are valid UTF-8, CP932 otherwise.
QString DecodeText(QByteArray bytes, const QString& declared) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
  if (declared == u"utf-8" || declared == u"utf8") return QString::fromUtf8(bytes);
  if (declared.isEmpty() || IsCp932Name(declared)) {
    if (declared.isEmpty() && IsValidUtf8(bytes)) return QString::fromUtf8(bytes);
    return QString::fromStdString(Cp932ToUtf8(std::string_view(bytes.constData(), bytes.size())));
  }
  QStringDecoder dec(declared.toLatin1().constData());
  if (dec.isValid()) return dec(bytes);
  return QString::fromStdString(Cp932ToUtf8(std::string_view(bytes.constData(), bytes.size())));
}

// A byte count in a reader's terms ("1,234 バイト" / "1.2 MB").
QString SizeText(qint64 bytes) {
  QLocale c(QLocale::Japanese);
  QString exact = QCoreApplication::translate("TPreviewView", "%1 バイト").arg(c.toString(bytes));
  if (bytes < 1024) return exact;
  return c.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat) + QStringLiteral(" (") + exact +
         QStringLiteral(")");
}

// The leading bytes of a file after a UTF-8 byte order mark and blanks,
// lower-cased, for telling markup apart.
QByteArray MarkupHead(const QByteArray& head) {
  QByteArray h = head;
  if (h.startsWith("\xEF\xBB\xBF")) h = h.mid(3);
  return h.trimmed().left(256).toLower();
}

// The text browser of the preview. Images and style sheets a page refers
// to come only from regular files inside the sandbox's folders, each at
// most kMaxResourceBytes; nothing comes from the network, and a refused
// resource is an empty one (never the document's own fallback, which would
// read any local file).
//
// A page is paper: dark text on a light background whatever the desktop's
// colours, so that a page's own light cell colours keep the default dark
// text readable under a dark desktop palette too.
class TSandboxBrowser : public QTextBrowser {
 public:
  explicit TSandboxBrowser(QWidget* parent = nullptr) : QTextBrowser(parent) {
    QPalette paper = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      paper.setColor(group, QPalette::Base, Qt::white);
      paper.setColor(group, QPalette::Window, Qt::white);
      paper.setColor(group, QPalette::Text, Qt::black);
      paper.setColor(group, QPalette::WindowText, Qt::black);
      paper.setColor(group, QPalette::Link, QColor(0, 0, 238));
      paper.setColor(group, QPalette::LinkVisited, QColor(85, 26, 139));
    }
    // The roles set stay when the desktop's palette changes later.
    setPalette(paper);
  }
  TXmlSandbox Box;

  // An image is always answered with an image: given no image (empty
  // bytes, or bytes that do not decode), the text engine would load the
  // name itself, from anywhere (relative to the process's folder, a FIFO
  // blocking for good). What is refused or unreadable shows as a framed
  // grey box.
  QVariant loadResource(int type, const QUrl& name) override {
    const bool image = type == QTextDocument::ImageResource;
    const QVariant refused = image ? QVariant(RefusedImage()) : QVariant(QByteArray());
    QString local;
    if (name.isLocalFile())
      local = name.toLocalFile();
    else if (name.scheme().isEmpty())
      local = name.path();
    if (local.isEmpty() || QDir::isRelativePath(local)) {
      // Relative names were resolved against the base already; anything
      // left is a network address or another scheme. Data URLs carry their
      // bytes and are decoded by the document itself.
      if (name.scheme().compare(u"data", Qt::CaseInsensitive) == 0) return QVariant();
      return refused;
    }
    local.replace(u'\\', u'/');
    std::string path = ResolveCase(QDir::cleanPath(local).toStdString());
    std::string bytes;
    if (SandboxReadFile(Box, path, bytes) != TSandboxStatus::Ok) return refused;
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (!image) return QVariant(data);
    const QImage decoded = QImage::fromData(data);
    return decoded.isNull() ? refused : QVariant(decoded);
  }

 private:
  static QImage RefusedImage() {
    QImage box(16, 16, QImage::Format_ARGB32);
    box.fill(QColor(224, 224, 224));
    QPainter paint(&box);
    paint.setPen(QColor(128, 128, 128));
    paint.drawRect(0, 0, 15, 15);
    return box;
  }

 public:
};

// An XML file being shown: what it may read, the parsed document (kept for
// further pages and the tree), its records and stylesheet. Shared between
// the view and the work running for it; `Cancel` tells that work to stop.
struct TXmlJob {
  QString Path, Origin;
  TXmlSandbox Box;
  std::atomic<bool> Cancel{false};
  TXmlDocPtr Doc;
  TXmlRecords Records;
  std::string Stylesheet;
  QString Href;
  std::size_t First = 0;
};

// What preparing an XML file (or one page of it) came to. Made on any
// thread; holds no widget.
struct TXmlPrepared {
  enum class Kind { Text, Refused, Html, Tree } Shown = Kind::Tree;
  TSandboxStatus Status = TSandboxStatus::Ok;
  QString Note;
  QByteArray Html;
  QString Encoding;
  QString Dump;
  bool TooDeep = false, TooMany = false;
  // The first page, made from the start of a file still being read.
  bool Early = false;
  // For an early tree: the start of the file, copied (the job's document is
  // the whole file, once read).
  std::shared_ptr<xmlDoc> TreeDoc;
};

using TXmlPromise = QPromise<std::shared_ptr<TXmlPrepared>>;

// The label and the text of an element as the tree shows them.
std::pair<QString, QString> ElementTexts(xmlDoc* doc, xmlNode* node) {
  QString label = FromXml(node->name);
  QString value;
  for (xmlNode* c = node->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) value += FromXml(c->content);
  value = value.trimmed();
  // A long text shows its start; the column cannot show more anyway.
  if (value.size() > kMaxValueChars) value = value.left(kMaxValueChars) + QStringLiteral("…");
  QStringList attrs;
  for (xmlAttr* a = node->properties; a; a = a->next) {
    xmlChar* v = xmlNodeListGetString(doc, a->children, 1);
    attrs << FromXml(a->name) + QStringLiteral("=\"") + FromXml(v) + u'"';
    xmlFree(v);
  }
  if (!attrs.isEmpty()) label += u' ' + attrs.join(u' ');
  if (label.size() > kMaxValueChars) label = label.left(kMaxValueChars) + QStringLiteral("…");
  return {label, value};
}

bool HasElementChildren(xmlNode* node) {
  for (xmlNode* c = node->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) return true;
  return false;
}

// The element tree as indented text (what RenderedText gives for a tree),
// bounded like the tree itself.
void DumpTree(xmlDoc* doc, TXmlPrepared& out) {
  QStringList dump;
  qsizetype chars = 0;
  int count = 0;
  struct Pending {
    xmlNode* node;
    int depth;
  };
  std::vector<Pending> todo{{xmlDocGetRootElement(doc), 0}};
  while (!todo.empty()) {
    Pending p = todo.back();
    todo.pop_back();
    if (++count > kMaxTreeItems) {
      out.TooMany = true;
      break;
    }
    // The text stops early; the walk goes on to tell how far the tree goes.
    if (chars < kMaxDumpChars) {
      auto [label, value] = ElementTexts(doc, p.node);
      dump << QString(p.depth * 2, u' ') + label + (value.isEmpty() ? QString() : QStringLiteral(": ") + value);
      chars += dump.back().size() + 1;
    }
    if (!HasElementChildren(p.node)) continue;
    if (p.depth + 1 >= kMaxTreeDepth) {
      out.TooDeep = true;
      continue;
    }
    std::vector<xmlNode*> kids;
    for (xmlNode* c = p.node->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) kids.push_back(c);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) todo.push_back({*it, p.depth + 1});
  }
  out.Dump = dump.join(u'\n');
}

// Transforms the page of records starting at `job.First` (the whole
// document when it has no more records than a page); a failure falls back
// to the tree with a note saying why.
void TransformPage(TXmlJob& job, TXmlPrepared& out) {
  TXmlDocPtr page;
  xmlDoc* shown = job.Doc.get();
  if (job.Records.Nodes.size() > kPageRecords) {
    page = PageDocument(job.Doc.get(), job.Records, job.First, kPageRecords);
    shown = page.get();
  }
  TXsltResult r = SandboxTransformWith(job.Box, shown, job.Stylesheet);
  using S = TXsltResult::Status;
  const QString& href = job.Href;
  switch (r.State) {
    case S::Ok: {
      out.Shown = TXmlPrepared::Kind::Html;
      out.Html = QByteArray(r.Output.data(), static_cast<qsizetype>(r.Output.size()));
      out.Encoding = QString::fromStdString(r.Encoding);
      if (!r.Refused.empty())
        out.Note = QCoreApplication::translate(
                       "TPreviewView", "納品データの外のファイル、または読めないファイルは読み込みませんでした: %1")
                       .arg(QString::fromStdString(r.Refused.front()));
      return;
    }
    case S::NoStylesheet:
    case S::StylesheetMissing:
      out.Note = QCoreApplication::translate("TPreviewView",
                                             "スタイルシート %1 が見つからないため、要素の一覧で表示しています。")
                     .arg(href);
      break;
    case S::StylesheetUnreadable:
      out.Note =
          QCoreApplication::translate("TPreviewView", "スタイルシート %1 を読めないため、要素の一覧で表示しています。")
              .arg(href);
      break;
    case S::TimedOut:
      out.Note = QCoreApplication::translate(
                     "TPreviewView", "スタイルシート %1 の変換に時間がかかりすぎるため、要素の一覧で表示しています。")
                     .arg(href);
      break;
    case S::TooLarge:
      out.Note = QCoreApplication::translate(
                     "TPreviewView", "スタイルシート %1 の変換結果が大きすぎるため、要素の一覧で表示しています。")
                     .arg(href);
      break;
    case S::TransformFailed:
      out.Note = QCoreApplication::translate("TPreviewView",
                                             "スタイルシート %1 で変換できないため、要素の一覧で表示しています。")
                     .arg(href);
      break;
  }
  out.Shown = TXmlPrepared::Kind::Tree;
  if (!job.Cancel) DumpTree(job.Doc.get(), out);
}

// The first page of a styled file from the start of it, while the rest is
// still being read: shown as soon as a page of records is complete.
// Reports it through `promise`; true when it did.
bool ReportEarlyPage(TXmlJob& job, xmlDoc* partial, TXmlPromise& promise) {
  TXmlRecords records = FindRecords(partial);
  // The record after the page has begun, so the page's records are whole.
  if (records.Nodes.size() <= kPageRecords) return false;
  const std::string href = StylesheetHref(partial);
  if (href.empty()) {
    // No stylesheet: the tree of the first records, replaced by the whole
    // tree once the file is read.
    auto out = std::make_shared<TXmlPrepared>();
    out->Early = true;
    out->TreeDoc = std::shared_ptr<xmlDoc>(PageDocument(partial, records, 0, kPageRecords).release(), TXmlDocFree());
    if (!out->TreeDoc) return false;
    // One pass: the file's name may hold "%2".
    out->Note = QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます… (先頭の %2 件を表示しています)")
                    .arg(QFileInfo(job.Origin).fileName(), QString::number(kPageRecords));
    DumpTree(out->TreeDoc.get(), *out);
    promise.addResult(out);
    return true;
  }
  TXmlJob early;
  early.Box = job.Box;
  early.Box.Cancel = &job.Cancel;
  early.Href = QString::fromStdString(href);
  early.Stylesheet = ResolveStylesheetHref(ExtractFilePath(job.Origin.toStdString()), href);
  if (early.Stylesheet.empty()) return false;
  early.Doc = PageDocument(partial, records, 0, kPageRecords);
  auto out = std::make_shared<TXmlPrepared>();
  TransformPage(early, *out);
  if (out->Shown != TXmlPrepared::Kind::Html) return false;
  out->Early = true;
  early.Doc.reset();
  promise.addResult(out);
  return true;
}

// Reads, parses and prepares an XML file for showing: the first page
// through its stylesheet, else its element tree. Runs on any thread; a
// large styled file reports its first page before it is read to the end.
void PrepareXml(const std::shared_ptr<TXmlJob>& job, TXmlPromise& promise) {
  auto out = std::make_shared<TXmlPrepared>();
  bool early = false;
  auto progress = [&](xmlDoc* partial) {
    if (!early) early = ReportEarlyPage(*job, partial, promise);
  };
  TXmlParseResult parsed =
      SandboxParseXml(job->Box, job->Path.toStdString(), job->Origin.toStdString(), progress);
  if (job->Cancel) return;
  if (parsed.Status == TSandboxStatus::NotWellFormed) {
    // Not well-formed, or past the parser's depth and expansion limits:
    // shown as the text it is (also when a first page was shown already).
    out->Shown = TXmlPrepared::Kind::Text;
    out->Note = QCoreApplication::translate("TPreviewView", "XML として読めないため、テキストとして表示しています。");
    promise.addResult(out);
    return;
  }
  if (!parsed) {
    out->Shown = TXmlPrepared::Kind::Refused;
    out->Status = parsed.Status;
    promise.addResult(out);
    return;
  }
  job->Doc = std::move(parsed.Doc);
  const std::string href = StylesheetHref(job->Doc.get());
  if (href.empty()) {
    DumpTree(job->Doc.get(), *out);
    // An early tree is replaced by the whole one.
    out->Early = false;
    promise.addResult(out);
    return;
  }
  job->Href = QString::fromStdString(href);
  job->Stylesheet = ResolveStylesheetHref(ExtractFilePath(job->Origin.toStdString()), href);
  if (job->Stylesheet.empty()) {
    out->Note = QCoreApplication::translate("TPreviewView",
                                            "スタイルシート %1 が見つからないため、要素の一覧で表示しています。")
                    .arg(job->Href);
    DumpTree(job->Doc.get(), *out);
    promise.addResult(out);
    return;
  }
  job->Records = FindRecords(job->Doc.get());
  // The first page is on screen already: the rest only makes paging possible.
  if (!early) TransformPage(*job, *out);
  promise.addResult(early ? nullptr : out);
}

// The same, at once, on the calling thread.
std::shared_ptr<TXmlPrepared> PrepareXmlNow(const std::shared_ptr<TXmlJob>& job) {
  TXmlPromise promise;
  QFuture<std::shared_ptr<TXmlPrepared>> future = promise.future();
  promise.start();
  PrepareXml(job, promise);
  promise.finish();
  return future.resultCount() > 0 ? future.resultAt(future.resultCount() - 1) : nullptr;
}

}  // namespace

struct TPreviewView::Impl {
  TPreviewView* q = nullptr;
  QLabel* note = nullptr;
  QStackedWidget* stack = nullptr;

  QWidget* blankPage = nullptr;
  TSandboxBrowser* html = nullptr;
  QPlainTextEdit* text = nullptr;
  QTreeWidget* tree = nullptr;

  QWidget* pdfPage = nullptr;
  QVBoxLayout* pdfLayout = nullptr;
  // The PDF shown and its view, made afresh for every file: nothing one
  // file rendered can show with the next (null while no PDF is shown).
  QPdfDocument* pdfDoc = nullptr;
  QPdfView* pdfView = nullptr;
  // A PDF's facts read in a worker process (under its time and memory
  // limits) before the file is loaded here: one that holds the reader up
  // never reaches the GUI thread. Null while none is being read.
  QFutureWatcher<TPdfFacts>* pdfProbe = nullptr;
  std::shared_ptr<std::atomic<bool>> pdfProbeCancel;
  // The page number box ("2 / 5": type a page, Enter jumps) and the zoom
  // in percent (a choice, or typed).
  QSpinBox* pageBox = nullptr;
  QPushButton* prevPage = nullptr;
  QPushButton* nextPage = nullptr;
  QComboBox* zoomBox = nullptr;

  QWidget* imagePage = nullptr;
  QScrollArea* imageScroll = nullptr;
  QLabel* imageLabel = nullptr;
  QPixmap image;
  bool imageFit = true;
  double imageScale = 1.0;

  // SXF drawings (.P21 / .SFC), read off the GUI thread.
  TDrawingView* drawing = nullptr;
  bool drawingPending = false;

  QWidget* otherPage = nullptr;
  QLabel* otherInfo = nullptr;
  QPushButton* openDefault = nullptr;

  bool busy = false;
  QString path;
  // Where the document stands in the delivery (a preview copy names its
  // original): relative references resolve against its folder.
  QString origin;
  QStringList sandboxFolders;
  QString kind = QStringLiteral("blank");
  QString rendered;
  OpenHandler opener;

  // The XML file shown or being prepared, and the work preparing it.
  std::shared_ptr<TXmlJob> job;
  QFutureWatcher<std::shared_ptr<TXmlPrepared>>* watcher = nullptr;
  QWidget* recordBar = nullptr;
  QPushButton* prevRecords = nullptr;
  QPushButton* nextRecords = nullptr;
  QLabel* recordLabel = nullptr;
  int treeItems = 0;
  // The document the tree shows (an early part, or the whole file).
  xmlDoc* treeDoc = nullptr;
  std::shared_ptr<xmlDoc> earlyTreeDoc;

  void Build();
  QWidget* BuildPdfPage();
  QWidget* BuildImagePage();
  QWidget* BuildOtherPage();

  void ShowBlank();
  void ShowOther(const QString& file, const QString& why = {});
  // The file whose facts the fact page gives and which "open" opens.
  QString FactsFile(const QString& file) const;
  bool ShowPdf(const QString& file);
  // Starts reading the PDF's facts; the view completes when it is shown.
  void StartPdf(const QString& file);
  void PdfProbed(const QString& file, const TPdfFacts& facts);
  void CancelPdfProbe();
  // Puts the shown PDF's document and view away (deleted later, their
  // connections gone).
  void DropPdf();
  int PdfPage() const { return pdfView ? pdfView->pageNavigator()->currentPage() : -1; }
  // Shows `page` (0-based) from its top at the zoom shown.
  void JumpToPage(int page);
  // The zoom the pages are shown at (1 = their printed size), also when
  // fitted to the view.
  double PdfZoom() const;
  // Shows the pages at `zoom`, the page shown before staying in view.
  void SetPdfZoom(double zoom);
  void UpdateZoomBox();
  bool ShowImage(const QString& file);
  void ShowHtmlFile(const QString& file, qint64 size);
  // Starts reading a drawing; the view completes when it is shown.
  void StartDrawing(const QString& file);
  void DrawingLoaded(const QString& file);
  void ShowTextFile(const QString& file, qint64 size);
  // Prepares an XML file: at once when it is small, otherwise off the GUI
  // thread (Busy() stays true until it is shown). True when it finished.
  bool StartXml(const QString& file, qint64 size);
  // Starts `work` for the current job off the GUI thread; its result is
  // shown unless another navigation came first.
  void RunInBackground(std::function<void(TXmlPromise&)> work);
  // The paging of the job can be used: its reading has ended.
  bool JobRead() const { return job && !watcher; }
  void ApplyXml(const TXmlPrepared& prepared);
  void ShowRecordPage(std::size_t first);
  void UpdateRecordBar();
  void CancelJob();
  void Finish();
  // The tree of the job's document: the first levels at once, deeper ones
  // when their parent is first expanded.
  void ShowTree(const TXmlPrepared& prepared);
  void PopulateItem(QTreeWidgetItem* item);
  QTreeWidgetItem* MakeItem(QTreeWidgetItem* parent, xmlNode* node, int depth);
  void ShowHtml(const QString& htmlText, const QString& folder);
  // What the document may read: the folders set by the owner, the
  // document's own folder and its original's.
  TXmlSandbox Sandbox(std::uint64_t maxBytes = kSandboxMaxFileBytes) const;
  QString OriginFolder() const { return QFileInfo(origin).absolutePath(); }

  QByteArray ReadHead(const QString& file, qint64 max, bool* cut = nullptr);
  void SetNote(const QString& s) {
    note->setText(s);
    note->setVisible(!s.isEmpty());
  }
  void UpdatePageLabel();
  void UpdateImage();
};

void TPreviewView::Impl::Build() {
  auto* layout = new QVBoxLayout(q);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  note = new QLabel(q);
  note->setObjectName(QStringLiteral("PreviewNote"));
  note->setWordWrap(true);
  note->setMargin(4);
  note->setStyleSheet(QStringLiteral("background:#ffffe1; color:#000000;"));
  note->hide();
  layout->addWidget(note);
  // Paging through the records of a large styled view.
  recordBar = new QWidget(q);
  recordBar->setObjectName(QStringLiteral("RecordBar"));
  auto* bar = new QHBoxLayout(recordBar);
  bar->setContentsMargins(4, 2, 4, 2);
  prevRecords =
      new QPushButton(QCoreApplication::translate("TPreviewView", "◀ 前の %1 件").arg(kPageRecords), recordBar);
  prevRecords->setObjectName(QStringLiteral("btnPrevRecords"));
  recordLabel = new QLabel(recordBar);
  recordLabel->setObjectName(QStringLiteral("lblRecords"));
  nextRecords =
      new QPushButton(QCoreApplication::translate("TPreviewView", "次の %1 件 ▶").arg(kPageRecords), recordBar);
  nextRecords->setObjectName(QStringLiteral("btnNextRecords"));
  bar->addWidget(prevRecords);
  bar->addWidget(recordLabel);
  bar->addWidget(nextRecords);
  bar->addStretch(1);
  recordBar->hide();
  layout->addWidget(recordBar);
  QObject::connect(prevRecords, &QPushButton::clicked, q, [this] {
    if (job) ShowRecordPage(job->First >= kPageRecords ? job->First - kPageRecords : 0);
  });
  QObject::connect(nextRecords, &QPushButton::clicked, q, [this] {
    if (job && job->First + kPageRecords < job->Records.Nodes.size()) ShowRecordPage(job->First + kPageRecords);
  });
  stack = new QStackedWidget(q);
  layout->addWidget(stack, 1);

  blankPage = new QWidget(stack);
  blankPage->setObjectName(QStringLiteral("BlankPage"));
  blankPage->setAutoFillBackground(true);
  QPalette pal = blankPage->palette();
  pal.setColor(QPalette::Window, Qt::white);
  blankPage->setPalette(pal);
  stack->addWidget(blankPage);

  html = new TSandboxBrowser(stack);
  html->setObjectName(QStringLiteral("HtmlView"));
  html->setOpenLinks(false);
  QObject::connect(html, &QTextBrowser::anchorClicked, q, [this](const QUrl& url) {
    QUrl target = url.isRelative() ? QUrl::fromLocalFile(OriginFolder() + u'/').resolved(url) : url;
    if (!target.isLocalFile()) {
      if (opener) opener(target);
      return;
    }
    // A link leads only to files the page itself may read.
    const std::string local = ResolveCase(target.toLocalFile().toStdString());
    if (SandboxCanonical(Sandbox(), local).empty()) {
      SetNote(QCoreApplication::translate("TPreviewView", "納品データの外のファイルは開きません: %1")
                  .arg(target.toLocalFile()));
      return;
    }
    if (QFileInfo(QString::fromStdString(local)).isFile())
      q->Navigate(QString::fromStdString(local));
    else if (opener)
      opener(target);
  });
  stack->addWidget(html);

  text = new QPlainTextEdit(stack);
  text->setObjectName(QStringLiteral("TextView"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  UseSourceFont(text);
  stack->addWidget(text);

  tree = new QTreeWidget(stack);
  tree->setObjectName(QStringLiteral("XmlTree"));
  tree->setColumnCount(2);
  tree->setHeaderLabels(
      {QCoreApplication::translate("TPreviewView", "要素"), QCoreApplication::translate("TPreviewView", "内容")});
  tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  QObject::connect(tree, &QTreeWidget::itemExpanded, q, [this](QTreeWidgetItem* item) { PopulateItem(item); });
  stack->addWidget(tree);

  stack->addWidget(BuildPdfPage());
  stack->addWidget(BuildImagePage());
  stack->addWidget(BuildOtherPage());
  drawing = new TDrawingView(stack);
  QObject::connect(drawing, &TDrawingView::Loaded, q, [this](const QString& file) { DrawingLoaded(file); });
  stack->addWidget(drawing);
  stack->setCurrentWidget(blankPage);
}

void TPreviewView::Impl::StartDrawing(const QString& file) {
  drawingPending = true;
  SetNote(QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます…").arg(QFileInfo(origin).fileName()));
  kind = QStringLiteral("blank");
  stack->setCurrentWidget(blankPage);
  drawing->SetDeliveryFolders(sandboxFolders);
  drawing->Open(file, origin);
}

void TPreviewView::Impl::DrawingLoaded(const QString& file) {
  if (!drawingPending || file != path) return;
  drawingPending = false;
  SetNote(QString());
  if (drawing->Scene()) {
    kind = QStringLiteral("drawing");
    // The drawing view tells a drawing's problem in its own note, above
    // the sheet; a second one here would say it twice.
    rendered = drawing->Problem();
    stack->setCurrentWidget(drawing);
  } else {
    // Not a drawing after all: its facts and the reason.
    ShowOther(file, drawing->Problem());
  }
  Finish();
}

QWidget* TPreviewView::Impl::BuildPdfPage() {
  pdfPage = new QWidget(stack);
  pdfLayout = new QVBoxLayout(pdfPage);
  pdfLayout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  auto button = [&](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, pdfPage);
    b->setObjectName(QString::fromLatin1(name));
    bar->addWidget(b);
    return b;
  };
  prevPage = button("btnPrevPage", QCoreApplication::translate("TPreviewView", "◀ 前のページ"));
  // "2 / 5": the page shown, typed over and Enter to go to another.
  pageBox = new QSpinBox(pdfPage);
  pageBox->setObjectName(QStringLiteral("spnPage"));
  pageBox->setButtonSymbols(QAbstractSpinBox::NoButtons);
  pageBox->setKeyboardTracking(false);
  pageBox->setAlignment(Qt::AlignCenter);
  pageBox->setToolTip(QCoreApplication::translate("TPreviewView", "ページ番号 (入力して Enter で移動)"));
  // Enter goes to the page's top also when it is the page shown.
  pageBox->installEventFilter(q);
  bar->addWidget(pageBox);
  nextPage = button("btnNextPage", QCoreApplication::translate("TPreviewView", "次のページ ▶"));
  bar->addStretch(1);
  QPushButton* fitWidth = button("btnPdfFitWidth", QCoreApplication::translate("TPreviewView", "幅に合わせる"));
  QPushButton* fitPage = button("btnPdfFitPage", QCoreApplication::translate("TPreviewView", "全体を表示"));
  QPushButton* zoomOut = button("btnPdfZoomOut", QCoreApplication::translate("TPreviewView", "－"));
  zoomBox = new QComboBox(pdfPage);
  zoomBox->setObjectName(QStringLiteral("cbxPdfZoom"));
  zoomBox->setEditable(true);
  zoomBox->setInsertPolicy(QComboBox::NoInsert);
  zoomBox->setToolTip(QCoreApplication::translate("TPreviewView", "表示倍率"));
  for (int percent : {25, 50, 75, 100, 125, 150, 200, 300, 400}) zoomBox->addItem(QStringLiteral("%1%").arg(percent));
  zoomBox->lineEdit()->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\s*\\d{0,4}\\s*%?\\s*")), zoomBox));
  bar->addWidget(zoomBox);
  QPushButton* zoomIn = button("btnPdfZoomIn", QCoreApplication::translate("TPreviewView", "＋"));
  pdfLayout->addLayout(bar);

  QObject::connect(prevPage, &QPushButton::clicked, q, [this] { JumpToPage(PdfPage() - 1); });
  QObject::connect(nextPage, &QPushButton::clicked, q, [this] { JumpToPage(PdfPage() + 1); });
  QObject::connect(pageBox, &QSpinBox::valueChanged, q, [this](int page) { JumpToPage(page - 1); });
  // The first and the last page, from anywhere on the PDF page.
  auto* first = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), pdfPage);
  auto* last = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_End), pdfPage);
  for (QShortcut* s : {first, last}) s->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(first, &QShortcut::activated, q, [this] { JumpToPage(0); });
  QObject::connect(last, &QShortcut::activated, q, [this] {
    if (pdfDoc) JumpToPage(pdfDoc->pageCount() - 1);
  });
  auto fit = [this](QPdfView::ZoomMode mode) {
    if (!pdfView) return;
    const int page = PdfPage();
    pdfView->setZoomMode(mode);
    JumpToPage(page);
    UpdateZoomBox();
  };
  QObject::connect(fitWidth, &QPushButton::clicked, q, [fit] { fit(QPdfView::ZoomMode::FitToWidth); });
  QObject::connect(fitPage, &QPushButton::clicked, q, [fit] { fit(QPdfView::ZoomMode::FitInView); });
  QObject::connect(zoomIn, &QPushButton::clicked, q, [this] { SetPdfZoom(PdfZoom() * 1.25); });
  QObject::connect(zoomOut, &QPushButton::clicked, q, [this] { SetPdfZoom(PdfZoom() * 0.8); });
  auto typedZoom = [this](const QString& text) {
    QString digits = text;
    digits.remove(u'%');
    bool ok = false;
    const int percent = digits.trimmed().toInt(&ok);
    if (ok && percent > 0)
      SetPdfZoom(percent / 100.0);
    else
      UpdateZoomBox();
  };
  QObject::connect(zoomBox->lineEdit(), &QLineEdit::returnPressed, q,
                   [this, typedZoom] { typedZoom(zoomBox->currentText()); });
  QObject::connect(zoomBox, &QComboBox::activated, q, [this, typedZoom](int index) {
    typedZoom(zoomBox->itemText(index));
  });
  return pdfPage;
}

void TPreviewView::Impl::DropPdf() {
  if (pdfView) {
    pdfView->viewport()->removeEventFilter(q);
    QObject::disconnect(pdfView, nullptr, q, nullptr);
    QObject::disconnect(pdfView->pageNavigator(), nullptr, q, nullptr);
    // Gone from the page and from findChild at once; deleted when control
    // is back in the event loop (a paint or a page rendered may be on its way).
    pdfView->setObjectName(QString());
    pdfView->hide();
    pdfLayout->removeWidget(pdfView);
    pdfView->setDocument(nullptr);
    pdfView->deleteLater();
    pdfView = nullptr;
  }
  if (pdfDoc) {
    QObject::disconnect(pdfDoc, nullptr, q, nullptr);
    pdfDoc->deleteLater();
    pdfDoc = nullptr;
  }
}

void TPreviewView::Impl::JumpToPage(int page) {
  if (!pdfView || !pdfDoc || page < 0 || page >= pdfDoc->pageCount()) {
    UpdatePageLabel();
    return;
  }
  QPdfPageNavigator* nav = pdfView->pageNavigator();
  // The view scrolls to a page's top when the page changes; for the page
  // shown already it goes there by way of another one.
  if (nav->currentPage() == page) {
    if (pdfDoc->pageCount() == 1) {
      pdfView->verticalScrollBar()->setValue(0);
      UpdatePageLabel();
      return;
    }
    nav->jump(page == 0 ? 1 : 0, QPointF(), nav->currentZoom());
  }
  nav->jump(page, QPointF(), nav->currentZoom());
  UpdatePageLabel();
}

double TPreviewView::Impl::PdfZoom() const {
  if (!pdfView || !pdfDoc) return 1.0;
  if (pdfView->zoomMode() == QPdfView::ZoomMode::Custom) return pdfView->zoomFactor();
  // Fitted: the factor the view chose, from the page's size and its own.
  const QSizeF pt = pdfDoc->pagePointSize(std::max(0, PdfPage()));
  const qreal screen = (pdfView->screen() ? pdfView->screen()->logicalDotsPerInch() : 96.0) / 72.0;
  if (pt.width() <= 0 || pt.height() <= 0) return pdfView->zoomFactor();
  const QMargins m = pdfView->documentMargins();
  const QSize room = pdfView->viewport()->size() - QSize(m.left() + m.right(), pdfView->pageSpacing());
  const double byWidth = room.width() / (pt.width() * screen);
  if (pdfView->zoomMode() == QPdfView::ZoomMode::FitToWidth) return byWidth;
  return std::min(byWidth, room.height() / (pt.height() * screen));
}

void TPreviewView::Impl::SetPdfZoom(double zoom) {
  if (!pdfView) return;
  zoom = std::clamp(zoom, 0.1, 10.0);
  const int page = PdfPage();
  // The point of the document at the view's middle stays there: the same
  // share of the document's length and width before and after.
  QScrollBar* v = pdfView->verticalScrollBar();
  QScrollBar* h = pdfView->horizontalScrollBar();
  const QSize view = pdfView->viewport()->size();
  const double down = v->maximum() > 0 ? (v->value() + view.height() / 2.0) / (v->maximum() + view.height()) : -1;
  const double across = h->maximum() > 0 ? (h->value() + view.width() / 2.0) / (h->maximum() + view.width()) : 0.5;
  pdfView->setZoomMode(QPdfView::ZoomMode::Custom);
  pdfView->setZoomFactor(zoom);
  if (h->maximum() > 0) h->setValue(qRound(across * (h->maximum() + view.width()) - view.width() / 2.0));
  if (down >= 0 && v->maximum() > 0) v->setValue(qRound(down * (v->maximum() + view.height()) - view.height() / 2.0));
  // From a document that fitted in the view, or when the shares drifted:
  // the page's top.
  if (down < 0 || PdfPage() != page) JumpToPage(page);
  UpdateZoomBox();
}

void TPreviewView::Impl::UpdateZoomBox() {
  if (!zoomBox) return;
  zoomBox->setCurrentIndex(-1);
  zoomBox->setEditText(QStringLiteral("%1%").arg(qRound(PdfZoom() * 100)));
}

QWidget* TPreviewView::Impl::BuildImagePage() {
  imagePage = new QWidget(stack);
  auto* v = new QVBoxLayout(imagePage);
  v->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  auto button = [&](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, imagePage);
    b->setObjectName(QString::fromLatin1(name));
    bar->addWidget(b);
    return b;
  };
  QPushButton* fit = button("btnImageFit", QCoreApplication::translate("TPreviewView", "全体を表示"));
  QPushButton* zoomOut = button("btnImageZoomOut", QCoreApplication::translate("TPreviewView", "－"));
  QPushButton* zoomIn = button("btnImageZoomIn", QCoreApplication::translate("TPreviewView", "＋"));
  bar->addStretch(1);
  v->addLayout(bar);
  imageScroll = new QScrollArea(imagePage);
  imageScroll->setObjectName(QStringLiteral("ImageScroll"));
  imageScroll->setAlignment(Qt::AlignCenter);
  imageLabel = new QLabel;
  imageLabel->setObjectName(QStringLiteral("ImageView"));
  imageLabel->setAlignment(Qt::AlignCenter);
  imageScroll->setWidget(imageLabel);
  imageScroll->setWidgetResizable(false);
  imageScroll->viewport()->installEventFilter(q);
  v->addWidget(imageScroll, 1);

  auto zoom = [this](double factor) {
    if (image.isNull()) return;
    if (imageFit) imageScale = imageLabel->pixmap().deviceIndependentSize().width() / std::max(1, image.width());
    imageFit = false;
    imageScale = std::clamp(imageScale * factor, 0.02, 16.0);
    UpdateImage();
  };
  QObject::connect(fit, &QPushButton::clicked, q, [this] {
    imageFit = true;
    UpdateImage();
  });
  QObject::connect(zoomIn, &QPushButton::clicked, q, [zoom] { zoom(1.25); });
  QObject::connect(zoomOut, &QPushButton::clicked, q, [zoom] { zoom(0.8); });
  return imagePage;
}

QWidget* TPreviewView::Impl::BuildOtherPage() {
  otherPage = new QWidget(stack);
  auto* v = new QVBoxLayout(otherPage);
  otherInfo = new QLabel(otherPage);
  otherInfo->setObjectName(QStringLiteral("OtherInfo"));
  otherInfo->setTextFormat(Qt::PlainText);
  otherInfo->setWordWrap(true);
  otherInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  v->addWidget(otherInfo);
  openDefault = new QPushButton(QCoreApplication::translate("TPreviewView", "既定のアプリケーションで開く"), otherPage);
  openDefault->setObjectName(QStringLiteral("btnOpenDefault"));
  auto* row = new QHBoxLayout;
  row->addWidget(openDefault);
  row->addStretch(1);
  v->addLayout(row);
  v->addStretch(1);
  QObject::connect(openDefault, &QPushButton::clicked, q, [this] {
    const QString file = FactsFile(path);
    if (file.isEmpty() || !QFileInfo(file).isFile() || !opener) return;
    if (!opener(QUrl::fromLocalFile(file)))
      SetNote(QCoreApplication::translate("TPreviewView",
                                          "この種類のファイルを開くアプリケーションが登録されていません。"));
  });
  return otherPage;
}

QByteArray TPreviewView::Impl::ReadHead(const QString& file, qint64 max, bool* cut) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = f.read(max);
  if (cut) *cut = f.size() > max;
  return bytes;
}

void TPreviewView::Impl::ShowBlank() {
  kind = QStringLiteral("blank");
  stack->setCurrentWidget(blankPage);
}

QString TPreviewView::Impl::FactsFile(const QString& file) const {
  // A preview copy names its original: the delivery's own file is the one
  // the user knows, and the one to open.
  if (file == path && origin != path && QFileInfo(origin).isFile() &&
      !SandboxCanonical(Sandbox(), origin.toStdString()).empty())
    return origin;
  return file;
}

void TPreviewView::Impl::ShowOther(const QString& shown, const QString& why) {
  kind = QStringLiteral("other");
  const QString file = FactsFile(shown);
  QFileInfo info(file);
  QStringList lines;
  lines << QCoreApplication::translate("TPreviewView", "ファイル名: %1").arg(info.fileName());
  lines << QCoreApplication::translate("TPreviewView", "場所: %1").arg(QDir::toNativeSeparators(info.absolutePath()));
  if (!info.exists()) {
    lines << QCoreApplication::translate("TPreviewView", "このファイルは存在しません。");
    openDefault->setEnabled(false);
  } else {
    QMimeDatabase mimes;
    lines << QCoreApplication::translate("TPreviewView", "種類: %1").arg(mimes.mimeTypeForFile(info).comment());
    lines << QCoreApplication::translate("TPreviewView", "サイズ: %1").arg(SizeText(info.size()));
    if (!why.isEmpty()) lines << why;
    openDefault->setEnabled(info.isFile());
  }
  rendered = lines.join(u'\n');
  otherInfo->setText(rendered);
  stack->setCurrentWidget(otherPage);
}

void TPreviewView::Impl::StartPdf(const QString& file) {
  kind = QStringLiteral("blank");
  stack->setCurrentWidget(blankPage);
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  pdfProbeCancel = cancel;
  auto* probe = new QFutureWatcher<TPdfFacts>(q);
  pdfProbe = probe;
  // Said only when the reading takes a moment.
  QTimer::singleShot(300, probe, [this, probe] {
    if (probe == pdfProbe)
      SetNote(QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます…").arg(QFileInfo(origin).fileName()));
  });
  QObject::connect(probe, &QFutureWatcherBase::finished, q, [this, probe, file] {
    if (probe != pdfProbe) return;
    const TPdfFacts facts = probe->future().resultCount() > 0 ? probe->result() : TPdfFacts();
    pdfProbe = nullptr;
    pdfProbeCancel.reset();
    probe->deleteLater();
    PdfProbed(file, facts);
  });
  const std::string local = file.toStdString();
  probe->setFuture(QtConcurrent::run([local, cancel] { return ReadPdfFacts(local, cancel.get()); }));
}

void TPreviewView::Impl::PdfProbed(const QString& file, const TPdfFacts& facts) {
  SetNote(QString());
  const bool shown = facts.State == TPdfFacts::Status::Read && facts.Pages > 0 && ShowPdf(file);
  if (!shown) {
    // Its facts, and why it is not shown when the reading failed.
    SetNote(QCoreApplication::translate("TPreviewView", "PDF として読めませんでした。"));
    ShowOther(file, QString::fromStdString(PdfUnreadText(facts)));
  }
  Finish();
}

void TPreviewView::Impl::CancelPdfProbe() {
  if (pdfProbeCancel) *pdfProbeCancel = true;
  pdfProbeCancel.reset();
  if (pdfProbe) {
    pdfProbe->disconnect();
    // Deleted when its reading has ended (at once, once cancelled).
    QObject::connect(pdfProbe, &QFutureWatcherBase::finished, pdfProbe, &QObject::deleteLater);
    if (pdfProbe->isFinished()) pdfProbe->deleteLater();
    pdfProbe = nullptr;
  }
}

bool TPreviewView::Impl::ShowPdf(const QString& file) {
  DropPdf();
  auto* doc = new QPdfDocument(q);
  if (doc->load(file) != QPdfDocument::Error::None || doc->pageCount() <= 0) {
    delete doc;
    return false;
  }
  pdfDoc = doc;
  pdfView = new QPdfView(pdfPage);
  pdfView->setObjectName(QStringLiteral("PdfView"));
  // Every page one below the other: the wheel and PageDown go on across pages.
  pdfView->setPageMode(QPdfView::PageMode::MultiPage);
  pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  pdfView->setDocument(pdfDoc);
  pdfLayout->addWidget(pdfView, 1);
  // Ctrl with the wheel zooms, as in other viewers.
  pdfView->viewport()->installEventFilter(q);
  QObject::connect(pdfView->pageNavigator(), &QPdfPageNavigator::currentPageChanged, q,
                   [this](int) { UpdatePageLabel(); });
  kind = QStringLiteral("pdf");
  rendered = pdfDoc->metaData(QPdfDocument::MetaDataField::Title).toString();
  {
    const QSignalBlocker block(pageBox);
    pageBox->setRange(1, pdfDoc->pageCount());
    pageBox->setSuffix(QStringLiteral(" / %1").arg(pdfDoc->pageCount()));
  }
  UpdatePageLabel();
  stack->setCurrentWidget(pdfPage);
  UpdateZoomBox();
  return true;
}

void TPreviewView::Impl::UpdatePageLabel() {
  const int count = pdfDoc ? pdfDoc->pageCount() : 0;
  const int page = std::clamp(PdfPage(), 0, std::max(0, count - 1));
  const QSignalBlocker block(pageBox);
  pageBox->setValue(page + 1);
  prevPage->setEnabled(page > 0);
  nextPage->setEnabled(page + 1 < count);
}

bool TPreviewView::Impl::ShowImage(const QString& file) {
  QImageReader reader(file);
  reader.setAutoTransform(true);
  QImage img = reader.read();
  if (img.isNull()) return false;
  image = QPixmap::fromImage(img);
  imageFit = true;
  imageScale = 1.0;
  kind = QStringLiteral("image");
  rendered.clear();
  stack->setCurrentWidget(imagePage);
  UpdateImage();
  return true;
}

void TPreviewView::Impl::UpdateImage() {
  if (image.isNull()) {
    imageLabel->clear();
    return;
  }
  QSize target;
  if (imageFit) {
    QSize room = imageScroll->viewport()->size();
    if (room.width() < 16 || room.height() < 16) room = QSize(640, 480);
    // A small image is shown at its own size, a large one shrunk to fit.
    target = image.size().width() <= room.width() && image.size().height() <= room.height()
                 ? image.size()
                 : image.size().scaled(room, Qt::KeepAspectRatio);
  } else {
    target = image.size() * imageScale;
  }
  target = target.expandedTo(QSize(1, 1));
  // Scaled for the screen's pixels, not the layout's: on a 1.5x or 2x screen
  // a shrunk image would otherwise be shrunk to the layout size and blown up
  // again, blurred.
  const qreal dpr = imageLabel->devicePixelRatioF();
  const QSize device = (QSizeF(target) * dpr).toSize().expandedTo(QSize(1, 1));
  QPixmap shown = device == image.size() ? image : image.scaled(device, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  shown.setDevicePixelRatio(dpr);
  imageLabel->setPixmap(shown);
  imageLabel->resize(target);
}

void TPreviewView::Impl::ShowHtml(const QString& htmlText, const QString& folder) {
  kind = QStringLiteral("html");
  rendered = htmlText;
  html->Box = Sandbox(kMaxResourceBytes);
  html->document()->clear();
  html->document()->setBaseUrl(QUrl::fromLocalFile(folder + u'/'));
  html->setHtml(htmlText);
  stack->setCurrentWidget(html);
}

TXmlSandbox TPreviewView::Impl::Sandbox(std::uint64_t maxBytes) const {
  TXmlSandbox box;
  for (const QString& f : sandboxFolders) box.Folders.push_back(f.toStdString());
  box.Folders.push_back(QFileInfo(path).absolutePath().toStdString());
  box.Folders.push_back(OriginFolder().toStdString());
  box.MaxFileBytes = maxBytes;
  return box;
}

void TPreviewView::Impl::ShowHtmlFile(const QString& file, qint64 size) {
  bool cut = false;
  QByteArray bytes = ReadHead(file, kMaxTextBytes, &cut);
  QString decoded = DecodeText(bytes, DeclaredCharset(bytes));
  if (cut) {
    // Laying out a page this large would hold the program up; its text is
    // shown instead.
    SetNote(QCoreApplication::translate("TPreviewView",
                                        "ファイルが大きいため (%1)、先頭の %2 だけをテキストとして表示しています。")
                .arg(SizeText(size), SizeText(kMaxTextBytes)));
    kind = QStringLiteral("text");
    rendered = decoded;
    FillPlainTextInPieces(text, decoded);
    stack->setCurrentWidget(text);
    return;
  }
  ShowHtml(decoded, OriginFolder());
}

void TPreviewView::Impl::ShowTextFile(const QString& file, qint64 size) {
  bool cut = false;
  QByteArray bytes = ReadHead(file, kMaxTextBytes, &cut);
  if (cut) {
    // Do not end in the middle of a double-byte character or a line.
    int lastBreak = bytes.lastIndexOf('\n');
    if (lastBreak > 0) bytes.truncate(lastBreak + 1);
    SetNote(QCoreApplication::translate("TPreviewView", "ファイルが大きいため (%1)、先頭の %2 だけを表示しています。")
                .arg(SizeText(size), SizeText(kMaxTextBytes)));
  }
  kind = QStringLiteral("text");
  rendered = DecodeText(bytes, QString());
  FillPlainTextInPieces(text, rendered);
  stack->setCurrentWidget(text);
}

bool TPreviewView::Impl::StartXml(const QString& file, qint64 size) {
  job = std::make_shared<TXmlJob>();
  job->Path = file;
  job->Origin = origin;
  job->Box = Sandbox();
  job->Box.Cancel = &job->Cancel;
  if (size <= kSyncXmlBytes) {
    if (std::shared_ptr<TXmlPrepared> prepared = PrepareXmlNow(job)) ApplyXml(*prepared);
    return true;
  }
  SetNote(QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます…").arg(QFileInfo(origin).fileName()));
  kind = QStringLiteral("blank");
  stack->setCurrentWidget(blankPage);
  std::shared_ptr<TXmlJob> j = job;
  RunInBackground([j](TXmlPromise& promise) { PrepareXml(j, promise); });
  return false;
}

void TPreviewView::Impl::RunInBackground(std::function<void(TXmlPromise&)> work) {
  busy = true;
  if (watcher) {
    watcher->disconnect();
    watcher->deleteLater();
  }
  // The work holds the job, never the view: a view closed meanwhile only
  // drops the result.
  watcher = new QFutureWatcher<std::shared_ptr<TXmlPrepared>>(q);
  auto* w = watcher;
  // An early first page is shown (and the navigation complete) while the
  // file is still being read; the final result then only enables paging.
  QObject::connect(w, &QFutureWatcherBase::resultReadyAt, q, [this, w](int index) {
    if (w != watcher) return;
    std::shared_ptr<TXmlPrepared> prepared = w->resultAt(index);
    if (!prepared || !prepared->Early) return;
    busy = false;
    ApplyXml(*prepared);
    Finish();
  });
  QObject::connect(w, &QFutureWatcherBase::finished, q, [this, w] {
    if (w != watcher) return;
    const int n = w->future().resultCount();
    std::shared_ptr<TXmlPrepared> prepared = n > 0 ? w->resultAt(n - 1) : nullptr;
    const bool wasBusy = busy;
    watcher = nullptr;
    w->deleteLater();
    busy = false;
    if (prepared && !prepared->Early) ApplyXml(*prepared);
    UpdateRecordBar();
    if (wasBusy) Finish();
  });
  watcher->setFuture(QtConcurrent::run(std::move(work)));
}

void TPreviewView::Impl::CancelJob() {
  if (job) job->Cancel = true;
  // The tree's items point into the document that goes with the job.
  treeDoc = nullptr;
  earlyTreeDoc.reset();
  job.reset();
  if (watcher) {
    watcher->disconnect();
    watcher->deleteLater();
    watcher = nullptr;
  }
  recordBar->hide();
}

void TPreviewView::Impl::Finish() {
  busy = false;
  emit q->NavigateComplete(path);
  emit q->DocumentComplete(path);
}

void TPreviewView::Impl::ApplyXml(const TXmlPrepared& prepared) {
  SetNote(prepared.Note);
  switch (prepared.Shown) {
    case TXmlPrepared::Kind::Text:
      ShowTextFile(path, QFileInfo(path).size());
      break;
    case TXmlPrepared::Kind::Refused:
      ShowOther(path, QString::fromStdString(SandboxStatusText(prepared.Status)));
      break;
    case TXmlPrepared::Kind::Html: {
      // The bytes are in the output encoding the stylesheet names.
      QString declared = !prepared.Encoding.isEmpty() ? prepared.Encoding : DeclaredCharset(prepared.Html);
      if (declared.isEmpty()) declared = QStringLiteral("utf-8");
      ShowHtml(DecodeText(prepared.Html, declared), OriginFolder());
      break;
    }
    case TXmlPrepared::Kind::Tree:
      ShowTree(prepared);
      break;
  }
  UpdateRecordBar();
}

void TPreviewView::Impl::UpdateRecordBar() {
  QLocale c(QLocale::Japanese);
  if (job && watcher && !busy && kind == u"html") {
    // A first page shown while the file is still being read.
    recordLabel->setText(QCoreApplication::translate("TPreviewView", "1 – %1 件目 / 読み込み中…").arg(kPageRecords));
    prevRecords->setEnabled(false);
    nextRecords->setEnabled(false);
    recordBar->show();
    return;
  }
  const std::size_t total = JobRead() ? job->Records.Nodes.size() : 0;
  if (kind != u"html" || total <= kPageRecords) {
    recordBar->hide();
    return;
  }
  const std::size_t last = std::min(total, job->First + kPageRecords);
  recordLabel->setText(
      QCoreApplication::translate("TPreviewView", "%1 – %2 件目 / %3 件")
          .arg(c.toString(qulonglong(job->First + 1)), c.toString(qulonglong(last)), c.toString(qulonglong(total))));
  prevRecords->setEnabled(job->First > 0 && !busy);
  nextRecords->setEnabled(last < total && !busy);
  recordBar->show();
}

void TPreviewView::Impl::ShowRecordPage(std::size_t first) {
  if (!JobRead() || busy) return;
  job->First = first;
  std::shared_ptr<TXmlJob> j = job;
  RunInBackground([j](TXmlPromise& promise) {
    auto out = std::make_shared<TXmlPrepared>();
    TransformPage(*j, *out);
    promise.addResult(out);
  });
  UpdateRecordBar();
}

QTreeWidgetItem* TPreviewView::Impl::MakeItem(QTreeWidgetItem* parent, xmlNode* node, int depth) {
  auto [label, value] = ElementTexts(treeDoc, node);
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
  ++treeItems;
  item->setText(0, label);
  item->setText(1, value);
  item->setToolTip(1, value);
  item->setData(0, Qt::UserRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(node)));
  item->setData(0, Qt::UserRole + 1, depth);
  if (HasElementChildren(node)) {
    if (depth + 1 >= kMaxTreeDepth) {
      item->setText(1, QCoreApplication::translate("TPreviewView", "… 以降は表示しません"));
    } else {
      // Its children are made when it is first expanded.
      item->setData(0, Qt::UserRole + 2, true);
      item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
  }
  return item;
}

void TPreviewView::Impl::PopulateItem(QTreeWidgetItem* item) {
  if (!item || !item->data(0, Qt::UserRole + 2).toBool() || !treeDoc) return;
  item->setData(0, Qt::UserRole + 2, false);
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  auto* node = reinterpret_cast<xmlNode*>(item->data(0, Qt::UserRole).value<quintptr>());
  const int depth = item->data(0, Qt::UserRole + 1).toInt();
  for (xmlNode* c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (treeItems >= kMaxTreeItems) {
      SetNote(QCoreApplication::translate("TPreviewView", "要素が多いため、先頭の %1 個だけを表示しています。")
                  .arg(kMaxTreeItems));
      break;
    }
    MakeItem(item, c, depth + 1);
  }
}

void TPreviewView::Impl::ShowTree(const TXmlPrepared& prepared) {
  kind = QStringLiteral("xmltree");
  tree->clear();
  treeItems = 0;
  rendered = prepared.Dump;
  // The early tree's own copy, or the job's document once it is read.
  earlyTreeDoc = prepared.TreeDoc;
  treeDoc = earlyTreeDoc ? earlyTreeDoc.get() : job ? job->Doc.get() : nullptr;
  xmlNode* rootNode = treeDoc ? xmlDocGetRootElement(treeDoc) : nullptr;
  if (!rootNode) {
    stack->setCurrentWidget(tree);
    return;
  }
  tree->setUpdatesEnabled(false);
  // The first levels, breadth first, up to a budget; the rest on expansion.
  QTreeWidgetItem* root = MakeItem(nullptr, rootNode, 0);
  std::vector<QTreeWidgetItem*> level{root};
  for (std::size_t i = 0; i < level.size() && treeItems < kEagerTreeItems; ++i) {
    PopulateItem(level[i]);
    for (int k = 0; k < level[i]->childCount(); ++k) level.push_back(level[i]->child(k));
  }
  // Items were made with their parents collapsed; expanding the root shows
  // the groups of the file.
  root->setExpanded(true);
  if (prepared.TooDeep && !prepared.TooMany && note->text().isEmpty())
    SetNote(QCoreApplication::translate("TPreviewView", "階層が深いため、%1 階層より深い要素は表示しません。")
                .arg(kMaxTreeDepth));
  if (prepared.TooMany && note->text().isEmpty())
    SetNote(QCoreApplication::translate("TPreviewView", "要素が多いため、先頭の %1 個だけを表示しています。")
                .arg(kMaxTreeItems));
  tree->setUpdatesEnabled(true);
  stack->setCurrentWidget(tree);
}

TPreviewView::TPreviewView(QWidget* parent) : QWidget(parent), d_(new Impl) {
  setObjectName(QStringLiteral("WebBrowser"));
  d_->q = this;
  d_->opener = [](const QUrl& url) { return OpenWithDesktop(url); };
  d_->Build();
}

TPreviewView::~TPreviewView() {
  d_->CancelJob();
  d_->CancelPdfProbe();
  if (d_->pdfView) d_->pdfView->viewport()->removeEventFilter(this);
  delete d_;
}

void TPreviewView::Navigate(const QString& path) { Navigate(path, path); }

void TPreviewView::Navigate(const QString& path, const QString& origin) {
  // Whatever was being prepared for the last file is of no use now.
  d_->CancelJob();
  d_->CancelPdfProbe();
  if (d_->drawingPending || d_->kind == u"drawing") d_->drawing->SetDrawing(nullptr);
  d_->drawingPending = false;
  d_->busy = true;
  d_->path = path;
  d_->origin = origin.isEmpty() ? path : origin;
  d_->rendered.clear();
  d_->SetNote(QString());
  d_->image = QPixmap();
  d_->imageLabel->clear();
  d_->DropPdf();

  QFileInfo info(path);
  if (path.isEmpty() || info.fileName().compare(QStringLiteral("NONE.HTML"), Qt::CaseInsensitive) == 0) {
    d_->ShowBlank();
  } else if (!info.isFile()) {
    d_->ShowOther(path);
  } else if (SandboxCanonical(d_->Sandbox(), path.toStdString()).empty()) {
    // A link that leads out of the delivery is not followed.
    d_->ShowOther(path, QString::fromStdString(SandboxStatusText(TSandboxStatus::Outside)));
    d_->openDefault->setEnabled(false);
  } else {
    QString ext = info.suffix().toUpper();
    QByteArray head = d_->ReadHead(path, 1024);
    QByteArray markup = MarkupHead(head);
    bool shown = false;
    if (head.contains("%PDF-")) {
      // Its facts are read in a worker process first: completion comes later.
      d_->StartPdf(path);
      return;
    } else if (!QImageReader::imageFormat(path).isEmpty()) {
      shown = d_->ShowImage(path);
      if (!shown) d_->SetNote(QCoreApplication::translate("TPreviewView", "画像として読めませんでした。"));
    } else if (ext == u"HTM" || ext == u"HTML" || markup.startsWith("<!doctype html") ||
               markup.startsWith("<html")) {
      d_->ShowHtmlFile(path, info.size());
      shown = true;
    } else if (ext == u"XML" || ext == u"XSL" || ext == u"XSD" || markup.startsWith("<?xml")) {
      // A large file is prepared in the background: completion comes later.
      if (!d_->StartXml(path, info.size())) return;
      shown = true;
    } else if (markup.startsWith("iso-10303-21")) {
      // An SXF drawing (.P21 or .SFC by content), read in the background.
      d_->StartDrawing(path);
      return;
    } else if (ext == u"TXT" || ext == u"CSV" || ext == u"LOG" || ext == u"DTD" || ext == u"INI") {
      d_->ShowTextFile(path, info.size());
      shown = true;
    }
    if (!shown) d_->ShowOther(path);
  }
  d_->Finish();
}

bool TPreviewView::Busy() const { return d_->busy; }
QString TPreviewView::CurrentPath() const { return d_->path; }
QString TPreviewView::RendererKind() const { return d_->kind; }
QString TPreviewView::RenderedText() const { return d_->rendered; }
int TPreviewView::PageCount() const { return d_->kind == u"pdf" && d_->pdfDoc ? d_->pdfDoc->pageCount() : 0; }
QSize TPreviewView::ImageSize() const { return d_->kind == u"image" ? d_->image.size() : QSize(); }
int TPreviewView::CurrentPage() const {
  return d_->kind == u"pdf" ? d_->PdfPage() : -1;
}
QString TPreviewView::Note() const { return d_->note->text(); }
void TPreviewView::SetOpenHandler(OpenHandler handler) { d_->opener = std::move(handler); }
void TPreviewView::SetSandboxFolders(const QStringList& folders) { d_->sandboxFolders = folders; }

bool TPreviewView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel && d_->pdfView && watched == d_->pdfView->viewport() &&
      (static_cast<QWheelEvent*>(event)->modifiers() & Qt::ControlModifier)) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) d_->SetPdfZoom(d_->PdfZoom() * (delta > 0 ? 1.25 : 0.8));
    return true;
  }
  if (event->type() == QEvent::Resize && d_->pdfView && watched == d_->pdfView->viewport()) d_->UpdateZoomBox();
  if (event->type() == QEvent::KeyPress && watched == d_->pageBox) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      const QSignalBlocker block(d_->pageBox);
      d_->pageBox->interpretText();
      d_->JumpToPage(d_->pageBox->value() - 1);
      d_->pageBox->selectAll();
      return true;
    }
  }
  if (event->type() == QEvent::Resize && watched == d_->imageScroll->viewport() && d_->imageFit &&
      d_->kind == u"image")
    d_->UpdateImage();
  return QWidget::eventFilter(watched, event);
}

}  // namespace dlvr
