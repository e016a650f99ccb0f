#include "components/form_control.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <vector>

#include "components/ext_grid.h"
#include "components/ext_registry.h"

namespace dlvr {
namespace {

long long FloorDiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

TExtRegistry PlacementKey(const QString& formName) {
  TExtRegistry key;
  key.SetSection("WinPos\\" + formName);
  return key;
}

// The screen a stored window rectangle lies on; the primary screen when it
// lies on none.
QScreen* ScreenOf(const QRect& r) {
  for (const QPoint& p : {r.topLeft(), r.center(), r.topRight(), r.bottomLeft(), r.bottomRight()})
    if (QScreen* s = QGuiApplication::screenAt(p)) return s;
  return QGuiApplication::primaryScreen();
}

}  // namespace

TFormControl::TFormControl(QWidget* form) : QObject(form), form_(form) {
  if (!form) return;
  if (form->testAttribute(Qt::WA_Resized)) {
    const QSize client = form->size();
    MinClientWidth = MaxClientWidth = client.width();
    MinClientHeight = MaxClientHeight = client.height();
  }
  fontHeight_ = QFontMetrics(form->font()).height();
  form->installEventFilter(this);
}

int TFormControl::Snap(int length, int minimum, int maximum, int step, int allowance) {
  if (step < 2) return length;
  const long long base = static_cast<long long>(minimum) + allowance;
  // round-half-up(d / step) = floor((2d + step) / 2step)
  long long r = base + step * FloorDiv(2 * (length - base) + step, 2LL * step);
  if (maximum > 0 && r > maximum) r -= step * CeilDiv(r - maximum, step);
  if (r < minimum) r += step * CeilDiv(minimum - r, step);
  if (maximum > 0 && r > maximum) r = maximum;  // no step fits within the limits
  return static_cast<int>(r);
}

QRect TFormControl::KeepOnScreen(QRect w, const QRect& screen) {
  int left = w.left() - screen.left(), top = w.top() - screen.top();
  if (left > screen.width() - kScreenMargin) left = screen.width() - w.width();
  if (top > screen.height() - kScreenMargin) top = screen.height() - w.height();
  if (left + w.width() < kScreenMargin) left = 0;
  if (top < 0) top = 0;
  w.moveTo(screen.left() + left, screen.top() + top);
  return w;
}

int TFormControl::MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  long long p = static_cast<long long>(number) * numerator;
  long long d = denominator;
  if (d < 0) {
    p = -p;
    d = -d;
  }
  const long long q = p >= 0 ? (p + d / 2) / d : -((-p + d / 2) / d);
  return static_cast<int>(q);
}

int TFormControl::ScrollBarExtent(const QWidget* widget) {
  const QStyle* style = widget ? widget->style() : QApplication::style();
  return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, widget) : 0;
}

QString TFormControl::FormName() const { return formName_.isEmpty() ? TExtRegistry::FormName(form_) : formName_; }

QString TFormControl::PlacementKeyPath() const { return PlacementKey(FormName()).KeyPath(); }

void TFormControl::ApplyLimits() {
  if (!form_) return;
  emit FormResizing();
  if (!form_) return;
  form_->setMinimumSize(std::max(0, MinClientWidth), std::max(0, MinClientHeight));
  form_->setMaximumSize(MaxClientWidth > 0 ? MaxClientWidth : QWIDGETSIZE_MAX,
                        MaxClientHeight > 0 ? MaxClientHeight : QWIDGETSIZE_MAX);
  // The steps as hints to the window manager, which then sizes by them
  // while the user drags; the snapping below covers the others.
  form_->setSizeIncrement(StepH > 1 ? StepH : 0, StepV > 1 ? StepV : 0);
  form_->setBaseSize(std::max(0, MinClientWidth) + VertBarAllowance(),
                     std::max(0, MinClientHeight) + HorzBarAllowance());
}

void TFormControl::SavePlacement() {
  if (!form_) return;
  PlacementKey(FormName()).WritePlacement(form_);
}

