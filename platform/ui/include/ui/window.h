// Windows that receive numbered messages.
//
// A window is a handle (Hwnd) in the layer's window table. Its behaviour comes
// from its class (registered by name: the standard controls, or a class of the
// program given as a procedure or an object factory) and, optionally, from a
// program object derived from Window whose window_proc() sees every message
// first and passes what it does not handle to default_proc(), the class's
// behaviour. Any window can be subclassed again with set_window_procedure().
//
// Threading: every window belongs to the user-interface thread (loop.h). The
// functions here are called on that thread; called on another thread,
// send_message() and the functions that change a window run the call on the
// user-interface thread while the caller waits (as a cross-thread send does).
// post_message() may be called from any thread: the message is appended to the
// user-interface thread's queue, first in first out, and the call never waits
// for the receiver.
//
// Ownership: a Window object is owned by the program (destroying the object
// destroys its window); windows made from a class name are owned by the layer
// and freed after wm::nc_destroy.
//
// Destruction rule: while a session runs, a Window object is destroyed on the
// user-interface thread only, because that thread may be dispatching into it
// at any moment and no base-class destructor can stop it from calling into a
// derived part that is already gone. An owner on another thread hands the
// object over with delete_on_ui_thread(): the deletion is posted to the queue
// behind the messages already there, and runs once no handler of the object
// is on the stack. Debug builds abort when a Window is destroyed elsewhere
// while the session still dispatches. Without a session (or once it is
// closing, its windows all gone) an object may be destroyed anywhere. A posted message may pass ownership of a
// payload: the receiver owns it once the message is delivered, and the
// release function given to post_message() frees it if the message can never
// be delivered (the window or the queue went away first).
//
// Errors: functions answer false/null/0 for a dead handle and set the
// platform's last error (error::invalid_handle, invalid_thread_id, ...).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"
#include "ui/export.h"
#include "ui/types.h"

namespace kelda::ui {

class Window;

// Creation parameters (rect in the parent's client coordinates, or screen
// coordinates for a top-level window; width or height kUseDefault places a
// top-level window over the screen's work area).
struct CreateParams {
  std::u16string_view class_name;  // empty: a plain window
  std::u16string_view text;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect{0, 0, 0, 0};
  Hwnd parent;        // child windows: the parent; popups: the owner
  UINT id = 0;        // control id of a child window
  Hmenu menu;         // top-level windows: a menu to own (destroyed with it)
  void* create_param = nullptr;  // CreateStruct::create_params
};
inline constexpr int32_t kUseDefault = INT32_MIN;

// A class of windows. Give `proc` for a plain procedure class (its default
// processing is def_window_proc), or `factory` for a class whose windows each
// get a program object owned by the layer, or neither for a class that only
// lends its style and background to windows made by Window::create().
struct WindowClass {
  std::u16string name;
  UINT style = 0;  // cs:: bits (cs::dblclks enables double-click messages)
  // Background painted by the default wm::erase_background (null: none).
  const Brush* background = nullptr;
  WindowProcedure proc;
  std::function<std::unique_ptr<Window>()> factory;
};
KELDA_UI_API bool register_class(WindowClass cls);
KELDA_UI_API bool unregister_class(std::u16string_view name);
KELDA_UI_API bool is_class_registered(std::u16string_view name);

// The program side of a window.
class KELDA_UI_API Window {
 public:
  Window();
  // Destroys the window if it still exists. Runs on the user-interface thread
  // (see the destruction rule above).
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Hwnd hwnd() const noexcept { return hwnd_; }
  explicit operator bool() const noexcept { return static_cast<bool>(hwnd_); }

  // Creates a window bound to this object. False when the parent is dead, the
  // class is unknown or wm::create answered -1 (nothing remains then).
  bool create(const CreateParams& params);
  // Binds this object to an existing window (a control made by a dialog
  // template, say): from now on window_proc() sees its messages first and
  // default_proc() is what the window did before.
  bool attach(Hwnd hwnd);
  // Destroys the window (wm::destroy to it and its children first).
  bool destroy();

  // The object bound to a window, or nullptr.
  static Window* from_handle(Hwnd hwnd);

