#include "kit/dialog_box.h"

#include <new>
#include <string>

#include "kit/messages.h"
#include "kit/resources.h"

namespace kelda::kit {

namespace ui = kelda::ui;

std::optional<ui::ResourceName> find_localized_dialog(std::string_view module,
                                                      const ui::ResourceName& name,
                                                      uint16_t language,
                                                      uint16_t sub_language) noexcept {
  try {
    if (ui::find_dialog_template(module, name) != nullptr) return name;
    if (name.is_number()) return std::nullopt;
    for (auto [lang, sub] : {std::pair{language, sub_language},
                             std::pair{kLanguageEnglish, kSubLanguageDefault}}) {
      const std::u16string localized = localized_resource_name(name.text().c_str(), lang, sub);
      if (ui::find_dialog_template(module, ui::ResourceName(localized)) != nullptr) {
        return ui::ResourceName(localized);
      }
    }
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

intptr_t localized_dialog_box(std::string_view module, const ui::ResourceName& name,
                              ui::DialogProcedure procedure, ui::Hwnd owner, uint16_t language,
                              uint16_t sub_language) noexcept {
  try {
    const std::optional<ui::ResourceName> found =
        find_localized_dialog(module, name, language, sub_language);
    if (!found) return 0;
    return ui::dialog_box(module, *found, owner, std::move(procedure));
  } catch (...) {
    return 0;
  }
}

}  // namespace kelda::kit
