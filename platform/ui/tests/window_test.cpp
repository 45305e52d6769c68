// Windows, messages, focus, capture, hot keys, double taps, the tap-and-hold
// gesture and painting, on the headless backend.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread.h"

#include "ui/backend.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"

using namespace kelda::ui;

namespace {

struct Seen {
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};

// A window that logs what it gets and answers wm::user + 1 with wParam * 2.
class Probe : public Window {
 public:
  std::vector<Seen> seen;
  std::vector<UINT> only(UINT a, UINT b = 0, UINT c = 0) const {
    std::vector<UINT> out;
    for (auto& s : seen)
      if (s.msg == a || (b && s.msg == b) || (c && s.msg == c)) out.push_back(s.msg);
    return out;
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    seen.push_back({msg, wp, lp});
    if (msg == wm::user + 1) return static_cast<LRESULT>(wp * 2);
    return default_proc(msg, wp, lp);
  }
  bool make_top(RECT r = RECT{20, 40, 200, 240}, UINT class_style = 0, const char16_t* cls = u"") {
    (void)class_style;
    CreateParams p;
    p.class_name = cls;
    p.style = ws::popup | ws::visible;
    p.rect = r;
    return create(p);
  }
  bool make_child(Hwnd parent, RECT r, UINT id, const char16_t* cls = u"") {
    CreateParams p;
    p.class_name = cls;
    p.style = ws::child | ws::visible;
    p.rect = r;
    p.parent = parent;
    p.id = id;
    return create(p);
  }
};

int released = 0;
void release_payload(WPARAM, LPARAM lp) {
  delete reinterpret_cast<int*>(lp);
  ++released;
}

}  // namespace

TEST(Window, SendAnswersSynchronouslyAndPostIsFifoFromManyThreads) {
  HeadlessUi ui;
  Probe p;
  ASSERT_TRUE(p.make_top());
  EXPECT_EQ(send_message(p.hwnd(), wm::user + 1, 21), 42);

  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) ASSERT_TRUE(post_message(p.hwnd(), wm::user + 2, t, i));
    });
  }
  for (auto& th : posters) th.join();
  p.seen.clear();
  process_pending();
  std::vector<int> next(kThreads, 0);
  int count = 0;
  for (auto& s : p.seen) {
    if (s.msg != wm::user + 2) continue;
    ++count;
    EXPECT_EQ(s.lp, next[s.wp]++) << "messages of one poster arrive in order";
  }
  EXPECT_EQ(count, kThreads * kEach);
}

TEST(Window, PlatformThreadMessagesToTheUiThreadReachItsLoop) {
  std::vector<WPARAM> seen;
  {
    HeadlessUi ui;
    MessageFilterToken filter = add_message_filter([&](Message& m) {
      if (m.hwnd || m.message != wm::app + 7) return false;
      seen.push_back(m.wparam);
      return true;
    });
    // A library below the layer knows only the platform's thread messages.
    std::thread poster([] {
      for (WPARAM i = 0; i < 3; ++i) {
        ASSERT_TRUE(kelda::platform::post_thread_message(ui_thread_id(), wm::app + 7, i, 0));
      }
    });
    poster.join();
    process_pending();
    EXPECT_EQ(seen, (std::vector<WPARAM>{0, 1, 2}));
  }
  // After the session the platform's own queue serves the thread again.
  kelda::platform::ensure_message_queue();
  EXPECT_TRUE(kelda::platform::post_thread_message(kelda::platform::current_thread_id(), wm::app + 7, 9, 0));
  kelda::platform::ThreadMessage m;
  EXPECT_TRUE(kelda::platform::peek_message(m, true));
  EXPECT_EQ(m.wparam, 9u);
}

