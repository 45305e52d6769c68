// The item store of the list controls: a sequence kept in chunks of bounded
// size. Indexing costs a binary search over the chunks; inserting or removing
// anywhere moves at most one chunk's items and updates the chunks' starts, so
// lists of a hundred thousand items fill (sorted or not), change and empty
// without moving the whole list each time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <tuple>
#include <utility>
#include <vector>

namespace kelda::ui::detail {

template <typename T>
class ChunkedList {
 public:
  template <bool Const>
  class Iter {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using reference = std::conditional_t<Const, const T&, T&>;
    using pointer = std::conditional_t<Const, const T*, T*>;
    using Owner = std::conditional_t<Const, const ChunkedList, ChunkedList>;

    Iter() = default;
    Iter(Owner* list, size_t index) : list_(list), index_(index) {}
    operator Iter<true>() const { return Iter<true>(list_, index_); }  // NOLINT

    reference operator*() const { return (*list_)[index_]; }
    pointer operator->() const { return &(*list_)[index_]; }
    reference operator[](difference_type n) const { return (*list_)[index_ + static_cast<size_t>(n)]; }
    Iter& operator++() { ++index_; return *this; }
    Iter operator++(int) { Iter t = *this; ++index_; return t; }
    Iter& operator--() { --index_; return *this; }
    Iter operator--(int) { Iter t = *this; --index_; return t; }
    Iter& operator+=(difference_type n) { index_ += static_cast<size_t>(n); return *this; }
    Iter& operator-=(difference_type n) { index_ -= static_cast<size_t>(n); return *this; }
    friend Iter operator+(Iter i, difference_type n) { return i += n; }
    friend Iter operator+(difference_type n, Iter i) { return i += n; }
    friend Iter operator-(Iter i, difference_type n) { return i -= n; }
    friend difference_type operator-(const Iter& a, const Iter& b) {
      return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const Iter& a, const Iter& b) { return a.index_ == b.index_; }
    friend auto operator<=>(const Iter& a, const Iter& b) { return a.index_ <=> b.index_; }

   private:
    Owner* list_ = nullptr;
    size_t index_ = 0;
  };
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T& operator[](size_t i) {
    auto [c, o] = locate(i);
    return chunks_[c][o];
  }
  const T& operator[](size_t i) const {
    auto [c, o] = locate(i);
    return chunks_[c][o];
  }

  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, size_); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, size_); }

  // Inserts before index `at` (at most size()).
  void insert(size_t at, T value) {
    if (chunks_.empty()) {
      chunks_.emplace_back();
      starts_.push_back(0);
    }
    size_t c = chunks_.size() - 1, o = chunks_[c].size();
    if (at < size_) std::tie(c, o) = locate(at);
    std::vector<T>& chunk = chunks_[c];
    chunk.insert(chunk.begin() + static_cast<std::ptrdiff_t>(o), std::move(value));
    for (size_t k = c + 1; k < starts_.size(); ++k) ++starts_[k];
    ++size_;
    if (chunk.size() > kChunk) {
      auto half = chunk.begin() + static_cast<std::ptrdiff_t>(kChunk / 2);
      std::vector<T> tail(std::make_move_iterator(half), std::make_move_iterator(chunk.end()));
      chunk.erase(half, chunk.end());
      const size_t tail_start = starts_[c] + chunk.size();
      chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c) + 1, std::move(tail));
      starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(c) + 1, tail_start);
    }
  }
  void push_back(T value) { insert(size_, std::move(value)); }

  // Removes the item at index `at` (below size()).
  void erase(size_t at) {
    auto [c, o] = locate(at);
    std::vector<T>& chunk = chunks_[c];
    chunk.erase(chunk.begin() + static_cast<std::ptrdiff_t>(o));
    for (size_t k = c + 1; k < starts_.size(); ++k) --starts_[k];
    --size_;
    if (chunk.empty()) {
      chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
      starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(c));
    }
  }

  void clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    starts_.clear();
    starts_.shrink_to_fit();
    size_ = 0;
  }

 private:
  static constexpr size_t kChunk = 512;

  // The chunk holding index i and the offset in it (no chunk is ever empty).
  // Walks and repaints touch neighbouring items, so the chunk found last is
  // tried first.
  std::pair<size_t, size_t> locate(size_t i) const {
    size_t c = last_;
    if (c >= starts_.size() || i < starts_[c] || i - starts_[c] >= chunks_[c].size()) {
      c = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), i) - starts_.begin()) - 1;
      last_ = c;
    }
    return {c, i - starts_[c]};
  }

  std::vector<std::vector<T>> chunks_;
  std::vector<size_t> starts_;  // index of each chunk's first item
  size_t size_ = 0;
  mutable size_t last_ = 0;  // the chunk locate() found last
};

}  // namespace kelda::ui::detail
