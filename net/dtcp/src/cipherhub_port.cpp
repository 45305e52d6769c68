// The crypto port over the crypto-provider dispatcher Cipherhub.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "cipherhub/cipherhub.h"
#include "crypto_port.h"
#include "dispatcher_users.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

constexpr uint32_t kErrorSize = 1024;

// "Не указан криптопровайдер шифрования, используемый по умолчанию"
const char* const kNoDefault =
    "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5"
    "\xF0 \xF8\xE8\xF4\xF0\xEE\xE2\xE0\xED\xE8\xFF, \xE8\xF1\xEF\xEE\xEB\xFC\xE7\xF3\xE5\xEC\xFB"
    "\xE9 \xEF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE";
// "Не указан INI-файл с настройками криптопровайдера шифрования"
const char* const kNoIni =
    "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED INI-\xF4\xE0\xE9\xEB \xF1 \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA"
    "\xE0\xEC\xE8 \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5\xF0\xE0 \xF8\xE8\xF4"
    "\xF0\xEE\xE2\xE0\xED\xE8\xFF";
// "Режим инициализации криптопровайдера шифрования %ld не поддерживается"
const char* const kBadMode =
    "\xD0\xE5\xE6\xE8\xEC \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8 \xEA\xF0\xE8\xEF"
    "\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5\xF0\xE0 \xF8\xE8\xF4\xF0\xEE\xE2\xE0\xED\xE8\xFF "
    "%ld \xED\xE5 \xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2\xF1\xFF";
// "Не указан криптопровайдер шифрования"
const char* const kNoName =
    "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5"
    "\xF0 \xF8\xE8\xF4\xF0\xEE\xE2\xE0\xED\xE8\xFF";

std::string text_of(const char* buffer) { return std::string(buffer); }

std::mutex g_users_mutex;
std::map<std::string, int>& users() {
  static auto* map = new std::map<std::string, int>;
  return *map;
}

class DispatcherPort final : public CryptoPort {
 public:
  bool initialize(const std::string& ini_path, const Locale& locale, uintptr_t owner,
                  std::string& error) override {
    char text[kErrorSize] = "";
    if (CPDAPI_InitializeLib(locale.language, locale.sub_language, locale.dialect, owner, 2, 0, 0,
                             ini_path.c_str(), 0, 0, 0, 0, text, sizeof text) == 0) {
      error = text_of(text);
      return false;
    }
    return true;
  }

  void finish() override { CPDAPI_UninitializeLib(0, 0, 0, 0); }

  bool cipher_provider_name(const zn_crypto_params& params, const std::string& library_ini,
                            uintptr_t owner, std::string& name, std::string& error) override {
    char buffer[256] = "";
    switch (params.selection_mode) {
      case 1:
        CPDAPI_GetDefaultCipherCryptoProvider(buffer, sizeof buffer);
        if (buffer[0] == '\0') {
          error = kNoDefault;
          return false;
        }
        break;
      case 2:
      case 3: {
        std::string path(params.ini_path, strnlen(params.ini_path, sizeof params.ini_path));
        if (path.empty()) path = library_ini;
        if (path.empty()) {
          error = kNoIni;
          return false;
        }
        if (params.selection_mode == 3) {
          // The user picks the provider (on the user-interface thread, while
          // this thread waits), which is stored for that file; a cancelled
          // dialog leaves no name.
          if (CPDAPI_SelectCipherCryptoProvider(owner, path.c_str(), buffer, sizeof buffer, 0) !=
              1) {
            buffer[0] = '\0';
          }
        } else if (!CPDAPI_GetCryptoProviderName(path.c_str(), buffer, sizeof buffer, 1, 0) &&
                   !CPDAPI_GetCryptoProviderName(library_ini.c_str(), buffer, sizeof buffer, 1,
                                                 0)) {
          std::strcpy(buffer, "Sekura32");
        }
        break;
      }
      default:
        error = format(kBadMode, static_cast<long>(params.selection_mode));
        return false;
    }
    name = buffer;
    if (name.empty()) {
      error = kNoName;
      return false;
    }
    return true;
  }

  bool open(CryptoSession& s, const zn_crypto_params& p, const Locale& locale, uintptr_t owner,
            std::string& error) override {
    char text[kErrorSize] = "";
    std::string ini(p.provider_ini_path, strnlen(p.provider_ini_path, sizeof p.provider_ini_path));
    if (ini.empty()) ini.assign(p.ini_path, strnlen(p.ini_path, sizeof p.ini_path));
    const auto* w = p.provider_words;
    cp_provider_record* provider = CPDAPI_InitCryptoProviderByName(
        s.provider_name.c_str(), locale.language, locale.sub_language, locale.dialect, owner,
        static_cast<int32_t>(w[0]), w[1], w[2], ini.c_str(), w[3], 0, 0, 0, text, sizeof text);
    if (provider == nullptr) {
      error = text_of(text);
      return false;
    }
    CpapiContext* context = CPDAPI_NewCryptoContext(
        provider, static_cast<int32_t>(w[4]), locale.language, locale.sub_language,
        locale.dialect, owner, static_cast<int32_t>(w[5]),
        reinterpret_cast<CpapiParamCallback>(w[6]), w[7], ini.c_str(),
        reinterpret_cast<const void*>(p.context_words[0]), p.context_words[1], 0, 0, text,
        sizeof text);
    if (context == nullptr) {
      error = text_of(text);
      provider_acquired(s.provider_name);
      provider_released(s.provider_name);
      return false;
    }
    provider_acquired(s.provider_name);
    s.provider = provider;
    s.context = context;
    return true;
  }

