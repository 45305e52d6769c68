// Invalid regions, visible regions and the painting of windows.
#include <algorithm>

#include "core.h"
#include "ui/controls.h"
#include "ui/recording_canvas.h"

namespace kelda::ui::detail {

void invalidate(WindowData* w, const RECT* client_rect, bool erase) {
  if (w == nullptr) return;
  RECT c = client_rect_in_window(w);
  RECT whole{0, 0, width_of(c), height_of(c)};
  RECT r = client_rect ? intersect_rects(*client_rect, whole) : whole;
  if (!is_rect_empty(r)) w->update.add(r);
  if (erase) w->erase = true;
}

void invalidate_all(WindowData* w, bool erase) {
  if (w == nullptr) return;
  w->nc_dirty = true;
  invalidate(w, nullptr, erase);
  for (WindowData* c : w->children) invalidate_all(c, erase);
}

namespace {
// A group box covers only its frame: what lies inside it shows.
bool frame_only(const WindowData* s) {
  return equal_ignore_case(s->class_name, class_name::button) && (s->style & bs::type_mask) == bs::group_box;
}

void expose_in(WindowData* w, const RECT& r) {
  if (!(w->style & ws::visible)) return;
  RECT s = screen_rect(w);
  if (is_rect_empty(intersect_rects(s, r))) return;
  RECT cs = client_screen_rect(w);
  RECT ci = intersect_rects(cs, r);
  if (!rects_equal(intersect_rects(s, r), ci)) w->nc_dirty = true;
  if (!is_rect_empty(ci)) {
    w->update.add(offset_rect(ci, -cs.left, -cs.top));
    w->erase = true;
  }
  for (WindowData* c : w->children) expose_in(c, r);
}
}  // namespace

void expose_screen(const RECT& r) {
  for (WindowData* t : g_core->top_levels) expose_in(t, r);
}

Region visible_region(const WindowData* w, bool client) {
  Region r(client ? client_screen_rect(w) : screen_rect(w));
  for (const WindowData* p = w->parent; p != nullptr; p = p->parent) r.intersect(client_screen_rect(p));
  for (const WindowData* cur = w; cur != nullptr && !r.empty(); cur = cur->parent) {
    const auto& list = cur->parent ? cur->parent->children : g_core->top_levels;
    for (const WindowData* s : list) {
      if (s == cur) break;
      if ((s->style & ws::visible) && !frame_only(s)) r.subtract(screen_rect(s));
    }
  }
  if (client) {
    for (const WindowData* c : w->children)
      if ((c->style & ws::visible) && !frame_only(c)) r.subtract(screen_rect(c));
  } else {
    // The non-client canvas leaves the client area to the paint.
    r.subtract(client_screen_rect(w));
  }
  return r;
}

std::unique_ptr<Canvas> open_screen_canvas(const WindowData* w, bool client, const Region* limit) {
  Core& c = *g_core;
  RECT base = client ? client_screen_rect(w) : screen_rect(w);
  Region clip = visible_region(w, client);
  if (limit != nullptr) {
    Region l = *limit;
    l.offset(base.left, base.top);
    clip.intersect(l);
  }
  std::unique_ptr<Canvas> canvas;
  if (c.paint_capture) {
    // Tests see client coordinates: the canvas' device space is the window.
    canvas = std::make_unique<RecordingCanvas>(c.paint_capture, width_of(base), height_of(base));
    clip.offset(-base.left, -base.top);
    canvas->set_device_bounds(RECT{0, 0, width_of(base), height_of(base)});
    canvas->set_origin(POINT{0, 0});
  } else {
    canvas = c.backend->screen_canvas();
    canvas->set_origin(POINT{base.left, base.top});
  }
  canvas->set_device_clip(clip);
  return canvas;
}

void present(const RECT& r) {
  if (g_core != nullptr && !g_core->paint_capture) g_core->backend->present(r);
}

void paint_window(WindowData* w) {
  Hwnd h = w->handle;
  if (w->nc_dirty) {
    w->nc_dirty = false;
    paint_nonclient(w);
  }
  if (w->update.empty()) return;
  call_window(w, wm::paint, 0, 0);
  w = lookup(h);
  if (w != nullptr && !w->update.empty()) {
    // A handler that neither painted nor passed the message on: validate.
    w->update.clear();
    w->erase = false;
  }
}

namespace {
bool needs_paint(const WindowData* w) { return w->nc_dirty || !w->update.empty(); }

WindowData* find_pending(WindowData* w) {
  if (!(w->style & ws::visible) || w->redraw_off) return nullptr;
  if (needs_paint(w)) return w;
  for (WindowData* c : w->children)
    if (WindowData* f = find_pending(c)) return f;
  return nullptr;
}
}  // namespace

bool paint_pending() {
  Core& c = *g_core;
  bool painted = false;
  // Bottom of the z-order first, parents before children; at most a bounded
  // number of paints per turn so posted messages are not starved.
  for (int round = 0; round < 256; ++round) {
    WindowData* found = nullptr;
    for (auto it = c.top_levels.rbegin(); it != c.top_levels.rend() && found == nullptr; ++it)
      found = find_pending(*it);
    if (found == nullptr) break;
    // Never paint a window whose ancestors still have pending erases above it.
    paint_window(found);
    painted = true;
  }
  return painted;
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

bool invalidate_rect(Hwnd h, const RECT* rect, bool erase) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    invalidate(w, rect, erase);
    return true;
  });
}

