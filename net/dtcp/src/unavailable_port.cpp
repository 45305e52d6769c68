// The crypto port of a build without the crypto-provider dispatcher: every
// call fails with a clear text.
#include "crypto_port.h"

namespace kelda::dtcp {

namespace {

class DispatcherPort final : public CryptoPort {
 public:
  bool initialize(const std::string&, const Locale&, uintptr_t, std::string&) override {
    return true;
  }
  void finish() override {}
  bool cipher_provider_name(const zn_crypto_params&, const std::string&, uintptr_t,
                            std::string& name, std::string& error) override {
    name.clear();
    error = kMissing;
    return false;
  }
  bool open(CryptoSession&, const zn_crypto_params&, const Locale&, uintptr_t,
            std::string& error) override {
    error = kMissing;
    return false;
  }
  int32_t provider_id(const std::string&, std::string& error) override {
    error = kMissing;
    return -1;
  }
  uint32_t handshake(CryptoSession&, std::span<const uint8_t>, std::span<const uint8_t>&,
                     const uintptr_t[4], std::string& error) override {
    error = kMissing;
    return kHandshakeError;
  }
  bool encrypt(CryptoSession&, std::span<const uint8_t>, std::vector<uint8_t>&,
               std::string& error) override {
    error = kMissing;
    return false;
  }
  bool decrypt(CryptoSession&, std::span<const uint8_t>, std::vector<uint8_t>&,
               std::string& error) override {
    error = kMissing;
    return false;
  }
  bool set_context_param(CryptoSession&, uint32_t, uintptr_t, std::string& error) override {
    error = kMissing;
    return false;
  }
  void close(CryptoSession&) override {}

 private:
  static constexpr const char* kMissing = "Crypto provider dispatcher is not available";
};

}  // namespace

std::shared_ptr<CryptoPort> make_dispatcher_port() { return std::make_shared<DispatcherPort>(); }

}  // namespace kelda::dtcp
