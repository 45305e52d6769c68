// The Qt 6 backend of the user-interface layer, for programs with a screen.
//
// QtUi makes the calling thread the user-interface thread (it becomes Qt's
// GUI thread; a QApplication is made when the program has none), shows the
// emulated handheld screen as one window whose pixels are the layer's
// framebuffer, feeds the stylus (mouse) and keys to the layer, and paints
// everything through QPainter. Programs run the layer's loops
// (ui::run_message_loop()), not Qt's. Under QT_QPA_PLATFORM=offscreen nothing
// is shown and everything still works, which is how tests run.
//
// This header carries no Qt types. Threading: construct, use and destroy on
// one thread; one QtUi at a time.
#pragma once

#include <memory>
#include <string>

#include "ui/backend.h"
#include "ui/export.h"
#include "ui/gdi.h"

namespace kelda::ui {

struct QtUiOptions {
  ScreenConfig screen;
  bool show_window = true;
  int zoom = 1;  // the window shows each screen pixel as zoom x zoom pixels
  std::string title = "KeldaMobile";
};

// Reads "--screen=WxH" and "--zoom=N" from a command line; other arguments
// are left alone. Bad values keep the defaults.
KELDA_UI_API QtUiOptions qt_ui_options_from_args(int argc, char** argv);

class KELDA_UI_API QtUi {
 public:
  explicit QtUi(QtUiOptions options = {});
  ~QtUi();
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // The framebuffer as it is now.
  Bitmap screenshot() const;
  // Writes the framebuffer as a PNG file (whole-file write); false on failure.
  bool save_screenshot(const std::string& png_path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelda::ui
