// The order-book window: binding, the in-place refresh walk, colours and the
// double tap that opens the order window.
#include "terminal/quotes_wnd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "terminal/data_feed_manager.h"
#include "terminal/instrument_pickers.h"
#include "terminal/layout_files.h"
#include "terminal/market_windows.h"
#include "terminal/order_prefill.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

constexpr UINT kListId = 101;
constexpr COLORREF kBidColor = 0x0078FF78;    // RGB(120,255,120)
constexpr COLORREF kOfferColor = 0x007878FF;  // RGB(255,120,120)

int bid_volume(const KelapiPriceRecord& r) { return r.positive_volume; }
int offer_volume(const KelapiPriceRecord& r) { return r.negative_volume; }
int shown_volume(const KelapiPriceRecord& r) { return bid_volume(r) > 0 ? bid_volume(r) : offer_volume(r); }

std::u16string price_text(double price, int precision) {
  const Settings& s = manager()->settings();
  char text[64];
  format_real(text, sizeof text, price, precision, s.decimal_separator, s.group_separator, s.digit_grouping);
  return to_wide(text);
}

std::u16string volume_text(int volume) {
  const Settings& s = manager()->settings();
  char text[32];
  format_integer(text, sizeof text, volume, s.decimal_separator, s.group_separator, s.digit_grouping);
  return to_wide(text);
}

int depth() { return std::max(0, manager()->settings().quotes_depth); }

}  // namespace

std::pair<int, int> quotes_display_window(std::span<const KelapiPriceRecord> list, int depth) {
  const int n = static_cast<int>(list.size());
  int s = 0;
  while (s < n && offer_volume(list[static_cast<std::size_t>(s)]) <= 0) ++s;
  return {std::max(s - depth, 0), std::min(s + depth, n)};
}

QuotesWnd::QuotesWnd(QuotesSetup setup) : MarketWindow(kind::quotes), setup_(std::move(setup)) {
  if (setup_.class_code.size() > 12) setup_.class_code.resize(12);
  if (setup_.security_code.size() > 12) setup_.security_code.resize(12);
}

QuotesWnd::~QuotesWnd() {
  if (hwnd()) destroy();
}

void QuotesWnd::on_create() {
  list_ = create_report_list(hwnd(), kListId, ui::lvs::no_sort_header);
  const ui::ListViewControl lv{list_};
  lv.insert_column(0, u"Цена", 60, ui::lvcfmt::left);
  lv.insert_column(1, u"Кол-во", 60, manager()->settings().alignment == 2 ? ui::lvcfmt::right : ui::lvcfmt::left);
  lv.set_column_width(0, setup_.price_width);
  lv.set_column_width(1, setup_.volume_width);
  bind();
}

void QuotesWnd::bind() {
  for (auto& [code, cls] : manager()->tables().classes) {
    if (match(*cls)) return;
  }
}

bool QuotesWnd::match(ClassRecord& cls) {
  if (cls.code() != setup_.class_code) return false;
  const SecurityRecord* sec = cls.find_security(setup_.security_code);
  if (sec == nullptr) return false;
  class_number_ = static_cast<int32_t>(cls.record.class_number);
  security_number_ = static_cast<int32_t>(sec->record.security_number);
  manager()->book_price_list(cls.record.class_number, sec->record.security_number);
  redraw_from_stored();
  return true;
}

void QuotesWnd::redraw_from_stored() {
  const SecurityRecord* sec = manager()->tables().find_security(static_cast<uint32_t>(class_number_),
                                                                static_cast<uint32_t>(security_number_));
  if (sec == nullptr) return;
  // The walk below starts from what the list shows: start from nothing.
  ui::ListViewControl{list_}.delete_all_items();
  on_quotes(class_number_, security_number_, sec->prices, {});
}

void QuotesWnd::on_quotes(int32_t class_number, int32_t security_number, std::span<const KelapiPriceRecord> now,
                          std::span<const KelapiPriceRecord> before) {
  if (class_number != -1 && (class_number != class_number_ || security_number != security_number_)) return;
  if (now.empty()) {
    ui::ListViewControl{list_}.delete_all_items();
    return;
  }
  refresh(now, before);
}

void QuotesWnd::set_volume(int item, const KelapiPriceRecord& level) {
  const ui::ListViewControl lv{list_};
  lv.set_item_text(item, 1, volume_text(shown_volume(level)));
  lv.set_item_data(item, bid_volume(level) > 0 ? 1 : 0);
}

