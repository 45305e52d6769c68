// The client portfolio window: the client list, the figures and their
// once-a-second recalculation.
#include "terminal/portfolio_wnd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

#include "terminal/column_setup_dialog.h"
#include "terminal/data_feed_manager.h"
#include "terminal/layout_files.h"
#include "terminal/main_frame.h"
#include "terminal/market_windows.h"
#include "terminal/profile.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

constexpr UINT kListId = 101;
constexpr UINT kClientsId = 1009;
constexpr UINT kCmdTableSetup = 301;
constexpr const char* kSection = "MarginalRowsWnd";

// "val<n>code": the code of the n-th shown value, from 0.
std::string value_code_key(std::size_t n) { return "val" + std::to_string(n) + "code"; }

// Figure k of a row, counted from the first (freeMoney).
double figure(const MargoMarginalRow& row, int k) {
  double v = 0;
  const std::size_t at = offsetof(MargoMarginalRow, freeMoney) + sizeof(double) * static_cast<std::size_t>(k - 1);
  if (k < 1 || at + sizeof v > sizeof row) return 0;
  std::memcpy(&v, reinterpret_cast<const unsigned char*>(&row) + at, sizeof v);
  return v;
}

// What each catalogue entry shows: figure `a` (minus figure `b` when set);
// `typed` hides it from clients whose type flag is clear; `percent` shows
// (a - b) / b x 100 and only while b > 0.
struct Shows {
  int a;
  int b;
  bool typed;
  bool percent;
};
constexpr std::array<Shows, kPortfolioValueCount> kShows{{{3, 0, false, false},
                                                         {9, 0, false, false},
                                                         {11, 0, true, false},
                                                         {12, 0, true, false},
                                                         {5, 0, false, false},
                                                         {6, 0, false, false},
                                                         {10, 0, false, false},
                                                         {13, 0, false, false},
                                                         {16, 0, false, false},
                                                         {17, 0, false, false},
                                                         {18, 0, true, false},
                                                         {19, 0, true, false},
                                                         {20, 0, true, false},
                                                         {21, 0, true, false},
                                                         {24, 23, true, false},
                                                         {23, 0, true, false},
                                                         {24, 0, true, false},
                                                         {24, 23, true, true}}};

// The figures whose movement redraws the list.
constexpr int kWatched[] = {9, 12, 2, 3, 4, 11, 18, 20, 19, 13, 16, 17, 10, 1, 6, 5, 23, 24};

}  // namespace

const std::array<PortfolioValue, kPortfolioValueCount>& portfolio_catalogue() {
  static const std::array<PortfolioValue, kPortfolioValueCount> catalogue{{{1, "Плечо"},
                                                                           {2, "Активы"},
                                                                           {3, "Лимит"},
                                                                           {4, "ДостЛимит"},
                                                                           {5, "Шорты"},
                                                                           {6, "Лонги"},
                                                                           {7, "Ур.маржи"},
                                                                           {8, "БлокПокупка"},
                                                                           {9, "БлокПродажа"},
                                                                           {10, "БлокПокНеМарж"},
                                                                           {11, "На покупку"},
                                                                           {12, "На продажу"},
                                                                           {14, "НаПокупНеМаржин"},
                                                                           {13, "НаПокупОбесп"},
                                                                           {15, "Прибыль/убытки"},
                                                                           {16, "ВходСредств"},
                                                                           {17, "ТекСредств"},
                                                                           {18, "ПроцИзмен"}}};
  return catalogue;
}

std::string portfolio_value_text(int index, const MargoMarginalRow& row) {
  if (index < 0 || index >= kPortfolioValueCount) return {};
  const Shows& s = kShows[static_cast<std::size_t>(index)];
  if (s.typed && row.lag2 == 0) return {};
  double value = figure(row, s.a);
  if (s.percent) {
    const double base = figure(row, s.b);
    if (!(base > 0)) return {};
    value = (value - base) / base * 100;
  } else if (s.b != 0) {
    value -= figure(row, s.b);
  }
  const Settings& st = manager()->settings();
  char text[64];
  format_real(text, sizeof text, value, 2, st.decimal_separator, st.group_separator, st.digit_grouping);
  return text;
}

