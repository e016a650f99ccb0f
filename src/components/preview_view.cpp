#include "components/preview_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>
#include <optional>

#include "components/desktop_open.h"
#include "components/drawing_renderer.h"
#include "components/html_renderer.h"
#include "components/image_renderer.h"
#include "components/pdf_renderer.h"
#include "components/preview_renderer.h"
#include "components/text_renderer.h"
#include "components/xml_renderer.h"
#include "delivery/xml_sandbox.h"

namespace dlvr {

static_assert(TPreviewView::kMaxTextBytes == kPreviewMaxTextBytes);

namespace {

// The renderers, asked in turn whether a file is theirs: PDF by content
// first, then images by content, HTML, XML, drawings, plain text. A file
// none takes shows its facts.
constexpr TRendererFactory kPreviewRenderers[] = {
    &MakePdfRenderer, &MakeImageRenderer, &MakeHtmlRenderer, &MakeXmlRenderer, &MakeDrawingRenderer, &MakeTextRenderer,
};

// The leading bytes of a file after a UTF-8 byte order mark and blanks,
// lower-cased, for telling markup apart.
QByteArray PreviewMarkupHead(const QByteArray& head) {
  QByteArray h = head;
  if (h.startsWith("\xEF\xBB\xBF")) h = h.mid(3);
  return h.trimmed().left(256).toLower();
}

}  // namespace

struct TPreviewView::Impl final : TPreviewHost {
  TPreviewView* q = nullptr;
  QLabel* note = nullptr;
  QStackedWidget* stack = nullptr;
  QWidget* blankPage = nullptr;
  // The facts page: the file's name, place, type and size, and a button
  // that opens it in the desktop's default application.
  QWidget* factsPage = nullptr;
  QLabel* factsInfo = nullptr;
  QPushButton* openDefault = nullptr;
  bool factsShown = false;
  QString factsText;

  // The renderer made for the file shown (null for none).
  TPreviewRenderer* renderer = nullptr;
  TPreviewFile file;
  bool busy = false;
  OpenHandler opener;
  QStringList sandboxFolders;
  QVariantHash carried;
  // A mark asked for before the file was shown.
  std::optional<TPreviewMark> pendingMark;

  void Build();
  QWidget* BuildFactsPage();
  // Takes the renderer's widgets off screen and lets it go.
  void DropRenderer();
  // The file whose facts the facts page gives and which "open" opens.
  QString FactsFile() const;
  void Finish();
  // Shows and marks a place of the file shown: the renderer's own way, else
  // in the text view it shows (an HTML page, a source): the line of a
  // source, the text found on a page.
  void Mark(const TPreviewMark& mark);
  QRect MarkedArea() const;

  // TPreviewHost
  void SetNote(const QString& s) override {
    note->setText(s);
    note->setVisible(!s.isEmpty());
  }
  QString Note() const override { return note->text(); }
  void Present(QWidget* widget) override;
  void Place(QWidget* widget) override {
    if (stack->indexOf(widget) >= 0) return;
    stack->addWidget(widget);
    // Laid out at the document's size at once, as the pages made with the
    // view are: a renderer may measure or scroll it before the event loop
    // has run.
    widget->setGeometry(stack->contentsRect());
    if (QLayout* inner = widget->layout()) inner->activate();
  }
  void ShowFacts(const QString& why) override;
  void Working() override { busy = true; }
  void Completed() override { Finish(); }
  void Follow(const QString& target) override { q->Navigate(target); }
  bool OpenExternally(const QUrl& url) override { return opener && opener(url); }
  QVariant Carried(const QString& name) const override { return carried.value(name); }
  void Carry(const QString& name, const QVariant& value) override { carried.insert(name, value); }
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
  stack = new QStackedWidget(q);
  layout->addWidget(stack, 1);

