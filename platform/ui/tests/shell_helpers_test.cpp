// The tap-and-hold contract with both kinds of users, modifier keys of
// scripted taps and drags, the wheel, messages to every descendant, centring,
// the foreground window, window icons and cursors by module.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"

using namespace kelda::ui;

namespace {

using Box = std::array<int32_t, 4>;
Box box(RECT r) { return Box{r.left, r.top, r.right, r.bottom}; }

struct Seen {
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};

class Logger : public Window {
 public:
  std::vector<Seen> seen;
  std::vector<Seen> of(UINT msg) const {
    std::vector<Seen> out;
    for (const auto& s : seen)
      if (s.msg == msg) out.push_back(s);
    return out;
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    seen.push_back({msg, wp, lp});
    return default_proc(msg, wp, lp);
  }
  bool make(Hwnd parent, RECT r, UINT id = 0, DWORD style = 0) {
    CreateParams p;
    p.style = (parent ? ws::child : ws::popup) | ws::visible | style;
    p.rect = r;
    p.parent = parent;
    p.id = id;
    return create(p);
  }
};

// Stands for the chart window: asks for the hold without return_cmd and only
// consumes the press; its own context-menu handling cancels a stroke under
// way, otherwise the message goes on to the parent (the terminal's menu).
class ChartLike : public Logger {
 public:
  bool stroke = false;
  int cancelled = 0;
  std::vector<UINT> gestures;
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::lbutton_down) {
      seen.push_back({msg, wp, lp});
      UINT g = recognize_gesture(hwnd(), POINT{x_of(lp), y_of(lp)}, 0);
      gestures.push_back(g);
      if (g == gn::context_menu) return 0;
      stroke = (wp & mk::shift) != 0;  // Shift starts a stroke
      return 0;
    }
    if (msg == wm::context_menu && stroke) {
      seen.push_back({msg, wp, lp});
      stroke = false;
      ++cancelled;
      return 0;
    }
    return Logger::window_proc(msg, wp, lp);
  }
};

struct Parent : Logger {
  std::vector<GestureNotify> gestures;
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::notify && reinterpret_cast<NotifyHeader*>(lp)->code == gn::context_menu)
      gestures.push_back(*reinterpret_cast<GestureNotify*>(lp));
    return Logger::window_proc(msg, wp, lp);
  }
};

}  // namespace

TEST(TapAndHold, TheChartGetsTheContextMenuMessageAndTheListViewItsNotification) {
  HeadlessUi ui;
  Parent frame;
  ASSERT_TRUE(frame.make(Hwnd{}, RECT{0, 26, 240, 294}));
  ChartLike chart;
  ASSERT_TRUE(chart.make(frame.hwnd(), RECT{0, 0, 240, 120}, 1234));
  Hwnd lv = create_window(CreateParams{class_name::list_view, u"", ws::child | ws::visible | lvs::report, 0,
                                       RECT{0, 130, 240, 260}, frame.hwnd(), 101});
  ListViewControl l{lv};
  l.insert_column(0, u"Бумага", 100);
  l.insert_item(0, u"ГАЗПРОМ");
  l.insert_item(1, u"ЛУКОЙЛ");

  // A hold on the chart with no stroke: the menu message reaches the frame
  // with the screen point; the release still comes; nothing else happens.
  scripted::tap_and_hold_at(chart.hwnd(), POINT{50, 60});
  EXPECT_EQ(chart.gestures, std::vector<UINT>{gn::context_menu});
  ASSERT_EQ(frame.of(wm::context_menu).size(), 1u);
  const Seen menu = frame.of(wm::context_menu)[0];
  EXPECT_EQ(Hwnd::from_wparam(menu.wp), chart.hwnd());
  POINT screen = client_to_screen(chart.hwnd(), POINT{50, 60});
  EXPECT_EQ(x_of(menu.lp), screen.x);
  EXPECT_EQ(y_of(menu.lp), screen.y);
  EXPECT_EQ(chart.of(wm::lbutton_up).size(), 1u);

  // A stroke under way (begun with Shift) is cancelled by the hold, and the
  // frame sees no menu.
  scripted::tap_at(chart.hwnd(), POINT{20, 20}, mk::shift);
  ASSERT_TRUE(chart.stroke);
  scripted::tap_and_hold_at(chart.hwnd(), POINT{50, 60});
  EXPECT_EQ(chart.cancelled, 1);
  EXPECT_EQ(frame.of(wm::context_menu).size(), 1u);
  // A short press is no hold.
  scripted::tap_and_hold_at(chart.hwnd(), POINT{50, 60}, 300);
  EXPECT_EQ(chart.gestures.back(), 0u);

  // The list view asks with return_cmd: its parent gets the notification,
  // never the context-menu message.
  RECT row = l.item_rect(1);
  scripted::tap_and_hold_at(lv, POINT{20, (row.top + row.bottom) / 2});
  ASSERT_EQ(frame.gestures.size(), 1u);
  EXPECT_EQ(frame.gestures[0].item, 1);
  EXPECT_EQ(frame.gestures[0].hdr.id_from, 101u);
  EXPECT_EQ(frame.of(wm::context_menu).size(), 1u);
}

