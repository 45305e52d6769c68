// Price texts of the chart: a value printed with a number of decimals, the
// user's decimal separator in place of '.', the user's thousands separator
// between groups of three integer digits (no grouping when the settings give
// none), optionally without trailing zeros after the separator.
//
// Threading: any thread; the fallback buffer used when the caller gives none
// is per thread. Never throws; a text that does not fit the buffer is cut at
// size - 1 characters and always terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelda::chart {

// Writes the text into `buffer` (terminated; at most buffer.size() - 1
// characters) and answers a view of it. An empty buffer makes the text in the
// calling thread's own 2048-character buffer, valid until its next call.
std::u16string_view formatNumber(double value, int32_t decimals, std::span<char16_t> buffer, bool trim);

// The same text as a string (for texts kept beyond the next call).
std::u16string formatNumberText(double value, int32_t decimals, bool trim);

}  // namespace kelda::chart
