#include "rules.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kelda::margin {

RuleSet::~RuleSet() {
  if (handle_table_ != nullptr && handle_ != 0) handle_table_->release(handle_);
}

uint32_t RuleSet::handle_in(HandleTable& table) {
  if (handle_ == 0 || handle_table_ != &table) {
    handle_ = table.acquire(this);
    handle_table_ = handle_ != 0 ? &table : nullptr;
  }
  return handle_;
}

namespace {

// The first kMax bytes of a code that may be longer (security table codes).
Code code_prefix(std::string_view s) {
  if (s.size() > Code::kMax) s = s.substr(0, Code::kMax);
  return Code::from(s).value_or(Code{});
}

ClassListEntry resolved_entry(const ClassListEntry& entry, int32_t class_index, const Tables& tables) {
  ClassListEntry out;
  out.class_code = entry.class_code;
  out.class_index = class_index;
  out.all = entry.all;
  const ClassEntry& cls = tables.class_entry(class_index);
  out.securities.reserve(entry.securities.size() + (entry.all ? static_cast<std::size_t>(cls.security_count) : 0));
  if (!entry.all) {
    for (const SecurityEntry& sec : entry.securities) {
      out.securities.push_back({sec.code, tables.security_in_class(class_index, sec.code.view())});
    }
  } else {
    out.securities = entry.securities;
    for (int32_t i = 0; i < cls.security_count; ++i) {
      const int32_t index = cls.first_security + i;
      out.securities.push_back({code_prefix(tables.security_code(index)), index});
    }
  }
  return out;
}

// Position of ",code," in the main class list, or npos.
std::size_t main_position(const FirmRules& firm, std::string_view code) {
  if (code.size() > Code::kMax) return std::string_view::npos;
  if (code.find(',') == std::string_view::npos) {
    const auto it = firm.main_positions.find(*Code::from(code));
    return it == firm.main_positions.end() ? std::string_view::npos : it->second;
  }
  // A code holding a comma spans pieces: search the text itself.
  char needle[Code::kMax + 3];
  needle[0] = ',';
  std::memcpy(needle + 1, code.data(), code.size());
  needle[code.size() + 1] = ',';
  return std::string_view(firm.main_classes).find(std::string_view(needle, code.size() + 2));
}

void build_class_order(const FirmRules& firm, const Tables& tables, Vec<int32_t>& order, Vec<int32_t>& rank) {
  const int32_t n = tables.class_count();
  Vec<std::pair<std::size_t, int32_t>> keyed;
  keyed.reserve(static_cast<std::size_t>(n));
  for (int32_t c = 0; c < n; ++c) keyed.emplace_back(main_position(firm, tables.class_code(c)), c);
  // Listed classes in list order; unlisted ones (npos) after them, in table
  // order. The pairs are unique, so a plain sort keeps ties in index order
  // without the scratch buffer a stable sort takes from operator new.
  std::sort(keyed.begin(), keyed.end());
  order.resize(static_cast<std::size_t>(n));
  rank.resize(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    order[static_cast<std::size_t>(i)] = keyed[static_cast<std::size_t>(i)].second;
    rank[static_cast<std::size_t>(keyed[static_cast<std::size_t>(i)].second)] = i;
  }
}

void build_index(const ClassList& list, const Tables& tables, std::span<const int32_t> rank, bool by_code,
                 ListIndex& out) {
  if (by_code && !list.empty()) {
    // The first entry of each class, classes in class order (entries of one
    // class keep their list order: the pairs sort by entry within a rank).
    Vec<std::pair<int32_t, int32_t>> firsts;  // (rank of the class, entry)
    for (std::size_t i = 0; i < list.size(); ++i) {
      const int32_t c = list[i].class_index;
      if (c >= 0 && static_cast<std::size_t>(c) < rank.size()) firsts.emplace_back(rank[c], static_cast<int32_t>(i));
    }
    std::sort(firsts.begin(), firsts.end());
    for (std::size_t k = 0; k < firsts.size(); ++k) {
      if (k > 0 && firsts[k].first == firsts[k - 1].first) continue;
      for (const SecurityEntry& sec : list[static_cast<std::size_t>(firsts[k].second)].securities) {
        if (sec.security < 0) continue;
        if (auto code = Code::from(tables.security_code(sec.security))) out.by_code.try_emplace(*code, sec.security);
      }
    }
  }
  for (const ClassListEntry& entry : list) {
    if (entry.class_index < 0) continue;
    if (entry.all) out.all_classes.insert(entry.class_index);
    for (const SecurityEntry& sec : entry.securities) {
      if (sec.security >= 0) out.held.insert(sec.security);
    }
  }
}

struct EntryFix {
  ClassListEntry* target;
  ClassListEntry replacement;
};

struct FirmStage {
  FirmRules* firm;
  std::size_t first_list;  // this firm's list stages: [first_list, end_list)
  std::size_t end_list;
  Vec<int32_t> order;
  Vec<int32_t> rank;
};

struct ListStage {
  RuleLists* lists;
  bool rebuild;  // never indexed, or entries resolved now
};

// New lookups of one list set, swapped in once all are built.
struct ListBuild {
  RuleLists* lists;
  ListIndex margin, asset, restricted;
};

}  // namespace

