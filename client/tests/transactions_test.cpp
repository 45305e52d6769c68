// Transactions: formatting values, the kind table and trans.dat, sending in
// chunks, the last-transaction description and the replies.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "library_access.h"
#include "library_fixture.h"
#include "transactions/transaction_text.h"
#include "transactions/transactions.h"

namespace kelda::kelapi::test {
namespace {

// ---- values ----

TEST(TransactionText, ValuesAreFormattedToTheirWidthAndType) {
  struct Case {
    int16_t type;
    int width;
    const char* value;
    int scale;
    KelapiResult result;
    const char* sent;
    const char* shown;
  };
  const Case cases[] = {
      {2, 8, "-12.5", 0, KELAPI_OK, "-0001250", "-12.5"},
      {1, 5, "42", 0, KELAPI_OK, "00042", "42"},
      {2, 6, "1,5", 0, KELAPI_OK, "000150", "1,5"},
      {0, 4, "AB", 0, KELAPI_OK, "AB  ", "AB"},
      {4, 2, "ABC", 0, KELAPI_E_INVALID_LENGTH, "", ""},
      {2, 6, "1.500", 0, KELAPI_OK, "000150", "1.5"},     // trailing zeros beyond the scale are accepted
      {2, 6, "1.505", 0, KELAPI_E_INVALID_SCALE, "", ""},
      {2, 6, "1.5.0", 0, KELAPI_E_INVALIDARG, "", ""},     // a second separator
      {1, 6, "+5", 0, KELAPI_E_INVALIDARG, "", ""},
      {1, 6, "1 5", 0, KELAPI_E_INVALIDARG, "", ""},
      {1, 3, "-123", 0, KELAPI_E_INVALID_LENGTH, "", ""},  // no room for the sign
      {1, 4, "-123", 0, KELAPI_OK, "-123", "-123"},
      {1, 2, "123", 0, KELAPI_E_INVALID_LENGTH, "", ""},
      {6, 8, "", 0, KELAPI_OK, "00000000", ""},
      {3, 6, "7.25", 3, KELAPI_OK, "007250", "7.25"},     // the security's scale
      {7, 6, "1", 0, KELAPI_E_INVALIDARG, "", ""},          // unknown type
      {0, 5001, "x", 0, KELAPI_E_INVALID_LENGTH, "", ""},   // wider than any value buffer
      {1, -1, "", 0, KELAPI_E_INVALID_LENGTH, "", ""},
  };
  for (const Case& c : cases) {
    const FormattedValue v = format_value(c.value, c.width, c.type, c.scale);
    EXPECT_EQ(v.result, c.result) << c.value << " type " << c.type << " width " << c.width;
    if (c.result != KELAPI_OK) continue;
    EXPECT_EQ(v.sent, c.sent) << c.value;
    EXPECT_EQ(v.shown, c.shown) << c.value;
  }
  EXPECT_EQ(format_value("1", 5000, 1, 0).sent.size(), 5000u);
}

TEST(TransactionText, KeysMatchExactlyAndValuesLoseTheirBlanks) {
  const std::string_view text = " PRICE = 12.5 |price=1|QTY=3|NOEQUALS| QTY = 9 |EMPTY=";
  EXPECT_EQ(text_value(text, "PRICE"), "12.5");
  EXPECT_EQ(text_value(text, "price"), "1");
  EXPECT_EQ(text_value(text, "QTY"), "3") << "the first pair wins";
  EXPECT_EQ(text_value(text, "EMPTY"), "");
  EXPECT_FALSE(text_value(text, "NOEQUALS"));
  EXPECT_FALSE(text_value(text, "ACCOUNT"));
  EXPECT_FALSE(text_value("", "A"));

  EXPECT_EQ(choice_text("B=Buy|S=Sell", "S"), "Sell");
  EXPECT_EQ(choice_text("BB=Both|B=Buy", "B"), "Buy");
  EXPECT_EQ(choice_text("B=Buy", "X"), "");
  EXPECT_EQ(choice_text("B", "B"), "");
}

// ---- the library ----

constexpr int16_t kClassId = 5;

class TransactionsTest : public LibraryTest {
 protected:
  void start(uint32_t flags = 0, uint32_t table_flags = 0, bool signing = false) {
    ASSERT_EQ(init(flags, 1), KELAPI_OK);
    if (signing) {
      ASSERT_EQ(KelapiSetTransSignMode(1, nullptr), KELAPI_OK);
    }
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(kClassId, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    set_table_flags(table_flags);
  }
  // A new connection to the same market.
  void reconnect() {
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    net->clear_sent();
    net->deliver(0x803C, class_description(kClassId, "CLS"));
    ASSERT_TRUE(net->wait_handled());
    // The server lists the securities' server ids again.
    Msg8038_ServerIds ids{};
    ids.request = last_request(0x8039);
    ids.flags = 4;
    ids.count = 2;
    ids.server_ids[0] = 1000;
    ids.server_ids[1] = 1001;
    net->deliver(0x8038, ids);
    end_class_lists();
    ASSERT_EQ(KelapiIsTransactionAvailable(1), KELAPI_E_TRANS_NOT_AVAILABLE) << "the start event has fired";
  }
  void set_table_flags(uint32_t flags) {
    LibraryLock lock(*lib);
    lib->classes.at(0).d.table_flags = flags;
  }
  void set_class_flags(uint32_t flags) {
    LibraryLock lock(*lib);
    lib->classes.at(0).d.flags = flags;
  }

  static Msg8095_TransactionKind kind(int16_t id, const char* name, uint32_t code, int16_t fields, int32_t revision = 1) {
    Msg8095_TransactionKind k{};
    k.kind_id = id;
    std::snprintf(k.name, sizeof k.name, "%s", name);
    k.class_server_id = kClassId;
    k.field_count = fields;
    k.kind_code = code;
    k.revision = revision;
    k.extra1 = 11;
    k.extra2 = 22;
    return k;
  }
  static Msg8096_TransactionField field(int16_t kind_id, const char* key, int16_t type, int16_t width, uint32_t roles = 0,
                                        const char* default_value = "") {
    Msg8096_TransactionField f{};
    f.class_server_id = kClassId;
    f.kind_id = kind_id;
    std::snprintf(f.key, sizeof f.key, "%-10s", key);  // the server pads with blanks
    std::snprintf(f.description, sizeof f.description, "About %s", key);
    std::snprintf(f.default_value, sizeof f.default_value, "%s", default_value);
    f.roles = roles;
    f.width = width;
    f.type = type;
    f.field_code = 7;
    f.extra4 = 8;
    return f;
  }
  // A kind with its fields, ended.
  void describe_kind(const Msg8095_TransactionKind& k, const std::vector<Msg8096_TransactionField>& fields) {
    net->deliver(0x8095, k);
    for (const auto& f : fields) net->deliver(0x8096, f);
    net->deliver(0x49, Word16{k.kind_id});
    ASSERT_TRUE(net->wait_handled());
  }
  // The standard new-order kind: number 3.
  void describe_new_order(uint32_t code = 4) {
    describe_kind(kind(2, "New order", code, 5),
                  {field(2, "SECCODE", 0, 12, kRoleSecurity), field(2, "PRICE", 3, 10, 0x10000),
                   field(2, "QUANTITY", 1, 6, 0x20000), field(2, "SIDE", 4, 1, 0x40000),
                   field(2, "COMMENT", 0, 8, kRoleOptional, "none")});
  }
  std::vector<Msg00FA_TransactionChunk> chunks() const {
    std::vector<Msg00FA_TransactionChunk> out;
    for (const auto& m : net->sent(0xFA)) out.push_back(m.as<Msg00FA_TransactionChunk>());
    return out;
  }
  static std::string last_result_text() {
    KelapiLastTransDescEx last;
    KelapiGetLastTransDescEx(&last, sizeof last);
    return last.result_text;
  }
  static std::string data_of(const Msg00FA_TransactionChunk& c) {
    return std::string(reinterpret_cast<const char*>(c.data), c.data_count);
  }
};

TEST_F(TransactionsTest, KindsAndFieldsArriveAreAnnouncedAndRead) {
  start();
  net->clear_sent();
  net->deliver(0x8095, kind(2, "New order", 4, 2));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(net->sent(0x3A).size(), 1u);
  EXPECT_EQ(net->sent(0x3A)[0].as<Msg003A_FieldsRequest>().kind_id, 2);
  EXPECT_EQ(net->sent(0x3A)[0].as<Msg003A_FieldsRequest>().class_server_id, kClassId);
  net->deliver(0x8096, field(2, "SECCODE", 4, 12, kRoleSecurity));
  KelapiTransactionRecord r;
  EXPECT_EQ(KelapiGetTransaction(3, &r), KELAPI_E_TRANS_NOT_AVAILABLE) << "fields incomplete";
  EXPECT_EQ(KelapiIsTransactionAvailable(3), KELAPI_OK) << "present is enough here";
  net->deliver(0x8096, field(2, "PRICE", 3, 10, 0x10000));
  net->deliver(0x49, Word16{2});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(events(KELAPI_EVENT_NEWTRANSACTION).empty()) << "nothing is announced before the booking";

  ASSERT_EQ(KelapiBookTransactions(), KELAPI_OK);
  EXPECT_EQ(KelapiBookTransactions(), KELAPI_E_ALREADY_BOOKED);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRANSACTION, 1));
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRANSACTION)[0].lparam, 3u);

  ASSERT_EQ(KelapiGetTransaction(3, &r), KELAPI_OK);
  EXPECT_EQ(r.kind_code, 4u);
  EXPECT_EQ(r.class_number, 1);
  EXPECT_EQ(r.field_count, 2);
  EXPECT_EQ(r.kind_number, 3);
  EXPECT_STREQ(r.name, "New order");
  EXPECT_EQ(KelapiGetTransaction(4, &r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetTransaction(3, nullptr), KELAPI_E_POINTER);
  KelapiTransactionRecordEx ex;
  EXPECT_EQ(KelapiGetTransactionEx(3, &ex, 140), KELAPI_E_STRUCT_SIZE);
  EXPECT_EQ(KelapiGetTransactionEx(3, nullptr, 140), KELAPI_E_STRUCT_SIZE) << "the size is tested first";
  ASSERT_EQ(KelapiGetTransactionEx(3, &ex, sizeof ex), KELAPI_OK);
  EXPECT_EQ(ex.extra1, 11u);
  EXPECT_EQ(ex.extra2, 22u);

  KelapiTransFieldRecordEx fields[2];
  ASSERT_EQ(KelapiGetTransFieldsEx(3, fields, sizeof fields[0]), KELAPI_OK);
  EXPECT_STREQ(fields[0].field.key, "SECCODE") << "trailing blanks removed";
  EXPECT_EQ(fields[0].field.type, 0) << "a security code is never a choice";
  EXPECT_EQ(fields[1].field.width, 10);
  EXPECT_EQ(fields[1].field_code, 7);
  EXPECT_EQ(fields[1].extra4, 8);
  EXPECT_EQ(KelapiGetTransFieldsEx(3, fields, 468), KELAPI_E_STRUCT_SIZE);
  KelapiTransFieldRecord short_fields[2];
  ASSERT_EQ(KelapiGetTransFields(3, short_fields), KELAPI_OK);
  EXPECT_STREQ(short_fields[1].description, "About PRICE");

  // A kind described again while present changes nothing.
  net->clear_sent();
  net->deliver(0x8095, kind(2, "NEW ORDER", 4, 2, 9));
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(net->sent(0x3A).empty());
}