TEST(Window, PayloadOfAnUndeliveredMessageIsReleasedOnce) {
  HeadlessUi ui;
  released = 0;
  auto* p = new Probe;
  ASSERT_TRUE(p->make_top());
  Hwnd h = p->hwnd();
  ASSERT_TRUE(post_message(h, wm::user, 0, reinterpret_cast<LPARAM>(new int(7)), release_payload));
  delete p;  // the window goes before the message is taken
  process_pending();
  EXPECT_EQ(released, 1);
  EXPECT_FALSE(is_window(h));
  // A post to a dead window fails and leaves the payload to the caller.
  int keep = 0;
  EXPECT_FALSE(post_message(h, wm::user, 0, reinterpret_cast<LPARAM>(&keep), release_payload));
  EXPECT_EQ(released, 1);

  // The window goes while the message is being taken (a filter that sees
  // it destroys the window and passes the message on): still released.
  Probe q;
  ASSERT_TRUE(q.make_top());
  const Hwnd qh = q.hwnd();
  auto filter = add_message_filter([&](Message& m) {
    if (m.hwnd == qh && m.message == wm::user) destroy_window(qh);
    return false;
  });
  ASSERT_TRUE(post_message(qh, wm::user, 0, reinterpret_cast<LPARAM>(new int(8)), release_payload));
  process_pending();
  EXPECT_FALSE(is_window(qh));
  EXPECT_EQ(released, 2);
}

TEST(Window, PostWithoutUiThreadFailsAndStaleHandlesStayDead) {
  Hwnd stale;
  {
    HeadlessUi ui;
    Probe p;
    ASSERT_TRUE(p.make_top());
    stale = p.hwnd();
  }
  EXPECT_FALSE(has_ui_thread());
  EXPECT_FALSE(post_message(stale, wm::user));
  EXPECT_FALSE(set_capture(stale)) << "no session: nothing to capture, no crash";
  EXPECT_FALSE(get_capture());
  HeadlessUi ui;
  Probe q;
  ASSERT_TRUE(q.make_top());
  EXPECT_FALSE(is_window(stale));
  EXPECT_NE(q.hwnd(), stale);
}

TEST(Window, TimersFireByIdAndStopWhenKilled) {
  HeadlessUi ui;
  Probe p;
  ASSERT_TRUE(p.make_top());
  ASSERT_EQ(set_timer(p.hwnd(), 101, 250), 101u);
  ASSERT_EQ(set_timer(p.hwnd(), 102, 100), 102u);
  auto ticks = [&](uintptr_t id) {
    int n = 0;
    for (auto& s : p.seen) n += s.msg == wm::timer && s.wp == id;
    return n;
  };
  ui.advance(1000);
  EXPECT_EQ(ticks(101), 4);
  EXPECT_EQ(ticks(102), 10);
  set_timer(p.hwnd(), 101, 500);  // the same id restarts with the new period
  kill_timer(p.hwnd(), 102);
  ui.advance(1000);
  EXPECT_EQ(ticks(101), 6);
  EXPECT_EQ(ticks(102), 10);
  // A timer procedure is called instead of the window.
  static int proc_calls = 0;
  set_timer(p.hwnd(), 103, 100, [](Hwnd, UINT, uintptr_t id, DWORD) { proc_calls += id == 103; });
  ui.advance(100);
  EXPECT_EQ(proc_calls, 1);
  EXPECT_EQ(ticks(103), 0);
  // Timer 0 of a window cannot be told apart from a refusal: it is refused.
  EXPECT_EQ(set_timer(p.hwnd(), 0, 100), 0u);
  ui.advance(200);
  EXPECT_EQ(ticks(0), 0);
}

TEST(Window, FocusAndActivationMessagesNameTheOtherWindow) {
  HeadlessUi ui;
  Probe a, b, a1, a2;
  ASSERT_TRUE(a.make_top(RECT{0, 30, 120, 200}));
  ASSERT_TRUE(a1.make_child(a.hwnd(), RECT{0, 0, 50, 20}, 1));
  ASSERT_TRUE(a2.make_child(a.hwnd(), RECT{0, 30, 50, 50}, 2));
  ASSERT_TRUE(b.make_top(RECT{120, 30, 240, 200}));
  EXPECT_EQ(get_active_window(), b.hwnd());
  set_focus(a1.hwnd());
  EXPECT_EQ(get_active_window(), a.hwnd()) << "focusing a child activates its window";
  a1.seen.clear();
  a2.seen.clear();
  set_focus(a2.hwnd());
  ASSERT_EQ(a1.only(wm::kill_focus).size(), 1u);
  EXPECT_EQ(a1.seen.back().wp, a2.hwnd().to_wparam());
  ASSERT_EQ(a2.only(wm::set_focus).size(), 1u);
  // A tap on the other window activates it; activating the first again gives
  // the focus back to the control that had it.
  scripted::tap(b.hwnd());
  EXPECT_EQ(get_active_window(), b.hwnd());
  scripted::tap_at(a.hwnd(), POINT{100, 100});
  EXPECT_EQ(get_active_window(), a.hwnd());
  EXPECT_EQ(get_focus(), a2.hwnd());
}

