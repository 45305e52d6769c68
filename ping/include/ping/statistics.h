// The summary printed when a run of echo requests stops.
//
// Pure functions: any thread. No exceptions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelda::ping {

// One entry per request of a run: the round-trip time in milliseconds, or -1.
using RoundTrips = std::vector<std::int32_t>;

// Truncates toward zero, then adds 1 when the dropped fraction is at least 0.5.
int round_half_up(double value);

// The statistics text (starting with a line end), or empty when the run holds
// fewer than 5 requests.
std::u16string statistics_text(const RoundTrips& round_trips);

}  // namespace kelda::ping
