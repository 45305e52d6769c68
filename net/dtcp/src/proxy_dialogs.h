// The transport's two proxy dialogs, described through the user-interface
// layer's Qt-free interface (templates registered under the module name
// "zn_dtcp" in English and Russian, dialog procedures, the layer's dialog
// service): the proxy settings dialog and the proxy's name and password
// dialog.
//
// Threading: any thread. A dialog asked for off the user-interface thread
// (the connection thread asks for the name and password) runs there while the
// caller waits; without a user-interface thread it is "cancelled".
// Errors: a dialog that does not run counts as cancelled.
#pragma once

#include <cstdint>
#include <string>

#include "crypto_port.h"
#include "zn_dtcp/zn_dtcp.h"

namespace kelda::dtcp {

inline constexpr const char* kDialogModule = "zn_dtcp";

// Control ids of the settings dialog.
namespace proxy_ids {
inline constexpr int use_proxy = 1101;
inline constexpr int address = 1102;
inline constexpr int port = 1103;
inline constexpr int protocol = 1018;
inline constexpr int ask = 1108;
inline constexpr int stored = 1109;
inline constexpr int user_name = 1110;
inline constexpr int password = 1111;
inline constexpr int help = 9;
// The name and password dialog.
inline constexpr int login_name = 1202;
inline constexpr int login_password = 1203;
}  // namespace proxy_ids

// The settings dialog over `proxy`; true (with `proxy` updated) when the user
// confirms, false when cancelled.
bool run_proxy_settings_dialog(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale);

// The name and password dialog for the proxy of `proxy`; true (with its name
// and password set) when the user enters them, false when cancelled.
bool run_proxy_login_dialog(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale);

// zn_tcp_config_proxy_settings: the settings dialog started from the record
// (or, without one, from the INI file), its result written to the INI file
// and the record when confirmed. 1 when confirmed, else 0.
int32_t config_proxy_settings(uintptr_t owner, const std::string& ini_path, zn_proxy_params* proxy,
                              const Locale& locale);

}  // namespace kelda::dtcp
