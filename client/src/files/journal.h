// The journal (info.log) and the all-trades file (alltrades.dat).
//
// The journal keeps every change that should survive a restart as a tagged
// record appended to a file that begins with the common frame ("INFO",
// "DATA", version 1, record size 32, the trade date). Fixed-size session
// records carry no length; table records carry a 16-bit length (0 to 2000)
// before their payload. At initialisation the journal is replayed record by
// record through readers registered per tag; replay stops at the first record
// that cannot be read or that its reader refuses (a record of a size its tag
// does not have), and the journal is cut back to the last good record
// before new records are appended, so that nothing written later hides behind
// a damaged record.
//
// The all-trades file has the same frame ("ALLT", version 1) and records of
// tag 22 or 53 with a 16-bit length.
//
// Not thread-safe: used under the library lock. Write errors close the file;
// the session goes on without it. Nothing throws except std::bad_alloc.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/binary_file.h"

namespace kelda::kelapi {

inline constexpr uint32_t kMaxJournalPayload = 2000;

// An append-only file of tagged records.
class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile() { close(); }

  // Creates the file anew with its frame; false (and closed) on failure.
  bool create(std::string_view path, const FileFrame& frame);
  // Opens an existing file, cuts it to `length` bytes and appends after them.
  bool open_at(std::string_view path, uint64_t length);
  void close() noexcept;
  bool is_open() const noexcept { return fd_ >= 0; }

  // Appends one record: the tag byte, the payload's length as 16 bits when
  // asked, the payload. A payload above 2000 bytes with a length is refused.
  // A failed write closes the file.
  bool write(uint8_t tag, std::span<const uint8_t> payload, bool with_length);
  // Appends a length-prefixed record to a buffer that flush() (or a full
  // buffer, or close()) writes out: a stream of many small records costs one
  // write per batch. False when the record was refused or a write failed
  // (the file is then closed).
  bool write_buffered(uint8_t tag, std::span<const uint8_t> payload);
  bool flush();

 private:
  int fd_ = -1;
  std::vector<uint8_t> buffer_;
};

// How the replay reads each tag.
class JournalReaders {
 public:
  // A record of a fixed size without a length; the reader gets its payload.
  using Fixed = std::function<void(uint8_t tag, std::span<const uint8_t> payload)>;
  // A record that reads itself from the file (its size depends on its
  // contents); returns false when it cannot be read in full.
  using Custom = std::function<bool(uint8_t tag, InputFile& file)>;
  // A length-prefixed record.
  using Table = std::function<void(uint8_t tag, std::span<const uint8_t> payload)>;
  // A length-prefixed record whose reader may refuse it (a record of a size
  // the tag does not have): false ends the replay there.
  using CheckedTable = std::function<bool(uint8_t tag, std::span<const uint8_t> payload)>;

  JournalReaders();
  void set_fixed(uint8_t tag, uint32_t size, Fixed reader);
  void set_custom(uint8_t tag, Custom reader);
  // Registers a length-prefixed tag; a null reader reads and skips it.
  void set_table(uint8_t tag, Table reader);
  void set_checked_table(uint8_t tag, CheckedTable reader);

  // Reads one record whose tag byte has been read; false ends the replay.
  bool read(uint8_t tag, InputFile& file) const;

 private:
  enum class Kind : uint8_t { unknown, fixed, custom, table, checked_table };
  struct Entry {
    Kind kind = Kind::unknown;
    uint32_t size = 0;
    Fixed fixed;
    Custom custom;
    Table table;
    CheckedTable checked_table;
  };
  std::array<Entry, 256> entries_;
};

struct JournalReplay {
  bool header_ok = false;
  uint32_t trade_date = 0;
  // The end of the last record read in full (0 when the header failed).
  uint64_t good_end = 0;
  // True when replay stopped at a record that could not be read.
  bool damaged = false;
};

// Replays a journal file through the readers.
JournalReplay replay_journal(std::string_view path, const JournalReaders& readers);

// Replays an all-trades file; `reader` gets each record (tag 22 or 53). The
// result's good_end is where later records are to be appended.
JournalReplay replay_all_trades(std::string_view path, const JournalReaders::Table& reader);

// Reads at most `limit` records of an all-trades file from `offset` on (0:
// right after the frame). The result's good_end is where the next batch
// starts; `more` tells whether the limit stopped the reading.
struct AllTradesBatch {
  JournalReplay replay;
  bool more = false;
};
AllTradesBatch read_all_trades_batch(std::string_view path, uint64_t offset, std::size_t limit,
                                     const JournalReaders::Table& reader);

// The frames of the two files.
FileFrame journal_frame(uint32_t trade_date);
FileFrame all_trades_frame();

}  // namespace kelda::kelapi
