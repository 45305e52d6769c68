// Keyboard navigation of dialogs and the dialog item helpers.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core.h"
#include "dialog_internal.h"
#include "ui/controls.h"
#include "ui/services.h"

namespace kelda::ui::detail {
namespace {
bool takes_tab(const WindowData* w) {
  return (w->style & ws::visible) && !(w->style & ws::disabled);
}

// Controls in tab order; pages (child dialogs) and control parents are entered.
void collect(WindowData* parent, std::vector<WindowData*>& out) {
  for (WindowData* c : parent->children) {
    if (!takes_tab(c)) continue;
    if (c->is_dialog || (c->ex_style & ws_ex::control_parent)) {
      collect(c, out);
      continue;
    }
    out.push_back(c);
  }
}

LRESULT dialog_code(WindowData* w, Message* m) {
  return call_window(w, wm::get_dialog_code, m ? m->wparam : 0, reinterpret_cast<LPARAM>(m));
}

bool is_push_button(WindowData* w) {
  if (!equal_ignore_case(w->class_name, class_name::button)) return false;
  DWORD t = w->style & bs::type_mask;
  return t == bs::push_button || t == bs::def_push_button;
}

Hwnd default_button(WindowData* dialog) {
  std::vector<WindowData*> all;
  collect(dialog, all);
  for (WindowData* c : all)
    if (is_push_button(c) && (c->style & bs::type_mask) == bs::def_push_button) return c->handle;
  return get_dlg_item(dialog->handle, id::ok);
}

void click(WindowData* dialog, int id, Hwnd button) {
  call_window(dialog, wm::command, make_wparam(id, bn::clicked), button.to_lparam());
}
}  // namespace
}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

Hwnd next_dlg_tab_item(Hwnd dialog, Hwnd control, bool previous) {
  WindowData* d = lookup(dialog);
  if (d == nullptr) return Hwnd{};
  std::vector<WindowData*> all;
  collect(d, all);
  std::vector<WindowData*> stops;
  for (WindowData* c : all)
    if (c->style & ws::tab_stop) stops.push_back(c);
  if (stops.empty()) return Hwnd{};
  WindowData* cur = lookup(control);
  auto it = std::find(stops.begin(), stops.end(), cur);
  if (it == stops.end()) {
    // From a control without a tab stop: the next stop after it in all controls.
    auto at = std::find(all.begin(), all.end(), cur);
    if (at == all.end()) return previous ? stops.back()->handle : stops.front()->handle;
    if (!previous) {
      for (auto j = at + 1; j != all.end(); ++j)
        if ((*j)->style & ws::tab_stop) return (*j)->handle;
      return stops.front()->handle;
    }
    for (auto j = at; j != all.begin();) {
      --j;
      if ((*j)->style & ws::tab_stop) return (*j)->handle;
    }
    return stops.back()->handle;
  }
  size_t i = static_cast<size_t>(it - stops.begin());
  size_t n = stops.size();
  return stops[previous ? (i + n - 1) % n : (i + 1) % n]->handle;
}

Hwnd next_dlg_group_item(Hwnd dialog, Hwnd control, bool previous) {
  WindowData* d = lookup(dialog);
  WindowData* cur = lookup(control);
  if (d == nullptr || cur == nullptr || cur->parent == nullptr) return Hwnd{};
  const auto& sib = cur->parent->children;
  auto at = std::find(sib.begin(), sib.end(), cur);
  if (at == sib.end()) return Hwnd{};
  // The group: from the nearest control with ws::group at or before `cur` to
  // the control before the next one with ws::group.
  auto first = at;
  while (first != sib.begin() && !((*first)->style & ws::group)) --first;
  auto last = at + 1;
  while (last != sib.end() && !((*last)->style & ws::group)) ++last;
  std::vector<WindowData*> group;
  for (auto j = first; j != last; ++j)
    if (takes_tab(*j)) group.push_back(*j);
  auto it = std::find(group.begin(), group.end(), cur);
  if (group.empty() || it == group.end()) return control;
  size_t i = static_cast<size_t>(it - group.begin()), n = group.size();
  return group[previous ? (i + n - 1) % n : (i + 1) % n]->handle;
}

