// Graph type code -> series class. An indicator class joins by one line in
// kKinds (its code and a maker) and a file of its own.
#include "chart/series_factory.h"

#include <iterator>
#include <memory>

#include "chart/chart.h"
#include "chart/data_accumulation.h"
#include "chart/data_adx.h"
#include "chart/data_alligator.h"
#include "chart/data_awesome.h"
#include "chart/data_bollinger.h"
#include "chart/data_cci.h"
#include "chart/data_elder_ray.h"
#include "chart/data_envelopes.h"
#include "chart/data_force_index.h"
#include "chart/data_ichimoku.h"
#include "chart/data_ma.h"
#include "chart/data_macd.h"
#include "chart/data_money_flow.h"
#include "chart/data_momentum.h"
#include "chart/data_price.h"
#include "chart/data_rsi.h"
#include "chart/data_sar.h"
#include "chart/data_stochastic.h"
#include "chart/data_trend_filter.h"
#include "chart/data_trix.h"
#include "chart/data_volatility.h"
#include "chart/data_volume.h"
#include "chart/data_volume_osc.h"

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
    {CDataPriceOscillator::kTypeCode, make<CDataPriceOscillator>},
    {CDataMACD::kTypeCode, make<CDataMACD>},
    {CDataMACDHistogram::kTypeCode, make<CDataMACDHistogram>},
    {CDataStochastic::kTypeCode, make<CDataStochastic>},
    {CDataEnvelops::kTypeCode, make<CDataEnvelops>},
    {CDataParabolicSAR::kTypeCode, make<CDataParabolicSAR>},
    {CDataTRIX::kTypeCode, make<CDataTRIX>},
    {CDataStandardDev::kTypeCode, make<CDataStandardDev>},
    {CDataBolLines::kTypeCode, make<CDataBolLines>},
    {CDataADX::kTypeCode, make<CDataADX>},
    {CDataMFI::kTypeCode, make<CDataMFI>},
    {CDataVolumeOsc::kTypeCode, make<CDataVolumeOsc>},
    {CDataBalanceVol::kTypeCode, make<CDataBalanceVol>},
    {CDataCumAD::kTypeCode, make<CDataCumAD>},
    {CDataChaikinOscill::kTypeCode, make<CDataChaikinOscill>},
    {CDataCumWAD::kTypeCode, make<CDataCumWAD>},
    {CDataElderFI::kTypeCode, make<CDataElderFI>},
    {CDataBW_MFI::kTypeCode, make<CDataBW_MFI>},
    {CDataAlligator::kTypeCode, make<CDataAlligator>},
    {CDataAO::kTypeCode, make<CDataAO>},
    {CDataAC::kTypeCode, make<CDataAC>},
    {CDataElderRay::kTypeCode, make<CDataElderRay>},
    {CDataIchimoku::kTypeCode, make<CDataIchimoku>},
    {CDataVHFilter::kTypeCode, make<CDataVHFilter>},
    {CDataVolatility::kTypeCode, make<CDataVolatility>},
    {CDataChaikinVolat::kTypeCode, make<CDataChaikinVolat>},
    {CDataRSI::kTypeCode, make<CDataRSI>},
    {CDataMom::kTypeCode, make<CDataMom>},
    {CDataROC::kTypeCode, make<CDataROC>},
    {CDataSROC::kTypeCode, make<CDataSROC>},
    {CDataCMO::kTypeCode, make<CDataCMO>},
    {CDataWilliams::kTypeCode, make<CDataWilliams>},
    {CDataCCI::kTypeCode, make<CDataCCI>},
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

int32_t nextElderRayId(CChart& chart, int32_t elderRayId) {
  auto* elder = dynamic_cast<CDataElderRay*>(chart.findSeries(elderRayId));
  if (elder == nullptr || elder->getGraph() == nullptr) return 0;
  return elder->nextRayId();
}

}  // namespace kelda::chart
