// news.log: the news table on disk, so that the day's headlines survive a
// restart. Format (integers little-endian): the 20-byte frame "INFO",
// "NEWS", version 1, record size 16, count of records; then per record the
// 16-byte slot record (two unused pointer words, the body-complete flag,
// the deleted flag), the 236-byte item, the body length and the body.
//
// Records are appended as items arrive and marked deleted in place, so one
// change never rewrites the file. A completed body appends the item again
// with its body: a later record with the key (id, code, time, date) of an
// item already read gives that item its body and keeps its place. Records
// marked deleted are skipped; loading writes the file whole again, one
// record per item.
//
// Not thread-safe: used under the library lock. Errors are results; a
// failed write deletes the file (no half-written file is read back) and
// makes the next change write it whole.
#pragma once

#include <cstdint>
#include <string>

#include "news/news.h"

namespace kelda::kelapi {

class NewsFile {
 public:
  void set_path(std::string path) {
    path_ = std::move(path);
    valid_ = false;
  }
  const std::string& path() const { return path_; }
  // Writes the file whole from the table's non-deleted items; records
  // their offsets. False (no file left) when it cannot.
  bool rewrite(NewsTable& table);
  // Appends the slot's record (writing the whole file when the file is not
  // in a known state); false (no file left) when it cannot.
  bool append(NewsTable& table, NewsSlot& slot);
  // Appends the slot's item again with its body (see above).
  bool append_body(NewsTable& table, NewsSlot& slot);
  // Marks the slot's records deleted in place (the whole file is written
  // instead when it is not in a known state).
  bool mark_deleted(NewsTable& table, const NewsSlot& slot);
  bool valid() const { return valid_; }

  enum class Load { loaded, missing, damaged };
  // Reads the file into the (empty) table, skipping deleted records and
  // items dated more than one day number before `today` (YYYYMMDD). A
  // damaged file (bad frame, counts beyond the limits or the file's size,
  // a short read) leaves the table empty.
  static Load read(const std::string& path, int32_t today, NewsTable& table, std::string& reason);

 private:
  bool fail();
  bool append_record(NewsTable& table, NewsSlot& slot, int64_t& offset);
  std::string path_;
  bool valid_ = false;
  uint32_t records_ = 0;
  uint64_t end_ = 0;
};

}  // namespace kelda::kelapi
