// The terminal's binding to the margin library: the six callbacks through
// which the library reads parameter values and limits from the data
// manager's tables, the classes and securities handed to it, the margin
// needs that feed the class filters, the firms' rule files and the margin
// rows (one per firm and client).
//
// The callbacks run on the user-interface thread inside the Margo* calls the
// terminal makes, and read manager()'s tables without locks.

//
// Ownership: rows are owned here; windows are told before a row goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "margin/kelda_margin.h"

namespace kelda::terminal {

struct ClassRecord;

class MarginBinding {
 public:
  // Sets the callbacks and initialises the library (interface type 2, limit
  // records of 96 bytes). False, with the log line, on the first failure.
  bool init();
  // Hands a class and its securities to the library, then collects its
  // margin needs.
  void add_class(ClassRecord& cls);
  void collect_needs(ClassRecord& cls);
  // Asks for the firm's rule file of a class (only when started).
  void book_rule_file(const ClassRecord& cls);
  // Drops every row (telling the windows first) and rule text, and the
  // library's classes and rules.
  void clear();

  // ---- margin rows: one per firm and client, kept sorted ----
  // A money or securities limit of the firm and client was added (or, when
  // `add` is false, a held one was removed): counts the row's limits, makes
  // a new row (bound when the firm's rules are held) and drops a row whose
  // count falls to 0, telling the portfolio and order windows.
  void register_client(const std::string& firm, const std::string& client, bool add);
  // The row's index, or -1; `insert_at` (when given) gets where it would go.
  int find_row(const std::string& firm, const std::string& client, int* insert_at = nullptr) const;
  MargoMarginalRow* row(int index) const;
  int row_count() const { return static_cast<int>(rows_.size()); }
  int row_references(int index) const;

  // ---- rule files ----
  // Event 29: a firm's rule file arrived (or its request failed).
  void on_rule_file(bool failed, uint16_t request, char* text);
  // The rule text held for a firm, or null.
  const std::string* rule_text(const std::string& firm) const;

  // The callbacks.
  static int32_t find_param_column(const char* name);
  // 0 (missing) for a class or security that is not held.
  static double get_param_value(int32_t class_number, int32_t security_number, int32_t column);
  static int32_t find_money_limit(const char* firm, const char* client, const char* tag,
                                  const char* currency, int32_t* position);
  static const MargoMoneyLimit* get_money_limit(int32_t index);
  static int32_t find_depo_limit(const char* firm, const char* client, const char* security,
                                 const char* account, int32_t* position);
  static const MargoDepoLimit* get_depo_limit(int32_t index);

 private:
  struct RuleFile {
    std::string firm;
    std::string text;  // empty: requested
  };
  struct Row {
    std::unique_ptr<MargoMarginalRow> row;
    int references = 0;
  };
  void bind_row(MargoMarginalRow& row);
  std::vector<RuleFile> rule_files_;
  std::vector<Row> rows_;
};

}  // namespace kelda::terminal
