// The tool's JSON text: nlohmann's writer with the delivery's bytes kept as
// they are, and the layout every JSON output of the tool has had.
#include <gtest/gtest.h>

#include "cli/json.h"

namespace dlvr {
namespace {

TEST(JsonText, StringsKeepEveryByteAndOnlyControlsAreEscaped) {
  const struct {
    std::string value, written;
  } cases[] = {
      {"工事名称", "\"工事名称\""},
      {"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
      {"\t\r\n\b\f\x01\x1f", "\"\\t\\r\\n\\b\\f\\u0001\\u001f\""},
      {"del\x7f", "\"del\\u007f\""},
      // Bytes that are not UTF-8 come out as they went in.
      {"bad\xff\xfe", "\"bad\xff\xfe\""},
      {"cut\xe8\xa8", "\"cut\xe8\xa8\""},
      {"\x80\xc0\xf5", "\"\x80\xc0\xf5\""},
      // Characters of the block that carries them stay themselves.
      {"\xf4\x8f\xbe\x81\xf4\x8f\xbc\x81\xf4\x8f\xbc\x82\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbe\x81\xf4\x8f\xbc\x81\xf4\x8f\xbc\x82\xf4\x8f\xbf\xbf\""},
      {"\xef\xbf\xbd", "\"\xef\xbf\xbd\""},
      {"", "\"\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(JsonText(JsonString(c.value), -1), c.written);
    // As a key's value and an array's element, spread over lines.
    EXPECT_EQ(JsonText(Json{{"k", JsonStrings({c.value, c.value})}}, 1),
              "{\n \"k\": [\n  " + c.written + ",\n  " + c.written + "\n ]\n}\n");
  }
  // A string put in without JsonString is written, not thrown at.
  EXPECT_EQ(JsonText(Json("x\xff"), -1), "\"x\xef\xbf\xbd\"");
}

TEST(JsonText, LayoutOfObjectsArraysAndNumberTexts) {
  Json record = Json::object();
  record["MediaNo"] = JsonString("1");
  record["Reserves"] = Json::array();
  record["Orgs"] = Json::array({Json{{"OrgFile", JsonString("A.PDF")}}});
  Json top = Json::object();
  top["IndexRecords"] = Json::array({record});
  top["Meetings"] = Json::array();
  top["Extra"] = Json::object();
  top["DrawFileDuplicate"] = Json{{"1", true}, {"4", false}};
  top["media"] = 2;
  top["seconds"] = JsonNumberText("0.50");
  EXPECT_EQ(JsonText(top, 1),
            "{\n"
            " \"IndexRecords\": [\n"
            "  {\n"
            "   \"MediaNo\": \"1\",\n"
            "   \"Reserves\": [],\n"
            "   \"Orgs\": [\n"
            "    {\n"
            "     \"OrgFile\": \"A.PDF\"\n"
            "    }\n"
            "   ]\n"
            "  }\n"
            " ],\n"
            " \"Meetings\": [],\n"
            " \"Extra\": {},\n"
            " \"DrawFileDuplicate\": {\n"
            "  \"1\": true,\n"
            "  \"4\": false\n"
            " },\n"
            " \"media\": 2,\n"
            " \"seconds\": 0.50\n"
            "}\n");
  EXPECT_EQ(JsonText(Json::array(), 1), "[]\n");
  // One line, no blanks: the primitives of a drawing.
  const Json line = {{"kind", "text"},
                     {"visible", true},
                     {"bbox", {JsonNumberText("-1.000"), JsonNumberText("0.000")}},
                     {"text", JsonString("\"1.5\"")}};
  EXPECT_EQ(JsonText(line, -1), "{\"kind\":\"text\",\"visible\":true,\"bbox\":[-1.000,0.000],\"text\":\"\\\"1.5\\\"\"}");
}

}  // namespace
}  // namespace dlvr
