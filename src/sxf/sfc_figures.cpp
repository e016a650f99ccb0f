// The drawing finished: the figures expanded where they are placed (nested
// placements composed, cycles and figures never defined told, the budget
// kept), the tables made, and the styles' file codes resolved.
#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/translate.h"
#include "sxf/large_pages.h"
#include "sxf/sfc_internal.h"
#include "sxf/tables.h"

namespace dlvr::sxf::sfc_detail {
namespace {

constexpr int kMaxNesting = 32;

}  // namespace

void TSfcReader::CloseGroupInto(TGroup& target) {
  const std::size_t offset = target.Size;
  for (const TSpan& span : cur_.Spans) target.AppendSpan(span);
  for (TPlace& place : cur_.Places) {
    place.At += offset;
    target.Places.push_back(std::move(place));
  }
  cur_ = TGroup{};
  curveStart_ = 0;
}

// The expansion reached its budget: the drawing stops there, and says so
// in place of whatever else went wrong before.
bool TSfcReader::Overflow() {
  if (!overflow_) {
    overflow_ = true;
    drawing_.Stop = {};
    Fail(0, BudgetReason(drawing_.Primitives.size()));
  }
  return false;
}

bool TSfcReader::Place(const TPlace& place, const TTransform& t, int depth, std::vector<char>& active) {
  if (place.Figure < 0) {
    Fail(place.Line, Arg(Tr("SxfReader", "複合図形「%1」が定義されていません"), {place.Name}));
    ++drawing_.Skipped["sfig_locate_feature"];
    return true;
  }
  const std::size_t index = static_cast<std::size_t>(place.Figure);
  if (active[index] || depth >= kMaxNesting) {
    Fail(place.Line, Arg(active[index] ? Tr("SxfReader", "複合図形「%1」の配置が循環しています")
                                       : Tr("SxfReader", "複合図形「%1」の入れ子が深すぎます"),
                         {place.Name}));
    ++drawing_.Skipped["sfig_locate_feature"];
    return true;
  }
  if (!meter_.TakePlacement()) return Overflow();
  const bool last = movable_ && remaining_[index] > 0 && --remaining_[index] == 0;
  active[index] = 1;
  const std::size_t first = drawing_.Primitives.size();
  const int flag = figures_[index].Flag;
  const TTransform placed = t.After(place.Place);
  const bool more = Emit(figures_[index], placed, false, last, depth + 1, active);
  active[index] = 0;
  // A partial drawing placed on the sheet itself keeps its scale.
  if (depth == 0 && (flag == 1 || flag == 2))
    drawing_.Partials.push_back({place.Name, placed, first, drawing_.Primitives.size() - first});
  return more;
}

// Draws a group's primitives and the figures placed among them. The last
// time a group is drawn its primitives are moved out, freed as it goes.
bool TSfcReader::Emit(TGroup& g, const TTransform& t, bool identity, bool last, int depth,
                      std::vector<char>& active) {
  std::size_t next = 0, span = 0, within = 0;
  auto upTo = [&](std::size_t end) {
    for (; next < end && next < g.Size; ++next) {
      while (within == g.Spans[span].Count) ++span, within = 0;
      const std::size_t at = g.Spans[span].First + within++;
      // Counted before it is copied: a drawing stops at its budget.
      if (!meter_.Take(arena_[at])) return Overflow();
      if (last) {
        drawing_.Primitives.push_back(std::move(arena_[at]));
        arena_.Release(at);
      } else {
        drawing_.Primitives.push_back(arena_[at]);
      }
      if (!identity) TransformPrimitive(drawing_.Primitives.back(), t);
      ResolveStyle(drawing_.Primitives.back());
      ++resolved_;
    }
    return true;
  };
  for (const TPlace& place : g.Places)
    if (!upTo(place.At) || !Place(place, t, depth, active)) return false;
  return upTo(g.Size);
}

// Before drawing: each placement finds its figure; when the figures place
// each other without a cycle, how often each is drawn and how many
// primitives the drawing will hold are known (the output is reserved once,
// and a figure's last drawing moves its primitives).
void TSfcReader::Plan(TGroup& top) {
  const std::size_t count = figures_.size();
  auto resolve = [&](TGroup& g) {
    for (TPlace& place : g.Places) {
      const auto found = figureIndex_.find(place.Name);
      place.Figure = found == figureIndex_.end() ? -1 : static_cast<long>(found->second);
    }
  };
  resolve(top);
  for (TGroup& g : figures_) resolve(g);
  constexpr std::uint64_t kMany = std::uint64_t{1} << 62;
  auto add = [&](std::uint64_t a, std::uint64_t b) { return a >= kMany - b ? kMany : a + b; };
  // Depth-first over the figures placed from the sheet, without recursion
  // (a file may nest many figures): post-order, and whether a cycle is met.
  std::vector<char> state(count, 0);  // 0 unseen, 1 on the path, 2 done
  std::vector<std::size_t> post;
  bool cyclic = false;
  std::vector<std::pair<std::size_t, std::size_t>> stack;  // figure, next place
  for (const TPlace& root : top.Places) {
    if (root.Figure < 0 || state[static_cast<std::size_t>(root.Figure)] != 0) continue;
    stack.push_back({static_cast<std::size_t>(root.Figure), 0});
    state[static_cast<std::size_t>(root.Figure)] = 1;
    while (!stack.empty()) {
      auto& [figure, at] = stack.back();
      const std::vector<TPlace>& places = figures_[figure].Places;
      if (at < places.size()) {
        const long child = places[at++].Figure;
        if (child < 0) continue;
        const std::size_t c = static_cast<std::size_t>(child);
        if (state[c] == 1) cyclic = true;
        if (state[c] == 0) {
          state[c] = 1;
          stack.push_back({c, 0});
        }
        continue;
      }
      state[figure] = 2;
      post.push_back(figure);
      stack.pop_back();
    }
  }
  std::uint64_t expected = top.Size;
  if (!cyclic) {
    std::vector<std::uint64_t> size(count, 0);
    for (const std::size_t f : post) {
      std::uint64_t n = figures_[f].Size;
      for (const TPlace& place : figures_[f].Places)
        if (place.Figure >= 0) n = add(n, size[static_cast<std::size_t>(place.Figure)]);
      size[f] = n;
    }
    remaining_.assign(count, 0);
    for (const TPlace& place : top.Places)
      if (place.Figure >= 0) {
        remaining_[static_cast<std::size_t>(place.Figure)] = add(remaining_[static_cast<std::size_t>(place.Figure)], 1);
        expected = add(expected, size[static_cast<std::size_t>(place.Figure)]);
      }
    for (auto f = post.rbegin(); f != post.rend(); ++f)
      for (const TPlace& place : figures_[*f].Places)
        if (place.Figure >= 0) {
          const std::size_t c = static_cast<std::size_t>(place.Figure);
          remaining_[c] = add(remaining_[c], remaining_[*f]);
        }
    movable_ = true;
  }
  drawing_.Primitives.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(expected, meter_.Budget().Primitives)));
  AdviseLargePages(drawing_.Primitives.data(), drawing_.Primitives.capacity() * sizeof(TPrimitive));
}

