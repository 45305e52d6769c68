// The event handlers that keep the terminal's tables, and their clearing.
#include <memory>
#include <vector>

#include "terminal/data_feed_manager.h"
#include "terminal/main_view.h"
#include "terminal/text_log.h"

namespace kelda::terminal {

void DataFeedManager::clear_tables() {
  if (view_ != nullptr) view_->clear_all_windows();
  tables_.clear();
  margin_.clear();
}

void DataFeedManager::on_account(uint32_t number) {
  if (tables_.account_by_number.contains(number)) return;
  auto record = std::make_unique<KelapiTrdAccountRecord>();
  const KelapiResult r = client_.get_trd_account(number, record.get());
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetTrdAccount failed %d.", static_cast<int>(r));
    return;
  }
  KelapiTrdAccountRecord& held = *record;
  tables_.account_by_number.emplace(number, record.get());
  tables_.accounts.push_back(std::move(record));
  if (view_ != nullptr) view_->broadcast_accounts(held);
}

void DataFeedManager::on_trade(uint32_t number) {
  auto record = std::make_unique<KelapiTradeRecord>();
  const KelapiResult r = client_.get_trade(number, record.get());
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetTradeEx6 failed %d.", static_cast<int>(r));
    return;
  }
  KelapiTradeRecord& held = *record;
  tables_.trades.push_back(std::move(record));
  if (view_ != nullptr) view_->fan_out_trade(held);
}

void DataFeedManager::on_order(uint32_t number) {
  KelapiOrderRecord read{};
  const KelapiResult r = client_.get_order(number, &read);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetOrderEx5 failed %d.", static_cast<int>(r));
    return;
  }
  KelapiOrderRecord* held = nullptr;
  if (const auto it = tables_.order_by_number.find(read.row_number); it != tables_.order_by_number.end()) {
    held = it->second;
    *held = read;
  } else {
    auto record = std::make_unique<KelapiOrderRecord>(read);
    held = record.get();
    tables_.order_by_number.emplace(read.row_number, held);
    tables_.orders.push_back(std::move(record));
  }
  if (view_ != nullptr) view_->fan_out_order(*held);
}

void DataFeedManager::on_stop_order(uint32_t number) {
  KelapiStopOrderRecord read{};
  const KelapiResult r = client_.get_stop_order(number, &read);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetStopOrderEx3 failed %d.", static_cast<int>(r));
    return;
  }
  KelapiStopOrderRecord* held = nullptr;
  if (const auto it = tables_.stop_order_by_number.find(read.row_number); it != tables_.stop_order_by_number.end()) {
    held = it->second;
    *held = read;
  } else {
    auto record = std::make_unique<KelapiStopOrderRecord>(read);
    held = record.get();
    tables_.stop_order_by_number.emplace(read.row_number, held);
    tables_.stop_orders.push_back(std::move(record));
  }
  if (view_ != nullptr) view_->fan_out_stop_order(*held);
}

void DataFeedManager::on_new_class(uint32_t number) {
  log_line("[KelapiEventNewClass] nClassId = %d.", static_cast<int>(number));
  KelapiClassRecord record{};
  KelapiResult r = client_.get_class(number, &record);
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetClassEx3 failed %d.", static_cast<int>(r));
    return;
  }
  const std::string code(field_text(record.code));
  if (tables_.classes.contains(code)) {
    log_line("ERROR: This class already exists.");
    return;
  }
  auto owned = std::make_unique<ClassRecord>();
  ClassRecord& cls = *owned;
  cls.record = record;
  tables_.classes.emplace(code, std::move(owned));
  tables_.class_by_number[record.class_number] = &cls;

  std::vector<KelapiSecurityRecord> securities(record.security_count);
  r = client_.get_class_securities(record.class_number, securities.data());
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetClassSecurities3 failed %d.", static_cast<int>(r));
    return;
  }
  for (const KelapiSecurityRecord& s : securities) {
    auto sec = std::make_unique<SecurityRecord>();
    sec->record = s;
    sec->value_row = tables_.values.add_row();
    cls.security_by_number[s.security_number] = sec.get();
    cls.securities.emplace(std::string(field_text(s.code)), std::move(sec));
  }
  const std::size_t param_count = record.param_count > 0 ? static_cast<std::size_t>(record.param_count) : 0;
  std::vector<KelapiClassParamRecord> params(param_count);
  r = client_.get_class_params(record.class_number, params.data());
  if (r != KELAPI_OK) {
    log_line("ERROR: KelapiGetClassParamsEx failed %d.", static_cast<int>(r));
    return;
  }
  for (const KelapiClassParamRecord& p : params) {
    cls.add_param(p);
    tables_.values.add_column(field_text(p.db_name));
  }
  margin_.book_rule_file(cls);
  margin_.add_class(cls);
  if (view_ != nullptr) view_->broadcast_new_class(cls);
  if (settings_.global_filter != 0) {
    for (const FilterEntry& e : filter_entries_) {
      if (e.class_number == static_cast<int32_t>(cls.record.class_number)) {
        apply_filter_entry(cls, e);
        break;
      }
    }
  }
  apply_class_filter(cls);
  log_line("Received %d securities.", static_cast<int>(cls.securities.size()));
}

void DataFeedManager::on_price(uint32_t class_number, uint32_t security_number) {
  SecurityRecord* sec = tables_.find_security(class_number, security_number);
  if (sec == nullptr) return;
  uint16_t count = 0;
  KelapiPriceRecord* records = nullptr;
  if (client_.get_price(class_number, security_number, &count, &records) != KELAPI_OK) return;
  const std::span<const KelapiPriceRecord> now(records, records != nullptr ? count : 0);
  if (view_ != nullptr) {
    view_->fan_out_quotes(static_cast<int32_t>(class_number), static_cast<int32_t>(security_number), now,
                          sec->prices);
  }
  sec->prices.assign(now.begin(), now.end());
  client_.free(records);
}

void DataFeedManager::on_values(const KelapiDataEvent& header) {
  ClassRecord* cls = tables_.find_class(header.class_number);
  SecurityRecord* sec = cls != nullptr ? cls->find_security(header.security_number) : nullptr;
  if (sec == nullptr || header.values == nullptr) return;
  const std::span<const KelapiValueRecord> values(header.values, header.count);
  for (const KelapiValueRecord& v : values) {
    const KelapiClassParamRecord* param = cls->find_param(field_text(v.db_name));
    if (param == nullptr) continue;
    sec->values[param->param_number] = v.value;
    tables_.values.set_value(sec->value_row, field_text(param->db_name), v.value);
  }
  if (view_ != nullptr) view_->fan_out_values(*cls, *sec, values);
}

}  // namespace kelda::terminal
