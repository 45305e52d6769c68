// Decodes arbitrary bytes against a set of layouts: as a whole received
// block, as a body behind a chosen id (with the check word added, so that
// the bodies get decoded), and as a record of every layout. Whatever
// decodes must encode and decode again to the same native record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "zn_de/codec.h"

namespace {

using kelda::de::LayoutRegistry;

MessageLayout kInner[] = {0, ZN_FIELD_INT32, ZN_FIELD_ARRAY(5), ZN_FIELD_CHAR, ZN_FIELD_BYTE, 0};
MessageLayout kPlain[] = {0, ZN_FIELD_BYTE, ZN_FIELD_INT16, ZN_FIELD_INT32, ZN_FIELD_INT64, ZN_FIELD_CHAR, 0};
MessageLayout kText[] = {0, ZN_FIELD_ARRAY(17), ZN_FIELD_CHAR, ZN_FIELD_ARRAY(3), ZN_FIELD_CHAR, ZN_FIELD_INT16, 0};
MessageLayout kCounted[] = {0, ZN_FIELD_COUNTED_ARRAY(64), ZN_FIELD_INT32, ZN_FIELD_COUNTED_ARRAY(8), ZN_FIELD_CHAR, 0};
MessageLayout kNested[] = {0, ZN_FIELD_BYTE, ZN_FIELD_NESTED(kInner), ZN_FIELD_ARRAY(3), ZN_FIELD_NESTED(kInner),
                           ZN_FIELD_COUNTED_ARRAY(4), ZN_FIELD_NESTED(kInner), 0};
MessageLayout kBytes[] = {0, ZN_FIELD_COUNTED_ARRAY(999), ZN_FIELD_BYTE, ZN_FIELD_ARRAY(7), ZN_FIELD_INT64, 0};
MessageLayout kEmpty[] = {0, 0};

const MessageLayoutEntry kTable[] = {
    {1, kPlain, 1}, {2, kText, 2}, {3, kCounted, 3}, {4, kNested, 4},
    {5, kBytes, 5}, {6, kEmpty, 6}, {0, nullptr, 0},
};
constexpr uint8_t kIds = 6;

const LayoutRegistry& registry() {
  static const LayoutRegistry r = LayoutRegistry::build(kTable, "fuzz").value();
  return r;
}

// A decoded record encodes to a wire form that decodes to the same record.
void check_round_trip(const kelda::de::RecordLayout& layout, const uint8_t* native) {
  std::vector<uint8_t> wire(kelda::de::kWorkAreaSize * 2);
  auto encoded = kelda::de::encode_record(layout, native, wire);
  if (!encoded) std::abort();
  wire.resize(encoded.value());
  std::vector<uint8_t> again(layout.native_size());
  auto decoded = kelda::de::decode_record(layout, wire, again);
  if (!decoded) std::abort();
  // An empty record has no bytes to compare (and an empty vector no buffer).
  if (layout.native_size() > 0 && std::memcmp(again.data(), native, layout.native_size()) != 0) std::abort();
}

// The input in a heap block of exactly its size.
std::unique_ptr<uint8_t[]> exact_copy(const uint8_t* data, std::size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const LayoutRegistry& r = registry();

  auto raw = exact_copy(data, size);
  (void)kelda::de::decode_message(r, std::span<const uint8_t>(raw.get(), size));

  if (size > 0) {
    std::vector<uint8_t> block = {0, static_cast<uint8_t>(data[0] % kIds + 1)};
    block.insert(block.end(), data + 1, data + size);
    block.push_back(ZN_CHECK_WORD_BYTE0);
    block.push_back(ZN_CHECK_WORD_BYTE1);
    auto framed = exact_copy(block.data(), block.size());
    auto message = kelda::de::decode_message(r, std::span<const uint8_t>(framed.get(), block.size()));
    if (message && message.value()) {
      const auto& m = *message.value();
      check_round_trip(*r.find(m.id), m.record.get());
    }
  }

  for (uint32_t id = 1; id <= kIds; ++id) {
    const kelda::de::RecordLayout& layout = *r.find(id);
    std::unique_ptr<uint8_t[]> native(new uint8_t[layout.native_size() + 1]);
    auto decoded = kelda::de::decode_record(layout, std::span<const uint8_t>(raw.get(), size),
                                            std::span<uint8_t>(native.get(), layout.native_size()));
    if (decoded) check_round_trip(layout, native.get());
  }
  return 0;
}
