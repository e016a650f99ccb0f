#include <gtest/gtest.h>

#include "check/tree_ini.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

std::vector<std::string> L(std::string_view text) { return TextToLines(text); }

TEST(ExtStringList, NameValueAccess) {
  TExtStringList s(L("free text\nTag=シリアル番号\nA==x\n=y\nMaxLength=15\nBad=1x\nTag=second"));
  EXPECT_EQ(s.IndexOf("FREE TEXT"), 0);
  EXPECT_EQ(s.IndexOfName("tag"), 1);
  EXPECT_EQ(s.ReadString("Tag"), "シリアル番号");  // the first line of the name
  EXPECT_EQ(s.ReadString("A"), "=x");               // only the first '=' separates
  EXPECT_EQ(s.ReadString(""), "y");
  EXPECT_EQ(s.ReadString("none", "def"), "def");
  EXPECT_EQ(s.ReadInteger("MaxLength", 0), 15);
  EXPECT_EQ(s.ReadInteger("Bad", -1), -1);
  EXPECT_EQ(s.ReadInteger("none", 7), 7);
  // Blanks may stand before a number, never after it.
  TExtStringList n(L("A= 5\nB=5 \nC=-12\nD=+3\nE=5\t\nF= \nG=2147483648"));
  const std::pair<const char*, long> ints[] = {{"A", 5}, {"B", -1}, {"C", -12}, {"D", 3}, {"E", -1}, {"F", -1}, {"G", -1}};
  for (const auto& [name, value] : ints) EXPECT_EQ(n.ReadInteger(name, -1), value) << name;
  s.CaseSensitive = true;
  EXPECT_EQ(s.IndexOfName("tag"), -1);
  EXPECT_EQ(s.IndexOf("FREE TEXT"), -1);
}

TEST(ExtStringList, WritingReplacesTheFirstLineOrAppends) {
  TExtStringList s(L("A=1\nB=2\nA=3"));
  int changes = 0;
  s.OnChange = [&] { ++changes; };
  s.WriteString("a", "x");
  EXPECT_EQ(s.Lines(), (std::vector<std::string>{"a=x", "B=2", "A=3"}));
  s.WriteInteger("C", -4);
  EXPECT_EQ(s[3], "C=-4");
  s.WriteString("B", "");
  EXPECT_EQ(s[1], "B=");
  s.KeepEmpty = false;
  s.WriteString("B", "");
  EXPECT_EQ(s.IndexOfName("B"), -1);
  s.WriteString("missing", "");  // nothing to delete, nothing added
  EXPECT_EQ(s.Count(), 3);
  EXPECT_EQ(changes, 4);
  s.BeginUpdate();
  s.Add("x");
  s.EndUpdate();
  EXPECT_EQ(changes, 4);
}

