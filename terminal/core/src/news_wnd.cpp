// The news window: headlines, bodies on demand and their drawing.
#include "terminal/news_wnd.h"

#include <algorithm>
#include <cstdio>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/market_windows.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

constexpr UINT kListId = 142;
constexpr UINT kBodyId = 143;

const ui::Brush& body_brush() {
  static const ui::Brush brush = ui::Brush::solid(0xFFFFFF);
  return brush;
}

std::u16string headline_text(const KelapiNewsRecord& n) {
  char text[192];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d %s", n.time / 10000 % 100, n.time / 100 % 100, n.time % 100,
                std::string(field_text(n.headline)).c_str());
  return to_wide(text);
}

}  // namespace

NewsWnd::NewsWnd() : MarketWindow(kind::news) {}

NewsWnd::~NewsWnd() {
  if (hwnd()) destroy();
}

void NewsWnd::set_fonts(const ui::Font* font) {
  font_ = std::make_unique<ui::Font>(font != nullptr ? *font : ui::Font());
  ui::LogFont lf = font_->log_font();
  lf.weight = 700;
  bold_ = std::make_unique<ui::Font>(lf);
  ui::send_message(list_, ui::wm::set_font, bold_->handle(), 1);
  ui::send_message(body_, ui::wm::set_font, font_->handle(), 1);
}

void NewsWnd::on_create() {
  list_ = create_report_list(hwnd(), kListId, ui::ws::vscroll | ui::lvs::no_column_header | ui::lvs::single_sel);
  ui::ListViewControl{list_}.insert_column(0, u"", 240);
  ui::CreateParams p;
  p.class_name = ui::class_name::edit;
  p.style = ui::ws::child | ui::ws::visible | ui::ws::border | ui::ws::vscroll | ui::es::read_only |
            ui::es::multiline | ui::es::auto_vscroll;
  p.parent = hwnd();
  p.id = kBodyId;
  body_ = ui::create_window(p);
  set_fonts(manager()->table_font());
  manager()->book_news();
  const auto& news = manager()->tables().news;
  for (std::size_t i = 0; i < news.size(); ++i) on_news(*news[i], static_cast<int>(i), true);
}

const KelapiNewsRecord* NewsWnd::record(int item) const {
  return reinterpret_cast<const KelapiNewsRecord*>(ui::ListViewControl{list_}.item_data(item));
}

int NewsWnd::measure(int item) {
  const KelapiNewsRecord* n = record(item);
  std::unique_ptr<ui::Canvas> canvas = ui::get_dc(list_);
  if (!canvas) return 0;
  canvas->select_font(n != nullptr && n->body_received != 0 ? font_.get() : bold_.get());
  return canvas->text_extent(ui::ListViewControl{list_}.item_text(item, 0)).cx;
}

void NewsWnd::update_column_width() {
  const int widest = widths_.empty() ? 0 : *std::max_element(widths_.begin(), widths_.end());
  ui::ListViewControl{list_}.set_column_width(0, widest + 10);
}

void NewsWnd::on_news(const KelapiNewsRecord& news, int index, bool is_new) {
  const ui::ListViewControl lv{list_};
  if (is_new) {
    index = lv.insert_item(index, headline_text(news));
    if (index < 0) return;
    widths_.insert(widths_.begin() + std::min<std::ptrdiff_t>(index, std::ssize(widths_)), 0);
  }
  if (index < 0 || index >= std::ssize(widths_)) return;
  lv.set_item_data(index, reinterpret_cast<LPARAM>(&news));
  widths_[static_cast<std::size_t>(index)] = measure(index);
  update_column_width();
  const int mark = lv.selection_mark();
  if (mark >= 0 && record(mark) == &news && news.body_received != 0) show_body(mark);
}

