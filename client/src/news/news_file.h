// news.log: the news table on disk, so that the day's headlines survive a
// restart. Format (integers little-endian): the 20-byte frame "INFO",
// "NEWS", version 1, record size 16, count of items; then per item not
// deleted, in slot order, the 16-byte slot record (two unused pointer
// words, the body-complete flag, the deleted flag), the 236-byte item, the
// body length (0 without body text) and the body.
//
// The file is always written whole: the bytes go to "news.log.tmp", which
// is renamed over the file, so a reader sees the old table or the new one,
// never a mix. Changes are coalesced: a change marks the file due, and the
// owner saves it (save_if_due) at the end of the burst that brought the
// change, but no sooner after the previous write than a gap that grows with
// the file (kMinSaveGapMs plus one millisecond per kSaveBytesPerMs bytes
// written last time). The disk time so spent is bounded by the session's
// length, not by the square of the number of items. The owner saves what is
// pending at once (save_now) when the link goes and at uninitialise.
//
// Reading takes this format and the one earlier versions of the library
// wrote: records appended as items arrived (the count counting records), a
// completed body appended as a later record with the item's key (id, code,
// time, date), and deletions marked in place. A later record with the key
// of an item already read gives that item its body and keeps its place;
// records marked deleted are skipped.
//
// Not thread-safe: used under the library lock, except due_ms(), which any
// thread may read. Errors are results; a failed write deletes the file (no
// half-written file is read back) and the next change writes it again.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "news/news.h"

namespace kelda::kelapi {

inline constexpr int64_t kMinSaveGapMs = 1000;
inline constexpr uint64_t kSaveBytesPerMs = 256;

class NewsFile {
 public:
  void set_path(std::string path) {
    path_ = std::move(path);
    pending_ = false;
    due_.store(-1);
    next_allowed_ms_ = 0;
  }
  const std::string& path() const { return path_; }

  // The table changed at `now_ms` (a steady clock in milliseconds): the
  // file is due at once, or when the gap after the last write has passed.
  void changed(int64_t now_ms);
  bool pending() const { return pending_; }
  // When the pending write is due (steady milliseconds), -1 when nothing
  // is pending. Safe to read from any thread.
  int64_t due_ms() const { return due_.load(); }
  // Writes the file when a change is pending and due at `now_ms`. False
  // when a write failed (no file is left then).
  bool save_if_due(const NewsTable& table, int64_t now_ms);
  // Writes the file now when a change is pending.
  bool save_now(const NewsTable& table, int64_t now_ms);
  // Writes the file whole from the table's non-deleted items, pending
  // or not. False (no file left) when it cannot.
  bool rewrite(const NewsTable& table, int64_t now_ms);

  enum class Load { loaded, missing, damaged };
  // Reads the file into the (empty) table, skipping deleted records and
  // items dated more than one day number before `today` (YYYYMMDD). A
  // damaged file (bad frame, counts beyond the limits or the file's size,
  // a short read) leaves the table empty.
  static Load read(const std::string& path, int32_t today, NewsTable& table, std::string& reason);

 private:
  std::string path_;
  bool pending_ = false;
  std::atomic<int64_t> due_{-1};
  int64_t next_allowed_ms_ = 0;
};

}  // namespace kelda::kelapi