TEST(ExtStringList, BinaryFormRoundTripsScrambledAndPlain) {
  test::ScratchDir d;
  TExtStringList s(L("[SETTING]\nVer=02\n\n工事名称=テスト"));
  for (bool scrambled : {true, false}) {
    std::string path = d / (scrambled ? "a.ini" : "b.ini");
    ASSERT_TRUE(s.SaveToFile(path, scrambled));
    std::string bytes;
    ReadWholeFile(path, bytes);
    EXPECT_EQ(bytes[0], scrambled ? 1 : 0);
    EXPECT_EQ(bytes.substr(1, 4), std::string("\x04\0\0\0", 4));
    EXPECT_EQ(bytes.substr(5, 4), std::string("\x0A\0\0\0", 4));  // "[SETTING]" + zero
    // '[' (0x5B) rotated right by two bits is 0xD6.
    EXPECT_EQ(static_cast<unsigned char>(bytes[9]), scrambled ? 0xD6 : 0x5B);
    TExtStringList back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.Lines(), s.Lines());
  }
  // Damaged files never crash: a line count beyond the data keeps what was read.
  std::string bytes;
  ReadWholeFile(d / "b.ini", bytes);
  d.WriteBytes("cut.ini", bytes.substr(0, 20));
  TExtStringList cut;
  EXPECT_FALSE(cut.LoadFromFile(d / "cut.ini"));
  EXPECT_EQ(cut.Lines(), std::vector<std::string>{"[SETTING]"});
  d.WriteBytes("huge.ini", std::string("\0\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 9));
  EXPECT_FALSE(cut.LoadFromFile(d / "huge.ini"));
  EXPECT_EQ(cut.Count(), 0);
  EXPECT_FALSE(cut.LoadFromFile(d / "missing.ini"));
  EXPECT_EQ(cut.Count(), 0);
}

const char* const kTable =
    "[SETTING]\n"
    "Ver=02\n"
    "DTD=1.0\n"
    "\n"
    "[KOJINFO]\n"
    " [ITEM 0]\n"
    " Tag=発注年度\n"
    " MaxLength=4\n"
    "\n"
    " [ITEM 1]\n"
    " Tag=工事番号\n"
    "\n";

TEST(TreeIni, IndentationDecidesParentAndSiblings) {
  TTreeIni t;
  t.LoadFromStrings(L(kTable));
  ASSERT_EQ(t.Count(), 2);
  EXPECT_EQ(t.Child(0)->Name(), "SETTING");
  TTreeIniItem* koj = t.Child(1);
  EXPECT_EQ(koj->Name(), "KOJINFO");
  ASSERT_EQ(koj->Count(), 2);  // ITEM 1 is a sibling of ITEM 0, not its child
  EXPECT_EQ(koj->Child(1)->Name(), "ITEM 1");
  EXPECT_EQ(koj->Child(1)->Level(), 2);
  EXPECT_EQ(koj->Child(1)->Path(), "\\KOJINFO\\ITEM 1");
  EXPECT_EQ(t.ReadInteger("KOJINFO\\ITEM 0", "MaxLength", 0), 4);
  EXPECT_EQ(t.ReadInteger("KOJINFO\\ITEM 1", "MaxLength", 0), 0);
  EXPECT_EQ(t.ReadString("SETTING", "Ver"), "02");

  // A header indented by 5 under a level-1 item is a level-2 item, written
  // back with one blank.
  TTreeIni u;
  u.LoadFromStrings(L("[A]\nx=1\n     [B]\n     y=2\n[C]\n"));
  ASSERT_EQ(u.Count(), 2);
  EXPECT_EQ(u.Child(0)->Child(0)->Level(), 2);
  EXPECT_EQ(u.Text().Lines(), L("[A]\nx=1\n\n [B]\n y=2\n\n"));
}

TEST(TreeIni, PathFormsReachTheSameItemAndLookupRenames) {
  TTreeIni t;
  t.LoadFromStrings(L(kTable));
  TTreeIniItem* item = t.ItemByPath("KOJINFO\\ITEM 0");
  EXPECT_EQ(t.ItemByPath("KOJINFO\\ITEM 0\\"), item);
  EXPECT_EQ(t.ItemByPath("\\KOJINFO\\ITEM 0"), item);
  EXPECT_EQ(t.ItemByPath("KOJINFO\\\\ITEM 0\\\\"), item);
  EXPECT_EQ(t.ItemByPath("kojinfo\\item 0"), item);
  EXPECT_EQ(item->Parent()->Name(), "kojinfo");
  EXPECT_EQ(item->Name(), "item 0");
  EXPECT_EQ(t.Child(1)->Count(), 2);
  EXPECT_EQ(t.ItemByPath(""), &t);
  EXPECT_EQ(t.ItemByPath("\\"), &t);
}

TEST(TreeIni, ReadingAMissingPathCreatesEmptyItemsThatAreNotWritten) {
  TTreeIni t;
  t.LoadFromStrings(L(kTable));
  std::vector<std::string> before = t.Text().Lines();
  EXPECT_EQ(t.ReadString("NEW", "Key", "d"), "d");
  EXPECT_EQ(t.Count(), 3);
  EXPECT_EQ(t.Text().Lines(), before);
  // A section with a child is written even when both are empty.
  EXPECT_EQ(t.ReadInteger("NEW\\DEEP", "Key", 5), 5);
  EXPECT_EQ(t.Text().Lines().size(), before.size() + 2);
  EXPECT_EQ(t.Text()[static_cast<int>(before.size())], "[NEW]");
}

TEST(TreeIni, LoadKeepsDuplicatesMergeReplacesInPlace) {
  TTreeIni load;
  load.LoadFromStrings(L("[A]\nk=1\nx=2\nk=3\n"));
  EXPECT_EQ(load.GetValues("A").Lines(), L("k=1\nx=2\nk=3"));
  EXPECT_EQ(load.ReadString("A", "k"), "1");

  TTreeIni merge;
  merge.MergeStrings(L("[A]\nk=1\nx=2\nk=3\nfree\nfree\n"));
  EXPECT_EQ(merge.GetValues("A").Lines(), L("k=3\nx=2\nfree"));

  // A repeated header in load mode replaces the block; children stay.
  TTreeIni rep;
  rep.LoadFromStrings(L("[A]\na=1\n [B]\n b=1\n[A]\na=2\n"));
  EXPECT_EQ(rep.GetValues("A").Lines(), L("a=2"));
  EXPECT_EQ(rep.ReadString("A\\B", "b"), "1");

  // In merge mode, '=' first in a line is no key; root lines go to the top.
  TTreeIni root;
  root.Values().Assign(L("top"));
  root.MergeStrings(L("=x\nlead\n[S]\n=y\n"));
  EXPECT_EQ(root.Values().Lines(), L("lead\n=x\ntop"));
  EXPECT_EQ(root.GetValues("S").Lines(), L("=y"));
}

TEST(TreeIni, EmptyPathAddressesTheWholeText) {
  TTreeIni t;
  t.LoadFromStrings(L("; preamble\nName=v\n" + std::string(kTable)));
  EXPECT_EQ(t.GetValues("").Lines().front(), "; preamble");
  EXPECT_EQ(t.ReadString("", "Name"), "v");
  EXPECT_EQ(&t.GetValues("\\"), &t.Text());
}

TEST(TreeIni, PreambleBeforeTheFirstSectionSurvivesRegeneration) {
  TTreeIni t;
  t.LoadFromStrings(L("; comment\n\n[A]\nx=1\n[B]\ny=2\n"));
  t.WriteString("B", "z", "3");
  EXPECT_EQ(t.Text().Lines(), L("; comment\n\n[A]\nx=1\n\n[B]\ny=2\nz=3\n\n"));
  // Regenerating again finds the first section at the top now: no preamble
  // is repeated.
  EXPECT_EQ(t.Text().Lines(), L("; comment\n\n[A]\nx=1\n\n[B]\ny=2\nz=3\n\n"));
  // Without the first child's header in the old text, the text is rebuilt.
  TTreeIni u;
  u.LoadFromStrings(L("junk\n  [A]  \nx=1"));
  EXPECT_EQ(u.Text().Lines(), L("[A]\nx=1\n\n"));
}

TEST(TreeIni, TextWithoutSectionsStaysAsLoaded) {
  TTreeIni t;
  std::vector<std::string> lines = L("<?xml version=\"1.0\"?>\n  <a>\n\n</a>\n");
  t.LoadFromStrings(lines);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.Text().Lines(), lines);
}

