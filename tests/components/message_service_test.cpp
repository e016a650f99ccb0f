#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QTimer>

#include "components/message_service.h"
#include "delivery/helpers.h"

namespace dlvr {
namespace {

TEST(MessageBoxes, RequestsBecomeBoxesWithTheirButtons) {
  QMessageBox box;
  MessageRequest r;
  r.Text = "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。";
  r.Icon = MsgIcon::Warning;
  r.Buttons = MsgButtons::AbortRetry;
  r.Default = DialogAnswer::Retry;
  TMessageBoxService::Prepare(box, r);
  EXPECT_EQ(box.text(), "メディアが挿入されていないか、デバイスの準備ができていません。\n\nメディアを確認してください。");
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  EXPECT_EQ(box.standardButtons(), QMessageBox::Abort | QMessageBox::Retry);
  EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::Retry));
  EXPECT_EQ(box.windowTitle(), "Quillan電子納品ビューア");
  EXPECT_EQ(TMessageBoxService::BoxText("a\n\r\n\rb"), "a\n\nb");
}

TEST(MessageBoxes, TheAnswerIsTheButtonClicked) {
  TMessageBoxScope scope;
  // Click Retry on the box once it is up.
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w))
        if (box->isVisible()) box->button(QMessageBox::Retry)->click();
  });
  EXPECT_EQ(AskMediaNotReady(), DialogAnswer::Retry);
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w))
        if (box->isVisible()) box->reject();
  });
  EXPECT_EQ(AskMediaNotReady(), DialogAnswer::None);  // closed: neither button
}

}  // namespace
}  // namespace dlvr
