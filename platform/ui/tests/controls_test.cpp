// The standard controls driven by scripted input on the headless backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/recording_canvas.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"

using namespace kelda::ui;

namespace {

// A parent that logs the notifications its controls send.
class Host : public Window {
 public:
  struct Note {
    UINT id;
    UINT code;
    LPARAM lp;
  };
  std::vector<Note> notes;
  std::vector<ListViewNotify> list_notes;
  std::vector<GestureNotify> gestures;
  std::vector<UpDownNotify> ups;
  LRESULT refuse_code = 0;  // answer to udn::delta_pos / tcn::sel_changing
  std::function<LRESULT(ListViewCustomDraw&)> custom_draw;

  Host() {
    CreateParams p;
    p.style = ws::popup | ws::visible;
    p.rect = RECT{0, 26, 240, 320};
    create(p);
  }
  Hwnd add(std::u16string_view cls, DWORD style, RECT r, UINT id, std::u16string_view text = u"") {
    CreateParams p;
    p.class_name = cls;
    p.text = text;
    p.style = ws::child | ws::visible | style;
    p.rect = r;
    p.parent = hwnd();
    p.id = id;
    return create_window(p);
  }
  std::vector<UINT> codes(UINT id) const {
    std::vector<UINT> out;
    for (auto& n : notes)
      if (n.id == id) out.push_back(n.code);
    return out;
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::command) notes.push_back({lo_word(wp), hi_word(wp), lp});
    if (msg == wm::notify) {
      auto* h = reinterpret_cast<NotifyHeader*>(lp);
      notes.push_back({static_cast<UINT>(h->id_from), h->code, lp});
      if (h->code == nm::click || h->code == nm::dbl_clk || h->code == lvn::item_changed)
        list_notes.push_back(*reinterpret_cast<ListViewNotify*>(lp));
      if (h->code == gn::context_menu) gestures.push_back(*reinterpret_cast<GestureNotify*>(lp));
      if (h->code == udn::delta_pos) {
        ups.push_back(*reinterpret_cast<UpDownNotify*>(lp));
        return refuse_code;
      }
      if (h->code == tcn::sel_changing) return refuse_code;
      if (h->code == nm::custom_draw && custom_draw) return custom_draw(*reinterpret_cast<ListViewCustomDraw*>(lp));
      return 0;
    }
    return default_proc(msg, wp, lp);
  }
};

}  // namespace

TEST(Edit, TypingHonoursDigitsOnlyLimitAndPasswordStyles) {
  HeadlessUi ui;
  Host host;
  Hwnd plain = host.add(class_name::edit, es::auto_hscroll, RECT{0, 0, 120, 20}, 10);
  Hwnd digits = host.add(class_name::edit, es::number, RECT{0, 30, 120, 50}, 11);
  Hwnd secret = host.add(class_name::edit, es::password, RECT{0, 60, 120, 80}, 12);
  EditControl{plain}.limit_text(5);

  scripted::set_text_by_typing(plain, u"Цена 12345");
  EXPECT_EQ(get_window_text(plain), u"Цена ");
  EXPECT_NE(std::find(host.codes(10).begin(), host.codes(10).end(), en::max_text), host.codes(10).end());
  int beeps = beep_count();
  scripted::set_text_by_typing(digits, u"1a2");
  EXPECT_EQ(get_window_text(digits), u"12");
  EXPECT_EQ(beep_count(), beeps + 1);
  scripted::set_text_by_typing(secret, u"пароль");
  EXPECT_EQ(get_window_text(secret), u"пароль");
  auto drawn = scripted::record_paint(secret);
  bool masked = false;
  for (auto& r : drawn) masked |= r.op == CanvasOp::text_out && r.text == u"******";
  EXPECT_TRUE(masked) << "a password field shows one mark per character";

  // Editing keys: select all and replace, backspace, delete.
  set_focus(plain);
  EditControl{plain}.set_sel(0, -1);
  scripted::type_text(u"ab");
  scripted::press_key(vk::left);
  scripted::press_key(vk::back);
  EXPECT_EQ(get_window_text(plain), u"b");
  scripted::press_key(vk::home);
  scripted::press_key(vk::del);
  EXPECT_EQ(get_window_text(plain), u"");
  auto changes = host.codes(10);
  EXPECT_GE(std::count(changes.begin(), changes.end(), en::change), 4);
}

