#include "values/value_entry.h"

#include <cstring>

namespace kelda::kelapi {

ReceivedValues take_values(const ValueMessage& m, const ClassBits& bits) noexcept {
  ReceivedValues r;
  std::size_t next_int = 0;
  std::size_t next_double = 0;
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    if (!has_bit(m.mask, bit) || !bits[bit].carried) continue;
    if (bits[bit].is_double) {
      if (next_double >= m.doubles.size()) continue;
      r.value[bit] = m.doubles[next_double++];
    } else {
      if (next_int >= m.ints.size()) continue;
      r.value[bit] = static_cast<double>(m.ints[next_int++]);
    }
    r.present |= uint64_t{1} << bit;
  }
  return r;
}

uint64_t kept_bits(const ReceivedValues& received, const ClassBits& bits, bool fill_missing) noexcept {
  uint64_t kept = 0;
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    if (!bits[bit].carried || !bits[bit].in_filter) continue;
    if (has_bit(received.present, bit) || fill_missing) kept |= uint64_t{1} << bit;
  }
  return kept;
}

std::size_t build_entry(const ValueMessage& m, int32_t security_index, const ReceivedValues& received,
                        const ClassBits& bits, uint64_t kept, std::span<uint8_t> out) noexcept {
  if (out.size() < kMaxValueEntry) return 0;
  ValueEntryHead head{};
  head.stored_low = static_cast<uint32_t>(kept);
  head.stored_high = static_cast<uint32_t>(kept >> 32);
  head.received_low = static_cast<uint32_t>(m.mask);
  head.received_high = static_cast<uint32_t>(m.mask >> 32);
  head.flags = m.flags;
  head.entry = m.entry;
  head.time = m.time;
  head.security = security_index;
  std::memcpy(out.data(), &head, sizeof head);
  std::size_t at = kValueHeadSize;
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    if (!has_bit(kept, bit)) continue;
    const bool present = has_bit(received.present, bit);
    if (bits[bit].is_double) {
      const double v = present ? received.value[bit] : 0.0;
      std::memcpy(out.data() + at, &v, 8);
      at += 8;
    } else {
      const int32_t v = present ? static_cast<int32_t>(received.value[bit]) : 0;
      std::memcpy(out.data() + at, &v, 4);
      at += 4;
    }
  }
  return at;
}

double read_stored_value(const uint8_t* at, bool is_double) noexcept {
  if (is_double) {
    double v;
    std::memcpy(&v, at, 8);
    return v;
  }
  int32_t v;
  std::memcpy(&v, at, 4);
  return static_cast<double>(v);
}

}  // namespace kelda::kelapi
