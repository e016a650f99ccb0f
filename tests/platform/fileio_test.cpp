// Whole-file reads of what a delivery may hold in place of a file.
#include "platform/fileio.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(ReadWholeFile, OnlyRegularFilesWithinTheLimitAndNeverBlocks) {
  test::ScratchDir d;
  d.WriteBytes("PLAIN.XML", "<a/>");
  ASSERT_EQ(mkfifo((d / "FIFO.XML").c_str(), 0600), 0);
  symlink("/dev/zero", (d / "ZERO.XML").c_str());
  d.MakeDir("DIR.XML");
  // A sparse file past the limit: refused from its size, nothing allocated.
  int fd = open((d / "HUGE.XML").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kMaxWholeFileBytes + 1)), 0);
  close(fd);
  struct Case {
    const char* name;
    bool read;
  };
  const Case cases[] = {{"PLAIN.XML", true}, {"FIFO.XML", false}, {"ZERO.XML", false},
                        {"DIR.XML", false},  {"HUGE.XML", false}, {"NONE.XML", false}};
  const auto started = std::chrono::steady_clock::now();
  for (const Case& c : cases) {
    std::string bytes = "stale";
    EXPECT_EQ(ReadWholeFile(d / c.name, bytes), c.read) << c.name;
    EXPECT_EQ(bytes, c.read ? "<a/>" : "") << c.name;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

}  // namespace
}  // namespace dlvr
