// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dlvr::fuzz {

// Stops the run with a message when an invariant does not hold, so that
// libFuzzer saves the input as a crash.
[[noreturn]] void Fail(const char* file, int line, const char* what);

#define FUZZ_CHECK(cond)                                            \
  do {                                                              \
    if (!(cond)) ::dlvr::fuzz::Fail(__FILE__, __LINE__, #cond);     \
  } while (0)

// True when the text is well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool IsValidUtf8(std::string_view s);

// Number of occurrences of a byte.
std::size_t CountByte(std::string_view s, char c);

// Number of non-overlapping occurrences of a text.
std::size_t CountText(std::string_view s, std::string_view what);

// A folder of its own for each input, removed afterwards (libFuzzer ends
// without running exit handlers, so nothing is left for later).
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Watches a folder for files being opened (inotify), so a sandbox target
// sees any read outside the delivery without a marker text the fuzzer
// could learn.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& folder);
  ~OpenWatch();
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;
  // True when a file (not the folder itself) in the folder was opened
  // since the last call.
  bool Opened() const;

 private:
  int fd_ = -1;
};

}  // namespace dlvr::fuzz
