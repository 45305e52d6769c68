#include "fake_net.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "messages/message_set.h"
#include "zn_de/codec.h"
#include "messages/records_classes.h"
#include "messages/records_limits.h"
#include "messages/records_services.h"
#include "messages/records_session.h"

namespace kelda::kelapi::test {

std::size_t sent_record_size(uint16_t id) {
  switch (id) {
    case 0x4E: return 0;
    case 0x91: return sizeof(Msg0091_Language);
    case 0xA5: return sizeof(Msg00A5_SessionAnswer);
    case 0x801F: return sizeof(Msg801F_RefreshPeriod);
    case 0x8008: return sizeof(Msg8008_LimitStartWord);
    case 0x1A: return sizeof(Msg001A_EnvironmentPair);
    case 0x8032:
    case 0x8034:
    case 0x8039: return sizeof(ClassRequest);
    case 0x8045:
    case 0x8046: return sizeof(Msg8045_FilterAdd);
    case 0x8051: return sizeof(Msg8051_ParameterMask);
    default: return decoded_size(id);  // the native record of its layout
  }
}

std::size_t decoded_size(uint16_t id) {
  static const auto registry = kelda::de::LayoutRegistry::build(kelapi_layout_registry(), "tests");
  if (!registry.ok()) return 0;
  const kelda::de::RecordLayout* layout = registry.value().find(id);
  return layout == nullptr ? 0 : layout->native_size();
}

void FakeNet::note(std::string call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
  changed_.notify_all();
}

void FakeNet::fail(ErrorText& error) const {
  std::snprintf(error.data(), error.size(), "%s", error_text.c_str());
}

int32_t FakeNet::raise(int32_t event, const void* data) {
  NetEventHandler handler;
  uintptr_t cookie;
  {
    std::lock_guard lock(mutex_);
    handler = handler_;
    cookie = cookie_;
  }
  return handler == nullptr ? -1 : handler(cookie, event, data);
}

int32_t FakeNet::raise_stale(int32_t event) {
  NetEventHandler handler;
  uintptr_t cookie;
  {
    std::lock_guard lock(mutex_);
    handler = handler_;
    cookie = stale_cookie_;
  }
  return handler == nullptr ? -1 : handler(cookie, event, nullptr);
}

void FakeNet::deliver(uint16_t id, const void* record, std::size_t size) {
  {
    std::lock_guard lock(mutex_);
    const auto* p = static_cast<const uint8_t*>(record);
    inbox_.emplace_back(id, std::vector<uint8_t>(p, p + size));
    ++delivered_;
  }
  raise(kNetEventStored);
}

bool FakeNet::wait_handled(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return handled_ + dropped_ == delivered_; });
}

bool FakeNet::wait_connects(int n, int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return connects_ >= n; });
}

std::vector<std::string> FakeNet::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

int FakeNet::connects() const {
  std::lock_guard lock(mutex_);
  return connects_;
}

std::vector<SentMessage> FakeNet::sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

std::vector<SentMessage> FakeNet::sent(uint16_t id) const {
  std::lock_guard lock(mutex_);
  std::vector<SentMessage> out;
  for (const auto& m : sent_) {
    if (m.id == id) out.push_back(m);
  }
  return out;
}

void FakeNet::clear_sent() {
  std::lock_guard lock(mutex_);
  sent_.clear();
}

NetConnectParams FakeNet::last_params() const {
  std::lock_guard lock(mutex_);
  return params_;
}

NetCredentials FakeNet::last_credentials() const {
  std::lock_guard lock(mutex_);
  return credentials_;
}

std::vector<std::pair<uint32_t, uint32_t>> FakeNet::connection_params() const {
  std::lock_guard lock(mutex_);
  return connection_params_;
}

bool FakeNet::is_initialized() {
  std::lock_guard lock(mutex_);
  return initialized_;
}

int32_t FakeNet::init(const std::string&, int16_t, int16_t, ErrorText& error) {
  note("init");
  if (init_result <= 0) {
    fail(error);
  } else {
    std::lock_guard lock(mutex_);
    initialized_ = true;
  }
  return init_result;
}

