// The user interface of an end-to-end test's terminal: the work folder the
// terminal keeps its files in (KELDAMOBILE_HOME), a log started afresh, the
// Qt backend offscreen (optionally on a given screen) and scripted services
// that answer the terminal's dialogs and message boxes.
// UI thread only; one at a time, since the services and the log are the
// process's own. The members are built in the order the terminal needs them.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal::test_e2e {

class OffscreenTerminalUi {
 public:
  explicit OffscreenTerminalUi(const std::string& home = test::test_dir().string(),
                               std::optional<ui::ScreenConfig> screen = std::nullopt)
      : prepared_(prepare(home)), qt(options(screen)), script(std::make_shared<ui::ScriptedServices>()) {
    ui::set_services(script);
  }

 private:
  static bool prepare(const std::string& home) {
    ::setenv("KELDAMOBILE_HOME", home.c_str(), 1);
    reset_log();
    return true;
  }
  static ui::QtUiOptions options(const std::optional<ui::ScreenConfig>& screen) {
    ui::QtUiOptions o;
    o.show_window = false;
    if (screen) o.screen = *screen;
    return o;
  }

  bool prepared_;

 public:
  ui::QtUi qt;
  std::shared_ptr<ui::ScriptedServices> script;
};

}  // namespace kelda::terminal::test_e2e
