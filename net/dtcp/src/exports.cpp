// The exported zn_tcp_* functions: thin C wrappers that check every argument,
// hold a reference to the connection for the length of the call, and never
// let an exception out.
#include <cstdlib>
#include <exception>

#include "library.h"
#include "open.h"
#include "platform/export.h"
#include "proxy.h"
#include "proxy_dialogs.h"
#include "texts.h"
#include "zn_dtcp/zn_dtcp.h"

using namespace kelda::dtcp;

namespace {

constexpr const char* kWrongInput = "Wrong input params was set.";

// Runs `body` and turns an escaping exception into a failure text.
template <typename Fn>
auto guarded(char* error, uint32_t error_size, decltype(std::declval<Fn>()()) on_error, Fn&& body)
    -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    copy_out(error, error_size, "Memory allocation error");
  } catch (const std::exception& e) {
    copy_out(error, error_size, e.what());
  }
  return on_error;
}

// The preamble of every export with a handle: the live connection, which
// the caller holds for the call, or null with the refusal text written (a
// stale or foreign handle).
//
// The connection a thread used last is kept, weakly, so that a run of calls
// on one handle (zn_tcp_recv for each stored block) looks it up in the list
// once: the hold keeps nothing alive, and a connection that has been freed
// (event 4, taken off the list) is looked up again, which refuses it.
struct LastConnection {
  const zn_tcp_connection* handle = nullptr;
  std::weak_ptr<Connection> connection;
};
thread_local LastConnection t_last_connection;

std::shared_ptr<Connection> connection_of(zn_tcp_connection* handle, char* error,
                                          uint32_t error_size) {
  LastConnection& last = t_last_connection;
  if (handle != nullptr && handle == last.handle) {
    std::shared_ptr<Connection> c = last.connection.lock();
    if (c && !c->freed.load()) return c;
  }
  std::string text;
  std::shared_ptr<Connection> c = find_connection(handle, text);
  if (!c) {
    copy_out(error, error_size, text);
    return c;
  }
  last.handle = handle;
  last.connection = c;
  return c;
}

// Runs `body` with the live connection of a handle. `body` answers true, or
// false with its failure text in the string it is given.
template <typename Fn>
int32_t with_connection(zn_tcp_connection* handle, char* error, uint32_t error_size, Fn&& body) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    std::shared_ptr<Connection> c = connection_of(handle, error, error_size);
    if (!c) return 0;
    std::string text;
    if (body(*c, text)) return 1;
    copy_out(error, error_size, text);
    return 0;
  });
}

// Refuses a call whose required argument is missing, with the text of it.
int32_t refuse_input(char* error, uint32_t error_size) {
  copy_out(error, error_size, kWrongInput);
  return 0;
}

}  // namespace

extern "C" {

KELDA_EXPORT int32_t zn_tcp_init(const char* ini_path, uint16_t language, uint16_t sub_language,
                                 uint16_t dialect, uintptr_t owner, uintptr_t, uintptr_t,
                                 uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    std::string text;
    if (initialize_library(ini_path, language, sub_language, dialect, owner, text)) return 1;
    copy_out(error, error_size, text);
    return 0;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_param(uint32_t number, uintptr_t value) {
  try {
    return set_library_param(number, value) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

KELDA_EXPORT int32_t zn_tcp_get_version(void) { return 1; }

KELDA_EXPORT zn_tcp_connection* zn_tcp_connect(
    const char* name, uint32_t* out_number, uint16_t language, uint16_t sub_language,
    uint16_t dialect, const zn_crypto_params* crypto, uintptr_t owner, uint32_t length_width,
    uint32_t handshake_mode, const zn_conn_setup* setup, zn_tcp_event_callback callback,
    uintptr_t user_data, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
    uint32_t error_size) {
  return guarded(error, error_size, static_cast<zn_tcp_connection*>(nullptr),
                 [&]() -> zn_tcp_connection* {
    const ConnectRequest request{name,   language,     sub_language,   dialect, crypto,
                                 owner,  length_width, handshake_mode, setup,   callback,
                                 user_data};
    std::string text;
    std::shared_ptr<Connection> c = open_connection(request, out_number, text);
    if (!c) copy_out(error, error_size, text);
    return c ? handle_of(c.get()) : nullptr;
  });
}

KELDA_EXPORT int32_t zn_tcp_handshake(zn_tcp_connection* connection, uintptr_t word1,
                                      uintptr_t word2, uintptr_t word3, uintptr_t word4,
                                      char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    const uintptr_t words[4] = {word1, word2, word3, word4};
    return c.handshake(words, text);
  });
}

KELDA_EXPORT int32_t zn_tcp_set_crypto_provider_context_params(zn_tcp_connection* connection,
                                                               uintptr_t, uintptr_t, uintptr_t,
                                                               uintptr_t, uintptr_t, char* error,
                                                               uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string&) {
    c.arm_protect_switch();
    return true;
  });
}

