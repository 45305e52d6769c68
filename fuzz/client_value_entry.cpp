// Fuzz target: the current-value entry decoder with arbitrary class
// layouts, masks and value lists, and the reader of stored entries over the
// built entry and over arbitrary bytes (as a journal record would give them).
//
// Input: 16 bytes of class layout (two bits per mask bit: carried and
// double; the filter follows a third bit taken from the mask's own word),
// 8 bytes of mask, 1 flag byte, 1 byte of integer count, the integers, 1 byte
// of double count, the doubles; whatever follows is read as a stored entry.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "values/value_entry.h"

namespace {

using namespace kelda::kelapi;

struct Input {
  const uint8_t* p;
  std::size_t n;
  bool take(void* out, std::size_t k) {
    if (n < k) return false;
    std::memcpy(out, p, k);
    p += k;
    n -= k;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Input in{data, size};
  uint8_t layout[16] = {};
  uint64_t mask = 0;
  uint8_t flags = 0, int_count = 0, double_count = 0;
  if (!in.take(layout, sizeof layout) || !in.take(&mask, sizeof mask) || !in.take(&flags, 1)) return 0;
  ClassBits bits{};
  for (std::size_t b = 0; b < kValueBits; ++b) {
    const uint8_t two = static_cast<uint8_t>(layout[b / 4] >> ((b % 4) * 2));
    bits[b].carried = (two & 1) != 0;
    bits[b].is_double = (two & 2) != 0;
    bits[b].in_filter = ((mask >> ((b * 7) % 64)) & 1) != 0 || (flags & 0x80) != 0;
  }
  std::vector<int32_t> ints;
  std::vector<double> doubles;
  if (in.take(&int_count, 1)) {
    for (int32_t v = 0; ints.size() < int_count && in.take(&v, 4);) ints.push_back(v);
  }
  if (in.take(&double_count, 1)) {
    for (double v = 0; doubles.size() < double_count && in.take(&v, 8);) doubles.push_back(v);
  }
  ValueMessage m;
  m.mask = mask;
  m.flags = flags & 0x7;
  m.entry = static_cast<int32_t>(size);
  m.ints = ints;
  m.doubles = doubles;

  const ReceivedValues received = take_values(m, bits);
  if ((received.present & ~mask) != 0) std::abort();  // a value for a bit that was not sent
  const uint64_t kept = kept_bits(received, bits, (flags & 0x40) != 0);
  std::vector<uint8_t> entry(kMaxValueEntry);
  const std::size_t built = build_entry(m, 0, received, bits, kept, entry);
  if (built < kValueHeadSize || built > kMaxValueEntry) std::abort();
  int read_back = 0;
  for_each_stored_value(std::span(entry.data(), built), bits, [&](std::size_t bit, double v) {
    ++read_back;
    if (!has_bit(kept, bit)) std::abort();
    if (has_bit(received.present, bit) && !(v == received.value[bit] || v != v)) std::abort();
  });
  if (read_back != std::popcount(kept)) std::abort();

  // The rest of the input as a stored entry of any length.
  double sum = 0;
  for_each_stored_value(std::span(in.p, in.n), bits, [&](std::size_t, double v) { sum += v; });
  volatile double sink = sum;
  (void)sink;
  return 0;
}
