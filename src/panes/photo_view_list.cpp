#include "panes/photo_view.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSignalBlocker>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "components/qt_string.h"
#include "platform/text.h"

#include "panes/photo_view_internal.h"

// The photo window's list: the rows the filter and the order give, the
// count, a record or a photo file selected, and the thumbnails decoded for
// the rows on and near the screen.

namespace dlvr {

using namespace photo_view_detail;

namespace {

// "10,000".
QString Grouped(long long n) {
  QLocale locale = QLocale::c();
  locale.setNumberOptions(QLocale::DefaultNumberOptions);
  return locale.toString(n);
}

}  // namespace

void TfrmPhotoView::UpdateRows() {
  const int keep = CurrentRecord();
  std::vector<int> rows = store_ ? index_.Select(filter_) : std::vector<int>();
  index_.Sort(rows, static_cast<TPhotoSort>(std::max(0, cbxSort->currentIndex())));
  listModel_->SetRows(std::move(rows));
  int row = listModel_->RowOf(keep);
  if (row < 0 && listModel_->rowCount() > 0) row = 0;
  if (row >= 0) {
    lvwPhotos->setCurrentIndex(listModel_->index(row));
    lvwPhotos->scrollTo(listModel_->index(row));
  } else {
    ShowDetails(-1);
  }
  if (FullShown()) {
    if (row >= 0)
      ShowFullRecord(listModel_->RecordAt(row));
    else
      CloseFull();
  }
  UpdateCount();
}

void TfrmPhotoView::UpdateCount() {
  const int total = store_ ? static_cast<int>(store_->Records().size()) : 0;
  lblCount->setText(QCoreApplication::translate("TfrmPhotoView", "表示 %1 / 全 %2 枚")
                        .arg(Grouped(listModel_->rowCount()), Grouped(total)));
}

bool TfrmPhotoView::ShowPhotoFile(const QString& relativePath, int medium) {
  if (loading_ || !store_) {
    pendingPhoto_ = relativePath;
    pendingMedium_ = medium;
    return false;
  }
  // (`relativePath` may be the pending path itself: read before it goes.)
  const std::string wanted = relativePath.toStdString();
  pendingPhoto_.clear();
  const std::size_t slash = wanted.find_last_of('/');
  const std::string name = slash == std::string::npos ? wanted : wanted.substr(slash + 1);
  // The file's path ends in the path asked for, on its medium.
  auto same = [&](const std::string& path, const std::string& fileName, int fileIndex) {
    if (!EqualsNoCase(fileName, name)) return false;
    const auto& files = store_->Files();
    if (fileIndex >= 0 && static_cast<std::size_t>(fileIndex) < files.size()) {
      const TPhotoFile& f = files[static_cast<std::size_t>(fileIndex)];
      if (medium > 0 && f.MediaNo > 0 && f.MediaNo != medium && path.empty()) return false;
    }
    return path.empty() || (path.size() >= wanted.size() &&
                            EqualsNoCase(std::string_view(path).substr(path.size() - wanted.size()), wanted));
  };
  const auto& records = store_->Records();
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t i = 0; i < records.size(); ++i) {
      const TPhotoRecord& r = records[i];
      bool hit = pass == 0 ? same(r.Path, r.FileName, r.FileIndex) : false;
      if (pass == 1)
        for (const TPhotoReference& ref : r.References) hit = hit || same(ref.Path, ref.FileName, r.FileIndex);
      if (hit && ShowRecord(static_cast<int>(i))) {
        lvwPhotos->setFocus();
        return true;
      }
    }
  return false;
}

int TfrmPhotoView::CurrentRecord() const { return listModel_->RecordAt(lvwPhotos->currentIndex().row()); }

bool TfrmPhotoView::ShowRecord(int record) {
  if (!store_ || record < 0 || static_cast<std::size_t>(record) >= store_->Records().size()) return false;
  if (listModel_->RowOf(record) < 0) {
    // The group or the filter hides it: every photo is shown again.
    for (QCheckBox* c : {chkDateFrom, chkDateTo, chkRepresentative, chkFrequency}) {
      QSignalBlocker block(c);
      c->setChecked(false);
    }
    dtpFrom->setEnabled(false);
    dtpTo->setEnabled(false);
    {
      QSignalBlocker block(edtFilter);
      edtFilter->clear();
    }
    filter_.Group.clear();
    ApplyFilter();
  }
  const QModelIndex index = listModel_->index(listModel_->RowOf(record));
  if (!index.isValid()) return false;
  CloseFull();
  lvwPhotos->setCurrentIndex(index);
  lvwPhotos->scrollTo(index, QAbstractItemView::PositionAtCenter);
  return true;
}

// ---------------------------------------------------------------------------
// Thumbnails near the screen

void TfrmPhotoView::ScheduleVisibleRows() {
  if (!visibleTimer_->isActive()) visibleTimer_->start();
}

void TfrmPhotoView::UpdateVisibleRows() {
  const int count = listModel_->rowCount();
  if (count == 0 || !lvwPhotos->isVisible() || FullShown()) {
    listModel_->SetVisibleRows(-1, -1);
    return;
  }
  auto rect = [this](int row) { return lvwPhotos->visualRect(listModel_->index(row)); };
  // Not laid out yet: the view does that on its next turn.
  if (rect(0).isEmpty()) {
    visibleTimer_->start();
    return;
  }
  // Rows run left to right, top to bottom: the first whose cell reaches
  // into the viewport, the last whose cell starts above its bottom.
  const int height = lvwPhotos->viewport()->height();
  int lo = 0, hi = count - 1;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (rect(mid).bottom() < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  const int first = lo;
  hi = count - 1;
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (rect(mid).top() < height)
      lo = mid;
    else
      hi = mid - 1;
  }
  listModel_->SetVisibleRows(first, lo);
}

}  // namespace dlvr
