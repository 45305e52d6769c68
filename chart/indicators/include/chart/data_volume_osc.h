// Two oscillators of a short and a long moving average: the volume
// oscillator (graph type 19, averages of the bars' volume, their spread in
// percent of the long one) and the Chaikin oscillator (graph type 22,
// averages of the accumulation/distribution line, their difference). Each
// owns its averages and what they average. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

class CDataCumAD;
class CDataVolume;

// The 16-byte block of both oscillators.
struct OscillatorParams {
  int32_t shortPeriod;
  int32_t longPeriod;
  int32_t method;
  int32_t field;  // the volume oscillator stores it; its averages read the close
};
static_assert(sizeof(OscillatorParams) == 16);

// Base of the two: the two averages and the per-bar formula over them.
class CDataTwoAverageOscillator : public CDataCommon {
 public:
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;

  CDataMA& shortAverage() const { return *short_; }
  CDataMA& longAverage() const { return *long_; }

 protected:
  CDataTwoAverageOscillator(CChart& chart, const OscillatorParams& defaults);
  // Wires the two averages as sources (in the order given) and companions.
  void adoptAverages(CDataMA* shortAverage, CDataMA* longAverage, bool longFirst);
  // The value from the two averages' closes.
  virtual double valueOf(double shortClose, double longClose) const = 0;
  // Whether a bar where either average has no value keeps what it held
  // (the Chaikin oscillator) instead of being cleared.
  virtual bool keepsBarsWithoutValue() const { return false; }

  CDataMA* short_ = nullptr;
  CDataMA* long_ = nullptr;
  OscillatorParams params_;
};

class CDataVolumeOsc final : public CDataTwoAverageOscillator {
 public:
  static constexpr int32_t kTypeCode = 19;
  CDataVolumeOsc(CChart& chart, CData& source);
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  double valueOf(double shortClose, double longClose) const override;
};

class CDataChaikinOscill final : public CDataTwoAverageOscillator {
 public:
  static constexpr int32_t kTypeCode = 22;
  CDataChaikinOscill(CChart& chart, CData& source);
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  double valueOf(double shortClose, double longClose) const override;
  bool keepsBarsWithoutValue() const override { return true; }
};

}  // namespace kelda::chart
