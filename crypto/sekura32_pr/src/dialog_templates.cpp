// The templates of the provider's dialogs, in English and Russian, under
// their language-chosen names (CONNECT_DIALOG_0X09_0X01 and so on).
#include <mutex>

#include "dialogs.h"
#include "kit/messages.h"
#include "kit/resources.h"
#include "ui/controls.h"
#include "ui/dialog.h"

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

constexpr DWORD kTab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD kEdit = kTab | ui::ws::border | ui::es::auto_hscroll;

ui::DialogItem button(const char16_t* text, int id, int x, int y, int cx, DWORD style = 0) {
  return {ui::class_name::button, text, id, kTab | style, x, y, cx, 14};
}

ui::DialogItem label(const char16_t* text, int y) {
  return {ui::class_name::static_, text, ui::id::static_text, ui::ws::visible, 5, y, 140, 9};
}

ui::DialogTemplate connect_template(const Texts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 108;
  d.caption = t.connect_caption;
  d.items = {
      label(t.name, 4),
      {ui::class_name::edit, u"", 10101, kEdit, 5, 13, 140, 12},
      label(t.password, 29),
      {ui::class_name::edit, u"", 10102, kEdit | ui::es::password, 5, 38, 140, 12},
      label(t.target, 54),
      {ui::class_name::combo_box, u"", 10104, kTab | ui::cbs::drop_down | ui::cbs::auto_hscroll | ui::ws::vscroll,
       5, 63, 140, 60},
      button(u"OK", ui::id::ok, 30, 88, 44, ui::bs::def_push_button),
      button(t.cancel, ui::id::cancel, 78, 88, 44),
  };
  return d;
}

ui::DialogTemplate config_template(const Texts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 112;
  d.caption = t.config_caption;
  d.items = {
      label(t.config_file, 4),
      {ui::class_name::edit, u"", 1005, kEdit | ui::es::read_only, 5, 13, 140, 12},
      label(t.secret, 29),
      {ui::class_name::edit, u"", 1001, kEdit, 5, 38, 120, 12},
      button(u"...", 1002, 128, 37, 17),
      label(t.pub, 54),
      {ui::class_name::edit, u"", 1003, kEdit, 5, 63, 120, 12},
      button(u"...", 1004, 128, 62, 17),
      button(t.save, ui::id::ok, 30, 92, 44, ui::bs::def_push_button),
      button(t.cancel, ui::id::cancel, 78, 92, 44),
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
      ui::register_dialog_template(kDialogModule, name(u"CONNECT_DIALOG"), connect_template(t));
      ui::register_dialog_template(kDialogModule, name(u"CONFIG_DIALOG"), config_template(t));
    }
  });
}

}  // namespace kelda::sekura32_pr
