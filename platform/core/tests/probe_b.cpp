#include "platform/export.h"
#include "platform/last_error.h"

extern "C" KELDA_EXPORT uint32_t probe_b_get_last_error() { return kelda::platform::get_last_error(); }

extern "C" int probe_b_hidden() { return 1; }  // not exported: hidden visibility
