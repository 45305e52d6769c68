// The layer's own message box and file open/save dialogs: ordinary dialogs
// of the emulated screen built from templates made on the spot.
#include "std_dialogs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core.h"
#include "dialog_internal.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/recording_canvas.h"

namespace kelda::ui::detail {
namespace {

// --- The message box's icon ------------------------------------------------------------------------
class BoxIconBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != wm::paint) return def_proc(w, msg, wp, lp);
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    c.fill_rect(r, get_sys_color_brush(color::btn_face));
    int s = std::min(width_of(r), height_of(r));
    RECT b{0, 0, s, s};
    std::u16string_view kind = w.text;
    COLORREF fill = kind == u"error" ? RGB(204, 0, 0) : kind == u"warning" ? RGB(255, 204, 0) : RGB(0, 64, 192);
    Brush brush = Brush::solid(fill);
    Pen pen{ps::solid, 1, fill};
    const Pen* op = c.select_pen(&pen);
    const Brush* ob = c.select_brush(&brush);
    if (kind == u"warning") {
      POINT tri[3] = {{s / 2, 0}, {s - 1, s - 1}, {0, s - 1}};
      c.polygon(tri);
    } else {
      c.ellipse(b.left, b.top, b.right, b.bottom);
    }
    c.select_pen(op);
    c.select_brush(ob);
    Font bold = point_font(u"Tahoma", 12, true);
    c.select_font(&bold);
    c.set_bk_mode(bk::transparent);
    c.set_text_color(kind == u"warning" ? RGB(0, 0, 0) : RGB(255, 255, 255));
    std::u16string_view mark = kind == u"error" ? u"\u00D7" : kind == u"question" ? u"?" : kind == u"warning" ? u"!" : u"i";
    c.draw_text(mark, b, dt::center | dt::vcenter | dt::single_line | dt::no_prefix);
    return 0;
  }
};

struct BoxButton {
  int id;
  const char16_t* text;
};

std::vector<BoxButton> buttons_for(UINT type) {
  switch (type & mb::type_mask) {
    case mb::ok_cancel: return {{id::ok, u"OK"}, {id::cancel, u"Отмена"}};
    case mb::abort_retry_ignore: return {{id::abort, u"Прервать"}, {id::retry, u"Повтор"}, {id::ignore, u"Пропустить"}};
    case mb::yes_no_cancel: return {{id::yes, u"Да"}, {id::no, u"Нет"}, {id::cancel, u"Отмена"}};
    case mb::yes_no: return {{id::yes, u"Да"}, {id::no, u"Нет"}};
    case mb::retry_cancel: return {{id::retry, u"Повтор"}, {id::cancel, u"Отмена"}};
    default: return {{id::ok, u"OK"}};
  }
}

const char16_t* icon_kind(UINT type) {
  switch (type & mb::icon_mask) {
    case mb::icon_error: return u"error";
    case mb::icon_question: return u"question";
    case mb::icon_warning: return u"warning";
    case mb::icon_information: return u"information";
    default: return nullptr;
  }
}

// Dialog units of the standard dialog font on this screen.
void base_units(int& bx, int& by) {
  Font f = point_font(u"Tahoma", 8);
  FontEngine& e = font_engine();
  bx = std::max(1, (e.text_width(f, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2);
  by = std::max(1, e.metrics(f).height);
}

// --- File dialog helpers -------------------------------------------------------------------------
struct Filter {
  std::u16string description;
  std::vector<std::u16string> patterns;  // lower-case, "*.ext" or "*.*"
};

std::vector<Filter> parse_filter(std::u16string_view text) {
  std::vector<std::u16string> parts(1);
  for (char16_t ch : text) {
    if (ch == u'|' || ch == 0) {
      parts.emplace_back();
    } else {
      parts.back().push_back(ch);
    }
  }
  std::vector<Filter> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() && parts[i + 1].empty()) break;
    Filter f;
    f.description = parts[i];
    std::u16string pat = to_lower(parts[i + 1]);
    size_t start = 0;
    while (start <= pat.size()) {
      size_t semi = pat.find(u';', start);
      std::u16string one = pat.substr(start, semi == std::u16string::npos ? std::u16string::npos : semi - start);
      if (!one.empty()) f.patterns.push_back(one);
      if (semi == std::u16string::npos) break;
      start = semi + 1;
    }
    out.push_back(std::move(f));
  }
  if (out.empty()) out.push_back(Filter{u"*.*", {u"*.*"}});
  return out;
}