TEST(Edit, ReadOnlyMultiLineTakesAppendedTextButNoTyping) {
  HeadlessUi ui;
  Host host;
  Hwnd out = host.add(class_name::edit, es::multiline | es::read_only | ws::vscroll, RECT{0, 0, 200, 60}, 1002);
  EditControl e{out};
  for (int i = 1; i <= 12; ++i) {
    set_focus(out);
    int end = static_cast<int>(get_window_text(out).size());
    e.set_sel(end, end);
    e.scroll_caret();
    std::string line = std::to_string(i) + ": Reply ok. Time: 5 ms\r\n";
    e.replace_sel(std::u16string(line.begin(), line.end()));
  }
  EXPECT_EQ(e.line_count(), 13);  // twelve lines and the empty one after the last break
  EXPECT_GT(e.first_visible_line(), 0) << "the end was scrolled into view";
  std::u16string before = get_window_text(out);
  scripted::type_text(u"x");
  EXPECT_EQ(get_window_text(out), before);
}

TEST(ComboBox, SortedDropDownListChosenByTapNotifiesTheParent) {
  HeadlessUi ui;
  Host host;
  Hwnd combo = host.add(class_name::combo_box, cbs::drop_down_list | cbs::sort, RECT{10, 10, 150, 120}, 1003);
  ComboBoxControl c{combo};
  for (const char16_t* t : {u"Окно2", u"Новое окно", u"Окно1"}) c.set_item_data(c.add(t), 7);
  ASSERT_EQ(c.count(), 3);
  EXPECT_EQ(c.text(0), u"Новое окно");
  EXPECT_EQ(c.text(2), u"Окно2");
  c.set_item_data(1, 42);
  EXPECT_EQ(c.cur_sel(), -1);
  ASSERT_TRUE(scripted::choose_item(combo, u"Окно1"));
  EXPECT_EQ(c.cur_sel(), 1);
  EXPECT_EQ(c.item_data(c.cur_sel()), 42);
  EXPECT_EQ(get_window_text(combo), u"Окно1");
  EXPECT_FALSE(c.dropped());
  auto codes = host.codes(1003);
  EXPECT_NE(std::find(codes.begin(), codes.end(), cbn::sel_change), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), cbn::close_up), codes.end());
  // A tap elsewhere closes an open list without choosing.
  c.show_dropdown(true);
  EXPECT_TRUE(c.dropped());
  scripted::tap_at(host.hwnd(), POINT{200, 250});
  EXPECT_FALSE(c.dropped());
  EXPECT_EQ(c.cur_sel(), 1);
  // Setting the text of a drop-down list chooses the item of that text, and
  // a text no item has changes nothing and is reported as a failure.
  EXPECT_TRUE(set_window_text(combo, u"окно2"));
  EXPECT_EQ(c.cur_sel(), 2);
  EXPECT_FALSE(set_window_text(combo, u"Окно3"));
  EXPECT_EQ(c.cur_sel(), 2);
}

TEST(ComboBox, EditableComboReportsTypingAndKeepsItemData) {
  HeadlessUi ui;
  Host host;
  Hwnd combo = host.add(class_name::combo_box, cbs::drop_down | cbs::sort, RECT{10, 10, 150, 120}, 1009);
  ComboBoxControl c{combo};
  c.add(u"C2");
  c.add(u"C1");
  scripted::set_text_by_typing(combo, u"C9");
  EXPECT_EQ(get_window_text(combo), u"C9");
  EXPECT_EQ(c.cur_sel(), -1);
  auto codes = host.codes(1009);
  EXPECT_NE(std::find(codes.begin(), codes.end(), cbn::edit_change), codes.end());
  c.set_cur_sel(0);
  EXPECT_EQ(get_window_text(combo), u"C1");
}

TEST(ListBox, MultipleSelectionTogglesByTap) {
  HeadlessUi ui;
  Host host;
  Hwnd list = host.add(class_name::list_box, lbs::multiple_sel | lbs::notify | ws::vscroll, RECT{0, 0, 120, 60}, 1134);
  ListBoxControl lb{list};
  for (int i = 0; i < 20; ++i) lb.set_item_data(lb.add(u"item " + std::u16string(1, static_cast<char16_t>(u'a' + i))), i);
  scripted::choose_index(list, 2);
  scripted::choose_index(list, 15);
  scripted::choose_index(list, 2);
  EXPECT_EQ(lb.selected_items(), std::vector<int>{15});
  EXPECT_EQ(send_message(list, lb::get_sel_items, 5, 0), lb::err) << "no buffer: nothing written";
  EXPECT_EQ(lb.item_data(15), 15);
  EXPECT_GT(static_cast<int>(send_message(list, lb::get_top_index)), 0) << "a chosen item is scrolled into view";
}

