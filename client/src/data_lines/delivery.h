// Handing a data line's bars to its subscribers' callbacks: to whom, which
// bars, and each subscriber's window. Under the library lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data_lines/data_lines.h"

namespace kelda::kelapi {

enum class BarsToDeliver { one, all, changed };

// Delivers to every started subscriber, or only to the subscriber `only_id`
// (started or not) when it is not 0. Delivering the changed bars to all
// clears every bar's changed mark; delivering one bar to all clears its mark.
void deliver(Library& lib, DataLine& line, BarsToDeliver which, std::size_t index = 0, int32_t only_id = 0);

// Removes the subscribers unregistered during a delivery, and lines left
// without any, once no delivery is under way.
void purge_removed(Library& lib);

// Frees a line whose last subscriber went: its minute booking and its
// share of the all-trades feed are released.
void release_line(Library& lib, DataLine& line);

}  // namespace kelda::kelapi
