// File streams over a named file (opened at a rewind), temporary file
// streams in the library's private folder, and streams over an open file
// handle.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "frame.h"
#include "kit/codepage.h"
#include "kit/paths.h"
#include "stream.h"

namespace kelda::sekura32 {
namespace {

std::string native_name(const char* name) { return kit::path_from_ansi(name).string(); }

// The modification time of a regular file, or the library's time stamp.
uint32_t stamp_of(const struct stat& info, bool known) {
  return known && S_ISREG(info.st_mode) ? uint32_t(info.st_mtime) : time_now();
}

// Overwrites a regular file with 0xBE bytes and deletes it.
void wipe_file(const char* name) {
  std::string path = native_name(name);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (FILE* f = std::fopen(path.c_str(), "r+b")) {
    char block[4096];
    std::memset(block, 0xBE, sizeof block);
    for (off_t left = info.st_size; left > 0;) {
      size_t n = size_t(left < off_t(sizeof block) ? left : off_t(sizeof block));
      if (std::fwrite(block, 1, n, f) != n) break;
      left -= off_t(n);
    }
    std::fflush(f);
    std::fclose(f);
  }
  std::remove(path.c_str());
}

int32_t file_open(SkStream* s, bool writing) {
  skIOerror = 0;
  s->count = 0;
  if (s->u.file.file != nullptr) {
    std::fclose(s->u.file.file);
    s->u.file.file = nullptr;
  }
  if (writing && s->temporary != 0) wipe_file(s->name);
  const char* mode = !writing ? "rb" : s->temporary != 0 ? "w+b" : "wb";
  errno = 0;
  s->u.file.file = std::fopen(native_name(s->name).c_str(), mode);
  if (s->u.file.file == nullptr) {
    set_io_error_from_errno();
    return int32_t(skIOerror);
  }
  struct stat info {};
  s->time = stamp_of(info, ::fstat(fileno(s->u.file.file), &info) == 0);
  return 0;
}

int32_t file_rewind_read(SkStream* s) { return file_open(s, false); }
int32_t file_rewind_write(SkStream* s) { return file_open(s, true); }

uint32_t file_read(SkStream* s, void* buffer, uint32_t n) {
  skIOerror = 0;
  FILE* f = s->u.file.file;
  if (f == nullptr || buffer == nullptr) {
    skIOerror = SK_IO_ERROR;
    return 0;
  }
  size_t got = std::fread(buffer, 1, n, f);
  s->count += uint32_t(got);
  if (std::ferror(f)) skIOerror = SK_IO_ERROR;
  return uint32_t(got);
}

uint32_t file_write(SkStream* s, const void* buffer, uint32_t n) {
  skIOerror = 0;
  FILE* f = s->u.file.file;
  if (f == nullptr || (buffer == nullptr && n != 0)) {
    skIOerror = SK_IO_ERROR;
    return 0;
  }
  errno = 0;
  size_t put = n != 0 ? std::fwrite(buffer, 1, n, f) : 0;
  s->count += uint32_t(put);
  if (put != n || std::ferror(f)) set_io_error_from_errno();
  return uint32_t(put);
}

void file_close(SkStream* s) {
  skIOerror = 0;
  if (s->u.file.file != nullptr) {
    if (std::fclose(s->u.file.file) != 0) set_io_error_from_errno();
    s->u.file.file = nullptr;
  }
  if (s->temporary != 0) wipe_file(s->name);
  free_stream_record(s);
}

uint32_t file_remaining(SkStream* s) {
  skIOerror = 0;
  FILE* f = s->u.file.file;
  if (f == nullptr) {
    skIOerror = SK_IO_ERROR;
    return 0;
  }
  errno = 0;
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) {
    set_io_error_from_errno();
    return 0;
  }
  long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  if (end < here) {
    set_io_error_from_errno();
    return 0;
  }
  return uint32_t(end - here);
}

uint32_t handle_read(SkStream* s, void* buffer, uint32_t n) {
  skIOerror = 0;
  if (buffer == nullptr && n != 0) {
    skIOerror = SK_IO_ERROR;
    return 0;
  }
  ssize_t got;
  do got = ::read(s->u.handle.handle, buffer, n);
  while (got < 0 && errno == EINTR);
  if (got < 0) {
    set_io_error_from_errno();
    return 0;
  }
  s->count += uint32_t(got);
  return uint32_t(got);
}

uint32_t handle_write(SkStream* s, const void* buffer, uint32_t n) {
  skIOerror = 0;
  if (buffer == nullptr && n != 0) {
    skIOerror = SK_IO_ERROR;
    return 0;
  }
  uint32_t done = 0;
  while (done < n) {
    ssize_t put = ::write(s->u.handle.handle, static_cast<const uint8_t*>(buffer) + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      set_io_error_from_errno();
      break;
    }
    done += uint32_t(put);
  }
  s->count += done;
  return done;
}

int32_t handle_rewind(SkStream* s) {
  skIOerror = 0;
  s->count = 0;
  struct stat info {};
  if (::fstat(s->u.handle.handle, &info) != 0) return -1;
  s->time = stamp_of(info, true);
  return 0;
}

void handle_close(SkStream* s) {
  skIOerror = 0;
  free_stream_record(s);
}

uint32_t handle_remaining(SkStream*) {
  skIOerror = SK_IO_ERROR;
  return 0;
}

// A plain array, so that it outlives every static destructor (the folder is
// removed at unload).
char folder_text[4096];

}  // namespace

