// A connection's layout registry, and whole messages: the id, the body and
// the check word.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "coding.h"
#include "plan.h"

namespace kelda::de {
namespace {

std::string format_id(const char* format, uint32_t id) {
  char text[128];
  std::snprintf(text, sizeof text, format, static_cast<int>(id));
  return text;
}

CodecError encode_failure(uint32_t id, const detail::Failure& failure) {
  std::string text = format_id("Can't encode network message with id %d: ", id);
  if (failure.status == CodecStatus::too_long) {
    char limit[96];
    std::snprintf(limit, sizeof limit, "the message is longer than %zu bytes", kWorkAreaSize);
    text += limit;
  } else {
    text += detail::failure_text(failure);
  }
  return {failure.status, std::move(text)};
}

CodecError decode_failure(uint32_t id, const detail::Failure& failure) {
  return {failure.status,
          format_id("Can't decode network message with id %d: ", id) + detail::failure_text(failure)};
}

CodecError unknown_for_encoding(uint32_t id) {
  return {CodecStatus::unknown_id, format_id("Can't encode network message with id %d", id)};
}

}  // namespace

CodecResult<LayoutRegistry> LayoutRegistry::build(const MessageLayoutEntry* table,
                                                  std::string_view connection_name) {
  if (table == nullptr) {
    return CodecError{CodecStatus::bad_layout, "Not set messages table for connection \"" +
                                                   std::string(connection_name) + "\""};
  }
  try {
    LayoutRegistry registry;
    auto set = std::make_shared<detail::PlanSet>();
    for (const MessageLayoutEntry* entry = table; entry->id != 0; ++entry) {
      const int16_t version = static_cast<int16_t>(entry->version & 0xFFFF);
      if (version < 0 || version >= kProtocolVersionCount) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "Protocol version %d of network message with id %d is outside 0..%d",
                      version, static_cast<int>(entry->id), kProtocolVersionCount - 1);
        return CodecError{CodecStatus::bad_layout, text};
      }
      std::string error;
      const detail::Plan* plan = detail::compile_plan(*set, entry->layout, error);
      if (plan == nullptr) {
        return CodecError{CodecStatus::bad_layout,
                          format_id("Wrong layout of network message with id %d: ", entry->id) + error};
      }
      registry.entries_.push_back({entry->id, version, RecordLayoutAccess::make(set, plan)});
      registry.highest_version_ = std::max(registry.highest_version_, version);
    }
    std::sort(registry.entries_.begin(), registry.entries_.end(),
              [](const Entry& a, const Entry& b) { return a.id < b.id; });
    for (const Entry& entry : registry.entries_) {
      const uint16_t check = detail::layout_check(0, RecordLayoutAccess::plan(entry.layout));
      for (int v = entry.version; v <= registry.highest_version_; ++v) registry.checks_[v] ^= check;
    }
    return registry;
  } catch (const std::bad_alloc&) {
    return CodecError{CodecStatus::out_of_memory,
                      "Memory allocation error for connection message structs table \"" +
                          std::string(connection_name) + "\""};
  }
}

uint16_t LayoutRegistry::check_value(int version) const noexcept {
  if (version < 0 || version >= kProtocolVersionCount) return 0;
  return checks_[static_cast<std::size_t>(version)];
}

const RecordLayout* LayoutRegistry::find(uint32_t id) const noexcept {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), id,
                             [](const Entry& entry, uint32_t key) { return entry.id < key; });
  if (it == entries_.end() || it->id != id) return nullptr;
  return &it->layout;
}

uint32_t layout_check_word(const LayoutRegistry& registry, int version) {
  return uint32_t{registry.check_value(version)} | 0x20000u;
}

CodecResult<std::size_t> encode_message(const LayoutRegistry& registry, uint32_t id,
                                        const void* record, std::span<uint8_t> wire) {
  const RecordLayout* layout = registry.find(id);
  if (layout == nullptr) return unknown_for_encoding(id);
  detail::Failure failure{};
  std::size_t written = 0;
  if (!detail::encode_plan(RecordLayoutAccess::plan(*layout), static_cast<const uint8_t*>(record),
                           wire, written, failure)) {
    return encode_failure(id, failure);
  }
  return written;
}

CodecResult<std::size_t> decode_message_body(const LayoutRegistry& registry, uint32_t id,
                                             std::span<const uint8_t> wire,
                                             std::span<uint8_t> native) {
  const RecordLayout* layout = registry.find(id);
  if (layout == nullptr) {
    return CodecError{CodecStatus::unknown_id, format_id("Can't decode network message with id %d", id)};
  }
  const detail::Plan& plan = RecordLayoutAccess::plan(*layout);
  if (native.size() < plan.native_size) {
    return decode_failure(id, {CodecStatus::too_long, 0, 0});
  }
  detail::Failure failure{};
  if (!detail::decode_plan(plan, wire, native.data(), failure)) return decode_failure(id, failure);
  return std::size_t{plan.native_size};
}

