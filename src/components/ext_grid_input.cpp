#include "components/ext_grid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <climits>

#include "components/ext_grid_internal.h"

// The grid's cursor, keys, mouse, hints and focus.

namespace dlvr {

using namespace ext_grid_detail;

namespace {

// Hints are the delivery's own texts: shown as plain text (no markup
// interpreted, nothing loaded), with their line breaks and blanks.
QString PlainGridTip(QString text) {
  text.replace(kCRLF, QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QString html = text.toHtmlEscaped();
  html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
  return QStringLiteral("<p style='white-space:pre-wrap'>") + html + QStringLiteral("</p>");
}

}  // namespace

// ---------------------------------------------------------------------------
// Cursor

bool TExtGrid3::SelectableAtr(int col, int row, TCellAtr* atr) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return false;
  if ((colMax_ >= 0 && col > colMax_) || (rowMax_ >= 0 && row > rowMax_)) return false;
  if (col < fixedCols_ || row < fixedRows_) return false;
  if (colWidths_[col] < 0 || rowHeights_[row] < 0) return false;
  const TCellAtr a = CellAtr(col, row);
  if (!a.Selectable) return false;
  if (OnSelectCell) {
    bool can = true;
    OnSelectCell(col, row, can);
    if (!can) return false;
  }
  if (atr) *atr = a;
  return true;
}

bool TExtGrid3::CanSelect(int col, int row) const { return SelectableAtr(col, row, nullptr); }

bool TExtGrid3::Goto(int col, int row, int line, bool report) {
  TCellAtr a;
  if (!SelectableAtr(col, row, &a)) return false;
  col_ = col;
  row_ = row;
  if (line >= 0) line_ = line;
  line_ = std::clamp(line_, 0, LinesOf(a) - 1);
  ClampInView();
  viewport()->update();
  PlaceEditor();
  if (report) EnterIfFocused();
  return true;
}

bool TExtGrid3::MoveTo(int col, int row, bool showEditor) {
  const bool wanted = editorWanted_;
  editorWanted_ = showEditor;
  if (Goto(col, row, -1)) return true;
  editorWanted_ = wanted;
  return false;
}

bool TExtGrid3::SetCurLine(int line) {
  if (col_ >= colCount_ || row_ >= rowCount_) return false;
  const TCellAtr a = CellAtr(col_, row_);
  if (line < 0 || line >= LinesOf(a)) return false;
  line_ = line;
  viewport()->update();
  PlaceEditor();
  EnterIfFocused();
  return true;
}

bool TExtGrid3::MoveHorz(int dir) {
  int c = StepCol(col_, dir), r = row_;
  if (c < 0) {
    if (!moveOptions_.testFlag(moLoopHorz)) return false;
    r = StepRow(row_, dir);
    if (r < 0) return false;
    c = dir > 0 ? StepCol(fixedCols_ - 1, 1) : StepCol(LastCol() + 1, -1);
    if (c < 0) return false;
  }
  if (!CanSelect(c, r)) {
    if (!srchMoveHrz_) return false;
    int found = -1;
    for (int rr = StepRow(r, -1); rr >= 0 && found < 0; rr = StepRow(rr, -1))
      if (CanSelect(c, rr)) found = rr;
    for (int rr = StepRow(r, 1); rr >= 0 && found < 0; rr = StepRow(rr, 1))
      if (CanSelect(c, rr)) found = rr;
    if (found < 0) return false;
    r = found;
  }
  return Goto(c, r, -1);
}

bool TExtGrid3::MoveVert(int dir, bool ctrl) {
  if (!ctrl && col_ < colCount_ && row_ < rowCount_) {
    const TCellAtr cur = CellAtr(col_, row_);
    for (int i = line_ + dir; i >= 0 && i < LinesOf(cur); i += dir) {
      if (Usable(cur, i)) return SetCurLine(i);
    }
  }
  int c = col_, r = StepRow(row_, dir);
  if (r < 0) {
    if (!moveOptions_.testFlag(moLoopVert)) return false;
    c = StepCol(col_, dir);
    if (c < 0) return false;
    r = dir > 0 ? StepRow(fixedRows_ - 1, 1) : StepRow(LastRow() + 1, -1);
    if (r < 0) return false;
  }
  if (!CanSelect(c, r)) {
    if (!srchMoveVrt_) return false;
    int found = -1;
    for (int cc = StepCol(c, -1); cc >= 0 && found < 0; cc = StepCol(cc, -1))
      if (CanSelect(cc, r)) found = cc;
    for (int cc = StepCol(c, 1); cc >= 0 && found < 0; cc = StepCol(cc, 1))
      if (CanSelect(cc, r)) found = cc;
    if (found < 0) return false;
    c = found;
  }
  const TCellAtr t = CellAtr(c, r);
  return Goto(c, r, dir < 0 ? LastUsableLine(t) : FirstUsableLine(t));
}

bool TExtGrid3::MoveReturn() {
  if (col_ < colCount_ && row_ < rowCount_) {
    const TCellAtr cur = CellAtr(col_, row_);
    for (int i = line_ + 1; i < LinesOf(cur); ++i)
      if (Usable(cur, i)) return SetCurLine(i);
  }
  const bool loop = moveOptions_.testFlag(moLoopRtn) || moveOptions_.testFlag(moLoopRtnS);
  int r = row_, c = col_;
  // At most one pass over every row and back to the starting one.
  for (int pass = 0; pass <= rowCount_; ++pass) {
    for (c = StepCol(c, 1); c >= 0; c = StepCol(c, 1)) {
      TCellAtr a;
      if (SelectableAtr(c, r, &a)) return Goto(c, r, FirstUsableLine(a));
    }
    if (!loop) return false;
    r = StepRow(r, 1);
    if (r < 0) {
      if (!moveOptions_.testFlag(moLoopRtnS)) return false;
      r = StepRow(fixedRows_ - 1, 1);
      if (r < 0) return false;
    }
    c = fixedCols_ - 1;
  }
  return false;
}

bool TExtGrid3::MovePage(int dir) {
  const int page = std::max(1, VisibleRowCount());
  const int first = StepRow(fixedRows_ - 1, 1), last = StepRow(LastRow() + 1, -1);
  if (first < 0 || last < 0) return false;
  const int target = std::clamp(row_ + dir * page, first, last);
  int found = -1;
  TCellAtr a;
  for (int r = target; r != row_ && r >= first && r <= last; r -= dir) {
    if (SelectableAtr(col_, r, &a)) {
      found = r;
      break;
    }
  }
  if (found < 0) return false;
  const int line = Usable(a, line_) ? line_ : dir > 0 ? FirstUsableLine(a) : LastUsableLine(a);
  SetTopRow(topRow_ + dir * page);
  return Goto(col_, found, line);
}

bool TExtGrid3::MoveHomeEnd(bool end, bool ctrl) {
  const int dir = end ? -1 : 1;
  const int firstCol = end ? StepCol(LastCol() + 1, -1) : StepCol(fixedCols_ - 1, 1);
  if (!ctrl) {
    for (int c = firstCol; c >= 0; c = StepCol(c, dir)) {
      if ((end && c < col_) || (!end && c > col_)) break;
      if (c != col_ && CanSelect(c, row_)) return Goto(c, row_, -1);
      if (c == col_) return true;
    }
    return false;
  }
  const int firstRow = end ? StepRow(LastRow() + 1, -1) : StepRow(fixedRows_ - 1, 1);
  for (int r = firstRow; r >= 0; r = StepRow(r, dir)) {
    for (int c = firstCol; c >= 0; c = StepCol(c, dir)) {
      if (c == col_ && r == row_) return true;
      if (CanSelect(c, r)) return Goto(c, r, -1);
    }
  }
  return false;
}

bool TExtGrid3::CaretAllowsLeave(int dir) const {
  if (!EditorVisible()) return true;
  const QString t = editor_->text();
  if (editor_->hasSelectedText()) return editor_->selectedText().size() == t.size();
  return dir < 0 ? editor_->cursorPosition() == 0 : editor_->cursorPosition() == t.size();
}

// ---------------------------------------------------------------------------
// Keyboard

bool TExtGrid3::HandleKey(QKeyEvent* e) {
  int key = e->key();
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (OnEditKeyDown) {
    OnEditKeyDown(key, mods);
    if (key == 0) return true;
  }
  const bool shift = mods.testFlag(Qt::ShiftModifier);
  bool ctrl = mods.testFlag(Qt::ControlModifier);
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;

  if (enter && shift) {
    if (EditorVisible()) {
      const QString t = editor_->text();
      if (editor_->hasSelectedText() && editor_->selectedText().size() == t.size()) {
        editor_->deselect();
        editor_->end(false);
      } else {
        editor_->selectAll();
      }
    }
    return true;
  }
  if (enter && OnReturn) {
    ReportCRLOut();
    OnReturn();
    return true;
  }
  if (key == Qt::Key_Escape && OnEscape) {
    ReportCRLOut();
    OnEscape();
    return true;
  }
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && options_.testFlag(goTabs)) {
    key = (key == Qt::Key_Backtab || shift) ? Qt::Key_Left : Qt::Key_Right;
    ctrl = true;
  }
  if (enter && returnDir_ == rdDown) {
    key = Qt::Key_Down;
    ctrl = false;
  } else if (enter && returnDir_ == rdRight) {
    key = Qt::Key_Right;
    ctrl = true;
  }

