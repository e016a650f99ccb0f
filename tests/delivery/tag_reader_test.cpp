#include <gtest/gtest.h>

#include "delivery/tag_reader.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TTagReader Reader(const std::string& text) {
  TTagReader r;
  r.LoadFromText(text);
  return r;
}

TEST(TagReader, SimpleValueOnOneLine) {
  TTagReader r = Reader("<A>x</A>");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "A");
  EXPECT_EQ(r.TagStack().size(), 1u);
  EXPECT_EQ(r.ReadValue("A"), "x");
  EXPECT_TRUE(r.TagStack().empty());
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "");
  EXPECT_TRUE(r.IsStopTag("anything"));
}

TEST(TagReader, ValuesKeepBlanksAndLoseLineBreaks) {
  TTagReader r = Reader("<A>\r\n  one\r\ntwo\r\n</A>");
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("A"), "  onetwo");
  // Tabs and blanks around a value are part of it.
  r = Reader("<B> \tv \t</B>");
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("B"), " \tv \t");
}

TEST(TagReader, EmptyElementsPushNothing) {
  TTagReader r = Reader("<R><A/><B>v</B></R>");
  r.ReadNextTag();
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "A/");
  EXPECT_EQ(r.TagStack(), std::vector<std::string>{"R"});
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("B"), "v");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "/R");
  EXPECT_FALSE(r.ErrorFound());
  EXPECT_TRUE(r.TagStack().empty());
}

TEST(TagReader, TextAfterTheLastTagOfALineBelongsToTheValue) {
  // Whatever follows a line's last tag, down to a single character, is
  // character data of the next tag's value.
  struct Case {
    const char* text;
    const char* value;
  };
  const Case cases[] = {
      {"<A>x\n</A>", "x"},
      {"<A>x\r\n</A>", "x"},
      {"<A>xy\n</A>", "xy"},
      {"<A>x\ny</A>", "xy"},
      {"<A> \n</A>", " "},
      {"<R><A>x\n</A></R>", "x"},
      {"<A>\nx\n</A>", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TTagReader r = Reader(c.text);
    r.ReadNextTag();
    if (r.Tag() == "R") r.ReadNextTag();
    ASSERT_EQ(r.Tag(), "A");
    EXPECT_EQ(r.ReadValue("A"), c.value);
    EXPECT_FALSE(r.ErrorFound());
  }
}

TEST(TagReader, ElementWithChildrenHasNoValue) {
  TTagReader r = Reader("<A><B>v</B></A>");
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("A"), "");
  EXPECT_EQ(r.Tag(), "B");
}

TEST(TagReader, MismatchedClosingTagStopsEveryLoop) {
  TTagReader r = Reader("<A></B><C>");
  r.ReadNextTag();
  r.ReadNextTag();
  EXPECT_TRUE(r.ErrorFound());
  EXPECT_FALSE(r.Failed());
  EXPECT_TRUE(r.IsStopTag("X"));
  EXPECT_TRUE(r.IsStopTag(""));
  EXPECT_EQ(r.TagStack(), std::vector<std::string>{"A"});
  r.Reset();
  EXPECT_FALSE(r.ErrorFound());
  EXPECT_TRUE(r.TagStack().empty());
}

TEST(TagReader, AttributesMakeThePlainClosingTagMismatch) {
  TTagReader r = Reader("<工事名称 a=\"1\">x</工事名称>");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "工事名称 a=\"1\"");
  EXPECT_EQ(r.ReadValue("工事名称"), "x");
  EXPECT_TRUE(r.ErrorFound());
}

TEST(TagReader, EmptyFileEndsAtOnce) {
  TTagReader r = Reader("");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "");
  EXPECT_TRUE(r.IsStopTag("A"));
  EXPECT_TRUE(r.TextLines().empty());
}

