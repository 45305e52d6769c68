#include "ping/echo_sender.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

namespace kelda::ping {
namespace {

struct SystemPing {
  int received = -1;
  double max_ms = -1;
};

// Runs the system's ping on the loopback and reads its summary.
SystemPing run_system_ping(int count) {
  const std::string command = "ping -n -c " + std::to_string(count) + " -i 0.2 -W 2 127.0.0.1 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  SystemPing result;
  std::smatch match;
  if (std::regex_search(output, match, std::regex(R"((\d+) received)"))) result.received = std::stoi(match[1]);
  if (std::regex_search(output, match, std::regex(R"(= [\d.]+/[\d.]+/([\d.]+)/)"))) result.max_ms = std::stod(match[1]);
  return result;
}

TEST(IcmpEchoSender, LoopbackAnswersLikeTheSystemPing) {
  IcmpEchoSender sender;
  if (!sender.open()) GTEST_SKIP() << sender.error_text();
  constexpr int count = 3;
  int answered = 0;
  int max_ms = 0;
  for (int i = 0; i < count; ++i) {
    const EchoResult result = sender.send_echo(inet_addr("127.0.0.1"), std::chrono::milliseconds(2000));
    if (result.answered) ++answered;
    max_ms = std::max(max_ms, result.round_trip_ms);
    EXPECT_GE(result.round_trip_ms, 0);
  }
  const SystemPing system = run_system_ping(count);
  EXPECT_EQ(answered, count);
  ASSERT_EQ(system.received, count) << "the system's ping did not answer";
  // Same order: loopback answers in well under the 2000 ms time-out either way.
  EXPECT_LT(max_ms, 200);
  EXPECT_LT(system.max_ms, 200.0);
  EXPECT_LT(std::abs(max_ms - system.max_ms), 100.0);
}

}  // namespace
}  // namespace kelda::ping
