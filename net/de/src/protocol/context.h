// One protocol connection (zn_connection) and the library's state.
//
// Lifetime: shared pointers. The library's list holds one until the
// transport's freeing event; the transport event handler and every exported
// call that uses a handle hold another for their duration, so a context is
// never freed under a thread that still uses it. The library mutex guards the
// list and the counter; it is never held while the caller's callback, a
// MessageHandler or the transport's connect (which may show a provider's
// dialog) runs.
//
// Set-up: zn_connect_ex lists a new context before it asks the transport for
// the link, and publishes it (transport handle, byte counters, connecting
// flag) after. Until then the context's set-up gate is closed: a handle lookup
// that finds it, the transport's first events included, waits at the gate and
// gets the context only once it is published.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "zn_de/codec.h"
#include "zn_de/zn_de.h"

namespace kelda::de {

inline constexpr std::size_t kMaxErrorText = 1023;

class Context {
 public:
  std::string name;
  uint32_t number = 0;
  uint16_t language = 0x09;
  uint16_t sub_language = 0x01;
  uint16_t dialect = 0x01;
  uintptr_t owner = 0;
  uint16_t check_timeout = 0;
  zn_statistics stats{};
  std::vector<MessageHandlerEntry> handlers;  // sorted by id
  std::optional<LayoutRegistry> registry;
  std::atomic<uint32_t> translation{0};
  std::atomic<zn_tcp_connection*> transport{nullptr};
  // Set when the library lets the context go (freeing event, library's end).
  std::atomic<bool> released{false};
  zn_event_callback callback = nullptr;
  uintptr_t user_data = 0;

  std::atomic<int32_t> up{0};
  std::atomic<int32_t> connecting{0};
  std::atomic<int32_t> permitted{0};
  std::atomic<uint32_t> permissions{0};

  // set_connection_error: class -1 clears (and forgets a link failure); -6
  // records nothing. Once the link has failed, its cause stays recorded and
  // later errors (consequences of the failure) do not replace it.
  void set_error(int32_t error_class, const std::string& text);
  // Records the failure that ends the link as its cause (unless a cause is
  // already recorded); -1, the answer that makes the transport close it.
  int32_t fail_link(int32_t error_class, const std::string& text);
  // The transport closed the link. Without a cause recorded here, the cause
  // is the transport's (or there is none): an earlier call's error is not
  // it, and later errors are consequences.
  void link_closed();
  int32_t error_class();
  std::string error_text();

  int32_t raise(int32_t event, int32_t* result, void* event_data, uint32_t id, const void* data,
                uint32_t size);
  void count(uint32_t& counter, uint32_t n) {
    std::atomic_ref<uint32_t>(counter).fetch_add(n, std::memory_order_relaxed);
  }
  const MessageHandlerEntry* find_handler(uint32_t id) const;

  // The set-up gate. wait_set_up() returns once the set-up has ended: true
  // when the context was published, false when the set-up failed or the
  // library's end freed the context meanwhile.
  bool wait_set_up();
  void end_set_up(bool published);

 private:
  enum class SetUp { running, published, abandoned };
  std::mutex set_up_mutex_;
  std::condition_variable set_up_cv_;
  SetUp set_up_ = SetUp::running;

  void record_locked(int32_t error_class, const std::string& text);

  std::mutex error_mutex_;
  int32_t error_class_ = -1;
  uint32_t system_code_ = 0;
  std::string error_text_;
  bool link_failed_ = false;  // the recorded error is the link's failure cause
};

// true when a refusal of the transport only says that the link is closing:
// a consequence of the link's end, never its cause.
bool refused_by_closing_link(const char* transport_text);

struct Library {
  std::shared_mutex mutex;  // shared by handle lookups
  bool initialized = false;
  std::string ini_path;
  std::string further_text;
  uintptr_t owner = 0;
  const MessageLayoutEntry* default_registry = nullptr;
  const MessageHandlerEntry* default_handlers = nullptr;
  std::map<const void*, std::shared_ptr<Context>> contexts;
  uint32_t counter = 0;
};

Library& library();

inline zn_connection* handle_of(const Context* c) {
  return reinterpret_cast<zn_connection*>(const_cast<Context*>(c));
}
// The live context of a handle, or null (with the refusal text). A context
// still being set up is waited for (outside the library mutex).
std::shared_ptr<Context> find_context(const void* handle, std::string& error);
void unlink_context(const Context* c);

// printf into a string; message-table texts of the protocol library.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void copy_out(char* buffer, uint32_t size, const std::string& text);
std::string crypto_failure_text(const Context& c, const std::string& transport_text);
std::string access_refused_text(const Context& c);

// What zn_connect_ex is given.
struct ConnectRequest {
  const MessageHandlerEntry* handlers = nullptr;
  const MessageLayoutEntry* registry = nullptr;
  const char* name = nullptr;
  const zn_crypto_params* crypto = nullptr;
  uint16_t language = 0;
  uint16_t sub_language = 0;
  uint16_t dialect = 0;
  uintptr_t owner = 0;
  const zn_conn_setup* setup = nullptr;
  zn_event_callback callback = nullptr;
  uintptr_t user_data = 0;
};

// Sets up a protocol connection (connect.cpp): the caller's parameters, the
// context with its handlers and layouts, the transport's link, and the
// context's publication. The context, or null with the text in `error`;
// `out_number` (when given) gets the connection's number once it has one.
std::shared_ptr<Context> open_connection(const ConnectRequest& request, uint32_t* out_number,
                                         std::string& error);

// The transport's event callback.
int32_t transport_event_handler(uintptr_t user_data, int32_t event, int32_t* result,
                                void* event_data, const void* block, uint32_t size);

// Packs and sends one message (with the check word unless it is the layout
// check); 1, or 0 with the text in `error` and recorded.
int send_message(Context& c, uint32_t id, const void* record, std::string& error);
// Takes one stored block and runs its handler.
int receive_message(Context& c, std::string& error);

}  // namespace kelda::de
