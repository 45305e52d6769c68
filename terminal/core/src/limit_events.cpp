// The event handlers of the limit, futures and news tables.
#include <algorithm>
#include <cstring>
#include <memory>
#include <tuple>

#include "terminal/data_feed_manager.h"
#include "terminal/main_view.h"
#include "terminal/text_log.h"
#include "terminal/window_protocol.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

using Keys = std::tuple<std::string_view, std::string_view, std::string_view, std::string_view>;

Keys money_keys(const KelapiMoneyLimitRecordEx& r) {
  return {field_text(r.firm), field_text(r.client), field_text(r.currency), field_text(r.tag)};
}

Keys depo_keys(const KelapiDepoLimitRecordEx& r) {
  return {field_text(r.firm), field_text(r.client), field_text(r.security), field_text(r.account)};
}

template <typename Row, typename KeyOf>
int lower_bound_of(const std::vector<std::unique_ptr<Row>>& rows, const Keys& keys, KeyOf key_of, bool* found) {
  const auto it = std::lower_bound(rows.begin(), rows.end(), keys,
                                   [&](const std::unique_ptr<Row>& row, const Keys& k) { return key_of(*row) < k; });
  const int at = static_cast<int>(it - rows.begin());
  if (found != nullptr) *found = it != rows.end() && key_of(**it) == keys;
  return at;
}

auto futures_limit_order(const KelapiFuturesLimitRecordEx& r) {
  return std::make_tuple(field_text(r.firm), field_text(r.account), r.type);
}

auto futures_holding_order(const KelapiFuturesHoldingRecordEx& r) {
  return std::make_tuple(field_text(r.firm), field_text(r.account), field_text(r.security), r.kind);
}

auto news_order(const KelapiNewsRecord& r) { return std::make_tuple(r.date, r.time, r.number); }

// Keeps `read` in a table of records with an identifying number: replaced in
// place when held, else inserted in the table's order. Answers the index and
// whether it is new.
template <typename Record, typename Order>
std::pair<int, bool> keep_by_number(std::vector<std::unique_ptr<Record>>& rows, const Record& read, Order order) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i]->number == read.number) {
      *rows[i] = read;
      return {static_cast<int>(i), false};
    }
  }
  const auto it = std::find_if(rows.begin(), rows.end(), [&](const std::unique_ptr<Record>& row) {
    return !(order(*row) < order(read));
  });
  const auto placed = rows.insert(it, std::make_unique<Record>(read));
  return {static_cast<int>(placed - rows.begin()), true};
}

}  // namespace

int DataFeedManager::money_limit_position(std::string_view firm, std::string_view client, std::string_view currency,
                                          std::string_view tag, bool* found) const {
  return lower_bound_of(tables_.money_limits, Keys{firm, client, currency, tag},
                        [](const KelapiMoneyLimitRecordEx& r) { return money_keys(r); }, found);
}

int DataFeedManager::depo_limit_position(std::string_view firm, std::string_view client, std::string_view security,
                                         std::string_view account, bool* found) const {
  return lower_bound_of(tables_.depo_limits, Keys{firm, client, security, account},
                        [](const DepoLimitRow& r) { return depo_keys(r.record); }, found);
}

void DataFeedManager::on_money_limit(uint32_t number) {
  KelapiMoneyLimitRecordEx read{};
  const KelapiResult r = client_.get_money_limit(number, &read);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetMoneyLimit failed %d.", static_cast<int>(r));
    return;
  }
  const auto [firm, client, currency, tag] = money_keys(read);
  bool found = false;
  const int at = money_limit_position(firm, client, currency, tag, &found);
  auto& rows = tables_.money_limits;
  if (found) {
    *rows[static_cast<std::size_t>(at)] = read;
  } else {
    rows.insert(rows.begin() + at, std::make_unique<KelapiMoneyLimitRecordEx>(read));
    margin_.register_client(std::string(firm), std::string(client), true);
  }
  if (view_ != nullptr) view_->fan_out_money_limit(*rows[static_cast<std::size_t>(at)], at, !found);
}

