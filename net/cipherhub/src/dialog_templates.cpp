// The templates of the dispatcher's dialogs, in English and Russian, under
// their language-chosen names (CONFIG_CRYPTO_PROVIDERS_DIALOG_0X09_0X01 and
// so on).
#include <mutex>

#include "kit/dialog_template_items.h"
#include "kit/resources.h"
#include "provider_dialogs.h"

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

ui::DialogTemplate providers_template(const TemplateTexts& t) {
  return kit::TemplateItems()
      .add({ui::class_name::list_box, u"", ids::list,
            kit::kTabStopStyle | ui::ws::border | ui::ws::vscroll | ui::lbs::notify | ui::lbs::has_strings, 5, 5,
            140, 98})
      .button(t.select, ui::id::ok, 5, 108, 44, ui::bs::def_push_button)
      .button(t.add_new, ids::add_new, 53, 108, 44)
      .button(t.remove, ids::remove, 101, 108, 44)
      .button(t.configure, ids::configure, 5, 127, 68)
      .button(t.close, ui::id::cancel, 77, 127, 68)
      .dialog(t.providers_caption, 150, 148);
}

ui::DialogTemplate add_template(const TemplateTexts& t) {
  return kit::TemplateItems()
      .text_field(t.name, 4, ids::section)
      .text_field(t.description, 29, ids::description)
      .file_field(t.module, 54, ids::module, ids::browse_module)
      .file_field(t.ini_file, 79, ids::ini_file, ids::browse_ini)
      .ok_cancel(t.add, t.cancel, 108)
      .dialog(t.add_caption, 150, 128);
}

}  // namespace

void register_dialog_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const TemplateTexts& t : kTexts) {
      kit::register_localized_template(kDialogModule, u"CONFIG_CRYPTO_PROVIDERS_DIALOG", t.language,
                                       providers_template(t));
      kit::register_localized_template(kDialogModule, u"ADD_NEW_CRYPTO_PROVIDER_DIALOG", t.language, add_template(t));
    }
  });
}

}  // namespace kelda::cipherhub