bool validate_rect(Hwnd h, const RECT* rect) {
  WindowData* w = must(h);
  if (w == nullptr) return false;
  if (rect == nullptr) {
    w->update.clear();
    w->erase = false;
  } else {
    w->update.subtract(*rect);
  }
  return true;
}

bool update_window(Hwnd h) {
  return on_ui([&] {
    WindowData* w = must(h);
    if (w == nullptr) return false;
    if (visible_chain(w) && !w->redraw_off) {
      paint_window(w);
      // Children too, as the platform does for windows painted at once.
      std::vector<Hwnd> kids;
      for (WindowData* c : w->children) kids.push_back(c->handle);
      for (Hwnd k : kids) {
        WindowData* c = lookup(k);
        if (c != nullptr && (c->style & ws::visible) && needs_paint(c)) update_window(k);
      }
    }
    return true;
  });
}

bool get_update_rect(Hwnd h, RECT* rect) {
  WindowData* w = lookup(h);
  if (w == nullptr || w->update.empty()) {
    if (rect) *rect = RECT{};
    return false;
  }
  if (rect) *rect = w->update.bounds();
  return true;
}

PaintSession::PaintSession(Hwnd hwnd) : hwnd_(hwnd) {
  WindowData* w = lookup(hwnd);
  if (w == nullptr) {
    canvas_ = std::make_unique<RecordingCanvas>(0, 0);
    return;
  }
  Region limit = w->update;
  paint_rect_ = limit.bounds();
  erase_ = w->erase;
  w->update.clear();
  w->erase = false;
  canvas_ = open_screen_canvas(w, true, &limit);
  canvas_->select_font(&window_font(*w));
  if (erase_) {
    LRESULT done = call_window(w, wm::erase_background, reinterpret_cast<WPARAM>(canvas_.get()), 0);
    erase_ = done == 0;
  }
}

PaintSession::~PaintSession() {
  if (canvas_) canvas_->flush();
}

std::unique_ptr<Canvas> get_dc(Hwnd h) {
  WindowData* w = must(h);
  if (w == nullptr) return nullptr;
  auto c = open_screen_canvas(w, true, nullptr);
  c->select_font(&window_font(*w));
  return c;
}

std::unique_ptr<Canvas> get_window_dc(Hwnd h) {
  WindowData* w = must(h);
  if (w == nullptr) return nullptr;
  auto c = open_screen_canvas(w, false, nullptr);
  // The whole window, client area included.
  Region r = visible_region(w, false);
  r.add(visible_region(w, true));
  c->set_device_clip(r);
  return c;
}

}  // namespace kelda::ui
