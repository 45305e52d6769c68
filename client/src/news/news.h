// News: the server's headlines in arrival order, their bodies fetched on
// request in parts, and deleted items dropped. The caller sees an item by
// its slot's position plus 1; a deleted slot keeps its place, so numbers
// never shift.
//
// The table is mirrored, whole, into "news.log" in the work folder
// (news_file.h) after its changes: a burst of changes is written once, at
// its end, and a long run of changes at most once per gap; what is pending
// is written when the link goes and at uninitialise.
//
// A body request sent again for an item whose body is still arriving
// discards the text received so far: the server sends the body anew.
// Bodies are capped at kMaxNewsBody bytes.
//
// Everything runs under the library lock. Allocation failure throws.
#pragma once

#include <cstdint>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
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
};

// What identifies an item: id, code, time and date.
struct NewsItemKey {
  int32_t id = 0;
  std::array<char, 13> code{};  // zero-filled after the text
  int32_t time = 0;
  int32_t date = 0;

  NewsItemKey(int32_t id_, std::string_view code_, int32_t time_, int32_t date_);
  bool operator==(const NewsItemKey&) const = default;
};
struct NewsItemKeyHash {
  std::size_t operator()(const NewsItemKey& k) const noexcept;
};

class NewsTable {
 public:
  std::size_t size() const noexcept { return slots_.size(); }
  const NewsSlot& at(std::size_t i) const { return *slots_[i]; }
  NewsSlot& at_mut(std::size_t i) { return *slots_[i]; }
  // The non-deleted slot of the caller's number (1-based), or null.
  NewsSlot* live(int64_t number);
  // The non-deleted slot with the key, or -1.
  int64_t find_key(int32_t id, std::string_view code, int32_t time, int32_t date) const;
  // The first non-deleted slot with the server's news number, or -1.
  int64_t find_number(int32_t number) const;
  // The newest non-deleted item (largest date, then time; the first of
  // equals), or null.
  const Msg0057_NewsItem* newest() const;
  // Appends a slot for an item whose key no non-deleted slot holds.
  NewsSlot& append(const Msg0057_NewsItem& item);
  // Marks slot i deleted (its place stays) and frees its body.
  void remove(std::size_t i);
  void clear() {
    slots_.clear();
    by_key_.clear();
  }
  void release() {
    clear();
    slots_.shrink_to_fit();
  }
  // Room for n slots, in steps of 100.
  void reserve_for(std::size_t n) { slots_.reserve((n + 99) / 100 * 100); }

 private:
  std::vector<std::unique_ptr<NewsSlot>> slots_;
  // The slot of each non-deleted item by its key.
  std::unordered_map<NewsItemKey, std::size_t, NewsItemKeyHash> by_key_;
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
// Writes news.log when changes are pending and due; with `now`, pending
// changes are written at once (the link went, uninitialise).
void save_news(Library& lib, bool now);
// The steady clock news.log's saving runs by, in milliseconds.
int64_t news_clock_ms();

// ---- worker command 19 ----
void run_book_news(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_news(Library& lib);
KelapiResult get_news(Library& lib, int number, KelapiNewsRecord* record);
KelapiResult book_news_body(Library& lib, int number);
KelapiResult get_news_body(Library& lib, int number, char** text);
KelapiResult kill_news(Library& lib, int number);

}  // namespace kelda::kelapi
