// The C exports of account positions: thin wrappers over positions.h.
#include "exports/export_guard.h"
#include "keldaapi/keldaapi.h"
#include "platform/export.h"
#include "positions/positions.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;
namespace k = kelda::kelapi;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookAccountPositions(void) {
  return guarded([](Library& l) { return k::book_positions(l); });
}

KELDA_EXPORT KelapiResult KelapiGetAccountPosition(int number, KelapiAccountPositionRecord* record) {
  return guarded([&](Library& l) { return k::get_position(l, number, record, sizeof(KelapiAccountPositionRecord), 0); });
}

KELDA_EXPORT KelapiResult KelapiGetAccountPositionEx(int number, KelapiAccountPositionRecordEx* record,
                                                     unsigned size) {
  return guarded([&](Library& l) { return k::get_position(l, number, record, size, 1); });
}

KELDA_EXPORT KelapiResult KelapiGetAccountPositionEx2(int number, KelapiAccountPositionRecordEx2* record,
                                                      unsigned size) {
  return guarded([&](Library& l) { return k::get_position(l, number, record, size, 2); });
}

}  // extern "C"
