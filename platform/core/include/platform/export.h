// Symbol visibility for the platform layer's shared library.
//
// Everything is built with hidden visibility; only names marked KELDA_PLATFORM_API
// leave libkelda_platform.so. One copy of the layer serves every library of the
// system, so per-thread state such as the last-error value is shared by all.
#pragma once

#define KELDA_PLATFORM_API __attribute__((visibility("default")))
#define KELDA_EXPORT __attribute__((visibility("default")))
