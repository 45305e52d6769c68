// Reading answer frames: the processing identifier, an encrypted body when
// there is one, the start magic, the answer id, payload words and the end
// magic. Fields come from the socket or from the decrypted body.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "connection.h"

namespace kelda::dtcp {

inline constexpr uint32_t kProcessingPlain = 1;
inline constexpr uint32_t kProcessingEncrypted = 2;

class Connection::AnswerReader {
 public:
  explicit AnswerReader(Connection& c) : c_(c) {}
  // kOk with the answer id, or a failure with its text.
  int header(int32_t& answer_id, std::string& error);
  // A 32-bit big-endian payload word; `what` opens the failure text.
  int word(uint32_t& value, const char* what, std::string& error);
  int bytes(std::span<uint8_t> out, const char* what, std::string& error);
  int trailer(std::string& error);
  uint32_t last_code() const { return code_; }

 private:
  int read(std::span<uint8_t> out);
  Connection& c_;
  bool encrypted_ = false;
  std::vector<uint8_t> body_;
  std::size_t pos_ = 0;
  uint32_t code_ = 0;
};

inline uint32_t load_be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline void store_be32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace kelda::dtcp
