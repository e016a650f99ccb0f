#include "components/drawing_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegion>
#include <QRegularExpression>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

#include "components/drawing_render.h"
#include "components/ext_registry.h"
#include "components/write_guard.h"
#include "platform/translate.h"
#include "sxf/read_drawing.h"

namespace dlvr {
namespace {

// A movement rests after this many milliseconds without another; then the
// picture is drawn anew at the new place and size.
constexpr int kSettleMs = 120;

// The sheet is never shown smaller or larger than this many pixels a
// millimetre.
constexpr double kMinScale = 1e-3, kMaxScale = 1e4;

QTransform Matrix(const sxf::TTransform& t) { return QTransform(t.A, t.B, t.C, t.D, t.E, t.F); }

}  // namespace

// The title block: names on the left (at most two fifths of the width,
// wrapped beyond), values on the right, each row as high as its wrapped
// text, never scrolled sideways.
class TTitleBlockTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  void Fit() {
    resizeColumnToContents(0);
    setColumnWidth(0, std::min(columnWidth(0), std::max(40, viewport()->width() * 2 / 5)));
    resizeRowsToContents();
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QTableWidget::resizeEvent(e);
    Fit();
  }
};

// A drawing read off the GUI thread with its display lists.
struct TLoadedDrawing {
  std::shared_ptr<const sxf::TDrawing> Drawing;
  std::unique_ptr<TDrawingScene> Scene;
};

