// The loopback trading-server double: a real TCP server on 127.0.0.1 that
// speaks the server side of the transport (negotiation answers, the raw
// check time-out, data blocks, permissions, pings, keep-alives, error and
// information frames) and records what the client sent.
//
// Its wire code is written independently of the client's transport and
// codec, from the protocol's byte layouts, so that it cannot mirror the
// client's own mistakes.
//
// Use: construct a ServerDouble (it listens at once), point the client at
// port(), accept() a Session and script it step by step, or run the whole
// negotiation with handshake() and then serve() in the background with
// handlers per message id.
// Threading: a Session's send functions may be called from any thread (they
// are serialised); its read functions from one thread at a time, and not
// while serve() runs. Every wait has a time-out; nothing here throws except
// std::bad_alloc and std::system_error from thread start.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kelda::server_double {

using Bytes = std::vector<uint8_t>;

inline constexpr int kDefaultTimeoutMs = 30000;  // an upper bound for slow sanitizer runs, never a delay

// Control message ids.
inline constexpr uint16_t kPing = 0xF001;
inline constexpr uint16_t kPong = 0xF002;
inline constexpr uint16_t kLayoutCheck = 0xF003;
inline constexpr uint16_t kPermissions = 0xF006;
inline constexpr uint16_t kLogout = 78;
inline constexpr uint16_t kAccessRefused = 0x4166;

// One application message as it travels in a data block.
struct Message {
  uint16_t id = 0;
  Bytes body;                 // between the id and the check word
  bool has_check_word = false;
};

// Builds the bytes of a message: id big-endian, body, check word when asked.
Bytes message_bytes(uint16_t id, std::span<const uint8_t> body, bool with_check_word = true);
// Splits a data block into a message (a block of 0 or 1 bytes gives id 0).
Message parse_message(std::span<const uint8_t> block);

// Big-endian builders for message bodies.
void put16(Bytes& out, uint16_t v);
void put32(Bytes& out, uint32_t v);

// What handshake() answers.
struct HandshakeScript {
  bool accept_provider = true;
  std::optional<uint32_t> answered_provider_id;  // default: the id the client sent
  bool accept_locale = true;
  // Runs the server's side of the key exchange (default: none, as with the
  // null cipher).
  std::function<bool(class Session&)> key_exchange;
  bool expect_layout_check = true;
  std::optional<uint32_t> permissions = 0;  // nothing sent when empty
};

struct HandshakeResult {
  uint32_t provider_id = 0;
  std::array<uint32_t, 3> locale{};
  uint16_t check_timeout = 0;
  Message layout_check;
};

class Session {
 public:
  explicit Session(int fd, uint32_t width = 2);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // --- raw bytes ---
  bool read_exact(std::span<uint8_t> out, int timeout_ms = kDefaultTimeoutMs);
  bool write(std::span<const uint8_t> bytes);
  // true when the client closed its side within the time-out.
  bool wait_closed(int timeout_ms = kDefaultTimeoutMs);

  // --- negotiation, server side ---
  std::optional<uint32_t> read_provider_request(int timeout_ms = kDefaultTimeoutMs);
  void answer_provider(uint32_t provider_id, bool accepted);
  std::optional<std::array<uint32_t, 3>> read_locale_request(int timeout_ms = kDefaultTimeoutMs);
  void answer_locale(bool accepted);
  std::optional<uint16_t> read_check_timeout(int timeout_ms = kDefaultTimeoutMs);
  std::optional<HandshakeResult> handshake(const HandshakeScript& script = {});

  // --- blocks ---
  enum class Kind { data, keep_alive, frame_marker, closed, timeout };
  struct Received {
    Kind kind = Kind::timeout;
    Bytes bytes;  // decrypted data
  };
  Received read_block(int timeout_ms = kDefaultTimeoutMs);
  // The next data block, skipping (and counting) keep-alives.
  std::optional<Bytes> read_data_block(int timeout_ms = kDefaultTimeoutMs);
  std::optional<Message> read_message(int timeout_ms = kDefaultTimeoutMs);
  int keep_alives() const { return keep_alives_.load(); }

  void send_block(std::span<const uint8_t> bytes);  // encrypted by the cipher hook
  void send_keep_alive();
  void send_message(uint16_t id, std::span<const uint8_t> body, bool with_check_word = true);
  void send_permissions(uint32_t permissions);
  void send_ping();
  void send_error_frame(uint32_t code, std::string_view text);
  void send_info_frame(uint32_t code, std::string_view text);
  // A server frame with every field chosen (malformed ones included).
  void send_server_frame(uint32_t processing, uint32_t answer_id, uint32_t code,
                         uint32_t size_field, std::span<const uint8_t> text,
                         std::string_view end_magic = "AFIN");

  // --- link ---
  void drop();                  // closes the connection now
  void stall_sending(bool on);  // serve() stops answering while on

  // --- the cipher of data blocks (identity by default, as the null cipher) ---
  using Transform = std::function<Bytes(std::span<const uint8_t>)>;
  void set_cipher(Transform encrypt, Transform decrypt);

  // --- background serving ---
  using Handler = std::function<void(Session&, const Message&)>;
  // Handler for a message id (set before serve()); pings from the client
  // side are never expected, pongs are recorded like any message.
  void on(uint16_t id, Handler handler);
  // Reads and records every message on a thread of its own until the link
  // closes or stop_serving().
  void serve();
  void stop_serving();
  // Waits until a message with this id has been recorded (after `after`
  // earlier ones with that id); returns it.
  std::optional<Message> wait_for(uint16_t id, int timeout_ms = kDefaultTimeoutMs,
                                  std::size_t after = 0);
  std::vector<Message> recorded() const;
  bool closed() const { return closed_.load(); }

 private:
  void write_locked(std::span<const uint8_t> bytes);
  void record(const Message& m);

  std::atomic<int> fd_;
  uint32_t width_;
  std::vector<uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::mutex write_mutex_;
  std::mutex send_order_mutex_;  // enciphering and writing of one block
  Transform encrypt_;
  Transform decrypt_;
  std::atomic<int> keep_alives_{0};
  std::atomic<bool> stalled_{false};
  std::atomic<bool> closed_{false};
  std::atomic<bool> serving_{false};
  std::thread serve_thread_;
  std::map<uint16_t, Handler> handlers_;
  mutable std::mutex record_mutex_;
  std::condition_variable record_cv_;
  std::vector<Message> recorded_;
};

class ServerDouble {
 public:
  // Listens on 127.0.0.1:port (0 picks a free port).
  explicit ServerDouble(uint16_t port = 0, uint32_t width = 2);
  ~ServerDouble();
  ServerDouble(const ServerDouble&) = delete;
  ServerDouble& operator=(const ServerDouble&) = delete;

  uint16_t port() const { return port_; }
  // 127.0.0.1 in network byte order, as connection parameters carry it.
  static uint32_t address();
  // The next client connection, or null after the time-out.
  std::unique_ptr<Session> accept(int timeout_ms = kDefaultTimeoutMs);

 private:
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  uint32_t width_;
};

}  // namespace kelda::server_double
