// The viewer's dialog service: every message and question of the system as
// a modal message box over the active window, with its icon, its buttons in
// the program's language ("OK", "キャンセル", "中止(&A)", "再試行(&R)",
// "無視(&I)", "はい(&Y)", "いいえ(&N)" in Japanese), its default button, and
// the application title as caption unless the request names one.
//
// The answer is the button clicked. Escape and the window's close button
// answer Cancel when the box has a Cancel button and DialogAnswer::None
// otherwise (they never click Abort or No in the user's place).
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

#include "delivery/prompts.h"

namespace dlvr {

class TMessageBoxService : public TPromptService {
 public:
  DialogAnswer Show(const MessageRequest& request) override;

  // The box's text: "\r" (and "\r\n", "\n\r", "\n") break lines, so "\r\r"
  // leaves a blank line.
  static QString BoxText(const std::string& text);
  // Gives `box` what the request asks for (Show does this before showing).
  static void Prepare(QMessageBox& box, const MessageRequest& request);
  static DialogAnswer AnswerOf(QMessageBox::StandardButton button);
  static QMessageBox::StandardButton ButtonOf(DialogAnswer answer);

  // For tests: called with every box once it is shown and waiting for the
  // user; the hook may look at it and click a button, press Escape or
  // close it. An empty hook leaves the boxes to the user.
  using ShowHook = std::function<void(QMessageBox& box)>;
  static void SetShowHook(ShowHook hook);
};

// Installs the message box service for its lifetime, and puts back the
// service it replaced.
class TMessageBoxScope {
 public:
  TMessageBoxScope();
  ~TMessageBoxScope();
  TMessageBoxScope(const TMessageBoxScope&) = delete;
  TMessageBoxScope& operator=(const TMessageBoxScope&) = delete;

 private:
  TMessageBoxService service_;
  TPromptService* previous_ = nullptr;
};

}  // namespace dlvr
