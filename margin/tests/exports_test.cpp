// The shared library as the terminal loads it: the twenty Margo* names are
// there and the test-only reset is not.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "margin/kelda_margin.h"
#include "platform/last_error.h"

namespace {

TEST(MarginSharedLibrary, ExportsTheTwentyCallsAndNothingForTests) {
  void* lib = dlopen(KELDA_MARGIN_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const char* names[] = {
      "MargoSetMemoryManagement", "MargoSetLimitCallbacks", "MargoSetParamCallbacks", "MargoInitEx",
      "MargoInit", "MargoAddClass", "MargoSetDliniFile", "MargoCleanupDlifiles", "MargoCleanup",
      "MargoInitMarginalRow", "MargoCalcMarginalRow", "MargoCalcMarginalRowEx", "MargoInitMarginalActv",
      "MargoCalcMarginalActv", "MargoIsMarginSeccode", "MargoIsAssetSeccode", "MargoGetMarginSecs",
      "MargoGetNeedClassSecIDs", "MargoIsBoardTagApplicable", "MargoIsLimitsInLots",
  };
  for (const char* name : names) EXPECT_NE(dlsym(lib, name), nullptr) << name;
  EXPECT_EQ(dlsym(lib, "_ZN5kelda6margin7testing13reset_libraryEv"), nullptr);

  // A fresh library refuses work until initialised, through the shared last error.
  auto init = reinterpret_cast<BOOL (*)(int32_t, int32_t, int32_t)>(dlsym(lib, "MargoInitEx"));
  ASSERT_NE(init, nullptr);
  EXPECT_FALSE(init(2, 96, 96));
  EXPECT_EQ(kelda::platform::get_last_error(), static_cast<uint32_t>(MARGO_ERROR_MISSING));
  dlclose(lib);
}

}  // namespace
