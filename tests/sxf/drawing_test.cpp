#include "sxf/drawing.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace dlvr::sxf {
namespace {

TPrimitive Hatch(double x) {
  TPrimitive p;
  p.Kind = TKind::Hatch;
  p.Points = {{x, 0}, {x + 10, 0}, {x + 10, 10}};
  p.AddHole({{x + 1, 1}, {x + 2, 1}, {x + 2, 2}});
  p.AddPatternLine(0.5, 2);
  p.SetText("hatch " + std::to_string(x));
  return p;
}

std::string Shown(const TPrimitive& p) {
  std::string s = "'" + p.Text() + "'";
  for (const auto& hole : p.Holes())
    for (const TPoint& q : hole) s += " (" + std::to_string(q.X) + "," + std::to_string(q.Y) + ")";
  for (const auto& [angle, pitch] : p.PatternLines()) s += " [" + std::to_string(angle) + "/" + std::to_string(pitch) + "]";
  return s;
}

// A primitive's text, holes and pattern lines live apart from it: every copy
// and assignment gives the target its own, so changing one primitive never
// changes another, and a primitive without any carries nothing.
TEST(DrawingPrimitive, TextHolesAndPatternsAreValuesOfTheirOwn) {
  const TPrimitive a = Hatch(0), b = Hatch(100);
  const std::string shownA = Shown(a), shownB = Shown(b);
  TPrimitive plain;
  plain.SetText("");
  plain.SetPatternLines({});
  EXPECT_EQ(plain.MutableExtra(), nullptr);
  EXPECT_EQ(Shown(plain), "''");

  struct TCase {
    const char* Name;
    TPrimitive Target;
    const TPrimitive& Source;
  };
  std::vector<TCase> cases;
  cases.push_back({"into a bare primitive", TPrimitive(), a});
  cases.push_back({"over another's", b, a});
  cases.push_back({"a bare one over another's", b, plain});
  for (TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPrimitive copy(c.Source);
    c.Target = c.Source;
    EXPECT_EQ(Shown(copy), Shown(c.Source));
    EXPECT_EQ(Shown(c.Target), Shown(c.Source));
    for (TPrimitive* changed : {&copy, &c.Target}) {
      changed->SetText("changed");
      changed->AddHole({{7, 7}});
      changed->AddPatternLine(1, 1);
      TransformPrimitive(*changed, {2, 0, 0, 2, 5, 5});
    }
    EXPECT_NE(Shown(copy), Shown(c.Source));
    EXPECT_EQ(Shown(a), shownA);
    EXPECT_EQ(Shown(b), shownB);
    EXPECT_EQ(Shown(plain), "''");
  }

  TPrimitive self = Hatch(0);
  self = *&self;
  EXPECT_EQ(Shown(self), shownA);
  TPrimitive moved = std::move(self);
  EXPECT_EQ(Shown(moved), shownA);
  self = a;  // a moved-from primitive takes a new value
  EXPECT_EQ(Shown(self), shownA);

  // Placing a hatch moves its holes and turns its pattern lines with it.
  TPrimitive placed = a;
  TransformPrimitive(placed, {0, 1, -1, 0, 10, 0});  // a quarter turn, then 10 along x
  ASSERT_EQ(placed.Holes().size(), 1u);
  EXPECT_DOUBLE_EQ(placed.Holes()[0][0].X, 9);
  EXPECT_DOUBLE_EQ(placed.Holes()[0][0].Y, 1);
  ASSERT_EQ(placed.PatternLines().size(), 1u);
  EXPECT_NEAR(placed.PatternLines()[0].first, 0.5 + 1.5707963267948966, 1e-12);
  EXPECT_DOUBLE_EQ(placed.PatternLines()[0].second, 2);
}

}  // namespace
}  // namespace dlvr::sxf
