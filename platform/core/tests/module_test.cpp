#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/module.h"

using namespace kelda::platform;

extern "C" void probe_a_set_last_error(uint32_t code);

TEST(Module, LoadsByDllNameBesideTheLoaderAndBindsByName) {
  for (const char* name : {"platform_probe_b.DLL", "platform_probe_b.dll", "platform_probe_b",
                           "PLATFORM_PROBE_B.DLL", "Platform_Probe_B"}) {
    Module m = Module::load(name, this_module_anchor());
    ASSERT_TRUE(m.loaded()) << name << ": " << m.error_text();
    EXPECT_EQ(m.path().parent_path(), module_folder_of(this_module_anchor()));
    auto get = m.function<uint32_t (*)()>("probe_b_get_last_error");
    ASSERT_NE(get, nullptr);
  }
}

TEST(Module, MissingModuleOrNameSetsTheLastError) {
  set_last_error(0);
  Module m = Module::load("no_such_module.DLL", this_module_anchor());
  EXPECT_FALSE(m.loaded());
  EXPECT_EQ(get_last_error(), error::mod_not_found);
  EXPECT_FALSE(m.error_text().empty());

  Module b = Module::load("platform_probe_b.DLL", this_module_anchor());
  ASSERT_TRUE(b.loaded());
  EXPECT_EQ(b.symbol("probe_b_hidden"), nullptr);  // hidden names stay inside
  EXPECT_EQ(get_last_error(), error::proc_not_found);
}

TEST(LastError, IsOneValuePerThreadAcrossLibraries) {
  Module b = Module::load("platform_probe_b.DLL", this_module_anchor());
  ASSERT_TRUE(b.loaded());
  auto get_b = b.function<uint32_t (*)()>("probe_b_get_last_error");
  probe_a_set_last_error(1234);  // set in one library...
  EXPECT_EQ(get_b(), 1234u);     // ...read in another
  EXPECT_EQ(get_last_error(), 1234u);
  uint32_t other_thread_value = 99;
  std::thread t([&] { other_thread_value = get_b(); });
  t.join();
  EXPECT_EQ(other_thread_value, 0u);
}
