// Window creation, destruction, the tree, attributes and geometry.
#include <algorithm>

#include "core.h"
#include "dialog_internal.h"
#include "platform/last_error.h"

namespace kelda::ui {

void WindowAccess::bind(Window* o, Hwnd h) { o->hwnd_ = h; }
void WindowAccess::unbind(Window* o) {
  o->hwnd_ = Hwnd{};
  o->previous_ = nullptr;
  o->on_destroyed();
}

}  // namespace kelda::ui

namespace kelda::ui::detail {

namespace {
void purge(WindowData* w) {
  Core& c = *g_core;
  std::unique_ptr<WindowData> holder;
  {
    std::lock_guard lock(c.table_mutex);
    auto it = std::find_if(c.graveyard.begin(), c.graveyard.end(),
                           [&](auto& p) { return p.get() == w; });
    if (it == c.graveyard.end()) return;
    holder = std::move(*it);
    c.graveyard.erase(it);
  }
  // holder (and an owned object with it) is freed here, outside the lock.
}

int frame_width(const WindowData* w) {
  int f = 0;
  if ((w->style & ws::caption) == ws::caption || (w->style & ws::dialog_frame)) {
    f = 2;
  } else if (w->style & ws::border) {
    f = 1;
  }
  if (w->ex_style & ws_ex::client_edge) f += 2;
  if (w->ex_style & ws_ex::static_edge) f += 1;
  return f;
}
}  // namespace

LRESULT call_class(WindowData* w, UINT msg, WPARAM wp, LPARAM lp) {
  if (w == nullptr) return 0;
  if (w->behavior) return w->behavior->handle(*w, msg, wp, lp);
  if (w->class_proc) {
    auto proc = w->class_proc;
    return proc(w->handle, msg, wp, lp);
  }
  return def_proc(*w, msg, wp, lp);
}

LRESULT call_window(WindowData* w, UINT msg, WPARAM wp, LPARAM lp) {
  ++w->depth;
  LRESULT r;
  if (w->outer) {
    auto proc = w->outer;
    r = proc(w->handle, msg, wp, lp);
  } else if (w->object != nullptr) {
    r = w->object->window_proc(msg, wp, lp);
  } else {
    r = call_class(w, msg, wp, lp);
  }
  --w->depth;
  if (w->gone && w->depth == 0) purge(w);
  return r;
}

RECT client_rect_in_window(const WindowData* w) {
  RECT r{0, 0, width_of(w->rect), height_of(w->rect)};
  int f = frame_width(w);
  r = inflate_rect(r, -f, -f);
  // Full-screen windows show their title in the task bar, as the shell's do.
  if ((w->style & ws::caption) == ws::caption && !w->full_screen) r.top += get_system_metrics(sm::cy_caption);
  if (w->vbar.shown) r.right -= scroll_bar_width();
  if (w->hbar.shown) r.bottom -= scroll_bar_width();
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

RECT screen_rect(const WindowData* w) {
  if (w->parent == nullptr) return w->rect;
  RECT pc = client_screen_rect(w->parent);
  return offset_rect(w->rect, pc.left, pc.top);
}

RECT client_screen_rect(const WindowData* w) {
  RECT s = screen_rect(w);
  RECT c = client_rect_in_window(w);
  return offset_rect(c, s.left, s.top);
}

bool visible_chain(const WindowData* w) {
  for (; w != nullptr; w = w->parent)
    if (!(w->style & ws::visible)) return false;
  return true;
}

bool enabled_chain(const WindowData* w) {
  for (; w != nullptr; w = w->parent)
    if (w->style & ws::disabled) return false;
  return true;
}

WindowData* top_level_of(WindowData* w) {
  while (w != nullptr && w->parent != nullptr) w = w->parent;
  return w;
}

void insert_top_level(WindowData* w) {
  auto& list = g_core->top_levels;
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
  if (w->ex_style & ws_ex::topmost) {
    list.insert(list.begin(), w);
    return;
  }
  auto it = std::find_if(list.begin(), list.end(),
                         [](WindowData* t) { return !(t->ex_style & ws_ex::topmost); });
  list.insert(it, w);
}

WindowData* create_window_data(const CreateParams& p, Window* object, std::unique_ptr<Window> owned,
                               bool& failed) {
  failed = true;
  Core& c = *g_core;
  const ClassEntry* entry = nullptr;
  if (!p.class_name.empty()) {
    entry = find_class(p.class_name);
    if (entry == nullptr) {
      set_last_error(platform::error::invalid_parameter);
      return nullptr;
    }
  }
  WindowData* parent = nullptr;
  WindowData* owner = nullptr;
  // With both ws::popup and ws::child the window is a pop-up placed in screen
  // coordinates and owned by the given window (a drop-down grid under its
  // control, say), not a child clipped by it.
  const bool child = (p.style & ws::child) && !(p.style & ws::popup);
  if (child) {
    parent = lookup(p.parent);
    if (parent == nullptr) {
      set_last_error(platform::error::invalid_handle);
      return nullptr;
    }
  } else if (p.parent) {
    owner = top_level_of(lookup(p.parent));
    if (owner == nullptr) {
      set_last_error(platform::error::invalid_handle);
      return nullptr;
    }
  }
  if (entry != nullptr && entry->cls.factory && object == nullptr) {
    owned = entry->cls.factory();
    object = owned.get();
  }
  WindowData* w = allocate_window();
  w->parent = parent;
  w->owner = owner;
  w->class_name = entry ? entry->cls.name : std::u16string(p.class_name);
  w->class_style = entry ? entry->cls.style : 0;
  w->background = entry ? entry->cls.background : nullptr;
  if (entry != nullptr && entry->behavior) w->behavior = entry->behavior();
  if (entry != nullptr && entry->cls.proc) w->class_proc = entry->cls.proc;
  w->text = std::u16string(p.text);
  w->style = p.style & ~ws::visible;
  w->ex_style = p.ex_style;
  w->id = p.id;
  w->menu = p.menu;
  w->owned_object = std::move(owned);
  w->object = object;
  RECT r = p.rect;
  if (parent == nullptr && r.left == kUseDefault) r = c.screen.work_area;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  w->rect = r;
  if (w->style & ws::vscroll) w->vbar.shown = true;
  if (w->style & ws::hscroll) w->hbar.shown = true;
  if (parent != nullptr) {
    parent->children.push_back(w);
  } else {
    insert_top_level(w);
  }
  if (object != nullptr) WindowAccess::bind(object, w->handle);
  Hwnd h = w->handle;

  CreateStruct cs;
  cs.create_params = p.create_param;
  cs.menu = p.menu;
  cs.parent = p.parent;
  cs.x = r.left;
  cs.y = r.top;
  cs.cx = width_of(r);
  cs.cy = height_of(r);
  cs.style = p.style;
  cs.name = w->text.c_str();
  cs.class_name = w->class_name.c_str();
  cs.ex_style = p.ex_style;
  LRESULT created = call_window(w, wm::create, 0, reinterpret_cast<LPARAM>(&cs));
  w = lookup(h);
  if (w == nullptr) return nullptr;
  if (created == -1) {
    destroy(w);
    return nullptr;
  }
  RECT client = client_rect_in_window(w);
  call_window(w, wm::size, 0, make_lparam(width_of(client), height_of(client)));
  w = lookup(h);
  if (w == nullptr) return nullptr;
  if (p.style & ws::visible) show_impl(w, sw::show);
  failed = false;
  return lookup(h);
}

void destroy(WindowData* w) {
  if (w == nullptr || w->destroying) return;
  Core& c = *g_core;
  w->destroying = true;
  Hwnd h = w->handle;
  // Windows it owns go first.
  for (bool again = true; again;) {
    again = false;
    for (WindowData* t : c.top_levels) {
      if (t->owner == w && !t->destroying) {
        destroy(t);
        again = true;
        break;
      }
    }
  }
  if (visible_chain(w)) expose_screen(screen_rect(w));
  w->style &= ~ws::visible;
  auto in_subtree = [&](Hwnd x) {
    for (WindowData* d = lookup(x); d != nullptr; d = d->parent)
      if (d == w) return true;
    return false;
  };
  if (c.capture && in_subtree(c.capture)) release_capture();
  if (c.focus && in_subtree(c.focus)) {
    WindowData* f = lookup(c.focus);
    c.focus = Hwnd{};
    if (f != nullptr) call_window(f, wm::kill_focus, 0, 0);
  }
  if (c.active == h) {
    c.active = Hwnd{};
    if (lookup(h) != nullptr) call_window(w, wm::activate, wa::inactive, 0);
  }
  if (lookup(h) != nullptr) call_window(w, wm::destroy, 0, 0);
  // Children, top of the z-order first.
  while (true) {
    WindowData* d = lookup(h);
    if (d == nullptr || d->children.empty()) break;
    WindowData* child = d->children.front();
    if (child->destroying) {
      d->children.erase(d->children.begin());
      continue;
    }
    destroy(child);
  }
  w = lookup(h);
  if (w == nullptr) return;
  kill_window_timers(h);
  c.hot_keys.erase(std::remove_if(c.hot_keys.begin(), c.hot_keys.end(),
                                  [&](const HotKey& k) { return k.hwnd == h; }),
                   c.hot_keys.end());
  if (w->parent != nullptr) {
    auto& sib = w->parent->children;
    sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
  } else {
    auto& tl = c.top_levels;
    tl.erase(std::remove(tl.begin(), tl.end(), w), tl.end());
  }
  for (WindowData* t : c.top_levels)
    if (t->owner == w) t->owner = nullptr;
  call_window(w, wm::nc_destroy, 0, 0);
  if (w->menu) destroy_menu(w->menu);
  Window* object = w->object;
  w->object = nullptr;
  w->outer = nullptr;
  release_handle(w);
  if (object != nullptr && object->hwnd() == h) WindowAccess::unbind(object);
  // A top-level window went: give activation back to its owner or the next one.
  if (!c.active) {
    for (WindowData* t : c.top_levels) {
      if ((t->style & ws::visible) && !(t->style & ws::disabled) && !(t->ex_style & ws_ex::topmost) &&
          t->handle != c.desktop) {
        activate(t, false);
        break;
      }
    }
  }
}

void show_impl(WindowData* w, int command) {
  Core& c = *g_core;
  Hwnd h = w->handle;
  bool was = (w->style & ws::visible) != 0;
  if (command == sw::hide) {
    if (!was) return;
    call_window(w, wm::show_window, 0, 0);
    w = lookup(h);
    if (w == nullptr) return;
    bool chain = visible_chain(w);
    w->style &= ~ws::visible;
    if (chain) expose_screen(screen_rect(w));
    if (w->parent == nullptr && c.active == h) {
      c.active = Hwnd{};
      call_window(w, wm::activate, wa::inactive, 0);
      for (WindowData* t : c.top_levels) {
        if (t != w && (t->style & ws::visible) && !(t->style & ws::disabled) &&
            !(t->ex_style & ws_ex::topmost) && t->handle != c.desktop) {
          activate(t, false);
          break;
        }
      }
    }
    return;
  }
  if (!was) {
    call_window(w, wm::show_window, 1, 0);
    w = lookup(h);
    if (w == nullptr) return;
    w->style |= ws::visible;
    w->nc_dirty = true;
    invalidate_all(w, true);
  }
  if (w->parent == nullptr && command != sw::show_na && command != sw::show_no_activate &&
      !(w->ex_style & ws_ex::topmost) && h != c.desktop) {
    activate(w, false);
  }
}

void move_window_impl(WindowData* w, RECT r, bool repaint) {
  Hwnd h = w->handle;
  RECT old = w->rect;
  bool vis = visible_chain(w);
  RECT old_screen = screen_rect(w);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  if (rects_equal(old, r)) return;
  RECT old_client = client_rect_in_window(w);
  w->rect = r;
  if (vis) {
    expose_screen(old_screen);
    if (repaint) {
      w->nc_dirty = true;
      invalidate_all(w, true);
    }
  }
  if (old.left != r.left || old.top != r.top) {
    RECT cl = client_rect_in_window(w);
    call_window(w, wm::move, 0, make_lparam(r.left + cl.left, r.top + cl.top));
    w = lookup(h);
    if (w == nullptr) return;
  }
  RECT cl = client_rect_in_window(w);
  if (width_of(cl) != width_of(old_client) || height_of(cl) != height_of(old_client)) {
    call_window(w, wm::size, 0, make_lparam(width_of(cl), height_of(cl)));
  }
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

// --- Window -----------------------------------------------------------------------------------
Window::Window() = default;

Window::~Window() {
  if (hwnd_ && is_ui_thread()) {
    WindowData* w = lookup(hwnd_);
    if (w != nullptr && w->object == this) detail::destroy(w);
  }
}

bool Window::create(const CreateParams& params) {
  return on_ui([&] {
    if (hwnd_ && lookup(hwnd_) != nullptr) {
      set_last_error(platform::error::already_exists);
      return false;
    }
    bool failed = true;
    create_window_data(params, this, nullptr, failed);
    return !failed;
  });
}

bool Window::attach(Hwnd h) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    previous_ = set_window_procedure(h, [this](Hwnd, UINT m, WPARAM a, LPARAM b) {
      return window_proc(m, a, b);
    });
    hwnd_ = h;
    w->object = this;
    return true;
  });
}

