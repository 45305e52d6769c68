#include "server_double/server_double.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace kelda::server_double {

namespace {

using Clock = std::chrono::steady_clock;

uint32_t be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void put_magic(Bytes& out, const char* magic) { out.insert(out.end(), magic, magic + 4); }

}  // namespace

void put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void put32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

Bytes message_bytes(uint16_t id, std::span<const uint8_t> body, bool with_check_word) {
  Bytes out;
  put16(out, id);
  out.insert(out.end(), body.begin(), body.end());
  if (with_check_word) {
    out.push_back(0x61);
    out.push_back(0x29);
  }
  return out;
}

Message parse_message(std::span<const uint8_t> block) {
  Message m;
  if (block.size() < 2) return m;
  m.id = static_cast<uint16_t>((block[0] << 8) | block[1]);
  std::size_t end = block.size();
  if (block.size() >= 4 && block[end - 2] == 0x61 && block[end - 1] == 0x29) {
    m.has_check_word = true;
    end -= 2;
  }
  m.body.assign(block.begin() + 2, block.begin() + static_cast<std::ptrdiff_t>(end));
  return m;
}

// --- Session ---

Session::Session(int fd, uint32_t width) : fd_(fd), width_(width), buffer_(64 * 1024) {
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Session::~Session() {
  drop();
  stop_serving();
  int fd = fd_.exchange(-1);
  if (fd >= 0) ::close(fd);
}

bool Session::read_exact(std::span<uint8_t> out, int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::size_t done = 0;
  while (done < out.size()) {
    if (pos_ < end_) {
      std::size_t n = std::min(out.size() - done, end_ - pos_);
      std::memcpy(out.data() + done, buffer_.data() + pos_, n);
      pos_ += n;
      done += n;
      continue;
    }
    const int fd = fd_.load();
    if (fd < 0) return false;
    pos_ = end_ = 0;
    ssize_t n = ::recv(fd, buffer_.data(), buffer_.size(), 0);
    if (n > 0) {
      end_ = static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) {
      closed_.store(true);
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      closed_.store(true);
      return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 100)));
  }
  return true;
}

bool Session::write(std::span<const uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(write_mutex_);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const int fd = fd_.load();
    if (fd < 0) return false;
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
      continue;
    }
    return false;
  }
  return true;
}

void Session::write_locked(std::span<const uint8_t> bytes) { write(bytes); }

bool Session::wait_closed(int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (closed_.load()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    Received r = read_block(static_cast<int>(left.count()));
    if (r.kind == Kind::closed) return true;
    if (r.kind == Kind::timeout) return false;
  }
}

std::optional<uint32_t> Session::read_provider_request(int timeout_ms) {
  // marker, processing 1, "RSTA", request 1, provider id, "RFIN"
  std::vector<uint8_t> b(width_ + 20);
  if (!read_exact(b, timeout_ms)) return std::nullopt;
  const uint8_t* p = b.data() + width_;
  if (be32(p) != 1 || std::memcmp(p + 4, "RSTA", 4) != 0 || be32(p + 8) != 1 ||
      std::memcmp(p + 16, "RFIN", 4) != 0) {
    return std::nullopt;
  }
  for (uint32_t i = 0; i < width_; ++i) {
    if (b[i] != 0xFF) return std::nullopt;
  }
  return be32(p + 12);
}

void Session::answer_provider(uint32_t provider_id, bool accepted) {
  Bytes out(width_, 0xFF);
  put32(out, 1);
  put_magic(out, "ASTA");
  put32(out, 1);
  put32(out, provider_id);
  put32(out, accepted ? 1 : 0);
  put_magic(out, "AFIN");
  write(out);
}

std::optional<std::array<uint32_t, 3>> Session::read_locale_request(int timeout_ms) {
  std::vector<uint8_t> b(width_ + 28);
  if (!read_exact(b, timeout_ms)) return std::nullopt;
  const uint8_t* p = b.data() + width_;
  if (be32(p) != 1 || std::memcmp(p + 4, "RSTA", 4) != 0 || be32(p + 8) != 2 ||
      std::memcmp(p + 24, "RFIN", 4) != 0) {
    return std::nullopt;
  }
  return std::array<uint32_t, 3>{be32(p + 12), be32(p + 16), be32(p + 20)};
}

