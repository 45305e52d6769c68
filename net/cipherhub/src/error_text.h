// The caller's 8-bit error buffer: cleared, or set to a message cut to its
// capacity and always terminated. A null buffer or a zero capacity takes
// nothing.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kelda::cipherhub {

class ErrorText {
 public:
  ErrorText(char* buffer, uint32_t size) : buffer_(buffer), size_(buffer ? size : 0) {}

  char* data() const { return buffer_; }
  uint32_t size() const { return size_; }

  void clear() {
    if (size_ > 0) buffer_[0] = '\0';
  }

  void set(std::string_view text) {
    if (size_ == 0) return;
    const std::size_t n = text.size() < size_ - 1 ? text.size() : size_ - 1;
    std::memcpy(buffer_, text.data(), n);
    buffer_[n] = '\0';
  }

  __attribute__((format(printf, 2, 3))) void format(const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    set(text);
  }

 private:
  char* buffer_;
  uint32_t size_;
};

}  // namespace kelda::cipherhub
