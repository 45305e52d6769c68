// Language-chosen dialogs: which registered template opens for which language.
#include <gtest/gtest.h>

#include "kit/dialog_box.h"
#include "kit/dialog_helpers.h"
#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui/testing.h"

namespace {

namespace ui = kelda::ui;

ui::DialogTemplate small_template() {
  ui::DialogTemplate t;
  t.cx = 100;
  t.cy = 40;
  t.items.push_back({ui::class_name::button, u"OK", ui::id::ok, ui::ws::visible, 10, 10, 40, 14});
  return t;
}

// The template that opened, as the scripted service saw it ("" when none did).
std::string opened(ui::HeadlessUi& session, std::string_view module, const ui::ResourceName& name,
                   uint16_t language) {
  const std::size_t before = session.script().asked(ui::ScriptedServices::Asked::Kind::modal_dialog).size();
  const intptr_t result = kelda::kit::localized_dialog_box(
      module, name, [](ui::Hwnd, UINT, WPARAM, LPARAM) -> intptr_t { return 0; }, ui::Hwnd(),
      language, 0x01);
  const auto asked = session.script().asked(ui::ScriptedServices::Asked::Kind::modal_dialog);
  if (asked.size() == before) {
    EXPECT_EQ(result, 0);
    return "";
  }
  EXPECT_EQ(result, ui::id::cancel);  // unscripted dialogs are cancelled
  return asked.back().name;
}

TEST(LocalizedDialogBox, TemplatesOpenByLanguageWithEnglishAsFallback) {
  ui::HeadlessUi session;
  ui::register_dialog_template("kit-test", u"ENGLISH_ONLY_0X09_0X01", small_template());
  ui::register_dialog_template("kit-test", u"RUSSIAN_ONLY_0X19_0X01", small_template());
  ui::register_dialog_template("kit-test", u"BOTH_0X09_0X01", small_template());
  ui::register_dialog_template("kit-test", u"BOTH_0X19_0X01", small_template());
  ui::register_dialog_template("kit-test", u"PLAIN", small_template());
  ui::register_dialog_template("kit-test", 120, small_template());

  struct Case {
    ui::ResourceName name;
    uint16_t language;
    std::string expected;
  };
  const Case cases[] = {
      {u"ENGLISH_ONLY", 0x09, "ENGLISH_ONLY_0X09_0X01"},
      {u"ENGLISH_ONLY", 0x19, "ENGLISH_ONLY_0X09_0X01"},
      {u"ENGLISH_ONLY", 0x07, "ENGLISH_ONLY_0X09_0X01"},
      {u"RUSSIAN_ONLY", 0x19, "RUSSIAN_ONLY_0X19_0X01"},
      {u"RUSSIAN_ONLY", 0x09, ""},
      {u"BOTH", 0x19, "BOTH_0X19_0X01"},
      {u"BOTH", 0x09, "BOTH_0X09_0X01"},
      {u"PLAIN", 0x19, "PLAIN"},
      {120, 0x09, "120"},
      {121, 0x09, ""},
      {u"MISSING", 0x09, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name.to_string() + " in language " + std::to_string(k.language));
    EXPECT_EQ(opened(session, "kit-test", k.name, k.language), k.expected);
  }
  // Another module's templates are not this module's.
  EXPECT_EQ(opened(session, "other", u"BOTH", 0x09), "");
}

TEST(DialogHelpers, CentringAndDisablingWithoutStrandingTheFocus) {
  ui::HeadlessUi session;
  ui::DialogTemplate t;
  t.cx = 100;
  t.cy = 100;
  for (int id : {11, 12, 13}) {
    t.items.push_back({ui::class_name::edit, u"", id, ui::ws::visible | ui::ws::tab_stop | ui::ws::border,
                       5, 5 + (id - 11) * 15, 80, 12});
  }
  // An editable combo box: the focus sits in its own edit, a window inside it.
  t.items.push_back({ui::class_name::combo_box, u"", 14, ui::ws::visible | ui::ws::tab_stop | ui::cbs::drop_down,
                     5, 50, 80, 40});
  ui::register_dialog_template("kit-test", u"HELPERS", t);
  session.script().on_dialog(u"HELPERS", [](ui::DialogDriver& d) {
    kelda::kit::center_window(d.dialog());
    const RECT desktop = ui::get_window_rect(ui::desktop_window());
    const RECT r = ui::get_window_rect(d.dialog());
    EXPECT_EQ(r.left, (desktop.left + desktop.right - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (desktop.top + desktop.bottom - (r.bottom - r.top)) / 2);

    ui::set_focus(d.item(12));
    kelda::kit::enable_dialog_item(d.dialog(), 11, false);  // not focused: the focus stays
    EXPECT_EQ(ui::get_focus(), d.item(12));
    kelda::kit::enable_dialog_item(d.dialog(), 12, false);  // focused: it moves on
    EXPECT_FALSE(d.enabled(12));
    EXPECT_EQ(ui::get_focus(), d.item(13));
    kelda::kit::enable_dialog_item(d.dialog(), 12, true);
    EXPECT_TRUE(d.enabled(12));

    ui::set_focus(d.item(14));
    ASSERT_TRUE(ui::is_child(d.item(14), ui::get_focus()));
    kelda::kit::enable_dialog_item(d.dialog(), 14, false);  // focused inside: it moves on too
    EXPECT_EQ(ui::get_focus(), d.item(12)) << "11 is disabled, so the next tab stop is 12";
    d.end(ui::id::ok);
  });
  EXPECT_EQ(ui::dialog_box("kit-test", u"HELPERS", ui::Hwnd(),
                           [](ui::Hwnd, UINT, WPARAM, LPARAM) -> intptr_t { return 0; }),
            ui::id::ok);
}

}  // namespace
