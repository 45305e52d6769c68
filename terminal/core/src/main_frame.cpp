// The main frame: menu bar, client events, menu rules, exit and about box.
#include "terminal/main_frame.h"

#include <cstring>

#include "terminal/data_feed_manager.h"
#include "terminal/exit_signals.h"
#include "terminal/text_log.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/resources.h"
#include "ui/screen.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

constexpr char16_t kFrameClass[] = u"CMainFrame";
constexpr DWORD kBarStyleBits = 0x32;  // tool tips, fly-by help, fixed size

void set_command(ui::Hmenu menu, UINT command, bool enabled) {
  ui::enable_menu_item(menu, command, ui::mf::by_command | (enabled ? ui::mf::enabled : ui::mf::grayed));
}

void ensure_frame_class() {
  if (ui::is_class_registered(kFrameClass)) return;
  ui::WindowClass cls;
  cls.name = kFrameClass;
  ui::register_class(std::move(cls));
}

}  // namespace

void show_sip_button() {
  const ui::Hwnd button = ui::sip_button();
  DataFeedManager* m = manager();
  if (m != nullptr && m->input_panel_button) {
    if (button) ui::show_window(button, ui::sw::show);
  } else {
    ui::show_input_panel(false);
    if (button) ui::show_window(button, ui::sw::hide);
  }
}

void defer_sip_button_update(ui::Hwnd window) {
  constexpr uintptr_t kSipTimer = 103;
  ui::set_timer(window, kSipTimer, 100, [](ui::Hwnd w, UINT, uintptr_t id, DWORD) {
    ui::kill_timer(w, id);
    show_sip_button();
  });
}

ui::Hmenu frame_menu(ui::Hwnd frame) {
  const ui::Hwnd bar = ui::find_menu_bar(frame);
  return bar ? ui::menu_bar_menu(bar) : ui::Hmenu{};
}

void update_menu_state(ui::Hwnd frame) {
  const ui::Hmenu menu = frame_menu(frame);
  DataFeedManager* m = manager();
  if (!menu || m == nullptr) return;
  const bool connected = m->connected();
  set_command(menu, cmd::connect, !connected);
  set_command(menu, cmd::clean_connect, !connected);
  set_command(menu, cmd::disconnect, connected);
  set_command(menu, cmd::lists, connected);
  set_command(menu, cmd::quotes, connected && m->started());
  set_command(menu, cmd::current_params, connected && m->started());
  for (UINT c = cmd::trades; c <= cmd::futures_holdings; ++c) set_command(menu, c, true);
  update_new_order_command(frame);
}

void update_new_order_command(ui::Hwnd frame) {
  const ui::Hmenu menu = frame_menu(frame);
  DataFeedManager* m = manager();
  if (menu && m != nullptr) set_command(menu, cmd::new_order, m->new_order_available());
}

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
  if (DataFeedManager* m = manager(); m != nullptr && m->frame() == hwnd()) m->set_frame(ui::Hwnd{});
}

bool CMainFrame::create_frame() {
  ensure_frame_class();
  ui::CreateParams p;
  p.class_name = kFrameClass;
  p.text = u"KeldaMobile";
  p.style = ui::ws::overlapped;
  p.rect = {ui::kUseDefault, ui::kUseDefault, ui::kUseDefault, ui::kUseDefault};
  return create(p);
}

bool CMainFrame::on_create() {
  bar_ = ui::create_menu_bar(hwnd(), "", kMainMenuId);
  if (!bar_) return false;
  ui::add_toolbar_buttons(bar_, "", ui::is_vga_screen() ? 208 : 128);
  ui::set_bar_style(bar_, ui::get_bar_style(bar_) | kBarStyleBits);
  if (DataFeedManager* m = manager()) m->set_frame(hwnd());
  if (!view_.create_in(hwnd(), client_rect())) return false;
  // The frame fills the screen above its bar and follows the screen when it
  // turns, so that the view and its windows take the new shape.
  ui::make_full_screen(hwnd());
  update_menu_state(hwnd());
  view_.refresh();
  return true;
}

