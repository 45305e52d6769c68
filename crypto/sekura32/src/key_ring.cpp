// Key ring files: the index cache, reading candidates at their offsets, the
// candidate walk and the whole-file rewrite.
#include "key_ring.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "frame.h"
#include "key_packet.h"
#include "kit/files.h"
#include "kit/paths.h"

namespace kelda::sekura32 {
namespace {

// The identity of one version of a ring file.
struct FileVersion {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  bool operator==(const FileVersion&) const = default;
};

FileVersion version_of(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
          int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

struct CachedRing {
  FileVersion version;
  std::shared_ptr<const RingIndex> index;
};

std::mutex cache_mutex;
std::map<std::string, CachedRing>& cache() {
  static auto* rings = new std::map<std::string, CachedRing>();  // lives to the end of the process
  return *rings;
}

std::string native(const char* path) { return kit::path_from_ansi(path).string(); }

// Opens the ring, asking the retry hook after each failure.
int open_ring(const char* path, uint32_t prompt_flags, bool missing_is_empty, uint32_t* result) {
  std::string name = native(path);
  for (uint32_t attempt = 1;; ++attempt) {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) return fd;
    uint32_t error = errno != 0 ? uint32_t(errno) : SK_IO_ERROR;
    if (missing_is_empty && errno == ENOENT) {
      *result = SK_OK;
      return -1;
    }
    SkKeyReadRetryFunction hook = skKeyReadRetry;
    uint32_t answer = hook != nullptr ? hook(prompt_flags | 9, error, path, attempt) : skIORet(error);
    if (answer >= 16) {
      *result = answer;
      return -1;
    }
  }
}

bool read_all(int fd, std::string* bytes, off_t size) {
  bytes->resize(std::size_t(size));
  std::size_t done = 0;
  while (done < bytes->size()) {
    ssize_t got = ::pread(fd, bytes->data() + done, bytes->size() - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += std::size_t(got);
  }
  return true;
}

void wipe_string(std::string& bytes) {
  wipe(bytes.data(), bytes.size());
  bytes.clear();
}

}  // namespace

bool ends_with_suffix(const char* path, const char* suffix) noexcept {
  if (path == nullptr) return false;
  std::size_t length = std::strlen(path), tail = std::strlen(suffix);
  return length >= tail && skMemICmp(path + length - tail, suffix, tail) == 0;
}

RingFile::~RingFile() { reset(-1); }

void RingFile::reset(int fd) noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

uint32_t load_ring(const char* path, bool text, uint32_t prompt_flags, bool missing_is_empty,
                   std::shared_ptr<const RingIndex>* index, RingFile* file) noexcept {
  try {
    uint32_t result = SK_OK;
    int fd = open_ring(path, prompt_flags, missing_is_empty, &result);
    if (fd < 0) {
      if (result < 16) {
        auto empty = std::make_shared<RingIndex>();
        empty->text = text;
        *index = empty;
      }
      return result;
    }
    file->reset(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return SK_IO_ERROR;
    FileVersion version = version_of(info);
    std::string key = native(path);
    {
      std::lock_guard lock(cache_mutex);
      auto found = cache().find(key);
      if (found != cache().end() && found->second.version == version && found->second.index->text == text) {
        *index = found->second.index;
        return SK_OK;
      }
    }
    std::string bytes;
    if (!read_all(fd, &bytes, info.st_size)) {
      wipe_string(bytes);
      return SK_IO_ERROR;
    }
    auto made = std::make_shared<RingIndex>();
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    result = text ? index_text_ring(data, bytes.size(), made.get()) : index_binary_ring(data, bytes.size(), made.get());
    wipe_string(bytes);
    if (result >= 16) return result;
    std::lock_guard lock(cache_mutex);
    cache()[key] = CachedRing{version, made};
    *index = made;
    return SK_OK;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

uint32_t read_ring_bytes(const RingFile& file, std::string* bytes) noexcept {
  try {
    bytes->clear();
    if (file.fd() < 0) return SK_OK;
    struct stat info {};
    bool ok = ::fstat(file.fd(), &info) == 0 && read_all(file.fd(), bytes, info.st_size);
    if (!ok) wipe_string(*bytes);
    return ok ? SK_OK : SK_IO_ERROR;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

uint32_t write_ring(const char* path, const std::string& bytes) noexcept {
  try {
    std::string key = native(path);
    {
      std::lock_guard lock(cache_mutex);
      cache().erase(key);
    }
    return kit::write_whole_file(kit::path_from_ansi(path), bytes) ? SK_OK : SK_IO_ERROR;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

uint32_t read_entry_packet(const RingFile& file, const RingIndex& index, const RingEntry& entry,
                           std::vector<uint8_t>* packet) noexcept {
  try {
    if (file.fd() < 0) return SK_IO_ERROR;
    std::string raw(entry.key_length, '\0');
    ssize_t got = ::pread(file.fd(), raw.data(), raw.size(), off_t(entry.key_at));
    uint32_t result = got == ssize_t(raw.size()) ? SK_OK : SK_IO_ERROR;
    if (result < 16 && !index.text) {
      packet->assign(raw.begin(), raw.end());
    } else if (result < 16) {
      // "KEY=" then hexadecimal pairs after blanks, up to the line's end.
      std::size_t at = raw.find('=');
      result = at == std::string::npos ? SK_KEY_TOO_LARGE : SK_OK;
      packet->clear();
      for (at = at + 1; result < 16 && at < raw.size(); ++at) {
        char c = raw[at];
        if (c == ' ' || c == '\t') continue;
        if (c == '\r' || c == '\n') break;
        auto digit = [](char h) { return h >= '0' && h <= '9' ? h - '0' : (h | 0x20) >= 'a' && (h | 0x20) <= 'f' ? (h | 0x20) - 'a' + 10 : -1; };
        int high = digit(c), low = at + 1 < raw.size() ? digit(raw[at + 1]) : -1;
        if (high < 0 || low < 0) {
          result = SK_KEY_TOO_LARGE;
          break;
        }
        packet->push_back(uint8_t(high << 4 | low));
        ++at;
      }
    }
    wipe_string(raw);
    return result;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}

bool is_candidate(const RingEntry& entry, const char* const* texts, uint32_t text_count, const uint8_t* key_id,
                  int32_t user_id, bool text) noexcept {
  for (uint32_t k = 0; k < text_count; ++k)
    if (texts != nullptr && texts[k] != nullptr && entry.name.find(texts[k]) == std::string::npos) return false;
  if (key_id != nullptr && std::memcmp(key_id, entry.key_id, 8) != 0) return false;
  if (text && user_id > 0 && entry.user_id > 0 && user_id != entry.user_id) return false;
  return true;
}

uint32_t offer_candidates(SkKeySearch* search, const RingFile& file, const RingIndex& index, const char* const* texts,
                          uint32_t text_count, const uint8_t* key_id, int32_t user_id) noexcept {
  SkKeyIsFunction callback = search->keyIs != nullptr ? search->keyIs : &skKeyIs;
  for (const RingEntry& entry : index.entries) {
    if (!is_candidate(entry, texts, text_count, key_id, user_id, index.text)) continue;
    std::vector<uint8_t> packet;
    uint32_t result = read_entry_packet(file, index, entry, &packet);
    if (result >= 16) return result;
    SkStream* stream = skMemStream(packet.data(), uint32_t(packet.size()), uint32_t(packet.size()), nullptr);
    if (stream == nullptr) {
      wipe(packet.data(), packet.size());
      return SK_NO_MEMORY;
    }
    ++search->candidates;
    if (search->firstCandidateAt < 0) search->firstCandidateAt = int64_t(entry.start);
    uint32_t counted = search->candidates;
    result = callback(search, entry.name.c_str(), entry.key_id, entry.user_id, entry.time, entry.secret ? 1 : 0,
                      entry.bits, stream, uint32_t(packet.size()));
    stream->close(stream);
    wipe(packet.data(), packet.size());
    if (search->firstMatchAt < 0 && search->candidates == counted && search->result < 16)
      search->firstMatchAt = int64_t(entry.start);
    if (result == SK_STOP_SEARCH) return SK_STOP_SEARCH;
  }
  return SK_OK;
}

uint32_t check_existing(const RingIndex& index, const RingFile& file, const char* name, const uint8_t* key_id,
                        bool secret, const uint8_t* packet, uint32_t length, const RingEntry** found) noexcept {
  *found = nullptr;
  UserRecord fresh;
  skIniUser(&fresh);
  uint32_t result = read_key_packet(packet, length, fresh, nullptr, false);
  if (result >= 16) {
    skBurnUser(&fresh);
    return result == SK_BAD_KEY_VERSION ? result : SK_KEY_TOO_LARGE;
  }
  for (const RingEntry& entry : index.entries) {
    if (entry.name != name || std::memcmp(entry.key_id, key_id != nullptr ? key_id : fresh.keyId, 8) != 0) continue;
    std::vector<uint8_t> stored;
    UserRecord old;
    skIniUser(&old);
    result = read_entry_packet(file, index, entry, &stored);
    if (result < 16) result = read_key_packet(stored.data(), uint32_t(stored.size()), old, nullptr, false);
    uint32_t words = SK_USER_WORDS(fresh.bits);
    bool same = result < 16 && entry.secret == secret && old.bits == fresh.bits && old.time == fresh.time &&
                std::memcmp(old.keyId, fresh.keyId, 8) == 0 && std::memcmp(entry.key_id, fresh.keyId, 8) == 0 &&
                std::memcmp(old.n, fresh.n, words * 4) == 0 && std::memcmp(old.e, fresh.e, words * 4) == 0;
    skBurnUser(&old);
    wipe(stored.data(), stored.size());
    if (result >= 16) break;
    if (!same) {
      skMessage(9, "Attention!",
                "ANOTHER key %s is registered with the same name and identification code\n%s\n"
                "Contact with technical support service",
                secret ? "secret" : "public", name);
      result = SK_ANOTHER_KEY;
      break;
    }
    skMessage(0, "Attention", "This key is being registered repeatedly: %s\n", name);
    if (*found == nullptr) *found = &entry;
  }
  skBurnUser(&fresh);
  return result;
}

}  // namespace kelda::sekura32
