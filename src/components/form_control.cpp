#include "components/form_control.h"

#include <QEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>

#include <cmath>

#include "components/ext_registry.h"

namespace dlvr {
namespace {

std::unique_ptr<QSettings> PlacementSettings(const QWidget* form) {
  auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Tavrin",
                                       TExtRegistry::ProgramName());
  s->beginGroup("WinPos/" + form->objectName());
  return s;
}

}  // namespace

TFormControl::TFormControl(QWidget* form) : QObject(form), form_(form) {
  QSize client = form->size();
  MinClientWidth = MaxClientWidth = client.width();
  MinClientHeight = MaxClientHeight = client.height();
  form->installEventFilter(this);
}

int TFormControl::Snap(int length, int minimum, int step, int allowance) {
  if (step <= 1) return length;
  double units = static_cast<double>(length - minimum - allowance) / step;
  return minimum + allowance + step * static_cast<int>(std::floor(units + 0.5));
}

QRect TFormControl::KeepOnScreen(QRect w, const QRect& screen) {
  const int margin = 40;
  int left = w.left() - screen.left(), top = w.top() - screen.top();
  if (left > screen.width() - margin) left = screen.width() - w.width();
  if (top > screen.height() - margin) top = screen.height() - w.height();
  if (left + w.width() < margin) left = 0;
  if (top < 0) top = 0;
  w.moveTo(screen.left() + left, screen.top() + top);
  return w;
}

void TFormControl::ApplyLimits() {
  if (!form_) return;
  form_->setMinimumSize(MinClientWidth > 0 ? MinClientWidth : 0, MinClientHeight > 0 ? MinClientHeight : 0);
  form_->setMaximumSize(MaxClientWidth > 0 ? MaxClientWidth : QWIDGETSIZE_MAX,
                        MaxClientHeight > 0 ? MaxClientHeight : QWIDGETSIZE_MAX);
}

void TFormControl::SavePlacement() {
  if (!form_) return;
  auto s = PlacementSettings(form_);
  Qt::WindowStates state = form_->windowState();
  int ws = state & Qt::WindowMaximized ? 2 : state & Qt::WindowMinimized ? 1 : 0;
  s->setValue("WindowState", ws);
  if (ws == 0) {
    // A maximised window keeps the normal placement stored before.
    QRect g = form_->geometry();
    s->setValue("Top", g.top());
    s->setValue("Left", g.left());
    if (form_->minimumSize() != form_->maximumSize()) {
      s->setValue("Width", g.width());
      s->setValue("Height", g.height());
    }
  }
}

void TFormControl::LoadPlacement() {
  if (!form_) return;
  QScreen* screenObj = form_->screen() ? form_->screen() : QGuiApplication::primaryScreen();
  QRect screen = screenObj ? screenObj->availableGeometry() : QRect(0, 0, 1024, 768);
  auto s = PlacementSettings(form_);
  bool ok1 = false, ok2 = false, ok3 = true, ok4 = true, okState = false;
  int top = s->value("Top").toInt(&ok1);
  int left = s->value("Left").toInt(&ok2);
  QSize size = form_->size();
  if (form_->minimumSize() != form_->maximumSize() && s->contains("Width")) {
    size.setWidth(s->value("Width").toInt(&ok3));
    size.setHeight(s->value("Height").toInt(&ok4));
  }
  int state = s->value("WindowState").toInt(&okState);
  QRect g;
  if (ok1 && ok2 && ok3 && ok4) {
    g = QRect(QPoint(left, top), size);
  } else {
    int x = DefaultLeft == -1 ? std::max(0, (screen.width() - size.width()) / 2)
                              : std::clamp(DefaultLeft, 0, std::max(0, screen.width() - size.width()));
    int y = DefaultTop == -1 ? std::max(0, (screen.height() - size.height()) / 2)
                             : std::clamp(DefaultTop, 0, std::max(0, screen.height() - size.height()));
    g = QRect(screen.topLeft() + QPoint(x, y), size);
  }
  form_->setGeometry(KeepOnScreen(g, screen));
  if (okState && state == 2) form_->setWindowState(Qt::WindowMaximized);
}

bool TFormControl::eventFilter(QObject* watched, QEvent* e) {
  if (watched == form_) {
    switch (e->type()) {
      case QEvent::Show:
        if (RegistWinPos && !static_cast<QWidget*>(watched)->property("dlvrPlaced").toBool()) {
          form_->setProperty("dlvrPlaced", true);
          LoadPlacement();
        }
        break;
      case QEvent::Hide:
        if (RegistWinPos) SavePlacement();
        break;
      case QEvent::Resize:
        if (!snapping_ && (StepV > 1 || StepH > 1) && form_->isVisible() &&
            !(form_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
          QSize now = static_cast<QResizeEvent*>(e)->size();
          QSize snapped(Snap(now.width(), MinClientWidth, StepH), Snap(now.height(), MinClientHeight, StepV));
          if (snapped != now) {
            snapping_ = true;
            form_->resize(snapped);
            snapping_ = false;
          }
        }
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, e);
}

}  // namespace dlvr
