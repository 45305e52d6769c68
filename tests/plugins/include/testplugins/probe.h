/* Test plug-ins: what a test can ask a loaded test provider about the calls
 * it received. Each plug-in module keeps its own record; a test loads the
 * same module file (which shares the loaded copy) and calls
 * TestPlugin_LastCall through its exported name.
 *
 * Only for tests; the record is written by the entry points and read by the
 * test on the same thread, or after the calls have returned.
 */
#ifndef TESTPLUGINS_PROBE_H
#define TESTPLUGINS_PROBE_H

#include <stdint.h>

#include "platform/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TestPluginCall {
  char entry[48];        /* the CPAPI_ entry point called last */
  uintptr_t args[16];    /* its arguments, as words */
  char text[512];        /* its text argument (a settings file), when any */
  int32_t error_cleared; /* 1 when its error buffer began with NUL */
} TestPluginCall;

/* The last call, and the number of calls of one entry point so far. */
typedef const TestPluginCall* TestPlugin_LastCall_fn(void);
typedef int32_t TestPlugin_CallCount_fn(const char* entry);
KELDA_EXPORT TestPlugin_LastCall_fn TestPlugin_LastCall;
KELDA_EXPORT TestPlugin_CallCount_fn TestPlugin_CallCount;

#ifdef __cplusplus
}
#endif

#endif /* TESTPLUGINS_PROBE_H */
