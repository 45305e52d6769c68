// The market windows of the terminal (order book, current parameters, news
// and client portfolio): their registration as window kinds, the questions
// their creation commands ask through the dialogs library, and the helpers
// they share.
//
// The dialogs library sits above the core, so the core windows reach its
// instrument dialogs through hooks that the program sets at start-up; a hook
// that is not set answers "cancelled".
//
// Threading: user-interface thread. Ownership: the records handed to and
// returned by the hooks belong to the data manager.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/types.h"

namespace kelda::terminal {

struct ClassRecord;
struct SecurityRecord;
struct DataTableSet;

// What a double tap on a row hands the order window.
struct OrderRowChoice {
  std::string class_code;
  std::string security_code;
  bool has_level = false;  // the tap hit a level: price, quantity and direction follow
  std::string price;
  std::string quantity;
  bool buy = false;
};

struct MarketWindowHooks {
  // The instrument of a new quotes (mode 1) or chart (mode 0) window.
  std::function<bool(int mode, ClassRecord*& cls, SecurityRecord*& sec)> choose_instrument;
  // Securities (mode 1: security numbers) or parameters (mode 0: parameter
  // numbers) of one class to add to the current-parameters window.
  std::function<bool(int mode, ClassRecord*& cls, std::vector<uint32_t>& keys)> add_items;
  // Reorders and removes the rows (mode 1) or columns (mode 0) of a copy of
  // the current-parameters window's table set.
  std::function<bool(int mode, DataTableSet& set)> edit_item_list;
  // The column setup dialog over a window of `kind`; true when it changed
  // the window's columns or values.
  std::function<bool(ui::Hwnd owner, int kind)> setup_columns;
  // Opens (or finds) the order window and pre-fills it from a row.
  std::function<void(const OrderRowChoice& choice)> open_order_window;
};
MarketWindowHooks& market_window_hooks();

// Registers the four market window kinds with the main view.
void register_market_windows();

// A report-style list view filling nothing yet: the manager's table font and
// full-row select. `extra_style` adds to child | visible | report.
ui::Hwnd create_report_list(ui::Hwnd parent, UINT id, DWORD extra_style);
// The table font's handle word for wm::set_font (0 when none).
WPARAM table_font_handle();

}  // namespace kelda::terminal
