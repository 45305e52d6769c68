// Basic types of the user-interface layer: opaque window and menu handles,
// the message record, notification headers, word packing helpers, and the
// numbered constants (messages, styles, show commands, keys, system metrics,
// colour indices) that the rest of the system is written against.
//
// The numbers are those the handheld platform used, so code that builds
// WPARAM/LPARAM words, compares notification codes or stores styles keeps
// its meaning; the names are our own. Plain values, no threading concerns.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/win_types.h"

namespace kelda::ui {

// Opaque handle of a window: an index into the layer's window table with a
// generation, so a stale handle never reaches another window. Fits in a
// WPARAM/LPARAM word.
class Hwnd {
 public:
  constexpr Hwnd() = default;
  constexpr explicit Hwnd(uintptr_t value) : value_(value) {}
  constexpr uintptr_t value() const { return value_; }
  constexpr explicit operator bool() const { return value_ != 0; }
  constexpr bool operator==(const Hwnd&) const = default;
  constexpr LPARAM to_lparam() const { return static_cast<LPARAM>(value_); }
  constexpr WPARAM to_wparam() const { return static_cast<WPARAM>(value_); }
  static constexpr Hwnd from(LPARAM v) { return Hwnd(static_cast<uintptr_t>(v)); }
  static constexpr Hwnd from_wparam(WPARAM v) { return Hwnd(static_cast<uintptr_t>(v)); }

 private:
  uintptr_t value_ = 0;
};

// Opaque handle of a menu (same rules as Hwnd).
class Hmenu {
 public:
  constexpr Hmenu() = default;
  constexpr explicit Hmenu(uintptr_t value) : value_(value) {}
  constexpr uintptr_t value() const { return value_; }
  constexpr explicit operator bool() const { return value_ != 0; }
  constexpr bool operator==(const Hmenu&) const = default;
  constexpr LPARAM to_lparam() const { return static_cast<LPARAM>(value_); }
  static constexpr Hmenu from(LPARAM v) { return Hmenu(static_cast<uintptr_t>(v)); }

