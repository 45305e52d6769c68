// Current-value entries: how a value record from the server becomes the
// stored entry (a 32-byte head and its values), and how the values of an
// entry are read back.
//
// Bit n of a mask names the parameter with number n within the security's
// class; the class decides whether a bit's value is 8 bytes (a double) or 4
// (an integer), and whether it is kept (parameters in the class filter).
// Every received bit of a parameter the class carries takes its value from
// the list of its kind, kept or not, so that later values never shift.
//
// Pure functions over caller-owned buffers: any thread, no allocation, never
// throw. Lengths are checked; a short list or a short entry ends the walk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kelda::kelapi {

inline constexpr std::size_t kValueBits = 64;
inline constexpr std::size_t kValueHeadSize = 32;
// The largest entry: the head and 64 doubles.
inline constexpr std::size_t kMaxValueEntry = kValueHeadSize + kValueBits * 8;

// Entry flags.
inline constexpr uint32_t kEntrySnapshot = 0x1;
inline constexpr uint32_t kEntryUnconfirmed = 0x2;
inline constexpr uint32_t kEntryFromServer = 0x4;

// The head of a stored entry (also the head of journal records of tag 1).
struct ValueEntryHead {
  uint32_t stored_low;
  uint32_t stored_high;
  uint32_t received_low;
  uint32_t received_high;
  uint32_t flags;
  int32_t entry;
  uint32_t time;
  int32_t security;
};
static_assert(sizeof(ValueEntryHead) == kValueHeadSize);

// What the class says about one bit of a mask.
struct ValueBit {
  bool carried = false;    // the class has a parameter with this number
  bool is_double = false;  // its values are 8-byte doubles (else 4-byte integers)
  bool in_filter = false;  // the caller asked for it
};
using ClassBits = std::array<ValueBit, kValueBits>;

inline uint64_t mask_of(uint32_t low, uint32_t high) { return (uint64_t{high} << 32) | low; }
inline bool has_bit(uint64_t mask, std::size_t bit) { return ((mask >> bit) & 1u) != 0; }

// A received value record, whatever its layout.
struct ValueMessage {
  int32_t security_id = 0;
  uint32_t time = 0;
  int32_t entry = 0;
  uint32_t flags = 0;
  uint64_t mask = 0;
  std::span<const int32_t> ints;
  std::span<const double> doubles;
};

// The values a record brings, one per bit: the raw 8 bytes of a double or
// the integer, and whether the record carried it.
struct ReceivedValues {
  uint64_t present = 0;  // bits whose value was taken from the record
  std::array<double, kValueBits> value{};  // the value as a double (integers converted)
};

// Takes the record's values in bit order: each received bit of a carried
// parameter consumes the next value of its kind. A bit whose list has run
// out, or that the class does not carry, gets no value.
ReceivedValues take_values(const ValueMessage& m, const ClassBits& bits) noexcept;

// Which bits a stored entry keeps: received values of filtered parameters,
// and, for a snapshot of a changed security, every other filtered parameter
// (with the value 0).
uint64_t kept_bits(const ReceivedValues& received, const ClassBits& bits, bool fill_missing) noexcept;

// Writes the entry (head then values) into `out`, which holds
// kMaxValueEntry bytes; returns its size.
std::size_t build_entry(const ValueMessage& m, int32_t security_index, const ReceivedValues& received,
                        const ClassBits& bits, uint64_t kept, std::span<uint8_t> out) noexcept;

// Calls f(bit, value) for each stored bit of an entry whose parameter the
// class carries, in bit order; bits it no longer carries are skipped. Stops
// at the end of the entry's bytes.
template <typename F>
void for_each_stored_value(std::span<const uint8_t> entry, const ClassBits& bits, F f);

// ---- implementation of the template ----
double read_stored_value(const uint8_t* at, bool is_double) noexcept;

template <typename F>
void for_each_stored_value(std::span<const uint8_t> entry, const ClassBits& bits, F f) {
  if (entry.size() < kValueHeadSize) return;
  ValueEntryHead head;
  std::memcpy(&head, entry.data(), sizeof head);
  const uint64_t stored = mask_of(head.stored_low, head.stored_high);
  std::size_t at = kValueHeadSize;
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    if (!has_bit(stored, bit) || !bits[bit].carried) continue;
    const std::size_t width = bits[bit].is_double ? 8 : 4;
    if (entry.size() - at < width) return;
    f(bit, read_stored_value(entry.data() + at, bits[bit].is_double));
    at += width;
  }
}

}  // namespace kelda::kelapi
