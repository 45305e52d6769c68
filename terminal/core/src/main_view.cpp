// The main view: slots of data windows, switching, the header and timers.
#include "terminal/main_view.h"

#include <cmath>
#include <memory>

#include "terminal/data_feed_manager.h"
#include "terminal/layout_files.h"
#include "terminal/main_frame.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/menu.h"
#include "ui/resources.h"
#include "ui/screen.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

constexpr char16_t kClassName[] = u"KeldaMainView";
constexpr char16_t kNoWindows[] = u"Нет открытых окон";
constexpr int kHotKeyLeft = 1;
constexpr int kHotKeyRight = 2;

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kGreen = 0x00FF00;
constexpr COLORREF kYellow = 0x00FFFF;

void ensure_class() {
  if (ui::is_class_registered(kClassName)) return;
  ui::WindowClass cls;
  cls.name = kClassName;
  cls.style = ui::cs::vredraw | ui::cs::hredraw | ui::cs::dblclks;
  ui::register_class(std::move(cls));
}

}  // namespace

MainView::MainView() : caption_(kNoWindows) {}

MainView::~MainView() {
  if (DataFeedManager* m = manager(); m != nullptr && m->view() == this) m->set_view(nullptr);
}

bool MainView::create_in(ui::Hwnd frame, RECT rect) {
  ensure_class();
  ui::CreateParams p;
  p.class_name = kClassName;
  p.style = ui::ws::child | ui::ws::visible;
  p.rect = rect;
  p.parent = frame;
  p.id = 0xE900;
  return create(p);
}

TerminalWindow* MainView::slot(int index) const {
  if (index < 0 || index >= kSlotCount) return nullptr;
  return slots_[static_cast<std::size_t>(index)].get();
}

template <typename Fn>
void MainView::for_each_of_kind(int kind, Fn&& fn) {
  for (int i = 0; i < kSlotCount; ++i) {
    TerminalWindow* w = slot(i);
    if (w != nullptr && ui::send_message(w->hwnd(), UM_ISKIND, static_cast<WPARAM>(kind)) != 0) fn(*w);
  }
}

int MainView::create_window_for_command(UINT command) {
  const WindowKind* kind = find_window_kind_by_command(command);
  return kind != nullptr ? create_window(*kind) : -1;
}

int MainView::create_window(const WindowKind& wanted) {
  const WindowKind* kind = &wanted;
  int found = -1;
  if (kind->single) {
    for (int i = 0; i < kSlotCount && found < 0; ++i) {
      TerminalWindow* w = slot(i);
      if (w != nullptr && ui::send_message(w->hwnd(), UM_ISKIND, static_cast<WPARAM>(kind->kind)) != 0) found = i;
    }
  }
  if (found < 0) {
    int free_slot = -1;
    for (int i = 0; i < kSlotCount && free_slot < 0; ++i) {
      if (!slots_[static_cast<std::size_t>(i)]) free_slot = i;
    }
    if (free_slot < 0) {
      if (!restoring_) {
        ui::message_box(hwnd(), u"Невозможно открыть больше окон. Закройте одно и повторите попытку.", u"Ошибка",
                        ui::mb::ok | ui::mb::icon_error);
      }
      return -1;
    }
    std::string caption = kind->caption;
    if (restoring_ && restore_section_ != nullptr) caption = restore_section_->get("caption", "", 255);
    if (kind->prepare && !restoring_ && !kind->prepare(caption)) return -1;
    std::unique_ptr<TerminalWindow> window = kind->create();
    if (!window) return -1;
    window->set_caption(caption.substr(0, 255));
    if (restoring_ && restore_section_ != nullptr) window->restore_state(*restore_section_);
    ui::CreateParams p;
    p.style = ui::ws::child;
    p.parent = hwnd();
    p.id = kFirstChildId + static_cast<UINT>(free_slot);
    if (!window->create(p)) return -1;
    add_window_menu_item(window->caption(), kFirstSelectCommand + static_cast<UINT>(free_slot));
    slots_[static_cast<std::size_t>(free_slot)] = std::move(window);
    ++open_count_;
    found = free_slot;
  }
  if (!restoring_) activate_slot(found);
  return found;
}

RECT MainView::child_rect() const {
  RECT r = client_rect();
  r.top += header_height_ > 0 ? header_height_ : 0;
  return r;
}

