// The dispatcher's providers: one heap entry per provider, so that the
// record a handle points to never moves. Entries leave the table only when
// nothing uses them, and are then kept (marked invalid) rather than freed, so
// that a stale handle is refused by its mark instead of read after free.
//
// Not synchronised: the dispatcher holds its table lock around every use.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "cipherhub/cipherhub.h"
#include "platform/module.h"

namespace kelda::cipherhub {

struct ProviderEntry {
  cp_provider_record record{};
  platform::Module module;
  // Contexts opened through the dispatcher and not yet freed.
  std::atomic<int32_t> open_contexts{0};
  // Calls into the provider that run outside the table lock (its dialogs).
  std::atomic<int32_t> active_calls{0};

  bool in_use() const {
    return record.initialized != 0 || open_contexts.load() > 0 || active_calls.load() > 0;
  }
};

// A record's valid mark, read and written atomically: calls by handle read it
// on the transport's threads without the table lock.
bool record_valid(const cp_provider_record* record);
void set_record_valid(cp_provider_record& record, bool valid);

// How find() matches: by provider name, by section name, or either (names
// first). Names compare ignoring ASCII case.
enum class FindMode { name = 1, section = 2, either = 3 };
enum class FoundBy { none = 0, name = 1, section = 2 };

class ProviderTable {
 public:
  // Appends in registration order; returns the entry's stable address.
  ProviderEntry* add(std::unique_ptr<ProviderEntry> entry);

  ProviderEntry* find(std::string_view name, FindMode mode, FoundBy* found_by = nullptr) const;
  ProviderEntry* find_by_id(int32_t provider_id) const;
  ProviderEntry* find_by_record(const cp_provider_record* record) const;

  enum class RemoveResult { removed, not_found, in_use };
  // Unbinds and removes a provider nothing uses; the others keep their order.
  RemoveResult remove(const cp_provider_record* record);

  // Every entry leaves the table, marked invalid; their memory is kept.
  std::vector<ProviderEntry*> retire_all();

  std::size_t size() const { return live_.size(); }
  ProviderEntry& at(std::size_t index) const { return *live_[index]; }

 private:
  std::vector<std::unique_ptr<ProviderEntry>> live_;
  std::vector<std::unique_ptr<ProviderEntry>> retired_;
};

bool names_equal(std::string_view a, std::string_view b);

}  // namespace kelda::cipherhub
