// Reading and writing news.log.
#include "news/news_file.h"

#include <algorithm>
#include <cstring>
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

Msg0057_NewsItem terminated(const Msg0057_NewsItem& item) {
  Msg0057_NewsItem r = item;
  copy_field(r.code, item.code);
  copy_field(r.source, item.source);
  copy_field(r.headline, item.headline);
  return r;
}

}  // namespace

void NewsFile::changed(int64_t now_ms) {
  if (pending_) return;
  pending_ = true;
  due_.store(std::max(now_ms, next_allowed_ms_));
}

bool NewsFile::save_if_due(const NewsTable& table, int64_t now_ms) {
  if (!pending_ || now_ms < due_.load()) return true;
  return rewrite(table, now_ms);
}

bool NewsFile::save_now(const NewsTable& table, int64_t now_ms) {
  return pending_ ? rewrite(table, now_ms) : true;
}

bool NewsFile::rewrite(const NewsTable& table, int64_t now_ms) {
  pending_ = false;
  due_.store(-1);
  next_allowed_ms_ = now_ms + kMinSaveGapMs;
  auto f = ReplacingFile::create(path_);
  if (!f) return false;  // the file is gone already
  uint32_t count = 0;
  for (std::size_t i = 0; i < table.size(); ++i) count += table.at(i).deleted ? 0 : 1;
  const FileFrame frame = make_frame(kNewsTag, kNewsVersion, sizeof(SlotRecord), count);
  bool ok = f->write(&frame, sizeof frame);
  uint64_t bytes = sizeof frame;
  for (std::size_t i = 0; ok && i < table.size(); ++i) {
    const NewsSlot& slot = table.at(i);
    if (slot.deleted) continue;
    const std::vector<uint8_t> record = record_bytes(slot);
    ok = f->write(record.data(), record.size());
    bytes += record.size();
  }
  if (!ok || !f->commit()) return false;  // both delete the file
  next_allowed_ms_ += static_cast<int64_t>(bytes / kSaveBytesPerMs);
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
