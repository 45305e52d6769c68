// Fuzz support: two 512-bit users made once per process and sessions that
// carry them without any key ring (the records are filled from the key
// packets in memory).
#pragma once

#include <cstdint>
#include <vector>

#include "key_packet.h"
#include "session.h"

namespace kelda::sekura32::fuzzing {

struct FuzzKeys {
  std::vector<uint8_t> secret[2];  // 0 the client, 1 the server

  static const FuzzKeys& get() {
    static const FuzzKeys keys;
    return keys;
  }

  // A lone session of user `who`, with its secret part or public only.
  SkSession* session(int who, bool secret) const {
    SkSession* s = nullptr;
    if (Login(&s, nullptr) >= 16) return nullptr;
    fill(s, who, secret);
    return s;
  }
  void fill(SkSession* s, int who, bool secret) const {
    uint8_t none[16] = {};
    read_key_packet(this->secret[who].data(), uint32_t(this->secret[who].size()), s->user, none, secret);
    if (!secret) {
      // A public record keeps no secret numbers.
      for (uint32_t** part : {&s->user.d, &s->user.p1, &s->user.p2, &s->user.u, &s->user.d1, &s->user.d2}) {
        skFree(*part);
        *part = nullptr;
      }
    }
  }

 private:
  FuzzKeys() {
    SetRealloc(&skRealloc);
    for (auto& packet : secret) {
      uint32_t bits = 512;
      uint8_t id[8];
      SkStream* s = skTempMemStream();
      SkStream* p = skDummyStream();
      if (skGenKey(id, nullptr, &bits, s, p, nullptr, nullptr) == SK_OK) {
        uint8_t* bytes = nullptr;
        uint32_t length = 0;
        skLookMemStream(s, &bytes, nullptr, &length, nullptr);
        packet.assign(bytes, bytes + length);
      }
      s->close(s);
      p->close(p);
    }
  }
};

inline uint32_t read_u32(const uint8_t*& data, size_t& size) {
  uint32_t v = 0;
  for (int k = 0; k < 4 && size > 0; ++k, ++data, --size) v = v << 8 | *data;
  return v;
}

// Unprotect of the bytes with the pair's sessions; the output is dropped.
inline uint32_t read_block(SkSession* from, SkSession* to, uint32_t flags, const uint8_t* data, size_t size) {
  uint8_t* out = nullptr;
  uint32_t capacity = 0, length = 0;
  uint32_t result = Unprotect(&from, &to, &flags, data, uint32_t(size), &out, &capacity, &length, nullptr,
                              nullptr, 0, nullptr);
  skFree(out);
  return result;
}

}  // namespace kelda::sekura32::fuzzing
