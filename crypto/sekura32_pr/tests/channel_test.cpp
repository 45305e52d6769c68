// The key exchange between an opening and an answering context of the
// plug-in, one handshake step per block as the transport runs them, and the
// data blocks protected with the context's flags afterwards.
#include <vector>

#include "plugin_fixture.h"

namespace kelda::sekura32_pr::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct Step {
  int32_t flags = 0;
  Bytes block;  // with CP_HANDSHAKE_SEND
  std::string error;
};

std::vector<CpapiPeerInfo> g_peers;
int32_t g_validator_answer = 1;
int32_t validate(const cp_provider_record*, uintptr_t, const CpapiPeerInfo* peer, uint32_t size, uintptr_t value1,
                 uintptr_t, char* error, uint32_t error_size) {
  EXPECT_EQ(size, sizeof(CpapiPeerInfo));
  EXPECT_EQ(value1, 77u);
  g_peers.push_back(*peer);
  if (g_validator_answer == 0) std::snprintf(error, error_size, "not our client");
  return g_validator_answer;
}

class Channel : public PluginTest {
 protected:
  // One side of the exchange: its context and the out block it keeps.
  struct Side {
    CpapiContext* context = nullptr;
    void* out = nullptr;
    uint32_t capacity = 0;
  };

  void SetUp() override {
    PluginTest::SetUp();
    std::string error;
    server.context = context(3, connect_params("KeldaServer", "server", ""), &error);
    ASSERT_NE(server.context, nullptr) << error;
    client.context = context(4, connect_params("demo", "demo", "KeldaServer"), &error);
    ASSERT_NE(client.context, nullptr) << error;
  }
  void TearDown() override {
    for (Side* side : {&server, &client}) {
      PLUGIN(CPAPI_FreeMemory)(side->out);
      free_context(side->context);
    }
    PluginTest::TearDown();
  }

  Step step(Side& side, const Bytes* input = nullptr) {
    char error[256] = "";
    uint32_t length = side.capacity;
    Step s;
    s.flags = PLUGIN(CPAPI_HandShake)(nullptr, side.context, 0, input != nullptr ? input->data() : nullptr,
                                      input != nullptr ? static_cast<uint32_t>(input->size()) : 0, &side.out,
                                      &length, 0, 0, 77, 0, error, sizeof error);
    s.error = error;
    if (s.flags & CP_HANDSHAKE_SEND) {
      const auto* b = static_cast<const uint8_t*>(side.out);
      s.block.assign(b, b + length);
    } else {
      side.capacity = std::max(side.capacity, length);
    }
    return s;
  }

  Bytes crypt(bool encrypt, Side& side, const Bytes& data, std::string* error_out = nullptr) {
    void* out = nullptr;
    uint32_t length = 0;
    char error[256] = "";
    auto* fn = encrypt ? PLUGIN(CPAPI_EnCryptData) : PLUGIN(CPAPI_DeCryptData);
    const int32_t r = fn(side.context, data.data(), static_cast<uint32_t>(data.size()), &out, &length, 0, 0, 0, 0,
                         error, sizeof error);
    Bytes result;
    if (r == CP_CRYPT_DONE && out != nullptr) result.assign(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + length);
    PLUGIN(CPAPI_FreeMemory)(out);
    EXPECT_TRUE(r == CP_CRYPT_DONE || error_out != nullptr) << error;
    if (error_out != nullptr) *error_out = r == CP_CRYPT_DONE ? "" : error;
    return result;
  }

  const Bytes& answer_opening_block() {
    answer_ = answer_opening();
    return answer_;
  }
  // The opening message from the server, answered by the client.
  Bytes answer_opening() {
    EXPECT_EQ(step(client).flags, CP_HANDSHAKE_NEED_INPUT);
    const Step opening = step(server);
    EXPECT_EQ(opening.flags, CP_HANDSHAKE_SEND) << opening.error;
    const Step answer = step(client, &opening.block);
    EXPECT_EQ(answer.flags, CP_HANDSHAKE_SEND) << answer.error;
    EXPECT_EQ(step(client).flags, CP_HANDSHAKE_NEED_INPUT) << "nothing more to send before the closing message";
    return answer.block;
  }

