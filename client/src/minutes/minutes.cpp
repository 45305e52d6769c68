// The minute-bar stores: bookings, the history, ticks and updates, the
// journal and the reads.
#include "minutes/minutes.h"

#include <cstring>

#include "core/numbers.h"
#include "data_lines/line_feeds.h"
#include "market/class_gate.h"
#include "market/security_args.h"
#include "messages/records_feeds.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgRequest = 0x802D;
constexpr uint16_t kMsgCancel = 0x802F;
constexpr uint8_t kJournalShort = 40;  // 28 bytes: no date
constexpr uint8_t kJournalLong = 61;   // 32 bytes

int32_t server_id_of(const Library& lib, int32_t security) {
  return lib.securities.at(static_cast<std::size_t>(security)).h.server_id;
}

// The security index of a server id, or -1.
int32_t security_of_id(const Library& lib, int32_t server_id) {
  return static_cast<int32_t>(lib.securities.find_by_server_id(server_id));
}

int32_t current_date(const Library& lib) {
  return lib.trade_date() != 0 ? static_cast<int32_t>(lib.trade_date()) : local_date_packed();
}

void send_request(Library& lib, int32_t security, MinuteStore& store) {
  const Msg802D_MinutesRequest m{server_id_of(lib, security), store.bars.empty() ? 0 : store.bars.back().time};
  lib.send_message(kMsgRequest, &m);
  store.pending = true;
  store.streaming = false;
}

void send_cancel(Library& lib, int32_t security) {
  const int32_t id = server_id_of(lib, security);
  lib.send_message(kMsgCancel, &id);
}

void announce(Library& lib, int32_t security, const MinuteStore& store) {
  if (!store.caller) return;
  const int32_t c = class_of_security(lib, security);
  if (c < 0) return;
  lib.raise_event(KELAPI_EVENT_NEWMINUTES, static_cast<uintptr_t>(c) + 1, static_cast<uintptr_t>(security) + 1);
}

void journal_short(Library& lib, int32_t security, const MinuteBar& b) {
  const int32_t r[7] = {security, b.time, b.open, b.high, b.low, b.close, b.volume};
  lib.journal_write(kJournalShort, r, sizeof r, true);
}

// The history rule: a later time appends, the same time overwrites the last
// bar, an earlier one is ignored (only the time word is compared).
void store_history_bar(MinuteStore& store, const MinuteBar& bar) {
  if (store.bars.empty() || bar.time > store.bars.back().time) {
    store.bars.push_back(bar);
  } else if (bar.time == store.bars.back().time) {
    store.bars.back() = bar;
  }
}

int64_t moment(int32_t date, int32_t time) { return static_cast<int64_t>(date) * 1000000 + time; }

// Merges a change into the last bar or appends a new one; hands the bar to
// the lines and tells the caller. `minute` is the change's minute.
void apply_live(Library& lib, int32_t security, MinuteStore& store, int32_t date, int32_t minute,
                const int32_t (&ohlcv)[5]) {
  const int32_t effective = date != 0 ? date : current_date(lib);
  int32_t previous_volume = 0;
  if (!store.bars.empty()) {
    MinuteBar& last = store.bars.back();
    const int32_t last_date = last.date != 0 ? last.date : current_date(lib);
    const int64_t now = moment(effective, minute);
    const int64_t then = moment(last_date, last.time);
    if (now < then) return;
    if (now == then) {
      previous_volume = last.volume;
      last.high = std::max(last.high, ohlcv[1]);
      last.low = std::min(last.low, ohlcv[2]);
      last.close = ohlcv[3];
      last.volume += ohlcv[4];
      feed_bar_lines(lib, security, last, previous_volume);
      announce(lib, security, store);
      return;
    }
    journal_short(lib, security, last);
  }
  MinuteBar fresh{effective, minute, ohlcv[0], ohlcv[1], ohlcv[2], ohlcv[3], ohlcv[4]};
  store.bars.push_back(fresh);
  feed_bar_lines(lib, security, store.bars.back(), 0);
  announce(lib, security, store);
}

}  // namespace

void book_minutes_for_lines(Library& lib, int32_t security) {
  MinuteStore& store = lib.minutes.by_security[security];
  if (lib.connected() && !store.booked()) send_request(lib, security, store);
  ++store.lines;
}

void release_minutes_for_lines(Library& lib, int32_t security) {
  MinuteStore* store = lib.minutes.find(security);
  if (store == nullptr || store->lines == 0) return;
  if (--store->lines > 0 || (lib.connected() && store->caller)) return;
  if (lib.connected()) send_cancel(lib, security);
  store->caller = false;
  store->pending = false;
  store->streaming = false;
}

void on_minutes_history_begins(Library& lib, int32_t server_id) {
  const int32_t s = security_of_id(lib, server_id);
  MinuteStore* store = s < 0 ? nullptr : lib.minutes.find(s);
  if (store == nullptr || !store->pending || store->streaming) return;
  store->streaming = true;
  refresh_lines_of_security(lib, s, true);
}

void on_minutes_history_ends(Library& lib, int32_t server_id) {
  const int32_t s = security_of_id(lib, server_id);
  MinuteStore* store = s < 0 ? nullptr : lib.minutes.find(s);
  if (store == nullptr || !store->pending || !store->streaming) return;
  store->pending = false;
  store->streaming = false;
  refresh_lines_of_security(lib, s, true);
}

