// Setting up a protocol connection (zn_connect_ex): the caller's connection
// parameters, the context with its handlers and message layouts, the
// transport's link, and the publication of the context once the link is
// asked for.
#include <algorithm>
#include <cstring>

#include "context.h"
#include "kit/codepage.h"
#include "kit/ini.h"

namespace kelda::de {

namespace {

constexpr const char* kWrongParameters = "Wrong connection parameters was set";

// "Неверно указаны параметры инициализации соединения"
constexpr const char* kWrongCryptoParameters =
    "\xCD\xE5\xE2\xE5\xF0\xED\xEE \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC"
    "\xE5\xF2\xF0\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8 \xF1\xEE"
    "\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF";

bool locale_accepted(uint16_t language, uint16_t sub_language, uint16_t dialect) {
  return language == 0x09 && sub_language == 0x01 && dialect != 0;
}

// Undoes a connection set-up that ends before its context is published.
struct SetUpUnwind {
  const std::shared_ptr<Context>& context;
  zn_tcp_connection*& transport;
  bool armed = false;

  ~SetUpUnwind() {
    if (!armed) return;
    try {
      Library& lib = library();
      std::lock_guard<std::shared_mutex> lock(lib.mutex);
      auto it = lib.contexts.find(context.get());
      if (it != lib.contexts.end() && it->second == context) lib.contexts.erase(it);
    } catch (...) {
    }
    context->released.store(true);
    context->end_set_up(false);
    if (transport != nullptr) {
      char ignored[kMaxErrorText + 1] = "";
      zn_tcp_disconnect(transport, 0, ignored, sizeof ignored);
    }
  }
};

// The parameters the caller's callback gives (mode 5). It runs before the
// library mutex is taken: it may call this library itself.
bool params_from_callback(const zn_conn_setup& setup, zn_conn_params& params, std::string& error) {
  if (setup.callback == nullptr) {
    error = kWrongParameters;
    return false;
  }
  zn_conn_params* given = nullptr;
  if (setup.callback(setup.user_data, &given) == 0) {
    error = "Callback function not return value";
    return false;
  }
  if (given == nullptr || given->version != 1) {
    error = kWrongParameters;
    return false;
  }
  params = *given;
  return true;
}

// Under the library mutex: the context's identity from the request.
void name_context(Context& c, Library& lib, const ConnectRequest& request, uint32_t* out_number) {
  if (request.language != 0 && request.sub_language != 0 && request.dialect != 0 &&
      locale_accepted(request.language, request.sub_language, request.dialect)) {
    c.language = request.language;
    c.sub_language = request.sub_language;
    c.dialect = request.dialect;
  }
  c.callback = request.callback;
  c.user_data = request.user_data;
  c.owner = request.owner;
  c.name = request.name ? std::string(request.name).substr(0, 127) : std::string();
  c.number = ++lib.counter;
  if (out_number) *out_number = c.number;
}

// Under the library mutex: the handler table (sorted by id) and the layouts.
bool load_tables(Context& c, const Library& lib, const ConnectRequest& request,
                 std::string& error) {
  const MessageHandlerEntry* table = request.handlers ? request.handlers : lib.default_handlers;
  if (table == nullptr) {
    error = format("Not set messages handler table for connection \"%s\"", c.name.c_str());
    return false;
  }
  for (const MessageHandlerEntry* e = table; e->id != 0; ++e) c.handlers.push_back(*e);
  std::stable_sort(c.handlers.begin(), c.handlers.end(),
                   [](const MessageHandlerEntry& a, const MessageHandlerEntry& b) {
                     return a.id < b.id;
                   });
  const MessageLayoutEntry* layouts = request.registry ? request.registry : lib.default_registry;
  if (layouts == nullptr) {
    error = format("Not set messages table for connection \"%s\"", c.name.c_str());
    return false;
  }
  CodecResult<LayoutRegistry> built = LayoutRegistry::build(layouts, c.name);
  if (!built) {
    error = built.error().text;
    return false;
  }
  c.registry.emplace(std::move(built.value()));
  return true;
}

// The transport's set-up and the check time-out from the caller's set-up
// (`params` holds what a callback gave and keeps what the transport reads).
bool transport_setup_of(Context& c, const zn_conn_setup* setup, zn_conn_params& params,
                        zn_conn_setup& out, std::string& error) {
  if (setup == nullptr) {
    error = kWrongParameters;
    return false;
  }
  out = *setup;
  switch (setup->mode) {
    case ZN_SETUP_INI:
      if (setup->ini_path[0] == '\0') {
        error = "Not set settings INI-file";
        return false;
      }
      c.check_timeout = static_cast<uint16_t>(kit::ini_read_int(
          u"connect", u"check-tmo", 150,
          kit::decode(kit::CodePage::cp1251,
                      std::string_view(setup->ini_path,
                                       strnlen(setup->ini_path, sizeof setup->ini_path)))
              .c_str()));
      break;
    case ZN_SETUP_CALLBACK:
      out.mode = ZN_SETUP_RECORD;  // the callback gave the parameters
      break;
    case ZN_SETUP_RECORD:
      if (setup->params == nullptr || setup->params->version != 1) {
        error = kWrongParameters;
        return false;
      }
      params = *setup->params;
      break;
    default:
      error = format("Not support connection establishing mode %ld", static_cast<long>(setup->mode));
      return false;
  }
  if (out.mode == ZN_SETUP_RECORD) {
    c.check_timeout = static_cast<uint16_t>(params.check_timeout);
    params.check_timeout = c.check_timeout;
    out.params = &params;
  }
  return true;
}

// Under the library mutex: publishes a context whose link was asked for.
// false when the library's end freed the context meanwhile.
bool publish(const std::shared_ptr<Context>& c, Library& lib, zn_tcp_connection* t) {
  auto it = lib.contexts.find(c.get());
  if (it == lib.contexts.end() || it->second != c) return false;
  c->transport.store(t);
  zn_tcp_set_statistics_params(t, &c->stats.bytes_written, &c->stats.bytes_read, nullptr, 0);
  c->connecting.store(1);
  c->set_error(ZN_ERROR_NONE, "");
  return true;
}

}  // namespace

std::shared_ptr<Context> open_connection(const ConnectRequest& request, uint32_t* out_number,
                                         std::string& error) {
  if (request.crypto == nullptr || request.crypto->version != 1) {
    error = kWrongCryptoParameters;
    return nullptr;
  }
  zn_conn_params params{};
  const zn_conn_setup* setup = request.setup;
  if (setup != nullptr && setup->mode == ZN_SETUP_CALLBACK &&
      !params_from_callback(*setup, params, error)) {
    return nullptr;
  }
  Library& lib = library();
  auto c = std::make_shared<Context>();
  zn_tcp_connection* t = nullptr;
  // From the moment the context is listed until it is published, leaving
  // (a failure or an exception) unlists it, opens its set-up gate for the
  // lookups waiting there and closes a link the transport already started.
  SetUpUnwind unwind{c, t};
  zn_conn_setup transport_setup{};
  {
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    name_context(*c, lib, request, out_number);
    if (!load_tables(*c, lib, request, error) ||
        !transport_setup_of(*c, setup, params, transport_setup, error)) {
      return nullptr;
    }
    // Listed with its gate closed: the transport's events for it wait
    // until it is published below.
    lib.contexts[c.get()] = c;
    unwind.armed = true;
  }

  // The transport's connect runs without the library mutex: it may show
  // the provider choice or the provider's own dialog, and every other
  // connection goes on meanwhile.
  char text[kMaxErrorText + 1] = "";
  t = zn_tcp_connect(c->name.c_str(), nullptr, c->language, c->sub_language, c->dialect,
                     request.crypto, request.owner, 2, 1, &transport_setup,
                     &transport_event_handler, reinterpret_cast<uintptr_t>(c.get()), 0, 0, 0, 0,
                     text, sizeof text);
  if (t == nullptr) {
    error = text;
    return nullptr;
  }
  {
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    if (!publish(c, lib, t)) {
      // The library's end freed the context during the connect: the link
      // has no owner left and is closed on the way out.
      error = "Net library was finished while the connection was set up";
      return nullptr;
    }
    unwind.armed = false;
    c->end_set_up(true);
  }
  return c;
}

}  // namespace kelda::de
