// The market tables' records as they are kept in memory and in the saved
// files classes.dat, sec.dat and par.dat (the same bytes; offsets pinned).
//
// Plain data, no threading or ownership of their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "messages/records_classes.h"

namespace kelda::kelapi {

inline constexpr std::size_t kMaxClasses = 100;
inline constexpr std::size_t kClassListCapacity = 225;
// Slot numbers are 16-bit in the parameter records.
inline constexpr std::size_t kMaxParamSlots = 32767;

// A class description as the server sends it: the first 1096 bytes of a
// class record.
using ClassDescription = Msg803C_ClassDescription;
static_assert(offsetof(ClassDescription, flags) == 148 && offsetof(ClassDescription, second_code) == 164);
static_assert(offsetof(ClassDescription, list_count) == 192 && offsetof(ClassDescription, list) == 196);

struct ClassRecord {
  ClassDescription d;
  uint32_t securities_request;  // 0: none pending
  uint32_t params_request;
  uint16_t params_complete;
  uint16_t securities_complete;
  uint32_t securities_received;  // the next position within the class
  int32_t highest_snapshot;
  char text1[257];
  char text2[257];
  char text3[257];
  char text4[257];
  uint32_t texts_request;
};
static_assert(sizeof(ClassRecord) == 2148);
static_assert(offsetof(ClassRecord, securities_request) == 1096);
static_assert(offsetof(ClassRecord, params_complete) == 1104);
static_assert(offsetof(ClassRecord, securities_received) == 1108);
static_assert(offsetof(ClassRecord, text1) == 1116 && offsetof(ClassRecord, text4) == 1887);
static_assert(offsetof(ClassRecord, texts_request) == 2144);

// The part of a security record that a security description fills.
struct SecurityHead {
  int32_t request;  // the securities request that delivered it
  int32_t server_id;
  char code[13];
  char name[31];
  char short_name[17];
  int32_t value1;
  int64_t value2;
  char text4ch[5];
  int16_t scale;
  int32_t value3;
  int32_t trading_unit;
  int32_t step;  // scaled step value
  int16_t value4;
  char text1[13];
  char text2[13];
  char text3[13];
  char text4[21];
};
static_assert(sizeof(SecurityHead) == 176);
static_assert(offsetof(SecurityHead, value1) == 72 && offsetof(SecurityHead, value2) == 80);
static_assert(offsetof(SecurityHead, text4ch) == 88 && offsetof(SecurityHead, scale) == 94);
static_assert(offsetof(SecurityHead, step) == 104 && offsetof(SecurityHead, value4) == 108);
static_assert(offsetof(SecurityHead, text1) == 110 && offsetof(SecurityHead, text4) == 149);

struct SecurityRecord {
  SecurityHead h;
  int32_t class_index;
  int32_t position;  // within the class; -1 after a full reload
  uint16_t in_filter;
  uint16_t scratch;
  uint16_t changed;
  uint16_t reserved1;
  uint32_t link;  // used by the data lines at run time; saved as 0
  uint32_t reserved2;
};
static_assert(sizeof(SecurityRecord) == 200);
static_assert(offsetof(SecurityRecord, class_index) == 176 && offsetof(SecurityRecord, in_filter) == 184);
static_assert(offsetof(SecurityRecord, link) == 192);

// A parameter description as the server sends it: the first 428 bytes of a
// parameter record.
using ParamDescription = Msg0024_ParameterDescription;
static_assert(offsetof(ParamDescription, db_name) == 8 && offsetof(ParamDescription, enum_desc) == 299);

// One parameter a class carries (NET_PARAM_EX): the description and where it
// stands.
struct NetParamEx {
  ParamDescription d;
  uint16_t in_filter;
  uint16_t filter2;  // saved as 0
  int16_t number;    // order of arrival within the class: its bit in the masks
  uint16_t reserved;
  int32_t class_index;
  int16_t slot;
  uint16_t zero_is_no_value;
};
static_assert(sizeof(NetParamEx) == 444);
static_assert(offsetof(NetParamEx, in_filter) == 428 && offsetof(NetParamEx, number) == 432);
static_assert(offsetof(NetParamEx, class_index) == 436 && offsetof(NetParamEx, slot) == 440);

// Parameter flags.
inline constexpr uint16_t kParamDouble = 0x1;
inline constexpr uint16_t kParamPersistent = 0x8;
inline constexpr uint16_t kParamSecurityScale = 0x10;

}  // namespace kelda::kelapi
