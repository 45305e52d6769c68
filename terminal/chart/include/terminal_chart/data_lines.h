// Data lines of the chart windows: a chart window asks for the bars of one
// security at one bar length; the client library pushes each bar to a
// callback on its own thread, which copies it (48 bytes: open, high, low,
// close, volume, date yyyymmdd, time hhmmss) and posts it as UM_DATALINE
// (wParam the line id, lParam the copy) to the window that fans bars out to
// the chart windows (the main view), which frees the copy.
//
// Threading: register and unregister on the user-interface thread; the bar
// callback on the library's threads (it only copies and posts). Errors: a
// registration that fails is logged; a bar that cannot be posted is freed.
#pragma once

#include <cstdint>

#include "ui/types.h"

namespace kelda::terminal {

class DataLines {
 public:
  virtual ~DataLines() = default;
  // Registers and starts a line when the terminal is connected and the
  // trading day has started; false (nothing called) otherwise.
  virtual bool register_line(int32_t class_id, int32_t security_id, int32_t minutes, bool archive,
                             ui::Hwnd fan_out, int32_t& line_id) = 0;
  virtual void unregister_line(int32_t line_id) = 0;
};

// The service the chart windows use: the client library's unless a test set
// another (null restores it).
DataLines& data_lines();
void set_data_lines(DataLines* service);

}  // namespace kelda::terminal
