// dlvr html, run as a program: the viewer's display of a management file,
// and hostile documents that must neither leak nor fetch nor write.
#include <gtest/gtest.h>



#include <cstdlib>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "support/fixtures.h"
#include "support/run_tool.h"

namespace dlvr {
namespace {

test::ToolRun Html(const std::string& args) { return test::RunCaptured(std::string(DLVR_CLI) + " html " + args); }

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

TEST(CliHtml, ManagementFilesShowThroughTheirClassStylesheet) {
  test::ScratchDir out;
  for (const char* file : {"MEET/MEET.XML", "DRAWINGS/DRAWINGS.XML", "PLAN/PLAN.XML", "OTHRS/OTHRS.XML"}) {
    test::ToolRun r = Html(Quoted(test::SamplePath("clean") + "/" + file) + " -o " + Quoted(out / "o.html"));
    ASSERT_EQ(r.code, 0) << file << r.err;
    std::string html;
    ASSERT_TRUE(ReadWholeFile(out / "o.html", html));
    EXPECT_NE(html.find("<table"), std::string::npos) << file;
    EXPECT_NE(html.find("charset=Shift_JIS"), std::string::npos) << file;
  }
}

TEST(CliHtml, HostileFilesLeakNothingFetchNothingWriteNothing) {
  test::ScratchDir d;
  const std::string outside = d.MakeDir("outside") + "/";
  d.WriteBytes("outside/secret.xml", "<s>OUTSIDE-MARKER-91aa</s>");
  d.WriteBytes("outside/x.xsl", "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                "<xsl:template match=\"/\">OUTSIDE-MARKER-91aa</xsl:template></xsl:stylesheet>");
  d.WriteBytes("delivery/INDEX_C.XML", "<?xml version=\"1.0\"?>\n<constdata/>\n");
  const std::string org = d.MakeDir("delivery/MEET/ORG") + "/";
  test::LoopbackListener listener;
  const std::string url = listener.Url("/leak");
  const std::string head = "<?xml version=\"1.0\"?>\n<xsl:stylesheet version=\"1.0\" "
                           "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">";
  d.WriteBytes("delivery/MEET/ORG/LEAK.XSL", head + "<xsl:template match=\"/\"><p>shown</p><xsl:value-of "
                                                    "select=\"document('../../../outside/secret.xml')\"/>"
                                                    "</xsl:template></xsl:stylesheet>\n");
  d.WriteBytes("delivery/MEET/ORG/NET.XSL", head + "<xsl:import href=\"" + url + "\"/></xsl:stylesheet>\n");
  d.WriteBytes("delivery/MEET/ORG/OK.XSL", head + "<xsl:template match=\"/\"><p>shown</p><xsl:value-of "
                                                  "select=\"document('../../INDEX_C.XML')\"/></xsl:template>"
                                                  "</xsl:stylesheet>\n");
  d.WriteBytes("delivery/MEET/ORG/NOTE.TXT", "not xml");
  auto doc = [](const std::string& href) {
    return "<?xml version=\"1.0\"?>\n   <?xml-stylesheet type=\"text/xsl\" href=\"" + href + "\"?>\n<r/>\n";
  };
  struct Case {
    const char* name;
    std::string file;
    std::string out;
    int code;
  };
  const Case cases[] = {
      // A refused read stops the transform.
      {"document() going out", d.WriteBytes("delivery/MEET/ORG/A.XML", doc("LEAK.XSL")), d / "a.html", 1},
      {"inside the delivery", d.WriteBytes("delivery/MEET/ORG/E.XML", doc("OK.XSL")), d / "e.html", 0},
      {"import over http", d.WriteBytes("delivery/MEET/ORG/B.XML", doc("NET.XSL")), d / "b.html", 1},
      {"stylesheet outside", d.WriteBytes("delivery/MEET/ORG/C.XML", doc(outside + "x.xsl")), d / "c.html", 1},
      {"not XML", org + "NOTE.TXT", d / "d.html", 1},
      {"output into the delivery", org + "A.XML", d / "delivery/MEET/out.html", 2},
      {"output over the management file", org + "A.XML", d / "delivery/INDEX_C.XML", 2},
      {"output into the file's folder through ..", org + "A.XML", org + "../ORG/x.html", 2},
  };
  for (const Case& c : cases) {
    test::ToolRun r = Html(Quoted(c.file) + " -o " + Quoted(c.out));
    EXPECT_EQ(r.code, c.code) << c.name << ": " << r.err;
    std::string written;
    ReadWholeFile(c.out, written);
    EXPECT_EQ(written.find("OUTSIDE-MARKER"), std::string::npos) << c.name;
    if (c.code == 0) {
      EXPECT_NE(written.find("shown"), std::string::npos) << c.name;
    }
    if (c.code == 1) {
      EXPECT_FALSE(r.err.empty()) << c.name;
    }
  }
  std::string index;
  ReadWholeFile(d / "delivery/INDEX_C.XML", index);
  EXPECT_EQ(index, "<?xml version=\"1.0\"?>\n<constdata/>\n");
  EXPECT_FALSE(FileExists(d / "delivery/MEET/out.html"));
  EXPECT_EQ(listener.Connections(), 0);
  // Usage errors.
  EXPECT_EQ(Html(Quoted(org + "A.XML")).code, 2);
  EXPECT_EQ(Html("-o " + Quoted(d / "x.html")).code, 2);
  EXPECT_EQ(Html(Quoted(d / "none.xml") + " -o " + Quoted(d / "x.html")).code, 2);
}

}  // namespace
}  // namespace dlvr
