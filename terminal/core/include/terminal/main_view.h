// MainView: the one child window that fills the main frame. It owns the
// terminal's data windows in 20 slots (one shown at a time below a header
// band), creates them from the menu commands of the registered window kinds
// (window_kinds.h), switches between them (menu, tool-bar buttons, left and
// right arrow keys), closes them, paints the header (the active window's
// caption, the activity lamp, the trade date on a field coloured by the
// connection state), hands chart bars to every window and runs the
// activity and reconnect timers. Its fan-out operations pass the data
// manager's new rows to the open windows of the matching kind.
//
// Threading: user-interface thread. Ownership: each slot owns its window.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>

#include "keldaapi/keldaapi.h"
#include "terminal/window_protocol.h"
#include "ui/gdi.h"
#include "ui/window.h"

namespace kelda::terminal {

struct ClassRecord;
struct SecurityRecord;
struct DepoLimitRow;
struct WindowKind;
class SavedSection;

inline constexpr int kSlotCount = 20;
inline constexpr UINT kFirstChildId = 0xE901;
inline constexpr UINT kFirstSelectCommand = 32850;
inline constexpr UINT kLampTimer = 102;

class MainView : public ui::Window {
 public:
  MainView();
  ~MainView() override;

  bool create_in(ui::Hwnd frame, RECT rect);

  // ---- windows ----
  int open_count() const { return open_count_; }
  int active_slot() const { return active_slot_; }
  TerminalWindow* slot(int index) const;
  std::u16string header_caption() const { return caption_; }
  // Creates (or finds) a window of the kind that `command` opens; the slot
  // or -1.
  int create_window_for_command(UINT command);
  int create_window(const WindowKind& kind);
  void activate_slot(int slot);
  void close_active_window();
  void activate_next_window();
  void activate_prev_window();
  void activate_restored_window();
  int find_news_wnd() const;

  // ---- layout files (window_layout.cpp) ----
  // Writes the open-windows file and the column sections of the open kinds
  // into the current pair; with `destroy` every window is closed as well.
  void save_window_layout(bool destroy);
  // Recreates the windows of the current open-windows file (none is
  // activated: activate_restored_window() does that).
  void load_window_layout();
  // The menu commands: save the layout to, or load it from, another pair.
  void save_layout_command();
  void load_layout_command();
  bool restoring() const { return restoring_; }

  // ---- fan-out ----
  void broadcast_new_class(ClassRecord& cls);
  void broadcast_accounts(const KelapiTrdAccountRecord& account);
  void fan_out_trade(const KelapiTradeRecord& trade);
  void fan_out_order(const KelapiOrderRecord& order);
  void fan_out_stop_order(const KelapiStopOrderRecord& order);
  void fan_out_values(const ClassRecord& cls, const SecurityRecord& sec, std::span<const KelapiValueRecord> values);
  void fan_out_quotes(int32_t class_number, int32_t security_number, std::span<const KelapiPriceRecord> now,
                      std::span<const KelapiPriceRecord> before);
  void fan_out_money_limit(const KelapiMoneyLimitRecordEx& limit, int index, bool is_new);
  void fan_out_depo_limit(const DepoLimitRow& limit, int index, bool is_new);
  void fan_out_futures_limit(const KelapiFuturesLimitRecordEx& limit, int index, bool is_new);
  void fan_out_futures_holding(const KelapiFuturesHoldingRecordEx& holding, int index, bool is_new);
  void fan_out_news(const KelapiNewsRecord& news, int index, bool is_new);
  // Kinds 6, 7 and 8: the row at `index` goes.
  void fan_out_remove_row(int window_kind, int index);
  void fan_out_margin_row(const std::string& firm, const std::string& client, bool added);
  void clear_all_windows();
  void send_to_all_windows(UINT msg, WPARAM wparam, LPARAM lparam);

  // ---- arrow keys ----
  // The left and right arrow hot keys that switch windows (ids 1 and 2, with
  // their releases). Windows and dialogs that take arrow keys release them
  // while they are active and register them again afterwards; registering
  // twice or releasing twice changes nothing.
  void register_arrow_hot_keys();
  void unregister_arrow_hot_keys();
  // A window that takes the arrows for its whole life (the order window)
  // holds them from creation to destruction: while any window holds them,
  // registering them again (a dialog closing) does nothing, and the last
  // holder's return registers them.
  void hold_arrow_hot_keys();
  void return_arrow_hot_keys();
  // For a dialog that takes the arrows while it is active: its wm::activate
  // (wParam, lParam) releases them on activation and registers them again
  // when activation leaves for a window the dialog does not own (its popups
  // and the dialogs it opens keep them released).
  void follow_dialog_activation(ui::Hwnd dialog, WPARAM wparam, LPARAM lparam);

  // ---- header ----
  bool lamp_lit() const { return lamp_lit_; }
  // The first event after a quiet period: light the lamp now.
  void light_lamp();
  void refresh();

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  bool route_command(UINT id, UINT code) override;

 private:
  void on_paint();
  void on_timer(uintptr_t id);
  void on_hot_key(int id, LPARAM lparam);
  void draw_lamp(ui::Canvas& canvas);
  RECT child_rect() const;
  void update_window_buttons();
  void add_window_menu_item(const std::string& caption, UINT command);
  void remove_window_menu_item(UINT command);
  template <typename Fn>
  void for_each_of_kind(int kind, Fn&& fn);

  std::array<std::unique_ptr<TerminalWindow>, kSlotCount> slots_;
  int open_count_ = 0;
  int active_slot_ = -1;
  int restore_slot_ = -1;
  std::u16string caption_;
  int header_height_ = -1;
  int date_width_ = -1;
  int lamp_width_ = -1;
  bool lamp_lit_ = false;
  bool restoring_ = false;
  const SavedSection* restore_section_ = nullptr;
  bool left_latch_ = false;
  int arrow_holders_ = 0;
  bool right_latch_ = false;
};

}  // namespace kelda::terminal
