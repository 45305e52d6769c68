// The arithmetic of a price scale: widening and rounding an automatic range,
// and the tick step of an axis for a given pixel density.
// Pure value arithmetic; thread-safe; never throws.
#pragma once

#include <cstdint>

namespace kelda::chart {

// Widens [min, max] by 10% (a narrow range by three units of 10^-decimals
// plus one unit per million of the value), rounds it outwards to that unit,
// never lets widening cross zero, and gives 0..6 units for an all-zero range.
void padPriceRange(double& min, double& max, int32_t decimals);

struct PriceStep {
  double major = 1e-4;  // value between labelled ticks
  int32_t minorCount = 2;  // minor ticks per major step
  int32_t decimals = 0;    // decimals the labels need
};

// The smallest step of the 1-5-10 series from 10^-4 up whose height at
// `pixelsPerUnit` reaches `textHeight` pixels (a bounded search: a degenerate
// density gives the largest step of the series that the search reaches).
PriceStep priceStep(double pixelsPerUnit, int32_t textHeight);

// Integer digits of |v| as the axis measuring counts them (divisions by 10
// while the value stays above 1).
int32_t integerDigits(double v);

}  // namespace kelda::chart
