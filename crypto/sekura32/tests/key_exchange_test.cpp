// The channel key exchange between two machines' session pairs in one
// process: the server opens (its own session first, the client's session
// made by Login and learnt from the first signed message), the client answers
// (the server's session first, its own linked to it). Then data in message
// mode and in channel mode both ways, and refused exchange messages that
// leave the pair as it was.
#include "message_fixture.h"

namespace kelda::sekura32::testing {
namespace {

constexpr uint32_t kProviderFlags = 70;     // digest, encipher, numbered
constexpr uint32_t kChannelFlags = 0x804;   // channel mode, encipher

struct Pair {
  SkSession* own = nullptr;
  SkSession* peer = nullptr;
};

// What a refused message must leave alone.
struct Snapshot {
  int32_t sent[2], received[2], sequence[2];
  bool has_key[2];
  uint8_t key[2][16];
  const void* channel[2];
  explicit Snapshot(const Pair& p) {
    SkSession* s[2] = {p.own, p.peer};
    for (int k = 0; k < 2; ++k) {
      sent[k] = s[k]->sent;
      received[k] = s[k]->received;
      sequence[k] = s[k]->sequence;
      has_key[k] = s[k]->key != nullptr;
      if (has_key[k]) std::memcpy(key[k], s[k]->key, 16);
      channel[k] = s[k]->channel;
    }
  }
  bool operator==(const Snapshot& o) const {
    for (int k = 0; k < 2; ++k) {
      if (sent[k] != o.sent[k] || received[k] != o.received[k] || sequence[k] != o.sequence[k] ||
          has_key[k] != o.has_key[k] || channel[k] != o.channel[k] ||
          (has_key[k] && std::memcmp(key[k], o.key[k], 16) != 0))
        return false;
    }
    return true;
  }
};

class KeyExchange : public MessageRings {
 protected:
  void SetUp() override {
    // Server: own first, the unknown peer linked to it (it opens).
    ASSERT_EQ(LogMan(&server.own, "Server", nullptr, ""), SK_OK);
    keep(server.own);
    ASSERT_EQ(Login(&server.peer, server.own), SK_EXCHANGE_INCOMPLETE);
    keep(server.peer);
    // Client: the server's public key first, its own linked to it (it answers).
    ASSERT_EQ(LogMan(&client.peer, "Server", nullptr, nullptr), SK_OK);
    keep(client.peer);
    ASSERT_EQ(LogMan(&client.own, "Ivanov", client.peer, ""), SK_EXCHANGE_INCOMPLETE);
    keep(client.own);
  }

  // Hands a block to the receiving pair as the provider does.
  static uint32_t receive(const Pair& at, const Buffer& block, Buffer* data = nullptr, uint32_t flags = kProviderFlags) {
    Buffer out;
    uint32_t result = unprotect(at.peer, at.own, &flags, block, &out);
    if (data != nullptr) *data = out;
    return result;
  }
  static Buffer send(const Pair& from) {
    Buffer block;
    EXPECT_LT(system_message(from.own, from.peer, &block), 16u);
    return block;
  }

  // A signed, numbered message with a body of our choosing, as the exchange
  // writes it, from `signer` to a recipient whose next number is `next`.
  Buffer forged(const char* signer, const char* recipient, int32_t next, uint32_t flags, const Buffer& body) {
    SkSession* from = user(signer, true);
    SkSession* to = user(recipient, false);
    to->sequence = next - 1;
    Buffer block;
    EXPECT_EQ(protect(from, to, flags, body, &block), SK_OK);
    return block;
  }

