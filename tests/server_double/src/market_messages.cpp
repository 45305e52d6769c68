#include "server_double/market_messages.h"

#include <cstring>

namespace kelda::server_double::market {

void put64(Bytes& b, uint64_t v) {
  put32(b, static_cast<uint32_t>(v >> 32));
  put32(b, static_cast<uint32_t>(v));
}

void put_double(Bytes& b, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  put64(b, bits);
}

void put_text(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

int32_t get32(const Bytes& b, std::size_t at) {
  if (b.size() < at + 4) return 0;
  return static_cast<int32_t>((uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
                              b[at + 3]);
}

Bytes word32(int32_t v) {
  Bytes b;
  put32(b, static_cast<uint32_t>(v));
  return b;
}

Bytes session_info(int32_t id, const std::string& server, const std::string& session) {
  Bytes b;
  put32(b, static_cast<uint32_t>(id));
  put_text(b, server);
  put_text(b, "Trading");
  put_text(b, "CODE");
  put_text(b, session);
  put32(b, 0);
  put32(b, 0);
  return b;
}

Bytes trading_session(const std::string& key, uint32_t date) {
  Bytes b;
  put_text(b, key);
  put32(b, 0);
  put32(b, date);
  return b;
}

Bytes class_description(int32_t server_id, const std::string& code, const std::string& name,
                        const std::string& firm, uint32_t flags) {
  Bytes b;
  put32(b, static_cast<uint32_t>(server_id));
  put_text(b, code);
  put_text(b, name);
  put32(b, flags);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0x800);  // table flags
  put_text(b, firm);
  put32(b, 1);      // securities version
  put32(b, 1);      // parameters version
  put32(b, 0);
  put16(b, 0);      // an empty list
  put32(b, 0);
  return b;
}

Bytes security(int32_t request, int32_t server_id, const std::string& code, const std::string& name,
               int16_t scale) {
  Bytes b;
  put32(b, static_cast<uint32_t>(request));
  put32(b, static_cast<uint32_t>(server_id));
  put_text(b, code);
  put_text(b, name);
  put_text(b, code);
  put32(b, 1);
  put64(b, 0);
  put_text(b, "RUB");
  put16(b, static_cast<uint16_t>(scale));
  put32(b, 0);
  put32(b, 1);  // trading unit
  put_text(b, "");
  put_text(b, "");
  return b;
}

Bytes parameter(int32_t request, const std::string& name, uint16_t flags, int16_t scale) {
  Bytes b;
  put16(b, static_cast<uint16_t>(request));
  b.push_back(1);
  put16(b, flags);
  put16(b, static_cast<uint16_t>(scale));
  put_text(b, name);
  put_text(b, name);
  put_text(b, name);
  put_text(b, "");
  return b;
}

Bytes request_complete(int32_t request) {
  Bytes b;
  put16(b, static_cast<uint16_t>(request));
  return b;
}

Bytes server_ids(int32_t request, int32_t first_position, const std::vector<int32_t>& ids) {
  Bytes b;
  put32(b, static_cast<uint32_t>(request));
  put16(b, 4);  // the last part
  put32(b, static_cast<uint32_t>(first_position));
  put16(b, static_cast<uint16_t>(ids.size()));
  for (int32_t id : ids) put32(b, static_cast<uint32_t>(id));
  return b;
}

Bytes values(int32_t security, int32_t time, int32_t entry, uint64_t mask, const std::vector<int32_t>& ints,
             const std::vector<double>& doubles) {
  Bytes b;
  put32(b, static_cast<uint32_t>(security));
  put32(b, static_cast<uint32_t>(time));
  put32(b, static_cast<uint32_t>(entry));
  put32(b, static_cast<uint32_t>(mask));
  put32(b, static_cast<uint32_t>(mask >> 32));
  put16(b, static_cast<uint16_t>(ints.size()));
  for (int32_t v : ints) put32(b, static_cast<uint32_t>(v));
  put16(b, static_cast<uint16_t>(doubles.size()));
  for (double d : doubles) put_double(b, d);
  return b;
}

Bytes price_level(int32_t security, int32_t price, int32_t volume, int32_t value) {
  Bytes b;
  for (int32_t v : {security, price, volume, value}) put32(b, static_cast<uint32_t>(v));
  return b;
}

Bytes packed_levels(int32_t security, int16_t format, int16_t flags, const std::vector<int32_t>& words) {
  Bytes b;
  put32(b, static_cast<uint32_t>(security));
  put16(b, static_cast<uint16_t>(format));
  put16(b, static_cast<uint16_t>(flags));
  put16(b, static_cast<uint16_t>(words.size()));
  for (int32_t w : words) put32(b, static_cast<uint32_t>(w));
  return b;
}

Bytes quote(int32_t number, int32_t security, int32_t price, const std::string& text) {
  Bytes b;
  put32(b, static_cast<uint32_t>(number));
  put64(b, 0);
  put32(b, 0);
  put32(b, 0);  // flags
  put_text(b, text);
  put_text(b, "");
  put32(b, static_cast<uint32_t>(security));
  put32(b, static_cast<uint32_t>(price));
  put32(b, 0);
  put_text(b, "RUB");
  put32(b, static_cast<uint32_t>(price));
  put32(b, static_cast<uint32_t>(price));
  put_double(b, 0);
  put16(b, 0);
  put_double(b, 0);
  put32(b, 0);
  put16(b, 0);
  put_double(b, 0);
  put32(b, 0);
  put32(b, 0);
  return b;
}

Bytes book_level(int32_t security, int32_t price, int32_t quantity, uint32_t flags) {
  Bytes b;
  put32(b, flags);
  put_text(b, "BOOK");
  put32(b, static_cast<uint32_t>(security));
  put32(b, static_cast<uint32_t>(price));
  put32(b, static_cast<uint32_t>(quantity));
  put_text(b, flags & 4 ? "BUY" : "SELL");
  put32(b, static_cast<uint32_t>(price));
  put32(b, static_cast<uint32_t>(price / 10 * quantity));
  put64(b, 0);
  put64(b, 0);
  put16(b, 0);
  put32(b, 0);
  return b;
}

}  // namespace kelda::server_double::market
