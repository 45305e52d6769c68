#include "files/binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <algorithm>

#include "kit/codepage.h"
#include "kit/files.h"

namespace kelda::kelapi {
namespace {

constexpr std::size_t kReadBuffer = 64 * 1024;
constexpr std::size_t kWriteBuffer = 64 * 1024;

}  // namespace

bool write_all(int fd, const void* bytes, std::size_t n) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (n > 0) {
    const auto chunk = static_cast<uint32_t>(std::min<std::size_t>(n, 1u << 30));
    if (kelda::kit::file_write(fd, p, chunk) != static_cast<int32_t>(chunk)) return false;
    p += chunk;
    n -= chunk;
  }
  return true;
}

std::string os_path(std::string_view path) { return kelda::kit::utf8_from_cp1251(path); }

std::string work_file(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

bool delete_file(std::string_view path) { return ::unlink(os_path(path).c_str()) == 0; }

std::optional<InputFile> InputFile::open(std::string_view path) {
  const int fd = ::open(os_path(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return InputFile(fd, static_cast<uint64_t>(st.st_size));
}

InputFile::InputFile(InputFile&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)),
      size_(o.size_),
      position_(o.position_),
      buffer_(std::move(o.buffer_)),
      buffered_begin_(o.buffered_begin_),
      buffered_end_(o.buffered_end_) {}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::read(std::span<uint8_t> out) {
  if (out.size() > remaining()) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    if (buffered_begin_ == buffered_end_) {
      if (buffer_.empty()) buffer_.resize(kReadBuffer);
      const ssize_t r = ::read(fd_, buffer_.data(), buffer_.size());
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      buffered_begin_ = 0;
      buffered_end_ = static_cast<std::size_t>(r);
    }
    const std::size_t n = std::min(out.size() - done, buffered_end_ - buffered_begin_);
    std::memcpy(out.data() + done, buffer_.data() + buffered_begin_, n);
    buffered_begin_ += n;
    done += n;
    position_ += n;
  }
  return true;
}

std::optional<uint32_t> InputFile::read_u32() {
  uint32_t v;
  if (!read(&v, sizeof v)) return std::nullopt;
  return v;
}
std::optional<uint16_t> InputFile::read_u16() {
  uint16_t v;
  if (!read(&v, sizeof v)) return std::nullopt;
  return v;
}
std::optional<uint8_t> InputFile::read_u8() {
  uint8_t v;
  if (!read(&v, sizeof v)) return std::nullopt;
  return v;
}

bool InputFile::skip(uint64_t n) {
  if (n > remaining()) return false;
  const uint64_t in_buffer = buffered_end_ - buffered_begin_;
  if (n <= in_buffer) {
    buffered_begin_ += static_cast<std::size_t>(n);
  } else {
    buffered_begin_ = buffered_end_ = 0;
    if (::lseek(fd_, static_cast<off_t>(position_ + n), SEEK_SET) < 0) return false;
  }
  position_ += n;
  return true;
}

bool InputFile::read_counted_text(char* buffer, std::size_t size) {
  if (size == 0) return false;
  std::memset(buffer, 0, size);
  const auto length = read_u32();
  if (!length || *length == 0xFFFFFFFFu) return false;
  const std::size_t keep = std::min<std::size_t>(*length, size - 1);
  if (!read(buffer, keep)) return false;
  return skip(*length - keep);
}

std::optional<ReplacingFile> ReplacingFile::create(std::string_view path) {
  std::string final_path = os_path(path);
  const std::string temp = final_path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ::unlink(final_path.c_str());
    return std::nullopt;
  }
  return ReplacingFile(fd, std::move(final_path));
}

ReplacingFile::ReplacingFile(ReplacingFile&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)),
      failed_(o.failed_),
      path_(std::move(o.path_)),
      buffer_(std::move(o.buffer_)) {}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) abandon();
}

void ReplacingFile::abandon() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink((path_ + ".tmp").c_str());
  ::unlink(path_.c_str());
}

bool ReplacingFile::flush() {
  if (!failed_ && !buffer_.empty() && !write_all(fd_, buffer_.data(), buffer_.size())) {
    failed_ = true;
  }
  buffer_.clear();
  return !failed_;
}

bool ReplacingFile::write(std::span<const uint8_t> bytes) {
  if (fd_ < 0 || failed_) return false;
  if (buffer_.size() + bytes.size() > kWriteBuffer && !flush()) return false;
  if (bytes.size() >= kWriteBuffer) {
    if (!write_all(fd_, bytes.data(), bytes.size())) failed_ = true;
    return !failed_;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return true;
}

bool ReplacingFile::write_counted_text(const char* text) {
  const uint32_t length = text == nullptr ? 0 : static_cast<uint32_t>(std::strlen(text));
  return write_u32(length) && (length == 0 || write(text, length));
}

bool ReplacingFile::commit() {
  if (fd_ < 0) return false;
  const bool written = flush();
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!written || !closed || ::rename((path_ + ".tmp").c_str(), path_.c_str()) != 0) {
    ::unlink((path_ + ".tmp").c_str());
    ::unlink(path_.c_str());
    return false;
  }
  return true;
}

FileFrame make_frame(const char tag[4], uint32_t version, uint32_t record_size, uint32_t count) {
  FileFrame f{};
  std::memcpy(f.info, "INFO", 4);
  std::memcpy(f.tag, tag, 4);
  f.version = version;
  f.record_size = record_size;
  f.count = count;
  return f;
}

FrameCheck read_frame(InputFile& file, const char tag[4], uint32_t version, uint32_t record_size,
                      FileFrame& frame) {
  if (!file.read(&frame, sizeof frame)) return FrameCheck::short_read;
  if (std::memcmp(frame.info, "INFO", 4) != 0) return FrameCheck::bad_mark;
  if (std::memcmp(frame.tag, tag, 4) != 0) return FrameCheck::bad_tag;
  if (frame.version != version) return FrameCheck::bad_version;
  if (frame.record_size != record_size) return FrameCheck::bad_record_size;
  return FrameCheck::ok;
}

const char* frame_check_text(FrameCheck check) {
  switch (check) {
    case FrameCheck::ok: return "OK";
    case FrameCheck::short_read: return "SHORT FILE";
    case FrameCheck::bad_mark: return "NOT A SAVED TABLE";
    case FrameCheck::bad_tag: return "WRONG TABLE";
    case FrameCheck::bad_version: return "OLD VERSION";
    case FrameCheck::bad_record_size: return "SIZE IS INCORRECT";
  }
  return "";
}

}  // namespace kelda::kelapi