void TSfcReader::Expand(TGroup& top) {
  Plan(top);
  auto count = [&](const TGroup& g) {
    for (const TSpan& span : g.Spans) arena_.Count(span.First, span.Count);
  };
  count(top);
  for (const TGroup& g : figures_) count(g);
  std::vector<char> active(figures_.size(), 0);
  Emit(top, TTransform{}, true, true, 0, active);
  top = TGroup{};
}

void TSfcReader::ResolveStyle(TPrimitive& p) const {
  const int layers = static_cast<int>(drawing_.Layers.size());
  const int colours = static_cast<int>(drawing_.Colours.size());
  const int userTypes = static_cast<int>(userLineTypeList_.size());
  const int fonts = static_cast<int>(drawing_.Fonts.size());
  p.Layer = p.Layer >= 1 && p.Layer <= layers ? p.Layer - 1 : -1;
  p.Colour = p.Colour >= 1 && p.Colour <= colours ? p.Colour - 1 : -1;
  if (p.LineType >= 1 && p.LineType <= kPredefinedLineTypeCount)
    p.LineType -= 1;
  else if (p.LineType >= kFirstUserLineTypeCode && p.LineType < kFirstUserLineTypeCode + userTypes)
    p.LineType = kPredefinedLineTypeCount + (p.LineType - kFirstUserLineTypeCode);
  else
    p.LineType = -1;
  p.Font = p.Kind == TKind::Text && p.Font >= 1 && p.Font <= fonts ? p.Font - 1 : -1;
  const int widthCode = static_cast<int>(p.Width);
  const auto width = widths_.find(widthCode);
  if (width != widths_.end())
    p.Width = width->second;
  else if (PredefinedWidth(widthCode) > 0)
    p.Width = PredefinedWidth(widthCode);
  else
    p.Width = 0.13;
}

TDrawing TSfcReader::Finish() {
  LineAt(pos_);
  buf_.Clear();
  text_ = {};
  pos_ = counted_ = 0;
  bool outOfMemory = false;
  try {
    if (started_ && !sawEnd_)
      Fail(line_, Tr("SxfReader", "ファイルが途中で終わっています（END-ISO-10303-21; がありません）"));
    // Colours: the sixteen predefined by their codes 1..16, then the user's
    // from code 17; line types likewise from codes 1..15 and 17.
    for (int code = 1; code <= kPredefinedColourCount; ++code) {
      TColour colour;
      PredefinedColour(code, colour);
      drawing_.Colours.push_back(colour);
    }
    for (TColour& colour : userColourList_) drawing_.Colours.push_back(std::move(colour));
    for (int code = 1; code <= kPredefinedLineTypeCount; ++code) {
      TLineType type;
      PredefinedLineType(code, type);
      drawing_.LineTypes.push_back(std::move(type));
    }
    for (TLineType& type : userLineTypeList_) drawing_.LineTypes.push_back(std::move(type));
    CloseGroupInto(top_);
    Expand(top_);
    if (tooManyTiles_) Overflow();
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  figures_.clear();
  curves_.clear();
  top_ = TGroup{};
  cur_ = TGroup{};
  arena_.Clear();
  if (outOfMemory) StopForMemory(drawing_, [] { return Tr("SxfReader", "メモリが足りないため図形の展開を打ち切りました"); });
  // (Those the expansion left between drawing and resolving when memory ran out.)
  for (std::size_t i = resolved_; i < drawing_.Primitives.size(); ++i) ResolveStyle(drawing_.Primitives[i]);
  return std::move(drawing_);
}

}  // namespace dlvr::sxf::sfc_detail
