// Pop-up menus (shown and tracked by the layer) and the menu bar with its
// tool-bar buttons.
#include <algorithm>
#include <map>
#include <mutex>

#include "../menu_internal.h"
#include "controls_internal.h"
#include "../tool_tip.h"

namespace kelda::ui::detail {
namespace {

struct PopupState {
  UINT result = 0;
  bool done = false;
  std::vector<Hwnd> levels;
  Hwnd owner;
};

class PopupBehavior final : public Behavior {
 public:
  Hmenu menu;
  PopupState* state = nullptr;
  size_t level = 0;
  int hot = -1;

  static int item_height(WindowData& w, const MenuItem& it) {
    return (it.flags & mf::separator) ? scaled(6) : font_engine().metrics(window_font(w)).height + scaled(6);
  }

  int hit(WindowData& w, POINT p) {
    MenuData* m = menu_data(menu);
    if (m == nullptr) return -1;
    int y = 1;
    for (size_t i = 0; i < m->items.size(); ++i) {
      int h = item_height(w, m->items[i]);
      if (p.y >= y && p.y < y + h) return static_cast<int>(i);
      y += h;
    }
    return -1;
  }

  RECT item_rect(WindowData& w, int index) {
    MenuData* m = menu_data(menu);
    int y = 1;
    for (int i = 0; i < index; ++i) y += item_height(w, m->items[static_cast<size_t>(i)]);
    RECT cl = client_rect_in_window(&w);
    return RECT{1, y, width_of(cl) - 1, y + item_height(w, m->items[static_cast<size_t>(index)])};
  }

  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override;
};

void close_levels_from(PopupState& s, size_t level) {
  while (s.levels.size() > level) {
    Hwnd h = s.levels.back();
    s.levels.pop_back();
    if (WindowData* w = lookup(h)) destroy(w);
  }
}

Hwnd open_level(PopupState& s, Hmenu menu, POINT at, UINT flags, RECT avoid) {
  MenuData* m = menu_data(menu);
  if (m == nullptr) return Hwnd{};
  const Font& f = system_font();
  FontEngine& e = font_engine();
  int width = scaled(60), height = 2;
  for (const MenuItem& it : m->items) {
    width = std::max(width, e.text_width(f, it.text) + scaled(36));
    height += (it.flags & mf::separator) ? scaled(6) : e.metrics(f).height + scaled(6);
  }
  ScreenInfo si = screen_info();
  int x = at.x, y = at.y;
  if (flags & tpm::right_align) x -= width;
  if (flags & tpm::center_align) x -= width / 2;
  if (flags & tpm::bottom_align) y -= height;
  if (flags & tpm::vcenter_align) y -= height / 2;
  if (x + width > si.width) x = std::max(0, avoid.left > 0 ? avoid.left - width : si.width - width);
  if (y + height > si.height) y = std::max(0, si.height - height);
  x = std::max(0, x);
  y = std::max(0, y);
  CreateParams p;
  p.class_name = u"PopupMenu";
  p.style = ws::popup | ws::border;
  p.ex_style = ws_ex::topmost;
  p.rect = RECT{x, y, x + width, y + height};
  p.parent = s.owner;
  Hwnd h = create_window(p);
  WindowData* w = lookup(h);
  if (w == nullptr) return Hwnd{};
  auto* b = static_cast<PopupBehavior*>(w->behavior.get());
  b->menu = menu;
  b->state = &s;
  b->level = s.levels.size();
  s.levels.push_back(h);
  show_impl(w, sw::show_na);
  return h;
}

LRESULT PopupBehavior::handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case wm::paint: {
      PaintSession ps(w.handle);
      Canvas& c = ps.canvas();
      RECT cl = client_rect_in_window(&w);
      c.fill_rect(RECT{0, 0, width_of(cl), height_of(cl)}, get_sys_color_brush(color::menu));
      MenuData* m = menu_data(menu);
      if (m == nullptr) return 0;
      c.set_bk_mode(bk::transparent);
      for (size_t i = 0; i < m->items.size(); ++i) {
        const MenuItem& it = m->items[i];
        RECT r = item_rect(w, static_cast<int>(i));
        if (it.flags & mf::separator) {
          c.draw_edge(RECT{r.left + 2, (r.top + r.bottom) / 2 - 1, r.right - 2, (r.top + r.bottom) / 2 + 1}, bdr::etched, bf::top | bf::bottom);
          continue;
        }
        bool grey = it.flags & (mf::grayed | mf::disabled);
        if (static_cast<int>(i) == hot && !grey) {
          c.fill_rect(r, get_sys_color_brush(color::highlight));
          c.set_text_color(get_sys_color(color::highlight_text));
        } else {
          c.set_text_color(get_sys_color(grey ? color::gray_text : color::menu_text));
        }
        RECT t{r.left + scaled(16), r.top, r.right - scaled(14), r.bottom};
        c.draw_text(it.text, t, dt::left | dt::vcenter | dt::single_line);
        if (it.flags & mf::checked) {
          RECT k{r.left + scaled(3), r.top, r.left + scaled(15), r.bottom};
          c.draw_text(u"\u2713", k, dt::left | dt::vcenter | dt::single_line | dt::no_prefix);
        }
        if (it.flags & mf::popup) {
          RECT a{r.right - scaled(12), r.top, r.right - scaled(2), r.bottom};
          c.draw_text(u"\u25B8", a, dt::right | dt::vcenter | dt::single_line | dt::no_prefix);
        }
      }
      return 0;
    }
    case wm::lbutton_down:
    case wm::mouse_move: {
      int i = hit(w, POINT{x_of(lp), y_of(lp)});
      if (i != hot) {
        hot = i;
        invalidate(&w, nullptr, false);
      }
      return 0;
    }
    case wm::lbutton_up: {
      int i = hit(w, POINT{x_of(lp), y_of(lp)});
      MenuData* m = menu_data(menu);
      if (i < 0 || m == nullptr) return 0;
      const MenuItem it = m->items[static_cast<size_t>(i)];
      if (it.flags & (mf::separator | mf::grayed | mf::disabled)) return 0;
      PopupState& s = *state;
      if (it.flags & mf::popup) {
        close_levels_from(s, level + 1);
        RECT r = item_rect(w, i);
        RECT sr = screen_rect(&w);
        open_level(s, it.sub, POINT{sr.right - 2, sr.top + r.top}, 0, sr);
        return 0;
      }
      s.result = it.id;
      s.done = true;
      return 0;
    }
    default:
      return def_proc(w, msg, wp, lp);
  }
}