TEST_F(TransactionsTest, ClassEndKeepsStopKindsAndReconnectReusesUnchangedRevisions) {
  start(0, 0x800);
  describe_new_order(36);
  describe_kind(kind(4, "Stop order", 8192, 1), {field(4, "STOPPRICE", 2, 8)});
  describe_kind(kind(6, "Other", 4, 1), {field(6, "X", 0, 1)});
  EXPECT_EQ(KelapiIsTransactionAvailableEx("CLS", 4), KELAPI_OK) << "flag 0x800: code 4 finds only 36";
  {
    LibraryLock lock(*lib);
    const auto* k = lib->transactions.table.find_code(0, 4, 0x800);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->d.kind_id, 2);
    EXPECT_EQ(lib->transactions.table.find_code(0, 4, 0)->d.kind_id, 2) << "without the flag bit 0x20 is ignored";
  }
  EXPECT_EQ(KelapiIsTransactionAvailableEx("NONE", 4), KELAPI_E_INVALID_CLASS);
  ASSERT_EQ(KelapiBookTransactions(), KELAPI_OK);
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRANSACTION, 3));

  net->deliver(0x44, Word16{kClassId});
  ASSERT_TRUE(wait_events(KELAPI_EVENT_NEWTRANSACTIONSTOP, 1));
  EXPECT_EQ(events(KELAPI_EVENT_NEWTRANSACTIONSTOP)[0].lparam, 1u);
  EXPECT_EQ(KelapiIsTransactionAvailable(3), KELAPI_E_TRANS_NOT_AVAILABLE);
  EXPECT_EQ(KelapiIsTransactionAvailable(5), KELAPI_OK) << "stop-order kinds stay";

  // After a new connection the same revision is present at once; another
  // revision asks for its fields again.
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  reconnect();
  net->clear_sent();
  net->deliver(0x8095, kind(2, "New order", 36, 5));
  net->deliver(0x8095, kind(4, "Stop order", 8192, 1, 2));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(net->sent(0x3A).size(), 1u);
  EXPECT_EQ(net->sent(0x3A)[0].as<Msg003A_FieldsRequest>().kind_id, 4);
  EXPECT_EQ(KelapiIsTransactionAvailable(3), KELAPI_OK);
  KelapiTransactionRecord r;
  EXPECT_EQ(KelapiGetTransaction(3, &r), KELAPI_OK);
  EXPECT_EQ(KelapiGetTransaction(5, &r), KELAPI_E_TRANS_NOT_AVAILABLE) << "its fields were dropped";
}

