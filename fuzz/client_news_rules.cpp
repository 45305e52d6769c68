// Fuzz target: the news-body and rule-file assemblers fed arbitrary parts.
//
// Input: [u8 body size of item 1 / 8][u8 body size of item 2 / 8], then
// records of [u8 kind][u8 target][u8 flags][u16 length][bytes]; an even kind
// is a news body part for item number target % 3, an odd kind a rule-file
// part for request target % 4 (the name is the first bytes, up to 64).
// Checks that a body never passes its announced size or the cap, that a rule
// text never passes the cap, and that nothing is held for unknown numbers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "fake_net.h"
#include "fuzz_work_file.h"
#include "keldaapi/keldaapi.h"
#include "news/news.h"
#include "rules/rule_files.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

struct Setup {
  std::string dir;
  std::unique_ptr<Library> lib;
  Setup() {
    dir = kelda::fuzzing::work_folder("news-rules");  // in memory: files are rewritten per input
    LibraryOptions options;
    options.net = std::make_shared<test::FakeNet>();
    options.environment = [] { return EnvironmentInfo{}; };
    lib = std::make_unique<Library>(options);
    set_current_library(lib.get());
  }
  ~Setup() {
    set_current_library(nullptr);
    lib.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Setup setup;
  if (size < 2) return 0;
  if (KelapiInitializeEx3(1, setup.dir.c_str(), "", 0) != KELAPI_OK) std::abort();
  {
    Library& lib = *setup.lib;
    LibraryLock lock(lib);
    for (int32_t n = 1; n <= 2; ++n) {
      Msg0057_NewsItem item{};
      item.number = n;
      item.id = n;
      item.body_size = data[n - 1] * 8;
      lib.news.append(item);
    }
    const uint16_t first = lib.rule_files.add("F1").number;
    lib.rule_files.add("F2");
    std::size_t at = 2;
    while (size - at >= 5) {
      const uint8_t kind = data[at];
      const uint8_t target = data[at + 1];
      const uint8_t flags = data[at + 2];
      const std::size_t length = static_cast<std::size_t>(data[at + 3] | (data[at + 4] << 8));
      at += 5;
      const std::size_t n = std::min(length, size - at);
      if ((kind & 1) == 0) {
        Msg0058_NewsBodyPart part{};
        part.number = target % 3;
        part.flags = flags;
        part.text_count = static_cast<uint16_t>(length);
        std::memcpy(part.text, data + at, std::min(n, sizeof part.text));
        on_news_body_part(lib, part);
      } else {
        Msg00BB_RuleFilePart part{};
        part.request = static_cast<int32_t>(first + target % 4) | (static_cast<int32_t>(kind) << 16);
        part.flags = flags;
        part.name_count = static_cast<uint16_t>(length);
        std::memcpy(part.name, data + at, std::min(n, sizeof part.name));
        part.text_count = static_cast<uint16_t>(length);
        std::memcpy(part.text, data + at, std::min(n, sizeof part.text));
        on_rule_file_part(lib, part);
      }
      at += n;
      for (std::size_t i = 0; i < lib.news.size(); ++i) {
        const NewsSlot& s = lib.news.at(i);
        if (s.body.size() > static_cast<std::size_t>(s.item.body_size) || s.body.size() > kMaxNewsBody) std::abort();
      }
      if (lib.rule_files.size() > 2) std::abort();
    }
  }
  if (KelapiUninitialize() != KELAPI_OK) std::abort();
  return 0;
}
