#include "bars/archive.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/tagged_memory.h"
#include "data_lines/line_feeds.h"
#include "files/binary_file.h"
#include "market/security_args.h"
#include "messages/records_feeds.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint32_t kVersion = 1;
constexpr std::size_t kStampSize = 37;
constexpr std::size_t kFileBarSize = 48;
constexpr uint16_t kMsgHistoryRequest = 0x8031;
constexpr uint32_t kNoParameter = 0xFFFFFFFF;
constexpr uint32_t kFreeAfterSaveFlags = 0x1000 | 0x200;
constexpr uint16_t kParamWithoutArchive = 0x4000;

struct FileBar {
  double open, high, low, close, volume;
  uint32_t date, time;
};
static_assert(sizeof(FileBar) == kFileBarSize);

std::string escaped(std::string_view code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : code) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-') {
      out.push_back(c);
    } else {
      out += {'%', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return out;
}

std::string period_text(int32_t period) {
  switch (period) {
    case -1:
      return "day";
    case -2:
      return "week";
    case -3:
      return "month";
    default:
      return period > 0 ? std::to_string(period) : std::string();
  }
}

std::string folder(const Library& lib) { return work_file(lib.work_dir(), "archive"); }

// The class's description of a series' parameter; null for a price series
// or a parameter the class no longer carries.
const NetParamEx* param_of(const Library& lib, const SeriesKey& key) {
  if (key.param == kPriceSeries) return nullptr;
  return lib.params.get(lib.securities.at(static_cast<std::size_t>(key.security)).class_index, key.param);
}

std::string series_path(const Library& lib, const SeriesKey& key, const NetParamEx* param) {
  const SecurityRecord& s = lib.securities.at(static_cast<std::size_t>(key.security));
  const ClassRecord& c = lib.classes.at(static_cast<std::size_t>(s.class_index));
  const std::string_view name =
      param == nullptr ? std::string_view() : std::string_view(param->d.db_name, strnlen(param->d.db_name, 16));
  return folder(lib) + "/" +
         archive_file_name(std::string_view(c.d.code, strnlen(c.d.code, sizeof c.d.code)),
                           std::string_view(s.h.code, strnlen(s.h.code, sizeof s.h.code)), key.period, name);
}

std::string stamp(const Library& lib) {
  std::string key(lib.trading_key(), strnlen(lib.trading_key(), kStampSize - 1));
  key.resize(kStampSize, '\0');
  return key;
}

int find_entry(const Library& lib, const SeriesKey& key) {
  return lib.bar_blocks.find(static_cast<uint32_t>(key.security), static_cast<uint32_t>(key.param),
                             static_cast<uint32_t>(key.period));
}

PriceBar& bar_at(BarBlockEntry& e, std::size_t i) { return *static_cast<PriceBar*>(e.blocks[i]); }

void append(BarBlockEntry& e, const PriceBar& bar) {
  void* block = tagged_alloc(AllocTag::minutes, sizeof(PriceBar));
  *static_cast<PriceBar*>(block) = bar;
  try {
    e.blocks.push_back(block);
  } catch (...) {
    tagged_free(block);
    throw;
  }
}

// Drops the oldest bars beyond the archive size.
void cut(Library& lib, BarBlockEntry& e) {
  const auto keep = static_cast<std::size_t>(lib.data_lines.archive_size);
  if (e.blocks.size() <= keep) return;
  const std::size_t drop = e.blocks.size() - keep;
  for (std::size_t i = 0; i < drop; ++i) tagged_free(e.blocks[i]);
  e.blocks.erase(e.blocks.begin(), e.blocks.begin() + static_cast<std::ptrdiff_t>(drop));
}

void free_bars(BarBlockEntry& e) {
  for (void* block : e.blocks) tagged_free(block);
  e.blocks.clear();
}

// Reads a series file into the entry; the stamp it carries, or "" when the
// file is missing or damaged (a damaged one is logged and deleted).
std::string load(Library& lib, const std::string& path, BarBlockEntry& e) {
  auto file = InputFile::open(path);
  if (!file) return {};
  char stored[kStampSize];
  const auto version = file->read_u32();
  bool damaged = !version || *version != kVersion || !file->read(stored, sizeof stored);
  // Only the newest bars that the archive keeps are read.
  const uint64_t bars = damaged ? 0 : file->remaining() / kFileBarSize;
  const auto keep = static_cast<uint64_t>(lib.data_lines.archive_size);
  if (!damaged && bars > keep) damaged = !file->skip((bars - keep) * kFileBarSize);
  FileBar f;
  while (!damaged && file->read(&f, sizeof f)) {
    const uint64_t time = packed_to_file_time(static_cast<int32_t>(f.date), static_cast<int32_t>(f.time));
    if (time == 0 || (!e.blocks.empty() && time <= bar_at(e, e.blocks.size() - 1).time)) {
      damaged = true;
      break;
    }
    if (!e.blocks.empty()) bar_at(e, e.blocks.size() - 1).closed = 1;
    append(e, PriceBar{f.open, f.high, f.low, f.close, f.volume, time, 1, 0, -1});
  }
  if (!damaged) return std::string(stored, sizeof stored);
  diag("KeldaApi: the archive file %s is damaged; it is deleted\n", path.c_str());
  free_bars(e);
  delete_file(path);
  return {};
}

void save(const Library& lib, const std::string& path, BarBlockEntry& e) {
  ::mkdir(os_path(folder(lib)).c_str(), 0755);
  auto file = ReplacingFile::create(path);
  if (!file) return;
  bool ok = file->write_u32(kVersion) && file->write(stamp(lib).data(), kStampSize);
  for (std::size_t i = 0; ok && i < e.blocks.size(); ++i) {
    const PriceBar& b = bar_at(e, i);
    int32_t date = 0;
    const int32_t time = file_time_to_packed(b.time, &date);
    const FileBar f{b.open, b.high, b.low, b.close, b.volume, static_cast<uint32_t>(date), static_cast<uint32_t>(time)};
    ok = file->write(&f, sizeof f);
  }
  if (!ok || !file->commit()) diag("KeldaApi: the archive file %s could not be written\n", path.c_str());
}

// One bar of a history reply, prices already in currency units.
void merge_reply_bar(BarBlockEntry& e, int32_t period, const PriceBar& bar) {
  if (e.blocks.empty() || bar.time > bar_at(e, e.blocks.size() - 1).time) {
    append(e, bar);
    return;
  }
  PriceBar& last = bar_at(e, e.blocks.size() - 1);
  if (bar.time != last.time || (period != -2 && period != -3)) return;
  last.open = bar.open;
  last.high = bar.high;
  last.low = bar.low;
  last.close = bar.close;
  last.volume = bar.volume;
  last.changed = 1;
  if (e.blocks.size() >= 2) bar_at(e, e.blocks.size() - 2).closed = 1;
}

}  // namespace

