// A stand-in for the client library in the terminal's tests and benchmark:
// one class "TQBR" of 1,000 securities with four parameters, and orders and
// trades made up from their numbers (the number rides in the quantity).
// Threading: the user-interface thread, as the terminal calls it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "terminal/client_api.h"

namespace kelda::terminal {

// The client library as far as the handlers read it: in-memory rows.
class FakeClient : public ClientApi {
 public:
  static constexpr uint32_t kSecurities = 1000;
  static constexpr const char* kParams[] = {"LAST", "BID", "OFFER", "VOLTODAY"};
  explicit FakeClient(uint32_t orders = 5000) : orders_(orders) {}
  // What the terminal asked for.
  int connects = 0;
  int filters = 0;
  KelapiResult connect_result = KELAPI_OK;
  // Runs inside connect(), as the library's threads do while it waits.
  std::function<void()> during_connect;

  KelapiResult set_event_callback(KelapiEventCallback) override { return 0; }
  KelapiResult initialize(int, const char*, const char*, uint32_t) override { return 0; }
  KelapiResult uninitialize() override { return 0; }
  KelapiResult get_error_desc(char* b, KelapiResult) override { return (b[0] = 0); }
  KelapiResult clear_archive() override { return 0; }
  KelapiResult set_application_mode(const uint32_t*) override { return 0; }
  KelapiResult set_trans_sign_mode(uint32_t, const char*) override { return 0; }
  KelapiResult connect(const char*, const char*, char* error) override {
    ++connects;
    if (during_connect) during_connect();
    if (connect_result != KELAPI_OK) std::strcpy(error, "no server");
    return connect_result;
  }
  KelapiResult get_trade_date(uint32_t* d) override { return (*d = 20240105, 0); }
  KelapiResult set_data_refresh_timeout(uint32_t) override { return 0; }
  // The tables booked, in order, by their call's name ("Classes", ...), and
  // what a booking answers (0 unless set here).
  std::vector<std::string> booked;
  std::map<std::string, KelapiResult> booking_results;
  KelapiResult book_table(const char* table) {
    booked.emplace_back(table);
    const auto it = booking_results.find(table);
    return it == booking_results.end() ? KELAPI_OK : it->second;
  }
  KelapiResult book_classes() override { return book_table("Classes"); }
  KelapiResult book_trd_accounts() override { return book_table("TrdAccounts"); }
  KelapiResult book_transactions() override { return book_table("Transactions"); }
  KelapiResult book_trades() override { return book_table("Trades"); }
  KelapiResult book_orders() override { return book_table("Orders"); }
  KelapiResult book_stop_orders() override { return book_table("StopOrders"); }
  KelapiResult book_limits() override { return book_table("Limits"); }
  KelapiResult book_futures() override { return book_table("Futures"); }
  KelapiResult book_news() override { return book_table("News"); }
  KelapiResult get_class(uint32_t n, KelapiClassRecord* r) override {
    *r = {};
    r->class_number = n;
    r->security_count = kSecurities;
    r->param_count = 4;
    std::strcpy(r->code, "TQBR");
    return 0;
  }
  KelapiResult get_class_securities(uint32_t, KelapiSecurityRecord* r) override {
    for (uint32_t i = 0; i < kSecurities; ++i) {
      r[i] = {};
      r[i].security_number = i + 1;
      std::snprintf(r[i].code, sizeof r[i].code, "S%u", i + 1);
    }
    return 0;
  }
  KelapiResult get_class_params(uint32_t, KelapiClassParamRecord* r) override {
    for (int i = 0; i < 4; ++i) {
      r[i] = {};
      r[i].param_number = static_cast<uint16_t>(i + 1);
      std::strcpy(r[i].db_name, kParams[i]);
    }
    return 0;
  }
  KelapiResult set_class_filter(uint32_t, uint32_t, const int16_t*, uint32_t, const uint32_t*) override {
    ++filters;
    return 0;
  }
  KelapiResult book_price(uint32_t, uint32_t) override { return 0; }
  KelapiResult unbook_price(uint32_t, uint32_t) override { return 0; }
  // The price list every security answers (empty: not booked).
  std::vector<KelapiPriceRecord> book;
  KelapiResult get_price(uint32_t, uint32_t, uint16_t* count, KelapiPriceRecord** records) override {
    if (book.empty()) return KELAPI_E_NOT_BOOKED;
    *count = static_cast<uint16_t>(book.size());
    *records = static_cast<KelapiPriceRecord*>(std::malloc(book.size() * sizeof(KelapiPriceRecord)));
    std::memcpy(*records, book.data(), book.size() * sizeof(KelapiPriceRecord));
    return 0;
  }
  KelapiResult free(void* block) override { return (std::free(block), 0); }
  // The sequence number of the event rides in the quantity.
  KelapiResult get_trade(uint32_t n, KelapiTradeRecord* r) override {
    *r = {};
    r->trade_number = n;
    r->quantity = static_cast<int32_t>(n);
    return 0;
  }
  KelapiResult get_order(uint32_t n, KelapiOrderRecord* r) override {
    *r = {};
    r->row_number = n % orders_ + 1;
    r->quantity = static_cast<int32_t>(n);
    return 0;
  }
  KelapiResult get_stop_order(uint32_t, KelapiStopOrderRecord*) override { return KELAPI_E_INVALIDARG; }
  KelapiResult get_trd_account(uint32_t, KelapiTrdAccountRecord*) override { return KELAPI_E_INVALIDARG; }
  KelapiResult is_transaction_available(const char*, uint32_t) override { return KELAPI_E_TRANS_NOT_AVAILABLE; }
  KelapiResult book_dli_file(const char*, uint16_t*) override { return KELAPI_E_NOT_SUPPORTED; }
  KelapiResult get_dli_file(uint16_t, char*, char**, char**) override { return KELAPI_E_NOT_SUPPORTED; }
  // Cancels: what was asked ("class number") and the answer.
  std::string killed;
  KelapiResult kill_result = 0;
  KelapiResult kill_order(const char* class_code, const char* number) override {
    killed = std::string(class_code) + " " + number;
    return kill_result;
  }
  KelapiResult kill_stop_order(const char* class_code, const char* number) override {
    return kill_order(class_code, number);
  }
  // Limits and news: the next reads answer these records.
  KelapiMoneyLimitRecordEx money_limit{};
  KelapiDepoLimitRecordEx depo_limit{};
  KelapiNewsRecord news{};
  KelapiResult get_money_limit(uint32_t, KelapiMoneyLimitRecordEx* r) override { return (*r = money_limit, 0); }
  KelapiResult get_depo_limit(uint32_t, KelapiDepoLimitRecordEx* r) override { return (*r = depo_limit, 0); }
  KelapiResult get_futures_limit(uint32_t, KelapiFuturesLimitRecordEx*) override { return KELAPI_E_INVALIDARG; }
  KelapiResult get_futures_holding(uint32_t, KelapiFuturesHoldingRecordEx*) override { return KELAPI_E_INVALIDARG; }
  KelapiResult get_news(uint32_t, KelapiNewsRecord* r) override { return (*r = news, 0); }
  // News bodies by item number, and the numbers asked for.
  std::map<int32_t, std::string> bodies;
  std::vector<int32_t> body_requests;
  KelapiResult book_news_body(int32_t n) override { return (body_requests.push_back(n), 0); }
  KelapiResult get_news_body(int32_t n, char** text) override {
    const auto it = bodies.find(n);
    if (it == bodies.end()) return KELAPI_E_INVALIDARG;
    *text = static_cast<char*>(std::malloc(it->second.size() + 1));
    std::memcpy(*text, it->second.c_str(), it->second.size() + 1);
    return 0;
  }

 private:
  uint32_t orders_;
};

}  // namespace kelda::terminal
