// The older forms of negotiated deals, trades and reports that end before
// the newest one's last members (0x805D, 0x8058, 0x805E), brought to the
// newest form: the members they carry are the newest form's own, at the same
// offsets; the later ones are zero, except in a negotiated trade, whose short
// words 6, 7 and 8 become 0, 1 and -1. Pure, any thread.
#pragma once

#include <cstddef>
#include <cstring>

#include "messages/records_trades.h"

namespace kelda::kelapi {

namespace detail {
// The newest form with the older one's members, which end at `end`.
template <typename Newest, typename Older>
Newest with_older_members(const Older& older, std::size_t end) {
  static_assert(sizeof(Older) < sizeof(Newest));
  Newest newest;
  std::memset(&newest, 0, sizeof newest);
  std::memcpy(&newest, &older, end);
  return newest;
}
}  // namespace detail

inline Msg8079_NegDeal newest_negotiated(const Msg805D_NegDeal& d) {
  static_assert(offsetof(Msg805D_NegDeal, price7) == offsetof(Msg8079_NegDeal, price7));
  return detail::with_older_members<Msg8079_NegDeal>(d, offsetof(Msg805D_NegDeal, price7) + sizeof d.price7);
}

inline Msg807F_NegTrade newest_negotiated(const Msg8058_NegTrade& t) {
  static_assert(offsetof(Msg8058_NegTrade, word5) == offsetof(Msg807F_NegTrade, word5));
  Msg807F_NegTrade n =
      detail::with_older_members<Msg807F_NegTrade>(t, offsetof(Msg8058_NegTrade, word5) + sizeof t.word5);
  n.short6 = 0;
  n.short7 = 1;
  n.short8 = -1;
  return n;
}

inline Msg807E_NegReport newest_negotiated(const Msg805E_NegReport& r) {
  static_assert(offsetof(Msg805E_NegReport, short2) == offsetof(Msg807E_NegReport, short2));
  return detail::with_older_members<Msg807E_NegReport>(r, offsetof(Msg805E_NegReport, short2) + sizeof r.short2);
}

}  // namespace kelda::kelapi
