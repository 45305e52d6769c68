// A stand-in for the protocol library in the client library's tests.
//
// It records every call, answers as a test sets it up, and lets the test act
// as the network stack: raise connection events and store received
// messages, which recv() hands to the library's real handler table.
// Thread-safe: the library calls it on its threads while the test drives it.
#pragma once

#include <condition_variable>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sync.h"
#include "session/net_port.h"

namespace kelda::kelapi::test {

struct SentMessage {
  uint16_t id;
  std::vector<uint8_t> bytes;
  // The connection's send wait (parameter 9) when the message was sent; -1
  // while the library has not set it (the transport's own limit).
  int64_t send_wait_ms = -1;
  template <typename Record>
  Record as() const {
    Record r{};
    std::memcpy(&r, bytes.data(), std::min(sizeof r, bytes.size()));
    return r;
  }
};

class FakeNet : public NetPort {
 public:
  // What the calls answer.
  int32_t init_result = 1;
  uintptr_t sign_context = 77;
  std::string provider;  // "" or "Sekura32": credentials are passed
  std::string provider_path = "provider.ini";
  bool connect_fails = false;
  bool character_mode_fails = false;
  std::string error_text;       // written on failures
  std::string last_error_text;  // what last_error() gives

  // Raises a connection event as the network stack would (any thread).
  int32_t raise(int32_t event, const void* data = nullptr);
  // Raises an event with a cookie the library no longer holds.
  int32_t raise_stale(int32_t event);
  // Stores a received message and tells the library (event 6).
  void deliver(uint16_t id, const void* record, std::size_t size);
  template <typename Record>
  void deliver(uint16_t id, const Record& record) {
    deliver(id, &record, sizeof record);
  }
  // Waits until every delivered message has been handled; false on time-out.
  bool wait_handled(int timeout_ms = 30000);
  // Waits until connect() has been called n times in all.
  bool wait_connects(int n, int timeout_ms = 30000);

  std::vector<std::string> calls() const;
  int connects() const;
  std::vector<SentMessage> sent() const;
  std::vector<SentMessage> sent(uint16_t id) const;
  void clear_sent();
  // After n more successful sends every send fails (returns 0); -1: never.
  void fail_sends_after(int n);
  // Set whenever the library sends a message or disconnects: a wait that
  // must keep a user-interface loop running waits for it.
  platform::Event& activity() { return activity_; }
  NetConnectParams last_params() const;
  NetCredentials last_credentials() const;
  std::vector<std::pair<uint32_t, uint32_t>> connection_params() const;

  // NetPort
  bool is_initialized() override;
  int32_t init(const std::string&, int16_t, int16_t, ErrorText& error) override;
  uintptr_t init_sign_context(int16_t, int16_t, const std::string&, ErrorText& error) override;
  void delete_sign_context(uintptr_t, ErrorText&) override;
  std::string cipher_provider(const std::string&, ErrorText&) override;
  std::string provider_settings_path(const std::string&, ErrorText&) override;
  uintptr_t connect(const NetConnectParams& params, NetEventHandler handler, uintptr_t cookie,
                    ErrorText& error) override;
  bool set_connection_param(uintptr_t, uint32_t number, uint32_t value, ErrorText& error) override;
  int32_t recv(uintptr_t, ErrorText&) override;
  int32_t send(uintptr_t, uint16_t id, const void* record, ErrorText&) override;
  int32_t disconnect(uintptr_t, ErrorText&) override;
  void last_error(uintptr_t, ErrorText& error) override;
  bool sign(uintptr_t, std::span<const uint8_t> data, std::vector<uint8_t>& out, ErrorText&) override;

 private:
  void fail(ErrorText& error) const;
  void note(std::string call);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
  std::vector<SentMessage> sent_;
  std::deque<std::pair<uint16_t, std::vector<uint8_t>>> inbox_;
  std::size_t delivered_ = 0;
  std::size_t dropped_ = 0;
  std::size_t handled_ = 0;
  int connects_ = 0;
  int sends_left_ = -1;
  platform::Event activity_{platform::Event::Reset::automatic};
  bool initialized_ = false;
  NetEventHandler handler_ = nullptr;
  uintptr_t cookie_ = 0;
  uintptr_t stale_cookie_ = 0;
  NetConnectParams params_;
  NetCredentials credentials_{};
  std::vector<std::pair<uint32_t, uint32_t>> connection_params_;
  int64_t send_wait_ms_ = -1;  // of the current connection
};

// The native size of a message the library sends.
std::size_t sent_record_size(uint16_t id);
// The size of a decoded record of a message, as the protocol library's codec
// gives it (0 for an id without a layout).
std::size_t decoded_size(uint16_t id);

}  // namespace kelda::kelapi::test