void MainView::activate_slot(int index) {
  if (index == -1) {
    if (TerminalWindow* w = slot(active_slot_)) ui::show_window(w->hwnd(), ui::sw::hide);
    active_slot_ = -1;
    caption_ = kNoWindows;
    update_window_buttons();
    ui::invalidate_rect(hwnd(), nullptr, true);
    ui::update_window(hwnd());
    ui::set_focus(hwnd());
    return;
  }
  TerminalWindow* next = slot(index);
  if (next == nullptr || index == active_slot_) return;
  if (TerminalWindow* w = slot(active_slot_)) ui::show_window(w->hwnd(), ui::sw::hide);
  active_slot_ = index;
  ui::show_window(next->hwnd(), ui::sw::show);
  if (header_height_ >= 0) {
    const RECT r = child_rect();
    ui::move_window(next->hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, true);
  }
  const auto identity = ui::send_message(next->hwnd(), UM_IDENTITY);
  caption_ = identity != 0 ? to_wide(reinterpret_cast<const char*>(identity)) : u"Неизвестное окно";
  update_window_buttons();
  ui::invalidate_rect(hwnd(), nullptr, true);
  ui::update_window(hwnd());
  ui::set_focus(next->hwnd());
}

void MainView::close_active_window() {
  if (active_slot_ < 0) return;
  const int closed = active_slot_;
  remove_window_menu_item(kFirstSelectCommand + static_cast<UINT>(closed));
  // Destroyed while the whole object lives, so that its own destruction
  // handling (a table writes its column section) runs.
  slots_[static_cast<std::size_t>(closed)]->destroy();
  slots_[static_cast<std::size_t>(closed)].reset();
  --open_count_;
  int next = -1;
  for (int i = closed - 1; i >= 0 && next < 0; --i) {
    if (slot(i) != nullptr) next = i;
  }
  for (int i = closed + 1; i < kSlotCount && next < 0; ++i) {
    if (slot(i) != nullptr) next = i;
  }
  active_slot_ = -1;
  activate_slot(next);
}

void MainView::activate_next_window() {
  if (active_slot_ < 0) return;
  for (int i = active_slot_ + 1; i < kSlotCount; ++i) {
    if (slot(i) != nullptr) return activate_slot(i);
  }
  for (int i = 0; i < active_slot_; ++i) {
    if (slot(i) != nullptr) return activate_slot(i);
  }
}

void MainView::activate_prev_window() {
  if (active_slot_ < 0) return;
  for (int i = active_slot_ - 1; i >= 0; --i) {
    if (slot(i) != nullptr) return activate_slot(i);
  }
  for (int i = kSlotCount - 1; i > active_slot_; --i) {
    if (slot(i) != nullptr) return activate_slot(i);
  }
}

void MainView::activate_restored_window() {
  if (open_count_ <= 0) return;
  activate_slot(restore_slot_ >= 0 && restore_slot_ < kSlotCount && slot(restore_slot_) != nullptr ? restore_slot_
                                                                                                     : 0);
}

int MainView::find_news_wnd() const {
  for (int i = 0; i < kSlotCount; ++i) {
    const TerminalWindow* w = slot(i);
    if (w != nullptr && ui::send_message(w->hwnd(), UM_ISKIND, kind::news) != 0) return i;
  }
  return -1;
}

void MainView::broadcast_new_class(ClassRecord& cls) {
  send_to_all_windows(UM_MATCHROW, reinterpret_cast<WPARAM>(&cls), 0);
}

void MainView::broadcast_accounts(const KelapiTrdAccountRecord& account) {
  send_to_all_windows(UM_ORDERDATA, reinterpret_cast<WPARAM>(&account), 0);
}

void MainView::fan_out_trade(const KelapiTradeRecord& trade) {
  for_each_of_kind(kind::trades, [&](TerminalWindow& w) { w.on_trade(trade); });
}

void MainView::fan_out_order(const KelapiOrderRecord& order) {
  for_each_of_kind(kind::orders, [&](TerminalWindow& w) { w.on_order(order); });
}

void MainView::fan_out_stop_order(const KelapiStopOrderRecord& order) {
  for_each_of_kind(kind::stop_orders, [&](TerminalWindow& w) { w.on_stop_order(order); });
}

