// What a photo file's bytes say, read through the EXIF library. Only the
// head of the file is read as a rule: a JPEG's metadata and frame header
// (its pixel size) stand before the image data, so nothing is decoded.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "photo/photo_check.h"
#include "platform/text.h"

namespace dlvr {
namespace {

// Read first; enough for a camera's metadata, thumbnail and frame header.
constexpr std::size_t kHeadBytes = 96 * 1024;
// Read next when the head does not tell (large colour profiles or
// metadata); then the whole file, at most the last size.
constexpr std::uint64_t kLongHeadBytes = 2 * 1024 * 1024;
constexpr std::uint64_t kMaxImageBytes = 256ull * 1024 * 1024;

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    // Not thread-safe on first use: done once here for every thread.
    Exiv2::XmpParser::initialize();
  });
}

const char* FormatName(int type) {
  namespace T = Exiv2::ImageType;
  switch (type) {
    case T::jpeg: return "jpeg";
    case T::png: return "png";
    case T::tiff: return "tiff";
    case T::gif: return "gif";
    case T::bmp: return "bmp";
    case T::webp: return "webp";
    case T::psd: return "psd";
    case T::jp2: return "jp2";
    case T::cr2:
    case T::crw:
    case T::mrw:
    case T::orf:
    case T::raf:
    case T::rw2: return "raw";
    default: return "";
  }
}

// An EXIF text as UTF-8: kept when it is valid UTF-8, else taken as
// Shift-JIS (what Japanese software writes); trailing NULs and blanks go.
std::string ExifText(std::string s) {
  while (!s.empty() && (s.back() == '\0' || s.back() == ' ')) s.pop_back();
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t from = pos;
    if (NextCodePoint(s, pos) == kReplacementChar && pos - from == 1) return Cp932ToUtf8(s);
  }
  return s;
}

std::string ExifValue(const Exiv2::ExifData& exif, const char* key) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  return it == exif.end() || it->count() == 0 ? std::string() : ExifText(it->toString());
}

// Reads up to `limit` bytes of an open file from its start.
bool ReadHead(int fd, std::uint64_t limit, std::string& out) {
  out.resize(static_cast<std::size_t>(limit));
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return true;
}

// The facts the library reads from the bytes; false when it cannot read
// them (a truncated head, a broken file).
bool Facts(const std::string& bytes, TImageFacts& facts) {
  try {
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                           static_cast<long>(bytes.size()));
    if (!image.get()) return false;
    image->readMetadata();
    facts.Width = image->pixelWidth();
    facts.Height = image->pixelHeight();
    const Exiv2::ExifData& exif = image->exifData();
    auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (orientation != exif.end() && orientation->count() > 0) {
      const long v = orientation->toLong();
      facts.Orientation = v >= 1 && v <= 8 ? static_cast<int>(v) : 0;
    }
    facts.DateTimeOriginal = ExifValue(exif, "Exif.Photo.DateTimeOriginal");
    facts.Software = ExifValue(exif, "Exif.Image.Software");
    return facts.Width > 0 && facts.Height > 0;
  } catch (...) {
    return false;
  }
}

}  // namespace

TImageFacts ReadImageFacts(const std::string& path) {
  TImageFacts facts;
  // Opened without blocking and judged on the opened file: never a FIFO,
  // device or socket.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return facts;
  struct stat st {};
  std::string bytes;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const auto size = static_cast<std::uint64_t>(regular ? st.st_size : 0);
  if (!regular || !ReadHead(fd, std::min<std::uint64_t>(size, kHeadBytes), bytes) || bytes.empty()) {
    ::close(fd);
    return facts;
  }
  InitOnce();
  try {
    facts.Format = FormatName(Exiv2::ImageFactory::getType(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                                           static_cast<long>(bytes.size())));
  } catch (...) {
    facts.Format.clear();
  }
  // When the head does not hold it all (a large metadata block, a TIFF's
  // directories at its end), more of the file.
  bool known = facts.Format.empty() || Facts(bytes, facts);
  for (std::uint64_t more : {kLongHeadBytes, kMaxImageBytes}) {
    const std::uint64_t limit = std::min(more, size);
    if (known || limit <= bytes.size()) continue;
    TImageFacts longer;
    longer.Format = facts.Format;
    if (!ReadHead(fd, limit, bytes)) break;
    known = Facts(bytes, longer);
    facts = longer;
  }
  ::close(fd);
  return facts;
}

}  // namespace dlvr
