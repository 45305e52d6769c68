// Trace output to the host's stdio streams, and the hex dump.
#include <cstdarg>
#include <cstdio>

#include "frame.h"

extern "C" {

SK_API int skvPrint(const char* format, va_list arguments) {
  FILE* out = skStdOut;
  if (out == nullptr || format == nullptr) return 0;
  int written = std::vfprintf(out, format, arguments);
  std::fflush(out);
  return written;
}

SK_API int skPrint(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = skvPrint(format, arguments);
  va_end(arguments);
  return written;
}

SK_API int skvFPrint(FILE* stream, const char* format, va_list arguments) {
  if (stream == nullptr || format == nullptr) return 0;
  return std::vfprintf(stream, format, arguments);
}

SK_API int skFPrint(FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = skvFPrint(stream, format, arguments);
  va_end(arguments);
  return written;
}

SK_API int skFlush(void) { return skFFlush(skStdOut); }

SK_API int skFFlush(FILE* stream) { return stream == nullptr ? 0 : std::fflush(stream); }

SK_API int skDump(const char* title, const char* frame, const void* data, int number, int length) {
  if (title == nullptr) title = "";
  if (data == nullptr) {
    skPrint("\n%-16s == NULL\n", title);
    return 0;
  }
  char open = frame != nullptr && frame[0] != 0 ? frame[0] : '|';
  char close = frame != nullptr && frame[0] != 0 && frame[1] != 0 ? frame[1] : '|';
  skPrint("\n|%-16s================ %5d (%5d) =++=================|\n", title, number, length);
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (int line = 0; line < length; line += 16) {
    int n = length - line < 16 ? length - line : 16;
    skPrint("%c", open);
    for (int i = 0; i < 16; ++i) {
      if (i < n)
        skPrint("%02x ", bytes[line + i]);
      else
        skPrint("   ");
    }
    skPrint("%c%c ", close, open);
    for (int i = 0; i < n; ++i) {
      unsigned char c = bytes[line + i];
      skPrint("%1c", c < 32 || c == '[' || c == ']' ? '.' : c);
    }
    skPrint("%c\n", close);
  }
  skPrint("|================================================++=================|\n");
  return length < 0 ? 0 : length;
}

}  // extern "C"
