// The feature comment reader: every feature kind's parameters landing where
// they belong, figures placed inside figures, the tables, quoting and
// Shift-JIS, broken files, and a large file read in pieces.
#include "sxf/sfc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/text.h"
#include "support/fixtures.h"
#include "sxf/tables.h"

namespace dlvr::sxf {
namespace {

// A whole file: the header, each feature as a comment numbered #1, #2, ...
// and the end; written in Shift-JIS like the files delivered.
std::string Sfc(const std::vector<std::string>& features, bool end = true) {
  std::string text =
      "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('SCADEC level2 feature_mode'),'2;1');\n"
      "FILE_NAME('a.sfc','2024-01-01T00:00:00',('x'),('x'),'SCADEC_API_Ver3.30$$3.1','x','');\n"
      "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\nDATA;\n";
  for (std::size_t i = 0; i < features.size(); ++i)
    text += "/*SXF\n#" + std::to_string(i + 1) + " = " + features[i] + "\nSXF*/\n";
  if (end) text += "ENDSEC;\nEND-ISO-10303-21;\n";
  return Utf8ToCp932(text);
}

std::string Num(double v) {
  if (std::fabs(v) < 5e-4) v = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4g", v);
  return buf;
}

std::string Deg(double rad) {
  double d = std::fmod(rad * 180 / 3.14159265358979323846, 360.0);
  if (d < 0) d += 360;
  if (d > 359.9995) d = 0;
  return Num(d);
}

const char* KindName(TKind k) {
  switch (k) {
    case TKind::Point: return "Point";
    case TKind::Line: return "Line";
    case TKind::Polyline: return "Polyline";
    case TKind::Circle: return "Circle";
    case TKind::Arc: return "Arc";
    case TKind::Ellipse: return "Ellipse";
    case TKind::EllipseArc: return "EllipseArc";
    case TKind::Spline: return "Spline";
    case TKind::Clothoid: return "Clothoid";
    case TKind::Text: return "Text";
    case TKind::Hatch: return "Hatch";
  }
  return "?";
}

std::string Points(const std::vector<TPoint>& pts) {
  std::string s;
  for (const TPoint& p : pts) s += "(" + Num(p.X) + "," + Num(p.Y) + ")";
  return s;
}

// One primitive, one line: kind, table indices, width, then its geometry.
std::string Shown(const TPrimitive& p) {
  std::string s = std::string(KindName(p.Kind)) + " L" + std::to_string(p.Layer) + " C" + std::to_string(p.Colour);
  switch (p.Kind) {
    case TKind::Text:
      return s + " F" + std::to_string(p.Font) + " " + Points(p.Points) + " '" + p.Text() + "' h" + Num(p.Height) +
             " w" + Num(p.CharWidth) + " s" + Num(p.Spacing) + " a" + Deg(p.Rotation) + " sl" + Deg(p.Slant) +
             " al" + std::to_string(p.Align) + (p.Vertical ? " V" : " H");
    case TKind::Point:
      return s + " " + Points(p.Points) + " m" + std::to_string(p.Marker) + " a" + Deg(p.Rotation) + " x" + Num(p.Rx);
    case TKind::Hatch: {
      s += std::string(p.Solid ? " solid" : "") + " T" + std::to_string(p.LineType) + " " + Points(p.Points);
      for (const auto& hole : p.Holes()) s += " hole" + Points(hole);
      for (const auto& line : p.PatternLines()) s += " [" + Deg(line.first) + "/" + Num(line.second) + "]";
      return s;
    }
    default:
      break;
  }
  s += " T" + std::to_string(p.LineType) + " W" + Num(p.Width) + " " + Points(p.Points);
  if (p.Kind == TKind::Circle || p.Kind == TKind::Arc) s += " r" + Num(p.Rx);
  if (p.Kind == TKind::Ellipse || p.Kind == TKind::EllipseArc) s += " " + Num(p.Rx) + "x" + Num(p.Ry) + " rot" + Deg(p.Rotation);
  if (p.Kind == TKind::Arc || p.Kind == TKind::EllipseArc) s += " " + Deg(p.Start) + ".." + Deg(p.End);
  return s;
}

std::string Shown(const TDrawing& d) {
  std::string s;
  for (const TPrimitive& p : d.Primitives) s += Shown(p) + "\n";
  return s;
}

// Everything read, for comparing two reads of one file.
std::string Everything(const TDrawing& d) {
  std::string s = Shown(d) + d.SheetName + " " + std::to_string(d.Layers.size()) + " layers " +
                  std::to_string(d.Colours.size()) + " colours, stop " + std::to_string(d.Stop.Line) + " " + d.Stop.Reason;
  for (const auto& [name, count] : d.Skipped) s += " " + name + "=" + std::to_string(count);
  return s;
}

// Tables every case below may use: layer 1 shown, layer 2 hidden, colour 17,
// line type 17, width code 10 (0.42 mm), font 1.
const std::vector<std::string> kTables = {
    R"(layer_feature(\'表示\','1'))",
    R"(layer_feature(\'隠す\','0'))",
    "user_defined_colour_feature('10','20','30')",
    R"(user_defined_font_feature(\'mine\','2','(1.5,0.5)'))",
    "width_feature('0.42')",
    R"(text_font_feature(\'ＭＳ ゴシック\'))",
};

TEST(SfcReader, EachFeatureKindLandsWhereItBelongs) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Features;  // after kTables, so the first is #7
    std::string Expected;
  };
  const std::vector<TCase> cases = {
      {"line with user colour, type and width on the hidden layer",
       {"line_feature('2','17','17','10','0','0','10','5')"},
       "Line L1 C16 T15 W0.42 (0,0)(10,5)\n"},
      {"polyline with predefined styles",
       {"polyline_feature('1','2','2','4','3','(0,1,2)','(0,1,0)')"},
       "Polyline L0 C1 T1 W0.35 (0,0)(1,1)(2,0)\n"},
      {"circle", {"circle_feature('1','1','1','1','5','5','2')"}, "Circle L0 C0 T0 W0.13 (5,5) r2\n"},
      {"arc counter-clockwise",
       {"arc_feature('1','1','1','1','0','0','10','0','0','90')"},
       "Arc L0 C0 T0 W0.13 (0,0) r10 0..90\n"},
      {"arc clockwise is the counter-clockwise arc from its end",
       {"arc_feature('1','1','1','1','0','0','10','1','0','90')"},
       "Arc L0 C0 T0 W0.13 (0,0) r10 90..0\n"},
      {"ellipse", {"ellipse_feature('1','1','1','1','0','0','4','2','30')"}, "Ellipse L0 C0 T0 W0.13 (0,0) 4x2 rot30\n"},
      {"elliptic arc clockwise",
       {"ellipse_arc_feature('1','1','1','1','0','0','4','2','1','30','10','80')"},
       "EllipseArc L0 C0 T0 W0.13 (0,0) 4x2 rot30 80..10\n"},
      {"text: range width shared by its characters, alignment, angle, slant",
       {R"(text_string_feature('1','3','1',\'道路\','10','20','5','20','0','30','15','8','1'))"},
       "Text L0 C2 F0 (10,20) '道路' h5 w10 s0 a30 sl15 al8 H\n"},
      {"vertical text: the range's long side shared by its characters, whichever it is written as",
       {R"(text_string_feature('1','1','1',\'縦書\','0','0','9','3','1','0','0','5','2'))",
        R"(text_string_feature('1','1','1',\'縦書\','0','0','3','9','1','0','0','5','2'))"},
       "Text L0 C0 F0 (0,0) '縦書' h4 w3 s1 a0 sl0 al5 V\n"
       "Text L0 C0 F0 (0,0) '縦書' h4 w3 s1 a0 sl0 al5 V\n"},
      {"point marker", {"point_marker_feature('1','1','3','4','2','45','1.5')"}, "Point L0 C0 (3,4) m2 a45 x1.5\n"},
      {"a symbol defined outside the file: a marker where it stands, in its colour when the flag says so",
       {R"(externally_defined_symbol_feature('1','1','3',\'SYM\','5','6','30','2'))",
        R"(externally_defined_symbol_feature('1','0','3',\'SYM\','1','2','0','1'))"},
       "Point L0 C2 (5,6) m2 a30 x2\nPoint L0 C-1 (1,2) m2 a0 x1\n"},
      {"a tile fill places its figure at the lattice points inside the area, none in a hole",
       {"circle_feature('1','1','1','1','0','0','0.5')", R"(sfig_org_feature(\'tile\','4'))",
        "polyline_feature('1','1','1','1','4','(0,10,0,0)','(0,0,10,0)')",
        "composite_curve_org_feature('1','1','1','0')",
        "polyline_feature('1','1','1','1','5','(3,5,5,3,3)','(3,3,5,5,3)')",
        "composite_curve_org_feature('1','1','1','0')",
        R"(fill_area_style_tiles_feature('1',\'tile\','4','1','1','3','0','3','90','2','2','0','10','1','(12)'))"},
       "Circle L0 C0 T0 W0.13 (1,1) r1\nCircle L0 C0 T0 W0.13 (1,4) r1\nCircle L0 C0 T0 W0.13 (1,7) r1\n"
       "Circle L0 C0 T0 W0.13 (4,1) r1\nCircle L0 C0 T0 W0.13 (7,1) r1\n"},
      {"a tile fill whose steps span no lattice: its area",
       {"circle_feature('1','1','1','1','0','0','0.5')", R"(sfig_org_feature(\'tile\','4'))",
        "polyline_feature('1','1','1','1','4','(0,1,0,0)','(0,0,1,0)')",
        "composite_curve_org_feature('1','1','1','0')",
        R"(fill_area_style_tiles_feature('1',\'tile\','4','0','0','3','0','3','0','1','1','0','10','0','()'))"},
       "Hatch L0 C3 T-1 (0,0)(1,0)(0,1)(0,0)\n"},
      {"closed spline comes back to its first point",
       {"spline_feature('1','1','1','1','1','3','(0,1,2)','(0,1,0)')"},
       "Spline L0 C0 T0 W0.13 (0,0)(1,1)(2,0)(0,0)\n"},
      {"fill bounded by a hidden composite curve, with a hole",
       {"polyline_feature('1','1','1','1','5','(0,10,10,0,0)','(0,0,10,10,0)')",
        "composite_curve_org_feature('1','1','1','0')",
        "polyline_feature('1','1','1','1','4','(2,4,4,2)','(2,2,4,2)')",
        "composite_curve_org_feature('1','1','1','0')",
        "fill_area_style_colour_feature('1','4','8','1','(10)')"},
       "Hatch L0 C3 solid T-1 (0,0)(10,0)(10,10)(0,10)(0,0) hole(2,2)(4,2)(4,4)(2,2)\n"},
      {"a hatch may name its curve by its place among the curves",
       {"polyline_feature('1','1','1','1','4','(0,1,0,0)','(0,0,1,0)')",
        "composite_curve_org_feature('1','1','1','0')",
        "fill_area_style_colour_feature('1','4','1','0','()')"},
       "Hatch L0 C3 solid T-1 (0,0)(1,0)(0,1)(0,0)\n"},
      {"shown composite curve drawn in its own style; hatching lines",
       {"line_feature('1','1','1','1','0','0','5','0')",
        "arc_feature('1','1','1','1','0','0','5','0','0','90')",
        "line_feature('1','1','1','1','0','5','0','0')",
        "composite_curve_org_feature('2','2','3','1')",
        "fill_area_style_hatching_feature('2','2','(5,1,1,0,0,2,45)','(5,1,1,0,0,3,135)','10','0','()')"},
       "Line L0 C1 T1 W0.25 (0,0)(5,0)\n"
       "Arc L0 C1 T1 W0.25 (0,0) r5 0..90\n"
       "Line L0 C1 T1 W0.25 (0,5)(0,0)\n"
       "Hatch L1 C4 T0 (0,0)(5,0)(4.981,0.4358)(4.924,0.8682)(4.83,1.294)(4.698,1.71)(4.532,2.113)(4.33,2.5)"
       "(4.096,2.868)(3.83,3.214)(3.536,3.536)(3.214,3.83)(2.868,4.096)(2.5,4.33)(2.113,4.532)(1.71,4.698)"
       "(1.294,4.83)(0.8682,4.924)(0.4358,4.981)(0,5)(0,0) [45/2] [135/3]\n"},
      {"linear dimension: line, extension lines, arrows pointing out, value",
       {"linear_dim_feature('1','1','1','1','0','10','20','10','1','0','0','0','1','0','11','1','20','0','20','1',"
        "'20','11','1','1','0','10','1','1','1','20','10','1','1','1',\'20\','10','11','2','4','0','0','0','2','1')"},
       "Line L0 C0 T0 W0.13 (0,10)(20,10)\n"
       "Line L0 C0 T0 W0.13 (0,1)(0,11)\n"
       "Line L0 C0 T0 W0.13 (20,1)(20,11)\n"
       "Line L0 C0 T0 W0.13 (0,10)(2.898,10.78)\n"
       "Line L0 C0 T0 W0.13 (0,10)(2.898,9.224)\n"
       "Line L0 C0 T0 W0.13 (20,10)(17.1,9.224)\n"
       "Line L0 C0 T0 W0.13 (20,10)(17.1,10.78)\n"
       "Text L0 C0 F0 (10,11) '20' h2 w2 s0 a0 sl0 al2 H\n"},
      {"angular dimension: arc, arrows pointing in along the arc, no value",
       {"angular_dim_feature('1','1','1','1','0','0','10','0','90','0','0','0','0','0','0','0','0','0','0','0','0',"
        "'0','0','1','2','10','0','1','1','2','0','10','1','0','1',\'90°\','0','0','1','1','0','0','0','1','1')"},
       "Arc L0 C0 T0 W0.13 (0,0) r10 0..90\n"
       "Line L0 C0 T0 W0.13 (10,0)(10.78,-2.898)\n"
       "Line L0 C0 T0 W0.13 (10,0)(9.224,-2.898)\n"
       "Line L0 C0 T0 W0.13 (0,10)(-2.898,9.224)\n"
       "Line L0 C0 T0 W0.13 (0,10)(-2.898,10.78)\n"},
      {"radius dimension",
       {R"(radius_dim_feature('1','1','1','1','0','0','10','0','1','1','10','0','1','1','1',\'R10\','5','1','2','4','0','0','0','1','1'))"},
       "Line L0 C0 T0 W0.13 (0,0)(10,0)\n"
       "Line L0 C0 T0 W0.13 (10,0)(7.102,-0.7765)\n"
       "Line L0 C0 T0 W0.13 (10,0)(7.102,0.7765)\n"
       "Text L0 C0 F0 (5,1) 'R10' h2 w1.333 s0 a0 sl0 al1 H\n"},
      {"balloon: leader, circle, arrow, value",
       {R"(balloon_feature('1','1','1','1','2','(0,10)','(0,0)','15','0','5','1','1','1','1',\'A\','15','0','3','3','0','0','0','5','1'))"},
       "Polyline L0 C0 T0 W0.13 (0,0)(10,0)\n"
       "Circle L0 C0 T0 W0.13 (15,0) r5\n"
       "Line L0 C0 T0 W0.13 (0,0)(2.898,0.7765)\n"
       "Line L0 C0 T0 W0.13 (0,0)(2.898,-0.7765)\n"
       "Text L0 C0 F0 (15,0) 'A' h3 w3 s0 a0 sl0 al5 H\n"},
      {"a feature with a wrong number of parameters or a bad number is not drawn",
       {"line_feature('1','1','1','1','0','0','10')", "circle_feature('1','1','1','1','x','0','1')"},
       ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> features = kTables;
    features.insert(features.end(), c.Features.begin(), c.Features.end());
    const std::string text = Sfc(features);
    const TDrawing d = ReadSfcBytes(text);
    EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
    EXPECT_EQ(Shown(d), c.Expected);
    EXPECT_EQ(Everything(ReadSfcInPieces(text, 5)), Everything(d));
  }
}

TEST(SfcReader, ClothoidIsSampledFromItsOriginAlongTheSpiral) {
  // A = 100, lengths 0..50: x = L - L^5/(40 A^4), y = L^3/(6 A^2) - L^7/(336 A^6).
  for (const char* direction : {"0", "1"}) {
    const TDrawing d = ReadSfcBytes(Sfc({std::string("clothoid_feature('1','1','1','1','5','5','100','") + direction +
                                         "','90','0','50')"}));
    ASSERT_EQ(d.Primitives.size(), 1u);
    const std::vector<TPoint>& pts = d.Primitives[0].Points;
    ASSERT_GE(pts.size(), 8u);
    // Turned by 90 degrees: the spiral's x runs up the sheet, its y to the
    // left (counter-clockwise) or the right.
    const double side = std::string(direction) == "0" ? -1 : 1;
    EXPECT_NEAR(pts.front().X, 5, 1e-9);
    EXPECT_NEAR(pts.front().Y, 5, 1e-9);
    EXPECT_NEAR(pts.back().Y, 5 + 50 - 0.078125, 1e-3);
    EXPECT_NEAR(pts.back().X, 5 + side * (125000.0 / 60000 - 7.8125e11 / 3.36e14), 1e-3);
  }
}

TEST(SfcReader, FiguresArePlacedInsideFiguresWithComposedPlacements) {
  const std::vector<std::string> part = {
      "line_feature('1','1','1','1','0','0','10','0')",
      "arc_feature('1','1','1','1','0','0','5','0','0','90')",
      R"(text_string_feature('1','1','1',\'部\','1','1','2','2','0','0','0','1','1'))",
      "circle_feature('1','1','1','1','0','0','1')",
      R"(sfig_org_feature(\'part\','4'))",
  };
  struct TCase {
    const char* Name;
    const char* PartPlacement;  // part inside plan
    const char* PlanPlacement;  // plan on the sheet
    std::string Expected;
  };
  const std::vector<TCase> cases = {
      {"turned and scaled inside a half-scale partial drawing", "'100','0','90','2','2'", "'10','20','0','0.5','0.5'",
       "Line L0 C0 T0 W0.13 (60,20)(60,30)\n"
       "Arc L0 C0 T0 W0.13 (60,20) r5 90..180\n"
       "Text L0 C0 F-1 (59,21) '部' h2 w2 s0 a90 sl0 al1 H\n"
       "Circle L0 C0 T0 W0.13 (60,20) r1\n"},
      {"mirrored by a negative scale", "'0','0','0','-1','1'", "'0','0','0','1','1'",
       "Line L0 C0 T0 W0.13 (0,0)(-10,0)\n"
       "Arc L0 C0 T0 W0.13 (0,0) r5 90..180\n"
       "Text L0 C0 F-1 (-1,1) '部' h2 w2 s0 a180 sl0 al1 H\n"
       "Circle L0 C0 T0 W0.13 (0,0) r1\n"},
      {"scaled unevenly and turned: the circle becomes an ellipse", "'0','0','90','3','1'", "'0','0','0','1','1'",
       "Line L0 C0 T0 W0.13 (0,0)(0,30)\n"
       "EllipseArc L0 C0 T0 W0.13 (0,0) 15x5 rot90 0..90\n"
       "Text L0 C0 F-1 (-1,3) '部' h2 w6 s0 a90 sl0 al1 H\n"
       "Ellipse L0 C0 T0 W0.13 (0,0) 3x1 rot90\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> features = {R"(layer_feature(\'a\','1'))"};
    features.insert(features.end(), part.begin(), part.end());
    features.push_back(std::string(R"(sfig_locate_feature('1',\'part\',)") + c.PartPlacement + ")");
    features.push_back(R"(sfig_org_feature(\'plan\','1'))");
    features.push_back(std::string(R"(sfig_locate_feature('1',\'plan\',)") + c.PlanPlacement + ")");
    features.push_back(R"(drawing_sheet_feature(\'図面\','1','1','0','0'))");
    const TDrawing d = ReadSfcBytes(Sfc(features));
    EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
    EXPECT_EQ(Shown(d), c.Expected);
  }
}

TEST(SfcReader, TablesSheetLayersAndTitleBlock) {
  std::vector<std::string> features = kTables;
  features.push_back(R"(drawing_attribute_feature(\'国道改良事業\',\'第1工区\',\'\',\'平面図\',\'S-01\',\'平面図\',\'1:500\','2024','3','15',\'株式会社 道路\',\'国土交通省\'))");
  features.push_back("line_feature('1','1','1','1','0','0','1','1')");
  features.push_back(R"(drawing_sheet_feature(\'平面図\','3','1','0','0'))");
  // The title block is a feature of version 3, in its own kind of comment.
  std::string text = Sfc(features);
  const std::size_t at = text.find("/*SXF\n#7 = drawing_attribute_feature");
  ASSERT_NE(at, std::string::npos);
  text.replace(text.find("\nSXF*/", at), 7, "\nSXF3.1*/");
  text.replace(at, 5, "/*SXF3.1");
  TDrawing d = ReadSfcBytes(text);
  EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
  EXPECT_EQ(d.Mode, "feature");
  EXPECT_EQ(d.SheetName, "A3");
  EXPECT_EQ(d.SheetWidth, 420);
  EXPECT_EQ(d.SheetHeight, 297);
  ASSERT_EQ(d.Layers.size(), 2u);
  EXPECT_EQ(d.Layers[0].Name, "表示");
  EXPECT_TRUE(d.Layers[0].Visible);
  EXPECT_EQ(d.Layers[1].Name, "隠す");
  EXPECT_FALSE(d.Layers[1].Visible);
  ASSERT_EQ(d.Colours.size(), 17u);
  EXPECT_EQ(d.Colours[8].Name, "deeppink");
  EXPECT_EQ(d.Colours[16].R, 10);
  EXPECT_EQ(d.Colours[16].G, 20);
  EXPECT_EQ(d.Colours[16].B, 30);
  ASSERT_EQ(d.LineTypes.size(), 16u);
  EXPECT_EQ(d.LineTypes[1].Name, "dashed");
  EXPECT_EQ(d.LineTypes[15].Name, "mine");
  EXPECT_EQ(d.LineTypes[15].Pitches, (std::vector<double>{1.5, 0.5}));
  ASSERT_EQ(d.Fonts.size(), 1u);
  EXPECT_EQ(d.Fonts[0].Name, "ＭＳ ゴシック");
  const std::vector<std::pair<std::string, std::string>> title = {
      {"事業名", "国道改良事業"}, {"工事名", "第1工区"},     {"図面名", "平面図"},
      {"図面番号", "S-01"},       {"図面種別", "平面図"},     {"尺度", "1:500"},
      {"作成日", "2024-03-15"},   {"受注会社名", "株式会社 道路"}, {"発注事業者名", "国土交通省"},
  };
  EXPECT_EQ(d.Attributes, title);

  // A portrait A1 and a free sheet keep their sizes the right way round.
  d = ReadSfcBytes(Sfc({R"(drawing_sheet_feature(\'x\','1','0','0','0'))"}));
  EXPECT_EQ(d.SheetName + " " + Num(d.SheetWidth) + "x" + Num(d.SheetHeight), "A1 594x841");
  d = ReadSfcBytes(Sfc({R"(drawing_sheet_feature(\'x\','9','1','1000','300'))"}));
  EXPECT_EQ(d.SheetName + " " + Num(d.SheetWidth) + "x" + Num(d.SheetHeight), "free 1000x300");
}

TEST(SfcReader, QuotingAndShiftJisTexts) {
  // 表 and ソ end in the byte of a backslash; a comma, parentheses and a
  // single quote inside a text are text; names may also be quoted '...'.
  const std::vector<std::string> features = {
      "layer_feature('plain','1')",
      R"(text_string_feature('1','1','1',\'表示ソ\','0','0','1','3','0','0','0','1','1'))",
      R"(text_string_feature('1','1','1',\'A,(B)'C\','0','0','1','3','0','0','0','1','1'))",
      R"(text_string_feature('1','1','1',\'ｶﾅ\','0','0','1','3','0','0','0','1','1'))",
  };
  const TDrawing d = ReadSfcBytes(Sfc(features));
  EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
  ASSERT_EQ(d.Layers.size(), 1u);
  EXPECT_EQ(d.Layers[0].Name, "plain");
  ASSERT_EQ(d.Primitives.size(), 3u);
  EXPECT_EQ(d.Primitives[0].Text(), "表示ソ");
  EXPECT_EQ(d.Primitives[1].Text(), "A,(B)'C");
  EXPECT_EQ(d.Primitives[2].Text(), "ｶﾅ");
}

TEST(SfcReader, BrokenFilesKeepWhatWasReadAndSayWhereAndWhy) {
  const std::string good = "line_feature('1','1','1','1','0','0','1','1')";
  // Line of the n-th feature comment in Sfc() (the header takes 7 lines and
  // each feature 3); a fault inside a feature is on the line after.
  auto lineOf = [](int n) { return 8 + 3 * (n - 1); };
  struct TCase {
    const char* Name;
    std::string Text;
    long Line;                // 0: not broken
    const char* Reason;       // a part of the reason
    std::size_t Kept;         // primitives read
    const char* SkippedName;  // counted in Skipped, or ""
  };
  std::string cut = Sfc({good}, false) + "/*SXF\n#2 = line_feature('1','1','1'";
  std::string missingEnd = Sfc({good}, false);
  const std::vector<TCase> cases = {
      {"cut in the middle of a feature", cut, lineOf(2), "閉じないまま", 1, ""},
      {"no end of the exchange structure", missingEnd, lineOf(2), "途中で終わって", 1, ""},
      {"unbalanced parentheses: the feature is left out, the rest is read",
       Sfc({good, "line_feature('1','1','1','1','0','0','1','1'", good}), lineOf(2) + 1, "括弧が閉じていません", 2,
       "line_feature"},
      {"a parenthesis too many", Sfc({"line_feature('1','1','1','1','0','0','1','1'))", good}), lineOf(1) + 1,
       "括弧の対応", 1, "line_feature"},
      {"an unclosed text", Sfc({R"(text_string_feature('1','1','1',\'abc','0'))", good}), lineOf(1) + 1,
       "文字列が閉じていません", 1, "text_string_feature"},
      {"an unknown feature is counted, not fatal", Sfc({"mystery_feature('1')", good}), 0, "", 1, "mystery_feature"},
      {"a placement of a figure never defined",
       Sfc({good, R"(sfig_locate_feature('1',\'nowhere\','0','0','0','1','1'))"}), lineOf(2),
       "「nowhere」が定義されていません", 1, "sfig_locate_feature"},
      {"a cycle of placements: each figure drawn once, the cycle cut",
       Sfc({good, R"(sfig_locate_feature('1',\'b\','0','0','0','1','1'))", R"(sfig_org_feature(\'a\','3'))", good,
            R"(sfig_locate_feature('1',\'a\','5','0','0','1','1'))", R"(sfig_org_feature(\'b\','3'))",
            R"(sfig_locate_feature('1',\'a\','0','0','0','1','1'))"}),
       lineOf(5), "「a」の配置が循環しています", 2, "sfig_locate_feature"},
      {"not an exchange structure at all", "hello", 1, "ISO-10303-21", 0, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDrawing d = ReadSfcBytes(c.Text);
    EXPECT_EQ(d.Stop.Broken, c.Line != 0);
    EXPECT_EQ(d.Stop.Line, c.Line);
    EXPECT_NE(d.Stop.Reason.find(c.Reason), std::string::npos) << d.Stop.Reason;
    EXPECT_EQ(d.Primitives.size(), c.Kept);
    if (*c.SkippedName) {
      EXPECT_EQ(d.Skipped.count(c.SkippedName), 1u);
    }
    // Read as a file arrives, a byte or a few at a time: the same.
    EXPECT_EQ(Everything(ReadSfcInPieces(c.Text, 1)), Everything(d));
    EXPECT_EQ(Everything(ReadSfcInPieces(c.Text, 7)), Everything(d));
  }
}

TEST(SfcReader, ARecordWrittenOverSeveralLinesIsReadAsOne) {
  // After kTables the record is #7: its comment opens on line 26 and its
  // text starts on line 27.
  const std::string polyline = "Polyline L0 C1 T1 W0.35 (0,0)(1,1)(2,0)\n";
  struct TCase {
    const char* Name;
    std::string Feature;
    std::string Expected;
    long StopLine;  // 0: read whole
  };
  const std::vector<TCase> cases = {
      {"a coordinate list broken after a comma", "polyline_feature('1','2','2','4','3','(0,1,\n2)','(0,1,0)')",
       polyline, 0},
      {"a parameter a line, indented, CR LF, a list broken inside its quotes",
       "polyline_feature('1','2','2','4','3',\r\n    '(0,1,2)',\r\n\t'(0,\r\n  1,0)')", polyline, 0},
      {"the name on the line after the number, an empty line between",
       "\n\npolyline_feature('1','2','2','4','3','(0,1,2)',  \n'(0,1,0)')", polyline, 0},
      {"a text broken inside", "text_string_feature('1','3','1',\\'道\n路\\','10','20','5','20','0','30','15','8','1')",
       "Text L0 C2 F0 (10,20) '道路' h5 w10 s0 a30 sl15 al8 H\n", 0},
      {"a fault is told on the line it stands on", "line_feature('1','1','1','1',\n'0','0',\n'1','1'", "", 29},
      {"a fault is told on the line it stands on, CR alone", "line_feature('1','1','1','1',\r'0','0'\r'1','1')", "",
       29},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> features = kTables;
    features.push_back(c.Feature);
    features.push_back("line_feature('1','1','1','1','0','0','1','1')");
    const std::string text = Sfc(features);
    const TDrawing d = ReadSfcBytes(text);
    EXPECT_EQ(d.Stop.Line, c.StopLine) << d.Stop.Reason;
    EXPECT_EQ(Shown(d), c.Expected + "Line L0 C0 T0 W0.13 (0,0)(1,1)\n");
    EXPECT_EQ(Everything(ReadSfcInPieces(text, 3)), Everything(d));
  }
}

TEST(SfcReader, PlacementsThatMultiplyStopAtTheLimit) {
  // Ten lines, placed ten times in a figure placed ten times: a thousand.
  std::vector<std::string> features;
  for (int i = 0; i < 10; ++i) features.push_back("line_feature('1','1','1','1','0','" + std::to_string(i) + "','1','1')");
  features.push_back(R"(sfig_org_feature(\'f\','3'))");
  for (int i = 0; i < 10; ++i) features.push_back(R"(sfig_locate_feature('1',\'f\','0','0','0','1','1'))");
  features.push_back(R"(sfig_org_feature(\'g\','3'))");
  for (int i = 0; i < 10; ++i) features.push_back(R"(sfig_locate_feature('1',\'g\','0','0','0','1','1'))");
  const std::string text = Sfc(features);
  const TDrawing all = ReadSfcBytes(text);
  ASSERT_EQ(all.Primitives.size(), 1000u);
  // Every drawing of a figure is whole, the last one (which takes the
  // figure's own primitives) as much as the copies before it.
  for (std::size_t i = 0; i < all.Primitives.size(); ++i)
    ASSERT_EQ(Shown(all.Primitives[i]), "Line L-1 C0 T0 W0.13 (0," + std::to_string(i % 10) + ")(1,1)") << i;
  const TDrawing cut = ReadSfcInPieces(text, text.size(), 500);
  EXPECT_EQ(cut.Primitives.size(), 500u);
  EXPECT_TRUE(cut.Stop.Broken);
  EXPECT_NE(cut.Stop.Reason.find("500 個の要素まで読み込みました"), std::string::npos) << cut.Stop.Reason;
}

TEST(SfcReader, ALargeFileReadInTwoPartsEqualsOneRead) {
  // A file of over a megabyte is read in two parts from a comment past its
  // middle byte; `middle` is written so that its byte `at` is the file's
  // middle byte.
  struct TCase {
    const char* Name;
    std::string Middle;
    std::size_t At;
    std::vector<std::string> After;  // features after the middle
    std::size_t Primitives;
  };
  const std::string line = "line_feature('1','1','1','1','0','0','1','1')";
  const std::vector<TCase> cases = {
      {"the middle inside a comment that holds a comment opener and a feature's text",
       "/*/ note /*SXF\n#1 = line_feature('1','1','1','1','5','5','9','9')\nSXF*/\n", 1, {line}, 29001},
      {"a figure begun before the middle, finished, curved, hatched and placed after it; a fault after it",
       "/*SXF\n#1 = polyline_feature('1','1','1','1','4','(0,10,0,0)','(0,0,10,0)')\nSXF*/\n", 10,
       {"composite_curve_org_feature('1','1','1','1')", "fill_area_style_colour_feature('1','4','1','0','()')",
        R"(sfig_org_feature(\'fig\','3'))", "line_feature('1','1','1','1','0','0','1','1'",
        R"(sfig_locate_feature('1',\'fig\','5','5','90','2','2'))",
        R"(drawing_sheet_feature(\'A1\','1','1','841','594'))"},
       29002},
  };
  test::ScratchDir dir;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string before = Sfc({}, false), after;
    for (int i = 0; i < 15000; ++i) before += "/*SXF\n#" + std::to_string(i + 2) + " = " + line + "\nSXF*/\n";
    for (int i = 0; i < 14000; ++i) after += "/*SXF\n#" + std::to_string(i + 20000) + " = " + line + "\nSXF*/\n";
    for (std::size_t i = 0; i < c.After.size(); ++i)
      after += "/*SXF\n#" + std::to_string(i + 40000) + " = " + c.After[i] + "\nSXF*/\n";
    const std::size_t half = before.size() + c.At;
    const std::size_t end = std::string("ENDSEC;\nEND-ISO-10303-21;\n").size();
    ASSERT_GT(2 * half, before.size() + c.Middle.size() + after.size() + end + 1);
    after += std::string(2 * half - (before.size() + c.Middle.size() + after.size() + end + 1), ' ') + "\n";
    const std::string text = before + c.Middle + after + "ENDSEC;\nEND-ISO-10303-21;\n";
    ASSERT_EQ(text.size() / 2, half);
    const TDrawing whole = ReadSfcInPieces(text, 1 << 16);
    const TDrawing parts = ReadSfc(dir.WriteBytes("two.sfc", text));
    EXPECT_EQ(parts.Primitives.size(), c.Primitives);
    EXPECT_EQ(Everything(parts), Everything(whole));
  }
}

TEST(SfcReader, ALargeFileReadInPiecesEqualsTheWholeAndOnlyFilesAreRead) {
  // Over a megabyte so the file is read in several pieces; the features
  // cross the pieces' edges somewhere.
  std::vector<std::string> features = {R"(layer_feature(\'道路\','1'))"};
  for (int i = 0; i < 40000; ++i)
    features.push_back("polyline_feature('1','1','1','1','3','(" + std::to_string(i) + ",1.5,2)','(0,1," +
                       std::to_string(i % 7) + ")')");
  const std::string bytes = Sfc(features);
  ASSERT_GT(bytes.size(), 3u << 20);
  test::ScratchDir dir;
  const std::string path = dir.WriteBytes("big.sfc", bytes);
  const TDrawing whole = ReadSfcBytes(bytes);
  const TDrawing pieces = ReadSfc(path);
  EXPECT_FALSE(pieces.Stop.Broken) << pieces.Stop.Reason;
  ASSERT_EQ(pieces.Primitives.size(), 40000u);
  EXPECT_EQ(Everything(pieces), Everything(whole));

  const TDrawing folder = ReadSfc(dir.MakeDir("folder"));
  EXPECT_TRUE(folder.Stop.Broken);
  EXPECT_NE(folder.Stop.Reason.find("通常のファイルではありません"), std::string::npos);
  const std::string fifo = dir / "fifo.sfc";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(ReadSfc(fifo).Stop.Broken);  // refused, not waited on
  EXPECT_TRUE(ReadSfc(dir / "missing.sfc").Stop.Broken);
}

}  // namespace
}  // namespace dlvr::sxf
