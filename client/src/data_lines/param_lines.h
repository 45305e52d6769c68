// Parameter lines: data lines built from the changes of one current-value
// parameter of a security (its value records in the value store), on top of
// the parameter's bar archive for periods other than 0.
//
// A line's bars are rebuilt whole from its history (the archive bars it
// took) and every value record of the store, so a refill never counts a
// record twice; only bars that differ from the old ones are marked changed.
// A new record is added to the bars of each ready line of its security.
//
// Everything runs under the library lock (see data_lines.h). Allocation
// failure throws std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>

#include "data_lines/data_lines.h"

namespace kelda::kelapi {

// Whether the class of the line's security still carries its parameter.
bool param_line_usable(const Library& lib, const DataLine& line);

// Takes the archive's bars of the line's series into its history (merging
// when it has some) and rebuilds the bars from the history and the store.
void fill_param_line(Library& lib, DataLine& line);

// ---- events from the value store (lock held) ----
// A value entry above every earlier one: each ready parameter line of the
// entry's security is offered it; a bar added or changed is delivered.
void feed_param_lines(Library& lib, std::span<const uint8_t> entry);
// The current values of a class were refreshed: its securities' parameter
// lines are refilled and what changed is delivered.
void refill_param_lines_of_class(Library& lib, int32_t class_index);
// A parameter history of a security and slot arrived: its parameter lines
// are refilled and what changed is delivered.
void refill_param_lines(Library& lib, int32_t security, int32_t slot);
// A confirmation of the class's values: its parameter lines that may now be
// built are (and deliver what changed).
void refresh_param_lines_of_class(Library& lib, int32_t class_index);

}  // namespace kelda::kelapi
