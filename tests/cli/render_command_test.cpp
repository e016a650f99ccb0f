// dlvr render, run as a program on drawings written in the test: the
// summary line, the pictures in each format, the dump with boxes after
// placement, layers chosen, broken and foreign files, usage errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QColor>
#include <QImage>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/run_tool.h"
#include "support/sxf_fixtures.h"

namespace dlvr {
namespace {

test::ToolRun Render(const std::string& args) { return test::RunCaptured(std::string(DLVR_CLI) + " render " + args); }

// A feature-mode drawing in Shift-JIS: an A3 landscape sheet, layer 表示
// shown and 隠す hidden, a red line, a blue line on the hidden layer, a
// circle, an arc, a text, a figure (defined first) placed turned by 90 degrees at twice its
// size, and a feature no reader knows.
std::string Drawing(bool cut = false) {
  const std::vector<std::string> features = {
      R"(layer_feature(\'表示\','1'))",
      R"(layer_feature(\'隠す\','0'))",
      R"(text_font_feature(\'ＭＳ ゴシック\'))",
      "line_feature('1','1','1','1','0','0','10','0')",
      R"(sfig_org_feature(\'part\','1'))",
      "line_feature('1','2','1','1','10','10','110','60')",
      "line_feature('2','4','1','1','10','150','110','150')",
      "circle_feature('1','1','1','1','50','50','20')",
      "arc_feature('1','1','1','1','200','100','10','0','0','90')",
      R"(text_string_feature('1','1','1',\'道路\','10','200','5','20','0','0','0','1','1'))",
      R"(sfig_locate_feature('1',\'part\','100','50','90','2','2'))",
      "mystery_feature('1')",
      R"(drawing_sheet_feature(\'平面図\','3','1','0','0'))",
  };
  std::string text =
      "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('SCADEC level2 feature_mode'),'2;1');\n"
      "FILE_NAME('a.sfc','2024-01-01T00:00:00',('x'),('x'),'SCADEC_API_Ver3.30$$3.1','x','');\n"
      "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\nDATA;\n";
  for (std::size_t i = 0; i < features.size(); ++i) {
    if (cut && i == 7) return text + "/*SXF\n#7 = circle_feature('1','1'";
    text += "/*SXF\n#" + std::to_string(i + 1) + " = " + features[i] + "\nSXF*/\n";
  }
  return text + "ENDSEC;\nEND-ISO-10303-21;\n";
}

TEST(CliRender, PicturesSummaryDumpAndErrors) {
  test::ScratchDir d;
  const std::string file = d.WriteBytes("del/DRAWINGS/D0PL001Z.SFC", Utf8ToCp932(Drawing()));
  const std::string broken = d.WriteBytes("del/DRAWINGS/D0PL002Z.SFC", Utf8ToCp932(Drawing(true)));
  const std::string text = d.WriteBytes("del/DRAWINGS/README.TXT", "not a drawing\n");
  d.WriteBytes("del/index_c.xml", "<?xml version=\"1.0\"?><constdata/>");  // the drawings lie in a delivery
  const std::string out = d.MakeDir("out");
  const std::string summary = "sheet=A3 size=420x297mm layers=2 features=6 skipped=1\n";
  const std::string line = R"({"kind":"line","layer":"表示","colour":"#ff0000","visible":true,"bbox":[10.000,10.000,110.000,60.000]})";
  const std::string hidden = R"({"kind":"line","layer":"隠す","colour":"#0000ff","visible":false,"bbox":[10.000,150.000,110.000,150.000]})";
  const std::string rest =
      R"({"kind":"circle","layer":"表示","colour":"#000000","visible":true,"bbox":[30.000,30.000,70.000,70.000]})"
      "\n"
      R"({"kind":"arc","layer":"表示","colour":"#000000","visible":true,"bbox":[200.000,100.000,210.000,110.000]})"
      "\n"
      R"({"kind":"text","layer":"表示","colour":"#000000","visible":true,"bbox":[10.000,200.000,30.000,205.000],"text":"道路"})"
      "\n"
      R"({"kind":"line","layer":"表示","colour":"#000000","visible":true,"bbox":[100.000,50.000,100.000,70.000]})"
      "\n";
  struct Case {
    std::string Args;
    int Code;
    std::string Out;  // the whole of stdout
    std::string Err;  // a part of stderr ("" for none at all)
  };
  const std::string q = "'" + file + "'";
  // Another name of the drawing, ending as a picture does.
  const std::string link = d / "out/link.png";
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  const Case cases[] = {
      {q + " -o " + out + "/a.png", 0, summary, "skipped mystery_feature: 1"},
      {q + " -o " + out + "/b.png --dpi 50 --layer 隠す", 0, summary, "skipped mystery_feature: 1"},
      {q + " -o " + out + "/c.svg", 0, summary, "skipped"},
      {q + " -o " + out + "/d.PDF", 0, summary, "skipped"},
      // Every primitive in file order, the figure where it is placed.
      {q + " --dump", 0, line + "\n" + hidden + "\n" + rest, "skipped"},
      {q + " --dump --layer 隠す", 0, hidden + "\n", "skipped"},
      // A broken file: what was read is still drawn, the line and reason told.
      {"'" + broken + "' -o " + out + "/e.png", 1, "sheet=free size=110x150mm layers=2 features=2 skipped=0\n",
       "D0PL002Z.SFC:29: "},
      {"'" + text + "' -o " + out + "/f.png", 1, "", "is not an SXF drawing"},
      {"'" + d.Path() + "nothing.sfc' --dump", 1, "", "cannot read"},
      // Usage errors.
      {"", 2, "", "missing DRAWING"},
      {q, 2, "", "missing -o OUTPUT or --dump"},
      {q + " --dump -o " + out + "/g.png", 2, "", "exclude"},
      {q + " -o " + out + "/g.jpg", 2, "", ".png, .svg or .pdf"},
      {q + " -o " + out + "/g.png --dpi 0", 2, "", "--dpi takes 10-1200"},
      {q + " -o " + out + "/g.png --dpi x", 2, "", "--dpi takes 10-1200"},
      {q + " -o " + out + "/g.png --layer 無い", 2, "", "no layer 無い"},
      {q + " -o " + out + "/g.png --fast", 2, "", "unknown option --fast"},
      {q + " -o", 2, "", "-o needs a value"},
      {q + " -o " + link, 2, "", "is the drawing itself"},
      {q + " -o " + d.Path() + "del/D0PL001Z.png", 2, "", "lies inside the delivery folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args);
    const test::ToolRun r = Render(c.Args);
    EXPECT_EQ(r.code, c.Code) << r.err;
    EXPECT_EQ(r.out, c.Out);
    if (c.Err.empty())
      EXPECT_EQ(r.err, "");
    else
      EXPECT_NE(r.err.find(c.Err), std::string::npos) << r.err;
  }
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(file, bytes));
  EXPECT_EQ(bytes, Utf8ToCp932(Drawing()));  // never written over
  for (const char* never : {"f.png", "g.png", "g.jpg"}) EXPECT_FALSE(FileExists(out + "/" + never)) << never;
  EXPECT_FALSE(FileExists(d / "del/D0PL001Z.png"));

  // The pictures: the sheet's size at the resolution asked for, the red
  // line where it belongs; with only the hidden layer, its blue line and
  // not the red one.
  auto pixel = [](const QImage& img, double x, double y, int dpi) {
    return img.pixelColor(int(x / 25.4 * dpi), int((297 - y) / 25.4 * dpi));
  };
  const QImage a(QString::fromStdString(out + "/a.png"));
  EXPECT_EQ(a.size(), QSize(2481, 1754));
  const QColor red = pixel(a, 60, 35, 150);  // a thin line: partly covered
  EXPECT_TRUE(red.red() == 255 && red.green() < 128 && red.green() == red.blue()) << red.name().toStdString();
  EXPECT_EQ(pixel(a, 60, 150, 150), QColor(255, 255, 255));
  const QImage b(QString::fromStdString(out + "/b.png"));
  EXPECT_EQ(b.size(), QSize(827, 585));
  EXPECT_EQ(pixel(b, 60, 35, 50), QColor(255, 255, 255));
  EXPECT_NE(pixel(b, 60, 150, 50), QColor(255, 255, 255));
  std::string svg, pdf;
  ASSERT_TRUE(ReadWholeFile(out + "/c.svg", svg));
  EXPECT_NE(svg.find(R"(width="420.000mm" height="297.000mm" viewBox="0 0 420.000 297.000")"), std::string::npos);
  EXPECT_NE(svg.find(R"(<polyline points="10.000,287.000 110.000,237.000" fill="none" stroke="#ff0000")"),
            std::string::npos);
  EXPECT_EQ(svg.find("#0000ff"), std::string::npos);  // the hidden layer
  EXPECT_NE(svg.find(">道<"), std::string::npos);
  ASSERT_TRUE(ReadWholeFile(out + "/d.PDF", pdf));
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_TRUE(FileExists(out + "/e.png"));
}

TEST(CliRender, ADrawingThatMultipliesIsDrawnAsFarAsItsBudgetAndExitsOne) {
  // 20 KB: a 2,000-point polyline placed 10^9 times through nine levels of
  // figures; the reader stops at its 16 million points.
  test::ScratchDir d;
  const std::string out = d.MakeDir("out");
  const std::string files[] = {d.WriteBytes("bomb.sfc", test::MultiplyingSfc(9, 10, 2000)),
                               d.WriteBytes("bomb.p21", test::MultiplyingAp202(9, 10, 2000))};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const test::ToolRun r = Render("'" + file + "' -o " + out + "/bomb.png --dpi 10");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find(":0: 図面が大きすぎるため、8000 個の要素まで読み込みました\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(" features=8000 "), std::string::npos) << r.out;
    EXPECT_FALSE(QImage(QString::fromStdString(out + "/bomb.png")).isNull());
  }
}

TEST(CliRender, ADrawingCutBeforeItsSheetIsBrokenAndDrawnAtTheBoxOfWhatWasRead) {
  // The sample road plan's first figures are in real millimetres (hundreds
  // of metres) and placed on the sheet only later: cut before that, what was
  // read is drawn on A0 at most, and the file is broken.
  test::ScratchDir d;
  const std::string out = d.MakeDir("out");
  struct TCase {
    const char* Sample;
    std::size_t Cut;
    const char* Reason;
  };
  const TCase cases[] = {
      {"ROADPLAN.SFC", 15000, "ファイルが途中で終わっています"},
      {"ROADPLAN.SFC", 10000, "フィーチャのコメントが閉じないまま"},
      {"ROADPLAN.P21", 20000, "の途中で終わっています"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Sample) + " " + std::to_string(c.Cut));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(std::string(DLVR_SOURCE_DIR) + "/samples/sxf/" + c.Sample, bytes));
    const std::string file = d.WriteBytes("cut_" + std::to_string(c.Cut) + "_" + c.Sample, bytes.substr(0, c.Cut));
    for (const char* ext : {".png", ".pdf"}) {
      const std::string picture = out + "/cut" + ext;
      const test::ToolRun r = Render("'" + file + "' -o " + picture + " --dpi 20");
      EXPECT_EQ(r.code, 1) << r.err;
      EXPECT_NE(r.err.find(c.Reason), std::string::npos) << r.err;
      // A free sheet as wide as A0, as high as the box of what was read.
      EXPECT_TRUE(r.out.starts_with("sheet=free size=1189x")) << r.out;
      EXPECT_TRUE(FileExists(picture));
    }
    const QImage png(QString::fromStdString(out + "/cut.png"));
    EXPECT_EQ(png.width(), 937);  // 1189 mm at 20 dpi
    EXPECT_LT(png.height(), png.width());
  }
}

}  // namespace
}  // namespace dlvr
