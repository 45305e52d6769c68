// The client library's one object: its state, its lock, its two threads and
// its tables.
//
// One Library exists per process while the shared library is loaded (it is
// created at load and destroyed at unload); tests create their own with
// options that shorten the time-outs and stand in for the network stack.
// Message handlers reach it through current_library().
//
// Threading: every member is guarded by the library lock (lock()), taken by
// every export, by the worker thread for each command, by the receive thread
// for each message and by the connection event handlers. The pending-message
// counter and the events are the only things touched without it. The event
// callback runs with the lock held.
// Errors: functions return result codes; allocation failure throws and is
// turned into a result at the C boundary.
#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "all_trades/all_trades.h"
#include "core/bar_blocks.h"
#include "data_lines/data_lines.h"
#include "accounts/trade_accounts.h"
#include "limits/limits.h"
#include "firms/depo_accounts.h"
#include "firms/firms.h"
#include "futures/futures.h"
#include "positions/positions.h"
#include "news/news.h"
#include "news/news_file.h"
#include "rules/rule_files.h"
#include "files/journal.h"
#include "keldaapi/keldaapi.h"
#include "market/class_table.h"
#include "market/param_table.h"
#include "market/security_table.h"
#include "minutes/minutes.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "session/environment.h"
#include "session/net_port.h"
#include "multipart/multipart.h"
#include "negotiated/negotiated.h"
#include "orders/orders.h"
#include "prices/price_lists.h"
#include "quotes/quote_tables.h"
#include "traders/traders.h"
#include "stop_orders/stop_orders.h"
#include "trades/trades.h"
#include "transactions/transactions.h"
#include "values/values.h"

namespace kelda::kelapi {

// Thread message that carries a worker command (code in lparam, argument in
// wparam), and the commands.
inline constexpr uint32_t kWorkerMessage = 1801;
inline constexpr uint32_t kCommandConnect = 1;
inline constexpr uint32_t kCommandBookTrades = 3;
inline constexpr uint32_t kCommandBookOrders = 4;
inline constexpr uint32_t kCommandBookTradeAccounts = 5;
inline constexpr uint32_t kCommandBookTransactions = 7;
inline constexpr uint32_t kCommandBookFirms = 6;
inline constexpr uint32_t kCommandBookPositions = 8;
inline constexpr uint32_t kCommandBookDepoAccounts = 9;
inline constexpr uint32_t kCommandBookLimits = 10;
inline constexpr uint32_t kCommandBookFutures = 12;
inline constexpr uint32_t kCommandBookNews = 19;
inline constexpr uint32_t kCommandBookNegotiated = 11;
inline constexpr uint32_t kCommandBookClasses = 16;
inline constexpr uint32_t kCommandBookStopOrders = 20;
inline constexpr uint32_t kCommandBookPrice = 17;
inline constexpr uint32_t kCommandUnbookPrice = 18;
inline constexpr uint32_t kCommandBookOrderBook = 21;
inline constexpr uint32_t kCommandBookTraders = 23;
inline constexpr uint32_t kCommandUnbookOrderBook = 22;
inline constexpr uint32_t kCommandBookQuotes = 24;
inline constexpr uint32_t kCommandNamedData = 26;
inline constexpr uint32_t kCommandQuit = 100;

// Initialisation flags.
inline constexpr uint32_t kInitRefused = 0x1;
inline constexpr uint32_t kInitRefreshClasses = 0x8;
inline constexpr uint32_t kInitPushValues = 0x10;

// Tables the caller books.
enum class Booked : uint8_t {
  classes,
  quotes,
  orders,
  trades,
  stop_orders,
  trade_accounts,
  traders,
  transactions,
  limits,
  firms,
  depo_accounts,
  futures,
  positions,
  news,
  negotiated,
  count_
};

// The five conditions of the start event.
enum class StartCondition : uint8_t {
  session_info,
  trading_session,
  class_lists_end,
  classes_complete,
  params_complete,
  count_
};

struct LibraryOptions {
  std::shared_ptr<NetPort> net;
  // How the environment report learns about the machine (asked at connect).
  std::function<EnvironmentInfo()> environment = read_environment;
  uint32_t connect_timeout_ms = 300000;
  uint32_t connect_settle_ms = 500;
  uint32_t worker_join_ms = 5000;
  uint32_t receive_join_ms = 1000;
  uint32_t lock_warning_ms = 300000;
};

// Points where the tables of other parts of the library join in.
struct LibraryHooks {
  // The connection is established (before the session state is cleared).
  std::vector<std::function<void()>> connected;
  // The link is gone: session-bound subscriptions and requests are reset.
  std::vector<std::function<void()>> link_lost;
  // A new trading session: the day's tables are reset.
  std::vector<std::function<void()>> new_trading_session;
  // Uninitialise: every table is reset and freed.
  std::vector<std::function<void()>> reset;
  // The server reports another session id: the news list is dropped.
  std::vector<std::function<void()>> session_changed;
  // A class completed after the start: its rows are announced.
  std::vector<std::function<void(int32_t class_index)>> announce_class;
  // Saved rows were restored at initialisation: the tables that the
  // permission mask (saved permissions and every loaded class's flags) does
  // not enable drop them.
  std::vector<std::function<void(uint32_t permission_mask)>> restored;
  // The start event has been raised: feeds of an earlier link resume.
  std::vector<std::function<void()>> started;
};

class Library {
 public:
  // Creates the objects and starts both threads; throws std::system_error
  // when a thread cannot be started.
  explicit Library(LibraryOptions options);
  // Stops both threads cooperatively and waits for them.
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // ---- the lock ----
  void lock();
  void unlock() { mutex_.unlock(); }

