// Cursors by module: each (module, id) pair gets a handle of its own.
#include <map>
#include <mutex>
#include <vector>

#include "ui/screen.h"

namespace kelda::ui {
namespace {

// Handles start above every idc:: value.
constexpr int kFirstHandle = 0x10000;

struct CursorTable {
  std::mutex mutex;
  std::map<std::pair<std::string, int>, int> handles;
  std::vector<CursorResource> resources;  // by handle - kFirstHandle
};

CursorTable& table() {
  static CursorTable t;
  return t;
}

}  // namespace

int load_cursor(std::string_view module, int id) {
  CursorTable& t = table();
  std::lock_guard lock(t.mutex);
  auto [it, added] = t.handles.try_emplace({std::string(module), id}, 0);
  if (added) {
    it->second = kFirstHandle + static_cast<int>(t.resources.size());
    t.resources.push_back(CursorResource{std::string(module), id});
  }
  return it->second;
}

std::optional<CursorResource> cursor_resource(int cursor) {
  CursorTable& t = table();
  std::lock_guard lock(t.mutex);
  if (cursor < kFirstHandle || cursor - kFirstHandle >= static_cast<int>(t.resources.size())) return std::nullopt;
  return t.resources[static_cast<size_t>(cursor - kFirstHandle)];
}

}  // namespace kelda::ui
