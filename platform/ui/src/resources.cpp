// Resource names and the bitmap registry.
#include <map>
#include <mutex>

#include "core.h"
#include "ui/resources.h"

namespace kelda::ui {

bool ResourceName::operator==(const ResourceName& other) const {
  if (is_number() != other.is_number()) return false;
  return is_number() ? number_ == other.number_ : detail::equal_ignore_case(text_, other.text_);
}

std::string ResourceName::to_string() const {
  return is_number() ? std::to_string(number_) : detail::to_utf8(text_);
}

namespace {
std::mutex& bitmap_mutex() {
  static std::mutex m;
  return m;
}
std::map<std::pair<std::string, int>, std::unique_ptr<Bitmap>>& bitmaps() {
  static std::map<std::pair<std::string, int>, std::unique_ptr<Bitmap>> m;
  return m;
}
}  // namespace

void register_bitmap(std::string_view module, int id, Bitmap bitmap) {
  bitmap.resource_id = id;
  std::lock_guard lock(bitmap_mutex());
  bitmaps()[{std::string(module), id}] = std::make_unique<Bitmap>(std::move(bitmap));
}

const Bitmap* find_bitmap(std::string_view module, int id) {
  std::lock_guard lock(bitmap_mutex());
  auto it = bitmaps().find({std::string(module), id});
  return it == bitmaps().end() ? nullptr : it->second.get();
}

}  // namespace kelda::ui