TEST(ListBox, ThumbDraggedToTheEndOfAHundredThousandItemsReachesTheLastPage) {
  HeadlessUi ui;
  Host host;
  Hwnd list = host.add(class_name::list_box, ws::vscroll, RECT{0, 0, 120, 200}, 1135);
  ListBoxControl lb{list};
  const int n = 100000;
  for (int i = 0; i < n; ++i) lb.add(u"item");
  ASSERT_EQ(lb.count(), n);
  // The thumb of the window's own bar, right of the client area, from the top to the bottom end.
  const RECT cl = get_client_rect(list);
  const int bar = get_system_metrics(sm::cx_vscroll);
  scripted::drag(list, {POINT{cl.right + bar / 2, bar + 2}, POINT{cl.right + bar / 2, cl.bottom / 2},
                        POINT{cl.right + bar / 2, cl.bottom + 50}});
  const int top = static_cast<int>(send_message(list, lb::get_top_index));
  EXPECT_GT(top, n - 100) << "a thumb position past 65535 must not wrap";
}

TEST(ListBox, LongListsKeepTheirOrderThroughInsertsAndDeletesAnywhere) {
  HeadlessUi ui;
  Host host;
  // Against a plain vector: inserts and deletes at the ends and at random
  // places, enough of them to fill, split and empty many chunks of items.
  Hwnd plain = host.add(class_name::list_box, 0, RECT{0, 0, 120, 60}, 1136);
  ListBoxControl lb{plain};
  std::vector<std::u16string> model;
  std::mt19937 rng(5);
  for (int step = 0; step < 6000; ++step) {
    const int n = static_cast<int>(model.size());
    if (n > 0 && rng() % 3 == 0) {
      int at = step % 7 == 0 ? 0 : step % 7 == 1 ? n - 1 : static_cast<int>(rng() % static_cast<unsigned>(n));
      ASSERT_EQ(lb.remove(at), n - 1);
      model.erase(model.begin() + at);
    } else {
      int at = step % 5 == 0 ? 0 : step % 5 == 1 ? -1 : static_cast<int>(rng() % static_cast<unsigned>(n + 1));
      std::string t = std::to_string(step);
      std::u16string text(t.begin(), t.end());
      int got = lb.insert(at, text);
      ASSERT_EQ(got, at < 0 ? n : at);
      model.insert(model.begin() + got, text);
      lb.set_item_data(got, step);
    }
  }
  ASSERT_EQ(lb.count(), static_cast<int>(model.size()));
  for (int i = 0; i < lb.count(); ++i) {
    ASSERT_EQ(lb.text(i), model[static_cast<size_t>(i)]) << i;
    ASSERT_EQ(std::to_string(lb.item_data(i)), std::string(model[static_cast<size_t>(i)].begin(), model[static_cast<size_t>(i)].end()));
  }

  // A sorted list: each item goes after those that sort before or equal to it
  // (regardless of case), so equal items keep the order they came in.
  Hwnd sorted = host.add(class_name::list_box, lbs::sort, RECT{0, 70, 120, 130}, 1137);
  ListBoxControl sl{sorted};
  for (int i = 0; i < 3000; ++i) {
    std::string t = std::to_string(rng() % 500);
    std::u16string text(t.begin(), t.end());
    sl.set_item_data(sl.add(i % 2 ? text + u"x" : text + u"X"), i);
  }
  for (int i = 1; i < sl.count(); ++i) {
    std::u16string a = sl.text(i - 1), b = sl.text(i);
    for (auto* s : {&a, &b}) {
      if (!s->empty() && s->back() == u'X') s->back() = u'x';
    }
    ASSERT_LE(a, b) << i;
    if (a == b) {
      ASSERT_LT(sl.item_data(i - 1), sl.item_data(i)) << "equal items stay in arrival order";
    }
  }
  EXPECT_EQ(sl.add(u""), 0);
  EXPECT_EQ(sl.find_exact(u"X"), -1);
}

TEST(UpDown, BuddyStepsReportDeltaAndTheParentCanRefuse) {
  HeadlessUi ui;
  Host host;
  Hwnd edit = host.add(class_name::edit, 0, RECT{10, 10, 110, 30}, 105);
  Hwnd spin = host.add(class_name::up_down, uds::auto_buddy | uds::align_right, RECT{0, 0, 13, 20}, 1032);
  EXPECT_EQ(UpDownControl{spin}.buddy(), edit);
  RECT er = get_window_rect(edit), sr = get_window_rect(spin);
  EXPECT_EQ(er.right, sr.left) << "the arrows sit inside the buddy's right edge";
  RECT sc = get_client_rect(spin);
  scripted::tap_at(spin, POINT{sc.right / 2, 2});           // the upper arrow
  scripted::tap_at(spin, POINT{sc.right / 2, sc.bottom - 2});  // the lower arrow
  ASSERT_EQ(host.ups.size(), 2u);
  EXPECT_EQ(host.ups[0].delta, -1) << "with the default range (100..0) the upper arrow counts down";
  EXPECT_EQ(host.ups[1].delta, 1);
  host.refuse_code = 1;
  int before = UpDownControl{spin}.pos();
  scripted::tap_at(spin, POINT{sc.right / 2, 2});
  EXPECT_EQ(UpDownControl{spin}.pos(), before);
  // At the top of the whole 32-bit range a step stays there.
  host.refuse_code = 0;
  send_message(spin, udm::set_range32, 0, INT32_MAX);
  send_message(spin, udm::set_pos32, 0, INT32_MAX);
  scripted::tap_at(spin, POINT{sc.right / 2, 2});
  EXPECT_EQ(send_message(spin, udm::get_pos32), INT32_MAX);
}