void Session::answer_locale(bool accepted) {
  Bytes out(width_, 0xFF);
  put32(out, 1);
  put_magic(out, "ASTA");
  put32(out, 2);
  put32(out, accepted ? 1 : 0);
  put_magic(out, "AFIN");
  write(out);
}

std::optional<uint16_t> Session::read_check_timeout(int timeout_ms) {
  uint8_t b[2];
  if (!read_exact(b, timeout_ms)) return std::nullopt;
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

std::optional<HandshakeResult> Session::handshake(const HandshakeScript& script) {
  HandshakeResult result;
  std::optional<uint32_t> provider = read_provider_request();
  if (!provider) return std::nullopt;
  result.provider_id = *provider;
  answer_provider(script.answered_provider_id.value_or(*provider), script.accept_provider);
  if (!script.accept_provider) return result;
  std::optional<std::array<uint32_t, 3>> locale = read_locale_request();
  if (!locale) return std::nullopt;
  result.locale = *locale;
  answer_locale(script.accept_locale);
  if (!script.accept_locale) return result;
  std::optional<uint16_t> timeout = read_check_timeout();
  if (!timeout) return std::nullopt;
  result.check_timeout = *timeout;
  if (script.key_exchange && !script.key_exchange(*this)) return std::nullopt;
  if (script.expect_layout_check) {
    std::optional<Message> check = read_message();
    if (!check || check->id != kLayoutCheck) return std::nullopt;
    result.layout_check = *check;
  }
  if (script.permissions) send_permissions(*script.permissions);
  return result;
}

Session::Received Session::read_block(int timeout_ms) {
  Received r;
  uint8_t prefix[4] = {};
  if (!read_exact({prefix, width_}, timeout_ms)) {
    r.kind = closed_.load() ? Kind::closed : Kind::timeout;
    return r;
  }
  uint32_t n = width_ == 2 ? static_cast<uint32_t>((prefix[0] << 8) | prefix[1]) : be32(prefix);
  if ((width_ == 2 && n == 0xFFFF) || (width_ == 4 && n == 0xFFFFFFFFu)) {
    r.kind = Kind::frame_marker;
    return r;
  }
  if (n == 0) {
    keep_alives_.fetch_add(1);
    r.kind = Kind::keep_alive;
    return r;
  }
  if (n > 16 * 1024 * 1024) {
    r.kind = Kind::closed;
    return r;
  }
  Bytes raw(n);
  if (!read_exact(raw, timeout_ms)) {
    r.kind = closed_.load() ? Kind::closed : Kind::timeout;
    return r;
  }
  r.kind = Kind::data;
  r.bytes = decrypt_ ? decrypt_(raw) : std::move(raw);
  return r;
}

std::optional<Bytes> Session::read_data_block(int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    Received r = read_block(static_cast<int>(left.count()));
    if (r.kind == Kind::keep_alive) continue;
    if (r.kind != Kind::data) return std::nullopt;
    return std::move(r.bytes);
  }
}

std::optional<Message> Session::read_message(int timeout_ms) {
  std::optional<Bytes> block = read_data_block(timeout_ms);
  if (!block) return std::nullopt;
  Message m = parse_message(*block);
  record(m);
  return m;
}

void Session::send_block(std::span<const uint8_t> bytes) {
  // A channel cipher runs on: blocks leave in the order they were enciphered.
  std::lock_guard<std::mutex> order(send_order_mutex_);
  Bytes data = encrypt_ ? encrypt_(bytes) : Bytes(bytes.begin(), bytes.end());
  Bytes out;
  if (width_ == 2) {
    put16(out, static_cast<uint16_t>(data.size()));
  } else {
    put32(out, static_cast<uint32_t>(data.size()));
  }
  out.insert(out.end(), data.begin(), data.end());
  write(out);
}

void Session::send_keep_alive() {
  Bytes out(width_, 0);
  write(out);
}

void Session::send_message(uint16_t id, std::span<const uint8_t> body, bool with_check_word) {
  send_block(message_bytes(id, body, with_check_word));
}

