// The main settings dialog "Основные настройки" (templates 134 portrait and
// 181 landscape) and the settings command that runs it.
//
// MainSettingsDlg only shows and collects the values: it starts from the
// data manager's settings and, after "Да", its public members hold the
// user's choice (an entry not chosen in a list falls back to 12 for the
// font, 1 for the alignment and 1 for the depth; a depth outside 1 to 101
// becomes 5). The signing box cannot be changed while connected.
//
// run_main_settings() is the command "Основные": after "Да" it takes each
// changed value into the manager, tells the open windows (the font every
// time), writes the changed keys of [settings] into the settings file and,
// when the signing choice or the provider's settings file changed, the
// crypto-provider keys ([CryptoProviders], [SignalComMessagePro],
// [CryptoProvidersSettings]) that the network stack reads at the next
// connect. Turning signing on takes effect after a restart (the user is
// told); turning it off takes effect at the next connect.
//
// Threading: user-interface thread. Errors: a settings file that cannot be
// written keeps its old contents (profile.h); nothing throws.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace kelda::terminal {

inline constexpr int kMainSettingsDialogId = 134;
inline constexpr int kMainSettingsLandscapeId = 181;
namespace settings_id {
inline constexpr int font_size = 1011;
inline constexpr int class_names = 1012;
inline constexpr int alignment = 1013;
inline constexpr int grouping = 1014;
inline constexpr int vertical_limits = 1015;
inline constexpr int depth = 1016;
inline constexpr int buy_on_top = 1124;
inline constexpr int autoreconnect = 1139;
inline constexpr int request_archive = 1243;
inline constexpr int signing = 1248;
}  // namespace settings_id

// The signing provider's module name.
inline constexpr const char* kSigningProviderModule = "sigprov.dll";
// What [SignalComMessagePro] Module holds: the module's full path in the
// folder of the running program, where the program's modules are (8-bit
// text); the bare name when that path is longer than the 259 characters
// the dispatcher reads (it then looks beside itself).
std::string signing_provider_module_path();

class MainSettingsDlg : public ui::Dialog {
 public:
  MainSettingsDlg();

  int font_size = 12;
  int alignment = 1;
  int depth = 1;
  int class_names = 0;
  int grouping = 0;
  int vertical_limits = 0;
  int autoreconnect = 0;
  int request_archive = 0;
  int buy_on_top = 0;
  int signing = 0;
  std::string provider_ini_path;  // 8-bit text

 protected:
  bool on_init_dialog() override;
  void on_ok() override;
  void do_data_exchange(ui::DataExchange& dx) override;
};

// The settings command; answers true when the user pressed "Да".
bool run_main_settings(ui::Hwnd owner);

// Registers the templates and the command "Основные".
void register_main_settings();

}  // namespace kelda::terminal
