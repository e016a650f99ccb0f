// The photo ledger (写真帳): the photos of a delivery printed on A4 portrait
// pages, two, three or four a page, each photo at the left scaled into its
// box (aspect kept, EXIF orientation applied) and its fields at the right:
// 写真-大分類, 写真区分, 工種, 種別, 細別, 写真タイトル, 撮影箇所, 撮影年月日,
// 代表写真 and 提出頻度写真 marks and the reference drawings' names (the first
// drawing itself in a box below the fields, as an option). Each page has a
// header with 工事名称 and 工事番号 and a footer with "N / M" and the print
// date. A photo that is missing or cannot be read prints as a framed box
// that says why, never as a blank.
//
// Pages are painted one after the other on any paged device (a printer, a
// PDF writer); photos are decoded at their printed size (200 dpi in the box
// by default) on worker threads a bounded number ahead of the page being
// painted, so memory stays bounded whatever the number of photos. Qt Gui only.
//
// Thread affinity: the painting calls run on the calling thread (the GUI
// thread or the tool's main thread); the decoding threads they start touch
// only image files and end before the call returns.
#pragma once

#include <QDate>
#include <QImage>
#include <QPagedPaintDevice>
#include <QString>

#include <functional>
#include <vector>

#include "components/photo_rules.h"
#include "photo/photo_records.h"

namespace dlvr {

struct TPhotoLedgerOptions {
  int PerPage = 3;            // photos a page: 2, 3 or 4 (anything else counts as 3)
  bool GroupPerPage = false;  // a group (its whole path) begins on a new page
  bool DrawingBox = false;    // the first reference drawing in a box below the fields
  QString ProjectName;        // 工事名称 in the header
  QString ProjectNumber;      // 工事番号 in the header
  QDate PrintDate;            // the footer's date; today when null
  int ImageDpi = 200;         // resolution of the images in their boxes
  int Workers = 0;            // decoding threads; 0: as many as the machine has cores
  // Told after each page is painted (pages done, pages in all); returning
  // false stops the ledger there.
  std::function<bool(int, int)> Progress;
};

// A photo printed as a box with the reason instead of its image.
struct TPhotoLedgerProblem {
  int Record = -1;   // index into the store's records
  QString Reason;    // in the user's language
};

struct TPhotoLedgerResult {
  bool Written = false;  // every page was painted (and, for a file, the file written)
  int Pages = 0;         // pages painted
  std::vector<TPhotoLedgerProblem> Unplaced;  // in printed order
};

// The records of each page, in printed order: `rows` (record indexes, in
// the order they are printed) cut into pages of the options' size, a new
// page at each change of group when the options ask for it. No page when
// `rows` is empty.
std::vector<std::vector<int>> PhotoLedgerPages(const TPhotoIndex& index, const std::vector<int>& rows,
                                               const TPhotoLedgerOptions& options);

// Paints the ledger of `rows` (record indexes of `store`, in printed order;
// `index` built on the same store's records) on `device`, set to A4
// portrait before the first page. Written is false when painting could not
// start or Progress stopped it (a printer's job is then left for the caller
// to abort).
TPhotoLedgerResult PaintPhotoLedger(QPagedPaintDevice& device, const TPhotoStore& store, const TPhotoIndex& index,
                                    const std::vector<int>& rows, const TPhotoLedgerOptions& options);

// A photo or drawing decoded for a box of `box` pixels: scaled to fit it
// with its aspect kept (never enlarged), EXIF orientation applied; null when
// the file is not a regular file or cannot be read as an image. A JPEG is
// decoded by the decoder's own scaling (eighths of its size) to the nearest
// size at or above the box and then resampled to the box; the full photo is
// never held. Runs on any thread.
QImage DecodeLedgerImage(const QString& path, QSize box);

// Writes the ledger as a PDF file, beside `path` and renamed over it (a
// failed ledger leaves an old file as it was). Written is false when the
// file cannot be written or Progress stopped it.
TPhotoLedgerResult WritePhotoLedgerPdf(const QString& path, const TPhotoStore& store, const TPhotoIndex& index,
                                       const std::vector<int>& rows, const TPhotoLedgerOptions& options);

}  // namespace dlvr
