#include <gtest/gtest.h>

#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(Paths, NamePartsTakeBothSeparators) {
  EXPECT_EQ(ToSlashes("MEET\\ORG\\A.PDF"), "MEET/ORG/A.PDF");
  EXPECT_EQ(ExtractFileName("MEET\\ORG\\A.PDF"), "A.PDF");
  EXPECT_EQ(ExtractFileName("C:A.PDF"), "A.PDF");
  EXPECT_EQ(ExtractFileName("/x/y.txt"), "y.txt");
  EXPECT_EQ(ExtractFilePath("/x/y.txt"), "/x/");
  EXPECT_EQ(ExtractFileExt("/x.d/y"), "");
  EXPECT_EQ(ExtractFileExt("a.b.PDF"), ".PDF");
  EXPECT_EQ(FileNameWithoutExt("DRAWINGS\\SPEC\\仕様書.pdf"), "仕様書");
  EXPECT_EQ(JoinPath("/a/", "\\b\\c"), "/a/b/c");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
}

TEST(Paths, ResolvesEachComponentWithoutRegardToCase) {
  test::ScratchDir d;
  d.WriteBytes("meet/org/0001_01.pdf", "x");
  d.WriteBytes("Index_C.xml", "x");
  EXPECT_EQ(ResolveCase(d / "MEET/ORG/0001_01.PDF"), d / "meet/org/0001_01.pdf");
  EXPECT_EQ(ResolveCase(d / "MEET\\Org\\0001_01.PDF"), d / "meet/org/0001_01.pdf");
  EXPECT_EQ(ResolveCase(d / "INDEX_C.XML"), d / "Index_C.xml");
  // A missing component keeps the rest as written.
  EXPECT_EQ(ResolveCase(d / "MEET/NONE/X.PDF"), d / "meet/NONE/X.PDF");
  // The exact name wins when it exists.
  d.WriteBytes("INDEX_C.XML", "y");
  EXPECT_EQ(ResolveCase(d / "INDEX_C.XML"), d / "INDEX_C.XML");
}

TEST(Paths, FileNamesFromManagementDataNeverLeaveTheirFolder) {
  test::ScratchDir d;
  d.WriteBytes("secret.txt", "x");
  d.WriteBytes("MEET/ORG/A.PDF", "x");
  d.MakeDir("MEET/ORG/SUB");
  std::string org = d / "MEET/ORG";
  EXPECT_TRUE(FileInFolder(org, "a.pdf").has_value());
  EXPECT_FALSE(FileInFolder(org, "..\\..\\secret.txt").has_value());
  EXPECT_FALSE(FileInFolder(org, "../../secret.txt").has_value());
  EXPECT_FALSE(FileInFolder(org, "..").has_value());
  EXPECT_FALSE(FileInFolder(org, "").has_value());
  // A name that resolves to a folder is not a file.
  EXPECT_FALSE(FileInFolder(org, "SUB").has_value());
  EXPECT_FALSE(FileInFolder(org, "MISSING.PDF").has_value());
}

TEST(Paths, FolderListingsSeparateFilesAndFolders) {
  test::ScratchDir d;
  d.WriteBytes("b.txt", "x");
  d.WriteBytes("a.txt", "x");
  d.MakeDir("SPEC");
  EXPECT_EQ(ListFiles(d.Path()), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(ListFolders(d.Path()), (std::vector<std::string>{"SPEC"}));
  EXPECT_TRUE(ListFiles(d / "none").empty());
}

TEST(TempFs, NamesAreUniqueAndCreated) {
  std::string a = MakeTempDir("dlvr_x_");
  std::string b = MakeTempDir("dlvr_x_");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(DirExists(a));
  std::string f = MakeTempFile("prev", ".PDF", a);
  EXPECT_TRUE(FileExists(f));
  EXPECT_EQ(ExtractFileExt(f), ".PDF");
  EXPECT_EQ(ExtractFilePath(f), a);
  EXPECT_TRUE(RemoveTree(a));
  EXPECT_TRUE(RemoveTree(b));
  EXPECT_FALSE(DirExists(a));
  EXPECT_EQ(MakeTempDir("x", "/nonexistent/folder"), "");
}

TEST(FileIo, LineBreaksOfEveryKind) {
  auto lines = SplitLines("a\r\nb\rc\nd");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "d");
  EXPECT_EQ(SplitLines("a\r\n").size(), 1u);
  EXPECT_EQ(SplitLines("\n\n").size(), 2u);
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("x\r\r\ny").size(), 3u);
}

}  // namespace
}  // namespace dlvr
