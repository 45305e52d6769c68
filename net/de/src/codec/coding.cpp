// Encoding and decoding records by their compiled layouts.
//
// Native members are read and written with memcpy: their offsets are aligned
// from the record's start, but the caller's record need not be.
#include <cstdio>
#include <cstring>

#include "byte_swap.h"
#include "coding.h"
#include "kit/codepage.h"
#include "plan.h"

namespace kelda::de::detail {
namespace {

struct CharTables {
  uint8_t to_wire[256];
  uint8_t to_native[256];
};

const CharTables& char_tables() {
  static const CharTables tables = [] {
    CharTables t{};
    for (int b = 0; b < 256; ++b) {
      t.to_wire[b] = kelda::kit::cp1251_to_cp866(static_cast<uint8_t>(b));
      t.to_native[b] = kelda::kit::cp866_to_cp1251(static_cast<uint8_t>(b));
    }
    return t;
  }();
  return tables;
}

void translate(uint8_t* dst, const uint8_t* src, std::size_t n, const uint8_t* table) {
  for (std::size_t i = 0; i < n; ++i) dst[i] = table[src[i]];
}

class Encoder {
 public:
  Encoder(uint8_t* out, std::size_t size, Failure& failure)
      : pos_(out), end_(out + size), failure_(failure) {}

  bool record(const Plan& plan, const uint8_t* rec) {
    for (const Step& step : plan.steps) {
      const uint8_t* src = rec + step.offset;
      switch (step.kind) {
        case StepKind::single:
          if (!elements(step.element, src, 1)) return false;
          break;
        case StepKind::fixed_array:
          if (!elements(step.element, src, step.count)) return false;
          break;
        case StepKind::char_array: {
          // Up to and including the first NUL, or all N characters.
          const void* nul = std::memchr(src, 0, step.count);
          const std::size_t n =
              nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - src) + 1 : step.count;
          if (!room(n)) return false;
          translate(pos_, src, n, char_tables().to_wire);
          pos_ += n;
          break;
        }
        case StepKind::counted_array: {
          const uint16_t count = load<uint16_t>(src);
          if (count > step.count) {
            failure_ = {CodecStatus::count_over_capacity, count, step.count};
            return false;
          }
          if (!room(2)) return false;
          store<uint16_t>(pos_, big_endian(count));
          pos_ += 2;
          // The elements beyond the count are stepped over, not packed.
          if (!elements(step.element, rec + step.items_offset, count)) return false;
          break;
        }
      }
    }
    return true;
  }

  uint8_t* position() const { return pos_; }

 private:
  bool room(std::size_t n) {
    if (static_cast<std::size_t>(end_ - pos_) >= n) return true;
    failure_ = {CodecStatus::too_long, 0, 0};
    return false;
  }

  bool elements(const Element& el, const uint8_t* src, uint32_t n) {
    if (el.kind == Kind::nested) {
      for (uint32_t i = 0; i < n; ++i) {
        if (!record(*el.nested, src + std::size_t{i} * el.size)) return false;
      }
      return true;
    }
    const std::size_t bytes = std::size_t{n} * el.size;
    if (bytes == 0) return true;
    if (!room(bytes)) return false;
    switch (el.kind) {
      case Kind::byte: std::memcpy(pos_, src, bytes); break;
      case Kind::character: translate(pos_, src, bytes, char_tables().to_wire); break;
      case Kind::int16: swap_copy<uint16_t>(pos_, src, n); break;
      case Kind::int32: swap_copy<uint32_t>(pos_, src, n); break;
      case Kind::int64: swap_copy<uint64_t>(pos_, src, n); break;
      case Kind::nested: break;
    }
    pos_ += bytes;
    return true;
  }

  uint8_t* pos_;
  uint8_t* end_;
  Failure& failure_;
};

class Decoder {
 public:
  Decoder(const uint8_t* in, std::size_t size, Failure& failure)
      : pos_(in), end_(in + size), failure_(failure) {}

