// The provider table (provider_table.h).
#include "provider_table.h"

#include <algorithm>

#include "binding.h"

namespace kelda::cipherhub {

bool record_valid(const cp_provider_record* record) {
  if (record == nullptr) return false;
  auto& mark = const_cast<int32_t&>(record->valid);
  return std::atomic_ref<int32_t>(mark).load() == 1;  // sequentially consistent: see CallsByHandle
}

void set_record_valid(cp_provider_record& record, bool valid) {
  std::atomic_ref<int32_t>(record.valid).store(valid ? 1 : 0);
}

bool names_equal(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

ProviderEntry* ProviderTable::add(std::unique_ptr<ProviderEntry> entry) {
  live_.push_back(std::move(entry));
  return live_.back().get();
}

ProviderEntry* ProviderTable::find(std::string_view name, FindMode mode, FoundBy* found_by) const {
  if (found_by != nullptr) *found_by = FoundBy::none;
  if (mode == FindMode::name || mode == FindMode::either) {
    for (const auto& entry : live_) {
      if (names_equal(entry->record.provider_name, name)) {
        if (found_by != nullptr) *found_by = FoundBy::name;
        return entry.get();
      }
    }
  }
  if (mode == FindMode::section || mode == FindMode::either) {
    for (const auto& entry : live_) {
      if (names_equal(entry->record.section_name, name)) {
        if (found_by != nullptr) *found_by = FoundBy::section;
        return entry.get();
      }
    }
  }
  return nullptr;
}

ProviderEntry* ProviderTable::find_by_id(int32_t provider_id) const {
  for (const auto& entry : live_) {
    if (entry->record.provider_id == provider_id) return entry.get();
  }
  return nullptr;
}

ProviderEntry* ProviderTable::find_by_record(const cp_provider_record* record) const {
  for (const auto& entry : live_) {
    if (&entry->record == record) return entry.get();
  }
  return nullptr;
}

ProviderTable::RemoveResult ProviderTable::remove(const cp_provider_record* record) {
  auto it = std::find_if(live_.begin(), live_.end(),
                         [record](const auto& entry) { return &entry->record == record; });
  if (it == live_.end()) return RemoveResult::not_found;
  if ((*it)->in_use()) return RemoveResult::in_use;
  unbind_provider(**it);
  retired_.push_back(std::move(*it));
  live_.erase(it);
  return RemoveResult::removed;
}

std::vector<ProviderEntry*> ProviderTable::retire_all() {
  std::vector<ProviderEntry*> entries;
  for (auto& entry : live_) {
    set_record_valid(entry->record, false);
    entries.push_back(entry.get());
    retired_.push_back(std::move(entry));
  }
  live_.clear();
  return entries;
}

}  // namespace kelda::cipherhub
