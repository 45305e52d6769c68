// Security and firm queries: margin and asset codes, the margin security list,
// the securities the rules need, board tags and lots.
#include <algorithm>
#include <cstring>

#include "library.h"

namespace kelda::margin {
namespace {

constexpr std::size_t kMaxFirmId = 12;

std::string_view firm_text(const char* firm_id) { return {firm_id, ::strnlen(firm_id, kMaxFirmId + 1)}; }

template <std::size_t N>
void copy_text(char (&out)[N], std::string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

Outcome Library::find_security_code(const MargoMarginalRow* row, const char* code, const MargoClass** cls,
                                    int32_t* security_id, bool asset) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!row || !code) return failed(MARGO_ERROR_MISSING);
  RuleSet* set = nullptr;
  if (auto refused = check_bound_row(row, &set)) return *refused;
  const std::string_view text(code);
  const int32_t security = asset ? asset_security_by_code(*set, text) : margin_security_by_code(*set, text);
  if (security < 0) return succeeded(FALSE);
  const MargoSecurity& sec = tables_.security(security);
  if (cls) *cls = &tables_.class_entry(sec.classIndex).record;
  if (security_id) *security_id = sec.securityId;
  return succeeded(TRUE);
}

Outcome Library::get_margin_secs(const MargoMarginalRow* row, MargoMarginSecsCallback callback, intptr_t user) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!row || !callback) return failed(MARGO_ERROR_MISSING);
  RuleSet* set = nullptr;
  if (auto refused = check_bound_row(row, &set)) return *refused;

  const ClassList& list = margin_list_of(*set);
  const std::size_t count = std::min<std::size_t>(list.size(), INT32_MAX);
  Vec<MargoMarginSecEntry> entries(count);
  Vec<Vec<MargoMarginSecCode>> codes(count);
  for (std::size_t i = 0; i < count; ++i) {
    const ClassListEntry& source = list[i];
    MargoMarginSecEntry& entry = entries[i];
    entry.classId = source.class_index >= 0 ? tables_.class_entry(source.class_index).record.classId : -1;
    copy_text(entry.classCode, source.class_code.view());
    codes[i].resize(source.securities.size());
    for (std::size_t j = 0; j < source.securities.size(); ++j) {
      const SecurityEntry& sec = source.securities[j];
      codes[i][j].securityId = sec.security >= 0 ? tables_.security(sec.security).securityId : -1;
      copy_text(codes[i][j].securityCode, sec.code.view());
    }
    entry.securityCount = static_cast<int32_t>(codes[i].size());
    entry.securities = codes[i].empty() ? nullptr : codes[i].data();
  }
  callback(entries.empty() ? nullptr : entries.data(), static_cast<int32_t>(count), user);
  return succeeded();
}

Outcome Library::need_class_security_ids(int32_t class_id, int32_t* ids, int32_t* count) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!ids || !count) return failed(MARGO_ERROR_MISSING);
  if (tables_.class_by_id(class_id) < 0) return failed(MARGO_ERROR_UNKNOWN_SECURITY);

  const int32_t capacity = std::max(*count, 0);
  int32_t written = 0;
  HashSet<int32_t> collected;
  const uint64_t mark = next_visit_mark();  // template clients share their lists
  // false when a new id finds the array full.
  auto collect = [&](const RuleSet& set) {
    if (set.lists->visit_mark == mark) return true;
    set.lists->visit_mark = mark;
    for (const ClassList* list : {&set.lists->margin, &set.lists->asset}) {
      for (const ClassListEntry& entry : *list) {
        if (entry.class_index < 0 || tables_.class_entry(entry.class_index).record.classId != class_id) continue;
        for (const SecurityEntry& sec : entry.securities) {
          if (sec.security < 0) continue;
          const int32_t id = tables_.security(sec.security).securityId;
          if (collected.count(id) > 0) continue;
          if (written >= capacity) return false;
          collected.insert(id);
          ids[written++] = id;
        }
      }
    }
    return true;
  };
  for (const auto& firm : firms_) {
    if (!collect(*firm)) return failed(MARGO_ERROR_SIZE);
    for (const auto& client : firm->clients) {
      if (!collect(*client)) return failed(MARGO_ERROR_SIZE);
    }
  }
  *count = written;
  return Outcome{TRUE, MARGO_ERROR_SUCCESS, false};
}

Outcome Library::board_tag_applicable(const char* firm_id, const char* tag) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!firm_id || !tag) return failed(MARGO_ERROR_MISSING);
  const FirmRules* firm = find_firm(firm_text(firm_id));
  if (!firm) return failed(MARGO_ERROR_UNKNOWN_FIRM);
  return Outcome{board_tag_kind(*firm, tag) == 1 ? TRUE : FALSE, MARGO_ERROR_SUCCESS, false};
}

Outcome Library::limits_in_lots(const char* firm_id) {
  if (!initialised_) return failed(MARGO_ERROR_STATE, TRUE);
  if (!firm_id) return failed(MARGO_ERROR_MISSING, TRUE);
  const FirmRules* firm = find_firm(firm_text(firm_id));
  if (!firm) return failed(MARGO_ERROR_UNKNOWN_FIRM, TRUE);
  return succeeded(firm->limits_in_lots ? TRUE : FALSE);
}

}  // namespace kelda::margin
