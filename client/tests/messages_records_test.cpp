// Every message record that the library receives or sends matches the
// layout registered for its id, member by member, and none is left out.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <vector>

#include "handlers.h"
#include "message_set.h"
#include "messages_record_checks.h"
#include "records_services.h"
#include "records_session.h"
#include "records_values.h"

namespace kelda::kelapi::testing {
namespace {

// The ids the library sends.
constexpr uint32_t kSentIds[] = {
    0x001A, 0x001C, 0x001E, 0x001F, 0x003A, 0x0040, 0x0041, 0x0042, 0x0043, 0x004E, 0x0050,
    0x0054, 0x0059, 0x005A, 0x005E, 0x0062, 0x0071, 0x0075, 0x0076, 0x0078, 0x007E, 0x007F,
    0x0082, 0x0083, 0x0091, 0x0093, 0x0096, 0x009A, 0x009C, 0x00A2, 0x00A3, 0x00A5, 0x00BA,
    0x00C0, 0x00C1, 0x00FA, 0x00FC, 0x00FF, 0x8003, 0x8006, 0x8007, 0x8008, 0x801B, 0x801F,
    0x802D, 0x802F, 0x8031, 0x8032, 0x8034, 0x8039, 0x8044, 0x8045, 0x8046, 0x8047, 0x8049,
    0x804A, 0x804B, 0x804C, 0x8051, 0x8071, 0x8075, 0x8082, 0x8085, 0x8087, 0x8097,
};

std::vector<RecordCheck> all_checks() {
  std::vector<RecordCheck> checks;
  for (auto group : {session_record_checks(), market_record_checks(), trading_record_checks(),
                     services_record_checks(), limits_record_checks(), feeds_record_checks()}) {
    checks.insert(checks.end(), group.begin(), group.end());
  }
  return checks;
}

MessageLayout* registered_layout(uint32_t id) {
  for (const MessageLayoutEntry* entry = kelapi_layout_registry(); entry->id != 0; ++entry) {
    if (entry->id == id) return entry->layout;
  }
  return nullptr;
}

std::string hex(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", id);
  return text;
}

TEST(MessageRecords, EveryRecordMatchesTheLayoutOfItsId) {
  for (const RecordCheck& check : all_checks()) {
    MessageLayout* layout = registered_layout(check.id);
    ASSERT_NE(layout, nullptr) << hex(check.id) << " has a record but no layout";
    EXPECT_EQ(check.check(layout), "") << hex(check.id);
  }
}

TEST(MessageRecords, NestedRecordsMatchTheirLayouts) {
  // {id, index of the nested code in the id's layout, check}
  struct Nested {
    uint32_t id;
    int code;
    std::string (*check)(MessageLayout*);
  };
  const auto head_old = [](MessageLayout* l) {
    using R = SessionHeadOld;
    const de::RecordField fields[] = {F(session_id), F(first_text), F(second_text), F(code)};
    return de::layout_mismatches<R>(l, fields);
  };
  const auto head = [](MessageLayout* l) {
    using R = SessionHead;
    const de::RecordField fields[] = {F(session_id), F(first_text), F(second_text), F(code)};
    return de::layout_mismatches<R>(l, fields);
  };
  const auto mask = [](MessageLayout* l) {
    using R = Mask64;
    const de::RecordField fields[] = {F(low), F(high)};
    return de::layout_mismatches<R>(l, fields);
  };
  const auto times = [](MessageLayout* l) {
    using R = MessageTimes;
    const de::RecordField fields[] = {F(sent), F(received)};
    return de::layout_mismatches<R>(l, fields);
  };
  const auto date_time = [](MessageLayout* l) {
    using R = DateTime;
    const de::RecordField fields[] = {F(date), F(time)};
    return de::layout_mismatches<R>(l, fields);
  };
  const Nested cases[] = {
      {0x0021, 1, head_old}, {0x803D, 1, head}, {0x805F, 4, mask},
      {0x8013, 4, mask},     {0x0007, 5, mask}, {0x8083, 1, times},
      {0x8044, 1, times},    {0x8082, 1, date_time},
  };
  for (const Nested& c : cases) {
    MessageLayout* layout = registered_layout(c.id);
    ASSERT_NE(layout, nullptr) << hex(c.id);
    auto* nested = reinterpret_cast<MessageLayout*>(layout[c.code]);
    EXPECT_EQ(c.check(nested), "") << hex(c.id) << " code " << c.code;
  }
}

// Every id that is handled (not dropped) or sent and has fields is checked
// against a record, and every sent id is registered.
TEST(MessageRecords, EveryHandledOrSentRecordIsChecked) {
  std::set<uint32_t> checked;
  for (const RecordCheck& check : all_checks()) checked.insert(check.id);

  std::set<uint32_t> needed(std::begin(kSentIds), std::end(kSentIds));
  for (const MessageHandlerEntry* entry = kelapi_handler_table(); entry->id != 0; ++entry) {
    if (entry->handler != on_dropped_message) needed.insert(entry->id);
  }
  for (uint32_t id : needed) {
    MessageLayout* layout = registered_layout(id);
    ASSERT_NE(layout, nullptr) << hex(id) << " is not registered";
    const bool has_fields = layout[1] != ZN_FIELD_END;
    EXPECT_EQ(checked.count(id) == 1, has_fields) << hex(id);
  }
  for (uint32_t id : checked) EXPECT_EQ(needed.count(id), 1u) << hex(id) << " is checked but not used";
}

}  // namespace
}  // namespace kelda::kelapi::testing
