// Language-chosen modal dialogs: a library's dialog templates are registered
// with the user-interface layer under its module name, one per language, as
// "<name>_0X<language>_0X<sub-language>" (localized_resource_name); this
// runs the one that fits the language asked for.
//
// Order of the look-up: the template under the name as given (a numeric id
// stops here), then under the localized name of the language and
// sub-language, then under the English localized name (0x09, 0x01).
// Threading: any thread; a dialog asked for off the user-interface thread
// runs there while the caller waits, and without a user-interface thread the
// dialog answers "cancelled" (the layer's rule, ui/dialog.h). Nothing throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ui/dialog.h"

namespace kelda::kit {

// The registered name of the template that would open, or nothing.
std::optional<kelda::ui::ResourceName> find_localized_dialog(std::string_view module,
                                                             const kelda::ui::ResourceName& name,
                                                             uint16_t language,
                                                             uint16_t sub_language) noexcept;

// Runs the chosen template modally with `procedure` and no creation
// parameter; the dialog's result, or 0 when no template is found.
intptr_t localized_dialog_box(std::string_view module, const kelda::ui::ResourceName& name,
                              kelda::ui::DialogProcedure procedure, kelda::ui::Hwnd owner,
                              uint16_t language, uint16_t sub_language) noexcept;

}  // namespace kelda::kit
