// Fuzz target: bar building from inputs with arbitrary moments (out of
// order, repeated, far future, invalid). Each 24-byte record is: i32 date,
// i32 time, i32 price, i32 volume, i32 sequence, u8 kind (1..3), i8 period,
// u8 flags, one spare byte. After every input the series must stay in
// strictly ascending time.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bars/bar_building.h"

namespace {

using namespace kelda::kelapi;

struct Input {
  int32_t date, time, price, volume, sequence;
  uint8_t kind;
  int8_t period;
  uint8_t flags;
  uint8_t spare;
};
static_assert(sizeof(Input) == 24);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // One line per run: its kind and period come from the first two bytes.
  const auto kind = static_cast<LineKind>(1 + data[0] % 3);
  const int32_t period = static_cast<int8_t>(data[1]) % 64 < -3 ? -1 : static_cast<int8_t>(data[1]) % 64;
  BarSeries bars;
  for (std::size_t at = 2; at + sizeof(Input) <= size; at += sizeof(Input)) {
    Input in;
    std::memcpy(&in, data + at, sizeof in);
    const double p = in.price * 0.01;
    const AddArgs args{kind, period, 0, in.sequence, in.flags};
    const int64_t index = add_bar(bars, BarInput{p, p, p, p, static_cast<double>(in.volume), in.date, in.time}, args);
    if (index >= static_cast<int64_t>(bars.size())) std::abort();
    for (std::size_t i = 1; i < bars.size(); ++i) {
      if (bars[i - 1].time >= bars[i].time) std::abort();
    }
  }
  BarSeries copy = bars;
  mark_changes(copy, bars);
  for (const PriceBar& b : copy) {
    if (b.changed != 0 && b.open == b.open) std::abort();  // NaN prices never compare equal
  }
  return 0;
}
