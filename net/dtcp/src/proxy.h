// Proxies: the [proxy] settings of the settings file, the negotiation that
// the connection thread runs once the TCP connection to the proxy stands
// (HTTP CONNECT with or without Basic authorisation, SOCKS5 with or without
// name and password), and the prompt for the proxy's name and password.
//
// Threading: the negotiation runs on its connection's thread; the settings
// functions on any thread (no locking on the file, as with every INI user).
// The prompt may be called on any thread (the dialog it shows runs on the
// user-interface thread while the caller waits).
// Errors: results are socket results (socket_io.h); a failure comes with its
// text, class kSocketError for what the socket did and kApplicationError for
// what the proxy answered. A cancelled prompt fails with an empty text.
// Proxy passwords travel to the proxy and into the settings file only: no
// text built here ever holds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "connection.h"

namespace kelda::dtcp {

// Protocols of zn_proxy_params.
inline constexpr uint32_t kProxyHttp = 1;
inline constexpr uint32_t kProxySocks5 = 2;
inline constexpr uint32_t kProxySocks5Login = 3;
inline constexpr uint32_t kProxyHttpLogin = 4;

// Longest HTTP proxy answer (status line and headers) read.
inline constexpr std::size_t kMaxHttpProxyAnswer = 16 * 1024;
// Longest name and password a SOCKS5 login carries.
inline constexpr std::size_t kMaxSocksField = 255;
// Longest name and password kept in the settings and the proxy record.
inline constexpr std::size_t kMaxProxyField = 63;

// kOk, or a socket result with the text in `error`.
int negotiate_proxy(Connection& c, std::string& error);

// Reads the [proxy] section of an INI file (8-bit path) into `proxy`. An older
// "take-name-password-from-ini-file" key is migrated once into
// "get-password-mode" and removed. true when the settings say to use a proxy.
bool read_proxy_settings(const std::string& ini_path, zn_proxy_params& proxy);
// Writes the record into the [proxy] section; false when the file could not
// be written.
bool write_proxy_settings(const std::string& ini_path, const zn_proxy_params& proxy);

// The protocol's name in proxy descriptions.
const char* proxy_protocol_name(uint32_t protocol);
// "a.b.c.d:port" of the proxy, as the failure texts name it.
std::string proxy_endpoint_text(const zn_proxy_params& proxy);
// "a.b.c.d:port, protocol "<name>"": the proxy as zn_tcp_get_proxy_settings_description
// describes it.
std::string proxy_description(const zn_proxy_params& proxy);
// Copies at most kMaxProxyField bytes of `text` into a record field.
void set_proxy_field(char (&field)[64], std::string_view text);

// Asks for the proxy's name and password (filling the record's fields);
// false when the user cancels. The default shows the name and password
// dialog (proxy_dialogs.h); tests install their own. A null prompt restores
// the default.
using ProxyPrompt =
    std::function<bool(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale)>;
void set_proxy_prompt(ProxyPrompt prompt);
bool ask_proxy_credentials(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale);

// --- pieces of the negotiation, for the tests and the fuzz target ---

// Base64 of RFC 4648 (standard alphabet, "=" padding).
std::string base64_encode(std::span<const uint8_t> bytes);
// The CONNECT request for the trading server (address in network order).
std::string http_connect_request(uint32_t address, uint32_t port,
                                 const std::optional<std::string>& basic_credentials);
// The failure text of an HTTP proxy's answer, or nothing when it lets the
// connection through.
std::optional<std::string> http_answer_error(std::string_view answer);

}  // namespace kelda::dtcp
