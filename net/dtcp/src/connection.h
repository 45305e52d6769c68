// One transport connection: its settings, socket, crypto session, queues,
// threads, flags and last error.
//
// Lifetime: owned by shared pointers. The library's list holds one until the
// connection is freed (event 4); every exported call that uses a handle holds
// another for its duration, and each thread of the connection holds one while
// it runs, so the object outlives its last user.
// Threading: flags are atomics; the send queue and every direct write are
// guarded by the send mutex, the last error by the error mutex. Received
// blocks wait in the receive queue (receive_queue.h) until a taker copies
// its block out on its own thread, where the caller also frees it. No lock
// is held while the event callback runs.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "crypto_port.h"
#include "platform/thread.h"
#include "receive_queue.h"
#include "socket_io.h"
#include "zn_dtcp/zn_dtcp.h"

namespace kelda::dtcp {

// Largest text of a server error or information frame that is accepted.
inline constexpr uint32_t kMaxServerText = 64 * 1024;
// Largest data block with 4-byte prefixes, and largest encrypted answer body.
inline constexpr uint32_t kMaxBlock = 1024 * 1024;
// Stored but untaken bytes above which the receive thread stops reading the
// socket until the caller has taken enough (TCP then slows the peer down).
inline constexpr std::size_t kReceiveBound = 16 * 1024 * 1024;
// What the send queue may hold: the encrypted bytes of its blocks plus a
// fixed cost per block (its node and allocation), so that a flood of tiny
// blocks is bounded as well as a few large ones. A block is queued while the
// queue holds less than the bound.
inline constexpr std::size_t kSendBound = 4 * 1024 * 1024;
inline constexpr std::size_t kSendBlockCost = 64;
// How long a send waits for room in a full send queue before it fails.
inline constexpr uint32_t kSendWaitMs = 10000;

// A failure of a call on a connection: its class (or socket result), its
// text for the caller and the last error, and the system error code.
struct Failure {
  int32_t error_class = 0;
  std::string text;
  uint32_t system_code = 0;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection();
  ~Connection();

  // --- identity and settings (written before the connection thread starts) ---
  uint32_t number = 0;
  std::string name;
  Locale locale;
  uintptr_t owner = 0;
  uint32_t width = 2;
  uint32_t handshake_mode = 1;
  std::string settings_ini;
  zn_conn_params params{};
  zn_proxy_params proxy{};
  bool has_proxy = false;
  zn_crypto_params crypto_params{};
  CryptoSession crypto;
  std::atomic<int32_t> packets_size{8192};
  std::atomic<int32_t> packets_tmo{0};
  std::atomic<uint32_t> receive_threshold{100};
  zn_tcp_event_callback callback = nullptr;
  uintptr_t user_data = 0;

  Link link;

  // --- flags (read on every call: kept off the lines the threads write) ---
  alignas(64) std::atomic<bool> connected{false};
  std::atomic<bool> send_allowed{false};
  std::atomic<bool> receive_allowed{false};
  std::atomic<bool> data_mode{false};
  std::atomic<bool> disconnecting{false};
  std::atomic<bool> graceful{false};
  std::atomic<bool> stop_sending{false};
  std::atomic<bool> stop_receiving{false};
  std::atomic<bool> protect_switch_pending{false};
  std::atomic<bool> key_exchange_started{false};  // zn_tcp_handshake runs once
  std::atomic<bool> freed{false};

  // --- event callback ---
  // Raises an event; returns the callback's answer (0 when none is set).
  int32_t raise(int32_t event, int32_t* result, void* event_data, const void* block,
                uint32_t size);

  // --- last error ---
  void record_error(int32_t error_class, uint32_t system_code, const std::string& text);
  // The failure of a call: its text into `error`, recorded as the last
  // error; answers 0 (false), the call's failure.
  int fail(std::string& error, Failure failure);
  // A failure on the connection's own threads that ends the link: recorded,
  // then the stop starts; answers the failure's class.
  int end_link(Failure failure);
  // A server error frame: its code and text become the last error as they are.
  void record_server_error(int32_t code, const std::string& text);
  void clear_error();
  int32_t error_class();
  std::string error_text(uint32_t* system_code = nullptr);

  // The longest block a length prefix of the connection's width can announce
  // (its all-ones value is the frame marker).
  std::size_t largest_block() const { return width == 2 ? 0xFFFEu : 0xFFFFFFFEu; }

  // --- sending (zn_tcp_send) ---
  // 1 when written or queued; 0 with `error` set. While the send queue is
  // full a send from the receive thread is refused at once and any other
  // waits up to send_wait_ms for room (ZN_TCP_TEXT_SEND_QUEUE_FULL); a
  // lower limit set meanwhile shortens a wait that is under way.
  int send(std::span<const uint8_t> bytes, std::string& error);
  uint32_t queued_send_count() const { return send_count_.load(); }
  // What the send queue holds, counted as the bound counts it.
  std::size_t queued_send_cost() const { return send_cost_.load(); }
  // Sends now waiting for room in the queue (tests wait on it).
  uint32_t sends_waiting_for_room() const { return sends_waiting_.load(); }
  // The bound and the wait (tests lower them).
  std::atomic<std::size_t> send_bound{kSendBound};
  std::atomic<uint32_t> send_wait_ms{kSendWaitMs};

  // --- receiving (zn_tcp_recv) ---
  // 1 with a block or none (empty queue); 0 with `error` (maybe empty) on failure.
  int receive(Block& out, std::string& error);
  // Blocks and bytes stored and not yet taken.
  std::size_t queued_receive_blocks() const { return received_.blocks(); }
  std::size_t queued_receive_bytes() const { return received_.bytes(); }
  // The stored bytes above which reading pauses (tests lower it).
  std::atomic<std::size_t> receive_bound{kReceiveBound};
  // true while the receive thread holds off reading because of the bound.
  bool receive_paused() const { return receive_paused_.load(); }

