// Reading, appending and rewriting news.log.
#include "news/news_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>
#include <optional>
#include <vector>

#include "core/text_util.h"
#include "files/binary_file.h"

namespace kelda::kelapi {
namespace {

constexpr char kNewsTag[4] = {'N', 'E', 'W', 'S'};
constexpr uint32_t kNewsVersion = 1;

struct SlotRecord {
  uint32_t item_pointer;
  uint32_t body_pointer;
  uint32_t body_complete;
  uint32_t deleted;
};
static_assert(sizeof(SlotRecord) == 16);
constexpr uint64_t kDeletedFlagOffset = offsetof(SlotRecord, deleted);
constexpr uint64_t kCountOffset = offsetof(FileFrame, count);
constexpr uint64_t kLeastRecord = sizeof(SlotRecord) + sizeof(Msg0057_NewsItem) + sizeof(uint32_t);

// The bytes of one record.
std::vector<uint8_t> record_bytes(const NewsSlot& slot) {
  SlotRecord s{0, 0, slot.body_complete ? 1u : 0u, 0};
  const auto body_length = static_cast<uint32_t>(slot.body.size());
  std::vector<uint8_t> out(kLeastRecord + body_length);
  uint8_t* p = out.data();
  std::memcpy(p, &s, sizeof s);
  std::memcpy(p + sizeof s, &slot.item, sizeof slot.item);
  std::memcpy(p + sizeof s + sizeof slot.item, &body_length, sizeof body_length);
  if (body_length > 0) std::memcpy(p + kLeastRecord, slot.body.data(), body_length);
  return out;
}

struct Piece {
  uint64_t offset;
  const void* bytes;
  std::size_t size;
};

// Writes pieces at their offsets of an existing file, in order.
bool write_at(const std::string& path, std::initializer_list<Piece> pieces) {
  const int fd = ::open(os_path(path).c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = true;
  for (const Piece& p : pieces) {
    ok = ok && ::lseek(fd, static_cast<off_t>(p.offset), SEEK_SET) == static_cast<off_t>(p.offset) &&
         write_all(fd, p.bytes, p.size);
  }
  ok = ::close(fd) == 0 && ok;
  return ok;
}

Msg0057_NewsItem terminated(const Msg0057_NewsItem& item) {
  Msg0057_NewsItem r = item;
  copy_field(r.code, item.code);
  copy_field(r.source, item.source);
  copy_field(r.headline, item.headline);
  return r;
}

}  // namespace

bool NewsFile::fail() {
  delete_file(path_);
  valid_ = false;
  return false;
}

bool NewsFile::rewrite(NewsTable& table) {
  valid_ = false;
  auto f = ReplacingFile::create(path_);
  if (!f) return fail();
  uint32_t count = 0;
  for (std::size_t i = 0; i < table.size(); ++i) count += table.at(i).deleted ? 0 : 1;
  const FileFrame frame = make_frame(kNewsTag, kNewsVersion, sizeof(SlotRecord), count);
  bool ok = f->write(&frame, sizeof frame);
  uint64_t offset = sizeof frame;
  for (std::size_t i = 0; ok && i < table.size(); ++i) {
    NewsSlot& slot = table.at_mut(i);
    slot.file_offset = slot.body_offset = -1;
    if (slot.deleted) continue;
    const std::vector<uint8_t> bytes = record_bytes(slot);
    ok = f->write(bytes.data(), bytes.size());
    slot.file_offset = static_cast<int64_t>(offset);
    offset += bytes.size();
  }
  if (!ok || !f->commit()) return fail();
  valid_ = true;
  records_ = count;
  end_ = offset;
  return true;
}

bool NewsFile::append_record(NewsTable& table, NewsSlot& slot, int64_t& offset) {
  if (!valid_) return rewrite(table);
  const std::vector<uint8_t> bytes = record_bytes(slot);
  const uint32_t count = records_ + 1;
  // The record first, then the count that takes it in.
  if (!write_at(path_, {{end_, bytes.data(), bytes.size()}, {kCountOffset, &count, sizeof count}})) return fail();
  offset = static_cast<int64_t>(end_);
  end_ += bytes.size();
  records_ = count;
  return true;
}

bool NewsFile::append(NewsTable& table, NewsSlot& slot) { return append_record(table, slot, slot.file_offset); }

bool NewsFile::append_body(NewsTable& table, NewsSlot& slot) {
  // A body fetched again replaces the one recorded before.
  const uint32_t deleted = 1;
  if (valid_ && slot.body_offset >= 0 &&
      !write_at(path_, {{static_cast<uint64_t>(slot.body_offset) + kDeletedFlagOffset, &deleted, sizeof deleted}})) {
    return fail();
  }
  return append_record(table, slot, slot.body_offset);
}

bool NewsFile::mark_deleted(NewsTable& table, const NewsSlot& slot) {
  if (!valid_) return rewrite(table);
  const uint32_t deleted = 1;
  for (const int64_t offset : {slot.file_offset, slot.body_offset}) {
    if (offset < 0) continue;
    if (!write_at(path_, {{static_cast<uint64_t>(offset) + kDeletedFlagOffset, &deleted, sizeof deleted}})) {
      return fail();
    }
  }
  return true;
}

NewsFile::Load NewsFile::read(const std::string& path, int32_t today, NewsTable& table, std::string& reason) {
  auto file = InputFile::open(path);
  if (!file) return Load::missing;
  FileFrame frame{};
  const FrameCheck check = read_frame(*file, kNewsTag, kNewsVersion, sizeof(SlotRecord), frame);
  if (check != FrameCheck::ok) {
    reason = frame_check_text(check);
    return Load::damaged;
  }
  if (frame.count > kMaxNewsItems || frame.count * kLeastRecord > file->remaining()) {
    reason = "a count of items beyond the file";
    return Load::damaged;
  }
  table.reserve_for(frame.count);
  for (uint32_t i = 0; i < frame.count; ++i) {
    SlotRecord s{};
    Msg0057_NewsItem item{};
    const auto body_length = [&]() -> std::optional<uint32_t> {
      if (!file->read(&s, sizeof s) || !file->read(&item, sizeof item)) return std::nullopt;
      return file->read_u32();
    }();
    if (!body_length || *body_length > kMaxNewsBody || *body_length > file->remaining()) {
      table.clear();
      reason = "a short or oversized record";
      return Load::damaged;
    }
    std::string body(*body_length, '\0');
    if (!body.empty() && !file->read(body.data(), body.size())) {
      table.clear();
      reason = "a short record";
      return Load::damaged;
    }
    if (s.deleted != 0 || static_cast<int64_t>(today) - item.date > 1) continue;
    const Msg0057_NewsItem kept = terminated(item);
    const int64_t held = table.find_key(kept.id, field_text(kept.code), kept.time, kept.date);
    NewsSlot& slot = held >= 0 ? table.at_mut(static_cast<std::size_t>(held)) : table.append(kept);
    slot.body = std::move(body);
    slot.body_complete = s.body_complete != 0;
  }
  return Load::loaded;
}

}  // namespace kelda::kelapi
