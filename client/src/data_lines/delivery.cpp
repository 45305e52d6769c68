#include "data_lines/delivery.h"

#include <algorithm>

#include "all_trades/all_trades.h"
#include "core/numbers.h"
#include "minutes/minutes.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

bool in_window(const DataLineSubscriber& s, int32_t date, int32_t time) {
  if (s.from_date != -1 && date < s.from_date) return false;
  if (s.from_time != -1 && time < s.from_time) return false;
  if (s.to_date != -1 && date > s.to_date) return false;
  if (s.to_time != -1 && time > s.to_time) return false;
  return true;
}

bool wanted(const DataLineSubscriber& s, int32_t only_id) {
  if (s.removed || s.callback == nullptr) return false;
  return only_id != 0 ? s.id == only_id : s.started;
}

// Hands one bar to a subscriber (the line's subscriber array may grow
// during the call: it is reached by index only).
void hand(DataLine& line, std::size_t subscriber, const PriceBar& bar) {
  int32_t date = 0;
  const int32_t time = file_time_to_packed(bar.time, &date);
  const DataLineSubscriber s = line.subscribers[subscriber];
  if (!in_window(s, date, time)) return;
  KelapiDataLineBar record{bar.open, bar.high, bar.low, bar.close, bar.volume, static_cast<uint32_t>(date),
                           static_cast<uint32_t>(time)};
  s.callback(s.id, &record, s.context, &line.subscribers[subscriber]);
}

}  // namespace

void deliver(Library& lib, DataLine& line, BarsToDeliver which, std::size_t index, int32_t only_id) {
  ++lib.data_lines.delivering;
  for (std::size_t s = 0; s < line.subscribers.size(); ++s) {
    if (!wanted(line.subscribers[s], only_id)) continue;
    if (which == BarsToDeliver::one) {
      if (index < line.bars.size()) hand(line, s, line.bars[index]);
      continue;
    }
    for (std::size_t b = 0; b < line.bars.size(); ++b) {
      if (which == BarsToDeliver::all || line.bars[b].changed != 0) hand(line, s, line.bars[b]);
      if (!wanted(line.subscribers[s], only_id)) break;  // it unregistered
    }
  }
  if (only_id == 0) {
    if (which == BarsToDeliver::changed) {
      for (PriceBar& bar : line.bars) bar.changed = 0;
    } else if (which == BarsToDeliver::one && index < line.bars.size()) {
      line.bars[index].changed = 0;
    }
  }
  --lib.data_lines.delivering;
  purge_removed(lib);
}

void release_line(Library& lib, DataLine& line) {
  if (line.holds_minutes) release_minutes_for_lines(lib, line.security);
  line.holds_minutes = false;
  if (line.kind != LineKind::tick) return;
  const auto& lines = lib.data_lines.lines;
  const bool other_tick_line = std::any_of(lines.begin(), lines.end(), [&](const auto& l) {
    return l.get() != &line && l->kind == LineKind::tick && !l->subscribers.empty();
  });
  if (other_tick_line) return;
  lib.all_trades.tick_lines = false;
  if (!lib.all_trades.booked) cancel_all_trades(lib);
}

void purge_removed(Library& lib) {
  DataLines& d = lib.data_lines;
  if (d.delivering > 0 || !d.purge_pending) return;
  d.purge_pending = false;
  for (auto& line : d.lines) {
    auto& subs = line->subscribers;
    const bool had = !subs.empty();
    subs.erase(std::remove_if(subs.begin(), subs.end(), [](const DataLineSubscriber& s) { return s.removed; }),
               subs.end());
    if (had && subs.empty()) release_line(lib, *line);
  }
  std::erase_if(d.lines, [](const auto& line) { return line->subscribers.empty(); });
}

}  // namespace kelda::kelapi