TEST_F(TransactionsTest, TransDatKeepsTheTableAndADamagedFileGivesAnEmptyOne) {
  start();
  describe_new_order();
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  {
    LibraryLock lock(*lib);
    const TransactionKind& k = lib->transactions.table.kinds(0).at(0);
    EXPECT_FALSE(k.present);
    EXPECT_TRUE(k.fields_complete);
    ASSERT_EQ(k.fields.size(), 5u);
    EXPECT_STREQ(k.fields[4].key, "COMMENT");
    EXPECT_EQ(k.fields[4].class_server_id, kClassId);
  }
  reconnect();
  net->clear_sent();
  net->deliver(0x8095, kind(2, "New order", 4, 5));
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(net->sent(0x3A).empty()) << "the saved fields serve";
  KelapiTransactionRecord r;
  EXPECT_EQ(KelapiGetTransaction(3, &r), KELAPI_OK);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  // Counts that the file cannot hold: the table starts empty, with a log line.
  std::vector<char> bytes;
  {
    std::ifstream in("trans.dat", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(bytes.size(), 24u);
  const uint32_t code_length = 3;
  const std::size_t kinds_at = 16 + 4 + code_length;
  for (uint32_t damaged : {0x7FFFFFFFu, 2u}) {
    std::vector<char> copy = bytes;
    std::memcpy(copy.data() + kinds_at, &damaged, 4);
    std::ofstream("trans.dat", std::ios::binary | std::ios::trunc).write(copy.data(), static_cast<std::streamsize>(copy.size()));
    ASSERT_EQ(init(0, 0), KELAPI_OK);
    {
      LibraryLock lock(*lib);
      EXPECT_TRUE(lib->transactions.table.empty()) << damaged;
    }
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  }
  std::vector<char> copy = bytes;
  const int16_t negative = -3;
  std::memcpy(copy.data() + kinds_at + 4 + 160, &negative, 2);
  std::ofstream("trans.dat", std::ios::binary | std::ios::trunc).write(copy.data(), static_cast<std::streamsize>(copy.size()));
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  {
    LibraryLock lock(*lib);
    EXPECT_TRUE(lib->transactions.table.empty());
  }
  bool logged = false;
  for (const auto& d : diagnostics()) logged |= d.find("trans.dat is damaged") != std::string::npos;
  EXPECT_TRUE(logged);
}

TEST_F(TransactionsTest, ATextIsFormattedFieldByFieldAndSentInChunks) {
  start();
  describe_new_order();
  net->clear_sent();
  ASSERT_EQ(KelapiDoTransaction(77, 3, "SIDE=B| PRICE = -12.5 |QUANTITY=40|SECCODE=AAA|UNKNOWN=1"), KELAPI_OK);
  auto sent = chunks();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].transaction_id, 77u);
  EXPECT_EQ(sent[0].version, 1u);
  EXPECT_EQ(sent[0].class_server_id, kClassId);
  EXPECT_EQ(sent[0].kind_id, 2);
  EXPECT_EQ(sent[0].chunk, 1);
  EXPECT_EQ(sent[0].part, 1);
  EXPECT_EQ(sent[0].chunk_flags, 5);
  EXPECT_EQ(data_of(sent[0]), std::string("AAA         -000001250000040Bnone    ") + '\0')
      << "a negative price keeps its sign; the optional comment gets its default";
  KelapiLastTransDescEx last;
  ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
  EXPECT_EQ(last.trans_id, 77u);
  EXPECT_EQ(last.result, KELAPI_OK);
  EXPECT_STREQ(last.result_text, "Ok.");
  EXPECT_STREQ(last.sent_text, "AAA         -000001250000040Bnone    ");
  EXPECT_STREQ(last.class_code, "CLS");
  EXPECT_STREQ(last.kind_name, "New order");
  EXPECT_EQ(KelapiGetLastTransDescEx(&last, 15288), KELAPI_E_STRUCT_SIZE);

  // A missing field that is not optional: nothing goes out.
  net->clear_sent();
  EXPECT_EQ(KelapiDoTransaction(78, 3, "SECCODE=AAA|PRICE=1"), KELAPI_E_TRANS_FIELD_MISSING);
  EXPECT_TRUE(chunks().empty());
  KelapiLastTransDesc shorter;
  ASSERT_EQ(KelapiGetLastTransDesc(&shorter), KELAPI_OK);
  EXPECT_EQ(shorter.trans_id, 78);
  EXPECT_EQ(shorter.result, KELAPI_E_TRANS_FIELD_MISSING);
  EXPECT_STREQ(shorter.text, "SECCODE=AAA|PRICE=1");
  EXPECT_EQ(std::string(shorter.result_text).rfind("Failed to format 'QUANTITY' param with error -2147220488, '", 0), 0u)
      << shorter.result_text;

  EXPECT_EQ(KelapiDoTransaction(79, 3, "SECCODE=AAA|PRICE=1.234|QUANTITY=1|SIDE=S"), KELAPI_E_INVALID_SCALE);
  EXPECT_EQ(KelapiDoTransaction(79, 3, "SECCODE=AAAAAAAAAAAAA|PRICE=1|QUANTITY=1|SIDE=S"), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiDoTransaction(79, 9, "X=1"), KELAPI_E_TRANS_NOT_AVAILABLE);
  EXPECT_EQ(KelapiDoTransaction(79, 3, nullptr), KELAPI_E_POINTER);
  EXPECT_TRUE(chunks().empty());
  ASSERT_EQ(KelapiGetLastTransDesc(&shorter), KELAPI_OK);
  EXPECT_EQ(shorter.trans_id, 0) << "every call clears the description first";
}

