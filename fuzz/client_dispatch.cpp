// Fuzz target: the client library's message handlers on arbitrary decoded
// records of every registered id, in sequences (so that descriptions,
// completions and refreshes meet the requests they answer).
//
// Input: records of [u16 message id][u16 length][bytes]; an id without a
// handler picks the handler at (id modulo the table's size). Each record
// reaches its handler as a zero-padded decoded record of exactly the size the
// codec gives it. The first byte chooses the initialisation flags.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "fake_net.h"
#include "fuzz_work_file.h"
#include "keldaapi/keldaapi.h"
#include "library_access.h"
#include "messages/message_set.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

struct Setup {
  std::string dir;
  std::unique_ptr<Library> lib;
  std::size_t handlers = 0;
  Setup() {
    // The library's files are rewritten at every input: in memory, so that
    // no disk write-back holds the run up.
    dir = kelda::fuzzing::work_folder("dispatch");
    LibraryOptions options;
    options.net = std::make_shared<test::FakeNet>();
    options.environment = [] { return EnvironmentInfo{}; };
    lib = std::make_unique<Library>(options);
    set_current_library(lib.get());
    for (const MessageHandlerEntry* e = kelapi_handler_table(); e->id != 0; ++e) ++handlers;
  }
  ~Setup() {
    set_current_library(nullptr);
    lib.reset();
  }
};

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Setup setup;
  if (size < 1) return 0;
  const uint32_t flags = (data[0] & 1) != 0 ? 0x8 : 0;
  if (KelapiInitializeEx3(1, setup.dir.c_str(), "", flags) != KELAPI_OK) std::abort();
  {
    LibraryLock lock(*setup.lib);
    LibraryTestAccess::pretend_connected(*setup.lib, 1);
    std::size_t at = 1;
    while (at + 4 <= size) {
      const uint16_t id = read16(data + at);
      const std::size_t length = std::min<std::size_t>(read16(data + at + 2), size - at - 4);
      at += 4;
      const MessageHandlerEntry* entry = nullptr;
      for (const MessageHandlerEntry* e = kelapi_handler_table(); e->id != 0; ++e) {
        if (e->id == id) entry = e;
      }
      if (entry == nullptr) entry = kelapi_handler_table() + id % setup.handlers;
      const std::size_t size = test::decoded_size(static_cast<uint16_t>(entry->id));
      auto record = std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
      std::memset(record.get(), 0, size);
      if (length > 0 && size > 0) std::memcpy(record.get(), data + at, std::min(length, size));
      at += length;
      entry->handler(static_cast<uint16_t>(entry->id), record.get());
    }
    LibraryTestAccess::pretend_disconnected(*setup.lib);
  }
  if (KelapiUninitialize() != KELAPI_OK) std::abort();
  return 0;
}
