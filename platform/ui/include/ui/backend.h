// What a backend gives the layer, and the session that makes a thread the
// user-interface thread.
//
// A backend supplies the wait of the user-interface thread's loop, the screen's
// framebuffer, off-screen images and the font engine. The layer keeps
// everything else (windows, queue, timers, input routing, painting order), so
// the headless backend of tests and the Qt backend of programs with a screen
// behave alike. Only programs with a screen link the Qt backend; the libraries
// of the system link this Qt-free layer alone.
//
// Threading: wake() may be called from any thread; everything else is called
// on the user-interface thread. One session at a time per process.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ui/canvas.h"
#include "ui/export.h"
#include "ui/types.h"

namespace kelda::ui {

// Measures text for a font. Implementations must be deterministic for a
// given font and text.
class KELDA_UI_API FontEngine {
 public:
  virtual ~FontEngine();
  virtual TextMetrics metrics(const Font& font) = 0;
  virtual int text_width(const Font& font, std::u16string_view text) = 0;
  // out[i]: width of the first i + 1 characters.
  virtual void char_extents(const Font& font, std::u16string_view text, std::vector<int>& out) = 0;
};
// The engine of the running session (the headless engine when none runs).
KELDA_UI_API FontEngine& font_engine();
// A deterministic engine that needs no fonts: every character is
// ceil(pixel size x 0.55) wide (bold one more), ascent 0.8 and descent 0.2 of
// the pixel size, rounded up.
KELDA_UI_API FontEngine& headless_font_engine();

class KELDA_UI_API Backend {
 public:
  virtual ~Backend();
  // Any thread: work is queued; make a running wait() return soon.
  virtual void wake() = 0;
  // Waits until wake(), backend input, or the deadline (a now_ms() value;
  // UINT64_MAX: none) and handles the backend's own events meanwhile.
  virtual void wait(uint64_t deadline_ms) = 0;
  // Handles the backend's own pending events without waiting.
  virtual void process_events() = 0;
  virtual uint64_t now_ms() = 0;
  virtual FontEngine& fonts() = 0;
  // A canvas over the whole screen framebuffer (device = screen coordinates).
  virtual std::unique_ptr<Canvas> screen_canvas() = 0;
  // Part of the framebuffer was drawn: show it.
  virtual void present(const RECT& screen_rect) = 0;
  virtual void screen_resized(int width, int height) = 0;
  // An off-screen canvas with an image of its own.
  virtual std::unique_ptr<Canvas> create_image_canvas(int width, int height) = 0;
  // Longest a wait_pumping() may block before the backend gets a turn.
  virtual uint32_t pump_slice_ms() = 0;
  // True when time only moves when a test moves it (waits for time then
  // cannot be kept and are cut short).
  virtual bool manual_clock() const { return false; }
};

// The emulated handheld screen. Resolution 0 means: 96 dots per inch for
// screens below 480 x 480 and 192 for the VGA screens.
struct ScreenConfig {
  int width = 240;
  int height = 320;
  int dpi = 0;
};
// Parses "240x320", "480x640" or "640x480" (any WxH with sides 100 to 4096).
KELDA_UI_API bool parse_screen_size(std::string_view text, ScreenConfig& out);

// Input as a backend (or a test) reports it, in screen coordinates.
// A wheel turn goes to the focus window (else the window under the point) as
// wm::mouse_wheel: wParam low word the keys, high word the signed delta
// (120 a notch, positive away from the user), lParam the screen point; a
// child that leaves it to the default processing passes it to its parent.
struct MouseInput {
  enum class Kind : uint8_t { down, up, move, wheel };
  Kind kind = Kind::move;
  POINT screen{};
  WPARAM keys = 0;  // mk::shift, mk::control
  uint64_t time_ms = 0;
  int delta = 0;  // wheel: signed, 120 a notch
};
struct KeyInput {
  bool down = true;
  UINT vk = 0;
  char16_t ch = 0;  // the character the key types, 0 for none
  bool shift = false;
  bool control = false;
  bool alt = false;
  bool repeat = false;
  uint64_t time_ms = 0;
};
// Queue input for the user-interface thread (call on that thread).
KELDA_UI_API void queue_mouse_input(const MouseInput& input);
KELDA_UI_API void queue_key_input(const KeyInput& input);

// Makes the calling thread the user-interface thread for the session's
// lifetime. The destructor destroys every window still alive, releases the
// payloads of messages never delivered, and answers pending cross-thread work
// with "cancelled".
class KELDA_UI_API Session {
 public:
  Session(std::unique_ptr<Backend> backend, ScreenConfig screen);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  Backend& backend();
};

}  // namespace kelda::ui
