// Bad input is read or refused cleanly: nothing crashes, nothing hangs, and
// nothing is written into a delivery.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "delivery/kkt_xml_read.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

class Robustness : public ::testing::Test {
 protected:
  bool ReadBytes(const std::string& name, const std::string& bytes) {
    return reader.ReadFile(dir.WriteBytes(name, bytes));
  }
  test::ScratchDir dir;
  DeliveryStore store;
  TKKTXMLRead reader{store};
};

TEST_F(Robustness, EmptyAndBlankFiles) {
  EXPECT_FALSE(ReadBytes("INDEX_C.XML", ""));
  EXPECT_FALSE(ReadBytes("MEET.XML", "\r\n\r\n   \r\n"));
  EXPECT_FALSE(ReadBytes("PLAN.XML", "<?xml version=\"1.0\"?>"));
  EXPECT_TRUE(store.Meetings.empty());
  EXPECT_TRUE(store.Plans.empty());
}

TEST_F(Robustness, BinaryGarbageAndInvalidShiftJis) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 50; ++round) {
    std::string bytes(4096, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    // Sprinkle markup so that the walk gets somewhere.
    for (int i = 0; i < 40; ++i) bytes[rng() % bytes.size()] = "<>/\r\n"[rng() % 5];
    ReadBytes("MEET.XML", "<meetdata>\r\n<打合せ簿情報>\r\n" + bytes);
    ReadBytes("INDEX_C.XML", bytes);
  }
  // An unassigned code, a byte that is never valid, and a lead byte right
  // before the closing tag each decode to U+FFFD; the tag survives.
  EXPECT_FALSE(ReadBytes("INDEX_C.XML", Utf8ToCp932("<constdata>\r\n<工事件名等>\r\n<工事名称>") + "\x88\x81\xFF\x88" +
                                            Utf8ToCp932("</工事名称>") + "\r\n</工事件名等>\r\n</constdata>\r\n"));
  EXPECT_EQ(store.IndexRecords[0].KojiName, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(Robustness, TagWithoutClosingBracket) {
  EXPECT_FALSE(ReadBytes("MEET.XML", "<meetdata>\r\n<打合せ簿情報\r\n<シリアル番号>1</シリアル番号>\r\n<"));
  EXPECT_TRUE(store.Meetings.empty());
  EXPECT_FALSE(ReadBytes("MEET.XML", std::string(100000, '<')));
}

TEST_F(Robustness, HundredThousandNestedElements) {
  std::string text = "<meetdata>\n";
  for (int i = 0; i < 100000; ++i) text += "<a>";
  text += "\n";
  for (int i = 0; i < 100000; ++i) text += "</a>";
  text += "\n<打合せ簿情報>\n</打合せ簿情報>\n</meetdata>\n";
  EXPECT_FALSE(ReadBytes("MEET.XML", Utf8ToCp932(text)));
  EXPECT_EQ(store.Meetings.size(), 1u);
}

TEST_F(Robustness, SingleHundredMegabyteLine) {
  std::string text = Utf8ToCp932("<meetdata><打合せ簿情報><打合せ簿名称>");
  const std::size_t fill = 100u * 1024 * 1024;
  text.reserve(fill + 200);
  text.append(fill, 'x');
  text += Utf8ToCp932("</打合せ簿名称></打合せ簿情報></meetdata>");
  EXPECT_FALSE(ReadBytes("MEET.XML", text));
  text.clear();
  text.shrink_to_fit();
  ASSERT_EQ(store.Meetings.size(), 1u);
  EXPECT_EQ(store.Meetings[0].MeetName.size(), fill);
}

TEST_F(Robustness, ReadingNeverWritesIntoTheDelivery) {
  std::string copy = dir / "copy";
  test::CopyTree(test::SamplePath("errors"), copy);
  test::SetTreeReadOnly(copy, true);
  auto before = test::TreeSnapshot(copy);
  for (const char* f : {"INDEX_C.XML", "DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML", "PLAN/PLAN.XML",
                        "DRAWINGF/DRAWINGF.XML", "OTHRS/OTHRS.XML"})
    reader.ReadFile(copy + "/" + f);
  EXPECT_FALSE(store.Meetings.empty());
  EXPECT_EQ(test::TreeSnapshot(copy), before);
}

TEST_F(Robustness, UnreadableFileIsAFailureNotACrash) {
  std::string path = dir.WriteBytes("MEET.XML", "<meetdata>\r\n</meetdata>\r\n");
  test::SetTreeReadOnly(dir.Path(), false);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  if (::access(path.c_str(), R_OK) == 0) GTEST_SKIP() << "running with permission to read anything";
  EXPECT_TRUE(reader.ReadFile(path));
}

}  // namespace
}  // namespace dlvr
