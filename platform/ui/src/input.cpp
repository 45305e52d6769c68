// Input routing (stylus and keys), focus, activation, capture, hot keys,
// double taps, the tap-and-hold gesture, and timers.
#include <algorithm>
#include <cstdlib>

#include "core.h"
#include "platform/last_error.h"
#include "ui/controls.h"

namespace kelda::ui::detail {

namespace {
constexpr uint64_t kDoubleClickMs = 500;
constexpr uint64_t kHoldMs = 500;
constexpr uint64_t kLongHoldMs = 1000;

// Statics without ss::notify and group boxes let taps through to their parent.
bool transparent_to_stylus(const WindowData* w) {
  if (w->parent == nullptr) return false;
  if (equal_ignore_case(w->class_name, class_name::static_)) return !(w->style & ss::notify);
  return equal_ignore_case(w->class_name, class_name::button) && (w->style & bs::type_mask) == bs::group_box;
}

WindowData* hit(WindowData* w, POINT screen) {
  if (!(w->style & ws::visible) || transparent_to_stylus(w)) return nullptr;
  if (!point_in_rect(screen_rect(w), screen)) return nullptr;
  if (point_in_rect(client_screen_rect(w), screen)) {
    for (WindowData* c : w->children)
      if (WindowData* d = hit(c, screen)) return d;
  }
  return w;
}

WindowData* hit_any(POINT screen) {
  for (WindowData* t : g_core->top_levels)
    if (WindowData* d = hit(t, screen)) return d;
  return nullptr;
}

void deliver(Message m) {
  Core& c = *g_core;
  Message saved = c.current;
  c.current = m;
  if (!pre_dispatch(m)) {
    if (WindowData* w = lookup(m.hwnd)) call_window(w, m.message, m.wparam, m.lparam);
  }
  c.current = saved;
}
}  // namespace

void set_focus_impl(WindowData* w) {
  Core& c = *g_core;
  Hwnd old = c.focus;
  Hwnd nw = w ? w->handle : Hwnd{};
  if (old == nw) return;
  if (w != nullptr) {
    WindowData* top = top_level_of(w);
    if (c.active != top->handle) activate(top, false);
    if (lookup(nw) == nullptr) return;
    if (c.focus == nw) return;
    old = c.focus;
    top->last_focus = nw;
  }
  c.focus = nw;
  if (WindowData* o = lookup(old)) call_window(o, wm::kill_focus, nw.to_wparam(), 0);
  if (c.focus == nw) {
    if (WindowData* n = lookup(nw)) call_window(n, wm::set_focus, old.to_wparam(), 0);
  }
}

void activate(WindowData* top, bool by_click) {
  Core& c = *g_core;
  if (top == nullptr) return;
  Hwnd h = top->handle;
  // Raise it (and the windows it owns stay above it).
  auto& list = c.top_levels;
  if (!list.empty() && !(top->ex_style & ws_ex::topmost) && h != c.desktop) {
    auto first_normal = std::find_if(list.begin(), list.end(),
                                     [](WindowData* t) { return !(t->ex_style & ws_ex::topmost); });
    if (first_normal != list.end() && *first_normal != top) {
      insert_top_level(top);
      // Owned windows go above their owner again.
      std::vector<WindowData*> owned;
      for (WindowData* t : list)
        if (t->owner == top) owned.push_back(t);
      for (auto it = owned.rbegin(); it != owned.rend(); ++it) insert_top_level(*it);
      if (top->style & ws::visible) invalidate_all(top, true);
      for (WindowData* o : owned)
        if (o->style & ws::visible) invalidate_all(o, true);
    }
  }
  if (c.active == h) return;
  Hwnd old = c.active;
  c.active = h;
  if (WindowData* o = lookup(old)) {
    o->nc_dirty = true;
    call_window(o, wm::activate, wa::inactive, h.to_lparam());
  }
  if (WindowData* t = lookup(h)) {
    t->nc_dirty = true;
    call_window(t, wm::activate, by_click ? wa::click_active : wa::active, old.to_lparam());
  }
  if (WindowData* bar = lookup(c.task_bar)) invalidate(bar, nullptr, true);
}

WPARAM keys_held(WPARAM keys) {
  for (UINT k : g_core->keys_down) {
    if (k == vk::shift) keys |= mk::shift;
    if (k == vk::control) keys |= mk::control;
  }
  return keys;
}

// The wheel turns for the focus window (the window under the point when
// nothing has the focus), unless a modal dialog disables it.
void route_wheel(const MouseInput& in) {
  Core& c = *g_core;
  WindowData* target = lookup(c.focus);
  if (target == nullptr) target = hit_any(in.screen);
  if (target == nullptr || !enabled_chain(target)) return;
  if (top_level_of(target)->style & ws::disabled) return;
  WPARAM keys = keys_held(in.keys | (c.stylus_down ? mk::lbutton : 0));
  const int delta = std::clamp(in.delta, -32768, 32767);
  deliver(Message{target->handle, wm::mouse_wheel, make_wparam(static_cast<int>(keys), delta),
                  pack_point(in.screen), static_cast<DWORD>(in.time_ms), in.screen});
}

void route_mouse(const MouseInput& in) {
  Core& c = *g_core;
  if (in.kind == MouseInput::Kind::wheel) return route_wheel(in);
  c.cursor = in.screen;
  UINT msg = in.kind == MouseInput::Kind::down ? wm::lbutton_down
             : in.kind == MouseInput::Kind::up ? wm::lbutton_up
                                               : wm::mouse_move;
  if (in.kind == MouseInput::Kind::down) c.stylus_down = true;
  if (in.kind == MouseInput::Kind::up) c.stylus_down = false;

  WindowData* target = nullptr;
  if (c.capture) {
    target = lookup(c.capture);
    if (target == nullptr) c.capture = Hwnd{};
  }
  if (target != nullptr && (target->vbar.pressed_part || target->hbar.pressed_part)) {
    nc_mouse(target, msg, in.screen);
    return;
  }
  if (target == nullptr) {
    target = hit_any(in.screen);
    if (target == nullptr) return;
    if (in.kind == MouseInput::Kind::down) {
      WindowData* top = top_level_of(target);
      if (top->style & ws::disabled) return;  // under a modal dialog
      if (!(top->ex_style & ws_ex::topmost) && c.active != top->handle && top->handle != c.desktop) {
        Hwnd th = target->handle;
        activate(top, true);
        target = lookup(th);
        if (target == nullptr) return;
      }
    }
    if (!enabled_chain(target)) return;
    if (msg != wm::mouse_move && nc_mouse(target, msg, in.screen)) return;
  }
  POINT client = screen_to_client(target->handle, in.screen);
  WPARAM keys = keys_held(in.keys | (c.stylus_down ? mk::lbutton : 0));
  if (in.kind == MouseInput::Kind::down) {
    bool dbl = (target->class_style & cs::dblclks) && target->handle == c.last_down_hwnd &&
               !c.last_was_dblclk && in.time_ms - c.last_down_time <= kDoubleClickMs &&
               std::abs(in.screen.x - c.last_down_pt.x) <= get_system_metrics(sm::cx_double_click) / 2 &&
               std::abs(in.screen.y - c.last_down_pt.y) <= get_system_metrics(sm::cy_double_click) / 2;
    if (dbl) msg = wm::lbutton_dblclk;
    c.last_was_dblclk = dbl;
    c.last_down_hwnd = target->handle;
    c.last_down_time = in.time_ms;
    c.last_down_pt = in.screen;
  }
  deliver(Message{target->handle, msg, keys, pack_point(client), static_cast<DWORD>(in.time_ms), in.screen});
}

void route_key(const KeyInput& in) {
  Core& c = *g_core;
  auto& keys = c.keys_down;
  if (in.down) {
    if (std::find(keys.begin(), keys.end(), in.vk) == keys.end()) keys.push_back(in.vk);
  } else {
    keys.erase(std::remove(keys.begin(), keys.end(), in.vk), keys.end());
  }
  UINT mods = (in.shift ? mod::shift : 0) | (in.control ? mod::control : 0) | (in.alt ? mod::alt : 0);
  auto post_hot_key = [](const HotKey& k, UINT m) {
    post_message(k.hwnd, wm::hot_key, static_cast<WPARAM>(k.id), make_lparam(static_cast<int>(m), static_cast<int>(k.key)));
  };
  if (!in.down) {
    // The release of a key pressed as a hot key belongs to that hot key even
    // when its modifiers were let go first.
    auto& down = c.hot_keys_down;
    auto it = std::find_if(down.begin(), down.end(), [&](const HotKey& k) { return k.key == in.vk; });
    if (it != down.end()) {
      HotKey k = *it;
      down.erase(it);
      if (k.modifiers & mod::keyup) post_hot_key(k, k.modifiers);  // modifiers | mod::keyup
      return;  // a plain hot key's release is swallowed
    }
  }
  for (const HotKey& k : c.hot_keys) {
    if (k.key != in.vk || (k.modifiers & ~mod::keyup) != mods) continue;
    if (!in.down && !(k.modifiers & mod::keyup)) return;  // a plain hot key's release is swallowed
    if (in.down) {
      auto& down = c.hot_keys_down;
      if (std::none_of(down.begin(), down.end(), [&](const HotKey& d) { return d.key == k.key; })) down.push_back(k);
    }
    post_hot_key(k, mods | (in.down ? 0 : mod::keyup));
    return;
  }
  WindowData* target = lookup(c.focus);
  if (target == nullptr) target = lookup(c.active);
  if (target == nullptr) return;
  UINT msg = in.alt ? (in.down ? wm::sys_key_down : wm::sys_key_up) : (in.down ? wm::key_down : wm::key_up);
  LPARAM lp = 1 | (in.repeat ? (LPARAM{1} << 30) : 0) | (in.down ? 0 : static_cast<LPARAM>(0xC0000000u));
  Hwnd th = target->handle;
  Message m{th, msg, in.vk, lp, static_cast<DWORD>(in.time_ms), c.cursor};
  Message saved = c.current;
  c.current = m;
  bool consumed = pre_dispatch(m);
  if (!consumed) {
    if (WindowData* w = lookup(m.hwnd)) call_window(w, m.message, m.wparam, m.lparam);
  }
  c.current = saved;
  if (in.down && in.ch != 0 && !consumed && !in.alt) {
    deliver(Message{th, wm::character, in.ch, lp, static_cast<DWORD>(in.time_ms), c.cursor});
  }
}

// --- Timers ------------------------------------------------------------------------------------
uint64_t next_timer_due() {
  uint64_t due = UINT64_MAX;
  for (auto& [key, t] : g_core->timers) due = std::min(due, t.due);
  return due;
}

bool fire_due_timer() {
  Core& c = *g_core;
  uint64_t now = c.now();
  Timer* best = nullptr;
  for (auto& [key, t] : c.timers)
    if (t.due <= now && (best == nullptr || t.due < best->due)) best = &t;
  if (best == nullptr) return false;
  best->due = now + std::max<UINT>(best->interval, 1);
  Timer t = *best;
  if (t.proc != nullptr) {
    t.proc(t.hwnd, wm::timer, t.id, static_cast<DWORD>(now));
    return true;
  }
  if (!t.hwnd) {
    // A timer of no window comes as a thread message.
    Message m{Hwnd{}, wm::timer, t.id, 0, static_cast<DWORD>(now), c.cursor};
    Message saved = c.current;
    c.current = m;
    pre_dispatch(m);
    c.current = saved;
    return true;
  }
  WindowData* w = lookup(t.hwnd);
  if (w == nullptr) {
    c.timers.erase({t.hwnd.value(), t.id});
    return true;
  }
  deliver(Message{t.hwnd, wm::timer, t.id, 0, static_cast<DWORD>(now), c.cursor});
  return true;
}

void kill_window_timers(Hwnd h) {
  auto& timers = g_core->timers;
  for (auto it = timers.begin(); it != timers.end();) {
    if (it->second.hwnd == h) {
      it = timers.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

Hwnd window_from_point(POINT screen) {
  if (!g_core) return Hwnd{};
  WindowData* w = hit_any(screen);
  return w && enabled_chain(w) ? w->handle : Hwnd{};
}

Hwnd child_window_from_point(Hwnd parent, POINT client) {
  WindowData* p = lookup(parent);
  if (p == nullptr) return Hwnd{};
  for (WindowData* c : p->children)
    if ((c->style & ws::visible) && point_in_rect(c->rect, client)) return c->handle;
  return parent;
}

Hwnd set_focus(Hwnd h) {
  return on_ui([&] {
    Core& c = *g_core;
    Hwnd old = c.focus;
    if (!h) {
      set_focus_impl(nullptr);
      return old;
    }
    WindowData* w = must(h);
    if (w == nullptr || !enabled_chain(w)) return Hwnd{};
    set_focus_impl(w);
    return old;
  });
}

Hwnd get_focus() { return g_core ? g_core->focus : Hwnd{}; }

Hwnd set_active_window(Hwnd h) {
  return on_ui([&] {
    Hwnd old = g_core->active;
    WindowData* w = must(h);
    if (w == nullptr) return Hwnd{};
    activate(top_level_of(w), false);
    return old;
  });
}

Hwnd get_active_window() { return g_core ? g_core->active : Hwnd{}; }

bool set_foreground_window(Hwnd h) { return static_cast<bool>(set_active_window(h)) || get_active_window() == get_top_level(h); }

Hwnd set_capture(Hwnd h) {
  return on_ui([&] {
    Core& c = *g_core;
    Hwnd old = c.capture;
    if (lookup(h) == nullptr) return old;
    c.capture = h;
    if (old && old != h)
      if (WindowData* o = lookup(old)) call_window(o, wm::capture_changed, 0, h.to_lparam());
    return old;
  });
}

bool release_capture() {
  if (!g_core) return false;
  Core& c = *g_core;
  Hwnd old = c.capture;
  c.capture = Hwnd{};
  if (old)
    if (WindowData* o = lookup(old)) call_window(o, wm::capture_changed, 0, 0);
  return true;
}

Hwnd get_capture() { return g_core ? g_core->capture : Hwnd{}; }

uintptr_t set_timer(Hwnd h, uintptr_t id, UINT ms, TimerProc proc) {
  return on_ui([&]() -> uintptr_t {
    Core& c = *g_core;
    if (h && lookup(h) == nullptr) {
      set_last_error(platform::error::invalid_handle);
      return 0;
    }
    if (h && id == 0) {
      // 0 is the failure answer, so a window's timer 0 could never be told
      // apart from a refusal (nor killed by the id answered).
      set_last_error(platform::error::invalid_parameter);
      return 0;
    }
    if (!h) id = c.next_free_timer_id++;
    Timer t{h, id, ms, c.now() + std::max<UINT>(ms, 1), proc};
    c.timers[{h.value(), id}] = t;
    c.wake_event.set();
    c.backend->wake();
    return id;
  });
}

bool kill_timer(Hwnd h, uintptr_t id) {
  return on_ui([&] { return g_core->timers.erase({h.value(), id}) > 0; });
}

bool register_hot_key(Hwnd h, int id, UINT modifiers, UINT key) {
  return on_ui([&] {
    Core& c = *g_core;
    if (must(h) == nullptr) return false;
    for (const HotKey& k : c.hot_keys) {
      if (k.key == key && (k.modifiers & ~mod::keyup) == (modifiers & ~mod::keyup)) {
        set_last_error(1409);  // the hot key is registered already
        return false;
      }
    }
    c.hot_keys.push_back(HotKey{h, id, modifiers, key});
    return true;
  });
}

bool unregister_hot_key(Hwnd h, int id) {
  return on_ui([&] {
    auto gone = [&](const HotKey& x) { return x.hwnd == h && x.id == id; };
    auto& down = g_core->hot_keys_down;
    down.erase(std::remove_if(down.begin(), down.end(), gone), down.end());
    auto& k = g_core->hot_keys;
    auto it = std::remove_if(k.begin(), k.end(), gone);
    bool found = it != k.end();
    k.erase(it, k.end());
    return found;
  });
}

void message_beep(UINT) {
  if (g_core) ++g_core->beeps;
}
int beep_count() { return g_core ? g_core->beeps : 0; }
POINT get_cursor_pos() { return g_core ? g_core->cursor : POINT{}; }

UINT recognize_gesture(Hwnd hwnd, POINT client, UINT flags) {
  if (!is_ui_thread()) return 0;
  Core& c = *g_core;
  if (!c.stylus_down || lookup(hwnd) == nullptr) return 0;
  const uint64_t start = c.current.time != 0 ? c.current.time : c.now();
  const uint64_t hold = (flags & shrg::long_delay) ? kLongHoldMs : kHoldMs;
  const int slack = scaled(5);
  POINT origin = client_to_screen(hwnd, client);
  bool held = false;
  while (true) {
    bool decided = false;
    for (const InputItem& in : c.input) {
      if (!in.is_mouse) continue;
      const MouseInput& m = in.mouse;
      bool far = std::abs(m.screen.x - origin.x) > slack || std::abs(m.screen.y - origin.y) > slack;
      if (m.kind == MouseInput::Kind::up || m.kind == MouseInput::Kind::down ||
          (m.kind == MouseInput::Kind::move && far)) {
        held = m.time_ms >= start + hold;
        decided = true;
        break;
      }
    }
    if (decided) break;
    if (c.now() >= start + hold) {
      held = true;
      break;
    }
    if (c.backend->manual_clock()) break;  // time cannot pass: not a hold
    c.backend->wait(start + hold);
    c.backend->process_events();
  }
  if (!held) return 0;
  if (flags & shrg::return_cmd) return gn::context_menu;
  WindowData* w = lookup(hwnd);
  if (w == nullptr) return 0;
  if ((flags & shrg::notify_parent) && w->parent != nullptr) {
    GestureNotify n;
    n.hdr.from = hwnd;
    n.hdr.id_from = w->id;
    n.hdr.code = gn::context_menu;
    n.action = origin;
    call_window(w->parent, wm::notify, w->id, reinterpret_cast<LPARAM>(&n));
    return gn::context_menu;
  }
  call_window(w, wm::context_menu, hwnd.to_wparam(), pack_point(origin));
  return gn::context_menu;
}

}  // namespace kelda::ui
