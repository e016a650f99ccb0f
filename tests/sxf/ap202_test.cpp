// The AP202 mode reader on small hand-written files: each kind of entity
// landing where it belongs, figures placed within figures, layers, styles,
// the sheet, and broken files; and the dispatch of a drawing file by content.
#include "sxf/ap202.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "support/fixtures.h"
#include "sxf/part21.h"
#include "sxf/read_drawing.h"

namespace dlvr::sxf {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

std::string N(double v) {
  if (std::fabs(v) < 5e-7) v = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4g", v);
  return buf;
}
std::string P(TPoint p) { return "(" + N(p.X) + "," + N(p.Y) + ")"; }
std::string Deg(double radians) {
  double d = std::fmod(radians / kDeg, 360);
  if (d < -1e-6) d += 360;
  return N(std::fabs(d - 360) < 1e-6 ? 0 : d);
}

// A conic's point at parameter a, on the sheet.
TPoint At(const TPrimitive& p, double a) {
  const double x = p.Rx * std::cos(a), y = p.Ry * std::sin(a);
  return {p.Points[0].X + std::cos(p.Rotation) * x - std::sin(p.Rotation) * y,
          p.Points[0].Y + std::sin(p.Rotation) * x + std::cos(p.Rotation) * y};
}

// One line a primitive, with the names of its layer, colour, line type and
// font; arcs by where they start and end and which way they run.
std::string Shown(const TDrawing& d) {
  static const char* const kinds[] = {"point", "line", "polyline", "circle", "arc", "ellipse",
                                      "ellipse_arc", "spline", "clothoid", "text", "hatch"};
  std::string s;
  for (const TPrimitive& p : d.Primitives) {
    s += kinds[static_cast<int>(p.Kind)];
    s += " L=" + (p.Layer >= 0 ? d.Layers[p.Layer].Name : "-");
    if (p.Colour >= 0) {
      const TColour& c = d.Colours[p.Colour];
      s += " C=" + c.Name + "#" + std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
    }
    if (p.LineType >= 0) {
      s += " T=" + d.LineTypes[p.LineType].Name;
      for (double pitch : d.LineTypes[p.LineType].Pitches) s += "/" + N(pitch);
    }
    if (p.Kind != TKind::Text) s += " W=" + N(p.Width);
    switch (p.Kind) {
      case TKind::Circle:
      case TKind::Ellipse:
        s += " " + P(p.Points[0]) + " r=" + N(p.Rx) + "/" + N(p.Ry) + " rot=" + Deg(p.Rotation);
        break;
      case TKind::Arc:
      case TKind::EllipseArc:
        s += " " + P(p.Points[0]) + " r=" + N(p.Rx) + "/" + N(p.Ry);
        s += p.Reversed ? " " + P(At(p, p.End)) + "->" + P(At(p, p.Start)) + " cw"
                        : " " + P(At(p, p.Start)) + "->" + P(At(p, p.End)) + " ccw";
        break;
      case TKind::Text:
        s += " '" + p.Text() + "' " + P(p.Points[0]) + " align=" + std::to_string(p.Align) + " h=" + N(p.Height) +
             " w=" + N(p.CharWidth) + " ang=" + Deg(p.Rotation) +
             (p.Font >= 0 ? " font=" + d.Fonts[p.Font].Name : "") + (p.Vertical ? " vertical" : "");
        break;
      case TKind::Hatch:
        s += p.Solid ? " solid" : "";
        for (const auto& [angle, pitch] : p.PatternLines()) s += " [" + Deg(angle) + "/" + N(pitch) + "]";
        s += " points=" + std::to_string(p.Points.size()) + " holes=" + std::to_string(p.Holes().size());
        break;
      default:
        for (const TPoint& q : p.Points) s += " " + P(q);
    }
    s += "\n";
  }
  return s;
}

std::string File(const std::string& data, const std::string& mode = "AP202_mode") {
  return "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('SCADEC level2 " + mode +
         "'),'2;1');\nFILE_NAME('t.p21','2026-12-08T10:00:00',(''),(''),'','','');\n"
         "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\nDATA;\n" +  // DATA on line 6
         data + "ENDSEC;\nEND-ISO-10303-21;\n";
}

// Points, placements and styles the cases share (lines 7-20).
const std::string kCommon =
    "#1=CARTESIAN_POINT('',(0.,0.));\n"
    "#2=DIRECTION('',(1.,0.));\n"
    "#3=AXIS2_PLACEMENT_2D('',#1,#2);\n"
    "#4=CARTESIAN_POINT('',(10.,0.));\n"
    "#5=REPRESENTATION_CONTEXT('','2D');\n"
    "#6=CARTESIAN_POINT('',(10.,10.));\n"
    "#7=CARTESIAN_POINT('',(0.,10.));\n"
    "#10=DRAUGHTING_PRE_DEFINED_COLOUR('red');\n"
    "#11=DRAUGHTING_PRE_DEFINED_CURVE_FONT('dashed');\n"
    "#12=CURVE_STYLE('',#11,POSITIVE_LENGTH_MEASURE(0.35),#10);\n"
    "#13=PRESENTATION_STYLE_ASSIGNMENT((#12));\n"
    "#14=DRAUGHTING_PRE_DEFINED_TEXT_FONT('gothic');\n"
    "#15=TEXT_STYLE_WITH_BOX_CHARACTERISTICS('',#16,(BOX_HEIGHT(5.),BOX_WIDTH(4.)));\n"
    "#16=TEXT_STYLE_FOR_DEFINED_FONT(#10);\n"
    "#17=PRESENTATION_STYLE_ASSIGNMENT((#15));\n";

TDrawing Read(const std::string& data) { return ReadAp202Text(File(kCommon + data)); }

// All a drawing says, its tables in their order included.
std::string Everything(const TDrawing& d) {
  std::string s = Shown(d) + "sheet " + d.SheetName + " " + N(d.SheetWidth) + "x" + N(d.SheetHeight) + "\n";
  for (const TLayer& l : d.Layers) s += "layer " + l.Name + (l.Visible ? "" : " hidden") + "\n";
  for (const TColour& c : d.Colours) s += "colour " + c.Name + "\n";
  for (const TLineType& t : d.LineTypes) s += "line type " + t.Name + "\n";
  for (const TFont& f : d.Fonts) s += "font " + f.Name + "\n";
  for (const auto& [k, v] : d.Attributes) s += "attr " + k + "=" + v + "\n";
  for (const auto& [k, v] : d.Skipped) s += "skipped " + k + " " + std::to_string(v) + "\n";
  for (const TPartial& p : d.Partials)
    s += "partial " + p.Name + " " + std::to_string(p.First) + "+" + std::to_string(p.Count) + "\n";
  return s + "stop " + std::to_string(d.Stop.Broken) + " " + std::to_string(d.Stop.Line) + " " + d.Stop.Reason;
}

TEST(Ap202Reader, EachEntityKindLandsWhereItBelongs) {
  struct Case {
    const char* What;
    std::string Data, Expected;
  } cases[] = {
      {"a polyline of two points is a line; its curve style gives colour, line type, width; a dimension",
       "#20=ANNOTATION_CURVE_OCCURRENCE('',(#13),#21);\n#21=POLYLINE('',(#1,#4));\n"
       "#22=DIMENSION_CURVE('',(#13),#23);\n#23=POLYLINE('',(#1,#4,#6));\n#24=LINEAR_DIMENSION('',(#22));\n",
       "line L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,0)\n"
       "polyline L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,0) (10,10)\n"},
      {"a user colour (0..1), a user line type, a bounded LINE",
       "#20=ANNOTATION_CURVE_OCCURRENCE('',(#21),#25);\n#21=PRESENTATION_STYLE_ASSIGNMENT((#22));\n"
       "#22=CURVE_STYLE('',#23,0.5,#24);\n#23=CURVE_STYLE_FONT('mine',(#26,#27));\n"
       "#24=COLOUR_RGB('sky',0.,0.5,1.);\n#26=CURVE_STYLE_FONT_PATTERN(3.,1.);\n"
       "#27=CURVE_STYLE_FONT_PATTERN(0.5,1.);\n#25=LINE('',#6,#28);\n#28=VECTOR('',#29,5.);\n"
       "#29=DIRECTION('',(0.,-2.));\n",
       "line L=- C=sky#0,128,255 T=mine/3/1/0.5/1 W=0.5 (10,10) (10,5)\n"},
      {"circle, ellipse turned by its placement, B-spline, composite curve",
       "#20=ANNOTATION_CURVE_OCCURRENCE('',(#13),#21);\n#21=CIRCLE('',#3,5.);\n"
       "#22=ANNOTATION_CURVE_OCCURRENCE('',(#13),#23);\n#23=ELLIPSE('',#24,6.,2.);\n"
       "#24=AXIS2_PLACEMENT_2D('',#6,#25);\n#25=DIRECTION('',(0.,1.));\n"
       "#26=ANNOTATION_CURVE_OCCURRENCE('',(#13),#27);\n"
       "#27=B_SPLINE_CURVE_WITH_KNOTS('',3,(#1,#4,#6,#7),.UNSPECIFIED.,.F.,.F.,(4,4),(0.,1.),.UNSPECIFIED.);\n"
       "#28=ANNOTATION_CURVE_OCCURRENCE('',(#13),#29);\n#29=COMPOSITE_CURVE('',(#30,#31),.F.);\n"
       "#30=COMPOSITE_CURVE_SEGMENT(.CONTINUOUS.,.T.,#21);\n#31=COMPOSITE_CURVE_SEGMENT(.CONTINUOUS.,.T.,#23);\n",
       "circle L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) r=5/5 rot=0\n"
       "ellipse L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (10,10) r=6/2 rot=90\n"
       "spline L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,0) (10,10) (0,10)\n"
       "circle L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) r=5/5 rot=0\n"
       "ellipse L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (10,10) r=6/2 rot=90\n"},
      {"arcs: an arc's direction follows the sense; trims by parameter (degrees) or by point",
       "#20=ANNOTATION_CURVE_OCCURRENCE('',(#13),#21);\n#21=CIRCLE('',#3,5.);\n"
       "#22=ANNOTATION_CURVE_OCCURRENCE('',(#13),#23);\n"
       "#23=TRIMMED_CURVE('',#21,(PARAMETER_VALUE(0.)),(PARAMETER_VALUE(90.)),.T.,.PARAMETER.);\n"
       "#24=ANNOTATION_CURVE_OCCURRENCE('',(#13),#25);\n"
       "#25=TRIMMED_CURVE('',#21,(PARAMETER_VALUE(0.)),(PARAMETER_VALUE(90.)),.F.,.PARAMETER.);\n"
       "#26=ANNOTATION_CURVE_OCCURRENCE('',(#13),#27);\n#28=CARTESIAN_POINT('',(-5.,0.));\n"
       "#27=TRIMMED_CURVE('',#21,(#28,PARAMETER_VALUE(0.)),(PARAMETER_VALUE(0.),#29),.T.,.CARTESIAN.);\n"
       "#29=CARTESIAN_POINT('',(0.,-5.));\n",
       "circle L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) r=5/5 rot=0\n"
       "arc L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) r=5/5 (5,0)->(0,5) ccw\n"
       "arc L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) r=5/5 (5,0)->(0,5) cw\n"
       "arc L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) r=5/5 (-5,0)->(0,-5) ccw\n"},
      {"texts: Japanese by \\X2\\, the nine alignments, box height and width, angle, font, direction",
       "#20=AXIS2_PLACEMENT_2D('',#6,#21);\n#21=DIRECTION('',(1.,1.));\n"
       "#22=ANNOTATION_TEXT_OCCURRENCE('',(#17),#23);\n"
       "#23=TEXT_LITERAL('','\\X2\\90538DEF\\X0\\ No.1',#20,'top right',.RIGHT.,#14);\n"
       "#24=ANNOTATION_TEXT_OCCURRENCE('',(#17),#25);\n#25=TEXT_LITERAL('','a',#3,'baseline left',.DOWN.,#14);\n"
       "#26=ANNOTATION_TEXT_OCCURRENCE('',(#17),#27);\n#27=TEXT_LITERAL('','b',#3,'bottom centre',.RIGHT.,#14);\n"
       "#28=ANNOTATION_TEXT_OCCURRENCE('',(#17),#29);\n#29=TEXT_LITERAL('','c',#3,'baseline right',.RIGHT.,#14);\n"
       "#30=ANNOTATION_TEXT_OCCURRENCE('',(#17),#31);\n#31=TEXT_LITERAL('','d',#3,'centre left',.RIGHT.,#14);\n"
       "#32=ANNOTATION_TEXT_OCCURRENCE('',(#17),#33);\n#33=TEXT_LITERAL('','e',#3,'centre centre',.RIGHT.,#14);\n"
       "#34=ANNOTATION_TEXT_OCCURRENCE('',(#17),#35);\n#35=TEXT_LITERAL('','f',#3,'middle right',.RIGHT.,#14);\n"
       "#36=ANNOTATION_TEXT_OCCURRENCE('',(#17),#37);\n#37=TEXT_LITERAL('','g',#3,'top left',.RIGHT.,#14);\n"
       "#38=ANNOTATION_TEXT_OCCURRENCE('',(#17),#39);\n#39=TEXT_LITERAL('','h',#3,'top centre',.RIGHT.,#14);\n"
       "#40=ANNOTATION_TEXT_OCCURRENCE('',(#13),#41);\n"
       "#41=TEXT_LITERAL_WITH_EXTENT('','wide',#3,'',.RIGHT.,#14,#42);\n#42=PLANAR_EXTENT('',20.,3.);\n",
       "text L=- C=red#255,0,0 '道路 No.1' (10,10) align=9 h=5 w=0.5714 ang=45 font=gothic\n"
       "text L=- C=red#255,0,0 'a' (0,0) align=1 h=5 w=4 ang=0 font=gothic vertical\n"
       "text L=- C=red#255,0,0 'b' (0,0) align=2 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 'c' (0,0) align=3 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 'd' (0,0) align=4 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 'e' (0,0) align=5 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 'f' (0,0) align=6 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 'g' (0,0) align=7 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 'h' (0,0) align=8 h=5 w=4 ang=0 font=gothic\n"
       "text L=- C=red#255,0,0 T=dashed/6/1.5 'wide' (0,0) align=1 h=3 w=5 ang=0 font=gothic\n"},
      {"a text of 128 letters (a length of two bytes where it is kept), an instance numbered past 2^32",
       "#5000000000=ANNOTATION_TEXT_OCCURRENCE('',(#17),#5000000001);\n#5000000001=TEXT_LITERAL('','" +
           std::string(128, 'x') + "',#3,'baseline left',.RIGHT.,#14);\n",
       "text L=- C=red#255,0,0 '" + std::string(128, 'x') + "' (0,0) align=1 h=5 w=0.03125 ang=0 font=gothic\n"},
      {"hatches: a pattern of lines from the hatching's curve style, a solid fill, a hole",
       "#20=ANNOTATION_FILL_AREA_OCCURRENCE('',(#21),#22,#1);\n#21=PRESENTATION_STYLE_ASSIGNMENT((#23));\n"
       "#22=ANNOTATION_FILL_AREA('',(#24,#25));\n#23=FILL_AREA_STYLE('',(#26));\n"
       "#24=POLYLINE('',(#1,#4,#6,#7,#1));\n#25=CIRCLE('',#27,2.);\n#27=AXIS2_PLACEMENT_2D('',#28,$);\n"
       "#28=CARTESIAN_POINT('',(5.,5.));\n#26=FILL_AREA_STYLE_HATCHING('',#12,#29,#1,#1,PLANE_ANGLE_MEASURE(45.));\n"
       "#29=ONE_DIRECTION_REPEAT_FACTOR('',#30);\n#30=VECTOR('',#31,3.);\n#31=DIRECTION('',(-1.,1.));\n"
       "#40=ANNOTATION_FILL_AREA_OCCURRENCE('',(#41),#42,#1);\n#41=PRESENTATION_STYLE_ASSIGNMENT((#43));\n"
       "#42=ANNOTATION_FILL_AREA('',(#24));\n#43=FILL_AREA_STYLE('',(#44));\n"
       "#44=FILL_AREA_STYLE_COLOUR('',#45);\n#45=DRAUGHTING_PRE_DEFINED_COLOUR('blue');\n",
       "hatch L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 [45/3] points=5 holes=1\n"
       "hatch L=- C=blue#0,0,255 W=0.13 solid points=5 holes=0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TDrawing d = Read(c.Data);
    EXPECT_FALSE(d.Stop.Broken) << d.Stop.Line << ": " << d.Stop.Reason;
    EXPECT_EQ(Shown(d), c.Expected);
    EXPECT_TRUE(d.Skipped.empty()) << d.Skipped.begin()->first;
    EXPECT_EQ(d.Mode, "ap202");
  }
}

TEST(Ap202Reader, NestedFiguresComposeRotationScaleAndMirror) {
  // An inner figure (a line and a text) turned by 90 degrees, doubled and
  // moved inside an outer figure, which is placed at a quarter scale; and a
  // figure with an arc placed mirrored (a negative x scale), once by an
  // operator and once by a symbol target that also turns it.
  TDrawing d = Read(
      "#100=SYMBOL_REPRESENTATION('inner',(#101,#103),#5);\n"
      "#101=ANNOTATION_CURVE_OCCURRENCE('',(#13),#102);\n#102=POLYLINE('',(#1,#4));\n"
      "#103=ANNOTATION_TEXT_OCCURRENCE('',(#17),#104);\n"
      "#104=TEXT_LITERAL('','x',#3,'baseline left',.RIGHT.,#14);\n"
      "#110=REPRESENTATION_MAP(#3,#100);\n"
      "#111=MAPPED_ITEM('',#110,#112);\n"
      "#112=CARTESIAN_TRANSFORMATION_OPERATOR_2D('','',#113,$,#114,2.);\n"
      "#113=DIRECTION('',(0.,1.));\n#114=CARTESIAN_POINT('',(100.,50.));\n"
      "#120=SYMBOL_REPRESENTATION('outer',(#111),#5);\n#121=REPRESENTATION_MAP(#3,#120);\n"
      "#122=MAPPED_ITEM('',#121,#123);\n"
      "#123=CARTESIAN_TRANSFORMATION_OPERATOR_2D('','',$,$,#124,0.25);\n#124=CARTESIAN_POINT('',(10.,10.));\n"
      "#130=SYMBOL_REPRESENTATION('arc',(#131),#5);\n#131=ANNOTATION_CURVE_OCCURRENCE('',(#13),#132);\n"
      "#132=TRIMMED_CURVE('',#133,(PARAMETER_VALUE(0.)),(PARAMETER_VALUE(90.)),.T.,.PARAMETER.);\n"
      "#133=CIRCLE('',#3,5.);\n#134=REPRESENTATION_MAP(#3,#130);\n"
      "#135=ANNOTATION_SYMBOL_OCCURRENCE('',(#13),#136);\n#136=ANNOTATION_SYMBOL('',#134,#137);\n"
      "#137=CARTESIAN_TRANSFORMATION_OPERATOR_2D_NON_UNIFORM('','',$,$,#6,-1.,1.);\n"
      "#140=MAPPED_ITEM('',#134,#141);\n#141=SYMBOL_TARGET('',#142,-1.,1.);\n"
      "#142=AXIS2_PLACEMENT_2D('',#143,#144);\n#143=CARTESIAN_POINT('',(20.,0.));\n#144=DIRECTION('',(0.,1.));\n");
  EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
  EXPECT_EQ(Shown(d),
            "line L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (35,22.5) (35,27.5)\n"
            "text L=- C=red#255,0,0 'x' (35,22.5) align=1 h=2.5 w=2 ang=90 font=gothic\n"
            "arc L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (10,10) r=5/5 (5,10)->(10,15) cw\n"
            "arc L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (20,0) r=5/5 (20,-5)->(15,0) cw\n");
  EXPECT_TRUE(d.Skipped.empty());
}

TEST(Ap202Reader, SheetLayersInvisibilityAndTitleBlock) {
  TDrawing d = Read(
      "#20=ANNOTATION_CURVE_OCCURRENCE('',(#13),#23);\n"
      "#21=ANNOTATION_CURVE_OCCURRENCE('',(#13),#23);\n"
      "#22=ANNOTATION_CURVE_OCCURRENCE('',(#13),#23);\n#23=POLYLINE('',(#1,#6));\n"
      "#30=PRESENTATION_LAYER_ASSIGNMENT('road','',(#20));\n"
      "#31=PRESENTATION_LAYER_ASSIGNMENT('hidden','',(#21));\n"
      "#32=PRESENTATION_LAYER_ASSIGNMENT('empty','',());\n"
      "#33=INVISIBILITY((#31,#22));\n"
      "#40=PLANAR_BOX('',420.,297.,#3);\n"
      "#41=DRAWING_SHEET_REVISION('A3_horizontal',(#20,#21,#22,#40),#5,'01');\n"
      "#42=PRESENTATION_SIZE(#41,#40);\n"
      "#43=PRODUCT('x','y','',());\n#44=PRODUCT('z','w','',());\n"
      "#45=DESCRIPTIVE_REPRESENTATION_ITEM('\\X2\\56F39762540D\\X0\\','\\X2\\5E73976256F3\\X0\\');\n"
      "#46=DESCRIPTIVE_REPRESENTATION_ITEM('\\X2\\5C3A5EA6\\X0\\','1:500');\n"
      "#47=DESCRIPTIVE_REPRESENTATION_ITEM('\\X2\\4E8B696D540D\\X0\\','');\n");
  EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
  EXPECT_EQ(d.SheetName, "A3");
  EXPECT_EQ(d.SheetWidth, 420);
  EXPECT_EQ(d.SheetHeight, 297);
  ASSERT_EQ(d.Layers.size(), 3u);
  EXPECT_TRUE(d.Layers[0].Visible);
  EXPECT_FALSE(d.Layers[1].Visible);
  EXPECT_TRUE(d.Layers[2].Visible);
  // The hidden layer's line is kept (the view may show it), the invisible
  // occurrence is not drawn at all.
  EXPECT_EQ(Shown(d),
            "line L=road C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,10)\n"
            "line L=hidden C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,10)\n");
  EXPECT_EQ(d.Skipped, (std::map<std::string, long>{{"PRODUCT", 2}}));
  // The title block in its fields' order; an empty value is left out.
  EXPECT_EQ(d.Attributes, (std::vector<std::pair<std::string, std::string>>{{"図面名", "平面図"}, {"尺度", "1:500"}}));

  // Without a sheet the drawing's extent is the sheet.
  TDrawing free = Read("#20=ANNOTATION_CURVE_OCCURRENCE('',(#13),#21);\n#21=CIRCLE('',#27,2.);\n"
                       "#27=AXIS2_PLACEMENT_2D('',#6,$);\n");
  EXPECT_EQ(free.SheetName, "free");
  EXPECT_EQ(free.SheetWidth, 12);
  EXPECT_EQ(free.SheetHeight, 12);
}

TEST(Ap202Reader, BrokenFilesKeepTheRestAndSayWhereAndWhy) {
  const std::string good = "#20=ANNOTATION_CURVE_OCCURRENCE('',(#13),#21);\n#21=POLYLINE('',(#1,#4));\n";  // lines 23-24
  const std::string goodLine = "line L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,0)\n";
  struct Case {
    const char* What;
    std::string Text;
    long Line;
    std::string Reason, Expected, Skipped;
  } cases[] = {
      {"a reference to a missing instance",
       File(kCommon + good + "#30=ANNOTATION_CURVE_OCCURRENCE('',(#13),#31);\n#31=POLYLINE('',(#1,#999,#6));\n"), 26,
       "#31 が参照する #999 がありません",
       goodLine + "line L=- C=red#255,0,0 T=dashed/6/1.5 W=0.35 (0,0) (10,10)\n", "POLYLINE"},
      {"an occurrence of a missing item", File(kCommon + "#30=ANNOTATION_CURVE_OCCURRENCE('',(#13),#31);\n" + good),
       23, "#30 が参照する #31 がありません", goodLine, "ANNOTATION_CURVE_OCCURRENCE"},
      {"a figure that places itself",
       File(kCommon + "#30=SYMBOL_REPRESENTATION('loop',(#31,#20),#5);\n#31=MAPPED_ITEM('',#32,#3);\n"
                      "#32=REPRESENTATION_MAP(#3,#30);\n#33=MAPPED_ITEM('',#32,#3);\n" + good),
       23, "#30 の配置が循環しています", goodLine, "SYMBOL_REPRESENTATION"},
      {"a file cut in the middle of an entity",
       File(kCommon + good).substr(0, File(kCommon + good).size() - 30), 24, "#21 の途中で終わっています", "",
       ""},
      {"unbalanced parentheses", File(kCommon + good + "#30=POLYLINE('',(#1,#4);\n#31=A();\n"), 25,
       "#30 の括弧が閉じていません", goodLine, ""},
      {"styles, curves and placements that lead back to themselves",
       File(kCommon + "#30=ANNOTATION_CURVE_OCCURRENCE('',(#31),#21);\n#31=PRESENTATION_STYLE_ASSIGNMENT((#32));\n"
                      "#32=CURVE_STYLE('',#33,0.5,#34);\n#33=CURVE_STYLE_FONT_AND_SCALING('',#33,2.);\n"
                      "#34=TEXT_STYLE_FOR_DEFINED_FONT(#34);\n#21=POLYLINE('',(#1,#4));\n"
                      "#35=ANNOTATION_CURVE_OCCURRENCE('',(#13),#36);\n#36=COMPOSITE_CURVE('',(#37),.F.);\n"
                      "#37=COMPOSITE_CURVE_SEGMENT(.CONTINUOUS.,.T.,#36);\n#38=MAPPED_ITEM('',#39,#40);\n"
                      "#39=REPRESENTATION_MAP(#3,#41);\n#40=PLANAR_BOX('',1.,1.,#40);\n#41=REPRESENTATION('',(),#5);\n"),
       0, "", "line L=- W=0.5 (0,0) (10,0)\n", "MAPPED_ITEM"},
      {"an unknown entity", File(kCommon + good + "#30=SOMETHING_NEW('',(1,2));\n"), 0, "", goodLine,
       "SOMETHING_NEW"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TDrawing d = ReadAp202Text(c.Text);
    EXPECT_EQ(d.Stop.Broken, !c.Reason.empty());
    EXPECT_EQ(d.Stop.Line, c.Line);
    EXPECT_NE(d.Stop.Reason.find(c.Reason), std::string::npos) << d.Stop.Reason;
    EXPECT_EQ(Shown(d), c.Expected);
    if (!c.Skipped.empty()) {
      EXPECT_EQ(d.Skipped[c.Skipped], 1);
    }
  }
}

// A file large enough to be read in two portions at once gives what reading
// it whole gives: references from one portion into the other, layers,
// invisibility, the sheet, the title block and a partial drawing across the
// cut; a break in the second portion, and an instance there that refers to
// nothing, at its own line; and a cut that falls inside a string (the text
// there looks like an instance) read whole.
TEST(Ap202Reader, ALargeFileReadInTwoPortionsAtOnceEqualsTheWholeRead) {
  auto everything = Everything;
  // About 1.4 MB of lines (read in two portions from 1 MB on); the first half's occurrences draw curves defined in
  // the second half and the other way round.
  auto body = [](const std::string& middle, const std::string& end) {
    std::string data = kCommon + "#18=PRESENTATION_LAYER_ASSIGNMENT('road','',(#100,#101));\n";
    const long blocks = 8000;
    for (long b = 0; b < blocks; ++b) {
      const long n = 100 + b * 4, other = 100 + (blocks - 1 - b) * 4;
      if (b == blocks / 2) data += middle;
      data += "#" + std::to_string(n) + "=ANNOTATION_CURVE_OCCURRENCE('',(#13),#" + std::to_string(other + 1) + ");\n#" +
              std::to_string(n + 1) + "=POLYLINE('',(#" + std::to_string(n + 2) + ",#" + std::to_string(n + 3) +
              "));\n#" + std::to_string(n + 2) + "=CARTESIAN_POINT('',(" + std::to_string(b % 997) + ".,0.));\n#" +
              std::to_string(n + 3) + "=CARTESIAN_POINT('',(1.5,2." + std::to_string(b % 89) + "));\n";
    }
    return File(data + "#1000000=PRESENTATION_LAYER_ASSIGNMENT('hidden','',(#104,#108,#100));\n#1000001=INVISIBILITY((#1000000));\n"
                       "#1000002=DRAUGHTING_SUBFIGURE_REPRESENTATION('\\X2\\6A2A65AD56F3\\X0\\',(#100),#5);\n"
                       "#1000003=REPRESENTATION_MAP(#3,#1000002);\n#1000004=CARTESIAN_POINT('',(50.,60.));\n"
                       "#1000005=AXIS2_PLACEMENT_2D('',#1000004,#2);\n#1000006=MAPPED_ITEM('',#1000003,#1000005);\n"
                       "#1000007=PLANAR_BOX('',841.,594.,#3);\n#1000008=DRAWING_SHEET_REVISION('A1',(#1000006,#1000007),#5,'1');\n"
                       "#1000009=PRESENTATION_SIZE(#1000008,#1000007);\n"
                       "#1000010=DESCRIPTIVE_REPRESENTATION_ITEM('\\X2\\5C3A5EA6\\X0\\','1:500');\n" + end);
  };
  const std::string lookalike = "#50=DESCRIPTIVE_REPRESENTATION_ITEM('note','" + std::string(1200000, 'x') +
                                ";\n#77=POLYLINE(x);');\n";
  struct Case {
    const char* What;
    std::string Text;
    bool Broken, InTwo;
  } cases[] = {
      {"whole", body("", ""), false, true},
      {"broken in the second portion", body("", "#1000011=POLYLINE('',(#1,#4);\n"), true, true},
      {"a missing item told at its line in the second portion",
       body("", "#1000011=ANNOTATION_CURVE_OCCURRENCE('',(#13),#999999);\n"), true, true},
      {"a cut inside a string", body(lookalike, ""), false, false},
  };
  // Counts the instances a portion hands out.
  struct TCount : p21::THandler {
    long Instances = 0;
    bool OnInstance(p21::TInstance&&) override { return ++Instances, true; }
  };
  test::ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string path = dir.WriteBytes("big.p21", c.Text);
    TCount head, tail;
    TReadStop stop;
    ASSERT_EQ(p21::ParseFileInTwo(path, head, tail, stop, 1u << 20), c.InTwo);
    if (c.InTwo) {
      EXPECT_GT(head.Instances, 10000);
      EXPECT_GT(tail.Instances, 10000);
    }
    const TDrawing apart = ReadAp202(path, 1u << 20);
    const TDrawing whole = ReadAp202Text(c.Text);
    EXPECT_EQ(apart.Stop.Broken, c.Broken) << apart.Stop.Reason;
    EXPECT_EQ(apart.Primitives.size(), 8000u);
    EXPECT_EQ(apart.Partials.size(), 1u);
    EXPECT_EQ(everything(apart), everything(whole));
  }
}

// A large file's items drawn in two halves at once give what drawing them
// one after another gives: colours, line types and fonts first used in the
// second half come after the first half's in the tables, a partial drawing
// there counts from the first half's end, a colour of no known name made
// in both halves is skipped as often as when made once, the first problem
// in file order is told, and two halves that fit the budget each but not
// together are drawn as one would be.
TEST(Ap202Reader, ItemsDrawnInTwoHalvesAtOnceEqualTheItemsDrawnInTurn) {
  // Styles: #13 (red, dashed) from the shared lines; #40 a colour of no
  // known name; #50 a user colour and line type; #60 another unknown colour.
  const std::string styles =
      "#40=PRESENTATION_STYLE_ASSIGNMENT((#41));\n#41=CURVE_STYLE('',#11,0.5,#42);\n"
      "#42=DRAUGHTING_PRE_DEFINED_COLOUR('mauve');\n"
      "#50=PRESENTATION_STYLE_ASSIGNMENT((#51));\n#51=CURVE_STYLE('',#52,0.25,#53);\n"
      "#52=CURVE_STYLE_FONT('mine',(#54));\n#53=COLOUR_RGB('sky',0.,0.5,1.);\n#54=CURVE_STYLE_FONT_PATTERN(3.,1.);\n"
      "#60=PRESENTATION_STYLE_ASSIGNMENT((#61));\n#61=CURVE_STYLE('',#11,0.5,#62);\n"
      "#62=DRAUGHTING_PRE_DEFINED_COLOUR('puce');\n"
      "#70=DRAUGHTING_PRE_DEFINED_TEXT_FONT('mincho');\n#71=POLYLINE('',(#1,#4,#6));\n";
  auto occurrence = [](long id, int style, const std::string& item) {
    return "#" + std::to_string(id) + "=ANNOTATION_CURVE_OCCURRENCE('',(#" + std::to_string(style) + ")," + item + ");\n";
  };
  // Occurrences of one style (the halves split somewhere among them).
  auto fill = [&](long from, int count, int style) {
    std::string s;
    for (int i = 0; i < count; ++i) s += occurrence(from + i, style, "#71");
    return s;
  };
  const std::string firstOwn = occurrence(100, 13, "#71") + occurrence(101, 40, "#71") +
                               "#102=ANNOTATION_TEXT_OCCURRENCE('',(#17),#103);\n"
                               "#103=TEXT_LITERAL('','a',#3,'baseline left',.RIGHT.,#14);\n";
  // The second half uses its new style before the first half's ones.
  const std::string secondOwn =
      occurrence(200, 50, "#71") + occurrence(201, 13, "#71") + occurrence(202, 40, "#71") + occurrence(203, 60, "#71") +
      "#204=ANNOTATION_TEXT_OCCURRENCE('',(#17),#205);\n#205=TEXT_LITERAL('','b',#3,'baseline left',.RIGHT.,#70);\n"
      "#206=ANNOTATION_TEXT_OCCURRENCE('',(#17),#207);\n#207=TEXT_LITERAL('','c',#3,'baseline left',.RIGHT.,#14);\n"
      "#210=DRAUGHTING_SUBFIGURE_REPRESENTATION('part',(#211),#5);\n" + occurrence(211, 50, "#71") +
      "#212=REPRESENTATION_MAP(#3,#210);\n#213=MAPPED_ITEM('',#212,#3);\n";
  auto file = [&](const std::string& first, const std::string& second) {
    return File(kCommon + styles + first + fill(1000, 40, 13) + fill(2000, 40, 50) + second);
  };
  // The same items held by a sheet on a layer: the halves share the sheet.
  auto onSheet = [&](const std::string& first, const std::string& second) {
    const std::string data = kCommon + styles + first + fill(1000, 40, 13) + fill(2000, 40, 50) + second;
    std::string items;
    for (std::size_t at = 0; (at = data.find('#', at)) != std::string::npos; at = data.find('\n', at)) {
      const std::size_t eq = data.find('=', at);
      const std::string name = data.substr(eq + 1, data.find('(', eq) - eq - 1);
      const std::string id = data.substr(at, eq - at);
      if ((name.ends_with("_OCCURRENCE") || name == "MAPPED_ITEM") && id != "#211") items += (items.empty() ? "" : ",") + id;
    }
    return File(data + "#5000=DRAWING_SHEET_REVISION('A3',(" + items + "),#5,'1');\n"
                "#5001=PRESENTATION_LAYER_ASSIGNMENT('sheet','',(#5000));\n");
  };
  const std::string missing = occurrence(300, 13, "#999");
  const std::string plain = file(firstOwn, secondOwn);
  auto totals = [](const std::string& text, std::size_t& primitives, std::uint64_t& points) {
    const TDrawing whole = ReadAp202Text(text);
    primitives = whole.Primitives.size();
    for (const TPrimitive& p : whole.Primitives) points += PrimitivePoints(p);
  };
  std::size_t primitives = 0, ringPrimitives = 0;
  std::uint64_t points = 0, ringPoints = 0;
  totals(plain, primitives, points);
  // A circle's area last: room is asked for more points than its ring takes.
  const std::string ringLast = file(firstOwn, secondOwn + "#400=ANNOTATION_FILL_AREA_OCCURRENCE('',(#13),#401);\n"
                                                          "#401=ANNOTATION_FILL_AREA('',(#402));\n#402=CIRCLE('',#3,5.);\n");
  totals(ringLast, ringPrimitives, ringPoints);
  struct Case {
    const char* What;
    std::string Text;
    TBudget Budget;
  } cases[] = {
      {"tables, a partial drawing, unknown colours", plain, {}},
      {"a problem in each half", file(firstOwn + missing, secondOwn + occurrence(301, 13, "#998")), {}},
      {"a problem in the second half only", file(firstOwn, secondOwn + missing), {}},
      {"one sheet holding every item, on a layer", onSheet(firstOwn, secondOwn), {}},
      {"one sheet, a problem in the second half", onSheet(firstOwn, secondOwn + missing), {}},
      {"points exactly at the budget", plain, TBudget{primitives, points}},
      {"the halves fit the budget each, not together", plain, TBudget{primitives, points - 1}},
      {"primitives: one short", plain, TBudget{primitives - 1}},
      {"points of a ring at the budget, room asked for more", ringLast, TBudget{ringPrimitives, ringPoints}},
  };
  test::ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string path = dir.WriteBytes("halves.p21", c.Text);
    const TDrawing halves = ReadAp202(path, 1, c.Budget);
    EXPECT_EQ(Everything(halves), Everything(ReadAp202Text(c.Text, c.Budget)));
    EXPECT_GE(halves.Primitives.size(), primitives - 1);
  }
}

TEST(Ap202Reader, DrawingFilesAreDispatchedByContent) {
  test::ScratchDir dir;
  const std::string ap202 = dir.WriteBytes("plan.sfc", File(kCommon));  // the name does not matter
  const std::string feature = dir.WriteBytes("plan.p21", File("/*SXF\n#10 = layer_feature('\\'road\\'',1)\nSXF*/\n",
                                                             "feature_mode"));
  const std::string bare = dir.WriteBytes("bare.p21",
                                          "ISO-10303-21;\nHEADER;\nENDSEC;\nDATA;\n/*SXF #1 = x() SXF*/\nENDSEC;\n"
                                          "END-ISO-10303-21;\n");
  const std::string step = dir.WriteBytes("part.stp",
                                          "ISO-10303-21;\nHEADER;\nFILE_SCHEMA(('AUTOMOTIVE_DESIGN'));\nENDSEC;\n"
                                          "DATA;\n#1=PRODUCT('a','b','',());\nENDSEC;\nEND-ISO-10303-21;\n");
  // No mode in the description: the schema, read after it, tells.
  const std::string schema = dir.WriteBytes("schema.p21",
                                            "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('a drawing'),'2;1');\n"
                                            "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\n"
                                            "DATA;\n#1=CARTESIAN_POINT('',(0.,0.));\nENDSEC;\nEND-ISO-10303-21;\n");
  const std::string xml = dir.WriteBytes("x.p21", "<?xml version=\"1.0\"?><a/>");
  const std::string fifo = dir / "fifo.p21";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(SniffMode(ap202), "ap202");
  EXPECT_EQ(SniffMode(feature), "feature");
  EXPECT_EQ(SniffMode(bare), "feature");
  EXPECT_EQ(SniffMode(schema), "ap202");
  EXPECT_EQ(SniffMode(step), "");
  EXPECT_EQ(SniffMode(xml), "");
  EXPECT_EQ(SniffMode(fifo), "");
  EXPECT_EQ(SniffMode(dir / "missing.p21"), "");

  EXPECT_EQ(ReadDrawing(ap202).Mode, "ap202");
  EXPECT_EQ(ReadDrawing(feature).Mode, "feature");
  for (const std::string& path : {step, xml, fifo}) {
    TDrawing d = ReadDrawing(path);
    EXPECT_TRUE(d.Stop.Broken);
    EXPECT_EQ(d.Stop.Reason, "SXF の図面ではありません");
    EXPECT_TRUE(d.Primitives.empty());
  }
  // The reader of the file itself refuses what is not a regular file.
  EXPECT_TRUE(ReadAp202(fifo).Stop.Broken);
}

}  // namespace
}  // namespace dlvr::sxf
