// The window functions that read and change a window's place in the tree,
// its attributes and its geometry.
#include <algorithm>

#include "core.h"
#include "platform/last_error.h"

namespace kelda::ui {

using namespace detail;

Hwnd get_parent(Hwnd h) {
  WindowData* w = lookup(h);
  if (w == nullptr) return Hwnd{};
  if (w->parent) return w->parent->handle;
  return w->owner ? w->owner->handle : Hwnd{};
}

Hwnd get_window(Hwnd h, UINT relation) {
  WindowData* w = lookup(h);
  if (w == nullptr) return Hwnd{};
  if (relation == gw::child) return w->children.empty() ? Hwnd{} : w->children.front()->handle;
  if (relation == gw::owner) return w->owner ? w->owner->handle : Hwnd{};
  const auto& list = w->parent ? w->parent->children : g_core->top_levels;
  auto it = std::find(list.begin(), list.end(), w);
  if (it == list.end()) return Hwnd{};
  switch (relation) {
    case gw::first: return list.front()->handle;
    case gw::last: return list.back()->handle;
    case gw::next: return (it + 1) == list.end() ? Hwnd{} : (*(it + 1))->handle;
    case gw::prev: return it == list.begin() ? Hwnd{} : (*(it - 1))->handle;
    default: return Hwnd{};
  }
}

Hwnd get_top_level(Hwnd h) {
  WindowData* w = top_level_of(lookup(h));
  return w ? w->handle : Hwnd{};
}

bool is_child(Hwnd parent, Hwnd h) {
  WindowData* p = lookup(parent);
  for (WindowData* w = lookup(h); w && p; w = w->parent)
    if (w->parent == p) return true;
  return false;
}

std::vector<Hwnd> child_windows(Hwnd parent) {
  std::vector<Hwnd> out;
  if (WindowData* w = lookup(parent))
    for (WindowData* c : w->children) out.push_back(c->handle);
  return out;
}

std::vector<Hwnd> top_level_windows() {
  std::vector<Hwnd> out;
  if (!g_core) return out;
  for (WindowData* t : g_core->top_levels) {
    // The shell's own windows (desktop, task bar, input-panel button) are not
    // the program's.
    if (t->handle == g_core->desktop || t->handle == g_core->task_bar || t->handle == g_core->sip_button) continue;
    out.push_back(t->handle);
  }
  return out;
}

Hwnd get_dlg_item(Hwnd parent, int id) {
  WindowData* w = lookup(parent);
  if (w == nullptr) return Hwnd{};
  for (WindowData* c : w->children)
    if (static_cast<int>(c->id) == id || (id == -1 && c->id == 0xFFFFu)) return c->handle;
  return Hwnd{};
}

int get_dlg_ctrl_id(Hwnd h) {
  WindowData* w = lookup(h);
  return w ? static_cast<int>(w->id) : 0;
}

std::u16string get_class_name(Hwnd h) {
  WindowData* w = lookup(h);
  return w ? w->class_name : std::u16string{};
}

Hwnd find_window(std::u16string_view class_name, const std::u16string* text) {
  if (!g_core) return Hwnd{};
  for (WindowData* t : g_core->top_levels) {
    if (!class_name.empty() && !equal_ignore_case(t->class_name, class_name)) continue;
    if (text != nullptr && t->text != *text) continue;
    return t->handle;
  }
  return Hwnd{};
}

bool set_window_text(Hwnd h, std::u16string_view text) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    std::u16string copy(text);
    // A window may refuse a text (a drop-down list without such an item).
    return call_window(w, wm::set_text, 0, reinterpret_cast<LPARAM>(copy.c_str())) > 0;
  });
}

std::u16string get_window_text(Hwnd h) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return std::u16string{};
    LRESULT len = call_window(w, wm::get_text_length, 0, 0);
    if (len < 0) len = 0;
    std::u16string buf(static_cast<size_t>(std::max<LRESULT>(len + 1, 64)), u'\0');
    w = lookup(h);
    if (w == nullptr) return std::u16string{};
    LRESULT got = call_window(w, wm::get_text, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    if (got < 0) got = 0;
    buf.resize(std::min<size_t>(static_cast<size_t>(got), buf.size()));
    return buf;
  });
}

intptr_t get_window_long(Hwnd h, int index) {
  WindowData* w = must(h);
  if (w == nullptr) return 0;
  switch (index) {
    case gwl::style: return static_cast<intptr_t>(w->style);
    case gwl::ex_style: return static_cast<intptr_t>(w->ex_style);
    case gwl::id: return static_cast<intptr_t>(w->id);
    case gwl::user_data: return w->user_data;
    case gwl::msg_result: return w->msg_result;
    default: set_last_error(platform::error::invalid_parameter); return 0;
  }
}

intptr_t set_window_long(Hwnd h, int index, intptr_t value) {
  return on_ui([&]() -> intptr_t {
    WindowData* w = must(h);
    if (w == nullptr) return 0;
    intptr_t old = 0;
    switch (index) {
      case gwl::style: {
        old = static_cast<intptr_t>(w->style);
        DWORD nv = static_cast<DWORD>(value);
        bool vis_change = (nv & ws::visible) != (w->style & ws::visible);
        w->style = (nv & ~ws::visible) | (w->style & ws::visible);
        if (vis_change) show_impl(w, (nv & ws::visible) ? sw::show_na : sw::hide);
        w = lookup(h);
        if (w) {
          w->nc_dirty = true;
          invalidate(w, nullptr, true);
        }
        break;
      }
      case gwl::ex_style:
        old = static_cast<intptr_t>(w->ex_style);
        w->ex_style = static_cast<DWORD>(value);
        w->nc_dirty = true;
        invalidate(w, nullptr, true);
        break;
      case gwl::id: old = static_cast<intptr_t>(w->id); w->id = static_cast<UINT>(value); break;
      case gwl::user_data: old = w->user_data; w->user_data = value; break;
      case gwl::msg_result: old = w->msg_result; w->msg_result = value; break;
      default: set_last_error(platform::error::invalid_parameter); break;
    }
    return old;
  });
}

