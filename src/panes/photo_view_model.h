// The photo viewer's grid: the records it shows as a flat list model, the
// thumbnails decoded off the GUI thread at reduced scale and kept in a
// bounded cache, the delegate that paints a grid cell, and the rules by which
// records are filtered, grouped and sorted.
//
// Thread affinity: every class here lives on the GUI thread; only
// DecodeThumbnail runs on the loader's worker threads (it touches no widget).
#pragma once

#include <QAbstractListModel>
#include <QDate>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>

#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "components/photo_rules.h"
#include "photo/photo_records.h"

namespace dlvr {

// --- thumbnails ------------------------------------------------------------

// Decodes thumbnails on worker threads, a few at a time, most wanted first,
// and keeps them in a cache bounded in bytes (least recently used go first).
// A thumbnail is cached under its path; when a new generation starts (a
// reload), a cached one is used again only while its file's size and
// modification time are unchanged. GUI thread only; it never waits for a
// decode, not even when it is destroyed (a decode still running is left to
// end on its own and its result dropped).
class TThumbnailLoader : public QObject {
  Q_OBJECT
 public:
  // `box`: the largest thumbnail in device-independent pixels; decoded at
  // `ratio` device pixels to one.
  TThumbnailLoader(QSize box, qreal ratio, QObject* parent = nullptr);
  ~TThumbnailLoader() override;

  QSize Box() const { return box_; }
  // The cache's bound in bytes (pixels × 4 per thumbnail).
  qint64 CacheLimit = 64LL * 1024 * 1024;
  qint64 CacheBytes() const { return cacheBytes_; }
  int CacheCount() const { return static_cast<int>(cache_.size()); }

  // The cached thumbnail (marked most recently used); null when there is
  // none (yet) or the file could not be decoded.
  QPixmap Cached(const QString& path);
  // Whether the file was tried and could not be decoded.
  bool Failed(const QString& path) const;
  // The files wanted now, most urgent first: those not cached are decoded
  // in this order; earlier requests not among them are dropped (a decode
  // already running ends and is kept).
  void Want(const QStringList& paths);
  // Drops every request (a window closes, the list changes).
  void Cancel();
  // Starts a new generation: cached thumbnails are checked against their
  // files before they are used again.
  void NewGeneration() { ++generation_; }
  // Decodes running or waiting, and those done since the loader was made.
  int Pending() const { return running_ + static_cast<int>(queue_.size()); }
  int Decoded() const { return decoded_; }
  // The most decodes run at once.
  static int MaxRunning();

 signals:
  // A thumbnail was decoded (or found undecodable) for `path`.
  void Ready(const QString& path);

 private:
  struct Sink;
  struct Entry {
    QPixmap Pixmap;
    bool Failed = false;
    qint64 Bytes = 0;
    qint64 Size = 0, Modified = 0;
    int Checked = 0;  // the generation it was last checked in
    std::list<QString>::iterator Use;
  };
  void Pump();
  void Finished(const QString& path, const QImage& image, bool decoded, qint64 size, qint64 modified);
  void Insert(const QString& path, Entry entry);
  void Evict();
  Entry* Lookup(const QString& path);

  QSize box_;
  qreal ratio_ = 1;
  std::shared_ptr<Sink> sink_;
  std::deque<QString> queue_;
  QHash<QString, bool> runningPaths_;
  int running_ = 0;
  int decoded_ = 0;
  QHash<QString, Entry> cache_;
  std::list<QString> use_;  // most recent first
  qint64 cacheBytes_ = 0;
  int generation_ = 1;
};

// --- the list model --------------------------------------------------------

// The records shown in the grid, in the order given. Thumbnails are asked
// for by the view's visible rows (SetVisibleRows), never by painting.
class TPhotoListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  enum Role {
    RecordRole = Qt::UserRole + 1,  // int: index into the store's records
    StateRole,                      // int: TState
    ThumbnailRole,                  // QPixmap, null until decoded
    TitleRole,                      // QString: 写真タイトル (the file name when empty)
    DateRole,                       // QString: 撮影年月日 as written
    RepresentativeRole,             // bool: 代表写真
    FrequencyRole,                  // bool: 提出頻度写真
    MediumRole,                     // int: メディア番号 (0 when none)
    FindingsRole,                   // int: the photo checks' findings on the record
  };
  enum TState {
    Loading = 0,     // the thumbnail is not decoded yet
    Ready = 1,       // the thumbnail is there
    Unreadable = 2,  // the file is there but is no image that can be shown
    Missing = 3,     // no file on the media that are loaded and reachable
    Elsewhere = 4,   // no file here; its medium is not loaded or no longer in the drive
  };

  explicit TPhotoListModel(TThumbnailLoader& loader, QObject* parent = nullptr);

  // The store shown and which media numbers can be reached (a record of
  // another medium without its file is Elsewhere rather than Missing).
  void SetStore(std::shared_ptr<const TPhotoStore> store, std::vector<int> reachableMedia);
  // The records shown, in order (a reset).
  void SetRows(std::vector<int> rows);
  const std::vector<int>& Rows() const { return rows_; }
  // The row of a record, -1 when it is not shown.
  int RowOf(int record) const;
  int RecordAt(int row) const;
  TState State(int record) const;
  // The photo checks' findings of each record (indexes into the store's
  // records; others count none); the rows shown are told.
  void SetFindingCounts(std::vector<int> counts);
  int FindingCount(int record) const;
  // The rows the view shows, first to last: their thumbnails are wanted
  // first, then the next screen below and the one above. (-1, -1): none
  // shown, nothing wanted.
  void SetVisibleRows(int first, int last);
  int FirstVisible() const { return firstVisible_; }
  int LastVisible() const { return lastVisible_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  void ThumbnailReady(const QString& path);

  TThumbnailLoader& loader_;
  std::shared_ptr<const TPhotoStore> store_;
  std::vector<int> reachable_;
  std::vector<int> rows_;
  int firstVisible_ = -1, lastVisible_ = -1;
  std::vector<int> rowOfRecord_;
  std::vector<int> findings_;
  QHash<QString, std::vector<int>> rowsOfPath_;
};

// Paints a grid cell: the thumbnail (or a mark for a missing, elsewhere or
// unreadable file) in a box, 代表 and 提出 tags, a red mark with the count
// at the box's top right for a photo with findings of the photo checks, the
// title and the date below.
class TPhotoItemDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  TPhotoItemDelegate(QSize box, QObject* parent = nullptr);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // The cell's size for a font.
  QSize CellSize(const QFontMetrics& metrics) const;

 private:
  QSize box_;
};

}  // namespace dlvr