TEST(TagReader, DeclarationsCommentsAndDoctypesAreSkipped) {
  TTagReader r = Reader("<?xml version=\"1.0\"?>\r\n<!DOCTYPE a SYSTEM \"a.dtd\">\r\n<!-- note -->\r\n<A>v</A>");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "?xml version=\"1.0\"?");
  r.ReadNextTag();
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "!-- note --");
  EXPECT_TRUE(r.TagStack().empty());
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "A");
}

TEST(TagReader, CommentSpanningLinesTurnsIntoText) {
  // The comment ends at the line end; its later lines are character data and
  // a tag on them is a real tag.
  TTagReader r = Reader("<R><!-- a\r\n<B>x</B> -->\r\n</R>");
  r.ReadNextTag();
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "B");
  EXPECT_EQ(r.ReadValue("B"), "x");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "/R");
  EXPECT_EQ(r.GetText(), " -->");
}

TEST(TagReader, TagBrokenOverTwoLinesIsLost) {
  TTagReader r = Reader("<R><A\r\nb=\"1\">v</A></R>");
  r.ReadNextTag();
  r.ReadNextTag();
  // The first part was dropped at the line end; "b="1">v" is character data.
  EXPECT_EQ(r.Tag(), "/A");
  EXPECT_EQ(r.GetText(), "b=\"1\">v");
  EXPECT_TRUE(r.ErrorFound());  // "/A" does not close "R"
}

TEST(TagReader, GreaterThanOutsideATagIsText) {
  TTagReader r = Reader("<A>a > b</A>");
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("A"), "a > b");
  r = Reader("<A<B>x</A<B>");
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "A<B");
  EXPECT_EQ(r.ReadValue("A<B"), "x");
}

TEST(TagReader, ClosingTagWithNothingOpenIsAFailure) {
  TTagReader r = Reader("<A>x</A></B><C>");
  r.ReadNextTag();
  r.ReadValue("A");
  r.ReadNextTag();
  EXPECT_TRUE(r.Failed());
  EXPECT_EQ(r.Tag(), "");
  EXPECT_TRUE(r.IsStopTag("C"));
  r.ReadNextTag();  // stays at the end
  EXPECT_EQ(r.Tag(), "");
  // A second walk starts afresh.
  r.Reset();
  r.ReadNextTag();
  EXPECT_EQ(r.Tag(), "A");
  EXPECT_FALSE(r.Failed());
}

TEST(TagReader, CopiedReaderStaysValid) {
  TTagReader a;
  a.LoadFromText("<A>x</A>");
  TTagReader b = a;
  a.LoadFromText("<B>other text that is long enough to leave the small buffer</B>");
  b.ReadNextTag();
  EXPECT_EQ(b.ReadValue("A"), "x");
}

TEST(TagReader, EmptyTagIsAFailure) {
  TTagReader r = Reader("<A><></A>");
  r.ReadNextTag();
  r.ReadNextTag();
  EXPECT_TRUE(r.Failed());
  EXPECT_TRUE(r.IsStopTag("A"));
}

TEST(TagReader, EntitiesDecodeOnceInTheirOrder) {
  EXPECT_EQ(TTagReader::DecodeEntities("&amp;lt;"), "&lt;");
  EXPECT_EQ(TTagReader::DecodeEntities("&amp;&amp;"), "&&");
  EXPECT_EQ(TTagReader::DecodeEntities("&lt;&gt;&quot;&apos;"), "<>\"'");
  EXPECT_EQ(TTagReader::DecodeEntities("&#x41;&nbsp;&"), "&#x41;&nbsp;&");
  EXPECT_EQ(TTagReader::DecodeEntities("&&lt;;"), "&<;");
  TTagReader r = Reader("<A>a &amp;amp; b</A>");
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("A"), "a &amp; b");
}

TEST(TagReader, TextBeforeTheFirstTagAndAtTheEnd) {
  TTagReader r = Reader("\r\n\r\n  lead<A>v</A>\r\ntrail\r\n");
  r.ReadNextTag();
  EXPECT_EQ(r.GetText(), "  lead");
  r.ReadValue("A");
  r.ReadNextTag();
  // At the end of the file the empty lines in front are dropped.
  EXPECT_EQ(r.Tag(), "");
  ASSERT_FALSE(r.TextLines().empty());
  EXPECT_EQ(r.TextLines().front(), "trail");
}

