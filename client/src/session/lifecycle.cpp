// Initialise, uninitialise and the session settings of the library.
#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "market/market.h"
#include "quotes/quotes.h"
#include "session/journal_tags.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr std::size_t kPathChars = 259;

std::string bounded(const char* text, std::size_t n) {
  return text == nullptr ? std::string() : std::string(text, strnlen(text, n));
}

// Length-prefixed records of the tables.
constexpr uint8_t kTableTags[] = {11, 73, 13, 14, 57, 58, 64, 65, 31, 62, 15, 16, 26, 27, 28, 29, 30,
                                  21, 41, 42, 59, 60, 71, 23, 37, 38, 44, 47, 48, 49, 66, 69, 70, 34,
                                  51, 74, 35, 43, 50, 67, 36, 52, 63, 40, 61, 46, 4,  5,  12, 19, 20,
                                  22, 24, 53, 55, 56, 72};

uint32_t u32_of(std::span<const uint8_t> p) {
  uint32_t v;
  std::memcpy(&v, p.data(), sizeof v);
  return v;
}

}  // namespace

JournalReaders Library::journal_readers() {
  JournalReaders r;
  r.set_fixed(journal_tag::kPermissions, 4, [this](uint8_t, auto p) { permissions_ = u32_of(p); });
  r.set_fixed(journal_tag::kTradingKey, 37, [this](uint8_t, auto p) {
    std::memcpy(trading_key_, p.data(), sizeof trading_key_);
    trading_key_[sizeof trading_key_ - 1] = '\0';
  });
  r.set_fixed(journal_tag::kSessionText, 65, [this](uint8_t, auto p) {
    std::memcpy(session_text_, p.data(), sizeof session_text_);
    session_text_[sizeof session_text_ - 1] = '\0';
  });
  r.set_fixed(journal_tag::kSessionId, 4, [this](uint8_t, auto p) {
    session_id_ = u32_of(p);
    session_id_stored_ = true;
  });
  r.set_fixed(journal_tag::kTradeDate, 4, nullptr);
  r.set_fixed(journal_tag::kCharacterMode, 4, [this](uint8_t, auto p) { character_mode_ = u32_of(p); });
  r.set_fixed(journal_tag::kValueEnd, 8, nullptr);
  for (uint8_t tag : kTableTags) r.set_table(tag, nullptr);
  add_value_journal_readers(*this, r);
  r.set_table(46, [this](uint8_t, std::span<const uint8_t> p) { replay_quote(*this, p); });
  for (uint8_t tag : {63, 52, 36}) {
    r.set_checked_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { return replay_trade(*this, t, p); });
  }
  for (uint8_t tag : {40, 61}) {
    r.set_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { replay_minute_bar(*this, t, p); });
  }
  for (uint8_t tag : {59, 42, 71, 41, 60, 21}) {
    r.set_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { replay_trader_record(*this, t, p); });
  }
  for (uint8_t tag : {74, 51, 34}) {
    r.set_checked_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { return replay_stop_order(*this, t, p); });
  }
  for (uint8_t tag : {66, 47, 44, 37, 70, 48, 38, 69, 49, 23}) {
    r.set_checked_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { return replay_negotiated(*this, t, p); });
  }
  for (uint8_t tag : {67, 50, 43, 35}) {
    r.set_checked_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { return replay_order(*this, t, p); });
  }
  for (uint8_t tag : {31, 62}) {
    r.set_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { replay_firm(*this, t, p); });
  }
  for (uint8_t tag : {13, 57, 65, 14, 58, 64}) {
    r.set_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { replay_depo_account(*this, t, p); });
  }
  for (uint8_t tag : {28, 29, 30}) {
    r.set_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { replay_futures(*this, t, p); });
  }
  for (uint8_t tag : {11, 73}) {
    r.set_table(tag, [this](uint8_t t, std::span<const uint8_t> p) { replay_position(*this, t, p); });
  }
  return r;
}

KelapiResult Library::initialise(int fresh_start, const char* work_dir, const char* settings_path,
                                 uint32_t flags, bool with_flags) {
  LibraryLock lock(*this);
  if (initialised_) return KELAPI_E_ALREADY_INITIALIZED;
  if (!worker_started_seen_) {
    platform::wait_one(worker_started_, platform::kInfinite);
    worker_started_seen_ = true;
  }
  if (with_flags && (flags & kInitRefused) != 0) return KELAPI_E_NOT_SUPPORTED;
  init_flags_ = with_flags ? flags : 0;
  work_dir_ = bounded(work_dir, kPathChars);
  settings_path_ = bounded(settings_path, kPathChars);
  if (fresh_start != 0) {
    start_new_journal(static_cast<uint32_t>(local_date_packed()));
  } else {
    load_saved_state();
  }
  load_news(*this);
  language_ = 25;
  sub_language_ = 1;
  initialised_ = true;
  return KELAPI_OK;
}

