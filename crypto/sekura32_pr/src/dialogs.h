// The provider's dialogs, with templates under the module name
// "Sekura32_Pr": the user dialog of initialisation mode 3 and the
// configuration dialog of the key rings.
#pragma once

#include <cstdint>
#include <string>

namespace kelda::sekura32_pr {

inline constexpr char kDialogModule[] = "Sekura32_Pr";

// Registers CONNECT_DIALOG and CONFIG_DIALOG in English and Russian (once).
void register_dialog_templates();

// Asks for the user's name, password and target server (each kept within
// `limit` characters); the given texts fill the fields. 1 on OK, 0 on Cancel.
int32_t choose_user_dialog(uintptr_t owner, std::u16string& user, std::u16string& password,
                           std::u16string& target, std::size_t limit);

// The key-ring configuration dialog: 1 saved, 0 cancelled.
int32_t run_config_dialog(uintptr_t owner);

}  // namespace kelda::sekura32_pr