TEST_F(TransactionsTest, ChunkFlagsFollowTheTextAndTheDescription) {
  start();
  struct Case {
    int chars;
    uint32_t table_flags;
    std::vector<int16_t> flags;
    std::vector<int16_t> parts;
  };
  const Case cases[] = {
      {997, 0, {5}, {1}},
      {998, 0, {1, 4}, {1, 1}},
      {3, 0x80000, {1, 4}, {1, 2}},
  };
  for (const Case& c : cases) {
    describe_kind(kind(1, "Long", 32768, 1, c.chars), {field(1, "T", 0, static_cast<int16_t>(c.chars))});
    set_table_flags(c.table_flags);
    net->clear_sent();
    ASSERT_EQ(KelapiDoTransactionEx(5, "CLS", 32768, "T=x"), KELAPI_OK) << c.chars << " " << last_result_text();
    const auto sent = chunks();
    ASSERT_EQ(sent.size(), c.flags.size()) << c.chars;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].chunk_flags, c.flags[i]) << c.chars << " chunk " << i;
      EXPECT_EQ(sent[i].part, c.parts[i]);
      EXPECT_EQ(sent[i].chunk, static_cast<int16_t>(i + 1));
    }
    if (c.table_flags != 0) {
      EXPECT_EQ(data_of(sent[1]), std::string("\nLong [Class CLS]\nAbout T = x;") + '\0');
    }
    // The kind is described again for the next case: drop its presence.
    net->deliver(0x44, Word16{kClassId});
    ASSERT_TRUE(net->wait_handled());
  }
}

