// The session messages: session information, the trading session and the
// character mode.
#include <cstring>

#include "core/text_util.h"
#include "market/market.h"
#include "messages/records_session.h"
#include "session/journal_tags.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgSessionAnswer = 0xA5;

}  // namespace

void Library::on_session_info(int32_t session_id, const char* head_text1, const char* head_text2,
                              const char* session_text) {
  const Msg00A5_SessionAnswer answer{static_cast<int32_t>(application_mode_), 0};
  send_message(kMsgSessionAnswer, &answer);
  const auto id = static_cast<uint32_t>(session_id);
  if (!session_id_stored_) {
    session_id_ = id;
    session_id_stored_ = true;
    journal_write(journal_tag::kSessionId, &id, sizeof id, false);
  } else if (session_id_ != id) {
    std::memset(trading_key_, 0, sizeof trading_key_);
    session_id_ = id;
    for (auto& changed : hooks_.session_changed) changed();
  }
  char text[sizeof session_text_];
  copy_bounded(text, session_text, sizeof text - 1);
  if (std::strcmp(text, session_text_) != 0) std::memset(trading_key_, 0, sizeof trading_key_);
  std::memcpy(session_text_, text, sizeof text);
  copy_bounded(head_text1_, head_text1, sizeof head_text1_ - 1);
  copy_bounded(head_text2_, head_text2, sizeof head_text2_ - 1);
  set_start_condition(StartCondition::session_info);
}

void Library::on_trading_session(const char* key_text, int32_t trade_date) {
  char key[sizeof trading_key_];
  copy_bounded(key, key_text, sizeof key - 1);
  if (std::strcmp(key, trading_key_) != 0) {
    if (start_fired_) {
      raise_event(KELAPI_EVENT_NEWSTATUS, 2, 0);
      // The caller may have uninitialised the library from the event: then
      // there is no work folder and no day to start.
      if (!initialised_) return;
      clear_session_state();
      start_conditions_.set(static_cast<std::size_t>(StartCondition::session_info));
      start_conditions_.set(static_cast<std::size_t>(StartCondition::trading_session));
    }
    trade_date_ = static_cast<uint32_t>(trade_date);
    std::memcpy(trading_key_, key, sizeof key);
    for (auto& reset : hooks_.new_trading_session) reset();
    start_new_day_files();
  }
  mark_classes_unconfirmed(*this);
  set_start_condition(StartCondition::trading_session);
}

void Library::start_new_day_files() {
  const std::string trades = work_file(work_dir_, "alltrades.dat");
  all_trades_.close();
  all_trades_.create(trades, all_trades_frame());
  journal_.close();
  start_new_journal(trade_date_);
  journal_write(journal_tag::kTradingKey, trading_key_, sizeof trading_key_, false);
  journal_write(journal_tag::kSessionText, session_text_, sizeof session_text_, false);
  journal_write(journal_tag::kSessionId, &session_id_, sizeof session_id_, false);
  journal_write(journal_tag::kTradeDate, &trade_date_, sizeof trade_date_, false);
  journal_write(journal_tag::kPermissions, &permissions_, sizeof permissions_, false);
}

void Library::on_character_mode(uint32_t word) {
  const uint32_t old = character_mode_;
  character_mode_ = word;
  journal_write(journal_tag::kCharacterMode, &word, sizeof word, false);
  if (word != old && connection_ != 0) {
    ErrorText error{};
    options_.net->set_connection_param(connection_, 7, (word & 0x800) != 0 ? 1 : 0, error);
  }
}

}  // namespace kelda::kelapi
