// Data lines: registration, starting a line, building its bars from the
// feeds, and the exports.
#include "data_lines/data_lines.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "all_trades/all_trades.h"
#include "bars/archive.h"
#include "core/numbers.h"
#include "data_lines/delivery.h"
#include "data_lines/line_feeds.h"
#include "data_lines/param_lines.h"
#include "market/security_args.h"
#include "minutes/minutes.h"
#include "session/library.h"
#include "values/values.h"

namespace kelda::kelapi {
namespace {

int scale_of(const Library& lib, int32_t security) {
  return lib.securities.at(static_cast<std::size_t>(security)).h.scale;
}

bool known_to_server(const Library& lib, int32_t security) {
  return lib.securities.at(static_cast<std::size_t>(security)).h.server_id != -1;
}

BarInput tick_input(const Library& lib, const AllTradeEntry& t) {
  const double price = scaled_to_double(t.price, scale_of(lib, t.security));
  return BarInput{price, price, price, price, static_cast<double>(t.quantity), t.date, t.time};
}

BarInput minute_input(const Library& lib, int32_t security, const MinuteBar& m) {
  const int scale = scale_of(lib, security);
  const int32_t date = m.date != 0 ? m.date : static_cast<int32_t>(lib.trade_date());
  return BarInput{scaled_to_double(m.open, scale),  scaled_to_double(m.high, scale),
                  scaled_to_double(m.low, scale),   scaled_to_double(m.close, scale),
                  static_cast<double>(m.volume), date, m.time};
}

AddArgs args_of(const DataLine& line, double previous_volume = 0) {
  return AddArgs{line.kind, line.period, previous_volume, -1, -1};
}

// A fresh series replaces the line's; only bars that differ stay changed.
void replace_bars(DataLine& line, BarSeries fresh) {
  mark_changes(fresh, line.bars);
  line.bars = std::move(fresh);
}

void rebuild_tick_line(Library& lib, DataLine& line) {
  BarSeries fresh;
  const auto& rows = lib.all_trades.rows;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows.at(i).security == line.security) add_bar(fresh, tick_input(lib, rows.at(i)), args_of(line));
  }
  replace_bars(line, std::move(fresh));
}

void rebuild_bar_line(Library& lib, DataLine& line) {
  BarSeries fresh = take_archive(lib, SeriesKey{line.security, kPriceSeries, line.period});
  if (const MinuteStore* store = lib.minutes.find(line.security)) {
    for (const MinuteBar& m : store->bars) add_bar(fresh, minute_input(lib, line.security, m), args_of(line));
  }
  replace_bars(line, std::move(fresh));
}

bool minutes_ready(Library& lib, const DataLine& line) {
  if (!lib.connected()) return true;
  const MinuteStore* store = lib.minutes.find(line.security);
  return store != nullptr && store->booked() && !store->pending && !store->streaming;
}

// The parameter a line is built from: kPriceSeries for bar lines.
SeriesKey series_of(const DataLine& line) {
  return SeriesKey{line.security, line.kind == LineKind::parameter ? line.param : kPriceSeries, line.period};
}

// A parameter line's start: the class's values are asked for again where
// entries are missing; period 0 is built from the store alone, the others
// on top of the archive.
void start_param_line(Library& lib, DataLine& line) {
  const int32_t class_index = lib.securities.at(static_cast<std::size_t>(line.security)).class_index;
  const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(class_index));
  if (lib.connected() && ClassTable::complete(cls)) rerequest_entries(lib, class_index, cls.highest_snapshot);
  if (line.period == 0) {
    fill_param_line(lib, line);
    line.ready = true;
    return;
  }
  if (line.archive_request) ask_archive(lib, series_of(line));
  refresh_line(lib, line, false);
}

}  // namespace

void refresh_line(Library& lib, DataLine& line, bool deliver_changed) {
  if (line.kind == LineKind::tick) return;
  if (line.kind == LineKind::parameter && !param_line_usable(lib, line)) return;
  const bool was_ready = line.ready;
  const bool archive = archive_ready(lib, series_of(line));
  line.ready = line.kind == LineKind::parameter ? archive : minutes_ready(lib, line) && archive;
  if (was_ready || !line.ready) return;
  if (line.kind == LineKind::parameter) {
    fill_param_line(lib, line);
  } else {
    rebuild_bar_line(lib, line);
  }
  if (deliver_changed) deliver(lib, line, BarsToDeliver::changed);
}

