// Case-blind comparisons, argument vectors split in place, and argument
// look-up by prefix in a vector or in a blank-separated text.
#include <cctype>
#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

bool is_separator(char c) { return c == ' ' || c == '\t'; }
int upper(unsigned char c) { return std::toupper(c); }

// Whether an argument matches a prefix: case-blind, and of equal length with
// flag 2; a null prefix matches anything.
bool matches(const char* argument, std::size_t length, const char* prefix, uint32_t flags) {
  if (prefix == nullptr) return true;
  std::size_t n = std::strlen(prefix);
  if (length < n || skMemICmp(argument, prefix, n) != 0) return false;
  return (flags & 2) == 0 || length == n;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API int skMemICmp(const void* a, const void* b, size_t n) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < n; ++i) {
    int cx = upper(x[i]), cy = upper(y[i]);
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  return 0;
}

SK_API int skStrNICmp(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    int cx = upper(static_cast<unsigned char>(a[i])), cy = upper(static_cast<unsigned char>(b[i]));
    if (cx != cy) return cx < cy ? -1 : 1;
    if (a[i] == 0) break;
  }
  return 0;
}

SK_API uint32_t skMakeArgV(int* count, char** vector, size_t capacity, char* text) {
  int arguments = 0;
  for (const char* p = text; p != nullptr && *p != 0;) {
    while (is_separator(*p)) ++p;
    if (*p == 0) break;
    ++arguments;
    while (*p != 0 && !is_separator(*p)) ++p;
  }
  if (count != nullptr) *count = arguments;
  if (vector == nullptr) return SK_OK;
  if (size_t(arguments) + 1 > capacity) return SK_BAD_ARGUMENT;
  int stored = 0;
  for (char* p = text; p != nullptr && *p != 0;) {
    while (is_separator(*p)) ++p;
    if (*p == 0) break;
    vector[stored++] = p;
    while (*p != 0 && !is_separator(*p)) ++p;
    if (*p != 0) *p++ = 0;
  }
  vector[stored] = nullptr;
  return SK_OK;
}

SK_API char* skArgument(char** vector, const char* prefix, uint32_t flags) {
  if (vector == nullptr) return nullptr;
  for (int i = 0; vector[i] != nullptr; ++i) {
    char* argument = vector[i];
    if (!matches(argument, std::strlen(argument), prefix, flags)) continue;
    char* value = argument + (prefix != nullptr ? std::strlen(prefix) : 0);
    int taken = 1;
    if (*value == 0 && prefix != nullptr && *prefix != 0 && (flags & 2) == 0 && vector[i + 1] != nullptr) {
      value = vector[i + 1];
      taken = 2;
    }
    if ((flags & 1) != 0) {
      int j = i;
      do vector[j] = vector[j + taken];
      while (vector[j++] != nullptr);
    }
    return value;
  }
  return nullptr;
}

SK_API int ArgStr(char* value, size_t size, char* text, const char* prefix, uint32_t flags) {
  if (text == nullptr) return 0;
  for (char* p = text;;) {
    while (is_separator(*p)) ++p;
    if (*p == 0) return 0;
    char* start = p;
    while (*p != 0 && !is_separator(*p)) ++p;
    std::size_t length = std::size_t(p - start);
    if (!matches(start, length, prefix, flags)) continue;

    std::size_t skip = prefix != nullptr ? std::strlen(prefix) : 0;
    const char* found = start + skip;
    std::size_t found_length = length - skip;
    char* end = p;  // end of the last taken argument
    if (found_length == 0 && prefix != nullptr && *prefix != 0 && (flags & 2) == 0) {
      char* next = p;
      while (is_separator(*next)) ++next;
      if (*next != 0) {
        found = next;
        end = next;
        while (*end != 0 && !is_separator(*end)) ++end;
        found_length = std::size_t(end - next);
      }
    }
    if (value != nullptr) {
      if (found_length + 1 > size) return -1;
      std::memmove(value, found, found_length);
      value[found_length] = 0;
    }
    if ((flags & 1) != 0) {
      while (is_separator(*end)) ++end;
      std::memmove(start, end, std::strlen(end) + 1);
    }
    return 1;
  }
}

}  // extern "C"
