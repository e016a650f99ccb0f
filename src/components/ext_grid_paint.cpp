#include "components/ext_grid.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>

#include <algorithm>

#include "components/ext_grid_internal.h"

// The grid's painting: cells, their lines and the selection marker.

namespace dlvr {

using namespace ext_grid_detail;

namespace {

// Paints a grid line into the gap `r` with a pen.
void PaintGridLine(QPainter& p, const QRect& r, const QPen& pen, bool vertical) {
  if (r.isEmpty() || pen.style() == Qt::NoPen) return;
  if (pen.style() == Qt::SolidLine) {
    p.fillRect(r, pen.color());
    return;
  }
  QPen q(pen);
  q.setWidth(vertical ? r.width() : r.height());
  q.setCapStyle(Qt::FlatCap);
  p.setPen(q);
  if (vertical) {
    const double x = r.left() + r.width() / 2.0;
    p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom() + 1));
  } else {
    const double y = r.top() + r.height() / 2.0;
    p.drawLine(QPointF(r.left(), y), QPointF(r.right() + 1, y));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Drawing

void TExtGrid3::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const int w = ClientWidth(), h = ClientHeight();
  p.fillRect(QRect(0, 0, w, h), color_);
  const bool focused = HasFocusWithin();

  std::vector<std::pair<int, int>> cols, rows;  // index, position
  int x = 0;
  for (int c = 0; c < fixedCols_; ++c) {
    if (colWidths_[c] >= 0) cols.emplace_back(c, x);
    x += ColExtent(c);
  }
  for (int c = leftCol_; c < colCount_ && x < w; ++c) {
    if (colWidths_[c] >= 0) cols.emplace_back(c, x);
    x += ColExtent(c);
  }
  int y = 0;
  for (int r = 0; r < fixedRows_; ++r) {
    if (rowHeights_[r] >= 0) rows.emplace_back(r, y);
    y += RowExtent(r);
  }
  for (int r = topRow_; r < rowCount_ && y < h; ++r) {
    if (rowHeights_[r] >= 0) rows.emplace_back(r, y);
    y += RowExtent(r);
  }

  const QRect dirty = e->rect();
  for (const auto& [row, ry] : rows) {
    for (const auto& [col, cx] : cols) {
      const QRect r(cx, ry, colWidths_[col], ShownRowHeight(row));
      if (!dirty.intersects(r.adjusted(0, 0, lineWidth_, lineWidth_))) continue;
      DrawCell(p, col, row, r, focused);
    }
  }
  if (selMarker_ != mkNone && colCount_ > 0) {
    const QRect r = CellRect(0, row_);
    if (!r.isEmpty()) DrawMarker(p, r, focused);
  }
}

void TExtGrid3::DrawCell(QPainter& p, int col, int row, const QRect& r, bool focused) {
  const TCellAtr a = CellAtr(col, row);
  const bool selected = !a.Fixed && row == row_ && (options_.testFlag(goRowSelect) || col == col_);
  QColor bg = a.Color;
  if (selected) bg = focused ? selFcsB_ : selNFcsB_;
  p.fillRect(r, bg);
  if (a.Fixed && r.width() > 0 && r.height() > 0) {
    const QPalette pal = palette();
    const QColor light = pal.color(QPalette::Light), dark = pal.color(QPalette::Dark);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dark);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dark);
  }

  const int vw = options_.testFlag(col < fixedCols_ ? goFixedVertLine : goVertLine) ? lineWidth_ : 0;
  const int hw = options_.testFlag(row < fixedRows_ ? goFixedHorzLine : goHorzLine) ? lineWidth_ : 0;
  if (vw > 0) PaintGridLine(p, QRect(r.right() + 1, r.top(), vw, r.height() + hw), a.RightLine, true);
  if (hw > 0) PaintGridLine(p, QRect(r.left(), r.bottom() + 1, r.width() + vw, hw), a.BottomLine, false);

  const int step = TextHeight0() + 2;
  const int n = std::clamp(a.LineCount, 0, 4);
  for (int i = 0; i < n; ++i) {
    const TCellLineAtr& la = a.Line[i];
    QString text = LineText(col, row, i);
    if (text.isEmpty()) continue;
    QRect lr(r.left() + kCellPadding, r.top() + qRound(la.Position * step) + kCellPadding,
             r.width() - 2 * kCellPadding, 0);
    lr.setBottom(r.bottom() - kCellPadding);
    if (lr.width() <= 0 || lr.height() <= 0) continue;
    p.save();
    p.setClipRect(lr);
    p.setFont(la.Font);
    p.setPen(selected ? (focused ? selFcsF_ : selNFcsF_) : la.FontColor);
    if (la.TextLines >= 2) {
      text.replace(kCRLF, QStringLiteral("\n"));
      text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
      QTextOption o(Qt::AlignLeft | Qt::AlignTop);
      o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
      p.drawText(QRectF(lr), text, o);
    } else {
      const int align = la.Alignment == taRightJustify ? Qt::AlignRight
                        : la.Alignment == taCenter     ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
      p.drawText(lr, Qt::TextSingleLine | Qt::AlignTop | align, FitLine(la.Font, text, lr.width()));
    }
    p.restore();
  }
}

void TExtGrid3::DrawMarker(QPainter& p, const QRect& r, bool focused) {
  const int s = std::max(4, std::min(r.height() - 4, 9));
  const int x = r.left() + 3, cy = r.top() + r.height() / 2;
  const bool filled = selMarker_ == mkTriangle || selMarker_ == mkRoundRect || selMarker_ == mkCrossLine;
  const QColor c = palette().color(focused ? QPalette::Highlight : QPalette::ButtonText);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(c, 1));
  p.setBrush(filled ? QBrush(c) : QBrush(Qt::NoBrush));
  switch (selMarker_) {
    case mkUnTriangle:
    case mkTriangle: {
      const QPointF pts[3] = {QPointF(x, cy - s / 2.0), QPointF(x, cy + s / 2.0), QPointF(x + s / 2.0 + 1, cy)};
      p.drawPolygon(pts, 3);
      break;
    }
    case mkUnRoundRect:
    case mkRoundRect:
      p.drawRoundedRect(QRectF(x, cy - s / 2.0, s, s), 2, 2);
      break;
    case mkUnCrossLine:
    case mkCrossLine:
      p.setPen(QPen(c, filled ? 2 : 1));
      p.drawLine(QPointF(x, cy - s / 2.0), QPointF(x + s, cy + s / 2.0));
      p.drawLine(QPointF(x, cy + s / 2.0), QPointF(x + s, cy - s / 2.0));
      break;
    case mkNone:
      break;
  }
  p.restore();
}

}  // namespace dlvr
