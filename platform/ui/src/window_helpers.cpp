// Helpers over the window tree: a message to every descendant, the
// foreground window, centring a window over its owner, and the icons a
// window keeps for wm::set_icon.
#include <algorithm>

#include "core.h"
#include "platform/last_error.h"
#include "ui/window.h"

namespace kelda::ui {

using namespace detail;

namespace {
void send_down(Hwnd parent, UINT msg, WPARAM wp, LPARAM lp, bool deep, int& sent) {
  for (Hwnd child : child_windows(parent)) {
    if (!is_window(child)) continue;  // destroyed by an earlier send
    send_message(child, msg, wp, lp);
    ++sent;
    if (deep && is_window(child)) send_down(child, msg, wp, lp, deep, sent);
  }
}
}  // namespace

int send_message_to_descendants(Hwnd parent, UINT msg, WPARAM wparam, LPARAM lparam, bool deep) {
  return on_ui([&] {
    if (must(parent) == nullptr) return -1;
    int sent = 0;
    send_down(parent, msg, wparam, lparam, deep, sent);
    return sent;
  });
}

Hwnd get_foreground_window() { return get_active_window(); }

bool center_window(Hwnd hwnd, Hwnd over) {
  return on_ui([&] {
    WindowData* w = must(hwnd);
    if (w == nullptr) return false;
    if (over && must(over) == nullptr) return false;
    RECT r = get_window_rect(hwnd);
    const int cx = r.right - r.left, cy = r.bottom - r.top;
    RECT bounds = screen_info().work_area;
    RECT around = bounds;
    if (w->parent != nullptr && (w->style & ws::child)) {
      bounds = around = client_screen_rect(w->parent);
      if (over) around = get_window_rect(over);
    } else {
      if (!over && w->owner != nullptr) over = w->owner->handle;
      // A hidden owner (or one shown minimised, which the handheld has not)
      // gives no place: the work area is used.
      if (over && is_window_visible(over)) around = get_window_rect(over);
    }
    int x = around.left + ((around.right - around.left) - cx) / 2;
    int y = around.top + ((around.bottom - around.top) - cy) / 2;
    // Keep it inside the bounds (the top-left corner wins when it is larger).
    x = std::max(std::min(x, static_cast<int>(bounds.right) - cx), static_cast<int>(bounds.left));
    y = std::max(std::min(y, static_cast<int>(bounds.bottom) - cy), static_cast<int>(bounds.top));
    POINT at{x, y};
    if (w->parent != nullptr && (w->style & ws::child)) at = screen_to_client(w->parent->handle, at);
    return set_window_pos(hwnd, Hwnd{}, at.x, at.y, 0, 0, swp::no_size | swp::no_zorder | swp::no_activate);
  });
}

const Bitmap* get_window_icon(Hwnd hwnd, int which) {
  return reinterpret_cast<const Bitmap*>(send_message(hwnd, wm::get_icon, static_cast<WPARAM>(which), 0));
}

const Bitmap* set_window_icon(Hwnd hwnd, int which, const Bitmap* icon) {
  return reinterpret_cast<const Bitmap*>(
      send_message(hwnd, wm::set_icon, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(icon)));
}

}  // namespace kelda::ui
