// Language-chosen dialogs: which registered template opens for which language.
#include <gtest/gtest.h>

#include "kit/dialog_box.h"
#include "ui/controls.h"
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
  const intptr_t result = kit::localized_dialog_box(
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

}  // namespace
