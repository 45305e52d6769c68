#include "session/environment.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/time.h"

namespace kelda::kelapi {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string format(const char* f, auto... args) {
  char text[512];
  std::snprintf(text, sizeof text, f, args...);
  return text;
}

std::string architecture_text(const EnvironmentInfo& info) {
  switch (info.architecture) {
    case 0: return "Intel";
    case 1: return "MIPS";
    case 4: return "SHX";
    case 5: return "ARM";
    case 65535: return "Unknown";
    default: return info.machine.empty() ? "Unknown" : info.machine;
  }
}

std::string processor_identifier(const EnvironmentInfo& info) {
  const uint32_t a = info.architecture;
  const uint32_t l = info.processor_level;
  if (a == 0 && l == 4) return "Intel 80486";
  if (a == 0 && l == 5) return "Pentium";
  if (a == 1 && l == 3) return "MIPS R3000";
  if (a == 1 && l == 4) return "MIPS R4000";
  if (a == 1 && l == 5) return "MIPS R5000";
  if (a == 4 && l == 3) return "SH3 or SH3-DSP";
  if (a == 4 && l == 4) return "SH4";
  if (a == 5 && l == 4) return "ARM version 4";
  return architecture_text(info);
}

std::string host_address(const EnvironmentInfo& info) {
  for (uint32_t a : info.host_addresses) {
    const uint32_t first = a >> 24;
    if (first != 127 && first != 255) {
      return format("%u.%u.%u.%u", first, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    }
  }
  return "N/A";
}

// Reads "key : value" lines of /proc/cpuinfo.
uint32_t cpuinfo_number(const std::string& key) {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    return static_cast<uint32_t>(std::strtoul(line.c_str() + colon + 1, nullptr, 0));
  }
  return 0;
}

}  // namespace

EnvironmentInfo read_environment() {
  EnvironmentInfo info;
  info.local_time = platform::local_time_now();
  info.processors = std::thread::hardware_concurrency();
  struct utsname u {};
  if (::uname(&u) == 0) {
    info.machine = u.machine;
    const std::string m = u.machine;
    if (m.size() == 4 && m[0] == 'i' && m.substr(2) == "86") {
      info.architecture = 0;
    } else if (m.rfind("mips", 0) == 0) {
      info.architecture = 1;
    } else if (m.rfind("sh", 0) == 0) {
      info.architecture = 4;
    } else if (m.rfind("arm", 0) == 0) {
      info.architecture = 5;
    } else {
      info.architecture = 9;  // a code outside the table: the machine's name is reported
    }
    long major = 0, minor = 0, build = 0;
    std::sscanf(u.release, "%ld.%ld.%ld", &major, &minor, &build);
    info.system_major = major;
    info.system_minor = minor;
    info.system_build = build;
    info.system_description = std::string(u.sysname) + " " + u.release;
  }
  info.processor_level = cpuinfo_number("cpu family");
  if (info.processor_level == 0) info.processor_level = cpuinfo_number("CPU architecture");
  info.processor_revision = (cpuinfo_number("model\t") << 8) | cpuinfo_number("stepping");
  struct sysinfo s {};
  if (::sysinfo(&s) == 0) {
    info.physical_memory = static_cast<int64_t>(s.totalram) * s.mem_unit;
    info.free_memory = static_cast<int64_t>(s.freeram) * s.mem_unit;
  }
  char host[261] = {};
  if (::gethostname(host, sizeof host - 1) == 0) {
    info.host_name = host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &list) == 0) {
      for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        info.host_addresses.push_back(ntohl(in->sin_addr.s_addr));
      }
      ::freeaddrinfo(list);
    }
  }
  return info;
}

std::vector<std::pair<std::string, std::string>> environment_report(const EnvironmentInfo& info) {
  std::vector<std::pair<std::string, std::string>> pairs;
  const SYSTEMTIME& t = info.local_time;
  const std::string date = format("%s %s %04u", kDays[t.wDayOfWeek % 7],
                                  kMonths[(t.wMonth >= 1 && t.wMonth <= 12) ? t.wMonth - 1 : 0], t.wYear);
  const std::string time = format("%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
  pairs.emplace_back("LOCAL_TIME", date + " " + time);
  if (info.program_version) pairs.emplace_back("VERSION", *info.program_version);
  pairs.emplace_back("PROCESSORS_NUMBER", format("%u", info.processors));
  pairs.emplace_back("PROCESSOR_ARCHITECTURE", architecture_text(info));
  pairs.emplace_back("PROCESSOR_IDENTIFIER", processor_identifier(info));
  pairs.emplace_back("PROCESSOR_LEVEL", format("%u", info.processor_level));
  pairs.emplace_back("PROCESSOR_REVISION", format("%u", info.processor_revision));
  pairs.emplace_back("PHYSICAL_MEMORY", format("%lld", static_cast<long long>(info.physical_memory)));
  pairs.emplace_back("FREE_PHYSICAL_MEMORY", format("%lld", static_cast<long long>(info.free_memory)));
  pairs.emplace_back("SYSTEM", format("Version: %lld.%lld, build: %lld, description: %s",
                                      static_cast<long long>(info.system_major),
                                      static_cast<long long>(info.system_minor),
                                      static_cast<long long>(info.system_build),
                                      info.system_description.c_str()));
  pairs.emplace_back("VIDEO-MODE", format("%dx%dx%d", info.screen_width, info.screen_height, info.screen_bits));
  pairs.emplace_back("USER", "N/A");
  pairs.emplace_back("COMPUTER-NAME", info.host_name);
  pairs.emplace_back("COMPUTER-SID", "N/A");
  pairs.emplace_back("HOST IP-ADDRESS", host_address(info));
  for (const char* name : {"WORK-DIR", "WORK-DISK-TYPE", "WORK-TOTAL-SPACE", "WORK-FREE-SPACE", "CONNECTION"}) {
    pairs.emplace_back(name, "N/A");
  }
  pairs.emplace_back("", "");
  for (auto& [name, value] : pairs) {
    if (name.size() > 32) name.resize(32);
    if (value.size() > 256) value.resize(256);
  }
  return pairs;
}

}  // namespace kelda::kelapi
