#include "delivery/prompts.h"

#include <atomic>

namespace dlvr {
namespace {

class SilentPromptService : public TPromptService {
 public:
  DialogAnswer Show(const MessageRequest&) override { return DialogAnswer::None; }
};

SilentPromptService g_silent;
std::atomic<TPromptService*> g_service{nullptr};
thread_local TPromptService* t_service = nullptr;

}  // namespace

TPromptService& Prompts() {
  if (t_service) return *t_service;
  TPromptService* s = g_service.load();
  return s ? *s : g_silent;
}

void SetPromptService(TPromptService* service) { g_service.store(service); }

void SetThreadPromptService(TPromptService* service) { t_service = service; }

TPromptService& SilentPrompts() { return g_silent; }

DialogAnswer Ask(const std::string& text, MsgIcon icon, MsgButtons buttons, DialogAnswer defaultButton) {
  MessageRequest r;
  r.Text = text;
  r.Icon = icon;
  r.Buttons = buttons;
  r.Default = defaultButton;
  return Prompts().Show(r);
}

DialogAnswer Inform(const std::string& text) { return Ask(text, MsgIcon::Information, MsgButtons::Ok, DialogAnswer::Ok); }

}  // namespace dlvr
