// The IP-address control: four fields of 0 to 255 typed as digits, with the
// dots between them (ui/ip_address.h).
#include "ui/ip_address.h"

#include <algorithm>
#include <array>
#include <string>

#include "controls_internal.h"

namespace kelda::ui {
namespace detail {
namespace {

constexpr int kFields = 4;
constexpr int kBlank = -1;

class IpAddressBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::create:
        set_from_text(w.text);
        return def_proc(w, msg, wp, lp);
      case wm::paint:
        paint(w);
        return 0;
      case wm::erase_background:
        return 1;
      case wm::lbutton_down:
      case wm::lbutton_dblclk:
        on_tap(w, x_of(lp));
        return 0;
      case wm::key_down:
        on_key(w, static_cast<UINT>(wp));
        return 0;
      case wm::character:
        on_char(w, static_cast<char16_t>(wp));
        return 0;
      case wm::set_focus:
      case wm::kill_focus:
        fresh_ = true;
        all_selected_ = false;
        invalidate(&w, nullptr, false);
        return 0;
      case wm::enable:
        invalidate(&w, nullptr, false);
        return 0;
      case wm::get_dialog_code:
        return dlgc::want_arrows | dlgc::want_chars;
      case wm::set_text:
        set_from_text(lp != 0 ? std::u16string_view(reinterpret_cast<const char16_t*>(lp)) : std::u16string_view());
        invalidate(&w, nullptr, false);
        return 1;
      case wm::get_text:
        if (wp == 0 || lp == 0) return 0;
        return copy_text_out(text(), reinterpret_cast<char16_t*>(lp), wp);
      case wm::get_text_length:
        return static_cast<LRESULT>(text().size());
      case em::set_sel:
        // A dialog selecting "all the text": the next key replaces the address.
        all_selected_ = wp == 0 && static_cast<intptr_t>(lp) == -1;
        fresh_ = true;
        invalidate(&w, nullptr, false);
        return 0;
      case ipm::clear_address:
        values_.fill(kBlank);
        invalidate(&w, nullptr, false);
        return 0;
      case ipm::set_address:
        for (int f = 0; f < kFields; ++f) values_[f] = ip_address_field(static_cast<DWORD>(lp), f);
        invalidate(&w, nullptr, false);
        return 0;
      case ipm::get_address: {
        if (lp == 0) return 0;
        DWORD address = 0;
        int filled = 0;
        for (int f = 0; f < kFields; ++f) {
          address = address << 8 | static_cast<DWORD>(std::max(values_[f], 0));
          filled += values_[f] != kBlank ? 1 : 0;
        }
        *reinterpret_cast<DWORD*>(lp) = address;
        return filled;
      }
      case ipm::is_blank:
        return std::all_of(values_.begin(), values_.end(), [](int v) { return v == kBlank; }) ? 1 : 0;
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

 private:
  std::u16string text() const {
    if (std::all_of(values_.begin(), values_.end(), [](int v) { return v == kBlank; })) return {};
    std::u16string out;
    for (int f = 0; f < kFields; ++f) {
      if (f > 0) out += u'.';
      out += field_text(f);
    }
    return out;
  }

  std::u16string field_text(int f) const {
    return values_[f] == kBlank ? std::u16string() : from_utf8(std::to_string(values_[f]));
  }

