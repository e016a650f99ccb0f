#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <vector>

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

TEST(MessageBoxes, ButtonSetsAndTheirJapaneseTexts) {
  struct Case {
    MsgButtons Buttons;
    QMessageBox::StandardButtons Shown;
  };
  const Case cases[] = {
      {MsgButtons::Ok, B::Ok},
      {MsgButtons::OkCancel, B::Ok | B::Cancel},
      {MsgButtons::AbortRetry, B::Abort | B::Retry},
      {MsgButtons::AbortRetryIgnore, B::Abort | B::Retry | B::Ignore},
      {MsgButtons::RetryCancel, B::Retry | B::Cancel},
      {MsgButtons::YesNo, B::Yes | B::No},
      {MsgButtons::YesNoCancel, B::Yes | B::No | B::Cancel},
  };
  for (const Case& c : cases) {
    QMessageBox box;
    TMessageBoxService::Prepare(box, Request(c.Buttons));
    EXPECT_EQ(box.standardButtons(), c.Shown) << static_cast<int>(c.Buttons);
  }
  QMessageBox box;
  MessageRequest all = Request(MsgButtons::YesNoCancel);
  TMessageBoxService::Prepare(box, all);
  EXPECT_EQ(box.button(B::Yes)->text(), "はい(&Y)");
  EXPECT_EQ(box.button(B::No)->text(), "いいえ(&N)");
  EXPECT_EQ(box.button(B::Cancel)->text(), "キャンセル");
  QMessageBox other;
  TMessageBoxService::Prepare(other, Request(MsgButtons::AbortRetryIgnore));
  EXPECT_EQ(other.button(B::Abort)->text(), "中止(&A)");
  EXPECT_EQ(other.button(B::Retry)->text(), "再試行(&R)");
  EXPECT_EQ(other.button(B::Ignore)->text(), "無視(&I)");
  QMessageBox ok;
  TMessageBoxService::Prepare(ok, Request(MsgButtons::Ok));
  EXPECT_EQ(ok.button(B::Ok)->text(), "OK");
}

TEST(MessageBoxes, TextIconCaptionAndDefaultButton) {
  QMessageBox box;
  MessageRequest r;
  r.Text = "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。";
  r.Icon = MsgIcon::Warning;
  r.Buttons = MsgButtons::AbortRetry;
  r.Default = DialogAnswer::Retry;
  TMessageBoxService::Prepare(box, r);
  EXPECT_EQ(box.text(), "メディアが挿入されていないか、デバイスの準備ができていません。\n\nメディアを確認してください。");
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(B::Retry));
  EXPECT_EQ(box.windowTitle(), "Quillan電子納品ビューア");

  // Names with markup characters are shown as they are.
  QMessageBox named;
  r.Text = "<b>A&B</b> の <INDEX_C.XML> がありません。";
  r.Caption = "データチェック";
  r.Icon = MsgIcon::Question;
  r.Default = DialogAnswer::Yes;  // not among the buttons: Qt's choice
  TMessageBoxService::Prepare(named, r);
  EXPECT_EQ(named.textFormat(), Qt::PlainText);
  EXPECT_EQ(named.text(), QString::fromStdString(r.Text));
  EXPECT_EQ(named.windowTitle(), "データチェック");
  EXPECT_EQ(named.icon(), QMessageBox::Question);
  EXPECT_EQ(named.defaultButton(), nullptr);

  for (auto [icon, shown] : {std::pair{MsgIcon::Information, QMessageBox::Information},
                             {MsgIcon::Error, QMessageBox::Critical}, {MsgIcon::None, QMessageBox::NoIcon}}) {
    QMessageBox b;
    r.Icon = icon;
    TMessageBoxService::Prepare(b, r);
    EXPECT_EQ(b.icon(), shown);
  }

  EXPECT_EQ(TMessageBoxService::BoxText("a\rb"), "a\nb");
  EXPECT_EQ(TMessageBoxService::BoxText("a\r\nb\n\rc"), "a\nb\nc");
  EXPECT_EQ(TMessageBoxService::BoxText("a\r\r\nb"), "a\n\nb");
}

// Shows one request through the installed service with `act` run on the box
// once it is up; records what the box showed.
struct Shown {
  DialogAnswer Answer = DialogAnswer::None;
  QString Text, Title;
  QWidget* Parent = nullptr;
  bool Modal = false;
};