TEST(DatePicker, StepsFieldsWithinTheCalendarAndRefusesBadDates) {
  HeadlessUi ui;
  Host host;
  Hwnd dp = host.add(class_name::date_picker, dts::up_down, RECT{10, 10, 130, 30}, 1046);
  DatePickerControl d{dp};
  EXPECT_FALSE(d.set_date(SYSTEMTIME{2023, 2, 0, 29, 0, 0, 0, 0}));
  ASSERT_TRUE(d.set_date(SYSTEMTIME{2024, 1, 0, 31, 0, 0, 0, 0}));
  scripted::tap_at(dp, POINT{font_engine().text_width(system_font(), u"31.") + 5, 10});  // the month
  RECT c = get_client_rect(dp);
  scripted::tap_at(dp, POINT{c.right - 2, 2});  // one month on
  auto got = d.date();
  ASSERT_TRUE(got);
  EXPECT_EQ(got->wMonth, 2);
  EXPECT_EQ(got->wDay, 29) << "31 January plus a month is the end of February in a leap year";
  EXPECT_EQ(got->wDayOfWeek, 4);
  auto codes = host.codes(1046);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), dtn::datetime_change), 1);
}

TEST(Button, CheckBoxesAndRadioGroupsFollowTapsAndArrows) {
  HeadlessUi ui;
  Host host;
  Hwnd check = host.add(class_name::button, bs::auto_check_box | ws::tab_stop, RECT{0, 0, 100, 16}, 112, u"Стоп-заявка");
  Hwnd buy = host.add(class_name::button, bs::auto_radio_button | ws::group | ws::tab_stop, RECT{0, 20, 100, 36}, 107, u"Покупка");
  Hwnd sell = host.add(class_name::button, bs::auto_radio_button, RECT{0, 40, 100, 56}, 108, u"Продажа");
  Hwnd other = host.add(class_name::button, bs::push_button | ws::group, RECT{0, 60, 100, 80}, 1, u"OK");
  scripted::tap(check);
  EXPECT_EQ(ButtonControl{check}.check(), bst::checked);
  scripted::tap(check);
  EXPECT_EQ(ButtonControl{check}.check(), bst::unchecked);
  scripted::tap(buy);
  scripted::tap(sell);
  EXPECT_EQ(ButtonControl{buy}.check(), bst::unchecked);
  EXPECT_EQ(ButtonControl{sell}.check(), bst::checked);
  EXPECT_EQ(host.codes(107), std::vector<UINT>{bn::clicked});
  // A press that leaves the button before the release is no click.
  scripted::drag(other, {POINT{5, 5}, POINT{150, 150}});
  EXPECT_TRUE(host.codes(1).empty());
  EXPECT_EQ(next_dlg_group_item(host.hwnd(), sell, false), buy) << "the group wraps before the next ws::group";
}

// A text longer than its check box: on one line it is cut; with the
// multiline style it wraps into lines that all lie inside the box.
TEST(Button, MultilineCheckBoxesWrapTheirTextInsideTheBox) {
  HeadlessUi ui;
  Host host;
  const std::u16string text = u"Получать данные по установленным фильтрам";
  Hwnd one = host.add(class_name::button, bs::auto_check_box, RECT{0, 0, 120, 32}, 1, text);
  Hwnd wraps = host.add(class_name::button, bs::auto_check_box | bs::multiline, RECT{0, 40, 120, 104}, 2, text);
  const auto drawn = [&](Hwnd button) {
    for (const CanvasRecord& r : scripted::record_paint(button)) {
      if (r.op == CanvasOp::draw_text && !(r.flags & dt::calc_rect)) return r;
    }
    return CanvasRecord{};
  };
  EXPECT_TRUE(drawn(one).flags & dt::single_line);
  const CanvasRecord r = drawn(wraps);
  EXPECT_EQ(r.text, text);
  EXPECT_FALSE(r.flags & dt::single_line);
  EXPECT_TRUE(r.flags & dt::word_break);
  // Measured as drawn: every line within the box's width, the lines within
  // its height, the block centred.
  RecordingCanvas c;
  const Font f(r.font);
  c.select_font(&f);
  RECT lines = r.rect;
  const int height = c.draw_text(text, lines, dt::word_break | dt::calc_rect);
  EXPECT_LE(lines.right, r.rect.right);
  EXPECT_GE(height, 2 * font_engine().metrics(f).height) << "two lines at least";
  EXPECT_LE(r.rect.top + height, 64);
  EXPECT_GT(r.rect.top, 0);
}