bool Window::destroy() { return destroy_window(hwnd_); }

Window* Window::from_handle(Hwnd h) {
  WindowData* w = lookup(h);
  return w ? w->object : nullptr;
}

LRESULT Window::send(UINT msg, WPARAM wparam, LPARAM lparam) {
  return send_message(hwnd_, msg, wparam, lparam);
}
bool Window::post(UINT msg, WPARAM wparam, LPARAM lparam) {
  return post_message(hwnd_, msg, wparam, lparam);
}
Hwnd Window::item(int id) const { return get_dlg_item(hwnd_, id); }
RECT Window::client_rect() const { return get_client_rect(hwnd_); }

LRESULT Window::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  return default_proc(msg, wparam, lparam);
}

bool Window::pre_translate_message(Message&) { return false; }
bool Window::route_command(UINT, UINT) { return false; }

LRESULT Window::default_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (previous_) return previous_(hwnd_, msg, wparam, lparam);
  return call_class(lookup(hwnd_), msg, wparam, lparam);
}

// --- Free functions ---------------------------------------------------------------------------
Hwnd create_window(const CreateParams& params) {
  return on_ui([&] {
    bool failed = true;
    WindowData* w = create_window_data(params, nullptr, nullptr, failed);
    return failed || w == nullptr ? Hwnd{} : w->handle;
  });
}