TEST(ScriptedInput, TapsAndDragsCarryShiftAndControl) {
  HeadlessUi ui;
  Logger w;
  ASSERT_TRUE(w.make(Hwnd{}, RECT{0, 26, 240, 294}));
  scripted::tap_at(w.hwnd(), POINT{10, 10}, mk::shift);
  scripted::drag(w.hwnd(), {POINT{10, 10}, POINT{40, 40}, POINT{60, 40}}, mk::control);
  scripted::tap_at(w.hwnd(), POINT{10, 10});
  std::vector<WPARAM> keys;
  for (const auto& s : w.seen)
    if (s.msg == wm::lbutton_down || s.msg == wm::mouse_move || s.msg == wm::lbutton_up)
      keys.push_back(s.wp & (mk::shift | mk::control));
  EXPECT_EQ(keys, (std::vector<WPARAM>{mk::shift, mk::shift, mk::control, mk::control, mk::control, mk::control, 0, 0}));
}

TEST(ScriptedInput, TheWheelTurnsForTheFocusWindowAndClimbsToItsParent) {
  HeadlessUi ui;
  Logger frame, child, other;
  ASSERT_TRUE(frame.make(Hwnd{}, RECT{0, 26, 240, 294}));
  ASSERT_TRUE(child.make(frame.hwnd(), RECT{0, 0, 120, 100}, 1));
  ASSERT_TRUE(other.make(frame.hwnd(), RECT{120, 0, 240, 100}, 2));
  set_focus(child.hwnd());
  // Over the other child, the focus window still gets it.
  scripted::wheel_at(other.hwnd(), POINT{10, 10}, -120, mk::control);
  ASSERT_EQ(child.of(wm::mouse_wheel).size(), 1u);
  EXPECT_TRUE(other.of(wm::mouse_wheel).empty());
  const Seen wheel = child.of(wm::mouse_wheel)[0];
  EXPECT_EQ(static_cast<int16_t>(hi_word(wheel.wp)), -120);
  EXPECT_EQ(lo_word(wheel.wp), mk::control);
  POINT screen = client_to_screen(other.hwnd(), POINT{10, 10});
  EXPECT_EQ(x_of(wheel.lp), screen.x);
  EXPECT_EQ(y_of(wheel.lp), screen.y);
  // Left to the default processing it climbs to the parent.
  ASSERT_EQ(frame.of(wm::mouse_wheel).size(), 1u);
  EXPECT_EQ(frame.of(wm::mouse_wheel)[0].wp, wheel.wp);
}

TEST(WindowTree, AMessageReachesEveryDescendantDepthFirst) {
  HeadlessUi ui;
  Logger frame, a, b, a1, a11;
  ASSERT_TRUE(frame.make(Hwnd{}, RECT{0, 26, 240, 294}));
  ASSERT_TRUE(a.make(frame.hwnd(), RECT{0, 0, 100, 100}, 1));
  ASSERT_TRUE(b.make(frame.hwnd(), RECT{100, 0, 200, 100}, 2));
  ASSERT_TRUE(a1.make(a.hwnd(), RECT{0, 0, 50, 50}, 3));
  ASSERT_TRUE(a11.make(a1.hwnd(), RECT{0, 0, 20, 20}, 4));
  for (Logger* l : {&frame, &a, &b, &a1, &a11}) l->seen.clear();
  auto reached = [&](Logger& l) { return l.of(wm::setting_change).size(); };
  EXPECT_EQ(send_message_to_descendants(frame.hwnd(), wm::setting_change, 0, 7), 4);
  EXPECT_EQ(reached(frame), 0u);
  for (Logger* l : {&a, &b, &a1, &a11}) {
    ASSERT_EQ(reached(*l), 1u);
    EXPECT_EQ(l->of(wm::setting_change)[0].lp, 7);
  }
  EXPECT_EQ(send_message_to_descendants(frame.hwnd(), wm::setting_change, 0, 0, false), 2);
  EXPECT_EQ(reached(a1), 1u);
  EXPECT_EQ(send_message_to_descendants(Hwnd{12345}, wm::setting_change), -1);
}

TEST(WindowTree, SendingToDescendantsSkipsWindowsDestroyedOnTheWay) {
  HeadlessUi ui;
  Logger frame;
  ASSERT_TRUE(frame.make(Hwnd{}, RECT{0, 26, 240, 294}));
  struct Killer : Logger {
    Hwnd victim;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::user + 5 && victim) destroy_window(victim);
      return Logger::window_proc(msg, wp, lp);
    }
  } first;
  ASSERT_TRUE(first.make(frame.hwnd(), RECT{0, 0, 10, 10}, 1));
  Hwnd second = create_window(CreateParams{u"", u"", ws::child | ws::visible, 0, RECT{0, 20, 10, 30}, frame.hwnd(), 2});
  first.victim = second;
  // z-order: the later window is on top, so make the killer go first.
  set_window_pos(first.hwnd(), kTop, 0, 0, 0, 0, swp::no_move | swp::no_size);
  EXPECT_EQ(send_message_to_descendants(frame.hwnd(), wm::user + 5), 1);
  EXPECT_FALSE(is_window(second));
}