bool matches(const Filter& f, const std::u16string& name) {
  std::u16string low = to_lower(name);
  for (const auto& p : f.patterns) {
    if (p == u"*.*" || p == u"*") return true;
    if (p.size() > 1 && p[0] == u'*' && low.size() >= p.size() - 1 &&
        low.compare(low.size() - (p.size() - 1), p.size() - 1, p, 1, std::u16string::npos) == 0)
      return true;
    if (p == low) return true;
  }
  return false;
}

namespace fs = std::filesystem;

fs::path to_path(const std::u16string& s) { return fs::path(to_utf8(s)); }
std::u16string from_path(const fs::path& p) { return from_utf8(p.string()); }

enum : int { kFolderText = 200, kList = 201, kName = 202, kType = 203 };

struct FileDialogState {
  const FileDialogRequest* req = nullptr;
  std::vector<Filter> filters;
  fs::path folder;
  std::vector<std::pair<std::u16string, bool>> entries;  // name, is folder
  std::optional<FileDialogResult> result;
};

void fill_list(Hwnd dlg, FileDialogState& s) {
  ListViewControl lv{get_dlg_item(dlg, kList)};
  lv.delete_all_items();
  s.entries.clear();
  std::error_code ec;
  if (s.folder.has_parent_path() && s.folder != s.folder.root_path()) s.entries.emplace_back(u"..", true);
  std::vector<std::pair<std::u16string, bool>> found;
  int type = ComboBoxControl{get_dlg_item(dlg, kType)}.cur_sel();
  const Filter& f = s.filters[static_cast<size_t>(std::clamp(type, 0, static_cast<int>(s.filters.size()) - 1))];
  for (fs::directory_iterator it(s.folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::u16string name = from_path(it->path().filename());
    bool dir = it->is_directory(ec);
    if (!dir && !matches(f, name)) continue;
    found.emplace_back(name, dir);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    if (a.second != b.second) return a.second;
    return compare_ignore_case(a.first, b.first) < 0;
  });
  s.entries.insert(s.entries.end(), found.begin(), found.end());
  for (size_t i = 0; i < s.entries.size(); ++i) {
    const auto& [name, dir] = s.entries[i];
    lv.insert_item(static_cast<int>(i), dir ? u"[" + name + u"]" : name, static_cast<LPARAM>(i));
  }
  set_dlg_item_text(dlg, kFolderText, from_path(s.folder));
}

bool accept(Hwnd dlg, FileDialogState& s) {
  std::u16string name = get_dlg_item_text(dlg, kName);
  while (!name.empty() && name.back() == u' ') name.pop_back();
  if (name.empty()) return false;
  fs::path p = to_path(name);
  if (p.is_relative()) p = s.folder / p;
  std::error_code ec;
  if (fs::is_directory(p, ec)) {
    s.folder = fs::weakly_canonical(p, ec);
    set_dlg_item_text(dlg, kName, u"");
    fill_list(dlg, s);
    return false;
  }
  const FileDialogRequest& r = *s.req;
  if (r.save && !r.default_ext.empty() && !p.has_extension()) p += concat(".", to_utf8(r.default_ext));
  bool exists = fs::exists(p, ec);
  if (!r.save && (r.flags & ofn::file_must_exist) && !exists) {
    message_box(dlg, u"Файл не найден.", get_window_text(dlg), mb::ok | mb::icon_exclamation);
    return false;
  }
  if (r.save && (r.flags & ofn::overwrite_prompt) && exists &&
      message_box(dlg, u"Файл уже существует. Заменить?", get_window_text(dlg), mb::yes_no | mb::icon_question) != id::yes)
    return false;
  int type = ComboBoxControl{get_dlg_item(dlg, kType)}.cur_sel();
  s.result = FileDialogResult{from_path(p), type + 1};
  return true;
}

}  // namespace

