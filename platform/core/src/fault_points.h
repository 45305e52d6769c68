// The platform layer's side of fault_injection.h.
#pragma once

#include "platform/fault_injection.h"

namespace kelda::platform::fault_injection {

// True when this pass through `point` is the armed one (then disarmed).
bool should_fail(Point point) noexcept;

}  // namespace kelda::platform::fault_injection