TEST(TabControl, ParentMayKeepThePageAndTheDisplayAreaLiesBelowTheTabs) {
  HeadlessUi ui;
  Host host;
  Hwnd tab = host.add(class_name::tab_control, 0, RECT{0, 0, 220, 150}, 1244);
  TabControlWrapper t{tab};
  t.insert_item(0, u"Скольз.средние");
  t.insert_item(1, u"Сигнал.линия");
  EXPECT_EQ(t.cur_sel(), 0);
  RECT second{};
  send_message(tab, tcm::get_item_rect, 1, reinterpret_cast<LPARAM>(&second));
  host.refuse_code = 1;
  scripted::tap_at(tab, POINT{(second.left + second.right) / 2, 5});
  EXPECT_EQ(t.cur_sel(), 0);
  host.refuse_code = 0;
  scripted::tap_at(tab, POINT{(second.left + second.right) / 2, 5});
  EXPECT_EQ(t.cur_sel(), 1);
  auto codes = host.codes(1244);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), tcn::sel_change), 1);
  RECT d = t.display_rect();
  EXPECT_GE(d.top, second.bottom - 2);
  EXPECT_LT(d.bottom, 150);
  // Removing a tab before the chosen one keeps that tab chosen.
  t.insert_item(2, u"Объём");
  send_message(tab, tcm::delete_item, 0);
  EXPECT_EQ(t.cur_sel(), 0) << "\"Сигнал.линия\" moved to 0 and stays chosen";
}

TEST(ScrollBar, ReportsLinePageTrackAndEndCodes) {
  HeadlessUi ui;
  struct Scrolls : Host {
    std::vector<std::pair<int, int>> got;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::hscroll) got.emplace_back(lo_word(wp), static_cast<int16_t>(hi_word(wp)));
      return Host::window_proc(msg, wp, lp);
    }
  } host;
  Hwnd bar = host.add(class_name::scroll_bar, sbs::horz, RECT{0, 100, 200, 113}, 100);
  ScrollInfo si;
  si.mask = sif::all;
  si.min = 0;
  si.max = 99;
  si.page = 10;
  si.pos = 0;
  set_scroll_info(bar, sb::ctl, si);
  scripted::tap_at(bar, POINT{200 - 3, 6});  // right arrow
  scripted::tap_at(bar, POINT{150, 6});      // the track right of the thumb
  ASSERT_GE(host.got.size(), 4u);
  EXPECT_EQ(host.got[0].first, sb::line_down);
  EXPECT_EQ(host.got[1].first, sb::end_scroll);
  EXPECT_EQ(host.got[2].first, sb::page_down);
  host.got.clear();
  scripted::drag(bar, {POINT{20, 6}, POINT{100, 6}});
  ASSERT_GE(host.got.size(), 3u);
  EXPECT_EQ(host.got.front().first, sb::thumb_track);
  EXPECT_EQ(host.got[host.got.size() - 2].first, sb::thumb_position);
  EXPECT_GT(host.got[host.got.size() - 2].second, 30);
  EXPECT_EQ(host.got.back().first, sb::end_scroll);
  EXPECT_EQ(get_scroll_pos(bar, sb::ctl), 0) << "the owner moves the thumb, not the bar";

  // Ranges to the ends of int, and a page wider than int: no overflow, the
  // thumb still reports positions inside the range.
  for (ScrollInfo wide : {ScrollInfo{sif::all, 0, INT32_MAX, 10, INT32_MAX - 5, 0},
                          ScrollInfo{sif::all, INT32_MIN, INT32_MAX, 0, 0, 0},
                          ScrollInfo{sif::all, INT32_MIN, 0, 0x90000000u, INT32_MIN, 0}}) {
    set_scroll_info(bar, sb::ctl, wide);
    host.got.clear();
    scripted::drag(bar, {POINT{20, 6}, POINT{100, 6}, POINT{180, 6}});
    update_window(host.hwnd());
    ScrollInfo got;
    ASSERT_TRUE(get_scroll_info(bar, sb::ctl, got));
    EXPECT_GE(got.pos, wide.min);
    EXPECT_LE(got.pos, wide.max);
  }
  set_scroll_info(bar, sb::ctl, si);
  // The same on a window's own bar.
  Hwnd plain = host.add(u"", ws::vscroll, RECT{0, 170, 100, 260}, 101);
  set_scroll_info(plain, sb::vert, ScrollInfo{sif::all, INT32_MIN, INT32_MAX, 0x90000000u, 0, 0});
  update_window(plain);
  EXPECT_EQ(get_scroll_pos(plain, sb::vert), INT32_MAX - int64_t{0x90000000u} + 1) << "the last page";
  RECT pr = get_client_rect(plain);
  const int bw = get_system_metrics(sm::cx_vscroll);
  scripted::drag(plain, {POINT{pr.right + bw / 2, bw + 2}, POINT{pr.right + bw / 2, pr.bottom - bw - 1}});

  // A scroll bar class of a program sees its own notifications reflected
  // back when the parent leaves them to the default processing.
  struct OwnBar : Window {
    std::vector<int> codes;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::reflect_base + wm::hscroll) {
        codes.push_back(lo_word(wp));
        return 1;
      }
      return default_proc(msg, wp, lp);
    }
  } own;
  ASSERT_TRUE(own.create(CreateParams{class_name::scroll_bar, u"", ws::child | ws::visible | sbs::horz, 0,
                                      RECT{0, 150, 200, 163}, host.hwnd(), 100}));
  set_scroll_info(own.hwnd(), sb::ctl, si);
  host.got.clear();
  scripted::tap_at(own.hwnd(), POINT{200 - 3, 6});
  EXPECT_EQ(own.codes, (std::vector<int>{sb::line_down, sb::end_scroll}));
  EXPECT_EQ(host.got.size(), 2u) << "the parent saw them first";
}

