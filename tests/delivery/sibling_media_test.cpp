// The other media of a delivery found in the folders beside one medium:
// which folders count, which are left out (hostile ones included), and the
// bound on how many are read.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "delivery/sibling_media.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

using test::ScratchDir;

struct IndexSpec {
  int MediaNo = 1;
  int MediaCount = 3;
  std::string KojiNo = "R05-123";
  std::string OrdererCode = "11100";
  std::string KojiName = "見本川護岸工事";
};

std::string IndexXml(const IndexSpec& s) {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<constdata DTD_version=\"04\">\n<基礎情報>\n<メディア番号>" +
         std::to_string(s.MediaNo) + "</メディア番号>\n<メディア総枚数>" + std::to_string(s.MediaCount) +
         "</メディア総枚数>\n</基礎情報>\n<工事件名等>\n<工事番号>" + s.KojiNo + "</工事番号>\n<工事名称>" + s.KojiName +
         "</工事名称>\n</工事件名等>\n<発注者情報>\n<発注者コード>" + s.OrdererCode +
         "</発注者コード>\n</発注者情報>\n</constdata>\n";
}

void WriteIndex(const ScratchDir& d, const std::string& folder, const IndexSpec& s) {
  d.WriteSjis(folder + "/INDEX_C.XML", IndexXml(s));
}

IndexSpec Medium(int no) {
  IndexSpec s;
  s.MediaNo = no;
  return s;
}