class TDrawingCanvasWidget : public QWidget {
 public:
  explicit TDrawingCanvasWidget(TDrawingView::Impl* d, QWidget* parent) : QWidget(parent), d_(d) {
    setObjectName(QStringLiteral("DrawingCanvas"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
  }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void wheelEvent(QWheelEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TDrawingView::Impl* d_;
};

struct TDrawingView::Impl {
  TDrawingView* q = nullptr;
  TDrawingCanvasWidget* canvas = nullptr;
  QLabel* note = nullptr;
  QLabel* status = nullptr;
  QListWidget* layers = nullptr;
  // Where the PDF command never writes.
  QStringList deliveryFolders;
  TTitleBlockTable* title = nullptr;
  QToolButton* zoomRect = nullptr;
  QToolButton* measure = nullptr;
  QToolButton* black = nullptr;

  QString path;
  QString origin;  // the drawing's own file when `path` is a preview copy
  QString problem;
  std::shared_ptr<const sxf::TDrawing> drawing;
  std::vector<QRectF> partialBoxes;  // each partial drawing's box on the sheet
  std::unique_ptr<TDrawingScene> scene;
  QFutureWatcher<std::shared_ptr<TLoadedDrawing>>* watcher = nullptr;
  bool busy = false;

  QTransform view;        // sheet mm -> canvas pixels
  bool fitted = true;     // follows the canvas's size until the user zooms
  QImage cache;           // the last picture drawn
  QTransform cacheView;   // the view it was drawn with
  QTimer settle;

  // Interaction.
  enum class Drag { None, Pan, Rect } drag = Drag::None;
  QPointF dragFrom, dragTo;
  std::vector<QPointF> clicks;  // measure points on the sheet
  QString measureText;

  void Build();
  void Moved() {
    canvas->update();
    settle.start(kSettleMs);
  }
  void Invalidate() {
    cache = QImage();
    canvas->update();
  }
  void FillSide();
  void Fit() {
    if (!scene) return;
    view = TDrawingScene::FitTransform(scene->SheetRect(), QRectF(canvas->rect()).adjusted(8, 8, -8, -8));
    fitted = true;
  }
  void SetView(const QTransform& t) {
    const double s = std::sqrt(std::abs(t.determinant()));
    if (!std::isfinite(s) || s < kMinScale || s > kMaxScale) return;
    view = t;
    fitted = false;
    Moved();
  }
  QString Millimetres(double mm) const {
    return QLocale(QLocale::Japanese).toString(mm, 'f', mm < 100 ? 2 : 1) + QStringLiteral(" mm");
  }
  // The drawing's scale from its title block ("1:500" -> 500), 0 when none.
  double TitleScale() const {
    if (!drawing) return 0;
    static const QRegularExpression ratio(QStringLiteral("^\\s*1\\s*[:：/]\\s*([0-9]+(?:\\.[0-9]+)?)\\s*$"));
    for (const auto& [key, value] : drawing->Attributes) {
      const QString k = QString::fromStdString(key);
      if (!k.contains(QStringLiteral("尺度")) && !k.contains(QStringLiteral("scale"), Qt::CaseInsensitive)) continue;
      if (auto m = ratio.match(QString::fromStdString(value)); m.hasMatch()) return m.captured(1).toDouble();
    }
    return 0;
  }
  // The partial drawing both points lie in (the smallest when they nest),
  // or -1.
  int PartialUnder(QPointF a, QPointF b) const {
    int best = -1;
    for (std::size_t i = 0; i < partialBoxes.size(); ++i) {
      const QRectF& r = partialBoxes[i];
      if (!r.contains(a) || !r.contains(b)) continue;
      if (best < 0 || r.width() * r.height() < partialBoxes[std::size_t(best)].width() * partialBoxes[std::size_t(best)].height())
        best = int(i);
    }
    return best;
  }
  void Click(QPointF canvasPos) {
    const QPointF at = view.inverted().map(canvasPos);
    if (clicks.size() >= 2) clicks.clear();
    clicks.push_back(at);
    if (clicks.size() == 2) {
      const double mm = std::hypot(clicks[1].x() - clicks[0].x(), clicks[1].y() - clicks[0].y());
      const QString distance = Millimetres(mm);
      measureText = QCoreApplication::translate("TDrawingView", "距離 %1").arg(distance);
      const QLocale ja(QLocale::Japanese);
      if (const int k = PartialUnder(clicks[0], clicks[1]); k >= 0) {
        // In a partial drawing: its own coordinates are the real lengths.
        const sxf::TPartial& part = drawing->Partials[std::size_t(k)];
        const QTransform back = Matrix(part.Place).inverted();
        const QPointF a = back.map(clicks[0]), b = back.map(clicks[1]);
        const double real = std::hypot(b.x() - a.x(), b.y() - a.y());
        // One pass: the partial drawing's name may hold "%3".
        measureText = QCoreApplication::translate("TDrawingView", "距離 %1（実長 %2 m、%3 1:%4）")
                          .arg(distance, ja.toString(real / 1000.0, 'f', 3), QString::fromStdString(part.Name),
                               ja.toString(1.0 / part.Place.Scale(), 'g', 6));
      } else if (const double n = TitleScale(); n > 0) {
        measureText = QCoreApplication::translate("TDrawingView", "距離 %1（実長 %2 m、1:%3）")
                          .arg(distance, ja.toString(mm * n / 1000.0, 'f', 3), ja.toString(n, 'g', 8));
      }
      status->setText(measureText);
    } else {
      status->setText(QCoreApplication::translate("TDrawingView", "2 点目をクリックしてください。"));
    }
    canvas->update();
  }
};

void TDrawingCanvasWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  auto* d = d_;
  if (!d->scene) {
    painter.fillRect(rect(), palette().window());
    if (!d->problem.isEmpty() || d->busy) {
      painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                       d->busy ? QCoreApplication::translate("TDrawingView", "図面を読み込んでいます…") : d->problem);
    }
    return;
  }
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = size() * dpr;
  const bool fresh = !d->cache.isNull() && d->cache.size() == pixels && d->cacheView == d->view;
  if (!fresh && (d->cache.isNull() || !d->settle.isActive() || d->cache.size() != pixels)) {
    // Draw anew: the movement has rested (or nothing was drawn yet). After
    // a pan by whole pixels only the part uncovered is drawn.
    const QTransform delta = d->cacheView.inverted() * d->view;
    const QPointF shift(delta.dx() * dpr, delta.dy() * dpr);
    const bool panned = !d->cache.isNull() && d->cache.size() == pixels && delta.type() <= QTransform::TxTranslate &&
                        std::abs(shift.x() - std::round(shift.x())) < 1e-6 &&
                        std::abs(shift.y() - std::round(shift.y())) < 1e-6 && std::abs(shift.x()) < pixels.width() &&
                        std::abs(shift.y()) < pixels.height();
    // Drawn whole, the last picture is painted over when it has the size:
    // a fresh image would cost a page fault for every few pixels.
    QImage next = !panned && d->cache.size() == pixels ? std::move(d->cache) : QImage(pixels, QImage::Format_RGB32);
    next.setDevicePixelRatio(dpr);
    QPainter p(&next);
    const QRectF whole(rect());
    if (panned) {
      p.drawImage(QPointF(delta.dx(), delta.dy()), d->cache);
      const QRectF kept = whole.translated(delta.dx(), delta.dy()) & whole;
      const QRegion uncovered = QRegion(whole.toAlignedRect()) - QRegion(kept.toAlignedRect());
      for (const QRect& strip : uncovered) {
        p.save();
        p.setClipRect(strip);
        d->scene->Paint(p, d->view, QRectF(strip), true, whole);
        p.restore();
      }
      p.end();
    } else {
      p.end();
      d->scene->PaintImage(next, d->view, std::max(1, QThread::idealThreadCount()));
    }
    d->cache = std::move(next);
    d->cacheView = d->view;
  }
  if (d->cacheView == d->view) {
    painter.drawImage(0, 0, d->cache);
  } else {
    // Meanwhile the last picture follows the movement.
    painter.fillRect(rect(), d->scene->BlackBackground() ? QColor(40, 40, 40) : QColor(160, 160, 160));
    painter.setTransform(d->cacheView.inverted() * d->view);
    painter.drawImage(QRectF(rect()), d->cache);
    painter.resetTransform();
  }
  const QColor mark = d->scene->BlackBackground() ? QColor(255, 200, 0) : QColor(220, 0, 120);
  if (d->drag == TDrawingView::Impl::Drag::Rect) {
    painter.setPen(QPen(mark, 1, Qt::DashLine));
    painter.drawRect(QRectF(d->dragFrom, d->dragTo).normalized());
  }
  if (!d->clicks.empty()) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(mark, 1.5));
    std::vector<QPointF> at;
    for (QPointF c : d->clicks) at.push_back(d->view.map(c));
    for (QPointF c : at) {
      painter.drawLine(c - QPointF(6, 0), c + QPointF(6, 0));
      painter.drawLine(c - QPointF(0, 6), c + QPointF(0, 6));
    }
    if (at.size() == 2) painter.drawLine(at[0], at[1]);
  }
}

