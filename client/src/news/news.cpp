// The news table, its messages, booking and reads.
#include "news/news.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/text_util.h"
#include "files/binary_file.h"
#include "messages/handlers.h"
#include "news/news_file.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgNewsRequest = 0x59;
constexpr uint16_t kMsgDeleteRequest = 0x5A;
constexpr uint16_t kMsgBodyRequest = 0x78;
constexpr uint32_t kKeepNews = 0x4000 | 0x8000;
constexpr uint32_t kInitDropBodyCopy = 0x800 | 0x200;
constexpr uintptr_t kChangeAdded = 0;
constexpr uintptr_t kChangeDeleted = 1;

Msg0057_NewsItem terminated(const Msg0057_NewsItem& item) {
  Msg0057_NewsItem r = item;
  copy_field(r.code, item.code);
  copy_field(r.source, item.source);
  copy_field(r.headline, item.headline);
  return r;
}

void announce(Library& lib, uintptr_t change, std::size_t slot) {
  lib.raise_event(KELAPI_EVENT_NEWNEWS, change, static_cast<uintptr_t>(slot) + 1);
}

void report_save(bool ok) {
  if (!ok) diag("KeldaApi: news.log could not be written; it is written again at the next change\n");
}

NewsItemKey key_of_item(const Msg0057_NewsItem& item) {
  return NewsItemKey(item.id, field_text(item.code), item.time, item.date);
}

// The table changed: news.log is written at the end of the burst, or
// later when the last write was too recent (news_file.h).
void changed(Library& lib) { lib.news_file.changed(news_clock_ms()); }

NewsKey key_of(const Msg0057_NewsItem& item) {
  NewsKey k;
  std::memset(&k, 0, sizeof k);
  k.id = item.id;
  copy_field(k.code, item.code);
  k.time = item.time;
  k.date = item.date;
  return k;
}

}  // namespace

NewsItemKey::NewsItemKey(int32_t id_, std::string_view code_, int32_t time_, int32_t date_)
    : id(id_), time(time_), date(date_) {
  code_ = code_.substr(0, code_.find('\0'));
  std::copy_n(code_.data(), std::min(code_.size(), code.size() - 1), code.data());
}

std::size_t NewsItemKeyHash::operator()(const NewsItemKey& k) const noexcept {
  std::size_t h = std::hash<std::string_view>()(std::string_view(k.code.data()));
  for (const int32_t w : {k.id, k.time, k.date}) h = h * 1000003u ^ std::hash<int32_t>()(w);
  return h;
}

NewsSlot* NewsTable::live(int64_t number) {
  if (number < 1 || static_cast<uint64_t>(number) > slots_.size()) return nullptr;
  NewsSlot& s = *slots_[static_cast<std::size_t>(number - 1)];
  return s.deleted ? nullptr : &s;
}

int64_t NewsTable::find_key(int32_t id, std::string_view code, int32_t time, int32_t date) const {
  const auto it = by_key_.find(NewsItemKey(id, code, time, date));
  return it == by_key_.end() ? -1 : static_cast<int64_t>(it->second);
}

int64_t NewsTable::find_number(int32_t number) const {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (!slots_[i]->deleted && slots_[i]->item.number == number) return static_cast<int64_t>(i);
  }
  return -1;
}

const Msg0057_NewsItem* NewsTable::newest() const {
  const Msg0057_NewsItem* best = nullptr;
  for (const auto& s : slots_) {
    if (s->deleted) continue;
    const Msg0057_NewsItem& i = s->item;
    if (best == nullptr || i.date > best->date || (i.date == best->date && i.time > best->time)) best = &i;
  }
  return best;
}

NewsSlot& NewsTable::append(const Msg0057_NewsItem& item) {
  auto slot = std::make_unique<NewsSlot>();
  slot->item = item;
  if (slots_.size() == slots_.capacity()) slots_.reserve(slots_.size() < 100 ? 100 : slots_.size() * 2);
  by_key_.try_emplace(key_of_item(item), slots_.size());
  slots_.push_back(std::move(slot));  // within the capacity: cannot fail
  return *slots_.back();
}

void NewsTable::remove(std::size_t i) {
  NewsSlot& slot = *slots_.at(i);
  if (slot.deleted) return;
  const auto it = by_key_.find(key_of_item(slot.item));
  if (it != by_key_.end() && it->second == i) by_key_.erase(it);
  slot.deleted = true;
  slot.body.clear();
  slot.body.shrink_to_fit();
  slot.body_complete = false;
}

void on_news_item(Library& lib, const Msg0057_NewsItem& received) {
  const Msg0057_NewsItem item = terminated(received);
  if (lib.news.find_key(item.id, field_text(item.code), item.time, item.date) >= 0) return;
  if (lib.news.size() >= kMaxNewsItems) return;
  lib.news.append(item);
  changed(lib);
  announce(lib, kChangeAdded, lib.news.size() - 1);
}

void on_news_body_part(Library& lib, const Msg0058_NewsBodyPart& part) {
  const int64_t at = lib.news.find_number(part.number);
  if (at < 0) return;
  NewsSlot& slot = lib.news.at_mut(static_cast<std::size_t>(at));
  if (slot.body_complete) return;
  const std::size_t count = std::min<std::size_t>(part.text_count, sizeof part.text);
  const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(std::max(slot.item.body_size, 0)),
                                                  kMaxNewsBody);
  if (slot.body.size() + count > limit) return;
  slot.body.append(reinterpret_cast<const char*>(part.text), count);
  if ((part.flags & 1) == 0) return;
  slot.body_complete = true;
  changed(lib);
  announce(lib, kChangeAdded, static_cast<std::size_t>(at));
}

