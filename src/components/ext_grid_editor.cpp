#include "components/ext_grid.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QScrollBar>

#include <algorithm>

#include "components/ext_grid_internal.h"
#include "components/legible_color.h"

// The grid's in-place editor: a line edit or a choice over the line being edited.

namespace dlvr {

using namespace ext_grid_detail;

// ---------------------------------------------------------------------------
// In-place editor

bool TExtGrid3::EditorVisible() const { return editor_ && !editor_->isHidden(); }

void TExtGrid3::ShowEditor() {
  editorWanted_ = true;
  PlaceEditor();
  EnterIfFocused();
}

void TExtGrid3::HideEditor() {
  editorWanted_ = false;
  PlaceEditor();
}

void TExtGrid3::HideWinCtrl() {
  winCtrlAsked_.valid = false;
  if (!winCtrl_) return;
  QWidget* ctrl = winCtrl_;
  winCtrl_ = nullptr;
  ctrl->removeEventFilter(this);
  if (ctrl->hasFocus() || ctrl->isAncestorOf(QApplication::focusWidget())) setFocus(Qt::OtherFocusReason);
  ctrl->hide();
}

void TExtGrid3::PlaceEditor() {
  if (!editor_) return;
  auto hideEditor = [this] {
    if (editor_->hasFocus()) setFocus(Qt::OtherFocusReason);
    editor_->hide();
    editor_->setEnabled(false);
  };
  bool show = options_.testFlag(goEditing) && editorWanted_ && col_ < colCount_ && row_ < rowCount_;
  TCellAtr a;
  QRect cr;
  if (show) {
    a = CellAtr(col_, row_);
    cr = CellRect(col_, row_);
    show = !a.Fixed && !cr.isEmpty();
  }
  if (!show) {
    hideEditor();
    HideWinCtrl();
    return;
  }
  line_ = std::clamp(line_, 0, LinesOf(a) - 1);
  const TCellLineAtr& la = a.Line[line_];
  const QRect lineRect(cr.left(), cr.top() + LineOffset(la.Position), cr.width(), CellHeight(la.TextLines));
  if (lineRect.top() > cr.bottom()) {
    // The line lies below its row: nothing to edit there.
    viewport()->update();
    hideEditor();
    HideWinCtrl();
    return;
  }

  if (la.EditKind == ekWinCtrl && a.Selectable) {
    // The owner is asked once each time the cursor comes to the line; later
    // placements only move its control along with the cell.
    const bool asked = winCtrlAsked_.valid && winCtrlAsked_.col == col_ && winCtrlAsked_.row == row_ &&
                       winCtrlAsked_.line == line_;
    if (!asked) {
      HideWinCtrl();
      QWidget* ctrl = nullptr;
      QRect rect = lineRect;
      bool setText = true;
      if (OnSetWinCtrl) OnSetWinCtrl(col_, row_, line_, ctrl, rect, setText);
      winCtrlAsked_ = {true, col_, row_, line_};
      winCtrlRect_ = rect.translated(-cr.topLeft());
      if (ctrl) {
        if (setText) {
          const QString t = LineText(col_, row_, line_);
          if (auto* le = qobject_cast<QLineEdit*>(ctrl))
            le->setText(t);
          else if (auto* cb = qobject_cast<QComboBox*>(ctrl))
            cb->setCurrentText(t);
          else
            ctrl->setProperty("text", t);
        }
        winCtrl_ = ctrl;
        ctrl->installEventFilter(this);
      }
    }
    if (winCtrl_) {
      hideEditor();
      QWidget* ctrl = winCtrl_;
      const QRect rect = winCtrlRect_.translated(cr.topLeft());
      QWidget* parent = ctrl->parentWidget();
      QRect g = rect;
      if (parent && parent != viewport()) g.moveTopLeft(parent->mapFromGlobal(viewport()->mapToGlobal(rect.topLeft())));
      ctrl->setGeometry(g);
      const bool wasHidden = ctrl->isHidden();
      ctrl->show();
      ctrl->raise();
      if (wasHidden && (hasFocus() || editor_->hasFocus())) ctrl->setFocus(Qt::OtherFocusReason);
      return;
    }
  } else {
    HideWinCtrl();
  }

  editor_->setGeometry(lineRect.intersected(cr));
  editor_->setReadOnly(!a.Selectable || la.EditKind != ekInplace);
  editor_->setMaxLength(la.MaxLength > 0 ? la.MaxLength : 32767);
  editor_->setFont(la.Font);
  QPalette pal = editor_->palette();
  pal.setColor(QPalette::Base, la.EditColor);
  pal.setColor(QPalette::Text, LegibleOn(la.FontColor, la.EditColor));
  editor_->setPalette(pal);
  if (la.InputKind == ikNumeric) {
    if (!editor_->validator())
      editor_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9+\\-,. ]*")), editor_));
    editor_->setAttribute(Qt::WA_InputMethodEnabled, false);
  } else {
    if (editor_->validator()) {
      const QValidator* v = editor_->validator();
      editor_->setValidator(nullptr);
      delete v;
    }
    editor_->setAttribute(Qt::WA_InputMethodEnabled, true);
  }
  const QString t = LineText(col_, row_, line_);
  if (editor_->text() != t) editor_->setText(t);
  editor_->setEnabled(true);
  editor_->show();
  if (hasFocus()) editor_->setFocus(Qt::OtherFocusReason);
}

void TExtGrid3::EditorEdited(const QString& text) {
  if (col_ >= colCount_ || row_ >= rowCount_) return;
  QString& cell = cells_[row_][col_];
  const QString t = PutLine(cell, line_, text);
  if (t == cell) return;
  cell = t;
  viewport()->update();
  if (OnSetEditText) OnSetEditText(col_, row_, t);
}

}  // namespace dlvr
