// Prompts and messages: each goes to its replaceable hook. Without a hook
// there is no user interface to ask, so prompts answer "cancelled" (275) and
// messages are dropped.
#include <cstdarg>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

uint32_t ask(void* options, char* answer, uint32_t size, const char* title, const char* format, va_list arguments) {
  SkAskStringFunction hook = skvAskString;
  if (hook == nullptr) return SK_DECLINED;
  return hook(options, answer, size, title, format, arguments);
}

uint32_t ask_list(void* options, char* answer, uint32_t size, const char* title, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  uint32_t result = ask(options, answer, size, title, format, arguments);
  va_end(arguments);
  return result;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t skAskString(void* options, char* answer, uint32_t size, const char* title, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  uint32_t result = ask(options, answer, size, title, format, arguments);
  va_end(arguments);
  return result;
}

SK_API uint32_t skAskPwd(void* options, char* answer, uint32_t size, const char* title, const char* prompt) {
  SkPromptOptions own{};
  auto* chosen = options != nullptr ? static_cast<SkPromptOptions*>(options) : &own;
  chosen->flags |= SK_PROMPT_PASSWORD;
  return ask_list(chosen, answer, size, title, "%s", prompt != nullptr ? prompt : "");
}

SK_API uint32_t skMessage(uint32_t flags, const char* title, const char* format, ...) {
  SkMessageFunction hook = skvMessage;
  if (hook == nullptr || format == nullptr) return SK_OK;
  va_list arguments;
  va_start(arguments, format);
  uint32_t result = hook(flags, title, format, arguments);
  va_end(arguments);
  return result;
}

SK_API uint32_t skKeyReadRetryFail(uint32_t, uint32_t error, const char*, uint32_t) { return skIORet(error); }
