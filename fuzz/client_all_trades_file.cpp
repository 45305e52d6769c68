// Fuzz target: alltrades.dat read back. The input is the file; it is read in
// batches of a size taken from its last byte into a library whose market
// holds one class of three securities, and every row kept must name one of
// them and come in ascending sequence.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "all_trades/all_trades.h"
#include "fake_net.h"
#include "files/journal.h"
#include "fuzz_work_file.h"
#include "market/market.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

struct Setup {
  std::string dir;
  std::unique_ptr<Library> lib;
  Setup() {
    dir = kelda::fuzzing::work_folder("all-trades");  // in memory: files are rewritten per input
    LibraryOptions options;
    options.net = std::make_shared<test::FakeNet>();
    lib = std::make_unique<Library>(options);
    set_current_library(lib.get());
    lib->initialise(1, dir.c_str(), nullptr, 0, true);
    LibraryLock lock(*lib);
    ClassDescription d;
    std::memset(&d, 0, sizeof d);
    d.server_id = 1;
    std::strcpy(d.code, "CLS");
    on_class_description(*lib, d);
    for (int i = 0; i < 3; ++i) {
      SecurityHead h;
      std::memset(&h, 0, sizeof h);
      h.request = static_cast<int32_t>(lib->classes.at(0).securities_request);
      h.server_id = 100 + i;
      h.scale = 2;
      std::snprintf(h.code, sizeof h.code, "S%d", i);
      on_security_description(*lib, h);
    }
  }
  ~Setup() {
    lib->uninitialise();
    set_current_library(nullptr);
    lib.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Setup setup;
  Library& lib = *setup.lib;
  const std::string path = setup.dir + "/trades.dat";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  LibraryLock lock(lib);
  lib.all_trades.reset();
  const std::size_t limit = size == 0 ? 1 : 1 + data[size - 1] % 16;
  uint64_t offset = 0;
  for (int rounds = 0; rounds < 100000; ++rounds) {
    const auto batch = read_all_trades_batch(path, offset, limit, [&lib](uint8_t tag, std::span<const uint8_t> p) {
      replay_all_trade(lib, tag, p);
    });
    if (!batch.more) break;
    if (batch.replay.good_end <= offset && offset != 0) std::abort();  // no progress
    offset = batch.replay.good_end;
  }
  const auto& rows = lib.all_trades.rows;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows.at(i).security < 0 || rows.at(i).security >= 3) std::abort();
    if (i > 0 && rows.at(i - 1).sequence >= rows.at(i).sequence) std::abort();
  }
  return 0;
}
