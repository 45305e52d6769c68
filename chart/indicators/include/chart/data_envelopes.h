// The envelopes (graph type 18, three lines): the series itself is the
// middle line (the values of its moving average), and it owns the average
// and an upper and a lower line at k percent above and below it, each a
// companion; each line lists the composite as its companion, so deleting
// any part deletes the whole. Threading and errors as CData.
#pragma once

#include "chart/data_ma.h"

namespace kelda::chart {

// One line: (k * 0.01 + 1) times the average, the factor formed in single
// precision. The 4-byte block is k.
class CDataEnvelopLine final : public CDataCommon {
 public:
  CDataEnvelopLine(CChart& chart, CData& middle);
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;

 private:
  CData* middle_;
  float k_ = 2.0f;
};

// The 24-byte block; the two last fields are kept and reported, not used.
struct EnvelopesParams {
  float k = 2.0f;
  int32_t period = 20;
  int32_t field = 4;
  int32_t method = 2;
  int32_t reserved1 = 0;
  int32_t reserved2 = 0;
};
static_assert(sizeof(EnvelopesParams) == 24);

class CDataEnvelops final : public CDataCommon {
 public:
  static constexpr int32_t kTypeCode = 18;
  // The average takes the block's period, method and field at once.
  CDataEnvelops(CChart& chart, CData& source);
  void attachGraph(std::unique_ptr<CGraph> graph) override;
  int hasData() const override;
  void calculate(int first, int last) override;
  int getParams(VizorGraphParams* graphOut, void* params, int size) override;
  int setParams(const VizorGraphParams* graph, const void* params, int size, int checkOnly, int recalc) override;
  int lineCount(int* count) const override;
  // Middle, upper and lower line; a line without a value reports volume 0.0.
  int valuesAt(FILETIME barTime, VizorCandleQuery* query) override;

  CDataEnvelopLine& upper() const { return *upper_; }
  CDataEnvelopLine& lower() const { return *lower_; }

 private:
  CDataMA* average_;
  CDataEnvelopLine* upper_;
  CDataEnvelopLine* lower_;
  EnvelopesParams params_;
};

}  // namespace kelda::chart
