// The client environment report: its pairs, their order and their limits.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "session/environment.h"

namespace kelda::kelapi {
namespace {

EnvironmentInfo an_arm_handheld() {
  EnvironmentInfo info;
  info.local_time = SYSTEMTIME{2024, 3, 5, 15, 9, 4, 7, 0};
  info.program_version = "6.5.0.12";
  info.processors = 1;
  info.architecture = 5;
  info.processor_level = 4;
  info.processor_revision = 3;
  info.physical_memory = 67108864;
  info.free_memory = 1234;
  info.system_major = 5;
  info.system_minor = 1;
  info.system_build = 1700;
  info.system_description = "SP2";
  info.screen_width = 240;
  info.screen_height = 320;
  info.screen_bits = 16;
  info.host_name = "pocket";
  info.host_addresses = {0x7F000001u, 0xFF000001u, 0xC0A80102u};
  return info;
}

TEST(EnvironmentReport, SendsTheMachinesPairsInOrder) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"LOCAL_TIME", "Fri Mar 2024 09:04:07"},
      {"VERSION", "6.5.0.12"},
      {"PROCESSORS_NUMBER", "1"},
      {"PROCESSOR_ARCHITECTURE", "ARM"},
      {"PROCESSOR_IDENTIFIER", "ARM version 4"},
      {"PROCESSOR_LEVEL", "4"},
      {"PROCESSOR_REVISION", "3"},
      {"PHYSICAL_MEMORY", "67108864"},
      {"FREE_PHYSICAL_MEMORY", "1234"},
      {"SYSTEM", "Version: 5.1, build: 1700, description: SP2"},
      {"VIDEO-MODE", "240x320x16"},
      {"USER", "N/A"},
      {"COMPUTER-NAME", "pocket"},
      {"COMPUTER-SID", "N/A"},
      {"HOST IP-ADDRESS", "192.168.1.2"},
      {"WORK-DIR", "N/A"},
      {"WORK-DISK-TYPE", "N/A"},
      {"WORK-TOTAL-SPACE", "N/A"},
      {"WORK-FREE-SPACE", "N/A"},
      {"CONNECTION", "N/A"},
      {"", ""},
  };
  EXPECT_EQ(environment_report(an_arm_handheld()), expected);
}

TEST(EnvironmentReport, MissingAndUnusualValues) {
  EnvironmentInfo info = an_arm_handheld();
  info.program_version.reset();
  info.host_addresses = {0x7F000001u};
  info.architecture = 9;
  info.machine = "x86_64";
  info.host_name = std::string(300, 'h');
  const auto report = environment_report(info);
  ASSERT_EQ(report.size(), 20u) << "no VERSION without a program version";
  EXPECT_EQ(report[1].first, "PROCESSORS_NUMBER");
  EXPECT_EQ(report[2].second, "x86_64");
  EXPECT_EQ(report[3].second, "x86_64") << "an unknown processor is named by its architecture";
  EXPECT_EQ(report[11].second, std::string(256, 'h'));
  EXPECT_EQ(report[13].second, "N/A") << "only loopback addresses";
  for (const auto& [code, text] : std::vector<std::pair<uint32_t, std::string>>{
           {0, "Intel"}, {1, "MIPS"}, {4, "SHX"}, {65535, "Unknown"}}) {
    info.architecture = code;
    info.processor_level = 0;
    EXPECT_EQ(environment_report(info)[2].second, text);
    EXPECT_EQ(environment_report(info)[3].second, text);
  }
}

TEST(EnvironmentReport, TheRunningMachineGivesAUsableReport) {
  const auto report = environment_report(read_environment());
  ASSERT_GE(report.size(), 20u);
  EXPECT_EQ(report.front().first, "LOCAL_TIME");
  EXPECT_EQ(report.back(), (std::pair<std::string, std::string>{"", ""}));
  for (const auto& [name, value] : report) {
    EXPECT_LE(name.size(), 32u);
    EXPECT_LE(value.size(), 256u);
  }
}

}  // namespace
}  // namespace kelda::kelapi
