#include "components/preview_view.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// Element items past this many are left out of the XML tree.
constexpr int kMaxTreeItems = 200000;

// Delivery files say Shift_JIS and mean CP932; libxml2 is told so once.
void InitLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlAddEncodingAlias("CP932", "SHIFT_JIS");
    xmlAddEncodingAlias("CP932", "SHIFT-JIS");
    xmlAddEncodingAlias("CP932", "SJIS");
  });
}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

struct StyleFree {
  void operator()(xsltStylesheet* s) const { xsltFreeStylesheet(s); }
};
using StylePtr = std::unique_ptr<xsltStylesheet, StyleFree>;

// The DTD is read when it is there (for default attributes and entities) and
// its absence is no error; nothing is fetched from the network.
constexpr int kXmlOptions = XML_PARSE_NONET | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR | XML_PARSE_NOWARNING |
                            XML_PARSE_NOERROR | XML_PARSE_NOCDATA | XML_PARSE_HUGE;

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
  QString exact = c.toString(bytes) + QStringLiteral(" バイト");
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

QString HrefOf(const QString& piContent) {
  static const QRegularExpression href(QStringLiteral("href\\s*=\\s*([\"'])(.*?)\\1"));
  auto m = href.match(piContent);
  return m.hasMatch() ? m.captured(2).trimmed() : QString();
}

}  // namespace

struct TPreviewView::Impl {
  TPreviewView* q = nullptr;
  QLabel* note = nullptr;
  QStackedWidget* stack = nullptr;

  QWidget* blankPage = nullptr;
  QTextBrowser* html = nullptr;
  QPlainTextEdit* text = nullptr;
  QTreeWidget* tree = nullptr;

  QWidget* pdfPage = nullptr;
  QPdfDocument* pdfDoc = nullptr;
  QPdfView* pdfView = nullptr;
  QLabel* pageLabel = nullptr;
  QPushButton* prevPage = nullptr;
  QPushButton* nextPage = nullptr;

  QWidget* imagePage = nullptr;
  QScrollArea* imageScroll = nullptr;
  QLabel* imageLabel = nullptr;
  QPixmap image;
  bool imageFit = true;
  double imageScale = 1.0;

  QWidget* otherPage = nullptr;
  QLabel* otherInfo = nullptr;
  QPushButton* openDefault = nullptr;

  bool busy = false;
  QString path;
  QString kind = QStringLiteral("blank");
  QString rendered;
  OpenHandler opener;

  void Build();
  QWidget* BuildPdfPage();
  QWidget* BuildImagePage();
  QWidget* BuildOtherPage();

  void ShowBlank();
  void ShowOther(const QString& file, const QString& why = {});
  bool ShowPdf(const QString& file);
  bool ShowImage(const QString& file);
  void ShowHtmlFile(const QString& file, qint64 size);
  void ShowTextFile(const QString& file, qint64 size);
  void ShowXml(const QString& file);
  bool ShowTransformed(xmlDoc* doc, const QString& file, const QString& href);
  void ShowTree(xmlDoc* doc);
  void ShowHtml(const QString& htmlText, const QString& folder);

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
  note->setStyleSheet(QStringLiteral("background:#ffffe1;"));
  note->hide();
  layout->addWidget(note);
  stack = new QStackedWidget(q);
  layout->addWidget(stack, 1);

  blankPage = new QWidget(stack);
  blankPage->setObjectName(QStringLiteral("BlankPage"));
  blankPage->setAutoFillBackground(true);
  QPalette pal = blankPage->palette();
  pal.setColor(QPalette::Window, Qt::white);
  blankPage->setPalette(pal);
  stack->addWidget(blankPage);

  html = new QTextBrowser(stack);
  html->setObjectName(QStringLiteral("HtmlView"));
  html->setOpenLinks(false);
  QObject::connect(html, &QTextBrowser::anchorClicked, q, [this](const QUrl& url) {
    QUrl target = url.isRelative() ? QUrl::fromLocalFile(QFileInfo(path).absolutePath() + u'/').resolved(url) : url;
    if (target.isLocalFile() && QFileInfo(target.toLocalFile()).isFile())
      q->Navigate(target.toLocalFile());
    else if (opener)
      opener(target);
  });
  stack->addWidget(html);

