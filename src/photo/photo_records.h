// The photo management file (PHOTO/PHOTO.XML) of a delivery: its records as
// read, across media, with the photo files they name. Every field holds the
// text as read (UTF-8), never converted to numbers or dates. Readers never
// throw; a broken file keeps what was read before the break.
//
// Every version of the file is read alike: the known elements by name
// wherever they stand inside a 写真情報, anything else kept as an extra
// field. The file is decoded as Shift-JIS (CP932) unless its declaration
// names UTF-8, then parsed as a stream that loads nothing (no DTD, no
// external entity, nothing from the network) within libxml2's depth and
// entity limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dlvr {

// An element the reader does not know, kept as it stands: its name (the
// path below the photo record, "撮影情報/風向" say) and its text.
struct TPhotoExtra {
  std::string Element;
  std::string Value;
};

// A reference drawing of a photo (付加情報, repeatable).
struct TPhotoReference {
  std::string FileName;      // 参考図ファイル名
  std::string JapaneseName;  // 参考図ファイル日本語名
  std::string Title;         // 参考図タイトル
  std::vector<std::string> Spares;  // 付加情報予備
  // The drawing file: a regular file in the reference-drawing folder of a
  // loaded medium, looked for as the photo file is ("" when there is none).
  std::string Path;
};

// One 写真情報 element.
struct TPhotoRecord {
  // 写真ファイル情報
  std::string Serial;        // シリアル番号
  std::string FileName;      // 写真ファイル名
  std::string JapaneseName;  // 写真ファイル日本語名
  std::string MediaNo;       // メディア番号
  // 撮影工種区分
  std::string MajorClass;    // 写真-大分類
  std::string Division;      // 写真区分
  std::string WorkType;      // 工種
  std::string Kind;          // 種別
  std::string Detail;        // 細別
  std::string Title;         // 写真タイトル
  std::vector<std::string> ClassSpares;  // 工種区分予備
  std::vector<TPhotoReference> References;  // 付加情報
  // 撮影情報
  std::string Place;         // 撮影箇所
  std::string Date;          // 撮影年月日
  std::string Representative;  // 代表写真
  std::string Frequency;       // 提出頻度写真
  std::string ControlValue;    // 施工管理値
  std::string Explanation;     // 請負者説明文 (受注者説明文 in later texts)
  std::vector<TPhotoExtra> Extra;  // unknown elements, in file order

  // Where it came from: the index of its file in TPhotoStore::Files() and
  // its line in that file (1-based).
  int FileIndex = 0;
  int Line = 0;
  // The photo file: a regular file inside its medium in the photo folder of
  // a loaded medium (the medium of メディア番号 first, then the medium of the
  // record's PHOTO.XML, then the others in load order), "" when there is
  // none or 写真ファイル名 is no plain name (a path separator, "..").
  // Exists == !Path.empty().
  std::string Path;
  bool Exists = false;
};

// One medium's PHOTO.XML.
struct TPhotoFile {
  int MediaNo = 0;            // the medium's number from its INDEX_C.XML (0 when unknown)
  std::string MediumFolder;   // with trailing '/'
  std::string XmlPath;        // the PHOTO.XML read
  std::string PhotoFolder;    // PIC folder resolved (写真フォルダ名, else PHOTO/PIC), trailing '/', "" when absent
  std::string DrawingFolder;  // DRA folder resolved (参考図フォルダ名, else PHOTO/DRA), trailing '/', "" when absent
  std::string DtdVersion;     // the root's DTD_version attribute
  std::string Standard;       // 基礎情報/適用要領基準
  // Every field outside the photo records, in file order: those of 基礎情報
  // by their name ("写真フォルダ名"), any other by its path below the root
  // ("工事情報/工事番号", "ソフトメーカ用TAG").
  std::vector<TPhotoExtra> BaseInfo;
  // Not well-formed, unreadable, or cut at the reader's bounds (far above
  // any real file: 200,000 records, a million other fields): the records
  // hold what came before, BrokenLine (0 when unknown) and BrokenReason
  // say where and why.
  bool Broken = false;
  int BrokenLine = 0;
  std::string BrokenReason;
  std::size_t FirstRecord = 0, RecordCount = 0;  // its records in TPhotoStore::Records()
  // Records an earlier medium's PHOTO.XML already listed (the same シリアル
  //番号, 写真ファイル名 and メディア番号): every medium of a delivery may
  // carry the whole list, and a photo is kept once, from the first file that
  // lists it.
  std::size_t Repeated = 0;
};

// A medium to read: its number and folder.
struct TPhotoMedium {
  int MediaNo = 0;
  std::string Folder;
};

// A loaded medium with the photo folders resolved on it: those its own
// PHOTO.XML names, else those the first PHOTO.XML read names, else
// PHOTO/PIC and PHOTO/DRA. Folders end in '/', "" when absent.
struct TPhotoMediumFolders {
  int MediaNo = 0;
  std::string Folder;
  std::string PhotoFolder;
  std::string DrawingFolder;
  int FileIndex = -1;  // its PHOTO.XML in TPhotoStore::Files(), -1 when it has none
};

// Reads the bytes of one PHOTO.XML into `file` (its version, base fields
// and break) and appends its records to `records` (FileIndex left 0, no
// paths resolved). For the store, tests and fuzzing.
void ParsePhotoXml(std::string_view bytes, TPhotoFile& file, std::vector<TPhotoRecord>& records);

// The photo records of every loaded medium that has a PHOTO.XML, media in
// the order given, records in file order.
class TPhotoStore {
 public:
  // Reads each medium's PHOTO/PHOTO.XML (names matched without regard to
  // ASCII case, inside the medium only). Replaces what was read before.
  void Load(const std::vector<TPhotoMedium>& media);
  const std::vector<TPhotoFile>& Files() const { return files_; }
  const std::vector<TPhotoRecord>& Records() const { return records_; }
  // Every medium given to Load, in that order (the same folder given twice
  // counts once).
  const std::vector<TPhotoMediumFolders>& Media() const { return media_; }
  bool Empty() const { return files_.empty(); }

 private:
  std::vector<TPhotoFile> files_;
  std::vector<TPhotoRecord> records_;
  std::vector<TPhotoMediumFolders> media_;
};

}  // namespace dlvr
