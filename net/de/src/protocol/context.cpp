#include "context.h"

#include <shared_mutex>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/error_text.h"
#include "platform/last_error.h"

namespace kelda::de {

Library& library() {
  static Library* lib = new Library;  // outlives every thread at process exit
  return *lib;
}

std::shared_ptr<Context> find_context(const void* handle, std::string& error) {
  std::shared_ptr<Context> found;
  {
    Library& lib = library();
    std::shared_lock<std::shared_mutex> lock(lib.mutex);
    auto it = lib.contexts.find(handle);
    if (handle != nullptr && it != lib.contexts.end()) found = it->second;
  }
  if (!found || !found->wait_set_up()) {
    error = "Wrong connection handle info was set.";
    return nullptr;
  }
  return found;
}

void unlink_context(const Context* c) {
  std::shared_ptr<Context> keep;  // released after the mutex
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  auto it = lib.contexts.find(c);
  if (it != lib.contexts.end()) {
    keep = std::move(it->second);
    keep->released.store(true);
    lib.contexts.erase(it);
  }
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  va_end(args);
  return out;
}

void copy_out(char* buffer, uint32_t size, const std::string& text) {
  if (buffer == nullptr || size == 0) return;
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

namespace {

const char* class_name(int32_t error_class) {
  switch (error_class) {
    case -7: return "Crypto error";
    case -5: return "Transport level error";
    case -4: return "System error";
    case -3: return "Application error";
    case -1: return "";
    default: return "Unknown error";
  }
}

}  // namespace

void Context::set_error(int32_t error_class, const std::string& text) {
  if (error_class == ZN_ERROR_REFUSED_BY_CALLER) return;
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (error_class == ZN_ERROR_NONE) {
    error_class_ = -1;
    system_code_ = 0;
    error_text_.clear();
    link_failed_ = false;
    return;
  }
  if (link_failed_) return;
  record_locked(error_class, text);
}

int32_t Context::fail_link(int32_t error_class, const std::string& text) {
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (!link_failed_) {
    if (error_class != ZN_ERROR_REFUSED_BY_CALLER && error_class != ZN_ERROR_NONE) {
      record_locked(error_class, text);
    }
    link_failed_ = true;
  }
  return -1;
}

void Context::link_closed() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (link_failed_) return;
  error_class_ = -1;
  system_code_ = 0;
  error_text_.clear();
  link_failed_ = true;
}

void Context::record_locked(int32_t error_class, const std::string& text) {
  uint32_t code = error_class == ZN_ERROR_SYSTEM ? platform::get_last_error() : 0;
  std::string out;
  if (code != 0) {
    std::optional<std::string> system_text = platform::system_error_text(code);
    if (!system_text) return;
    out = format("%s: %s", class_name(error_class), system_text->c_str());
  } else {
    out = format("%s:%s%s", class_name(error_class), error_class == ZN_ERROR_TRANSPORT ? "\n" : " ",
                 text.c_str());
  }
  if (out.size() > kMaxErrorText) out.resize(kMaxErrorText);
  error_class_ = error_class;
  system_code_ = code;
  error_text_ = std::move(out);
}

int32_t Context::error_class() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  return error_class_;
}

std::string Context::error_text() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  return error_text_;
}

int32_t Context::raise(int32_t event, int32_t* result, void* event_data, uint32_t id,
                       const void* data, uint32_t size) {
  if (callback == nullptr) return 0;
  int32_t local = 0;
  return callback(user_data, event, result ? result : &local, event_data, id, data, size);
}

bool Context::wait_set_up() {
  std::unique_lock<std::mutex> lock(set_up_mutex_);
  set_up_cv_.wait(lock, [this] { return set_up_ != SetUp::running; });
  return set_up_ == SetUp::published;
}

void Context::end_set_up(bool published) {
  {
    std::lock_guard<std::mutex> lock(set_up_mutex_);
    if (set_up_ != SetUp::running) return;
    set_up_ = published ? SetUp::published : SetUp::abandoned;
  }
  set_up_cv_.notify_all();
}

const MessageHandlerEntry* Context::find_handler(uint32_t id) const {
  auto it = std::lower_bound(handlers.begin(), handlers.end(), id,
                             [](const MessageHandlerEntry& e, uint32_t v) { return e.id < v; });
  return it != handlers.end() && it->id == id ? &*it : nullptr;
}

bool refused_by_closing_link(const char* transport_text) {
  return std::strcmp(transport_text, ZN_TCP_TEXT_SHUTDOWN) == 0;
}

std::string crypto_failure_text(const Context& c, const std::string& transport_text) {
  // Message-table text 0xC00003EC in the connection's language; the system
  // speaks English, so the English entry is the one in use.
  (void)c;
  return format("Connection not established. Possibly you try to connect with unregistered "
                "cipher keys. Error message: \"%s\"",
                transport_text.c_str());
}

std::string access_refused_text(const Context& c) {
  (void)c;  // message-table text 0xC00003EE, English entry
  return "Connection not established because the user description contain option <Access "
         "server>.";
}

}  // namespace kelda::de
