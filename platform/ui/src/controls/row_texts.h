// The texts of one list view row, every cell in one block: the number of
// cells, the end of each cell's text, then the texts one after another.
// A row costs one allocation instead of one per cell (most cells are short
// numbers and names, each of which would otherwise sit in a heap block of its
// own, scattered over memory), and reading or setting a cell touches that one
// block: updating a column of a hundred thousand rows was spent mostly on
// cache misses in the per-cell blocks.
// Setting, inserting or removing a cell moves the texts after it, so each
// costs at most the row's own length. Cells past the last one stored read as
// empty. A row's texts together hold at most 2^32 - 1 units; a text that
// would pass that is cut. Not thread-safe: the list view owns its rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelda::ui::detail {

class RowTexts {
 public:
  // Cells stored; those after them read as empty.
  size_t size() const { return data_.empty() ? 0 : read(0); }

  std::u16string_view operator[](size_t i) const {
    if (i >= size()) return {};
    const size_t b = begin_of(i);
    return std::u16string_view(data_).substr(texts_at() + b, end_of(i) - b);
  }

  // Sets cell i, adding empty cells before it as needed.
  void set(size_t i, std::u16string_view text) {
    if (i >= size()) add_cells(i + 1 - size());
    const size_t b = begin_of(i), old_len = end_of(i) - b;
    text = text.substr(0, kMaxUnits - (total() - old_len));
    data_.replace(texts_at() + b, old_len, text.data(), text.size());
    shift_ends(i, text.size() - old_len);  // unsigned wrap adds a negative change
  }

  // An empty cell before cell `at`; a row without cell `at` stays as it is
  // (its cells from `at` on read as empty before and after).
  void insert(size_t at) {
    const size_t n = size();
    if (at >= n) return;
    const auto begin = static_cast<uint32_t>(begin_of(at));
    data_.insert(entry_at(at), 2, u'\0');
    write(entry_at(at), begin);
    write(0, static_cast<uint32_t>(n + 1));
  }

  // Removes cell `at`, moving the cells after it one place forward.
  void erase(size_t at) {
    const size_t n = size();
    if (at >= n) return;
    const size_t b = begin_of(at), len = end_of(at) - b;
    data_.erase(texts_at() + b, len);
    shift_ends(at, size_t{0} - len);
    data_.erase(entry_at(at), 2);
    write(0, static_cast<uint32_t>(n - 1));
    if (n == 1) data_.clear();
  }

 private:
  static constexpr size_t kMaxUnits = UINT32_MAX;

  // 32-bit numbers of the head, two units each.
  uint32_t read(size_t at) const { return uint32_t{data_[at]} | (uint32_t{data_[at + 1]} << 16); }
  void write(size_t at, uint32_t v) {
    data_[at] = static_cast<char16_t>(v & 0xFFFF);
    data_[at + 1] = static_cast<char16_t>(v >> 16);
  }

  static size_t entry_at(size_t i) { return 2 + 2 * i; }  // where cell i's end is kept
  size_t texts_at() const { return entry_at(size()); }
  size_t end_of(size_t i) const { return read(entry_at(i)); }
  size_t begin_of(size_t i) const { return i ? end_of(i - 1) : 0; }
  size_t total() const { return size() ? end_of(size() - 1) : 0; }

  // Cell ends from cell i on move by `change` (added modulo 2^64).
  void shift_ends(size_t i, size_t change) {
    const size_t n = size();
    for (size_t k = i; k < n; ++k) write(entry_at(k), static_cast<uint32_t>(end_of(k) + change));
  }

  // k empty cells after the last one.
  void add_cells(size_t k) {
    const size_t n = size(), end = total();
    if (data_.empty()) data_.assign(2, u'\0');
    data_.insert(entry_at(n), 2 * k, u'\0');
    for (size_t j = n; j < n + k; ++j) write(entry_at(j), static_cast<uint32_t>(end));
    write(0, static_cast<uint32_t>(n + k));
  }

  std::u16string data_;
};

}  // namespace kelda::ui::detail
