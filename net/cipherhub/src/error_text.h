// The caller's 8-bit error buffer: cleared, or set to a message cut to its
// capacity and always terminated. A null buffer or a zero capacity takes
// nothing.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
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

  // The whole message is formatted first, so that only the buffer's capacity
  // cuts it (caller names and paths may be long).
  __attribute__((format(printf, 2, 3))) void format(const char* format, ...) {
    if (size_ == 0) return;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    set(text);
  }

 private:
  char* buffer_;
  uint32_t size_;
};

}  // namespace kelda::cipherhub
