// A test fixture around one client library with a stand-in network stack:
// short time-outs, events and diagnostics recorded, and builders for the
// server's market messages.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fake_net.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_classes.h"
#include "messages/records_session.h"
#include "session/library.h"

namespace kelda::kelapi::test {

struct RecordedEvent {
  uint32_t code;
  uintptr_t wparam;
  uintptr_t lparam;
  std::string text;         // the status reason of KELAPI_EVENT_NEWSTATUS 1
  KelapiStartInfo start{};  // the record of KELAPI_EVENT_START
};

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest();
  ~LibraryTest() override;

  // A library with the options the test needs (replaces the current one).
  void make_library(LibraryOptions options);
  LibraryOptions default_options();

  KelapiResult init(uint32_t flags = 0, int fresh_start = 0);
  // KelapiConnect on another thread, answered by the permissions: returns
  // KelapiConnect's result.
  KelapiResult connect(uint32_t permissions = 0xC000);
  // Session information, trading session "KEY1", trade date 20240105.
  void open_session(int32_t session_id = 7, const char* key = "KEY1");
  // The server describes a class, its securities and parameters, and ends
  // the class lists (what the start event waits for). Returns the class's
  // request numbers it answered.
  void describe_market(int32_t class_server_id, const char* class_code,
                       const std::vector<std::string>& securities,
                       const std::vector<std::string>& params, int32_t first_security_id = 1000);
  void end_class_lists();
  // Events recorded so far with that code.
  std::vector<RecordedEvent> events(uint32_t code) const;
  std::vector<RecordedEvent> all_events() const;
  // Waits until n events of the code have been raised; false on time-out.
  bool wait_events(uint32_t code, std::size_t n, int timeout_ms = 30000);
  std::vector<std::string> diagnostics() const;

  std::shared_ptr<FakeNet> net;
  std::unique_ptr<Library> lib;

  static Msg803C_ClassDescription class_description(int32_t server_id, const char* code, int32_t securities_version = 1,
                                                    int32_t params_version = 1);
  static Msg8081_SecurityDescription security(int32_t request, int32_t server_id, const char* code,
                                              int16_t scale = 2);
  static Msg0024_ParameterDescription parameter(int16_t request, const char* db_name, int16_t flags = 0);
  // The request number of the last message `id` sent (0x8034, 0x8039, 0x8032).
  int32_t last_request(uint16_t id) const;

 private:
  static int on_event(uint32_t code, uintptr_t wparam, uintptr_t lparam);
  static LibraryTest* current_;
  mutable std::mutex mutex_;
  std::condition_variable events_changed_;
  std::vector<RecordedEvent> events_;
  std::vector<std::string> diagnostics_;
};

}  // namespace kelda::kelapi::test
