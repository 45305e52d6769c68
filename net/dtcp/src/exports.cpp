// The exported zn_tcp_* functions: thin C wrappers that check every argument,
// hold a reference to the connection for the length of the call, and never
// let an exception out.
#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "frames.h"
#include "library.h"
#include "platform/export.h"
#include "platform/last_error.h"
#include "proxy.h"
#include "proxy_dialogs.h"
#include "setup.h"
#include "texts.h"
#include "zn_dtcp/zn_dtcp.h"

using namespace kelda::dtcp;

namespace {

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

// Runs `body` with the live connection of a handle, which stays alive for
// the call; a stale or foreign handle is refused with its text.
template <typename Fn>
int32_t with_connection(zn_tcp_connection* handle, char* error, uint32_t error_size, Fn&& body) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    std::string text;
    std::shared_ptr<Connection> c = find_connection(handle, text);
    if (!c) {
      copy_out(error, error_size, text);
      return 0;
    }
    return body(*c, text);
  });
}

bool locale_accepted(uint16_t language, uint16_t sub_language, uint16_t dialect) {
  // The only locale the system supports is English (0x09, 0x01, 0x01).
  return language == 0x09 && sub_language == 0x01 && dialect != 0;
}

}  // namespace

extern "C" {

KELDA_EXPORT int32_t zn_tcp_init(const char* ini_path, uint16_t language, uint16_t sub_language,
                                 uint16_t dialect, uintptr_t owner, uintptr_t, uintptr_t,
                                 uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    lib.ini_path = ini_path ? std::string(ini_path).substr(0, 1023) : std::string();
    if (language != 0 && sub_language != 0 && dialect != 0 &&
        locale_accepted(language, sub_language, dialect)) {
      lib.locale = Locale{language, sub_language, dialect};
    }
    lib.owner = owner;
    std::string text;
    if (!crypto_port().initialize(lib.ini_path, lib.locale, owner, text)) {
      copy_out(error, error_size, text);
      return 0;
    }
    lib.initialized = true;
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_param(uint32_t number, uintptr_t value) {
  try {
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    switch (number) {
      case 1: lib.owner = value; return 1;
      case 2:
        lib.ini_path = value ? std::string(reinterpret_cast<const char*>(value)).substr(0, 1023) : "";
        return 1;
      case 3:
      case 4: return 1;
      case 5:
        lib.further_text =
            value ? std::string(reinterpret_cast<const char*>(value)).substr(0, 1023) : "";
        return 1;
      default: return 0;
    }
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
    auto fail = [&](const std::string& text) -> zn_tcp_connection* {
      copy_out(error, error_size, text);
      return nullptr;
    };
    if (crypto == nullptr || crypto->version != 1) {
      return fail("Wrong parameters for connection initialization.");
    }
    if (setup == nullptr) return fail("Wrong parameters for connection initialization.");
    if (length_width != 0 && length_width != 2 && length_width != 4) {
      return fail("Wrong parameters for connection initialization.");
    }
    Library& lib = library();
    stop_connections_at_exit();
    auto c = std::make_shared<Connection>();
    {
      std::lock_guard<std::shared_mutex> lock(lib.mutex);
      c->locale = lib.locale;
      if (language != 0 && sub_language != 0 && dialect != 0 &&
          locale_accepted(language, sub_language, dialect)) {
        c->locale = Locale{language, sub_language, dialect};
      }
      c->owner = owner ? owner : lib.owner;
      c->settings_ini = lib.ini_path;
    }
    if (callback == nullptr) return fail("TCP tcp_connection callback function was not set");
    c->callback = callback;
    c->user_data = user_data;
    c->name = name ? std::string(name).substr(0, 127) : std::string();
    c->width = length_width == 0 ? 2 : length_width;
    c->handshake_mode = handshake_mode;
    c->crypto_params = *crypto;
    std::string text;
    if (!read_connection_params(*c, *setup, text)) return fail(text);
    std::string library_ini = c->settings_ini;
    if (!crypto_port().cipher_provider_name(*crypto, library_ini, c->owner, c->crypto.provider_name,
                                            text)) {
      return fail(text.empty() ? format("Wrong settings in INI-file \"%s\": can't get cipher "
                                        "crypto provider name.",
                                        library_ini.c_str())
                               : text);
    }
    if (crypto->open_context == 1 &&
        !crypto_port().open(c->crypto, *crypto, c->locale, c->owner, text)) {
      return fail(text);
    }
    {
      std::lock_guard<std::shared_mutex> lock(lib.mutex);
      c->number = ++lib.counter;
    }
    if (out_number) *out_number = c->number;
    link_connection(c);
    try {
      c->start_connection_thread();
    } catch (const std::exception&) {
      unlink_connection(c.get());
      c->release_resources();  // the provider context opened above
      return fail("Can't start connection thread.");
    }
    return handle_of(c.get());
  });
}

KELDA_EXPORT int32_t zn_tcp_handshake(zn_tcp_connection* connection, uintptr_t word1,
                                      uintptr_t word2, uintptr_t word3, uintptr_t word4,
                                      char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    const uintptr_t words[4] = {word1, word2, word3, word4};
    if (!c.handshake(words, text)) {
      copy_out(error, error_size, text);
      return 0;
    }
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_crypto_provider_context_params(zn_tcp_connection* connection,
                                                               uintptr_t, uintptr_t, uintptr_t,
                                                               uintptr_t, uintptr_t, char* error,
                                                               uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    // Only the built-in cipher provider switches its protect flags. The
    // switch is armed here and made by the next send, right after that
    // message is encrypted and before it can reach the socket.
    if (c.crypto.provider_name == "Sekura32") c.protect_switch_pending.store(true);
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_send(zn_tcp_connection* connection, const void* bytes,
                                 uint32_t length, char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    if (bytes == nullptr && length > 0) {
      copy_out(error, error_size, "Wrong input params was set.");
      return 0;
    }
    if (c.send({static_cast<const uint8_t*>(bytes), length}, text) == 1) return 1;
    copy_out(error, error_size, text);
    return 0;
  });
}

KELDA_EXPORT int32_t zn_tcp_recv(zn_tcp_connection* connection, void** out_block,
                                 uint32_t* out_length, char* error, uint32_t error_size) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    if (out_block == nullptr || out_length == nullptr) {
      copy_out(error, error_size, "Wrong input params was set.");
      return 0;
    }
    *out_block = nullptr;
    *out_length = 0;
    std::string text;
    std::shared_ptr<Connection> c = find_connection(connection, text);
    if (!c) {
      copy_out(error, error_size, text);
      return 0;
    }
    Block block;
    if (c->receive(block, text) != 1) {
      copy_out(error, error_size, text);
      return 0;
    }
    *out_length = block.size;
    *out_block = block.data.release();
    return 1;
  });
}

