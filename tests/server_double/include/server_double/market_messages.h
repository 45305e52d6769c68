// Bodies of the trading server's market messages, written from their wire
// layouts (big-endian integers, texts as their characters and a zero,
// counted lists as a 16-bit count and the items, doubles as the big-endian
// bits of the IEEE value). Independent of the client's codec.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server_double/server_double.h"

namespace kelda::server_double::market {

void put64(Bytes& b, uint64_t v);
void put_double(Bytes& b, double v);
void put_text(Bytes& b, const std::string& s);
int32_t get32(const Bytes& b, std::size_t at);  // 0 past the end

Bytes word32(int32_t v);
Bytes session_info(int32_t id, const std::string& server, const std::string& session);      // 0x803D
Bytes trading_session(const std::string& key, uint32_t date);                              // 0x22
// 0x803C; `firm` is the firm whose margin rules govern the class ("" for
// none), `flags` the class flags word as the server keeps it.
Bytes class_description(int32_t server_id, const std::string& code, const std::string& name,
                        const std::string& firm, uint32_t flags);
Bytes security(int32_t request, int32_t server_id, const std::string& code, const std::string& name,
               int16_t scale);                                                             // 0x8081
Bytes parameter(int32_t request, const std::string& name, uint16_t flags, int16_t scale);  // 0x24
Bytes request_complete(int32_t request);                                                   // 0x2
Bytes server_ids(int32_t request, int32_t first_position, const std::vector<int32_t>& ids);  // 0x8038, last part
// 0x805F, 0x8060, 0x8061.
Bytes values(int32_t security, int32_t time, int32_t entry, uint64_t mask, const std::vector<int32_t>& ints,
             const std::vector<double>& doubles);
// 0x8052: one side of a level (a negative volume is the negative side).
Bytes price_level(int32_t security, int32_t price, int32_t volume, int32_t value);
// 0x808E: packed levels.
Bytes packed_levels(int32_t security, int16_t format, int16_t flags, const std::vector<int32_t>& words);
// 0x804F: a quote.
Bytes quote(int32_t number, int32_t security, int32_t price, const std::string& text);
// 0x8050: an order-book level.
Bytes book_level(int32_t security, int32_t price, int32_t quantity, uint32_t flags);

}  // namespace kelda::server_double::market
