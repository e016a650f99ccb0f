// Keeps a form's client area within limits, snaps user resizing to steps,
// and saves and restores the form's placement under
// Software\Tavrin\<program>\WinPos\<form name>.
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
  // Watches `form`; the client limits start at the form's current size.
  explicit TFormControl(QWidget* form);

  int DefaultLeft = -1;  // -1 centres
  int DefaultTop = -1;
  int MinClientWidth = 0, MaxClientWidth = 0;  // 0 = no limit
  int MinClientHeight = 0, MaxClientHeight = 0;
  int StepV = 1, StepH = 1;
  bool RegistWinPos = true;
  QPointer<TExtGrid3> StringGrid;

  // Applies the size limits to the form.
  void ApplyLimits();
  void SavePlacement();
  // Loads the stored placement (or the default position) and pulls the
  // window back within the 40-pixel margin of the screen.
  void LoadPlacement();

  // The snapped client length for a requested one: min + a + step ×
  // round-half-up((length − min − a) / step).
  static int Snap(int length, int minimum, int step, int allowance = 0);
  // The keep-on-screen rule on a window rectangle within a screen.
  static QRect KeepOnScreen(QRect window, const QRect& screen);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QPointer<QWidget> form_;
  bool snapping_ = false;
  bool userResizing_ = false;
};

}  // namespace dlvr