TEST(Window, CaptureTakesTheStylusAndReleaseIsReported) {
  HeadlessUi ui;
  Probe a, b;
  ASSERT_TRUE(a.make_top(RECT{0, 30, 120, 200}));
  ASSERT_TRUE(b.make_child(a.hwnd(), RECT{60, 60, 110, 110}, 3));
  set_capture(a.hwnd());
  a.seen.clear();
  scripted::tap_at(b.hwnd(), POINT{5, 5});
  EXPECT_EQ(a.only(wm::lbutton_down, wm::lbutton_up).size(), 2u);
  EXPECT_TRUE(b.only(wm::lbutton_down).empty());
  release_capture();
  EXPECT_EQ(a.only(wm::capture_changed).size(), 1u);
  scripted::tap_at(b.hwnd(), POINT{5, 5});
  EXPECT_EQ(b.only(wm::lbutton_down).size(), 1u);
}

TEST(Window, HotKeyReportsPressOnceAndReleaseWithKeyUpBit) {
  HeadlessUi ui;
  Probe p;
  ASSERT_TRUE(p.make_top());
  ASSERT_TRUE(register_hot_key(p.hwnd(), 2, mod::keyup, vk::right));
  EXPECT_FALSE(register_hot_key(p.hwnd(), 3, mod::keyup, vk::right)) << "one owner per key";
  scripted::key_down(vk::right);
  scripted::key_down(vk::right, true);  // the key is held
  scripted::key_up(vk::right);
  std::vector<WPARAM> mods;
  for (auto& s : p.seen)
    if (s.msg == wm::hot_key) {
      EXPECT_EQ(s.wp, 2u);
      EXPECT_EQ(hi_word(static_cast<uintptr_t>(s.lp)), vk::right);
      mods.push_back(lo_word(static_cast<uintptr_t>(s.lp)));
    }
  EXPECT_EQ(mods, (std::vector<WPARAM>{0, 0, mod::keyup}));
  EXPECT_TRUE(p.only(wm::key_down).empty()) << "a hot key does not reach the focus";
  unregister_hot_key(p.hwnd(), 2);
  scripted::key_down(vk::right);
  EXPECT_EQ(p.only(wm::key_down).size(), 1u);

  // A hot key with a modifier whose modifier is let go first: the release
  // still belongs to the hot key (latched at the press), not to the focus.
  ASSERT_TRUE(register_hot_key(p.hwnd(), 4, mod::control | mod::keyup, 'Q'));
  p.seen.clear();
  auto key = [](bool down, UINT vk, bool control) {
    KeyInput k;
    k.down = down;
    k.vk = vk;
    k.control = control;
    queue_key_input(k);
    process_pending();
  };
  key(true, vk::control, true);
  key(true, 'Q', true);
  key(false, vk::control, false);
  key(false, 'Q', false);
  mods.clear();
  for (auto& s : p.seen)
    if (s.msg == wm::hot_key && s.wp == 4u) mods.push_back(lo_word(static_cast<uintptr_t>(s.lp)));
  EXPECT_EQ(mods, (std::vector<WPARAM>{mod::control, mod::control | mod::keyup}));
  for (auto& s : p.seen) EXPECT_FALSE(s.msg == wm::key_up && s.wp == 'Q') << "the release went to the focus";
}

TEST(Window, DoubleTapBecomesDoubleClickOnlyForClassesThatAskForIt) {
  HeadlessUi ui;
  WindowClass cls;
  cls.name = u"DblProbe";
  cls.style = cs::dblclks;
  cls.proc = def_window_proc;
  register_class(cls);
  Probe with, without;
  ASSERT_TRUE(with.make_top(RECT{0, 30, 120, 200}, 0, u"DblProbe"));
  ASSERT_TRUE(without.make_top(RECT{120, 30, 240, 200}));
  for (Probe* p : {&with, &without}) {
    p->seen.clear();
    scripted::double_tap_at(p->hwnd(), POINT{10, 10});
  }
  EXPECT_EQ(with.only(wm::lbutton_down, wm::lbutton_dblclk),
            (std::vector<UINT>{wm::lbutton_down, wm::lbutton_dblclk}));
  EXPECT_EQ(without.only(wm::lbutton_down, wm::lbutton_dblclk),
            (std::vector<UINT>{wm::lbutton_down, wm::lbutton_down}));
  unregister_class(u"DblProbe");
}

