#include "panes/list_window.h"

#include <QFont>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "components/grid_mode.h"

namespace dlvr {

QLabel* AddListHeading(QWidget* window, QVBoxLayout* layout, const QString& text) {
  auto* label = new QLabel(text, window);
  label->setObjectName("Label1");
  label->setContentsMargins(6, 4, 6, 4);
  layout->addWidget(label);
  return label;
}

QToolBar* AddListToolBar(QWidget* window, QVBoxLayout* layout) {
  auto* bar = new QToolBar(window);
  bar->setObjectName("ToolBar1");
  bar->setFixedHeight(39);
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  layout->addWidget(bar);
  return bar;
}

QToolButton* AddListButton(QToolBar* bar, const char* name, const QString& text, const QString& hint) {
  auto* button = new QToolButton(bar);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(hint);
  button->setAutoRaise(true);
  bar->addWidget(button);
  return button;
}

TExtGrid3* AddListGrid(QWidget* window, QVBoxLayout* layout, int columns, int rowHeight, TScrollStyle scrollBars) {
  auto* grid = new TExtGrid3(window);
  grid->setObjectName("Grid");
  QFont font(QStringLiteral("ＭＳ ゴシック"));
  font.setPixelSize(12);
  grid->setFont(font);
  grid->SetColCount(columns);
  grid->SetRowCount(2);
  grid->SetFixedRows(1);
  grid->SetFixedCols(0);
  grid->SetOptions(grid->Options() | goRowSelect);
  ApplyGridMode(*grid, true);  // read and printed, never edited
  grid->SetScrollBars(scrollBars);
  grid->SetDefaultRowHeight(rowHeight);
  grid->setMouseTracking(true);
  grid->viewport()->setMouseTracking(true);
  layout->addWidget(grid, 1);
  return grid;
}

}  // namespace dlvr