TEST_F(TransactionsTest, EmptyValuesGoOutAsBlanksOnlyWhereTheClassFlagsAskForIt) {
  start();
  // Kind 24 asks for blanks (0x20000000); its price, quantity and letter
  // fields may be sent blank, other fields may not.
  describe_kind(kind(24, "Blankable", 0x20000000 | 0x28, 4),
                {field(24, "PRICE", 3, 6, 0x10000), field(24, "QTY", 1, 4, 0x20000, "7"),
                 field(24, "SIDE", 0, 2, 0x40000000), field(24, "NUM", 1, 3)});
  struct Case {
    uint32_t class_flags;
    uint32_t table_flags;
    const char* sent;
  };
  const Case cases[] = {
      {0x1000580, 0x800, "            000"},  // the class flags carry 0x80
      {0x1000500, 0x80, "0000000000  000"},   // only the table flags do: no blanks
      {0, 0, "0000000000  000"},
  };
  for (const Case& c : cases) {
    set_class_flags(c.class_flags);
    set_table_flags(c.table_flags);
    net->clear_sent();
    ASSERT_EQ(KelapiDoTransaction(1, 25, "PRICE=|QTY=|SIDE=|NUM="), KELAPI_OK) << last_result_text();
    ASSERT_EQ(chunks().size(), 1u);
    EXPECT_EQ(data_of(chunks()[0]), std::string(c.sent) + '\0') << std::hex << c.class_flags;
  }
  // A value that is not empty is formatted as usual.
  set_class_flags(0x1000580);
  net->clear_sent();
  ASSERT_EQ(KelapiDoTransaction(1, 25, "PRICE=1.5|QTY=3|SIDE=X|NUM=2"), KELAPI_OK);
  EXPECT_EQ(data_of(chunks()[0]), std::string("0001500003X 002") + '\0');
}

