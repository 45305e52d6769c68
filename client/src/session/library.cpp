#include "session/library.h"

#include <algorithm>
#include <cstring>

#include "core/diag.h"
#include "core/tagged_memory.h"
#include "market/market.h"
#include "prices/prices.h"
#include "quotes/quotes.h"
#include "platform/last_error.h"

namespace kelda::kelapi {
namespace {

std::atomic<Library*> g_library{nullptr};

// The network-stack events that hold a library right now, in all and on
// this thread. Plain atomics (nothing to destroy): a library may go while
// the process exits.
std::atomic<int32_t> g_events_in_flight{0};
thread_local int32_t t_events_here = 0;

// Waits until no event of the network stack on another thread holds a
// library any more (the caller may be inside one itself: a callback that
// ends the process). The library has been withdrawn first: with both sides
// sequentially consistent, an event either counted itself before the
// withdrawal was seen here or finds no library.
void wait_for_net_events() {
  while (g_events_in_flight.load() != t_events_here) platform::sleep_ms(1);
}

}  // namespace

Library* current_library() noexcept { return g_library.load(); }
void set_current_library(Library* library) noexcept { g_library.store(library); }

uint64_t Library::next_reported_epoch() noexcept {
  static std::atomic<uint64_t> epoch{0};
  return ++epoch;
}

NetEventScope::NetEventScope() noexcept {
  ++t_events_here;
  g_events_in_flight.fetch_add(1);
  library_ = current_library();
}

NetEventScope::~NetEventScope() {
  g_events_in_flight.fetch_sub(1);
  --t_events_here;
}

Library::Library(LibraryOptions options) : options_(std::move(options)) {
  install_table_hooks();
  worker_ = platform::Thread::start("kelapi worker", [this] {
    worker_main();
    return 0u;
  });
  receiver_ = platform::Thread::start("kelapi receive", [this] {
    receive_main();
    return 0u;
  });
}

Library::~Library() {
  {
    LibraryLock lock(*this);
    if (connection_ != 0) disconnect();
  }
  if (current_library() == this) set_current_library(nullptr);
  // An event that found this library before it was withdrawn may still use
  // it (waiting for its lock, say): it ends before anything is freed. Later
  // events find no library and are refused. A library destroyed while this
  // thread holds its lock (the process ends inside an event callback) waits
  // for none: an event waiting for the lock could never end.
  if (!mutex_.held_by_current_thread()) wait_for_net_events();
  // The worker ends on its quit command, after the command it is serving.
  if (!platform::post_thread_message(worker_->id(), kWorkerMessage, 0, kCommandQuit)) {
    worker_->request_stop();
  }
  if (!worker_->join(options_.worker_join_ms)) {
    diag("KeldaApi: the worker thread still runs after %u ms; waiting for it\n", options_.worker_join_ms);
    worker_->request_stop();
    worker_->join(platform::kInfinite);
  }
  receiver_->request_stop();
  if (!receiver_->join(options_.receive_join_ms)) {
    diag("KeldaApi: the receive thread still runs after %u ms; waiting for it\n", options_.receive_join_ms);
    receiver_->join(platform::kInfinite);
  }
  journal_.close();
  all_trades_.close();
  for (void* block : handed_out_) tagged_free(block);
}

void* Library::hand_out(std::size_t size) {
  void* block = tagged_alloc(AllocTag::extuser, size);
  try {
    handed_out_.insert(block);
  } catch (...) {
    tagged_free(block);
    throw;
  }
  return block;
}

KelapiResult Library::free_handed_out(void* block) {
  LibraryLock lock(*this);
  // Only a block this library handed out is freed; anything else is left alone.
  if (block != nullptr && handed_out_.erase(block) == 1) tagged_free(block);
  return KELAPI_OK;
}

void Library::lock() {
  if (!mutex_.lock(options_.lock_warning_ms)) {
    diag("KeldaApi: the library lock was not free for %u ms\n", options_.lock_warning_ms);
    mutex_.lock();
  }
}

bool Library::post_command(uint32_t code, uintptr_t argument) {
  return platform::post_thread_message(worker_->id(), kWorkerMessage, argument,
                                       static_cast<LPARAM>(code));
}

void Library::worker_main() {
  platform::ensure_message_queue();
  worker_started_.set();
  platform::Waitable* stop[] = {platform::current_stop_event()};
  while (true) {
    const auto w = platform::wait_for_message_or(stop, platform::kInfinite);
    if (w.status == platform::WaitStatus::signaled) return;
    platform::ThreadMessage m;
    if (!platform::peek_message(m, true)) continue;
    if (m.message != kWorkerMessage) continue;  // nothing else is posted to the worker
    const auto code = static_cast<uint32_t>(m.lparam);
    if (code == kCommandQuit) return;
    LibraryLock lock(*this);
    try {
      run_command(code, m.wparam);
    } catch (const std::exception& e) {
      diag("KeldaApi: worker command %u failed: %s\n", code, e.what());
    }
  }
}

// How long the receive thread may sleep before news.log is due: news
// changes are made on this thread, so the due time cannot move earlier while
// it sleeps.
uint32_t Library::news_save_wait_ms() const {
  const int64_t due = news_file.due_ms();
  if (due < 0) return platform::kInfinite;
  const int64_t wait = due - news_clock_ms();
  return static_cast<uint32_t>(std::clamp<int64_t>(wait, 0, platform::kInfinite - 1));
}

void Library::save_news_when_due(bool now) {
  try {
    save_news(*this, now);
  } catch (const std::exception& e) {
    diag("KeldaApi: news.log not written: %s\n", e.what());
  }
}

void Library::receive_main() {
  platform::Event& stop = *platform::current_stop_event();
  platform::Waitable* objects[] = {&stop, &receive_data_};
  while (true) {
    const auto w = platform::wait_any(objects, news_save_wait_ms());
    if (w.status == platform::WaitStatus::timeout) {
      // news.log is due. The lock is waited for together with the stop
      // event: a library ended by the lock's holder must not wait for us.
      platform::Waitable* lock_or_stop[] = {&stop, &mutex_};
      const auto locked = platform::wait_any(lock_or_stop, platform::kInfinite);
      if (locked.status != platform::WaitStatus::signaled || locked.index == 0) return;
      save_news_when_due(false);
      unlock();
      continue;
    }
    if (w.status != platform::WaitStatus::signaled || w.index == 0) return;
    // Only this thread lowers the counter: every stored message is taken
    // once, also across a disconnect and a reconnect.
    while (pending_.load() > 0 && !stop.is_set()) {
      {
        LibraryLock lock(*this);
        if (connection_ != 0) {
          ErrorText error{};
          try {
            options_.net->recv(connection_, error);
          } catch (const std::exception& e) {
            diag("KeldaApi: a message handler failed: %s\n", e.what());
          }
          if (pending_.load() <= 1) {  // the end of a batch
            all_trades_flush();
            save_news_when_due(false);
          }
        }
      }
      pending_.fetch_sub(1);
    }
  }
}

void Library::run_command(uint32_t code, uintptr_t argument) {
  switch (code) {
    case kCommandConnect:
      connect_sequence(argument);
      break;
    case kCommandBookClasses:
      if (argument == session_generation_) run_book_classes(*this);
      break;
    case kCommandBookTrades:
      if (argument == session_generation_) run_book_trades(*this);
      break;
    case kCommandBookOrders:
      if (argument == session_generation_) run_book_orders(*this);
      break;
    case kCommandBookStopOrders:
      if (argument == session_generation_) run_book_stop_orders(*this);
      break;
    case kCommandBookTradeAccounts:
      if (argument == session_generation_) run_book_trade_accounts(*this);
      break;
    case kCommandBookTraders:
      if (argument == session_generation_) run_book_traders(*this);
      break;
    case kCommandBookTransactions:
      if (argument == session_generation_) run_book_transactions(*this);
      break;
    case kCommandBookLimits:
      if (argument == session_generation_) run_book_limits(*this);
      break;
    case kCommandBookFirms:
      if (argument == session_generation_) run_book_firms(*this);
      break;
    case kCommandBookDepoAccounts:
      if (argument == session_generation_) run_book_depo_accounts(*this);
      break;
    case kCommandBookFutures:
      if (argument == session_generation_) run_book_futures(*this);
      break;
    case kCommandBookPositions:
      if (argument == session_generation_) run_book_positions(*this);
      break;
    case kCommandBookNews:
      if (argument == session_generation_) run_book_news(*this);
      break;
    case kCommandBookNegotiated:
      if (argument == session_generation_) run_book_negotiated(*this);
      break;
    case kCommandBookQuotes:
      if (argument == session_generation_) run_book_quotes(*this);
      break;
    case kCommandBookAllTrades:
      run_book_all_trades(*this, argument != 0);
      break;
    case kCommandUnbookAllTrades:
      run_unbook_all_trades(*this);
      break;
    case kCommandDataRefresh:
      run_data_refresh(*this, static_cast<uint32_t>(argument));
      break;
    case kCommandNamedData:
      run_named_data_request(*this, static_cast<uint32_t>(argument));
      break;
    case kCommandBookPrice:
    case kCommandUnbookPrice:
      run_price_list(*this, static_cast<int32_t>(argument), code == kCommandBookPrice);
      break;
    case kCommandBookOrderBook:
    case kCommandUnbookOrderBook:
      run_order_book(*this, static_cast<int32_t>(argument), code == kCommandBookOrderBook);
      break;
    default:
      break;  // a command of a table this library does not keep
  }
}

void Library::reset_filters() { reset_market_filters(*this); }

void Library::install_table_hooks() {
  hooks_.reset.push_back([this] {
    values.reset();
    quote_tables.reset();
    price_lists.reset();
    multipart = Multipart{};
    orders.release();
    trades.reset();
    stop_orders.release();
    if (!save_trade_accounts(*this)) diag("KeldaApi: acnt.dat could not be written\n");
    trade_accounts.release();
    traders.reset();
    transactions.reset();
    limits.clear();
    firms.clear();
    depo_accounts.firm.release();
    depo_accounts.security.release();
    futures.release();
    positions.release();
    save_news_when_due(true);
    news.release();
    rule_files.clear();
    negotiated.release();
    all_trades.reset();
    data_lines.reset();
    minutes.reset();
  });
  hooks_.link_lost.push_back([this] {
    save_news_when_due(true);
    all_trades_link_lost(*this);
    minutes_link_lost(*this);
    data_lines_link_lost(*this);
  });
  hooks_.started.push_back([this] {
    minutes_session_started(*this);
    data_lines_session_started(*this);
  });
  hooks_.link_lost.push_back([this] {
    drop_order_books(*this);
    drop_price_lists(*this);
    rule_files.clear();
  });
  hooks_.new_trading_session.push_back([this] {
    values.reset();
    orders.clear_rows();
    trades.reset();
    stop_orders.clear_rows();
    trade_accounts.release();
    traders.messages.clear();
    limits.clear();
    depo_accounts.firm.clear_rows();
    depo_accounts.security.clear_rows();
    futures.clear_rows();
    positions.clear_rows();
    negotiated.clear_rows();
    const bool tick_lines = all_trades.tick_lines;
    all_trades.reset();
    all_trades.tick_lines = tick_lines;
  });
  hooks_.connected.push_back([this] { traders.traders.clear(); });
  hooks_.restored.push_back([this](uint32_t mask) {
    if ((mask & 0x2) == 0) trades.reset();
    if ((mask & 0x4) == 0) {
      orders.release();
      stop_orders.release();
      negotiated.release();
    }
  });
  hooks_.connected.push_back([this] {
    transactions.table.mark_all_absent();
    transactions.replayed = false;
  });
  hooks_.connected.push_back([this] { drop_news_unless_kept(*this); });
  hooks_.session_changed.push_back([this] { drop_news(*this); });
  hooks_.announce_class.push_back([this](int32_t class_index) {
    announce_all_trades_of_class(*this, class_index);
    announce_orders_of_class(*this, class_index);
    announce_trades_of_class(*this, class_index);
    announce_stop_orders_of_class(*this, class_index);
  });
}

uint32_t Library::next_request_number() {
  if (++request_counter_ == 0) ++request_counter_;  // 0 means "no request"
  return request_counter_;
}

int32_t Library::send_message(uint16_t id, const void* record) {
  if (!connected_ || connection_ == 0) return 0;
  return options_.net->send(connection_, id, record, last_error_);
}

void Library::journal_write(uint8_t tag, const void* payload, std::size_t size, bool with_length) {
  if (!journal_.is_open()) return;
  if (!journal_.write(tag, std::span(static_cast<const uint8_t*>(payload), size), with_length)) {
    diag("KeldaApi: journal record %u not written; journalling is off\n", tag);
    journal_.close();
  }
}

void Library::all_trades_write(uint8_t tag, const void* payload, std::size_t size) {
  if (!all_trades_.is_open()) return;
  if (!all_trades_.write_buffered(tag, std::span(static_cast<const uint8_t*>(payload), size))) {
    diag("KeldaApi: alltrades.dat not written; its records are off\n");
    all_trades_.close();
  }
}

void Library::all_trades_flush() {
  if (all_trades_.is_open() && !all_trades_.flush()) diag("KeldaApi: alltrades.dat not written; its records are off\n");
}

void Library::raise_event(uint32_t event, uintptr_t wparam, uintptr_t lparam) {
  if (callback_ != nullptr) callback_(event, wparam, lparam);
}

void Library::set_start_condition(StartCondition c) {
  start_conditions_.set(static_cast<std::size_t>(c));
  try_start_event();
}

void Library::clear_start_condition(StartCondition c) { start_conditions_.reset(static_cast<std::size_t>(c)); }

void Library::try_start_event() {
  if (start_fired_ || !start_conditions_.all()) return;
  start_fired_ = true;
  KelapiStartInfo info;
  std::memset(&info, 0, sizeof info);
  info.trade_date = trade_date_;
  info.session_id = session_id_;
  std::memcpy(info.session_text2, head_text2_, sizeof info.session_text2);
  std::memcpy(info.session_text, session_text_, sizeof info.session_text);
  std::memcpy(info.trading_session, trading_key_, sizeof info.trading_session);
  std::memcpy(info.session_text1, head_text1_, sizeof info.session_text1);
  raise_event(KELAPI_EVENT_START, reinterpret_cast<uintptr_t>(&info), 0);
  for (auto& started : hooks_.started) started();
}

void Library::announce_class(int32_t class_index) {
  raise_event(KELAPI_EVENT_NEWCLASS, 0, static_cast<uintptr_t>(class_index) + 1);
  for (auto& announce : hooks_.announce_class) announce(class_index);
}

void Library::clear_session_state() {
  ++session_generation_;
  booked_.reset();
  all_trades.booked = false;
  booking_.reset();
  start_conditions_.reset();
  start_fired_ = false;
}

KelapiResult Library::set_event_callback(KelapiEventCallback callback) {
  LibraryLock lock(*this);
  callback_ = callback;
  return KELAPI_OK;
}

KelapiResult Library::set_two_factor_callbacks(KelapiNewPinCallback new_pin, KelapiTokenCallback token,
                                               KelapiNextTokenCallback next_token) {
  LibraryLock lock(*this);
  new_pin_callback_ = new_pin;
  token_callback_ = token;
  next_token_callback_ = next_token;
  return KELAPI_OK;
}

KelapiResult book_table(Library& lib, Booked table, uint32_t command) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (lib.booked(table)) return KELAPI_E_ALREADY_BOOKED;
  if (!lib.post_command(command, lib.session_generation())) return platform::get_last_error();
  lib.set_booked(table, true);
  return KELAPI_OK;
}

KelapiResult check_row_read(const Library& lib, const void* record, uint32_t size, uint32_t expected_size) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (size != expected_size) return KELAPI_E_STRUCT_SIZE;
  return KELAPI_OK;
}

int64_t row_sequence(uint32_t number) {
  const int64_t sequence = static_cast<int64_t>(number) - 1;
  return sequence < 0 || sequence > INT32_MAX ? -1 : sequence;
}

}  // namespace kelda::kelapi
