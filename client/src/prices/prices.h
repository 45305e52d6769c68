// Price-list subscriptions: the worker's subscribe and unsubscribe commands,
// what the server's level messages do to a subscribed list, and the exports.
//
// Everything runs under the library lock: messages on the receive thread,
// commands on the worker, exports on the caller's thread. Messages for
// unknown securities or securities without a list are ignored.
#pragma once

#include <cstdint>
#include <span>

#include "keldaapi/keldaapi.h"
#include "prices/price_lists.h"

namespace kelda::kelapi {

class Library;

// ---- messages (the security given by its server id) ----
void on_price_level(Library& lib, int32_t server_id, int32_t price, int32_t volume, int32_t value);
void on_price_level_both(Library& lib, int32_t server_id, int32_t price, int32_t negative_volume,
                         int32_t negative_value, int32_t positive_volume, int32_t positive_value);
void on_packed_levels(Library& lib, int32_t server_id, int16_t format, int16_t flags,
                      std::span<const int32_t> words);
void on_price_list_cleared(Library& lib, int32_t server_id);

// ---- worker commands 17 and 18 ----
void run_price_list(Library& lib, int32_t security, bool subscribe);
// The link is gone: every list is freed.
void drop_price_lists(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_price(Library& lib, uint32_t class_number, uint32_t security_number, bool subscribe);
KelapiResult get_price(Library& lib, uint32_t class_number, uint32_t security_number, uint16_t* count,
                       KelapiPriceRecord** records);

}  // namespace kelda::kelapi
