// Minute bars: per security, a store of one-minute bars that the server
// sends as a history followed by live ticks and minute updates. The caller
// books a store (KelapiBookMinutesEx) and so do the bar data lines; the
// lines' bookings are counted, so one line going keeps the store for the
// others. Changes reach the caller as KELAPI_EVENT_NEWMINUTES and the bar
// data lines as bars.
//
// Everything runs under the library lock (messages on the receive thread,
// exports on the caller's thread). Allocation failure throws std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

class Library;

// 28 bytes; prices in units of 10^-scale of the security; date 0 = the
// current trade date; time HHMM00.
struct MinuteBar {
  int32_t date;
  int32_t time;
  int32_t open;
  int32_t high;
  int32_t low;
  int32_t close;
  int32_t volume;
};
static_assert(sizeof(MinuteBar) == 28);

struct MinuteStore {
  std::vector<MinuteBar> bars;
  bool caller = false;     // booked by the caller
  int32_t lines = 0;       // bar data lines holding the store
  bool pending = false;    // history requested, not yet ended
  bool streaming = false;  // history begun
  bool booked() const { return caller || lines > 0; }
};

struct MinuteStores {
  std::unordered_map<int32_t, MinuteStore> by_security;
  MinuteStore* find(int32_t security) {
    const auto it = by_security.find(security);
    return it == by_security.end() ? nullptr : &it->second;
  }
  void reset() { by_security.clear(); }
};

// ---- bookings ----
void book_minutes_for_lines(Library& lib, int32_t security);
void release_minutes_for_lines(Library& lib, int32_t security);

// ---- messages (receive thread; security given by server id) ----
void on_minutes_history_begins(Library& lib, int32_t server_id);
void on_minutes_history_ends(Library& lib, int32_t server_id);
void on_minute_history_bar(Library& lib, int32_t server_id, int32_t date, const int32_t (&ohlcv)[5], int32_t time);
void on_minute_tick(Library& lib, int32_t server_id, int32_t date, int32_t time, int32_t price, int32_t quantity);
void on_minute_update(Library& lib, int32_t server_id, int32_t date, int32_t time, const int32_t (&ohlcv)[5]);

// ---- the session ----
void minutes_link_lost(Library& lib);
// The session started: stores the data lines hold ask for their history.
void minutes_session_started(Library& lib);
// Journal tags 40 (28 bytes, no date) and 61 (32 bytes).
void replay_minute_bar(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- exports (lock taken inside) ----
KelapiResult book_minutes(Library& lib, uint32_t class_number, uint32_t security_number, bool book);
KelapiResult get_minutes(Library& lib, uint32_t class_number, uint32_t security_number, int32_t from_time,
                         uint32_t* count, KelapiMinuteRecord** records);

}  // namespace kelda::kelapi
