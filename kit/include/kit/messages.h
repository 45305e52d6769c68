// Message texts by id and language from the library's resource module,
// localized resource names, the locale record, and texts of system and
// socket error codes.
//
// Message texts write "#" where the text shows a double quote; every "#" is
// replaced by '"' when a text is loaded. All texts are wide (UTF-16); every
// function with a destination and a capacity (in characters) cuts its text
// to capacity - 1 and terminates it, and writes nothing for a null
// destination or a zero capacity.
// Threading: any thread. Static results (message_text, localized_resource_name)
// are per thread. Nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kit/resources.h"

namespace kelda::kit {

// The locale record handed to the crypto providers.
struct LocaleInfo {
  uint32_t version;  // 1
  uint16_t language;
  uint16_t sub_language;
  uint16_t dialect;
};
static_assert(sizeof(LocaleInfo) == 12);
static_assert(offsetof(LocaleInfo, language) == 4 && offsetof(LocaleInfo, dialect) == 8);

// Fills the record with version 1 and the current locale; 0 for null, else 1.
int get_locale_info(LocaleInfo* info) noexcept;

// The text of a message id in the language (falling back to English 0x09/0x01),
// a trailing LF and then a trailing CR cut; else the id's string-table text in
// the language or English; "#" becomes '"'. 1 when found; else the text
// "Unknown resource identifier <id>" and 0.
int load_message_text(uint32_t id, char16_t* dst, std::size_t capacity, uint16_t language,
                      uint16_t sub_language) noexcept;

// Loads the text (cut to the capacity) and formats it as a wide printf format
// (format.h) with the arguments into `dst`. 1; or 0 with the text
// "Unknown resource identifier <id>" when the id has no text. (The language
// ids are unsigned here only because they precede the variable arguments.)
int format_message_text(uint32_t id, char16_t* dst, std::size_t capacity, unsigned language,
                        unsigned sub_language, ...) noexcept;

// load_message_text into a per-thread buffer of 512 characters; returns 1 or 0
// as that does and, when `text` is given, points it at the buffer.
int message_text(uint32_t id, uint16_t language, uint16_t sub_language,
                 const char16_t** text = nullptr) noexcept;

// "<name>_0X<ll>_0X<ss>" with the language and sub-language as two hex
// digits (so "CONFIG_DIALOG" in Russian is "CONFIG_DIALOG_0X19_0X01"), in a
// per-thread buffer; null for a null name.
const char16_t* localized_resource_name(const char16_t* name, uint16_t language,
                                        uint16_t sub_language) noexcept;

// 1 when the resource module holds a resource of that type under the
// localized name (stored in *localized_name when given), else 0.
int find_localized_resource(ResourceType type, const char16_t* name, uint16_t language,
                            uint16_t sub_language, const char16_t** localized_name) noexcept;

// The resource of the resource module, or null.
const Resource* load_resource(ResourceType type, const ResourceName& name) noexcept;

// The dialog template a language-chosen dialog opens: the template under
// the name itself (a numeric id stops here), else under the localized name of
// the language, else under the English localized name; null when none.
const Resource* choose_dialog_template(const ResourceName& name, uint16_t language,
                                       uint16_t sub_language) noexcept;

// The callback of a search over the languages a resource exists in: sets
// `found` and answers 0 (stop) when `language_id` (language | sub-language <<
// 10) is a language the system has texts in (English or Russian) and equals
// `wanted`; otherwise answers 1 (go on).
struct ResourceLanguageSearch {
  uint16_t wanted;
  int found;
};
int on_enum_resource_language(uint16_t language_id, ResourceLanguageSearch* search) noexcept;

// The text of a system or socket error code, a trailing LF and CR cut: 1 with
// the platform's text, 0 with "System error 0x<code, at least 4 hex digits>".
int system_error_text(uint32_t code, char16_t* dst, std::size_t capacity) noexcept;

// The resource module's message text for the id in the current locale (or
// English), with 1; for an id the module does not have, system_error_text.
int error_text(uint32_t id, char16_t* dst, std::size_t capacity) noexcept;

}  // namespace kelda::kit
