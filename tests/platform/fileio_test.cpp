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

// The limit holds exactly, judged from the file's size and, for a file whose
// size says nothing (a /proc file says 0), from what is read: a file of the
// limit is read, one a byte larger is not.
TEST(ReadRegularFile, AFileOfTheLimitIsReadOneByteMoreIsNot) {
  test::ScratchDir d;
  const std::string plain = d.WriteBytes("PLAIN.XML", std::string(1000, 'x'));
  std::string whole;
  ASSERT_EQ(ReadRegularFile("/proc/self/cmdline", kMaxWholeFileBytes, whole), TReadStatus::Ok);
  ASSERT_FALSE(whole.empty());
  struct stat st {};
  ASSERT_EQ(::stat("/proc/self/cmdline", &st), 0);
  ASSERT_EQ(st.st_size, 0);  // the size tells nothing: the reading loop judges
  const std::pair<std::string, std::uint64_t> files[] = {{plain, 1000}, {"/proc/self/cmdline", whole.size()}};
  for (const auto& [path, size] : files) {
    SCOPED_TRACE(path);
    std::string bytes;
    EXPECT_EQ(ReadRegularFile(path, size, bytes), TReadStatus::Ok);
    EXPECT_EQ(bytes.size(), size);
    EXPECT_EQ(ReadRegularFile(path, size - 1, bytes), TReadStatus::TooLarge);
    EXPECT_EQ(bytes, "");
  }
}

}  // namespace
}  // namespace dlvr