  Pair server, client;
};

TEST_F(KeyExchange, ThreeMessagesGiveBothMachinesOneKeyAndAChannelEachWay) {
  EXPECT_EQ(HaveSystemMessage(client.peer), 0);
  Buffer none;
  EXPECT_EQ(system_message(client.own, client.peer, &none), SK_SESSION_BUSY);
  EXPECT_EQ(HaveSystemMessage(server.peer), 65);
  Buffer dummy;
  EXPECT_EQ(protect(server.own, server.peer, 0, Buffer{1}, &dummy), SK_FLAGS_NOT_ALLOWED);

  Buffer m65 = send(server);
  EXPECT_EQ(receive(client, m65), SK_EXCHANGE_INCOMPLETE);
  EXPECT_EQ(HaveSystemMessage(client.peer), 66);
  Buffer m66 = send(client);
  EXPECT_EQ(HaveSystemMessage(client.peer), 0);
  EXPECT_EQ(HaveSystemMessage(server.peer), 0);
  EXPECT_EQ(receive(server, m66), SK_EXCHANGE_INCOMPLETE);
  // The server learnt who the client is from the signature of 66.
  const char* name = nullptr;
  int32_t user_id = 0;
  skChanInfo(server.peer, &name, nullptr, nullptr, nullptr, &user_id, nullptr, nullptr);
  EXPECT_STREQ(name, "Ivanov");
  EXPECT_EQ(user_id, 1);
  EXPECT_EQ(HaveSystemMessage(server.peer), 67);
  Buffer m67 = send(server);
  EXPECT_EQ(receive(client, m67), SK_OK);

  for (SkSession* s : {server.own, server.peer, client.own, client.peer}) {
    EXPECT_EQ(skChanInfo(s, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), SK_OK);
    ASSERT_NE(s->key, nullptr);
    EXPECT_EQ(std::memcmp(s->key, server.own->key, 16), 0);
    ASSERT_NE(s->channel, nullptr);
    EXPECT_EQ(s->channel->tag, SK_CHANNEL_TABLE);
    EXPECT_EQ(s->channel->started, 1u);
  }
  EXPECT_EQ(HaveSystemMessage(server.peer), 0);

  // The first message after the exchange in message mode, the rest in
  // channel mode; an escape byte travels doubled.
  Buffer hello{'h', 'i', 0x1B, '!'}, block, got;
  ASSERT_EQ(protect(client.own, client.peer, kProviderFlags, hello, &block), SK_OK);
  ASSERT_EQ(receive(server, block, &got), SK_OK);
  EXPECT_EQ(got, hello);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(protect(client.own, client.peer, kChannelFlags, hello, &block), SK_OK);
    EXPECT_EQ(block.size(), hello.size() + 1);
    ASSERT_EQ(receive(server, block, &got, kChannelFlags), SK_OK);
    EXPECT_EQ(got, hello);
    ASSERT_EQ(protect(server.own, server.peer, kChannelFlags, hello, &block), SK_OK);
    ASSERT_EQ(receive(client, block, &got, kChannelFlags), SK_OK);
    EXPECT_EQ(got, hello);
  }
}

TEST_F(KeyExchange, RefusedMessagesLeaveThePairAsItWasAndTheCorrectResendSucceeds) {
  Buffer m65 = send(server);
  Snapshot fresh(client);
  // A 65 with a 17-byte body, well signed and rightly numbered.
  Buffer long65 = forged("Server", "Ivanov", -1, 0x41, Buffer(17, 7));
  EXPECT_EQ(receive(client, long65), SK_BAD_FORMAT);
  EXPECT_TRUE(Snapshot(client) == fresh);
  Buffer broken = m65;
  broken.back() ^= 1;
  EXPECT_EQ(receive(client, broken), SK_BAD_SIGNATURE);
  EXPECT_TRUE(Snapshot(client) == fresh);
  ASSERT_EQ(receive(client, m65), SK_EXCHANGE_INCOMPLETE);

  Buffer m66 = send(client);
  Snapshot waiting(server);
  // A 66 whose echo is not the key the server sent in 65.
  Buffer echo(32, 0);
  Buffer wrong66 = forged("Ivanov", "Server", 0, 0x49, echo);
  EXPECT_EQ(receive(server, wrong66), SK_ECHO_MISMATCH);
  EXPECT_TRUE(Snapshot(server) == waiting);
  EXPECT_EQ(server.peer->user.n, nullptr);  // the peer learnt from a refused message is forgotten
  Buffer cut(m66.begin(), m66.end() - 1);
  EXPECT_GE(receive(server, cut), 16u);
  EXPECT_TRUE(Snapshot(server) == waiting);
  EXPECT_GE(receive(server, m65), 16u);  // out of turn
  EXPECT_TRUE(Snapshot(server) == waiting);
  ASSERT_EQ(receive(server, m66), SK_EXCHANGE_INCOMPLETE);

  Buffer m67 = send(server);
  EXPECT_GE(receive(client, m66), 16u);
  ASSERT_EQ(receive(client, m67), SK_OK);
  EXPECT_EQ(receive(client, m67), SK_NUMBER_SEEN);  // a replay once the exchange is over
}

}  // namespace
}  // namespace kelda::sekura32::testing
