// The configuration-text parser over memory streams.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config_parser.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32 {
namespace {

struct Entry {
  uint32_t offset;
  std::string name;  // "(null)" for an entry without assignment
  std::string value;
  bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
  return out << "{" << e.offset << ", " << e.name << ", " << e.value << "}";
}

struct Parsed {
  int answer;
  std::vector<Entry> entries;
};

Parsed parse(const std::string& text, ConfigSyntax syntax, uint32_t value_size = 1024, int stop_at = -1) {
  Parsed parsed{0, {}};
  std::string buffer = text;
  SkStream* stream = skMemStream(buffer.data(), uint32_t(buffer.size()), uint32_t(buffer.size()), nullptr);
  stream->rewind_read(stream);
  char line[1024], name[64], value[1024];
  struct Context {
    Parsed* parsed;
    int stop_at;
  } context{&parsed, stop_at};
  ConfigBuffers buffers{line, sizeof line, name, sizeof name, value, value_size};
  parsed.answer = parse_config(
      stream, buffers,
      [](uint32_t offset, const char* n, const char* v, void* c) -> int {
        auto* ctx = static_cast<Context*>(c);
        ctx->parsed->entries.push_back({offset, n != nullptr ? n : "(null)", v});
        return int(ctx->parsed->entries.size()) == ctx->stop_at ? 77 : 0;
      },
      &context, syntax);
  stream->close(stream);
  return parsed;
}

ConfigSyntax key_ring() {
  ConfigSyntax s;
  s.assign = '=';
  s.comment = '|';
  s.escape = '\\';
  s.section_open = '[';
  s.section_close = ']';
  return s;
}

TEST(ConfigParser, KeyRingSectionThenQuotedValueWithComment) {
  Parsed p = parse("[ring]\r\nKEY = 'x y' | comment\r\n", key_ring());
  EXPECT_EQ(p.answer, 0);
  ASSERT_EQ(p.entries.size(), 2u);
  EXPECT_EQ(p.entries[0], (Entry{0, "[*Heading*]", "ring"}));
  EXPECT_EQ(p.entries[1], (Entry{8, "KEY", "x y"}));
}

TEST(ConfigParser, EntriesEscapesNestedSectionsAndBlankLines) {
  Parsed p = parse("  \t\n[a[b]c] rest\n\nNAME\\=X=v\\|1 \nbare words\n\"q=1\"=\"v\"\n", key_ring());
  EXPECT_EQ(p.answer, 0);
  ASSERT_EQ(p.entries.size(), 4u);
  EXPECT_EQ(p.entries[0].value, "a[b]c");
  EXPECT_EQ(p.entries[1], (Entry{18, "NAME=X", "v|1"}));
  EXPECT_EQ(p.entries[2], (Entry{32, "(null)", "bare words"}));
  EXPECT_EQ(p.entries[3].name, "q=1");
  EXPECT_EQ(p.entries[3].value, "v");
}

TEST(ConfigParser, GroupsContinuationsAndJoiner) {
  ConfigSyntax s = key_ring();
  s.group_open = '{';
  s.group_close = '}';
  s.kept_group = '!';
  s.continuation_lead = ' ';
  s.joiner = ',';
  Parsed p = parse("A=1{dropped}2{!kept}\n  3\n\t4\nB=5\n", s);
  EXPECT_EQ(p.answer, 0);
  ASSERT_EQ(p.entries.size(), 2u);
  EXPECT_EQ(p.entries[0], (Entry{0, "A", "12kept,3,4"}));
  EXPECT_EQ(p.entries[1].value, "5");

  ConfigSyntax tail = key_ring();
  tail.continuation_tail = '\\';
  tail.escape = 0;
  Parsed t = parse("A=1\\\n2\nB=3\\\n", tail);
  EXPECT_EQ(t.answer, 0);
  ASSERT_EQ(t.entries.size(), 2u);
  EXPECT_EQ(t.entries[0].value, "12");
  EXPECT_EQ(t.entries[1].value, "3");  // delivered at the end as well
}

TEST(ConfigParser, ErrorsAndTheHandlersStop) {
  ConfigSyntax s = key_ring();
  s.group_open = '(';
  s.group_close = ')';
  EXPECT_EQ(parse("A='open\nB=2\n", s).answer, kCfgUnclosedQuote);
  EXPECT_EQ(parse("A='open", s).answer, kCfgUnclosedQuote);
  EXPECT_EQ(parse("A=(open\nB=1\n", s).answer, kCfgGroupMismatch);
  EXPECT_EQ(parse("A=close)\n", s).answer, kCfgGroupMismatch);
  EXPECT_EQ(parse("A=" + std::string(40, 'v') + "\n", s, 16).answer, kCfgLineTooLong);
  EXPECT_EQ(parse(std::string(100, 'n') + "=1\n", s).entries.at(0).name.size(), 63u);  // cut to the name buffer
  Parsed stopped = parse("A=1\nB=2\nC=3\n", s, 1024, 2);
  EXPECT_EQ(stopped.answer, 77);
  EXPECT_EQ(stopped.entries.size(), 2u);
  EXPECT_EQ(parse("", s).answer, 0);
  EXPECT_EQ(parse("A=1\x1A" "B=2\n", s).entries.size(), 1u);  // byte 26 ends the input
}

TEST(ConfigParser, ExportRefusesMissingBuffers) {
  char line[8], name[8], value[8];
  SkStream* stream = skDummyStream();
  auto handler = [](uint32_t, const char*, const char*, void*) { return 0; };
  EXPECT_EQ(skParseCfg(nullptr, line, 8, name, 8, value, 8, handler, nullptr, '=', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
            kCfgBadArgument);
  EXPECT_EQ(skParseCfg(stream, line, 0, name, 8, value, 8, handler, nullptr, '=', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
            kCfgBadArgument);
  EXPECT_EQ(skParseCfg(stream, line, 8, name, 8, value, 8, handler, nullptr, '=', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0);
  stream->close(stream);
}

}  // namespace
}  // namespace kelda::sekura32