TEST_F(TransactionsTest, SignedTextsAreSentWhole) {
  start(0, 0, true);
  describe_kind(kind(1, "Short", 32768, 1), {field(1, "T", 0, 3)});
  net->clear_sent();
  ASSERT_EQ(KelapiDoTransactionEx(5, "CLS", 32768, "T=ab"), KELAPI_OK);
  const auto sent = chunks();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(data_of(sent[0]), std::string("ab ") + '\0' + "#S") << "the signed bytes replace the text";
  KelapiLastTransDescEx last;
  ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
  EXPECT_STREQ(last.sent_text, "ab ");
}

TEST_F(TransactionsTest, AFailedSendIsReported) {
  start();
  describe_kind(kind(1, "Long", 32768, 1), {field(1, "T", 0, 2000)});
  net->fail_sends_after(1);
  EXPECT_EQ(KelapiDoTransactionEx(5, "CLS", 32768, "T=x"), KELAPI_E_NOT_CONNECTED);
  KelapiLastTransDescEx last;
  ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
  EXPECT_EQ(last.result, KELAPI_E_NOT_CONNECTED);
  EXPECT_STRNE(last.result_text, "Ok.");
  net->fail_sends_after(-1);

  EXPECT_EQ(KelapiDoTransactionExR(5, "CLS", 32768, "T=x"), KELAPI_E_NOT_SUPPORTED);
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  EXPECT_EQ(KelapiDoTransactionExR(5, "CLS", 32768, "T=x"), KELAPI_E_NOT_SUPPORTED) << "even uninitialised";
}

