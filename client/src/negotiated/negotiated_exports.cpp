// The C exports of the negotiated tables: thin wrappers over negotiated.h.
#include "exports/export_guard.h"
#include "keldaapi/keldaapi.h"
#include "negotiated/negotiated.h"
#include "platform/export.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;
namespace k = kelda::kelapi;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookNegDeals(void) {
  return guarded([](Library& l) { return k::book_negotiated(l); });
}

KELDA_EXPORT KelapiResult KelapiGetNegDealEx5(uint32_t number, KelapiNegDealRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_neg_deal(l, number, record, size, 288); });
}

KELDA_EXPORT KelapiResult KelapiGetNegDealEx6(uint32_t number, KelapiNegDealRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_neg_deal(l, number, record, size, sizeof(KelapiNegDealRecord)); });
}

KELDA_EXPORT KelapiResult KelapiGetNegTradeEx4(uint32_t number, KelapiNegTradeRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_neg_trade(l, number, record, size, 320); });
}

KELDA_EXPORT KelapiResult KelapiGetNegTradeEx5(uint32_t number, KelapiNegTradeRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_neg_trade(l, number, record, size, sizeof(KelapiNegTradeRecord)); });
}

KELDA_EXPORT KelapiResult KelapiGetNegReportEx2(uint32_t number, KelapiNegReportRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_neg_report(l, number, record, size, 120); });
}

KELDA_EXPORT KelapiResult KelapiGetNegReportEx3(uint32_t number, KelapiNegReportRecord* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_neg_report(l, number, record, size, sizeof(KelapiNegReportRecord)); });
}

}  // extern "C"
