#include "components/preview_view.h"

#include <libxml/tree.h>

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
#include <string>

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
constexpr qsizetype kMaxDumpChars = 4 * 1024 * 1024;

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

// The text browser of the preview. Images and style sheets a page refers
// to come only from regular files inside the sandbox's folders, each at
// most kMaxResourceBytes; nothing comes from the network, and a refused
// resource is an empty one (never the document's own fallback, which would
// read any local file).
class TSandboxBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  TXmlSandbox Box;

  QVariant loadResource(int type, const QUrl& name) override {
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
      return QVariant(QByteArray());
    }
    local.replace(u'\\', u'/');
    std::string path = ResolveCase(QDir::cleanPath(local).toStdString());
    std::string bytes;
    if (SandboxReadFile(Box, path, bytes) != TSandboxStatus::Ok) return QVariant(QByteArray());
    return QVariant(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
};

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
  // Where the document stands in the delivery (a preview copy names its
  // original): relative references resolve against its folder.
  QString origin;
  QStringList sandboxFolders;
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
  bool ShowTransformed(xmlDoc* doc);
  void ShowTree(xmlDoc* doc);
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
      SetNote(QStringLiteral("納品データの外のファイルは開きません: %1").arg(target.toLocalFile()));
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
    SetNote(QStringLiteral("ファイルが大きいため (%1)、先頭の %2 だけをテキストとして表示しています。")
                .arg(SizeText(size), SizeText(kMaxTextBytes)));
    kind = QStringLiteral("text");
    rendered = decoded;
    text->setPlainText(decoded);
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
    SetNote(QStringLiteral("ファイルが大きいため (%1)、先頭の %2 だけを表示しています。")
                .arg(SizeText(size), SizeText(kMaxTextBytes)));
  }
  kind = QStringLiteral("text");
  rendered = DecodeText(bytes, QString());
  text->setPlainText(rendered);
  stack->setCurrentWidget(text);
}

void TPreviewView::Impl::ShowXml(const QString& file) {
  TXmlParseResult parsed = SandboxParseXml(Sandbox(), file.toStdString(), origin.toStdString());
  if (parsed.Status == TSandboxStatus::NotWellFormed) {
    // Not well-formed, or past the parser's depth and expansion limits:
    // shown as the text it is.
    SetNote(QStringLiteral("XML として読めないため、テキストとして表示しています。"));
    ShowTextFile(file, QFileInfo(file).size());
    return;
  }
  if (!parsed) {
    ShowOther(file, QString::fromStdString(SandboxStatusText(parsed.Status)));
    return;
  }
  if (ShowTransformed(parsed.Doc.get())) return;
  ShowTree(parsed.Doc.get());
}

bool TPreviewView::Impl::ShowTransformed(xmlDoc* doc) {
  TXsltResult r = SandboxTransform(Sandbox(), doc, origin.toStdString());
  const QString href = QString::fromStdString(r.Href);
  using S = TXsltResult::Status;
  switch (r.State) {
    case S::Ok: break;
    case S::NoStylesheet: return false;
    case S::StylesheetMissing:
      SetNote(QStringLiteral("スタイルシート %1 が見つからないため、要素の一覧で表示しています。").arg(href));
      return false;
    case S::StylesheetUnreadable:
      SetNote(QStringLiteral("スタイルシート %1 を読めないため、要素の一覧で表示しています。").arg(href));
      return false;
    case S::TimedOut:
      SetNote(QStringLiteral("スタイルシート %1 の変換に時間がかかりすぎるため、要素の一覧で表示しています。").arg(href));
      return false;
    case S::TooLarge:
      SetNote(QStringLiteral("スタイルシート %1 の変換結果が大きすぎるため、要素の一覧で表示しています。").arg(href));
      return false;
    case S::TransformFailed:
      SetNote(QStringLiteral("スタイルシート %1 で変換できないため、要素の一覧で表示しています。").arg(href));
      return false;
  }
  QByteArray bytes(r.Output.data(), static_cast<qsizetype>(r.Output.size()));
  // The bytes are in the output encoding the stylesheet names.
  QString declared = !r.Encoding.empty() ? QString::fromStdString(r.Encoding) : DeclaredCharset(bytes);
  if (declared.isEmpty()) declared = QStringLiteral("utf-8");
  ShowHtml(DecodeText(bytes, declared), OriginFolder());
  if (!r.Refused.empty())
    SetNote(QStringLiteral("納品データの外のファイル、または読めないファイルは読み込みませんでした: %1")
                .arg(QString::fromStdString(r.Refused.front())));
  return true;
}

void TPreviewView::Impl::ShowTree(xmlDoc* doc) {
  kind = QStringLiteral("xmltree");
  tree->clear();
  tree->setUpdatesEnabled(false);
  int count = 0;
  bool tooDeep = false;
  qsizetype dumpChars = 0;
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
    // A long text shows its start; the column cannot show more anyway.
    if (value.size() > kMaxValueChars) value = value.left(kMaxValueChars) + QStringLiteral("…");
    QStringList attrs;
    for (xmlAttr* a = p.node->properties; a; a = a->next) {
      xmlChar* v = xmlNodeListGetString(doc, a->children, 1);
      attrs << FromXml(a->name) + QStringLiteral("=\"") + FromXml(v) + u'"';
      xmlFree(v);
    }
    if (!attrs.isEmpty()) label += u' ' + attrs.join(u' ');
    if (label.size() > kMaxValueChars) label = label.left(kMaxValueChars) + QStringLiteral("…");
    auto* item = p.parent ? new QTreeWidgetItem(p.parent) : new QTreeWidgetItem(tree);
    item->setText(0, label);
    item->setText(1, value);
    item->setToolTip(1, value);
    if (dumpChars < kMaxDumpChars) {
      dump << QString(p.depth * 2, u' ') + label + (value.isEmpty() ? QString() : QStringLiteral(": ") + value);
      dumpChars += dump.back().size() + 1;
    }
    if (p.depth < 1) item->setExpanded(true);
    if (hasElements && p.depth + 1 >= kMaxTreeDepth) {
      tooDeep = true;
      item->setText(1, QStringLiteral("… 以降は表示しません"));
    } else if (hasElements) {
      std::vector<xmlNode*> kids;
      for (xmlNode* c = p.node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) kids.push_back(c);
      for (auto it = kids.rbegin(); it != kids.rend(); ++it) todo.push_back({*it, item, p.depth + 1});
    }
  }
  // Items were created with their parents collapsed; expanding the root's
  // children now shows the groups of the file.
  if (QTreeWidgetItem* root = tree->topLevelItem(0)) root->setExpanded(true);
  if (tooDeep && count <= kMaxTreeItems)
    SetNote(QStringLiteral("階層が深いため、%1 階層より深い要素は表示しません。").arg(kMaxTreeDepth));
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

void TPreviewView::Navigate(const QString& path) { Navigate(path, path); }

void TPreviewView::Navigate(const QString& path, const QString& origin) {
  d_->busy = true;
  d_->path = path;
  d_->origin = origin.isEmpty() ? path : origin;
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
void TPreviewView::SetSandboxFolders(const QStringList& folders) { d_->sandboxFolders = folders; }

bool TPreviewView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == d_->imageScroll->viewport() && d_->imageFit &&
      d_->kind == u"image")
    d_->UpdateImage();
  return QWidget::eventFilter(watched, event);
}

}  // namespace dlvr