TEST(TreeIni, ModificationMarksAncestorsNotTheChangedItem) {
  TTreeIni t;
  t.LoadFromStrings(L(kTable));
  t.SetModified(false);
  TTreeIniItem* item = t.ItemByPath("KOJINFO\\ITEM 0");
  item->Values().Add("New=1");
  EXPECT_FALSE(item->Modified());
  EXPECT_TRUE(item->Parent()->Modified());
  EXPECT_TRUE(t.Modified());
  EXPECT_FALSE(t.ItemByPath("SETTING")->Modified());
  // Clearing a branch recomputes the root from every item.
  item->Parent()->SetModified(false);
  EXPECT_FALSE(t.Modified());
  t.ItemByPath("SETTING")->SetModified(true);
  item->Parent()->SetModified(false);
  EXPECT_TRUE(t.Modified());
  // Changes to the root's own text mark nothing.
  t.SetModified(false);
  t.Values().Add("x");
  EXPECT_FALSE(t.Modified());
  // Clearing a list that is already empty is no change.
  TTreeIni a;
  a.LoadFromStrings(L("[A]"));
  EXPECT_FALSE(a.Modified());
  a.SetModified(false);
  a.ItemByPath("A")->Values().Clear();
  EXPECT_FALSE(a.Modified());
  a.ItemByPath("A")->Values().Add("k=v");
  a.SetModified(false);
  a.ItemByPath("A")->Values().Clear();
  EXPECT_TRUE(a.Modified());
}