MarginalRowsWnd::MarginalRowsWnd(PortfolioSetup setup) : MarketWindow(kind::portfolio), setup_(std::move(setup)) {
  if (setup_.column_widths.size() > 20) setup_.column_widths.resize(20);
  const auto& catalogue = portfolio_catalogue();
  if (setup_.codes.empty()) {
    for (int i = 0; i < kPortfolioValueCount; ++i) shown_.push_back(i);
  } else {
    for (const int code : setup_.codes) {
      const auto it =
          std::find_if(catalogue.begin(), catalogue.end(), [&](const PortfolioValue& v) { return v.code == code; });
      if (it == catalogue.end() || shown_.size() >= kMaxPortfolioValues) continue;
      shown_.push_back(static_cast<int>(it - catalogue.begin()));
    }
  }
}

MarginalRowsWnd::~MarginalRowsWnd() {
  if (hwnd()) destroy();
}

void MarginalRowsWnd::on_create() {
  ui::CreateParams p;
  p.class_name = ui::class_name::static_;
  p.text = u"Код клиента:";
  p.style = ui::ws::child | ui::ws::visible;
  p.parent = hwnd();
  label_ = ui::create_window(p);
  p.class_name = ui::class_name::combo_box;
  p.text = {};
  p.style = ui::ws::child | ui::ws::visible | ui::ws::vscroll | ui::ws::tab_stop | ui::cbs::sort |
            ui::cbs::drop_down_list;
  p.id = kClientsId;
  combo_ = ui::create_window(p);
  list_ = create_report_list(hwnd(), kListId, ui::ws::border | ui::lvs::no_sort_header);
  const ui::ListViewControl lv{list_};
  lv.insert_column(0, u"Параметр", static_cast<int>(120 * ui::scale_x()), ui::lvcfmt::left);
  lv.insert_column(1, u"Значение", static_cast<int>(70 * ui::scale_x()), ui::lvcfmt::right);
  ui::set_timer(hwnd(), kPortfolioTimer, 1000);
  // A width the window-table file does not hold keeps the creation width; the
  // name column then fits the longest shown name (60 pixels would cut most).
  bool fit_names = false;
  for (std::size_t i = 0; i < setup_.column_widths.size() && i < 2; ++i) {
    if (setup_.column_widths[i] == kWidthNotSaved) {
      fit_names = fit_names || i == 0;
      fill_values_ = fill_values_ || i == 1;
    } else {
      lv.set_column_width(static_cast<int>(i), setup_.column_widths[i]);
    }
  }
  rebuild_rows();
  if (fit_names) fit_name_column();
  fill_value_column();
  fill_clients();
  take_selection();
}

void MarginalRowsWnd::layout() {
  const double sx = ui::scale_x();
  const double sy = ui::scale_y();
  const RECT r = client_rect();
  const int x = static_cast<int>(3 * sx) + static_cast<int>(85 * sx) + static_cast<int>(3 * sx);
  ui::move_window(label_, static_cast<int>(3 * sx), static_cast<int>(3 * sy), static_cast<int>(85 * sx),
                  static_cast<int>(17 * sy), true);
  ui::move_window(combo_, x, static_cast<int>(3 * sy) - 1, r.right - static_cast<int>(3 * sy) - x,
                  static_cast<int>(150 * sy), true);
  const int top = static_cast<int>(3 * sy) + static_cast<int>(17 * sy) + static_cast<int>(6 * sy);
  ui::move_window(list_, 0, top, r.right, r.bottom - top, true);
  fill_value_column();
}

void MarginalRowsWnd::fill_value_column() {
  if (!fill_values_ || !list_) return;
  const ui::ListViewControl lv{list_};
  const int rest = ui::get_client_rect(list_).right - lv.column_width(0);
  lv.set_column_width(1, std::max(static_cast<int>(70 * ui::scale_x()), rest));
}

void MarginalRowsWnd::rebuild_rows() {
  const ui::ListViewControl lv{list_};
  lv.delete_all_items();
  const auto& catalogue = portfolio_catalogue();
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    lv.insert_item(static_cast<int>(i), to_wide(cp1251(catalogue[static_cast<std::size_t>(shown_[i])].name)));
  }
  recompute(true);
}

void MarginalRowsWnd::clear_values() {
  const ui::ListViewControl lv{list_};
  for (int i = 0; i < lv.item_count(); ++i) lv.set_item_text(i, 1, u"");
}