void TDrawingCanvasWidget::resizeEvent(QResizeEvent*) {
  if (d_->fitted) d_->Fit();
  d_->Invalidate();
}

void TDrawingCanvasWidget::wheelEvent(QWheelEvent* e) {
  const int delta = e->angleDelta().y();
  if (delta == 0 || !d_->scene) return;
  d_->q->ZoomAt(e->position(), std::pow(1.25, delta / 120.0));
  e->accept();
}

void TDrawingCanvasWidget::mousePressEvent(QMouseEvent* e) {
  if (!d_->scene) return;
  setFocus(Qt::MouseFocusReason);
  d_->dragFrom = d_->dragTo = e->position();
  if (e->button() == Qt::MiddleButton) {
    d_->drag = TDrawingView::Impl::Drag::Pan;
  } else if (e->button() == Qt::LeftButton) {
    if (d_->measure->isChecked()) {
      d_->Click(e->position());
      return;
    }
    d_->drag = d_->zoomRect->isChecked() || (e->modifiers() & Qt::ShiftModifier) ? TDrawingView::Impl::Drag::Rect
                                                                                 : TDrawingView::Impl::Drag::Pan;
    if (d_->drag == TDrawingView::Impl::Drag::Pan) setCursor(Qt::ClosedHandCursor);
  }
}

