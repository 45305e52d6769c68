// The layout registry and the handler table as a whole: counts, order, ids,
// the layout check value that the server compares, and the messages that are
// recognised and dropped.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <vector>

#include "handlers.h"
#include "message_set.h"
#include "zn_de/codec.h"

namespace kelda::kelapi {
namespace {

std::vector<MessageLayoutEntry> registry_entries() {
  std::vector<MessageLayoutEntry> entries;
  const MessageLayoutEntry* entry = kelapi_layout_registry();
  for (; entry->id != 0; ++entry) entries.push_back(*entry);
  EXPECT_EQ(entry->layout, nullptr);
  EXPECT_EQ(entry->version, 0);
  return entries;
}

std::vector<MessageHandlerEntry> handler_entries() {
  std::vector<MessageHandlerEntry> entries;
  const MessageHandlerEntry* entry = kelapi_handler_table();
  for (; entry->id != 0; ++entry) entries.push_back(*entry);
  EXPECT_EQ(entry->handler, nullptr);
  return entries;
}

std::string hex(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", id);
  return text;
}

// The ids bound to the dropping handler: messages the library has no use for
// or ignores, and older forms of negotiated deals, trades and reports whose
// fields are not known.
constexpr uint32_t kDroppedIds[] = {
    0x0001, 0x0020, 0x0028, 0x0048, 0x007D, 0x0090, 0x00A8, 0x00AC, 0x00AE, 0x00B0,
    0x00B2, 0x00B4, 0x00B6, 0x00BC, 0x00DB, 0x00DD, 0x00DE, 0x00F5, 0x00F7, 0x00F9,
    0x8001, 0x8010, 0x8011, 0x8012, 0x8057, 0x805C, 0x8078, 0x808D,
};
// Of those, the older forms whose field order is not known: registered with
// no fields.
constexpr uint32_t kUnknownFormIds[] = {
    0x007D, 0x00DD, 0x00DE, 0x00F5, 0x00F7, 0x8010, 0x8011, 0x8012, 0x8057, 0x805C, 0x8078,
};

TEST(MessageSet, TablesHoldEachIdOnceSortedAndEnded) {
  const auto layouts = registry_entries();
  ASSERT_EQ(layouts.size(), kRegisteredMessageCount);
  for (std::size_t i = 1; i < layouts.size(); ++i) {
    EXPECT_LT(layouts[i - 1].id, layouts[i].id) << hex(layouts[i].id);
  }
  for (const auto& entry : layouts) {
    EXPECT_LE(entry.id, 0xFFFFu);
    EXPECT_NE(entry.layout, nullptr) << hex(entry.id);
    EXPECT_GE(entry.version, 1) << hex(entry.id);
    EXPECT_LE(entry.version, 64) << hex(entry.id);
  }

  const auto handlers = handler_entries();
  ASSERT_EQ(handlers.size(), kHandledMessageCount);
  std::set<uint32_t> registered;
  for (const auto& entry : layouts) registered.insert(entry.id);
  for (std::size_t i = 0; i < handlers.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(handlers[i - 1].id, handlers[i].id) << hex(handlers[i].id);
    }
    EXPECT_NE(handlers[i].handler, nullptr) << hex(handlers[i].id);
    EXPECT_EQ(registered.count(handlers[i].id), 1u) << hex(handlers[i].id) << " has no layout";
  }
}

TEST(MessageSet, DroppedAndUnknownFormsAreTheListedIds) {
  std::set<uint32_t> dropped;
  for (const auto& entry : handler_entries()) {
    if (entry.handler == on_dropped_message) dropped.insert(entry.id);
  }
  EXPECT_EQ(dropped, std::set<uint32_t>(std::begin(kDroppedIds), std::end(kDroppedIds)));

  for (uint32_t id : kUnknownFormIds) {
    for (const auto& entry : registry_entries()) {
      if (entry.id == id) {
        EXPECT_EQ(entry.layout[1], ZN_FIELD_END) << hex(id);
      }
    }
  }
}

// FNV-1a (32-bit) over the check values of all versions, each as two bytes,
// low first: it covers the versions of the entries, not only their layouts.
uint32_t fingerprint(const de::LayoutRegistry& registry) {
  uint32_t value = 0x811C9DC5u;
  for (int version = 0; version < de::kProtocolVersionCount; ++version) {
    const uint16_t check = registry.check_value(version);
    for (uint8_t byte : {uint8_t(check & 0xFF), uint8_t(check >> 8)}) {
      value = (value ^ byte) * 0x01000193u;
    }
  }
  return value;
}

// The server compares the check value of the highest protocol version. The
// figures are frozen here and computed a second time, independently, by
// tools/layout_check.py from tools/message_layouts.txt (a CTest test).
TEST(MessageSet, LayoutCheckValueIsFrozen) {
  auto registry = de::LayoutRegistry::build(kelapi_layout_registry(), "kelapi");
  ASSERT_TRUE(registry.ok()) << registry.error().text;
  EXPECT_EQ(registry.value().size(), kRegisteredMessageCount);
  EXPECT_EQ(registry.value().highest_version(), 64);
  EXPECT_EQ(registry.value().check_value(64), 0x7732);
  EXPECT_EQ(de::layout_check_word(registry.value(), 64), 0x27732u);
  EXPECT_EQ(fingerprint(registry.value()), 0x711E6F01u);
}

// An older form with unknown fields is recognised whatever its body holds,
// decodes to nothing and is dropped.
TEST(MessageSet, UnknownFormsDecodeToNothingAndAreDropped) {
  auto registry = de::LayoutRegistry::build(kelapi_layout_registry(), "kelapi");
  ASSERT_TRUE(registry.ok()) << registry.error().text;
  std::set<uint32_t> dropped;
  for (const auto& entry : handler_entries()) {
    if (entry.handler == on_dropped_message) dropped.insert(entry.id);
  }
  for (uint32_t id : kUnknownFormIds) {
    const uint8_t block[] = {uint8_t(id >> 8), uint8_t(id), 0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x07,
                             ZN_CHECK_WORD_BYTE0, ZN_CHECK_WORD_BYTE1};
    auto decoded = de::decode_message(registry.value(), block);
    ASSERT_TRUE(decoded.ok()) << hex(id) << ": " << decoded.error().text;
    ASSERT_TRUE(decoded.value().has_value()) << hex(id);
    EXPECT_EQ(decoded.value()->id, id);
    EXPECT_EQ(decoded.value()->size, 0u) << hex(id);
    EXPECT_EQ(dropped.count(id), 1u) << hex(id);
    on_dropped_message(decoded.value()->id, decoded.value()->record.get());
  }
}

}  // namespace
}  // namespace kelda::kelapi