  blankPage = new QWidget(stack);
  blankPage->setObjectName(QStringLiteral("BlankPage"));
  blankPage->setAutoFillBackground(true);
  QPalette pal = blankPage->palette();
  pal.setColor(QPalette::Window, Qt::white);
  blankPage->setPalette(pal);
  stack->addWidget(blankPage);
  stack->addWidget(BuildFactsPage());
  stack->setCurrentWidget(blankPage);
}

QWidget* TPreviewView::Impl::BuildFactsPage() {
  factsPage = new QWidget(stack);
  auto* v = new QVBoxLayout(factsPage);
  factsInfo = new QLabel(factsPage);
  factsInfo->setObjectName(QStringLiteral("OtherInfo"));
  factsInfo->setTextFormat(Qt::PlainText);
  factsInfo->setWordWrap(true);
  factsInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  v->addWidget(factsInfo);
  openDefault = new QPushButton(QCoreApplication::translate("TPreviewView", "既定のアプリケーションで開く"), factsPage);
  openDefault->setObjectName(QStringLiteral("btnOpenDefault"));
  auto* row = new QHBoxLayout;
  row->addWidget(openDefault);
  row->addStretch(1);
  v->addLayout(row);
  v->addStretch(1);
  QObject::connect(openDefault, &QPushButton::clicked, q, [this] {
    const QString target = FactsFile();
    if (target.isEmpty() || !QFileInfo(target).isFile() || !opener) return;
    if (!opener(QUrl::fromLocalFile(target)))
      SetNote(QCoreApplication::translate("TPreviewView",
                                          "この種類のファイルを開くアプリケーションが登録されていません。"));
  });
  return factsPage;
}

void TPreviewView::Impl::Present(QWidget* widget) {
  factsShown = false;
  if (!widget) {
    stack->setCurrentWidget(blankPage);
    return;
  }
  Place(widget);
  stack->setCurrentWidget(widget);
}

void TPreviewView::Impl::DropRenderer() {
  if (!renderer) return;
  renderer->Cancel();
  // Gone from the screen and from findChild at once; deleted when control
  // is back in the event loop (a link's click or a page being rendered may
  // be on its way through one of them).
  for (QWidget* w : renderer->Widgets()) {
    stack->removeWidget(w);
    w->hide();
    w->setParent(nullptr);
  }
  renderer->deleteLater();
  renderer = nullptr;
}

QString TPreviewView::Impl::FactsFile() const {
  // A preview copy names its original: the delivery's own file is the one
  // the user knows, and the one to open.
  if (file.Origin != file.Path && QFileInfo(file.Origin).isFile() &&
      !SandboxCanonical(file.Sandbox(), file.Origin.toStdString()).empty())
    return file.Origin;
  return file.Path;
}

void TPreviewView::Impl::ShowFacts(const QString& why) {
  QFileInfo info(FactsFile());
  QStringList lines;
  lines << QCoreApplication::translate("TPreviewView", "ファイル名: %1").arg(info.fileName());
  lines << QCoreApplication::translate("TPreviewView", "場所: %1").arg(QDir::toNativeSeparators(info.absolutePath()));
  if (!info.exists()) {
    lines << QCoreApplication::translate("TPreviewView", "このファイルは存在しません。");
    openDefault->setEnabled(false);
  } else {
    QMimeDatabase mimes;
    lines << QCoreApplication::translate("TPreviewView", "種類: %1").arg(mimes.mimeTypeForFile(info).comment());
    lines << QCoreApplication::translate("TPreviewView", "サイズ: %1").arg(ByteSizeText(info.size()));
    if (!why.isEmpty()) lines << why;
    openDefault->setEnabled(info.isFile());
  }
  factsText = lines.join(u'\n');
  factsInfo->setText(factsText);
  stack->setCurrentWidget(factsPage);
  factsShown = true;
}

void TPreviewView::Impl::Finish() {
  busy = false;
  if (pendingMark) {
    const TPreviewMark mark = *pendingMark;
    pendingMark.reset();
    Mark(mark);
  }
  emit q->NavigateComplete(file.Path);
  emit q->DocumentComplete(file.Path);
}

void TPreviewView::Impl::Mark(const TPreviewMark& mark) {
  if (!renderer || factsShown || renderer->ShowMark(mark)) return;
  for (QWidget* w : renderer->Widgets()) {
    QList<QPlainTextEdit*> sources = w->findChildren<QPlainTextEdit*>();
    if (auto* self = qobject_cast<QPlainTextEdit*>(w)) sources.prepend(self);
    for (QPlainTextEdit* source : sources)
      if (source->isVisible() && MarkPreviewTextLine(source, mark.Line, mark.Text)) return;
    QList<QTextEdit*> pages = w->findChildren<QTextEdit*>();
    if (auto* self = qobject_cast<QTextEdit*>(w)) pages.prepend(self);
    for (QTextEdit* page : pages)
      if (page->isVisible() && MarkPreviewRichText(page, mark.Text)) return;
  }
}

QRect TPreviewView::Impl::MarkedArea() const {
  if (!renderer || factsShown) return {};
  if (const QRect own = renderer->MarkedArea(); !own.isEmpty()) return own;
  for (QWidget* w : renderer->Widgets()) {
    QList<QPlainTextEdit*> sources = w->findChildren<QPlainTextEdit*>();
    if (auto* self = qobject_cast<QPlainTextEdit*>(w)) sources.prepend(self);
    for (QPlainTextEdit* source : sources)
      if (const QRect r = PreviewTextMarkArea(source); !r.isEmpty()) return r;
    QList<QTextEdit*> pages = w->findChildren<QTextEdit*>();
    if (auto* self = qobject_cast<QTextEdit*>(w)) pages.prepend(self);
    for (QTextEdit* page : pages)
      if (const QRect r = PreviewRichTextMarkArea(page); !r.isEmpty()) return r;
  }
  return {};
}

TPreviewView::TPreviewView(QWidget* parent) : QWidget(parent), d_(new Impl) {
  setObjectName(QStringLiteral("WebBrowser"));
  d_->q = this;
  d_->opener = [](const QUrl& url) { return OpenWithDesktop(url); };
  d_->Build();
}

TPreviewView::~TPreviewView() {
  if (d_->renderer) {
    d_->renderer->Cancel();
    delete d_->renderer;
  }
  delete d_;
}

void TPreviewView::Navigate(const QString& path) { Navigate(path, path); }

void TPreviewView::Navigate(const QString& path, const QString& origin) {
  // Whatever was shown or being prepared for the last file is of no use now.
  d_->DropRenderer();
  d_->pendingMark.reset();
  d_->busy = true;
  d_->factsShown = false;
  d_->file = TPreviewFile{path, origin.isEmpty() ? path : origin, d_->sandboxFolders, 0};
  d_->SetNote(QString());

  QFileInfo info(path);
  d_->file.Size = info.size();
  if (path.isEmpty() || info.fileName().compare(QStringLiteral("NONE.HTML"), Qt::CaseInsensitive) == 0) {
    d_->Present(nullptr);
  } else if (!info.isFile()) {
    d_->ShowFacts(QString());
  } else if (SandboxCanonical(d_->file.Sandbox(), path.toStdString()).empty()) {
    // A link that leads out of the delivery is not followed.
    d_->ShowFacts(QString::fromStdString(SandboxStatusText(TSandboxStatus::Outside)));
    d_->openDefault->setEnabled(false);
  } else {
    const QString ext = info.suffix().toUpper();
    const QByteArray head = ReadFileHead(path, 1024);
    const QByteArray markup = PreviewMarkupHead(head);
    const TPreviewSniff sniff{ext, head, markup};
    for (TRendererFactory make : kPreviewRenderers) {
      std::unique_ptr<TPreviewRenderer> made = make(*d_, d_->file, sniff);
      if (!made) continue;
      made->setParent(this);
      d_->renderer = made.release();
      // Completion comes later for a file read in the background.
      if (!d_->renderer->Start()) return;
      break;
    }
    if (!d_->renderer) d_->ShowFacts(QString());
  }
  d_->Finish();
}

bool TPreviewView::Busy() const { return d_->busy; }
QString TPreviewView::CurrentPath() const { return d_->file.Path; }
QString TPreviewView::RendererKind() const {
  if (d_->factsShown) return QStringLiteral("other");
  return d_->renderer ? d_->renderer->Kind() : QStringLiteral("blank");
}
QString TPreviewView::RenderedText() const {
  if (d_->factsShown) return d_->factsText;
  return d_->renderer ? d_->renderer->Rendered() : QString();
}
int TPreviewView::PageCount() const { return d_->renderer && !d_->factsShown ? d_->renderer->PageCount() : 0; }
QSize TPreviewView::ImageSize() const { return d_->renderer && !d_->factsShown ? d_->renderer->ImageSize() : QSize(); }
int TPreviewView::CurrentPage() const { return d_->renderer && !d_->factsShown ? d_->renderer->CurrentPage() : -1; }
QString TPreviewView::Note() const { return d_->note->text(); }
void TPreviewView::ShowMark(const TPreviewMark& mark) {
  if (d_->busy) {
    d_->pendingMark = mark;
    return;
  }
  d_->Mark(mark);
}
QRect TPreviewView::MarkedArea() const {
  const QRect global = d_->MarkedArea();
  return global.isEmpty() ? QRect() : QRect(mapFromGlobal(global.topLeft()), global.size());
}
void TPreviewView::SetOpenHandler(OpenHandler handler) { d_->opener = std::move(handler); }
void TPreviewView::SetSandboxFolders(const QStringList& folders) { d_->sandboxFolders = folders; }

}  // namespace dlvr

#include "moc_preview_view.cpp"