Shown ShowWith(const MessageRequest& r, const std::function<void(QMessageBox&)>& act) {
  Shown s;
  TMessageBoxService::SetShowHook([&](QMessageBox& box) {
    s.Text = box.text();
    s.Title = box.windowTitle();
    s.Parent = box.parentWidget();
    s.Modal = box.isModal() && box.isVisible();
    // A box the action leaves open must not hold the test.
    QTimer::singleShot(3000, &box, [&box] {
      ADD_FAILURE() << "box left open";
      box.done(0);
    });
    act(box);
  });
  s.Answer = Prompts().Show(r);
  TMessageBoxService::SetShowHook(nullptr);
  return s;
}

void Click(QMessageBox& box, B button) { box.button(button)->click(); }

void PressEscape(QMessageBox& box) {
  QWidget* target = box.focusWidget() ? box.focusWidget() : &box;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

TEST(MessageBoxes, TheAnswerIsTheButtonClicked) {
  TMessageBoxScope scope;
  struct Case {
    MsgButtons Buttons;
    B Clicked;
    DialogAnswer Answer;
  };
  const Case cases[] = {
      {MsgButtons::Ok, B::Ok, DialogAnswer::Ok},
      {MsgButtons::OkCancel, B::Cancel, DialogAnswer::Cancel},
      {MsgButtons::AbortRetry, B::Abort, DialogAnswer::Abort},
      {MsgButtons::AbortRetry, B::Retry, DialogAnswer::Retry},
      {MsgButtons::AbortRetryIgnore, B::Ignore, DialogAnswer::Ignore},
      {MsgButtons::RetryCancel, B::Retry, DialogAnswer::Retry},
      {MsgButtons::YesNo, B::Yes, DialogAnswer::Yes},
      {MsgButtons::YesNoCancel, B::No, DialogAnswer::No},
  };
  for (const Case& c : cases) {
    Shown s = ShowWith(Request(c.Buttons), [&](QMessageBox& box) { Click(box, c.Clicked); });
    EXPECT_EQ(s.Answer, c.Answer) << static_cast<int>(c.Buttons);
    EXPECT_TRUE(s.Modal);
  }
  // Through the core's own prompt, text and all.
  TMessageBoxService::SetShowHook([](QMessageBox& box) {
    EXPECT_NE(box.text().indexOf("\n\n"), -1);
    Click(box, B::Retry);
  });
  EXPECT_EQ(AskMediaNotReady(), DialogAnswer::Retry);
  TMessageBoxService::SetShowHook(nullptr);
}

TEST(MessageBoxes, EscapeAndCloseAnswerCancelOnlyWhereThereIsOne) {
  TMessageBoxScope scope;
  for (MsgButtons b : {MsgButtons::Ok, MsgButtons::AbortRetry, MsgButtons::AbortRetryIgnore, MsgButtons::YesNo}) {
    EXPECT_EQ(ShowWith(Request(b), PressEscape).Answer, DialogAnswer::None) << static_cast<int>(b);
    EXPECT_EQ(ShowWith(Request(b), [](QMessageBox& box) { box.close(); }).Answer, DialogAnswer::None)
        << static_cast<int>(b);
  }
  for (MsgButtons b : {MsgButtons::OkCancel, MsgButtons::RetryCancel, MsgButtons::YesNoCancel}) {
    EXPECT_EQ(ShowWith(Request(b), PressEscape).Answer, DialogAnswer::Cancel) << static_cast<int>(b);
    EXPECT_EQ(ShowWith(Request(b), [](QMessageBox& box) { box.close(); }).Answer, DialogAnswer::Cancel)
        << static_cast<int>(b);
  }
  // Return takes the default button.
  Shown s = ShowWith(Request(MsgButtons::YesNo, DialogAnswer::No), [](QMessageBox& box) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&box, &press);
  });
  EXPECT_EQ(s.Answer, DialogAnswer::No);
}

TEST(MessageBoxes, TheBoxStandsOverTheActiveWindow) {
  TMessageBoxScope scope;
  QWidget main;
  main.show();
  QApplication::setActiveWindow(&main);
  Shown s = ShowWith(Request(MsgButtons::Ok), [](QMessageBox& box) { Click(box, B::Ok); });
  EXPECT_EQ(s.Parent, &main);
  EXPECT_EQ(s.Title, "Quillan電子納品ビューア");
}

TEST(MessageBoxes, TheScopeInstallsAndPutsBackTheService) {
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
  {
    TMessageBoxScope scope;
  }
  // Nothing installed again: questions go unanswered and nothing is shown.
  EXPECT_EQ(Ask("?", MsgIcon::Question, MsgButtons::YesNo, DialogAnswer::Yes), DialogAnswer::None);
  EXPECT_EQ(dynamic_cast<TMessageBoxService*>(&Prompts()), nullptr);
}

}  // namespace
}  // namespace dlvr
