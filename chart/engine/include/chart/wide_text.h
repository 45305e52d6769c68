// Wide-text copying for the chart's UTF-16 fields (legends, labels).
// Pure functions; thread-safe; never throw.
#pragma once

#include <cstddef>

namespace kelda::chart {

// Copies at most n - 1 characters of the NUL-terminated source and always
// terminates the destination; returns the destination, or nullptr (copying
// nothing) when either pointer is null or n is 0.
char16_t* copyWideText(char16_t* destination, const char16_t* source, size_t n);

// The same from a field of `capacity` characters that need not hold a NUL.
char16_t* copyWideField(char16_t* destination, size_t n, const char16_t* source, size_t capacity);

}  // namespace kelda::chart
