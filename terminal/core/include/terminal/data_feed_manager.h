// DataFeedManager: the terminal's one data object. It holds the settings and
// file paths, the connection state and lifecycle (connect, clean connect,
// reconnect, disconnect, the start and status events), the marshalling of
// the client library's events to the user-interface thread and their
// dispatch, the tables and subscriptions, and the margin binding.
//
// One manager exists per program; TerminalApp creates it and publishes it
// through manager(). The client library's callbacks (on_client_event,
// on_data_line) run on the library's threads: they only copy what the
// library owns and post it to the main frame or the main view. Everything
// else runs on the user-interface thread.
//
// Ownership: the manager owns its tables; windows keep pointers to its
// records until they are told with UM_CLEAR. Payloads posted by the
// callbacks belong to the receiver once delivered (released by the release
// function of the post when they cannot be).
//
// Errors: failures are logged (text_log.h) and shown as the terminal's
// message boxes; nothing throws.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "terminal/client_api.h"
#include "terminal/margin_binding.h"
#include "terminal/tables.h"
#include "ui/gdi.h"
#include "ui/types.h"

namespace kelda::terminal {

class MainView;

// One class of the global instrument filter.
struct FilterEntry {
  int32_t class_number = -1;
  std::vector<int16_t> params;
  std::vector<uint32_t> secs;
  bool param_filter = false;     // off: every parameter of the class
  bool security_filter = false;  // off: every security of the class
};

// UM_CLIENT_EVENT: WM_USER + the event code (1 to 499) to the main frame.
inline constexpr UINT kClientEventBase = ui::wm::user;
inline constexpr uint32_t kClientEventLast = 499;
inline constexpr uint32_t kApplicationMode = 1004;
inline constexpr UINT kReconnectTimer = 104;
inline constexpr UINT kReconnectPeriodMs = 10000;
// How long a connect waits for a GPRS link to come up.
inline constexpr uint32_t kGprsTimeoutMs = 20000;
inline constexpr UINT kActivityTimer = 101;
inline constexpr UINT kFilterTimer = 2;

struct Settings {
  char user_name[64] = {};
  char password[64] = {};
  bool save_password = false;
  int default_connection = 0;
  char decimal_separator = '.';
  char group_separator = ' ';
  int font_size = 18;
  int alignment = 1;
  int quotes_depth = 5;
  bool buy_on_top = false;
  bool class_names = false;
  bool digit_grouping = false;
  bool vertical_limits = true;
  bool request_archive = false;
  bool autoreconnect = false;
  bool signing = false;
  int global_filter = 0;
  std::string provider_ini_path;
};

class DataFeedManager {
 public:
  // Reads the settings (from the program folder) and registers the event
  // callback with the client library.
  explicit DataFeedManager(ClientApi& client = kelapi_client());
  ~DataFeedManager();
  DataFeedManager(const DataFeedManager&) = delete;
  DataFeedManager& operator=(const DataFeedManager&) = delete;

  // ---- settings and paths ----
  Settings& settings() { return settings_; }
  const std::string& folder() const { return folder_; }
  const std::string& settings_path() const { return settings_path_; }
  const std::string& window_kinds_path() const { return tcf_path_; }
  const std::string& open_windows_path() const { return awf_path_; }
  void set_layout_paths(std::string window_kinds, std::string open_windows) {
    tcf_path_ = std::move(window_kinds);
    awf_path_ = std::move(open_windows);
  }
  // Layout save flags (layout_files.h): set while a layout save has removed
  // the column sections of the open kinds; cleared while a window that is
  // not the last of its kind is told to write its section.
  bool bulk_saved = false;
  bool write_kind_section = true;
  const std::string& trade_date_text() const { return trade_date_; }
  std::string provider_ini_path() const { return settings_.provider_ini_path; }
  void set_provider_ini_path(std::string path) { settings_.provider_ini_path = std::move(path); }
  bool input_panel_button = false;
  // The table font of every list (the settings' font size, Cyrillic).
  void create_table_font();
  const ui::Font* table_font() const { return table_font_.get(); }
  int screen_width = 0;
  int screen_height = 0;

  // ---- the windows it talks to ----
  void set_frame(ui::Hwnd frame);
  ui::Hwnd frame() const { return ui::Hwnd(frame_.load()); }
  void set_view(MainView* view);
  MainView* view() const { return view_; }

  // ---- connection lifecycle (user-interface thread) ----
  bool connected() const { return connected_; }
  bool started() const { return started_; }
  // True while KelapiConnect runs (its wait keeps the loop running).
  bool connecting() const { return connecting_; }
  // True when connected afterwards.
  bool connect_to_server(bool clean);
  // One reconnect attempt (timer 104): true when connected afterwards.
  bool reconnect();
  void disconnect();
  void on_start_event(uint32_t trade_date_hint);
  void on_status_event(uintptr_t kind, char* text);
  // The GPRS link step of a connect: 0 to go on connecting, 1 to stop. The
  // device's address decides: any that is not loopback (127.x) or broadcast
  // (255.x) goes on at once; otherwise the user is asked whether to bring a
  // link up, and a link that comes up is kept until gprs_disconnect. The
  // terminal's own link, when it is still up, is used as it is; one that
  // dropped is given up first.
  int gprs_connect();
  // 0 when a link the terminal opened was released, 1 when there was none.
  int gprs_disconnect();
  // The connection manager's handle of the GPRS link the terminal opened,
  // 0 for none.
  uintptr_t gprs_link() const { return gprs_link_; }
  // The password kept in memory for this session's reconnects (never on
  // disk unless save-password is on).
  const char* session_password() const { return session_password_; }

