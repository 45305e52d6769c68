// The wide printf engine: parses the format itself, formats strings and
// characters directly and numbers through snprintf.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "kit/codepage.h"
#include "kit/format.h"

namespace kelda::kit {
namespace {

// Widths and precisions above this are cut: no result can be longer than the
// largest work buffer anyway.
constexpr int kMaxWidth = 8192;

// Bounded output that keeps counting what would have been written.
class Sink {
 public:
  Sink(char16_t* dst, std::size_t capacity) : dst_(dst), room_(capacity == 0 ? 0 : capacity - 1) {}
  void put(char16_t c) {
    if (len_ < room_) dst_[len_] = c;
    ++len_;
  }
  void repeat(char16_t c, int n) {
    for (int i = 0; i < n; ++i) put(c);
  }
  void finish(std::size_t capacity) {
    if (capacity != 0) dst_[len_ < room_ ? len_ : room_] = 0;
  }
  std::size_t length() const { return len_; }

 private:
  char16_t* dst_;
  std::size_t room_;
  std::size_t len_ = 0;
};

enum class Size { none, hh, h, l, ll, j, z, t, L, i32, i64, w };

struct Directive {
  bool left = false, plus = false, space = false, alt = false, zero = false;
  int width = 0;
  int precision = -1;
  Size size = Size::none;
  char16_t conv = 0;
};

int clamp_width(long v) { return v < 0 ? 0 : (v > kMaxWidth ? kMaxWidth : static_cast<int>(v)); }

// Pads and emits `n` units produced by `unit(i)`.
template <typename Unit>
void emit_padded(Sink& out, const Directive& directive, std::size_t n, Unit unit) {
  const int pad = directive.width > static_cast<int>(n) ? directive.width - static_cast<int>(n) : 0;
  if (!directive.left) out.repeat(directive.zero ? u'0' : u' ', pad);
  for (std::size_t i = 0; i < n; ++i) out.put(unit(i));
  if (directive.left) out.repeat(u' ', pad);
}

void emit_wide(Sink& out, const Directive& directive, const char16_t* s) {
  const char16_t* text = s == nullptr ? u"(null)" : s;
  std::size_t n = 0;
  while (text[n] != 0 && (directive.precision < 0 || n < static_cast<std::size_t>(directive.precision))) ++n;
  emit_padded(out, directive, n, [&](std::size_t i) { return text[i]; });
}

void emit_narrow(Sink& out, const Directive& directive, const char* s) {
  const char* text = s == nullptr ? "(null)" : s;
  std::size_t n = 0;
  while (text[n] != 0 && (directive.precision < 0 || n < static_cast<std::size_t>(directive.precision))) ++n;
  emit_padded(out, directive, n, [&](std::size_t i) {
    return byte_to_utf16(CodePage::cp1251, static_cast<uint8_t>(text[i]));
  });
}

// Builds the C format of one numeric conversion and runs snprintf on it.
template <typename T>
void emit_number(Sink& out, const Directive& directive, const char* length, char conv, T value) {
  char fmt[32];
  char* f = fmt;
  *f++ = '%';
  if (directive.left) *f++ = '-';
  if (directive.plus) *f++ = '+';
  if (directive.space) *f++ = ' ';
  if (directive.alt) *f++ = '#';
  if (directive.zero) *f++ = '0';
  if (directive.width > 0) f += std::snprintf(f, 12, "%d", directive.width);
  if (directive.precision >= 0) f += std::snprintf(f, 13, ".%d", directive.precision);
  for (const char* l = length; *l != 0; ++l) *f++ = *l;
  *f++ = conv;
  *f = 0;
  char buf[kMaxWidth + 400];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  int n = std::snprintf(buf, sizeof buf, fmt, value);
#pragma GCC diagnostic pop
  if (n < 0) return;
  if (static_cast<std::size_t>(n) >= sizeof buf) n = sizeof buf - 1;
  for (int i = 0; i < n; ++i) out.put(static_cast<char16_t>(static_cast<unsigned char>(buf[i])));
}

bool is_one_of(char16_t c, std::string_view set) {
  return c < 0x80 && set.find(static_cast<char>(c)) != std::string_view::npos;
}

// Reads the length modifier at `p`; advances it.
Size parse_size(const char16_t*& p) {
  switch (*p) {
    case u'h':
      if (p[1] == u'h') { p += 2; return Size::hh; }
      ++p;
      return Size::h;
    case u'l':
      if (p[1] == u'l') { p += 2; return Size::ll; }
      ++p;
      return Size::l;
    case u'w': ++p; return Size::w;
    case u'j': ++p; return Size::j;
    case u'z': ++p; return Size::z;
    case u't': ++p; return Size::t;
    case u'L': ++p; return Size::L;
    case u'q': ++p; return Size::ll;
    case u'I':
      if (p[1] == u'6' && p[2] == u'4') { p += 3; return Size::i64; }
      if (p[1] == u'3' && p[2] == u'2') { p += 3; return Size::i32; }
      ++p;  // plain I: pointer-sized
      return Size::z;
    default: return Size::none;
  }
}

void emit_integer(Sink& out, const Directive& directive, char conv, va_list& args) {
  const bool is_signed = conv == 'd' || conv == 'i';
  switch (directive.size) {
    case Size::ll: case Size::i64: case Size::j:
      if (is_signed) emit_number(out, directive, "ll", conv, static_cast<long long>(va_arg(args, int64_t)));
      else emit_number(out, directive, "ll", conv, static_cast<unsigned long long>(va_arg(args, uint64_t)));
      return;
    case Size::z: case Size::t:
      if (is_signed) emit_number(out, directive, "ll", conv, static_cast<long long>(va_arg(args, ptrdiff_t)));
      else emit_number(out, directive, "ll", conv, static_cast<unsigned long long>(va_arg(args, size_t)));
      return;
    case Size::hh:
      if (is_signed) emit_number(out, directive, "", conv, static_cast<int>(static_cast<signed char>(va_arg(args, int))));
      else emit_number(out, directive, "", conv, static_cast<unsigned>(static_cast<unsigned char>(va_arg(args, unsigned))));
      return;
    case Size::h:
      if (is_signed) emit_number(out, directive, "", conv, static_cast<int>(static_cast<int16_t>(va_arg(args, int))));
      else emit_number(out, directive, "", conv, static_cast<unsigned>(static_cast<uint16_t>(va_arg(args, unsigned))));
      return;
    default:  // none, l, w, I32, L: 32 bits
      if (is_signed) emit_number(out, directive, "", conv, static_cast<int>(va_arg(args, int32_t)));
      else emit_number(out, directive, "", conv, static_cast<unsigned>(va_arg(args, uint32_t)));
      return;
  }
}

}  // namespace

std::size_t wide_vsnprintf(char16_t* dst, std::size_t capacity, const char16_t* format,
                           va_list args_in) noexcept {
  if (dst == nullptr) capacity = 0;
  Sink out(dst, capacity);
  if (format == nullptr) {
    out.finish(capacity);
    return 0;
  }
  va_list args;
  va_copy(args, args_in);
  const char16_t* p = format;
  while (*p != 0) {
    if (*p != u'%') {
      out.put(*p++);
      continue;
    }
    const char16_t* start = p++;
    Directive directive;
    for (;; ++p) {
      if (*p == u'-') directive.left = true;
      else if (*p == u'+') directive.plus = true;
      else if (*p == u' ') directive.space = true;
      else if (*p == u'#') directive.alt = true;
      else if (*p == u'0') directive.zero = true;
      else break;
    }
    if (*p == u'*') {
      const int w = va_arg(args, int);
      if (w < 0) directive.left = true;
      directive.width = clamp_width(w < 0 ? -static_cast<long>(w) : w);
      ++p;
    } else {
      long w = 0;
      for (; *p >= u'0' && *p <= u'9'; ++p) {
        if (w <= kMaxWidth) w = w * 10 + (*p - u'0');
      }
      directive.width = clamp_width(w);
    }
    if (*p == u'.') {
      ++p;
      if (*p == u'*') {
        const int v = va_arg(args, int);
        directive.precision = v < 0 ? -1 : clamp_width(v);
        ++p;
      } else {
        long v = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p) {
          if (v <= kMaxWidth) v = v * 10 + (*p - u'0');
        }
        directive.precision = clamp_width(v);
      }
    }
    directive.size = parse_size(p);
    directive.conv = *p;
    if (directive.left) directive.zero = false;
    const char conv = directive.conv < 0x80 ? static_cast<char>(directive.conv) : '?';
    if (directive.conv == 0) {  // format ends inside a conversion: copy it as it stands
      while (start != p) out.put(*start++);
      break;
    }
    ++p;
    if (conv == '%') {
      out.put(u'%');
    } else if (conv == 's' || conv == 'S') {
      Directive s = directive;
      s.zero = false;
      const bool narrow = directive.size == Size::h || (conv == 'S' && directive.size != Size::l && directive.size != Size::w);
      if (narrow) emit_narrow(out, s, va_arg(args, const char*));
      else emit_wide(out, s, va_arg(args, const char16_t*));
    } else if (conv == 'c' || conv == 'C') {
      Directive s = directive;
      s.zero = false;
      s.precision = -1;
      const bool narrow = directive.size == Size::h || (conv == 'C' && directive.size != Size::l && directive.size != Size::w);
      const int v = va_arg(args, int);
      const char16_t c = narrow ? byte_to_utf16(CodePage::cp1251, static_cast<uint8_t>(v))
                                : static_cast<char16_t>(v);
      emit_padded(out, s, 1, [&](std::size_t) { return c; });
    } else if (is_one_of(directive.conv, "diuoxX")) {
      emit_integer(out, directive, conv, args);
    } else if (is_one_of(directive.conv, "eEfFgGaA")) {
      if (directive.size == Size::L) emit_number(out, directive, "L", conv, va_arg(args, long double));
      else emit_number(out, directive, "", conv, va_arg(args, double));
    } else if (conv == 'p') {
      Directive s = directive;
      s.precision = -1;
      emit_number(out, s, "", 'p', va_arg(args, void*));
    } else if (conv == 'n') {
      (void)va_arg(args, void*);
    } else {
      // Unknown conversion: copy it and stop reading arguments.
      while (start != p) out.put(*start++);
      while (*p != 0) out.put(*p++);
      break;
    }
  }
  va_end(args);
  out.finish(capacity);
  return out.length();
}

}  // namespace kelda::kit