void Library::load_saved_state() {
  const bool market_loaded = load_market_tables(*this);
  if (market_loaded) load_saved_transactions(*this);
  reset_filters();
  values.store.reset_entries();
  JournalReplay replay;
  if (market_loaded) {
    replay = replay_journal(work_file(work_dir_, "info.log"), journal_readers());
    if (replay.header_ok) trade_date_ = replay.trade_date;
    if (replay.damaged) {
      diag("KeldaApi: info.log is damaged at offset %llu; later records are dropped\n",
           static_cast<unsigned long long>(replay.good_end));
    }
  }
  if (replay.header_ok) {
    const std::string path = work_file(work_dir_, "alltrades.dat");
    // Read-once mode (flag 0x4) reads the file in batches once all trades
    // are booked; new trades are appended in every mode.
    const bool replay_now = (init_flags_ & 0x4) == 0;
    const JournalReplay trades = replay_all_trades(path, [this, replay_now](uint8_t tag, std::span<const uint8_t> p) {
      if (replay_now) replay_all_trade(*this, tag, p);
    });
    if (trades.header_ok) {
      all_trades_file_replayed(*this, replay_now ? trades.good_end : 0);
      all_trades_.open_at(path, trades.good_end);
    }
  }
  open_journal(replay);
  uint32_t mask = permissions_;
  for (std::size_t c = 0; c < classes.size(); ++c) mask |= classes.at(c).d.flags;
  for (auto& restored : hooks_.restored) restored(mask);
}

void Library::open_journal(const JournalReplay& replay) {
  const std::string path = work_file(work_dir_, "info.log");
  // Appending starts where the last readable record ends.
  if (replay.header_ok && replay.good_end >= 4 && journal_.open_at(path, replay.good_end)) return;
  start_new_journal(static_cast<uint32_t>(local_date_packed()));
}

void Library::start_new_journal(uint32_t trade_date) {
  if (!journal_.create(work_file(work_dir_, "info.log"), journal_frame(trade_date))) {
    diag("KeldaApi: info.log cannot be created; journalling is off\n");
  }
}

void Library::reset_tables() {
  for (auto& reset : hooks_.reset) reset();
  classes.clear();
  securities.clear();
  params.clear();
  reported.fill(ReportedCounts{});
  reported_epoch = next_reported_epoch();
  bar_blocks.clear();
}

KelapiResult Library::uninitialise() {
  LibraryLock lock(*this);
  if (!initialised_) return KELAPI_E_NOT_INITIALIZED;
  if (connected_ || connecting_ || connection_ != 0) disconnect();
  if (connect_waiting_) {
    // A connect call still waits for its command: that attempt is over.
    ++connect_attempt_;
    connect_done_.set();
  }
  reset_tables();
  clear_session_state();
  work_dir_.clear();
  settings_path_.clear();
  sign_parameter_.clear();
  session_id_ = 0;
  session_id_stored_ = false;
  std::memset(session_text_, 0, sizeof session_text_);
  std::memset(head_text1_, 0, sizeof head_text1_);
  std::memset(head_text2_, 0, sizeof head_text2_);
  std::memset(trading_key_, 0, sizeof trading_key_);
  trade_date_ = 0;
  permissions_ = 0;
  character_mode_ = 0;
  request_counter_ = 123;
  journal_.close();
  all_trades_.close();
  initialised_ = false;
  return KELAPI_OK;
}

KelapiResult Library::set_trans_sign_mode(uint32_t mode, const char* parameter) {
  LibraryLock lock(*this);
  if (!initialised_) return KELAPI_E_NOT_INITIALIZED;
  if (connected_) return KELAPI_E_ALREADY_CONNECTED;
  sign_mode_ = mode;
  sign_parameter_ = parameter == nullptr ? settings_path_ : bounded(parameter, kPathChars);
  return KELAPI_OK;
}

KelapiResult Library::set_language(int language, int sub_language) {
  LibraryLock lock(*this);
  if (!initialised_) return KELAPI_E_NOT_INITIALIZED;
  if (connected_) return KELAPI_E_ALREADY_CONNECTED;
  language_ = static_cast<int16_t>(language);
  sub_language_ = static_cast<int16_t>(sub_language);
  return KELAPI_OK;
}

KelapiResult Library::set_application_mode(const uint32_t* mode) {
  LibraryLock lock(*this);
  if (!initialised_) return KELAPI_E_NOT_INITIALIZED;
  if (mode == nullptr) return KELAPI_E_POINTER;
  if (connected_) return KELAPI_E_ALREADY_CONNECTED;
  application_mode_ = *mode;
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