  // ---- event marshalling and dispatch ----
  // The client library's event callback (library threads).
  static int on_client_event(uint32_t code, uintptr_t wparam, uintptr_t lparam);
  // A message WM_USER + code reached the main frame: dispatch it. Events
  // that arrive while a connect is under way wait until it ends.
  LRESULT dispatch_client_event(uint32_t code, WPARAM wparam, LPARAM lparam);
  // The activity batch flag (cleared by the main view's timer 101).
  bool batch = false;
  // The new-order command rule of the menu.
  bool new_order_available();

  // ---- tables ----
  Tables& tables() { return tables_; }
  const Tables& tables() const { return tables_; }
  void clear_tables();
  void on_new_class(uint32_t number);
  void on_account(uint32_t number);
  void on_trade(uint32_t number);
  void on_order(uint32_t number);
  void on_stop_order(uint32_t number);
  void on_price(uint32_t class_number, uint32_t security_number);
  void on_values(const KelapiDataEvent& header);
  void on_money_limit(uint32_t number);
  void on_depo_limit(uint32_t number);
  // The deleted limit's record as the event carries it (released here).
  void on_money_limit_deleted(unsigned char* record);
  void on_depo_limit_deleted(unsigned char* record);
  void on_futures_limit(uint32_t number);
  void on_futures_limit_removed(int32_t id);
  void on_futures_holding(uint32_t number);
  void on_news(uint32_t change, uint32_t number);
  // Lower bounds of the sorted limit tables and whether the keys match there.
  int money_limit_position(std::string_view firm, std::string_view client, std::string_view currency,
                           std::string_view tag, bool* found = nullptr) const;
  int depo_limit_position(std::string_view firm, std::string_view client, std::string_view security,
                          std::string_view account, bool* found = nullptr) const;

  // ---- subscriptions ----
  KelapiResult apply_class_filter(ClassRecord& cls);
  void apply_all_class_filters();
  void set_window_filter_lists(ClassRecord& cls, std::vector<int16_t> params, std::vector<uint32_t> secs);
  void set_margin_filter_lists(ClassRecord& cls, std::vector<int16_t> params, std::vector<uint32_t> secs);
  // The "[global_filter]" section of the window-kind file.
  void load_global_filter();
  const std::vector<FilterEntry>& filter_entries() const { return filter_entries_; }
  void set_filter_entries(std::vector<FilterEntry> entries) { filter_entries_ = std::move(entries); }
  // Writes the "[global_filter]" section back (the old one replaced).
  void save_global_filter();
  // Replaces the class's global-filter lists (the user's choice).
  void set_current_filter_lists(ClassRecord& cls, std::vector<int16_t> params, std::vector<uint32_t> secs);
  void apply_filter_entry(ClassRecord& cls, const FilterEntry& entry);
  KelapiResult book_price_list(uint32_t class_number, uint32_t security_number);
  KelapiResult unbook_price_list(uint32_t class_number, uint32_t security_number);
  void book_news();

  // ---- margin ----
  MarginBinding& margin() { return margin_; }

  ClientApi& client() { return client_; }

 private:
  struct Deferred {
    uint32_t code;
    WPARAM wparam;
    LPARAM lparam;
  };
  void load_settings();
  void migrate_layout_file(const char* old_name, const char* new_name, std::string& path);
  void after_connect();
  void refresh_view();
  void update_menu();
  void tell_quotes_all_gone();
  bool book_tables();
  LRESULT handle_event(uint32_t code, WPARAM wparam, LPARAM lparam);
  void show_transaction_reply(char* text);
  void release_event(uint32_t code, WPARAM wparam, LPARAM lparam);
  std::string error_text(KelapiResult code);

  ClientApi& client_;
  Settings settings_;
  std::string folder_, settings_path_, awf_path_, tcf_path_;
  std::string trade_date_;
  std::atomic<uintptr_t> frame_{0};
  MainView* view_ = nullptr;
  bool connected_ = false;
  bool started_ = false;
  bool connecting_ = false;
  char session_password_[64] = {};
  uintptr_t gprs_link_ = 0;
  std::deque<Deferred> deferred_;
  Tables tables_;
  std::vector<FilterEntry> filter_entries_;
  MarginBinding margin_;
  std::unique_ptr<ui::Font> table_font_;
};

// The program's one manager (null before TerminalApp made it).
DataFeedManager* manager();
void set_manager(DataFeedManager* m);

}  // namespace kelda::terminal
