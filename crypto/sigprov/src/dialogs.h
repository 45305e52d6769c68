// The provider's dialogs: templates under the module name "Sigprov".
#pragma once

#include <cstdint>
#include <string>

namespace kelda::sigprov {

inline constexpr char kDialogModule[] = "Sigprov";

// Registers PASSWORD_DIALOG, CONFIG_SETTINGS_DIALOG and
// CONFIG_ADVANCED_SETTINGS_DIALOG in English and Russian (once).
void register_dialog_templates();

// The configuration dialog for the settings file: 1 saved, 0 cancelled or
// failed.
int32_t run_config_dialog(uintptr_t owner, const std::string& ini);

}  // namespace kelda::sigprov
