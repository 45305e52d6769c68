// Fuzz target: the price-bar archive's file reader and its history replies.
//
// Input: [u8 mode][u32 file length][file][reply]. Bit 0 of the mode picks a
// parameter series (else a price series), bits 1-2 its period (5 minutes,
// day, week, month); with bit 3 the reply's first three words are set to
// name that series, so that its bars are read. The file is put in the
// archive folder under the series' name, the series is asked for (the file
// read) and the reply applied; the bars handed over must stay in ascending
// time and within the archive size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bars/archive.h"
#include "offline_library.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

struct Setup {
  test::OfflineLibrary offline;
  Setup() {
    const int32_t c = offline.add_class(5, "CLS");
    offline.add_security(c, 100, "SEC", 2);
    offline.add_param(c, "PRM", 0x1, 2, true);
    std::filesystem::create_directories(offline.folder() + "/archive");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Setup setup;
  if (size < 5) return 0;
  const uint8_t mode = data[0];
  uint32_t file_length = 0;
  std::memcpy(&file_length, data + 1, 4);
  std::size_t at = 5;
  const std::size_t file_size = std::min<std::size_t>(file_length, size - at);
  const bool parameter = (mode & 1) != 0;
  const int32_t periods[] = {5, -1, -2, -3};
  const int32_t period = periods[(mode >> 1) & 3];
  const std::string name = archive_file_name("CLS", "SEC", period, parameter ? "PRM" : "");
  std::ofstream(setup.offline.folder() + "/archive/" + name, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + at), static_cast<std::streamsize>(file_size));
  at += file_size;
  std::vector<uint8_t> reply(data + at, data + size);
  if ((mode & 8) != 0 && reply.size() >= 12) {
    const uint32_t head[3] = {100, parameter ? 0u : 0xFFFFFFFFu, static_cast<uint32_t>(period)};
    std::memcpy(reply.data(), head, sizeof head);
  }
  Library& lib = setup.offline.lib();
  const SeriesKey key{0, parameter ? lib.params.slot_by_name("PRM") : kPriceSeries, period};
  LibraryLock lock(lib);
  ask_archive(lib, key);
  on_archive_reply(lib, reply);
  const BarSeries bars = take_archive(lib, key);
  if (bars.size() > static_cast<std::size_t>(lib.data_lines.archive_size)) std::abort();
  for (std::size_t i = 1; i < bars.size(); ++i) {
    if (bars[i].time <= bars[i - 1].time) std::abort();
  }
  return 0;
}