uint64_t next_visit_mark() noexcept {
  static uint64_t last = 0;
  return ++last;
}

void refresh_rules(std::span<FirmRules* const> firms, const Tables& tables) {
  // Every distinct list set once (template clients share theirs).
  const uint64_t mark = next_visit_mark();
  Vec<FirmStage> firm_stages;
  Vec<ListStage> list_stages;
  firm_stages.reserve(firms.size());
  for (FirmRules* firm : firms) {
    FirmStage& stage = firm_stages.emplace_back(FirmStage{firm, list_stages.size(), 0, {}, {}});
    auto add = [&](RuleSet& set) {
      if (set.lists && set.lists->visit_mark != mark) {
        set.lists->visit_mark = mark;
        list_stages.push_back(ListStage{set.lists.get(), !set.lists->indexed});
      }
    };
    add(*firm);
    for (auto& client : firm->clients) add(*client);
    stage.end_list = list_stages.size();
  }

  // Stage the newly resolvable entries, then swap them in.
  Vec<EntryFix> fixes;
  for (ListStage& stage : list_stages) {
    for (ClassList* list : {&stage.lists->margin, &stage.lists->asset, &stage.lists->restricted}) {
      for (ClassListEntry& entry : *list) {
        if (entry.class_index >= 0) continue;
        const int32_t class_index = tables.class_by_code(entry.class_code.view());
        if (class_index >= 0) {
          fixes.push_back(EntryFix{&entry, resolved_entry(entry, class_index, tables)});
          stage.rebuild = true;
        }
      }
    }
  }
  for (EntryFix& fix : fixes) std::swap(*fix.target, fix.replacement);

  // Build the new orders and lookups; undo the resolution if that fails.
  Vec<ListBuild> builds;
  try {
    builds.reserve(static_cast<std::size_t>(
        std::count_if(list_stages.begin(), list_stages.end(), [](const ListStage& l) { return l.rebuild; })));
    for (FirmStage& firm_stage : firm_stages) {
      build_class_order(*firm_stage.firm, tables, firm_stage.order, firm_stage.rank);
      for (std::size_t i = firm_stage.first_list; i < firm_stage.end_list; ++i) {
        if (!list_stages[i].rebuild) continue;
        ListBuild& build = builds.emplace_back(ListBuild{list_stages[i].lists, {}, {}, {}});
        build_index(build.lists->margin, tables, firm_stage.rank, true, build.margin);
        build_index(build.lists->asset, tables, firm_stage.rank, true, build.asset);
        build_index(build.lists->restricted, tables, firm_stage.rank, false, build.restricted);
      }
    }
  } catch (...) {
    for (EntryFix& fix : fixes) std::swap(*fix.target, fix.replacement);
    throw;
  }

  for (FirmStage& stage : firm_stages) {
    stage.firm->class_order.swap(stage.order);
    stage.firm->class_rank.swap(stage.rank);
  }
  for (ListBuild& build : builds) {
    std::swap(build.lists->margin_index, build.margin);
    std::swap(build.lists->asset_index, build.asset);
    std::swap(build.lists->restricted_index, build.restricted);
    build.lists->indexed = true;
  }
}

int32_t lag_of(const FirmRules& firm, std::string_view client_code) {
  if (const auto key = Code::folded(client_code)) {
    if (const auto it = firm.exact_lags.find(*key); it != firm.exact_lags.end()) return it->second;
  }
  // The longest stored prefix of the code decides.
  if (!firm.prefix_lags.empty()) {
    for (std::size_t len = std::min(client_code.size(), kMaxCodeLength) + 1; len-- > 0;) {
      const auto key = Code::folded(client_code.substr(0, len));
      if (!key) continue;
      if (const auto it = firm.prefix_lags.find(*key); it != firm.prefix_lags.end()) return it->second;
    }
  }
  return firm.credit_lag;
}

