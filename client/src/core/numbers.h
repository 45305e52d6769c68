// Scaled numbers and packed dates and times of the client library.
//
// Prices are kept as integers in units of ten to the minus scale of their
// security; conversion multiplies by 0.1 (or 10) once per decimal place, so
// results match the server's own to the last bit. Dates are packed as
// YYYYMMDD and times as HHMMSS in 32-bit words. Pure functions (the local
// time conversions read the process's time zone), any thread, never throw.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace kelda::kelapi {

// value * 0.1, once per decimal place; a scale below 1 returns value.
double scale_down(double value, int scale) noexcept;
// value * 10.0, once per decimal place; a scale below 1 returns value.
double scale_up(int scale, double value) noexcept;
// A scaled integer as a double.
inline double scaled_to_double(int64_t scaled, int scale) noexcept {
  return scale_down(static_cast<double>(scaled), scale);
}

// Seconds since midnight of a packed time, and back.
int32_t time_to_seconds(int32_t packed_time) noexcept;
int32_t seconds_to_time(int32_t seconds) noexcept;

// The local moment of a packed date and time as seconds since 1970-01-01 UTC;
// -1 when the date or time is invalid.
int64_t date_time_to_seconds(int32_t packed_time, int32_t packed_date) noexcept;

// The file time of a packed date and time (no time-zone step, milliseconds 0);
// 0 when the date or time is invalid.
uint64_t packed_to_file_time(int32_t packed_date, int32_t packed_time) noexcept;
// The packed time of a file time, and its packed date through `date` (set to
// 0 first); 0 when the file time cannot be converted.
int32_t file_time_to_packed(uint64_t file_time, int32_t* date) noexcept;

// Today's local date, packed.
int32_t local_date_packed() noexcept;

}  // namespace kelda::kelapi
