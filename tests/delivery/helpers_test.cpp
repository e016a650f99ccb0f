#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "delivery/helpers.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

std::string Read(const std::string& path) {
  std::string s;
  ReadWholeFile(path, s);
  return s;
}

const char* const kStyle = "<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>";

TEST(Stylesheet, InsertedAfterTheDeclaration) {
  test::ScratchDir d;
  std::string src = d.WriteSjis("MEET.XML", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!DOCTYPE meetdata SYSTEM \"MEET03.DTD\">\n<meetdata>工事</meetdata>\n");
  ASSERT_TRUE(InsertStylesheet(src, d / "work/MEET.XML", "MEET.XSL") == false);  // the target folder does not exist
  d.MakeDir("work");
  ASSERT_TRUE(InsertStylesheet(src, d / "work/MEET.XML", "MEET.XSL"));
  EXPECT_EQ(Read(d / "work/MEET.XML"),
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n" + std::string(kStyle) +
                "\r\n<!DOCTYPE meetdata SYSTEM \"MEET03.DTD\">\r\n" + Utf8ToCp932("<meetdata>工事</meetdata>") + "\r\n");
}

TEST(Stylesheet, ExistingInstructionIsReplacedInPlace) {
  test::ScratchDir d;
  std::string src = d.WriteSjis("A.XML", "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"OLD.XSL\"?>\n<a/>\n");
  ASSERT_TRUE(InsertStylesheet(src, d / "B.XML", "MEET.XSL"));
  EXPECT_EQ(Read(d / "B.XML"), "<?xml version=\"1.0\"?>\r\n" + std::string(kStyle) + "\r\n<a/>\r\n");
}

TEST(Stylesheet, FileWithoutDeclarationGetsTheInstructionFirst) {
  test::ScratchDir d;
  std::string src = d.WriteBytes("A.XML", "<a/>\n<b/>\n");
  ASSERT_TRUE(InsertStylesheet(src, d / "B.XML", "MEET.XSL"));
  // The file's own line breaks are kept.
  EXPECT_EQ(Read(d / "B.XML"), std::string(kStyle) + "\n<a/>\n<b/>\n");
}

TEST(Stylesheet, RemovalTakesEveryInstructionAndKeepsTheDeclaration) {
  test::ScratchDir d;
  std::string src = d.WriteBytes("A.XML",
                                 "<?xml version=\"1.0\"?>\r\n<?XML-STYLESHEET href=\"1.xsl\"?>\r\n<a/>\r\n"
                                 "<?xml-stylesheet href=\"2.xsl\"?>\r\n");
  ASSERT_TRUE(RemoveStylesheet(src, d / "B.XML"));
  EXPECT_EQ(Read(d / "B.XML"), "<?xml version=\"1.0\"?>\r\n<a/>\r\n");
}

TEST(Stylesheet, InstructionsHiddenInTheProlog) {
  // Indented, after a comment, beside the declaration: a parser would apply
  // them, so the work copies keep none but their own.
  struct Case {
    const char* text;
    const char* removed;
    const char* inserted;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\"?>\n  <?xml-stylesheet href=\"/etc/x.xsl\"?>\n<a/>\n",
       "<?xml version=\"1.0\"?>\n  \n<a/>\n",
       "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>\n  \n<a/>\n"},
      {"<?xml version=\"1.0\"?><?xml-stylesheet href=\"e.xsl\"?>\n<!-- c --><?XML-STYLESHEET href='f'?>\n<a/>\n",
       "<?xml version=\"1.0\"?>\n<!-- c -->\n<a/>\n",
       "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>\n<!-- c -->\n<a/>\n"},
      // After the root element nothing is touched: it is content.
      {"<a/> <?xml-stylesheet href=\"x\"?>\n", "<a/> <?xml-stylesheet href=\"x\"?>\n",
       "<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>\n<a/> <?xml-stylesheet href=\"x\"?>\n"},
      {"<!DOCTYPE a [<!ENTITY e \"x>\">]> <?xml-stylesheet href=\"x\"?>\n<a/>",
       "<!DOCTYPE a [<!ENTITY e \"x>\">]> \n<a/>",
       "<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>\n<!DOCTYPE a [<!ENTITY e \"x>\">]> \n<a/>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RemoveStylesheetText(c.text), c.removed) << c.text;
    EXPECT_EQ(InsertStylesheetText(c.text, "MEET.XSL"), c.inserted) << c.text;
  }
}

