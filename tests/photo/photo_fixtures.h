// Image files and photo management files made inside the tests: small but
// valid JPEGs (a flat grey picture of any size, with an EXIF block when
// asked), PNG and TIFF heads, and PHOTO.XML text.
#pragma once

#include <string>
#include <vector>

namespace dlvr::test {

struct ExifSpec {
  std::string DateTimeOriginal;  // "YYYY:MM:DD HH:MM:SS", none when empty
  std::string Software;          // none when empty
  int Orientation = 0;           // none when 0
};

// A baseline greyscale JPEG of the given size that decoders show as flat
// grey, with an APP1 EXIF block holding what `exif` gives (none when it
// gives nothing).
std::string MakeJpeg(int width, int height, const ExifSpec& exif = ExifSpec());

// A PNG of the given size (header and end only).
std::string MakePng(int width, int height);

// A little-endian TIFF head with the given size.
std::string MakeTiff(int width, int height);

// One 写真情報 element as a photo record of the newest version writes it.
struct PhotoSpec {
  std::string Serial;
  std::string FileName;
  std::string MediaNo = "1";
  std::string MajorClass = "工事";
  std::string Division = "施工状況写真";
  std::string Title = "掘削状況";
  std::string Date = "2024-05-10";
  std::string Representative = "0";
  std::string Frequency = "1";
  std::vector<std::string> Drawings;  // 参考図ファイル名, one 付加情報 each
};
std::string PhotoRecordXml(const PhotoSpec& spec);

// A whole PHOTO.XML of version 05 (UTF-8 text, to be written as Shift-JIS)
// with those records.
std::string PhotoXml(const std::vector<PhotoSpec>& records, const std::string& photoFolder = "PHOTO/PIC");

// INDEX_C.XML of a medium with its number, the media count and the period.
std::string IndexXml(int mediaNo, int mediaCount, const std::string& start, const std::string& end);

}  // namespace dlvr::test
