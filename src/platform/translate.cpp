#include "platform/translate.h"

#include <atomic>

namespace dlvr {

namespace {
std::atomic<TranslateFn> g_hook{nullptr};
}

void SetTranslateHook(TranslateFn fn) { g_hook.store(fn, std::memory_order_release); }

std::string Tr(const char* context, const char* source) {
  if (!source) return {};
  const TranslateFn fn = g_hook.load(std::memory_order_acquire);
  if (!fn || !context) return source;
  try {
    return fn(context, source);
  } catch (...) {
    return source;
  }
}

std::string Tr(const char* context, const std::string& source) { return Tr(context, source.c_str()); }

std::string Arg(std::string_view pattern, std::initializer_list<std::string_view> args) {
  return Arg(pattern, std::span<const std::string_view>(args.begin(), args.size()));
}

std::string Arg(std::string_view pattern, std::span<const std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 16 * args.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += *(args.begin() + n);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace dlvr
