#include "rule_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

namespace kelda::margin {
namespace {

constexpr std::size_t kMaxTemplateName = 100;
constexpr std::size_t kMaxLagValue = 255;
constexpr std::size_t kMaxWeightText = 255;
constexpr std::size_t kBoardTagLength = 4;
constexpr std::size_t kTradeAccountLength = 12;

struct KeyValue {
  std::string_view raw_key;  // the text before the first '=' as it stands
  std::string_view key;      // raw_key cleaned
  std::string_view value;    // the text after the first '='
};

std::optional<KeyValue> split_key_value(std::string_view line) {
  const auto pos = line.find('=');
  if (pos == std::string_view::npos) return std::nullopt;
  const std::string_view raw = line.substr(0, pos);
  return KeyValue{raw, clean(raw), line.substr(pos + 1)};
}

template <class F>
void for_each_piece(std::string_view value, F&& f) {
  for (;;) {
    const auto comma = value.find(',');
    f(value.substr(0, comma));
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

// One class list line: the key names the class, the value lists its
// securities (or "<ALL>").
void add_list_line(ClassList& list, std::string_view class_code, std::string_view value) {
  if (class_code.size() > kMaxCodeLength) return;
  ClassListEntry entry;
  entry.class_code = *Code::from(class_code);
  HashSet<Code, CodeHash> seen;  // folded codes already in the entry
  for_each_piece(value, [&](std::string_view piece) {
    piece = trim_spaces(piece);
    if (piece.empty() || piece.size() > kMaxCodeLength) return;
    if (piece == "<ALL>") {
      entry.all = true;
      return;
    }
    if (seen.insert(*Code::folded(piece)).second) entry.securities.push_back({*Code::from(piece), -1});
  });
  list.push_back(std::move(entry));
}

// A class list line of a client or template section: "<class>_ASSET" and
// "<class>_RESTSHORT" keys go to those lists, any other key to the margin list.
void add_client_list_line(RuleLists& lists, const KeyValue& kv) {
  if (const auto p = kv.key.find("_ASSET"); p != std::string_view::npos) {
    add_list_line(lists.asset, kv.key.substr(0, p), kv.value);
  } else if (const auto q = kv.key.find("_RESTSHORT"); q != std::string_view::npos) {
    add_list_line(lists.restricted, kv.key.substr(0, q), kv.value);
  } else {
    add_list_line(lists.margin, kv.key, kv.value);
  }
}

Setting setting_of(std::string_view value) { return read_int(value) != 0 ? Setting::on : Setting::off; }

class Parser {
 public:
  Parser(FirmRules& firm, std::string_view text) : firm_(firm) { split_lines(text); }

  void run() {
    read_list_section("[LIMITALLOWEDSECURITY]", firm_.lists->margin);
    read_list_section("[ASSETSECURITIES]", firm_.lists->asset);
    read_list_section("[RESTSHORTSECURITIES]", firm_.lists->restricted);
    read_general();
    read_client_sections();
    read_template_sections();
    read_client_lags();
    read_weights();
    read_board_tags();
    read_board_lists("[ADDLIMITBOARDS]", 2, false);
    read_board_lists("[ADDREPOBOARDS]", 3, false);
    read_board_lists("[ADDLIMITTRDACC]", 2, true);
    read_board_lists("[ADDREPOTRDACC]", 3, true);
  }

 private:
  struct Range {
    std::size_t begin;
    std::size_t end;
  };

  void split_lines(std::string_view text) {
    const std::size_t count = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    lines_.reserve(count);
    while (true) {
      const auto nl = text.find('\n');
      const std::string_view line = clean(text.substr(0, nl));
      if (!line.empty() && line.front() == '[') brackets_.push_back(lines_.size());
      lines_.push_back(line);
      if (nl == std::string_view::npos) break;
      text.remove_prefix(nl + 1);
    }
  }

  // The lines after a header, up to the next line that begins with '['.
  Range body_after(std::size_t header) const {
    const auto next = std::upper_bound(brackets_.begin(), brackets_.end(), header);
    return {header + 1, next == brackets_.end() ? lines_.size() : *next};
  }

  // The body of the first section with that header.
  std::optional<Range> named_section(std::string_view header) const {
    for (const std::size_t index : brackets_) {
      if (lines_[index] == header) return body_after(index);
    }
    return std::nullopt;
  }

  template <class F>
  void for_each_key_value(Range range, F&& f) const {
    for (std::size_t i = range.begin; i < range.end; ++i) {
      if (const auto kv = split_key_value(lines_[i])) f(*kv);
    }
  }

  void read_list_section(std::string_view header, ClassList& list) {
    if (const auto range = named_section(header)) {
      for_each_key_value(*range, [&](const KeyValue& kv) { add_list_line(list, kv.key, kv.value); });
    }
  }

  void read_general() {
    const auto range = named_section("[GENERAL]");
    if (!range) return;
    bool lag = false, rstrn = false, check = false, lots = false, main = false;
    for_each_key_value(*range, [&](const KeyValue& kv) {
      if (kv.key == "CREDITLAG" && !std::exchange(lag, true)) {
        firm_.credit_lag = read_int(kv.value);
      } else if (kv.key == "RSTRNMBUY" && !std::exchange(rstrn, true)) {
        firm_.rstrnmbuy = setting_of(kv.value);
      } else if (kv.key == "CHECKMAXCREDIT" && !std::exchange(check, true)) {
        firm_.check_max_credit = read_int(kv.value) != 0;
      } else if (kv.key == "LIMITSINLOTS" && !std::exchange(lots, true)) {
        firm_.limits_in_lots = read_int(kv.value) != 0;
      } else if (kv.key == "MAINMARGINCLASSES" && !std::exchange(main, true)) {
        Str wrapped(kv.value.size() + 2, ',');
        std::memcpy(wrapped.data() + 1, kv.value.data(), kv.value.size());
        firm_.main_classes = std::move(wrapped);
        index_main_classes();
      }
    });
  }

  // The pieces between the commas of the wrapped main class list, each with
  // the position of the comma before its first occurrence.
  void index_main_classes() {
    const std::string_view list(firm_.main_classes);
    std::size_t comma = 0;
    while (comma + 1 < list.size()) {
      const std::size_t next = list.find(',', comma + 1);
      if (const auto code = Code::from(list.substr(comma + 1, next - comma - 1))) {
        firm_.main_positions.try_emplace(*code, comma);
      }
      comma = next;
    }
  }

  Owned<ClientRules> new_client(std::string_view code) {
    auto client = make_owned<ClientRules>();
    client->firm = &firm_;
    client->is_client = true;
    client->code = *Code::from(code);
    client->prefix = !code.empty() && code.back() == '*';
    return client;
  }

  // Adds a client set unless one with its code exists (the first one wins).
  void add_client(Owned<ClientRules> client) {
    const auto key = *Code::folded(client->code.view());
    if (client->code.empty() || firm_.client_by_code.count(key) > 0) return;
    const auto index = static_cast<int32_t>(firm_.clients.size());
    if (client->prefix) reserve_more(firm_.prefix_clients, 1);
    reserve_more(firm_.clients, 1);
    firm_.client_by_code.emplace(key, index);
    if (client->prefix) firm_.prefix_clients.push_back(index);
    firm_.clients.push_back(std::move(client));
  }

  // "[CL<code>_MARGIN]" sections: one client set each.
  void read_client_sections() {
    for (const std::size_t index : brackets_) {
      const std::string_view line = lines_[index];
      if (!line.starts_with("[CL")) continue;
      const auto end = line.find("_MARGIN]", 3);
      if (end == std::string_view::npos || end - 3 > kMaxCodeLength) continue;
      auto client = new_client(line.substr(3, end - 3));
      client->lists = make_shared_owned<RuleLists>();
      bool rstrn = false, ignore = false;
      for_each_key_value(body_after(index), [&](const KeyValue& kv) {
        if (kv.key == "RSTRNMBUY") {
          if (!std::exchange(rstrn, true)) client->rstrnmbuy = setting_of(kv.value);
        } else if (kv.key == "IGNORERESTSHORTSECURITY") {
          if (!std::exchange(ignore, true)) client->ignore_rest_short = read_int(kv.value) != 0;
        } else {
          add_client_list_line(*client->lists, kv);
        }
      });
      add_client(std::move(client));
    }
  }

  // "[CL<name>_MARGIN_TEMPLATE]" sections: one client set per code listed in
  // CLIENTS, sharing the template's lists.
  void read_template_sections() {
    for (const std::size_t index : brackets_) {
      const std::string_view line = lines_[index];
      if (!line.starts_with("[CL")) continue;
      const auto end = line.find("_MARGIN_TEMPLATE]", 3);
      if (end == std::string_view::npos || end - 3 > kMaxTemplateName) continue;
      auto lists = make_shared_owned<RuleLists>();
      Setting rstrnmbuy = Setting::unset;
      std::optional<std::string_view> clients;
      bool rstrn = false;
      for_each_key_value(body_after(index), [&](const KeyValue& kv) {
        if (kv.key == "CLIENTS") {
          if (!clients) clients = kv.value;
        } else if (kv.key == "RSTRNMBUY") {
          if (!std::exchange(rstrn, true)) rstrnmbuy = setting_of(kv.value);
        } else {
          add_client_list_line(*lists, kv);
        }
      });
      if (!clients) continue;
      for_each_piece(*clients, [&](std::string_view piece) {
        const std::string_view code = clean(piece);
        if (code.size() > kMaxCodeLength || (!code.empty() && code.back() == '*')) return;
        auto client = new_client(code);
        client->rstrnmbuy = rstrnmbuy;
        client->lists = lists;
        add_client(std::move(client));
      });
    }
  }

  void read_client_lags() {
    const auto range = named_section("[CLIENTLAG]");
    if (!range) return;
    for_each_key_value(*range, [&](const KeyValue& kv) {
      if (kv.key.size() > kMaxCodeLength || kv.value.size() > kMaxLagValue) return;
      const int32_t lag = read_int(trim_spaces(kv.value));
      if (lag != 1 && lag != 2) return;
      if (!kv.key.empty() && kv.key.back() == '*') {
        firm_.prefix_lags.try_emplace(*Code::folded(kv.key.substr(0, kv.key.size() - 1)), lag);
      } else {
        firm_.exact_lags.try_emplace(*Code::folded(kv.key), lag);
      }
    });
  }

  void read_weights() {
    const auto range = named_section("[SECURITYWEIGHT]");
    if (!range) return;
    for_each_key_value(*range, [&](const KeyValue& kv) {
      if (kv.key.size() > kMaxCodeLength) return;
      const auto comma = kv.value.find(',');
      if (comma == std::string_view::npos || comma > kMaxWeightText) return;
      double long_factor = read_decimal(kv.value.substr(0, comma));
      double short_factor = read_decimal(kv.value.substr(comma + 1));
      if (!(long_factor >= 0.0 && long_factor <= 1.0)) long_factor = 1.0;
      if (!(short_factor >= 1.0 && short_factor < HUGE_VAL)) short_factor = 1.0;
      firm_.weights.try_emplace(*Code::from(kv.key), Weight{long_factor, short_factor});
    });
  }

  void add_board_tag(std::string_view tag, int32_t kind) {
    tag = tag.substr(0, kBoardTagLength);
    if (!tag.empty()) firm_.board_tags.try_emplace(*Code::folded(tag), kind);
  }

  void add_trade_account(std::string_view account, int32_t kind) {
    account = account.substr(0, kTradeAccountLength);
    if (!account.empty()) firm_.trade_accounts.try_emplace(*Code::folded(account), kind);
  }

  void read_board_tags() {
    const auto range = named_section("[BOARDTAG]");
    if (!range) return;
    for_each_key_value(*range, [&](const KeyValue& kv) { add_board_tag(kv.raw_key, 1); });
  }

  // Lines "<main tag>=<tag or account>,...": the key is a main tag, each
  // piece a tag (or trade account) of the section's kind.
  void read_board_lists(std::string_view header, int32_t kind, bool accounts) {
    const auto range = named_section(header);
    if (!range) return;
    for_each_key_value(*range, [&](const KeyValue& kv) {
      add_board_tag(kv.key, 1);
      for_each_piece(kv.value, [&](std::string_view piece) {
        if (accounts) {
          add_trade_account(clean(piece), kind);
        } else {
          add_board_tag(clean(piece), kind);
        }
      });
    });
  }

  FirmRules& firm_;
  Vec<std::string_view> lines_;
  Vec<std::size_t> brackets_;
};

}  // namespace

Owned<FirmRules> parse_rule_text(const Code& firm_id, std::string_view text) {
  auto firm = make_owned<FirmRules>();
  firm->firm_id = firm_id;
  firm->lists = make_shared_owned<RuleLists>();

  Str upper(text.size(), '\0');
  std::transform(text.begin(), text.end(), upper.begin(),
                 [](char c) { return static_cast<char>(upper_1251(static_cast<unsigned char>(c))); });
  firm->volume = upper.find("\nVOLUME") != Str::npos;

  Parser(*firm, upper).run();
  return firm;
}

}  // namespace kelda::margin
