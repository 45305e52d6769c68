// The shared library as a host loads it: its C names are there, nothing
// else is, and loading it filled the default settings.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "sekura32/sekura32.h"

namespace {

TEST(Exports, OnlyTheLibrarysNamesAreExported) {
  void* library = dlopen(SEKURA32_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const char* name : {"skInit", "skExit", "ExiSekura", "SetRealloc", "skSetFindChan", "skMalloc", "skFree",
                           "skRealloc", "skGetMemTotal", "skDump", "skMakeArgV", "skArgument", "ArgStr",
                           "skParseCfg", "skANSI", "skOEM", "skDateTime", "MD5Init", "MD5Update", "MD5Final",
                           "skMemStream", "skTempStream", "skFileStream", "skTempFileStream", "skHandleStream",
                           "skIORet", "skIOerror", "skSettings", "skCfgHeading", "skAskWhenNeed", "skStatNoiseInd",
                           "skGetRandomBytes", "skSetRandomBytes", "skAsynchEvent", "skWriteRandomSeed", "skGetUser", "skPutUser", "skDelUser",
                           "skKeyIs", "skInstallKeyBase", "StoreKeyIsCallback", "skFngPrint", "skCopyStream", "Login", "LogMan", "LogUser",
                           "LogOut", "ChanPassword", "skChanInfo", "HaveSystemMessage", "skGetKeyId", "skTimeNow"})
    EXPECT_NE(dlsym(library, name), nullptr) << name;
  EXPECT_EQ(dlsym(library, "_ZN5kelda8sekura322mp8multiplyESt4spanIjLm18446744073709551615EES1_IKjLm18446744073709551615EES5_"),
            nullptr);
  EXPECT_EQ(dlsym(library, "md5_transform"), nullptr);

  // The library's time stamp is 0: what it makes carries no creation time.
  auto time_now = reinterpret_cast<uint32_t (*)()>(dlsym(library, "skTimeNow"));
  ASSERT_NE(time_now, nullptr);
  EXPECT_EQ(time_now(), 0u);

  auto settings = static_cast<char***>(dlsym(library, "skSettings"));
  ASSERT_NE(settings, nullptr);
  EXPECT_NE((*settings)[SK_SETTING_RANDOM_SEED], nullptr);
  auto heading = static_cast<const char**>(dlsym(library, "skCfgHeading"));
  EXPECT_STREQ(*heading, "[*Heading*]");
  // No seed file is written when this test's process ends.
  auto free_block = reinterpret_cast<void (*)(void*)>(dlsym(library, "skFree"));
  free_block((*settings)[SK_SETTING_RANDOM_SEED]);
  (*settings)[SK_SETTING_RANDOM_SEED] = nullptr;
}

}  // namespace