void QuotesWnd::insert_level(int item, const KelapiPriceRecord& level, int precision) {
  ui::ListViewControl{list_}.insert_item(item, price_text(level.price, precision), 0);
  set_volume(item, level);
}

// Walks the new and the previous display windows side by side, from the
// bottom item of the list upwards: items at index k and below are final.
void QuotesWnd::refresh(std::span<const KelapiPriceRecord> now, std::span<const KelapiPriceRecord> before) {
  const SecurityRecord* sec = manager()->tables().find_security(static_cast<uint32_t>(class_number_),
                                                                static_cast<uint32_t>(security_number_));
  if (sec == nullptr) return;
  const int precision = sec->record.scale;
  const int d = depth();
  // Plain names, not structured bindings: the lambdas below capture them.
  const auto now_window = quotes_display_window(now, d);
  const auto before_window = quotes_display_window(before, d);
  const int ns = now_window.first, ne = now_window.second;
  const int ps = before_window.first, pe = before_window.second;
  const bool buy_on_top = manager()->settings().buy_on_top;
  const int step = buy_on_top ? -1 : 1;
  int n = buy_on_top ? ne - 1 : ns;
  int p = buy_on_top ? pe - 1 : ps;
  const auto n_inside = [&] { return step > 0 ? n < ne : n >= ns; };
  const auto p_inside = [&] { return step > 0 ? p < pe : p >= ps; };
  const ui::ListViewControl lv{list_};
  int k = lv.item_count();
  const auto drop_previous = [&] {
    if (k > 0) lv.delete_item(--k);
    p += step;
  };
  while (n_inside() || p_inside()) {
    if (!n_inside()) {
      drop_previous();
      continue;
    }
    const KelapiPriceRecord& next = now[static_cast<std::size_t>(n)];
    if (!p_inside()) {
      insert_level(k, next, precision);
      n += step;
      continue;
    }
    const KelapiPriceRecord& prev = before[static_cast<std::size_t>(p)];
    if (std::fabs(next.price - prev.price) < 1e-6) {
      if (k > 0) --k;
      if (bid_volume(next) != bid_volume(prev) || offer_volume(next) != offer_volume(prev)) set_volume(k, next);
      n += step;
      p += step;
    } else if (next.price < prev.price) {
      insert_level(k, next, precision);
      n += step;
    } else {
      drop_previous();
    }
  }
}

LRESULT QuotesWnd::on_notify(const ui::NotifyHeader& header) {
  if (header.id_from != kListId) return 0;
  if (header.code == ui::nm::custom_draw) {
    auto& draw = const_cast<ui::ListViewCustomDraw&>(reinterpret_cast<const ui::ListViewCustomDraw&>(header));
    if (draw.nmcd.draw_stage == ui::cdds::prepaint) return ui::cdrf::notify_item_draw;
    if (draw.nmcd.draw_stage == ui::cdds::item_prepaint) {
      draw.text_bk_color = draw.nmcd.item_lparam != 0 ? kBidColor : kOfferColor;
    }
    return ui::cdrf::do_default;
  }
  if (header.code == ui::nm::dbl_clk) {
    on_double_tap(reinterpret_cast<const ui::ListViewNotify&>(header).action);
  }
  return 0;
}

void QuotesWnd::on_double_tap(POINT client) {
  const ClassRecord* cls = manager()->tables().find_class(static_cast<uint32_t>(class_number_));
  const SecurityRecord* sec = cls != nullptr ? cls->find_security(static_cast<uint32_t>(security_number_)) : nullptr;
  if (sec == nullptr) return;
  const std::span<const KelapiPriceRecord> stored = sec->prices;
  const auto [s0, e0] = quotes_display_window(stored, depth());
  const int i = ui::ListViewControl{list_}.hit_test(client);
  OrderPrefill prefill;
  prefill.set_class(setup_.class_code);
  prefill.set_security(setup_.security_code);
  if (i >= 0 && i < e0 - s0) {
    const KelapiPriceRecord& level =
        stored[static_cast<std::size_t>(manager()->settings().buy_on_top ? s0 + i : e0 - 1 - i)];
    const bool bid_row = offer_volume(level) < 1;
    prefill.set_price(level.price, sec->record.scale);
    prefill.set_quantity(bid_row ? bid_volume(level) : offer_volume(level));
    // An offer is there to be bought, a bid to be sold into.
    prefill.set_direction(!bid_row);
  }
  open_order_window(prefill);
}

