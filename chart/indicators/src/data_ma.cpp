// The moving average and its four methods.
#include "chart/data_ma.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "chart/graph.h"

namespace kelda::chart {

CDataMA::CDataMA(CChart& chart, CData* source) : CDataCommon(chart, 0, 1) {
  typeCode_ = kTypeCode;
  if (source != nullptr) addSource(source);
}

int CDataMA::checkMaParams(const MaParams& p) {
  if (p.period < 1) return 0;
  if (p.field < 1 || p.field > 6) return 0;
  if (p.method < kMaSimple || p.method > kMaNone) return 0;
  return 1;
}

int CDataMA::getParams(VizorGraphParams* graphOut, void* params, int size) {
  if (params == nullptr || size != static_cast<int>(sizeof(MaParams))) return 0;
  if (!CDataCommon::getParams(graphOut, params, size)) return 0;
  std::memcpy(params, &params_, sizeof(MaParams));
  return 1;
}

int CDataMA::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) {
  if (params == nullptr || size != static_cast<int>(sizeof(MaParams))) return 0;
  MaParams p;
  std::memcpy(&p, params, sizeof(MaParams));
  if (!checkMaParams(p)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  if (recalc) calculate(-1, -1);
  return 1;
}

int CDataMA::passingBefore(const PointVector& source, int i) const {
  int count = 0;
  for (int k = 0; k < i; ++k) count += pointPasses(&source[k]) ? 1 : 0;
  return count;
}

bool CDataMA::windowValue(const PointVector& source, int i, bool weighted, double* value) const {
  const int n = params_.period;
  int taken = 0;
  double sum = 0.0;
  double volume = 0.0;
  for (int k = i; k >= 0 && taken < n; --k) {
    const DataPoint& s = source[k];
    if (!pointPasses(&s)) continue;
    const double p = selectPrice(params_.field, &s);
    if (weighted) {
      volume += s.volume;
      sum += s.volume * p;
    } else {
      sum += p;
    }
    ++taken;
  }
  if (taken < n) return false;
  if (weighted) {
    if (std::fabs(volume) < kEpsilon) return false;
    *value = sum / volume;
  } else {
    *value = sum / static_cast<double>(n);
  }
  return true;
}

bool CDataMA::recursiveValue(const PointVector& source, int i, double* value) const {
  const int n = params_.period;
  const PointVector& own = points();
  int j = i - 1;
  while (j >= 0 && !pointPasses(&own[j])) --j;
  const double pi = selectPrice(params_.field, &source[i]);
  if (params_.method == kMaExponential) {
    if (j >= 0) {
      *value = (static_cast<double>(n - 1) * own[j].close + 2.0 * pi) / (static_cast<double>(n) + 1.0);
      return true;
    }
    if (passingBefore(source, i) < n - 1) return false;
    bool seeded = false;
    double e = 0.0;
    for (int k = 0; k <= i; ++k) {
      if (!pointPasses(&source[k])) continue;
      const double p = selectPrice(params_.field, &source[k]);
      e = seeded ? (static_cast<double>(n - 1) * e + 2.0 * p) / (static_cast<double>(n) + 1.0) : p;
      seeded = true;
    }
    *value = e;
    return true;
  }
  // Smoothed.
  double sum = 0.0;
  if (j >= 0) {
    int taken = 0;
    for (int k = i; k >= 0 && taken < n; --k) {
      if (!pointPasses(&source[k])) continue;
      sum += selectPrice(params_.field, &source[k]);
      ++taken;
    }
    *value = (sum - own[j].close + pi) / static_cast<double>(n);
    return true;
  }
  if (passingBefore(source, i) < n - 1) return false;
  for (int k = 0; k <= i; ++k) {
    if (pointPasses(&source[k])) sum += selectPrice(params_.field, &source[k]);
  }
  *value = sum / static_cast<double>(n);
  return true;
}

bool CDataMA::valueAt(const PointVector& source, int i, double* value) const {
  switch (params_.method) {
    case kMaSimple: return windowValue(source, i, false, value);
    case kMaVolumeWeighted: return windowValue(source, i, true, value);
    case kMaExponential:
    case kMaSmoothed: return recursiveValue(source, i, value);
    default: return false;
  }
}

void CDataMA::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  CData* src = maSource();
  const CGraph* graph = getGraph();
  const bool percent = graph != nullptr && graph->params().percentMode != 0;
  const bool whole = first == -1;
  PointVector& own = getPoints();
  const int end = own.size() - 1;
  const int start = whole || percent ? 0 : std::max(first, 0);
  const int rangeLast = whole ? end : last;
  // A windowed average changes only over the n points after the range; a
  // recursive one carries every change on to the end.
  const bool stopEarly = !whole && !percent &&
                         (params_.method == kMaSimple || params_.method == kMaVolumeWeighted);
  int handled = start - 1;
  if (src != nullptr) {
    const PointVector& source = src->getPoints();
    const int n = params_.period;
    int counted = 0;
    for (int i = start; i <= end && i < source.size(); ++i) {
      handled = i;
      DataPoint& p = own[i];
      p.valid = 0;
      if (i < n - 1 || !pointPasses(&source[i])) continue;
      double value = 0.0;
      if (!valueAt(source, i, &value)) continue;
      setSingleValue(&p, value);
      p.valid = 1;
      if (rounding_) roundClose(&p);
      if (pointPasses(&p) && i >= rangeLast) ++counted;
      if (stopEarly && counted >= n) break;
    }
    if (percent) {
      for (int i = 0; i <= end; ++i) {
        if (pointPasses(&own[i])) toPercentOfBase(&own[i]);
      }
    }
  }
  if (whole) {
    updateHasData(-1, -1);
  } else {
    updateHasData(start, std::max(handled, start));
  }
  notifyDependents(whole ? -1 : start, whole ? -1 : std::max(handled, start));
}

}  // namespace kelda::chart
