// The key-exchange message reader on both sides: the input is handed, as a
// received block, to a pair waiting for 65 (the answering client), for 66
// (the opening server after its 65), for 67 (the client after its 66), or to
// a pair whose exchange is over (channel mode, the block cut in two).
#include <cstdint>

#include "sekura32_sessions.h"

using namespace kelda::sekura32;
using namespace kelda::sekura32::fuzzing;

namespace {

struct Pair {
  SkSession* own = nullptr;
  SkSession* peer = nullptr;
  ~Pair() {
    LogOut(own);
    LogOut(peer);
  }
};

// The server opens: its own session first, the client's linked to it.
void make_server(const FuzzKeys& keys, Pair& p) {
  p.own = keys.session(1, true);
  Login(&p.peer, p.own);
  if (p.peer != nullptr) keys.fill(p.peer, 0, false);
}

// The client answers: the server's session first, its own linked to it.
void make_client(const FuzzKeys& keys, Pair& p) {
  p.peer = keys.session(1, false);
  Login(&p.own, p.peer);
  if (p.own != nullptr) keys.fill(p.own, 0, true);
}

// Writes the due message of `from` and hands it to `to`.
bool pass(Pair& from, Pair& to) {
  uint8_t* out = nullptr;
  uint32_t capacity = 0, length = 0;
  bool ok = SystemMessage(from.own, from.peer, &out, &capacity, &length) < 16 &&
            read_block(to.peer, to.own, 70, out, length) < 16;
  skFree(out);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 << 16) return 0;
  const FuzzKeys& keys = FuzzKeys::get();
  uint8_t scenario = data[0] % 4;
  ++data;
  --size;
  Pair server, client;
  make_server(keys, server);
  make_client(keys, client);
  if (server.peer == nullptr || client.own == nullptr) return 0;
  switch (scenario) {
    case 0:
      read_block(client.peer, client.own, 70, data, size);
      break;
    case 1: {
      uint8_t* out = nullptr;
      uint32_t capacity = 0, length = 0;
      SystemMessage(server.own, server.peer, &out, &capacity, &length);
      skFree(out);
      read_block(server.peer, server.own, 70, data, size);
      break;
    }
    case 2:
      if (pass(server, client)) read_block(client.peer, client.own, 70, data, size);
      break;
    default:
      if (pass(server, client) && pass(client, server) && pass(server, client) && size > 0) {
        size_t cut = data[0] % size;
        read_block(client.peer, client.own, 0x804, data + 1, cut > 0 ? cut - 1 : 0);
        read_block(client.peer, client.own, 0x804, data + cut, size - cut);
      }
      break;
  }
  return 0;
}
