// Transaction texts: reading a value out of a caller's "KEY=value|..." text,
// formatting one value to a field's fixed width and type, and the shown text
// of a choice. Pure functions over outside bytes (any thread, no state);
// every length is bounded and every malformed input is a result code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

// Bounds of the texts a transaction is made of: one value (and the caller's
// text as kept in the description) holds 5000 characters, the formatted
// transaction, its description and its signed form 10000 bytes with the
// terminating zero.
inline constexpr std::size_t kMaxValueChars = 5000;
inline constexpr std::size_t kMaxTransactionBytes = 10000;

// Field types.
inline constexpr int16_t kFieldText = 0;
inline constexpr int16_t kFieldInteger = 1;
inline constexpr int16_t kFieldTwoDecimals = 2;
inline constexpr int16_t kFieldPrice = 3;
inline constexpr int16_t kFieldChoice = 4;
inline constexpr int16_t kFieldInteger2 = 5;
inline constexpr int16_t kFieldSixDecimals = 6;

// The value that `key` has in a text of pairs joined by "|": keys match
// exactly after the blanks around them are removed; the value is returned
// without its surrounding blanks. The first pair with the key wins; an item
// without "=" is skipped.
std::optional<std::string_view> text_value(std::string_view text, std::string_view key);

// The scale of a numeric field type (type 3 uses `price_scale`); nullopt for
// a type that is not numeric.
std::optional<int> numeric_scale(int16_t type, int price_scale);

// A value formatted for a field.
struct FormattedValue {
  KelapiResult result = KELAPI_OK;
  std::string sent;   // exactly `width` characters when result is OK
  std::string shown;  // the value as a person reads it (sign kept, trailing fraction zeros dropped)
};

// Formats `value` to `width` characters of field type `type`; `price_scale`
// is the scale of a type-3 field. Text types (0, 4) are blank-filled on the
// right, numeric ones zero-filled on the left with the decimal point
// dropped and a negative sign first. A width over kMaxValueChars or below 0
// is refused with KELAPI_E_INVALID_LENGTH, like a value that does not fit.
FormattedValue format_value(std::string_view value, int width, int16_t type, int price_scale);

// The text that a choice list ("value=text|value=text") gives for a value;
// empty when the value is not listed.
std::string_view choice_text(std::string_view list, std::string_view value);

}  // namespace kelda::kelapi
