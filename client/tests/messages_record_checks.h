// Test support: the record checks of each group of message records. A check
// compares one C++ record with the layout registered for a message id and
// returns the mismatches (empty when they agree), see zn_de/layout_testing.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "zn_de/layout_testing.h"
#include "zn_de/message_layout.h"

namespace kelda::kelapi::testing {

struct RecordCheck {
  uint32_t id;
  std::string (*check)(MessageLayout* layout);
};

std::span<const RecordCheck> session_record_checks();
std::span<const RecordCheck> market_record_checks();
std::span<const RecordCheck> trading_record_checks();
std::span<const RecordCheck> services_record_checks();
std::span<const RecordCheck> limits_record_checks();
std::span<const RecordCheck> feeds_record_checks();

}  // namespace kelda::kelapi::testing

// Defines a check function: RECORD_CHECK(name, Record, F(member), ...), the
// members in order (a counted array as its count and its elements).
#define F(member) ZN_RECORD_FIELD(R, member)
#define RECORD_CHECK(name, Record, ...)                                      \
  std::string name(MessageLayout* layout) {                                  \
    using R = Record;                                                        \
    const ::kelda::de::RecordField fields[] = {__VA_ARGS__};                 \
    return ::kelda::de::layout_mismatches<R>(layout, fields);               \
  }
