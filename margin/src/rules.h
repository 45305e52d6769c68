// Firm and client rule sets parsed from a firm's rule text, and the questions
// the figures ask of them.
//
// A firm rule set owns its client rule sets. Class lists name classes and
// securities by code; they are resolved against the tables when the text is
// parsed and again after each new class (refresh_rules), which also rebuilds
// each firm's class order and the lookups of the lists a class resolved, so
// that no query is linear in the size of the rules. Client sets made from one template share its
// lists. A rule set may carry a handle (see handles.h) that it gives back when
// it goes. Not thread-safe: the library's lock covers every use.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "handles.h"
#include "memory.h"
#include "tables.h"
#include "text.h"

namespace kelda::margin {

inline constexpr std::size_t kMaxCodeLength = 12;  // class, security, client, firm codes in rules

struct SecurityEntry {
  Code code;              // as written in the rules, or the table's code for <ALL>
  int32_t security = -1;  // index in the security table, -1 while unresolved
};

struct ClassListEntry {
  Code class_code;
  int32_t class_index = -1;  // -1 while the class is not in the table
  bool all = false;          // "<ALL>": every security of the class
  Vec<SecurityEntry> securities;
};
using ClassList = Vec<ClassListEntry>;

// Lookups derived from one class list under its firm's class order.
struct ListIndex {
  // Security code -> security index: classes in class order, each through its
  // first entry in the list; the first hit counts.
  HashMap<Code, int32_t, CodeHash> by_code;
  HashSet<int32_t> held;         // security indexes held by any entry
  HashSet<int32_t> all_classes;  // class indexes of "<ALL>" entries

  bool holds(int32_t security, int32_t class_index) const {
    return all_classes.count(class_index) > 0 || held.count(security) > 0;
  }
};

struct RuleLists {
  ClassList margin;
  ClassList asset;
  ClassList restricted;  // restricted for short sales
  ListIndex margin_index;
  ListIndex asset_index;
  ListIndex restricted_index;
  // The indexes above are built. A new class leaves them as they are unless
  // it resolves an entry of these lists: classes only join the table, and
  // those already there keep their relative order in every class order.
  bool indexed = false;
  // Walks over every rule set stamp the list sets they meet with a mark of
  // their own (next_visit_mark), to meet the shared ones once.
  uint64_t visit_mark = 0;
};

// A mark no walk has used yet.
uint64_t next_visit_mark() noexcept;

enum class Setting : uint8_t { unset, on, off };

struct FirmRules;

struct RuleSet {
  RuleSet() = default;
  RuleSet(const RuleSet&) = delete;
  RuleSet& operator=(const RuleSet&) = delete;
  ~RuleSet();

  // A handle for this set, taken on first use; 0 when none is left.
  uint32_t handle_in(HandleTable& table);

  FirmRules* firm = nullptr;  // the owning firm set (itself for a firm set)
  bool is_client = false;
  Setting rstrnmbuy = Setting::unset;
  bool ignore_rest_short = false;
  std::shared_ptr<RuleLists> lists;

 private:
  HandleTable* handle_table_ = nullptr;
  uint32_t handle_ = 0;
};

struct ClientRules : RuleSet {
  Code code;            // as written; a template code ends in '*'
  bool prefix = false;  // code ends in '*': matches client codes by prefix
};

struct Weight {
  double long_factor = 1.0;
  double short_factor = 1.0;
};

struct FirmRules : RuleSet {
  FirmRules() { firm = this; }

  Code firm_id;
  bool volume = false;
  bool check_max_credit = false;
  bool limits_in_lots = true;
  int32_t credit_lag = 1;
  Str main_classes;  // the MAINMARGINCLASSES value wrapped in commas
  // Each piece of main_classes -> position of the comma before its first
  // occurrence: where ",code," first stands, found without a text search.
  HashMap<Code, std::size_t, CodeHash> main_positions;

  Vec<int32_t> class_order;  // class indexes, main classes first
  Vec<int32_t> class_rank;   // class index -> position in class_order

  Vec<Owned<ClientRules>> clients;                  // in order of creation
  HashMap<Code, int32_t, CodeHash> client_by_code;  // folded code -> first client with it
  Vec<int32_t> prefix_clients;                      // clients whose code ends in '*'

  HashMap<Code, int32_t, CodeHash> exact_lags;   // folded code -> 1 or 2
  HashMap<Code, int32_t, CodeHash> prefix_lags;  // folded prefix -> 1 or 2
  HashMap<Code, Weight, CodeHash> weights;       // exact code -> first weight
  HashMap<Code, int32_t, CodeHash> board_tags;   // folded tag -> kind 1, 2 or 3
  HashMap<Code, int32_t, CodeHash> trade_accounts;
};

// Resolves every class list of the firms against the tables, rebuilds their
// class orders and the lookups of lists not yet indexed or changed by the
// resolution. All or nothing: on std::bad_alloc the firms are as they were.
void refresh_rules(std::span<FirmRules* const> firms, const Tables& tables);

// Firm-level questions.
int32_t lag_of(const FirmRules& firm, std::string_view client_code);
int32_t board_tag_kind(const FirmRules& firm, std::string_view tag);
int32_t trade_account_kind(const FirmRules& firm, std::string_view account);
Weight weight_of(const FirmRules& firm, std::string_view security_code);
// The client set that governs a client code (exact code, then template by
// prefix), else the firm set itself.
RuleSet& rules_for_client(FirmRules& firm, std::string_view client_code);

// The security used to value a code that no rule list names: the first one
// with that code in a class with the secondary-valuation flag, classes in the
// firm's class order; -1 when none.
int32_t secondary_security(const FirmRules& firm, const Tables& tables, std::string_view code);

// Questions of a firm or client set.
bool restricts_non_margin_buy(const RuleSet& set);
// Security index, or -1.
int32_t margin_security_by_code(const RuleSet& set, std::string_view code);
int32_t asset_security_by_code(const RuleSet& set, std::string_view code);
bool is_margin_security(const RuleSet& set, int32_t security, int32_t class_index);
bool is_asset_security(const RuleSet& set, int32_t security, int32_t class_index);
bool is_short_restricted(const RuleSet& set, int32_t security, int32_t class_index);
// The lists that margin-security questions read: own margin list if any, else the firm's.
const ClassList& margin_list_of(const RuleSet& set);

}  // namespace kelda::margin
