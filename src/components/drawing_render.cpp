#include "components/drawing_render.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <exception>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "components/drawing_render_internal.h"

// The scene's display lists: one group per layer and pen, listed on two
// threads when large, each group's items in the order of a Z curve with the
// boxes of their runs (the place index painting walks); the layers shown.

namespace dlvr {

using namespace drawing_detail;

namespace {

// Runs `mine` here and `theirs` on a second thread; an exception of either
// (memory running out) reaches the caller, as on one thread.
template <class Mine, class Theirs>
void OnTwoThreads(Mine&& mine, Theirs&& theirs) {
  std::exception_ptr failed;
  std::thread other([&] {
    try {
      theirs();
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    mine();
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failed) std::rethrow_exception(failed);
}

}  // namespace

TDrawingScene::TDrawingScene(std::shared_ptr<const sxf::TDrawing> drawing, std::size_t listInTwoFrom)
    : drawing_(std::move(drawing)) {
  const sxf::TDrawing& d = *drawing_;
  shown_.resize(d.Layers.size());
  layerFeatures_.assign(d.Layers.size(), 0);
  for (std::size_t i = 0; i < d.Layers.size(); ++i) shown_[i] = d.Layers[i].Visible;
  // One group per layer and pen, in the order the pens first appear; the
  // solid fills of a layer first, so that they never cover its lines. A
  // large drawing is listed in two halves at once, the second half's items
  // then put after the first's in each group, as one pass would have.
  using TKey = std::tuple<int, bool, int, int, double>;
  struct THash {
    std::size_t operator()(const TKey& k) const {
      std::size_t h = std::bit_cast<std::uint64_t>(std::get<4>(k) + 0.0);  // (-0 and 0 alike)
      for (const std::size_t v : {std::size_t(std::get<0>(k)), std::size_t(std::get<1>(k)), std::size_t(std::get<2>(k)),
                                  std::size_t(std::get<3>(k))})
        h = h * 0x9e3779b97f4a7c15ULL + v;
      return h ^ (h >> 29);
    }
  };
  struct TPart {
    std::unordered_map<TKey, std::size_t, THash> GroupOf;
    std::vector<TKey> Keys;  // of Groups, in order
    std::vector<TGroup> Groups;
    std::vector<int> LayerFeatures;
    QRectF All;
    double Widest = 0;
  };
  auto list = [&](std::size_t from, std::size_t to, TPart& part) {
    part.LayerFeatures.assign(d.Layers.size(), 0);
    for (std::size_t i = from; i < to; ++i) {
      const TPrimitive& p = d.Primitives[i];
      const int layer = p.Layer >= 0 && std::size_t(p.Layer) < d.Layers.size() ? p.Layer : -1;
      if (layer >= 0) ++part.LayerFeatures[std::size_t(layer)];
      if (p.Points.empty() || !Drawable(p) || i >= (std::size_t{1} << 27)) continue;
      part.Widest = std::max(part.Widest, std::min(p.Width, 10.0));
      const QRectF b = PrimitiveBounds(p);
      part.All = part.All.isNull() ? b : part.All.united(b);
      const bool fill = p.Kind == TKind::Hatch && p.Solid;
      const TKey key{layer, fill, p.Colour, p.LineType, p.Width};
      auto [it, fresh] = part.GroupOf.emplace(key, part.Groups.size());
      if (fresh) {
        part.Groups.push_back({layer, fill, false, {}, {}, {}});
        part.Keys.push_back(key);
      }
      TGroup& g = part.Groups[it->second];
      g.Markers = g.Markers || p.Kind == TKind::Point;
      const bool rising = p.Points.size() < 2 || (p.Points[1].X - p.Points[0].X) * (p.Points[1].Y - p.Points[0].Y) >= 0;
      const TKind kind = p.Kind == TKind::Line && p.Points.size() != 2 ? TKind::Polyline : p.Kind;
      g.Items.push_back({float(b.left()), float(b.top()), float(b.right()), float(b.bottom()), std::uint32_t(i),
                         std::uint32_t(kind), rising});
    }
  };
  const std::size_t n = d.Primitives.size();
  TPart first, second;
  if (n >= listInTwoFrom) {
    OnTwoThreads([&] { list(0, n / 2, first); }, [&] { list(n / 2, n, second); });
  } else {
    list(0, n, first);
  }
  for (std::size_t g = 0; g < second.Groups.size(); ++g) {
    auto [it, fresh] = first.GroupOf.emplace(second.Keys[g], first.Groups.size());
    if (fresh) {
      first.Groups.push_back(std::move(second.Groups[g]));
    } else {
      first.Groups[it->second].Markers = first.Groups[it->second].Markers || second.Groups[g].Markers;
      auto& items = first.Groups[it->second].Items;
      items.insert(items.end(), second.Groups[g].Items.begin(), second.Groups[g].Items.end());
    }
  }
  for (std::size_t l = 0; l < second.LayerFeatures.size(); ++l) first.LayerFeatures[l] += second.LayerFeatures[l];
  const QRectF all = second.All.isNull() ? first.All : first.All.isNull() ? second.All : first.All.united(second.All);
  groups_ = std::move(first.Groups);
  layerFeatures_ = std::move(first.LayerFeatures);
  widest_ = std::max(first.Widest, second.Widest);
  std::stable_sort(groups_.begin(), groups_.end(), [](const TGroup& a, const TGroup& b) {
    return a.Layer != b.Layer ? a.Layer < b.Layer : a.Fill > b.Fill;
  });
  // The groups are indexed on two threads when large: each takes groups of
  // about half the items.
  if (n >= listInTwoFrom) {
    std::vector<TGroup*> mine, others;
    std::size_t left = 0, right = 0;
    for (TGroup& g : groups_) {
      (left <= right ? mine : others).push_back(&g);
      (left <= right ? left : right) += g.Items.size();
    }
    OnTwoThreads([&] { for (TGroup* g : mine) Index(*g); }, [&] { for (TGroup* g : others) Index(*g); });
  } else {
    for (TGroup& g : groups_) Index(g);
  }
  sheetGiven_ = d.SheetWidth > 0 && d.SheetHeight > 0 && std::isfinite(d.SheetWidth) && std::isfinite(d.SheetHeight);
  if (sheetGiven_)
    sheet_ = QRectF(0, 0, d.SheetWidth, d.SheetHeight);
  else if (all.width() > 0 || all.height() > 0)
    sheet_ = all.adjusted(-5, -5, 5, 5);
  else
    sheet_ = QRectF(0, 0, 420, 297);
}

bool TDrawingScene::LayerShown(int layer) const {
  return layer < 0 || std::size_t(layer) >= shown_.size() || shown_[std::size_t(layer)];
}

void TDrawingScene::SetLayerShown(int layer, bool shown) {
  if (layer >= 0 && std::size_t(layer) < shown_.size()) shown_[std::size_t(layer)] = shown;
}

int TDrawingScene::LayerFeatures(int layer) const {
  return layer >= 0 && std::size_t(layer) < layerFeatures_.size() ? layerFeatures_[std::size_t(layer)] : 0;
}

namespace {

// The bits of a 16-bit number spread to the even places of a 32-bit one.
std::uint32_t Spread(std::uint32_t v) {
  v &= 0xffff;
  v = (v | (v << 8)) & 0x00ff00ff;
  v = (v | (v << 4)) & 0x0f0f0f0f;
  v = (v | (v << 2)) & 0x33333333;
  v = (v | (v << 1)) & 0x55555555;
  return v;
}

}  // namespace

void TDrawingScene::Index(TGroup& g) {
  const std::size_t n = g.Items.size();
  g.FileOrder.resize(n);
  g.Boxes.clear();
  if (n == 0) return;
  // Each item's place on a Z curve through the box of the centres.
  float x0 = g.Items[0].X0, y0 = g.Items[0].Y0, x1 = x0, y1 = y0;
  for (const TItem& it : g.Items) {
    const float cx = (it.X0 + it.X1) / 2, cy = (it.Y0 + it.Y1) / 2;
    x0 = std::min(x0, cx), x1 = std::max(x1, cx), y0 = std::min(y0, cy), y1 = std::max(y1, cy);
  }
  const double sx = x1 > x0 ? 65535.0 / (double(x1) - x0) : 0, sy = y1 > y0 ? 65535.0 / (double(y1) - y0) : 0;
  // (key << 32 | position): sorted, the positions are the new order.
  std::vector<std::uint64_t> order(n);
  for (std::size_t i = 0; i < n; ++i) {
    const TItem& it = g.Items[i];
    const auto qx = std::uint32_t(std::clamp(((it.X0 + it.X1) / 2 - x0) * sx, 0.0, 65535.0));
    const auto qy = std::uint32_t(std::clamp(((it.Y0 + it.Y1) / 2 - y0) * sy, 0.0, 65535.0));
    order[i] = std::uint64_t(Spread(qx) | (Spread(qy) << 1)) << 32 | i;
  }
  std::sort(order.begin(), order.end());
  for (std::size_t k = 0; k < n; ++k) g.FileOrder[std::uint32_t(order[k])] = std::uint32_t(k);
  order = {};
  // The items moved to their places in cycles, without a second copy: the
  // item at position i belongs at FileOrder[i].
  std::vector<bool> placed(n, false);
  for (std::size_t i = 0; i < n; ++i) {
    if (placed[i]) continue;
    TItem moving = g.Items[i];
    std::size_t at = i;
    while (!placed[at]) {
      placed[at] = true;
      const std::size_t to = g.FileOrder[at];
      std::swap(moving, g.Items[to]);
      at = to;
    }
  }
  // The boxes of runs of kFan items, then of runs of their boxes.
  std::vector<TBox> level((n + kFan - 1) / kFan);
  for (std::size_t r = 0; r < level.size(); ++r) {
    const std::size_t from = r * kFan, to = std::min(n, from + kFan);
    TBox b{g.Items[from].X0, g.Items[from].Y0, g.Items[from].X1, g.Items[from].Y1};
    for (std::size_t i = from + 1; i < to; ++i) {
      const TItem& it = g.Items[i];
      b = {std::min(b.X0, it.X0), std::min(b.Y0, it.Y0), std::max(b.X1, it.X1), std::max(b.Y1, it.Y1)};
    }
    level[r] = b;
  }
  g.Boxes.push_back(std::move(level));
  while (g.Boxes.back().size() > 1) {
    const std::vector<TBox>& below = g.Boxes.back();
    std::vector<TBox> up((below.size() + kFan - 1) / kFan);
    for (std::size_t r = 0; r < up.size(); ++r) {
      const std::size_t from = r * kFan, to = std::min(below.size(), from + kFan);
      TBox b = below[from];
      for (std::size_t i = from + 1; i < to; ++i)
        b = {std::min(b.X0, below[i].X0), std::min(b.Y0, below[i].Y0), std::max(b.X1, below[i].X1),
             std::max(b.Y1, below[i].Y1)};
      up[r] = b;
    }
    g.Boxes.push_back(std::move(up));
  }
}

std::size_t TDrawingScene::CountIn(const TBox& seen, std::size_t most) const {
  // A box wholly inside counts all its items without looking at them.
  std::size_t count = 0;
  auto inside = [&](const TBox& b) { return b.X0 >= seen.X0 && b.X1 <= seen.X1 && b.Y0 >= seen.Y0 && b.Y1 <= seen.Y1; };
  for (const TGroup& g : groups_) {
    if (!LayerShown(g.Layer) || g.Boxes.empty()) continue;
    const std::size_t n = g.Items.size();
    std::vector<std::pair<std::size_t, std::size_t>> todo{{g.Boxes.size() - 1, 0}};
    while (!todo.empty() && count <= most) {
      const auto [level, box] = todo.back();
      todo.pop_back();
      const TBox& b = g.Boxes[level][box];
      if (b.X1 < seen.X0 || b.X0 > seen.X1 || b.Y1 < seen.Y0 || b.Y0 > seen.Y1) continue;
      std::size_t items = kFan;
      for (std::size_t l = 0; l < level; ++l) items *= kFan;
      const std::size_t from = box * items;
      if (inside(b)) {
        count += std::min(n, from + items) - from;
      } else if (level == 0) {
        for (std::size_t i = from; i < std::min(n, from + kFan); ++i) {
          const TItem& it = g.Items[i];
          count += !(it.X1 < seen.X0 || it.X0 > seen.X1 || it.Y1 < seen.Y0 || it.Y0 > seen.Y1);
        }
      } else {
        for (std::size_t c = box * kFan; c < std::min(g.Boxes[level - 1].size(), box * kFan + kFan); ++c)
          todo.emplace_back(level - 1, c);
      }
    }
    if (count > most) break;
  }
  return count;
}

}  // namespace dlvr
