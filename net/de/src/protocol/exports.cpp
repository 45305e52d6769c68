// The exported zn_* functions: thin C wrappers that check every argument,
// hold a reference to the context for the length of the call, and never let
// an exception out.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "context.h"
#include "platform/export.h"
#include "platform/last_error.h"

using namespace kelda::de;

namespace {

template <typename R, typename Fn>
R guarded(char* error, uint32_t error_size, R on_error, Fn&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    copy_out(error, error_size, "Memory allocation error");
  } catch (const std::exception& e) {
    copy_out(error, error_size, e.what());
  }
  return on_error;
}

// The context a thread used last is kept, weakly, so that a run of calls on
// one handle (zn_recvmsg for each stored message) looks it up in the list
// once: the hold keeps nothing alive, and a context the library has let go
// is looked up again, which refuses it.
struct LastContext {
  const void* handle = nullptr;
  std::weak_ptr<Context> context;
};
thread_local LastContext t_last_context;

std::shared_ptr<Context> context_of(zn_connection* handle, std::string& text) {
  LastContext& last = t_last_context;
  if (handle != nullptr && handle == last.handle) {
    std::shared_ptr<Context> c = last.context.lock();
    if (c && !c->released.load()) return c;
  }
  std::shared_ptr<Context> c = find_context(handle, text);
  if (c) {
    last.handle = handle;
    last.context = c;
  }
  return c;
}

template <typename R, typename Fn>
R with_context(zn_connection* handle, char* error, uint32_t error_size, R on_error, Fn&& body) {
  return guarded(error, error_size, on_error, [&]() -> R {
    std::string text;
    std::shared_ptr<Context> c = context_of(handle, text);
    if (!c) {
      copy_out(error, error_size, text);
      return on_error;
    }
    return body(*c);
  });
}

std::string cut(const char* text) {
  return text ? std::string(text).substr(0, 1023) : std::string();
}

}  // namespace

extern "C" {

KELDA_EXPORT int32_t zn_is_initialized(void) {
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  return lib.initialized ? 1 : 0;
}

KELDA_EXPORT int32_t zn_init(const char* ini_path, const MessageLayoutEntry* default_registry,
                             const MessageHandlerEntry* default_handlers, uint16_t language,
                             uint16_t sub_language, uint16_t dialect, uintptr_t owner, uintptr_t,
                             uintptr_t, uintptr_t, uintptr_t, char* error, uint32_t error_size) {
  return guarded(error, error_size, 0, [&]() -> int32_t {
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    if (lib.initialized) {
      copy_out(error, error_size, "Net library already was initialized");
      return 0;
    }
    if (!zn_tcp_init(ini_path, language, sub_language, dialect, owner, 0, 0, 0, 0, error,
                     error_size)) {
      return 0;
    }
    lib.ini_path = cut(ini_path);
    lib.owner = owner;
    lib.default_registry = default_registry;
    lib.default_handlers = default_handlers;
    lib.initialized = true;
    return 1;
  });
}

KELDA_EXPORT int32_t zn_set_param(uint32_t number, uintptr_t value) {
  try {
    zn_tcp_set_param(number, value);
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    switch (number) {
      case 1: lib.owner = value; return 1;
      case 2: lib.ini_path = cut(reinterpret_cast<const char*>(value)); return 1;
      case 3:
      case 4: return 1;
      case 5: lib.further_text = cut(reinterpret_cast<const char*>(value)); return 1;
      default: return 0;
    }
  } catch (...) {
    return 0;
  }
}

KELDA_EXPORT int32_t zn_get_version(void) { return 1; }

KELDA_EXPORT void zn_free_mem(void* block) { zn_tcp_free_mem(block); }

KELDA_EXPORT void zn_fin(void) {
  try {
    std::map<const void*, std::shared_ptr<Context>> all;
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    all.swap(lib.contexts);
    // The transport connections stay open: they must stop counting into the
    // statistics of the contexts freed here. A context still being set up
    // goes too: its connect finds it gone and closes the link it started.
    for (auto& [handle, c] : all) {
      c->released.store(true);
      if (zn_tcp_connection* t = c->transport.load()) {
        zn_tcp_set_statistics_params(t, nullptr, nullptr, nullptr, 0);
      }
    }
  } catch (...) {
  }
}

KELDA_EXPORT zn_connection* zn_connect_ex(
    const MessageHandlerEntry* handlers, const MessageLayoutEntry* registry, const char* name,
    uint32_t* out_number, const zn_crypto_params* crypto, uint16_t language,
    uint16_t sub_language, uint16_t dialect, uintptr_t owner, const zn_conn_setup* setup,
    zn_event_callback callback, uintptr_t user_data, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
    char* error, uint32_t error_size) {
  return guarded(error, error_size, static_cast<zn_connection*>(nullptr), [&]() -> zn_connection* {
    const ConnectRequest request{handlers, registry, name,  crypto, language, sub_language,
                                 dialect,  owner,    setup, callback, user_data};
    std::string text;
    std::shared_ptr<Context> c = open_connection(request, out_number, text);
    if (!c) {
      copy_out(error, error_size, text);
      return nullptr;
    }
    kelda::platform::set_last_error(0);
    return handle_of(c.get());
  });
}

KELDA_EXPORT zn_connection* zn_connect(const char* name, uint32_t* out_number,
                                       const zn_crypto_params* crypto, uint16_t language,
                                       uint16_t sub_language, uint16_t dialect, uintptr_t owner,
                                       const zn_conn_setup* setup, zn_event_callback callback,
                                       uintptr_t user_data, uintptr_t, uintptr_t, uintptr_t,
                                       uintptr_t, char* error, uint32_t error_size) {
  return zn_connect_ex(nullptr, nullptr, name, out_number, crypto, language, sub_language,
                       dialect, owner, setup, callback, user_data, 0, 0, 0, 0, error, error_size);
}

KELDA_EXPORT int32_t zn_disconnect(zn_connection* connection, int32_t mode, char* error,
                                   uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    if (!c.up.load() && !c.connecting.load()) return 0;
    char text[1024] = "";
    if (!zn_tcp_disconnect(c.transport.load(), mode, text, sizeof text)) {
      c.set_error(ZN_ERROR_TRANSPORT, text);
      copy_out(error, error_size, text);
      return 0;
    }
    return 1;
  });
}

