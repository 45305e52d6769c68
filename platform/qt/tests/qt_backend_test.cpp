// The Qt backend: canvas pixels, the loop over Qt's event loop, input from
// Qt events, and screenshots. Runs under QT_QPA_PLATFORM=offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/sync.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

using namespace kelda::ui;

namespace {

QtUiOptions offscreen() {
  QtUiOptions o;
  o.show_window = false;
  return o;
}

// An off-screen canvas of the Qt backend, white.
std::unique_ptr<Canvas> qt_canvas(int w = 40, int h = 40) {
  auto dc = get_dc(desktop_window());
  return dc->create_compatible(w, h);
}

bool dark(Canvas& c, int x, int y) { return (c.get_pixel(x, y) & 0xFF) < 0x80; }

// Waits for a condition with the loop running, at most `ms` of real time.
bool run_until(const std::function<bool()>& done, uint64_t ms = 5000) {
  uint64_t end = now_ms() + ms;
  set_timer(Hwnd{}, 0, 20);  // keeps the guard checked while nothing else happens
  return run_loop_until([&] { return done() || now_ms() > end; }) && done();
}

}  // namespace

TEST(QtCanvas, LinesLeaveOutTheirEndPixelAndShapesFillTheirInside) {
  QtUi ui(offscreen());
  auto c = qt_canvas();
  c->move_to(2, 2);
  c->line_to(10, 2);
  EXPECT_TRUE(dark(*c, 9, 2));
  EXPECT_FALSE(dark(*c, 10, 2));
  Brush red = Brush::solid(RGB(255, 0, 0));
  c->select_brush(&red);
  c->rectangle(1, 10, 7, 16);
  EXPECT_TRUE(dark(*c, 6, 15)) << "the outline's last pixel";
  EXPECT_FALSE(dark(*c, 7, 16));
  EXPECT_EQ(c->get_pixel(3, 12), RGB(255, 0, 0));
  c->ellipse(20, 20, 36, 36);
  EXPECT_EQ(c->get_pixel(28, 28), RGB(255, 0, 0));
  POINT tri[3] = {{20, 2}, {36, 2}, {28, 14}};
  c->polygon(tri);
  EXPECT_EQ(c->get_pixel(28, 5), RGB(255, 0, 0));
  // Dotted pens leave gaps.
  Pen dot{ps::dot, 1, 0};
  c->select_pen(&dot);
  c->move_to(0, 38);
  c->line_to(40, 38);
  int on = 0;
  for (int x = 0; x < 39; ++x) on += dark(*c, x, 38);
  EXPECT_GT(on, 10);
  EXPECT_LT(on, 30);
}

TEST(QtCanvas, XorDrawingTwiceRestoresAndClipsHold) {
  QtUi ui(offscreen());
  auto c = qt_canvas();
  c->fill_rect(RECT{0, 0, 40, 40}, Brush::solid(RGB(10, 200, 30)));
  c->set_rop2(r2::xor_pen);
  Pen p{ps::solid, 1, RGB(255, 255, 255)};
  c->select_pen(&p);
  for (int i = 0; i < 2; ++i) {
    c->move_to(0, 20);
    c->line_to(40, 20);
    if (i == 0) {
      EXPECT_NE(c->get_pixel(5, 20), RGB(10, 200, 30));
    }
  }
  EXPECT_EQ(c->get_pixel(5, 20), RGB(10, 200, 30));
  c->set_rop2(r2::copy_pen);
  c->intersect_clip_rect(RECT{0, 0, 20, 40});
  c->exclude_clip_rect(RECT{0, 0, 5, 5});
  c->fill_rect(RECT{0, 0, 40, 40}, black_brush());
  EXPECT_EQ(c->get_pixel(10, 10), RGB(0, 0, 0));
  EXPECT_EQ(c->get_pixel(30, 10), RGB(10, 200, 30));
  EXPECT_EQ(c->get_pixel(2, 2), RGB(10, 200, 30));
}

TEST(QtCanvas, RussianTextIsMeasuredAndDrawn) {
  QtUi ui(offscreen());
  auto c = qt_canvas(120, 30);
  Font f = point_font(u"Tahoma", 10);
  c->select_font(&f);
  SIZE ext = c->text_extent(u"Заявка");
  EXPECT_GT(ext.cx, 30);
  EXPECT_GT(ext.cy, 8);
  c->set_bk_mode(bk::transparent);
  RECT r{0, 0, 120, 30};
  c->draw_text(u"Заявка", r, dt::center | dt::vcenter | dt::single_line);
  int ink = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) ink += dark(*c, x, y);
  EXPECT_GT(ink, 40) << "glyphs of the Cyrillic text reach the image";
  // Off-screen buffers copy onto each other; bitmaps keep their transparency.
  auto other = qt_canvas(120, 30);
  other->bit_blt(0, 0, 120, 30, *c, 0, 0, rop::src_copy);
  EXPECT_EQ(other->get_pixel(60, 15), c->get_pixel(60, 15));
  Bitmap b = Bitmap::from_pixel_art({"r.", ".r"}, {{'r', 0xFFFF0000u}});
  other->draw_bitmap(0, 0, b);
  EXPECT_EQ(other->get_pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(other->get_pixel(1, 0), c->get_pixel(1, 0));
}