bool CMainFrame::route_command(UINT id, UINT code) {
  if (view_.hwnd() && ui::route_command(view_.hwnd(), id, code)) return true;
  DataFeedManager* m = manager();
  switch (id) {
    case cmd::connect:
      if (m != nullptr) m->connect_to_server(false);
      return true;
    case cmd::clean_connect:
      if (m != nullptr) m->connect_to_server(true);
      return true;
    case cmd::disconnect:
      if (m != nullptr) m->disconnect();
      return true;
    case cmd::exit:
      on_exit();
      return true;
    case cmd::about:
      on_about();
      return true;
    default:
      return false;
  }
}

void CMainFrame::on_exit() {
  if (ui::message_box(hwnd(), u"Вы действительно желаете завершить работу?", u"KeldaMobile", ui::mb::yes_no) ==
      ui::id::yes) {
    destroy();
  }
}

void CMainFrame::on_about() {
  ui::dialog_box("", kAboutDialogId, hwnd(), [](ui::Hwnd dialog, UINT msg, WPARAM wparam, LPARAM) -> intptr_t {
    if (msg == ui::wm::init_dialog) {
      const ui::Bitmap* picture = ui::find_bitmap("", ui::is_vga_screen() ? 230 : 231);
      ui::send_dlg_item_message(dialog, kAboutPictureId, ui::stm::set_image, ui::image_type::bitmap,
                                reinterpret_cast<LPARAM>(picture));
      ui::center_window(dialog);
      if (DataFeedManager* m = manager()) m->input_panel_button = false;
      defer_sip_button_update(dialog);
      return 1;
    }
    if (msg == ui::wm::command && (ui::lo_word(wparam) == ui::id::ok || ui::lo_word(wparam) == ui::id::cancel)) {
      ui::end_dialog(dialog, ui::lo_word(wparam));
      return 1;
    }
    return 0;
  });
}

LRESULT CMainFrame::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg > kClientEventBase && msg <= kClientEventBase + kClientEventLast) {
    DataFeedManager* m = manager();
    return m != nullptr ? m->dispatch_client_event(msg - kClientEventBase, wparam, lparam) : 0;
  }
  switch (msg) {
    case ui::wm::create: {
      const LRESULT r = default_proc(msg, wparam, lparam);
      if (r == -1 || !on_create()) return -1;
      return r;
    }
    case ui::wm::set_focus:
      if (view_.hwnd()) ui::set_focus(view_.hwnd());
      return 0;
    case ui::wm::size:
      if (view_.hwnd()) {
        const RECT r = client_rect();
        ui::move_window(view_.hwnd(), 0, 0, r.right - r.left, r.bottom - r.top, true);
      }
      break;
    case ui::wm::command:
      if (route_command(ui::lo_word(wparam), ui::hi_word(wparam))) return 0;
      break;
    case ui::wm::timer:
      if (wparam == kFilterTimer) {
        ui::kill_timer(hwnd(), kFilterTimer);
        if (DataFeedManager* m = manager()) m->apply_all_class_filters();
      }
      break;
    case kExitSignalMessage:
      // The system asks the terminal to close: the exit command's way,
      // without its question.
      log_line("Exit signal %d (%s): closing.", static_cast<int>(wparam), strsignal(static_cast<int>(wparam)));
      destroy();
      return 0;
    case ui::wm::destroy:
      log_line("Destroying main window...");
      view_.destroy();
      if (DataFeedManager* m = manager()) {
        m->disconnect();
        m->set_frame(ui::Hwnd{});
      }
      ui::post_quit_message(0);
      break;
    default:
      break;
  }
  return default_proc(msg, wparam, lparam);
}

}  // namespace kelda::terminal
