// The private protocol between the main view and the terminal's data
// windows: the window kinds, the private messages and the base class that
// every data window derives from.
//
// A data window is a child of the main view in one of its 20 slots. The main
// view and the data manager reach it only through these messages (sent on
// the user-interface thread) and through the direct operations of
// TerminalWindow that the main view's fan-outs call for windows of the
// matching kind. The base answers the identity and kind queries; a message a
// window does not handle goes to the default processing (answer 0), and an
// operation it does not override does nothing.
//
// Threading: user-interface thread. Ownership: records passed to the
// operations belong to the data manager and outlive the window's use of them
// (the window is told with UM_CLEAR before they go).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "keldaapi/keldaapi.h"
#include "ui/window.h"

namespace kelda::terminal {

struct ClassRecord;
struct SecurityRecord;
struct DepoLimitRow;
class SectionText;
class SavedSection;

namespace kind {
inline constexpr int quotes = 1;
inline constexpr int current_params = 2;
inline constexpr int trades = 3;
inline constexpr int orders = 4;
inline constexpr int stop_orders = 5;
inline constexpr int money_limits = 6;
inline constexpr int depo_limits = 7;
inline constexpr int futures_limits = 8;
inline constexpr int futures_holdings = 9;
inline constexpr int order_entry = 10;
inline constexpr int chart = 11;
inline constexpr int portfolio = 12;
inline constexpr int news = 13;
}  // namespace kind

// Private window messages (WM_USER + 300 and on).
inline constexpr UINT UM_IDENTITY = ui::wm::user + 300;   // answers the caption (8-bit text) or 0
inline constexpr UINT UM_ISKIND = ui::wm::user + 301;     // wParam kind: 1 when it is the window's
// wParam: 1-based position n in the open-windows file; lParam: the file's
// text being built (std::string*), to which the window appends its section.
inline constexpr UINT UM_SAVESTATE = ui::wm::user + 302;
inline constexpr UINT UM_MATCHROW = ui::wm::user + 303;   // wParam ClassRecord*
inline constexpr UINT UM_CLEAR = ui::wm::user + 304;
inline constexpr UINT UM_ORDERDATA = ui::wm::user + 305;  // wParam KelapiTrdAccountRecord*
inline constexpr UINT UM_SETFONT = ui::wm::user + 306;
inline constexpr UINT UM_CLASSNAME = ui::wm::user + 307;
inline constexpr UINT UM_CHARTPROPS = ui::wm::user + 308;
inline constexpr UINT UM_ALIGNMENT = ui::wm::user + 310;
inline constexpr UINT UM_VERTLIMITS = ui::wm::user + 311;
inline constexpr UINT UM_GROUPING = ui::wm::user + 312;
inline constexpr UINT UM_DEPTH = ui::wm::user + 313;
inline constexpr UINT UM_BUYONTOP = ui::wm::user + 314;
inline constexpr UINT UM_GETKIND = ui::wm::user + 315;
inline constexpr UINT UM_SAVECOLUMNS = ui::wm::user + 316;
inline constexpr UINT UM_DATALINE = ui::wm::user + 317;   // wParam line id, lParam 48-byte bar copy
inline constexpr UINT UM_ARCHIVE = ui::wm::user + 318;

// The base of every data window.
class TerminalWindow : public ui::Window {
 public:
  explicit TerminalWindow(int kind) : kind_(kind) {}

  int kind() const { return kind_; }
  // The caption the header shows (8-bit text, code page 1251).
  const std::string& caption() const { return caption_; }
  void set_caption(std::string caption) { caption_ = std::move(caption); }

  // Fan-out operations of the main view (records owned by the data manager).
  virtual void on_trade(const KelapiTradeRecord&) {}
  virtual void on_order(const KelapiOrderRecord&) {}
  virtual void on_stop_order(const KelapiStopOrderRecord&) {}
  virtual void on_values(const ClassRecord&, const SecurityRecord&, std::span<const KelapiValueRecord>) {}
  // Class -1 and security -1 with empty lists: every price list is gone.
  virtual void on_quotes(int32_t /*class_number*/, int32_t /*security_number*/,
                         std::span<const KelapiPriceRecord> /*now*/,
                         std::span<const KelapiPriceRecord> /*before*/) {}
  // Limits, holdings and news: the held record, its index in the manager's
  // table after the change and whether the row is new.
  virtual void on_money_limit(const KelapiMoneyLimitRecordEx&, int /*index*/, bool /*is_new*/) {}
  virtual void on_depo_limit(const DepoLimitRow&, int /*index*/, bool /*is_new*/) {}
  virtual void on_futures_limit(const KelapiFuturesLimitRecordEx&, int /*index*/, bool /*is_new*/) {}
  virtual void on_futures_holding(const KelapiFuturesHoldingRecordEx&, int /*index*/, bool /*is_new*/) {}
  virtual void on_news(const KelapiNewsRecord&, int /*index*/, bool /*is_new*/) {}
  // The row at `index` goes (told before it leaves the table).
  virtual void on_remove_row(int /*index*/) {}
  virtual void on_margin_row(const std::string& /*firm*/, const std::string& /*client*/, bool /*added*/) {}

  // Layout files (layout_files.h): the kind's own keys of its
  // [ActiveWnd%d] section, written on UM_SAVESTATE between "caption" and the
  // section's end; and the same section handed back, before the window is
  // created, when the main view restores a layout.
  virtual void write_state(SectionText&) const {}
  virtual void restore_state(const SavedSection&) {}

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  int kind_;
  std::string caption_;
};

}  // namespace kelda::terminal
