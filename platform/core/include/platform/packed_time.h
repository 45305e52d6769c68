// Packed calendar integers: a date as YYYYMMDD and a time of day as HHMMSS,
// converted to and from FILETIME through the calendar conversions of time.h
// (no time-zone step). Shared by the chart engine and the indicator series.
// Pure functions: thread-safe, never throw.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include "platform/win_types.h"

namespace kelda::platform {

// Time of day of `time` as HHMMSS; when `date` is given it first becomes 0 and
// then receives YYYYMMDD. A time that does not convert to calendar fields
// gives 0 (and date 0).
KELDA_PLATFORM_API int32_t packDateTime(FILETIME time, int32_t* date) noexcept;

// The FILETIME of a packed date and time of day (milliseconds 0); 0 (both
// words) when the fields do not name a calendar time (month 13, hour 24, ...).
KELDA_PLATFORM_API FILETIME unpackDateTime(int32_t date, int32_t time) noexcept;

}  // namespace kelda::platform
