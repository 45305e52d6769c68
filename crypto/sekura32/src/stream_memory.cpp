// Memory streams over a caller's buffer or the library's own, with a
// replaceable growth function and the spill of temporary streams into a
// temporary file; the dummy stream; the record helpers.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "frame.h"
#include "stream.h"

namespace kelda::sekura32 {
namespace {

uint32_t memory_read(SkStream* s, void* buffer, uint32_t n) {
  skIOerror = 0;
  auto& m = s->u.memory;
  if (buffer == nullptr || m.position >= m.length) return 0;
  uint32_t take = std::min(n, m.length - m.position);
  std::memcpy(buffer, m.buffer + m.position, take);
  m.position += take;
  s->count = m.position;
  return take;
}

// The capacity asked for first: length + n rounded up to 1024, or twice the
// old capacity when that is more than half of the rounded value.
uint64_t first_capacity(uint64_t needed, uint32_t old_capacity) {
  uint64_t rounded = (needed + 1023) / 1024 * 1024;
  return old_capacity > rounded / 2 ? std::max<uint64_t>(2ull * old_capacity, needed) : rounded;
}

bool grow(SkStream* s, uint64_t needed) {
  auto& m = s->u.memory;
  if (m.grow == nullptr || needed > UINT32_MAX) return false;
  for (uint64_t ask = first_capacity(needed, m.capacity); ask >= needed && ask <= UINT32_MAX; ask -= 1024) {
    void* fresh = m.grow(m.buffer, size_t(ask), m.capacity);
    if (fresh != nullptr) {
      m.buffer = static_cast<uint8_t*>(fresh);
      m.capacity = uint32_t(ask);
      return true;
    }
    if (ask < 1024) break;
  }
  return false;
}

// Moves the content into a temporary file stream that takes over the
// caller's record; the memory side is closed (wiped and freed).
bool spill(SkStream* s) {
  SkStream* file = skTempFileStream();
  if (file == nullptr) return false;
  auto& m = s->u.memory;
  if (m.length != 0 && file->write(file, m.buffer, m.length) != m.length) {
    uint32_t error = skIOerror;
    file->close(file);
    skIOerror = error != 0 ? error : SK_IO_ERROR;
    return false;
  }
  // The caller's handle now names the file stream; the memory side is closed
  // through its own slot. Reads of the spilled content follow a rewind for
  // reading.
  std::swap(*s, *file);
  file->close(file);
  return true;
}

uint32_t memory_write(SkStream* s, const void* buffer, uint32_t n) {
  skIOerror = 0;
  if (n == 0) return 0;
  if (buffer == nullptr) {
    skIOerror = SK_BAD_ARGUMENT;
    return 0;
  }
  auto& m = s->u.memory;
  uint64_t needed = uint64_t(m.length) + n;
  if (needed > m.capacity && !grow(s, needed)) {
    if (s->temporary != 0 && m.spill != 0) {
      if (!spill(s)) return 0;
      return s->write(s, buffer, n);
    }
    skIOerror = SK_IO_ERROR;
    return 0;
  }
  std::memcpy(m.buffer + m.length, buffer, n);
  m.length += n;
  s->count = m.length;
  return n;
}

int32_t memory_rewind_read(SkStream* s) {
  skIOerror = 0;
  s->u.memory.position = 0;
  s->count = 0;
  return 0;
}

int32_t memory_rewind_write(SkStream* s) {
  skIOerror = 0;
  auto& m = s->u.memory;
  if (m.buffer != nullptr) wipe(m.buffer, m.capacity);
  m.length = m.position = 0;
  s->count = 0;
  return 0;
}

void memory_close(SkStream* s) {
  skIOerror = 0;
  auto& m = s->u.memory;
  if (s->temporary != 0 && m.buffer != nullptr) {
    wipe(m.buffer, m.capacity);
    skFree(m.buffer);
  }
  free_stream_record(s);
}

uint32_t memory_remaining(SkStream* s) {
  skIOerror = 0;
  auto& m = s->u.memory;
  return m.length > m.position ? m.length - m.position : 0;
}

uint32_t dummy_read(SkStream*, void*, uint32_t) {
  skIOerror = 0;
  return 0;
}

uint32_t dummy_write(SkStream* s, const void*, uint32_t n) {
  skIOerror = 0;
  s->count += n;
  return n;
}

int32_t dummy_rewind(SkStream* s) {
  skIOerror = 0;
  s->count = 0;
  return 0;
}

void dummy_close(SkStream* s) {
  skIOerror = 0;
  free_stream_record(s);
}

uint32_t dummy_remaining(SkStream*) {
  skIOerror = 0;
  return 0;
}

SkStream* new_memory_stream(void* buffer, uint32_t capacity, uint32_t length, SkGrowFunction grow_function) {
  SkStream* s = new_stream_record(SK_STREAM_MEMORY);
  if (s == nullptr) return nullptr;
  s->read = memory_read;
  s->write = memory_write;
  s->rewind_read = memory_rewind_read;
  s->rewind_write = memory_rewind_write;
  s->close = memory_close;
  s->remaining = memory_remaining;
  s->u.memory.buffer = static_cast<uint8_t*>(buffer);
  s->u.memory.capacity = buffer != nullptr ? capacity : 0;
  s->u.memory.length = buffer != nullptr ? std::min(length, capacity) : 0;
  s->u.memory.grow = grow_function;
  s->count = s->u.memory.length;
  return s;
}

}  // namespace

SkStream* new_stream_record(uint32_t kind) noexcept {
  auto* s = static_cast<SkStream*>(skCalloc(1, sizeof(SkStream)));
  if (s == nullptr) return nullptr;
  s->kind = kind;
  s->time = time_now();
  return s;
}

void free_stream_record(SkStream* stream) noexcept {
  if (stream == nullptr) return;
  skFree(stream->name);
  wipe(stream, sizeof *stream);
  skFree(stream);
}

void set_io_error_from_errno() noexcept { skIOerror = errno != 0 ? uint32_t(errno) : SK_IO_ERROR; }

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API SkStream* skDummyStream(void) {
  SkStream* s = new_stream_record(SK_STREAM_DUMMY);
  if (s == nullptr) return nullptr;
  s->read = dummy_read;
  s->write = dummy_write;
  s->rewind_read = dummy_rewind;
  s->rewind_write = dummy_rewind;
  s->close = dummy_close;
  s->remaining = dummy_remaining;
  return s;
}

SK_API SkStream* skMemStream(void* buffer, uint32_t capacity, uint32_t length, SkGrowFunction grow) {
  return new_memory_stream(buffer, capacity, length, grow);
}

SK_API SkStream* skTempMemStream(void) {
  SkStream* s = new_memory_stream(nullptr, 0, 0, &skRealloc);
  if (s != nullptr) s->temporary = 1;
  return s;
}

SK_API SkStream* skTempStream(void) {
  SkStream* s = skTempMemStream();
  if (s != nullptr) s->u.memory.spill = 1;
  return s;
}

SK_API void skLookMemStream(const SkStream* s, uint8_t** buffer, uint32_t* capacity, uint32_t* length,
                            uint32_t* position) {
  bool memory = s != nullptr && s->kind == SK_STREAM_MEMORY;
  if (buffer != nullptr) *buffer = memory ? s->u.memory.buffer : nullptr;
  if (capacity != nullptr) *capacity = memory ? s->u.memory.capacity : 0;
  if (length != nullptr) *length = memory ? s->u.memory.length : 0;
  if (position != nullptr) *position = memory ? s->u.memory.position : 0;
}

SK_API void skMemStreamTail(SkStream* s, uint32_t n) {
  if (s == nullptr || s->kind != SK_STREAM_MEMORY) return;
  auto& m = s->u.memory;
  if (n >= m.length) {
    m.length = m.position = 0;
    return;
  }
  std::memmove(m.buffer, m.buffer + n, m.length - n);
  m.length -= n;
  m.position = m.position > n ? m.position - n : 0;
}

SK_API char* skNewName(SkStream* s, const char* name) {
  if (s == nullptr) return nullptr;
  char* copy = nullptr;
  if (name != nullptr) {
    std::size_t n = std::strlen(name);
    copy = static_cast<char*>(skMalloc(n + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, name, n + 1);
  }
  skFree(s->name);
  s->name = copy;
  return copy;
}

SK_API uint32_t skIORet(uint32_t error) { return error == 0 ? SK_OK : SK_IO_ERROR; }

}  // extern "C"
