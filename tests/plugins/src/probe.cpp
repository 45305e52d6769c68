// The call record of one test plug-in (probe.h).
#include "probe_record.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace testplugins {
namespace {

std::mutex& lock() {
  static std::mutex m;
  return m;
}

TestPluginCall& last() {
  static TestPluginCall call{};
  return call;
}

std::map<std::string, int32_t>& counts() {
  static std::map<std::string, int32_t> c;
  return c;
}

}  // namespace

void record_call(const char* entry, std::initializer_list<uintptr_t> args, const char* text,
                 const char* error) {
  std::lock_guard<std::mutex> guard(lock());
  TestPluginCall& call = last();
  call = TestPluginCall{};
  std::strncpy(call.entry, entry, sizeof call.entry - 1);
  int i = 0;
  for (uintptr_t a : args) {
    if (i == 16) break;
    call.args[i++] = a;
  }
  if (text != nullptr) std::strncpy(call.text, text, sizeof call.text - 1);
  call.error_cleared = error != nullptr && error[0] == '\0';
  ++counts()[entry];
}

void write_error(char* error, uint32_t size, const char* text) {
  if (error == nullptr || size == 0) return;
  std::strncpy(error, text, size - 1);
  error[size - 1] = '\0';
}

}  // namespace testplugins

extern "C" const TestPluginCall* TestPlugin_LastCall(void) { return &testplugins::last(); }

extern "C" int32_t TestPlugin_CallCount(const char* entry) {
  std::lock_guard<std::mutex> guard(testplugins::lock());
  auto it = testplugins::counts().find(entry ? entry : "");
  return it == testplugins::counts().end() ? 0 : it->second;
}
