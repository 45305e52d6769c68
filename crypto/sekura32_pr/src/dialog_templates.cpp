// The templates of the provider's dialogs, in English and Russian, under
// their language-chosen names (CONNECT_DIALOG_0X09_0X01 and so on).
#include <mutex>

#include "dialogs.h"
#include "kit/dialog_template_items.h"
#include "kit/resources.h"

namespace kelda::sekura32_pr {

namespace {

struct Texts {
  uint16_t language;
  const char16_t* connect_caption;
  const char16_t* name;
  const char16_t* password;
  const char16_t* target;
  const char16_t* config_caption;
  const char16_t* config_file;
  const char16_t* secret;
  const char16_t* pub;
  const char16_t* save;
  const char16_t* cancel;
};

const Texts kTexts[] = {
    {kit::kLanguageEnglish, u"User identification", u"Enter name:", u"Enter password:", u"Target server name",
     u"Current settings", u"Current configuration file", u"Secret keys file", u"Public keys file", u"Save",
     u"Cancel"},
    {kit::kLanguageRussian, u"Идентификация пользователя", u"Введите имя:", u"Введите пароль:",
     u"Имя целевого сервера", u"Текущие настройки", u"Текущий файл конфигурации", u"Файл секретных ключей",
     u"Файл открытых ключей", u"Сохранить", u"Отмена"},
};

ui::DialogTemplate connect_template(const Texts& t) {
  return kit::TemplateItems()
      .text_field(t.name, 4, 10101)
      .text_field(t.password, 29, 10102, ui::es::password)
      .label(t.target, 54)
      .add({ui::class_name::combo_box, u"", 10104,
            kit::kTabStopStyle | ui::cbs::drop_down | ui::cbs::auto_hscroll | ui::ws::vscroll, 5, 63, 140, 60})
      .ok_cancel(u"OK", t.cancel, 88)
      .dialog(t.connect_caption, 150, 108);
}

ui::DialogTemplate config_template(const Texts& t) {
  return kit::TemplateItems()
      .text_field(t.config_file, 4, 1005, ui::es::read_only)
      .file_field(t.secret, 29, 1001, 1002)
      .file_field(t.pub, 54, 1003, 1004)
      .ok_cancel(t.save, t.cancel, 92)
      .dialog(t.config_caption, 150, 112);
}

}  // namespace

void register_dialog_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const Texts& t : kTexts) {
      kit::register_localized_template(kDialogModule, u"CONNECT_DIALOG", t.language, connect_template(t));
      kit::register_localized_template(kDialogModule, u"CONFIG_DIALOG", t.language, config_template(t));
    }
  });
}

}  // namespace kelda::sekura32_pr
