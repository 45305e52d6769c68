// The provider table: stable records, lookups, and removal only of
// providers nothing uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding.h"

namespace kelda::cipherhub {
namespace {

std::unique_ptr<ProviderEntry> entry(const char* name, const char* section, int32_t id) {
  auto e = std::make_unique<ProviderEntry>();
  copy_field(e->record.provider_name, sizeof e->record.provider_name, name);
  copy_field(e->record.section_name, sizeof e->record.section_name, section);
  e->record.provider_id = id;
  set_record_valid(e->record, true);
  return e;
}

TEST(CipherhubTable, RecordsKeepTheirAddresses) {
  ProviderTable table;
  std::vector<const cp_provider_record*> handles;
  for (int i = 0; i < 40; ++i) {
    handles.push_back(&table.add(entry(("P" + std::to_string(i)).c_str(), "", i))->record);
  }
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(&table.at(static_cast<std::size_t>(i)).record, handles[static_cast<std::size_t>(i)]);
    EXPECT_EQ(table.find_by_record(handles[static_cast<std::size_t>(i)])->record.provider_id, i);
  }
  ASSERT_EQ(table.remove(handles[3]), ProviderTable::RemoveResult::removed);
  EXPECT_EQ(&table.at(3).record, handles[4]) << "later records move up in order, not in memory";
  EXPECT_FALSE(record_valid(handles[3])) << "a removed record is refused, and still readable";
  EXPECT_EQ(table.remove(handles[3]), ProviderTable::RemoveResult::not_found);

  const std::vector<ProviderEntry*> retired = table.retire_all();
  EXPECT_EQ(retired.size(), 39u);
  EXPECT_EQ(table.size(), 0u);
  EXPECT_FALSE(record_valid(handles[0]));
  EXPECT_EQ(handles[39]->provider_id, 39);
}

TEST(CipherhubTable, FindsByNameSectionOrId) {
  ProviderTable table;
  table.add(entry("Sekura32", "Enc", 1));
  table.add(entry("Signer", "sekura32", 4));
  table.add(entry("Other", "Other", 1));
  struct Case {
    const char* name;
    FindMode mode;
    int32_t id;  // of the provider found, -1 for none
    FoundBy by;
  };
  const Case cases[] = {
      {"sekura32", FindMode::name, 1, FoundBy::name},
      {"SEKURA32", FindMode::section, 4, FoundBy::section},
      {"Sekura32", FindMode::either, 1, FoundBy::name},
      {"enc", FindMode::either, 1, FoundBy::section},
      {"enc", FindMode::name, -1, FoundBy::none},
      {"Sekura3", FindMode::either, -1, FoundBy::none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FoundBy by = FoundBy::name;
    ProviderEntry* found = table.find(c.name, c.mode, &by);
    EXPECT_EQ(found ? found->record.provider_id : -1, c.id);
    EXPECT_EQ(by, c.by);
  }
  EXPECT_STREQ(table.find_by_id(1)->record.provider_name, "Sekura32") << "the first with the id";
  EXPECT_EQ(table.find_by_id(7), nullptr);
}

TEST(CipherhubTable, RefusesToRemoveAProviderInUse) {
  ProviderTable table;
  std::string error;
  std::vector<ProviderEntry*> entries;
  for (int i = 0; i < 4; ++i) {
    auto e = std::make_unique<ProviderEntry>();
    ASSERT_TRUE(bind_provider_module(*e, {"NullCipher.DLL", "S", "", this_module_anchor(), nullptr}, error));
    entries.push_back(table.add(std::move(e)));
  }
  entries[0]->record.initialized = 1;
  entries[1]->open_contexts = 1;
  entries[2]->active_calls = 1;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(table.remove(&entries[static_cast<std::size_t>(i)]->record), ProviderTable::RemoveResult::in_use);
    EXPECT_TRUE(record_valid(&entries[static_cast<std::size_t>(i)]->record));
    EXPECT_TRUE(entries[static_cast<std::size_t>(i)]->module.loaded());
  }
  EXPECT_EQ(table.remove(&entries[3]->record), ProviderTable::RemoveResult::removed);
  EXPECT_FALSE(entries[3]->module.loaded());
  EXPECT_EQ(table.size(), 3u);

  entries[1]->open_contexts = 0;
  EXPECT_EQ(table.remove(&entries[1]->record), ProviderTable::RemoveResult::removed);
}

}  // namespace
}  // namespace kelda::cipherhub
