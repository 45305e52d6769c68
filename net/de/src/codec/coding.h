// Encoding and decoding by compiled plans: the inner loops shared by the
// record, message and envelope functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "zn_de/codec.h"

namespace kelda::de::detail {

struct Plan;

// Why a record could not be coded; value and limit for count failures.
struct Failure {
  CodecStatus status;
  uint32_t value;
  uint32_t limit;
};

std::string failure_text(const Failure& failure);

bool encode_plan(const Plan& plan, const uint8_t* record, std::span<uint8_t> wire,
                 std::size_t& written, Failure& failure);
// Decodes into plan.native_size bytes at native, writing every one of them
// (zero where the wire gives nothing).
bool decode_plan(const Plan& plan, std::span<const uint8_t> wire, uint8_t* native,
                 Failure& failure);

}  // namespace kelda::de::detail