  // Writes every native byte of the record up to fill_to: what the wire does
  // not give (alignment gaps, text after its NUL, elements beyond a count, a
  // nested record's end padding) becomes zero.
  bool record(const Plan& plan, uint8_t* rec, uint32_t fill_to) {
    uint32_t filled = 0;
    for (const Step& step : plan.steps) {
      zero(rec, filled, step.offset);
      uint8_t* dst = rec + step.offset;
      const Element& el = step.element;
      switch (step.kind) {
        case StepKind::single:
          if (!elements(el, dst, 1)) return false;
          filled = step.offset + el.size;
          break;
        case StepKind::fixed_array:
          if (!elements(el, dst, step.count)) return false;
          filled = step.offset + step.count * el.size;
          break;
        case StepKind::char_array: {
          const std::size_t available = remaining();
          const std::size_t scan = available < step.count ? available : step.count;
          const void* nul = std::memchr(pos_, 0, scan);
          std::size_t n = step.count;
          if (nul != nullptr) {
            n = static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - pos_) + 1;
          } else if (!have(n)) {
            return false;
          }
          translate(dst, pos_, n, char_tables().to_native);
          pos_ += n;
          filled = step.offset + step.count;
          zero(rec, step.offset + static_cast<uint32_t>(n), filled);
          break;
        }
        case StepKind::counted_array: {
          if (!have(2)) return false;
          const uint16_t count = big_endian(load<uint16_t>(pos_));
          if (count > step.count) {
            failure_ = {CodecStatus::count_over_capacity, count, step.count};
            return false;
          }
          pos_ += 2;
          store<uint16_t>(dst, count);
          zero(rec, step.offset + 2, step.items_offset);
          if (!elements(el, rec + step.items_offset, count)) return false;
          filled = step.items_offset + step.count * el.size;
          zero(rec, step.items_offset + count * el.size, filled);
          break;
        }
      }
    }
    zero(rec, filled, fill_to);
    return true;
  }

 private:
  static void zero(uint8_t* rec, uint32_t from, uint32_t to) {
    if (to > from) std::memset(rec + from, 0, to - from);
  }

  std::size_t remaining() const { return static_cast<std::size_t>(end_ - pos_); }

  bool have(std::size_t n) {
    if (remaining() >= n) return true;
    failure_ = {CodecStatus::short_body, 0, 0};
    return false;
  }

  bool elements(const Element& el, uint8_t* dst, uint32_t n) {
    if (el.kind == Kind::nested) {
      for (uint32_t i = 0; i < n; ++i) {
        if (!record(*el.nested, dst + std::size_t{i} * el.size, el.size)) return false;
      }
      return true;
    }
    const std::size_t bytes = std::size_t{n} * el.size;
    if (bytes == 0) return true;
    if (!have(bytes)) return false;
    switch (el.kind) {
      case Kind::byte: std::memcpy(dst, pos_, bytes); break;
      case Kind::character: translate(dst, pos_, bytes, char_tables().to_native); break;
      case Kind::int16: swap_copy<uint16_t>(dst, pos_, n); break;
      case Kind::int32: swap_copy<uint32_t>(dst, pos_, n); break;
      case Kind::int64: swap_copy<uint64_t>(dst, pos_, n); break;
      case Kind::nested: break;
    }
    pos_ += bytes;
    return true;
  }

  const uint8_t* pos_;
  const uint8_t* end_;
  Failure& failure_;
};

}  // namespace

std::string failure_text(const Failure& failure) {
  char text[160];
  switch (failure.status) {
    case CodecStatus::count_over_capacity:
      std::snprintf(text, sizeof text, "counted array of %u elements exceeds its capacity of %u",
                    failure.value, failure.limit);
      return text;
    case CodecStatus::short_body:
      return "the body is shorter than its layout";
    case CodecStatus::too_long:
      return "the packed record does not fit in its buffer";
    default:
      return "coding failed";
  }
}

bool encode_plan(const Plan& plan, const uint8_t* record, std::span<uint8_t> wire,
                 std::size_t& written, Failure& failure) {
  Encoder encoder(wire.data(), wire.size(), failure);
  if (!encoder.record(plan, record)) return false;
  written = static_cast<std::size_t>(encoder.position() - wire.data());
  return true;
}

bool decode_plan(const Plan& plan, std::span<const uint8_t> wire, uint8_t* native,
                 Failure& failure) {
  Decoder decoder(wire.data(), wire.size(), failure);
  return decoder.record(plan, native, plan.native_size);
}

}  // namespace kelda::de::detail

namespace kelda::de {

CodecResult<std::size_t> encode_record(const RecordLayout& layout, const void* record,
                                       std::span<uint8_t> wire) {
  detail::Failure failure{};
  std::size_t written = 0;
  if (!detail::encode_plan(RecordLayoutAccess::plan(layout), static_cast<const uint8_t*>(record),
                           wire, written, failure)) {
    return CodecError{failure.status, "Can't encode record: " + detail::failure_text(failure)};
  }
  return written;
}

CodecResult<std::size_t> decode_record(const RecordLayout& layout, std::span<const uint8_t> wire,
                                       std::span<uint8_t> native) {
  const detail::Plan& plan = RecordLayoutAccess::plan(layout);
  if (native.size() < plan.native_size) {
    return CodecError{CodecStatus::too_long, "Can't decode record: the native buffer is too small"};
  }
  detail::Failure failure{};
  if (!detail::decode_plan(plan, wire, native.data(), failure)) {
    return CodecError{failure.status, "Can't decode record: " + detail::failure_text(failure)};
  }
  return std::size_t{plan.native_size};
}

}  // namespace kelda::de
