// Class filters and the thin wrappers of the other subscriptions.
#include <algorithm>

#include "terminal/data_feed_manager.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

template <typename T>
void add_missing(std::vector<T>& list, const std::vector<T>& more) {
  for (const T& v : more) {
    if (std::find(list.begin(), list.end(), v) == list.end()) list.push_back(v);
  }
}

}  // namespace

KelapiResult DataFeedManager::apply_class_filter(ClassRecord& cls) {
  std::vector<int16_t> params;
  std::vector<uint32_t> secs;
  if (settings_.global_filter != 0) {
    params = cls.global_params;
    secs = cls.global_secs;
  } else {
    params = cls.window_params;
    secs = cls.window_secs;
    add_missing(params, cls.margin_params);
    add_missing(secs, cls.margin_secs);
    // Securities held under a client's securities limits that are not
    // margin securities under that client's rules.
    for (const auto& limit : tables_.depo_limits) {
      const std::string firm(field_text(limit->record.firm));
      const std::string client(field_text(limit->record.client));
      const int row_index = margin_.find_row(firm, client);
      const MargoMarginalRow* row = margin_.row(row_index);
      if (row == nullptr) continue;
      const std::string code(field_text(limit->record.security));
      if (MargoIsMarginSeccode(row, code.c_str(), nullptr, nullptr)) continue;
      if (const SecurityRecord* sec = cls.find_security(code)) add_missing(secs, {sec->record.security_number});
    }
  }
  const KelapiResult r = client_.set_class_filter(cls.record.class_number, static_cast<uint32_t>(params.size()),
                                                  params.data(), static_cast<uint32_t>(secs.size()), secs.data());
  const std::string code = cls.code();
  if (r == KELAPI_OK) {
    log_line("KelapiSetClassFilterEx(%s) succeeded (nsecs=%d, npars=%d).", code.c_str(),
             static_cast<int>(secs.size()), static_cast<int>(params.size()));
  } else {
    log_line("ERROR: KelapiSetClassFilterEx(%s) failed (nsecs=%d, npars=%d) (error:%d).", code.c_str(),
             static_cast<int>(secs.size()), static_cast<int>(params.size()), static_cast<int>(r));
  }
  return r;
}

void DataFeedManager::apply_all_class_filters() {
  for (auto& [code, cls] : tables_.classes) apply_class_filter(*cls);
}

void DataFeedManager::set_window_filter_lists(ClassRecord& cls, std::vector<int16_t> params,
                                              std::vector<uint32_t> secs) {
  cls.window_params = std::move(params);
  cls.window_secs = std::move(secs);
}

void DataFeedManager::set_margin_filter_lists(ClassRecord& cls, std::vector<int16_t> params,
                                              std::vector<uint32_t> secs) {
  cls.margin_params = std::move(params);
  cls.margin_secs = std::move(secs);
}

KelapiResult DataFeedManager::book_price_list(uint32_t class_number, uint32_t security_number) {
  if (!connected_ || !started_) return KELAPI_E_NOT_CONNECTED;
  const KelapiResult r = client_.book_price(class_number, security_number);
  log_line("KelapiBookPriceEx(%d,%d) returned %d.", static_cast<int>(class_number), static_cast<int>(security_number),
           static_cast<int>(r));
  return r;
}

KelapiResult DataFeedManager::unbook_price_list(uint32_t class_number, uint32_t security_number) {
  if (!connected_ || !started_) return KELAPI_E_NOT_CONNECTED;
  const KelapiResult r = client_.unbook_price(class_number, security_number);
  log_line("KelapiUnbookPriceEx(%d,%d) returned %d.", static_cast<int>(class_number),
           static_cast<int>(security_number), static_cast<int>(r));
  return r;
}

void DataFeedManager::book_news() {
  if (!connected_ || !started_) return;
  const KelapiResult r = client_.book_news();
  log_line("KelapiBookNews() returned %d.", static_cast<int>(r));
}

}  // namespace kelda::terminal