TEST_F(TransactionsTest, BuildersChooseEachFieldByItsRoles) {
  start();
  describe_kind(kind(10, "Order", 4, 12),
                {field(10, "CLASS", 0, 4, kRoleClass), field(10, "SEC", 0, 4, kRoleSecurity),
                 field(10, "ACC", 0, 4, kRoleAccount), field(10, "PRICE", 3, 6, 0x10000),
                 field(10, "QTY", 1, 3, 0x20000), field(10, "CLIENT", 0, 3, 0x400000),
                 field(10, "OP", 0, 1, 0x40000), field(10, "TYPE", 0, 1, 0x800000),
                 field(10, "SPLIT", 0, 1, 0x40000000), field(10, "COND", 0, 1, 0x80000000),
                 field(10, "TIME", 0, 1, 0x10), field(10, "FIXED", 0, 2, kRoleFixed | kRoleSecurity, "FX")});
  describe_kind(kind(11, "Kill", 1, 2), {field(11, "CLASS", 0, 4, kRoleClass | kRoleFixed, "CLS"),
                                         field(11, "ORDER", 1, 8, 0x4000)});
  net->clear_sent();
  ASSERT_EQ(KelapiDoTransactionNewOrder(1, "CLS", "AAA", "ACC1", "12.5", "7", "C1", 271), KELAPI_OK);
  ASSERT_EQ(chunks().size(), 1u);
  EXPECT_EQ(data_of(chunks()[0]), std::string("CLS AAA ACC1001250007C1 BLS PFX") + '\0');
  KelapiLastTransDescEx last;
  ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
  EXPECT_STREQ(last.text, "CLASS=CLS|SEC=AAA|ACC=ACC1|PRICE=12.5|QTY=7|CLIENT=C1|OP=B|TYPE=L|SPLIT=S|COND= |TIME=P|FIXED=FX");

  net->clear_sent();
  ASSERT_EQ(KelapiDoTransactionNewOrder(1, "CLS", "AAA", "ACC1", "12.5", "7", "C1", 0x10 | 0x80), KELAPI_OK);
  EXPECT_EQ(data_of(chunks()[0]), std::string("CLS AAA ACC1001250007C1 SMONYFX") + '\0');
  struct Refusal {
    const char* security;
    const char* client;
    uint32_t options;
    KelapiResult result;
  };
  const Refusal refusals[] = {
      {"AAA", "C1", 0x40, KELAPI_E_INVALIDARG},        // no condition letter chosen
      {"AAA", "C1", 0x8, KELAPI_E_INVALIDARG},         // no time letter chosen
      {"ZZZ", "C1", 271, KELAPI_E_INVALIDARG},         // unknown security
      {"AAA", "C1|QTY=9", 271, KELAPI_E_INVALIDARG},   // a pair smuggled into an argument
      {"AAA", nullptr, 271, KELAPI_E_POINTER},
  };
  net->clear_sent();
  for (const Refusal& r : refusals) {
    EXPECT_EQ(KelapiDoTransactionNewOrder(1, "CLS", r.security, "ACC1", "1", "1", r.client, r.options), r.result)
        << r.options;
    ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
    EXPECT_EQ(last.text[0], '\0') << "the description stays cleared";
  }
  EXPECT_EQ(KelapiDoTransactionNewOrder(1, "NONE", "AAA", "ACC1", "1", "1", "C", 271), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiDoTransactionNewStopOrder(1, "CLS", "AAA", "A", "1", "1", "1", "C", 271), KELAPI_E_TRANS_NOT_AVAILABLE);
  EXPECT_TRUE(chunks().empty());

  ASSERT_EQ(KelapiDoTransactionKillOrder(2, "CLS", "4711"), KELAPI_OK);
  ASSERT_EQ(chunks().size(), 1u);
  EXPECT_EQ(data_of(chunks()[0]), std::string("CLS 00004711") + '\0') << "a fixed field keeps its default";
  EXPECT_EQ(chunks()[0].kind_id, 11);
}

