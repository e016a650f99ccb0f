// Whole-file reads and writes, and the program's own folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

// What reading a file of a delivery came to.
enum class TReadStatus {
  Ok,
  NotRegular,  // a folder, device, FIFO or socket (never waited on)
  TooLarge,    // larger than the limit given
  Unreadable,  // missing, not permitted, a read error, memory ran out
  Link,        // the last component is a symbolic link and links were refused
};

// Reads a regular file's bytes, at most `maxBytes`, into `out` (empty
// unless Ok). The file is opened without blocking and judged on the opened
// file itself; with `refuseLink` a symbolic link as the last component is
// not followed. Never throws.
TReadStatus ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& out,
                            bool refuseLink = false);

// Hands a regular file's bytes to `piece` a piece at a time (some 1 MB),
// each cut after a line feed (the last one as the file ends), never holding
// the file whole; a file without line feeds is one piece. The file is
// judged as ReadRegularFile judges it; on a read error midway the pieces
// handed over stay handed over. Never throws (unless `piece` does).
TReadStatus ReadFileInLines(const std::string& path, std::uint64_t maxBytes,
                            const std::function<void(std::string_view)>& piece, bool refuseLink = false);

// The largest file ReadWholeFile reads: far above any real management file.
inline constexpr std::uint64_t kMaxWholeFileBytes = 1ull << 30;

// Reads a regular file's bytes. False (and `out` empty) when it cannot: not
// a regular file (a FIFO or device is never waited on), unreadable, larger
// than kMaxWholeFileBytes, or memory ran out. Never throws.
bool ReadWholeFile(const std::string& path, std::string& out);

// Writes bytes to a file, replacing it. False when it cannot.
bool WriteWholeFile(const std::string& path, std::string_view data);

// Writes bytes to a new file beside `path` and renames it over `path`: a
// file that shares its data with another (a hard link) is replaced, never
// written through, and on failure `path` stays as it was. False when it
// cannot.
bool ReplaceWholeFile(const std::string& path, std::string_view data);

// Splits text into lines: CR, LF or CR LF end a line; the breaks are dropped.
// A final line without a break is kept; a final break adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// The folder of the running program, with a trailing '/'. Tests may set it.
std::string ProgramDir();
void SetProgramDir(const std::string& dir);

}  // namespace dlvr
