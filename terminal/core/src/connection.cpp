// The connection lifecycle: connect, clean connect, reconnect, disconnect,
// the start event and the status event.
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/connection_manager.h"
#include "platform/host_addresses.h"
#include "platform/last_error.h"
#include "terminal/data_feed_manager.h"
#include "terminal/login_dialog.h"
#include "terminal/main_view.h"
#include "terminal/profile.h"
#include "terminal/text_log.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

constexpr char16_t kCaption[] = u"KeldaMobile";

int ask_yes_no(ui::Hwnd owner, std::u16string_view text) {
  return ui::message_box(owner, text, kCaption, ui::mb::yes_no);
}

void show_error(ui::Hwnd owner, const std::string& text, std::u16string_view caption) {
  ui::message_box(owner, to_wide(text), caption, ui::mb::ok | ui::mb::icon_error);
}

// Clears a password held in memory.
void wipe(char* text, std::size_t size) { std::memset(text, 0, size); }

}  // namespace

std::string DataFeedManager::error_text(KelapiResult code) {
  char text[256] = "";
  client_.get_error_desc(text, code);
  return text;
}

void DataFeedManager::refresh_view() {
  if (view_ != nullptr) view_->refresh();
}

void DataFeedManager::tell_quotes_all_gone() {
  if (view_ != nullptr) view_->fan_out_quotes(-1, -1, {}, {});
}

bool DataFeedManager::connect_to_server(bool clean) {
  if (connected_) return true;
  const ui::Hwnd owner = frame();
  if (clean &&
      ask_yes_no(owner, u"Внимание! При данном типе подключения все данные будут получены с сервера заново! "
                        u"Продолжить?") != ui::id::yes) {
    return false;
  }
  LoginDlg login;
  login.user_name = field_text(settings_.user_name);
  login.password = field_text(session_password_);
  login.save_password = settings_.save_password;
  if (login.do_modal(owner) != ui::id::ok) return false;
  copy_text(settings_.user_name, login.user_name);
  copy_text(session_password_, login.password);
  settings_.save_password = login.save_password;
  wipe(settings_.password, sizeof settings_.password);
  if (settings_.save_password) copy_text(settings_.password, login.password);
  profile_set_string("connect", "save", settings_.save_password ? "1" : "0", settings_path_);
  profile_set_string("connect", "name", field_text(settings_.user_name), settings_path_);
  profile_set_string("connect", "password", settings_.save_password ? login.password : "", settings_path_);

  if (gprs_connect() == 1) return false;
  const KelapiResult init = client_.initialize(clean ? 1 : 0, folder_.c_str(), settings_path_.c_str(), KELAPI_INIT_PUSH_VALUES);
  if (init != KELAPI_OK && init != KELAPI_E_ALREADY_INITIALIZED) {
    show_error(owner, "KelapiInitializeEx3 failed:\n" + error_text(init), u"Connection Error");
    return false;
  }
  if (clean) {
    const KelapiResult r = client_.clear_archive();
    if (r != KELAPI_OK) log_line("KelapiClearArchive() returned %d.", static_cast<int>(r));
  }
  const uint32_t mode = kApplicationMode;
  client_.set_application_mode(&mode);
  const std::string provider_ini = provider_ini_path();
  client_.set_trans_sign_mode(settings_.signing ? 1 : 0, provider_ini.c_str());
  char error[256] = "";
  // Events the library posts while it connects wait until the connect is
  // over: they belong to the state that follows it.
  connecting_ = true;
  const KelapiResult r = client_.connect(field_text(settings_.user_name).data(), session_password_, error);
  connecting_ = false;
  if (r != KELAPI_OK) {
    client_.uninitialize();
    log_line("ERROR: %s", error);
    show_error(owner, error, u"Connection Error");
    deferred_.clear();  // nothing of a failed connect is kept
    return false;
  }
  after_connect();
  return true;
}

void DataFeedManager::after_connect() {
  connected_ = true;
  started_ = false;
  clear_tables();
  update_menu();
  refresh_view();
  tell_quotes_all_gone();
  std::deque<Deferred> waiting;
  waiting.swap(deferred_);
  for (const Deferred& d : waiting) dispatch_client_event(d.code, d.wparam, d.lparam);
}

bool DataFeedManager::reconnect() {
  if (connected_) return true;
  log_line("Trying to reconnect...");
  const KelapiResult init = client_.initialize(0, folder_.c_str(), settings_path_.c_str(), KELAPI_INIT_PUSH_VALUES);
  if (init != KELAPI_OK && init != KELAPI_E_ALREADY_INITIALIZED) return false;
  const uint32_t mode = kApplicationMode;
  client_.set_application_mode(&mode);
  const std::string provider_ini = provider_ini_path();
  client_.set_trans_sign_mode(settings_.signing ? 1 : 0, provider_ini.c_str());
  char error[256] = "";
  connecting_ = true;
  const KelapiResult r = client_.connect(field_text(settings_.user_name).data(), session_password_, error);
  connecting_ = false;
  if (r != KELAPI_OK) {
    log_line("ERROR: %s", error);
    client_.uninitialize();
    deferred_.clear();
    return false;
  }
  after_connect();
  return true;
}

