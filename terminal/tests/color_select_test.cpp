// The colour-selection control on the headless backend: its decimal window
// text, the grey of a disabled control, and the popup grid driven by stylus
// taps (marking, choosing, closing outside, the band below the grid).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "colour_picking.h"
#include "terminal/color_select.h"
#include "ui/canvas.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

using colour_test::colour_cell_centre;
using colour_test::colour_field;
using colour_test::open_colour_popup;

constexpr COLORREF kViolet = 0x800080;

struct Host : ui::Window {};

std::vector<ui::CanvasRecord> edges_of(const std::vector<ui::CanvasRecord>& records) {
  std::vector<ui::CanvasRecord> out;
  std::copy_if(records.begin(), records.end(), std::back_inserter(out),
               [](const ui::CanvasRecord& r) { return r.op == ui::CanvasOp::draw_edge; });
  return out;
}

class ColorSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(register_color_select_class());
    ASSERT_TRUE(register_color_select_class());  // a second start-up finds it
    ui::CreateParams hp;
    hp.style = ui::ws::popup | ui::ws::visible;
    hp.rect = {0, 26, 240, 260};
    ASSERT_TRUE(host.create(hp));
    ui::CreateParams p;
    p.class_name = kColorSelectClass;
    p.style = ui::ws::child | ui::ws::visible | ui::ws::tab_stop;
    p.rect = {10, 10, 110, 30};
    p.parent = host.hwnd();
    p.id = 1202;
    control = ui::create_window(p);
    ASSERT_TRUE(control);
  }
  std::u16string text() const { return ui::get_window_text(control); }
  void close_outside(ui::Hwnd popup) { ui::scripted::tap_at(popup, {-20, -20}); }

  ui::HeadlessUi ui;
  // A test's record of what the inner colour button was told; they outlive the control.
  std::vector<WPARAM> chosen;
  ui::WindowProcedure previous;
  Host host;
  ui::Hwnd control;
};

