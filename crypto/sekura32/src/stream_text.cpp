// Text helpers over any stream: writing texts and lines, reading lines.
#include <cstring>

#include "stream.h"

namespace kelda::sekura32 {

uint32_t stream_write_text(SkStream* stream, const char* text, uint32_t n) noexcept {
  if (stream == nullptr || text == nullptr) return 0;
  uint32_t length = uint32_t(strnlen(text, n));
  if (length == 0) return 0;
  return stream->write(stream, text, length);
}

uint32_t stream_write_line(SkStream* stream, const char* text, uint32_t n) noexcept {
  if (stream == nullptr) return 0;
  uint32_t written = stream_write_text(stream, text, n);
  return written + stream->write(stream, "\r\n", 2);
}

int stream_write_byte(SkStream* stream, uint8_t byte) noexcept {
  if (stream == nullptr) return -1;
  return stream->write(stream, &byte, 1) == 1 ? byte : -1;
}

uint32_t stream_read_line(SkStream* stream, char* buffer, std::size_t size, bool* ended) noexcept {
  if (ended != nullptr) *ended = false;
  std::size_t stored = 0;
  uint32_t consumed = 0;
  bool carriage_return = false;  // a CR read and not yet stored
  auto store = [&](char c) {
    if (buffer != nullptr && stored + 1 < size) buffer[stored++] = c;
  };
  for (;;) {
    uint8_t byte = 0;
    if (stream == nullptr || stream->read(stream, &byte, 1) != 1 || byte == 26) {
      if (ended != nullptr) *ended = true;
      if (carriage_return) store('\r');
      if (skIOerror != 0) consumed = 0;
      break;
    }
    ++consumed;
    if (byte == '\n') break;
    if (carriage_return) store('\r');
    carriage_return = byte == '\r';
    if (!carriage_return) store(char(byte));
  }
  if (buffer != nullptr && size != 0) buffer[stored] = 0;
  return consumed;
}

}  // namespace kelda::sekura32
