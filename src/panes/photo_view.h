// TfrmPhotoView: the photo viewer window "写真閲覧". It reads the photo
// management file (PHOTO.XML) of every medium of the loaded delivery that can
// still be reached, and shows
//   - a tree of the photos grouped 写真-大分類 › 写真区分 › 工種 › 種別 › 細別
//     with the number of photos under each group (a level left empty above a
//     given one shows as "（なし）"; empty levels at the end add no group);
//   - a grid of thumbnails, title and date under each, marks for a photo
//     whose file is missing or lies on a medium that is not loaded, tags for
//     代表写真 and 提出頻度写真;
//   - the selected photo's every field (unknown elements as they stand) and
//     its reference drawings;
//   - a photo (or a reference drawing) at full size through the preview's
//     renderers: fit and zoom (+, -, 0, Ctrl+wheel), previous and next by the
//     arrow keys, Esc back to the grid;
//   - the photo checks, a finding's photo selected on double-click or Enter,
//     a mark on the thumbnail of every photo with findings; the findings
//     printed or written as CSV or PDF as the delivery check's are;
//   - paths in the details shortened in the middle, so that the file name
//     stays in sight.
// What is shown is narrowed by a text (title, 撮影箇所, 工種, 種別, 細別, file
// names), a date range, 代表写真 only and 提出頻度写真 only, and sorted by serial
// number, date or title. A broken file shows what was read before the break
// and says where it broke; photos that cannot be reached are said so.
//
// Reading the management files, the checks and the image facts run off the
// GUI thread; thumbnails are decoded on worker threads only for the rows on
// and near the screen (panes/photo_view_model.h). The window is modeless;
// its placement is kept under WinPos\frmPhotoView, its own settings in the
// section "frmPhotoView".
//
// Controls (object names): edtFilter, chkDateFrom, dtpFrom, chkDateTo, dtpTo,
// chkRepresentative, chkFrequency, cbxSort (filter bar); tvwGroups (groups);
// stkView with pgGrid (lvwPhotos, the grid) and pgFull (btnBack, btnPrev,
// btnNext, lblPosition, lblFullTitle, lblFullNote, pvwPhoto); tblDetails and
// lstReferences (details); lblPeriod, lblChecks, tlbChecksPrint,
// tlbChecksCsv, tlbChecksPdf, tblChecks (checks);
// lblNotice (what could not be read), lblCount; pnlLedger above the grid
// with cbxLedgerScope, cbxLedgerPerPage, chkLedgerGroupPage,
// chkLedgerDrawing, tlbLedgerPrint, tlbLedgerPdf (the photo ledger).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>
#include <vector>

#include "check/extended_check.h"
#include "check/viewer_model.h"
#include "components/ext_registry.h"
#include "components/photo_ledger.h"
#include "panes/photo_view_model.h"
#include "photo/photo_check.h"

namespace dlvr {

class TFormControl;
class TPreviewView;

class TfrmPhotoView : public QWidget {
  Q_OBJECT
 public:
  // A top-level window owned by `parent`.
  explicit TfrmPhotoView(TViewerModel& model, QWidget* parent = nullptr);
  ~TfrmPhotoView() override;

  // Reads the photos of the delivery the model has loaded, anew (off the
  // GUI thread: Loaded, then Checked, are emitted when done).
  void Refresh();
  // Reading or checking is still running.
  bool Busy() const { return loading_ || checking_; }

  // What is shown (for the main window and tests).
  const TPhotoStore* Store() const { return store_.get(); }
  TPhotoListModel* ListModel() const { return listModel_; }
  TThumbnailLoader* Loader() const { return loader_; }
  const std::vector<TPhotoFinding>& Findings() const { return findings_; }
  // The record selected in the grid (an index into Store()->Records()), -1 for none.
  int CurrentRecord() const;
  // Selects a record in the grid, clearing the group and the filter when
  // they hide it; shows the grid. False when there is no such record.
  bool ShowRecord(int record);
  // The full view of the selected photo, and back to the grid.
  void OpenFull();
  void CloseFull();
  bool FullShown() const;
  // Steps the full view (or the grid's selection) by `delta` photos.
  void Step(int delta);
  // Selects the group of `path` in the tree (empty: every photo).
  bool SelectGroup(const QStringList& path);
  // Selects the record of a photo or reference drawing named by its path
  // relative to its medium ("PHOTO/PIC/P0000001.JPG"; `medium` 0: any);
  // while the photos are still read, once they are. False when no record
  // names it (or not yet known).
  bool ShowPhotoFile(const QString& relativePath, int medium);
  // The photo checks' findings as the delivery check's report takes them.
  std::vector<TFinding> FindingsForReport() const;

