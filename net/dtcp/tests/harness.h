// A small upper layer for the transport's tests: connects to the server
// double with a record, logs every event, and plays the protocol library's
// part of the negotiation inside event 11 (unless a test replaces it).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "fake_crypto.h"
#include "library.h"
#include "server_double/server_double.h"
#include "zn_dtcp/zn_dtcp.h"

namespace kelda::dtcp::testing {

struct Event {
  int32_t event;
  int32_t result;
  int32_t code;      // events 9 and 10
  std::vector<uint8_t> block;
  uint32_t size;
};

class Upper {
 public:
  // Answers by event; absent: 0. May change the result word.
  std::map<int32_t, std::function<int32_t(int32_t& result, const void* block, uint32_t size)>> answers;
  zn_tcp_connection* connection = nullptr;  // under setup_mutex
  std::mutex setup_mutex;                  // held while zn_tcp_connect runs
  std::string error_at_close;              // the last error when event 3 came

  static int32_t callback(uintptr_t user, int32_t event, int32_t* result, void* data,
                          const void* block, uint32_t size) {
    return reinterpret_cast<Upper*>(user)->on_event(event, result, data, block, size);
  }

  int32_t on_event(int32_t event, int32_t* result, void* data, const void* block, uint32_t size) {
    { std::lock_guard<std::mutex> wait_for_setup(setup_mutex); }
    int32_t answer = 0;
    if (event == ZN_TCP_EVENT_CLOSED) {
      char text[1024] = "";
      int32_t code = 0;
      zn_tcp_get_last_error(connection, &code, text, sizeof text);
      std::lock_guard<std::mutex> lock(mutex_);
      error_at_close = text;
    }
    auto it = answers.find(event);
    if (it != answers.end()) {
      answer = it->second(*result, block, size);
    } else if (event == ZN_TCP_EVENT_NEGOTIATE) {
      answer = negotiate() ? 0 : -1;
    }
    Event e{event, result ? *result : 0, data ? *static_cast<int32_t*>(data) : 0, {}, size};
    if (block && size) {
      const auto* b = static_cast<const uint8_t*>(block);
      e.block.assign(b, b + size);
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back(std::move(e));
    }
    cv_.notify_all();
    return answer;
  }

  // The protocol library's part: the check time-out as two raw bytes, the key
  // exchange, then the layout check.
  bool negotiate() {
    const uint8_t timeout[2] = {0x00, 0x03};
    char error[256] = "";
    if (!zn_tcp_send(connection, timeout, 2, error, sizeof error)) return false;
    if (!zn_tcp_handshake(connection, 0, 0, 0, 0, error, sizeof error)) {
      handshake_error = error;
      return false;
    }
    zn_tcp_set_crypto_provider_context_params(connection, 0, 0, 0, 0, 0, error, sizeof error);
    const uint8_t check[] = {0xF0, 0x03, 0, 3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3};
    return zn_tcp_send(connection, check, sizeof check, error, sizeof error) == 1;
  }

  bool wait_for(int32_t event, int timeout_ms = 30000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (const Event& e : events_) {
        if (e.event == event) return true;
      }
      return false;
    });
  }
  std::vector<Event> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<int32_t> event_codes() {
    std::vector<int32_t> out;
    for (const Event& e : events()) out.push_back(e.event);
    return out;
  }

  std::string handshake_error;
  std::string closing_error() {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_at_close;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Event> events_;
};

// Installs a fake crypto port and a short second for one test.
class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    crypto = std::make_shared<FakeCrypto>();
    set_crypto_port(crypto);
    set_second_ms(30);  // a check time-out of 3 "seconds" is 90 ms
  }
  void TearDown() override {
    zn_tcp_fin();
    set_crypto_port(nullptr);
    set_second_ms(1000);
  }

  zn_tcp_connection* connect(Upper& upper, uint16_t port, uint32_t check_timeout = 0,
                             uint32_t width = 2, uint32_t handshake_mode = 1) {
    params = zn_conn_params{1, check_timeout, server_double::ServerDouble::address(), port,
                            nullptr};
    setup = zn_conn_setup{};
    setup.mode = ZN_SETUP_RECORD;
    setup.params = &params;
    crypto_params = zn_crypto_params{};
    crypto_params.version = 1;
    crypto_params.open_context = 1;
    crypto_params.selection_mode = 1;
    char error[512] = "";
    std::lock_guard<std::mutex> hold(upper.setup_mutex);
    upper.connection = nullptr;
    zn_tcp_connection* c = zn_tcp_connect("test", nullptr, 0, 0, 0, &crypto_params, 0, width,
                                          handshake_mode, &setup, &Upper::callback,
                                          reinterpret_cast<uintptr_t>(&upper), 0, 0, 0, 0, error,
                                          sizeof error);
    upper.connection = c;
    EXPECT_NE(c, nullptr) << error;
    return c;
  }

  // An upper layer that lives until the library has ended (after TearDown).
  Upper& make_upper() { return *uppers_.emplace_back(std::make_unique<Upper>()); }

  std::shared_ptr<FakeCrypto> crypto;
  std::deque<std::unique_ptr<Upper>> uppers_;
  zn_conn_params params{};
  zn_conn_setup setup{};
  zn_crypto_params crypto_params{};
};

// The transport's last error of a live connection.
inline std::string last_error(zn_tcp_connection* c) {
  char text[1024] = "";
  int32_t code = 0;
  zn_tcp_get_last_error(c, &code, text, sizeof text);
  return text;
}

}  // namespace kelda::dtcp::testing
