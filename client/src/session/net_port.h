// The client library's view of the protocol library (zn_de).
//
// Every call the library makes into the network stack goes through this
// interface, so that tests can stand in for the stack and make it fail at
// any step. The real port binds the zn_* exports. Connection handles and the
// signing context are opaque pointer-sized words (0 = none).
//
// Threading: the port is called under the library lock, except recv and the
// connection events, which the stack raises on its own threads. Errors are
// results with a text in the caller's error buffer.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kelda::kelapi {

using ErrorText = std::array<char, 256>;

// Connection events that reach the library (the protocol library's codes).
inline constexpr int32_t kNetEventNegotiated = 2;
inline constexpr int32_t kNetEventClosed = 3;
inline constexpr int32_t kNetEventFreeing = 4;
inline constexpr int32_t kNetEventMessage = 5;
inline constexpr int32_t kNetEventStored = 6;
inline constexpr int32_t kNetEventPermissions = 8;

// Called by the stack on its threads; `cookie` is the word given to connect.
// Returns -1 to refuse the event (the connection is no longer the library's).
using NetEventHandler = int32_t (*)(uintptr_t cookie, int32_t event, const void* event_data);

// The credentials handed to the channel cipher (388 bytes).
struct NetCredentials {
  uint32_t version;  // 1
  char user[128];
  char password[128];
  char auth_name[128];
};
static_assert(sizeof(NetCredentials) == 388);

struct NetConnectParams {
  std::string settings_path;   // the INI file: section "connect" gives server and port
  std::string cipher_path;     // the cipher provider's settings path
  uint32_t cipher_kind = 2;    // 4 with credentials, 2 without
  const NetCredentials* credentials = nullptr;
  int16_t language = 0;
  int16_t sub_language = 0;
};

class NetPort {
 public:
  virtual ~NetPort() = default;

  virtual bool is_initialized() = 0;
  // zn_init with the library's layout registry and handler table.
  virtual int32_t init(const std::string& settings_path, int16_t language, int16_t sub_language,
                       ErrorText& error) = 0;
  virtual uintptr_t init_sign_context(int16_t language, int16_t sub_language,
                                      const std::string& parameter, ErrorText& error) = 0;
  virtual void delete_sign_context(uintptr_t context, ErrorText& error) = 0;
  // The cipher provider's name ("" when none is configured).
  virtual std::string cipher_provider(const std::string& settings_path, ErrorText& error) = 0;
  // The settings path of a provider.
  virtual std::string provider_settings_path(const std::string& provider, ErrorText& error) = 0;
  // Opens a connection; 0 on failure. Events arrive through `handler` with
  // `cookie`, possibly before this call returns.
  virtual uintptr_t connect(const NetConnectParams& params, NetEventHandler handler, uintptr_t cookie,
                            ErrorText& error) = 0;
  virtual bool set_connection_param(uintptr_t connection, uint32_t number, uint32_t value,
                                    ErrorText& error) = 0;
  // Takes one stored message and runs its handler.
  virtual int32_t recv(uintptr_t connection, ErrorText& error) = 0;
  virtual int32_t send(uintptr_t connection, uint16_t id, const void* record, ErrorText& error) = 0;
  virtual int32_t disconnect(uintptr_t connection, ErrorText& error) = 0;
  virtual void last_error(uintptr_t connection, ErrorText& error) = 0;
  // Signs `data`; the signed bytes go to `signed_data`.
  virtual bool sign(uintptr_t context, std::span<const uint8_t> data, std::vector<uint8_t>& signed_data,
                    ErrorText& error) = 0;
};

}  // namespace kelda::kelapi
