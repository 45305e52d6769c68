// SlotVector<T>: a contiguous sequence with spare room at both ends, for the
// bar list and the series' point vectors. Inserting or erasing at index i
// moves the shorter side, so appending bars in time order and prepending
// them in reverse order both cost O(1) amortised (no quadratic memmove).
// T must be trivially copyable (elements are moved with memmove); the owner
// releases whatever an element refers to before erasing it.
// Not thread-safe; throws std::bad_alloc when memory runs out (the chart's
// export frame turns that into an error).
#pragma once

#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <new>
#include <type_traits>

namespace kelda::chart {

template <class T>
class SlotVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  SlotVector() = default;
  SlotVector(const SlotVector&) = delete;
  SlotVector& operator=(const SlotVector&) = delete;
  SlotVector(SlotVector&& other) noexcept { swap(other); }
  SlotVector& operator=(SlotVector&& other) noexcept {
    SlotVector moved(static_cast<SlotVector&&>(other));
    swap(moved);
    return *this;
  }
  ~SlotVector() { std::free(storage_); }

  int32_t size() const { return static_cast<int32_t>(size_); }
  bool empty() const { return size_ == 0; }
  T& operator[](int32_t i) {
    assert(i >= 0 && static_cast<size_t>(i) < size_);
    return storage_[head_ + static_cast<size_t>(i)];
  }
  const T& operator[](int32_t i) const {
    assert(i >= 0 && static_cast<size_t>(i) < size_);
    return storage_[head_ + static_cast<size_t>(i)];
  }
  T* begin() { return storage_ + head_; }
  T* end() { return storage_ + head_ + size_; }
  const T* begin() const { return storage_ + head_; }
  const T* end() const { return storage_ + head_ + size_; }
  T& back() { return (*this)[size() - 1]; }
  // Bytes held, spare room included (for memory reports).
  size_t capacity_bytes() const { return capacity_ * sizeof(T); }

  void push_back(const T& value) { insert(size(), value); }

  // Inserts value before index i (0 <= i <= size()).
  void insert(int32_t i, const T& value) {
    assert(i >= 0 && static_cast<size_t>(i) <= size_);
    const size_t at = static_cast<size_t>(i);
    const bool toward_front = at < size_ / 2;
    if (toward_front ? head_ == 0 : head_ + size_ == capacity_) grow(toward_front);
    if (toward_front) {
      std::memmove(static_cast<void*>(storage_ + head_ - 1), storage_ + head_, at * sizeof(T));
      --head_;
    } else {
      std::memmove(static_cast<void*>(storage_ + head_ + at + 1), storage_ + head_ + at, (size_ - at) * sizeof(T));
    }
    std::memcpy(static_cast<void*>(storage_ + head_ + at), &value, sizeof(T));
    ++size_;
  }

  // Erases the element at index i.
  void erase(int32_t i) {
    assert(i >= 0 && static_cast<size_t>(i) < size_);
    const size_t at = static_cast<size_t>(i);
    if (at < size_ / 2) {
      std::memmove(static_cast<void*>(storage_ + head_ + 1), storage_ + head_, at * sizeof(T));
      ++head_;
    } else {
      std::memmove(static_cast<void*>(storage_ + head_ + at), storage_ + head_ + at + 1, (size_ - at - 1) * sizeof(T));
    }
    --size_;
    if (size_ == 0) head_ = capacity_ / 2;
  }

  void clear() {
    std::free(storage_);
    storage_ = nullptr;
    capacity_ = head_ = size_ = 0;
  }

  void swap(SlotVector& other) noexcept {
    std::swap(storage_, other.storage_);
    std::swap(capacity_, other.capacity_);
    std::swap(head_, other.head_);
    std::swap(size_, other.size_);
  }

 private:
  // Makes room at the front (front) or at the back. While a quarter of the
  // size is free it recentres in place (each end then keeps room for an
  // eighth of the size, so recentring costs O(1) per insertion amortised).
  // Otherwise the storage grows by half: toward the back with realloc, which
  // large blocks get without copying; toward the front into new storage with
  // most of the room before the elements. The room held stays within 1.5
  // times the elements (plus 16).
  void grow(bool front) {
    const size_t free_slots = capacity_ - size_;
    if (capacity_ >= 16 && free_slots >= 2 && free_slots >= size_ / 4) {
      const size_t head = free_slots / 2;
      std::memmove(static_cast<void*>(storage_ + head), storage_ + head_, size_ * sizeof(T));
      head_ = head;
      return;
    }
    const size_t capacity = size_ + size_ / 2 + 16;
    if (capacity > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    if (!front) {
      void* grown = std::realloc(storage_, capacity * sizeof(T));
      if (grown == nullptr) throw std::bad_alloc();
      storage_ = static_cast<T*>(grown);
      capacity_ = capacity;
      return;
    }
    T* storage = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (storage == nullptr) throw std::bad_alloc();
    const size_t room = capacity - size_;
    const size_t head = room - room / 4;
    if (size_ > 0) std::memcpy(static_cast<void*>(storage + head), storage_ + head_, size_ * sizeof(T));
    std::free(storage_);
    storage_ = storage;
    capacity_ = capacity;
    head_ = head;
  }

  T* storage_ = nullptr;
  size_t capacity_ = 0;
  size_t head_ = 0;
  size_t size_ = 0;
};

}  // namespace kelda::chart