namespace {
Hwnd make_table(Host& host, int rows) {
  Hwnd lv = host.add(class_name::list_view, lvs::report | ws::tab_stop, RECT{0, 0, 240, 200}, 101);
  ListViewControl l{lv};
  l.set_extended_style(lvs_ex::full_row_select, lvs_ex::full_row_select);
  l.insert_column(0, u"", 30);
  l.insert_column(1, u"Бумага", 80);
  l.insert_column(2, u"Цена", 60, lvcfmt::right);
  for (int i = 0; i < rows; ++i) {
    std::string n = std::to_string(i + 1);
    int at = l.insert_item(i, std::u16string(n.begin(), n.end()), 1000 + i);
    l.set_item_text(at, 1, u"ГАЗПРОМ");
    l.set_item_text(at, 2, u"123.45");
  }
  return lv;
}
}  // namespace

TEST(ListView, RowsTextsDataSelectionAndHitTests) {
  HeadlessUi ui;
  Host host;
  Hwnd lv = make_table(host, 50);
  ListViewControl l{lv};
  EXPECT_EQ(l.item_count(), 50);
  EXPECT_EQ(l.column_count(), 3);
  EXPECT_EQ(l.item_text(7, 1), u"ГАЗПРОМ");
  EXPECT_EQ(l.item_data(7), 1007);
  const std::u16string long_text(5000, u'Ж');  // longer than any first guess of a buffer
  l.set_item_text(8, 2, long_text);
  EXPECT_EQ(l.item_text(8, 2), long_text);
  l.set_item_text(8, 2, u"123.45");
  EXPECT_EQ(l.next_item(-1, lvni::selected), -1);
  RECT r3 = l.item_rect(3);
  scripted::tap_at(lv, POINT{100, (r3.top + r3.bottom) / 2});
  EXPECT_EQ(l.next_item(-1, lvni::selected), 3);
  EXPECT_EQ(l.hit_test(POINT{100, (r3.top + r3.bottom) / 2}), 3);
  ASSERT_FALSE(host.list_notes.empty());
  EXPECT_EQ(host.list_notes.back().hdr.code, nm::click);
  EXPECT_EQ(host.list_notes.back().item, 3);
  bool changed = false;
  for (auto& n : host.list_notes) changed |= n.hdr.code == lvn::item_changed && n.item == 3 && (n.new_state & lvis::selected);
  EXPECT_TRUE(changed);
  // A tap on another row moves the one selection.
  RECT r5 = l.item_rect(5);
  scripted::tap_at(lv, POINT{100, (r5.top + r5.bottom) / 2});
  EXPECT_EQ(l.next_item(-1, lvni::selected), 5);
  EXPECT_EQ(l.next_item(5, lvni::selected), -1);
  // Scrolling a row into view.
  EXPECT_EQ(l.top_index(), 0);
  l.ensure_visible(49);
  EXPECT_EQ(l.top_index() + l.count_per_page() - 1, 49);
  l.delete_item(5);
  EXPECT_EQ(l.next_item(-1, lvni::selected), -1);
  EXPECT_EQ(l.item_data(5), 1006);
}

