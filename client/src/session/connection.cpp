// Connecting and disconnecting: the connect export, the worker's connect
// sequence, the connection events of the protocol library and the messages
// the library sends when the connection is established.
#include <cstdio>
#include <cstring>

#include "core/diag.h"
#include "core/text_util.h"
#include "kit/codepage.h"
#include "kit/ini.h"
#include "market/market.h"
#include "messages/records_limits.h"
#include "messages/records_services.h"
#include "messages/records_session.h"
#include "platform/last_error.h"
#include "session/journal_tags.h"
#include "session/library.h"
#include "ui/loop.h"

namespace kelda::kelapi {
namespace {

constexpr std::size_t kNameChars = 79;
constexpr const char* kLinkBroken = "Connection was broken!";
constexpr const char* kConnectFromCallback = "KelapiConnect cannot be called from the event callback.\n";
constexpr const char* kConnectEndedByCaller =
    "KelapiConnect was ended by the caller: KelapiUninitialize ended the connection attempt.";
constexpr uint16_t kMsgLogout = 0x4E;
constexpr uint16_t kMsgLanguage = 0x91;
constexpr uint16_t kMsgLimitStart = 0x8008;
constexpr uint16_t kMsgEnvironment = 0x1A;
constexpr uint32_t kParamReceiveThreshold = 8;
constexpr uint32_t kParamCharacterMode = 7;
constexpr uint32_t kParamSendWaitMs = 9;
constexpr uint32_t kCharacterModeBit = 0x800;

// Cookies of connection attempts are unique in the process, so that an event
// of a connection that has ended is never taken for one of a later attempt.
std::atomic<uintptr_t> g_next_cookie{0};

std::string read_auth_name(const std::string& settings_path) {
  const std::u16string path = kelda::kit::decode(kelda::kit::CodePage::cp1251, settings_path);
  char16_t value[128] = {};
  kelda::kit::ini_read_string(u"connect", u"auth-name", u"", value, 128, path.c_str());
  return kelda::kit::encode(kelda::kit::CodePage::cp1251, value);
}

}  // namespace

KelapiResult Library::connect(const char* user, const char* password, char* error) {
  // What the environment report says is gathered here, on the caller's
  // thread and outside the lock (the host name is resolved), and sent when
  // the connection is established.
  EnvironmentInfo environment = options_.environment();
  // A thread that already holds the lock (the event callback runs with it
  // held) would keep the worker from ever serving the attempt.
  const bool lock_held = mutex_.held_by_current_thread();
  uintptr_t attempt = 0;
  {
    LibraryLock lock(*this);
    if (options_.connect_settle_ms > 0) platform::sleep_ms(options_.connect_settle_ms);
    if (error == nullptr) return KELAPI_E_POINTER;
    error[0] = '\0';
    if (!initialised_) return KELAPI_E_NOT_INITIALIZED;
    if (connected_) return KELAPI_E_ALREADY_CONNECTED;
    if (user == nullptr || password == nullptr) return KELAPI_E_POINTER;
    // One attempt at a time: a second one would open a second connection
    // over the first and take the first call's signal.
    if (connect_waiting_) return KELAPI_E_ALREADY_CONNECTED;
    if (lock_held) {
      copy_bounded(error, kConnectFromCallback, 255);
      return KELAPI_E_CONNECT_FAILED;
    }
    environment_ = std::move(environment);
    user_.assign(user, strnlen(user, kNameChars));
    password_.assign(password, strnlen(password, kNameChars));
    connect_done_.reset();
    if (!post_command(kCommandConnect, ++connect_attempt_)) return platform::get_last_error();
    connect_waiting_ = true;
    attempt = connect_attempt_;
  }
  // On the user-interface thread the loop keeps running meanwhile: the
  // connection may need a dialog (a proxy password, a second factor).
  platform::Waitable* done[] = {&connect_done_};
  const auto waited = ui::wait_pumping(done, options_.connect_timeout_ms);
  LibraryLock lock(*this);
  connect_waiting_ = false;
  if (connected_) return KELAPI_OK;
  if (attempt != connect_attempt_ || !initialised_) {
    // Uninitialise ended the attempt while this call waited for it.
    copy_bounded(error, kConnectEndedByCaller, 255);
    return KELAPI_E_CONNECT_FAILED;
  }
  if (waited.status != platform::WaitStatus::signaled) {
    // The permissions did not come in time: the attempt is abandoned.
    disconnect();
    std::snprintf(error, 256, "KelapiConnect timeout (%d minutes)\n",
                  static_cast<int>((options_.connect_timeout_ms + 59999) / 60000));
    return KELAPI_E_CONNECT_FAILED;
  }
  copy_bounded(error, last_error_.data(), 255);
  return KELAPI_E_CONNECT_FAILED;
}

void Library::fail_attempt() {
  connecting_ = false;
  connect_done_.set();
}

void Library::connect_sequence(uintptr_t attempt) {
  // A command that outlived its call (a time-out, an uninitialise) opens
  // nothing: no caller would learn of the connection.
  if (!connect_waiting_ || attempt != connect_attempt_ || !initialised_) return;
  if (connected_) {
    connect_done_.set();
    return;
  }
  last_error_[0] = '\0';
  NetPort& net = *options_.net;
  if (!net_initialised_) {
    if (!net.is_initialized() && net.init(settings_path_, language_, sub_language_, last_error_) <= 0) {
      return fail_attempt();
    }
    net_initialised_ = true;
  }
  if (sign_mode_ != 0) {
    if (sign_context_ != 0) net.delete_sign_context(sign_context_, last_error_);
    sign_context_ = net.init_sign_context(language_, sub_language_, sign_parameter_, last_error_);
    if (sign_context_ == 0) return fail_attempt();
  }
  NetConnectParams params;
  params.settings_path = settings_path_;
  params.language = language_;
  params.sub_language = sub_language_;
  NetCredentials credentials;
  std::memset(&credentials, 0, sizeof credentials);
  const std::string provider = net.cipher_provider(settings_path_, last_error_);
  if (provider.empty() || provider == "Sekura32") {
    credentials.version = 1;
    copy_field(credentials.user, user_.c_str());
    copy_field(credentials.password, password_.c_str());
    copy_field(credentials.auth_name, read_auth_name(settings_path_).c_str());
    params.cipher_path = settings_path_;
    params.cipher_kind = 4;
    params.credentials = &credentials;
  } else {
    params.cipher_path = net.provider_settings_path(provider, last_error_);
    params.cipher_kind = 2;
  }
  const uintptr_t cookie = ++g_next_cookie;
  cookie_.store(cookie);
  // Events of the new connection wait for the library lock, so they see the
  // attempt in the state set below.
  const uintptr_t connection = net.connect(params, &Library::on_net_event, cookie, last_error_);
  std::memset(&credentials, 0, sizeof credentials);
  if (connection == 0) {
    cookie_.store(0);
    return fail_attempt();
  }
  connection_ = connection;
  connected_ = false;
  connecting_ = true;
  ErrorText ignored{};
  net.set_connection_param(connection, kParamReceiveThreshold, 0, ignored);
  const uint32_t mode = (character_mode_ & kCharacterModeBit) != 0 ? 1 : 0;
  if (!net.set_connection_param(connection, kParamCharacterMode, mode, last_error_)) {
    // Without its character mode the connection is of no use: end the
    // attempt now rather than let the caller wait for the time-out.
    const ErrorText reason = last_error_;
    disconnect();
    last_error_ = reason;
    if (last_error_[0] == '\0') copy_bounded(last_error_.data(), "Connection attempt failed.", 255);
  }
}

void Library::disconnect() {
  static const uint8_t kNoFields[8] = {};
  if (connected_) {
    // The logout is sent under the library lock: when the server reads
    // nothing and the send queue is full it is dropped, not waited for.
    ErrorText ignored{};
    options_.net->set_connection_param(connection_, kParamSendWaitMs, 0, ignored);
    send_message(kMsgLogout, kNoFields);
  }
  cookie_.store(0);  // later events of this connection are not the library's any more
  connecting_ = connecting_ || connected_;
  if (connection_ != 0) {
    ErrorText ignored{};
    options_.net->disconnect(connection_, ignored);
  }
  connection_ = 0;
  connected_ = false;
  net_disconnected_common(/*requested=*/true);
}

void Library::net_disconnected() {
  // The link closed on its own: the reason comes from the protocol library.
  last_error_[0] = '\0';
  if (connection_ != 0) options_.net->last_error(connection_, last_error_);
  if (last_error_[0] == '\0') copy_bounded(last_error_.data(), kLinkBroken, 255);
  cookie_.store(0);
  connection_ = 0;
  net_disconnected_common(/*requested=*/false);
}

void Library::net_disconnected_common(bool requested) {
  // A link that breaks while a connect call still waits (right after the
  // permissions included) is that call's outcome, not a status event: one
  // attempt ends in one report.
  const bool attempt = connecting_ || connect_waiting_;
  connecting_ = false;
  connected_ = false;
  reset_filters();
  reset_class_requests(*this);
  for (auto& lost : hooks_.link_lost) lost();
  if (attempt) {
    connect_done_.set();
  } else if (!requested) {
    raise_event(KELAPI_EVENT_NEWSTATUS, 1, reinterpret_cast<uintptr_t>(last_error_.data()));
  }
}

KelapiResult Library::disconnect_export() {
  LibraryLock lock(*this);
  if (!initialised_) return KELAPI_E_NOT_INITIALIZED;
  if (!connected_) return KELAPI_E_NOT_CONNECTED;
  disconnect();
  clear_session_state();
  return KELAPI_OK;
}

int32_t Library::on_net_event(uintptr_t cookie, int32_t event, const void* event_data) {
  const NetEventScope scope;
  Library* self = scope.library();
  if (self == nullptr || cookie == 0 || self->cookie_.load() != cookie) return -1;
  switch (event) {
    case kNetEventStored:
      self->pending_.fetch_add(1);
      self->receive_data_.set();
      return 0;
    case kNetEventClosed: {
      LibraryLock lock(*self);
      if (self->cookie_.load() != cookie) return -1;
      self->net_disconnected();
      return 0;
    }
    case kNetEventPermissions: {
      if (event_data == nullptr) return -1;
      uint32_t permissions;
      std::memcpy(&permissions, event_data, sizeof permissions);
      LibraryLock lock(*self);
      if (self->cookie_.load() != cookie) return -1;
      self->net_connected(permissions);
      return 0;
    }
    default:
      return 0;
  }
}

void Library::net_connected(uint32_t permissions) {
  const bool attempt = connecting_;
  permissions_ = permissions;
  journal_write(journal_tag::kPermissions, &permissions, sizeof permissions, false);
  connected_ = true;
  connecting_ = false;
  const Msg0091_Language language{language_, sub_language_};
  send_message(kMsgLanguage, &language);
  for (auto& connected : hooks_.connected) connected();
  for (std::size_t c = 0; c < classes.size(); ++c) classes.at(c).d.server_id = -1;
  const Msg8008_LimitStartWord start{255};
  send_message(kMsgLimitStart, &start);
  clear_session_state();
  last_error_[0] = '\0';
  send_environment_report();
  if (attempt) connect_done_.set();
}

void Library::send_environment_report() {
  for (const auto& [name, value] : environment_report(environment_)) {
    Msg001A_EnvironmentPair pair;
    std::memset(&pair, 0, sizeof pair);
    copy_field(pair.name, name.c_str());
    copy_field(pair.value, value.c_str());
    send_message(kMsgEnvironment, &pair);
  }
}

bool Library::sign_transaction(char* text, uint32_t& length, uint32_t capacity) {
  last_error_[0] = '\0';
  if (sign_mode_ == 0 || sign_context_ == 0) return false;
  std::vector<uint8_t> signed_text;
  if (!options_.net->sign(sign_context_, std::span(reinterpret_cast<const uint8_t*>(text), length),
                          signed_text, last_error_)) {
    return false;
  }
  if (signed_text.size() > capacity) return false;
  std::memcpy(text, signed_text.data(), signed_text.size());
  length = static_cast<uint32_t>(signed_text.size());
  return true;
}

}  // namespace kelda::kelapi