namespace {

void start_line(Library& lib, DataLine& line) {
  if (lib.connected()) {
    if (line.started) return;
    line.started = true;
  }
  if (line.kind == LineKind::tick) {
    lib.all_trades.tick_lines = true;
    request_all_trades(lib);
    // A line that has bars keeps them: the feed continues after the last
    // trade accepted, and read-once mode may have emptied the table.
    if (line.bars.empty()) rebuild_tick_line(lib, line);
    line.ready = true;
    return;
  }
  if (line.kind == LineKind::parameter) {
    start_param_line(lib, line);
    return;
  }
  line.param = -1;
  if (!line.holds_minutes) {
    book_minutes_for_lines(lib, line.security);
    line.holds_minutes = true;
  }
  if (line.archive_request) ask_archive(lib, series_of(line));
  refresh_line(lib, line, false);
}

DataLine* line_of_subscriber(Library& lib, int32_t id, std::size_t* index = nullptr) {
  for (auto& line : lib.data_lines.lines) {
    for (std::size_t i = 0; i < line->subscribers.size(); ++i) {
      if (line->subscribers[i].id == id && !line->subscribers[i].removed) {
        if (index != nullptr) *index = i;
        return line.get();
      }
    }
  }
  return nullptr;
}

DataLine* find_line(Library& lib, int32_t security, int32_t param, LineKind kind, int32_t period) {
  for (auto& line : lib.data_lines.lines) {
    if (line->security == security && line->param == param && line->kind == kind && line->period == period) {
      return line.get();
    }
  }
  return nullptr;
}

}  // namespace

void feed_tick_lines(Library& lib, const AllTradeEntry& trade) {
  for (std::size_t i = 0; i < lib.data_lines.lines.size(); ++i) {
    DataLine& line = *lib.data_lines.lines[i];
    if (line.kind != LineKind::tick || line.security != trade.security || !line.ready) continue;
    if (add_bar(line.bars, tick_input(lib, trade), args_of(line)) >= 0) {
      deliver(lib, line, BarsToDeliver::one, line.bars.size() - 1);
    }
  }
}

void feed_bar_lines(Library& lib, int32_t security, const MinuteBar& bar, int32_t previous_volume) {
  for (std::size_t i = 0; i < lib.data_lines.lines.size(); ++i) {
    DataLine& line = *lib.data_lines.lines[i];
    if (line.kind != LineKind::bar || line.security != security || !line.ready) continue;
    if (add_bar(line.bars, minute_input(lib, security, bar), args_of(line, previous_volume)) >= 0) {
      deliver(lib, line, BarsToDeliver::one, line.bars.size() - 1);
    }
  }
}

void refresh_lines_of_security(Library& lib, int32_t security, bool deliver_changed) {
  for (std::size_t i = 0; i < lib.data_lines.lines.size(); ++i) {
    DataLine& line = *lib.data_lines.lines[i];
    if (line.security == security) refresh_line(lib, line, deliver_changed);
  }
}

void data_lines_link_lost(Library& lib) {
  for (auto& line : lib.data_lines.lines) {
    line->started = false;
    // Lines on top of the archive wait for its next answer.
    if (line->kind == LineKind::bar || (line->kind == LineKind::parameter && line->period != 0)) line->ready = false;
  }
}

void data_lines_session_started(Library& lib) {
  for (std::size_t i = 0; i < lib.data_lines.lines.size(); ++i) {
    DataLine& line = *lib.data_lines.lines[i];
    if (known_to_server(lib, line.security)) start_line(lib, line);
  }
}

namespace {

// The checks every registration shares, in their order; the security index
// in `security`.
KelapiResult check_registration(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                KelapiDataLineCallback callback, const int32_t* line_id, int64_t& security) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (callback == nullptr || line_id == nullptr) return KELAPI_E_POINTER;
  security = security_of(lib, class_number, security_number);
  return security < 0 || period < -3 ? KELAPI_E_INVALIDARG : KELAPI_OK;
}

// Adds a subscriber to the series' line, creating (and starting) the line
// when there is none.
int32_t add_subscriber(Library& lib, int32_t security, int32_t param, LineKind kind, int32_t period,
                       KelapiDataLineCallback callback, uintptr_t context, bool archive_request) {
  DataLine* line = find_line(lib, security, param, kind, period);
  if (line == nullptr) {
    auto fresh = std::make_unique<DataLine>();
    fresh->security = security;
    fresh->param = param;
    fresh->kind = kind;
    fresh->period = period;
    fresh->archive_request = archive_request;
    line = fresh.get();
    lib.data_lines.lines.push_back(std::move(fresh));
    if (known_to_server(lib, security)) start_line(lib, *line);
  }
  DataLineSubscriber subscriber;
  subscriber.callback = callback;
  subscriber.context = context;
  subscriber.id = ++lib.data_lines.last_id;
  line->subscribers.push_back(subscriber);
  return subscriber.id;
}

