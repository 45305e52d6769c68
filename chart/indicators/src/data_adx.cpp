// The directional movement chain.
#include "chart/data_adx.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kelda::chart {

namespace {

// The extra byte of a movement point: 1 once its source bar passed the filter.
void setMark(DataPoint& p) {
  if (p.extra == nullptr) {
    const uint8_t mark = 1;
    setExtra(p, &mark, 1);
  } else {
    *static_cast<uint8_t*>(p.extra) = 1;
  }
}

bool isMarked(const DataPoint& p) { return p.extra != nullptr && *static_cast<const uint8_t*>(p.extra) == 1; }

}  // namespace

CDataADX_DirectMovement::CDataADX_DirectMovement(CChart& chart, CData& source, bool plus)
    : CDataCommon(chart, 1, 1), source_(&source), direction_(plus ? 1 : 0) {
  typeCode_ = kAdxTypeCode;
  addSource(&source);
}

double CDataADX_DirectMovement::valueAt(const PointVector& s, int i, int prev) const {
  const DataPoint& now = s[i];
  const DataPoint& before = s[prev];
  const double up = now.high > before.high ? now.high - before.high : 0.0;
  const double down = now.low < before.low ? before.low - now.low : 0.0;
  const double plusMove = up > down ? up : 0.0;
  const double minusMove = down > up ? down : 0.0;
  const double range = std::max({std::fabs(now.high - now.low), std::fabs(now.high - before.close),
                                 std::fabs(now.low - before.close)});
  if (std::fabs(range) < kEpsilon) return 0.0;
  return (direction_ != 0 ? plusMove : minusMove) / range;
}

void CDataADX_DirectMovement::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const PointVector& s = source_->getPoints();
  int from = first;
  int to = last;
  // A bar is also the previous bar of the next passing one: that one follows.
  if (from != -1) {
    ++to;
    while (to < s.size() && !passes(s[to])) ++to;
  }
  if (resolveRange(from, to)) {
    PointVector& own = getPoints();
    // The nearest passing source bar and the nearest marked point before the
    // bar, found once and then kept as the loop goes.
    const int begin = std::min(from, s.size());
    int prev = begin - 1;
    while (prev >= 0 && !passes(s[prev])) --prev;
    int marked = begin - 1;
    while (marked >= 0 && !isMarked(own[marked])) --marked;
    for (int i = from; i <= to && i < s.size(); ++i) {
      DataPoint& p = own[i];
      p.valid = 0;
      if (!passes(s[i])) {
        // A mark from an earlier calculation stays.
        if (isMarked(p)) marked = i;
        continue;
      }
      setMark(p);
      if (prev >= 0 && marked >= 0) {
        setSingleValue(&p, valueAt(s, i, prev));
        p.valid = 1;
      }
      prev = i;
      marked = i;
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataADX_DirectIndex::CDataADX_DirectIndex(CChart& chart, CData& source, bool plus) : CDataMA(chart, nullptr) {
  typeCode_ = kAdxTypeCode;
  auto* movement = std::make_unique<CDataADX_DirectMovement>(chart, source, plus).release();
  addSource(movement);
  addCompanion(movement);
}

CDataADX_DX::CDataADX_DX(CChart& chart, CData& source) : CDataCommon(chart, 0, 2) {
  typeCode_ = kAdxTypeCode;
  plus_ = std::make_unique<CDataADX_DirectIndex>(chart, source, true).release();
  minus_ = std::make_unique<CDataADX_DirectIndex>(chart, source, false).release();
  addSource(plus_);
  addSource(minus_);
  addCompanion(plus_);
  addCompanion(minus_);
}

int CDataADX_DX::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int) {
  if (!plus_->setParams(nullptr, params, size, checkOnly, 1)) return 0;
  if (!minus_->setParams(nullptr, params, size, checkOnly, 1)) return 0;
  return CDataCommon::setParams(graph, params, size, checkOnly, 1);
}

void CDataADX_DX::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  PointVector& own = getPoints();
  // Either index may have changed a different stretch: recompute to the end.
  int from = first;
  int to = first == -1 ? -1 : own.size() - 1;
  if (resolveRange(from, to)) {
    const PointVector& p = plus_->getPoints();
    const PointVector& m = minus_->getPoints();
    for (int i = from; i <= to && i < p.size() && i < m.size(); ++i) {
      DataPoint& point = own[i];
      point.valid = 0;
      // A bar needs both directions.
      if (!passes(p[i]) || !passes(m[i])) continue;
      const double sum = p[i].close + m[i].close;
      setSingleValue(&point, std::fabs(sum) < kEpsilon ? 0.0 : std::fabs(p[i].close - m[i].close) / sum * 100.0);
      point.valid = 1;
    }
  }
  updateHasData(first == -1 ? -1 : from, to);
  notifyDependents(first == -1 ? -1 : from, first == -1 ? -1 : to);
}

CDataADX::CDataADX(CChart& chart, CData& source) : CDataMA(chart, nullptr) {
  typeCode_ = kTypeCode;
  setRounding(true);
  dx_ = std::make_unique<CDataADX_DX>(chart, source).release();
  addSource(dx_);
  addCompanion(dx_);
}

int CDataADX::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int) {
  if (!CDataMA::setParams(graph, params, size, checkOnly, 1)) return 0;
  return dx_->setParams(graph, params, size, checkOnly, 1);
}

}  // namespace kelda::chart
