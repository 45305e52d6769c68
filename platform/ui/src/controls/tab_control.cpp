// The tab control: a band of tabs, one chosen, with a notification before
// and after the user changes the chosen tab.
#include <algorithm>

#include "controls_internal.h"

namespace kelda::ui::detail {
namespace {

class TabBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    const auto idx = static_cast<int>(wp);
    switch (msg) {
      case wm::paint: paint(w); return 0;
      case wm::erase_background: return 1;
      case tcm::insert_item: return insert_item(w, idx, reinterpret_cast<const TabItem*>(lp));
      case tcm::delete_item: return delete_item(w, idx);
      case tcm::delete_all_items: return delete_all_items(w);
      case tcm::get_item_count: return count();
      case tcm::get_cur_sel: return cur_;
      case tcm::set_cur_sel: return set_cur_sel(w, idx);
      case tcm::get_item_rect: return get_item_rect(w, idx, reinterpret_cast<RECT*>(lp));
      case tcm::adjust_rect: return adjust_rect(w, wp != 0, reinterpret_cast<RECT*>(lp));
      case wm::lbutton_down: return on_tap(w, POINT{x_of(lp), y_of(lp)});
      case wm::key_down: return on_key(w, static_cast<UINT>(wp));
      case wm::set_focus: invalidate(&w, nullptr, false); return 0;
      case wm::kill_focus: invalidate(&w, nullptr, false); return 0;
      case wm::get_dialog_code: return dlgc::want_arrows;
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  int count() const { return static_cast<int>(items_.size()); }
  bool valid(int i) const { return i >= 0 && i < count(); }

  LRESULT insert_item(WindowData& w, int index, const TabItem* it) {
    if (it == nullptr) return -1;
    const int n = count();
    const int at = std::clamp(index, 0, n);
    items_.insert(items_.begin() + at, Item{it->text ? it->text : u"", it->param});
    if (cur_ < 0) cur_ = 0;
    else if (cur_ >= at && n > 0) ++cur_;
    invalidate(&w, nullptr, true);
    return at;
  }

  LRESULT delete_item(WindowData& w, int index) {
    if (!valid(index)) return 0;
    items_.erase(items_.begin() + index);
    if (index < cur_) --cur_;  // the chosen tab moved down by one
    if (cur_ >= count()) cur_ = count() - 1;
    invalidate(&w, nullptr, true);
    return 1;
  }

  LRESULT delete_all_items(WindowData& w) {
    items_.clear();
    cur_ = -1;
    invalidate(&w, nullptr, true);
    return 1;
  }

  LRESULT set_cur_sel(WindowData& w, int index) {
    const int old = cur_;
    if (!valid(index)) return -1;
    cur_ = index;
    invalidate(&w, nullptr, true);
    return old;
  }

  LRESULT get_item_rect(WindowData& w, int index, RECT* out) {
    if (!valid(index) || out == nullptr) return 0;
    *out = tab_rect(w, index);
    return 1;
  }

  // The display area from the window's rectangle (or, `larger`, back).
  LRESULT adjust_rect(WindowData& w, bool larger, RECT* r) {
    if (r == nullptr) return 0;
    const int band = band_height(w);
    if (larger) {
      r->top -= band;
      *r = inflate_rect(*r, 2, 2);
    } else {
      r->top += band;
      *r = inflate_rect(*r, -2, -2);
    }
    return 0;
  }

  LRESULT on_tap(WindowData& w, POINT p) {
    for (int i = 0; i < count(); ++i) {
      if (point_in_rect(tab_rect(w, i), p)) {
        select_by_user(w, i);
        break;
      }
    }
    return 0;
  }

  LRESULT on_key(WindowData& w, UINT key) {
    if ((key == vk::left || key == vk::right) && count() > 0) {
      const int to = std::clamp(cur_ + (key == vk::right ? 1 : -1), 0, count() - 1);
      if (to != cur_) select_by_user(w, to);
    }
    return 0;
  }

  struct Item {
    std::u16string text;
    LPARAM param = 0;
  };

  int band_height(WindowData& w) { return font_engine().metrics(window_font(w)).height + scaled(6); }

  RECT tab_rect(WindowData& w, int index) {
    FontEngine& e = font_engine();
    int x = 2;
    for (int i = 0; i < index; ++i) x += e.text_width(window_font(w), items_[static_cast<size_t>(i)].text) + scaled(12);
    int width = e.text_width(window_font(w), items_[static_cast<size_t>(index)].text) + scaled(12);
    return RECT{x, 0, x + width, band_height(w)};
  }

  void select_by_user(WindowData& w, int index) {
    if (index == cur_) return;
    const AliveGuard guard(w);
    set_focus(guard.handle());
    WindowData* d = guard.alive();
    if (d == nullptr) return;
    NotifyHeader n;
    n.code = tcn::sel_changing;
    if (notify_parent(*d, n) != 0) return;  // the parent keeps the page
    if ((d = guard.alive()) == nullptr) return;
    cur_ = index;
    invalidate(d, nullptr, true);
    NotifyHeader c;
    c.code = tcn::sel_change;
    notify_parent(*d, c);
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    const Brush* bg = prepare_colors(w, wm::ctl_color_dialog, c);
    c.fill_rect(r, *bg);
    int band = band_height(w);
    c.draw_edge(RECT{0, band - 2, r.right, r.bottom}, bdr::raised, bf::rect);
    c.set_bk_mode(bk::transparent);
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
      RECT t = tab_rect(w, i);
      bool sel = i == cur_;
      if (!sel) t.top += 2;
      c.fill_rect(RECT{t.left, t.top, t.right, t.bottom}, *bg);
      c.draw_edge(t, bdr::raised, bf::left | bf::top | bf::right);
      c.draw_text(items_[static_cast<size_t>(i)].text, t, dt::center | dt::vcenter | dt::single_line);
      if (sel && g_core->focus == w.handle) draw_focus_rect(c, inflate_rect(t, -3, -3));
    }
  }

  std::vector<Item> items_;
  int cur_ = -1;
};

}  // namespace

void register_tab_control_class() {
  register_behavior_class<TabBehavior>(class_name::tab_control);
}

}  // namespace kelda::ui::detail
