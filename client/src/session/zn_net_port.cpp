#include "session/zn_net_port.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "core/text_util.h"
#include "messages/message_set.h"
#include "zn_de/zn_de.h"

namespace kelda::kelapi {
namespace {

constexpr std::size_t kPathChars = 511;

// The library's event handler, for the protocol library's callback.
std::atomic<NetEventHandler> g_handler{nullptr};

int32_t on_event(uintptr_t user_data, int32_t event, int32_t*, void* event_data, uint32_t, const void*,
                 uint32_t) {
  const NetEventHandler handler = g_handler.load();
  return handler == nullptr ? -1 : handler(user_data, event, event_data);
}

void copy_path(char (&dst)[512], const std::string& path) { copy_bounded(dst, path.c_str(), kPathChars); }

class ZnNetPort final : public NetPort {
 public:
  bool is_initialized() override { return zn_is_initialized() != 0; }

  int32_t init(const std::string& settings_path, int16_t language, int16_t sub_language,
               ErrorText& error) override {
    return zn_init(settings_path.c_str(), kelapi_layout_registry(), kelapi_handler_table(),
                   static_cast<uint16_t>(language), 1, static_cast<uint16_t>(sub_language), 0, 0, 0, 0, 0,
                   error.data(), static_cast<uint32_t>(error.size()));
  }

  uintptr_t init_sign_context(int16_t language, int16_t sub_language, const std::string& parameter,
                              ErrorText& error) override {
    zn_crypto_params params;
    std::memset(&params, 0, sizeof params);
    params.version = 1;
    params.open_context = 2;
    params.selection_mode = 2;
    copy_path(params.ini_path, parameter);
    params.provider_words[4] = 1;
    params.provider_words[5] = 2;
    return reinterpret_cast<uintptr_t>(zn_init_crypto_sign_context(static_cast<uint16_t>(language), 1,
                                                                   static_cast<uint16_t>(sub_language), &params,
                                                                   0, 0, 0, 0, 0, error.data(),
                                                                   static_cast<uint32_t>(error.size())));
  }

  void delete_sign_context(uintptr_t context, ErrorText& error) override {
    zn_delete_crypto_sign_context(reinterpret_cast<zn_sign_context*>(context), 0, 0, 0, 0, error.data(),
                                  static_cast<uint32_t>(error.size()));
  }

  std::string cipher_provider(const std::string& settings_path, ErrorText& error) override {
    char name[80] = {};
    zn_get_cipher_crypto_provider(name, sizeof name, settings_path.c_str(), error.data(),
                                  static_cast<uint32_t>(error.size()));
    name[sizeof name - 1] = '\0';
    return name;
  }

  std::string provider_settings_path(const std::string& provider, ErrorText& error) override {
    char path[260] = {};
    char module[260] = {};
    int32_t initialized = 0;
    int32_t configurable = 0;
    zn_get_crypto_provider_info(provider.c_str(), path, sizeof path, module, sizeof module, &initialized,
                                &configurable, 0, 0, 0, 0, error.data(), static_cast<uint32_t>(error.size()));
    path[sizeof path - 1] = '\0';
    return path;
  }

  uintptr_t connect(const NetConnectParams& p, NetEventHandler handler, uintptr_t cookie,
                    ErrorText& error) override {
    zn_crypto_params cipher;
    std::memset(&cipher, 0, sizeof cipher);
    cipher.version = 1;
    cipher.open_context = 1;
    cipher.selection_mode = 2;
    copy_path(cipher.ini_path, p.cipher_path);
    cipher.provider_words[4] = 4;
    cipher.provider_words[5] = p.cipher_kind;
    cipher.context_words[0] = reinterpret_cast<uintptr_t>(p.credentials);
    zn_conn_setup setup;
    std::memset(&setup, 0, sizeof setup);
    setup.reserved = 1;
    setup.mode = ZN_SETUP_INI;
    copy_path(setup.ini_path, p.settings_path);
    g_handler.store(handler);
    uint32_t number = 0;
    zn_connection* connection = zn_connect_ex(
        kelapi_handler_table(), kelapi_layout_registry(), "KeldaApi connection", &number, &cipher,
        static_cast<uint16_t>(p.language), 1, static_cast<uint16_t>(p.sub_language), 0, &setup, &on_event,
        cookie, 0, 0, 0, 0, error.data(), static_cast<uint32_t>(error.size()));
    return reinterpret_cast<uintptr_t>(connection);
  }

  bool set_connection_param(uintptr_t connection, uint32_t number, uint32_t value, ErrorText& error) override {
    return zn_set_connection_param(handle(connection), number, value, 0, 0, error.data(),
                                   static_cast<uint32_t>(error.size())) != 0;
  }

  int32_t recv(uintptr_t connection, ErrorText& error) override {
    return zn_recvmsg(handle(connection), error.data(), static_cast<uint32_t>(error.size()));
  }

  int32_t send(uintptr_t connection, uint16_t id, const void* record, ErrorText& error) override {
    return zn_sendmsg(handle(connection), id, record, error.data(), static_cast<uint32_t>(error.size()));
  }

  int32_t disconnect(uintptr_t connection, ErrorText& error) override {
    return zn_disconnect(handle(connection), 0, error.data(), static_cast<uint32_t>(error.size()));
  }

  void last_error(uintptr_t connection, ErrorText& error) override {
    error[0] = '\0';
    zn_get_last_error(handle(connection), error.data(), static_cast<uint32_t>(error.size()));
  }

  bool sign(uintptr_t context, std::span<const uint8_t> data, std::vector<uint8_t>& signed_data,
            ErrorText& error) override {
    void* output = nullptr;
    uint32_t length = 0;
    if (zn_sign_data(reinterpret_cast<zn_sign_context*>(context), data.data(), static_cast<uint32_t>(data.size()),
                     &output, &length, 0, 0, 0, 0, error.data(), static_cast<uint32_t>(error.size())) == 0) {
      return false;
    }
    // The signed block goes back to the protocol library also when copying it fails.
    const std::unique_ptr<void, void (*)(void*)> owned(output, &zn_free_mem);
    const auto* bytes = static_cast<const uint8_t*>(output);
    signed_data.assign(bytes, bytes + length);
    return true;
  }

 private:
  static zn_connection* handle(uintptr_t connection) { return reinterpret_cast<zn_connection*>(connection); }
};

}  // namespace

std::shared_ptr<NetPort> make_zn_net_port() { return std::make_shared<ZnNetPort>(); }

}  // namespace kelda::kelapi