TEST(Window, TapAndHoldIsRecognisedOnlyPastTheDelay) {
  HeadlessUi ui;
  struct Holder : Probe {
    UINT flags = 0;
    std::vector<UINT> results;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::lbutton_down) results.push_back(recognize_gesture(hwnd(), POINT{x_of(lp), y_of(lp)}, flags));
      return Probe::window_proc(msg, wp, lp);
    }
  };
  Holder top, child;
  ASSERT_TRUE(top.make_top(RECT{0, 30, 240, 300}));
  ASSERT_TRUE(child.make_child(top.hwnd(), RECT{10, 10, 110, 110}, 5));
  scripted::tap_at(child.hwnd(), POINT{20, 30});
  scripted::tap_and_hold_at(child.hwnd(), POINT{20, 30}, 499);
  scripted::tap_and_hold_at(child.hwnd(), POINT{20, 30}, 800);
  EXPECT_EQ(child.results, (std::vector<UINT>{0, 0, gn::context_menu}));
  // Without return_cmd a context-menu message with screen coordinates goes to
  // the window and on to its parent.
  ASSERT_EQ(top.only(wm::context_menu).size(), 1u);
  LPARAM lp = 0;
  for (auto& s : top.seen)
    if (s.msg == wm::context_menu) lp = s.lp;
  POINT screen = client_to_screen(child.hwnd(), POINT{20, 30});
  EXPECT_EQ(x_of(lp), screen.x);
  EXPECT_EQ(y_of(lp), screen.y);
  // With return_cmd nothing else happens; a drag is no hold.
  child.flags = shrg::return_cmd;
  top.seen.clear();
  scripted::tap_and_hold_at(child.hwnd(), POINT{20, 30}, 800);
  scripted::drag(child.hwnd(), {POINT{20, 30}, POINT{60, 30}});
  EXPECT_EQ(child.results.back(), 0u);
  EXPECT_EQ(child.results[child.results.size() - 2], gn::context_menu);
  EXPECT_TRUE(top.only(wm::context_menu).empty());
}

TEST(Window, PaintIsClippedToWhatIsVisibleAndComesOncePerInvalidation) {
  HeadlessUi ui;
  struct Painter : Probe {
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::paint) {
        seen.push_back({msg, wp, lp});
        PaintSession ps(hwnd());
        clip = ps.canvas().clip_box();
        ps.canvas().fill_rect(get_client_rect(hwnd()), black_brush());
        return 0;
      }
      return Probe::window_proc(msg, wp, lp);
    }
    RECT clip{};
  };
  Painter parent, child, above;
  ASSERT_TRUE(parent.make_top(RECT{0, 30, 200, 230}));
  ASSERT_TRUE(child.make_child(parent.hwnd(), RECT{0, 0, 100, 200}, 1));
  process_pending();
  parent.seen.clear();
  child.seen.clear();
  invalidate_rect(parent.hwnd(), nullptr, true);
  invalidate_rect(parent.hwnd(), nullptr, true);
  process_pending();
  EXPECT_EQ(parent.only(wm::paint).size(), 1u);
  EXPECT_TRUE(child.only(wm::paint).empty()) << "the parent's paint leaves its children alone";
  EXPECT_EQ(parent.clip.left, 100) << "the child's area is not the parent's to paint";
  // A window laid over part of it: the exposed part only is painted again.
  ASSERT_TRUE(above.make_top(RECT{150, 30, 240, 230}));
  process_pending();
  parent.seen.clear();
  above.destroy();
  process_pending();
  ASSERT_EQ(parent.only(wm::paint).size(), 1u);
  EXPECT_EQ(parent.clip.left, 150);
  EXPECT_EQ(parent.clip.right, 200);
}

TEST(Window, SubclassingAndAttachSeeMessagesFirst) {
  HeadlessUi ui;
  Probe base;
  ASSERT_TRUE(base.make_top());
  std::vector<UINT> order;
  WindowProcedure prev = set_window_procedure(base.hwnd(), [&](Hwnd h, UINT m, WPARAM w, LPARAM l) {
    if (m == wm::user + 1) order.push_back(1);
    return prev(h, m, w, l);
  });
  EXPECT_EQ(send_message(base.hwnd(), wm::user + 1, 5), 10) << "the old procedure still answers";
  EXPECT_EQ(order, std::vector<UINT>{1});
  // Text goes through the window's own messages, so a class that answers
  // wm::get_text its own way is read that way.
  set_window_procedure(base.hwnd(), [&](Hwnd h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == wm::get_text && w >= 3) {
      auto* buf = reinterpret_cast<char16_t*>(l);
      buf[0] = u'4';
      buf[1] = u'2';
      buf[2] = 0;
      return 2;
    }
    return prev(h, m, w, l);
  });
  EXPECT_EQ(get_window_text(base.hwnd()), u"42");
}

