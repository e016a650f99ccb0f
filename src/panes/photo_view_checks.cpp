#include "panes/photo_view.h"

#include <QCoreApplication>
#include <QSignalBlocker>

#include <algorithm>
#include <map>

#include "components/preview_view.h"
#include "components/qt_string.h"
#include "delivery/store.h"
#include "panes/delivery_check.h"
#include "platform/text.h"

#include "panes/photo_view_internal.h"

// The photo window's reading and checking: the management files read off
// the GUI thread, what could not be read, the photo checks' findings, their
// report, and a finding's photo opened.

namespace dlvr {

using namespace photo_view_detail;

namespace {

// "1, 3" for media numbers.
QString Numbers(const std::vector<int>& numbers) {
  QStringList list;
  for (int n : numbers) list << QString::number(n);
  return list.join(QStringLiteral(", "));
}

}  // namespace

void TfrmPhotoView::Refresh() {
  const int generation = ++generation_;
  TMdlTreeView& view = model_.View;
  std::vector<TPhotoMedium> media;
  reachable_.clear();
  for (const TMdlTreeView::TLoadedMedium& m : view.ReachableMedia()) {
    media.push_back({m.MediaNo, m.Folder});
    reachable_.push_back(m.MediaNo);
  }
  unreachable_.clear();
  for (int n : view.LoadedMedia())
    if (std::find(reachable_.begin(), reachable_.end(), n) == reachable_.end()) unreachable_.push_back(n);
  notLoaded_.clear();
  period_ = {};
  QString title = QCoreApplication::translate("TfrmPhotoView", "写真閲覧");
  const DeliveryStore& store = view.Store();
  if (store.IndexRecords.size() > fkIndex) {
    const TMdlTreeNodeIndex& index = store.IndexRecords[fkIndex];
    period_ = {index.StartDate, index.EndDate};
    const long total = std::max(1L, WholeNumber(index.MediaCount));
    const std::vector<int>& loaded = view.LoadedMedia();
    for (int n = 1; n <= total && !loaded.empty(); ++n)
      if (std::find(loaded.begin(), loaded.end(), n) == loaded.end()) notLoaded_.push_back(n);
    if (!index.KojiName.empty()) title += QStringLiteral(" - ") + Q(index.KojiName);
  }
  setWindowTitle(title);
  lblPeriod->setText(
      QCoreApplication::translate("TfrmPhotoView", "工期: %1 ～ %2")
          .arg(period_.Start.empty() ? QCoreApplication::translate("TfrmPhotoView", "（なし）") : Q(period_.Start),
               period_.End.empty() ? QCoreApplication::translate("TfrmPhotoView", "（なし）") : Q(period_.End)));

  // What was shown goes at once.
  CloseFull();
  loading_ = true;
  checking_ = false;
  store_.reset();
  findings_.clear();
  index_.Build({});
  listModel_->SetStore(nullptr, {});
  tvwGroups->clear();
  tblChecks->setRowCount(0);
  lblChecks->setText(QCoreApplication::translate("TfrmPhotoView", "写真チェック"));
  ShowDetails(-1);
  lblNotice->setText(QCoreApplication::translate("TfrmPhotoView", "写真管理ファイルを読み込んでいます..."));
  lblNotice->show();
  UpdateCount();

  // The records and what filtering and sorting need of them.
  RunInBackground<TRead>(
      this,
      [media] {
        auto store = std::make_shared<TPhotoStore>();
        store->Load(media);
        auto index = std::make_shared<TPhotoIndex>();
        index->Build(store->Records());
        return TRead{store, index};
      },
      [this, generation](const TRead& read) {
        if (generation == generation_) StoreRead(read);
      });
}

void TfrmPhotoView::StoreRead(const TRead& read) {
  loading_ = false;
  store_ = read.Store;
  index_ = *read.Index;
  listModel_->SetStore(store_, reachable_);
  // The date range starts as the photos' own.
  QDate first, last;
  for (int i = 0; i < index_.Count(); ++i) {
    const QDate d = index_.Date(i);
    if (!d.isValid()) continue;
    if (!first.isValid() || d < first) first = d;
    if (!last.isValid() || d > last) last = d;
  }
  {
    QSignalBlocker a(dtpFrom), b(dtpTo);
    if (!chkDateFrom->isChecked()) dtpFrom->setDate(first.isValid() ? first : QDate::currentDate());
    if (!chkDateTo->isChecked()) dtpTo->setDate(last.isValid() ? last : QDate::currentDate());
  }
  ApplyFilter();
  UpdateNotice();
  if (!pendingPhoto_.isEmpty()) ShowPhotoFile(pendingPhoto_, pendingMedium_);
  emit Loaded();
  StartCheck();
}

void TfrmPhotoView::StartCheck() {
  if (store_->Empty()) {
    FillChecks();
    emit Checked();
    return;
  }
  checking_ = true;
  lblChecks->setText(QCoreApplication::translate("TfrmPhotoView", "写真チェック: 確認しています..."));
  const int generation = generation_;
  RunInBackground<std::vector<TPhotoFinding>>(
      this, [store = store_, period = period_] { return CheckPhotos(*store, period); },
      [this, generation](const std::vector<TPhotoFinding>& findings) {
        if (generation != generation_) return;
        checking_ = false;
        findings_ = findings;
        FillChecks();
        emit Checked();
      });
}

void TfrmPhotoView::FillChecks() {
  tblChecks->setRowCount(static_cast<int>(findings_.size()));
  for (std::size_t i = 0; i < findings_.size(); ++i) {
    const TPhotoFinding& f = findings_[i];
    const int row = static_cast<int>(i);
    auto* name = new QTableWidgetItem(Q(f.FileName));
    name->setData(Qt::UserRole, f.Record);
    name->setData(Qt::UserRole + 1, Q(f.Path));
    tblChecks->setItem(row, 0, name);
    tblChecks->setItem(row, 1, new QTableWidgetItem(Q(f.Field)));
    auto* state = new QTableWidgetItem(Q(f.State));
    state->setToolTip(Q(f.State));
    tblChecks->setItem(row, 2, state);
  }
  // Each record's findings mark its thumbnail.
  std::vector<int> counts(store_ ? store_->Records().size() : 0, 0);
  for (const TPhotoFinding& f : findings_)
    if (f.Record >= 0 && static_cast<std::size_t>(f.Record) < counts.size()) ++counts[static_cast<std::size_t>(f.Record)];
  listModel_->SetFindingCounts(std::move(counts));
  for (QToolButton* b : {tlbChecksPrint, tlbChecksCsv, tlbChecksPdf}) b->setEnabled(!findings_.empty());
  lblChecks->setText(findings_.empty()
                         ? QCoreApplication::translate("TfrmPhotoView", "写真チェック: 指摘はありません。")
                         : QCoreApplication::translate("TfrmPhotoView", "写真チェック: %1件").arg(findings_.size()));
}

void TfrmPhotoView::UpdateNotice() {
  QStringList lines;
  if (store_->Empty())
    lines << QCoreApplication::translate("TfrmPhotoView",
                                         "読み込まれたメディアに写真管理ファイル（PHOTO.XML）がありません。");
  for (const TPhotoFile& f : store_->Files())
    if (f.Broken)
      lines << QCoreApplication::translate(
                   "TfrmPhotoView", "%1 は %2行目で読めなくなりました（%3）。それまでに読めた%4件を表示しています。")
                   .arg(Q(f.XmlPath), QString::number(f.BrokenLine), Q(f.BrokenReason), QString::number(f.RecordCount));
  // Photos whose file is on a medium that is not loaded, or no longer in its drive.
  std::map<int, int> elsewhere;
  for (std::size_t i = 0; i < store_->Records().size(); ++i)
    if (!store_->Records()[i].Exists && listModel_->State(static_cast<int>(i)) == TPhotoListModel::Elsewhere)
      ++elsewhere[static_cast<int>(WholeNumber(store_->Records()[i].MediaNo))];
  if (!unreachable_.empty())
    lines << QCoreApplication::translate("TfrmPhotoView",
                                         "%1枚目のメディアは、読み込んだ後にドライブで別のメディアと入れ替えられたため"
                                         "、その写真は表示できません。")
                 .arg(Numbers(unreachable_));
  for (auto [medium, count] : elsewhere) {
    const bool swapped = std::find(unreachable_.begin(), unreachable_.end(), medium) != unreachable_.end();
    lines << QCoreApplication::translate("TfrmPhotoView", "%1件の写真のファイルは%2枚目のメディアにあります（%3）。")
                 .arg(QString::number(count), QString::number(medium),
                      swapped ? QCoreApplication::translate("TfrmPhotoView", "ドライブから取り出されています")
                              : QCoreApplication::translate("TfrmPhotoView", "読み込まれていません"));
  }
  lblNotice->setText(lines.join(u'\n'));
  lblNotice->setVisible(!lines.isEmpty());
}

std::vector<TFinding> TfrmPhotoView::FindingsForReport() const {
  std::vector<TFinding> out;
  out.reserve(findings_.size());
  for (const TPhotoFinding& f : findings_) {
    TFinding r;
    r.Severity = f.Warning ? TSeverity::Warning : TSeverity::Error;
    std::string path = f.Path.empty() ? f.FileName : f.Path;
    // Paths relative to their medium, as the delivery check gives them.
    if (store_)
      for (const TPhotoFile& file : store_->Files())
        if (!file.MediumFolder.empty() && path.rfind(file.MediumFolder, 0) == 0) {
          path = path.substr(file.MediumFolder.size());
          if (file.MediaNo > 0) r.Medium = std::to_string(file.MediaNo);
          break;
        }
    r.Path = path;
    r.Rule = f.Field;
    r.Found = f.State;
    out.push_back(std::move(r));
  }
  return out;
}

void TfrmPhotoView::ChecksExport(int kind) {
  TFindingExport e;
  e.Findings = FindingsForReport();
  if (!model_.View.MediaFolder().empty()) e.MediaFolders << Q(model_.View.MediaFolder());
  for (const auto& m : model_.View.ReachableMedia()) e.MediaFolders << Q(m.Folder);
  e.Name = QCoreApplication::translate("TfrmPhotoView", "写真チェック結果");
  e.Parent = this;
  if (kind == 0)
    e.PrintClick();
  else
    e.ExportClick(kind == 2);
}

void TfrmPhotoView::FindingActivated(int row) {
  QTableWidgetItem* item = tblChecks->item(row, 0);
  if (!item) return;
  const int record = item->data(Qt::UserRole).toInt();
  if (record >= 0 && ShowRecord(record)) {
    lvwPhotos->setFocus();
    return;
  }
  // A file no record names: shown as it is.
  const QString path = item->data(Qt::UserRole + 1).toString();
  if (path.isEmpty()) return;
  stkView->setCurrentWidget(pgFull);
  fullRecord_ = -1;
  lblFullTitle->setText(
      QCoreApplication::translate("TfrmPhotoView", "写真管理ファイルにないファイル: %1").arg(item->text()));
  lblPosition->clear();
  lblFullNote->hide();
  pvwPhoto->Navigate(path);
  pgFull->setFocus();
}

}  // namespace dlvr