int32_t board_tag_kind(const FirmRules& firm, std::string_view tag) {
  if (firm.board_tags.empty()) return 1;
  const auto key = Code::folded(tag);
  if (!key) return 0;
  const auto it = firm.board_tags.find(*key);
  return it == firm.board_tags.end() ? 0 : it->second;
}

int32_t trade_account_kind(const FirmRules& firm, std::string_view account) {
  const auto key = Code::folded(account);
  if (!key) return 1;
  const auto it = firm.trade_accounts.find(*key);
  return it == firm.trade_accounts.end() ? 1 : it->second;
}

Weight weight_of(const FirmRules& firm, std::string_view security_code) {
  const auto key = Code::from(security_code);
  if (!key) return {};
  const auto it = firm.weights.find(*key);
  return it == firm.weights.end() ? Weight{} : it->second;
}

RuleSet& rules_for_client(FirmRules& firm, std::string_view client_code) {
  if (const auto key = Code::folded(client_code)) {
    if (const auto it = firm.client_by_code.find(*key); it != firm.client_by_code.end()) {
      ClientRules& client = *firm.clients[static_cast<std::size_t>(it->second)];
      if (!client.prefix) return client;
    }
  }
  for (const int32_t index : firm.prefix_clients) {
    ClientRules& client = *firm.clients[static_cast<std::size_t>(index)];
    std::string_view prefix = client.code.view();
    prefix.remove_suffix(1);
    if (client_code.size() >= prefix.size() && equal_folded(client_code.substr(0, prefix.size()), prefix)) {
      return client;
    }
  }
  return firm;
}

int32_t secondary_security(const FirmRules& firm, const Tables& tables, std::string_view code) {
  int32_t best = -1;
  std::size_t best_rank = 0;
  for (const int32_t index : tables.securities_with_code(code)) {
    const auto class_index = static_cast<std::size_t>(tables.security(index).classIndex);
    if (!tables.class_entry(static_cast<int32_t>(class_index)).record.secondaryValuation) continue;
    const std::size_t rank = class_index < firm.class_rank.size()
                                 ? static_cast<std::size_t>(firm.class_rank[class_index])
                                 : SIZE_MAX;
    // Table order within a class: the first security with the code wins.
    if (best < 0 || rank < best_rank) {
      best = index;
      best_rank = rank;
    }
  }
  return best;
}

bool restricts_non_margin_buy(const RuleSet& set) {
  if (set.rstrnmbuy != Setting::unset) return set.rstrnmbuy == Setting::on;
  return set.is_client && set.firm->rstrnmbuy == Setting::on;
}

namespace {
const RuleLists& margin_lists(const RuleSet& set) {
  return !set.lists->margin.empty() ? *set.lists : *set.firm->lists;
}
const RuleLists* asset_lists(const RuleSet& set) {
  if (!set.lists->asset.empty()) return set.lists.get();
  if (!set.firm->lists->asset.empty()) return set.firm->lists.get();
  return nullptr;
}
int32_t find_code(const ListIndex& index, std::string_view code) {
  const auto key = Code::from(code);
  if (!key) return -1;
  const auto it = index.by_code.find(*key);
  return it == index.by_code.end() ? -1 : it->second;
}
}  // namespace

const ClassList& margin_list_of(const RuleSet& set) { return margin_lists(set).margin; }

int32_t margin_security_by_code(const RuleSet& set, std::string_view code) {
  return find_code(margin_lists(set).margin_index, code);
}

int32_t asset_security_by_code(const RuleSet& set, std::string_view code) {
  if (const RuleLists* lists = asset_lists(set)) return find_code(lists->asset_index, code);
  return margin_security_by_code(set, code);
}

bool is_margin_security(const RuleSet& set, int32_t security, int32_t class_index) {
  return margin_lists(set).margin_index.holds(security, class_index);
}

bool is_asset_security(const RuleSet& set, int32_t security, int32_t class_index) {
  if (const RuleLists* lists = asset_lists(set)) return lists->asset_index.holds(security, class_index);
  return is_margin_security(set, security, class_index);
}

bool is_short_restricted(const RuleSet& set, int32_t security, int32_t class_index) {
  if (set.is_client && set.ignore_rest_short) return false;
  const RuleLists& lists = !set.lists->restricted.empty() ? *set.lists : *set.firm->lists;
  return lists.restricted_index.holds(security, class_index);
}

}  // namespace kelda::margin
