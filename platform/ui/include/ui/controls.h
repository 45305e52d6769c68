// The standard controls: class names, styles, messages, notifications and
// their records, and thin typed wrappers that send the messages.
//
// Classes (names compare without regard to case): "Button" (push, default,
// check, radio, group box, bitmap buttons), "Static" (text, frames, pictures),
// "Edit", "ListBox", "ComboBox", "ScrollBar", "ListView" (report mode),
// "UpDown", "DatePicker" (day.month.year fields with arrows, no calendar) and
// "TabControl"; "IPAddress" has a header of its own (ip_address.h). Controls
// tell their parent through wm::command (notification code in the high word
// of wParam, control id in the low word, control handle in lParam) or
// wm::notify (a NotifyHeader record), and ask it for colours
// with the wm::ctl_color_* messages (wParam: the Canvas*, lParam: the control;
// the answer is a Brush* or 0 for the default).
//
// Threading and errors as in window.h: user-interface thread; a wrapper on a
// dead handle answers the message's error value (-1 or 0).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/export.h"
#include "ui/gdi.h"
#include "ui/types.h"
#include "ui/window.h"

namespace kelda::ui {

namespace class_name {
inline constexpr std::u16string_view button = u"Button";
inline constexpr std::u16string_view static_ = u"Static";
inline constexpr std::u16string_view edit = u"Edit";
inline constexpr std::u16string_view list_box = u"ListBox";
inline constexpr std::u16string_view combo_box = u"ComboBox";
inline constexpr std::u16string_view scroll_bar = u"ScrollBar";
inline constexpr std::u16string_view list_view = u"ListView";
inline constexpr std::u16string_view up_down = u"UpDown";
inline constexpr std::u16string_view date_picker = u"DatePicker";
inline constexpr std::u16string_view tab_control = u"TabControl";
}  // namespace class_name

// ==== Buttons =========================================================================
namespace bs {
inline constexpr DWORD push_button = 0x0;
inline constexpr DWORD def_push_button = 0x1;
inline constexpr DWORD check_box = 0x2;
inline constexpr DWORD auto_check_box = 0x3;
inline constexpr DWORD radio_button = 0x4;
inline constexpr DWORD auto_3state = 0x6;
inline constexpr DWORD group_box = 0x7;
inline constexpr DWORD auto_radio_button = 0x9;
inline constexpr DWORD type_mask = 0xF;
inline constexpr DWORD left_text = 0x20;
inline constexpr DWORD icon = 0x40;
inline constexpr DWORD bitmap = 0x80;
inline constexpr DWORD push_like = 0x1000;
inline constexpr DWORD multiline = 0x2000;  // the text wraps at spaces onto more lines
inline constexpr DWORD notify = 0x4000;
}  // namespace bs
namespace bm {
inline constexpr UINT get_check = 0x00F0;
inline constexpr UINT set_check = 0x00F1;
inline constexpr UINT get_state = 0x00F2;
inline constexpr UINT set_state = 0x00F3;
inline constexpr UINT set_style = 0x00F4;
inline constexpr UINT click = 0x00F5;
inline constexpr UINT get_image = 0x00F6;
inline constexpr UINT set_image = 0x00F7;  // wParam image type, lParam Bitmap*
}  // namespace bm
namespace bst {
inline constexpr int unchecked = 0;
inline constexpr int checked = 1;
inline constexpr int indeterminate = 2;
inline constexpr int pushed = 4;
inline constexpr int focus = 8;
}  // namespace bst
namespace bn {
inline constexpr UINT clicked = 0;
inline constexpr UINT dbl_clk = 5;
inline constexpr UINT set_focus = 6;
inline constexpr UINT kill_focus = 7;
}  // namespace bn

// ==== Statics =========================================================================
namespace ss {
inline constexpr DWORD left = 0x00;
inline constexpr DWORD center = 0x01;
inline constexpr DWORD right = 0x02;
inline constexpr DWORD icon = 0x03;
inline constexpr DWORD black_rect = 0x04;
inline constexpr DWORD gray_rect = 0x05;
inline constexpr DWORD white_rect = 0x06;
inline constexpr DWORD black_frame = 0x07;
inline constexpr DWORD left_no_word_wrap = 0x0C;
inline constexpr DWORD bitmap = 0x0E;
inline constexpr DWORD etched_horz = 0x10;
inline constexpr DWORD etched_frame = 0x12;
inline constexpr DWORD type_mask = 0x1F;
inline constexpr DWORD no_prefix = 0x80;
inline constexpr DWORD notify = 0x100;
inline constexpr DWORD center_image = 0x200;
inline constexpr DWORD sunken = 0x1000;
}  // namespace ss
namespace stm {
inline constexpr UINT set_icon = 0x0170;
inline constexpr UINT get_icon = 0x0171;
inline constexpr UINT set_image = 0x0172;  // 370: wParam image type, lParam Bitmap*
inline constexpr UINT get_image = 0x0173;
}  // namespace stm
namespace image_type {
inline constexpr WPARAM bitmap = 0;
inline constexpr WPARAM icon = 1;
}  // namespace image_type
namespace stn {
inline constexpr UINT clicked = 0;
}

// ==== Edits ===========================================================================
namespace es {
inline constexpr DWORD left = 0x0000;
inline constexpr DWORD center = 0x0001;
inline constexpr DWORD right = 0x0002;
inline constexpr DWORD multiline = 0x0004;
inline constexpr DWORD uppercase = 0x0008;
inline constexpr DWORD lowercase = 0x0010;
inline constexpr DWORD password = 0x0020;
inline constexpr DWORD auto_vscroll = 0x0040;
inline constexpr DWORD auto_hscroll = 0x0080;
inline constexpr DWORD no_hide_sel = 0x0100;
inline constexpr DWORD read_only = 0x0800;
inline constexpr DWORD want_return = 0x1000;
inline constexpr DWORD number = 0x2000;
}  // namespace es
namespace em {
inline constexpr UINT get_sel = 0x00B0;  // answer: start | end << 16
inline constexpr UINT set_sel = 0x00B1;  // wParam start, lParam end (-1: to the end)
inline constexpr UINT scroll = 0x00B5;
inline constexpr UINT line_scroll = 0x00B6;
inline constexpr UINT scroll_caret = 0x00B7;
inline constexpr UINT get_modify = 0x00B8;
inline constexpr UINT set_modify = 0x00B9;
inline constexpr UINT get_line_count = 0x00BA;
inline constexpr UINT line_index = 0x00BB;
inline constexpr UINT line_length = 0x00C1;
inline constexpr UINT replace_sel = 0x00C2;  // lParam const char16_t*
inline constexpr UINT limit_text = 0x00C5;
inline constexpr UINT line_from_char = 0x00C9;
inline constexpr UINT get_first_visible_line = 0x00CE;
inline constexpr UINT set_password_char = 0x00CC;
inline constexpr UINT set_read_only = 0x00CF;
inline constexpr UINT get_password_char = 0x00D2;
inline constexpr UINT get_limit_text = 0x00D5;
}  // namespace em
namespace en {
inline constexpr UINT set_focus = 0x0100;
inline constexpr UINT kill_focus = 0x0200;
inline constexpr UINT change = 0x0300;
inline constexpr UINT update = 0x0400;
inline constexpr UINT max_text = 0x0501;
inline constexpr UINT vscroll = 0x0602;
}  // namespace en

// ==== List boxes ======================================================================
namespace lbs {
inline constexpr DWORD notify = 0x0001;
inline constexpr DWORD sort = 0x0002;
inline constexpr DWORD multiple_sel = 0x0008;
inline constexpr DWORD has_strings = 0x0040;
inline constexpr DWORD no_integral_height = 0x0100;
inline constexpr DWORD extended_sel = 0x0800;
}  // namespace lbs
namespace lb {
inline constexpr LRESULT err = -1;
inline constexpr UINT add_string = 0x0180;
inline constexpr UINT insert_string = 0x0181;
inline constexpr UINT delete_string = 0x0182;
inline constexpr UINT reset_content = 0x0184;
inline constexpr UINT set_sel = 0x0185;  // wParam select, lParam index (-1: all)
inline constexpr UINT set_cur_sel = 0x0186;
inline constexpr UINT get_sel = 0x0187;
inline constexpr UINT get_cur_sel = 0x0188;
inline constexpr UINT get_text = 0x0189;  // lParam char16_t* with room for get_text_len + 1
inline constexpr UINT get_text_len = 0x018A;
inline constexpr UINT get_count = 0x018B;
inline constexpr UINT get_top_index = 0x018E;
inline constexpr UINT find_string = 0x018F;
inline constexpr UINT get_sel_count = 0x0190;
inline constexpr UINT get_sel_items = 0x0191;  // wParam room, lParam int32_t*
inline constexpr UINT get_horizontal_extent = 0x0193;
inline constexpr UINT set_horizontal_extent = 0x0194;
inline constexpr UINT set_top_index = 0x0197;
inline constexpr UINT get_item_rect = 0x0198;
inline constexpr UINT get_item_data = 0x0199;
inline constexpr UINT set_item_data = 0x019A;
inline constexpr UINT find_string_exact = 0x01A2;
}  // namespace lb
namespace lbn {
inline constexpr UINT sel_change = 1;
inline constexpr UINT dbl_clk = 2;
inline constexpr UINT set_focus = 4;
inline constexpr UINT kill_focus = 5;
}  // namespace lbn

// ==== Combo boxes =====================================================================
namespace cbs {
inline constexpr DWORD simple = 0x0001;
inline constexpr DWORD drop_down = 0x0002;
inline constexpr DWORD drop_down_list = 0x0003;
inline constexpr DWORD type_mask = 0x0003;
inline constexpr DWORD auto_hscroll = 0x0040;
inline constexpr DWORD sort = 0x0100;
inline constexpr DWORD has_strings = 0x0200;
inline constexpr DWORD disable_no_scroll = 0x0800;
}  // namespace cbs
namespace cb {
inline constexpr LRESULT err = -1;
inline constexpr UINT limit_text = 0x0141;
inline constexpr UINT set_edit_sel = 0x0142;
inline constexpr UINT add_string = 0x0143;
inline constexpr UINT delete_string = 0x0144;
inline constexpr UINT get_count = 0x0146;
inline constexpr UINT get_cur_sel = 0x0147;
inline constexpr UINT get_lb_text = 0x0148;
inline constexpr UINT get_lb_text_len = 0x0149;
inline constexpr UINT insert_string = 0x014A;
inline constexpr UINT reset_content = 0x014B;
inline constexpr UINT find_string = 0x014C;
inline constexpr UINT select_string = 0x014D;
inline constexpr UINT set_cur_sel = 0x014E;
inline constexpr UINT show_dropdown = 0x014F;
inline constexpr UINT get_item_data = 0x0150;
inline constexpr UINT set_item_data = 0x0151;
inline constexpr UINT get_dropped_state = 0x0157;
inline constexpr UINT find_string_exact = 0x0158;
inline constexpr UINT get_combobox_info = 0x0164;  // answers the drop-down list's handle
}  // namespace cb
namespace cbn {
inline constexpr UINT sel_change = 1;
inline constexpr UINT dbl_clk = 2;
inline constexpr UINT set_focus = 3;
inline constexpr UINT kill_focus = 4;
inline constexpr UINT edit_change = 5;
inline constexpr UINT edit_update = 6;
inline constexpr UINT drop_down = 7;
inline constexpr UINT close_up = 8;
inline constexpr UINT sel_end_ok = 9;
inline constexpr UINT sel_end_cancel = 10;
}  // namespace cbn

// ==== Scroll bar controls (functions in window.h with sb::ctl) ========================
namespace sbs {
inline constexpr DWORD horz = 0x0000;
inline constexpr DWORD vert = 0x0001;
inline constexpr DWORD top_align = 0x0002;
inline constexpr DWORD left_align = 0x0002;
inline constexpr DWORD bottom_align = 0x0004;
inline constexpr DWORD right_align = 0x0004;
}  // namespace sbs
namespace sbm {
inline constexpr UINT set_pos = 0x00E0;
inline constexpr UINT get_pos = 0x00E1;
inline constexpr UINT set_range = 0x00E2;
inline constexpr UINT get_range = 0x00E3;
inline constexpr UINT set_scroll_info = 0x00E9;  // lParam ScrollInfo*
inline constexpr UINT get_scroll_info = 0x00EA;
}  // namespace sbm

// ==== Common notifications ============================================================
namespace nm {
inline constexpr UINT click = static_cast<UINT>(-2);
inline constexpr UINT dbl_clk = static_cast<UINT>(-3);
inline constexpr UINT return_key = static_cast<UINT>(-4);
inline constexpr UINT set_focus = static_cast<UINT>(-7);
inline constexpr UINT kill_focus = static_cast<UINT>(-8);
inline constexpr UINT custom_draw = static_cast<UINT>(-12);
}  // namespace nm

// Custom drawing (nm::custom_draw).
namespace cdds {
inline constexpr DWORD prepaint = 0x00000001;
inline constexpr DWORD postpaint = 0x00000002;
inline constexpr DWORD item = 0x00010000;
inline constexpr DWORD item_prepaint = 0x00010001;
inline constexpr DWORD item_postpaint = 0x00010002;
inline constexpr DWORD subitem = 0x00020000;
}  // namespace cdds
namespace cdrf {
inline constexpr LRESULT do_default = 0x00;
inline constexpr LRESULT new_font = 0x02;
inline constexpr LRESULT skip_default = 0x04;
inline constexpr LRESULT notify_post_paint = 0x10;
inline constexpr LRESULT notify_item_draw = 0x20;
inline constexpr LRESULT notify_subitem_draw = 0x20;
}  // namespace cdrf
namespace cdis {
inline constexpr UINT selected = 0x0001;
inline constexpr UINT focus = 0x0010;
}  // namespace cdis
struct CustomDraw {
  NotifyHeader hdr;
  DWORD draw_stage = 0;
  Canvas* canvas = nullptr;  // a handler may select a font into it (answer cdrf::new_font)
  RECT rc{};
  uintptr_t item_index = 0;
  UINT item_state = 0;
  LPARAM item_lparam = 0;
};
// The list view's record: colours a handler may change at item pre-paint
// (kDefaultColor keeps the control's own).
inline constexpr COLORREF kDefaultColor = 0xFF000000u;
struct ListViewCustomDraw {
  CustomDraw nmcd;
  COLORREF text_color = kDefaultColor;
  COLORREF text_bk_color = kDefaultColor;
  int32_t sub_item = 0;
};

// ==== List views ======================================================================
namespace lvs {
inline constexpr DWORD icon = 0x0000;
inline constexpr DWORD report = 0x0001;
inline constexpr DWORD single_sel = 0x0004;
inline constexpr DWORD show_sel_always = 0x0008;
inline constexpr DWORD no_column_header = 0x4000;
inline constexpr DWORD no_sort_header = 0x8000;
}  // namespace lvs
namespace lvs_ex {
inline constexpr DWORD grid_lines = 0x00000001;
inline constexpr DWORD full_row_select = 0x00000020;
}  // namespace lvs_ex
namespace lvm {
inline constexpr UINT first = 0x1000;
inline constexpr UINT get_item_count = first + 4;
inline constexpr UINT delete_item = first + 8;
inline constexpr UINT delete_all_items = first + 9;
inline constexpr UINT get_next_item = first + 12;  // wParam start (-1), lParam lvni::
inline constexpr UINT get_item_rect = first + 14;
inline constexpr UINT hit_test = first + 18;     // lParam ListViewHitTest*
inline constexpr UINT ensure_visible = first + 19;
inline constexpr UINT redraw_items = first + 21;
inline constexpr UINT get_column_width = first + 29;
inline constexpr UINT set_column_width = first + 30;
inline constexpr UINT get_top_index = first + 39;
inline constexpr UINT get_count_per_page = first + 40;
inline constexpr UINT set_item_state = first + 43;  // wParam item (-1: all), lParam ListViewItem*
inline constexpr UINT get_item_state = first + 44;  // wParam item, lParam mask
inline constexpr UINT set_item_count = first + 47;
inline constexpr UINT set_extended_style = first + 54;  // wParam mask, lParam styles
inline constexpr UINT get_extended_style = first + 55;
inline constexpr UINT get_selection_mark = first + 66;
inline constexpr UINT set_selection_mark = first + 67;
inline constexpr UINT get_item = first + 75;      // lParam ListViewItem*
inline constexpr UINT set_item = first + 76;      // lParam ListViewItem*
inline constexpr UINT insert_item = first + 77;   // lParam ListViewItem*; answers the index
inline constexpr UINT get_column = first + 95;
inline constexpr UINT set_column = first + 96;
inline constexpr UINT insert_column = first + 97;  // wParam index, lParam ListViewColumn*
inline constexpr UINT delete_column = first + 28;
inline constexpr UINT get_column_count = first + 200;  // ours: the header's item count
inline constexpr UINT get_item_text = first + 115;
inline constexpr UINT set_item_text = first + 116;
}  // namespace lvm
namespace lvni {
inline constexpr LPARAM all = 0;
inline constexpr LPARAM focused = 1;
inline constexpr LPARAM selected = 2;
}  // namespace lvni
namespace lvis {
inline constexpr UINT focused = 1;
inline constexpr UINT selected = 2;
}  // namespace lvis
namespace lvif {
inline constexpr UINT text = 0x01;
inline constexpr UINT param = 0x04;
inline constexpr UINT state = 0x08;
}  // namespace lvif
namespace lvcf {
inline constexpr UINT fmt = 0x1;
inline constexpr UINT width = 0x2;
inline constexpr UINT text = 0x4;
}  // namespace lvcf
namespace lvcfmt {
inline constexpr int left = 0;
inline constexpr int right = 1;
inline constexpr int center = 2;
}  // namespace lvcfmt
namespace lvht {
inline constexpr UINT nowhere = 0x01;
inline constexpr UINT on_item = 0x0E;
}  // namespace lvht
namespace lvn {
inline constexpr UINT item_changing = static_cast<UINT>(-100);
inline constexpr UINT item_changed = static_cast<UINT>(-101);
inline constexpr UINT column_click = static_cast<UINT>(-108);
inline constexpr UINT key_down = static_cast<UINT>(-155);
}  // namespace lvn

struct ListViewItem {
  UINT mask = 0;
  int32_t item = 0;
  int32_t sub_item = 0;
  UINT state = 0;
  UINT state_mask = 0;
  // Text in (set: text_max is its length, or 0 when it ends with a NUL) or
  // buffer out (get: text_max units of room).
  char16_t* text = nullptr;
  int32_t text_max = 0;
  LPARAM param = 0;
};
struct ListViewColumn {
  UINT mask = 0;
  int32_t fmt = lvcfmt::left;
  int32_t width = 0;
  // The title in (insert, set: NUL-ended) or a buffer out (get: text_max
  // units of room; the title is cut to fit and always ended).
  char16_t* text = nullptr;
  int32_t text_max = 0;
};
struct ListViewHitTest {
  POINT pt{};  // client coordinates
  UINT flags = 0;
  int32_t item = -1;
  int32_t sub_item = 0;
};
// nm::click, nm::dbl_clk and lvn:: records.
struct ListViewNotify {
  NotifyHeader hdr;
  int32_t item = -1;
  int32_t sub_item = 0;
  UINT new_state = 0;
  UINT old_state = 0;
  UINT changed = 0;
  POINT action{};  // client coordinates
  LPARAM param = 0;
};

// ==== Up-down controls ================================================================
namespace uds {
inline constexpr DWORD wrap = 0x0001;
inline constexpr DWORD set_buddy_int = 0x0002;
inline constexpr DWORD align_right = 0x0004;
inline constexpr DWORD align_left = 0x0008;
inline constexpr DWORD auto_buddy = 0x0010;
inline constexpr DWORD arrow_keys = 0x0020;
inline constexpr DWORD horz = 0x0040;
inline constexpr DWORD no_thousands = 0x0080;
}  // namespace uds
namespace udm {
inline constexpr UINT set_range = wm::user + 101;  // lParam: max low word, min high word
inline constexpr UINT get_range = wm::user + 102;
inline constexpr UINT set_pos = wm::user + 103;
inline constexpr UINT get_pos = wm::user + 104;
inline constexpr UINT set_buddy = wm::user + 105;
inline constexpr UINT get_buddy = wm::user + 106;
inline constexpr UINT set_range32 = wm::user + 111;  // wParam min, lParam max
inline constexpr UINT get_range32 = wm::user + 112;
inline constexpr UINT set_pos32 = wm::user + 113;
inline constexpr UINT get_pos32 = wm::user + 114;
}  // namespace udm
namespace udn {
inline constexpr UINT delta_pos = static_cast<UINT>(-722);
}
struct UpDownNotify {
  NotifyHeader hdr;
  int32_t pos = 0;
  int32_t delta = 0;
};

// ==== Date pickers ====================================================================
namespace dts {
inline constexpr DWORD up_down = 0x0001;
inline constexpr DWORD show_none = 0x0002;
inline constexpr DWORD short_date = 0x0000;
}  // namespace dts
namespace dtm {
inline constexpr UINT get_system_time = 0x1001;  // lParam SYSTEMTIME*; answers gdt::
inline constexpr UINT set_system_time = 0x1002;  // wParam gdt::, lParam SYSTEMTIME*
}  // namespace dtm
namespace gdt {
inline constexpr LRESULT error = -1;
inline constexpr LRESULT valid = 0;
inline constexpr LRESULT none = 1;
}  // namespace gdt
namespace dtn {
inline constexpr UINT datetime_change = static_cast<UINT>(-759);
}
struct DateTimeChange {
  NotifyHeader hdr;
  DWORD flags = 0;  // gdt::
  SYSTEMTIME st{};
};

// ==== Tab controls ====================================================================
namespace tcm {
inline constexpr UINT first = 0x1300;
inline constexpr UINT get_item_count = first + 4;
inline constexpr UINT delete_item = first + 8;
inline constexpr UINT delete_all_items = first + 9;
inline constexpr UINT get_item_rect = first + 10;
inline constexpr UINT get_cur_sel = first + 11;
inline constexpr UINT set_cur_sel = first + 12;
inline constexpr UINT adjust_rect = first + 40;  // wParam larger, lParam RECT*
inline constexpr UINT insert_item = first + 62;  // wParam index, lParam TabItem*
}  // namespace tcm
namespace tcn {
inline constexpr UINT sel_change = static_cast<UINT>(-551);
inline constexpr UINT sel_changing = static_cast<UINT>(-552);
}  // namespace tcn
struct TabItem {
  UINT mask = 0;  // unused beyond text and param
  const char16_t* text = nullptr;
  LPARAM param = 0;
};

// ==== Typed wrappers ==================================================================
struct KELDA_UI_API ButtonControl {
  Hwnd hwnd;
  int check() const;
  void set_check(int state) const;
  void click() const;
  void set_image(const Bitmap* bmp) const;
};

struct KELDA_UI_API StaticControl {
  Hwnd hwnd;
  void set_image(const Bitmap* bmp) const;
};

struct KELDA_UI_API EditControl {
  Hwnd hwnd;
  void set_sel(int start, int end) const;
  std::pair<int, int> sel() const;
  void replace_sel(std::u16string_view text) const;
  void scroll_caret() const;
  void limit_text(int max) const;
  int line_count() const;
  int first_visible_line() const;
};

struct KELDA_UI_API ListBoxControl {
  Hwnd hwnd;
  int add(std::u16string_view text) const;
  int insert(int index, std::u16string_view text) const;
  int remove(int index) const;
  void reset() const;
  int count() const;
  int cur_sel() const;
  int set_cur_sel(int index) const;
  bool set_sel(int index, bool select) const;  // multiple-selection lists
  bool is_selected(int index) const;
  std::vector<int> selected_items() const;
  std::u16string text(int index) const;
  LPARAM item_data(int index) const;
  int set_item_data(int index, LPARAM data) const;
  int find_exact(std::u16string_view text, int start = -1) const;
  void set_horizontal_extent(int width) const;
  int horizontal_extent() const;
};

struct KELDA_UI_API ComboBoxControl {
  Hwnd hwnd;
  int add(std::u16string_view text) const;
  int insert(int index, std::u16string_view text) const;
  int remove(int index) const;
  void reset() const;
  int count() const;
  int cur_sel() const;
  int set_cur_sel(int index) const;
  std::u16string text(int index) const;
  LPARAM item_data(int index) const;
  int set_item_data(int index, LPARAM data) const;
  int find_exact(std::u16string_view text, int start = -1) const;
  void show_dropdown(bool show) const;
  bool dropped() const;
};

struct KELDA_UI_API ListViewControl {
  Hwnd hwnd;
  int insert_column(int index, std::u16string_view title, int width, int fmt = lvcfmt::left) const;
  bool delete_column(int index) const;
  int column_count() const;
  int column_width(int index) const;
  std::u16string column_title(int index) const;  // "" for a column that does not exist
  bool set_column_width(int index, int width) const;
  bool set_column_format(int index, int fmt) const;
  void set_extended_style(DWORD mask, DWORD styles) const;
  // Inserts a row with the text of column 0 and its item data; answers its index.
  int insert_item(int index, std::u16string_view text, LPARAM data = 0) const;
  bool set_item_text(int item, int sub_item, std::u16string_view text) const;
  std::u16string item_text(int item, int sub_item) const;
  bool set_item_data(int item, LPARAM data) const;
  LPARAM item_data(int item) const;
  bool delete_item(int item) const;
  bool delete_all_items() const;
  int item_count() const;
  int next_item(int start, LPARAM flags) const;
  bool set_item_state(int item, UINT state, UINT mask) const;
  UINT item_state(int item, UINT mask) const;
  bool ensure_visible(int item) const;
  int hit_test(POINT client, int* sub_item = nullptr) const;
  int top_index() const;
  int count_per_page() const;
  int selection_mark() const;
  RECT item_rect(int item) const;
};

struct KELDA_UI_API UpDownControl {
  Hwnd hwnd;
  void set_range(int min, int max) const;
  void set_pos(int pos) const;
  int pos() const;
  void set_buddy(Hwnd buddy) const;
  Hwnd buddy() const;
};

struct KELDA_UI_API DatePickerControl {
  Hwnd hwnd;
  bool set_date(const SYSTEMTIME& st) const;
  std::optional<SYSTEMTIME> date() const;
};

struct KELDA_UI_API TabControlWrapper {
  Hwnd hwnd;
  int insert_item(int index, std::u16string_view text, LPARAM param = 0) const;
  int count() const;
  int cur_sel() const;
  int set_cur_sel(int index) const;
  // The display area of the pages, in the tab control's client coordinates.
  RECT display_rect() const;
};

}  // namespace kelda::ui