void on_minute_history_bar(Library& lib, int32_t server_id, int32_t date, const int32_t (&ohlcv)[5], int32_t time) {
  const int32_t s = security_of_id(lib, server_id);
  MinuteStore* store = s < 0 ? nullptr : lib.minutes.find(s);
  if (store == nullptr || !store->booked() || !store->pending || !store->streaming) return;
  const MinuteBar bar{date, time, ohlcv[0], ohlcv[1], ohlcv[2], ohlcv[3], ohlcv[4]};
  store_history_bar(*store, bar);
  const int32_t r[8] = {s, bar.date, bar.time, bar.open, bar.high, bar.low, bar.close, bar.volume};
  lib.journal_write(kJournalLong, r, sizeof r, true);
  announce(lib, s, *store);
}

void on_minute_tick(Library& lib, int32_t server_id, int32_t date, int32_t time, int32_t price, int32_t quantity) {
  const int32_t s = security_of_id(lib, server_id);
  MinuteStore* store = s < 0 ? nullptr : lib.minutes.find(s);
  if (store == nullptr || !store->booked() || store->pending) return;
  const int32_t ohlcv[5] = {price, price, price, price, quantity};
  apply_live(lib, s, *store, date, time / 100 * 100, ohlcv);
}

void on_minute_update(Library& lib, int32_t server_id, int32_t date, int32_t time, const int32_t (&ohlcv)[5]) {
  const int32_t s = security_of_id(lib, server_id);
  MinuteStore* store = s < 0 ? nullptr : lib.minutes.find(s);
  if (store == nullptr || !store->booked() || store->pending) return;
  apply_live(lib, s, *store, date, time / 100 * 100, ohlcv);
}

void minutes_link_lost(Library& lib) {
  for (auto& [security, store] : lib.minutes.by_security) {
    store.caller = false;
    store.pending = false;
    store.streaming = false;
    if (!store.bars.empty()) journal_short(lib, security, store.bars.back());
  }
}

void minutes_session_started(Library& lib) {
  for (auto& [security, store] : lib.minutes.by_security) {
    if (store.lines == 0 || store.pending) continue;
    send_request(lib, security, store);
    refresh_lines_of_security(lib, security, false);
  }
}

void replay_minute_bar(Library& lib, uint8_t tag, std::span<const uint8_t> payload) {
  int32_t r[8] = {};
  if (tag == kJournalShort && payload.size() == 28) {
    std::memcpy(r, payload.data(), 4);
    std::memcpy(r + 2, payload.data() + 4, 24);  // no date: the current trade date
  } else if (tag == kJournalLong && payload.size() == 32) {
    std::memcpy(r, payload.data(), 32);
  } else {
    return;
  }
  if (r[0] < 0 || static_cast<std::size_t>(r[0]) >= lib.securities.size()) return;
  store_history_bar(lib.minutes.by_security[r[0]], MinuteBar{r[1], r[2], r[3], r[4], r[5], r[6], r[7]});
}

KelapiResult book_minutes(Library& lib, uint32_t class_number, uint32_t security_number, bool book) {
  LibraryLock lock(lib);
  int64_t s = -1;
  if (const KelapiResult r = check_subscription(lib, class_number, security_number, s); r != KELAPI_OK) return r;
  const auto security = static_cast<int32_t>(s);
  MinuteStore& store = lib.minutes.by_security[security];
  if (book) {
    if (!store.booked()) send_request(lib, security, store);
    const bool announce_held = !store.caller && store.lines > 0 && !store.bars.empty();
    store.caller = true;
    if (announce_held) announce(lib, security, store);
  } else if (store.caller) {
    if (store.lines == 0) {
      send_cancel(lib, security);
      store.pending = false;
      store.streaming = false;
    }
    store.caller = false;
  }
  return KELAPI_OK;
}

KelapiResult get_minutes(Library& lib, uint32_t class_number, uint32_t security_number, int32_t from_time,
                         uint32_t* count, KelapiMinuteRecord** records) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  const int64_t s = security_of(lib, class_number, security_number);
  if (s < 0) return KELAPI_E_INVALIDARG;
  if (count == nullptr || records == nullptr) return KELAPI_E_POINTER;
  *count = 0;
  *records = nullptr;
  const MinuteStore* store = lib.minutes.find(static_cast<int32_t>(s));
  if (store == nullptr) return lib.connected() ? KELAPI_E_NOT_BOOKED : KELAPI_OK;
  const auto& bars = store->bars;
  std::size_t first = 0;
  if (from_time >= 1) {
    first = bars.size();
    while (first > 0 && bars[first - 1].time >= from_time) --first;
  }
  if (first == bars.size()) return KELAPI_OK;
  const int scale = lib.securities.at(static_cast<std::size_t>(s)).h.scale;
  const std::size_t n = bars.size() - first;
  auto* out = static_cast<KelapiMinuteRecord*>(lib.hand_out(n * sizeof(KelapiMinuteRecord)));
  for (std::size_t i = 0; i < n; ++i) {
    const MinuteBar& b = bars[first + i];
    KelapiMinuteRecord& r = out[i];
    std::memset(&r, 0, sizeof r);
    r.close = scaled_to_double(b.close, scale);
    r.high = scaled_to_double(b.high, scale);
    r.low = scaled_to_double(b.low, scale);
    r.open = scaled_to_double(b.open, scale);
    r.volume = b.volume;
    r.time = b.time;
  }
  *count = static_cast<uint32_t>(n);
  *records = out;
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
