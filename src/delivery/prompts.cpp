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

}  // namespace

TPromptService& Prompts() {
  TPromptService* s = g_service.load();
  return s ? *s : g_silent;
}

void SetPromptService(TPromptService* service) { g_service.store(service); }

}  // namespace dlvr