TEST(QtLoop, PostsFromOtherThreadsWakeTheLoopAndTimersRun) {
  QtUi ui(offscreen());
  struct Counter : Window {
    std::atomic<int> posted{0};
    int ticks = 0;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::user + 5) ++posted;
      if (msg == wm::timer && wp == 7) ++ticks;
      return default_proc(msg, wp, lp);
    }
  } w;
  CreateParams p;
  p.style = ws::popup;
  ASSERT_TRUE(w.create(p));
  std::thread t([&] {
    for (int i = 0; i < 100; ++i) post_message(w.hwnd(), wm::user + 5);
  });
  EXPECT_TRUE(run_until([&] { return w.posted == 100; }));
  t.join();
  set_timer(w.hwnd(), 7, 10);
  EXPECT_TRUE(run_until([&] { return w.ticks >= 3; }));
}

TEST(QtLoop, WorkerDialogRunsWhileTheUiThreadWaitsWithQt) {
  QtUi ui(offscreen());
  auto script = std::make_shared<ScriptedServices>();
  set_services(script);
  DialogTemplate t;
  t.cx = 100;
  t.cy = 40;
  t.items = {{class_name::edit, u"", 1001, ws::visible | ws::tab_stop | ws::border, 4, 4, 90, 12},
             {class_name::button, u"OK", id::ok, ws::visible | bs::def_push_button, 4, 20, 40, 14}};
  register_dialog_template("", 9200, t);
  std::u16string typed;
  script->on_dialog(9200, [](DialogDriver& d) {
    d.set_text(1001, u"12345");
    d.click(id::ok);
  });
  kelda::platform::Event done(kelda::platform::Event::Reset::manual);
  intptr_t answer = 0;
  std::thread worker([&] {
    answer = dialog_box("", 9200, Hwnd{}, [&](Hwnd dlg, UINT m, WPARAM w, LPARAM) -> intptr_t {
      if (m == wm::command && lo_word(w) == id::ok) {
        typed = get_dlg_item_text(dlg, 1001);
        end_dialog(dlg, id::ok);
        return 1;
      }
      return 0;
    });
    done.set();
  });
  kelda::platform::Waitable* objects[] = {&done};
  EXPECT_EQ(wait_pumping(objects, 10000).status, kelda::platform::WaitStatus::signaled);
  worker.join();
  EXPECT_EQ(answer, id::ok);
  EXPECT_EQ(typed, u"12345");
}

TEST(QtInput, MouseAndKeysOfTheScreenWindowReachTheControls) {
  QtUiOptions o = offscreen();
  o.zoom = 2;
  QtUi ui(o);
  struct Host : Window {
    std::vector<UINT> clicks;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::command && hi_word(wp) == bn::clicked) clicks.push_back(lo_word(wp));
      return default_proc(msg, wp, lp);
    }
  } host;
  CreateParams p;
  p.style = ws::popup | ws::visible;
  p.rect = RECT{0, 26, 240, 320};
  ASSERT_TRUE(host.create(p));
  Hwnd edit = create_window(CreateParams{class_name::edit, u"", ws::child | ws::visible | ws::border, 0, RECT{10, 10, 150, 30}, host.hwnd(), 5});
  Hwnd button = create_window(CreateParams{class_name::button, u"OK", ws::child | ws::visible, 0, RECT{10, 40, 80, 60}, host.hwnd(), 1});
  process_pending();
  QWidget* screen = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->width() == 480) screen = w;
  ASSERT_NE(screen, nullptr) << "the screen window is twice the size at zoom 2";
  auto click = [&](Hwnd h) {
    POINT c = client_to_screen(h, POINT{5, 5});
    QPointF at(c.x * 2 + 1, c.y * 2 + 1);
    QMouseEvent down(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent up(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(screen, &down);
    QCoreApplication::sendEvent(screen, &up);
    process_pending();
  };
  click(button);
  EXPECT_EQ(host.clicks, std::vector<UINT>{1});
  click(edit);
  for (QChar ch : QString::fromUtf8("Цена")) {
    QKeyEvent k(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
    QCoreApplication::sendEvent(screen, &k);
  }
  process_pending();
  EXPECT_EQ(get_window_text(edit), u"Цена");
  EXPECT_TRUE(ui.save_screenshot("screen.png"));
  EXPECT_GT(std::filesystem::file_size("screen.png"), 100u);
}
