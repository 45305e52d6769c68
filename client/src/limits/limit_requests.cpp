// Limit change requests and their replies.
#include "limits/limit_requests.h"

#include <algorithm>
#include <cstring>

#include "core/text_util.h"
#include "limits/limits.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgSetMoneyLimit = 0x8003;
constexpr uint16_t kMsgSetMoneyLimitLeverage = 0x8097;
constexpr uint16_t kMsgKillMoneyLimit = 0x8006;
constexpr uint16_t kMsgCorrectMoneyLimit = 0x9C;
constexpr uint16_t kMsgSetDepoLimit = 0x8071;
constexpr uint16_t kMsgKillDepoLimit = 0x8007;
constexpr uint16_t kMsgCorrectDepoLimit = 0x8075;

// The checks before any request, in order.
KelapiResult check_link(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

// Each code given and within its limit, tested in argument order.
KelapiResult check_codes(std::initializer_list<std::pair<const char*, std::size_t>> codes) {
  for (const auto& [code, limit] : codes) {
    if (code == nullptr) return KELAPI_E_POINTER;
  }
  for (const auto& [code, limit] : codes) {
    if (strnlen(code, limit + 1) > limit) return KELAPI_E_INVALID_LENGTH;
  }
  return KELAPI_OK;
}

KelapiResult check_money(const Library& lib, const MoneyCodes& c) {
  const KelapiResult r = check_link(lib);
  return r != KELAPI_OK ? r : check_codes({{c.currency, 4}, {c.tag, 4}, {c.client, 12}, {c.firm, 12}});
}

KelapiResult check_depo(const Library& lib, const DepoCodes& c) {
  const KelapiResult r = check_link(lib);
  return r != KELAPI_OK ? r : check_codes({{c.account, 12}, {c.security, 12}, {c.client, 12}, {c.firm, 12}});
}

// Money amounts go as hundredths (times 10.0, twice).
double hundredths(double value) { return value * 10.0 * 10.0; }

int32_t truncated(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return value < 0 ? INT32_MIN : (value > 0 ? INT32_MAX : 0);
  return static_cast<int32_t>(value);
}

KelapiResult send(Library& lib, uint16_t id, const void* record) {
  return lib.send_message(id, record) == 0 ? KELAPI_E_NOT_CONNECTED : KELAPI_OK;
}

template <typename Message>
void put_money_codes(Message& m, const MoneyCodes& c) {
  copy_field(m.currency, c.currency);
  copy_field(m.tag, c.tag);
  copy_field(m.client, c.client);
  copy_field(m.firm, c.firm);
}

template <typename Message>
void put_depo_codes(Message& m, const DepoCodes& c) {
  copy_field(m.account, c.account);
  copy_field(m.security, c.security);
  copy_field(m.client, c.client);
  copy_field(m.firm, c.firm);
}

template <typename Message>
Message zeroed() {
  Message m;
  std::memset(&m, 0, sizeof m);
  return m;
}

}  // namespace

int32_t correction_flags(int flags) {
  if ((flags & 0x3) == 0) return -1;
  const int32_t kept = flags & (32 | 64 | 128 | 256);
  return kept + ((flags & 0x2) != 0 ? 2 : 1);
}

KelapiResult set_money_limit(Library& lib, int request_id, const MoneyCodes& codes, double value1, double value2) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_money(lib, codes); r != KELAPI_OK) return r;
  auto m = zeroed<Msg8003_SetMoneyLimit>();
  m.request_id = request_id;
  put_money_codes(m, codes);
  m.value1 = hundredths(value1);
  m.value2 = hundredths(value2);
  m.value2_again = hundredths(value2);
  return send(lib, kMsgSetMoneyLimit, &m);
}

KelapiResult set_money_limit_leverage(Library& lib, int request_id, const MoneyCodes& codes, double limit,
                                      double leverage, int mode) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_money(lib, codes); r != KELAPI_OK) return r;
  auto m = zeroed<Msg8097_SetMoneyLimitLeverage>();
  m.request_id = request_id;
  put_money_codes(m, codes);
  m.limit = hundredths(limit);
  m.leverage = truncated(hundredths(leverage));
  m.leverage_mode = static_cast<int16_t>(mode);
  return send(lib, kMsgSetMoneyLimitLeverage, &m);
}

KelapiResult kill_money_limit(Library& lib, int request_id, int number) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  const MoneyLimitEntry* e = lib.limits.money.find(static_cast<int64_t>(number) - 1, true);
  if (e == nullptr) return KELAPI_E_INVALIDARG;
  auto m = zeroed<Msg8006_KillMoneyLimit>();
  m.request_id = request_id;
  put_money_codes(m, MoneyCodes{e->limit.currency, e->limit.tag, e->limit.client, e->limit.firm});
  return send(lib, kMsgKillMoneyLimit, &m);
}

