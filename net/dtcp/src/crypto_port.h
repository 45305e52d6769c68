// The transport's view of the crypto-provider dispatcher: finding the cipher
// provider, opening its context, the key exchange, encryption and decryption.
//
// The production port forwards to the dispatcher library; tests of the
// transport alone install a port of their own (set_crypto_port). A port is
// shared by every connection and must be safe to call from several threads
// at once (calls on one session are serialised by the caller only where the
// transport says so: encryption under the send mutex, decryption on the
// receive thread, the key exchange on the connection thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "zn_dtcp/zn_dtcp.h"

namespace kelda::dtcp {

// Handshake result flags of a provider step.
inline constexpr uint32_t kHandshakeError = 1;
inline constexpr uint32_t kHandshakeDone = 2;
inline constexpr uint32_t kHandshakeNeedInput = 4;
inline constexpr uint32_t kHandshakeOutput = 8;

struct Locale {
  uint16_t language = 0x09;
  uint16_t sub_language = 0x01;
  uint16_t dialect = 0x01;
};

// One connection's provider and context; the port owns what the handles name.
struct CryptoSession {
  std::string provider_name;
  std::atomic<int32_t> provider_id{-1};  // set while negotiating, read by any thread
  void* provider = nullptr;  // dispatcher's provider handle
  void* context = nullptr;   // provider context
  // Provider memory reused from call to call (freed by close()): the
  // key-exchange output, the encryption output (under the send mutex) and
  // the decryption output (on the reading thread).
  void* handshake_out = nullptr;
  uint32_t handshake_capacity = 0;
  void* encrypt_out = nullptr;
  uint32_t encrypt_capacity = 0;
  void* decrypt_out = nullptr;
  uint32_t decrypt_capacity = 0;
};

class CryptoPort {
 public:
  virtual ~CryptoPort() = default;

  // Library start and end (dispatcher initialisation).
  virtual bool initialize(const std::string& ini_path, const Locale& locale, uintptr_t owner,
                          std::string& error) = 0;
  virtual void finish() = 0;

  // The cipher provider's name chosen by the crypto parameters.
  virtual bool cipher_provider_name(const zn_crypto_params& params, const std::string& library_ini,
                                    uintptr_t owner, std::string& name, std::string& error) = 0;
  // Initialises the provider and opens its context (open-context flag 1).
  virtual bool open(CryptoSession& session, const zn_crypto_params& params, const Locale& locale,
                    uintptr_t owner, std::string& error) = 0;
  // The provider's id by name, -1 when it cannot be had.
  virtual int32_t provider_id(const std::string& name, std::string& error) = 0;
  // One key-exchange step; `out` is set to the block to send with flag 8.
  virtual uint32_t handshake(CryptoSession& session, std::span<const uint8_t> in,
                             std::span<const uint8_t>& out, const uintptr_t words[4],
                             std::string& error) = 0;
  // Encrypts or decrypts `in` into `out` (resized to the result); false on failure.
  virtual bool encrypt(CryptoSession& session, std::span<const uint8_t> in,
                       std::vector<uint8_t>& out, std::string& error) = 0;
  virtual bool decrypt(CryptoSession& session, std::span<const uint8_t> in,
                       std::vector<uint8_t>& out, std::string& error) = 0;
  virtual bool set_context_param(CryptoSession& session, uint32_t param, uintptr_t value,
                                 std::string& error) = 0;
  // Frees the context and handshake memory; de-initialises the provider unless
  // another session still uses its id.
  virtual void close(CryptoSession& session) = 0;
};

// The port in use (the dispatcher's unless a test installed another).
CryptoPort& crypto_port();
// Installs a port for tests; null restores the dispatcher's.
void set_crypto_port(std::shared_ptr<CryptoPort> port);

}  // namespace kelda::dtcp
