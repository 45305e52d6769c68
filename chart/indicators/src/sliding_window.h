// Windows that slide with a calculation over the bars: the last n points of
// a source that pass the trading-hours filter (a ring of their indices), a
// compensated running sum, and monotonic queues for the highest and lowest
// value of such a window. They keep the walk's rule (the window of bar i is
// the last n passing source points at or before i) at a constant cost per
// bar instead of a walk over the window at every bar.
//
// Sums that slide are compensated, and summed afresh over the window (in the
// walk's order, newest point first) at every bar whose index is a multiple
// of the re-sum stride, so that what passed through them long ago cannot
// wear their digits away. A compensated sum holds the window's sum to far
// below the last digit of a double, so the value at a bar is, but for a
// last-digit tie once in billions of bars, the window's sum rounded, however
// the calculation reached the bar: a recalculation may start anywhere. A
// result that also depends on when its sums were last taken afresh (the
// deviation's reference price) starts at the stride bar at or before its
// first bar, as a full calculation passes it.
// Not thread-safe (the chart's thread); allocation failures throw
// std::bad_alloc.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "chart/data.h"

namespace kelda::chart {

// The indices of the last n passing points, oldest first.
class PassingWindow {
 public:
  // n below 1 gives a window that is never full. The ring holds no more
  // than the source has points: a window longer than the series is never
  // full either.
  PassingWindow(int32_t n, int32_t points) : n_(n) {
    ring_.resize(static_cast<size_t>(std::clamp(n, 1, std::max(points, 1))));
  }

  // Empties the window and fills it with the passing points at or before bar
  // `at`, walking down until n are taken (at -1: stays empty).
  void fillAt(const PointVector& s, const PointFilter& passes, int32_t at) {
    count_ = 0;
    head_ = 0;
    int32_t k = std::min(at, s.size() - 1);
    std::vector<int32_t> taken;
    for (; k >= 0 && static_cast<int32_t>(taken.size()) < capacity(); --k) {
      if (passes(s[k])) taken.push_back(k);
    }
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) push(*it);
  }

  // Appends the passing point at bar i (after every bar already held);
  // returns the index that left the window, or -1.
  int32_t push(int32_t i) {
    const int32_t cap = capacity();
    if (count_ < cap) {
      ring_[static_cast<size_t>(wrap(head_ + count_))] = i;
      ++count_;
      return -1;
    }
    const int32_t left = ring_[static_cast<size_t>(head_)];
    ring_[static_cast<size_t>(head_)] = i;
    head_ = wrap(head_ + 1);
    return left;
  }

  int32_t size() const { return count_; }
  bool full() const { return n_ >= 1 && count_ == n_; }
  // The k-th newest index (0: the newest), k < size().
  int32_t newest(int32_t k) const { return ring_[static_cast<size_t>(wrap(head_ + count_ - 1 - k))]; }
  int32_t oldest() const { return ring_[static_cast<size_t>(head_)]; }

 private:
  int32_t capacity() const { return static_cast<int32_t>(ring_.size()); }
  int32_t wrap(int32_t k) const { return k >= capacity() ? k - capacity() : k; }

  int32_t n_;
  std::vector<int32_t> ring_;
  int32_t head_ = 0;
  int32_t count_ = 0;
};

// A running sum with Neumaier's compensation: adding and taking away values
// of very different sizes keeps the small ones.
class CompensatedSum {
 public:
  void add(double x) {
    const double t = sum_ + x;
    compensation_ += std::fabs(sum_) >= std::fabs(x) ? (sum_ - t) + x : (x - t) + sum_;
    sum_ = t;
  }
  void reset() {
    sum_ = 0.0;
    compensation_ = 0.0;
  }
  double value() const { return sum_ + compensation_; }

 private:
  double sum_ = 0.0;
  double compensation_ = 0.0;
};

// The bars at which sliding sums are summed afresh: every `stride` bars,
// never fewer than the window holds.
inline int32_t resumStride(int32_t n) { return std::max(n, 64); }
// The bar a sliding calculation for bars from `first` on starts at.
inline int32_t slideStart(int32_t first, int32_t n) { return first <= 0 ? 0 : first - first % resumStride(n); }
// The first stride bar after bar `at`.
inline int32_t nextResum(int32_t at, int32_t n) {
  const int32_t stride = resumStride(n);
  return at < 0 ? 0 : (at / stride + 1) * stride;
}

// The highest (or, with Lowest, the lowest) value over a window of passing
// points that slides forward: indices in a ring, values decreasing (or
// increasing) from the front.
template <bool Lowest>
class MonotonicQueue {
 public:
  explicit MonotonicQueue(int32_t capacity) { ring_.resize(static_cast<size_t>(std::max(capacity, 1)) + 1); }
  void clear() { head_ = count_ = 0; }
  // Adds the point at index i with value v (after every index held).
  void push(int32_t i, double v) {
    while (count_ > 0 && !before(back().value, v)) --count_;
    Entry& e = ring_[static_cast<size_t>(wrap(head_ + count_))];
    e.index = i;
    e.value = v;
    ++count_;
  }
  // Drops the entries older than index `oldest`.
  void dropBefore(int32_t oldest) {
    while (count_ > 0 && ring_[static_cast<size_t>(head_)].index < oldest) {
      head_ = wrap(head_ + 1);
      --count_;
    }
  }
  bool empty() const { return count_ == 0; }
  double front() const { return ring_[static_cast<size_t>(head_)].value; }

 private:
  struct Entry {
    int32_t index;
    double value;
  };
  // An entry stays ahead of a new value only when strictly better.
  static bool before(double held, double v) { return Lowest ? held < v : held > v; }
  Entry& back() { return ring_[static_cast<size_t>(wrap(head_ + count_ - 1))]; }
  int32_t wrap(int32_t k) const {
    const int32_t cap = static_cast<int32_t>(ring_.size());
    return k >= cap ? k - cap : k;
  }

  std::vector<Entry> ring_;
  int32_t head_ = 0;
  int32_t count_ = 0;
};

}  // namespace kelda::chart