CodecResult<std::size_t> pack_message(const LayoutRegistry& registry, uint32_t id,
                                      const void* record, bool with_check_word,
                                      std::span<uint8_t> out) {
  // Only 16-bit ids travel: a larger one would go out as another message.
  const RecordLayout* layout = id <= 0xFFFF ? registry.find(id) : nullptr;
  if (layout == nullptr) return unknown_for_encoding(id);
  const std::size_t limit = std::min(out.size(), kWorkAreaSize);
  const std::size_t trailer = with_check_word ? 2 : 0;
  if (limit < 2 + trailer) return encode_failure(id, {CodecStatus::too_long, 0, 0});
  out[0] = static_cast<uint8_t>(id >> 8);
  out[1] = static_cast<uint8_t>(id);
  detail::Failure failure{};
  std::size_t body = 0;
  if (!detail::encode_plan(RecordLayoutAccess::plan(*layout), static_cast<const uint8_t*>(record),
                           out.subspan(2, limit - 2 - trailer), body, failure)) {
    return encode_failure(id, failure);
  }
  std::size_t length = 2 + body;
  if (with_check_word) {
    out[length++] = ZN_CHECK_WORD_BYTE0;
    out[length++] = ZN_CHECK_WORD_BYTE1;
  }
  return length;
}

CodecResult<std::optional<DecodedRecord>> decode_message_into(const LayoutRegistry& registry,
                                                              std::span<const uint8_t> block,
                                                              RecordBuffer& buffer) {
  if (block.empty()) return std::optional<DecodedRecord>{};
  if (block.size() < 4) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "Can't decode network message: a block of %zu bytes has no room for an id "
                  "and the check word",
                  block.size());
    return CodecError{CodecStatus::short_block, text};
  }
  if (block[block.size() - 2] != ZN_CHECK_WORD_BYTE0 || block[block.size() - 1] != ZN_CHECK_WORD_BYTE1) {
    return CodecError{CodecStatus::bad_check_word, "Security check asserted"};
  }
  const uint16_t id = static_cast<uint16_t>((block[0] << 8) | block[1]);
  const RecordLayout* layout = registry.find(id);
  if (layout == nullptr) {
    if (id == kAccessRefusedId) {
      return CodecError{CodecStatus::access_refused,
                        "Connection not established because the user description at server "
                        "contain option <Access server>."};
    }
    return CodecError{CodecStatus::unknown_id, format_id("Can't decode network message with id %d", id)};
  }
  const detail::Plan& plan = RecordLayoutAccess::plan(*layout);
  if (plan.native_size > kWorkAreaSize) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Can't decode network message with id %d: the record is longer than %zu bytes",
                  static_cast<int>(id), kWorkAreaSize);
    return CodecError{CodecStatus::too_long, text};
  }
  try {
    // The record is padded to the widest alignment a C++ record can have,
    // tail zeroed, so a handler may copy the whole C++ record (sizeof)
    // without reading past it. The layout's own alignment is not enough: a
    // counted array's 16-bit count aligns the C++ record but not the layout.
    constexpr std::size_t kPadding = alignof(std::max_align_t);
    const std::size_t block_size =
        (std::max<std::size_t>({plan.native_size, plan.padded_size, 1}) + kPadding - 1) / kPadding *
        kPadding;
    if (buffer.capacity < block_size) {
      buffer.bytes.reset(new uint8_t[block_size]);
      buffer.capacity = block_size;
    }
    std::memset(buffer.bytes.get() + plan.native_size, 0, block_size - plan.native_size);
    detail::Failure failure{};
    if (!detail::decode_plan(plan, block.subspan(2, block.size() - 4), buffer.bytes.get(),
                             failure)) {
      return decode_failure(id, failure);
    }
    return std::optional<DecodedRecord>(DecodedRecord{id, static_cast<uint32_t>(plan.native_size),
                                                      buffer.bytes.get()});
  } catch (const std::bad_alloc&) {
    return CodecError{CodecStatus::out_of_memory,
                      format_id("Can't decode network message with id %d: out of memory", id)};
  }
}

CodecResult<std::optional<ReceivedMessage>> decode_message(const LayoutRegistry& registry,
                                                           std::span<const uint8_t> block) {
  // A buffer of its own, which the message then keeps: exactly the record's
  // padded size.
  RecordBuffer buffer;
  CodecResult<std::optional<DecodedRecord>> r = decode_message_into(registry, block, buffer);
  if (!r) return r.error();
  if (!r.value()) return std::optional<ReceivedMessage>{};
  ReceivedMessage message;
  message.id = r.value()->id;
  message.size = r.value()->size;
  message.record = std::move(buffer.bytes);
  return std::optional<ReceivedMessage>(std::move(message));
}

}  // namespace kelda::de
