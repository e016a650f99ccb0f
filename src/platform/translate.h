// The user's language for texts the core makes (findings, states, captions of
// its tables). The core has no translations of its own: the program installs a
// hook that looks texts up, and without one every text stays Japanese, the
// source language, byte for byte.
#pragma once

#include <initializer_list>
#include <string>
#include <span>
#include <string_view>

// Marks a text of a static table for translation without translating it: the
// table keeps the Japanese source, and the code that shows the text passes it
// through Tr with the same context.
#define DLVR_TR_NOOP(context, text) text

namespace dlvr {

// Takes a context and a Japanese source text (UTF-8, as written in the code)
// and gives the text in the user's language, or the source when it has none.
using TranslateFn = std::string (*)(const char* context, const char* source);

// Installs (or, with null, removes) the hook. Set it once at start, before
// any thread that makes texts runs.
void SetTranslateHook(TranslateFn fn);

// `source` in the user's language. Call it with string literals, so that the
// translation tools find the texts; for a text kept in a table (DLVR_TR_NOOP),
// with that table's context.
std::string Tr(const char* context, const char* source);
std::string Tr(const char* context, const std::string& source);

// `pattern` with %1 ... %9 replaced by `args` in order, in one pass: a value
// holding "%1" is taken as it stands. A %N without its argument stays.
std::string Arg(std::string_view pattern, std::initializer_list<std::string_view> args);
std::string Arg(std::string_view pattern, std::span<const std::string_view> args);

}  // namespace dlvr
