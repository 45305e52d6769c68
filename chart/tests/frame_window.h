// The terminal's frame in chart tests: a top-level window that counts the
// context menus it hears.
#pragma once

#include "ui/types.h"
#include "ui/window.h"

namespace kelda::chart::testing {

class Frame : public ui::Window {
 public:
  explicit Frame(RECT rect = RECT{0, 0, 240, 320}) {
    ui::CreateParams p;
    p.style = ui::ws::popup | ui::ws::visible;
    p.rect = rect;
    create(p);
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == ui::wm::context_menu) ++contextMenus;
    return default_proc(msg, wp, lp);
  }
  int contextMenus = 0;
};

}  // namespace kelda::chart::testing