TEST(Window, PopupWithChildStyleIsAnOwnedPopupInScreenCoordinates) {
  HeadlessUi ui;
  Probe owner;
  ASSERT_TRUE(owner.make_top(RECT{20, 40, 200, 240}));
  Probe grid;
  CreateParams p;
  p.style = ws::popup | ws::child | ws::visible | ws::border;  // 0xD0800000
  p.rect = RECT{20, 230, 150, 300};
  p.parent = owner.hwnd();
  ASSERT_TRUE(grid.create(p));
  EXPECT_EQ(get_window_rect(grid.hwnd()).top, 230) << "screen coordinates, outside the owner";
  EXPECT_EQ(get_window(grid.hwnd(), gw::owner), owner.hwnd());
  EXPECT_FALSE(is_child(owner.hwnd(), grid.hwnd()));
  auto tops = top_level_windows();
  EXPECT_EQ(tops.front(), grid.hwnd()) << "the program's windows only, top first";
  EXPECT_EQ(std::find(tops.begin(), tops.end(), desktop_window()), tops.end());
  EXPECT_EQ(std::find(tops.begin(), tops.end(), sip_button()), tops.end());
  EXPECT_EQ(find_window(u"MS_SIPBUTTON"), sip_button());
}

TEST(Window, ExtremePositionsAndSizesAreClampedInsteadOfOverflowing) {
  HeadlessUi ui;
  Probe top;
  ASSERT_TRUE(top.make_top());
  // A child asking for the default place (only top-level windows have one)
  // and children moved and sized to the ends of the coordinate range.
  Probe child;
  ASSERT_TRUE(child.make_child(top.hwnd(), RECT{kUseDefault, kUseDefault, 10, 10}, 1));
  EXPECT_LE(get_window_rect(child.hwnd()).left, get_window_rect(child.hwnd()).right);
  const int big = INT32_MAX - 5;
  for (RECT r : {RECT{big, big, 100, 100}, RECT{-big, -big, 100, 100}, RECT{-100, -100, big, big},
                 RECT{INT32_MIN, 0, INT32_MAX, 10}}) {
    ASSERT_TRUE(move_window(child.hwnd(), r.left, r.top, r.right, r.bottom));
    RECT got = get_window_rect(child.hwnd());
    RECT client = get_client_rect(child.hwnd());
    EXPECT_LE(got.left, got.right);
    EXPECT_LE(got.top, got.bottom);
    EXPECT_GE(client.right, 0);
    EXPECT_TRUE(set_window_pos(child.hwnd(), Hwnd{}, r.left, r.top, r.right, r.bottom, swp::no_zorder));
    EXPECT_TRUE(set_window_pos(top.hwnd(), Hwnd{}, r.left, r.top, 0, 0, swp::no_zorder | swp::no_size));
    POINT p = client_to_screen(child.hwnd(), POINT{10, 10});
    EXPECT_EQ(screen_to_client(child.hwnd(), p).x, 10);
    invalidate_rect(child.hwnd(), nullptr, true);
    process_pending();
  }
  // The position of an ordinary window is untouched.
  ASSERT_TRUE(move_window(child.hwnd(), 5, 6, 70, 80));
  RECT cr = get_window_rect(child.hwnd()), tr = get_window_rect(top.hwnd());
  EXPECT_EQ(cr.left - tr.left, 5);
  EXPECT_EQ(cr.right - cr.left, 70);
}

// The destruction rule: a window object goes on the user-interface thread
// only; another thread hands it over and the deletion is posted there.
namespace {
// A probe that reports where it was destroyed and counts wm::user + 2.
struct Trace {
  std::atomic<std::thread::id> destroyed_on{};
  int delivered = 0;  // user-interface thread only
};
class Tracked : public Probe {
 public:
  explicit Tracked(Trace* trace) : trace_(trace) {}
  ~Tracked() override { trace_->destroyed_on.store(std::this_thread::get_id()); }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::user + 2) ++trace_->delivered;
    return Probe::window_proc(msg, wp, lp);
  }

 private:
  Trace* trace_;
};
}  // namespace

