// Checks of a dialog's edit fields that show their message and, on failure,
// put the focus on the field with its whole text selected, so the user can
// type over it.
//
// Threading: user-interface thread. Errors: answered false after the message
// (through the dialog service) was shown; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/types.h"

namespace kelda::terminal {

// The control's text as a number of at most `decimals` places and `digits`
// digits (check_number's messages, captioned with the field name).
bool check_number_field(ui::Hwnd control, std::u16string& text, std::u16string_view field_name, int decimals,
                        int digits);
// A whole number of at most 9 digits from 1 to 50000, else "Введите число от
// 1 до 50000" captioned with the field name; on success `value` gets it.
bool check_period_field(ui::Hwnd control, std::u16string_view field_name, int32_t& value);

}  // namespace kelda::terminal
