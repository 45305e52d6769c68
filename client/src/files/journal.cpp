#include "files/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kelda::kelapi {
namespace {

constexpr char kJournalTag[4] = {'D', 'A', 'T', 'A'};
constexpr char kAllTradesTag[4] = {'A', 'L', 'L', 'T'};
constexpr uint32_t kJournalRecordSize = 32;

// Reads a length-prefixed payload into `payload`; false when it cannot.
bool read_table_payload(InputFile& file, std::vector<uint8_t>& payload) {
  const auto length = file.read_u16();
  if (!length || *length > kMaxJournalPayload) return false;
  payload.resize(*length);
  return file.read(payload);
}

}  // namespace

bool RecordFile::create(std::string_view path, const FileFrame& frame) {
  close();
  fd_ = ::open(os_path(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return false;
  if (!write_all(fd_, &frame, sizeof frame)) {
    close();
    return false;
  }
  return true;
}

bool RecordFile::open_at(std::string_view path, uint64_t length) {
  close();
  fd_ = ::open(os_path(path).c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0 ||
      ::lseek(fd_, static_cast<off_t>(length), SEEK_SET) < 0) {
    close();
    return false;
  }
  return true;
}

void RecordFile::close() noexcept {
  if (fd_ >= 0) {
    if (!buffer_.empty()) write_all(fd_, buffer_.data(), buffer_.size());
    ::close(fd_);
  }
  buffer_.clear();
  fd_ = -1;
}

bool RecordFile::write_buffered(uint8_t tag, std::span<const uint8_t> payload) {
  constexpr std::size_t kFlushAt = 64 * 1024;
  if (fd_ < 0 || payload.size() > kMaxJournalPayload) return false;
  const auto n = static_cast<uint16_t>(payload.size());
  buffer_.push_back(tag);
  buffer_.push_back(static_cast<uint8_t>(n & 0xFF));
  buffer_.push_back(static_cast<uint8_t>(n >> 8));
  buffer_.insert(buffer_.end(), payload.begin(), payload.end());
  return buffer_.size() < kFlushAt || flush();
}

bool RecordFile::flush() {
  if (fd_ < 0) return false;
  if (buffer_.empty()) return true;
  const bool ok = write_all(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
  if (!ok) close();
  return ok;
}

bool RecordFile::write(uint8_t tag, std::span<const uint8_t> payload, bool with_length) {
  if (fd_ < 0) return false;
  if (with_length && payload.size() > kMaxJournalPayload) return false;
  uint8_t head[3] = {tag, 0, 0};
  std::size_t head_size = 1;
  if (with_length) {
    const auto n = static_cast<uint16_t>(payload.size());
    std::memcpy(head + 1, &n, 2);
    head_size = 3;
  }
  // One write per record keeps a record whole when the process ends between
  // two of them.
  uint8_t small[3 + kMaxJournalPayload];
  bool ok;
  if (payload.size() <= kMaxJournalPayload) {
    std::memcpy(small, head, head_size);
    if (!payload.empty()) std::memcpy(small + head_size, payload.data(), payload.size());
    ok = write_all(fd_, small, head_size + payload.size());
  } else {
    ok = write_all(fd_, head, head_size) && write_all(fd_, payload.data(), payload.size());
  }
  if (!ok) close();
  return ok;
}

JournalReaders::JournalReaders() = default;

void JournalReaders::set_fixed(uint8_t tag, uint32_t size, Fixed reader) {
  entries_[tag] = Entry{Kind::fixed, size, std::move(reader), {}, {}, {}};
}

void JournalReaders::set_custom(uint8_t tag, Custom reader) {
  entries_[tag] = Entry{Kind::custom, 0, {}, std::move(reader), {}, {}};
}

void JournalReaders::set_table(uint8_t tag, Table reader) {
  entries_[tag] = Entry{Kind::table, 0, {}, {}, std::move(reader), {}};
}

void JournalReaders::set_checked_table(uint8_t tag, CheckedTable reader) {
  entries_[tag] = Entry{Kind::checked_table, 0, {}, {}, {}, std::move(reader)};
}

bool JournalReaders::read(uint8_t tag, InputFile& file) const {
  const Entry& e = entries_[tag];
  switch (e.kind) {
    case Kind::unknown:
      return false;
    case Kind::fixed: {
      uint8_t payload[256];
      if (e.size > sizeof payload || !file.read(payload, e.size)) return false;
      if (e.fixed) e.fixed(tag, std::span<const uint8_t>(payload, e.size));
      return true;
    }
    case Kind::custom:
      return e.custom && e.custom(tag, file);
    case Kind::table: {
      std::vector<uint8_t> payload;
      if (!read_table_payload(file, payload)) return false;
      if (e.table) e.table(tag, payload);
      return true;
    }
    case Kind::checked_table: {
      std::vector<uint8_t> payload;
      if (!read_table_payload(file, payload)) return false;
      return !e.checked_table || e.checked_table(tag, payload);
    }
  }
  return false;
}

JournalReplay replay_journal(std::string_view path, const JournalReaders& readers) {
  JournalReplay result;
  auto file = InputFile::open(path);
  if (!file) return result;
  FileFrame frame;
  if (read_frame(*file, kJournalTag, 1, kJournalRecordSize, frame) != FrameCheck::ok) return result;
  result.header_ok = true;
  result.trade_date = frame.count;
  while (true) {
    result.good_end = file->position();
    const auto tag = file->read_u8();
    if (!tag) break;  // the end of the journal
    if (!readers.read(*tag, *file)) {
      result.damaged = true;
      break;
    }
  }
  return result;
}

JournalReplay replay_all_trades(std::string_view path, const JournalReaders::Table& reader) {
  return read_all_trades_batch(path, 0, SIZE_MAX, reader).replay;
}

AllTradesBatch read_all_trades_batch(std::string_view path, uint64_t offset, std::size_t limit,
                                     const JournalReaders::Table& reader) {
  AllTradesBatch batch;
  JournalReplay& result = batch.replay;
  auto file = InputFile::open(path);
  if (!file) return batch;
  FileFrame frame;
  if (!file->read(&frame, sizeof frame) || std::memcmp(frame.info, "INFO", 4) != 0 ||
      std::memcmp(frame.tag, kAllTradesTag, 4) != 0 || frame.version != 1) {
    return batch;
  }
  result.header_ok = true;
  if (offset > file->position() && !file->skip(offset - file->position())) {
    result.good_end = file->position();
    return batch;
  }
  std::vector<uint8_t> payload;
  for (std::size_t n = 0;; ++n) {
    result.good_end = file->position();
    if (n == limit) {
      batch.more = file->remaining() > 0;
      break;
    }
    const auto tag = file->read_u8();
    if (!tag) break;
    if ((*tag != 22 && *tag != 53) || !read_table_payload(*file, payload)) {
      result.damaged = true;
      break;
    }
    if (reader) reader(*tag, payload);
  }
  return batch;
}

FileFrame journal_frame(uint32_t trade_date) {
  return make_frame(kJournalTag, 1, kJournalRecordSize, trade_date);
}

FileFrame all_trades_frame() { return make_frame(kAllTradesTag, 1, 0, 0); }

}  // namespace kelda::kelapi
