// The per-thread last-error value and the error codes the system uses.
//
// One copy of the value exists per thread for the whole process: it lives in
// libkelda_platform.so, which every library of the system links, so a code set
// by one library is read by another on the same thread. Thread-safe by
// construction (thread-local); never throws.
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace kelda::platform {

KELDA_PLATFORM_API uint32_t get_last_error() noexcept;
KELDA_PLATFORM_API void set_last_error(uint32_t code) noexcept;

// System error codes (the numbering the system's texts and callers know).
namespace error {
inline constexpr uint32_t success = 0;
inline constexpr uint32_t invalid_function = 1;
inline constexpr uint32_t file_not_found = 2;
inline constexpr uint32_t path_not_found = 3;
inline constexpr uint32_t too_many_open_files = 4;
inline constexpr uint32_t access_denied = 5;
inline constexpr uint32_t invalid_handle = 6;
inline constexpr uint32_t not_enough_memory = 8;
inline constexpr uint32_t invalid_data = 13;
inline constexpr uint32_t outofmemory = 14;
inline constexpr uint32_t write_fault = 29;
inline constexpr uint32_t read_fault = 30;
inline constexpr uint32_t handle_eof = 38;
inline constexpr uint32_t not_supported = 50;
inline constexpr uint32_t file_exists = 80;
inline constexpr uint32_t invalid_parameter = 87;
inline constexpr uint32_t broken_pipe = 109;
inline constexpr uint32_t insufficient_buffer = 122;
inline constexpr uint32_t invalid_name = 123;
inline constexpr uint32_t mod_not_found = 126;
inline constexpr uint32_t proc_not_found = 127;
inline constexpr uint32_t already_exists = 183;
inline constexpr uint32_t more_data = 234;
inline constexpr uint32_t wait_timeout = 258;
inline constexpr uint32_t no_more_items = 259;
inline constexpr uint32_t not_owner = 288;
inline constexpr uint32_t operation_aborted = 995;
inline constexpr uint32_t cancelled = 1223;
inline constexpr uint32_t invalid_thread_id = 1444;
inline constexpr uint32_t timeout = 1460;
inline constexpr uint32_t not_enough_quota = 1816;
}  // namespace error

// Socket error codes (10000 + the classic BSD numbering).
namespace socket_error {
inline constexpr uint32_t interrupted = 10004;
inline constexpr uint32_t bad_file = 10009;
inline constexpr uint32_t access = 10013;
inline constexpr uint32_t fault = 10014;
inline constexpr uint32_t invalid_argument = 10022;
inline constexpr uint32_t too_many_sockets = 10024;
inline constexpr uint32_t would_block = 10035;
inline constexpr uint32_t in_progress = 10036;
inline constexpr uint32_t already = 10037;
inline constexpr uint32_t not_socket = 10038;
inline constexpr uint32_t destination_required = 10039;
inline constexpr uint32_t message_size = 10040;
inline constexpr uint32_t protocol_type = 10041;
inline constexpr uint32_t no_protocol_option = 10042;
inline constexpr uint32_t protocol_not_supported = 10043;
inline constexpr uint32_t socket_type_not_supported = 10044;
inline constexpr uint32_t operation_not_supported = 10045;
inline constexpr uint32_t family_not_supported = 10047;
inline constexpr uint32_t address_in_use = 10048;
inline constexpr uint32_t address_not_available = 10049;
inline constexpr uint32_t network_down = 10050;
inline constexpr uint32_t network_unreachable = 10051;
inline constexpr uint32_t network_reset = 10052;
inline constexpr uint32_t connection_aborted = 10053;
inline constexpr uint32_t connection_reset = 10054;
inline constexpr uint32_t no_buffers = 10055;
inline constexpr uint32_t is_connected = 10056;
inline constexpr uint32_t not_connected = 10057;
inline constexpr uint32_t shutdown = 10058;
inline constexpr uint32_t timed_out = 10060;
inline constexpr uint32_t connection_refused = 10061;
inline constexpr uint32_t host_down = 10064;
inline constexpr uint32_t host_unreachable = 10065;
inline constexpr uint32_t host_not_found = 11001;
inline constexpr uint32_t try_again = 11002;
inline constexpr uint32_t no_recovery = 11003;
inline constexpr uint32_t no_data = 11004;
}  // namespace socket_error

// Maps an errno value to the system error code above (file and general errors).
KELDA_PLATFORM_API uint32_t error_from_errno(int errno_value) noexcept;
// Maps an errno value from a socket call to its socket error code.
KELDA_PLATFORM_API uint32_t socket_error_from_errno(int errno_value) noexcept;
// Maps a getaddrinfo() result to its socket error code.
KELDA_PLATFORM_API uint32_t socket_error_from_gai(int gai_result) noexcept;

}  // namespace kelda::platform
