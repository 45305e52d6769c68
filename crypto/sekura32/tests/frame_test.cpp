// The frame: allocator and its total, initialisation and exit with the
// default paths, the replaceable slots, tagged texts and the trace dump.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "frame.h"
#include "platform/module.h"
#include "sekura32/sekura32.h"
#include "testsupport/test_dir.h"

namespace kelda::sekura32 {
namespace {

TEST(Memory, TotalFollowsAllocationsAndReallocCopiesTheSmallerSize) {
  std::size_t before = skGetMemTotal();
  void* block = skMalloc(100);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(skGetMemTotal(), before + 100);
  skFree(block);
  EXPECT_EQ(skGetMemTotal(), before);
  skFree(nullptr);
  EXPECT_EQ(skGetMemTotal(), before);

  auto* bytes = static_cast<uint8_t*>(skCalloc(10, 10));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 100; ++i) bytes[i] = uint8_t(i + 1);
  auto* smaller = static_cast<uint8_t*>(skRealloc(bytes, 10, 100));
  ASSERT_NE(smaller, nullptr);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(smaller[i], i + 1);
  auto* larger = static_cast<uint8_t*>(skRealloc(smaller, 50, 10));
  ASSERT_NE(larger, nullptr);
  EXPECT_EQ(larger[9], 10);
  EXPECT_EQ(larger[10], 0);  // the new part is zeroed
  EXPECT_EQ(skRealloc(larger, 0, 50), nullptr);
  EXPECT_EQ(skGetMemTotal(), before);

