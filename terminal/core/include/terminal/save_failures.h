// Failed writes of the user's files: the settings file, the layout files,
// the server list and the log.
//
// Every failure is written to the standard error stream; the user is told
// once per file and run in a message box (caption "Error", error icon, OK)
// that names the file and the system's reason, shown through the dialog
// service (ui/services.h) on the user-interface thread. A failure met off
// that thread, or while the session has no user-interface thread, goes to
// the standard error stream only, and the file's box waits for a later
// failure on the user-interface thread. A failure met while the box is open
// is not boxed again. Nothing here writes to the log (the log itself may be
// what failed).
//
// Threading: any thread; the unit's state is guarded by its own mutex, which
// is never held while the box is open. Errors: nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelda::terminal {

// The text of a failed write of `path` with the system error code
// `system_error` (platform::get_last_error() form):
//   Can not write data to "<path>":
//   '<the system's text>'
// and, for access denied, a third line "Probably file has attribute 'read
// only' or is in use by other program".
std::string save_failure_text(const std::string& path, uint32_t system_error);

// Reports a failed write of `path` as described above.
void report_save_failure(const std::string& path, uint32_t system_error);

// Rewrites the user's file `path` whole (kit::write_whole_file); a failure is
// reported and answered false.
bool write_user_file(const std::string& path, std::string_view bytes);

// Failures reported in this run; a save that spans several writes compares
// it before and after to tell whether everything went through.
uint64_t save_failure_count();

// Forgets which files the user was told of (tests).
void reset_save_failures();

}  // namespace kelda::terminal
