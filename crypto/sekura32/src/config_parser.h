// The configuration-text parser: entries of name, assignment and value read
// line by line from a stream, with comments, quotes, groups, continuation
// lines, an escape character and section headings, each rule switched on by
// its character (0 switches it off).
//
// Answers: 0 when all is done, the handler's non-zero answer when it stopped
// the parse, or a negative parse error: -253 unclosed quote, -254 group
// mismatch, -255 name or value too long for its buffer, -256 line too long for
// the value buffer; -272 for a bad argument (null stream, handler or buffers).
// Threading: one parse belongs to one caller; no shared state.
#pragma once

#include <cstdint>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

struct ConfigSyntax {
  char assign = 0;
  char comment = 0;
  char group_open = 0;
  char group_close = 0;
  char kept_group = 0;
  char continuation_lead = 0;
  char continuation_tail = 0;
  char escape = 0;
  char joiner = 0;
  char section_open = 0;
  char section_close = 0;
};

struct ConfigBuffers {
  char* line;
  uint32_t line_size;
  char* name;
  uint32_t name_size;
  char* value;
  uint32_t value_size;
};

inline constexpr int kCfgUnclosedQuote = -253;
inline constexpr int kCfgGroupMismatch = -254;
inline constexpr int kCfgTooLong = -255;
inline constexpr int kCfgLineTooLong = -256;
inline constexpr int kCfgBadArgument = -272;

int parse_config(SkStream* stream, const ConfigBuffers& buffers, SkCfgHandler handler, void* context,
                 const ConfigSyntax& syntax) noexcept;

}  // namespace kelda::sekura32
