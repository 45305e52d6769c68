// Tool-bar tips on the menu bar, and list-view column titles read back.
#include <gtest/gtest.h>

#include <vector>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/testing.h"
#include "ui/window.h"

using namespace kelda::ui;

namespace {
struct Frame : Window {
  std::vector<UINT> commands;
  Frame() {
    CreateParams p;
    p.style = ws::popup | ws::visible;
    p.rect = RECT{0, 26, 240, 320};
    create(p);
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::command) commands.push_back(lo_word(wp));
    return default_proc(msg, wp, lp);
  }
};

void stylus(Hwnd h, POINT client, MouseInput::Kind kind) {
  MouseInput m;
  m.kind = kind;
  m.screen = client_to_screen(h, client);
  m.time_ms = now_ms() + 5000;
  queue_mouse_input(m);
  process_pending();
}
}  // namespace

TEST(MenuBar, AButtonShowsItsTipWhileTheStylusRestsOnItWhenTheBarAsksForTips) {
  HeadlessUi ui;
  register_toolbar_template("bars_test", 128, ToolbarTemplate{16, 16, {32780, 0, 57665}, {u"Соединение", u"", u""}});
  register_bitmap("bars_test", 128, Bitmap(32, 16, 0xFF808080u));
  Frame frame;
  Hwnd bar = create_menu_bar(frame.hwnd(), "bars_test", 0);
  ASSERT_TRUE(add_toolbar_buttons(bar, "bars_test", 128));
  RECT br = get_client_rect(bar);
  const POINT connect{br.right - 2 - 23 - 6 - 11, br.bottom / 2};  // buttons are 23 wide, separators 6
  const POINT exit{br.right - 2 - 11, br.bottom / 2};

  // Without the style: no tip.
  EXPECT_EQ(get_bar_style(bar), 0u);
  stylus(bar, connect, MouseInput::Kind::down);
  EXPECT_FALSE(shown_toolbar_tip());
  stylus(bar, connect, MouseInput::Kind::up);

  ASSERT_TRUE(set_bar_style(bar, cbrs::tooltips | cbrs::flyby | cbrs::size_fixed));
  const Hwnd active = get_active_window();
  EXPECT_EQ(get_bar_style(bar), 0x32u);
  stylus(bar, connect, MouseInput::Kind::down);
  Hwnd tip = shown_toolbar_tip();
  ASSERT_TRUE(tip);
  EXPECT_EQ(get_window_text(tip), u"Соединение");
  EXPECT_TRUE(is_window_visible(tip));
  EXPECT_LE(get_window_rect(tip).bottom, get_window_rect(bar).top) << "above the bar";
  EXPECT_EQ(get_active_window(), active) << "the tip takes no activation";
  stylus(bar, connect, MouseInput::Kind::up);
  EXPECT_FALSE(shown_toolbar_tip());
  EXPECT_FALSE(is_window(tip));
  EXPECT_EQ(frame.commands, (std::vector<UINT>{32780, 32780}));
  // A button without a tip shows none.
  stylus(bar, exit, MouseInput::Kind::down);
  EXPECT_FALSE(shown_toolbar_tip());
  stylus(bar, exit, MouseInput::Kind::up);
  // A tip still up when the bar goes is taken down with it.
  stylus(bar, connect, MouseInput::Kind::down);
  ASSERT_TRUE(shown_toolbar_tip());
  destroy_window(bar);
  EXPECT_FALSE(shown_toolbar_tip());
}

TEST(ListView, ColumnQueriesAnswerTheTitle) {
  HeadlessUi ui;
  Frame frame;
  Hwnd lv = create_window(CreateParams{class_name::list_view, u"", ws::child | ws::visible | lvs::report, 0,
                                       RECT{0, 0, 240, 200}, frame.hwnd(), 101});
  ListViewControl l{lv};
  l.insert_column(0, u"Бумага", 80);
  l.insert_column(1, u"Цена", 60, lvcfmt::right);
  std::u16string long_title(600, u'Ж');
  l.insert_column(2, long_title, 40);
  EXPECT_EQ(l.column_title(0), u"Бумага");
  EXPECT_EQ(l.column_title(1), u"Цена");
  EXPECT_EQ(l.column_title(2), long_title);
  EXPECT_EQ(l.column_title(3), u"");

  // The raw query cuts the title to the buffer and always ends it.
  char16_t buf[4] = {u'x', u'x', u'x', u'x'};
  ListViewColumn c;
  c.mask = lvcf::text | lvcf::width | lvcf::fmt;
  c.text = buf;
  c.text_max = 4;
  ASSERT_EQ(send_message(lv, lvm::get_column, 1, reinterpret_cast<LPARAM>(&c)), 1);
  EXPECT_EQ(std::u16string(buf), u"Цен");
  EXPECT_EQ(c.width, 60);
  EXPECT_EQ(c.fmt, lvcfmt::right);
  // No room or no buffer: nothing is written, the other fields still come.
  c.text_max = 0;
  buf[0] = u'z';
  ASSERT_EQ(send_message(lv, lvm::get_column, 0, reinterpret_cast<LPARAM>(&c)), 1);
  EXPECT_EQ(buf[0], u'z');
  c.text = nullptr;
  c.text_max = 10;
  EXPECT_EQ(send_message(lv, lvm::get_column, 0, reinterpret_cast<LPARAM>(&c)), 1);
  EXPECT_EQ(c.width, 80);
}