const char* temporary_folder() noexcept {
  static std::once_flag once;
  std::call_once(once, [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/sekura32-XXXXXX";
    if (pattern.size() < sizeof folder_text && ::mkdtemp(pattern.data()) != nullptr)
      std::memcpy(folder_text, pattern.c_str(), pattern.size() + 1);
  });
  return folder_text;
}

void remove_temporary_folder() noexcept {
  if (folder_text[0] != 0) ::rmdir(folder_text);
}

void become_file_stream(SkStream* s) noexcept {
  s->kind = SK_STREAM_FILE;
  s->read = file_read;
  s->write = file_write;
  s->rewind_read = file_rewind_read;
  s->rewind_write = file_rewind_write;
  s->close = file_close;
  s->remaining = file_remaining;
  s->u.file.file = nullptr;
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API SkStream* skFileStream(const char* name) {
  SkStream* s = new_stream_record(SK_STREAM_FILE);
  if (s == nullptr) return nullptr;
  become_file_stream(s);
  if (skNewName(s, name != nullptr ? name : "") == nullptr) {
    free_stream_record(s);
    return nullptr;
  }
  // Paths written with the other system's separator name the same file here.
  for (char* c = s->name; *c != 0; ++c)
    if (*c == '\\') *c = '/';
  return s;
}

SK_API SkStream* skTempFileStream(void) {
  const char* folder = temporary_folder();
  if (*folder == 0) {
    skIOerror = SK_IO_ERROR;
    return nullptr;
  }
  std::string path = std::string(folder) + "/sekXXXXXX";
  int fd = ::mkstemp(path.data());
  if (fd < 0) {
    set_io_error_from_errno();
    return nullptr;
  }
  ::close(fd);
  SkStream* s = skFileStream(kelda::kit::cp1251_from_utf8(path).c_str());
  if (s == nullptr) {
    ::unlink(path.c_str());
    return nullptr;
  }
  s->temporary = 1;
  s->rewind_write(s);
  return s;
}

SK_API SkStream* skHandleStream(int handle) {
  SkStream* s = new_stream_record(SK_STREAM_HANDLE);
  if (s == nullptr) return nullptr;
  s->read = handle_read;
  s->write = handle_write;
  s->rewind_read = handle_rewind;
  s->rewind_write = handle_rewind;
  s->close = handle_close;
  s->remaining = handle_remaining;
  s->u.handle.handle = handle;
  struct stat info {};
  s->time = ::fstat(handle, &info) == 0 ? uint32_t(info.st_mtime) : time_now();
  return s;
}

}  // extern "C"
