// The shipped client library behind the terminal's ClientApi.
#include "terminal/client_api.h"

#include "keldaapi/keldaapi_transactions.h"

namespace kelda::terminal {
namespace {

class KelapiClient final : public ClientApi {
 public:
  KelapiResult set_event_callback(KelapiEventCallback cb) override { return KelapiSetEventCallback(cb); }
  KelapiResult initialize(int fresh, const char* dir, const char* ini, uint32_t flags) override {
    return KelapiInitializeEx3(fresh, dir, ini, flags);
  }
  KelapiResult uninitialize() override { return KelapiUninitialize(); }
  KelapiResult get_error_desc(char* buffer, KelapiResult code) override { return KelapiGetErrorDesc(buffer, code); }
  KelapiResult set_application_mode(const uint32_t* mode) override { return KelapiSetApplicationMode(mode); }
  KelapiResult set_trans_sign_mode(uint32_t mode, const char* parameter) override {
    return KelapiSetTransSignMode(mode, parameter);
  }
  KelapiResult connect(const char* user, const char* password, char* error) override {
    return KelapiConnect(user, password, error);
  }

  // Not exported by this build of the client library yet: the terminal logs
  // the result and goes on.
  KelapiResult clear_archive() override { return KELAPI_E_NOT_SUPPORTED; }
  KelapiResult set_data_refresh_timeout(uint32_t) override { return KELAPI_E_NOT_SUPPORTED; }

  KelapiResult get_trade_date(uint32_t* date) override { return KelapiGetTradeDate(date); }
  KelapiResult do_transaction_new_order(uint32_t trans_id, const char* class_code, const char* security_code,
                                        const char* account, const char* price, const char* quantity,
                                        const char* client_code, uint32_t options) override {
    return KelapiDoTransactionNewOrder(trans_id, class_code, security_code, account, price, quantity, client_code,
                                       options);
  }
  KelapiResult do_transaction_ex(uint32_t trans_id, const char* class_code, uint32_t kind_code,
                                 const char* text) override {
    return KelapiDoTransactionEx(trans_id, class_code, kind_code, text);
  }
  KelapiResult book_limits() override { return KelapiBookLimits(); }
  KelapiResult book_futures() override { return KelapiBookFutures(); }
  KelapiResult book_news() override { return KelapiBookNews(); }
  KelapiResult book_dli_file(const char* firm, uint16_t* request) override { return KelapiBookDliFile(firm, request); }
  KelapiResult get_dli_file(uint16_t request, char* firm, char** name, char** text) override {
    return KelapiGetDliFile(request, firm, name, text);
  }
  KelapiResult get_money_limit(uint32_t n, KelapiMoneyLimitRecordEx* r) override {
    return KelapiGetMoneyLimitEx(static_cast<int>(n), r, kMoneyLimitRecordSize);
  }
  KelapiResult get_depo_limit(uint32_t n, KelapiDepoLimitRecordEx* r) override {
    return KelapiGetDepoLimitEx(static_cast<int>(n), r, kDepoLimitRecordSize);
  }
  KelapiResult get_futures_limit(uint32_t n, KelapiFuturesLimitRecordEx* r) override {
    return KelapiGetFuturesLimitEx(static_cast<int>(n), r, kFuturesLimitRecordSize);
  }
  KelapiResult get_futures_holding(uint32_t n, KelapiFuturesHoldingRecordEx* r) override {
    return KelapiGetFuturesHoldingEx(static_cast<int>(n), r, kFuturesHoldingRecordSize);
  }
  KelapiResult get_news(uint32_t n, KelapiNewsRecord* r) override { return KelapiGetNews(static_cast<int>(n), r); }
  KelapiResult book_news_body(int32_t n) override { return KelapiBookNewsBody(n); }
  KelapiResult get_news_body(int32_t n, char** text) override { return KelapiGetNewsBody(n, text); }

  KelapiResult book_classes() override { return KelapiBookClasses(); }
  KelapiResult book_transactions() override { return KelapiBookTransactions(); }
  KelapiResult is_transaction_available(const char* class_code, uint32_t kind) override {
    return KelapiIsTransactionAvailableEx(class_code, kind);
  }
  KelapiResult book_trd_accounts() override { return KelapiBookTrdAccounts(); }
  KelapiResult book_trades() override { return KelapiBookTrades(); }
  KelapiResult book_orders() override { return KelapiBookOrders(); }
  KelapiResult book_stop_orders() override { return KelapiBookStopOrders(); }

  KelapiResult get_class(uint32_t n, KelapiClassRecord* r) override {
    return KelapiGetClassEx3(n, r, sizeof(KelapiClassRecord));
  }
  KelapiResult get_class_securities(uint32_t c, KelapiSecurityRecord* r) override {
    return KelapiGetClassSecuritiesEx3(c, r, sizeof(KelapiSecurityRecord));
  }
  KelapiResult get_class_params(uint32_t c, KelapiClassParamRecord* r) override {
    return KelapiGetClassParamsEx(c, r);
  }
  KelapiResult set_class_filter(uint32_t c, uint32_t np, const int16_t* p, uint32_t ns,
                                const uint32_t* s) override {
    return KelapiSetClassFilterEx(c, np, p, ns, s);
  }
  KelapiResult book_price(uint32_t c, uint32_t s) override { return KelapiBookPriceEx(c, s); }
  KelapiResult unbook_price(uint32_t c, uint32_t s) override { return KelapiUnbookPriceEx(c, s); }
  KelapiResult get_price(uint32_t c, uint32_t s, uint16_t* n, KelapiPriceRecord** r) override {
    return KelapiGetPriceEx(c, s, n, r);
  }
  KelapiResult free(void* block) override { return KelapiFree(block); }

  KelapiResult get_trade(uint32_t n, KelapiTradeRecord* r) override {
    return KelapiGetTradeEx6(n, r, kTradeRecordSize);
  }
  KelapiResult get_order(uint32_t n, KelapiOrderRecord* r) override {
    return KelapiGetOrderEx5(n, r, kOrderRecordSize);
  }
  KelapiResult get_stop_order(uint32_t n, KelapiStopOrderRecord* r) override {
    return KelapiGetStopOrderEx3(n, r, kStopOrderRecordSize);
  }
  KelapiResult get_trd_account(uint32_t n, KelapiTrdAccountRecord* r) override {
    return KelapiGetTrdAccount(n, r);
  }
};

}  // namespace

ClientApi& kelapi_client() {
  static KelapiClient client;
  return client;
}

KelapiResult ClientApi::kill_order(const char* class_code, const char* number) {
  return KelapiDoTransactionKillOrder(2, class_code, number);
}

KelapiResult ClientApi::kill_stop_order(const char* class_code, const char* number) {
  return KelapiDoTransactionKillStopOrder(2, class_code, number);
}

}  // namespace kelda::terminal
