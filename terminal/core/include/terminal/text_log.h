// The terminal's text log, number and date formatting, numeric field checks
// and the conversions between 8-bit (code page 1251) and wide text.
//
// The log "infolog.txt" lives in the program folder (see program_folder()):
// the first line of a run recreates it empty, every line is appended with the
// UTC time in front and is on disk when log_line() returns. A log that
// cannot be written is reported (save_failures.h) when it starts failing.
//
// Threading: user-interface thread (the log keeps its path in a process-wide
// variable guarded by a mutex, so a stray line from another thread is safe).
// Errors: nothing throws; checks show their message through the dialog
// service and answer false.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ui/types.h"

namespace kelda::terminal {

// The folder every terminal file lives in: $KELDAMOBILE_HOME when set and not
// empty, else the folder of the program. 8-bit path (code page 1251).
std::string program_folder();
// program_folder() + "/" + name.
std::string program_file(std::string_view name);
// Forgets the log's path, so that the next line starts a new log (tests).
void reset_log();

// Appends one line "HH:MM:SS text\n" (the message cut at 10000 characters).
void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%.*f" with digit groups when `grouping` is set ("." and " " by default; a
// separator of -1 takes the default). Writes into `out` (at most size - 1
// characters, always terminated) and returns it.
char* format_real(char* out, std::size_t size, double value, int precision, int decimal_separator,
                  int group_separator, bool grouping);
char* format_integer(char* out, std::size_t size, int value, int decimal_separator,
                     int group_separator, bool grouping);
// yyyymmdd as "dd.mm.yyyy".
std::string format_date_ymd(long date);

// True when the whole wide text is one number (blanks and tabs around it).
bool parse_number_w(std::u16string_view text, double& value);
// Checks a typed number: at most `decimals` places after the separator and
// `digits` digits in all; otherwise shows the Russian message captioned with
// the field name (error icon) and answers false.
bool check_number(std::u16string_view text, int decimals, std::u16string_view field_name, int digits);
bool doubles_equal(double a, double b);
bool doubles_near(double a, double b, double epsilon);

// Conversions with the system code page (1251).
std::u16string to_wide(std::string_view text);
std::string to_narrow(std::u16string_view text);
// A Russian literal of the source (UTF-8) as 8-bit text.
std::string cp1251(std::string_view utf8);

// Copies `text` into a fixed field of `size` bytes, cut so that the
// terminator fits; a zero size writes nothing.
void copy_text(char* field, std::size_t size, std::string_view text);
template <std::size_t N>
void copy_text(char (&field)[N], std::string_view text) {
  copy_text(field, N, text);
}
// The text of a fixed field (up to its first NUL or its end).
template <std::size_t N>
std::string_view field_text(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string_view(field, n);
}

}  // namespace kelda::terminal
