// Price scale arithmetic.
#include "chart/price_scale.h"

#include <cmath>

namespace kelda::chart {

namespace {
// Steps grow by factors 5 and 2; 600 steps pass every finite double.
constexpr int kMaxStepGrowth = 600;
}  // namespace

void padPriceRange(double& min, double& max, int32_t decimals) {
  const double unit = std::pow(10.0, -decimals);
  const double oldMin = min;
  const double oldMax = max;
  if (max - min > 3 * unit) {
    const double pad = (max - min) * 0.1;
    max += pad;
    min -= pad;
  } else {
    // A whole number of price units per million of the value.
    const auto extra = [](double v) { return std::trunc(std::fabs(v) / 1e6); };
    max = max + 3 * unit + extra(max);
    min = min - (3 * unit + extra(min));
  }
  max = std::ceil(max / unit - 1e-9) * unit;
  min = std::floor(min / unit + 1e-9) * unit;
  if (oldMax <= 0 && max > 0) max = 0;
  if (oldMin >= 0 && min < 0) min = 0;
  if (min == 0 && max == 0) max = 6 * unit;
}

PriceStep priceStep(double pixelsPerUnit, int32_t textHeight) {
  PriceStep step;
  bool byFive = true;
  bool multiplied = false;
  for (int i = 0; i < kMaxStepGrowth && step.major * pixelsPerUnit < textHeight; ++i) {
    step.major *= byFive ? 5.0 : 2.0;
    multiplied = true;
    byFive = !byFive;
  }
  // The last multiplication was by 5 when the next one would be by 2.
  step.minorCount = multiplied && !byFive ? 5 : 2;
  double s = step.major;
  while (step.decimals < 20 && std::fabs(s - std::floor(s + 1e-9)) > 1e-7) {
    s *= 10.0;
    ++step.decimals;
  }
  return step;
}

int32_t integerDigits(double v) {
  double a = std::fabs(v);
  int32_t digits = 0;
  while (a > 1.0 && digits < 400) {
    a /= 10.0;
    ++digits;
  }
  return digits;
}

}  // namespace kelda::chart
