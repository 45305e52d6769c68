// The IP-address control driven by typed keys and by its messages on the
// headless backend: what typing makes of the four fields, the field moves,
// the messages a dialog uses, and the change notes its parent gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/ip_address.h"
#include "ui/recording_canvas.h"
#include "ui/testing.h"
#include "ui/window.h"

using namespace kelda::ui;

namespace {

class Parent : public Window {
 public:
  int changes = 0;
  Parent() {
    CreateParams p;
    p.style = ws::popup | ws::visible;
    p.rect = RECT{0, 26, 240, 320};
    create(p);
  }
  Hwnd add_control() {
    CreateParams p;
    p.class_name = class_name::ip_address;
    p.style = ws::child | ws::visible | ws::border | ws::tab_stop;
    p.rect = RECT{10, 10, 170, 32};
    p.parent = hwnd();
    p.id = 1102;
    return create_window(p);
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::command && lo_word(wp) == 1102 && hi_word(wp) == en::change) ++changes;
    return default_proc(msg, wp, lp);
  }
};

// What the control holds: its text, the fields filled and the address.
struct Held {
  std::u16string text;
  int filled;
  DWORD address;
};

Held held(Hwnd control) {
  DWORD address = 0xDEADBEEF;
  const int filled = IpAddressControl{control}.get(&address);
  return {get_window_text(control), filled, address};
}

}  // namespace

TEST(IpAddress, TypingFillsTheFourFields) {
  struct Case {
    std::u16string typed;
    Held expected;
  };
  const Case cases[] = {
      {u"10.0.0.5", {u"10.0.0.5", 4, make_ip_address(10, 0, 0, 5)}},
      {u"192168001001", {u"192.168.1.1", 4, make_ip_address(192, 168, 1, 1)}},  // three digits move on
      {u"192.168.1.1", {u"192.168.1.1", 4, make_ip_address(192, 168, 1, 1)}},  // a dot after them is no move
      {u"300.1.2.999", {u"255.1.2.255", 4, make_ip_address(255, 1, 2, 255)}},
      {u"1..2", {u"1.2..", 2, make_ip_address(1, 2, 0, 0)}},  // a dot in an empty field waits
      {u".5", {u"5...", 1, make_ip_address(5, 0, 0, 0)}},
      {u"12 34", {u"12.34..", 2, make_ip_address(12, 34, 0, 0)}},
      {u"1.2.3.4.5", {u"1.2.3.45", 4, make_ip_address(1, 2, 3, 45)}},  // the last field takes no dot
      {u"1.2.3.4567", {u"1.2.3.255", 4, make_ip_address(1, 2, 3, 255)}},  // nor a fourth digit
      {u"a1b-2", {u"12...", 1, make_ip_address(12, 0, 0, 0)}},
      {u"10.0\b\b", {u"1...", 1, make_ip_address(1, 0, 0, 0)}},  // backspace goes back over the dot
      {u"7\b\b", {u"", 0, 0}},
      {u"", {u"", 0, 0}},
  };
  HeadlessUi ui;
  Parent parent;
  const Hwnd control = parent.add_control();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed.begin(), c.typed.end()));
    IpAddressControl{control}.set(make_ip_address(9, 9, 9, 9));
    scripted::set_text_by_typing(control, c.typed);  // selects the whole address first
    const Held h = held(control);
    EXPECT_EQ(h.text, c.expected.text);
    EXPECT_EQ(h.filled, c.expected.filled);
    EXPECT_EQ(h.address, c.expected.address);
    EXPECT_EQ(IpAddressControl{control}.blank(), c.expected.filled == 0);
  }
}

TEST(IpAddress, KeysAndTapsMoveBetweenFields) {
  HeadlessUi ui;
  Parent parent;
  const Hwnd control = parent.add_control();
  IpAddressControl ip{control};
  ip.set(make_ip_address(1, 2, 3, 4));
  set_focus(control);
  scripted::press_key(vk::end);
  scripted::type_text(u"9");  // the current field's value is selected: replaced
  EXPECT_EQ(get_window_text(control), u"1.2.3.9");
  scripted::press_key(vk::left);
  scripted::press_key(vk::left);
  scripted::press_key(vk::del);
  EXPECT_EQ(get_window_text(control), u"1..3.9");
  scripted::type_text(u"77");
  scripted::press_key(vk::home);
  scripted::type_text(u"200");
  EXPECT_EQ(get_window_text(control), u"200.77.3.9");
  const RECT c = get_client_rect(control);
  scripted::tap_at(control, POINT{c.right * 5 / 8, c.bottom / 2});  // the third field
  scripted::type_text(u"4");
  EXPECT_EQ(get_window_text(control), u"200.77.4.9");
  scripted::press_key(vk::right);
  scripted::press_key(vk::back);
  EXPECT_EQ(get_window_text(control), u"200.77.4.") << "backspace erases the last digit";
  EXPECT_EQ(parent.changes, 9);
}

TEST(IpAddress, TheMessagesADialogUses) {
  struct Case {
    const char* what;
    UINT msg;
    LPARAM lp;
    std::u16string text;  // for wm::set_text
    Held expected;
  };
  const Case cases[] = {
      {"set", ipm::set_address, static_cast<LPARAM>(make_ip_address(127, 0, 0, 1)), u"",
       {u"127.0.0.1", 4, 0x7F000001}},
      {"set zero", ipm::set_address, 0, u"", {u"0.0.0.0", 4, 0}},
      {"clear", ipm::clear_address, 0, u"", {u"", 0, 0}},
      {"text", wm::set_text, 0, u"10.20.30.40", {u"10.20.30.40", 4, make_ip_address(10, 20, 30, 40)}},
      {"short text", wm::set_text, 0, u"10.20", {u"10.20..", 2, make_ip_address(10, 20, 0, 0)}},
      {"odd parts", wm::set_text, 0, u"1.x.1234.256", {u"1...255", 2, make_ip_address(1, 0, 0, 255)}},
      {"empty text", wm::set_text, 0, u"", {u"", 0, 0}},
  };
  HeadlessUi ui;
  Parent parent;
  const Hwnd control = parent.add_control();
  EXPECT_TRUE(IpAddressControl{control}.blank()) << "a new control is blank";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IpAddressControl{control}.set(make_ip_address(9, 9, 9, 9));
    if (c.msg == wm::set_text) {
      set_window_text(control, c.text);
    } else {
      send_message(control, c.msg, 0, c.lp);
    }
    const Held h = held(control);
    EXPECT_EQ(h.text, c.expected.text);
    EXPECT_EQ(h.filled, c.expected.filled);
    EXPECT_EQ(h.address, c.expected.address);
    EXPECT_EQ(send_message(control, ipm::is_blank) != 0, c.expected.filled == 0);
  }
  EXPECT_EQ(send_message(control, ipm::get_address, 0, 0), 0) << "no place for the address";
  EXPECT_EQ(parent.changes, 0) << "only the user's changes are told";
}

TEST(IpAddress, PaintsTheFieldsWithTheDotsBetween) {
  HeadlessUi ui;
  Parent parent;
  const Hwnd control = parent.add_control();
  IpAddressControl{control}.set(make_ip_address(192, 168, 0, 1));
  std::vector<std::u16string> texts;
  for (const CanvasRecord& r : scripted::record_paint(control)) {
    if (r.op == CanvasOp::draw_text || r.op == CanvasOp::text_out) texts.push_back(r.text);
  }
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"192", u".", u"168", u".", u"0", u".", u"1"}));
}
