#include "core/diag.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/no_destroy.h"

namespace kelda::kelapi {
namespace {

std::mutex& sink_mutex() {
  static std::mutex m;
  return m;
}

DiagSink& sink() {
  static platform::NoDestroy<DiagSink> s;  // library threads may log at process exit
  return s.get();
}

}  // namespace

DiagSink set_diag_sink(DiagSink s) {
  std::lock_guard lock(sink_mutex());
  return std::exchange(sink(), std::move(s));
}

void diag(const char* format, ...) {
  std::lock_guard lock(sink_mutex());
  if (!sink()) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  try {
    sink()(text);
  } catch (...) {
    // A diagnostic must never disturb the library.
  }
}

}  // namespace kelda::kelapi
