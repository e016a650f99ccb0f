// Drawings whose figures multiply: both readers expand them within their
// budget (primitives, points, placements, bytes), keep what fits and say
// where they stopped; a drawing exactly at the budget is read whole.
#include <gtest/gtest.h>

#include <functional>

#include "support/sxf_fixtures.h"
#include "sxf/ap202.h"
#include "sxf/sfc.h"

namespace dlvr::sxf {
namespace {

TBudget With(std::size_t primitives, std::uint64_t points, std::uint64_t placements, std::uint64_t bytes) {
  TBudget b;
  if (primitives) b.Primitives = primitives;
  if (points) b.Points = points;
  if (placements) b.Placements = placements;
  if (bytes) b.Bytes = bytes;
  return b;
}

// The AP202 form of a composite curve made of the same curve ten times,
// `levels` deep, over a polyline of `points` points: 10^levels polylines in
// one item.
std::string CompositeCurves(int levels, int points) {
  std::vector<std::string> data = {"#5=REPRESENTATION_CONTEXT('','2D');"};
  std::string refs;
  for (int i = 0; i < points; ++i) {
    data.push_back("#" + std::to_string(100 + i) + "=CARTESIAN_POINT('',(" + std::to_string(i) + ".,0.));");
    refs += (i ? ",#" : "#") + std::to_string(100 + i);
  }
  data.push_back("#10=POLYLINE('',(" + refs + "));");
  long below = 10;
  for (int level = 1; level <= levels; ++level) {
    const long seg = 20 + 2 * level, curve = seg + 1;
    data.push_back("#" + std::to_string(seg) + "=COMPOSITE_CURVE_SEGMENT(.CONTINUOUS.,.T.,#" + std::to_string(below) +
                   ");");
    std::string segs;
    for (int i = 0; i < 10; ++i) segs += (i ? ",#" : "#") + std::to_string(seg);
    data.push_back("#" + std::to_string(curve) + "=COMPOSITE_CURVE('',(" + segs + "),.F.);");
    below = curve;
  }
  data.push_back("#90=ANNOTATION_CURVE_OCCURRENCE('',(),#" + std::to_string(below) + ");");
  return test::Ap202File(data);
}

TEST(SxfBudget, FiguresThatMultiplyStopAtTheBudgetAndExactlyAtItAreReadWhole) {
  using TRead = std::function<TDrawing(const std::string&, const TBudget&)>;
  const TRead sfc = [](const std::string& t, const TBudget& b) { return ReadSfcInPieces(t, t.size(), b); };
  const TRead ap202 = [](const std::string& t, const TBudget& b) { return ReadAp202Text(t, b); };
  // A polyline of 100 points takes the primitive and its points.
  const std::uint64_t polyline100 = sizeof(TPrimitive) + 100 * sizeof(TPoint);
  struct TCase {
    const char* What;
    TRead Read;
    std::string Text;
    TBudget Budget;
    std::size_t Primitives;  // read
    bool Stopped;
  };
  const std::string sfcThousand = test::MultiplyingSfc(3, 10, 100), apThousand = test::MultiplyingAp202(3, 10, 100);
  // One figure placed 5000 times: 5001 placements with the sheet's.
  const std::string sfcFan = test::MultiplyingSfc(1, 5000, 2), apFan = test::MultiplyingAp202(1, 5000, 2);
  // A tile fill tries a lattice of 4 x 4 points over a triangle and places
  // its figure at the 6 inside: the 16 tried count as placements.
  const std::string tiles = test::SfcFile({
      "circle_feature('1','1','1','1','0','0','0.5')",
      R"(sfig_org_feature(\'tile\','4'))",
      "polyline_feature('1','1','1','1','4','(0,10,0,0)','(0,0,10,0)')",
      "composite_curve_org_feature('1','1','1','0')",
      R"(fill_area_style_tiles_feature('1',\'tile\','4','1','1','3','0','3','90','2','2','0','4','0','()'))",
  });
  const std::vector<TCase> cases = {
      // The drawing of 10^9 placements of 2,000 points, with the budget of
      // every reader: 16 million points are 8,000 polylines.
      {"SFC: figures ten times over, nine deep", sfc, test::MultiplyingSfc(9, 10, 2000), TBudget{}, 8000, true},
      {"AP202: mapped items ten times over, nine deep", ap202, test::MultiplyingAp202(9, 10, 2000), TBudget{}, 8000,
       true},
      // Figures that draw nothing still count their placements.
      {"SFC: empty figures ten times over, nine deep", sfc, test::MultiplyingSfc(9, 10, 0), TBudget{}, 0, true},
      {"AP202: empty figures ten times over, nine deep", ap202, test::MultiplyingAp202(9, 10, 0), TBudget{}, 0, true},
      // Points: 1000 polylines of 100 points.
      {"SFC: points exactly at the budget", sfc, sfcThousand, With(0, 100'000, 0, 0), 1000, false},
      {"SFC: one point short", sfc, sfcThousand, With(0, 99'999, 0, 0), 999, true},
      {"AP202: points exactly at the budget", ap202, apThousand, With(0, 100'000, 0, 0), 1000, false},
      {"AP202: one point short", ap202, apThousand, With(0, 99'999, 0, 0), 999, true},
      {"SFC: primitives exactly at the budget", sfc, sfcThousand, With(1000, 0, 0, 0), 1000, false},
      {"AP202: one primitive short", ap202, apThousand, With(999, 0, 0, 0), 999, true},
      {"SFC: bytes exactly at the budget", sfc, sfcThousand, With(0, 0, 0, 1000 * polyline100), 1000, false},
      {"SFC: one byte short", sfc, sfcThousand, With(0, 0, 0, 1000 * polyline100 - 1), 999, true},
      {"AP202: bytes for half", ap202, apThousand, With(0, 0, 0, 500 * polyline100), 500, true},
      // A wide fan-out: the placements run out first.
      {"SFC: placements exactly at the budget", sfc, sfcFan, With(0, 0, 5001, 0), 5000, false},
      {"SFC: one placement short", sfc, sfcFan, With(0, 0, 5000, 0), 4999, true},
      {"AP202: placements exactly at the budget", ap202, apFan, With(0, 0, 5001, 0), 5000, false},
      {"AP202: one placement short", ap202, apFan, With(0, 0, 5000, 0), 4999, true},
      {"SFC: tile placements exactly at the budget", sfc, tiles, With(0, 0, 16, 0), 6, false},
      {"SFC: one tile placement short: the fill is drawn as its area", sfc, tiles, With(0, 0, 15, 0), 1, true},
      // Curves made of curves multiply inside one item: what fits is drawn.
      {"AP202: composite curves of composite curves", ap202, CompositeCurves(6, 100), With(0, 50'000, 0, 0), 500,
       true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const TDrawing d = c.Read(c.Text, c.Budget);
    EXPECT_EQ(d.Primitives.size(), c.Primitives);
    std::uint64_t points = 0, bytes = 0;
    for (const TPrimitive& p : d.Primitives) {
      points += PrimitivePoints(p);
      bytes += PrimitiveBytes(p);
    }
    EXPECT_LE(points, c.Budget.Points);
    EXPECT_LE(bytes, c.Budget.Bytes);
    EXPECT_EQ(d.Stop.Broken, c.Stopped) << d.Stop.Reason;
    if (c.Stopped) {
      EXPECT_EQ(d.Stop.Line, 0);
      EXPECT_EQ(d.Stop.Reason, "図面が大きすぎるため、" + std::to_string(c.Primitives) + " 個の要素まで読み込みました");
    }
  }
}

}  // namespace
}  // namespace dlvr::sxf