  // Conveniences over the free functions below.
  LRESULT send(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
  bool post(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
  Hwnd item(int control_id) const;
  RECT client_rect() const;

  // Sees every message of the window first.
  virtual LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam);

  // Offered every message a loop takes for this window or a window inside it
  // (and every thread message of the user-interface thread while this is the
  // active top-level window) before dispatch; true consumes it.
  virtual bool pre_translate_message(Message& msg);

  // Command routing of programs with a menu (frame, then view, then the
  // active child, each offering a command on): answers true when handled.
  // The layer calls it only through route_command(Hwnd, ...).
  virtual bool route_command(UINT id, UINT code);

 protected:
  // What the window's class does with a message.
  LRESULT default_proc(UINT msg, WPARAM wparam, LPARAM lparam);
  // Called after wm::nc_destroy, once the handle is gone.
  virtual void on_destroyed() {}

 private:
  friend struct WindowAccess;
  Hwnd hwnd_;
  WindowProcedure previous_;  // attach(): what the window did before
};

// --- Creation and lifetime --------------------------------------------------------
// Creates a window of a registered class; the layer owns it.
KELDA_UI_API Hwnd create_window(const CreateParams& params);
KELDA_UI_API bool destroy_window(Hwnd hwnd);
KELDA_UI_API bool is_window(Hwnd hwnd);
// Destroys a program object (and its window) on the user-interface thread: at
// once when called there, else posted behind the queued messages, and the
// caller does not wait. Any thread; never fails (without a session the
// object is destroyed at once, on the calling thread).
KELDA_UI_API void delete_on_ui_thread(std::unique_ptr<Window> object);

// --- Messages -----------------------------------------------------------------------
KELDA_UI_API LRESULT send_message(Hwnd hwnd, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
using PayloadRelease = void (*)(WPARAM, LPARAM);
// False (and the caller keeps the payload) when the window is dead, there is
// no user-interface thread, or the queue is full.
KELDA_UI_API bool post_message(Hwnd hwnd, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0,
                               PayloadRelease release = nullptr);
// Sends wm::notify to `parent` with the header's id as wParam.
KELDA_UI_API LRESULT send_notify(Hwnd parent, NotifyHeader& header);
// Offers a command to the object bound to `target` (route_command); false
// when it has none or it did not handle the command.
KELDA_UI_API bool route_command(Hwnd target, UINT id, UINT code);
// The default processing of any window.
KELDA_UI_API LRESULT def_window_proc(Hwnd hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Replaces the window's outermost procedure and returns the previous one,
// which the new procedure calls for what it does not handle.
KELDA_UI_API WindowProcedure set_window_procedure(Hwnd hwnd, WindowProcedure proc);
// Screen position and tick time of the message being handled (of the last
// input message when none is being handled).
KELDA_UI_API POINT get_message_pos();
KELDA_UI_API DWORD get_message_time();

// --- Tree and attributes ------------------------------------------------------------
KELDA_UI_API Hwnd get_parent(Hwnd hwnd);
KELDA_UI_API Hwnd get_window(Hwnd hwnd, UINT relation);  // gw::
KELDA_UI_API Hwnd get_top_level(Hwnd hwnd);
KELDA_UI_API bool is_child(Hwnd parent, Hwnd hwnd);
KELDA_UI_API std::vector<Hwnd> child_windows(Hwnd parent);  // top of the z-order first
// The program's top-level windows, top first (not the shell's own).
KELDA_UI_API std::vector<Hwnd> top_level_windows();
KELDA_UI_API Hwnd get_dlg_item(Hwnd parent, int id);
KELDA_UI_API int get_dlg_ctrl_id(Hwnd hwnd);
KELDA_UI_API std::u16string get_class_name(Hwnd hwnd);
// The first top-level window of the class (any when empty) whose text equals
// `text` (any when null).
KELDA_UI_API Hwnd find_window(std::u16string_view class_name, const std::u16string* text = nullptr);
// False when the window is dead or refuses the text (its wm::set_text answered
// 0 or an error: a drop-down list that has no item of that text, say).
KELDA_UI_API bool set_window_text(Hwnd hwnd, std::u16string_view text);
KELDA_UI_API std::u16string get_window_text(Hwnd hwnd);
KELDA_UI_API intptr_t get_window_long(Hwnd hwnd, int index);  // gwl::
KELDA_UI_API intptr_t set_window_long(Hwnd hwnd, int index, intptr_t value);
KELDA_UI_API DWORD get_style(Hwnd hwnd);
KELDA_UI_API void modify_style(Hwnd hwnd, DWORD remove, DWORD add);
KELDA_UI_API const Font* get_font(Hwnd hwnd);

// --- Geometry -------------------------------------------------------------------------
KELDA_UI_API RECT get_window_rect(Hwnd hwnd);  // screen coordinates
KELDA_UI_API RECT get_client_rect(Hwnd hwnd);  // (0, 0, width, height)
KELDA_UI_API POINT client_to_screen(Hwnd hwnd, POINT p);
KELDA_UI_API POINT screen_to_client(Hwnd hwnd, POINT p);
KELDA_UI_API RECT map_rect(Hwnd from, Hwnd to, RECT r);  // null handle: screen
// Grows a client rectangle by the frame, caption and scroll bars of a style.
KELDA_UI_API RECT adjust_window_rect(RECT client, DWORD style, DWORD ex_style);
KELDA_UI_API bool move_window(Hwnd hwnd, int x, int y, int width, int height, bool repaint = true);
// insert_after: a sibling, or kTop / kBottom / kTopmost.
KELDA_UI_API bool set_window_pos(Hwnd hwnd, Hwnd insert_after, int x, int y, int cx, int cy,
                                 UINT flags);
inline const Hwnd kTop{0};
inline const Hwnd kBottom{1};
inline const Hwnd kTopmost{~uintptr_t{0}};
KELDA_UI_API bool show_window(Hwnd hwnd, int command);  // answers whether it was visible
KELDA_UI_API bool is_window_visible(Hwnd hwnd);      // itself and every ancestor
// Centres the window without changing its size or its place in the z-order:
// a child over its parent's client area (or over `over`), any other window
// over `over`, else over its owner when the owner is shown, else over the
// work area; kept inside the work area (a child: inside its parent). False
// for a dead handle.
KELDA_UI_API bool center_window(Hwnd hwnd, Hwnd over = Hwnd{});

// --- The tree at once and icons ---------------------------------------------------------
// Sends the message to every child of `parent`, top of the z-order first, and
// (when deep) to each child's own descendants right after that child, so that
// setting and rotation messages reach the dialogs inside a window. Answers
// how many windows got it (-1 for a dead parent). A window destroyed by an
// earlier send is skipped.
KELDA_UI_API int send_message_to_descendants(Hwnd parent, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0,
                                             bool deep = true);
// A window's icons (icon_size::small or big): wm::set_icon keeps the image
// (registered in the image registry, resources.h, which owns it) and answers
// the previous one; wm::get_icon answers it. These wrap the two messages.
KELDA_UI_API const Bitmap* set_window_icon(Hwnd hwnd, int which, const Bitmap* icon);
KELDA_UI_API const Bitmap* get_window_icon(Hwnd hwnd, int which);
KELDA_UI_API bool enable_window(Hwnd hwnd, bool enable);  // answers whether it was disabled
KELDA_UI_API bool is_window_enabled(Hwnd hwnd);
// The deepest visible, enabled window at a screen point (null: none).
KELDA_UI_API Hwnd window_from_point(POINT screen);
// The child of `parent` at a point of its client area (parent itself when none).
KELDA_UI_API Hwnd child_window_from_point(Hwnd parent, POINT client);

// --- Focus, activation, capture ------------------------------------------------------
KELDA_UI_API Hwnd set_focus(Hwnd hwnd);  // answers the previous focus
KELDA_UI_API Hwnd get_focus();
KELDA_UI_API Hwnd set_active_window(Hwnd top_level);
KELDA_UI_API Hwnd get_active_window();
KELDA_UI_API bool set_foreground_window(Hwnd hwnd);
// The top-level window the user works with (the active one), or null.
KELDA_UI_API Hwnd get_foreground_window();
KELDA_UI_API Hwnd set_capture(Hwnd hwnd);
KELDA_UI_API bool release_capture();
KELDA_UI_API Hwnd get_capture();

// --- Painting ---------------------------------------------------------------------------
KELDA_UI_API bool invalidate_rect(Hwnd hwnd, const RECT* rect, bool erase);
KELDA_UI_API bool validate_rect(Hwnd hwnd, const RECT* rect);
KELDA_UI_API bool update_window(Hwnd hwnd);  // paints now when something is invalid
KELDA_UI_API bool get_update_rect(Hwnd hwnd, RECT* rect);

// The canvas of a paint (the body of wm::paint). Validates the window.
class KELDA_UI_API PaintSession {
 public:
  explicit PaintSession(Hwnd hwnd);
  ~PaintSession();
  PaintSession(const PaintSession&) = delete;
  PaintSession& operator=(const PaintSession&) = delete;
  Canvas& canvas() { return *canvas_; }
  const RECT& paint_rect() const { return paint_rect_; }
  bool erase() const { return erase_; }

 private:
  Hwnd hwnd_;
  std::unique_ptr<Canvas> canvas_;
  RECT paint_rect_{};
  bool erase_ = false;
};

// A canvas on the window's client area outside painting (live drawing such as
// XOR tracking lines). Clipped to what of the window is visible.
KELDA_UI_API std::unique_ptr<Canvas> get_dc(Hwnd hwnd);
// The same over the whole window, borders included.
KELDA_UI_API std::unique_ptr<Canvas> get_window_dc(Hwnd hwnd);

// --- Timers and hot keys ----------------------------------------------------------------
// Starts or restarts timer `id` of the window; wm::timer comes (or `proc` is
// called) every `ms` milliseconds while the loop runs. A null window gets a
// fresh id, which is returned. 0 on failure; a window's timer id must not be
// 0 (error::invalid_parameter).
KELDA_UI_API uintptr_t set_timer(Hwnd hwnd, uintptr_t id, UINT ms, TimerProc proc = nullptr);
KELDA_UI_API bool kill_timer(Hwnd hwnd, uintptr_t id);
// The window gets wm::hot_key (wParam id, lParam modifiers | key << 16) when
// the key is pressed with the modifiers, wherever the focus is; with
// mod::keyup it also gets one at the release, carrying mod::keyup.
KELDA_UI_API bool register_hot_key(Hwnd hwnd, int id, UINT modifiers, UINT key);
KELDA_UI_API bool unregister_hot_key(Hwnd hwnd, int id);

// --- Scroll bars of windows (bar: sb::horz, sb::vert) and scroll bar controls (sb::ctl) ---
namespace sb {
inline constexpr int horz = 0;
inline constexpr int vert = 1;
inline constexpr int ctl = 2;
// Scroll codes (low word of wm::hscroll / wm::vscroll).
inline constexpr int line_up = 0;
inline constexpr int line_left = 0;
inline constexpr int line_down = 1;
inline constexpr int line_right = 1;
inline constexpr int page_up = 2;
inline constexpr int page_down = 3;
inline constexpr int thumb_position = 4;
inline constexpr int thumb_track = 5;
inline constexpr int top = 6;
inline constexpr int bottom = 7;
inline constexpr int end_scroll = 8;
}  // namespace sb
namespace sif {
inline constexpr UINT range = 0x0001;
inline constexpr UINT page = 0x0002;
inline constexpr UINT pos = 0x0004;
inline constexpr UINT disable_no_scroll = 0x0008;
inline constexpr UINT track_pos = 0x0010;
inline constexpr UINT all = 0x0017;
}  // namespace sif
struct ScrollInfo {
  UINT mask = sif::all;
  int min = 0;
  int max = 0;
  UINT page = 0;
  int pos = 0;
  int track_pos = 0;
};
KELDA_UI_API int set_scroll_info(Hwnd hwnd, int bar, const ScrollInfo& info, bool redraw = true);
KELDA_UI_API bool get_scroll_info(Hwnd hwnd, int bar, ScrollInfo& info);
KELDA_UI_API int set_scroll_pos(Hwnd hwnd, int bar, int pos, bool redraw = true);
KELDA_UI_API int get_scroll_pos(Hwnd hwnd, int bar);
KELDA_UI_API bool show_scroll_bar(Hwnd hwnd, int bar, bool show);

// --- Stand-ins of small platform services ----------------------------------------------
// Sounds a beep of a message-box kind; tests read the count.
KELDA_UI_API void message_beep(UINT type);
KELDA_UI_API int beep_count();
// The pointer's screen position (the last input position).
KELDA_UI_API POINT get_cursor_pos();

}  // namespace kelda::ui
