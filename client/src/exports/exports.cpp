// The library's C interface: thin wrappers over the Library object. Nothing
// thrown inside crosses this boundary; a failed allocation becomes
// E_OUTOFMEMORY.
#include <cstdio>
#include <cstring>
#include <new>

#include "core/diag.h"
#include "core/result_text.h"
#include "core/tagged_memory.h"
#include "exports/export_guard.h"
#include "keldaapi/keldaapi.h"
#include "market/market.h"
#include "prices/prices.h"
#include "orders/orders.h"
#include "accounts/trade_accounts.h"
#include "quotes/quotes.h"
#include "traders/traders.h"
#include "stop_orders/stop_orders.h"
#include "trades/trades.h"
#include "platform/export.h"
#include "session/library.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;

extern "C" {

KELDA_EXPORT KelapiResult KelapiInitialize(int fresh_start) {
  return guarded([&](Library& l) { return l.initialise(fresh_start, nullptr, nullptr, 0, false); });
}

KELDA_EXPORT KelapiResult KelapiInitializeEx(int fresh_start, const char* work_dir) {
  return guarded([&](Library& l) { return l.initialise(fresh_start, work_dir, nullptr, 0, false); });
}

KELDA_EXPORT KelapiResult KelapiInitializeEx2(int fresh_start, const char* work_dir, const char* ini_path) {
  return guarded([&](Library& l) { return l.initialise(fresh_start, work_dir, ini_path, 0, false); });
}

KELDA_EXPORT KelapiResult KelapiInitializeEx3(int fresh_start, const char* work_dir, const char* ini_path,
                                              uint32_t flags) {
  return guarded([&](Library& l) { return l.initialise(fresh_start, work_dir, ini_path, flags, true); });
}

KELDA_EXPORT KelapiResult KelapiUninitialize(void) {
  return guarded([](Library& l) { return l.uninitialise(); });
}

KELDA_EXPORT KelapiResult KelapiGetVersion(char* buffer) {
  if (buffer == nullptr) return KELAPI_E_POINTER;
  std::snprintf(buffer, 64, "%s %s", __DATE__, __TIME__);
  return KELAPI_OK;
}

KELDA_EXPORT KelapiResult KelapiGetErrorDesc(char* buffer, KelapiResult code) {
  if (buffer == nullptr) return KELAPI_E_POINTER;
  // Written without allocating: nothing may be thrown across this boundary.
  kelda::kelapi::write_result_text(code, buffer, 64);
  return KELAPI_OK;
}

KELDA_EXPORT KelapiResult KelapiSetEventCallback(KelapiEventCallback callback) {
  return guarded([&](Library& l) { return l.set_event_callback(callback); });
}

KELDA_EXPORT KelapiResult KelapiSetTwoFactorAuthCallback(KelapiNewPinCallback new_pin, KelapiTokenCallback token,
                                                         KelapiNextTokenCallback next_token) {
  return guarded([&](Library& l) { return l.set_two_factor_callbacks(new_pin, token, next_token); });
}

KELDA_EXPORT KelapiResult KelapiSetTransSignMode(uint32_t mode, const char* parameter) {
  return guarded([&](Library& l) { return l.set_trans_sign_mode(mode, parameter); });
}

KELDA_EXPORT KelapiResult KelapiSetLanguage(int language, int sub_language) {
  return guarded([&](Library& l) { return l.set_language(language, sub_language); });
}

KELDA_EXPORT KelapiResult KelapiSetApplicationMode(const uint32_t* mode) {
  return guarded([&](Library& l) { return l.set_application_mode(mode); });
}

KELDA_EXPORT KelapiResult KelapiFree(void* buffer) {
  guarded([&](Library& l) { return l.free_handed_out(buffer); });
  return KELAPI_OK;
}

KELDA_EXPORT size_t KelapiGetAllocMemSize(void) {
  Library* lib = kelda::kelapi::current_library();
  if (lib == nullptr) return kelda::kelapi::allocated_total();
  kelda::kelapi::LibraryLock lock(*lib);
  return kelda::kelapi::allocated_total();
}

KELDA_EXPORT KelapiResult KelapiConnect(const char* user, const char* password, char* error) {
  return guarded([&](Library& l) { return l.connect(user, password, error); });
}

KELDA_EXPORT KelapiResult KelapiDisconnect(void) {
  return guarded([](Library& l) { return l.disconnect_export(); });
}

KELDA_EXPORT KelapiResult KelapiBookClasses(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_classes(l); });
}

KELDA_EXPORT KelapiResult KelapiGetClassEx3(uint32_t class_number, KelapiClassRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_class(l, class_number, record, size, false); });
}

KELDA_EXPORT KelapiResult KelapiGetClassEx4(uint32_t class_number, KelapiClassRecordEx4* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_class(l, class_number, record, size, true); });
}

KELDA_EXPORT KelapiResult KelapiGetClassSecuritiesEx3(uint32_t class_number, KelapiSecurityRecord* records,
                                                      uint32_t size) {
  return guarded(
      [&](Library& l) { return kelda::kelapi::get_class_securities(l, class_number, records, size, false); });
}

KELDA_EXPORT KelapiResult KelapiGetClassSecuritiesEx4(uint32_t class_number, KelapiSecurityRecordEx4* records,
                                                      uint32_t size) {
  return guarded(
      [&](Library& l) { return kelda::kelapi::get_class_securities(l, class_number, records, size, true); });
}

KELDA_EXPORT KelapiResult KelapiGetClassParamsEx(uint32_t class_number, KelapiClassParamRecord* records) {
  return guarded([&](Library& l) { return kelda::kelapi::get_class_params(l, class_number, records); });
}

