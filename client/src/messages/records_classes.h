// Message records of classes, securities and parameter descriptions.
// Layouts in layouts_market.cpp; plain data (see records_common.h).
#pragma once

#include <cstdint>

#include "records_common.h"

namespace kelda::kelapi {

// 0x803C, received: a class description. Its bytes are the first 1096 bytes
// of the class record kept in classes.dat.
struct Msg803C_ClassDescription {
  int32_t server_id;
  char code[13];
  char name[129];
  uint32_t flags;
  int32_t value1;
  int32_t value2;
  uint32_t table_flags;
  char second_code[13];
  int32_t securities_version;
  int32_t parameters_version;
  int32_t value3;
  uint16_t list_count;
  int32_t list[225];
};
static_assert(sizeof(Msg803C_ClassDescription) == 1096);

// 0x8081, received: a security description.
struct Msg8081_SecurityDescription {
  int32_t request;
  int32_t server_id;
  char code[13];
  char name[31];
  char short_name[17];
  int32_t value1;
  int64_t value2;
  char four_chars[5];
  int16_t scale;
  int32_t value3;
  int32_t trading_unit;
  char text3[13];
  char text4[21];
};
static_assert(sizeof(Msg8081_SecurityDescription) == 144);

// 0x803B, received: a security description, older form.
struct Msg803B_SecurityDescriptionOld {
  int32_t request;
  int32_t server_id;
  char code[13];
  char name[31];
  char short_name[17];
  int32_t value1;
  char four_chars[5];
  int16_t scale;
  int32_t value3;
  int32_t trading_unit;
  int32_t scaled_step;
  int16_t value4;
  char text1[13];
  char text2[13];
  char text3[13];
};
static_assert(sizeof(Msg803B_SecurityDescriptionOld) == 140);

// 0x8038, received: server ids of a class's securities by position.
struct Msg8038_ServerIds {
  int32_t request;
  int16_t flags;  // 4 = last part
  int32_t first_position;
  uint16_t count;
  int32_t server_ids[225];
};
static_assert(sizeof(Msg8038_ServerIds) == 916);

// 0x00D0, received: server ids by position, older form (16-bit fields).
struct Msg00D0_ServerIdsOld {
  int16_t request;
  int16_t flags;
  int16_t first_position;
  uint16_t count;
  int16_t server_ids[450];
};
static_assert(sizeof(Msg00D0_ServerIdsOld) == 908);

// 0x8037, received: the four class texts.
struct Msg8037_ClassTexts {
  int32_t request;
  char text1[257];
  char text2[257];
  char text3[257];
  char text4[257];
  int32_t unused;
};
static_assert(sizeof(Msg8037_ClassTexts) == 1036);

// A request that names a class: 0x8034 (all securities), 0x8039 (server ids
// of the securities by position), 0x8032 (parameter descriptions); sent.
struct ClassRequest {
  int32_t request;
  int32_t class_server_id;
};
static_assert(sizeof(ClassRequest) == 8);
using Msg8034_SecuritiesRequest = ClassRequest;
using Msg8039_SecuritiesRefresh = ClassRequest;
using Msg8032_ParametersRequest = ClassRequest;

// 0x8045 and 0x8046, sent: a security joins or leaves the class filter.
using Msg8045_FilterAdd = Word32;     // security server id
using Msg8046_FilterRemove = Word32;  // security server id

// 0x8051, sent: the class's parameter mask.
struct Msg8051_ParameterMask {
  uint32_t mask_low;
  uint32_t mask_high;
  int32_t class_server_id;
};
static_assert(sizeof(Msg8051_ParameterMask) == 12);

// 0x0024, received: one parameter description. Its bytes are the first 428
// bytes of the parameter record kept in par.dat.
struct Msg0024_ParameterDescription {
  int16_t request;
  uint8_t kind;
  int16_t flags;
  int16_t scale;
  char db_name[17];
  char short_name[17];
  char long_name[257];
  char enum_desc[129];
};
static_assert(sizeof(Msg0024_ParameterDescription) == 428);

}  // namespace kelda::kelapi