TEST(WindowTree, CentringOverTheOwnerTheParentOrTheWorkArea) {
  HeadlessUi ui;  // 240 x 320, work area from y = 26
  Logger owner, popup, hidden_owner_popup, child;
  ASSERT_TRUE(owner.make(Hwnd{}, RECT{0, 26, 200, 226}));
  CreateParams p;
  p.style = ws::popup | ws::visible;
  p.rect = RECT{0, 0, 100, 50};
  p.parent = owner.hwnd();
  ASSERT_TRUE(popup.create(p));
  ASSERT_TRUE(center_window(popup.hwnd()));
  EXPECT_EQ(box(get_window_rect(popup.hwnd())), (Box{50, 101, 150, 151}));
  // No owner: the work area; kept inside it when the owner sits at an edge.
  ASSERT_TRUE(center_window(owner.hwnd()));
  EXPECT_EQ(box(get_window_rect(owner.hwnd())), (Box{20, 73, 220, 273}));
  move_window(owner.hwnd(), 200, 250, 200, 200);
  ASSERT_TRUE(center_window(popup.hwnd()));
  EXPECT_EQ(box(get_window_rect(popup.hwnd())), (Box{140, 270, 240, 320}));
  // A hidden owner gives no place.
  show_window(owner.hwnd(), sw::hide);
  ASSERT_TRUE(center_window(popup.hwnd()));
  EXPECT_EQ(box(get_window_rect(popup.hwnd())), (Box{70, 148, 170, 198}));
  // A child centres in its parent's client area.
  Logger frame;
  ASSERT_TRUE(frame.make(Hwnd{}, RECT{0, 26, 240, 226}));
  ASSERT_TRUE(child.make(frame.hwnd(), RECT{0, 0, 40, 20}, 3));
  ASSERT_TRUE(center_window(child.hwnd()));
  EXPECT_EQ(box(get_window_rect(child.hwnd())), (Box{100, 116, 140, 136}));
  EXPECT_FALSE(center_window(Hwnd{999}));
}

TEST(WindowTree, ForegroundWindowAndIcons) {
  HeadlessUi ui;
  Logger a, b;
  ASSERT_TRUE(a.make(Hwnd{}, RECT{0, 26, 240, 294}));
  ASSERT_TRUE(b.make(Hwnd{}, RECT{0, 26, 240, 294}));
  EXPECT_TRUE(set_foreground_window(a.hwnd()));
  EXPECT_EQ(get_foreground_window(), a.hwnd());
  Logger child;
  ASSERT_TRUE(child.make(b.hwnd(), RECT{0, 0, 10, 10}, 1));
  EXPECT_TRUE(set_foreground_window(child.hwnd()));
  EXPECT_EQ(get_foreground_window(), b.hwnd());

  Bitmap big(32, 32), small(16, 16);
  EXPECT_EQ(set_window_icon(a.hwnd(), icon_size::big, &big), nullptr);
  EXPECT_EQ(set_window_icon(a.hwnd(), icon_size::small, &small), nullptr);
  EXPECT_EQ(get_window_icon(a.hwnd(), icon_size::big), &big);
  EXPECT_EQ(get_window_icon(a.hwnd(), icon_size::small), &small);
  EXPECT_EQ(set_window_icon(a.hwnd(), icon_size::big, nullptr), &big);
  EXPECT_EQ(get_window_icon(a.hwnd(), icon_size::big), nullptr);
  EXPECT_EQ(send_message(a.hwnd(), wm::set_icon, 5, reinterpret_cast<LPARAM>(&big)), 0);
  EXPECT_EQ(get_window_icon(b.hwnd(), icon_size::small), nullptr);
}

TEST(Cursors, EachModuleHasItsOwnCursorHandles) {
  HeadlessUi ui;
  const int chart_move = load_cursor("KeldaChart", 201);
  const int program_201 = load_cursor("", 201);
  EXPECT_NE(chart_move, program_201);
  EXPECT_EQ(load_cursor("KeldaChart", 201), chart_move);
  EXPECT_NE(load_cursor("KeldaChart", 202), chart_move);
  for (int h : {chart_move, program_201}) {
    EXPECT_NE(h, idc::arrow);
    EXPECT_NE(h, idc::wait);
  }
  EXPECT_EQ(cursor_resource(chart_move), (CursorResource{"KeldaChart", 201}));
  EXPECT_EQ(cursor_resource(program_201), (CursorResource{"", 201}));
  EXPECT_FALSE(cursor_resource(idc::arrow));
  EXPECT_FALSE(cursor_resource(0x7FFFFFFF));
  EXPECT_EQ(set_cursor(chart_move), idc::arrow);
  EXPECT_EQ(cursor_resource(current_cursor())->id, 201);
}
