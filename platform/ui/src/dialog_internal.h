// Internal pieces of dialogs shared by the dialog, navigation and standard
// dialog sources.
#pragma once

#include <memory>
#include <string>

#include "core.h"

namespace kelda::ui {
// Gives the layer's sources access to a Window's handle binding.
struct WindowAccess {
  static void bind(Window* o, Hwnd h);
  static void unbind(Window* o);
};
}  // namespace kelda::ui

namespace kelda::ui::detail {

class DialogBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override;
  POINT to_pixels(int x, int y) const;
  RECT to_pixels(const RECT& du) const;
  // Places the controls as in the template matching the screen's shape.
  void relayout(WindowData& w);

  Font font;
  int base_x = 6;
  int base_y = 13;
  std::string module;
  const DialogTemplate* portrait = nullptr;
  const DialogTemplate* landscape = nullptr;
  std::shared_ptr<DialogTemplate> portrait_holder, landscape_holder;
};

DialogBehavior* dialog_behavior(WindowData* w);
WindowData* make_dialog(const DialogTemplate& tpl, std::shared_ptr<DialogTemplate> owned,
                        const std::string& module, Hwnd owner, Window* object, DialogProcedure proc,
                        LPARAM param);
intptr_t run_modal_dialog(WindowData* w, Hwnd owner, const std::string& module, const std::string& name);
std::shared_ptr<DialogTemplate> find_template(std::string_view module, const ResourceName& name);

}  // namespace kelda::ui::detail
