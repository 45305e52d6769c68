// The list of recently pinged hosts, newest first, at most 8, no two equal
// without regard to letter case; kept in the program's per-user profile
// (section "MRU", values "MRU1" .. "MRU8", 1 = newest).
//
// Threading: one thread (the user-interface thread). Errors: a profile that
// cannot be read gives an empty list; save() answers false when it cannot
// write (the last error says why).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/user_profile.h"

namespace kelda::ping {

inline constexpr std::size_t max_recent_hosts = 8;

class RecentHosts {
 public:
  const std::vector<std::u16string>& hosts() const { return hosts_; }

  // Puts `host` first, dropping entries equal to it without regard to case
  // and the oldest beyond eight. An empty text changes nothing.
  void add(std::u16string_view host);

  void load(const platform::UserProfile& profile);
  bool save(platform::UserProfile& profile) const;

 private:
  std::vector<std::u16string> hosts_;
};

// Letter-case-blind comparison (Latin and Cyrillic letters).
bool equal_ignoring_case(std::u16string_view a, std::u16string_view b);

}  // namespace kelda::ping