bool destroy_window(Hwnd h) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    destroy(w);
    return true;
  });
}

bool is_window(Hwnd h) {
  if (is_ui_thread()) return lookup(h) != nullptr;
  std::lock_guard lock(g_session_mutex);
  return valid_any_thread(h);
}

LRESULT send_message(Hwnd h, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (is_ui_thread()) {
    WindowData* w = must(h);
    if (w == nullptr) return 0;
    return call_window(w, msg, wparam, lparam);
  }
  return on_ui([&]() -> LRESULT {
    WindowData* w = must(h);
    return w ? call_window(w, msg, wparam, lparam) : 0;
  });
}

LRESULT send_notify(Hwnd parent, NotifyHeader& header) {
  return send_message(parent, wm::notify, header.id_from, reinterpret_cast<LPARAM>(&header));
}

bool route_command(Hwnd target, UINT id, UINT code) {
  WindowData* w = lookup(target);
  return w != nullptr && w->object != nullptr && w->object->route_command(id, code);
}

LRESULT def_window_proc(Hwnd h, UINT msg, WPARAM wparam, LPARAM lparam) {
  WindowData* w = lookup(h);
  return w ? def_proc(*w, msg, wparam, lparam) : 0;
}

WindowProcedure set_window_procedure(Hwnd h, WindowProcedure proc) {
  WindowData* w = must(h);
  if (w == nullptr) return nullptr;
  WindowProcedure prev = w->outer;
  if (!prev) {
    Window* obj = w->object;
    prev = [h, obj](Hwnd, UINT m, WPARAM a, LPARAM b) -> LRESULT {
      WindowData* d = lookup(h);
      if (d == nullptr) return 0;
      return obj != nullptr ? obj->window_proc(m, a, b) : call_class(d, m, a, b);
    };
  }
  w->outer = std::move(proc);
  return prev;
}

POINT get_message_pos() { return g_core ? g_core->current.pt : POINT{}; }
DWORD get_message_time() { return g_core ? g_core->current.time : 0; }

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
    call_window(w, wm::set_text, 0, reinterpret_cast<LPARAM>(copy.c_str()));
    return true;
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
    move_window_impl(w, RECT{x, y, x + width, y + height}, repaint);
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
    if (!(flags & swp::no_move)) r = offset_rect(r, x - r.left, y - r.top);
    if (!(flags & swp::no_size)) {
      r.right = r.left + cx;
      r.bottom = r.top + cy;
    }
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