std::string archive_file_name(std::string_view class_code, std::string_view security_code, int32_t period,
                              std::string_view param_name) {
  std::string name = escaped(class_code) + "_" + escaped(security_code) + "_";
  if (!param_name.empty()) name += escaped(param_name) + "_";
  return name + period_text(period) + ".dat";
}

void ask_archive(Library& lib, const SeriesKey& key) {
  const NetParamEx* param = param_of(lib, key);
  if (key.param != kPriceSeries &&
      (param == nullptr || (static_cast<uint16_t>(param->d.flags) & kParamWithoutArchive) != 0)) {
    return;
  }
  if (find_entry(lib, key) >= 0) return;
  const int index = lib.bar_blocks.add(static_cast<uint32_t>(key.security), static_cast<uint32_t>(key.param),
                                       static_cast<uint32_t>(key.period), 0);
  BarBlockEntry& e = lib.bar_blocks.at(index);
  const std::string path = series_path(lib, key, param);
  if (load(lib, path, e) == stamp(lib)) {
    e.word = 1;  // written in this session: complete
    return;
  }
  if (!lib.connected()) return;
  Msg8031_HistoryRequest m{lib.securities.at(static_cast<std::size_t>(key.security)).h.server_id,
                           param == nullptr ? kPriceSeries : int32_t{param->number}, key.period, 0, 0};
  if (!e.blocks.empty()) m.time = file_time_to_packed(bar_at(e, e.blocks.size() - 1).time, &m.date);
  lib.send_message(kMsgHistoryRequest, &m);
}

