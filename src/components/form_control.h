// TFormControl: attached to a top-level form, it keeps the form's client
// area within minimum and maximum sizes, snaps resizing to steps, rescales
// the limits when the form's font changes, and keeps the form's placement
// under Software\Tavrin\<program>\WinPos\<form name> (TExtRegistry::FormName).
//
// The client area is the form's own widget area (QWidget::size; the window
// manager's frame is not part of it). The placement is loaded when the form
// is first shown and saved whenever it is hidden (closing, hiding, or being
// destroyed while shown); minimising does not count as hiding.
//
//   auto* fc = new TFormControl(this);        // owned by the form
//   fc->MinClientWidth = 407; fc->MinClientHeight = 357;
//   fc->MaxClientWidth = fc->MaxClientHeight = 0;
//   fc->ApplyLimits();
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace dlvr {

class TExtGrid3;

class TFormControl : public QObject {
  Q_OBJECT
 public:
  // Watches `form` and becomes its child. The four client limits start at
  // the form's size when the form has been sized (resize()), else at 0: a
  // sized form whose owner sets no limits keeps that size.
  explicit TFormControl(QWidget* form);

  QWidget* Form() const { return form_; }

  // Position without a stored placement; -1 centres on the screen.
  int DefaultLeft = -1;
  int DefaultTop = -1;
  // Client limits; 0 = no limit.
  int MinClientWidth = 0, MaxClientWidth = 0;
  int MinClientHeight = 0, MaxClientHeight = 0;
  // Resizing steps (1 = none), counted from the minimum client size.
  int StepV = 1, StepH = 1;
  // Load the placement on show and save it on hide.
  bool RegistWinPos = true;
  // A grid whose scroll bars the step snapping allows for: while a bar is
  // shown and not all its rows (columns) fit, the steps start one scroll
  // bar further.
  QPointer<TExtGrid3> StringGrid;

  // Emits FormResizing (where the owner may still change the limits), then
  // gives the form the limits and the resizing steps as size hints. Also
  // done when the form is first shown.
  void ApplyLimits();
  // Writes WindowState, and for a normal window Top and Left, plus Width and
  // Height for a sizeable form (TExtRegistry::IsSizeable).
  void SavePlacement();
  // Applies the stored placement, or the default position when none is
  // stored or a value is damaged, and pulls the window back on its screen
  // (KeepOnScreen). A window stored maximised opens maximised over its
  // stored normal placement; one stored minimised opens normal.
  void LoadPlacement();
  // "Software\Tavrin\<program>\WinPos\<form name>".
  QString PlacementKeyPath() const;

  // The snapped client length: min + a + step × round-half-up((length −
  // min − a) / step), then kept within min … max (0 = no maximum) by whole
  // steps where possible. A step below 2 leaves the length as it is.
  static int Snap(int length, int minimum, int maximum, int step, int allowance = 0);
  // The keep-on-screen rule (margin 40) for a window rectangle on a screen
  // area, in this order: left beyond the right edge − 40 → right-aligned;
  // top beyond the bottom edge − 40 → bottom-aligned; less than 40 pixels
  // left of the left edge → left edge; above the top edge → top edge.
  static QRect KeepOnScreen(QRect window, const QRect& screen);
  static constexpr int kScreenMargin = 40;
  // number × numerator / denominator rounded to the nearest (halves away
  // from zero); -1 for a zero denominator.
  static int MulDiv(int number, int numerator, int denominator);
  // The width of a vertical / height of a horizontal scroll bar in the
  // style of `widget` (the application's style without one).
  static int ScrollBarExtent(const QWidget* widget = nullptr);

 signals:
  // Before the limits are given to the form.
  void FormResizing();
  // After every resize of the form, once the size has been snapped.
  void FormResize();

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void SnapSize();
  void FontChanged();
  int HorzBarAllowance() const;
  int VertBarAllowance() const;

  QString FormName() const;

  QPointer<QWidget> form_;
  QString formName_;  // taken when first shown
  bool placed_ = false;
  bool snapping_ = false;
  bool snapPending_ = false;
  int fontHeight_ = 0;
};

}  // namespace dlvr