void TDrawingCanvasWidget::mouseMoveEvent(QMouseEvent* e) {
  if (!d_->scene) return;
  const QPointF at = d_->view.inverted().map(e->position());
  if (d_->measureText.isEmpty() || !d_->measure->isChecked())
    d_->status->setText(QStringLiteral("X %1  Y %2 mm").arg(at.x(), 0, 'f', 2).arg(at.y(), 0, 'f', 2));
  if (d_->drag == TDrawingView::Impl::Drag::Pan) {
    d_->q->PanBy(e->position() - d_->dragTo);
    d_->dragTo = e->position();
  } else if (d_->drag == TDrawingView::Impl::Drag::Rect) {
    d_->dragTo = e->position();
    update();
  }
}

void TDrawingCanvasWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (d_->drag == TDrawingView::Impl::Drag::Rect) {
    d_->drag = TDrawingView::Impl::Drag::None;
    const QRectF r = QRectF(d_->dragFrom, e->position()).normalized();
    if (r.width() >= 4 && r.height() >= 4) d_->q->ZoomToRect(r);
    d_->zoomRect->setChecked(false);
    update();
  }
  d_->drag = TDrawingView::Impl::Drag::None;
  unsetCursor();
}

void TDrawingCanvasWidget::keyPressEvent(QKeyEvent* e) {
  if (!d_->scene) return QWidget::keyPressEvent(e);
  const QPointF centre = QRectF(rect()).center();
  const double stepX = width() / 8.0, stepY = height() / 8.0;
  switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: d_->q->ZoomAt(centre, 1.25); break;
    case Qt::Key_Minus: d_->q->ZoomAt(centre, 0.8); break;
    case Qt::Key_Left: d_->q->PanBy({stepX, 0}); break;
    case Qt::Key_Right: d_->q->PanBy({-stepX, 0}); break;
    case Qt::Key_Up: d_->q->PanBy({0, stepY}); break;
    case Qt::Key_Down: d_->q->PanBy({0, -stepY}); break;
    case Qt::Key_Home:
    case Qt::Key_F: d_->q->FitToSheet(); break;
    case Qt::Key_Z: d_->zoomRect->toggle(); break;
    case Qt::Key_M: d_->measure->toggle(); break;
    case Qt::Key_Escape:
      d_->zoomRect->setChecked(false);
      d_->measure->setChecked(false);
      break;
    default: return QWidget::keyPressEvent(e);
  }
  e->accept();
}

