#include "components/message_service.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTimer>

#include "components/drawing_canvas.h"

namespace dlvr {
namespace {

TMessageBoxService::ShowHook g_showHook;

using B = QMessageBox::StandardButton;

// Without a Cancel button, Escape and the close button leave the box
// without an answer (Qt would click Abort, No or the only button).
class TNoCancelGuard : public QObject {
 public:
  explicit TNoCancelGuard(QMessageBox& box) : box_(box) { box.installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != &box_ || box_.button(B::Cancel)) return false;
    const bool escape = e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->matches(QKeySequence::Cancel);
    if (escape || e->type() == QEvent::Close) {
      box_.reject();
      return true;
    }
    return false;
  }

 private:
  QMessageBox& box_;
};

}  // namespace

QString TMessageBoxService::BoxText(const std::string& text) {
  QString t = QString::fromStdString(text);
  t.replace("\r\n", "\n");
  t.replace("\n\r", "\n");
  t.replace('\r', '\n');
  return t;
}

QMessageBox::StandardButton TMessageBoxService::ButtonOf(DialogAnswer answer) {
  switch (answer) {
    case DialogAnswer::Ok: return B::Ok;
    case DialogAnswer::Cancel: return B::Cancel;
    case DialogAnswer::Abort: return B::Abort;
    case DialogAnswer::Retry: return B::Retry;
    case DialogAnswer::Ignore: return B::Ignore;
    case DialogAnswer::Yes: return B::Yes;
    case DialogAnswer::No: return B::No;
    case DialogAnswer::None: break;
  }
  return B::NoButton;
}

DialogAnswer TMessageBoxService::AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case B::Ok: return DialogAnswer::Ok;
    case B::Cancel: return DialogAnswer::Cancel;
    case B::Abort: return DialogAnswer::Abort;
    case B::Retry: return DialogAnswer::Retry;
    case B::Ignore: return DialogAnswer::Ignore;
    case B::Yes: return DialogAnswer::Yes;
    case B::No: return DialogAnswer::No;
    default: return DialogAnswer::None;
  }
}

void TMessageBoxService::Prepare(QMessageBox& box, const MessageRequest& r) {
  box.setWindowTitle(r.Caption.empty() ? ApplicationTitle() : QString::fromStdString(r.Caption));
  // File and folder names in messages may hold "<" or "&": never markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(BoxText(r.Text));
  switch (r.Icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
  }
  QMessageBox::StandardButtons buttons;
  switch (r.Buttons) {
    case MsgButtons::Ok: buttons = B::Ok; break;
    case MsgButtons::OkCancel: buttons = B::Ok | B::Cancel; break;
    case MsgButtons::AbortRetry: buttons = B::Abort | B::Retry; break;
    case MsgButtons::AbortRetryIgnore: buttons = B::Abort | B::Retry | B::Ignore; break;
    case MsgButtons::RetryCancel: buttons = B::Retry | B::Cancel; break;
    case MsgButtons::YesNo: buttons = B::Yes | B::No; break;
    case MsgButtons::YesNoCancel: buttons = B::Yes | B::No | B::Cancel; break;
  }
  box.setStandardButtons(buttons);
  // The buttons speak the program's language whatever the desktop's.
  struct Caption {
    B Button;
    const char* Text;
  };
  static const Caption kCaptions[] = {{B::Ok, "OK"},
                                      {B::Cancel, QT_TRANSLATE_NOOP("TMessageBoxService", "キャンセル")},
                                      {B::Abort, QT_TRANSLATE_NOOP("TMessageBoxService", "中止(&A)")},
                                      {B::Retry, QT_TRANSLATE_NOOP("TMessageBoxService", "再試行(&R)")},
                                      {B::Ignore, QT_TRANSLATE_NOOP("TMessageBoxService", "無視(&I)")},
                                      {B::Yes, QT_TRANSLATE_NOOP("TMessageBoxService", "はい(&Y)")},
                                      {B::No, QT_TRANSLATE_NOOP("TMessageBoxService", "いいえ(&N)")}};
  for (const Caption& c : kCaptions)
    if (QAbstractButton* b = box.button(c.Button))
      b->setText(QCoreApplication::translate("TMessageBoxService", c.Text));
  const B def = ButtonOf(r.Default);
  if (def != B::NoButton && buttons.testFlag(def)) box.setDefaultButton(def);
  if (QAbstractButton* cancel = box.button(B::Cancel)) box.setEscapeButton(cancel);
}

void TMessageBoxService::SetShowHook(ShowHook hook) { g_showHook = std::move(hook); }

DialogAnswer TMessageBoxService::Show(const MessageRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  Prepare(box, request);
  TNoCancelGuard guard(box);
  if (g_showHook) {
    ShowHook hook = g_showHook;
    QTimer::singleShot(0, &box, [&box, hook] { hook(box); });
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return clicked ? AnswerOf(box.standardButton(clicked)) : DialogAnswer::None;
}

TMessageBoxScope::TMessageBoxScope() : previous_(&Prompts()) { SetPromptService(&service_); }

TMessageBoxScope::~TMessageBoxScope() {
  // Only while this scope's service is still the installed one.
  if (&Prompts() == &service_) SetPromptService(previous_);
}

}  // namespace dlvr
