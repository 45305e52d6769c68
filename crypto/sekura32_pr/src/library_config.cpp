// Reading and rewriting the library's configuration file.
#include "library_config.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "kit/files.h"
#include "kit/paths.h"
#include "provider.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32_pr {

namespace {

bool blank_char(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text, std::size_t& begin, std::size_t& end) {
  while (begin < end && blank_char(text[begin])) ++begin;
  while (end > begin && blank_char(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool same_key(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Puts the path into the library's settings slot of the key (a fresh block of
// the size the library keeps its paths in).
void store_setting(const std::string& key, const std::string& value) {
  int slot = -1;
  if (same_key(key, "SECRING")) slot = SK_SETTING_SECRET_RING;
  if (same_key(key, "PUBRING")) slot = SK_SETTING_PUBLIC_RING;
  if (slot < 0 || skSettings == nullptr || value.size() + 1 > SK_MAX_PATH) return;
  auto* copy = static_cast<char*>(skCalloc(1, SK_MAX_PATH));
  if (copy == nullptr) return;
  std::memcpy(copy, value.data(), value.size());
  char* old = skSettings[slot];
  skSettings[slot] = copy;
  skFree(old);
}

// Why the file could not be read for update.
enum class ReadFailure { none, open, size, memory, read };

class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::unique_ptr<char[]> heap_buffer(std::size_t size) { return std::unique_ptr<char[]>(new (std::nothrow) char[size]); }

// Opens the file for update, takes its size and reads it whole, each step
// with its own failure. A file that is not a regular one (a pipe, a device)
// has no size to take.
ReadFailure read_for_update(const std::filesystem::path& path, ConfigBufferAllocator allocate, std::string& text) {
  const FileHandle file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (file.get() < 0) return ReadFailure::open;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return ReadFailure::size;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size >= std::numeric_limits<std::size_t>::max()) return ReadFailure::memory;
  std::unique_ptr<char[]> buffer = allocate(static_cast<std::size_t>(size) + 1);
  if (!buffer) return ReadFailure::memory;
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(file.get(), buffer.get() + got, static_cast<std::size_t>(size) - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadFailure::read;  // an error, or the file shrank under us
    got += static_cast<std::size_t>(n);
  }
  text.assign(buffer.get(), got);
  return ReadFailure::none;
}

}  // namespace

ConfigScan scan_library_config(std::string_view text, std::string_view key) {
  ConfigScan scan;
  std::size_t line = 0;
  while (line < text.size()) {
    std::size_t end = text.find_first_of("\r\n", line);
    if (end == std::string_view::npos) end = text.size();
    // The content of the line before any comment.
    std::size_t content_end = text.find('#', line);
    if (content_end == std::string_view::npos || content_end > end) content_end = end;
    const std::string_view content = text.substr(line, content_end - line);
    const std::size_t open = content.find('[');
    const std::size_t close = content.find(']');
    if (close != std::string_view::npos && (open == std::string_view::npos || open > close)) {
      scan.wrong_format = true;
      return scan;
    }
    if (open != std::string_view::npos && text.find(']', line + open) != std::string_view::npos) return scan;
    const std::size_t equals = content.find('=');
    if (equals != std::string_view::npos) {
      std::size_t key_begin = line, key_end = line + equals;
      if (trimmed(text, key_begin, key_end).empty()) {
        scan.wrong_format = true;
        return scan;
      }
      std::size_t value_begin = line + equals + 1, value_end = content_end;
      trimmed(text, value_begin, value_end);
      if (!scan.found && same_key(text.substr(key_begin, key_end - key_begin), key)) {
        scan.found = true;
        scan.value_begin = value_begin;
        scan.value_end = value_end;
      }
    }
    line = end;
    while (line < text.size() && (text[line] == '\r' || text[line] == '\n')) ++line;
  }
  return scan;
}

int32_t write_library_config(const std::string& file, const std::string& key, const std::string& value,
                             char* error, uint32_t error_size, ConfigBufferAllocator allocate) {
  const std::string name = file.empty() ? kDefaultConfigName : file;
  const std::filesystem::path path = kit::path_from_ansi(name.c_str());
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !kit::write_whole_file(path, "")) {
    write_error(error, error_size, "Can't open file \"%s\" for edit", name.c_str());
    return 0;
  }
  std::string text;
  switch (read_for_update(path, allocate != nullptr ? allocate : heap_buffer, text)) {
    case ReadFailure::none:
      break;
    case ReadFailure::open:
      write_error(error, error_size, "Can't open file \"%s\" for edit", name.c_str());
      return 0;
    case ReadFailure::size:
      write_error(error, error_size, "Can't get information about size for file \"%s\"", name.c_str());
      return 0;
    case ReadFailure::memory:
      write_error(error, error_size, "Memory allocation error occur when edit file \"%s\"", name.c_str());
      return 0;
    case ReadFailure::read:
      write_error(error, error_size, "Error occur when edit file \"%s\"", name.c_str());
      return 0;
  }
  const ConfigScan scan = scan_library_config(text, key);
  if (scan.wrong_format) {
    write_error(error, error_size, "Wrong format of file \"%s\"", name.c_str());
    return 0;
  }
  if (scan.found) {
    text.replace(scan.value_begin, scan.value_end - scan.value_begin, value);
  } else {
    text.insert(0, key + "=" + value + "\r\n");
  }
  if (!kit::write_whole_file(path, text)) {
    write_error(error, error_size, "Error occur when edit file \"%s\"", name.c_str());
    return 0;
  }
  store_setting(key, value);
  return 1;
}

}  // namespace kelda::sekura32_pr