void DataFeedManager::on_depo_limit(uint32_t number) {
  auto row = std::make_unique<DepoLimitRow>();
  const KelapiResult r = client_.get_depo_limit(number, &row->record);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetDepoLimitEx failed %d.", static_cast<int>(r));
    return;
  }
  const std::string security(field_text(row->record.security));
  row->name = security;
  for (const auto& [code, cls] : tables_.classes) {
    if (const SecurityRecord* sec = cls->find_security(security)) {
      row->name = std::string(field_text(sec->record.short_name));
      break;
    }
  }
  const auto [firm, client, sec_code, account] = depo_keys(row->record);
  bool found = false;
  const int at = depo_limit_position(firm, client, sec_code, account, &found);
  auto& rows = tables_.depo_limits;
  const std::string firm_text(firm), client_text(client);
  if (found) {
    *rows[static_cast<std::size_t>(at)] = std::move(*row);
  } else {
    rows.insert(rows.begin() + at, std::move(row));
    ui::set_timer(frame(), kFilterTimer, 5000);
    margin_.register_client(firm_text, client_text, true);
  }
  if (view_ != nullptr) view_->fan_out_depo_limit(*rows[static_cast<std::size_t>(at)], at, !found);
}

void DataFeedManager::on_money_limit_deleted(unsigned char* record) {
  const std::unique_ptr<unsigned char[]> owned(record);
  if (!owned) return;
  KelapiMoneyLimitRecord deleted{};
  std::memcpy(&deleted, owned.get(), sizeof deleted);
  bool found = false;
  const int at = money_limit_position(field_text(deleted.firm), field_text(deleted.client),
                                      field_text(deleted.currency), field_text(deleted.tag), &found);
  // Only a held limit counts against its margin row.
  if (!found) return;
  if (view_ != nullptr) view_->fan_out_remove_row(kind::money_limits, at);
  tables_.money_limits.erase(tables_.money_limits.begin() + at);
  margin_.register_client(std::string(field_text(deleted.firm)), std::string(field_text(deleted.client)), false);
}

void DataFeedManager::on_depo_limit_deleted(unsigned char* record) {
  const std::unique_ptr<unsigned char[]> owned(record);
  if (!owned) return;
  KelapiDepoLimitRecord deleted{};
  std::memcpy(&deleted, owned.get(), sizeof deleted);
  bool found = false;
  const int at = depo_limit_position(field_text(deleted.firm), field_text(deleted.client),
                                     field_text(deleted.security), field_text(deleted.account), &found);
  if (!found) return;
  if (view_ != nullptr) view_->fan_out_remove_row(kind::depo_limits, at);
  tables_.depo_limits.erase(tables_.depo_limits.begin() + at);
  margin_.register_client(std::string(field_text(deleted.firm)), std::string(field_text(deleted.client)), false);
}

void DataFeedManager::on_futures_limit(uint32_t number) {
  KelapiFuturesLimitRecordEx read{};
  const KelapiResult r = client_.get_futures_limit(number, &read);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetFuturesLimitEx failed %d.", static_cast<int>(r));
    return;
  }
  const auto [at, is_new] = keep_by_number(tables_.futures_limits, read, futures_limit_order);
  if (view_ != nullptr) {
    view_->fan_out_futures_limit(*tables_.futures_limits[static_cast<std::size_t>(at)], at, is_new);
  }
}

void DataFeedManager::on_futures_limit_removed(int32_t id) {
  auto& rows = tables_.futures_limits;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i]->number != id) continue;
    if (view_ != nullptr) view_->fan_out_remove_row(kind::futures_limits, static_cast<int>(i));
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

void DataFeedManager::on_futures_holding(uint32_t number) {
  KelapiFuturesHoldingRecordEx read{};
  const KelapiResult r = client_.get_futures_holding(number, &read);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetFuturesHoldingEx failed %d.", static_cast<int>(r));
    return;
  }
  const auto [at, is_new] = keep_by_number(tables_.futures_holdings, read, futures_holding_order);
  if (view_ != nullptr) {
    view_->fan_out_futures_holding(*tables_.futures_holdings[static_cast<std::size_t>(at)], at, is_new);
  }
}

void DataFeedManager::on_news(uint32_t change, uint32_t number) {
  if (change != 0) return;
  KelapiNewsRecord read{};
  const KelapiResult r = client_.get_news(number, &read);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetNews failed %d.", static_cast<int>(r));
    return;
  }
  auto& rows = tables_.news;
  const auto it = std::lower_bound(rows.begin(), rows.end(), news_order(read),
                                   [](const std::unique_ptr<KelapiNewsRecord>& row, const auto& key) {
                                     return news_order(*row) < key;
                                   });
  const int at = static_cast<int>(it - rows.begin());
  const bool held = it != rows.end() && news_order(**it) == news_order(read);
  // A changed item is stored over the held one, and the windows get the
  // record the table holds.
  if (held) **it = read;
  else rows.insert(it, std::make_unique<KelapiNewsRecord>(read));
  if (view_ != nullptr) view_->fan_out_news(*rows[static_cast<std::size_t>(at)], at, !held);
}

}  // namespace kelda::terminal