TEST_F(TransactionsTest, FuturesLimitBuildersTakeTheirKindAndAccountFromTheLimit) {
  start();
  EXPECT_EQ(KelapiDoTransactionDelFuturesLimit(2, 1), KELAPI_E_INVALIDARG) << "no such limit yet";
  Msg8068_FuturesLimit limit{};
  limit.number = 0;
  std::strcpy(limit.firm, "F1");
  std::strcpy(limit.account, "SPBFUT7");
  limit.type = 1;
  limit.w1 = 20;  // the kind that sets it
  limit.w2 = 21;  // the kind that deletes it
  net->deliver(0x8068, limit);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(KelapiDoTransactionSetFuturesLimit(1, 1, "A", "1", "2", "3"), KELAPI_E_FUTURES_LIMITS)
      << "no class has the kind";
  describe_kind(kind(20, "Set limit", 0, 5),
                {field(20, "FIX", 0, 2, kRoleFixed | kRoleAccount, "FX"), field(20, "ACC", 0, 8, kRoleAccount),
                 field(20, "V1", 0, 6, 0x2000000), field(20, "V2", 0, 6, 0x4000000), field(20, "V3", 0, 6, 0x8)});
  describe_kind(kind(21, "Delete limit", 0, 3),
                {field(21, "ACC", 0, 8, kRoleAccount), field(21, "KIND", 0, 1, 0x40), field(21, "OTHER", 0, 2, 0, "OT")});
  net->clear_sent();
  ASSERT_EQ(KelapiDoTransactionSetFuturesLimit(1, 1, "SPBFUT7", "100", "-20.5", "3"), KELAPI_OK);
  ASSERT_EQ(chunks().size(), 1u);
  EXPECT_EQ(chunks()[0].kind_id, 20);
  KelapiLastTransDescEx last;
  ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
  EXPECT_STREQ(last.text, "FIX=FX|ACC=SPBFUT7|V1=100|V2=-20.5|V3=3");
  ASSERT_EQ(KelapiDoTransactionDelFuturesLimit(2, 1), KELAPI_OK);
  ASSERT_EQ(KelapiGetLastTransDescEx(&last, sizeof last), KELAPI_OK);
  EXPECT_STREQ(last.text, "ACC=SPBFUT7|KIND=D|OTHER=OT") << "account and type from the limit";
  EXPECT_EQ(chunks().back().kind_id, 21);

  EXPECT_EQ(KelapiDoTransactionSetFuturesLimit(1, 1, "A", nullptr, "2", "3"), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiDoTransactionSetFuturesLimit(1, 0, "A", "1", "2", "3"), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiDoTransactionSetFuturesLimit(1, 2, "A", "1", "2", "3"), KELAPI_E_INVALIDARG);
  limit.type = 0;
  limit.w2 = 22;
  net->deliver(0x8068, limit);
  net->deliver(0x8095, kind(22, "Delete limit (fields pending)", 0, 2));
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(KelapiDoTransactionDelFuturesLimit(2, 1), KELAPI_E_TRANS_NOT_AVAILABLE) << "its fields are incomplete";
}

// What the reply events carried (their records live only during the call).
std::vector<KelapiTransReply> g_replies;
std::vector<std::pair<uintptr_t, std::string>> g_short_replies;

int capture_replies(uint32_t code, uintptr_t wparam, uintptr_t lparam) {
  if (code == KELAPI_EVENT_TRANSREPLYEX) g_replies.push_back(*reinterpret_cast<const KelapiTransReply*>(wparam));
  if (code == KELAPI_EVENT_TRANSREPLY) g_short_replies.emplace_back(wparam, reinterpret_cast<const char*>(lparam));
  return 0;
}

TEST_F(TransactionsTest, RepliesBecomeEvents) {
  start(0x2);
  g_replies.clear();
  g_short_replies.clear();
  ASSERT_EQ(KelapiSetEventCallback(capture_replies), KELAPI_OK);
  Msg00F2_TransactionReply reply{};
  reply.transaction_id = 9;
  reply.status = 3;
  std::memset(reply.text, 'r', 256);
  reply.number = (int64_t{7} << 32) | 5;
  net->deliver(0xF2, reply);
  reply.status = 40;
  net->deliver(0xF2, reply);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(g_replies.size(), 2u);
  EXPECT_EQ(g_replies[0].reply_number, (int64_t{7} << 32) | 5);
  EXPECT_EQ(g_replies[0].trans_id, 9u);
  EXPECT_EQ(g_replies[0].status, 3);
  EXPECT_EQ(std::strlen(g_replies[0].text), 256u);
  EXPECT_EQ(g_replies[1].status, 0) << "a status outside 1 to 12";

  {
    LibraryLock lock(*lib);
    // Without flag 0x2 the reply comes as the older event.
    LibraryTestAccess::set_init_flags(*lib, 0);
  }
  std::snprintf(reply.text, sizeof reply.text, "done");
  for (const int16_t status : {3, 15, 0, 12, 13, -1}) {
    reply.status = status;
    net->deliver(0xF2, reply);
  }
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(g_short_replies.size(), 6u);
  const uintptr_t statuses[] = {3, 0, 0, 12, 0, 0};  // a status outside 1 to 12 becomes 0 here too
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(g_short_replies[i].first, (uintptr_t{9} << 16) | statuses[i]) << i;
    EXPECT_EQ(g_short_replies[i].second, "done");
  }
}

}  // namespace
}  // namespace kelda::kelapi::test