KELDA_EXPORT void zn_tcp_free_mem(void* block) { std::free(block); }

KELDA_EXPORT int32_t zn_tcp_disconnect(zn_tcp_connection* connection, int32_t synchronous,
                                       char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    if (!c.disconnecting.load()) c.graceful.store(true);
    if (!c.start_disconnect(synchronous != 0, text)) {
      copy_out(error, error_size, text);
      return 0;
    }
    return 1;
  });
}

KELDA_EXPORT void zn_tcp_fin(void) {
  try {
    Library& lib = library();
    stop_all_connections();
    crypto_port().finish();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    lib.initialized = false;
  } catch (...) {
  }
}

KELDA_EXPORT int32_t zn_tcp_get_last_error(zn_tcp_connection* connection, int32_t* out_code,
                                           char* error, uint32_t error_size) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    if (connection == nullptr) {
      copy_out(error, error_size, "NetGetLastError: wrong connection info was set.");
      return 0;
    }
    std::string text;
    std::shared_ptr<Connection> c = find_connection(connection, text);
    if (!c) {
      copy_out(error, error_size, text);
      return 0;
    }
    uint32_t code = 0;
    copy_out(error, error_size, c->error_text(&code));
    if (out_code) *out_code = static_cast<int32_t>(code);
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_statistics_params(zn_tcp_connection* connection,
                                                  uint32_t* written_bytes, uint32_t* read_bytes,
                                                  char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    c.link.set_counters(written_bytes, read_bytes);
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_set_connection_param(zn_tcp_connection* connection, uint32_t number,
                                                 uintptr_t value, uintptr_t, uintptr_t,
                                                 char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    if (number != 8) {
      copy_out(error, error_size, format("Unknown connection parameter %u", number));
      return 0;
    }
    c.receive_threshold.store(static_cast<uint32_t>(value));
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_get_buffered_send_msg_count(zn_tcp_connection* connection,
                                                        uint32_t* out_count, char* error,
                                                        uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    if (out_count == nullptr) {
      copy_out(error, error_size, "Wrong input params was set.");
      return 0;
    }
    *out_count = c.queued_send_count();
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_get_proxy_settings_description(
    zn_tcp_connection* connection, char* text_out, uint32_t text_size, uintptr_t, uintptr_t,
    uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    if (!c.has_proxy || c.proxy.use_proxy != 1) return 0;
    const auto* b = reinterpret_cast<const uint8_t*>(&c.proxy.address);
    copy_out(text_out, text_size,
             format("%u.%u.%u.%u:%u, protocol \"%s\"", b[0], b[1], b[2], b[3], c.proxy.port,
                    proxy_protocol_name(c.proxy.protocol)));
    return 1;
  });
}

KELDA_EXPORT int32_t zn_tcp_config_proxy_settings(uintptr_t owner, const char* ini_path,
                                                  zn_proxy_params* proxy) {
  return guarded(nullptr, 0, 0, [&]() -> int32_t {
    Locale locale;
    {
      std::shared_lock<std::shared_mutex> lock(library().mutex);
      locale = library().locale;
      if (owner == 0) owner = library().owner;
    }
    return config_proxy_settings(owner, ini_path ? ini_path : "", proxy, locale);
  });
}

KELDA_EXPORT int32_t zn_tcp_get_connection_cipher_crypto_provider_info(
    zn_tcp_connection* connection, int32_t* out_provider_id, char* name, uint32_t name_size,
    uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
    uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return with_connection(connection, error, error_size, [&](Connection& c, [[maybe_unused]] std::string& text) -> int32_t {
    if (out_provider_id) *out_provider_id = c.crypto.provider_id;
    copy_out(name, name_size, c.crypto.provider_name);
    return 1;
  });
}

}  // extern "C"