void on_news_deleted(Library& lib, const NewsKey& key) {
  char code[13];
  copy_field(code, key.code);
  const int64_t at = lib.news.find_key(key.id, field_text(code), key.time, key.date);
  if (at < 0) return;
  lib.news.remove(static_cast<std::size_t>(at));
  changed(lib);
  announce(lib, kChangeDeleted, static_cast<std::size_t>(at));
}

void drop_news(Library& lib) {
  lib.news.clear();
  if (!lib.news_file.path().empty()) report_save(lib.news_file.rewrite(lib.news, news_clock_ms()));
}

void drop_news_unless_kept(Library& lib) {
  if ((lib.permissions() & kKeepNews) == 0) drop_news(lib);
}

void load_news(Library& lib) {
  lib.news.release();
  lib.news_file.set_path(work_file(lib.work_dir(), "news.log"));
  if ((lib.permissions() & kKeepNews) == 0) return;
  std::string reason;
  const auto load = NewsFile::read(lib.news_file.path(), local_date_packed(), lib.news, reason);
  if (load == NewsFile::Load::damaged) {
    diag("KeldaApi: news.log is damaged (%s); the news start empty\n", reason.c_str());
    lib.news.clear();
  }
  report_save(lib.news_file.rewrite(lib.news, news_clock_ms()));
}

void save_news(Library& lib, bool now) {
  if (lib.news_file.path().empty()) return;
  const int64_t t = news_clock_ms();
  report_save(now ? lib.news_file.save_now(lib.news, t) : lib.news_file.save_if_due(lib.news, t));
}

int64_t news_clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void run_book_news(Library& lib) {
  for (std::size_t i = 0; i < lib.news.size(); ++i) {
    if (!lib.news.at(i).deleted) announce(lib, kChangeAdded, i);
  }
  if (!lib.connected() || (lib.permissions() & kKeepNews) == 0) return;
  NewsKey from;
  std::memset(&from, 0, sizeof from);
  if (const Msg0057_NewsItem* newest = lib.news.newest()) from = key_of(*newest);
  lib.send_message(kMsgNewsRequest, &from);
}

// ---- exports ----

KelapiResult book_news(Library& lib) { return book_table(lib, Booked::news, kCommandBookNews); }

namespace {

KelapiResult check_state(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

KelapiResult check_link(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

}  // namespace

KelapiResult get_news(Library& lib, int number, KelapiNewsRecord* record) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_state(lib); r != KELAPI_OK) return r;
  const NewsSlot* slot = lib.news.live(number);
  if (record == nullptr || slot == nullptr) return KELAPI_E_INVALIDARG;
  const Msg0057_NewsItem& i = slot->item;
  std::memset(record, 0, sizeof *record);
  record->body_received = slot->body_complete ? 1 : 0;
  record->id = i.id;
  record->date = i.date;
  record->has_body = i.flags & 1;
  record->number = number;
  record->time = i.time;
  copy_field(record->source, i.source);
  copy_field(record->code, i.code);
  copy_field(record->headline, i.headline);
  return KELAPI_OK;
}

KelapiResult book_news_body(Library& lib, int number) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  NewsSlot* slot = lib.news.live(number);
  if (slot == nullptr) return KELAPI_E_INVALIDARG;
  if (slot->body_complete) return KELAPI_E_ALREADY_BOOKED;
  // The server sends the whole body again.
  slot->body.clear();
  Msg0078_NewsBodyRequest m;
  std::memset(&m, 0, sizeof m);
  m.number = slot->item.number;
  m.id = slot->item.id;
  copy_field(m.code, slot->item.code);
  m.time = slot->item.time;
  m.date = slot->item.date;
  return lib.send_message(kMsgBodyRequest, &m) == 0 ? KELAPI_E_NOT_CONNECTED : KELAPI_OK;
}

KelapiResult get_news_body(Library& lib, int number, char** text) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_state(lib); r != KELAPI_OK) return r;
  NewsSlot* slot = lib.news.live(number);
  if (text == nullptr || slot == nullptr || !slot->body_complete) return KELAPI_E_INVALIDARG;
  auto* copy = static_cast<char*>(lib.hand_out(slot->body.size() + 1));
  std::memcpy(copy, slot->body.data(), slot->body.size());
  copy[slot->body.size()] = '\0';
  *text = copy;
  if ((lib.init_flags() & kInitDropBodyCopy) != 0) {
    slot->body.clear();
    slot->body.shrink_to_fit();
    slot->body_complete = false;
  }
  return KELAPI_OK;
}

KelapiResult kill_news(Library& lib, int number) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  const NewsSlot* slot = lib.news.live(number);
  if (slot == nullptr) return KELAPI_E_INVALIDARG;
  const NewsKey key = key_of(slot->item);
  return lib.send_message(kMsgDeleteRequest, &key) == 0 ? KELAPI_E_NOT_CONNECTED : KELAPI_OK;
}

// ---- handlers ----

void on_0057_news_item(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_news_item(lib, record_copy<Msg0057_NewsItem>(record, KELAPI_RECORD_END(Msg0057_NewsItem, headline)));
  });
}
void on_0058_news_body_part(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_news_body_part(lib, record_copy<Msg0058_NewsBodyPart>(record, KELAPI_RECORD_END(Msg0058_NewsBodyPart, text)));
  });
}
void on_005A_news_deleted(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_news_deleted(lib, record_copy<NewsKey>(record, KELAPI_RECORD_END(NewsKey, date)));
  });
}

}  // namespace kelda::kelapi
