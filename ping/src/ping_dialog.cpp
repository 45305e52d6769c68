#include "ping/ping_dialog.h"

#include <string>

#include "ping/host_lookup.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/resources.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::ping {
namespace {

constexpr std::size_t max_host_chars = 260;

std::u16string widen(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string number(int value) { return widen(std::to_string(value)); }

ui::LogFont bold_title_font() {
  ui::LogFont font;
  font.height = 14;
  font.weight = 700;
  constexpr std::u16string_view face = u"MS Sans Serif";
  face.copy(font.face_name, face.size());
  return font;
}

const ResolveFunction& or_default(const ResolveFunction& f) {
  static const ResolveFunction fallback = resolve_host;
  return f ? f : fallback;
}
const OwnAddressFunction& or_default(const OwnAddressFunction& f) {
  static const OwnAddressFunction fallback = own_address_text;
  return f ? f : fallback;
}

}  // namespace

PingDialog::PingDialog(platform::UserProfile& profile, PingDialogOptions options)
    : ui::Dialog("", ping_id::dialog),
      profile_(profile),
      sender_(options.sender ? std::move(options.sender) : std::make_unique<IcmpEchoSender>()),
      lookups_(or_default(options.resolve), or_default(options.own_address)),
      echo_timeout_(options.echo_timeout),
      resolve_timeout_ms_(options.resolve_timeout_ms),
      bold_font_(bold_title_font()) {
  recent_.load(profile_);
}

PingDialog::~PingDialog() = default;

bool PingDialog::on_init_dialog() {
  const ui::Hwnd bar = ui::create_menu_bar(hwnd(), "", ping_id::menu);
  ui::add_toolbar_buttons(bar, "", ping_id::toolbar);
  set_repeat_mode(repeat_mode_);
  ui::set_timer(hwnd(), ping_id::timer_own_address, 1000);
  lookups_.find_own_address(hwnd());
  ui::send_dlg_item_message(hwnd(), ping_id::own_address, ui::wm::set_font, bold_font_.handle(), 1);
  show_picture(ping_id::idle_picture);
  fill_host_combo(u"");
  ui::set_focus(ui::get_dlg_item(hwnd(), ping_id::host));
  return false;
}

LRESULT PingDialog::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case msg_resolved:
      on_resolved(*LookupThreads::take_resolved(wparam));
      return 0;
    case msg_own_address: {
      const auto text = LookupThreads::take_own_address(wparam);
      if (*text != own_address_) {
        own_address_ = *text;
        ui::set_dlg_item_text(hwnd(), ping_id::own_address, own_address_);
      }
      return 0;
    }
    case ui::wm::timer:
      if (wparam == ping_id::timer_echo) ping_once();
      else if (wparam == ping_id::timer_resolve) on_resolve_timeout();
      else if (wparam == ping_id::timer_own_address) lookups_.find_own_address(hwnd());
      return 0;
    case ui::wm::paint:
      paint();
      return 0;
    case ui::wm::destroy:
      ui::kill_timer(hwnd(), ping_id::timer_own_address);
      ui::kill_timer(hwnd(), ping_id::timer_echo);
      ui::kill_timer(hwnd(), ping_id::timer_resolve);
      recent_.save(profile_);
      break;
    default:
      break;
  }
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

bool PingDialog::pre_translate_message(ui::Message& msg) {
  const bool ours = msg.hwnd == hwnd() || ui::is_child(hwnd(), msg.hwnd);
  if (ours && msg.message == ui::wm::key_down && msg.wparam == ui::vk::enter) {
    toggle();
    return true;
  }
  if (ours && msg.message == ui::wm::lbutton_down &&
      msg.hwnd == ui::get_dlg_item(hwnd(), ping_id::picture)) {
    toggle();
    return true;
  }
  return ui::Dialog::pre_translate_message(msg);
}

bool PingDialog::on_command(UINT id, UINT /*code*/, ui::Hwnd /*control*/) {
  switch (id) {
    case ping_id::mode_once:
    case ping_id::mode_four:
    case ping_id::mode_continuous:
      set_repeat_mode(id == ping_id::mode_once ? 1 : id == ping_id::mode_four ? 4 : 8);
      keep_keyboard();
      return true;
    case ping_id::about:
      ui::dialog_box("", ping_id::about_dialog, hwnd(), [](ui::Hwnd, UINT msg, WPARAM wp, LPARAM) -> intptr_t {
        if (msg == ui::wm::init_dialog) return 1;
        if (msg == ui::wm::command && (wp & 0xFFFF) <= 2) return 0;
        return 0;
      });
      ui::set_focus(ui::get_dlg_item(hwnd(), ping_id::host));
      return true;
    case ping_id::exit:
      on_cancel();
      return true;
    default:
      return false;
  }
}

void PingDialog::on_cancel() {
  if (running_) stop_ping();
  end_dialog(ui::id::cancel);
}

void PingDialog::set_repeat_mode(int mode) {
  repeat_mode_ = mode;
  const ui::Hwnd bar = ui::find_menu_bar(hwnd());
  if (!bar) return;
  ui::send_message(bar, ui::tb::check_button, ping_id::mode_once, mode == 1);
  ui::send_message(bar, ui::tb::check_button, ping_id::mode_four, mode == 4);
  ui::send_message(bar, ui::tb::check_button, ping_id::mode_continuous, mode == 8);
}

void PingDialog::toggle() {
  if (running_) stop_ping();
  else start_ping();
}

