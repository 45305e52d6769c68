// The trade-account table, its messages, booking, saving and reads.
#include "accounts/trade_accounts.h"

#include <algorithm>
#include <cstring>

#include "core/diag.h"
#include "core/text_util.h"
#include "files/binary_file.h"
#include "messages/handlers.h"
#include "platform/last_error.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgAccountsRequest = 0x42;
constexpr char kAccountsTag[4] = {'A', 'C', 'N', 'T'};
constexpr uint32_t kAccountsVersion = 7;

template <std::size_t N>
std::string_view text_of(const char (&text)[N]) {
  return std::string_view(text, strnlen(text, N));
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool holds_item(std::string_view description, std::string_view item) {
  while (true) {
    const std::size_t bar = description.find('|');
    if (trimmed(description.substr(0, bar)) == item) return true;
    if (bar == std::string_view::npos) return false;
    description.remove_prefix(bar + 1);
  }
}

}  // namespace

void merge_description(char (&description)[1024], std::string_view items) {
  std::size_t length = strnlen(description, sizeof description - 1);
  description[length] = '\0';
  while (true) {
    const std::size_t bar = items.find('|');
    const std::string_view item = trimmed(items.substr(0, bar));
    if (!item.empty() && !holds_item(std::string_view(description, length), item) &&
        length + 1 + item.size() < sizeof description) {
      description[length++] = '|';
      std::memcpy(description + length, item.data(), item.size());
      length += item.size();
      description[length] = '\0';
    }
    if (bar == std::string_view::npos) return;
    items.remove_prefix(bar + 1);
  }
}

TradeAccount* TradeAccountTable::find(std::string_view code, std::string_view second_code) {
  TradeAccount* loose = nullptr;
  for (TradeAccount& a : rows_) {
    if (text_of(a.code) != code) continue;
    const std::string_view second = text_of(a.second_code);
    if (second == second_code) return &a;
    if (loose == nullptr && (second.empty() || second_code.empty())) loose = &a;
  }
  return loose;
}

const TradeAccount& TradeAccountTable::put(const Msg00C8_TradeAccount& m) {
  char code[13] = {};
  char second[13] = {};
  copy_bounded(code, m.account, 12);
  copy_bounded(second, m.second_code, 12);
  const std::size_t count = std::min<std::size_t>(m.description_count, sizeof m.description);
  const std::string_view items(reinterpret_cast<const char*>(m.description), strnlen(reinterpret_cast<const char*>(m.description), count));
  if (TradeAccount* a = find(text_of(code), text_of(second))) {
    if (a->number == kAccountNumberUnknown) a->number = static_cast<uint32_t>(m.number);
    if (second[0] != '\0' && a->second_code[0] == '\0') std::memcpy(a->second_code, second, sizeof second);
    merge_description(a->description, items);
    return *a;
  }
  if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() + 10);
  TradeAccount a;
  std::memset(&a, 0, sizeof a);
  std::memcpy(a.code, code, sizeof code);
  a.number = static_cast<uint32_t>(m.number);
  std::memcpy(a.second_code, second, sizeof second);
  const std::size_t n = std::min(items.size(), sizeof a.description - 1);
  std::memcpy(a.description, items.data(), n);
  rows_.push_back(a);
  return rows_.back();
}

const TradeAccount* TradeAccountTable::find_number(uint32_t number) const {
  for (const TradeAccount& a : rows_) {
    if (a.number == number) return &a;
  }
  return nullptr;
}

void on_trade_account(Library& lib, const Msg00C8_TradeAccount& message) {
  const TradeAccount& a = lib.trade_accounts.put(message);
  lib.raise_event(KELAPI_EVENT_NEWTRDACCOUNT, 0, static_cast<uintptr_t>(a.number + 1u));
}

void on_trade_accounts_restart(Library& lib) {
  const int32_t zero = 0;
  lib.send_message(kMsgAccountsRequest, &zero);
}

void run_book_trade_accounts(Library& lib) {
  for (std::size_t i = 0; i < lib.trade_accounts.size(); ++i) {
    lib.raise_event(KELAPI_EVENT_NEWTRDACCOUNT, 0, static_cast<uintptr_t>(lib.trade_accounts.at(i).number + 1u));
  }
  if (!lib.connected()) return;
  const int32_t zero = 0;
  lib.send_message(kMsgAccountsRequest, &zero);
}

bool save_trade_accounts(Library& lib) {
  auto f = ReplacingFile::create(work_file(lib.work_dir(), "acnt.dat"));
  if (!f) return false;
  const auto count = static_cast<uint32_t>(lib.trade_accounts.size());
  const FileFrame frame = make_frame(kAccountsTag, kAccountsVersion, sizeof(TradeAccount), count);
  bool ok = f->write(&frame, sizeof frame);
  for (std::size_t i = 0; ok && i < count; ++i) ok = f->write(&lib.trade_accounts.at(i), sizeof(TradeAccount));
  return ok && f->commit();
}

KelapiResult book_trade_accounts(Library& lib) { return book_table(lib, Booked::trade_accounts, kCommandBookTradeAccounts); }

namespace {

KelapiResult find_account(Library& lib, uint32_t number, const void* record, bool size_ok,
                          const TradeAccount*& found) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (record == nullptr) return KELAPI_E_POINTER;
  if (!size_ok) return KELAPI_E_STRUCT_SIZE;
  found = number == 0 ? nullptr : lib.trade_accounts.find_number(number - 1);
  return found == nullptr ? KELAPI_E_INVALIDARG : KELAPI_OK;
}

}  // namespace

KelapiResult get_trade_account(Library& lib, uint32_t number, KelapiTrdAccountRecord* record) {
  LibraryLock lock(lib);
  const TradeAccount* a = nullptr;
  const KelapiResult r = find_account(lib, number, record, true, a);
  if (r != KELAPI_OK) return r;
  std::memset(record, 0, sizeof *record);
  record->account_number = a->number + 1u;
  copy_bounded(record->code2, a->second_code, 12);
  copy_bounded(record->code, a->code, 12);
  return KELAPI_OK;
}

KelapiResult get_trade_account_ex(Library& lib, uint32_t number, KelapiTrdAccountRecordEx* record, uint32_t size) {
  LibraryLock lock(lib);
  const TradeAccount* a = nullptr;
  const KelapiResult r = find_account(lib, number, record, size == sizeof(KelapiTrdAccountRecordEx), a);
  if (r != KELAPI_OK) return r;
  std::memset(record, 0, sizeof *record);
  record->account_number = a->number + 1u;
  copy_bounded(record->description, a->description, 1023);
  copy_bounded(record->code2, a->second_code, 12);
  copy_bounded(record->code, a->code, 12);
  return KELAPI_OK;
}

// ---- handlers ----

void on_0045_accounts_restart(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trade_accounts_restart(lib); });
}
void on_00C8_trade_account(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trade_account(lib, record_copy<Msg00C8_TradeAccount>(record, KELAPI_RECORD_END(Msg00C8_TradeAccount, description)));
  });
}

}  // namespace kelda::kelapi
