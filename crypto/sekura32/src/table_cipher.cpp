// The table stream cipher: d0 = MD5(key), d(k+1) = MD5(dk); table A holds
// d0..d15, table B d17..d32; each key-stream byte is A[i] + B[j] after a swap.
#include "table_cipher.h"

#include <algorithm>
#include <cstring>

#include "frame.h"
#include "md5.h"

namespace kelda::sekura32 {

int table_cipher_setup(TableCipherContext& c, const uint8_t* key, std::size_t key_length, uint32_t start_i,
                       uint32_t start_j) noexcept {
  c.i = start_i;
  c.j = start_j;
  c.counter = 0;
  c.phase = 0;
  uint8_t d[16];
  md5_buffer(key, key != nullptr ? key_length : 0, d);
  for (int row = 0; row < 16; ++row) {
    std::memcpy(c.a + 16 * row, d, 16);
    md5_buffer(d, 16, d);
  }
  md5_buffer(d, 16, d);  // one digest of the chain is skipped
  for (int row = 0; row < 16; ++row) {
    std::memcpy(c.b + 16 * row, d, 16);
    md5_buffer(d, 16, d);
  }
  wipe(d, sizeof d);
  return 1;
}

uint8_t table_cipher_next(TableCipherContext& c) noexcept {
  if (++c.counter > 256) {
    c.counter = 0;
    c.phase ^= 1;
  }
  uint32_t i = c.i & 0xFF;
  uint32_t j = c.j & 0xFF;
  if (c.phase != 0) {
    i = (i + 1) & 0xFF;
    j = (c.a[i] + j) & 0xFF;
  } else {
    j = (j + 1) & 0xFF;
    i = (c.b[j] + i) & 0xFF;
  }
  uint8_t t = c.a[i];
  c.a[i] = c.b[j];
  c.b[j] = t;
  c.i = i;
  c.j = j;
  return uint8_t(c.a[i] + c.b[j]);
}

namespace {

// The key stream of one phase, XORed into `count` bytes: phase 1 steps i and
// takes j from table A, phase 0 steps j and takes i from table B; after the
// swap the key-stream byte is the sum of the two entries read before it.
// Eight bytes of key stream are gathered in a register and XORed at once, so
// the tables are not reloaded around stores into the buffer.
template <bool PhaseOne>
void apply_phase(uint8_t* a, uint8_t* b, uint32_t& i_io, uint32_t& j_io, uint8_t* p, std::size_t count) noexcept {
  uint32_t i = i_io, j = j_io;
  auto next = [&]() -> uint64_t {
    uint32_t ta, tb;
    if constexpr (PhaseOne) {
      i = (i + 1) & 0xFF;
      ta = a[i];
      j = (ta + j) & 0xFF;
      tb = b[j];
    } else {
      j = (j + 1) & 0xFF;
      tb = b[j];
      i = (tb + i) & 0xFF;
      ta = a[i];
    }
    a[i] = uint8_t(tb);
    b[j] = uint8_t(ta);
    return (ta + tb) & 0xFF;
  };
  for (; count >= 8; count -= 8, p += 8) {
    uint64_t stream = 0;
    for (int k = 0; k < 8; ++k) stream |= next() << (8 * k);
    uint64_t data;
    std::memcpy(&data, p, 8);
    data ^= stream;
    std::memcpy(p, &data, 8);
  }
  for (; count > 0; --count, ++p) *p ^= uint8_t(next());
  i_io = i;
  j_io = j;
}

}  // namespace

int table_cipher_apply(TableCipherContext& c, uint8_t* buffer, std::size_t length) noexcept {
  if (buffer == nullptr || length == 0) return 1;
  uint32_t i = c.i & 0xFF, j = c.j & 0xFF, counter = c.counter, phase = c.phase;
  std::size_t done = 0;
  while (done < length) {
    // Each byte first counts; a count above 256 flips the phase and restarts
    // the count at 0 (table_cipher_next). Runs between flips go in one piece.
    const uint32_t next_count = counter + 1;
    std::size_t run;
    if (next_count > 256) {
      counter = 0;
      phase ^= 1;
      run = 1;
    } else {
      run = std::min<std::size_t>(length - done, 257 - next_count);
      counter = next_count + uint32_t(run) - 1;
    }
    if (phase != 0) {
      apply_phase<true>(c.a, c.b, i, j, buffer + done, run);
    } else {
      apply_phase<false>(c.a, c.b, i, j, buffer + done, run);
    }
    done += run;
  }
  c.i = i;
  c.j = j;
  c.counter = counter;
  c.phase = phase;
  return 1;
}

}  // namespace kelda::sekura32
