// Message texts, localized names and error texts.
#include "kit/messages.h"

#include <cstdarg>
#include <optional>
#include <string>

#include "kit/codepage.h"
#include "kit/format.h"
#include "kit/kit_state.h"
#include "platform/error_text.h"

namespace kelda::kit {
namespace {

constexpr std::size_t kNameBufferSize = 256;

// Copies a text cut to the capacity, with every "#" as '"'.
void copy_text(std::u16string_view text, char16_t* dst, std::size_t capacity, bool quotes) {
  const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  for (std::size_t i = 0; i < n; ++i) dst[i] = quotes && text[i] == u'#' ? u'"' : text[i];
  dst[n] = 0;
}

std::u16string_view cut_line_end(std::u16string_view text) {
  if (!text.empty() && text.back() == u'\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == u'\r') text.remove_suffix(1);
  return text;
}

std::optional<std::u16string_view> table_message(uint32_t id, uint16_t language, uint16_t sub_language) {
  const ResourceTable* table = resource_module();
  if (table == nullptr) return std::nullopt;
  if (auto text = table->message(id, language, sub_language)) return text;
  return table->message(id, kLanguageEnglish, kSubLanguageDefault);
}

std::optional<std::u16string_view> table_string(uint32_t id, uint16_t language, uint16_t sub_language) {
  const ResourceTable* table = resource_module();
  if (table == nullptr) return std::nullopt;
  if (auto text = table->string(id, language, sub_language)) return text;
  return table->string(id, kLanguageEnglish, kSubLanguageDefault);
}

void write_unknown(uint32_t id, char16_t* dst, std::size_t capacity) {
  wcs_format(dst, capacity, u"Unknown resource identifier %ld", id);
}

}  // namespace

int get_locale_info(LocaleInfo* info) noexcept {
  if (info == nullptr) return 0;
  const LocaleTriple locale = current_locale();
  *info = LocaleInfo{1, locale.language, locale.sub_language, locale.dialect};
  return 1;
}

int load_message_text(uint32_t id, char16_t* dst, std::size_t capacity, uint16_t language,
                      uint16_t sub_language) noexcept {
  if (dst == nullptr || capacity == 0) return 0;
  if (auto text = table_message(id, language, sub_language)) {
    copy_text(cut_line_end(*text), dst, capacity, true);
    return 1;
  }
  if (auto text = table_string(id, language, sub_language)) {
    copy_text(*text, dst, capacity, true);
    return 1;
  }
  write_unknown(id, dst, capacity);
  return 0;
}

int format_message_text(uint32_t id, char16_t* dst, std::size_t capacity, unsigned language,
                        unsigned sub_language, ...) noexcept {
  if (dst == nullptr || capacity == 0) return 0;
  try {
    std::u16string format(capacity, u'\0');
    if (load_message_text(id, format.data(), capacity, static_cast<uint16_t>(language),
                          static_cast<uint16_t>(sub_language)) == 0) {
      write_unknown(id, dst, capacity);
      return 0;
    }
    va_list args;
    va_start(args, sub_language);
    wide_vsnprintf(dst, capacity, format.c_str(), args);
    va_end(args);
    return 1;
  } catch (...) {
    dst[0] = 0;
    return 0;
  }
}

int message_text(uint32_t id, uint16_t language, uint16_t sub_language, const char16_t** text) noexcept {
  thread_local char16_t buffer[512];
  const int found = load_message_text(id, buffer, 512, language, sub_language);
  if (text != nullptr) *text = buffer;
  return found;
}

const char16_t* localized_resource_name(const char16_t* name, uint16_t language,
                                        uint16_t sub_language) noexcept {
  thread_local char16_t buffer[kNameBufferSize];
  if (name == nullptr) return nullptr;
  wcs_format(buffer, kNameBufferSize, u"%s_0X%02x_0X%02x", name, uint32_t{language}, uint32_t{sub_language});
  return buffer;
}

int find_localized_resource(ResourceType type, const char16_t* name, uint16_t language,
                            uint16_t sub_language, const char16_t** localized_name) noexcept {
  const char16_t* localized = localized_resource_name(name, language, sub_language);
  if (localized == nullptr || load_resource(type, ResourceName(localized)) == nullptr) return 0;
  if (localized_name != nullptr) *localized_name = localized;
  return 1;
}

const Resource* load_resource(ResourceType type, const ResourceName& name) noexcept {
  const ResourceTable* table = resource_module();
  return table == nullptr ? nullptr : table->find(type, name);
}

const Resource* choose_dialog_template(const ResourceName& name, uint16_t language,
                                       uint16_t sub_language) noexcept {
  try {
    if (const Resource* found = load_resource(ResourceType::dialog, name)) return found;
    if (name.is_number()) return nullptr;
    const std::u16string plain(name.text());
    for (const auto& [lang, sub] : {std::pair{language, sub_language}, std::pair{kLanguageEnglish, kSubLanguageDefault}}) {
      const char16_t* localized = nullptr;
      if (find_localized_resource(ResourceType::dialog, plain.c_str(), lang, sub, &localized) != 0) {
        return load_resource(ResourceType::dialog, ResourceName(localized));
      }
    }
    return nullptr;
  } catch (...) {
    return nullptr;
  }
}

int on_enum_resource_language(uint16_t language_id, ResourceLanguageSearch* search) noexcept {
  if (search == nullptr) return 0;
  const uint16_t primary = language_id & 0x3FF;
  const bool installed = primary == kLanguageEnglish || primary == kLanguageRussian;
  if (installed && language_id == search->wanted) {
    search->found = 1;
    return 0;
  }
  return 1;
}

int system_error_text(uint32_t code, char16_t* dst, std::size_t capacity) noexcept {
  if (dst == nullptr || capacity == 0) return 0;
  try {
    if (const std::optional<std::string> text = kelda::platform::system_error_text(code)) {
      const std::u16string wide = decode(CodePage::cp1251, *text);
      copy_text(cut_line_end(wide), dst, capacity, false);
      return 1;
    }
  } catch (...) {
  }
  char16_t fallback[64];
  wcs_format(fallback, 64, u"System error 0x%04x", code);
  copy_text(fallback, dst, capacity, false);
  return 0;
}

int error_text(uint32_t id, char16_t* dst, std::size_t capacity) noexcept {
  if (dst == nullptr || capacity == 0) return 0;
  const LocaleTriple locale = current_locale();
  if (auto text = table_message(id, locale.language, locale.sub_language)) {
    copy_text(cut_line_end(*text), dst, capacity, true);
    return 1;
  }
  return system_error_text(id, dst, capacity);
}

}  // namespace kelda::kit