int show_message_box(const MessageBoxRequest& request) {
  static const bool registered = [] {
    register_behavior_class<BoxIconBehavior>(u"MsgBoxIcon");
    return true;
  }();
  (void)registered;
  int bx = 6, by = 13;
  base_units(bx, by);
  const char16_t* icon = icon_kind(request.type);
  const int icon_du = icon ? 22 : 0;
  ScreenInfo si = screen_info();
  int max_text_px = si.width * 3 / 4 - icon_du * bx / 4;
  Font f = point_font(u"Tahoma", 8);
  RecordingCanvas probe(1, 1);
  probe.select_font(&f);
  RECT tr{0, 0, max_text_px, 0};
  probe.draw_text(request.text, tr, dt::word_break | dt::calc_rect | dt::no_prefix | dt::expand_tabs);
  auto buttons = buttons_for(request.type);
  int text_w = (width_of(tr) * 4 + bx - 1) / bx + 2;
  int text_h = std::max((height_of(tr) * 8 + by - 1) / by, 8);
  int row_w = static_cast<int>(buttons.size()) * 44 - 4;
  int cx = std::max(icon_du + 7 + text_w + 7, row_w + 14);
  int body_h = std::max(text_h, icon ? 20 : 0);
  DialogTemplate t;
  t.style = ws::popup | ws::caption | ws::visible | ds::modal_frame | ds::center;
  t.caption = request.caption;
  t.cx = cx;
  t.cy = 7 + body_h + 7 + 14 + 7;
  if (icon) t.items.push_back(DialogItem{u"MsgBoxIcon", icon, id::static_text, ws::visible, 7, 7, 20, 20});
  t.items.push_back(DialogItem{class_name::static_, request.text, id::static_text, ws::visible | ss::left | ss::no_prefix,
                               7 + icon_du, 7, text_w, text_h});
  int def = ((request.type & 0xF00) >> 8);
  int x = (cx - row_w) / 2;
  for (size_t i = 0; i < buttons.size(); ++i) {
    DWORD style = ws::visible | ws::tab_stop | (static_cast<int>(i) == def ? bs::def_push_button : bs::push_button);
    t.items.push_back(DialogItem{class_name::button, buttons[i].text, buttons[i].id, style, x, 7 + body_h + 7, 40, 14});
    x += 44;
  }
  const bool has_cancel = std::any_of(buttons.begin(), buttons.end(), [](auto& b) { return b.id == id::cancel; });
  const bool only_ok = buttons.size() == 1;
  intptr_t r = dialog_box_indirect(t, request.owner, [has_cancel, only_ok, def, buttons](Hwnd dlg, UINT msg, WPARAM wp, LPARAM) -> intptr_t {
    if (msg == wm::init_dialog) {
      set_focus(get_dlg_item(dlg, buttons[static_cast<size_t>(std::min<int>(def, static_cast<int>(buttons.size()) - 1))].id));
      return 0;
    }
    if (msg != wm::command) return 0;
    int cmd = lo_word(wp);
    if (cmd == id::cancel && !has_cancel) {
      if (only_ok) end_dialog(dlg, id::ok);
      return 1;
    }
    end_dialog(dlg, cmd);
    return 1;
  });
  return r < 0 ? id::cancel : static_cast<int>(r);
}

