// Menus, pop-up menus, the menu bar and its tool-bar buttons.
//
// A menu is a handle (Hmenu) holding items: commands (an id and a text),
// separators and sub-menus. Menus are built in code or loaded from a template
// registered by resource id. track_popup_menu() goes through the dialog
// service, so tests choose the command; the layer's own implementation shows
// the menu and runs a loop until a command is chosen or the menu is dismissed.
//
// The menu bar (the shell's command bar) is a window along the bottom of the
// screen owned by a top-level window: it shows the top-level items of a menu
// as buttons that open their sub-menus, and tool-bar buttons with pictures.
// Commands reach the owner as wm::command with the id (high word 0). Message
// kMenuBarGetMenu to the bar answers its menu handle; the tool-bar messages
// tb:: enable, check and query buttons by command.
//
// Threading: user-interface thread. A menu attached to a window or a menu bar
// is destroyed with it; other menus are destroyed by destroy_menu().
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/export.h"
#include "ui/resources.h"
#include "ui/types.h"

namespace kelda::ui {

namespace mf {
inline constexpr UINT by_command = 0x0000;
inline constexpr UINT by_position = 0x0400;
inline constexpr UINT string = 0x0000;
inline constexpr UINT enabled = 0x0000;
inline constexpr UINT grayed = 0x0001;
inline constexpr UINT disabled = 0x0002;
inline constexpr UINT unchecked = 0x0000;
inline constexpr UINT checked = 0x0008;
inline constexpr UINT popup = 0x0010;
inline constexpr UINT separator = 0x0800;
}  // namespace mf
namespace tpm {
inline constexpr UINT left_align = 0x0000;
inline constexpr UINT center_align = 0x0004;
inline constexpr UINT right_align = 0x0008;
inline constexpr UINT top_align = 0x0000;
inline constexpr UINT vcenter_align = 0x0010;
inline constexpr UINT bottom_align = 0x0020;
inline constexpr UINT non_notify = 0x0080;
inline constexpr UINT return_cmd = 0x0100;
}  // namespace tpm
// Tool-bar messages of the menu bar (wParam command, lParam state).
namespace tb {
inline constexpr UINT enable_button = wm::user + 1;
inline constexpr UINT check_button = wm::user + 2;
inline constexpr UINT is_button_enabled = wm::user + 9;
inline constexpr UINT is_button_checked = wm::user + 10;
// The bar's style bits (cbrs::): get answers them, set takes them in wParam.
inline constexpr UINT get_bar_style = wm::user + 410;
inline constexpr UINT set_bar_style = wm::user + 411;
}  // namespace tb
inline constexpr UINT kMenuBarGetMenu = wm::user + 402;  // 1426
// Style bits of the bar: with cbrs::tooltips, a tool-bar button that has a
// tip shows it while the stylus rests on the button (the tip goes when the
// stylus is lifted). The other bits are kept and read back only.
namespace cbrs {
inline constexpr DWORD size_fixed = 0x0002;
inline constexpr DWORD tooltips = 0x0010;
inline constexpr DWORD flyby = 0x0020;
}  // namespace cbrs
KELDA_UI_API DWORD get_bar_style(Hwnd bar);
KELDA_UI_API bool set_bar_style(Hwnd bar, DWORD style);
// The tip a tool-bar button shows now (null when none shows).
KELDA_UI_API Hwnd shown_toolbar_tip();

KELDA_UI_API Hmenu create_menu();
KELDA_UI_API Hmenu create_popup_menu();
KELDA_UI_API bool destroy_menu(Hmenu menu);
KELDA_UI_API bool is_menu(Hmenu menu);
// mf::popup: id is the sub-menu's handle value (sub_menu.value()).
KELDA_UI_API bool append_menu(Hmenu menu, UINT flags, uintptr_t id, std::u16string_view text = {});
KELDA_UI_API bool insert_menu(Hmenu menu, UINT position, UINT flags, uintptr_t id,
                              std::u16string_view text = {});
KELDA_UI_API bool delete_menu(Hmenu menu, UINT item, UINT flags);  // destroys a sub-menu
KELDA_UI_API bool remove_menu(Hmenu menu, UINT item, UINT flags);  // keeps a sub-menu
// Answers the previous state (mf::grayed / mf::checked bits), or -1 when not found.
KELDA_UI_API int enable_menu_item(Hmenu menu, UINT item, UINT flags);
KELDA_UI_API int check_menu_item(Hmenu menu, UINT item, UINT flags);
KELDA_UI_API int get_menu_state(Hmenu menu, UINT item, UINT flags);
KELDA_UI_API int get_menu_item_count(Hmenu menu);
KELDA_UI_API int get_menu_item_id(Hmenu menu, int position);  // -1 for sub-menus
KELDA_UI_API Hmenu get_sub_menu(Hmenu menu, int position);
KELDA_UI_API std::u16string get_menu_string(Hmenu menu, UINT item, UINT flags);
// Searches sub-menus too (by command).
KELDA_UI_API bool menu_has_command(Hmenu menu, UINT id);

// A menu resource: items with nested sub-menus.
struct MenuTemplateItem {
  std::u16string text;  // empty with id 0 and no children: a separator
  UINT id = 0;
  UINT flags = 0;  // mf::grayed, mf::checked
  std::vector<MenuTemplateItem> children;  // non-empty: a sub-menu
};
struct MenuTemplate {
  std::vector<MenuTemplateItem> items;
};
KELDA_UI_API void register_menu_template(std::string_view module, int id, MenuTemplate tpl);
// A fresh menu built from the template (the caller destroys it), or null.
KELDA_UI_API Hmenu load_menu(std::string_view module, int id);

// Shows a pop-up menu at a screen point. With tpm::return_cmd answers the
// chosen command (0 when dismissed); otherwise posts wm::command to the owner
// and answers non-zero when something was chosen.
KELDA_UI_API UINT track_popup_menu(Hmenu menu, UINT flags, int x, int y, Hwnd owner);

// A tool-bar resource: picture size and the buttons' commands in order (0 is
// a separator). The pictures are the bitmap of the same id in the module, one
// square after the other.
struct ToolbarTemplate {
  int image_width = 16;
  int image_height = 16;
  std::vector<UINT> buttons;
  // Tips of the buttons, in the order of `buttons` (missing or empty: none).
  std::vector<std::u16string> tips;
};
KELDA_UI_API void register_toolbar_template(std::string_view module, int id, ToolbarTemplate tpl);

// Creates the menu bar of `owner` from menu resource `menu_id` (0: none) and
// sizes the owner to end where the bar begins. Answers the bar.
KELDA_UI_API Hwnd create_menu_bar(Hwnd owner, std::string_view module, int menu_id,
                                  UINT control_id = 0xE800);
// Adds the buttons of a tool-bar resource to the bar; each button is 7 pixels
// wider and higher than its picture.
KELDA_UI_API bool add_toolbar_buttons(Hwnd bar, std::string_view module, int toolbar_id);
// The menu bar of a top-level window, or null.
KELDA_UI_API Hwnd find_menu_bar(Hwnd owner);
KELDA_UI_API Hmenu menu_bar_menu(Hwnd bar);
// Tool-bar button states by command (also through the tb:: messages).
KELDA_UI_API bool enable_toolbar_button(Hwnd bar, UINT command, bool enable);
KELDA_UI_API bool check_toolbar_button(Hwnd bar, UINT command, bool check);
KELDA_UI_API bool is_toolbar_button_enabled(Hwnd bar, UINT command);
KELDA_UI_API bool is_toolbar_button_checked(Hwnd bar, UINT command);
// A window's own menu (from CreateParams::menu).
KELDA_UI_API Hmenu get_menu(Hwnd hwnd);

}  // namespace kelda::ui