void TDrawingView::Impl::Build() {
  auto* outer = new QVBoxLayout(q);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(4, 2, 4, 2);
  auto button = [&](const char* name, const QString& caption, const QString& tip, bool checkable) {
    auto* b = new QToolButton(q);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setToolTip(tip);
    b->setCheckable(checkable);
    bar->addWidget(b);
    return b;
  };
  QToolButton* fit = button("btnDrawingFit", QCoreApplication::translate("TDrawingView", "全体を表示"),
                            QCoreApplication::translate("TDrawingView", "用紙全体を表示 (Home)"), false);
  QToolButton* in = button("btnDrawingZoomIn", QCoreApplication::translate("TDrawingView", "＋"),
                           QCoreApplication::translate("TDrawingView", "拡大 (+)"), false);
  QToolButton* out = button("btnDrawingZoomOut", QCoreApplication::translate("TDrawingView", "－"),
                            QCoreApplication::translate("TDrawingView", "縮小 (-)"), false);
  zoomRect = button("btnDrawingZoomRect", QCoreApplication::translate("TDrawingView", "範囲拡大"),
                    QCoreApplication::translate("TDrawingView", "ドラッグした範囲を拡大 (Z、Shift+ドラッグ)"), true);
  measure = button("btnDrawingMeasure", QCoreApplication::translate("TDrawingView", "距離計測"),
                   QCoreApplication::translate("TDrawingView", "2 点をクリックして距離を計測 (M)"), true);
  black = button("btnDrawingBlack", QCoreApplication::translate("TDrawingView", "黒背景"),
                 QCoreApplication::translate("TDrawingView", "背景を黒にする"), true);
  QToolButton* print = button("btnDrawingPrint", QCoreApplication::translate("TDrawingView", "印刷…"),
                              QCoreApplication::translate("TDrawingView", "図面を印刷"), false);
  QToolButton* pdf = button("btnDrawingPdf", QCoreApplication::translate("TDrawingView", "PDF 出力…"),
                            QCoreApplication::translate("TDrawingView", "用紙の大きさの PDF に出力"), false);
  bar->addStretch(1);
  outer->addLayout(bar);

  note = new QLabel(q);
  note->setObjectName(QStringLiteral("lblDrawingNote"));
  note->setWordWrap(true);
  note->setMargin(4);
  note->setStyleSheet(QStringLiteral("background:#ffffe1; color:#000000;"));
  note->hide();
  outer->addWidget(note);

  auto* split = new QSplitter(Qt::Horizontal, q);
  auto* side = new QSplitter(Qt::Vertical, split);
  layers = new QListWidget(side);
  layers->setObjectName(QStringLiteral("lstLayers"));
  title = new TTitleBlockTable(0, 2, side);
  title->setObjectName(QStringLiteral("tblTitleBlock"));
  title->setHorizontalHeaderLabels(
      {QCoreApplication::translate("TDrawingView", "表題欄"), QCoreApplication::translate("TDrawingView", "値")});
  title->horizontalHeader()->setStretchLastSection(true);
  title->verticalHeader()->hide();
  title->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A long value wraps onto more lines rather than being cut; its tooltip
  // has it whole.
  title->setWordWrap(true);
  title->setTextElideMode(Qt::ElideNone);
  title->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  title->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  title->horizontalHeader()->setMinimumSectionSize(24);
  title->hide();
  QObject::connect(title->horizontalHeader(), &QHeaderView::sectionResized, title,
                   [this] { title->resizeRowsToContents(); });
  canvas = new TDrawingCanvasWidget(this, split);
  split->addWidget(side);
  split->addWidget(canvas);
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  split->setSizes({240, 560});
  outer->addWidget(split, 1);

  status = new QLabel(q);
  status->setObjectName(QStringLiteral("lblDrawingStatus"));
  status->setMargin(2);
  outer->addWidget(status);

  settle.setSingleShot(true);
  QObject::connect(&settle, &QTimer::timeout, canvas, [this] { canvas->update(); });
  QObject::connect(fit, &QToolButton::clicked, q, [this] { q->FitToSheet(); });
  QObject::connect(in, &QToolButton::clicked, q, [this] { q->ZoomAt(QRectF(canvas->rect()).center(), 1.25); });
  QObject::connect(out, &QToolButton::clicked, q, [this] { q->ZoomAt(QRectF(canvas->rect()).center(), 0.8); });
  QObject::connect(zoomRect, &QToolButton::toggled, q, [this](bool on) {
    if (on) measure->setChecked(false);
    canvas->setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
  });
  QObject::connect(measure, &QToolButton::toggled, q, [this](bool on) {
    if (on) {
      zoomRect->setChecked(false);
      status->setText(QCoreApplication::translate("TDrawingView", "1 点目をクリックしてください。"));
    }
    clicks.clear();
    canvas->setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    canvas->update();
  });
  QObject::connect(black, &QToolButton::toggled, q, [this](bool on) { q->SetBlackBackground(on); });
  QObject::connect(layers, &QListWidget::itemChanged, q, [this](QListWidgetItem* item) {
    const int layer = item->data(Qt::UserRole).toInt();
    if (scene && scene->LayerShown(layer) != (item->checkState() == Qt::Checked))
      q->SetLayerShown(layer, item->checkState() == Qt::Checked);
  });
  QObject::connect(print, &QToolButton::clicked, q, [this] {
    if (!scene) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, q);
    if (dialog.exec() == QDialog::Accepted) q->PrintTo(printer);
  });
  QObject::connect(pdf, &QToolButton::clicked, q, [this] { q->ExportPdfAsked(); });
}