TEST(ListView, TapAndHoldDoubleTapAndCustomColours) {
  HeadlessUi ui;
  Host host;
  Hwnd lv = make_table(host, 10);
  ListViewControl l{lv};
  RECT r2 = l.item_rect(2);
  POINT p{60, (r2.top + r2.bottom) / 2};
  scripted::tap_and_hold_at(lv, p);
  ASSERT_EQ(host.gestures.size(), 1u);
  EXPECT_EQ(host.gestures[0].hdr.code, gn::context_menu);
  EXPECT_EQ(host.gestures[0].hdr.id_from, 101u);
  EXPECT_EQ(host.gestures[0].item, 2);
  POINT screen = client_to_screen(lv, p);
  EXPECT_EQ(host.gestures[0].action.x, screen.x);
  EXPECT_EQ(host.gestures[0].action.y, screen.y);
  EXPECT_EQ(l.next_item(-1, lvni::selected), 2);
  host.list_notes.clear();
  scripted::double_tap_at(lv, p);
  ASSERT_FALSE(host.list_notes.empty());
  EXPECT_EQ(host.list_notes.back().hdr.code, nm::dbl_clk);
  EXPECT_EQ(host.list_notes.back().item, 2);

  // Item pre-paint colours: rows with even data red, the others blue.
  host.custom_draw = [](ListViewCustomDraw& cd) -> LRESULT {
    if (cd.nmcd.draw_stage == cdds::prepaint) return cdrf::notify_item_draw;
    cd.text_color = (cd.nmcd.item_lparam % 2 == 0) ? RGB(255, 0, 0) : RGB(0, 0, 255);
    return cdrf::do_default;
  };
  set_focus(host.hwnd());  // no selection colours
  auto drawn = scripted::record_paint(lv);
  int red = 0, blue = 0;
  for (auto& rec : drawn) {
    if (rec.op != CanvasOp::draw_text || rec.text != u"ГАЗПРОМ") continue;
    red += rec.text_color == RGB(255, 0, 0);
    blue += rec.text_color == RGB(0, 0, 255);
  }
  EXPECT_EQ(red, 5);
  EXPECT_EQ(blue, 5);
}

TEST(ListView, HundredThousandRowsPaintOnlyWhatIsInView) {
  HeadlessUi ui;
  Host host;
  Hwnd lv = make_table(host, 100000);
  ListViewControl l{lv};
  EXPECT_EQ(l.item_count(), 100000);
  l.ensure_visible(99999);
  auto drawn = scripted::record_paint(lv);
  int cells = 0;
  for (auto& rec : drawn) cells += rec.op == CanvasOp::draw_text;
  EXPECT_LT(cells, 3 * (l.count_per_page() + 2) + 3 + 1);
  ScrollInfo si;
  si.mask = sif::all;
  get_scroll_info(lv, sb::vert, si);
  EXPECT_EQ(si.max, 99999);
  EXPECT_EQ(si.pos, l.top_index());
}

