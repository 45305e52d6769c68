// MarginalRowsWnd: the client portfolio window (window kind 12). A drop-down
// list of the clients that have margin rows over a two-column list of the
// selected client's margin figures, recomputed by the margin library once a
// second (timer 105) and rewritten only when a figure has moved by 0.005 or
// more.
//
// The window never keeps a pointer to a margin row: it keeps the selected
// client's firm and code and looks the row up in the data manager each time
// it calculates, so a row that the tables drop can never be reached.
//
// Its tap-and-hold menu opens the column setup dialog over the value
// catalogue; the chosen values are shown at once and kept in the window-table
// file's "MarginalRowsWnd" section.
//
// Threading: user-interface thread (the margin library calls back into the
// data manager inside the timer message). Ownership: rows belong to the
// data manager's margin binding.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "margin/kelda_margin.h"
#include "terminal/market_windows.h"

namespace kelda::terminal {

inline constexpr int kPortfolioValueCount = 18;
inline constexpr std::size_t kMaxPortfolioValues = 20;  // shown at once
inline constexpr UINT kPortfolioTimer = 105;

// One figure the window can show.
struct PortfolioValue {
  int code;
  const char* name;  // UTF-8 source text
};
// The catalogue in display order.
const std::array<PortfolioValue, kPortfolioValueCount>& portfolio_catalogue();
// The text of catalogue entry `index` for a calculated row ("" when the
// client's type hides it or it has no value).
std::string portfolio_value_text(int index, const MargoMarginalRow& row);

// A column width the window-table file does not hold.
inline constexpr int kWidthNotSaved = -1;

struct PortfolioSetup {
  // At most 20; kWidthNotSaved keeps the creation width (the name column is
  // then fitted to the longest shown name).
  std::vector<int> column_widths{kWidthNotSaved, kWidthNotSaved};
  std::vector<int> codes;                   // shown values; empty: the whole catalogue
};

// The "MarginalRowsWnd" section of the window-table file `tcf`: column widths
// and shown value codes, counts cut to 20.
PortfolioSetup read_portfolio_setup(const std::string& tcf);

class MarginalRowsWnd : public MarketWindow {
 public:
  explicit MarginalRowsWnd(PortfolioSetup setup);
  ~MarginalRowsWnd() override;

  ui::Hwnd list() const { return list_; }
  ui::Hwnd clients() const { return combo_; }
  const std::string& firm() const { return firm_; }
  const std::string& client() const { return client_; }

  void on_margin_row(const std::string& firm, const std::string& client, bool added) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

  // Timer 105's work (also for tests): recalculates and, when forced or a
  // figure moved, rewrites the values.
  void recompute(bool force);

 private:
  void on_create() override;
  void layout();
  void rebuild_rows();
  void fill_clients();
  void take_selection();
  void clear_values();
  MargoMarginalRow* selected_row() const;
  // The tap-and-hold menu: "Настройки таблицы" opens the column setup dialog
  // over the shown values.
  void show_menu(POINT screen);
  // True when the user chose new values (then kept and saved; the rows are
  // the caller's to rebuild).
  bool choose_values();
  void fit_name_column();
  // Widens the value column over the rest of the list (never below its
  // creation width) while the window-table file holds no width for it.
  void fill_value_column();
  void write_column_layout();

  PortfolioSetup setup_;
  std::vector<int> shown_;  // catalogue index of each shown value
  std::string firm_, client_;
  std::vector<std::pair<std::string, std::string>> entries_;  // firm and client of each drop-down item
  MargoMarginalRow saved_{};
  bool have_saved_ = false;
  bool fill_values_ = false;  // the value column's width is not saved
  ui::Hwnd label_, combo_, list_;
};

}  // namespace kelda::terminal