TEST(Stylesheet, DeclarationsThatDoNotStandAloneAndOtherLineBreaks) {
  // The instruction goes right after the declaration's "?>", after a
  // byte-order mark, in the file's own line breaks; the declaration stays.
  const std::string pi = "<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>";
  struct Case {
    const char* name;
    std::string text, inserted, removed;
  };
  const Case cases[] = {
      {"no line breaks", "<?xml version=\"1.0\"?><a><b/></a>", "<?xml version=\"1.0\"?>\r\n" + pi + "<a><b/></a>",
       "<?xml version=\"1.0\"?><a><b/></a>"},
      {"declaration, DOCTYPE and root on one line", "<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"A.DTD\"><a/>\n",
       "<?xml version=\"1.0\"?>\n" + pi + "<!DOCTYPE a SYSTEM \"A.DTD\"><a/>\n",
       "<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"A.DTD\"><a/>\n"},
      {"byte-order mark", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>\n",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + pi + "\n<a/>\n",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>\n"},
      {"byte-order mark, no declaration", "\xEF\xBB\xBF<a/>\n", "\xEF\xBB\xBF" + pi + "\n<a/>\n", "\xEF\xBB\xBF<a/>\n"},
      {"CR only", "<?xml version=\"1.0\"?>\r<?xml-stylesheet href=\"old.xsl\"?>\r<a/>\r",
       "<?xml version=\"1.0\"?>\r" + pi + "\r<a/>\r", "<?xml version=\"1.0\"?>\r<a/>\r"},
      {"CR only, no instruction", "<?xml version=\"1.0\"?>\r<a/>\r", "<?xml version=\"1.0\"?>\r" + pi + "\r<a/>\r",
       "<?xml version=\"1.0\"?>\r<a/>\r"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InsertStylesheetText(c.text, "MEET.XSL"), c.inserted) << c.name;
    EXPECT_EQ(RemoveStylesheetText(c.text), c.removed) << c.name;
  }
}

// The work copies made a piece at a time from the file read the same as
// the edits of its whole text: small files, and files of several reads
// whose prolog or stylesheet lines lie beyond the first read.
TEST(Stylesheet, CopiesReadInPiecesEqualTheWholeTextsEdits) {
  std::string body;
  for (int i = 0; i < 40000; ++i) body += "<b>" + std::to_string(i) + "</b>\n";
  const std::string longComment = "<!-- " + std::string(1500000, 'c') + "\n -->\n";
  const std::vector<std::string> texts = {
      "",
      "<?xml version=\"1.0\"?><a><b/></a>",
      "<?xml version=\"1.0\"?>\r<?xml-stylesheet href=\"old.xsl\"?>\r<a/>\r",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>\n",
      "<?xml version=\"1.0\"?><?xml-stylesheet href=\"e.xsl\"?>\n<!-- c --><?XML-STYLESHEET href='f'?>\n<a>\n" + body +
          "<?xml-stylesheet href=\"in-body\"?>\n" + body + "  <?xml-stylesheet href=\"kept\"?>\n</a>\n",
      "<?xml version=\"1.0\"?>\r\n" + longComment + "<?xml-stylesheet href=\"late\"?>\r\n<a>\r\n" + body + "</a>",
      "<?xml version=\"1.0\"?>\n" + longComment,  // the whole file its prolog
  };
  test::ScratchDir d;
  const std::string href = "MEET.XSL";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string src = d.WriteBytes("S" + std::to_string(i) + ".XML", texts[i]);
    std::string got;
    ASSERT_TRUE(WriteStylesheetCopyOf(src, d / "I.XML", &href));
    ASSERT_TRUE(ReadWholeFile(d / "I.XML", got));
    EXPECT_TRUE(got == InsertStylesheetText(texts[i], href));
    ASSERT_TRUE(WriteStylesheetCopyOf(src, d / "R.XML", nullptr));
    ASSERT_TRUE(ReadWholeFile(d / "R.XML", got));
    EXPECT_TRUE(got == RemoveStylesheetText(texts[i]));
  }
  EXPECT_FALSE(WriteStylesheetCopyOf(d / "none.xml", d / "N.XML", &href));
  EXPECT_FALSE(FileExists(d / "N.XML"));
}

