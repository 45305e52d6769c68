// The message codec: native message records to the packed big-endian wire
// form and back, driven by the client library's layouts (message_layout.h).
//
// Native side: a record is laid out like a plain structure whose members
// follow the codes in order; 16-, 32- and 64-bit members (and the 16-bit count
// of a counted array) sit at offsets that are multiples of their width from
// the start of their record, bytes and characters are not aligned, a nested
// record starts at a multiple of its layout's alignment and is padded to a
// multiple of it, and the outermost record is not padded at its end.
// Wire side: the fields one after another with no padding, integers
// big-endian (a 64-bit value upper word first), characters translated from
// code page 1251 to 866, a fixed character array up to and including its first
// NUL, a counted array as its 16-bit count and that many elements.
//
// A RecordLayout is a layout checked and compiled once (native offsets
// precomputed); compiling writes each layout's alignment into its word 0.
// A LayoutRegistry is one connection's sorted set of compiled layouts with
// the per-version check values. Both are immutable after they are built, so
// any number of threads may encode and decode with them at once.
//
// Errors: every failure is a CodecError (a status and a text) whose class is
// the protocol library's "Application error" (-3). Nothing is read or written
// outside the given spans: short input, counts above capacity and output
// that does not fit are refused. No exceptions leave these functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "zn_de/message_layout.h"

