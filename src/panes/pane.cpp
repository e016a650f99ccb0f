#include "panes/pane.h"

#include <QLabel>

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "components/cell_size_control.h"
#include "components/ext_grid.h"
#include "components/preview_view.h"
#include "platform/translate.h"

namespace dlvr {

namespace {

const QColor kLabelColor(255, 255, 192);
const QColor kMaskColor(248, 248, 248);
const QColor kRequiredEmpty(255, 85, 85);
const QColor kConditionalEmpty(136, 136, 255);

// The representations a field can have.
const char* const kMasks[] = {
    QT_TRANSLATE_NOOP("FieldGrid", "全角文字"),
    QT_TRANSLATE_NOOP("FieldGrid", "半角英数字"),
    QT_TRANSLATE_NOOP("FieldGrid", "半角数字"),
};

}  // namespace

TExtGrid3* MakeFieldGrid(QWidget* parent, int rows) {
  auto* grid = new TExtGrid3(parent);
  grid->setObjectName("Grid");
  QFont font(QStringLiteral("ＭＳ ゴシック"));
  font.setPixelSize(12);
  grid->setFont(font);
  grid->SetColCount(6);
  grid->SetRowCount(rows);
  grid->SetFixedRows(1);
  grid->SetFixedCols(0);
  grid->SetScrollBars(ssVertical);
  return grid;
}

TCellSizeControl* MakeFieldSizes(QObject* owner, const char* name, TExtGrid3* grid, int labelChars, int maskChars) {
  auto* csc = new TCellSizeControl(owner);
  csc->setObjectName(name);
  csc->SetStringGrid(grid);
  csc->SetEachColChars({labelChars, 1, 2, 1, maskChars, 3});
  csc->SetDefaultColChars(10);
  csc->SetDefaultRowLines(1);
  csc->SetFixedColStrings({QCoreApplication::translate("FieldGrid", "項   目   名"), QString(), QString(),
                           QCoreApplication::translate("FieldGrid", "情       報"),
                           QCoreApplication::translate("FieldGrid", "データ表現")});
  csc->Apply();
  return csc;
}

QString ShownMask(const QString& mask) {
  for (const char* m : kMasks)
    if (mask == QString::fromUtf8(m)) return QCoreApplication::translate("FieldGrid", m);
  return mask;
}

QString ShownFieldCaption(const std::string& caption) { return QString::fromStdString(Tr("FieldNames", caption)); }

bool FieldCellAtr(const TExtGrid3& grid, int col, int row, TCellAtr& atr) {
  if (row == 0) {
    for (auto& l : atr.Line) l.Alignment = taCenter;
    return true;
  }
  if (col == 3) return false;
  atr.Selectable = false;
  atr.Line[0].Alignment = col == 5 ? taRightJustify : taCenter;
  if (col == 0 || col == 1) atr.Color = kLabelColor;
  if (col == 4 || col == 5) atr.Color = kMaskColor;
  if (col == 2) {
    atr.Color = kLabelColor;
    if (grid.Cell(3, row).isEmpty()) {
      const QString mark = grid.Cell(2, row);
      if (mark == QStringLiteral("◎")) {
        atr.Color = kRequiredEmpty;
        atr.Line[0].FontColor = Qt::white;
      } else if (mark == QStringLiteral("○")) {
        atr.Color = kConditionalEmpty;
        atr.Line[0].FontColor = Qt::white;
      }
    }
  }
  return true;
}

int FitValueColumn(TExtGrid3& grid, int gridWidth) {
  const int line = grid.GridLineWidth();
  int used = line;
  for (int c : {0, 1, 2, 4, 5}) {
    const int w = grid.ColWidth(c);
    if (w >= 0) used += w + line;
  }
  const int client = gridWidth - 2 * grid.frameWidth() - grid.verticalScrollBar()->sizeHint().width();
  const int width = std::max(1, client - used);
  grid.SetColWidth(3, width);
  int chars = 15;
  for (int i = 15; i <= 255; ++i) {
    if (grid.TextWidth0(i) >= width - 3) break;
    chars = i;
  }
  return chars;
}

void MakeHiddenEditors(QWidget* parent, QComboBox*& cbxSoftware, QFrame*& pnlShadow) {
  cbxSoftware = new QComboBox(parent);
  cbxSoftware->setObjectName("cbxSoftware");
  cbxSoftware->setEditable(true);
  cbxSoftware->lineEdit()->setMaxLength(127);
  cbxSoftware->hide();
  pnlShadow = new QFrame(parent);
  pnlShadow->setObjectName("pnlShadow");
  pnlShadow->hide();
}

TPreviewView* MakePreviewPanel(QWidget* parent, QFrame*& panel) {
  panel = new QFrame(parent);
  panel->setObjectName("Panel1");
  auto* body = new QVBoxLayout(panel);
  body->setContentsMargins(0, 0, 0, 0);
  auto* view = new TPreviewView(panel);
  view->setObjectName("webBrowser");
  view->setFocusPolicy(Qt::ClickFocus);
  body->addWidget(view);
  // Selectable, but never taking the keyboard from the tree.
  auto* missing = new QLabel(panel);
  missing->setObjectName("lblMissingFile");
  missing->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  missing->setWordWrap(true);
  missing->setMargin(16);
  missing->setTextInteractionFlags(Qt::TextSelectableByMouse);
  missing->setFocusPolicy(Qt::NoFocus);
  missing->hide();
  body->addWidget(missing, 1);
  return view;
}

}  // namespace dlvr

#include "moc_pane.cpp"