DWORD get_style(Hwnd h) { return static_cast<DWORD>(get_window_long(h, gwl::style)); }

void modify_style(Hwnd h, DWORD remove, DWORD add) {
  DWORD s = get_style(h);
  set_window_long(h, gwl::style, static_cast<intptr_t>((s & ~remove) | add));
}

const Font* get_font(Hwnd h) {
  WindowData* w = lookup(h);
  return w ? w->font : nullptr;
}

RECT get_window_rect(Hwnd h) {
  WindowData* w = must(h);
  return w ? screen_rect(w) : RECT{};
}

RECT get_client_rect(Hwnd h) {
  WindowData* w = must(h);
  if (w == nullptr) return RECT{};
  RECT c = client_rect_in_window(w);
  return RECT{0, 0, width_of(c), height_of(c)};
}

POINT client_to_screen(Hwnd h, POINT p) {
  WindowData* w = lookup(h);
  if (w == nullptr) return p;
  RECT c = client_screen_rect(w);
  return POINT{p.x + c.left, p.y + c.top};
}

POINT screen_to_client(Hwnd h, POINT p) {
  WindowData* w = lookup(h);
  if (w == nullptr) return p;
  RECT c = client_screen_rect(w);
  return POINT{p.x - c.left, p.y - c.top};
}

RECT map_rect(Hwnd from, Hwnd to, RECT r) {
  POINT a = from ? client_to_screen(from, POINT{0, 0}) : POINT{0, 0};
  POINT b = to ? client_to_screen(to, POINT{0, 0}) : POINT{0, 0};
  return offset_rect(r, a.x - b.x, a.y - b.y);
}

RECT adjust_window_rect(RECT client, DWORD style, DWORD ex_style) {
  WindowData probe;
  probe.style = style;
  probe.ex_style = ex_style;
  probe.vbar.shown = (style & ws::vscroll) != 0;
  probe.hbar.shown = (style & ws::hscroll) != 0;
  probe.rect = RECT{0, 0, 1000, 1000};
  RECT c = client_rect_in_window(&probe);
  return RECT{client.left - c.left, client.top - c.top, client.right + (1000 - c.right),
              client.bottom + (1000 - c.bottom)};
}

bool move_window(Hwnd h, int x, int y, int width, int height, bool repaint) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    move_window_impl(w, clamp_window_rect(x, y, int64_t{x} + width, int64_t{y} + height), repaint);
    return true;
  });
}

bool set_window_pos(Hwnd h, Hwnd after, int x, int y, int cx, int cy, UINT flags) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    if (!(flags & swp::no_zorder)) {
      auto& list = w->parent ? w->parent->children : g_core->top_levels;
      list.erase(std::remove(list.begin(), list.end(), w), list.end());
      if (after == kTopmost && w->parent == nullptr) w->ex_style |= ws_ex::topmost;
      if (after == kTop || after == kTopmost) {
        if (w->parent == nullptr) {
          insert_top_level(w);
        } else {
          list.insert(list.begin(), w);
        }
      } else if (after == kBottom) {
        list.push_back(w);
      } else {
        WindowData* a = lookup(after);
        auto it = std::find(list.begin(), list.end(), a);
        list.insert(it == list.end() ? list.end() : it + 1, w);
      }
      if (visible_chain(w)) invalidate_all(w, true);
    }
    RECT r = w->rect;
    if (!(flags & swp::no_move)) r = clamp_window_rect(x, y, int64_t{x} + width_of(r), int64_t{y} + height_of(r));
    if (!(flags & swp::no_size)) r = clamp_window_rect(r.left, r.top, int64_t{r.left} + cx, int64_t{r.top} + cy);
    move_window_impl(w, r, !(flags & swp::no_redraw));
    w = lookup(h);
    if (w != nullptr && (flags & swp::show_window)) show_impl(w, (flags & swp::no_activate) ? sw::show_na : sw::show);
    if (w != nullptr && (flags & swp::hide_window)) show_impl(w, sw::hide);
    return true;
  });
}

bool show_window(Hwnd h, int command) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    bool was = (w->style & ws::visible) != 0;
    show_impl(w, command);
    return was;
  });
}

bool is_window_visible(Hwnd h) {
  WindowData* w = lookup(h);
  return w != nullptr && visible_chain(w);
}

bool enable_window(Hwnd h, bool enable) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    bool was_disabled = (w->style & ws::disabled) != 0;
    if (was_disabled == !enable) return was_disabled;
    if (enable) {
      w->style &= ~ws::disabled;
    } else {
      w->style |= ws::disabled;
      Core& c = *g_core;
      for (WindowData* f = lookup(c.focus); f != nullptr; f = f->parent) {
        if (f == w) {
          set_focus_impl(nullptr);
          break;
        }
      }
      if (c.capture == h) release_capture();
    }
    call_window(w, wm::enable, enable ? 1 : 0, 0);
    if ((w = lookup(h)) != nullptr) invalidate(w, nullptr, true);
    return was_disabled;
  });
}

bool is_window_enabled(Hwnd h) {
  WindowData* w = lookup(h);
  return w != nullptr && !(w->style & ws::disabled);
}

}  // namespace kelda::ui
