// The templates of the provider's dialogs, in English and Russian, under
// their language-chosen names (PASSWORD_DIALOG_0X09_0X01 and so on).
#include <mutex>

#include "dialogs.h"
#include "kit/messages.h"
#include "kit/resources.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace kelda::sigprov {

namespace {

struct Texts {
  uint16_t language;
  const char16_t* password_caption;
  const char16_t* settings_caption;
  const char16_t* advanced_caption;
  const char16_t* root;
  const char16_t* cas;
  const char16_t* cert;
  const char16_t* advanced;
  const char16_t* crls;
  const char16_t* key;
  const char16_t* apply;
  const char16_t* cancel;
};

const Texts kTexts[] = {
    {kit::kLanguageEnglish, u"Password", u"Settings for \"PKCS#7 toolkit\"",
     u"Advanced settings for \"PKCS#7 toolkit\"", u"Root key carrier directory:", u"CA certificates directory:",
     u"Digital sign key certificate file:", u"Advanced...", u"CRL files directory:", u"Digital sign private key file:",
     u"Apply", u"Cancel"},
    {kit::kLanguageRussian, u"Пароль", u"Настройки \"PKCS#7 toolkit\"", u"Дополнительные настройки \"PKCS#7 toolkit\"",
     u"Корневой каталог ключевого носителя:", u"Каталог сертификатов удостоверяющих центров:",
     u"Файл сертификата ключа подписи:", u"Дополнительно...", u"Каталог списков отзыва:",
     u"Файл секретного ключа подписи:", u"Применить", u"Отмена"},
};

constexpr DWORD kTab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD kEdit = kTab | ui::ws::border | ui::es::auto_hscroll;

ui::DialogItem button(const char16_t* text, int id, int x, int y, int cx, DWORD style = 0) {
  return {ui::class_name::button, text, id, kTab | style, x, y, cx, 14};
}

ui::DialogItem label(const char16_t* text, int y) {
  return {ui::class_name::static_, text, ui::id::static_text, ui::ws::visible, 5, y, 140, 9};
}

ui::DialogTemplate password_template(const Texts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 64;
  d.caption = t.password_caption;
  d.items = {
      {ui::class_name::static_, u"", 1001, ui::ws::visible, 5, 4, 140, 18},
      {ui::class_name::edit, u"", 1002, kEdit | ui::es::password, 5, 24, 140, 12},
      button(u"OK", ui::id::ok, 30, 44, 44, ui::bs::def_push_button),
      button(t.cancel, ui::id::cancel, 78, 44, 44),
  };
  return d;
}

ui::DialogTemplate settings_template(const Texts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 112;
  d.caption = t.settings_caption;
  d.items = {
      label(t.root, 4),
      {ui::class_name::edit, u"", 1001, kEdit, 5, 13, 120, 12},
      button(u"...", 1002, 128, 12, 17),
      label(t.cas, 29),
      {ui::class_name::edit, u"", 1003, kEdit, 5, 38, 120, 12},
      button(u"...", 1004, 128, 37, 17),
      label(t.cert, 54),
      {ui::class_name::edit, u"", 1007, kEdit, 5, 63, 120, 12},
      button(u"...", 1008, 128, 62, 17),
      button(t.advanced, 1017, 5, 92, 44),
      button(t.apply, ui::id::ok, 53, 92, 44, ui::bs::def_push_button),
      button(t.cancel, ui::id::cancel, 101, 92, 44),
  };
  return d;
}

ui::DialogTemplate advanced_template(const Texts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 88;
  d.caption = t.advanced_caption;
  d.items = {
      label(t.crls, 4),
      {ui::class_name::edit, u"", 1005, kEdit, 5, 13, 120, 12},
      button(u"...", 1006, 128, 12, 17),
      label(t.key, 29),
      {ui::class_name::edit, u"", 1009, kEdit, 5, 38, 120, 12},
      button(u"...", 1010, 128, 37, 17),
      button(t.apply, ui::id::ok, 30, 68, 44, ui::bs::def_push_button),
      button(t.cancel, ui::id::cancel, 78, 68, 44),
  };
  return d;
}

}  // namespace

void register_dialog_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const Texts& t : kTexts) {
      const auto name = [&](const char16_t* base) {
        return ui::ResourceName(kit::localized_resource_name(base, t.language, kit::kSubLanguageDefault));
      };
      ui::register_dialog_template(kDialogModule, name(u"PASSWORD_DIALOG"), password_template(t));
      ui::register_dialog_template(kDialogModule, name(u"CONFIG_SETTINGS_DIALOG"), settings_template(t));
      ui::register_dialog_template(kDialogModule, name(u"CONFIG_ADVANCED_SETTINGS_DIALOG"), advanced_template(t));
    }
  });
}

}  // namespace kelda::sigprov
