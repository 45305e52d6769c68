#include "kit/kit_state.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(KitState, LocksExistBetweenInitAndUninit) {
  EXPECT_EQ(kelda::kit::kit_lock_a(), kelda::kit::kWaitFailed);
  EXPECT_EQ(kelda::kit::kit_unlock_a(), 0);
  kelda::kit::kit_init(0x19, 0x01, 0x01, 7);
  for (auto [lock, unlock] : {std::pair{&kelda::kit::kit_lock_a, &kelda::kit::kit_unlock_a},
                              std::pair{&kelda::kit::kit_lock_b, &kelda::kit::kit_unlock_b},
                              std::pair{&kelda::kit::kit_lock_c, &kelda::kit::kit_unlock_c}}) {
    EXPECT_EQ(lock(), 0u);
    EXPECT_EQ(lock(), 0u);  // recursive
    EXPECT_EQ(unlock(), 1);
    EXPECT_EQ(unlock(), 1);
    EXPECT_EQ(unlock(), 0);  // not held any more
  }
  kelda::kit::kit_uninit();
  EXPECT_EQ(kelda::kit::kit_lock_b(), kelda::kit::kWaitFailed);
}

TEST(KitState, LocksExcludeOtherThreads) {
  kelda::kit::kit_init(0x09, 0x01, 0x01, 0);
  long counter = 0;  // unprotected but for lock B
  auto work = [&counter] {
    for (int i = 0; i < 20000; ++i) {
      ASSERT_EQ(kelda::kit::kit_lock_b(), 0u);
      ++counter;
      ASSERT_EQ(kelda::kit::kit_unlock_b(), 1);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);

  ASSERT_EQ(kelda::kit::kit_lock_c(), 0u);
  int foreign_unlock = -1;
  std::thread([&foreign_unlock] { foreign_unlock = kelda::kit::kit_unlock_c(); }).join();
  EXPECT_EQ(foreign_unlock, 0);  // only the holder releases
  EXPECT_EQ(kelda::kit::kit_unlock_c(), 1);
  kelda::kit::kit_uninit();
}

TEST(KitState, UninitLetsGoOfAForeignResourceModule) {
  kelda::kit::ResourceTable own, other;
  kelda::kit::set_library_module(&own);
  kelda::kit::kit_init(0x09, 0x01, 0x01, 0);
  kelda::kit::kit_uninit();
  EXPECT_EQ(kelda::kit::resource_module(), &own);  // its own module stays

  kelda::kit::set_resource_module(&other);
  kelda::kit::kit_init(0x09, 0x01, 0x01, 0);
  kelda::kit::kit_uninit();
  EXPECT_EQ(kelda::kit::resource_module(), nullptr);
  EXPECT_EQ(kelda::kit::own_module(), &own);
  kelda::kit::set_library_module(nullptr);
}

}  // namespace