TEST(Window, ObjectHandedOverByAnotherThreadIsDestroyedOnTheUiThreadAfterItsQueuedMessages) {
  HeadlessUi ui;
  Trace trace;
  auto probe = std::make_unique<Tracked>(&trace);
  ASSERT_TRUE(probe->make_top());
  const Hwnd h = probe->hwnd();
  // The window keeps being painted and messaged while the worker lets go.
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) {
      post_message(h, wm::user + 2);
      invalidate_rect(h, nullptr, true);
    }
    delete_on_ui_thread(std::move(probe));
    post_message(h, wm::user + 2);  // too late: refused or dropped, never delivered
  });
  EXPECT_TRUE(run_loop_until([&] { return trace.destroyed_on.load() != std::thread::id{}; }));
  worker.join();
  EXPECT_EQ(trace.destroyed_on.load(), std::this_thread::get_id());
  EXPECT_EQ(trace.delivered, 50) << "messages posted before the hand-over come first";
  EXPECT_FALSE(is_window(h));
  EXPECT_EQ(send_message(h, wm::user + 1, 1), 0);
}

TEST(Window, HandedOverObjectOutlivesItsHandlerThatRunsANestedLoop) {
  HeadlessUi ui;
  Trace trace;
  struct Nesting : Tracked {
    using Tracked::Tracked;
    bool gone_during_loop = false;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::user + 3) {
        // The hand-over arrives while this handler pumps; the object must
        // stay alive until the handler returns.
        const Hwnd self = hwnd();
        run_loop_until([&] { return !is_window(self); });
        gone_during_loop = !is_window(self);
        seen.push_back({msg, wp, lp});  // touches the object after the loop
        return gone_during_loop ? 1 : 0;
      }
      return Tracked::window_proc(msg, wp, lp);
    }
  };
  auto nesting = std::make_unique<Nesting>(&trace);
  ASSERT_TRUE(nesting->make_top());
  const Hwnd h = nesting->hwnd();
  std::thread worker([&] { delete_on_ui_thread(std::move(nesting)); });
  worker.join();
  EXPECT_EQ(send_message(h, wm::user + 3), 1) << "the window goes while its handler still runs";
  EXPECT_EQ(trace.destroyed_on.load(), std::this_thread::get_id()) << "the object goes after its handler";
  EXPECT_FALSE(is_window(h));
}

TEST(Window, WithoutASessionAHandedOverObjectIsDestroyedAtOnce) {
  Trace trace;
  std::thread worker([&] { delete_on_ui_thread(std::make_unique<Tracked>(&trace)); });
  const std::thread::id worker_id = worker.get_id();
  worker.join();
  EXPECT_EQ(trace.destroyed_on.load(), worker_id);
}

#ifndef NDEBUG
TEST(WindowDeathTest, DirectDeleteOnAnotherThreadIsCaughtInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        HeadlessUi ui;
        auto probe = std::make_unique<Probe>();
        if (!probe->make_top()) std::abort();
        // The user-interface thread only waits here, so nothing else races.
        std::thread worker([&] { probe.reset(); });
        worker.join();
      },
      "destroyed on a thread other than the user-interface thread");
}
#endif

TEST(Window, ObjectOfAFactoryClassIsToldAndFreedWithItsWindow) {
  HeadlessUi ui;
  static std::vector<std::string> events;
  events.clear();
  struct Made : Window {
    ~Made() override { events.push_back("freed"); }
    void on_destroyed() override { events.push_back(is_window(hwnd()) ? "told, still a window" : "told"); }
  };
  WindowClass cls;
  cls.name = u"FactoryMade";
  cls.factory = [] { return std::make_unique<Made>(); };
  ASSERT_TRUE(register_class(std::move(cls)));
  CreateParams p;
  p.class_name = u"FactoryMade";
  p.style = ws::popup;
  Hwnd h = create_window(p);
  ASSERT_TRUE(h);
  ASSERT_NE(Window::from_handle(h), nullptr);
  EXPECT_TRUE(destroy_window(h));
  EXPECT_EQ(events, (std::vector<std::string>{"told", "freed"}));
  unregister_class(u"FactoryMade");
}
