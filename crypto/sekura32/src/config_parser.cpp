// The configuration-text parser over the stream line reader.
#include "config_parser.h"

#include <cstring>
#include <string>
#include <vector>

#include "stream.h"

namespace kelda::sekura32 {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

class ConfigParser {
 public:
  ConfigParser(const ConfigBuffers& buffers, SkCfgHandler handler, void* context, const ConfigSyntax& syntax)
      : buffers_(buffers), handler_(handler), context_(context), syntax_(syntax) {}

  int run(SkStream* stream) {
    bool first = true;
    bool next_is_continuation = false;
    for (;;) {
      uint32_t offset = stream->count;
      bool ended = false;
      uint32_t consumed = stream_read_line(stream, buffers_.line, buffers_.line_size, &ended);
      if (consumed == 0 && ended) break;
      std::string line(buffers_.line);
      if (line.find_first_not_of(" \t") == std::string::npos) {
        if (ended) break;
        continue;
      }
      bool continuation = !first && next_is_continuation;
      next_is_continuation = false;
      if (syntax_.continuation_tail != 0 && line.back() == syntax_.continuation_tail) {
        line.pop_back();
        next_is_continuation = true;
      }
      char lead = line.front();
      if (!first && syntax_.continuation_lead != 0 &&
          (lead == syntax_.continuation_lead || (syntax_.continuation_lead == ' ' && lead == '\t')))
        continuation = true;
      first = false;
      std::size_t start = line.find_first_not_of(" \t");
      int answer = start == std::string::npos ? 0 : take_line(line.substr(start), continuation, offset);
      if (answer != 0) return answer;
      if (ended) break;
    }
    return deliver_pending();
  }

 private:
  int take_line(const std::string& text, bool continuation, uint32_t offset) {
    if (continuation) {
      if (syntax_.joiner != 0 && !gather(syntax_.joiner)) return kCfgLineTooLong;
    } else {
      if (int answer = deliver_pending(); answer != 0) return answer;
      entry_offset_ = offset;
      if (syntax_.section_open != 0 && text.front() == syntax_.section_open) return take_section(text);
    }
    return take_characters(text);
  }

  // "[name]": the heading entry; brackets nest, inner ones are kept.
  int take_section(const std::string& text) {
    has_name_ = true;
    name_ = skCfgHeading;
    int depth = 1;
    for (std::size_t i = 1; i < text.size(); ++i) {
      char c = text[i];
      if (c == syntax_.section_open) ++depth;
      if (c == syntax_.section_close && --depth == 0) break;
      if (!gather(c)) return kCfgLineTooLong;
    }
    return 0;
  }

  int take_characters(const std::string& text) {
    bool escaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (escaped) {
        escaped = false;
        if (!dropped() && !gather(c)) return kCfgLineTooLong;
      } else if (syntax_.escape != 0 && c == syntax_.escape) {
        escaped = true;
      } else if (quote_ != 0) {
        if (c == quote_) quote_ = 0;
        if (!dropped() && !gather(c)) return kCfgLineTooLong;
      } else if (syntax_.group_open != 0 && c == syntax_.group_open) {
        bool kept = syntax_.kept_group != 0 && i + 1 < text.size() && text[i + 1] == syntax_.kept_group;
        if (kept) ++i;
        groups_.push_back(kept);
      } else if (syntax_.group_close != 0 && c == syntax_.group_close) {
        if (groups_.empty()) return kCfgGroupMismatch;
        groups_.pop_back();
      } else if (dropped()) {
        continue;
      } else if (syntax_.comment != 0 && c == syntax_.comment) {
        break;
      } else if (syntax_.assign != 0 && c == syntax_.assign && !has_name_) {
        has_name_ = true;
        name_ = gathered_.substr(0, buffers_.name_size - 1);
        gathered_.clear();
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
      } else {
        if (c == '\'' || c == '"') quote_ = c;
        if (!gather(c)) return kCfgLineTooLong;
      }
    }
    return 0;
  }

  bool dropped() const {
    for (bool kept : groups_)
      if (!kept) return true;
    return false;
  }

  bool gather(char c) {
    if (gathered_.size() + 1 >= buffers_.value_size) return false;
    gathered_.push_back(c);
    return true;
  }

  bool pending() const { return has_name_ || !gathered_.empty() || !groups_.empty() || quote_ != 0; }

  int deliver_pending() {
    if (!pending()) return 0;
    if (quote_ != 0) return kCfgUnclosedQuote;
    if (!groups_.empty()) return kCfgGroupMismatch;
    bool heading = has_name_ && name_ == skCfgHeading;
    if (has_name_ && !heading) tidy(name_);
    if (!heading) tidy(gathered_);
    if (has_name_ && name_.size() + 1 > buffers_.name_size) return kCfgTooLong;
    if (gathered_.size() + 1 > buffers_.value_size) return kCfgTooLong;
    if (has_name_) std::memcpy(buffers_.name, name_.c_str(), name_.size() + 1);
    std::memcpy(buffers_.value, gathered_.c_str(), gathered_.size() + 1);
    int answer = handler_(entry_offset_, has_name_ ? buffers_.name : nullptr, buffers_.value, context_);
    has_name_ = false;
    name_.clear();
    gathered_.clear();
    return answer;
  }

  // Drops trailing blanks and tabs and one pair of surrounding quotes.
  static void tidy(std::string& text) {
    while (!text.empty() && is_blank(text.back())) text.pop_back();
    if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front())
      text = text.substr(1, text.size() - 2);
  }

  const ConfigBuffers& buffers_;
  SkCfgHandler handler_;
  void* context_;
  const ConfigSyntax& syntax_;
  uint32_t entry_offset_ = 0;
  bool has_name_ = false;
  std::string name_;
  std::string gathered_;
  std::vector<bool> groups_;  // one entry per open group: kept or dropped
  char quote_ = 0;
};

}  // namespace

int parse_config(SkStream* stream, const ConfigBuffers& buffers, SkCfgHandler handler, void* context,
                 const ConfigSyntax& syntax) noexcept {
  if (stream == nullptr || handler == nullptr || buffers.line == nullptr || buffers.line_size == 0 ||
      buffers.name == nullptr || buffers.name_size == 0 || buffers.value == nullptr || buffers.value_size == 0)
    return kCfgBadArgument;
  try {
    return ConfigParser(buffers, handler, context, syntax).run(stream);
  } catch (...) {
    return kCfgBadArgument;
  }
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" SK_API int skParseCfg(SkStream* stream, char* line, uint32_t line_size, char* name, uint32_t name_size,
                                 char* value, uint32_t value_size, SkCfgHandler handler, void* context, char assign,
                                 char comment, char group_open, char group_close, char kept_group,
                                 char continuation_lead, char continuation_tail, char escape, char joiner,
                                 char section_open, char section_close) {
  ConfigBuffers buffers{line, line_size, name, name_size, value, value_size};
  ConfigSyntax syntax{assign,      comment,           group_open, group_close,  kept_group,   continuation_lead,
                      continuation_tail, escape,      joiner,     section_open, section_close};
  return parse_config(stream, buffers, handler, context, syntax);
}