  const bool rowSelect = options_.testFlag(goRowSelect);
  if (options_.testFlag(goAlwaysShowEditor)) editorWanted_ = true;
  bool moved = false;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int dir = key == Qt::Key_Left ? -1 : 1;
      if (rowSelect) {
        SetLeftCol(leftCol_ + dir);
        return true;
      }
      if (!ctrl && !CaretAllowsLeave(dir)) return false;
      moved = MoveHorz(dir);
      break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
      moved = MoveVert(key == Qt::Key_Up ? -1 : 1, ctrl);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      moved = MoveReturn();
      break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      moved = MovePage(key == Qt::Key_PageUp ? -1 : 1);
      break;
    case Qt::Key_Home:
    case Qt::Key_End:
      if (!ctrl && !rowSelect && EditorVisible()) return false;
      moved = MoveHomeEnd(key == Qt::Key_End, ctrl || rowSelect);
      break;
    case Qt::Key_F2:
      if (!Editing()) return false;
      ShowEditor();
      return true;
    default:
      return false;
  }
  if (!moved) PlaceEditor();
  return true;
}

bool TExtGrid3::event(QEvent* e) {
  if (e->type() == QEvent::KeyPress && options_.testFlag(goTabs)) {
    auto* ke = static_cast<QKeyEvent*>(e);
    if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) &&
        !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      keyPressEvent(ke);
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

void TExtGrid3::keyPressEvent(QKeyEvent* e) {
  // A key the editor (or the owner's control) let through was offered to
  // the grid's handling already by the event filter; it goes on to the
  // grid's parent, as does any key the grid does not handle.
  QWidget* fw = QApplication::focusWidget();
  const bool fromChild = fw && fw != this && (fw == editor_ || fw == winCtrl_.data());
  if (!fromChild && HandleKey(e)) {
    e->accept();
    return;
  }
  e->ignore();
}

// ---------------------------------------------------------------------------
// Mouse, hints

int TExtGrid3::LineAt(const TCellAtr& atr, int y) const {
  const int n = LinesOf(atr);
  for (int i = 0; i < n; ++i) {
    const TCellLineAtr& la = atr.Line[i];
    if (la.EditKind == ekNoCRLOut) continue;
    const int top = LineOffset(la.Position), bottom = LineOffset(la.Position + std::max(1, la.TextLines));
    if (y >= top && y < bottom) return i;
  }
  const int step = TextHeight0() + 2;
  const int idx = std::clamp(step > 0 ? y / step : 0, 0, n - 1);
  for (int i = idx; i >= 0; --i)
    if (Usable(atr, i)) return i;
  for (int i = idx + 1; i < n; ++i)
    if (Usable(atr, i)) return i;
  return idx;
}

void TExtGrid3::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(e);
    return;
  }
  mouseFocusPending_ = false;
  if (options_.testFlag(goAlwaysShowEditor)) editorWanted_ = true;
  const QPoint pos = e->position().toPoint();
  int c = -1, r = -1;
  if (MouseToCell(pos, c, r) && c >= fixedCols_ && r >= fixedRows_) {
    if (c != col_ || r != row_) Goto(c, r, -1, false);
    TCellAtr a;
    if (c == col_ && r == row_ && SelectableAtr(c, r, &a)) {
      const QRect cr = CellRect(c, r);
      line_ = LineAt(a, pos.y() - cr.top());
      viewport()->update();
      PlaceEditor();
    }
  }
  EnterIfFocused();
  e->accept();
}