void TFormControl::LoadPlacement() {
  if (!form_) return;
  TExtRegistry key = PlacementKey(FormName());
  const bool stored = key.KeyExists();
  // Grids leave editing while the window is placed.
  std::vector<QPointer<TExtGrid3>> editing;
  if (stored) {
    for (TExtGrid3* g : form_->findChildren<TExtGrid3*>())
      if (g->Editing()) {
        g->SetEditing(false);
        editing.emplace_back(g);
      }
  }
  const TWinPlacement p = stored ? key.ReadPlacement(form_) : TWinPlacement{};
  QRect r;
  QScreen* screen = nullptr;
  if (p.Complete) {
    r = QRect(p.Pos, p.Size);
    screen = ScreenOf(r);
  } else {
    screen = form_->screen() ? form_->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QSize size = form_->size();
    const int x = DefaultLeft == -1 ? std::max(0, (area.width() - size.width()) / 2)
                                    : std::clamp(DefaultLeft, 0, std::max(0, area.width() - size.width()));
    const int y = DefaultTop == -1 ? std::max(0, (area.height() - size.height()) / 2)
                                   : std::clamp(DefaultTop, 0, std::max(0, area.height() - size.height()));
    r = QRect(area.topLeft() + QPoint(x, y), size);
  }
  if (screen) r = KeepOnScreen(r, screen->availableGeometry());
  form_->setWindowState(form_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  form_->move(r.topLeft());
  form_->resize(r.size());
  if (p.WindowState == 2) form_->setWindowState(form_->windowState() | Qt::WindowMaximized);

  QWidget* focus = form_->focusWidget();
  for (const QPointer<TExtGrid3>& g : editing) {
    if (!g) continue;
    g->SetEditing(true);
    // The grid holding the focus reports entering its current line again.
    if (focus && (focus == g || g->isAncestorOf(focus)) && g->OnCRLIn) g->OnCRLIn(g->Col(), g->Row(), g->CurLine());
  }
}

int TFormControl::HorzBarAllowance() const {
  TExtGrid3* g = StringGrid;
  if (!g || !(g->ScrollBars() == ssHorizontal || g->ScrollBars() == ssBoth)) return 0;
  const QScrollBar* bar = g->horizontalScrollBar();
  return bar->maximum() > bar->minimum() ? ScrollBarExtent(g) : 0;
}

int TFormControl::VertBarAllowance() const {
  TExtGrid3* g = StringGrid;
  if (!g || !(g->ScrollBars() == ssVertical || g->ScrollBars() == ssBoth)) return 0;
  const QScrollBar* bar = g->verticalScrollBar();
  return bar->maximum() > bar->minimum() ? ScrollBarExtent(g) : 0;
}

void TFormControl::SnapSize() {
  snapPending_ = false;
  if (!form_ || !form_->isVisible()) return;
  const Qt::WindowStates free = ~Qt::WindowStates(Qt::WindowActive);
  if ((form_->windowState() & free) == Qt::WindowNoState && (StepV > 1 || StepH > 1)) {
    // Each snap can show or hide a grid's scroll bar, which moves the other
    // direction's steps: height and width twice in turn.
    snapping_ = true;
    for (int pass = 0; pass < 2 && form_; ++pass) {
      if (StepV > 1) {
        const int h = Snap(form_->height(), MinClientHeight, MaxClientHeight, StepV, HorzBarAllowance());
        if (h != form_->height()) form_->resize(form_->width(), h);
      }
      if (form_ && StepH > 1) {
        const int w = Snap(form_->width(), MinClientWidth, MaxClientWidth, StepH, VertBarAllowance());
        if (w != form_->width()) form_->resize(w, form_->height());
      }
    }
    snapping_ = false;
  }
  if (form_) emit FormResize();
}

void TFormControl::FontChanged() {
  const int height = QFontMetrics(form_->font()).height();
  if (fontHeight_ > 0 && height > 0 && height != fontHeight_) {
    for (int* limit : {&MinClientWidth, &MaxClientWidth, &MinClientHeight, &MaxClientHeight})
      if (*limit > 0) *limit = MulDiv(*limit, height, fontHeight_);
    ApplyLimits();
    if (form_) {
      const QSize now = form_->size();
      const QSize bounded = now.expandedTo(form_->minimumSize()).boundedTo(form_->maximumSize());
      if (bounded != now) form_->resize(bounded);
    }
  }
  fontHeight_ = height;
}

bool TFormControl::eventFilter(QObject* watched, QEvent* e) {
  if (watched == form_ && form_) {
    switch (e->type()) {
      case QEvent::Show:
        // Restoring from the task bar is a spontaneous show: not a new start.
        if (!e->spontaneous() && !placed_) {
          placed_ = true;
          // The name is kept: a form being destroyed no longer knows its class.
          formName_ = TExtRegistry::FormName(form_);
          ApplyLimits();
          if (RegistWinPos && form_) LoadPlacement();
        }
        break;
      case QEvent::Hide:
        // Minimising is a spontaneous hide; closing, hiding and destroying
        // a shown form are not.
        if (!e->spontaneous() && placed_ && RegistWinPos) SavePlacement();
        break;
      case QEvent::Resize:
        if (!snapping_ && !snapPending_) {
          snapPending_ = true;
          QTimer::singleShot(0, this, &TFormControl::SnapSize);
        }
        break;
      case QEvent::FontChange:
        FontChanged();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, e);
}

}  // namespace dlvr

#include "moc_form_control.cpp"
