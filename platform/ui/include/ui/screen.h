// The emulated handheld screen and the shell stand-ins.
//
// The screen is 240 x 320 pixels at 96 dots per inch unless the session asks
// for 480 x 640 or 640 x 480 (192 dots per inch). A band of the shell's task
// bar runs along the top; menu bars sit at the bottom. System metrics and the
// system font follow the resolution, so the "VGA screen" test and the display
// scale (dots per inch / 96) of the system come from here.
//
// Shell stand-ins: the input-panel button is a real top-level window of class
// "MS_SIPBUTTON" (find it with find_window), the input panel is a flag; tests
// read both. Threading: user-interface thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/export.h"
#include "ui/types.h"

namespace kelda::ui {

struct ScreenInfo {
  int width = 240;
  int height = 320;
  int dpi_x = 96;
  int dpi_y = 96;
  RECT work_area{};  // the screen less the task bar
};
KELDA_UI_API ScreenInfo screen_info();
// dots per inch / 96 in each direction.
KELDA_UI_API double scale_x();
KELDA_UI_API double scale_y();
// At least 640 x 480 in either orientation.
KELDA_UI_API bool is_vga_screen();

namespace caps {  // device_caps() indices
inline constexpr int horz_res = 8;
inline constexpr int vert_res = 10;
inline constexpr int logpixels_x = 88;
inline constexpr int logpixels_y = 90;
}  // namespace caps
KELDA_UI_API int device_caps(int index);
KELDA_UI_API int get_system_metrics(int index);  // sm::

// Changes the emulated screen (a rotation, say): full-screen windows follow,
// and every top-level window gets wm::setting_change.
KELDA_UI_API bool set_screen_size(int width, int height);
// The window that stands for the whole screen (for centring).
KELDA_UI_API Hwnd desktop_window();

// Sizes a top-level window to the work area less its menu bar and keeps it
// so when the screen changes (the shell's full-screen dialogs).
KELDA_UI_API bool make_full_screen(Hwnd top_level);

// Tap-and-hold, one contract for every window. A window that wants the
// gesture calls recognize_gesture() while it handles its stylus press at
// `client`: the layer follows the stylus while it stays down within a few
// pixels and answers gn::context_menu (1000) when it was held past the delay,
// 0 for a tap or a drag; on 1000 the caller consumes the press, and the
// release still arrives afterwards.
//  - With shrg::return_cmd nothing else happens: the caller acts on the
//    answer itself (the list view turns it into its GestureNotify).
//  - Without it, before answering 1000, the layer sends the window
//    wm::context_menu (wParam the window, lParam the screen point), or, with
//    shrg::notify_parent, sends the parent wm::notify with a GestureNotify.
//    A child that leaves wm::context_menu to the default processing passes
//    it up to its parent. So a window whose code reacts to the context-menu
//    message (the chart window: cancelling a stroke, its tools' and its
//    owner's menus) asks without return_cmd and only consumes the press.
namespace shrg {
inline constexpr UINT return_cmd = 0x1;
inline constexpr UINT notify_parent = 0x2;
inline constexpr UINT long_delay = 0x8;
}  // namespace shrg
KELDA_UI_API UINT recognize_gesture(Hwnd hwnd, POINT client, UINT flags);

// The pointer's shape: the handheld shows none, so this is state that
// tests read. Cursor ids: idc::arrow and the like, or a program's own ids.
namespace idc {
inline constexpr int arrow = 32512;
inline constexpr int wait = 32514;
}  // namespace idc
// Answers the previous cursor.
KELDA_UI_API int set_cursor(int cursor);
KELDA_UI_API int current_cursor();
// The cursor `id` of a module ("" the program, a library its own name): a
// handle for set_cursor that is the same at every call and differs from the
// handles of every other module's cursors and from the idc:: values, so the
// chart's 201 never means the terminal's 201. Threading: any thread.
KELDA_UI_API int load_cursor(std::string_view module, int id);
struct CursorResource {
  std::string module;
  int id = 0;
  bool operator==(const CursorResource&) const = default;
};
// What a handle of load_cursor stands for (nothing for idc:: values and
// unknown handles).
KELDA_UI_API std::optional<CursorResource> cursor_resource(int cursor);

// The input panel (soft keyboard): shown or hidden by the program.
KELDA_UI_API void show_input_panel(bool show);
KELDA_UI_API bool input_panel_shown();
// The input-panel button window (class "MS_SIPBUTTON").
KELDA_UI_API Hwnd sip_button();

}  // namespace kelda::ui
