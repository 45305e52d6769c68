// Connections set up and code messages on several threads at once: the
// shared layouts get their alignment written by every set-up while others
// encode and decode with them.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "zn_de/codec.h"

namespace kelda::de {
namespace {

MessageLayout kInner[] = {0, ZN_FIELD_INT64, ZN_FIELD_ARRAY(9), ZN_FIELD_CHAR, 0};
MessageLayout kOuter[] = {0, ZN_FIELD_INT16, ZN_FIELD_COUNTED_ARRAY(5), ZN_FIELD_NESTED(kInner), 0};
const MessageLayoutEntry kTable[] = {{0x42, kOuter, 3}, {0, nullptr, 0}};

struct Inner {
  int64_t value;
  char text[9];
};
struct Outer {
  int16_t kind;
  uint16_t count;
  Inner items[5];
};

TEST(CodecThreads, ConnectionsCodeAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < 200; ++round) {
        auto registry = LayoutRegistry::build(kTable, "thread");
        if (!registry) {
          ++failures[static_cast<std::size_t>(t)];
          continue;
        }
        Outer sent;
        std::memset(&sent, 0, sizeof sent);
        sent.kind = static_cast<int16_t>(t);
        sent.count = 2;
        sent.items[1].value = round;
        std::strcpy(sent.items[1].text, "\xC0\xE1");
        std::vector<uint8_t> block(kWorkAreaSize);
        auto length = pack_message(registry.value(), 0x42, &sent, true, block);
        if (!length) {
          ++failures[static_cast<std::size_t>(t)];
          continue;
        }
        block.resize(length.value());
        auto received = decode_message(registry.value(), block);
        if (!received || !received.value() ||
            std::memcmp(received.value()->record.get(), &sent, received.value()->size) != 0) {
          ++failures[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(kOuter[0], 8);
}

}  // namespace
}  // namespace kelda::de
