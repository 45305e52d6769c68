// The order window (window kind 10): OrderEntryWnd, a child of the main view
// at most once, hosting the modeless OrderDlg (templates 141 portrait and
// 201 landscape) that fills it. The dialog enters a plain order (class,
// security, trading account, client code, direction, price, quantity) or a
// stop order of one of four kinds (plain, reversed condition, linked to an
// order, take-profit), shows the largest quantity the margin library allows
// on its "Макс" button, and offers an on-screen keypad for the focused edit.
//
// Every typed number is checked with the terminal's field checks
// (check_number) before anything is sent; the user confirms every order;
// a plain order goes through the client library's new-order call and a
// stop order as a text transaction; a refused call shows the library's
// error text under "Ошибка" and keeps the dialog's contents. The server's
// own answer arrives later as a transaction-reply event.
//
// Windows open it filled from one of their rows with open_order_window()
// (order_prefill.h); register_order_window() registers the kind, the
// "Новая заявка" command and that opener.
//
// Threading: user-interface thread. Ownership: the window owns its dialog;
// list entries point at the data manager's records, dropped on UM_CLEAR.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/order_prefill.h"
#include "terminal/window_protocol.h"
#include "ui/dialog.h"
#include "ui/gdi.h"

namespace kelda::terminal {

struct ClassRecord;
struct SecurityRecord;

inline constexpr int kOrderDialogId = 141;
inline constexpr int kOrderDialogLandscapeId = 201;
inline constexpr UINT kMarginTimer = 1;
inline constexpr UINT kMarginPeriodMs = 1000;
namespace order_id {
inline constexpr int class_list = 1003;
inline constexpr int security = 1004;
inline constexpr int account = 104;
inline constexpr int client = 1009;
inline constexpr int price = 105;
inline constexpr int price_spin = 1032;
inline constexpr int quantity = 106;
inline constexpr int quantity_spin = 1042;
inline constexpr int max = 1024;
inline constexpr int buy = 107;
inline constexpr int sell = 108;
inline constexpr int stop = 112;
inline constexpr int stop_price = 111;
inline constexpr int stop_price_spin = 1033;
inline constexpr int condition_label = 1050;
inline constexpr int condition = 1110;
inline constexpr int linked = 1048;
inline constexpr int linked_price = 113;
inline constexpr int linked_spin = 1049;
inline constexpr int take_profit = 1047;
inline constexpr int offset_label = 1051;
inline constexpr int offset = 109;
inline constexpr int offset_spin = 1043;
inline constexpr int spread_label = 1052;
inline constexpr int spread = 110;
inline constexpr int spread_spin = 1044;
inline constexpr int expiry = 1045;
inline constexpr int expiry_date = 1046;
}  // namespace order_id

// ---- pieces without a window (tested on their own) ----

// The client code the margin row is looked up by: cut at the first blank;
// with a "/" cut there, except that a class with flag 0x8 keeps one "/"
// part ("ABC/1/2" -> "ABC/1") unless nothing follows the "/".
std::string margin_client_code(std::string_view text, uint32_t class_flags);

// The stop-order kind: 3 linked, 6 take-profit, else 1 when the condition
// follows the direction (buy ">=", sell "<="; state 0 is ">="), else 2.
int stop_order_kind(bool linked, bool take_profit, bool buy, int condition_state);

struct StopOrderFields {
  int kind = 1;
  int32_t expiry = -1;  // yyyymmdd, -1: today only
  bool buy = true;
  std::string account, class_code, security_code, stop_price, price, quantity, client_code;
  std::string linked_price, offset, spread;  // each used only by its kind
};
// The transaction text of a stop order (8-bit text).
std::string stop_order_text(const StopOrderFields& f);

// A numeric edit stepped by an up-down: value - delta * 10^-decimals, never
// below 0, "%.*f"; a text that is not a number steps from 0.
std::string step_number(std::string_view text, int delta, int decimals);

struct KeypadKey {
  RECT rect{};
  int32_t code = 0;  // a character, or -1 for Delete
  char label[64] = {};
};
// The keypad's keys for a right edge and an anchor line (client
// coordinates) and the display scales.
std::vector<KeypadKey> layout_keypad(int right, int anchor, double h, double v);

class OrderDlg : public ui::Dialog {
 public:
  OrderDlg();
  ~OrderDlg() override;

  void initialise();
  void apply_prefill(const OrderPrefill& record);
  void refresh_clients();
  void recompute_max();
  void add_class(ClassRecord& cls);
  // Answers whether the account was taken (a class is selected and the
  // firms match).
  bool add_account(const KelapiTrdAccountRecord& account);
  void clear_lists();
  // The sending of OK (also the default button "Подать заявку").
  void send_order();

  int direction() const { return direction_; }
  bool stop_order() const { return stop_; }
  const std::vector<KeypadKey>& keypad() const { return keys_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  bool on_notify(ui::NotifyHeader& header, LRESULT& result) override;
  void on_ok() override;
  void on_cancel() override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  ClassRecord* selected_class() const;
  SecurityRecord* selected_security() const;
  const KelapiTrdAccountRecord* selected_account() const;
  std::u16string text(int id) const;
  void set_text(int id, std::string_view text8) const;
  void class_selected();
  void security_selected();
  void set_direction(int direction);
  void set_check(int id, bool on) const;
  void set_date(int32_t yyyymmdd) const;
  int32_t date_value() const;
  void update_enabling();
  void on_stop_click(int id);
  void step(int spin_id, int delta);
  void send_plain(ClassRecord& cls, SecurityRecord& sec, const KelapiTrdAccountRecord& account);
  void send_stop(ClassRecord& cls, SecurityRecord& sec, const KelapiTrdAccountRecord& account);
  bool check_field(int id, int decimals, std::u16string_view name);
  bool check_client_code();
  void show_client_error(uint32_t result);
  void rebuild_keypad();
  void paint_keypad();
  void stylus(bool down, POINT p);

  int32_t class_id_ = -1;
  bool prefilling_ = false;
  int decimals_ = 0;
  int direction_ = 0;  // 0 buy, 1 sell
  bool stop_ = false;
  int condition_ = 0;  // 0 ">=", 1 "<="
  bool direction_changed_ = true;
  bool linked_ = false;
  bool take_profit_ = false;
  bool expiry_ = false;
  OrderPrefill prefill_{};
  std::unique_ptr<ui::Brush> red_, green_;
  std::vector<KeypadKey> keys_;
  int pressed_ = -1;
};

class OrderEntryWnd : public TerminalWindow {
 public:
  OrderEntryWnd();
  ~OrderEntryWnd() override;
  OrderDlg& dialog() { return dialog_; }
  void prefill(const OrderPrefill& record);
  // A margin row came or went: the client codes are refilled.
  void on_margin_row(const std::string& firm, const std::string& client, bool added) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  OrderDlg dialog_;
};

// Registers window kind 10 with the "Новая заявка" command, the dialog's
// templates and the opener of open_order_window().
void register_order_window();

}  // namespace kelda::terminal