KELDA_EXPORT KelapiResult KelapiSetClassFilterEx(uint32_t class_number, uint32_t param_count,
                                                 const int16_t* params, uint32_t security_count,
                                                 const uint32_t* securities) {
  return guarded([&](Library& l) {
    return kelda::kelapi::set_class_filter(l, class_number, param_count, params, security_count, securities);
  });
}

KELDA_EXPORT KelapiResult KelapiGetDataEx(uint32_t entry, uint32_t* class_number, uint32_t* security_number,
                                          uint32_t* time, KelapiValueRecord* values) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_data_ex(l, entry, class_number, security_number, time, values);
  });
}

KELDA_EXPORT KelapiResult KelapiBookOrders(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_orders(l); });
}

KELDA_EXPORT KelapiResult KelapiGetOrderEx5(uint32_t number, KelapiOrderRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_order(l, number, record, size, 248); });
}

KELDA_EXPORT KelapiResult KelapiGetOrderEx6(uint32_t number, KelapiOrderRecord* record, uint32_t size) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_order(l, number, record, size, sizeof(KelapiOrderRecord));
  });
}

KELDA_EXPORT KelapiResult KelapiBookTrades(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_trades(l); });
}

KELDA_EXPORT KelapiResult KelapiGetTradeEx6(uint32_t number, KelapiTradeRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_trade(l, number, record, size, 344); });
}

KELDA_EXPORT KelapiResult KelapiGetTradeEx7(uint32_t number, KelapiTradeRecord* record, uint32_t size) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_trade(l, number, record, size, sizeof(KelapiTradeRecord));
  });
}

KELDA_EXPORT KelapiResult KelapiBookStopOrders(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_stop_orders(l); });
}

KELDA_EXPORT KelapiResult KelapiGetStopOrderEx3(uint32_t number, KelapiStopOrderRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_stop_order(l, number, record, size, 200); });
}

KELDA_EXPORT KelapiResult KelapiGetStopOrderEx4(uint32_t number, KelapiStopOrderRecord* record, uint32_t size) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_stop_order(l, number, record, size, sizeof(KelapiStopOrderRecord));
  });
}

KELDA_EXPORT KelapiResult KelapiBookTrdAccounts(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_trade_accounts(l); });
}

KELDA_EXPORT KelapiResult KelapiGetTrdAccount(uint32_t number, KelapiTrdAccountRecord* record) {
  return guarded([&](Library& l) { return kelda::kelapi::get_trade_account(l, number, record); });
}

KELDA_EXPORT KelapiResult KelapiGetTrdAccountEx(uint32_t number, KelapiTrdAccountRecordEx* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_trade_account_ex(l, number, record, size); });
}

KELDA_EXPORT KelapiResult KelapiBookTraders(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_traders(l); });
}

KELDA_EXPORT KelapiResult KelapiGetTraderEx(uint32_t trader_id, KelapiTraderRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_trader(l, trader_id, record, size); });
}

KELDA_EXPORT KelapiResult KelapiGetTraderMsgEx(uint32_t message_id, KelapiTraderMsgRecord* record, uint32_t size) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_trader_message(l, message_id, record, size, sizeof(KelapiTraderMsgRecord));
  });
}

KELDA_EXPORT KelapiResult KelapiGetTraderMsgEx2(uint32_t message_id, KelapiTraderMsgRecordEx* record, uint32_t size) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_trader_message(l, message_id, record, size, sizeof(KelapiTraderMsgRecordEx));
  });
}

KELDA_EXPORT KelapiResult KelapiSendTraderMsgEx(uint32_t recipient, uint32_t flag1, uint32_t flag2, const char* text) {
  return guarded([&](Library& l) { return kelda::kelapi::send_trader_message(l, recipient, flag1, flag2, text); });
}

KELDA_EXPORT KelapiResult KelapiBookQuotes(void) {
  return guarded([](Library& l) { return kelda::kelapi::book_quotes(l); });
}

KELDA_EXPORT KelapiResult KelapiGetQuoteEx(uint32_t record_number, KelapiQuoteRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_quote(l, record_number, record, size); });
}

KELDA_EXPORT KelapiResult KelapiBookQuotesPriceEx(uint32_t class_number, uint32_t security_number) {
  return guarded([&](Library& l) { return kelda::kelapi::book_order_book(l, class_number, security_number, true); });
}

KELDA_EXPORT KelapiResult KelapiUnbookQuotesPriceEx(uint32_t class_number, uint32_t security_number) {
  return guarded(
      [&](Library& l) { return kelda::kelapi::book_order_book(l, class_number, security_number, false); });
}

KELDA_EXPORT KelapiResult KelapiGetQuotesPriceEx(uint32_t class_number, uint32_t security_number, uint16_t* count,
                                                 KelapiQuotesPriceRecord** records) {
  return guarded([&](Library& l) {
    return kelda::kelapi::get_order_book(l, class_number, security_number, count, records);
  });
}

KELDA_EXPORT KelapiResult KelapiBookPriceEx(uint32_t class_number, uint32_t security_number) {
  return guarded([&](Library& l) { return kelda::kelapi::book_price(l, class_number, security_number, true); });
}

KELDA_EXPORT KelapiResult KelapiUnbookPriceEx(uint32_t class_number, uint32_t security_number) {
  return guarded([&](Library& l) { return kelda::kelapi::book_price(l, class_number, security_number, false); });
}

KELDA_EXPORT KelapiResult KelapiGetPriceEx(uint32_t class_number, uint32_t security_number, uint16_t* count,
                                           KelapiPriceRecord** records) {
  return guarded([&](Library& l) { return kelda::kelapi::get_price(l, class_number, security_number, count, records); });
}

}  // extern "C"
