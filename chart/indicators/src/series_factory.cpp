// Graph type code -> series class. An indicator class joins by one line in
// kKinds (its code and a maker) and a file of its own.
#include "chart/series_factory.h"

#include <iterator>
#include <memory>

#include "chart/data_adx.h"
#include "chart/data_bollinger.h"
#include "chart/data_ma.h"
#include "chart/data_price.h"
#include "chart/data_trix.h"
#include "chart/data_volume.h"

namespace kelda::chart {

namespace {

// The series registers itself in the chart's series list, which owns it.
template <class T>
CDataCommon* make(CChart& chart, CData& source) {
  return std::make_unique<T>(chart, source).release();
}

// The moving average takes its source as a pointer (derived classes wire their own).
CDataCommon* makeMa(CChart& chart, CData& source) { return std::make_unique<CDataMA>(chart, &source).release(); }

struct Kind {
  int32_t type;
  CDataCommon* (*create)(CChart&, CData&);
};

constexpr Kind kKinds[] = {
    {CDataPrice::kTypeCode, make<CDataPrice>},
    {CDataVolume::kTypeCode, make<CDataVolume>},
    {CDataMA::kTypeCode, makeMa},
    {CDataTRIX::kTypeCode, make<CDataTRIX>},
    {CDataStandardDev::kTypeCode, make<CDataStandardDev>},
    {CDataBolLines::kTypeCode, make<CDataBolLines>},
    {CDataADX::kTypeCode, make<CDataADX>},
};

}  // namespace

bool isGraphType(int32_t type) {
  return (type >= 1 && type <= 13) || (type >= 16 && type <= 31) || (type >= 33 && type <= 38) || type == 44;
}

CDataCommon* createSeries(int32_t type, CChart& chart, CData& source) {
  for (const Kind& kind : kKinds) {
    if (kind.type == type) return kind.create(chart, source);
  }
  return nullptr;
}

}  // namespace kelda::chart