  EXPECT_EQ(skDummyRealloc(nullptr, 10, 0), nullptr);
  EXPECT_EQ(skCalloc(SIZE_MAX / 2, 4), nullptr);  // the product overflows
  EXPECT_EQ(skMemAdd(nullptr, 10), nullptr);
  EXPECT_EQ(skGetMemTotal(), before);
  EXPECT_EQ(skHeapCheck(), 0u);
}

struct SettingsGuard {
  char* saved[SK_SETTINGS_COUNT];
  SettingsGuard() { std::memcpy(saved, skSettings, sizeof saved); }
  ~SettingsGuard() { std::memcpy(skSettings, saved, sizeof saved); }
};

TEST(Init, KeepsTheHostsPathsAndFillsEmptySlotsInTheProgramFolder) {
  SettingsGuard guard;
  // Loading filled the defaults.
  std::string folder = platform::program_folder().string();
  ASSERT_NE(skSettings[SK_SETTING_PUBLIC_RING], nullptr);
  EXPECT_EQ(std::string(skSettings[SK_SETTING_PUBLIC_RING]), folder + "/pubring.txk");
  EXPECT_EQ(std::string(skSettings[SK_SETTING_SECRET_RING]), folder + "/secring.txk");
  EXPECT_EQ(std::string(skSettings[SK_SETTING_RANDOM_SEED]), folder + "/randseed.bin");

  char host_secret[] = "/host/secret.txk";
  skSettings[SK_SETTING_SECRET_RING] = host_secret;
  skSettings[SK_SETTING_PUBLIC_RING] = nullptr;
  skSettings[SK_SETTING_RANDOM_SEED] = nullptr;
  EXPECT_EQ(skInit(nullptr), SK_OK);
  EXPECT_EQ(skSettings[SK_SETTING_SECRET_RING], host_secret);
  EXPECT_EQ(std::string(skSettings[SK_SETTING_PUBLIC_RING]), folder + "/pubring.txk");
  skFree(skSettings[SK_SETTING_PUBLIC_RING]);
  skFree(skSettings[SK_SETTING_RANDOM_SEED]);
}

TEST(Exit, WritesTheSeedFileOnlyWhenASeedPathIsSet) {
  SettingsGuard guard;
  skSettings[SK_SETTING_RANDOM_SEED] = nullptr;
  EXPECT_EQ(skExit(), SK_OK);
  std::string seed = (test::test_dir() / "randseed.bin").string();
  skSettings[SK_SETTING_RANDOM_SEED] = seed.data();
  EXPECT_EQ(ExiSekura(), SK_OK);
  EXPECT_EQ(std::filesystem::file_size(seed), 24u);
  std::string missing = (test::test_dir() / "no" / "such" / "folder" / "seed.bin").string();
  skSettings[SK_SETTING_RANDOM_SEED] = missing.data();
  EXPECT_EQ(skExit(), SK_IO_ERROR);
}

TEST(Slots, SetReallocAndFindChanReturnThePreviousFunction) {
  EXPECT_EQ(SetRealloc(nullptr), &skDummyRealloc);
  EXPECT_EQ(SetRealloc(&skRealloc), &skDummyRealloc);
  EXPECT_EQ(growth_function(), &skRealloc);
  EXPECT_EQ(SetRealloc(&skDummyRealloc), &skRealloc);

  SkFindChanFunction finder = [](void**, const uint8_t*, const char*, const char*) -> uint32_t { return 32; };
  EXPECT_EQ(skSetFindChan(nullptr), &LogUser);
  SkFindChanFunction previous = skSetFindChan(finder);
  EXPECT_EQ(skSetFindChan(nullptr), finder);
  skSetFindChan(previous != nullptr ? previous : finder);
}

TEST(TaggedText, ConvertsBetweenTheTwoCodePagesAndKeepsUnknownTags) {
  char oem[] = "\x01\xAF\xE0\xA8";  // 866 "при" with tag 1
  char* text = skANSI(oem);
  EXPECT_EQ(text, oem + 1);
  EXPECT_EQ(oem[0], 2);
  EXPECT_STREQ(text, "\xEF\xF0\xE8");  // 1251 "при"
  char* again = skANSI(oem);
  EXPECT_EQ(again, oem + 1);
  EXPECT_STREQ(again, "\xEF\xF0\xE8");
  EXPECT_EQ(skOEM(oem), oem + 1);
  EXPECT_EQ(oem[0], 1);
  EXPECT_STREQ(oem + 1, "\xAF\xE0\xA8");

  char unknown[] = "\x05text";
  EXPECT_EQ(skANSI(unknown), unknown);
  char negative[] = "\x85text";
  EXPECT_EQ(skOEM(negative), negative);
}

TEST(DateTime, SplitsSecondsSince1970IntoLocalCalendarParts) {
  setenv("TZ", "UTC", 1);
  tzset();
  int year, month, day, hour, minute, second;
  skDateTime(1136214245u, &year, &month, &day, &hour, &minute, &second);
  EXPECT_EQ(year, 2006);
  EXPECT_EQ(month, 1);
  EXPECT_EQ(day, 2);
  EXPECT_EQ(hour, 15);
  EXPECT_EQ(minute, 4);
  EXPECT_EQ(second, 5);
  skDateTime(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);  // every output may be null
}

TEST(Trace, DumpFramesTheBytesAndPrintsNothingWithoutAStream) {
  FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  FILE* saved = skStdOut;
  skStdOut = out;
  const char data[] = "AB[]\x01";
  EXPECT_EQ(skDump("title", "<>", data, 7, 5), 5);
  EXPECT_EQ(skDump("none", "<>", nullptr, 0, 0), 0);
  skStdOut = saved;
  std::rewind(out);
  std::string text;
  char chunk[512];
  while (std::fgets(chunk, sizeof chunk, out) != nullptr) text += chunk;
  std::fclose(out);
  EXPECT_NE(text.find("|title           ================     7 (    5) =++=================|"), std::string::npos);
  EXPECT_NE(text.find("<41 42 5b 5d 01 " + std::string(33, ' ') + ">< AB...>"), std::string::npos) << text;
  EXPECT_NE(text.find("\nnone             == NULL\n"), std::string::npos);
  EXPECT_EQ(skPrint("%d", 5), 0);  // no stream: nothing
}

}  // namespace
}  // namespace kelda::sekura32