// A cell set repaints its row when the row is in view and nothing when it is
// below; a row the view grows over (with no paint between) is repainted.
TEST(ListView, ACellSetRepaintsItsRowWhileItIsInView) {
  static const Font small = point_font(u"Tahoma", 5);
  struct Case {
    const char* how;
    std::function<void(Hwnd)> grow;
  };
  const Case cases[] = {
      {"a taller window moved without a repaint", [](Hwnd lv) { move_window(lv, 0, 0, 240, 290, false); }},
      {"a smaller font", [](Hwnd lv) { send_message(lv, wm::set_font, small.handle(), 0); }},
      {"no header",
       [](Hwnd lv) { set_window_long(lv, gwl::style, get_window_long(lv, gwl::style) | lvs::no_column_header); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    HeadlessUi ui;
    Host host;
    Hwnd lv = make_table(host, 200);
    ListViewControl l{lv};
    update_window(lv);
    const int below = l.count_per_page() + 1;  // the row after the one cut by the bottom
    RECT u{};
    l.set_item_text(below, 2, u"1.00");
    EXPECT_FALSE(get_update_rect(lv, &u));
    l.set_item_text(1, 2, u"2.00");
    ASSERT_TRUE(get_update_rect(lv, &u));
    EXPECT_EQ(u.top, l.item_rect(1).top);
    EXPECT_EQ(u.bottom, l.item_rect(1).bottom);

    c.grow(lv);
    validate_rect(lv, nullptr);
    const RECT row = l.item_rect(below), client = get_client_rect(lv);
    ASSERT_LT(row.top, client.bottom) << "the row is in view now";
    l.set_item_text(below, 2, u"3.00");
    ASSERT_TRUE(get_update_rect(lv, &u));
    EXPECT_EQ(u.top, row.top);
    EXPECT_EQ(u.bottom, std::min(row.bottom, client.bottom));
    bool shown = false;
    for (auto& rec : scripted::record_paint(lv)) shown |= rec.op == CanvasOp::draw_text && rec.text == u"3.00";
    EXPECT_TRUE(shown);
  }
}

TEST(ListView, RowsKeepTheirOrderDataAndSelectionThroughInsertsAndDeletesAnywhere) {
  HeadlessUi ui;
  Host host;
  Hwnd lv = host.add(class_name::list_view, lvs::report, RECT{0, 0, 240, 200}, 102);
  ListViewControl l{lv};
  l.insert_column(0, u"", 50);
  l.insert_column(1, u"", 50);
  struct ModelRow {
    int data;
    bool selected;
  };
  std::vector<ModelRow> model;
  std::mt19937 rng(9);
  for (int step = 0; step < 5000; ++step) {
    const int n = static_cast<int>(model.size());
    if (n > 0 && rng() % 3 == 0) {
      int at = step % 7 == 0 ? 0 : step % 7 == 1 ? n - 1 : static_cast<int>(rng() % static_cast<unsigned>(n));
      ASSERT_TRUE(l.delete_item(at));
      model.erase(model.begin() + at);
    } else {
      int at = step % 5 == 0 ? 0 : step % 5 == 1 ? n : static_cast<int>(rng() % static_cast<unsigned>(n + 1));
      std::string t = std::to_string(step);
      ASSERT_EQ(l.insert_item(at, std::u16string(t.begin(), t.end()), step), at);
      l.set_item_text(at, 1, std::u16string(t.begin(), t.end()) + u"b");
      model.insert(model.begin() + at, ModelRow{step, step % 4 == 0});
      if (step % 4 == 0) l.set_item_state(at, lvis::selected, lvis::selected);
    }
  }
  ASSERT_EQ(l.item_count(), static_cast<int>(model.size()));
  int selected = 0;
  for (int i = 0; i < l.item_count(); ++i) {
    const ModelRow& m = model[static_cast<size_t>(i)];
    std::string t = std::to_string(m.data);
    ASSERT_EQ(l.item_data(i), m.data) << i;
    ASSERT_EQ(l.item_text(i, 1), std::u16string(t.begin(), t.end()) + u"b") << i;
    ASSERT_EQ(send_message(lv, lvm::get_item_state, static_cast<WPARAM>(i), lvis::selected) != 0, m.selected) << i;
    selected += m.selected ? 1 : 0;
  }
  int walked = 0;
  for (int i = l.next_item(-1, lvni::selected); i >= 0; i = l.next_item(i, lvni::selected)) ++walked;
  EXPECT_EQ(walked, selected);
}

TEST(ListView, HeaderBorderDragSetsTheColumnWidth) {
  HeadlessUi ui;
  Host host;
  Hwnd lv = make_table(host, 3);
  ListViewControl l{lv};
  int border = 30 + 80;  // right edge of column 1
  scripted::drag(lv, {POINT{border, 5}, POINT{border + 25, 5}});
  EXPECT_EQ(l.column_width(1), 105);
  EXPECT_EQ(l.column_width(2), 60);
}

TEST(Static, PictureShowsItsBitmap) {
  HeadlessUi ui;
  Host host;
  register_bitmap("", 230, Bitmap(20, 10, 0xFF00FF00u));
  Hwnd pic = host.add(class_name::static_, ss::bitmap, RECT{0, 0, 40, 40}, 1247);
  StaticControl{pic}.set_image(find_bitmap("", 230));
  auto drawn = scripted::record_paint(pic);
  bool shown = false;
  for (auto& rec : drawn) shown |= rec.op == CanvasOp::draw_bitmap && rec.bitmap_id == 230;
  EXPECT_TRUE(shown);
  // Icons go by name too, whatever the letter case.
  register_bitmap("sekura32", u"GraySpyFace", Bitmap(16, 16, 0xFF808080u));
  EXPECT_NE(find_bitmap("sekura32", u"GRAYSPYFACE"), nullptr);
  EXPECT_EQ(find_bitmap("", u"GRAYSPYFACE"), nullptr) << "each module has its own resources";
}
