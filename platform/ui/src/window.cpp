// Window creation, destruction, the tree, attributes and geometry.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

RECT client_area(const WindowData* w) {
  RECT cl = client_rect_in_window(w);
  return RECT{0, 0, width_of(cl), height_of(cl)};
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
  r = clamp_window_rect(r);
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
  for (auto* keys : {&c.hot_keys, &c.hot_keys_down}) {
    keys->erase(std::remove_if(keys->begin(), keys->end(), [&](const HotKey& k) { return k.hwnd == h; }),
                keys->end());
  }
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
  std::unique_ptr<WindowData> data = release_handle(w);
  if (object != nullptr && object->hwnd() == h) WindowAccess::unbind(object);
  // An object the layer owns (factory classes) goes with its window, after
  // it has been told that the handle is gone.
  data.reset();
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

RECT clamp_window_rect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  auto clamp = [](int64_t v) { return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit)); };
  RECT r{clamp(left), clamp(top), clamp(right), clamp(bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void destroy_for_object(const Window* object, Hwnd h) {
  if (!h) return;
  auto drop = [&] {
    WindowData* w = lookup(h);
    if (w != nullptr && w->object == object) destroy(w);
  };
  if (is_ui_thread()) {
    drop();
  } else {
    run_on_ui_thread(drop);
  }
}

void delete_window_object(std::unique_ptr<Window> object) {
  WindowData* w = lookup(object->hwnd());
  if (w != nullptr && w->object == object.get() && w->depth > 0 && !w->owned_object) {
    // A handler of the object is on the stack (a nested loop dispatched the
    // deletion): the window goes now, and the object with the window's data
    // once that handler has returned.
    w->owned_object = std::move(object);
    destroy(w);
    return;
  }
  object.reset();
}

namespace {
#ifndef NDEBUG
// True while the user-interface thread may still dispatch into windows: a
// session runs and has not begun to close (by then every window is gone).
bool session_dispatches() {
  std::lock_guard session(g_session_mutex);
  if (g_core == nullptr) return false;
  std::lock_guard lock(g_core->queue_mutex);
  return !g_core->closing;
}

#endif

void check_destroyed_on_ui_thread() {
#ifndef NDEBUG
  if (!is_ui_thread() && session_dispatches()) {
    std::fputs("kelda::ui: a Window object was destroyed on a thread other than the user-interface "
               "thread; hand it over with delete_on_ui_thread()\n",
               stderr);
    std::abort();
  }
#endif
}
}  // namespace

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
  r = clamp_window_rect(r);
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
  check_destroyed_on_ui_thread();
  destroy_for_object(this, hwnd_);
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

void delete_on_ui_thread(std::unique_ptr<Window> object) {
  if (!object) return;
  if (is_ui_thread()) {
    delete_window_object(std::move(object));
    return;
  }
  {
    std::lock_guard session(g_session_mutex);
    Core* c = g_core;
    if (c != nullptr) {
      {
        std::lock_guard lock(c->queue_mutex);
        if (!c->closing) {
          // Never refused for a full queue: the object must go somewhere.
          QueueItem q;
          q.kind = QueueItem::Kind::deletion;
          q.doomed = std::move(object);
          c->queue.push_back(std::move(q));
        }
      }
      if (!object) {
        c->wake_event.set();
        c->backend->wake();
        return;
      }
    }
  }
  // No session, or one that is closing with every window gone: nothing can
  // dispatch into the object any more.
  object.reset();
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

}  // namespace kelda::ui
