// The parabolic SAR.
#include "chart/data_sar.h"

#include <algorithm>
#include <cstring>

#include "indicator_util.h"

namespace kelda::chart {

namespace {

SarState stateOf(const DataPoint& p) {
  SarState s{};
  if (p.extra != nullptr && p.extraSize >= static_cast<int32_t>(sizeof(SarState))) std::memcpy(&s, p.extra, sizeof(s));
  return s;
}

void storeState(DataPoint& p, const SarState& s) {
  if (p.extra == nullptr || p.extraSize < static_cast<int32_t>(sizeof(SarState))) {
    setExtra(p, &s, static_cast<int32_t>(sizeof(s)));
  } else {
    std::memcpy(p.extra, &s, sizeof(s));
  }
}

}  // namespace

CDataParabolicSAR::CDataParabolicSAR(CChart& chart, CData& source)
    : CDataCommon(chart, static_cast<int32_t>(sizeof(SarState)), 1), source_(&source) {
  typeCode_ = kTypeCode;
  addSource(&source);
}

int CDataParabolicSAR::getParams(VizorGraphParams* graphOut, void* params, int size) {
  return writeBlock(CDataCommon::getParams(graphOut, params, size), params, size, params_);
}

int CDataParabolicSAR::setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly,
                                 int recalc) {
  SarParams p;
  if (!readBlock(params, size, &p)) return 0;
  if (!(p.step >= 0.0001 && p.step <= 100.0) || !(p.maximum >= 0.01 && p.maximum <= 100.0)) return 0;
  if (!CDataCommon::setParams(graph, params, size, checkOnly, recalc)) return 0;
  if (checkOnly) return 1;
  params_ = p;
  calculate(-1, -1);
  return 1;
}

bool CDataParabolicSAR::startAt(const PointVector& s, int i, double* value, SarState* state) const {
  const PointFilter passes(*this);
  int counted = 0;
  double lowest = 0.0;
  for (int j = 0; j <= i; ++j) {
    if (!passes(s[j])) continue;
    lowest = counted == 0 ? s[j].low : std::min(lowest, s[j].low);
    if (++counted == 5) {
      *value = lowest;
      *state = SarState{s[j].high, params_.step, 1};
      return true;
    }
  }
  return false;
}

double CDataParabolicSAR::raisedFactor(double factor) const {
  const double raised = factor + params_.step;
  return raised < params_.maximum ? raised : params_.maximum;
}

double CDataParabolicSAR::stepFrom(const PointVector& s, int i, int prev, int prev2, SarState* state) const {
  const PointVector& own = points();
  const SarState before = stateOf(own[prev]);
  const double sar = own[prev].close;
  double next = (before.extreme - sar) * before.factor + sar;
  *state = before;
  if (before.rising) {
    const double limit = prev2 >= 0 ? std::min(s[prev].low, s[prev2].low) : s[prev].low;
    if (next > limit) next = limit;
    if (next < sar) next = sar;
    if (sar >= s[i].low || next >= s[i].low) {
      *state = SarState{s[i].low, params_.step, 0};
      return std::max(s[i].high, before.extreme);
    }
    if (s[i].high > before.extreme) {
      state->factor = raisedFactor(before.factor);
      state->extreme = s[i].high;
    }
    return next;
  }
  const double limit = prev2 >= 0 ? std::max(s[prev].high, s[prev2].high) : s[prev].high;
  if (next < limit) next = limit;
  if (next > sar) next = sar;
  if (sar <= s[i].high || next <= s[i].high) {
    *state = SarState{s[i].high, params_.step, 1};
    return std::min(s[i].low, before.extreme);
  }
  if (s[i].low < before.extreme) {
    state->factor = raisedFactor(before.factor);
    state->extreme = s[i].low;
  }
  return next;
}

void CDataParabolicSAR::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  const PointFilter passes(*this);
  const bool percent = percentShown(*this);
  int from = 0;
  int to = -1;
  if (tailRange(*this, first, percent, &from, &to)) {
    const PointVector& s = source_->getPoints();
    PointVector& own = getPoints();
    for (int i = from; i <= to && i < s.size(); ++i) {
      own[i].valid = 0;
      if (!passes(s[i])) continue;
      const int prev = lastValidBefore(own, i);
      int prev2 = prev < 0 ? -1 : lastValidBefore(own, prev);
      if (prev2 >= 0 && stateOf(own[prev2]).rising != stateOf(own[prev]).rising) prev2 = -1;
      double value = 0.0;
      SarState state{};
      if (prev < 0) {
        if (!startAt(s, i, &value, &state)) continue;
      } else {
        value = stepFrom(s, i, prev, prev2, &state);
      }
      setSingleValue(&own[i], value);
      storeState(own[i], state);
      own[i].valid = 1;
    }
    if (percent) percentPass(*this, to);
  }
  finishRange(*this, first, from, to);
}

}  // namespace kelda::chart
