// Reporting failed writes of the user's files.
#include "terminal/save_failures.h"

#include <cstdio>
#include <mutex>
#include <set>

#include "kit/files.h"
#include "kit/paths.h"
#include "platform/error_text.h"
#include "platform/last_error.h"
#include "terminal/text_log.h"
#include "ui/loop.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

std::mutex g_mutex;
std::set<std::string> g_told;  // files whose box was shown (or is open)
uint64_t g_failures = 0;

}  // namespace

std::string save_failure_text(const std::string& path, uint32_t system_error) {
  std::string reason = platform::system_error_text(system_error).value_or("");
  if (reason.empty()) {
    char code[32];
    std::snprintf(code, sizeof code, "System error %u.", system_error);
    reason = code;
  }
  std::string text = "Can not write data to \"" + path + "\":\n'" + reason + "'";
  if (system_error == platform::error::access_denied) {
    text += "\nProbably file has attribute 'read only' or is in use by other program";
  }
  return text;
}

void report_save_failure(const std::string& path, uint32_t system_error) {
  const std::string text = save_failure_text(path, system_error);
  std::fprintf(stderr, "KeldaMobile: %s\n", text.c_str());
  std::fflush(stderr);
  {
    std::lock_guard lock(g_mutex);
    ++g_failures;
    if (!ui::on_ui_thread() || !g_told.insert(path).second) return;
  }
  ui::message_box(ui::Hwnd{}, to_wide(text), u"Error", ui::mb::ok | ui::mb::icon_error);
}

bool write_user_file(const std::string& path, std::string_view bytes) {
  if (kit::write_whole_file(kit::path_from_ansi(path.c_str()), bytes)) return true;
  report_save_failure(path, platform::get_last_error());
  return false;
}

uint64_t save_failure_count() {
  std::lock_guard lock(g_mutex);
  return g_failures;
}

void reset_save_failures() {
  std::lock_guard lock(g_mutex);
  g_told.clear();
}

}  // namespace kelda::terminal
