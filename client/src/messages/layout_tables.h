// The layout tables of the message set: short names for the layout codes and
// the registry entries of each group (layouts_*.cpp), joined by
// layout_registry.cpp.
//
// Each table lists one message layout: word 0 (the alignment, filled in by
// the protocol library), then one code per native member, then 0. A text of
// capacity N is array(N), kChar (TEXT(N) in the tables); a counted array is
// counted(capacity) and its element code; a nested record is nested(other
// layout).
#pragma once

#include <cstdint>
#include <span>

#include "zn_de/message_layout.h"

namespace kelda::kelapi::layout_codes {

inline constexpr MessageLayout kEnd = ZN_FIELD_END;
inline constexpr MessageLayout kByte = ZN_FIELD_BYTE;
inline constexpr MessageLayout kChar = ZN_FIELD_CHAR;
inline constexpr MessageLayout kI16 = ZN_FIELD_INT16;
inline constexpr MessageLayout kI32 = ZN_FIELD_INT32;
inline constexpr MessageLayout kI64 = ZN_FIELD_INT64;

constexpr MessageLayout array(int elements) { return ZN_FIELD_ARRAY(elements); }
constexpr MessageLayout counted(int capacity) { return ZN_FIELD_COUNTED_ARRAY(capacity); }
inline MessageLayout nested(MessageLayout* layout) { return ZN_FIELD_NESTED(layout); }

}  // namespace kelda::kelapi::layout_codes

namespace kelda::kelapi {

// The registry entries of one group of tables; layout_registry.cpp joins them.
std::span<const MessageLayoutEntry> session_layouts();
std::span<const MessageLayoutEntry> market_layouts();
std::span<const MessageLayoutEntry> trading_layouts();
std::span<const MessageLayoutEntry> services_layouts();
std::span<const MessageLayoutEntry> limits_layouts();
std::span<const MessageLayoutEntry> feeds_layouts();
std::span<const MessageLayoutEntry> legacy_layouts();

}  // namespace kelda::kelapi
