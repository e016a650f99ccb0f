// The CAD drawing files pane: the drawing's file name at the top, its 32
// management fields in a grid and a preview of the drawing file below.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include <array>
#include <string>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "components/mov_controls.h"
#include "components/preview_view.h"
#include "delivery/records.h"
#include "model/cad_names.h"
#include "panes/files_pane.h"
#include "panes/info_panes.h"
#include "panes/pane.h"

namespace dlvr {

class TfrmCADFiles : public TPane {
  Q_OBJECT
 public:
  explicit TfrmCADFiles(TViewerModel& model, QWidget* parent = nullptr);
  void ShowNode(TTreeItem* item) override;
  // Shows a drawing the delivery no longer has: the earlier delivery's
  // record `drawing`, greyed under lblCompareRemoved, without a preview,
  // until an item is shown again.
  void ShowRemoved(const TMdlTreeNodeDraw& drawing);
  bool ShowingRemoved() const { return removedShown_; }

  // The name for the name box: the file name without its extension, cut to
  // 60 CP932 bytes at a character boundary.
  static std::string BoxName(const std::string& fileName);
  // The number character of an up-down position (0 .. 35: "0" .. "Z").
  static QChar DigitChar(int position);

  QFrame* pnlTop = nullptr;
  QFrame* bvlFilename = nullptr;
  QLabel* zLabel00 = nullptr;
  QLineEdit* edtFileName = nullptr;
  QGroupBox* rgpKubun = nullptr;
  std::array<QRadioButton*, 4> rbtKubun{};
  QLabel* zLabel01 = nullptr;
  QComboBox* cbxLifeCycle = nullptr;
  QLabel* zLabel02 = nullptr;
  TMovEdit* edtSortNo = nullptr;
  QSpinBox* udnSortNo = nullptr;
  QLabel* zLabel03 = nullptr;
  QComboBox* cbxDrawKind = nullptr;
  QLabel* zLabel04 = nullptr;
  TMovEdit* edtDrawNo = nullptr;
  QSpinBox* udnDrawNo = nullptr;
  QLabel* zLabel05 = nullptr;
  TMovEdit* edtRev = nullptr;
  QSpinBox* udnRev = nullptr;
  QFrame* pnlGrd = nullptr;
  TExtGrid3* Grid = nullptr;
  QComboBox* cbxSoftware = nullptr;
  QFrame* pnlShadow = nullptr;
  QFrame* Panel1 = nullptr;
  TPreviewView* webBrowser = nullptr;
  TCellSizeControl* cscFile = nullptr;
  QLabel* lblCompareFile = nullptr;
  QLabel* lblCompareRemoved = nullptr;

  // While the delivery is compared: a changed field shows as "old → new"
  // (asked of the drawing's item under the field's name, "図面名"), and a
  // changed drawing file's size and time over the preview.
  TOldValueFn OldValueOf;
  TChangedFileFn ChangedFileOf;

  // Text lines of the value column per field row (index row - 1).
  std::array<int, 32> RowLines{};
  int LineChars() const { return lineChars_; }
  bool Navigated() const { return navigated_; }
  // The division (0 .. 3) chosen in rgpKubun; -1 for none.
  int Kubun() const;

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void pnlGrdResize();
  void GridSetCellAtr(int col, int row, TCellAtr& atr);
  int RowBytes(int row) const;
  // The drawing kinds of a division into cbxDrawKind.
  void FillDrawKinds(int group);
  // Life cycle, number, kind, drawing number and revision as a file name.
  void ComposeFileName();
  // Puts the name into the box and sizes the box and its bevel.
  void SetBoxName(const QString& name);
  // The parsed parts of the shown drawing into the top controls.
  void ShowParts(const TCADFileNameParts& parts);

  bool firstShow_ = true;
  bool navigated_ = false;
  bool filling_ = false;
  bool removedShown_ = false;
  int lineChars_ = 15;
};

}  // namespace dlvr
