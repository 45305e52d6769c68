#include "market/multi_index.h"

#include <algorithm>

namespace kelda::kelapi {

MultiIndex::Slot* MultiIndex::find_slot(int64_t key) {
  if (count_ == 0) return nullptr;
  for (std::size_t i = home(key);; i = (i + 1) & mask_) {
    Slot& s = slots_[i];
    if (s.row == kEmpty) return nullptr;
    if (s.key == key) return &s;
  }
}

void MultiIndex::grow() {
  std::vector<Slot> old = std::move(slots_);
  const std::size_t size = old.empty() ? 64 : old.size() * 2;
  slots_.assign(size, Slot{0, kEmpty});
  mask_ = size - 1;
  for (const Slot& s : old) {
    if (s.row == kEmpty) continue;
    std::size_t i = home(s.key);
    while (slots_[i].row != kEmpty) i = (i + 1) & mask_;
    slots_[i] = s;
  }
}

void MultiIndex::reserve(std::size_t n) {
  while (slots_.size() < n * 2) grow();
}

void MultiIndex::set_first(int64_t key, uint32_t row) {
  if (Slot* s = find_slot(key)) {
    s->row = row;
    return;
  }
  if ((count_ + 1) * 2 > slots_.size()) grow();
  std::size_t i = home(key);
  while (slots_[i].row != kEmpty) i = (i + 1) & mask_;
  slots_[i] = Slot{key, row};
  ++count_;
}

void MultiIndex::remove_slot(std::size_t i) {
  // Backward-shift deletion keeps every probe chain unbroken.
  std::size_t hole = i;
  for (std::size_t j = (i + 1) & mask_; slots_[j].row != kEmpty; j = (j + 1) & mask_) {
    const std::size_t h = home(slots_[j].key);
    const bool movable = hole <= j ? (h <= hole || h > j) : (h <= hole && h > j);
    if (movable) {
      slots_[hole] = slots_[j];
      hole = j;
    }
  }
  slots_[hole].row = kEmpty;
  --count_;
}

void MultiIndex::insert(int64_t key, uint32_t row) {
  Slot* s = find_slot(key);
  if (s == nullptr) {
    set_first(key, row);
    return;
  }
  if (s->row == row) return;
  auto& rows = shared_[key];
  if (rows.empty()) rows.push_back(s->row);
  const auto pos = std::lower_bound(rows.begin(), rows.end(), row);
  if (pos != rows.end() && *pos == row) return;
  rows.insert(pos, row);
  s->row = rows.front();
}

void MultiIndex::erase(int64_t key, uint32_t row) {
  const auto dup = shared_.empty() ? shared_.end() : shared_.find(key);
  if (dup != shared_.end()) {
    auto& rows = dup->second;
    const auto pos = std::lower_bound(rows.begin(), rows.end(), row);
    if (pos == rows.end() || *pos != row) return;
    rows.erase(pos);
    set_first(key, rows.front());
    if (rows.size() == 1) shared_.erase(dup);
    return;
  }
  Slot* s = find_slot(key);
  if (s != nullptr && s->row == row) remove_slot(static_cast<std::size_t>(s - slots_.data()));
}

void MultiIndex::clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  mask_ = 0;
  count_ = 0;
  shared_.clear();
}

}  // namespace kelda::kelapi
