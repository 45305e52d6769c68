// The line conversion of text data (protect flag 0x100): the data is read as
// lines and every line, the last one included, is handed on ended by "\r\n".
// A line ends at a line feed; a carriage return directly before it is
// dropped, any other carriage return is kept; the byte 26 ends the text like
// the end of the data. So "a\nb" becomes "a\r\nb\r\n", already converted text
// stays as it is, and nothing becomes nothing. For text it gives what the
// clear-text reader of the armour gives, without that reader's limit on a
// line's length.
//
// Data that the conversion could not carry whole is not text and is refused
// with 17 instead of being cut: a NUL byte anywhere (the armour's reader
// would drop the rest of its line), or any byte behind a byte 26.
//
// The data may come in pieces of any size; the converted bytes go to a sink
// called as sink(const uint8_t* bytes, std::size_t count), in order.
// Threading: one converter per caller; no shared state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

class TextLines {
 public:
  // Converts one piece; 17 (and nothing more handed on) for data that is not
  // text.
  template <class Sink>
  uint32_t feed(const uint8_t* data, std::size_t length, Sink&& sink) {
    std::size_t run = 0;  // start of the plain bytes not yet handed on
    for (std::size_t k = 0; k < length; ++k) {
      uint8_t byte = data[k];
      if (ended_ || byte == 0) return SK_BAD_FORMAT;
      if (byte != '\r' && byte != '\n' && byte != kEndOfText) {
        if (carriage_return_) {  // only ever directly before a run starts
          sink(kLineEnd, 1);
          carriage_return_ = false;
        }
        in_line_ = true;
        continue;
      }
      if (k > run) sink(data + run, k - run);
      run = k + 1;
      if (byte == '\n') {
        carriage_return_ = false;
        in_line_ = false;
        sink(kLineEnd, 2);
      } else if (byte == '\r') {
        if (carriage_return_) sink(kLineEnd, 1);
        carriage_return_ = true;
        in_line_ = true;
      } else {
        ended_ = true;
      }
    }
    if (length > run) sink(data + run, length - run);
    return SK_OK;
  }

  // Ends the last line; the converter can then start on new text.
  template <class Sink>
  void finish(Sink&& sink) {
    if (carriage_return_) sink(kLineEnd, 1);
    if (in_line_ || carriage_return_) sink(kLineEnd, 2);
    *this = TextLines();
  }

 private:
  static constexpr uint8_t kEndOfText = 26;
  static constexpr uint8_t kLineEnd[2] = {'\r', '\n'};
  bool carriage_return_ = false;  // a carriage return not yet handed on
  bool in_line_ = false;          // bytes of an unfinished line were read
  bool ended_ = false;            // the byte 26 was read
};

// Converts a whole buffer of text in place (a container of bytes); on 17 the
// data is left as it was.
template <class Buffer>
uint32_t convert_text_lines(Buffer& data) {
  Buffer converted;
  converted.reserve(data.size() + data.size() / 8 + 2);
  auto append = [&converted](const uint8_t* bytes, std::size_t count) {
    converted.insert(converted.end(), bytes, bytes + count);
  };
  TextLines lines;
  uint32_t result = lines.feed(data.data(), data.size(), append);
  if (result >= 16) return result;
  lines.finish(append);
  data.swap(converted);
  return SK_OK;
}

}  // namespace kelda::sekura32
