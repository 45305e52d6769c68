// The resources of one library: message-table and string-table texts by
// numeric id and language, and named or numbered resources such as dialog
// templates.
//
// Every library that compiles the kit in fills one ResourceTable with its
// English and Russian texts while it is loaded, and makes it its resource
// module (kit_state.h, set_library_module). The kit's message functions
// (messages.h) search the current resource module.
//
// Languages are the system's ids: language 0x09 English, 0x19 Russian,
// sub-language 0x01 for both.
// Threading: adding and looking up may run on any thread (a shared lock
// guards the table); the first text added under an id and language stays,
// so texts returned by lookups stay valid until the table is destroyed. Resource data is not copied: it must outlive the table. Adding
// may throw std::bad_alloc; lookups never throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <variant>

namespace kelda::kit {

inline constexpr uint16_t kLanguageEnglish = 0x09;
inline constexpr uint16_t kLanguageRussian = 0x19;
inline constexpr uint16_t kSubLanguageDefault = 0x01;

enum class ResourceType : uint16_t { dialog = 5, string_table = 6, message_table = 11 };

// A resource's name: a number or a text (compared exactly).
class ResourceName {
 public:
  ResourceName(uint32_t number) : value_(number) {}  // NOLINT: ids convert implicitly
  ResourceName(const char16_t* text) : value_(std::u16string(text == nullptr ? u"" : text)) {}  // NOLINT
  ResourceName(std::u16string text) : value_(std::move(text)) {}  // NOLINT

  bool is_number() const { return std::holds_alternative<uint32_t>(value_); }
  uint32_t number() const { return is_number() ? std::get<uint32_t>(value_) : 0; }
  // The text of a named resource, empty for a number.
  std::u16string_view text() const {
    return is_number() ? std::u16string_view() : std::u16string_view(std::get<std::u16string>(value_));
  }
  auto operator<=>(const ResourceName&) const = default;

 private:
  std::variant<uint32_t, std::u16string> value_;
};

struct Resource {
  ResourceType type;
  ResourceName name;
  const void* data;
  std::size_t size;
};

class ResourceTable {
 public:
  ResourceTable() = default;
  ResourceTable(const ResourceTable&) = delete;
  ResourceTable& operator=(const ResourceTable&) = delete;

  // An id and language already present keep their first text (and a type and
  // name their first resource).
  void add_message(uint32_t id, uint16_t language, uint16_t sub_language, std::u16string_view text);
  void add_string(uint32_t id, uint16_t language, uint16_t sub_language, std::u16string_view text);
  void add_resource(ResourceType type, ResourceName name, const void* data, std::size_t size);

  // The text in exactly that language, or nothing.
  std::optional<std::u16string_view> message(uint32_t id, uint16_t language,
                                             uint16_t sub_language) const noexcept;
  std::optional<std::u16string_view> string(uint32_t id, uint16_t language,
                                            uint16_t sub_language) const noexcept;
  const Resource* find(ResourceType type, const ResourceName& name) const noexcept;

 private:
  using TextKey = std::tuple<uint32_t, uint16_t, uint16_t>;
  mutable std::shared_mutex mutex_;
  std::map<TextKey, std::u16string> messages_;
  std::map<TextKey, std::u16string> strings_;
  std::map<std::pair<ResourceType, ResourceName>, Resource> resources_;
};

}  // namespace kelda::kit
