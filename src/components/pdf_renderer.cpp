#include "components/pdf_renderer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPainter>
#include <QPdfPageNavigator>
#include <QPdfSelection>
#include <QPdfView>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <utility>

#include "components/document_check.h"
#include "components/pdf_facts.h"

namespace dlvr {
namespace {

// Where `text` stands in a page's text: its first place matched without
// regard to case, else without regard to blanks and line breaks (a hit's
// context has blanks for the page's line breaks). {-1, 0} when nowhere.
std::pair<int, int> FoundInPdfPageText(const QString& page, const QString& text) {
  if (text.trimmed().isEmpty()) return {-1, 0};
  const qsizetype exact = page.indexOf(text, 0, Qt::CaseInsensitive);
  if (exact >= 0) return {int(exact), int(text.size())};
  QString bare, wanted;
  QList<int> at;  // the page text's index of each character of `bare`
  for (int i = 0; i < page.size(); ++i)
    if (!page.at(i).isSpace()) {
      bare += page.at(i);
      at.push_back(i);
    }
  for (QChar c : text)
    if (!c.isSpace()) wanted += c;
  const qsizetype found = bare.indexOf(wanted, 0, Qt::CaseInsensitive);
  if (found < 0) return {-1, 0};
  const int first = at[found];
  return {first, at[found + wanted.size() - 1] - first + 1};
}

// The outlines of the text found, drawn over the pages of a PDF view (a
// child of its viewport, the mouse passing through to the view).
class TPdfFoundMarks : public QWidget {
 public:
  explicit TPdfFoundMarks(QWidget* viewport) : QWidget(viewport) {
    setObjectName(QStringLiteral("PdfFoundMarks"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(viewport->rect());
  }
  // The marks, in the viewport's coordinates.
  QList<QPolygonF> Marks;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (Marks.isEmpty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kPdfMarkEdge, 2));
    p.setBrush(QColor(0xff, 0xc0, 0x00, 0x50));
    for (const QPolygonF& mark : Marks) p.drawRect(mark.boundingRect().adjusted(-2, -2, 2, 2));
  }

 public:
  static inline const QColor kPdfMarkEdge{0xff, 0x66, 0x00};
};

class TPdfRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  ~TPdfRenderer() override { StopProbe(); }

  QString Kind() const override { return view_ ? QStringLiteral("pdf") : QStringLiteral("blank"); }
  int PageCount() const override { return view_ ? doc_->pageCount() : 0; }
  int CurrentPage() const override { return view_ ? Page() : -1; }

  bool Start() override {
    Host().Present(nullptr);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    probeCancel_ = cancel;
    probe_ = new QFutureWatcher<TPdfFacts>(this);
    auto* probe = probe_;
    // Said only when the reading takes a moment.
    QTimer::singleShot(300, probe, [this, probe] {
      if (probe == probe_ && Live())
        Host().SetNote(QCoreApplication::translate("TPreviewView", "%1 を読み込んでいます…").arg(File().OriginName()));
    });
    connect(probe, &QFutureWatcherBase::finished, this, [this, probe] {
      if (probe != probe_) return;
      const TPdfFacts facts = probe->future().resultCount() > 0 ? probe->result() : TPdfFacts();
      probe_ = nullptr;
      probeCancel_.reset();
      probe->deleteLater();
      if (Live()) Probed(facts);
    });
    const std::string local = File().Path.toStdString();
    probe->setFuture(QtConcurrent::run([local, cancel] { return ReadPdfFacts(local, cancel.get()); }));
    return false;
  }

  void Cancel() override {
    StopProbe();
    TPreviewRenderer::Cancel();
  }

