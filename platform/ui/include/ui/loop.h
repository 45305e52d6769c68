// The user-interface thread and its message loop.
//
// One thread of the process is the user-interface thread: the thread that
// started the session of a backend (the Qt backend of a program with a screen,
// or the headless one of tests, see backend.h and testing.h). Its queue holds
// posted window messages and thread messages, first in first out; input,
// painting and timers are taken when the queue is empty (input first, then
// painting, then timers). Every loop below runs on that thread and feeds the
// same queue, so nested loops (modal dialogs, menus, waits) keep windows alive.
//
// Any thread may post to the queue and ask for work to be run on the
// user-interface thread. Without a user-interface thread, posting fails,
// run_on_ui_thread() answers false and the dialog service answers "cancelled".
//
// Errors set the platform's last error: error::invalid_thread_id when there is
// no user-interface thread, error::not_enough_quota for a full queue,
// error::cancelled for work that the end of the session dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/sync.h"
#include "platform/thread.h"
#include "ui/export.h"
#include "ui/types.h"

namespace kelda::ui {

KELDA_UI_API bool has_ui_thread();
KELDA_UI_API bool on_ui_thread();
// The platform thread id of the user-interface thread (0 when none).
KELDA_UI_API platform::ThreadId ui_thread_id();

// --- Loops ------------------------------------------------------------------------------
// Runs the main loop until post_quit_message(); answers the exit code.
KELDA_UI_API int run_message_loop();
// Posts wm::quit: the innermost loop that runs until a quit ends and passes it
// on to the loops around it.
KELDA_UI_API void post_quit_message(int exit_code);
// Runs a nested loop until done() answers true (checked after each message)
// or a quit arrives (then false, and the quit is kept for the outer loop).
KELDA_UI_API bool run_loop_until(const std::function<bool()>& done);
// Handles everything that is ready (queue, input, painting, due timers)
// without waiting.
KELDA_UI_API void process_pending();

// --- Thread messages and work for the user-interface thread ---------------------------
// Posts a thread message. To the user-interface thread it goes into the
// window queue (offered to the message filters and the active window's
// pre_translate_message); to any other thread, into that thread's platform
// queue. Payload ownership as with post_message().
KELDA_UI_API bool post_thread_message(platform::ThreadId thread, UINT msg, WPARAM wparam,
                                      LPARAM lparam,
                                      void (*release)(WPARAM, LPARAM) = nullptr);
// Runs `work` on the user-interface thread and waits for it (directly when
// called there). False when there is no user-interface thread or the session
// ended before the work ran.
KELDA_UI_API bool run_on_ui_thread(const std::function<void()>& work);

// A filter sees every message the loops take (input, posted, thread messages)
// before anything else; answering true consumes it. Filters run newest first.
using MessageFilter = std::function<bool(Message&)>;
class KELDA_UI_API MessageFilterToken {
 public:
  MessageFilterToken() = default;
  explicit MessageFilterToken(uint64_t id) : id_(id) {}
  MessageFilterToken(MessageFilterToken&& o) noexcept : id_(o.id_) { o.id_ = 0; }
  MessageFilterToken& operator=(MessageFilterToken&& o) noexcept;
  ~MessageFilterToken();

 private:
  uint64_t id_ = 0;
};
[[nodiscard]] KELDA_UI_API MessageFilterToken add_message_filter(MessageFilter filter);

// --- Waits that keep the loop running --------------------------------------------------------
// Waits like platform::wait_any(); on the user-interface thread the loop keeps
// running meanwhile (painting, input, timers, and the dialogs other threads
// ask for). Use it for every wait on the user-interface thread whose other
// side may need a dialog. Elsewhere it is platform::wait_any().
KELDA_UI_API platform::WaitResult wait_pumping(std::span<platform::Waitable* const> objects,
                                               uint32_t timeout_ms);

// --- Clock ------------------------------------------------------------------------------------
// Milliseconds of the session's clock (a manual clock in headless tests).
KELDA_UI_API uint64_t now_ms();

}  // namespace kelda::ui
