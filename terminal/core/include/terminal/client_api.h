// The terminal's view of the client library: every Kelapi call it makes, as
// one interface, so that tests and benchmarks can stand in for the library
// and so that calls the library does not export yet have one place to land.
//
// kelapi_client() is the real library.
//
// Threading: the calls are made on the user-interface thread; the library
// runs its callback on its own threads (see keldaapi.h). Ownership: blocks
// handed out by get_price_ex are released with free().
#pragma once

#include <cstdint>

#include "keldaapi/keldaapi.h"

namespace kelda::terminal {

class ClientApi {
 public:
  virtual ~ClientApi() = default;

  virtual KelapiResult set_event_callback(KelapiEventCallback callback) = 0;
  virtual KelapiResult initialize(int fresh_start, const char* work_dir, const char* ini_path,
                                  uint32_t flags) = 0;
  virtual KelapiResult uninitialize() = 0;
  virtual KelapiResult get_error_desc(char* buffer, KelapiResult code) = 0;
  virtual KelapiResult clear_archive() = 0;
  virtual KelapiResult set_application_mode(const uint32_t* mode) = 0;
  virtual KelapiResult set_trans_sign_mode(uint32_t mode, const char* parameter) = 0;
  virtual KelapiResult connect(const char* user, const char* password, char* error) = 0;
  // The trade date as yyyymmdd.
  virtual KelapiResult get_trade_date(uint32_t* date) = 0;
  virtual KelapiResult set_data_refresh_timeout(uint32_t period) = 0;

  virtual KelapiResult book_classes() = 0;
  virtual KelapiResult book_trd_accounts() = 0;
  virtual KelapiResult book_transactions() = 0;
  virtual KelapiResult book_trades() = 0;
  virtual KelapiResult book_orders() = 0;
  virtual KelapiResult book_stop_orders() = 0;
  virtual KelapiResult book_limits() = 0;
  virtual KelapiResult book_futures() = 0;
  virtual KelapiResult book_news() = 0;

  virtual KelapiResult get_class(uint32_t number, KelapiClassRecord* record) = 0;
  virtual KelapiResult get_class_securities(uint32_t class_number, KelapiSecurityRecord* records) = 0;
  virtual KelapiResult get_class_params(uint32_t class_number, KelapiClassParamRecord* records) = 0;
  virtual KelapiResult set_class_filter(uint32_t class_number, uint32_t param_count, const int16_t* params,
                                        uint32_t security_count, const uint32_t* securities) = 0;
  virtual KelapiResult book_price(uint32_t class_number, uint32_t security_number) = 0;
  virtual KelapiResult unbook_price(uint32_t class_number, uint32_t security_number) = 0;
  virtual KelapiResult get_price(uint32_t class_number, uint32_t security_number, uint16_t* count,
                                 KelapiPriceRecord** records) = 0;
  virtual KelapiResult free(void* block) = 0;

  virtual KelapiResult get_trade(uint32_t number, KelapiTradeRecord* record) = 0;
  virtual KelapiResult get_order(uint32_t number, KelapiOrderRecord* record) = 0;
  virtual KelapiResult get_stop_order(uint32_t number, KelapiStopOrderRecord* record) = 0;
  virtual KelapiResult get_trd_account(uint32_t number, KelapiTrdAccountRecord* record) = 0;
  // 0 when the class offers the transaction kind (4: a new order).
  virtual KelapiResult is_transaction_available(const char* class_code, uint32_t kind) = 0;
  // Sending orders (stand-ins that do not send answer "not supported").
  virtual KelapiResult do_transaction_new_order(uint32_t /*trans_id*/, const char* /*class_code*/,
                                                const char* /*security_code*/, const char* /*account*/,
                                                const char* /*price*/, const char* /*quantity*/,
                                                const char* /*client_code*/, uint32_t /*options*/) {
    return KELAPI_E_NOT_SUPPORTED;
  }
  virtual KelapiResult do_transaction_ex(uint32_t /*trans_id*/, const char* /*class_code*/, uint32_t /*kind_code*/,
                                         const char* /*text*/) {
    return KELAPI_E_NOT_SUPPORTED;
  }
  virtual KelapiResult get_money_limit(uint32_t number, KelapiMoneyLimitRecordEx* record) = 0;
  virtual KelapiResult get_depo_limit(uint32_t number, KelapiDepoLimitRecordEx* record) = 0;
  virtual KelapiResult get_futures_limit(uint32_t number, KelapiFuturesLimitRecordEx* record) = 0;
  virtual KelapiResult get_futures_holding(uint32_t number, KelapiFuturesHoldingRecordEx* record) = 0;
  virtual KelapiResult get_news(uint32_t number, KelapiNewsRecord* record) = 0;
  // A news item's body: asked for (it arrives as a news event) and read (a
  // library block, released with free()).
  virtual KelapiResult book_news_body(int32_t number) = 0;
  virtual KelapiResult get_news_body(int32_t number, char** text) = 0;
  virtual KelapiResult book_dli_file(const char* firm_id, uint16_t* request) = 0;
  // The firm id (a buffer of at least 13 bytes), the rule file's name and
  // text (library blocks, released with free()).
  virtual KelapiResult get_dli_file(uint16_t request, char* firm_id, char** name, char** text) = 0;
  // Cancels an order or a stop order by its number text (transaction id 2).
  // The shipped library's by default; test doubles may answer themselves.
  virtual KelapiResult kill_order(const char* class_code, const char* number);
  virtual KelapiResult kill_stop_order(const char* class_code, const char* number);
};

// The shipped client library.
ClientApi& kelapi_client();

// Record sizes the terminal reads (the getters' fixed forms).
inline constexpr uint32_t kTradeRecordSize = 344;
inline constexpr uint32_t kOrderRecordSize = 248;
inline constexpr uint32_t kStopOrderRecordSize = 200;
inline constexpr uint32_t kMoneyLimitRecordSize = 96;
inline constexpr uint32_t kDepoLimitRecordSize = 120;
inline constexpr uint32_t kFuturesLimitRecordSize = 136;
inline constexpr uint32_t kFuturesHoldingRecordSize = 120;

}  // namespace kelda::terminal
