// Test support: a private copy of the Cipherhub library in the test's own
// folder, loaded with the test plug-ins the test copies beside it, so that
// "X.DLL" module names and the built-in provider resolve in that folder
// only, and every test starts from an uninitialised dispatcher. The copy
// stays loaded until the process ends, as the real library does (its
// dispatcher is never destroyed).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "cipherhub/cipherhub.h"
#include "platform/module.h"
#include "testplugins/probe.h"
#include "testsupport/test_dir.h"

namespace kelda::cipherhub::testing {

inline std::filesystem::path build_folder() { return platform::module_folder_of(this_module_anchor()); }

// Copies a module of the build folder into the test folder, optionally
// under another file name.
inline void copy_module(const std::string& file, const std::string& as = "") {
  std::filesystem::copy_file(build_folder() / file, test::test_dir() / (as.empty() ? file : as),
                             std::filesystem::copy_options::overwrite_existing);
}

// Writes a text file with CR LF line ends, as the settings file is kept.
inline void write_lines(const std::filesystem::path& path, std::initializer_list<const char*> lines) {
  std::ofstream out(path, std::ios::binary);
  for (const char* line : lines) out << line << "\r\n";
}

class Hub {
 public:
  explicit Hub(std::initializer_list<const char*> plugins) {
    copy_module("libCipherhub.so");
    for (const char* plugin : plugins) copy_module(std::string(plugin) + ".so");
    static auto* kept = new std::deque<platform::Module>;  // addresses stay put
    kept->push_back(platform::Module::load((test::test_dir() / "libCipherhub.so").string(), nullptr));
    module_ = &kept->back();
    EXPECT_TRUE(module_->loaded()) << module_->error_text();
  }

  template <typename Fn>
  Fn* get(const char* name) const {
    Fn* fn = module_->function<Fn*>(name);
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }

  // The call record of a plug-in loaded by this dispatcher.
  static const TestPluginCall& last_call(const char* plugin) {
    return *probe(plugin).function<TestPlugin_LastCall_fn*>("TestPlugin_LastCall")();
  }
  static int32_t call_count(const char* plugin, const char* entry) {
    return probe(plugin).function<TestPlugin_CallCount_fn*>("TestPlugin_CallCount")(entry);
  }

 private:
  static platform::Module probe(const char* plugin) {
    return platform::Module::load((test::test_dir() / (std::string(plugin) + ".so")).string(), nullptr);
  }

  platform::Module* module_;  // never unloaded
};

// The dispatcher's export of that name, with its own type.
#define HUB(hub, name) (hub).get<decltype(name)>(#name)

}  // namespace kelda::cipherhub::testing