  // ---- exports of the frame (lock taken inside) ----
  KelapiResult initialise(int fresh_start, const char* work_dir, const char* settings_path,
                          uint32_t flags, bool with_flags);
  KelapiResult uninitialise();
  KelapiResult set_trans_sign_mode(uint32_t mode, const char* parameter);
  KelapiResult set_language(int language, int sub_language);
  KelapiResult set_application_mode(const uint32_t* mode);
  KelapiResult connect(const char* user, const char* password, char* error);
  KelapiResult disconnect_export();
  KelapiResult set_event_callback(KelapiEventCallback callback);
  KelapiResult set_two_factor_callbacks(KelapiNewPinCallback new_pin, KelapiTokenCallback token,
                                        KelapiNextTokenCallback next_token);

  // Buffers handed to the caller (tag __EXTUSER__), freed by KelapiFree.
  void* hand_out(std::size_t size);
  KelapiResult free_handed_out(void* block);

  // Posts a worker command; false (last error set) when the post fails.
  bool post_command(uint32_t code, uintptr_t argument);

  // ---- state (lock held) ----
  bool initialised() const { return initialised_; }
  bool connected() const { return connected_; }
  bool start_fired() const { return start_fired_; }
  uint32_t init_flags() const { return init_flags_; }
  bool booked(Booked table) const { return booked_.test(static_cast<std::size_t>(table)); }
  void set_booked(Booked table, bool on) {
    booked_.set(static_cast<std::size_t>(table), on);
    booking_.reset(static_cast<std::size_t>(table));
  }
  // A booking command is on its way to the worker: a second booking is
  // refused until the worker has served the first.
  bool booking(Booked table) const { return booking_.test(static_cast<std::size_t>(table)); }
  void set_booking(Booked table) { booking_.set(static_cast<std::size_t>(table)); }
  // Changes whenever the session state is cleared: a booking command posted
  // in an earlier session is not served in a later one.
  uint32_t session_generation() const { return session_generation_; }
  const std::string& work_dir() const { return work_dir_; }
  const std::string& settings_path() const { return settings_path_; }
  uint32_t trade_date() const { return trade_date_; }
  // The trading-session key (37 characters with its terminator).
  const char* trading_key() const { return trading_key_; }
  // The session id of the session information: this user's trader id.
  uint32_t session_id() const { return session_id_; }
  uint32_t permissions() const { return permissions_; }
  const char* last_error_text() const { return last_error_.data(); }
  KelapiNewPinCallback new_pin_callback() const { return new_pin_callback_; }
  KelapiTokenCallback token_callback() const { return token_callback_; }
  KelapiNextTokenCallback next_token_callback() const { return next_token_callback_; }
  LibraryHooks& hooks() { return hooks_; }
  NetPort& net() { return *options_.net; }

  // The next request number (never 0).
  uint32_t next_request_number();

  // Sends a message while connected; 0 (nothing sent) otherwise.
  int32_t send_message(uint16_t id, const void* record);

