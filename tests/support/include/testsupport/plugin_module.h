// Test support: a plug-in module of the build (a provider plug-in, a test
// plug-in) loaded from the test program's folder on first use and kept
// loaded to the end of the program, so that the plug-in's globals live as
// long as the tests; its exported functions are looked up by name, and a
// missing one fails the test that asked for it.
//
// Threading: any thread. Link kelda_platform.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/module.h"

namespace kelda::test {

class PluginModule {
 public:
  // `file`: the module's file name, e.g. "Sigprov.so".
  explicit PluginModule(const std::string& file) : module_(&loaded(file)) {}

  template <typename Fn>
  Fn* get(const char* name) const {
    Fn* fn = module_->function<Fn*>(name);
    EXPECT_NE(fn, nullptr) << name << " " << module_->error_text();
    return fn;
  }

 private:
  static platform::Module& loaded(const std::string& file) {
    static std::mutex lock;
    static auto* modules = new std::map<std::string, std::unique_ptr<platform::Module>>;
    std::lock_guard guard(lock);
    std::unique_ptr<platform::Module>& module = (*modules)[file];
    if (module == nullptr) {
      module = std::make_unique<platform::Module>(
          platform::Module::load((platform::program_folder() / file).string(), nullptr));
    }
    return *module;
  }

  platform::Module* module_;
};

}  // namespace kelda::test