  // --- the connection's threads ---
  void start_connection_thread();        // throws on failure
  bool handshake(const uintptr_t words[4], std::string& error);  // key exchange, data mode, threads
  uint32_t connection_thread_main();
  uint32_t send_thread_main();
  uint32_t receive_thread_main();
  // One step of the receive loop: reads and handles one block. kOk to go on;
  // anything else ends the loop (the error is already recorded).
  int receive_one();
  // Raises event 6 for each block stored and not yet announced, in order
  // (receive thread). kOk, or the failure that ended the link.
  int announce_stored();

  // --- settings of a live connection ---
  // Arms the switch of the cipher's protect flags (only the built-in
  // provider has them): the next send makes it, right after that message is
  // encrypted and before it can reach the socket.
  void arm_protect_switch();
  // zn_tcp_set_connection_param: parameter 8 is the receive-queue threshold,
  // 9 the send wait (send_wait_ms); any other is refused with its text.
  bool set_param(uint32_t number, uintptr_t value, std::string& error);

  // --- closing ---
  // zn_tcp_disconnect: a stop the caller asks for is graceful unless a stop
  // already runs.
  bool request_disconnect(bool synchronous, std::string& error);
  // Starts the stop once (synchronous: on this thread). false with `error`
  // when the disconnecting thread could not be started.
  bool start_disconnect(bool synchronous, std::string& error);
  // Stop without events (library end).
  void stop_quietly();
  // Frees the crypto session and hands the threads to the library.
  void release_resources();

  // --- frames (frames.cpp) ---
  int read_block_length(int64_t& length, uint32_t& code);
  // Reads one block into `buffer`: length >= 0, or -1 for a frame marker.
  int read_block(std::vector<uint8_t>& buffer, int64_t& length, std::string& error);
  int write_block_length(uint32_t n, uint32_t& code);
  int write_request(uint32_t request_id, std::span<const uint32_t> payload, std::string& error);
  // Reads a server message frame (after a marker) and raises event 9 or 10.
  // `answer_id` gives 3 or 4 on success. `reading`, when given, is the
  // caller's hold on the receive mutex: it is let go while the event runs, so
  // that the upper layer may call back into the connection (a disconnect).
  int read_server_message(int32_t& answer_id, std::string& error,
                          std::unique_lock<std::mutex>* reading = nullptr);
  std::string last_server_text;  // of the last server message read (reading thread)

  // Reads an answer frame header: processing identifier, (encrypted body),
  // start magic and answer id.
  class AnswerReader;

  alignas(64) std::mutex send_mutex;
  std::condition_variable send_cv;
  std::deque<std::vector<uint8_t>> send_queue;
  std::atomic<uint32_t> send_count_{0};
  std::atomic<uint32_t> sends_waiting_{0};
  std::atomic<std::size_t> send_cost_{0};  // written under the send mutex
  std::atomic<int32_t> keep_alive_requests{0};
  bool send_in_flight = false;  // the send thread writes what it took (send mutex)
  std::vector<uint8_t> encrypt_buffer;

  alignas(64) std::mutex receive_mutex;  // reading the socket outside data mode
  std::vector<uint32_t> unannounced_;  // sizes of blocks stored in this burst (receive thread)
  std::vector<uint8_t> decrypt_buffer;
  std::vector<uint8_t> read_buffer;

 private:
  ReceiveQueue received_;  // blocks stored in data mode, not yet taken
  std::atomic<bool> receive_paused_{false};

  // Under the send mutex: waits while the send queue is full (not on the
  // receive thread). false with `error` when there is no room or the link
  // stops meanwhile.
  bool wait_for_send_room(std::unique_lock<std::mutex>& lock, std::string& error);
  // Empties the send queue and gives its memory back (the stop).
  void clear_send_queue();
  void run_stop();           // the stop procedure and events 3 and 4
  void stop_io();            // sets both stop events and wakes every wait
  uint32_t run_stop_thread();
  void start_data_threads();  // send, then receive thread; throws on failure
  bool receive_thread_missing();
  void stop_threads();       // cooperative end of the connection's threads
  bool is_own_thread(const std::unique_ptr<platform::Thread>& t) const;
  std::unique_ptr<platform::Thread> spawn(const char* name, uint32_t (Connection::*body)());

  // Under the error mutex: once the link has begun to close with an error
  // recorded, that error is its cause and later failures (consequences of
  // the closing) do not replace it.
  bool keeps_first_cause() const KELDA_REQUIRES(error_mutex_) {
    // A cause without a text (a server error frame with an empty text) names
    // nothing, so a later failure that has one still takes its place.
    return disconnecting.load() && error_class_ != -1 && !error_text_.empty();
  }
  // true on this connection's receive thread.
  bool on_receive_thread() const;

  AnnotatedMutex error_mutex_;
  int32_t error_class_ KELDA_GUARDED_BY(error_mutex_) = -1;
  uint32_t system_code_ KELDA_GUARDED_BY(error_mutex_) = 0;
  std::string error_text_ KELDA_GUARDED_BY(error_mutex_);

  std::mutex threads_mutex_;
  std::unique_ptr<platform::Thread> connection_thread_;
  std::unique_ptr<platform::Thread> send_thread_;
  std::unique_ptr<platform::Thread> receive_thread_;
  std::unique_ptr<platform::Thread> disconnect_thread_;
};

}  // namespace kelda::dtcp
