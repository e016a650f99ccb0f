#include "photo/photo_fixtures.h"

#include <cstdint>

namespace dlvr::test {
namespace {

void Put16be(std::string& s, unsigned v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}

void Put16le(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32le(std::string& s, std::uint32_t v) {
  Put16le(s, v & 0xFFFF);
  Put16le(s, v >> 16);
}

void Put32be(std::string& s, std::uint32_t v) {
  Put16be(s, v >> 16);
  Put16be(s, v & 0xFFFF);
}

// A marker segment: FF, the marker, the length and the body.
void Segment(std::string& s, unsigned char marker, const std::string& body) {
  s.push_back(static_cast<char>(0xFF));
  s.push_back(static_cast<char>(marker));
  Put16be(s, static_cast<unsigned>(body.size() + 2));
  s += body;
}

// One IFD entry: tag, type, count and a value that fits in four bytes or
// an offset.
void Entry(std::string& s, unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
  Put16le(s, tag);
  Put16le(s, type);
  Put32le(s, count);
  if (type == 3 && count == 1) {
    Put16le(s, value);
    Put16le(s, 0);
  } else {
    Put32le(s, value);
  }
}

// The TIFF structure of an EXIF block: IFD0 (Orientation, Software, the
// EXIF IFD pointer) and the EXIF IFD (DateTimeOriginal), strings after them.
std::string ExifTiff(const ExifSpec& exif) {
  const bool hasDate = !exif.DateTimeOriginal.empty();
  const unsigned n0 = (exif.Orientation ? 1 : 0) + (exif.Software.empty() ? 0 : 1) + (hasDate ? 1 : 0);
  const std::uint32_t ifd0 = 8;
  const std::uint32_t ifd0End = ifd0 + 2 + 12 * n0 + 4;
  const std::uint32_t software = ifd0End;
  const std::uint32_t softwareLen = exif.Software.empty() ? 0 : static_cast<std::uint32_t>(exif.Software.size() + 1);
  const std::uint32_t exifIfd = software + softwareLen + (softwareLen % 2);
  const std::uint32_t dateAt = exifIfd + 2 + 12 + 4;
  std::string t = "II";
  Put16le(t, 42);
  Put32le(t, ifd0);
  Put16le(t, n0);
  if (exif.Orientation) Entry(t, 0x0112, 3, 1, static_cast<std::uint32_t>(exif.Orientation));
  if (!exif.Software.empty()) Entry(t, 0x0131, 2, softwareLen, software);
  if (hasDate) Entry(t, 0x8769, 4, 1, exifIfd);
  Put32le(t, 0);
  if (softwareLen) {
    t += exif.Software;
    t.push_back('\0');
    if (softwareLen % 2) t.push_back('\0');
  }
  if (hasDate) {
    Put16le(t, 1);
    Entry(t, 0x9003, 2, static_cast<std::uint32_t>(exif.DateTimeOriginal.size() + 1), dateAt);
    Put32le(t, 0);
    t += exif.DateTimeOriginal;
    t.push_back('\0');
  }
  return t;
}

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void PngChunk(std::string& s, const std::string& type, const std::string& data) {
  Put32be(s, static_cast<std::uint32_t>(data.size()));
  s += type + data;
  Put32be(s, Crc32(type + data));
}

}  // namespace

std::string MakeJpeg(int width, int height, const ExifSpec& exif) {
  std::string s = "\xFF\xD8";
  if (!exif.DateTimeOriginal.empty() || !exif.Software.empty() || exif.Orientation)
    Segment(s, 0xE1, std::string("Exif\0\0", 6) + ExifTiff(exif));
  // One quantisation table of ones.
  Segment(s, 0xDB, std::string(1, '\0') + std::string(64, '\1'));
  // Baseline frame, one 8-bit component.
  std::string frame(1, '\x08');
  Put16be(frame, static_cast<unsigned>(height));
  Put16be(frame, static_cast<unsigned>(width));
  frame += std::string("\x01\x01\x11\x00", 4);
  Segment(s, 0xC0, frame);
  // Huffman tables of one code each: DC difference category 0, AC end of
  // block. Every 8x8 block is then the two bits "00": a flat grey block.
  std::string dc(1, '\x00'), ac(1, '\x10');
  for (std::string* t : {&dc, &ac}) {
    *t += '\x01';
    *t += std::string(15, '\0');
    *t += '\0';
  }
  Segment(s, 0xC4, dc);
  Segment(s, 0xC4, ac);
  Segment(s, 0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));
  const std::size_t blocks = static_cast<std::size_t>((width + 7) / 8) * static_cast<std::size_t>((height + 7) / 8);
  const std::size_t bits = blocks * 2;
  s += std::string(bits / 8, '\0');
  // The last byte's unused bits are ones.
  if (bits % 8) s.push_back(static_cast<char>(0xFF >> (bits % 8)));
  s += "\xFF\xD9";
  return s;
}

std::string MakePng(int width, int height) {
  std::string s = "\x89PNG\r\n\x1A\n";
  std::string ihdr;
  Put32be(ihdr, static_cast<std::uint32_t>(width));
  Put32be(ihdr, static_cast<std::uint32_t>(height));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  PngChunk(s, "IHDR", ihdr);
  PngChunk(s, "IEND", "");
  return s;
}

std::string MakeTiff(int width, int height) {
  std::string s = "II";
  Put16le(s, 42);
  Put32le(s, 8);
  Put16le(s, 2);
  Entry(s, 0x0100, 4, 1, static_cast<std::uint32_t>(width));
  Entry(s, 0x0101, 4, 1, static_cast<std::uint32_t>(height));
  Put32le(s, 0);
  return s;
}

std::string PhotoRecordXml(const PhotoSpec& p) {
  std::string x = "<写真情報>\n<写真ファイル情報>\n<シリアル番号>" + p.Serial + "</シリアル番号>\n<写真ファイル名>" + p.FileName +
                  "</写真ファイル名>\n<メディア番号>" + p.MediaNo + "</メディア番号>\n</写真ファイル情報>\n<撮影工種区分>\n<写真-大分類>" +
                  p.MajorClass + "</写真-大分類>\n<写真区分>" + p.Division + "</写真区分>\n<写真タイトル>" + p.Title +
                  "</写真タイトル>\n</撮影工種区分>\n";
  for (const std::string& d : p.Drawings)
    x += "<付加情報>\n<参考図ファイル名>" + d + "</参考図ファイル名>\n<参考図タイトル>位置図</参考図タイトル>\n</付加情報>\n";
  x += "<撮影情報>\n<撮影年月日>" + p.Date + "</撮影年月日>\n</撮影情報>\n<代表写真>" + p.Representative + "</代表写真>\n<提出頻度写真>" +
       p.Frequency + "</提出頻度写真>\n</写真情報>\n";
  return x;
}

std::string PhotoXml(const std::vector<PhotoSpec>& records, const std::string& photoFolder) {
  std::string x = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!DOCTYPE photodata SYSTEM \"PHOTO05.DTD\">\n"
                  "<photodata DTD_version=\"05\">\n<基礎情報>\n<写真フォルダ名>" + photoFolder +
                  "</写真フォルダ名>\n<参考図フォルダ名>PHOTO/DRA</参考図フォルダ名>\n<適用要領基準>土木202303-01</適用要領基準>\n</基礎情報>\n";
  for (const PhotoSpec& p : records) x += PhotoRecordXml(p);
  return x + "</photodata>\n";
}

std::string IndexXml(int mediaNo, int mediaCount, const std::string& start, const std::string& end) {
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<constdata DTD_version=\"04\">\n<基礎情報>\n<メディア番号>" +
         std::to_string(mediaNo) + "</メディア番号>\n<メディア総枚数>" + std::to_string(mediaCount) +
         "</メディア総枚数>\n<写真フォルダ名>PHOTO</写真フォルダ名>\n</基礎情報>\n<工事件名等>\n<工事番号>1</工事番号>\n<工事名称>写真テスト工事</工事名称>\n"
         "<工期開始日>" + start + "</工期開始日>\n<工期終了日>" + end + "</工期終了日>\n</工事件名等>\n</constdata>\n";
}

}  // namespace dlvr::test
