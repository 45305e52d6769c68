// Compiled layouts: each layout word list turned into steps with precomputed
// native offsets, shared by every id and every enclosing layout that uses it.
// Built once, read-only afterwards.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "zn_de/codec.h"

namespace kelda::de::detail {

enum class Kind : uint8_t { byte, character, int16, int32, int64, nested };

// One element: a plain value or a nested record.
struct Element {
  Kind kind = Kind::byte;
  MessageLayout code = 0;        // the field code (plain kinds)
  const Plan* nested = nullptr;  // the nested layout (Kind::nested)
  uint32_t size = 0;             // native size (padded for nested records)
  uint32_t align = 1;            // native alignment, at least 1
};

enum class StepKind : uint8_t { single, fixed_array, char_array, counted_array };

struct Step {
  StepKind kind = StepKind::single;
  MessageLayout array_code = 0;  // the array code for arrays
  Element element;
  uint32_t offset = 0;        // native offset of the member (of the count, counted)
  uint32_t items_offset = 0;  // counted arrays: native offset of element 0
  uint32_t count = 0;         // fixed arrays: N; counted arrays: the capacity
};

struct Plan {
  const MessageLayout* layout = nullptr;
  std::vector<Step> steps;
  uint32_t alignment = 0;  // largest member alignment, 0 when empty
  uint32_t native_size = 0;
  uint32_t padded_size = 0;  // native size rounded up to the alignment
};

// Owns the plans of one compilation (a record or a whole registry).
struct PlanSet {
  std::deque<Plan> plans;
  std::unordered_map<const MessageLayout*, const Plan*> by_layout;
};

// Compiles a layout and every layout nested in it into set (plans already
// there are reused). Returns null and a text when the layout cannot be used.
const Plan* compile_plan(PlanSet& set, MessageLayout* layout, std::string& error);

uint16_t layout_check(uint16_t running, const Plan& plan);

}  // namespace kelda::de::detail

namespace kelda::de {

struct RecordLayoutAccess {
  static const detail::Plan& plan(const RecordLayout& layout) { return *layout.plan_; }
  static RecordLayout make(std::shared_ptr<const detail::PlanSet> set, const detail::Plan* plan) {
    return RecordLayout(std::move(set), plan);
  }
};

}  // namespace kelda::de
