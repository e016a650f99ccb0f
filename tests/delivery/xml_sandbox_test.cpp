// Hostile deliveries through the sandbox: nothing outside the delivery is
// read, nothing is fetched, nothing blocks, and the limits hold. Every attack
// file is written by the test itself.
#include "delivery/xml_sandbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "support/fixtures.h"

namespace dlvr {
namespace {

const char* const kMarker = "OUTSIDE-MARKER-7f3a";

std::string Xsl(const std::string& prolog, const std::string& body, const std::string& top = "") {
  return "<?xml version=\"1.0\"?>\n" + prolog +
         "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n" + top +
         "<xsl:output method=\"html\" encoding=\"UTF-8\"/>\n<xsl:template match=\"/\"><html><body>" + body +
         "</body></html></xsl:template>\n</xsl:stylesheet>\n";
}

std::string XmlWith(const std::string& href, const std::string& between = "") {
  return "<?xml version=\"1.0\"?>\n" + between + "<?xml-stylesheet type=\"text/xsl\" href=\"" + href +
         "\"?>\n<root><item>inside-text</item></root>\n";
}

class XmlSandboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    delivery = dir.MakeDir("delivery/MEET") + "/";
    outside = dir.MakeDir("outside") + "/";
    dir.WriteBytes("outside/secret.txt", kMarker);
    dir.WriteBytes("outside/secret.xml", std::string("<s>") + kMarker + "</s>");
    dir.WriteBytes("outside/evil.xsl", Xsl("", std::string("<p>") + kMarker + "</p>"));
    sandbox.Folders = {dir / "delivery"};
  }

  // Writes the document and the stylesheet into the delivery and transforms.
  TXsltResult Run(const std::string& xsl, const std::string& xml = XmlWith("VIEW.XSL")) {
    dir.WriteBytes("delivery/MEET/VIEW.XSL", xsl);
    const std::string doc = dir.WriteBytes("delivery/MEET/DOC.XML", xml);
    TXmlParseResult parsed = SandboxParseXml(sandbox, doc);
    EXPECT_TRUE(parsed) << SandboxStatusText(parsed.Status) << " " << parsed.Reason;
    return SandboxTransform(sandbox, parsed.Doc.get(), doc);
  }

  test::ScratchDir dir;
  std::string delivery, outside;
  TXmlSandbox sandbox;
};

TEST_F(XmlSandboxTest, StylesheetsCannotReadOutsideTheDelivery) {
  const std::string abs = dir / "outside/";
  dir.WriteBytes("delivery/MEET/data.xml", "<d>inside-data</d>");
  symlink((abs + "secret.xml").c_str(), (delivery + "link.xml").c_str());
  struct Case {
    const char* name;
    std::string xsl;
  };
  const Case cases[] = {
      {"external entity in the stylesheet",
       Xsl("<!DOCTYPE xsl:stylesheet [<!ENTITY e SYSTEM \"" + abs + "secret.txt\">]>\n", "<p>&e;</p>")},
      {"document() of an absolute path",
       Xsl("", "<xsl:value-of select=\"document('" + abs + "secret.xml')\"/>")},
      {"document() of a file URL", Xsl("", "<xsl:value-of select=\"document('file://" + abs + "secret.xml')\"/>")},
      {"document() going up", Xsl("", "<xsl:value-of select=\"document('../../outside/secret.xml')\"/>")},
      {"document() of a link leading out", Xsl("", "<xsl:value-of select=\"document('link.xml')\"/>")},
      {"xsl:include of an absolute path", Xsl("", "<xsl:call-template name=\"x\"/>",
                                              "<xsl:include href=\"" + abs + "evil.xsl\"/>")},
      {"xsl:import going up", Xsl("", "", "<xsl:import href=\"../../outside/evil.xsl\"/>")},
  };
  for (const Case& c : cases) {
    TXsltResult r = Run(c.xsl);
    EXPECT_EQ(r.Output.find(kMarker), std::string::npos) << c.name;
    EXPECT_FALSE(r.Refused.empty()) << c.name;
  }
  // The same means work inside the delivery.
  TXsltResult ok = Run(Xsl("", "<xsl:value-of select=\"document('data.xml')\"/>|<xsl:value-of select=\"root/item\"/>"));
  ASSERT_TRUE(ok) << static_cast<int>(ok.State);
  EXPECT_NE(ok.Output.find("inside-data|"), std::string::npos) << ok.Output;
  EXPECT_TRUE(ok.Refused.empty());
}

