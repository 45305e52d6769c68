// Key lookups and stores on several threads: each search keeps its own
// callback and ring positions, and the shared index cache hands every thread
// a whole index.
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sekura32/sekura32.h"

namespace {

std::vector<uint8_t> bytes_of(SkStream* s) {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  skLookMemStream(s, &buffer, nullptr, &length, nullptr);
  return std::vector<uint8_t>(buffer, buffer + length);
}

// A callback of the caller's own that stops at the first candidate.
uint32_t stop_at_first(void* search, const char*, const uint8_t*, int32_t, uint32_t, int32_t, uint32_t, SkStream*,
                       uint32_t) {
  static_cast<SkKeySearch*>(search)->result = 0;
  return SK_STOP_SEARCH;
}

TEST(KeyRingThreads, SearchesAndStoresOnTwoThreadsDoNotMeet) {
  char pattern[] = "/tmp/sekura32_ring_threads_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::filesystem::path dir = pattern;
  std::string text = (dir / "pubring.txk").string(), binary = (dir / "pubring.bkr").string();
  uint32_t bits = 512;
  uint8_t id[8];
  SkStream* s = skTempMemStream();
  SkStream* p = skTempMemStream();
  ASSERT_EQ(skGenKey(id, nullptr, &bits, s, p, nullptr, nullptr), SK_OK);
  std::vector<uint8_t> pub = bytes_of(p);
  s->close(s);
  p->close(p);
  for (const std::string& ring : {text, binary})
    ASSERT_EQ(skPutUser(ring.c_str(), "Smirnov", id, 3, 0, 0, bits, pub.data(), uint32_t(pub.size())), SK_OK);

  constexpr int kRounds = 40;
  std::atomic<int> failures{0};
  const char* texts[] = {"Smirnov"};
  // Stores of the same key compare it with the ring's entry (the text-ring
  // writer's comparing check) while lookups run on their own callback.
  std::thread storer([&] {
    for (int i = 0; i < kRounds; ++i)
      for (const std::string& ring : {text, binary})
        if (skPutUser(ring.c_str(), "Smirnov", id, 3, 0, 0, bits, pub.data(), uint32_t(pub.size())) != SK_OK)
          ++failures;
  });
  std::thread looker([&] {
    for (int i = 0; i < kRounds; ++i) {
      UserRecord user;
      skIniUser(&user);
      std::string both = text + "|" + binary;
      if (skGetUser(both.c_str(), texts, 1, id, &user, 0, nullptr, 0) != SK_OK || user.n == nullptr) ++failures;
      skBurnUser(&user);
    }
  });
  storer.join();
  looker.join();
  EXPECT_EQ(failures.load(), 0);

  // A caller's callback installed for one search does not leak into others.
  SkKeyIsFunction previous = StoreKeyIsCallback(&stop_at_first);
  UserRecord user;
  skIniUser(&user);
  EXPECT_EQ(skGetUser(text.c_str(), texts, 1, nullptr, &user, 0, nullptr, 0), SK_STOP_SEARCH);
  EXPECT_EQ(user.n, nullptr);
  StoreKeyIsCallback(previous);
  EXPECT_EQ(skGetUser(text.c_str(), texts, 1, nullptr, &user, 0, nullptr, 0), SK_OK);
  skBurnUser(&user);
  std::filesystem::remove_all(dir);
}

}  // namespace