TEST_F(ColorSelectTest, TheWindowTextIsTheColourInDecimal) {
  EXPECT_EQ(text(), u"255");  // red until a dialog sets it
  struct Case {
    const char16_t* in;
    const char16_t* out;
  };
  const Case cases[] = {
      {u"8388736", u"8388736"},            // violet reads back the same
      {u"  16711680 blue", u"16711680"},   // leading digits
      {u"abc", u"0"},
      {u"4294967295", u"-1"},              // the unsigned form of all bits
      {u"99999999999", u"-1"},             // kept within 32 bits
      {u"-99999999999", u"-2147483648"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_TRUE(ui::set_window_text(control, c.in));
    EXPECT_EQ(text(), c.out);
  }
  ASSERT_TRUE(ui::set_window_text(control, u"8388736"));
  // The field shows the colour.
  const auto paint = ui::scripted::record_paint(colour_field(control));
  EXPECT_TRUE(std::any_of(paint.begin(), paint.end(), [](const ui::CanvasRecord& r) {
    return r.op == ui::CanvasOp::fill_rect && r.brush.color == kViolet;
  }));
  // A short buffer gets what fits and its terminator.
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(ui::send_message(control, ui::wm::get_text, 4, reinterpret_cast<LPARAM>(small)), 3);
  EXPECT_EQ(std::u16string(small), u"838");
}

TEST_F(ColorSelectTest, DisablingTurnsItGreyUntilTheTextIsSetAgain) {
  ASSERT_TRUE(ui::set_window_text(control, u"8388736"));
  ui::enable_window(control, false);
  EXPECT_EQ(text(), u"8421504");
  EXPECT_FALSE(ui::is_window_enabled(colour_test::colour_dots(control)));
  ui::enable_window(control, true);
  EXPECT_EQ(text(), u"8421504");
  EXPECT_TRUE(ui::is_window_enabled(colour_test::colour_dots(control)));
  ASSERT_TRUE(ui::set_window_text(control, u"255"));
  EXPECT_EQ(text(), u"255");
}

TEST_F(ColorSelectTest, ThePopupOpensUnderTheControlAndMarksTheCurrentColour) {
  ASSERT_TRUE(ui::set_window_text(control, u"8388736"));
  const ui::Hwnd popup = open_colour_popup(control);
  ASSERT_TRUE(popup);
  EXPECT_EQ(ui::get_capture(), popup);
  const RECT field = ui::get_window_rect(colour_field(control));
  const RECT at = ui::get_window_rect(popup);
  EXPECT_EQ(at.left, field.left);
  EXPECT_EQ(at.top, field.bottom);
  EXPECT_EQ(at.right - at.left, 2 * 2 + 8 * 13);
  // Violet is entry 22: its cell alone is sunken.
  const auto edges = edges_of(ui::scripted::record_paint(popup));
  ASSERT_EQ(edges.size(), 1u);
  const POINT centre = colour_cell_centre(22);
  EXPECT_EQ(edges[0].rect.left, centre.x - 6);
  EXPECT_EQ(edges[0].rect.top, centre.y - 6);
  // A second tap on "..." while it is open makes no second popup.
  ui::send_message(colour_field(control), ui::wm::command, 0, colour_test::colour_dots(control).to_lparam());
  const auto tops = ui::top_level_windows();
  EXPECT_EQ(std::count_if(tops.begin(), tops.end(),
                          [](ui::Hwnd w) { return ui::get_class_name(w) == kColorButtonClass; }),
            1);
  // Releasing outside closes it and keeps the colour.
  close_outside(popup);
  EXPECT_FALSE(ui::is_window(popup));
  EXPECT_FALSE(ui::get_capture());
  EXPECT_EQ(text(), u"8388736");
  // A colour that is not in the table marks no cell.
  ASSERT_TRUE(ui::set_window_text(control, u"1234567"));
  const ui::Hwnd again = open_colour_popup(control);
  ASSERT_TRUE(again);
  EXPECT_TRUE(edges_of(ui::scripted::record_paint(again)).empty());
  close_outside(again);
  EXPECT_EQ(text(), u"1234567");
}

TEST_F(ColorSelectTest, ChoosingACellTellsTheOwnerAndTakesTheColour) {
  const ui::Hwnd field = colour_field(control);
  previous = ui::set_window_procedure(field, [&](ui::Hwnd h, UINT m, WPARAM w, LPARAM l) {
    if (m == kColorPopupChosen) chosen.push_back(w);
    return previous(h, m, w, l);
  });
  colour_test::pick_colour(control, 13);  // "Blue"
  EXPECT_EQ(chosen, std::vector<WPARAM>{0xFF0000});
  EXPECT_EQ(text(), u"16711680");
  EXPECT_FALSE(colour_test::colour_popup());
  EXPECT_FALSE(ui::get_capture());

  // The rightmost pixels of a row belong to its last cell, never to the
  // first cell of the next row.
  ui::Hwnd popup = open_colour_popup(control);
  ASSERT_TRUE(popup);
  const RECT client = ui::get_client_rect(popup);
  ui::scripted::tap_at(popup, {client.right - 1, colour_cell_centre(0).y});
  EXPECT_EQ(text(), u"2631720");  // entry 7, "Dark grey"

  // The band sits below the grid: pressing it shows it, releasing there
  // chooses nothing and the popup stays; the lowest row stays reachable.
  popup = open_colour_popup(control);
  ASSERT_TRUE(popup);
  const RECT now = ui::get_client_rect(popup);
  const POINT band{now.right / 2, now.bottom - 2 - 12};
  EXPECT_GT(band.y - 12, colour_cell_centre(39).y + 6);
  ui.clear_screen_records();
  ui::scripted::tap_at(popup, band);
  const auto& drawn = ui.screen_records();
  EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const ui::CanvasRecord& r) {
    return r.op == ui::CanvasOp::draw_text && r.text == u"Другие цвета...";
  }));
  EXPECT_TRUE(ui::is_window(popup));
  EXPECT_EQ(ui::get_capture(), popup);
  EXPECT_EQ(text(), u"2631720");
  ui::scripted::tap_at(popup, colour_cell_centre(39));  // "White"
  EXPECT_EQ(text(), u"16777215");
  EXPECT_EQ(chosen.size(), 3u);
}

}  // namespace
}  // namespace kelda::terminal