MargoMarginalRow* MarginalRowsWnd::selected_row() const {
  if (client_.empty() && firm_.empty()) return nullptr;
  MarginBinding& margin = manager()->margin();
  return margin.row(margin.find_row(firm_, client_));
}

void MarginalRowsWnd::fill_clients() {
  const ui::ComboBoxControl combo{combo_};
  combo.reset();
  entries_.clear();
  const MarginBinding& margin = manager()->margin();
  for (int i = 0; i < margin.row_count(); ++i) {
    const MargoMarginalRow& row = *margin.row(i);
    entries_.emplace_back(std::string(field_text(row.firmId)), std::string(field_text(row.clientCode)));
    const int item = combo.add(to_wide(entries_.back().second));
    combo.set_item_data(item, static_cast<LPARAM>(entries_.size() - 1));
  }
  int chosen = combo.count() > 0 ? 0 : -1;
  for (int i = 0; i < combo.count(); ++i) {
    const auto& e = entries_[static_cast<std::size_t>(combo.item_data(i))];
    if (e.first == firm_ && e.second == client_) chosen = i;
  }
  combo.set_cur_sel(chosen);
}

void MarginalRowsWnd::take_selection() {
  firm_.clear();
  client_.clear();
  have_saved_ = false;
  const ui::ComboBoxControl combo{combo_};
  const int sel = combo.cur_sel();
  if (sel < 0) {
    clear_values();
    return;
  }
  const auto index = static_cast<std::size_t>(combo.item_data(sel));
  if (index >= entries_.size()) return;
  firm_ = entries_[index].first;
  client_ = entries_[index].second;
}

void MarginalRowsWnd::recompute(bool force) {
  MargoMarginalRow* row = selected_row();
  if (row == nullptr || row->binding == 0 || !MargoCalcMarginalRow(row)) return;
  if (!force && have_saved_) {
    const bool moved = std::any_of(std::begin(kWatched), std::end(kWatched), [&](int k) {
      return std::fabs(figure(*row, k) - figure(saved_, k)) >= 0.005;
    });
    if (!moved) return;
  }
  const ui::ListViewControl lv{list_};
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    lv.set_item_text(static_cast<int>(i), 1, to_wide(portfolio_value_text(shown_[i], *row)));
  }
  saved_ = *row;
  have_saved_ = true;
}

void MarginalRowsWnd::on_margin_row(const std::string& firm, const std::string& client, bool added) {
  if (!added && firm == firm_ && client == client_) {
    firm_.clear();
    client_.clear();
    clear_values();
  }
  fill_clients();
  take_selection();
}

void MarginalRowsWnd::show_menu(POINT screen) {
  const ui::Hmenu menu = ui::create_popup_menu();
  ui::append_menu(menu, ui::mf::string, kCmdTableSetup, u"Настройки таблицы");
  const UINT chosen = ui::track_popup_menu(menu, ui::tpm::return_cmd, screen.x, screen.y, hwnd());
  ui::destroy_menu(menu);
  if (chosen != kCmdTableSetup) return;
  if (choose_values()) rebuild_rows();
  fit_name_column();
  fill_value_column();
}

bool MarginalRowsWnd::choose_values() {
  const auto& catalogue = portfolio_catalogue();
  ColumnChoice choice;
  for (const PortfolioValue& v : catalogue) choice.names.push_back(cp1251(v.name));
  choice.chosen = shown_;
  choice.limit = static_cast<int>(kMaxPortfolioValues);
  if (!run_column_setup_dialog(hwnd(), choice)) return false;
  shown_ = std::move(choice.chosen);
  // The kind's section: every catalogue position cleared first, then the
  // chosen codes from the last to the first, then their count.
  const std::string path = window_table_path();
  for (std::size_t n = catalogue.size(); n-- > 0;) profile_set_string(kSection, value_code_key(n), "0", path);
  for (std::size_t k = shown_.size(); k-- > 0;) {
    profile_set_int(kSection, value_code_key(k), catalogue[static_cast<std::size_t>(shown_[k])].code, path);
  }
  profile_set_int(kSection, "numvals", static_cast<int>(shown_.size()), path);
  return true;
}

