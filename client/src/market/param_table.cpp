#include "market/param_table.h"

#include <cstring>

#include "core/text_util.h"

namespace kelda::kelapi {

int32_t ParamTable::slot_by_name(std::string_view db_name) const noexcept {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (equal_nocase(field_text(slots_[i].db_name), db_name)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t ParamTable::add_slot() {
  SlotDescription empty;
  std::memset(&empty, 0, sizeof empty);
  slots_.push_back(empty);
  described_.push_back(false);
  return static_cast<int32_t>(slots_.size() - 1);
}

void ParamTable::describe_slot(int32_t slot, const NetParamEx& p) {
  SlotDescription& s = slots_[static_cast<std::size_t>(slot)];
  copy_field(s.db_name, p.d.db_name);
  copy_field(s.short_name, p.d.short_name);
  copy_field(s.long_name, p.d.long_name);
  s.persistent = (static_cast<uint16_t>(p.d.flags) & kParamPersistent) != 0 ? 1 : 0;
  s.flags = static_cast<uint16_t>(p.d.flags);
  described_[static_cast<std::size_t>(slot)] = true;
}

bool ParamTable::slot_described(int32_t slot) const { return described_[static_cast<std::size_t>(slot)]; }

NetParamEx* ParamTable::get(int32_t class_index, int32_t slot) {
  auto& row = by_class_[static_cast<std::size_t>(class_index)];
  return static_cast<std::size_t>(slot) < row.size() ? row[static_cast<std::size_t>(slot)].get() : nullptr;
}

const NetParamEx* ParamTable::get(int32_t class_index, int32_t slot) const {
  const auto& row = by_class_[static_cast<std::size_t>(class_index)];
  return static_cast<std::size_t>(slot) < row.size() ? row[static_cast<std::size_t>(slot)].get() : nullptr;
}

NetParamEx& ParamTable::get_or_create(int32_t class_index, int32_t slot) {
  ++version_;  // the caller may give the record another number
  auto& row = by_class_[static_cast<std::size_t>(class_index)];
  if (row.size() <= static_cast<std::size_t>(slot)) row.resize(static_cast<std::size_t>(slot) + 1);
  auto& cell = row[static_cast<std::size_t>(slot)];
  if (!cell) cell.reset(static_cast<NetParamEx*>(tagged_alloc(AllocTag::param, sizeof(NetParamEx))));
  return *cell;
}

void ParamTable::drop_class(int32_t class_index) {
  ++version_;
  auto& row = by_class_[static_cast<std::size_t>(class_index)];
  row.clear();
  row.shrink_to_fit();
  received_[static_cast<std::size_t>(class_index)] = 0;
}

int32_t ParamTable::count(int32_t class_index) const {
  int32_t n = 0;
  for (const auto& cell : by_class_[static_cast<std::size_t>(class_index)]) n += cell ? 1 : 0;
  return n;
}

int32_t ParamTable::slot_by_number(int32_t class_index, int32_t number) const {
  const auto& row = by_class_[static_cast<std::size_t>(class_index)];
  for (std::size_t s = 0; s < row.size(); ++s) {
    if (row[s] && row[s]->number == number) return static_cast<int32_t>(s);
  }
  return -1;
}

const NetParamEx* ParamTable::by_number(int32_t class_index, int32_t number) const {
  if (class_index < 0 || static_cast<std::size_t>(class_index) >= kMaxClasses || number < 0 || number >= 64) {
    return nullptr;
  }
  const auto c = static_cast<std::size_t>(class_index);
  auto& table = by_number_[c];
  if (by_number_version_[c] != version_) {
    table.fill(nullptr);
    for (const auto& cell : by_class_[c]) {
      if (cell && cell->number >= 0 && cell->number < 64 && table[static_cast<std::size_t>(cell->number)] == nullptr) {
        table[static_cast<std::size_t>(cell->number)] = cell.get();
      }
    }
    by_number_version_[c] = version_;
  }
  return table[static_cast<std::size_t>(number)];
}

void ParamTable::clear() {
  ++version_;
  for (std::size_t c = 0; c < kMaxClasses; ++c) drop_class(static_cast<int32_t>(c));
  slots_.clear();
  slots_.shrink_to_fit();
  described_.clear();
}

void ParamTable::set_slot_count(std::size_t count) {
  clear();
  SlotDescription empty;
  std::memset(&empty, 0, sizeof empty);
  slots_.assign(count, empty);
  described_.assign(count, false);
}

uint16_t zero_is_no_value(std::string_view db_name) noexcept {
  static constexpr std::string_view kCounters[] = {"lastchange", "numbids",    "numoffers",
                                                   "change",     "offerdepth", "biddepth",
                                                   "offerdeptht", "biddeptht"};
  for (std::string_view name : kCounters) {
    if (equal_nocase(db_name, name)) return 0;
  }
  return 1;
}

}  // namespace kelda::kelapi
