// Threads with numbered thread messages and cooperative stop.
//
// Every thread started here owns a message queue from its first instruction;
// any other thread gets one on its first ensure_message_queue(), get_message()
// or peek_message(). Messages are first in, first out; posting never blocks.
// Payload words are passed as they are: when a poster puts a pointer into a
// word, the documented receiver owns it from then on.
//
// No thread is ever killed. request_stop() sets the thread's stop event, which
// the thread's own waits must watch; join() with a time-out reports whether the
// thread ended, and a caller whose join timed out logs what still runs.
// All functions may be called from any thread; nothing here throws except
// Thread::start (std::system_error, std::bad_alloc).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/export.h"
#include "platform/sync.h"
#include "platform/win_types.h"

namespace kelda::platform {

using ThreadId = uint32_t;

inline constexpr uint32_t kQuitMessage = 0x0012;
// Largest number of messages a queue holds; a post beyond it fails.
inline constexpr std::size_t kMessageQueueLimit = 10000;

struct ThreadMessage {
  uint32_t message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};

// A process-unique, non-zero id of the calling thread (never reused).
KELDA_PLATFORM_API ThreadId current_thread_id() noexcept;

// Gives the calling thread a message queue if it has none.
KELDA_PLATFORM_API void ensure_message_queue();

// Appends a message to the queue of thread `target`. Returns false and sets the
// last error when the thread has no queue (error::invalid_thread_id, also after
// it ended) or its queue is full (error::not_enough_quota).
KELDA_PLATFORM_API bool post_thread_message(ThreadId target, uint32_t message, WPARAM wparam,
                                            LPARAM lparam) noexcept;

// A thread whose messages are taken by another loop (the user-interface
// thread) registers that loop's poster here; post_thread_message to that
// thread then goes through it. One such thread at a time; null removes it.
using ThreadMessageForwarder = bool (*)(ThreadId target, uint32_t message, WPARAM wparam,
                                        LPARAM lparam);
KELDA_PLATFORM_API void set_thread_message_forwarder(ThreadId thread,
                                                     ThreadMessageForwarder forwarder) noexcept;

// Posts kQuitMessage with the exit code to the calling thread's queue; it gets
// in even when the queue is full.
KELDA_PLATFORM_API void post_quit_message(int exit_code);

// Waits for the next message of the calling thread. Returns false when it is
// kQuitMessage (the message is still stored in `out`), true otherwise.
KELDA_PLATFORM_API bool get_message(ThreadMessage& out);

// Looks at the next message without waiting; removes it when `remove`.
KELDA_PLATFORM_API bool peek_message(ThreadMessage& out, bool remove);

// Waits until one of the objects is signalled or a message is in the calling
// thread's queue. A message gives status `message` (the message stays queued);
// signalled objects win over a message when both are ready.
KELDA_PLATFORM_API WaitResult wait_for_message_or(std::span<Waitable* const> objects,
                                                  uint32_t timeout_ms);

class ThreadState;

// A thread of the system. Waitable: signalled once its body has returned.
class KELDA_PLATFORM_API Thread final : public Waitable {
 public:
  using Body = std::function<uint32_t()>;

  // Starts `body` on a new thread named `name` (shown by debuggers, cut to 15
  // characters). The new thread's queue exists before start() returns.
  static std::unique_ptr<Thread> start(std::string name, Body body);

  struct Key {  // restricts construction to start()
   private:
    Key() = default;
    friend class Thread;
  };
  Thread(Key, std::string name, Body body);

  ~Thread() override;  // requests stop and waits for the thread to end

  ThreadId id() const noexcept;
  const std::string& name() const noexcept;

  // The manual-reset event set by request_stop().
  Event& stop_event() noexcept;
  void request_stop();
  bool stop_requested() const;

  // Waits up to the time-out for the thread to end; true when it ended.
  bool join(uint32_t timeout_ms);
  bool finished() const;
  std::optional<uint32_t> exit_code() const;

 private:
  bool is_signaled_for(std::thread::id) const override;
  void consume(std::thread::id) override {}

  std::shared_ptr<ThreadState> state_;
};

// The stop event of the calling thread when a Thread started it, else nullptr.
KELDA_PLATFORM_API Event* current_stop_event() noexcept;

// Suspends the calling thread. Not for tests' timing: tests inject clocks.
KELDA_PLATFORM_API void sleep_ms(uint32_t ms);

}  // namespace kelda::platform
