// NewsWnd: the news window (window kind 13). The headlines the data manager
// keeps, newest as they come, in a list over a read-only body field that
// shows the selected item's body. Bodies are fetched on the user's double
// tap and shown when they arrive if their headline is still selected;
// headlines without a loaded body are drawn bold.
//
// Threading: user-interface thread. Ownership: item data words point to the
// data manager's news records, which outlive the items (UM_CLEAR empties the
// list before the records go).
#pragma once

#include <memory>
#include <vector>

#include "terminal/market_windows.h"
#include "ui/gdi.h"

namespace kelda::terminal {

class NewsWnd : public MarketWindow {
 public:
  NewsWnd();
  ~NewsWnd() override;

  ui::Hwnd list() const { return list_; }
  ui::Hwnd body() const { return body_; }

  void on_news(const KelapiNewsRecord& news, int index, bool is_new) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void on_create() override;
  void set_fonts(const ui::Font* font);
  const KelapiNewsRecord* record(int item) const;
  int measure(int item);
  void update_column_width();
  // Shows the body of `item`'s news (empty while it is not loaded).
  void show_body(int item);
  LRESULT on_notify(const ui::NotifyHeader& header);

  ui::Hwnd list_;
  ui::Hwnd body_;
  std::unique_ptr<ui::Font> font_;
  std::unique_ptr<ui::Font> bold_;
  std::vector<int> widths_;  // per item: its text's width in the font it is drawn in
};

}  // namespace kelda::terminal
