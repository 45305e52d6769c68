// Failure injection for tests (fault_injection.h).
#include <atomic>

#include "fault_points.h"

namespace kelda::platform::fault_injection {
namespace {
constexpr int kPoints = 2;
std::atomic<int> g_countdown[kPoints] = {};
}  // namespace

void arm(Point point, int nth) { g_countdown[static_cast<int>(point)].store(nth < 0 ? 0 : nth); }

bool should_fail(Point point) noexcept {
  std::atomic<int>& countdown = g_countdown[static_cast<int>(point)];
  int left = countdown.load(std::memory_order_relaxed);
  while (left > 0) {
    if (countdown.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return false;
}

}  // namespace kelda::platform::fault_injection
