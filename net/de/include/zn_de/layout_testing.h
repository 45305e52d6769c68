// Test helper: proves that a C++ record and a message layout agree, member by
// member, on the native offsets that the codec uses.
//
// List the record's members in order with ZN_RECORD_FIELD (a counted array is
// two members: its 16-bit count and its element array):
//
//   const kelda::de::RecordField fields[] = {
//       ZN_RECORD_FIELD(OrderRecord, number),
//       ZN_RECORD_FIELD(OrderRecord, count),
//       ZN_RECORD_FIELD(OrderRecord, items),
//   };
//   EXPECT_EQ(kelda::de::layout_mismatches<OrderRecord>(kOrderLayout, fields), "");
//
// The result names every member whose codec offset or size differs from
// offsetof and sizeof, a member count that differs, and a record size that
// is not the codec's native size padded to the record's alignment. An empty
// text means they agree. For test code only; no state, any thread.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "zn_de/message_layout.h"

namespace kelda::de {

struct RecordField {
  const char* name;
  std::size_t offset;
  std::size_t size;
};

#define ZN_RECORD_FIELD(Record, member) \
  ::kelda::de::RecordField { #member, offsetof(Record, member), sizeof(static_cast<Record*>(nullptr)->member) }

std::string layout_mismatches(MessageLayout* layout, std::span<const RecordField> fields,
                              std::size_t record_size, std::size_t record_alignment);

template <typename Record>
std::string layout_mismatches(MessageLayout* layout, std::span<const RecordField> fields) {
  return layout_mismatches(layout, fields, sizeof(Record), alignof(Record));
}

}  // namespace kelda::de
