// Sessions: opening with named users from the default rings, linking pairs,
// the exchange state walk, closing, stale handles and the channel key.
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "md5.h"
#include "session.h"

namespace kelda::sekura32 {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytes_of(SkStream* s) {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  skLookMemStream(s, &buffer, nullptr, &length, nullptr);
  return std::vector<uint8_t>(buffer, buffer + length);
}

// Default rings in a folder of their own holding one 1,024-bit key.
class Sessions : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sekura32_sessions_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    for (int slot : {SK_SETTING_SECRET_RING, SK_SETTING_PUBLIC_RING}) saved[slot] = skSettings[slot];
    secret = (dir / "secring.txk").string();
    pub = (dir / "pubring.bkr").string();
    skSettings[SK_SETTING_SECRET_RING] = secret.data();
    skSettings[SK_SETTING_PUBLIC_RING] = pub.data();
    uint32_t bits = 1024;
    SkStream* s = skTempMemStream();
    SkStream* p = skTempMemStream();
    ASSERT_EQ(skGenKey(id, nullptr, &bits, s, p, nullptr, nullptr), SK_OK);
    std::vector<uint8_t> sp = bytes_of(s), pp = bytes_of(p);
    s->close(s);
    p->close(p);
    ASSERT_EQ(skPutUser(nullptr, "Ivanov", id, 1, 0, 1, bits, sp.data(), uint32_t(sp.size())), SK_OK);
    ASSERT_EQ(skPutUser(nullptr, "Ivanov", id, 1, 0, 0, bits, pp.data(), uint32_t(pp.size())), SK_OK);
  }
  void TearDown() override {
    for (int slot : {SK_SETTING_SECRET_RING, SK_SETTING_PUBLIC_RING}) skSettings[slot] = saved[slot];
    fs::remove_all(dir);
  }
  fs::path dir;
  std::string secret, pub;
  char* saved[2] = {};
  uint8_t id[8] = {};
};

TEST_F(Sessions, UsersAreOpenedFromTheDefaultRingsAndClosedOnce) {
  SkSession* own = nullptr;
  ASSERT_EQ(LogMan(&own, "Ivanov", nullptr, ""), SK_OK);
  const char* name = nullptr;
  UserRecord* user = nullptr;
  int32_t user_id = 0;
  EXPECT_EQ(skChanInfo(own, &name, nullptr, nullptr, nullptr, &user_id, nullptr, &user), SK_OK);
  EXPECT_STREQ(name, "Ivanov");
  EXPECT_NE(user->d, nullptr);
  EXPECT_STREQ(user->extra, secret.c_str());
  char hex[17] = {};
  ASSERT_EQ(skGetKeyId(own, hex), SK_OK);
  char expected[17];
  for (int k = 0; k < 8; ++k) std::snprintf(expected + 2 * k, 3, "%02X", id[k]);
  EXPECT_STREQ(hex, expected);

  void* peer = nullptr;
  ASSERT_EQ(LogUser(&peer, id, nullptr, nullptr), SK_OK);
  EXPECT_EQ(skChanInfo(static_cast<SkSession*>(peer), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &user),
            SK_OK);
  EXPECT_EQ(user->d, nullptr);
  void* missing = &peer;
  EXPECT_EQ(LogUser(&missing, nullptr, "Nobody", nullptr), SK_NOT_FOUND);
  EXPECT_EQ(missing, nullptr);
  SkSession* refused = own;
  EXPECT_EQ(LogMan(&refused, "Petrov", nullptr, ""), SK_NOT_FOUND);
  EXPECT_EQ(refused, own);

  EXPECT_EQ(LogOut(own), SK_OK);
  EXPECT_EQ(LogOut(static_cast<SkSession*>(peer)), SK_OK);
  EXPECT_EQ(LogOut(nullptr), SK_OK);
  // Closed handles, and anything that never was one, are refused unread.
  EXPECT_EQ(LogOut(own), SK_BAD_HANDLE);
  uint32_t not_a_session[16] = {SK_SESSION_TAG};
  auto* forged = reinterpret_cast<SkSession*>(not_a_session);
  EXPECT_EQ(LogOut(forged), SK_BAD_HANDLE);
  EXPECT_EQ(skGetKeyId(own, hex), SK_BAD_HANDLE);
  EXPECT_EQ(ChanPassword(own, "x", 1), SK_BAD_HANDLE);
  EXPECT_EQ(skChanInfo(forged, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), SK_BAD_HANDLE);
  EXPECT_EQ(HaveSystemMessage(own), -1);
  EXPECT_EQ(HaveSystemMessage(nullptr), -1);
}

