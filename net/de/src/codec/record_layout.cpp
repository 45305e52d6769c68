// Compiling layouts: checking the codes, placing every native member, and
// the layout check value.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <unordered_set>

#include "plan.h"

namespace kelda::de {
namespace detail {
namespace {

constexpr int kMaxNesting = 32;
// Larger native records are refused; nothing of the message set comes near.
constexpr uint64_t kMaxNativeSize = uint64_t{1} << 24;
// No nested layout can sit at an address this low.
constexpr MessageLayout kLowestLayoutAddress = 4096;

bool is_array_code(MessageLayout code) { return code >= -1999 && code <= -1; }
bool is_counted_code(MessageLayout code) { return code >= -1999 && code <= -1000; }

uint64_t align_up(uint64_t offset, uint32_t align) { return (offset + align - 1) / align * align; }

std::string code_text(MessageLayout code) {
  char text[64];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(code));
  return text;
}

class Compiler {
 public:
  Compiler(PlanSet& set, std::string& error) : set_(set), error_(error) {}

  const Plan* compile(MessageLayout* layout, int depth) {
    if (layout == nullptr) return fail("a nested layout is null");
    if (auto it = set_.by_layout.find(layout); it != set_.by_layout.end()) return it->second;
    if (depth > kMaxNesting) return fail("layouts are nested more than 32 deep");
    if (!in_progress_.insert(layout).second) return fail("a layout is nested in itself");

    Plan plan;
    plan.layout = layout;
    uint64_t offset = 0;
    uint32_t alignment = 0;
    for (const MessageLayout* word = layout + 1; *word != ZN_FIELD_END; ++word) {
      Step step;
      const MessageLayout code = *word;
      if (is_array_code(code)) {
        step.array_code = code;
        const MessageLayout element_code = *++word;
        if (element_code == ZN_FIELD_END || is_array_code(element_code)) {
          return fail("array code " + code_text(code) + " is not followed by an element code");
        }
        if (!element(element_code, depth, step.element)) return nullptr;
        const Element& el = step.element;
        if (is_counted_code(code)) {
          step.kind = StepKind::counted_array;
          step.count = static_cast<uint32_t>(-code - 1000);
          offset = align_up(offset, 2);
          step.offset = static_cast<uint32_t>(offset);
          offset = align_up(offset + 2, el.align);
          step.items_offset = static_cast<uint32_t>(offset);
        } else {
          step.count = static_cast<uint32_t>(-code);
          step.kind = el.kind == Kind::character ? StepKind::char_array : StepKind::fixed_array;
          offset = align_up(offset, el.align);
          step.offset = static_cast<uint32_t>(offset);
        }
        offset += uint64_t{step.count} * el.size;
      } else {
        if (!element(code, depth, step.element)) return nullptr;
        offset = align_up(offset, step.element.align);
        step.offset = static_cast<uint32_t>(offset);
        offset += step.element.size;
      }
      // A nested record counts with its layout's own alignment (0 when empty).
      const Element& el = step.element;
      alignment = std::max(alignment, el.kind == Kind::nested ? el.nested->alignment : el.align);
      if (offset > kMaxNativeSize) return fail("the native record is larger than 16 MiB");
      plan.steps.push_back(step);
    }
    plan.alignment = alignment;
    plan.native_size = static_cast<uint32_t>(offset);
    plan.padded_size = static_cast<uint32_t>(align_up(offset, std::max<uint32_t>(alignment, 1)));
    // Every connection set-up writes the same value; others may be reading.
    std::atomic_ref<MessageLayout>(*layout).store(static_cast<MessageLayout>(alignment),
                                                  std::memory_order_relaxed);

    in_progress_.erase(layout);
    const Plan* done = &set_.plans.emplace_back(std::move(plan));
    set_.by_layout.emplace(layout, done);
    return done;
  }

 private:
  bool element(MessageLayout code, int depth, Element& el) {
    el.code = code;
    switch (code) {
      case ZN_FIELD_BYTE: el.kind = Kind::byte; el.size = el.align = 1; return true;
      case ZN_FIELD_CHAR: el.kind = Kind::character; el.size = el.align = 1; return true;
      case ZN_FIELD_INT16: el.kind = Kind::int16; el.size = el.align = 2; return true;
      case ZN_FIELD_INT32: el.kind = Kind::int32; el.size = el.align = 4; return true;
      case ZN_FIELD_INT64: el.kind = Kind::int64; el.size = el.align = 8; return true;
      default: break;
    }
    if (code < kLowestLayoutAddress) {
      fail("unknown field code " + code_text(code));
      return false;
    }
    const Plan* nested = compile(reinterpret_cast<MessageLayout*>(code), depth + 1);
    if (nested == nullptr) return false;
    el.kind = Kind::nested;
    el.code = 0;
    el.nested = nested;
    el.size = nested->padded_size;
    el.align = std::max<uint32_t>(nested->alignment, 1);
    return true;
  }

  const Plan* fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
    return nullptr;
  }

  PlanSet& set_;
  std::string& error_;
  std::unordered_set<const MessageLayout*> in_progress_;
};

uint16_t mix(uint16_t running, MessageLayout value) {
  const uint16_t rotated = static_cast<uint16_t>((running << 2) | (running >> 14));
  return static_cast<uint16_t>(rotated ^ static_cast<uint16_t>(value));
}

}  // namespace

const Plan* compile_plan(PlanSet& set, MessageLayout* layout, std::string& error) {
  return Compiler(set, error).compile(layout, 0);
}

uint16_t layout_check(uint16_t running, const Plan& plan) {
  running = mix(running, 0x0B);
  for (const Step& step : plan.steps) {
    if (step.kind != StepKind::single) running = mix(running, step.array_code);
    if (step.element.kind == Kind::nested) {
      running = mix(running, 0x0A);
      running = layout_check(running, *step.element.nested);
      running = mix(running, 0x0F);
    } else {
      running = mix(running, step.element.code);
    }
  }
  return mix(running, 0x0D);
}

}  // namespace detail

CodecResult<RecordLayout> RecordLayout::compile(MessageLayout* layout) {
  try {
    auto set = std::make_shared<detail::PlanSet>();
    std::string error;
    const detail::Plan* plan = detail::compile_plan(*set, layout, error);
    if (plan == nullptr) return CodecError{CodecStatus::bad_layout, "Wrong message layout: " + error};
    return RecordLayout(std::move(set), plan);
  } catch (const std::bad_alloc&) {
    return CodecError{CodecStatus::out_of_memory, "Memory allocation error for message layout"};
  }
}

uint32_t RecordLayout::native_size() const noexcept { return plan_->native_size; }

uint32_t RecordLayout::alignment() const noexcept { return plan_->alignment; }

std::vector<NativeMember> RecordLayout::members() const {
  std::vector<NativeMember> members;
  for (const detail::Step& step : plan_->steps) {
    switch (step.kind) {
      case detail::StepKind::single:
        members.push_back({step.offset, step.element.size});
        break;
      case detail::StepKind::fixed_array:
      case detail::StepKind::char_array:
        members.push_back({step.offset, step.count * step.element.size});
        break;
      case detail::StepKind::counted_array:
        members.push_back({step.offset, 2});
        members.push_back({step.items_offset, step.count * step.element.size});
        break;
    }
  }
  return members;
}

LayoutCheck zn_layout_check(uint16_t running, const RecordLayout& layout) {
  const detail::Plan& plan = RecordLayoutAccess::plan(layout);
  return {detail::layout_check(running, plan), plan.alignment};
}

}  // namespace kelda::de
