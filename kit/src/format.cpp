// Bounded formatting into caller buffers.
#include "kit/format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelda::kit {
namespace {
constexpr std::size_t kWorkSize = 4096;
}

char* mbs_format(char* dst, std::size_t capacity, const char* format, ...) noexcept {
  if (dst == nullptr || capacity == 0 || format == nullptr) return dst;
  if (*format == 0) return nullptr;
  char work[kWorkSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(work, sizeof work, format, args);
  va_end(args);
  std::strncpy(dst, work, capacity);
  dst[capacity - 1] = 0;
  return dst;
}

char16_t* wcs_vformat(char16_t* dst, std::size_t capacity, const char16_t* format,
                      va_list args) noexcept {
  if (dst == nullptr || capacity == 0 || format == nullptr) return dst;
  if (*format == 0) return nullptr;
  char16_t work[kWorkSize];
  wide_vsnprintf(work, kWorkSize, format, args);
  std::size_t i = 0;
  for (; i < capacity && work[i] != 0; ++i) dst[i] = work[i];
  if (i < capacity) dst[i] = 0;
  dst[capacity - 1] = 0;
  return dst;
}

char16_t* wcs_format(char16_t* dst, std::size_t capacity, const char16_t* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  char16_t* result = wcs_vformat(dst, capacity, format, args);
  va_end(args);
  return result;
}

int mbs_printf_realloc(char** buffer, std::size_t* size, const char* format, ...) noexcept {
  if (buffer == nullptr || size == nullptr || format == nullptr || *format == 0) return 0;
  char work[kWorkSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(work, sizeof work, format, args);
  va_end(args);
  return mbs_dup_realloc(work, buffer, size);
}

int mbs_dup_realloc(const char* text, char** buffer, std::size_t* size) noexcept {
  if (text == nullptr || *text == 0 || buffer == nullptr || size == nullptr) return 0;
  const std::size_t needed = std::strlen(text) + 1;
  void* grown = std::realloc(*buffer, needed);
  if (grown == nullptr) return 0;
  *buffer = static_cast<char*>(grown);
  std::memcpy(*buffer, text, needed);
  *size = needed;
  return 1;
}

}  // namespace kelda::kit