  // The photo ledger (写真帳): the records cbxLedgerScope names (every
  // photo, the photos the grid shows, the photos selected in it) in the
  // order it prints them (by group as the tree shows them, each group's
  // photos in the grid's order), and the options the bar sets.
  std::vector<int> LedgerRecords() const;
  TPhotoLedgerOptions LedgerOptions() const;
  // Writes the ledger as a PDF file with a progress window that can stop
  // it; refused (with a message) inside the delivery. Whether it was written.
  bool WriteLedger(const QString& path);
  // The commands: the print preview, then the print dialog (more than 150
  // photos: the print dialog alone, the pages printed one at a time); the save
  // dialog (TfrmDeliveryCheck::AskSavePath when a test sets it), then
  // WriteLedger.
  void LedgerPrintClick();
  void LedgerPdfClick();

  // The filter bar.
  QLineEdit* edtFilter = nullptr;
  QCheckBox *chkDateFrom = nullptr, *chkDateTo = nullptr;
  QDateEdit *dtpFrom = nullptr, *dtpTo = nullptr;
  QCheckBox *chkRepresentative = nullptr, *chkFrequency = nullptr;
  QComboBox* cbxSort = nullptr;
  // The groups (item data: the group path as a QStringList in Qt::UserRole).
  QTreeWidget* tvwGroups = nullptr;
  // The grid and the full view.
  QStackedWidget* stkView = nullptr;
  QWidget *pgGrid = nullptr, *pgFull = nullptr;
  QListView* lvwPhotos = nullptr;
  QPushButton *btnBack = nullptr, *btnPrev = nullptr, *btnNext = nullptr;
  QLabel *lblPosition = nullptr, *lblFullTitle = nullptr, *lblFullNote = nullptr;
  TPreviewView* pvwPhoto = nullptr;
  // The details.
  QTableWidget* tblDetails = nullptr;
  QListWidget* lstReferences = nullptr;
  // The checks (item data of column 0: the record index in Qt::UserRole,
  // the file's path in Qt::UserRole + 1).
  QLabel *lblPeriod = nullptr, *lblChecks = nullptr;
  QToolButton *tlbChecksPrint = nullptr, *tlbChecksCsv = nullptr, *tlbChecksPdf = nullptr;
  QTableWidget* tblChecks = nullptr;
  QLabel *lblNotice = nullptr, *lblCount = nullptr;
  // The ledger's bar.
  QComboBox *cbxLedgerScope = nullptr, *cbxLedgerPerPage = nullptr;
  QCheckBox *chkLedgerGroupPage = nullptr, *chkLedgerDrawing = nullptr;
  QToolButton *tlbLedgerPrint = nullptr, *tlbLedgerPdf = nullptr;
  QSplitter *splMain = nullptr, *splTop = nullptr;
  TFormControl* FrmCtrl = nullptr;

 signals:
  // The records are read and shown.
  void Loaded();
  // The check list is filled.
  void Checked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildFilterBar(QWidget* bar);
  void BuildFullPage();
  QWidget* BuildLedgerBar(QWidget* parent);
  QStringList LedgerMediaFolders() const;
  // What the loading work hands back.
  struct TRead {
    std::shared_ptr<const TPhotoStore> Store;
    std::shared_ptr<const TPhotoIndex> Index;
  };
  void StoreRead(const TRead& read);
  void StartCheck();
  void FillChecks();
  void UpdateNotice();
  // Takes the filter from the controls, counts the groups anew and shows
  // the matching rows.
  void ApplyFilter();
  void RebuildGroups();
  void UpdateRows();
  void UpdateCount();
  void ShowDetails(int record);
  void ShowFacts(const TImageFacts& facts);
  // `path`: the value is a path, shortened in the middle.
  void AddDetail(const QString& label, const QString& value, const QColor& ink = QColor(), bool path = false);
  // The report of the findings (print, CSV, PDF).
  void ChecksExport(int kind);
  void ShowFullRecord(int record);
  void ShowReference(int index);
  void FindingActivated(int row);
  void ScheduleVisibleRows();
  void UpdateVisibleRows();
  void Zoom(const char* button);
  void ReadSettings();
  void WriteSettings();

  TViewerModel& model_;
  TExtRegistry ExRg{QStringLiteral("frmPhotoView")};
  TThumbnailLoader* loader_ = nullptr;
  TPhotoListModel* listModel_ = nullptr;
  std::shared_ptr<const TPhotoStore> store_;
  TPhotoIndex index_;
  TPhotoFilter filter_;
  TPhotoCheckPeriod period_;
  std::vector<int> reachable_, unreachable_, notLoaded_;
  std::vector<TPhotoFinding> findings_;
  int generation_ = 0;
  bool loading_ = false, checking_ = false;
  int fullRecord_ = -1;
  int factsRecord_ = -1;
  bool settingsRead_ = false;
  // A photo asked for by ShowPhotoFile while the photos were read.
  QString pendingPhoto_;
  int pendingMedium_ = 0;
  QTimer* visibleTimer_ = nullptr;
};

}  // namespace dlvr