bool archive_ready(Library& lib, const SeriesKey& key) {
  if (!lib.connected()) return true;
  const int index = find_entry(lib, key);
  return index < 0 || lib.bar_blocks.at(index).word != 0;
}

bool archive_holds(Library& lib, const SeriesKey& key) { return find_entry(lib, key) >= 0; }

BarSeries take_archive(Library& lib, const SeriesKey& key) {
  BarSeries bars;
  const int index = find_entry(lib, key);
  if (index < 0) return bars;
  BarBlockEntry& e = lib.bar_blocks.at(index);
  bars.reserve(e.blocks.size());
  for (std::size_t i = 0; i < e.blocks.size(); ++i) bars.push_back(bar_at(e, i));
  lib.bar_blocks.remove(index, true);
  return bars;
}

void on_archive_reply(Library& lib, std::span<const uint8_t> data) {
  if (!lib.connected() || data.size() < 16) return;
  uint32_t head[4];
  std::memcpy(head, data.data(), sizeof head);
  const auto [server_id, parameter, period_word, count] = head;
  if (count > (data.size() - 16) / kFileBarSize) return;  // fewer whole records than it says
  const int64_t security = lib.securities.find_by_server_id(static_cast<int32_t>(server_id));
  if (security < 0) return;
  SeriesKey key{static_cast<int32_t>(security), kPriceSeries, static_cast<int32_t>(period_word)};
  if (parameter != kNoParameter) {
    // The parameter's number within the security's class.
    const int32_t class_index = lib.securities.at(static_cast<std::size_t>(security)).class_index;
    if (parameter >= 64) return;
    key.param = lib.params.slot_by_number(class_index, static_cast<int32_t>(parameter));
    if (key.param < 0) return;
  }
  const int32_t period = key.period;
  const int index = find_entry(lib, key);
  if (index < 0) return;
  BarBlockEntry& e = lib.bar_blocks.at(index);
  const int scale = lib.securities.at(static_cast<std::size_t>(security)).h.scale;
  const double unit = 1.0 / std::pow(10.0, scale);
  for (uint32_t i = 0; i < count; ++i) {
    FileBar r;  // on the wire: volume first, then open, high, low, close
    double v[5];
    std::memcpy(v, data.data() + 16 + i * kFileBarSize, sizeof v);
    std::memcpy(&r.date, data.data() + 16 + i * kFileBarSize + 40, 8);
    const uint64_t time = packed_to_file_time(static_cast<int32_t>(r.date), static_cast<int32_t>(r.time));
    if (time == 0) continue;
    merge_reply_bar(e, period, PriceBar{v[1] * unit, v[2] * unit, v[3] * unit, v[4] * unit, v[0], time, 1, 0, -1});
  }
  cut(lib, e);
  save(lib, series_path(lib, key, param_of(lib, key)), e);
  e.word = 1;
  const bool free_after = (lib.init_flags() & kFreeAfterSaveFlags) != 0;
  refresh_lines_of_security(lib, key.security, true);
  // The refresh may have taken the entry: look it up again.
  const int still = find_entry(lib, key);
  if (free_after && still >= 0) free_bars(lib.bar_blocks.at(still));
}

KelapiResult clear_data_line_archive(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                     const char* param_name) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  const int64_t s = security_of(lib, class_number, security_number);
  if (s < 0) return KELAPI_E_INVALIDARG;
  SeriesKey key{static_cast<int32_t>(s), kPriceSeries, period};
  const NetParamEx* param = nullptr;
  if (param_name != nullptr) {
    key.param = lib.params.slot_by_name(std::string_view(param_name, strnlen(param_name, 17)));
    param = key.param < 0 ? nullptr : param_of(lib, key);
    if (param == nullptr) return KELAPI_E_INVALIDARG;
  }
  delete_file(series_path(lib, key, param));
  return KELAPI_OK;
}

KelapiResult clear_archive(Library& lib) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  std::error_code ec;
  // Files only: a folder someone put there is left alone.
  for (const auto& entry : std::filesystem::directory_iterator(os_path(folder(lib)), ec)) {
    if (entry.is_regular_file(ec)) std::filesystem::remove(entry.path(), ec);
  }
  lib.bar_blocks.clear();
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
