// Two-factor requests: callbacks or dialogs, the answers, and the refusal.
#include "two_factor/two_factor.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "core/diag.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"
#include "two_factor/two_factor_dialogs.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgTokenAnswer = 0xFC;
constexpr uint16_t kMsgNewPin = 0xFF;
constexpr std::size_t kAnswerChars = 31;
constexpr uint32_t kAccessPinMode = 65;

// Zeroes a text that held a secret before it goes.
void wipe(std::string& text) {
  std::fill(text.begin(), text.end(), '\0');
  text.clear();
}

struct Wiped {
  std::string text;
  ~Wiped() { wipe(text); }
};

// Runs a dialog with the library lock released (the receive thread holds it
// once); true when the connection it was asked for is still up afterwards.
template <typename F>
bool without_lock(Library& lib, F ask) {
  const uintptr_t connection = lib.connection();
  lib.unlock();
  try {
    ask();
  } catch (...) {
    lib.lock();
    throw;
  }
  lib.lock();
  return lib.connected() && lib.connection() == connection;
}

void refuse(Library& lib) {
  if (!lib.connected()) return;
  diag("NetDisconnected. You cancel  from two-factor authentication. Connection with server will be broken.\n");
  lib.disconnect_export();
}

void send_token_answer(Library& lib, std::string_view answer) {
  Msg00FC_TokenAnswer m;
  std::memset(&m, 0, sizeof m);
  const std::size_t n = std::min(answer.size(), sizeof m.text - 1);
  std::memcpy(m.text, answer.data(), n);
  m.count = static_cast<uint16_t>(n + 1);
  lib.send_message(kMsgTokenAnswer, &m);
  std::memset(&m, 0, sizeof m);
}

void send_new_pin(Library& lib, std::string_view pin) {
  Msg00FF_NewPin m;
  std::memset(&m, 0, sizeof m);
  const std::size_t n = std::min(pin.size(), kAnswerChars);
  std::memcpy(m.pin, pin.data(), n);
  m.count = static_cast<uint16_t>(n + 1);
  lib.send_message(kMsgNewPin, &m);
  std::memset(&m, 0, sizeof m);
}

// The text a callback wrote into its 32-byte buffer.
std::string callback_text(const char (&buffer)[32]) { return std::string(buffer, strnlen(buffer, kAnswerChars)); }

KelapiPinRule rule_of(const Msg00FE_NewPinRequest& m) {
  KelapiPinRule rule;
  std::memset(&rule, 0, sizeof rule);
  rule.mode = static_cast<uint32_t>(m.mode);
  rule.min_length = static_cast<uint32_t>(std::max<int16_t>(m.min_length, 0));
  rule.max_length = static_cast<uint32_t>(std::max<int16_t>(m.max_length, 0));
  rule.letters_allowed = m.letters_allowed != 0 ? 1 : 0;
  const std::size_t n = std::min<std::size_t>({m.system_pin_count, sizeof m.system_pin, sizeof rule.system_pin - 1});
  std::memcpy(rule.system_pin, m.system_pin, n);
  rule.system_pin[strnlen(rule.system_pin, sizeof rule.system_pin - 1)] = '\0';
  return rule;
}

}  // namespace

void on_token_request(Library& lib, bool next) {
  const auto callback = next ? lib.next_token_callback() : lib.token_callback();
  Wiped answer;
  bool given = false;
  if (callback != nullptr) {
    char buffer[32] = {};
    given = callback(buffer, sizeof buffer) != 0;
    if (given) answer.text = callback_text(buffer);
    std::memset(buffer, 0, sizeof buffer);
  } else {
    std::optional<std::string> typed;
    if (!without_lock(lib, [&] { typed = ask_token(next); })) {
      if (typed) wipe(*typed);
      return;  // the connection went while the dialog was open
    }
    given = typed.has_value();
    if (typed) {
      answer.text = typed->substr(0, kAnswerChars);
      wipe(*typed);
    }
  }
  if (!given) return refuse(lib);
  send_token_answer(lib, answer.text);
}

void on_new_pin_request(Library& lib, const Msg00FE_NewPinRequest& request) {
  KelapiPinRule rule = rule_of(request);
  Wiped pin;
  if (lib.new_pin_callback() != nullptr) {
    char buffer[32] = {};
    const bool given = lib.new_pin_callback()(&rule, buffer, sizeof buffer) != 0;
    if (given) pin.text = callback_text(buffer);
    std::memset(buffer, 0, sizeof buffer);
    std::memset(&rule, 0, sizeof rule);
    if (!given) {
      diag("KeldaApi: the new-PIN callback gave no PIN; the server is not answered\n");
      return;
    }
    return send_new_pin(lib, pin.text);
  }
  if (rule.mode > kAccessPinMode) return;
  std::optional<std::string> typed;
  const bool same_link = without_lock(lib, [&] { typed = ask_new_pin(rule); });
  std::memset(&rule, 0, sizeof rule);
  if (typed) {
    pin.text = typed->substr(0, kAnswerChars);
    wipe(*typed);
  }
  if (!same_link) return;
  if (!typed) return refuse(lib);
  send_new_pin(lib, pin.text);
}

// ---- handlers ----

// The token requests carry no fields: their record may be absent.
constexpr uint8_t kNoFields = 0;

void on_00FB_token_request(uint16_t id, const void*) {
  handle_message(id, &kNoFields, [&](Library& lib) { on_token_request(lib, false); });
}
void on_00FD_next_token_request(uint16_t id, const void*) {
  handle_message(id, &kNoFields, [&](Library& lib) { on_token_request(lib, true); });
}
void on_00FE_new_pin_request(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_new_pin_request(lib, record_copy<Msg00FE_NewPinRequest>(record, KELAPI_RECORD_END(Msg00FE_NewPinRequest, system_pin)));
  });
}

}  // namespace kelda::kelapi