  // Appends a journal record.
  void journal_write(uint8_t tag, const void* payload, std::size_t size, bool with_length);
  // Appends a length-prefixed record to alltrades.dat through a buffer that
  // is written out at the end of each batch of received messages.
  void all_trades_write(uint8_t tag, const void* payload, std::size_t size);
  void all_trades_flush();

  // Raises an event to the caller's callback.
  void raise_event(uint32_t event, uintptr_t wparam, uintptr_t lparam);
  // Sets a start condition and raises the start event when all hold.
  void set_start_condition(StartCondition condition);
  void clear_start_condition(StartCondition condition);
  void try_start_event();
  // Raises KELAPI_EVENT_NEWCLASS for a class and the announcements of the
  // other tables for it.
  void announce_class(int32_t class_index);

  // Signs a transaction text in place; false when it cannot be signed or the
  // signed text would not fit.
  bool sign_transaction(char* text, uint32_t& length, uint32_t capacity);
  // Transactions are signed (KelapiSetTransSignMode).
  bool signing() const { return sign_mode_ != 0; }

  // ---- the market tables (lock held) ----
  ClassTable classes;
  SecurityTable securities;
  ParamTable params;
  // What the caller last read of each class: its security and parameter
  // counts, so that no later read writes more records than it sized for.
  // Each caller thread's own last read is kept as well (market_exports.cpp);
  // `reported_epoch` changes whenever these are forgotten.
  struct ReportedCounts {
    int64_t securities = -1;
    int64_t params = -1;
  };
  std::array<ReportedCounts, kMaxClasses> reported;
  uint64_t reported_epoch = next_reported_epoch();
  static uint64_t next_reported_epoch() noexcept;
  // Price-bar blocks of the data lines and the archive.
  BarBlockList bar_blocks;
  // Current values.
  ValueTables values;
  // Quotes and order books.
  QuoteTables quote_tables;
  // Price lists of the subscribed securities.
  PriceLists price_lists;
  // Server messages and named data blocks being assembled.
  Multipart multipart;
  // The client's orders.
  OrderTable orders;
  // The client's trades.
  TradeTable trades;
  // The client's stop orders.
  StopOrderTable stop_orders;
  // The trading accounts the server makes available.
  TradeAccountTable trade_accounts;
  // Traders and the messages to and from this user.
  TraderTables traders;
  // Transaction kinds, the last transaction tried.
  TransactionState transactions;
  // Money and depository limits.
  LimitTables limits;
  // Firms and depository accounts.
  FirmTable firms;
  DepoAccountTables depo_accounts;
  // Futures limits and holdings.
  FuturesTables futures;
  // Account positions.
  PositionTable positions;
  // News and their file.
  NewsTable news;
  NewsFile news_file;
  // Rule-file requests.
  RuleFiles rule_files;
  // Negotiated deals, negotiated trades and their reports.
  NegotiatedTables negotiated;
  // The exchange's trades (all of them, not only the user's).
  AllTradesTable all_trades;
  // Minute bars per security, and the data lines built on them and on all
  // trades.
  MinuteStores minutes;
  DataLines data_lines;

  // ---- session messages (receive thread, lock held) ----
  void on_session_info(int32_t session_id, const char* head_text1, const char* head_text2,
                       const char* session_text);
  void on_trading_session(const char* key, int32_t trade_date);
  void on_character_mode(uint32_t word);

  // ---- used by the tests ----
  int32_t pending_messages() const { return pending_.load(); }
  uintptr_t connection() const { return connection_; }

 private:
  friend struct LibraryTestAccess;

  void worker_main();
  void receive_main();
  // news.log: how long the receive thread may sleep before it is due, and
  // writing it (when due, or at once with `now`); failures are reported.
  uint32_t news_save_wait_ms() const;
  void save_news_when_due(bool now);
  void run_command(uint32_t code, uintptr_t argument);
  void connect_sequence(uintptr_t attempt);
  void fail_attempt();
  void disconnect();
  void net_connected(uint32_t permissions);
  void net_disconnected();
  void net_disconnected_common(bool requested);
  void start_new_day_files();
  void clear_session_state();
  void reset_filters();
  void send_environment_report();
  static int32_t on_net_event(uintptr_t cookie, int32_t event, const void* event_data);