bool TExtGrid3::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* he = static_cast<QHelpEvent*>(e);
    int c = -1, r = -1;
    QString text;
    if (MouseToCell(he->pos(), c, r)) text = CellHint(c, r);
    if (text.isEmpty()) {
      QToolTip::hideText();
      e->ignore();
    } else {
      QToolTip::showText(he->globalPos(), PlainGridTip(text), viewport(), CellRect(c, r));
      e->accept();
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(e);
}

// ---------------------------------------------------------------------------
// Focus, entering and leaving lines

bool TExtGrid3::HasFocusWithin() const {
  return hasFocus() || (editor_ && editor_->hasFocus()) ||
         (winCtrl_ && (winCtrl_->hasFocus() || winCtrl_->isAncestorOf(QApplication::focusWidget())));
}

void TExtGrid3::EnterIfFocused() {
  if (HasFocusWithin()) EnterCurrentLine();
}

void TExtGrid3::EnterCurrentLine() {
  if (col_ >= colCount_ || row_ >= rowCount_) return;
  const TCellAtr a = CellAtr(col_, row_);
  if (a.Fixed || !a.Selectable) return;
  if (EditorVisible()) {
    editor_->selectAll();
    if (!editor_->hasFocus()) editor_->setFocus(Qt::OtherFocusReason);
  }
  if (lastIn_.valid && lastIn_.col == col_ && lastIn_.row == row_ && lastIn_.line == line_) return;
  lastIn_ = {true, col_, row_, line_};
  if (OnCRLIn) OnCRLIn(col_, row_, line_);
}

