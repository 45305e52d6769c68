// What the price-level messages do to the subscribed lists, and their reads.
#include "prices/prices.h"

#include <cstring>

#include "market/security_args.h"
#include "platform/last_error.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgPriceSubscribe = 0x8049;
constexpr uint16_t kMsgPriceUnsubscribe = 0x804A;
constexpr int16_t kLastPart = 4;

struct Target {
  int64_t security = -1;
  PriceList* list = nullptr;  // null: known security, no subscription
};

Target target_of(Library& lib, int32_t server_id) {
  Target t;
  t.security = lib.securities.find_by_server_id(server_id);
  if (t.security < 0) return t;
  auto it = lib.price_lists.by_security.find(static_cast<int32_t>(t.security));
  if (it != lib.price_lists.by_security.end()) t.list = &it->second;
  return t;
}

int scale_of(const Library& lib, int64_t s) { return lib.securities.at(static_cast<std::size_t>(s)).h.scale; }

void announce(Library& lib, int64_t s) {
  lib.raise_event(KELAPI_EVENT_NEWPRICE,
                  static_cast<uintptr_t>(lib.securities.at(static_cast<std::size_t>(s)).class_index) + 1,
                  static_cast<uintptr_t>(s) + 1);
}

void merge_one(Library& lib, int32_t server_id, PriceLevel (*make)(const int32_t*, int), const int32_t* words) {
  const Target t = target_of(lib, server_id);
  if (t.list == nullptr) return;
  merge_level(*t.list, make(words, scale_of(lib, t.security)), false);
  announce(lib, t.security);
}

}  // namespace

void on_price_level(Library& lib, int32_t server_id, int32_t price, int32_t volume, int32_t value) {
  const int32_t w[] = {price, volume, value};
  merge_one(lib, server_id, [](const int32_t* v, int scale) { return one_side_level(v[0], v[1], v[2], scale); }, w);
}

void on_price_level_both(Library& lib, int32_t server_id, int32_t price, int32_t negative_volume,
                         int32_t negative_value, int32_t positive_volume, int32_t positive_value) {
  const int32_t w[] = {price, negative_volume, negative_value, positive_volume, positive_value};
  merge_one(
      lib, server_id,
      [](const int32_t* v, int scale) { return two_side_level(v[0], v[1], v[2], v[3], v[4], scale); }, w);
}

void on_packed_levels(Library& lib, int32_t server_id, int16_t format, int16_t flags,
                      std::span<const int32_t> words) {
  const Target t = target_of(lib, server_id);
  if (t.security < 0) return;
  const bool merged = merge_packed(t.list, format, words, scale_of(lib, t.security));
  const bool last = (flags & kLastPart) != 0;
  if (t.list != nullptr && (last || !merged)) t.list->packed_open = false;
  if (merged && last) announce(lib, t.security);
}

void on_price_list_cleared(Library& lib, int32_t server_id) {
  const Target t = target_of(lib, server_id);
  if (t.list == nullptr) return;
  t.list->levels.clear();
  t.list->packed_open = false;
  announce(lib, t.security);
}

void run_price_list(Library& lib, int32_t security, bool subscribe) {
  if (!lib.connected() || security < 0 || static_cast<std::size_t>(security) >= lib.securities.size()) return;
  auto& lists = lib.price_lists.by_security;
  const int32_t server_id = lib.securities.at(static_cast<std::size_t>(security)).h.server_id;
  if (subscribe) {
    if (!lists.try_emplace(security).second) return;
    lib.send_message(kMsgPriceSubscribe, &server_id);
  } else {
    if (lists.find(security) == lists.end()) return;
    lib.send_message(kMsgPriceUnsubscribe, &server_id);
    lists.erase(security);
  }
}

void drop_price_lists(Library& lib) {
  for (const auto& [security, list] : lib.price_lists.by_security) {
    const int32_t server_id = lib.securities.at(static_cast<std::size_t>(security)).h.server_id;
    lib.send_message(kMsgPriceUnsubscribe, &server_id);  // only while the link still stands
  }
  lib.price_lists.reset();
}

KelapiResult book_price(Library& lib, uint32_t class_number, uint32_t security_number, bool subscribe) {
  LibraryLock lock(lib);
  int64_t s = -1;
  const KelapiResult r = check_subscription(lib, class_number, security_number, s);
  if (r != KELAPI_OK) return r;
  if (!lib.post_command(subscribe ? kCommandBookPrice : kCommandUnbookPrice, static_cast<uintptr_t>(s))) {
    return platform::get_last_error();
  }
  return KELAPI_OK;
}

KelapiResult get_price(Library& lib, uint32_t class_number, uint32_t security_number, uint16_t* count,
                       KelapiPriceRecord** records) {
  LibraryLock lock(lib);
  int64_t s = -1;
  const KelapiResult r = check_subscription(lib, class_number, security_number, s);
  if (r != KELAPI_OK) return r;
  if (count == nullptr || records == nullptr) return KELAPI_E_INVALIDARG;
  auto it = lib.price_lists.by_security.find(static_cast<int32_t>(s));
  if (it == lib.price_lists.by_security.end()) return KELAPI_E_NOT_BOOKED;
  const std::vector<PriceLevel>& levels = it->second.levels;
  auto* out = static_cast<KelapiPriceRecord*>(lib.hand_out(levels.size() * sizeof(KelapiPriceRecord)));
  for (std::size_t i = 0; i < levels.size(); ++i) {
    KelapiPriceRecord& o = out[i];
    std::memset(&o, 0, sizeof o);
    o.positive_value = levels[i].positive_value;
    o.price = levels[i].price;
    o.negative_value = levels[i].negative_value;
    o.positive_volume = levels[i].positive_volume;
    o.negative_volume = levels[i].negative_volume;
  }
  *count = static_cast<uint16_t>(levels.size());
  *records = out;
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
