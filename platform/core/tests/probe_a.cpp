#include "platform/export.h"
#include "platform/last_error.h"

extern "C" KELDA_EXPORT void probe_a_set_last_error(uint32_t code) {
  kelda::platform::set_last_error(code);
}
