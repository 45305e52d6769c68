// The application object: start-up and the main frame.
#include "terminal/terminal_app.h"

#include "terminal/color_select.h"
#include "terminal/text_log.h"
#include "ui/screen.h"

namespace kelda::terminal {

TerminalApp::TerminalApp(ClientApi& client) : manager_(std::make_unique<DataFeedManager>(client)) {
  set_manager(manager_.get());
}

TerminalApp::~TerminalApp() {
  frame_.reset();
  set_manager(nullptr);
  manager_.reset();
}

bool TerminalApp::init_instance() {
  log_line("InitInstance...");
  if (!manager_->margin().init()) {
    log_line("ERROR: Can not initialize KeldaMargin.dll.");
    return false;
  }
  register_terminal_resources();
  register_color_select_class();
  const ui::ScreenInfo screen = ui::screen_info();
  manager_->screen_width = screen.width;
  manager_->screen_height = screen.height;
  frame_ = std::make_unique<CMainFrame>();
  if (!frame_->create_frame()) {
    log_line("ERROR: Can not create the main window.");
    frame_.reset();
    return false;
  }
  ui::show_window(frame_->hwnd(), ui::sw::show);
  ui::update_window(frame_->hwnd());
  frame_->view().activate_restored_window();
  return true;
}

}  // namespace kelda::terminal