 private:
  uintptr_t value_ = 0;
};

// A message as a loop sees it: target (null for a thread message), number,
// two words, the tick time and the screen position of the pointer at the time.
struct Message {
  Hwnd hwnd;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  DWORD time = 0;
  POINT pt{};
};

// A window procedure in plain-function form.
using WndProc = LRESULT (*)(Hwnd, UINT, WPARAM, LPARAM);
// A window procedure as any callable (window classes, subclassing).
using WindowProcedure = std::function<LRESULT(Hwnd, UINT, WPARAM, LPARAM)>;
// A timer callback: (window, wm::timer, timer id, tick time).
using TimerProc = void (*)(Hwnd, UINT, uintptr_t, DWORD);

// Header of every WM_NOTIFY record (pointer-sized words as on 64-bit builds).
struct NotifyHeader {
  Hwnd from;
  uintptr_t id_from = 0;
  UINT code = 0;
};

// The tap-and-hold gesture: notification code and the record that carries it
// (the point in screen coordinates, the item under it or -1).
namespace gn {
inline constexpr UINT context_menu = 1000;
}
struct GestureNotify {
  NotifyHeader hdr;
  POINT action{};
  int32_t item = -1;
};

// Second record of WM_CREATE (lParam points to it).
struct CreateStruct {
  void* create_params = nullptr;
  Hmenu menu;
  Hwnd parent;
  int32_t cy = 0, cx = 0, y = 0, x = 0;
  DWORD style = 0;
  const char16_t* name = nullptr;
  const char16_t* class_name = nullptr;
  DWORD ex_style = 0;
};

// --- Word packing -----------------------------------------------------------
constexpr WORD lo_word(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD hi_word(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LPARAM make_lparam(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<uint32_t>((static_cast<uint32_t>(lo) & 0xFFFF) |
                                                   ((static_cast<uint32_t>(hi) & 0xFFFF) << 16)));
}
constexpr WPARAM make_wparam(int lo, int hi) { return static_cast<WPARAM>(make_lparam(lo, hi)); }
// Signed halves of a packed point.
constexpr int x_of(LPARAM v) { return static_cast<int16_t>(v & 0xFFFF); }
constexpr int y_of(LPARAM v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }
constexpr LPARAM pack_point(POINT p) { return make_lparam(p.x, p.y); }

// --- Window messages ----------------------------------------------------------
namespace wm {
inline constexpr UINT null = 0x0000;
inline constexpr UINT create = 0x0001;
inline constexpr UINT destroy = 0x0002;
inline constexpr UINT move = 0x0003;
inline constexpr UINT size = 0x0005;
inline constexpr UINT activate = 0x0006;
inline constexpr UINT set_focus = 0x0007;
inline constexpr UINT kill_focus = 0x0008;
inline constexpr UINT enable = 0x000A;
inline constexpr UINT set_redraw = 0x000B;
inline constexpr UINT set_text = 0x000C;
inline constexpr UINT get_text = 0x000D;
inline constexpr UINT get_text_length = 0x000E;
inline constexpr UINT paint = 0x000F;
inline constexpr UINT close = 0x0010;
inline constexpr UINT quit = 0x0012;
inline constexpr UINT erase_background = 0x0014;
inline constexpr UINT sys_color_change = 0x0015;
inline constexpr UINT show_window = 0x0018;
inline constexpr UINT setting_change = 0x001A;
inline constexpr UINT set_cursor = 0x0020;
inline constexpr UINT set_font = 0x0030;  // wParam Font handle, lParam redraw
inline constexpr UINT get_font = 0x0031;
inline constexpr UINT window_pos_changed = 0x0047;
inline constexpr UINT notify = 0x004E;
inline constexpr UINT get_icon = 0x007F;  // wParam icon_size::, answers the Bitmap*
inline constexpr UINT set_icon = 0x0080;  // wParam icon_size::, lParam Bitmap*; answers the previous
inline constexpr UINT context_menu = 0x007B;
inline constexpr UINT get_dialog_code = 0x0087;
inline constexpr UINT nc_destroy = 0x0082;
inline constexpr UINT key_down = 0x0100;
inline constexpr UINT key_up = 0x0101;
inline constexpr UINT character = 0x0102;
inline constexpr UINT sys_key_down = 0x0104;
inline constexpr UINT sys_key_up = 0x0105;
inline constexpr UINT init_dialog = 0x0110;
inline constexpr UINT command = 0x0111;
inline constexpr UINT sys_command = 0x0112;
inline constexpr UINT timer = 0x0113;
inline constexpr UINT hscroll = 0x0114;
inline constexpr UINT vscroll = 0x0115;
inline constexpr UINT init_menu_popup = 0x0117;
inline constexpr UINT ctl_color_msgbox = 0x0132;
inline constexpr UINT ctl_color_edit = 0x0133;
inline constexpr UINT ctl_color_listbox = 0x0134;
inline constexpr UINT ctl_color_button = 0x0135;
inline constexpr UINT ctl_color_dialog = 0x0136;
inline constexpr UINT ctl_color_scrollbar = 0x0137;
inline constexpr UINT ctl_color_static = 0x0138;
inline constexpr UINT mouse_move = 0x0200;
inline constexpr UINT lbutton_down = 0x0201;
inline constexpr UINT lbutton_up = 0x0202;
inline constexpr UINT lbutton_dblclk = 0x0203;
inline constexpr UINT mouse_wheel = 0x020A;
inline constexpr UINT capture_changed = 0x0215;
inline constexpr UINT hot_key = 0x0312;
inline constexpr UINT user = 0x0400;
inline constexpr UINT app = 0x8000;
// Messages a parent passes back to the child control that sent them
// (reflect_base + the message), so a control class can handle its own
// notifications.
inline constexpr UINT reflect_base = 0xBC00;
}  // namespace wm

// Which icon of a window wm::set_icon and wm::get_icon mean.
namespace icon_size {
inline constexpr int small = 0;
inline constexpr int big = 1;
}  // namespace icon_size

// --- Window styles ------------------------------------------------------------
namespace ws {
inline constexpr DWORD overlapped = 0x00000000;
inline constexpr DWORD popup = 0x80000000;
inline constexpr DWORD child = 0x40000000;
inline constexpr DWORD visible = 0x10000000;
inline constexpr DWORD disabled = 0x08000000;
inline constexpr DWORD clip_siblings = 0x04000000;
inline constexpr DWORD clip_children = 0x02000000;
inline constexpr DWORD caption = 0x00C00000;
inline constexpr DWORD border = 0x00800000;
inline constexpr DWORD dialog_frame = 0x00400000;
inline constexpr DWORD vscroll = 0x00200000;
inline constexpr DWORD hscroll = 0x00100000;
inline constexpr DWORD sys_menu = 0x00080000;
inline constexpr DWORD thick_frame = 0x00040000;
inline constexpr DWORD group = 0x00020000;
inline constexpr DWORD tab_stop = 0x00010000;
}  // namespace ws

namespace ws_ex {
inline constexpr DWORD dialog_modal_frame = 0x00000001;
inline constexpr DWORD topmost = 0x00000008;
inline constexpr DWORD tool_window = 0x00000080;
inline constexpr DWORD window_edge = 0x00000100;
inline constexpr DWORD client_edge = 0x00000200;
inline constexpr DWORD control_parent = 0x00010000;
inline constexpr DWORD static_edge = 0x00020000;
}  // namespace ws_ex

// Window class styles.
namespace cs {
inline constexpr UINT vredraw = 0x0001;
inline constexpr UINT hredraw = 0x0002;
inline constexpr UINT dblclks = 0x0008;
inline constexpr UINT global_class = 0x4000;
}  // namespace cs

// Show commands.
namespace sw {
inline constexpr int hide = 0;
inline constexpr int show_normal = 1;
inline constexpr int show_no_activate = 4;
inline constexpr int show = 5;
inline constexpr int show_na = 8;
}  // namespace sw

// Flags of set_window_pos.
namespace swp {
inline constexpr UINT no_size = 0x0001;
inline constexpr UINT no_move = 0x0002;
inline constexpr UINT no_zorder = 0x0004;
inline constexpr UINT no_redraw = 0x0008;
inline constexpr UINT no_activate = 0x0010;
inline constexpr UINT show_window = 0x0040;
inline constexpr UINT hide_window = 0x0080;
}  // namespace swp

// Relations for get_window.
namespace gw {
inline constexpr UINT first = 0;
inline constexpr UINT last = 1;
inline constexpr UINT next = 2;
inline constexpr UINT prev = 3;
inline constexpr UINT owner = 4;
inline constexpr UINT child = 5;
}  // namespace gw

// Words of get_window_long / set_window_long.
namespace gwl {
inline constexpr int user_data = -21;
inline constexpr int style = -16;
inline constexpr int ex_style = -20;
inline constexpr int id = -12;
// Dialogs: the result a dialog procedure leaves for a notification.
inline constexpr int msg_result = 0;
}  // namespace gwl

// Activation states (low word of WM_ACTIVATE's wParam).
namespace wa {
inline constexpr WORD inactive = 0;
inline constexpr WORD active = 1;
inline constexpr WORD click_active = 2;
}  // namespace wa

// Command results of dialogs and message boxes.
namespace id {
inline constexpr int ok = 1;
inline constexpr int cancel = 2;
inline constexpr int abort = 3;
inline constexpr int retry = 4;
inline constexpr int ignore = 5;
inline constexpr int yes = 6;
inline constexpr int no = 7;
inline constexpr int static_text = -1;  // controls without an id of their own
}  // namespace id

// Virtual key codes.
namespace vk {
inline constexpr UINT back = 0x08;
inline constexpr UINT tab = 0x09;
inline constexpr UINT enter = 0x0D;  // the Return key
inline constexpr UINT shift = 0x10;
inline constexpr UINT control = 0x11;
inline constexpr UINT menu = 0x12;  // Alt
inline constexpr UINT escape = 0x1B;
inline constexpr UINT space = 0x20;
inline constexpr UINT prior = 0x21;
inline constexpr UINT next = 0x22;
inline constexpr UINT end = 0x23;
inline constexpr UINT home = 0x24;
inline constexpr UINT left = 0x25;
inline constexpr UINT up = 0x26;
inline constexpr UINT right = 0x27;
inline constexpr UINT down = 0x28;
inline constexpr UINT insert = 0x2D;
inline constexpr UINT del = 0x2E;
inline constexpr UINT f1 = 0x70;
}  // namespace vk

// Key and button states in the wParam of mouse messages.
namespace mk {
inline constexpr WPARAM lbutton = 0x0001;
inline constexpr WPARAM rbutton = 0x0002;
inline constexpr WPARAM shift = 0x0004;
inline constexpr WPARAM control = 0x0008;
}  // namespace mk

// Modifiers of hot keys.
namespace mod {
inline constexpr UINT alt = 0x0001;
inline constexpr UINT control = 0x0002;
inline constexpr UINT shift = 0x0004;
inline constexpr UINT win = 0x0008;
// Also report the release; the release's notification carries this bit.
inline constexpr UINT keyup = 0x1000;
}  // namespace mod

// Answers of wm::get_dialog_code.
namespace dlgc {
inline constexpr LRESULT want_arrows = 0x0001;
inline constexpr LRESULT want_tab = 0x0002;
inline constexpr LRESULT want_all_keys = 0x0004;
inline constexpr LRESULT want_message = 0x0004;
inline constexpr LRESULT has_set_sel = 0x0008;
inline constexpr LRESULT def_push_button = 0x0010;
inline constexpr LRESULT undef_push_button = 0x0020;
inline constexpr LRESULT radio_button = 0x0040;
inline constexpr LRESULT want_chars = 0x0080;
inline constexpr LRESULT static_control = 0x0100;
inline constexpr LRESULT button = 0x2000;
}  // namespace dlgc

// System metrics (get_system_metrics).
namespace sm {
inline constexpr int cx_screen = 0;
inline constexpr int cy_screen = 1;
inline constexpr int cx_vscroll = 2;
inline constexpr int cy_hscroll = 3;
inline constexpr int cy_caption = 4;
inline constexpr int cx_border = 5;
inline constexpr int cy_border = 6;
inline constexpr int cx_dialog_frame = 7;
inline constexpr int cy_dialog_frame = 8;
inline constexpr int cx_icon = 11;
inline constexpr int cy_icon = 12;
inline constexpr int cy_menu = 15;
inline constexpr int cx_double_click = 36;
inline constexpr int cy_double_click = 37;
inline constexpr int cx_edge = 45;
inline constexpr int cy_edge = 46;
inline constexpr int cx_small_icon = 49;
inline constexpr int cy_small_icon = 50;
}  // namespace sm

// System colour indices (get_sys_color). The handheld's index flag 0x40000000
// may be or-ed in; it is ignored.
namespace color {
inline constexpr int scrollbar = 0;
inline constexpr int background = 1;
inline constexpr int active_caption = 2;
inline constexpr int inactive_caption = 3;
inline constexpr int menu = 4;
inline constexpr int window = 5;
inline constexpr int window_frame = 6;
inline constexpr int menu_text = 7;
inline constexpr int window_text = 8;
inline constexpr int caption_text = 9;
inline constexpr int highlight = 13;
inline constexpr int highlight_text = 14;
inline constexpr int btn_face = 15;
inline constexpr int face_3d = 15;
inline constexpr int btn_shadow = 16;
inline constexpr int gray_text = 17;
inline constexpr int btn_text = 18;
inline constexpr int btn_highlight = 20;
inline constexpr int dk_shadow_3d = 21;
inline constexpr int light_3d = 22;
inline constexpr int info_text = 23;
inline constexpr int info_bk = 24;
inline constexpr int static_bk = 25;
inline constexpr int static_text = 26;
inline constexpr int count = 27;
inline constexpr int index_flag = 0x40000000;
}  // namespace color

}  // namespace kelda::ui
