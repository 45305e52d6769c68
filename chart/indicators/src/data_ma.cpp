// The moving average and its four methods.
#include "chart/data_ma.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "chart/graph.h"
#include "indicator_util.h"
#include "sliding_window.h"

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

namespace {

// The running state of the windowed methods over the source: the window of
// the last n passing points and its sums (prices; volumes and volume times
// price for the volume-weighted method).
class MaWindow {
 public:
  // A window that is not used (the exponential method) holds nothing.
  MaWindow(const PointVector& source, const PointFilter& passes, const MaParams& p, bool used)
      : source_(source),
        passes_(passes),
        field_(p.field),
        n_(p.period),
        weighing_(p.method == kMaVolumeWeighted),
        window_(used ? p.period : 1, used ? source.size() : 1) {}

  // Takes the window of the passing points at or before bar `at` (-1: none).
  void fillAt(int32_t at) {
    window_.fillAt(source_, passes_, at);
    resum();
    nextResum_ = nextResum(at, n_);
  }
  // Moves on to bar i: its point joins when it passes (the oldest leaves a
  // full window); at every stride bar the sums are taken again exactly.
  void advance(int32_t i, bool passing) {
    if (passing) {
      const DataPoint& s = source_[i];
      const double p = selectPrice(field_, &s);
      sum_.add(p);
      if (weighing_) {
        volume_.add(s.volume);
        weighted_.add(s.volume * p);
      }
      const int32_t left = window_.push(i);
      if (left >= 0) {
        const DataPoint& o = source_[left];
        const double q = selectPrice(field_, &o);
        sum_.add(-q);
        if (weighing_) {
          volume_.add(-o.volume);
          weighted_.add(-(o.volume * q));
        }
      }
    }
    if (i == nextResum_) {
      resum();
      nextResum_ += resumStride(n_);
    }
  }
  bool full() const { return window_.full(); }
  double sum() const { return sum_.value(); }
  double volume() const { return volume_.value(); }
  double weighted() const { return weighted_.value(); }

 private:
  // The sums afresh, in the walk's order (the newest point first).
  void resum() {
    sum_.reset();
    volume_.reset();
    weighted_.reset();
    for (int32_t k = 0; k < window_.size(); ++k) {
      const DataPoint& s = source_[window_.newest(k)];
      const double p = selectPrice(field_, &s);
      sum_.add(p);
      if (weighing_) {
        volume_.add(s.volume);
        weighted_.add(s.volume * p);
      }
    }
  }

  const PointVector& source_;
  const PointFilter& passes_;
  int32_t field_;
  int32_t n_;
  int32_t nextResum_ = 0;
  bool weighing_;
  PassingWindow window_;
  CompensatedSum sum_;
  CompensatedSum volume_;
  CompensatedSum weighted_;
};

}  // namespace

bool CDataMA::seedValue(const PointVector& source, const PointFilter& passes, int i, double* value) const {
  const int n = params_.period;
  if (params_.method == kMaExponential) {
    bool seeded = false;
    double e = 0.0;
    for (int k = 0; k <= i; ++k) {
      if (!passes(source[k])) continue;
      const double p = selectPrice(params_.field, &source[k]);
      e = seeded ? (static_cast<double>(n - 1) * e + 2.0 * p) / (static_cast<double>(n) + 1.0) : p;
      seeded = true;
    }
    *value = e;
    return true;
  }
  // Smoothed: the mean over every passing point so far.
  double sum = 0.0;
  for (int k = 0; k <= i; ++k) {
    if (passes(source[k])) sum += selectPrice(params_.field, &source[k]);
  }
  *value = sum / static_cast<double>(n);
  return true;
}

void CDataMA::calculate(int first, int last) {
  if (!takeSourceNotice(first, last)) return;
  CData* src = maSource();
  const bool percent = percentShown(*this);
  const bool whole = first == -1;
  PointVector& own = getPoints();
  const int end = own.size() - 1;
  const int start = whole || percent ? 0 : std::max(first, 0);
  const int rangeLast = whole ? end : last;
  const int method = params_.method;
  // A windowed average changes only over the n points after the range; a
  // recursive one carries every change on to the end.
  const bool stopEarly = !whole && !percent && (method == kMaSimple || method == kMaVolumeWeighted);
  int handled = start - 1;
  if (src != nullptr && start <= end) {
    const PointVector& source = src->getPoints();
    const PointFilter passes(*this);
    const int n = params_.period;
    const double nd = static_cast<double>(n);
    const bool windowed = method == kMaSimple || method == kMaVolumeWeighted || method == kMaSmoothed;
    const bool recursive = method == kMaExponential || method == kMaSmoothed;
    const int stop = std::min(end, source.size() - 1);
    MaWindow window(source, passes, params_, windowed);
    // The window of the bar before the first: its sums are the window's
    // sums to far below a double's last digit, as a full calculation has
    // them there.
    if (windowed) window.fillAt(start - 1);
    // The recursive methods go on from this series' last passing point and
    // need n - 1 passing source points before their first value.
    int previous = -1;
    int passedBefore = 0;
    if (recursive) {
      for (int j = std::min(start, own.size()) - 1; j >= 0 && previous < 0; --j) {
        if (passes(own[j])) previous = j;
      }
      if (previous < 0) {
        for (int k = 0; k < start && k < source.size(); ++k) passedBefore += passes(source[k]) ? 1 : 0;
      }
    }
    int counted = 0;
    for (int i = start; i <= stop; ++i) {
      handled = i;
      DataPoint& p = own[i];
      p.valid = 0;
      const bool passing = passes(source[i]);
      if (windowed) window.advance(i, passing);
      if (passing && i >= n - 1) {
        double value = 0.0;
        bool has = false;
        switch (method) {
          case kMaSimple:
            has = window.full();
            value = window.sum() / nd;
            break;
          case kMaVolumeWeighted:
            has = window.full() && std::fabs(window.volume()) >= kEpsilon;
            value = window.weighted() / window.volume();
            break;
          case kMaExponential:
          case kMaSmoothed: {
            const double pi = selectPrice(params_.field, &source[i]);
            if (previous >= 0) {
              has = true;
              value = method == kMaExponential
                          ? (static_cast<double>(n - 1) * own[previous].close + 2.0 * pi) / (nd + 1.0)
                          : (window.sum() - own[previous].close + pi) / nd;
            } else if (passedBefore >= n - 1) {
              has = seedValue(source, passes, i, &value);
            }
            break;
          }
          default:
            break;
        }
        if (has) {
          setSingleValue(&p, value);
          p.valid = 1;
          if (rounding_) roundClose(&p);
        }
      }
      if (passing) ++passedBefore;
      const bool ownPasses = passes(p);
      if (ownPasses) previous = i;
      if (ownPasses && i >= rangeLast) ++counted;
      if (stopEarly && counted >= n) break;
    }
    if (percent) {
      for (int i = 0; i <= end; ++i) {
        if (passes(own[i])) toPercentOfBase(&own[i]);
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
