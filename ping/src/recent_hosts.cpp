#include "ping/recent_hosts.h"

#include <algorithm>
#include <string>

namespace kelda::ping {
namespace {

char16_t fold_case(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
  if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
  return c;
}

std::u16string value_name(std::size_t index) {
  const std::string name = "MRU" + std::to_string(index + 1);
  return std::u16string(name.begin(), name.end());
}

}  // namespace

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return fold_case(x) == fold_case(y); });
}

void RecentHosts::add(std::u16string_view host) {
  if (host.empty()) return;
  std::erase_if(hosts_, [&](const std::u16string& entry) { return equal_ignoring_case(entry, host); });
  while (hosts_.size() > max_recent_hosts - 1) hosts_.pop_back();
  hosts_.insert(hosts_.begin(), std::u16string(host));
}

void RecentHosts::load(const platform::UserProfile& profile) {
  hosts_.clear();
  for (std::size_t i = 0; i < max_recent_hosts; ++i) {
    std::u16string value = profile.read_string(u"MRU", value_name(i));
    if (!value.empty()) hosts_.push_back(std::move(value));
  }
}

bool RecentHosts::save(platform::UserProfile& profile) const {
  bool ok = true;
  for (std::size_t i = 0; i < hosts_.size(); ++i)
    ok = profile.write_string(u"MRU", value_name(i), hosts_[i]) && ok;
  return ok;
}

}  // namespace kelda::ping