TEST(TagReader, LinesEndWithCrLfOrEither) {
  TTagReader r = Reader("<A>\ra\nb\r\nc</A>");
  r.ReadNextTag();
  EXPECT_EQ(r.ReadValue("A"), "abc");
  EXPECT_EQ(r.LineCount(), 4u);
}

TEST(TagReader, LoadsShiftJisFiles) {
  test::ScratchDir d;
  std::string path = d.WriteSjis("MEET.XML", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<打合せ簿名称>表―ソ能</打合せ簿名称>\n");
  TTagReader r;
  ASSERT_TRUE(r.LoadFromFile(path));
  r.ReadNextTag();
  r.ReadNextTag();
  // ソ and 能 have '\' (0x5C) as their second byte; nothing is cut there.
  EXPECT_EQ(r.ReadValue("打合せ簿名称"), "表―ソ能");
  EXPECT_FALSE(r.LoadFromFile(d / "missing.xml"));
  EXPECT_EQ(r.LineCount(), 0u);
}


// Every step of a walk: the tag, the text before it, where it stands, and
// the reader's state.
std::vector<std::string> Walk(TTagReader& r) {
  std::vector<std::string> steps;
  for (int guard = 0; guard < 1000000; ++guard) {
    r.ReadNextTag();
    std::string step = r.Tag() + "|" + r.GetText() + "|" + std::to_string(r.LineIndex()) + ":" +
                       std::to_string(r.Column()) + (r.ErrorFound() ? "|error" : "") + (r.Failed() ? "|failed" : "");
    for (const std::string& t : r.TagStack()) step += "/" + t;
    steps.push_back(step);
    if (r.IsStopTag("")) break;
  }
  return steps;
}

TEST(TagReader, AFileReadInPiecesWalksAsItsWholeText) {
  // Lines long enough that tags, values and line breaks fall on the
  // boundaries of the pieces a file is read in.
  std::string body;
  for (int i = 0; body.size() < (3u << 20); ++i) {
    body += "<打合せ簿情報>\r\n<打合せ簿名称>表ソ能&amp;" + std::string(static_cast<std::size_t>(i % 997), 'x') +
            "</打合せ簿名称>\r\n";
    body += "<予備>" + std::string(static_cast<std::size_t>(i % 613), 'y') + "\r\n続き</予備></打合せ簿情報>\r\n";
  }
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"Shift-JIS, CR LF", Utf8ToCp932("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<meetdata>\r\n" + body +
                                        "</meetdata>")},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<meetdata>" + body +
                                           "\xE3\x81</meetdata>\n"},
      {"line breaks of CR alone", Utf8ToCp932("<meetdata>\r" + body.substr(0, 200000) + "\r</x></meetdata>\r")},
      {"a mismatch past the first piece", Utf8ToCp932("<meetdata>\n" + body + "</wrong>\n" + body + "</meetdata>\n")},
  };
  test::ScratchDir d;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = d.WriteBytes("MEET.XML", c.bytes);
    TTagReader whole, file;
    whole.LoadFromText(DecodeDeliveryText(c.bytes));
    ASSERT_TRUE(file.LoadFromFile(path));
    const std::vector<std::string> want = Walk(whole);
    EXPECT_EQ(Walk(file), want);
    // Lines are met as the walk goes: all of them when it reached the end.
    if (!whole.ErrorFound()) {
      EXPECT_EQ(file.LineCount(), whole.LineCount());
    }
    // A second walk reads the file again from its start.
    file.Reset();
    EXPECT_EQ(Walk(file), want);
  }
}

TEST(TagReader, OnlyRegularFilesAreRead) {
  test::ScratchDir d;
  TTagReader r;
  EXPECT_FALSE(r.LoadFromFile(d.MakeDir("MEET.XML")));
  EXPECT_EQ(r.LineCount(), 0u);
}

}  // namespace
}  // namespace dlvr
