// The Qt backend forwards wheel turns of the screen window as wm::mouse_wheel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

#include "ui/loop.h"
#include "ui/testing.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

using namespace kelda::ui;

TEST(QtInput, WheelTurnsReachTheFocusWindowWithDeltaKeysAndScreenPoint) {
  QtUiOptions o;
  o.show_window = false;
  QtUi ui(o);
  struct Host : Window {
    std::vector<std::pair<WPARAM, LPARAM>> wheels;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::mouse_wheel) wheels.emplace_back(wp, lp);
      return default_proc(msg, wp, lp);
    }
  } host;
  CreateParams p;
  p.style = ws::popup | ws::visible;
  p.rect = RECT{0, 26, 240, 320};
  ASSERT_TRUE(host.create(p));
  set_focus(host.hwnd());
  process_pending();
  QWidget* screen = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->width() == 240) screen = w;
  ASSERT_NE(screen, nullptr);
  for (int delta : {120, -240}) {
    QPointF at(50, 100);
    QWheelEvent e(at, at, QPoint(), QPoint(0, delta), Qt::NoButton,
                  delta < 0 ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(screen, &e);
  }
  process_pending();
  ASSERT_EQ(host.wheels.size(), 2u);
  EXPECT_EQ(static_cast<int16_t>(hi_word(host.wheels[0].first)), 120);
  EXPECT_EQ(lo_word(host.wheels[0].first), 0);
  EXPECT_EQ(static_cast<int16_t>(hi_word(host.wheels[1].first)), -240);
  EXPECT_EQ(lo_word(host.wheels[1].first), mk::control);
  EXPECT_EQ(x_of(host.wheels[0].second), 50);
  EXPECT_EQ(y_of(host.wheels[0].second), 100);
}