std::optional<FileDialogResult> show_file_dialog(const FileDialogRequest& request) {
  FileDialogState s;
  s.req = &request;
  s.filters = parse_filter(request.filter);
  std::error_code ec;
  s.folder = request.initial_dir.empty() ? fs::current_path(ec) : to_path(request.initial_dir);
  fs::path initial = to_path(request.file_name);
  if (initial.has_parent_path() && initial.is_absolute()) s.folder = initial.parent_path();
  DialogTemplate t;
  t.style = ws::popup | ws::caption | ws::visible | ds::modal_frame;
  t.full_screen = true;
  t.caption = request.title.empty() ? (request.save ? u"Сохранить" : u"Открыть") : request.title;
  ScreenInfo si = screen_info();
  int bx = 6, by = 13;
  base_units(bx, by);
  const int cx = si.width * 4 / bx - 4, cy = (height_of(si.work_area) - scaled(26)) * 8 / by - 20;
  const int list_h = std::max(30, cy - 12 - 14 - 14 - 14 - 20);
  t.cx = cx;
  t.cy = cy;
  t.items = {
      DialogItem{class_name::static_, u"", kFolderText, ws::visible | ss::left_no_word_wrap | ss::no_prefix, 4, 4, cx - 8, 9},
      DialogItem{class_name::list_view, u"", kList, ws::visible | ws::tab_stop | ws::border | lvs::report | lvs::single_sel |
                                                        lvs::no_column_header | lvs::show_sel_always,
                 4, 15, cx - 8, list_h},
      DialogItem{class_name::static_, u"Имя:", id::static_text, ws::visible, 4, 19 + list_h, 24, 10},
      DialogItem{class_name::edit, u"", kName, ws::visible | ws::tab_stop | ws::border | es::auto_hscroll, 30, 18 + list_h, cx - 34, 12},
      DialogItem{class_name::static_, u"Тип:", id::static_text, ws::visible, 4, 35 + list_h, 24, 10},
      DialogItem{class_name::combo_box, u"", kType, ws::visible | ws::tab_stop | cbs::drop_down_list, 30, 34 + list_h, cx - 34, 60},
      DialogItem{class_name::button, u"OK", id::ok, ws::visible | ws::tab_stop | bs::def_push_button, cx - 92, 52 + list_h, 42, 14},
      DialogItem{class_name::button, u"Отмена", id::cancel, ws::visible | ws::tab_stop, cx - 46, 52 + list_h, 42, 14},
  };
  intptr_t r = dialog_box_indirect(t, request.owner, [&s](Hwnd dlg, UINT msg, WPARAM wp, LPARAM lp) -> intptr_t {
    switch (msg) {
      case wm::init_dialog: {
        ListViewControl lv{get_dlg_item(dlg, kList)};
        lv.insert_column(0, u"", width_of(get_client_rect(lv.hwnd)) - scroll_bar_width() - 2);
        lv.set_extended_style(lvs_ex::full_row_select, lvs_ex::full_row_select);
        ComboBoxControl types{get_dlg_item(dlg, kType)};
        for (const Filter& f : s.filters) types.add(f.description);
        types.set_cur_sel(std::clamp(s.req->filter_index - 1, 0, static_cast<int>(s.filters.size()) - 1));
        set_dlg_item_text(dlg, kName, from_path(to_path(s.req->file_name).filename()));
        fill_list(dlg, s);
        return 1;
      }
      case wm::command:
        if (lo_word(wp) == id::ok && accept(dlg, s)) end_dialog(dlg, id::ok);
        if (lo_word(wp) == id::cancel) end_dialog(dlg, id::cancel);
        if (lo_word(wp) == kType && hi_word(wp) == cbn::sel_change) fill_list(dlg, s);
        return 1;
      case wm::notify: {
        auto* hdr = reinterpret_cast<const NotifyHeader*>(lp);
        if (hdr->id_from != static_cast<uintptr_t>(kList) || (hdr->code != nm::click && hdr->code != nm::dbl_clk)) return 0;
        auto* n = reinterpret_cast<const ListViewNotify*>(lp);
        if (n->item < 0 ||
            static_cast<size_t>(n->item) >= s.entries.size())
          return 0;
        const auto& [name, dir] = s.entries[static_cast<size_t>(n->item)];
        if (n->hdr.code == nm::click && !dir) set_dlg_item_text(dlg, kName, name);
        if (n->hdr.code == nm::dbl_clk) {
          if (dir) {
            std::error_code e;
            s.folder = fs::weakly_canonical(s.folder / to_path(name), e);
            fill_list(dlg, s);
          } else {
            set_dlg_item_text(dlg, kName, name);
            if (accept(dlg, s)) end_dialog(dlg, id::ok);
          }
        }
        return 1;
      }
      default:
        return 0;
    }
  });
  if (r != id::ok) return std::nullopt;
  return s.result;
}

}  // namespace kelda::ui::detail
