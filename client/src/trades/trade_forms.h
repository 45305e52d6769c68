// The older trade forms brought to the newest one, each through the next
// form of its chain (the form descriptions in messages/records_trades.h say
// which): members are carried by name, texts bounded to the target's width,
// a 16-bit security widened, and a member the older form lacks is zero,
// except short word 2, which becomes -1. The side word of a form that carries
// it is the older form's flags masked with the sell bit (4), except that
// 0x00DF passes its own word on; the four values of 0x00DF become fee 2 and
// amounts 3 to 5; the single value of 0x800D and 0x00CA becomes the first of
// those four; a plain text becomes the counted text. Pure, any thread.
#pragma once

#include <cstring>
#include <type_traits>

#include "messages/records_trades.h"
#include "orders/order_forms.h"

namespace kelda::kelapi {

inline constexpr uint32_t kTradeSellBit = 0x4;

// One step of a chain: the form `To` of the trade `o`.
template <typename To, typename FromForm>
To next_trade_form(const TradeRecord<FromForm>& o) {
  To n;
  std::memset(&n, 0, sizeof n);
  n.sequence = o.sequence;
  n.number = o.number;
  n.order_number = o.order_number;
  n.time = o.time;
  if constexpr (KELAPI_FORM_HAS(n.side_word)) {
    if constexpr (std::is_same_v<FromForm, TradeForm00DF>) {
      n.side_word = o.side_word;
    } else {
      n.side_word = static_cast<int16_t>(o.flags & kTradeSellBit);
    }
  }
  copy_order_text(n.comment, o.comment);
  copy_order_text(n.text2, o.text2);
  copy_order_text(n.text1, o.text1);
  copy_order_text(n.account, o.account);
  n.security = o.security;
  n.price = o.price;
  n.quantity = o.quantity;
  n.value = o.value;
  if constexpr (KELAPI_FORM_HAS(o.amount1) && KELAPI_FORM_HAS(n.amount1)) {
    n.amount1 = o.amount1;
    n.amount2 = o.amount2;
  }
  copy_order_text(n.text3, o.text3);
  copy_order_text(n.text4, o.text4);
  n.flags = o.flags;
  n.price2 = o.price2;
  n.price3 = o.price3;
  copy_order_text(n.text5, o.text5);
  if constexpr (KELAPI_FORM_HAS(o.single_value) && KELAPI_FORM_HAS(n.values)) n.values[0] = o.single_value;
  if constexpr (KELAPI_FORM_HAS(o.values) && KELAPI_FORM_HAS(n.values)) {
    std::memcpy(n.values, o.values, sizeof n.values);
  }
  if constexpr (KELAPI_FORM_HAS(o.values) && KELAPI_FORM_HAS(n.fee2)) {
    n.fee2 = o.values[0];
    n.amount3 = o.values[1];
    n.amount4 = o.values[2];
    n.amount5 = o.values[3];
  }
  if constexpr (KELAPI_FORM_HAS(o.amount3) && KELAPI_FORM_HAS(n.amount3)) {
    n.amount3 = o.amount3;
    n.amount4 = o.amount4;
    n.amount5 = o.amount5;
  }
  if constexpr (KELAPI_FORM_HAS(n.short2)) {
    if constexpr (KELAPI_FORM_HAS(o.short2)) {
      n.short1 = o.short1;
      n.price4 = o.price4;
      n.price5 = o.price5;
      n.price6 = o.price6;
      n.short2 = o.short2;
    } else {
      n.short2 = -1;
    }
  }
  if constexpr (KELAPI_FORM_HAS(o.fee1) && KELAPI_FORM_HAS(n.fee1)) {
    n.fee1 = o.fee1;
    n.fee2 = o.fee2;
    n.fee3 = o.fee3;
  }
  if constexpr (KELAPI_FORM_HAS(o.plain_text) && KELAPI_FORM_HAS(n.plain_text)) {
    copy_order_text(n.plain_text, o.plain_text);
  }
  if constexpr (KELAPI_FORM_HAS(o.plain_text) && KELAPI_FORM_HAS(n.text)) {
    const std::size_t length = strnlen(o.plain_text, sizeof o.plain_text - 1);
    static_assert(sizeof o.plain_text - 1 <= sizeof n.text);
    std::memcpy(n.text, o.plain_text, length);
    n.text_count = static_cast<uint16_t>(length);
  }
  if constexpr (KELAPI_FORM_HAS(o.word1) && KELAPI_FORM_HAS(n.word1)) {
    n.word1 = o.word1;
    copy_order_text(n.short_code1, o.short_code1);
    copy_order_text(n.short_code2, o.short_code2);
    n.text_count = o.text_count;
    std::memcpy(n.text, o.text, sizeof n.text);
    n.short_text_count = o.short_text_count;
    std::memcpy(n.short_text, o.short_text, sizeof n.short_text);
  }
  return n;
}

// The newest form of a trade received or journalled in any form.
template <typename Form>
Msg806F_Trade newest_trade(const TradeRecord<Form>& t) {
  if constexpr (std::is_same_v<Form, TradeForm806F>) {
    return t;
  } else {
    return newest_trade(next_trade_form<TradeRecord<typename Form::converts_to>>(t));
  }
}

}  // namespace kelda::kelapi
