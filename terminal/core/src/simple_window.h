// Private: the terminal's small window-wrapper layer under the colour control.
// A SimpleWindow object owns one window; one registry maps window handles to
// objects. The layer registers its window class on the first creation with
// a class name (`WndColorCtrl` when none is given) and its window procedure
// binds the object on wm::create (the object travels in the creation
// parameter), then finds it by handle; a handle without an object gets the
// default processing. The virtual operations below are the per-message hooks.
//
// Threading: user-interface thread. Ownership: destroying the object destroys
// its window; a window destroyed first leaves the object unbound.
#pragma once

#include <string_view>

#include "ui/window.h"

namespace kelda::terminal {

class SimpleWindow {
 public:
  SimpleWindow() = default;
  virtual ~SimpleWindow();
  SimpleWindow(const SimpleWindow&) = delete;
  SimpleWindow& operator=(const SimpleWindow&) = delete;

  ui::Hwnd hwnd() const { return hwnd_; }
  void destroy();
  // The object bound to a window, or nullptr.
  static SimpleWindow* from_handle(ui::Hwnd hwnd);

  // A popup (ws::border is added) placed in screen coordinates, owned by `owner`.
  virtual bool create_popup(std::u16string_view title, DWORD style, RECT screen_rect, ui::Hwnd owner,
                            std::u16string_view class_name = {});
  // A child window of `parent`.
  virtual bool create_child(std::u16string_view title, DWORD style, RECT rect, ui::Hwnd parent, UINT id = 0,
                            std::u16string_view class_name = {});
  virtual LRESULT default_proc(UINT msg, WPARAM wparam, LPARAM lparam);
  virtual void on_set_font(WPARAM font, LPARAM redraw);
  virtual void on_size(WPARAM type, int width, int height);
  virtual void on_lbutton_up(WPARAM keys, int x, int y);
  virtual void on_lbutton_down(WPARAM keys, int x, int y);
  virtual void on_paint(ui::Canvas& canvas, const ui::PaintSession& paint);
  virtual void on_command(int id, ui::Hwnd control, int code);
  // Answers 0 to go on, -1 to fail the creation.
  virtual LRESULT on_create(const ui::CreateStruct& create);
  // Dispatches the messages above to their hooks, the rest (and wm::set_font
  // and wm::command after their hooks) to default_proc().
  virtual LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT layer_proc(ui::Hwnd hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  bool create(const ui::CreateParams& params, std::u16string_view class_name);
  ui::Hwnd hwnd_;
};

}  // namespace kelda::terminal
