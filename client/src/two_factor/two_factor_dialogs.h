// The library's own two-factor dialogs, described through the ui layer's
// Qt-free interface (templates registered under the module "KeldaApi" by
// resource id): the PIN and token number (9200), the next token number
// (9201), a new PIN chosen by the user (9202), the system's PIN (9204),
// either of the two (9205), and the access PIN handed out by the broker
// (10010).
//
// Threading: any thread. A dialog asked for off the user-interface thread
// runs there while the caller waits; without a user-interface thread it is
// "cancelled". The caller must not hold the library lock.
// Errors: a dialog that does not run counts as cancelled (nullopt).
#pragma once

#include <optional>
#include <string>

#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

inline constexpr const char* kTwoFactorModule = "KeldaApi";

namespace two_factor_ids {
inline constexpr int token_dialog = 9200;
inline constexpr int next_token_dialog = 9201;
inline constexpr int new_pin_dialog = 9202;
inline constexpr int system_pin_dialog = 9204;
inline constexpr int either_pin_dialog = 9205;
inline constexpr int access_pin_dialog = 10010;
inline constexpr int pin = 9210;
inline constexpr int token = 9211;
inline constexpr int next_token = 9212;
inline constexpr int new_pin = 9213;
inline constexpr int repeat_pin = 9214;
inline constexpr int system_pin = 9215;
inline constexpr int rule_text = 9216;
inline constexpr int show = 9217;
}  // namespace two_factor_ids

// The answers, as 8-bit (1251) texts: the PIN followed by the token number;
// the next token number; a new PIN.
std::optional<std::string> ask_token(bool next);
// The dialog the rule's mode chooses (65: the access PIN; below 65: bit 0x1
// user's PIN, else 0x2 the system's, else 0x4 either). nullopt when the user
// cancels or no bit chooses a dialog.
std::optional<std::string> ask_new_pin(const KelapiPinRule& rule);

}  // namespace kelda::kelapi
