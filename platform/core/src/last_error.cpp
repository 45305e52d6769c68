#include "platform/last_error.h"

namespace kelda::platform {

namespace {
thread_local uint32_t t_last_error = 0;
}

uint32_t get_last_error() noexcept { return t_last_error; }

void set_last_error(uint32_t code) noexcept { t_last_error = code; }

}  // namespace kelda::platform
