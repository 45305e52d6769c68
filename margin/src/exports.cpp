// The Margo* exports: each takes the library lock, refuses calls made from
// inside the library's own callbacks, runs its body on the one Library object,
// turns every exception into a failure and reports the outcome through the
// thread's last-error value.
#include <new>
#include <utility>

#include "library.h"
#include "margin/kelda_margin.h"
#include "platform/last_error.h"
#include "platform/no_destroy.h"
#include "platform/sync.h"
#include "testing.h"

namespace kelda::margin {
namespace {

struct State {
  platform::Mutex lock;
  Library library;
  bool busy = false;  // an export is running (its callbacks may be calling)
};

// Never destroyed: the lock and the state outlive every caller, also threads
// still running at process exit.
State& state() {
  static platform::NoDestroy<State> instance;
  return instance.get();
}

// The lock exists from the moment the library is loaded.
[[maybe_unused]] State& g_loaded = state();

template <class Body>
BOOL run(BOOL failure_result, Body&& body) noexcept {
  State& s = state();
  try {
    platform::MutexGuard guard(s.lock);
    if (s.busy) {
      platform::set_last_error(MARGO_ERROR_STATE);
      return failure_result;
    }
    s.busy = true;
    Outcome outcome;
    try {
      outcome = body(s.library);
    } catch (const std::bad_alloc&) {
      outcome = failed(MARGO_ERROR_OUT_OF_MEMORY, failure_result);
    } catch (...) {
      outcome = failed(MARGO_ERROR_STATE, failure_result);
    }
    s.busy = false;
    if (outcome.report) platform::set_last_error(outcome.error);
    return outcome.result;
  } catch (...) {
    platform::set_last_error(MARGO_ERROR_STATE);
    return failure_result;
  }
}

}  // namespace

namespace testing {

void reset_library() noexcept {
  State& s = state();
  platform::MutexGuard guard(s.lock);
  s.library.reset();
  s.busy = false;
}

uint32_t live_handles() noexcept {
  State& s = state();
  platform::MutexGuard guard(s.lock);
  return s.library.live_handles();
}

}  // namespace testing
}  // namespace kelda::margin

using kelda::margin::Library;
using kelda::margin::run;

extern "C" {

BOOL MargoSetMemoryManagement(MargoAllocCallback alloc, MargoFreeCallback free, MargoReallocCallback realloc) {
  return run(FALSE, [&](Library& lib) { return lib.set_memory_management(alloc, free, realloc); });
}

BOOL MargoSetLimitCallbacks(MargoFindMoneyLimitCallback findMoneyLimit, MargoGetMoneyLimitCallback getMoneyLimit,
                            MargoFindDepoLimitCallback findDepoLimit, MargoGetDepoLimitCallback getDepoLimit) {
  return run(FALSE, [&](Library& lib) {
    return lib.set_limit_callbacks(MargoLimitCallbacks{findMoneyLimit, getMoneyLimit, findDepoLimit, getDepoLimit});
  });
}

BOOL MargoSetParamCallbacks(MargoParamIndexCallback paramIndex, MargoParamValueCallback paramValue) {
  return run(FALSE, [&](Library& lib) { return lib.set_param_callbacks(MargoParamCallbacks{paramIndex, paramValue}); });
}

BOOL MargoInitEx(int32_t interfaceType, int32_t moneyLimitSize, int32_t depoLimitSize) {
  return run(FALSE, [&](Library& lib) { return lib.init(interfaceType, moneyLimitSize, depoLimitSize); });
}

BOOL MargoInit(int32_t moneyLimitSize, int32_t depoLimitSize) {
  return run(FALSE, [&](Library& lib) { return lib.init(1, moneyLimitSize, depoLimitSize); });
}

BOOL MargoAddClass(const MargoClass* cls, const MargoSecurity* securities) {
  return run(FALSE, [&](Library& lib) { return lib.add_class(cls, securities); });
}

BOOL MargoSetDliniFile(const char* firmId, const char* ruleText) {
  return run(FALSE, [&](Library& lib) { return lib.set_rule_text(firmId, ruleText); });
}

BOOL MargoCleanupDlifiles(void) {
  return run(FALSE, [&](Library& lib) { return lib.cleanup_rules(); });
}

BOOL MargoCleanup(void) {
  return run(FALSE, [&](Library& lib) { return lib.cleanup(); });
}

BOOL MargoInitMarginalRow(MargoMarginalRow* row) {
  return run(FALSE, [&](Library& lib) { return lib.init_row(row); });
}

BOOL MargoCalcMarginalRow(MargoMarginalRow* row) {
  return run(FALSE, [&](Library& lib) { return lib.calc_row(row, nullptr, nullptr); });
}

BOOL MargoCalcMarginalRowEx(MargoMarginalRow* row, int32_t* moneyPosition, int32_t* depoPosition) {
  return run(FALSE, [&](Library& lib) { return lib.calc_row(row, moneyPosition, depoPosition); });
}

BOOL MargoInitMarginalActv(const MargoMarginalRow* row, MargoActivity* activity) {
  return run(FALSE, [&](Library& lib) { return lib.init_activity(row, activity); });
}

BOOL MargoCalcMarginalActv(const MargoMarginalRow* row, MargoActivity* activity, double price) {
  return run(FALSE, [&](Library& lib) { return lib.calc_activity(row, activity, price); });
}

BOOL MargoIsMarginSeccode(const MargoMarginalRow* row, const char* securityCode, const MargoClass** cls,
                          int32_t* securityId) {
  return run(FALSE, [&](Library& lib) { return lib.find_security_code(row, securityCode, cls, securityId, false); });
}

BOOL MargoIsAssetSeccode(const MargoMarginalRow* row, const char* securityCode, const MargoClass** cls,
                         int32_t* securityId) {
  return run(FALSE, [&](Library& lib) { return lib.find_security_code(row, securityCode, cls, securityId, true); });
}

BOOL MargoGetMarginSecs(const MargoMarginalRow* row, MargoMarginSecsCallback callback, intptr_t user) {
  return run(FALSE, [&](Library& lib) { return lib.get_margin_secs(row, callback, user); });
}

BOOL MargoGetNeedClassSecIDs(int32_t classId, int32_t* ids, int32_t* count) {
  return run(FALSE, [&](Library& lib) { return lib.need_class_security_ids(classId, ids, count); });
}

BOOL MargoIsBoardTagApplicable(const char* firmId, const char* boardTag) {
  return run(FALSE, [&](Library& lib) { return lib.board_tag_applicable(firmId, boardTag); });
}

BOOL MargoIsLimitsInLots(const char* firmId) {
  return run(TRUE, [&](Library& lib) { return lib.limits_in_lots(firmId); });
}

}  // extern "C"