// Column 0 as wide as the widest shown name plus 5 pixels, each name measured
// whole on the list's own device context.
void MarginalRowsWnd::fit_name_column() {
  std::unique_ptr<ui::Canvas> canvas = ui::get_dc(list_);
  if (!canvas) return;
  const ui::ListViewControl lv{list_};
  int widest = 0;
  for (int i = 0; i < lv.item_count(); ++i) widest = std::max(widest, canvas->text_extent(lv.item_text(i, 0)).cx);
  lv.set_column_width(0, widest + 5);
}

void MarginalRowsWnd::write_column_layout() {
  if (!list_) return;
  const ui::ListViewControl lv{list_};
  SectionText body;
  const int columns = lv.column_count();
  body.put_int("numpars", columns);
  for (int i = 0; i < columns; ++i) body.put_int("par" + std::to_string(i) + "width", lv.column_width(i));
  body.put_int("numvals", static_cast<long long>(shown_.size()));
  const auto& catalogue = portfolio_catalogue();
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    body.put_int(value_code_key(i), catalogue[static_cast<std::size_t>(shown_[i])].code);
  }
  write_kind_section(kSection, body);
}

LRESULT MarginalRowsWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::destroy:
      write_column_layout();
      if (list_) ui::destroy_window(list_);
      list_ = {};
      ui::kill_timer(hwnd(), kPortfolioTimer);
      break;
    case ui::wm::size:
      layout();
      break;
    case ui::wm::paint: {
      ui::PaintSession paint(hwnd());
      paint.canvas().fill_rect(client_rect(), ui::get_sys_color_brush(ui::color::face_3d));
      return 0;
    }
    case ui::wm::ctl_color_static:
    case ui::wm::ctl_color_button:
      if (wparam != 0) {
        auto* canvas = reinterpret_cast<ui::Canvas*>(wparam);
        canvas->set_text_color(0x000000);
        canvas->set_bk_mode(ui::bk::transparent);
        return reinterpret_cast<LRESULT>(&ui::get_sys_color_brush(ui::color::face_3d));
      }
      break;
    case ui::wm::timer:
      if (wparam == kPortfolioTimer) {
        recompute(false);
        return 0;
      }
      break;
    case ui::wm::command:
      if (ui::lo_word(wparam) == kClientsId && ui::hi_word(wparam) == ui::cbn::sel_change) {
        take_selection();
        return 0;
      }
      break;
    case ui::wm::notify: {
      const auto& header = *reinterpret_cast<const ui::NotifyHeader*>(lparam);
      if (header.id_from == kListId && header.code == ui::gn::context_menu) {
        show_menu(reinterpret_cast<const ui::GestureNotify&>(header).action);
      }
      break;
    }
    // The tables (and the margin rows with them) are about to go: forget the
    // client and every row of the drop-down list, not only the values.
    case UM_CLEAR:
      firm_.clear();
      client_.clear();
      have_saved_ = false;
      entries_.clear();
      ui::ComboBoxControl{combo_}.reset();
      clear_values();
      return 1;
    case UM_SETFONT:
      apply_font(list_, wparam);
      return 1;
    case UM_GROUPING:
      rebuild_rows();
      break;
    case UM_SAVECOLUMNS:
      write_column_layout();
      break;
    default:
      break;
  }
  return MarketWindow::window_proc(msg, wparam, lparam);
}

// The shown values and column widths the window-table file keeps.
PortfolioSetup read_portfolio_setup(const std::string& tcf) {
  const SavedSection section(tcf, kSection);
  PortfolioSetup setup;
  const int columns = std::clamp(section.get_int("numpars", 2), 0, 20);
  setup.column_widths.clear();
  for (int i = 0; i < columns; ++i) {
    setup.column_widths.push_back(section.get_int("par" + std::to_string(i) + "width", kWidthNotSaved));
  }
  const int values = std::clamp(section.get_int("numvals", 0), 0, static_cast<int>(kMaxPortfolioValues));
  for (int i = 0; i < values; ++i) setup.codes.push_back(section.get_int(value_code_key(static_cast<std::size_t>(i)), i + 1));
  return setup;
}

void register_portfolio_window() {
  WindowKind k;
  k.kind = kind::portfolio;
  k.command = cmd::portfolio;
  k.single = true;
  k.caption = cp1251("Клиентский портфель");
  k.create = [] { return std::make_unique<MarginalRowsWnd>(read_portfolio_setup(window_table_path())); };
  register_window_kind(std::move(k));
}

}  // namespace kelda::terminal