void TDrawingView::Impl::FillSide() {
  const QSignalBlocker block(layers);
  layers->clear();
  title->setRowCount(0);
  if (!drawing) {
    title->hide();
    return;
  }
  QLocale c(QLocale::Japanese);
  for (std::size_t i = 0; i < drawing->Layers.size(); ++i) {
    const int n = scene->LayerFeatures(int(i));
    auto* item = new QListWidgetItem(QString::fromStdString(drawing->Layers[i].Name) +
                                         QStringLiteral(" (%1)").arg(c.toString(n)),
                                     layers);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(scene->LayerShown(int(i)) ? Qt::Checked : Qt::Unchecked);
    item->setData(Qt::UserRole, int(i));
  }
  for (const auto& [key, value] : drawing->Attributes) {
    const int row = title->rowCount();
    title->insertRow(row);
    const QString texts[] = {QString::fromStdString(Tr("SxfTitleBlock", key)), QString::fromStdString(value)};
    for (int col = 0; col < 2; ++col) {
      auto* item = new QTableWidgetItem(texts[col]);
      item->setToolTip(texts[col]);
      title->setItem(row, col, item);
    }
  }
  title->setVisible(!drawing->Attributes.empty());
  title->Fit();
}

TDrawingView::TDrawingView(QWidget* parent) : QWidget(parent), d_(std::make_unique<Impl>()) {
  setObjectName(QStringLiteral("DrawingView"));
  d_->q = this;
  d_->Build();
}

TDrawingView::~TDrawingView() {
  if (d_->watcher) d_->watcher->disconnect();
}

void TDrawingView::Open(const QString& path, const QString& origin) {
  SetDrawing(nullptr, path, origin);
  d_->busy = true;
  auto* w = new QFutureWatcher<std::shared_ptr<TLoadedDrawing>>(this);
  d_->watcher = w;
  connect(w, &QFutureWatcherBase::finished, this, [this, w, path, origin] {
    if (w != d_->watcher) return;
    d_->watcher = nullptr;
    w->deleteLater();
    std::shared_ptr<TLoadedDrawing> read = w->result();
    d_->busy = false;
    if (!read) {
      d_->problem = QCoreApplication::translate("TDrawingView", "SXF の図面ではないため表示できません。");
      d_->note->setText(d_->problem);
      d_->note->show();
      d_->canvas->update();
    } else {
      Show(read->Drawing, std::move(read->Scene), path, origin);
    }
    emit Loaded(path);
  });
  // The work holds the file's name only: a view closed meanwhile drops the
  // result. Its display lists are made there too.
  const std::string file = path.toStdString();
  w->setFuture(QtConcurrent::run([file]() -> std::shared_ptr<TLoadedDrawing> {
    if (sxf::SniffMode(file).empty()) return nullptr;
    // The reader keeps within its budget; should memory still run out while
    // the display lists are made, the drawing is shown empty with the reason.
    try {
      auto loaded = std::make_shared<TLoadedDrawing>();
      loaded->Drawing = std::make_shared<sxf::TDrawing>(sxf::ReadDrawing(file));
      loaded->Scene = std::make_unique<TDrawingScene>(loaded->Drawing);
      return loaded;
    } catch (const std::bad_alloc&) {
      auto loaded = std::make_shared<TLoadedDrawing>();
      auto empty = std::make_shared<sxf::TDrawing>();
      sxf::StopForMemory(*empty, [] {
        return QCoreApplication::translate("TDrawingView", "メモリが足りないため図面を読み込めません").toStdString();
      });
      loaded->Drawing = empty;
      loaded->Scene = std::make_unique<TDrawingScene>(loaded->Drawing);
      return loaded;
    }
  }));
  d_->canvas->update();
}