  text = new QPlainTextEdit(stack);
  text->setObjectName(QStringLiteral("TextView"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  stack->addWidget(text);

  tree = new QTreeWidget(stack);
  tree->setObjectName(QStringLiteral("XmlTree"));
  tree->setColumnCount(2);
  tree->setHeaderLabels({QStringLiteral("要素"), QStringLiteral("内容")});
  tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  stack->addWidget(tree);

  stack->addWidget(BuildPdfPage());
  stack->addWidget(BuildImagePage());
  stack->addWidget(BuildOtherPage());
  stack->setCurrentWidget(blankPage);
}

QWidget* TPreviewView::Impl::BuildPdfPage() {
  pdfPage = new QWidget(stack);
  auto* v = new QVBoxLayout(pdfPage);
  v->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  auto button = [&](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, pdfPage);
    b->setObjectName(QString::fromLatin1(name));
    bar->addWidget(b);
    return b;
  };
  prevPage = button("btnPrevPage", QStringLiteral("◀ 前のページ"));
  pageLabel = new QLabel(pdfPage);
  pageLabel->setObjectName(QStringLiteral("lblPage"));
  bar->addWidget(pageLabel);
  nextPage = button("btnNextPage", QStringLiteral("次のページ ▶"));
  bar->addStretch(1);
  QPushButton* fit = button("btnPdfFitWidth", QStringLiteral("幅に合わせる"));
  QPushButton* zoomOut = button("btnPdfZoomOut", QStringLiteral("－"));
  QPushButton* zoomIn = button("btnPdfZoomIn", QStringLiteral("＋"));
  v->addLayout(bar);

  pdfDoc = new QPdfDocument(q);
  pdfView = new QPdfView(pdfPage);
  pdfView->setObjectName(QStringLiteral("PdfView"));
  pdfView->setPageMode(QPdfView::PageMode::SinglePage);
  pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  pdfView->setDocument(pdfDoc);
  v->addWidget(pdfView, 1);

  auto jump = [this](int delta) {
    QPdfPageNavigator* nav = pdfView->pageNavigator();
    int page = nav->currentPage() + delta;
    if (page < 0 || page >= pdfDoc->pageCount()) return;
    nav->jump(page, QPointF(), nav->currentZoom());
    UpdatePageLabel();
  };
  QObject::connect(prevPage, &QPushButton::clicked, q, [jump] { jump(-1); });
  QObject::connect(nextPage, &QPushButton::clicked, q, [jump] { jump(1); });
  QObject::connect(pdfView->pageNavigator(), &QPdfPageNavigator::currentPageChanged, q,
                   [this](int) { UpdatePageLabel(); });
  QObject::connect(fit, &QPushButton::clicked, q,
                   [this] { pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth); });
  auto zoom = [this](double factor) {
    // Zooming starts from the size shown, also when fitted to the width.
    double current = pdfView->zoomFactor();
    if (pdfView->zoomMode() != QPdfView::ZoomMode::Custom) {
      QSizeF pt = pdfDoc->pagePointSize(std::max(0, pdfView->pageNavigator()->currentPage()));
      if (pt.width() > 0) current = pdfView->viewport()->width() / (pt.width() * pdfView->logicalDpiX() / 72.0);
      pdfView->setZoomMode(QPdfView::ZoomMode::Custom);
    }
    pdfView->setZoomFactor(std::clamp(current * factor, 0.1, 10.0));
  };
  QObject::connect(zoomIn, &QPushButton::clicked, q, [zoom] { zoom(1.25); });
  QObject::connect(zoomOut, &QPushButton::clicked, q, [zoom] { zoom(0.8); });
  return pdfPage;
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
  QPushButton* fit = button("btnImageFit", QStringLiteral("全体を表示"));
  QPushButton* zoomOut = button("btnImageZoomOut", QStringLiteral("－"));
  QPushButton* zoomIn = button("btnImageZoomIn", QStringLiteral("＋"));
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
    if (imageFit) imageScale = double(imageLabel->pixmap().width()) / std::max(1, image.width());
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
  openDefault = new QPushButton(QStringLiteral("既定のアプリケーションで開く"), otherPage);
  openDefault->setObjectName(QStringLiteral("btnOpenDefault"));
  auto* row = new QHBoxLayout;
  row->addWidget(openDefault);
  row->addStretch(1);
  v->addLayout(row);
  v->addStretch(1);
  QObject::connect(openDefault, &QPushButton::clicked, q, [this] {
    if (!path.isEmpty() && QFileInfo(path).isFile() && opener) opener(QUrl::fromLocalFile(path));
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

void TPreviewView::Impl::ShowOther(const QString& file, const QString& why) {
  kind = QStringLiteral("other");
  QFileInfo info(file);
  QStringList lines;
  lines << QStringLiteral("ファイル名: ") + info.fileName();
  lines << QStringLiteral("場所: ") + QDir::toNativeSeparators(info.absolutePath());
  if (!info.exists()) {
    lines << QStringLiteral("このファイルは存在しません。");
    openDefault->setEnabled(false);
  } else {
    QMimeDatabase mimes;
    lines << QStringLiteral("種類: ") + mimes.mimeTypeForFile(info).comment();
    lines << QStringLiteral("サイズ: ") + SizeText(info.size());
    if (!why.isEmpty()) lines << why;
    openDefault->setEnabled(info.isFile());
  }
  rendered = lines.join(u'\n');
  otherInfo->setText(rendered);
  stack->setCurrentWidget(otherPage);
}

bool TPreviewView::Impl::ShowPdf(const QString& file) {
  pdfDoc->close();
  if (pdfDoc->load(file) != QPdfDocument::Error::None || pdfDoc->pageCount() <= 0) {
    pdfDoc->close();
    return false;
  }
  kind = QStringLiteral("pdf");
  rendered = pdfDoc->metaData(QPdfDocument::MetaDataField::Title).toString();
  pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  pdfView->pageNavigator()->clear();
  pdfView->pageNavigator()->jump(0, QPointF(), 0);
  UpdatePageLabel();
  stack->setCurrentWidget(pdfPage);
  return true;
}

void TPreviewView::Impl::UpdatePageLabel() {
  int count = pdfDoc->pageCount();
  int page = std::clamp(pdfView->pageNavigator()->currentPage(), 0, std::max(0, count - 1));
  pageLabel->setText(QStringLiteral("%1 / %2").arg(count > 0 ? page + 1 : 0).arg(count));
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
  imageLabel->setPixmap(target == image.size() ? image
                                               : image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  imageLabel->resize(target);
}

void TPreviewView::Impl::ShowHtml(const QString& htmlText, const QString& folder) {
  kind = QStringLiteral("html");
  rendered = htmlText;
  html->setSearchPaths({folder});
  html->document()->setBaseUrl(QUrl::fromLocalFile(folder + u'/'));
  html->setHtml(htmlText);
  stack->setCurrentWidget(html);
}

void TPreviewView::Impl::ShowHtmlFile(const QString& file, qint64 size) {
  bool cut = false;
  QByteArray bytes = ReadHead(file, kMaxTextBytes, &cut);
  QString decoded = DecodeText(bytes, DeclaredCharset(bytes));
  if (cut) {
    // Laying out a page this large would hold the program up; its text is
    // shown instead.
    SetNote(QStringLiteral("ファイルが大きいため (%1)、先頭の %2 だけをテキストとして表示しています。")
                .arg(SizeText(size), SizeText(kMaxTextBytes)));
    kind = QStringLiteral("text");
    rendered = decoded;
    text->setPlainText(decoded);
    stack->setCurrentWidget(text);
    return;
  }
  ShowHtml(decoded, QFileInfo(file).absolutePath());
}

void TPreviewView::Impl::ShowTextFile(const QString& file, qint64 size) {
  bool cut = false;
  QByteArray bytes = ReadHead(file, kMaxTextBytes, &cut);
  if (cut) {
    // Do not end in the middle of a double-byte character or a line.
    int lastBreak = bytes.lastIndexOf('\n');
    if (lastBreak > 0) bytes.truncate(lastBreak + 1);
    SetNote(QStringLiteral("ファイルが大きいため (%1)、先頭の %2 だけを表示しています。")
                .arg(SizeText(size), SizeText(kMaxTextBytes)));
  }
  kind = QStringLiteral("text");
  rendered = DecodeText(bytes, QString());
  text->setPlainText(rendered);
  stack->setCurrentWidget(text);
}

void TPreviewView::Impl::ShowXml(const QString& file) {
  InitLibxml();
  QByteArray name = QFile::encodeName(file);
  DocPtr doc(xmlReadFile(name.constData(), nullptr, kXmlOptions));
  if (!doc || !xmlDocGetRootElement(doc.get())) {
    // Not well-formed: shown as the text it is.
    SetNote(QStringLiteral("XML として読めないため、テキストとして表示しています。"));
    ShowTextFile(file, QFileInfo(file).size());
    return;
  }
  QString href;
  for (xmlNode* n = doc->children; n; n = n->next) {
    if (n->type == XML_ELEMENT_NODE) break;
    if (n->type == XML_PI_NODE && xmlStrcmp(n->name, BAD_CAST "xml-stylesheet") == 0) {
      href = HrefOf(FromXml(n->content));
      if (!href.isEmpty()) break;
    }
  }
  if (!href.isEmpty() && ShowTransformed(doc.get(), file, href)) return;
  ShowTree(doc.get());
}

bool TPreviewView::Impl::ShowTransformed(xmlDoc* doc, const QString& file, const QString& href) {
  QString folder = QFileInfo(file).absolutePath();
  std::string xslPath =
      ResolveCase(JoinPath(folder.toStdString(), ToSlashes(href.toStdString())));
  if (!FileExists(xslPath)) {
    SetNote(QStringLiteral("スタイルシート %1 が見つからないため、要素の一覧で表示しています。").arg(href));
    return false;
  }
  StylePtr style(xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(xslPath.c_str())));
  if (!style) {
    SetNote(QStringLiteral("スタイルシート %1 を読めないため、要素の一覧で表示しています。").arg(href));
    return false;
  }
  // A stylesheet only reads: it may not write files or folders anywhere
  // (the delivery's folder least of all) nor reach the network.
  xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
  xsltTransformContextPtr ctxt = xsltNewTransformContext(style.get(), doc);
  DocPtr result;
  if (ctxt) {
    xsltSetCtxtSecurityPrefs(prefs, ctxt);
    result.reset(xsltApplyStylesheetUser(style.get(), doc, nullptr, nullptr, nullptr, ctxt));
    xsltFreeTransformContext(ctxt);
  }
  xsltFreeSecurityPrefs(prefs);
  if (!result) {
    SetNote(QStringLiteral("スタイルシート %1 で変換できないため、要素の一覧で表示しています。").arg(href));
    return false;
  }
  xmlChar* out = nullptr;
  int len = 0;
  if (xsltSaveResultToString(&out, &len, result.get(), style.get()) != 0 || !out) {
    xmlFree(out);
    SetNote(QStringLiteral("スタイルシート %1 で変換できないため、要素の一覧で表示しています。").arg(href));
    return false;
  }
  QByteArray bytes(reinterpret_cast<const char*>(out), len);
  xmlFree(out);
  // The bytes are in the output encoding the stylesheet names.
  const xmlChar* encoding = nullptr;
  XSLT_GET_IMPORT_PTR(encoding, style.get(), encoding)
  QString declared = encoding ? FromXml(encoding).toLower() : DeclaredCharset(bytes);
  if (declared.isEmpty()) declared = QStringLiteral("utf-8");
  ShowHtml(DecodeText(bytes, declared), folder);
  return true;
}

void TPreviewView::Impl::ShowTree(xmlDoc* doc) {
  kind = QStringLiteral("xmltree");
  tree->clear();
  tree->setUpdatesEnabled(false);
  int count = 0;
  QStringList dump;
  // Iterative, so that deep nesting cannot exhaust the stack.
  struct Pending {
    xmlNode* node;
    QTreeWidgetItem* parent;
    int depth;
  };
  std::vector<Pending> todo{{xmlDocGetRootElement(doc), nullptr, 0}};
  while (!todo.empty()) {
    Pending p = todo.back();
    todo.pop_back();
    if (++count > kMaxTreeItems) {
      SetNote(QStringLiteral("要素が多いため、先頭の %1 個だけを表示しています。").arg(kMaxTreeItems));
      break;
    }
    QString label = FromXml(p.node->name);
    QString value;
    bool hasElements = false;
    for (xmlNode* c = p.node->children; c; c = c->next) {
      if (c->type == XML_ELEMENT_NODE)
        hasElements = true;
      else if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)
        value += FromXml(c->content);
    }
    value = value.trimmed();
    QStringList attrs;
    for (xmlAttr* a = p.node->properties; a; a = a->next) {
      xmlChar* v = xmlNodeListGetString(doc, a->children, 1);
      attrs << FromXml(a->name) + QStringLiteral("=\"") + FromXml(v) + u'"';
      xmlFree(v);
    }
    if (!attrs.isEmpty()) label += u' ' + attrs.join(u' ');
    auto* item = p.parent ? new QTreeWidgetItem(p.parent) : new QTreeWidgetItem(tree);
    item->setText(0, label);
    item->setText(1, value);
    item->setToolTip(1, value);
    dump << QString(p.depth * 2, u' ') + label + (value.isEmpty() ? QString() : QStringLiteral(": ") + value);
    if (p.depth < 1) item->setExpanded(true);
    if (hasElements) {
      std::vector<xmlNode*> kids;
      for (xmlNode* c = p.node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) kids.push_back(c);
      for (auto it = kids.rbegin(); it != kids.rend(); ++it) todo.push_back({*it, item, p.depth + 1});
    }
  }
  // Items were created with their parents collapsed; expanding the root's
  // children now shows the groups of the file.
  if (QTreeWidgetItem* root = tree->topLevelItem(0)) root->setExpanded(true);
  tree->setUpdatesEnabled(true);
  rendered = dump.join(u'\n');
  stack->setCurrentWidget(tree);
}

TPreviewView::TPreviewView(QWidget* parent) : QWidget(parent), d_(new Impl) {
  setObjectName(QStringLiteral("WebBrowser"));
  d_->q = this;
  d_->opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  d_->Build();
}

TPreviewView::~TPreviewView() { delete d_; }

void TPreviewView::Navigate(const QString& path) {
  d_->busy = true;
  d_->path = path;
  d_->rendered.clear();
  d_->SetNote(QString());
  d_->image = QPixmap();
  d_->imageLabel->clear();
  if (d_->pdfDoc->status() != QPdfDocument::Status::Null) d_->pdfDoc->close();

  QFileInfo info(path);
  if (path.isEmpty() || info.fileName().compare(QStringLiteral("NONE.HTML"), Qt::CaseInsensitive) == 0) {
    d_->ShowBlank();
  } else if (!info.isFile()) {
    d_->ShowOther(path);
  } else {
    QString ext = info.suffix().toUpper();
    QByteArray head = d_->ReadHead(path, 1024);
    QByteArray markup = MarkupHead(head);
    bool shown = false;
    if (head.contains("%PDF-")) {
      shown = d_->ShowPdf(path);
      if (!shown) d_->SetNote(QStringLiteral("PDF として読めませんでした。"));
    } else if (!QImageReader::imageFormat(path).isEmpty()) {
      shown = d_->ShowImage(path);
      if (!shown) d_->SetNote(QStringLiteral("画像として読めませんでした。"));
    } else if (ext == u"HTM" || ext == u"HTML" || markup.startsWith("<!doctype html") ||
               markup.startsWith("<html")) {
      d_->ShowHtmlFile(path, info.size());
      shown = true;
    } else if (ext == u"XML" || ext == u"XSL" || ext == u"XSD" || markup.startsWith("<?xml")) {
      d_->ShowXml(path);
      shown = true;
    } else if (ext == u"TXT" || ext == u"CSV" || ext == u"LOG" || ext == u"DTD" || ext == u"INI") {
      d_->ShowTextFile(path, info.size());
      shown = true;
    }
    if (!shown) d_->ShowOther(path);
  }
  d_->busy = false;
  emit NavigateComplete(path);
  emit DocumentComplete(path);
}

bool TPreviewView::Busy() const { return d_->busy; }
QString TPreviewView::CurrentPath() const { return d_->path; }
QString TPreviewView::RendererKind() const { return d_->kind; }
QString TPreviewView::RenderedText() const { return d_->rendered; }
int TPreviewView::PageCount() const { return d_->kind == u"pdf" ? d_->pdfDoc->pageCount() : 0; }
QSize TPreviewView::ImageSize() const { return d_->kind == u"image" ? d_->image.size() : QSize(); }
int TPreviewView::CurrentPage() const {
  return d_->kind == u"pdf" ? d_->pdfView->pageNavigator()->currentPage() : -1;
}
QString TPreviewView::Note() const { return d_->note->text(); }
void TPreviewView::SetOpenHandler(OpenHandler handler) { d_->opener = std::move(handler); }

bool TPreviewView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == d_->imageScroll->viewport() && d_->imageFit &&
      d_->kind == u"image")
    d_->UpdateImage();
  return QWidget::eventFilter(watched, event);
}

}  // namespace dlvr
