// The terminal program over the demo server for end-to-end tests: the
// application with the table, market and order windows registered, and a
// further trading account of the demo firm when a test asks for it. UI thread
// only; one per process (the margin library binds once per process).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "end_to_end_support.h"
#include "keldaapi/keldaapi.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/trade_windows.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/scripted_services.h"
#include "ui/window.h"

namespace kelda::terminal {

// The terminal logged in to the demo server with the demo client's desk.
class DemoTerminal {
 public:
  explicit DemoTerminal(ui::ScriptedServices& script) : script_(script) {
    register_table_windows();
    register_market_windows();
    register_order_window();
  }
  ~DemoTerminal() {
    if (app_.frame() != nullptr && ui::is_window(frame()) && m().connected()) {
      test_e2e::exit_through_menu(app_, script_);
    }
  }
  TerminalApp& app() { return app_; }
  DataFeedManager& m() { return app_.data(); }
  MainView& view() { return app_.frame()->view(); }
  ui::Hwnd frame() { return app_.frame()->hwnd(); }
  TerminalWindow* active() { return view().slot(view().active_slot()); }
  void show(const TerminalWindow& window) {
    for (int i = 0; i < kSlotCount; ++i) {
      if (view().slot(i) == &window) view().activate_slot(i);
    }
    test_e2e::wait_for([] { return false; }, 0);
  }
  // One more trading account of the share class's firm beside the demo's
  // own, with the short code "L01".
  void add_account() {
    ClassRecord* shares = m().tables().find_class("TQBR");
    ASSERT_NE(shares, nullptr);
    auto account = std::make_unique<KelapiTrdAccountRecord>();
    account->account_number = 1;
    copy_text(account->code2, field_text(shares->record.code2));
    copy_text(account->code, "L01");
    m().tables().account_by_number[1] = account.get();
    m().tables().accounts.push_back(std::move(account));
  }

 private:
  ui::ScriptedServices& script_;
  TerminalApp app_;
};

}  // namespace kelda::terminal
