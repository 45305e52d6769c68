// The text log, the program folder and the text conversions.
#include "terminal/text_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "kit/codepage.h"
#include "kit/paths.h"
#include "platform/last_error.h"
#include "platform/module.h"
#include "terminal/save_failures.h"

namespace kelda::terminal {
namespace {

std::mutex g_log_mutex;
std::string g_log_path;  // empty until the first line of the run
bool g_log_failing = false;  // the last write of the log failed (reported once)

constexpr std::size_t kLogMessageLimit = 10000;

}  // namespace

std::string program_folder() {
  const char* home = std::getenv("KELDAMOBILE_HOME");
  if (home != nullptr && *home != '\0') return kit::cp1251_from_utf8(home);
  return kit::cp1251_from_utf8(platform::program_folder().string());
}

std::string program_file(std::string_view name) {
  std::string path = program_folder();
  path += '/';
  path += name;
  return path;
}

void reset_log() {
  std::lock_guard lock(g_log_mutex);
  g_log_path.clear();
  g_log_failing = false;
}

void log_line(const char* format, ...) {
  char message[kLogMessageLimit];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);

  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", utc.tm_hour % 100, utc.tm_min % 100, utc.tm_sec % 100);
  std::string line = stamp;
  line += message;
  if (line.size() + 1 < kLogMessageLimit) line += '\n';
  else line.resize(kLogMessageLimit - 1);

  std::string failed_path;
  uint32_t failure = 0;
  {
    std::lock_guard lock(g_log_mutex);
    bool written = false;
    if (g_log_path.empty()) {
      g_log_path = program_file("infolog.txt");
      if (std::FILE* f = std::fopen(kit::path_from_ansi(g_log_path.c_str()).c_str(), "w")) std::fclose(f);
    }
    errno = 0;
    if (std::FILE* f = std::fopen(kit::path_from_ansi(g_log_path.c_str()).c_str(), "a")) {
      const bool put = std::fputs(line.c_str(), f) >= 0 && std::fflush(f) == 0;
      const int put_errno = errno;
      written = std::fclose(f) == 0 && put;
      if (!put) errno = put_errno;
    }
    // A log that cannot be written is reported when it starts failing, not
    // at every line.
    if (!written && !g_log_failing) {
      failed_path = g_log_path;
      failure = platform::error_from_errno(errno != 0 ? errno : EIO);
    }
    g_log_failing = !written;
  }
  // Outside the lock: the report may open a message box, whose loop may log.
  if (!failed_path.empty()) report_save_failure(failed_path, failure);
}

std::u16string to_wide(std::string_view text) { return kit::decode(kit::CodePage::cp1251, text); }

std::string to_narrow(std::u16string_view text) { return kit::encode(kit::CodePage::cp1251, text); }

std::string cp1251(std::string_view utf8) { return kit::cp1251_from_utf8(utf8); }

void copy_text(char* field, std::size_t size, std::string_view text) {
  if (field == nullptr || size == 0) return;
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace kelda::terminal
