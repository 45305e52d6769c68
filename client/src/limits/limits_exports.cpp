// The C exports of money and depository limits and of the limit change
// requests: thin wrappers over limits.h and limit_requests.h.
#include "exports/export_guard.h"
#include "keldaapi/keldaapi.h"
#include "limits/limit_requests.h"
#include "limits/limits.h"
#include "platform/export.h"

using kelda::kelapi::DepoCodes;
using kelda::kelapi::guarded;
using kelda::kelapi::Library;
using kelda::kelapi::MoneyCodes;
namespace k = kelda::kelapi;

extern "C" {

KELDA_EXPORT KelapiResult KelapiBookLimits(void) {
  return guarded([](Library& l) { return k::book_limits(l); });
}

KELDA_EXPORT KelapiResult KelapiGetMoneyLimit(int number, KelapiMoneyLimitRecord* record) {
  return guarded([&](Library& l) { return k::get_money_limit(l, number, record); });
}

KELDA_EXPORT KelapiResult KelapiGetMoneyLimitEx(int number, KelapiMoneyLimitRecordEx* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_money_limit_ex(l, number, record, size); });
}

KELDA_EXPORT KelapiResult KelapiGetDepoLimit(int number, KelapiDepoLimitRecord* record) {
  return guarded([&](Library& l) { return k::get_depo_limit(l, number, record); });
}

KELDA_EXPORT KelapiResult KelapiGetDepoLimitEx(int number, KelapiDepoLimitRecordEx* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_depo_limit_ex(l, number, record, size, false); });
}

KELDA_EXPORT KelapiResult KelapiGetDepoLimitEx2(int number, KelapiDepoLimitRecordEx* record, unsigned size) {
  return guarded([&](Library& l) { return k::get_depo_limit_ex(l, number, record, size, true); });
}

KELDA_EXPORT KelapiResult KelapiSetMoneyLimitR(int request_id, const char* currency, const char* tag,
                                               const char* client, const char* firm, double value1, double value2) {
  return guarded([&](Library& l) {
    return k::set_money_limit(l, request_id, MoneyCodes{currency, tag, client, firm}, value1, value2);
  });
}

KELDA_EXPORT KelapiResult KelapiSetMoneyLimitLeverageR(int request_id, const char* currency, const char* tag,
                                                       const char* client, const char* firm, double limit,
                                                       double leverage) {
  return guarded([&](Library& l) {
    return k::set_money_limit_leverage(l, request_id, MoneyCodes{currency, tag, client, firm}, limit, leverage, 1);
  });
}

KELDA_EXPORT KelapiResult KelapiSetMoneyLimitLeverageExR(int request_id, const char* currency, const char* tag,
                                                         const char* client, const char* firm, double limit,
                                                         double leverage, int leverage_mode) {
  return guarded([&](Library& l) {
    return k::set_money_limit_leverage(l, request_id, MoneyCodes{currency, tag, client, firm}, limit, leverage,
                                       leverage_mode);
  });
}

KELDA_EXPORT KelapiResult KelapiKillMoneyLimitR(int request_id, int number) {
  return guarded([&](Library& l) { return k::kill_money_limit(l, request_id, number); });
}

KELDA_EXPORT KelapiResult KelapiKillMoneyLimitExR(int request_id, const char* currency, const char* tag,
                                                  const char* client, const char* firm) {
  return guarded([&](Library& l) {
    return k::kill_money_limit_codes(l, request_id, MoneyCodes{currency, tag, client, firm});
  });
}

KELDA_EXPORT KelapiResult KelapiSetDepoLimitR(int request_id, const char* account, const char* security,
                                              const char* client, const char* firm, double value1, double value2) {
  return guarded([&](Library& l) {
    return k::set_depo_limit(l, request_id, DepoCodes{account, security, client, firm}, value1, value2, 0.0);
  });
}

KELDA_EXPORT KelapiResult KelapiSetDepoLimitExR(int request_id, const char* account, const char* security,
                                                const char* client, const char* firm, double value1, double value2,
                                                double value3) {
  return guarded([&](Library& l) {
    return k::set_depo_limit(l, request_id, DepoCodes{account, security, client, firm}, value1, value2, value3);
  });
}

KELDA_EXPORT KelapiResult KelapiKillDepoLimitR(int request_id, int number) {
  return guarded([&](Library& l) { return k::kill_depo_limit(l, request_id, number); });
}

KELDA_EXPORT KelapiResult KelapiKillDepoLimitExR(int request_id, const char* account, const char* security,
                                                 const char* client, const char* firm) {
  return guarded([&](Library& l) {
    return k::kill_depo_limit_codes(l, request_id, DepoCodes{account, security, client, firm});
  });
}

KELDA_EXPORT KelapiResult KelapiSetMoneyLimitCorrection(int request_id, const char* currency, const char* tag,
                                                        const char* client, const char* firm, double value1,
                                                        double value2, double value3, double value4, int flags) {
  return guarded([&](Library& l) {
    const double values[4] = {value1, value2, value3, value4};
    return k::correct_money_limit(l, request_id, MoneyCodes{currency, tag, client, firm}, values, flags);
  });
}

KELDA_EXPORT KelapiResult KelapiSetDepoLimitCorrection(int request_id, const char* account, const char* security,
                                                       const char* client, const char* firm, double value1,
                                                       double value2, double value3, double value4, int flags) {
  return guarded([&](Library& l) {
    const double values[4] = {value1, value2, value3, value4};
    return k::correct_depo_limit(l, request_id, DepoCodes{account, security, client, firm}, values, flags, 0.0);
  });
}

KELDA_EXPORT KelapiResult KelapiSetDepoLimitCorrectionEx(int request_id, const char* account, const char* security,
                                                         const char* client, const char* firm, double value1,
                                                         double value2, double value3, double value4, int flags,
                                                         double value5) {
  return guarded([&](Library& l) {
    const double values[4] = {value1, value2, value3, value4};
    return k::correct_depo_limit(l, request_id, DepoCodes{account, security, client, firm}, values, flags, value5);
  });
}

KELDA_EXPORT KelapiResult KelapiSetMoneyLimit(const char* currency, const char* tag, const char* client,
                                              const char* firm, double value1, double value2) {
  return KelapiSetMoneyLimitR(0, currency, tag, client, firm, value1, value2);
}

KELDA_EXPORT KelapiResult KelapiSetMoneyLimitLeverage(const char* currency, const char* tag, const char* client,
                                                      const char* firm, double limit, double leverage) {
  return KelapiSetMoneyLimitLeverageR(0, currency, tag, client, firm, limit, leverage);
}

KELDA_EXPORT KelapiResult KelapiKillMoneyLimit(int number) { return KelapiKillMoneyLimitR(0, number); }

KELDA_EXPORT KelapiResult KelapiKillMoneyLimitEx(const char* currency, const char* tag, const char* client,
                                                 const char* firm) {
  return KelapiKillMoneyLimitExR(0, currency, tag, client, firm);
}

KELDA_EXPORT KelapiResult KelapiSetDepoLimit(const char* account, const char* security, const char* client,
                                             const char* firm, double value1, double value2) {
  return KelapiSetDepoLimitR(0, account, security, client, firm, value1, value2);
}

KELDA_EXPORT KelapiResult KelapiKillDepoLimit(int number) { return KelapiKillDepoLimitR(0, number); }

KELDA_EXPORT KelapiResult KelapiKillDepoLimitEx(const char* account, const char* security, const char* client,
                                                const char* firm) {
  return KelapiKillDepoLimitExR(0, account, security, client, firm);
}

}  // extern "C"
