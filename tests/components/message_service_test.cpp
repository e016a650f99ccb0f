#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "components/message_service.h"
#include "delivery/helpers.h"

namespace dlvr {
namespace {

using B = QMessageBox::StandardButton;

MessageRequest Request(MsgButtons buttons, DialogAnswer def = DialogAnswer::None) {
  MessageRequest r;
  r.Text = "確認";
  r.Buttons = buttons;
  r.Default = def;
  return r;
}

TEST(MessageBoxes, RequestsBecomeBoxes) {
  const std::pair<MsgButtons, QMessageBox::StandardButtons> sets[] = {
      {MsgButtons::Ok, B::Ok},
      {MsgButtons::OkCancel, B::Ok | B::Cancel},
      {MsgButtons::AbortRetry, B::Abort | B::Retry},
      {MsgButtons::AbortRetryIgnore, B::Abort | B::Retry | B::Ignore},
      {MsgButtons::RetryCancel, B::Retry | B::Cancel},
      {MsgButtons::YesNo, B::Yes | B::No},
      {MsgButtons::YesNoCancel, B::Yes | B::No | B::Cancel},
  };
  for (const auto& [buttons, shown] : sets) {
    QMessageBox box;
    TMessageBoxService::Prepare(box, Request(buttons));
    EXPECT_EQ(box.standardButtons(), shown) << static_cast<int>(buttons);
  }
  QMessageBox box;
  MessageRequest r = Request(MsgButtons::AbortRetryIgnore, DialogAnswer::Retry);
  r.Text = "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。";
  r.Icon = MsgIcon::Warning;
  TMessageBoxService::Prepare(box, r);
  EXPECT_EQ(box.text(), "メディアが挿入されていないか、デバイスの準備ができていません。\n\nメディアを確認してください。");
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(B::Retry));
  EXPECT_EQ(box.windowTitle(), "Quillan電子納品ビューア");
  EXPECT_EQ(box.button(B::Ignore)->text(), "無視(&I)");

  // Names with markup characters are shown as they are.
  QMessageBox named;
  r = Request(MsgButtons::YesNoCancel, DialogAnswer::Ok);  // a default not among the buttons
  r.Text = "<b>A&B</b> の <INDEX_C.XML> がありません。";
  r.Caption = "データチェック";
  r.Icon = MsgIcon::Error;
  TMessageBoxService::Prepare(named, r);
  EXPECT_EQ(named.textFormat(), Qt::PlainText);
  EXPECT_EQ(named.windowTitle(), "データチェック");
  EXPECT_EQ(named.icon(), QMessageBox::Critical);
  EXPECT_EQ(named.defaultButton(), nullptr);
  EXPECT_EQ(named.button(B::Cancel)->text(), "キャンセル");
  EXPECT_EQ(TMessageBoxService::BoxText("a\r\nb\n\rc\r\r\nd"), "a\nb\nc\n\nd");
}

// Shows a request through the installed service, doing `act` to the box
// once it is up.
DialogAnswer ShowWith(const MessageRequest& r, const std::function<void(QMessageBox&)>& act) {
  TMessageBoxService::SetShowHook([&](QMessageBox& box) {
    EXPECT_TRUE(box.isVisible() && box.isModal());
    QTimer::singleShot(3000, &box, [&box] {
      ADD_FAILURE() << "box left open";
      box.done(0);
    });
    act(box);
  });
  const DialogAnswer answer = Prompts().Show(r);
  TMessageBoxService::SetShowHook(nullptr);
  return answer;
}

void PressKey(QMessageBox& box, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(box.focusWidget() ? box.focusWidget() : &box, &press);
}

TEST(MessageBoxes, TheAnswerIsTheButtonChosen) {
  TMessageBoxScope scope;
  const std::tuple<MsgButtons, B, DialogAnswer> clicks[] = {
      {MsgButtons::Ok, B::Ok, DialogAnswer::Ok},           {MsgButtons::OkCancel, B::Cancel, DialogAnswer::Cancel},
      {MsgButtons::AbortRetry, B::Abort, DialogAnswer::Abort}, {MsgButtons::AbortRetryIgnore, B::Ignore, DialogAnswer::Ignore},
      {MsgButtons::RetryCancel, B::Retry, DialogAnswer::Retry}, {MsgButtons::YesNo, B::Yes, DialogAnswer::Yes},
      {MsgButtons::YesNoCancel, B::No, DialogAnswer::No},
  };
  for (const auto& [buttons, clicked, answer] : clicks)
    EXPECT_EQ(ShowWith(Request(buttons), [&](QMessageBox& box) { box.button(clicked)->click(); }), answer);
  EXPECT_EQ(ShowWith(Request(MsgButtons::YesNo, DialogAnswer::No), [](QMessageBox& b) { PressKey(b, Qt::Key_Return); }),
            DialogAnswer::No);  // Return takes the default button

  // Escape and closing never choose Abort or No for the user.
  for (MsgButtons b : {MsgButtons::Ok, MsgButtons::AbortRetry, MsgButtons::AbortRetryIgnore, MsgButtons::YesNo}) {
    EXPECT_EQ(ShowWith(Request(b), [](QMessageBox& box) { PressKey(box, Qt::Key_Escape); }), DialogAnswer::None);
    EXPECT_EQ(ShowWith(Request(b), [](QMessageBox& box) { box.close(); }), DialogAnswer::None);
  }
  for (MsgButtons b : {MsgButtons::OkCancel, MsgButtons::RetryCancel, MsgButtons::YesNoCancel}) {
    EXPECT_EQ(ShowWith(Request(b), [](QMessageBox& box) { PressKey(box, Qt::Key_Escape); }), DialogAnswer::Cancel);
    EXPECT_EQ(ShowWith(Request(b), [](QMessageBox& box) { box.close(); }), DialogAnswer::Cancel);
  }
  // The core's own prompt reaches the box.
  TMessageBoxService::SetShowHook([](QMessageBox& box) { box.button(B::Retry)->click(); });
  EXPECT_EQ(AskMediaNotReady(), DialogAnswer::Retry);
  TMessageBoxService::SetShowHook(nullptr);
}

TEST(MessageBoxes, TheScopePutsBackTheServiceItReplaced) {
  struct Scripted : TPromptService {
    DialogAnswer Show(const MessageRequest&) override { return DialogAnswer::Ignore; }
  } scripted;
  SetPromptService(&scripted);
  {
    TMessageBoxScope scope;
    EXPECT_NE(dynamic_cast<TMessageBoxService*>(&Prompts()), nullptr);
  }
  EXPECT_EQ(&Prompts(), &scripted);
  SetPromptService(nullptr);
  { TMessageBoxScope scope; }
  EXPECT_EQ(Ask("?", MsgIcon::Question, MsgButtons::YesNo, DialogAnswer::Yes), DialogAnswer::None);
}

}  // namespace
}  // namespace dlvr
