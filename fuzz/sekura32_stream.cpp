// The cryptographic library's stream reader over arbitrary files: the bytes
// are written to a file, read back through a file stream line by line and in
// pieces, and copied through a temporary stream that may spill to a file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "sekura32/sekura32.h"
#include "stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::sekura32;
  static const std::string path = "/tmp/sekura32-fuzz-" + std::to_string(getpid()) + ".bin";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  SkStream* file = skFileStream(path.c_str());
  if (file == nullptr || file->rewind_read(file) != 0) {
    if (file != nullptr) file->close(file);
    return 0;
  }
  char line[32];
  bool ended = false;
  while (stream_read_line(file, line, size % sizeof line + 1, &ended) != 0 && !ended) {
  }
  file->rewind_read(file);
  SkStream* copy = skTempStream();
  uint8_t piece[97];
  uint32_t piece_size = uint32_t(size % sizeof piece) + 1;
  while (uint32_t n = file->read(file, piece, piece_size)) {
    if (copy->write(copy, piece, n) != n) break;
  }
  copy->rewind_read(copy);
  while (copy->read(copy, piece, piece_size) != 0) {
  }
  copy->close(copy);
  file->close(file);
  std::remove(path.c_str());
  return 0;
}
