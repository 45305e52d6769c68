// Plain binary files of the client library: a buffered reader that never
// reads past the file, a writer that replaces a file whole (temporary file,
// then rename), and the frame that begins every saved table and journal.
//
// File integers are little-endian; records are written as their bytes.
// Paths are 8-bit texts in code page 1251 and are converted for the
// operating system here. Not thread-safe: one owner per object. Errors are
// results, nothing throws except std::bad_alloc.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelda::kelapi {

static_assert(std::endian::native == std::endian::little,
              "saved files are written as the host's little-endian bytes");

// The operating-system path of an 8-bit (1251) path.
std::string os_path(std::string_view path);

// The path of a file in the work folder: folder "/" name, or the bare name
// when the folder is empty (the current folder).
std::string work_file(std::string_view folder, std::string_view name);

// Writes all n bytes to a file descriptor; false when it cannot.
bool write_all(int fd, const void* bytes, std::size_t n);

// Deletes a file given by an 8-bit path; false when it could not be deleted.
bool delete_file(std::string_view path);

class InputFile {
 public:
  // Null when the file cannot be opened (a missing file included).
  static std::optional<InputFile> open(std::string_view path);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&&) = delete;
  ~InputFile();

  // Reads exactly out.size() bytes; false (the position is then undefined) when the
  // file ends first.
  bool read(std::span<uint8_t> out);
  bool read(void* out, std::size_t n) { return read(std::span(static_cast<uint8_t*>(out), n)); }
  std::optional<uint32_t> read_u32();
  std::optional<uint16_t> read_u16();
  std::optional<uint8_t> read_u8();
  // Skips n bytes; false when fewer remain.
  bool skip(uint64_t n);
  // A counted text field (u32 length, then the bytes): the first size - 1
  // bytes at most go into the buffer, which is cleared first and always
  // terminated; the rest of a longer field is skipped. False on a short
  // read or a length of 0xFFFFFFFF.
  bool read_counted_text(char* buffer, std::size_t size);

  uint64_t position() const noexcept { return position_; }
  uint64_t size() const noexcept { return size_; }
  uint64_t remaining() const noexcept { return size_ - position_; }

 private:
  InputFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  std::size_t buffered_begin_ = 0;
  std::size_t buffered_end_ = 0;
};

// Replaces a file whole: bytes go to "<path>.tmp"; commit() renames it over
// the file. Any failure (a short write, a failed close or rename) deletes
// both the temporary file and the file itself, so that no half-written
// table is read back later.
class ReplacingFile {
 public:
  static std::optional<ReplacingFile> create(std::string_view path);
  ReplacingFile(ReplacingFile&& other) noexcept;
  ReplacingFile& operator=(ReplacingFile&&) = delete;
  ~ReplacingFile();  // without commit(): abandons and deletes

  bool write(std::span<const uint8_t> bytes);
  bool write(const void* bytes, std::size_t n) {
    return write(std::span(static_cast<const uint8_t*>(bytes), n));
  }
  bool write_u32(uint32_t value) { return write(&value, sizeof value); }
  // A counted text field: its length, then its bytes (a null text has length 0).
  bool write_counted_text(const char* text);
  bool commit();

 private:
  ReplacingFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void abandon() noexcept;
  bool flush();
  int fd_ = -1;
  bool failed_ = false;
  std::string path_;  // operating-system path of the final file
  std::vector<uint8_t> buffer_;
};

// The first 20 bytes of every saved table and of the journal.
struct FileFrame {
  char info[4];
  char tag[4];
  uint32_t version;
  uint32_t record_size;
  uint32_t count;  // rows of a saved table; the trade date in the journal
};
static_assert(sizeof(FileFrame) == 20);

FileFrame make_frame(const char tag[4], uint32_t version, uint32_t record_size, uint32_t count);

enum class FrameCheck { ok, short_read, bad_mark, bad_tag, bad_version, bad_record_size };

// Reads and checks a frame. On success `frame` holds it.
FrameCheck read_frame(InputFile& file, const char tag[4], uint32_t version, uint32_t record_size,
                      FileFrame& frame);

// The reason a saved table failed to load, for the library's diagnostics.
const char* frame_check_text(FrameCheck check);

}  // namespace kelda::kelapi
