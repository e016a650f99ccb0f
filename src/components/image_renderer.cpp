#include "components/image_renderer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace dlvr {
namespace {

class TImageRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  QString Kind() const override { return shown_ ? QStringLiteral("image") : QStringLiteral("blank"); }
  QSize ImageSize() const override { return shown_ ? image_.size() : QSize(); }

  bool Start() override {
    QImageReader reader(File().Path);
    reader.setAutoTransform(true);
    const QImage img = reader.read();
    if (img.isNull()) {
      Host().SetNote(QCoreApplication::translate("TPreviewView", "画像として読めませんでした。"));
      Host().ShowFacts(QString());
      return true;
    }
    image_ = QPixmap::fromImage(img);
    shown_ = true;
    Host().Present(Build());
    UpdateImage();
    return true;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize && scroll_ && watched == scroll_->viewport() && fit_) UpdateImage();
    return TPreviewRenderer::eventFilter(watched, event);
  }

 private:
  QWidget* Build() {
    auto* page = Own(new QWidget);
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
      auto* b = new QPushButton(caption, page);
      b->setObjectName(QString::fromLatin1(name));
      bar->addWidget(b);
      return b;
    };
    QPushButton* fit = button("btnImageFit", QCoreApplication::translate("TPreviewView", "全体を表示"));
    QPushButton* zoomOut = button("btnImageZoomOut", QCoreApplication::translate("TPreviewView", "－"));
    QPushButton* zoomIn = button("btnImageZoomIn", QCoreApplication::translate("TPreviewView", "＋"));
    bar->addStretch(1);
    v->addLayout(bar);
    scroll_ = new QScrollArea(page);
    scroll_->setObjectName(QStringLiteral("ImageScroll"));
    scroll_->setAlignment(Qt::AlignCenter);
    label_ = new QLabel;
    label_->setObjectName(QStringLiteral("ImageView"));
    label_->setAlignment(Qt::AlignCenter);
    scroll_->setWidget(label_);
    scroll_->setWidgetResizable(false);
    scroll_->viewport()->installEventFilter(this);
    v->addWidget(scroll_, 1);

    auto zoom = [this](double factor) {
      if (fit_) scale_ = label_->pixmap().deviceIndependentSize().width() / std::max(1, image_.width());
      fit_ = false;
      scale_ = std::clamp(scale_ * factor, 0.02, 16.0);
      UpdateImage();
    };
    connect(fit, &QPushButton::clicked, this, [this] {
      fit_ = true;
      UpdateImage();
    });
    connect(zoomIn, &QPushButton::clicked, this, [zoom] { zoom(1.25); });
    connect(zoomOut, &QPushButton::clicked, this, [zoom] { zoom(0.8); });
    return page;
  }

  void UpdateImage() {
    QSize target;
    if (fit_) {
      QSize room = scroll_->viewport()->size();
      if (room.width() < 16 || room.height() < 16) room = QSize(640, 480);
      // A small image is shown at its own size, a large one shrunk to fit.
      target = image_.size().width() <= room.width() && image_.size().height() <= room.height()
                   ? image_.size()
                   : image_.size().scaled(room, Qt::KeepAspectRatio);
    } else {
      target = image_.size() * scale_;
    }
    target = target.expandedTo(QSize(1, 1));
    // Scaled for the screen's pixels, not the layout's: on a 1.5x or 2x
    // screen a shrunk image would otherwise be shrunk to the layout size and
    // blown up again, blurred.
    const qreal dpr = label_->devicePixelRatioF();
    const QSize device = (QSizeF(target) * dpr).toSize().expandedTo(QSize(1, 1));
    QPixmap shown =
        device == image_.size() ? image_ : image_.scaled(device, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    shown.setDevicePixelRatio(dpr);
    label_->setPixmap(shown);
    label_->resize(target);
  }

  QPixmap image_;
  bool shown_ = false;
  bool fit_ = true;
  double scale_ = 1.0;
  QScrollArea* scroll_ = nullptr;
  QLabel* label_ = nullptr;
};

}  // namespace

std::unique_ptr<TPreviewRenderer> MakeImageRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                    const TPreviewSniff&) {
  if (QImageReader::imageFormat(file.Path).isEmpty()) return nullptr;
  return std::make_unique<TImageRenderer>(host, file);
}

}  // namespace dlvr