TEST_F(XmlSandboxTest, NothingIsFetchedFromTheNetwork) {
  test::LoopbackListener listener;
  const std::string cases[] = {
      Xsl("", "", "<xsl:import href=\"" + listener.Url("/x.xsl") + "\"/>"),
      Xsl("", "", "<xsl:include href=\"" + listener.Url("/x.xsl") + "\"/>"),
      Xsl("<!DOCTYPE xsl:stylesheet [<!ENTITY e SYSTEM \"" + listener.Url("/e") + "\">]>\n", "<p>&e;</p>"),
      Xsl("", "<xsl:value-of select=\"document('" + listener.Url("/leak?d=x") + "')\"/>"),
      Xsl("<!DOCTYPE xsl:stylesheet SYSTEM \"" + listener.Url("/d.dtd") + "\">\n", "<p/>"),
  };
  for (const std::string& xsl : cases) Run(xsl);
  // A document whose DTD lies on the network.
  std::string doc = dir.WriteBytes("delivery/MEET/NET.XML", "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"" +
                                                                listener.Url("/r.dtd") + "\">\n<r/>\n");
  SandboxParseXml(sandbox, doc);
  EXPECT_EQ(listener.Connections(), 0);
}

TEST_F(XmlSandboxTest, StylesheetReferencesFollowTheDeliveryPathRules) {
  dir.WriteBytes("delivery/MEET/SUB/Style.Xsl", Xsl("", "<p>sub</p>"));
  dir.WriteBytes("delivery/MEET/VIEW.XSL", Xsl("", "<p>view</p>"));
  struct Case {
    const char* href;
    bool found;
  };
  const Case cases[] = {
      {"VIEW.XSL", true},      {"view.xsl", true},         {"SUB\\STYLE.XSL", true}, {"sub/style.xsl", true},
      {"../MEET/VIEW.XSL", false}, {"..\\..\\outside\\evil.xsl", false}, {"./VIEW.XSL", false},
      {"SUB//STYLE.XSL", false}, {"", false},             {"MISSING.XSL", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(!ResolveStylesheetHref(delivery, c.href).empty(), c.found) << c.href;
  for (const std::string& href : {dir / "outside/evil.xsl", "file://" + dir / "outside/evil.xsl",
                                  std::string("C:\\outside\\evil.xsl")})
    EXPECT_EQ(ResolveStylesheetHref(delivery, href), "") << href;
  // The instruction is found anywhere in the prolog, indented or after a
  // comment, and an outside reference is not followed there either.
  TXsltResult r = Run("", XmlWith(dir / "outside/evil.xsl", "  <!-- c -->  "));
  EXPECT_EQ(r.State, TXsltResult::Status::StylesheetMissing);
  r = Run(Xsl("", "<p>view</p>"), "<?xml version=\"1.0\"?>\n<!-- note -->\n   <?xml-stylesheet href='VIEW.XSL' "
                                   "type='text/xsl'?><root/>\n");
  ASSERT_TRUE(r);
  EXPECT_NE(r.Output.find("view"), std::string::npos);
}

TEST_F(XmlSandboxTest, DevicesFifosAndLinksAreNeverOpened) {
  ASSERT_EQ(mkfifo((delivery + "FIFO.DTD").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((delivery + "fifo.xml").c_str(), 0600), 0);
  symlink("/dev/zero", (delivery + "ZERO.XML").c_str());
  symlink((dir / "outside/secret.xml").c_str(), (delivery + "OUT.XML").c_str());
  auto started = std::chrono::steady_clock::now();
  std::string bytes;
  EXPECT_EQ(SandboxReadFile(sandbox, delivery + "fifo.xml", bytes), TSandboxStatus::NotRegular);
  EXPECT_EQ(SandboxReadFile(sandbox, delivery + "ZERO.XML", bytes), TSandboxStatus::Outside);
  EXPECT_EQ(SandboxReadFile(sandbox, delivery + "OUT.XML", bytes), TSandboxStatus::Outside);
  EXPECT_EQ(SandboxReadFile(sandbox, delivery, bytes), TSandboxStatus::NotRegular);
  EXPECT_EQ(SandboxReadFile(sandbox, dir / "outside/secret.txt", bytes), TSandboxStatus::Outside);
  EXPECT_EQ(SandboxParseXml(sandbox, delivery + "OUT.XML").Status, TSandboxStatus::Outside);
  // A FIFO as the DTD and as a document() target.
  std::string doc = dir.WriteBytes("delivery/MEET/D.XML", "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM "
                                                          "\"FIFO.DTD\">\n<r>text</r>\n");
  EXPECT_TRUE(SandboxParseXml(sandbox, doc));
  Run(Xsl("", "<xsl:value-of select=\"document('fifo.xml')\"/>"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  // A file over the limit is refused before it is read.
  sandbox.MaxFileBytes = 10;
  EXPECT_EQ(SandboxReadFile(sandbox, doc, bytes), TSandboxStatus::TooLarge);
}

TEST_F(XmlSandboxTest, ExpansionDepthAndTimeStayBounded) {
  std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY l0 \"lollollollollollollollollollol\">\n";
  for (int i = 1; i <= 12; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<r>&l12;</r>\n";
  std::string deep = "<?xml version=\"1.0\"?>\n";
  for (int i = 0; i < 50000; ++i) deep += "<a>";
  for (int i = 0; i < 50000; ++i) deep += "</a>";
  const long rssBefore = test::MaxRssKb();
  auto started = std::chrono::steady_clock::now();
  for (const std::string* text : {&laughs, &deep}) {
    TXmlParseResult r = SandboxParseXml(sandbox, dir.WriteBytes("delivery/MEET/BOMB.XML", *text));
    EXPECT_EQ(r.Status, TSandboxStatus::NotWellFormed);
    EXPECT_FALSE(r.Reason.empty());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_LT(test::MaxRssKb() - rssBefore, 300 * 1024);

  // A stylesheet that never ends is stopped.
  sandbox.TimeoutMs = 300;
  started = std::chrono::steady_clock::now();
  TXsltResult r = Run(Xsl("", "<xsl:call-template name=\"loop\"><xsl:with-param name=\"n\" select=\"0\"/>"
                              "</xsl:call-template>",
                          "<xsl:template name=\"loop\"><xsl:param name=\"n\"/><xsl:for-each select=\"//node()\">"
                          "<xsl:for-each select=\"//node()\"><xsl:for-each select=\"//node()\"><xsl:if test=\"$n > "
                          "1\"><x/></xsl:if></xsl:for-each></xsl:for-each></xsl:for-each><xsl:if test=\"$n &lt; "
                          "2000\"><xsl:call-template name=\"loop\"><xsl:with-param name=\"n\" select=\"$n + 1\"/>"
                          "</xsl:call-template></xsl:if></xsl:template>\n"),
                      "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"VIEW.XSL\"?>\n<r>" +
                          std::string(200, ' ') + "<a/><a/><a/><a/><a/><a/><a/><a/><a/><a/></r>\n");
  EXPECT_EQ(r.State, TXsltResult::Status::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST_F(XmlSandboxTest, RealDeliveriesStillWork) {
  // A folder name with a blank and Japanese text, a DTD beside the file
  // giving a default attribute, an included stylesheet and an entity.
  sandbox.Folders = {dir / "納品 データ"};
  dir.WriteBytes("納品 データ/MEET/MEET04.DTD", "<!ELEMENT meet (n)>\n<!ELEMENT n (#PCDATA)>\n"
                                                "<!ATTLIST meet DTD_version CDATA \"04\">\n");
  dir.WriteBytes("納品 データ/MEET/PART.XSL",
                 "<?xml version=\"1.0\"?>\n<xsl:stylesheet version=\"1.0\" "
                 "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template name=\"part\">"
                 "<i>part</i></xsl:template></xsl:stylesheet>\n");
  // The stylesheet in Shift_JIS, as the viewer writes its own.
  std::string xsl = Xsl("<!DOCTYPE xsl:stylesheet [<!ENTITY nbsp \"&#160;\">]>\n",
                     "<b><xsl:value-of select=\"meet/@DTD_version\"/>&nbsp;<xsl:value-of select=\"meet/n\"/></b>"
                     "<xsl:call-template name=\"part\"/>",
                     "<xsl:include href=\"PART.XSL\"/>");
  xsl.replace(xsl.find("?>"), 0, " encoding=\"shift_jis\"");
  xsl.replace(xsl.find("<b>"), 0, "\x95\x5c");  // 表
  dir.WriteBytes("納品 データ/MEET/MEET04.XSL", xsl);
  const std::string doc = dir.WriteBytes(
      "納品 データ/MEET/MEET.XML", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<?xml-stylesheet "
                                  "type=\"text/xsl\" href=\"MEET04.XSL\"?>\n<!DOCTYPE meet SYSTEM "
                                  "\"MEET04.DTD\">\n<meet><n>\x91\xc5\x8d\x87\x82\xb9</n></meet>\n");
  TXmlParseResult parsed = SandboxParseXml(sandbox, doc);
  ASSERT_TRUE(parsed) << parsed.Reason;
  TXsltResult r = SandboxTransform(sandbox, parsed.Doc.get(), doc);
  ASSERT_TRUE(r) << static_cast<int>(r.State) << (r.Refused.empty() ? "" : r.Refused[0]);
  EXPECT_NE(r.Output.find("表<b>04\xC2\xA0打合せ"), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find("<i>part</i>"), std::string::npos);
  EXPECT_EQ(r.Encoding, "utf-8");
  EXPECT_TRUE(r.Refused.empty());

  // A copy outside the delivery, shown as if it stood at its original:
  // relative references resolve against the original's folder.
  test::ScratchDir work;
  std::string bytes;
  ASSERT_EQ(SandboxReadFile(sandbox, doc, bytes), TSandboxStatus::Ok);
  const std::string copy = work.WriteBytes("copy.tmp", bytes);
  TXmlSandbox both = sandbox;
  both.Folders.push_back(work.Path());
  TXmlParseResult fromCopy = SandboxParseXml(both, copy, doc);
  ASSERT_TRUE(fromCopy);
  EXPECT_TRUE(SandboxTransform(both, fromCopy.Doc.get(), doc));
}

TEST_F(XmlSandboxTest, PagesHoldTheirRecordsInPlaceAndATransformCanBeCancelled) {
  std::string xml = "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"VIEW.XSL\"?>\n"
                    "<meet v=\"04\"><head>h</head>";
  for (int i = 1; i <= 5; ++i) xml += "<rec><n>" + std::to_string(i) + "</n></rec>";
  xml += "<tail>t</tail></meet>\n";
  const std::string doc = dir.WriteBytes("delivery/MEET/DOC.XML", xml);
  dir.WriteBytes("delivery/MEET/VIEW.XSL",
                 Xsl("", "<xsl:value-of select=\"meet/@v\"/>:<xsl:for-each select=\"meet/*\"><xsl:value-of "
                         "select=\".\"/>,</xsl:for-each>"));
  TXmlParseResult parsed = SandboxParseXml(sandbox, doc);
  ASSERT_TRUE(parsed);
  TXmlRecords records = FindRecords(parsed.Doc.get());
  EXPECT_EQ(records.Name, "rec");
  ASSERT_EQ(records.Nodes.size(), 5u);
  struct Case {
    std::size_t first, count;
    const char* shown;
  };
  const Case cases[] = {{0, 2, "04:h,1,2,t,"}, {1, 2, "04:h,2,3,t,"}, {4, 100, "04:h,5,t,"}, {5, 2, "04:h,t,"}};
  for (const Case& c : cases) {
    TXmlDocPtr page = PageDocument(parsed.Doc.get(), records, c.first, c.count);
    ASSERT_TRUE(page);
    TXsltResult r = SandboxTransformWith(sandbox, page.get(), delivery + "VIEW.XSL");
    ASSERT_TRUE(r) << static_cast<int>(r.State) << r.Messages;
    EXPECT_NE(r.Output.find(c.shown), std::string::npos) << c.first << " " << r.Output;
  }
  // Read a piece at a time, the document grows record by record and ends
  // whole; a cancel flag stops the reading.
  std::string big = "<?xml version=\"1.0\"?>\n<meet>";
  for (int i = 0; i < 30000; ++i) big += "<rec><n>" + std::to_string(i) + "</n></rec>\n";
  big += "</meet>\n";
  const std::string bigDoc = dir.WriteBytes("delivery/MEET/BIG.XML", big);
  std::vector<std::size_t> seen;
  TXmlParseResult whole = SandboxParseXml(sandbox, bigDoc, "", [&](xmlDoc* partial) {
    seen.push_back(FindRecords(partial).Nodes.size());
  });
  ASSERT_TRUE(whole);
  EXPECT_GE(seen.size(), 2u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(seen.front(), 0u);
  EXPECT_EQ(FindRecords(whole.Doc.get()).Nodes.size(), 30000u);
  std::atomic<bool> stop{false};
  TXmlSandbox stopping = sandbox;
  stopping.Cancel = &stop;
  EXPECT_FALSE(SandboxParseXml(stopping, bigDoc, "", [&](xmlDoc*) { stop = true; }));

  // A cancel flag set meanwhile stops the transform.
  std::atomic<bool> cancel{true};
  sandbox.Cancel = &cancel;
  sandbox.TimeoutMs = 0;
  EXPECT_EQ(SandboxTransform(sandbox, parsed.Doc.get(), doc).State, TXsltResult::Status::TimedOut);
}

// A folder beside the delivery whose name starts with the delivery folder's
// name ("delivery2" next to "delivery") lies outside it, for every way the
// sandbox reads: the same file inside the delivery is read each way.
TEST_F(XmlSandboxTest, AFolderBesideWhoseNameStartsWithTheDeliverysIsOutside) {
  for (const char* folder : {"delivery", "delivery2", "deliveryX/MEET"}) {
    dir.WriteBytes(std::string(folder) + "/S.XML", std::string("<s>") + kMarker + "</s>");
    dir.WriteBytes(std::string(folder) + "/S.XSL", Xsl("", std::string("<p>") + kMarker + "</p>"));
  }
  // Whether the sandbox gave the marker of the file at `path` (S.XML or S.XSL beside it).
  using Reads = std::function<bool(const std::string& folder)>;
  const std::pair<const char*, Reads> entries[] = {
      {"read", [&](const std::string& f) {
         std::string bytes;
         return SandboxReadFile(sandbox, f + "S.XML", bytes) == TSandboxStatus::Ok &&
                bytes.find(kMarker) != std::string::npos;
       }},
      {"canonical path", [&](const std::string& f) { return !SandboxCanonical(sandbox, f + "S.XML").empty(); }},
      {"parse", [&](const std::string& f) { return bool(SandboxParseXml(sandbox, f + "S.XML")); }},
      {"transform with a stylesheet chosen", [&](const std::string& f) {
         TXmlParseResult doc = SandboxParseXml(sandbox, dir.WriteBytes("delivery/MEET/DOC.XML", XmlWith("VIEW.XSL")));
         TXsltResult r = SandboxTransformWith(sandbox, doc.Doc.get(), f + "S.XSL");
         return r && r.Output.find(kMarker) != std::string::npos;
       }},
      {"document() in a transform", [&](const std::string& f) {
         TXsltResult r = Run(Xsl("", "<xsl:value-of select=\"document('" + f + "S.XML')\"/>"));
         return r.Output.find(kMarker) != std::string::npos;
       }},
      {"an external entity of the document", [&](const std::string& f) {
         dir.WriteBytes("delivery/MEET/VIEW.XSL", Xsl("", "<xsl:value-of select=\"root/item\"/>"));
         const std::string doc = dir.WriteBytes(
             "delivery/MEET/ENT.XML", "<?xml version=\"1.0\"?>\n<!DOCTYPE root [<!ENTITY e SYSTEM \"" + f +
                                          "S.XML\">]>\n<?xml-stylesheet type=\"text/xsl\" href=\"VIEW.XSL\"?>\n"
                                          "<root><item>&e;</item></root>\n");
         TXmlParseResult parsed = SandboxParseXml(sandbox, doc);
         return parsed && SandboxTransform(sandbox, parsed.Doc.get(), doc).Output.find(kMarker) != std::string::npos;
       }},
  };
  for (const std::string& root : {dir / "delivery", dir / "delivery/"}) {
    sandbox.Folders = {root};
    for (const auto& [name, reads] : entries) {
      SCOPED_TRACE(std::string(name) + " with the delivery as " + root);
      EXPECT_TRUE(reads(dir / "delivery/"));
      EXPECT_FALSE(reads(dir / "delivery2/"));
      EXPECT_FALSE(reads(dir / "deliveryX/MEET/"));
    }
  }
}

// The caps hold exactly: a file of MaxFileBytes is read and parsed, one a
// byte larger is not; a result of MaxOutputBytes is given, one a byte
// larger is not.
TEST_F(XmlSandboxTest, SizeCapsAcceptTheirValueAndRefuseOneByteMore) {
  const std::string doc = dir.WriteBytes("delivery/MEET/DOC.XML", XmlWith("VIEW.XSL"));
  dir.WriteBytes("delivery/MEET/VIEW.XSL", Xsl("", "<p><xsl:value-of select=\"root/item\"/></p>"));
  const std::uint64_t size = XmlWith("VIEW.XSL").size();
  TXmlParseResult parsed = SandboxParseXml(sandbox, doc);
  ASSERT_TRUE(parsed);
  const TXsltResult whole = SandboxTransform(sandbox, parsed.Doc.get(), doc);
  ASSERT_TRUE(whole);
  const std::uint64_t output = whole.Output.size();
  struct Case {
    std::uint64_t maxFile, maxOutput;
    TSandboxStatus read;
    TXsltResult::Status transform;
  };
  const Case cases[] = {
      {size, output, TSandboxStatus::Ok, TXsltResult::Status::Ok},
      {size - 1, output, TSandboxStatus::TooLarge, TXsltResult::Status::Ok},
      {size + 1000, output - 1, TSandboxStatus::Ok, TXsltResult::Status::TooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.maxFile) + " " + std::to_string(c.maxOutput));
    TXmlSandbox box = sandbox;
    box.MaxFileBytes = c.maxFile;
    box.MaxOutputBytes = c.maxOutput;
    std::string bytes;
    EXPECT_EQ(SandboxReadFile(box, doc, bytes), c.read);
    EXPECT_EQ(bytes.size(), c.read == TSandboxStatus::Ok ? size : 0u);
    EXPECT_EQ(SandboxParseXml(box, doc).Status, c.read);
    box.MaxFileBytes = kSandboxMaxFileBytes;  // the stylesheet too
    TXsltResult r = SandboxTransform(box, parsed.Doc.get(), doc);
    EXPECT_EQ(r.State, c.transform);
    EXPECT_EQ(r.Output.size(), c.transform == TXsltResult::Status::Ok ? output : 0u);
  }
}

}  // namespace
}  // namespace dlvr
