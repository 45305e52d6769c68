// The default processing every window falls back on.
#include <algorithm>
#include <cstring>

#include "core.h"
#include "ui/controls.h"

namespace kelda::ui::detail {

namespace {
bool is_reflected_source(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case wm::command: return lp != 0 && hi_word(wp) != 0xFFFF;
    case wm::notify:
    case wm::hscroll:
    case wm::vscroll:
      return lp != 0;
    default:
      return msg >= wm::ctl_color_msgbox && msg <= wm::ctl_color_static && lp != 0;
  }
}

Hwnd reflect_target(UINT msg, LPARAM lp) {
  if (msg == wm::notify) return reinterpret_cast<const NotifyHeader*>(lp)->from;
  return Hwnd::from(lp);
}
}  // namespace

const Brush* control_colors(WindowData& w, UINT msg, Canvas& c) {
  Hwnd h = w.handle;
  WindowData* parent = w.parent;
  LRESULT r = 0;
  if (parent != nullptr) r = call_window(parent, msg, reinterpret_cast<WPARAM>(&c), h.to_lparam());
  if (r != 0) return reinterpret_cast<const Brush*>(r);
  // The default colours of the control kinds.
  if (lookup(h) == nullptr) return &get_sys_color_brush(color::window);
  WindowData& self = *lookup(h);
  return reinterpret_cast<const Brush*>(def_proc(self, msg, reinterpret_cast<WPARAM>(&c), h.to_lparam()));
}

void notify_parent_command(WindowData& w, UINT code) {
  if (w.parent == nullptr) return;
  call_window(w.parent, wm::command, make_wparam(static_cast<int>(w.id), static_cast<int>(code)),
              w.handle.to_lparam());
}

LRESULT notify_parent(WindowData& w, NotifyHeader& hdr) {
  hdr.from = w.handle;
  hdr.id_from = w.id;
  if (w.parent == nullptr) return 0;
  return call_window(w.parent, wm::notify, w.id, reinterpret_cast<LPARAM>(&hdr));
}

LRESULT def_proc(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
  Hwnd h = w.handle;
  if (is_reflected_source(msg, wp, lp)) {
    Hwnd child = reflect_target(msg, lp);
    if (child && child != h) {
      if (WindowData* c = lookup(child); c != nullptr && c->parent == &w) {
        LRESULT r = call_window(c, wm::reflect_base + msg, wp, lp);
        if (r != 0) return r;
        if (lookup(h) == nullptr) return 0;
      }
    }
  }
  switch (msg) {
    case wm::set_text: {
      const char16_t* t = reinterpret_cast<const char16_t*>(lp);
      w.text = t ? std::u16string(t) : std::u16string();
      if ((w.style & ws::caption) == ws::caption) w.nc_dirty = true;
      if (w.parent == nullptr) {
        if (WindowData* bar = lookup(g_core->task_bar)) invalidate(bar, nullptr, true);
      }
      return 1;
    }
    case wm::get_text: {
      if (wp == 0 || lp == 0) return 0;
      size_t n = std::min<size_t>(w.text.size(), wp - 1);
      auto* buf = reinterpret_cast<char16_t*>(lp);
      std::memcpy(buf, w.text.data(), n * sizeof(char16_t));
      buf[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case wm::get_text_length:
      return static_cast<LRESULT>(w.text.size());
    case wm::set_font:
      w.font = Font::from_handle(wp);
      if (lp != 0) invalidate(&w, nullptr, true);
      return 0;
    case wm::get_font:
      return w.font ? static_cast<LRESULT>(w.font->handle()) : 0;
    case wm::erase_background: {
      Canvas* c = reinterpret_cast<Canvas*>(wp);
      if (c == nullptr || w.background == nullptr) return 0;
      c->fill_rect(client_area(&w), *w.background);
      return 1;
    }
    case wm::paint: {
      PaintSession ps(h);
      return 0;
    }
    case wm::close:
      destroy(&w);
      return 0;
    case wm::context_menu:
    case wm::mouse_wheel:
      // Unhandled, both go up to the parent.
      if (w.parent != nullptr && (w.style & ws::child)) return call_window(w.parent, msg, wp, lp);
      return 0;
    case wm::set_icon:
    case wm::get_icon: {
      if (wp > static_cast<WPARAM>(icon_size::big)) return 0;
      const Bitmap* old = w.icons[wp];
      if (msg == wm::set_icon) w.icons[wp] = reinterpret_cast<const Bitmap*>(lp);
      return reinterpret_cast<LRESULT>(old);
    }
    case wm::activate:
      // A window made active takes the focus unless something inside it has it.
      if (lo_word(wp) != wa::inactive && !(w.style & ws::disabled)) {
        Hwnd f = g_core->focus;
        bool inside = false;
        for (WindowData* d = lookup(f); d != nullptr; d = d->parent)
          if (d == &w) inside = true;
        if (!inside) {
          WindowData* last = lookup(w.last_focus);
          set_focus_impl(last != nullptr && top_level_of(last) == &w ? last : &w);
        }
      }
      return 0;
    case wm::set_redraw:
      w.redraw_off = wp == 0;
      if (wp != 0) invalidate_all(&w, true);
      return 0;
    case wm::ctl_color_edit:
    case wm::ctl_color_listbox: {
      auto* c = reinterpret_cast<Canvas*>(wp);
      if (c) {
        c->set_text_color(get_sys_color(color::window_text));
        c->set_bk_color(get_sys_color(color::window));
      }
      return reinterpret_cast<LRESULT>(&get_sys_color_brush(color::window));
    }
    case wm::ctl_color_static:
    case wm::ctl_color_button:
    case wm::ctl_color_dialog:
    case wm::ctl_color_msgbox:
    case wm::ctl_color_scrollbar: {
      auto* c = reinterpret_cast<Canvas*>(wp);
      if (c) {
        c->set_text_color(get_sys_color(color::btn_text));
        c->set_bk_color(get_sys_color(color::btn_face));
      }
      return reinterpret_cast<LRESULT>(&get_sys_color_brush(color::btn_face));
    }
    default:
      return 0;
  }
}

}  // namespace kelda::ui::detail
