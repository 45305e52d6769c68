// News: the server's headlines in arrival order, their bodies fetched on
// request in parts, and deleted items dropped. The caller sees an item by
// its slot's position plus 1; a deleted slot keeps its place, so numbers
// never shift.
//
// The table is mirrored into "news.log" in the work folder (news_file.h):
// a new headline is appended, a completed body appends the item again with
// its body, a deletion marks its records in place; only start-up and
// emptying the table write the file whole.
//
// A body request sent again for an item whose body is still arriving
// discards the text received so far: the server sends the body anew.
// Bodies are capped at kMaxNewsBody bytes.
//
// Everything runs under the library lock. Allocation failure throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "messages/records_feeds.h"

namespace kelda::kelapi {

class Library;

inline constexpr std::size_t kMaxNewsBody = 1u << 20;
inline constexpr std::size_t kMaxNewsItems = 1u << 20;

struct NewsSlot {
  Msg0057_NewsItem item{};
  std::string body;        // the text received so far
  bool body_complete = false;
  bool deleted = false;
  int64_t file_offset = -1;  // of its record in news.log; -1: not written
  int64_t body_offset = -1;  // of the later record that brought its body
};

class NewsTable {
 public:
  std::size_t size() const noexcept { return slots_.size(); }
  const NewsSlot& at(std::size_t i) const { return *slots_[i]; }
  NewsSlot& at_mut(std::size_t i) { return *slots_[i]; }
  // The non-deleted slot of the caller's number (1-based), or null.
  NewsSlot* live(int64_t number);
  // The first non-deleted slot with the key, or -1.
  int64_t find_key(int32_t id, std::string_view code, int32_t time, int32_t date) const;
  // The first non-deleted slot with the server's news number, or -1.
  int64_t find_number(int32_t number) const;
  // The newest non-deleted item (largest date, then time; the first of
  // equals), or null.
  const Msg0057_NewsItem* newest() const;
  NewsSlot& append(const Msg0057_NewsItem& item);
  void clear() { slots_.clear(); }
  void release() {
    slots_.clear();
    slots_.shrink_to_fit();
  }
  // Room for n slots, in steps of 100.
  void reserve_for(std::size_t n) { slots_.reserve((n + 99) / 100 * 100); }

 private:
  std::vector<std::unique_ptr<NewsSlot>> slots_;
};

// ---- messages ----
void on_news_item(Library& lib, const Msg0057_NewsItem& item);
void on_news_body_part(Library& lib, const Msg0058_NewsBodyPart& part);
void on_news_deleted(Library& lib, const NewsKey& key);
// The server's session changed: the items go (news.log is emptied too).
void drop_news(Library& lib);
// The connection is established: the items go unless the server lets the
// user keep the day's news.
void drop_news_unless_kept(Library& lib);
// At initialisation: reads news.log when the saved permissions keep news.
void load_news(Library& lib);

// ---- worker command 19 ----
void run_book_news(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_news(Library& lib);
KelapiResult get_news(Library& lib, int number, KelapiNewsRecord* record);
KelapiResult book_news_body(Library& lib, int number);
KelapiResult get_news_body(Library& lib, int number, char** text);
KelapiResult kill_news(Library& lib, int number);

}  // namespace kelda::kelapi