TEST(SiblingMedia, WhichFoldersBesideTheMediumCount) {
  struct Case {
    const char* Name;
    IndexSpec Own;
    std::function<void(const ScratchDir&)> Beside;  // writes into ARCHIVE/ and OUT/
    std::vector<std::pair<std::string, int>> Media;   // folder name, number
    std::vector<int> Repeated;
    bool SameRecord = true;
  };
  const auto index = [](const char* folder, IndexSpec s) {
    return [folder, s](const ScratchDir& d) { WriteIndex(d, std::string("ARCHIVE/") + folder, s); };
  };
  IndexSpec otherName = Medium(2), otherKoji = Medium(2), otherOrderer = Medium(2), beyond = Medium(4),
            single = Medium(1);
  otherName.KojiName = "別の名称";
  otherKoji.KojiNo = "R05-124";
  otherOrderer.OrdererCode = "22200";
  single.MediaCount = 1;
  IndexSpec noKoji = Medium(1);
  noKoji.KojiNo.clear();
  IndexSpec noKoji2 = Medium(2);
  noKoji2.KojiNo.clear();
  const std::vector<Case> cases = {
      {"same delivery, other number", Medium(1), index("CD2", Medium(2)), {{"CD2", 2}}, {}},
      {"the other media sorted by number", Medium(2),
       [](const ScratchDir& d) {
         WriteIndex(d, "ARCHIVE/CD3", Medium(3));
         WriteIndex(d, "ARCHIVE/A_CD1", Medium(1));
       },
       {{"A_CD1", 1}, {"CD3", 3}}, {}},
      {"a name read without regard to case", Medium(1),
       [](const ScratchDir& d) { d.WriteSjis("ARCHIVE/CD2/index_c.xml", IndexXml(Medium(2))); }, {{"CD2", 2}}, {}},
      {"other fields of the record", Medium(1), index("CD2", otherName), {{"CD2", 2}}, {}, false},
      {"other 工事番号", Medium(1), index("CD2", otherKoji), {}, {}},
      {"other 発注者コード", Medium(1), index("CD2", otherOrderer), {}, {}},
      {"no 工事番号 at all", noKoji, index("CD2", noKoji2), {}, {}},
      {"the medium's own number", Medium(1), index("CD1dup", Medium(1)), {}, {1}},
      {"a number found before", Medium(1),
       [](const ScratchDir& d) {
         WriteIndex(d, "ARCHIVE/CD2", Medium(2));
         WriteIndex(d, "ARCHIVE/CD2copy", Medium(2));
       },
       {{"CD2", 2}}, {2}},
      {"a number beyond the count", Medium(1), index("CD4", beyond), {}, {}},
      {"a delivery of one medium", single, index("CD2", Medium(2)), {}, {}},
      {"no INDEX_C.XML", Medium(1), [](const ScratchDir& d) { d.MakeDir("ARCHIVE/CD2"); }, {}, {}},
      {"a deeper folder", Medium(1), index("SUB/CD2", Medium(2)), {}, {}},
      {"a folder that is a link", Medium(1),
       [](const ScratchDir& d) {
         WriteIndex(d, "OUT/CD2", Medium(2));
         std::filesystem::create_directory_symlink(d / "OUT/CD2", d / "ARCHIVE/CD2");
       },
       {}, {}},
      {"an INDEX_C.XML leading out of its folder", Medium(1),
       [](const ScratchDir& d) {
         WriteIndex(d, "OUT", Medium(2));
         d.MakeDir("ARCHIVE/CD2");
         std::filesystem::create_symlink(d / "OUT/INDEX_C.XML", d / "ARCHIVE/CD2/INDEX_C.XML");
       },
       {}, {}},
      {"an INDEX_C.XML that is a FIFO", Medium(1),
       [](const ScratchDir& d) {
         d.MakeDir("ARCHIVE/CD2");
         ASSERT_EQ(::mkfifo((d / "ARCHIVE/CD2/INDEX_C.XML").c_str(), 0600), 0);
       },
       {}, {}},
      {"an INDEX_C.XML too large", Medium(1),
       [](const ScratchDir& d) {
         std::string xml = IndexXml(Medium(2));
         xml.insert(xml.rfind("</constdata>"), std::string(kSiblingIndexMaxBytes, ' '));
         d.WriteBytes("ARCHIVE/CD2/INDEX_C.XML", xml);
       },
       {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ScratchDir d;
    WriteIndex(d, "ARCHIVE/CD1", c.Own);
    c.Beside(d);
    const auto before = test::TreeSnapshot(d.Path());
    // The medium named with or without its trailing '/'.
    for (const std::string& medium : {d / "ARCHIVE/CD1", d / "ARCHIVE/CD1/"}) {
      const TSiblingMedia found = FindSiblingMedia(medium);
      std::vector<std::pair<std::string, int>> media;
      for (const TSiblingMedium& m : found.Media) {
        media.emplace_back(m.Folder.substr(d.Path().size() + 8), m.MediaNo);
        EXPECT_EQ(m.SameRecord, c.SameRecord) << m.Folder;
      }
      for (auto& m : media) {
        ASSERT_TRUE(m.first.ends_with('/'));
        m.first.pop_back();
      }
      EXPECT_EQ(media, c.Media);
      std::vector<int> repeated;
      for (const TSiblingMedium& m : found.Repeated) repeated.push_back(m.MediaNo);
      EXPECT_EQ(repeated, c.Repeated);
      EXPECT_FALSE(found.LimitReached);
    }
    EXPECT_EQ(test::TreeSnapshot(d.Path()), before);
  }
  // Not a medium: nothing.
  EXPECT_TRUE(FindSiblingMedia("").Media.empty());
  EXPECT_TRUE(FindSiblingMedia("/").Media.empty());
}

// An archive of many deliveries: the folders named most like the medium are
// read first, at most the limit, and the search ends when every medium is found.
TEST(SiblingMedia, ReadsABoundedNumberOfFolders) {
  ScratchDir d;
  WriteIndex(d, "ARCHIVE/R05-123_CD1", Medium(1));
  for (int i = 0; i < 30; ++i) {
    IndexSpec other = Medium(2);
    other.KojiNo = "R04-" + std::to_string(100 + i);
    WriteIndex(d, "ARCHIVE/R04-" + std::to_string(100 + i) + "_CD2", other);
  }
  WriteIndex(d, "ARCHIVE/R05-123_CD2", Medium(2));
  WriteIndex(d, "ARCHIVE/ZZ_LAST", Medium(3));
  struct Case {
    std::size_t Limit;
    std::vector<int> Media;
    bool LimitReached;
  };
  for (const Case& c : std::vector<Case>{{1, {2}, true}, {5, {2}, true}, {40, {2, 3}, false}, {0, {}, true}}) {
    SCOPED_TRACE(c.Limit);
    const TSiblingMedia found = FindSiblingMedia(d / "ARCHIVE/R05-123_CD1", c.Limit);
    std::vector<int> media;
    for (const TSiblingMedium& m : found.Media) media.push_back(m.MediaNo);
    EXPECT_EQ(media, c.Media);
    EXPECT_EQ(found.LimitReached, c.LimitReached);
  }
  // Every medium found: the rest is not read, and no limit was reached.
  WriteIndex(d, "ARCHIVE/R05-123_CD3", Medium(3));
  const TSiblingMedia all = FindSiblingMedia(d / "ARCHIVE/R05-123_CD1", 2);
  ASSERT_EQ(all.Media.size(), 2u);
  EXPECT_EQ(all.Media[1].Folder, d / "ARCHIVE/R05-123_CD3/");
  EXPECT_FALSE(all.LimitReached);
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

// Folders named together that hold one medium of a delivery twice.
TEST(SiblingMedia, RepeatedMediumAmongFoldersNamedTogether) {
  ScratchDir d;
  WriteIndex(d, "m1", Medium(1));
  WriteIndex(d, "m2", Medium(2));
  WriteIndex(d, "fix", Medium(1));
  IndexSpec other = Medium(1);
  other.KojiNo = "R05-999";
  WriteIndex(d, "other", other);
  d.MakeDir("empty");
  const struct {
    std::vector<std::string> Folders;
    std::string First, Second;  // "" for none
  } cases[] = {
      {{d / "m1", d / "m2"}, "", ""},
      {{d / "m1", d / "fix"}, d / "m1", d / "fix"},
      {{d / "m2", d / "fix", d / "m1"}, d / "fix", d / "m1"},
      {{d / "m1", d / "m1/", d / "m2/../m1"}, "", ""},  // one folder, however spelt
      {{d / "m1", d / "other"}, "", ""},                // another delivery
      {{d / "empty", d / "m1", d / "empty"}, "", ""},
  };
  for (const auto& c : cases) {
    const auto got = FindRepeatedMedium(c.Folders);
    if (c.First.empty()) {
      EXPECT_FALSE(got.has_value()) << c.Folders[0] << " " << c.Folders[1];
      continue;
    }
    ASSERT_TRUE(got.has_value()) << c.First;
    EXPECT_EQ(got->First, c.First);
    EXPECT_EQ(got->Second, c.Second);
    EXPECT_EQ(got->MediaNo, 1);
  }
}

}  // namespace
}  // namespace dlvr
