// The table stream cipher: d0 = MD5(key), d(k+1) = MD5(dk); table A holds
// d0..d15, table B d17..d32; each key-stream byte is A[i] + B[j] after a swap.
#include "table_cipher.h"

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

int table_cipher_apply(TableCipherContext& c, uint8_t* buffer, std::size_t length) noexcept {
  if (buffer == nullptr) return 1;
  for (std::size_t k = 0; k < length; ++k) buffer[k] ^= table_cipher_next(c);
  return 1;
}

}  // namespace kelda::sekura32
