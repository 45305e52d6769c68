// The configuration-text parser of the cryptographic library under arbitrary
// bytes: the first 11 bytes choose the rule characters, the rest is the text;
// small buffers make the length checks bite.
#include <cstdint>
#include <cstring>
#include <vector>

#include "config_parser.h"
#include "sekura32/sekura32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32;
  if (size < 11) return 0;
  ConfigSyntax syntax;
  char* rules[] = {&syntax.assign,       &syntax.comment,           &syntax.group_open,
                   &syntax.group_close,  &syntax.kept_group,        &syntax.continuation_lead,
                   &syntax.continuation_tail, &syntax.escape,       &syntax.joiner,
                   &syntax.section_open, &syntax.section_close};
  for (int i = 0; i < 11; ++i) *rules[i] = char(data[i]);
  std::vector<uint8_t> text(data + 11, data + size);
  SkStream* stream = skMemStream(text.data(), uint32_t(text.size()), uint32_t(text.size()), nullptr);
  if (stream == nullptr) return 0;
  stream->rewind_read(stream);
  char line[64], name[16], value[48];
  ConfigBuffers buffers{line, sizeof line, name, sizeof name, value, sizeof value};
  parse_config(
      stream, buffers,
      [](uint32_t, const char* n, const char* v, void*) -> int {
        // Every delivered text is NUL-ended inside its buffer.
        volatile std::size_t total = (n != nullptr ? std::strlen(n) : 0) + std::strlen(v);
        (void)total;
        return 0;
      },
      nullptr, syntax);
  stream->close(stream);
  return 0;
}