void NewsWnd::show_body(int mark) {
  const KelapiNewsRecord* n = mark >= 0 ? record(mark) : nullptr;
  if (n == nullptr) return;
  if (n->body_received == 0) {
    ui::set_window_text(body_, u"");
    return;
  }
  ClientApi& client = manager()->client();
  char* body = nullptr;
  const KelapiResult r = client.get_news_body(n->number, &body);
  if (r != KELAPI_OK || body == nullptr) {
    ui::set_window_text(body_, u"");
    log_line("ERROR: KelapiGetNewsBody failed for nNewsId = %d, hr = %d.", n->number, static_cast<int>(r));
    return;
  }
  char head[160];
  std::snprintf(head, sizeof head, "%02d.%02d.%04d %02d:%02d:%02d %s ", n->date % 100, n->date / 100 % 100,
                n->date / 10000, n->time / 10000 % 100, n->time / 100 % 100, n->time % 100,
                std::string(field_text(n->source)).c_str());
  ui::set_window_text(body_, to_wide(std::string(head) + body));
  client.free(body);
  widths_[static_cast<std::size_t>(mark)] = measure(mark);
  update_column_width();
  ui::invalidate_rect(list_, nullptr, true);
}

LRESULT NewsWnd::on_notify(const ui::NotifyHeader& header) {
  if (header.id_from != kListId) return 0;
  if (header.code == ui::lvn::item_changed) {
    const auto& n = reinterpret_cast<const ui::ListViewNotify&>(header);
    // The item that became selected (the list moves its selection mark
    // only after telling).
    if ((n.new_state & ui::lvis::selected) != 0 && (n.old_state & ui::lvis::selected) == 0) show_body(n.item);
  } else if (header.code == ui::nm::dbl_clk) {
    const int mark = ui::ListViewControl{list_}.selection_mark();
    const KelapiNewsRecord* n = mark >= 0 ? record(mark) : nullptr;
    if (n != nullptr && n->body_received == 0) {
      const KelapiResult r = manager()->client().book_news_body(n->number);
      log_line("KelapiBookNewsBody, nNewsId = %d, hr = %d.", n->number, static_cast<int>(r));
    }
  } else if (header.code == ui::nm::custom_draw) {
    auto& draw = const_cast<ui::ListViewCustomDraw&>(reinterpret_cast<const ui::ListViewCustomDraw&>(header));
    if (draw.nmcd.draw_stage == ui::cdds::prepaint) return ui::cdrf::notify_item_draw;
    if (draw.nmcd.draw_stage == ui::cdds::item_prepaint && draw.nmcd.canvas != nullptr) {
      const auto* n = reinterpret_cast<const KelapiNewsRecord*>(draw.nmcd.item_lparam);
      if (n == nullptr || n->body_received == 0) {
        draw.nmcd.canvas->select_font(bold_.get());
      } else {
        draw.nmcd.canvas->fill_rect(draw.nmcd.rc, body_brush());
        draw.nmcd.canvas->select_font(font_.get());
      }
      return ui::cdrf::new_font;
    }
  }
  return 0;
}

LRESULT NewsWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::destroy:
      if (list_) ui::destroy_window(list_);
      if (body_) ui::destroy_window(body_);
      list_ = body_ = {};
      break;
    case ui::wm::size: {
      const RECT r = client_rect();
      const int top = static_cast<int>(r.bottom * 0.3);
      ui::move_window(list_, 0, 0, r.right, top, true);
      ui::move_window(body_, 0, top, r.right, r.bottom - top, true);
      break;
    }
    case ui::wm::ctl_color_edit:
    case ui::wm::ctl_color_static:
      if (ui::Hwnd(static_cast<uintptr_t>(lparam)) == body_ && wparam != 0) {
        auto* canvas = reinterpret_cast<ui::Canvas*>(wparam);
        canvas->set_text_color(0x000000);
        canvas->set_bk_color(0xFFFFFF);
        return reinterpret_cast<LRESULT>(&body_brush());
      }
      break;
    case ui::wm::notify:
      return on_notify(*reinterpret_cast<const ui::NotifyHeader*>(lparam));
    case UM_CLEAR:
      ui::ListViewControl{list_}.delete_all_items();
      widths_.clear();
      ui::set_window_text(body_, u"");
      return 1;
    case UM_SETFONT:
      set_fonts(reinterpret_cast<const ui::Font*>(wparam));
      return 1;
    default:
      break;
  }
  return MarketWindow::window_proc(msg, wparam, lparam);
}

void register_news_window() {
  WindowKind k;
  k.kind = kind::news;
  k.command = cmd::news;
  k.single = true;
  k.caption = cp1251("Новости");
  k.create = [] { return std::make_unique<NewsWnd>(); };
  register_window_kind(std::move(k));
}

}  // namespace kelda::terminal
