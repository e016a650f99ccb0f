// The viewer's dialog service: every message and question of the system as
// a message box with its icon, buttons and default button.
#pragma once

#include <QMessageBox>
#include <QString>

#include "delivery/prompts.h"

namespace dlvr {

class TMessageBoxService : public TPromptService {
 public:
  DialogAnswer Show(const MessageRequest& request) override;

  // The box's text: "\r" (and "\n\r", "\r\n") break lines.
  static QString BoxText(const std::string& text);
  // The box the request gives, not yet shown (for tests and for Show).
  static void Prepare(QMessageBox& box, const MessageRequest& request);
  static DialogAnswer AnswerOf(QMessageBox::StandardButton button);
};

// Installs the message box service for its lifetime.
class TMessageBoxScope {
 public:
  TMessageBoxScope() { SetPromptService(&service_); }
  ~TMessageBoxScope() { SetPromptService(nullptr); }
  TMessageBoxScope(const TMessageBoxScope&) = delete;
  TMessageBoxScope& operator=(const TMessageBoxScope&) = delete;

 private:
  TMessageBoxService service_;
};

}  // namespace dlvr