KELDA_EXPORT int32_t zn_sendmsg(zn_connection* connection, uint32_t message_id,
                                const void* record, char* error, uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    if (error && error_size) error[0] = '\0';
    if (!c.up.load()) return 1;
    std::string text;
    if (send_message(c, message_id, record, text) == 1) return 1;
    copy_out(error, error_size, text);
    return 0;
  });
}

KELDA_EXPORT int32_t zn_recvmsg(zn_connection* connection, char* error, uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    std::string text;
    if (receive_message(c, text) == 1) return 1;
    copy_out(error, error_size, text);
    return 0;
  });
}

KELDA_EXPORT int32_t zn_set_connection_param(zn_connection* connection, uint32_t number,
                                             uintptr_t value, uintptr_t, uintptr_t, char* error,
                                             uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    if (number == 7) {
      if (value > 1) return 0;
      c.translation.store(static_cast<uint32_t>(value));
      return 1;
    }
    if (number == ZN_TCP_PARAM_RECEIVE_THRESHOLD || number == ZN_TCP_PARAM_SEND_WAIT_MS) {
      return zn_tcp_set_connection_param(c.transport.load(), number, value, 0, 0, error,
                                         error_size);
    }
    return 0;
  });
}

KELDA_EXPORT int32_t zn_get_connection_param(zn_connection* connection, uint32_t number,
                                             uint32_t* value, uintptr_t, uintptr_t, char* error,
                                             uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    if (value == nullptr) return 0;
    *value = 0;
    if (number != 7) return 0;
    *value = c.translation.load();
    return 1;
  });
}

KELDA_EXPORT zn_statistics* zn_getstataddr(zn_connection* connection, char* error,
                                           uint32_t error_size) {
  return with_context(connection, error, error_size, static_cast<zn_statistics*>(nullptr),
                      [&](Context& c) -> zn_statistics* { return &c.stats; });
}

KELDA_EXPORT int32_t zn_get_last_error(zn_connection* connection, char* error,
                                       uint32_t error_size) {
  if (connection == nullptr) {
    copy_out(error, error_size, "KeldaGetLastError: wrong connection info was set.");
    return 0;
  }
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    if (c.error_class() == ZN_ERROR_NONE) {
      int32_t code = 0;
      if (!zn_tcp_get_last_error(c.transport.load(), &code, error, error_size)) {
        copy_out(error, error_size, "");
      }
      return 1;
    }
    copy_out(error, error_size, c.error_text());
    return 1;
  });
}

KELDA_EXPORT int32_t zn_get_buffered_send_msg_count(zn_connection* connection,
                                                    uint32_t* out_count, char* error,
                                                    uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    return zn_tcp_get_buffered_send_msg_count(c.transport.load(), out_count, error, error_size);
  });
}

KELDA_EXPORT int32_t zn_get_proxy_settings_description(zn_connection* connection, char* text,
                                                       uint32_t text_size, uintptr_t r1,
                                                       uintptr_t r2, uintptr_t r3, uintptr_t r4,
                                                       char* error, uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    return zn_tcp_get_proxy_settings_description(c.transport.load(), text, text_size, r1, r2, r3,
                                                 r4, error, error_size);
  });
}

// The proxy settings dialog of the transport.
KELDA_EXPORT int32_t zn_config_proxy_settings(uintptr_t owner, const char* ini_path,
                                              zn_proxy_params* proxy, uintptr_t, uintptr_t,
                                              uintptr_t, uintptr_t) {
  return zn_tcp_config_proxy_settings(owner, ini_path, proxy);
}

KELDA_EXPORT int32_t zn_get_connection_cipher_crypto_provider_info(
    zn_connection* connection, int32_t* out_provider_id, char* name, uint32_t name_size,
    uintptr_t w1, uintptr_t w2, uintptr_t w3, uintptr_t w4, uintptr_t w5, uintptr_t w6,
    uintptr_t w7, uintptr_t w8, uintptr_t w9, uintptr_t w10, char* error, uint32_t error_size) {
  return with_context(connection, error, error_size, 0, [&](Context& c) -> int32_t {
    return zn_tcp_get_connection_cipher_crypto_provider_info(c.transport.load(), out_provider_id,
                                                             name, name_size, w1, w2, w3, w4,
                                                             w5, w6, w7, w8, w9, w10, error,
                                                             error_size);
  });
}

}  // extern "C"