void TExtGrid3::ReportCRLOut() {
  if (!lastIn_.valid) return;
  const LinePos last = lastIn_;
  if (sameCRLInCtrl_) lastIn_.valid = false;
  if (last.col >= colCount_ || last.row >= rowCount_) return;
  const TCellAtr a = CellAtr(last.col, last.row);
  if (a.Line[std::clamp(last.line, 0, 3)].EditKind == ekNoCRLOut) return;
  if (OnCRLOut) OnCRLOut(last.col, last.row, last.line);
}

void TExtGrid3::CheckLeave(Qt::FocusReason reason) {
  QWidget* fw = QApplication::focusWidget();
  if (fw && (fw == this || isAncestorOf(fw) || (winCtrl_ && (fw == winCtrl_ || winCtrl_->isAncestorOf(fw)))))
    return;
  // Switching windows or opening a popup is no leaving.
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  if (reason == Qt::MouseFocusReason && saveCRLOutAtClick_) return;
  ReportCRLOut();
}

void TExtGrid3::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  viewport()->update();
  if (e->reason() == Qt::MouseFocusReason && viewport()->underMouse()) {
    // The press that follows picks the cell and line first.
    mouseFocusPending_ = true;
    return;
  }
  PlaceEditor();
  EnterCurrentLine();
}

void TExtGrid3::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  viewport()->update();
  CheckLeave(e->reason());
}

bool TExtGrid3::eventFilter(QObject* watched, QEvent* e) {
  if (watched == editor_) {
    switch (e->type()) {
      case QEvent::KeyPress:
        if (HandleKey(static_cast<QKeyEvent*>(e))) return true;
        break;
      case QEvent::FocusIn:
        viewport()->update();
        EnterIfFocused();
        break;
      case QEvent::FocusOut:
        viewport()->update();
        CheckLeave(static_cast<QFocusEvent*>(e)->reason());
        break;
      default:
        break;
    }
  } else if (winCtrl_ && watched == winCtrl_.data() && e->type() == QEvent::FocusOut) {
    CheckLeave(static_cast<QFocusEvent*>(e)->reason());
  }
  return QAbstractScrollArea::eventFilter(watched, e);
}

void TExtGrid3::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    minRowHeight_ = TextHeight0() + 2 * kCellPadding;
    UpdateScrollBars();
    Invalidate();
    emit FontMetricsChanged();
  }
}

void TExtGrid3::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
  PlaceEditor();
}

}  // namespace dlvr