bool is_dialog_message(Hwnd dialog, Message& msg) {
  WindowData* d = lookup(dialog);
  if (d == nullptr) return false;
  if (msg.message != wm::key_down && msg.message != wm::character) return false;
  WindowData* focus = lookup(g_core->focus);
  bool inside = false;
  for (WindowData* f = focus; f != nullptr; f = f->parent)
    if (f == d) inside = true;
  if (!inside) focus = nullptr;
  LRESULT code = focus ? dialog_code(focus, &msg) : 0;
  if (code & dlgc::want_message) return false;
  UINT key = static_cast<UINT>(msg.wparam);
  if (msg.message == wm::character) {
    // The characters of keys handled below never reach the controls.
    return (key == u'\t' && !(code & dlgc::want_tab)) || key == u'\r' || key == 0x1B;
  }
  switch (key) {
    case vk::tab: {
      if (code & dlgc::want_tab) return false;
      bool back = std::find(g_core->keys_down.begin(), g_core->keys_down.end(), vk::shift) !=
                  g_core->keys_down.end();
      Hwnd next = next_dlg_tab_item(dialog, focus ? focus->handle : Hwnd{}, back);
      if (WindowData* n = lookup(next)) {
        set_focus_impl(n);
        if (call_window(n, wm::get_dialog_code, 0, 0) & dlgc::has_set_sel) send_message(next, em::set_sel, 0, -1);
      }
      return true;
    }
    case vk::enter: {
      if (focus != nullptr && is_push_button(focus)) {
        click(d, static_cast<int>(focus->id), focus->handle);
        return true;
      }
      Hwnd def = default_button(d);
      WindowData* b = lookup(def);
      if (b != nullptr && !is_window_enabled(def)) return true;
      click(d, b ? static_cast<int>(b->id) : id::ok, def);
      return true;
    }
    case vk::escape:
      click(d, id::cancel, get_dlg_item(dialog, id::cancel));
      return true;
    case vk::left:
    case vk::up:
    case vk::right:
    case vk::down: {
      if (focus == nullptr || (code & dlgc::want_arrows)) return false;
      bool back = key == vk::left || key == vk::up;
      Hwnd next = next_dlg_group_item(dialog, focus->handle, back);
      WindowData* n = lookup(next);
      if (n == nullptr || n == focus) return true;
      set_focus_impl(n);
      if (call_window(n, wm::get_dialog_code, 0, 0) & dlgc::radio_button) send_message(next, bm::click);
      return true;
    }
    default:
      return false;
  }
}

LRESULT send_dlg_item_message(Hwnd dialog, int id, UINT msg, WPARAM wparam, LPARAM lparam) {
  Hwnd h = get_dlg_item(dialog, id);
  return h ? send_message(h, msg, wparam, lparam) : 0;
}

bool set_dlg_item_text(Hwnd dialog, int id, std::u16string_view text) {
  Hwnd h = get_dlg_item(dialog, id);
  return h && set_window_text(h, text);
}

std::u16string get_dlg_item_text(Hwnd dialog, int id) {
  Hwnd h = get_dlg_item(dialog, id);
  return h ? get_window_text(h) : std::u16string{};
}

bool set_dlg_item_int(Hwnd dialog, int id, int value) {
  std::string s = std::to_string(value);
  return set_dlg_item_text(dialog, id, std::u16string(s.begin(), s.end()));
}

std::optional<int> get_dlg_item_int(Hwnd dialog, int id) {
  std::u16string t = get_dlg_item_text(dialog, id);
  size_t i = 0;
  while (i < t.size() && t[i] == u' ') ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) neg = t[i++] == u'-';
  if (i >= t.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] == u' ') break;
    if (t[i] < u'0' || t[i] > u'9') return std::nullopt;
    v = v * 10 + (t[i] - u'0');
    if (v > 2147483648LL) return std::nullopt;
  }
  for (; i < t.size(); ++i)
    if (t[i] != u' ') return std::nullopt;
  if (neg) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return static_cast<int>(v);
}

bool check_dlg_button(Hwnd dialog, int id, int state) {
  Hwnd h = get_dlg_item(dialog, id);
  if (!h) return false;
  send_message(h, bm::set_check, static_cast<WPARAM>(state));
  return true;
}

int is_dlg_button_checked(Hwnd dialog, int id) {
  return static_cast<int>(send_dlg_item_message(dialog, id, bm::get_check));
}

