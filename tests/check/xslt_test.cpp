// The embedded stylesheets, written out beside work copies of the sample
// management files as the preview does, and run through libxslt.
#include <gtest/gtest.h>

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "check/resources.h"
#include "delivery/helpers.h"
#include "delivery/xml_sandbox.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

// Delivery files say Shift_JIS and mean CP932 (a backslash stays a
// backslash, NEC special characters exist); libxml2 is told so once.
class Cp932Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    xmlAddEncodingAlias("CP932", "SHIFT_JIS");
    xmlAddEncodingAlias("CP932", "SHIFT-JIS");
  }
  void TearDown() override { xsltCleanupGlobals(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Cp932Environment);

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::string Name(const xmlNode* n) { return reinterpret_cast<const char*>(n->name); }

std::string Trim(std::string s) {
  const char* blanks = " \t\r\n";
  std::size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

std::string Content(const xmlNode* n) {
  xmlChar* c = xmlNodeGetContent(n);
  std::string s = c ? reinterpret_cast<const char*>(c) : "";
  xmlFree(c);
  return Trim(s);
}

std::string Attr(const xmlNode* n, const char* name) {
  xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
  std::string s = v ? reinterpret_cast<const char*>(v) : "";
  xmlFree(v);
  return s;
}

std::vector<xmlNode*> Elements(const xmlNode* parent, const char* name = nullptr) {
  std::vector<xmlNode*> out;
  for (xmlNode* c = parent->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && (!name || Name(c) == name)) out.push_back(c);
  return out;
}

// The rows of a table, with or without a tbody in between.
std::vector<xmlNode*> Rows(const xmlNode* table) {
  std::vector<xmlNode*> rows;
  for (xmlNode* c : Elements(table)) {
    if (Name(c) == "tr")
      rows.push_back(c);
    else if (Name(c) == "tbody")
      for (xmlNode* r : Elements(c, "tr")) rows.push_back(r);
  }
  return rows;
}

xmlNode* Find(xmlNode* n, const char* name) {
  for (; n; n = n->next) {
    if (n->type == XML_ELEMENT_NODE && Name(n) == name) return n;
    if (xmlNode* f = Find(n->children, name)) return f;
  }
  return nullptr;
}

// The result of showing a management file with its stylesheet.
struct Page {
  std::string Bytes;  // as written by libxslt (Shift-JIS)
  std::string Utf8;   // the same, decoded
  DocPtr Source;      // the work copy as parsed
  DocPtr Html;        // the page as a browser parses it
};

// Prepares a display work copy of the management file `sourcePath` in `work`
// (its stylesheet instruction naming `xslName`, the DTD beside it when
// `withDtd`, the component's stylesheet written as Shift-JIS with CR LF),
// then transforms it the way the preview does: through the instruction in
// the file.
Page Show(const test::ScratchDir& work, const std::string& sourcePath, const std::string& dtdPath,
          const std::string& xslName, const char* component, bool withDtd = true) {
  Page page;
  std::string xmlName = ExtractFileName(sourcePath);
  std::string target = work / xmlName;
  EXPECT_TRUE(InsertStylesheet(sourcePath, target, xslName)) << sourcePath;
  if (withDtd && FileExists(dtdPath)) {
    std::string dtd;
    EXPECT_TRUE(ReadWholeFile(dtdPath, dtd));
    work.WriteBytes(ExtractFileName(dtdPath), dtd);
  }
  work.WriteSjis(xslName, std::string(EmbeddedText(component)));

  // Exactly the preview's sandboxed loader and transform.
  TXmlSandbox sandbox;
  sandbox.Folders = {work.Path()};
  TXmlParseResult parsed = SandboxParseXml(sandbox, target);
  EXPECT_TRUE(parsed) << target << " " << parsed.Reason;
  if (!parsed) return page;
  page.Source.reset(parsed.Doc.release());
  TXsltResult result = SandboxTransform(sandbox, page.Source.get(), target);
  EXPECT_TRUE(result) << "stylesheet " << xslName << ": " << result.Messages;
  EXPECT_TRUE(result.Refused.empty());
  page.Bytes = result.Output;
  page.Utf8 = Cp932ToUtf8(page.Bytes);
  page.Html.reset(htmlReadMemory(page.Bytes.data(), static_cast<int>(page.Bytes.size()), "page.html", "Shift_JIS",
                                 HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
  EXPECT_TRUE(page.Html);
  return page;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// The number of tables a file must give: one per element below the root that
// holds elements or stands directly under the root.
std::size_t ExpectedTables(const xmlNode* e, bool isRoot) {
  std::size_t n = !isRoot && (!Elements(e).empty() || e->parent == xmlDocGetRootElement(e->doc)) ? 1 : 0;
  for (xmlNode* c : Elements(e)) n += ExpectedTables(c, false);
  return n;
}

// The look of each group's caption cell (its class or colour), by group name.
using Captions = std::map<std::string, std::string>;

// Checks that `table` shows `element`: the caption over two columns carries
// the element's name, then one row per child element, either its name and
// text or, for a child holding elements, a nested table of its own.
void ExpectShows(const xmlNode* table, const xmlNode* element, Captions& captions) {
  std::string name = Name(element);
  SCOPED_TRACE(name);
  ASSERT_EQ(Name(table), "table");
  EXPECT_EQ(Attr(table, "width"), "100%");
  EXPECT_EQ(Attr(table, "border"), "1");
  std::vector<xmlNode*> rows = Rows(table);
  ASSERT_FALSE(rows.empty());
  std::vector<xmlNode*> caption = Elements(rows[0]);
  ASSERT_EQ(caption.size(), 1u);
  EXPECT_EQ(Attr(caption[0], "colspan"), "2");
  EXPECT_EQ(Content(caption[0]), name);
  std::string look = Attr(caption[0], "class") + Attr(caption[0], "bgcolor");
  EXPECT_FALSE(look.empty()) << "caption without its colour";
  EXPECT_EQ(captions.emplace(name, look).first->second, look) << "the same group drawn two ways";

  std::vector<xmlNode*> children = Elements(element);
  if (children.empty()) {  // a single value under the root
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Content(rows[1]), Content(element));
    return;
  }
  ASSERT_EQ(rows.size(), children.size() + 1) << "one row per field";
  for (std::size_t i = 0; i < children.size(); ++i) {
    std::vector<xmlNode*> cells = Elements(rows[i + 1]);
    if (!Elements(children[i]).empty()) {
      ASSERT_EQ(cells.size(), 1u) << Name(children[i]) << " must be a nested table";
      EXPECT_EQ(Attr(cells[0], "colspan"), "2");
      std::vector<xmlNode*> nested = Elements(cells[0], "table");
      ASSERT_EQ(nested.size(), 1u) << Name(children[i]);
      ExpectShows(nested[0], children[i], captions);
      continue;
    }
    ASSERT_EQ(cells.size(), 2u) << Name(children[i]);
    EXPECT_EQ(Name(cells[0]), "th");
    EXPECT_EQ(Content(cells[0]), Name(children[i]));
    EXPECT_EQ(Name(cells[1]), "td");
    EXPECT_EQ(Content(cells[1]), Content(children[i])) << Name(children[i]);
  }
}

// Only HTML comes out, never the file's own elements.
void ExpectOnlyHtml(const xmlNode* n) {
  static const std::set<std::string> html = {"html", "head", "meta", "title", "style", "body", "table", "tbody",
                                             "tr",   "th",   "td",   "br",    "p",     "font", "b"};
  for (; n; n = n->next) {
    if (n->type == XML_ELEMENT_NODE) {
      EXPECT_TRUE(html.count(Name(n))) << "<" << Name(n) << "> in the page";
    }
    ExpectOnlyHtml(n->children);
  }
}

// Checks a whole page against its source: the tables in order, the page's
// encoding and, for CSS-styled pages, that every caption class is styled.
void ExpectPageShowsFile(const Page& page) {
  ASSERT_TRUE(page.Source && page.Html);
  const xmlNode* root = xmlDocGetRootElement(page.Source.get());
  xmlNode* html = xmlDocGetRootElement(page.Html.get());
  ASSERT_NE(html, nullptr);
  EXPECT_EQ(Name(html), "html");
  ExpectOnlyHtml(html);
  EXPECT_NE(page.Utf8.find("charset=Shift_JIS"), std::string::npos) << "the page must name its encoding";

  xmlNode* body = Find(html, "body");
  ASSERT_NE(body, nullptr);
  std::vector<xmlNode*> tables = Elements(body, "table");
  std::vector<xmlNode*> groups = Elements(root);
  ASSERT_EQ(tables.size(), groups.size()) << "one table per group under the root";
  Captions captions;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    ExpectShows(tables[i], groups[i], captions);
    const xmlNode* next = xmlNextElementSibling(tables[i]);
    EXPECT_TRUE(next && (Name(next) == "br" || Name(next) == "p")) << "no break after " << Name(groups[i]);
  }
  EXPECT_EQ(Count(page.Utf8, "<table"), ExpectedTables(root, true));

  // Different groups look different, and a class names a style of the page.
  std::set<std::string> looks;
  for (const auto& [group, look] : captions) looks.insert(look);
  xmlNode* style = Find(html, "style");
  for (const auto& [group, look] : captions) {
    if (style && look.front() != '#') {
      std::string css = Content(style);
      std::size_t at = css.find("td." + look);
      EXPECT_TRUE(at != std::string::npos && !std::isalnum(static_cast<unsigned char>(css[at + 3 + look.size()])))
          << "class " << look << " of " << group << " has no style";
    }
  }
  if (captions.size() > 1) {
    EXPECT_GT(looks.size(), 1u);
  }
}

struct Sample {
  const char* Xml;  // relative to the delivery
  const char* Dtd;
  const char* Xsl;
  const char* Component;
};

const Sample kSamples[] = {
    {"MEET/MEET.XML", "MEET/MEET02.DTD", "MEET.XSL", "ctnMeet"},
    {"PLAN/PLAN.XML", "PLAN/PLAN02.DTD", "PLAN.XSL", "ctnPlan"},
    {"OTHRS/OTHRS.XML", "OTHRS/OTHRS02.DTD", "OTHRS.XSL", "ctnOthrs"},
    {"DRAWINGS/DRAWINGS.XML", "DRAWINGS/DRAW02.DTD", "DRAWING.XSL", "ctnDrawing"},
    {"DRAWINGF/DRAWINGF.XML", "DRAWINGF/DRAW02.DTD", "DRAWING.XSL", "ctnDrawing"},
    {"PHOTO/PHOTO.XML", "PHOTO/PHOTO.DTD", "PHOTO.XSL", "ctnPhoto"},
    {"INDEX_C.XML", "INDE_C02.DTD", "INDEX.XSL", "ctnIndex"},
};

TEST(StylesheetPages, EveryManagementFileOfTheSamplesIsShownGroupByGroup) {
  int shown = 0;
  for (const char* delivery : {"clean", "errors", "multi/MEDIA1", "multi/MEDIA2"}) {
    for (const Sample& s : kSamples) {
      std::string xml = test::SamplePath(delivery) + "/" + s.Xml;
      if (!FileExists(xml)) continue;
      SCOPED_TRACE(std::string(delivery) + "/" + s.Xml);
      test::ScratchDir work;
      Page page = Show(work, xml, test::SamplePath(delivery) + "/" + s.Dtd, s.Xsl, s.Component);
      ExpectPageShowsFile(page);
      ++shown;
    }
  }
  EXPECT_GE(shown, 20);
}

TEST(StylesheetPages, ValuesComeOutInShiftJisUnderTheirGroups) {
  struct Case {
    const char* Xml;
    std::vector<std::string> Texts;  // captions and values that must be on the page
  } cases[] = {
      {"MEET/MEET.XML",
       {"<td colspan=\"2\" class=\"meet\">打合せ簿情報</td>",
        "<td colspan=\"2\" class=\"file\">オリジナルファイル情報</td>", "<td colspan=\"2\" class=\"othr\">その他</td>",
        "<td colspan=\"2\" class=\"soft\">ソフトウェア情報</td>", "<th class=\"title\">打合せ簿名称</th>",
        "現場代理人等通知書の提出について", "使用材料の承諾について（再生砕石）", "DTD_version 02"}},
      {"PLAN/PLAN.XML", {"class=\"plan\">施工計画書情報</td>", "施工計画書（当初）", "仮設計画図（手書き原稿の写し）"}},
      {"OTHRS/OTHRS.XML", {"class=\"othrs\">その他資料情報</td>", "段階確認書（路床）", "見本県中央土木事務所 書庫"}},
      {"DRAWINGS/DRAWINGS.XML",
       {"class=\"draw\">図面情報</td>", "class=\"place\">場所情報</td>", "class=\"point\">基準点情報</td>",
        "見本県見本市中町一丁目地内", "-35500.125"}},
      {"DRAWINGF/DRAWINGF.XML", {"class=\"othr\">その他</td>", "完成形状を反映した図面。"}},
      {"PHOTO/PHOTO.XML", {"<b>写真情報</b>", "<b>基礎情報</b>", "No.12 起点側より終点側を望む", "写真-大分類"}},
      {"INDEX_C.XML",
       {"class=\"koji\">工事件名等</td>", "class=\"order\">発注者情報</td>", "class=\"contr\">請負者情報</td>",
        "県道見本線道路改良工事（その2）", "道路改良 L=350m、側溝工 L=700m、舗装工 A=2,450m2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Xml);
    const Sample* s = nullptr;
    for (const Sample& k : kSamples)
      if (std::string(k.Xml) == c.Xml) s = &k;
    ASSERT_NE(s, nullptr);
    test::ScratchDir work;
    Page page = Show(work, test::SamplePath("clean") + "/" + s->Xml, test::SamplePath("clean") + "/" + s->Dtd, s->Xsl,
                     s->Component);
    // The page is Shift-JIS: it decodes cleanly and carries no UTF-8.
    EXPECT_EQ(page.Utf8.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_NE(page.Bytes.find(Utf8ToCp932(c.Texts.back())), std::string::npos);
    for (const std::string& t : c.Texts) EXPECT_NE(page.Utf8.find(t), std::string::npos) << t;
  }
}

// Older and hand-made files: an upper-case root, groups no stylesheet knows,
// a value straight under the root, no DTD beside the file.
TEST(StylesheetPages, ShowAnyRootAndUnknownGroupsWithoutTheDtd) {
  test::ScratchDir d;
  std::string meet;
  ASSERT_TRUE(ReadWholeFile(test::SamplePath("clean") + "/MEET/MEET.XML", meet));
  for (std::size_t p = meet.find("meetdata"); p != std::string::npos; p = meet.find("meetdata", p))
    meet.replace(p, 8, "MEETDATA");
  std::size_t end = meet.find("</MEETDATA>");
  ASSERT_NE(end, std::string::npos);
  meet.insert(
      end, Utf8ToCp932("<追加情報><項目>値</項目><内訳><明細>1</明細></内訳></追加情報>\r\n<予備>検査済</予備>\r\n"));
  std::string source = d.WriteBytes("MEDIUM/MEET.XML", meet);

  test::ScratchDir work;
  Page page = Show(work, source, d / "MEDIUM/MEET02.DTD", "MEET.XSL", "ctnMeet", false);
  ExpectPageShowsFile(page);
  EXPECT_NE(page.Utf8.find("工程表の変更について"), std::string::npos);
  EXPECT_NE(page.Utf8.find("追加情報"), std::string::npos);
}

// Report management files: the software group in a fixed field order, and a
// report's original files and other information flattened into its table.
TEST(StylesheetPages, ReportFilesShowTheirFieldsInTheListedOrder) {
  test::ScratchDir d;
  std::string source = d.WriteSjis(
      "REPORT/REPORT.XML",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
      "<reportdata DTD_version=\"01\">\n"
      "<基礎情報><報告書フォルダ名>REPORT</報告書フォルダ名></基礎情報>\n"
      "<報告書ファイル情報>\n"
      " <その他><受注者説明文>説明</受注者説明文><予備>予備１</予備></その他>\n"
      " <報告書オリジナルファイル><報告書オリジナルファイル名>R001_01.DOC</報告書オリジナルファイル名>"
      "<報告書オリジナルファイル日本語名>数量計算書.DOC</報告書オリジナルファイル日本語名></報告書オリジナルファイル>\n"
      " <報告書ファイル作成ソフトウェア名>文書作成 Ver.2</報告書ファイル作成ソフトウェア名>\n"
      " <報告書ファイル名>REP001.PDF</報告書ファイル名>\n"
      " <報告書副題>副題</報告書副題>\n"
      " <報告書名>数量計算書（\\区間）</報告書名>\n"
      " <未知の項目>出ない</未知の項目>\n"
      "</報告書ファイル情報>\n"
      "<ソフトウェア情報><ソフトメーカ用TAG>TAG</ソフトメーカ用TAG><メーカ名>メーカ</メーカ名>"
      "<ソフトウェア名>ソフト</ソフトウェア名></ソフトウェア情報>\n"
      "</reportdata>\n");
  test::ScratchDir work;
  Page page = Show(work, source, "", "REPORT.XSL", "ctnReport");
  ASSERT_TRUE(page.Html);
  ExpectOnlyHtml(xmlDocGetRootElement(page.Html.get()));
  std::vector<xmlNode*> tables = Elements(Find(xmlDocGetRootElement(page.Html.get()), "body"), "table");
  ASSERT_EQ(tables.size(), 3u);

  auto rowsOf = [](xmlNode* table) {
    std::vector<std::string> out;
    for (xmlNode* r : Rows(table)) {
      std::string row;
      for (xmlNode* c : Elements(r)) row += (row.empty() ? "" : "=") + Content(c);
      out.push_back(row);
    }
    return out;
  };
  EXPECT_EQ(rowsOf(tables[0]), (std::vector<std::string>{"基礎情報", "報告書フォルダ名=REPORT"}));
  EXPECT_EQ(rowsOf(tables[1]),
            (std::vector<std::string>{
                "報告書ファイル情報", "報告書名=数量計算書（\\区間）", "報告書副題=副題", "報告書ファイル名=REP001.PDF",
                "報告書ファイル作成ソフトウェア名=文書作成 Ver.2", "報告書オリジナルファイル名=R001_01.DOC",
                "報告書オリジナルファイル日本語名=数量計算書.DOC", "受注者説明文=説明", "予備=予備１"}));
  EXPECT_EQ(rowsOf(tables[2]), (std::vector<std::string>{"ソフトウェア情報", "ソフトウェア名=ソフト", "メーカ名=メーカ",
                                                         "ソフトメーカ用TAG=TAG"}));
}

}  // namespace
}  // namespace dlvr
