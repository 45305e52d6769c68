// The user's number format: the decimal and thousands separators that number
// texts for the user are written with.
//
// By default they come from the user's settings, read once from the
// environment's numeric locale (LC_ALL, LC_NUMERIC, LANG) without changing
// the process's own locale: "." and no grouping when nothing is set (the C
// locale). Tests and programs may set them; the setting holds for the whole
// process until reset.
//
// Each separator is at most four characters (longer ones are cut); an empty
// thousands separator means no grouping. Threading: any thread. Never throws.
#pragma once

#include <string>

#include "platform/export.h"

namespace kelda::platform {

struct NumberSeparators {
  std::u16string decimal = u".";
  std::u16string thousands;  // empty: no grouping
  bool operator==(const NumberSeparators&) const = default;
};

// The separators in force.
KELDA_PLATFORM_API NumberSeparators user_number_separators();
// Puts `separators` in force (cut to four characters each).
KELDA_PLATFORM_API void set_user_number_separators(const NumberSeparators& separators);
// Goes back to the user's settings.
KELDA_PLATFORM_API void reset_user_number_separators();
// What the user's settings give, read now (ignores set_user_number_separators).
KELDA_PLATFORM_API NumberSeparators number_separators_from_settings();

}  // namespace kelda::platform