void DataFeedManager::disconnect() {
  if (gprs_link_ != 0) gprs_disconnect();
  if (!connected_) return;
  client_.uninitialize();
  connected_ = false;
  started_ = false;
  update_menu();
  refresh_view();
}

int DataFeedManager::gprs_connect() {
  if (gprs_link_ != 0) {
    uint32_t status = platform::conn_status::unknown;
    if (platform::connection_status(gprs_link_, &status) == 0 && status == platform::conn_status::connected) {
      return 0;  // the terminal's own link is up: go on over it
    }
    // The link dropped (or the manager no longer knows it): give it up.
    platform::release_connection(gprs_link_, false);
    gprs_link_ = 0;
  }
  log_line("Device hostname: %s.", platform::host_name().c_str());
  for (const platform::Ipv4Address& a : platform::host_ipv4_addresses()) {
    if (a[0] == 127 || a[0] == 255) continue;
    log_line("Device IP: %d.%d.%d.%d.", a[0], a[1], a[2], a[3]);
    return 0;
  }
  log_line("Trying to establish GPRS connection...");
  if (ask_yes_no(frame(), u"Сеть недоступна. Подключиться через GPRS?") != ui::id::yes) {
    log_line("ERROR: GPRS not connected. Operation canceled by user.");
    return 1;
  }
  platform::ConnectionRequest request;
  request.params = platform::conn_params::destination_given;
  request.flags = 0;
  request.priority = platform::kConnPriorityHighBackground;
  request.exclusive = 0;
  request.disabled = 0;
  request.destination = platform::kConnInternetDestination;
  platform::ConnectionHandle link = 0;
  uint32_t status = platform::conn_status::unknown;
  const uint32_t result = platform::establish_connection(&request, &link, kGprsTimeoutMs, &status);
  if (result == 0) {
    gprs_link_ = link;
    log_line("GPRS connection established.");
    return 0;
  }
  const uint32_t system_error = platform::get_last_error();
  // Both codes as the signed 32-bit values they are.
  log_line("ERROR: Can not establish GPRS connection. Reason: %ld, last system error: %ld",
           static_cast<long>(static_cast<int32_t>(result)), static_cast<long>(static_cast<int32_t>(system_error)));
  ui::message_box(frame(), u"Не удалось подключиться через GPRS.", u"Ошибка", ui::mb::ok);
  return 1;
}

int DataFeedManager::gprs_disconnect() {
  log_line("Breaking GPRS connection...");
  if (gprs_link_ == 0) {
    log_line("ERROR: Can not break connection. No GPRS connection was established.");
    return 1;
  }
  platform::release_connection(gprs_link_, false);
  gprs_link_ = 0;
  log_line("GPRS connection broken.");
  return 0;
}

void DataFeedManager::on_start_event(uint32_t trade_date_hint) {
  started_ = true;
  update_menu();
  uint32_t date = 0;
  if (client_.get_trade_date(&date) != KELAPI_OK) date = trade_date_hint;
  if (date != 0) trade_date_ = format_date_ymd(static_cast<long>(date));
  refresh_view();
  client_.set_data_refresh_timeout(1);
  if (book_tables() && view_ != nullptr && view_->find_news_wnd() >= 0) book_news();
}

bool DataFeedManager::book_tables() {
  struct Booking {
    const char* name;
    KelapiResult (ClientApi::*call)();
  };
  static constexpr Booking kBookings[] = {
      {"KelapiBookClasses", &ClientApi::book_classes},
      {"KelapiBookTrdAccounts", &ClientApi::book_trd_accounts},
      {"KelapiBookTransactions", &ClientApi::book_transactions},
      {"KelapiBookTrades", &ClientApi::book_trades},
      {"KelapiBookOrders", &ClientApi::book_orders},
      {"KelapiBookStopOrders", &ClientApi::book_stop_orders},
      {"KelapiBookLimits", &ClientApi::book_limits},
      {"KelapiBookFutures", &ClientApi::book_futures},
  };
  for (const Booking& b : kBookings) {
    const KelapiResult r = (client_.*b.call)();
    log_line("%s() returned %d.", b.name, static_cast<int>(r));
    if (r == KELAPI_OK) continue;  // the first failure ends the bookings
    char text[128];
    std::snprintf(text, sizeof text, "%s failed (%d)\n", b.name, static_cast<int>(r));
    show_error(frame(), text, u"Application Error");
    return false;
  }
  return true;
}

void DataFeedManager::on_status_event(uintptr_t kind, char* text) {
  if (kind == 1) {
    connected_ = false;
    started_ = false;
    update_menu();
    refresh_view();
    tell_quotes_all_gone();
    const std::unique_ptr<char[]> owned(text);
    const std::string reason = owned ? std::string(owned.get()).substr(0, 511) : std::string();
    log_line("%s.", reason.c_str());
    if (settings_.autoreconnect) {
      log_line("Reconnect timer set. Timeout = %d", static_cast<int>(kReconnectPeriodMs));
      if (view_ != nullptr) ui::set_timer(view_->hwnd(), kReconnectTimer, kReconnectPeriodMs);
    } else {
      show_error(frame(), reason, u"Connection broken");
      connect_to_server(false);
    }
  } else if (kind == 2) {
    started_ = false;
    log_line("Received new session event.");
    clear_tables();
    refresh_view();
    tell_quotes_all_gone();
  }
}

}  // namespace kelda::terminal
