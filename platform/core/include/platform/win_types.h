/* Plain records and widths that the system's files, wire formats and
 * interfaces rely on: 32-bit BOOL/UINT/DWORD, RECT and POINT of int32_t,
 * COLORREF 0x00BBGGRR, FILETIME as two 32-bit words, SYSTEMTIME as eight
 * 16-bit words. Pointer-carrying words (WPARAM, LPARAM, LRESULT) are
 * pointer-sized. Usable from C and C++; no state, no threading concerns. */
#ifndef KELDA_PLATFORM_WIN_TYPES_H
#define KELDA_PLATFORM_WIN_TYPES_H

#include <stdint.h>

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef uint32_t COLORREF;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} RECT;

typedef struct POINT {
  int32_t x;
  int32_t y;
} POINT;

typedef struct SIZE {
  int32_t cx;
  int32_t cy;
} SIZE;

/* 100-nanosecond units since 1601-01-01 00:00 UTC, low word first. */
typedef struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
} FILETIME;

typedef struct SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth; /* 1-12 */
  uint16_t wDayOfWeek; /* 0 = Sunday */
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
} SYSTEMTIME;

#define RGB(r, g, b) ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#define GetRValue(c) ((uint8_t)((c) & 0xFF))
#define GetGValue(c) ((uint8_t)(((c) >> 8) & 0xFF))
#define GetBValue(c) ((uint8_t)(((c) >> 16) & 0xFF))

#ifdef __cplusplus
static_assert(sizeof(BOOL) == 4 && sizeof(DWORD) == 4 && sizeof(UINT) == 4);
static_assert(sizeof(RECT) == 16 && sizeof(POINT) == 8 && sizeof(SIZE) == 8);
static_assert(sizeof(FILETIME) == 8 && sizeof(SYSTEMTIME) == 16);
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));
#endif

#endif /* KELDA_PLATFORM_WIN_TYPES_H */