TEST(Stylesheet, MissingSourceFailsWithoutWriting) {
  test::ScratchDir d;
  EXPECT_FALSE(InsertStylesheet(d / "none.xml", d / "B.XML", "X.XSL"));
  EXPECT_FALSE(RemoveStylesheet(d / "none.xml", d / "B.XML"));
  EXPECT_FALSE(FileExists(d / "B.XML"));
}

TEST(Stylesheet, SourceIsNeverChanged) {
  test::ScratchDir d;
  std::string src = d.WriteSjis("DELIVERY/MEET.XML", "<?xml version=\"1.0\"?>\n<a/>\n");
  d.MakeDir("work");
  test::SetTreeReadOnly(d / "DELIVERY", true);
  auto before = test::TreeSnapshot(d / "DELIVERY");
  EXPECT_TRUE(InsertStylesheet(src, d / "work/MEET.XML", "MEET.XSL"));
  EXPECT_TRUE(RemoveStylesheet(src, d / "work/MEET2.XML"));
  EXPECT_EQ(test::TreeSnapshot(d / "DELIVERY"), before);
}

TEST(BlankPage, EightLinesInTheProgramFolder) {
  const std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<HTML>\r\n<HEAD>\r\n"
      "<TITLE></TITLE>\r\n</HEAD>\r\n<BODY>\r\n</BODY>\r\n</HTML>\r\n";
  test::ScratchDir d;
  std::string saved = ProgramDir();
  SetProgramDir(d.Path());
  ASSERT_TRUE(WriteBlankPage());
  EXPECT_EQ(BlankPagePath(), d / "NONE.HTML");
  EXPECT_EQ(Read(d / "NONE.HTML"), page);
  // Another page in its place is replaced; a link in its place is replaced
  // too, never written through.
  d.WriteBytes("NONE.HTML", "<HTML>old</HTML>");
  ASSERT_TRUE(WriteBlankPage());
  EXPECT_EQ(Read(d / "NONE.HTML"), page);
  const std::string outside = d.WriteBytes("outside/keep.txt", "keep");
  std::remove((d / "NONE.HTML").c_str());
  ASSERT_EQ(::symlink(outside.c_str(), (d / "NONE.HTML").c_str()), 0);
  ASSERT_TRUE(WriteBlankPage());
  EXPECT_EQ(Read(d / "NONE.HTML"), page);
  EXPECT_EQ(Read(outside), "keep");

  // A folder that cannot be written, and a program kept in a delivery's
  // folder, which is never written into.
  d.WriteBytes("file", "x");
  SetProgramDir(d / "missing");
  EXPECT_FALSE(WriteBlankPage());
  SetProgramDir(d / "file");
  EXPECT_FALSE(WriteBlankPage());
  d.WriteBytes("delivery/index_c.xml", "<constdata/>");
  const auto before = test::TreeSnapshot(d / "delivery");
  SetProgramDir(d / "delivery");
  EXPECT_FALSE(WriteBlankPage());
  EXPECT_EQ(test::TreeSnapshot(d / "delivery"), before);
  // An installed program never writes into the system's folders, even as root.
  for (const char* system : {"/usr/bin/", "/usr/local/bin/", "/opt/dlvrview/bin/"}) {
    SetProgramDir(system);
    EXPECT_FALSE(WriteBlankPage()) << system;
    EXPECT_TRUE(IsSystemFolder(system));
  }
  EXPECT_FALSE(IsSystemFolder(d.Path()));
  EXPECT_FALSE(IsSystemFolder("/usrdata/bin"));
  SetProgramDir(saved);
}

// A file stands for the delivery it belongs to: INDEX_C.XML (any case) in
// its folder or up to two levels above, else its own folder.
TEST(DeliveryFolder, OfAFileUpToTwoLevelsDown) {
  test::ScratchDir d;
  d.WriteBytes("kkt/index_c.xml", "x");
  for (const char* file : {"kkt/MEET/ORG/A/X.PDF", "kkt/MEET/ORG/X.PDF", "kkt/MEET/MEET.XML", "kkt/X.TXT"})
    d.WriteBytes(file, "x");
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"kkt/index_c.xml", "kkt/"},
      {"kkt/MEET/MEET.XML", "kkt/"},
      {"kkt/MEET/ORG/X.PDF", "kkt/"},
      {"kkt/MEET/ORG/A/X.PDF", "kkt/MEET/ORG/A/"},  // three levels down: its own folder
  };
  for (const auto& [file, folder] : rows) EXPECT_EQ(DeliveryFolderOf(d / file), d / folder) << file;
}

}  // namespace
}  // namespace dlvr
