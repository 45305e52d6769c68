// Internal menu records shared by menus, pop-up menus and the menu bar.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/menu.h"

namespace kelda::ui::detail {

struct MenuItem {
  UINT flags = 0;  // mf:: bits
  UINT id = 0;
  Hmenu sub;
  std::u16string text;
};

struct MenuData {
  bool popup = false;
  std::vector<MenuItem> items;
  std::function<void()> on_change;  // the menu bar repaints its buttons
};

// The menu's record, or null (menus are used on the user-interface thread).
MenuData* menu_data(Hmenu menu);

// The layer's own pop-up menu: shows it and runs a loop until a command is
// chosen (answered) or the menu is dismissed (0).
UINT run_popup_menu(Hmenu menu, POINT screen, UINT flags, Hwnd owner);

}  // namespace kelda::ui::detail
