// The C exports of firms and depository accounts: thin wrappers over
// firms.h and depo_accounts.h.
#include "exports/export_guard.h"
#include "firms/depo_accounts.h"
#include "firms/firms.h"
#include "keldaapi/keldaapi.h"
#include "platform/export.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Library;
namespace k = kelda::kelapi;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookFirms(void) {
  return guarded([](Library& l) { return k::book_firms(l); });
}

KELDA_EXPORT KelapiResult KelapiGetFirm(int number, KelapiFirmRecord* record) {
  return guarded([&](Library& l) { return k::get_firm(l, number, record, sizeof(KelapiFirmRecord), 0); });
}

KELDA_EXPORT KelapiResult KelapiGetFirmEx(int number, KelapiFirmRecordEx* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_firm(l, number, record, size, 1); });
}

KELDA_EXPORT KelapiResult KelapiGetFirmEx2(int number, KelapiFirmRecordEx2* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_firm(l, number, record, size, 2); });
}

KELDA_EXPORT KelapiResult KelapiGetFirmEx3(int number, KelapiFirmRecordEx3* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_firm(l, number, record, size, 3); });
}

KELDA_EXPORT KelapiResult KelapiBookDepoAccounts(void) {
  return guarded([](Library& l) { return k::book_depo_accounts(l); });
}

KELDA_EXPORT KelapiResult KelapiGetFirmDepoAccount(int number, KelapiFirmDepoAccountRecordEx* record) {
  return guarded([&](Library& l) { return k::get_firm_depo_account(l, number, record, 64, false); });
}

KELDA_EXPORT KelapiResult KelapiGetFirmDepoAccountEx(int number, KelapiFirmDepoAccountRecordEx* record,
                                                     unsigned size) {
  return guarded([&](Library& l) { return k::get_firm_depo_account(l, number, record, size, true); });
}

KELDA_EXPORT KelapiResult KelapiGetSecDepoAccount(int number, KelapiSecDepoAccountRecordEx* record) {
  return guarded([&](Library& l) { return k::get_sec_depo_account(l, number, record, 88, false); });
}

KELDA_EXPORT KelapiResult KelapiGetSecDepoAccountEx(int number, KelapiSecDepoAccountRecordEx* record,
                                                    unsigned size) {
  return guarded([&](Library& l) { return k::get_sec_depo_account(l, number, record, size, true); });
}

}  // extern "C"