  void set_from_text(std::u16string_view text) {
    values_.fill(kBlank);
    for (int f = 0; f < kFields && !text.empty(); ++f) {
      const std::size_t dot = text.find(u'.');
      const std::u16string_view part = text.substr(0, dot);
      text = dot == std::u16string_view::npos ? std::u16string_view() : text.substr(dot + 1);
      if (part.empty() || part.size() > 3 ||
          !std::all_of(part.begin(), part.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        continue;
      }
      int value = 0;
      for (char16_t c : part) value = value * 10 + (c - u'0');
      values_[f] = std::min(value, 255);
    }
  }

  // The user changed the address: repaint and tell the parent.
  void changed(WindowData& w) {
    const AliveGuard guard(w);
    invalidate(&w, nullptr, false);
    if (WindowData* d = guard.alive()) notify_parent_command(*d, en::change);
  }

  void go_to(WindowData& w, int field) {
    field_ = std::clamp(field, 0, kFields - 1);
    digits_ = 0;
    fresh_ = true;
    invalidate(&w, nullptr, false);
  }

  // The whole address was selected: the key replaces it.
  bool take_selection() {
    if (!all_selected_) return false;
    all_selected_ = false;
    values_.fill(kBlank);
    field_ = 0;
    digits_ = 0;
    fresh_ = true;
    return true;
  }

  void on_char(WindowData& w, char16_t c) {
    if (c >= u'0' && c <= u'9') {
      take_selection();
      if (!fresh_ && digits_ >= 3) return;  // the last field is full
      int& v = values_[field_];
      if (fresh_ || v == kBlank) v = 0, digits_ = 0;
      fresh_ = false;
      v = std::min(v * 10 + (c - u'0'), 255);
      ++digits_;
      const bool full = digits_ >= 3 && field_ < kFields - 1;
      changed(w);
      if (full) go_to(w, field_ + 1);
    } else if (c == u'.' || c == u' ') {
      if (all_selected_ || values_[field_] == kBlank || field_ == kFields - 1) return;
      go_to(w, field_ + 1);
    } else if (c == 0x08) {
      if (take_selection()) {
        changed(w);
        return;
      }
      if (values_[field_] == kBlank) {
        if (field_ == 0) return;
        --field_;
      }
      int& v = values_[field_];
      v = v >= 10 ? v / 10 : kBlank;
      digits_ = v == kBlank ? 0 : static_cast<int>(std::to_string(v).size());
      fresh_ = false;
      changed(w);
    }
  }

  void on_key(WindowData& w, UINT key) {
    switch (key) {
      case vk::left: all_selected_ = false; go_to(w, field_ - 1); break;
      case vk::right: all_selected_ = false; go_to(w, field_ + 1); break;
      case vk::home: all_selected_ = false; go_to(w, 0); break;
      case vk::end: all_selected_ = false; go_to(w, kFields - 1); break;
      case vk::del:
        if (take_selection()) {
          changed(w);
        } else if (values_[field_] != kBlank) {
          values_[field_] = kBlank;
          digits_ = 0;
          changed(w);
        }
        break;
      default: break;
    }
  }

  void on_tap(WindowData& w, int x) {
    const AliveGuard guard(w);
    set_focus(w.handle);
    WindowData* d = guard.alive();
    if (d == nullptr) return;
    all_selected_ = false;
    const int width = std::max(1, width_of(client_area(d)));
    go_to(*d, std::clamp(x * kFields / width, 0, kFields - 1));
  }

  RECT cell(WindowData& w, int f) const {
    const RECT r = client_area(&w);
    const int width = width_of(r);
    return RECT{width * f / kFields, 0, width * (f + 1) / kFields, r.bottom};
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    const RECT r = client_area(&w);
    const bool enabled = is_window_enabled(w.handle);
    const Brush* bg = prepare_colors(w, enabled ? wm::ctl_color_edit : wm::ctl_color_static, c);
    c.fill_rect(r, *bg);
    const COLORREF ink = enabled ? c.text_color() : get_sys_color(color::gray_text);
    c.set_bk_mode(bk::transparent);
    FontEngine& e = font_engine();
    const Font& font = window_font(w);
    const bool focused = g_core->focus == w.handle;
    for (int f = 0; f < kFields; ++f) {
      const RECT box = cell(w, f);
      const std::u16string t = field_text(f);
      const int tw = e.text_width(font, t);
      const int mid = (box.left + box.right) / 2;
      RECT text_rect{mid - tw / 2, box.top, mid - tw / 2 + tw, box.bottom};
      const bool current = focused && f == field_;
      const bool selected = focused && (all_selected_ || (current && fresh_)) && !t.empty();
      if (selected) {
        c.fill_rect(RECT{text_rect.left - 1, r.top + 2, text_rect.right + 1, r.bottom - 2},
                    get_sys_color_brush(color::highlight));
      }
      c.set_text_color(selected ? get_sys_color(color::highlight_text) : ink);
      c.draw_text(t, text_rect, dt::left | dt::vcenter | dt::single_line);
      if (current && !selected) {
        // The caret, after the field's digits.
        const Brush caret = Brush::solid(ink);
        c.fill_rect(RECT{text_rect.right, r.top + 3, text_rect.right + 1, r.bottom - 3}, caret);
      }
      if (f < kFields - 1) {
        c.set_text_color(ink);
        const int dot = e.text_width(font, u".");
        RECT dot_rect{box.right - dot / 2, box.top, box.right - dot / 2 + dot, box.bottom};
        c.draw_text(u".", dot_rect, dt::left | dt::vcenter | dt::single_line);
      }
    }
  }

  std::array<int, kFields> values_{kBlank, kBlank, kBlank, kBlank};
  int field_ = 0;
  int digits_ = 0;            // digits typed into the current field
  bool fresh_ = true;         // the current field's value is selected: a digit replaces it
  bool all_selected_ = false;
};

}  // namespace

void register_ip_address_class() { register_behavior_class<IpAddressBehavior>(class_name::ip_address); }

}  // namespace detail

void IpAddressControl::set(DWORD address) const { send_message(hwnd, ipm::set_address, 0, static_cast<LPARAM>(address)); }
int IpAddressControl::get(DWORD* address) const {
  DWORD value = 0;
  const int filled = static_cast<int>(send_message(hwnd, ipm::get_address, 0, reinterpret_cast<LPARAM>(&value)));
  if (address != nullptr) *address = value;
  return filled;
}
void IpAddressControl::clear() const { send_message(hwnd, ipm::clear_address); }
bool IpAddressControl::blank() const { return send_message(hwnd, ipm::is_blank) != 0; }

}  // namespace kelda::ui
