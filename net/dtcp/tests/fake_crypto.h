// A crypto port for the transport's own tests: identity encryption, a
// scripted key exchange, and a record of the calls that matter.
#pragma once

#include <deque>
#include <mutex>

#include "crypto_port.h"

namespace kelda::dtcp::testing {

class FakeCrypto final : public CryptoPort {
 public:
  struct Step {
    uint32_t flags;
    std::vector<uint8_t> out;  // sent with flag 8
  };

  int32_t id = 4;
  std::string name = "Sekura32";
  std::deque<Step> steps;  // empty: done at once
  bool fail_encrypt = false;
  bool fail_decrypt = false;

  // Inputs the key exchange received, and context parameters set.
  std::vector<std::vector<uint8_t>> handshake_inputs;
  std::vector<std::pair<uint32_t, uintptr_t>> context_params;
  // Messages encrypted before and after the protect-flags switch.
  int encrypted_before_switch = 0;

  bool initialize(const std::string&, const Locale&, uintptr_t, std::string&) override {
    return true;
  }
  void finish() override {}
  bool cipher_provider_name(const zn_crypto_params&, const std::string&, uintptr_t,
                            std::string& out, std::string&) override {
    out = name;
    return true;
  }
  bool open(CryptoSession& s, const zn_crypto_params&, const Locale&, uintptr_t,
            std::string&) override {
    s.provider = this;
    return true;
  }
  int32_t provider_id(const std::string&, std::string&) override { return id; }
  uint32_t handshake(CryptoSession&, std::span<const uint8_t> in, std::span<const uint8_t>& out,
                     const uintptr_t[4], std::string& error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!in.empty()) handshake_inputs.emplace_back(in.begin(), in.end());
    if (steps.empty()) return kHandshakeDone;
    current_ = steps.front();
    steps.pop_front();
    out = current_.out;
    if (current_.flags & kHandshakeError) error = "provider refused the key exchange";
    return current_.flags;
  }
  bool encrypt(CryptoSession&, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fail_encrypt) {
      error = "encryption failed";
      return false;
    }
    if (context_params.empty()) ++encrypted_before_switch;
    out.assign(in.begin(), in.end());
    return true;
  }
  bool decrypt(CryptoSession&, std::span<const uint8_t> in, std::vector<uint8_t>& out,
               std::string& error) override {
    if (fail_decrypt) {
      error = "decryption failed";
      return false;
    }
    out.assign(in.begin(), in.end());
    return true;
  }
  bool set_context_param(CryptoSession&, uint32_t param, uintptr_t value, std::string&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    context_params.emplace_back(param, value);
    return true;
  }
  void close(CryptoSession& s) override { s.provider = s.context = nullptr; }

  std::mutex mutex_;

 private:
  Step current_;
};

}  // namespace kelda::dtcp::testing