KelapiResult kill_money_limit_codes(Library& lib, int request_id, const MoneyCodes& codes) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_money(lib, codes); r != KELAPI_OK) return r;
  auto m = zeroed<Msg8006_KillMoneyLimit>();
  m.request_id = request_id;
  put_money_codes(m, codes);
  return send(lib, kMsgKillMoneyLimit, &m);
}

KelapiResult correct_money_limit(Library& lib, int request_id, const MoneyCodes& codes, const double (&values)[4],
                                 int flags) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_money(lib, codes); r != KELAPI_OK) return r;
  const int32_t sent_flags = correction_flags(flags);
  if (sent_flags < 0) return KELAPI_E_INVALIDARG;
  auto m = zeroed<Msg009C_CorrectMoneyLimit>();
  m.request_id = request_id;
  put_money_codes(m, codes);
  m.flags = static_cast<int16_t>(sent_flags);
  m.value1 = hundredths(values[0]);
  m.value2 = hundredths(values[1]);
  m.value3 = hundredths(values[2]);
  m.value4 = hundredths(values[3]);
  return send(lib, kMsgCorrectMoneyLimit, &m);
}

KelapiResult set_depo_limit(Library& lib, int request_id, const DepoCodes& codes, double value1, double value2,
                            double value3) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_depo(lib, codes); r != KELAPI_OK) return r;
  auto m = zeroed<Msg8071_SetDepoLimit>();
  m.request_id = request_id;
  put_depo_codes(m, codes);
  m.value1 = value1;
  m.value2 = value2;
  m.value2_again = value2;
  m.value3 = value3;
  return send(lib, kMsgSetDepoLimit, &m);
}

KelapiResult kill_depo_limit(Library& lib, int request_id, int number) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  const DepoLimitEntry* e = lib.limits.depo.find(static_cast<int64_t>(number) - 1, true);
  if (e == nullptr) return KELAPI_E_INVALIDARG;
  auto m = zeroed<Msg8007_KillDepoLimit>();
  m.request_id = request_id;
  put_depo_codes(m, DepoCodes{e->limit.account, e->limit.security, e->limit.client, e->limit.firm});
  return send(lib, kMsgKillDepoLimit, &m);
}

KelapiResult kill_depo_limit_codes(Library& lib, int request_id, const DepoCodes& codes) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_depo(lib, codes); r != KELAPI_OK) return r;
  auto m = zeroed<Msg8007_KillDepoLimit>();
  m.request_id = request_id;
  put_depo_codes(m, codes);
  return send(lib, kMsgKillDepoLimit, &m);
}

KelapiResult correct_depo_limit(Library& lib, int request_id, const DepoCodes& codes, const double (&values)[4],
                                int flags, double value5) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_depo(lib, codes); r != KELAPI_OK) return r;
  const int32_t sent_flags = correction_flags(flags);
  if (sent_flags < 0) return KELAPI_E_INVALIDARG;
  auto m = zeroed<Msg8075_CorrectDepoLimit>();
  m.request_id = request_id;
  put_depo_codes(m, codes);
  m.flags = static_cast<int16_t>(sent_flags);
  m.value1 = truncated(values[0]);
  m.value2 = truncated(values[1]);
  m.value3 = truncated(values[2]);
  m.value4 = truncated(values[3]);
  m.value5 = value5;
  return send(lib, kMsgCorrectDepoLimit, &m);
}

void on_limit_reply(Library& lib, const Msg8009_LimitReply& m) {
  KelapiLimitReply reply;
  std::memset(&reply, 0, sizeof reply);
  reply.failed = (m.status & 5) != 0 ? 1 : 0;
  reply.request_id = m.request_id;
  const std::size_t n = std::min<std::size_t>({m.text_count, sizeof m.text, sizeof reply.text - 1});
  std::memcpy(reply.text, m.text, n);
  reply.text[strnlen(reply.text, n)] = '\0';
  lib.raise_event(KELAPI_EVENT_LIMITREPLY, static_cast<uintptr_t>(static_cast<uint32_t>(m.request_id)),
                  reinterpret_cast<uintptr_t>(&reply));
}

void on_limit_result(Library& lib, const Msg008E_LimitResult& m) {
  lib.raise_event(KELAPI_EVENT_LIMITRESULT, static_cast<uintptr_t>(static_cast<uint32_t>(m.word1)),
                  static_cast<uintptr_t>(static_cast<uint32_t>(m.word2)));
}

// ---- handlers ----

void on_8009_limit_reply(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_limit_reply(lib, record_copy<Msg8009_LimitReply>(record, KELAPI_RECORD_END(Msg8009_LimitReply, text)));
  });
}
void on_008E_limit_result(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_limit_result(lib, record_copy<Msg008E_LimitResult>(record, KELAPI_RECORD_END(Msg008E_LimitResult, word2))); });
}
void on_009E_limit_result(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_limit_result(lib, record_copy<Msg009E_LimitResult>(record, KELAPI_RECORD_END(Msg009E_LimitResult, word2))); });
}

}  // namespace kelda::kelapi
