// A bounded reader over an assembled server stream (the parameter history
// reply): fixed-width reads copy the bytes as they stand and fail at the end
// of the stream; a counted text is a signed 16-bit length and its bytes, and
// a negative length is a failed read.
//
// Plain value type over borrowed bytes; never throws.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace kelda::kelapi {

class StreamReader {
 public:
  explicit StreamReader(std::span<const uint8_t> data) : data_(data) {}

  template <typename T>
  bool read(T& out) {
    if (data_.size() - pos_ < sizeof(T)) return false;
    std::memcpy(&out, data_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return true;
  }

  // Copies at most capacity - 1 bytes of the text into `out` and terminates
  // it; the whole text is passed over.
  bool read_text(char* out, std::size_t capacity) {
    int16_t length;
    if (capacity == 0 || !read(length) || length < 0) return false;
    const auto n = static_cast<std::size_t>(length);
    if (data_.size() - pos_ < n) return false;
    const std::size_t copied = n < capacity - 1 ? n : capacity - 1;
    std::memcpy(out, data_.data() + pos_, copied);
    out[copied] = '\0';
    pos_ += n;
    return true;
  }

  std::size_t position() const noexcept { return pos_; }

 private:
  std::span<const uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace kelda::kelapi
