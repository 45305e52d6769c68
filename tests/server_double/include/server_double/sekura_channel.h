// The server's side of the channel key exchange and of the encrypted link,
// over the cryptographic library sekura32, for the server double.
//
// The server opens the exchange with its own user (its secret key from the
// library's default key rings) and learns the client from the client's
// signed answer; afterwards every data block of the session is enciphered
// and deciphered here: the client's first block in message mode, everything
// else in channel mode, as the client's provider does.
//
// Threading: exchange() on the thread that reads the session; afterwards
// enciphering (under the session's send order) and deciphering (on the
// reading thread) may overlap. Nothing throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "server_double/server_double.h"

struct SkSession;

namespace kelda::server_double {

// The test key rings of tests/data/sekura32 (users "demo" with password
// "demo", and "KeldaServer" with password "server"), copied into `folder`
// and made the library's default rings.
void use_test_key_rings(const std::filesystem::path& data, const std::filesystem::path& folder);
// Puts a path into a settings slot of the library.
void set_library_setting(int slot, const std::string& value);

// How the server breaks the exchange, for tests of a client facing it.
enum class ExchangeFault {
  none,
  garbage_opening,       // bytes that are no message in place of the opening message
  forged_opening,        // the opening message with a byte changed
  error_frame,           // an error frame in place of the opening message
  silent_after_opening,  // the link dropped after the opening message
  broken_closing,        // the closing message with a byte changed
};

class SekuraChannel {
 public:
  // The server's session pair, its own user opened with the password; null
  // with the library's result in *result.
  static std::unique_ptr<SekuraChannel> open(const std::string& user, const std::string& password,
                                             uint32_t* result = nullptr);
  ~SekuraChannel();
  SekuraChannel(const SekuraChannel&) = delete;
  SekuraChannel& operator=(const SekuraChannel&) = delete;

  // Runs the server's side on a session whose check time-out was read and,
  // when the exchange completes, installs the cipher on it. false when the
  // client's block does not verify or the fault ends it.
  bool exchange(Session& session, ExchangeFault fault = ExchangeFault::none);
  // The library result of the last failure (0 when none).
  uint32_t last_result() const { return last_result_; }
  // The client's user id learnt from the exchange (-1 before).
  int32_t peer_user_id() const;
  // The next block from the server as the installed cipher sends it (empty
  // when the library refuses); for callers that write prepared blocks.
  Bytes encrypt(std::span<const uint8_t> data);

 private:
  SekuraChannel() = default;
  Bytes decrypt(std::span<const uint8_t> data);
  bool send_exchange_message(Session& session, bool corrupt);

  SkSession* own_ = nullptr;
  SkSession* peer_ = nullptr;
  bool first_block_in_ = true;  // the reading thread's
  uint32_t last_result_ = 0;
};

}  // namespace kelda::server_double
