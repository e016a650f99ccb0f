// What the parts of the drawing renderer (the geometry of primitives, the
// display lists and their place index, painting, the PNG and SVG writers)
// share: the outline of a primitive, a hatch's boundary and pattern lines,
// a text's characters, and the walk over a group's index.
#pragma once

#include <QLineF>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "components/drawing_render.h"
#include "sxf/drawing.h"

namespace dlvr::drawing_detail {

using sxf::TKind;
using sxf::TPrimitive;

inline constexpr double kPi = 3.14159265358979323846;

// A text's characters are laid out in a font of this pixel size and scaled.
inline constexpr int kGlyphPixels = 64;

inline QPointF Q(sxf::TPoint p) { return {p.X, p.Y}; }

// The line a primitive is drawn with, in sheet millimetres, sampled finely
// enough that no chord strays more than `tolerance` mm from a curve.
void Outline(const TPrimitive& p, double tolerance, std::vector<QPointF>& out, bool& closed);

QPainterPath HatchPath(const TPrimitive& p);

// The lines of a hatch pattern across `box` (sheet mm), each (from, to).
std::vector<QLineF> PatternLines(const TPrimitive& p, const QRectF& box, double minPitch);

// A primitive every number of which can be drawn: finite, and within a
// kilometre of the sheet (a file may hold anything).
bool Drawable(const TPrimitive& p);

inline QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The characters of a text, one string each (a surrogate pair kept whole).
QStringList Characters(const QString& text);

}  // namespace dlvr::drawing_detail

namespace dlvr {

template <class Item, class Run>
void TDrawingScene::Walk(const TGroup& g, const TBox& seen, float dot, float boxOnly,
                         const sxf::TPrimitive* primitives, Item&& item, Run&& run) {
  if (g.Boxes.empty()) return;
  auto meets = [&](const TBox& b) { return !(b.X1 < seen.X0 || b.X0 > seen.X1 || b.Y1 < seen.Y0 || b.Y0 > seen.Y1); };
  // A run at `level` covers kFan^(level + 1) items.
  std::size_t span[32];
  span[0] = kFan;
  for (std::size_t l = 1; l < g.Boxes.size() && l < 32; ++l) span[l] = span[l - 1] * kFan;
  struct TStep {
    std::uint32_t Level, Box;
  };
  TStep stack[32 * kFan];
  std::size_t top = 0;
  stack[top++] = {std::uint32_t(g.Boxes.size() - 1), 0};
  const std::size_t n = g.Items.size();
  while (top > 0) {
    const TStep s = stack[--top];
    const TBox& b = g.Boxes[s.Level][s.Box];
    if (!meets(b)) continue;
    if (dot > 0 && b.X1 - b.X0 < dot && b.Y1 - b.Y0 < dot) {
      const std::size_t from = s.Box * span[s.Level];
      run(b, std::min(n, from + span[s.Level]) - from);
      continue;
    }
    if (s.Level == 0) {
      const std::size_t from = std::size_t(s.Box) * kFan, to = std::min(n, from + kFan);
      // The run's primitives lie apart in memory: all are asked for at once.
      if (primitives)
        for (std::size_t i = from; i < to; ++i) {
          const TItem& it = g.Items[i];
          const auto kind = sxf::TKind(it.Kind);
          if (kind == sxf::TKind::Line || (kind != sxf::TKind::Point && it.X1 - it.X0 < boxOnly && it.Y1 - it.Y0 < boxOnly))
            continue;
          const char* at = reinterpret_cast<const char*>(primitives + it.Index);
          __builtin_prefetch(at);
          __builtin_prefetch(at + 64);
        }
      for (std::size_t i = from; i < to; ++i) {
        const TItem& it = g.Items[i];
        if (!(it.X1 < seen.X0 || it.X0 > seen.X1 || it.Y1 < seen.Y0 || it.Y0 > seen.Y1)) item(it);
      }
      continue;
    }
    // The children go on the stack last first, so that they come out in order.
    const std::size_t from = std::size_t(s.Box) * kFan, to = std::min(g.Boxes[s.Level - 1].size(), from + kFan);
    for (std::size_t c = to; c-- > from;) stack[top++] = {s.Level - 1, std::uint32_t(c)};
  }
}

}  // namespace dlvr
