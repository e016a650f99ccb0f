// The photo checks: what ordering authorities check on a delivery's photos.
// Each finding names the photo (or the stray file), the field and the rule.
#pragma once

#include <string>
#include <vector>

#include "photo/photo_records.h"

namespace dlvr {

// What a photo file's bytes say, read through the EXIF library (never by a
// hand-written parser). Unreadable or foreign files give Format "" or the
// format found by content.
struct TImageFacts {
  std::string Format;        // by content: "jpeg", "png", "tiff", "gif", "bmp", ... ("" unknown)
  int Width = 0, Height = 0; // pixels as stored (before orientation)
  int Orientation = 0;       // EXIF orientation 1-8, 0 when absent
  std::string DateTimeOriginal;  // EXIF "YYYY:MM:DD HH:MM:SS" as stored, "" when absent
  std::string Software;          // EXIF Software, "" when absent
};
TImageFacts ReadImageFacts(const std::string& path);

struct TPhotoFinding {
  std::string FileName;  // 写真ファイル名 / 参考図ファイル名, or the stray file's name
  std::string Field;     // 項目名: the element the rule is about ("写真ファイル名", "撮影年月日", ...)
  std::string State;     // 状態: what was found
                         // (both in the user's language, Japanese by default)
  int Record = -1;       // index into TPhotoStore::Records(), -1 for a file no record names
  std::string Path;      // the file concerned, when there is one
  // A warning rather than an error: a date outside the construction period
  // (photos may be taken before the work starts, 着手前), a photo or a
  // drawing on a medium not loaded, a pixel count outside the recommended
  // range.
  bool Warning = false;
};

// The construction period from INDEX_C.XML (工期開始日, 工期終了日, as
// read). A CCYY/MM/DD date counts as the CCYY-MM-DD it means; any other
// invalid date leaves that side open.
struct TPhotoCheckPeriod {
  std::string Start, End;
};

// The pixel count the standard recommends for a photo (100万–300万画素).
inline constexpr long kPhotoMinPixels = 1000000;
inline constexpr long kPhotoMaxPixels = 3000000;

// Every finding, records in store order (each file's own break after its
// records), then stray files by medium and name (the photo folder's, then
// the drawing folder's; each not listed, and its name not by the rule).
// Both the photo window, `dlvr photos --check` and the full delivery check
// judge photos by these rules alone. Per record: required fields left empty (what the
// file's version (DTD_version) requires: シリアル番号 and 写真ファイル名
// always; メディア番号, 写真-大分類 and 写真タイトル from 02; 撮影年月日 from
// 04; 代表写真 and 提出頻度写真 from 05; a file without a version is held to
// the newest), the photo file
// (its name: P + 7 digits + .JPG, in version 01 up to 80 upper-case letters,
// digits or '_' + .JPG; missing; not a JPEG by content; pixel count outside
// the range above; an image editor in EXIF Software; stored under a name
// that differs from 写真ファイル名 in case; named by an earlier record too:
// one finding on the first record naming the file, with the シリアル番号 of
// all), 撮影年月日 (not a CCYY-MM-DD date, outside the period, another day
// than EXIF DateTimeOriginal), 代表写真 and 提出頻度写真 other than 0 or 1
// (from 05), then each reference drawing (参考図ファイル名 empty, or
// its name not D + 7 digits + .JPG or .TIF, missing, stored in another case,
// neither JPEG nor TIFF by content; 参考図タイトル empty from 05). The image files
// are read on as many threads as the machine has cores; the result does not
// depend on it.
std::vector<TPhotoFinding> CheckPhotos(const TPhotoStore& store, const TPhotoCheckPeriod& period);

}  // namespace dlvr
