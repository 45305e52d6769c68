#include "data_lines/param_lines.h"

#include <cmath>
#include <cstring>

#include "bars/archive.h"
#include "core/numbers.h"
#include "data_lines/delivery.h"
#include "data_lines/line_feeds.h"
#include "session/library.h"
#include "values/values.h"

namespace kelda::kelapi {
namespace {

constexpr int kMaxValueScale = 10;
constexpr double kZeroValue = 1e-7;

// What one line needs to read its parameter out of value entries.
struct ParamReader {
  const NetParamEx* param = nullptr;
  ClassBits bits{};
  int scale = 0;
  int32_t date = 0;  // the bars' date: the trade date, else today
};

ParamReader reader_of(const Library& lib, const DataLine& line) {
  ParamReader r;
  const SecurityRecord& sec = lib.securities.at(static_cast<std::size_t>(line.security));
  r.param = lib.params.get(sec.class_index, line.param);
  if (r.param == nullptr) return r;
  r.bits = class_bits(lib, sec.class_index);
  r.scale = (static_cast<uint16_t>(r.param->d.flags) & kParamSecurityScale) != 0 ? sec.h.scale : r.param->d.scale;
  r.date = lib.trade_date() != 0 ? static_cast<int32_t>(lib.trade_date()) : local_date_packed();
  return r;
}

// Adds one value entry to the bars; the index of the bar added or changed,
// or -1 when the entry carries no usable value of the parameter.
int64_t offer(const ParamReader& r, const DataLine& line, BarSeries& bars, std::span<const uint8_t> entry) {
  if (r.param == nullptr || entry.size() < kValueHeadSize || r.scale > kMaxValueScale) return -1;
  ValueEntryHead head;
  std::memcpy(&head, entry.data(), sizeof head);
  const auto bit = static_cast<std::size_t>(r.param->number);
  if (head.security != line.security || bit >= kValueBits || !has_bit(mask_of(head.stored_low, head.stored_high), bit)) {
    return -1;
  }
  bool found = false;
  double raw = 0;
  for_each_stored_value(entry, r.bits, [&](std::size_t b, double v) {
    if (b != bit) return;
    found = true;
    raw = v;
  });
  if (!found) return -1;
  const double value = scale_down(raw, r.scale);
  if (!std::isfinite(value)) return -1;
  if (r.param->zero_is_no_value != 0 && std::fabs(value) < kZeroValue) return -1;
  const BarInput input{value, value, value, value, 1.0, r.date, static_cast<int32_t>(head.time)};
  return add_bar(bars, input,
                 AddArgs{LineKind::parameter, line.period, 0, head.entry, static_cast<int32_t>(head.flags)});
}

// The line's bars made anew from its history and every entry of the store.
BarSeries rebuilt(Library& lib, const DataLine& line) {
  BarSeries fresh = line.history;
  const ParamReader r = reader_of(lib, line);
  if (r.param == nullptr) return fresh;
  lib.values.store.for_each([&](int64_t, std::span<const uint8_t> entry) {
    offer(r, line, fresh, entry);
    return true;
  });
  return fresh;
}

void refill_and_deliver(Library& lib, DataLine& line) {
  if (!line.ready || !param_line_usable(lib, line)) return;
  fill_param_line(lib, line);
  deliver(lib, line, BarsToDeliver::changed);
}

// Calls f(line) for each parameter line that `pick` chooses; the list may
// change under a delivery, so lines are reached by index.
template <typename Pick, typename F>
void for_param_lines(Library& lib, Pick pick, F f) {
  auto& lines = lib.data_lines.lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    DataLine& line = *lines[i];
    if (line.kind == LineKind::parameter && pick(line)) f(line);
  }
}

int32_t class_of(const Library& lib, const DataLine& line) {
  return lib.securities.at(static_cast<std::size_t>(line.security)).class_index;
}

}  // namespace

bool param_line_usable(const Library& lib, const DataLine& line) {
  return lib.params.get(class_of(lib, line), line.param) != nullptr;
}

void fill_param_line(Library& lib, DataLine& line) {
  const SeriesKey key{line.security, line.param, line.period};
  if (archive_holds(lib, key)) {
    BarSeries archived = take_archive(lib, key);
    if (line.history.empty()) {
      line.history = std::move(archived);
    } else {
      const AddArgs args{LineKind::parameter, line.period, 0, -1, -1};
      for (const PriceBar& bar : archived) {
        int32_t date = 0;
        const int32_t time = file_time_to_packed(bar.time, &date);
        add_bar(line.history, BarInput{bar.open, bar.high, bar.low, bar.close, bar.volume, date, time}, args);
      }
    }
  }
  BarSeries fresh = rebuilt(lib, line);
  mark_changes(fresh, line.bars);
  line.bars = std::move(fresh);
}

void feed_param_lines(Library& lib, std::span<const uint8_t> entry) {
  if (entry.size() < kValueHeadSize) return;
  ValueEntryHead head;
  std::memcpy(&head, entry.data(), sizeof head);
  for_param_lines(
      lib, [&](const DataLine& line) { return line.security == head.security && line.ready; },
      [&](DataLine& line) {
        const int64_t at = offer(reader_of(lib, line), line, line.bars, entry);
        if (at >= 0) deliver(lib, line, BarsToDeliver::one, static_cast<std::size_t>(at));
      });
}

void refill_param_lines_of_class(Library& lib, int32_t class_index) {
  for_param_lines(
      lib, [&](const DataLine& line) { return class_of(lib, line) == class_index; },
      [&](DataLine& line) { refill_and_deliver(lib, line); });
}

void refill_param_lines(Library& lib, int32_t security, int32_t slot) {
  for_param_lines(
      lib, [&](const DataLine& line) { return line.security == security && line.param == slot; },
      [&](DataLine& line) { refill_and_deliver(lib, line); });
}

void refresh_param_lines_of_class(Library& lib, int32_t class_index) {
  for_param_lines(
      lib, [&](const DataLine& line) { return class_of(lib, line) == class_index; },
      [&](DataLine& line) { refresh_line(lib, line, true); });
}

}  // namespace kelda::kelapi