// --- Menu bar -----------------------------------------------------------------------------------
struct ToolButton {
  UINT command = 0;  // 0: a separator
  int image = 0;
  bool enabled = true;
  bool checked = false;
  std::u16string tip;
};

std::mutex& toolbar_mutex() {
  static std::mutex m;
  return m;
}
std::map<std::pair<std::string, int>, ToolbarTemplate>& toolbars() {
  static std::map<std::pair<std::string, int>, ToolbarTemplate> m;
  return m;
}

class MenuBarBehavior final : public Behavior {
 public:
  Hwnd owner;
  std::vector<ToolButton> buttons;
  const Bitmap* strip = nullptr;
  DWORD bar_style = 0;
  int image_w = 16, image_h = 16;
  int pressed = -1;  // index into the hit list

  struct Hit {
    RECT r;
    int menu_item = -1;
    int button = -1;
  };

  std::vector<Hit> layout(WindowData& w) {
    std::vector<Hit> out;
    RECT cl = client_rect_in_window(&w);
    FontEngine& e = font_engine();
    int x = scaled(2);
    if (MenuData* m = menu_data(w.menu)) {
      for (size_t i = 0; i < m->items.size(); ++i) {
        int width = e.text_width(system_font(), m->items[i].text) + scaled(14);
        out.push_back(Hit{RECT{x, 1, x + width, height_of(cl) - 1}, static_cast<int>(i), -1});
        x += width;
      }
    }
    int right = width_of(cl) - scaled(2);
    for (size_t k = buttons.size(); k-- > 0;) {
      int bw = buttons[k].command == 0 ? scaled(6) : image_w + 7;
      int bh = image_h + 7;
      RECT r{right - bw, (height_of(cl) - bh) / 2, right, (height_of(cl) - bh) / 2 + bh};
      right -= bw;
      if (buttons[k].command != 0) out.push_back(Hit{r, -1, static_cast<int>(k)});
    }
    return out;
  }

  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::paint:
        paint(w);
        return 0;
      case wm::lbutton_down:
      case wm::lbutton_dblclk: {
        auto hits = layout(w);
        pressed = -1;
        for (size_t i = 0; i < hits.size(); ++i)
          if (point_in_rect(hits[i].r, POINT{x_of(lp), y_of(lp)})) pressed = static_cast<int>(i);
        invalidate(&w, nullptr, false);
        if (pressed >= 0) set_capture(w.handle);
        if (pressed >= 0 && hits[static_cast<size_t>(pressed)].button >= 0 && (bar_style & cbrs::tooltips)) {
          const ToolButton& b = buttons[static_cast<size_t>(hits[static_cast<size_t>(pressed)].button)];
          if (!b.tip.empty()) show_tool_tip(b.tip, offset_rect(hits[static_cast<size_t>(pressed)].r, screen_rect(&w).left, screen_rect(&w).top));
        }
        return 0;
      }
      case wm::capture_changed:
      case wm::destroy:
        hide_tool_tip();
        return def_proc(w, msg, wp, lp);
      case tb::get_bar_style:
        return static_cast<LRESULT>(bar_style);
      case tb::set_bar_style:
        bar_style = static_cast<DWORD>(wp);
        return 1;
      case wm::lbutton_up: {
        hide_tool_tip();
        if (get_capture() == w.handle) release_capture();
        auto hits = layout(w);
        int p = pressed;
        pressed = -1;
        invalidate(&w, nullptr, false);
        if (p < 0 || !point_in_rect(hits[static_cast<size_t>(p)].r, POINT{x_of(lp), y_of(lp)})) return 0;
        const Hit& h = hits[static_cast<size_t>(p)];
        if (h.button >= 0) {
          const ToolButton& b = buttons[static_cast<size_t>(h.button)];
          if (b.enabled) command(b.command);
          return 0;
        }
        MenuData* m = menu_data(w.menu);
        if (m == nullptr || h.menu_item < 0) return 0;
        const MenuItem it = m->items[static_cast<size_t>(h.menu_item)];
        if (it.flags & (mf::grayed | mf::disabled)) return 0;
        if (!(it.flags & mf::popup)) {
          command(it.id);
          return 0;
        }
        RECT s = screen_rect(&w);
        UINT cmd = track_popup_menu(it.sub, tpm::bottom_align | tpm::return_cmd, s.left + h.r.left, s.top, owner);
        if (cmd != 0) command(cmd);
        return 0;
      }
      case kMenuBarGetMenu:
        return static_cast<LRESULT>(w.menu.value());
      case tb::enable_button:
      case tb::check_button:
      case tb::is_button_enabled:
      case tb::is_button_checked: {
        for (ToolButton& b : buttons) {
          if (b.command != wp || b.command == 0) continue;
          if (msg == tb::is_button_enabled) return b.enabled ? 1 : 0;
          if (msg == tb::is_button_checked) return b.checked ? 1 : 0;
          bool on = lo_word(static_cast<uintptr_t>(lp)) != 0;
          if (msg == tb::enable_button) b.enabled = on; else b.checked = on;
          invalidate(&w, nullptr, false);
          return 1;
        }
        return 0;
      }
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

