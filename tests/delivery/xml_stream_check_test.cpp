#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <algorithm>

#include "delivery/xml_stream_check.h"

namespace dlvr {
namespace {

// The findings of a validation of the whole tree, parsed in one go: what the
// streamed check must give.
struct TWhole {
  std::vector<TXmlStreamCheck::TMessage> Kept;
  std::size_t Most = 0, More = 0;
};

void Collect(void* data, xmlErrorPtr e) {
  auto* w = static_cast<TWhole*>(data);
  if (!e || e->level < XML_ERR_ERROR) return;
  std::string m = e->message ? e->message : "";
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  if (w->Kept.size() < w->Most)
    w->Kept.push_back({e->line, m});
  else
    ++w->More;
}

TXmlStreamCheck Whole(const std::string& text, const std::string& dtdText, std::size_t most) {
  TXmlStreamCheck out;
  xmlParserCtxtPtr parser = xmlNewParserCtxt();
  xmlDocPtr doc = xmlCtxtReadMemory(parser, text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                    XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_COMPACT |
                                        XML_PARSE_NOBLANKS);
  if (!doc || !parser->wellFormed) {
    const xmlError* e = xmlCtxtGetLastError(parser);
    out.Line = e ? e->line : 0;
    out.Reason = e && e->message ? e->message : "";
    while (!out.Reason.empty() && (out.Reason.back() == '\n' || out.Reason.back() == ' ')) out.Reason.pop_back();
  } else {
    out.WellFormed = true;
    xmlDtdPtr dtd = xmlIOParseDTD(
        nullptr, xmlParserInputBufferCreateMem(dtdText.data(), static_cast<int>(dtdText.size()), XML_CHAR_ENCODING_UTF8),
        XML_CHAR_ENCODING_UTF8);
    out.DtdUnreadable = !dtd;
    if (dtd) {
      TWhole w;
      w.Most = most;
      xmlValidCtxtPtr valid = xmlNewValidCtxt();
      valid->error = nullptr;
      valid->warning = nullptr;
      xmlSetStructuredErrorFunc(&w, Collect);
      xmlValidateDtd(valid, doc, dtd);
      xmlSetStructuredErrorFunc(nullptr, nullptr);
      xmlFreeValidCtxt(valid);
      xmlFreeDtd(dtd);
      out.Messages = w.Kept;
      out.More = w.More;
    }
  }
  if (doc) xmlFreeDoc(doc);
  xmlFreeParserCtxt(parser);
  return out;
}

// The text handed over `step` bytes at a time, so that pieces end anywhere.
TXmlStreamCheck Streamed(const std::string& text, const std::string& dtdText, std::size_t most, std::size_t step) {
  std::size_t at = 0;
  const TXmlTextSource source = [&](char* buffer, std::size_t size) {
    const std::size_t n = std::min({size, step, text.size() - at});
    std::copy_n(text.data() + at, n, buffer);
    at += n;
    return n;
  };
  return CheckXmlStream(
      source, [&](std::string_view, std::string_view) { return std::optional<std::string>(dtdText); }, most);
}

const char* const kDtd =
    "<!ELEMENT list (head, item*, tail?)>\n"
    "<!ATTLIST list version CDATA #FIXED \"02\">\n"
    "<!ELEMENT head (#PCDATA)>\n"
    "<!ELEMENT item (no, name?, note*)>\n"
    "<!ATTLIST item kind (a|b) #IMPLIED>\n"
    "<!ELEMENT no (#PCDATA)>\n"
    "<!ELEMENT name (#PCDATA)>\n"
    "<!ELEMENT note (#PCDATA)>\n"
    "<!ELEMENT tail EMPTY>\n";

const char* const kIdDtd =
    "<!ELEMENT list (item*)>\n"
    "<!ELEMENT item (#PCDATA)>\n"
    "<!ATTLIST item id ID #IMPLIED ref IDREF #IMPLIED>\n";

std::string Items(int n, const std::string& body) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "<item>\n <no>" + std::to_string(i) + "</no>\n" + body + "</item>\n";
  return s;
}

TEST(XmlStreamCheck, GivesTheFindingsOfAWholeTreeValidation) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  struct Case {
    const char* name;
    std::string text;
    std::string dtd = kDtd;
    std::size_t most = 100;
  };
  const Case cases[] = {
      {"valid", head + "<list version=\"02\">\n<head>h</head>\n" + Items(3, " <name>名前</name>\n") + "<tail/>\n</list>\n"},
      {"record faults", head + "<list>\n<head>h</head>\n" + Items(2, " <bad/>\n") +
                            "<item kind=\"c\"><name>x</name></item>\n</list>\n"},
      // The root's own faults come before those of its records.
      {"root faults first", head + "<list version=\"03\" extra=\"1\">\n" + Items(2, " <bad/>\n") + "<head>h</head>\n</list>\n"},
      {"text in the root", head + "<list>\n<head>h</head>\nloose text\n" + Items(1, "") + "  \n</list>\n"},
      {"empty element with blanks", head + "<list><head>h</head><tail>  </tail></list>\n"},
      {"comments and instructions", head + "<list><!-- c --><head>h</head><?pi x?>" + Items(1, "<!-- in -->") + "</list>"},
      {"undeclared root", head + "<other><head>h</head></other>\n"},
      {"cap over root and records", head + "<list extra=\"1\">\n" + Items(30, " <bad/>\n <bad/>\n") + "</list>\n", kDtd, 7},
      {"identities validated whole", head + "<list><item id=\"a\">1</item><item id=\"a\" ref=\"zz\">2</item></list>\n", kIdDtd},
      {"declarations of its own",
       head + "<!DOCTYPE list [<!ATTLIST item kind CDATA \"b\">]>\n<list><head>h</head>" + Items(2, "") + "</list>\n"},
      {"unreadable DTD", head + "<list><head>h</head></list>\n", "<!ELEMENT list (head"},
      {"mismatched tag", head + "<list>\n<head>h</head>\n<item><no>1</name></item>\n</list>\n"},
      {"cut short", head + "<list>\n<head>h</head>\n" + Items(3, "")},
      {"nothing after the declaration", head},
      {"many records", head + "<list><head>h</head>" + Items(3000, " <name>長い名前の記録</name>\n <note>n</note>\n") + "</list>\n"},
  };
  for (const Case& c : cases) {
    const TXmlStreamCheck want = Whole(c.text, c.dtd, c.most);
    for (std::size_t step : {std::size_t{1} << 20, std::size_t{7}}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(step));
      const TXmlStreamCheck got = Streamed(c.text, c.dtd, c.most, step);
      EXPECT_EQ(got.WellFormed, want.WellFormed);
      EXPECT_EQ(got.Line, want.Line);
      EXPECT_EQ(got.Reason, want.Reason);
      EXPECT_EQ(got.DtdUnreadable, want.DtdUnreadable);
      ASSERT_EQ(got.Messages.size(), want.Messages.size());
      for (std::size_t i = 0; i < got.Messages.size(); ++i) {
        EXPECT_EQ(got.Messages[i].Line, want.Messages[i].Line) << i;
        EXPECT_EQ(got.Messages[i].Text, want.Messages[i].Text) << i;
      }
      EXPECT_EQ(got.More, want.More);
    }
  }
}

TEST(XmlStreamCheck, AskesForTheDtdByTheRootAndItsVersion) {
  const std::string text = "<?xml version=\"1.0\"?>\n<meetdata DTD_version=\"02\"><x/></meetdata>\n";
  std::string root, version;
  std::size_t at = 0;
  const TXmlStreamCheck got = CheckXmlStream(
      [&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, text.size() - at);
        std::copy_n(text.data() + at, n, buffer);
        at += n;
        return n;
      },
      [&](std::string_view r, std::string_view v) {
        root = r;
        version = v;
        return std::optional<std::string>();
      },
      10);
  EXPECT_TRUE(got.WellFormed);
  EXPECT_EQ(root, "meetdata");
  EXPECT_EQ(version, "02");
  EXPECT_TRUE(got.Messages.empty());
}

}  // namespace
}  // namespace dlvr
