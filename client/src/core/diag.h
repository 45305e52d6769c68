// Diagnostics of the client library.
//
// The library writes no log: its diagnostic texts go to a sink that discards
// them. Tests install a sink of their own to see what the library reports.
// Threading: report() may be called from any thread; set_diag_sink() is for
// test set-up, not for use while the library's threads run. Never throws.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

namespace kelda::kelapi {

using DiagSink = std::function<void(std::string_view text)>;

// Replaces the sink; an empty one discards (the default). Returns the old one.
DiagSink set_diag_sink(DiagSink sink);

// Formats a diagnostic text (printf rules) and hands it to the sink.
void diag(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kelda::kelapi