void QuotesWnd::write_state(SectionText& keys) const {
  const ui::ListViewControl lv{list_};
  keys.put("class", setup_.class_code);
  keys.put("sec", setup_.security_code);
  keys.put_int("price", lv.column_width(0));
  keys.put_int("volume", lv.column_width(1));
}

void QuotesWnd::restore_state(const SavedSection& section) {
  setup_.class_code = section.get("class", "", 12);
  setup_.security_code = section.get("sec", "", 12);
  setup_.price_width = section.get_int("price", 60);
  setup_.volume_width = section.get_int("volume", 60);
}

void QuotesWnd::write_column_layout() {
  if (!list_) return;
  const ui::ListViewControl lv{list_};
  SectionText body;
  body.put_int("price", lv.column_width(0));
  body.put_int("volume", lv.column_width(1));
  write_kind_section("QuotesWnd", body);
}

void QuotesWnd::release() {
  write_column_layout();
  if (list_) ui::destroy_window(list_);
  list_ = {};
  if (class_number_ != -1 && security_number_ != -1) {
    manager()->unbook_price_list(static_cast<uint32_t>(class_number_), static_cast<uint32_t>(security_number_));
  }
  class_number_ = security_number_ = -1;
}

LRESULT QuotesWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::destroy:
      release();
      break;
    case ui::wm::size: {
      const RECT r = client_rect();
      ui::move_window(list_, 0, 0, r.right, r.bottom, true);
      break;
    }
    case ui::wm::notify:
      return on_notify(*reinterpret_cast<const ui::NotifyHeader*>(lparam));
    case UM_MATCHROW:
      return wparam != 0 && match(*reinterpret_cast<ClassRecord*>(wparam)) ? 1 : 0;
    case UM_SETFONT:
      apply_font(list_, wparam);
      return 1;
    case UM_ALIGNMENT:
      ui::ListViewControl{list_}.set_column_format(1, wparam == 2 ? ui::lvcfmt::right : ui::lvcfmt::left);
      return 1;
    case UM_GROUPING:
    case UM_DEPTH:
    case UM_BUYONTOP:
      ui::ListViewControl{list_}.delete_all_items();
      bind();
      break;
    case UM_SAVECOLUMNS:
      write_column_layout();
      break;
    default:
      break;
  }
  return MarketWindow::window_proc(msg, wparam, lparam);
}

}  // namespace kelda::terminal

namespace kelda::terminal {

void register_quotes_window() {
  auto pending = std::make_shared<QuotesSetup>();
  WindowKind k;
  k.kind = kind::quotes;
  k.command = cmd::quotes;
  k.single = false;
  k.prepare = [pending](std::string& caption) {
    MainView* view = manager()->view();
    NewMarketWindowDlg dlg(true);
    if (dlg.do_modal(view != nullptr ? view->hwnd() : ui::Hwnd{}) != ui::id::ok) return false;
    const ClassRecord* cls = dlg.chosen_class();
    const SecurityRecord* sec = dlg.chosen_security();
    if (cls == nullptr || sec == nullptr) return false;
    QuotesSetup setup;
    setup.class_code = cls->code();
    setup.security_code = std::string(field_text(sec->record.code));
    // An open book of the same instrument is shown instead of a new one.
    if (view != nullptr) {
      for (int i = 0; i < kSlotCount; ++i) {
        const auto* open = dynamic_cast<const QuotesWnd*>(view->slot(i));
        if (open != nullptr && open->setup().class_code == setup.class_code &&
            open->setup().security_code == setup.security_code) {
          view->activate_slot(i);
          return false;
        }
      }
    }
    char text[256];
    std::snprintf(text, sizeof text, "%s [%s]", std::string(field_text(sec->record.name)).c_str(),
                  std::string(field_text(cls->record.name)).c_str());
    caption = text;
    const SavedSection columns(window_table_path(), "QuotesWnd");
    setup.price_width = columns.get_int("price", 60);
    setup.volume_width = columns.get_int("volume", 60);
    *pending = std::move(setup);
    return true;
  };
  k.create = [pending] {
    auto window = std::make_unique<QuotesWnd>(std::move(*pending));
    *pending = QuotesSetup{};
    return window;
  };
  register_window_kind(std::move(k));
}

}  // namespace kelda::terminal
