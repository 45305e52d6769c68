#include "frames.h"

#include <cstring>

#include "texts.h"

namespace kelda::dtcp {

namespace {

std::string four_chars(const uint8_t* b) {
  return format("\"%c%c%c%c\"", b[0], b[1], b[2], b[3]);
}

}  // namespace

int Connection::read_block_length(int64_t& length, uint32_t& code) {
  uint8_t b[4] = {};
  int r = link.recv_exact({b, width}, code);
  if (r != kOk) return r;
  if (width == 2) {
    uint32_t v = (uint32_t{b[0]} << 8) | b[1];
    length = v == 0xFFFF ? -1 : static_cast<int64_t>(v);
  } else {
    uint32_t v = load_be32(b);
    length = v == 0xFFFFFFFFu ? -1 : static_cast<int64_t>(static_cast<int32_t>(v));
  }
  return kOk;
}

int Connection::read_block(std::vector<uint8_t>& buffer, int64_t& length, std::string& error) {
  uint32_t code = 0;
  int r = read_block_length(length, code);
  if (r != kOk) {
    error = "Can't get message size from net";
    return r;
  }
  if (length == -1 || length == 0) return kOk;
  // A length the connection cannot hold is refused before anything is
  // allocated (4-byte prefixes could ask for gigabytes).
  if (length < 0 || length > static_cast<int64_t>(kMaxBlock)) {
    error = format("Wrong data size was received: %d", static_cast<int32_t>(length));
    return kApplicationError;
  }
  if (buffer.size() < static_cast<std::size_t>(length)) buffer.resize(static_cast<std::size_t>(length));
  r = link.recv_exact({buffer.data(), static_cast<std::size_t>(length)}, code);
  if (r != kOk) {
    error = "Can't get data from net";
    return r;
  }
  return kOk;
}

int Connection::write_block_length(uint32_t n, uint32_t& code) {
  uint8_t b[4];
  if (width == 2) {
    b[0] = static_cast<uint8_t>(n >> 8);
    b[1] = static_cast<uint8_t>(n);
  } else {
    store_be32(b, n);
  }
  return link.send_all({b, width}, code);
}

int Connection::write_request(uint32_t request_id, std::span<const uint32_t> payload,
                              std::string& error) {
  std::vector<uint8_t> frame(width, 0xFF);
  auto put = [&frame](uint32_t v) {
    uint8_t b[4];
    store_be32(b, v);
    frame.insert(frame.end(), b, b + 4);
  };
  put(kProcessingPlain);
  frame.insert(frame.end(), {'R', 'S', 'T', 'A'});
  put(request_id);
  for (uint32_t v : payload) put(v);
  frame.insert(frame.end(), {'R', 'F', 'I', 'N'});
  uint32_t code = 0;
  std::lock_guard<std::mutex> lock(send_mutex);
  int r = link.send_all(frame, code);
  if (r != kOk) error = format("Can't send request %u to server", request_id);
  return r;
}

int Connection::AnswerReader::read(std::span<uint8_t> out) {
  if (!encrypted_) return c_.link.recv_exact(out, code_);
  if (body_.size() - pos_ < out.size()) return kApplicationError;
  std::memcpy(out.data(), body_.data() + pos_, out.size());
  pos_ += out.size();
  return kOk;
}

int Connection::AnswerReader::word(uint32_t& value, const char* what, std::string& error) {
  uint8_t b[4];
  int r = read(b);
  if (r != kOk) {
    error = encrypted_ && r == kApplicationError ? "Wrong size for request answer was received"
                                                  : what;
    return r;
  }
  value = load_be32(b);
  return kOk;
}

int Connection::AnswerReader::bytes(std::span<uint8_t> out, const char* what,
                                    std::string& error) {
  int r = read(out);
  if (r != kOk) {
    error = encrypted_ && r == kApplicationError ? "Wrong size for request answer was received"
                                                  : what;
  }
  return r;
}

int Connection::AnswerReader::header(int32_t& answer_id, std::string& error) {
  uint8_t b[4];
  int r = c_.link.recv_exact(b, code_);
  if (r != kOk) {
    error = "Read request answer: Wait for request answer processing identifier";
    return r;
  }
  uint32_t processing = load_be32(b);
  if (processing != kProcessingPlain && processing != kProcessingEncrypted) {
    error = format("Read request answer: Wait for request answer processing identifier but "
                   "received wrong value - %ld",
                   static_cast<long>(static_cast<int32_t>(processing)));
    return kApplicationError;
  }
  if (processing == kProcessingEncrypted) {
    int64_t size = 0;
    r = c_.read_block_length(size, code_);
    if (r != kOk) {
      error = "Read request answer: Wait for request answer encrypted size ";
      return r;
    }
    if (size <= 0 || size > static_cast<int64_t>(kMaxBlock)) {
      error = format("Read request answer: Wait for request answer encrypted size but received "
                     "wrong value - %ld",
                     static_cast<long>(size));
      return kApplicationError;
    }
    std::vector<uint8_t> cipher;
    try {
      cipher.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
      error = "Read request answer: Memory allocation error.";
      return kSystemError;
    }
    r = c_.link.recv_exact(cipher, code_);
    if (r != kOk) {
      error = "Read request answer: Read encrypted request answer body ";
      return r;
    }
    std::string crypto_error;
    if (!crypto_port().decrypt(c_.crypto, cipher, body_, crypto_error)) {
      error = crypto_error;
      return kCryptoError;
    }
    encrypted_ = true;
    pos_ = 0;
  }
  r = bytes(b, "Read request answer: Wait for ZN_START_REQUEST_ANSWER_MAGIC ", error);
  if (r != kOk) return r;
  if (std::memcmp(b, "ASTA", 4) != 0) {
    error = "Read request answer: Wait for ZN_START_REQUEST_ANSWER_MAGIC, but received wrong "
            "value - " + four_chars(b);
    return kApplicationError;
  }
  uint32_t id = 0;
  r = word(id, "Read request answer: Wait for request answer identifier ", error);
  if (r != kOk) return r;
  answer_id = static_cast<int32_t>(id);
  return kOk;
}

int Connection::AnswerReader::trailer(std::string& error) {
  uint8_t b[4];
  int r = bytes(b, "Read request answer: Wait for ZN_END_REQUEST_ANSWER_MAGIC ", error);
  if (r != kOk) return r;
  if (std::memcmp(b, "AFIN", 4) != 0) {
    error = "Read request answer: Wait for ZN_END_REQUEST_ANSWER_MAGIC but wrong data was "
            "received from server - " + four_chars(b) + ".";
    return kApplicationError;
  }
  if (encrypted_ && pos_ != body_.size()) {
    error = "Wrong size for request answer was received";
    return kApplicationError;
  }
  return kOk;
}

int Connection::read_server_message(int32_t& answer_id, std::string& error,
                                    std::unique_lock<std::mutex>* reading) {
  AnswerReader reader(*this);
  int r = reader.header(answer_id, error);
  if (r != kOk) return r;
  if (answer_id != 3 && answer_id != 4) {
    error = format("Read request answer: Wait for request answer identifier but wrong value "
                   "received - %ld",
                   static_cast<long>(answer_id));
    return kApplicationError;
  }
  const bool is_error = answer_id == 3;
  last_server_text.clear();
  uint32_t code = 0;
  uint32_t size = 0;
  r = reader.word(code, is_error ? "Read error message: Wait for error message code "
                                 : "Read message info: Wait for message code ",
                  error);
  if (r != kOk) return r;
  r = reader.word(size, is_error ? "Read error message: Wait for error message size "
                                 : "Read message info: Wait for message size ",
                  error);
  if (r != kOk) return r;
  const int32_t text_size = static_cast<int32_t>(size);
  if (text_size > static_cast<int32_t>(kMaxServerText)) {
    // The peer's size is never trusted for an allocation.
    error = format(is_error ? "Read error message: Wait for error message size but received "
                              "wrong value - %ld"
                            : "Read message info: Wait for message size but received wrong "
                              "value - %ld",
                   static_cast<long>(text_size));
    return kApplicationError;
  }
  if (text_size > 0) {
    std::vector<char> text(static_cast<std::size_t>(text_size) + 1, '\0');
    r = reader.bytes({reinterpret_cast<uint8_t*>(text.data()), static_cast<std::size_t>(text_size)},
                     is_error ? "Read error message: Wait for error message text "
                              : "Read message info: Wait for message text ",
                     error);
    if (r != kOk) return r;
    text[static_cast<std::size_t>(text_size) - 1] = '\0';
    last_server_text = text.data();
    int32_t result = ZN_KEEP_BLOCK;
    int32_t event_code = static_cast<int32_t>(code);
    if (reading != nullptr) reading->unlock();
    int32_t answer = raise(is_error ? ZN_TCP_EVENT_SERVER_ERROR : ZN_TCP_EVENT_SERVER_INFO,
                           &result, &event_code, text.data(), size + 1);
    if (reading != nullptr) reading->lock();
    if (answer < 0) {
      error = is_error ? "Read error message: When notify about receiving error message from "
                         "server, TCP callback return negative value."
                       : "Read message info: When notify about receiving error message from "
                         "server, TCP callback return negative value.";
      return kApplicationError;
    }
    if (is_error && result == ZN_KEEP_BLOCK) record_server_error(event_code, text.data());
  }
  return reader.trailer(error);
}

}  // namespace kelda::dtcp
