// Failure injection for tests: makes one later pass through a chosen point of
// the platform layer fail as if the system had run out of resources, so that
// tests can show what the callers do then.
//
// Threading: any thread; the armed failure is taken by whichever thread
// reaches the point first. Never armed outside tests.
#pragma once

#include "platform/export.h"

namespace kelda::platform::fault_injection {

enum class Point {
  thread_create,      // Thread::start: the system thread cannot be created
  wait_registration,  // a sleeping wait registers with one of its objects: no memory
};

// The `nth` pass (1 = the next) through `point` fails; 0 disarms it.
KELDA_PLATFORM_API void arm(Point point, int nth);

}  // namespace kelda::platform::fault_injection