  void set_channel_mode(Side& side) {
    EXPECT_EQ(PLUGIN(CPAPI_SetContextParam)(side.context, CP_CONTEXT_PARAM_PROTECT_FLAGS, 2052, 0, 0, nullptr, 0), 1);
  }

  Side server, client;
  Bytes answer_;
};

// Runs first: no validator is registered yet in the process.
TEST_F(Channel, TheOpeningSideNeedsAValidatorThatApprovesThePeer) {
  Step closing = step(server, &answer_opening_block());
  EXPECT_EQ(closing.flags, CP_HANDSHAKE_ERROR);
  EXPECT_EQ(closing.error, "Key validator function is absent ");
}

TEST_F(Channel, APeerTheValidatorRefusesEndsTheExchangeWithItsText) {
  char error[128] = "";
  ASSERT_EQ(PLUGIN(CPAPI_SetKeyHandler)(CP_KEY_HANDLER_VALIDATOR, reinterpret_cast<CpapiKeyHandler>(&validate), 0, 0,
                                        0, 0, error, sizeof error),
            1);
  g_validator_answer = 0;
  const Step closing = step(server, &answer_opening_block());
  EXPECT_EQ(closing.flags, CP_HANDSHAKE_ERROR);
  EXPECT_EQ(closing.error, "not our client");
  g_validator_answer = 1;
}

TEST_F(Channel, ARefusedBlockChangesNothingAndTheCorrectOneIsTakenAfterIt) {
  char error[128] = "";
  ASSERT_EQ(PLUGIN(CPAPI_SetKeyHandler)(CP_KEY_HANDLER_VALIDATOR, reinterpret_cast<CpapiKeyHandler>(&validate), 0, 0,
                                        0, 0, error, sizeof error),
            1);
  g_validator_answer = 1;
  g_peers.clear();
  const Bytes answer = answer_opening();
  Bytes broken = answer;
  broken[broken.size() / 2] ^= 0x20;
  Step refused = step(server, &broken);
  EXPECT_EQ(refused.flags, CP_HANDSHAKE_ERROR);
  EXPECT_EQ(refused.error.rfind("Protection violation ", 0), 0u) << refused.error;
  const Bytes garbage = {1, 2, 3};
  EXPECT_EQ(step(server, &garbage).flags, CP_HANDSHAKE_ERROR);

  const Step closing = step(server, &answer);
  ASSERT_EQ(closing.flags, CP_HANDSHAKE_DONE | CP_HANDSHAKE_SEND) << closing.error;
  ASSERT_EQ(g_peers.size(), 1u);
  EXPECT_EQ(g_peers[0].version, 1u);
  EXPECT_EQ(g_peers[0].user_id, 1) << "demo's user id in the key ring";
  const Step done = step(client, &closing.block);
  EXPECT_EQ(done.flags, CP_HANDSHAKE_DONE) << done.error;
  EXPECT_TRUE(done.block.empty());

  // The first block in message mode, then channel mode both ways: escapes
  // doubled, nothing else added.
  const Bytes first = {'L', 'A', 'Y', 'O', 'U', 'T'};
  const Bytes wire = crypt(true, client, first);
  EXPECT_GT(wire.size(), first.size() + 20) << "packets around the data";
  EXPECT_EQ(crypt(false, server, wire), first);
  set_channel_mode(client);
  set_channel_mode(server);
  const Bytes data = {0x1B, 'a', 0x1B, 0x1B, 'b'};
  for (int round = 0; round < 3; ++round) {
    const Bytes up = crypt(true, client, data);
    EXPECT_EQ(up.size(), data.size() + 3);
    EXPECT_EQ(crypt(false, server, up), data);
    const Bytes down = crypt(true, server, data);
    EXPECT_NE(down, up) << "each direction has its own cipher state";
    EXPECT_EQ(crypt(false, client, down), data);
  }
  std::string text;
  uint32_t forged[16] = {SEKURA32_PR_CONTEXT_TAG};
  Side bad{reinterpret_cast<CpapiContext*>(forged)};
  crypt(true, bad, data, &text);
  EXPECT_EQ(text, "Wrong crypto context info");
}

}  // namespace
}  // namespace kelda::sekura32_pr::testing