  int32_t provider_id(const std::string& name, std::string& error) override {
    char text[kErrorSize] = "";
    int32_t id = CPDAPI_GetProviderId(name.c_str(), 0, 0, 0, 0, text, sizeof text);
    if (id == -1) error = text_of(text);
    return id;
  }

  uint32_t handshake(CryptoSession& s, std::span<const uint8_t> in, std::span<const uint8_t>& out,
                     const uintptr_t words[4], std::string& error) override {
    char text[kErrorSize] = "";
    uint32_t length = s.handshake_capacity;
    int32_t flags = CPDAPI_HandShake(
        static_cast<cp_provider_record*>(s.provider), static_cast<CpapiContext*>(s.context), 0,
        in.empty() ? nullptr : in.data(), static_cast<uint32_t>(in.size()), &s.handshake_out,
        &length, words[0], words[1], words[2], words[3], text, sizeof text);
    s.handshake_capacity = std::max(s.handshake_capacity, length);
    if (flags & CP_HANDSHAKE_ERROR) {
      error = text_of(text);
      return kHandshakeError;
    }
    out = (flags & CP_HANDSHAKE_SEND) && s.handshake_out
              ? std::span<const uint8_t>(static_cast<const uint8_t*>(s.handshake_out), length)
              : std::span<const uint8_t>();
    return static_cast<uint32_t>(flags);
  }

  bool encrypt(CryptoSession& s, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& error) override {
    return transform(&CPDAPI_EnCryptData, s, s.encrypt_out, s.encrypt_capacity, in, out, error);
  }

  bool decrypt(CryptoSession& s, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& error) override {
    return transform(&CPDAPI_DeCryptData, s, s.decrypt_out, s.decrypt_capacity, in, out, error);
  }

  bool set_context_param(CryptoSession& s, uint32_t param, uintptr_t value,
                         std::string& error) override {
    char text[kErrorSize] = "";
    if (CPDAPI_SetContextParam(static_cast<cp_provider_record*>(s.provider),
                               static_cast<CpapiContext*>(s.context),
                               static_cast<int32_t>(param), value, 0, 0, text, sizeof text) == 0) {
      error = text_of(text);
      return false;
    }
    return true;
  }

  void close(CryptoSession& s) override {
    auto* provider = static_cast<cp_provider_record*>(s.provider);
    if (provider == nullptr) return;
    for (void** block : {&s.handshake_out, &s.encrypt_out, &s.decrypt_out}) {
      CPDAPI_FreeMemory(provider, *block);
      *block = nullptr;
    }
    char text[kErrorSize] = "";
    CPDAPI_FreeCryptoContext(provider, static_cast<CpapiContext*>(s.context), 0, 0, 0, 0, text,
                             sizeof text);
    s.context = nullptr;
    s.provider = nullptr;
    provider_released(s.provider_name);
  }

 private:
  using Transform = int32_t (*)(cp_provider_record*, CpapiContext*, const void*, uint32_t, void**,
                                uint32_t*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*,
                                uint32_t);

  static bool transform(Transform fn, CryptoSession& s, void*& buffer, uint32_t& capacity,
                        std::span<const uint8_t> in, std::vector<uint8_t>& out,
                        std::string& error) {
    char text[kErrorSize] = "";
    uint32_t length = capacity;
    int32_t r = fn(static_cast<cp_provider_record*>(s.provider),
                   static_cast<CpapiContext*>(s.context), in.data(),
                   static_cast<uint32_t>(in.size()), &buffer, &length, 0, 0, 0, 0, text,
                   sizeof text);
    capacity = std::max(capacity, length);
    if (r != CP_CRYPT_DONE) {
      error = text[0] ? text_of(text) : "Crypto provider failed to process the data";
      return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    out.assign(bytes, bytes + (bytes ? length : 0));
    return true;
  }
};

}  // namespace

void provider_acquired(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_users_mutex);
  ++users()[name];
}

void provider_released(const std::string& name) {
  {
    std::lock_guard<std::mutex> lock(g_users_mutex);
    auto it = users().find(name);
    if (it != users().end() && --it->second > 0) return;
    if (it != users().end()) users().erase(it);
  }
  char text[kErrorSize] = "";
  CPDAPI_DeInitCryptoProviderByName(name.c_str(), 0, 0, 0, 0, text, sizeof text);
}

std::shared_ptr<CryptoPort> make_dispatcher_port() { return std::make_shared<DispatcherPort>(); }

}  // namespace kelda::dtcp