void MainView::fan_out_values(const ClassRecord& cls, const SecurityRecord& sec,
                              std::span<const KelapiValueRecord> values) {
  for_each_of_kind(kind::current_params, [&](TerminalWindow& w) { w.on_values(cls, sec, values); });
}

void MainView::fan_out_quotes(int32_t class_number, int32_t security_number, std::span<const KelapiPriceRecord> now,
                              std::span<const KelapiPriceRecord> before) {
  for_each_of_kind(kind::quotes, [&](TerminalWindow& w) { w.on_quotes(class_number, security_number, now, before); });
}

void MainView::fan_out_money_limit(const KelapiMoneyLimitRecordEx& limit, int index, bool is_new) {
  for_each_of_kind(kind::money_limits, [&](TerminalWindow& w) { w.on_money_limit(limit, index, is_new); });
}

void MainView::fan_out_depo_limit(const DepoLimitRow& limit, int index, bool is_new) {
  for_each_of_kind(kind::depo_limits, [&](TerminalWindow& w) { w.on_depo_limit(limit, index, is_new); });
}

void MainView::fan_out_futures_limit(const KelapiFuturesLimitRecordEx& limit, int index, bool is_new) {
  for_each_of_kind(kind::futures_limits, [&](TerminalWindow& w) { w.on_futures_limit(limit, index, is_new); });
}

void MainView::fan_out_futures_holding(const KelapiFuturesHoldingRecordEx& holding, int index, bool is_new) {
  for_each_of_kind(kind::futures_holdings, [&](TerminalWindow& w) { w.on_futures_holding(holding, index, is_new); });
}

void MainView::fan_out_news(const KelapiNewsRecord& news, int index, bool is_new) {
  for_each_of_kind(kind::news, [&](TerminalWindow& w) { w.on_news(news, index, is_new); });
}

void MainView::fan_out_remove_row(int window_kind, int index) {
  for_each_of_kind(window_kind, [&](TerminalWindow& w) { w.on_remove_row(index); });
}

void MainView::fan_out_margin_row(const std::string& firm, const std::string& client, bool added) {
  for (int i = 0; i < kSlotCount; ++i) {
    TerminalWindow* w = slot(i);
    if (w == nullptr) continue;
    if (ui::send_message(w->hwnd(), UM_ISKIND, kind::portfolio) != 0 ||
        ui::send_message(w->hwnd(), UM_ISKIND, kind::order_entry) != 0) {
      w->on_margin_row(firm, client, added);
    }
  }
}

void MainView::clear_all_windows() { send_to_all_windows(UM_CLEAR, 0, 0); }

void MainView::send_to_all_windows(UINT msg, WPARAM wparam, LPARAM lparam) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (TerminalWindow* w = slot(i)) ui::send_message(w->hwnd(), msg, wparam, lparam);
  }
}

void MainView::light_lamp() {
  lamp_lit_ = true;
  if (header_height_ < 0) return;
  std::unique_ptr<ui::Canvas> canvas = ui::get_dc(hwnd());
  if (canvas) draw_lamp(*canvas);
}

void MainView::refresh() { ui::invalidate_rect(hwnd(), nullptr, true); }

void MainView::update_window_buttons() {
  const ui::Hwnd bar = ui::find_menu_bar(ui::get_parent(hwnd()));
  if (!bar) return;
  const bool active = active_slot_ != -1;
  ui::enable_toolbar_button(bar, cmd::prev_window, active && open_count_ > 1);
  ui::enable_toolbar_button(bar, cmd::next_window, active && open_count_ > 1);
  ui::enable_toolbar_button(bar, cmd::close_window, active);
}

void MainView::add_window_menu_item(const std::string& caption, UINT command) {
  const ui::Hmenu menu = frame_menu(ui::get_parent(hwnd()));
  const ui::Hmenu windows = menu ? ui::get_sub_menu(menu, 1) : ui::Hmenu{};
  if (windows) ui::append_menu(windows, ui::mf::string, command, to_wide(caption));
}

void MainView::remove_window_menu_item(UINT command) {
  const ui::Hmenu menu = frame_menu(ui::get_parent(hwnd()));
  if (menu) ui::delete_menu(menu, command, ui::mf::by_command);
}

