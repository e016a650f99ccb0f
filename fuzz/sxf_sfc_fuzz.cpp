// Fuzzes the feature comment reader of SXF drawings.
//
// The first input byte chooses the size of the pieces a second read is
// handed (1 + byte % 64); the rest is the file. The whole file is read from
// memory and again in pieces, both within a small budget (figures placing
// figures multiply), which the expanded drawing never exceeds.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "sxf/sfc.h"
#include "sxf/tables.h"

using namespace dlvr;
using namespace dlvr::sxf;
using dlvr::fuzz::IsValidUtf8;

namespace {

// A record of everything read, to compare two reads.
std::string Summary(const TDrawing& d) {
  std::string s = d.Mode + "|" + d.SheetName + "|" + std::to_string(d.Layers.size()) + "|" +
                  std::to_string(d.Colours.size()) + "|" + std::to_string(d.LineTypes.size()) + "|" +
                  std::to_string(d.Fonts.size()) + "|" + std::to_string(d.Primitives.size()) + "|" +
                  std::to_string(d.Stop.Line) + "|" + d.Stop.Reason;
  for (const auto& [name, count] : d.Skipped) s += "|" + name + "=" + std::to_string(count);
  for (const TPrimitive& p : d.Primitives) {
    s += "|" + std::to_string(static_cast<int>(p.Kind)) + "," + std::to_string(p.Layer) + "," +
         std::to_string(p.Colour) + "," + std::to_string(p.LineType) + "," + std::to_string(p.Points.size()) + "," +
         p.Text();
  }
  return s;
}

void CheckDrawing(const TDrawing& d) {
  FUZZ_CHECK(d.Mode == "feature");
  FUZZ_CHECK(d.Stop.Broken == !d.Stop.Reason.empty());
  FUZZ_CHECK(IsValidUtf8(d.Stop.Reason));
  FUZZ_CHECK(d.Primitives.size() <= kMaxSfcPrimitives);
  FUZZ_CHECK(d.Colours.size() >= static_cast<std::size_t>(kPredefinedColourCount));
  FUZZ_CHECK(d.LineTypes.size() >= static_cast<std::size_t>(kPredefinedLineTypeCount));
  for (const TLayer& layer : d.Layers) FUZZ_CHECK(IsValidUtf8(layer.Name));
  for (const TFont& font : d.Fonts) FUZZ_CHECK(IsValidUtf8(font.Name));
  for (const TLineType& type : d.LineTypes)
    for (const double pitch : type.Pitches) FUZZ_CHECK(pitch >= 0);
  for (const auto& [key, value] : d.Attributes) FUZZ_CHECK(IsValidUtf8(key) && IsValidUtf8(value) && !value.empty());
  // Every index names an entry of its table or none.
  for (const TPrimitive& p : d.Primitives) {
    FUZZ_CHECK(p.Layer >= -1 && p.Layer < static_cast<int>(d.Layers.size()));
    FUZZ_CHECK(p.Colour >= -1 && p.Colour < static_cast<int>(d.Colours.size()));
    FUZZ_CHECK(p.LineType >= -1 && p.LineType < static_cast<int>(d.LineTypes.size()));
    FUZZ_CHECK(p.Font >= -1 && p.Font < static_cast<int>(d.Fonts.size()));
    FUZZ_CHECK(p.Font == -1 || p.Kind == TKind::Text);
    FUZZ_CHECK(p.Width > 0);
    // Only a conic has a direction of travel (a mirror reverses it).
    FUZZ_CHECK(!p.Reversed || p.Kind == TKind::Arc || p.Kind == TKind::EllipseArc || p.Kind == TKind::Circle ||
               p.Kind == TKind::Ellipse);
    FUZZ_CHECK(IsValidUtf8(p.Text()));
    switch (p.Kind) {
      case TKind::Text:
        FUZZ_CHECK(!p.Text().empty() && p.Points.size() == 1);
        FUZZ_CHECK(p.Align >= 1 && p.Align <= 9);
        break;
      case TKind::Point:
      case TKind::Circle:
      case TKind::Arc:
      case TKind::Ellipse:
      case TKind::EllipseArc:
        FUZZ_CHECK(p.Points.size() == 1);
        break;
      case TKind::Line:
        FUZZ_CHECK(p.Points.size() == 2);
        break;
      case TKind::Polyline:
      case TKind::Spline:
      case TKind::Clothoid:
        FUZZ_CHECK(p.Points.size() >= 2);
        FUZZ_CHECK(p.Points.size() <= 1'000'001);
        break;
      case TKind::Hatch:
        FUZZ_CHECK(p.PatternLines().size() <= 4);
        break;
    }
  }
}

// The drawing holds no more than its budget; one that stopped at it says so.
void CheckBudget(const TDrawing& d, const TBudget& budget) {
  std::uint64_t points = 0, bytes = 0;
  for (const TPrimitive& p : d.Primitives) {
    points += PrimitivePoints(p);
    bytes += PrimitiveBytes(p);
  }
  FUZZ_CHECK(d.Primitives.size() <= budget.Primitives);
  FUZZ_CHECK(points <= budget.Points);
  FUZZ_CHECK(bytes <= budget.Bytes);
  if (d.Stop.Reason == BudgetReason(d.Primitives.size())) FUZZ_CHECK(d.Stop.Broken && d.Stop.Line == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
  // A small budget keeps a run's memory small; the expanded drawing never
  // exceeds it.
  TBudget budget;
  budget.Primitives = 100'000;
  budget.Points = 400'000;
  budget.Placements = 20'000;
  budget.Bytes = 32u << 20;
  const TDrawing whole = ReadSfcInPieces(file, file.size(), budget);
  CheckDrawing(whole);
  CheckBudget(whole, budget);
  const TDrawing pieces = ReadSfcInPieces(file, piece, budget);
  FUZZ_CHECK(Summary(pieces) == Summary(whole));
  return 0;
}
