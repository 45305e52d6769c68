// The connection manager stand-in: the handheld's service that brings up a
// data link (GPRS) on request.
//
// On Linux the network is simply present: establishing a link succeeds at
// once with the status "connected", and the link is a token that lives until
// it is released. Tests set what the next requests get instead (a failure
// status, or a request that stays pending until the test finishes it or the
// caller's time-out passes) and read what was asked.
//
// Results are the platform's HRESULT words: 0 for success, kConnFailed for a
// link that could not be made, kConnTimedOut when the time-out passed, and
// kConnInvalidArg for a bad argument (unknown handle, null output, wrong
// record size). The last error is set on every failure.
// Threading: every function may be called from any thread; a pending
// establish blocks its caller (no loop runs meanwhile, as on the device).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/export.h"

namespace kelda::platform {

namespace conn_status {
inline constexpr uint32_t unknown = 0x00;
inline constexpr uint32_t connected = 0x10;
inline constexpr uint32_t disconnected = 0x20;
inline constexpr uint32_t connection_failed = 0x21;
inline constexpr uint32_t connection_canceled = 0x22;
inline constexpr uint32_t no_path_to_destination = 0x24;
inline constexpr uint32_t waiting_connection = 0x40;
}  // namespace conn_status

inline constexpr uint32_t kConnFailed = 0x80004005;      // E_FAIL
inline constexpr uint32_t kConnInvalidArg = 0x80070057;  // E_INVALIDARG
inline constexpr uint32_t kConnTimedOut = 0x800705B4;    // the time-out passed

// Parameter bits of a request.
namespace conn_params {
inline constexpr uint32_t destination_given = 0x1;
}
// Priority of a link wanted by a program in the background at high priority.
inline constexpr uint32_t kConnPriorityHighBackground = 0x200;

struct ConnGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  uint8_t data4[8]{};
  bool operator==(const ConnGuid&) const = default;
};
// The destination "the Internet".
inline constexpr ConnGuid kConnInternetDestination{0x436EF144, 0xB4FB, 0x4863,
                                                   {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

// A request for a link. Holds a window handle, so its layout is the 64-bit
// one of this struct; callers set size = sizeof(ConnectionRequest).
struct ConnectionRequest {
  uint32_t size = sizeof(ConnectionRequest);
  uint32_t params = 0;  // conn_params::
  uint32_t flags = 0;
  uint32_t priority = 0;
  int32_t exclusive = 0;
  int32_t disabled = 0;
  ConnGuid destination{};
  uintptr_t window = 0;  // told about status changes (not used by the stand-in)
  uint32_t message = 0;
  intptr_t lparam = 0;
  uint32_t max_cost = 0;
  uint32_t min_receive_bandwidth = 0;
  uint32_t max_connection_latency = 0;
};

using ConnectionHandle = uintptr_t;  // 0: none

// Asks for a link and waits up to `timeout_ms` for it. On success *handle gets
// the link; *status (when given) gets the link's status in every case.
KELDA_PLATFORM_API uint32_t establish_connection(const ConnectionRequest* request,
                                                 ConnectionHandle* handle, uint32_t timeout_ms,
                                                 uint32_t* status);
// The status of a link the caller holds.
KELDA_PLATFORM_API uint32_t connection_status(ConnectionHandle handle, uint32_t* status);
// Gives a link up (`cache`: the manager may keep it up a while for others).
KELDA_PLATFORM_API uint32_t release_connection(ConnectionHandle handle, bool cache);

// --- Test control -----------------------------------------------------------------
namespace connection_manager_test {
// What the next establish requests get.
enum class Outcome { connects, fails, pending };
// Back to the start: no links, every request connects, nothing recorded.
KELDA_PLATFORM_API void reset();
// `status` is what a failing request reports (conn_status::connection_failed
// when not given).
KELDA_PLATFORM_API void set_outcome(Outcome outcome, uint32_t status = conn_status::connection_failed);
// Ends the pending requests: `status` connected makes them succeed, any
// other makes them fail with it. Answers how many were pending.
KELDA_PLATFORM_API int finish_pending(uint32_t status);
// Changes the status of a link the manager holds (the link dropped, say).
KELDA_PLATFORM_API bool set_link_status(ConnectionHandle handle, uint32_t status);
// What was asked: each establish request with the time-out it was given.
struct Asked {
  ConnectionRequest request;
  uint32_t timeout_ms = 0;
};
KELDA_PLATFORM_API std::vector<Asked> requests();
// Links still held (not released), and how many requests wait.
KELDA_PLATFORM_API int open_links();
KELDA_PLATFORM_API int pending_requests();
}  // namespace connection_manager_test

}  // namespace kelda::platform
