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
std::map<std::pair<std::string, std::string>, std::unique_ptr<Bitmap>>& bitmaps() {
  static std::map<std::pair<std::string, std::string>, std::unique_ptr<Bitmap>> m;
  return m;
}
std::string key_of(const ResourceName& name) {
  if (!name.is_number()) return detail::to_utf8(detail::to_lower(name.text()));
  std::string key(1, '#');
  key.append(std::to_string(name.number()));
  return key;
}
}  // namespace

void register_bitmap(std::string_view module, const ResourceName& name, Bitmap bitmap) {
  bitmap.resource_id = name.is_number() ? static_cast<int>(name.number()) : 0;
  std::lock_guard lock(bitmap_mutex());
  bitmaps()[{std::string(module), key_of(name)}] = std::make_unique<Bitmap>(std::move(bitmap));
}

const Bitmap* find_bitmap(std::string_view module, const ResourceName& name) {
  std::lock_guard lock(bitmap_mutex());
  auto it = bitmaps().find({std::string(module), key_of(name)});
  return it == bitmaps().end() ? nullptr : it->second.get();
}

}  // namespace kelda::ui
