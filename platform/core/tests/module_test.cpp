#include <gtest/gtest.h>

#include <filesystem>

#include "platform/last_error.h"
#include "platform/module.h"
#include "testsupport/test_dir.h"

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

// A full path names its own folder: the file itself, or the module its file
// name means there; never the module beside the loader.
TEST(Module, LoadsByFullPathFromTheFolderItNames) {
  namespace fs = std::filesystem;
  const fs::path folder = kelda::test::test_dir() / "elsewhere";
  fs::create_directories(folder);
  fs::copy_file(module_folder_of(this_module_anchor()) / "platform_probe_b.so", folder / "Platform_Probe_B.so",
                fs::copy_options::overwrite_existing);
  struct Case {
    fs::path name;
    bool loads;
  };
  const Case cases[] = {
      {folder / "Platform_Probe_B.so", true},    // the file as named
      {folder / "platform_probe_b.dll", true},   // the module name, any case, in that folder
      {folder / "PLATFORM_PROBE_B", true},
      {folder / "platform_probe_a.DLL", false},  // beside the loader only
      {folder / "no_such_module.DLL", false},
      {folder / "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.string());
    set_last_error(0);
    Module m = Module::load(c.name.string(), this_module_anchor());
    ASSERT_EQ(m.loaded(), c.loads) << m.error_text();
    if (c.loads) {
      EXPECT_EQ(fs::canonical(m.path()), fs::canonical(folder / "Platform_Probe_B.so"));
      EXPECT_NE(m.function<uint32_t (*)()>("probe_b_get_last_error"), nullptr);
    } else {
      EXPECT_EQ(get_last_error(), error::mod_not_found);
    }
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