  void load_saved_state();
  void open_journal(const JournalReplay& replay);
  void start_new_journal(uint32_t trade_date);
  JournalReaders journal_readers();
  void reset_tables();
  void install_table_hooks();

  LibraryOptions options_;
  platform::Mutex mutex_;
  platform::Event worker_started_{platform::Event::Reset::manual};
  platform::Event connect_done_{platform::Event::Reset::automatic};
  platform::Event receive_data_{platform::Event::Reset::automatic};
  std::atomic<int32_t> pending_{0};
  std::atomic<uintptr_t> cookie_{0};  // the current connection attempt

  // 3.101 state
  bool initialised_ = false;
  bool worker_started_seen_ = false;
  uint32_t init_flags_ = 0;
  std::string work_dir_;
  std::string settings_path_;
  uint32_t sign_mode_ = 0;
  std::string sign_parameter_;
  int16_t language_ = 25;
  int16_t sub_language_ = 1;
  uint32_t application_mode_ = 0;
  std::string user_;
  std::string password_;
  EnvironmentInfo environment_;
  bool connected_ = false;
  bool connecting_ = false;
  // A KelapiConnect call waits for the attempt of this number; the worker
  // serves no connect command of another attempt or of an ended call.
  bool connect_waiting_ = false;
  uintptr_t connect_attempt_ = 0;
  bool disconnect_requested_ = false;
  bool start_fired_ = false;
  uint32_t permissions_ = 0;
  ErrorText last_error_{};
  std::bitset<static_cast<std::size_t>(Booked::count_)> booked_;
  std::bitset<static_cast<std::size_t>(Booked::count_)> booking_;
  uint32_t session_generation_ = 0;
  std::bitset<static_cast<std::size_t>(StartCondition::count_)> start_conditions_;
  KelapiEventCallback callback_ = nullptr;
  KelapiNewPinCallback new_pin_callback_ = nullptr;
  KelapiTokenCallback token_callback_ = nullptr;
  KelapiNextTokenCallback next_token_callback_ = nullptr;
  uint16_t request_counter_ = 123;

  // 3.102 session
  uintptr_t connection_ = 0;
  uintptr_t sign_context_ = 0;
  bool net_initialised_ = false;
  uint32_t character_mode_ = 0;

  // session information
  bool session_id_stored_ = false;
  uint32_t session_id_ = 0;
  char session_text_[65] = {};
  char head_text1_[65] = {};
  char head_text2_[65] = {};
  char trading_key_[37] = {};
  uint32_t trade_date_ = 0;

  std::unordered_set<void*> handed_out_;
  RecordFile journal_;
  RecordFile all_trades_;
  LibraryHooks hooks_;

  std::unique_ptr<platform::Thread> worker_;
  std::unique_ptr<platform::Thread> receiver_;
};

// The process's library, or null.
Library* current_library() noexcept;
void set_current_library(Library* library) noexcept;

// An event of the network stack using the process's library: while one
// exists, a library that is being destroyed waits before it goes (the
// stack's threads raise events at any moment, also during the unload).
class NetEventScope {
 public:
  NetEventScope() noexcept;  // takes the current library, or null
  ~NetEventScope();
  NetEventScope(const NetEventScope&) = delete;
  NetEventScope& operator=(const NetEventScope&) = delete;
  Library* library() const noexcept { return library_; }

 private:
  Library* library_;
};

// RAII lock of the library.
class LibraryLock {
 public:
  explicit LibraryLock(Library& library) : library_(library) { library_.lock(); }
  ~LibraryLock() { library_.unlock(); }
  LibraryLock(const LibraryLock&) = delete;
  LibraryLock& operator=(const LibraryLock&) = delete;

 private:
  Library& library_;
};

// Books one of the library's tables for the caller: the worker thread then
// announces what is held and asks the server for the rest. Takes the lock.
KelapiResult book_table(Library& lib, Booked table, uint32_t command);

// The checks every read of a booked table's row makes before the look-up
// (initialised, start event seen, record given, caller's size). Called under
// the library lock.
KelapiResult check_row_read(const Library& lib, const void* record, uint32_t size, uint32_t expected_size);

// The row sequence that a caller's 1-based row number names; -1 for a number
// that names no row (0, or past the sequences' range).
int64_t row_sequence(uint32_t number);

}  // namespace kelda::kelapi
