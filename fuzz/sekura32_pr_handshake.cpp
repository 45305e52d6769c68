// The provider's handshake step over arbitrary blocks: in place of the
// opener's first message for an answering context, and in place of the
// answer for an opening context that has sent its first message. Two fresh
// 512-bit users in key rings of a folder of their own.
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "channel.h"
#include "context.h"
#include "key_handlers.h"
#include "sekura32_pr/sekura32_pr.h"

namespace {

using namespace kelda::sekura32_pr;

int32_t approve(const cp_provider_record*, uintptr_t, const CpapiPeerInfo*, uint32_t, uintptr_t, uintptr_t, char*,
                uint32_t) {
  return 1;
}

std::vector<uint8_t> packet_of(SkStream* s) {
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  skLookMemStream(s, &bytes, nullptr, &length, nullptr);
  std::vector<uint8_t> copy(bytes, bytes + length);
  s->close(s);
  return copy;
}

void make_user(const char* name, int32_t id) {
  uint8_t key_id[8];
  uint32_t bits = 512;
  SkStream* secret = skTempMemStream();
  SkStream* pub = skTempMemStream();
  if (skGenKey(key_id, nullptr, &bits, secret, pub, name, nullptr) >= 16) abort();
  const std::vector<uint8_t> s = packet_of(secret), p = packet_of(pub);
  skPutUser(nullptr, name, key_id, id, 0, 1, bits, s.data(), static_cast<uint32_t>(s.size()));
  skPutUser(nullptr, name, key_id, id, 0, 0, bits, p.data(), static_cast<uint32_t>(p.size()));
}

void put_setting(int slot, const std::string& value) {
  auto* copy = static_cast<char*>(skCalloc(1, SK_MAX_PATH));
  std::memcpy(copy, value.c_str(), value.size());
  skFree(skSettings[slot]);
  skSettings[slot] = copy;
}

CpapiContext* new_context(int32_t usage, const char* user, const char* target) {
  Sekura32ConnectParams p{};
  p.version = SEKURA32_PR_CONNECT_PARAMS_V1;
  std::strncpy(p.user_name, user, sizeof p.user_name - 1);
  std::strncpy(p.target_server, target, sizeof p.target_server - 1);
  char error[256];
  return create_context({nullptr, usage, 0, 4, nullptr, 0, nullptr, &p}, error, sizeof error);
}

struct Out {
  void* block = nullptr;
  uint32_t capacity = 0;
  ~Out() { skFree(block); }
  int32_t step(CpapiContext* c, const uint8_t* data, size_t size) {
    char error[256];
    uint32_t length = capacity;
    const int32_t flags = handshake_step(nullptr, c, 0, data, static_cast<uint32_t>(size), &block, &length, 0, 0,
                                         error, sizeof error);
    if (!(flags & CP_HANDSHAKE_SEND)) capacity = length;
    return flags;
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/sekura32-pr-fuzz-XXXXXX";
  const std::string folder = ::mkdtemp(pattern);
  put_setting(SK_SETTING_SECRET_RING, folder + "/secring.txk");
  put_setting(SK_SETTING_PUBLIC_RING, folder + "/pubring.txk");
  SetRealloc(&skRealloc);
  make_user("client", 1);
  make_user("server", 2);
  char error[64];
  set_key_handler(CP_KEY_HANDLER_VALIDATOR, reinterpret_cast<CpapiKeyHandler>(&approve), error, sizeof error);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  CpapiContext* answering = new_context(4, "client", "server");
  CpapiContext* opening = new_context(3, "server", "");
  if (answering != nullptr) {
    Out out;
    out.step(answering, data, size);
    out.step(answering, nullptr, 0);
    free_context(answering);
  }
  if (opening != nullptr) {
    Out out;
    out.step(opening, nullptr, 0);
    out.step(opening, data, size);
    free_context(opening);
  }
  return 0;
}
