// Arbitrary layout files through the terminal as it opens a layout: the
// open-window list (".awf": the general section and a section per window,
// each window restoring its own keys), the per-kind column sections of the
// window-table file (".tcf", read by every table window made), and the
// global filter in that file. The windows are then closed as at the
// program's end, which saves the layout and their column sections. One terminal (main frame over a headless user
// interface, every window kind of the terminal's core and chart) serves
// every input.
//
// Input: the open-window list, a NUL byte, then the window-table file (a
// missing NUL makes the whole input the window-table file).
// Nothing may crash; no more windows may be open than there are slots.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_work_file.h"
#include "terminal/layout_files.h"
#include "terminal/market_windows.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_chart/chart_window.h"
#include "ui/testing.h"

using namespace kelda::terminal;

namespace {

struct Terminal {
  kelda::ui::HeadlessUi ui;
  std::unique_ptr<TerminalApp> app;

  Terminal() {
    ::setenv("KELDAMOBILE_HOME", kelda::fuzzing::work_folder("layout").c_str(), 1);
    reset_log();
    register_table_windows();
    register_market_windows();
    register_chart_window();
    app = std::make_unique<TerminalApp>();
    if (!app->init_instance()) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Terminal terminal;
  if (size > 64 * 1024) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string_view awf = cut == std::string_view::npos ? std::string_view() : input.substr(0, cut);
  const std::string_view tcf = cut == std::string_view::npos ? input : input.substr(cut + 1);
  kelda::fuzzing::write_work_file(open_windows_path(), awf);
  kelda::fuzzing::write_work_file(window_table_path(), tcf);
  reset_log();  // each input's log starts afresh

  MainView& view = terminal.app->frame()->view();
  view.load_window_layout();
  if (view.open_count() < 0 || view.open_count() > kSlotCount) std::abort();
  // Closed as at the program's end: the layout saved, every window gone.
  view.save_window_layout(true);
  if (view.open_count() != 0) std::abort();
  terminal.app->data().load_global_filter();
  return 0;
}
