// The photo window's rules on photo records, shared by every view of the
// photos (the window's grid and groups, the printed ledger, the headless
// tool): dates and flags as read, the group a record belongs to, filtering
// and sorting, the order of the printed ledger, and an image decoded at a
// reduced size. Qt Gui only (no widget).
//
// Thread affinity: TPhotoIndex is built and asked on one thread at a time;
// DecodeThumbnail runs on any thread.
#pragma once

#include <QDate>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "photo/photo_records.h"

namespace dlvr {

// --- rules on records ------------------------------------------------------

// 撮影年月日 as a date: "YYYY-MM-DD" (also with '/' or '.' between the parts,
// or eight digits run together); an invalid QDate when it is no calendar date.
QDate PhotoDate(const std::string& text);

// Whether a flag field (代表写真, 提出頻度写真) is set: "1" (full-width too),
// blanks around it allowed.
bool PhotoFlag(const std::string& text);

// The group levels of the tree: 写真-大分類 › 写真区分 › 工種 › 種別 › 細別.
inline constexpr int kPhotoGroupLevels = 5;
// The group a record belongs to: its level values down to the last one that
// is given; a level left empty above a given one is "（なし）". A record
// without any level value belongs to no group (an empty path).
QStringList PhotoGroupPath(const TPhotoRecord& record);

// What the grid shows of the records.
struct TPhotoFilter {
  QString Text;          // in the title, 撮影箇所, 工種, 種別, 細別 and file names
  QDate From, To;        // 撮影年月日 range, each end optional (null: open)
  bool RepresentativeOnly = false;
  bool FrequencyOnly = false;
  QStringList Group;     // a group path prefix; empty: every group
  bool Active() const {
    return !Text.trimmed().isEmpty() || From.isValid() || To.isValid() || RepresentativeOnly || FrequencyOnly;
  }
};

enum class TPhotoSort { Serial = 0, Date = 1, Title = 2 };

// The records of a store prepared for filtering and sorting: the searchable
// text of each (width and case folded), its date, group and serial number.
class TPhotoIndex {
 public:
  void Build(const std::vector<TPhotoRecord>& records);
  // The records that pass the filter, in file order; with `ignoreGroup` the
  // group part is not looked at.
  std::vector<int> Select(const TPhotoFilter& filter, bool ignoreGroup = false) const;
  // Puts `rows` (record indexes) in the order asked for; ties keep file order.
  void Sort(std::vector<int>& rows, TPhotoSort sort) const;
  // Puts `rows` in the order the ledger prints them: by group, groups in
  // the order the window's group tree shows them (as they first come in
  // the file, a group's own photos before those of its subgroups, records
  // of no group first), each group's photos in `sort`.
  void SortGrouped(std::vector<int>& rows, TPhotoSort sort) const;
  const QStringList& Group(int i) const { return entries_[static_cast<std::size_t>(i)].Group; }
  QDate Date(int i) const { return entries_[static_cast<std::size_t>(i)].Date; }
  int Count() const { return static_cast<int>(entries_.size()); }

  // Folds text for matching: compatibility forms (full-width letters and
  // digits become ASCII) and case.
  static QString Fold(const QString& text);

 private:
  struct Entry {
    QString Haystack;
    QDate Date;
    QStringList Group;
    bool Representative = false, Frequency = false;
    bool SerialIsNumber = false;
    long long Serial = 0;
    QString SerialText, Title;
  };
  std::vector<Entry> entries_;
};

// Decodes an image file at most `box` large (aspect kept), with its EXIF
// orientation applied; JPEG is scaled by the decoder itself. Only a regular
// file is read. A null image when the file cannot be read as an image.
// Runs on any thread; touches no widget.
QImage DecodeThumbnail(const QString& path, QSize box);

}  // namespace dlvr
