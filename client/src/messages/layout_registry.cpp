// Joins the layout tables of every group into the one registry, sorted by id.
#include <algorithm>
#include <vector>

#include "layout_tables.h"
#include "message_set.h"

namespace kelda::kelapi {

const MessageLayoutEntry* kelapi_layout_registry() {
  static const std::vector<MessageLayoutEntry> registry = [] {
    std::vector<MessageLayoutEntry> entries;
    entries.reserve(kRegisteredMessageCount + 1);
    for (auto group : {session_layouts(), market_layouts(), trading_layouts(), services_layouts(),
                       limits_layouts(), feeds_layouts(), legacy_layouts()}) {
      entries.insert(entries.end(), group.begin(), group.end());
    }
    std::sort(entries.begin(), entries.end(),
              [](const MessageLayoutEntry& a, const MessageLayoutEntry& b) { return a.id < b.id; });
    entries.push_back(MessageLayoutEntry{0, nullptr, 0});
    return entries;
  }();
  return registry.data();
}

}  // namespace kelda::kelapi
