// The typed wrappers of the standard controls: each sends the control's message.
#include <algorithm>
#include <vector>

#include "controls_internal.h"

namespace kelda::ui {

namespace {
LPARAM text_arg(const std::u16string& s) { return reinterpret_cast<LPARAM>(s.c_str()); }
std::u16string text_of(Hwnd h, UINT len_msg, UINT get_msg, int index) {
  LRESULT n = send_message(h, len_msg, static_cast<WPARAM>(index));
  if (n < 0) return {};
  std::u16string buf(static_cast<size_t>(n) + 1, u'\0');
  LRESULT got = send_message(h, get_msg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(got < 0 ? 0 : std::min<size_t>(static_cast<size_t>(got), static_cast<size_t>(n)));
  return buf;
}
}  // namespace

// --- Buttons and statics ----------------------------------------------------------------------
int ButtonControl::check() const { return static_cast<int>(send_message(hwnd, bm::get_check)); }
void ButtonControl::set_check(int state) const { send_message(hwnd, bm::set_check, static_cast<WPARAM>(state)); }
void ButtonControl::click() const { send_message(hwnd, bm::click); }
void ButtonControl::set_image(const Bitmap* bmp) const {
  send_message(hwnd, bm::set_image, image_type::bitmap, reinterpret_cast<LPARAM>(bmp));
}
void StaticControl::set_image(const Bitmap* bmp) const {
  send_message(hwnd, stm::set_image, image_type::bitmap, reinterpret_cast<LPARAM>(bmp));
}

// --- Edit ---------------------------------------------------------------------------------------------
void EditControl::set_sel(int start, int end) const {
  send_message(hwnd, em::set_sel, static_cast<WPARAM>(start), end);
}
std::pair<int, int> EditControl::sel() const {
  auto v = static_cast<uintptr_t>(send_message(hwnd, em::get_sel));
  return {lo_word(v), hi_word(v)};
}
void EditControl::replace_sel(std::u16string_view text) const {
  std::u16string s(text);
  send_message(hwnd, em::replace_sel, 0, text_arg(s));
}
void EditControl::scroll_caret() const { send_message(hwnd, em::scroll_caret); }
void EditControl::limit_text(int max) const { send_message(hwnd, em::limit_text, static_cast<WPARAM>(max)); }
int EditControl::line_count() const { return static_cast<int>(send_message(hwnd, em::get_line_count)); }
int EditControl::first_visible_line() const {
  return static_cast<int>(send_message(hwnd, em::get_first_visible_line));
}

// --- List box -------------------------------------------------------------------------------------------
int ListBoxControl::add(std::u16string_view text) const {
  std::u16string s(text);
  return static_cast<int>(send_message(hwnd, lb::add_string, 0, text_arg(s)));
}
int ListBoxControl::insert(int index, std::u16string_view text) const {
  std::u16string s(text);
  return static_cast<int>(send_message(hwnd, lb::insert_string, static_cast<WPARAM>(index), text_arg(s)));
}
int ListBoxControl::remove(int index) const {
  return static_cast<int>(send_message(hwnd, lb::delete_string, static_cast<WPARAM>(index)));
}
void ListBoxControl::reset() const { send_message(hwnd, lb::reset_content); }
int ListBoxControl::count() const { return static_cast<int>(send_message(hwnd, lb::get_count)); }
int ListBoxControl::cur_sel() const { return static_cast<int>(send_message(hwnd, lb::get_cur_sel)); }
int ListBoxControl::set_cur_sel(int index) const {
  return static_cast<int>(send_message(hwnd, lb::set_cur_sel, static_cast<WPARAM>(index)));
}
bool ListBoxControl::set_sel(int index, bool select) const {
  return send_message(hwnd, lb::set_sel, select ? 1 : 0, index) != lb::err;
}
bool ListBoxControl::is_selected(int index) const {
  return send_message(hwnd, lb::get_sel, static_cast<WPARAM>(index)) > 0;
}
std::vector<int> ListBoxControl::selected_items() const {
  LRESULT n = send_message(hwnd, lb::get_sel_count);
  if (n <= 0) return {};
  std::vector<int32_t> ids(static_cast<size_t>(n));
  LRESULT got = send_message(hwnd, lb::get_sel_items, ids.size(), reinterpret_cast<LPARAM>(ids.data()));
  ids.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return std::vector<int>(ids.begin(), ids.end());
}
std::u16string ListBoxControl::text(int index) const { return text_of(hwnd, lb::get_text_len, lb::get_text, index); }
LPARAM ListBoxControl::item_data(int index) const {
  return send_message(hwnd, lb::get_item_data, static_cast<WPARAM>(index));
}
int ListBoxControl::set_item_data(int index, LPARAM data) const {
  return static_cast<int>(send_message(hwnd, lb::set_item_data, static_cast<WPARAM>(index), data));
}
int ListBoxControl::find_exact(std::u16string_view text, int start) const {
  std::u16string s(text);
  return static_cast<int>(send_message(hwnd, lb::find_string_exact, static_cast<WPARAM>(start), text_arg(s)));
}
void ListBoxControl::set_horizontal_extent(int width) const {
  send_message(hwnd, lb::set_horizontal_extent, static_cast<WPARAM>(width));
}
int ListBoxControl::horizontal_extent() const {
  return static_cast<int>(send_message(hwnd, lb::get_horizontal_extent));
}

// --- Combo box ------------------------------------------------------------------------------------------
int ComboBoxControl::add(std::u16string_view text) const {
  std::u16string s(text);
  return static_cast<int>(send_message(hwnd, cb::add_string, 0, text_arg(s)));
}
int ComboBoxControl::insert(int index, std::u16string_view text) const {
  std::u16string s(text);
  return static_cast<int>(send_message(hwnd, cb::insert_string, static_cast<WPARAM>(index), text_arg(s)));
}
int ComboBoxControl::remove(int index) const {
  return static_cast<int>(send_message(hwnd, cb::delete_string, static_cast<WPARAM>(index)));
}
void ComboBoxControl::reset() const { send_message(hwnd, cb::reset_content); }
int ComboBoxControl::count() const { return static_cast<int>(send_message(hwnd, cb::get_count)); }
int ComboBoxControl::cur_sel() const { return static_cast<int>(send_message(hwnd, cb::get_cur_sel)); }
int ComboBoxControl::set_cur_sel(int index) const {
  return static_cast<int>(send_message(hwnd, cb::set_cur_sel, static_cast<WPARAM>(index)));
}
std::u16string ComboBoxControl::text(int index) const {
  return text_of(hwnd, cb::get_lb_text_len, cb::get_lb_text, index);
}
LPARAM ComboBoxControl::item_data(int index) const {
  return send_message(hwnd, cb::get_item_data, static_cast<WPARAM>(index));
}
int ComboBoxControl::set_item_data(int index, LPARAM data) const {
  return static_cast<int>(send_message(hwnd, cb::set_item_data, static_cast<WPARAM>(index), data));
}
int ComboBoxControl::find_exact(std::u16string_view text, int start) const {
  std::u16string s(text);
  return static_cast<int>(send_message(hwnd, cb::find_string_exact, static_cast<WPARAM>(start), text_arg(s)));
}
void ComboBoxControl::show_dropdown(bool show) const { send_message(hwnd, cb::show_dropdown, show ? 1 : 0); }
bool ComboBoxControl::dropped() const { return send_message(hwnd, cb::get_dropped_state) != 0; }

// --- List view -----------------------------------------------------------------------------------------
int ListViewControl::insert_column(int index, std::u16string_view title, int width, int fmt) const {
  std::u16string t(title);
  ListViewColumn c;
  c.mask = lvcf::fmt | lvcf::width | lvcf::text;
  c.fmt = fmt;
  c.width = width;
  c.text = t.data();
  return static_cast<int>(send_message(hwnd, lvm::insert_column, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)));
}
bool ListViewControl::delete_column(int index) const {
  return send_message(hwnd, lvm::delete_column, static_cast<WPARAM>(index)) != 0;
}
int ListViewControl::column_count() const { return static_cast<int>(send_message(hwnd, lvm::get_column_count)); }
int ListViewControl::column_width(int index) const {
  return static_cast<int>(send_message(hwnd, lvm::get_column_width, static_cast<WPARAM>(index)));
}
std::u16string ListViewControl::column_title(int index) const {
  // Titles are short; a title that fills the buffer is asked again with more room.
  for (size_t room = 256;; room *= 4) {
    std::u16string buf(room, u'\0');
    ListViewColumn c;
    c.mask = lvcf::text;
    c.text = buf.data();
    c.text_max = static_cast<int32_t>(room);
    if (send_message(hwnd, lvm::get_column, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)) == 0) return {};
    buf.resize(std::char_traits<char16_t>::length(buf.c_str()));
    if (buf.size() + 1 < room || room >= (size_t{1} << 20)) return buf;
  }
}
bool ListViewControl::set_column_width(int index, int width) const {
  return send_message(hwnd, lvm::set_column_width, static_cast<WPARAM>(index), width) != 0;
}
bool ListViewControl::set_column_format(int index, int fmt) const {
  ListViewColumn c;
  c.mask = lvcf::fmt;
  c.fmt = fmt;
  return send_message(hwnd, lvm::set_column, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)) != 0;
}
void ListViewControl::set_extended_style(DWORD mask, DWORD styles) const {
  send_message(hwnd, lvm::set_extended_style, mask, static_cast<LPARAM>(styles));
}
int ListViewControl::insert_item(int index, std::u16string_view text, LPARAM data) const {
  std::u16string t(text.empty() ? std::u16string_view(u"") : text);  // room for the terminator
  ListViewItem it;
  it.mask = lvif::text | lvif::param;
  it.item = index;
  it.text = t.data();
  it.param = data;
  return static_cast<int>(send_message(hwnd, lvm::insert_item, 0, reinterpret_cast<LPARAM>(&it)));
}
bool ListViewControl::set_item_text(int item, int sub_item, std::u16string_view text) const {
  // The text goes by length, so the view's characters are copied once.
  ListViewItem it;
  it.sub_item = sub_item;
  it.text = const_cast<char16_t*>(text.empty() ? u"" : text.data());
  it.text_max = static_cast<int32_t>(text.size());
  return send_message(hwnd, lvm::set_item_text, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != 0;
}
std::u16string ListViewControl::item_text(int item, int sub_item) const {
  // The view has no length query: a text that fills the buffer may have been
  // cut, so the buffer grows until the text fits with room to spare.
  for (size_t room = 1024;; room *= 4) {
    std::u16string buf(room, u'\0');
    ListViewItem it;
    it.sub_item = sub_item;
    it.text = buf.data();
    it.text_max = static_cast<int32_t>(buf.size());
    LRESULT n = send_message(hwnd, lvm::get_item_text, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    if (n < 0) n = 0;
    if (static_cast<size_t>(n) + 1 < room || room >= (size_t{1} << 24)) {
      buf.resize(std::min(static_cast<size_t>(n), room));
      return buf;
    }
  }
}
bool ListViewControl::set_item_data(int item, LPARAM data) const {
  ListViewItem it;
  it.mask = lvif::param;
  it.item = item;
  it.param = data;
  return send_message(hwnd, lvm::set_item, 0, reinterpret_cast<LPARAM>(&it)) != 0;
}
LPARAM ListViewControl::item_data(int item) const {
  ListViewItem it;
  it.mask = lvif::param;
  it.item = item;
  if (!send_message(hwnd, lvm::get_item, 0, reinterpret_cast<LPARAM>(&it))) return 0;
  return it.param;
}
bool ListViewControl::delete_item(int item) const {
  return send_message(hwnd, lvm::delete_item, static_cast<WPARAM>(item)) != 0;
}
bool ListViewControl::delete_all_items() const { return send_message(hwnd, lvm::delete_all_items) != 0; }
int ListViewControl::item_count() const { return static_cast<int>(send_message(hwnd, lvm::get_item_count)); }
int ListViewControl::next_item(int start, LPARAM flags) const {
  return static_cast<int>(send_message(hwnd, lvm::get_next_item, static_cast<WPARAM>(start), flags));
}
bool ListViewControl::set_item_state(int item, UINT state, UINT mask) const {
  ListViewItem it;
  it.state = state;
  it.state_mask = mask;
  return send_message(hwnd, lvm::set_item_state, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != 0;
}
UINT ListViewControl::item_state(int item, UINT mask) const {
  return static_cast<UINT>(send_message(hwnd, lvm::get_item_state, static_cast<WPARAM>(item), mask));
}
bool ListViewControl::ensure_visible(int item) const {
  return send_message(hwnd, lvm::ensure_visible, static_cast<WPARAM>(item)) != 0;
}
int ListViewControl::hit_test(POINT client, int* sub_item) const {
  ListViewHitTest ht;
  ht.pt = client;
  int r = static_cast<int>(send_message(hwnd, lvm::hit_test, 0, reinterpret_cast<LPARAM>(&ht)));
  if (sub_item) *sub_item = ht.sub_item;
  return r;
}
int ListViewControl::top_index() const { return static_cast<int>(send_message(hwnd, lvm::get_top_index)); }
int ListViewControl::count_per_page() const {
  return static_cast<int>(send_message(hwnd, lvm::get_count_per_page));
}
int ListViewControl::selection_mark() const {
  return static_cast<int>(send_message(hwnd, lvm::get_selection_mark));
}
RECT ListViewControl::item_rect(int item) const {
  RECT r{};
  send_message(hwnd, lvm::get_item_rect, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
  return r;
}

// --- Up-down, date picker, tab control -------------------------------------------------------------------
void UpDownControl::set_range(int min, int max) const {
  send_message(hwnd, udm::set_range32, static_cast<WPARAM>(min), max);
}
void UpDownControl::set_pos(int pos) const { send_message(hwnd, udm::set_pos32, 0, pos); }
int UpDownControl::pos() const { return static_cast<int>(send_message(hwnd, udm::get_pos32)); }
void UpDownControl::set_buddy(Hwnd buddy) const { send_message(hwnd, udm::set_buddy, buddy.to_wparam()); }
Hwnd UpDownControl::buddy() const { return Hwnd::from(send_message(hwnd, udm::get_buddy)); }

bool DatePickerControl::set_date(const SYSTEMTIME& st) const {
  SYSTEMTIME copy = st;
  return send_message(hwnd, dtm::set_system_time, gdt::valid, reinterpret_cast<LPARAM>(&copy)) != 0;
}
std::optional<SYSTEMTIME> DatePickerControl::date() const {
  SYSTEMTIME st{};
  if (send_message(hwnd, dtm::get_system_time, 0, reinterpret_cast<LPARAM>(&st)) != gdt::valid) return std::nullopt;
  return st;
}

int TabControlWrapper::insert_item(int index, std::u16string_view text, LPARAM param) const {
  std::u16string t(text);
  TabItem it;
  it.text = t.c_str();
  it.param = param;
  return static_cast<int>(send_message(hwnd, tcm::insert_item, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&it)));
}
int TabControlWrapper::count() const { return static_cast<int>(send_message(hwnd, tcm::get_item_count)); }
int TabControlWrapper::cur_sel() const { return static_cast<int>(send_message(hwnd, tcm::get_cur_sel)); }
int TabControlWrapper::set_cur_sel(int index) const {
  return static_cast<int>(send_message(hwnd, tcm::set_cur_sel, static_cast<WPARAM>(index)));
}
RECT TabControlWrapper::display_rect() const {
  RECT r = get_client_rect(hwnd);
  send_message(hwnd, tcm::adjust_rect, 0, reinterpret_cast<LPARAM>(&r));
  return r;
}

}  // namespace kelda::ui
