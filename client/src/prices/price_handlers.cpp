// Handlers of the price-list messages: each layout is brought to one call
// (see messages/handlers.h for the rules every handler follows).
#include <algorithm>

#include "messages/handlers.h"
#include "messages/records_values.h"
#include "prices/prices.h"
#include "session/handler_support.h"

namespace kelda::kelapi {
namespace {

template <typename Record>
void level(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Record>(record, KELAPI_RECORD_END(Record, value));
    on_price_level(lib, r.security_id, r.price, r.volume, r.value);
  });
}

template <typename Record>
void level_both(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Record>(record);
    on_price_level_both(lib, r.security_id, r.price, r.negative_volume, r.negative_value, r.positive_volume,
                        r.positive_value);
  });
}

template <typename Record>
void volume(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Record>(record);
    on_price_level(lib, r.security_id, r.price, r.volume, 0);
  });
}

template <typename Record>
void removed(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Record>(record);
    on_price_level(lib, r.security_id, r.price, 0, 0);
  });
}

template <typename Record>
void packed(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto r = record_copy<Record>(record, KELAPI_RECORD_END(Record, words));
    const std::size_t n = std::min<std::size_t>(r.count, std::size(r.words));
    on_packed_levels(lib, static_cast<int32_t>(r.security_id), r.format, r.flags, std::span(r.words, n));
  });
}

}  // namespace

void on_8052_price_level(uint16_t id, const void* record) { level<Msg8052_PriceLevel>(id, record); }
void on_0010_price_level_old(uint16_t id, const void* record) { level<Msg0010_PriceLevelOld>(id, record); }
void on_8053_price_level_both(uint16_t id, const void* record) { level_both<Msg8053_PriceLevelBoth>(id, record); }
void on_0077_price_level_both_old(uint16_t id, const void* record) {
  level_both<Msg0077_PriceLevelBothOld>(id, record);
}
void on_8055_price_volume(uint16_t id, const void* record) { volume<Msg8055_PriceVolume>(id, record); }
void on_00D9_price_volume_old(uint16_t id, const void* record) { volume<Msg00D9_PriceVolumeOld>(id, record); }
void on_8056_price_removed(uint16_t id, const void* record) { removed<Msg8056_PriceRemoved>(id, record); }
void on_00DA_price_removed_old(uint16_t id, const void* record) { removed<Msg00DA_PriceRemovedOld>(id, record); }
void on_808A_packed_levels_short_id(uint16_t id, const void* record) {
  packed<Msg808A_PackedLevelsShortId>(id, record);
}
void on_808E_packed_levels(uint16_t id, const void* record) { packed<Msg808E_PackedLevels>(id, record); }

void on_8094_price_list_cleared(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_price_list_cleared(lib, record_copy<Word32>(record).value); });
}

}  // namespace kelda::kelapi
