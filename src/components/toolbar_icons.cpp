#include "components/toolbar_icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <functional>

namespace dlvr {
namespace {

// The outline drawn around a glyph on a dark window.
const QColor kOutline(236, 236, 236);

// An icon painted on demand by a function of (image, dark window); modes
// other than Normal are made from it the way the style makes them.
class TPaintedEngine : public QIconEngine {
 public:
  using Painter = std::function<QImage(QSize size, QIcon::Mode mode, QIcon::State state, bool dark)>;
  explicit TPaintedEngine(Painter painter) : painter_(std::move(painter)) {}

  QIconEngine* clone() const override { return new TPaintedEngine(painter_); }
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    if (size.isEmpty()) return {};
    QPixmap pm = QPixmap::fromImage(painter_(size, mode, state, IsDarkPalette(QApplication::palette())));
    if (mode == QIcon::Normal || mode == QIcon::Active || !qApp) return pm;
    QStyleOption option;
    option.palette = QApplication::palette();
    const QPixmap made = QApplication::style()->generatedIconPixmap(mode, pm, &option);
    return made.isNull() ? pm : made;
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pm = pixmap(rect.size() * dpr, mode, state);
    pm.setDevicePixelRatio(dpr);
    painter->drawPixmap(rect, pm);
  }

 private:
  Painter painter_;
};

QImage Transparent(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QImage PaintPhoto(QSize size) {
  QImage image = Transparent(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Drawn on a square of side 1, centred in the image.
  const double side = std::min(size.width(), size.height());
  p.translate((size.width() - side) / 2, (size.height() - side) / 2);
  p.scale(side, side);
  const QRectF frame(0.04, 0.12, 0.92, 0.76), picture(0.12, 0.20, 0.76, 0.60);
  p.setPen(QPen(QColor(70, 70, 70), 0.05));
  p.setBrush(Qt::white);
  p.drawRoundedRect(frame, 0.06, 0.06);
  p.setPen(Qt::NoPen);
  QLinearGradient sky(picture.topLeft(), picture.bottomLeft());
  sky.setColorAt(0, QColor(80, 150, 230));
  sky.setColorAt(1, QColor(190, 225, 255));
  p.setBrush(sky);
  p.drawRect(picture);
  p.setBrush(QColor(255, 196, 40));
  p.drawEllipse(QPointF(0.68, 0.36), 0.085, 0.085);
  QPainterPath far;
  far.moveTo(picture.left(), 0.62);
  far.lineTo(0.38, 0.42);
  far.lineTo(0.62, 0.66);
  far.lineTo(picture.right(), 0.58);
  far.lineTo(picture.bottomRight());
  far.lineTo(picture.bottomLeft());
  far.closeSubpath();
  p.setBrush(QColor(60, 150, 60));
  p.drawPath(far);
  QPainterPath near;
  near.moveTo(picture.left(), 0.74);
  near.quadTo(0.55, 0.56, picture.right(), 0.72);
  near.lineTo(picture.bottomRight());
  near.lineTo(picture.bottomLeft());
  near.closeSubpath();
  p.setBrush(QColor(30, 105, 40));
  p.drawPath(near);
  return image;
}

// `source` on a transparent image of its size, with a band of `colour`
// `radius` pixels wide around every opaque part.
QImage WithOutline(const QImage& source, const QColor& colour, int radius) {
  QImage glyph = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage silhouette = glyph;
  {
    QPainter p(&silhouette);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(silhouette.rect(), colour);
  }
  QImage out = Transparent(glyph.size());
  out.setDevicePixelRatio(glyph.devicePixelRatio());
  QPainter p(&out);
  const qreal dpr = glyph.devicePixelRatio();
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (dx * dx + dy * dy <= radius * radius + 1) p.drawImage(QPointF(dx / dpr, dy / dpr), silhouette);
  p.drawImage(QPointF(0, 0), glyph);
  return out;
}

}  // namespace

bool IsDarkPalette(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QIcon PhotoIcon() {
  return QIcon(new TPaintedEngine([](QSize size, QIcon::Mode, QIcon::State, bool) { return PaintPhoto(size); }));
}

QIcon OutlinedIcon(const QIcon& icon) {
  return QIcon(new TPaintedEngine([icon](QSize size, QIcon::Mode mode, QIcon::State state, bool dark) {
    // The glyph at the size asked for, even where the icon has only smaller
    // pictures of itself; on a dark window a little smaller, leaving room
    // for its outline.
    const int outline = dark ? std::max(1, int(std::lround(size.width() / 16.0))) : 0;
    QImage glyph = Transparent(size);
    {
      QPainter p(&glyph);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      const QPixmap pm = icon.pixmap(size, mode == QIcon::Disabled ? QIcon::Normal : mode, state);
      p.drawPixmap(QRect(QPoint(0, 0), size).adjusted(outline, outline, -outline, -outline), pm);
    }
    return dark ? WithOutline(glyph, kOutline, outline) : glyph;
  }));
}

}  // namespace dlvr
