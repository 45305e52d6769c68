#include "library_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>

#include "core/diag.h"
#include "core/text_util.h"

namespace kelda::kelapi::test {

LibraryTest* LibraryTest::current_ = nullptr;

LibraryTest::LibraryTest() {
  current_ = this;
  set_diag_sink([this](std::string_view text) {
    std::lock_guard lock(mutex_);
    diagnostics_.emplace_back(text);
  });
  make_library(default_options());
}

LibraryTest::~LibraryTest() {
  lib.reset();
  set_diag_sink(nullptr);
  current_ = nullptr;
}

LibraryOptions LibraryTest::default_options() {
  net = std::make_shared<FakeNet>();
  LibraryOptions o;
  o.net = net;
  o.connect_settle_ms = 0;
  o.connect_timeout_ms = 30000;
  o.environment = [] {
    EnvironmentInfo info;
    info.host_name = "handheld";
    info.host_addresses = {0x7F000001u, 0x0A000005u};
    return info;
  };
  return o;
}

void LibraryTest::make_library(LibraryOptions options) {
  lib.reset();
  lib = std::make_unique<Library>(std::move(options));
  set_current_library(lib.get());
  KelapiSetEventCallback(&LibraryTest::on_event);
}

int LibraryTest::on_event(uint32_t code, uintptr_t wparam, uintptr_t lparam) {
  LibraryTest* self = current_;
  if (self == nullptr) return 0;
  RecordedEvent e{code, wparam, lparam, {}, {}};
  if (code == KELAPI_EVENT_NEWSTATUS && wparam == 1 && lparam != 0) e.text = reinterpret_cast<const char*>(lparam);
  if (code == KELAPI_EVENT_START) std::memcpy(&e.start, reinterpret_cast<const void*>(wparam), sizeof e.start);
  std::lock_guard lock(self->mutex_);
  self->events_.push_back(e);
  self->events_changed_.notify_all();
  return 0;
}

KelapiResult LibraryTest::init(uint32_t flags, int fresh_start) {
  return KelapiInitializeEx3(fresh_start, ".", "settings.ini", flags);
}

KelapiResult LibraryTest::connect(uint32_t permissions) {
  const int before = net->connects();
  auto result = std::async(std::launch::async, [] {
    char error[256];
    return KelapiConnect("user", "secret", error);
  });
  if (!net->wait_connects(before + 1)) return result.get();
  net->raise(kNetEventPermissions, &permissions);
  return result.get();
}

void LibraryTest::open_session(int32_t session_id, const char* key) {
  Msg803D_SessionInfo info{};
  info.head.session_id = session_id;
  std::strcpy(info.head.first_text, "first");
  std::strcpy(info.head.second_text, "second");
  std::strcpy(info.text, "session text");
  net->deliver(0x803D, info);
  Msg0022_TradingSession session{};
  std::strcpy(session.key, key);
  session.trade_date = 20240105;
  net->deliver(0x22, session);
  ASSERT_TRUE(net->wait_handled());
}

void LibraryTest::describe_market(int32_t class_server_id, const char* class_code,
                                  const std::vector<std::string>& securities,
                                  const std::vector<std::string>& params, int32_t first_security_id) {
  net->clear_sent();
  net->deliver(0x803C, class_description(class_server_id, class_code));
  ASSERT_TRUE(net->wait_handled());
  const int32_t sec_request = last_request(0x8034);
  const int32_t par_request = last_request(0x8032);
  ASSERT_NE(sec_request, 0);
  ASSERT_NE(par_request, 0);
  int32_t id = first_security_id;
  for (const auto& code : securities) net->deliver(0x8081, security(sec_request, id++, code.c_str()));
  for (const auto& name : params) net->deliver(0x24, parameter(static_cast<int16_t>(par_request), name.c_str()));
  net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(sec_request)});
  net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(par_request)});
  ASSERT_TRUE(net->wait_handled());
}

void LibraryTest::end_class_lists() {
  const uint8_t none = 0;
  net->deliver(0x4A, &none, 0);
  ASSERT_TRUE(net->wait_handled());
}

int32_t LibraryTest::last_request(uint16_t id) const {
  const auto sent = net->sent(id);
  return sent.empty() ? 0 : sent.back().as<ClassRequest>().request;
}

std::vector<RecordedEvent> LibraryTest::events(uint32_t code) const {
  std::lock_guard lock(mutex_);
  std::vector<RecordedEvent> out;
  for (const auto& e : events_) {
    if (e.code == code) out.push_back(e);
  }
  return out;
}

bool LibraryTest::wait_events(uint32_t code, std::size_t n, int timeout_ms) {
  std::unique_lock lock(mutex_);
  return events_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(),
                                                  [&](const RecordedEvent& e) { return e.code == code; })) >= n;
  });
}

std::vector<RecordedEvent> LibraryTest::all_events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> LibraryTest::diagnostics() const {
  std::lock_guard lock(mutex_);
  return diagnostics_;
}

Msg803C_ClassDescription LibraryTest::class_description(int32_t server_id, const char* code,
                                                        int32_t securities_version, int32_t params_version) {
  Msg803C_ClassDescription d{};
  d.server_id = server_id;
  std::snprintf(d.code, sizeof d.code, "%s", code);
  std::snprintf(d.name, sizeof d.name, "Class %s", code);
  d.flags = 0x41;
  d.table_flags = 0x800;
  d.securities_version = securities_version;
  d.parameters_version = params_version;
  return d;
}

Msg8081_SecurityDescription LibraryTest::security(int32_t request, int32_t server_id, const char* code,
                                                  int16_t scale) {
  Msg8081_SecurityDescription s{};
  s.request = request;
  s.server_id = server_id;
  std::snprintf(s.code, sizeof s.code, "%s", code);
  std::snprintf(s.name, sizeof s.name, "Name %s  ", code);
  std::snprintf(s.short_name, sizeof s.short_name, "%s", code);
  s.scale = scale;
  s.trading_unit = 10;
  return s;
}

Msg0024_ParameterDescription LibraryTest::parameter(int16_t request, const char* db_name, int16_t flags) {
  Msg0024_ParameterDescription p{};
  p.request = request;
  p.flags = flags;
  p.scale = 2;
  std::snprintf(p.db_name, sizeof p.db_name, "%s", db_name);
  std::snprintf(p.short_name, sizeof p.short_name, "%s", db_name);
  std::snprintf(p.long_name, sizeof p.long_name, "Long %s", db_name);
  return p;
}

}  // namespace kelda::kelapi::test
