// The resource table of one library.
#include "kit/resources.h"

#include <mutex>

namespace kelda::kit {
namespace {

std::optional<std::u16string_view> lookup(const std::map<std::tuple<uint32_t, uint16_t, uint16_t>, std::u16string>& texts,
                                          uint32_t id, uint16_t language, uint16_t sub_language) {
  const auto it = texts.find({id, language, sub_language});
  if (it == texts.end()) return std::nullopt;
  return std::u16string_view(it->second);
}

}  // namespace

void ResourceTable::add_message(uint32_t id, uint16_t language, uint16_t sub_language,
                                 std::u16string_view text) {
  std::unique_lock lock(mutex_);
  messages_.try_emplace({id, language, sub_language}, text);
}

void ResourceTable::add_string(uint32_t id, uint16_t language, uint16_t sub_language,
                                std::u16string_view text) {
  std::unique_lock lock(mutex_);
  strings_.try_emplace({id, language, sub_language}, text);
}

void ResourceTable::add_resource(ResourceType type, ResourceName name, const void* data,
                                  std::size_t size) {
  std::unique_lock lock(mutex_);
  resources_.try_emplace({type, name}, Resource{type, name, data, size});
}

std::optional<std::u16string_view> ResourceTable::message(uint32_t id, uint16_t language,
                                                           uint16_t sub_language) const noexcept {
  std::shared_lock lock(mutex_);
  return lookup(messages_, id, language, sub_language);
}

std::optional<std::u16string_view> ResourceTable::string(uint32_t id, uint16_t language,
                                                          uint16_t sub_language) const noexcept {
  std::shared_lock lock(mutex_);
  return lookup(strings_, id, language, sub_language);
}

const Resource* ResourceTable::find(ResourceType type, const ResourceName& name) const noexcept {
  try {
    std::shared_lock lock(mutex_);
    const auto it = resources_.find({type, name});
    return it == resources_.end() ? nullptr : &it->second;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace kelda::kit