  bool ShowMark(const TPreviewMark& mark) override {
    if (!view_ || mark.Page < 0 || mark.Page >= doc_->pageCount()) return false;
    JumpToPage(mark.Page);
    markPage_ = mark.Page;
    markBounds_.clear();
    const auto [start, length] = FoundInPdfPageText(doc_->getAllText(mark.Page).text(), mark.Text);
    if (start >= 0) markBounds_ = doc_->getSelectionAtIndex(mark.Page, start, length).bounds();
    if (!marks_) {
      marks_ = new TPdfFoundMarks(view_->viewport());
      for (QScrollBar* bar : {view_->verticalScrollBar(), view_->horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { PlaceMarks(); });
    }
    marks_->show();
    marks_->raise();
    PlaceMarks();
    // The found text in view: a third of the way down when it lies
    // beyond the view.
    const QRectF found = MarksRect();
    const int room = view_->viewport()->height();
    if (!found.isEmpty() && (found.top() < 0 || found.bottom() > room)) {
      QScrollBar* v = view_->verticalScrollBar();
      v->setValue(v->value() + qRound(found.top() - room / 3.0));
    }
    return true;
  }

  QRect MarkedArea() const override {
    const QRectF found = MarksRect();
    if (found.isEmpty()) return {};
    return QRect(view_->viewport()->mapToGlobal(found.toAlignedRect().topLeft()), found.toAlignedRect().size());
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Wheel && view_ && watched == view_->viewport() &&
        (static_cast<QWheelEvent*>(event)->modifiers() & Qt::ControlModifier)) {
      const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
      if (delta != 0) SetZoom(Zoom() * (delta > 0 ? 1.25 : 0.8));
      return true;
    }
    if (event->type() == QEvent::Resize && view_ && watched == view_->viewport()) {
      UpdateZoomBox();
      PlaceMarks();
    }
    if (event->type() == QEvent::KeyPress && watched == pageBox_) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter goes to the page's top also when it is the page shown.
        const QSignalBlocker block(pageBox_);
        pageBox_->interpretText();
        JumpToPage(pageBox_->value() - 1);
        pageBox_->selectAll();
        return true;
      }
    }
    return TPreviewRenderer::eventFilter(watched, event);
  }

 private:
  void StopProbe() {
    if (probeCancel_) *probeCancel_ = true;
    probeCancel_.reset();
    if (probe_) {
      probe_->disconnect();
      // Deleted when its reading has ended (at once, once cancelled); it
      // outlives the renderer until then.
      probe_->setParent(nullptr);
      connect(probe_, &QFutureWatcherBase::finished, probe_, &QObject::deleteLater);
      if (probe_->isFinished()) probe_->deleteLater();
      probe_ = nullptr;
    }
  }

  void Probed(const TPdfFacts& facts) {
    Host().SetNote(QString());
    const bool shown = facts.State == TPdfFacts::Status::Read && facts.Pages > 0 && ShowPdf();
    if (!shown) {
      // Its facts, and why it is not shown when the reading failed.
      Host().SetNote(QCoreApplication::translate("TPreviewView", "PDF として読めませんでした。"));
      Host().ShowFacts(QString::fromStdString(PdfUnreadText(facts)));
    }
    Host().Completed();
  }

  bool ShowPdf() {
    auto* doc = new QPdfDocument(this);
    if (doc->load(File().Path) != QPdfDocument::Error::None || doc->pageCount() <= 0) {
      delete doc;
      return false;
    }
    doc_ = doc;
    QWidget* page = BuildPage();
    view_ = new QPdfView(page);
    view_->setObjectName(QStringLiteral("PdfView"));
    // Every page one below the other: the wheel and PageDown go on across pages.
    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view_->setDocument(doc_);
    layout_->addWidget(view_, 1);
    // Ctrl with the wheel zooms, as in other viewers.
    view_->viewport()->installEventFilter(this);
    connect(view_->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int) { UpdatePageLabel(); });
    rendered_ = doc_->metaData(QPdfDocument::MetaDataField::Title).toString();
    {
      const QSignalBlocker block(pageBox_);
      pageBox_->setRange(1, doc_->pageCount());
      pageBox_->setSuffix(QStringLiteral(" / %1").arg(doc_->pageCount()));
    }
    UpdatePageLabel();
    Host().Present(page);
    UpdateZoomBox();
    return true;
  }

  QWidget* BuildPage() {
    auto* page = Own(new QWidget);
    layout_ = new QVBoxLayout(page);
    layout_->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
      auto* b = new QPushButton(caption, page);
      b->setObjectName(QString::fromLatin1(name));
      bar->addWidget(b);
      return b;
    };
    prevPage_ = button("btnPrevPage", QCoreApplication::translate("TPreviewView", "◀ 前のページ"));
    // "2 / 5": the page shown, typed over and Enter to go to another.
    pageBox_ = new QSpinBox(page);
    pageBox_->setObjectName(QStringLiteral("spnPage"));
    pageBox_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    pageBox_->setKeyboardTracking(false);
    pageBox_->setAlignment(Qt::AlignCenter);
    pageBox_->setToolTip(QCoreApplication::translate("TPreviewView", "ページ番号 (入力して Enter で移動)"));
    pageBox_->installEventFilter(this);
    bar->addWidget(pageBox_);
    nextPage_ = button("btnNextPage", QCoreApplication::translate("TPreviewView", "次のページ ▶"));
    bar->addStretch(1);
    QPushButton* fitWidth = button("btnPdfFitWidth", QCoreApplication::translate("TPreviewView", "幅に合わせる"));
    QPushButton* fitPage = button("btnPdfFitPage", QCoreApplication::translate("TPreviewView", "全体を表示"));
    QPushButton* zoomOut = button("btnPdfZoomOut", QCoreApplication::translate("TPreviewView", "－"));
    zoomBox_ = new QComboBox(page);
    zoomBox_->setObjectName(QStringLiteral("cbxPdfZoom"));
    zoomBox_->setEditable(true);
    zoomBox_->setInsertPolicy(QComboBox::NoInsert);
    zoomBox_->setToolTip(QCoreApplication::translate("TPreviewView", "表示倍率"));
    for (int percent : {25, 50, 75, 100, 125, 150, 200, 300, 400}) zoomBox_->addItem(QStringLiteral("%1%").arg(percent));
    zoomBox_->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\s*\\d{0,4}\\s*%?\\s*")), zoomBox_));
    bar->addWidget(zoomBox_);
    QPushButton* zoomIn = button("btnPdfZoomIn", QCoreApplication::translate("TPreviewView", "＋"));
    layout_->addLayout(bar);

    connect(prevPage_, &QPushButton::clicked, this, [this] { JumpToPage(Page() - 1); });
    connect(nextPage_, &QPushButton::clicked, this, [this] { JumpToPage(Page() + 1); });
    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int p) { JumpToPage(p - 1); });
    // The first and the last page, from anywhere on the PDF page.
    auto* first = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), page);
    auto* last = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_End), page);
    for (QShortcut* s : {first, last}) s->setContext(Qt::WidgetWithChildrenShortcut);
    connect(first, &QShortcut::activated, this, [this] { JumpToPage(0); });
    connect(last, &QShortcut::activated, this, [this] { JumpToPage(doc_->pageCount() - 1); });
    auto fit = [this](QPdfView::ZoomMode mode) {
      const int shown = Page();
      view_->setZoomMode(mode);
      JumpToPage(shown);
      UpdateZoomBox();
    };
    connect(fitWidth, &QPushButton::clicked, this, [fit] { fit(QPdfView::ZoomMode::FitToWidth); });
    connect(fitPage, &QPushButton::clicked, this, [fit] { fit(QPdfView::ZoomMode::FitInView); });
    connect(zoomIn, &QPushButton::clicked, this, [this] { SetZoom(Zoom() * 1.25); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { SetZoom(Zoom() * 0.8); });
    auto typedZoom = [this](const QString& text) {
      QString digits = text;
      digits.remove(u'%');
      bool ok = false;
      const int percent = digits.trimmed().toInt(&ok);
      if (ok && percent > 0)
        SetZoom(percent / 100.0);
      else
        UpdateZoomBox();
    };
    connect(zoomBox_->lineEdit(), &QLineEdit::returnPressed, this,
            [this, typedZoom] { typedZoom(zoomBox_->currentText()); });
    connect(zoomBox_, &QComboBox::activated, this, [this, typedZoom](int index) { typedZoom(zoomBox_->itemText(index)); });
    return page;
  }

  int Page() const { return view_->pageNavigator()->currentPage(); }

  // Shows `page` (0-based) from its top at the zoom shown.
  void JumpToPage(int page) {
    if (!view_ || page < 0 || page >= doc_->pageCount()) {
      UpdatePageLabel();
      return;
    }
    QPdfPageNavigator* nav = view_->pageNavigator();
    // The view scrolls to a page's top when the page changes; for the page
    // shown already it goes there by way of another one.
    if (nav->currentPage() == page) {
      if (doc_->pageCount() == 1) {
        view_->verticalScrollBar()->setValue(0);
        UpdatePageLabel();
        return;
      }
      nav->jump(page == 0 ? 1 : 0, QPointF(), nav->currentZoom());
    }
    nav->jump(page, QPointF(), nav->currentZoom());
    UpdatePageLabel();
  }

  // Where page `page` stands in the view's viewport, laid out as the view
  // lays out its pages: one below the other, each as wide as the zoom
  // makes it, centred, between the document's margins.
  QRect PageInViewport(int page) const {
    const qreal screen = (view_->screen() ? view_->screen()->logicalDotsPerInch() : 96.0) / 72.0;
    const QMargins m = view_->documentMargins();
    const QSize room = view_->viewport()->size();
    auto pageSize = [&](int p) {
      QSize size = (doc_->pagePointSize(p) * screen).toSize();
      switch (view_->zoomMode()) {
        case QPdfView::ZoomMode::Custom: return (doc_->pagePointSize(p) * screen * view_->zoomFactor()).toSize();
        case QPdfView::ZoomMode::FitToWidth:
          return size.width() > 0 ? size * (qreal(room.width() - m.left() - m.right()) / size.width()) : size;
        case QPdfView::ZoomMode::FitInView:
          return size.scaled(room + QSize(-m.left() - m.right(), -view_->pageSpacing()), Qt::KeepAspectRatio);
      }
      return size;
    };
    int widest = 0, top = m.top();
    for (int p = 0; p < doc_->pageCount(); ++p) {
      const QSize size = pageSize(p);
      widest = std::max(widest, size.width());
      if (p < page) top += size.height() + view_->pageSpacing();
    }
    const QSize size = pageSize(page);
    const int left = (std::max(widest + m.left() + m.right(), room.width()) - size.width()) / 2;
    return QRect(QPoint(left - view_->horizontalScrollBar()->value(), top - view_->verticalScrollBar()->value()), size);
  }

  // The marks moved to where their page stands now.
  void PlaceMarks() {
    if (!marks_ || markPage_ < 0) return;
    marks_->setGeometry(view_->viewport()->rect());
    const QRect page = PageInViewport(markPage_);
    const QSizeF points = doc_->pagePointSize(markPage_);
    QTransform toView;
    if (points.width() > 0 && points.height() > 0)
      toView.translate(page.left(), page.top()).scale(page.width() / points.width(), page.height() / points.height());
    marks_->Marks.clear();
    for (const QPolygonF& bound : markBounds_) marks_->Marks.push_back(toView.map(bound));
    marks_->update();
  }

  QRectF MarksRect() const {
    QRectF all;
    if (marks_)
      for (const QPolygonF& mark : marks_->Marks) all |= mark.boundingRect();
    return all;
  }

  // The zoom the pages are shown at (1 = their printed size), also when
  // fitted to the view.
  double Zoom() const {
    if (!view_) return 1.0;
    if (view_->zoomMode() == QPdfView::ZoomMode::Custom) return view_->zoomFactor();
    // Fitted: the factor the view chose, from the page's size and its own.
    const QSizeF pt = doc_->pagePointSize(std::max(0, Page()));
    const qreal screen = (view_->screen() ? view_->screen()->logicalDotsPerInch() : 96.0) / 72.0;
    if (pt.width() <= 0 || pt.height() <= 0) return view_->zoomFactor();
    const QMargins m = view_->documentMargins();
    const QSize room = view_->viewport()->size() - QSize(m.left() + m.right(), view_->pageSpacing());
    const double byWidth = room.width() / (pt.width() * screen);
    if (view_->zoomMode() == QPdfView::ZoomMode::FitToWidth) return byWidth;
    return std::min(byWidth, room.height() / (pt.height() * screen));
  }

  // Shows the pages at `zoom`, the page shown before staying in view.
  void SetZoom(double zoom) {
    if (!view_) return;
    zoom = std::clamp(zoom, 0.1, 10.0);
    const int page = Page();
    // The point of the document at the view's middle stays there: the same
    // share of the document's length and width before and after.
    QScrollBar* v = view_->verticalScrollBar();
    QScrollBar* h = view_->horizontalScrollBar();
    const QSize room = view_->viewport()->size();
    const double down = v->maximum() > 0 ? (v->value() + room.height() / 2.0) / (v->maximum() + room.height()) : -1;
    const double across = h->maximum() > 0 ? (h->value() + room.width() / 2.0) / (h->maximum() + room.width()) : 0.5;
    view_->setZoomMode(QPdfView::ZoomMode::Custom);
    view_->setZoomFactor(zoom);
    if (h->maximum() > 0) h->setValue(qRound(across * (h->maximum() + room.width()) - room.width() / 2.0));
    if (down >= 0 && v->maximum() > 0) v->setValue(qRound(down * (v->maximum() + room.height()) - room.height() / 2.0));
    // From a document that fitted in the view, or when the shares drifted:
    // the page's top.
    if (down < 0 || Page() != page) JumpToPage(page);
    UpdateZoomBox();
  }

  void UpdateZoomBox() {
    if (!zoomBox_) return;
    zoomBox_->setCurrentIndex(-1);
    zoomBox_->setEditText(QStringLiteral("%1%").arg(qRound(Zoom() * 100)));
  }

  void UpdatePageLabel() {
    const int count = doc_ ? doc_->pageCount() : 0;
    const int page = view_ ? std::clamp(Page(), 0, std::max(0, count - 1)) : 0;
    const QSignalBlocker block(pageBox_);
    pageBox_->setValue(page + 1);
    prevPage_->setEnabled(page > 0);
    nextPage_->setEnabled(page + 1 < count);
  }

  QFutureWatcher<TPdfFacts>* probe_ = nullptr;
  std::shared_ptr<std::atomic<bool>> probeCancel_;
  // The document and its view, made once the facts are read.
  QPdfDocument* doc_ = nullptr;
  QPdfView* view_ = nullptr;
  QVBoxLayout* layout_ = nullptr;
  QSpinBox* pageBox_ = nullptr;
  QPushButton* prevPage_ = nullptr;
  QPushButton* nextPage_ = nullptr;
  QComboBox* zoomBox_ = nullptr;
  // The text found on a page (its outlines in the page's points), marked.
  int markPage_ = -1;
  QList<QPolygonF> markBounds_;
  TPdfFoundMarks* marks_ = nullptr;
};

}  // namespace

std::unique_ptr<TPreviewRenderer> MakePdfRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                  const TPreviewSniff& sniff) {
  if (!sniff.Head.contains("%PDF-")) return nullptr;
  return std::make_unique<TPdfRenderer>(host, file);
}

}  // namespace dlvr
