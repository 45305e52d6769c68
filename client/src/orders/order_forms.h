// The older order forms brought to the newest one, field by field: a field
// the older form lacks is zero, a 16-bit field is widened, texts are copied
// bounded. Forms that reach the newest one through the 0x805B form take the
// library's current trade date (given by the caller). Pure, any thread.
#pragma once

#include <cstring>

#include "messages/records_orders.h"

namespace kelda::kelapi {

template <std::size_t N, std::size_t M>
void copy_order_text(char (&to)[N], const char (&from)[M]) {
  constexpr std::size_t n = (N < M ? N : M) - 1;
  std::memcpy(to, from, n);
  to[n] = '\0';
  to[N - 1] = '\0';
}

template <typename Old>
Msg807B_Order newest_order(const Old& o, int32_t current_trade_date) {
  Msg807B_Order n;
  std::memset(&n, 0, sizeof n);
  n.sequence = o.sequence;
  n.number = o.number;
  n.time = o.time;
  n.flags = o.flags;
  copy_order_text(n.comment, o.comment);
  copy_order_text(n.text2, o.text2);
  copy_order_text(n.text1, o.text1);
  copy_order_text(n.account, o.account);
  n.security = o.security;
  n.price = o.price;
  n.quantity = o.quantity;
  n.balance = o.balance;
  n.value = o.value;
  n.word1 = o.word1;
  copy_order_text(n.text3, o.text3);
  n.word2 = o.word2;
  if constexpr (KELAPI_FORM_HAS(o.amount1)) {
    n.amount1 = o.amount1;
    n.amount2 = o.amount2;
  }
  if constexpr (KELAPI_FORM_HAS(o.second_price)) {
    n.second_price = o.second_price;
    copy_order_text(n.text4, o.text4);
  }
  if constexpr (KELAPI_FORM_HAS(o.word3)) n.word3 = o.word3;
  if constexpr (KELAPI_FORM_HAS(o.long_text)) copy_order_text(n.long_text, o.long_text);
  // Only 0x807A (the one older form with word 4) converts straight to the
  // newest form and keeps its date; every other older form passes through
  // 0x805B, which takes today's.
  n.trade_date = current_trade_date;
  if constexpr (KELAPI_FORM_HAS(o.word4)) {
    n.word4 = o.word4;
    n.value8 = o.value8;
    n.word5 = o.word5;
    n.trade_date = o.trade_date;
  }
  return n;
}

}  // namespace kelda::kelapi