namespace kelda::de {

// The encoder's and decoder's work areas: a whole message (id, body, check
// word) and a decoded record each fit in this many bytes.
inline constexpr std::size_t kWorkAreaSize = 8192;
// Protocol versions 0..149 carry a check value each.
inline constexpr int kProtocolVersionCount = 150;
// The error class under which the protocol library records codec failures.
inline constexpr int32_t kApplicationErrorClass = -3;
// The server's refusal of the user; it has no layout.
inline constexpr uint16_t kAccessRefusedId = 0x4166;

enum class CodecStatus {
  unknown_id,           // no layout for the message id
  access_refused,       // the server's refusal message arrived
  bad_check_word,       // the block does not end in the check word
  short_block,          // a block too short for an id and the check word
  short_body,           // the body ends before its layout does
  count_over_capacity,  // a counted array's count is above its capacity
  too_long,             // the output does not fit its buffer or work area
  bad_layout,           // a layout or registry that cannot be used
  out_of_memory,        // no memory for a registry or a decoded record
};

struct CodecError {
  CodecStatus status;
  std::string text;
  static constexpr int32_t error_class = kApplicationErrorClass;
};

// A value or a CodecError.
template <typename T>
class CodecResult {
 public:
  CodecResult(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  CodecResult(CodecError error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const CodecError& error() const& { return std::get<1>(state_); }

 private:
  std::variant<T, CodecError> state_;
};

namespace detail {
struct Plan;
struct PlanSet;
}  // namespace detail

// One top-level native member as the codec places it: a counted array gives
// two members (its count, then its elements); a nested record one member of
// its padded size.
struct NativeMember {
  uint32_t offset;
  uint32_t size;
  bool operator==(const NativeMember&) const = default;
};

// A layout checked and compiled for coding.
class RecordLayout {
 public:
  // Checks the layout (known codes, one element code after each array code,
  // no layout nested in itself, nesting at most 32 deep, native size at most
  // 16 MiB) and writes the alignment into word 0 of it and of every nested one.
  static CodecResult<RecordLayout> compile(MessageLayout* layout);

  // Size of a decoded record: the offset just past its last member.
  uint32_t native_size() const noexcept;
  // The largest member alignment (0 for an empty layout, as in word 0).
  uint32_t alignment() const noexcept;
  std::vector<NativeMember> members() const;

 private:
  friend class LayoutRegistry;
  friend struct RecordLayoutAccess;
  RecordLayout(std::shared_ptr<const detail::PlanSet> set, const detail::Plan* plan)
      : set_(std::move(set)), plan_(plan) {}
  std::shared_ptr<const detail::PlanSet> set_;
  const detail::Plan* plan_ = nullptr;
};

// Packs a whole record; returns the number of wire bytes written.
CodecResult<std::size_t> encode_record(const RecordLayout& layout, const void* record,
                                       std::span<uint8_t> wire);
// Unpacks a whole record into native, which must hold native_size() bytes;
// returns native_size(). Bytes the wire does not give (alignment gaps, text
// after its NUL, counted-array elements beyond the count) are zero. Wire
// bytes after the layout's end are not read.
CodecResult<std::size_t> decode_record(const RecordLayout& layout, std::span<const uint8_t> wire,
                                       std::span<uint8_t> native);

// The check value of one layout on a running 16-bit value, and its alignment.
struct LayoutCheck {
  uint16_t check;
  uint32_t alignment;
};
LayoutCheck zn_layout_check(uint16_t running, const RecordLayout& layout);

// One connection's layouts by message id, sorted, with the check value of
// every protocol version: the XOR of the checks of all layouts whose version
// is at most that version.
class LayoutRegistry {
 public:
  // Copies the table up to its id-0 entry. Fails with bad_layout for a null
  // table, a layout that does not compile, or a version outside 0..149.
  static CodecResult<LayoutRegistry> build(const MessageLayoutEntry* table,
                                           std::string_view connection_name);

  std::size_t size() const noexcept { return entries_.size(); }
  // The highest protocol version among the entries (0 for an empty table).
  int16_t highest_version() const noexcept { return highest_version_; }
  // The check value of a version; 0 outside 0..149.
  uint16_t check_value(int version) const noexcept;
  // The layout registered for an id, or null.
  const RecordLayout* find(uint32_t id) const noexcept;

 private:
  struct Entry {
    uint32_t id;
    int16_t version;
    RecordLayout layout;
  };
  std::vector<Entry> entries_;
  int16_t highest_version_ = 0;
  std::array<uint16_t, kProtocolVersionCount> checks_{};
};

// The version's check value, zero-extended, ORed with 0x20000.
uint32_t layout_check_word(const LayoutRegistry& registry, int version);

// Packs the body of message id; returns the body length.
CodecResult<std::size_t> encode_message(const LayoutRegistry& registry, uint32_t id,
                                        const void* record, std::span<uint8_t> wire);
// Unpacks the body of message id into native (at least the layout's native
// size); returns the native size.
CodecResult<std::size_t> decode_message_body(const LayoutRegistry& registry, uint32_t id,
                                             std::span<const uint8_t> wire,
                                             std::span<uint8_t> native);

// Builds a whole message in out: the id as 2 bytes big-endian, the body and,
// when asked, the check word. The message may take at most kWorkAreaSize
// bytes (or out's size when smaller). Returns the message length.
CodecResult<std::size_t> pack_message(const LayoutRegistry& registry, uint32_t id,
                                      const void* record, bool with_check_word,
                                      std::span<uint8_t> out);

// A decoded message: its id and its native record (heap, 16-byte aligned;
// the block runs on to a multiple of 16 bytes, zero-filled, so that a whole
// C++ record can be copied from it).
struct ReceivedMessage {
  uint16_t id = 0;
  uint32_t size = 0;
  std::unique_ptr<uint8_t[]> record;
};

// Decodes one received block: the check word at its end, the id at its
// start, the body between. An empty block gives no message. A block whose id
// has no layout fails with unknown_id, or access_refused for the server's
// refusal. Body bytes after the layout's end are ignored.
CodecResult<std::optional<ReceivedMessage>> decode_message(const LayoutRegistry& registry,
                                                           std::span<const uint8_t> block);

// A buffer that decoded records are written into, grown to the largest
// record seen and kept, so that a stream of messages is decoded without an
// allocation each (16-byte aligned, like the record of ReceivedMessage).
struct RecordBuffer {
  std::unique_ptr<uint8_t[]> bytes;
  std::size_t capacity = 0;
};

// A message decoded into a RecordBuffer: valid until the buffer is used
// again.
struct DecodedRecord {
  uint16_t id = 0;
  uint32_t size = 0;
  const uint8_t* record = nullptr;
};

// decode_message, with the record laid out in `buffer` (the same checks,
// results and layout).
CodecResult<std::optional<DecodedRecord>> decode_message_into(const LayoutRegistry& registry,
                                                              std::span<const uint8_t> block,
                                                              RecordBuffer& buffer);

}  // namespace kelda::de
