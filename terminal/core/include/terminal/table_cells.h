// Cell texts of the table windows: numbers by the settings (digit grouping,
// separators), times, dates and the security caption, each formatted into a
// bounded buffer, so that no value can run past its cell.
//
// Threading: user-interface thread (reads the data manager's settings).
#pragma once

#include <cstdint>
#include <string>

namespace kelda::terminal {

struct ClassRecord;
struct SecurityRecord;

// "%.*f" with the settings' separators and grouping.
std::string cell_real(double value, int decimals);
// An integer with the settings' grouping.
std::string cell_integer(long long value);
// "%.0f" (order and trade numbers: never grouped).
std::string cell_number(double value);
// HHMMSS as "HH:MM:SS".
std::string cell_time(int32_t hhmmss);
// YYYYMMDD as "DD.MM.YYYY".
std::string cell_date(int32_t yyyymmdd);
// "security [class]" when the setting "classname" is on, else the security
// name alone.
std::string cell_security(const ClassRecord& cls, const SecurityRecord& sec);
// The decimals of a security's prices (0 to 10).
int price_decimals(const SecurityRecord& sec);

}  // namespace kelda::terminal