TEST_F(Sessions, PairsLinkOnceAndWalkTheExchange) {
  SkSession *peer = nullptr, *own = nullptr, *third = nullptr;
  ASSERT_EQ(Login(&peer, nullptr), SK_OK);
  EXPECT_EQ(HaveSystemMessage(peer), 0);
  EXPECT_EQ(skChanInfo(peer, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), SK_OK);
  ASSERT_EQ(LogMan(&own, "Ivanov", peer, ""), SK_EXCHANGE_INCOMPLETE);
  SkSession* partner = nullptr;
  int32_t sent = 0, received = 0;
  EXPECT_EQ(skChanInfo(own, nullptr, &partner, &sent, &received, nullptr, nullptr, nullptr), SK_EXCHANGE_INCOMPLETE);
  EXPECT_EQ(partner, peer);
  EXPECT_EQ(sent, -1);
  EXPECT_EQ(received, -2);
  EXPECT_EQ(skChanInfo(peer, nullptr, &partner, &sent, &received, nullptr, nullptr, nullptr), SK_EXCHANGE_INCOMPLETE);
  EXPECT_EQ(partner, own);
  EXPECT_EQ(sent, -2);
  EXPECT_EQ(received, -1);
  // A partner already linked is refused and no handle escapes.
  third = reinterpret_cast<SkSession*>(&sent);
  EXPECT_EQ(Login(&third, peer), SK_SESSION_BUSY);
  EXPECT_EQ(third, reinterpret_cast<SkSession*>(&sent));
  EXPECT_EQ(LogMan(&third, "Ivanov", own, ""), SK_SESSION_BUSY);

  // The worked trace: own session U with the peer's session S as partner.
  int32_t code = -1;
  EXPECT_EQ(channel_state(own, peer, &code), SK_SESSION_BUSY);  // the peer speaks first
  EXPECT_EQ(channel_state(peer, own, &code), SK_OK);
  EXPECT_EQ(code, 65);
  EXPECT_EQ(HaveSystemMessage(own), 65);
  ++peer->sent, ++own->received;  // the peer's 65 accepted
  EXPECT_EQ(channel_state(own, peer, &code), SK_OK);
  EXPECT_EQ(code, 66);
  EXPECT_EQ(HaveSystemMessage(peer), 66);
  ++own->sent, ++peer->received;  // 66 sent
  EXPECT_EQ(channel_state(own, peer, &code), SK_SESSION_BUSY);
  EXPECT_EQ(channel_state(peer, own, &code), SK_OK);
  EXPECT_EQ(code, 67);
  ++peer->sent, ++own->received;  // the peer's 67 accepted
  EXPECT_EQ(channel_state(own, peer, &code), SK_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(skChanInfo(own, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), SK_OK);
  EXPECT_EQ(skChanInfo(peer, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), SK_OK);

  // Closing one side leaves the other unlinked but not reusable.
  ASSERT_EQ(LogOut(peer), SK_OK);
  EXPECT_EQ(skChanInfo(own, nullptr, &partner, nullptr, nullptr, nullptr, nullptr, nullptr), SK_OK);
  EXPECT_EQ(partner, nullptr);
  EXPECT_EQ(channel_state(own, nullptr, &code), SK_SESSION_BUSY);
  EXPECT_EQ(LogOut(own), SK_OK);
}

TEST_F(Sessions, ChannelPasswordKeysAndRestartsTheChannel) {
  SkSession* session = nullptr;
  ASSERT_EQ(Login(&session, nullptr), SK_OK);
  ASSERT_EQ(ChanPassword(session, "first", 0), SK_OK);
  void* channel = &channel;
  EXPECT_EQ(skChanInfo(session, nullptr, nullptr, nullptr, nullptr, nullptr, &channel, nullptr), SK_OK);
  EXPECT_EQ(channel, nullptr);
  uint8_t* key = session->key;
  uint8_t digest[16];
  md5_buffer("first", 5, digest);
  EXPECT_EQ(0, std::memcmp(key, digest, 16));

  ASSERT_EQ(ChanPassword(session, "second", 1), SK_OK);
  auto* made = session->channel;
  ASSERT_NE(made, nullptr);
  made->started = 1;
  made->count = 99;
  made->pending_length = 3;
  ASSERT_EQ(ChanPassword(session, "third", 1), SK_OK);
  EXPECT_EQ(session->key, key);
  EXPECT_EQ(session->channel, made);
  md5_buffer("third", 5, digest);
  EXPECT_EQ(0, std::memcmp(key, digest, 16));
  EXPECT_EQ(made->tag, SK_CHANNEL_IDEA);
  EXPECT_EQ(made->started, 0u);
  EXPECT_EQ(made->count, 0u);
  EXPECT_EQ(made->pending_length, 0u);
  IdeaCfbContext fresh{};
  idea_cfb_key(fresh, digest);
  EXPECT_EQ(0, std::memcmp(fresh.subkeys, made->idea.subkeys, sizeof fresh.subkeys));
  EXPECT_EQ(ChanPassword(session, nullptr, 1), SK_BAD_ARGUMENT);
  EXPECT_EQ(LogOut(session), SK_OK);
}

}  // namespace
}  // namespace kelda::sekura32
