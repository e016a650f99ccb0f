// The one dialog service through which every message and question of the
// system passes. The GUI shows message boxes; tests install a scripted
// service; without one, nothing is shown and every question is answered
// with DialogAnswer::None (as if the dialog had been closed).
#pragma once

#include <string>

namespace dlvr {

enum class DialogAnswer { None, Ok, Cancel, Abort, Retry, Ignore, Yes, No };
enum class MsgIcon { None, Information, Warning, Question, Error };
enum class MsgButtons { Ok, OkCancel, AbortRetry, AbortRetryIgnore, RetryCancel, YesNo, YesNoCancel };

struct MessageRequest {
  // The text exactly as the system words it; "\r" separates lines.
  std::string Text;
  MsgIcon Icon = MsgIcon::Information;
  MsgButtons Buttons = MsgButtons::Ok;
  DialogAnswer Default = DialogAnswer::Ok;
  // The window caption; empty means the application title.
  std::string Caption;
};

class TPromptService {
 public:
  virtual ~TPromptService() = default;
  virtual DialogAnswer Show(const MessageRequest& request) = 0;
};

// Shows a message through the installed service.
DialogAnswer Ask(const std::string& text, MsgIcon icon, MsgButtons buttons, DialogAnswer defaultButton);
// An information message with an OK button.
DialogAnswer Inform(const std::string& text);

// The installed service (never null: a silent one when none is installed).
TPromptService& Prompts();
// Installs a service; nullptr restores the silent one. The caller keeps
// ownership and must uninstall it before destroying it.
void SetPromptService(TPromptService* service);
// Installs a service for the calling thread only, before the process-wide
// one (nullptr: the process-wide one again). A worker that must ask nobody
// installs a silent one for itself.
void SetThreadPromptService(TPromptService* service);
// A service that shows nothing and answers every question with
// DialogAnswer::None.
TPromptService& SilentPrompts();

}  // namespace dlvr
