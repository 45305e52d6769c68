// KeldaMobile: the trading terminal.
//
//   KeldaMobile [--screen=WxH] [--zoom=N] [--scripted-session=FOLDER]
//               [--user=NAME] [--password=TEXT]
//
// Its files (settings "KeldaMobile.txt", server list "IP.CFG", log
// "infolog.txt", layouts) live in $KELDAMOBILE_HOME, else beside the program.
// With --scripted-session it logs in by itself, opens the market's windows,
// places one order, writes a screenshot of each window into FOLDER and exits
// (for machines without a display).
#include <cstdio>
#include <cstring>
#include <string>

#include "scripted_session.h"
#include "terminal/exit_signals.h"
#include "terminal/market_windows.h"
#include "terminal/single_instance.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_chart/chart_window.h"
#include "terminal_dialogs/connection_list_dialog.h"
#include "terminal_dialogs/instrument_select_dialog.h"
#include "terminal_dialogs/main_settings_dialog.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/loop.h"
#include "ui_qt/qt_ui.h"

namespace {

const char* option(int argc, char** argv, const char* name) {
  const std::size_t n = std::strlen(name);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') return argv[i] + n + 1;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelda::terminal;
  kelda::ui::QtUiOptions options = kelda::ui::qt_ui_options_from_args(argc, argv);
  options.title = "KeldaMobile";
  kelda::ui::QtUi ui(options);
  SingleInstance::Outcome instance_outcome{};
  const std::unique_ptr<SingleInstance> instance = SingleInstance::start(program_folder(), instance_outcome);
  if (instance_outcome == SingleInstance::Outcome::other_running) return 0;
  TerminalApp app;
  register_connection_dialogs();
  register_main_settings();
  register_table_windows();
  register_chart_window();
  register_instrument_select();
  register_order_window();
  register_market_windows();
  if (!app.init_instance()) return 1;
  if (instance) instance->watch(app.frame()->hwnd());
  const std::unique_ptr<ExitSignals> exit_signals = ExitSignals::install(app.frame()->hwnd());
  const char* folder = option(argc, argv, "--scripted-session");
  if (folder != nullptr) {
    ScriptedSessionOptions session;
    session.screenshot_folder = folder;
    if (const char* user = option(argc, argv, "--user")) session.user = user;
    if (const char* password = option(argc, argv, "--password")) session.password = password;
    if (!start_scripted_session(app, ui, session)) {
      std::fprintf(stderr, "KeldaMobile: cannot make the folder %s\n", folder);
      return 2;
    }
  }
  kelda::ui::run_message_loop();
  return folder != nullptr ? scripted_session_result() : 0;
}