// The slot of a parameter that a parameter line may follow, or -1: the class
// is complete and carries a parameter of that name, without the flags 0x4A.
int32_t line_param(const Library& lib, int32_t security, const char* name) {
  constexpr uint16_t kNoLineFlags = 0x4A;
  if (name == nullptr || name[0] == '\0') return -1;
  const int32_t class_index = lib.securities.at(static_cast<std::size_t>(security)).class_index;
  if (!ClassTable::complete(lib.classes.at(static_cast<std::size_t>(class_index)))) return -1;
  const int32_t slot = lib.params.slot_by_name(std::string_view(name, strnlen(name, 17)));
  const NetParamEx* p = slot < 0 ? nullptr : lib.params.get(class_index, slot);
  if (p == nullptr || (static_cast<uint16_t>(p->d.flags) & kNoLineFlags) != 0) return -1;
  return slot;
}

}  // namespace

KelapiResult register_data_line(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                KelapiDataLineCallback callback, uintptr_t context, int32_t* line_id,
                                bool archive_request) {
  LibraryLock lock(lib);
  int64_t s = -1;
  const KelapiResult r = check_registration(lib, class_number, security_number, period, callback, line_id, s);
  if (r != KELAPI_OK) return r;
  const LineKind kind = period == 0 ? LineKind::tick : LineKind::bar;
  *line_id = add_subscriber(lib, static_cast<int32_t>(s), 0, kind, period, callback, context, archive_request);
  return KELAPI_OK;
}

KelapiResult register_param_line(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                 const char* param_name, KelapiDataLineCallback callback, uintptr_t context,
                                 int32_t* line_id) {
  LibraryLock lock(lib);
  int64_t s = -1;
  const KelapiResult r = check_registration(lib, class_number, security_number, period, callback, line_id, s);
  if (r != KELAPI_OK) return r;
  const auto security = static_cast<int32_t>(s);
  const int32_t slot = line_param(lib, security, param_name);
  if (slot < 0) return KELAPI_E_INVALIDARG;
  *line_id = add_subscriber(lib, security, slot, LineKind::parameter, period, callback, context, true);
  return KELAPI_OK;
}

KelapiResult set_data_line_option(Library& lib, int32_t line_id, uint32_t option, int32_t value) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  std::size_t i = 0;
  DataLine* line = line_of_subscriber(lib, line_id, &i);
  if (line == nullptr || option < 1 || option > 4) return KELAPI_E_INVALID_LENGTH;
  DataLineSubscriber& s = line->subscribers[i];
  int32_t* const bounds[] = {&s.from_date, &s.from_time, &s.to_date, &s.to_time};
  *bounds[option - 1] = value;
  return KELAPI_OK;
}

KelapiResult start_data_line(Library& lib, int32_t line_id) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  std::size_t i = 0;
  DataLine* line = line_of_subscriber(lib, line_id, &i);
  if (line == nullptr) return KELAPI_E_INVALIDARG;
  if (line->subscribers[i].started) return KELAPI_OK;
  if (line->ready) {
    // Those started before get what changed since, then the new subscriber
    // the whole history.
    deliver(lib, *line, BarsToDeliver::changed);
    line = line_of_subscriber(lib, line_id, &i);
    if (line == nullptr) return KELAPI_OK;
    deliver(lib, *line, BarsToDeliver::all, 0, line_id);
    line = line_of_subscriber(lib, line_id, &i);
    if (line == nullptr) return KELAPI_OK;
  }
  line->subscribers[i].started = true;
  return KELAPI_OK;
}

KelapiResult unregister_data_line(Library& lib, int32_t line_id) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  std::size_t i = 0;
  if (DataLine* line = line_of_subscriber(lib, line_id, &i)) {
    line->subscribers[i].removed = true;
    lib.data_lines.purge_pending = true;
    purge_removed(lib);
  }
  return KELAPI_OK;
}

KelapiResult set_data_line_archive_size(Library& lib, int32_t count) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (count < 1) return KELAPI_E_INVALID_LENGTH;
  lib.data_lines.archive_size = count;
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
