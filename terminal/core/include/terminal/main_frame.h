// CMainFrame: the terminal's top-level window. It holds the menu bar with the
// main menu (resource 128) and its tool-bar buttons, and the main view; it
// receives every client-library event (WM_USER + code, 1 to 499) and hands it
// to the data manager's dispatcher, runs the filter timer 2, applies the
// menu's enabling rules, asks before exiting and shows the about box. An exit
// signal (kExitSignalMessage, exit_signals.h) destroys it without asking.
//
// Destroying the frame destroys the main view, disconnects and ends the
// message loop. Threading: user-interface thread.
#pragma once

#include <memory>

#include "terminal/main_view.h"
#include "ui/window.h"

namespace kelda::terminal {

namespace cmd {
inline constexpr UINT connect = 32771;
inline constexpr UINT disconnect = 32772;
inline constexpr UINT clean_connect = 32773;
inline constexpr UINT quotes = 32779;
inline constexpr UINT prev_window = 32780;
inline constexpr UINT next_window = 32781;
inline constexpr UINT close_window = 32782;
inline constexpr UINT new_order = 32783;
inline constexpr UINT current_params = 32784;
inline constexpr UINT trades = 32790;
inline constexpr UINT orders = 32791;
inline constexpr UINT stop_orders = 32792;
inline constexpr UINT money_limits = 32793;
inline constexpr UINT depo_limits = 32794;
inline constexpr UINT futures_limits = 32795;
inline constexpr UINT futures_holdings = 32796;
inline constexpr UINT chart = 32797;
inline constexpr UINT settings_main = 32799;
inline constexpr UINT portfolio = 32800;
inline constexpr UINT news = 32801;
inline constexpr UINT connections = 32804;
inline constexpr UINT lists = 32806;
inline constexpr UINT save_config = 32808;
inline constexpr UINT load_config = 32809;
inline constexpr UINT about = 57664;
inline constexpr UINT exit = 57665;
}  // namespace cmd

inline constexpr int kMainMenuId = 128;
inline constexpr int kAboutDialogId = 100;
inline constexpr int kAboutPictureId = 1247;

class CMainFrame : public ui::Window {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // Creates the frame over the screen's work area with its menu bar and view.
  bool create_frame();
  MainView& view() { return view_; }
  ui::Hwnd menu_bar() const { return bar_; }

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  bool route_command(UINT id, UINT code) override;

 private:
  bool on_create();
  void on_exit();
  void on_about();

  MainView view_;
  ui::Hwnd bar_;
};

// The input-panel button: shown when the manager's flag is set, else hidden
// with the input panel closed; the deferred form runs 100 ms later (timer
// 103 of `window`).
void show_sip_button();
void defer_sip_button_update(ui::Hwnd window);

// The menu the frame's menu bar holds (null when there is none).
ui::Hmenu frame_menu(ui::Hwnd frame);
// The enabling rules of the main menu.
void update_menu_state(ui::Hwnd frame);
// The rule of "Новая заявка" alone (transaction-kind events).
void update_new_order_command(ui::Hwnd frame);

}  // namespace kelda::terminal
