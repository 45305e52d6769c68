// The C exports of futures limits and holdings: thin wrappers over futures.h.
#include "exports/export_guard.h"
#include "futures/futures.h"
#include "keldaapi/keldaapi.h"
#include "platform/export.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;
namespace k = kelda::kelapi;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookFutures(void) {
  return guarded([](Library& l) { return k::book_futures(l); });
}

KELDA_EXPORT KelapiResult KelapiGetFuturesLimit(int number, KelapiFuturesLimitRecord* record) {
  return guarded([&](Library& l) { return k::get_futures_limit(l, number, record, sizeof *record, false); });
}

KELDA_EXPORT KelapiResult KelapiGetFuturesLimitEx(int number, KelapiFuturesLimitRecordEx* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_futures_limit(l, number, record, size, true); });
}

KELDA_EXPORT KelapiResult KelapiGetFuturesHolding(int number, KelapiFuturesHoldingRecord* record) {
  return guarded([&](Library& l) { return k::get_futures_holding(l, number, record, sizeof *record, false); });
}

KELDA_EXPORT KelapiResult KelapiGetFuturesHoldingEx(int number, KelapiFuturesHoldingRecordEx* record,
                                                    unsigned size) {
  return guarded([&](Library& l) { return k::get_futures_holding(l, number, record, size, true); });
}

KELDA_EXPORT KelapiResult KelapiFuturesClientHoldingOpenPosCorrection(const char* security, const char* account,
                                                                      const char* firm, double value) {
  return guarded([&](Library& l) { return k::correct_open_position(l, security, account, firm, value); });
}

}  // extern "C"
