// Multi-part server messages and named blocks through the library's handler
// table to the caller's events, and the parameter history they carry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library_fixture.h"
#include "messages/records_feeds.h"
#include "multipart/multipart.h"

namespace kelda::kelapi::test {
namespace {

struct Seen {
  uint32_t code;
  uint32_t first, second;
  std::string name, data;
};
std::vector<Seen> g_seen;

int copy_event(uint32_t code, uintptr_t w, uintptr_t l) {
  if (code == KELAPI_EVENT_SERVERMESSAGE || code == KELAPI_EVENT_DATABLOCK) {
    // Both carry 0 in wparam and their record in lparam.
    EXPECT_EQ(w, 0u) << code;
    if (w != 0 || l == 0) {
      g_seen.push_back({code, 0xBAD, 0xBAD, "", ""});
      return 0;
    }
  }
  if (code == KELAPI_EVENT_SERVERMESSAGE) {
    const auto* m = reinterpret_cast<const KelapiServerMessage*>(l);
    g_seen.push_back({code, m->code, 0, "", std::string(reinterpret_cast<const char*>(m->data), m->length)});
  } else if (code == KELAPI_EVENT_DATABLOCK) {
    const auto* b = reinterpret_cast<const KelapiDataBlock*>(l);
    g_seen.push_back({code, b->first_word, b->second_word, std::string(b->name, b->name_length),
                      std::string(reinterpret_cast<const char*>(b->data), b->data_length)});
  } else if (code == KELAPI_EVENT_NEWDATA) {
    g_seen.push_back({code, static_cast<uint32_t>(w), 0, "", ""});
  }
  return 0;
}

class MultipartTest : public LibraryTest {
 protected:
  void start() {
    ASSERT_EQ(init(), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last", "QTY"});
    end_class_lists();
    g_seen.clear();
    ASSERT_EQ(KelapiSetEventCallback(copy_event), KELAPI_OK);
  }

  void part(int32_t code, int16_t flags, const std::string& data) {
    Msg00EE_ServerMessagePart m{};
    m.code = code;
    m.flags = flags;
    m.data_count = static_cast<uint16_t>(data.size());
    std::memcpy(m.data, data.data(), data.size());
    net->deliver(0xEE, m);
  }
};

TEST_F(MultipartTest, CompleteMessagesAndBlocksReachTheCaller) {
  start();
  part(77, 5, "at once");
  part(78, 1, "two ");
  part(78, 4, "parts");
  part(21, 5, "dropped");
  Msg8090_NamedBlockFirst first{};
  first.block_id = 3;
  first.request_word = 12;
  first.flags = 1;
  first.data_count = 2;
  std::memcpy(first.data, "ab", 2);
  first.name_count = 5;
  std::memcpy(first.name, "rules", 5);
  net->deliver(0x8090, first);
  Msg8091_NamedBlockPart rest{};
  rest.block_id = 3;
  rest.flags = 4;
  rest.data_count = 1;
  rest.data[0] = 'c';
  net->deliver(0x8091, rest);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[0].first, 77u);
  EXPECT_EQ(g_seen[0].data, "at once");
  EXPECT_EQ(g_seen[1].data, "two parts");
  EXPECT_EQ(g_seen[2].code, static_cast<uint32_t>(KELAPI_EVENT_DATABLOCK));
  EXPECT_EQ(g_seen[2].first, 12u);
  EXPECT_EQ(g_seen[2].second, 3u);
  EXPECT_EQ(g_seen[2].name, "rules");
  EXPECT_EQ(g_seen[2].data, "abc");
}

TEST_F(MultipartTest, AParameterHistoryReplyFeedsTheValueStore) {
  start();
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);  // while connected no history was asked for
  auto word = [](std::vector<uint8_t>& b, int32_t v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    b.insert(b.end(), p, p + 4);
  };
  std::vector<uint8_t> reply;
  for (int32_t w : {9, 0x2, 1000, 1}) word(reply, w);  // request, integers, AAA, slot of QTY
  for (int32_t w : {50, 100000, 7, -1, 0, 51, 100001, 8, 52}) word(reply, w);  // the last entry is cut short
  std::vector<uint8_t> text_reply;
  for (int32_t w : {10, 0x1, 1000, 1}) word(text_reply, w);
  text_reply.push_back(0xFE);  // a negative length: a failed read
  text_reply.push_back(0xFF);
  {
    LibraryLock lock(*lib);
    lib->params.get(0, 1)->in_filter = 1;  // values are kept for filtered parameters only
    on_server_message_part(*lib, 30, 5, text_reply);
    on_server_message_part(*lib, 30, 5, reply);
  }
  ASSERT_EQ(g_seen.size(), 2u);
  uint32_t c, s, t;
  KelapiValueRecord v[64];
  ASSERT_EQ(KelapiGetDataEx(52, &c, &s, &t, v), KELAPI_OK);
  EXPECT_EQ(t, 100001u);
  EXPECT_STREQ(v[0].db_name, "QTY");
  EXPECT_EQ(v[0].value, 8 * 0.1 * 0.1);
  EXPECT_EQ(KelapiGetDataEx(53, &c, &s, &t, v), KELAPI_E_INVALIDARG);
  LibraryLock lock(*lib);
  ASSERT_EQ(lib->values.history.size(), 1u);
  EXPECT_EQ(lib->values.history[0].first, 50);
  EXPECT_EQ(lib->values.history[0].last, 51);
}

}  // namespace
}  // namespace kelda::kelapi::test
