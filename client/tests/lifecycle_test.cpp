// The frame of the library: initialise and uninitialise, the state tests of
// the exports, error texts, the version stamp and freeing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library_fixture.h"

namespace kelda::kelapi::test {
namespace {

class LifecycleTest : public LibraryTest {};

TEST_F(LifecycleTest, ExportsRefuseAnUninitialisedLibrary) {
  char error[256];
  KelapiClassRecord c{};
  KelapiSecurityRecord s{};
  KelapiClassParamRecord p{};
  const uint32_t mode = 1;
  const KelapiResult results[] = {
      KelapiUninitialize(),
      KelapiSetLanguage(7, 2),
      KelapiSetApplicationMode(&mode),
      KelapiSetTransSignMode(1, "x"),
      KelapiConnect("u", "p", error),
      KelapiDisconnect(),
      KelapiBookClasses(),
      KelapiGetClassEx3(1, &c, sizeof c),
      KelapiGetClassSecuritiesEx3(1, &s, sizeof s),
      KelapiGetClassParamsEx(1, &p),
      KelapiSetClassFilterEx(1, 0, nullptr, 0, nullptr),
  };
  for (std::size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], KELAPI_E_NOT_INITIALIZED) << i;
}

TEST_F(LifecycleTest, InitialiseOnceWithItsPathsAndFlags) {
  EXPECT_EQ(KelapiInitializeEx3(0, "nowhere", "x.ini", 0x11), KELAPI_E_NOT_SUPPORTED);
  EXPECT_EQ(KelapiUninitialize(), KELAPI_E_NOT_INITIALIZED) << "a refused initialise leaves nothing behind";
  ASSERT_EQ(KelapiInitializeEx3(1, ".", "first.ini", 0x10), KELAPI_OK);
  EXPECT_EQ(KelapiInitializeEx2(1, "/elsewhere", "second.ini"), KELAPI_E_ALREADY_INITIALIZED);
  {
    LibraryLock lock(*lib);
    EXPECT_EQ(lib->work_dir(), ".");
    EXPECT_EQ(lib->settings_path(), "first.ini");
    EXPECT_EQ(lib->init_flags(), 0x10u);
  }
  EXPECT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(KelapiInitialize(1), KELAPI_OK);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->work_dir(), "");
  EXPECT_EQ(lib->init_flags(), 0u);
}

TEST_F(LifecycleTest, NullArgumentsAreRefused) {
  ASSERT_EQ(init(), KELAPI_OK);
  char error[256];
  EXPECT_EQ(KelapiSetApplicationMode(nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiConnect("u", "p", nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiConnect(nullptr, "p", error), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiConnect("u", nullptr, error), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetErrorDesc(nullptr, 0), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetVersion(nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiFree(nullptr), KELAPI_OK);
  int not_ours = 0;
  EXPECT_EQ(KelapiFree(&not_ours), KELAPI_OK) << "a block the library did not hand out is left alone";
}

TEST_F(LifecycleTest, TextsVersionAndAllocations) {
  char text[64];
  ASSERT_EQ(KelapiGetErrorDesc(text, KELAPI_E_ALREADY_BOOKED), KELAPI_OK);
  EXPECT_STREQ(text, "Already booked.");
  ASSERT_EQ(KelapiGetErrorDesc(text, KELAPI_E_OVERFLOW + 1), KELAPI_OK);
  EXPECT_STREQ(text, "Error with code -2147220484.");
  ASSERT_EQ(KelapiGetVersion(text), KELAPI_OK);
  EXPECT_THAT(text, ::testing::MatchesRegex("[A-Z][a-z][a-z] [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}"));

  const std::size_t before = KelapiGetAllocMemSize();
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
  EXPECT_GE(KelapiGetAllocMemSize(), before + 2 * sizeof(SecurityRecord));
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  EXPECT_EQ(KelapiGetAllocMemSize(), before) << "the tables are freed";
}

}  // namespace
}  // namespace kelda::kelapi::test
