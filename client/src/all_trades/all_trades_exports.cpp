// The C exports of all trades.
#include "all_trades/all_trades.h"
#include "exports/export_guard.h"
#include "platform/export.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookAllTrades(uint32_t restore) {
  return guarded([&](Library& l) { return kelda::kelapi::book_all_trades(l, restore); });
}

KELDA_EXPORT KelapiResult KelapiBookAlerts(uint32_t restore) {
  return guarded([&](Library& l) { return kelda::kelapi::book_alerts(l, restore); });
}

KELDA_EXPORT KelapiResult KelapiUnbookAllTrades(void) {
  return guarded([](Library& l) { return kelda::kelapi::unbook_all_trades(l); });
}

KELDA_EXPORT KelapiResult KelapiSetDataRefreshTimeout(uint32_t period) {
  return guarded([&](Library& l) { return kelda::kelapi::set_data_refresh_timeout(l, period); });
}

KELDA_EXPORT KelapiResult KelapiGetAllTradeEx(uint32_t number, KelapiAllTradeRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_all_trade(l, number, record, size, 1); });
}

KELDA_EXPORT KelapiResult KelapiGetAllTradeEx2(uint32_t number, KelapiAllTradeRecord2* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_all_trade(l, number, record, size, 2); });
}

KELDA_EXPORT KelapiResult KelapiGetAllTradeEx3(uint32_t number, KelapiAllTradeRecord3* record, uint32_t size) {
  return guarded([&](Library& l) { return kelda::kelapi::get_all_trade(l, number, record, size, 3); });
}

}  // extern "C"
