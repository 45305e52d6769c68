// The templates of the dispatcher's dialogs, in English and Russian, under
// their language-chosen names (CONFIG_CRYPTO_PROVIDERS_DIALOG_0X09_0X01 and
// so on).
#include <mutex>

#include "kit/messages.h"
#include "kit/resources.h"
#include "provider_dialogs.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace kelda::cipherhub {

namespace {

namespace ids = dialog_ids;

struct TemplateTexts {
  uint16_t language;
  const char16_t* providers_caption;
  const char16_t* select;
  const char16_t* close;
  const char16_t* add_new;
  const char16_t* remove;
  const char16_t* configure;
  const char16_t* add_caption;
  const char16_t* name;
  const char16_t* description;
  const char16_t* module;
  const char16_t* ini_file;
  const char16_t* add;
  const char16_t* cancel;
};

const TemplateTexts kTexts[] = {
    {kelda::kit::kLanguageEnglish, u"Available crypto-providers", u"&Select", u"&Close", u"&Add new",
     u"&Remove", u"Se&ttings", u"Add new crypto provider", u"Name", u"Description",
     u"Provider DLL module name", u"Provider settings INI-file name", u"&Add", u"&Cancel"},
    {kelda::kit::kLanguageRussian, u"Доступные криптопровайдеры", u"&Выбрать", u"&Закрыть",
     u"&Добавить", u"&Удалить", u"&Настройки", u"Добавление криптопровайдера", u"Имя",
     u"Описание", u"Модуль криптопровайдера", u"Файл настроек криптопровайдера", u"&Добавить",
     u"&Отмена"},
};

constexpr DWORD kTab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD kEdit = kTab | ui::ws::border | ui::es::auto_hscroll;

ui::DialogItem button(const char16_t* text, int id, int x, int y, int cx, DWORD style = 0) {
  return {ui::class_name::button, text, id, kTab | style, x, y, cx, 14};
}

ui::DialogItem label(const char16_t* text, int y) {
  return {ui::class_name::static_, text, ui::id::static_text, ui::ws::visible, 5, y, 140, 9};
}

ui::DialogTemplate providers_template(const TemplateTexts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 148;
  d.caption = t.providers_caption;
  d.items = {
      {ui::class_name::list_box, u"", ids::list,
       kTab | ui::ws::border | ui::ws::vscroll | ui::lbs::notify | ui::lbs::has_strings, 5, 5, 140,
       98},
      button(t.select, ui::id::ok, 5, 108, 44, ui::bs::def_push_button),
      button(t.add_new, ids::add_new, 53, 108, 44),
      button(t.remove, ids::remove, 101, 108, 44),
      button(t.configure, ids::configure, 5, 127, 68),
      button(t.close, ui::id::cancel, 77, 127, 68),
  };
  return d;
}

ui::DialogTemplate add_template(const TemplateTexts& t) {
  ui::DialogTemplate d;
  d.cx = 150;
  d.cy = 128;
  d.caption = t.add_caption;
  d.items = {
      label(t.name, 4),
      {ui::class_name::edit, u"", ids::section, kEdit, 5, 13, 140, 12},
      label(t.description, 29),
      {ui::class_name::edit, u"", ids::description, kEdit, 5, 38, 140, 12},
      label(t.module, 54),
      {ui::class_name::edit, u"", ids::module, kEdit, 5, 63, 120, 12},
      button(u"...", ids::browse_module, 128, 62, 17),
      label(t.ini_file, 79),
      {ui::class_name::edit, u"", ids::ini_file, kEdit, 5, 88, 120, 12},
      button(u"...", ids::browse_ini, 128, 87, 17),
      button(t.add, ui::id::ok, 30, 108, 44, ui::bs::def_push_button),
      button(t.cancel, ui::id::cancel, 78, 108, 44),
  };
  return d;
}

}  // namespace

void register_dialog_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const TemplateTexts& t : kTexts) {
      const auto name = [&](const char16_t* base) {
        return ui::ResourceName(kelda::kit::localized_resource_name(base, t.language, kelda::kit::kSubLanguageDefault));
      };
      ui::register_dialog_template(kDialogModule, name(u"CONFIG_CRYPTO_PROVIDERS_DIALOG"),
                                   providers_template(t));
      ui::register_dialog_template(kDialogModule, name(u"ADD_NEW_CRYPTO_PROVIDER_DIALOG"),
                                   add_template(t));
    }
  });
}

}  // namespace kelda::cipherhub