uintptr_t FakeNet::init_sign_context(int16_t, int16_t, const std::string&, ErrorText& error) {
  note("init_sign_context");
  if (sign_context == 0) fail(error);
  return sign_context;
}

void FakeNet::delete_sign_context(uintptr_t, ErrorText&) { note("delete_sign_context"); }

std::string FakeNet::cipher_provider(const std::string&, ErrorText&) {
  note("cipher_provider");
  return provider;
}

std::string FakeNet::provider_settings_path(const std::string&, ErrorText&) {
  note("provider_settings_path");
  return provider_path;
}

uintptr_t FakeNet::connect(const NetConnectParams& params, NetEventHandler handler, uintptr_t cookie,
                           ErrorText& error) {
  std::lock_guard lock(mutex_);
  calls_.push_back("connect");
  ++connects_;
  send_wait_ms_ = -1;
  params_ = params;
  params_.credentials = nullptr;
  std::memset(&credentials_, 0, sizeof credentials_);
  if (params.credentials != nullptr) credentials_ = *params.credentials;
  changed_.notify_all();
  if (connect_fails) {
    fail(error);
    return 0;
  }
  stale_cookie_ = cookie_;
  handler_ = handler;
  cookie_ = cookie;
  return static_cast<uintptr_t>(connects_);
}

bool FakeNet::set_connection_param(uintptr_t, uint32_t number, uint32_t value, ErrorText& error) {
  std::lock_guard lock(mutex_);
  connection_params_.emplace_back(number, value);
  if (number == 9) send_wait_ms_ = value;
  if (number == 7 && character_mode_fails) {
    std::snprintf(error.data(), error.size(), "%s", error_text.c_str());
    return false;
  }
  return true;
}

int32_t FakeNet::recv(uintptr_t, ErrorText&) {
  std::pair<uint16_t, std::vector<uint8_t>> m;
  {
    std::lock_guard lock(mutex_);
    if (inbox_.empty()) return 1;
    m = std::move(inbox_.front());
    inbox_.pop_front();
  }
  // The handler gets a record of exactly the decoded size, as the protocol
  // library gives it, so that a handler reading past it is caught.
  const std::size_t size = decoded_size(m.first);
  auto record = std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
  std::memset(record.get(), 0, size);
  if (!m.second.empty()) std::memcpy(record.get(), m.second.data(), std::min(size, m.second.size()));
  for (const MessageHandlerEntry* e = kelapi_handler_table(); e->id != 0; ++e) {
    if (e->id == m.first) {
      e->handler(m.first, record.get());
      break;
    }
  }
  std::lock_guard lock(mutex_);
  ++handled_;
  changed_.notify_all();
  return 1;
}

int32_t FakeNet::send(uintptr_t, uint16_t id, const void* record, ErrorText&) {
  const std::size_t size = sent_record_size(id);
  const auto* p = static_cast<const uint8_t*>(record);
  std::lock_guard lock(mutex_);
  if (sends_left_ == 0) return 0;
  if (sends_left_ > 0) --sends_left_;
  sent_.push_back(SentMessage{id,
                              size > 0 && p != nullptr ? std::vector<uint8_t>(p, p + size)
                                                       : std::vector<uint8_t>(),
                              send_wait_ms_});
  activity_.set();
  return 1;
}

void FakeNet::fail_sends_after(int n) {
  std::lock_guard lock(mutex_);
  sends_left_ = n;
}

int32_t FakeNet::disconnect(uintptr_t, ErrorText&) {
  std::lock_guard lock(mutex_);
  calls_.push_back("disconnect");
  // The connection's stored messages go with it.
  dropped_ += inbox_.size();
  inbox_.clear();
  changed_.notify_all();
  activity_.set();
  return 1;
}

void FakeNet::last_error(uintptr_t, ErrorText& error) {
  std::lock_guard lock(mutex_);
  std::snprintf(error.data(), error.size(), "%s", last_error_text.c_str());
}

bool FakeNet::sign(uintptr_t, std::span<const uint8_t> data, std::vector<uint8_t>& out, ErrorText&) {
  out.assign(data.begin(), data.end());
  out.insert(out.end(), {'#', 'S'});
  return true;
}

}  // namespace kelda::kelapi::test
