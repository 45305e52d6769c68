// Fuzz target: news.log read back from arbitrary bytes. Checks that the
// table stays within its limits (items, body sizes) whatever the counts in
// the file say, and that a damaged file leaves the table empty.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_work_file.h"
#include "news/news_file.h"

using namespace kelda::kelapi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string path = kelda::fuzzing::work_folder("news-log") + "/news.log";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  NewsTable table;
  std::string reason;
  const NewsFile::Load load = NewsFile::read(path, 20240105, table, reason);
  if (load == NewsFile::Load::damaged && table.size() != 0) std::abort();
  if (table.size() > kMaxNewsItems || table.size() * 256 > size) std::abort();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table.at(i).body.size() > kMaxNewsBody) std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
