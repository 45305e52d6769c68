// The edit control: single line (with password and digits-only modes) and
// multi-line (wrapped, read-only or not, with a vertical scroll bar).
#include <algorithm>

#include "controls_internal.h"

namespace kelda::ui::detail {
namespace {

constexpr int kDefaultLimit = 30000;

class EditBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::create: return on_create(w);
      case wm::paint: paint(w); return 0;
      case wm::erase_background: return 1;
      case wm::size: return relayout(w);
      case wm::set_font: return relayout(w, def_proc(w, msg, wp, lp));
      case wm::set_text: return on_set_text(w, reinterpret_cast<const char16_t*>(lp));
      case wm::get_text: return get_text(wp, reinterpret_cast<char16_t*>(lp));
      case wm::get_text_length: return static_cast<LRESULT>(text_.size());
      case wm::character: on_char(w, static_cast<char16_t>(wp)); return 0;
      case wm::key_down: on_key(w, static_cast<UINT>(wp)); return 0;
      case wm::lbutton_down: return on_tap(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_dblclk: return on_tap(w, POINT{x_of(lp), y_of(lp)});
      case wm::mouse_move: return on_drag(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_up: return on_release(w);
      case wm::set_focus: return on_focus(w, en::set_focus);
      case wm::kill_focus: return on_focus(w, en::kill_focus);
      case wm::enable: invalidate(&w, nullptr, true); return 0;
      case wm::vscroll: on_vscroll(w, lo_word(wp), hi_word(wp)); return 0;
      case wm::get_dialog_code: return dialog_code(w, reinterpret_cast<const Message*>(lp));
      case em::get_sel: return get_sel(reinterpret_cast<DWORD*>(wp), reinterpret_cast<DWORD*>(lp));
      case em::set_sel: return set_sel(w, static_cast<intptr_t>(wp), static_cast<intptr_t>(lp));
      case em::replace_sel: return replace_sel(w, reinterpret_cast<const char16_t*>(lp));
      case em::scroll_caret: show_caret(w); return 1;
      case em::get_line_count: return multiline(w) ? static_cast<LRESULT>(lines_.size()) : 1;
      case em::line_index: return line_index(static_cast<intptr_t>(wp));
      case em::line_length: return line_length(static_cast<intptr_t>(wp));
      case em::line_from_char: return line_from_char(static_cast<intptr_t>(wp));
      case em::get_first_visible_line: return static_cast<LRESULT>(first_line_);
      case em::line_scroll: scroll_to(w, static_cast<int>(first_line_) + static_cast<int>(lp)); return 1;
      case em::scroll: on_vscroll(w, static_cast<int>(wp), 0); return 1;
      case em::limit_text: limit_ = wp == 0 ? 0x7FFFFFFE : static_cast<size_t>(wp); return 0;
      case em::get_limit_text: return static_cast<LRESULT>(limit_);
      case em::set_password_char: return set_password_char(w, static_cast<char16_t>(wp));
      case em::get_password_char: return password_;
      case em::set_read_only: return set_read_only(w, wp != 0);
      case em::get_modify: return modified_ ? 1 : 0;
      case em::set_modify: modified_ = wp != 0; return 0;
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  // --- Window messages --------------------------------------------------------------------------
  LRESULT on_create(WindowData& w) {
    read_only_ = (w.style & es::read_only) != 0;
    password_ = (w.style & es::password) ? u'*' : 0;
    set_text(w, w.text, false);
    return 0;
  }

  LRESULT on_set_text(WindowData& w, const char16_t* t) {
    set_text(w, t ? t : u"", true);
    return 1;
  }

  // Lines again after a size or font change; answers `result`.
  LRESULT relayout(WindowData& w, LRESULT result = 0) {
    layout(w);
    show_caret(w);
    return result;
  }

  LRESULT get_text(size_t room, char16_t* out) const {
    if (room == 0 || out == nullptr) return 0;
    return copy_text_out(text_, out, room);
  }

  LRESULT on_tap(WindowData& w, POINT p) {
    const AliveGuard guard(w);
    set_focus(w.handle);
    if (guard.gone()) return 0;
    set_capture(w.handle);
    anchor_ = caret_ = hit(w, p);
    show_caret(w);
    return 0;
  }

  LRESULT on_drag(WindowData& w, POINT p) {
    if (get_capture() == w.handle) {
      caret_ = hit(w, p);
      show_caret(w);
    }
    return 0;
  }

  LRESULT on_release(WindowData& w) {
    if (get_capture() == w.handle) release_capture();
    return 0;
  }

  LRESULT on_focus(WindowData& w, UINT code) {
    invalidate(&w, nullptr, false);
    notify_parent_command(w, code);
    return 0;
  }

  // A multi-line edit that wants Enter takes it from the dialog.
  LRESULT dialog_code(const WindowData& w, const Message* m) const {
    LRESULT code = dlgc::want_chars | dlgc::has_set_sel | dlgc::want_arrows;
    if (multiline(w) && (w.style & es::want_return) && m != nullptr && m->message == wm::key_down &&
        m->wparam == vk::enter)
      code |= dlgc::want_message;
    return code;
  }

  // --- Edit messages ----------------------------------------------------------------------------
  LRESULT get_sel(DWORD* start, DWORD* end) const {
    const size_t a = std::min(anchor_, caret_), b = std::max(anchor_, caret_);
    if (start) *start = static_cast<DWORD>(a);
    if (end) *end = static_cast<DWORD>(b);
    return make_lparam(static_cast<int>(std::min<size_t>(a, 0xFFFF)), static_cast<int>(std::min<size_t>(b, 0xFFFF)));
  }

  // A negative start selects nothing; a negative end selects to the end.
  LRESULT set_sel(WindowData& w, intptr_t start, intptr_t end) {
    if (start < 0) {
      anchor_ = caret_;
    } else {
      const size_t n = text_.size();
      anchor_ = std::min<size_t>(static_cast<size_t>(start), n);
      caret_ = end < 0 ? n : std::min<size_t>(static_cast<size_t>(end), n);
    }
    show_caret(w);
    return 0;
  }

  LRESULT replace_sel(WindowData& w, const char16_t* t) {
    replace(w, t ? std::u16string_view(t) : std::u16string_view(), false);
    return 0;
  }

  // A negative line is the caret's.
  LRESULT line_index(intptr_t line) const {
    if (line < 0) line = static_cast<intptr_t>(line_of(caret_));
    if (static_cast<size_t>(line) >= lines_.size()) return -1;
    return static_cast<LRESULT>(lines_[static_cast<size_t>(line)].first);
  }

  LRESULT line_length(intptr_t pos) const {
    const size_t l = line_of(static_cast<size_t>(std::max<intptr_t>(0, pos)));
    return static_cast<LRESULT>(lines_.empty() ? 0 : lines_[l].second);
  }

  // A negative position is the caret's.
  LRESULT line_from_char(intptr_t pos) const {
    return static_cast<LRESULT>(line_of(pos < 0 ? caret_ : static_cast<size_t>(pos)));
  }

  LRESULT set_password_char(WindowData& w, char16_t ch) {
    password_ = ch;
    invalidate(&w, nullptr, true);
    return 0;
  }

  LRESULT set_read_only(WindowData& w, bool on) {
    read_only_ = on;
    if (read_only_) w.style |= es::read_only; else w.style &= ~es::read_only;
    invalidate(&w, nullptr, true);
    return 1;
  }

  // --- Parts --------------------------------------------------------------------------------------
  static bool multiline(const WindowData& w) { return (w.style & es::multiline) != 0; }

  int line_height(WindowData& w) { return std::max(1, font_engine().metrics(window_font(w)).height); }

  std::u16string shown(std::u16string_view s) const {
    if (password_ == 0) return std::u16string(s);
    return std::u16string(s.size(), password_);
  }

  RECT text_area(WindowData& w) {
    RECT cl = client_rect_in_window(&w);
    return RECT{scaled(2), multiline(w) ? 1 : 0, width_of(cl) - scaled(2), height_of(cl)};
  }

  // Lines as (start, length), wrapped to the width for multi-line edits.
  void layout(WindowData& w) {
    lines_.clear();
    if (!multiline(w)) {
      lines_.emplace_back(0, text_.size());
      return;
    }
    FontEngine& e = font_engine();
    const Font& f = window_font(w);
    const int width = std::max(1, width_of(text_area(w)));
    const bool wrap = !(w.style & es::auto_hscroll);
    size_t i = 0;
    while (true) {
      size_t end = i;
      while (end < text_.size() && text_[end] != u'\r' && text_[end] != u'\n') ++end;
      // Wrap [i, end) into lines.
      size_t start = i;
      while (wrap && start < end) {
        std::vector<int> ext;
        e.char_extents(f, std::u16string_view(text_).substr(start, end - start), ext);
        size_t fit = 0;
        while (fit < ext.size() && ext[fit] <= width) ++fit;
        if (fit >= end - start) break;
        if (fit == 0) fit = 1;
        size_t brk = fit;
        while (brk > 0 && text_[start + brk - 1] != u' ') --brk;
        if (brk == 0) brk = fit;
        lines_.emplace_back(start, brk);
        start += brk;
      }
      lines_.emplace_back(start, end - start);
      if (end >= text_.size()) break;
      i = end + 1;
      if (text_[end] == u'\r' && i < text_.size() && text_[i] == u'\n') ++i;
    }
    update_scroll(w);
  }

  size_t line_of(size_t pos) const {
    for (size_t l = lines_.size(); l-- > 0;)
      if (lines_[l].first <= pos) return l;
    return 0;
  }

  int visible_lines(WindowData& w) { return std::max(1, height_of(text_area(w)) / line_height(w)); }

  void update_scroll(WindowData& w) {
    if (!multiline(w) || !(w.style & ws::vscroll)) return;
    ScrollInfo si;
    si.mask = sif::range | sif::page | sif::pos;
    si.min = 0;
    si.max = static_cast<int>(lines_.size()) - 1;
    si.page = static_cast<UINT>(visible_lines(w));
    si.pos = static_cast<int>(first_line_);
    set_scroll_info(w.handle, sb::vert, si, true);
  }

  void scroll_to(WindowData& w, int line) {
    int max_first = std::max(0, static_cast<int>(lines_.size()) - visible_lines(w));
    line = std::clamp(line, 0, max_first);
    if (static_cast<size_t>(line) != first_line_) {
      first_line_ = static_cast<size_t>(line);
      const AliveGuard guard(w);
      invalidate(&w, nullptr, true);
      if (!guard.gone()) update_scroll(w);
      notify_parent_command(w, en::vscroll);
    }
  }

  void on_vscroll(WindowData& w, int code, int pos) {
    int first = static_cast<int>(first_line_), page = visible_lines(w);
    switch (code) {
      case sb::line_up: scroll_to(w, first - 1); break;
      case sb::line_down: scroll_to(w, first + 1); break;
      case sb::page_up: scroll_to(w, first - page); break;
      case sb::page_down: scroll_to(w, first + page); break;
      case sb::thumb_track:
      case sb::thumb_position: scroll_to(w, pos); break;
      case sb::top: scroll_to(w, 0); break;
      case sb::bottom: scroll_to(w, static_cast<int>(lines_.size())); break;
      default: break;
    }
  }

  int x_in_line(WindowData& w, size_t line, size_t pos) {
    auto [start, len] = lines_[line];
    size_t k = std::min(pos - start, len);
    if (k == 0) return 0;
    return font_engine().text_width(window_font(w), shown(std::u16string_view(text_).substr(start, k)));
  }

  // Keeps the caret in view (scrolling), then repaints.
  void show_caret(WindowData& w) {
    if (multiline(w)) {
      size_t l = line_of(caret_);
      int vis = visible_lines(w);
      if (l < first_line_) scroll_to(w, static_cast<int>(l));
      else if (l >= first_line_ + static_cast<size_t>(vis)) scroll_to(w, static_cast<int>(l) - vis + 1);
    } else if (!(w.style & (es::center | es::right))) {
      int x = x_in_line(w, 0, caret_);
      int width = width_of(text_area(w));
      if (x - offset_ > width - 1) offset_ = x - width + 1 + width / 4;
      if (x - offset_ < 0) offset_ = std::max(0, x - width / 4);
      if (offset_ > 0 && x < width) offset_ = std::max(0, std::min(offset_, x));
    }
    invalidate(&w, nullptr, false);
  }

  size_t hit(WindowData& w, POINT p) {
    RECT a = text_area(w);
    size_t line = 0;
    if (multiline(w)) {
      int l = static_cast<int>(first_line_) + std::max(0, p.y - a.top) / line_height(w);
      line = std::min<size_t>(static_cast<size_t>(l), lines_.size() - 1);
    }
    auto [start, len] = lines_[line];
    int x = p.x - a.left + offset_ - align_shift(w);
    std::vector<int> ext;
    font_engine().char_extents(window_font(w), shown(std::u16string_view(text_).substr(start, len)), ext);
    size_t k = 0;
    while (k < ext.size()) {
      int prev = k > 0 ? ext[k - 1] : 0;
      if (x < (prev + ext[k]) / 2) break;
      ++k;
    }
    return start + k;
  }

  int align_shift(WindowData& w) {
    if (multiline(w) || !(w.style & (es::center | es::right))) return 0;
    int tw = font_engine().text_width(window_font(w), shown(text_));
    int width = width_of(text_area(w));
    return (w.style & es::right) ? std::max(0, width - tw) : std::max(0, (width - tw) / 2);
  }

  void set_text(WindowData& w, std::u16string_view t, bool notify) {
    text_.assign(t);
    anchor_ = caret_ = 0;
    offset_ = 0;
    first_line_ = 0;
    modified_ = false;
    w.text = text_;
    layout(w);
    invalidate(&w, nullptr, true);
    if (notify) {
      const AliveGuard guard(w);
      notify_parent_command(w, en::update);
      if (WindowData* d = guard.alive()) notify_parent_command(*d, en::change);
    }
  }

  // Replaces the selection; `typed` checks the digits-only and case styles.
  void replace(WindowData& w, std::u16string_view in, bool typed) {
    std::u16string ins(in);
    if (typed) {
      for (auto& ch : ins) {
        if ((w.style & es::uppercase) && ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - 32);
        if ((w.style & es::lowercase) && ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch + 32);
      }
    }
    if (!multiline(w)) {
      // One line: line breaks end the inserted text.
      size_t nl = ins.find_first_of(u"\r\n");
      if (nl != std::u16string::npos) ins.resize(nl);
    }
    size_t a = std::min(anchor_, caret_), b = std::max(anchor_, caret_);
    size_t room = limit_ > text_.size() - (b - a) ? limit_ - (text_.size() - (b - a)) : 0;
    bool cut = ins.size() > room;
    if (cut) ins.resize(room);
    if (ins.empty() && a == b) {
      if (cut) notify_parent_command(w, en::max_text);
      return;
    }
    text_.replace(a, b - a, ins);
    anchor_ = caret_ = a + ins.size();
    modified_ = true;
    w.text = text_;
    layout(w);
    show_caret(w);
    const AliveGuard guard(w);
    if (cut) notify_parent_command(w, en::max_text);
    if (WindowData* d = guard.alive()) notify_parent_command(*d, en::update);
    if (WindowData* d = guard.alive()) notify_parent_command(*d, en::change);
  }

  void on_char(WindowData& w, char16_t ch) {
    if (read_only_) return;
    if (ch == 0x08) {
      if (anchor_ == caret_ && caret_ > 0) {
        anchor_ = caret_ - 1;
        if (anchor_ > 0 && text_[anchor_] == u'\n' && text_[anchor_ - 1] == u'\r') --anchor_;
      }
      replace(w, u"", false);
      return;
    }
    if (ch == u'\r') {
      if (multiline(w)) replace(w, u"\r\n", true);
      return;
    }
    if (ch < 0x20) return;
    if ((w.style & es::number) && (ch < u'0' || ch > u'9')) {
      message_beep(0);
      return;
    }
    char16_t one[1] = {ch};
    replace(w, std::u16string_view(one, 1), true);
  }

  void on_key(WindowData& w, UINT key) {
    bool shift = std::find(g_core->keys_down.begin(), g_core->keys_down.end(), vk::shift) != g_core->keys_down.end();
    size_t pos = caret_;
    switch (key) {
      case vk::left: pos = anchor_ != caret_ && !shift ? std::min(anchor_, caret_) : (pos > 0 ? pos - 1 : 0); break;
      case vk::right:
        pos = anchor_ != caret_ && !shift ? std::max(anchor_, caret_) : std::min(pos + 1, text_.size());
        break;
      case vk::home: pos = lines_[line_of(pos)].first; break;
      case vk::end: {
        auto [s, l] = lines_[line_of(pos)];
        pos = s + l;
        break;
      }
      case vk::up:
      case vk::down: {
        if (!multiline(w)) return;
        size_t l = line_of(pos);
        if ((key == vk::up && l == 0) || (key == vk::down && l + 1 >= lines_.size())) return;
        size_t to = key == vk::up ? l - 1 : l + 1;
        pos = std::min(lines_[to].first + (pos - lines_[l].first), lines_[to].first + lines_[to].second);
        break;
      }
      case vk::del:
        if (read_only_) return;
        if (anchor_ == caret_) {
          if (caret_ >= text_.size()) return;
          caret_ = caret_ + ((text_[caret_] == u'\r' && caret_ + 1 < text_.size() && text_[caret_ + 1] == u'\n') ? 2 : 1);
        }
        replace(w, u"", false);
        return;
      default:
        return;
    }
    caret_ = pos;
    if (!shift) anchor_ = pos;
    show_caret(w);
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    const bool enabled = is_window_enabled(w.handle);
    const Brush* bg = prepare_colors(w, (read_only_ || !enabled) ? wm::ctl_color_static : wm::ctl_color_edit, c);
    c.fill_rect(r, *bg);
    if (!enabled) c.set_text_color(get_sys_color(color::gray_text));
    const bool focused = g_core->focus == w.handle;
    const bool show_sel = focused || (w.style & es::no_hide_sel);
    const size_t sa = std::min(anchor_, caret_), sb = std::max(anchor_, caret_);
    RECT area = text_area(w);
    c.intersect_clip_rect(area);
    const int lh = line_height(w);
    const int vis = visible_lines(w) + 1;
    const COLORREF text_color = c.text_color();
    for (size_t l = first_line_; l < lines_.size() && l < first_line_ + static_cast<size_t>(vis); ++l) {
      auto [start, len] = lines_[l];
      int y = area.top + static_cast<int>(l - first_line_) * lh;
      int x = area.left - offset_ + align_shift(w);
      std::u16string line = shown(std::u16string_view(text_).substr(start, len));
      c.set_bk_mode(bk::transparent);
      c.set_text_color(text_color);
      c.text_out(x, y, line);
      if (show_sel && sa != sb && sa <= start + len && sb >= start) {
        size_t a = std::max(sa, start), b = std::min(sb, start + len);
        if (b > a) {
          int xa = x + x_in_line(w, l, a), xb = x + x_in_line(w, l, b);
          RECT hr{xa, y, xb, y + lh};
          c.fill_rect(hr, get_sys_color_brush(color::highlight));
          c.set_text_color(get_sys_color(color::highlight_text));
          c.text_out(xa, y, line.substr(a - start, b - a));
        }
      }
    }
    if (focused && !read_only_) {
      size_t l = line_of(caret_);
      if (l >= first_line_ && l < first_line_ + static_cast<size_t>(vis)) {
        int x = area.left - offset_ + align_shift(w) + x_in_line(w, l, caret_);
        int y = area.top + static_cast<int>(l - first_line_) * lh;
        c.fill_rect(RECT{x, y, x + 1, y + lh}, Brush::solid(text_color));
      }
    }
  }

  std::u16string text_;
  std::vector<std::pair<size_t, size_t>> lines_{{0, 0}};
  size_t anchor_ = 0;
  size_t caret_ = 0;
  size_t first_line_ = 0;
  int offset_ = 0;  // horizontal scroll of a single line, pixels
  size_t limit_ = kDefaultLimit;
  char16_t password_ = 0;
  bool read_only_ = false;
  bool modified_ = false;
};

}  // namespace

void register_edit_class() {
  register_behavior_class<EditBehavior>(class_name::edit, cs::dblclks);
}

}  // namespace kelda::ui::detail