void MainView::draw_lamp(ui::Canvas& canvas) {
  const RECT client = client_rect();
  RECT field{client.right - date_width_ - lamp_width_, 0, client.right - date_width_, header_height_};
  canvas.frame_rect(field, ui::black_brush());
  const ui::Bitmap* lamp = ui::find_bitmap("", lamp_lit_ ? (ui::is_vga_screen() ? 177 : 172)
                                                         : (ui::is_vga_screen() ? 174 : 173));
  if (lamp != nullptr) canvas.draw_bitmap(field.left + 1, field.top + 1, *lamp);
  if (lamp_lit_) ui::set_timer(hwnd(), kLampTimer, 100);
}

void MainView::on_paint() {
  ui::PaintSession paint(hwnd());
  ui::Canvas& canvas = paint.canvas();
  const RECT client = client_rect();
  if (header_height_ < 0) {
    const auto size = canvas.text_extent(u"99.99.9999");
    header_height_ = static_cast<int>(size.cy * 1.3);
    date_width_ = static_cast<int>(size.cx * 1.2);
    lamp_width_ = 2 + static_cast<int>(16 * ui::scale_x());
    for (int i = 0; i < kSlotCount; ++i) {
      if (TerminalWindow* w = slot(i)) {
        const RECT r = child_rect();
        ui::move_window(w->hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, true);
      }
    }
  }
  canvas.fill_rect(client, ui::get_sys_color_brush(ui::color::face_3d));
  if (open_count_ == 0) {
    if (const ui::Bitmap* logo = ui::find_bitmap("", ui::is_vga_screen() ? 176 : 139)) {
      canvas.draw_bitmap((client.right - logo->width()) / 2, (client.bottom - logo->height()) / 2, *logo);
    }
  }
  RECT caption_field{0, 0, client.right - date_width_, header_height_};
  canvas.fill_rect(caption_field, ui::white_brush());
  canvas.set_bk_mode(ui::bk::transparent);
  RECT text_rect = caption_field;
  text_rect.left += 2;
  canvas.draw_text(caption_, text_rect, ui::dt::left | ui::dt::vcenter | ui::dt::single_line);
  RECT caption_border = caption_field;
  caption_border.left -= 1;
  canvas.frame_rect(caption_border, ui::black_brush());

  const DataFeedManager* m = manager();
  const COLORREF state = m == nullptr || !m->connected() ? kRed : m->started() ? kGreen : kYellow;
  RECT date_field{client.right - date_width_, 0, client.right, header_height_};
  canvas.fill_rect(date_field, ui::Brush::solid(state));
  RECT date_rect = date_field;
  canvas.draw_text(m != nullptr ? to_wide(m->trade_date_text()) : u"", date_rect,
                   ui::dt::center | ui::dt::vcenter | ui::dt::single_line);
  RECT date_border{date_field.left - 1, date_field.top, date_field.right + 1, date_field.bottom};
  canvas.frame_rect(date_border, ui::black_brush());
  draw_lamp(canvas);
}

void MainView::on_timer(uintptr_t id) {
  DataFeedManager* m = manager();
  if (id == kActivityTimer) {
    ui::kill_timer(hwnd(), kActivityTimer);
    if (m != nullptr) m->batch = false;
  } else if (id == kLampTimer) {
    lamp_lit_ = false;
    if (std::unique_ptr<ui::Canvas> canvas = ui::get_dc(hwnd()); canvas && header_height_ >= 0) draw_lamp(*canvas);
    ui::kill_timer(hwnd(), kLampTimer);
  } else if (id == kReconnectTimer) {
    if (m != nullptr && m->reconnect()) ui::kill_timer(hwnd(), kReconnectTimer);
  }
}

void MainView::register_arrow_hot_keys() {
  if (!hwnd() || arrow_holders_ > 0) return;
  ui::register_hot_key(hwnd(), kHotKeyLeft, ui::mod::keyup, ui::vk::left);
  ui::register_hot_key(hwnd(), kHotKeyRight, ui::mod::keyup, ui::vk::right);
}

void MainView::unregister_arrow_hot_keys() {
  if (!hwnd()) return;
  ui::unregister_hot_key(hwnd(), kHotKeyLeft);
  ui::unregister_hot_key(hwnd(), kHotKeyRight);
  // A key held while the keys went keeps no latch set.
  left_latch_ = false;
  right_latch_ = false;
}

