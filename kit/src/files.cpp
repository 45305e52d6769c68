// File helpers over POSIX calls.
#include "kit/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "file_io.h"
#include "kit/paths.h"
#include "platform/last_error.h"

namespace kelda::kit {
namespace {

namespace plat = kelda::platform;

void set_error_from_errno() { plat::set_last_error(plat::error_from_errno(errno)); }

void fill(const struct stat& st, FileStatInfo* info) {
  const auto size = static_cast<uint64_t>(st.st_size);
  info->size_low = static_cast<uint32_t>(size);
  info->size_high = static_cast<uint32_t>(size >> 32);
  info->kind = S_ISDIR(st.st_mode) ? kFileKindDirectory : kFileKindOther;
  info->last_write = static_cast<uint32_t>(st.st_mtim.tv_sec);
}

bool stat_path(const std::filesystem::path& path, struct stat& st) {
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    if (path.empty()) errno = ENOENT;
    set_error_from_errno();
    return false;
  }
  return true;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool write_all(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Reads until `n` bytes or the end of the file; -1 on error.
ssize_t read_full(int fd, char* data, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, data + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

namespace detail {

std::optional<std::string> read_file(const std::filesystem::path& path, bool* missing) {
  if (missing != nullptr) *missing = false;
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (missing != nullptr) *missing = errno == ENOENT || errno == ENOTDIR;
    set_error_from_errno();
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t r = ::read(fd.get(), chunk, sizeof chunk);
    if (r < 0) {
      if (errno == EINTR) continue;
      set_error_from_errno();
      return std::nullopt;
    }
    if (r == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(r));
  }
  return bytes;
}

}  // namespace detail

int file_stat(const char* path, FileStatInfo* info) noexcept {
  if (path == nullptr || info == nullptr || std::strlen(path) > kMaxPath - 1) return -1;
  try {
    struct stat st{};
    if (!stat_path(path_from_ansi(path), st)) return -1;
    fill(st, info);
    return 0;
  } catch (...) {
    return -1;
  }
}

int file_stat_handle(int handle, FileStatInfo* info) noexcept {
  if (info == nullptr) return -1;
  struct stat st{};
  if (::fstat(handle, &st) != 0) {
    set_error_from_errno();
    return -1;
  }
  fill(st, info);
  return 0;
}

int32_t file_read(int handle, void* buffer, uint32_t count) noexcept {
  if (buffer == nullptr && count != 0) return -1;
  if (count > INT32_MAX) count = INT32_MAX;
  const ssize_t r = read_full(handle, static_cast<char*>(buffer), count);
  if (r < 0) set_error_from_errno();
  return static_cast<int32_t>(r);
}

int32_t file_write(int handle, const void* buffer, uint32_t count) noexcept {
  if ((buffer == nullptr && count != 0) || count > INT32_MAX) return -1;
  if (!write_all(handle, static_cast<const char*>(buffer), count)) {
    set_error_from_errno();
    return -1;
  }
  return static_cast<int32_t>(count);
}

int make_directory(const char16_t* path) noexcept {
  if (path == nullptr) return 0;
  try {
    if (::mkdir(path_from_wide(path).c_str(), 0777) != 0) {
      set_error_from_errno();
      return 0;
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

int move_file(const char16_t* from, const char16_t* to) noexcept {
  if (from == nullptr || to == nullptr) return 0;
  try {
    const std::filesystem::path a = path_from_wide(from);
    const std::filesystem::path b = path_from_wide(to);
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return 1;
    if (errno == EINVAL || errno == ENOSYS) {  // file system without the flag
      struct stat st{};
      if (::lstat(b.c_str(), &st) == 0) {
        plat::set_last_error(plat::error::already_exists);
        return 0;
      }
      if (::rename(a.c_str(), b.c_str()) == 0) return 1;
    }
    if (errno == EXDEV) {
      struct stat st{};
      if (::lstat(a.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        std::error_code ec;
        if (std::filesystem::copy_file(a, b, std::filesystem::copy_options::none, ec) &&
            std::filesystem::remove(a, ec)) {
          return 1;
        }
        plat::set_last_error(plat::error_from_errno(ec.value()));
        return 0;
      }
      errno = EXDEV;
    }
    set_error_from_errno();
    return 0;
  } catch (...) {
    return 0;
  }
}

uint32_t file_size(const char* path) noexcept {
  FileStatInfo info{};
  return file_stat(path, &info) == 0 ? info.size_low : 0;
}

int file_exists(const char16_t* path) noexcept {
  if (path == nullptr) return 0;
  try {
    struct stat st{};
    return stat_path(path_from_wide(path), st) && !S_ISDIR(st.st_mode) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int directory_exists(const char16_t* path) noexcept {
  if (path == nullptr) return 0;
  try {
    struct stat st{};
    return stat_path(path_from_wide(path), st) && S_ISDIR(st.st_mode) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int read_whole_file(const char* path, char** buffer, std::size_t* size) noexcept {
  if (buffer != nullptr) *buffer = nullptr;
  if (size != nullptr) *size = 0;
  if (path == nullptr || buffer == nullptr || size == nullptr) return 0;
  try {
    Fd fd(::open(path_from_ansi(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
      set_error_from_errno();
      return 0;
    }
    std::size_t capacity = 1024;
    std::size_t used = 0;
    char* data = static_cast<char*>(std::malloc(capacity + 1));
    for (;;) {
      if (data == nullptr) {
        plat::set_last_error(plat::error::not_enough_memory);
        return 0;
      }
      if (used == capacity) {
        char* grown = static_cast<char*>(std::realloc(data, capacity * 2 + 1));
        if (grown == nullptr) std::free(data);
        data = grown;
        capacity *= 2;
        continue;
      }
      const ssize_t r = ::read(fd.get(), data + used, capacity - used);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        set_error_from_errno();
        std::free(data);
        return 0;
      }
      if (r == 0) break;
      used += static_cast<std::size_t>(r);
    }
    data[used] = 0;
    *buffer = data;
    *size = used;
    return 1;
  } catch (...) {
    return 0;
  }
}

int free_file_buffer(char** buffer, std::size_t* size) noexcept {
  if (size != nullptr) *size = 0;
  if (buffer == nullptr || *buffer == nullptr) return 0;
  std::free(*buffer);
  *buffer = nullptr;
  return 1;
}

bool write_whole_file(const std::filesystem::path& path, std::string_view bytes) noexcept {
  static std::atomic<unsigned> counter{0};
  try {
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
      target = std::filesystem::weakly_canonical(target, ec);
      if (ec) {
        plat::set_last_error(plat::error::path_not_found);
        return false;
      }
    }
    struct stat old{};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // A file this process may not write to is not replaced behind its back
    // (the rename needs only the folder's permission).
    if (existed && S_ISREG(old.st_mode)) {
      const int probe = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (probe < 0) {
        set_error_from_errno();
        return false;
      }
      ::close(probe);
    }

    std::filesystem::path temp;
    int raw = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = target;
      temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
      raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (raw >= 0 || errno != EEXIST) break;
    }
    if (raw < 0) {
      set_error_from_errno();
      return false;
    }
    Fd fd(raw);
    // The new file takes the old one's owner where this process may give it
    // (a file rewritten by the administrator stays its user's), then its
    // permissions.
    if (existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
      (void)::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    bool ok = (!existed || ::fchmod(fd.get(), old.st_mode & 07777) == 0) &&
              write_all(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    const int saved = errno;
    ok = ::close(fd.release()) == 0 && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
    plat::set_last_error(plat::error_from_errno(ok ? errno : saved));
    ::unlink(temp.c_str());
    return false;
  } catch (...) {
    plat::set_last_error(plat::error::not_enough_memory);
    return false;
  }
}

}  // namespace kelda::kit
