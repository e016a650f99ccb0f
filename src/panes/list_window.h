// The parts the two list windows (the data check's error list and the full
// delivery check's findings) are built of, top to bottom: a heading line, a
// toolbar of text buttons and a grid to read and print, below a title row.
#pragma once

#include <QString>

#include "components/ext_grid.h"

class QLabel;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace dlvr {

QLabel* AddListHeading(QWidget* window, QVBoxLayout* layout, const QString& text);
QToolBar* AddListToolBar(QWidget* window, QVBoxLayout* layout);
QToolButton* AddListButton(QToolBar* bar, const char* name, const QString& text, const QString& hint);
// `columns` columns, rows `rowHeight` pixels high, whole rows selected;
// nothing in it can be edited. Stretches with the window.
TExtGrid3* AddListGrid(QWidget* window, QVBoxLayout* layout, int columns, int rowHeight, TScrollStyle scrollBars);

}  // namespace dlvr