void MainView::hold_arrow_hot_keys() {
  ++arrow_holders_;
  unregister_arrow_hot_keys();
}

void MainView::return_arrow_hot_keys() {
  if (arrow_holders_ == 0) return;
  if (--arrow_holders_ == 0) register_arrow_hot_keys();
}

void MainView::follow_dialog_activation(ui::Hwnd dialog, WPARAM wparam, LPARAM lparam) {
  if (ui::lo_word(wparam) != ui::wa::inactive) {
    unregister_arrow_hot_keys();
    return;
  }
  for (ui::Hwnd w = ui::Hwnd::from(lparam); w; w = ui::get_window(w, ui::gw::owner)) {
    if (w == dialog) return;  // still within the dialog
  }
  register_arrow_hot_keys();
}

void MainView::on_hot_key(int id, LPARAM lparam) {
  const bool released = (static_cast<UINT>(lparam) & 0xFFFF & ui::mod::keyup) != 0;
  bool& latch = id == kHotKeyLeft ? left_latch_ : right_latch_;
  if (!latch) {
    if (released) return;
    latch = true;
    if (id == kHotKeyLeft) activate_prev_window();
    else activate_next_window();
  } else if (released) {
    latch = false;
  }
}

bool MainView::route_command(UINT id, UINT code) {
  if (TerminalWindow* active = slot(active_slot_); active != nullptr && ui::route_command(active->hwnd(), id, code)) {
    return true;
  }
  switch (id) {
    case cmd::prev_window: activate_prev_window(); return true;
    case cmd::next_window: activate_next_window(); return true;
    case cmd::close_window: close_active_window(); return true;
    case cmd::save_config: save_layout_command(); return true;
    case cmd::load_config: load_layout_command(); return true;
    default: break;
  }
  if (id >= kFirstSelectCommand && id < kFirstSelectCommand + kSlotCount) {
    activate_slot(static_cast<int>(id - kFirstSelectCommand));
    return true;
  }
  if (find_window_kind_by_command(id) != nullptr) {
    create_window_for_command(id);
    return true;
  }
  if (const CommandHandler* handler = find_command_handler(id)) {
    (*handler)(hwnd());
    return true;
  }
  return false;
}

LRESULT MainView::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::create: {
      const LRESULT r = default_proc(msg, wparam, lparam);
      if (r == -1) return -1;
      if (DataFeedManager* m = manager()) {
        m->set_view(this);
        m->create_table_font();
      }
      update_window_buttons();
      register_arrow_hot_keys();
      load_window_layout();
      if (DataFeedManager* m = manager()) m->input_panel_button = false;
      defer_sip_button_update(hwnd());
      return r;
    }
    case ui::wm::destroy:
      unregister_arrow_hot_keys();
      save_window_layout(true);
      for (auto& w : slots_) w.reset();
      // A window destroyed just now may have handed the arrows back.
      arrow_holders_ = 0;
      unregister_arrow_hot_keys();
      open_count_ = 0;
      active_slot_ = -1;
      break;
    case ui::wm::paint:
      on_paint();
      return 0;
    case ui::wm::erase_background:
      return 1;
    case ui::wm::size:
      if (header_height_ >= 0) {
        const RECT r = child_rect();
        for (auto& w : slots_) {
          if (w) ui::move_window(w->hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, true);
        }
      }
      break;
    case ui::wm::set_focus:
      if (DataFeedManager* m = manager()) m->input_panel_button = false;
      defer_sip_button_update(hwnd());
      ui::update_window(hwnd());
      break;
    case ui::wm::timer:
      on_timer(wparam);
      return 0;
    case ui::wm::hot_key:
      on_hot_key(static_cast<int>(wparam), lparam);
      return 0;
    case UM_DATALINE: {
      for (int i = 0; i < kSlotCount; ++i) {
        if (TerminalWindow* w = slot(i)) ui::send_message(w->hwnd(), UM_DATALINE, wparam, lparam);
      }
      std::unique_ptr<unsigned char[]>(reinterpret_cast<unsigned char*>(lparam));
      break;
    }
    default:
      break;
  }
  return default_proc(msg, wparam, lparam);
}

}  // namespace kelda::terminal