void Session::send_permissions(uint32_t permissions) {
  Bytes body;
  put32(body, permissions);
  send_message(kPermissions, body);
}

void Session::send_ping() { send_message(kPing, {}); }

void Session::send_server_frame(uint32_t processing, uint32_t answer_id, uint32_t code,
                                uint32_t size_field, std::span<const uint8_t> text,
                                std::string_view end_magic) {
  Bytes out(width_, 0xFF);
  put32(out, processing);
  put_magic(out, "ASTA");
  put32(out, answer_id);
  put32(out, code);
  put32(out, size_field);
  out.insert(out.end(), text.begin(), text.end());
  out.insert(out.end(), end_magic.begin(), end_magic.end());
  write(out);
}

void Session::send_error_frame(uint32_t code, std::string_view text) {
  Bytes t(text.begin(), text.end());
  t.push_back(0);
  send_server_frame(1, 3, code, static_cast<uint32_t>(t.size()), t);
}

void Session::send_info_frame(uint32_t code, std::string_view text) {
  Bytes t(text.begin(), text.end());
  t.push_back(0);
  send_server_frame(1, 4, code, static_cast<uint32_t>(t.size()), t);
}

void Session::drop() {
  // Shut down only: a serving thread may be inside recv() on the socket; the
  // descriptor is closed by the destructor once that thread has ended.
  int fd = fd_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  {
    std::lock_guard<std::mutex> lock(record_mutex_);
    closed_.store(true);
  }
  record_cv_.notify_all();
}

void Session::stall_sending(bool on) { stalled_.store(on); }

void Session::set_cipher(Transform encrypt, Transform decrypt) {
  encrypt_ = std::move(encrypt);
  decrypt_ = std::move(decrypt);
}

void Session::on(uint16_t id, Handler handler) { handlers_[id] = std::move(handler); }

void Session::record(const Message& m) {
  {
    std::lock_guard<std::mutex> lock(record_mutex_);
    recorded_.push_back(m);
  }
  record_cv_.notify_all();
}

void Session::serve() {
  if (serve_thread_.joinable()) return;
  serving_.store(true);
  serve_thread_ = std::thread([this] {
    while (serving_.load()) {
      Received r = read_block(100);
      if (r.kind == Kind::timeout || r.kind == Kind::keep_alive) continue;
      if (r.kind == Kind::closed) break;
      if (r.kind == Kind::frame_marker) break;  // clients send no frames in data mode
      Message m = parse_message(r.bytes);
      record(m);
      if (stalled_.load()) continue;
      auto it = handlers_.find(m.id);
      if (it != handlers_.end()) it->second(*this, m);
    }
    record_cv_.notify_all();
  });
}

void Session::stop_serving() {
  serving_.store(false);
  if (serve_thread_.joinable() && serve_thread_.get_id() != std::this_thread::get_id()) {
    serve_thread_.join();
  }
}

std::optional<Message> Session::wait_for(uint16_t id, int timeout_ms, std::size_t after) {
  std::unique_lock<std::mutex> lock(record_mutex_);
  std::optional<Message> found;
  record_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    std::size_t seen = 0;
    for (const Message& m : recorded_) {
      if (m.id == id && seen++ == after) {
        found = m;
        return true;
      }
    }
    return closed_.load();
  });
  return found;
}

std::vector<Message> Session::recorded() const {
  std::lock_guard<std::mutex> lock(record_mutex_);
  return recorded_;
}

// --- ServerDouble ---

ServerDouble::ServerDouble(uint16_t port, uint32_t width) : width_(width) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw std::runtime_error("server double: socket failed");
  int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(listen_fd_, 16) != 0) {
    ::close(listen_fd_);
    throw std::runtime_error("server double: cannot listen on the port");
  }
  socklen_t len = sizeof sa;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
}

ServerDouble::~ServerDouble() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

uint32_t ServerDouble::address() { return htonl(INADDR_LOOPBACK); }

std::unique_ptr<Session> ServerDouble::accept(int timeout_ms) {
  pollfd p{listen_fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return nullptr;
  int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<Session>(fd, width_);
}

}  // namespace kelda::server_double
