// Cases at the edge of what the readers get right: placements that do not
// commute, a Shift-JIS character whose second byte is a backslash right
// before an apostrophe, and the lines of problems in a CR-only file read in
// two parts.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/text.h"
#include "support/fixtures.h"
#include "support/sxf_fixtures.h"
#include "sxf/ap202.h"
#include "sxf/sfc.h"

namespace dlvr::sxf {
namespace {

TEST(SxfEdgeCases, AFigurePlacedInAPlacedFigureTakesTheInnerTurnFirstAndTheOuterShiftLast) {
  // The inner figure is a line from (0,0) to (10,0), placed turned by 90
  // degrees at (5,0) inside the outer figure, which is placed twice its size
  // at (100,50): the line runs from (110,50) to (110,70). Composed the other
  // way round it would start at (5,100).
  const std::string sfc = test::SfcFile({
      "line_feature('1','1','1','1','0','0','10','0')",
      R"(sfig_org_feature(\'inner\','3'))",
      R"(sfig_locate_feature('1',\'inner\','5','0','90','1','1'))",
      R"(sfig_org_feature(\'outer\','3'))",
      R"(sfig_locate_feature('1',\'outer\','100','50','0','2','2'))",
      R"(drawing_sheet_feature(\'A1\','1','1','841','594'))",
  });
  const std::string ap202 = test::Ap202File({
      "#1=CARTESIAN_POINT('',(0.,0.));",
      "#2=DIRECTION('',(1.,0.));",
      "#3=AXIS2_PLACEMENT_2D('',#1,#2);",
      "#4=CARTESIAN_POINT('',(10.,0.));",
      "#5=REPRESENTATION_CONTEXT('','2D');",
      "#10=POLYLINE('',(#1,#4));",
      "#11=ANNOTATION_CURVE_OCCURRENCE('',(),#10);",
      "#12=SYMBOL_REPRESENTATION('inner',(#11),#5);",
      "#13=SYMBOL_REPRESENTATION_MAP(#3,#12);",
      "#14=CARTESIAN_POINT('',(5.,0.));",
      "#15=DIRECTION('',(0.,1.));",
      "#16=AXIS2_PLACEMENT_2D('',#14,#15);",
      "#17=MAPPED_ITEM('',#13,#16);",
      "#20=SYMBOL_REPRESENTATION('outer',(#17),#5);",
      "#21=SYMBOL_REPRESENTATION_MAP(#3,#20);",
      "#22=CARTESIAN_POINT('',(100.,50.));",
      "#23=CARTESIAN_TRANSFORMATION_OPERATOR_2D('','',$,$,#22,2.);",
      "#24=MAPPED_ITEM('',#21,#23);",
      "#25=ANNOTATION_SYMBOL_OCCURRENCE('',(),#24);",
  });
  for (const TDrawing& d : {ReadSfcBytes(sfc), ReadAp202Text(ap202)}) {
    SCOPED_TRACE(d.Mode);
    EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
    ASSERT_EQ(d.Primitives.size(), 1u);
    const TPrimitive& line = d.Primitives[0];
    ASSERT_EQ(line.Points.size(), 2u);
    EXPECT_NEAR(line.Points[0].X, 110, 1e-9);
    EXPECT_NEAR(line.Points[0].Y, 50, 1e-9);
    EXPECT_NEAR(line.Points[1].X, 110, 1e-9);
    EXPECT_NEAR(line.Points[1].Y, 70, 1e-9);
  }
}

TEST(SxfEdgeCases, ATextEndsWhereItEndsWhenABackslashByteMeetsAnApostrophe) {
  // 表 and ソ end in the byte of a backslash (0x5C): right before an
  // apostrophe the pair reads like the text's closing \'.
  const std::vector<std::string> texts = {"表'A", "ソ'", "ア表'ソ'表", "表", "ソ''"};
  std::vector<std::string> features;
  for (const std::string& t : texts)
    features.push_back(R"(text_string_feature('1','1','1',\')" + t + R"(\','0','0','1','3','0','0','0','1','1'))");
  const std::string file = Utf8ToCp932(test::SfcFile(features));
  for (const std::size_t piece : {file.size(), std::size_t{5}}) {
    const TDrawing d = ReadSfcInPieces(file, piece);
    EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
    ASSERT_EQ(d.Primitives.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(d.Primitives[i].Text(), texts[i]) << piece;
  }
}

TEST(SxfEdgeCases, AProblemInTheSecondPartOfACrOnlyFileIsOnItsOwnLine) {
  // Two hundred good features or instances, then a bad one: its line is
  // counted alike whatever ends the lines and however the file is cut.
  for (const std::string eol : {"\r", "\n", "\r\n"}) {
    SCOPED_TRACE(eol == "\r" ? "CR" : eol == "\n" ? "LF" : "CR LF");
    // SFC: the header takes 7 lines and each feature 3; the bad feature's
    // fault is on the line after its comment opens.
    std::vector<std::string> features(200, "line_feature('1','1','1','1','0','0','1','1')");
    features.push_back("line_feature('1','1','1','1','0','0','1','1'");
    features.push_back("line_feature('1','1','1','1','0','0','1','1')");
    const std::string sfc = test::SfcFile(features, true, eol);
    const long sfcLine = 8 + 3 * 200 + 1;
    for (const std::size_t piece : {sfc.size(), sfc.size() / 2 + 1, std::size_t{7}}) {
      const TDrawing d = ReadSfcInPieces(sfc, piece);
      EXPECT_EQ(d.Stop.Line, sfcLine) << piece << " " << d.Stop.Reason;
      EXPECT_EQ(d.Primitives.size(), 201u);
    }
    // AP202: the instances start on line 8; the polyline that names a
    // missing point stands on the last line but one, in the second part
    // of a file read in two.
    std::vector<std::string> data = {"#1=CARTESIAN_POINT('',(0.,0.));", "#2=CARTESIAN_POINT('',(1.,1.));"};
    for (int i = 0; i < 200; ++i) {
      const std::string id = std::to_string(10 + 2 * i);
      data.push_back("#" + id + "=POLYLINE('',(#1,#2));");
      data.push_back("#" + std::to_string(11 + 2 * i) + "=ANNOTATION_CURVE_OCCURRENCE('',(),#" + id + ");");
    }
    data.push_back("#900=POLYLINE('',(#1,#999));");
    data.push_back("#901=ANNOTATION_CURVE_OCCURRENCE('',(),#900);");
    const std::string p21 = test::Ap202File(data, true, eol);
    const long p21Line = 8 + static_cast<long>(data.size()) - 2;
    test::ScratchDir dir;
    const std::string path = dir.WriteBytes("crlf.p21", p21);
    const TDrawing apart = ReadAp202(path, 1);
    EXPECT_EQ(apart.Stop.Line, p21Line) << apart.Stop.Reason;
    EXPECT_EQ(ReadAp202Text(p21).Stop.Line, p21Line);
    EXPECT_EQ(apart.Primitives.size(), 200u);
  }
}


// Instances are looked up by steps from the last one found: written out of
// order, referring far back and far ahead, with numbers given twice (the
// first kept), each line still finds its own points.
TEST(SxfEdgeCases, LookupsFarAndNearOutOfOrderAndTwiceNumberedFindTheirInstances) {
  constexpr long kLines = 300;
  std::vector<std::string> data, points;
  for (long i = 0; i < kLines; ++i) {
    // Line i: its occurrence near the top, its curve and points spread over
    // the file in an order of their own.
    const long occurrence = 1 + i, curve = 10000 + (i * 7919) % kLines * 10, p = 50000 + (kLines - 1 - i) * 2;
    data.push_back("#" + std::to_string(occurrence) + "=ANNOTATION_CURVE_OCCURRENCE('',(),#" + std::to_string(curve) + ");");
    points.push_back("#" + std::to_string(curve) + "=POLYLINE('',(#" + std::to_string(p) + ",#" + std::to_string(p + 1) + "));");
    points.push_back("#" + std::to_string(p + 1) + "=CARTESIAN_POINT('',(" + std::to_string(i) + ".,1.));");
    points.push_back("#" + std::to_string(p) + "=CARTESIAN_POINT('',(" + std::to_string(i) + ".,0.));");
  }
  for (long i = 0; i < static_cast<long>(points.size()); ++i)
    data.push_back(points[static_cast<std::size_t>((i * 104729) % static_cast<long>(points.size()))]);
  // Given twice: the first of each is the one drawn.
  data.push_back("#50000=CARTESIAN_POINT('',(-5.,-5.));");
  data.push_back("#10000=POLYLINE('',(#50001,#50001));");
  const TDrawing d = ReadAp202Text(test::Ap202File(data));
  EXPECT_FALSE(d.Stop.Broken) << d.Stop.Reason;
  ASSERT_EQ(d.Primitives.size(), static_cast<std::size_t>(kLines));
  for (long i = 0; i < kLines; ++i) {
    const TPrimitive& line = d.Primitives[static_cast<std::size_t>(i)];
    ASSERT_EQ(line.Points.size(), 2u) << i;
    EXPECT_EQ(line.Points[0].X, static_cast<double>(i)) << i;
    EXPECT_EQ(line.Points[0].Y, 0.0) << i;
    EXPECT_EQ(line.Points[1].X, static_cast<double>(i)) << i;
    EXPECT_EQ(line.Points[1].Y, 1.0) << i;
  }
}

}  // namespace
}  // namespace dlvr::sxf
