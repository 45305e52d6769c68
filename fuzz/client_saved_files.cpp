// Fuzz target: the readers of the saved market tables and of the journal.
//
// Input: [u32 length][classes.dat][u32 length][sec.dat][u32 length][par.dat]
// and the rest is info.log. The files are written to a work folder and the
// library is initialised from it (which loads the tables and replays the
// journal), then uninitialised.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "fake_net.h"
#include "fuzz_work_file.h"
#include "keldaapi/keldaapi.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

struct Setup {
  std::string dir;
  std::unique_ptr<Library> lib;
  Setup() {
    dir = kelda::fuzzing::work_folder("saved-files");  // in memory: files are rewritten per input
    LibraryOptions options;
    options.net = std::make_shared<test::FakeNet>();
    lib = std::make_unique<Library>(options);
    set_current_library(lib.get());
  }
  ~Setup() {
    set_current_library(nullptr);
    lib.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  void write(const char* name, const uint8_t* data, std::size_t size) const {
    std::ofstream(dir + "/" + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Setup setup;
  std::size_t at = 0;
  for (const char* name : {"classes.dat", "sec.dat", "par.dat"}) {
    uint32_t length = 0;
    if (at + 4 <= size) std::memcpy(&length, data + at, 4);
    at = std::min(at + 4, size);
    const std::size_t n = std::min<std::size_t>(length, size - at);
    setup.write(name, data + at, n);
    at += n;
  }
  setup.write("info.log", data + at, size - at);
  if (KelapiInitializeEx3(0, setup.dir.c_str(), "", 0) != KELAPI_OK) std::abort();
  if (KelapiUninitialize() != KELAPI_OK) std::abort();
  return 0;
}
