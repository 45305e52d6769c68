// The window-wrapper layer: one registry of bound objects and one window
// procedure that hands each message to its object's hooks.
#include "simple_window.h"

#include <mutex>
#include <unordered_map>

#include "terminal/color_select.h"
#include "ui/gdi.h"

namespace kelda::terminal {
namespace {

std::mutex& registry_mutex() {
  static std::mutex m;
  return m;
}

std::unordered_map<uintptr_t, SimpleWindow*>& registry() {
  static std::unordered_map<uintptr_t, SimpleWindow*> map;
  return map;
}

void bind(ui::Hwnd hwnd, SimpleWindow* object) {
  std::lock_guard lock(registry_mutex());
  registry()[hwnd.value()] = object;
}

// Drops the binding of `hwnd` when it still names `object` (any object when null).
bool unbind(ui::Hwnd hwnd, const SimpleWindow* object) {
  std::lock_guard lock(registry_mutex());
  const auto it = registry().find(hwnd.value());
  if (it == registry().end() || (object != nullptr && it->second != object)) return false;
  registry().erase(it);
  return true;
}

}  // namespace

SimpleWindow::~SimpleWindow() {
  destroy();
  if (hwnd_) unbind(hwnd_, this);
}

void SimpleWindow::destroy() {
  if (hwnd_ && ui::is_window(hwnd_)) ui::destroy_window(hwnd_);
}

SimpleWindow* SimpleWindow::from_handle(ui::Hwnd hwnd) {
  std::lock_guard lock(registry_mutex());
  const auto it = registry().find(hwnd.value());
  return it == registry().end() ? nullptr : it->second;
}

LRESULT SimpleWindow::layer_proc(ui::Hwnd hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::create && lparam != 0) {
    const auto* create = reinterpret_cast<const ui::CreateStruct*>(lparam);
    if (auto* object = static_cast<SimpleWindow*>(create->create_params)) {
      object->hwnd_ = hwnd;
      bind(hwnd, object);
    }
  }
  SimpleWindow* object = from_handle(hwnd);
  if (object == nullptr) return ui::def_window_proc(hwnd, msg, wparam, lparam);
  const LRESULT result = object->window_proc(msg, wparam, lparam);
  if (msg == ui::wm::nc_destroy) {
    // The object may have gone with its window; only a live binding is touched.
    if (SimpleWindow* still = from_handle(hwnd); still == object && unbind(hwnd, object)) object->hwnd_ = {};
  }
  return result;
}

bool SimpleWindow::create(const ui::CreateParams& params, std::u16string_view class_name) {
  if (hwnd_) return false;
  const std::u16string_view name = class_name.empty() ? std::u16string_view(kColorButtonClass) : class_name;
  if (!ui::is_class_registered(name)) {
    ui::WindowClass cls;
    cls.name = std::u16string(name);
    cls.style = ui::cs::hredraw | ui::cs::vredraw;
    cls.background = &ui::white_brush();
    cls.proc = &SimpleWindow::layer_proc;
    ui::register_class(std::move(cls));
  }
  ui::CreateParams p = params;
  p.class_name = name;
  p.create_param = this;
  const ui::Hwnd made = ui::create_window(p);
  if (!made) {
    if (hwnd_) unbind(hwnd_, this);
    hwnd_ = {};
    return false;
  }
  return true;
}

bool SimpleWindow::create_popup(std::u16string_view title, DWORD style, RECT screen_rect, ui::Hwnd owner,
                                std::u16string_view class_name) {
  ui::CreateParams p;
  p.text = title;
  p.style = style | ui::ws::border;
  p.rect = screen_rect;
  p.parent = owner;
  return create(p, class_name);
}

bool SimpleWindow::create_child(std::u16string_view title, DWORD style, RECT rect, ui::Hwnd parent, UINT id,
                                std::u16string_view class_name) {
  ui::CreateParams p;
  p.text = title;
  p.style = style | ui::ws::child;
  p.rect = rect;
  p.parent = parent;
  p.id = id;
  return create(p, class_name);
}

LRESULT SimpleWindow::default_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  return ui::def_window_proc(hwnd_, msg, wparam, lparam);
}

void SimpleWindow::on_set_font(WPARAM, LPARAM) {}
void SimpleWindow::on_size(WPARAM, int, int) {}
void SimpleWindow::on_lbutton_up(WPARAM, int, int) {}
void SimpleWindow::on_lbutton_down(WPARAM, int, int) {}
void SimpleWindow::on_paint(ui::Canvas&, const ui::PaintSession&) {}
void SimpleWindow::on_command(int, ui::Hwnd, int) {}
LRESULT SimpleWindow::on_create(const ui::CreateStruct&) { return 0; }

LRESULT SimpleWindow::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::create:
      return lparam != 0 ? on_create(*reinterpret_cast<const ui::CreateStruct*>(lparam)) : 0;
    case ui::wm::size:
      on_size(wparam, ui::lo_word(static_cast<uintptr_t>(lparam)), ui::hi_word(static_cast<uintptr_t>(lparam)));
      return 0;
    case ui::wm::paint: {
      ui::PaintSession paint(hwnd_);
      on_paint(paint.canvas(), paint);
      return 0;
    }
    case ui::wm::set_font:
      on_set_font(wparam, lparam);
      break;
    case ui::wm::command:
      on_command(ui::lo_word(wparam), ui::Hwnd::from(lparam), ui::hi_word(wparam));
      break;
    case ui::wm::lbutton_down:
      on_lbutton_down(wparam, ui::x_of(lparam), ui::y_of(lparam));
      return 0;
    case ui::wm::lbutton_up:
      on_lbutton_up(wparam, ui::x_of(lparam), ui::y_of(lparam));
      return 0;
    default:
      break;
  }
  return default_proc(msg, wparam, lparam);
}

}  // namespace kelda::terminal