  void command(UINT id) {
    if (WindowData* o = lookup(owner)) call_window(o, wm::command, make_wparam(static_cast<int>(id), 0), 0);
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    c.fill_rect(r, get_sys_color_brush(color::btn_face));
    c.fill_rect(RECT{0, 0, r.right, 1}, get_sys_color_brush(color::btn_shadow));
    c.set_bk_mode(bk::transparent);
    auto hits = layout(w);
    MenuData* m = menu_data(w.menu);
    for (size_t i = 0; i < hits.size(); ++i) {
      const Hit& h = hits[i];
      bool down = static_cast<int>(i) == pressed;
      if (h.menu_item >= 0 && m != nullptr) {
        const MenuItem& it = m->items[static_cast<size_t>(h.menu_item)];
        if (down) c.draw_edge(h.r, bdr::sunken_outer, bf::rect);
        c.set_text_color(get_sys_color((it.flags & (mf::grayed | mf::disabled)) ? color::gray_text : color::btn_text));
        RECT t = h.r;
        c.draw_text(it.text, t, dt::center | dt::vcenter | dt::single_line);
        continue;
      }
      const ToolButton& b = buttons[static_cast<size_t>(h.button)];
      if (down || b.checked) c.draw_edge(h.r, bdr::sunken_outer, bf::rect);
      if (strip != nullptr) {
        RECT src{b.image * image_w, 0, (b.image + 1) * image_w, image_h};
        int x = h.r.left + (width_of(h.r) - image_w) / 2, y = h.r.top + (height_of(h.r) - image_h) / 2;
        c.draw_bitmap(x, y, *strip, src, rop::src_copy);
        if (!b.enabled) {
          // Greyed: wash the picture out.
          Brush wash = Brush::solid(get_sys_color(color::btn_face));
          for (int yy = 0; yy < image_h; yy += 2)
            for (int xx = (yy / 2) % 2; xx < image_w; xx += 2) c.fill_rect(RECT{x + xx, y + yy, x + xx + 1, y + yy + 1}, wash);
        }
      }
    }
  }
};

}  // namespace

UINT run_popup_menu(Hmenu menu, POINT screen, UINT flags, Hwnd owner) {
  PopupState s;
  s.owner = owner;
  if (!open_level(s, menu, screen, flags, RECT{})) return 0;
  MessageFilterToken outside = add_message_filter([&s](Message& m) {
    if (m.message != wm::lbutton_down && m.message != wm::key_down) return false;
    if (m.message == wm::key_down) {
      if (m.wparam == vk::escape) s.done = true;
      return true;
    }
    for (Hwnd h : s.levels)
      if (h == m.hwnd) return false;
    s.done = true;  // a tap outside the menu dismisses it
    return true;
  });
  run_loop_until([&] { return s.done; });
  close_levels_from(s, 0);
  return s.result;
}

