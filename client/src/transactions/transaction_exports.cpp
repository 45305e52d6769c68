// The C exports of transactions: thin wrappers over transactions.h.
#include "exports/export_guard.h"
#include "keldaapi/keldaapi.h"
#include "platform/export.h"
#include "transactions/transaction_builders.h"
#include "transactions/transactions.h"

using kelda::kelapi::guarded;
using kelda::kelapi::Builder;
using kelda::kelapi::BuilderArgs;
using kelda::kelapi::Library;
namespace k = kelda::kelapi;

namespace {

// A typed builder's export: its arguments, checked and sent under the lock.
KelapiResult built(Builder builder, const BuilderArgs& args) {
  return guarded([&](Library& l) { return k::do_built_transaction(l, builder, args); });
}

}  // namespace

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookTransactions(void) {
  return guarded([&](Library& l) { return k::book_transactions(l); });
}

KELDA_EXPORT KelapiResult KelapiGetTransaction(uint32_t kind_number, KelapiTransactionRecord* record) {
  return guarded([&](Library& l) { return k::get_transaction(l, kind_number, record); });
}

KELDA_EXPORT KelapiResult KelapiGetTransactionEx(uint32_t kind_number, KelapiTransactionRecordEx* record,
                                                 uint32_t size) {
  return guarded([&](Library& l) { return k::get_transaction_ex(l, kind_number, record, size); });
}

KELDA_EXPORT KelapiResult KelapiGetTransFields(uint32_t kind_number, KelapiTransFieldRecord* records) {
  return guarded([&](Library& l) { return k::get_trans_fields(l, kind_number, records); });
}

KELDA_EXPORT KelapiResult KelapiGetTransFieldsEx(uint32_t kind_number, KelapiTransFieldRecordEx* records,
                                                 uint32_t size) {
  return guarded([&](Library& l) { return k::get_trans_fields_ex(l, kind_number, records, size); });
}

KELDA_EXPORT KelapiResult KelapiIsTransactionAvailable(uint32_t kind_number) {
  return guarded([&](Library& l) { return k::is_transaction_available(l, kind_number); });
}

KELDA_EXPORT KelapiResult KelapiIsTransactionAvailableEx(const char* class_code, uint32_t kind_code) {
  return guarded([&](Library& l) { return k::is_transaction_available_ex(l, class_code, kind_code); });
}

KELDA_EXPORT KelapiResult KelapiDoTransaction(uint32_t trans_id, uint32_t kind_number, const char* text) {
  return guarded([&](Library& l) { return k::do_transaction(l, trans_id, kind_number, text); });
}

KELDA_EXPORT KelapiResult KelapiDoTransactionEx(uint32_t trans_id, const char* class_code, uint32_t kind_code,
                                                const char* text) {
  return guarded([&](Library& l) { return k::do_transaction_ex(l, trans_id, class_code, kind_code, text, false); });
}

KELDA_EXPORT KelapiResult KelapiDoTransactionExR(uint32_t trans_id, const char* class_code, uint32_t kind_code,
                                                 const char* text) {
  // Refused without init flag 0x2 even before the library is initialised.
  Library* lib = kelda::kelapi::current_library();
  if (lib == nullptr) return KELAPI_E_NOT_SUPPORTED;
  return guarded([&](Library& l) { return k::do_transaction_ex(l, trans_id, class_code, kind_code, text, true); });
}

KELDA_EXPORT KelapiResult KelapiGetLastTransDesc(KelapiLastTransDesc* record) {
  return guarded([&](Library& l) { return k::get_last_trans_desc(l, record); });
}

KELDA_EXPORT KelapiResult KelapiGetLastTransDescEx(KelapiLastTransDescEx* record, uint32_t size) {
  return guarded([&](Library& l) { return k::get_last_trans_desc_ex(l, record, size); });
}

