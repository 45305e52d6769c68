// Texts of the transport: class texts of the socket results, the composed
// last-error text, the message-table texts in the connection's language, and
// a printf-style formatter. Thread-safe; never throws except std::bad_alloc.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace kelda::dtcp {

// Message-table ids.
inline constexpr uint32_t kMsgServerNotFound = 0xC00003ED;

// Longest recorded error text.
inline constexpr std::size_t kMaxErrorText = 1023;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);

// The class text of an error class or socket result ("" for -1).
const char* error_class_text(int32_t error_class);

// "%s%s%s": class text, ": " when it is not empty, then the system error's
// text (classes -5 and -4 with a non-zero code whose text is known) or `text`.
// Cut to kMaxErrorText characters.
std::string compose_error(int32_t error_class, uint32_t system_code, const std::string& text);

// A message-table text in the given language (English when that has none),
// or `fallback` when the table has no such id.
std::string message_text(uint32_t id, uint16_t language, uint16_t sub_language,
                         const char* fallback);

// Copies `text` into a caller's buffer (cut, NUL-terminated); nothing when the
// buffer is null or its size 0.
void copy_out(char* buffer, uint32_t size, const std::string& text);

}  // namespace kelda::dtcp