void register_menu_classes() {
  register_behavior_class<PopupBehavior>(u"PopupMenu");
  register_behavior_class<MenuBarBehavior>(u"MenuBar");
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

void register_toolbar_template(std::string_view module, int id, ToolbarTemplate tpl) {
  std::lock_guard lock(toolbar_mutex());
  toolbars()[{std::string(module), id}] = std::move(tpl);
}

Hwnd create_menu_bar(Hwnd owner, std::string_view module, int menu_id, UINT control_id) {
  return on_ui([&] {
    WindowData* o = top_level_of(must(owner));
    if (o == nullptr) return Hwnd{};
    Hmenu menu;
    if (menu_id != 0) {
      menu = load_menu(module, menu_id);
      if (!menu) return Hwnd{};
    }
    ScreenInfo si = screen_info();
    int h = scaled(26);
    CreateParams p;
    p.class_name = u"MenuBar";
    p.style = ws::popup | ws::visible;
    p.rect = RECT{0, si.height - h, si.width, si.height};
    p.parent = o->handle;
    p.id = control_id;
    p.menu = menu;
    Hwnd bar = create_window(p);
    WindowData* b = lookup(bar);
    if (b == nullptr) {
      if (menu) destroy_menu(menu);
      return Hwnd{};
    }
    auto* mb = static_cast<MenuBarBehavior*>(b->behavior.get());
    mb->owner = o->handle;
    if (MenuData* md = menu_data(menu)) md->on_change = [bar] {
      if (WindowData* d = lookup(bar)) invalidate(d, nullptr, false);
    };
    o = lookup(owner) ? top_level_of(lookup(owner)) : nullptr;
    if (o == nullptr) return bar;
    o->menu_bar = bar;
    if (o->rect.bottom > b->rect.top) move_window_impl(o, RECT{o->rect.left, o->rect.top, o->rect.right, b->rect.top}, true);
    return bar;
  });
}

bool add_toolbar_buttons(Hwnd bar, std::string_view module, int toolbar_id) {
  return on_ui([&] {
    WindowData* b = must(bar);
    if (b == nullptr) return false;
    auto* mb = dynamic_cast<MenuBarBehavior*>(b->behavior.get());
    if (mb == nullptr) return false;
    ToolbarTemplate tpl;
    {
      std::lock_guard lock(toolbar_mutex());
      auto it = toolbars().find({std::string(module), toolbar_id});
      if (it == toolbars().end()) return false;
      tpl = it->second;
    }
    mb->strip = find_bitmap(module, toolbar_id);
    mb->image_w = tpl.image_width;
    mb->image_h = tpl.image_height;
    int image = 0;
    for (size_t i = 0; i < tpl.buttons.size(); ++i) {
      const UINT cmd = tpl.buttons[i];
      mb->buttons.push_back(ToolButton{cmd, cmd ? image++ : 0, true, false, i < tpl.tips.size() ? tpl.tips[i] : u""});
    }
    invalidate(b, nullptr, true);
    return true;
  });
}

Hwnd find_menu_bar(Hwnd owner) {
  WindowData* o = top_level_of(lookup(owner));
  return o && lookup(o->menu_bar) ? o->menu_bar : Hwnd{};
}

DWORD get_bar_style(Hwnd bar) { return static_cast<DWORD>(send_message(bar, tb::get_bar_style)); }
bool set_bar_style(Hwnd bar, DWORD style) { return send_message(bar, tb::set_bar_style, style) != 0; }
Hwnd shown_toolbar_tip() { return on_ui([] { return current_tool_tip(); }); }

Hmenu menu_bar_menu(Hwnd bar) { return Hmenu(static_cast<uintptr_t>(send_message(bar, kMenuBarGetMenu))); }

bool enable_toolbar_button(Hwnd bar, UINT command, bool enable) {
  return send_message(bar, tb::enable_button, command, enable ? 1 : 0) != 0;
}
bool check_toolbar_button(Hwnd bar, UINT command, bool check) {
  return send_message(bar, tb::check_button, command, check ? 1 : 0) != 0;
}
bool is_toolbar_button_enabled(Hwnd bar, UINT command) {
  return send_message(bar, tb::is_button_enabled, command) != 0;
}
bool is_toolbar_button_checked(Hwnd bar, UINT command) {
  return send_message(bar, tb::is_button_checked, command) != 0;
}

}  // namespace kelda::ui