KELDA_EXPORT int32_t zn_tcp_send(zn_tcp_connection* connection, const void* bytes,
                                 uint32_t length, char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    if (bytes == nullptr && length > 0) {
      text = kWrongInput;
      return false;
    }
    return c.send({static_cast<const uint8_t*>(bytes), length}, text) == 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_recv(zn_tcp_connection* connection, void** out_block,
                                 uint32_t* out_length, char* error, uint32_t error_size) {
  if (out_block == nullptr || out_length == nullptr) return refuse_input(error, error_size);
  *out_block = nullptr;
  *out_length = 0;
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    Block block;
    if (c.receive(block, text) != 1) return false;
    *out_length = block.size;
    *out_block = block.data.release();
    return true;
  });
}

KELDA_EXPORT void zn_tcp_free_mem(void* block) { std::free(block); }

KELDA_EXPORT int32_t zn_tcp_disconnect(zn_tcp_connection* connection, int32_t synchronous,
                                       char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    return c.request_disconnect(synchronous != 0, text);
  });
}

KELDA_EXPORT void zn_tcp_fin(void) {
  try {
    finish_library();
  } catch (...) {
  }
}

KELDA_EXPORT int32_t zn_tcp_get_last_error(zn_tcp_connection* connection, int32_t* out_code,
                                           char* error, uint32_t error_size) {
  if (connection == nullptr) {
    copy_out(error, error_size, "NetGetLastError: wrong connection info was set.");
    return 0;
  }
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    uint32_t code = 0;
    text = c.error_text(&code);
    copy_out(error, error_size, text);
    if (out_code) *out_code = static_cast<int32_t>(code);
    return true;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_statistics_params(zn_tcp_connection* connection,
                                                  uint32_t* written_bytes, uint32_t* read_bytes,
                                                  char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string&) {
    c.link.set_counters(written_bytes, read_bytes);
    return true;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_connection_param(zn_tcp_connection* connection, uint32_t number,
                                                 uintptr_t value, uintptr_t, uintptr_t,
                                                 char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    return c.set_param(number, value, text);
  });
}

KELDA_EXPORT int32_t zn_tcp_get_buffered_send_msg_count(zn_tcp_connection* connection,
                                                        uint32_t* out_count, char* error,
                                                        uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string& text) {
    if (out_count == nullptr) {
      text = kWrongInput;
      return false;
    }
    *out_count = c.queued_send_count();
    return true;
  });
}

KELDA_EXPORT int32_t zn_tcp_get_proxy_settings_description(
    zn_tcp_connection* connection, char* text_out, uint32_t text_size, uintptr_t, uintptr_t,
    uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    std::shared_ptr<Connection> c = connection_of(connection, error, error_size);
    // Without a proxy the answer is 0 and the error buffer stays as it was.
    if (!c || !c->has_proxy || c->proxy.use_proxy != 1) return 0;
    copy_out(text_out, text_size, proxy_description(c->proxy));
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_config_proxy_settings(uintptr_t owner, const char* ini_path,
                                                  zn_proxy_params* proxy) {
  return guarded(nullptr, 0, 0, [&]() -> int32_t {
    return config_proxy_settings_of_library(owner, ini_path ? ini_path : "", proxy);
  });
}

KELDA_EXPORT int32_t zn_tcp_get_connection_cipher_crypto_provider_info(
    zn_tcp_connection* connection, int32_t* out_provider_id, char* name, uint32_t name_size,
    uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
    uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, std::string&) {
    if (out_provider_id) *out_provider_id = c.crypto.provider_id;
    copy_out(name, name_size, c.crypto.provider_name);
    return true;
  });
}

}  // extern "C"