TEST(TreeIni, SectionsWithoutNameOrContentAreNotWritten) {
  TTreeIni t;
  t.LoadFromStrings(L("[A]\n[ ]\nv=1\n[C]\n [D]\n d=1\n"));
  EXPECT_EQ(t.Text().Lines(), L("[C]\n\n [D]\n d=1\n\n"));
}

TEST(TreeIni, ChildAtOrBeyondTheCountIsCreated) {
  TTreeIni t;
  TTreeIniItem* c = t.Child(5);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(t.Count(), 1);
  EXPECT_EQ(c->Parent(), &t);
  EXPECT_EQ(c->Level(), 1);
}

TEST(TreeIni, DeeplyIndentedTextParsesWithoutRecursion) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += std::string(static_cast<std::size_t>(i % 200), ' ') + "[S" + std::to_string(i) + "]\nv=1\n";
  TTreeIni t;
  t.LoadFromStrings(L(text));
  EXPECT_GT(t.Count(), 0);
  EXPECT_FALSE(t.Text().Lines().empty());
}

TEST(TreeIni, FilesPlainAndBinary) {
  test::ScratchDir d;
  TTreeIni t;
  t.LoadFromStrings(L(kTable));
  // Nothing is written for an empty text and no file.
  TTreeIni empty;
  EXPECT_FALSE(empty.SaveToFile(d / "empty.txt"));
  EXPECT_FALSE(FileExists(d / "empty.txt"));

  ASSERT_TRUE(t.SaveToFile(d / "sub/dir/table.ini"));
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.FileName(), d / "sub/dir/table.ini");
  // Unmodified and the same file: not written again.
  EXPECT_FALSE(t.SaveToFile(d / "sub/dir/table.ini"));
  ASSERT_TRUE(t.SaveToFile(d / "table.txt"));
  std::string plain;
  ReadWholeFile(d / "table.txt", plain);
  EXPECT_EQ(plain.substr(0, 11), "[SETTING]\r\n");

  for (const char* name : {"sub/dir/table.ini", "table.txt"}) {
    TTreeIni back;
    back.LoadFromFile(d / name);
    EXPECT_FALSE(back.Modified());
    EXPECT_EQ(back.ReadString("KOJINFO\\ITEM 0", "Tag"), "発注年度") << name;
    EXPECT_EQ(back.FileName(), d / name);
  }
  TTreeIni none;
  none.LoadFromFile(d / "missing.txt");
  EXPECT_EQ(none.FileName(), "");
}

TEST(TreeIni, TreeWithFileNameSavesItselfWhenModified) {
  test::ScratchDir d;
  {
    TTreeIni t;
    t.LoadFromStrings(L(kTable));
    ASSERT_TRUE(t.SaveToFile(d / "auto.txt"));
    t.WriteString("SETTING", "Ver", "03");
  }
  TTreeIni back;
  back.LoadFromFile(d / "auto.txt");
  EXPECT_EQ(back.ReadString("SETTING", "Ver"), "03");
}

TEST(ComTin, SectionIsTheRegeneratedText) {
  TComTin c("[SETTING]\r\nVer=02\r\n [ITEM 0]\r\n Tag=x\r\n");
  EXPECT_EQ(c.Section(), L("[SETTING]\nVer=02\n\n [ITEM 0]\n Tag=x\n\n"));
  TComTin plain("LC\nPL\n");
  EXPECT_EQ(plain.Section(), L("LC\nPL"));
}

}  // namespace
}  // namespace dlvr