bool check_radio_button(Hwnd dialog, int first_id, int last_id, int check_id) {
  // Walks the dialog's controls rather than every id of the range, so that a
  // range reaching INT_MAX neither wraps around nor takes ages.
  std::vector<int> ids;
  for (Hwnd child : child_windows(dialog)) {
    int id = get_dlg_ctrl_id(child);
    if (id == 0xFFFF) id = -1;
    if (id >= first_id && id <= last_id) ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  for (int id : ids) check_dlg_button(dialog, id, id == check_id ? bst::checked : bst::unchecked);
  return true;
}

// --- Data exchange -------------------------------------------------------------------------------
void DataExchange::fail(int control_id, std::u16string_view message) {
  failed_ = true;
  message_box(dialog_, message, u"", mb::ok | mb::icon_exclamation);
  Hwnd h = get_dlg_item(dialog_, control_id);
  if (h) {
    set_focus(h);
    send_message(h, em::set_sel, 0, -1);
  }
}

void ddx_text(DataExchange& dx, int id, std::u16string& value) {
  if (dx.failed()) return;
  if (dx.saving()) {
    value = get_dlg_item_text(dx.dialog(), id);
  } else {
    set_dlg_item_text(dx.dialog(), id, value);
  }
}

void ddx_text(DataExchange& dx, int id, int& value) {
  if (dx.failed()) return;
  if (!dx.saving()) {
    set_dlg_item_int(dx.dialog(), id, value);
    return;
  }
  auto v = get_dlg_item_int(dx.dialog(), id);
  if (!v) {
    dx.fail(id, u"Введите целое число.");
    return;
  }
  value = *v;
}

void ddx_text(DataExchange& dx, int id, double& value) {
  if (dx.failed()) return;
  if (!dx.saving()) {
    std::string s = std::to_string(value);
    while (s.size() > 1 && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    set_dlg_item_text(dx.dialog(), id, std::u16string(s.begin(), s.end()));
    return;
  }
  std::u16string t = get_dlg_item_text(dx.dialog(), id);
  std::string s;
  for (char16_t ch : t) {
    if (ch > 0x7F) {
      s.clear();
      break;
    }
    s.push_back(ch == u',' ? '.' : static_cast<char>(ch));
  }
  char* end = nullptr;
  double v = s.empty() ? 0 : std::strtod(s.c_str(), &end);
  if (s.empty() || end == nullptr || *end != '\0') {
    dx.fail(id, u"Введите число.");
    return;
  }
  value = v;
}

void ddx_check(DataExchange& dx, int id, int& value) {
  if (dx.failed()) return;
  if (dx.saving()) {
    value = is_dlg_button_checked(dx.dialog(), id);
  } else {
    check_dlg_button(dx.dialog(), id, value);
  }
}

void ddx_radio(DataExchange& dx, int first_id, int& value) {
  if (dx.failed()) return;
  Hwnd h = get_dlg_item(dx.dialog(), first_id);
  if (!h) return;
  int index = 0;
  if (dx.saving()) value = -1;
  for (Hwnd b = h; b; b = get_window(b, gw::next), ++index) {
    if (index > 0 && (get_style(b) & ws::group)) break;
    if (!equal_ignore_case(get_class_name(b), class_name::button)) continue;
    if (dx.saving()) {
      if (send_message(b, bm::get_check) == bst::checked) value = index;
    } else {
      send_message(b, bm::set_check, index == value ? bst::checked : bst::unchecked);
    }
  }
}

void ddx_cb_index(DataExchange& dx, int id, int& index) {
  if (dx.failed()) return;
  if (dx.saving()) {
    index = static_cast<int>(send_dlg_item_message(dx.dialog(), id, cb::get_cur_sel));
  } else {
    send_dlg_item_message(dx.dialog(), id, cb::set_cur_sel, static_cast<WPARAM>(index));
  }
}

void ddx_cb_string(DataExchange& dx, int id, std::u16string& value) {
  if (dx.failed()) return;
  ComboBoxControl cbx{get_dlg_item(dx.dialog(), id)};
  if (dx.saving()) {
    value = get_window_text(cbx.hwnd);
    return;
  }
  int i = cbx.find_exact(value);
  if (i >= 0) {
    cbx.set_cur_sel(i);
  } else {
    set_window_text(cbx.hwnd, value);
  }
}

void ddx_lb_index(DataExchange& dx, int id, int& index) {
  if (dx.failed()) return;
  if (dx.saving()) {
    index = static_cast<int>(send_dlg_item_message(dx.dialog(), id, lb::get_cur_sel));
  } else {
    send_dlg_item_message(dx.dialog(), id, lb::set_cur_sel, static_cast<WPARAM>(index));
  }
}

void ddx_date(DataExchange& dx, int id, SYSTEMTIME& value) {
  if (dx.failed()) return;
  DatePickerControl dp{get_dlg_item(dx.dialog(), id)};
  if (dx.saving()) {
    if (auto d = dp.date()) value = *d;
  } else {
    dp.set_date(value);
  }
}

void ddv_max_chars(DataExchange& dx, int id, const std::u16string& value, int max) {
  if (dx.failed()) return;
  if (!dx.saving()) {
    send_dlg_item_message(dx.dialog(), id, em::limit_text, static_cast<WPARAM>(max));
    return;
  }
  if (static_cast<int>(value.size()) > max) {
    std::string m = concat("Не более ", std::to_string(max), " знаков.");
    dx.fail(id, from_utf8(m));
  }
}

void ddv_min_max(DataExchange& dx, int id, int value, int min, int max) {
  if (dx.failed() || !dx.saving()) return;
  if (value < min || value > max) {
    std::string m = concat("Введите целое число от ", std::to_string(min), " до ", std::to_string(max), ".");
    dx.fail(id, from_utf8(m));
  }
}

}  // namespace kelda::ui