void TDrawingView::SetDrawing(std::shared_ptr<const sxf::TDrawing> drawing, const QString& path,
                              const QString& origin) {
  std::unique_ptr<TDrawingScene> scene = drawing ? std::make_unique<TDrawingScene>(drawing) : nullptr;
  Show(std::move(drawing), std::move(scene), path, origin);
}

void TDrawingView::Show(std::shared_ptr<const sxf::TDrawing> drawing, std::unique_ptr<TDrawingScene> scene,
                        const QString& path, const QString& origin) {
  // A file still being read is of no use now.
  if (d_->watcher) {
    d_->watcher->disconnect();
    d_->watcher->deleteLater();
    d_->watcher = nullptr;
  }
  d_->busy = false;
  if (path != d_->path) {
    // Points measured or a rectangle begun on one drawing mean nothing on
    // another.
    d_->measure->setChecked(false);
    d_->zoomRect->setChecked(false);
  }
  d_->path = path;
  d_->origin = origin.isEmpty() ? path : origin;
  d_->drawing = std::move(drawing);
  d_->scene = std::move(scene);
  if (d_->scene) d_->scene->SetBlackBackground(d_->black->isChecked());
  d_->clicks.clear();
  d_->measureText.clear();
  d_->problem.clear();
  d_->partialBoxes.clear();
  if (d_->drawing) {
    const sxf::TDrawing& dr = *d_->drawing;
    for (const sxf::TPartial& part : dr.Partials) {
      QRectF box;
      const std::size_t end = std::min(dr.Primitives.size(), part.First + std::min(part.Count, dr.Primitives.size()));
      for (std::size_t i = part.First; i < end; ++i) {
        const QRectF b = PrimitiveBounds(dr.Primitives[i]);
        box = box.isNull() ? b : box.united(b);
      }
      d_->partialBoxes.push_back(part.Place.Scale() > 0 ? box : QRectF());
    }
  }
  if (d_->drawing && d_->drawing->Stop.Broken) {
    // A stop at no line of the file (the drawing too large to expand, or
    // memory running out) is told by its reason alone.
    const QString reason = QString::fromStdString(d_->drawing->Stop.Reason);
    d_->problem =
        d_->drawing->Stop.Line > 0
            ? QCoreApplication::translate(
                  "TDrawingView", "図面を最後まで読めませんでした（%1 行目: %2）。読めたところまで表示しています。")
                  .arg(d_->drawing->Stop.Line)
                  .arg(reason)
            : QCoreApplication::translate("TDrawingView",
                                          "図面を最後まで読めませんでした（%1）。読めたところまで表示しています。")
                  .arg(reason);
  }
  d_->note->setText(d_->problem);
  d_->note->setVisible(!d_->problem.isEmpty());
  QString facts;
  if (d_->drawing) {
    const QRectF s = d_->scene->SheetRect();
    // One pass: the sheet's name comes from the file and may hold "%2".
    facts =
        QCoreApplication::translate("TDrawingView", "用紙 %1 (%2 × %3 mm)、図形 %4 個")
            .arg(QString::fromStdString(d_->drawing->SheetName.empty() ? std::string("free") : d_->drawing->SheetName),
                 QString::number(s.width(), 'g', 6), QString::number(s.height(), 'g', 6),
                 QLocale(QLocale::Japanese).toString(qulonglong(d_->drawing->Primitives.size())));
  }
  d_->status->setText(facts);
  d_->FillSide();
  d_->Fit();
  d_->Invalidate();
}

bool TDrawingView::Busy() const { return d_->busy; }
QString TDrawingView::Path() const { return d_->path; }
QString TDrawingView::Origin() const { return d_->origin; }
QString TDrawingView::Problem() const { return d_->problem; }
const TDrawingScene* TDrawingView::Scene() const { return d_->scene.get(); }
QWidget* TDrawingView::Canvas() const { return d_->canvas; }
QString TDrawingView::MeasureText() const { return d_->measureText; }
QTransform TDrawingView::SheetToCanvas() const { return d_->view; }
QPointF TDrawingView::ToSheet(QPointF canvasPos) const { return d_->view.inverted().map(canvasPos); }

