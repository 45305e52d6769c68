// Test support: a headless user-interface session with a manual clock, input
// that goes through the same routing as a person's taps and keys, a driver for
// scripted dialogs, and a way to record what a window paints.
//
// HeadlessUi makes the calling thread the user-interface thread with the
// headless backend (no Qt, deterministic font metrics, a recording screen)
// and installs a ScriptedServices. The input helpers work with any backend
// (the Qt backend's tests use them too); each one handles the resulting
// messages before it returns. Threading: the test's user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/backend.h"
#include "ui/canvas.h"
#include "ui/export.h"
#include "ui/scripted_services.h"
#include "ui/types.h"

namespace kelda::ui {

class KELDA_UI_API HeadlessUi {
 public:
  explicit HeadlessUi(ScreenConfig screen = {}, bool manual_clock = true);
  ~HeadlessUi();
  ScriptedServices& script() { return *services_; }
  std::shared_ptr<ScriptedServices> services() { return services_; }
  // Moves the manual clock forward and handles the timers that fall due.
  void advance(uint64_t ms);
  // Everything drawn on the screen so far (screen coordinates).
  const std::vector<CanvasRecord>& screen_records() const;
  void clear_screen_records();

 private:
  std::unique_ptr<class Session> session_;
  std::shared_ptr<ScriptedServices> services_;
};

namespace scripted {
// Moves the session's manual clock (any backend whose clock is manual).
KELDA_UI_API void advance_clock(uint64_t ms);
// Taps the centre of a window (or a point of its client area). `keys`
// (mk::shift, mk::control) are held during the gesture.
KELDA_UI_API void tap(Hwnd hwnd);
KELDA_UI_API void tap_at(Hwnd hwnd, POINT client, WPARAM keys = 0);
KELDA_UI_API void double_tap_at(Hwnd hwnd, POINT client);
// Presses, holds for `hold_ms` (default: past the tap-and-hold delay) and releases.
KELDA_UI_API void tap_and_hold_at(Hwnd hwnd, POINT client, uint32_t hold_ms = 1000);
// Presses at one point, moves through the others and releases at the last.
KELDA_UI_API void drag(Hwnd hwnd, const std::vector<POINT>& client_points, WPARAM keys = 0);
// Turns the wheel over a point of the window by `delta` (120 a notch,
// positive away from the user).
KELDA_UI_API void wheel_at(Hwnd hwnd, POINT client, int delta, WPARAM keys = 0);
KELDA_UI_API void press_key(UINT vk, bool shift = false, bool control = false);
KELDA_UI_API void key_down(UINT vk, bool repeat = false);
KELDA_UI_API void key_up(UINT vk);
// Types text into the focus window, character by character.
KELDA_UI_API void type_text(std::u16string_view text);
// Focuses an edit (or a combo box's edit), selects everything and types.
KELDA_UI_API void set_text_by_typing(Hwnd edit, std::u16string_view text);
// Chooses an item of a combo box or list box as a tap would (by text or index).
KELDA_UI_API bool choose_item(Hwnd control, std::u16string_view text);
KELDA_UI_API bool choose_index(Hwnd control, int index);
// Paints the whole window now into a recording canvas and answers what was
// drawn (client coordinates).
KELDA_UI_API std::vector<CanvasRecord> record_paint(Hwnd hwnd);
}  // namespace scripted

// Drives a dialog from a script (scripted_services.h).
class KELDA_UI_API DialogDriver {
 public:
  explicit DialogDriver(Hwnd dialog) : dialog_(dialog) {}
  Hwnd dialog() const { return dialog_; }
  Hwnd item(int id) const;
  std::u16string text(int id) const;
  void set_text(int id, std::u16string_view text) const;  // by typing
  void click(int id) const;                              // a tap on the control
  bool choose(int id, std::u16string_view item_text) const;
  bool choose_index(int id, int index) const;
  int checked(int id) const;
  bool enabled(int id) const;
  bool open() const;  // the dialog still exists and has not ended
  void press_key(UINT vk) const;
  void end(intptr_t result) const;

 private:
  Hwnd dialog_;
};

}  // namespace kelda::ui
