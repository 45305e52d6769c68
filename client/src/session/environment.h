// The client environment report: what the library tells the server about
// the machine it runs on, once per connection, as name and value pairs.
//
// read_environment() asks the operating system; tests pass their own
// EnvironmentInfo. Any thread; never throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win_types.h"

namespace kelda::kelapi {

struct EnvironmentInfo {
  SYSTEMTIME local_time{};
  std::optional<std::string> program_version;  // "a.b.c.d"; none: not reported
  uint32_t processors = 0;
  // 0 Intel, 1 MIPS, 4 SHX, 5 ARM, 65535 unknown; any other code: `machine`.
  uint32_t architecture = 65535;
  std::string machine;  // the machine's own name of its architecture
  uint32_t processor_level = 0;
  uint32_t processor_revision = 0;
  int64_t physical_memory = 0;
  int64_t free_memory = 0;
  int64_t system_major = 0;
  int64_t system_minor = 0;
  int64_t system_build = 0;
  std::string system_description;
  int32_t screen_width = 0;
  int32_t screen_height = 0;
  int32_t screen_bits = 0;
  std::string host_name;
  std::vector<uint32_t> host_addresses;  // IPv4, first byte most significant
};

EnvironmentInfo read_environment();

// The pairs in the order they are sent, ended by an empty pair; names are cut
// at 32 characters and values at 256.
std::vector<std::pair<std::string, std::string>> environment_report(const EnvironmentInfo& info);

}  // namespace kelda::kelapi