void TDrawingView::FitToSheet() {
  d_->Fit();
  d_->Moved();
}

void TDrawingView::ZoomAt(QPointF canvasPos, double factor) {
  if (!d_->scene || !(factor > 0)) return;
  // The sheet point under canvasPos stays there.
  QTransform t = d_->view;
  t *= QTransform::fromTranslate(-canvasPos.x(), -canvasPos.y());
  t *= QTransform::fromScale(factor, factor);
  t *= QTransform::fromTranslate(canvasPos.x(), canvasPos.y());
  d_->SetView(t);
}

void TDrawingView::ZoomToRect(const QRectF& r) {
  if (!d_->scene || r.width() < 1 || r.height() < 1) return;
  const QRectF sheetRect = d_->view.inverted().mapRect(r);
  d_->SetView(TDrawingScene::FitTransform(sheetRect, QRectF(d_->canvas->rect())));
}

void TDrawingView::PanBy(QPointF delta) {
  if (!d_->scene) return;
  d_->SetView(d_->view * QTransform::fromTranslate(delta.x(), delta.y()));
}

void TDrawingView::SetLayerShown(int layer, bool shown) {
  if (!d_->scene) return;
  d_->scene->SetLayerShown(layer, shown);
  if (QListWidgetItem* item = d_->layers->item(layer)) {
    const QSignalBlocker block(d_->layers);
    item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
  }
  d_->Invalidate();
}

void TDrawingView::SetBlackBackground(bool black) {
  if (d_->black->isChecked() != black) d_->black->setChecked(black);
  if (d_->scene) d_->scene->SetBlackBackground(black);
  d_->Invalidate();
}

bool TDrawingView::PrintTo(QPrinter& printer) {
  if (!d_->scene) return false;
  const QRectF sheet = d_->scene->SheetRect();
  printer.setPageOrientation(sheet.width() > sheet.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  d_->scene->PaintOnPaper(painter, QRectF(QPointF(0, 0), QSizeF(printer.width(), printer.height())));
  return painter.end();
}

bool TDrawingView::ExportPdf(const QString& path) {
  if (!d_->scene) return false;
  return WriteDrawingFile(*d_->scene, path, 0, nullptr);
}

namespace {

// Where the folder of the last PDF export is kept.
const QString kPdfFolderValue = QStringLiteral("PdfFolder");
TExtRegistry DrawingSettings() { return TExtRegistry(QStringLiteral("DrawingView")); }

}  // namespace

QString TDrawingView::SuggestedPdfPath() const {
  if (!d_->scene) return {};
  QString folder = DrawingSettings().ReadString(kPdfFolderValue, QString());
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  }
  return QDir(folder).filePath(QFileInfo(d_->origin).completeBaseName() + QStringLiteral(".pdf"));
}

void TDrawingView::SetDeliveryFolders(const QStringList& folders) { d_->deliveryFolders = folders; }

bool TDrawingView::ExportPdfAsked() {
  if (!d_->scene) return false;
  const QString caption = QCoreApplication::translate("TDrawingView", "PDF 出力");
  const QString filter = QStringLiteral("PDF (*.pdf)");
  const QString suggested = SuggestedPdfPath();
  const QString file = AskSavePath ? AskSavePath(this, caption, suggested, filter)
                                   : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (file.isEmpty()) return false;
  if (PathInsideFolders(file, d_->deliveryFolders + QStringList{QFileInfo(Origin()).absolutePath()})) {
    d_->status->setText(QCoreApplication::translate("TDrawingView", "納品データのフォルダには書き出せません: %1").arg(file));
    return false;
  }
  if (!ExportPdf(file)) {
    d_->status->setText(QCoreApplication::translate("TDrawingView", "PDF を書き込めませんでした: %1").arg(file));
    return false;
  }
  TExtRegistry settings = DrawingSettings();
  settings.WriteString(kPdfFolderValue, QFileInfo(file).absolutePath());
  return true;
}

}  // namespace dlvr

#include "moc_drawing_view.cpp"