KELDA_EXPORT KelapiResult KelapiDoTransactionNewOrder(uint32_t trans_id, const char* class_code,
                                                      const char* security_code, const char* account,
                                                      const char* price, const char* quantity,
                                                      const char* client_code, uint32_t options) {
  return built(Builder::new_order, {.trans_id = trans_id,
                                    .class_code = class_code,
                                    .security = security_code,
                                    .account = account,
                                    .price = price,
                                    .quantity = quantity,
                                    .client_code = client_code,
                                    .options = options});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionNewOrderEx(uint32_t trans_id, const char* class_code,
                                                        const char* security_code, const char* account,
                                                        const char* price, const char* quantity,
                                                        const char* client_code, uint32_t options) {
  return KelapiDoTransactionNewOrder(trans_id, class_code, security_code, account, price, quantity, client_code,
                                     options);
}

KELDA_EXPORT KelapiResult KelapiDoTransactionKillOrder(uint32_t trans_id, const char* class_code,
                                                       const char* order_number) {
  return built(Builder::kill_order, {.trans_id = trans_id, .class_code = class_code, .number = order_number});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionKillOrderEx(uint32_t trans_id, const char* class_code,
                                                         const char* order_number) {
  return KelapiDoTransactionKillOrder(trans_id, class_code, order_number);
}

KELDA_EXPORT KelapiResult KelapiDoTransactionNewStopOrder(uint32_t trans_id, const char* class_code,
                                                          const char* security_code, const char* account,
                                                          const char* stop_price, const char* price,
                                                          const char* quantity, const char* client_code,
                                                          uint32_t options) {
  return built(Builder::new_stop_order, {.trans_id = trans_id,
                                         .class_code = class_code,
                                         .security = security_code,
                                         .account = account,
                                         .stop_price = stop_price,
                                         .price = price,
                                         .quantity = quantity,
                                         .client_code = client_code,
                                         .options = options});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionKillStopOrder(uint32_t trans_id, const char* class_code,
                                                           const char* stop_order_number) {
  return built(Builder::kill_stop_order,
               {.trans_id = trans_id, .class_code = class_code, .number = stop_order_number});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionNewAdressOrder(uint32_t trans_id, const char* class_code,
                                                            const char* security_code, const char* account,
                                                            const char* price, const char* quantity,
                                                            const char* client_code, uint32_t options,
                                                            const char* extra1, const char* extra2,
                                                            const char* extra3) {
  return built(Builder::new_address_order, {.trans_id = trans_id,
                                            .class_code = class_code,
                                            .security = security_code,
                                            .account = account,
                                            .price = price,
                                            .quantity = quantity,
                                            .client_code = client_code,
                                            .extra1 = extra1,
                                            .extra2 = extra2,
                                            .extra3 = extra3,
                                            .options = options});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionKillAdressOrder(uint32_t trans_id, const char* class_code,
                                                             const char* order_number) {
  return built(Builder::kill_address_order, {.trans_id = trans_id, .class_code = class_code, .number = order_number});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionKillReport(uint32_t trans_id, const char* class_code,
                                                        const char* security_code, const char* report_number) {
  return built(Builder::kill_report, {.trans_id = trans_id,
                                      .class_code = class_code,
                                      .security = security_code,
                                      .number = report_number});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionNewReport(uint32_t trans_id, const char* class_code, const char* value,
                                                       uint32_t side) {
  return built(Builder::new_report,
               {.trans_id = trans_id, .class_code = class_code, .number = value, .options = side});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionSetFuturesLimit(uint32_t trans_id, uint32_t futures_limit,
                                                             const char* account, const char* value1,
                                                             const char* value2, const char* value3) {
  return built(Builder::set_futures_limit, {.trans_id = trans_id,
                                            .account = account,
                                            .extra1 = value1,
                                            .extra2 = value2,
                                            .extra3 = value3,
                                            .futures_limit = futures_limit});
}

KELDA_EXPORT KelapiResult KelapiDoTransactionDelFuturesLimit(uint32_t trans_id, uint32_t futures_limit) {
  return built(Builder::del_futures_limit, {.trans_id = trans_id, .futures_limit = futures_limit});
}

}  // extern "C"
