// The templates of the provider's dialogs, in English and Russian, under
// their language-chosen names (PASSWORD_DIALOG_0X09_0X01 and so on).
#include <mutex>

#include "dialogs.h"
#include "kit/dialog_template_items.h"
#include "kit/resources.h"

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

ui::DialogTemplate password_template(const Texts& t) {
  return kit::TemplateItems()
      .add({ui::class_name::static_, u"", 1001, ui::ws::visible, 5, 4, 140, 18})
      .add({ui::class_name::edit, u"", 1002, kit::kEditStyle | ui::es::password, 5, 24, 140, 12})
      .ok_cancel(u"OK", t.cancel, 44)
      .dialog(t.password_caption, 150, 64);
}

ui::DialogTemplate settings_template(const Texts& t) {
  return kit::TemplateItems()
      .file_field(t.root, 4, 1001, 1002)
      .file_field(t.cas, 29, 1003, 1004)
      .file_field(t.cert, 54, 1007, 1008)
      .button(t.advanced, 1017, 5, 92, 44)
      .button(t.apply, ui::id::ok, 53, 92, 44, ui::bs::def_push_button)
      .button(t.cancel, ui::id::cancel, 101, 92, 44)
      .dialog(t.settings_caption, 150, 112);
}

ui::DialogTemplate advanced_template(const Texts& t) {
  return kit::TemplateItems()
      .file_field(t.crls, 4, 1005, 1006)
      .file_field(t.key, 29, 1009, 1010)
      .ok_cancel(t.apply, t.cancel, 68)
      .dialog(t.advanced_caption, 150, 88);
}

}  // namespace

void register_dialog_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const Texts& t : kTexts) {
      kit::register_localized_template(kDialogModule, u"PASSWORD_DIALOG", t.language, password_template(t));
      kit::register_localized_template(kDialogModule, u"CONFIG_SETTINGS_DIALOG", t.language, settings_template(t));
      kit::register_localized_template(kDialogModule, u"CONFIG_ADVANCED_SETTINGS_DIALOG", t.language,
                                       advanced_template(t));
    }
  });
}

}  // namespace kelda::sigprov
