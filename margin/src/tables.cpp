#include "tables.h"

#include <cstring>

namespace kelda::margin {

std::string_view Tables::class_code(int32_t index) const {
  const auto& code = class_entry(index).record.classCode;
  return field_text(code, sizeof code);
}

std::string_view Tables::security_code(int32_t index) const {
  const auto& code = security(index).securityCode;
  return field_text(code, sizeof code);
}

Tables::AddResult Tables::add_class(const MargoClass& cls, const MargoSecurity* securities) {
  if (cls.flags & MARGO_CLASS_IGNORED) return AddResult::ignored;
  const std::string_view code = field_text(cls.classCode, sizeof cls.classCode);
  const auto key = Code::from(code);  // 13 characters at most: always a key
  if (auto it = class_by_code_.find(*key); it != class_by_code_.end()) {
    classes_[static_cast<std::size_t>(it->second)]->record.secondaryValuation = cls.secondaryValuation;
    return AddResult::present;
  }
  if (cls.securityCount < 0) return AddResult::bad_count;
  const auto count = static_cast<std::size_t>(cls.securityCount);
  if (securities_.size() + count > static_cast<std::size_t>(INT32_MAX)) throw std::bad_alloc();

  const auto class_index = static_cast<int32_t>(classes_.size());
  const auto first = static_cast<int32_t>(securities_.size());
  reserve_more(securities_, count);
  auto entry = make_owned<ClassEntry>(ClassEntry{cls, count > 0 ? first : -1, static_cast<int32_t>(count)});
  classes_.push_back(std::move(entry));
  try {
    class_by_code_.emplace(*key, class_index);
    class_by_id_.try_emplace(cls.classId, class_index);
    for (std::size_t i = 0; i < count; ++i) {
      MargoSecurity copy;
      std::memcpy(&copy, &securities[i], sizeof copy);
      copy.classIndex = class_index;
      securities_.push_back(copy);  // capacity reserved: never throws
      const auto index = static_cast<int32_t>(securities_.size() - 1);
      security_by_ids_.try_emplace(id_key(cls.classId, copy.securityId), index);
      if (auto sec_key = Code::from(security_code(index))) securities_by_code_[*sec_key].push_back(index);
    }
  } catch (...) {
    remove_last_class();
    throw;
  }
  if (cls.flags & MARGO_CLASS_BOND) ++bond_classes_;
  return AddResult::added;
}

void Tables::remove_last_class() noexcept {
  if (classes_.empty()) return;
  const auto class_index = static_cast<int32_t>(classes_.size() - 1);
  const ClassEntry& entry = *classes_.back();
  const auto first = entry.first_security < 0 ? static_cast<int32_t>(securities_.size()) : entry.first_security;
  for (auto index = static_cast<int32_t>(securities_.size()) - 1; index >= first; --index) {
    const MargoSecurity& sec = securities_[static_cast<std::size_t>(index)];
    if (auto it = security_by_ids_.find(id_key(entry.record.classId, sec.securityId));
        it != security_by_ids_.end() && it->second == index) {
      security_by_ids_.erase(it);
    }
    if (auto sec_key = Code::from(security_code(index))) {
      if (auto it = securities_by_code_.find(*sec_key); it != securities_by_code_.end()) {
        if (!it->second.empty() && it->second.back() == index) it->second.pop_back();
        if (it->second.empty()) securities_by_code_.erase(it);
      }
    }
  }
  securities_.resize(static_cast<std::size_t>(first));
  if (auto it = class_by_id_.find(entry.record.classId); it != class_by_id_.end() && it->second == class_index) {
    class_by_id_.erase(it);
  }
  if (auto key = Code::from(class_code(class_index))) {
    if (auto it = class_by_code_.find(*key); it != class_by_code_.end() && it->second == class_index) {
      class_by_code_.erase(it);
    }
  }
  if (entry.record.flags & MARGO_CLASS_BOND) --bond_classes_;
  classes_.pop_back();
}

void Tables::clear() noexcept {
  classes_.clear();
  securities_.clear();
  class_by_code_.clear();
  class_by_id_.clear();
  securities_by_code_.clear();
  security_by_ids_.clear();
  bond_classes_ = 0;
}

int32_t Tables::class_by_code(std::string_view code) const noexcept {
  const auto key = Code::from(code);
  if (!key) return -1;
  const auto it = class_by_code_.find(*key);
  return it == class_by_code_.end() ? -1 : it->second;
}

int32_t Tables::class_by_id(int32_t class_id) const noexcept {
  const auto it = class_by_id_.find(class_id);
  return it == class_by_id_.end() ? -1 : it->second;
}

int32_t Tables::security_by_ids(int32_t class_id, int32_t security_id) const noexcept {
  const auto it = security_by_ids_.find(id_key(class_id, security_id));
  return it == security_by_ids_.end() ? -1 : it->second;
}

std::span<const int32_t> Tables::securities_with_code(std::string_view code) const noexcept {
  const auto key = Code::from(code);
  if (!key) return {};
  const auto it = securities_by_code_.find(*key);
  if (it == securities_by_code_.end()) return {};
  return {it->second.data(), it->second.size()};
}

int32_t Tables::security_in_class(int32_t class_index, std::string_view code) const noexcept {
  for (const int32_t index : securities_with_code(code)) {
    if (security(index).classIndex == class_index) return index;
  }
  return -1;
}

}  // namespace kelda::margin