void PingDialog::start_ping() {
  if (running_) {
    stop_ping();
    return;
  }
  running_ = true;
  ui::enable_window(ui::get_dlg_item(hwnd(), ping_id::host), false);
  show_picture(ping_id::running_picture);
  set_output(u"");
  round_trips_.clear();
  host_ = ui::get_dlg_item_text(hwnd(), ping_id::host).substr(0, max_host_chars);
  recent_.add(host_);
  fill_host_combo(host_);
  lookups_.resolve(hwnd(), ++request_tag_, host_);
  ui::set_timer(hwnd(), ping_id::timer_resolve, resolve_timeout_ms_);
  resolving_ = true;
}

void PingDialog::fail_invalid_host() {
  set_output(u"Pinging " + host_ + u":\r\nError: invalid host.");
  stop_ping();
}

void PingDialog::on_resolved(const ResolvedHost& answer) {
  // An answer to an older request (after a time-out and a new start) is stale.
  if (!resolving_ || answer.tag != request_tag_) return;
  resolving_ = false;
  ui::kill_timer(hwnd(), ping_id::timer_resolve);
  if (answer.address == no_address) {
    fail_invalid_host();
    return;
  }
  destination_ = answer.address;
  set_output(u"Pinging " + dotted_address(destination_) + u":\r\n");
  const std::u16string unavailable = sender_->unavailable_reason();
  if (!unavailable.empty()) {
    append_line(u"Error: " + unavailable);
    stop_ping();
    return;
  }
  counter_ = 0;
  ui::set_timer(hwnd(), ping_id::timer_echo, 1000);
  ping_once();
}

void PingDialog::on_resolve_timeout() {
  if (!resolving_) return;
  resolving_ = false;
  fail_invalid_host();
}

void PingDialog::ping_once() {
  if (!running_ || resolving_) return;
  ++counter_;
  const EchoResult result = sender_->send_echo(destination_, echo_timeout_);
  const bool answered = result.answered && result.round_trip_ms >= 0 && result.round_trip_ms <= 2000;
  round_trips_.push_back(answered ? result.round_trip_ms : -1);
  append_line(answered ? number(counter_) + u": Reply ok. Time: " + number(result.round_trip_ms) + u" ms"
                       : number(counter_) + u": Request timed out.");
  if (counter_ >= repeat_mode_ && repeat_mode_ != 8) stop_ping();
}

void PingDialog::stop_ping() {
  ui::kill_timer(hwnd(), ping_id::timer_resolve);
  ui::kill_timer(hwnd(), ping_id::timer_echo);
  resolving_ = false;
  const std::u16string statistics = statistics_text(round_trips_);
  if (!statistics.empty()) append_text(statistics);
  running_ = false;
  const ui::Hwnd combo = ui::get_dlg_item(hwnd(), ping_id::host);
  ui::enable_window(combo, true);
  show_picture(ping_id::idle_picture);
  ui::send_message(combo, ui::cb::set_edit_sel, 0, static_cast<LPARAM>(0xFFFF0000u));
  ui::set_focus(combo);
}

void PingDialog::append_line(std::u16string_view line) {
  std::u16string text(line);
  text += u"\r\n";
  append_text(text);
}

// Adds the text at the end of the output box and keeps its end in view: the
// newest line is the one the user watches.
void PingDialog::append_text(std::u16string_view text) {
  const ui::Hwnd output = ui::get_dlg_item(hwnd(), ping_id::output);
  const auto end = static_cast<WPARAM>(ui::get_window_text(output).size());
  ui::send_message(output, ui::em::set_sel, end, static_cast<LPARAM>(end));
  ui::send_message(output, ui::em::scroll_caret);
  const std::u16string owned(text);
  ui::send_message(output, ui::em::replace_sel, 0, reinterpret_cast<LPARAM>(owned.c_str()));
  ui::send_message(output, ui::em::scroll_caret);
}

// A tap on the command bar takes the keyboard with it; the keyboard goes
// back to the host box (or, while it is disabled during a run, to the
// dialog), so that Enter starts and stops as before.
void PingDialog::keep_keyboard() {
  const ui::Hwnd combo = ui::get_dlg_item(hwnd(), ping_id::host);
  ui::set_focus(ui::is_window_enabled(combo) ? combo : hwnd());
}

void PingDialog::set_output(std::u16string_view text) {
  ui::set_dlg_item_text(hwnd(), ping_id::output, text);
}

void PingDialog::show_picture(int picture) {
  const ui::Bitmap* bitmap = ui::find_bitmap("", picture);
  if (bitmap == nullptr) return;
  ui::send_dlg_item_message(hwnd(), ping_id::picture, ui::stm::set_image, ui::image_type::bitmap,
                            reinterpret_cast<LPARAM>(bitmap));
}

void PingDialog::fill_host_combo(std::u16string_view edit_text) {
  const ui::Hwnd combo = ui::get_dlg_item(hwnd(), ping_id::host);
  ui::send_message(combo, ui::cb::reset_content);
  ui::set_window_text(combo, edit_text);
  for (const std::u16string& host : recent_.hosts())
    ui::send_message(combo, ui::cb::add_string, 0, reinterpret_cast<LPARAM>(host.c_str()));
}

void PingDialog::paint() {
  ui::PaintSession session(hwnd());
  ui::Canvas& canvas = session.canvas();
  const ui::Font* old_font = canvas.select_font(&bold_font_);
  canvas.set_text_color(0xFF0000);
  canvas.set_bk_mode(ui::bk::transparent);
  RECT title{7, 0, 220, 28};
  canvas.draw_text(u"Pulsor", title, ui::dt::single_line | ui::dt::vcenter);
  canvas.select_font(old_font);
  canvas.move_to(0, 27);
  canvas.line_to(240, 27);
}

}  // namespace kelda::ping
