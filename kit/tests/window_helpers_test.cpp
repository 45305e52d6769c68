// Window and font helpers of the kit over the user-interface layer.
#include <gtest/gtest.h>

#include "kit/codepage.h"
#include "kit/window_helpers.h"
#include "ui/controls.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace {

namespace ui = kelda::ui;

ui::Hwnd child(ui::Hwnd parent, std::u16string_view cls, UINT id, DWORD style = 0) {
  ui::CreateParams p;
  p.class_name = cls;
  p.style = ui::ws::child | ui::ws::visible | style;
  p.rect = RECT{0, 0, 100, 60};
  p.parent = parent;
  p.id = id;
  return ui::create_window(p);
}

ui::Hwnd top() {
  ui::CreateParams p;
  p.style = ui::ws::popup | ui::ws::visible;
  p.rect = RECT{0, 30, 200, 200};
  return ui::create_window(p);
}

}  // namespace

TEST(WindowHelpers, TextIsMeasuredInTheGivenFontAfterWidening) {
  ui::HeadlessUi session;
  const std::string russian = kelda::kit::cp1251_from_utf8("Цена");
  ui::Font big = ui::point_font(u"Tahoma", 16);
  SIZE small = kelda::kit::measure_text(nullptr, russian);
  SIZE large = kelda::kit::measure_text(&big, russian);
  EXPECT_GT(small.cx, 0);
  EXPECT_GT(large.cx, small.cx);
  EXPECT_GT(large.cy, small.cy);
  EXPECT_EQ(kelda::kit::text_width(&big, russian), large.cx);
  EXPECT_EQ(kelda::kit::measure_text(nullptr, russian).cx, kelda::kit::measure_text(nullptr, "abcd").cx)
      << "four 8-bit bytes are four characters, Cyrillic or not";
}

TEST(WindowHelpers, ListBoxExtentFitsTheWidestItem) {
  ui::HeadlessUi session;
  ui::Hwnd dlg = top();
  ui::Hwnd list = child(dlg, ui::class_name::list_box, 1002);
  ui::ListBoxControl lb{list};
  lb.add(u"Sekura32 [enc]");
  lb.add(u"Sigprov [sign] - PKCS#7 toolkit provider");
  kelda::kit::listbox_fit_extent(list);
  EXPECT_EQ(lb.horizontal_extent(), kelda::kit::text_width(nullptr, "Sigprov [sign] - PKCS#7 toolkit provider") + 2);
}

TEST(WindowHelpers, DialogFontSkipsMultiListControlsAndNullFontDoesNothing) {
  ui::HeadlessUi session;
  ui::WindowClass multi;
  multi.name = u"MultiList";
  multi.proc = ui::def_window_proc;
  ui::register_class(multi);
  ui::Hwnd dlg = top();
  ui::Hwnd edit = child(dlg, ui::class_name::edit, 1);
  ui::Hwnd other = child(dlg, u"multilist", 2);
  EXPECT_TRUE(kelda::kit::window_class_is(other, "MULTILIST"));
  EXPECT_FALSE(kelda::kit::window_class_is(edit, "MultiList"));
  EXPECT_FALSE(kelda::kit::window_class_is(ui::Hwnd{}, "Edit"));
  ui::Font f = ui::point_font(u"Tahoma", 9);
  kelda::kit::set_dialog_font(dlg, nullptr);
  EXPECT_EQ(ui::get_font(edit), nullptr);
  kelda::kit::set_dialog_font(dlg, &f);
  EXPECT_EQ(ui::get_font(dlg), &f);
  EXPECT_EQ(ui::get_font(edit), &f);
  EXPECT_EQ(ui::get_font(other), nullptr);
  ui::unregister_class(u"MultiList");
}
