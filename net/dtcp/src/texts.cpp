#include "texts.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/error_text.h"

namespace kelda::dtcp {

std::string vformat(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = vformat(fmt, args);
  va_end(args);
  return out;
}

const char* error_class_text(int32_t error_class) {
  switch (error_class) {
    case 0: return "Connection was closed";
    case 1: return "Connection shutdown";
    case 2: return "Timeout has expired. Connection with server was lost.";
    case 3: return "Receiving queue is empty";
    case 4: return "Connection was closed by peer";
    case -7: return "Crypto error";
    case -5: return "Net error";
    case -4: return "System error";
    case -3: return "Application error";
    case -1: return "";
    default: return "Unknown error";
  }
}

std::string compose_error(int32_t error_class, uint32_t system_code, const std::string& text) {
  std::string out = error_class_text(error_class);
  std::optional<std::string> system_text;
  if (system_code != 0 && (error_class == -5 || error_class == -4)) {
    system_text = platform::system_error_text(system_code);
  }
  const std::string& detail = system_text ? *system_text : text;
  if (!out.empty() && !detail.empty()) out += ": ";
  out += detail;
  if (out.size() > kMaxErrorText) out.resize(kMaxErrorText);
  return out;
}

namespace {

struct MessageEntry {
  uint32_t id;
  uint16_t language;
  const char* text;
};

// The transport's message table (English and Russian; the Russian texts are
// written in code page 1251 through the escapes below).
const MessageEntry kMessages[] = {
    {kMsgServerNotFound, 0x09,
     "Server with mentioned IP-address and port not found. Possibly you try to connect in "
     "non-work unit or use wrong IP-address or port."},
    {kMsgServerNotFound, 0x19,
     "\xD1\xE5\xF0\xE2\xE5\xF0 \xEF\xEE \xF3\xEA\xE0\xE7\xE0\xED\xED\xFB\xEC IP-\xE0\xE4"
     "\xF0\xE5\xF1\xF3 \xE8 \xEF\xEE\xF0\xF2\xF3 \xED\xE5 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5"
     "\xED. \xC2\xEE\xE7\xEC\xEE\xE6\xED\xEE, \xC2\xFB \xEF\xFB\xF2\xE0\xE5\xF2\xE5\xF1"
     "\xFC \xF3\xF1\xF2\xE0\xED\xEE\xE2\xE8\xF2\xFC \xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8"
     "\xE5 \xE2 \xED\xE5\xF0\xE0\xE1\xEE\xF7\xE5\xE5 \xE2\xF0\xE5\xEC\xFF, \xE8\xEB\xE8"
     " \xE6\xE5 \xF3\xEA\xE0\xE7\xFB\xE2\xE0\xE5\xF2\xE5 \xED\xE5\xE2\xE5\xF0\xED\xFB\xE5"
     " IP-\xE0\xE4\xF0\xE5\xF1 \xE8 \xEF\xEE\xF0\xF2."},
};

}  // namespace

std::string message_text(uint32_t id, uint16_t language, uint16_t /*sub_language*/,
                         const char* fallback) {
  const char* english = nullptr;
  for (const MessageEntry& e : kMessages) {
    if (e.id != id) continue;
    if (e.language == language) return e.text;
    if (e.language == 0x09) english = e.text;
  }
  return english ? english : fallback;
}

void copy_out(char* buffer, uint32_t size, const std::string& text) {
  if (buffer == nullptr || size == 0) return;
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace kelda::dtcp
