#include "components/message_service.h"

#include <QAbstractButton>
#include <QApplication>

#include "check/report_layout.h"

namespace dlvr {

QString TMessageBoxService::BoxText(const std::string& text) {
  QString t = QString::fromStdString(text);
  t.replace("\r\n", "\n");
  t.replace("\n\r", "\n");
  t.replace('\r', '\n');
  return t;
}

void TMessageBoxService::Prepare(QMessageBox& box, const MessageRequest& r) {
  box.setWindowTitle(r.Caption.empty() ? QString::fromUtf8(kApplicationTitle) : QString::fromStdString(r.Caption));
  box.setText(BoxText(r.Text));
  switch (r.Icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
  }
  using B = QMessageBox::StandardButton;
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
  // The buttons speak Japanese whatever the desktop's language.
  struct Caption {
    B Button;
    const char* Text;
  };
  static const Caption kCaptions[] = {{B::Ok, "OK"},         {B::Cancel, "キャンセル"}, {B::Abort, "中止(&A)"},
                                      {B::Retry, "再試行(&R)"}, {B::Ignore, "無視(&I)"},  {B::Yes, "はい(&Y)"},
                                      {B::No, "いいえ(&N)"}};
  for (const Caption& c : kCaptions)
    if (QAbstractButton* b = box.button(c.Button)) b->setText(QString::fromUtf8(c.Text));
  B def = B::NoButton;
  switch (r.Default) {
    case DialogAnswer::Ok: def = B::Ok; break;
    case DialogAnswer::Cancel: def = B::Cancel; break;
    case DialogAnswer::Abort: def = B::Abort; break;
    case DialogAnswer::Retry: def = B::Retry; break;
    case DialogAnswer::Ignore: def = B::Ignore; break;
    case DialogAnswer::Yes: def = B::Yes; break;
    case DialogAnswer::No: def = B::No; break;
    case DialogAnswer::None: break;
  }
  if (def != B::NoButton && (buttons & def)) box.setDefaultButton(def);
}

DialogAnswer TMessageBoxService::AnswerOf(QMessageBox::StandardButton button) {
  using B = QMessageBox::StandardButton;
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

DialogAnswer TMessageBoxService::Show(const MessageRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  Prepare(box, request);
  box.exec();
  // Closing a box without a Cancel button answers nothing.
  QAbstractButton* clicked = box.clickedButton();
  if (!clicked) return DialogAnswer::None;
  return AnswerOf(box.standardButton(clicked));
}

}  // namespace dlvr
