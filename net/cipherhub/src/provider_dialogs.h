// The dispatcher's settings dialogs, described through the user-interface
// layer's Qt-free interface: the providers dialog, where the user picks,
// adds, removes and configures providers, and the dialog that adds one.
// Their templates are registered under the module name "Cipherhub" in
// English and Russian.
//
// Threading: the dialogs may be asked for on any thread; they run on the
// user-interface thread while the caller waits (and count as cancelled
// without one). The dispatcher's lock is never held while a dialog runs: the
// dialog procedures take it for each look at the provider table, and provider
// calls that may open dialogs of their own run without it.
// Errors: shown to the user in message boxes; the results say only whether a
// provider was chosen or added.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dispatcher.h"

namespace kelda::cipherhub {

inline constexpr const char* kDialogModule = "Cipherhub";

// Control ids.
namespace dialog_ids {
inline constexpr int list = 1002;
inline constexpr int add_new = 1003;
inline constexpr int remove = 1004;
inline constexpr int configure = 1005;
inline constexpr int description = 1008;
inline constexpr int section = 1009;
inline constexpr int module = 1010;
inline constexpr int browse_module = 1011;
inline constexpr int ini_file = 1012;
inline constexpr int browse_ini = 1013;
}  // namespace dialog_ids

// Which providers the providers dialog lists.
enum class UsageFilter { sign = 1, cipher = 2, all = 3 };

// The texts the dialogs keep from one step to the next: the current
// provider's name, section, module file and settings file.
struct DialogTexts {
  std::string provider_name;
  std::string section;
  std::string module;
  std::string ini_file;
};

void register_dialog_templates();

// The providers dialog with `preselected` chosen; the chosen provider's
// texts, or nothing when the user closed it without a choice.
std::optional<DialogTexts> run_providers_dialog(uintptr_t owner, const std::string& preselected,
                                                UsageFilter filter);

// The add dialog over the dialogs' texts; true when a provider was added
// (then `texts` name it).
bool run_add_provider_dialog(uintptr_t owner, DialogTexts& texts);

}  // namespace kelda::cipherhub
