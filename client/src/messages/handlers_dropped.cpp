// The handler of the messages that are accepted and dropped.
#include "handlers.h"

namespace kelda::kelapi {

void on_dropped_message(uint16_t, const void*) {}

}  // namespace kelda::kelapi
